#include "removal/refusal_list.h"

#include <string.h>

#include <set>

#include "base/device_nodes.h"
#include "base/host.h"
#include "removal/driver_names.h"
#include "removal/file_index.h"
#include "removal/hook_runner.h"
#include "removal/ini_remover.h"
#include "removal/load_run_remover.h"
#include "removal/printer_remover.h"
#include "removal/registry_remover.h"
#include "removal/shortcut_remover.h"

namespace {

class CLister {
public:
    CLister(const CKeeper& keeper, std::vector<CRefusedItem>& out) : keeper(keeper), out(out) {}

    void Add(const char* kind, const std::string& item, const CRefusal& refusal) {
        if (refusal && seen.insert(std::string(kind) + "|" + Lower(item)).second) out.push_back({kind, item, refusal});
    }

    // The files of that name the file removal would meet in a tree it searches.
    void Files(const CFileIndex& tree, const std::string& key) {
        for (const CFileIndex::Entry* entry : tree.FindKey(key))
            if (!entry->folder) Add("files", entry->path, keeper.File(entry->path.c_str()));
    }

    const CKeeper& keeper;
    std::vector<CRefusedItem>& out;
    std::set<std::string> seen;
};

std::string WithoutBackslash(std::string path) {
    while (path.size() > 3 && path.back() == '\\') path.pop_back();
    return path;
}

void ListFiles(CLister& l, const CUninstallDatabase& db, const CTextList& directDirs, const CTextList& searchDirs,
               const std::vector<std::string>& oemDirectories) {
    // Each tree is walked once for the whole list, as the file removal does: searched directories two
    // levels down, the OEM directories three.
    std::vector<CFileIndex> direct, searched, oem(oemDirectories.size());
    for (const char* dir : directDirs) {
        direct.emplace_back();
        direct.back().Build(WithoutBackslash(dir).c_str(), 0, true);
    }
    for (const char* dir : searchDirs) {
        searched.emplace_back();
        searched.back().Build(WithoutBackslash(dir).c_str(), 2);
    }
    for (size_t i = 0; i < oemDirectories.size(); ++i) oem[i].Build(oemDirectories[i].c_str(), 3);
    for (const char* item : db.removal.files) {
        std::string name = item;
        name.erase(std::min(name.find('='), name.size()));
        if (name.empty()) continue;
        const std::string fileName = FileNameOf(name);
        if (const CRefusal refusal = l.keeper.FileName(fileName.c_str())) {
            l.Add("files", name, refusal);
            continue;
        }
        const std::string key = CFileIndex::KeyOf(fileName.c_str());
        size_t place = 0;
        for (const char* dir : directDirs) {
            const CFileIndex& listed = direct[place++];
            if (listed.Listed() && !listed.HoldsKey(key)) continue;
            const std::string path = WithoutBackslash(dir) + "\\" + fileName;
            const DWORD attributes = GetFileAttributesA(path.c_str());
            if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
                l.Add("files", path, l.keeper.File(path.c_str()));
        }
        for (const CFileIndex& tree : searched) l.Files(tree, key);
        for (const CFileIndex& tree : oem) l.Files(tree, CFileIndex::KeyOf(name.c_str()));
    }
}

// The OEM directories of the registry: those refused, and the others for the file removal to look in.
std::vector<std::string> ListOemPaths(CLister& l) {
    CTextList paths;
    CollectOemPathsInto(paths);
    std::vector<std::string> accepted;
    for (const char* path : paths) {
        std::string directory;
        if (const CRefusal refusal = l.keeper.OemDirectory(path, directory))
            l.Add("oemPaths", path, refusal);
        else
            accepted.push_back(directory);
    }
    return accepted;
}

// The printers the run removes: their class registration (UniqueID) and their key of the family, their
// USB device nodes.
void ListPrinters(CLister& l, const CUninstallDatabase& db) {
    for (const CPrinterEntry& p : db.printers) {
        if (p.isKept || p.isForeign || p.isDeleted || !p.location.empty()) continue;
        l.Add("printers", std::string("HKEY_CURRENT_USER\\SOFTWARE\\VESTRAL\\") + p.printerName,
              l.keeper.Printer(p.printerName.c_str()));
        HANDLE printer = NULL;
        if (!OpenPrinterA(const_cast<LPSTR>(p.printerName.c_str()), &printer, NULL) || !printer) continue;
        char id[32] = "";
        DWORD needed = 0;
        if (GetPrinterDataA(printer, const_cast<LPSTR>("UniqueID"), NULL, reinterpret_cast<LPBYTE>(id), sizeof id,
                            &needed) == ERROR_SUCCESS && (id[sizeof id - 1] = 0, id[0])) {
            const CRefusal refusal = strpbrk(id, "\\/") ? CRefusal::By("path-form", "a UniqueID names a key, not a path")
                                                        : l.keeper.RegistryKey(HKEY_CLASSES_ROOT, id, false);
            l.Add("printers", std::string("HKEY_CLASSES_ROOT\\") + id, refusal);
        }
        ClosePrinter(printer);
    }
    // The device nodes the script's hardware ID names that a printer that stays still uses.
    if (!l.keeper.ProgramFolderTrusted()) return;
    char target[257] = "";
    GetPrivateProfileStringA("Strings", "HARDWARE_ID_1", "", target, sizeof target,
                             CHost::Current().DefaultScriptPath().c_str());
    if (!target[0]) return;
    CDeviceNodes nodes;
    SP_DEVINFO_DATA device;
    std::vector<std::string> ids;
    for (DWORD index = 0; nodes.At(index, device); ++index) {
        if (!nodes.HardwareIds(device, 512, ids)) continue;
        for (const std::string& id : ids) {
            if (!MatchesHardwareId(id.c_str(), target, strlen(target))) continue;
            const std::string instance = nodes.InstanceId(device);
            if (!instance.empty()) l.Add("devices", instance.c_str(), l.keeper.DeviceNode(instance.c_str()));
            break;
        }
    }
}

void ListComponents(CLister& l, const CUninstallDatabase& db) {
    CTextList candidates;
    DriverCandidates(db, candidates);
    for (const char* name : candidates) {
        if (!l.keeper.HasDriver(name)) continue;
        const CRefusal refusal = l.keeper.Driver(name);
        l.Add("drivers", name, refusal);
        if (refusal) continue;
        char inf[MAX_PATH] = "";
        FindOemInf(inf, name);
        if (inf[0]) l.Add("drivers", inf, l.keeper.OemInf(inf));
    }
    for (const char* name : db.removal.monitors) l.Add("monitors", name, l.keeper.Monitor(name));
    for (const char* name : db.removal.printProcessors) l.Add("printProcessors", name, l.keeper.PrintProcessor(name));
    for (const char* name : db.removal.services) l.Add("services", name, l.keeper.Service(name));
    for (const char* text : db.removal.hooks) {
        std::string library, exportName;
        if (HookLibraryOf(text, library, exportName)) l.Add("hooks", library, l.keeper.HookLibrary(library.c_str()));
    }
}

void ListRegistryAndIni(CLister& l, const CUninstallDatabase& db) {
    for (const char* text : db.removal.shortcuts) {
        CShortcutItem item;
        if (ParseShortcutItem(text, item)) l.Add("shortcuts", text, l.keeper.ShortcutGroup(item.group.c_str()));
    }
    for (const char* text : db.removal.deleteIni) {
        CIniItem item;
        if (ParseIniItem(text, item))
            l.Add("deleteIni", text, l.keeper.IniLine(item.path.c_str(), item.section.c_str(), item.key.c_str()));
    }
    for (const char* text : db.removal.deleteLoadRun) {
        std::string name, pattern;
        if (!ParseLoadRunItem(text, name, pattern)) continue;
        l.Add("deleteLoadRun", text,
              l.keeper.Os().IsWin32s() ? l.keeper.LoadWord(pattern.c_str()) : l.keeper.RunValue(kRunKeyPath, name.c_str()));
    }
    for (const char* text : db.removal.registryKeys) {
        CRegistryItem item;
        if (!ParseRegistryItem(text, item)) continue;
        l.Add("registryKeys", text,
              item.value.empty() ? l.keeper.RegistryKey(item.root, item.subKey.c_str(), item.tree)
                                 : l.keeper.RegistryValue(item.root, item.subKey.c_str(), item.value.c_str()));
    }
}

}  // namespace

std::vector<CRefusedItem> ListRefusals(const CKeeper& keeper, const CUninstallDatabase& database,
                                       const CTextList& directDirs, const CTextList& searchDirs) {
    std::vector<CRefusedItem> out;
    CLister lister(keeper, out);
    ListPrinters(lister, database);
    ListComponents(lister, database);
    ListRegistryAndIni(lister, database);
    const std::vector<std::string> oemDirectories = ListOemPaths(lister);
    ListFiles(lister, database, directDirs, searchDirs, oemDirectories);
    return out;
}
