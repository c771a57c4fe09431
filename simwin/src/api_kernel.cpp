// kernel32 on the current machine: errors, handles, version, modules, directories, time.
#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "simwin/machine.h"
#include "simwin/modules.h"
#include "simwin/win32.h"

using simwin::current;

namespace {
// Copies text into a caller's buffer the way the GetXxxDirectory family does: on success the
// length without the NUL, when too small the size needed including the NUL.
UINT copyOut(const std::string& text, LPSTR buffer, UINT size) {
    if (!buffer || size < text.size() + 1) return static_cast<UINT>(text.size() + 1);
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<UINT>(text.size());
}
}  // namespace

DWORD WINAPI GetLastError(void) { return current().lastError; }
void WINAPI SetLastError(DWORD code) { current().lastError = code; }

BOOL WINAPI CloseHandle(HANDLE h) {
    if (h == GetCurrentProcess()) return TRUE;
    if (!current().handles.close(h)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA info) {
    if (!info || (info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA) && info->dwOSVersionInfoSize != 156)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    const auto& s = current().system;
    info->dwMajorVersion = s.major;
    info->dwMinorVersion = s.minor;
    switch (s.platform) {
    case simwin::Platform::Nt:
        info->dwPlatformId = VER_PLATFORM_WIN32_NT;
        info->dwBuildNumber = s.build;
        break;
    case simwin::Platform::Win9x:
        info->dwPlatformId = VER_PLATFORM_WIN32_WINDOWS;
        info->dwBuildNumber = static_cast<DWORD>(MAKELONG(s.build, MAKEWORD(s.minor, s.major)));
        break;
    case simwin::Platform::Win32s:
        info->dwPlatformId = VER_PLATFORM_WIN32s;
        info->dwBuildNumber = s.build;
        break;
    }
    std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
    return TRUE;
}

DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size) {
    if (module && !simwin::isModule(module)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    const std::string path = module ? simwin::modulePath(module) : current().system.program;
    if (!buffer || size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (path.size() + 1 > size) {
        // Cut to the buffer, NUL-terminated, result = size (as Windows Vista and later do).
        std::memcpy(buffer, path.c_str(), size - 1);
        buffer[size - 1] = 0;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(path.size());
}

HMODULE WINAPI GetModuleHandleA(LPCSTR name) {
    if (!name) return simwin::programModule();
    HMODULE m = simwin::findLoadedModule(name);
    if (!m) SetLastError(ERROR_MOD_NOT_FOUND);
    return m;
}

LPSTR WINAPI GetCommandLineA(void) {
    // The process's one copy: the same pointer every time while the command line stays what it is.
    static std::string line;
    std::string now = current().system.commandLine();
    if (now != line) line = now;
    return &line[0];
}

BOOL WINAPI GetComputerNameA(LPSTR buffer, LPDWORD size) {
    const std::string& name = current().system.computer;
    if (!size) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!buffer || *size < name.size() + 1) {
        *size = static_cast<DWORD>(name.size() + 1);
        SetLastError(111);  // ERROR_BUFFER_OVERFLOW
        return FALSE;
    }
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    *size = static_cast<DWORD>(name.size());
    return TRUE;
}

UINT WINAPI GetWindowsDirectoryA(LPSTR buffer, UINT size) { return copyOut(current().system.windowsDir, buffer, size); }
UINT WINAPI GetSystemDirectoryA(LPSTR buffer, UINT size) { return copyOut(current().system.systemDir, buffer, size); }
DWORD WINAPI GetTempPathA(DWORD size, LPSTR buffer) { return copyOut(current().system.tempDir, buffer, size); }

HMODULE WINAPI LoadLibraryA(LPCSTR name) {
    HMODULE m = name ? simwin::loadModule(name) : nullptr;
    if (!m) SetLastError(ERROR_MOD_NOT_FOUND);
    return m;
}

namespace {
const DWORD kSearchFlags = LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_APPLICATION_DIR |
                           LOAD_LIBRARY_SEARCH_USER_DIRS | LOAD_LIBRARY_SEARCH_SYSTEM32 | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS;

bool isFullPath(LPCSTR name) {
    return (std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':' && (name[2] == '\\' || name[2] == '/')) ||
           (name[0] == '\\' && name[1] == '\\');
}
}  // namespace

HMODULE WINAPI LoadLibraryExA(LPCSTR name, HANDLE hFile, DWORD flags) {
    const bool searchFlags = (flags & kSearchFlags) != 0;
    if (!name || hFile || (searchFlags && !simwin::hasRestrictedDllSearch()) ||
        (flags & ~(kSearchFlags | LOAD_WITH_ALTERED_SEARCH_PATH)) ||
        ((flags & (LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_WITH_ALTERED_SEARCH_PATH)) && !isFullPath(name)) ||
        ((flags & LOAD_WITH_ALTERED_SEARCH_PATH) && searchFlags)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HMODULE m = simwin::loadModule(name, flags);
    if (!m) SetLastError(ERROR_MOD_NOT_FOUND);
    return m;
}

BOOL WINAPI SetDefaultDllDirectories(DWORD flags) {
    if (!simwin::hasRestrictedDllSearch()) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return FALSE;
    }
    if (!flags || (flags & ~(kSearchFlags & ~LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    current().modules.defaultDirectories = flags;
    return TRUE;
}

BOOL WINAPI SetDllDirectoryA(LPCSTR path) {
    simwin::ModuleTable& t = current().modules;
    t.currentDirectoryRemoved = path != nullptr;
    t.dllDirectory = path && *path ? current().files.fullPath(path) : std::string();
    return TRUE;
}

FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR name) {
    FARPROC f = simwin::moduleExport(module, name);
    if (!f) SetLastError(simwin::isModule(module) ? ERROR_PROC_NOT_FOUND : ERROR_INVALID_HANDLE);
    return f;
}

BOOL WINAPI FreeLibrary(HMODULE module) {
    if (!simwin::freeModule(module)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

void WINAPI GlobalMemoryStatus(LPMEMORYSTATUS status) {
    if (!status) return;
    const SIZE_T kGiB = SIZE_T(1) << 30;
    status->dwLength = sizeof(MEMORYSTATUS);
    status->dwTotalPhys = 16 * kGiB - 112 * (SIZE_T(1) << 20);  // 16 GB less what the firmware keeps
    status->dwAvailPhys = 8 * kGiB + 301 * (SIZE_T(1) << 20);
    status->dwTotalPageFile = status->dwTotalPhys + 2432 * (SIZE_T(1) << 20);  // the commit limit
    status->dwAvailPageFile = 9 * kGiB + 97 * (SIZE_T(1) << 20);
    status->dwTotalVirtual = 0x7FFFFFFE0000ULL;  // 128 TB less the first and last 64 KB
    status->dwAvailVirtual = status->dwTotalVirtual - 4170 * (SIZE_T(1) << 20);
    status->dwMemoryLoad =
        static_cast<DWORD>((status->dwTotalPhys - status->dwAvailPhys) * 100 / status->dwTotalPhys);
}

HLOCAL WINAPI LocalAlloc(UINT flags, SIZE_T bytes) {
    void* p = (flags & LMEM_ZEROINIT) ? std::calloc(1, bytes ? bytes : 1) : std::malloc(bytes ? bytes : 1);
    if (!p) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return p;
}

HLOCAL WINAPI LocalFree(HLOCAL memory) {
    std::free(memory);
    return nullptr;
}

HANDLE WINAPI GetCurrentProcess(void) { return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1)); }

void WINAPI Sleep(DWORD ms) { current().clock.ms += ms; }
DWORD WINAPI GetCurrentThreadId(void) { return 0x104; }
DWORD WINAPI GetTickCount(void) { return static_cast<DWORD>(current().clock.ms); }

namespace {
// Days since 1970-01-01 of a civil date (the proleptic Gregorian calendar), and back.
long long daysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}
void civilFromDays(long long z, long long& y, unsigned& m, unsigned& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<long long>(yoe) + era * 400 + (m <= 2);
}
}  // namespace

void WINAPI GetLocalTime(LPSYSTEMTIME time) {
    if (!time) return;
    // Every machine starts at 2025-03-03 09:00:00.000 local time.
    const unsigned long long startMs = (static_cast<unsigned long long>(daysFromCivil(2025, 3, 3)) * 86400ULL + 9 * 3600ULL) * 1000ULL;
    const unsigned long long now = startMs + current().clock.ms;
    const long long days = static_cast<long long>(now / 86400000ULL);
    const unsigned long long inDay = now % 86400000ULL;
    long long year = 0;
    unsigned month = 0, day = 0;
    civilFromDays(days, year, month, day);
    time->wYear = static_cast<WORD>(year);
    time->wMonth = static_cast<WORD>(month);
    time->wDay = static_cast<WORD>(day);
    time->wDayOfWeek = static_cast<WORD>((days + 4) % 7);  // 1970-01-01 was a Thursday
    time->wHour = static_cast<WORD>(inDay / 3600000ULL);
    time->wMinute = static_cast<WORD>(inDay / 60000ULL % 60);
    time->wSecond = static_cast<WORD>(inDay / 1000ULL % 60);
    time->wMilliseconds = static_cast<WORD>(inDay % 1000ULL);
}

// --- Text between UTF-8 (simwin's ANSI) and UTF-16 ------------------------------------------------------

namespace {

const char32_t kReplacement = 0xFFFD;

// The next code point of UTF-8 text; false for a byte sequence that is not UTF-8 (one byte is consumed).
bool nextUtf8(const unsigned char* s, size_t n, size_t& i, char32_t& cp) {
    const unsigned char b = s[i++];
    if (b < 0x80) return cp = b, true;
    const int more = b >= 0xF0 && b < 0xF5 ? 3 : b >= 0xE0 ? 2 : b >= 0xC2 && b < 0xE0 ? 1 : -1;
    if (more < 0 || i + more > n) return cp = kReplacement, false;
    char32_t v = b & (0x3F >> more);
    for (int k = 0; k < more; ++k) {
        if ((s[i + k] & 0xC0) != 0x80) return cp = kReplacement, false;
        v = (v << 6) | (s[i + k] & 0x3F);
    }
    const char32_t least[] = {0, 0x80, 0x800, 0x10000};
    if (v < least[more] || v > 0x10FFFF || (v >= 0xD800 && v < 0xE000)) return cp = kReplacement, false;
    i += more;
    return cp = v, true;
}

// Writes units into a caller's buffer of `size` units (0: only count); false when it is too small.
template <typename Unit>
int deliver(const std::basic_string<Unit>& units, Unit* out, int size) {
    if (size == 0) return static_cast<int>(units.size());
    if (static_cast<size_t>(size) < units.size()) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::copy(units.begin(), units.end(), out);
    return static_cast<int>(units.size());
}

bool knownCodePage(UINT cp) { return cp == CP_ACP || cp == CP_OEMCP || cp == CP_UTF8; }

}  // namespace

int WINAPI MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int length, LPWSTR wide, int wideSize) {
    if (!text || length == 0 || length < -1 || wideSize < 0 || (wideSize && !wide) || !knownCodePage(codePage)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const size_t n = length == -1 ? std::strlen(text) + 1 : static_cast<size_t>(length);
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    std::u16string units;
    for (size_t i = 0; i < n;) {
        char32_t cp = 0;
        if (!nextUtf8(s, n, i, cp) && (flags & MB_ERR_INVALID_CHARS)) {
            SetLastError(ERROR_NO_UNICODE_TRANSLATION);
            return 0;
        }
        if (cp >= 0x10000) {
            units += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            units += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            units += static_cast<char16_t>(cp);
        }
    }
    return deliver(units, reinterpret_cast<char16_t*>(wide), wideSize);
}

int WINAPI WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int length, LPSTR text, int textSize,
                               LPCSTR defaultChar, LPBOOL usedDefaultChar) {
    if (!wide || length == 0 || length < -1 || textSize < 0 || (textSize && !text) || !knownCodePage(codePage) ||
        (codePage == CP_UTF8 && (defaultChar || usedDefaultChar))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t n = 0;
    if (length == -1)
        while (wide[n++]) {}
    else
        n = static_cast<size_t>(length);
    if (usedDefaultChar) *usedDefaultChar = FALSE;  // every code point has a UTF-8 form
    std::string bytes;
    for (size_t i = 0; i < n; ++i) {
        char32_t cp = wide[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < n && wide[i + 1] >= 0xDC00 && wide[i + 1] < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp < 0xE000) {
            if (flags & WC_ERR_INVALID_CHARS) {
                SetLastError(ERROR_NO_UNICODE_TRANSLATION);
                return 0;
            }
            cp = kReplacement;
        }
        if (cp < 0x80) {
            bytes += static_cast<char>(cp);
        } else if (cp < 0x800) {
            bytes += static_cast<char>(0xC0 | (cp >> 6));
            bytes += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            bytes += static_cast<char>(0xE0 | (cp >> 12));
            bytes += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            bytes += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            bytes += static_cast<char>(0xF0 | (cp >> 18));
            bytes += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            bytes += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            bytes += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return deliver(bytes, text, textSize);
}

int WINAPI lstrlenA(LPCSTR s) { return s ? static_cast<int>(std::strlen(s)) : 0; }
LPSTR WINAPI lstrcpyA(LPSTR dst, LPCSTR src) { return std::strcpy(dst, src); }
LPSTR WINAPI lstrcpynA(LPSTR dst, LPCSTR src, int max) {
    if (max <= 0) return dst;
    int i = 0;
    for (; i < max - 1 && src[i]; ++i) dst[i] = src[i];
    dst[i] = 0;
    return dst;
}
LPSTR WINAPI lstrcatA(LPSTR dst, LPCSTR src) { return std::strcat(dst, src); }
int WINAPI lstrcmpiA(LPCSTR a, LPCSTR b) {
    int r = _strcmpi(a, b);
    return r < 0 ? -1 : r > 0 ? 1 : 0;
}

int WINAPI wsprintfA(LPSTR buffer, LPCSTR format, ...) {
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(buffer, 1025, format, args);  // wsprintf writes at most 1024 characters
    va_end(args);
    return n > 1024 ? 1024 : n;
}

void WINAPI OutputDebugStringA(LPCSTR text) {
    std::string line = text ? text : "";
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    current().transcript.add("debug: " + line);
}
