#include "removal/shortcut_remover.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "base/path_parts.h"
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

void DeleteShortcutFiles(CRemovalContext& context, const char* folder, const char* item) {
    char fname[_MAX_FNAME], ext[_MAX_EXT];
    _splitpath(item, NULL, NULL, fname, ext);
    char path[MAX_PATH];
    const char* const forms[] = {ext, ".LNK", ".PIF"};
    for (const char* form : forms)
        if (snprintf(path, sizeof path, "%s%s%s", folder, fname, form) < MAX_PATH) DeleteOrSchedule(context, path, ItemKind::Shortcut);
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
            context.Report(ItemKind::Folder, folder, CRunLog::FAILED, ERROR_DIR_NOT_EMPTY, "not empty within three seconds");
            return;
        }
        Sleep(kGroupPollMs);
    }
    RemoveEmptyFolder(context, folder);
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

bool ParseShortcutItem(const char* text, CShortcutItem& out) {
    char item[TEXT_SIZE];
    CopyText(item, text);
    char* name = NextToken(item, ',');
    char* place = name ? NextToken(name, ',') : NULL;
    out.group = TrimChar(item, '"');
    out.name = name ? TrimChar(name, '"') : "";
    out.startup = place && _strcmpi(TrimChar(place, '"'), "STARTUP") == 0;
    return !out.group.empty();
}

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
            CShortcutItem item;
            if (!ParseShortcutItem(text, item)) continue;
            const char* group = item.group.c_str();
            const char* name = item.name.c_str();
            const bool groupOnly = item.name.empty();
            if (groupOnly != (pass == 1)) continue;
            if (context.Refused(ItemKind::Shortcut, text, context.keeper->ShortcutGroup(group))) continue;
            const unsigned linesBefore = context.ReportedLines();
            if (groupOnly) {
                RemoveGroupFolder(context, group);
            } else if (context.osVersion.IsWin32s()) {
                const std::string logged = std::string("Program Manager ") + group + ", " + name;
                if (!context.Save(ItemKind::Shortcut, logged, CSavedForm::Nothing())) continue;
                if (DeleteProgramManagerItem(group, name))
                    context.Report(ItemKind::Shortcut, logged, CRunLog::REMOVED);
                else
                    context.Report(ItemKind::Shortcut, logged, CRunLog::FAILED, 0, "Program Manager did not delete it");
            } else {
                RemoveShortcutFiles(context, group, name, item.startup);
            }
            // An item found in none of its folders still gets its line.
            if (context.ReportedLines() == linesBefore) context.Report(ItemKind::Shortcut, text, CRunLog::NOT_THERE);
        }
    }
}
