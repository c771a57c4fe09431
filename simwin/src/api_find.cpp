// kernel32 on the current machine: directory searches (FindFirstFileA, FindNextFileA, FindClose).
//
// A pattern is matched as NTFS matches it: against each entry's name and, for a long name, against its 8.3
// alias as well ("*.htm" finds "page.html" through "PAGE~1.HTM"), with the DOS wildcards FindFirstFileA
// makes of "*", "?" and "." (matchFileName, files.h).
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "simwin/machine.h"
#include "simwin/paths.h"
#include "simwin/win32.h"

#include "file_access.h"

using simwin::current;
using simwin::FileNode;
using simwin::PathLookup;

namespace {

struct FindHandle : simwin::HandleObject {
    std::vector<WIN32_FIND_DATAA> entries;
    size_t next = 0;
};

bool hasWildcard(const std::string& pattern) { return pattern.find_first_of("*?<>\"") != std::string::npos; }

void fillFindData(WIN32_FIND_DATAA& d, const std::string& name, FileNode& n) {
    std::memset(&d, 0, sizeof d);
    if (!simwin::isShortName(name))  // the 8.3 alias of a long name; empty for an 8.3 name
        std::snprintf(d.cAlternateFileName, sizeof d.cAlternateFileName, "%s", current().files.aliasOf(n).c_str());
    d.dwFileAttributes = simwin::attributesOf(n);
    if (!n.isDirectory) {
        uint64_t size = n.content.size();
        d.nFileSizeHigh = static_cast<DWORD>(size >> 32);
        d.nFileSizeLow = static_cast<DWORD>(size);
    }
    std::snprintf(d.cFileName, sizeof d.cFileName, "%s", name.c_str());
}

// The directory part and the pattern of a search's argument; false (with the error) when it cannot be one.
bool splitSearch(const std::string& text, std::string& directory, std::string& pattern, DWORD& error) {
    std::string spec = text;
    std::replace(spec.begin(), spec.end(), '/', '\\');
    // The last component is the pattern, taken as written; the rest names the directory.
    size_t cut = spec.find_last_of('\\');
    if (cut != std::string::npos) {
        directory = spec.substr(0, cut + 1);
        pattern = spec.substr(cut + 1);
    } else if (spec.size() >= 2 && spec[1] == ':') {
        directory = spec.substr(0, 2);
        pattern = spec.substr(2);
    } else {
        directory = ".";
        pattern = spec;
    }
    if (pattern.empty()) error = ERROR_FILE_NOT_FOUND;
    else if (pattern.find_first_of("|:/\\") != std::string::npos) error = ERROR_INVALID_NAME;
    if (error || hasWildcard(pattern)) return !error;
    // No wildcard: the name is looked up like any path ("." and "..", trailing dots and spaces).
    std::string full = current().files.fullPath(spec);
    if (full.size() <= 3) {
        error = ERROR_FILE_NOT_FOUND;
        return false;
    }
    size_t slash = full.find_last_of('\\');
    directory = full.substr(0, slash == 2 ? 3 : slash);
    pattern = full.substr(slash + 1);
    return true;
}

// Whether an entry matches: by its name, or by the 8.3 alias of a long name.
bool matches(const std::string& pattern, FileNode& entry) {
    if (simwin::matchFileName(pattern, entry.name)) return true;
    return !simwin::isShortName(entry.name) && simwin::matchFileName(pattern, current().files.aliasOf(entry));
}

// The entries of a directory a pattern finds, "." and ".." first where the directory has them.
void collect(FileNode& dir, bool hasDots, const std::string& pattern, std::vector<WIN32_FIND_DATAA>& out) {
    WIN32_FIND_DATAA d;
    if (hasDots) {
        for (const char* dots : {".", ".."}) {
            if (!simwin::matchFileName(pattern, dots)) continue;
            fillFindData(d, dots, dir);
            out.push_back(d);
        }
    }
    if (!hasWildcard(pattern)) {
        // A plain name finds at most the one entry of that name or alias, without walking the directory.
        auto c = dir.children.find(pattern);
        FileNode* entry = c != dir.children.end() ? c->second.get() : current().files.childByAlias(dir, pattern);
        if (!entry) return;
        fillFindData(d, entry->name, *entry);
        out.push_back(d);
        return;
    }
    for (auto& c : dir.children) {
        if (!matches(pattern, *c.second)) continue;
        fillFindData(d, c.second->name, *c.second);
        out.push_back(d);
    }
}

HANDLE failSearch(DWORD error) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
}

BOOL fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

}  // namespace

HANDLE WINAPI FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData) {
    if (!lpFileName || !lpFindFileData) return failSearch(ERROR_INVALID_PARAMETER);
    if (!*lpFileName) return failSearch(ERROR_PATH_NOT_FOUND);
    if (std::strlen(lpFileName) > MAX_PATH) return failSearch(ERROR_FILENAME_EXCED_RANGE);
    std::string directory, pattern;
    DWORD error = 0;
    if (!splitSearch(lpFileName, directory, pattern, error)) return failSearch(error);
    PathLookup dir = current().files.lookup(directory);
    if (dir.error == ERROR_INVALID_NAME || dir.error == ERROR_BAD_NETPATH) return failSearch(dir.error);
    if (dir.error || !dir.node->isDirectory) return failSearch(ERROR_PATH_NOT_FOUND);
    if (simwin::FileSystem::isDenied(dir.node)) return failSearch(ERROR_ACCESS_DENIED);

    auto search = std::make_shared<FindHandle>();
    collect(*dir.node, dir.parent != nullptr, pattern, search->entries);  // a drive root has no "." and ".."
    if (search->entries.empty()) return failSearch(ERROR_FILE_NOT_FOUND);
    *lpFindFileData = search->entries[0];
    search->next = 1;
    return current().handles.add(search);
}

BOOL WINAPI FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData) {
    FindHandle* search = current().handles.get<FindHandle>(hFindFile);
    if (!search) return fail(ERROR_INVALID_HANDLE);
    if (search->next >= search->entries.size()) return fail(ERROR_NO_MORE_FILES);
    if (!lpFindFileData) return fail(ERROR_NOACCESS);
    *lpFindFileData = search->entries[search->next++];
    return TRUE;
}

BOOL WINAPI FindClose(HANDLE hFindFile) {
    if (!current().handles.get<FindHandle>(hFindFile)) return fail(ERROR_INVALID_HANDLE);
    current().handles.close(hFindFile);
    return TRUE;
}
