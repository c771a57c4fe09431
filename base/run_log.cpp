#include "base/run_log.h"

#include <stdio.h>
#include <string.h>

#include <utility>

#include "base/text.h"

namespace {

const char kLineEnd[] = "\r\n";
const std::string kUnnamed = "(unnamed)";

// The thread's last error, put back when the object goes: the log never changes what a caller reads.
class KeepLastError {
public:
    KeepLastError() : saved(GetLastError()) {}
    ~KeepLastError() { SetLastError(saved); }

private:
    DWORD saved;
};

// "YYYY-MM-DD HH:MM:SS", for the run's first line.
std::string DateAndTime() {
    SYSTEMTIME now;
    memset(&now, 0, sizeof now);
    GetLocalTime(&now);
    char text[64];
    snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
             now.wMinute, now.wSecond);
    return text;
}

// A text on one line: line breaks become "\n", as the transcript writes them.
void AppendOneLine(std::string& out, const std::string& text) {
    if (text.find_first_of("\r\n") == std::string::npos) {
        out += text;
        return;
    }
    for (char c : text) {
        if (c == '\n')
            out += "\\n";
        else if (c != '\r')
            out += c;
    }
}

std::string OneLine(const std::string& text) {
    std::string out;
    AppendOneLine(out, text);
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

CRunLog::CRunLog()
    : file(INVALID_HANDLE_VALUE), writeFailed(false), openError(0), stage(-1), itemLines(0), counts(), firstWaiting(0),
      clockSecond(-1) {}

CRunLog::~CRunLog() { Close(); }

bool CRunLog::Open(const std::string& where) {
    KeepLastError keep;
    Close();
    path = where;
    writeFailed = false;
    openError = 0;
    // Appending only (every write lands at the end, whoever else writes), and shared with readers and
    // with the other copy of the tool that may be writing its own lines.
    file = CreateFileA(where.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        openError = GetLastError();
        return false;
    }
    return true;
}

void CRunLog::Close() {
    KeepLastError keep;
    FlushItems();
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    file = INVALID_HANDLE_VALUE;
}

bool CRunLog::IsOpen() const { return file != INVALID_HANDLE_VALUE; }

void CRunLog::WriteLine(const std::string& line) { WriteText(line + kLineEnd); }

void CRunLog::WriteText(const std::string& text) {
    if (file == INVALID_HANDLE_VALUE) return;
    KeepLastError keep;
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
    WriteLine("==== korun04 " + DateAndTime() + " " + (computer[0] ? computer : "(no computer name)") + " | " +
              OneLine(commandLine ? commandLine : "") + " | " + classes);
}

void CRunLog::Write(const char* place, const std::string& text) {
    FlushItems();
    WriteLine(TimeOfDay() + " " + place + " | " + OneLine(text));
}

const std::string& CRunLog::TimeOfDay() {
    SYSTEMTIME now;
    memset(&now, 0, sizeof now);
    GetLocalTime(&now);
    const long second = (now.wHour * 60L + now.wMinute) * 60L + now.wSecond;
    if (second != clockSecond) {
        char text[16];
        snprintf(text, sizeof text, "%02u:%02u:%02u", now.wHour, now.wMinute, now.wSecond);
        clockText = text;
        clockSecond = second;
    }
    return clockText;
}

void CRunLog::SetStage(int n) {
    FlushItems();
    if (n != stage) seenInStage.clear();
    stage = n;
}

void CRunLog::Item(const char* kind, const std::string& item, Outcome outcome, DWORD error, const char* detail) {
    const std::string& name = item.empty() ? kUnnamed : item;
    std::string key = kind;
    key += '\n';
    AppendTextKey(key, name.c_str());
    const size_t next = firstWaiting + pending.size();  // the number the line gets when it is added
    auto replace = [&](PendingItem& line) {
        line.outcome = outcome;
        line.error = error;
        line.detail = detail ? detail : "";
        line.clock = TimeOfDay();
    };
    auto seen = seenInStage.find(key);
    if (seen != seenInStage.end()) {
        SeenItem& known = seen->second;
        if (known.line >= firstWaiting) {
            // Its line still waits: a later call tells how the item ended; "not there" (the next
            // environment, a repeat) adds nothing.
            if (outcome != NOT_THERE) {
                replace(pending[known.line - firstWaiting]);
                known.outcome = outcome;
            }
            return;
        }
        // Its line is written: only a different outcome adds one.
        if (outcome == NOT_THERE || known.outcome == outcome) return;
        known = SeenItem{outcome, next};
    } else {
        seenInStage.emplace(std::move(key), SeenItem{outcome, next});
    }
    PendingItem line;
    line.kind = kind;
    line.item = name;
    line.stage = stage;
    replace(line);
    pending.push_back(std::move(line));
    ++itemLines;
}

void CRunLog::WriteItems(bool all) {
    // Lines in the order the items came, up to the first whose outcome a later call may still change: an
    // item not there in one environment may fail in the next, a folder that could not go is kept once the
    // stage knows it holds other files.
    size_t final = 0;
    while (final < pending.size() && (all || (pending[final].outcome != NOT_THERE && pending[final].outcome != FAILED)))
        ++final;
    if (!final) return;
    FlushItems(final);
    KeepLastError keep;
    if (file != INVALID_HANDLE_VALUE) FlushFileBuffers(file);
}

void CRunLog::FlushItems(size_t count) {
    if (count > pending.size()) count = pending.size();
    // The lines go out in one write: a stage's thousands of items are one call, not one each. Each line is
    // put together in place: "CLOCK stage N | KIND | ITEM | OUTCOME (DETAIL), error E", on one line.
    std::string all;
    for (size_t i = 0; i < count; ++i) {
        const PendingItem& line = pending[i];
        ++counts[line.outcome];
        all += line.clock;
        if (line.stage >= 0)
            all += " stage " + std::to_string(line.stage);
        else
            all += " run";
        all += " | ";
        AppendOneLine(all, line.kind);
        all += " | ";
        AppendOneLine(all, line.item);
        all += " | ";
        all += OutcomeName(line.outcome);
        if (!line.detail.empty()) {
            all += " (";
            AppendOneLine(all, line.detail);
            all += ')';
        }
        if (line.error) all += ", error " + std::to_string(line.error);
        all += kLineEnd;
    }
    pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(count));
    firstWaiting += count;
    if (count) WriteText(all);
}

void CRunLog::WriteSummary(bool restartNeeded) {
    FlushItems();
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
