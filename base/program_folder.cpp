#include "base/program_folder.h"

#include <string.h>

#include "base/folder_paths.h"
#include "base/os_version.h"
#include "base/path_parts.h"

namespace {

// The folders a user can write, as full paths: the folder of the profiles, the temporary directories.
void UserWritableFolders(std::string folders[3]) {
    char text[MAX_PATH] = "";
    ResolveShellFolder(CSIDL_PROFILE, text);
    std::string profile;
    if (FullFolderPath(text, profile)) {
        // The profiles' folder ("C:\Users") holds every user's profile and the public one. Where the
        // profile sits directly on a drive root, the profile itself is as far as the rule goes.
        const size_t cut = profile.find_last_of('\\');
        folders[0] = cut != std::string::npos && cut > 2 ? profile.substr(0, cut) : profile;
    }
    char temp[MAX_PATH] = "";
    const DWORD n = GetTempPathA(sizeof temp, temp);
    if (n > 0 && n < sizeof temp) FullFolderPath(temp, folders[1]);
    char windows[MAX_PATH] = "";
    const UINT w = GetWindowsDirectoryA(windows, sizeof windows);
    if (w > 0 && w + 6 < sizeof windows) {
        strcat(windows, "\\Temp");
        FullFolderPath(windows, folders[2]);
    }
}

}  // namespace

bool IsInUserWritableFolder(const char* path) {
    if (!COSVersion().IsWinNT()) return false;
    std::string full;
    if (!FullFolderPath(path, full)) return false;
    std::string folders[3];
    UserWritableFolders(folders);
    for (const std::string& folder : folders)
        if (PathIsWithin(full, folder)) return true;
    return false;
}

std::string ProgramFolder() {
    CPathParts program;
    program.Resolve(MODULEDIR);
    return program.path;
}

bool ProgramFolderIsTrusted() { return !IsInUserWritableFolder(ProgramFolder().c_str()); }
