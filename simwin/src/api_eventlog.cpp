// advapi32's event source functions on the current machine: the events go into its event logs
// (simwin/event_log.h).
#include <string>

#include "simwin/event_log.h"
#include "simwin/machine.h"
#include "simwin/win32.h"

using simwin::current;

namespace {

struct EventSourceObject : simwin::HandleObject {
    std::string source;
};

bool isNt() { return current().system.platform == simwin::Platform::Nt; }

// The local computer by any name Windows takes for it: none, "", its name with or without "\\", "localhost".
bool isLocalServer(LPCSTR server) {
    if (!server || !*server) return true;
    std::string name = server;
    if (name.rfind("\\\\", 0) == 0) name = name.substr(2);
    return simwin::iequals(name, current().system.computer) || simwin::iequals(name, "localhost");
}

// Why RegisterEventSourceA refuses; ERROR_SUCCESS when it gives a handle.
DWORD registerRefusal(LPCSTR server, LPCSTR source) {
    if (!isNt()) return ERROR_CALL_NOT_IMPLEMENTED;
    if (!isLocalServer(server)) return RPC_S_SERVER_UNAVAILABLE;
    if (!source || !*source) return ERROR_INVALID_PARAMETER;
    if (simwin::iequals(source, "Security")) return ERROR_ACCESS_DENIED;  // only the system writes there
    return ERROR_SUCCESS;
}

}  // namespace

HANDLE WINAPI RegisterEventSourceA(LPCSTR server, LPCSTR source) {
    const DWORD refusal = registerRefusal(server, source);
    if (refusal != ERROR_SUCCESS) {
        SetLastError(refusal);
        return nullptr;
    }
    auto o = std::make_shared<EventSourceObject>();
    o->source = source;
    return current().handles.add(o);
}

BOOL WINAPI ReportEventA(HANDLE eventLog, WORD type, WORD category, DWORD eventId, PSID userSid, WORD numStrings,
                         DWORD dataSize, LPCSTR* strings, LPVOID rawData) {
    auto* o = current().handles.get<EventSourceObject>(eventLog);
    if (!o) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if ((numStrings && !strings) || (dataSize && !rawData)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    simwin::LoggedEvent e;
    e.log = simwin::EventLog::logOf(current().registry, o->source);
    e.source = o->source;
    e.id = eventId;
    e.type = simwin::isEventType(type) ? type : EVENTLOG_SUCCESS;
    e.category = category;
    for (WORD i = 0; i < numStrings; ++i) e.strings.push_back(strings[i] ? strings[i] : "");
    current().eventLog.events.push_back(e);
    return TRUE;
}

BOOL WINAPI DeregisterEventSource(HANDLE eventLog) {
    if (!eventLog) return FALSE;  // Windows leaves the last error as it was
    if (!current().handles.get<EventSourceObject>(eventLog) || !current().handles.close(eventLog)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
