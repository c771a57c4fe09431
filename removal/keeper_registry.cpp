// What the machine still needs of its registry and INI files: Windows's keys with their subtrees, the
// spooler's and the service manager's keys of components that stay, whatever names a program that is not
// the family's, and Windows's own INI lines.
#include <ctype.h>
#include <string.h>

#include <algorithm>

#include <string>
#include <vector>

#include "removal/keeper.h"
#include "removal/keeper_text.h"

namespace {

typedef std::vector<std::string> Key;

// Keys Windows needs with everything below them.
const char* const kMachineSubtrees[] = {
    "SAM", "SECURITY", "BCD00000000", "HARDWARE",
    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon",
    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList",
    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Print",
    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports",
    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts",
    "SOFTWARE\\WOW6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon",
    "SOFTWARE\\Microsoft\\Cryptography",
    "SOFTWARE\\Policies\\Microsoft",
    "SYSTEM\\Select", "SYSTEM\\MountedDevices", "SYSTEM\\Setup",
};
// Keys Windows needs below HKEY_LOCAL_MACHINE, and every key on the way to them; what lies below them may
// be the family's (an Uninstall entry, an App Paths entry of the family's program).
const char* const kMachineKeys[] = {
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
    "SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion",
};
// Keys Windows needs below a user's key (HKEY_CURRENT_USER, or a user of HKEY_USERS): the first ones with
// their subtrees, the others with the keys on the way to them.
const char* const kUserSubtrees[] = {
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows",
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\Devices",
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\PrinterPorts",
    "Software\\Policies\\Microsoft",
    "Control Panel", "Environment", "Printers\\Connections",
};
const char* const kUserKeys[] = {
    "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
    "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
    "Software\\Wow6432Node\\Classes",
};
// Windows's own keys directly below Software.
const char* const kWindowsSoftwareKeys[] = {"Microsoft", "Classes", "Policies", "Clients", "RegisteredApplications",
                                            "Wow6432Node"};
// The keys whose values start programs.
const char* const kRunKeys[] = {
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
    "SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Run",
    "SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnce"};

// Class containers: every registration below them is Windows's unless it points at the family's programs. The
// 32-bit view (Wow6432Node below a classes key) holds them again, and is read as a classes key of its own.
const char* const kClassContainers[] = {"CLSID", "Interface", "TypeLib", "AppID"};
const char kClassView32[] = "wow6432node";
// Class keys of Windows: the key itself stays; a registration below it (a context menu handler, a verb)
// goes only when it points at the family's programs.
const char* const kWindowsClassKeys[] = {"*", "Directory", "Folder", "Drive", "exefile", "dllfile", "inffile",
                                         "lnkfile", "txtfile", "Applications", "SystemFileAssociations", "MIME",
                                         "AllFilesystemObjects", "DesktopBackground", "batfile", "cmdfile",
                                         "regfile", "htmlfile", "Unknown", "Network", "Printers"};
// The keys of a class registration that name a program or library: their default value.
const char* const kReferenceKeys[] = {"inprocserver32", "localserver32", "inprochandler32", "inprocserver",
                                      "localserver", "defaulticon", "command", "win32", "win64"};

// Windows's own INI sections: the lines the tool's own logic changes (the default printer, the load line)
// go that way only.
struct IniSections {
    const char* file;
    const char* const* sections;
    size_t count;
};
const char* const kWinIniSections[] = {"windows", "desktop", "intl", "ports", "fonts", "FontSubstitutes",
                                       "extensions", "mci extensions", "Compatibility", "TrueType", "embedding",
                                       "sounds", "colors", "network", "spooler", "boot"};
const char* const kSystemIniSections[] = {"boot", "boot.description", "386Enh", "drivers", "drivers32", "mci", "mci32",
                                          "NonWindowsApp", "keyboard", "standard", "vcache"};

bool Components(const char* subKey, Key& out) {
    std::string part;
    auto flush = [&]() {
        if (part.empty()) return true;
        if (part == "." || part == "..") return false;
        out.push_back(part);
        part.clear();
        return true;
    };
    const std::string whole = Trimmed(subKey ? subKey : "");
    for (const char* p = whole.c_str(); *p; ++p) {
        if (*p == '\\' || *p == '/') {
            if (!flush()) return false;
        } else {
            part += static_cast<char>(tolower(static_cast<unsigned char>(*p)));
        }
    }
    return flush();
}

Key Split(const char* path) {
    Key key;
    Components(path, key);
    return key;
}

// Whether key[from..] is one of the listed keys (or lies below it, with subtrees), or on the way to one.
bool Matches(const Key& key, size_t from, const char* const* list, size_t count, bool subtrees, bool onTheWay) {
    for (size_t n = 0; n < count; ++n) {
        const Key target = Split(list[n]);
        const size_t length = key.size() - from;
        const size_t common = std::min(length, target.size());
        bool prefix = true;
        for (size_t i = 0; i < common && prefix; ++i) prefix = key[from + i] == target[i];
        if (!prefix) continue;
        if (length == target.size()) return true;
        if (length > target.size() && subtrees) return true;
        if (length < target.size() && onTheWay) return true;
    }
    return false;
}

bool OneOf(const std::string& name, const char* const* names, size_t count) {
    for (size_t i = 0; i < count; ++i)
        if (_strcmpi(name.c_str(), names[i]) == 0) return true;
    return false;
}

// How many links from a class key to the class it names (a ProgID's CLSID, its CurVer) a walk follows.
const int kClassLinks = 3;
// The keys of a registration whose default value names a class ID.
const char* const kClassIdLinks[] = {"clsid", "proxystubclsid32", "proxystubclsid"};

std::string Below(const std::string& parent, const std::string& child) {
    return parent.empty() ? child : parent + "\\" + child;
}

// A key's default value when it is text, else "".
std::string DefaultText(HKEY root, const std::string& subKey) {
    HKEY handle = NULL;
    if (RegOpenKeyExA(root, subKey.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return std::string();
    char value[2 * MAX_PATH] = "";
    DWORD size = sizeof value - 1, type = 0;
    const LONG r = RegQueryValueExA(handle, NULL, NULL, &type, reinterpret_cast<LPBYTE>(value), &size);
    RegCloseKey(handle);
    return r == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ) ? std::string(value) : std::string();
}

// A name that stands for one key beside the one that names it: a class ID ({...}) or a ProgID.
bool IsKeyName(const std::string& name) { return !name.empty() && name.find_first_of("\\/") == std::string::npos; }

// A classes key: the root and the path of the key whose subkeys are class registrations ("" for
// HKEY_CLASSES_ROOT itself).
struct ClassesKey {
    HKEY root;
    std::string path;
};

void ClassReferences(const ClassesKey& classes, const std::string& subKey, int depth, int links,
                     std::vector<std::string>& out);

// The registrations of the class a class ID names, wherever Windows finds it: in the classes key that names it in
// both views, in the merged view of HKEY_CLASSES_ROOT in both, and in the machine's 32-bit classes.
void ClassIdReferences(const ClassesKey& classes, const std::string& classId, int links, std::vector<std::string>& out) {
    const ClassesKey places[] = {
        classes,
        {classes.root, Below(classes.path, "Wow6432Node")},
        {HKEY_CLASSES_ROOT, ""},
        {HKEY_CLASSES_ROOT, "Wow6432Node"},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Wow6432Node\\Classes"},
    };
    for (const ClassesKey& place : places) ClassReferences(place, Below(place.path, "CLSID\\" + classId), 0, links + 1, out);
}

// The registrations of a ProgID a key names: beside that key, and in the merged view of HKEY_CLASSES_ROOT.
void ProgIdReferences(const ClassesKey& classes, const std::string& progId, int links, std::vector<std::string>& out) {
    for (const ClassesKey& place : {classes, ClassesKey{HKEY_CLASSES_ROOT, ""}})
        ClassReferences(place, Below(place.path, progId), 0, links, out);
}

// The commands and libraries a class registration names (the default values of its reference keys), with those
// of the class it names by a link of its own: a ProgID's CLSID and CurVer, an interface's proxy and stub class.
void ClassReferences(const ClassesKey& classes, const std::string& subKey, int depth, int links,
                     std::vector<std::string>& out) {
    HKEY handle = NULL;
    if (depth > 4 || out.size() > 64 || RegOpenKeyExA(classes.root, subKey.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return;
    const std::string leaf = Lower(FileNameOf(subKey));
    const std::string value = Trimmed(DefaultText(classes.root, subKey));
    if (!value.empty() && OneOf(leaf, kReferenceKeys, sizeof kReferenceKeys / sizeof kReferenceKeys[0]))
        out.push_back(value);
    // The links are the registration's own children: what they name runs when the registration is used.
    if (depth == 1 && links < kClassLinks && IsKeyName(value)) {
        if (OneOf(leaf, kClassIdLinks, sizeof kClassIdLinks / sizeof kClassIdLinks[0]))
            ClassIdReferences(classes, value, links, out);
        if (leaf == "curver") ProgIdReferences(classes, value, links + 1, out);
    }
    for (DWORD index = 0;; ++index) {
        char child[MAX_PATH];
        if (RegEnumKeyA(handle, index, child, sizeof child) != ERROR_SUCCESS) break;
        ClassReferences(classes, subKey + "\\" + child, depth + 1, links, out);
    }
    RegCloseKey(handle);
}

// A control set by any name: CurrentControlSet, ControlSet001 ...
bool IsControlSet(const std::string& name) {
    if (name == "currentcontrolset") return true;
    return name.size() > 10 && name.compare(0, 10, "controlset") == 0 &&
           strspn(name.c_str() + 10, "0123456789") == name.size() - 10;
}


}  // namespace

// --- registry keys ----------------------------------------------------------------------------------------

CRefusal CKeeper::ServicesKey(const Key& key, size_t at) const {
    if (key.size() == at) return CRefusal::By("windows-key", "the service manager's key");
    if (removedServices.count(key[at])) return CRefusal();
    return CRefusal::By("windows-key", "below Services only the key of a service this run removes may go");
}

CRefusal CKeeper::PrintKey(const Key& key, size_t at) const {
    // at: the component after "Print".
    const char* only = "below the spooler's keys only the keys of a component this run removes may go";
    if (key.size() <= at + 1) return CRefusal::By("windows-key", only);
    const std::string& place = key[at];
    if (place == "monitors" && removedMonitors.count(key[at + 1])) return CRefusal();
    if (place == "printers" && removedPrinters.count(key[at + 1])) return CRefusal();
    if (place == "environments" && key.size() > at + 3) {
        const std::string& kind = key[at + 2];
        if (kind == "print processors" && removedProcessors.count(key[at + 3])) return CRefusal();
        if (kind == "drivers") {
            // NT: Drivers\Version-N\<name>; the 9x class: Drivers\<name>.
            const bool versioned = key[at + 3].compare(0, 8, "version-") == 0;
            const size_t name = versioned ? at + 4 : at + 3;
            if (key.size() > name && removedDrivers.count(key[name])) return CRefusal();
        }
    }
    return CRefusal::By("windows-key", only);
}

CRefusal CKeeper::ClassKey(HKEY root, const std::string& subKey, size_t classAt) const {
    const Key key = Split(subKey.c_str());
    if (key.size() == classAt) return CRefusal::By("windows-key", "the class registrations' root");
    if (key[classAt] == kClassView32) {
        if (key.size() == classAt + 1) return CRefusal::By("windows-key", "the 32-bit view of the class registrations");
        return ClassKey(root, subKey, classAt + 1);
    }
    const std::string& name = key[classAt];
    const bool container = OneOf(name, kClassContainers, sizeof kClassContainers / sizeof kClassContainers[0]);
    const bool windowsClass = OneOf(name, kWindowsClassKeys, sizeof kWindowsClassKeys / sizeof kWindowsClassKeys[0]);
    if ((container || windowsClass) && key.size() == classAt + 1)
        return CRefusal::By("windows-key", "it holds class registrations Windows needs");
    // The registration a key belongs to: below a container its entry ({CLSID}), else the class key itself;
    // written as the caller wrote the key.
    std::vector<std::string> parts;
    for (size_t at = 0; at <= subKey.size();) {
        size_t end = subKey.find_first_of("\\/", at);
        if (end == std::string::npos) end = subKey.size();
        if (end > at) parts.push_back(subKey.substr(at, end - at));
        at = end + 1;
    }
    auto joinParts = [&](size_t count) {
        std::string out;
        for (size_t i = 0; i < count && i < parts.size(); ++i) out += (i ? "\\" : "") + parts[i];
        return out;
    };
    const size_t registration = container ? classAt + 2 : windowsClass ? key.size() : classAt + 1;
    const std::string registrationKey = joinParts(registration);
    std::vector<std::string> references;
    const ClassesKey classes{root, joinParts(classAt)};
    ClassReferences(classes, registrationKey, 0, 0, references);
    // A file type names its class (ProgID): the file type goes with what its class runs.
    if (!container && !windowsClass && name[0] == '.') {
        const std::string progId = DefaultText(root, registrationKey);
        if (IsKeyName(progId)) ProgIdReferences(classes, progId, 0, references);
    }
    for (const std::string& command : references) {
        std::string program = ProgramOf(command, windowsDir);
        const size_t comma = program.find(',');  // an icon's "path,index"
        if (comma != std::string::npos && program.find('\\') != std::string::npos) program.erase(comma);
        if (program.empty()) continue;
        if (!IsFamilyProgram(program))
            return CRefusal::By("points-elsewhere", "it names " + program + ", which is not the family's");
    }
    // A registration that names no program at all points at nothing: it goes as the scripts say.
    return CRefusal();
}

CRefusal CKeeper::MakerKey(const Key& key, size_t at) const {
    // at: the component after Software; the 32-bit view holds the maker's key again.
    if (key.size() > at + 1 && key[at] == kClassView32) ++at;
    // A driver may call its maker by a name Windows's own key below Software has: that key has its rules.
    if (key.size() <= at || OneOf(key[at], kWindowsSoftwareKeys, sizeof kWindowsSoftwareKeys / sizeof kWindowsSoftwareKeys[0]))
        return CRefusal();
    auto maker = stayingMakers.find(key[at]);
    if (maker == stayingMakers.end()) return CRefusal();
    return CRefusal::By("staying-printer", "the key of " + maker->second);
}

CRefusal CKeeper::RegistryKey(HKEY root, const char* subKey, bool tree) const {
    (void)tree;  // a key Windows needs is refused whole; a subtree below a key the family owns is the family's
    Key key;
    if (!Components(subKey, key)) return CRefusal::By("path-form", "it names \".\" or \"..\"");
    const std::string text = Trimmed(subKey ? subKey : "");
    auto user = [&](size_t from) -> CRefusal {
        if (key.size() == from) return CRefusal::By("windows-key", "a user's whole registry");
        if (key.size() == from + 1) return CRefusal::By("windows-key", "a key directly below a user's registry");
        if (key.size() >= from + 2 && key[from] == "software" && key[from + 1] == "classes")
            return ClassKey(root, text, from + 2);
        if (key.size() >= from + 3 && key[from] == "software" && key[from + 1] == kClassView32 && key[from + 2] == "classes")
            return ClassKey(root, text, from + 3);
        if (key[from] == "software")
            if (const CRefusal maker = MakerKey(key, from + 1)) return maker;
        if (Matches(key, from, kUserSubtrees, sizeof kUserSubtrees / sizeof kUserSubtrees[0], true, true) ||
            Matches(key, from, kUserKeys, sizeof kUserKeys / sizeof kUserKeys[0], false, true))
            return CRefusal::By("windows-key", "Windows needs it or a key below it");
        return CRefusal();
    };
    if (root == HKEY_CLASSES_ROOT) return ClassKey(root, text, 0);
    if (root == HKEY_CURRENT_USER) return user(0);
    if (root == HKEY_USERS) {
        if (key.empty()) return CRefusal::By("windows-key", "a registry root");
        const std::string& who = key[0];
        if (who.size() > 8 && who.compare(who.size() - 8, 8, "_classes") == 0) return ClassKey(root, text, 1);
        return user(1);
    }
    if (root != HKEY_LOCAL_MACHINE) return CRefusal::By("windows-key", "not a root the scripts may name");
    if (key.empty()) return CRefusal::By("windows-key", "a registry root");
    // The 9x class keeps its device tree (what Plug and Play found and installed) below the machine's key.
    if (key[0] == "enum" && !os.IsWinNT()) return CRefusal::By("windows-key", "the device tree of Windows");
    if (key.size() == 1) return CRefusal::By("windows-key", "a key directly below HKEY_LOCAL_MACHINE");
    if (key[0] == "system" && IsControlSet(key[1])) {
        // A control set by any name: all of it is Windows's but the keys of components this run removes.
        if (key.size() >= 3 && key[2] == "services") return ServicesKey(key, 3);
        if (key.size() >= 4 && key[2] == "control" && key[3] == "print") return PrintKey(key, 4);
        return CRefusal::By("windows-key", "a control set holds Windows's configuration");
    }
    if (key[0] == "software" && key[1] == "classes") return ClassKey(root, text, 2);
    if (key[0] == "software" && key[1] == kClassView32 && key.size() >= 3 && key[2] == "classes")
        return ClassKey(root, text, 3);
    if (key[0] == "software")
        if (const CRefusal maker = MakerKey(key, 1)) return maker;
    if (Matches(key, 0, kMachineSubtrees, sizeof kMachineSubtrees / sizeof kMachineSubtrees[0], true, true) ||
        Matches(key, 0, kMachineKeys, sizeof kMachineKeys / sizeof kMachineKeys[0], false, true))
        return CRefusal::By("windows-key", "Windows needs it or a key below it");
    return CRefusal();
}

CRefusal CKeeper::RegistryValue(HKEY root, const char* subKey, const char* value) const {
    Key key;
    if (!Components(subKey, key)) return CRefusal::By("path-form", "it names \".\" or \"..\"");
    // A value of a Run key starts a program: it goes when what it runs is the family's.
    const size_t from = root == HKEY_USERS ? 1 : 0;
    if ((root == HKEY_LOCAL_MACHINE || root == HKEY_CURRENT_USER || root == HKEY_USERS) && key.size() > from &&
        Matches(key, from, kRunKeys, sizeof kRunKeys / sizeof kRunKeys[0], false, false)) {
        HKEY handle = NULL;
        if (RegOpenKeyExA(root, subKey, 0, KEY_READ, &handle) != ERROR_SUCCESS) return CRefusal();
        char data[2 * MAX_PATH] = "";
        DWORD size = sizeof data - 1, type = 0;
        LONG r = RegQueryValueExA(handle, value, NULL, &type, reinterpret_cast<LPBYTE>(data), &size);
        RegCloseKey(handle);
        if (r != ERROR_SUCCESS) return CRefusal();
        return ProgramReference(data, "it runs ");
    }
    return RegistryKey(root, subKey, false);
}

CRefusal CKeeper::RunValue(const char* runKey, const char* name) const {
    return RegistryValue(HKEY_LOCAL_MACHINE, runKey, name);
}

CRefusal CKeeper::LoadWord(const char* word) const { return ProgramReference(word, "it runs "); }

bool CKeeper::IsFamilyProgram(const std::string& program) const {
    if (program.find('\\') != std::string::npos || program.find(':') != std::string::npos)
        return IsFamilyPath(program.c_str());
    // A bare name is looked for where Windows looks for a program first; one that is nowhere is the family's
    // only when the scripts name it.
    const std::string found = FoundProgram(program);
    return found.empty() ? listedFiles.count(Lower(program)) != 0 : IsFamilyPath(found.c_str());
}

// Where Windows finds a program: a path as it stands, a bare name in the system or Windows directory; "" when
// it is nowhere.
std::string CKeeper::FoundProgram(const std::string& program) const {
    if (program.find('\\') != std::string::npos || program.find(':') != std::string::npos)
        return GetFileAttributesA(program.c_str()) != INVALID_FILE_ATTRIBUTES ? program : std::string();
    for (const std::string& dir : {systemDir, windowsDir}) {
        const std::string path = dir + "\\" + program;
        if (!dir.empty() && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) return path;
    }
    return std::string();
}

CRefusal CKeeper::ProgramReference(const std::string& command, const char* what) const {
    const std::string program = ProgramOf(command, windowsDir);
    // A line that starts a program that exists nowhere points at nothing: it goes as the scripts say.
    if (program.empty() || FoundProgram(program).empty() || IsFamilyProgram(program)) return CRefusal();
    return CRefusal::By("points-elsewhere", what + program + ", which is not the family's");
}

// --- INI lines --------------------------------------------------------------------------------------------

CRefusal CKeeper::IniLine(const char* fileName, const char* section, const char* key) const {
    const std::string file = Lower(FileNameOf(fileName ? fileName : ""));
    const std::string s = Trimmed(section ? section : "");
    if (file == "win.ini") {
        if (_strcmpi(s.c_str(), "Devices") == 0 || _strcmpi(s.c_str(), "PrinterPorts") == 0) {
            if (removedPrinters.count(Lower(Trimmed(key ? key : "")))) return CRefusal();
            return CRefusal::By("windows-ini", "a printer's line goes only with a printer this run removes");
        }
        if (OneOf(s, kWinIniSections, sizeof kWinIniSections / sizeof kWinIniSections[0]))
            return CRefusal::By("windows-ini", "a line of Windows's own section [" + s + "] of win.ini");
    }
    if (file == "system.ini" && OneOf(s, kSystemIniSections, sizeof kSystemIniSections / sizeof kSystemIniSections[0]))
        return CRefusal::By("windows-ini", "a line of Windows's own section [" + s + "] of system.ini");
    if (file == "protocol.ini" || file == "control.ini" || file == "progman.ini")
        return CRefusal::By("windows-ini", "an INI file of Windows");
    // The INI file of the maker of a driver that stays, by the maker's name: the driver reads it.
    const size_t dot = file.rfind(".ini");
    auto maker = dot != std::string::npos && dot + 4 == file.size() ? stayingMakers.find(file.substr(0, dot))
                                                                     : stayingMakers.end();
    if (maker != stayingMakers.end()) return CRefusal::By("staying-printer", "the INI file of " + maker->second);
    return CRefusal();
}
