#include "base/folder_paths.h"

#include <string.h>

bool FullFolderPath(const char* path, std::string& out) {
    out.clear();
    if (!path || !path[0]) return false;
    char full[MAX_PATH];
    char* filePart = NULL;
    const DWORD n = GetFullPathNameA(path, sizeof full, full, &filePart);
    if (n == 0 || n >= sizeof full) return false;
    out = full;
    // "C:\" stays a root; "C:\Dir\" and "\\server\share\" lose their last backslash.
    while (out.size() > 3 && (out.back() == '\\' || out.back() == '/')) out.pop_back();
    return true;
}

bool PathIsWithin(const std::string& path, const std::string& folder) {
    if (folder.empty() || path.size() < folder.size()) return false;
    if (_strnicmp(path.c_str(), folder.c_str(), folder.size()) != 0) return false;
    if (path.size() == folder.size()) return true;
    // A root ("C:\") ends in its backslash already; any other folder must be followed by one.
    return folder.back() == '\\' || path[folder.size()] == '\\';
}
