// Capture and replay, whole: the tool's /CAPTURE runs on a simulated machine, the folder it wrote is loaded
// as a machine of its own, and `korun04-sim --plan` on it must print what the plan of the machine itself
// prints, [refused] included. One row per machine of the whole-run tests; the capture changes nothing.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "inventory/loading_dlg.h"
#include "support/keeper_machine.h"
#include "support/machine_diff.h"
#include "support/temp_machine.h"
#include "support/tool_run.h"
#include "tools/korun04-sim/plan.h"
#include "support/test_paths.h"

namespace {

struct Source {
    std::string machineIni, registry;
    std::map<std::string, std::string> files;
    std::string directory;  // a machine directory instead of the three parts above
};

std::unique_ptr<simwin::Machine> LoadSource(const Source& s) {
    if (!s.directory.empty()) return simwin::Machine::load(s.directory);
    return testmachine::Load(s.machineIni, s.files, s.registry);
}

// What `korun04-sim --plan` prints on a machine (everything selected, no command tail).
std::string PlanOf(simwin::Machine& m, std::string& err) {
    simwin::MachineScope scope(m);
    m.system.commandTail.clear();
    CHost host;  // a process of its own: the loading's counters start afresh
    std::ostringstream out, errors;
    EXPECT_EQ(0, RunPlan(out, errors, {}, true));
    err = errors.str();
    return out.str();
}

std::string Section(const std::string& plan, const std::string& name) {
    const size_t at = plan.find("[" + name + "]\n");
    return at == std::string::npos ? std::string() : plan.substr(at);
}

const std::string kDemo = std::string(KORUN_SOURCE_DIR) + "/examples/demo";

// The whole-run tests' machine (tests/removal/whole_run_test.cpp): a family printer, another maker's, a script
// that names Windows's keys and the spooler.
Source WholeRun() {
    Source s;
    s.machineIni =
        "[driver]\nname = Vestral X Driver\n[driver]\nname = Acme Laser\n"
        "[printer]\nname = Office\ndriver = Vestral X Driver\nport = LPT1:\ndefault = yes\ndata.VestralDriver04 = 1\n"
        "[printer]\nname = Other\ndriver = Acme Laser\nport = LPT2:\n";
    const std::string drivers = "C/Windows/System32/spool/drivers/x64/";
    s.files = {{drivers + "Kunz__04.unm",
                "[UnPrinterDrivers]\r\n\"Vestral X Driver\",VXDRV,1\r\n[VXDRV.Files]\r\nvxdrv.dll\r\nvxbusy.dll\r\n"
                "[VXDRV.RegistryKeys]\r\nHKLM,\"SOFTWARE\\VESTRAL\\VX\",\"\",1\r\nHKLM,\"SOFTWARE\\Microsoft\",\"\",1\r\n"
                "[VXDRV.Services]\r\nSpooler\r\n"},
               {drivers + "vxdrv.dll", "MZ"}, {drivers + "vxbusy.dll", "MZ"}, {"C/Windows/System32/acme.dll", "MZ"}};
    s.registry = "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\VESTRAL\\VX\\Sub]\n\n"
                 "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\n";
    return s;
}

// The safety rules' machine (tests/support/keeper_machine.h) with a script that aims at every kind of thing
// Windows or the printers that stay need, beside the family's own items.
Source Hostile() {
    Source s;
    s.machineIni = keepertest::kMachine;
    s.registry = keepertest::kRegistry;
    s.files = keepertest::Files();
    s.files["C/Windows/System32/spool/drivers/x64/Kunz__04.unm"] =
        "[UnPrinterDrivers]\r\n\"Vestral Y Driver\",VYDRV,1\r\n\"Vestral X Driver\",VXDRV,2\r\n"
        "[VYDRV.Files]\r\nkernel32.dll\r\nntprint.inf\r\noem7.inf\r\nacmedrv.dll\r\nacmecore.dll\r\nvcommon.dll\r\n"
        "acmemon.dll\r\nacmeproc.dll\r\nv*.dll\r\nvydrv.dll\r\nvyui.dll\r\nvstmon.dll\r\nvxproc.dll\r\nvststat.exe\r\n"
        "[VYDRV.Services]\r\nVstStatus04\r\nAcmeSvc\r\nVstFilter\r\nVstShared\r\nVstNoBinary\r\nSpooler\r\n"
        "[VYDRV.Monitors]\r\nVestral Port Monitor\r\nAcme Port Monitor\r\nLocal Port\r\n"
        "[VYDRV.PrintProcessors]\r\nVxProc\r\nAcmeProc\r\nWinPrint\r\n"
        "[VYDRV.RegistryKeys]\r\nHKLM,\"SYSTEM\\CurrentControlSet\\Services\\AcmeSvc\",\"\",1\r\n"
        "HKCR,\".txt\",\"\",1\r\nHKCR,\"Vestral.Document\",\"\",1\r\nHKLM,\"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\","
        "\"AcmeTray\"\r\nHKLM,\"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\",\"VstMonitor\"\r\n"
        "[VYDRV.DeleteIni]\r\nwin.ini,windows,load\r\nvestral.ini,Ports,Office\r\n"
        "[VYDRV.Shortcuts]\r\n\"Accessories\",\"Notepad\"\r\n\"Vestral Printers\",\"Status\"\r\n";
    s.files["C/Windows/vestral.ini"] = "[Ports]\r\nOffice=USB001\r\n";
    s.files["C/Windows/win.ini"] = "[windows]\r\nload=vststat.exe\r\n";
    return s;
}

// The plan test's machine: a printer managed by Pavane, another maker's printers, a manufacturer profile.
Source Pavane() {
    Source s;
    s.machineIni =
        "[system]\nplatform = nt\ncomputer = FRONTDESK\n"
        "[printer]\nname = Office\ndriver = Vestral X Driver\nport = USB001\ndefault = yes\ndata.VestralDriver04 = 1\n"
        "[printer]\nname = Front\ndriver = Acme 9\nport = USB003\ndata.PavPrinter = Office\n"
        "[printer]\nname = Labels\ndriver = Vestral L Driver\nport = USB002\ndata.VestralDriver04 = 1\n"
        "[printer]\nname = \\\\SRV\\Shared\ndriver = Vestral X Driver\nserver = SRV\ndata.VestralDriver04 = 1\n"
        "[printer]\nname = Plotter\ndriver = Acme Plotter\nport = LPT1:\n";
    s.files = {{"C/Windows/System32/spool/drivers/x64/Kunz__04.unm",
                "[UnPrinterDrivers]\r\n\"Vestral X Driver\",VX,1\r\n\"Vestral L Driver\",VL,2\r\n"
                "[UnPrinterMfgs]\r\nPavane,PAV,1\r\n[VX.Files]\r\nx.dll\r\nshared.dll\r\n"
                "[VX.RegistryKeys]\r\nHKLM,\"SOFTWARE\\VESTRAL\\VX\",\"\",1\r\n[VL.Files]\r\nl.dll\r\nshared.dll\r\n"
                "[PAV.Files]\r\nPAVANE32.EXE\r\n"},
               {"C/Windows/System32/spool/drivers/x64/3/Kunz__04.unm", "[Unx_Ignore]\r\nAcme 9\r\n"},
               {"C/Windows/System32/spool/drivers/x64/x.dll", "MZ"},
               {"C/Windows/System32/spool/drivers/x64/3/shared.dll", "MZ"},
               {"C/Program Files/Vestral/PAVANE32.EXE", "MZ"}};
    s.registry = "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\VESTRAL\\OEM\\OEMPaths]\n"
                 "\"1\"=\"C:\\\\Program Files\\\\Vestral\"\n";
    return s;
}

// A machine of the 9x class: its own layout, no services, no devices.
Source Win9x() {
    Source s;
    s.machineIni =
        "[system]\nplatform = 9x\n"
        "[printer]\nname = Office\ndriver = Vestral X Driver\nport = LPT1:\ndefault = yes\ndata.VestralDriver04 = 1\n";
    s.files = {{"C/WINDOWS/SYSTEM/Kunz__04.unm",
                "[UnPrinterDrivers]\r\n\"Vestral X Driver\",VX,1\r\n[VX.Files]\r\nvx.dll\r\nKERNEL32.DLL\r\n"
                "[VX.DeleteIni]\r\nwin.ini,windows,load\r\n"},
               {"C/WINDOWS/SYSTEM/vx.dll", "MZ"}};
    return s;
}

struct Row {
    const char* name;
    Source (*source)();
};

Source Demo() {
    Source s;
    s.directory = kDemo;
    return s;
}

const Row kRows[] = {
    {"the demo machine", &Demo},
    {"the whole-run machine", &WholeRun},
    {"the safety rules' machine with a hostile script", &Hostile},
    {"Pavane, a connection and another maker's printers", &Pavane},
    {"a machine of the 9x class", &Win9x},
};

TEST(CaptureReplay, TheCaptureOfAMachinePlansAsTheMachineItself) {
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        const Source source = row.source();
        // The plan of the machine itself.
        auto original = LoadSource(source);
        std::string err;
        const std::string expected = PlanOf(*original, err);
        ASSERT_NE(std::string::npos, expected.find("[refused]")) << err;

        // The capture, made by the tool on another copy of the machine; it changes nothing but its folder
        // and the log.
        auto captured = LoadSource(source);
        const machinediff::State before = machinediff::Capture(*captured);
        {
            simwin::MachineScope scope(*captured);
            ASSERT_EQ(0, toolrun::Run(*captured, "/CAPTURE:\"C:\\capture\"")) << captured->files.read(
                captured->system.tempDir + "korun04.log");
        }
        const machinediff::Diff diff = machinediff::Compare(before, machinediff::Capture(*captured));
        EXPECT_TRUE(diff.filesRemoved.empty() && diff.filesChanged.size() <= 1 && diff.keysAdded.empty() &&
                    diff.keysRemoved.empty() && diff.valuesAdded.empty() && diff.valuesChanged.empty() &&
                    diff.objectsRemoved.empty() && diff.objectsAdded.empty());
        for (const std::string& added : diff.filesAdded)
            EXPECT_TRUE(added.find("capture") != std::string::npos || added.find("korun04.log") != std::string::npos)
                << added;

        // The folder as a machine directory of its own.
        testmachine::TempDir saved;
        captured->save(saved.path.string());
        const std::string folder = (saved.path / "drive" / "C" / "capture").string();
        std::unique_ptr<simwin::Machine> replay;
        ASSERT_NO_THROW(replay = simwin::Machine::load(folder));
        EXPECT_NE(std::string::npos, testmachine::ReadFile(saved.path / "drive/C/capture/capture.txt").find("registry: "));
        std::string replayErr;
        const std::string actual = PlanOf(*replay, replayErr);
        EXPECT_EQ(expected, actual) << "machine.ini of the capture:\n"
                                    << testmachine::ReadFile(saved.path / "drive/C/capture/machine.ini");
        EXPECT_EQ(Section(expected, "refused"), Section(actual, "refused"));
        EXPECT_EQ(err, replayErr);
    }
}

// The capture's exit codes: 0, 1603 with the reason when the folder cannot be written, 87 for a command line
// it does not take; the log says which.
TEST(CaptureReplay, ExitCodesAndTheirReasonsInTheLog) {
    const struct {
        const char* tail;
        int exitCode;
        const char* logged;
    } rows[] = {
        {"/CAPTURE:\"C:\\capture\"", 0, "run | the machine is captured in C:\\capture; nothing was changed"},
        {"/CAPTURE:\"C:\\Windows\\win.ini\\capture\"", 1603, "run | the capture cannot be written: the folder"},
        {"/CAPTURE:\"C:\\capture\" /SELECT:ALL", 87, "bad command line: /CAPTURE stands alone"},
        {"/CAPTURE", 87, "bad command line: /CAPTURE takes one folder name"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.tail);
        auto m = LoadSource(WholeRun());
        simwin::MachineScope scope(*m);
        m->files.writeFile("C:\\Windows\\win.ini", "[windows]\r\n");
        EXPECT_EQ(row.exitCode, toolrun::Run(*m, row.tail));
        const std::string log = m->files.read(toolrun::kDefaultLog);
        EXPECT_NE(std::string::npos, log.find(row.logged)) << log;
        EXPECT_EQ(row.exitCode == 0, m->files.exists("C:\\capture\\machine.ini"));
    }
}

// A capture goes into a folder of its own: one that does not exist or is empty. A folder that holds anything
// (or a file of that name) ends the run with 87 and leaves what is there untouched; a relative name is
// resolved against the current directory, and the log names the full path.
TEST(CaptureReplay, OnlyANewOrEmptyFolderTakesACapture) {
    const struct {
        const char* what;
        const char* tail;
        const char* existing;  // a file made before the run ("" none), or a folder when it ends with "\\"
        int exitCode;
        const char* logged;
    } rows[] = {
        {"missing folder", "/CAPTURE:\"C:\\capture\"", "", 0, "run | the machine is captured in C:\\capture; nothing"},
        {"empty folder", "/CAPTURE:\"C:\\capture\\\"", "C:\\capture\\", 0, "run | the machine is captured in C:\\capture; nothing"},
        {"folder with a file", "/CAPTURE:\"C:\\capture\"", "C:\\capture\\old.txt", 87,
         "bad command line: /CAPTURE: the folder C:\\capture already holds files"},
        {"a file of that name", "/CAPTURE:C:\\capture", "C:\\capture", 87, "bad command line: /CAPTURE: the folder C:\\capture is a file"},
        {"relative path", "/CAPTURE:..\\capture", "", 0, "run | the machine is captured in C:\\Users\\capture; nothing"},
        {"relative path to a used folder", "/CAPTURE:capture", "C:\\Users\\Admin\\capture\\machine.ini", 87,
         "the folder C:\\Users\\Admin\\capture already holds files"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        auto m = LoadSource(WholeRun());
        simwin::MachineScope scope(*m);
        m->files.currentDirectory = "C:\\Users\\Admin";
        const std::string existing = row.existing;
        if (!existing.empty() && existing.back() == '\\')
            m->files.makeDirectories(existing.substr(0, existing.size() - 1));
        else if (!existing.empty())
            m->files.writeFile(existing, "stale");
        EXPECT_EQ(row.exitCode, toolrun::Run(*m, row.tail));
        const std::string log = m->files.read(toolrun::kDefaultLog);
        EXPECT_NE(std::string::npos, log.find(row.logged)) << log;
        if (row.exitCode != 0 && existing.back() != '\\') EXPECT_EQ("stale", m->files.read(existing));
        if (row.exitCode != 0) EXPECT_FALSE(m->files.exists("C:\\capture\\machine.ini"));
    }
}

// What the capture writes of facts a replay must not lose: a disabled service keeps its start type (else the
// replay starts it on demand), and win.ini's [windows] in any case is the one section the default device
// line goes to (never a second one).
TEST(CaptureReplay, AServicesStartTypeAndWinIniOfAnyCaseAreKept) {
    const struct {
        const char* what;
        const char* winIni;
        const char* serviceStart;
        const char* expectedLine;
    } rows[] = {
        {"disabled service", "[windows]\r\n", "disabled", "start = disabled"},
        {"automatic service", "[windows]\r\n", "auto", "start = auto"},
        {"[Windows] in another case", "[Windows]\r\nload=\r\n[Ports]\r\nLPT1:=\r\n", "demand", "device=Office"},
        {"no [windows] at all", "[Ports]\r\nLPT1:=\r\n", "demand", "device=Office"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Source source = WholeRun();
        source.machineIni += std::string("[service]\nname = VstStatus04\nstart = ") + row.serviceStart +
                             "\nbinary = C:\\Program Files\\Vestral\\vststat.exe\n";
        const std::string script = "C/Windows/System32/spool/drivers/x64/Kunz__04.unm";
        source.files[script] += "VstStatus04\r\n";  // the last section of the script is [VXDRV.Services]
        source.files["C/Windows/win.ini"] = row.winIni;
        auto m = LoadSource(source);
        simwin::MachineScope scope(*m);
        ASSERT_EQ(0, toolrun::Run(*m, "/CAPTURE:\"C:\\capture\"")) << m->files.read(toolrun::kDefaultLog);
        const std::string machineIni = m->files.read("C:\\capture\\machine.ini");
        const std::string winIni = m->files.read("C:\\capture\\drive\\C\\Windows\\win.ini");
        const std::string captured = machineIni + winIni;
        EXPECT_NE(std::string::npos, captured.find(row.expectedLine)) << machineIni << winIni;
        size_t sections = 0;
        for (size_t at = 0; (at = simwin::toLower(winIni).find("[windows]", at)) != std::string::npos; ++at) ++sections;
        EXPECT_EQ(1u, sections) << winIni;
    }
}

}  // namespace
