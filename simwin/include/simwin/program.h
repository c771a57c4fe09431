// The program the simulated machines run. simwin knows no program of its own: the build that links it
// defines hostProgram(), handing over the program's resource script with the files beside it and where the
// program is installed, and every machine runs that program.
#pragma once

#include <map>
#include <string>

namespace simwin {

struct ProgramImage {
    // The program's full path on a machine that does not name one ([system] program).
    std::string defaultPath;
    // The resource script the program module's resources are parsed from, by its name among files.
    std::string resourceScript;
    // The resource script and every file it includes or names, by file name, with their bytes.
    std::map<std::string, std::string> files;
};

// Defined by the build that links simwin, not by simwin.
const ProgramImage& hostProgram();

}  // namespace simwin
