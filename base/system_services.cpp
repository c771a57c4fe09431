// The system services: administrator check, spooler stop and start, closing the driver family's
// other programs, starting a program, restarting Windows.
#include "base/system_services.h"

#include <string.h>

#include "base/os_version.h"

namespace {

const char kSpoolerService[] = "Spooler";

// Window classes of the driver family's other programs, in the order they are closed, with the
// lParam each receives with its WM_CLOSE.
const struct {
    const char* className;
    LPARAM lParam;
} kSiblingWindows[] = {
    {"JnStatusWindowClass_", 0}, {"VSTStatusClass_04", 0}, {"VSTInstallClass__", 0},
    {"NlinkWClass04", 0},        {"VSPL32_TClass", 0},     {"NMsgPopClass_T", 0},
    {"PAVANEDLGCLASS04", 0},     {"NPSD04", 1},            {"VSTPSMCClass04", 0},
};

}  // namespace

int COSVersion::IsAdministrator() const {
    if (platformClass != PLATFORM_WINNT) return 1;
    HANDLE token = NULL;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_READ, &token)) return 0;
    // The group list is read into a fixed buffer; a token with more groups than fit fails the check.
    union {
        TOKEN_GROUPS groups;
        BYTE bytes[4096];
    } buffer;
    DWORD returned = 0;
    const BOOL read = GetTokenInformation(token, TokenGroups, &buffer, sizeof buffer, &returned);
    CloseHandle(token);
    if (!read) return 0;

    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID administrators = NULL;
    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0,
                                  0, 0, &administrators))
        return 0;
    // The group's attributes are not examined: Administrators held for deny checks only counts too.
    int result = 0;
    const SID_AND_ATTRIBUTES* group = buffer.groups.Groups;
    for (DWORD i = 0; i < buffer.groups.GroupCount && !result; ++i)
        if (EqualSid(group[i].Sid, administrators)) result = 1;
    FreeSid(administrators);
    return result;
}

int CloseSiblingApplications() {
    for (const auto& sibling : kSiblingWindows) {
        HWND window = FindWindowA(sibling.className, NULL);
        if (window) SendMessageA(window, WM_CLOSE, 0, sibling.lParam);
    }
    UINT closeMessage = RegisterWindowMessageA("KORunClose04");
    PostMessageA(HWND_BROADCAST, closeMessage, 0, 0);
    return 1;
}

int StopSpooler() {
    SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
    if (!manager) return 0;
    int result = 0;
    SC_HANDLE service = OpenServiceA(manager, kSpoolerService, SERVICE_ALL_ACCESS);
    if (service) {
        SERVICE_STATUS status;
        memset(&status, 0, sizeof status);
        result = ControlService(service, SERVICE_CONTROL_STOP, &status) ? 1 : 0;
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    return result;
}

int StartSpooler() {
    SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
    if (!manager) return 0;
    int result = 0;
    SC_HANDLE service = OpenServiceA(manager, kSpoolerService, SERVICE_ALL_ACCESS);
    if (service) {
        if (StartServiceA(service, 0, NULL) || GetLastError() == ERROR_SERVICE_ALREADY_RUNNING) result = 1;
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    return result;
}

int IsSpoolerStopped() {
    SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_CONNECT);
    if (!manager) return 0;
    int stopped = 0;
    SC_HANDLE service = OpenServiceA(manager, kSpoolerService, SERVICE_QUERY_STATUS);
    SERVICE_STATUS status;
    if (service && QueryServiceStatus(service, &status)) stopped = status.dwCurrentState == SERVICE_STOPPED;
    if (service) CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return stopped;
}

int CloseSpoolProcessWindow() {
    HWND window = FindWindowA("SpoolProcessClass", NULL);
    if (!window) return 0;
    SendMessageA(window, WM_CLOSE, 0, 0);
    Sleep(1000);
    return 1;
}

HANDLE RunProgram(const char* path) {
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    memset(&process, 0, sizeof process);
    char commandLine[] = " /d";
    if (!CreateProcessA(path, commandLine, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) return NULL;
    CloseHandle(process.hThread);
    return process.hProcess;
}

int RebootWithShutdownPrivilege() {
    HANDLE token = NULL;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return 0;
    TOKEN_PRIVILEGES privileges;
    memset(&privileges, 0, sizeof privileges);
    if (!LookupPrivilegeValueA(NULL, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid)) {
        CloseHandle(token);
        return 0;
    }
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    AdjustTokenPrivileges(token, FALSE, &privileges, 0, NULL, NULL);
    // AdjustTokenPrivileges succeeds even when the privilege is not held; only the error says so.
    const DWORD error = GetLastError();
    CloseHandle(token);
    if (error != ERROR_SUCCESS) return 0;
    return ExitWindowsEx(EWX_REBOOT, 0) ? 1 : 0;
}
