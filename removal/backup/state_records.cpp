#include "removal/backup/state_records.h"

#include <algorithm>
#include <cstdio>

#include "removal/backup/removal_state.h"
#include "removal/backup/state_parts.h"

namespace {

bool SamePrinter(const CPrinterEntry& a, const CPrinterEntry& b) {
    return a.printerName == b.printerName && a.driverName == b.driverName && a.pavedName == b.pavedName &&
           a.location == b.location && a.isFamily == b.isFamily &&
           a.isDefault == b.isDefault && a.isKept == b.isKept && a.isForeign == b.isForeign &&
           a.isDeleted == b.isDeleted && a.isListed == b.isListed;
}

}  // namespace

bool CStateRecords::Next(const CUninstallDatabase& db, const CRemovalContext& context, int stage, std::string& out) {
    out.clear();
    if (!started || db.printers.Count() != printers.size()) {
        WriteRemovalState(db, context, stage, out);
        CloseStatePart(out, 0);
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
    CloseStatePart(out, 0);
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
    printers.reserve(db.printers.Count());
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
