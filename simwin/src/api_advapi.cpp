// advapi32 on the current machine: the service control manager and the process token.
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "simwin/machine.h"
#include "simwin/security.h"
#include "simwin/win32.h"

#include "record_layout.h"

using simwin::current;

namespace {

struct ScManagerObject : simwin::HandleObject {
    DWORD access = 0;
};

struct ServiceObject : simwin::HandleObject {
    std::string name;
    DWORD access = 0;
    ~ServiceObject() override {
        if (!simwin::hasCurrent()) return;
        simwin::Service* s = current().services.find(name);
        if (!s) return;
        --s->openHandles;
        if (current().services.settle(*s)) current().transcript.add("service " + s->name + " deleted");
    }
};

struct TokenObject : simwin::HandleObject {
    DWORD access = 0;
    bool shutdownEnabled = false;
};

// The service behind a handle that was opened with the given rights; otherwise sets the error
// Windows gives (6 bad handle, 1072 deleted meanwhile, 5 rights missing) and returns null.
simwin::Service* usableService(SC_HANDLE h, DWORD rights) {
    auto* o = current().handles.get<ServiceObject>(h);
    simwin::Service* s = o ? current().services.find(o->name) : nullptr;
    DWORD error = !o                          ? ERROR_INVALID_HANDLE
                  : !s                        ? ERROR_SERVICE_MARKED_FOR_DELETE
                  : (o->access & rights) != rights ? ERROR_ACCESS_DENIED
                                              : ERROR_SUCCESS;
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return nullptr;
    }
    return s;
}

void fillStatus(const simwin::Service& s, LPSERVICE_STATUS status) {
    if (!status) return;
    std::memset(status, 0, sizeof *status);
    status->dwServiceType = s.config.type;
    status->dwCurrentState = s.running ? SERVICE_RUNNING : SERVICE_STOPPED;
    status->dwControlsAccepted = s.running ? SERVICE_ACCEPT_STOP : 0;
}

bool isNt() { return current().system.platform == simwin::Platform::Nt; }

// A filtered token holds the Administrators group for deny checks only: no administrator rights.
bool hasAdminRights() { return current().system.admin && !current().system.adminDenyOnly; }

// SIDs: revision 1, sub-authority count, 6-byte authority, sub-authorities.
std::vector<BYTE> makeSid(BYTE authority, std::initializer_list<DWORD> subs) {
    std::vector<BYTE> sid(8 + 4 * subs.size(), 0);
    sid[0] = 1;
    sid[1] = static_cast<BYTE>(subs.size());
    sid[7] = authority;
    size_t i = 8;
    for (DWORD s : subs) {
        std::memcpy(&sid[i], &s, 4);
        i += 4;
    }
    return sid;
}

size_t sidLength(PSID sid) { return 8 + 4 * static_cast<const BYTE*>(sid)[1]; }

// The account QueryServiceConfigA reports: the one configured, or LocalSystem for a Win32 service.
std::string accountOf(const simwin::Service& s) {
    if (!s.config.account.empty()) return s.config.account;
    return (s.config.type & (SERVICE_WIN32_OWN_PROCESS | SERVICE_WIN32_SHARE_PROCESS)) ? "LocalSystem" : "";
}

// The values CreateServiceA accepts: one kind of service (interactive only for a Win32 one), a start type
// (boot and system start only for drivers), an error control.
bool validConfiguration(DWORD type, DWORD start, DWORD errorControl) {
    const DWORD kind = type & ~static_cast<DWORD>(SERVICE_INTERACTIVE_PROCESS);
    const bool win32 = kind == SERVICE_WIN32_OWN_PROCESS || kind == SERVICE_WIN32_SHARE_PROCESS;
    const bool driver = kind == SERVICE_KERNEL_DRIVER || kind == SERVICE_FILE_SYSTEM_DRIVER;
    if (!(win32 || (driver && kind == type))) return false;
    if (start > SERVICE_DISABLED || (start < SERVICE_AUTO_START && !driver)) return false;
    return errorControl <= SERVICE_ERROR_CRITICAL;
}

}  // namespace

SC_HANDLE WINAPI OpenSCManagerA(LPCSTR machine, LPCSTR database, DWORD access) {
    if (!isNt()) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return nullptr;
    }
    if (machine && *machine) {
        SetLastError(RPC_S_SERVER_UNAVAILABLE);
        return nullptr;
    }
    // Without administrator rights only connecting and enumerating are granted.
    const DWORD userRights = SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE | SC_MANAGER_QUERY_LOCK_STATUS;
    if (!hasAdminRights() && (access & ~(userRights | STANDARD_RIGHTS_READ))) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    auto o = std::make_shared<ScManagerObject>();
    o->access = access;
    SetLastError(ERROR_SUCCESS);
    return static_cast<SC_HANDLE>(current().handles.add(o));
}

SC_HANDLE WINAPI OpenServiceA(SC_HANDLE manager, LPCSTR name, DWORD access) {
    if (!current().handles.get<ScManagerObject>(manager)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (!name || !*name) {
        SetLastError(ERROR_INVALID_NAME);
        return nullptr;
    }
    simwin::Service* s = current().services.find(name);
    if (!s) {
        SetLastError(ERROR_SERVICE_DOES_NOT_EXIST);
        return nullptr;
    }
    const DWORD userRights = SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS | SERVICE_ENUMERATE_DEPENDENTS |
                             SERVICE_INTERROGATE | SERVICE_USER_DEFINED_CONTROL | STANDARD_RIGHTS_READ;
    if (!hasAdminRights() && (access & ~userRights)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    auto o = std::make_shared<ServiceObject>();
    o->name = s->name;
    o->access = access;
    ++s->openHandles;
    SetLastError(ERROR_SUCCESS);
    return static_cast<SC_HANDLE>(current().handles.add(o));
}

BOOL WINAPI ControlService(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status) {
    const DWORD rights = control == SERVICE_CONTROL_STOP          ? SERVICE_STOP
                         : control == SERVICE_CONTROL_INTERROGATE ? SERVICE_INTERROGATE
                                                                  : 0;
    simwin::Service* s = usableService(service, rights);
    if (!s) return FALSE;
    if (!rights) {
        SetLastError(ERROR_INVALID_SERVICE_CONTROL);
        return FALSE;
    }
    if (!s->running) {
        fillStatus(*s, status);
        SetLastError(ERROR_SERVICE_NOT_ACTIVE);
        return FALSE;
    }
    if (control == SERVICE_CONTROL_STOP) {
        s->running = false;
        current().transcript.add("service " + s->name + " stopped");
        // (A marked service stopped here still has this handle open: it goes when that closes.)
    }
    fillStatus(*s, status);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL WINAPI StartServiceA(SC_HANDLE service, DWORD argc, LPCSTR* argv) {
    simwin::Service* s = usableService(service, SERVICE_START);
    if (!s) return FALSE;
    if (s->markedForDelete) {
        SetLastError(ERROR_SERVICE_MARKED_FOR_DELETE);
        return FALSE;
    }
    if (s->running) {
        SetLastError(ERROR_SERVICE_ALREADY_RUNNING);
        return FALSE;
    }
    if (s->startFails) {
        current().transcript.add("service " + s->name + " failed to start");
        SetLastError(ERROR_SERVICE_REQUEST_TIMEOUT);
        return FALSE;
    }
    s->running = true;
    current().transcript.add("service " + s->name + " started");
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL WINAPI QueryServiceStatus(SC_HANDLE service, LPSERVICE_STATUS status) {
    simwin::Service* s = usableService(service, SERVICE_QUERY_STATUS);
    if (!s) return FALSE;
    if (!status) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    fillStatus(*s, status);
    return TRUE;
}

namespace {

const simwin::Layout<simwin::Service>& serviceConfigLayout() {
    using S = simwin::Service;
    using Q = QUERY_SERVICE_CONFIGA;
    static const simwin::Layout<S> layout = {
        0, sizeof(Q),
        {simwin::numberAt<S>(offsetof(Q, dwServiceType), [](const S& s) { return s.config.type; }),
         simwin::numberAt<S>(offsetof(Q, dwStartType), [](const S& s) { return s.config.start; }),
         simwin::numberAt<S>(offsetof(Q, dwErrorControl), [](const S& s) { return s.config.errorControl; }),
         simwin::textAt<S>(offsetof(Q, lpBinaryPathName), [](const S& s) { return s.config.binary; }),
         simwin::textAt<S>(offsetof(Q, lpLoadOrderGroup), [](const S& s) { return s.config.group; }),
         simwin::listAt<S>(offsetof(Q, lpDependencies), [](const S& s) { return s.config.dependencies; }),
         simwin::textAt<S>(offsetof(Q, lpServiceStartName), accountOf),
         simwin::textAt<S>(offsetof(Q, lpDisplayName),
                           [](const S& s) { return s.config.display.empty() ? s.name : s.config.display; })}};
    return layout;
}

}  // namespace

BOOL WINAPI QueryServiceConfigA(SC_HANDLE service, LPQUERY_SERVICE_CONFIGA config, DWORD size, LPDWORD needed) {
    simwin::Service* s = usableService(service, SERVICE_QUERY_CONFIG);
    if (!s) return FALSE;
    if (!needed) {
        SetLastError(1780);  // RPC_X_NULL_REF_POINTER: the control manager answers by RPC
        return FALSE;
    }
    const std::vector<const simwin::Service*> one{s};
    const size_t total = simwin::measureRecords(one, serviceConfigLayout());
    *needed = static_cast<DWORD>(total);
    if (!config || size < total) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    simwin::packRecords(one, serviceConfigLayout(), reinterpret_cast<BYTE*>(config));
    return TRUE;
}

BOOL WINAPI DeleteService(SC_HANDLE service) {
    simwin::Service* s = usableService(service, DELETE);
    if (!s) return FALSE;
    if (s->markedForDelete) {
        SetLastError(ERROR_SERVICE_MARKED_FOR_DELETE);
        return FALSE;
    }
    // The service goes once it is stopped and its last handle is closed; the caller's own
    // handle is still open here, so it is always only marked now.
    s->markedForDelete = true;
    current().transcript.add("service " + s->name + " marked for deletion");
    return TRUE;  // the last error is left as it was
}

SC_HANDLE WINAPI CreateServiceA(SC_HANDLE manager, LPCSTR name, LPCSTR displayName, DWORD access, DWORD serviceType,
                                DWORD startType, DWORD errorControl, LPCSTR binaryPath, LPCSTR loadOrderGroup,
                                LPDWORD tagId, LPCSTR dependencies, LPCSTR startName, LPCSTR password) {
    auto* m = current().handles.get<ScManagerObject>(manager);
    if (!m) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (!(m->access & SC_MANAGER_CREATE_SERVICE)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    if (!name || !*name || std::strchr(name, '\\') || std::strchr(name, '/')) {
        SetLastError(ERROR_INVALID_NAME);
        return nullptr;
    }
    if (!binaryPath || !*binaryPath || !validConfiguration(serviceType, startType, errorControl)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (const simwin::Service* s = current().services.find(name)) {
        SetLastError(s->markedForDelete ? ERROR_SERVICE_MARKED_FOR_DELETE : ERROR_SERVICE_EXISTS);
        return nullptr;
    }
    simwin::Service& s = current().services.add(name, false);
    s.config.display = displayName ? displayName : "";
    s.config.type = serviceType;
    s.config.start = startType;
    s.config.errorControl = errorControl;
    s.config.binary = binaryPath;
    s.config.group = loadOrderGroup ? loadOrderGroup : "";
    s.config.dependencies.clear();
    for (LPCSTR d = dependencies; d && *d; d += std::strlen(d) + 1) s.config.dependencies.push_back(d);
    s.config.account = startName ? startName : "";
    if (tagId) *tagId = 0;
    (void)password;  // not kept: no service of simwin logs on
    current().transcript.add("service " + s.name + " created");
    auto o = std::make_shared<ServiceObject>();
    o->name = s.name;
    o->access = access;
    ++s.openHandles;
    return static_cast<SC_HANDLE>(current().handles.add(o));
}

BOOL WINAPI CloseServiceHandle(SC_HANDLE handle) {
    auto& h = current().handles;
    if (!h.get<ServiceObject>(handle) && !h.get<ScManagerObject>(handle)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    h.close(handle);
    return TRUE;
}

BOOL WINAPI OpenProcessToken(HANDLE process, DWORD access, PHANDLE token) {
    if (!isNt()) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return FALSE;
    }
    if (process != GetCurrentProcess() || !token) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    auto o = std::make_shared<TokenObject>();
    o->access = access;
    *token = current().handles.add(o);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL WINAPI GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS cls, LPVOID info, DWORD size,
                                PDWORD returned) {
    auto* t = current().handles.get<TokenObject>(token);
    if (!t) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!(t->access & TOKEN_QUERY)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (cls == TokenUser && returned) {
        // The machine's interactive user, its SID packed after the structure.
        const std::string sid = simwin::userSid();
        *returned = static_cast<DWORD>(sizeof(TOKEN_USER) + sid.size());
        if (!info || size < *returned) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        auto* tu = static_cast<TOKEN_USER*>(info);
        BYTE* p = static_cast<BYTE*>(info) + sizeof(TOKEN_USER);
        std::memcpy(p, sid.data(), sid.size());
        tu->User.Sid = p;
        tu->User.Attributes = 0;
        SetLastError(ERROR_SUCCESS);
        return TRUE;
    }
    if (cls != TokenGroups || !returned) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const auto& sys = current().system;
    struct Group {
        std::vector<BYTE> sid;
        DWORD attributes;
    };
    const DWORD on = SE_GROUP_MANDATORY | SE_GROUP_ENABLED_BY_DEFAULT | SE_GROUP_ENABLED;
    std::vector<Group> groups;
    groups.push_back({makeSid(1, {0}), on});                                       // Everyone
    if (sys.admin)
        groups.push_back({makeSid(5, {32, 544}), sys.adminDenyOnly ? DWORD(SE_GROUP_USE_FOR_DENY_ONLY) : on});
    groups.push_back({makeSid(5, {32, 545}), on});  // Users
    groups.push_back({makeSid(5, {11}), on});       // Authenticated Users
    for (int i = 0; i < sys.extraGroups; ++i)
        groups.push_back({makeSid(5, {21, 1111, 2222, 3333, static_cast<DWORD>(1000 + i)}), on});

    // The structure array first, the SIDs packed after it (as Windows lays out the buffer).
    size_t header = offsetof(TOKEN_GROUPS, Groups) + groups.size() * sizeof(SID_AND_ATTRIBUTES);
    size_t needed = header;
    for (auto& g : groups) needed += g.sid.size();
    *returned = static_cast<DWORD>(needed);
    if (!info || size < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    auto* tg = static_cast<TOKEN_GROUPS*>(info);
    tg->GroupCount = static_cast<DWORD>(groups.size());
    BYTE* p = static_cast<BYTE*>(info) + header;
    for (size_t i = 0; i < groups.size(); ++i) {
        std::memcpy(p, groups[i].sid.data(), groups[i].sid.size());
        tg->Groups[i].Sid = p;
        tg->Groups[i].Attributes = groups[i].attributes;
        p += groups[i].sid.size();
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL WINAPI AllocateAndInitializeSid(PSID_IDENTIFIER_AUTHORITY authority, BYTE count, DWORD s0, DWORD s1, DWORD s2,
                                     DWORD s3, DWORD s4, DWORD s5, DWORD s6, DWORD s7, PSID* sid) {
    if (!authority || !sid || count > 8) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const DWORD subs[8] = {s0, s1, s2, s3, s4, s5, s6, s7};
    auto* p = static_cast<BYTE*>(std::calloc(1, 8 + 4 * count));
    p[0] = 1;
    p[1] = count;
    std::memcpy(p + 2, authority->Value, 6);
    std::memcpy(p + 8, subs, 4 * count);
    *sid = p;
    return TRUE;
}

BOOL WINAPI EqualSid(PSID a, PSID b) {
    if (!a || !b) return FALSE;
    size_t n = sidLength(a);
    SetLastError(ERROR_SUCCESS);
    return n == sidLength(b) && std::memcmp(a, b, n) == 0;
}

PVOID WINAPI FreeSid(PSID sid) {
    std::free(sid);
    return nullptr;
}

BOOL WINAPI LookupPrivilegeValueA(LPCSTR system, LPCSTR name, PLUID luid) {
    if (!isNt()) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return FALSE;
    }
    if (!name || !luid || _strcmpi(name, SE_SHUTDOWN_NAME) != 0) {
        SetLastError(ERROR_NO_SUCH_PRIVILEGE);
        return FALSE;
    }
    luid->LowPart = 19;  // SE_SHUTDOWN_PRIVILEGE
    luid->HighPart = 0;
    return TRUE;
}

BOOL WINAPI AdjustTokenPrivileges(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES newState, DWORD size,
                                  PTOKEN_PRIVILEGES previous, PDWORD returned) {
    auto* t = current().handles.get<TokenObject>(token);
    if (!t) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!(t->access & TOKEN_ADJUST_PRIVILEGES)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    bool allAssigned = true;
    if (disableAll) {
        t->shutdownEnabled = false;
    } else if (newState) {
        for (DWORD i = 0; i < newState->PrivilegeCount; ++i) {
            const LUID_AND_ATTRIBUTES& p = newState->Privileges[i];
            if (p.Luid.LowPart == 19 && p.Luid.HighPart == 0 && current().system.shutdownPrivilege)
                t->shutdownEnabled = (p.Attributes & SE_PRIVILEGE_ENABLED) != 0;
            else
                allAssigned = false;
        }
    }
    if (t->shutdownEnabled) current().system.shutdownEnabled = true;
    // Success even when a privilege is not held: the caller must look at GetLastError.
    SetLastError(allAssigned ? ERROR_SUCCESS : ERROR_NOT_ALL_ASSIGNED);
    return TRUE;
}
