// The SysListView32 class of comctl32: columns, items with subitems, selection and focus, the four views,
// image lists, and the notifications a list view sends its parent (WM_NOTIFY), in the order comctl32
// sends them.
//
// What the control does follows comctl32 as Wine implements it (dlls/comctl32/listview.c):
// - Every change of an existing item (LVM_SETITEM, LVM_SETITEMSTATE, LVM_SETITEMTEXT of the item
//   itself) first asks the parent with LVN_ITEMCHANGING, even when nothing changes; a parent that
//   answers TRUE refuses the change. LVN_ITEMCHANGED follows only when something did change. A new
//   item is announced with LVN_ITEMCHANGING / LVN_ITEMCHANGED only when it comes selected or focused,
//   then with LVN_INSERTITEM.
// - At most one item has the focus; giving it to another item takes it from the first (with its own
//   notifications). LVS_SINGLESEL lets one item be selected. Selecting or focusing every item at once
//   (LVM_SETITEMSTATE with -1) is refused where it cannot be; deselecting all when nothing is selected
//   sends nothing.
// - An item deleted loses its selection and focus first (LVN_ITEMCHANGING / LVN_ITEMCHANGED), then
//   LVN_DELETEITEM goes out; the item that takes the place of a deleted focused item gets the focus
//   silently. LVM_DELETEALLITEMS clears selection and focus silently, sends LVN_DELETEALLITEMS and, unless
//   the parent answers TRUE, LVN_DELETEITEM for each item from the last to the first.
// - A right button press selects the item under the mouse (or deselects everything off the items), then
//   waits for the button to come up, taking the messages that follow from the queue as comctl32's mouse
//   tracking does; the release sends NM_RCLICK, and WM_CONTEXTMENU unless the parent answered NM_RCLICK
//   with TRUE. A left click selects on the press and sends NM_CLICK on the release.
// - A key first goes to the parent as LVN_KEYDOWN. The arrows, Home and End move the focus to the item in
//   that direction and select it alone (with Shift the range from the selection mark, with Ctrl the focus
//   only); Space selects the focused item alone, with Ctrl toggles it. Tab, Escape and Enter are the
//   dialog's (WM_GETDLGCODE wants arrows and characters only).
// - Texts that were never set (or set as LPSTR_TEXTCALLBACKA), also of subitems, are asked from the
//   parent with LVN_GETDISPINFOA when they are read.
//
// Kept simpler than comctl32, with the same results for the tool: the geometry (a dialog font 13 pixels
// high, texts about 6 pixels per byte, 16-pixel small and 32-pixel large images, icons on a 75-pixel
// grid, a 20-pixel column header), no header window (LVM_GETHEADER gives NULL), scrolling only by
// LVM_ENSUREVISIBLE and item focus, no Page Up/Down nor typing to find an item, no custom draw, no LVS_OWNERDATA, and image
// lists kept as handles (they are not destroyed with the control).
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>

#include "simwin/controls.h"
#include "simwin/machine.h"
#include "simwin/win32.h"

namespace simwin {

namespace {

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

int textWidth(const std::string& text) { return kCharWidth * static_cast<int>(text.size()); }

Text textArgument(LPCSTR text) {
    if (!text || text == LPSTR_TEXTCALLBACKA) return std::nullopt;
    return std::string(text);
}

// Copies a text into a caller's buffer cut to cchTextMax - 1 bytes, never in the middle of a UTF-8
// character. Returns the length copied.
int copyText(const std::string& text, LPSTR buffer, int cchTextMax) {
    if (!buffer || cchTextMax <= 0) return 0;
    size_t n = std::min(text.size(), static_cast<size_t>(cchTextMax - 1));
    while (n > 0 && n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    std::memcpy(buffer, text.data(), n);
    buffer[n] = 0;
    return static_cast<int>(n);
}

// Close to lstrcmp: letters compare without case first, then a lower-case letter sorts first.
int compareText(const std::string& a, const std::string& b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        int ca = std::tolower(static_cast<unsigned char>(a[i])), cb = std::tolower(static_cast<unsigned char>(b[i]));
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    for (size_t i = 0; i < n; ++i)
        if (a[i] != b[i]) return std::islower(static_cast<unsigned char>(a[i])) ? -1 : 1;
    return 0;
}

// An item's text against a new one, as the sorted insertion compares them (texts the parent supplies
// sort first).
int compareForSort(const Text& existing, const Text& text) {
    if (!existing) return text ? -1 : 0;
    if (!text) return 1;
    return compareText(*existing, *text);
}

const char* viewName(UINT view) {
    switch (view) {
    case LV_VIEW_ICON: return "icon";
    case LV_VIEW_DETAILS: return "report";
    case LV_VIEW_SMALLICON: return "small icon";
    case LV_VIEW_LIST: return "list";
    default: return "?";
    }
}

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

std::string ListState::cellText(int item, int column) const {
    const Item& it = items[item];
    if (column == 0) return it.text.value_or("");
    auto cell = it.cells.find(column);
    return cell == it.cells.end() ? "" : cell->second.text.value_or("");
}

// The view, the column headers with their widths in report view, then one line per item: the texts a
// person sees (every column in report view, the item text in the others), the image when the view has
// an image list, and the item's state.
void ListState::picture(std::vector<std::string>& lines) const {
    lines.push_back(std::string("view ") + viewName(view));
    bool report = view == LV_VIEW_DETAILS;
    if (report && !columns.empty()) {
        std::string header = "columns";
        for (size_t c = 0; c < columns.size(); ++c)
            header += (c ? " | \"" : " \"") + columns[c].text + "\" " + std::to_string(columns[c].width);
        lines.push_back(header);
    }
    HIMAGELIST shown = images[view == LV_VIEW_ICON ? LVSIL_NORMAL : LVSIL_SMALL];
    for (size_t i = 0; i < items.size(); ++i) {
        int n = static_cast<int>(i);
        std::string line = std::to_string(i) + "  \"" + cellText(n, 0) + "\"";
        for (size_t c = 1; report && c < columns.size(); ++c) line += " | \"" + cellText(n, static_cast<int>(c)) + "\"";
        if (shown && items[i].image >= 0) line += "  image " + std::to_string(items[i].image);
        UINT state = stateOf(n);
        std::string seen = std::string(state & LVIS_SELECTED ? " selected" : "") + (state & LVIS_FOCUSED ? " focused" : "");
        if (!seen.empty()) line += " " + seen;
        lines.push_back(line);
    }
}

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

// --- Notifications ---------------------------------------------------------------------------------------------------

LRESULT ListView::notify(UINT code, NMHDR& header) {
    header.hwndFrom = hwnd_;
    header.idFrom = static_cast<UINT_PTR>(window().id);
    header.code = code;
    if (!ws_.find(s_->notifyWindow)) return 0;
    return ws_.send(s_->notifyWindow, WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
}

// NM_CLICK, NM_DBLCLK, NM_RCLICK, NM_RDBLCLK. For NM_RCLICK: whether the parent left the click to the
// default handling (answered 0), which then sends WM_CONTEXTMENU.
bool ListView::notifyClick(UINT code, const LVHITTESTINFO& hit) {
    NMITEMACTIVATE nm{};
    nm.iItem = hit.iItem;
    nm.iSubItem = hit.iSubItem;
    nm.ptAction = hit.pt;
    if (valid(hit.iItem)) nm.lParam = s_->items[hit.iItem].param;
    LRESULT answer = notify(code, nm.hdr);
    return alive() && (code == NM_RCLICK ? answer == 0 : true);
}

// --- Items -----------------------------------------------------------------------------------------------------------

BOOL ListView::getItem(LVITEMA* item) {
    if (!item || !valid(item->iItem)) return FALSE;
    if (item->mask == 0) return TRUE;
    int i = item->iItem, sub = item->iSubItem;
    if (sub && (item->mask & LVIF_STATE)) item->state = 0;
    const Item& it = s_->items[i];
    auto cell = sub ? it.cells.find(sub) : it.cells.end();
    bool hasCell = cell != it.cells.end();
    Text text = sub ? (hasCell ? cell->second.text : std::nullopt) : it.text;
    int image = sub ? (hasCell ? cell->second.image : I_IMAGECALLBACK) : it.image;
    bool imageShown = !sub || (s_->exStyle & LVS_EX_SUBITEMIMAGES);
    LPARAM param = it.param;

    // What the parent keeps is asked for in one LVN_GETDISPINFOA.
    NMLVDISPINFOA info{};
    if ((item->mask & LVIF_IMAGE) && image == I_IMAGECALLBACK && imageShown) {
        info.item.mask |= LVIF_IMAGE;
        info.item.iImage = I_IMAGECALLBACK;
    }
    if ((item->mask & LVIF_TEXT) && !text) {
        info.item.mask |= LVIF_TEXT;
        info.item.pszText = item->pszText;
        info.item.cchTextMax = item->cchTextMax;
        if (item->pszText && item->cchTextMax > 0) item->pszText[0] = 0;
    }
    if (info.item.mask) {
        info.item.iItem = i;
        info.item.iSubItem = sub;
        info.item.lParam = param;
        notify(LVN_GETDISPINFOA, info.hdr);
        if (!alive() || !valid(i)) return FALSE;
    }
    Item& now = s_->items[i];
    bool keep = (info.item.mask & LVIF_DI_SETITEM) != 0;
    if (info.item.mask & LVIF_IMAGE) {
        item->iImage = info.item.iImage;
        if (keep && !sub) now.image = info.item.iImage;
    } else if (item->mask & LVIF_IMAGE) {
        item->iImage = imageShown ? image : 0;
    }
    if (info.item.mask & LVIF_TEXT) {
        if (info.item.pszText && info.item.pszText != item->pszText && info.item.pszText != LPSTR_TEXTCALLBACKA)
            copyText(info.item.pszText, item->pszText, item->cchTextMax);
        if (keep && !sub && info.item.pszText && info.item.pszText != LPSTR_TEXTCALLBACKA) now.text = std::string(info.item.pszText);
    } else if (item->mask & LVIF_TEXT) {
        copyText(*text, item->pszText, item->cchTextMax);
    }
    if (item->mask & LVIF_PARAM) item->lParam = now.param;
    if (sub) return TRUE;
    if (item->mask & LVIF_STATE) item->state = s_->stateOf(i) & item->stateMask;
    if (item->mask & LVIF_INDENT) item->iIndent = now.indent;
    return TRUE;
}

// A text as the control reads it for itself (asking the parent when it keeps it), in comctl32's buffer.
std::string ListView::readText(int item, int subItem) {
    char buffer[kDisplayText] = "";
    LVITEMA it{};
    it.mask = LVIF_TEXT;
    it.iItem = item;
    it.iSubItem = subItem;
    it.pszText = buffer;
    it.cchTextMax = kDisplayText;
    return getItem(&it) ? std::string(buffer) : std::string();
}

BOOL ListView::setItem(LVITEMA* item) {
    if (!item || !valid(item->iItem)) return FALSE;
    // A sorted list cannot hold texts it does not know.
    if ((item->mask & LVIF_TEXT) && item->pszText == LPSTR_TEXTCALLBACKA &&
        (s_->style & (LVS_SORTASCENDING | LVS_SORTDESCENDING)))
        return FALSE;
    BOOL result = item->iSubItem ? setSubItem(*item) : setMainItem(*item, false);
    if (alive()) repaint();
    return result;
}

BOOL ListView::setSubItem(const LVITEMA& item) {
    if (item.iSubItem >= static_cast<int>(s_->columns.size())) return FALSE;
    if (item.mask & ~static_cast<UINT>(LVIF_TEXT | LVIF_IMAGE | LVIF_STATE | LVIF_DI_SETITEM)) return FALSE;
    if (!(item.mask & (LVIF_TEXT | LVIF_IMAGE | LVIF_STATE))) return TRUE;
    Cell& cell = s_->items[item.iItem].cells[item.iSubItem];
    if (item.mask & LVIF_IMAGE) cell.image = item.iImage;
    if (item.mask & LVIF_TEXT) cell.text = textArgument(item.pszText);
    return TRUE;
}

// The item's own fields (not its subitems'), for LVM_SETITEM and for a new item (isNew: all of the given
// state is taken, whatever the state mask says).
BOOL ListView::setMainItem(LVITEMA item, bool isNew) {
    int i = item.iItem;
    if (item.mask == 0) return TRUE;
    UINT stateMask = isNew ? ~0u : item.stateMask;
    const Item& before = s_->items[i];
    UINT oldState = isNew ? 0 : s_->stateOf(i);
    UINT changed = 0;
    if ((item.mask & LVIF_STATE) && ((oldState ^ item.state) & stateMask)) changed |= LVIF_STATE;
    if ((item.mask & LVIF_IMAGE) && before.image != item.iImage) changed |= LVIF_IMAGE;
    if ((item.mask & LVIF_PARAM) && before.param != item.lParam) changed |= LVIF_PARAM;
    if ((item.mask & LVIF_INDENT) && before.indent != item.iIndent) changed |= LVIF_INDENT;
    if ((item.mask & LVIF_TEXT) && before.text != textArgument(item.pszText)) changed |= LVIF_TEXT;

    NMLISTVIEW nm{};
    nm.iItem = i;
    if (item.mask & LVIF_STATE) {
        nm.uNewState = (oldState & ~stateMask) | (item.state & stateMask);
        nm.uOldState = oldState;
    }
    nm.uChanged = isNew ? LVIF_STATE : (changed ? changed : item.mask);
    nm.lParam = isNew ? 0 : before.param;
    bool announce = !isNew || ((changed & LVIF_STATE) && (item.state & kSelectFocus));
    announce = announce && s_->changeNotifications;
    if (announce) {
        if (notify(LVN_ITEMCHANGING, nm.hdr)) return FALSE;
        if (!alive() || !valid(i)) return FALSE;
    }
    if (!changed) return TRUE;

    Item& it = s_->items[i];
    if (item.mask & LVIF_TEXT) it.text = textArgument(item.pszText);
    if (item.mask & LVIF_IMAGE) it.image = item.iImage;
    if (item.mask & LVIF_PARAM) it.param = item.lParam;
    if (item.mask & LVIF_INDENT) it.indent = item.iIndent;
    if (changed & LVIF_STATE) changeState(i, item, stateMask);
    if (!alive()) return TRUE;
    if (announce) {
        if (item.mask & LVIF_PARAM) nm.lParam = item.lParam;
        notify(LVN_ITEMCHANGED, nm.hdr);
    }
    return TRUE;
}

// The state bits of an item, with what selection and focus bring along: a single-selection list loses
// its other selected items, and the item that had the focus loses it.
void ListView::changeState(int i, const LVITEMA& item, UINT stateMask) {
    Item& it = s_->items[i];
    const int was = (it.state & LVIS_SELECTED) ? 1 : 0;
    it.state = ((it.state & ~stateMask) | (item.state & stateMask)) & ~static_cast<UINT>(LVIS_FOCUSED);
    s_->selected += ((it.state & LVIS_SELECTED) ? 1 : 0) - was;
    if ((item.state & stateMask & LVIS_SELECTED) && (s_->style & LVS_SINGLESEL)) {
        deselectAllExcept(i);
        if (!alive() || !valid(i)) return;
    }
    if (!(stateMask & LVIS_FOCUSED)) return;
    if (item.state & LVIS_FOCUSED) {
        if (s_->focused == -1 && s_->mark == -1) s_->mark = i;
        if (s_->focused != -1 && s_->focused != i) {
            setState(s_->focused, 0, LVIS_FOCUSED);
            if (!alive() || !valid(i)) return;
        }
        s_->focused = i;
        ensureVisible(i, s_->view == LV_VIEW_LIST);
    } else if (s_->focused == i) {
        s_->focused = -1;
    }
}

BOOL ListView::setState(int i, UINT state, UINT mask) {
    LVITEMA item{};
    item.state = state;
    item.stateMask = mask;
    return setItemState(i, &item);
}

BOOL ListView::setItemState(int i, const LVITEMA* given) {
    if (!given) return FALSE;
    LVITEMA item{};
    item.iItem = i;
    item.mask = LVIF_STATE;
    item.state = given->state;
    item.stateMask = given->stateMask;
    if (i != -1) return setItem(&item);
    // Every item at once.
    const bool anySelected = s_->selected > 0;
    if (item.state == 0 && item.stateMask == LVIS_SELECTED && !anySelected) return TRUE;
    if ((item.state & item.stateMask & LVIS_SELECTED) && (s_->style & LVS_SINGLESEL)) return FALSE;
    if (item.state & item.stateMask & LVIS_FOCUSED) return FALSE;
    BOOL result = TRUE;
    for (item.iItem = 0; alive() && item.iItem < count(); ++item.iItem)
        if (!setItem(&item)) result = FALSE;
    return result;
}

int ListView::insertItem(const LVITEMA* given) {
    if (!given || given->iSubItem) return -1;
    bool sortedStyle = (s_->style & (LVS_SORTASCENDING | LVS_SORTDESCENDING)) != 0;
    if ((given->mask & LVIF_TEXT) && given->pszText == LPSTR_TEXTCALLBACKA && sortedStyle) return -1;
    if (given->iItem < 0 && !sortedStyle) return -1;
    int at = std::min(given->iItem, count());
    if (sortedStyle) {
        Text text = (given->mask & LVIF_TEXT) ? textArgument(given->pszText) : std::nullopt;
        int sign = (s_->style & LVS_SORTDESCENDING) ? -1 : 1;
        at = 0;
        while (at < count() && sign * compareForSort(s_->items[at].text, text) < 0) ++at;
    }
    s_->items.insert(s_->items.begin() + at, Item{});
    if (s_->focused >= at) ++s_->focused;
    if (s_->mark >= at) ++s_->mark;

    LVITEMA item = *given;
    item.iItem = at;
    if (s_->exStyle & LVS_EX_CHECKBOXES) {
        // A check-box list starts every item unchecked (state image 1).
        if (!(item.mask & LVIF_STATE)) item.state = 0;
        item.mask |= LVIF_STATE;
        item.state = (item.state & ~static_cast<UINT>(LVIS_STATEIMAGEMASK)) | (1u << 12);
    }
    if (!setMainItem(item, true)) {
        if (alive() && valid(at)) {
            if (s_->items[at].state & LVIS_SELECTED) --s_->selected;
            s_->items.erase(s_->items.begin() + at);
            if (s_->focused > at) --s_->focused;
            if (s_->mark > at) --s_->mark;
        }
        return -1;
    }
    if (!alive() || !valid(at)) return -1;
    NMLISTVIEW nm{};
    nm.iItem = at;
    nm.lParam = s_->items[at].param;
    notify(LVN_INSERTITEM, nm.hdr);
    if (!alive()) return -1;
    repaint();
    return at;
}

BOOL ListView::deleteItem(int i) {
    if (!valid(i)) return FALSE;
    int focus = s_->focused;
    setState(i, 0, kSelectFocus);
    if (!alive() || !valid(i)) return FALSE;
    NMLISTVIEW nm{};
    nm.iItem = i;
    nm.lParam = s_->items[i].param;
    notify(LVN_DELETEITEM, nm.hdr);
    if (!alive() || !valid(i)) return FALSE;
    if (s_->items[i].state & LVIS_SELECTED) --s_->selected;
    s_->items.erase(s_->items.begin() + i);
    // Indices after the item move up; the place of a focused item goes to its successor.
    auto shifted = [&](int index) { return index < i ? index : index > i ? index - 1 : std::min(index, count() - 1); };
    s_->mark = shifted(s_->mark);
    int newFocus = shifted(focus);
    if (newFocus != s_->focused) {
        if (s_->focused == -1 && s_->mark == -1) s_->mark = newFocus;
        s_->focused = newFocus;
    }
    clampScroll();
    repaint();
    return TRUE;
}

BOOL ListView::deleteAllItems() {
    for (Item& it : s_->items) it.state &= ~static_cast<UINT>(LVIS_SELECTED);
    s_->selected = 0;
    s_->focused = -1;
    s_->mark = -1;
    NMLISTVIEW all{};
    all.iItem = -1;
    bool quiet = notify(LVN_DELETEALLITEMS, all.hdr) != 0;
    if (!alive()) return TRUE;
    for (int i = count() - 1; i >= 0; --i) {
        if (!quiet && valid(i)) {
            NMLISTVIEW nm{};
            nm.iItem = i;
            nm.lParam = s_->items[i].param;
            notify(LVN_DELETEITEM, nm.hdr);
            if (!alive()) return TRUE;
        }
        if (valid(i)) {
            if (s_->items[i].state & LVIS_SELECTED) --s_->selected;
            s_->items.erase(s_->items.begin() + i);
        }
    }
    s_->scroll = 0;
    repaint();
    return TRUE;
}

int ListView::getNextItem(int start, UINT flags) {
    if (start < -1 || start >= count()) return -1;
    UINT mask = 0;
    if (flags & LVNI_CUT) mask |= LVIS_CUT;
    if (flags & LVNI_DROPHILITED) mask |= LVIS_DROPHILITED;
    if (flags & LVNI_FOCUSED) mask |= LVIS_FOCUSED;
    if (flags & LVNI_SELECTED) mask |= LVIS_SELECTED;
    auto matches = [&](int i) { return valid(i) && (s_->stateOf(i) & mask) == mask; };
    if (flags & LVNI_FOCUSED) {
        if (!matches(s_->focused)) return -1;
        return s_->focused == start ? -1 : s_->focused;
    }
    // The neighbours in a direction, on the grid the view lays the items out on.
    int step = 0;
    bool rows = s_->view == LV_VIEW_LIST || s_->view == LV_VIEW_DETAILS;
    if (flags & LVNI_ABOVE) step = rows ? -1 : -perRow();
    else if (flags & LVNI_BELOW) step = rows ? 1 : perRow();
    else if (flags & LVNI_TOLEFT) step = s_->view == LV_VIEW_LIST ? -perColumn() : s_->view == LV_VIEW_DETAILS ? 0 : -1;
    else if (flags & LVNI_TORIGHT) step = s_->view == LV_VIEW_LIST ? perColumn() : s_->view == LV_VIEW_DETAILS ? 0 : 1;
    if (flags & (LVNI_ABOVE | LVNI_BELOW | LVNI_TOLEFT | LVNI_TORIGHT)) {
        if (step == 0) return -1;
        for (int i = start + step; valid(i); i += step)
            if (matches(i)) return i;
        return -1;
    }
    for (int i = start + 1; i < count(); ++i)
        if (matches(i)) return i;
    return -1;
}

int ListView::findItem(int start, const LVFINDINFOA* info) {
    if (!info || start + 1 < 0) return -1;
    bool byText = (info->flags & (LVFI_STRING | LVFI_PARTIAL)) && !(info->flags & LVFI_PARAM);
    std::string wanted = byText && info->psz ? info->psz : "";
    auto matches = [&](int i) {
        if (info->flags & LVFI_PARAM) return s_->items[i].param == info->lParam;
        if (!byText) return true;
        std::string text = readText(i, 0);
        if (info->flags & LVFI_PARTIAL) text = text.substr(0, wanted.size());
        return iequals(text, wanted);
    };
    for (int i = start + 1; alive() && i < count(); ++i)
        if (matches(i)) return i;
    if (info->flags & LVFI_WRAP)
        for (int i = 0; alive() && i < std::min(start + 1, count()); ++i)
            if (matches(i)) return i;
    return -1;
}

// --- Selection -------------------------------------------------------------------------------------------------------

void ListView::deselectAllExcept(int keep) {
    std::vector<int> selected;
    for (int i = 0; i < count(); ++i)
        if (i != keep && (s_->items[i].state & LVIS_SELECTED)) selected.push_back(i);
    for (int i : selected) {
        if (!alive()) return;
        if (valid(i)) setState(i, 0, LVIS_SELECTED);
    }
}

void ListView::setSelection(int i) {
    deselectAllExcept(i);
    if (!alive()) return;
    setState(i, kSelectFocus, kSelectFocus);
    if (alive()) s_->mark = i;
}

bool ListView::setItemFocus(int i) {
    int before = s_->focused;
    if (i == before) return false;
    setState(i == -1 ? before : i, i == -1 ? 0 : LVIS_FOCUSED, LVIS_FOCUSED);
    return alive() && before != s_->focused;
}

// Shift-click: the items from the selection mark to this one become selected, the others not unless
// keepOthers (control and shift).
void ListView::selectRange(int i, bool keepOthers) {
    int from = s_->mark == -1 ? i : std::min(s_->mark, i), to = s_->mark == -1 ? i : std::max(s_->mark, i);
    if (s_->mark == -1) s_->mark = i;
    if (!keepOthers) {
        for (int j = 0; alive() && j < count(); ++j)
            if ((j < from || j > to) && (s_->items[j].state & LVIS_SELECTED)) setState(j, 0, LVIS_SELECTED);
    }
    for (int j = from; alive() && j <= to && j < count(); ++j) setState(j, LVIS_SELECTED, LVIS_SELECTED);
    if (alive()) setItemFocus(i);
}

// --- Columns ---------------------------------------------------------------------------------------------------------

int ListView::widthLeftOf(int at) const {
    int width = 0;
    for (int c = 0; c < at && c < static_cast<int>(s_->columns.size()); ++c) width += s_->columns[c].width;
    return width;
}

int ListView::insertColumn(int at, const LVCOLUMNA* given) {
    if (!given || at < 0) return -1;
    at = std::min(at, static_cast<int>(s_->columns.size()));
    Column column;
    if (given->mask & LVCF_FMT) column.fmt = given->fmt;
    column.width = 10;  // a column inserted without a width gets one of 10
    if (given->mask & LVCF_WIDTH) {
        // Filling the rest of the client width: comctl32 leaves out the column just before (Wine's
        // reading of it); here the columns before it are all counted.
        RECT client;
        GetClientRect(hwnd_, &client);
        column.width = given->cx == LVSCW_AUTOSIZE_USEHEADER ? client.right - widthLeftOf(at) : given->cx;
    }
    if ((given->mask & LVCF_TEXT) && given->pszText) column.text = given->pszText;
    if (given->mask & LVCF_SUBITEM) column.subItem = given->iSubItem;
    if (given->mask & LVCF_IMAGE) column.image = given->iImage;
    s_->columns.insert(s_->columns.begin() + at, column);
    // The subitems of the new column and after it move one column on.
    for (Item& it : s_->items) {
        std::map<int, Cell> moved;
        for (auto& [c, cell] : it.cells) moved[c >= at ? c + 1 : c] = cell;
        it.cells = std::move(moved);
    }
    repaint();
    return at;
}

BOOL ListView::setColumn(int at, const LVCOLUMNA* given) {
    if (!given || at < 0 || at >= static_cast<int>(s_->columns.size())) return FALSE;
    Column& column = s_->columns[at];
    if (given->mask & LVCF_FMT) column.fmt = given->fmt;
    if (given->mask & LVCF_WIDTH) {
        RECT client;
        GetClientRect(hwnd_, &client);
        column.width = given->cx == LVSCW_AUTOSIZE_USEHEADER ? client.right - widthLeftOf(at) : given->cx;
    }
    if (given->mask & LVCF_TEXT) column.text = given->pszText ? given->pszText : "";
    if (given->mask & LVCF_IMAGE) column.image = given->iImage;
    repaint();
    return TRUE;
}

BOOL ListView::getColumn(int at, LVCOLUMNA* column) const {
    if (!column || at < 0 || at >= static_cast<int>(s_->columns.size())) return FALSE;
    const Column& c = s_->columns[at];
    if (column->mask & LVCF_FMT) column->fmt = c.fmt;
    if (column->mask & LVCF_WIDTH) column->cx = c.width;
    if (column->mask & LVCF_TEXT) copyText(c.text, column->pszText, column->cchTextMax);
    if (column->mask & LVCF_IMAGE) column->iImage = c.image;
    if (column->mask & LVCF_ORDER) column->iOrder = at;
    if (column->mask & LVCF_SUBITEM) column->iSubItem = c.subItem;
    return TRUE;
}

BOOL ListView::deleteColumn(int at) {
    if (at < 0 || at >= static_cast<int>(s_->columns.size())) return FALSE;
    s_->columns.erase(s_->columns.begin() + at);
    // Column 0 goes without touching the items (comctl32 keeps their subitems where they were).
    if (at != 0) {
        for (Item& it : s_->items) {
            std::map<int, Cell> moved;
            for (auto& [c, cell] : it.cells)
                if (c != at) moved[c > at ? c - 1 : c] = cell;
            it.cells = std::move(moved);
        }
    }
    repaint();
    return TRUE;
}

int ListView::getColumnWidth(int at) const {
    if (s_->view == LV_VIEW_LIST) return listWidth();
    if (s_->view != LV_VIEW_DETAILS) return 0;
    return at >= 0 && at < static_cast<int>(s_->columns.size()) ? s_->columns[at].width : 0;
}

// The widest text of a column with its image and padding, as LVSCW_AUTOSIZE measures it.
int ListView::contentWidth(int at) {
    int widest = 0;
    for (int i = 0; alive() && i < count(); ++i) widest = std::max(widest, textWidth(readText(i, at)));
    if (!alive() || at >= static_cast<int>(s_->columns.size())) return 0;
    if (s_->images[LVSIL_SMALL] && (at == 0 || (s_->columns[at].fmt & LVCFMT_IMAGE))) widest += kSmallImage;
    return widest + kTrailingLabelPadding;
}

BOOL ListView::setColumnWidth(int at, int cx) {
    UINT view = s_->view;
    if (view != LV_VIEW_DETAILS && view != LV_VIEW_LIST) return FALSE;
    if (view == LV_VIEW_DETAILS && cx < LVSCW_AUTOSIZE_USEHEADER) cx = LVSCW_AUTOSIZE;
    if (view == LV_VIEW_LIST) {
        // In list view every column has the same width.
        if (cx <= 0) return FALSE;
        s_->listItemWidth = cx;
        repaint();
        return TRUE;
    }
    int columns = static_cast<int>(s_->columns.size());
    if (at < 0 || at >= columns) return FALSE;
    bool last = at == columns - 1;
    if (cx == LVSCW_AUTOSIZE) {
        cx = contentWidth(at);
    } else if (cx == LVSCW_AUTOSIZE_USEHEADER && !last) {
        int content = contentWidth(at);
        cx = std::max(textWidth(s_->columns[at].text) + kTrailingHeaderPadding, content);
    } else if (cx == LVSCW_AUTOSIZE_USEHEADER) {
        // The last column fills the rest of the client width, whatever its texts need.
        RECT client;
        GetClientRect(hwnd_, &client);
        cx = client.right - widthLeftOf(at);
    }
    if (!alive() || at >= static_cast<int>(s_->columns.size()) || cx < 0) return FALSE;
    s_->columns[at].width = cx;
    repaint();
    return TRUE;
}

// --- Geometry --------------------------------------------------------------------------------------------------------

// The client area the items are laid out in: below the column header in report view; the list view keeps
// room for a horizontal scroll bar.
RECT ListView::area() const {
    RECT r;
    GetClientRect(hwnd_, &r);
    if (s_->view == LV_VIEW_LIST) {
        if (!(s_->style & WS_HSCROLL)) r.bottom -= kScrollBarHeight;
        r.bottom = std::max<LONG>(r.bottom - 2, 0);
    }
    if (s_->view == LV_VIEW_DETAILS && !(s_->style & LVS_NOCOLUMNHEADER)) r.top = std::min<LONG>(kHeaderHeight, r.bottom);
    return r;
}

int ListView::itemHeight() const {
    if (s_->view == LV_VIEW_ICON) return kIconSpacing;
    int height = kTextHeight;
    if (s_->images[LVSIL_SMALL] || s_->images[LVSIL_STATE]) height = std::max(height, kSmallImage);
    return height + kHeightPadding;
}

// The width of every item in list and small-icon view: the widest item text with its images.
int ListView::listWidth() const {
    if (s_->listItemWidth > 0) return s_->listItemWidth;
    int widest = 0;
    for (const Item& it : s_->items) widest = std::max(widest, textWidth(it.text.value_or("")));
    widest += smallImageWidth() + (s_->images[LVSIL_STATE] ? kSmallImage : 0);
    return std::max(kDefaultColumnWidth, widest + kWidthPadding);
}

int ListView::itemWidth() const {
    if (s_->view == LV_VIEW_ICON) return kIconSpacing;
    if (s_->view == LV_VIEW_DETAILS) return widthLeftOf(static_cast<int>(s_->columns.size()));
    return listWidth();
}

int ListView::perColumn() const {
    RECT r = area();
    return std::max<int>((r.bottom - r.top) / itemHeight(), 1);
}

int ListView::perRow() const {
    RECT r = area();
    int width = itemWidth();
    return std::max<int>((r.right - r.left) / (width ? width : 1), 1);
}

// The top left corner of an item's cell in client coordinates.
POINT ListView::origin(int i) const {
    RECT r = area();
    int w = itemWidth(), h = itemHeight();
    switch (s_->view) {
    case LV_VIEW_DETAILS: return POINT{0, r.top + (i - s_->scroll) * h};
    case LV_VIEW_LIST: return POINT{(i / perColumn() - s_->scroll) * w, r.top + (i % perColumn()) * h};
    default: return POINT{(i % perRow()) * w, r.top + (i / perRow()) * h};
    }
}

bool ListView::itemRect(int i, int part, RECT& r) const {
    if (!valid(i) || part < LVIR_BOUNDS || part > LVIR_SELECTBOUNDS) return false;
    POINT o = origin(i);
    int h = itemHeight();
    RECT icon{}, label{};
    if (s_->view == LV_VIEW_ICON) {
        int left = o.x + (kIconSpacing - kLargeImage - 16) / 2;
        icon = RECT{left, o.y + 2, left + kLargeImage + 16, o.y + 2 + kLargeImage + 4};
        label = RECT{o.x, icon.bottom + 2, o.x + kIconSpacing, icon.bottom + 2 + kTextHeight + 2};
    } else {
        int cell = s_->view == LV_VIEW_DETAILS ? (s_->columns.empty() ? 0 : s_->columns[0].width) : itemWidth();
        icon = RECT{o.x, o.y, o.x + smallImageWidth(), o.y + h};
        int text = s_->view == LV_VIEW_DETAILS ? cell - smallImageWidth()
                                               : std::min(cell - smallImageWidth(),
                                                          textWidth(s_->items[i].text.value_or("")) + kTrailingLabelPadding);
        label = RECT{icon.right, o.y, icon.right + std::max(text, 0), o.y + h};
    }
    RECT select{std::min(icon.left, label.left), std::min(icon.top, label.top), std::max(icon.right, label.right),
                std::max(icon.bottom, label.bottom)};
    switch (part) {
    case LVIR_ICON: r = icon; break;
    case LVIR_LABEL: r = label; break;
    case LVIR_SELECTBOUNDS: r = select; break;
    default:
        r = select;
        if (s_->view == LV_VIEW_DETAILS) r = RECT{o.x, o.y, o.x + itemWidth(), o.y + h};
    }
    return true;
}

bool inside(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

// The item under a point. With select, only the item's icon and label count (not the subitem columns).
int ListView::hitTest(LVHITTESTINFO& hit, bool select) const {
    hit.flags = 0;
    hit.iItem = -1;
    RECT r = area();
    POINT p = hit.pt;
    if (p.x < r.left) hit.flags |= LVHT_TOLEFT;
    else if (p.x > r.right) hit.flags |= LVHT_TORIGHT;
    if (p.y < r.top) hit.flags |= LVHT_ABOVE;
    else if (p.y > r.bottom) hit.flags |= LVHT_BELOW;
    if (hit.flags) return -1;
    hit.flags = LVHT_NOWHERE;
    for (int i = 0; i < count(); ++i) {
        RECT bounds, icon, label;
        itemRect(i, LVIR_BOUNDS, bounds);
        if (!inside(bounds, p)) continue;
        itemRect(i, LVIR_ICON, icon);
        itemRect(i, LVIR_LABEL, label);
        if (inside(icon, p)) hit.flags = LVHT_ONITEMICON;
        else if (inside(label, p)) hit.flags = LVHT_ONITEMLABEL;
        if (select && !(hit.flags & LVHT_ONITEM)) return -1;
        return hit.iItem = i;
    }
    return -1;
}

BOOL ListView::ensureVisible(int i, bool partial) {
    if (!valid(i)) return FALSE;
    if (s_->view == LV_VIEW_DETAILS) {
        if (i < s_->scroll) s_->scroll = i;
        else if (i >= s_->scroll + perColumn()) s_->scroll = i - perColumn() + 1;
    } else if (s_->view == LV_VIEW_LIST) {
        RECT r = area();
        int column = i / perColumn(), width = itemWidth();
        int left = (column - s_->scroll) * width;
        if (column < s_->scroll) s_->scroll = column;
        else if (!(partial && left < r.right) && left + width > r.right)
            s_->scroll = std::max(0, column - std::max<int>(r.right / width, 1) + 1);
    }
    return TRUE;
}

void ListView::clampScroll() {
    int most = 0;
    if (s_->view == LV_VIEW_DETAILS) most = count() - perColumn();
    if (s_->view == LV_VIEW_LIST) {
        RECT r = area();
        int columns = (count() + perColumn() - 1) / perColumn();
        most = columns - std::max<int>(r.right / itemWidth(), 1);
    }
    s_->scroll = std::max(0, std::min(s_->scroll, most));
}

int ListView::topIndex() const {
    if (s_->view == LV_VIEW_DETAILS) return s_->scroll;
    if (s_->view == LV_VIEW_LIST) return s_->scroll * perColumn();
    return 0;
}

int ListView::countPerPage() const {
    switch (s_->view) {
    case LV_VIEW_DETAILS: return perColumn();
    case LV_VIEW_LIST: return perRow() * perColumn();
    default: return count();
    }
}

// --- Keyboard --------------------------------------------------------------------------------------------------------

void ListView::keyDown(WPARAM key) {
    NMLVKEYDOWN nm{};
    nm.wVKey = static_cast<WORD>(key);
    notify(LVN_KEYDOWN, nm.hdr);
    if (!alive()) return;
    int item = -1;
    switch (key) {
    case VK_SPACE: item = s_->focused; break;
    case VK_HOME: item = count() ? 0 : -1; break;
    case VK_END: item = count() - 1; break;
    case VK_LEFT: item = getNextItem(s_->focused, LVNI_TOLEFT); break;
    case VK_UP: item = getNextItem(s_->focused, LVNI_ABOVE); break;
    case VK_RIGHT: item = getNextItem(s_->focused, LVNI_TORIGHT); break;
    case VK_DOWN: item = getNextItem(s_->focused, LVNI_BELOW); break;
    default: break;
    }
    if (item != -1 && (item != s_->focused || key == VK_SPACE)) keySelection(item, key == VK_SPACE);
}

void ListView::keySelection(int i, bool space) {
    if (!valid(i)) return;
    const bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0, ctrl = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
    if ((s_->style & LVS_SINGLESEL) || (!shift && !ctrl)) {
        setSelection(i);
    } else if (shift) {
        selectRange(i, false);
    } else {
        if (space) {
            const bool selected = (s_->items[i].state & LVIS_SELECTED) != 0;
            setState(i, selected ? 0 : LVIS_SELECTED, LVIS_SELECTED);
            if (!alive()) return;
            if (!selected) s_->mark = i;
        }
        setItemFocus(i);
    }
    if (alive()) ensureVisible(i, false);
}

// --- Mouse -----------------------------------------------------------------------------------------------------------

void ListView::leftButtonDown(WORD keys, POINT pt) {
    NMHDR released{};
    notify(NM_RELEASEDCAPTURE, released);
    if (!alive()) return;
    s_->leftDown = true;
    LVHITTESTINFO hit{};
    hit.pt = pt;
    int i = hitTest(hit, true);
    if (!valid(i)) {
        if (!s_->hasFocus) SetFocus(hwnd_);
        if (alive() && !(keys & (MK_CONTROL | MK_SHIFT))) deselectAllExcept(-1);
        return;
    }
    bool selected = s_->stateOf(i) & LVIS_SELECTED;
    if (s_->style & LVS_SINGLESEL) {
        if (!selected) setSelection(i);
    } else if ((keys & MK_CONTROL) && (keys & MK_SHIFT)) {
        selectRange(i, true);
    } else if (keys & MK_CONTROL) {
        setState(i, (selected ? 0 : LVIS_SELECTED) | LVIS_FOCUSED, kSelectFocus);
        if (alive()) s_->mark = i;
    } else if (keys & MK_SHIFT) {
        selectRange(i, false);
    } else if (selected) {
        s_->leftDownItem = i;
        setItemFocus(i);
    } else {
        setSelection(i);
    }
    if (alive() && !s_->hasFocus) SetFocus(hwnd_);
}

void ListView::leftButtonUp(POINT pt) {
    if (!s_->leftDown) return;
    LVHITTESTINFO hit{};
    hit.pt = pt;
    hitTest(hit, false);
    if (!notifyClick(NM_CLICK, hit)) return;
    s_->leftDown = false;
    // A click on an item of a selection makes it the only selected item.
    if (hit.iItem != -1 && hit.iItem == s_->leftDownItem) setSelection(hit.iItem);
    if (alive()) s_->leftDownItem = -1;
}

void ListView::leftDoubleClick(POINT pt) {
    NMHDR released{};
    notify(NM_RELEASEDCAPTURE, released);
    if (!alive()) return;
    LVHITTESTINFO hit{};
    hit.pt = pt;
    hitTest(hit, false);
    if (!notifyClick(NM_DBLCLK, hit) || hit.iItem == -1 || !valid(hit.iItem)) return;
    NMITEMACTIVATE nm{};
    nm.iItem = hit.iItem;
    nm.ptAction = hit.pt;
    nm.lParam = s_->items[hit.iItem].param;
    nm.uOldState = s_->stateOf(hit.iItem);
    nm.uNewState = nm.uOldState | 0x8000;  // LVIS_ACTIVATING
    nm.uChanged = LVIF_STATE;
    notify(LVN_ITEMACTIVATE, nm.hdr);
}

// The mouse is tracked until a button message ends the press (it is taken from the queue) or the mouse
// moves farther than the drag distance (a drag). Other messages are delivered meanwhile. With nothing
// more queued, the button is taken as released where it went down.
bool ListView::trackMouse(POINT pt) {
    while (!ws_.queue.empty()) {
        MSG m = ws_.queue.front();
        ws_.queue.pop_front();
        ws_.messagePos = static_cast<DWORD>(MAKELONG(m.pt.x, m.pt.y));
        if (m.message == WM_MOUSEMOVE) {
            int x = static_cast<SHORT>(LOWORD(m.lParam)), y = static_cast<SHORT>(HIWORD(m.lParam));
            RECT still{pt.x - kDragDistance, pt.y - kDragDistance, pt.x + kDragDistance, pt.y + kDragDistance};
            if (!inside(still, POINT{x, y})) return true;
            continue;
        }
        if (m.message >= WM_LBUTTONDOWN && m.message <= WM_RBUTTONDBLCLK) return false;
        ws_.dispatch(m, nullptr);
        if (!alive()) return false;
    }
    return false;
}

void ListView::rightButtonDown(WORD keys, POINT pt) {
    NMHDR released{};
    notify(NM_RELEASEDCAPTURE, released);
    if (!alive()) return;
    LVHITTESTINFO hit{};
    hit.pt = pt;
    int i = hitTest(hit, true);
    if (!s_->hasFocus) SetFocus(hwnd_);
    if (!alive()) return;
    if (valid(i)) {
        setItemFocus(i);
        if (alive() && !(keys & (MK_SHIFT | MK_CONTROL)) && !(s_->stateOf(i) & LVIS_SELECTED)) setSelection(i);
    } else {
        deselectAllExcept(-1);
    }
    if (!alive()) return;
    if (trackMouse(pt)) {
        if (!alive() || hit.iItem == -1) return;
        NMLISTVIEW nm{};
        nm.iItem = hit.iItem;
        nm.ptAction = hit.pt;
        notify(LVN_BEGINRDRAG, nm.hdr);
        return;
    }
    if (!alive()) return;
    SetFocus(hwnd_);
    if (!alive()) return;
    hit = LVHITTESTINFO{};
    hit.pt = pt;
    hitTest(hit, false);
    if (notifyClick(NM_RCLICK, hit))
        ws_.send(hwnd_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd_), static_cast<LPARAM>(ws_.messagePos));
}

// --- Window messages -------------------------------------------------------------------------------------------------

void ListView::styleChanged(WPARAM which, const STYLESTRUCT* ss) {
    if (static_cast<int>(which) != GWL_STYLE || !ss || ss->styleNew == s_->style) return;
    s_->style = ss->styleNew;
    // The view follows the style only when the view bits change; LVM_SETVIEW leaves the style alone.
    if ((ss->styleNew ^ ss->styleOld) & LVS_TYPEMASK) setView(ss->styleNew & LVS_TYPEMASK);
    repaint();
}

void ListView::setView(UINT view) {
    s_->view = view;
    s_->scroll = 0;
    s_->listItemWidth = 0;
    repaint();
}

LRESULT ListView::setImageList(WPARAM which, HIMAGELIST list) {
    if (which > LVSIL_STATE) return 0;
    HIMAGELIST previous = s_->images[which];
    s_->images[which] = list;
    repaint();
    return reinterpret_cast<LRESULT>(previous);
}

DWORD ListView::setExtendedStyle(DWORD mask, DWORD style) {
    DWORD previous = s_->exStyle;
    s_->exStyle = mask ? (previous & ~mask) | (style & mask) : style;
    // Check boxes appear unchecked on every item.
    if ((s_->exStyle ^ previous) & s_->exStyle & LVS_EX_CHECKBOXES) setState(-1, 1u << 12, LVIS_STATEIMAGEMASK);
    if (alive()) repaint();
    return previous;
}

void ListView::focusChanged(bool gained) {
    if (s_->hasFocus == gained) return;
    NMHDR header{};
    notify(gained ? NM_SETFOCUS : NM_KILLFOCUS, header);
    if (alive()) s_->hasFocus = gained;
}

POINT pointOf(LPARAM lParam) { return POINT{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))}; }

LRESULT ListView::handle(UINT msg, WPARAM wParam, LPARAM lParam) {
    int index = static_cast<int>(wParam);
    switch (msg) {
    case LVM_GETITEMCOUNT: return count();
    case LVM_INSERTITEMA: return insertItem(reinterpret_cast<const LVITEMA*>(lParam));
    case LVM_SETITEMA: return setItem(reinterpret_cast<LVITEMA*>(lParam));
    case LVM_GETITEMA: return getItem(reinterpret_cast<LVITEMA*>(lParam));
    case LVM_SETITEMTEXTA: {
        auto* given = reinterpret_cast<const LVITEMA*>(lParam);
        if (!given || !valid(index)) return FALSE;
        LVITEMA item{};
        item.mask = LVIF_TEXT;
        item.iItem = index;
        item.iSubItem = given->iSubItem;
        item.pszText = given->pszText;
        return setItem(&item);
    }
    case LVM_GETITEMTEXTA: {
        auto* item = reinterpret_cast<LVITEMA*>(lParam);
        if (!item || !valid(index)) return 0;
        item->mask = LVIF_TEXT;
        item->iItem = index;
        if (!getItem(item) || !item->pszText || item->cchTextMax <= 0) return 0;
        return static_cast<LRESULT>(std::strlen(item->pszText));
    }
    case LVM_SETITEMSTATE: return setItemState(index, reinterpret_cast<const LVITEMA*>(lParam));
    case LVM_GETITEMSTATE: return valid(index) ? s_->stateOf(index) & static_cast<UINT>(lParam) : 0;
    case LVM_GETSELECTEDCOUNT:
        return s_->selected;
    case LVM_GETNEXTITEM: return getNextItem(index, LOWORD(lParam));
    case LVM_FINDITEMA: return findItem(index, reinterpret_cast<const LVFINDINFOA*>(lParam));
    case LVM_DELETEITEM: return deleteItem(index);
    case LVM_DELETEALLITEMS: return deleteAllItems();
    case LVM_GETSELECTIONMARK: return s_->mark;
    case LVM_SETSELECTIONMARK: {
        int previous = s_->mark;
        int mark = static_cast<int>(lParam);
        if (mark >= -1 && mark < count()) s_->mark = mark;
        return previous;
    }
    case LVM_INSERTCOLUMNA: return insertColumn(index, reinterpret_cast<const LVCOLUMNA*>(lParam));
    case LVM_SETCOLUMNA: return setColumn(index, reinterpret_cast<const LVCOLUMNA*>(lParam));
    case LVM_GETCOLUMNA: return getColumn(index, reinterpret_cast<LVCOLUMNA*>(lParam));
    case LVM_DELETECOLUMN: return deleteColumn(index);
    case LVM_GETCOLUMNWIDTH: return getColumnWidth(index);
    case LVM_SETCOLUMNWIDTH: return setColumnWidth(index, static_cast<SHORT>(LOWORD(lParam)));
    case LVM_GETHEADER: return 0;
    case LVM_ENSUREVISIBLE: return ensureVisible(index, lParam != 0);
    case LVM_GETITEMRECT: {
        auto* r = reinterpret_cast<RECT*>(lParam);
        return r && itemRect(index, r->left, *r) ? TRUE : FALSE;
    }
    case LVM_HITTEST: {
        auto* hit = reinterpret_cast<LVHITTESTINFO*>(lParam);
        return hit ? hitTest(*hit, true) : -1;
    }
    case LVM_GETTOPINDEX: return topIndex();
    case LVM_GETCOUNTPERPAGE: return countPerPage();
    case LVM_GETSTRINGWIDTHA: {
        auto text = reinterpret_cast<LPCSTR>(lParam);
        return text && text != LPSTR_TEXTCALLBACKA ? textWidth(text) : 0;
    }
    case LVM_SETIMAGELIST: return setImageList(wParam, reinterpret_cast<HIMAGELIST>(lParam));
    case LVM_GETIMAGELIST: return wParam <= LVSIL_STATE ? reinterpret_cast<LRESULT>(s_->images[wParam]) : 0;
    case LVM_SETVIEW:
        if (wParam == s_->view) return 1;
        if (static_cast<int>(wParam) < 0 || wParam >= LV_VIEW_TILE) return -1;  // the tile view is not drawn
        setView(static_cast<UINT>(wParam));
        return 1;
    case LVM_GETVIEW: return s_->view;
    case LVM_SETEXTENDEDLISTVIEWSTYLE: return setExtendedStyle(static_cast<DWORD>(wParam), static_cast<DWORD>(lParam));
    case LVM_GETEXTENDEDLISTVIEWSTYLE: return s_->exStyle;
    case LVM_SETBKCOLOR: s_->background = static_cast<COLORREF>(lParam); repaint(); return TRUE;
    case LVM_GETBKCOLOR: return s_->background;
    case LVM_SETTEXTCOLOR: s_->textColor = static_cast<COLORREF>(lParam); return TRUE;
    case LVM_GETTEXTCOLOR: return s_->textColor;
    case LVM_SETTEXTBKCOLOR: s_->textBackground = static_cast<COLORREF>(lParam); return TRUE;
    case LVM_GETTEXTBKCOLOR: return s_->textBackground;
    case LVM_REDRAWITEMS: repaint(); return TRUE;
    case LVM_UPDATE:
        if (!valid(index)) return FALSE;
        repaint();
        return TRUE;
    case LVM_ARRANGE: return s_->view == LV_VIEW_ICON || s_->view == LV_VIEW_SMALLICON;
    case LVM_SETITEMCOUNT: return TRUE;  // a hint for the memory of items that are not kept apart
    case WM_STYLECHANGING: {
        // LVS_OWNERDATA stays as the list was created.
        auto* ss = reinterpret_cast<STYLESTRUCT*>(lParam);
        if (ss && ((ss->styleNew ^ ss->styleOld) & LVS_OWNERDATA))
            ss->styleNew = (ss->styleNew & ~static_cast<DWORD>(LVS_OWNERDATA)) | (ss->styleOld & LVS_OWNERDATA);
        return 0;
    }
    case WM_STYLECHANGED: styleChanged(wParam, reinterpret_cast<const STYLESTRUCT*>(lParam)); return 0;
    case WM_LBUTTONDOWN: leftButtonDown(static_cast<WORD>(wParam), pointOf(lParam)); return 0;
    case WM_LBUTTONUP: leftButtonUp(pointOf(lParam)); return 0;
    case WM_LBUTTONDBLCLK: leftDoubleClick(pointOf(lParam)); return 0;
    case WM_RBUTTONDOWN: rightButtonDown(static_cast<WORD>(wParam), pointOf(lParam)); return 0;
    case WM_RBUTTONDBLCLK: {
        NMHDR released{};
        notify(NM_RELEASEDCAPTURE, released);
        if (!alive()) return 0;
        LVHITTESTINFO hit{};
        hit.pt = pointOf(lParam);
        hitTest(hit, false);
        notifyClick(NM_RDBLCLK, hit);
        return 0;
    }
    case WM_KEYDOWN: keyDown(wParam); return 0;
    case WM_SETFOCUS: focusChanged(true); return 0;
    case WM_KILLFOCUS: focusChanged(false); return 0;
    case WM_GETDLGCODE: return DLGC_WANTCHARS | DLGC_WANTARROWS;
    case WM_SETFONT:
        s_->font = reinterpret_cast<HFONT>(wParam);
        if (LOWORD(lParam)) repaint();
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(s_->font ? s_->font : reinterpret_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
    case WM_ERASEBKGND: return TRUE;
    default: return DefWindowProcA(hwnd_, msg, wParam, lParam);
    }
}

LRESULT CALLBACK ListViewProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    WindowSystem& ws = current().windows;
    Window* w = ws.find(hwnd);
    if (!w) return 0;
    if (msg == WM_NCCREATE) {
        auto s = std::make_unique<ListState>();
        const auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        s->notifyWindow = cs ? cs->hwndParent : nullptr;
        s->style = w->style;
        s->view = w->style & LVS_TYPEMASK;
        w->state = std::move(s);
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    if (msg == WM_CREATE) {
        // comctl32 asks its parent whether notifications go out as ANSI or Unicode.
        if (w->isChild() && ws.find(w->parent))
            ws.send(w->parent, WM_NOTIFYFORMAT, reinterpret_cast<WPARAM>(hwnd), NF_QUERY);
        return 0;
    }
    auto* s = dynamic_cast<ListState*>(w->state.get());
    if (!s) return DefWindowProcA(hwnd, msg, wParam, lParam);
    return ListView(ws, *w, *s).handle(msg, wParam, lParam);
}

}  // namespace

void registerListViewClass(WindowSystem& ws) {
    WindowClass c;
    c.name = "SysListView32";
    c.wndProc = ListViewProc;
    c.style = 0x4000 | 0x0008;  // CS_GLOBALCLASS | CS_DBLCLKS
    c.system = true;
    ws.classes[c.name] = c;
}

}  // namespace simwin
