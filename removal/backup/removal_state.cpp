#include "removal/backup/removal_state.h"

#include <stdlib.h>
#include <string.h>

#include <vector>

#include "base/text_lines.h"
#include "removal/backup/state_parts.h"

namespace {

void Key(std::string& out, const char* key, const char* value) {
    out += key;
    out += " = ";
    out += value;
    out += "\r\n";
}
void Key(std::string& out, const char* key, const std::string& value) { Key(out, key, value.c_str()); }
void Key(std::string& out, const char* key, long value) { Key(out, key, std::to_string(value)); }

void Lists(std::string& out, const CUninstallProfile& profile) {
    for (int i = 0; i < CUninstallProfile::LIST_COUNT; ++i)
        for (const char* item : profile.List(i)) AppendStateItem(out, i, item);
}

int ListIndex(const std::string& name) {
    for (int i = 0; i < CUninstallProfile::LIST_COUNT; ++i)
        if (name == CUninstallProfile::ListName(i)) return i;
    return -1;
}

bool Number(const std::string& text, long low, long high, long& out) {
    if (text.empty() || text.size() > 11) return false;
    char* end = NULL;
    out = strtol(text.c_str(), &end, 10);
    return end && !*end && out >= low && out <= high;
}

// Copies a value into one of a printer's names; false when it would not fit.
bool Text(std::string& into, const std::string& value) {
    if (value.size() >= TEXT_SIZE) return false;
    CopyText(into, value.c_str());
    return true;
}

}  // namespace

std::string WriteRemovalState(const CUninstallDatabase& db, const CRemovalContext& context, int stage) {
    std::string out;
    WriteRemovalState(db, context, stage, out);
    return out;
}

void WriteRemovalState(const CUninstallDatabase& db, const CRemovalContext& context, int stage, std::string& out) {
    out.clear();
    AppendStateHeader(out, db, context, stage);
    for (const CPrinterEntry& p : db.printers) AppendStatePrinter(out, p, "[printer]");
    out += "[keep]\r\n";
    Lists(out, db.keep);
    out += "[removal]\r\n";
    Lists(out, db.removal);
}

void AppendStateHeader(std::string& out, const CUninstallDatabase& db, const CRemovalContext& context, int stage,
                       const char* section) {
    out += section;
    out += "\r\n";
    Key(out, "stage", stage);
    Key(out, "restartNeeded", db.restartNeeded);
    Key(out, "removingCount", db.removingCount);
    Key(out, "remainingCount", db.remainingCount);
    Key(out, "pavaneStays", db.pavaneStays);
    Key(out, "pendingAtRestart", context.pendingAtRestart);
    for (const std::string& m : context.monitorsInUse) Key(out, "monitorInUse", m);
    for (const std::string& d : context.infsHandled) Key(out, "infHandled", d);
}

void AppendStatePrinter(std::string& out, const CPrinterEntry& p, const std::string& section) {
    out += section;
    out += "\r\n";
    Key(out, "name", p.printerName);
    Key(out, "driver", p.driverName);
    Key(out, "paved", p.pavedName);
    Key(out, "location", p.location);
    Key(out, "family", p.isFamily);
    Key(out, "default", p.isDefault);
    Key(out, "kept", p.isKept);
    Key(out, "foreign", p.isForeign);
    Key(out, "deleted", p.isDeleted);
    Key(out, "listed", p.isListed);
}

void AppendStateItem(std::string& out, int list, const char* item) { Key(out, CUninstallProfile::ListName(list), item); }

bool ReadRemovalState(const std::string& text, CUninstallDatabase& db, CRemovalContext& context, int& stage,
                      std::string& error) {
    // The written part of the text: a change record cut short by a crash or a power cut is left out.
    size_t whole = 0, records = 0;
    if (!WholeStateLength(text, whole, records, error)) return false;
    std::vector<CPrinterEntry> printers;
    CUninstallProfile keep, removal;
    long flags[6] = {-1, 0, 0, 0, 1, 0};  // stage, restartNeeded, removingCount, remainingCount, pavaneStays, pending
    std::set<std::string> monitorsInUse, infsHandled;
    std::string section;
    size_t printer = 0;  // the printer that [printer] or [printer N] began
    size_t number = 0, nexts = 0;
    auto fail = [&](const std::string& what) {
        error = "line " + std::to_string(number) + ": " + what;
        return false;
    };
    for (const std::string& line : TextLines(text.substr(0, whole))) {
        ++number;
        if (line.empty()) continue;
        if (line.find('\0') != std::string::npos) return fail("a NUL byte");
        if (line[0] == '[') {
            section = line;
            long n = 0;
            if (section == "[printer]") {
                printer = printers.size();
                printers.emplace_back();
            } else if (section.compare(0, 9, "[printer ") == 0 && section.back() == ']' &&
                       Number(section.substr(9, section.size() - 10), 0, static_cast<long>(printers.size()) - 1, n)) {
                printer = static_cast<size_t>(n);  // a change record gives a changed printer whole
                printers[printer] = CPrinterEntry();
                section = "[printer]";
            } else if (section == "[next]") {
                if (++nexts > records) return fail("a change record without its check");
                section = "[state]";  // the record's counters and notes replace the state's
                flags[0] = -1;
                monitorsInUse.clear();
                infsHandled.clear();
            } else if (section != "[state]" && section != "[keep]" && section != "[removal]" && section != "[end]") {
                return fail("unknown section " + section);
            }
            continue;
        }
        const size_t equals = line.find(" = ");
        const std::string key = line.substr(0, equals == std::string::npos ? line.size() : equals);
        const std::string value = equals == std::string::npos ? std::string() : line.substr(equals + 3);
        if (equals == std::string::npos && line.back() != '=') return fail("expected \"key = value\"");
        if (section == "[state]") {
            static const char* const kFlags[] = {"stage", "restartNeeded", "removingCount", "remainingCount",
                                                 "pavaneStays", "pendingAtRestart"};
            bool known = false;
            for (int i = 0; i < 6 && !known; ++i)
                if (key == kFlags[i]) {
                    known = true;
                    if (!Number(value, i == 0 ? 0 : 0, i == 0 ? 17 : 1000000, flags[i])) return fail("a bad " + key);
                }
            if (known) continue;
            if (key == "monitorInUse" && value.size() < TEXT_SIZE) monitorsInUse.insert(value);
            else if (key == "infHandled" && value.size() < TEXT_SIZE) infsHandled.insert(value);
            else return fail("unknown key " + key + " in [state]");
        } else if (section == "[printer]") {
            long n = 0;
            CPrinterEntry* entry = &printers[printer];
            if (key == "name") { if (!Text(entry->printerName, value)) return fail("a name too long"); }
            else if (key == "driver") { if (!Text(entry->driverName, value)) return fail("a driver too long"); }
            else if (key == "paved") { if (!Text(entry->pavedName, value)) return fail("a paved name too long"); }
            else if (key == "location") { if (!Text(entry->location, value)) return fail("a location too long"); }
            else if (Number(value, 0, 1, n) && (key == "family" || key == "default" || key == "kept" || key == "foreign" ||
                                                key == "deleted" || key == "listed")) {
                int& flag = key == "family" ? entry->isFamily : key == "default" ? entry->isDefault
                          : key == "kept" ? entry->isKept : key == "foreign" ? entry->isForeign
                          : key == "deleted" ? entry->isDeleted : entry->isListed;
                flag = static_cast<int>(n);
            } else {
                return fail("unknown key or bad value of " + key + " in [printer]");
            }
        } else if ((section == "[keep]" || section == "[removal]") && key == "cleared") {
            const int list = ListIndex(value);  // a list that changed otherwise than by growing: given again
            if (list < 0) return fail("unknown list " + value);
            (section == "[keep]" ? keep : removal).List(list).Clear();
        } else if (section == "[end]") {
            if (key != "check") return fail("unknown key " + key + " in [end]");
        } else if (section == "[keep]" || section == "[removal]") {
            const int list = ListIndex(key);
            if (list < 0) return fail("unknown list " + key);
            if (value.empty() || value.size() >= TEXT_SIZE) return fail("an item empty or too long");
            (section == "[keep]" ? keep : removal).List(list).Add(value.c_str());
        } else {
            return fail("a line before the first section");
        }
    }
    if (flags[0] < 0) return fail("no stage");
    stage = static_cast<int>(flags[0]);
    db.restartNeeded = static_cast<int>(flags[1]);
    db.removingCount = static_cast<int>(flags[2]);
    db.remainingCount = static_cast<int>(flags[3]);
    db.pavaneStays = static_cast<int>(flags[4]);
    context.pendingAtRestart = static_cast<int>(flags[5]);
    context.monitorsInUse = monitorsInUse;
    context.infsHandled = infsHandled;
    db.printers.Clear();
    for (const CPrinterEntry& p : printers) db.printers.AddCopy(p);
    db.keep = keep;
    db.removal = removal;
    return true;
}

std::string StateDisagreement(const CUninstallDatabase& db, int stage, const std::string& setText,
                              const CJournalText& journal) {
    std::set<std::string> chosen;
    for (const std::string& line : TextLines(setText))
        if (line.compare(0, 9, "chosen = ") == 0) chosen.insert(TextKey(line.c_str() + 9));
    for (const CPrinterEntry& p : db.printers)
        if (!p.isKept && !p.isForeign && !chosen.count(TextKey(p.printerName.c_str())))
            return "its state would remove the printer \"" + p.printerName + "\", which was not chosen";
    if (!journal.stages.count(stage) && stage != journal.lastStage + 1)
        return "its state is at stage " + std::to_string(stage) + ", which its journal never reached (its last stage: " +
               std::to_string(journal.lastStage) + ")";
    return std::string();
}
