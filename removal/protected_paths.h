// The directories the file removal may never empty or remove: drive roots, share roots, and the Windows
// directories (Windows, system, program files, the user's profile, the printing and colour directories)
// with every directory on the way to them. One list, used by every remover that removes directories.
#pragma once

#include "app/platform.h"

// Why emptying and removing the directory would damage Windows, or null when it may be done. The path is
// resolved first ("." and ".." components, relative paths, doubled backslashes).
const char* ProtectedDirectoryReason(const char* directory);
