#include "base/library_loading.h"

#include <stdio.h>

namespace {

typedef BOOL(WINAPI* SetDefaultDllDirectoriesFn)(DWORD);

// The flags the LOAD_LIBRARY_SEARCH_* family needs; ERROR_INVALID_PARAMETER where Windows lacks them.
bool IsMissingSearchFlags(HMODULE module) { return !module && GetLastError() == ERROR_INVALID_PARAMETER; }

}  // namespace

bool RestrictDllSearch() {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    SetDefaultDllDirectoriesFn setDefault =
        kernel ? reinterpret_cast<SetDefaultDllDirectoriesFn>(
                     reinterpret_cast<void (*)()>(GetProcAddress(kernel, "SetDefaultDllDirectories")))
               : NULL;
    if (setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) return true;
    SetDllDirectoryA("");
    return false;
}

HMODULE LoadSystemLibrary(const char* fileName) {
    HMODULE module = LoadLibraryExA(fileName, NULL, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!IsMissingSearchFlags(module)) return module;
    char path[MAX_PATH];
    const UINT n = GetSystemDirectoryA(path, sizeof path);
    if (n == 0 || n >= sizeof path) return NULL;
    if (snprintf(path + n, sizeof path - n, "\\%s", fileName) >= static_cast<int>(sizeof path - n)) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return NULL;
    }
    return LoadLibraryA(path);
}

HMODULE LoadHookLibrary(const char* fullPath) {
    HMODULE module = LoadLibraryExA(fullPath, NULL, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!IsMissingSearchFlags(module)) return module;
    return LoadLibraryExA(fullPath, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
}
