// The whole plan of `korun04-sim --plan`: the printers as the enumeration and the user's choice left
// them, keep, removal and the selection's counters; its errors; and the simulator's command line.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "support/temp_machine.h"
#include "tools/korun04-sim/plan.h"

using testmachine::Load;

namespace {

const char kScript[] =
    "[UnPrinterDrivers]\r\n\"Vestral X Driver\",VX,1\r\n\"Vestral L Driver\",VL,2\r\n"
    "[UnPrinterMfgs]\r\nPavane,PAV,1\r\n"
    "[VX.Files]\r\nx.dll\r\nshared.dll\r\n[VX.RegistryKeys]\r\nHKLM,\"SOFTWARE\\VESTRAL\\VX\",\"\",1\r\n"
    "[VL.Files]\r\nl.dll\r\nshared.dll\r\n"
    "[PAV.Files]\r\nPAVANE32.EXE\r\n";

const char kMachine[] =
    "[system]\nplatform = nt\n"
    "[printer]\nname = Office\ndriver = Vestral X Driver\nport = USB001\ndefault = yes\ndata.VestralDriver04 = 1\n"
    "[printer]\nname = Front\ndriver = Acme 9\nport = USB003\ndata.PavPrinter = Office\n"
    "[printer]\nname = Labels\ndriver = Vestral L Driver\nport = USB002\ndata.VestralDriver04 = 1\n"
    "[printer]\nname = Plotter\ndriver = Acme Plotter\nport = LPT1:\n";

const std::map<std::string, std::string> kFiles = {
    {"C/Windows/System32/spool/drivers/x64/Kunz__04.unm", kScript}};

struct PlanRun {
    int result = -1;
    std::string out, err;
};

PlanRun Plan(const std::string& machineIni, const std::string& tail, std::vector<std::string> selects,
             bool selectAll = false) {
    auto m = Load(machineIni, kFiles);
    simwin::MachineScope scope(*m);
    m->system.commandTail = tail;
    std::ostringstream out, err;
    PlanRun r;
    r.result = RunPlan(out, err, selects, selectAll);
    r.out = out.str();
    r.err = err.str();
    return r;
}

// The text from a section header up to the next header of another kind (all sections of that kind).
std::string Sections(const std::string& plan, const std::string& first, const std::string& next) {
    size_t a = plan.find("[" + first + "]\n");
    size_t b = plan.find("[" + next + "]\n", a);
    if (a == std::string::npos) return "";
    return plan.substr(a, b == std::string::npos ? std::string::npos : b - a);
}

std::string PrinterSection(const char* name, const char* driver, const char* paved, int family, int isDefault,
                           int kept, int foreign, int listed) {
    std::ostringstream s;
    s << "[printer]\nname = " << name << "\ndriver = " << driver << "\npaved =" << (*paved ? " " : "") << paved
      << "\nlocation =\nfamily = " << family << "\ndefault = " << isDefault << "\nkept = " << kept
      << "\nforeign = " << foreign << "\nlisted = " << listed << "\n";
    return s.str();
}

}  // namespace

TEST(PlanSelection, ChosenPrinterTakesItsPavedPrinterAlong) {
    PlanRun r = Plan(kMachine, "", {"office"});
    ASSERT_EQ(0, r.result) << r.err;
    EXPECT_EQ(PrinterSection("Office", "Vestral X Driver", "", 1, 1, 0, 0, 1) +
                  PrinterSection("Front", "Acme 9", "Office", 0, 0, 0, 0, 1) +
                  PrinterSection("Labels", "Vestral L Driver", "", 1, 0, 1, 0, 1) +
                  PrinterSection("Plotter", "Acme Plotter", "", 0, 0, 0, 1, 1),
              Sections(r.out, "printer", "combined"));
    EXPECT_EQ("[keep]\nfiles = l.dll\nfiles = shared.dll\ndrivers = Vestral L Driver\n",
              Sections(r.out, "keep", "removal"));
    EXPECT_EQ("[removal]\nfiles = x.dll\ndrivers = Vestral X Driver\n"
              "registryKeys = HKLM,\"SOFTWARE\\VESTRAL\\VX\",\"\",1\n",
              Sections(r.out, "removal", "selection"));
    // Office and the paved Front go, Labels stays; the foreign Plotter is not counted.
    EXPECT_EQ("[selection]\nremoving = 2\nremaining = 1\npavaneStays = 1\n", Sections(r.out, "selection", "refused"));
    // The sections come in their order.
    EXPECT_EQ(0u, r.out.find("[script]\npath = C:\\Windows\\System32\\spool\\drivers\\x64\\Kunz__04.unm\n[profile]\n"));
    EXPECT_LT(r.out.find("[profile]"), r.out.find("[printer]"));
    EXPECT_LT(r.out.find("[printer]"), r.out.find("[combined]"));
    EXPECT_LT(r.out.find("[combined]"), r.out.find("[keep]"));
}

TEST(PlanSelection, EverythingGoesWithEveryPrinter) {
    for (bool selectAll : {false, true}) {
        PlanRun r = Plan(kMachine, "", {}, selectAll);
        ASSERT_EQ(0, r.result) << r.err;
        EXPECT_EQ("[removal]\nfiles = Kunz__04.unm\nfiles = l.dll\nfiles = PAVANE32.EXE\nfiles = shared.dll\n"
                  "files = x.dll\ndrivers = Vestral L Driver\ndrivers = Vestral X Driver\n"
                  "registryKeys = HKLM,\"SOFTWARE\\VESTRAL\",\"\",0\n"
                  "registryKeys = HKLM,\"SOFTWARE\\VESTRAL\\Filters\",\"\",1\n"
                  "registryKeys = HKLM,\"SOFTWARE\\VESTRAL\\OEM04\",\"\",1\n"
                  "registryKeys = HKLM,\"SOFTWARE\\VESTRAL\\VSR32_04\",\"\",1\n"
                  "registryKeys = HKLM,\"SOFTWARE\\VESTRAL\\VX\",\"\",1\n",
                  Sections(r.out, "removal", "selection"));
        EXPECT_EQ("[selection]\nremoving = 3\nremaining = 0\npavaneStays = 0\n", Sections(r.out, "selection", "refused"));
    }
}

TEST(PlanSelection, PrintersTheFilterHidesStayKept) {
    PlanRun r = Plan(kMachine, "/PRN:\"Vestral L Driver\"", {}, true);
    ASSERT_EQ(0, r.result) << r.err;
    EXPECT_EQ(PrinterSection("Office", "Vestral X Driver", "", 1, 1, 1, 0, 0) +
                  PrinterSection("Front", "Acme 9", "Office", 0, 0, 1, 0, 0) +
                  PrinterSection("Labels", "Vestral L Driver", "", 1, 0, 0, 0, 1) +
                  PrinterSection("Plotter", "Acme Plotter", "", 0, 0, 1, 1, 0),
              Sections(r.out, "printer", "combined"));
    EXPECT_EQ("[removal]\nfiles = l.dll\ndrivers = Vestral L Driver\n", Sections(r.out, "removal", "selection"));

    // UNPAV lists only the paved printer; the combined profile is Pavane's alone.
    r = Plan(kMachine, "-UNPAV", {"Front"});
    ASSERT_EQ(0, r.result) << r.err;
    EXPECT_EQ("[combined]\nfiles = PAVANE32.EXE\n", Sections(r.out, "combined", "keep"));
    EXPECT_EQ("[selection]\nremoving = 1\nremaining = 2\npavaneStays = 0\n", Sections(r.out, "selection", "refused"));
}

TEST(PlanSelection, NamesThatMatchNoListedPrinter) {
    PlanRun r = Plan(kMachine, "", {"Office", "Nowhere", "Plotter"});
    EXPECT_EQ(2, r.result);
    EXPECT_EQ("", r.out);
    EXPECT_NE(std::string::npos, r.err.find("--select Nowhere: no listed printer has that name")) << r.err;
    EXPECT_NE(std::string::npos, r.err.find("--select Plotter: that printer is not listed")) << r.err;
    EXPECT_EQ(std::string::npos, r.err.find("--select Office")) << r.err;
    EXPECT_NE(std::string::npos, r.err.find("listed printers: Office, Front, Labels")) << r.err;
}

TEST(PlanSelection, LoadingFailuresEndWithoutAPlan) {
    PlanRun r = Plan(std::string(kMachine) + "[spooler]\nstate = unresponsive\n", "", {});
    EXPECT_EQ(1, r.result);
    EXPECT_EQ("", r.out);
    EXPECT_NE(std::string::npos, r.err.find("does not answer")) << r.err;

    r = Plan(std::string(kMachine) + "[spooler]\nstate = no-start\n", "", {});
    EXPECT_EQ(1, r.result);
    EXPECT_NE(std::string::npos, r.err.find("does not start")) << r.err;

    std::string user = kMachine;
    user.replace(user.find("platform = nt"), 13, "platform = nt\nadmin = no");
    r = Plan(user, "", {});
    EXPECT_EQ(1, r.result);
    EXPECT_NE(std::string::npos, r.err.find("not an administrator")) << r.err;

    // A stopped spooler is started by the loading phase, as the tool does.
    r = Plan(std::string(kMachine) + "[spooler]\nstate = stopped\n", "", {});
    EXPECT_EQ(0, r.result) << r.err;
}

TEST(PlanSelection, SimulatorCommandLine) {
    testmachine::TempDir dir;
    testmachine::WriteFile(dir.path / "machine.ini", kMachine);
    testmachine::WriteFile(dir.path / "drive/C/Windows/System32/spool/drivers/x64/Kunz__04.unm", kScript);
    const std::string machine = "--machine '" + dir.path.string() + "'";

    testmachine::SimResult r = testmachine::RunSim(machine + " --plan --select Labels -- /MFG:Vestral");
    EXPECT_EQ(0, r.exitCode) << r.out;
    EXPECT_NE(std::string::npos, r.out.find(PrinterSection("Labels", "Vestral L Driver", "", 1, 0, 0, 0, 1)));
    // Office stays, and so does Front, which the filter hides (it masks Office, which stays).
    EXPECT_NE(std::string::npos, r.out.find("[selection]\nremoving = 1\nremaining = 2\npavaneStays = 1\n")) << r.out;

    r = testmachine::RunSim(machine + " --plan --select Nope");
    EXPECT_NE(0, r.exitCode);
    EXPECT_NE(std::string::npos, r.out.find("--select Nope: no listed printer has that name")) << r.out;
    EXPECT_EQ(std::string::npos, r.out.find("[script]")) << r.out;

    r = testmachine::RunSim("--machine '" + (dir.path / "missing").string() + "' --plan");
    EXPECT_NE(0, r.exitCode);
    EXPECT_NE(std::string::npos, r.out.find("cannot load the machine")) << r.out;

    // The machine is only read: a saved plan run removes nothing.
    testmachine::TempDir saved;
    r = testmachine::RunSim(machine + " --plan --save '" + saved.path.string() + "'");
    EXPECT_EQ(0, r.exitCode) << r.out;
    std::string ini = testmachine::ReadFile(saved.path / "machine.ini");
    EXPECT_NE(std::string::npos, ini.find("name = Plotter"));
    EXPECT_TRUE(std::filesystem::exists(saved.path / "drive/C/Windows/System32/spool/drivers/x64/Kunz__04.unm"));
}
