// Printers: jobs, per-printer registry data, the printer or the connection, USB device nodes, and the new
// default printer; a UniqueID that names a key Windows needs is refused.
#include <gtest/gtest.h>

#include "removal/printer_remover.h"
#include "support/removal_support.h"

namespace {

const char kScript[] = "[Strings]\r\nHARDWARE_ID_1=USBPRINT\\VestralX\r\nUSB_VID=0x0ABC\r\nUSB_PID=0x0012\r\n";

class PrinterRemover : public removaltest::LoadedRemoverTest {
protected:
    void Use(const std::string& ini) {
        LoadedRemoverTest::Use(ini, {{"C/Program Files/Vestral/Kunz__04.unm", kScript}});
    }
    CPrinterEntry& Entry(const char* name, int kept, const char* location = "", int isDefault = 0) {
        CPrinterEntry& p = database->printers.AddNew();
        CopyText(p.printerName, name);
        CopyText(p.location, location);
        p.isKept = kept;
        p.isDefault = isDefault;
        p.isFamily = 1;
        return p;
    }
    bool PrinterExists(const char* name) {
        HANDLE h = NULL;
        if (!OpenPrinterA(const_cast<LPSTR>(name), &h, NULL)) return false;
        ClosePrinter(h);
        return true;
    }
};

const char kPrinters[] =
    "[driver]\nname = Vestral X Driver\n"
    "[printer]\nname = Office\ndriver = Vestral X Driver\nport = USB001\ndefault = yes\njobs = 2\n"
    "data.UniqueID = {0E4BA7FE-1111}\n"
    "[printer]\nname = Home\ndriver = Vestral X Driver\nport = LPT1:\n"
    "[printer]\nname = Remote\ndriver = Vestral X Driver\nserver = \\\\SRV\n"
    "[printer]\nname = Plotter\ndriver = Vestral X Driver\nport = LPT2:\n"
    "[device]\ninstance = USB\\VID_0ABC&PID_0012\\5&1\nhardware = USB\\VID_0ABC&PID_0012&REV_0100\n"
    "[device]\ninstance = USBPRINT\\VestralX\\6&2\nhardware = USBPRINT\\VestralX1234\nparent = USB\\VID_0ABC&PID_0012\\5&1\n"
    "[device]\ninstance = USB\\VID_9999&PID_0001\\7&3\nhardware = USB\\VID_9999&PID_0001\n";

TEST_F(PrinterRemover, ChosenPrintersGoWithTheirDataAndDevicesAndTheLastRemainingOneBecomesTheDefault) {
    Use(kPrinters);
    m->registry.setString("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Devices", "Office", "winspool,USB001");
    m->registry.setString("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Devices", "Home", "winspool,LPT1:");
    m->registry.create("HKEY_CLASSES_ROOT\\{0E4BA7FE-1111}\\Sub");
    m->registry.create("HKEY_CURRENT_USER\\SOFTWARE\\VESTRAL\\Office");
    Entry("Office", 0, "", 1);
    Entry("Home", 1);
    Entry("Remote", 0, "\\\\SRV");
    Entry("Plotter", 1);
    Learn();
    RemovePrinters(context);
    EXPECT_FALSE(PrinterExists("Office"));
    EXPECT_FALSE(PrinterExists("Remote"));
    EXPECT_TRUE(PrinterExists("Home"));
    EXPECT_FALSE(m->registry.hasValue("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Devices", "Office"));
    EXPECT_TRUE(m->registry.hasValue("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Devices", "Home"));
    EXPECT_EQ(nullptr, m->registry.find("HKEY_CLASSES_ROOT\\{0E4BA7FE-1111}"));
    EXPECT_EQ(nullptr, m->registry.find("HKEY_CURRENT_USER\\SOFTWARE\\VESTRAL\\Office"));
    // The USBPRINT node the script names and its USB parent are gone; another device stays.
    testmachine::TempDir dir;
    m->save(dir.path.string());
    std::string ini = testmachine::ReadFile(dir.path / "machine.ini");
    EXPECT_EQ(std::string::npos, ini.find("VID_0ABC")) << ini;
    EXPECT_NE(std::string::npos, ini.find("VID_9999")) << ini;
    // Plotter, the last printer that stays, is the new default, and the user is told.
    char device[256] = "";
    GetProfileStringA("windows", "device", "", device, sizeof device);
    EXPECT_EQ(0, std::string(device).find("Plotter,winspool,")) << device;
    EXPECT_EQ(1u, m->transcript.count("'Plotter' が新たに通常使用するプリンタに設定されました。"));
    int defaults = 0;
    for (const CPrinterEntry& p : database->printers) defaults += p.isDefault;
    EXPECT_EQ(1, defaults);
}

TEST_F(PrinterRemover, TheLastPrinterGoneLeavesNoDefaultAndTheUserIsTold) {
    Use("[driver]\nname = Vestral X Driver\n[printer]\nname = Office\ndriver = Vestral X Driver\nport = LPT1:\ndefault = yes\n");
    Entry("Office", 0, "", 1);
    Learn();
    RemovePrinters(context);
    EXPECT_FALSE(PrinterExists("Office"));
    EXPECT_EQ(1u, m->transcript.count("ご使用コンピュータにインストールされているプリンタはありません。"));
}

TEST_F(PrinterRemover, AUniqueIdNamingAKeyWindowsNeedsIsRefused) {
    Use("[driver]\nname = Vestral X Driver\n[printer]\nname = Office\ndriver = Vestral X Driver\nport = LPT1:\n"
        "data.UniqueID = CLSID\n[printer]\nname = Home\ndriver = Vestral X Driver\nport = LPT1:\n"
        "data.UniqueID = A\\B\n");
    m->registry.create("HKEY_CLASSES_ROOT\\CLSID\\{00000000-0000-0000-0000-000000000001}");
    m->registry.create("HKEY_CLASSES_ROOT\\A\\B");
    Entry("Office", 0);
    Entry("Home", 0);
    Learn();
    RemovePrinters(context);
    EXPECT_NE(nullptr, m->registry.find("HKEY_CLASSES_ROOT\\CLSID\\{00000000-0000-0000-0000-000000000001}"));
    EXPECT_NE(nullptr, m->registry.find("HKEY_CLASSES_ROOT\\A\\B"));
    EXPECT_EQ(2u, m->transcript.count("refused registry key item \"HKEY_CLASSES_ROOT\\"));
    EXPECT_FALSE(PrinterExists("Office"));  // the printer itself still goes
}

// A UniqueID is the name of one class key: one that is a path (either separator), that names "." or "..",
// or a class key Windows needs (any letter case, blanks around it) is refused, and the printer still goes;
// the family's own class key goes with its subkeys.
TEST_F(PrinterRemover, UniqueIdsThatAreNoPlainClassKeyOfTheFamilyAreRefused) {
    struct Case {
        const char* id;
        bool refused;
        bool key;  // the class key exists under that very name
    };
    const Case cases[] = {
        {"CLSID", true, true}, {"clsid", true, true},   {" CLSID ", true, false}, {"CLSID\\", true, false},
        {"A/B", true, false},  {"..", true, false},     {"*", true, true},
        {".unm", false, true},  // a file type that names no program points at nothing: it goes
        {"Interface", true, true}, {"{0E4BA7FE-5555}", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        Use(std::string("[driver]\nname = Vestral X Driver\n[printer]\nname = Office\ndriver = Vestral X Driver\n"
                        "port = LPT1:\ndata.UniqueID = ") + c.id + "\n");
        const std::string key = std::string("HKEY_CLASSES_ROOT\\") + c.id;
        if (c.key) m->registry.create(key + "\\Sub");
        m->registry.create("HKEY_CLASSES_ROOT\\CLSID\\{00000000-0000-0000-0000-000000000001}");
        Entry("Office", 0);
        Learn();
        RemovePrinters(context);
        EXPECT_FALSE(PrinterExists("Office"));
        EXPECT_EQ(c.refused ? 1u : 0u, m->transcript.count("refused registry key item \"HKEY_CLASSES_ROOT\\"));
        EXPECT_NE(nullptr, m->registry.find("HKEY_CLASSES_ROOT\\CLSID\\{00000000-0000-0000-0000-000000000001}"));
        if (c.key) {
            EXPECT_EQ(c.refused, m->registry.find(key) != nullptr);
        }
    }
}

TEST_F(PrinterRemover, APrinterThatCannotBeOpenedCountsAsGoneAndIsStillCleanedUp) {
    Use("[driver]\nname = Vestral X Driver\n[printer]\nname = Locked\ndriver = Vestral X Driver\nport = LPT1:\nopenable = no\n");
    m->registry.setString("HKEY_CURRENT_USER\\Printers\\Settings", "Locked", "x");
    CPrinterEntry& locked = Entry("Locked", 0);
    Learn();
    RemovePrinters(context);
    EXPECT_EQ(1, locked.isDeleted);
    EXPECT_FALSE(m->registry.hasValue("HKEY_CURRENT_USER\\Printers\\Settings", "Locked"));
}

// A printer whose jobs are not all cancelled (the removal takes the first hundred) waits for its last job: it
// is logged as pending, and its USB device stays with it.
TEST_F(PrinterRemover, APrinterWaitingForItsJobsIsPendingAndKeepsItsDevice) {
    std::string printers = kPrinters;
    printers.replace(printers.find("jobs = 2"), 8, "jobs = 101");
    Use(printers);
    Entry("Office", 0, "", 1);
    CRunLog log;
    ASSERT_TRUE(log.Open("C:\\removal.log"));
    context.log = &log;
    Learn();
    RemovePrinters(context);
    context.log = nullptr;
    log.Close();  // the stage's item lines are written when it ends
    EXPECT_TRUE(PrinterExists("Office"));
    EXPECT_NE(nullptr, m->devices.findInstance("USBPRINT\\VestralX\\6&2"));
    EXPECT_NE(std::string::npos, m->files.read("C:\\removal.log").find("| printer | Office | pending deletion (1 job left)"));
}

// On the 9x class a printer that cannot be opened may still be there: its keys are not queued.
TEST_F(PrinterRemover, On9xAPrinterThatCannotBeOpenedKeepsItsKeys) {
    Use("[system]\nplatform = 9x\n[driver]\nname = Vestral X Driver\n"
        "[printer]\nname = Office\ndriver = Vestral X Driver\nport = LPT1:\nopenable = no\n"
        "[printer]\nname = Home\ndriver = Vestral X Driver\nport = LPT2:\n");
    Entry("Office", 0);
    Entry("Home", 0);
    Learn();
    RemovePrinters(context);
    std::string queued;
    for (const char* item : database->removal.registryKeys) queued += std::string(item) + "\n";
    EXPECT_EQ(std::string::npos, queued.find("Printers\\Office")) << queued;
    EXPECT_NE(std::string::npos, queued.find("Printers\\Home")) << queued;
}

}  // namespace
