// The run's one event in the Application event log, as Windows Installer writes one per installation: fleets
// that collect event logs see how every run of the tool ended without reading its log file.
//
// The source "korun04" is registered by the tool itself the first time it writes (a subkey of the
// Application log's key with TypesSupported). It names no EventMessageFile: the program carries no message
// table, and a message file that does not hold the event's IDs would make the viewer show a wrong text.
// Without one the Event Viewer says that the description for the ID cannot be found and shows the event's
// strings after it; the XML view and the collectors read the strings as the event's data. So the strings say
// everything, one fact each ("Run: ...", "Outcome: ...", "Exit code: ...", "Counts: ...", "Log: ...").
//
// The event observes the run and never steers it: when it cannot be written (a user who may not register the
// source, an event log that refuses it) the log gets one line saying why and the run ends as it would have.
// Windows 9x and Win32s have no event log: nothing is written there, and nothing is said.
#pragma once

#include <string>
#include <vector>

#include "base/platform.h"

class CAdminRun;

// The event IDs, one per way a run ends (documented in docs/administration.md).
enum RunEventId {
    RUN_EVENT_DONE = 1000,             // information
    RUN_EVENT_RESTART_NEEDED = 1001,   // warning: the removal is finished once Windows restarts
    RUN_EVENT_RESTART_STARTED = 1002,  // information: the tool restarted Windows
    RUN_EVENT_CANCELLED = 1003,        // warning
    RUN_EVENT_FAILED = 1004,           // error
    RUN_EVENT_ALREADY_RUNNING = 1005,  // warning: another copy runs; nothing was done
    RUN_EVENT_NOT_ADMINISTRATOR = 1006,  // error
    RUN_EVENT_BAD_COMMAND_LINE = 1007,   // error
};

extern const char kRunEventSource[];     // "korun04"
extern const char kRunEventSourceKey[];  // below HKEY_LOCAL_MACHINE

// What one run's event holds.
struct RunEvent {
    DWORD id;
    WORD type;  // EVENTLOG_INFORMATION_TYPE, EVENTLOG_WARNING_TYPE or EVENTLOG_ERROR_TYPE
    std::vector<std::string> strings;
};

// The event of a run that ended so with this exit code.
RunEvent DescribeRun(const CAdminRun& run, int exitCode);

// Registers the source when it is missing and writes the event. Returns an empty text, or why nothing was
// written. The thread's last error is left as it was.
std::string WriteRunEvent(const RunEvent& event);

// The run's event written, or the line saying why not in the run's log: what CAdminRun::ExitCode calls.
void ReportRunEvent(CAdminRun& run, int exitCode);
