// winspool on the current machine: the driver and print-processor directories.
#include <cstring>
#include <string>

#include "simwin/machine.h"
#include "simwin/win32.h"

using simwin::current;

namespace {

// Every spooler call first reaches the spooler: a stopped or hung one does not answer.
bool spoolerAnswers() {
    if (current().system.platform != simwin::Platform::Nt) return true;
    if (current().services.spoolerAnswers()) return true;
    SetLastError(RPC_S_SERVER_UNAVAILABLE);
    return false;
}

BOOL directoryResult(const std::string& dir, LPBYTE buffer, DWORD size, LPDWORD needed) {
    DWORD n = static_cast<DWORD>(dir.size() + 1);
    if (needed) *needed = n;
    if (!buffer || size < n) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(buffer, dir.c_str(), n);
    return TRUE;
}

bool checkServerAndLevel(LPSTR server, DWORD level) {
    if (server && *server && !simwin::iequals(server, "\\\\" + current().system.computer)) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    if (level != 1) {
        SetLastError(124);  // ERROR_INVALID_LEVEL
        return false;
    }
    return true;
}

}  // namespace

BOOL WINAPI GetPrinterDriverDirectoryA(LPSTR server, LPSTR environment, DWORD level, LPBYTE buffer, DWORD size,
                                       LPDWORD needed) {
    if (!spoolerAnswers() || !checkServerAndLevel(server, level)) return FALSE;
    const auto& sys = current().system;
    std::string env = environment && *environment ? environment : sys.localEnvironment;
    for (auto& d : sys.driverDirs)
        if (simwin::iequals(d.first, env)) return directoryResult(d.second, buffer, size, needed);
    SetLastError(ERROR_INVALID_ENVIRONMENT);
    return FALSE;
}

BOOL WINAPI GetPrintProcessorDirectoryA(LPSTR server, LPSTR environment, DWORD level, LPBYTE buffer, DWORD size,
                                        LPDWORD needed) {
    if (!spoolerAnswers() || !checkServerAndLevel(server, level)) return FALSE;
    const auto& sys = current().system;
    std::string env = environment && *environment ? environment : sys.localEnvironment;
    if (simwin::iequals(env, sys.localEnvironment)) return directoryResult(sys.printProcessorDir, buffer, size, needed);
    if (sys.platform == simwin::Platform::Nt) {
        if (simwin::iequals(env, "Windows NT x86"))
            return directoryResult(sys.systemDir + "\\spool\\prtprocs\\W32X86", buffer, size, needed);
        if (simwin::iequals(env, "Windows 4.0"))
            return directoryResult(sys.systemDir + "\\spool\\prtprocs\\WIN40", buffer, size, needed);
    }
    SetLastError(ERROR_INVALID_ENVIRONMENT);
    return FALSE;
}
