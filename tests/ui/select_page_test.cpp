// The selection page: the list's columns, cells and images after filling, the context menu, the view
// commands, and the user's choice written into the printer entries.
#include <gtest/gtest.h>

#include <cstring>

#include "support/temp_machine.h"
#include "support/ui_run.h"

namespace {

using simwin::UserAction;
using uirun::Action;
using uirun::Press;

const char kPrinters[] =
    "[printer]\nname = Office\ndriver = Vestral X Driver\nport = LPT1:\ndefault = yes\ndata.VestralDriver04 = 1\n"
    "[printer]\nname = Remote\ndriver = Vestral X Driver\nserver = \\\\SRV\ndefault = no\ndata.VestralDriver04 = 1\n"
    "data.PavPrinter = Mask\n"
    "[printer]\nname = Other\ndriver = Acme Laser\nport = LPT3:\n";

class SelectionPage : public uirun::Fixture {
protected:
    HWND List() { return context->selectPage.listView; }
    LONG_PTR View() { return GetWindowLongPtrA(List(), GWL_STYLE) & LVS_TYPEMASK; }
    void SetKorunKey(const char* value) {
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, "SOFTWARE\\VESTRAL\\KORUN04", &key));
        RegSetValueExA(key, NULL, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), static_cast<DWORD>(std::strlen(value) + 1));
        RegCloseKey(key);
    }
};

TEST_F(SelectionPage, ListShowsTheSelectablePrintersWithTheirColumnsAndImages) {
    Use(kPrinters);
    Run({Action(UserAction::DeselectAll)}, [&](int) {
        EXPECT_EQ((std::vector<std::string>{"Office | Vestral X Driver | ローカル | はい | はい | (該当せず)",
                                            "Remote | Vestral X Driver | \\\\SRV | いいえ | はい | Mask"}),
                  uirun::Rows(List(), 6));
        EXPECT_EQ(1, uirun::ItemImage(List(), 0));  // default, local, not masked
        EXPECT_EQ(6, uirun::ItemImage(List(), 1));  // on another machine and masked
        EXPECT_EQ(LVS_LIST, View());
        EXPECT_EQ(static_cast<UINT>(LVIS_FOCUSED), uirun::ItemState(List(), 0));
        EXPECT_EQ(0u, uirun::ItemState(List(), 1));
        char header[64] = "";
        LVCOLUMNA column{};
        column.mask = LVCF_TEXT;
        column.pszText = header;
        column.cchTextMax = sizeof header;
        SendMessageA(List(), LVM_GETCOLUMNA, 5, reinterpret_cast<LPARAM>(&column));
        EXPECT_STREQ("マスクされたプリンタ名", header);
    });
}

TEST_F(SelectionPage, ContextMenuWithNothingSelectedWithoutTheDiagnosticKey) {
    Use(kPrinters);
    Run({Action(UserAction::RightClick), Action(UserAction::Dismiss)}, [&](int) {
        HMENU menu = context->selectPage.viewMenu;
        ASSERT_NE(nullptr, menu);
        EXPECT_EQ(8, GetMenuItemCount(menu));  // no "Other Details..." and no separator before it
        EXPECT_TRUE(GetMenuState(menu, IDM_DELETE_PRINTERS, MF_BYCOMMAND) & MF_GRAYED);
        EXPECT_TRUE(GetMenuState(menu, IDM_VIEW_LIST, MF_BYCOMMAND) & MF_CHECKED);
        EXPECT_FALSE(GetMenuState(menu, IDM_VIEW_DETAILS, MF_BYCOMMAND) & MF_CHECKED);
        EXPECT_EQ(static_cast<UINT>(IDM_DELETE_PRINTERS), GetMenuDefaultItem(menu, FALSE, GMDI_USEDISABLED));
    });
}

TEST_F(SelectionPage, TheKorunKeyAddsOtherDetailsWhichOpensTheDiagnosticDialog) {
    Use(kPrinters);
    SetKorunKey("on");
    uirun::Outcome o = Run({Action(UserAction::Select, "", {"Office"}), Action(UserAction::RightClick),
                            Action(UserAction::Menu, std::to_string(IDM_OTHER_DETAILS)), Press(IDOK),
                            Press(IDC_EXIT)},
                           [&](int step) {
                               if (step != 1) return;
                               HMENU menu = context->selectPage.viewMenu;
                               EXPECT_EQ(10, GetMenuItemCount(menu));
                               EXPECT_EQ(0u, GetMenuItemID(menu, 8));  // the separator
                               EXPECT_FALSE(GetMenuState(menu, IDM_OTHER_DETAILS, MF_BYCOMMAND) & MF_GRAYED);
                           });
    EXPECT_EQ(1, o.result) << o.stop;
    EXPECT_EQ(1u, m->transcript.count("dialog 116 shown"));
}

TEST_F(SelectionPage, AnEmptyDiagnosticValueHidesOtherDetails) {
    Use(kPrinters);
    SetKorunKey("");
    Run({Action(UserAction::RightClick), Action(UserAction::Dismiss)},
        [&](int) { EXPECT_EQ(8, GetMenuItemCount(context->selectPage.viewMenu)); });
}

TEST_F(SelectionPage, ViewCommandsAndSelectAll) {
    Use(kPrinters);
    Run({Action(UserAction::RightClick), Action(UserAction::Menu, std::to_string(IDM_VIEW_SMALL_ICONS)),
         Action(UserAction::RightClick), Action(UserAction::Menu, std::to_string(IDM_SELECT_ALL))},
        [&](int step) {
            // Each action is pictured: the right-clicks before their menus open, the picks after.
            if (step == 1) {
                EXPECT_EQ(LVS_SMALLICON, View());
            }
            if (step == 3) {
                EXPECT_EQ(2, SendMessageA(List(), LVM_GETSELECTEDCOUNT, 0, 0));
                EXPECT_TRUE(IsWindowEnabled(GetDlgItem(context->hwnd, IDC_UNINSTALL)));
            }
        });
}

TEST_F(SelectionPage, DeleteCommandAppliesTheSelectionAndStartsTheRemoval) {
    Use(kPrinters);
    Run({Action(UserAction::Select, "", {"Remote"}), Action(UserAction::RightClick),
         Action(UserAction::Menu, std::to_string(IDM_DELETE_PRINTERS))},
        [&](int step) {
            if (step == 2) {
                EXPECT_TRUE(IsWindowVisible(context->removePage.hwnd));
            }
        });
    EXPECT_EQ(1, context->selectPage.selectedCount);
    for (const CPrinterEntry& p : context->database.printers) {
        if (!p.isForeign) {
            EXPECT_EQ(std::string(p.printerName) == "Remote" ? 0 : 1, p.isKept) << p.printerName;
        }
    }
}

// Uninstall follows the selection both ways: nothing selected, nothing to uninstall.
TEST_F(SelectionPage, SelectingAndDeselectingAllDisablesUninstallAgain) {
    Use(kPrinters);
    std::vector<bool> enabled;
    Run({Action(UserAction::SelectAll), Action(UserAction::DeselectAll), Action(UserAction::Select, "", {"Remote"})},
        [&](int) { enabled.push_back(IsWindowEnabled(GetDlgItem(context->hwnd, IDC_UNINSTALL)) != FALSE); });
    EXPECT_EQ((std::vector<bool>{true, false, true}), enabled);
}

// A person's keys, a row per case: after the list is filled it has the focus (nothing else in the window
// took it), the arrows and Space select at once, Tab goes list, Uninstall, Cancel, and round.
TEST_F(SelectionPage, TheKeyboardWorksFromTheFilledList) {
    struct Case {
        const char* what;
        std::vector<std::string> keys;
        const char* focus;  // "list", "uninstall", "cancel"
        std::vector<UINT> states;  // of the two items afterwards
        bool uninstall;
    };
    const Case cases[] = {
        {"Left at the first column: nothing to go to", {"left"}, "list", {LVIS_FOCUSED, 0}, false},
        {"Down", {"down"}, "list", {0, LVIS_SELECTED | LVIS_FOCUSED}, true},
        {"Space", {"space"}, "list", {LVIS_SELECTED | LVIS_FOCUSED, 0}, true},
        {"Ctrl+Space twice", {"ctrl+space", "ctrl+space"}, "list", {LVIS_FOCUSED, 0}, false},
        {"Tab with nothing selected", {"tab"}, "cancel", {LVIS_FOCUSED, 0}, false},
        {"Space, Tab", {"space", "tab"}, "uninstall", {LVIS_SELECTED | LVIS_FOCUSED, 0}, true},
        {"Space, Tab, Tab", {"space", "tab", "tab"}, "cancel", {LVIS_SELECTED | LVIS_FOCUSED, 0}, true},
        {"Space, Tab three times", {"space", "tab", "tab", "tab"}, "list", {LVIS_SELECTED | LVIS_FOCUSED, 0}, true},
        {"Space, Shift+Tab", {"space", "shift+tab"}, "cancel", {LVIS_SELECTED | LVIS_FOCUSED, 0}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Use(kPrinters);
        std::vector<simwin::UserAction> actions;
        for (const std::string& key : c.keys) actions.push_back(Action(UserAction::Key, key));
        actions.push_back(Press(IDC_EXIT));
        std::string focus;
        std::vector<UINT> states;
        bool uninstall = false;
        Run(actions, [&](int step) {
            if (step != static_cast<int>(c.keys.size()) - 1) return;
            HWND f = GetFocus();
            focus = f == List() ? "list" : f == GetDlgItem(context->hwnd, IDC_UNINSTALL) ? "uninstall"
                    : f == GetDlgItem(context->hwnd, IDC_EXIT)                           ? "cancel"
                                                                                         : "?";
            states = {uirun::ItemState(List(), 0), uirun::ItemState(List(), 1)};
            uninstall = IsWindowEnabled(GetDlgItem(context->hwnd, IDC_UNINSTALL)) != FALSE;
        });
        EXPECT_EQ(c.focus, focus);
        EXPECT_EQ(c.states, states);
        EXPECT_EQ(c.uninstall, uninstall);
    }
}

// Shift+F10 and the Menu key open the context menu, as a right click on the focused item does: the menu is
// prepared the same way (the delete command enabled with a selection) and its commands work.
TEST_F(SelectionPage, ShiftF10AndTheMenuKeyOpenTheContextMenu) {
    for (const char* key : {"shift+f10", "apps"}) {
        SCOPED_TRACE(key);
        Use(kPrinters);
        std::vector<LONG_PTR> views;
        uirun::Outcome o = Run({Action(UserAction::Key, "down"), Action(UserAction::Key, key),
                                Action(UserAction::Menu, std::to_string(IDM_VIEW_DETAILS)), Press(IDC_EXIT)},
                               [&](int) { views.push_back(View()); });
        EXPECT_EQ(1, o.result) << o.stop;
        EXPECT_EQ(LVS_REPORT, views.back());  // the menu's command ran
        EXPECT_EQ(1u, m->transcript.count("menu command 40007"));
        HMENU menu = context ? context->selectPage.viewMenu : nullptr;
        ASSERT_NE(nullptr, menu);
        EXPECT_FALSE(GetMenuState(menu, IDM_DELETE_PRINTERS, MF_BYCOMMAND) & MF_GRAYED);  // Remote is selected
    }
}

// The menu of the keyboard opens at the focused item: where a right click on it would.
TEST_F(SelectionPage, TheKeyboardsMenuOpensAtTheFocusedItem) {
    Use(kPrinters);
    POINT expected{};
    uirun::Outcome o = Run({Action(UserAction::Key, "down"), Action(UserAction::Key, "apps"), Action(UserAction::Dismiss),
                            Press(IDC_EXIT)},
                           [&](int step) {
                               if (step != 0) return;
                               RECT r{LVIR_LABEL, 0, 0, 0};
                               ASSERT_TRUE(SendMessageA(List(), LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&r)));
                               expected = POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
                               ClientToScreen(List(), &expected);
                           });
    EXPECT_EQ(1, o.result) << o.stop;
    EXPECT_EQ(expected.x, m->menus.openedAt.x);
    EXPECT_EQ(expected.y, m->menus.openedAt.y);
}

// The page alone, over a database filled in the test.
class SelectionPageAlone : public ::testing::Test {
protected:
    simwin::Machine m;
    simwin::MachineScope scope{m};
    CUninstallDatabase database;
    CSelectPage page;
    HWND parent = nullptr;

    void SetUp() override {
        parent = CreateWindowExA(0, "#32770", "", WS_POPUP, 0, 0, 400, 300, NULL, NULL, NULL, NULL);
        page.database = &database;
        ASSERT_NE(nullptr, CreateDialogParamA(NULL, "IDD_SELECT", parent, StaticDialogProc, reinterpret_cast<LPARAM>(&page)));
    }
    CPrinterEntry& Add(const std::string& name) {
        CPrinterEntry& p = database.printers.AddNew();
        CopyText(p.printerName, name.c_str());
        CopyText(p.driverName, "Vestral X Driver");
        p.isFamily = 1;
        p.isListed = 1;
        return p;
    }
    void Select(int index, bool selected) {
        LVITEMA state{};
        state.stateMask = LVIS_SELECTED;
        state.state = selected ? LVIS_SELECTED : 0;
        SendMessageA(page.listView, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&state));
    }
};

TEST_F(SelectionPageAlone, BeforeFillingTheListHoldsThePlaceholder) {
    EXPECT_EQ((std::vector<std::string>{"(ローディング中)"}), uirun::Rows(page.listView, 1));
}

TEST_F(SelectionPageAlone, AnEmptyListSendsNothingToTheParent) {
    page.FillPrinterList();
    EXPECT_EQ(0, SendMessageA(page.listView, LVM_GETITEMCOUNT, 0, 0));
}

// A view command repaints the list at once (the list's procedure gets WM_PAINT before the command returns);
// the view it already has changes nothing.
int g_paints = 0;
WNDPROC g_listProc = nullptr;
LRESULT CALLBACK CountPaints(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) ++g_paints;
    return CallWindowProcA(g_listProc, hwnd, message, wParam, lParam);
}

TEST_F(SelectionPageAlone, AViewCommandRepaintsTheListAtOnce) {
    Add("Office");
    Add("Home");
    ShowWindow(parent, SW_SHOW);
    page.Show(1);
    page.FillPrinterList();
    g_listProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(page.listView, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountPaints)));
    struct Case {
        UINT command;
        LONG_PTR view;
        int paints;
    };
    for (Case c : {Case{IDM_VIEW_DETAILS, LVS_REPORT, 1}, Case{IDM_VIEW_DETAILS, LVS_REPORT, 0},
                   Case{IDM_VIEW_LARGE_ICONS, LVS_ICON, 1}, Case{IDM_VIEW_LIST, LVS_LIST, 1}}) {
        SCOPED_TRACE(c.command);
        g_paints = 0;
        SendMessageA(page.hwnd, WM_COMMAND, c.command, 0);
        EXPECT_EQ(c.view, GetWindowLongPtrA(page.listView, GWL_STYLE) & LVS_TYPEMASK);
        EXPECT_EQ(c.paints, g_paints);
    }
}

TEST_F(SelectionPageAlone, TheEightImagesFollowDefaultLocationAndMask) {
    for (int image = 0; image < 8; ++image) {
        CPrinterEntry& p = Add("P" + std::to_string(image));
        p.isDefault = image & 1;
        if (image & 2) CopyText(p.location, "\\\\SRV");
        if (image & 4) CopyText(p.pavedName, "Mask");
    }
    page.FillPrinterList();
    ASSERT_EQ(8, SendMessageA(page.listView, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < 8; ++i) EXPECT_EQ(i, uirun::ItemImage(page.listView, i)) << i;
}

TEST_F(SelectionPageAlone, TheChoiceReachesEveryEntryOfAPrinterAndLongNames) {
    Add("Office");
    Add("Home");
    Add("Office");  // listed twice by an enumeration that ran twice
    CPrinterEntry& filtered = Add("Hidden");
    filtered.isListed = 0;
    filtered.isKept = 1;
    Add(std::string(259, 'L'));
    page.FillPrinterList();
    ASSERT_EQ(3, SendMessageA(page.listView, LVM_GETITEMCOUNT, 0, 0));  // each printer once
    Select(0, true);
    Select(2, true);
    page.ApplySelection();
    std::vector<int> kept;
    for (const CPrinterEntry& p : database.printers) kept.push_back(p.isKept);
    EXPECT_EQ((std::vector<int>{0, 1, 0, 1, 0}), kept);
}

}  // namespace
