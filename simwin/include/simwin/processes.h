// Stand-in programs: programs a machine declares ([program] sections) so that the tool can start
// them with CreateProcessA and poll them with GetExitCodeProcess. A stand-in runs for a declared
// number of polls and then exits with its declared exit code.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "simwin/ini.h"
#include "simwin/types.h"

namespace simwin {

class FileSystem;

struct ProgramDef {
    std::string path;   // full path of the program file (the file itself lives in the file system)
    int ticks = 0;      // GetExitCodeProcess answers STILL_ACTIVE for this many polls
    uint64_t runsMs = 0;  // ... or, when set, for this long on the machine's clock after its start
    DWORD exitCode = 0;
    int started = 0;    // how often the tool started it
};

struct Process {
    DWORD id = 0;
    std::string path;         // the program file as started
    std::string commandLine;  // the command line it received
    int ticksLeft = 0;        // polls it still answers STILL_ACTIVE
    uint64_t endsAt = 0;      // the clock's time at which it ends (0: it counts polls instead)
    DWORD exitCode = 0;
    bool exited = false;
};

class ProcessTable {
public:
    std::vector<ProgramDef> programs;
    std::vector<std::shared_ptr<Process>> processes;  // every process started, in order

    // The program declared for a path (compared as full paths, case-insensitive); nullptr when none.
    ProgramDef* find(const std::string& path, const FileSystem& files);

    // Starts a declared program: a new running process. nullptr when the path is not declared.
    std::shared_ptr<Process> start(const std::string& path, const std::string& commandLine, const FileSystem& files,
                                   uint64_t now);

    // [program] sections: path, ticks, exitcode, started.
    void load(const IniDoc& doc);
    void save(IniDoc& doc) const;

private:
    DWORD nextId_ = 0x1000;
};

}  // namespace simwin
