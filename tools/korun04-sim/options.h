// The command line of korun04-sim.
#pragma once

#include <string>
#include <vector>

struct SimOptions {
    std::string machineDir;            // --machine (default: the demo machine)
    std::string saveDir;               // --save
    std::vector<std::string> selects;  // --select NAME (repeatable)
    bool selectAll = false;            // --select-all
    std::vector<bool> answers;         // --answer yes|no (repeatable)
    bool plan = false;                 // --plan
    std::string userFile;              // --user FILE: the scripted user's actions
    bool show = false;                 // --show: a text picture of the window after each action
    bool timing = false;               // --timing: the run's virtual and processor time on standard error
    bool lint = false;                 // --lint: the scripts' findings instead of a run
    std::vector<std::string> lintScripts;  // --lint SCRIPT...: the scripts given (none: the machine's)
    bool machineGiven = false;         // --machine was given
    bool changes = false;              // --changes: what the run changed, after the transcript (changes.h)
    int crashAtStage = -1;             // --crash-at-stage N: the process dies just before stage N
    long crashAtItem = -1;             // --crash-at-item K: ... just before the K-th item a remover touches
    std::string buildSpec;             // --build-machine RECIPE: build the machine a RECIPE describes, save it (--save)
    std::string reportDir;             // --report DIR: the fleet report of DIR's logs and captures (fleet_whatif.h)
    std::string reportOut;             // --out FILE: the report's page
    std::string tail;                  // everything after "--", joined by single spaces
};

// Parses argv; on a usage error returns false and sets error.
bool ParseSimOptions(int argc, char** argv, SimOptions& options, std::string& error);
