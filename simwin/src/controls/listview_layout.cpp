// Where a list view puts things: the columns and their widths, the items' rectangles in each view, hit
// testing and scrolling.
#include <algorithm>

#include "listview_state.h"

namespace simwin::listview {

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

}  // namespace simwin::listview
