// Whole runs of korun04-sim: load a machine directory, run the tool, compare the saved states.
#include <gtest/gtest.h>

#include "support/temp_machine.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

using testmachine::ReadFile;
using testmachine::RunSim;
using testmachine::SimResult;
using testmachine::Snapshot;
using testmachine::WriteFile;

class SimRun : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("korun-sim-test-" + std::to_string(getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        machine = root / "machine";
        WriteFile(machine / "registry.reg",
                  "Windows Registry Editor Version 5.00\n\n"
                  "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce]\n"
                  "\"Lumica 900\"=\"korun04.exe RestartSpooler\"\n"
                  "\"Other\"=\"stays\"\n");
        WriteMachineIni("");
    }
    void TearDown() override { fs::remove_all(root); }
    void WriteMachineIni(const std::string& extra) {
        WriteFile(machine / "machine.ini", "[system]\nplatform = nt\n" + extra);
    }
    std::string Q(const fs::path& p) { return "'" + p.string() + "'"; }
    fs::path root, machine;
};

TEST_F(SimRun, RestartSpoolerDeletesOnlyTheRunOnceValue) {
    fs::path after = root / "after";
    SimResult r = RunSim("--machine " + Q(machine) + " --save " + Q(after) + " -- reStartSpooler");
    EXPECT_EQ(0, r.exitCode) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("service Spooler stopped"));
    EXPECT_NE(std::string::npos, r.out.find("service Spooler started"));
    std::string reg = ReadFile(after / "registry.reg");
    EXPECT_EQ(std::string::npos, reg.find("Lumica 900"));
    EXPECT_NE(std::string::npos, reg.find("\"Other\"=\"stays\""));
    EXPECT_NE(std::string::npos, ReadFile(after / "machine.ini").find("state = running"));
}

TEST_F(SimRun, TwoSavesOfTheSameRunAreIdentical) {
    fs::path a = root / "a", b = root / "b";
    EXPECT_EQ(0, RunSim("--machine " + Q(machine) + " --save " + Q(a) + " -- RestartSpooler").exitCode);
    EXPECT_EQ(0, RunSim("--machine " + Q(machine) + " --save " + Q(b) + " -- RestartSpooler").exitCode);
    EXPECT_EQ(Snapshot(a), Snapshot(b));
    // A saved machine loads and saves to the same bytes.
    fs::path c = root / "c";
    EXPECT_EQ(0, RunSim("--machine " + Q(a) + " --save " + Q(c) + " -- RestartSpooler").exitCode);
    EXPECT_EQ(Snapshot(a), Snapshot(c));
}

TEST_F(SimRun, SpoolerThatWillNotStartShowsTheMessageOnce) {
    WriteMachineIni("[spooler]\nstate = no-start\n");
    fs::path after = root / "after";
    SimResult r = RunSim("--machine " + Q(machine) + " --save " + Q(after) + " -- RestartSpooler");
    EXPECT_EQ(0, r.exitCode);
    size_t first = r.out.find("Error starting Spooler Service.");
    ASSERT_NE(std::string::npos, first) << r.out;
    EXPECT_EQ(std::string::npos, r.out.find("Error starting Spooler Service.", first + 1));
    EXPECT_NE(std::string::npos, r.out.find("\"Fatal Error\""));
    EXPECT_EQ(std::string::npos, ReadFile(after / "registry.reg").find("Lumica 900"));
    std::string ini = ReadFile(after / "machine.ini");
    EXPECT_NE(std::string::npos, ini.find("state = no-start"));
    EXPECT_NE(std::string::npos, ini.find("running = no"));
}

TEST_F(SimRun, OldWindowsLeavesTheSpoolerAlone) {
    WriteMachineIni("version = 4.0\n");
    fs::path after = root / "after";
    SimResult r = RunSim("--machine " + Q(machine) + " --save " + Q(after) + " -- RestartSpooler");
    EXPECT_EQ(0, r.exitCode);
    EXPECT_EQ(std::string::npos, r.out.find("service Spooler"));
    EXPECT_EQ(std::string::npos, ReadFile(after / "registry.reg").find("Lumica 900"));
}

TEST_F(SimRun, KeywordFollowedByAnotherWordRunsTheInteractiveMode) {
    fs::path after = root / "after";
    SimResult r = RunSim("--machine " + Q(machine) + " --save " + Q(after) + " -- RestartSpooler now");
    EXPECT_NE(std::string::npos, r.out.find("dialog IDD_MAIN_NOBMP shown")) << r.out;
    EXPECT_NE(std::string::npos, ReadFile(after / "registry.reg").find("Lumica 900"));
}

TEST_F(SimRun, MisspeltMachineKeyStopsTheRunWithItsFileAndLine) {
    WriteMachineIni("; platform written wrong\nplatfrom = 9x\n");
    SimResult r = RunSim("--machine " + Q(machine) + " --plan");
    EXPECT_EQ(2, r.exitCode) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("korun04-sim: cannot load the machine: " +
                                            (machine / "machine.ini").string() +
                                            ":4: unknown key 'platfrom' in [system]\n"))
        << r.out;
    EXPECT_EQ(std::string::npos, r.out.find("[printer]")) << r.out;  // nothing ran
}

TEST_F(SimRun, UnreadableMachineAndBadOptionsAreReported) {
    SimResult r = RunSim("--machine " + Q(root / "missing"));
    EXPECT_NE(0, r.exitCode);
    EXPECT_NE(std::string::npos, r.out.find("cannot load the machine"));
    r = RunSim("--answer maybe");
    EXPECT_NE(0, r.exitCode);
    EXPECT_NE(std::string::npos, r.out.find("--answer"));
    r = RunSim("--frobnicate");
    EXPECT_NE(0, r.exitCode);
    EXPECT_NE(std::string::npos, r.out.find("unknown option"));
}

// The interactive run on the demo machine: the loading dialog, the selection page, every printer selected,
// Uninstall, the removal page and its stages to the end; the saved machine shows what the run changed.
TEST_F(SimRun, InteractiveRunOfTheDemoRemovesEveryPrinter) {
    fs::path after = root / "after";
    SimResult r = RunSim("--save " + Q(after) + " --show");
    EXPECT_EQ(1, r.exitCode) << r.out;
    const char* inOrder[] = {"dialog 115 shown", "service Spooler stopped", "service Spooler started",
                             "dialog IDD_MAIN_NOBMP shown", "|             0  \"Office\"  image 1  selected focused",
                             "|     [0] #32770 (page IDD_REMOVE)", "program started: C:\\Program Files\\Vestral\\PAVANE32.EXE",
                             "service VstStatus04 marked for deletion", "service Spooler stopped", "service Spooler started",
                             "今、再起動しますか？\" -> No"};
    size_t at = 0;
    for (const char* line : inOrder) {
        size_t found = r.out.find(line, at);
        ASSERT_NE(std::string::npos, found) << line << "\n" << r.out;
        at = found;
    }
    // The family's printers and drivers are gone, the other maker's stay; the spooler runs again.
    std::string ini = ReadFile(after / "machine.ini");
    EXPECT_NE(std::string::npos, ini.find("state = running")) << ini;
    EXPECT_EQ(std::string::npos, ini.find("VSTStatusClass_04")) << ini;
    EXPECT_EQ(std::string::npos, ini.find("name = Office")) << ini;
    EXPECT_EQ(std::string::npos, ini.find("Vestral X Driver")) << ini;
    EXPECT_NE(std::string::npos, ini.find("name = Plotter")) << ini;
    EXPECT_NE(std::string::npos, ini.find("name = Acme Plotter 9")) << ini;
    EXPECT_FALSE(fs::exists(after / "drive/C/Windows/System32/spool/drivers/x64/vxdrv.dll"));
}

TEST_F(SimRun, AUserFileDrivesTheInterfaceAndItsMistakesNameTheLine) {
    fs::path user = root / "user.txt";
    WriteFile(user, "system-menu 156\npress 1\nkey escape\n");
    SimResult r = RunSim("--user " + Q(user));
    EXPECT_EQ(1, r.exitCode) << r.out;  // Escape ends the main window with 1
    EXPECT_NE(std::string::npos, r.out.find("dialog 114 shown")) << r.out;

    WriteFile(user, "# one good line\npress 1052\nfly away\n");
    r = RunSim("--user " + Q(user));
    EXPECT_EQ(2, r.exitCode) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("korun04-sim: " + user.string() + ":3: unknown action 'fly'")) << r.out;

    WriteFile(user, "press 1080\n");  // disabled until a printer is selected
    r = RunSim("--user " + Q(user));
    EXPECT_EQ(3, r.exitCode) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("user (line 1): cannot press 1080 in \"アンインストール\" (dialog IDD_MAIN_NOBMP): "
                                            "the button is disabled"))
        << r.out;
}

TEST_F(SimRun, PlanRunsTheLoadingDialogOnTheVirtualClock) {
    SimResult r = RunSim("--plan");
    EXPECT_EQ(0, r.exitCode) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("dialog 115 shown")) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("[selection]\nremoving = 3\n")) << r.out;
}

}  // namespace
