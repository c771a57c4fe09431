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

}  // namespace
