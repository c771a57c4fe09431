// Hook libraries a machine declares: LoadLibraryA needs the library's file, GetProcAddress finds
// its exports by their exact names, and a call of an export shows in the transcript with its four
// arguments.
#include <gtest/gtest.h>

#include <stdexcept>

#include "simwin/win32.h"
#include "support/temp_machine.h"

using testmachine::Load;

namespace {

typedef void(CALLBACK* HookEntry)(HWND, HINSTANCE, LPSTR, int);

const char kDriverHook[] = "C:\\Windows\\System32\\spool\\drivers\\x64\\VsUnin04.dll";
const char kProgramHook[] = "C:\\Program Files\\Vestral\\VsUnin04.dll";

std::unique_ptr<simwin::Machine> HookMachine() {
    return Load("[system]\nplatform = nt\n"
                "[library]\npath = C:\\Windows\\System32\\spool\\drivers\\x64\\VsUnin04.dll\n"
                "export = VstUninstall\nexport = VstCleanup\n"
                "[library]\npath = C:\\Program Files\\Vestral\\VsUnin04.dll\nexport = VstUninstall\n"
                "[library]\npath = C:\\Vestral\\Gone04.dll\nexport = VstUninstall\n",
                {{"C/Windows/System32/spool/drivers/x64/VsUnin04.dll", "MZ"},
                 {"C/Program Files/Vestral/VsUnin04.dll", "MZ"}});
}

HookEntry Entry(HMODULE m, const char* name) {
    return reinterpret_cast<HookEntry>(reinterpret_cast<void (*)()>(GetProcAddress(m, name)));
}

}  // namespace

TEST(HookLibraries, ExportCallShowsItsFourArguments) {
    auto m = HookMachine();
    simwin::MachineScope scope(*m);
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\Windows\\System32\\spool\\drivers\\x64"));
    SetLastError(0xdeadbeef);
    HMODULE lib = LoadLibraryA(kDriverHook);
    ASSERT_NE(nullptr, lib);
    HookEntry hook = Entry(lib, "VstUninstall");
    ASSERT_NE(nullptr, hook);
    char text[] = "C:\\Program Files\\Vestral\\";
    hook(reinterpret_cast<HWND>(0x10020), reinterpret_cast<HINSTANCE>(0x400000), text, 0);
    ASSERT_EQ(1u, m->transcript.lines.size());
    EXPECT_EQ("hook C:\\Windows\\System32\\spool\\drivers\\x64\\VsUnin04.dll!VstUninstall called with (0x10020, "
              "0x400000, \"C:\\Program Files\\Vestral\\\", 0)",
              m->transcript.lines[0]);
    ASSERT_EQ(1u, m->modules.hookCalls.size());
    const simwin::HookCall& call = m->modules.hookCalls[0];
    EXPECT_EQ(kDriverHook, call.library);
    EXPECT_EQ("VstUninstall", call.exportName);
    EXPECT_EQ("C:\\Windows\\System32\\spool\\drivers\\x64", call.currentDirectory);

    // Each export is a function of its own; a NULL text shows as NULL.
    HookEntry cleanup = Entry(lib, "VstCleanup");
    ASSERT_NE(nullptr, cleanup);
    EXPECT_NE(hook, cleanup);
    cleanup(nullptr, nullptr, nullptr, -3);
    EXPECT_EQ("hook C:\\Windows\\System32\\spool\\drivers\\x64\\VsUnin04.dll!VstCleanup called with (0x0, 0x0, NULL, -3)",
              m->transcript.lines.back());
    EXPECT_TRUE(FreeLibrary(lib));
}

TEST(HookLibraries, MissingLibrariesAndExportsFailWithTheirErrors) {
    auto m = HookMachine();
    simwin::MachineScope scope(*m);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(nullptr, LoadLibraryA("C:\\Vestral\\Gone04.dll"));  // declared, but its file is missing
    EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), GetLastError());
    SetLastError(0xdeadbeef);
    EXPECT_EQ(nullptr, LoadLibraryA("C:\\Windows\\System32\\spool\\drivers\\W32X86\\VsUnin04.dll"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), GetLastError());

    HMODULE lib = LoadLibraryA(kProgramHook);
    ASSERT_NE(nullptr, lib);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(nullptr, GetProcAddress(lib, "VstCleanup"));  // an export of the other copy only
    EXPECT_EQ(static_cast<DWORD>(ERROR_PROC_NOT_FOUND), GetLastError());
    SetLastError(0xdeadbeef);
    EXPECT_EQ(nullptr, GetProcAddress(lib, "vstuninstall"));  // export names are case-sensitive
    EXPECT_EQ(static_cast<DWORD>(ERROR_PROC_NOT_FOUND), GetLastError());
    EXPECT_TRUE(m->transcript.lines.empty());
    EXPECT_TRUE(FreeLibrary(lib));
}

TEST(HookLibraries, CopiesInTwoDirectoriesAreTwoModules) {
    auto m = HookMachine();
    simwin::MachineScope scope(*m);
    HMODULE driver = LoadLibraryA(kDriverHook);
    HMODULE program = LoadLibraryA("c:\\program files\\vestral\\vsunin04");  // ".dll" added, case ignored
    ASSERT_NE(nullptr, driver);
    ASSERT_NE(nullptr, program);
    EXPECT_NE(driver, program);
    char name[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(program, name, sizeof name), 0u);
    EXPECT_STREQ(kProgramHook, name);
    Entry(program, "VstUninstall")(nullptr, nullptr, nullptr, 0);
    EXPECT_EQ(1u, m->transcript.count("hook C:\\Program Files\\Vestral\\VsUnin04.dll!VstUninstall"));
    // A bare name finds the copy in the program's directory first.
    HMODULE bare = LoadLibraryA("VsUnin04.dll");
    EXPECT_EQ(program, bare);
    FreeLibrary(bare);
    FreeLibrary(program);
    // GetModuleHandleA of a file name finds the loaded copy wherever it came from.
    EXPECT_EQ(driver, GetModuleHandleA("vsunin04.dll"));
    FreeLibrary(driver);
    EXPECT_EQ(nullptr, GetModuleHandleA("VsUnin04.dll"));
}

TEST(HookLibraries, LoadedLibraryIsNotDeletedAndFreedOneIsNotCalled) {
    auto m = HookMachine();
    simwin::MachineScope scope(*m);
    HMODULE lib = LoadLibraryA(kDriverHook);
    ASSERT_NE(nullptr, lib);
    HookEntry hook = Entry(lib, "VstUninstall");
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(DeleteFileA(kDriverHook));  // mapped while loaded
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_TRUE(FreeLibrary(lib));
    EXPECT_THROW(hook(nullptr, nullptr, nullptr, 0), std::logic_error);  // would crash on Windows
    EXPECT_TRUE(DeleteFileA(kDriverHook));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(nullptr, LoadLibraryA(kDriverHook));
    EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), GetLastError());
}

TEST(HookLibraries, SavedMachineKeepsTheDeclarationsAndLoadsThemBack) {
    auto m = HookMachine();
    testmachine::TempDir dir;
    m->save(dir.path.string());
    const std::string ini = testmachine::ReadFile(dir.path / "machine.ini");
    EXPECT_NE(std::string::npos,
              ini.find("[library]\npath = C:\\Windows\\System32\\spool\\drivers\\x64\\VsUnin04.dll\n"
                       "export = VstUninstall\nexport = VstCleanup\n"))
        << ini;
    EXPECT_NE(std::string::npos, ini.find("[library]\npath = C:\\Vestral\\Gone04.dll\nexport = VstUninstall\n"));
    auto again = simwin::Machine::load(dir.path.string());
    ASSERT_EQ(3u, again->modules.libraries.size());
    simwin::MachineScope scope(*again);
    HMODULE lib = LoadLibraryA(kDriverHook);
    ASSERT_NE(nullptr, lib);
    EXPECT_NE(nullptr, GetProcAddress(lib, "VstCleanup"));
    FreeLibrary(lib);
}

TEST(HookLibraries, DeclarationErrorsNameTheProblem) {
    const std::pair<const char*, const char*> cases[] = {
        {"[library]\nexport = X\n", "without path"},
        {"[library]\npath = C:\\a.dll\nexports = X\n", "unknown key 'exports'"},
        {"[library]\npath = a.dll\nexport = X\n", "expected a full path"},
        {"[library]\npath = C:\\a.dll\nexport =\n", "an empty export"},
    };
    for (auto& c : cases) {
        try {
            Load(c.first);
            ADD_FAILURE() << c.first << ": loaded";
        } catch (const simwin::MachineError& e) {
            EXPECT_NE(std::string::npos, std::string(e.what()).find(c.second)) << e.what();
        }
    }
}
