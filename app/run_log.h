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
// The log observes the run and never steers it: a log that cannot be opened or written is dropped
// quietly, and every write leaves the thread's last error as it found it.
#pragma once

#include <set>
#include <string>

#include "app/os_version.h"
#include "app/platform.h"

class CRunLog {
public:
    // What became of an item a remover handled.
    enum Outcome {
        REMOVED,    // it was there and is gone
        NOT_THERE,  // there was nothing to remove
        SCHEDULED,  // it goes at the next start of Windows (the detail names the mechanism)
        FAILED,     // it stays; the error code says why
        REFUSED,    // removing it would damage Windows
        KEPT,       // a printer that stays needs it
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

    // The stage of the removal that the following items belong to; items of one stage that name the same
    // kind and item again are written once (a later "not there" or a repeated outcome adds nothing).
    void SetStage(int stage);
    int Stage() const { return stage; }
    // One item: "TIME stage N | KIND | ITEM | OUTCOME[ (DETAIL)][, error E]". The error is the platform's
    // code behind the outcome (0: none).
    void Item(const char* kind, const std::string& item, Outcome outcome, DWORD error = 0, const char* detail = NULL);
    // The item lines written so far, and those of one outcome.
    unsigned ItemLines() const { return itemLines; }
    unsigned Count(Outcome outcome) const { return counts[outcome]; }
    // The last line of a removal: the counts and whether a restart is needed.
    void WriteSummary(bool restartNeeded);

private:
    void WriteLine(const std::string& line);

    HANDLE file;
    std::string path;
    bool writeFailed;
    DWORD openError;
    int stage;
    unsigned itemLines;
    unsigned counts[OUTCOME_COUNT];
    std::set<std::string> seenInStage;  // kind and item of the lines of the current stage
};
