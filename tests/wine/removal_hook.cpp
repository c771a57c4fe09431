// vsthook.dll: the uninstall hook of the Wine removal check. The tool calls its export VstUninstall with
// the removal page, that window's module, the program directory and 0; the hook appends what it got to
// C:\vsthook.txt, one line per call, for removal_machine.exe to check.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <cstring>

extern "C" __declspec(dllexport) void CALLBACK VstUninstall(HWND window, HINSTANCE instance, LPSTR directory, int number) {
    char line[MAX_PATH + 128];
    int n = std::snprintf(line, sizeof line, "VstUninstall window=%s instance=%s directory=%s number=%d\r\n",
                          IsWindow(window) ? "yes" : "no", instance == GetModuleHandleA(nullptr) ? "yes" : "no",
                          directory ? directory : "(null)", number);
    HANDLE file = CreateFileA("C:\\vsthook.txt", FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE || n <= 0) return;
    DWORD written = 0;
    WriteFile(file, line, static_cast<DWORD>(std::strlen(line)), &written, nullptr);
    CloseHandle(file);
}
