// Files deleted at the next start of Windows: scheduled where a file in use cannot go now, and taken off the
// lists again when a restore puts the file back. Each platform has its list: the session manager's pending
// operations (the NT family, through MoveFileExA), WININIT.INI in the Windows directory (Windows 9x), and
// nwininit.ini beside the program, which the family's helper nwininit.exe works through (Win32s).
#pragma once

#include <string>

#include "base/os_version.h"

// Adds the file to the session manager's pending deletions (MoveFileExA); false with GetLastError's code set.
bool ScheduleSessionManagerDelete(const char* path);
// Adds NUL=path to the [RENAME] list of WININIT.INI in the Windows directory.
void ScheduleWininitDelete(const char* path);
// Adds path=NUL to the [RENAME] section of nwininit.ini in the program directory, when the helper
// nwininit.exe is there; 1 when it wrote the entry.
int ScheduleNwininitDelete(const char* path);
// Takes a file off the list of deletions at the next start of its platform; true when it was on it.
bool CancelScheduledDeletion(const std::string& path, const COSVersion& os);
