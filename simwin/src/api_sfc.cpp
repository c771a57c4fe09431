// sfc.dll on the current machine: which files Windows protects.
#include <string>

#include "simwin/machine.h"
#include "simwin/win32.h"

BOOL WINAPI SfcIsFileProtected(HANDLE rpcHandle, LPCWSTR fileName) {
    if (rpcHandle || !fileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    char path[4 * MAX_PATH];
    if (!WideCharToMultiByte(CP_UTF8, 0, fileName, -1, path, sizeof path, NULL, NULL) ||
        !simwin::current().files.isProtectedFile(path)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    return TRUE;
}
