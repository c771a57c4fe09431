#include "script/database.h"

const char kScriptFileName[] = "Kunz__04.unm";
const char kPavaneProfileName[] = "Pavane";

CUninstallDatabase::CUninstallDatabase()
    : isWin9x(0), restartNeeded(0), removingCount(0), remainingCount(0), pavaneStays(0) {
    restartNeeded = 0;
    isWin9x = osVersion.IsWin9x() ? 1 : 0;
}

int CUninstallDatabase::FindProfile(CUninstallProfile& out, const char* name) const {
    out.Clear();
    for (const CUninstallProfile& profile : profiles) {
        if (TextEqual(profile.name.c_str(), name)) {
            out = profile;
            return 1;
        }
    }
    return 0;
}

void CUninstallDatabase::AddProfile(const CUninstallProfile& profile) { profiles.AddCopy(profile); }

void CUninstallDatabase::SortProfiles() { profiles.SortByName(); }

void CUninstallDatabase::Normalize() {
    SortProfiles();
    for (int i = 0; i < CUninstallProfile::LIST_COUNT; ++i) {
        keep.List(i).Sort();
        removal.List(i).Sort();
    }
    profiles.RemoveDuplicateNames();
    keep.UniqueAll();
    removal.UniqueAll();
}
