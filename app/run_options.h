// The administrator's options of the command line: where the removal log goes (/LOG), a what-if plan
// written instead of a removal (/PLAN), the unattended removal (/QUIET with /SELECT and /RESTART), and the
// capture of the machine for the simulator (/CAPTURE), and the fleet report of many machines' logs (/REPORT, /OUT).
// They are written like the loading phase's options ("/" or "-", a name, ":" and values separated by ","
// outside double quotes); a command line without them runs the tool exactly as before.
#pragma once

#include <string>
#include <vector>

class CRunOptions {
public:
    enum Mode {
        MODE_INTERACTIVE,  // the tool with its windows, as a person runs it
        MODE_QUIET,        // /QUIET: the same run with every window hidden, the questions answered here
        MODE_PLAN,         // /PLAN: the loading phase and the selection, the plan written, nothing removed
        MODE_CAPTURE,      // /CAPTURE: the machine's printing state written as a machine directory, nothing changed
        MODE_REPORT,       // /REPORT with /OUT: the fleet report of a folder of logs, nothing else
    };

    Mode mode = MODE_INTERACTIVE;
    std::string logPath;                   // /LOG:"path"; empty: korun04.log in the temporary directory
    std::string planPath;                  // /PLAN:"path"
    std::string capturePath;               // /CAPTURE:"folder"
    std::string reportFolder;              // /REPORT:"folder": the logs the fleet report reads
    std::string outPath;                   // /OUT:"file": the report's page (its CSV beside it)
    bool selectGiven = false;              // /SELECT was given
    bool selectAll = false;                // /SELECT:ALL (ALL without double quotes)
    std::vector<std::string> selectNames;  // /SELECT:"name","name", without their double quotes
    bool restart = false;                  // /RESTART: Yes to the restart question
    bool help = false;                     // /?, -? or /HELP: the options are shown, nothing else is done
    bool restore = false;                  // /RESTORE:LAST or /RESTORE:"folder": put a removal back
    std::string restoreFolder;             // the folder of /RESTORE; empty for LAST (the newest set)
    bool resume = false;                   // /RESUME: finish a removal cut short, and nothing else
    unsigned keepBackups = 10;             // /KEEPBACKUPS:N: how many backup sets are kept
    // The first reason the command line is not one the unattended modes accept; empty when it is. The
    // interactive mode goes on regardless, as it always did with options it does not know.
    std::string error;

    bool IsUnattended() const { return mode != MODE_INTERACTIVE; }

    // Reads a whole process command line (the program path first, as GetCommandLineA gives it). Returns
    // false when error was set.
    bool Parse(const char* commandLine);
};

// The longest command line the tool reads (the loading phase's working buffer less its NUL).
const size_t kLongestCommandLine = 4095;
