// The [script], [profile] and [combined] sections of the plan, from the loading steps on a machine built here.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "simwin/machine.h"
#include "tools/korun04-sim/plan.h"

namespace {

const std::string kDrivers = "C:\\Windows\\System32\\spool\\drivers\\x64\\";
const std::string kProgram = "C:\\Program Files\\Vestral\\";
const std::string kSystem = "C:\\Windows\\System32\\";

// Steps 6 to 8 of the loading: the scripts of the four directories, parsed, combined, the Pavane option.
int LoadScripts(CUninstallDatabase& database, CTextList& scripts, bool unpav) {
    database.FindAllScripts(scripts);
    int read = 0;
    for (const char* path : scripts) read += database.ParseScript(path);
    database.BuildCombinedProfile();
    database.ApplyPavaneOption(unpav ? 1 : 0);
    return read;
}

class Plan : public ::testing::Test {
protected:
    simwin::Machine m;
    simwin::MachineScope scope{m};
    CUninstallDatabase db;
    CTextList scripts;

    void SetUp() override {
        m.files.writeFile(kDrivers + "Kunz__04.unm",
                          "[UnPrinterDrivers]\r\n\"Vestral X Driver\",VXDRV,1\r\n"
                          "[VXDRV.Files]\r\nb.dll\r\na.dll\r\n"
                          "[VXDRV.RegistryKeys]\r\nHKLM,\"SOFTWARE\\VESTRAL\\VX\",\"\",1\r\n");
        m.files.writeFile(kDrivers + "3\\Kunz__04.unm",
                          "[UnPrinterMfgs]\r\nPavane,PAV,2\r\n[PAV.Files]\r\nPAVANE32.EXE\r\na.dll\r\n"
                          "[PAV.DeleteLoadRun]\r\nPavane,PAVANE32.EXE\r\n");
        m.files.writeFile(kProgram + "Kunz__04.unm", "[Unx_Ignore]\r\nOther Driver\r\n[.Files]\r\nother.dll\r\n");
        m.files.writeFile(kSystem + "Kunz__04.unm", "[Unz_CatchAll]\r\nVestral Generic,GEN\r\n[GEN.Services]\r\nVSvc\r\n");
    }
    std::string Print(bool unpav) {
        EXPECT_EQ(4, LoadScripts(db, scripts, unpav));
        std::ostringstream out;
        PrintPlanScripts(out, scripts);
        PrintPlanProfiles(out, db);
        PrintPlanCombined(out, db);
        return out.str();
    }
};

TEST_F(Plan, PrintsScriptsProfilesAndCombinedInOrder) {
    EXPECT_EQ("[script]\n"
              "path = C:\\Program Files\\Vestral\\Kunz__04.unm\n"
              "[script]\n"
              "path = C:\\Windows\\System32\\Kunz__04.unm\n"
              "[script]\n"
              "path = C:\\Windows\\System32\\spool\\drivers\\x64\\3\\Kunz__04.unm\n"
              "[script]\n"
              "path = C:\\Windows\\System32\\spool\\drivers\\x64\\Kunz__04.unm\n"
              "[profile]\n"
              "name = Other Driver\n"
              "kind = ignore\n"
              "section =\n"
              "number = 0\n"
              "script = C:\\Program Files\\Vestral\\Kunz__04.unm\n"
              "files = other.dll\n"
              "drivers = Other Driver\n"
              "[profile]\n"
              "name = Pavane\n"
              "kind = manufacturer\n"
              "section = PAV\n"
              "number = 2\n"
              "script = C:\\Windows\\System32\\spool\\drivers\\x64\\3\\Kunz__04.unm\n"
              "deleteLoadRun = Pavane,PAVANE32.EXE\n"
              "files = a.dll\n"
              "files = PAVANE32.EXE\n"
              "[profile]\n"
              "name = Vestral Generic\n"
              "kind = catchall\n"
              "section = GEN\n"
              "number = 0\n"
              "script = C:\\Windows\\System32\\Kunz__04.unm\n"
              "services = VSvc\n"
              "drivers = Vestral Generic\n"
              "[profile]\n"
              "name = Vestral X Driver\n"
              "kind = driver\n"
              "section = VXDRV\n"
              "number = 1\n"
              "script = C:\\Windows\\System32\\spool\\drivers\\x64\\Kunz__04.unm\n"
              "files = a.dll\n"
              "files = b.dll\n"
              "drivers = Vestral X Driver\n"
              "registryKeys = HKLM,\"SOFTWARE\\VESTRAL\\VX\",\"\",1\n"
              "[combined]\n"
              "services = VSvc\n"
              "files = b.dll\n"
              "drivers = Vestral Generic\n"
              "drivers = Vestral X Driver\n"
              "registryKeys = HKLM,\"SOFTWARE\\VESTRAL\\VX\",\"\",1\n",
              Print(false));
}

TEST_F(Plan, UnpavMakesCombinedThePavaneProfile) {
    std::string plan = Print(true);
    std::string combined = plan.substr(plan.find("[combined]"));
    EXPECT_EQ("[combined]\n"
              "deleteLoadRun = Pavane,PAVANE32.EXE\n"
              "files = a.dll\n"
              "files = PAVANE32.EXE\n",
              combined);
}

TEST_F(Plan, WithoutScriptsOnlyTheCombinedHeaderIsPrinted) {
    CUninstallDatabase empty;
    simwin::Machine bare;
    simwin::MachineScope bareScope(bare);
    CTextList none;
    EXPECT_EQ(0, LoadScripts(empty, none, false));
    std::ostringstream out;
    PrintPlanScripts(out, none);
    PrintPlanProfiles(out, empty);
    PrintPlanCombined(out, empty);
    EXPECT_EQ("[combined]\n", out.str());
}

TEST(PlanTail, RecognisesTheUnpavOption) {
    EXPECT_TRUE(CommandTailHasUnpav("-UNPAV"));
    EXPECT_TRUE(CommandTailHasUnpav("/MFG:\"Acme\" /unpav"));
    EXPECT_TRUE(CommandTailHasUnpav("/Unpav:x"));
    EXPECT_FALSE(CommandTailHasUnpav("UNPAV"));
    EXPECT_FALSE(CommandTailHasUnpav("/UNPAVED"));
    EXPECT_FALSE(CommandTailHasUnpav(""));
}

}  // namespace
