// What the machine still needs, asked the way the removers ask it: one table per kind of item, a row per
// attack a script could make and per item of the family that must still go. The machine is
// tests/support/keeper_machine.h: the family's printer "Office" goes, its "Labels" and another maker's two
// printers stay.
#include <string.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/keeper_machine.h"

namespace {

// A row's expectation: the rule that keeps the item, or "" when it may go.
void Expect(const char* rule, const CRefusal& refusal, const std::string& item) {
    EXPECT_EQ(std::string(rule), refusal ? std::string(refusal.rule) : std::string()) << item << ": " << refusal.Text();
}

class Keeper : public ::testing::Test, public keepertest::Fixture {
protected:
    Keeper() {
        for (const char* f : {"vydrv.dll", "vyui.dll", "vcommon.dll", "acmedrv.dll", "kernel32.dll", "win.ini", "vstmon.exe", "vstnet.dll"})
            database.removal.files.Add(f);
        database.removal.drivers.Add("Vestral Y Driver");
        for (const char* s : {"VstStatus04", "AcmeSvc", "VstFilter", "VstShared", "VstNoBinary", "Spooler"})
            database.removal.services.Add(s);
        for (const char* mon : {"Vestral Port Monitor", "Acme Port Monitor", "Local Port", "Acme Spare Monitor"}) database.removal.monitors.Add(mon);
        for (const char* p : {"VxProc", "AcmeProc", "WinPrint"}) database.removal.printProcessors.Add(p);
        m->files.makeDirectories("C:\\Windows\\Vestral");
        m->files.writeFile("C:\\Windows\\Vestral\\vxlog.txt", "");
        m->files.makeDirectories("C:\\Tools\\Mixed");
        m->files.writeFile("C:\\Tools\\Mixed\\ntoskrnl.exe", "MZ");
        m->files.find("C:\\Tools\\Mixed\\ntoskrnl.exe")->protectedFile = true;
        Learn();
    }
};

TEST_F(Keeper, Files) {
    const std::string drivers = "C:\\Windows\\System32\\spool\\drivers\\";
    const struct {
        std::string path;
        const char* rule;
    } rows[] = {
        {"C:\\Windows\\System32\\kernel32.dll", "windows-file"},    // Windows protects it
        {"C:\\Windows\\win.ini", "windows-file"},                   // Windows's own INI file
        {"C:\\Windows\\INF\\ntprint.inf", "windows-file"},          // an INF of Windows
        {"C:\\Windows\\INF\\oem7.inf", "windows-file"},             // another maker's INF
        {"C:\\Windows\\INF\\oem8.inf", "windows-file"},             // names the driver only as part of a longer one
        {"C:\\Windows\\INF\\oem5.inf", ""},                         // the removed driver's INF
        {"C:\\Windows\\INF\\OEM5.PNF", ""},                         // ... and its compiled form
        {drivers + "x64\\vydrv.dll", ""},                           // the removed driver's own file
        {drivers + "W32X86\\vydrv.dll", ""},                        // ... in the other environment too
        {drivers + "x64\\vcommon.dll", "staying-printer"},          // the staying family driver needs it too
        {drivers + "x64\\acmedrv.dll", "staying-printer"},          // another maker's driver
        {drivers + "W32X86\\acmedrv.dll", "staying-printer"},       // ... its copy for the clients of a share
        {drivers + "x64\\acmecore.dll", "staying-printer"},         // ... its dependent file
        {"C:\\Windows\\System32\\acmemon.dll", "staying-printer"},  // the monitor of a staying printer's port
        {"C:\\Windows\\System32\\vstmon.dll", ""},                  // the monitor of the removed printer's port
        {"C:\\Windows\\System32\\spool\\prtprocs\\x64\\acmeproc.dll", "staying-printer"},
        {"C:\\Windows\\System32\\spool\\prtprocs\\x64\\vxproc.dll", ""},
        {drivers + "x64\\..\\x64\\.\\acmedrv.dll", "staying-printer"},  // the same file by another path
        {drivers + "x64\\acmespare.dll", "windows-printing"},     // another maker's driver nobody uses
        {drivers + "x64\\vzdrv.dll", ""},                         // a driver of the family's provider
    };
    for (const auto& row : rows) Expect(row.rule, keeper.File(row.path.c_str()), row.path);
}

// A listed program is the family's where the file removal would look for it: in a searched folder and two
// levels below it, not three; a name the scripts do not list is nobody's there.
TEST_F(Keeper, AListedProgramIsTheFamilysWhereTheFileRemovalLooks) {
    const std::string searched = "C:\\Windows\\System32\\spool\\drivers\\x64\\";
    const struct {
        std::string path;
        bool family;
    } rows[] = {
        {searched + "vstmon.exe", true},
        {searched + "3\\vstmon.exe", true},
        {searched + "3\\a\\vstmon.exe", true},
        {searched + "3\\a\\b\\vstmon.exe", false},
        {searched + "3\\a\\other.exe", false},
        {"C:\\Windows\\System32\\vstmon.exe", true},
        {"C:\\Windows\\System32\\sub\\vstmon.exe", false},
    };
    for (const auto& row : rows) EXPECT_EQ(row.family, keeper.IsFamilyPath(row.path.c_str())) << row.path;
}

TEST_F(Keeper, FileNamesAndOemDirectories) {
    for (const auto& row : {std::make_pair("vydrv.dll", ""), {"vx*.dll", "path-form"}, {"vydrv.dll:evil", "path-form"},
                            {"vydrv.dll.", "path-form"}, {"vydrv.dll ", "path-form"}})
        Expect(row.second, keeper.FileName(row.first), row.first);
    const struct {
        const char* oemPath;
        const char* rule;
        const char* directory;  // what a path that may go resolves to
    } rows[] = {
        {"C:\\Program Files\\Vestral", "", "C:\\Program Files\\Vestral"},
        {"C:\\Program Files\\Vestral\\", "", "C:\\Program Files\\Vestral"},
        {"C:\\Program Files\\Vestral\\vststat.exe", "", "C:\\Program Files\\Vestral"},  // a file: its folder
        {"c:/program files/vestral/.", "", "C:\\Program Files\\Vestral"},
        {"C:\\Windows\\Vestral", "", "C:\\Windows\\Vestral"},  // a family folder below the Windows directory
        {"C:\\", "windows-folder", ""},
        {"C:\\Program Files", "windows-folder", ""},
        {"C:\\PROGRA~1", "windows-folder", ""},  // its short name
        {"C:\\Windows", "windows-folder", ""},
        {"C:\\Program Files\\Vestral\\..\\..\\Windows", "windows-folder", ""},
        {"C:\\Windows\\System32\\spool\\drivers\\x64\\3", "windows-folder", ""},
        {"C:\\Windows\\System32\\drivers", "windows-folder", ""},
        {"C:\\Users", "windows-folder", ""},
        {"C:\\Users\\Admin\\Documents", "windows-folder", ""},
        {"C:\\Tools\\Mixed", "windows-folder", ""},  // holds a file Windows protects
        {"C:\\ProgramData", "windows-folder", ""},
        {"C:\\ProgramData\\Vestral", "windows-folder", ""},  // holds the tool's folder with the backup sets
        {"C:\\ProgramData\\Vestral\\korun04\\Backup", "windows-folder", ""},
        {"\\\\?\\C:\\Program Files\\Vestral", "path-form", ""},
        {"\\\\.\\C:\\Program Files\\Vestral", "path-form", ""},
        {"\\\\server\\share\\Vestral", "path-form", ""},
        {"Program Files\\Vestral", "path-form", ""},
        {"C:\\Program Files\\Vest*", "path-form", ""},
        {"C:\\Program Files\\Vestral:stream", "path-form", ""},
        {"C:\\Program Files\\Vestral.", "path-form", ""},
    };
    for (const auto& row : rows) {
        std::string directory;
        Expect(row.rule, keeper.OemDirectory(row.oemPath, directory), row.oemPath);
        EXPECT_EQ(Lower(row.directory), Lower(directory)) << row.oemPath;
    }
}

TEST_F(Keeper, RegistryKeys) {
    const struct {
        HKEY root;
        const char* key;
        const char* rule;
    } rows[] = {
        {HKEY_LOCAL_MACHINE, "", "windows-key"},
        {HKEY_LOCAL_MACHINE, "SOFTWARE", "windows-key"},
        {HKEY_LOCAL_MACHINE, " software\\ ", "windows-key"},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows", "windows-key"},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall", "windows-key"},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vestral", ""},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Notify\\x", "windows-key"},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\S-1-5-18", "windows-key"},
        {HKEY_LOCAL_MACHINE, "BCD00000000\\Objects", "windows-key"},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\VESTRAL", ""},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\VESTRAL\\..\\..\\SYSTEM", "path-form"},
        {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment", "windows-key"},
        {HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet002\\Control\\Lsa\\Kerberos", "windows-key"},
        {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Enum\\USBPRINT", "windows-key"},
        {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services", "windows-key"},
        {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\VstStatus04", ""},     // a service this run removes
        {HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet001\\Services\\VstStatus04\\Parameters", ""},
        {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\AcmeSvc", "windows-key"},  // refused service
        {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\Tcpip", "windows-key"},
        {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Vestral Port Monitor", ""},
        {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Acme Port Monitor", "windows-key"},
        {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Local Port", "windows-key"},
        {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Acme Spare Monitor", "windows-key"},
        {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Office\\PrinterDriverData", ""},
        {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Labels", "windows-key"},
        {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64\\Drivers\\Version-3\\Vestral Y Driver", ""},
        {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64\\Drivers\\Version-3\\Acme Plotter Driver", "windows-key"},
        {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64\\Print Processors\\VxProc", ""},
        {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64\\Print Processors\\AcmeProc", "windows-key"},
        {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64", "windows-key"},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes", "windows-key"},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\.txt", "points-elsewhere"},         // a file type of Notepad
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\txtfile", "windows-key"},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\.vxd", ""},                         // the family's file type
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\Vestral.Document", ""},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\Vestral.Empty", ""},                // points at nothing
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\Acme.Plot", "points-elsewhere"},     // another maker's icon
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\CLSID\\{0E4BA7FE-1111-2222-3333-444455556666}", ""},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\CLSID\\{20D04FE0-3AEA-1069-A2D8-08002B30309D}\\InprocServer32", "points-elsewhere"},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\WOW6432Node\\Classes\\CLSID", "windows-key"},
        {HKEY_CLASSES_ROOT, "", "windows-key"},
        {HKEY_CLASSES_ROOT, "CLSID", "windows-key"},
        {HKEY_CLASSES_ROOT, "*", "windows-key"},
        {HKEY_CLASSES_ROOT, "Vestral.Printer", ""},
        {HKEY_CURRENT_USER, "Software", "windows-key"},
        {HKEY_CURRENT_USER, "Printers\\Connections", "windows-key"},
        {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", "windows-key"},
        {HKEY_CURRENT_USER, "Software\\Classes\\CLSID", "windows-key"},
        {HKEY_CURRENT_USER, "Software\\VESTRAL\\KORUN04", ""},
        {HKEY_USERS, ".DEFAULT", "windows-key"},
        {HKEY_USERS, ".DEFAULT\\Software", "windows-key"},
        {HKEY_USERS, "S-1-5-21-1_Classes\\CLSID", "windows-key"},
        {HKEY_USERS, ".DEFAULT\\Software\\VESTRAL", ""},
    };
    for (const auto& row : rows) Expect(row.rule, keeper.RegistryKey(row.root, row.key, true), row.key);
}

TEST_F(Keeper, ValuesRunEntriesAndIniLines) {
    const char* run = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
    for (const auto& row : {std::make_pair("VstMonitor", ""), {"VstRunDll", ""}, {"Missing", ""},
                            {"AcmeTray", "points-elsewhere"}, {"Control", "points-elsewhere"}})
        Expect(row.second, keeper.RunValue(run, row.first), row.first);
    Expect("windows-key",
           keeper.RegistryValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", "Shell"), "Shell");
    Expect("", keeper.RegistryValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\VESTRAL", "Version"), "Version");
    for (const auto& row : {std::make_pair("vstmon.exe", ""), {"notepad.exe", "points-elsewhere"}, {"gonetray.exe", ""}})
        Expect(row.second, keeper.LoadWord(row.first), row.first);
    // A line that starts a program that exists nowhere points at nothing: it goes.
    HKEY key = NULL;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_LOCAL_MACHINE, run, &key));
    for (const auto& row : {std::make_pair("GoneFull", "\"C:\\Program Files\\Gone\\gone.exe\" /tray"),
                            {"GoneBare", "gonetray.exe /start"}}) {
        RegSetValueExA(key, row.first, 0, REG_SZ, reinterpret_cast<const BYTE*>(row.second), DWORD(strlen(row.second) + 1));
        Expect("", keeper.RunValue(run, row.first), row.first);
    }
    RegCloseKey(key);
    const struct {
        const char *file, *section, *key, *rule;
    } ini[] = {
        {"win.ini", "windows", "load", "windows-ini"},         {"C:\\Windows\\WIN.INI", "windows", "device", "windows-ini"},
        {"win.ini", "Devices", "Office", ""},                  {"win.ini", "Devices", "Labels", "windows-ini"},
        {"win.ini", "PrinterPorts", "Acme USB", "windows-ini"}, {"system.ini", "boot", "shell", "windows-ini"},
        {"system.ini", "386Enh", "device", "windows-ini"},      {"vestral.ini", "Settings", "Port", ""},
        {"win.ini", "Vestral", "Version", ""},
    };
    for (const auto& row : ini) Expect(row.rule, keeper.IniLine(row.file, row.section, row.key), row.key);
}

TEST_F(Keeper, Components) {
    const struct {
        CRefusal (CKeeper::*rule)(const char*) const;
        const char* item;
        const char* expected;
    } rows[] = {
        {&CKeeper::Service, "VstStatus04", ""},           // its program lies in the family's OEM folder
        {&CKeeper::Service, "AcmeSvc", "service"},        // another maker's program
        {&CKeeper::Service, "VstFilter", "service"},      // starts with Windows
        {&CKeeper::Service, "VstShared", "service"},      // runs in svchost
        {&CKeeper::Service, "VstNoBinary", "service"},    // names no program at all
        {&CKeeper::Service, "Spooler", "service"},
        {&CKeeper::Service, "NotInstalled", ""},
        {&CKeeper::Service, "SPOOLER", "service"},
        {&CKeeper::Service, "rpcss", "service"},
        {&CKeeper::Service, "PlugPlay", "service"},
        {&CKeeper::Service, "usbprint", "service"},
        {&CKeeper::Service, "Spooler2", ""},
        {&CKeeper::Driver, "Vestral Y Driver", ""},
        {&CKeeper::Driver, "Vestral X Driver", "staying-printer"},
        {&CKeeper::Driver, "Acme Plotter Driver", "staying-printer"},
        {&CKeeper::Driver, "Microsoft PS Class Driver", "windows-printing"},
        {&CKeeper::OemInf, "oem5.inf", ""},
        {&CKeeper::OemInf, "oem7.inf", "staying-printer"},
        {&CKeeper::OemInf, "ntprint.inf", "windows-file"},
        {&CKeeper::Monitor, "Vestral Port Monitor", ""},
        {&CKeeper::Monitor, "Acme Port Monitor", "staying-printer"},
        {&CKeeper::Monitor, "Local Port", "windows-printing"},
        {&CKeeper::Monitor, "USB Monitor", "windows-printing"},
        {&CKeeper::Monitor, "local port", "windows-printing"},
        {&CKeeper::Monitor, "Standard TCP/IP Port", "windows-printing"},
        {&CKeeper::Monitor, "WSD Port", "windows-printing"},
        {&CKeeper::Monitor, "LPR Port", "windows-printing"},
        {&CKeeper::Monitor, "Local Port 2", ""},                      // no library: it names nothing else
        {&CKeeper::Monitor, "Acme Spare Monitor", "points-elsewhere"},  // another maker's library, no printer
        {&CKeeper::Monitor, "Vestral Net Monitor", ""},                // its library is nowhere: it names nothing
        {&CKeeper::Monitor, "Vestral Net Monitor", ""},                // its library is a listed file
        {&CKeeper::Monitor, "Vestral Port Monitor\\..\\Acme Port Monitor", "path-form"},
        {&CKeeper::Monitor, "Acme Port Monitor\\Ports", "path-form"},
        {&CKeeper::Driver, "Acme Spare Driver", "windows-printing"},  // its provider is another maker
        {&CKeeper::Driver, "Orbit Driver", "windows-printing"},       // ... its manufacturer
        {&CKeeper::Driver, "Quill Driver", "windows-printing"},       // ... its INF's provider
        {&CKeeper::Driver, "Vestral Z Driver", ""},                   // the family's provider and manufacturer
        {&CKeeper::PrintProcessor, "VxProc", ""},
        {&CKeeper::PrintProcessor, "AcmeProc", "staying-printer"},
        {&CKeeper::PrintProcessor, "winprint", "windows-printing"},
        {&CKeeper::PrintProcessor, "WinPrint2", ""},
        {&CKeeper::DeviceNode, "USBPRINT\\ACMEPLOTTER\\7&2", "staying-printer"},          // on the staying port USB002
        {&CKeeper::DeviceNode, "USB\\VID_0ABC&PID_0012\\5&1A2B&0&1", "staying-printer"},  // ... and its parent
        {&CKeeper::ShortcutGroup, "Vestral Drivers", ""},
        {&CKeeper::ShortcutGroup, "Accessories", "windows-folder"},
        {&CKeeper::ShortcutGroup, "startup", "windows-folder"},
        {&CKeeper::ShortcutGroup, "..\\Startup", "path-form"},
        {&CKeeper::ShortcutGroup, "Vest*", "path-form"},
        {&CKeeper::ShortcutGroup, "Vestral. ", "path-form"},
        {&CKeeper::Printer, "Office", ""},
        {&CKeeper::Printer, "..\\..\\Software", "path-form"},
    };
    for (const auto& row : rows) Expect(row.expected, (keeper.*row.rule)(row.item), row.item);
}

// Every user's profile and every folder below a profile or a user's known folder is a user's: never an OEM
// folder to empty, never a folder to remove.
TEST_F(Keeper, ProfilesAndUsersFolders) {
    HKEY list = NULL;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList", &list));
    auto expandable = [](HKEY key, const char* name, const char* text) {
        RegSetValueExA(key, name, 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(text), DWORD(strlen(text) + 1));
    };
    expandable(list, "ProfilesDirectory", "%SystemDrive%\\Users");
    for (const auto& account : {std::make_pair("S-1-5-21-7-1001", "%SystemDrive%\\Users\\Bob"), {"S-1-5-21-7-1002", "D:\\Staff\\Carol"},
                                {"S-1-5-18", "%systemroot%\\system32\\config\\systemprofile"}}) {
        HKEY key = NULL;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(list, account.first, &key));
        expandable(key, "ProfileImagePath", account.second);
        RegCloseKey(key);
    }
    RegCloseKey(list);
    m->files.makeDirectories("C:\\Program Files\\Vestral\\Data");
    Learn();
    const struct {
        const char* folder;
        const char* rule;
    } rows[] = {
        {"C:\\Users\\Bob", "windows-folder"},                             // a profile of the ProfileList
        {"C:\\Users\\Bob\\Documents\\Vestral", "windows-folder"},         // below it
        {"D:\\Staff\\Carol\\Vestral", "windows-folder"},                  // a profile outside the profiles directory
        {"D:\\Staff", "windows-folder"},                                  // ... holds it
        {"C:\\Users\\Default\\AppData\\Roaming\\Vestral", "windows-folder"},
        {"C:\\Users\\Public\\Documents\\Vestral", "windows-folder"},
        {"C:\\Users\\Admin\\AppData\\Local\\Vestral", "windows-folder"},  // the running user's known folder
        {"C:\\Users\\Admin\\Vestral", "windows-folder"},                  // the running user's profile
        {"C:\\Windows\\System32\\config\\systemprofile\\Vestral", "windows-folder"},
        {"C:\\Program Files\\Vestral\\Data", ""},                         // the family's folder
        {"C:\\Windows\\Vestral", ""},
    };
    for (const auto& row : rows) {
        std::string directory;
        Expect(row.rule, keeper.OemDirectory(row.folder, directory), row.folder);
        Expect(row.rule, keeper.Folder(row.folder), row.folder);
    }
}

// An OEM path is resolved once: the folder it named at Learn (or when first asked) stays its answer after the
// removal took the folder or the file it named, and a last part that names nothing is never its parent.
TEST_F(Keeper, AnOemPathKeepsItsAnswerForTheRun) {
    HKEY key = NULL;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\VESTRAL\\OEM04\\OEMPaths", &key));
    const char* plugin = "C:\\Program Files\\Acme\\VstPlugin";
    RegSetValueExA(key, "2", 0, REG_SZ, reinterpret_cast<const BYTE*>(plugin), DWORD(strlen(plugin) + 1));
    RegCloseKey(key);
    m->files.makeDirectories(plugin);
    m->files.makeDirectories("C:\\Program Files\\Vestral\\Tools");
    m->files.writeFile("C:\\Program Files\\Vestral\\Tools\\vsttool.ini", "");
    Learn();
    const struct {
        const char* oemPath;
        const char* goes;       // what the removal takes before the path is asked again
        const char* directory;  // the answer, before and after
    } rows[] = {
        {plugin, plugin, plugin},                                      // learned from the registry
        {"C:\\Program Files\\Vestral\\Tools\\vsttool.ini", "C:\\Program Files\\Vestral\\Tools\\vsttool.ini",
         "C:\\Program Files\\Vestral\\Tools"},                           // a file's folder, first asked now
        {"C:\\Program Files\\Acme\\Gone", "", "C:\\Program Files\\Acme\\Gone"},  // names nothing: itself
    };
    for (const auto& row : rows) {
        std::string first, again;
        Expect("", keeper.OemDirectory(row.oemPath, first), row.oemPath);
        if (row.goes[0]) {
            if (m->files.isDirectory(row.goes)) RemoveDirectoryA(row.goes); else DeleteFileA(row.goes);
        }
        Expect("", keeper.OemDirectory(row.oemPath, again), row.oemPath);
        EXPECT_EQ(Lower(row.directory), Lower(first)) << row.oemPath;
        EXPECT_EQ(Lower(row.directory), Lower(again)) << row.oemPath;
    }
}

// After the printers' stage a printer that could not be deleted stays, with what it uses.
TEST_F(Keeper, APrinterThatStaysAfterItsStageKeepsWhatItUses) {
    Expect("", keeper.Driver("Vestral Y Driver"), "before");
    keeper.LearnStayingPrinters();  // Office is still installed: its deletion failed
    Expect("staying-printer", keeper.Driver("Vestral Y Driver"), "after");
    Expect("staying-printer", keeper.File("C:\\Windows\\System32\\vstmon.dll"), "its monitor's library");
}

}  // namespace

namespace {

// Whose a driver is, told from the INF level 8 names: Windows 8 and later name the driver store's copy, whose
// published name (setupapi) is oemN.inf for another maker's package and the INF's own name for Windows's.
TEST_F(Keeper, DriversOfWindowsToldByThePublishedNameOfTheirInf) {
    const std::string repository = "C:\\Windows\\System32\\DriverStore\\FileRepository\\";
    const std::string family = repository + "vydrv.inf_amd64_0123456789abcdef\\vydrv.inf";
    const std::string inbox = repository + "ntprint.inf_amd64_fedcba9876543210\\ntprint.inf";
    const std::string orphan = repository + "vyold.inf_amd64_00000000deadbeef\\vyold.inf";
    m->files.writeFile(family, m->files.read("C:\\Windows\\INF\\oem5.inf"));
    m->files.writeFile("C:\\Windows\\INF\\ntprint.inf", "[Version]\r\nSignature=\"$Windows NT$\"\r\n; inbox\r\n");
    m->files.writeFile(inbox, "[Version]\r\nSignature=\"$Windows NT$\"\r\n; inbox\r\n");
    m->files.writeFile(orphan, "[Version]\r\nSignature=\"$Windows NT$\"\r\n; published nowhere\r\n");
    const struct {
        const char* version;
        std::string inf;
        const char* provider;
        const char* rule;
        const char* why;  // a part of the refusal's sentence
    } rows[] = {
        {"10.0", family, "Vestral", "", ""},                                    // published as oem5.inf
        {"10.0", inbox, "", "windows-printing", "a driver of Windows"},         // published as ntprint.inf
        {"10.0", family, "Microsoft", "windows-printing", "a driver of Windows"},
        {"6.1", "C:\\Windows\\INF\\oem5.inf", "Vestral", "", ""},               // before the store
        {"10.0", "C:\\Windows\\INF\\oem5.inf", "Vestral", "", ""},              // as Wine names it
        {"10.0", orphan, "Vestral", "windows-printing", "setupapi knows no published INF"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.version) + " " + row.inf + " " + row.provider);
        m->system.major = row.version[0] == '1' ? 10 : 6;
        m->system.minor = row.version[0] == '1' ? 0 : 1;
        simwin::PrinterDriver* d = m->spooler.findDriver("Vestral Y Driver", "Windows x64");
        ASSERT_NE(nullptr, d);
        d->inf = row.inf;
        d->provider = row.provider;
        Learn();
        const CRefusal refusal = keeper.Driver("Vestral Y Driver");
        Expect(row.rule, refusal, row.inf);
        EXPECT_NE(std::string::npos, refusal.why.find(row.why)) << refusal.Text();
        // The INF directory gives up the published INF of a driver that goes, and only then.
        Expect(*row.rule ? "windows-file" : "", keeper.File("C:\\Windows\\INF\\oem5.inf"), "oem5.inf");
    }
}

}  // namespace

namespace {

// Another maker's classes beside the family's: its 32-bit COM server registered in each view and user, a ProgID
// whose CLSID (in either view, or by its CurVer) runs its program, a file type of that ProgID.
const char kClasses[] = R"(Windows Registry Editor Version 5.00
[HKEY_LOCAL_MACHINE\SOFTWARE\Classes\Wow6432Node\CLSID\{A0000000-0000-0000-0000-000000000001}\LocalServer32]
@="C:\\Program Files\\Acme\\acme.exe"
[HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Classes\CLSID\{A0000000-0000-0000-0000-000000000002}\InprocServer32]
@="C:\\Program Files\\Acme\\acme32.dll"
[HKEY_CURRENT_USER\Software\Classes\Wow6432Node\Interface\{A0000000-0000-0000-0000-000000000003}\ProxyStubClsid32]
@="{A0000000-0000-0000-0000-000000000001}"
[HKEY_USERS\S-1-5-21-1_Classes\Wow6432Node\TypeLib\{A0000000-0000-0000-0000-000000000004}\1.0\0\win32]
@="C:\\Program Files\\Acme\\acme.exe"
[HKEY_LOCAL_MACHINE\SOFTWARE\Classes\Wow6432Node\CLSID\{0E4BA7FE-1111-2222-3333-444455556667}\InprocServer32]
@="C:\\Program Files\\Vestral\\vxshell.dll"
[HKEY_LOCAL_MACHINE\SOFTWARE\Classes\CLSID\{A0000000-0000-0000-0000-000000000005}\LocalServer32]
@="\"C:\\Program Files\\Acme\\acme.exe\" /automation"
[HKEY_LOCAL_MACHINE\SOFTWARE\Classes\Acme.Viewer\CLSID]
@="{A0000000-0000-0000-0000-000000000005}"
[HKEY_LOCAL_MACHINE\SOFTWARE\Classes\Acme.Viewer32\CLSID]
@="{A0000000-0000-0000-0000-000000000002}"
[HKEY_LOCAL_MACHINE\SOFTWARE\Classes\Acme.Viewer.Current\CurVer]
@="Acme.Viewer"
[HKEY_CURRENT_USER\Software\Classes\Acme.UserView\CLSID]
@="{A0000000-0000-0000-0000-000000000005}"
[HKEY_LOCAL_MACHINE\SOFTWARE\Classes\.acv]
@="Acme.Viewer"
[HKEY_LOCAL_MACHINE\SOFTWARE\Classes\Vestral.StatusCtl\CLSID]
@="{0E4BA7FE-1111-2222-3333-444455556666}"
[HKEY_LOCAL_MACHINE\SOFTWARE\Classes\Vestral.Orphan\CLSID]
@="{0E4BA7FE-9999-2222-3333-444455556666}"
[HKEY_LOCAL_MACHINE\SOFTWARE\Classes\Vestral.Loop\CurVer]
@="Vestral.Loop"
)";

struct KeyRow {
    HKEY root;
    const char* key;
    const char* rule;
};

void ExpectKeys(const CKeeper& keeper, const std::vector<KeyRow>& rows) {
    for (const KeyRow& row : rows) Expect(row.rule, keeper.RegistryKey(row.root, row.key, true), row.key);
}

// The 32-bit view of the classes holds Windows's containers again, under every root that has classes.
TEST_F(Keeper, TheClassesThirtyTwoBitView) {
    m->registry.loadReg(kClasses, "classes");
    ExpectKeys(keeper, {
        {HKEY_CLASSES_ROOT, "Wow6432Node", "windows-key"},
        {HKEY_CLASSES_ROOT, "Wow6432Node\\CLSID", "windows-key"},
        {HKEY_CLASSES_ROOT, "wow6432node\\Interface\\", "windows-key"},
        {HKEY_CLASSES_ROOT, "Wow6432Node\\TypeLib", "windows-key"},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\Wow6432Node\\CLSID", "windows-key"},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Wow6432Node\\Classes\\Interface", "windows-key"},
        {HKEY_CURRENT_USER, "Software\\Wow6432Node", "windows-key"},
        {HKEY_CURRENT_USER, "Software\\Wow6432Node\\Classes", "windows-key"},
        {HKEY_CURRENT_USER, "Software\\Wow6432Node\\Classes\\CLSID", "windows-key"},
        {HKEY_CURRENT_USER, "Software\\Classes\\Wow6432Node\\TypeLib", "windows-key"},
        {HKEY_USERS, "S-1-5-21-1_Classes\\Wow6432Node\\CLSID", "windows-key"},
        {HKEY_USERS, "S-1-5-21-1\\Software\\Wow6432Node\\Classes\\AppID", "windows-key"},
        {HKEY_CLASSES_ROOT, "Wow6432Node\\CLSID\\{A0000000-0000-0000-0000-000000000001}", "points-elsewhere"},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Wow6432Node\\Classes\\CLSID\\{A0000000-0000-0000-0000-000000000002}", "points-elsewhere"},
        {HKEY_CURRENT_USER, "Software\\Classes\\Wow6432Node\\Interface\\{A0000000-0000-0000-0000-000000000003}", "points-elsewhere"},
        {HKEY_USERS, "S-1-5-21-1_Classes\\Wow6432Node\\TypeLib\\{A0000000-0000-0000-0000-000000000004}", "points-elsewhere"},
        {HKEY_CLASSES_ROOT, "Wow6432Node\\CLSID\\{0E4BA7FE-1111-2222-3333-444455556667}", ""},  // the family's server
        {HKEY_CURRENT_USER, "Software\\Wow6432Node\\VESTRAL", ""},
    });
}

// A ProgID runs what the class its CLSID names registers (in either view), and so does its current version's.
TEST_F(Keeper, ProgIdsFollowedToTheirClass) {
    m->registry.loadReg(kClasses, "classes");
    ExpectKeys(keeper, {
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\Acme.Viewer", "points-elsewhere"},
        {HKEY_CLASSES_ROOT, "Acme.Viewer\\CLSID", "points-elsewhere"},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\Acme.Viewer32", "points-elsewhere"},       // its 32-bit server
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\Acme.Viewer.Current", "points-elsewhere"},  // by CurVer
        {HKEY_CURRENT_USER, "Software\\Classes\\Acme.UserView", "points-elsewhere"},         // a class of the machine's
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\.acv", "points-elsewhere"},                 // a file type of that ProgID
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\Vestral.StatusCtl", ""},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\Vestral.Orphan", ""},  // its class is registered nowhere
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\Vestral.Loop", ""},    // a CurVer naming itself ends
    });
    const CRefusal refusal = keeper.RegistryKey(HKEY_CLASSES_ROOT, "Acme.Viewer", true);
    EXPECT_NE(std::string::npos, refusal.why.find("C:\\Program Files\\Acme\\acme.exe")) << refusal.Text();
}

// What another maker's printer that stays needs by its maker's name: the maker's keys and INI file. The family's
// printer Labels stays too, and keeps nothing of the family's by the maker's name.
TEST_F(Keeper, TheMakerOfAStayingPrintersDriver) {
    for (simwin::PrinterDriver& d : m->spooler.drivers) {
        const bool acme = d.name == "Acme Plotter Driver";
        d.provider = acme ? "Acme" : d.name == "Microsoft PS Class Driver" ? "Microsoft" : "Vestral";
        // Its copy for the clients of a share calls its maker by a name of Windows's own key below Software.
        d.manufacturer = !acme ? d.provider : d.environment == "Windows x64" ? "Acme Imaging" : "Microsoft";
    }
    Learn();
    ExpectKeys(keeper, {
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Acme", "staying-printer"},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\ACME\\Plotter\\Settings", "staying-printer"},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Wow6432Node\\Acme Imaging", "staying-printer"},
        {HKEY_CURRENT_USER, "Software\\Acme", "staying-printer"},
        {HKEY_CURRENT_USER, "Software\\Wow6432Node\\acme imaging\\Plotter", "staying-printer"},
        {HKEY_USERS, "S-1-5-21-1\\Software\\Acme", "staying-printer"},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\AcmeTools", ""},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\VESTRAL", ""},
        {HKEY_CURRENT_USER, "Software\\Vestral\\KORUN04", ""},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vestral", ""},
    });
    Expect("staying-printer", keeper.IniLine("acme.ini", "Settings", "Port"), "acme.ini");
    Expect("staying-printer", keeper.IniLine("C:\\Windows\\ACME IMAGING.INI", "Plotter", "Pens"), "ACME IMAGING.INI");
    Expect("", keeper.IniLine("vestral.ini", "Settings", "Port"), "vestral.ini");
    Expect("staying-printer", keeper.File("C:\\Windows\\acme.ini"), "the file acme.ini");
    Expect("", keeper.File("C:\\Windows\\vestral.ini"), "the file vestral.ini");
    const CRefusal refusal = keeper.RegistryKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Acme", true);
    EXPECT_EQ("the key of Acme, the maker of the driver of Acme Plotter, a printer that stays", refusal.why);
}

// The 9x class keeps its device tree below HKEY_LOCAL_MACHINE; the NT family has none there.
TEST(KeeperOn9x, TheDeviceTree) {
    const struct {
        const char* key;
        const char *on9x, *onNt;
    } rows[] = {
        {"Enum", "windows-key", "windows-key"},  // a key directly below HKEY_LOCAL_MACHINE either way
        {"Enum\\Root\\Printer\\0000", "windows-key", ""},
        {"ENUM\\LPTENUM\\VESTRALX\\0", "windows-key", ""},
        {"SOFTWARE\\VESTRAL\\Enum", "", ""},
    };
    for (const char* platform : {"9x", "nt"}) {
        auto m = testmachine::Load(std::string("[system]\nplatform = ") + platform + "\n");
        simwin::MachineScope scope(*m);
        CUninstallDatabase database;
        COSVersion os;
        CTextList direct, search;
        CKeeper keeper;
        keeper.Learn(database, os, direct, search);
        for (const auto& row : rows)
            Expect(platform[0] == '9' ? row.on9x : row.onNt, keeper.RegistryKey(HKEY_LOCAL_MACHINE, row.key, true),
                   std::string(platform) + " " + row.key);
    }
}

}  // namespace
