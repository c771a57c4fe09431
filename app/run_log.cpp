#include "app/run_log.h"

#include <stdio.h>
#include <string.h>

#include "script/text.h"

namespace {

const char kLineEnd[] = "\r\n";

// The thread's last error, put back when the object goes: the log never changes what a caller reads.
class KeepLastError {
public:
    KeepLastError() : saved(GetLastError()) {}
    ~KeepLastError() { SetLastError(saved); }

private:
    DWORD saved;
};

std::string Clock(bool withDate) {
    SYSTEMTIME now;
    memset(&now, 0, sizeof now);
    GetLocalTime(&now);
    char text[64];
    if (withDate)
        snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
                 now.wMinute, now.wSecond);
    else
        snprintf(text, sizeof text, "%02u:%02u:%02u", now.wHour, now.wMinute, now.wSecond);
    return text;
}

// A text on one line: line breaks become "\n", as the transcript writes them.
std::string OneLine(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += "\\n";
        else if (c != '\r')
            out += c;
    }
    return out;
}

const char* PlatformName(const COSVersion& os) {
    if (os.IsWinNT()) return "WinNT";
    if (os.IsWin9x()) return "Win9x";
    if (os.IsWin32s()) return "Win32s";
    return "unknown";
}

}  // namespace

const char* CRunLog::OutcomeName(Outcome outcome) {
    switch (outcome) {
    case REMOVED: return "removed";
    case NOT_THERE: return "not there";
    case SCHEDULED: return "scheduled for restart";
    case FAILED: return "failed";
    case REFUSED: return "refused";
    case KEPT: return "kept";
    case CALLED: return "called";
    case PENDING: return "pending deletion";
    default: return "?";
    }
}

std::string CRunLog::DefaultPath() {
    char directory[MAX_PATH + 1] = "";
    DWORD n = GetTempPathA(sizeof directory, directory);
    if (n == 0 || n >= sizeof directory) directory[0] = 0;  // no temporary directory: the current one
    return std::string(directory) + "korun04.log";
}

CRunLog::CRunLog() : file(INVALID_HANDLE_VALUE), writeFailed(false), openError(0), stage(-1), itemLines(0), counts() {}

CRunLog::~CRunLog() { Close(); }

bool CRunLog::Open(const std::string& where) {
    KeepLastError keep;
    Close();
    path = where;
    writeFailed = false;
    openError = 0;
    file = CreateFileA(where.c_str(), GENERIC_WRITE, FILE_SHARE_READ, NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        openError = GetLastError();
        return false;
    }
    if (SetFilePointer(file, 0, NULL, FILE_END) == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) {
        openError = GetLastError();
        Close();
        return false;
    }
    return true;
}

void CRunLog::Close() {
    KeepLastError keep;
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    file = INVALID_HANDLE_VALUE;
}

bool CRunLog::IsOpen() const { return file != INVALID_HANDLE_VALUE; }

void CRunLog::WriteLine(const std::string& line) {
    if (file == INVALID_HANDLE_VALUE) return;
    KeepLastError keep;
    std::string text = line + kLineEnd;
    DWORD written = 0;
    if (!WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, NULL) || written != text.size())
        writeFailed = true;
}

void CRunLog::WriteHeader(const char* commandLine, const COSVersion& os) {
    KeepLastError keep;
    char computer[MAX_COMPUTERNAME_LENGTH + 1] = "";
    DWORD size = sizeof computer;
    if (!GetComputerNameA(computer, &size)) computer[0] = 0;
    char classes[64];
    snprintf(classes, sizeof classes, "platform %s, version class %d", PlatformName(os), os.GetVersionClass());
    WriteLine("==== korun04 " + Clock(true) + " " + (computer[0] ? computer : "(no computer name)") + " | " +
              OneLine(commandLine ? commandLine : "") + " | " + classes);
}

void CRunLog::Write(const char* place, const std::string& text) { WriteLine(Clock(false) + " " + place + " | " + OneLine(text)); }

void CRunLog::SetStage(int n) {
    if (n != stage) seenInStage.clear();
    stage = n;
}

void CRunLog::Item(const char* kind, const std::string& item, Outcome outcome, DWORD error, const char* detail) {
    // A repeat in one stage (a monitor of each environment, a key queued twice) adds nothing; an outcome
    // other than the first, or than "not there", still does.
    std::string key = std::string(kind) + "\n" + TextKey(item.c_str()) + "\n";
    if (seenInStage.count(key + OutcomeName(outcome)) || (outcome == NOT_THERE && seenInStage.count(key))) return;
    seenInStage.insert(key);
    seenInStage.insert(key + OutcomeName(outcome));
    ++itemLines;
    ++counts[outcome];
    std::string text = std::string(kind) + " | " + item + " | " + OutcomeName(outcome);
    if (detail && detail[0]) text += std::string(" (") + detail + ")";
    if (error) text += ", error " + std::to_string(error);
    char place[32];
    snprintf(place, sizeof place, "stage %d", stage);
    Write(stage >= 0 ? place : "run", text);
}

void CRunLog::WriteSummary(bool restartNeeded) {
    std::string counted;
    for (int i = 0; i < OUTCOME_COUNT; ++i) {
        const Outcome outcome = static_cast<Outcome>(i);
        if (outcome == PENDING && !counts[i]) continue;  // said only when a printer waits for its jobs
        if (i) counted += ", ";
        counted += std::string(outcome == SCHEDULED ? "scheduled" : outcome == PENDING ? "pending" : OutcomeName(outcome)) +
                   " " + std::to_string(counts[i]);
    }
    Write("done", counted + (restartNeeded ? " | restart needed" : " | no restart needed"));
}
