// A planted library: whoever loads it leaves a marker file, C:\planted\<its own file name>.loaded. The
// check copies it beside korun04.exe under the name of every library the tool imports that Windows does
// not map from its system directory by itself, and as an uninstall hook a script names; the tool must
// load none of them. It exports the hook's entry point, so that a tool that did call it would say so too.
#include <windows.h>

namespace {

void LeaveMarker(HMODULE self, const char* suffix) {
    char path[MAX_PATH] = "";
    if (!GetModuleFileNameA(self, path, sizeof path)) return;
    const char* name = path;
    for (const char* p = path; *p; ++p)
        if (*p == '\\' || *p == '/') name = p + 1;
    CreateDirectoryA("C:\\planted", NULL);
    char marker[MAX_PATH];
    wsprintfA(marker, "C:\\planted\\%s%s", name, suffix);
    HANDLE file = CreateFileA(marker, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

HMODULE g_self = NULL;

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_self = instance;
        LeaveMarker(instance, ".loaded");
    }
    return TRUE;
}

extern "C" __declspec(dllexport) void CALLBACK Uninstall(HWND, HINSTANCE, LPSTR, int) { LeaveMarker(g_self, ".called"); }
