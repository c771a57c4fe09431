// What a machine directory may say: every mistake in a hand-written machine.ini or registry.reg
// stops the load with the file, the line and what is wrong.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "simwin/machine.h"
#include "support/temp_machine.h"
#include "support/test_paths.h"

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

using testmachine::TempDir;
using testmachine::WriteFile;

// The message of the MachineError the load throws; "" when it loads.
std::string LoadError(const fs::path& dir) {
    try {
        simwin::Machine::load(dir.string());
    } catch (const simwin::MachineError& e) {
        return e.what();
    }
    return "";
}

struct BadIni {
    std::string text;
    int line;
    const char* what;
};

TEST(MachineFormat, MistakesInMachineIniNameTheLineAndWhatIsWrong) {
    const std::vector<BadIni> cases = {
        // Keys no loader reads, in every section a subsystem claims.
        {"[system]\nplatfrom = 9x\n", 2, "unknown key 'platfrom' in [system]"},
        {"[spooler]\nstatus = stopped\n", 2, "unknown key 'status' in [spooler]"},
        {"[service]\nname = S\nbegin = no\n", 3, "unknown key 'begin' in [service]"},
        {"[file]\npath = C:\\a.txt\nlock = yes\n", 3, "unknown key 'lock' in [file]"},
        {"[pending]\nfrom = C:\\a.txt\ndest = C:\\b.txt\n", 3, "unknown key 'dest' in [pending]"},
        {"[window]\nclass = C\ncaption = T\n", 3, "unknown key 'caption' in [window]"},
        {"[printer]\nname = A\ndrvier = D\n", 3, "unknown key 'drvier' in [printer]"},
        {"[printer]\nname = A\ndata. = 1\n", 3, "unknown key 'data.' in [printer]"},
        {"[driver]\nname = D\nenv = Windows x64\n", 3, "unknown key 'env' in [driver]"},
        {"[spoolerfault]\nfunction = GetPrinterA\ncalls = 1\n", 3, "unknown key 'calls' in [spoolerfault]"},
        {"[program]\npath = C:\\p.exe\nexit = 1\n", 3, "unknown key 'exit' in [program]"},
        {"[system]\n= nt\n", 2, "unknown key '' in [system]"},
        // Line numbers count comments, blank lines, CRLF endings and earlier repeated sections.
        {"; a machine\n\n[printer]\nname = A\n# next\n[printer]\nname = B\n; port\nport = 1\nbogus = 2\n", 10,
         "unknown key 'bogus' in [printer]"},
        {"[system]\r\nplatform = nt\r\n\r\n[spooler]\r\n; state\r\nstat = running\r\n", 6,
         "unknown key 'stat' in [spooler]"},
        // Sections that exist once.
        {"[system]\nplatform = nt\n; again\n[System]\nplatform = 9x\n", 4,
         "a second [System] section (the first is on line 1)"},
        {"[spooler]\nstate = running\n[printer]\nname = A\n[spooler]\nstate = stopped\n", 5,
         "a second [spooler] section (the first is on line 1)"},
        // A key given twice would be read once.
        {"[printer]\nname = A\nport = 1\nport = 2\n", 4, "'port' given twice in [printer] (first on line 3)"},
        {"[printer]\nname = A\ndata.X = 1\nDATA.x = 2\n", 4, "'DATA.x' given twice in [printer] (first on line 3)"},
        // Keys a section cannot do without.
        {"[system]\n[printer]\nport = 1\n", 2, "[printer] without name"},
        {"[printer]\nname =\n", 2, "[printer] name is empty"},
        {"[program]\nticks = 1\n", 1, "[program] without path"},
        {"[spoolerfault]\nerror = 5\n", 1, "[spoolerfault] without function"},
        // Versions.
        {"[system]\nversion = 100.0\n", 2, "[system] version = 100.0: expected major.minor, major 1 to 99 and minor 0 to 99"},
        {"[system]\nversion = 6.100\n", 2, "[system] version = 6.100: expected major.minor, major 1 to 99 and minor 0 to 99"},
        {"[system]\nversion = 0.5\n", 2, "[system] version = 0.5: expected major.minor, major 1 to 99 and minor 0 to 99"},
        {"[system]\nversion = 6\n", 2, "[system] version = 6: expected major.minor, major 1 to 99 and minor 0 to 99"},
        {"[system]\nversion = -1.2\n", 2, "[system] version = -1.2: expected major.minor, major 1 to 99 and minor 0 to 99"},
        {"[system]\nversion = six.two\n", 2,
         "[system] version = six.two: expected major.minor, major 1 to 99 and minor 0 to 99"},
        // Numbers in range.
        {"[system]\nbuild = 70000\n", 2, "[system] build = 70000: expected a number from 0 to 65535"},
        {"[system]\ngroups = 5000\n", 2, "[system] groups = 5000: expected a number from 0 to 1000"},
        {"[printer]\nname = A\njobs = -1\n", 3, "[printer] jobs = -1: expected a number from 0 to 2147483647"},
        {"[printer]\nname = A\njobs = 3000000000\n", 3,
         "[printer] jobs = 3000000000: expected a number from 0 to 2147483647"},
        {"[printer]\nname = A\njobs = 99999999999999999999\n", 3,
         "[printer] jobs = 99999999999999999999: expected a number from 0 to 2147483647"},
        {"[printer]\nname = A\njobs = many\n", 3, "[printer] jobs = many: expected a number from 0 to 2147483647"},
        {"[program]\npath = C:\\p.exe\nticks = 1e3\n", 3, "[program] ticks = 1e3: expected a number from 0 to 2147483647"},
        {"[program]\npath = C:\\p.exe\nstarted = -2\n", 3,
         "[program] started = -2: expected a number from 0 to 2147483647"},
        {"[program]\npath = C:\\p.exe\nexitcode = 4294967296\n", 3,
         "[program] exitcode = 4294967296: expected a number from -2147483648 to 4294967295"},
        {"[program]\npath = C:\\p.exe\nexitcode = two\n", 3,
         "[program] exitcode = two: expected a number from -2147483648 to 4294967295"},
        {"[spoolerfault]\nfunction = GetPrinterA\nerror = 0\n", 3,
         "[spoolerfault] error = 0: expected a number from 1 to 4294967295"},
        {"[spoolerfault]\nfunction = GetPrinterA\nerror = 5\nneeded = 5000000000\n", 4,
         "[spoolerfault] needed = 5000000000: expected a number from 0 to 4294967295"},
        {"[spoolerfault]\nfunction = GetPrinterA\nerror = 5\ncall = -1\n", 4,
         "[spoolerfault] call = -1: expected a number from 0 to 2147483647"},
        // Words from a fixed set.
        {"[system]\nplatform = os2\n", 2, "[system] platform = os2: expected nt, 9x or win32s"},
        {"[system]\nadmin = maybe\n", 2, "[system] admin = maybe: expected yes, no or deny-only"},
        {"[system]\nshutdown = si\n", 2, "[system] shutdown = si: expected yes or no"},
        {"[spooler]\nstate = sleepy\n", 2,
         "[spooler] state = sleepy: expected running, stopped, unresponsive or no-start"},
        {"[spooler]\nstate = unresponsive\nrunning = perhaps\n", 3, "[spooler] running = perhaps: expected yes or no"},
        {"[service]\nname = S\nstate = paused\n", 3, "[service] state = paused: expected running or stopped"},
        {"[service]\nname = S\nmarked = 2\n", 3, "[service] marked = 2: expected yes or no"},
        {"[file]\npath = C:\\a.txt\nlocked = y\n", 3, "[file] locked = y: expected yes or no"},
        {"[printer]\nname = A\ndefault = maybe\n", 3, "[printer] default = maybe: expected yes or no"},
        {"[printer]\nname = A\nopenable = never\n", 3, "[printer] openable = never: expected yes or no"},
        {"[spoolerfault]\nfunction = EnumPrintersW\nerror = 5\n", 2,
         "[spoolerfault] function = EnumPrintersW: expected EnumPrintersA, OpenPrinterA, GetPrinterA or GetPrinterDataA"},
        {"[printer]\nname = A\nattributes = queued,shiny\n", 3, "[printer] attributes: unknown attribute 'shiny'"},
        {"[file]\npath = C:\\a.txt\nattributes = hidden,shiny\n", 3,
         "[file] attributes = hidden,shiny: unknown attribute 'shiny' (expected readonly, hidden, system, archive, "
         "temporary, offline, notindexed)"},
        // A NUL byte, whatever the line.
        {"[system]\nplatform = nt\ncomputer = PC\0" "01\n"s, 3, "a NUL character in the text"},
        {"; \0\n[system]\n"s, 1, "a NUL character in the text"},
    };
    for (const BadIni& c : cases) {
        TempDir dir;
        WriteFile(dir.path / "machine.ini", c.text);
        EXPECT_EQ((dir.path / "machine.ini").string() + ":" + std::to_string(c.line) + ": " + c.what, LoadError(dir.path))
            << c.text;
    }
}

// The program's folder, the one path of the layout a machine writes by hand, is refused naming its key.
TEST(MachineFormat, AProgramPathWindowsRefusesNamesItsKey) {
    TempDir dir;
    WriteFile(dir.path / "machine.ini", "[system]\nprogram = C:\\Program Files\\Vestra|\\korun04.exe\n");
    EXPECT_EQ("[system] program = C:\\Program Files\\Vestra|\\korun04.exe: C:\\Program Files\\Vestra|\\: not a valid path",
              LoadError(dir.path));
    // A name longer than a folder holds is refused at the load: it could neither be reached nor saved.
    const std::string longName(256, 'v');
    WriteFile(dir.path / "machine.ini", "[system]\nprogram = C:\\" + longName + "\\korun04.exe\n");
    EXPECT_EQ("[system] program = C:\\" + longName + "\\korun04.exe: C:\\" + longName + "\\: not a valid path",
              LoadError(dir.path));
}

TEST(MachineFormat, WhatTheLoadersReadStillLoads) {
    TempDir dir;
    WriteFile(dir.path / "machine.ini",
              "[SYSTEM]\nPlatform = 9x\nversion = 4.90\nbuild = 3000\nadmin = deny-only\nshutdown = TRUE\n"
              "groups = 1000\nreboot = 0\n"
              "[spooler]\nstate = No-Start\nrunning = no\n"
              "[service]\nname = S\nstate = Stopped\nstartfails = 1\nmarked = false\n"
              "[window]\nclass = C\nreceived = WM_CLOSE\nreceived = KORunClose04\n"
              "[printer]\nname = A\ndefault = yes\njobs = 2147483647\nattributes = queued,0x40\n"
              "data.One = 1\ndata.Two = 2\n"
              "[spoolerfault]\nfunction = getprintera\nerror = 4294967295\nneeded = 4294967295\n"
              "[program]\npath = C:\\p.exe\nexitcode = 0xFFFFFFFF\n"
              "[program]\npath = C:\\q.exe\nexitcode = -2147483648\n"
              // Extension sections are kept as written, whatever their keys.
              "[form]\nname = Letter\nplatfrom = anything\n");
    ASSERT_EQ("", LoadError(dir.path));
    auto m = simwin::Machine::load(dir.path.string());
    EXPECT_EQ(90u, m->system.minor);
    EXPECT_EQ(2u, m->windows.findByClass("C")->received.size());
    ASSERT_EQ(1u, m->otherSections.size());
    EXPECT_EQ("anything", m->otherSections[0].get("platfrom"));
}

TEST(MachineFormat, TheFilesOfTheDirectoryMustBePlainFiles) {
    TempDir missing;
    EXPECT_EQ((missing.path / "machine.ini").string() + ": missing (an empty file gives the standard layout)",
              LoadError(missing.path));

    TempDir folder;
    fs::create_directories(folder.path / "machine.ini");
    EXPECT_EQ((folder.path / "machine.ini").string() + ": a directory, not a file", LoadError(folder.path));

    TempDir empty;
    WriteFile(empty.path / "machine.ini", "");
    EXPECT_EQ("", LoadError(empty.path));  // an empty machine.ini is the standard layout
    fs::create_directories(empty.path / "registry.reg");
    EXPECT_EQ((empty.path / "registry.reg").string() + ": a directory, not a file", LoadError(empty.path));
}

TEST(MachineFormat, NulCharactersInRegistryTextNameTheLine) {
    TempDir dir;
    WriteFile(dir.path / "machine.ini", "[system]\n");
    WriteFile(dir.path / "registry.reg",
              "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vestral]\n\"A\"=\"te\0xt\"\n"s);
    EXPECT_EQ((dir.path / "registry.reg").string() + ":4: a NUL character in the text", LoadError(dir.path));

    // UTF-16LE text is read by 16-bit units: its zero high bytes are no NUL, a zero unit is.
    auto utf16 = [](const std::string& ascii) {
        std::string out = "\xFF\xFE";
        for (char c : ascii) out += c, out += '\0';
        return out;
    };
    const std::string good = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\V]\r\n\"A\"=\"1\"\r\n";
    WriteFile(dir.path / "registry.reg", utf16(good));
    EXPECT_EQ("", LoadError(dir.path));
    WriteFile(dir.path / "registry.reg", utf16(good + "\"B\"=\"x\0y\"\r\n"s));
    EXPECT_EQ((dir.path / "registry.reg").string() + ":5: a NUL character in the text", LoadError(dir.path));
}

// Every machine directory the project ships (the demo and those of the tests) follows the format.
TEST(MachineFormat, TheProjectsMachineDirectoriesLoad) {
    std::vector<fs::path> dirs;
    for (const char* top : {"examples", "tests"})
        for (auto& e : fs::recursive_directory_iterator(fs::path(KORUN_SOURCE_DIR) / top))
            if (e.path().filename() == "machine.ini") dirs.push_back(e.path().parent_path());
    ASSERT_NE(dirs.end(), std::find(dirs.begin(), dirs.end(), fs::path(KORUN_SOURCE_DIR) / "examples" / "demo"));
    for (const fs::path& d : dirs) EXPECT_EQ("", LoadError(d)) << d;
}

}  // namespace
