// Stand-in programs: CreateProcessA starts only programs the machine declares and whose file
// exists; GetExitCodeProcess answers STILL_ACTIVE for the declared number of polls.
#include <gtest/gtest.h>

#include <cstring>

#include "support/temp_machine.h"
#include "simwin/win32.h"

using testmachine::Load;

namespace {

const char kPavane[] = "C:\\Program Files\\Vestral\\PAVANE32.EXE";

std::unique_ptr<simwin::Machine> PavaneMachine() {
    return Load("[system]\nplatform = nt\n[program]\npath = C:\\Program Files\\Vestral\\PAVANE32.EXE\nticks = 3\n"
                "exitcode = 7\n[program]\npath = C:\\Tools\\gone.exe\n",
                {{"C/Program Files/Vestral/PAVANE32.EXE", "MZ"}, {"C/Tools/plain.exe", "MZ"}});
}

BOOL Start(const char* app, const char* cmd, PROCESS_INFORMATION& pi) {
    STARTUPINFOA si;
    std::memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    std::memset(&pi, 0, sizeof pi);
    char line[64] = "";
    if (cmd) std::strcpy(line, cmd);
    return CreateProcessA(app, cmd ? line : NULL, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi);
}

}  // namespace

TEST(Processes, StartupInfoHasTheWindowsSize) { EXPECT_EQ(104u, sizeof(STARTUPINFOA)); }

TEST(Processes, DeclaredProgramRunsForItsTicksThenExits) {
    auto m = PavaneMachine();
    simwin::MachineScope scope(*m);
    PROCESS_INFORMATION pi;
    ASSERT_TRUE(Start("c:\\program files\\vestral\\pavane32.exe", " /d", pi));
    EXPECT_NE(nullptr, pi.hProcess);
    EXPECT_NE(nullptr, pi.hThread);
    EXPECT_NE(0u, pi.dwProcessId);
    EXPECT_TRUE(CloseHandle(pi.hThread));
    EXPECT_EQ(1u, m->transcript.count("program started: C:\\Program Files\\Vestral\\PAVANE32.EXE"));
    EXPECT_EQ(1u, m->transcript.count("(command line \" /d\")"));

    DWORD code = 0;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
        EXPECT_EQ(DWORD(STILL_ACTIVE), code) << "poll " << i;
    }
    ASSERT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
    EXPECT_EQ(7u, code);
    ASSERT_TRUE(GetExitCodeProcess(pi.hProcess, &code));  // and stays ended
    EXPECT_EQ(7u, code);
    EXPECT_TRUE(CloseHandle(pi.hProcess));
    EXPECT_FALSE(GetExitCodeProcess(pi.hProcess, &code));
    EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());

    // A second start runs afresh.
    ASSERT_TRUE(Start(kPavane, " /d", pi));
    ASSERT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
    EXPECT_EQ(DWORD(STILL_ACTIVE), code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    EXPECT_EQ(2, m->processes.programs[0].started);
}

TEST(Processes, MissingOrUndeclaredProgramsDoNotStart) {
    auto m = PavaneMachine();
    simwin::MachineScope scope(*m);
    PROCESS_INFORMATION pi;
    EXPECT_FALSE(Start("C:\\Tools\\gone.exe", " /d", pi));  // declared, but its file is missing
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
    EXPECT_FALSE(Start("C:\\Tools\\plain.exe", " /d", pi));  // a file, but no program the machine declares
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
    EXPECT_FALSE(Start("C:\\Nowhere\\x.exe", " /d", pi));
    EXPECT_EQ(ERROR_PATH_NOT_FOUND, GetLastError());
    EXPECT_FALSE(Start("C:\\Tools", NULL, pi));
    EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
    EXPECT_EQ(nullptr, pi.hProcess);
    EXPECT_TRUE(m->processes.processes.empty());
    EXPECT_EQ(0u, m->transcript.count("program started"));
    EXPECT_EQ(0u, m->handles.openCount());
}

TEST(Processes, CommandLineOnlyFindsTheProgram) {
    auto m = PavaneMachine();
    simwin::MachineScope scope(*m);
    PROCESS_INFORMATION pi;
    // The program's own directory is searched and ".exe" is added.
    ASSERT_TRUE(Start(NULL, "pavane32 /d", pi));
    EXPECT_EQ(kPavane, m->processes.processes.back()->path);
    EXPECT_EQ("pavane32 /d", m->processes.processes.back()->commandLine);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
}

TEST(Processes, StartsAreSavedAndLoadedBack) {
    auto m = PavaneMachine();
    {
        simwin::MachineScope scope(*m);
        PROCESS_INFORMATION pi;
        ASSERT_TRUE(Start(kPavane, " /d", pi));
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    testmachine::TempDir a, b;
    m->save(a.path.string());
    std::string ini = testmachine::ReadFile(a.path / "machine.ini");
    EXPECT_NE(std::string::npos, ini.find("path = C:\\Program Files\\Vestral\\PAVANE32.EXE\nticks = 3\nexitcode = 7\n"
                                          "started = 1\n"));
    auto again = simwin::Machine::load(a.path.string());
    ASSERT_EQ(2u, again->processes.programs.size());
    EXPECT_EQ(1, again->processes.programs[0].started);
    again->save(b.path.string());
    EXPECT_EQ(testmachine::Snapshot(a.path), testmachine::Snapshot(b.path));

    EXPECT_THROW(Load("[program]\nticks = 1\n"), simwin::MachineError);
    EXPECT_THROW(Load("[program]\npath = C:\\a.exe\nticks = -1\n"), simwin::MachineError);
    EXPECT_THROW(Load("[program]\npath = C:\\a.exe\nexitcode = x\n"), simwin::MachineError);
    EXPECT_THROW(Load("[program]\npath = C:\\a.exe\nwait = 1\n"), simwin::MachineError);
}

TEST(Processes, AProgramThatRunsForATimeEndsOnTheMachinesClock) {
    auto m = Load("[program]\npath = C:\\Tools\\slow.exe\nruns = 1000\nexitcode = 4\n", {{"C/Tools/slow.exe", "MZ"}});
    simwin::MachineScope scope(*m);
    Sleep(500);
    PROCESS_INFORMATION pi;
    ASSERT_TRUE(Start("C:\\Tools\\slow.exe", nullptr, pi));
    DWORD code = 0;
    for (int poll = 0; poll < 5; ++poll) {  // polls alone do not end it
        ASSERT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
        EXPECT_EQ(static_cast<DWORD>(STILL_ACTIVE), code);
    }
    Sleep(999);
    ASSERT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
    EXPECT_EQ(static_cast<DWORD>(STILL_ACTIVE), code);
    Sleep(1);  // a second after its start
    ASSERT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
    EXPECT_EQ(4u, code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
}
