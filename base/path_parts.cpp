#include "base/path_parts.h"

#include <stdio.h>
#include <string.h>

#include "base/library_loading.h"

namespace {

const int kTextSize = MAX_PATH;

void AppendBackslash(char* text) {
    size_t n = strlen(text);
    if (n > 0 && text[n - 1] != '\\' && n + 1 < static_cast<size_t>(kTextSize)) {
        text[n] = '\\';
        text[n + 1] = 0;
    }
}

void AppendText(char* text, const char* more) {
    size_t n = strlen(text);
    size_t m = strlen(more);
    if (n + m >= static_cast<size_t>(kTextSize)) m = kTextSize - 1 - n;
    memcpy(text + n, more, m);
    text[n + m] = 0;
}

int ShellFolderCsidl(int code) {
    switch (code) {
    case DESKTOP: return CSIDL_DESKTOP;
    case FAVORITES: return CSIDL_FAVORITES;
    case APPDATA: return CSIDL_APPDATA;
    case INTERNET_CACHE: return CSIDL_INTERNET_CACHE;
    case COOKIES: return CSIDL_COOKIES;
    case FONTS: return CSIDL_FONTS;
    case HISTORY: return CSIDL_HISTORY;
    case NETHOOD: return CSIDL_NETHOOD;
    case PERSONAL: return CSIDL_PERSONAL;
    case PRINTHOOD: return CSIDL_PRINTHOOD;
    case PROGRAMS: return CSIDL_PROGRAMS;
    case RECENT: return CSIDL_RECENT;
    case SENDTO: return CSIDL_SENDTO;
    case STARTMENU: return CSIDL_STARTMENU;
    case STARTUP_FOLDER: return CSIDL_STARTUP;
    case ALTSTARTUP: return CSIDL_ALTSTARTUP;
    case COMMON_STARTUP: return CSIDL_COMMON_STARTUP;
    case COMMON_ALTSTARTUP: return CSIDL_COMMON_ALTSTARTUP;
    case TEMPLATES: return CSIDL_TEMPLATES;
    case PROGRAM_FILES: return CSIDL_PROGRAM_FILES;
    case PRINTERS_FOLDER: return CSIDL_PRINTERS;
    case COMMON_PROGRAMS: return CSIDL_COMMON_PROGRAMS;
    default: return -1;
    }
}

}  // namespace

void ResolveShellFolder(int csidl, char* text) {
    if (COSVersion().IsWin32s()) return;
    LPMALLOC allocator = NULL;
    if (FAILED(SHGetMalloc(&allocator)) || !allocator) return;
    LPITEMIDLIST list = NULL;
    if (SUCCEEDED(SHGetSpecialFolderLocation(NULL, csidl, &list)) && list) {
        char folder[MAX_PATH] = "";
        if (SHGetPathFromIDListA(list, folder) && strlen(folder) + 1 < static_cast<size_t>(kTextSize)) {
            strcpy(text, folder);
            AppendBackslash(text);
        }
        allocator->Free(list);
    }
    allocator->Release();
}

namespace {

typedef BOOL(WINAPI* GetColorDirectoryFn)(LPCSTR, LPSTR, PDWORD);

void ResolveColorDirectory(char* text) {
    if (!COSVersion().IsWin32s()) {
        HMODULE mscms = LoadSystemLibrary("mscms.dll");
        if (mscms) {
            GetColorDirectoryFn getColorDirectory =
                reinterpret_cast<GetColorDirectoryFn>(reinterpret_cast<void (*)()>(GetProcAddress(mscms, "GetColorDirectoryA")));
            BOOL ok = FALSE;
            if (getColorDirectory) {
                DWORD size = kTextSize;
                ok = getColorDirectory(NULL, text, &size);
            }
            FreeLibrary(mscms);
            if (ok) {
                AppendBackslash(text);
                return;
            }
            text[0] = 0;
        }
    }
    // No colour management library: the "Color" directory below the system directory, created
    // when it does not exist yet.
    if (!GetSystemDirectoryA(text, kTextSize)) {
        text[0] = 0;
        return;
    }
    AppendBackslash(text);
    AppendText(text, "Color");
    char remembered[MAX_PATH] = "";
    GetCurrentDirectoryA(kTextSize, remembered);
    if (SetCurrentDirectoryA(text))
        SetCurrentDirectoryA(remembered);
    else
        CreateDirectoryA(text, NULL);
    AppendBackslash(text);
}

}  // namespace

void CPathParts::Clear() {
    drive[0] = dir[0] = fname[0] = ext[0] = path[0] = 0;
}

void CPathParts::Split(const char* text) { _splitpath(text, drive, dir, fname, ext); }

void CPathParts::Compose(bool withFile) {
    _makepath(path, drive, dir, withFile ? fname : "", withFile ? ext : "");
}

int CPathParts::Resolve(int code) {
    Clear();
    char text[MAX_PATH] = "";
    DWORD needed = 0;
    int csidl = ShellFolderCsidl(code);
    if (csidl >= 0) {
        ResolveShellFolder(csidl, text);
    } else {
        switch (code) {
        case MODULEFILE:
            if (GetModuleFileNameA(NULL, text, kTextSize) >= static_cast<DWORD>(kTextSize)) text[0] = 0;
            break;
        case MODULEDIR:
            if (GetModuleFileNameA(NULL, text, kTextSize) >= static_cast<DWORD>(kTextSize)) {
                text[0] = 0;
                break;
            }
            Split(text);
            fname[0] = ext[0] = 0;
            Compose(false);
            strcpy(text, path);
            break;
        case WINDIR:
            if (GetWindowsDirectoryA(text, kTextSize) >= static_cast<UINT>(kTextSize)) text[0] = 0;
            break;
        case SYSDIR:
            if (GetSystemDirectoryA(text, kTextSize) >= static_cast<UINT>(kTextSize)) text[0] = 0;
            break;
        case TEMPDIR:
            if (GetTempPathA(kTextSize, text) >= static_cast<DWORD>(kTextSize)) text[0] = 0;
            break;
        case TEMPFILE: {
            char tempDir[MAX_PATH] = "";
            DWORD n = GetTempPathA(kTextSize, tempDir);
            if (n && n < static_cast<DWORD>(kTextSize) && !GetTempFileNameA(tempDir, "~~", 0, text)) text[0] = 0;
            break;
        }
        case PRINTDRIVERDIR:
            if (!GetPrinterDriverDirectoryA(NULL, NULL, 1, reinterpret_cast<LPBYTE>(text), kTextSize, &needed))
                text[0] = 0;
            break;
        case PRINTDRIVERDIR_W40:
            if (!GetPrinterDriverDirectoryA(NULL, const_cast<LPSTR>("Windows 4.0"), 1, reinterpret_cast<LPBYTE>(text),
                                            kTextSize, &needed))
                text[0] = 0;
            break;
        case PRINTPROCDIR:
        case PRINTPROCDIR_W40:
            if (!GetPrintProcessorDirectoryA(NULL, NULL, 1, reinterpret_cast<LPBYTE>(text), kTextSize, &needed))
                text[0] = 0;
            break;
        case COLORDIR:
            ResolveColorDirectory(text);
            break;
        case CURDIR:
            if (GetCurrentDirectoryA(kTextSize, text) >= static_cast<DWORD>(kTextSize)) text[0] = 0;
            break;
        case INFDIR:
            if (GetWindowsDirectoryA(text, kTextSize) >= static_cast<UINT>(kTextSize)) {
                text[0] = 0;
                break;
            }
            AppendBackslash(text);
            AppendText(text, "INF\\");
            break;
        default:
            return 1;
        }
    }
    // Every directory ends with a backslash (the program file and the temporary file are files).
    if (code != MODULEFILE && code != TEMPFILE) AppendBackslash(text);
    char keepPath[MAX_PATH];
    strcpy(keepPath, path);
    Split(text);
    if (code == MODULEDIR)
        strcpy(path, keepPath);
    else
        path[0] = 0;
    return 1;
}

int CPathParts::SearchFile(const char* searchPath) {
    char found[MAX_PATH] = "";
    char* filePart = NULL;
    DWORD n = SearchPathA(searchPath, fname, ext[0] ? ext : NULL, kTextSize, found, &filePart);
    if (n == 0 || n >= static_cast<DWORD>(kTextSize)) return 0;
    strcpy(path, found);
    Split(found);
    return 1;
}

int CPathParts::FileExists() {
    Compose(true);
    HANDLE h = CreateFileA(path, 0, 0, NULL, OPEN_EXISTING, 0, NULL);
    if (h == INVALID_HANDLE_VALUE) return 0;
    CloseHandle(h);
    return 1;
}

const char* CPathParts::AppendSubdirectory(const char* sub) {
    if (sub && *sub) {
        AppendBackslash(dir);
        AppendText(dir, sub);
        AppendBackslash(dir);
    }
    Compose(true);
    return path;
}

const char* CPathParts::DirectoryPath() {
    Compose(false);
    return path;
}

const char* CPathParts::FullPath() {
    Compose(true);
    return path;
}

int FindOemProgram(char* out, const char* fileName) {
    char keyName[MAX_PATH] = "SOFTWARE\\VESTRAL";
    AppendBackslash(keyName);
    AppendText(keyName, "OEM\\OEMPaths");
    HKEY key = NULL;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyName, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return 0;
    int found = 0;
    for (DWORD index = 0;; ++index) {
        char valueName[256];
        char data[MAX_PATH];
        DWORD nameSize = sizeof valueName;
        DWORD dataSize = sizeof data;
        DWORD type = 0;
        LONG rc = RegEnumValueA(key, index, valueName, &nameSize, NULL, &type, reinterpret_cast<LPBYTE>(data),
                                &dataSize);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS) continue;
        data[sizeof data - 1] = 0;
        char candidate[MAX_PATH];
        memcpy(candidate, data, sizeof candidate);
        AppendBackslash(candidate);
        AppendText(candidate, fileName);
        HANDLE h = CreateFileA(candidate, GENERIC_READ, FILE_SHARE_WRITE, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                               NULL);
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
            memcpy(out, candidate, strlen(candidate) + 1);
            found = 1;
            break;
        }
    }
    RegCloseKey(key);
    return found;
}
