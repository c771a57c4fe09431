// CRunLog: the removal log, a text file appended to run after run. A run writes a header line (date, time,
// computer, command line, platform and version class), then what the loading phase read and found, the
// message boxes with their answers, one line per item a remover handled, and the counts at the end:
//
//   ==== korun04 2025-03-03 09:00:00 PC01 | "C:\...\korun04.exe" /QUIET /SELECT:ALL | platform WinNT, version class 8
//   09:00:04 loading | script | C:\Windows\System32\spool\drivers\x64\Kunz__04.unm | read
//   09:00:05 stage 3 | printer | Office | removed
//   09:00:06 stage 14 | file | C:\Windows\System32\spool\drivers\x64\vxres.dat | scheduled for restart (MoveFileExA)
//   09:00:06 done | removed 21, not there 9, scheduled 1, failed 0, refused 0, kept 2, called 1 | restart needed
//
// Each item of a stage is written once, with its final outcome: a key one call could not delete and the
// tree deletion then removed is "removed". The item lines of a stage wait until the remover begins its next
// item (WriteItems), the stage ends or another line is written, so that the log stays in the order things
// happened and a run cut short keeps the line of every item it finished.
//
// The file is opened for appending and shared for reading and writing, and every line is one write: a
// second copy of the tool (which ends at once) adds its lines to the same log without overwriting any.
//
// The log observes the run and never steers it: a log that cannot be opened or written is dropped
// quietly, and every write leaves the thread's last error as it found it.
#pragma once

#include <deque>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/os_version.h"
#include "base/platform.h"

class CRunLog {
public:
    // What became of an item a remover handled.
    enum Outcome {
        REMOVED,    // it was there and is gone
        NOT_THERE,  // there was nothing to remove
        SCHEDULED,  // it goes at the next start of Windows (the detail names the mechanism)
        FAILED,     // it should have gone and stayed; the error code says why
        REFUSED,    // removing it would damage Windows
        KEPT,       // it stays, rightly: a printer that stays needs it, or it holds what is not the family's
                    // (a folder with other files, a key with other subkeys)
        CALLED,     // an uninstall hook that ran
        PENDING,    // a printer the spooler deletes once its last job is gone
        OUTCOME_COUNT
    };
    static const char* OutcomeName(Outcome outcome);

    // Where the log goes when /LOG does not say: "korun04.log" in the temporary directory.
    static std::string DefaultPath();

    CRunLog();
    ~CRunLog();
    CRunLog(const CRunLog&) = delete;
    CRunLog& operator=(const CRunLog&) = delete;

    // Opens path for appending, creating it when missing; false when it cannot be opened (every write is
    // then dropped, and OpenError says why). An open log is closed first.
    bool Open(const std::string& path);
    DWORD OpenError() const { return openError; }
    void Close();
    bool IsOpen() const;
    const std::string& Path() const { return path; }
    // True once a write failed after the log was opened.
    bool WriteFailed() const { return writeFailed; }

    // The run's first line: "==== korun04 DATE TIME COMPUTER | COMMAND LINE | platform P, version class V".
    void WriteHeader(const char* commandLine, const COSVersion& os);
    // A line "TIME PLACE | TEXT" (PLACE: "loading", "stage N", "message box", "run" ...).
    void Write(const char* place, const std::string& text);

    // The stage of the removal that the following items belong to (the lines of the stage before are
    // written first).
    void SetStage(int stage);
    int Stage() const { return stage; }
    // One item: "TIME stage N | KIND | ITEM | OUTCOME[ (DETAIL)][, error E]". The error is the platform's
    // code behind the outcome (0: none). Naming the same kind and item again in the stage changes the
    // outcome its line will have; "not there" never replaces an outcome, and once the line is written
    // only a different outcome adds a line. An empty item is written "(unnamed)". The line waits until
    // WriteItems, another line or the stage's end writes it.
    void Item(const char* kind, const std::string& item, Outcome outcome, DWORD error = 0, const char* detail = NULL);
    // Writes the waiting item lines now and flushes them to the disk: the outcomes they hold are final
    // once the remover goes on to the next item or shows a message box, and a run killed after that keeps
    // them in its log.
    // Without all, only the lines up to the first "not there" or "failed" one, which the stage may still
    // change (the rest stay in order behind it).
    void WriteItems(bool all = false);
    // The items reported so far (each once per stage, whether or not its line is written yet).
    unsigned ItemLines() const { return itemLines; }
    // The item lines of one outcome written so far (after SetStage or WriteSummary: all of them).
    unsigned Count(Outcome outcome) const { return counts[outcome]; }
    // The last line of a removal: the counts and whether a restart is needed.
    void WriteSummary(bool restartNeeded);

private:
    // An item line that waits for its final outcome.
    struct PendingItem {
        std::string kind, item, detail, clock;
        Outcome outcome;
        DWORD error;
        int stage;
    };
    void WriteLine(const std::string& line);  // the line and its line end
    void WriteText(const std::string& text);  // lines that carry their line ends
    // Writes the first count waiting item lines (all by default), in the order they were first reported,
    // and counts them.
    void FlushItems(size_t count = static_cast<size_t>(-1));

    HANDLE file;
    std::string path;
    bool writeFailed;
    DWORD openError;
    int stage;
    unsigned itemLines;
    unsigned counts[OUTCOME_COUNT];
    // An item of the stage: its last outcome and the number of its last line (lines are numbered as they
    // are added; one numbered firstWaiting or more still waits in pending).
    struct SeenItem {
        Outcome outcome;
        size_t line;
    };
    // The time of day a line begins with, "HH:MM:SS" (formatted again only when the second changes).
    const std::string& TimeOfDay();

    std::deque<PendingItem> pending;  // a deque: a long stage adds its lines without moving them
    size_t firstWaiting;              // the number of pending's first line
    std::unordered_map<std::string, SeenItem> seenInStage;  // kind and item (compared without case) of the stage's items
    long clockSecond;                 // the second of the day clockText says
    std::string clockText;
};
