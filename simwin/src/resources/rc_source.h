// Where the script's text comes from: the names of its files, for error messages that name the place as a
// compiler does ("app.rc:12"), and the lookup of a file the script names in the files map.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "rc_lexer.h"
#include "simwin/util.h"

namespace simwin::rc {

// Where a token comes from, for error messages: "app.rc:12".
class SourceNames {
public:
    int add(const std::string& name) {
        names_.push_back(name);
        return static_cast<int>(names_.size() - 1);
    }
    std::string place(const Token& at) const { return names_.at(at.file) + ":" + std::to_string(at.line); }
    [[noreturn]] void fail(const Token& at, const std::string& what) const {
        throw MachineError(place(at) + ": " + what);
    }

private:
    std::vector<std::string> names_;
};

// A file of the map by name: exact, else ignoring case and with '\' read as '/'.
std::map<std::string, std::string>::const_iterator findFile(const std::map<std::string, std::string>& files,
                                                           const std::string& name);

}  // namespace simwin::rc
