// Whole runs of the backup, the restore and the resume: machines loaded from their text, the tool run with a
// command tail, a run killed at a line of its journal (the machine kept as the killed process left it), and
// the machines compared without the tool's own records.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "support/keeper_machine.h"
#include "support/machine_diff.h"
#include "support/temp_machine.h"
#include "support/tool_run.h"
#include "support/test_paths.h"

namespace backuprun {

// A machine to run on: the demo, or the safety rules' machine with a script that names one item of every
// kind for the printer "Office".
enum Shape { DEMO, EVERY_KIND };

const char kEveryKindScript[] =
    "[UnPrinterDrivers]\r\n\"Vestral Y Driver\",VYDRV,1\r\n"
    "[VYDRV.Files]\r\nvydrv.dll\r\nvyui.dll\r\nvstmon.exe\r\n"
    "[VYDRV.Monitors]\r\nVestral Port Monitor\r\n"
    "[VYDRV.PrintProcessors]\r\nVxProc\r\n"
    "[VYDRV.Services]\r\nVstStatus04\r\n"
    "[VYDRV.RegistryKeys]\r\nHKLM,\"SOFTWARE\\VESTRAL\\VY\",\"\",1\r\nHKCU,\"Software\\VESTRAL\\Settings\",\"Color\"\r\n"
    "[VYDRV.DeleteIni]\r\nvestral.ini,Office,Port\r\n"
    "[VYDRV.DeleteLoadRun]\r\nVstMonitor,vstmon.exe\r\n"
    "[VYDRV.Shortcuts]\r\n\"Vestral\",\"Monitor\"\r\n";

inline std::unique_ptr<simwin::Machine> Load(Shape shape) {
    if (shape == DEMO) return simwin::Machine::load(std::string(KORUN_SOURCE_DIR) + "/examples/demo");
    auto files = keepertest::Files();
    files["C/Windows/System32/spool/drivers/x64/Kunz__04.unm"] = kEveryKindScript;
    files["C/Windows/vestral.ini"] = "[Office]\r\nPort=VSTUSB001:\r\nTray=2\r\n";
    files["C/ProgramData/Microsoft/Windows/Start Menu/Programs/Vestral/Monitor.lnk"] = "LNK";
    const std::string registry = std::string(keepertest::kRegistry) +
                                 "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\VESTRAL\\VY]\n\"Version\"=\"4.2\"\n"
                                 "\"Flags\"=dword:00000003\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\VESTRAL\\VY\\Sub]\n"
                                 "\"Blob\"=hex:01,02,00,ff\n[HKEY_CURRENT_USER\\Software\\VESTRAL\\Settings]\n"
                                 "\"Color\"=\"blue\"\n\"Size\"=\"A4\"\n";
    // The processor the script names declares its library (keeper_machine.h), so that it can be installed again.
    return testmachine::Load(keepertest::kMachine, files, registry);
}

// The every-kind machine's oem5.inf has no copy in the driver store (a machine written before the store); a
// restore installs it again through setupapi on this Windows 8 machine, and it gains one.
const char kEveryKindStoreGain[] =
    "file added C:\\Windows\\System32\\DriverStore\\\n"
    "file added C:\\Windows\\System32\\DriverStore\\FileRepository\\\n"
    "file added C:\\Windows\\System32\\DriverStore\\FileRepository\\oem5.inf_amd64_985d46c06aff2ec6\\\n"
    "file added C:\\Windows\\System32\\DriverStore\\FileRepository\\oem5.inf_amd64_985d46c06aff2ec6\\oem5.inf\n";

inline const char* Tail(Shape shape) { return shape == DEMO ? "/QUIET /SELECT:ALL" : "/QUIET /SELECT:\"Office\""; }

// Runs the tool until its journal gets a line that begins with marker; the machine as the killed process
// left it is saved into dir. True when the line came (the run was killed there).
inline bool RunUntilCrash(simwin::Machine& m, const std::string& tail, const std::string& marker, const std::string& dir) {
    struct Killed {};
    bool killed = false;
    m.files.onWrite = [&](const std::string& path, const std::string& bytes, bool flushed) {
        const std::string name = "\\journal.txt";
        if (flushed || path.size() < name.size() || path.compare(path.size() - name.size(), name.size(), name) != 0 ||
            bytes.compare(0, marker.size(), marker) != 0)
            return;
        m.save(dir);
        killed = true;
        throw Killed();
    };
    try {
        toolrun::Run(m, tail);
    } catch (const Killed&) {
    }
    m.files.onWrite = nullptr;
    return killed;
}

// What differs between two machines beside the tool's records, one line per difference.
inline std::string Differences(const simwin::Machine& a, const simwin::Machine& b) {
    return machinediff::Compare(machinediff::Capture(a), machinediff::Capture(b)).Describe();
}

}  // namespace backuprun
