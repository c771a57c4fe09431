// The simulated list view (SysListView32): items and subitems, selection and focus, the notifications its
// parent receives (in order, with their fields), deletion, searching, the views, image lists and colours.
// Columns, geometry, the mouse and the picture are in listview_screen_test.cpp.
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

}  // namespace
