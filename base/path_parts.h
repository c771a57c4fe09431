// One file-system path split into its parts, filled from a location code that names a
// well-known place; and the search for the driver family's programs in its OEM directories.
#pragma once

#include "base/os_version.h"

// Location codes: any other value (0 included) resolves to nothing.
enum LocationCode {
    MODULEFILE = 1,
    MODULEDIR = 2,
    WINDIR = 3,
    SYSDIR = 4,
    TEMPDIR = 5,
    DESKTOP = 6,
    FAVORITES = 7,
    TEMPFILE = 8,
    APPDATA = 9,
    INTERNET_CACHE = 10,
    COOKIES = 11,
    FONTS = 12,
    HISTORY = 13,
    NETHOOD = 14,
    PERSONAL = 15,
    PRINTHOOD = 16,
    PROGRAMS = 17,
    RECENT = 18,
    SENDTO = 19,
    STARTMENU = 20,
    STARTUP_FOLDER = 21,
    ALTSTARTUP = 22,
    COMMON_STARTUP = 23,
    COMMON_ALTSTARTUP = 24,
    TEMPLATES = 25,
    PRINTDRIVERDIR = 26,
    PRINTDRIVERDIR_W40 = 27,
    PRINTPROCDIR = 28,
    PRINTPROCDIR_W40 = 29,
    PROGRAM_FILES = 30,
    PRINTERS_FOLDER = 31,
    COMMON_PROGRAMS = 32,
    COLORDIR = 33,
    CURDIR = 34,
    INFDIR = 35,
};

class CPathParts {
public:
    CPathParts() { Clear(); }

    // Clears all parts, resolves the code and splits the text. Always 1.
    int Resolve(int code);
    // Searches fname+ext along searchPath (NULL: the default order); on success splits the found path.
    int SearchFile(const char* searchPath);
    // 1 if the composed drive+dir+fname+ext names an existing file (not a directory).
    int FileExists();
    // Appends sub as a subdirectory of dir, composes the whole path and returns it.
    const char* AppendSubdirectory(const char* sub);
    // Composes drive and dir into path and returns it.
    const char* DirectoryPath();
    // Composes drive, dir, fname and ext into path and returns it.
    const char* FullPath();
    void Clear();

    char drive[MAX_PATH];
    char dir[MAX_PATH];
    char fname[MAX_PATH];
    char ext[MAX_PATH];
    char path[MAX_PATH];

private:
    void Split(const char* text);
    void Compose(bool withFile);
};

// Writes to out (at least 260 characters) the full path of the first existing file of that name
// in the directories listed under HKLM\SOFTWARE\VESTRAL\OEM\OEMPaths. 1 if found, else 0.
int FindOemProgram(char* out, const char* fileName);

// The folder of a shell's special folder (CSIDL_...) into text (at least 260 characters), ending in a
// backslash; left as it is when the shell has no such folder, on Win32s, or when it would not fit.
void ResolveShellFolder(int csidl, char* text);
