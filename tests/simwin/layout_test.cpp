// A machine's [layout]: the folders as a real machine names them (a capture writes them), over the
// platform's standard layout; the Win32 calls then answer with them, and a save gives the section back.
#include <gtest/gtest.h>

#include <string>

#include "base/platform.h"
#include "simwin/machine.h"
#include "support/temp_machine.h"

namespace {

const char kWineLayout[] =
    "[layout]\n"
    "windows = C:\\windows\n"
    "system = C:\\windows\\system32\n"
    "temp = C:\\users\\root\\Temp\n"
    "color = C:\\windows\\system32\\spool\\drivers\\color\n"
    "environment = Windows x64\n"
    "driver.Windows x64 = C:\\windows\\system32\\spool\\drivers\\x64\n"
    "driver.Windows NT x86 = C:\\windows\\system32\\spool\\drivers\\w32x86\n"
    "processor = C:\\windows\\system32\\spool\\prtprocs\\x64\n"
    "shell.0x26 = C:\\Program Files\n"
    "shell.0x28 = C:\\users\\root\n"
    "standard = no\n";

std::string Answer(BOOL (*call)(LPSTR, LPCSTR, DWORD, LPBYTE, DWORD, LPDWORD), const char* environment) {
    char dir[MAX_PATH] = "";
    DWORD needed = 0;
    if (!call(NULL, const_cast<LPSTR>(environment), 1, reinterpret_cast<LPBYTE>(dir), sizeof dir, &needed)) return "(fails)";
    return dir;
}

BOOL DriverDirectory(LPSTR s, LPCSTR e, DWORD l, LPBYTE b, DWORD n, LPDWORD d) {
    return GetPrinterDriverDirectoryA(s, const_cast<LPSTR>(e), l, b, n, d);
}
BOOL ProcessorDirectory(LPSTR s, LPCSTR e, DWORD l, LPBYTE b, DWORD n, LPDWORD d) {
    return GetPrintProcessorDirectoryA(s, const_cast<LPSTR>(e), l, b, n, d);
}

TEST(Layout, TheFoldersOfTheLayoutAreWhatTheCallsAnswer) {
    auto m = testmachine::Load(kWineLayout);
    simwin::MachineScope scope(*m);
    char text[MAX_PATH] = "";
    struct Row {
        const char* what;
        std::string actual, expected;
    } rows[] = {
        {"Windows", (GetWindowsDirectoryA(text, sizeof text), text), "C:\\windows"},
        {"system", (GetSystemDirectoryA(text, sizeof text), text), "C:\\windows\\system32"},
        {"temp", (GetTempPathA(sizeof text, text), text), "C:\\users\\root\\Temp\\"},
        {"local driver directory", Answer(&DriverDirectory, NULL), "C:\\windows\\system32\\spool\\drivers\\x64"},
        {"x86 driver directory", Answer(&DriverDirectory, "Windows NT x86"), "C:\\windows\\system32\\spool\\drivers\\w32x86"},
        {"no 4.0 driver directory", Answer(&DriverDirectory, "Windows 4.0"), "(fails)"},
        {"processor directory", Answer(&ProcessorDirectory, NULL), "C:\\windows\\system32\\spool\\prtprocs\\x64"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(row.expected, row.actual);
    }
    // The shell folders are those listed, no others; Windows's own files are not added.
    EXPECT_TRUE(m->files.exists("C:\\users\\root"));
    EXPECT_EQ(2u, m->system.shellFolders.size());
    EXPECT_FALSE(m->files.exists("C:\\windows\\system32\\kernel32.dll"));
    EXPECT_FALSE(m->files.exists("C:\\Windows\\System32\\kernel32.dll"));
}

TEST(Layout, ASaveGivesTheSectionBackAndAMachineWithoutOneSavesAsBefore) {
    auto m = testmachine::Load(kWineLayout);
    auto again = simwin::Machine::fromIni(m->saveIni(), "saved");
    EXPECT_EQ(m->saveIni(), again->saveIni());
    EXPECT_NE(std::string::npos, m->saveIni().find("driver.Windows NT x86 = C:\\windows\\system32\\spool\\drivers\\w32x86"));
    auto plain = testmachine::Load("[system]\nplatform = nt\n");
    EXPECT_EQ(std::string::npos, plain->saveIni().find("[layout]"));
    EXPECT_TRUE(plain->files.exists("C:\\Windows\\System32\\kernel32.dll"));
}

TEST(Layout, MistakesStopTheLoad) {
    const struct {
        const char* text;
        const char* what;
    } rows[] = {
        {"[layout]\nwindows = windows\n", "[layout] windows = windows: expected a full path"},
        {"[layout]\nshell.26x = C:\\x\n", "[layout] shell.26x: expected shell.0xNN"},
        {"[layout]\nshell.0x100 = C:\\x\n", "[layout] shell.0x100: expected shell.0xNN"},
        {"[layout]\nenvironment = Windows IA64\n", "no driver.Windows IA64 directory"},
        {"[layout]\ndriver.Windows x64 = x64\n", "expected a full path"},
        {"[layout]\nstandard = maybe\n", "expected yes or no"},
        {"[layout]\nwindow = C:\\w\n", "unknown key 'window' in [layout]"},
        {"[layout]\n[layout]\n", "a second [layout] section"},
        {"[layout]\nsystem = C:\\W|n\n", "[layout] system = C:\\W|n: not a valid path"},
        {nullptr, "longer than 248 characters"},  // a folder too deep for a name below it
    };
    const std::string deep = "[layout]\ntemp = C:\\" + std::string(120, 't') + "\\" + std::string(126, 't') + "\n";
    for (const auto& row : rows) {
        const std::string text = row.text ? row.text : deep;
        SCOPED_TRACE(text);
        try {
            testmachine::Load(text);
            ADD_FAILURE() << "loaded";
        } catch (const simwin::MachineError& e) {
            EXPECT_NE(std::string::npos, std::string(e.what()).find(row.what)) << e.what();
        }
    }
}

}  // namespace
