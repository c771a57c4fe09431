// The registry removers: the directories the family registered (OEM paths), and the registry keys and
// values the removal profile names, a key's subkeys first.
#pragma once

#include "removal/removal_context.h"

// Appends the data of every value of HKLM\SOFTWARE\VESTRAL\OEM04\OEMPaths to oemPaths, drops neighbouring
// duplicates and sorts the list.
void CollectOemPaths(CRemovalContext& context);
// Deletes HKLM\SOFTWARE\VESTRAL\OEM04\ProgramGroups, then each item of registryKeys (root,subkey,value
// [,recursive]) in descending order, so that a subkey goes before its key. Items naming a key Windows needs
// are refused and reported; failures are silent.
void RemoveRegistryKeys(CRemovalContext& context);
// Deletes root\subKey with all its subkeys; 1 when everything went, 0 otherwise (also when it does not open).
// With error, the code of the call that failed on root\subKey itself (ERROR_SUCCESS when none did).
int DeleteRegistryTree(HKEY root, const char* subKey, LONG* error = nullptr);
