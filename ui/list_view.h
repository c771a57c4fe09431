// Small helpers for the tool's list views: columns inserted left-aligned with a width, cell texts, and
// every column sized to its header and contents.
#pragma once

#include "base/platform.h"

// Inserts a left-aligned column with its header text, width and subitem; the new index, or -1.
int InsertListColumn(HWND list, int index, const char* header, int width);
// Appends a row: cells[0] as the item's text, the others as its subitems; the row's index, or -1.
int AppendListRow(HWND list, const char* const* cells, int count);
// Sets the text of one cell (subitem 0 is the item's own text).
void SetListCellText(HWND list, int item, int subItem, const char* text);
// Sizes columns 0 to count - 1 to fit both header and contents: the list view's own sizing
// (LVSCW_AUTOSIZE_USEHEADER), widened where the column's title would not fit in its header.
void AutoSizeListColumns(HWND list, int count);
