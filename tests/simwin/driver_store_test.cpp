// The driver store behind level 8's pszInfPath: on a Windows 8 or later machine a published INF that has a
// store copy is reported as that copy, for a third-party package and an inbox INF alike; an older machine, or
// a published INF without a copy, reports the INF as [driver] names it. The lookups answer the other place.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "simwin/win32.h"
#include "support/temp_machine.h"

namespace {

const char kVestralInf[] =
    "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Printer\r\n[Strings]\r\nPrinterName1=\"Vestral X Driver\"\r\n";
const char kInboxInf[] = "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Printer\r\n; inbox\r\n";
const char kRepository[] = "C:\\Windows\\System32\\DriverStore\\FileRepository\\";
const std::string kVestralStore = std::string(kRepository) + "vxdrv.inf_amd64_b1452811b370ee51\\vxdrv.inf";
const std::string kInboxStore = std::string(kRepository) + "ntprint.inf_amd64_e9e04523843389b9\\ntprint.inf";

std::unique_ptr<simwin::Machine> StoreMachine(const std::string& version, const std::string& inf, bool withCopies) {
    std::map<std::string, std::string> files = {{"C/Windows/INF/oem3.inf", kVestralInf},
                                                {"C/Windows/INF/ntprint.inf", kInboxInf},
                                                {"C/Windows/System32/spool/drivers/x64/vxdrv.dll", "MZ"}};
    if (withCopies) {
        files["C/Windows/System32/DriverStore/FileRepository/vxdrv.inf_amd64_b1452811b370ee51/vxdrv.inf"] = kVestralInf;
        files["C/Windows/System32/DriverStore/FileRepository/ntprint.inf_amd64_e9e04523843389b9/ntprint.inf"] = kInboxInf;
    }
    return testmachine::Load("[system]\nversion = " + version + "\n[driver]\nname = Vestral X Driver\nfile = vxdrv.dll\n"
                             "inf = " + inf + "\n", files);
}

std::string ReportedInf() {
    DWORD needed = 0, returned = 0;
    EnumPrinterDriversA(NULL, NULL, 8, NULL, 0, &needed, &returned);
    std::vector<BYTE> buffer(needed);
    if (!EnumPrinterDriversA(NULL, NULL, 8, buffer.data(), needed, &needed, &returned) || returned != 1) return "(failed)";
    const char* inf = reinterpret_cast<const DRIVER_INFO_8A*>(buffer.data())->pszInfPath;
    return inf ? inf : "(null)";
}

TEST(DriverStore, Level8ReportsTheStoreCopyOnWindows8AndLater) {
    struct Row {
        const char* version;
        const char* inf;
        bool withCopies;
        std::string reported;
    } rows[] = {
        {"10.0", "oem3.inf", true, kVestralStore},
        {"6.2", "C:\\Windows\\INF\\oem3.inf", true, kVestralStore},
        {"10.0", "C:\\Windows\\INF\\ntprint.inf", true, kInboxStore},
        {"10.0", "oem3.inf", false, "oem3.inf"},                                  // written before the store
        {"6.1", "C:\\Windows\\INF\\oem3.inf", true, "C:\\Windows\\INF\\oem3.inf"},  // Windows 7: no store
        {"10.0", kVestralStore.c_str(), true, kVestralStore},                      // named by its store path
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.version) + " " + row.inf);
        auto m = StoreMachine(row.version, row.inf, row.withCopies);
        simwin::MachineScope scope(*m);
        EXPECT_EQ(row.reported, ReportedInf());
    }
}

TEST(DriverStore, LookupsAnswerTheOtherPlaceAndUninstallTakesBoth) {
    auto m = StoreMachine("10.0", "oem3.inf", true);
    simwin::MachineScope scope(*m);
    char out[MAX_PATH] = "";
    ASSERT_TRUE(SetupGetInfPublishedNameA(kVestralStore.c_str(), out, sizeof out, NULL));
    EXPECT_STREQ("C:\\Windows\\INF\\oem3.inf", out);
    ASSERT_TRUE(SetupGetInfPublishedNameA(kInboxStore.c_str(), out, sizeof out, NULL));
    EXPECT_STREQ("C:\\Windows\\INF\\ntprint.inf", out);
    ASSERT_TRUE(SetupGetInfDriverStoreLocationA("oem3.inf", NULL, NULL, out, sizeof out, NULL));
    EXPECT_EQ(kVestralStore, out);
    SetLastError(0);
    EXPECT_FALSE(SetupGetInfPublishedNameA("D:\\elsewhere\\vxdrv.inf", out, sizeof out, NULL));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());

    m->files.writeFile("C:\\Windows\\INF\\oem3.pnf", "compiled");
    ASSERT_TRUE(SetupUninstallOEMInfA("oem3.inf", SUOI_FORCEDELETE, NULL));
    EXPECT_FALSE(m->files.exists("C:\\Windows\\INF\\oem3.inf"));
    EXPECT_FALSE(m->files.exists("C:\\Windows\\INF\\oem3.pnf"));
    EXPECT_FALSE(m->files.exists(std::string(kRepository) + "vxdrv.inf_amd64_b1452811b370ee51"));
    EXPECT_TRUE(m->files.exists(kInboxStore));
    // A store copy left without its published INF has no published name.
    SetLastError(0);
    EXPECT_FALSE(SetupGetInfDriverStoreLocationA("oem3.inf", NULL, NULL, out, sizeof out, NULL));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
}

}  // namespace
