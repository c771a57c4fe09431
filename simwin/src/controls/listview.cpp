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

#include "listview_state.h"

namespace simwin {

namespace listview {

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

namespace {

POINT pointOf(LPARAM lParam) { return POINT{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))}; }

}  // namespace

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

namespace {

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

}  // namespace listview

void registerListViewClass(WindowSystem& ws) {
    WindowClass c;
    c.name = "SysListView32";
    c.wndProc = listview::ListViewProc;
    c.style = 0x4000 | 0x0008;  // CS_GLOBALCLASS | CS_DBLCLKS
    c.system = true;
    ws.classes[c.name] = c;
}

}  // namespace simwin
