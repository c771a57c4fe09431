// CUninstallDatabase: everything the uninstall scripts say (the profiles), what the chosen printers leave
// to remove (the working profiles), and the installed printers.
#pragma once

#include "base/os_version.h"
#include "script/option_list.h"
#include "script/printer_entry.h"
#include "script/profile.h"
#include "script/script_file.h"
#include "script/text_list.h"

// File name of the uninstall scripts of the driver family.
extern const char kScriptFileName[];
// Name of the profile of the Pavane printer-masking utility.
extern const char kPavaneProfileName[];

class CUninstallDatabase {
public:
    CUninstallDatabase();
    CUninstallDatabase(const CUninstallDatabase&) = delete;
    CUninstallDatabase& operator=(const CUninstallDatabase&) = delete;

    // Clears out, then copies into it the first profile named name; 0 (out cleared) when there is none.
    int FindProfile(CUninstallProfile& out, const char* name) const;
    // Appends a copy of profile to profiles.
    void AddProfile(const CUninstallProfile& profile);
    // Stable ascending sort of profiles by name.
    void SortProfiles();
    // Sorts profiles and the lists of keep and removal, drops every profile named as its predecessor (the
    // first of a run stays) and removes duplicates from keep and removal. combined is not touched.
    void Normalize();

    // Appends the full path of every file in directory's directory part that matches fileName, then makes
    // the program's directory current again.
    void FindScripts(CTextList& pathList, const char* directory, const char* fileName);
    // Every uninstall script of the machine, in the order they are read: the printer-driver directory, its
    // "3" subdirectory, the program's directory and the system directory searched, then sorted and made unique.
    void FindAllScripts(CTextList& pathList);
    // Reads one script and adds its profiles. 1 on success; 0 (nothing added) when the file cannot be
    // read or holds no starter entries.
    int ParseScript(const char* scriptPath);
    // Fills profile from one starter entry: name, category base section and number, and the category lists.
    void ClassifyProfile(CUninstallProfile& profile, const CScriptFile& document, const char* entry);
    // Reads the section "base.category" of document into list, sorted and without duplicates; 1 when the
    // section held entries.
    int ReadCategorySection(const CScriptFile& document, CTextList& list, const char* base, const char* category);
    // Normalizes, then rebuilds combined from every profile that is not an ignore profile. 1 when at least
    // one profile went into it.
    int BuildCombinedProfile();
    // With hasUnpav combined becomes the Pavane profile; without it the Pavane profile's items leave combined.
    void ApplyPavaneOption(int hasUnpav);

    // Fills keep and removal for the printers that stay and go (the isKept flags), with the counters and
    // pavaneStays; paved printers go with the printer they mask. Always 1.
    int SelectForRemoval();
    // Copies into out the manufacturer profile whose first word is the driver name's first word (the last
    // such profile in list order); 0 (out cleared) when there is none.
    int FindManufacturerProfile(CUninstallProfile& out, const char* driverName) const;
    // The profile of a printer's driver, as the selection takes it: the first profile named as the driver,
    // else the manufacturer profile FindManufacturerProfile copies; null when there is none. Valid while
    // profiles is not changed.
    const CUninstallProfile* ProfileOfDriver(const char* driverName) const;
    // Adds to target what goes only with the last printer: the Pavane profile, the scripts themselves, the
    // catch-all profiles and the family's own registry keys.
    void AddFullRemovalItems(CUninstallProfile& target) const;
    // Number of printers shown for selection: not foreign, not deleted, listed.
    int ListedPrinterCount() const;

    int isWin9x;
    int restartNeeded;
    int removingCount;
    int remainingCount;
    CUninstallProfile combined;
    CUninstallProfile keep;
    CUninstallProfile removal;
    CPrinterList printers;
    int pavaneStays;
    CProfileList profiles;
    COSVersion osVersion;

private:
    const CUninstallProfile* ManufacturerProfileOf(const char* driverName) const;
    void AddStarterProfiles(const CScriptFile& document, const char* scriptPath, const char* starter,
                            int CUninstallProfile::*flag, bool wholeLines);
};
