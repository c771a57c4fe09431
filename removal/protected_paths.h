// The directories the file removal may never empty or remove: drive roots, share roots, the Windows
// directories (Windows, system, program files, the user's profile, the printing and colour directories)
// with every directory on the way to them, and every directory inside the Windows directory but those
// below its printing directories. One list, used by every remover that removes directories.
#pragma once

#include "app/platform.h"

// Why emptying and removing the directory would damage Windows, or null when it may be done; then resolved
// holds the directory to work on ("." and ".." components and doubled backslashes resolved). Only full paths
// ("X:\..." or "\\server\share\...") are taken: a relative path would depend on the current directory.
const char* ProtectedDirectoryReason(const char* directory, char* resolved, size_t resolvedSize);
