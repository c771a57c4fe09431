// Uninstall hooks called with their four arguments; shortcuts in the group and start-up folders, the
// emptied group folder, Program Manager's items on Win32s; group names that would lead elsewhere refused.
#include <gtest/gtest.h>

#include "removal/hook_runner.h"
#include "removal/progman.h"
#include "removal/shortcut_remover.h"
#include "support/removal_support.h"

namespace {

const std::string kUserPrograms = "C:\\Users\\Admin\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\";
const std::string kCommonPrograms = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\";

class Removers : public removaltest::LoadedRemoverTest {
protected:
    void Use(const std::string& ini, const std::map<std::string, std::string>& files = {}) {
        LoadedRemoverTest::Use(ini, files);
        context.window = CreateWindowExA(0, "#32770", "page", WS_POPUP, 0, 0, 10, 10, NULL, NULL,
                                         reinterpret_cast<HINSTANCE>(0x400000), NULL);
    }
};

TEST_F(Removers, HooksAreCalledWithTheirFourArgumentsAndAPauseEach) {
    Use("[library]\npath = C:\\Program Files\\Vestral\\vhook.dll\nexport = Uninstall\n",
        {{"C/Program Files/Vestral/vhook.dll", "MZ"}});
    for (const char* item : {"vhook.dll,Uninstall", "C:\\Elsewhere\\vhook.dll,Absent", "missing.dll,Uninstall", ",x"})
        database->removal.hooks.Add(item);
    const uint64_t before = m->clock.ms;
    Learn();
    RunUninstallHooks(context);
    ASSERT_EQ(1u, m->modules.hookCalls.size());
    const auto& call = m->modules.hookCalls[0];
    EXPECT_EQ("Uninstall", call.exportName);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(context.window), call.window);
    EXPECT_EQ(0x400000u, call.instance);
    EXPECT_EQ("C:\\Program Files\\Vestral\\", call.text);
    EXPECT_EQ(0, call.number);
    EXPECT_EQ(before + 2000, m->clock.ms);  // two loads of the library, a second each
    // Every hook library was freed again.
    for (const simwin::LibraryDef& library : m->modules.libraries) EXPECT_EQ(0u, m->modules.loaded.count(library.path));
}

TEST_F(Removers, ShortcutsAndTheirGroupFolderGo) {
    Use("");
    for (const std::string& f : {kUserPrograms + "Vestral\\Monitor.lnk", kCommonPrograms + "Vestral\\Monitor.pif",
                                 kUserPrograms + "Startup\\Monitor.LNK", kCommonPrograms + "Other\\Keep.lnk"})
        m->files.writeFile(f, "link");
    for (const char* item : {"\"Vestral\",\"Monitor.exe\",\"STARTUP\"", "Vestral", "..\\..,Keep.lnk", "C:\\Windows,x"})
        database->removal.shortcuts.Add(item);
    Learn();
    RemoveShortcuts(context);
    EXPECT_FALSE(m->files.exists(kUserPrograms + "Vestral\\Monitor.lnk"));
    EXPECT_FALSE(m->files.exists(kCommonPrograms + "Vestral\\Monitor.pif"));
    EXPECT_FALSE(m->files.exists(kUserPrograms + "Startup\\Monitor.LNK"));
    EXPECT_FALSE(m->files.exists(kCommonPrograms + "Vestral"));  // the emptied group folder
    EXPECT_TRUE(m->files.exists(kCommonPrograms + "Other\\Keep.lnk"));
    EXPECT_EQ(2u, m->transcript.count("refused shortcut item"));
}

// A group must name a folder of its own below the program groups: a group with a path separator, a drive,
// "..", or only dots and blanks (which Windows reads as the folder itself) is refused, for its items and
// for the group folder alike, and nothing outside the group folders is touched.
TEST_F(Removers, GroupNamesThatLeadOutOfTheProgramGroupsAreRefused) {
    Use("");
    const std::string startMenu = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\";
    const std::vector<std::string> sentinels = {kUserPrograms + "Item.lnk", kCommonPrograms + "Item.lnk",
                                                startMenu + "Item.lnk", "C:\\Windows\\Item.lnk", "C:\\Item.lnk"};
    for (const std::string& f : sentinels) m->files.writeFile(f, "link");
    const char* const groups[] = {".", "..", "...", ". .", "\"..\"", "a\\..\\..", "..\\..", "a/b", "/", "C:x", "C:\\Windows", "\\"};
    for (const char* group : groups) {
        database->removal.shortcuts.Add((std::string(group) + ",Item.lnk").c_str());
        database->removal.shortcuts.Add(group);
    }
    Learn();
    RemoveShortcuts(context);
    for (const std::string& f : sentinels) EXPECT_TRUE(m->files.exists(f)) << f;
    EXPECT_TRUE(m->files.exists(kCommonPrograms));
    EXPECT_EQ(2 * (sizeof groups / sizeof groups[0]), m->transcript.count("refused shortcut item"));
}

TEST_F(Removers, AGroupFolderThatStaysFullIsLeftAfterThreeSeconds) {
    Use("");
    m->files.writeFile(kCommonPrograms + "Vestral\\Readme.txt", "text");
    database->removal.shortcuts.Add("Vestral");
    const uint64_t before = m->clock.ms;
    Learn();
    RemoveShortcuts(context);
    EXPECT_TRUE(m->files.exists(kCommonPrograms + "Vestral\\Readme.txt"));
    EXPECT_GE(m->clock.ms - before, 3000u);
    EXPECT_LE(m->clock.ms - before, 3100u);
}

// The 9x family has no common program or start-up folders: an item is deleted where the folders exist and
// nowhere else, not relative to the current directory (found under Wine, where ALTSTARTUP does not resolve).
TEST_F(Removers, FoldersTheSystemLacksAreSkipped) {
    Use("[system]\nplatform = 9x\n", {{"C/Program Files/Vestral/korun04.exe", "MZ"}});
    const std::string startup = "C:\\WINDOWS\\Start Menu\\Programs\\StartUp\\";
    const std::string here = "C:\\Program Files\\Vestral\\";
    for (const std::string& f : {startup + "Tray.lnk", here + "Tray.lnk", here + "Vestral\\Tray.lnk"})
        m->files.writeFile(f, "link");
    ASSERT_TRUE(SetCurrentDirectoryA(here.c_str()));
    database->removal.shortcuts.Add("Vestral,Tray,STARTUP");
    Learn();
    RemoveShortcuts(context);
    EXPECT_FALSE(m->files.exists(startup + "Tray.lnk"));
    EXPECT_TRUE(m->files.exists(here + "Tray.lnk"));
    EXPECT_TRUE(m->files.exists(here + "Vestral\\Tray.lnk"));

    Use("[system]\nplatform = win32s\n", {{"C/Program Files/Vestral/korun04.exe", "MZ"}});
    m->files.makeDirectories(here + "Vestral Empty");
    ASSERT_TRUE(SetCurrentDirectoryA(here.c_str()));
    database->removal.shortcuts.Add("Vestral Empty");
    Learn();
    RemoveShortcuts(context);
    EXPECT_TRUE(m->files.isDirectory(here + "Vestral Empty"));  // Win32s has no program folders at all
}

TEST_F(Removers, ProgramManagerItemsGoOnWin32s) {
    Use("[system]\nplatform = win32s\n[progman]\ngroup = Vestral\nitem = Monitor\nitem = Readme\n");
    database->removal.shortcuts.Add("Vestral,Monitor");
    Learn();
    RemoveShortcuts(context);
    EXPECT_EQ(1u, m->transcript.count("progman [DeleteItem(Monitor)] -> done"));
    EXPECT_EQ(0, DeleteProgramManagerItem("Missing", "Readme"));  // ShowGroup of a missing group is refused
}

}  // namespace
