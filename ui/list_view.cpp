#include "ui/list_view.h"

#include <string.h>

int InsertListColumn(HWND list, int index, const char* header, int width) {
    if (!list) return -1;
    LVCOLUMNA column;
    memset(&column, 0, sizeof column);
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = LVCFMT_LEFT;
    column.cx = width;
    column.pszText = const_cast<LPSTR>(header);
    column.iSubItem = index;
    return static_cast<int>(SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column)));
}

int AppendListRow(HWND list, const char* const* cells, int count) {
    if (!list || count < 1) return -1;
    LVITEMA item;
    memset(&item, 0, sizeof item);
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    item.pszText = const_cast<LPSTR>(cells[0]);
    int row = static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    for (int column = 1; row >= 0 && column < count; ++column) SetListCellText(list, row, column, cells[column]);
    return row;
}

void SetListCellText(HWND list, int item, int subItem, const char* text) {
    if (!list) return;
    LVITEMA cell;
    memset(&cell, 0, sizeof cell);
    cell.iSubItem = subItem;
    cell.pszText = const_cast<LPSTR>(text);
    SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&cell));
}

namespace {

// The header control draws a column's title inside margins of three window edges (2 pixels each) on either
// side, and the list view's own sizing leaves less than that: Wine then cuts a title with "...".
const int kHeaderTextMargins = 2 * 3 * 2 + 2;

// The width the title of a column needs in its header; 0 when the column has no title.
int HeaderTextWidth(HWND list, int column) {
    char title[260] = "";
    LVCOLUMNA c;
    memset(&c, 0, sizeof c);
    c.mask = LVCF_TEXT;
    c.pszText = title;
    c.cchTextMax = sizeof title;
    if (!SendMessageA(list, LVM_GETCOLUMNA, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&c)) || !title[0]) return 0;
    return static_cast<int>(SendMessageA(list, LVM_GETSTRINGWIDTHA, 0, reinterpret_cast<LPARAM>(title))) + kHeaderTextMargins;
}

}  // namespace

void AutoSizeListColumns(HWND list, int count) {
    if (!list) return;
    for (int column = 0; column < count; ++column) {
        SendMessageA(list, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), MAKELPARAM(LVSCW_AUTOSIZE_USEHEADER, 0));
        const int title = HeaderTextWidth(list, column);
        if (SendMessageA(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0) < title)
            SendMessageA(list, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), MAKELPARAM(title, 0));
    }
}
