// Windows's own files: there on every machine of a platform without being declared, protected for
// SfcIsFileProtected, saved only when a run changed them, and a deleted one stays deleted through a save and
// a load ([removed]).
#include <gtest/gtest.h>

#include <string>

#include "simwin/standard_files.h"
#include "simwin/win32.h"
#include "support/machine_directory.h"
#include "support/temp_machine.h"

using testmachine::Load;

namespace {

const DWORD kPoison = 0xdeadbeef;

// SfcIsFileProtected as the tool calls it, through sfc.dll.
BOOL Protected(const std::string& path, DWORD& error) {
    HMODULE sfc = LoadLibraryExA("sfc.dll", NULL, LOAD_LIBRARY_SEARCH_SYSTEM32);
    EXPECT_NE(nullptr, sfc);
    auto fn = reinterpret_cast<BOOL(WINAPI*)(HANDLE, LPCWSTR)>(
        reinterpret_cast<void (*)()>(GetProcAddress(sfc, "SfcIsFileProtected")));
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    SetLastError(kPoison);
    const BOOL answer = fn(NULL, wide);
    error = GetLastError();
    FreeLibrary(sfc);
    return answer;
}

using testmachine::Saved;

}  // namespace

TEST(StandardFiles, EachPlatformHasItsOwn) {
    struct Case {
        const char* machine;
        std::vector<std::string> present;
        std::vector<std::string> absent;
    };
    const Case cases[] = {
        {"[system]\nplatform = nt\n",
         {"C:\\Windows\\System32\\kernel32.dll", "C:\\Windows\\System32\\spoolsv.exe", "C:\\Windows\\explorer.exe",
          "C:\\Windows\\INF\\ntprint.inf", "C:\\Windows\\INF\\ntprint.pnf",
          "C:\\Windows\\System32\\spool\\drivers\\x64\\3\\unidrv.dll",
          "C:\\Windows\\System32\\spool\\drivers\\W32X86\\3\\pscript5.dll",
          "C:\\Windows\\System32\\spool\\prtprocs\\x64\\winprint.dll"},
         {"C:\\Windows\\win.ini", "C:\\WINDOWS\\SYSTEM\\KRNL386.EXE"}},
        {"[system]\nplatform = 9x\n",
         {"C:\\WINDOWS\\SYSTEM\\KERNEL32.DLL", "C:\\WINDOWS\\SYSTEM\\KRNL386.EXE", "C:\\WINDOWS\\SYSTEM\\VMM32.VXD",
          "C:\\WINDOWS\\WIN.COM", "C:\\WINDOWS\\SYSTEM.DAT", "C:\\WINDOWS\\USER.DAT", "C:\\WINDOWS\\win.ini",
          "C:\\WINDOWS\\system.ini"},
         {"C:\\Windows\\System32\\ntdll.dll"}},
        {"[system]\nplatform = win32s\n", {}, {"C:\\WINDOWS\\SYSTEM\\KERNEL32.DLL", "C:\\WINDOWS\\WIN.COM"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.machine);
        auto m = Load(c.machine);
        for (const std::string& p : c.present) EXPECT_TRUE(m->files.exists(p)) << p;
        for (const std::string& p : c.absent) EXPECT_FALSE(m->files.exists(p)) << p;
        // None of them is saved: the machine directory holds what is particular to the machine.
        std::map<std::string, std::string> drive;
        Saved(*m, &drive);
        for (const auto& f : drive) EXPECT_EQ("<dir>", f.second) << f.first;
        EXPECT_EQ(0u, drive.count("C/Windows/System32/spool/drivers/x64/3"));
    }
    simwin::Machine inCode;  // a machine built in code has them too
    EXPECT_TRUE(inCode.files.exists("C:\\Windows\\System32\\localspl.dll"));
}

TEST(StandardFiles, ProtectedWhileTheyExistAndOnlyThey) {
    auto m = Load("[file]\npath = C:\\Program Files\\Acme\\acmecore.dll\nprotected = yes\n",
                  {{"C/Program Files/Vestral/vxhelper.dll", "vx"}, {"C/Windows/INF/ntprint.inf", "[Version]\n"}});
    simwin::MachineScope scope(*m);
    struct Case {
        const char* path;
        bool isProtected;
    };
    const Case cases[] = {
        {"C:\\Windows\\System32\\kernel32.dll", true},
        {"c:\\windows\\system32\\KERNEL32.DLL", true},            // any letter case
        {"C:\\Windows\\System32\\spool\\drivers\\x64\\3\\unidrv.dll", true},
        {"C:\\Windows\\INF\\ntprint.inf", true},                  // the machine's own copy of a Windows file
        {"C:\\Program Files\\Acme\\acmecore.dll", true},         // marked by the machine
        {"C:\\Program Files\\Vestral\\vxhelper.dll", false},
        {"C:\\Windows\\System32\\no-such.dll", false},
        {"C:\\Windows\\System32", false},                         // directories are not asked about
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        DWORD error = 0;
        EXPECT_EQ(c.isProtected, Protected(c.path, error) != FALSE);
        EXPECT_EQ(c.isProtected ? kPoison : DWORD(ERROR_FILE_NOT_FOUND), error);
    }
    EXPECT_EQ("[Version]\n", m->files.read("C:\\Windows\\INF\\ntprint.inf"));  // its own content wins
    // A Windows file that is gone is not protected any more.
    ASSERT_TRUE(DeleteFileA("C:\\Windows\\System32\\sfc_os.dll"));
    DWORD error = 0;
    EXPECT_FALSE(Protected("C:\\Windows\\System32\\sfc_os.dll", error));
    // sfc.dll belongs to the NT family.
    auto old = Load("[system]\nplatform = 9x\n");
    simwin::MachineScope oldScope(*old);
    SetLastError(kPoison);
    EXPECT_EQ(nullptr, LoadLibraryExA("sfc.dll", NULL, LOAD_LIBRARY_SEARCH_SYSTEM32));
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_EQ(nullptr, LoadLibraryA("sfc.dll"));
    EXPECT_EQ(DWORD(ERROR_MOD_NOT_FOUND), GetLastError());
}

// What a run changes is saved: a changed file with its content and attributes, a deleted one as [removed]
// (also a file of the machine's own at a Windows file's place), which keeps it deleted after a load; an
// emptied implicit directory stays as an empty directory.
TEST(StandardFiles, ChangesAreSavedAndDeletionsStay) {
    auto m = Load("[printer]\nname = P\n", {{"C/Windows/INF/usb.inf", "[Version]\nClass=USB\n"}});
    {
        simwin::MachineScope scope(*m);
        HANDLE f = CreateFileA("C:\\Windows\\notepad.exe", GENERIC_WRITE, 0, NULL, TRUNCATE_EXISTING, 0, NULL);
        ASSERT_NE(INVALID_HANDLE_VALUE, f);
        DWORD written = 0;
        WriteFile(f, "patched", 7, &written, NULL);
        CloseHandle(f);
        ASSERT_TRUE(SetFileAttributesA("C:\\Windows\\regedit.exe", FILE_ATTRIBUTE_HIDDEN));
        for (const char* gone : {"C:\\Windows\\System32\\tcpmon.dll", "C:\\Windows\\INF\\usb.inf"})
            ASSERT_TRUE(DeleteFileA(gone)) << gone;
        for (const std::string& name : m->files.listTree("C:\\Windows\\System32\\spool\\drivers\\W32X86\\3"))
            ASSERT_TRUE(DeleteFileA(name.c_str())) << name;
    }
    std::map<std::string, std::string> drive;
    const std::string ini = Saved(*m, &drive);
    EXPECT_EQ("patched", drive["C/Windows/notepad.exe"]);
    EXPECT_EQ("", drive["C/Windows/regedit.exe"]);
    EXPECT_NE(std::string::npos, ini.find("[file]\npath = C:\\Windows\\regedit.exe\nattributes = hidden\n")) << ini;
    EXPECT_NE(std::string::npos, ini.find("[removed]\npath = C:\\Windows\\INF\\usb.inf\n")) << ini;
    EXPECT_NE(std::string::npos, ini.find("[removed]\npath = C:\\Windows\\System32\\tcpmon.dll\n")) << ini;
    EXPECT_EQ("<dir>", drive["C/Windows/System32/spool/drivers/W32X86/3"]);
    EXPECT_EQ(0u, drive.count("C/Windows/explorer.exe"));

    testmachine::TempDir dir;
    m->save(dir.path.string());
    auto again = simwin::Machine::load(dir.path.string());
    EXPECT_FALSE(again->files.exists("C:\\Windows\\System32\\tcpmon.dll"));
    EXPECT_FALSE(again->files.exists("C:\\Windows\\INF\\usb.inf"));
    EXPECT_FALSE(again->files.exists("C:\\Windows\\System32\\spool\\drivers\\W32X86\\3\\unidrv.dll"));
    EXPECT_TRUE(again->files.exists("C:\\Windows\\System32\\ntdll.dll"));
    EXPECT_EQ("patched", again->files.read("C:\\Windows\\notepad.exe"));
    testmachine::TempDir second;
    again->save(second.path.string());
    EXPECT_EQ(testmachine::Snapshot(dir.path), testmachine::Snapshot(second.path));
}
