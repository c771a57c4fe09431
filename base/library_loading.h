// How the tool loads libraries. It runs as administrator, often from a folder a user can write (a
// download, the desktop, a temporary folder), so nothing it loads may come from where a user can put a
// file: not from the program's own folder, not from the current directory.
#pragma once

#include "base/platform.h"

// The first thing WinMain does: the DLL search of the process is the system directory only
// (SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32), looked up at run time); a Windows without it
// (Windows 7 without its update) at least loses the current directory (SetDllDirectoryA("")), and every
// library the tool names is loaded by its full path there. Returns whether the restricted search is on.
bool RestrictDllSearch();

// A library of Windows by its file name ("mscms.dll"), from the system directory only; null when it is
// not there (the last error says why).
HMODULE LoadSystemLibrary(const char* fileName);

// An uninstall hook library by its full path. The libraries it imports itself are looked for beside it
// and in the system directory (LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32; on a
// Windows without those flags LOAD_WITH_ALTERED_SEARCH_PATH does the same).
HMODULE LoadHookLibrary(const char* fullPath);
