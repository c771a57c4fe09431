// Whole runs that remove printers: their queued jobs, their registry places on each version class,
// printer connections, the USB device nodes, and the new default printer with the texts that say so.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/built_machine.h"
#include "support/whole_run.h"

namespace {

typedef std::set<std::string> Set;
using built::FamilyPrinter;
using built::MachineBuilder;
using built::PlainPrinter;

const char kScript[] = "[UnPrinterDrivers]\r\n\"Vestral X Driver\",VXDRV,1\r\n";
const char kComplete[] = "プリンタのアンインストールが完了しました。 -> OK";
const char kNoPrinterLeft[] =
    "警告: 通常使用するプリンタが削除されました。\\nご使用コンピュータにインストールされているプリンタはありません。 -> OK";
const std::string kUserKeys[] = {"HKEY_CURRENT_USER\\Printers\\DevModes2", "HKEY_CURRENT_USER\\Printers\\Settings",
                                 "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Devices",
                                 "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\PrinterPorts"};

std::string NewDefault(const std::string& name) {
    return "通常使用するプリンタが削除されました。\\n '" + name + "' が新たに通常使用するプリンタに設定されました。 -> OK";
}

class PrinterRun : public wholerun::Fixture {
protected:
    // Every printer's value in the four per-user keys of the NT family.
    void UserValues(const std::vector<std::string>& printers) {
        for (const std::string& key : kUserKeys)
            for (const std::string& p : printers) m->registry.setString(key, p, "winspool,LPT1:");
    }
    // The default printer as the profile functions read it ([windows] device of win.ini, in the user's
    // registry on the NT family).
    std::string DeviceLine() const {
        simwin::MachineScope scope(*m);
        char line[256] = "";
        GetProfileStringA("windows", "device", "", line, sizeof line);
        return line;
    }
    size_t Calls(const std::string& prefix) const {
        return std::count_if(m->spooler.calls.begin(), m->spooler.calls.end(),
                             [&](const std::string& c) { return c.rfind(prefix, 0) == 0; });
    }
};

// On the NT family: the jobs are cancelled and deleted so that the printer goes at once; its class key with
// its subkeys, its four per-user values and its key of the family go; a connection goes by itself, without
// any of that; the printer that stays, last in list order, becomes the default.
TEST_F(PrinterRun, OnTheNtClassAPrinterGoesWithItsJobsAndRegistryPlacesAndAConnectionAlone) {
    MachineBuilder b(simwin::Platform::Nt, "10.0");
    b.DriverPackage(built::presets::VestralX())
        .DriverPackage(built::presets::AcmeLaser())
        .Processor(built::presets::VestralProcessor())
        .Printer(FamilyPrinter("Office", "LPT1:", "Vestral X Driver", true, {{"UniqueID", "{0E4BA7FE-1111}"}}))
        .Printer(PlainPrinter("Plotter", "LPT2:", "Acme Laser Driver"))
        .Connection("SRV", "Remote", "Vestral X Driver", {{"VestralDriver04", "1"}, {"UniqueID", "{0E4BA7FE-2222}"}})
        .Printer(FamilyPrinter("Home", "LPT3:"))
        .Script(kScript);
    Use(b.Take());
    m->spooler.find("Office")->jobs = 3;  // queued by a user: no installer call makes a job
    UserValues({"Office", "Home", "\\\\SRV\\Remote"});
    for (const char* key : {"HKEY_CLASSES_ROOT\\{0E4BA7FE-1111}\\One", "HKEY_CLASSES_ROOT\\{0E4BA7FE-1111}\\Two",
                            "HKEY_CLASSES_ROOT\\{0E4BA7FE-2222}", "HKEY_CURRENT_USER\\SOFTWARE\\VESTRAL\\Office",
                            "HKEY_CURRENT_USER\\SOFTWARE\\VESTRAL\\Home"})
        m->registry.create(key);

    uirun::Outcome o = Uninstall({"Office", "\\\\SRV\\Remote"});
    ASSERT_EQ(1, o.result) << o.stop;

    EXPECT_EQ((Set{"printer Office", "printer \\\\SRV\\Remote"}), diff.objectsRemoved) << diff.Describe();
    EXPECT_EQ((Set{"HKEY_CURRENT_USER\\Software\\VESTRAL\\Office", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\{0E4BA7FE-1111}",
                   "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\{0E4BA7FE-1111}\\One",
                   "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\{0E4BA7FE-1111}\\Two"}),
              diff.keysRemoved);
    Set officeValues;
    for (const std::string& key : kUserKeys) officeValues.insert(key + "|Office");
    EXPECT_EQ(officeValues, diff.valuesRemoved);  // the connection's values stay
    // The device line the tool writes makes Home the default printer: win.ini's [windows] device, kept in the
    // user's registry on the NT family.
    EXPECT_EQ((std::map<std::string, Set>{{"printer Home", {"default: no -> yes"}}}), diff.objectsChanged) << diff.Describe();
    EXPECT_TRUE(diff.keysAdded.empty() && diff.valuesAdded.empty()) << diff.Describe();
    EXPECT_EQ((Set{"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows|Device"}),
              diff.valuesChanged);
    EXPECT_TRUE(diff.filesChanged.empty()) << diff.Describe();
    EXPECT_EQ("Home,winspool,LPT3:", DeviceLine());
    // Each of the three jobs is cancelled, then deleted.
    for (const char* job : {"1", "2", "3"})
        for (const char* command : {"3", "5"})
            EXPECT_EQ(1u, Calls(std::string("SetJobA job=") + job + " command=" + command)) << job << " " << command;
    EXPECT_EQ((std::vector<std::string>{NewDefault("Home"), kComplete}), MessageBoxes());
}

// On the 9x family the UniqueID is read from the printer's PrinterDriverData key, and the printer's two
// keys go in the registry stage, the PrinterDriverData key first; the per-user values of the NT family stay.
TEST_F(PrinterRun, OnThe9xClassThePrintersKeysGoInTheRegistryStage) {
    MachineBuilder b(simwin::Platform::Win9x);
    b.DriverPackage(built::Driver("Vestral X Driver", "VXDRV.DRV"))
        .Printer(FamilyPrinter("Office", "LPT1:", "Vestral X Driver", true))
        .Printer(FamilyPrinter("Home", "LPT2:"))
        .Script(kScript);
    Use(b.Take());
    const std::string printers = "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\control\\Print\\Printers\\";
    m->registry.setString(printers + "Office\\PrinterDriverData", "UniqueID", "{0E4BA7FE-3333}");
    m->registry.create(printers + "Home\\PrinterDriverData");
    m->registry.create("HKEY_CLASSES_ROOT\\{0E4BA7FE-3333}\\One");
    m->registry.create("HKEY_CURRENT_USER\\SOFTWARE\\VESTRAL\\Office");
    UserValues({"Office"});

    uirun::Outcome o = Uninstall({"Office"});
    ASSERT_EQ(1, o.result) << o.stop;

    EXPECT_EQ((Set{"printer Office"}), diff.objectsRemoved) << diff.Describe();
    EXPECT_EQ((Set{printers + "Office", printers + "Office\\PrinterDriverData", "HKEY_CURRENT_USER\\Software\\VESTRAL\\Office",
                   "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\{0E4BA7FE-3333}",
                   "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\{0E4BA7FE-3333}\\One"}),
              diff.keysRemoved);
    EXPECT_TRUE(diff.valuesRemoved.empty()) << diff.Describe();
    // The attribute makes Home the default printer there.
    EXPECT_EQ((std::map<std::string, Set>{{"printer Home", {"default: no -> yes"}}}), diff.objectsChanged);
    // The 9x family always needs a restart after the spooler stage: the question comes instead of text 199.
    std::vector<std::string> boxes = MessageBoxes();
    ASSERT_EQ(2u, boxes.size());
    EXPECT_EQ(NewDefault("Home"), boxes[0]);
    EXPECT_NE(std::string::npos, boxes[1].find("今、再起動しますか？ -> No"));
}

// On Win32s only the class key and the family's key of the printer go; the new default printer's device
// line names the driver's file without its extension, and the change is broadcast.
TEST_F(PrinterRun, OnWin32sOnlyTheClassKeyAndTheFamilysKeyGo) {
    Use("[system]\nplatform = win32s\n[driver]\nname = Vestral X Driver\nfile = VXDRV.DRV\n"
        "[printer]\nname = Office\ndriver = Vestral X Driver\nport = LPT1:\ndefault = yes\ndata.UniqueID = {0E4BA7FE-4444}\n"
        "[printer]\nname = Home\ndriver = Vestral X Driver\nport = LPT2:\n",
        {{"C/WINDOWS/SYSTEM/Kunz__04.unm", kScript}, {"C/WINDOWS/SYSTEM/VXDRV.DRV", "MZ"}});
    m->registry.create("HKEY_CLASSES_ROOT\\{0E4BA7FE-4444}");
    m->registry.create("HKEY_CURRENT_USER\\SOFTWARE\\VESTRAL\\Office");
    m->registry.create("HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\control\\Print\\Printers\\Office\\PrinterDriverData");
    UserValues({"Office"});

    uirun::Outcome o = Uninstall({"Office"});
    ASSERT_EQ(1, o.result) << o.stop;

    EXPECT_EQ((Set{"printer Office"}), diff.objectsRemoved) << diff.Describe();
    EXPECT_EQ((Set{"HKEY_CURRENT_USER\\Software\\VESTRAL\\Office", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\{0E4BA7FE-4444}"}),
              diff.keysRemoved);
    EXPECT_TRUE(diff.valuesRemoved.empty()) << diff.Describe();
    std::string winIni = m->files.read("C:\\WINDOWS\\win.ini");
    EXPECT_NE(std::string::npos, winIni.find("device=Home,VXDRV,LPT2:")) << winIni;
    EXPECT_EQ(1u, m->transcript.count("broadcast WM_WININICHANGE"));
    EXPECT_EQ((std::vector<std::string>{NewDefault("Home"), kComplete}), MessageBoxes());
}

// The last printer gone: text 159, and no printer is made the default.
TEST_F(PrinterRun, TheLastPrinterGoneShowsText159AndSetsNoDefault) {
    MachineBuilder b(simwin::Platform::Nt, "6.1");
    b.DriverPackage(built::presets::VestralX())
        .Processor(built::presets::VestralProcessor())
        .Printer(FamilyPrinter("Office", "LPT1:", "Vestral X Driver", true))
        .Script(kScript);
    const std::string inf = b.PublishedInf("Vestral X Driver");
    Use(b.Take());
    uirun::Outcome o = Uninstall();
    ASSERT_EQ(1, o.result) << o.stop;
    EXPECT_EQ((Set{"printer Office", "driver Vestral X Driver (Windows x64)"}), diff.objectsRemoved) << diff.Describe();
    // The driver's INF goes with it, the family's script with its last printer; the script names none of the
    // driver's files, which stay.
    EXPECT_EQ((Set{inf, inf.substr(0, inf.size() - 4) + ".pnf", "C:\\Windows\\System32\\spool\\drivers\\x64\\Kunz__04.unm"}),
              diff.filesRemoved)
        << diff.Describe();
    EXPECT_TRUE(diff.filesChanged.empty()) << diff.Describe();  // win.ini keeps its line: nothing was set
    EXPECT_EQ(0u, m->transcript.count("broadcast WM_WININICHANGE"));
    EXPECT_EQ((std::vector<std::string>{kNoPrinterLeft, kComplete}), MessageBoxes());
}

// A removed printer that was not the default leaves the default alone and shows nothing about it.
TEST_F(PrinterRun, ARemovedPrinterThatWasNotTheDefaultChangesNoDefault) {
    MachineBuilder b(simwin::Platform::Nt, "10.0");
    b.DriverPackage(built::presets::VestralX())
        .Processor(built::presets::VestralProcessor())
        .Printer(FamilyPrinter("Office", "LPT1:", "Vestral X Driver", true))
        .Printer(FamilyPrinter("Home", "LPT2:"))
        .Script(kScript);
    Use(b.Take());
    uirun::Outcome o = Uninstall({"Home"});
    ASSERT_EQ(1, o.result) << o.stop;
    EXPECT_EQ((Set{"printer Home"}), diff.objectsRemoved) << diff.Describe();
    EXPECT_EQ("Office,winspool,LPT1:", DeviceLine());
    EXPECT_EQ((std::vector<std::string>{kComplete}), MessageBoxes());
}

// The USB printer's nodes: the print-class node and its USB parent go together, whichever of the two IDs
// the default script names; an ID that matches nothing falls back to the ID built from the vendor and
// product IDs; without them nothing is touched. Another maker's USB printer stays.
TEST_F(PrinterRun, TheUsbNodeAndItsParentGoWhicheverIdTheScriptNames) {
    struct Case {
        const char* strings;
        bool removed;
    };
    const Case cases[] = {
        {"HARDWARE_ID_1=USBPRINT\\VestralX\r\nUSB_VID=0x0ABC\r\nUSB_PID=0x0012\r\n", true},
        {"HARDWARE_ID_1=USB\\VID_0ABC&PID_0012\r\nUSB_VID=0x0ABC\r\nUSB_PID=0x0012\r\n", true},
        {"HARDWARE_ID_1=USBPRINT\\NoSuchPrinter\r\nUSB_VID=0x0ABC\r\nUSB_PID=0x0012\r\n", true},
        {"HARDWARE_ID_1=USBPRINT\\VestralX\r\nUSB_PID=0x0012\r\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.strings);
        MachineBuilder b(simwin::Platform::Nt, "10.0");
        b.DriverPackage(built::presets::VestralX())
            .Processor(built::presets::VestralProcessor())
            .Port("USB001", "USB Monitor")
            .Printer(FamilyPrinter("Office", "USB001"))
            .Printer(FamilyPrinter("Home", "LPT1:"))
            .Device("USB\\VID_0ABC&PID_0012\\5&1", {"USB\\VID_0ABC&PID_0012&REV_0100", "USB\\VID_0ABC&PID_0012"})
            .Device("USBPRINT\\VESTRALX\\6&2", {"USBPRINT\\VestralX1234"}, "USB\\VID_0ABC&PID_0012\\5&1")
            .Device("USB\\VID_9999&PID_0001\\7&3", {"USB\\VID_9999&PID_0001"})
            .Device("USBPRINT\\ACME\\8&4", {"USBPRINT\\AcmeLaser"}, "USB\\VID_9999&PID_0001\\7&3")
            .Script(kScript)
            .File("C:\\Program Files\\Vestral\\Kunz__04.unm", std::string("[Strings]\r\n") + c.strings);
        Use(b.Take());
        uirun::Outcome o = Uninstall({"Office"});
        ASSERT_EQ(1, o.result) << o.stop;
        Set expected{"printer Office"};
        if (c.removed) expected.insert({"device USB\\VID_0ABC&PID_0012\\5&1", "device USBPRINT\\VESTRALX\\6&2"});
        EXPECT_EQ(expected, diff.objectsRemoved) << diff.Describe();
    }
}

}  // namespace
