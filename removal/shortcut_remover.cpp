#include "removal/shortcut_remover.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "app/path_parts.h"
#include "removal/file_remover.h"
#include "removal/progman.h"

namespace {

const DWORD kGroupWaitMs = 3000;
const DWORD kGroupPollMs = 50;

struct ShortcutFolder {
    int code;
    bool withGroup;
};
const ShortcutFolder kNormalFolders[] = {{PROGRAMS, true}, {COMMON_PROGRAMS, true}};
const ShortcutFolder kStartupFolders[] = {{PROGRAMS, true},       {COMMON_PROGRAMS, true},   {STARTUP_FOLDER, false},
                                  {ALTSTARTUP, false},    {COMMON_STARTUP, false},   {COMMON_ALTSTARTUP, false}};

// A group must be a plain folder name: anything else would lead the deletion out of the program groups.
const char* GroupReason(const char* group) {
    if (strpbrk(group, "\\/:")) return "it is not a plain folder name";
    if (strstr(group, "..")) return "it names \"..\"";
    // Windows drops trailing dots and blanks: such a name is the program groups' folder itself.
    if (strspn(group, ". ") == strlen(group)) return "it names no folder of its own";
    return nullptr;
}

void DeleteShortcutFiles(CRemovalContext& context, const char* folder, const char* item) {
    char fname[_MAX_FNAME], ext[_MAX_EXT];
    _splitpath(item, NULL, NULL, fname, ext);
    char path[MAX_PATH];
    const char* const forms[] = {ext, ".LNK", ".PIF"};
    for (const char* form : forms)
        if (snprintf(path, sizeof path, "%s%s%s", folder, fname, form) < MAX_PATH) DeleteOrSchedule(context, path, "shortcut");
}

// Removes the group's folder once it is empty, waiting up to three seconds for it to become so.
void RemoveGroupFolder(CRemovalContext& context, const char* group) {
    CPathParts where;
    where.Resolve(context.osVersion.IsWinNT() ? COMMON_PROGRAMS : PROGRAMS);
    if (!where.DirectoryPath()[0]) return;  // no such folder here: the group would be a relative path
    char folder[MAX_PATH];
    CopyText(folder, where.AppendSubdirectory(group));
    size_t n = strlen(folder);
    if (n > 3 && folder[n - 1] == '\\') folder[n - 1] = 0;
    DWORD start = GetTickCount();
    while (!IsDirectoryEmpty(folder)) {
        DWORD now = GetTickCount();
        if (now < start || now - start > kGroupWaitMs) {
            context.Report("folder", folder, CRunLog::FAILED, ERROR_DIR_NOT_EMPTY, "not empty within three seconds");
            return;
        }
        Sleep(kGroupPollMs);
    }
    BOOL removed = RemoveDirectoryA(folder);
    context.ReportResult("folder", folder, removed ? ERROR_SUCCESS : GetLastError());
}

// The item's files in the folders of its table: the group folders, and the start-up folders with STARTUP.
void RemoveShortcutFiles(CRemovalContext& context, const char* group, const char* name, bool startup) {
    const ShortcutFolder* folders = startup ? kStartupFolders : kNormalFolders;
    const size_t count = startup ? sizeof kStartupFolders / sizeof kStartupFolders[0]
                                 : sizeof kNormalFolders / sizeof kNormalFolders[0];
    for (size_t i = 0; i < count; ++i) {
        CPathParts where;
        where.Resolve(folders[i].code);
        // A folder this Windows does not have (the common folders on the 9x family, ALTSTARTUP under Wine)
        // is skipped: its empty path would make the deletion relative to the current directory.
        if (!where.DirectoryPath()[0]) continue;
        char folder[MAX_PATH];
        CopyText(folder, folders[i].withGroup ? where.AppendSubdirectory(group) : where.DirectoryPath());
        size_t n = strlen(folder);
        if (n && folder[n - 1] != '\\' && n + 1 < sizeof folder) strcat(folder, "\\");
        DeleteShortcutFiles(context, folder, name);
    }
}

}  // namespace

void RemoveShortcuts(CRemovalContext& context) {
    CTextList& shortcuts = context.database->removal.shortcuts;
    shortcuts.Unique();
    shortcuts.Sort();
    // Descending, and every item of a group before any item naming a group alone, so that a group's folder
    // is emptied before it is removed (quotes around a group would otherwise sort its items first).
    CTextList descending = shortcuts;
    descending.Reverse();
    for (int pass = 0; pass < 2; ++pass) {
        for (const char* text : descending) {
            char item[TEXT_SIZE];
            CopyText(item, text);
            char* name = NextToken(item, ',');
            char* place = name ? NextToken(name, ',') : NULL;
            char* group = TrimChar(item, '"');
            if (name) TrimChar(name, '"');
            const bool groupOnly = !name || !name[0];
            if (!group[0] || groupOnly != (pass == 1)) continue;
            if (const char* why = GroupReason(group)) {
                ReportRefusedItem(context, "shortcut", "shortcut", text, why);
                continue;
            }
            const unsigned linesBefore = context.ReportedLines();
            if (groupOnly) {
                RemoveGroupFolder(context, group);
            } else if (context.osVersion.IsWin32s()) {
                const std::string item = std::string("Program Manager ") + group + ", " + name;
                if (DeleteProgramManagerItem(group, name))
                    context.Report("shortcut", item, CRunLog::REMOVED);
                else
                    context.Report("shortcut", item, CRunLog::FAILED, 0, "Program Manager did not delete it");
            } else {
                RemoveShortcutFiles(context, group, name, place && _strcmpi(TrimChar(place, '"'), "STARTUP") == 0);
            }
            // An item found in none of its folders still gets its line.
            if (context.ReportedLines() == linesBefore) context.Report("shortcut", text, CRunLog::NOT_THERE);
        }
    }
}
