#include "removal/load_run_remover.h"

#include <string.h>

#include <string>

const char kRunKeyPath[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

namespace {

const int kLineSize = 256;

void FlushProfileCache() { WriteProfileStringA(NULL, NULL, NULL); }

// Where the pattern stands in the line as a whole command: at the start or after a space, followed by a
// space or the end; null when it does not.
char* FindCommand(char* line, const char* pattern) {
    if (!pattern[0]) return NULL;
    // The pattern may stand inside a longer word first ("b.exe" in "ab.exe"): the command is the first
    // place where it is a whole word.
    for (char* found = strstr(line, pattern); found; found = strstr(found + 1, pattern)) {
        const char after = found[strlen(pattern)];
        if ((found == line || found[-1] == ' ') && (after == ' ' || after == 0)) return found;
    }
    return NULL;
}

int RemoveFromLoadLine(char* pattern) {
    FlushProfileCache();
    char line[kLineSize] = "";
    GetProfileStringA("windows", "Load", "", line, sizeof line);
    CharLowerA(line);
    CharLowerA(pattern);
    char* found = FindCommand(line, pattern);
    if (!found) return 0;
    char rest[kLineSize];
    const char* after = found + strlen(pattern);
    if (*after == ' ') ++after;
    CopyText(rest, after);
    CopyTextN(found, rest, sizeof line - static_cast<size_t>(found - line));
    int written = WriteProfileStringA("windows", "load", line);
    FlushProfileCache();
    return written;
}

}  // namespace

bool ParseLoadRunItem(const char* text, std::string& name, std::string& pattern) {
    char item[TEXT_SIZE];
    CopyText(item, text);
    char* second = NextToken(item, ',');
    if (!second || !item[0] || !second[0]) return false;
    NextToken(second, ',');  // anything after a second comma is not used
    name = TrimChar(item, '"');
    pattern = TrimChar(second, '"');
    return true;
}

void RemoveLoadRunEntries(CRemovalContext& context) {
    for (const char* text : context.database->removal.deleteLoadRun) {
        std::string name, pattern;
        if (!ParseLoadRunItem(text, name, pattern)) continue;
        char lowered[TEXT_SIZE];  // the Win32s removal lower-cases the pattern in place
        CopyText(lowered, pattern.c_str());
        RemoveLoadRunEntry(context, name.c_str(), lowered);
    }
}

int RemoveLoadRunEntry(CRemovalContext& context, const char* name, char* pattern) {
    if (context.osVersion.IsWin32s()) {
        const std::string item = std::string("[windows] Load: ") + pattern;
        if (context.Refused(ItemKind::RunValue, item, context.keeper->LoadWord(pattern))) return 0;
        // The whole load line as it stood, for the restore to write back.
        char line[kLineSize] = "";
        FlushProfileCache();
        GetProfileStringA("windows", "Load", "", line, sizeof line);
        CBackupRecord record;
        record.kind = "loadline";
        record.Add("line", line);
        if (!context.Save(ItemKind::RunValue, item, CSavedForm::Record(record))) return 0;
        int removed = RemoveFromLoadLine(pattern);
        context.Report(ItemKind::RunValue, item, removed ? CRunLog::REMOVED : CRunLog::NOT_THERE);
        return removed;
    }
    const char* runKey = context.textResources->GetString(IDS_RUN_KEY);
    const std::string item = std::string("HKEY_LOCAL_MACHINE\\") + runKey + "\\" + name;
    if (context.Refused(ItemKind::RunValue, item, context.keeper->RunValue(runKey, name))) return 0;
    HKEY key = NULL;
    LONG opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, runKey, 0, KEY_ALL_ACCESS, &key);
    if (opened != ERROR_SUCCESS) {
        context.ReportResult(ItemKind::RunValue, item, static_cast<DWORD>(opened));
        return 0;
    }
    if (!context.Save(ItemKind::RunValue, item, CSavedForm::Value(HKEY_LOCAL_MACHINE, runKey, name))) {
        RegCloseKey(key);
        return 0;
    }
    LONG deleted = RegDeleteValueA(key, name);
    int removed = deleted == ERROR_SUCCESS ? 1 : 0;
    RegCloseKey(key);
    context.ReportResult(ItemKind::RunValue, item, static_cast<DWORD>(deleted));
    return removed;
}

int AddLoadRunEntry(CRemovalContext& context, const char* name, const char* command) {
    if (context.osVersion.IsWin32s()) {
        char line[kLineSize] = "";
        GetProfileStringA("windows", "Load", "", line, sizeof line);
        if (strstr(line, command)) return 1;
        size_t used = strlen(line);
        if (used + 1 + strlen(command) >= sizeof line) return 0;  // a longer line would cut another command
        strcat(line, " ");
        strcat(line, command);
        return WriteProfileStringA("windows", "Load", line);
    }
    HKEY key = NULL;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKeyPath, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return 0;
    LONG r = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(command),
                            static_cast<DWORD>(strlen(command) + 1));
    RegCloseKey(key);
    return r == ERROR_SUCCESS ? 1 : 0;
}
