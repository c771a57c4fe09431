#include "removal/ini_remover.h"

#include <stdlib.h>
#include <string.h>

#include <string>

#include "base/path_parts.h"
#include "script/script_file.h"

namespace {

void ReportMissingKey(const CRemovalContext& context, const std::string& item, DWORD error) {
    if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION)
        context.Report(ItemKind::IniKey, item, CRunLog::FAILED, error, "the file cannot be opened for writing");
    else
        context.Report(ItemKind::IniKey, item, CRunLog::NOT_THERE);
}

// The line as it stands, to be written back by the restore.
CBackupRecord IniRecord(const CIniItem& item) { return RecordIniLine(item.path, item.section, item.key); }

}  // namespace

bool ParseIniItem(const char* text, CIniItem& out) {
    char item[TEXT_SIZE];
    CopyText(item, text);
    char* section = NextToken(item, ',');
    char* key = section ? NextToken(section, ',') : NULL;
    if (!key) return false;
    NextToken(key, ',');  // a fourth field is not used
    if (!item[0] || !section[0] || !key[0]) return false;
    // Only the file's name and extension count: the file is always the one in the Windows directory.
    char name[_MAX_FNAME], ext[_MAX_EXT];
    _splitpath(item, NULL, NULL, name, ext);
    CPathParts where;
    where.Resolve(WINDIR);
    CopyTextN(where.fname, name, sizeof where.fname);
    CopyTextN(where.ext, ext, sizeof where.ext);
    out.path = where.FullPath();
    out.section = section;
    out.key = key;
    return true;
}

void RemoveIniEntries(CRemovalContext& context) {
    for (const char* text : context.database->removal.deleteIni) {
        CIniItem item;
        if (!ParseIniItem(text, item)) continue;
        const char* path = item.path.c_str();
        const char* section = item.section.c_str();
        char key[TEXT_SIZE];  // DeleteIniKeyLine lower-cases the key in place
        CopyText(key, item.key.c_str());
        const std::string logged = item.path + " [" + item.section + "] " + item.key;
        if (context.Refused(ItemKind::IniKey, logged, context.keeper->IniLine(path, section, key))) continue;
        SetLastError(ERROR_SUCCESS);  // what a failed search leaves tells a locked file from a missing key
        if (!FindIniKey(path, section, key)) {
            ReportMissingKey(context, logged, GetLastError());
            continue;
        }
        if (!context.Save(ItemKind::IniKey, logged, CSavedForm::Record(IniRecord(item)))) continue;
        if (DeleteIniKeyLine(path, section, key))
            context.Report(ItemKind::IniKey, logged, CRunLog::REMOVED);
        else
            context.Report(ItemKind::IniKey, logged, CRunLog::FAILED, GetLastError());
    }
}
