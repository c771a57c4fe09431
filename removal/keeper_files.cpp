// What the machine still needs of its files and folders: Windows's own files, the folders Windows or a user
// owns, the form of a path, the family's folders and files.
#include <ctype.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "base/folder_paths.h"
#include "base/library_loading.h"
#include "base/path_parts.h"
#include "base/printer_environments.h"
#include "removal/driver_names.h"
#include "removal/backup/backup_set.h"
#include "removal/keeper.h"
#include "removal/keeper_text.h"

namespace {

const char kOemPathsKey[] = "SOFTWARE\\VESTRAL\\OEM04\\OEMPaths";

// The shell's folders: Windows's and the user's, never a family's folder.
const int kShellFolders[] = {0x00, 0x02, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0b, 0x0d, 0x0e, 0x10, 0x13, 0x14,
                             0x15, 0x16, 0x17, 0x18, 0x19, 0x1a, 0x1b, 0x1c, 0x1d, 0x1e, 0x1f, 0x20, 0x21,
                             0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2a, 0x2b, 0x2c, 0x2d, 0x2e,
                             0x2f, 0x30};
// The known folders of a user (CSIDL_PROGRAMS, PERSONAL, FAVORITES, STARTUP, RECENT, SENDTO, STARTMENU,
// MYMUSIC, MYVIDEO, DESKTOPDIRECTORY, NETHOOD, TEMPLATES, APPDATA, PRINTHOOD, LOCAL_APPDATA, INTERNET_CACHE,
// COOKIES, HISTORY, MYPICTURES, PROFILE) and the Public ones (COMMON_DESKTOPDIRECTORY, COMMON_DOCUMENTS):
// whatever lies below them is a user's.
const int kUserShellFolders[] = {0x02, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0b, 0x0d, 0x0e, 0x10, 0x13,
                                 0x15, 0x1a, 0x1b, 0x1c, 0x20, 0x21, 0x22, 0x27, 0x28, 0x19, 0x2e};
const char kProfileListKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
// The profiles below the profiles directory that belong to no account: the new user's and everyone's.
const char* const kSharedProfiles[] = {"Default", "Public", "Default User", "All Users"};
// Windows's folders by location code.
const int kWindowsFolders[] = {WINDIR, SYSDIR, PRINTDRIVERDIR, PRINTDRIVERDIR_W40, PRINTPROCDIR, PRINTPROCDIR_W40,
                               COLORDIR, INFDIR, TEMPDIR, PROGRAM_FILES};
// Folders below the system directory that printing and Windows keep.
const char* const kSystemSubfolders[] = {"spool", "spool\\drivers", "spool\\prtprocs", "spool\\printers", "drivers",
                                         "DriverStore", "DriverStore\\FileRepository", "config"};
const char* const kDriverVersions[] = {"0", "1", "2", "3"};

// The groups of the Start menu that Windows makes.
const char* const kWindowsGroups[] = {"Accessories", "Administrative Tools", "Startup", "StartUp", "System Tools",
                                      "Accessibility", "Ease of Access", "Maintenance", "Games", "Windows Accessories",
                                      "Windows Administrative Tools", "Windows Ease of Access", "Windows PowerShell",
                                      "Windows System", "Windows Kits", "Internet Explorer", "Windows Media Player"};

// The system's own files of the 9x class (it has no file protection to ask): its kernel, user and GDI, the
// virtual device drivers, WIN.COM, the registry's hives and the INI files Windows reads at its start.
const char* const k9xSystemFiles[] = {"KERNEL32.DLL", "KRNL386.EXE", "KRNL286.EXE", "USER.EXE", "USER32.DLL",
                                      "GDI.EXE", "GDI32.DLL", "ADVAPI32.DLL", "SHELL32.DLL", "SHELL.DLL",
                                      "COMMDLG.DLL", "COMDLG32.DLL", "COMCTL32.DLL", "MSVCRT.DLL", "WINSPOOL.DRV",
                                      "SPOOLSS.DLL", "MMSYSTEM.DLL", "WIN.COM", "SYSTEM.DAT", "USER.DAT",
                                      "SYSTEM.INI", "WIN.INI", "EXPLORER.EXE", "REGEDIT.EXE", "IO.SYS", "MSDOS.SYS",
                                      "COMMAND.COM", "CONFIG.SYS", "AUTOEXEC.BAT"};

typedef BOOL(WINAPI* SfcIsFileProtectedFn)(HANDLE, LPCWSTR);

bool HasWildcard(const char* text) { return strpbrk(text, "*?<>|\"") != NULL; }

// A component that ends in a dot or a blank ("." and ".." aside): Windows drops those, so the name would
// be another one than written.
bool HasTrailingDotOrBlank(const char* path) {
    const char* start = path;
    for (const char* p = path;; ++p) {
        if (*p == '\\' || *p == '/' || *p == 0) {
            const std::string part(start, p);
            if (!part.empty() && part != "." && part != ".." && (part.back() == '.' || part.back() == ' ')) return true;
            if (*p == 0) return false;
            start = p + 1;
        }
    }
}

std::string Parent(const std::string& path) {
    const size_t cut = path.find_last_of('\\');
    if (cut == std::string::npos) return path;
    return cut <= 2 ? path.substr(0, 3) : path.substr(0, cut);
}

bool IsExistingFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A text value of a key (REG_SZ or REG_EXPAND_SZ), "" when there is none.
std::string TextValue(HKEY key, const char* name) {
    char text[MAX_PATH] = "";
    DWORD size = sizeof text - 1, type = 0;
    if (RegQueryValueExA(key, name, NULL, &type, reinterpret_cast<LPBYTE>(text), &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::string();
    text[size < sizeof text ? size : sizeof text - 1] = 0;
    return text;
}

// A profile path as the ProfileList writes it ("%SystemDrive%\Users\Bob"), with the variables of the system
// it may hold; "" when another variable is left.
std::string ExpandedProfilePath(std::string path, const std::string& windowsDir) {
    const std::pair<const char*, std::string> variables[] = {
        {"%systemdrive%", windowsDir.substr(0, 2)}, {"%systemroot%", windowsDir}, {"%windir%", windowsDir}};
    for (const auto& v : variables)
        for (size_t at; (at = Lower(path).find(v.first)) != std::string::npos;) path.replace(at, strlen(v.first), v.second);
    return path.find('%') == std::string::npos ? FullPathOf(path) : std::string();
}

}  // namespace

CKeeper::~CKeeper() {
    if (sfcLibrary) FreeLibrary(sfcLibrary);
}

void CKeeper::LearnFolders() {
    char text[MAX_PATH] = "";
    windowsDir = GetWindowsDirectoryA(text, sizeof text) ? FullPathOf(text) : std::string();
    systemDir = GetSystemDirectoryA(text, sizeof text) ? FullPathOf(text) : std::string();
    infDir = windowsDir.empty() ? std::string() : windowsDir + "\\INF";
    if (!sfcLibrary && os.IsWinNT()) {
        sfcLibrary = LoadSystemLibrary("sfc.dll");
        if (sfcLibrary)
            sfcIsFileProtected = reinterpret_cast<void*>(GetProcAddress(sfcLibrary, "SfcIsFileProtected"));
    }

    std::set<std::string> owned;
    auto add = [&](const std::string& path) {
        const std::string key = FullKey(path);
        if (!key.empty()) owned.insert(key);
    };
    for (int code : kWindowsFolders) {
        CPathParts where;
        where.Resolve(code);
        add(where.FullPath());
    }
    for (int csidl : kShellFolders) {
        char folder[MAX_PATH] = "";
        ResolveShellFolder(csidl, folder);
        add(folder);
        if (csidl == CSIDL_PROFILE && folder[0]) add(Parent(FullPathOf(folder)));  // every user's profile
    }
    for (const char* environment : kPrinterEnvironments) {
        char dir[MAX_PATH] = "";
        DWORD needed = 0;
        if (!GetPrinterDriverDirectoryA(NULL, const_cast<LPSTR>(environment), 1, reinterpret_cast<LPBYTE>(dir), sizeof dir,
                                        &needed))
            continue;
        add(dir);
        for (const char* version : kDriverVersions) add(std::string(dir) + "\\" + version);
    }
    if (os.IsWinNT() && !systemDir.empty())
        for (const char* sub : kSystemSubfolders) add(systemDir + "\\" + sub);
    if (!windowsDir.empty()) add(windowsDir + "\\Temp");
    LearnProfiles(owned);
    ownedFolders.assign(owned.begin(), owned.end());
    // The tool's own folder, which holds the backup sets (this removal's among them): nothing in it, nor a
    // folder that holds it, is the family's to empty.
    keptFolders.clear();
    const std::string backupRoot = CBackupSet::Root(os);
    if (!backupRoot.empty()) keptFolders.push_back(FullKey(Parent(Parent(backupRoot))));

    directKeys.clear(), searchKeys.clear();
    for (const char* d : *directDirs) directKeys.push_back(FullKey(d));
    for (const char* d : *searchDirs) searchKeys.push_back(FullKey(d));
}

void CKeeper::LearnProfiles(std::set<std::string>& owned) {
    std::vector<std::string> profiles;
    std::string profilesDir;
    HKEY list = NULL;
    if (os.IsWinNT() && RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProfileListKey, 0, KEY_READ, &list) == ERROR_SUCCESS) {
        profilesDir = ExpandedProfilePath(TextValue(list, "ProfilesDirectory"), windowsDir);
        for (const char* shared : {"Default", "Public", "AllUsersProfile"})
            profiles.push_back(ExpandedProfilePath(TextValue(list, shared), windowsDir));
        for (DWORD index = 0;; ++index) {
            char sid[MAX_PATH];
            DWORD size = sizeof sid;
            const LONG r = RegEnumKeyExA(list, index, sid, &size, NULL, NULL, NULL, NULL);
            if (r == ERROR_NO_MORE_ITEMS) break;
            HKEY account = NULL;
            if (r != ERROR_SUCCESS || RegOpenKeyExA(list, sid, 0, KEY_READ, &account) != ERROR_SUCCESS) continue;
            profiles.push_back(ExpandedProfilePath(TextValue(account, "ProfileImagePath"), windowsDir));
            RegCloseKey(account);
        }
        RegCloseKey(list);
    }
    char folder[MAX_PATH] = "";
    if (os.IsWinNT()) ResolveShellFolder(CSIDL_PROFILE, folder);
    if (folder[0] && profilesDir.empty()) profilesDir = Parent(FullPathOf(folder));
    if (!profilesDir.empty()) {
        owned.insert(FullKey(profilesDir));
        for (const char* shared : kSharedProfiles) profiles.push_back(FullPathOf(profilesDir + "\\" + shared));
    }
    for (int csidl : kUserShellFolders) {
        folder[0] = 0;
        ResolveShellFolder(csidl, folder);
        if (folder[0]) profiles.push_back(FullPathOf(folder));
    }
    // A tree that holds one of Windows's folders is no user's (the 9x class keeps its shell folders in the
    // Windows directory, and a profile there would be all of it).
    userTrees.clear();
    for (const std::string& profile : profiles) {
        const std::string key = Lower(profile);
        if (key.size() <= 3) continue;
        bool holdsWindows = false;
        for (const std::string& windows : {windowsDir, systemDir})
            holdsWindows = holdsWindows || (!windows.empty() && PathIsWithin(Lower(windows), key));
        if (holdsWindows) continue;
        owned.insert(key);
        userTrees.push_back(key);
    }
}

bool CKeeper::IsUserFolder(const std::string& key) const {
    for (const std::string& tree : userTrees)
        if (PathIsWithin(key, tree)) return true;
    return false;
}

void CKeeper::LearnFamilyFiles(const CUninstallDatabase& database) {
    listedFiles.clear();
    for (const char* item : database.removal.files) {
        std::string name = item;
        name.erase(std::min(name.find('='), name.size()));
        if (!name.empty()) listedFiles.insert(Lower(FileNameOf(name)));
    }
    // Every OEM path is resolved now, before anything goes, and keeps its answer for the run.
    oemDirectories.clear();
    familyFolders.clear();
    HKEY key = NULL;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kOemPathsKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        for (DWORD index = 0;; ++index) {
            char name[MAX_PATH], data[MAX_PATH];
            DWORD nameSize = sizeof name, dataSize = sizeof data - 1, type = 0;
            LONG r = RegEnumValueA(key, index, name, &nameSize, NULL, &type, reinterpret_cast<LPBYTE>(data), &dataSize);
            if (r == ERROR_NO_MORE_ITEMS) break;
            if (r != ERROR_SUCCESS) continue;
            data[dataSize < sizeof data ? dataSize : sizeof data - 1] = 0;
            std::string directory;
            if (!OemDirectory(data, directory)) familyFolders.push_back(Lower(directory));
        }
        RegCloseKey(key);
    }
}

void CKeeper::LearnFamilyInfs() {
    // The OEM INF files of the drivers this run deletes may go from the INF directory.
    familyInfs.clear();
    for (const std::string& driver : removedDrivers) {
        char inf[MAX_PATH] = "";
        FindOemInf(inf, driver.c_str());
        if (inf[0] && !OemInf(inf)) familyInfs.insert(Lower(BaseName(inf)));
        auto range = drivers.equal_range(driver);
        for (auto it = range.first; it != range.second; ++it)
            if (!it->second.publishedInf.empty() && !OemInf(it->second.publishedInf.c_str()))
                familyInfs.insert(Lower(BaseName(it->second.publishedInf)));
    }
}

bool CKeeper::IsProtectedFile(const std::string& fullPath) const {
    if (fullPath.empty()) return false;
    if (os.IsWinNT()) {
        if (!sfcIsFileProtected) return false;
        WCHAR wide[MAX_PATH];
        if (!MultiByteToWideChar(CP_ACP, 0, fullPath.c_str(), -1, wide, MAX_PATH)) return false;
        return reinterpret_cast<SfcIsFileProtectedFn>(sfcIsFileProtected)(NULL, wide) != FALSE;
    }
    // The 9x class: the system's own files in the Windows and system directories and the drive's root.
    const std::string dir = Lower(Parent(fullPath));
    const std::string name = FileNameOf(fullPath);
    const bool systemPlace = dir == Lower(windowsDir) || dir == Lower(systemDir) || dir.size() <= 3 ||
                             PathIsWithin(dir, Lower(systemDir) + "\\iosubsys") ||
                             PathIsWithin(dir, Lower(systemDir) + "\\vmm32");
    if (!systemPlace) return false;
    const std::string ext = Lower(name.substr(std::min(name.find_last_of('.'), name.size())));
    if (ext == ".vxd" || ext == ".386") return true;
    for (const char* system : k9xSystemFiles)
        if (_strcmpi(name.c_str(), system) == 0) return true;
    return false;
}

CRefusal CKeeper::FileName(const char* name) const {
    if (HasWildcard(name)) return CRefusal::By("path-form", "a name with wildcards names no file");
    if (strchr(name, ':')) return CRefusal::By("path-form", "a name with \":\" names a stream or a drive");
    if (HasTrailingDotOrBlank(name)) return CRefusal::By("path-form", "Windows drops a trailing dot or blank");
    return CRefusal();
}

CRefusal CKeeper::File(const char* path) const {
    const std::string full = FullPathOf(path);
    if (full.empty()) return CRefusal::By("path-form", "it does not resolve to a full path");
    const std::string key = Lower(full);
    const std::string name = Lower(FileNameOf(full));
    if (name == "win.ini" || name == "system.ini") return CRefusal::By("windows-file", "Windows's own INI file");
    if (IsProtectedFile(full)) return CRefusal::By("windows-file", "Windows protects it");
    if (!infDir.empty() && PathIsWithin(key, Lower(infDir))) {
        const std::string ext = Lower(name.substr(std::min(name.find_last_of('.'), name.size())));
        if (name.compare(0, 3, "oem") != 0 || (ext != ".inf" && ext != ".pnf") || !familyInfs.count(Lower(BaseName(name))))
            return CRefusal::By("windows-file", "the INF directory keeps all but the OEM INF files this run uninstalls");
    }
    if (stayingFiles.count(key)) return CRefusal::By("staying-printer", "a printer that stays uses it");
    if (windowsDriverFiles.count(key)) return CRefusal::By("windows-printing", "a file of a driver of Windows");
    if (otherMakersFiles.count(key)) return CRefusal::By("windows-printing", "a file of another maker's driver");
    for (const std::string& folder : keptFolders)
        if (PathIsWithin(key, folder)) return CRefusal::By("windows-folder", "it lies in the tool's own backup folder");
    return CRefusal();
}

bool CKeeper::IsOwnedFolderOrHoldsOne(const std::string& folder, std::string& owned) const {
    const std::string key = Lower(folder);
    for (const std::string& o : ownedFolders)
        if (PathIsWithin(o, key)) {
            owned = o;
            return true;
        }
    for (const std::string& o : keptFolders)
        if (PathIsWithin(o, key) || PathIsWithin(key, o)) {
            owned = o;
            return true;
        }
    return false;
}

bool CKeeper::HoldsProtectedFile(const std::string& folder, int depth) const {
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((folder + "\\*.*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return false;
    bool holds = false;
    do {
        if (entry.cFileName[0] == '.') continue;
        const std::string path = folder + "\\" + entry.cFileName;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            holds = depth > 0 && HoldsProtectedFile(path, depth - 1);
        else
            holds = IsProtectedFile(path);
    } while (!holds && FindNextFileA(find, &entry));
    FindClose(find);
    return holds;
}

CRefusal CKeeper::ResolveOemDirectory(const char* oemPath, std::string& directory) const {
    directory.clear();
    const char* p = oemPath ? oemPath : "";
    if ((p[0] == '\\' || p[0] == '/') && (p[1] == '\\' || p[1] == '/')) {
        if ((p[2] == '?' || p[2] == '.') && (p[3] == '\\' || p[3] == '/'))
            return CRefusal::By("path-form", "a \\\\?\\ or \\\\.\\ path bypasses Windows's path rules");
        return CRefusal::By("path-form", "a folder of a share");
    }
    if (!(isalpha(static_cast<unsigned char>(p[0])) && p[1] == ':' && (p[2] == '\\' || p[2] == '/')))
        return CRefusal::By("path-form", "it is not a full path");
    if (HasWildcard(p)) return CRefusal::By("path-form", "a path with wildcards");
    if (strchr(p + 2, ':')) return CRefusal::By("path-form", "a path with \":\" names a stream");
    if (HasTrailingDotOrBlank(p)) return CRefusal::By("path-form", "Windows drops a trailing dot or blank");
    const std::string full = FullPathOf(p);
    if (full.empty()) return CRefusal::By("path-form", "it does not resolve to a full path");
    // A last part that names a file stands for the file's folder; anything else is the directory itself, also
    // one that is not there (a folder a removal cut short already took is never read as its parent).
    const size_t n = strlen(p);
    const bool namesFile = p[n - 1] != '\\' && p[n - 1] != '/' && IsExistingFile(full);
    const std::string folder = namesFile ? Parent(full) : full;
    if (const CRefusal refusal = Folder(folder.c_str())) return refusal;
    if (HoldsProtectedFile(folder, 3)) return CRefusal::By("windows-folder", "it holds files Windows protects");
    directory = folder;
    return CRefusal();
}

CRefusal CKeeper::OemDirectory(const char* oemPath, std::string& directory) const {
    const std::string text = Lower(oemPath ? oemPath : "");
    auto known = oemDirectories.find(text);
    if (known == oemDirectories.end()) {
        std::string resolved;
        const CRefusal refusal = ResolveOemDirectory(oemPath, resolved);
        known = oemDirectories.emplace(text, std::make_pair(refusal, resolved)).first;
    }
    directory = known->second.second;
    return known->second.first;
}

CRefusal CKeeper::Folder(const char* path) const {
    const std::string folder = FullPathOf(path ? path : "");
    if (folder.empty()) return CRefusal::By("path-form", "it does not resolve to a full path");
    if (folder.size() <= 3) return CRefusal::By("windows-folder", "a drive's root");
    std::string owned;
    if (IsOwnedFolderOrHoldsOne(folder, owned))
        return CRefusal::By("windows-folder", Lower(folder) == owned ? "a folder Windows or a user owns"
                                                                       : "it holds " + owned + ", a folder Windows or a user owns");
    if (IsUserFolder(Lower(folder))) return CRefusal::By("windows-folder", "a user's folder: it lies in a profile or a known folder");
    return CRefusal();
}

CRefusal CKeeper::ShortcutGroup(const char* group) const {
    if (HasWildcard(group)) return CRefusal::By("path-form", "a group with wildcards");
    if (strpbrk(group, "\\/:")) return CRefusal::By("path-form", "it is not a plain folder name");
    if (strstr(group, "..")) return CRefusal::By("path-form", "it names \"..\"");
    // Windows drops trailing dots and blanks: such a name is another folder, or the groups' folder itself.
    if (strspn(group, ". ") == strlen(group) || HasTrailingDotOrBlank(group))
        return CRefusal::By("path-form", "Windows drops a trailing dot or blank");
    for (const char* windows : kWindowsGroups)
        if (_strcmpi(group, windows) == 0) return CRefusal::By("windows-folder", "a group of Windows");
    for (int code : {PROGRAMS, COMMON_PROGRAMS}) {
        CPathParts where;
        where.Resolve(code);
        if (!where.DirectoryPath()[0]) continue;
        std::string owned;
        const std::string folder = FullPathOf(where.AppendSubdirectory(group));
        if (!folder.empty() && IsOwnedFolderOrHoldsOne(folder, owned))
            return CRefusal::By("windows-folder", "a folder Windows or a user owns");
    }
    return CRefusal();
}

CRefusal CKeeper::HookLibrary(const char* path) const {
    if (!programFolderTrusted && PathIsWithin(FullKey(path), FullKey(programFolder)))
        return CRefusal::By("user-folder", "beside the tool, in a folder a user can write");
    return CRefusal();
}

bool CKeeper::IsFamilyPath(const char* path) const {
    if (!path || !path[0]) return false;
    const std::string key = FullKey(path);
    if (key.empty() || File(key.c_str())) return false;
    for (const std::string& folder : familyFolders)
        if (PathIsWithin(key, folder)) return true;
    if (programFolderTrusted && PathIsWithin(key, FullKey(programFolder))) return true;
    // A listed file in one of the places the file removal looks for it.
    if (!listedFiles.count(FileNameOf(key))) return false;
    const std::string dir = Parent(key);
    for (const std::string& direct : directKeys)
        if (dir == direct) return true;
    for (const std::string& search : searchKeys) {
        if (!PathIsWithin(dir, search)) continue;
        // The directory itself and two levels below it.
        const size_t below = dir.size() > search.size() ? static_cast<size_t>(std::count(dir.begin() + search.size(), dir.end(), '\\')) : 0;
        if (below <= 2) return true;
    }
    return false;
}
