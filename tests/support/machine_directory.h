// A machine as its machine directory holds it: the machine.ini a machine saves (with the files of its
// drive), and a Windows path as the directory names the file of the drive.
#pragma once

#include <map>
#include <string>

#include "simwin/machine.h"
#include "support/temp_machine.h"

namespace testmachine {

// "C:\\Windows\\x.ini" -> "C/Windows/x.ini", the form files are given in.
inline std::string DrivePath(const std::string& path) {
    std::string out = path.substr(0, 1);
    for (char c : path.substr(2)) out += c == '\\' ? '/' : c;
    return out;
}

// The machine.ini the machine saves; with files, also the files of its drive by relative path.
inline std::string Saved(const simwin::Machine& m, std::map<std::string, std::string>* files = nullptr) {
    TempDir dir;
    m.save(dir.path.string());
    if (files) *files = Snapshot(dir.path / "drive");
    return ReadFile(dir.path / "machine.ini");
}

}  // namespace testmachine
