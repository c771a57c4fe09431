// The profile selection: what the printers that stay still need (keep), and what the scripts name
// that no staying printer needs (removal).
#include <string.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "script/database.h"

namespace {

// The text up to its first space (all of it when it has none).
void FirstWord(char* out, const char* text) {
    CopyText(out, text);
    char* space = strchr(out, ' ');
    if (space) *space = 0;
}

// The file name with its extension, without the directory.
const char* FileNamePart(const char* path) {
    const char* name = path;
    for (const char* p = path; *p; ++p)
        if (*p == '\\' || *p == '/' || *p == ':') name = p + 1;
    return name;
}

// The extension of a path's file name, with its dot; "" when it has none.
const char* ExtensionPart(const char* path) {
    const char* dot = strrchr(FileNamePart(path), '.');
    return dot ? dot : "";
}

}  // namespace

int CUninstallDatabase::SelectForRemoval() {
    keep.Clear();
    removal.Clear();
    remainingCount = 0;
    removingCount = 0;

    // Paved printers go with the printer they mask. The flags change during the pass, so a paved printer
    // cleared here masks others in turn only when it comes later in the list. The paved printers are
    // gathered by the name they mask first, so that the pass costs one lookup per printer.
    std::map<std::string, std::vector<CPrinterEntry*>> pavedBy;
    for (CPrinterEntry& paved : printers)
        if (!paved.pavedName.empty()) pavedBy[TextKey(paved.pavedName.c_str())].push_back(&paved);
    for (const CPrinterEntry& chosen : printers) {
        if (chosen.isKept || chosen.isForeign || chosen.isDeleted) continue;
        const auto masked = pavedBy.find(TextKey(chosen.printerName.c_str()));
        if (masked == pavedBy.end()) continue;
        for (CPrinterEntry* paved : masked->second) paved->isKept = 0;
    }

    // Every printer that is neither foreign nor gone counts once; the staying ones keep their profile. A
    // profile merged once already adds nothing the second time (what it names is in keep, and the copy
    // that was there first stays), so each is merged once, in the order of the first printer that keeps it.
    // Many printers share a driver: each driver's profile is looked for once.
    std::set<const CUninstallProfile*> kept;
    std::map<std::string, const CUninstallProfile*> profileOfDriver;
    for (const CPrinterEntry& printer : printers) {
        if (printer.isForeign || printer.isDeleted) continue;
        if (!printer.isKept) {
            ++removingCount;
            continue;
        }
        ++remainingCount;
        const std::string driver = TextKey(printer.driverName.c_str());
        auto known = profileOfDriver.find(driver);
        if (known == profileOfDriver.end()) known = profileOfDriver.emplace(driver, ProfileOfDriver(printer.driverName.c_str())).first;
        const CUninstallProfile* profile = known->second;
        if (profile && kept.insert(profile).second) keep.MergeProfile(*profile);
    }

    removal = combined;
    if (remainingCount == 0) AddFullRemovalItems(removal);

    // What ignore and catch-all entries name is never removed.
    for (const CUninstallProfile& profile : profiles)
        if (profile.isIgnore || profile.isCatchAll) keep.MergeProfile(profile);

    removal.SubtractProfile(keep);

    const char* pavaneExe = osVersion.IsWin32s() ? "PAVANE.EXE" : "PAVANE32.EXE";
    pavaneStays = removal.files.Contains(pavaneExe) ? 0 : 1;

    Normalize();
    return 1;
}

int CUninstallDatabase::FindManufacturerProfile(CUninstallProfile& out, const char* driverName) const {
    out.Clear();
    const CUninstallProfile* found = ManufacturerProfileOf(driverName);
    if (found) out = *found;
    return found ? 1 : 0;
}

const CUninstallProfile* CUninstallDatabase::ManufacturerProfileOf(const char* driverName) const {
    char driverWord[TEXT_SIZE];
    FirstWord(driverWord, driverName);
    const CUninstallProfile* found = nullptr;
    // The last match wins: of several matching manufacturer profiles the one with the greatest name.
    for (const CUninstallProfile& profile : profiles) {
        if (!profile.isManufacturer) continue;
        char word[TEXT_SIZE];
        FirstWord(word, profile.name.c_str());
        if (TextEqual(word, driverWord)) found = &profile;
    }
    return found;
}

const CUninstallProfile* CUninstallDatabase::ProfileOfDriver(const char* driverName) const {
    for (const CUninstallProfile& profile : profiles)
        if (TextEqual(profile.name.c_str(), driverName)) return &profile;
    return ManufacturerProfileOf(driverName);
}

void CUninstallDatabase::AddFullRemovalItems(CUninstallProfile& target) const {
    // The Pavane utility goes with the last printer, even when the load left it out of combined.
    CUninstallProfile pavane;
    if (FindProfile(pavane, kPavaneProfileName)) target.MergeProfile(pavane);

    // The scripts themselves, and every catch-all profile.
    for (const CUninstallProfile& profile : profiles) {
        if (_strcmpi(ExtensionPart(profile.scriptPath.c_str()), ".unm") == 0)
            target.files.Add(FileNamePart(profile.scriptPath.c_str()));
        if (profile.isCatchAll) target.MergeProfile(profile);
    }

    // The family's own registry keys.
    target.AddRegistryEntry(HKEY_LOCAL_MACHINE, "SOFTWARE\\VESTRAL\\OEM04", "", 1);
    target.AddRegistryEntry(HKEY_LOCAL_MACHINE, "SOFTWARE\\VESTRAL\\VSR32_04", "", 1);
    target.AddRegistryEntry(HKEY_LOCAL_MACHINE, "SOFTWARE\\VESTRAL\\Filters", "", 1);
    target.AddRegistryEntry(HKEY_LOCAL_MACHINE, "SOFTWARE\\VESTRAL", "", 0);
}
