// The keyboard and the mouse of a list view.
#include "listview_state.h"

namespace simwin::listview {

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

}  // namespace simwin::listview
