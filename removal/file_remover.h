// The file removal: every file of the removal profile deleted from the system directories, searched for
// below the driver and processor directories, and the family's OEM directories emptied and removed; a
// file that cannot go now is scheduled for deletion at the next start of Windows, by the mechanism of the
// version class.
#pragma once

#include "base/scheduled_deletions.h"
#include "removal/removal_context.h"

// The directories the file removal deletes a listed name from (directDirs: the system, Windows and colour
// directories) and searches below (searchDirs: the driver, processor and INF directories, on the NT family
// also those of "Windows 4.0"), as full paths ending in a backslash, sorted, without duplicates.
// colorDirectory, when given, stands for the colour directory instead of resolving it (which makes the
// system directory's "Color" where no colour management library names one): the capture only reads.
void BuildFileRemovalLists(const COSVersion& os, CTextList& directDirs, CTextList& searchDirs,
                           const char* colorDirectory = nullptr);
// Deletes each file of the files list (the text before a first "="); NRESTART.EXE with the last printer
// when no restart is needed; on Win32s nreg32s.ini of the Windows directory with the last printer.
void RemoveFiles(CRemovalContext& context);
// Deletes one file name from every place; sets the database's restartNeeded when a copy was scheduled.
void RemoveFile(CRemovalContext& context, const char* name);
// Deletes a file (read-only, hidden and system attributes cleared first); one that cannot be deleted for
// another reason than its absence is scheduled. 1 when it scheduled (0 too when the version class's
// mechanism could not take it: no nwininit.exe, or MoveFileExA refused). A file that was there goes to the
// log as an item of that kind (removed, scheduled with its mechanism, or failed when it could not be
// scheduled).
int DeleteOrSchedule(CRemovalContext& context, const char* path, ItemKind kind = ItemKind::File);
// Deletes every file of that name in directory and, depth levels down, in its subdirectories (removing
// them once empty when removeDirectories is set). 1 when a file had to be scheduled.
int DeleteMatchingFiles(CRemovalContext& context, const char* directory, const char* fileName, int depth,
                        int removeDirectories);
// 1 when the directory holds nothing but "." and ".."; a path shorter than four characters is not empty.
int IsDirectoryEmpty(const char* path);
// Removes a folder that is empty (kept in the backup as a folder first) and logs it; false when it stays.
bool RemoveEmptyFolder(CRemovalContext& context, const char* path);
