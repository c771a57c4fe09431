// The removal log of whole runs: every outcome appears where the machine provokes it, and the lines agree
// with what the run changed on the machine; a log that cannot be written changes nothing of the run.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "simwin/pending_renames.h"
#include "support/temp_machine.h"
#include "support/tool_run.h"

namespace {

namespace fs = std::filesystem;
using toolrun::Items;
using toolrun::Line;

const std::string kDrivers = "C:\\Windows\\System32\\spool\\drivers\\x64\\";

const char kScript[] =
    "[UnPrinterDrivers]\r\n\"Vestral X Driver\",VXDRV,1\r\n\"Vestral L Driver\",VLDRV,2\r\n"
    "[VXDRV.Files]\r\nvxdrv.dll\r\nvxbusy.dll\r\nvxmissing.dll\r\nshared.dll\r\nvxhook.dll\r\n"
    "[VXDRV.Monitors]\r\nVestral Port\r\nVestral Busy Port\r\nLocal Port\r\n"
    "[VXDRV.Services]\r\nVxSvc\r\nVxGone\r\nVxNever\r\nSpooler\r\n"
    "[VXDRV.Hooks]\r\nvxhook.dll,VxUninstall\r\n"
    "[VXDRV.RegistryKeys]\r\nHKLM,\"SOFTWARE\\VESTRAL\\VX\",\"\",1\r\nHKLM,\"SOFTWARE\\VESTRAL\\Gone\",\"\",1\r\n"
    "HKLM,\"SOFTWARE\\Microsoft\",\"\",1\r\n"
    "[VLDRV.Files]\r\nshared.dll\r\nvldrv.dll\r\n";

// Office goes (two queued jobs, a locked file, a monitor in use, a running service); Home stays and keeps
// what its driver shares with Office's; Plotter is another maker's.
const char kMachine[] =
    "[system]\nplatform = nt\n"
    "[printer]\nname = Office\ndriver = Vestral X Driver\nport = LPT1:\ndefault = yes\njobs = 2\ndata.VestralDriver04 = 1\n"
    "[printer]\nname = Home\ndriver = Vestral L Driver\nport = LPT2:\ndata.VestralDriver04 = 1\n"
    "[printer]\nname = Plotter\ndriver = Acme Plotter\nport = LPT3:\n"
    "[driver]\nname = Vestral X Driver\n[driver]\nname = Vestral L Driver\n[driver]\nname = Acme Plotter\n"
    "[service]\nname = VxSvc\nstate = running\nbinary = C:\\Program Files\\Vestral\\vxsvc.exe\n"
    "[service]\nname = VxGone\nstate = stopped\nbinary = C:\\Program Files\\Vestral\\vxgone.exe\n"
    "[monitor]\nname = Vestral Port\n[monitor]\nname = Vestral Busy Port\ninuse = yes\n"
    "[library]\npath = C:\\Windows\\System32\\spool\\drivers\\x64\\vxhook.dll\nexport = VxUninstall\n"
    "[file]\npath = C:\\Windows\\System32\\spool\\drivers\\x64\\vxbusy.dll\nlocked = yes\n";

class RemovalLog : public ::testing::Test {
protected:
    void SetUp() override { Load(kMachine); }
    void Load(const std::string& ini) {
        scope.reset();
        std::map<std::string, std::string> files;
        for (const char* name : {"vxdrv.dll", "vxbusy.dll", "shared.dll", "vldrv.dll", "vxhook.dll"})
            files["C/Windows/System32/spool/drivers/x64/" + std::string(name)] = "MZ";
        files["C/Windows/System32/spool/drivers/x64/Kunz__04.unm"] = kScript;
        m = testmachine::Load(ini, files);
        scope = std::make_unique<simwin::MachineScope>(*m);
        m->registry.create("HKEY_LOCAL_MACHINE\\SOFTWARE\\VESTRAL\\VX\\Sub");
        m->registry.create("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run");
    }
    // The files of the machine, by path, as a save writes them.
    std::set<std::string> Files() {
        testmachine::TempDir dir;
        m->save(dir.path.string());
        std::set<std::string> files;
        for (auto& entry : testmachine::Snapshot(dir.path / "drive"))
            if (entry.second != "<dir>") files.insert(entry.first);
        return files;
    }
    static std::string AsDrivePath(const std::string& windowsPath) {
        std::string p = windowsPath.substr(0, 1) + windowsPath.substr(2);  // "C:\a\b" -> "C\a\b"
        std::replace(p.begin(), p.end(), '\\', '/');
        return p;
    }
    std::vector<Line> Log(const std::string& path = toolrun::kDefaultLog) { return toolrun::Lines(m->files.read(path)); }

    std::unique_ptr<simwin::Machine> m;
    std::unique_ptr<simwin::MachineScope> scope;
};

TEST_F(RemovalLog, EveryOutcomeAppearsWhereTheMachineProvokesIt) {
    EXPECT_EQ(3010, toolrun::Run(*m, "/QUIET /SELECT:\"Office\""));
    std::vector<Line> lines = Log();
    auto has = [&](const std::string& kind, const std::string& item, const std::string& outcome) {
        for (const Line& l : lines)
            if (l.IsItem() && l.Kind() == kind && l.Item() == item && l.Outcome() == outcome) return true;
        ADD_FAILURE() << kind << " | " << item << " | " << outcome << " is not in the log:\n" << m->files.read(toolrun::kDefaultLog);
        return false;
    };
    has("printer", "Office", "removed");
    has("printer", "Home", "kept (not chosen)");
    has("job", "Office, job 1", "removed");
    has("job", "Office, job 2", "removed");
    has("driver", "Vestral X Driver (local environment)", "removed");
    has("file", kDrivers + "vxdrv.dll", "removed");
    has("file", "vxmissing.dll", "not there");
    has("file", kDrivers + "vxbusy.dll", "scheduled for restart (MoveFileExA), error 32");
    has("file", "shared.dll", "kept (needed by a printer that stays)");
    has("monitor", "Vestral Port", "removed");
    has("monitor", "Vestral Busy Port", "failed, error 3008");
    has("monitor", "Local Port", "refused (windows-printing: a port monitor of Windows)");
    has("service", "VxGone", "removed");
    has("service", "VxSvc", "scheduled for restart (marked for deletion)");
    has("service", "VxNever", "not there");
    has("service", "Spooler", "refused (service: Windows needs the service)");
    has("hook", kDrivers + "vxhook.dll,VxUninstall", "called");
    has("registry key", "HKEY_LOCAL_MACHINE\\SOFTWARE\\VESTRAL\\VX", "removed (with its subkeys)");
    has("registry key", "HKEY_LOCAL_MACHINE\\SOFTWARE\\VESTRAL\\Gone", "not there");
    has("registry key", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft", "refused (windows-key: Windows needs it or a key below it)");
    // The stage of each line is the stage that handled it.
    for (const Line& l : lines) {
        if (!l.IsItem()) continue;
        if (l.Kind() == "printer" || l.Kind() == "job") {
            EXPECT_EQ("stage 3", l.place) << l.text;
        } else if (l.Kind() == "monitor" || l.Kind() == "hook") {
            EXPECT_EQ("stage 5", l.place) << l.text;
        } else if (l.Kind() == "service") {
            EXPECT_EQ("stage 7", l.place) << l.text;
        }
    }
    // The counts at the end are those of the lines.
    std::map<std::string, int> counted;
    for (const Line& l : lines) {
        if (!l.IsItem()) continue;
        std::string word = l.Outcome().substr(0, l.Outcome().find_first_of("(,"));
        word = word.substr(0, word.find_last_not_of(' ') + 1);
        ++counted[word == "scheduled for restart" ? "scheduled" : word];
    }
    std::string summary;
    for (const Line& l : lines)
        if (l.place == "done") summary = l.text;
    for (const char* word : {"removed", "not there", "scheduled", "failed", "refused", "kept", "called"})
        EXPECT_NE(std::string::npos, summary.find(std::string(word) + " " + std::to_string(counted[word]))) << word << ": " << summary;
    EXPECT_NE(std::string::npos, summary.find("called 1 | restart needed")) << summary;
}

// "Failed" is an item that should have gone and stayed. What stays rightly is kept, what is not there to
// call is not there, a row per case, and each item has one line with how it ended.
TEST(RemovalLogOutcomes, WhatStaysRightlyIsNoFailure) {
    struct Case {
        const char* what;
        const char* script;  // VXDRV's sections
        const char* machine;
        const char* kind;
        const char* item;
        const char* outcome;
    };
    const Case cases[] = {
        {"a key asked for alone that still has subkeys", "[VXDRV.RegistryKeys]\r\nHKLM,\"SOFTWARE\\VESTRAL\",\"\",0\r\n", "",
         "registry key", "HKEY_LOCAL_MACHINE\\SOFTWARE\\VESTRAL", "kept (it still has subkeys)"},
        {"the same key, then with its subkeys", "[VXDRV.RegistryKeys]\r\nHKLM,\"SOFTWARE\\VESTRAL\",\"\",0\r\n"
                                                "HKLM,\"SOFTWARE\\VESTRAL\",\"\",1\r\n", "",
         "registry key", "HKEY_LOCAL_MACHINE\\SOFTWARE\\VESTRAL", "removed (with its subkeys)"},
        {"a hook library that does not load", "[VXDRV.Hooks]\r\nbroken.dll,Go\r\n", "",
         "hook", "C:\\Windows\\System32\\spool\\drivers\\x64\\broken.dll,Go", "not there (the library does not load), error 126"},
        {"a hook library that is missing", "[VXDRV.Hooks]\r\nnowhere.dll,Go\r\n", "",
         "hook", "C:\\Windows\\System32\\spool\\drivers\\x64\\nowhere.dll,Go", "not there"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<simwin::Machine> m = testmachine::Load(
            std::string("[system]\nplatform = nt\n[printer]\nname = Office\ndriver = Vestral X Driver\nport = LPT1:\n"
                        "data.VestralDriver04 = 1\n[driver]\nname = Vestral X Driver\n") + c.machine,
            {{"C/Windows/System32/spool/drivers/x64/Kunz__04.unm",
              std::string("[UnPrinterDrivers]\r\n\"Vestral X Driver\",VXDRV,1\r\n") + c.script},
             {"C/Windows/System32/spool/drivers/x64/broken.dll", "not a library"}});
        simwin::MachineScope scope(*m);
        m->registry.create("HKEY_LOCAL_MACHINE\\SOFTWARE\\VESTRAL\\Other product");
        toolrun::Run(*m, "/QUIET /SELECT:ALL");
        const std::string log = m->files.read(toolrun::kDefaultLog);
        std::vector<std::string> outcomes;
        for (const Line& l : toolrun::Lines(log))
            if (l.IsItem() && l.Kind() == c.kind && l.Item() == c.item) outcomes.push_back(l.Outcome());
        EXPECT_EQ(std::vector<std::string>{c.outcome}, outcomes) << log;
        EXPECT_NE(std::string::npos, log.find(", failed 0, refused 0,")) << log;
    }
}

// What the log says was removed is what left the machine, and what it says was not there was not there.
TEST_F(RemovalLog, TheLinesMatchWhatTheRunChanged) {
    const std::set<std::string> before = Files();
    std::set<std::string> printersBefore;
    for (const auto& p : m->spooler.printers) printersBefore.insert(p.name);
    toolrun::Run(*m, "/QUIET /SELECT:\"Office\"");
    const std::set<std::string> after = Files();
    std::vector<Line> lines = Log();

    std::set<std::string> gone, logged;
    for (const std::string& f : before)
        if (!after.count(f)) gone.insert(f);
    for (const std::string& f : Items(lines, "file", "removed")) logged.insert(AsDrivePath(f));
    EXPECT_EQ(gone, logged);

    std::set<std::string> scheduled, pending;
    for (const std::string& f : Items(lines, "file", "scheduled")) scheduled.insert(f);
    for (const auto& r : simwin::pendingRenames(m->registry)) pending.insert(r.from);
    EXPECT_EQ(pending, scheduled);

    std::set<std::string> printersGone, printersLogged;
    for (const std::string& name : printersBefore) {
        HANDLE h = NULL;
        if (!OpenPrinterA(const_cast<LPSTR>(name.c_str()), &h, NULL))
            printersGone.insert(name);
        else
            ClosePrinter(h);
    }
    for (const std::string& p : Items(lines, "printer", "removed")) printersLogged.insert(p);
    EXPECT_EQ(printersGone, printersLogged);

    for (const std::string& key : Items(lines, "registry key", "removed")) EXPECT_EQ(nullptr, m->registry.find(key)) << key;
    for (const std::string& key : Items(lines, "registry key", "refused")) EXPECT_NE(nullptr, m->registry.find(key)) << key;
    for (const std::string& name : Items(lines, "service", "removed")) EXPECT_EQ(nullptr, m->services.find(name)) << name;
    for (const std::string& name : Items(lines, "service", "scheduled")) EXPECT_NE(nullptr, m->services.find(name)) << name;
    for (const std::string& path : Items(lines, "file", "scheduled"))
        EXPECT_TRUE(after.count(AsDrivePath(path))) << path;  // still there until the restart
}

TEST_F(RemovalLog, TheLoadingPhaseLogsScriptsPrintersAndMessageBoxes) {
    toolrun::Run(*m, "/QUIET /SELECT:\"Office\"");
    std::vector<Line> lines = Log();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ("====", lines[0].place);
    EXPECT_EQ("==== korun04 2025-03-03 09:00:00 PC01 | \"C:\\Program Files\\Vestral\\korun04.exe\" /QUIET /SELECT:\"Office\" | "
              "platform WinNT, version class 8",
              lines[0].text);
    EXPECT_TRUE(toolrun::Has(lines, "loading", "script | " + kDrivers + "Kunz__04.unm | read"));
    EXPECT_TRUE(toolrun::Has(lines, "loading", "printer | Office | driver \"Vestral X Driver\", of the family, the default printer | listed"));
    EXPECT_TRUE(toolrun::Has(lines, "loading", "printer | Plotter | driver \"Acme Plotter\" | not of the family: never listed"));
    EXPECT_TRUE(toolrun::Has(lines, "stage 0", "removing \"Office\"; staying: \"Home\""));
    // The default printer went: the box that says which printer is the default now, answered OK unseen.
    EXPECT_TRUE(toolrun::Has(lines, "message box", "'Plotter' が新たに通常使用するプリンタに設定されました。\" -> OK (not shown)"));
    EXPECT_TRUE(toolrun::Has(lines, "message box", "今、再起動しますか？\" -> No (not shown)"));
    EXPECT_EQ(0u, m->transcript.count("message box"));
    EXPECT_TRUE(toolrun::Has(lines, "end", "exit code 3010 (done, a restart is needed)"));
}

TEST_F(RemovalLog, AFailedEnumerationIsLoggedAndTheQuietRunRemovesNothing) {
    // Every EnumPrintersA fails after naming a size: both loading passes fail with the "EnumPrinters" record.
    Load(std::string(kMachine) + "[spoolerfault]\nfunction = EnumPrintersA\ncall = 0\nerror = 1784\nneeded = 500\n");
    const std::set<std::string> before = Files();
    EXPECT_EQ(1603, toolrun::Run(*m, "/QUIET /SELECT:ALL"));
    std::vector<Line> lines = Log();
    EXPECT_TRUE(toolrun::Has(lines, "loading",
                             "the printer enumeration failed: CLoadingDlg::BuildListOfInstalledPrinters failed \\n"
                             "Function: EnumPrinters \\nLast Error Code: 1784 \\nDesc: failed to enum printers"))
        << m->files.read(toolrun::kDefaultLog);
    EXPECT_TRUE(toolrun::Has(lines, "run", "the printer enumeration failed: without the whole list nothing is decided"));
    EXPECT_TRUE(toolrun::Items(lines, "printer", "removed").empty());
    std::set<std::string> after = Files();
    after.erase(AsDrivePath(toolrun::kDefaultLog));
    EXPECT_EQ(before, after);
    EXPECT_EQ(3u, m->spooler.printers.size());
}

// The log observes: an interactive run whose log cannot be opened anywhere shows and does exactly what a
// logged run does.
TEST_F(RemovalLog, ALogThatCannotBeWrittenChangesNothingOfTheRun) {
    struct Result {
        std::vector<std::string> transcript;
        std::map<std::string, std::string> saved;
        std::string log;
    };
    auto run = [&](const char* locked) {
        Load(std::string(kMachine) + "[file]\npath = C:\\Users\\Admin\\AppData\\Local\\Temp\\" + locked +
             "\nlocked = yes\n");
        simwin::UserAction select;
        select.kind = simwin::UserAction::Select;
        select.items = {"Office"};
        simwin::UserAction press;
        press.kind = simwin::UserAction::Press;
        press.target = std::to_string(IDC_UNINSTALL);
        m->windows.user.actions = {select, press};
        m->windows.user.answers = {false};
        EXPECT_EQ(1, toolrun::Run(*m, ""));
        Result r;
        r.transcript = m->transcript.lines;
        r.log = m->files.exists(toolrun::kDefaultLog) ? m->files.read(toolrun::kDefaultLog) : "";
        testmachine::TempDir dir;
        m->save(dir.path.string());
        r.saved = testmachine::Snapshot(dir.path);
        // What differs by construction: which file of the temporary directory was held open.
        for (const char* name : {"korun04.log", "korun04.lck"}) r.saved.erase("drive/C/Users/Admin/AppData/Local/Temp/" + std::string(name));
        std::string& ini = r.saved["machine.ini"];
        size_t at = ini.find(locked);
        if (at != std::string::npos) ini.replace(at, std::string(locked).size(), "(held)");
        // The run's event says where its log is, or that there is none.
        const size_t log = ini.find("string = Log: ");
        if (log != std::string::npos) ini.replace(log, ini.find('\n', log) - log, "string = Log: (where it is)");
        return r;
    };
    Result logged = run("korun04.lck");
    Result unlogged = run("korun04.log");
    EXPECT_NE("", logged.log);
    EXPECT_EQ("", unlogged.log);  // the locked file was never written
    EXPECT_EQ(logged.transcript, unlogged.transcript);
    EXPECT_EQ(logged.saved, unlogged.saved);
    // A run that asked its question, the same in both.
    EXPECT_TRUE(std::any_of(logged.transcript.begin(), logged.transcript.end(), [](const std::string& line) {
        return line.rfind("message box ", 0) == 0 && line.find("今、再起動しますか？\" -> No") != std::string::npos;
    }));
}

// The printer stage's other items: the printer's class key, its per-user values, a connection, the USB
// device nodes the script's [Strings] name (read from the script beside the tool).
TEST(RemovalLogPrinters, ConnectionsClassKeysValuesAndDeviceNodesHaveTheirLines) {
    std::unique_ptr<simwin::Machine> m = testmachine::Load(
        "[system]\nplatform = nt\n[driver]\nname = Vestral X Driver\n"
        "[printer]\nname = Office\ndriver = Vestral X Driver\nport = USB001\ndata.VestralDriver04 = 1\n"
        "data.UniqueID = {0E4BA7FE-1111}\n"
        "[printer]\nname = Remote\ndriver = Vestral X Driver\nserver = \\\\SRV\ndata.VestralDriver04 = 1\n"
        "[device]\ninstance = USB\\VID_0ABC&PID_0012\\5&1\nhardware = USB\\VID_0ABC&PID_0012&REV_0100\n"
        "[device]\ninstance = USBPRINT\\VestralX\\6&2\nhardware = USBPRINT\\VestralX1234\nparent = USB\\VID_0ABC&PID_0012\\5&1\n",
        {{"C/Program Files/Vestral/Kunz__04.unm",
          "[UnPrinterDrivers]\r\n\"Vestral X Driver\",VXDRV,1\r\n"
          "[Strings]\r\nHARDWARE_ID_1=USBPRINT\\VestralX\r\nUSB_VID=0x0ABC\r\nUSB_PID=0x0012\r\n"}});
    simwin::MachineScope scope(*m);
    m->registry.create("HKEY_CLASSES_ROOT\\{0E4BA7FE-1111}\\Sub");
    m->registry.setString("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Devices", "Office", "winspool,USB001");
    EXPECT_EQ(0, toolrun::Run(*m, "/QUIET /SELECT:ALL"));
    std::vector<Line> lines = toolrun::Lines(m->files.read(toolrun::kDefaultLog));
    auto has = [&](const std::string& kind, const std::string& item, const std::string& outcome) {
        for (const Line& l : lines)
            if (l.IsItem() && l.Kind() == kind && l.Item() == item && l.Outcome() == outcome) return;
        ADD_FAILURE() << kind << " | " << item << " | " << outcome << " is not in the log:\n" << m->files.read(toolrun::kDefaultLog);
    };
    has("printer", "Office", "removed");
    has("printer", "Remote", "removed (connection to \\\\SRV)");
    has("registry key", "HKEY_CLASSES_ROOT\\{0E4BA7FE-1111}", "removed");
    has("registry value", "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Devices\\Office", "removed");
    has("device", "USBPRINT\\VestralX\\6&2", "removed");
    has("device", "USB\\VID_0ABC&PID_0012\\5&1", "removed");
    EXPECT_EQ(nullptr, m->registry.find("HKEY_CLASSES_ROOT\\{0E4BA7FE-1111}"));
}

// A file in use is scheduled by the mechanism of the version class, and the log names it; one that
// cannot be scheduled is a failure with the deletion's error.
TEST(RemovalLogMechanisms, ALockedFileIsScheduledByTheMechanismOfItsClass) {
    struct Case {
        const char* system;
        const char* directory;  // the printer-driver directory of the platform, under drive/
        bool helper;            // nwininit.exe in the program directory
        const char* outcome;
    };
    const Case cases[] = {
        {"platform = nt\n", "C/Windows/System32/spool/drivers/x64/", false, "scheduled for restart (MoveFileExA), error 32"},
        {"platform = 9x\n", "C/WINDOWS/SYSTEM/", false, "scheduled for restart (WININIT.INI), error 32"},
        {"platform = nt\nversion = 3.51\n", "C/Windows/System32/spool/drivers/x64/", true,
         "scheduled for restart (nwininit.ini), error 32"},
        {"platform = nt\nversion = 3.51\n", "C/Windows/System32/spool/drivers/x64/", false,
         "failed (no nwininit.exe to schedule it for the restart), error 32"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.system) + (c.helper ? " with nwininit.exe" : ""));
        const std::string busy = std::string(c.directory) + "vxbusy.dll";
        std::string windowsPath = "C:\\" + busy.substr(2);
        std::replace(windowsPath.begin(), windowsPath.end(), '/', '\\');
        std::map<std::string, std::string> files = {
            {std::string(c.directory) + "Kunz__04.unm", "[UnPrinterDrivers]\r\n\"Vestral X Driver\",VXDRV,1\r\n[VXDRV.Files]\r\nvxbusy.dll\r\n"},
            {busy, "MZ"}};
        if (c.helper) files["C/Program Files/Vestral/nwininit.exe"] = "MZ";
        std::unique_ptr<simwin::Machine> m = testmachine::Load(
            std::string("[system]\n") + c.system +
                "[printer]\nname = Office\ndriver = Vestral X Driver\nport = LPT1:\ndata.VestralDriver04 = 1\n"
                "[driver]\nname = Vestral X Driver\n[file]\npath = " + windowsPath + "\nlocked = yes\n",
            files);
        simwin::MachineScope scope(*m);
        toolrun::Run(*m, "/QUIET /SELECT:ALL");
        const std::string log = m->files.read(CRunLog::DefaultPath());
        EXPECT_NE(std::string::npos, log.find("| file | " + windowsPath + " | " + c.outcome)) << log;
    }
}

}  // namespace
