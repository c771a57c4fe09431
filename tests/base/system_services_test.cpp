// The system services on simulated machines: administrator check, spooler stop and start,
// closing the family's other programs, starting a program and restarting Windows.
#include <gtest/gtest.h>

#include "base/os_version.h"
#include "base/system_services.h"
#include "support/temp_machine.h"

using testmachine::Load;

namespace {

int IsAdministratorOn(const std::string& machineIni, size_t* handlesLeft = nullptr) {
    auto m = Load(machineIni);
    simwin::MachineScope scope(*m);
    COSVersion os;
    int result = os.IsAdministrator();
    if (handlesLeft) *handlesLeft = m->handles.openCount();
    return result;
}

}  // namespace

TEST(SystemServices, AdministratorCheck) {
    size_t left = 99;
    EXPECT_EQ(1, IsAdministratorOn("[system]\nplatform = nt\nadmin = yes\n", &left));
    EXPECT_EQ(0u, left);
    EXPECT_EQ(0, IsAdministratorOn("[system]\nplatform = nt\nadmin = no\n", &left));
    EXPECT_EQ(0u, left);
    // Administrators held only for deny checks still counts.
    EXPECT_EQ(1, IsAdministratorOn("[system]\nplatform = nt\nadmin = deny-only\n"));
    // A group list larger than 4096 bytes cannot be read: not an administrator.
    EXPECT_EQ(1, IsAdministratorOn("[system]\nplatform = nt\nadmin = yes\ngroups = 50\n"));
    EXPECT_EQ(0, IsAdministratorOn("[system]\nplatform = nt\nadmin = yes\ngroups = 300\n", &left));
    EXPECT_EQ(0u, left);
    // Outside the NT family there is no token to ask (OpenProcessToken fails there).
    EXPECT_EQ(1, IsAdministratorOn("[system]\nplatform = 9x\nadmin = no\n"));
    EXPECT_EQ(1, IsAdministratorOn("[system]\nplatform = win32s\nadmin = no\n"));
}

TEST(SystemServices, StopAndStartTheSpooler) {
    auto m = Load("[system]\nplatform = nt\n");
    simwin::MachineScope scope(*m);
    EXPECT_EQ(1, StartSpooler());  // running already
    EXPECT_EQ(1, StopSpooler());
    EXPECT_EQ("stopped", m->services.spoolerState());
    EXPECT_EQ(0, StopSpooler());  // not running: the stop control is refused
    EXPECT_EQ(1, StartSpooler());
    EXPECT_EQ("running", m->services.spoolerState());
    EXPECT_EQ(0u, m->handles.openCount());

    auto broken = Load("[system]\nplatform = nt\n[spooler]\nstate = no-start\n");
    simwin::MachineScope s2(*broken);
    EXPECT_EQ(1, StopSpooler());
    EXPECT_EQ(0, StartSpooler());
    EXPECT_EQ(0u, broken->handles.openCount());

    auto user = Load("[system]\nplatform = nt\nadmin = no\n");
    simwin::MachineScope s3(*user);
    EXPECT_EQ(0, StopSpooler());
    EXPECT_EQ(0, StartSpooler());
    EXPECT_EQ("running", user->services.spoolerState());

    auto old = Load("[system]\nplatform = 9x\n");
    simwin::MachineScope s4(*old);
    EXPECT_EQ(0, StopSpooler());
    EXPECT_EQ(0, StartSpooler());
}

TEST(SystemServices, SiblingApplicationsAreClosedThenTheBroadcastGoesOut) {
    auto m = Load("[window]\nclass = NPSD04\n[window]\nclass = VSTStatusClass_04\ntitle = first\n"
                  "[window]\nclass = VSTStatusClass_04\ntitle = second\n[window]\nclass = Notepad\n");
    simwin::MachineScope scope(*m);
    EXPECT_EQ(1, CloseSiblingApplications());
    const auto w = m->windows.standInWindows();
    ASSERT_EQ(4u, w.size());
    EXPECT_TRUE(w[0]->destroyed);
    EXPECT_EQ(std::vector<std::string>{"WM_CLOSE lParam=1"}, w[0]->received);
    EXPECT_TRUE(w[1]->destroyed);  // only the first window of a class
    EXPECT_EQ(std::vector<std::string>{"WM_CLOSE lParam=0"}, w[1]->received);
    EXPECT_FALSE(w[2]->destroyed);
    EXPECT_EQ(std::vector<std::string>{"KORunClose04"}, w[2]->received);
    EXPECT_FALSE(w[3]->destroyed);
    EXPECT_EQ(std::vector<std::string>{"KORunClose04"}, w[3]->received);
    // The status monitor (class 2) is closed before the NPSD04 window (class 8).
    const auto& t = m->transcript.lines;
    auto at = [&](const std::string& text) {
        for (size_t i = 0; i < t.size(); ++i)
            if (t[i].find(text) != std::string::npos) return i;
        return t.size();
    };
    EXPECT_LT(at("VSTStatusClass_04"), at("NPSD04"));
    EXPECT_LT(at("NPSD04"), at("broadcast KORunClose04"));
    EXPECT_LT(at("broadcast KORunClose04"), t.size());

    auto empty = Load("[system]\nplatform = nt\n");
    simwin::MachineScope s2(*empty);
    EXPECT_EQ(1, CloseSiblingApplications());
    EXPECT_EQ(1u, empty->transcript.count("broadcast KORunClose04"));
}

TEST(SystemServices, SpoolProcessWindow) {
    auto m = Load("[window]\nclass = SpoolProcessClass\n");
    simwin::MachineScope scope(*m);
    const uint64_t before = m->clock.ms;
    EXPECT_EQ(1, CloseSpoolProcessWindow());
    EXPECT_TRUE(m->windows.standInWindows()[0]->destroyed);
    EXPECT_EQ(before + 1000, m->clock.ms);
    EXPECT_EQ(0, CloseSpoolProcessWindow());  // gone now
}

TEST(SystemServices, RunProgramPassesTheHandleOn) {
    auto m = Load("[program]\npath = C:\\Program Files\\Vestral\\PAVANE32.EXE\nticks = 1\n",
                  {{"C/Program Files/Vestral/PAVANE32.EXE", "MZ"}});
    simwin::MachineScope scope(*m);
    HANDLE p = RunProgram("C:\\Program Files\\Vestral\\PAVANE32.EXE");
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(1u, m->handles.openCount());  // the thread handle is closed at once
    EXPECT_EQ(" /d", m->processes.processes.at(0)->commandLine);
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeProcess(p, &code));
    EXPECT_EQ(DWORD(STILL_ACTIVE), code);
    ASSERT_TRUE(GetExitCodeProcess(p, &code));
    EXPECT_EQ(0u, code);
    CloseHandle(p);

    EXPECT_EQ(nullptr, RunProgram("C:\\Program Files\\Vestral\\PAVANE.EXE"));
    EXPECT_EQ(1u, m->processes.processes.size());
    EXPECT_EQ(0u, m->handles.openCount());
}

TEST(SystemServices, RebootNeedsTheShutdownPrivilege) {
    auto m = Load("[system]\nplatform = nt\nshutdown = yes\n");
    simwin::MachineScope scope(*m);
    EXPECT_EQ(1, RebootWithShutdownPrivilege());
    EXPECT_TRUE(m->system.rebootRequested);
    EXPECT_EQ(0u, m->handles.openCount());

    auto denied = Load("[system]\nplatform = nt\nshutdown = no\n");
    simwin::MachineScope s2(*denied);
    EXPECT_EQ(0, RebootWithShutdownPrivilege());
    EXPECT_FALSE(denied->system.rebootRequested);
    EXPECT_EQ(0u, denied->handles.openCount());
}
