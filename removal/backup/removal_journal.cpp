#include "removal/backup/removal_journal.h"

#include <stdio.h>
#include <stdlib.h>

#include "base/reg_text.h"
#include "base/text_lines.h"
#include "removal/removal_stages.h"

namespace {

const char kSeparator[] = " | ";
// The copy field of a file that another program held open: nothing could be read to keep.
const char kInUseNotCopied[] = "in use, not copied";

// A journal field holds no line break (a registry key's name may).
std::string Field(const std::string& text) {
    std::string out = text;
    for (char& c : out)
        if (c == '\r' || c == '\n') c = '?';
    return out;
}

bool Number(const std::string& text, unsigned long& out) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    out = strtoul(text.c_str(), NULL, 10);
    return true;
}

}  // namespace

CSavedForm CSavedForm::Key(HKEY root, const std::string& subKey) {
    CSavedForm s;
    s.form = KEY;
    s.root = root;
    s.subKey = subKey;
    return s;
}

CSavedForm CSavedForm::Value(HKEY root, const std::string& subKey, const std::string& value) {
    CSavedForm s = Key(root, subKey);
    s.form = VALUE;
    s.value = value;
    return s;
}

CSavedForm CSavedForm::File(const std::string& path) {
    CSavedForm s;
    s.form = FILE;
    s.path = path;
    return s;
}

CSavedForm CSavedForm::Record(const CBackupRecord& record) {
    CSavedForm s;
    s.form = RECORD;
    s.record = record;
    return s;
}

unsigned CRemovalJournal::Save(const std::string& item, const CSavedForm& saved, std::string& error, bool& inUse) {
    std::string text = RegistryTextHeader();
    inUse = false;
    switch (saved.form) {
    case CSavedForm::KEY:
        // A key that is not there has nothing to keep: its removal finds nothing either.
        return ExportRegistryKey(saved.root, saved.subKey.c_str(), text, &refusal)
                   ? set.SaveText("registry", item, text, error)
                   : 0;
    case CSavedForm::VALUE:
        return ExportRegistryValue(saved.root, saved.subKey.c_str(), saved.value.c_str(), text, &refusal)
                   ? set.SaveText("registry", item, text, error)
                   : 0;
    case CSavedForm::FILE: {
        const DWORD attributes = GetFileAttributesA(saved.path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return 0;
        // A file another program holds open without sharing cannot be read, nor deleted now: it can only be
        // scheduled, and a restore before the restart cancels that. Its removal goes on without a copy.
        return set.SaveFile("file", saved.path, error, inUse);
    }
    case CSavedForm::RECORD:
        return SaveRecord(item, saved.record, error);
    default:
        return 0;
    }
}

unsigned CRemovalJournal::SaveRecord(const std::string& item, const CBackupRecord& saved, std::string& error) {
    CBackupRecord record = saved;
    // A driver's files are kept too: a later stage may delete them, and the driver needs them back. One in
    // use cannot be copied; its deletion can only be scheduled, so it is named for the restore to cancel.
    if (record.kind == "driver") {
        for (const char* key : {"driverPath", "dataFile", "configFile", "helpFile", "dependentFile"}) {
            for (const std::string& path : saved.All(key)) {
                const DWORD attributes = GetFileAttributesA(path.c_str());
                if (path.size() < 3 || attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
                    continue;
                bool inUse = false;
                const unsigned copy = set.SaveFile("driver file", path, error, inUse);
                if (inUse) {
                    record.Add("inUseFile", path);
                    continue;
                }
                if (!copy) return 0;
                record.Add("savedFile", std::to_string(copy) + "|" + path);
            }
        }
    }
    return set.SaveText("record", item, record.Text(), error);
}

bool CRemovalJournal::Begin(ItemKind kind, const std::string& item, const CSavedForm& saved) {
    if (Failed()) return false;
    std::string error;
    bool inUse = false;
    refusal.clear();
    const unsigned copy = Save(item, saved, error, inUse);
    if (!error.empty()) {
        failure = error;
        return false;
    }
    if (!refusal.empty()) {
        openKind.clear();
        openItem.clear();
        return false;
    }
    ++items;
    const std::string copyField = copy ? std::to_string(copy) : inUse ? std::string(kInUseNotCopied) : std::string("-");
    if (!Line("item" + std::string(kSeparator) + std::to_string(items) + kSeparator + ItemKindName(kind) + kSeparator + Field(item) +
              kSeparator + copyField))
        return false;
    openKind = ItemKindName(kind);
    openItem = item;
    return true;
}

void CRemovalJournal::Done(ItemKind kind, const std::string& item, CRunLog::Outcome outcome) {
    if (openKind.empty() || openKind != ItemKindName(kind) || openItem != item) return;
    openKind.clear();
    openItem.clear();
    Line("done" + std::string(kSeparator) + std::to_string(items) + kSeparator + CRunLog::OutcomeName(outcome));
}

void CRemovalJournal::ContinueAfter(const CJournalText& text) {
    for (const CJournalItem& item : text.items)
        if (item.number > items) items = item.number;
}

bool CRemovalJournal::Stage(int stage) {
    openKind.clear();
    openItem.clear();
    return Line("stage" + std::string(kSeparator) + std::to_string(stage));
}

bool CRemovalJournal::End() { return Line("end" + std::string(kSeparator) + JournalTime()); }

bool CRemovalJournal::Line(const std::string& line) {
    if (Failed()) return false;
    std::string error;
    if (set.Journal(line, error)) return true;
    failure = error;
    return false;
}

CJournalText ParseJournal(const std::string& text) {
    CJournalText out;
    int stage = -1;
    for (const std::string& line : TextLines(text)) {
        if (line.empty()) continue;
        const std::vector<std::string> fields = SplitFields(line, kSeparator);
        unsigned long number = 0;
        const std::string& what = fields[0];
        if (what == "start" && fields.size() == 2) {
            out.started = true;
        } else if (what == "end" && fields.size() == 2) {
            out.ended = true;
        } else if (what == "stage" && fields.size() == 2 && Number(fields[1], number) && number < STAGE_COUNT) {
            stage = out.lastStage = static_cast<int>(number);
            out.stages.insert(stage);
        } else if (what == "item" && fields.size() >= 5 && Number(fields[1], number) && number > 0) {
            // The item's own text may hold the separator: it is everything between the kind and the copy.
            CJournalItem item;
            item.number = static_cast<unsigned>(number);
            item.kind = fields[2];
            item.type = ItemKindNamed(item.kind);
            for (size_t i = 3; i + 1 < fields.size(); ++i) item.item += (i > 3 ? kSeparator : "") + fields[i];
            unsigned long copy = 0;
            item.inUse = fields.back() == kInUseNotCopied;
            if (fields.back() != "-" && !item.inUse && !Number(fields.back(), copy)) {
                ++out.badLines;
                continue;
            }
            item.copy = static_cast<unsigned>(copy);
            item.stage = stage;
            out.items.push_back(item);
        } else if (what == "done" && fields.size() == 3 && Number(fields[1], number) && !out.items.empty() &&
                   out.items.back().number == number) {
            out.items.back().outcome = fields[2];
        } else {
            ++out.badLines;
        }
    }
    return out;
}
