#include "removal/removal_journal.h"

#include <stdio.h>
#include <stdlib.h>

#include "app/reg_text.h"

namespace {

const char kSeparator[] = " | ";

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

unsigned CRemovalJournal::Save(const char* kind, const std::string& item, const CSavedForm& saved, std::string& error) {
    std::string text = RegistryTextHeader();
    switch (saved.form) {
    case CSavedForm::KEY:
        // A key that is not there has nothing to keep: its removal finds nothing either.
        return ExportRegistryKey(saved.root, saved.subKey.c_str(), text) ? set.SaveText("registry", item, text, error)
                                                                          : 0;
    case CSavedForm::VALUE:
        return ExportRegistryValue(saved.root, saved.subKey.c_str(), saved.value.c_str(), text)
                   ? set.SaveText("registry", item, text, error)
                   : 0;
    case CSavedForm::FILE: {
        const DWORD attributes = GetFileAttributesA(saved.path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return 0;
        const unsigned copy = set.SaveFile("file", saved.path, error);
        // A file another program holds open without sharing cannot be read, nor deleted now: it can only be
        // scheduled, and the restore cancels that. Its removal goes on without a copy.
        const DWORD code = GetLastError();
        if (!copy && (code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION)) error.clear();
        return copy;
    }
    case CSavedForm::RECORD: {
        CBackupRecord record = saved.record;
        // A driver's files are kept too: a later stage may delete them, and the driver needs them back.
        if (record.kind == "driver") {
            for (const char* key : {"driverPath", "dataFile", "configFile", "helpFile", "dependentFile"}) {
                for (const std::string& path : saved.record.All(key)) {
                    const DWORD attributes = GetFileAttributesA(path.c_str());
                    if (path.size() < 3 || attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
                        continue;
                    const unsigned copy = set.SaveFile("driver file", path, error);
                    if (!copy) return 0;
                    record.Add("savedFile", std::to_string(copy) + "|" + path);
                }
            }
        }
        return set.SaveText("record", item, record.Text(), error);
    }
    default:
        (void)kind;
        return 0;
    }
}

bool CRemovalJournal::Begin(const char* kind, const std::string& item, const CSavedForm& saved) {
    if (Failed()) return false;
    std::string error;
    const unsigned copy = Save(kind, item, saved, error);
    if (!error.empty()) {
        failure = error;
        return false;
    }
    ++items;
    if (!Line("item" + std::string(kSeparator) + std::to_string(items) + kSeparator + kind + kSeparator + Field(item) +
              kSeparator + (copy ? std::to_string(copy) : std::string("-"))))
        return false;
    openKind = kind;
    openItem = item;
    return true;
}

void CRemovalJournal::Done(const char* kind, const std::string& item, CRunLog::Outcome outcome) {
    if (openKind.empty() || openKind != kind || openItem != item) return;
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

std::string JournalTime() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    char text[64];
    snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
    return text;
}

CJournalText ParseJournal(const std::string& text) {
    CJournalText out;
    int stage = -1;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        std::vector<std::string> fields;
        for (size_t from = 0;;) {
            const size_t cut = line.find(kSeparator, from);
            fields.push_back(line.substr(from, cut == std::string::npos ? std::string::npos : cut - from));
            if (cut == std::string::npos) break;
            from = cut + 3;
        }
        unsigned long number = 0;
        const std::string& what = fields[0];
        if (what == "start" && fields.size() == 2) {
            out.started = true;
        } else if (what == "end" && fields.size() == 2) {
            out.ended = true;
        } else if (what == "stage" && fields.size() == 2 && Number(fields[1], number) && number <= 17) {
            stage = out.lastStage = static_cast<int>(number);
        } else if (what == "item" && fields.size() >= 5 && Number(fields[1], number) && number > 0) {
            // The item's own text may hold the separator: it is everything between the kind and the copy.
            CJournalItem item;
            item.number = static_cast<unsigned>(number);
            item.kind = fields[2];
            for (size_t i = 3; i + 1 < fields.size(); ++i) item.item += (i > 3 ? kSeparator : "") + fields[i];
            unsigned long copy = 0;
            if (fields.back() != "-" && !Number(fields.back(), copy)) {
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
