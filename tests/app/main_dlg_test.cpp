// The main window run as a person uses it: the loading phase, the selection page, the Uninstall and Exit
// buttons, Escape, the system menu's About entry and the switch to the removal page.
#include <gtest/gtest.h>

#include "support/temp_machine.h"
#include "support/ui_run.h"

namespace {

using simwin::UserAction;
using uirun::Action;
using uirun::Press;

const char kPrinters[] =
    "[printer]\nname = Office\ndriver = Vestral X Driver\nport = LPT1:\ndefault = yes\ndata.VestralDriver04 = 1\n"
    "[printer]\nname = Home\ndriver = Vestral X Driver\nport = LPT2:\ndata.VestralDriver04 = 1\n"
    "[printer]\nname = Other\ndriver = Acme Laser\nport = LPT3:\n";

class MainWindow : public uirun::Fixture {
protected:
    HWND Main() { return context->hwnd; }
    HWND Button(int id) { return GetDlgItem(Main(), id); }
    bool Visible(HWND h) { return IsWindowVisible(h) != 0; }
};

TEST_F(MainWindow, UninstallWaitsForASelectionThenShowsTheRemovalPage) {
    Use(kPrinters);
    std::vector<std::string> seen;
    uirun::Outcome o = Run({Action(UserAction::DeselectAll), Action(UserAction::Select, "", {"Office"}), Press(IDC_UNINSTALL)},
                           [&](int step) {
                               if (step == 0) {
                                   EXPECT_TRUE(Visible(Main()));
                                   EXPECT_TRUE(Visible(context->selectPage.hwnd));
                                   EXPECT_FALSE(Visible(context->removePage.hwnd));
                                   EXPECT_FALSE(IsWindowEnabled(Button(IDC_UNINSTALL)));
                                   EXPECT_TRUE(IsWindowEnabled(Button(IDC_EXIT)));
                               } else if (step == 1) {
                                   EXPECT_TRUE(IsWindowEnabled(Button(IDC_UNINSTALL)));
                               } else if (step == 2) {
                                   EXPECT_FALSE(Visible(context->selectPage.hwnd));
                                   EXPECT_TRUE(Visible(context->removePage.hwnd));
                                   EXPECT_FALSE(IsWindowEnabled(Button(IDC_EXIT)));
                                   EXPECT_FALSE(IsWindowEnabled(Button(IDC_UNINSTALL)));
                                   HMENU system = GetSystemMenu(Main(), FALSE);
                                   EXPECT_TRUE(GetMenuState(system, SC_CLOSE, MF_BYCOMMAND) & MF_GRAYED);
                               }
                               seen.push_back(std::to_string(step));
                           });
    EXPECT_EQ((std::vector<std::string>{"0", "1", "2"}), seen);
    // The removal runs to its end by itself, and the window closes with 1.
    EXPECT_EQ(1, o.result) << o.stop;
    EXPECT_EQ(1u, m->transcript.count("message box \"アンインストール\": \"プリンタのアンインストールが完了しました。\" -> OK"));
    int kept[2] = {-1, -1};
    for (const CPrinterEntry& p : context->database.printers) {
        if (std::string(p.printerName) == "Office") kept[0] = p.isKept;
        if (std::string(p.printerName) == "Home") kept[1] = p.isKept;
    }
    EXPECT_EQ(0, kept[0]);
    EXPECT_EQ(1, kept[1]);
}

TEST_F(MainWindow, TextsAndSystemMenuAfterInitialisation) {
    Use(kPrinters);
    Run({Action(UserAction::DeselectAll)}, [&](int) {
        char text[256] = "";
        GetWindowTextA(Main(), text, sizeof text);
        EXPECT_STREQ("アンインストール", text);
        GetWindowTextA(Button(IDC_UNINSTALL), text, sizeof text);
        EXPECT_STREQ("アンインストール(&U)", text);
        GetWindowTextA(Button(IDC_EXIT), text, sizeof text);
        EXPECT_STREQ("キャンセル", text);
        EXPECT_FALSE(Visible(GetDlgItem(Main(), IDC_PAGE_FRAME)));
        HMENU system = GetSystemMenu(Main(), FALSE);
        int count = GetMenuItemCount(system);
        ASSERT_GE(count, 2);
        EXPECT_EQ(static_cast<UINT>(IDM_ABOUT), GetMenuItemID(system, count - 1));
        EXPECT_TRUE(GetMenuState(system, static_cast<UINT>(count - 2), MF_BYPOSITION) & MF_MENUBARBREAK);
        EXPECT_TRUE(GetMenuState(system, SC_MAXIMIZE, MF_BYCOMMAND) & MF_GRAYED);
        EXPECT_TRUE(GetMenuState(system, SC_SIZE, MF_BYCOMMAND) & MF_GRAYED);
        // The pages cover the frame exactly.
        RECT frame, page;
        GetWindowRect(GetDlgItem(Main(), IDC_PAGE_FRAME), &frame);
        GetWindowRect(context->selectPage.hwnd, &page);
        EXPECT_EQ(frame.left, page.left);
        EXPECT_EQ(frame.top, page.top);
        EXPECT_EQ(frame.right, page.right);
        EXPECT_EQ(frame.bottom, page.bottom);
    });
}

TEST_F(MainWindow, WithoutFamilyPrintersUninstallIsEnabledAtOnce) {
    Use("[printer]\nname = Other\ndriver = Acme Laser\nport = LPT3:\n");
    uirun::Outcome o = Run({Press(IDC_UNINSTALL)}, [&](int) { EXPECT_TRUE(Visible(context->removePage.hwnd)); });
    EXPECT_EQ(1, o.result) << o.stop;
    EXPECT_EQ(0, SendMessageA(context->selectPage.listView, LVM_GETITEMCOUNT, 0, 0));
}

TEST_F(MainWindow, EscapeDuringTheRemovalDoesNothingAndTheSpoolerRunsAgainAfterIt) {
    Use(kPrinters);
    UserAction escape = Action(UserAction::Key, "escape");
    escape.at = 10400;  // the loading ends at 9600; the stages then run one every 200 ms
    bool stoppedDuringRemoval = false;
    uirun::Outcome o = Run({Action(UserAction::Select, "", {"Office"}), Press(IDC_UNINSTALL), escape}, [&](int step) {
        if (step == 2) stoppedDuringRemoval = context->removePage.IsRemoving() != 0;
    });
    EXPECT_EQ(1, o.result) << o.stop;
    EXPECT_TRUE(stoppedDuringRemoval);
    EXPECT_TRUE(m->services.find("Spooler")->running);
    EXPECT_EQ(1u, m->transcript.count("プリンタのアンインストールが完了しました。"));  // the run went on to its end
}

TEST_F(MainWindow, EscapeEnterAndExitEndTheToolWithOne) {
    Use(kPrinters);
    EXPECT_EQ(1, Run({Action(UserAction::Key, "escape")}).result);
    Use(kPrinters);
    EXPECT_EQ(1, Run({Press(IDC_EXIT)}).result);
}

TEST_F(MainWindow, AboutEntryOfTheSystemMenuOpensTheAboutBox) {
    Use(kPrinters);
    uirun::Outcome o = Run({Action(UserAction::SystemMenu, std::to_string(IDM_ABOUT)), Press(IDOK), Press(IDC_EXIT)});
    EXPECT_EQ(1, o.result) << o.stop;
    EXPECT_EQ(1u, m->transcript.count("dialog 114 shown"));
}

TEST_F(MainWindow, AFailedLoadingEndsTheToolWithoutShowingTheWindow) {
    Use("[system]\nadmin = no\n" + std::string(kPrinters));
    uirun::Outcome o = Run({Press(IDC_EXIT)});
    EXPECT_EQ(1, o.result);
    EXPECT_EQ(1u, m->windows.user.actions.size());  // the user never saw a window to act on
    EXPECT_EQ(1u, m->transcript.count("アドミニストレータ (管理者) 権限を持っていません。"));
}

}  // namespace
