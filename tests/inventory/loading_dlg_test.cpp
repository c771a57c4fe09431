// The loading dialog: its steps tick by tick, the progress bar, the abort question, the retry, and the
// spooler never left stopped.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/host.h"
#include "inventory/loading_dlg.h"
#include "simwin/machine.h"
#include "support/temp_machine.h"

namespace {

const char kScriptDir[] = "C/Windows/System32/spool/drivers/x64/";
const char kScript[] = "[UnPrinterDrivers]\r\n\"Vestral X Driver\",VXDRV,1\r\n[VXDRV.Files]\r\nvx.dll\r\n";
const char kFamilyPrinter[] = "[printer]\nname = Office\ndriver = Vestral X Driver\nport = LPT1:\ndata.VestralDriver04 = 1\n";

// One transcript line with the virtual time it happened at.
struct Event {
    uint64_t ms;
    std::string line;
};

class Loading : public ::testing::Test {
protected:
    // The database is made on a standard machine; each test then loads its own.
    simwin::Machine standard;
    simwin::MachineScope standardScope{standard};

    void Use(const std::string& machineIni, const std::map<std::string, std::string>& files = {}) {
        m = testmachine::Load(machineIni, files);
        scope = std::make_unique<simwin::MachineScope>(*m);
        m->transcript.echo = [this](const std::string& line) { events.push_back({m->clock.ms, line}); };
        host.reset();
        host = std::make_unique<CHost>();  // the loading's process-wide counters start afresh
        loading = std::make_unique<CLoadingDlg>();
        loading->database = &database;
    }
    // The dialog as a modeless window, driven one tick at a time by the test.
    HWND Create() {
        HWND h = CreateDialogParamA(NULL, MAKEINTRESOURCEA(IDD_LOADING), NULL, StaticDialogProc,
                                    reinterpret_cast<LPARAM>(loading.get()));
        EXPECT_NE(nullptr, h);
        return h;
    }
    void Tick(HWND h, WPARAM id = IDT_LOADING) { SendMessageA(h, WM_TIMER, id, 0); }
    int Position(HWND h) { return static_cast<int>(SendDlgItemMessageA(h, IDC_LOADING_PROGRESS, PBM_GETPOS, 0, 0)); }
    bool Ended(HWND h) { return m->windows.find(h)->ended; }
    INT_PTR RunModal() {
        return DialogBoxParamA(NULL, MAKEINTRESOURCEA(IDD_LOADING), NULL, StaticDialogProc,
                               reinterpret_cast<LPARAM>(loading.get()));
    }
    uint64_t TimeOf(const std::string& text) const {
        for (const Event& e : events)
            if (e.line.find(text) != std::string::npos) return e.ms;
        return UINT64_MAX;
    }

    std::unique_ptr<simwin::Machine> m;
    std::unique_ptr<simwin::MachineScope> scope;
    std::unique_ptr<CHost> host;
    CUninstallDatabase database;
    std::unique_ptr<CLoadingDlg> loading;
    std::vector<Event> events;
};

TEST_F(Loading, InitialisationSetsTextsAndTheProgressBar) {
    Use(kFamilyPrinter);
    HWND h = Create();
    char title[256] = "";
    GetWindowTextA(h, title, sizeof title);
    EXPECT_STREQ("プリンタのアンインストールを読込み中...", title);
    char text[512] = "";
    GetDlgItemTextA(h, IDC_LOADING_TEXT, text, sizeof text);
    EXPECT_EQ(std::string("アンインストール用のデータベースを作成しています。\nこれにはしばらく時間がかかることがあります。"), text);
    EXPECT_EQ(1, Position(h));
    EXPECT_EQ(99, SendDlgItemMessageA(h, IDC_LOADING_PROGRESS, PBM_GETRANGE, FALSE, 0));  // the upper limit
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(h, IDC_LOADING_HIDDEN)));
}

TEST_F(Loading, StepsTickByTickWithTheProgressBar) {
    Use(kFamilyPrinter, {{std::string(kScriptDir) + "Kunz__04.unm", kScript}});
    HWND h = Create();
    Tick(h, 9999);  // another timer: nothing
    EXPECT_EQ(0, loading->step);
    EXPECT_EQ(1, Position(h));
    Tick(h);  // step 0: administrator check; two strides of 2
    EXPECT_EQ(1, loading->step);
    EXPECT_EQ(5, Position(h));
    Tick(h);  // step 1: the family's other programs
    Tick(h);  // step 2: the spooler is stopped in the third tick
    EXPECT_FALSE(m->services.find("Spooler")->running);
    for (int i = 0; i < 9; ++i) Tick(h);  // step 3 takes nine ticks
    EXPECT_EQ(4, loading->step);
    EXPECT_FALSE(m->services.find("Spooler")->running);
    Tick(h);  // step 4, ten ticks after the stop: started again
    EXPECT_TRUE(m->services.find("Spooler")->running);
    for (int i = 0; i < 4; ++i) Tick(h);  // step 5 takes four ticks
    EXPECT_EQ(6, loading->step);
    Tick(h);  // step 6, five ticks after the start: one script, 20 then strides of 10
    EXPECT_EQ(1u, loading->scripts.Count());
    EXPECT_EQ(30, Position(h));
    Tick(h);  // step 7: parsed
    EXPECT_EQ(1u, database.profiles.Count());
    Tick(h);  // step 8
    Tick(h);  // step 9: the printers
    EXPECT_EQ(1u, database.printers.Count());
    EXPECT_FALSE(Ended(h));
    Tick(h);  // step 10: 95, and the dialog ends with 1
    EXPECT_TRUE(Ended(h));
    EXPECT_EQ(1, m->windows.find(h)->result);
    EXPECT_EQ(95, Position(h));  // the last step ends the dialog without a second stride
}

TEST_F(Loading, ThreeScriptsAdvanceByThreePerStride) {
    std::string again = "[UnPrinterMfgs]\r\nVestral,VST,1\r\n[VST.Files]\r\nv.dll\r\n";
    Use(kFamilyPrinter, {{std::string(kScriptDir) + "Kunz__04.unm", kScript},
                         {std::string(kScriptDir) + "3/Kunz__04.unm", again},
                         {"C/Windows/System32/Kunz__04.unm", again}});
    HWND h = Create();
    while (loading->step < 6) Tick(h);
    Tick(h);
    EXPECT_EQ(3u, loading->scripts.Count());
    EXPECT_EQ(23, Position(h));  // 20, then one stride of 10 / 3
}

TEST_F(Loading, OnTheVirtualClockTheSpoolerStopsAt1200AndStartsFourSecondsLater) {
    Use(kFamilyPrinter);  // no script: the warning at the search shows when it runs
    EXPECT_EQ(1, RunModal());
    EXPECT_EQ(1200u, TimeOf("service Spooler stopped"));
    EXPECT_EQ(5200u, TimeOf("service Spooler started"));
    // The search at 7200 finds no script: its warning is answered after a second of reading.
    EXPECT_EQ(8200u, TimeOf("message box \"アンインストール\": \"警告:アンインストール スクリプト"));
}

TEST_F(Loading, NoAdministratorEndsBeforeTheSpoolerIsTouched) {
    Use("[system]\nadmin = no\n" + std::string(kFamilyPrinter));
    EXPECT_EQ(0, RunModal());
    EXPECT_NE(UINT64_MAX, TimeOf("アドミニストレータ (管理者) 権限を持っていません。"));
    EXPECT_EQ(UINT64_MAX, TimeOf("service Spooler"));
}

TEST_F(Loading, EscapeAsksAndNoResumesAt200Ms) {
    Use(kFamilyPrinter);
    simwin::UserAction escape;
    escape.kind = simwin::UserAction::Key;
    escape.target = "escape";
    escape.at = 1000;
    m->windows.user.actions.push_back(escape);
    m->windows.user.answers.push_back(false);
    EXPECT_EQ(1, RunModal());
    EXPECT_EQ(1, m->transcript.count("アンインストールを中止しますか？\" -> No"));
    // Ticks at 400 and 800, the question at 1000 (answered after a second of reading), then every 200 ms.
    EXPECT_EQ(2000u + 200u, TimeOf("service Spooler stopped"));  // step 2 at the second tick after the answer
}

TEST_F(Loading, YesToTheAbortQuestionAfterTheStopStartsTheSpoolerAgain) {
    Use(kFamilyPrinter);
    simwin::UserAction escape;
    escape.kind = simwin::UserAction::Key;
    escape.target = "enter";
    escape.at = 2000;  // the spooler was stopped at 1200
    m->windows.user.actions.push_back(escape);
    m->windows.user.answers.push_back(true);
    EXPECT_EQ(0, RunModal());
    EXPECT_TRUE(m->services.find("Spooler")->running);
    EXPECT_LT(TimeOf("service Spooler stopped"), TimeOf("service Spooler started"));
}

TEST_F(Loading, TicksWhileAMessageBoxIsOpenDoNothing) {
    Use(kFamilyPrinter);  // no script: the warning of the search (7200) is open for a second
    EXPECT_EQ(1, RunModal());
    // The ticks at 7600 and 8000 arrive while the box is open and do nothing; steps 7 to 10 follow at
    // 8400 to 9600. Ticks run inside the box would have ended the loading at 8800.
    EXPECT_EQ(9600u, m->clock.ms);
}

TEST_F(Loading, NoPrinterOpensOnTheFirstPassThenTheLoadingRestartsOnceWithoutWaits) {
    Use("[printer]\nname = Office\ndriver = Vestral X Driver\nopenable = no\ndata.VestralDriver04 = 1\n");
    HWND h = Create();
    while (loading->step < 9) Tick(h);
    Tick(h);  // step 9: nothing found, back to step 1 at 5, then a stride of 10 (no script was found)
    EXPECT_EQ(1, loading->step);
    EXPECT_EQ(15, Position(h));
    int ticks = 0;
    while (!Ended(h) && ticks < 50) Tick(h), ++ticks;
    EXPECT_EQ(10, ticks);  // steps 1 to 10 once each: the waits pass at once
    EXPECT_EQ(1, m->windows.find(h)->result);
    EXPECT_EQ(2u, m->transcript.count("service Spooler stopped"));
    EXPECT_EQ(0u, database.printers.Count());
}

TEST_F(Loading, ASecondEnumerationListsEachPrinterOnce) {
    // The first pass records the printers it could open before a later one fails; the second starts afresh.
    Use("[printer]\nname = Office\ndriver = Vestral X Driver\ndata.VestralDriver04 = 1\n"
        "[spoolerfault]\nfunction = GetPrinterA\ncall = 2\nerror = 5\n"
        "[printer]\nname = Home\ndriver = Vestral X Driver\ndata.VestralDriver04 = 1\n");
    HWND h = Create();
    int ticks = 0;
    while (!Ended(h) && ticks < 80) Tick(h), ++ticks;
    int office = 0;
    for (const CPrinterEntry& p : database.printers) office += std::string(p.printerName) == "Office";
    EXPECT_EQ(1, office);
}

}  // namespace
