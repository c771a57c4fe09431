#include "removal/state_records.h"

#include <string.h>

#include <algorithm>
#include <cstdio>

#include "removal/removal_state.h"

namespace {

const char kEnd[] = "[end]\r\ncheck = ";
const size_t kEndLine = 7;  // "[end]\r\n"
const size_t kCheckLine = sizeof kEnd - 1 + 8 + 2;

size_t LineOf(const std::string& text, size_t at) {
    return 1 + static_cast<size_t>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(at), '\n'));
}

// The next "[end]" line with its check line at a line start from at, or npos.
size_t FindEnd(const std::string& text, size_t at) {
    for (size_t e = text.find(kEnd, at); e != std::string::npos; e = text.find(kEnd, e + 1))
        if (e == 0 || text[e - 1] == '\n') return e;
    return std::string::npos;
}

// Whether the part [from, end) with its check line at end holds.
bool PartHolds(const std::string& text, size_t from, size_t end) {
    return end + kCheckLine <= text.size() && text.compare(end + kCheckLine - 2, 2, "\r\n") == 0 &&
           text.compare(end + sizeof kEnd - 1, 8, StateCheck(text, from, end + kEndLine)) == 0;
}

bool SamePrinter(const CPrinterEntry& a, const CPrinterEntry& b) {
    return !strcmp(a.printerName, b.printerName) && !strcmp(a.driverName, b.driverName) &&
           !strcmp(a.pavedName, b.pavedName) && !strcmp(a.location, b.location) && a.isFamily == b.isFamily &&
           a.isDefault == b.isDefault && a.isKept == b.isKept && a.isForeign == b.isForeign &&
           a.isDeleted == b.isDeleted && a.isListed == b.isListed;
}

void Close(std::string& out, size_t from) {
    out += "[end]\r\n";
    out += "check = " + StateCheck(out, from, out.size()) + "\r\n";
}

}  // namespace

std::string StateCheck(const std::string& text, size_t from, size_t to) {
    unsigned hash = 2166136261u;
    for (size_t i = from; i < to; ++i) hash = (hash ^ static_cast<unsigned char>(text[i])) * 16777619u;
    char digits[9];
    std::snprintf(digits, sizeof digits, "%08x", hash);
    return digits;
}

bool WholeStateLength(const std::string& text, size_t& length, size_t& records, std::string& error) {
    length = text.size();
    records = 0;
    size_t end = FindEnd(text, 0);
    if (end == std::string::npos) return true;  // written in one piece
    for (size_t from = 0;; end = FindEnd(text, from)) {
        const bool holds = end != std::string::npos && PartHolds(text, from, end);
        if (!holds) {
            // Only the last part can have been cut short; the first is written whole before it replaces the file.
            const bool later = end != std::string::npos && FindEnd(text, end + 1) != std::string::npos;
            if (from == 0 || later) {
                error = "line " + std::to_string(LineOf(text, from)) + ": a part of the state whose check fails";
                return false;
            }
            length = from;
            return true;
        }
        from = end + kCheckLine;
        if (from == text.size()) {
            length = from;
            return true;
        }
        ++records;
    }
}

bool CStateRecords::Next(const CUninstallDatabase& db, const CRemovalContext& context, int stage, std::string& out) {
    out.clear();
    if (!started || db.printers.Count() != printers.size()) {
        WriteRemovalState(db, context, stage, out);
        Close(out, 0);
        Remember(db, context, stage);
        return false;
    }
    AppendStateHeader(out, db, context, stage, "[next]");
    size_t i = 0;
    for (const CPrinterEntry& p : db.printers) {
        if (!SamePrinter(p, printers[i])) {
            AppendStatePrinter(out, p, "[printer " + std::to_string(i) + "]");
            printers[i] = p;
        }
        ++i;
    }
    ListChanges(out, "[keep]\r\n", db.keep, 0);
    ListChanges(out, "[removal]\r\n", db.removal, CUninstallProfile::LIST_COUNT);
    Close(out, 0);
    header.clear();
    AppendStateHeader(header, db, context, stage);
    return true;
}

// The items appended to each list since the last state; a list that changed otherwise is cleared and given
// whole. The section line goes out only when some list changed.
void CStateRecords::ListChanges(std::string& out, const char* section, const CUninstallProfile& profile, int first) {
    bool opened = false;
    for (int l = 0; l < CUninstallProfile::LIST_COUNT; ++l) {
        std::vector<std::string>& known = lists[first + l];
        const CTextList& list = profile.List(l);
        size_t same = 0;
        auto it = list.begin();
        for (; it != list.end() && same < known.size() && known[same] == it->text; ++it) ++same;
        if (same == known.size() && it == list.end()) continue;
        if (!opened) out += section;
        opened = true;
        if (same < known.size()) {
            out += "cleared = ";
            out += CUninstallProfile::ListName(l);
            out += "\r\n";
            known.clear();
            it = list.begin();
        }
        for (; it != list.end(); ++it) {
            AppendStateItem(out, l, *it);
            known.push_back(it->text);
        }
    }
}

void CStateRecords::Remember(const CUninstallDatabase& db, const CRemovalContext& context, int stage) {
    started = true;
    header.clear();
    AppendStateHeader(header, db, context, stage);
    printers.clear();
    for (const CPrinterEntry& p : db.printers) printers.push_back(p);
    for (int l = 0; l < 2 * CUninstallProfile::LIST_COUNT; ++l) {
        const CUninstallProfile& profile = l < CUninstallProfile::LIST_COUNT ? db.keep : db.removal;
        lists[l].clear();
        for (const CTextItem& item : profile.List(l % CUninstallProfile::LIST_COUNT)) lists[l].push_back(item.text);
    }
}

std::string CStateRecords::Whole() const {
    std::string out = header;
    for (const CPrinterEntry& p : printers) AppendStatePrinter(out, p, "[printer]");
    const char* const sections[] = {"[keep]\r\n", "[removal]\r\n"};
    for (int half = 0; half < 2; ++half) {
        out += sections[half];
        for (int l = 0; l < CUninstallProfile::LIST_COUNT; ++l)
            for (const std::string& item : lists[half * CUninstallProfile::LIST_COUNT + l])
                AppendStateItem(out, l, item.c_str());
    }
    return out;
}
