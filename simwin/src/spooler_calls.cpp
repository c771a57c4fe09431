// What every winspool entry point shares: see spooler_calls.h.
#include <cstdio>
#include <cstring>
#include <string>

#include "spooler_calls.h"

namespace simwin {
namespace winspool {

bool isNt() { return current().system.platform == Platform::Nt; }

bool spoolerAnswers() {
    if (!isNt()) return true;
    if (current().services.spoolerAnswers()) return true;
    SetLastError(RPC_S_SERVER_UNAVAILABLE);
    return false;
}

bool mayAdminister() {
    const auto& sys = current().system;
    return !isNt() || (sys.admin && !sys.adminDenyOnly);
}

std::string hex(DWORD v) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(v));
    return text;
}

bool faulted(const char* function, const std::string& details, LPDWORD needed) {
    const SpoolerFault* f = current().spooler.enter(function, details);
    if (!f) return false;
    if (needed) *needed = f->needed;
    SetLastError(f->error);
    return true;
}

bool isOwnServer(const std::string& name) {
    return iequals(name, "\\\\" + current().system.computer);
}

std::string withoutOwnServer(const std::string& name) {
    const std::string prefix = "\\\\" + current().system.computer + "\\";
    if (startsWithI(name, prefix)) return name.substr(prefix.size());
    return name;
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
    if (server && *server && !isOwnServer(server)) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    if (level != 1) {
        SetLastError(ERROR_INVALID_LEVEL);
        return false;
    }
    return true;
}

Printer* printerOf(HANDLE printer, PrinterHandle** handle) {
    auto* h = current().handles.get<PrinterHandle>(printer);
    Printer* p = h && h->printerId ? current().spooler.findById(h->printerId) : nullptr;
    if (!p) SetLastError(ERROR_INVALID_HANDLE);
    if (handle) *handle = h;
    return p;
}

bool resolveEnvironment(LPSTR environment, std::string& out, bool allowAll) {
    const auto& sys = current().system;
    if (!environment || !*environment) {
        out = sys.localEnvironment;
        return true;
    }
    if (allowAll && isNt() && iequals(environment, "all")) {
        out.clear();
        return true;
    }
    for (auto& d : sys.driverDirs)
        if (iequals(d.first, environment)) {
            out = d.first;
            return true;
        }
    SetLastError(ERROR_INVALID_ENVIRONMENT);
    return false;
}

bool checkServer(LPSTR server) {
    if (server && *server && !isOwnServer(server)) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    return true;
}

bool enterServerChange(const char* function, LPSTR server, LPSTR environment, LPSTR name, std::string& env) {
    if (!spoolerAnswers() || !checkServer(server)) return false;
    if (faulted(function, std::string(name ? name : "(null)"))) return false;
    if (!mayAdminister()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    if (!resolveEnvironment(environment, env)) return false;
    if (!name || !*name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    return true;
}

void finishPendingDeletion(Printer& p) {
    if (p.pendingDeletion && p.jobs == 0) current().spooler.remove(p.id);
}

std::string baseName(const std::string& path) {
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool enterInstall(const char* function, LPSTR server, DWORD level, bool levelKnown, LPBYTE info) {
    if (!spoolerAnswers() || !checkServer(server)) return false;
    if (faulted(function, "level=" + std::to_string(level))) return false;
    if (!levelKnown) {
        SetLastError(ERROR_INVALID_LEVEL);
        return false;
    }
    if (!info) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (!mayAdminister()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    return true;
}

}  // namespace winspool
}  // namespace simwin
