// sfc.dll: Windows File Protection. The tool finds it at run time (LoadLibraryExA with
// LOAD_LIBRARY_SEARCH_SYSTEM32, GetProcAddress); the library exists on the NT family only.
#pragma once

#include "simwin/types.h"

// TRUE when the file is one of Windows's own (simwin/standard_files.h) or one the machine marks protected
// ([file] protected = yes), and it exists; otherwise FALSE with ERROR_FILE_NOT_FOUND (2), as Windows answers
// for a file it does not protect. rpcHandle must be null. The name is a full path (relative names are taken
// against the current directory).
BOOL WINAPI SfcIsFileProtected(HANDLE rpcHandle, LPCWSTR fileName);
