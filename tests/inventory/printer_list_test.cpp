// The printer enumeration of the loading object on described machines: the information level per
// platform, the classification of each printer, the default-printer rules, connections, the
// command-line filter, and the failures of the enumeration.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "inventory/loading_dlg.h"
#include "support/temp_machine.h"

using testmachine::Load;

namespace {

// One loading object on one machine, with the command tail given.
struct Inventory {
    Inventory(const std::string& machineIni, const std::string& tail = "",
              const std::map<std::string, std::string>& files = {})
        : machine(Load(machineIni, files)), scope(*machine) {
        machine->system.commandTail = tail;
        dlg.reset(new CLoadingDlg);
    }
    int Build() { return dlg->BuildListOfInstalledPrinters(printers); }
    const CPrinterEntry& Entry(const std::string& name) const {
        for (const CPrinterEntry& p : printers)
            if (name == p.printerName) return p;
        static CPrinterEntry none;
        ADD_FAILURE() << "no entry " << name;
        return none;
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> out;
        for (const CPrinterEntry& p : printers) out.push_back(p.printerName);
        return out;
    }
    bool Called(const std::string& call) const {
        const auto& c = machine->spooler.calls;
        return std::find(c.begin(), c.end(), call) != c.end();
    }

    std::unique_ptr<simwin::Machine> machine;
    simwin::MachineScope scope;
    std::unique_ptr<CLoadingDlg> dlg;
    CPrinterList printers;
};

std::string Printer(const std::string& name, const std::string& driver, const std::string& extra = "") {
    return "[printer]\nname = " + name + "\ndriver = " + driver + "\nport = USB001\n" + extra;
}

const char kFamily[] = "data.VestralDriver04 = 1\n";

// Four printers: family, family and paved, paved only, foreign.
const std::string kMixed = "[system]\nplatform = nt\n" + Printer("Office", "Vestral X Driver", kFamily) +
                           Printer("Reception", "Vestral X Driver", std::string(kFamily) + "data.PavPrinter = Front\n") +
                           Printer("Masked", "Acme 9", "data.PavPrinter = Office\n") + Printer("Plotter", "Acme Plotter");

std::string Listed(const Inventory& inv) {
    std::string out;
    for (const CPrinterEntry& p : inv.printers) {
        EXPECT_NE(p.isListed, p.isKept) << p.printerName;
        if (p.isListed) out += std::string(out.empty() ? "" : ",") + p.printerName;
    }
    return out;
}

}  // namespace

TEST(PrinterList, LevelChosenByPlatform) {
    struct Case {
        const char* platform;
        const char* call;
    } cases[] = {{"nt", "EnumPrintersA flags=0x6 level=4"},
                 {"9x", "EnumPrintersA flags=0x6 level=5"},
                 {"win32s", "EnumPrintersA flags=0x6 level=2"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.platform);
        Inventory inv(std::string("[system]\nplatform = ") + c.platform + "\n" + Printer("Office", "D", kFamily));
        EXPECT_EQ(1, inv.Build());
        EXPECT_TRUE(inv.Called(c.call));
        // Opened for reading only.
        EXPECT_TRUE(inv.Called("OpenPrinterA Office access=0x20008"));
        EXPECT_EQ(std::vector<std::string>{"Office"}, inv.Names());
        EXPECT_EQ(0u, inv.machine->handles.openCount());
    }
}

TEST(PrinterList, FamilyPavedAndForeignPrinters) {
    Inventory inv(kMixed);
    EXPECT_EQ(4, inv.Build());
    ASSERT_EQ(4u, inv.printers.Count());
    EXPECT_EQ((std::vector<std::string>{"Office", "Reception", "Masked", "Plotter"}), inv.Names());

    const CPrinterEntry& office = inv.Entry("Office");
    EXPECT_EQ(1, office.isFamily);
    EXPECT_EQ("", office.pavedName);
    EXPECT_EQ(0, office.isForeign);
    EXPECT_EQ("Vestral X Driver", office.driverName);
    EXPECT_EQ("", office.location);

    const CPrinterEntry& reception = inv.Entry("Reception");
    EXPECT_EQ(1, reception.isFamily);
    EXPECT_EQ("Front", reception.pavedName);
    EXPECT_EQ(0, reception.isForeign);

    const CPrinterEntry& masked = inv.Entry("Masked");
    EXPECT_EQ(0, masked.isFamily);
    EXPECT_EQ("Office", masked.pavedName);
    EXPECT_EQ(0, masked.isForeign);

    // Appended and counted, but never listed.
    const CPrinterEntry& plotter = inv.Entry("Plotter");
    EXPECT_EQ(1, plotter.isForeign);
    EXPECT_EQ(1, plotter.isListed);
    EXPECT_EQ(0, plotter.isKept);
    EXPECT_EQ(0, plotter.isDeleted);

    CUninstallDatabase db;
    db.printers = inv.printers;
    EXPECT_EQ(3, db.ListedPrinterCount());
    db.printers.Front().isDeleted = 1;
    EXPECT_EQ(2, db.ListedPrinterCount());
    CUninstallDatabase empty;
    EXPECT_EQ(0, empty.ListedPrinterCount());

    // A second loading pass appends every printer again.
    EXPECT_EQ(4, inv.Build());
    EXPECT_EQ(8u, inv.printers.Count());
}

TEST(PrinterList, PrinterDataThatDoesNotFitCountsAsAbsent) {
    Inventory inv("[system]\nplatform = nt\n" +
                  Printer("Long", "D", "data.VestralDriver04 = " + std::string(300, '1') +
                                           "\ndata.PavPrinter = " + std::string(255, 'p') + "\n") +
                  Printer("TooLong", "D", "data.PavPrinter = " + std::string(256, 'p') + "\n"));
    EXPECT_EQ(2, inv.Build());
    EXPECT_EQ(0, inv.Entry("Long").isFamily);
    EXPECT_EQ(std::string(255, 'p'), inv.Entry("Long").pavedName);
    EXPECT_EQ("", inv.Entry("TooLong").pavedName);
    EXPECT_EQ(1, inv.Entry("TooLong").isForeign);
}

TEST(PrinterList, Win32sCountsEveryPrinterAsFamilyAndHasNoConnections) {
    Inventory inv("[system]\nplatform = win32s\n" + Printer("Plain", "Acme") +
                  Printer("\\\\SRV\\Remote", "Acme", "server = SRV\n"));
    EXPECT_EQ(2, inv.Build());
    EXPECT_EQ(1, inv.Entry("Plain").isFamily);
    EXPECT_EQ(0, inv.Entry("Plain").isForeign);
    EXPECT_EQ("", inv.Entry("\\\\SRV\\Remote").location);
}

TEST(PrinterList, DefaultPrinterByAttributeOrExactProfileName) {
    const std::map<std::string, std::string> winIni = {{"C/Windows/win.ini", "[windows]\ndevice=Office,winspool,USB001\n"}};
    {
        SCOPED_TRACE("named in the profile, attribute not set");
        Inventory inv("[system]\nplatform = nt\n" + Printer("Office", "D", kFamily) + Printer("Other", "D", kFamily),
                      "", winIni);
        EXPECT_EQ(2, inv.Build());
        EXPECT_EQ(1, inv.Entry("Office").isDefault);
        EXPECT_EQ(0, inv.Entry("Other").isDefault);
    }
    {
        SCOPED_TRACE("the profile names it in another letter case");
        Inventory inv("[system]\nplatform = nt\n" + Printer("office", "D", kFamily), "", winIni);
        EXPECT_EQ(1, inv.Build());
        EXPECT_EQ(0, inv.Entry("office").isDefault);
    }
    {
        SCOPED_TRACE("other letter case, but the attribute says so");
        Inventory inv("[system]\nplatform = nt\n" + Printer("office", "D", std::string(kFamily) + "default = yes\n"),
                      "", winIni);
        EXPECT_EQ(1, inv.Build());
        EXPECT_EQ(1, inv.Entry("office").isDefault);
    }
    {
        SCOPED_TRACE("attribute only, no profile line");
        Inventory inv("[system]\nplatform = 9x\n" + Printer("Office", "D", "attributes = local,default\n"));
        EXPECT_EQ(1, inv.Build());
        EXPECT_EQ(1, inv.Entry("Office").isDefault);
    }
}

TEST(PrinterList, ConnectionsKeepTheirServerUnlessItIsThisComputer) {
    Inventory inv("[system]\nplatform = nt\ncomputer = PC01\n" + Printer("Local", "D", kFamily) +
                  Printer("\\\\SRV\\Shared", "D", std::string(kFamily) + "server = SRV\n") +
                  Printer("\\\\PC01\\Own", "D", std::string(kFamily) + "server = PC01\n"));
    EXPECT_EQ(3, inv.Build());
    EXPECT_EQ("", inv.Entry("Local").location);
    EXPECT_EQ("\\\\SRV", inv.Entry("\\\\SRV\\Shared").location);
    // The server name is "\\PC01", the computer name "PC01": they differ, so the location stays.
    EXPECT_EQ("\\\\PC01", inv.Entry("\\\\PC01\\Own").location);
}

TEST(PrinterList, CommandLineFilter) {
    const std::string machine = "[system]\nplatform = nt\n" + Printer("A1", "Acme Laser", kFamily) +
                                Printer("A2", "acme inkjet", kFamily) + Printer("O1", "OTHER Thing", kFamily) +
                                Printer("V1", "Vestral X Driver", kFamily) +
                                Printer("P1", "Vestral X", std::string(kFamily) + "data.PavPrinter = V1\n") +
                                Printer("F1", "Acme Foreign");
    struct Case {
        const char* tail;
        const char* listed;
    } cases[] = {
        {"", "A1,A2,O1,V1,P1,F1"},
        // Prefixes in quotes, any letter case.
        {"/MFG:\"Acme\",\"Other\"", "A1,A2,O1,F1"},
        {"-mfg:acme", "A1,A2,F1"},
        // Whole driver names, any letter case; a prefix is not enough.
        {"/PRN:\"vestral x driver\"", "V1"},
        {"/PRN:Vestral", ""},
        {"/PRN:\"Vestral X\"", "P1"},
        // MFG and PRN together: either matches.
        {"/MFG:Other /PRN:\"Vestral X\"", "O1,P1"},
        // Values of one option given twice are all used.
        {"/PRN:\"Vestral X\" /PRN:\"Acme Laser\"", "A1,P1"},
        // UNPAV lists the paved printers only, whatever MFG and PRN say.
        {"-UNPAV", "P1"},
        {"-UNPAV /MFG:Acme", "P1"},
        {"/PRN:\"Acme Laser\" /unpav", "P1"},
        // An option without values matches nothing.
        {"/MFG", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tail);
        Inventory inv(machine, c.tail);
        EXPECT_EQ(6, inv.Build());
        EXPECT_EQ(c.listed, Listed(inv));
    }
    {
        SCOPED_TRACE("values beyond 256 characters");
        Inventory inv(machine, "/MFG:Acme," + std::string(250, 'z') + " /PRN:\"Vestral X\"");
        EXPECT_EQ(6, inv.Build());
        EXPECT_EQ("P1", Listed(inv));
    }
}

TEST(PrinterList, PrintersThatCannotBeOpenedAreSkipped) {
    Inventory inv("[system]\nplatform = nt\n" + Printer("Open", "D", kFamily) +
                  Printer("Closed", "D", std::string(kFamily) + "openable = no\n") + Printer("Also", "D", kFamily));
    EXPECT_EQ(2, inv.Build());
    EXPECT_EQ((std::vector<std::string>{"Open", "Also"}), inv.Names());
    EXPECT_EQ(0u, inv.machine->handles.openCount());
}

TEST(PrinterList, NoPrintersNoMessage) {
    Inventory inv("[system]\nplatform = nt\n");
    SetLastError(RPC_S_SERVER_UNAVAILABLE);  // left over from an earlier call
    EXPECT_EQ(0, inv.Build());
    EXPECT_TRUE(inv.printers.IsEmpty());
    EXPECT_EQ(0u, inv.machine->transcript.count("message box"));
    EXPECT_STREQ("", inv.dlg->diagnostic);
    EXPECT_EQ(0, inv.dlg->ended);
}

TEST(PrinterList, SpoolerThatDoesNotAnswerIsReported) {
    Inventory inv(kMixed + "[spooler]\nstate = unresponsive\n");
    EXPECT_EQ(0, inv.Build());
    EXPECT_TRUE(inv.printers.IsEmpty());
    char text[512], caption[64];
    ASSERT_GT(LoadStringA(NULL, 206, text, sizeof text), 0);
    ASSERT_GT(LoadStringA(NULL, 161, caption, sizeof caption), 0);
    std::string shown;
    for (char* p = text; *p; ++p) shown += *p == '\n' ? std::string("\\n") : std::string(1, *p);
    EXPECT_EQ(1u, inv.machine->transcript.count(std::string("message box \"") + caption + "\": \"" + shown + "\""));
    EXPECT_EQ(1u, inv.machine->transcript.lines.size());
    EXPECT_EQ(1, inv.dlg->ended);
}

TEST(PrinterList, FailureRecords) {
    {
        SCOPED_TRACE("no buffer for the printer list");
        Inventory inv(kMixed + "[spoolerfault]\nfunction = EnumPrintersA\ncall = 1\nerror = 122\nneeded = 2000000000\n");
        EXPECT_EQ(0, inv.Build());
        EXPECT_TRUE(inv.printers.IsEmpty());
        EXPECT_STREQ("CLoadingDlg::BuildListOfInstalledPrinters failed \nFunction: _alloca \nLast Error Code: 122 \n"
                     "Desc: FAILED to ALLOCA!!! \nBytes needed: 2000000000 \n: 0",
                     inv.dlg->diagnostic);
        EXPECT_EQ(0u, inv.machine->transcript.count("message box"));
    }
    {
        SCOPED_TRACE("the second EnumPrintersA");
        Inventory inv(kMixed + "[spoolerfault]\nfunction = EnumPrintersA\ncall = 2\nerror = 1722\nneeded = 500\n");
        EXPECT_EQ(0, inv.Build());
        EXPECT_TRUE(inv.printers.IsEmpty());
        EXPECT_STREQ("CLoadingDlg::BuildListOfInstalledPrinters failed \nFunction: EnumPrinters \nLast Error Code: 1722 \n"
                     "Desc: failed to enum printers \nBytes needed: 500 \nbytes returned: 0",
                     inv.dlg->diagnostic);
    }
    {
        SCOPED_TRACE("the repeated GetPrinterA of the second printer");
        Inventory inv(kMixed + "[spoolerfault]\nfunction = GetPrinterA\ncall = 4\nerror = 5\nneeded = 321\n");
        EXPECT_EQ(0, inv.Build());
        // The entry appended before the failure stays; the rest is not examined.
        EXPECT_EQ(std::vector<std::string>{"Office"}, inv.Names());
        const std::string d = inv.dlg->diagnostic;
        EXPECT_EQ(0u, d.find("CLoadingDlg::BuildListOfInstalledPrinters failed \nFunction: GetPrinter \n"
                             "Last Error Code: 5 \nDesc: unable to GetPrinter level 2 data \nhPrinter: "))
            << d;
        EXPECT_NE(std::string::npos, d.find(" \nBuffer: 321")) << d;
        EXPECT_EQ(0u, inv.machine->handles.openCount());  // the printer being read is closed
    }
    {
        SCOPED_TRACE("level 2 data without a size before any buffer exists");
        Inventory inv(kMixed + "[spoolerfault]\nfunction = GetPrinterA\ncall = 1\nerror = 8\n");
        // The first printer is counted, but has no entry; the others are read normally.
        EXPECT_EQ(4, inv.Build());
        EXPECT_EQ((std::vector<std::string>{"Reception", "Masked", "Plotter"}), inv.Names());
        EXPECT_STREQ("", inv.dlg->diagnostic);
        EXPECT_EQ(0u, inv.machine->handles.openCount());
    }
}
