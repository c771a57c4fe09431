#include "script/profile.h"

#include <cstdio>
#include <cstring>

namespace {

CTextList CUninstallProfile::*const kLists[CUninstallProfile::LIST_COUNT] = {
    &CUninstallProfile::deleteIni,      &CUninstallProfile::deleteLoadRun, &CUninstallProfile::unSelfRegister,
    &CUninstallProfile::printProcessors, &CUninstallProfile::monitors,     &CUninstallProfile::services,
    &CUninstallProfile::hooks,          &CUninstallProfile::files,         &CUninstallProfile::drivers,
    &CUninstallProfile::shortcuts,      &CUninstallProfile::oemPaths,      &CUninstallProfile::registryKeys,
};

const char* const kListNames[CUninstallProfile::LIST_COUNT] = {
    "deleteIni", "deleteLoadRun", "unSelfRegister", "printProcessors", "monitors",  "services",
    "hooks",     "files",         "drivers",        "shortcuts",       "oemPaths",  "registryKeys",
};

}  // namespace

void CUninstallProfile::Clear() {
    name.clear();
    isManufacturer = 0;
    isCatchAll = 0;
    isIgnore = 0;
    number = 0;
    section.clear();
    scriptPath.clear();
    for (int i = 0; i < LIST_COUNT; ++i) List(i).Clear();
}

CTextList& CUninstallProfile::List(int index) { return this->*kLists[index]; }

const CTextList& CUninstallProfile::List(int index) const { return this->*kLists[index]; }

const char* CUninstallProfile::ListName(int index) {
    return index >= 0 && index < LIST_COUNT ? kListNames[index] : "";
}

void CUninstallProfile::UniqueAll() {
    for (int i = 0; i < LIST_COUNT; ++i) List(i).Unique();
}

void CUninstallProfile::MergeProfile(const CUninstallProfile& other) {
    for (int i = 0; i < LIST_COUNT; ++i) {
        CTextList& list = List(i);
        if (!other.List(i).IsEmpty()) {
            CTextList copy = other.List(i);
            list.Merge(copy);
        }
        // Lists that were both ordered merge into an ordered list, which the sort then only checks (a
        // combined list grows with every profile).
        list.Sort();
        list.Unique();
    }
}

void CUninstallProfile::SubtractProfile(const CUninstallProfile& other) {
    for (int i = 0; i < LIST_COUNT; ++i) {
        if (List(i).IsEmpty() || other.List(i).IsEmpty()) continue;
        List(i).Subtract(other.List(i));
    }
}

int CUninstallProfile::AddRegistryEntry(HKEY root, const char* subKey, const char* valueName, int deltree) {
    const char* rootName = nullptr;
    if (root == HKEY_LOCAL_MACHINE)
        rootName = "HKLM";
    else if (root == HKEY_CLASSES_ROOT)
        rootName = "HKCR";
    else if (root == HKEY_CURRENT_USER)
        rootName = "HKCU";
    else if (root == HKEY_USERS)
        rootName = "HKU";
    if (!rootName || TextEmpty(subKey)) return 0;
    // A cut item would name another key or value, so an item that does not fit is not added at all.
    char item[TEXT_SIZE * 2 + 16];
    int length = std::snprintf(item, sizeof item, "%s,\"%s\",\"%s\",%d", rootName, subKey,
                               valueName ? valueName : "", deltree ? 1 : 0);
    if (length < 0 || length >= TEXT_SIZE) return 0;
    registryKeys.Add(item);
    return 1;
}

void CProfileList::SortByName() {
    SortBy([](const CUninstallProfile& a, const CUninstallProfile& b) { return TextLess(a.name.c_str(), b.name.c_str()); });
}

void CProfileList::RemoveDuplicateNames() {
    UniqueBy([](const CUninstallProfile& a, const CUninstallProfile& b) { return TextEqual(a.name.c_str(), b.name.c_str()); });
}
