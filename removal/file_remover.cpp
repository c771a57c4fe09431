#include "removal/file_remover.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <map>
#include <string>
#include <vector>

#include "base/path_parts.h"
#include "removal/file_index.h"

namespace {

// A path of a directory and a name; false when it would not fit.
bool Join(char* out, size_t size, const char* directory, const char* name) {
    size_t n = strlen(directory);
    const char* separator = n && directory[n - 1] == '\\' ? "" : "\\";
    return snprintf(out, size, "%s%s%s", directory, separator, name) < static_cast<int>(size);
}

// The name and extension of a file name that may carry a directory.
void FileNameOf(const char* name, char* out, size_t size) {
    char fname[_MAX_FNAME], ext[_MAX_EXT];
    _splitpath(name, NULL, NULL, fname, ext);
    snprintf(out, size, "%s%s", fname, ext);
}

// Schedules a file that could not be deleted (error) and logs how; 1 when the file is on the list of its
// version class's mechanism for the next start of Windows.
int ScheduleByVersionClass(const CRemovalContext& context, const char* path, ItemKind kind, DWORD error) {
    switch (context.osVersion.GetVersionClass()) {
    case 1:
    case 4:
        if (ScheduleNwininitDelete(path)) {
            context.Report(kind, path, CRunLog::SCHEDULED, error, "nwininit.ini");
            return 1;
        }
        context.Report(kind, path, CRunLog::FAILED, error, "no nwininit.exe to schedule it for the restart");
        return 0;
    case 2:
    case 3:
    case 7:
        ScheduleWininitDelete(path);
        context.Report(kind, path, CRunLog::SCHEDULED, error, "WININIT.INI");
        return 1;
    default:
        if (ScheduleSessionManagerDelete(path)) {
            context.Report(kind, path, CRunLog::SCHEDULED, error, "MoveFileExA");
            return 1;
        }
        context.Report(kind, path, CRunLog::FAILED, GetLastError(), "MoveFileExA could not schedule it");
        return 0;
    }
}

const int kSearchDepth = 2;

// An OEM directory, or a folder below it, once it is empty: never a folder Windows or a user owns.
void RemoveOemFolder(CRemovalContext& context, const char* path) {
    if (!IsDirectoryEmpty(path)) return;
    if (context.Refused(ItemKind::Folder, path, context.keeper->Folder(path))) return;
    RemoveEmptyFolder(context, path);
}

struct DirectoryRow {
    int locationCode;
    bool search;
    bool ntOnly;
};
const DirectoryRow kDirectoryRows[] = {
    {PRINTDRIVERDIR, true, false}, {SYSDIR, false, false},         {WINDIR, false, false},
    {PRINTPROCDIR, true, false},   {COLORDIR, false, false},       {INFDIR, true, false},
    {PRINTDRIVERDIR_W40, true, true}, {PRINTPROCDIR_W40, true, true},
};

// The indexes of one stage's directories: each direct directory by itself, each searched tree.
struct StageIndexes {
    std::vector<CFileIndex> direct;
    std::vector<CFileIndex> searched;
};

// RemoveFile with the stage's indexes (null: try every place and walk the trees).
void RemoveFileWith(CRemovalContext& context, const char* name, StageIndexes* indexes) {
    const unsigned linesBefore = context.ReportedLines();
    char fileName[MAX_PATH];
    FileNameOf(name, fileName, sizeof fileName);
    // A pattern, a stream or a name Windows would cut names no file of the list.
    if (context.Refused(ItemKind::File, name, context.keeper->FileName(fileName))) return;
    CUninstallDatabase& db = *context.database;
    const std::string key = indexes ? CFileIndex::KeyOf(fileName) : std::string();
    size_t place = 0;
    for (const char* directory : *context.directDirs) {
        // A directory listed at the start of the stage holds no file it did not list then (a direct
        // directory's index is of its own entries only).
        const CFileIndex* listed = indexes ? &indexes->direct[place++] : nullptr;
        if (listed && listed->Listed() && !listed->HoldsKey(key)) continue;
        char path[MAX_PATH];
        if (Join(path, sizeof path, directory, fileName) && DeleteOrSchedule(context, path)) db.restartNeeded = 1;
    }
    size_t tree = 0;
    for (const char* directory : *context.searchDirs) {
        if (!indexes) {
            if (DeleteMatchingFiles(context, directory, fileName, kSearchDepth, 0)) db.restartNeeded = 1;
            continue;
        }
        for (const CFileIndex::Entry* file : indexes->searched[tree++].FindKey(key))
            if (DeleteOrSchedule(context, file->path.c_str())) db.restartNeeded = 1;
    }
    for (const char* oemPath : db.removal.oemPaths) {
        std::string directory;
        // A folder of Windows or of a user (or one that holds one) is never emptied or removed.
        if (context.Refused(ItemKind::Folder, oemPath, context.keeper->OemDirectory(oemPath, directory))) continue;
        if (DeleteMatchingFiles(context, directory.c_str(), name, 3, 1)) db.restartNeeded = 1;
        RemoveOemFolder(context, directory.c_str());
    }
    // A name found nowhere still gets its line.
    if (context.ReportedLines() == linesBefore) context.Report(ItemKind::File, name, CRunLog::NOT_THERE);
}

// What became of the OEM directories once every file went: one that still exists holds other files.
void ReportOemDirectories(const CRemovalContext& context) {
    for (const char* oemPath : context.database->removal.oemPaths) {
        std::string directory;
        if (context.keeper->OemDirectory(oemPath, directory)) continue;  // refused already
        const DWORD attributes = GetFileAttributesA(directory.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES)
            context.Report(ItemKind::Folder, directory, CRunLog::NOT_THERE);
        else
            context.Report(ItemKind::Folder, directory, CRunLog::KEPT, 0, "it holds other files");
    }
}

}  // namespace

void BuildFileRemovalLists(const COSVersion& os, CTextList& directDirs, CTextList& searchDirs,
                           const char* colorDirectory) {
    for (const DirectoryRow& row : kDirectoryRows) {
        if (row.ntOnly && !os.IsWinNT()) continue;
        CPathParts where;
        if (row.locationCode != COLORDIR || !colorDirectory) where.Resolve(row.locationCode);
        CTextList& list = row.search ? searchDirs : directDirs;
        list.Add(row.locationCode == COLORDIR && colorDirectory ? colorDirectory : where.FullPath());
        list.Sort();
        list.Unique();
    }
}

bool RemoveEmptyFolder(CRemovalContext& context, const char* path) {
    if (!IsDirectoryEmpty(path)) return false;
    CBackupRecord record;
    record.kind = "folder";
    record.Add("path", path);
    if (!context.Save(ItemKind::Folder, path, CSavedForm::Record(record))) return false;
    const bool removed = RemoveDirectoryA(path) != 0;
    context.ReportResult(ItemKind::Folder, path, removed ? ERROR_SUCCESS : GetLastError());
    return removed;
}

int DeleteOrSchedule(CRemovalContext& context, const char* path, ItemKind kind) {
    DWORD attributes = GetFileAttributesA(path);
    // Nothing there: nothing to delete, keep or schedule (most names of a list are in none of the places
    // tried).
    if (attributes == INVALID_FILE_ATTRIBUTES &&
        (GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND))
        return 0;
    // A directory of that name is no file of the list: its attributes stay and nothing is scheduled.
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return 0;
    // What Windows or a printer that stays needs is neither deleted nor scheduled.
    if (attributes != INVALID_FILE_ATTRIBUTES && context.Refused(kind, path, context.keeper->File(path))) return 0;
    // The file's bytes and attributes are kept before it goes, also when it can only be scheduled.
    if (!context.Save(kind, path, CSavedForm::File(path))) return 0;
    if (attributes != INVALID_FILE_ATTRIBUTES)
        SetFileAttributesA(path, attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                                                  FILE_ATTRIBUTE_SYSTEM));
    if (DeleteFileA(path)) {
        context.Report(kind, path, CRunLog::REMOVED);
        return 0;
    }
    DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return 0;
    // Only a file that really is on a list waits for the restart: without it the restart would be offered
    // for nothing.
    if (!ScheduleByVersionClass(context, path, kind, error)) return 0;
    context.pendingAtRestart = 1;
    return 1;
}

int DeleteMatchingFiles(CRemovalContext& context, const char* directory, const char* fileName, int depth,
                        int removeDirectories) {
    char pattern[MAX_PATH];
    if (!Join(pattern, sizeof pattern, directory, "*.*")) return 0;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA(pattern, &entry);
    if (find == INVALID_HANDLE_VALUE) return 0;
    int scheduled = 0;
    do {
        char path[MAX_PATH];
        if (!Join(path, sizeof path, directory, entry.cFileName)) continue;
        if (_strcmpi(entry.cFileName, fileName) == 0) {
            if (DeleteOrSchedule(context, path)) scheduled = 1;
        } else if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && entry.cFileName[0] != '.' && depth > 0) {
            if (DeleteMatchingFiles(context, path, fileName, depth - 1, removeDirectories)) scheduled = 1;
            if (removeDirectories) RemoveOemFolder(context, path);
        }
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    return scheduled;
}

int IsDirectoryEmpty(const char* path) {
    if (strlen(path) < 4) return 0;
    char pattern[MAX_PATH];
    if (!Join(pattern, sizeof pattern, path, "*.*")) return 0;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA(pattern, &entry);
    if (find == INVALID_HANDLE_VALUE) return 1;
    int empty = 1;
    do {
        if (strcmp(entry.cFileName, ".") != 0 && strcmp(entry.cFileName, "..") != 0) empty = 0;
    } while (empty && FindNextFileA(find, &entry));
    FindClose(find);
    return empty;
}

void RemoveFile(CRemovalContext& context, const char* name) { RemoveFileWith(context, name, NULL); }

void RemoveFiles(CRemovalContext& context) {
    CUninstallDatabase& db = *context.database;
    CTextList& files = db.removal.files;
    files.Sort();
    files.Unique();
    // The directories are listed once; only the files of the list leave them during this stage.
    StageIndexes indexes;
    for (const char* directory : *context.directDirs) {
        indexes.direct.emplace_back();
        indexes.direct.back().Build(directory, 0, true);
    }
    for (const char* directory : *context.searchDirs) {
        indexes.searched.emplace_back();
        indexes.searched.back().Build(directory, kSearchDepth);
    }
    bool nreg32s = false;
    for (const char* item : files) {
        char name[TEXT_SIZE];
        CopyText(name, item);
        NextToken(name, '=');
        if (!name[0]) continue;
        if (_strcmpi(name, "nreg32s.ini") == 0) nreg32s = true;
        RemoveFileWith(context, name, &indexes);
    }
    const bool win32s = context.osVersion.IsWin32s();
    if (db.remainingCount == 0 && !win32s && !db.restartNeeded) RemoveFileWith(context, "NRESTART.EXE", &indexes);
    if (db.remainingCount == 0 && win32s && nreg32s) {
        CPathParts where;
        where.Resolve(WINDIR);
        char path[MAX_PATH];
        if (Join(path, sizeof path, where.DirectoryPath(), "nreg32s.ini")) {
            if (ScheduleNwininitDelete(path))
                context.Report(ItemKind::File, path, CRunLog::SCHEDULED, 0, "nwininit.ini");
            else
                context.Report(ItemKind::File, path, CRunLog::FAILED, 0, "no nwininit.exe to schedule it for the restart");
        }
    }
    ReportOemDirectories(context);
}
