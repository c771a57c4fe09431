// Whole runs that remove what the scripts name outside the spooler: registry keys and values, INI keys,
// start-up entries, OEM directories, shortcuts, the uninstall hooks, and files, with the files in use
// scheduled by each version class's mechanism.
#include <gtest/gtest.h>

#include <stdio.h>

#include "support/whole_run.h"
#include "support/machine_directory.h"

namespace {

typedef std::set<std::string> Set;

const std::string kNtDrivers = "C/Windows/System32/spool/drivers/x64/";
// Office goes with its driver's profile; Home, on a driver without a profile, stays (so the items that go
// only with the last printer stay out of these runs).
const std::string kTwoPrinters =
    "[driver]\nname = Vestral X Driver\n[driver]\nname = Vestral L Driver\n"
    "[printer]\nname = Office\ndriver = Vestral X Driver\nport = LPT1:\ndata.VestralDriver04 = 1\n"
    "[printer]\nname = Home\ndriver = Vestral L Driver\nport = LPT2:\ndata.VestralDriver04 = 1\n";
const std::string kXProfile = "[UnPrinterDrivers]\r\n\"Vestral X Driver\",VXDRV,1\r\n";
const Set kOfficeGone = {"printer Office", "driver Vestral X Driver (Windows x64)"};
const std::string kUserPrograms = "C:\\Users\\Admin\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\";
const std::string kCommonPrograms = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\";

using testmachine::DrivePath;

class FileRun : public wholerun::Fixture {
protected:
    // The two printers and Office's profile with the given sections; Office is removed.
    uirun::Outcome RemoveOffice(const std::string& sections, std::map<std::string, std::string> files = {},
                                const std::string& machine = "") {
        files[kNtDrivers + "Kunz__04.unm"] = kXProfile + sections;
        Use(machine + kTwoPrinters, files);
        Prepare();
        return Uninstall({"Office"});
    }
    std::function<void()> Prepare = [] {};
};

// Registry items: a key and its subkey (the subkey first), a whole tree, a key with subkeys that is not
// recursive (it stays), one value, and a class registration of the family.
TEST_F(FileRun, RegistryItemsGoChildrenFirstWholeTreesAndValues) {
    const std::string vestral = "HKEY_LOCAL_MACHINE\\SOFTWARE\\VESTRAL\\";
    Prepare = [&] {
        m->registry.setString(vestral + "VX\\Sub", "a", "1");
        m->registry.setString(vestral + "VX", "b", "2");
        for (const char* k : {"Tree\\A\\B", "Tree\\C", "Flat\\Child"}) m->registry.create(vestral + k);
        m->registry.setString("HKEY_CURRENT_USER\\Software\\VESTRAL\\Settings", "Color", "blue");
        m->registry.setString("HKEY_CURRENT_USER\\Software\\VESTRAL\\Settings", "Size", "A4");
        m->registry.create("HKEY_CLASSES_ROOT\\CLSID\\{0E4BA7FE-AAAA}\\InprocServer32");
        m->registry.create("HKEY_CLASSES_ROOT\\CLSID\\{00000000-BBBB}");
    };
    uirun::Outcome o = RemoveOffice(
        "[VXDRV.RegistryKeys]\r\nHKLM,\"SOFTWARE\\VESTRAL\\VX\",\"\",0\r\nHKLM,\"SOFTWARE\\VESTRAL\\VX\\Sub\",\"\",0\r\n"
        "HKLM,SOFTWARE\\VESTRAL\\Tree,,1\r\nHKLM,SOFTWARE\\VESTRAL\\Flat,,0\r\nHKCU,\"Software\\VESTRAL\\Settings\",\"Color\"\r\n"
        "HKCR,CLSID\\{0E4BA7FE-AAAA},,1\r\nHKLM,SOFTWARE\\VESTRAL\\Absent,,1\r\n");
    ASSERT_EQ(1, o.result) << o.stop;
    EXPECT_EQ(kOfficeGone, diff.objectsRemoved) << diff.Describe();
    const std::string classes = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{0E4BA7FE-AAAA}";
    EXPECT_EQ((Set{vestral + "VX", vestral + "VX\\Sub", vestral + "Tree", vestral + "Tree\\A", vestral + "Tree\\A\\B",
                   vestral + "Tree\\C", classes, classes + "\\InprocServer32"}),
              diff.keysRemoved);
    EXPECT_EQ((Set{"HKEY_CURRENT_USER\\Software\\VESTRAL\\Settings|Color"}), diff.valuesRemoved);
}

// INI keys go from the files of the Windows directory (a file named with another directory means the one
// of that name there; a printer's [Devices] line goes with that printer); start-up values of the Run key go
// by name when the program they start is the family's (here beside the tool, in its own folder).
TEST_F(FileRun, IniKeysGoFromTheWindowsDirectoryAndRunValuesByName) {
    const std::string run = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
    Prepare = [&] {
        for (const char* name : {"VstStatus04", "Vestral Tray", "OtherTool"})
            m->registry.setString(run, name, "C:\\Program Files\\Vestral\\vtray.exe");
    };
    uirun::Outcome o = RemoveOffice(
        "[VXDRV.DeleteIni]\r\nvestral.ini,Ports,VST1\r\nC:\\Elsewhere\\win.ini,Devices,Office\r\n"
        "[VXDRV.DeleteLoadRun]\r\nVstStatus04,vststat.exe\r\n\"Vestral Tray\",\"vtray.exe\"\r\n",
        {{"C/Windows/vestral.ini", "[Ports]\r\nVST1=x\r\nLPT1:=\r\n"},
         {"C/Windows/win.ini", "[windows]\r\ndevice=Home,winspool,LPT2:\r\n[Devices]\r\nOffice=winspool,LPT1:\r\nAcme=winspool,LPT3:\r\n"},
         {"C/Elsewhere/win.ini", "[Devices]\r\nOffice=winspool,LPT1:\r\n"}});
    ASSERT_EQ(1, o.result) << o.stop;
    EXPECT_EQ((Set{"C:\\Windows\\vestral.ini", "C:\\Windows\\win.ini"}), diff.filesChanged);
    EXPECT_EQ("[Ports]\r\nLPT1:=\r\n", m->files.read("C:\\Windows\\vestral.ini"));
    EXPECT_EQ("[windows]\r\ndevice=Home,winspool,LPT2:\r\n[Devices]\r\nAcme=winspool,LPT3:\r\n", m->files.read("C:\\Windows\\win.ini"));
    EXPECT_EQ((Set{run + "|VstStatus04", run + "|Vestral Tray"}), diff.valuesRemoved);
}

// On Win32s the start-up entry is a command of the [windows] Load line, which is written back in lower
// case; the registry's Run key is not touched there.
TEST_F(FileRun, OnWin32sTheCommandGoesFromTheLoadLine) {
    Use("[system]\nplatform = win32s\n" + kTwoPrinters,
        {{"C/WINDOWS/SYSTEM/Kunz__04.unm",
          kXProfile + "[VXDRV.DeleteLoadRun]\r\nVstStatus04,vststat.exe\r\n[VXDRV.Files]\r\nvststat.exe\r\n"},
         {"C/WINDOWS/WIN.INI", "[windows]\r\nload=A.exe VstStat.exe c.exe\r\n"}});
    m->registry.setString("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "VstStatus04", "x");
    ASSERT_EQ(1, Uninstall({"Office"}).result);
    EXPECT_TRUE(diff.valuesRemoved.empty()) << diff.Describe();
    EXPECT_EQ((Set{"C:\\WINDOWS\\WIN.INI"}), diff.filesChanged) << diff.Describe();
    std::string winIni = m->files.read("C:\\WINDOWS\\WIN.INI");
    EXPECT_NE(std::string::npos, winIni.find("load=a.exe c.exe\r\n")) << winIni;
}

// The OEM directories of the registry: emptied of the listed files three levels deep and removed once
// empty; one that holds other files stays with them; a value whose last part names an existing folder is
// that folder (not its parent, the drive's root).
TEST_F(FileRun, OemDirectoriesAreEmptiedAndRemovedAndOtherFilesKept) {
    Prepare = [&] {
        const std::string key = "HKEY_LOCAL_MACHINE\\SOFTWARE\\VESTRAL\\OEM04\\OEMPaths";
        m->registry.setString(key, "Tools", "C:\\Program Files\\Vestral\\Tools\\");
        m->registry.setString(key, "Data", "C:\\Vestral Data\\Sub\\x");
        m->registry.setString(key, "Root", "C:\\Vestral Data");
    };
    const std::string tools = "C:\\Program Files\\Vestral\\Tools\\";
    uirun::Outcome o = RemoveOffice("[VXDRV.Files]\r\nvx.dll\r\n",
                                    {{DrivePath(tools + "vx.dll"), "MZ"},
                                     {DrivePath(tools + "Sub\\vx.dll"), "MZ"},
                                     {DrivePath(tools + "Sub\\Deep\\vx.dll"), "MZ"},
                                     {"C/Vestral Data/Sub/vx.dll", "MZ"},
                                     {"C/Vestral Data/Sub/notes.txt", "mine"},
                                     {"C/Vestral Data/vx.dll", "MZ"}});
    ASSERT_EQ(1, o.result) << o.stop;
    EXPECT_EQ((Set{tools, tools + "vx.dll", tools + "Sub\\", tools + "Sub\\vx.dll", tools + "Sub\\Deep\\",
                   tools + "Sub\\Deep\\vx.dll", "C:\\Vestral Data\\Sub\\vx.dll", "C:\\Vestral Data\\vx.dll"}),
              diff.filesRemoved);
    EXPECT_EQ(0u, m->transcript.count("refused folder item"));
}

// Shortcuts: an item with STARTUP goes from both group folders and the four start-up folders, one without
// only from the group folders, each under its own extension and as .LNK and .PIF; the group's folder of
// all users goes once it is empty; another group stays.
TEST_F(FileRun, ShortcutsGoFromTheirTablesFoldersAsLnkAndPif) {
    const std::string userStartup = kUserPrograms + "Startup\\", commonStartup = kCommonPrograms + "Startup\\";
    const std::vector<std::string> gone = {kUserPrograms + "Vestral\\Monitor.lnk", kCommonPrograms + "Vestral\\Monitor.pif",
                                           kCommonPrograms + "Vestral\\Monitor.exe", userStartup + "Monitor.LNK",
                                           commonStartup + "Monitor.pif", kCommonPrograms + "Vestral\\Readme.lnk",
                                           kCommonPrograms + "Vestral\\Readme.txt", kUserPrograms + "Vestral\\Readme.PIF"};
    const std::vector<std::string> stay = {userStartup + "Readme.lnk", kCommonPrograms + "Other\\Monitor.lnk",
                                           kUserPrograms + "Vestral\\Monitor.txt"};
    std::map<std::string, std::string> files;
    for (const std::string& f : gone) files[DrivePath(f)] = "link";
    for (const std::string& f : stay) files[DrivePath(f)] = "link";
    uirun::Outcome o = RemoveOffice(
        "[VXDRV.Shortcuts]\r\n\"Vestral\",\"Monitor.exe\",\"STARTUP\"\r\n\"Vestral\",\"Readme.txt\"\r\n\"Vestral\"\r\n", files);
    ASSERT_EQ(1, o.result) << o.stop;
    Set expected(gone.begin(), gone.end());
    expected.insert(kCommonPrograms + "Vestral\\");
    EXPECT_EQ(expected, diff.filesRemoved);
}

// Hooks: each export is called with the removal page, its module, the program directory and 0, from the
// driver directory's copy of the library or else the program directory's; a library without the export
// or without its file is passed over; the library's file then goes with the files.
TEST_F(FileRun, HooksAreCalledWithTheirFourArguments) {
    const std::string machine =
        "[library]\npath = C:\\Windows\\System32\\spool\\drivers\\x64\\vhook.dll\nexport = VstUninstall\n"
        "[library]\npath = C:\\Program Files\\Vestral\\phook.dll\nexport = PavUninstall\n"
        "[library]\npath = C:\\Windows\\System32\\spool\\drivers\\x64\\other.dll\nexport = Other\n";
    uirun::Outcome o = RemoveOffice(
        "[VXDRV.Hooks]\r\nvhook.dll,VstUninstall\r\nphook.dll,PavUninstall\r\nother.dll,VstUninstall\r\nmissing.dll,X\r\n"
        "[VXDRV.Files]\r\nvhook.dll\r\n",
        {{kNtDrivers + "vhook.dll", "MZ"}, {"C/Program Files/Vestral/phook.dll", "MZ"}, {kNtDrivers + "other.dll", "MZ"}},
        machine);
    ASSERT_EQ(1, o.result) << o.stop;
    HWND page = context->removePage.hwnd;
    char arguments[128];
    snprintf(arguments, sizeof arguments, "(0x%llx, 0x%llx, \"C:\\Program Files\\Vestral\\\", 0)",
             static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(page)),
             static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(simwin::programModule())));
    std::vector<std::string> hooks;
    for (const std::string& line : m->transcript.lines)
        if (line.rfind("hook ", 0) == 0) hooks.push_back(line);
    // The items in the removal profile's order, which is sorted.
    EXPECT_EQ((std::vector<std::string>{
                  "hook C:\\Program Files\\Vestral\\phook.dll!PavUninstall called with " + std::string(arguments),
                  "hook C:\\Windows\\System32\\spool\\drivers\\x64\\vhook.dll!VstUninstall called with " + std::string(arguments)}),
              hooks);
    EXPECT_EQ((Set{"C:\\Windows\\System32\\spool\\drivers\\x64\\vhook.dll"}), diff.filesRemoved);
}

// A file in use is scheduled for deletion at the next start of Windows by the mechanism of the version
// class: MoveFileExA on the NT family from NT 4.0 on, the WININIT.INI list on Windows 95, 98 and Me, the
// nwininit list on Win32s and NT 3.x (only when its helper is there); an unknown 9x release has no way.
TEST_F(FileRun, AFileInUseIsScheduledByTheMechanismOfItsVersionClass) {
    enum Way { kPending, kWininit, kNwininit, kNothing };
    struct Case {
        const char* system;
        bool helper;
        Way way;
    };
    const Case cases[] = {
        {"platform = nt\nversion = 6.2", false, kPending},     {"platform = nt\nversion = 5.1", false, kPending},
        {"platform = nt\nversion = 5.0", false, kPending},     {"platform = nt\nversion = 4.0", false, kPending},
        {"platform = nt\nversion = 3.51", true, kNwininit},    {"platform = nt\nversion = 3.51", false, kNothing},
        {"platform = 9x\nversion = 4.0", false, kWininit},     {"platform = 9x\nversion = 4.10", false, kWininit},
        {"platform = 9x\nversion = 4.90", false, kWininit},    {"platform = 9x\nversion = 4.20", false, kNothing},
        {"platform = win32s", true, kNwininit},                {"platform = win32s", false, kNothing},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.system) + (c.helper ? " with nwininit.exe" : ""));
        const bool nt = std::string(c.system).find("nt") != std::string::npos;
        const bool win32s = std::string(c.system).find("win32s") != std::string::npos;
        // The Windows directory is looked in directly, and not searched as the 9x driver directory is.
        const std::string windows = nt ? "C:\\Windows\\" : "C:\\WINDOWS\\";
        const std::string path = windows + "vbusy.dll";
        std::map<std::string, std::string> files = {
            {(nt ? kNtDrivers : std::string("C/WINDOWS/SYSTEM/")) + "Kunz__04.unm", kXProfile + "[VXDRV.Files]\r\nvbusy.dll\r\n"},
            {DrivePath(path), "MZ"}};
        if (c.helper) files["C/Program Files/Vestral/nwininit.exe"] = "MZ";
        Use(std::string("[system]\n") + c.system + "\n" + kTwoPrinters + "[file]\npath = " + path + "\nlocked = yes\n", files);
        ASSERT_EQ(1, Uninstall({"Office"}).result);
        EXPECT_FALSE(diff.filesRemoved.count(path));
        Set added;
        if (c.way == kWininit) added.insert(windows + "WININIT.INI");
        if (c.way == kNwininit) added.insert("C:\\Program Files\\Vestral\\nwininit.ini");
        if (!nt) added.insert("C:\\WINDOWS\\SYSTEM\\Color\\");  // the colour directory, made when it is looked up
        // The restart helper's Load entry: only when a file waits for the restart (without nwininit.exe
        // nothing could be scheduled, and no restart is offered for nothing).
        if (win32s && c.helper) added.insert("C:\\WINDOWS\\win.ini");
        EXPECT_EQ(added, diff.filesAdded) << diff.Describe();
        EXPECT_EQ(c.way == kPending ? Set{"pending " + path} : Set{}, diff.objectsAdded) << diff.Describe();
        if (c.way == kWininit) {
            EXPECT_EQ("[RENAME]\r\nNUL=" + path + "\r\n", m->files.read(windows + "WININIT.INI"));
        }
        if (c.way == kNwininit) {
            EXPECT_NE(std::string::npos, m->files.read("C:\\Program Files\\Vestral\\nwininit.ini").find(path + "=NUL"));
        }
    }
}

// NRESTART.EXE goes only when no printer stays and no restart is needed.
TEST_F(FileRun, NrestartGoesOnlyWithNoPrinterLeftAndNoRestartNeeded) {
    struct Case {
        const char* platform;
        std::vector<std::string> printers;
        bool locked;
        bool gone;
    };
    const Case cases[] = {
        {"nt", {}, false, true},
        {"nt", {"Office"}, false, false},  // Home stays
        {"nt", {}, true, false},           // a file in use waits for the restart
        {"9x", {}, false, false},          // the 9x family always needs one
    };
    for (const Case& c : cases) {
        const bool nt = std::string(c.platform) == "nt";
        const std::string system = nt ? "C:\\Windows\\System32\\" : "C:\\WINDOWS\\SYSTEM\\";
        SCOPED_TRACE(std::string(c.platform) + (c.printers.empty() ? " all printers" : " one printer") +
                     (c.locked ? " and a file in use" : ""));
        Use(std::string("[system]\nplatform = ") + c.platform + "\n" + kTwoPrinters +
                (c.locked ? "[file]\npath = " + system + "vbusy.dll\nlocked = yes\n" : std::string()),
            {{(nt ? kNtDrivers : std::string("C/WINDOWS/SYSTEM/")) + "Kunz__04.unm", kXProfile + "[VXDRV.Files]\r\nvbusy.dll\r\n"},
             {DrivePath(system + "vbusy.dll"), "MZ"},
             {DrivePath(system + "NRESTART.EXE"), "MZ"}});
        ASSERT_EQ(1, Uninstall(c.printers).result);
        EXPECT_EQ(c.gone, diff.filesRemoved.count(system + "NRESTART.EXE") == 1) << diff.Describe();
    }
}

// The end of the run: on a restart the user agrees to, Windows is restarted (ExitWindowsEx on Windows 95,
// 98 and Me, the shutdown privilege first elsewhere); when that fails the user is told to restart by hand.
TEST_F(FileRun, TheRestartQuestionAndTheRestart) {
    const char question[] = "今、再起動しますか？";
    const char failed[] = "アンインストールはシステムを再起動できなかったので､Windows を手動で再起動し､アンインストールを完了してください。";
    const char stayed[] = "削除されなかった項目が 1 個あります (失敗 1 個、Windows を守るため拒否 0 個)";
    struct Case {
        const char* system;
        bool yes;
        bool reboot;
        bool failure;
        bool fileStays;  // the locked file could not even be scheduled: said before the question
    };
    const Case cases[] = {
        {"platform = nt", true, true, false, false},
        {"platform = nt", false, false, false, false},
        {"platform = nt\nshutdown = no", true, false, true, false},
        {"platform = 9x\nversion = 4.10", true, true, false, false},
        {"platform = 9x\nversion = 4.0", true, true, false, false},
        // No shutdown privilege to take on the 9x family, and MoveFileExA cannot schedule there (error 120).
        {"platform = 9x\nversion = 4.20", true, false, true, true},
        {"platform = 9x\nversion = 4.90", false, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.system) + (c.yes ? ", Yes" : ", No"));
        const bool nt = std::string(c.system).find("nt") != std::string::npos;
        const std::string system = nt ? "C:\\Windows\\System32\\" : "C:\\WINDOWS\\SYSTEM\\";
        Use(std::string("[system]\n") + c.system + "\n" + kTwoPrinters + "[file]\npath = " + system + "vbusy.dll\nlocked = yes\n",
            {{(nt ? kNtDrivers : std::string("C/WINDOWS/SYSTEM/")) + "Kunz__04.unm", kXProfile + "[VXDRV.Files]\r\nvbusy.dll\r\n"},
             {DrivePath(system + "vbusy.dll"), "MZ"}});
        ASSERT_EQ(1, Uninstall({"Office"}, {c.yes}).result);
        std::vector<std::string> boxes = MessageBoxes();
        const size_t first = c.fileStays ? 1 : 0;
        ASSERT_EQ(first + (c.failure ? 2u : 1u), boxes.size());
        if (c.fileStays) {
            EXPECT_NE(std::string::npos, boxes[0].find(stayed)) << boxes[0];
        }
        EXPECT_NE(std::string::npos, boxes[first].find(question + std::string(c.yes ? " -> Yes" : " -> No"))) << boxes[first];
        if (c.failure) {
            EXPECT_EQ(failed + std::string(" -> OK"), boxes[first + 1]);
        }
        EXPECT_EQ(c.reboot, m->system.rebootRequested);
        typedef std::map<std::string, Set> Changes;
        const Changes rebooted = {{"system", {"reboot: (none) -> yes"}}};
        EXPECT_EQ(c.reboot ? rebooted : Changes(), diff.objectsChanged);
    }
}

// On Win32s the restart helper NRESTART.EXE restarts Windows: it is scheduled for deletion in the nwininit
// list, the helper's start-up entry is added to the Load line, and on Yes it is started with "-d"; when it
// cannot be started the user is told to restart by hand.
TEST_F(FileRun, OnWin32sTheRestartHelperRestartsWindows) {
    for (bool helper : {true, false}) {
        SCOPED_TRACE(helper ? "NRESTART.EXE there" : "NRESTART.EXE missing");
        std::map<std::string, std::string> files = {
            {"C/WINDOWS/SYSTEM/Kunz__04.unm", kXProfile + "[VXDRV.Files]\r\nvbusy.dll\r\n"},
            {"C/WINDOWS/SYSTEM/vbusy.dll", "MZ"},
            {"C/Program Files/Vestral/nwininit.exe", "MZ"},
            {"C/WINDOWS/WIN.INI", "[windows]\r\nload=a.exe\r\n"}};
        if (helper) files["C/Program Files/Vestral/NRESTART.EXE"] = "MZ";
        Use("[system]\nplatform = win32s\n" + kTwoPrinters +
                "[file]\npath = C:\\WINDOWS\\SYSTEM\\vbusy.dll\nlocked = yes\n"
                "[program]\npath = C:\\Program Files\\Vestral\\NRESTART.EXE\n",
            files);
        ASSERT_EQ(1, Uninstall({"Office"}, {true}).result);
        std::string list = m->files.read("C:\\Program Files\\Vestral\\nwininit.ini");
        EXPECT_NE(std::string::npos, list.find("C:\\WINDOWS\\SYSTEM\\vbusy.dll=NUL")) << list;
        EXPECT_NE(std::string::npos, list.find("C:\\Program Files\\Vestral\\NRESTART.EXE=NUL")) << list;
        EXPECT_NE(std::string::npos, m->files.read("C:\\WINDOWS\\WIN.INI").find("load=a.exe NWININIT"));
        EXPECT_EQ(helper ? 1u : 0u, m->transcript.count("program started: C:\\Program Files\\Vestral\\NRESTART.EXE (command line \"NRESTART.EXE -d\")"))
            << m->transcript.lines.back();
        std::vector<std::string> boxes = MessageBoxes();
        EXPECT_EQ(helper ? 1u : 2u, boxes.size());
    }
}

}  // namespace
