#include "removal/protected_keys.h"

#include <ctype.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

// Keys Windows needs below HKEY_LOCAL_MACHINE; a key is protected when it is one of them or lies on the way
// to one. SOFTWARE\Classes is also HKEY_CLASSES_ROOT (its needed keys are listed apart).
const char* const kMachineKeys[] = {
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports",
    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts",
    "SOFTWARE\\Microsoft\\Cryptography",
    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon",
    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Print",
    "SOFTWARE\\Policies\\Microsoft",
    "SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion",
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64\\Drivers",
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64\\Print Processors\\winprint",
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT x86\\Drivers",
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT x86\\Print Processors\\winprint",
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows 4.0\\Drivers",
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Local Port",
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Standard TCP/IP Port",
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\USB Monitor",
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\WSD Port",
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers",
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Providers",
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Forms",
    "SYSTEM\\CurrentControlSet\\Control\\Session Manager",
    "SYSTEM\\CurrentControlSet\\Hardware Profiles",
    "SYSTEM\\MountedDevices",
    "SYSTEM\\Setup",
    "SYSTEM\\CurrentControlSet\\Control\\Class",
    "SYSTEM\\CurrentControlSet\\Enum\\USB",
    "SYSTEM\\CurrentControlSet\\Enum\\USBPRINT",
    "SYSTEM\\CurrentControlSet\\Enum\\Root",
    "SYSTEM\\CurrentControlSet\\Services\\Spooler",
    "SYSTEM\\CurrentControlSet\\Services\\usbprint",
    "SYSTEM\\CurrentControlSet\\Services\\EventLog",
};

// Keys Windows needs below a user's key (HKEY_CURRENT_USER, or a user of HKEY_USERS).
const char* const kUserKeys[] = {
    "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows",
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\Devices",
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\PrinterPorts",
    "Software\\Classes",
    "Printers\\Connections",
    "Control Panel\\Desktop",
    "Environment",
};

// Class registrations Windows needs (HKEY_CLASSES_ROOT, or SOFTWARE\Classes of a machine or a user).
const char* const kClassKeys[] = {"CLSID", "Interface", "TypeLib", "AppID", "*", "Directory", "Folder", "Drive",
                                  "exefile", "dllfile", "inffile", "lnkfile", "txtfile", "Applications",
                                  "SystemFileAssociations", "MIME"};

// The key split into its components, lower-cased; false when a component is "." or "..".
bool Components(const char* subKey, std::vector<std::string>& out) {
    std::string part;
    auto flush = [&]() {
        if (part.empty()) return true;
        if (part == "." || part == "..") return false;
        out.push_back(part);
        part.clear();
        return true;
    };
    // Blanks around the whole key do not make it another key.
    std::string whole = subKey ? subKey : "";
    whole.erase(0, whole.find_first_not_of(' '));
    whole.erase(whole.find_last_not_of(' ') + 1);
    for (const char* p = whole.c_str(); *p; ++p) {
        if (*p == '\\' || *p == '/') {
            if (!flush()) return false;
        } else {
            part += static_cast<char>(tolower(static_cast<unsigned char>(*p)));
        }
    }
    return flush();
}

// Whether the key lies on the way to (or is) one of the needed keys.
bool LeadsTo(const std::vector<std::string>& key, size_t from, const char* const* needed, size_t count) {
    for (size_t n = 0; n < count; ++n) {
        std::vector<std::string> target;
        Components(needed[n], target);
        if (key.size() - from > target.size()) continue;
        bool prefix = true;
        for (size_t i = from; i < key.size() && prefix; ++i) prefix = key[i] == target[i - from];
        if (prefix) return true;
    }
    return false;
}

bool IsClassKey(const std::string& name) {
    if (!name.empty() && name[0] == '.') return true;  // a file type
    for (const char* c : kClassKeys)
        if (_strcmpi(name.c_str(), c) == 0) return true;
    return false;
}

// Below a Classes key: the key itself and the class keys Windows needs (a class's own registrations below
// them, such as CLSID\{...} of the family, may go).
const char* ClassesReason(const std::vector<std::string>& key, size_t from) {
    if (key.size() == from) return "it is the class registrations' root";
    if (key.size() == from + 1 && IsClassKey(key[from])) return "it holds class registrations Windows needs";
    return nullptr;
}

// Normalises ControlSet001 and the like to CurrentControlSet.
void NormaliseControlSet(std::vector<std::string>& key) {
    if (key.size() >= 2 && key[0] == "system" && key[1].size() == 13 && key[1].compare(0, 10, "controlset") == 0 &&
        isdigit(static_cast<unsigned char>(key[1][10])))
        key[1] = "currentcontrolset";
}

const char* UserReason(const std::vector<std::string>& key, size_t from) {
    if (key.size() == from) return "it is a user's whole registry";
    if (key.size() == from + 1) return "it is a key directly below a user's registry";
    if (key.size() >= from + 2 && key[from] == "software" && key[from + 1] == "classes")
        if (const char* why = ClassesReason(key, from + 2)) return why;
    if (LeadsTo(key, from, kUserKeys, sizeof kUserKeys / sizeof kUserKeys[0])) return "Windows needs it or a key below it";
    return nullptr;
}

}  // namespace

const char* ProtectedRegistryKeyReason(HKEY root, const char* subKey) {
    std::vector<std::string> key;
    if (!Components(subKey, key)) return "it names \".\" or \"..\"";
    if (root == HKEY_CLASSES_ROOT) return ClassesReason(key, 0);
    if (root == HKEY_CURRENT_USER) return UserReason(key, 0);
    if (root == HKEY_USERS) {
        if (key.empty()) return "it is a registry root";
        return UserReason(key, 1);
    }
    if (root == HKEY_LOCAL_MACHINE) {
        if (key.empty()) return "it is a registry root";
        if (key.size() == 1) return "it is a key directly below HKEY_LOCAL_MACHINE";
        NormaliseControlSet(key);
        if (key.size() >= 2 && key[0] == "software" && key[1] == "classes")
            if (const char* why = ClassesReason(key, 2)) return why;
        if (LeadsTo(key, 0, kMachineKeys, sizeof kMachineKeys / sizeof kMachineKeys[0]))
            return "Windows needs it or a key below it";
        return nullptr;
    }
    return "it is not a root the scripts may name";
}
