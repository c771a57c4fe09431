// The items of a list view and their selection and focus, with the notifications each change sends the
// parent.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>

#include "listview_state.h"

namespace simwin::listview {

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

}  // namespace simwin::listview
