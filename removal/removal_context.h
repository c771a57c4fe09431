// What every remover works with: the database (its removal profile holds the work lists), the platform of
// the run, the texts of the string table, and the directories of the file removal. The removal page owns
// them and hands them over; a remover knows nothing of the page.
#pragma once

#include <set>
#include <string>

#include "base/os_version.h"
#include "base/run_log.h"
#include "removal/item_kind.h"
#include "removal/keeper.h"
#include "removal/backup/removal_journal.h"
#include "script/database.h"
#include "script/text_list.h"
#include "resources/resource.h"
#include "ui/text_resources.h"

struct CRemovalContext {
    CUninstallDatabase* database;
    HWND window;  // the removal page: owner of the removers' message boxes, first argument of the hooks
    COSVersion osVersion;
    CTextResources* textResources;
    CTextList* directDirs;
    CTextList* searchDirs;
    // Set when something can only finish at the next start of Windows: a file scheduled for deletion, a
    // service Windows could only mark for deletion. (The database's restartNeeded is also set by a service
    // deleted at once, and by the 9x family's spooler handling.)
    int pendingAtRestart;
    // Monitors the spooler refused to delete because a port still uses them: their configuration stays
    // for the whole stage, whichever environment the later calls name.
    std::set<std::string> monitorsInUse;
    // Drivers whose OEM INF the driver stage has handled: a driver installed in several environments has its
    // INF uninstalled once.
    std::set<std::string> infsHandled;
    // The run's log, or null: the removers tell it what became of each item they handled.
    CRunLog* log = nullptr;
    // What the machine still needs: every remover asks it before it removes anything. Learned by the page
    // at stage 0 (and after the printers' stage).
    CKeeper* keeper = nullptr;
    // The journal of the removal's backup set, or null (a removal without a backup).
    CRemovalJournal* journal = nullptr;

    // Before an item is touched: keeps what puts it back and names it in the journal. False when the backup
    // could not be written: the item must stay as it is, and so does every later one (Stopped()); or when
    // the backup cannot hold this item: it alone stays, logged as kept with the reason.
    bool Save(ItemKind kind, const std::string& item, const CSavedForm& saved) const;
    // Whether the removal stopped because its backup could not be written.
    bool Stopped() const { return journal && journal->Failed(); }

    // Logs one item (nothing without a log). The error is the platform's code behind the outcome; the
    // detail names the mechanism of a scheduled item, the rule of a refused one, or the reason.
    void Report(ItemKind kind, const std::string& item, CRunLog::Outcome outcome, DWORD error = 0,
                const char* detail = nullptr) const {
        if (log) log->Item(ItemKindName(kind), item, outcome, error, detail);
        if (journal) journal->Done(kind, item, outcome);
    }
    // Logs a refused item ("refused (RULE: why)") and tells the debugger; true when the item is refused.
    bool Refused(ItemKind kind, const std::string& item, const CRefusal& refusal) const;
    // The number of item lines logged so far (0 without a log): a remover compares it to tell whether an
    // item left any line.
    unsigned ReportedLines() const { return log ? log->ItemLines() : 0; }
    // The outcome of a registry or spooler call's error code: 0 removed, 2 and 3 not there, else failed.
    void ReportResult(ItemKind kind, const std::string& item, DWORD error, const char* detail = nullptr) const {
        if (error == ERROR_SUCCESS)
            Report(kind, item, CRunLog::REMOVED, 0, detail);
        else if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            Report(kind, item, CRunLog::NOT_THERE, 0, detail);
        else
            Report(kind, item, CRunLog::FAILED, error, detail);
    }
    // The outcome of deleting a registry key (root, subKey; logged as item): as ReportResult, except that
    // a key Windows would not delete because it still has subkeys (error 5) stays rightly, "kept": the
    // script asked for the key alone.
    void ReportKeyResult(HKEY root, const char* subKey, const std::string& item, DWORD error,
                         const char* detail = nullptr) const;
};

// Tells the person who watches the run (a debugger, the simulator's transcript) that an item of a script
// was refused because acting on it would damage Windows.
void ReportRefusedItem(const char* kind, const char* item, const char* why);
// The same, and the item goes to the run's log as refused, with logKind as its kind.
void ReportRefusedItem(const CRemovalContext& context, ItemKind logKind, const char* kind, const char* item,
                       const char* why);
