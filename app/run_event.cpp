#include "app/run_event.h"

const char kRunEventSource[] = "korun04";
const char kRunEventSourceKey[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\korun04";

namespace {

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
