// What a list view shows: the picture of its view, columns and items.
#include "listview_state.h"

namespace simwin::listview {

namespace {

const char* viewName(UINT view) {
    switch (view) {
    case LV_VIEW_ICON: return "icon";
    case LV_VIEW_DETAILS: return "report";
    case LV_VIEW_SMALLICON: return "small icon";
    case LV_VIEW_LIST: return "list";
    default: return "?";
    }
}

}  // namespace

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

}  // namespace simwin::listview
