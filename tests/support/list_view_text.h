// What a person reads in a list view: its column headers and the text of each cell.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "base/platform.h"

namespace listtext {

inline std::vector<std::string> Headers(HWND list) {
    std::vector<std::string> out;
    for (int index = 0;; ++index) {
        char text[300] = "";
        LVCOLUMNA column;
        std::memset(&column, 0, sizeof column);
        column.mask = LVCF_TEXT;
        column.pszText = text;
        column.cchTextMax = sizeof text;
        if (!SendMessageA(list, LVM_GETCOLUMNA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column))) break;
        out.push_back(text);
    }
    return out;
}

inline std::string Cell(HWND list, int row, int column) {
    char text[512] = "";
    LVITEMA item;
    std::memset(&item, 0, sizeof item);
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return text;
}

}  // namespace listtext
