// The logs of a folder and of its subfolders, one level down (log_reader.h).
#include <algorithm>

#include "base/platform.h"
#include "base/whole_file.h"
#include "report/log_reader.h"
#include "base/text.h"

namespace {

struct FolderEntry {
    std::string path;
    std::string key;  // the path compared without case, for a stable order
    bool directory = false;
    unsigned long long size = 0;
};

// The entries of a folder, "." and ".." left out; false (and the error) when it cannot be listed.
bool ListFolder(const std::string& folder, std::vector<FolderEntry>& entries, unsigned long& error) {
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES;  // an empty folder
    }
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        FolderEntry entry;
        entry.path = folder + "\\" + name;
        entry.key = TextKey(entry.path.c_str());
        entry.directory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entry.size = (static_cast<unsigned long long>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
        entries.push_back(entry);
    } while (FindNextFileA(find, &found));
    FindClose(find);
    std::sort(entries.begin(), entries.end(), [](const FolderEntry& a, const FolderEntry& b) {
        return a.key < b.key;
    });
    return true;
}

void ReadOneFile(const FolderEntry& entry, LogFolder& result) {
    ++result.filesSeen;
    if (entry.size > kLargestLog) {
        result.notes.push_back(entry.path + ": skipped, " + std::to_string(entry.size / (1024 * 1024)) +
                               " MB is more than a log of the tool holds");
        return;
    }
    std::string bytes;
    DWORD error = 0;
    if (!ReadWholeFile(entry.path, bytes, &error)) {
        result.notes.push_back(entry.path + ": cannot be read (error " + std::to_string(error) + ")");
        return;
    }
    if (LooksLikeLog(bytes)) result.logs.push_back(ReadLogText(bytes, entry.path));
}

}  // namespace

bool ReadLogFolder(const std::string& given, LogFolder& result, unsigned long& error) {
    std::string folder = given;
    while (folder.size() > 3 && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
    error = 0;
    const DWORD attributes = GetFileAttributesA(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        error = GetLastError();
        return false;
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        error = ERROR_DIRECTORY;
        return false;
    }
    if (folder.back() == '\\') folder.pop_back();  // a drive's root: "C:" and its entries "C:\NAME"
    std::vector<FolderEntry> entries;
    if (!ListFolder(folder, entries, error)) return false;
    for (const FolderEntry& entry : entries) {
        if (!entry.directory) {
            ReadOneFile(entry, result);
            continue;
        }
        // One level down: a machine's own folder of logs; what lies deeper (a capture's drive) is not read.
        std::vector<FolderEntry> inner;
        unsigned long innerError = 0;
        if (!ListFolder(entry.path, inner, innerError)) {
            result.notes.push_back(entry.path + ": cannot be read (error " + std::to_string(innerError) + ")");
            continue;
        }
        for (const FolderEntry& file : inner)
            if (!file.directory) ReadOneFile(file, result);
    }
    error = 0;
    return true;
}
