// The unattended modes as a whole: /QUIET's Windows Installer exit codes for each way a run ends, every
// window hidden and every question answered from the command line, /PLAN's plan beside korun04-sim's, and
// the interactive mode's exit codes as they were.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_machine.h"
#include "support/tool_run.h"
#include "support/test_paths.h"

namespace {

namespace fs = std::filesystem;
using toolrun::Has;
using toolrun::Line;

const char kScript[] =
    "[UnPrinterDrivers]\r\n\"Vestral X Driver\",VXDRV,1\r\n[VXDRV.Files]\r\nvxdrv.dll\r\nvxbusy.dll\r\n"
    "[VXDRV.RegistryKeys]\r\nHKLM,\"SOFTWARE\\VESTRAL\\VX\",\"\",1\r\n";
const char kPrinters[] =
    "[printer]\nname = Office\ndriver = Vestral X Driver\nport = LPT1:\ndata.VestralDriver04 = 1\n"
    "[printer]\nname = Home\ndriver = Vestral X Driver\nport = LPT2:\ndata.VestralDriver04 = 1\n"
    "[printer]\nname = Plotter\ndriver = Acme Plotter\nport = LPT3:\ndefault = yes\n"
    "[driver]\nname = Vestral X Driver\n[driver]\nname = Acme Plotter\n";
const char kBusy[] = "[file]\npath = C:\\Windows\\System32\\spool\\drivers\\x64\\vxbusy.dll\nlocked = yes\n";

class AdminRun : public ::testing::Test {
protected:
    void Use(const std::string& extra, const std::string& system = "[system]\nplatform = nt\n") {
        scope.reset();
        m = testmachine::Load(system + kPrinters + extra, Files());
        scope = std::make_unique<simwin::MachineScope>(*m);
    }
    static std::map<std::string, std::string> Files() {
        return {{"C/Windows/System32/spool/drivers/x64/Kunz__04.unm", kScript},
                {"C/Windows/System32/spool/drivers/x64/vxdrv.dll", "MZ"},
                {"C/Windows/System32/spool/drivers/x64/vxbusy.dll", "MZ"}};
    }
    bool Printer(const char* name) {
        HANDLE h = NULL;
        if (!OpenPrinterA(const_cast<LPSTR>(name), &h, NULL)) return false;
        ClosePrinter(h);
        return true;
    }
    std::string LogText() { return m->files.exists(toolrun::kDefaultLog) ? m->files.read(toolrun::kDefaultLog) : ""; }
    std::vector<Line> Log() { return toolrun::Lines(LogText()); }
    bool Ended(int code) { return LogText().find("end | exit code " + std::to_string(code) + " (") != std::string::npos; }

    std::unique_ptr<simwin::Machine> m;
    std::unique_ptr<simwin::MachineScope> scope;
};

TEST_F(AdminRun, DoneIsZeroAndNothingIsShown) {
    Use("");
    EXPECT_EQ(0, toolrun::Run(*m, "/QUIET /SELECT:ALL"));
    EXPECT_FALSE(Printer("Office"));
    EXPECT_FALSE(Printer("Home"));
    EXPECT_TRUE(Printer("Plotter"));
    EXPECT_FALSE(m->files.exists("C:\\Windows\\System32\\spool\\drivers\\x64\\vxdrv.dll"));
    EXPECT_TRUE(Ended(0)) << LogText();
    // Both dialogs existed and ran, neither was seen; the end-of-run box was logged, not shown.
    EXPECT_EQ(1u, m->transcript.count("(dialog 115) stays hidden"));
    EXPECT_EQ(1u, m->transcript.count("(dialog IDD_MAIN_NOBMP) stays hidden"));
    EXPECT_EQ(0u, m->transcript.count("message box"));
    EXPECT_TRUE(Has(Log(), "message box", "プリンタのアンインストールが完了しました。\" -> OK (not shown)"));
    EXPECT_TRUE(m->services.find("Spooler")->running);
}

TEST_F(AdminRun, ARestartThatIsNeededIs3010AndOnlyRestartStartsIt) {
    Use(kBusy);
    EXPECT_EQ(3010, toolrun::Run(*m, "/QUIET /SELECT:\"Office\",\"Home\""));
    EXPECT_FALSE(m->system.rebootRequested);
    EXPECT_TRUE(Has(Log(), "message box", "今、再起動しますか？\" -> No (not shown)"));

    Use(kBusy);
    EXPECT_EQ(1641, toolrun::Run(*m, "/QUIET /SELECT:ALL /RESTART"));
    EXPECT_TRUE(m->system.rebootRequested);
    EXPECT_TRUE(Has(Log(), "message box", "今、再起動しますか？\" -> Yes (not shown)"));
    EXPECT_TRUE(Ended(1641));

    // A restart that Windows refuses (no shutdown privilege) is said, and the restart is still needed.
    Use(kBusy, "[system]\nplatform = nt\nshutdown = no\n");
    EXPECT_EQ(3010, toolrun::Run(*m, "/QUIET /SELECT:ALL /RESTART"));
    EXPECT_FALSE(m->system.rebootRequested);
    EXPECT_TRUE(Has(Log(), "message box", "Windows を手動で再起動し､アンインストールを完了してください。\" -> OK (not shown)"))
        << LogText();
}

TEST_F(AdminRun, SelectChoosesAmongTheListedPrintersOnly) {
    Use("");
    EXPECT_EQ(0, toolrun::Run(*m, "/QUIET /SELECT:\"office\""));  // any letter case
    EXPECT_FALSE(Printer("Office"));
    EXPECT_TRUE(Printer("Home"));
    EXPECT_TRUE(Has(Log(), "stage 0", "removing \"Office\"; staying: \"Home\""));

    // A name that matches no listed printer (Plotter is another maker's) is a bad command line: nothing goes.
    Use("");
    EXPECT_EQ(87, toolrun::Run(*m, "/QUIET /SELECT:\"Office\",\"Plotter\",\"Nobody\""));
    EXPECT_TRUE(Printer("Office"));
    EXPECT_TRUE(m->files.exists("C:\\Windows\\System32\\spool\\drivers\\x64\\vxdrv.dll"));
    EXPECT_TRUE(Has(Log(), "run",
                    "bad command line: /SELECT names no listed printer: \"Plotter\", \"Nobody\" (listed: \"Office\", \"Home\")"))
        << LogText();
    EXPECT_TRUE(Ended(87));
}

TEST_F(AdminRun, ABadCommandLineIs87AndTouchesNothing) {
    for (const char* tail : {"/QUIET", "/QUIET /SELECT:ALL /FROBNICATE", "/QUIET /SELECT:Office Printer", "/PLAN"}) {
        SCOPED_TRACE(tail);
        Use("");
        EXPECT_EQ(87, toolrun::Run(*m, tail));
        EXPECT_TRUE(Printer("Office"));
        EXPECT_EQ(0u, m->transcript.count("service Spooler stopped"));  // the loading never began
        EXPECT_EQ(0u, m->transcript.count("dialog"));
        EXPECT_TRUE(Has(Log(), "run", "bad command line: ")) << LogText();
        EXPECT_TRUE(Ended(87));
    }
}

TEST_F(AdminRun, FatalLoadingFailuresAre1603AndANonAdministratorIs740) {
    struct Case {
        const char* extra;
        const char* system;
        int code;
        const char* why;
    };
    const Case cases[] = {
        {"[spooler]\nstate = no-start\n", "[system]\nplatform = nt\n", 1603, "the print spooler does not start"},
        {"[spooler]\nstate = unresponsive\n", "[system]\nplatform = nt\n", 1603, "the print spooler does not answer"},
        {"", "[system]\nplatform = nt\nadmin = no\n", 740, "the user is not an administrator"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        Use(c.extra, c.system);
        EXPECT_EQ(c.code, toolrun::Run(*m, "/QUIET /SELECT:ALL"));
        EXPECT_EQ(0u, m->transcript.count("message box"));
        EXPECT_TRUE(Has(Log(), "run", std::string("the loading ended: ") + c.why)) << LogText();
        EXPECT_TRUE(Ended(c.code));
        EXPECT_TRUE(m->files.exists("C:\\Windows\\System32\\spool\\drivers\\x64\\vxdrv.dll"));
    }
    // The interactive mode keeps its exit code for the same failure.
    Use("", "[system]\nplatform = nt\nadmin = no\n");
    m->windows.user.answers = {};
    EXPECT_EQ(1, toolrun::Run(*m, ""));
    EXPECT_EQ(1u, m->transcript.count("message box"));
}

TEST_F(AdminRun, ACancelledLoadingIs1602) {
    // Something asks the hidden loading dialog to cancel (Escape at 1 s): the confirmation takes Yes.
    Use("");
    simwin::UserAction escape;
    escape.kind = simwin::UserAction::Key;
    escape.target = "escape";
    escape.at = 1000;
    m->windows.user.actions = {escape};
    EXPECT_EQ(1602, toolrun::Run(*m, "/QUIET /SELECT:ALL"));
    EXPECT_TRUE(m->windows.user.actions.empty());
    EXPECT_TRUE(Printer("Office"));
    EXPECT_TRUE(Has(Log(), "message box", "アンインストールを中止しますか？\" -> Yes (not shown)")) << LogText();
    EXPECT_TRUE(Has(Log(), "run", "the loading was abandoned"));
    EXPECT_TRUE(m->services.find("Spooler")->running);  // a spooler the loading stopped runs again
}

TEST_F(AdminRun, AnotherCopyRunningIs1618AndItsWindowIsLeftAlone) {
    Use("[window]\nclass = VSTUninstallWindowClass__\ntitle = アンインストール\n");
    EXPECT_EQ(1618, toolrun::Run(*m, "/QUIET /SELECT:ALL"));
    EXPECT_EQ(0u, m->transcript.count("VSTUninstallWindowClass__"));  // not shown, not brought forward
    EXPECT_TRUE(Printer("Office"));
    EXPECT_TRUE(Has(Log(), "run", "another copy of the tool is running"));
    // The interactive mode still brings that window forward and ends with 0.
    Use("[window]\nclass = VSTUninstallWindowClass__\ntitle = アンインストール\n");
    EXPECT_EQ(0, toolrun::Run(*m, ""));
    EXPECT_EQ(1u, m->transcript.count("VSTUninstallWindowClass__ \"アンインストール\" shown (command 10)"));
}

// The first copy holds its log open while a second one, unattended, ends with 1618: the second copy's lines
// are appended to the same file, after the first copy's, and the first copy goes on writing after them.
TEST_F(AdminRun, ASecondCopyAppendsToTheLogTheFirstHoldsOpen) {
    Use("[window]\nclass = VSTUninstallWindowClass__\ntitle = アンインストール\n");
    CRunLog first;
    ASSERT_TRUE(first.Open(toolrun::kDefaultLog));
    first.Write("run", "the first copy");
    EXPECT_EQ(1618, toolrun::Run(*m, "/QUIET /SELECT:ALL"));
    first.Write("run", "the first copy again");
    first.Close();
    const std::vector<Line> lines = Log();
    ASSERT_EQ(6u, lines.size()) << LogText();  // the header, the mode, why, the end
    EXPECT_EQ("the first copy", lines[0].fields.at(0));
    EXPECT_EQ("====", lines[1].place);  // the second copy's header
    EXPECT_TRUE(Ended(1618)) << LogText();
    EXPECT_EQ("the first copy again", lines[5].fields.at(0));
}

// /?, -? and /HELP show the options in their window and end with 0 before anything else: no other copy is
// looked for, the spooler is not touched, no other window of the tool opens; OK, Enter and Escape close it.
// Unattended, the options go to the log instead.
TEST_F(AdminRun, TheOptionsAreShownAndNothingElseHappens) {
    struct Case {
        const char* tail;
        bool window;
        simwin::UserAction::Kind close;  // how the person closes the window
        const char* how;
    };
    for (Case c : {Case{"/?", true, simwin::UserAction::Press, "1"}, Case{"-?", true, simwin::UserAction::Key, "escape"},
                   Case{"/HELP", true, simwin::UserAction::Key, "enter"},
                   Case{"/help /SELECT:ALL", true, simwin::UserAction::Press, "OK"},
                   Case{"/QUIET /?", false, simwin::UserAction::Press, "1"},
                   Case{"/PLAN:\"C:\\plan.ini\" /?", false, simwin::UserAction::Press, "1"}}) {
        SCOPED_TRACE(c.tail);
        Use("[window]\nclass = VSTUninstallWindowClass__\ntitle = アンインストール\n");
        simwin::UserAction close;
        close.kind = c.close;
        close.target = c.how;
        if (c.window) m->windows.user.actions.push_back(close);
        EXPECT_EQ(0, toolrun::Run(*m, c.tail));
        EXPECT_EQ(c.window ? 1u : 0u, m->transcript.count("dialog 118 shown"));
        EXPECT_EQ(c.window ? 1u : 0u, m->transcript.count("dialog "));
        EXPECT_TRUE(m->windows.user.actions.empty());  // the window took its closing action
        EXPECT_EQ(0u, m->transcript.count("message box"));
        EXPECT_EQ(0u, m->transcript.count("VSTUninstallWindowClass__"));  // the other copy left alone
        EXPECT_EQ(0u, m->transcript.count("service Spooler"));
        EXPECT_FALSE(m->files.exists("C:\\plan.ini"));
        EXPECT_TRUE(Printer("Office"));
        if (!c.window) {
            EXPECT_TRUE(Has(Log(), "options", "/QUIET\tウィンドウを表示せずに削除します (/SELECT が必要)")) << LogText();
            EXPECT_TRUE(Has(Log(), "options", "/RESUME\t途中で中断された削除を完了します")) << LogText();
            EXPECT_TRUE(Has(Log(), "options", "3010\t完了 (再起動が必要)")) << LogText();
            EXPECT_TRUE(Ended(0)) << LogText();
        } else {
            EXPECT_FALSE(m->files.exists(toolrun::kDefaultLog));
        }
    }
}

TEST_F(AdminRun, TheInteractiveModeEndsAsBeforeAndWritesItsLog) {
    Use(kBusy);
    simwin::UserAction select;
    select.kind = simwin::UserAction::Select;
    select.items = {"Office", "Home"};
    simwin::UserAction press;
    press.kind = simwin::UserAction::Press;
    press.target = std::to_string(IDC_UNINSTALL);
    m->windows.user.actions = {select, press};
    m->windows.user.answers = {false};
    EXPECT_EQ(1, toolrun::Run(*m, "/LOG:\"C:\\Logs\\run.log\""));  // the directory is missing: the default log
    EXPECT_EQ(1u, m->transcript.count("今、再起動しますか？\" -> No"));
    EXPECT_EQ(0u, m->transcript.count("stays hidden"));
    EXPECT_TRUE(Has(Log(), "run", "the log /LOG:\"C:\\Logs\\run.log\" cannot be opened (error 3): it is written here"));
    EXPECT_TRUE(Has(Log(), "message box", "今、再起動しますか？\" -> No"));
    EXPECT_FALSE(Has(Log(), "message box", "(not shown)"));
    EXPECT_TRUE(Has(Log(), "end", "exit code 1 (the main window's result)"));
}

TEST_F(AdminRun, LogNamesTheFileOfTheLog) {
    Use("");
    m->files.makeDirectories("C:\\Logs");
    EXPECT_EQ(0, toolrun::Run(*m, "/QUIET /SELECT:ALL /LOG:\"C:\\Logs\\korun04 fleet.log\""));
    EXPECT_FALSE(m->files.exists(toolrun::kDefaultLog));
    std::string log = m->files.read("C:\\Logs\\korun04 fleet.log");
    EXPECT_EQ(0u, log.find("==== korun04 2025-03-03 09:00:00 PC01 | "));
    EXPECT_NE(std::string::npos, log.find("end | exit code 0 (done)"));
}

// /PLAN on the machine writes what korun04-sim --plan prints for the same machine, and removes nothing.
class PlanFile : public ::testing::Test {
protected:
    void SetUp() override {
        testmachine::WriteFile(dir.path / "machine.ini", std::string("[system]\nplatform = nt\n") + kPrinters);
        for (auto& f : AdminRunFiles()) testmachine::WriteFile(dir.path / "drive" / f.first, f.second);
    }
    static std::map<std::string, std::string> AdminRunFiles() {
        return {{"C/Windows/System32/spool/drivers/x64/Kunz__04.unm", kScript},
                {"C/Windows/System32/spool/drivers/x64/vxdrv.dll", "MZ"}};
    }
    // korun04-sim's standard output alone.
    static std::string SimPlan(const std::string& args) {
        std::string out;
        FILE* pipe = popen((std::string(KORUN_SIM_PATH) + " " + args + " 2>/dev/null").c_str(), "r");
        if (!pipe) return out;
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
        pclose(pipe);
        return out;
    }
    std::string Quoted(const fs::path& p) { return "'" + p.string() + "'"; }
    testmachine::TempDir dir, saved;
};

TEST_F(PlanFile, IsWhatTheSimulatorsPlanPrints) {
    for (const char* select : {"", "Home"}) {
        SCOPED_TRACE(select);
        const std::string expected = SimPlan("--machine " + Quoted(dir.path) + " --plan" + (select[0] ? " --select " + std::string(select) : ""));
        ASSERT_NE(std::string::npos, expected.find("[selection]"));
        std::unique_ptr<simwin::Machine> m = simwin::Machine::load(dir.path.string());
        simwin::MachineScope scope(*m);
        const std::string tail = std::string("/PLAN:\"C:\\what if.ini\"") + (select[0] ? " /SELECT:\"" + std::string(select) + "\"" : "");
        EXPECT_EQ(0, toolrun::Run(*m, tail));
        EXPECT_EQ(expected, m->files.read("C:\\what if.ini"));
        // Nothing was removed, nothing shown.
        EXPECT_EQ(3u, m->spooler.printers.size());
        EXPECT_TRUE(m->files.exists("C:\\Windows\\System32\\spool\\drivers\\x64\\vxdrv.dll"));
        EXPECT_EQ(0u, m->transcript.count("message box"));
        std::string log = m->files.read(toolrun::kDefaultLog);
        EXPECT_NE(std::string::npos, log.find("run | the plan is written to C:\\what if.ini; nothing was removed")) << log;
        EXPECT_EQ(std::string::npos, log.find("stage ")) << log;
    }
}

TEST_F(PlanFile, TheSimulatorsOwnRunWritesTheSamePlanAndSavesItWithTheLog) {
    const std::string expected = SimPlan("--machine " + Quoted(dir.path) + " --plan");
    testmachine::SimResult r =
        testmachine::RunSim("--machine " + Quoted(dir.path) + " --save " + Quoted(saved.path / "after") + " -- '/PLAN:\"C:\\plan.ini\"'");
    EXPECT_EQ(0, r.exitCode) << r.out;
    EXPECT_EQ(expected, testmachine::ReadFile(saved.path / "after/drive/C/plan.ini"));
    EXPECT_TRUE(fs::exists(saved.path / "after/drive/C/Users/Admin/AppData/Local/Temp/korun04.log"));
    EXPECT_TRUE(fs::exists(saved.path / "after/drive/C/Windows/System32/spool/drivers/x64/vxdrv.dll"));
}

TEST_F(PlanFile, FailuresAre1603Or740AndWriteNoPlan) {
    {
        std::unique_ptr<simwin::Machine> m = simwin::Machine::load(dir.path.string());
        simwin::MachineScope scope(*m);
        EXPECT_EQ(1603, toolrun::Run(*m, "/PLAN:\"C:\\No such directory\\plan.ini\""));
        EXPECT_NE(std::string::npos, m->files.read(toolrun::kDefaultLog).find("the plan cannot be written to C:\\No such directory\\plan.ini (error 3)"));
        // At once: before the loading phase, which would have stopped the spooler.
        EXPECT_EQ(0u, m->transcript.count("dialog 115"));
        EXPECT_EQ(0u, m->transcript.count("service Spooler"));
    }
    {
        // A plan file that cannot be written keeps what it held; a file that can be written, and was not
        // there, is not left behind by the check when the run then fails.
        std::unique_ptr<simwin::Machine> m = simwin::Machine::load(dir.path.string());
        simwin::MachineScope scope(*m);
        m->files.writeFile("C:\\held.ini", "someone else's");
        m->files.setLocked("C:\\held.ini", true);
        EXPECT_EQ(1603, toolrun::Run(*m, "/PLAN:\"C:\\held.ini\""));
        m->files.setLocked("C:\\held.ini", false);
        EXPECT_EQ("someone else's", m->files.read("C:\\held.ini"));
        EXPECT_EQ(0u, m->transcript.count("dialog 115"));
    }
    testmachine::WriteFile(dir.path / "machine.ini", std::string("[system]\nplatform = nt\nadmin = no\n") + kPrinters);
    std::unique_ptr<simwin::Machine> m = simwin::Machine::load(dir.path.string());
    simwin::MachineScope scope(*m);
    EXPECT_EQ(740, toolrun::Run(*m, "/PLAN:\"C:\\plan.ini\""));
    EXPECT_FALSE(m->files.exists("C:\\plan.ini"));
}

// korun04-sim runs the unattended modes without a scripted user, and says exit codes beyond 255 in full.
TEST_F(PlanFile, TheSimulatorsQuietRunSavesItsLog) {
    testmachine::WriteFile(dir.path / "machine.ini", std::string("[system]\nplatform = nt\n") + kPrinters + kBusy);
    testmachine::WriteFile(dir.path / "drive/C/Windows/System32/spool/drivers/x64/vxbusy.dll", "MZ");
    testmachine::SimResult r =
        testmachine::RunSim("--machine " + Quoted(dir.path) + " --save " + Quoted(saved.path / "after") + " -- /QUIET /SELECT:ALL");
    EXPECT_EQ(3010 & 0xFF, r.exitCode) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("korun04-sim: the tool's exit code is 3010 (the status holds it modulo 256: 194)"));
    EXPECT_EQ(std::string::npos, r.out.find("scripted action(s) not taken")) << r.out;
    const std::string log = testmachine::ReadFile(saved.path / "after/drive/C/Users/Admin/AppData/Local/Temp/korun04.log");
    EXPECT_NE(std::string::npos, log.find("stage 14 | file | C:\\Windows\\System32\\spool\\drivers\\x64\\vxbusy.dll | "
                                          "scheduled for restart (MoveFileExA), error 32"))
        << log;
    EXPECT_NE(std::string::npos, log.find("end | exit code 3010 (done, a restart is needed)"));
}

}  // namespace
