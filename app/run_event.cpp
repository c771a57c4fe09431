#include "app/run_event.h"

#include "app/admin_run.h"
#include "app/os_version.h"

const char kRunEventSource[] = "korun04";
const char kRunEventSourceKey[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\korun04";

namespace {

struct EventKind {
    RunEventId id;
    WORD type;
    const char* outcome;
};

const EventKind kKinds[] = {
    {RUN_EVENT_DONE, EVENTLOG_INFORMATION_TYPE, "done"},
    {RUN_EVENT_RESTART_NEEDED, EVENTLOG_WARNING_TYPE, "done, a restart is needed"},
    {RUN_EVENT_RESTART_STARTED, EVENTLOG_INFORMATION_TYPE, "done, Windows restarts"},
    {RUN_EVENT_CANCELLED, EVENTLOG_WARNING_TYPE, "cancelled"},
    {RUN_EVENT_FAILED, EVENTLOG_ERROR_TYPE, "failed"},
    {RUN_EVENT_ALREADY_RUNNING, EVENTLOG_WARNING_TYPE, "another copy of the tool is running: nothing was done"},
    {RUN_EVENT_NOT_ADMINISTRATOR, EVENTLOG_ERROR_TYPE, "the user is not an administrator"},
    {RUN_EVENT_BAD_COMMAND_LINE, EVENTLOG_ERROR_TYPE, "bad command line"},
};

// A run that never reached its end counts as cancelled, as its exit code does.
RunEventId IdOf(const CAdminRun& run) {
    switch (run.Ended()) {
    case CAdminRun::END_BAD_COMMAND_LINE: return RUN_EVENT_BAD_COMMAND_LINE;
    case CAdminRun::END_NOT_ADMINISTRATOR: return RUN_EVENT_NOT_ADMINISTRATOR;
    case CAdminRun::END_FAILED: return RUN_EVENT_FAILED;
    case CAdminRun::END_ALREADY_RUNNING: return RUN_EVENT_ALREADY_RUNNING;
    case CAdminRun::END_DONE:
        return run.RestartStarted() ? RUN_EVENT_RESTART_STARTED
                                    : run.RestartNeeded() ? RUN_EVENT_RESTART_NEEDED : RUN_EVENT_DONE;
    default: return RUN_EVENT_CANCELLED;
    }
}

const EventKind& KindOf(RunEventId id) {
    for (const EventKind& kind : kKinds)
        if (kind.id == id) return kind;
    return kKinds[0];
}

std::string RunName(const CRunOptions& o) {
    const bool quiet = o.mode == CRunOptions::MODE_QUIET;
    if (o.mode == CRunOptions::MODE_CAPTURE) return "capture of the machine (/CAPTURE)";
    if (o.mode == CRunOptions::MODE_PLAN) return "what-if plan (/PLAN)";
    if (o.restore) return quiet ? "unattended restore (/RESTORE /QUIET)" : "interactive restore (/RESTORE)";
    if (o.resume)
        return quiet ? "unattended finish of a removal cut short (/RESUME /QUIET)"
                     : "interactive finish of a removal cut short (/RESUME)";
    return quiet ? "unattended removal (/QUIET)" : "interactive removal";
}

// The counts the run has: what it said itself (a restore), else the removal's item lines, else none.
std::string Counts(const CAdminRun& run) {
    if (!run.counts.empty()) return run.counts;
    const CRunLog& log = run.log;
    if (log.ItemLines() == 0) return "(none)";
    return "removed " + std::to_string(log.Count(CRunLog::REMOVED)) + ", kept " +
           std::to_string(log.Count(CRunLog::KEPT)) + ", refused " + std::to_string(log.Count(CRunLog::REFUSED)) +
           ", failed " + std::to_string(log.Count(CRunLog::FAILED));
}

// The source's key with the types it writes; an existing key is left as it is.
DWORD RegisterSource() {
    HKEY key = NULL;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunEventSourceKey, 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
        RegCloseKey(key);
        return ERROR_SUCCESS;
    }
    const LONG created = RegCreateKeyExA(HKEY_LOCAL_MACHINE, kRunEventSourceKey, 0, NULL, REG_OPTION_NON_VOLATILE,
                                         KEY_SET_VALUE, NULL, &key, NULL);
    if (created != ERROR_SUCCESS) return static_cast<DWORD>(created);
    const DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
    // Without the value the source still writes; the viewer only lacks the types it offers to filter by.
    RegSetValueExA(key, "TypesSupported", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&types), sizeof types);
    RegCloseKey(key);
    return ERROR_SUCCESS;
}

std::string Report(const RunEvent& event) {
    HANDLE source = RegisterEventSourceA(NULL, kRunEventSource);
    if (!source) return "the event source cannot be opened (error " + std::to_string(GetLastError()) + ")";
    std::vector<LPCSTR> strings;
    for (const std::string& text : event.strings) strings.push_back(text.c_str());
    const BOOL written = ReportEventA(source, event.type, 0, event.id, NULL, static_cast<WORD>(strings.size()), 0,
                                      strings.data(), NULL);
    const DWORD error = written ? 0 : GetLastError();
    DeregisterEventSource(source);
    return written ? std::string() : "the event cannot be written (error " + std::to_string(error) + ")";
}

}  // namespace

RunEvent DescribeRun(const CAdminRun& run, int exitCode) {
    const EventKind& kind = KindOf(IdOf(run));
    const std::string log = run.log.IsOpen() ? run.log.Path() : "(none: " + run.log.Path() + " cannot be opened)";
    return RunEvent{static_cast<DWORD>(kind.id), kind.type,
                    {"Run: " + RunName(run.options), std::string("Outcome: ") + kind.outcome,
                     "Exit code: " + std::to_string(exitCode), "Counts: " + Counts(run), "Log: " + log}};
}

std::string WriteRunEvent(const RunEvent& event) {
    const DWORD lastError = GetLastError();
    std::string why;
    const DWORD refused = RegisterSource();
    if (refused != ERROR_SUCCESS)
        why = "the event source " + std::string(kRunEventSource) + " cannot be registered (error " +
              std::to_string(refused) + ")";
    else
        why = Report(event);
    SetLastError(lastError);
    return why;
}

void ReportRunEvent(CAdminRun& run, int exitCode) {
    if (!COSVersion().IsWinNT()) return;
    const RunEvent event = DescribeRun(run, exitCode);
    const std::string why = WriteRunEvent(event);
    if (!why.empty())
        run.log.Write("event", "the Application event log holds no event of this run (ID " + std::to_string(event.id) +
                                   "): " + why);
}
