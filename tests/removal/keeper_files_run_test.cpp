// The keeper's folder and component rules, run whole on machines the installers made: the plan of the chosen
// printers is written first, then the same printers are removed unattended. The attacked items stay, their
// refusal is in the log and in the plan with its rule, the family's own items still go, and the plan's
// [refused] section names the items the run refused, no more and no fewer.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "support/built_machine.h"
#include "support/machine_diff.h"
#include "support/refusal_sets.h"
#include "support/tool_run.h"

namespace {

typedef std::set<std::string> Set;

const char kProfileList[] = "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
const char kOemPaths[] = "HKLM\\SOFTWARE\\VESTRAL\\OEM04\\OEMPaths";
const std::string kDrivers = "C:\\Windows\\System32\\spool\\drivers\\x64\\";

// The family's script for "Vestral X Driver", with more starter entries, files and monitors.
std::string Script(const std::string& starters, const std::string& files, const std::string& monitors) {
    return "[UnPrinterDrivers]\r\n\"Vestral X Driver\",VXDRV,1\r\n" + starters +
           "[VXDRV.Files]\r\nvxdrv.dll\r\nvxui.dll\r\nvxres.dat\r\nvcommon.dll\r\n" + files +
           "[VXDRV.Monitors]\r\nVestral Port Monitor\r\n" + monitors + "[VXDRV.PrintProcessors]\r\nVxProc\r\n";
}

class KeeperRun : public ::testing::Test {
protected:
    // The family's installation with its printer "Office".
    built::MachineBuilder& Family() {
        built::presets::Family(b).Printer(built::FamilyPrinter("Office", "VSTUSB001:", "Vestral X Driver", true));
        return b;
    }

    // The plan of the chosen printers, then their removal, unattended.
    void Run(const std::string& select = "/SELECT:\"Office\"") {
        m = b.Take();
        simwin::MachineScope scope(*m);
        EXPECT_EQ(0, toolrun::Run(*m, "/PLAN:\"C:\\plan.ini\" " + select));
        plan = m->files.read("C:\\plan.ini");
        before = machinediff::Capture(*m);
        const int code = toolrun::Run(*m, "/QUIET " + select);
        EXPECT_TRUE(code == 0 || code == 3010) << code;
        diff = machinediff::Compare(before, machinediff::Capture(*m));
        const std::string all = m->files.read(toolrun::kDefaultLog);
        log = all.substr(std::min(all.rfind("\r\n===="), all.size()));  // the removal's run alone
    }

    // The plan refused what the run refused or kept by a rule, and nothing else.
    void ExpectPlanAgreesWithRun() {
        EXPECT_EQ(refusalsets::FromPlan(plan), refusalsets::FromLog(log)) << plan << "\n" << log;
    }

    bool Logged(const std::string& text) const { return log.find(text) != std::string::npos; }
    bool Planned(const std::string& text) const { return plan.find(text) != std::string::npos; }

    built::MachineBuilder b{simwin::Platform::Nt, "10.0"};
    std::unique_ptr<simwin::Machine> m;
    std::string plan, log;
    machinediff::State before;
    machinediff::Diff diff;
};

// Every user's profile and whatever lies below a profile or a known folder is never an OEM folder to empty:
// the ProfileList's profiles, Default and Public, the running user's AppData. The family's own folder goes.
TEST_F(KeeperRun, NoProfileAndNoFolderOfAUserIsEmptied) {
    Family()
        .RegistryValue(kProfileList, "ProfilesDirectory", "%SystemDrive%\\Users")
        .RegistryValue(kProfileList, "Default", "%SystemDrive%\\Users\\Default")
        .RegistryValue(kProfileList, "Public", "%SystemDrive%\\Users\\Public")
        .RegistryValue(std::string(kProfileList) + "\\S-1-5-21-7-1001", "ProfileImagePath", "C:\\Users\\Bob")
        .RegistryValue(std::string(kProfileList) + "\\S-1-5-21-7-1002", "ProfileImagePath", "%SystemDrive%\\Users\\Carol")
        .Script(Script("", "vxlog.txt\r\n", ""));
    const char* const attacked[] = {"C:\\Users\\Bob", "C:\\Users\\Carol\\Documents\\Vestral",
                                    "C:\\Users\\Default\\AppData\\Roaming\\Vestral", "C:\\Users\\Public\\Documents\\Vestral",
                                    "C:\\Users\\Admin\\AppData\\Roaming\\Vestral"};
    int n = 0;
    for (const char* folder : attacked) {
        b.File(std::string(folder) + "\\vxlog.txt", "a user's");
        b.RegistryValue(kOemPaths, std::to_string(++n), folder);
    }
    b.File("C:\\Program Files\\Vestral\\Data\\vxlog.txt", "the family's").RegistryValue(kOemPaths, "9", "C:\\Program Files\\Vestral\\Data");
    Run();
    // The family's folder is emptied and removed: the control.
    EXPECT_TRUE(diff.filesRemoved.count("C:\\Program Files\\Vestral\\Data\\vxlog.txt")) << diff.Describe();
    EXPECT_TRUE(diff.filesRemoved.count("C:\\Program Files\\Vestral\\Data\\")) << diff.Describe();
    for (const char* folder : attacked) {
        EXPECT_FALSE(diff.filesRemoved.count(std::string(folder) + "\\vxlog.txt")) << folder << "\n" << diff.Describe();
        EXPECT_TRUE(Logged(std::string("folder | ") + folder + " | refused (windows-folder: ")) << folder << "\n" << log;
        EXPECT_TRUE(Planned(std::string("oemPaths = ") + folder + " | windows-folder: ")) << folder << "\n" << plan;
    }
    ExpectPlanAgreesWithRun();
}

// An OEM path means one folder for the whole run: once the family's folder inside another maker's one is
// emptied and removed, the same text does not turn into the other maker's folder for the names after it.
TEST_F(KeeperRun, AnOemPathKeepsItsFolderAfterTheFolderWent) {
    Family()
        .File("C:\\Program Files\\Acme\\VstPlugin\\vxlog.txt")
        .File("C:\\Program Files\\Acme\\vxtool.exe", "Acme's")
        .File("C:\\Program Files\\Acme\\acme.exe", "Acme's")
        .RegistryValue(kOemPaths, "1", "C:\\Program Files\\Acme\\VstPlugin")
        .Script(Script("", "vxlog.txt\r\nvxtool.exe\r\n", ""));
    Run();
    EXPECT_TRUE(diff.filesRemoved.count("C:\\Program Files\\Acme\\VstPlugin\\")) << diff.Describe();
    EXPECT_TRUE(diff.filesRemoved.count("C:\\Program Files\\Acme\\VstPlugin\\vxlog.txt")) << diff.Describe();
    EXPECT_FALSE(diff.filesRemoved.count("C:\\Program Files\\Acme\\vxtool.exe")) << diff.Describe();
    EXPECT_FALSE(diff.filesRemoved.count("C:\\Program Files\\Acme\\")) << diff.Describe();
    ExpectPlanAgreesWithRun();
}

// A hostile script names another maker's monitor and driver and a monitor key by a path; another maker's
// PostScript driver is no Pavane driver. The family's driver, monitor and Pavane's PostScript driver go.
TEST_F(KeeperRun, MonitorsAndDriversOfAnotherMakerStay) {
    const std::string monitors = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\";
    Family()
        .Monitor(machinebuilder::MonitorSpec{"Acme Port Monitor", "acmemon.dll", {"ACME1:"}, ""})
        .RegistryKey(monitors + "Acme Port Monitor\\Ports")
        .DriverPackage(built::presets::AcmeLaser())
        .DriverPackage(built::Driver("Acme Office (PSCRIPT)", "acmeps.dll", "Acme"))
        .DriverPackage(built::Driver("Pavane (PSCRIPT)", "pavps.dll"))
        .Script(Script("\"Acme Laser Driver\",ACME,2\r\n[UnPrinterMfgs]\r\n\"Pavane\",PAVANE,3\r\n", "",
                       "Acme Port Monitor\r\nAcme Port Monitor\\Ports\r\n") +
                "[PAVANE.Files]\r\nPAVANE32.EXE\r\n");
    Run();
    EXPECT_EQ((Set{"printer Office", "driver Vestral X Driver (Windows x64)", "driver Pavane (PSCRIPT) (Windows x64)",
                   "monitor Vestral Port Monitor (Windows x64)", "port VSTUSB001:", "processor VxProc (Windows x64)"}),
              diff.objectsRemoved)
        << diff.Describe();
    EXPECT_FALSE(diff.keysRemoved.count(monitors + "Acme Port Monitor")) << diff.Describe();
    EXPECT_FALSE(diff.keysRemoved.count(monitors + "Acme Port Monitor\\Ports")) << diff.Describe();
    EXPECT_FALSE(diff.filesRemoved.count(kDrivers + "acmedrv.dll")) << diff.Describe();
    EXPECT_TRUE(Logged("monitor | Acme Port Monitor | refused (points-elsewhere: its library ")) << log;
    EXPECT_TRUE(Logged("monitor | Acme Port Monitor\\Ports | refused (path-form: ")) << log;
    EXPECT_TRUE(Logged("driver | Acme Laser Driver (local environment) | refused (windows-printing: another maker's")) << log;
    EXPECT_FALSE(Logged("Acme Office (PSCRIPT)")) << log;  // never a candidate: no line
    EXPECT_TRUE(Planned("drivers = Acme Laser Driver | windows-printing: ")) << plan;
    ExpectPlanAgreesWithRun();
}

// A connection to another server's printer of the family is chosen with the family's printer while another
// maker's printer stays: the plan refuses what the run refuses, the connection not among them.
TEST_F(KeeperRun, ThePlanOfAConnectionAndAnotherMakersDriverAgreesWithTheRun) {
    Family()
        .DriverPackage(built::presets::AcmeLaser())
        .Printer(built::PlainPrinter("Acme", "LPT2:", "Acme Laser Driver"))
        .Connection("server", "Shared", "Vestral X Driver", {{"VestralDriver04", "1"}})
        .Script(Script("\"Acme Laser Driver\",ACME,2\r\n", "acmedrv.dll\r\n", ""));
    Run("/SELECT:ALL");
    EXPECT_TRUE(diff.objectsRemoved.count("printer \\\\server\\Shared")) << diff.Describe();
    EXPECT_TRUE(diff.objectsRemoved.count("driver Vestral X Driver (Windows x64)")) << diff.Describe();
    EXPECT_FALSE(diff.filesRemoved.count(kDrivers + "acmedrv.dll")) << diff.Describe();
    EXPECT_FALSE(Planned("\\\\server\\Shared |")) << plan;
    EXPECT_TRUE(Planned("drivers = Acme Laser Driver | staying-printer: ")) << plan;
    ExpectPlanAgreesWithRun();
}

}  // namespace
