// Removals and restores on machines as Windows 10 and 11 report them: a driver file another program holds
// open, deletions the session manager records for the restart, a restore of a removal killed with the
// spooler stopped, a printer of the same name that took a removed printer's place, a backup that truly cannot
// be written, and a removal on the 9x class finished by /RESUME.
#include <gtest/gtest.h>

#include "simwin/pending_renames.h"
#include "support/backup_run.h"
#include "support/built_machine.h"
#include "support/log_text.h"

namespace {

using backuprun::EVERY_KIND;

using logtext::Has;
using logtext::Log;

bool PrinterThere(const char* name) {
    HANDLE printer = NULL;
    if (!OpenPrinterA(const_cast<LPSTR>(name), &printer, NULL)) return false;
    ClosePrinter(printer);
    return true;
}

bool Pending(const simwin::Machine& m, const std::string& path) {
    for (const simwin::PendingRename& r : simwin::pendingRenames(m.registry))
        if (simwin::iequals(r.from, path) && r.to.empty()) return true;
    return false;
}

// The family's package, monitor and processor as their installers put them on a Windows of that version, its
// printer "Office" (the default) and another maker's printer.
std::unique_ptr<simwin::Machine> BuiltFamily(const char* version) {
    built::MachineBuilder b(simwin::Platform::Nt, version);
    built::presets::Family(b)
        .DriverPackage(built::presets::AcmeLaser())
        .Printer(built::FamilyPrinter("Office", "VSTUSB001:", "Vestral X Driver", true))
        .Printer(built::PlainPrinter("Acme", "LPT2:", "Acme Laser Driver"));
    return b.Take();
}

// A file of the removed driver that another program holds open without sharing: the removal does not stop
// for it. The driver goes, the file is scheduled where the session manager reads it, and a restore before the
// restart cancels that and brings the driver back; after the restart the driver cannot come back whole.
TEST(RestoreFaults, ADriverFileInUseIsScheduledAndComesBackBeforeTheRestart) {
    const std::string driverFile = "C:\\Windows\\System32\\spool\\drivers\\x64\\vxdrv.dll";
    for (const char* version : {"10.0", "6.1"}) {
        for (bool restarted : {false, true}) {
            SCOPED_TRACE(std::string(version) + (restarted ? ", restored after the restart" : ", restored before it"));
            auto m = BuiltFamily(version);
            simwin::MachineScope scope(*m);
            m->files.setLocked(driverFile, true);
            // A file of the list with attributes of its own comes back with them.
            SetFileAttributesA("C:\\Windows\\System32\\spool\\drivers\\x64\\vxui.dll",
                               FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
            const machinediff::State before = machinediff::Capture(*m);
            EXPECT_EQ(3010, toolrun::Run(*m, "/QUIET /SELECT:\"Office\"")) << Log(*m);
            EXPECT_FALSE(Has(Log(*m), "the backup set cannot be written")) << Log(*m);
            EXPECT_FALSE(PrinterThere("Office"));
            EXPECT_TRUE(m->files.exists(driverFile));
            EXPECT_TRUE(Pending(*m, driverFile));
            const std::string journal = m->files.read(CBackupSet::Sets(COSVersion()).back() + "\\journal.txt");
            EXPECT_TRUE(Has(journal, "file | " + driverFile + " | in use, not copied")) << journal;
            if (restarted) {  // what the session manager does at the start of Windows
                m->files.setLocked(driverFile, false);
                m->files.removeNode(driverFile);
                simwin::setPendingRenames(m->registry, {});
            }
            toolrun::Run(*m, "/QUIET /RESTORE:LAST");
            const std::string log = Log(*m);
            EXPECT_FALSE(Pending(*m, driverFile));
            if (!restarted) {
                EXPECT_EQ("", machinediff::Compare(before, machinediff::Capture(*m)).Describe()) << log;
            } else {
                EXPECT_TRUE(Has(log, "was in use when it went, could not be copied, and was deleted at the restart")) << log;
                EXPECT_TRUE(Has(log, "no copy of it could be kept, and the restart deleted it")) << log;
            }
        }
    }
}

// A backup that truly cannot be written stops the removal with its cause in the interface's language, and
// advises /RESUME only when something was removed.
TEST(RestoreFaults, TheStopForABackupNamesItsCauseAndAdvisesResumeOnlyAfterARemoval) {
    struct Row {
        const char* name;
        bool fillDrive;          // else: the backup folder refuses this user
        const char* cause;       // the cause as the message box gives it
        bool advisesResume;
    } rows[] = {
        {"the folder refuses the user before anything goes", false, "書き込む権限がありません", false},
        {"the drive fills on the way", true, "空き領域がありません", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto m = backuprun::Load(EVERY_KIND);
        simwin::MachineScope scope(*m);
        if (row.fillDrive) {
            m->files.writeFile("C:\\Program Files\\Vestral\\vstmon.exe", std::string(4 << 20, 'x'));
            m->files.beginRun();
            m->files.setDriveSpace("C", 1ull << 34, 2 << 20);
        } else {
            m->files.find("C:\\ProgramData")->denied = true;
        }
        EXPECT_EQ(1603, toolrun::Run(*m, backuprun::Tail(EVERY_KIND)));
        std::string box;
        for (const toolrun::Line& line : toolrun::Lines(Log(*m)))
            if (line.place == "message box") box = line.text;
        EXPECT_TRUE(Has(box, row.cause)) << box;
        EXPECT_EQ(row.advisesResume, Has(box, "/RESUME")) << box;
    }
}

// A removal killed while the spooler was stopped: /RESTORE starts it for the printers, drivers and monitors,
// and leaves it stopped as it found it.
TEST(RestoreFaults, ARestoreWithTheSpoolerStoppedStartsItAndStopsItAgain) {
    testmachine::TempDir killed;
    machinediff::State before;
    {
        auto m = backuprun::Load(EVERY_KIND);
        simwin::MachineScope scope(*m);
        before = machinediff::Capture(*m);
        ASSERT_TRUE(backuprun::RunUntilCrash(*m, backuprun::Tail(EVERY_KIND), "stage | 12\r\n", killed.path.string()));
    }
    auto m = simwin::Machine::load(killed.path.string());
    simwin::MachineScope scope(*m);
    ASSERT_EQ("stopped", m->services.spoolerState());
    toolrun::Run(*m, "/QUIET /RESTORE:LAST");
    const std::string log = Log(*m);
    EXPECT_FALSE(Has(log, "error 1722")) << log;
    EXPECT_EQ("stopped", m->services.spoolerState());
    m->services.setSpoolerState("running");
    EXPECT_EQ(std::string(backuprun::kEveryKindStoreGain) + "object changed service VstStatus04: marked: (none) -> yes\n",
              machinediff::Compare(before, machinediff::Capture(*m)).Describe()) << log;
}

// A printer of the removed printer's name with another driver, added after the removal: the restore writes
// neither the saved printer nor its settings onto it.
TEST(RestoreFaults, ARestoreLeavesAPrinterOfTheSameNameWithAnotherDriverAlone) {
    auto m = backuprun::Load(EVERY_KIND);
    simwin::MachineScope scope(*m);
    toolrun::Run(*m, backuprun::Tail(EVERY_KIND));
    PRINTER_INFO_2A info = {};
    info.pPrinterName = const_cast<LPSTR>("Office");
    info.pDriverName = const_cast<LPSTR>("Acme Plotter Driver");
    info.pPortName = const_cast<LPSTR>("LPT1:");
    info.pPrintProcessor = const_cast<LPSTR>("WinPrint");
    HANDLE added = AddPrinterA(NULL, 2, reinterpret_cast<LPBYTE>(&info));
    ASSERT_TRUE(added);
    ClosePrinter(added);
    const machinediff::State replaced = machinediff::Capture(*m);
    toolrun::Run(*m, "/QUIET /RESTORE:LAST");
    const std::string log = Log(*m);
    EXPECT_TRUE(Has(log, "printer | Office | cannot come back now (a printer of that name exists")) << log;
    // The other printer's data and settings are as they were.
    const std::string changes = machinediff::Compare(replaced, machinediff::Capture(*m)).Describe();
    EXPECT_FALSE(Has(changes, "printer Office")) << changes;
    EXPECT_FALSE(Has(changes, "Printers\\DevModes2\\Office")) << changes;
}

// The default printer comes back with its printer while the user has chosen no other since.
TEST(RestoreFaults, TheDefaultPrinterComesBackUnlessTheUserChoseAnotherSince) {
    struct Row {
        const char* chosenSince;  // the printer the user made the default after the removal, or null
        const char* defaultAfter;
        const char* logged;
    } rows[] = {
        {nullptr, "Office", "default printer | Office | restored (the default printer again)"},
        {"Labels", "Labels", "default printer | Office | cannot come back now (the user has chosen Labels"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.defaultAfter);
        auto m = backuprun::Load(EVERY_KIND);
        simwin::MachineScope scope(*m);
        toolrun::Run(*m, backuprun::Tail(EVERY_KIND));
        if (row.chosenSince) WriteProfileStringA("windows", "device", (std::string(row.chosenSince) + ",winspool,LPT1:").c_str());
        toolrun::Run(*m, "/QUIET /RESTORE:LAST");
        char device[256] = "";
        GetProfileStringA("windows", "device", "", device, sizeof device);
        EXPECT_EQ(0u, std::string(device).find(std::string(row.defaultAfter) + ",")) << device;
        EXPECT_TRUE(Has(Log(*m), row.logged)) << Log(*m);
    }
}

// A removal cut short after an earlier one ran to its end: /RESUME finds the newer set behind the finished one,
// and a restore after the resume puts back what both of its runs took (the resumed run's copies numbered
// after the first run's).
TEST(RestoreFaults, AResumeFindsTheNewestCutShortSetAndItsRestoreTakesBothRuns) {
    testmachine::TempDir killed;
    machinediff::State beforeSecond;
    {
        auto m = backuprun::Load(EVERY_KIND);
        simwin::MachineScope scope(*m);
        toolrun::Run(*m, "/QUIET /SELECT:\"Labels\"");
        beforeSecond = machinediff::Capture(*m);
        ASSERT_TRUE(backuprun::RunUntilCrash(*m, backuprun::Tail(EVERY_KIND), "item | 9 | ", killed.path.string()));
    }
    auto m = simwin::Machine::load(killed.path.string());
    simwin::MachineScope scope(*m);
    EXPECT_EQ(3010, toolrun::Run(*m, "/QUIET /RESUME")) << Log(*m);
    EXPECT_FALSE(PrinterThere("Office"));
    toolrun::Run(*m, "/QUIET /RESTORE:LAST");
    EXPECT_EQ(std::string(backuprun::kEveryKindStoreGain) + "object changed service VstStatus04: marked: (none) -> yes\n",
              machinediff::Compare(beforeSecond, machinediff::Capture(*m)).Describe()) << Log(*m);
}

// On the 9x class a removal killed after the printers' stage and finished by /RESUME still counts the printer
// the first run deleted as its own: the printer's keys go with it.
TEST(RestoreFaults, AResumedRemovalOn9xTakesTheKeysOfThePrinterItsFirstRunDeleted) {
    const std::string machine =
        "[system]\nplatform = 9x\nprogram = C:\\Program Files\\Vestral\\korun04.exe\n"
        "[printer]\nname = Office\ndriver = Vestral X Driver\nport = LPT1:\ndata.VestralDriver04 = 1\n"
        "[driver]\nname = Vestral X Driver\nfile = vxdrv.dll\n";
    const std::string key = "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\control\\Print\\Printers\\Office";
    const std::string registry = "REGEDIT4\n\n[" + key + "]\n\"Name\"=\"Office\"\n[" + key +
                                 "\\PrinterDriverData]\n\"Tray\"=\"2\"\n";
    const std::map<std::string, std::string> files = {
        {"C/WINDOWS/SYSTEM/Kunz__04.unm", "[UnPrinterDrivers]\r\n\"Vestral X Driver\",VXDRV,1\r\n[VXDRV.Files]\r\nvxdrv.dll\r\n"},
        {"C/WINDOWS/SYSTEM/vxdrv.dll", "MZ"},
        {"C/Program Files/Vestral/korun04.exe", "MZ"}};
    testmachine::TempDir killed;
    {
        auto m = testmachine::Load(machine, files, registry);
        simwin::MachineScope scope(*m);
        ASSERT_TRUE(backuprun::RunUntilCrash(*m, "/QUIET /SELECT:ALL", "stage | 5\r\n", killed.path.string()));
        ASSERT_TRUE(m->registry.find(key));
    }
    auto m = simwin::Machine::load(killed.path.string());
    simwin::MachineScope scope(*m);
    toolrun::Run(*m, "/QUIET /RESUME");
    EXPECT_EQ(nullptr, m->registry.find(key)) << Log(*m);
}

}  // namespace

namespace {

// A sets' folder that a user took over (made beforehand, or owns): /RESTORE:LAST and /RESUME pick nothing from
// it, an explicit set of the tool's in it is still restored, and the next removal moves it aside and makes its own.
TEST(RestoreFaults, ASetsFolderAUserOwnsIsNeitherPickedNorUsed) {
    auto m = BuiltFamily("10.0");
    simwin::MachineScope scope(*m);
    const machinediff::State before = machinediff::Capture(*m);
    ASSERT_EQ(0, toolrun::Run(*m, "/QUIET /SELECT:\"Office\"")) << Log(*m);
    const std::string root = "C:\\ProgramData\\Vestral\\korun04\\Backup", first = CBackupSet::Sets(COSVersion()).back();
    simwin::SecurityDescriptor taken;
    ASSERT_TRUE(simwin::parseSddl("O:" + simwin::sidText(simwin::userSid()) + "D:P(A;OICI;FA;;;BA)", taken));
    m->files.find(root)->security = std::make_shared<simwin::SecurityDescriptor>(taken);

    EXPECT_EQ(1603, toolrun::Run(*m, "/QUIET /RESTORE:LAST"));
    EXPECT_TRUE(Has(Log(*m), "no set is taken from " + root + ": " + root + " is not the tool's: it is owned by S-1-5-21"))
        << Log(*m);
    EXPECT_FALSE(PrinterThere("Office"));
    EXPECT_EQ(0, toolrun::Run(*m, "/QUIET /RESUME"));
    EXPECT_TRUE(Has(Log(*m), "no backup set is looked at for a removal cut short: " + root)) << Log(*m);

    // The administrator's own choice of a set is still a set of the tool's.
    toolrun::Run(*m, "/QUIET /RESTORE:\"" + first + "\"");
    EXPECT_EQ("", machinediff::Compare(before, machinediff::Capture(*m)).Describe()) << Log(*m);

    ASSERT_EQ(0, toolrun::Run(*m, "/QUIET /SELECT:\"Office\"")) << Log(*m);
    EXPECT_TRUE(Has(Log(*m), "backup folder not the tool's: " + root + " (it is owned by ")) << Log(*m);
    const std::vector<std::string> sets = CBackupSet::Sets(COSVersion());
    ASSERT_EQ(1u, sets.size());
    EXPECT_NE(first, sets[0]);
    std::string why;
    EXPECT_TRUE(CBackupSet::RootTrusted(COSVersion(), why)) << why;
}

}  // namespace

namespace {

// A printer that waited for its last job when it was deleted went once that job printed: the restore brings it
// back like any printer the removal took.
TEST(RestoreFaults, APrinterThatWaitedForItsLastJobComesBack) {
    auto m = BuiltFamily("10.0");
    simwin::MachineScope scope(*m);
    m->spooler.find("Office")->jobs = 101;  // the removal cancels the first hundred
    toolrun::Run(*m, "/QUIET /SELECT:\"Office\"");
    ASSERT_TRUE(Has(Log(*m), "| printer | Office | pending deletion (1 job left)")) << Log(*m);
    ASSERT_TRUE(PrinterThere("Office"));
    m->spooler.remove(m->spooler.find("Office")->id);  // its last job printed, and the spooler let it go
    toolrun::Run(*m, "/QUIET /RESTORE:LAST");
    EXPECT_TRUE(Has(Log(*m), "restore | printer | Office | restored")) << Log(*m);
    ASSERT_TRUE(PrinterThere("Office"));
    EXPECT_EQ("Vestral X Driver", m->spooler.find("Office")->driver);
}

}  // namespace
