// The simulated list view (SysListView32): columns and their widths, items and subitems, selection and
// focus, the notifications its parent receives (in order, with their fields), deletion, searching, the
// views, image lists, the mouse, and the text picture of the list.
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

namespace {

const int kListId = 1020;
const UINT kSel = LVIS_SELECTED;
const UINT kFoc = LVIS_FOCUSED;

// --- The recording parent ------------------------------------------------------------------------------------------

struct Recorder {
    std::vector<std::string> log;
    std::function<LRESULT(NMHDR*)> answer;  // the parent's answer to a notification; 0 without
    std::vector<NMHDR> headers;
    std::vector<WPARAM> notifyWParams;
};
Recorder* g_recorder = nullptr;

std::string Hex(UINT v) {
    char b[16];
    std::snprintf(b, sizeof b, "0x%x", v);
    return b;
}

std::string Changing(const char* what, int item, UINT newState, UINT oldState, UINT changed, LPARAM param) {
    return std::string(what) + " " + std::to_string(item) + " new " + Hex(newState) + " old " + Hex(oldState) +
           " changed " + Hex(changed) + " param " + std::to_string(param);
}
std::string ItemChanging(int item, UINT n, UINT o, LPARAM param, UINT changed = LVIF_STATE) {
    return Changing("ITEMCHANGING", item, n, o, changed, param);
}
std::string ItemChanged(int item, UINT n, UINT o, LPARAM param, UINT changed = LVIF_STATE) {
    return Changing("ITEMCHANGED", item, n, o, changed, param);
}
std::string WithItem(const char* what, int item, LPARAM param) {
    return std::string(what) + " " + std::to_string(item) + " param " + std::to_string(param);
}

std::string Describe(const NMHDR* h) {
    auto* lv = reinterpret_cast<const NMLISTVIEW*>(h);
    switch (h->code) {
    case LVN_ITEMCHANGING: return Changing("ITEMCHANGING", lv->iItem, lv->uNewState, lv->uOldState, lv->uChanged, lv->lParam);
    case LVN_ITEMCHANGED: return Changing("ITEMCHANGED", lv->iItem, lv->uNewState, lv->uOldState, lv->uChanged, lv->lParam);
    case LVN_INSERTITEM: return WithItem("INSERTITEM", lv->iItem, lv->lParam);
    case LVN_DELETEITEM: return WithItem("DELETEITEM", lv->iItem, lv->lParam);
    case LVN_DELETEALLITEMS: return "DELETEALLITEMS " + std::to_string(lv->iItem);
    case LVN_BEGINRDRAG: return "BEGINRDRAG " + std::to_string(lv->iItem);
    case NM_CLICK: return WithItem("CLICK", lv->iItem, lv->lParam);
    case NM_RCLICK: return WithItem("RCLICK", lv->iItem, lv->lParam);
    case NM_SETFOCUS: return "SETFOCUS";
    case NM_KILLFOCUS: return "KILLFOCUS";
    case NM_RELEASEDCAPTURE: return "RELEASEDCAPTURE";
    case LVN_GETDISPINFOA: {
        auto* info = reinterpret_cast<const NMLVDISPINFOA*>(h);
        return "GETDISPINFO " + std::to_string(info->item.iItem) + "/" + std::to_string(info->item.iSubItem) +
               " mask " + Hex(info->item.mask);
    }
    default: return "notification " + std::to_string(static_cast<int>(h->code));
    }
}

LRESULT CALLBACK RecorderProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NOTIFY && g_recorder) {
        auto* h = reinterpret_cast<NMHDR*>(lParam);
        g_recorder->log.push_back(Describe(h));
        g_recorder->headers.push_back(*h);
        g_recorder->notifyWParams.push_back(wParam);
        return g_recorder->answer ? g_recorder->answer(h) : 0;
    }
    if (msg == WM_CONTEXTMENU && g_recorder) {
        g_recorder->log.push_back("WM_CONTEXTMENU");
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

class ListViewTest : public ::testing::Test {
protected:
    simwin::Machine machine;
    simwin::MachineScope scope{machine};
    Recorder recorder;
    HWND dialog = nullptr, parent = nullptr, list = nullptr;

    void SetUp() override {
        g_recorder = &recorder;
        WNDCLASSA wc{};
        wc.lpfnWndProc = RecorderProc;
        wc.lpszClassName = "ListViewTestParent";
        ASSERT_NE(0, RegisterClassA(&wc));
        dialog = CreateWindowExA(0, "#32770", "Test", WS_POPUP | WS_CAPTION | WS_VISIBLE, 0, 0, 420, 320, NULL, NULL, NULL, NULL);
        parent = CreateWindowExA(0, "ListViewTestParent", "", WS_CHILD | WS_VISIBLE, 0, 0, 400, 280, dialog,
                                 reinterpret_cast<HMENU>(1), NULL, NULL);
        ASSERT_NE(nullptr, parent);
        list = Make(LVS_REPORT);
    }
    void TearDown() override { g_recorder = nullptr; }

    HWND Make(DWORD style, int width = 300, int height = 200) {
        HWND h = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | style, 10, 10, width, height, parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(kListId)), NULL, NULL);
        EXPECT_NE(nullptr, h);
        return h;
    }
    LRESULT Send(UINT msg, WPARAM wParam, LPARAM lParam) { return SendMessageA(list, msg, wParam, lParam); }

    int Column(int at, const char* text, int width, HWND target = nullptr) {
        LVCOLUMNA c{};
        c.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        c.fmt = LVCFMT_LEFT;
        c.cx = width;
        c.pszText = const_cast<LPSTR>(text);
        c.iSubItem = at;
        return static_cast<int>(SendMessageA(target ? target : list, LVM_INSERTCOLUMNA, at, reinterpret_cast<LPARAM>(&c)));
    }
    int Insert(int at, const char* text, LPARAM param = 0, HWND target = nullptr) {
        LVITEMA item{};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = at;
        item.pszText = const_cast<LPSTR>(text);
        item.lParam = param;
        return static_cast<int>(SendMessageA(target ? target : list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    }
    BOOL SetText(int item, int sub, const char* text) {
        LVITEMA it{};
        it.iSubItem = sub;
        it.pszText = const_cast<LPSTR>(text);
        return static_cast<BOOL>(Send(LVM_SETITEMTEXTA, item, reinterpret_cast<LPARAM>(&it)));
    }
    std::string Text(int item, int sub = 0, HWND target = nullptr) {
        char buffer[8192];
        std::memset(buffer, 0xBD, sizeof buffer);
        LVITEMA it{};
        it.iSubItem = sub;
        it.pszText = buffer;
        it.cchTextMax = sizeof buffer;
        SendMessageA(target ? target : list, LVM_GETITEMTEXTA, item, reinterpret_cast<LPARAM>(&it));
        return buffer;
    }
    BOOL SetState(int item, UINT state, UINT mask) {
        LVITEMA it{};
        it.state = state;
        it.stateMask = mask;
        return static_cast<BOOL>(Send(LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&it)));
    }
    UINT State(int item) { return static_cast<UINT>(Send(LVM_GETITEMSTATE, item, kSel | kFoc)); }
    int Count() { return static_cast<int>(Send(LVM_GETITEMCOUNT, 0, 0)); }
    int Width(int column) { return static_cast<int>(Send(LVM_GETCOLUMNWIDTH, column, 0)); }
    std::vector<std::string> Order() {
        std::vector<std::string> out;
        for (int i = 0; i < Count(); ++i) out.push_back(Text(i));
        return out;
    }
    // Three items "Office", "Labels", "Front" with item data 10, 11, 12, and the log cleared.
    void ThreeItems() {
        Column(0, "Name", 100);
        Insert(0, "Office", 10);
        Insert(1, "Labels", 11);
        Insert(2, "Front", 12);
        recorder.log.clear();
    }
    POINT CenterOf(int item, HWND target = nullptr) {
        RECT r{};
        r.left = LVIR_LABEL;
        EXPECT_TRUE(SendMessageA(target ? target : list, LVM_GETITEMRECT, item, reinterpret_cast<LPARAM>(&r)));
        return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
    // Delivers what is queued, as a message loop would.
    void Pump() {
        MSG m;
        while (PeekMessageA(&m, NULL, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
    }
    std::vector<std::string> Picture(HWND target = nullptr) {
        std::vector<std::string> lines;
        simwin::current().windows.find(target ? target : list)->state->picture(lines);
        return lines;
    }
};

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

// --- Items -----------------------------------------------------------------------------------------------------------

TEST_F(ListViewTest, ItemsInsertAtTheirIndexAndAnIndexBeyondTheCountAppends) {
    Column(0, "Name", 100);
    EXPECT_EQ(0, Insert(0, "B"));
    EXPECT_EQ(1, Insert(9, "D"));
    EXPECT_EQ(0, Insert(0, "A"));
    EXPECT_EQ(2, Insert(2, "C"));
    EXPECT_EQ((std::vector<std::string>{"A", "B", "C", "D"}), Order());
    EXPECT_EQ(-1, Insert(-1, "E"));  // a negative index in an unsorted list
    LVITEMA sub{};
    sub.mask = LVIF_TEXT;
    sub.iSubItem = 1;
    sub.pszText = const_cast<LPSTR>("x");
    EXPECT_EQ(-1, Send(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&sub)));  // a subitem cannot be inserted
    EXPECT_EQ(-1, Send(LVM_INSERTITEMA, 0, 0));
    EXPECT_EQ(4, Count());
}

TEST_F(ListViewTest, SortedListsInsertByText) {
    struct Case {
        DWORD style;
        std::vector<std::string> expected;
    } cases[] = {
        {LVS_SORTASCENDING, {"apple", "Apple", "banana", "Cherry"}},
        {LVS_SORTDESCENDING, {"Cherry", "banana", "Apple", "apple"}},
    };
    for (const Case& c : cases) {
        HWND sorted = Make(LVS_REPORT | c.style);
        for (const char* text : {"banana", "Cherry", "Apple", "apple"}) Insert(99, text, 0, sorted);
        std::vector<std::string> order;
        for (int i = 0; i < 4; ++i) order.push_back(Text(i, 0, sorted));
        EXPECT_EQ(c.expected, order);
        // Sorted lists know their texts: a text the parent keeps is refused.
        LVITEMA callback{};
        callback.mask = LVIF_TEXT;
        callback.pszText = LPSTR_TEXTCALLBACKA;
        EXPECT_EQ(-1, SendMessageA(sorted, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&callback)));
    }
}

TEST_F(ListViewTest, InsertingAnnouncesTheItemAndItsSelection) {
    Column(0, "Name", 100);
    recorder.log.clear();
    Insert(0, "Office", 7);
    EXPECT_EQ((std::vector<std::string>{WithItem("INSERTITEM", 0, 7)}), recorder.log);

    recorder.log.clear();
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_STATE;
    item.iItem = 0;
    item.pszText = const_cast<LPSTR>("Labels");
    item.lParam = 8;
    item.state = kSel | kFoc;
    item.stateMask = 0;  // ignored when inserting
    EXPECT_EQ(0, Send(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    EXPECT_EQ((std::vector<std::string>{ItemChanging(0, kSel | kFoc, 0, 0), ItemChanged(0, kSel | kFoc, 0, 8),
                                        WithItem("INSERTITEM", 0, 8)}),
              recorder.log);
    EXPECT_EQ(kSel | kFoc, State(0));
    EXPECT_EQ(0u, State(1));

    // The notifications come from the list with its control ID.
    for (size_t i = 0; i < recorder.headers.size(); ++i) {
        EXPECT_EQ(list, recorder.headers[i].hwndFrom);
        EXPECT_EQ(static_cast<UINT_PTR>(kListId), recorder.headers[i].idFrom);
        EXPECT_EQ(static_cast<WPARAM>(kListId), recorder.notifyWParams[i]);
    }
}

TEST_F(ListViewTest, AParentRefusingTheChangeOfANewItemKeepsItOut) {
    Column(0, "Name", 100);
    Insert(0, "Office");
    recorder.answer = [](NMHDR* h) -> LRESULT { return h->code == LVN_ITEMCHANGING; };
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_STATE;
    item.iItem = 0;
    item.pszText = const_cast<LPSTR>("Labels");
    item.state = kSel;
    EXPECT_EQ(-1, Send(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    EXPECT_EQ(1, Count());
    EXPECT_EQ("Office", Text(0));
}

TEST_F(ListViewTest, GetItemFillsWhatTheMaskAsksAndLeavesTheRest) {
    Column(0, "Name", 100);
    Column(1, "Driver", 100);
    LVITEMA set{};
    set.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM | LVIF_INDENT;
    set.pszText = const_cast<LPSTR>("Office");
    set.iImage = 5;
    set.lParam = 42;
    set.iIndent = 2;
    ASSERT_EQ(0, Send(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&set)));
    SetText(0, 1, "Vestral X Driver");
    SetState(0, kSel, kSel);

    char text[32];
    LVITEMA got;
    std::memset(&got, 0xBD, sizeof got);
    got.mask = LVIF_TEXT | LVIF_PARAM;
    got.iItem = 0;
    got.iSubItem = 0;
    got.pszText = text;
    got.cchTextMax = sizeof text;
    ASSERT_TRUE(Send(LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&got)));
    EXPECT_STREQ("Office", text);
    EXPECT_EQ(42, got.lParam);
    EXPECT_EQ(static_cast<int>(0xBDBDBDBD), got.iImage);
    EXPECT_EQ(0xBDBDBDBDu, got.state);
    EXPECT_EQ(static_cast<int>(0xBDBDBDBD), got.iIndent);

    got.mask = LVIF_IMAGE | LVIF_STATE | LVIF_INDENT;
    got.stateMask = kSel | kFoc;
    ASSERT_TRUE(Send(LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&got)));
    EXPECT_EQ(5, got.iImage);
    EXPECT_EQ(kSel, got.state);
    EXPECT_EQ(2, got.iIndent);

    // A subitem: its text and item data; no state, and no image without LVS_EX_SUBITEMIMAGES.
    std::memset(&got, 0xBD, sizeof got);
    got.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_STATE | LVIF_PARAM;
    got.iItem = 0;
    got.iSubItem = 1;
    got.stateMask = ~0u;
    got.pszText = text;
    got.cchTextMax = sizeof text;
    ASSERT_TRUE(Send(LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&got)));
    EXPECT_STREQ("Vestral X Driver", text);
    EXPECT_EQ(0u, got.state);
    EXPECT_EQ(0, got.iImage);
    EXPECT_EQ(42, got.lParam);

    got.iItem = 1;
    EXPECT_FALSE(Send(LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&got)));
    EXPECT_FALSE(Send(LVM_GETITEMA, 0, 0));
}

TEST_F(ListViewTest, SetItemChangesItemsAndSubitemsOfExistingColumnsOnly) {
    Column(0, "Name", 100);
    Column(1, "Driver", 100);
    Insert(0, "Office", 1);
    LVITEMA set{};
    set.mask = LVIF_TEXT | LVIF_IMAGE;
    set.iItem = 0;
    set.iSubItem = 1;
    set.pszText = const_cast<LPSTR>("Vestral");
    set.iImage = 3;
    EXPECT_TRUE(Send(LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&set)));
    EXPECT_EQ("Vestral", Text(0, 1));
    set.iSubItem = 2;  // no such column
    EXPECT_FALSE(Send(LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&set)));
    set.iSubItem = 1;
    set.mask = LVIF_PARAM;  // not a field of subitems
    EXPECT_FALSE(Send(LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&set)));
    set.iItem = 1;
    set.mask = LVIF_TEXT;
    EXPECT_FALSE(Send(LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&set)));

    set.iItem = 0;
    set.iSubItem = 0;
    set.mask = LVIF_PARAM | LVIF_IMAGE;
    set.lParam = 99;
    set.iImage = 4;
    EXPECT_TRUE(Send(LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&set)));
    LVITEMA got{};
    got.mask = LVIF_PARAM | LVIF_IMAGE;
    Send(LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&got));
    EXPECT_EQ(99, got.lParam);
    EXPECT_EQ(4, got.iImage);
}

TEST_F(ListViewTest, TextsAreKeptWholeAndReadBackCutToTheBuffer) {
    Column(0, "Name", 100);
    Column(1, "Location", 100);
    std::string longText(5000, 'p');
    Insert(0, longText.c_str());
    SetText(0, 1, "ローカル");
    EXPECT_EQ(longText, Text(0));

    struct Case {
        int sub, buffer;
        const char* expected;
    } cases[] = {
        {0, 4, "ppp"},
        {1, 13, "ローカル"},
        {1, 12, "ローカ"},  // never half a character
        {1, 5, "ロ"},
        {1, 1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.buffer);
        char buffer[32];
        std::memset(buffer, 0xBD, sizeof buffer);
        LVITEMA item;
        std::memset(&item, 0xBD, sizeof item);
        item.iSubItem = c.sub;
        item.pszText = buffer;
        item.cchTextMax = c.buffer;
        EXPECT_EQ(static_cast<LRESULT>(std::strlen(c.expected)), Send(LVM_GETITEMTEXTA, 0, reinterpret_cast<LPARAM>(&item)));
        EXPECT_STREQ(c.expected, buffer);
        EXPECT_EQ(static_cast<char>(0xBD), buffer[c.buffer]);  // nothing written past the buffer
    }
    // A missing item: nothing copied, 0.
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    LVITEMA item{};
    item.pszText = buffer;
    item.cchTextMax = sizeof buffer;
    EXPECT_EQ(0, Send(LVM_GETITEMTEXTA, 1, reinterpret_cast<LPARAM>(&item)));
    EXPECT_EQ('x', buffer[0]);
}

TEST_F(ListViewTest, TextsNeverSetAreAskedFromTheParent) {
    Column(0, "Name", 100);
    Column(1, "Driver", 100);
    Column(2, "Port", 100);
    Insert(0, "Office");
    SetText(0, 1, "Vestral");
    recorder.log.clear();
    recorder.answer = [](NMHDR* h) -> LRESULT {
        if (h->code == LVN_GETDISPINFOA) {
            auto* info = reinterpret_cast<NMLVDISPINFOA*>(h);
            std::strncpy(info->item.pszText, "from the parent", info->item.cchTextMax - 1);
        }
        return 0;
    };
    EXPECT_EQ("Vestral", Text(0, 1));
    EXPECT_TRUE(recorder.log.empty());
    EXPECT_EQ("from the parent", Text(0, 2));
    EXPECT_EQ((std::vector<std::string>{"GETDISPINFO 0/2 mask " + Hex(LVIF_TEXT)}), recorder.log);
}

TEST_F(ListViewTest, TheItemsTextChangeIsAnnouncedASubitemsIsNot) {
    ThreeItems();
    Column(1, "Driver", 100);
    recorder.log.clear();
    EXPECT_TRUE(SetText(1, 1, "Vestral"));
    EXPECT_TRUE(recorder.log.empty());
    EXPECT_TRUE(SetText(1, 0, "Renamed"));
    EXPECT_EQ((std::vector<std::string>{ItemChanging(1, 0, 0, 11, LVIF_TEXT), ItemChanged(1, 0, 0, 11, LVIF_TEXT)}),
              recorder.log);
    EXPECT_EQ("Renamed", Text(1));
    EXPECT_FALSE(SetText(3, 0, "x"));
}

// --- State and its notifications ---------------------------------------------------------------------------------------

TEST_F(ListViewTest, AStateChangeIsAskedForThenAnnouncedAndARepeatOnlyAsked) {
    ThreeItems();
    EXPECT_TRUE(SetState(1, kSel, kSel));
    EXPECT_EQ((std::vector<std::string>{ItemChanging(1, kSel, 0, 11), ItemChanged(1, kSel, 0, 11)}), recorder.log);
    EXPECT_EQ(kSel, State(1));
    EXPECT_EQ(1, Send(LVM_GETSELECTEDCOUNT, 0, 0));

    recorder.log.clear();
    EXPECT_TRUE(SetState(1, kSel, kSel));  // nothing changes: asked, not announced
    EXPECT_EQ((std::vector<std::string>{ItemChanging(1, kSel, kSel, 11)}), recorder.log);
}

TEST_F(ListViewTest, AParentRefusingAChangeKeepsTheState) {
    ThreeItems();
    recorder.answer = [](NMHDR* h) -> LRESULT { return h->code == LVN_ITEMCHANGING; };
    EXPECT_FALSE(SetState(0, kSel, kSel));
    EXPECT_EQ(0u, State(0));
    EXPECT_EQ((std::vector<std::string>{ItemChanging(0, kSel, 0, 10)}), recorder.log);
}

TEST_F(ListViewTest, OnlyOneItemHasTheFocus) {
    ThreeItems();
    SetState(2, kFoc, kFoc);
    recorder.log.clear();
    SetState(0, kFoc, kFoc);
    // The focus leaves item 2 inside the change of item 0, with its own notifications.
    EXPECT_EQ((std::vector<std::string>{ItemChanging(0, kFoc, 0, 10), ItemChanging(2, 0, kFoc, 12), ItemChanged(2, 0, kFoc, 12),
                                        ItemChanged(0, kFoc, 0, 10)}),
              recorder.log);
    EXPECT_EQ(kFoc, State(0));
    EXPECT_EQ(0u, State(2));
    EXPECT_EQ(0, Send(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    EXPECT_EQ(-1, Send(LVM_GETNEXTITEM, 0, LVNI_FOCUSED));  // not after itself
}

TEST_F(ListViewTest, EveryItemAtOnce) {
    ThreeItems();
    EXPECT_TRUE(SetState(-1, kSel, kSel));
    EXPECT_EQ(3, Send(LVM_GETSELECTEDCOUNT, 0, 0));
    EXPECT_EQ(6u, recorder.log.size());
    EXPECT_FALSE(SetState(-1, kFoc, kFoc));  // the focus cannot go to every item
    EXPECT_EQ(-1, Send(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));

    EXPECT_TRUE(SetState(-1, 0, kSel));
    EXPECT_EQ(0, Send(LVM_GETSELECTEDCOUNT, 0, 0));
    recorder.log.clear();
    EXPECT_TRUE(SetState(-1, 0, kSel));  // deselecting an unselected list: nothing is sent
    EXPECT_TRUE(recorder.log.empty());
    EXPECT_FALSE(Send(LVM_SETITEMSTATE, 0, 0));
}

TEST_F(ListViewTest, ASingleSelectionListKeepsOneItemSelected) {
    HWND single = Make(LVS_REPORT | LVS_SINGLESEL);
    std::swap(list, single);
    ThreeItems();
    SetState(0, kSel, kSel);
    recorder.log.clear();
    SetState(2, kSel, kSel);
    EXPECT_EQ((std::vector<std::string>{ItemChanging(2, kSel, 0, 12), ItemChanging(0, 0, kSel, 10), ItemChanged(0, 0, kSel, 10),
                                        ItemChanged(2, kSel, 0, 12)}),
              recorder.log);
    EXPECT_EQ(1, Send(LVM_GETSELECTEDCOUNT, 0, 0));
    EXPECT_EQ(2, Send(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    EXPECT_FALSE(SetState(-1, kSel, kSel));  // selecting all is refused
}

TEST_F(ListViewTest, GetItemStateAnswersWithTheMaskOnly) {
    ThreeItems();
    SetState(1, kSel | kFoc | LVIS_CUT, kSel | kFoc | LVIS_CUT);
    EXPECT_EQ(kSel, Send(LVM_GETITEMSTATE, 1, kSel));
    EXPECT_EQ(kFoc | LVIS_CUT, Send(LVM_GETITEMSTATE, 1, kFoc | LVIS_CUT));
    EXPECT_EQ(0, Send(LVM_GETITEMSTATE, 0, kSel | kFoc));
    EXPECT_EQ(0, Send(LVM_GETITEMSTATE, 3, kSel));
}

TEST_F(ListViewTest, GetNextItemWalksForwardFromTheStart) {
    ThreeItems();
    Insert(3, "Shared", 13);
    SetState(1, kSel, kSel);
    SetState(3, kSel, kSel);
    struct Case {
        int start;
        UINT flags;
        int expected;
    } cases[] = {
        {-1, LVNI_ALL, 0},      {0, LVNI_ALL, 1},       {3, LVNI_ALL, -1},      {-1, LVNI_SELECTED, 1},
        {1, LVNI_SELECTED, 3},  {3, LVNI_SELECTED, -1}, {-2, LVNI_ALL, -1},     {4, LVNI_ALL, -1},
        {2, LVNI_ABOVE | LVNI_SELECTED, 1}, {1, LVNI_BELOW | LVNI_SELECTED, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.start << " " << c.flags);
        EXPECT_EQ(c.expected, Send(LVM_GETNEXTITEM, static_cast<WPARAM>(c.start), c.flags));
    }
}

// --- Deleting ----------------------------------------------------------------------------------------------------------

TEST_F(ListViewTest, DeletingAnItemTakesItsSelectionFirstThenAnnouncesIt) {
    ThreeItems();
    SetState(1, kSel | kFoc, kSel | kFoc);
    recorder.log.clear();
    EXPECT_TRUE(Send(LVM_DELETEITEM, 1, 0));
    EXPECT_EQ((std::vector<std::string>{ItemChanging(1, 0, kSel | kFoc, 11), ItemChanged(1, 0, kSel | kFoc, 11),
                                        WithItem("DELETEITEM", 1, 11)}),
              recorder.log);
    EXPECT_EQ((std::vector<std::string>{"Office", "Front"}), Order());
    EXPECT_EQ(0, Send(LVM_GETSELECTEDCOUNT, 0, 0));
    // The item taking the deleted one's place gets the focus, without a word.
    EXPECT_EQ(1, Send(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    EXPECT_FALSE(Send(LVM_DELETEITEM, 2, 0));
    EXPECT_FALSE(Send(LVM_DELETEITEM, static_cast<WPARAM>(-1), 0));
}

TEST_F(ListViewTest, DeletingAnItemBeforeTheFocusKeepsTheFocusOnItsItem) {
    ThreeItems();
    SetState(2, kFoc, kFoc);
    SetState(1, kSel, kSel);
    recorder.log.clear();
    EXPECT_TRUE(Send(LVM_DELETEITEM, 0, 0));
    EXPECT_EQ((std::vector<std::string>{ItemChanging(0, 0, 0, 10), WithItem("DELETEITEM", 0, 10)}), recorder.log);
    EXPECT_EQ(1, Send(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    EXPECT_EQ("Front", Text(1));
    EXPECT_EQ(kSel, State(0));  // the selection moved up with its item
}

TEST_F(ListViewTest, DeletingAllItemsAnnouncesEachFromTheLast) {
    ThreeItems();
    SetState(0, kSel | kFoc, kSel | kFoc);
    recorder.log.clear();
    EXPECT_TRUE(Send(LVM_DELETEALLITEMS, 0, 0));
    EXPECT_EQ((std::vector<std::string>{"DELETEALLITEMS -1", WithItem("DELETEITEM", 2, 12), WithItem("DELETEITEM", 1, 11),
                                        WithItem("DELETEITEM", 0, 10)}),
              recorder.log);
    EXPECT_EQ(0, Count());
    EXPECT_EQ(-1, Send(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));

    // A parent answering TRUE to LVN_DELETEALLITEMS hears of no single item.
    ThreeItems();
    recorder.answer = [](NMHDR* h) -> LRESULT { return h->code == LVN_DELETEALLITEMS; };
    EXPECT_TRUE(Send(LVM_DELETEALLITEMS, 0, 0));
    EXPECT_EQ((std::vector<std::string>{"DELETEALLITEMS -1"}), recorder.log);
    EXPECT_EQ(0, Count());
}

// --- Searching, views, image lists, colours ----------------------------------------------------------------------------

TEST_F(ListViewTest, FindItemByTextPrefixOrData) {
    ThreeItems();
    struct Case {
        UINT flags;
        const char* text;
        LPARAM param;
        int start, expected;
    } cases[] = {
        {LVFI_STRING, "labels", 0, -1, 1},         {LVFI_STRING, "Lab", 0, -1, -1},
        {LVFI_PARTIAL, "Lab", 0, -1, 1},           {LVFI_STRING, "Office", 0, 0, -1},
        {LVFI_STRING | LVFI_WRAP, "Office", 0, 0, 0}, {LVFI_PARAM, nullptr, 12, -1, 2},
        {LVFI_PARAM, nullptr, 99, -1, -1},         {LVFI_STRING, "Front", 0, -2, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.flags << " " << (c.text ? c.text : "") << " " << c.start);
        LVFINDINFOA find{};
        find.flags = c.flags;
        find.psz = c.text;
        find.lParam = c.param;
        EXPECT_EQ(c.expected, Send(LVM_FINDITEMA, static_cast<WPARAM>(c.start), reinterpret_cast<LPARAM>(&find)));
    }
    EXPECT_EQ(-1, Send(LVM_FINDITEMA, static_cast<WPARAM>(-1), 0));
}

TEST_F(ListViewTest, TheViewFollowsTheStyleBitsAndLvmSetViewLeavesTheStyleAlone) {
    EXPECT_EQ(LV_VIEW_DETAILS, Send(LVM_GETVIEW, 0, 0));
    LONG_PTR style = GetWindowLongPtrA(list, GWL_STYLE);
    SetWindowLongPtrA(list, GWL_STYLE, (style & ~LVS_TYPEMASK) | LVS_LIST);
    EXPECT_EQ(LV_VIEW_LIST, Send(LVM_GETVIEW, 0, 0));
    SetWindowLongPtrA(list, GWL_STYLE, (style & ~LVS_TYPEMASK) | LVS_SMALLICON);
    EXPECT_EQ(LV_VIEW_SMALLICON, Send(LVM_GETVIEW, 0, 0));

    EXPECT_EQ(1, Send(LVM_SETVIEW, LV_VIEW_ICON, 0));
    EXPECT_EQ(LV_VIEW_ICON, Send(LVM_GETVIEW, 0, 0));
    EXPECT_EQ(LVS_SMALLICON, GetWindowLongPtrA(list, GWL_STYLE) & LVS_TYPEMASK);
    EXPECT_EQ(1, Send(LVM_SETVIEW, LV_VIEW_ICON, 0));
    EXPECT_EQ(-1, Send(LVM_SETVIEW, 7, 0));
    EXPECT_EQ(LV_VIEW_ICON, Send(LVM_GETVIEW, 0, 0));

    // A style change that keeps the view bits keeps the view LVM_SETVIEW chose.
    SetWindowLongPtrA(list, GWL_STYLE, GetWindowLongPtrA(list, GWL_STYLE) | LVS_SHOWSELALWAYS);
    EXPECT_EQ(LV_VIEW_ICON, Send(LVM_GETVIEW, 0, 0));
    // LVS_OWNERDATA cannot be added later.
    SetWindowLongPtrA(list, GWL_STYLE, GetWindowLongPtrA(list, GWL_STYLE) | LVS_OWNERDATA);
    EXPECT_EQ(0, GetWindowLongPtrA(list, GWL_STYLE) & LVS_OWNERDATA);
}

TEST_F(ListViewTest, ImageListsAreSetPerKindAndTheOldOneReturned) {
    auto normal = reinterpret_cast<HIMAGELIST>(0x1000), small = reinterpret_cast<HIMAGELIST>(0x2000),
         other = reinterpret_cast<HIMAGELIST>(0x3000);
    EXPECT_EQ(0, Send(LVM_SETIMAGELIST, LVSIL_NORMAL, reinterpret_cast<LPARAM>(normal)));
    EXPECT_EQ(0, Send(LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(small)));
    EXPECT_EQ(reinterpret_cast<LRESULT>(small), Send(LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(other)));
    EXPECT_EQ(reinterpret_cast<LRESULT>(normal), Send(LVM_GETIMAGELIST, LVSIL_NORMAL, 0));
    EXPECT_EQ(reinterpret_cast<LRESULT>(other), Send(LVM_GETIMAGELIST, LVSIL_SMALL, 0));
    EXPECT_EQ(0, Send(LVM_GETIMAGELIST, LVSIL_STATE, 0));
    EXPECT_EQ(0, Send(LVM_SETIMAGELIST, 9, reinterpret_cast<LPARAM>(other)));
    EXPECT_EQ(0, Send(LVM_GETIMAGELIST, 9, 0));
}

TEST_F(ListViewTest, ExtendedStylesAndColoursReturnWhatWasBefore) {
    EXPECT_EQ(0, Send(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES));
    EXPECT_EQ(LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES,
              Send(LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_GRIDLINES, 0));  // the mask picks the bits to change
    EXPECT_EQ(LVS_EX_FULLROWSELECT, Send(LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    EXPECT_EQ(RGB(255, 255, 255), static_cast<COLORREF>(Send(LVM_GETBKCOLOR, 0, 0)));
    EXPECT_TRUE(Send(LVM_SETBKCOLOR, 0, RGB(1, 2, 3)));
    EXPECT_EQ(RGB(1, 2, 3), static_cast<COLORREF>(Send(LVM_GETBKCOLOR, 0, 0)));
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
