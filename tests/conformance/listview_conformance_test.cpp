// The list view as the tool's pages use it: columns, items and subitems, selection and its notifications,
// views and image lists, set up and checked with Win32 calls only.
//
// Outputs and the last error are poisoned (kPoison) before each call whose outputs are checked. Where Wine
// and Windows differ, the difference is written beside the expectation and only the common part is checked.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/platform.h"
#include "conformance/conformance_env.h"
#include "conformance/window_conformance.h"
#include "support/msg_sequence.h"

namespace {

using namespace winconf;

// ---------------------------------------------------------------------------------------------
// List view

TEST_F(WindowConformance, ListViewColumns) {
    Modeless dialog(IDD_CONF_LIST);
    HWND list = dialog.item(IDC_CONF_LIST);
    ASSERT_NE(nullptr, list);
    EXPECT_EQ("SysListView32", className(list));
    EXPECT_EQ(0, insertColumn(list, 0, "Name", 80));
    EXPECT_EQ(1, insertColumn(list, 1, "Driver", 60));
    EXPECT_EQ(2, insertColumn(list, 10, "Location", 7));  // beyond the count: appended
    EXPECT_EQ(0, insertColumn(list, 0, "First", 40));     // inserted before the others

    char text[32];
    std::memset(text, 0xbd, sizeof text);
    LVCOLUMNA column;
    std::memset(&column, 0xbd, sizeof column);
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = text;
    column.cchTextMax = sizeof text;
    ASSERT_TRUE(SendMessageA(list, LVM_GETCOLUMNA, 1, reinterpret_cast<LPARAM>(&column)));
    EXPECT_STREQ("Name", column.pszText);
    EXPECT_EQ(80, column.cx);
    EXPECT_FALSE(SendMessageA(list, LVM_GETCOLUMNA, 4, reinterpret_cast<LPARAM>(&column)));  // no such column

    EXPECT_EQ(7, columnWidth(list, 3));
    EXPECT_TRUE(SendMessageA(list, LVM_SETCOLUMNWIDTH, 3, MAKELPARAM(LVSCW_AUTOSIZE_USEHEADER, 0)));
    EXPECT_NE(7, columnWidth(list, 3));
    EXPECT_GT(columnWidth(list, 3), 0);
    EXPECT_TRUE(SendMessageA(list, LVM_SETCOLUMNWIDTH, 2, 33));
    EXPECT_EQ(33, columnWidth(list, 2));

    EXPECT_TRUE(SendMessageA(list, LVM_DELETECOLUMN, 0, 0));
    std::memset(text, 0xbd, sizeof text);
    column.pszText = text;
    ASSERT_TRUE(SendMessageA(list, LVM_GETCOLUMNA, 0, reinterpret_cast<LPARAM>(&column)));
    EXPECT_STREQ("Name", column.pszText);
    EXPECT_FALSE(SendMessageA(list, LVM_DELETECOLUMN, 3, 0));  // only three left
}

TEST_F(WindowConformance, ListViewItemsSubitemsAndData) {
    Modeless dialog(IDD_CONF_LIST);
    HWND list = dialog.item(IDC_CONF_LIST);
    ASSERT_NE(nullptr, list);
    for (int i = 0; i < 3; ++i) insertColumn(list, i, "Column", 50);
    EXPECT_EQ(0, SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    EXPECT_EQ(0, insertItem(list, 0, "Vestral Office", 0x1111, 3));
    EXPECT_EQ(1, insertItem(list, 100, "Vestral Lab", 0x2222, 5));  // beyond the count: appended
    EXPECT_EQ(0, insertItem(list, 0, "Vestral Front", 0x3333, 1));  // before the others
    EXPECT_EQ(3, SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));

    // Subitems: by LVM_SETITEMA with iSubItem, or LVM_SETITEMTEXTA with the item index in wParam.
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = 1;
    item.iSubItem = 1;
    item.pszText = const_cast<char*>("Vestral X Driver");
    EXPECT_TRUE(SendMessageA(list, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    item.iSubItem = 2;
    item.pszText = const_cast<char*>("FILE:");
    EXPECT_TRUE(SendMessageA(list, LVM_SETITEMTEXTA, 1, reinterpret_cast<LPARAM>(&item)));

    EXPECT_EQ("Vestral Front", itemText(list, 0, 0));
    EXPECT_EQ("Vestral Office", itemText(list, 1, 0));
    EXPECT_EQ("Vestral X Driver", itemText(list, 1, 1));
    EXPECT_EQ("FILE:", itemText(list, 1, 2));
    EXPECT_EQ("", itemText(list, 0, 1));        // never set
    // Cut to the buffer. Windows: "Vest" and a terminator, returns 4; Wine: "Vestr" without a terminator
    // (the ANSI conversion fills the buffer) and returns a length counted past it. Common: the first four
    // characters, nothing written past the buffer.
    LRESULT unchecked = 0;
    EXPECT_EQ("Vest", itemText(list, 1, 0, 5, &unchecked).substr(0, 4));
    EXPECT_EQ("Vestral Lab", itemText(list, 2, 0));

    LVITEMA got;
    std::memset(&got, 0xbd, sizeof got);
    got.mask = LVIF_PARAM | LVIF_IMAGE;
    got.iItem = 1;
    got.iSubItem = 0;
    ASSERT_TRUE(SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&got)));
    EXPECT_EQ(0x1111, got.lParam);
    EXPECT_EQ(3, got.iImage);
    got.iItem = 7;
    EXPECT_FALSE(SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&got)));  // no such item

    EXPECT_TRUE(SendMessageA(list, LVM_DELETEITEM, 0, 0));
    EXPECT_EQ("Vestral Office", itemText(list, 0, 0));
    EXPECT_TRUE(SendMessageA(list, LVM_DELETEALLITEMS, 0, 0));
    EXPECT_EQ(0, SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
}

bool setState(HWND list, int index, UINT state, UINT mask) {
    LVITEMA item = {};
    item.state = state;
    item.stateMask = mask;
    return SendMessageA(list, LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(&item)) != 0;
}

TEST_F(WindowConformance, ListViewSelectionAndItsNotifications) {
    msgseq::Recorder recorder;
    Modeless dialog(IDD_CONF_LIST, &recorder);
    dialog.script.recorded = {WM_NOTIFY};
    HWND list = dialog.item(IDC_CONF_LIST);
    ASSERT_NE(nullptr, list);
    insertColumn(list, 0, "Name", 80);
    for (int i = 0; i < 3; ++i) insertItem(list, i, "Printer");
    EXPECT_TRUE(recorder.changes.empty());  // inserting notifies LVN_INSERTITEM, no change

    EXPECT_EQ(0, SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0));
    EXPECT_EQ(-1, SendMessageA(list, LVM_GETNEXTITEM, -1, LVNI_SELECTED));
    EXPECT_TRUE(setState(list, -1, LVIS_SELECTED, LVIS_SELECTED));  // -1: every item
    EXPECT_EQ(3, SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0));
    EXPECT_EQ(static_cast<LRESULT>(LVIS_SELECTED), SendMessageA(list, LVM_GETITEMSTATE, 1, LVIS_SELECTED | LVIS_FOCUSED));
    EXPECT_TRUE(setState(list, 1, 0, LVIS_SELECTED));
    EXPECT_TRUE(setState(list, 1, 0, LVIS_SELECTED));  // no change: no notification
    EXPECT_EQ(0, SendMessageA(list, LVM_GETITEMSTATE, 1, LVIS_SELECTED));
    EXPECT_EQ(0, SendMessageA(list, LVM_GETNEXTITEM, -1, LVNI_SELECTED));
    EXPECT_EQ(2, SendMessageA(list, LVM_GETNEXTITEM, 0, LVNI_SELECTED));
    EXPECT_EQ(-1, SendMessageA(list, LVM_GETNEXTITEM, 2, LVNI_SELECTED));
    EXPECT_TRUE(setState(list, -1, 0, LVIS_SELECTED));
    EXPECT_EQ(0, SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0));

    // LVN_ITEMCHANGED for each item whose state changed, in item order. (LVN_ITEMCHANGING is left out:
    // Wine sends it also for items whose state stays as it is.)
    std::vector<msgseq::ItemChange> changes;
    for (const msgseq::ItemChange& c : recorder.changes)
        if (c.code == static_cast<UINT>(LVN_ITEMCHANGED)) changes.push_back(c);
    const UINT changed = LVN_ITEMCHANGED, sel = LVIS_SELECTED;
    const std::vector<msgseq::ItemChange> expected = {
        {changed, 0, sel, 0, LVIF_STATE},  // select all: one item after another
        {changed, 1, sel, 0, LVIF_STATE},
        {changed, 2, sel, 0, LVIF_STATE},
        {changed, 1, 0, sel, LVIF_STATE},  // item 1 deselected; the second time changes nothing
        {changed, 0, 0, sel, LVIF_STATE},  // deselect all: only the items that were selected
        {changed, 2, 0, sel, LVIF_STATE},
    };
    EXPECT_EQ("", msgseq::compare(expected, changes));
}

TEST_F(WindowConformance, ListViewViewStyleAndImageList) {
    Modeless dialog(IDD_CONF_LIST);
    HWND list = dialog.item(IDC_CONF_LIST);
    ASSERT_NE(nullptr, list);
    insertColumn(list, 0, "Name", 80);
    insertItem(list, 0, "Printer");
    EXPECT_EQ(LVS_REPORT, GetWindowLongPtrA(list, GWL_STYLE) & LVS_TYPEMASK);
    for (LONG_PTR view : {LVS_ICON, LVS_SMALLICON, LVS_LIST, LVS_REPORT}) {
        LONG_PTR style = GetWindowLongPtrA(list, GWL_STYLE);
        SetWindowLongPtrA(list, GWL_STYLE, (style & ~LVS_TYPEMASK) | view);
        EXPECT_EQ(view, GetWindowLongPtrA(list, GWL_STYLE) & LVS_TYPEMASK);
        EXPECT_EQ(1, SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));  // the items stay
    }
    EXPECT_EQ("Printer", itemText(list, 0, 0));

    HIMAGELIST images = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 4, 4);
    ASSERT_NE(nullptr, images);
    // Returns the previous image list. LVS_SHAREIMAGELISTS: the list view does not destroy it.
    EXPECT_EQ(0, SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images)));
    EXPECT_EQ(reinterpret_cast<LRESULT>(images), SendMessageA(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0));
    EXPECT_EQ(reinterpret_cast<LRESULT>(images), SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL, 0));
    EXPECT_EQ(0, SendMessageA(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0));
    EXPECT_TRUE(ImageList_Destroy(images));
}

// A view change through the style, as the selection page makes it: SetWindowPos with SWP_FRAMECHANGED has
// the list view lay its items out for the new view (below the column header in report view, one above the
// other in list view, side by side in icon view), and RedrawWindow with RDW_UPDATENOW paints it before the
// call returns (WM_PAINT sent to the list's procedure). Wine's list view changes its view on the style alone
// but leaves the old picture on the screen until it is asked to paint.
namespace {

int g_listPaints = 0;
WNDPROC g_listProc = nullptr;

LRESULT CALLBACK countingListProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) ++g_listPaints;
    return CallWindowProcA(g_listProc, hwnd, message, wParam, lParam);
}

RECT itemBounds(HWND list, int item) {
    RECT r = {LVIR_BOUNDS, 0, 0, 0};
    EXPECT_TRUE(SendMessageA(list, LVM_GETITEMRECT, item, reinterpret_cast<LPARAM>(&r)));
    return r;
}

}  // namespace

TEST_F(WindowConformance, ListViewViewChangeLaidOutAndPaintedAtOnce) {
    Script s;
    runVisible(IDD_CONF_LIST, s, [&](HWND h) {
        HWND list = GetDlgItem(h, IDC_CONF_LIST);
        ASSERT_NE(nullptr, list);
        insertColumn(list, 0, "Name", 80);
        for (int i = 0; i < 3; ++i) insertItem(list, i, "Printer");
        g_listProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(countingListProc)));
        ASSERT_NE(nullptr, g_listProc);
        struct Step {
            LONG_PTR style;
            LRESULT view;
        };
        for (Step step : {Step{LVS_LIST, LV_VIEW_LIST}, Step{LVS_REPORT, LV_VIEW_DETAILS}, Step{LVS_ICON, LV_VIEW_ICON},
                          Step{LVS_REPORT, LV_VIEW_DETAILS}}) {
            SCOPED_TRACE(step.view);
            LONG_PTR style = GetWindowLongPtrA(list, GWL_STYLE);
            SetWindowLongPtrA(list, GWL_STYLE, (style & ~LVS_TYPEMASK) | step.style);
            EXPECT_TRUE(SetWindowPos(list, nullptr, 0, 0, 0, 0,
                                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED));
            EXPECT_EQ(step.view, SendMessageA(list, LVM_GETVIEW, 0, 0));
            g_listPaints = 0;
            EXPECT_TRUE(RedrawWindow(list, nullptr, nullptr,
                                     RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW));
            EXPECT_GE(g_listPaints, 1);
            const RECT first = itemBounds(list, 0), second = itemBounds(list, 1);
            if (step.view == LV_VIEW_ICON) {
                EXPECT_EQ(first.top, second.top);
                EXPECT_GT(second.left, first.left);
            } else {
                EXPECT_EQ(first.left, second.left);
                EXPECT_EQ(first.bottom, second.top);
            }
            if (step.view == LV_VIEW_DETAILS) {
                EXPECT_GT(first.top, 0);  // the column header above it
            }
            if (step.view == LV_VIEW_LIST) {
                EXPECT_EQ(0, first.top);
            }
        }
        SetWindowLongPtrA(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_listProc));
    });
}

}  // namespace
