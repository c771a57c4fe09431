// The event of one run of the tool: what the run's end, its options and its log make of it.
#include "app/admin_run.h"
#include "app/run_event.h"
#include "base/os_version.h"

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

}  // namespace

RunEvent DescribeRun(const CAdminRun& run, int exitCode) {
    const EventKind& kind = KindOf(IdOf(run));
    const std::string log = run.log.IsOpen() ? run.log.Path() : "(none: " + run.log.Path() + " cannot be opened)";
    return RunEvent{static_cast<DWORD>(kind.id), kind.type,
                    {"Run: " + RunName(run.options), std::string("Outcome: ") + kind.outcome,
                     "Exit code: " + std::to_string(exitCode), "Counts: " + Counts(run), "Log: " + log}};
}

void ReportRunEvent(CAdminRun& run, int exitCode) {
    if (!COSVersion().IsWinNT()) return;
    const RunEvent event = DescribeRun(run, exitCode);
    const std::string why = WriteRunEvent(event);
    if (!why.empty())
        run.log.Write("event", "the Application event log holds no event of this run (ID " + std::to_string(event.id) +
                                   "): " + why);
}
