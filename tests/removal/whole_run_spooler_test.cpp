// Whole runs that remove what the spooler and the service manager hold: printer drivers per environment
// with their registry keys and OEM INF files, port monitors, print processors and services.
#include <gtest/gtest.h>

#include "support/built_machine.h"
#include "support/tool_run.h"
#include "support/whole_run.h"

namespace {

typedef std::set<std::string> Set;

const std::string kEnvironments = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\";
const std::string kNtDrivers = "C/Windows/System32/spool/drivers/x64/";
const char kInfHead[] = "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Printer\r\n[Strings]\r\nPrinterName1=";

std::string Inf(const std::string& models) { return kInfHead + ("\"" + models + "\"\r\n"); }

using built::FamilyPrinter;
using built::MachineBuilder;

// Office goes with its driver's profile; Home, on a driver without a profile, stays.
MachineBuilder& TwoDrivers(MachineBuilder& b) {
    return b.DriverPackage(built::Driver("Vestral X Driver", "vxdrv.dll"))
        .DriverPackage(built::Driver("Vestral L Driver", "vldrv.dll"))
        .Printer(FamilyPrinter("Office", "LPT1:"))
        .Printer(FamilyPrinter("Home", "LPT2:", "Vestral L Driver"));
}
const std::string kXProfile = "[UnPrinterDrivers]\r\n\"Vestral X Driver\",VXDRV,1\r\n";

// A family printer on a print processor, with a data type.
built::PrinterSpec OnProcessor(const char* name, const char* port, const char* driver, const char* processor,
                               const char* datatype) {
    built::PrinterSpec p = FamilyPrinter(name, port, driver);
    p.processor = processor;
    p.datatype = datatype;
    return p;
}

class SpoolerRun : public wholerun::Fixture {};

// Drivers go in every environment they are installed in: those of removed printers unless a printer that
// stays uses them, and those the profile names; the registry keys of the NT family name "Windows NT x86"
// for the local environment; only the first OEM INF naming a deleted driver goes.
TEST_F(SpoolerRun, DriversGoPerEnvironmentWithTheirKeysAndFirstOemInfUnlessAKeptPrinterUsesThem) {
    built::Package x = built::Driver("Vestral X Driver", "vxdrv.dll");
    x.environments = {"Windows x64", "Windows NT x86", "Windows 4.0"};
    MachineBuilder b(simwin::Platform::Nt, "10.0");
    b.DriverPackage(x)
        .DriverPackage(built::Driver("Vestral L Driver", "vldrv.dll"))
        .DriverPackage(built::Driver("Listed Only", "listed.dll"))
        .DriverPackage(built::Driver("Acme Laser", "acmedrv.dll", "Acme"))
        .Port("LPT4:")
        .Printer(FamilyPrinter("Office", "LPT1:"))
        .Printer(FamilyPrinter("Labels", "LPT2:", "Vestral L Driver"))
        .Printer(FamilyPrinter("Home", "LPT3:", "Vestral L Driver"))
        .Printer(built::PlainPrinter("Plotter", "LPT4:", "Acme Laser"))
        .Script("[UnPrinterDrivers]\r\n\"Vestral X Driver\",VXDRV,1\r\n\"Vestral L Driver\",VLDRV,2\r\n\"Listed Only\",LISTED,3\r\n")
        .File("C:\\Windows\\INF\\oem4.inf", Inf("Vestral Listed Only"))  // a longer name that holds it: not its INF
        .File("C:\\Windows\\INF\\ntprint.inf", Inf("Listed Only"));       // Windows's own INF: never uninstalled
    Set infs;
    for (const char* driver : {"Vestral X Driver", "Listed Only"}) {
        const std::string inf = b.PublishedInf(driver);
        infs.insert({inf, inf.substr(0, inf.size() - 4) + ".pnf"});
    }
    Use(b.Take());
    for (const char* shipped : {"vxdrv.inf", "listed.inf"})
        for (const std::string& copy : built::StoreCopies(*m, shipped)) infs.insert(copy);
    Set queued;
    for (const char* environment : {"Windows NT x86", "Windows 4.0", "Windows x64"})
        for (const char* version : {"Version-0", "Version-1", "Version-2", "Version-3"})
            for (const char* driver : {"Vestral X Driver", "Listed Only", "Vestral L Driver"}) {
                std::string key = kEnvironments + environment + "\\Drivers\\" + version + "\\" + driver;
                m->registry.create(key);
                // A deleted driver's keys go in the environment it was deleted from: the local one is the
                // platform's own ("Windows x64"), not "Windows NT x86".
                const std::string name = driver;
                if (name == "Vestral X Driver" || (name == "Listed Only" && std::string(environment) == "Windows x64"))
                    queued.insert(key);
            }

    uirun::Outcome o = Uninstall({"Office", "Labels"});
    ASSERT_EQ(1, o.result) << o.stop;

    EXPECT_EQ((Set{"printer Office", "printer Labels", "driver Vestral X Driver (Windows x64)",
                   "driver Vestral X Driver (Windows NT x86)", "driver Vestral X Driver (Windows 4.0)",
                   "driver Listed Only (Windows x64)"}),
              diff.objectsRemoved)
        << diff.Describe();
    EXPECT_EQ(queued, diff.keysRemoved) << diff.Describe();
    EXPECT_EQ(infs, diff.filesRemoved) << diff.Describe();
}

// Pavane's PostScript drivers go only when Pavane's own files go, and not when a printer carries the
// driver's name; while Pavane stays they go only as the drivers of removed printers.
TEST_F(SpoolerRun, PostScriptDriversGoWithPavaneUnlessAPrinterCarriesTheirName) {
    auto machine = [](const std::string& script) {
        MachineBuilder b(simwin::Platform::Nt, "10.0");
        b.DriverPackage(built::Driver("Vestral X Driver", "vxdrv.dll"))
            .DriverPackage(built::Driver("Pavane (PSCRIPT)", "pavps.dll"))
            .DriverPackage(built::Driver("Named (PSCRIPT)", "namedps.dll"))
            .Printer(FamilyPrinter("Office", "LPT1:"))
            .Printer(built::PlainPrinter("Named (PSCRIPT)", "LPT2:", "Named (PSCRIPT)"))
            .Script(script);
        return b.Take();
    };
    const std::string drivers = "[UnPrinterDrivers]\r\n\"Vestral X Driver\",VXDRV,1\r\n";
    const std::string pavane = "[UnPrinterMfgs]\r\n\"Pavane\",PAVANE,3\r\n[PAVANE.Files]\r\nPAVANE32.EXE\r\n";

    Use(machine(drivers));
    ASSERT_EQ(1, Uninstall().result);
    EXPECT_EQ((Set{"printer Office", "driver Vestral X Driver (Windows x64)"}), diff.objectsRemoved) << diff.Describe();

    Use(machine(drivers + pavane));
    ASSERT_EQ(1, Uninstall().result);
    EXPECT_EQ((Set{"printer Office", "driver Vestral X Driver (Windows x64)", "driver Pavane (PSCRIPT) (Windows x64)"}),
              diff.objectsRemoved)
        << diff.Describe();
}

// On the 9x family a deleted driver queues its one key of "Windows 4.0"; on Win32s none.
TEST_F(SpoolerRun, DriverKeysPerPlatformClass) {
    struct Case {
        const char* platform;
        const char* directory;
        bool key;
    };
    const std::string key =
        "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\control\\Print\\Environments\\Windows 4.0\\Drivers\\Vestral X Driver";
    for (const Case& c : {Case{"9x", "C/WINDOWS/SYSTEM/", true}, Case{"win32s", "C/WINDOWS/SYSTEM/", false}}) {
        SCOPED_TRACE(c.platform);
        Use(std::string("[system]\nplatform = ") + c.platform +
                "\n[driver]\nname = Vestral X Driver\n"
                "[printer]\nname = Office\ndriver = Vestral X Driver\nport = LPT1:\ndata.VestralDriver04 = 1\n",
            {{std::string(c.directory) + "Kunz__04.unm", "[UnPrinterDrivers]\r\n\"Vestral X Driver\",VXDRV,1\r\n"}});
        m->registry.create(key);
        ASSERT_EQ(1, Uninstall().result);
        EXPECT_EQ((Set{"printer Office", "driver Vestral X Driver (Windows 4.0)"}), diff.objectsRemoved) << diff.Describe();
        EXPECT_EQ(c.key ? Set{key} : Set{}, diff.keysRemoved) << diff.Describe();
    }
}

// Monitors go in each environment with their key; one in use stays, Windows's own is refused, one that is
// not installed changes nothing.
TEST_F(SpoolerRun, MonitorsGoInEachEnvironmentUnlessInUseOrWindowsOwn) {
    MachineBuilder b(simwin::Platform::Nt, "10.0");
    TwoDrivers(b)
        .Monitor({"Vestral Port", "vstport.dll", {}, ""})
        .Monitor({"Vestral Port", "vstport.dll", {}, "Windows NT x86"})
        .Monitor({"Vestral Busy", "vstbusy.dll", {}, ""})
        // The monitors' libraries are the family's listed files: only then may a monitor no printer uses go.
        .Script(kXProfile + "[VXDRV.Files]\r\nvstport.dll\r\nvstbusy.dll\r\n"
                "[VXDRV.Monitors]\r\nVestral Port\r\nVestral Busy\r\nLocal Port\r\nNot Installed\r\n");
    Use(b.Take());
    m->spooler.findMonitor("Vestral Busy", "Windows x64")->inUse = true;  // a spooler that will not let it go
    const std::string monitors = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\";
    for (const char* name : {"Vestral Port", "Vestral Busy", "Local Port"}) m->registry.create(monitors + name);
    ASSERT_EQ(1, Uninstall({"Office"}).result);
    EXPECT_EQ((Set{"printer Office", "driver Vestral X Driver (Windows x64)", "monitor Vestral Port (Windows x64)",
                   "monitor Vestral Port (Windows NT x86)"}),
              diff.objectsRemoved)
        << diff.Describe();
    // Each listed monitor's key is deleted after its DeleteMonitorA, except that of a monitor still in use,
    // which stays installed with its configuration. Windows's own monitor keeps its key.
    // The deleted driver's key goes with it.
    EXPECT_EQ((Set{monitors + "Vestral Port", kEnvironments + "Windows x64\\Drivers\\Version-3\\Vestral X Driver"}),
              diff.keysRemoved) << diff.Describe();
    EXPECT_EQ(3u, m->transcript.count("refused monitor item \"Local Port\""));
}

// A print processor used by printers of the family that stay: they are switched to WinPrint with RAW and
// the processor goes with its key. One that a printer the tool cannot read uses (another maker's, as far as
// the tool can tell) stays, and its printers stay on it.
TEST_F(SpoolerRun, AProcessorGoesOnlyWhenEveryPrinterOnItCouldBeSwitched) {
    MachineBuilder b(simwin::Platform::Nt, "10.0");
    b.Processor({"VstProc", "vstproc.dll", ""})
        .Processor({"VstProc2", "vstproc2.dll", ""})
        .DriverPackage(built::Driver("Vestral X Driver", "vxdrv.dll"))
        .DriverPackage(built::Driver("Vestral L Driver", "vldrv.dll"))
        .Port("LPT4:")
        .Printer(OnProcessor("Office", "LPT1:", "Vestral X Driver", "VstProc", "RAW"))
        .Printer(OnProcessor("Home", "LPT2:", "Vestral L Driver", "VstProc", "NT EMF 1.008"))
        .Printer(OnProcessor("Locked", "LPT3:", "Vestral L Driver", "VstProc", "RAW"))
        .Printer(OnProcessor("Lab", "LPT4:", "Vestral L Driver", "VstProc2", "NT EMF 1.008"))
        .Script(kXProfile + "[VXDRV.PrintProcessors]\r\nVstProc\r\nVstProc2\r\n");
    Use(b.Take());
    m->spooler.find("Locked")->openable = false;  // its security lets nobody here open it
    const std::string processors = kEnvironments + "Windows NT x86\\Print Processors\\";
    for (const char* name : {"VstProc", "VstProc2"}) m->registry.create(processors + name);
    ASSERT_EQ(1, Uninstall({"Office"}).result);
    EXPECT_EQ((Set{"printer Office", "driver Vestral X Driver (Windows x64)", "processor VstProc2 (Windows x64)"}),
              diff.objectsRemoved) << diff.Describe();
    // Its key of the local environment goes with DeletePrintProcessorA, the one the tool names after it.
    EXPECT_EQ((Set{processors + "VstProc2", kEnvironments + "Windows x64\\Print Processors\\VstProc2",
                   kEnvironments + "Windows x64\\Drivers\\Version-3\\Vestral X Driver"}), diff.keysRemoved)
        << diff.Describe();
    EXPECT_EQ((std::map<std::string, Set>{{"printer Lab", {"processor: VstProc2 -> WinPrint", "datatype: NT EMF 1.008 -> RAW"}}}),
              diff.objectsChanged);
    // What a printer that stays needs is logged as kept, not refused: no rule protected Windows or another maker.
    EXPECT_EQ(1u, m->transcript.count("refused processor item \"VstProc\": staying-printer"));
    EXPECT_NE(std::string::npos, m->files.read(m->system.tempDir + "korun04.log").find("VstProc | kept (staying-printer: "));
}

// Services: a stopped one is deleted at once, a running one is marked and waits for the restart (which is
// offered), one already marked stays marked; the spooler is refused.
TEST_F(SpoolerRun, ServicesStoppedRunningAndAlreadyMarked) {
    // Their programs lie beside the tool, in its own folder: the family's.
    MachineBuilder b(simwin::Platform::Nt, "10.0");
    TwoDrivers(b)
        .Service({"VstStopped", "", "C:\\Program Files\\Vestral\\vsts.exe", "own", "auto", "stopped"})
        .Service({"VstRunning", "", "C:\\Program Files\\Vestral\\vstr.exe", "own", "auto", "running"})
        .Service({"VstMarked", "", "C:\\Program Files\\Vestral\\vstm.exe", "own", "auto", "marked"})
        .Service({"OtherService", "", "C:\\Windows\\System32\\other.exe", "own", "auto", "running"})
        .Script(kXProfile + "[VXDRV.Services]\r\nVstStopped\r\nVstRunning\r\nVstMarked\r\nspooler\r\nAbsent\r\n");
    Use(b.Take());
    ASSERT_EQ(1, Uninstall({"Office"}).result);
    EXPECT_EQ((Set{"printer Office", "driver Vestral X Driver (Windows x64)", "service VstStopped"}), diff.objectsRemoved) << diff.Describe();
    EXPECT_EQ((std::map<std::string, Set>{{"service VstRunning", {"marked: (none) -> yes"}}}), diff.objectsChanged)
        << diff.Describe();
    EXPECT_EQ(1u, m->transcript.count("refused service item \"spooler\""));
    // The refused item is said before the restart question.
    std::vector<std::string> boxes = MessageBoxes();
    ASSERT_EQ(2u, boxes.size());
    EXPECT_NE(std::string::npos, boxes[0].find("削除されなかった項目が 1 個あります (失敗 0 個、Windows を守るため拒否 1 個)"))
        << boxes[0];
    EXPECT_NE(std::string::npos, boxes[1].find("今、再起動しますか？ -> No"));
    EXPECT_TRUE(context->database.restartNeeded);
}

// On Windows 10 level 8 names the driver store's copy of each driver's INF. The family's driver goes with
// its published oem5.inf, the .pnf and the store folder; Windows's own driver, published as ntprint.inf,
// stays with its INF and store copy.
TEST_F(SpoolerRun, OnWindows10TheFamilysDriverGoesWithItsPublishedInfAndStoreCopy) {
    const std::string repository = "C/Windows/System32/DriverStore/FileRepository/";
    const std::string inbox = "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Printer\r\n; inbox\r\n";
    Use("[system]\nversion = 10.0\n"
        "[driver]\nname = Vestral X Driver\ninf = C:\\Windows\\System32\\DriverStore\\FileRepository\\"
        "vxdrv.inf_amd64_b1452811b370ee51\\vxdrv.inf\nprovider = Vestral\n"
        "[driver]\nname = Inbox Class Driver\ninf = C:\\Windows\\System32\\DriverStore\\FileRepository\\"
        "ntprint.inf_amd64_e9e04523843389b9\\ntprint.inf\n"
        "[printer]\nname = Office\ndriver = Vestral X Driver\nport = LPT1:\ndata.VestralDriver04 = 1\n",
        {{std::string("C/Windows/System32/spool/drivers/x64/Kunz__04.unm"), kXProfile + "\"Inbox Class Driver\",INBOX,2\r\n"},
         {"C/Windows/INF/oem5.inf", Inf("Vestral X Driver")},
         {"C/Windows/INF/oem5.pnf", "pnf"},
         {repository + "vxdrv.inf_amd64_b1452811b370ee51/vxdrv.inf", Inf("Vestral X Driver")},
         {"C/Windows/INF/ntprint.inf", inbox},
         {repository + "ntprint.inf_amd64_e9e04523843389b9/ntprint.inf", inbox}});

    uirun::Outcome o = Uninstall({"Office"});
    ASSERT_EQ(1, o.result) << o.stop;

    EXPECT_EQ((Set{"printer Office", "driver Vestral X Driver (Windows x64)"}), diff.objectsRemoved) << diff.Describe();
    const std::string store = "C:\\Windows\\System32\\DriverStore\\FileRepository\\vxdrv.inf_amd64_b1452811b370ee51";
    EXPECT_EQ((Set{"C:\\Windows\\INF\\oem5.inf", "C:\\Windows\\INF\\oem5.pnf", store + "\\", store + "\\vxdrv.inf",
                   "C:\\Windows\\System32\\spool\\drivers\\x64\\Kunz__04.unm"}),
              diff.filesRemoved)
        << diff.Describe();
    EXPECT_NE(std::string::npos, m->files.read(toolrun::kDefaultLog).find("a driver of Windows"));
}

}  // namespace
