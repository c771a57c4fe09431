// The tool's removal logs read back: every run of a log (a header line and the lines after it) as the facts a
// fleet report needs, and every log of a folder (and of its subfolders, one level down) grouped by machine.
//
// The reader knows the lines the tool writes (docs/administration.md, "The log as a contract") and nothing
// else is required of a log: a line it does not know (an older or newer version's, a line cut by a crash, a
// stray text) is counted as unread and the reading goes on. It never fails on what a log holds.
#pragma once

#include <map>
#include <string>
#include <vector>

// What became of the items of a run, as the item lines say.
enum ItemOutcome {
    ITEM_REMOVED,
    ITEM_NOT_THERE,
    ITEM_SCHEDULED,
    ITEM_FAILED,
    ITEM_REFUSED,
    ITEM_KEPT,
    ITEM_CALLED,
    ITEM_PENDING,
    ITEM_OUTCOME_COUNT
};
// The outcome's word as the log writes it ("removed", "scheduled for restart" ...).
const char* ItemOutcomeWord(ItemOutcome outcome);

// An item line of the log: "TIME stage N | KIND | ITEM | OUTCOME[ (DETAIL)][, error E]".
struct LoggedItem {
    int stage = -1;  // -1: a "run" item
    std::string kind, item, detail;
    ItemOutcome outcome = ITEM_REMOVED;
    unsigned long error = 0;
    // The rule of a refusal ("windows-file" of "refused (windows-file: Windows protects it)"); a "kept" item
    // that a printer that stays needs has the rule "staying-printer" too. Empty otherwise.
    std::string rule;
};

// One run: its header and what its lines say.
struct LoggedRun {
    std::string date, time;     // "2025-03-03", "09:00:00" (empty when the header does not say)
    std::string computer;       // the header's computer ("" for "(no computer name)")
    std::string commandLine;
    std::string mode;           // the run line after the header: "unattended removal (/QUIET), ..."; "" when absent
    bool hasExitCode = false;   // "end | exit code N (MEANING)"
    long exitCode = 0;
    std::string exitMeaning;
    bool hasSummary = false;    // "done | removed R, ... | restart needed"
    bool restartNeeded = false;  // the summary's or the restore's "a restart is needed"
    bool removalBegan = false;  // a stage from 1 on, or a backup set, was logged
    bool resumed = false;       // it finished a removal cut short
    bool restore = false;       // it put a backup set back
    std::string backupSet;      // "run | backup set FOLDER"
    unsigned counts[ITEM_OUTCOME_COUNT] = {};
    std::vector<LoggedItem> items;            // failed, refused and printer items (the rest is only counted)
    std::vector<std::string> familyPrinters;  // the loading's printers of the family
    std::vector<std::string> restoredPrinters;
    unsigned lines = 0;   // lines of the run, its header included
    unsigned unread = 0;  // lines the reader does not know
};

// How one log file was read.
struct LogFile {
    std::string path;       // as found (the folder given, a backslash, the name)
    std::string fileName;   // the name without its folder and its extension: the machine when no header names one
    std::vector<LoggedRun> runs;
    unsigned linesBeforeFirstRun = 0;  // lines before any header (counted as unread too)
    unsigned cp932Lines = 0, escapedLines = 0;  // lines not in UTF-8 (LineToUtf8)
};

// Reads a log's text. Every run starts at a line "==== korun04 ..."; lines before the first header are
// unread. Texts of the result are UTF-8 (log_text.h).
LogFile ReadLogText(const std::string& bytes, const std::string& path);

// The largest log the reader reads: a file above it is skipped with a note (a log of the tool grows by a few
// kilobytes per run; this is far beyond any real one and keeps a stray disk image out of memory).
const unsigned long long kLargestLog = 64ull * 1024 * 1024;

// The logs of a folder: every file directly in it and in its subfolders (one level down) that begins as the
// tool's log does. Files that are not logs are passed over silently; unreadable or too large ones get a note.
struct LogFolder {
    std::vector<LogFile> logs;
    std::vector<std::string> notes;
    unsigned filesSeen = 0;
};
// False (and the error) when the folder itself cannot be read.
bool ReadLogFolder(const std::string& folder, LogFolder& result, unsigned long& error);

// Whether bytes begin as the tool's log begins (after an optional UTF-8 byte order mark and blank lines).
bool LooksLikeLog(const std::string& bytes);
