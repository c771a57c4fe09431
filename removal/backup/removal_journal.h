// CRemovalJournal: the backup set of one removal as the removers see it. Before a remover touches an item it
// asks the journal to keep what puts the item back (a registry key as registry text, a file's bytes, a
// record of a printer, driver, monitor, processor or service) and to name the item in the journal; the
// item's log line then closes it in the journal with its outcome. When the backup cannot be written (the
// disk is full, access is denied) the item is not touched, and neither is any later one: the removal stops
// there, with the journal left open so that /RESUME can go on once there is room. An item whose backup
// cannot hold it (a registry name that registry text cannot give back exactly) is refused alone: it stays,
// has no journal line, and the removal goes on with the next item.
#pragma once

#include <set>
#include <string>

#include "base/run_log.h"
#include "removal/backup/backup_records.h"
#include "removal/backup/backup_set.h"
#include "removal/item_kind.h"

// What keeps an item: nothing (a job, a hook, a device node: they cannot be put back), a registry key with
// its subkeys or one value, a file's bytes and attributes, or a record.
struct CSavedForm {
    enum Form { NOTHING, KEY, VALUE, FILE, RECORD };
    Form form = NOTHING;
    HKEY root = NULL;
    std::string subKey, value, path;
    CBackupRecord record;

    static CSavedForm Nothing() { return CSavedForm(); }
    static CSavedForm Key(HKEY root, const std::string& subKey);
    static CSavedForm Value(HKEY root, const std::string& subKey, const std::string& value);
    static CSavedForm File(const std::string& path);
    static CSavedForm Record(const CBackupRecord& record);
};

class CRemovalJournal {
public:
    explicit CRemovalJournal(CBackupSet& set) : set(set) {}

    // Keeps what puts the item back and writes its journal line. False when the backup failed (now or
    // before) or refused this item (Refusal()): the item must stay as it is.
    bool Begin(ItemKind kind, const std::string& item, const CSavedForm& saved);
    // Why the backup refused the item begun last ("" when it did not).
    const std::string& Refusal() const { return refusal; }
    // Closes the item begun last when kind and item are its own (the log's outcome words).
    void Done(ItemKind kind, const std::string& item, CRunLog::Outcome outcome);
    // The journal's stage line; false when it could not be written.
    bool Stage(int stage);
    // The removal's last line: it ran to its end.
    bool End();

    // Goes on with a journal that was cut short: its items keep their numbers.
    void ContinueAfter(const struct CJournalText& text);
    // The backup failed outside an item (the state of a stage could not be written).
    void Fail(const std::string& why) {
        if (failure.empty()) failure = why;
    }

    bool Failed() const { return !failure.empty(); }
    const std::string& Failure() const { return failure; }
    unsigned Items() const { return items; }
    CBackupSet& Set() { return set; }

private:
    // The number of the copy kept (0: none); error set when the set could not be written, inUse when the file
    // could not be read, refusal when the item cannot be kept as the backup keeps it.
    unsigned Save(const std::string& item, const CSavedForm& saved, std::string& error, bool& inUse);
    unsigned SaveRecord(const std::string& item, const CBackupRecord& record, std::string& error);
    bool Line(const std::string& line);

    CBackupSet& set;
    std::string failure;
    std::string refusal;  // of the item begun last
    unsigned items = 0;
    std::string openKind, openItem;  // the item begun last and not yet closed
};

// The journal's lines as the restore and the resume read them back (outside input: a line that is not of
// the journal's form is skipped and counted).
struct CJournalItem {
    unsigned number = 0;
    std::string kind, item;
    ItemKind type = ItemKind::Other;  // the kind its name stands for
    unsigned copy = 0;        // 0: nothing was kept
    bool inUse = false;       // a file another program held open: it could not be copied, only scheduled
    std::string outcome;      // "" when the item was begun but never closed (the run was cut short there)
    int stage = -1;
};
struct CJournalText {
    std::vector<CJournalItem> items;
    int lastStage = -1;  // the last stage begun, -1 when none
    std::set<int> stages;  // every stage begun
    bool started = false, ended = false;
    unsigned badLines = 0;
};
CJournalText ParseJournal(const std::string& text);
