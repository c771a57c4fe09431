#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>
#include <vector>

#include "simwin/machine.h"
#include "support/temp_machine.h"
#include "simwin/win32.h"

namespace fs = std::filesystem;

namespace {

using testmachine::ReadFile;
using testmachine::Snapshot;
using testmachine::TempDir;
using testmachine::WriteFile;

TEST(MachineDirectory, SaveIsDeterministicAndLoadOfSaveSavesIdentically) {
    TempDir src, first, second;
    WriteFile(src.path / "machine.ini",
              "[system]\nplatform = nt\nversion = 10.0\ncomputer = WS7\nadmin = deny-only\n"
              "[spooler]\nstate = no-start\n"
              "[service]\nname = VstStatus04\nstate = stopped\n"
              "[window]\nclass = VSTStatusClass_04\ntitle = Status\n"
              "[printer]\nname = Office\ndriver = D\ndata.VestralDriver04 = 1\n"
              "[printer]\nname = Second\ndriver = D\n");
    WriteFile(src.path / "registry.reg",
              "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\VESTRAL]\n\"A\"=\"1\"\n");
    WriteFile(src.path / "drive/C/Data/a.txt", "hello");

    auto m = simwin::Machine::load(src.path.string());
    m->save(first.path.string());
    auto again = simwin::Machine::load(first.path.string());
    again->save(second.path.string());
    EXPECT_EQ(Snapshot(first.path), Snapshot(second.path));

    // Saving the same machine twice gives the same bytes.
    TempDir third;
    m->save(third.path.string());
    EXPECT_EQ(Snapshot(first.path), Snapshot(third.path));

    // What was loaded is what was saved.
    EXPECT_EQ("hello", ReadFile(first.path / "drive/C/Data/a.txt"));
    EXPECT_EQ(10u, again->system.major);
    EXPECT_EQ("WS7", again->system.computer);
    EXPECT_TRUE(again->system.adminDenyOnly);
    EXPECT_EQ("no-start", again->services.spoolerState());
    ASSERT_NE(nullptr, again->services.find("VstStatus04"));
    EXPECT_FALSE(again->services.find("VstStatus04")->running);
    ASSERT_NE(nullptr, again->windows.findByClass("VSTStatusClass_04"));
    // Sections of later subsystems are kept, in order.
    std::string ini = ReadFile(second.path / "machine.ini");
    EXPECT_LT(ini.find("name = Office"), ini.find("name = Second"));
    EXPECT_NE(std::string::npos, ini.find("data.VestralDriver04 = 1"));
}

TEST(MachineDirectory, SavedStateShowsWhatTheRunChanged) {
    TempDir before, after;
    simwin::Machine m;
    m.save(before.path.string());
    {
        simwin::MachineScope scope(m);
        SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
        SC_HANDLE spooler = OpenServiceA(manager, "Spooler", SERVICE_ALL_ACCESS);
        SERVICE_STATUS status;
        ASSERT_TRUE(ControlService(spooler, SERVICE_CONTROL_STOP, &status));
        CloseServiceHandle(spooler);
        CloseServiceHandle(manager);
    }
    m.save(after.path.string());
    auto b = Snapshot(before.path), a = Snapshot(after.path);
    EXPECT_EQ(b.size(), a.size());
    for (auto& kv : b) {
        if (kv.first != "machine.ini") {
            EXPECT_EQ(kv.second, a[kv.first]) << kv.first;
        }
    }
    EXPECT_NE(std::string::npos, a["machine.ini"].find("state = stopped"));
}

TEST(MachineDirectory, StandardLayoutsPerPlatform) {
    TempDir dir;
    WriteFile(dir.path / "machine.ini", "[system]\nplatform = 9x\n");
    auto m = simwin::Machine::load(dir.path.string());
    EXPECT_EQ(4u, m->system.major);
    EXPECT_EQ(10u, m->system.minor);
    EXPECT_TRUE(m->files.isDirectory("C:\\WINDOWS\\SYSTEM"));
    EXPECT_EQ("PC01", m->system.computer);

    TempDir nt;
    WriteFile(nt.path / "machine.ini", "[system]\nplatform = nt\n");
    auto n = simwin::Machine::load(nt.path.string());
    EXPECT_EQ(6u, n->system.major);
    EXPECT_EQ(2u, n->system.minor);
    EXPECT_TRUE(n->files.isDirectory("C:\\Windows\\System32\\spool\\drivers\\W32X86"));
    EXPECT_TRUE(n->files.isDirectory("C:\\Windows\\System32\\spool\\prtprocs\\x64"));
    EXPECT_TRUE(n->files.isDirectory("C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs"));
    EXPECT_EQ("running", n->services.spoolerState());

    TempDir w32s;
    WriteFile(w32s.path / "machine.ini", "[system]\nplatform = win32s\n");
    auto s = simwin::Machine::load(w32s.path.string());
    EXPECT_EQ(3u, s->system.major);
    EXPECT_TRUE(s->system.shellFolders.empty());
}

TEST(MachineDirectory, ErrorsNameTheFileAndLine) {
    TempDir dir;
    WriteFile(dir.path / "machine.ini", "[system]\nplatform = nt\nthis line has no equals sign\n");
    try {
        simwin::Machine::load(dir.path.string());
        FAIL() << "expected an error";
    } catch (const simwin::MachineError& e) {
        EXPECT_NE(std::string::npos, std::string(e.what()).find("machine.ini:3"));
    }
    WriteFile(dir.path / "machine.ini", "[system]\nplatform = os2\n");
    EXPECT_THROW(simwin::Machine::load(dir.path.string()), simwin::MachineError);
    WriteFile(dir.path / "machine.ini", "[spooler]\nstate = sleepy\n");
    EXPECT_THROW(simwin::Machine::load(dir.path.string()), simwin::MachineError);
    WriteFile(dir.path / "machine.ini", "[system]\nadmin = maybe\n");
    EXPECT_THROW(simwin::Machine::load(dir.path.string()), simwin::MachineError);
    EXPECT_THROW(simwin::Machine::load((dir.path / "missing").string()), simwin::MachineError);
}

class ServicesTest : public ::testing::Test {
protected:
    void SetUp() override {
        manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
        ASSERT_NE(nullptr, manager);
    }
    void TearDown() override { CloseServiceHandle(manager); }
    simwin::Machine m;
    simwin::MachineScope scope{m};
    SC_HANDLE manager = nullptr;
};

TEST_F(ServicesTest, StopAndStartFollowTheServiceState) {
    SC_HANDLE s = OpenServiceA(manager, "spooler", SERVICE_START | SERVICE_STOP);
    ASSERT_NE(nullptr, s);
    SERVICE_STATUS st;
    EXPECT_FALSE(StartServiceA(s, 0, NULL));
    EXPECT_EQ(ERROR_SERVICE_ALREADY_RUNNING, GetLastError());
    EXPECT_TRUE(ControlService(s, SERVICE_CONTROL_STOP, &st));
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), st.dwCurrentState);
    EXPECT_FALSE(ControlService(s, SERVICE_CONTROL_STOP, &st));
    EXPECT_EQ(ERROR_SERVICE_NOT_ACTIVE, GetLastError());
    EXPECT_TRUE(StartServiceA(s, 0, NULL));
    EXPECT_EQ("running", m.services.spoolerState());
    CloseServiceHandle(s);
}

TEST_F(ServicesTest, AccessRightsOfTheHandleAreChecked) {
    SC_HANDLE s = OpenServiceA(manager, "Spooler", SERVICE_QUERY_STATUS);
    SERVICE_STATUS st;
    EXPECT_FALSE(ControlService(s, SERVICE_CONTROL_STOP, &st));
    EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
    EXPECT_FALSE(StartServiceA(s, 0, NULL));
    EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
    EXPECT_TRUE(QueryServiceStatus(s, &st));
    EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), st.dwCurrentState);
    CloseServiceHandle(s);
}

TEST_F(ServicesTest, MissingServiceAndFaultStates) {
    EXPECT_EQ(nullptr, OpenServiceA(manager, "NoSuchService", SERVICE_ALL_ACCESS));
    EXPECT_EQ(ERROR_SERVICE_DOES_NOT_EXIST, GetLastError());

    m.services.setSpoolerState("unresponsive");
    SC_HANDLE s = OpenServiceA(manager, "Spooler", SERVICE_ALL_ACCESS);
    SERVICE_STATUS st;
    EXPECT_TRUE(ControlService(s, SERVICE_CONTROL_STOP, &st));
    EXPECT_TRUE(StartServiceA(s, 0, NULL));
    EXPECT_FALSE(m.services.spoolerAnswers());  // still hung after the restart

    m.services.setSpoolerState("no-start");
    EXPECT_TRUE(ControlService(s, SERVICE_CONTROL_STOP, &st));
    EXPECT_FALSE(StartServiceA(s, 0, NULL));
    EXPECT_EQ(ERROR_SERVICE_REQUEST_TIMEOUT, GetLastError());
    EXPECT_EQ("no-start", m.services.spoolerState());
    EXPECT_FALSE(m.services.find("Spooler")->running);
    CloseServiceHandle(s);
}

TEST_F(ServicesTest, DeletedServiceGoesWithItsLastHandle) {
    m.services.add("VstStatus04", false);
    SC_HANDLE a = OpenServiceA(manager, "VstStatus04", SERVICE_ALL_ACCESS);
    SC_HANDLE b = OpenServiceA(manager, "VstStatus04", SERVICE_ALL_ACCESS);
    EXPECT_TRUE(DeleteService(a));
    EXPECT_FALSE(DeleteService(b));
    EXPECT_EQ(ERROR_SERVICE_MARKED_FOR_DELETE, GetLastError());
    CloseServiceHandle(a);
    EXPECT_NE(nullptr, m.services.find("VstStatus04"));
    CloseServiceHandle(b);
    EXPECT_EQ(nullptr, m.services.find("VstStatus04"));
}

TEST(ServiceManager, NotAvailableOutsideNtAndDeniedToNonAdministrators) {
    simwin::Machine m9x(simwin::Platform::Win9x);
    {
        simwin::MachineScope scope(m9x);
        EXPECT_EQ(nullptr, OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS));
        EXPECT_EQ(ERROR_CALL_NOT_IMPLEMENTED, GetLastError());
    }
    simwin::Machine filtered;
    filtered.system.adminDenyOnly = true;  // a filtered administrator token
    {
        simwin::MachineScope scope(filtered);
        EXPECT_EQ(nullptr, OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS));
        EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
    }
    simwin::Machine user;
    user.system.admin = false;
    simwin::MachineScope scope(user);
    EXPECT_EQ(nullptr, OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS));
    EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
    SC_HANDLE h = OpenSCManagerA(NULL, NULL, SC_MANAGER_CONNECT);
    EXPECT_NE(nullptr, h);
    CloseServiceHandle(h);
}

TEST(Token, GroupsListTheAdministratorsGroupWithItsAttributes) {
    for (const char* admin : {"yes", "deny-only", "no"}) {
        simwin::Machine m;
        simwin::IniSection s{"system", {{"admin", admin}}};
        m.system.load(s);
        simwin::MachineScope scope(m);
        HANDLE token = NULL;
        ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_READ, &token));
        DWORD needed = 0;
        EXPECT_FALSE(GetTokenInformation(token, TokenGroups, NULL, 0, &needed));
        EXPECT_EQ(ERROR_INSUFFICIENT_BUFFER, GetLastError());
        std::vector<BYTE> buffer(needed);
        ASSERT_TRUE(GetTokenInformation(token, TokenGroups, buffer.data(), needed, &needed));
        CloseHandle(token);
        SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
        PSID admins = NULL;
        ASSERT_TRUE(AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0,
                                             0, 0, &admins));
        auto* groups = reinterpret_cast<TOKEN_GROUPS*>(buffer.data());
        int found = -1;
        for (DWORD i = 0; i < groups->GroupCount; ++i)
            if (EqualSid(groups->Groups[i].Sid, admins)) found = static_cast<int>(i);
        FreeSid(admins);
        if (std::string(admin) == "no") {
            EXPECT_EQ(-1, found);
        } else {
            ASSERT_GE(found, 0) << admin;
            bool denyOnly = groups->Groups[found].Attributes & SE_GROUP_USE_FOR_DENY_ONLY;
            EXPECT_EQ(std::string(admin) == "deny-only", denyOnly);
        }
    }
}

TEST(Token, ShutdownPrivilegeGatesTheReboot) {
    for (bool held : {true, false}) {
        simwin::Machine m;
        m.system.shutdownPrivilege = held;
        simwin::MachineScope scope(m);
        EXPECT_FALSE(ExitWindowsEx(EWX_REBOOT, 0));  // not enabled yet
        HANDLE token = NULL;
        ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token));
        TOKEN_PRIVILEGES tp;
        tp.PrivilegeCount = 1;
        ASSERT_TRUE(LookupPrivilegeValueA(NULL, SE_SHUTDOWN_NAME, &tp.Privileges[0].Luid));
        tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        EXPECT_TRUE(AdjustTokenPrivileges(token, FALSE, &tp, 0, NULL, NULL));
        EXPECT_EQ(held ? ERROR_SUCCESS : ERROR_NOT_ALL_ASSIGNED, GetLastError());
        CloseHandle(token);
        EXPECT_EQ(held, ExitWindowsEx(EWX_REBOOT, 0) != 0);
        EXPECT_EQ(held, m.system.rebootRequested);
    }
}

TEST(Windows, FindBroadcastAndClose) {
    simwin::Machine m;
    simwin::MachineScope scope(m);
    m.windows.add("NPSD04", "", true);
    HWND w = FindWindowA("npsd04", NULL);
    ASSERT_NE(nullptr, w);
    EXPECT_EQ(nullptr, FindWindowA("Nothing", NULL));
    UINT msg = RegisterWindowMessageA("KORunClose04");
    EXPECT_EQ(msg, RegisterWindowMessageA("korunclose04"));
    EXPECT_GE(msg, 0xC000u);
    EXPECT_TRUE(PostMessageA(HWND_BROADCAST, msg, 0, 0));
    SendMessageA(w, WM_CLOSE, 0, 1);
    EXPECT_EQ(nullptr, FindWindowA("NPSD04", NULL));
    EXPECT_EQ(1u, m.transcript.count("broadcast KORunClose04"));
    EXPECT_EQ(1u, m.transcript.count("WM_CLOSE sent to NPSD04 (lParam 1)"));
}

TEST(MessageBox, ScriptedAnswersAreUsedInOrderThenNo) {
    simwin::Machine m;
    simwin::MachineScope scope(m);
    m.windows.user.answers = {true, false, true};
    EXPECT_EQ(IDYES, MessageBoxA(NULL, "q1", "c", MB_YESNO));
    EXPECT_EQ(IDOK, MessageBoxA(NULL, "info", "c", MB_OK));  // an OK box takes no answer
    EXPECT_EQ(IDNO, MessageBoxA(NULL, "q2", "c", MB_YESNO));
    EXPECT_EQ(IDYES, MessageBoxA(NULL, "q3", "c", MB_YESNO | MB_DEFBUTTON2));
    EXPECT_EQ(IDNO, MessageBoxA(NULL, "q4", "c", MB_YESNO));
    EXPECT_EQ("message box \"c\": \"q1\" -> Yes", m.transcript.lines[0]);
    EXPECT_EQ("message box \"c\": \"info\" -> OK", m.transcript.lines[1]);
    MessageBoxA(NULL, "two\nlines", "c", MB_OK);
    EXPECT_EQ("message box \"c\": \"two\\nlines\" -> OK", m.transcript.lines.back());
}

}  // namespace

namespace {

// The machine's local time starts on a Monday morning and runs with the virtual clock, across days,
// months and years.
TEST(MachineClock, LocalTimeRunsWithTheVirtualClock) {
    simwin::Machine m;
    simwin::MachineScope scope(m);
    struct Case {
        uint64_t ms;
        WORD year, month, day, weekday, hour, minute, second, milli;
    };
    const uint64_t kDay = 86400000ULL;
    const Case cases[] = {
        {0, 2025, 3, 3, 1, 9, 0, 0, 0},
        {15 * 3600000ULL - 1, 2025, 3, 3, 1, 23, 59, 59, 999},
        {15 * 3600000ULL, 2025, 3, 4, 2, 0, 0, 0, 0},
        {28 * kDay + 1234, 2025, 3, 31, 1, 9, 0, 1, 234},
        {29 * kDay, 2025, 4, 1, 2, 9, 0, 0, 0},
        {365 * kDay, 2026, 3, 3, 2, 9, 0, 0, 0},
        {(365 + 365 + 365) * kDay, 2028, 3, 2, 4, 9, 0, 0, 0},  // 2028 is a leap year: 29 February comes first
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ms);
        m.clock.ms = c.ms;
        SYSTEMTIME t;
        std::memset(&t, 0xbd, sizeof t);
        GetLocalTime(&t);
        EXPECT_EQ(c.year, t.wYear);
        EXPECT_EQ(c.month, t.wMonth);
        EXPECT_EQ(c.day, t.wDay);
        EXPECT_EQ(c.weekday, t.wDayOfWeek);
        EXPECT_EQ(c.hour, t.wHour);
        EXPECT_EQ(c.minute, t.wMinute);
        EXPECT_EQ(c.second, t.wSecond);
        EXPECT_EQ(c.milli, t.wMilliseconds);
    }
    GetLocalTime(nullptr);  // nothing to fill: no crash
}

}  // namespace
