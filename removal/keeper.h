// CKeeper: what the machine still needs. The tool runs as administrator, on whole fleets, and deletes what
// its uninstall scripts (and the family's registry entries) name; both are outside input, and a damaged,
// careless or planted script must not make it delete Windows itself or what another maker's printer uses.
// So every remover asks the keeper before it removes anything, and the keeper answers from the machine
// itself, not from lists of names:
//
//   rule                what it keeps
//   windows-file        files Windows protects, Windows's own INI files and INF files
//   staying-printer     whatever a printer that stays uses, whatever its maker: its driver in every
//                       environment, the driver's files, its OEM INF, its port's monitor and the monitor's
//                       library, its print processor and the processor's library, its USB device nodes; for
//                       another maker's printer also what its driver's maker owns by name (SOFTWARE\<maker>
//                       in every user and view, <maker>.ini in the Windows directory)
//   windows-printing    the standard monitors, WinPrint, Windows's own drivers and their files (a driver
//                       whose INF is published under a name not oem*.inf, or whose provider is Microsoft),
//                       and a driver whose INF's published name cannot be told
//   service             a service that is not the family's: one that starts with Windows, one whose program
//                       Windows protects or shares, one whose program the family does not own
//   windows-key         Windows's registry keys with their subtrees (the 9x class's device tree HKLM\Enum
//                       too); the class containers (CLSID, Interface, TypeLib, AppID) in both views; below
//                       the spooler's and the service manager's keys only the keys of components this run
//                       removes
//   points-elsewhere    a key or value naming a program or library that is not the family's (a Run value,
//                       a word of win.ini's load line, a class key's server, command or icon, a ProgID's
//                       through the CLSID it names)
//   windows-ini         Windows's own INI lines (win.ini's [windows], system.ini's [boot] and the like)
//   path-form           a path Windows would read as something else: \\?\ and \\.\ paths, shares, streams,
//                       wildcards, trailing dots or blanks, a relative path, a printer name with a backslash
//   windows-folder      a folder Windows or a user owns, or one that holds such a folder or a file Windows
//                       protects; a group of the Start menu that is Windows's
//   user-folder         a library beside a tool run from a folder a user can write
//
// "The family's" is always something the run can show: a full path that the file removal itself deletes (a
// listed file in one of the places it looks), a path below a family OEM directory, or a path in the
// program's own folder when no user can write that folder. A bare name match is not enough.
//
// What the rules above take in, spelled out where a script has aimed before: windows-folder holds every user's
// profile (the ProfileList's, Default and Public below the profiles directory) and every folder below a profile
// or a user's known folder; a port monitor goes only with a plain name (path-form) and a library that is the
// family's or none (points-elsewhere: another library); a driver goes only when it is neither Windows's nor
// another maker's by its provider, manufacturer or INF's provider (windows-printing, which keeps another maker's
// driver files too), and the driver stage's "(PSCRIPT)" rule takes only drivers the keeper lets go.
//
// The keeper learns the machine once per run, at stage 0 (Learn), and again after the printers went
// (LearnStayingPrinters): a printer that could not be deleted, or waits with jobs for its deletion, stays.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/os_version.h"
#include "base/platform.h"
#include "removal/keeper_text.h"
#include "script/database.h"
#include "script/text_list.h"

// Why an item stays: the rule that keeps it and a sentence for the log. Empty (false) when the item may go.
struct CRefusal {
    const char* rule = nullptr;
    std::string why;

    explicit operator bool() const { return rule != nullptr; }
    static CRefusal By(const char* rule, const std::string& why) {
        CRefusal r;
        r.rule = rule;
        r.why = why;
        return r;
    }
    // The rule that keeps what a printer that stays still needs (its driver, files, port, device).
    bool IsStayingPrinter() const { return rule && std::string(rule) == "staying-printer"; }
    // "RULE: why", as the log and the plan write it.
    std::string Text() const { return rule ? std::string(rule) + ": " + why : std::string(); }
};

class CKeeper {
public:
    CKeeper() = default;
    ~CKeeper();
    CKeeper(const CKeeper&) = delete;
    CKeeper& operator=(const CKeeper&) = delete;

    // Learns what the machine still needs for a removal of the printers the database marks (isKept 0):
    // Windows's folders, files and printing parts, the printers that stay and what they use, the family's
    // folders and files. directDirs and searchDirs are the file removal's directory lists.
    void Learn(const CUninstallDatabase& database, const COSVersion& os, const CTextList& directDirs,
               const CTextList& searchDirs);
    // After the printers' stage: every printer still installed stays (one that could not be deleted, or is
    // pending deletion), and what it uses is kept from then on.
    void LearnStayingPrinters();
    // The driver stage uninstalls an OEM INF: its .inf and .pnf may then go from the INF directory.
    void NoteUninstalledInf(const char* infFileName);
    // The driver stage deletes a driver the lists did not name (a Pavane PostScript driver nobody uses): its
    // keys may then go too.
    void NoteRemovedDriver(const char* name);

    // --- files and folders (keeper_files.cpp) --------------------------------------------------------------
    // A file the file, shortcut or INF removal is about to delete (or schedule), by its full path.
    CRefusal File(const char* path) const;
    // A name of the files list: the form of the name alone (wildcards, streams, trailing dots or blanks).
    CRefusal FileName(const char* name) const;
    // An OEM path of the registry: the directory to empty and remove, resolved as Windows resolves it (a last
    // part that names an existing file is that file's folder; any other last part is the directory itself)
    // into directory. Each path is resolved once, at Learn or when first asked, and keeps that answer for
    // the run: a folder the removal emptied and removed never turns the same text into its parent.
    CRefusal OemDirectory(const char* oemPath, std::string& directory) const;
    // A folder the file removal is about to remove (an OEM directory or a folder below it).
    CRefusal Folder(const char* path) const;
    // A program group (the folder below the Start menu's Programs) a shortcut item names.
    CRefusal ShortcutGroup(const char* group) const;
    // A hook library the run would load.
    CRefusal HookLibrary(const char* path) const;
    // Whether a full path is the family's (see above).
    bool IsFamilyPath(const char* path) const;

    // --- components (keeper.cpp) ---------------------------------------------------------------------------
    CRefusal Printer(const char* name) const;  // a printer name as it names registry keys
    CRefusal Driver(const char* name) const;
    CRefusal OemInf(const char* infFileName) const;
    CRefusal Monitor(const char* name) const;
    CRefusal PrintProcessor(const char* name) const;
    // A printer that uses the processor and stays on it (it is not switched to WinPrint): another maker's.
    bool ProcessorUsedByOtherMaker(const char* processor, const char* printer) const;
    CRefusal Service(const char* name) const;
    // A device node by its instance ID.
    CRefusal DeviceNode(const char* instanceId) const;

    // --- registry and INI (keeper_registry.cpp) -------------------------------------------------------------
    // A key to delete (with its subtree when tree is set).
    CRefusal RegistryKey(HKEY root, const char* subKey, bool tree) const;
    // A value to delete: the rule of its key, and what a Run value names.
    CRefusal RegistryValue(HKEY root, const char* subKey, const char* value) const;
    // A value of the machine's Run key, by its name (the start-up entries' list).
    CRefusal RunValue(const char* runKey, const char* name) const;
    // A command of win.ini's load line (Win32s).
    CRefusal LoadWord(const char* word) const;
    // A key of an INI file of the Windows directory.
    CRefusal IniLine(const char* fileName, const char* section, const char* key) const;

    const COSVersion& Os() const { return os; }
    // Whether a driver of that name is installed in some environment.
    bool HasDriver(const char* name) const { return drivers.count(Lower(name)) != 0; }
    // Whether the program's own folder serves as a place for the default script's "Strings" and hooks.
    bool ProgramFolderTrusted() const { return programFolderTrusted; }
    // The printers this run removes (their names, lower-cased).
    const std::set<std::string>& RemovedPrinters() const { return removedPrinters; }

private:
    struct InstalledDriver {
        std::string environment;
        std::vector<std::string> files;  // full paths: driver, data, config, help, dependent files
        std::string inf;                 // the INF it was installed from (level 8), or empty
        std::string publishedInf;        // that INF's name in the INF directory (lower-cased), or empty
        std::string provider;
        std::string manufacturer, monitor;  // level 8's manufacturer; the language monitor (lower-cased)
    };
    struct StayingPrinter {
        std::string name, driver, processor;
        std::vector<std::string> ports;
    };

    void LearnFolders();
    void LearnDrivers();
    void LearnPorts();
    void LearnFamilyFiles(const CUninstallDatabase& database);
    void LearnFamilyInfs();
    void LearnMonitorsOfGonePrinters(const CUninstallDatabase& database);
    void LearnProfiles(std::set<std::string>& owned);
    std::string OtherMaker(const InstalledDriver& driver) const;
    CRefusal ResolveOemDirectory(const char* oemPath, std::string& directory) const;
    bool IsUserFolder(const std::string& key) const;
    void LearnStaying(const std::vector<StayingPrinter>& printers);
    void LearnDevices(const std::set<std::string>& stayingPorts);
    bool IsWindowsDriver(const InstalledDriver& driver) const;
    bool IsProtectedFile(const std::string& fullPath) const;
    bool IsOwnedFolderOrHoldsOne(const std::string& folder, std::string& owned) const;
    bool HoldsProtectedFile(const std::string& folder, int depth) const;
    CRefusal ProgramReference(const std::string& command, const char* what) const;
    std::string FoundProgram(const std::string& program) const;
    bool IsFamilyProgram(const std::string& program) const;
    CRefusal ClassKey(HKEY root, const std::string& subKey, size_t classAt) const;
    CRefusal MakerKey(const std::vector<std::string>& key, size_t softwareAt) const;
    void LearnMakers(const StayingPrinter& printer);
    CRefusal ServicesKey(const std::vector<std::string>& key, size_t at) const;
    CRefusal PrintKey(const std::vector<std::string>& key, size_t at) const;

    COSVersion os;
    const CTextList* directDirs = nullptr;
    const CTextList* searchDirs = nullptr;
    std::string windowsDir, systemDir, infDir, programFolder;
    bool programFolderTrusted = true;

    // sfc.dll's SfcIsFileProtected (the NT family), loaded once per keeper.
    HMODULE sfcLibrary = NULL;
    void* sfcIsFileProtected = nullptr;
    // Folders Windows or a user owns, and folders of the tool itself that nothing may touch (lower-cased full
    // paths, as folder_paths.h gives them); the file removal's directory lists, likewise.
    std::vector<std::string> ownedFolders, keptFolders, directKeys, searchKeys;
    // The users' folders whose whole tree is a user's: every profile and every known folder of a user.
    std::vector<std::string> userTrees;
    // Each OEM path's answer for the run, by its text (lower-cased): the refusal, or the directory.
    mutable std::map<std::string, std::pair<CRefusal, std::string>> oemDirectories;
    // The family's OEM directories that may be emptied, and the listed file names (lower-cased).
    std::vector<std::string> familyFolders;
    std::set<std::string> listedFiles;

    // The installed drivers, by lower-cased name.
    std::multimap<std::string, InstalledDriver> drivers;
    // Monitors by lower-cased name: their library's full path; ports: lower-cased name -> monitor.
    std::map<std::string, std::string> monitorLibraries, portMonitors;

    // What the printers that stay use (lower-cased names, full paths).
    std::set<std::string> stayingPrinters, stayingDrivers, stayingFiles, stayingInfs, stayingMonitors,
        stayingProcessors, stayingDevices;
    // The makers of the drivers of other makers' printers that stay (lower-cased name -> who stays for it).
    std::map<std::string, std::string> stayingMakers;
    // Processor -> the staying printers of other makers that use it.
    std::map<std::string, std::set<std::string>> processorUsers;
    // Windows's own drivers and files (lower-cased).
    std::set<std::string> windowsDrivers, windowsDriverFiles;
    // Drivers whose INF's published name setupapi could not tell (lower-cased name -> why): whose they are is
    // unknown, so they stay.
    std::map<std::string, std::string> driversOfUnknownInf;
    // Other makers' drivers (lower-cased name -> the maker's name) and their files (full keys).
    std::map<std::string, std::string> otherMakersDrivers;
    std::set<std::string> otherMakersFiles;
    // The monitors of the ports of the printers this run removes, and the language monitors of the drivers
    // it removes (lower-cased): a monitor of the family serves the family's printers.
    std::set<std::string> familyMonitors;
    // The printers of the family or of Pavane (lower-cased names): every other printer is another maker's.
    std::set<std::string> familyPrinterNames;
    bool learnedOnce = false;  // the printers' stage is over: every printer still installed stays
    // The components this run removes: printers, drivers, services, monitors, processors (lower-cased).
    std::set<std::string> removedPrinters, removedDrivers, removedServices, removedMonitors, removedProcessors;
    // INF files (lower-cased file names) whose .inf and .pnf may go from the INF directory.
    std::set<std::string> familyInfs;
};
