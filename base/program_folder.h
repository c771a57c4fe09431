// The program's own folder as a place the tool takes things from. The tool is elevated; run from a
// folder a user can write (a download, the desktop, a temporary folder), whatever lies beside it may
// have been put there by anyone. Such a folder then serves as no place for uninstall scripts, for the
// "Strings" of the default script path (which steer the USB device removal) or for uninstall hooks.
#pragma once

#include <string>

// Whether path lies in a folder a user can write: inside a user profile (below the folder that holds
// the profiles, the parent of the user's own profile) or in a temporary directory (the user's and the
// Windows directory's "Temp"). Only the NT family has such folders: false on the 9x and Win32s classes.
bool IsInUserWritableFolder(const char* path);

// Whether the program's own folder may serve as a place for scripts, the default script's "Strings"
// and hook libraries: it is not a folder a user can write.
bool ProgramFolderIsTrusted();

// The program's own folder (drive and directory, ending in a backslash).
std::string ProgramFolder();
