#include "removal/ini_remover.h"

#include <stdlib.h>
#include <string.h>

#include "app/path_parts.h"
#include "script/script_file.h"

void RemoveIniEntries(CRemovalContext& context) {
    for (const char* text : context.database->removal.deleteIni) {
        char item[TEXT_SIZE];
        CopyText(item, text);
        char* section = NextToken(item, ',');
        char* key = section ? NextToken(section, ',') : NULL;
        if (!key) continue;
        NextToken(key, ',');  // a fourth field is not used
        if (!item[0] || !section[0] || !key[0]) continue;
        // Only the file's name and extension count: the file is always the one in the Windows directory.
        char name[_MAX_FNAME], ext[_MAX_EXT];
        _splitpath(item, NULL, NULL, name, ext);
        CPathParts where;
        where.Resolve(WINDIR);
        CopyTextN(where.fname, name, sizeof where.fname);
        CopyTextN(where.ext, ext, sizeof where.ext);
        const char* path = where.FullPath();
        if (FindIniKey(path, section, key)) DeleteIniKeyLine(path, section, key);
    }
}
