// What the simulated list view (SysListView32) puts on the screen and answers there: columns and their
// widths, the items' rectangles and hit testing, the mouse, the focus, and the text picture of the list.
//
// Each test puts the list into a window of its own class inside a "#32770" window; that window records
// every WM_NOTIFY (and WM_CONTEXTMENU) as one line of text, so a sequence reads as a table.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "simwin/machine.h"
#include "simwin/win32.h"
#include "support/list_view_fixture.h"

namespace {

using namespace lvtest;

// --- Columns ---------------------------------------------------------------------------------------------------------

TEST_F(ListViewTest, ColumnsInsertAtTheirIndexAndAnIndexBeyondTheCountAppends) {
    EXPECT_EQ(0, Column(0, "A", 50));
    EXPECT_EQ(1, Column(7, "B", 60));  // beyond the count: appended
    EXPECT_EQ(0, Column(0, "C", 70));  // before the others
    LVCOLUMNA c{};
    c.mask = LVCF_WIDTH;
    EXPECT_EQ(-1, Send(LVM_INSERTCOLUMNA, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&c)));
    EXPECT_EQ(-1, Send(LVM_INSERTCOLUMNA, 0, 0));

    const char* expected[] = {"C", "A", "B"};
    for (int i = 0; i < 3; ++i) {
        char text[16];
        LVCOLUMNA got;
        std::memset(&got, 0xBD, sizeof got);
        got.mask = LVCF_TEXT;
        got.pszText = text;
        got.cchTextMax = sizeof text;
        ASSERT_TRUE(Send(LVM_GETCOLUMNA, i, reinterpret_cast<LPARAM>(&got)));
        EXPECT_STREQ(expected[i], text);
        EXPECT_EQ(static_cast<int>(0xBDBDBDBD), got.cx);  // not asked for: left alone
        EXPECT_EQ(static_cast<int>(0xBDBDBDBD), got.fmt);
    }
}

TEST_F(ListViewTest, GetColumnReportsWhatWasSetAndCutsTheHeaderText) {
    LVCOLUMNA c{};
    c.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    c.fmt = LVCFMT_RIGHT;
    c.cx = 123;
    c.pszText = const_cast<LPSTR>("Driver name");
    c.iSubItem = 4;
    ASSERT_EQ(0, Send(LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&c)));

    char text[7];
    std::memset(text, 'x', sizeof text);
    LVCOLUMNA got;
    std::memset(&got, 0xBD, sizeof got);
    got.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    got.pszText = text;
    got.cchTextMax = sizeof text;
    ASSERT_TRUE(Send(LVM_GETCOLUMNA, 0, reinterpret_cast<LPARAM>(&got)));
    EXPECT_EQ(LVCFMT_RIGHT, got.fmt);
    EXPECT_EQ(123, got.cx);
    EXPECT_STREQ("Driver", text);  // cut to cchTextMax - 1
    EXPECT_EQ(4, got.iSubItem);

    // SETCOLUMN changes the text and width; a missing column is refused and the structure left alone.
    LVCOLUMNA set{};
    set.mask = LVCF_TEXT | LVCF_WIDTH;
    set.pszText = const_cast<LPSTR>("Port");
    set.cx = 40;
    EXPECT_TRUE(Send(LVM_SETCOLUMNA, 0, reinterpret_cast<LPARAM>(&set)));
    EXPECT_FALSE(Send(LVM_SETCOLUMNA, 1, reinterpret_cast<LPARAM>(&set)));
    EXPECT_EQ(40, Width(0));
    std::memset(&got, 0xBD, sizeof got);
    got.mask = LVCF_WIDTH;
    EXPECT_FALSE(Send(LVM_GETCOLUMNA, 1, reinterpret_cast<LPARAM>(&got)));
    EXPECT_EQ(static_cast<int>(0xBDBDBDBD), got.cx);
}

TEST_F(ListViewTest, DeletingAColumnMovesTheLaterSubitemsLeft) {
    Column(0, "Name", 50);
    Column(1, "Driver", 50);
    Column(2, "Port", 50);
    Insert(0, "Office");
    SetText(0, 1, "Vestral X");
    SetText(0, 2, "USB001");
    EXPECT_FALSE(Send(LVM_DELETECOLUMN, 3, 0));
    EXPECT_FALSE(Send(LVM_DELETECOLUMN, static_cast<WPARAM>(-1), 0));
    EXPECT_TRUE(Send(LVM_DELETECOLUMN, 1, 0));
    EXPECT_EQ("Office", Text(0, 0));
    EXPECT_EQ("USB001", Text(0, 1));
    EXPECT_EQ(0, Width(2));  // no such column any more
}

TEST_F(ListViewTest, ColumnWidthsAutoSizeToTextsHeadersAndTheRestOfTheList) {
    Column(0, "Name", 100);
    Column(1, "A long header", 100);
    Column(2, "Last", 100);
    Insert(0, "Office");
    Insert(1, "A much longer printer name");
    SetText(0, 1, "x");
    RECT client;
    GetClientRect(list, &client);

    struct Case {
        int column, cx, expected;
    } cases[] = {
        {0, 77, 77},
        {0, LVSCW_AUTOSIZE, 26 * 6 + 12},             // the longest item text and padding
        {1, LVSCW_AUTOSIZE, 1 * 6 + 12},              // the header does not count
        {1, LVSCW_AUTOSIZE_USEHEADER, 13 * 6 + 11},   // ... with USEHEADER it does, when it is longer
        {0, LVSCW_AUTOSIZE_USEHEADER, 26 * 6 + 12},   // ... and the texts when they are
        {2, LVSCW_AUTOSIZE_USEHEADER, -1},            // the last column fills the rest (below)
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.column);
        EXPECT_TRUE(Send(LVM_SETCOLUMNWIDTH, c.column, MAKELONG(c.cx, 0)));
        int expected = c.expected >= 0 ? c.expected : client.right - Width(0) - Width(1);
        EXPECT_EQ(expected, Width(c.column));
    }
    EXPECT_FALSE(Send(LVM_SETCOLUMNWIDTH, 3, MAKELONG(50, 0)));

    // With a small image list, the item column makes room for the image.
    Send(LVM_SETIMAGELIST, LVSIL_SMALL, 0x5000);
    EXPECT_TRUE(Send(LVM_SETCOLUMNWIDTH, 0, MAKELONG(LVSCW_AUTOSIZE, 0)));
    EXPECT_EQ(26 * 6 + 16 + 12, Width(0));
}

TEST_F(ListViewTest, ColumnWidthsInTheOtherViews) {
    Column(0, "Name", 100);
    SetWindowLongPtrA(list, GWL_STYLE, (GetWindowLongPtrA(list, GWL_STYLE) & ~LVS_TYPEMASK) | LVS_LIST);
    // One width for every column of the list view.
    EXPECT_TRUE(Send(LVM_SETCOLUMNWIDTH, 5, MAKELONG(90, 0)));
    EXPECT_EQ(90, Width(0));
    EXPECT_EQ(90, Width(3));
    EXPECT_FALSE(Send(LVM_SETCOLUMNWIDTH, 0, MAKELONG(0, 0)));
    SetWindowLongPtrA(list, GWL_STYLE, (GetWindowLongPtrA(list, GWL_STYLE) & ~LVS_TYPEMASK) | LVS_ICON);
    EXPECT_FALSE(Send(LVM_SETCOLUMNWIDTH, 0, MAKELONG(90, 0)));
    EXPECT_EQ(0, Width(0));
}
// --- Geometry --------------------------------------------------------------------------------------------------------

TEST_F(ListViewTest, ItemRectanglesFollowOneAnotherAndEnsureVisibleScrolls) {
    Column(0, "Name", 100);
    Column(1, "Driver", 60);
    for (int i = 0; i < 40; ++i) Insert(i, ("Printer " + std::to_string(i)).c_str());
    RECT first{LVIR_BOUNDS, 0, 0, 0}, second{LVIR_BOUNDS, 0, 0, 0};
    ASSERT_TRUE(Send(LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&first)));
    ASSERT_TRUE(Send(LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&second)));
    EXPECT_EQ(first.bottom, second.top);
    EXPECT_EQ(first.bottom - first.top, second.bottom - second.top);
    EXPECT_EQ(160, first.right - first.left);  // every column in report view
    RECT label{LVIR_LABEL, 0, 0, 0};
    ASSERT_TRUE(Send(LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&label)));
    EXPECT_EQ(100, label.right);  // the item's own column

    RECT untouched{LVIR_BOUNDS, 7, 7, 7};
    EXPECT_FALSE(Send(LVM_GETITEMRECT, 40, reinterpret_cast<LPARAM>(&untouched)));
    EXPECT_EQ(7, untouched.right);

    int perPage = static_cast<int>(Send(LVM_GETCOUNTPERPAGE, 0, 0));
    RECT client;
    GetClientRect(list, &client);
    EXPECT_EQ((client.bottom - first.top) / (first.bottom - first.top), perPage);
    EXPECT_EQ(0, Send(LVM_GETTOPINDEX, 0, 0));
    EXPECT_TRUE(Send(LVM_ENSUREVISIBLE, 39, FALSE));
    EXPECT_EQ(40 - perPage, Send(LVM_GETTOPINDEX, 0, 0));
    EXPECT_TRUE(Send(LVM_ENSUREVISIBLE, 3, FALSE));
    EXPECT_EQ(3, Send(LVM_GETTOPINDEX, 0, 0));
    EXPECT_FALSE(Send(LVM_ENSUREVISIBLE, 40, FALSE));

    // Icon views show every item on a page.
    SetWindowLongPtrA(list, GWL_STYLE, (GetWindowLongPtrA(list, GWL_STYLE) & ~LVS_TYPEMASK) | LVS_ICON);
    EXPECT_EQ(40, Send(LVM_GETCOUNTPERPAGE, 0, 0));
}

// Where the first row of a report lies and how high a row is: the 13-pixel text and a pixel between rows,
// or a 16-pixel image and that pixel; below the 20-pixel column header unless the list has none.
TEST_F(ListViewTest, RowHeightsAndTheFirstRowInReportView) {
    const struct {
        DWORD style;
        int imageList;  // -1: none
        int top, height;
    } cases[] = {
        {LVS_REPORT, -1, 20, 14},
        {LVS_REPORT, LVSIL_SMALL, 20, 17},
        {LVS_REPORT, LVSIL_STATE, 20, 17},
        {LVS_REPORT | LVS_NOCOLUMNHEADER, -1, 0, 14},
    };
    for (const auto& c : cases) {
        HWND report = Make(c.style);
        Column(0, "Name", 100, report);
        Insert(0, "Office", 0, report);
        if (c.imageList >= 0) SendMessageA(report, LVM_SETIMAGELIST, c.imageList, 0x5000);
        RECT r{LVIR_BOUNDS, 0, 0, 0};
        ASSERT_TRUE(SendMessageA(report, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&r)));
        EXPECT_EQ(c.top, r.top) << c.style << " " << c.imageList;
        EXPECT_EQ(c.height, r.bottom - r.top) << c.style << " " << c.imageList;
        DestroyWindow(report);
    }
}

TEST_F(ListViewTest, HitTestFindsTheItemUnderAPoint) {
    ThreeItems();
    POINT center = CenterOf(1);
    LVHITTESTINFO hit{};
    hit.pt = center;
    EXPECT_EQ(1, Send(LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    EXPECT_EQ(1, hit.iItem);
    EXPECT_EQ(static_cast<UINT>(LVHT_ONITEMLABEL), hit.flags);
    hit.pt = POINT{250, 150};  // beyond the column, below the items
    EXPECT_EQ(-1, Send(LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    EXPECT_EQ(static_cast<UINT>(LVHT_NOWHERE), hit.flags);
    hit.pt = POINT{-5, 30};
    EXPECT_EQ(-1, Send(LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    EXPECT_EQ(static_cast<UINT>(LVHT_TOLEFT), hit.flags);
}

// --- The mouse ---------------------------------------------------------------------------------------------------------

TEST_F(ListViewTest, ARightClickOnAnItemSelectsItThenSendsOneRightClickAndTheContextMenu) {
    ThreeItems();
    SetState(0, kSel | kFoc, kSel | kFoc);
    recorder.log.clear();
    POINT p = CenterOf(1);
    PostMessageA(list, WM_RBUTTONDOWN, MK_RBUTTON, MAKELONG(p.x, p.y));
    PostMessageA(list, WM_RBUTTONUP, 0, MAKELONG(p.x, p.y));
    Pump();
    EXPECT_EQ((std::vector<std::string>{
                  "RELEASEDCAPTURE", "SETFOCUS",
                  // the focus moves to the item clicked...
                  ItemChanging(1, kFoc, 0, 11), ItemChanging(0, kSel, kSel | kFoc, 10), ItemChanged(0, kSel, kSel | kFoc, 10),
                  ItemChanged(1, kFoc, 0, 11),
                  // ... which becomes the one selected item
                  ItemChanging(0, 0, kSel, 10), ItemChanged(0, 0, kSel, 10), ItemChanging(1, kSel | kFoc, kFoc, 11),
                  ItemChanged(1, kSel | kFoc, kFoc, 11),
                  // the button up ends the click
                  WithItem("RCLICK", 1, 11), "WM_CONTEXTMENU"}),
              recorder.log);
    EXPECT_EQ(list, GetFocus());
    EXPECT_FALSE(PeekMessageA(nullptr, NULL, 0, 0, PM_NOREMOVE));  // the button up was taken by the list
}

TEST_F(ListViewTest, ARightClickOnASelectedItemKeepsTheSelection) {
    ThreeItems();
    SetState(0, kSel, kSel);
    SetState(2, kSel | kFoc, kSel | kFoc);
    POINT p = CenterOf(0);
    PostMessageA(list, WM_RBUTTONDOWN, MK_RBUTTON, MAKELONG(p.x, p.y));
    PostMessageA(list, WM_RBUTTONUP, 0, MAKELONG(p.x, p.y));
    Pump();
    EXPECT_EQ(2, Send(LVM_GETSELECTEDCOUNT, 0, 0));
    EXPECT_EQ(kSel | kFoc, State(0));
    EXPECT_EQ(1, std::count(recorder.log.begin(), recorder.log.end(), WithItem("RCLICK", 0, 10)));
}

TEST_F(ListViewTest, ARightClickOffTheItemsDeselectsAllAndReportsNoItem) {
    ThreeItems();
    SetState(1, kSel, kSel);
    recorder.answer = [](NMHDR* h) -> LRESULT { return h->code == NM_RCLICK; };  // the parent handles it
    PostMessageA(list, WM_RBUTTONDOWN, MK_RBUTTON, MAKELONG(250, 150));
    PostMessageA(list, WM_RBUTTONUP, 0, MAKELONG(250, 150));
    Pump();
    EXPECT_EQ(0, Send(LVM_GETSELECTEDCOUNT, 0, 0));
    ASSERT_FALSE(recorder.log.empty());
    EXPECT_EQ(WithItem("RCLICK", -1, 0), recorder.log.back());  // and no WM_CONTEXTMENU after it
}

TEST_F(ListViewTest, DraggingWithTheRightButtonIsNoClick) {
    ThreeItems();
    POINT p = CenterOf(0);
    PostMessageA(list, WM_RBUTTONDOWN, MK_RBUTTON, MAKELONG(p.x, p.y));
    PostMessageA(list, WM_MOUSEMOVE, MK_RBUTTON, MAKELONG(p.x + 2, p.y + 1));  // still within the drag distance
    PostMessageA(list, WM_MOUSEMOVE, MK_RBUTTON, MAKELONG(p.x + 30, p.y));
    PostMessageA(list, WM_RBUTTONUP, 0, MAKELONG(p.x + 30, p.y));
    Pump();
    EXPECT_EQ(1, std::count(recorder.log.begin(), recorder.log.end(), "BEGINRDRAG 0"));
    EXPECT_EQ(0, std::count_if(recorder.log.begin(), recorder.log.end(),
                               [](const std::string& l) { return l.rfind("RCLICK", 0) == 0 || l == "WM_CONTEXTMENU"; }));
}

TEST_F(ListViewTest, TheScriptedUsersRightClickGivesOneRightClick) {
    ThreeItems();
    simwin::UserAction click;
    click.kind = simwin::UserAction::RightClick;
    simwin::current().windows.perform(click, dialog);
    Pump();
    EXPECT_EQ(1, std::count_if(recorder.log.begin(), recorder.log.end(),
                               [](const std::string& l) { return l.rfind("RCLICK", 0) == 0; }));
    EXPECT_EQ(1, std::count(recorder.log.begin(), recorder.log.end(), "WM_CONTEXTMENU"));
}

TEST_F(ListViewTest, TheScriptedUsersRightClickKeepsTheSelectionOfAReportWithSeveralColumns) {
    ThreeItems();
    Column(1, "Driver", 150);
    Column(2, "Port", 150);
    SetState(0, kSel, kSel);
    SetState(2, kSel | kFoc, kSel | kFoc);
    simwin::UserAction click;
    click.kind = simwin::UserAction::RightClick;
    simwin::current().windows.perform(click, dialog);
    Pump();
    EXPECT_EQ(2, Send(LVM_GETSELECTEDCOUNT, 0, 0));
    EXPECT_EQ(1, std::count(recorder.log.begin(), recorder.log.end(), WithItem("RCLICK", 0, 10)));
}

TEST_F(ListViewTest, LeftClicksSelectOnThePressAndReportTheClickOnTheRelease) {
    ThreeItems();
    SetState(0, kSel, kSel);
    POINT p = CenterOf(2);
    SendMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELONG(p.x, p.y));
    EXPECT_EQ(kSel | kFoc, State(2));
    EXPECT_EQ(0u, State(0));
    recorder.log.clear();
    SendMessageA(list, WM_LBUTTONUP, 0, MAKELONG(p.x, p.y));
    EXPECT_EQ((std::vector<std::string>{WithItem("CLICK", 2, 12)}), recorder.log);

    // With Ctrl an item joins (or leaves) the selection.
    p = CenterOf(1);
    SendMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, MAKELONG(p.x, p.y));
    SendMessageA(list, WM_LBUTTONUP, MK_CONTROL, MAKELONG(p.x, p.y));
    EXPECT_EQ(2, Send(LVM_GETSELECTEDCOUNT, 0, 0));
    EXPECT_EQ(kSel | kFoc, State(1));
    // With Shift the items from the selection mark on.
    p = CenterOf(0);
    SendMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, MAKELONG(p.x, p.y));
    SendMessageA(list, WM_LBUTTONUP, MK_SHIFT, MAKELONG(p.x, p.y));
    EXPECT_EQ(kSel | kFoc, State(0));
    EXPECT_EQ(kSel, State(1));
    EXPECT_EQ(0u, State(2));
}

// A key moves the focus from the second of three items and selects the item it lands on alone; a key the
// list does not handle leaves both where they were.
TEST_F(ListViewTest, KeysMoveTheFocusAndTheSelection) {
    const struct {
        WPARAM key;
        int lands;
    } cases[] = {
        {VK_HOME, 0}, {VK_END, 2}, {VK_UP, 0}, {VK_DOWN, 2}, {VK_TAB, 1},
    };
    for (const auto& c : cases) {
        Send(LVM_DELETEALLITEMS, 0, 0);
        Send(LVM_DELETECOLUMN, 0, 0);
        ThreeItems();
        SetState(1, kSel | kFoc, kSel | kFoc);
        Send(WM_KEYDOWN, c.key, 0);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(i == c.lands ? kSel | kFoc : 0u, State(i)) << c.key << " item " << i;
    }
}

TEST_F(ListViewTest, TheListTellsItsParentWhenItGainsAndLosesTheFocus) {
    HWND other = CreateWindowExA(0, "Button", "OK", WS_CHILD | WS_VISIBLE, 0, 250, 50, 20, parent, NULL, NULL, NULL);
    SetFocus(list);
    SetFocus(other);
    EXPECT_EQ((std::vector<std::string>{"SETFOCUS", "KILLFOCUS"}), recorder.log);
    EXPECT_EQ(DLGC_WANTCHARS | DLGC_WANTARROWS, Send(WM_GETDLGCODE, 0, 0));
}

// --- The picture -------------------------------------------------------------------------------------------------------

TEST_F(ListViewTest, PictureOfTheReportViewShowsColumnsTextsImagesAndState) {
    Column(0, "名前", 100);
    Column(1, "ドライバー", 120);
    Column(2, "ロケーション", 90);
    Insert(0, "Office");
    SetText(0, 1, "Vestral X Driver");
    SetText(0, 2, "ローカル");
    Insert(1, "Labels");
    LVITEMA image{};
    image.mask = LVIF_IMAGE;
    image.iImage = 1;
    Send(LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&image));
    SetState(0, kSel | kFoc, kSel | kFoc);
    // Without a small image list no image is seen.
    EXPECT_EQ((std::vector<std::string>{"view report", "columns \"名前\" 100 | \"ドライバー\" 120 | \"ロケーション\" 90",
                                        "0  \"Office\" | \"Vestral X Driver\" | \"ローカル\"  selected focused",
                                        "1  \"Labels\" | \"\" | \"\""}),
              Picture());
    Send(LVM_SETIMAGELIST, LVSIL_SMALL, 0x5000);
    EXPECT_EQ("0  \"Office\" | \"Vestral X Driver\" | \"ローカル\"  image 1  selected focused", Picture()[2]);
    EXPECT_EQ("1  \"Labels\" | \"\" | \"\"  image 0", Picture()[3]);
}

TEST_F(ListViewTest, PictureOfTheOtherViewsShowsTheItemTextsAndTheirImages) {
    ThreeItems();
    Column(1, "Driver", 100);
    SetText(0, 1, "Vestral");
    SetState(1, kSel, kSel);
    Send(LVM_SETIMAGELIST, LVSIL_NORMAL, 0x6000);
    SetWindowLongPtrA(list, GWL_STYLE, (GetWindowLongPtrA(list, GWL_STYLE) & ~LVS_TYPEMASK) | LVS_LIST);
    EXPECT_EQ((std::vector<std::string>{"view list", "0  \"Office\"", "1  \"Labels\"  selected", "2  \"Front\""}), Picture());
    Send(LVM_SETVIEW, LV_VIEW_ICON, 0);  // icon view shows the normal images
    EXPECT_EQ((std::vector<std::string>{"view icon", "0  \"Office\"  image 0", "1  \"Labels\"  image 0  selected",
                                        "2  \"Front\"  image 0"}),
              Picture());
}

TEST_F(ListViewTest, TheDialogPictureHoldsTheList) {
    HWND inDialog = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT, 0, 0, 200, 100, dialog,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(kListId)), NULL, NULL);
    Column(0, "Name", 80, inDialog);
    Insert(0, "Office", 0, inDialog);
    std::vector<std::string> lines = simwin::current().windows.picture(dialog);
    auto at = std::find(lines.begin(), lines.end(), "    [1020] SysListView32");
    ASSERT_NE(lines.end(), at);
    ASSERT_GE(lines.end() - at, 4);
    EXPECT_EQ("        view report", at[1]);
    EXPECT_EQ("        columns \"Name\" 80", at[2]);
    EXPECT_EQ("        0  \"Office\"", at[3]);
}

}  // namespace
