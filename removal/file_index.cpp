#include "removal/file_index.h"

#include <stdio.h>
#include <string.h>
#include "base/platform.h"

#include "base/text.h"

bool CFileIndex::Build(const char* directory, int depth, bool aliases) {
    byName.clear();
    folders.clear();
    listed = Walk(directory, depth, aliases, -1);
    return listed;
}

bool CFileIndex::Walk(const char* directory, int depth, bool aliases, int within) {
    const size_t n = strlen(directory);
    const char* separator = n && directory[n - 1] == '\\' ? "" : "\\";
    char pattern[MAX_PATH];
    if (snprintf(pattern, sizeof pattern, "%s%s*.*", directory, separator) >= static_cast<int>(sizeof pattern))
        return false;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA(pattern, &entry);
    if (find == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND;
    do {
        char path[MAX_PATH];
        if (snprintf(path, sizeof path, "%s%s%s", directory, separator, entry.cFileName) >= static_cast<int>(sizeof path))
            continue;
        const bool folder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        std::string name = TextKey(entry.cFileName);
        byName[name].push_back(Entry{path, folder, within});
        if (aliases && entry.cAlternateFileName[0]) {
            const std::string alias = TextKey(entry.cAlternateFileName);
            if (alias != name) byName[alias].push_back(Entry{path, folder, within});
        }
        if (folder && entry.cFileName[0] != '.' && depth > 0) {
            folders.push_back(Folder{name, within});
            Walk(path, depth - 1, aliases, static_cast<int>(folders.size()) - 1);
        }
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    return true;
}

std::string CFileIndex::KeyOf(const char* name) { return TextKey(name); }

std::vector<const CFileIndex::Entry*> CFileIndex::FindKey(const std::string& wanted) const {
    std::vector<const Entry*> out;
    auto found = byName.find(wanted);
    if (found == byName.end()) return out;
    for (const Entry& entry : found->second) {
        bool entered = true;
        for (int d = entry.within; d >= 0 && entered; d = folders[static_cast<size_t>(d)].parent)
            entered = folders[static_cast<size_t>(d)].name != wanted;
        if (entered) out.push_back(&entry);
    }
    return out;
}
