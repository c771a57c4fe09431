#include "app/capture_folder.h"

#include "base/platform.h"

namespace {

// Whether the folder holds any file or folder.
bool HoldsAnything(const std::string& folder) {
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return false;
    bool any = false;
    do {
        const std::string name = found.cFileName;
        any = name != "." && name != "..";
    } while (!any && FindNextFileA(find, &found));
    FindClose(find);
    return any;
}

}  // namespace

bool ResolveCaptureFolder(const std::string& given, std::string& full, std::string& why) {
    char buffer[MAX_PATH];
    const DWORD n = GetFullPathNameA(given.c_str(), sizeof buffer, buffer, NULL);
    if (n == 0 || n >= sizeof buffer) {
        why = "the folder \"" + given + "\" does not resolve to a full path";
        return false;
    }
    full = buffer;
    if (full.size() > 3 && full.back() == '\\') full.pop_back();
    const DWORD attributes = GetFileAttributesA(full.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        why = "the folder " + full + " is a file; a capture goes into a new or empty folder";
    else if (HoldsAnything(full))
        why = "the folder " + full + " already holds files; a capture goes into a new or empty folder";
    return why.empty();
}
