// Printer drivers per environment: the profile's drivers and those of removed printers go unless a printer
// that stays uses them; the PostScript drivers of Pavane; the registry keys and the OEM INF of each
// deleted driver, and none for a driver that stays installed.
#include <gtest/gtest.h>

#include "removal/driver_remover.h"
#include "support/removal_support.h"

namespace {

const char kInf[] = "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Printer\r\n[Strings]\r\nPrinterName1=\"Vestral X Driver, Vestral L Driver\"\r\n";

class DriverRemover : public removaltest::LoadedRemoverTest {
protected:
    void Use(const std::string& ini, const std::map<std::string, std::string>& files = {}) {
        LoadedRemoverTest::Use(ini, files);
        database->pavaneStays = 1;
    }
    CPrinterEntry& Entry(const char* name, const char* driver, int kept) {
        CPrinterEntry& p = database->printers.AddNew();
        CopyText(p.printerName, name);
        CopyText(p.driverName, driver);
        p.isKept = kept;
        p.isFamily = 1;
        return p;
    }
    std::vector<std::string> Drivers(const char* environment) {
        DWORD needed = 0, count = 0;
        EnumPrinterDriversA(NULL, const_cast<LPSTR>(environment), 2, NULL, 0, &needed, &count);
        std::vector<BYTE> buffer(needed + 1);
        std::vector<std::string> out;
        if (!EnumPrinterDriversA(NULL, const_cast<LPSTR>(environment), 2, buffer.data(), needed, &needed, &count)) return out;
        for (DWORD i = 0; i < count; ++i) out.push_back(reinterpret_cast<DRIVER_INFO_2A*>(buffer.data())[i].pName);
        return out;
    }
    std::vector<std::string> Queued() {
        std::vector<std::string> out;
        for (const char* item : database->removal.registryKeys) out.push_back(item);
        return out;
    }
};

TEST_F(DriverRemover, DriversOfRemovedPrintersGoUnlessAKeptPrinterUsesThem) {
    Use("[driver]\nname = Vestral X Driver\n[driver]\nname = Vestral L Driver\n[driver]\nname = Listed Only\n"
        "[driver]\nname = Acme Q\n");
    Entry("Office", "Vestral X Driver", 0);  // removed, but...
    Entry("Home", "Vestral X Driver", 1);    // ... Home stays on the same driver
    Entry("Labels", "Vestral L Driver", 0);
    database->removal.drivers.Add("Listed Only");
    Learn();
    RemovePrinterDrivers(context, NULL);
    EXPECT_EQ((std::vector<std::string>{"Vestral X Driver", "Acme Q"}), Drivers(NULL));
}

TEST_F(DriverRemover, ADriverStillInUseKeepsItsKeysAndItsInf) {
    Use("[driver]\nname = Vestral X Driver\n[printer]\nname = Unknown\ndriver = Vestral X Driver\nport = LPT1:\n",
        {{"C/Windows/INF/oem7.inf", kInf}, {"C/Windows/INF/oem7.pnf", "pnf"}});
    database->removal.drivers.Add("Vestral X Driver");  // a printer the tool does not list still uses it
    Learn();
    RemovePrinterDrivers(context, NULL);
    EXPECT_EQ((std::vector<std::string>{"Vestral X Driver"}), Drivers(NULL));
    EXPECT_TRUE(Queued().empty());
    EXPECT_TRUE(m->files.exists("C:\\Windows\\INF\\oem7.inf"));
}

TEST_F(DriverRemover, ADeletedDriverQueuesItsKeysPerVersionAndUninstallsItsFirstOemInf) {
    Use("[driver]\nname = Vestral L Driver\nenvironment = Windows NT x86\n",
        {{"C/Windows/INF/oem2.inf", kInf}, {"C/Windows/INF/oem2.pnf", "pnf"}, {"C/Windows/INF/oem9.inf", kInf},
         {"C/Windows/INF/ntprint.inf", kInf}});
    database->removal.drivers.Add("Vestral L Driver");
    Learn();
    RemovePrinterDrivers(context, "Windows NT x86");
    EXPECT_TRUE(Drivers("Windows NT x86").empty());
    std::vector<std::string> queued = Queued();
    ASSERT_EQ(4u, queued.size());
    EXPECT_NE(std::string::npos, queued[0].find("Environments\\Windows NT x86\\Drivers\\Version-0\\Vestral L Driver"));
    EXPECT_NE(std::string::npos, queued[3].find("Version-3\\Vestral L Driver"));
    EXPECT_FALSE(m->files.exists("C:\\Windows\\INF\\oem2.inf"));
    EXPECT_FALSE(m->files.exists("C:\\Windows\\INF\\oem2.pnf"));
    EXPECT_TRUE(m->files.exists("C:\\Windows\\INF\\oem9.inf"));     // only the first OEM INF naming it
    EXPECT_TRUE(m->files.exists("C:\\Windows\\INF\\ntprint.inf"));  // not an OEM INF
}

TEST_F(DriverRemover, PostScriptDriversGoWithPavaneUnlessAPrinterCarriesTheirName) {
    Use("[driver]\nname = Pavane (PSCRIPT)\n[driver]\nname = Named (PSCRIPT)\n"
        "[printer]\nname = Named (PSCRIPT)\ndriver = Named (PSCRIPT)\nport = LPT1:\n");
    Learn();
    RemovePrinterDrivers(context, NULL);
    EXPECT_EQ(2u, Drivers(NULL).size());  // Pavane stays: nothing of it goes
    database->pavaneStays = 0;
    Learn();
    RemovePrinterDrivers(context, NULL);
    EXPECT_EQ((std::vector<std::string>{"Named (PSCRIPT)"}), Drivers(NULL));
}

// An INF names its models as a whole: a driver whose name is only part of one of them has no INF there.
TEST_F(DriverRemover, FindOemInfMatchesAWholeNameOfThePrinterNames) {
    Use("", {{"C/Windows/INF/Oem3.inf", kInf}});
    const struct {
        const char* driver;
        const char* inf;
    } rows[] = {{"Vestral L Driver", "Oem3.inf"}, {"Vestral X Driver", "Oem3.inf"}, {"L Driver", ""},
                {"Vestral", ""}, {"vestral x driver", ""}};  // the comparison keeps letter case
    for (const auto& row : rows) {
        char out[MAX_PATH] = "";
        FindOemInf(out, row.driver);
        EXPECT_STREQ(row.inf, out) << row.driver;
    }
}

// A driver installed for two environments came from one INF: it is uninstalled once, with the first copy.
TEST_F(DriverRemover, TheInfOfADriverOfTwoEnvironmentsIsUninstalledOnce) {
    Use("[driver]\nname = Vestral L Driver\n[driver]\nname = Vestral L Driver\nenvironment = Windows NT x86\n",
        {{"C/Windows/INF/oem2.inf", kInf}, {"C/Windows/INF/oem3.inf", kInf}});
    database->removal.drivers.Add("Vestral L Driver");
    Learn();
    RemovePrinterDrivers(context, NULL);
    RemovePrinterDrivers(context, "Windows NT x86");
    EXPECT_TRUE(Drivers("Windows NT x86").empty());
    EXPECT_FALSE(m->files.exists("C:\\Windows\\INF\\oem2.inf"));
    EXPECT_TRUE(m->files.exists("C:\\Windows\\INF\\oem3.inf"));  // a second INF naming it stays
}

}  // namespace
