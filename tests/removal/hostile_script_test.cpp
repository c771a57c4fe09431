// Hostile scripts, run whole: the tool removes the family's printer "Office" unattended while its script
// names, besides the family's own items, what Windows or the printers that stay need. One table per kind of
// item, a row per attack (the target stays) and per item of the family (it goes); each kind is one run of
// the tool on tests/support/keeper_machine.h, checked on the machine afterwards and in the log.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "support/keeper_machine.h"
#include "support/tool_run.h"

namespace {

using simwin::iequals;

enum Kind { FILE_, FOLDER, KEY, VALUE, SERVICE, MONITOR, PROCESSOR, DRIVER, DEVICE, INI_LINE };

struct Target {
    Kind kind;
    std::string what;   // a path, a key, a name; a value as KEY|VALUE, a driver as NAME|ENVIRONMENT, an INI line as FILE|LINE
    bool stays;         // an attack's target stays; the family's item goes
};

struct Attack {
    std::string item;  // the script line (or, for OEM paths, the value of the family's OEMPaths key)
    Target target;
};

bool Present(const simwin::Machine& m, const Target& t) {
    const size_t bar = t.what.find('|');
    const std::string first = t.what.substr(0, bar), second = bar == std::string::npos ? "" : t.what.substr(bar + 1);
    switch (t.kind) {
    case FILE_:
    case FOLDER: return m.files.find(t.what) != nullptr;
    case KEY: return m.registry.find(t.what) != nullptr;
    case VALUE: return m.registry.value(first, second) != nullptr;
    case SERVICE: {
        const simwin::Service* s = m.services.find(t.what);
        return s && !s->deleted && !s->markedForDelete;
    }
    case MONITOR:
    case PROCESSOR:
        for (const simwin::SpoolerComponent& c : t.kind == MONITOR ? m.spooler.monitors : m.spooler.processors)
            if (iequals(c.name, t.what)) return true;
        return false;
    case DRIVER:
        for (const simwin::PrinterDriver& d : m.spooler.drivers)
            if (iequals(d.name, first) && iequals(d.environment, second)) return true;
        return false;
    case DEVICE: return const_cast<simwin::Machine&>(m).devices.findInstance(t.what) != nullptr;
    case INI_LINE: {  // FILE|SECTION|KEY, read as Windows reads it
        const size_t bar2 = second.find('|');
        char value[64] = "";
        return GetPrivateProfileStringA(second.substr(0, bar2).c_str(), second.substr(bar2 + 1).c_str(), "", value,
                                        sizeof value, first.c_str()) > 0;
    }
    }
    return false;
}

class HostileScript : public ::testing::Test {
protected:
    // Runs the tool with a script whose profile for "Vestral Y Driver" holds the attacks in one category
    // (extraStarters: more starter lines), and checks every target. Returns the log.
    std::string Run(const char* category, const std::vector<Attack>& attacks, const std::string& extraStarters = "",
                    const std::string& moreMachine = "") {
        std::string script = "[UnPrinterDrivers]\r\n\"Vestral Y Driver\",VYDRV,1\r\n" + extraStarters;
        script += std::string("[VYDRV.") + category + "]\r\n";
        for (const Attack& a : attacks) script += a.item + "\r\n";
        auto files = keepertest::Files();
        for (const auto& f : extraContent) files[f.first] = f.second;
        files["C/Windows/System32/spool/drivers/x64/Kunz__04.unm"] = script;
        m = testmachine::Load(std::string(keepertest::kMachine) + moreMachine, files, keepertest::kRegistry + extraRegistry);
        simwin::MachineScope scope(*m);
        for (const std::string& f : extraFiles) {
            m->files.makeDirectories(f.substr(0, f.find_last_of('\\')));
            m->files.writeFile(f, "");
        }
        for (const Attack& a : attacks) EXPECT_TRUE(Present(*m, a.target)) << "before the run: " << a.target.what;
        const int exitCode = toolrun::Run(*m, "/QUIET /SELECT:\"Office\"");
        // Done, with a restart when a service that runs could only be marked for deletion.
        EXPECT_TRUE(exitCode == 0 || exitCode == 3010) << exitCode << "\n" << m->files.read(toolrun::kDefaultLog);
        for (const Attack& a : attacks)
            EXPECT_EQ(a.target.stays, Present(*m, a.target)) << a.item << " -> " << a.target.what << "\n" << m->files.read(toolrun::kDefaultLog);
        return m->files.read(toolrun::kDefaultLog);
    }

    std::unique_ptr<simwin::Machine> m;
    std::string extraRegistry;
    std::vector<std::string> extraFiles;
    std::map<std::string, std::string> extraContent;  // more files of drive C:, by machine-directory path
};

const std::string kDrivers = "C:\\Windows\\System32\\spool\\drivers\\";

TEST_F(HostileScript, Files) {
    const std::string log = Run("Files", {
        {"kernel32.dll", {FILE_, "C:\\Windows\\System32\\kernel32.dll", true}},
        {"ntprint.inf", {FILE_, "C:\\Windows\\INF\\ntprint.inf", true}},
        {"oem7.inf", {FILE_, "C:\\Windows\\INF\\oem7.inf", true}},
        {"acmedrv.dll", {FILE_, kDrivers + "W32X86\\acmedrv.dll", true}},
        {"acmecore.dll", {FILE_, kDrivers + "x64\\acmecore.dll", true}},
        {"vcommon.dll", {FILE_, kDrivers + "x64\\vcommon.dll", true}},
        {"acmemon.dll", {FILE_, "C:\\Windows\\System32\\acmemon.dll", true}},
        {"acmeproc.dll", {FILE_, "C:\\Windows\\System32\\spool\\prtprocs\\x64\\acmeproc.dll", true}},
        {"v*.dll", {FILE_, kDrivers + "x64\\vxdrv.dll", true}},
        {"vydrv.dll", {FILE_, kDrivers + "x64\\vydrv.dll", false}},
        {"vyui.dll", {FILE_, kDrivers + "x64\\vyui.dll", false}},
        {"vstmon.dll", {FILE_, "C:\\Windows\\System32\\vstmon.dll", false}},
        {"vxproc.dll", {FILE_, "C:\\Windows\\System32\\spool\\prtprocs\\x64\\vxproc.dll", false}},
    });
    EXPECT_NE(std::string::npos, log.find("kernel32.dll | refused (windows-file: Windows protects it)"));
}

TEST_F(HostileScript, OemPaths) {
    // The family's OEM directories are the registry's; the script lists the names to delete in them.
    for (const char* folder : {"C:\\Users\\Admin\\Favorites\\Links", "C:\\Program Files\\Vestral\\Old\\Empty"})
        extraFiles.push_back(std::string(folder) + "\\vxlog.txt");
    extraRegistry =
        "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\VESTRAL\\OEM04\\OEMPaths]\n\"2\"=\"C:\\\\Users\\\\Admin\"\n"
        "\"3\"=\"\\\\\\\\?\\\\C:\\\\Windows\"\n\"4\"=\"C:\\\\PROGRA~1\"\n\"5\"=\"C:\\\\Windows\\\\System32\\\\..\"\n";
    Run("Files", {
        {"vxlog.txt", {FOLDER, "C:\\Users\\Admin\\Favorites\\Links", true}},       // inside a profile: refused
        {"notepad.exe", {FILE_, "C:\\Windows\\notepad.exe", true}},                 // via C:\Windows, refused
        {"desktop.ini", {FOLDER, "C:\\Program Files\\Acme", true}},                 // via PROGRA~1, refused
        {"vststat.exe", {FOLDER, "C:\\Program Files\\Vestral\\Old", false}},        // the family's folder: emptied
    });
}

TEST_F(HostileScript, RegistryKeysAndValues) {
    const std::string log = Run("RegistryKeys", {
        {"HKLM,\"SYSTEM\\CurrentControlSet\\Services\\AcmeSvc\",\"\",1",
         {KEY, "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64\\Print Processors\\AcmeProc", true}},
        {"HKLM,\"SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64\\Print Processors\\AcmeProc\",\"\",1",
         {KEY, "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64\\Print Processors\\AcmeProc", true}},
        {"HKLM,\"SYSTEM\\ControlSet001\\Enum\\USBPRINT\",\"\",1",
         {KEY, "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\USBPRINT\\ACMEPLOTTER\\7&2\\Device Parameters", true}},
        {"HKCR,\".txt\",\"\",1", {KEY, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.txt", true}},
        {"HKLM,\"SOFTWARE\\Classes\\CLSID\\{20D04FE0-3AEA-1069-A2D8-08002B30309D}\",\"\",1",
         {KEY, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{20D04FE0-3AEA-1069-A2D8-08002B30309D}", true}},
        {"HKLM,\"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\",\"AcmeTray\"",
         {VALUE, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run|AcmeTray", true}},
        {"HKLM,\"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\",\"VstMonitor\"",
         {VALUE, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run|VstMonitor", false}},
        {"HKLM,\"SOFTWARE\\Classes\\.vxd\",\"\",1", {KEY, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.vxd", false}},
        {"HKLM,\"SOFTWARE\\Classes\\Vestral.Document\",\"\",1",
         {KEY, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Vestral.Document", false}},
        {"HKLM,\"SOFTWARE\\Classes\\CLSID\\{0E4BA7FE-1111-2222-3333-444455556666}\",\"\",1",
         {KEY, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{0E4BA7FE-1111-2222-3333-444455556666}", false}},
    });
    EXPECT_NE(std::string::npos, log.find("| refused (points-elsewhere: "));
}

TEST_F(HostileScript, ServicesMonitorsAndProcessors) {
    Run("Services", {
        {"AcmeSvc", {SERVICE, "AcmeSvc", true}},
        {"VstFilter", {SERVICE, "VstFilter", true}},
        {"VstShared", {SERVICE, "VstShared", true}},
        {"VstNoBinary", {SERVICE, "VstNoBinary", true}},
        {"spooler", {SERVICE, "Spooler", true}},
        {"VstStatus04", {SERVICE, "VstStatus04", false}},
    });
    Run("Monitors", {
        {"Acme Port Monitor", {MONITOR, "Acme Port Monitor", true}},
        {"Local Port", {MONITOR, "Local Port", true}},
        {"Vestral Port Monitor", {MONITOR, "Vestral Port Monitor", false}},
    });
    Run("PrintProcessors", {
        {"AcmeProc", {PROCESSOR, "AcmeProc", true}},
        {"WinPrint", {PROCESSOR, "WinPrint", true}},
        {"VxProc", {PROCESSOR, "VxProc", false}},
    });
    EXPECT_EQ("AcmeProc", m->spooler.find("Acme Plotter")->processor);  // not switched to WinPrint
}

TEST_F(HostileScript, DriversAndTheirInfFiles) {
    // Starter entries naming other makers' and Windows's drivers.
    Run("Files", {
        {"vydrv.dll", {DRIVER, "Vestral Y Driver|Windows x64", false}},
        {"vyui.dll", {DRIVER, "Vestral Y Driver|Windows NT x86", false}},
        {"vxdrv.dll", {DRIVER, "Vestral X Driver|Windows x64", true}},
        {"acmedrv.dll", {DRIVER, "Acme Plotter Driver|Windows NT x86", true}},
        {"pscript5.dll", {DRIVER, "Microsoft PS Class Driver|Windows x64", true}},
        {"oem7.inf", {FILE_, "C:\\Windows\\INF\\oem7.inf", true}},
        {"oem8.inf", {FILE_, "C:\\Windows\\INF\\oem8.inf", true}},
        {"oem5.pnf", {FILE_, "C:\\Windows\\INF\\oem5.inf", false}},
    }, "\"Acme Plotter Driver\",ACME,2\r\n\"Microsoft PS Class Driver\",MSPS,3\r\n\"Vestral X Driver\",VX,4\r\n");
}

TEST_F(HostileScript, IniLines) {
    extraContent["C/Windows/win.ini"] =
        "[windows]\r\nload=acme.exe\r\n[Devices]\r\nAcme USB=winspool,USB002\r\nOffice=winspool,VSTUSB001:\r\n"
        "[Vestral]\r\nVersion=4\r\n";
    extraContent["C/Windows/system.ini"] = "[boot]\r\nshell=Explorer.exe\r\n";
    extraContent["C/Windows/vestral.ini"] = "[Settings]\r\nPort=VSTUSB001:\r\n";
    Run("DeleteIni", {
        {"win.ini,windows,load", {INI_LINE, "C:\\Windows\\win.ini|windows|load", true}},
        {"win.ini,Devices,Acme USB", {INI_LINE, "C:\\Windows\\win.ini|Devices|Acme USB", true}},
        {"system.ini,boot,shell", {INI_LINE, "C:\\Windows\\system.ini|boot|shell", true}},
        {"win.ini,Vestral,Version", {INI_LINE, "C:\\Windows\\win.ini|Vestral|Version", false}},
        {"C:\\Somewhere\\vestral.ini,Settings,Port", {INI_LINE, "C:\\Windows\\vestral.ini|Settings|Port", false}},
    });
}

TEST_F(HostileScript, StartUpEntriesAndShortcuts) {
    Run("DeleteLoadRun", {
        {"AcmeTray,tray.exe", {VALUE, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run|AcmeTray", true}},
        {"Control,control.exe", {VALUE, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run|Control", true}},
        {"VstMonitor,vstmon.exe", {VALUE, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run|VstMonitor", false}},
    });
    const std::string programs = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\";
    for (const char* f : {"Accessories\\Notepad.lnk", "Startup\\Acme.lnk", "Vestral Printers\\Status Monitor.lnk"})
        extraFiles.push_back(programs + f);
    Run("Shortcuts", {
        {"Accessories,Notepad", {FILE_, programs + "Accessories\\Notepad.lnk", true}},
        {"..\\Programs\\Startup,Acme", {FILE_, programs + "Startup\\Acme.lnk", true}},
        {"Startup", {FOLDER, programs + "Startup", true}},
        {"Vestral Printers,Status Monitor", {FILE_, programs + "Vestral Printers\\Status Monitor.lnk", false}},
    });
}

}  // namespace
