// Finding the uninstall scripts, turning each into profiles of the database, and the combined profile.
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "base/path_parts.h"
#include "base/program_folder.h"
#include "script/database.h"

namespace {

const char kManufacturerSection[] = "UnPrinterMfgs";
const char kDriverSection[] = "UnPrinterDrivers";
const char kCatchAllSection[] = "Unz_CatchAll";
const char kIgnoreSection[] = "Unx_Ignore";

// Starter sections are read into a buffer of this size, category sections into one of CATEGORY_BUFFER.
const int STARTER_BUFFER = 260;
const int CATEGORY_BUFFER = 4096;

// The categories in the order their lists are filled, with the profile list each one fills.
struct Category {
    const char* name;
    CTextList CUninstallProfile::*list;
};
const Category kCategories[] = {
    {"DeleteIni", &CUninstallProfile::deleteIni},
    {"DeleteLoadRun", &CUninstallProfile::deleteLoadRun},
    {"UnSelfRegister", &CUninstallProfile::unSelfRegister},
    {"PrintProcessors", &CUninstallProfile::printProcessors},
    {"Monitors", &CUninstallProfile::monitors},
    {"Services", &CUninstallProfile::services},
    {"Hooks", &CUninstallProfile::hooks},
    {"Files", &CUninstallProfile::files},
    {"Shortcuts", &CUninstallProfile::shortcuts},
    {"RegistryKeys", &CUninstallProfile::registryKeys},
};

// Makes the directory of the program file the current directory.
void RestoreProgramDirectory() {
    CPathParts program;
    program.Resolve(MODULEFILE);
    SetCurrentDirectoryA(program.DirectoryPath());
}

}  // namespace

void CUninstallDatabase::FindScripts(CTextList& pathList, const char* directory, const char* fileName) {
    char drive[TEXT_SIZE] = {};
    char dir[TEXT_SIZE] = {};
    char folder[TEXT_SIZE] = {};
    if (!TextEmpty(directory)) {
        _splitpath(directory, drive, dir, NULL, NULL);
        CopyText(folder, drive);
        AppendText(folder, dir);
    }
    // Without a directory to search (or one that cannot be entered) nothing is found.
    if (folder[0] && !TextEmpty(fileName) && SetCurrentDirectoryA(folder)) {
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA(fileName, &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                if (found.dwFileAttributes == FILE_ATTRIBUTE_DIRECTORY) continue;
                char name[TEXT_SIZE] = {};
                char ext[TEXT_SIZE] = {};
                _splitpath(found.cFileName, NULL, NULL, name, ext);
                char path[TEXT_SIZE];
                CopyText(path, folder);
                AppendText(path, name);
                AppendText(path, ext);
                pathList.Add(path);
            } while (FindNextFileA(search, &found));
            FindClose(search);
        }
    }
    RestoreProgramDirectory();
}

void CUninstallDatabase::FindAllScripts(CTextList& pathList) {
    CPathParts where;
    where.Resolve(PRINTDRIVERDIR);
    FindScripts(pathList, where.DirectoryPath(), kScriptFileName);
    if (where.dir[0]) FindScripts(pathList, where.AppendSubdirectory("3"), kScriptFileName);
    // Beside a tool run from a folder a user can write, a script may have been put by anyone.
    if (ProgramFolderIsTrusted()) {
        where.Resolve(MODULEDIR);
        FindScripts(pathList, where.path, kScriptFileName);
    }
    where.Resolve(SYSDIR);
    FindScripts(pathList, where.DirectoryPath(), kScriptFileName);
    pathList.Sort();
    pathList.Unique();
}

int CUninstallDatabase::ParseScript(const char* scriptPath) {
    try {
        CScriptFile document;
        if (!document.LoadFile(scriptPath)) throw "failed to open file";
        if (document.GetSectionEntryCount(kManufacturerSection) == 0 &&
            document.GetSectionEntryCount(kDriverSection) == 0 &&
            document.GetSectionEntryCount(kCatchAllSection) == 0 &&
            document.GetSectionEntryCount(kIgnoreSection) == 0)
            throw "no starter sections";
        AddStarterProfiles(document, scriptPath, kManufacturerSection, &CUninstallProfile::isManufacturer, true);
        AddStarterProfiles(document, scriptPath, kDriverSection, nullptr, false);
        AddStarterProfiles(document, scriptPath, kCatchAllSection, &CUninstallProfile::isCatchAll, false);
        AddStarterProfiles(document, scriptPath, kIgnoreSection, &CUninstallProfile::isIgnore, false);
        // Of several profiles with one name the first stays: an earlier kind, an earlier line, or a script
        // read before this one.
        SortProfiles();
        profiles.RemoveDuplicateNames();
    } catch (const char*) {
        return 0;
    }
    return 1;
}

void CUninstallDatabase::AddStarterProfiles(const CScriptFile& document, const char* scriptPath,
                                            const char* starter, int CUninstallProfile::*flag, bool wholeLines) {
    if (document.GetSectionEntryCount(starter) == 0) return;
    char buffer[STARTER_BUFFER];
    std::memset(buffer, 0, sizeof buffer);
    if (wholeLines)
        document.GetSectionEntries(starter, buffer, sizeof buffer);
    else
        document.GetSectionKeys(starter, buffer, sizeof buffer);
    // The walk stops at the first empty item, so a leading empty entry yields nothing.
    for (char* item = buffer[0] ? buffer : nullptr; item; item = NextToken(item, 0)) {
        CUninstallProfile profile;
        if (flag) profile.*flag = 1;
        CopyText(profile.scriptPath, scriptPath);
        ClassifyProfile(profile, document, item);
        // Driver, catch-all and ignore profiles name their own printer driver.
        if (!wholeLines) profile.drivers.Add(profile.name.c_str());
        profiles.AddMoved(std::move(profile));
    }
}

void CUninstallDatabase::ClassifyProfile(CUninstallProfile& profile, const CScriptFile& document,
                                         const char* entry) {
    // The entry stays intact in the caller's list: the fields are split in a copy.
    char fields[TEXT_SIZE];
    CopyText(fields, entry);
    char* section = NextToken(fields, ',');
    char* number = NextToken(section, ',');
    CopyText(profile.name, TrimChar(fields, '"'));
    CopyText(profile.section, section);
    profile.number = number ? std::atoi(number) : 0;

    CTextList items;
    for (const Category& category : kCategories) {
        // The read list is taken over whole: ReadCategorySection clears items again for the next category.
        if (ReadCategorySection(document, items, profile.section.c_str(), category.name)) profile.*category.list = std::move(items);
    }
}

int CUninstallDatabase::ReadCategorySection(const CScriptFile& document, CTextList& list, const char* base,
                                            const char* category) {
    list.Clear();
    std::string name = base ? base : "";
    if (!TextEmpty(category)) {
        name += '.';
        name += category;
    }
    // A section name that long cannot stand in a script.
    if (name.size() > static_cast<size_t>(TEXT_SIZE - 1)) return 0;
    char buffer[CATEGORY_BUFFER];
    std::memset(buffer, 0, sizeof buffer);
    if (document.GetSectionEntries(name.c_str(), buffer, sizeof buffer) == 0) return 0;
    for (char* item = buffer[0] ? buffer : nullptr; item; item = NextToken(item, 0)) list.Add(item);
    list.Sort();
    list.Unique();
    return 1;
}

int CUninstallDatabase::BuildCombinedProfile() {
    Normalize();
    combined.Clear();
    // Merging the profiles one after another (MergeProfile) keeps, of the items that are equal, the first one
    // of the first profile that has it, in sorted order. A stable sort of all of them in profile order, then
    // Unique, keeps the same items, without walking the growing list once for every profile.
    int merged = 0;
    for (const CUninstallProfile& profile : profiles)
        if (!profile.isIgnore) merged = 1;
    for (int i = 0; i < CUninstallProfile::LIST_COUNT; ++i) {
        CTextList& all = combined.List(i);
        for (const CUninstallProfile& profile : profiles) {
            if (profile.isIgnore) continue;
            CTextList copy = profile.List(i);
            all.TakeAll(copy);
        }
        all.Sort();
        all.Unique();
    }
    return merged;
}

void CUninstallDatabase::ApplyPavaneOption(int hasUnpav) {
    CUninstallProfile pavane;
    if (!FindProfile(pavane, kPavaneProfileName)) return;
    if (hasUnpav)
        combined = pavane;
    else
        combined.SubtractProfile(pavane);
}
