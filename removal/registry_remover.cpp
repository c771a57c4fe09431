#include "removal/registry_remover.h"

#include <stdio.h>
#include <string.h>

#include "removal/protected_keys.h"

namespace {

const char kOemPathsKey[] = "SOFTWARE\\VESTRAL\\OEM04\\OEMPaths";
const char kProgramGroupsKey[] = "SOFTWARE\\VESTRAL\\OEM04\\ProgramGroups";
const DWORD kNameSize = 260;

struct RootName {
    const char* name;
    HKEY root;
};
const RootName kRoots[] = {{"HKLM", HKEY_LOCAL_MACHINE}, {"HKCR", HKEY_CLASSES_ROOT}, {"HKCU", HKEY_CURRENT_USER},
                           {"HKU", HKEY_USERS}};

HKEY RootOf(const char* name) {
    for (const RootName& r : kRoots)
        if (_strcmpi(name, r.name) == 0) return r.root;
    return NULL;
}

void DeleteValue(HKEY root, const char* subKey, const char* value) {
    HKEY key = NULL;
    if (RegOpenKeyExA(root, subKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    RegDeleteValueA(key, value);
    RegCloseKey(key);
}

// One item of registryKeys: root,subkey,value[,recursive], every field trimmed of its double quotes.
void RemoveRegistryItem(const char* text) {
    char item[TEXT_SIZE];
    CopyText(item, text);
    char* subKey = NextToken(item, ',');
    char* value = subKey ? NextToken(subKey, ',') : NULL;
    if (!value) return;
    char* recursive = NextToken(value, ',');
    HKEY root = RootOf(TrimChar(item, '"'));
    TrimChar(subKey, '"');
    TrimChar(value, '"');
    if (recursive) TrimChar(recursive, '"');
    if (!root) return;
    if (value[0]) {
        DeleteValue(root, subKey, value);
        return;
    }
    if (const char* why = ProtectedRegistryKeyReason(root, subKey)) {
        ReportRefusedItem("registry", text, why);
        return;
    }
    if (recursive && recursive[0] == '1')
        DeleteRegistryTree(root, subKey);
    else
        RegDeleteKeyA(root, subKey);
}

}  // namespace

void CollectOemPaths(CRemovalContext& context) {
    CTextList& paths = context.database->removal.oemPaths;
    HKEY key = NULL;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kOemPathsKey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        for (DWORD index = 0;; ++index) {
            char name[kNameSize];
            BYTE data[kNameSize];
            DWORD nameSize = kNameSize, dataSize = kNameSize, type = 0;
            LONG result = RegEnumValueA(key, index, name, &nameSize, NULL, &type, data, &dataSize);
            if (result == ERROR_NO_MORE_ITEMS) break;
            if (result != ERROR_SUCCESS) continue;
            // Data of a full buffer may lack its terminator.
            data[kNameSize - 1] = 0;
            paths.Add(reinterpret_cast<const char*>(data));
        }
        RegCloseKey(key);
    }
    paths.Unique();
    paths.Sort();
}

void RemoveRegistryKeys(CRemovalContext& context) {
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kProgramGroupsKey);
    CTextList& items = context.database->removal.registryKeys;
    items.Sort();
    items.Unique();
    if (items.Count() > 1) items.Reverse();
    for (const char* item : items) RemoveRegistryItem(item);
}

int DeleteRegistryTree(HKEY root, const char* subKey) {
    HKEY key = NULL;
    if (RegOpenKeyA(root, subKey, &key) != ERROR_SUCCESS || !key) return 0;
    int result = 1;
    for (DWORD index = 0;;) {
        char name[kNameSize + 1];
        LONG r = RegEnumKeyA(key, index, name, sizeof name);
        if (r == ERROR_SUCCESS) {
            char child[2 * TEXT_SIZE + 2];
            snprintf(child, sizeof child, "%s\\%s", subKey, name);
            // A deleted subkey's successors move up: the same index is read again.
            if (!DeleteRegistryTree(root, child)) ++index;
            continue;
        }
        if (r == ERROR_NO_MORE_ITEMS) {
            HKEY again = NULL;
            result = 0;
            if (RegOpenKeyA(root, subKey, &again) == ERROR_SUCCESS && again) {
                result = RegDeleteKeyA(root, subKey) == ERROR_SUCCESS ? 1 : 0;
                RegCloseKey(again);
            }
        } else {
            result = 0;
        }
        break;
    }
    RegCloseKey(key);
    return result;
}
