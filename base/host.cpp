#include "base/host.h"

#include <string.h>

namespace {

CHost* g_current = nullptr;

}  // namespace

CHost::CHost() : previous(g_current) { g_current = this; }

CHost::CHost(Plain) : previous(nullptr) {}

CHost::~CHost() {
    if (g_current == this) g_current = previous;
}

CHost& CHost::Current() {
    if (g_current) return *g_current;
    // Never destroyed: a message box may still be asked for while the process ends.
    static CHost* plain = new CHost(Plain());
    return *plain;
}

int CHost::ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type, QuietAnswer) {
    return MessageBoxA(owner, text, caption, type);
}

CRunLog* CHost::Log() { return nullptr; }

void CHost::RemovalFailed(const std::string&) {}

void CHost::RemovalFinished(bool, bool) {}

std::string CHost::DefaultScriptPath() const {
    char buffer[256] = "";
    DWORD n = GetModuleFileNameA(NULL, buffer, sizeof buffer);
    if (n >= sizeof buffer) buffer[sizeof buffer - 1] = 0;
    char* lastBackslash = strrchr(buffer, '\\');
    if (lastBackslash)
        lastBackslash[1] = 0;
    else
        buffer[0] = 0;
    const char scriptName[] = "Kunz__04.unm";
    size_t used = strlen(buffer);
    size_t room = sizeof buffer - 1 - used;
    strncat(buffer, scriptName, room);
    return buffer;
}

int RunMessageBox(HWND owner, const char* text, const char* caption, UINT type, QuietAnswer quiet) {
    return CHost::Current().ShowMessageBox(owner, text, caption, type, quiet);
}
