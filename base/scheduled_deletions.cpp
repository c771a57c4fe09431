#include "base/scheduled_deletions.h"

#include <stdio.h>
#include <string.h>

#include <vector>

#include "base/path_parts.h"

namespace {

const char kPendingKey[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char kPendingValue[] = "PendingFileRenameOperations";

// A path of a directory and a name; false when it would not fit.
bool Join(char* out, size_t size, const char* directory, const char* name) {
    size_t n = strlen(directory);
    const char* separator = n && directory[n - 1] == '\\' ? "" : "\\";
    return snprintf(out, size, "%s%s%s", directory, separator, name) < static_cast<int>(size);
}

}  // namespace

bool ScheduleSessionManagerDelete(const char* path) { return MoveFileExA(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE; }

void ScheduleWininitDelete(const char* path) {
    CPathParts where;
    where.Resolve(WINDIR);
    char list[MAX_PATH];
    if (!Join(list, sizeof list, where.DirectoryPath(), "WININIT.INI")) return;
    HANDLE file = CreateFileA(list, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, NULL, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    if (GetLastError() != ERROR_ALREADY_EXISTS) WriteFile(file, "[RENAME]\r\n", 10, &written, NULL);
    SetFilePointer(file, 0, NULL, FILE_END);
    char line[MAX_PATH + 8];
    int n = snprintf(line, sizeof line, "NUL=%s\r\n", path);
    if (n > 0 && n < static_cast<int>(sizeof line)) WriteFile(file, line, static_cast<DWORD>(n), &written, NULL);
    CloseHandle(file);
}

int ScheduleNwininitDelete(const char* path) {
    CPathParts program;
    program.Resolve(MODULEDIR);
    char helper[MAX_PATH], list[MAX_PATH];
    if (!Join(helper, sizeof helper, program.path, "nwininit.exe") || !Join(list, sizeof list, program.path, "nwininit.ini"))
        return 0;
    HANDLE file = CreateFileA(helper, GENERIC_READ, FILE_SHARE_WRITE, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return 0;
    CloseHandle(file);
    WritePrivateProfileStringA("RENAME", path, "NUL", list);
    return 1;
}

// Takes a file off the lists of deletions at the next start: the session manager's (NT family), WININIT.INI
// (9x) and nwininit.ini beside the program (Win32s).
bool CancelScheduledDeletion(const std::string& path, const COSVersion& os) {
    bool cancelled = false;
    if (os.IsWinNT()) {
        HKEY key = NULL;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPendingKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key) != ERROR_SUCCESS)
            return false;
        DWORD type = 0, size = 0;
        if (RegQueryValueExA(key, kPendingValue, NULL, &type, NULL, &size) == ERROR_SUCCESS && size) {
            std::vector<char> data(size + 2, 0);
            if (RegQueryValueExA(key, kPendingValue, NULL, &type, reinterpret_cast<LPBYTE>(data.data()), &size) ==
                ERROR_SUCCESS) {
                // Pairs of strings: the file ("\??\" before its path) and its new name (empty: deleted). The
                // data ends with an empty string of its own, which is not a pair.
                std::vector<std::string> strings;
                for (size_t at = 0; at < size;) {
                    const std::string s = data.data() + at;
                    at += s.size() + 1;
                    strings.push_back(s);
                }
                if (strings.size() % 2) strings.pop_back();
                std::string kept;
                for (size_t i = 0; i + 1 < strings.size(); i += 2) {
                    const std::string& to = strings[i + 1];
                    std::string from = strings[i];
                    if (from.compare(0, 4, "\\??\\") == 0) from = from.substr(4);
                    if (to.empty() && _strcmpi(from.c_str(), path.c_str()) == 0) {
                        cancelled = true;
                        continue;
                    }
                    kept += strings[i] + '\0' + to + '\0';
                }
                if (cancelled) {
                    if (kept.empty())
                        RegDeleteValueA(key, kPendingValue);
                    else
                        RegSetValueExA(key, kPendingValue, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(kept.data()),
                                       static_cast<DWORD>(kept.size() + 1));
                }
            }
        }
        RegCloseKey(key);
        return cancelled;
    }
    CPathParts where;
    where.Resolve(os.IsWin32s() ? MODULEDIR : WINDIR);
    const std::string list = std::string(where.DirectoryPath()) + (os.IsWin32s() ? "nwininit.ini" : "WININIT.INI");
    if (os.IsWin32s()) {
        char value[16] = "";
        if (GetPrivateProfileStringA("RENAME", path.c_str(), "", value, sizeof value, list.c_str()) && value[0]) {
            WritePrivateProfileStringA("RENAME", path.c_str(), NULL, list.c_str());
            cancelled = true;
        }
        return cancelled;
    }
    // WININIT.INI lists "NUL=path" lines: every key is NUL, so the file is rewritten without that line.
    HANDLE file = CreateFileA(list.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    std::string text;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, NULL) && read) text.append(buffer, read);
    CloseHandle(file);
    std::string out;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        end = end == std::string::npos ? text.size() : end + 1;
        std::string line = text.substr(at, end - at);
        at = end;
        std::string bare = line;
        while (!bare.empty() && (bare.back() == '\n' || bare.back() == '\r')) bare.pop_back();
        if (_strcmpi(bare.c_str(), ("NUL=" + path).c_str()) == 0) {
            cancelled = true;
            continue;
        }
        out += line;
    }
    if (!cancelled) return false;
    file = CreateFileA(list.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    WriteFile(file, out.data(), static_cast<DWORD>(out.size()), &written, NULL);
    CloseHandle(file);
    return true;
}
