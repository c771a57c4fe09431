// Runs the tool's own WinMain on a machine with a command tail, as korun04-sim does, and reads the removal
// log it left: its lines split into place, kind, item and outcome.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/platform.h"
#include "inventory/loading_dlg.h"
#include "removal/remove_page.h"
#include "simwin/machine.h"
#include "simwin/modules.h"
#include "simwin/scripted_user.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandTail, int showCommand);

namespace toolrun {

const char kDefaultLog[] = "C:\\Users\\Admin\\AppData\\Local\\Temp\\korun04.log";

// The exit code of a run of WinMain with the tail on m (made current by the caller). A run that waits for
// a user nothing scripts is a failure of the test (-2).
inline int Run(simwin::Machine& m, const std::string& tail) {
    m.system.commandTail = tail;
    std::string argument = tail;
    try {
        return WinMain(simwin::programModule(), nullptr, &argument[0], SW_SHOWDEFAULT);
    } catch (const simwin::UserStop& stop) {
        ADD_FAILURE() << "the run waited for the user: " << stop.what();
        return -2;
    }
}

// One line of the log: "TIME PLACE | KIND | ITEM | OUTCOME" for an item, "TIME PLACE | TEXT" otherwise.
struct Line {
    std::string place;  // "loading", "stage 3", "message box", "done", "end", "run", or "====" for the header
    std::vector<std::string> fields;
    std::string text;  // the whole line

    bool IsItem() const { return place.rfind("stage ", 0) == 0 && fields.size() >= 3; }
    const std::string& Kind() const { return fields[0]; }
    const std::string& Item() const { return fields[1]; }
    const std::string& Outcome() const { return fields[2]; }
    bool OutcomeIs(const std::string& word) const { return IsItem() && Outcome().rfind(word, 0) == 0; }
};

inline std::vector<Line> Lines(const std::string& log) {
    std::vector<Line> lines;
    size_t start = 0;
    while (start < log.size()) {
        size_t end = log.find("\r\n", start);
        if (end == std::string::npos) end = log.size();
        Line line;
        line.text = log.substr(start, end - start);
        start = end + 2;
        std::vector<std::string> parts;
        for (size_t at = 0;;) {
            size_t bar = line.text.find(" | ", at);
            parts.push_back(line.text.substr(at, bar == std::string::npos ? std::string::npos : bar - at));
            if (bar == std::string::npos) break;
            at = bar + 3;
        }
        // The first part is "TIME PLACE" (or "==== korun04 ..." for a header).
        const std::string& head = parts[0];
        line.place = head.rfind("====", 0) == 0 ? "====" : head.substr(head.find(' ') + 1);
        line.fields.assign(parts.begin() + 1, parts.end());
        lines.push_back(line);
    }
    return lines;
}

// The item lines of one kind whose outcome begins with the word.
inline std::vector<std::string> Items(const std::vector<Line>& lines, const std::string& kind, const std::string& outcome) {
    std::vector<std::string> items;
    for (const Line& l : lines)
        if (l.IsItem() && l.Kind() == kind && l.OutcomeIs(outcome)) items.push_back(l.Item());
    return items;
}

inline bool Has(const std::vector<Line>& lines, const std::string& place, const std::string& text) {
    for (const Line& l : lines)
        if (l.place == place && l.text.find(text) != std::string::npos) return true;
    return false;
}

}  // namespace toolrun
