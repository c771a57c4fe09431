// CUninstallProfile: what one manufacturer, printer-driver, catch-all or ignore entry of an uninstall
// script names for removal, and the list of such profiles.
#pragma once

#include <string>

#include "base/platform.h"
#include "script/linked_list.h"
#include "script/text_list.h"

class CUninstallProfile {
public:
    static const int LIST_COUNT = 12;

    CUninstallProfile() { Clear(); }

    // Back to the constructed state: empty texts, flags and number 0, twelve empty lists.
    void Clear();

    // The twelve lists by index, in their fixed order (deleteIni ... registryKeys), and the name each one
    // carries in listings ("deleteIni", "files", ...).
    CTextList& List(int index);
    const CTextList& List(int index) const;
    static const char* ListName(int index);

    // Unique on each of the twelve lists.
    void UniqueAll();
    // Each list becomes the sorted union of itself and other's list without duplicates; other is unchanged,
    // and so are this profile's name, flags, number, section and script path.
    void MergeProfile(const CUninstallProfile& other);
    // Removes from each list every text that other's list holds.
    void SubtractProfile(const CUninstallProfile& other);
    // Appends the registry item  ROOT,"subKey","valueName",deltree  to registryKeys. Returns 0 and appends
    // nothing when root is not HKLM, HKCR, HKCU or HKU, subKey is null or empty, or the item would not fit.
    int AddRegistryEntry(HKEY root, const char* subKey, const char* valueName, int deltree);

    // The name, section and script path hold at most TEXT_SIZE - 1 characters, cut as the reader always
    // cut them (CopyText).
    std::string name;
    int isManufacturer;
    int isCatchAll;
    int isIgnore;
    int number;  // third field of the starter entry; kept with the profile, read by nothing
    std::string section;
    std::string scriptPath;

    CTextList deleteIni;
    CTextList deleteLoadRun;
    CTextList unSelfRegister;
    CTextList printProcessors;
    CTextList monitors;
    CTextList services;
    CTextList hooks;
    CTextList files;
    CTextList drivers;
    CTextList shortcuts;
    CTextList oemPaths;
    CTextList registryKeys;
};

class CProfileList : public CLinkedList<CUninstallProfile> {
public:
    // Stable ascending sort by profile name.
    void SortByName();
    // Removes every profile whose name equals its predecessor's; the first of a run stays.
    void RemoveDuplicateNames();
};
