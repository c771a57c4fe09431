// The registry removers: the directories the family registered (OEM paths), and the registry keys and
// values the removal profile names, a key's subkeys first.
#pragma once

#include <string>

#include "removal/removal_context.h"

// Appends the data of every value of HKLM\SOFTWARE\VESTRAL\OEM04\OEMPaths to oemPaths, drops neighbouring
// duplicates and sorts the list.
void CollectOemPaths(CRemovalContext& context);
// The same into any list: the directories the registry names, as they are (the keeper decides on them).
void CollectOemPathsInto(CTextList& paths);

// One item of registryKeys: root,subkey,value[,recursive], every field trimmed of its double quotes.
struct CRegistryItem {
    HKEY root = NULL;
    std::string subKey, value;
    bool tree = false;  // the recursive field begins with 1: the key goes with its subtree
};
// False for an item with fewer than three fields or a root other than HKLM, HKCR, HKCU and HKU.
bool ParseRegistryItem(const char* text, CRegistryItem& item);
// Deletes HKLM\SOFTWARE\VESTRAL\OEM04\ProgramGroups, then each item of registryKeys (root,subkey,value
// [,recursive]) in descending order, so that a subkey goes before its key. Items naming a key Windows needs
// are refused and reported; failures are silent.
void RemoveRegistryKeys(CRemovalContext& context);
// Deletes root\subKey with all its subkeys; 1 when everything went, 0 otherwise (also when it does not open).
// With error, the code of the call that failed on root\subKey itself (ERROR_SUCCESS when none did).
int DeleteRegistryTree(HKEY root, const char* subKey, LONG* error = nullptr);
