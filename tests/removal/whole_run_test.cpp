// Whole runs of the interface: load a machine, select, Uninstall, let the stages run, and compare what is
// left with what was there.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "simwin/pending_renames.h"
#include "support/built_machine.h"
#include "support/ui_run.h"
#include "support/whole_run.h"
#include "tools/korun04-sim/changes.h"
#include "support/test_paths.h"

namespace {

using simwin::UserAction;
using uirun::Action;
using uirun::Press;

const char kDrivers[] = "C/Windows/System32/spool/drivers/x64/";
const char kScript[] =
    "[UnPrinterDrivers]\r\n\"Vestral X Driver\",VXDRV,1\r\n"
    "[VXDRV.Files]\r\nvxdrv.dll\r\nvxbusy.dll\r\n"
    "[VXDRV.RegistryKeys]\r\nHKLM,\"SOFTWARE\\VESTRAL\\VX\",\"\",1\r\nHKLM,\"SOFTWARE\\Microsoft\",\"\",1\r\n"
    "[VXDRV.Services]\r\nSpooler\r\n";
const char kMachine[] =
    "[driver]\nname = Vestral X Driver\n[driver]\nname = Acme Laser\n"
    "[printer]\nname = Office\ndriver = Vestral X Driver\nport = LPT1:\ndefault = yes\ndata.VestralDriver04 = 1\n"
    "[printer]\nname = Other\ndriver = Acme Laser\nport = LPT2:\n";

class WholeRun : public uirun::Fixture {
protected:
    void UseDemo(const std::string& extra = "") {
        Use(std::string(kMachine) + extra, {{std::string(kDrivers) + "Kunz__04.unm", kScript},
                                            {std::string(kDrivers) + "vxdrv.dll", "MZ"},
                                            {std::string(kDrivers) + "vxbusy.dll", "MZ"},
                                            {"C/Windows/System32/acme.dll", "MZ"}});
        m->registry.create("HKEY_LOCAL_MACHINE\\SOFTWARE\\VESTRAL\\VX\\Sub");
        m->registry.create("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run");
    }
    bool Printer(const char* name) {
        HANDLE h = NULL;
        if (!OpenPrinterA(const_cast<LPSTR>(name), &h, NULL)) return false;
        ClosePrinter(h);
        return true;
    }
};

TEST_F(WholeRun, TheChosenPrinterAndWhatItsScriptNamesGoAndNothingElse) {
    UseDemo();
    uirun::Outcome o = Run({Action(UserAction::Select, "", {"Office"}), Press(IDC_UNINSTALL)});
    EXPECT_EQ(1, o.result) << o.stop;
    EXPECT_FALSE(Printer("Office"));
    EXPECT_TRUE(Printer("Other"));
    EXPECT_FALSE(m->files.exists(std::string("C:\\Windows\\System32\\spool\\drivers\\x64\\vxdrv.dll")));
    EXPECT_TRUE(m->files.exists("C:\\Windows\\System32\\acme.dll"));
    EXPECT_EQ(nullptr, m->registry.find("HKEY_LOCAL_MACHINE\\SOFTWARE\\VESTRAL\\VX"));
    // The hostile items of the script were refused, the run went on.
    EXPECT_NE(nullptr, m->registry.find("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run"));
    EXPECT_NE(nullptr, m->services.find("Spooler"));
    EXPECT_TRUE(m->services.find("Spooler")->running);
    EXPECT_EQ(1u, m->transcript.count("refused registry key item"));
    EXPECT_EQ(1u, m->transcript.count("refused service item \"Spooler\""));
    // Not "complete": the end says what stayed and where the log is.
    EXPECT_EQ(0u, m->transcript.count("プリンタのアンインストールが完了しました。"));
    EXPECT_EQ(1u, m->transcript.count("削除されなかった項目が 2 個あります (失敗 0 個、Windows を守るため拒否 2 個)。\\n"
                                      "詳細はログを参照してください:\\nC:\\Users\\Admin\\AppData\\Local\\Temp\\korun04.log\" -> OK"));
    EXPECT_EQ(0u, m->gdi.openContexts());
}

// The machine of these runs saved and loaded again holds what it held: a save changes the form only.
TEST_F(WholeRun, SavedAndLoadedAgainTheMachineHoldsWhatItHeld) {
    UseDemo();
    testmachine::TempDir saved;
    m->save(saved.path.string());
    auto again = simwin::Machine::load(saved.path.string());
    const MachineChanges changes = CompareStates(CaptureState(*m), CaptureState(*again), {});
    std::ostringstream block;
    PrintChanges(block, changes);
    EXPECT_TRUE(changes.Empty()) << block.str();
}

TEST_F(WholeRun, ALockedFileOnTheNtClassIsScheduledAndARestartOffered) {
    UseDemo();
    m->files.setLocked("C:\\Windows\\System32\\spool\\drivers\\x64\\vxbusy.dll", true);
    m->windows.user.answers = {true};  // Yes to the restart
    uirun::Outcome o = Run({Action(UserAction::Select, "", {"Office"}), Press(IDC_UNINSTALL)});
    EXPECT_EQ(1, o.result) << o.stop;
    ASSERT_EQ(1u, simwin::pendingRenames(m->registry).size());
    EXPECT_NE(std::string::npos, simwin::pendingRenames(m->registry)[0].from.find("vxbusy.dll"));
    EXPECT_EQ(1u, m->transcript.count("今、再起動しますか？\" -> Yes"));
    EXPECT_TRUE(m->system.rebootRequested);
    EXPECT_EQ(0u, m->transcript.count("プリンタのアンインストールが完了しました。"));
}

TEST_F(WholeRun, TicksThatArriveWhileAStageShowsAMessageBoxAreDropped) {
    // Deleting the default printer shows which printer is the default now; the stages go on after it.
    UseDemo("[printer]\nname = Home\ndriver = Vestral X Driver\nport = LPT3:\ndata.VestralDriver04 = 1\n");
    uirun::Outcome o = Run({Action(UserAction::Select, "", {"Office"}), Press(IDC_UNINSTALL)});
    EXPECT_EQ(1, o.result) << o.stop;
    EXPECT_EQ(1u, m->transcript.count("'Home' が新たに通常使用するプリンタに設定されました。"));
    EXPECT_TRUE(Printer("Home"));
    EXPECT_EQ(1u, m->transcript.count("プリンタのアンインストールが完了しました。"));
    EXPECT_EQ(0, context->removePage.Host().removal.tickInProgress);
}

}  // namespace

namespace {

class StageRun : public wholerun::Fixture {
protected:
    void UseTwoPrinters() {
        Use("[driver]\nname = Vestral X Driver\n"
            "[printer]\nname = Office\ndriver = Vestral X Driver\nport = LPT1:\ndefault = yes\ndata.VestralDriver04 = 1\n"
            "[printer]\nname = Home\ndriver = Vestral X Driver\nport = LPT2:\ndata.VestralDriver04 = 1\n",
            {{std::string(kDrivers) + "Kunz__04.unm", "[UnPrinterDrivers]\r\n\"Vestral X Driver\",VXDRV,1\r\n"}});
    }
    // The stages the ticks ran, in order (the dropped ticks left out).
    std::vector<int> StagesRun() const {
        std::vector<int> out;
        for (const wholerun::Tick& t : ticks)
            if (!t.busy) out.push_back(t.stage);
        return out;
    }
};

const std::vector<int> kEveryStage = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17};

// On the NT family stage 8 stops the spooler and stage 16 starts it: the OEM-path, shortcut, INI, start-up,
// file and registry stages run with it stopped, every other stage with it running.
TEST_F(StageRun, OnTheNtClassTheSpoolerIsStoppedExactlyDuringStagesNineToFifteen) {
    UseTwoPrinters();
    ASSERT_EQ(1, Uninstall({"Home"}).result);
    ASSERT_EQ(kEveryStage, StagesRun());
    for (const wholerun::Tick& t : ticks) {
        SCOPED_TRACE("stage " + std::to_string(t.stage));
        EXPECT_EQ(t.stage < 9 || t.stage > 16, t.spoolerBefore);
        EXPECT_EQ(t.stage < 8 || t.stage > 15, t.spoolerAfter);
    }
    EXPECT_TRUE(SpoolerRuns());
}

// Deleting the default printer shows a message box inside stage 3; the ticks that fall due while it is read
// find the stage busy and change nothing, and the stages then go on one by one.
TEST_F(StageRun, TicksWhileAStageShowsAMessageBoxAreDroppedAndTheStagesGoOnInOrder) {
    UseTwoPrinters();
    ASSERT_EQ(1, Uninstall({"Office"}).result);
    EXPECT_EQ(kEveryStage, StagesRun());
    size_t dropped = 0;
    for (const wholerun::Tick& t : ticks) {
        if (!t.busy) continue;
        ++dropped;
        EXPECT_EQ(3, t.stage);
        EXPECT_EQ(3, t.stageAfter);
    }
    EXPECT_GE(dropped, 4u);  // a message box is read for a second: five ticks of 200 ms
    EXPECT_EQ(1u, m->transcript.count("'Home' が新たに通常使用するプリンタに設定されました。"));
}

// While the started Pavane utility runs, stage 1 repeats on every tick; the first tick after it ended goes
// on to stage 2.
TEST_F(StageRun, StageOneRepeatsWhilePavaneRunsAndGoesOnWhenItEnds) {
    Use("[driver]\nname = Vestral X Driver\n"
        "[printer]\nname = Office\ndriver = Vestral X Driver\nport = LPT1:\ndata.VestralDriver04 = 1\n"
        "[program]\npath = C:\\Program Files\\Vestral\\PAVANE32.EXE\nticks = 3\n",
        {{std::string(kDrivers) + "Kunz__04.unm",
          "[UnPrinterDrivers]\r\n\"Vestral X Driver\",VXDRV,1\r\n[UnPrinterMfgs]\r\n\"Pavane\",PAVANE,3\r\n"
          "[PAVANE.Files]\r\nPAVANE32.EXE\r\n"},
         {"C/Program Files/Vestral/PAVANE32.EXE", "MZ"}});
    m->registry.setString("HKEY_LOCAL_MACHINE\\SOFTWARE\\VESTRAL\\OEM\\OEMPaths", "Main", "C:\\Program Files\\Vestral");
    m->registry.setString("HKEY_LOCAL_MACHINE\\SOFTWARE\\VESTRAL\\OEM04\\OEMPaths", "Main", "C:\\Program Files\\Vestral\\");
    ASSERT_EQ(1, Uninstall().result);
    std::vector<int> stages = StagesRun();
    // The start, three polls while it runs, the poll that finds it ended.
    EXPECT_EQ(5, std::count(stages.begin(), stages.end(), 1));
    EXPECT_EQ(std::vector<int>(stages.begin() + 6, stages.end()),
              std::vector<int>(kEveryStage.begin() + 2, kEveryStage.end()));
    EXPECT_EQ(1u, m->transcript.count("program started: C:\\Program Files\\Vestral\\PAVANE32.EXE (command line \" /d\")"));
    EXPECT_TRUE(diff.filesRemoved.count("C:\\Program Files\\Vestral\\PAVANE32.EXE"));  // its files go after it ended
}

// On Win32s the utility's dialog is watched instead of its process: stage 1 repeats while a "#32770" window
// titled "Pavane" is there (two minutes at most: a utility that hangs is not waited for without end).
TEST_F(StageRun, OnWin32sStageOneWaitsForPavanesDialog) {
    for (bool dialog : {false, true}) {
        SCOPED_TRACE(dialog ? "with the dialog" : "without the dialog");
        Use(std::string("[system]\nplatform = win32s\n[driver]\nname = Vestral X Driver\n"
                        "[printer]\nname = Office\ndriver = Vestral X Driver\nport = LPT1:\n"
                        "[program]\npath = C:\\Program Files\\Vestral\\PAVANE.EXE\nticks = 3\n") +
                (dialog ? "[window]\nclass = #32770\ntitle = Pavane\n" : ""),
            {{"C/WINDOWS/SYSTEM/Kunz__04.unm", "[UnPrinterMfgs]\r\n\"Pavane\",PAVANE,3\r\n[PAVANE.Files]\r\nPAVANE.EXE\r\n"},
             {"C/Program Files/Vestral/PAVANE.EXE", "MZ"}});
        m->registry.setString("HKEY_LOCAL_MACHINE\\SOFTWARE\\VESTRAL\\OEM\\OEMPaths", "Main", "C:\\Program Files\\Vestral");
        ASSERT_EQ(1, Uninstall().result);
        std::vector<int> stages = StagesRun();
        const long waits = std::count(stages.begin(), stages.end(), 1);
        if (dialog) {
            EXPECT_GE(waits, 600);  // 200 ms a tick for two minutes
            EXPECT_LE(waits, 602);
        } else {
            EXPECT_EQ(2, waits);  // the start, then the dialog is not there
        }
        EXPECT_EQ(1u, m->transcript.count("program started: C:\\Program Files\\Vestral\\PAVANE.EXE"));
    }
}

// The stages' directories: each directory once, however many location codes lead to it, and the
// "Windows 4.0" driver and processor directories only on the NT family.
TEST_F(StageRun, TheDirectoryListsHoldEachDirectoryOnce) {
    auto texts = [](const CTextList& list) {
        std::vector<std::string> out;
        for (const char* item : list) out.push_back(item);
        return out;
    };
    UseTwoPrinters();
    ASSERT_EQ(1, Uninstall({"Home"}).result);
    EXPECT_EQ((std::vector<std::string>{"C:\\Windows\\", "C:\\Windows\\System32\\",
                                        "C:\\Windows\\System32\\spool\\drivers\\color\\"}),
              texts(context->removePage.directDirs));
    EXPECT_EQ((std::vector<std::string>{"C:\\Windows\\INF\\", "C:\\Windows\\System32\\spool\\drivers\\WIN40\\",
                                        "C:\\Windows\\System32\\spool\\drivers\\x64\\",
                                        "C:\\Windows\\System32\\spool\\prtprocs\\x64\\"}),
              texts(context->removePage.searchDirs));

    Use("[system]\nplatform = 9x\n[driver]\nname = Vestral X Driver\n"
        "[printer]\nname = Office\ndriver = Vestral X Driver\nport = LPT1:\ndata.VestralDriver04 = 1\n");
    ASSERT_EQ(1, Uninstall().result);
    EXPECT_EQ((std::vector<std::string>{"C:\\WINDOWS\\", "C:\\WINDOWS\\SYSTEM\\", "C:\\WINDOWS\\SYSTEM\\Color\\"}),
              texts(context->removePage.directDirs));
    EXPECT_EQ((std::vector<std::string>{"C:\\WINDOWS\\INF\\", "C:\\WINDOWS\\SYSTEM\\"}), texts(context->removePage.searchDirs));
}

// On Windows 95 the spooler stage closes the spool process's window; other 9x releases leave it.
TEST_F(StageRun, OnWindows95TheSpoolProcessWindowIsClosed) {
    for (const char* version : {"4.0", "4.10"}) {
        SCOPED_TRACE(version);
        Use(std::string("[system]\nplatform = 9x\nversion = ") + version +
            "\n[window]\nclass = SpoolProcessClass\ntitle = Spool32\n[driver]\nname = Vestral X Driver\n"
            "[printer]\nname = Office\ndriver = Vestral X Driver\nport = LPT1:\ndata.VestralDriver04 = 1\n");
        ASSERT_EQ(1, Uninstall().result);
        EXPECT_EQ(std::string(version) == "4.0", diff.objectsRemoved.count("window SpoolProcessClass") == 1) << diff.Describe();
    }
}

// A tick of another timer does nothing.
TEST(RemovePageTicks, ATickOfAnotherTimerChangesNothing) {
    simwin::Machine machine;
    simwin::MachineScope scope(machine);
    CHost host;
    CRemovePage page;
    page.stage = 5;
    page.RunStage(IDT_REMOVAL + 1);
    EXPECT_EQ(5, page.stage);
    EXPECT_EQ(0, host.removal.tickInProgress);
}

}  // namespace

namespace {

typedef std::set<std::string> Set;

class DemoRun : public wholerun::Fixture {};

// Across the run, on the demo machine with every printer selected: the family's three printers and their
// drivers go with the files, registry keys, start-up value and service their profiles name, Pavane's files
// after it ran, the script and the family's OEM key with the last printer; the catch-all's files, the other
// maker's printer and driver and everything else stay.
TEST_F(DemoRun, EveryPrinterOfTheFamilyGoesWithWhatItsProfilesNameAndNothingElse) {
    const std::string demo = std::string(KORUN_SOURCE_DIR) + "/examples/demo";
    UseDirectory(demo);
    uirun::Outcome o = Uninstall();
    ASSERT_EQ(1, o.result) << o.stop;
    const std::string vestral = "C:\\Program Files\\Vestral\\", drivers = "C:\\Windows\\System32\\spool\\drivers\\x64\\";
    // Each driver's package goes with it: its published INF, the INF's .pnf and its copy in the driver store.
    Set removed = {vestral + "PAVANE32.EXE", vestral + "pavhook.dll", vestral + "vmfgres.dll", drivers + "Kunz__04.unm",
                   drivers + "vldrv.dll", drivers + "vxdrv.dll", drivers + "vxres.dat", drivers + "vxui.dll",
                   "C:\\Windows\\INF\\oem0.inf", "C:\\Windows\\INF\\oem0.pnf", "C:\\Windows\\INF\\oem1.inf",
                   "C:\\Windows\\INF\\oem1.pnf"};
    for (const char* inf : {"vxdrv.inf", "vldrv.inf"}) {
        const Set copies = built::StoreCopies(*simwin::Machine::load(demo), inf);
        EXPECT_EQ(2u, copies.size()) << inf;  // the folder and the INF in it
        removed.insert(copies.begin(), copies.end());
    }
    EXPECT_EQ(removed, diff.filesRemoved);
    const std::string drivers3 = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64\\Drivers\\Version-3\\";
    EXPECT_TRUE(diff.filesChanged.empty()) << diff.Describe();
    EXPECT_TRUE(diff.filesAdded.empty()) << diff.Describe();
    EXPECT_EQ((Set{"HKEY_LOCAL_MACHINE\\SOFTWARE\\VESTRAL\\OEM04", "HKEY_LOCAL_MACHINE\\SOFTWARE\\VESTRAL\\OEM04\\OEMPaths",
                   "HKEY_LOCAL_MACHINE\\SOFTWARE\\VESTRAL\\VLDRV", "HKEY_LOCAL_MACHINE\\SOFTWARE\\VESTRAL\\VXDRV",
                   drivers3 + "Vestral L Driver", drivers3 + "Vestral X Driver"}),
              diff.keysRemoved);
    EXPECT_EQ((Set{"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run|VstStatus04"}), diff.valuesRemoved);
    EXPECT_TRUE(diff.keysAdded.empty() && diff.valuesAdded.empty()) << diff.Describe();
    // The new default printer: win.ini's [windows] device, which the NT family keeps in the user's registry.
    EXPECT_EQ((Set{"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows|Device"}),
              diff.valuesChanged);
    // The family's other programs were closed while loading.
    EXPECT_EQ((Set{"driver Vestral L Driver (Windows x64)", "driver Vestral X Driver (Windows x64)", "printer Labels",
                   "printer Office", "printer Reception", "window PAVANEDLGCLASS04", "window VSTStatusClass_04"}),
              diff.objectsRemoved);
    // The new default printer is the device line the tool writes.
    EXPECT_EQ((std::map<std::string, Set>{{"printer Plotter", {"default: no -> yes"}},
                                          {"program C:\\Program Files\\Vestral\\PAVANE32.EXE", {"started: (none) -> 1"}},
                                          {"service VstStatus04", {"marked: (none) -> yes"}}}),
              diff.objectsChanged);
    std::vector<std::string> boxes = MessageBoxes();
    ASSERT_EQ(2u, boxes.size());
    EXPECT_NE(std::string::npos, boxes[0].find("'Plotter' が新たに"));
    EXPECT_NE(std::string::npos, boxes[1].find("今、再起動しますか？ -> No"));  // the service waits for it
}

}  // namespace
