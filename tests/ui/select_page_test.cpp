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

TEST_F(SelectionPage, SelectingAndDeselectingAllLeavesUninstallEnabled) {
    Use(kPrinters);
    Run({Action(UserAction::SelectAll), Action(UserAction::DeselectAll)},
        [&](int) { EXPECT_TRUE(IsWindowEnabled(GetDlgItem(context->hwnd, IDC_UNINSTALL))); });
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
