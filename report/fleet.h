// The fleet: the logs of many machines made into what an administrator asks of them. Each machine's runs are
// put in the order they ran; the last one tells the machine's state, the earlier ones are its history.
// A machine is named by its logs' headers (the file's name when no header names a computer).
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "report/log_reader.h"

// How a machine's last run ended, from its exit code line.
enum MachineOutcome {
    OUTCOME_DONE,               // 0
    OUTCOME_RESTART_NEEDED,     // 3010
    OUTCOME_RESTART_STARTED,    // 1641
    OUTCOME_CANCELLED,          // 1602 (and an interactive run closed before a removal ended)
    OUTCOME_FAILED,             // 1603
    OUTCOME_ALREADY_RUNNING,    // 1618
    OUTCOME_NOT_ADMINISTRATOR,  // 740
    OUTCOME_BAD_COMMAND_LINE,   // 87
    OUTCOME_CUT_SHORT,          // no exit code line: the run was cut short (killed, power lost)
    OUTCOME_OTHER,              // an exit code the tool does not give
    OUTCOME_COUNT
};
const char* MachineOutcomeName(MachineOutcome outcome);
// The outcome a run's end lines give.
MachineOutcome OutcomeOfRun(const LoggedRun& run);

struct FleetMachine {
    std::string name;
    std::string date, time;    // of the last run
    std::string logPath;       // the log of the last run
    MachineOutcome outcome = OUTCOME_OTHER;
    bool hasExitCode = false;
    long exitCode = 0;
    std::string mode;          // the last run's mode line
    unsigned counts[ITEM_OUTCOME_COUNT] = {};  // the last run's items
    unsigned runs = 0;         // runs in every log of the machine
    unsigned unread = 0;       // unread lines in every run of the machine
    std::vector<std::string> printersHeld;  // family printers the last loading listed that no run removed since
    bool waitsForRestart = false;  // the last run needs a restart that was not started
    bool resumable = false;    // the last run is a removal cut short: /RESUME finishes it
    std::string backupSet;     // the backup set of that removal
    std::vector<std::string> history;  // the earlier runs, oldest first: "DATE TIME outcome"
};

// Failures of one kind of item with one error code.
struct FailureGroup {
    std::string kind;
    unsigned long error = 0;
    unsigned items = 0;
    std::set<std::string> machines;
};

// Refusals by one rule.
struct RefusalGroup {
    unsigned items = 0;
    std::set<std::string> machines;
};

// What a plan of a captured machine says a removal would do (filled by the simulator's fleet what-if).
struct WhatIfMachine {
    std::string name;     // the capture's computer
    std::string folder;   // the capture folder
    std::string error;    // why no plan could be made; empty when it was
    unsigned go = 0, kept = 0, refused = 0;  // items of [removal], of [keep], of [refused]
    std::vector<std::string> printers;        // the printers it would remove
    std::map<std::string, unsigned> refusedByRule;
};

struct Fleet {
    std::string folder;  // as the page names it
    std::vector<FleetMachine> machines;  // by name
    unsigned byOutcome[OUTCOME_COUNT] = {};
    std::vector<FailureGroup> failures;  // by kind, then error
    std::map<std::string, RefusalGroup> refusals;  // by rule
    std::vector<WhatIfMachine> whatIf;
    std::vector<std::string> notes;  // files skipped, lines not read, texts kept as bytes
    unsigned logs = 0, filesSeen = 0, runs = 0, unread = 0;
};

// The fleet of the logs read.
Fleet MakeFleet(const LogFolder& folder);
