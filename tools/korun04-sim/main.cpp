// korun04-sim: runs the tool's own WinMain on a simulated machine with a scripted user.
//
//   korun04-sim [--machine DIR] [--save DIR] [--select NAME]... [--select-all]
//               [--answer yes|no]... [--user FILE] [--show] [--timing] [--changes] [--plan]
//               [--crash-at-stage N | --crash-at-item K] [-- TAIL...]
//   korun04-sim --lint SCRIPT...          the scripts' findings (tools/korun04-sim/lint.h)
//   korun04-sim --lint --machine DIR      every script of the machine, and what its removal would refuse or miss
//   korun04-sim --build-machine RECIPE --save DIR   the machine a RECIPE describes, built and saved (build_machine.h)
//   korun04-sim --report DIR --out FILE   the fleet report of DIR's logs, with the plans of its captures (fleet_whatif.h)
//
// --crash-at-stage N ends the process just before stage N of a removal starts, as if it were killed: no
// destructor runs, the spooler is not started again, nothing more is written; "crash before stage N" is
// printed, --save writes the machine as it was left, and the status is 4. --crash-at-item K does the same
// just before the K-th item a remover touches ("crash before item K"). Both watch the removal's journal.
//
// Standard output is the transcript, one event per line (with --changes followed by the block of what the
// run changed); the exit status is the tool's, or 3 when the tool
// waits for the user and nothing more is scripted.
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <iostream>
#include <memory>
#include <string>

#include "base/platform.h"
#include "app/run_options.h"
#include "resources/resource.h"
#include "simwin/machine.h"
#include "simwin/modules.h"
#include "simwin/util.h"
#include "tools/korun04-sim/build_machine.h"
#include "tools/korun04-sim/lint.h"
#include "tools/korun04-sim/changes.h"
#include "tools/korun04-sim/fleet_whatif.h"
#include "tools/korun04-sim/options.h"
#include "tools/korun04-sim/plan.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandTail, int showCommand);

#ifndef KORUN_DEMO_MACHINE
#define KORUN_DEMO_MACHINE "examples/demo"
#endif

bool ParseSimOptions(int argc, char** argv, SimOptions& o, std::string& error) {
    o.machineDir = KORUN_DEMO_MACHINE;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) {
                error = a + " needs a value";
                return false;
            }
            out = argv[++i];
            return true;
        };
        if (a == "--") {
            for (++i; i < argc; ++i) o.tail += (o.tail.empty() ? "" : " ") + std::string(argv[i]);
            break;
        }
        std::string v;
        if (a == "--machine") {
            if (!value(o.machineDir)) return false;
            o.machineGiven = true;
        } else if (a == "--build-machine") {
            if (!value(o.buildSpec)) return false;
        } else if (a == "--report") {
            if (!value(o.reportDir)) return false;
            while (o.reportDir.size() > 1 && o.reportDir.back() == '/') o.reportDir.pop_back();
        } else if (a == "--out") {
            if (!value(o.reportOut)) return false;
        } else if (a == "--lint") {
            o.lint = true;
        } else if (o.lint && !a.empty() && a[0] != '-') {
            o.lintScripts.push_back(a);
        } else if (a == "--save") {
            if (!value(o.saveDir)) return false;
        } else if (a == "--select") {
            if (!value(v)) return false;
            o.selects.push_back(v);
        } else if (a == "--select-all") {
            o.selectAll = true;
        } else if (a == "--answer") {
            if (!value(v)) return false;
            if (v != "yes" && v != "no") {
                error = "--answer takes yes or no, not '" + v + "'";
                return false;
            }
            o.answers.push_back(v == "yes");
        } else if (a == "--plan") {
            o.plan = true;
        } else if (a == "--user") {
            if (!value(o.userFile)) return false;
        } else if (a == "--show") {
            o.show = true;
        } else if (a == "--timing") {
            o.timing = true;
        } else if (a == "--changes") {
            o.changes = true;
        } else if (a == "--crash-at-stage" || a == "--crash-at-item") {
            if (!value(v)) return false;
            char* end = nullptr;
            const long n = std::strtol(v.c_str(), &end, 10);
            const bool stage = a == "--crash-at-stage";
            if (v.empty() || *end || n < (stage ? 3 : 1) || n > (stage ? 17 : 1000000)) {
                error = a + (stage ? " takes a stage from 3 to 17" : " takes an item number from 1 on") + ", not '" + v + "'";
                return false;
            }
            if (o.crashAtStage >= 0 || o.crashAtItem >= 0) {
                error = "one crash per run: --crash-at-stage or --crash-at-item, once";
                return false;
            }
            if (stage)
                o.crashAtStage = static_cast<int>(n);
            else
                o.crashAtItem = n;
        } else {
            error = "unknown option '" + a + "'";
            return false;
        }
    }
    if (!o.buildSpec.empty() && (o.saveDir.empty() || o.machineGiven || o.lint || o.plan || !o.tail.empty())) {
        error = "--build-machine RECIPE takes --save DIR and nothing else";
        return false;
    }
    if (!o.reportOut.empty() && o.reportDir.empty()) {
        error = "--out FILE goes with --report DIR";
        return false;
    }
    if (!o.reportDir.empty() && (o.machineGiven || o.lint || o.plan || !o.buildSpec.empty() || !o.tail.empty())) {
        error = "--report DIR takes --out FILE and nothing else";
        return false;
    }
    if (o.lint && o.lintScripts.empty() && !o.machineGiven) {
        error = "--lint needs scripts (--lint SCRIPT...) or a machine (--lint --machine DIR)";
        return false;
    }
    if (o.lint && !o.lintScripts.empty() && o.machineGiven) {
        error = "--lint takes scripts or a machine, not both";
        return false;
    }
    return true;
}

namespace {

const char kUsage[] =
    "usage: korun04-sim [--machine DIR] [--save DIR] [--select NAME]... [--select-all]\n"
    "                   [--answer yes|no]... [--user FILE] [--show] [--timing] [--changes] [--plan]\n"
    "                   [--crash-at-stage N | --crash-at-item K] [-- TAIL...]\n"
    "       korun04-sim --lint SCRIPT...\n"
    "       korun04-sim --lint --machine DIR\n"
    "       korun04-sim --build-machine RECIPE --save DIR\n"
    "       korun04-sim --report DIR --out FILE\n";

// Exit status of a run that the crash injection ended.
const int kCrashStatus = 4;

// Exit status of a run that waits for the user with nothing more scripted.
const int kUserStopStatus = 3;


// Whether the tool's command tail asks for /QUIET or /PLAN.
bool TailIsUnattended(const std::string& tail) {
    CRunOptions tool;
    tool.Parse(("korun04.exe " + tail).c_str());
    return tool.IsUnattended();
}

// The scripted user: the user file's actions, then (without a user file, or with --select/--select-all)
// the choice of printers in the list and the Uninstall button.
bool ScriptUser(const SimOptions& options, simwin::ScriptedUser& user, std::string& error) {
    if (!options.userFile.empty()) {
        std::string text;
        if (!ReadHostFile(options.userFile, text)) {
            error = "cannot read the user file " + options.userFile;
            return false;
        }
        try {
            for (const simwin::UserAction& a : simwin::ScriptedUser::parse(text, options.userFile)) user.actions.push_back(a);
        } catch (const std::exception& e) {
            error = e.what();
            return false;
        }
    }
    if (options.plan || (!options.userFile.empty() && options.selects.empty() && !options.selectAll)) return true;
    // /QUIET and /PLAN answer everything from the tool's own command line: nobody selects or presses.
    if (TailIsUnattended(options.tail)) return true;
    simwin::UserAction choose;
    if (options.selects.empty() || options.selectAll) {
        choose.kind = simwin::UserAction::SelectAll;
    } else {
        choose.kind = simwin::UserAction::Select;
        choose.items = options.selects;
    }
    user.actions.push_back(choose);
    simwin::UserAction uninstall;
    uninstall.kind = simwin::UserAction::Press;
    uninstall.target = std::to_string(IDC_UNINSTALL);
    user.actions.push_back(uninstall);
    return true;
}

// The crash injection: the removal's journal is watched, and the line that begins stage N (or names item K)
// ends the process there, as a killed process ends: no destructor, no more writes.
void WatchForCrash(simwin::Machine& machine, const SimOptions& options) {
    if (options.crashAtStage < 0 && options.crashAtItem < 0) return;
    const std::string marker = options.crashAtStage >= 0 ? "stage | " + std::to_string(options.crashAtStage) + "\r\n"
                                                         : "item | " + std::to_string(options.crashAtItem) + " | ";
    const std::string said = options.crashAtStage >= 0 ? "crash before stage " + std::to_string(options.crashAtStage)
                                                       : "crash before item " + std::to_string(options.crashAtItem);
    machine.files.onWrite = [&machine, &options, marker, said](const std::string& path, const std::string& bytes, bool flushed) {
        const std::string name = "\\journal.txt";
        if (flushed || path.size() < name.size() || !simwin::iequals(path.substr(path.size() - name.size()), name)) return;
        if (bytes.compare(0, marker.size(), marker) != 0) return;
        std::cout << said << std::endl;
        if (!options.saveDir.empty()) {
            try {
                machine.save(options.saveDir);
            } catch (const std::exception& e) {
                std::cerr << "korun04-sim: cannot save the machine: " << e.what() << "\n";
            }
        }
        std::cout.flush();
        std::cerr.flush();
        std::_Exit(kCrashStatus);
    };
}

// What WinMain receives: the tail with the characters 1 to 32 skipped at its start.
std::string CommandTailArgument(const std::string& tail) {
    size_t i = 0;
    while (i < tail.size() && tail[i] >= 1 && tail[i] <= 32) ++i;
    return tail.substr(i);
}

}  // namespace

int main(int argc, char** argv) {
    SimOptions options;
    std::string error;
    if (!ParseSimOptions(argc, argv, options, error)) {
        std::cerr << "korun04-sim: " << error << "\n" << kUsage;
        return 2;
    }
    if (!options.reportDir.empty()) return RunFleetReport(options.reportDir, options.reportOut, std::cout, std::cerr);
    if (!options.buildSpec.empty()) return BuildMachine(options.buildSpec, options.saveDir, std::cout, std::cerr);
    // The linter's exit status: 0 nothing found, 1 findings, 2 what it was given cannot be read.
    if (options.lint)
        return options.lintScripts.empty() ? LintMachine(options.machineDir, std::cout, std::cerr)
                                           : LintScriptFiles(options.lintScripts, std::cout, std::cerr);
    std::unique_ptr<simwin::Machine> machine;
    const std::clock_t loadStart = std::clock();
    try {
        machine = simwin::Machine::load(options.machineDir);
    } catch (const std::exception& e) {
        std::cerr << "korun04-sim: cannot load the machine: " << e.what() << "\n";
        return 2;
    }
    simwin::MachineScope scope(*machine);
    machine->system.commandTail = options.tail;
    WatchForCrash(*machine, options);
    for (bool yes : options.answers) machine->windows.user.answers.push_back(yes);
    if (!ScriptUser(options, machine->windows.user, error)) {
        std::cerr << "korun04-sim: " << error << "\n";
        return 2;
    }
    // The plan is the standard output; what a person would see then goes to standard error.
    std::ostream& seen = options.plan ? std::cerr : std::cout;
    machine->transcript.echo = [&seen](const std::string& line) { seen << line << std::endl; };
    if (options.show)
        machine->windows.user.show = [&seen](const std::vector<std::string>& picture) {
            for (const std::string& line : picture) seen << "| " << line << "\n";
            seen.flush();
        };

    // The state before the run, kept in memory for --changes.
    std::unique_ptr<MachineState> before;
    if (options.changes) before.reset(new MachineState(CaptureState(*machine)));

    int exitCode = 0;
    const std::clock_t cpuStart = std::clock();
    const long loadMs = static_cast<long>((cpuStart - loadStart) * 1000 / CLOCKS_PER_SEC);
    try {
        if (options.plan) {
            exitCode = RunPlan(std::cout, std::cerr, options.selects, options.selectAll);
        } else {
            std::string tail = CommandTailArgument(options.tail);
            exitCode = WinMain(simwin::programModule(), nullptr, &tail[0], SW_SHOWDEFAULT);
        }
    } catch (const simwin::UserStop& stop) {
        machine->transcript.add(stop.what());
        exitCode = kUserStopStatus;
    }
    // After the transcript, on its stream (standard error with --plan, whose standard output is the plan).
    if (before) PrintChanges(seen, CompareStates(*before, CaptureState(*machine), ToolOwnPaths(*machine, options.tail)));
    if (options.timing)
        std::cerr << "korun04-sim: virtual time " << machine->clock.ms << " ms, processor time "
                  << (std::clock() - cpuStart) * 1000 / CLOCKS_PER_SEC << " ms\n";
    if (!machine->windows.user.actions.empty())
        std::cerr << "korun04-sim: " << machine->windows.user.actions.size() << " scripted action(s) not taken, first: "
                  << machine->windows.user.actions.front().describe() << "\n";

    // A process status holds 8 bits: the installer codes of /QUIET (3010, 1603 ...) are said in full.
    if (exitCode < 0 || exitCode > 255)
        std::cerr << "korun04-sim: the tool's exit code is " << exitCode << " (the status holds it modulo 256: "
                  << (exitCode & 0xFF) << ")\n";

    const std::clock_t saveStart = std::clock();
    if (!options.saveDir.empty()) {
        try {
            machine->save(options.saveDir);
        } catch (const std::exception& e) {
            std::cerr << "korun04-sim: cannot save the machine: " << e.what() << "\n";
            return 2;
        }
    }
    // The process as a whole: the machine's load and save besides the run (the bench's measure).
    if (options.timing)
        std::cerr << "korun04-sim: machine load " << loadMs << " ms, save "
                  << (std::clock() - saveStart) * 1000 / CLOCKS_PER_SEC << " ms of processor time\n";
    return exitCode;
}
