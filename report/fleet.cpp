#include "report/fleet.h"

#include <algorithm>

#include "base/text.h"

namespace {

// A run with the log it came from, in the order the logs were read.
struct PlacedRun {
    const LoggedRun* run;
    const LogFile* log;
    size_t order;
};

struct OutcomeCode {
    long code;
    MachineOutcome outcome;
};
const OutcomeCode kExitCodes[] = {
    {0, OUTCOME_DONE},        {3010, OUTCOME_RESTART_NEEDED},   {1641, OUTCOME_RESTART_STARTED},
    {1602, OUTCOME_CANCELLED}, {1603, OUTCOME_FAILED},          {1618, OUTCOME_ALREADY_RUNNING},
    {740, OUTCOME_NOT_ADMINISTRATOR}, {87, OUTCOME_BAD_COMMAND_LINE},
};

std::string MachineName(const LoggedRun& run, const LogFile& log) { return run.computer.empty() ? log.fileName : run.computer; }

void RemoveName(std::vector<std::string>& names, const std::string& name) {
    names.erase(std::remove_if(names.begin(), names.end(),
                               [&](const std::string& n) { return TextEqual(n.c_str(), name.c_str()); }),
                names.end());
}

// The family printers still there after the runs: a loading's list, less the printers removed since.
std::vector<std::string> PrintersHeld(const std::vector<PlacedRun>& runs) {
    std::vector<std::string> held;
    for (const PlacedRun& placed : runs) {
        const LoggedRun& run = *placed.run;
        if (!run.familyPrinters.empty()) held = run.familyPrinters;
        for (const LoggedItem& item : run.items)
            if (item.kind == "printer" && item.outcome == ITEM_REMOVED) RemoveName(held, item.item);
        for (const std::string& name : run.restoredPrinters) {
            RemoveName(held, name);
            held.push_back(name);
        }
    }
    return held;
}

void AddGroups(Fleet& fleet, const FleetMachine& machine, const LoggedRun& run) {
    for (const LoggedItem& item : run.items) {
        if (!item.rule.empty()) {
            RefusalGroup& group = fleet.refusals[item.rule];
            ++group.items;
            group.machines.insert(machine.name);
        }
        if (item.outcome != ITEM_FAILED) continue;
        auto same = std::find_if(fleet.failures.begin(), fleet.failures.end(), [&](const FailureGroup& g) {
            return g.kind == item.kind && g.error == item.error;
        });
        if (same == fleet.failures.end()) {
            fleet.failures.emplace_back();
            same = fleet.failures.end() - 1;
            same->kind = item.kind;
            same->error = item.error;
        }
        ++same->items;
        same->machines.insert(machine.name);
    }
}

FleetMachine MakeMachine(const std::string& name, std::vector<PlacedRun>& runs) {
    // The header's date and time order the runs; runs of one moment keep the order they were read in.
    std::stable_sort(runs.begin(), runs.end(), [](const PlacedRun& a, const PlacedRun& b) {
        return a.run->date + a.run->time < b.run->date + b.run->time;
    });
    const LoggedRun& last = *runs.back().run;
    FleetMachine machine;
    machine.name = name;
    machine.date = last.date;
    machine.time = last.time;
    machine.logPath = runs.back().log->path;
    machine.outcome = OutcomeOfRun(last);
    machine.hasExitCode = last.hasExitCode;
    machine.exitCode = last.exitCode;
    machine.mode = last.mode;
    std::copy(last.counts, last.counts + ITEM_OUTCOME_COUNT, machine.counts);
    machine.runs = static_cast<unsigned>(runs.size());
    for (const PlacedRun& placed : runs) machine.unread += placed.run->unread;
    for (size_t i = 0; i + 1 < runs.size(); ++i)
        machine.history.push_back(runs[i].run->date + " " + runs[i].run->time + " " +
                                  MachineOutcomeName(OutcomeOfRun(*runs[i].run)));
    machine.printersHeld = PrintersHeld(runs);
    machine.waitsForRestart = machine.outcome == OUTCOME_RESTART_NEEDED ||
                              (last.restartNeeded && machine.outcome != OUTCOME_RESTART_STARTED);
    machine.resumable = machine.outcome == OUTCOME_CUT_SHORT && last.removalBegan && !last.restore;
    machine.backupSet = last.backupSet;
    return machine;
}

void AddNotes(Fleet& fleet, const LogFolder& folder) {
    fleet.notes = folder.notes;
    for (const LogFile& log : folder.logs) {
        if (log.linesBeforeFirstRun)
            fleet.notes.push_back(log.path + ": " + std::to_string(log.linesBeforeFirstRun) + " lines before its first run header");
        if (log.cp932Lines)
            fleet.notes.push_back(log.path + ": " + std::to_string(log.cp932Lines) + " lines read as code page 932");
        if (log.escapedLines)
            fleet.notes.push_back(log.path + ": " + std::to_string(log.escapedLines) +
                                  " lines neither UTF-8 nor code page 932 here: their bytes are shown as \\xNN");
    }
}

}  // namespace

const char* MachineOutcomeName(MachineOutcome outcome) {
    switch (outcome) {
    case OUTCOME_DONE: return "done";
    case OUTCOME_RESTART_NEEDED: return "restart needed";
    case OUTCOME_RESTART_STARTED: return "restart started";
    case OUTCOME_CANCELLED: return "cancelled";
    case OUTCOME_FAILED: return "failed";
    case OUTCOME_ALREADY_RUNNING: return "another copy running";
    case OUTCOME_NOT_ADMINISTRATOR: return "not an administrator";
    case OUTCOME_BAD_COMMAND_LINE: return "bad command line";
    case OUTCOME_CUT_SHORT: return "cut short";
    default: return "other";
    }
}

MachineOutcome OutcomeOfRun(const LoggedRun& run) {
    if (!run.hasExitCode) return OUTCOME_CUT_SHORT;
    // The interactive mode's exit code is the main window's result: the removal's own lines tell the end.
    if (run.exitMeaning == "the main window's result") {
        if (!run.hasSummary) return OUTCOME_CANCELLED;
        return run.restartNeeded ? OUTCOME_RESTART_NEEDED : OUTCOME_DONE;
    }
    for (const OutcomeCode& known : kExitCodes)
        if (known.code == run.exitCode) return known.outcome;
    return OUTCOME_OTHER;
}

Fleet MakeFleet(const LogFolder& folder) {
    Fleet fleet;
    fleet.filesSeen = folder.filesSeen;
    fleet.logs = static_cast<unsigned>(folder.logs.size());
    std::map<std::string, std::pair<std::string, std::vector<PlacedRun>>> byMachine;  // key: the name without case
    size_t order = 0;
    for (const LogFile& log : folder.logs)
        for (const LoggedRun& run : log.runs) {
            const std::string name = MachineName(run, log);
            auto& entry = byMachine[TextKey(name.c_str())];
            if (entry.first.empty()) entry.first = name;
            entry.second.push_back(PlacedRun{&run, &log, order++});
        }
    for (auto& entry : byMachine) {
        fleet.machines.push_back(MakeMachine(entry.second.first, entry.second.second));
        const FleetMachine& machine = fleet.machines.back();
        ++fleet.byOutcome[machine.outcome];
        fleet.runs += machine.runs;
        fleet.unread += machine.unread;
        AddGroups(fleet, machine, *entry.second.second.back().run);
    }
    std::sort(fleet.failures.begin(), fleet.failures.end(), [](const FailureGroup& a, const FailureGroup& b) {
        return a.kind != b.kind ? a.kind < b.kind : a.error < b.error;
    });
    AddNotes(fleet, folder);
    if (fleet.unread) fleet.notes.push_back(std::to_string(fleet.unread) + " lines of the runs are of no form the report reads (unread)");
    return fleet;
}
