#include "removal/registry_remover.h"

#include <stdio.h>
#include <string.h>

#include <string>


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

const char* RootName(HKEY root) {
    if (root == HKEY_LOCAL_MACHINE) return "HKEY_LOCAL_MACHINE";
    if (root == HKEY_CLASSES_ROOT) return "HKEY_CLASSES_ROOT";
    if (root == HKEY_CURRENT_USER) return "HKEY_CURRENT_USER";
    return "HKEY_USERS";
}

void DeleteValue(const CRemovalContext& context, HKEY root, const char* subKey, const char* value) {
    const std::string item = std::string(RootName(root)) + "\\" + subKey + "\\" + value;
    HKEY key = NULL;
    LONG opened = RegOpenKeyExA(root, subKey, 0, KEY_ALL_ACCESS, &key);
    if (opened != ERROR_SUCCESS) {
        context.ReportResult(ItemKind::RegistryValue, item, static_cast<DWORD>(opened));
        return;
    }
    if (!context.Save(ItemKind::RegistryValue, item, CSavedForm::Value(root, subKey, value))) {
        RegCloseKey(key);
        return;
    }
    LONG deleted = RegDeleteValueA(key, value);
    RegCloseKey(key);
    context.ReportResult(ItemKind::RegistryValue, item, static_cast<DWORD>(deleted));
}

void RemoveRegistryItem(const CRemovalContext& context, const char* text) {
    CRegistryItem item;
    if (!ParseRegistryItem(text, item)) return;
    const char* subKey = item.subKey.c_str();
    if (!item.value.empty()) {
        const std::string logged = std::string(RootName(item.root)) + "\\" + subKey + "\\" + item.value;
        if (!context.Refused(ItemKind::RegistryValue, logged, context.keeper->RegistryValue(item.root, subKey, item.value.c_str())))
            DeleteValue(context, item.root, subKey, item.value.c_str());
        return;
    }
    const std::string key = std::string(RootName(item.root)) + "\\" + subKey;
    if (context.Refused(ItemKind::RegistryKey, key, context.keeper->RegistryKey(item.root, subKey, item.tree))) return;
    if (!context.Save(ItemKind::RegistryKey, key, CSavedForm::Key(item.root, subKey))) return;
    LONG error = ERROR_SUCCESS;
    if (item.tree)
        DeleteRegistryTree(item.root, subKey, &error);
    else
        error = RegDeleteKeyA(item.root, subKey);
    context.ReportKeyResult(item.root, subKey, key, static_cast<DWORD>(error),
                            item.tree && error == ERROR_SUCCESS ? "with its subkeys" : nullptr);
}

}  // namespace

void CollectOemPathsInto(CTextList& paths) {
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

void CollectOemPaths(CRemovalContext& context) { CollectOemPathsInto(context.database->removal.oemPaths); }

bool ParseRegistryItem(const char* text, CRegistryItem& out) {
    char item[TEXT_SIZE];
    CopyText(item, text);
    char* subKey = NextToken(item, ',');
    char* value = subKey ? NextToken(subKey, ',') : NULL;
    if (!value) return false;
    char* recursive = NextToken(value, ',');
    out.root = RootOf(TrimChar(item, '"'));
    out.subKey = TrimChar(subKey, '"');
    out.value = TrimChar(value, '"');
    out.tree = recursive && TrimChar(recursive, '"')[0] == '1';
    return out.root != NULL;
}

void RemoveRegistryKeys(CRemovalContext& context) {
    const std::string groupsItem = std::string("HKEY_LOCAL_MACHINE\\") + kProgramGroupsKey;
    if (context.Save(ItemKind::RegistryKey, groupsItem, CSavedForm::Key(HKEY_LOCAL_MACHINE, kProgramGroupsKey))) {
        LONG groups = RegDeleteKeyA(HKEY_LOCAL_MACHINE, kProgramGroupsKey);
        context.ReportKeyResult(HKEY_LOCAL_MACHINE, kProgramGroupsKey, groupsItem, static_cast<DWORD>(groups));
    }
    if (context.Stopped()) return;
    CTextList& items = context.database->removal.registryKeys;
    items.Sort();
    items.Unique();
    if (items.Count() > 1) items.Reverse();
    for (const char* item : items) RemoveRegistryItem(context, item);
}

int DeleteRegistryTree(HKEY root, const char* subKey, LONG* error) {
    LONG ignored = ERROR_SUCCESS;
    LONG& failed = error ? *error : ignored;
    failed = ERROR_SUCCESS;
    HKEY key = NULL;
    LONG opened = RegOpenKeyA(root, subKey, &key);
    if (opened != ERROR_SUCCESS || !key) {
        failed = opened != ERROR_SUCCESS ? opened : ERROR_INVALID_HANDLE;
        return 0;
    }
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
            LONG reopened = RegOpenKeyA(root, subKey, &again);
            if (reopened == ERROR_SUCCESS && again) {
                LONG deleted = RegDeleteKeyA(root, subKey);
                result = deleted == ERROR_SUCCESS ? 1 : 0;
                if (!result) failed = deleted;
                RegCloseKey(again);
            } else {
                failed = reopened != ERROR_SUCCESS ? reopened : ERROR_INVALID_HANDLE;
            }
        } else {
            result = 0;
            failed = r;
        }
        break;
    }
    RegCloseKey(key);
    return result;
}
