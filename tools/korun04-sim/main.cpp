// korun04-sim: runs the tool's own WinMain on a simulated machine with a scripted user.
//
//   korun04-sim [--machine DIR] [--save DIR] [--select NAME]... [--select-all]
//               [--answer yes|no]... [--plan] [-- TAIL...]
//
// Standard output is the transcript, one event per line; the exit status is the tool's.
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

#include "app/platform.h"
#include "simwin/machine.h"
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
        } else {
            error = "unknown option '" + a + "'";
            return false;
        }
    }
    return true;
}

namespace {

const char kUsage[] =
    "usage: korun04-sim [--machine DIR] [--save DIR] [--select NAME]... [--select-all]\n"
    "                   [--answer yes|no]... [--plan] [-- TAIL...]\n";

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
    std::unique_ptr<simwin::Machine> machine;
    try {
        machine = simwin::Machine::load(options.machineDir);
    } catch (const std::exception& e) {
        std::cerr << "korun04-sim: cannot load the machine: " << e.what() << "\n";
        return 2;
    }
    simwin::MachineScope scope(*machine);
    machine->system.commandTail = options.tail;
    for (bool yes : options.answers) machine->windows.user.answers.push_back(yes);
    machine->transcript.echo = [](const std::string& line) { std::cout << line << std::endl; };

    int exitCode = 0;
    if (options.plan) {
        // The plan is the standard output; what a person would see goes to standard error.
        machine->transcript.echo = [](const std::string& line) { std::cerr << line << std::endl; };
        exitCode = RunPlan(std::cout, std::cerr, options.selects, options.selectAll);
    } else {
        std::string tail = CommandTailArgument(options.tail);
        exitCode = WinMain(reinterpret_cast<HINSTANCE>(0x400000), nullptr, &tail[0], SW_SHOWDEFAULT);
    }

    if (!options.saveDir.empty()) {
        try {
            machine->save(options.saveDir);
        } catch (const std::exception& e) {
            std::cerr << "korun04-sim: cannot save the machine: " << e.what() << "\n";
            return 2;
        }
    }
    return exitCode;
}
