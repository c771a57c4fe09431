// What the units of the list view (SysListView32) share: its geometry, the items, columns and state one
// control keeps, and ListView, the handling of one message to one list view. The window procedure and
// the dispatch live in listview.cpp; the items and selection in listview_items.cpp, the columns and the
// geometry in listview_layout.cpp, the keyboard and the mouse in listview_input.cpp, the picture in
// listview_paint.cpp.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "simwin/controls.h"
#include "simwin/machine.h"
#include "simwin/win32.h"

namespace simwin::listview {

// Geometry, see above.
const int kCharWidth = 6;
const int kTextHeight = 13;
const int kHeightPadding = 1;
const int kHeaderHeight = 20;
const int kSmallImage = 16;
const int kLargeImage = 32;
const int kIconSpacing = 75;
const int kDefaultColumnWidth = 128;  // an item of the list view without long texts
const int kWidthPadding = 12;
const int kTrailingLabelPadding = 12;
const int kTrailingHeaderPadding = 11;
const int kScrollBarHeight = 17;  // SM_CYHSCROLL: the list view keeps room for it
const int kDragDistance = 4;      // SM_CXDRAG, SM_CYDRAG
const int kDisplayText = 260;     // the buffer comctl32 reads texts into for measuring

const UINT kSelectFocus = LVIS_SELECTED | LVIS_FOCUSED;

using Text = std::optional<std::string>;  // none: the parent supplies it

struct Cell {
    Text text;
    int image = I_IMAGECALLBACK;
};

struct Item {
    Text text;
    int image = 0;
    LPARAM param = 0;
    UINT state = 0;  // every state bit but LVIS_FOCUSED, which is ListState::focused
    int indent = 0;
    std::map<int, Cell> cells;  // subitems by column
};

struct Column {
    int fmt = LVCFMT_LEFT;
    int width = 0;
    std::string text;
    int subItem = 0;
    int image = 0;
};

int textWidth(const std::string& text);
Text textArgument(LPCSTR text);
// Copies a text into a caller's buffer cut to cchTextMax - 1 bytes, never in the middle of a UTF-8
// character. Returns the length copied.
int copyText(const std::string& text, LPSTR buffer, int cchTextMax);
// An item's text against a new one, as the sorted insertion compares them (texts the parent supplies
// sort first).
int compareForSort(const Text& existing, const Text& text);
bool inside(const RECT& r, POINT p);

struct ListState : ControlState {
    HWND notifyWindow = nullptr;  // the parent at creation, which gets the notifications
    DWORD style = 0;              // the style as the control last saw it (WM_STYLECHANGED)
    UINT view = LV_VIEW_ICON;     // from the style's LVS_TYPEMASK bits, or LVM_SETVIEW
    DWORD exStyle = 0;
    COLORREF background = RGB(255, 255, 255), textColor = CLR_DEFAULT, textBackground = CLR_DEFAULT;
    HIMAGELIST images[3] = {nullptr, nullptr, nullptr};  // LVSIL_NORMAL, LVSIL_SMALL, LVSIL_STATE
    HFONT font = nullptr;
    std::vector<Column> columns;
    std::vector<Item> items;
    int selected = 0;         // how many items are selected: kept as states change, not counted each time
    int focused = -1;
    int mark = -1;            // the selection mark: where a shift-click range starts
    int listItemWidth = 0;    // list view: the width LVM_SETCOLUMNWIDTH gave every column; 0: computed
    int scroll = 0;           // report view: the first row shown; list view: the first column shown
    bool hasFocus = false;
    bool changeNotifications = true;  // off while comctl32 moves the focus silently
    bool leftDown = false;
    int leftDownItem = -1;

    UINT stateOf(int i) const { return (items[i].state & ~LVIS_FOCUSED) | (i == focused ? LVIS_FOCUSED : 0); }
    void picture(std::vector<std::string>& lines) const override;
    std::string cellText(int item, int column) const;
};

// One message to one list view. The parent may do anything while it handles a notification (read the
// list, change it, destroy it), so the state is looked at afresh after each one.
class ListView {
public:
    ListView(WindowSystem& ws, Window& w, ListState& s) : ws_(ws), hwnd_(w.hwnd), s_(&s) {}

    LRESULT handle(UINT msg, WPARAM wParam, LPARAM lParam);

private:
    WindowSystem& ws_;
    HWND hwnd_;
    ListState* s_;

    bool alive() const {
        const Window* w = ws_.find(hwnd_);
        return w && w->state.get() == s_;
    }
    Window& window() { return *ws_.find(hwnd_); }
    int count() const { return static_cast<int>(s_->items.size()); }
    bool valid(int i) const { return i >= 0 && i < count(); }
    void repaint() { window().needsPaint = true; }

    // Notifications.
    LRESULT notify(UINT code, NMHDR& header);
    bool notifyClick(UINT code, const LVHITTESTINFO& hit);

    // Items.
    BOOL getItem(LVITEMA* item);
    std::string readText(int item, int subItem);
    BOOL setItem(LVITEMA* item);
    BOOL setMainItem(LVITEMA item, bool isNew);
    void changeState(int i, const LVITEMA& item, UINT stateMask);
    BOOL setSubItem(const LVITEMA& item);
    BOOL setItemState(int i, const LVITEMA* item);
    BOOL setState(int i, UINT state, UINT mask);
    int insertItem(const LVITEMA* item);
    BOOL deleteItem(int i);
    BOOL deleteAllItems();
    int getNextItem(int start, UINT flags);
    int findItem(int start, const LVFINDINFOA* info);

    // Selection.
    void deselectAllExcept(int keep);
    void setSelection(int i);
    bool setItemFocus(int i);
    void selectRange(int i, bool keepOthers);

    // Columns.
    int insertColumn(int at, const LVCOLUMNA* column);
    BOOL setColumn(int at, const LVCOLUMNA* column);
    BOOL getColumn(int at, LVCOLUMNA* column) const;
    BOOL deleteColumn(int at);
    int getColumnWidth(int at) const;
    BOOL setColumnWidth(int at, int cx);
    int contentWidth(int at);
    int widthLeftOf(int at) const;

    // Geometry.
    RECT area() const;
    int itemWidth() const;
    int itemHeight() const;
    int listWidth() const;
    int perColumn() const;
    int perRow() const;
    POINT origin(int i) const;
    bool itemRect(int i, int part, RECT& r) const;
    int hitTest(LVHITTESTINFO& hit, bool select) const;
    BOOL ensureVisible(int i, bool partial);
    void clampScroll();
    int topIndex() const;
    int countPerPage() const;
    int smallImageWidth() const { return s_->images[LVSIL_SMALL] ? kSmallImage : 0; }

    // Keyboard.
    void keyDown(WPARAM key);
    void keySelection(int i, bool space);

    // Mouse.
    void leftButtonDown(WORD keys, POINT pt);
    void leftButtonUp(POINT pt);
    void leftDoubleClick(POINT pt);
    void rightButtonDown(WORD keys, POINT pt);
    bool trackMouse(POINT pt);

    // Window messages.
    void styleChanged(WPARAM which, const STYLESTRUCT* ss);
    void setView(UINT view);
    LRESULT setImageList(WPARAM which, HIMAGELIST list);
    DWORD setExtendedStyle(DWORD mask, DWORD style);
    void focusChanged(bool gained);
};

}  // namespace simwin::listview
