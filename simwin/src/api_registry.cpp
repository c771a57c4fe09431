// advapi32 on the current machine: the registry functions.
//
// As on Windows they return the error code and leave the thread's last error alone. Every opened
// HKEY is a RegKeyHandle in the machine's handle table; the predefined keys need no handle.
//
// Access: on NT a handle carries the rights granted when it was opened and each call checks the
// right it needs (KEY_QUERY_VALUE to read values, KEY_SET_VALUE to change them, ...). A user who is
// not an administrator may only read keys outside HKEY_CURRENT_USER. Windows 9x and Win32s check
// nothing, and their RegDeleteKeyA removes a whole tree, where NT refuses a key with subkeys.
#include <algorithm>
#include <cstring>
#include <iterator>
#include <map>
#include <vector>

#include "simwin/machine.h"
#include "simwin/win32.h"

using simwin::current;
using simwin::RegKey;
using simwin::RegKeyHandle;
using simwin::RegValue;

namespace {

bool isPredefined(HKEY h) {
    return h == HKEY_CLASSES_ROOT || h == HKEY_CURRENT_USER || h == HKEY_LOCAL_MACHINE || h == HKEY_USERS ||
           h == HKEY_CURRENT_CONFIG;
}

bool isNt() { return current().system.platform == simwin::Platform::Nt; }

// The rights the user may have on a key: everything, or only reading for a user who is not an
// administrator, outside HKEY_CURRENT_USER.
DWORD allowedFor(const RegKey& key) {
    const auto& sys = current().system;
    if (!isNt() || (sys.admin && !sys.adminDenyOnly)) return KEY_ALL_ACCESS;
    const RegKey* top = simwin::Registry::topOf(key);
    if (top && top == current().registry.root(HKEY_CURRENT_USER).get()) return KEY_ALL_ACCESS;
    return KEY_READ;
}

// The specific key rights a request stands for (generic rights mapped, SYNCHRONIZE and WOW64 flags dropped).
DWORD mapAccess(REGSAM sam) {
    DWORD a = sam;
    if (sam & GENERIC_READ) a |= KEY_READ;
    if (sam & GENERIC_WRITE) a |= KEY_WRITE;
    if (sam & GENERIC_EXECUTE) a |= KEY_EXECUTE;
    if (sam & GENERIC_ALL) a |= KEY_ALL_ACCESS;
    return a & KEY_ALL_ACCESS;
}

// The rights a new handle gets; false when the request asks for more than the user may have.
bool grant(DWORD allowed, REGSAM sam, DWORD& granted) {
    DWORD want = mapAccess(sam);
    if (want & ~allowed) return false;
    granted = (sam & MAXIMUM_ALLOWED) ? (allowed | want) : want;
    if (!isNt()) granted = KEY_ALL_ACCESS;
    return true;
}

struct OpenKey {
    std::shared_ptr<RegKey> key;
    DWORD access = 0;
    bool viaClasses = false;               // HKEY_CLASSES_ROOT itself, or a key opened through it
    std::vector<std::string> classesPath;  // the key's path below HKEY_CLASSES_ROOT
};

LONG resolve(HKEY h, OpenKey& out) {
    if (isPredefined(h)) {
        out.key = current().registry.root(h);
        if (!out.key) return ERROR_INVALID_HANDLE;
        out.access = allowedFor(*out.key);
        out.viaClasses = h == HKEY_CLASSES_ROOT;
        return ERROR_SUCCESS;
    }
    auto* o = current().handles.get<RegKeyHandle>(h);
    if (!o) return ERROR_INVALID_HANDLE;
    out.key = o->key;
    out.access = o->access;
    out.viaClasses = o->viaClasses;
    out.classesPath = o->classesPath;
    return out.key->deleted ? ERROR_KEY_DELETED : ERROR_SUCCESS;
}

// Resolves a handle and checks that it carries a right.
LONG resolveFor(HKEY h, DWORD right, OpenKey& out) {
    LONG r = resolve(h, out);
    if (r) return r;
    if (isNt() && !(out.access & right)) return ERROR_ACCESS_DENIED;
    return ERROR_SUCCESS;
}

// The key names of a relative path. A leading separator is an error; repeated and trailing
// separators are skipped.
LONG pathNames(LPCSTR path, std::vector<std::string>& names) {
    names.clear();
    if (!path || !*path) return ERROR_SUCCESS;
    if (path[0] == '\\') return ERROR_BAD_PATHNAME;
    for (auto& n : simwin::split(path, '\\'))
        if (!n.empty()) names.push_back(n);
    return ERROR_SUCCESS;
}

// Walks names from a key; stops at the first missing one (its index is returned in found).
std::shared_ptr<RegKey> walk(std::shared_ptr<RegKey> key, const std::vector<std::string>& names, size_t& found) {
    for (found = 0; found < names.size(); ++found) {
        auto it = key->subkeys.find(names[found]);
        if (it == key->subkeys.end()) break;
        key = it->second;
    }
    return key;
}

// The user's classes, HKEY_CURRENT_USER\Software\Classes; null when the user has none.
std::shared_ptr<RegKey> userClasses() {
    RegKey* software = current().registry.root(HKEY_CURRENT_USER)->child("Software");
    RegKey* classes = software ? software->child("Classes") : nullptr;
    return current().registry.share(classes);
}

// A path below HKEY_CLASSES_ROOT, the merged view of the user's classes over the machine's: a key the
// user's classes hold is theirs (reads, writes, opens and deletes go there); any other key is the
// machine's. A key being created goes where more of its path exists already, to the machine's classes on a
// tie (a new registration is the machine's unless the user's classes hold its parent).
std::shared_ptr<RegKey> walkClasses(const std::vector<std::string>& names, size_t& found) {
    auto machine = current().registry.root(HKEY_CLASSES_ROOT);
    size_t machineFound = 0;
    std::shared_ptr<RegKey> machineKey = machine ? walk(machine, names, machineFound) : nullptr;
    auto user = userClasses();
    size_t userFound = 0;
    std::shared_ptr<RegKey> userKey = user && !names.empty() ? walk(user, names, userFound) : nullptr;
    if (userKey && (userFound == names.size() || (userFound > machineFound && machineFound < names.size()))) {
        found = userFound;
        return userKey;
    }
    found = machineFound;
    return machineKey;
}

// Where a handle and a subkey path lead: key is the deepest existing key on the path, and names[found] the
// first name below it that does not exist (found == names.size() when the whole path exists). Through
// HKEY_CLASSES_ROOT, names is the whole path below it and the view chooses the hive (walkClasses).
struct Located {
    std::shared_ptr<RegKey> key;
    std::vector<std::string> names;
    size_t found = 0;
    bool viaClasses = false;
    bool complete() const { return found == names.size(); }
};

LONG locate(HKEY hKey, LPCSTR subKey, Located& at) {
    OpenKey base;
    LONG r = resolve(hKey, base);
    if (r) return r;
    std::vector<std::string> below;
    if ((r = pathNames(subKey, below))) return r;
    at.viaClasses = base.viaClasses;
    if (!base.viaClasses) {
        at.names = below;
        at.key = walk(base.key, at.names, at.found);
        return ERROR_SUCCESS;
    }
    at.names = base.classesPath;
    at.names.insert(at.names.end(), below.begin(), below.end());
    at.key = walkClasses(at.names, at.found);
    return ERROR_SUCCESS;
}

// The key of each hive at a path below HKEY_CLASSES_ROOT (null where that hive has none).
std::vector<std::shared_ptr<RegKey>> classesKeysAt(const std::vector<std::string>& path) {
    std::vector<std::shared_ptr<RegKey>> out;
    for (auto root : {userClasses(), current().registry.root(HKEY_CLASSES_ROOT)}) {
        size_t found = 0;
        std::shared_ptr<RegKey> key = root ? walk(root, path, found) : nullptr;
        if (key && found == path.size()) out.push_back(key);
    }
    return out;
}

// The subkey names of a key as its handle sees them. Through HKEY_CLASSES_ROOT: the subkeys of the user's
// classes and the machine's at that path, each name once, in the registry's order.
std::vector<std::string> subkeyNames(const OpenKey& k) {
    std::vector<std::shared_ptr<RegKey>> keys{k.key};
    if (k.viaClasses) keys = classesKeysAt(k.classesPath);
    std::map<std::string, std::string, simwin::ILess> names;
    for (const auto& key : keys)
        for (auto& kv : key->subkeys) names.emplace(kv.first, kv.second->name);
    std::vector<std::string> out;
    for (auto& kv : names) out.push_back(kv.second);
    return out;
}

HKEY addHandle(std::shared_ptr<RegKey> key, DWORD access, const Located& at) {
    auto o = std::make_shared<RegKeyHandle>();
    o->key = std::move(key);
    o->access = access;
    o->viaClasses = at.viaClasses;
    if (at.viaClasses) o->classesPath = at.names;
    return static_cast<HKEY>(current().handles.add(o));
}

bool isStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// Copies a value's data into a caller's buffer of room bytes (which holds at least the data). A string
// stored without its terminating NUL gets one when the buffer has a byte to spare; the size reported
// stays the stored size, as Windows reports it.
void copyData(const RegValue& v, LPBYTE out, DWORD room) {
    const size_t size = v.data.size();
    if (size) std::memcpy(out, v.data.data(), size);
    if (isStringType(v.type) && size && v.data.back() != 0 && room > size) out[size] = 0;
}

void clearTime(PFILETIME ft) {
    if (ft) ft->dwLowDateTime = ft->dwHighDateTime = 0;
}

}  // namespace

LONG WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult) {
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    Located at;
    if (LONG r = locate(hKey, lpSubKey, at)) return r;
    if (!at.complete()) return ERROR_FILE_NOT_FOUND;
    DWORD granted = 0;
    if (!grant(allowedFor(*at.key), samDesired, granted)) return ERROR_ACCESS_DENIED;
    *phkResult = addHandle(at.key, granted, at);
    return ERROR_SUCCESS;
}

LONG WINAPI RegOpenKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) {
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    if (!lpSubKey || !*lpSubKey) {
        *phkResult = hKey;
        return ERROR_SUCCESS;
    }
    return RegOpenKeyExA(hKey, lpSubKey, 0, MAXIMUM_ALLOWED, phkResult);
}

LONG WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                            REGSAM samDesired, LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                            LPDWORD lpdwDisposition) {
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    Located at;
    if (LONG r = locate(hKey, lpSubKey, at)) return r;
    std::shared_ptr<RegKey> key = at.key;
    DWORD allowed = allowedFor(*key);
    if (!at.complete() && !(allowed & KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
    DWORD granted = 0;
    if (!grant(allowed, samDesired, granted)) return ERROR_ACCESS_DENIED;
    for (size_t i = at.found; i < at.names.size(); ++i) {
        key->addChild(at.names[i]);
        key = key->subkeys.find(at.names[i])->second;
    }
    if (lpdwDisposition) *lpdwDisposition = at.complete() ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
    *phkResult = addHandle(key, granted, at);
    return ERROR_SUCCESS;
}

LONG WINAPI RegCreateKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) {
    return RegCreateKeyExA(hKey, lpSubKey, 0, nullptr, REG_OPTION_NON_VOLATILE, MAXIMUM_ALLOWED, nullptr, phkResult,
                           nullptr);
}

LONG WINAPI RegCloseKey(HKEY hKey) {
    if (isPredefined(hKey)) return ERROR_SUCCESS;
    if (!current().handles.get<RegKeyHandle>(hKey)) return ERROR_INVALID_HANDLE;
    current().handles.close(hKey);
    return ERROR_SUCCESS;
}

LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                             LPDWORD lpcbData) {
    OpenKey k;
    LONG r = resolveFor(hKey, KEY_QUERY_VALUE, k);
    if (r) return r;
    if ((lpData && !lpcbData) || lpReserved) return ERROR_INVALID_PARAMETER;
    const RegValue* v = k.key->findValue(lpValueName ? lpValueName : "");
    if (!v) return ERROR_FILE_NOT_FOUND;
    DWORD size = static_cast<DWORD>(v->data.size());
    if (lpType) *lpType = v->type;
    if (lpData) {
        if (*lpcbData < size) {
            *lpcbData = size;
            return ERROR_MORE_DATA;
        }
        copyData(*v, lpData, *lpcbData);
    }
    if (lpcbData) *lpcbData = size;
    return ERROR_SUCCESS;
}

LONG WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, CONST BYTE* lpData,
                           DWORD cbData) {
    OpenKey k;
    LONG r = resolveFor(hKey, KEY_SET_VALUE, k);
    if (r) return r;
    if (!lpData && cbData) return ERROR_NOACCESS;
    // A string whose size left out the terminating NUL gets it counted, as NT does.
    if (cbData && isStringType(dwType) && lpData[cbData - 1] && !lpData[cbData]) ++cbData;
    std::vector<BYTE> data(lpData, lpData + cbData);
    k.key->setValue(lpValueName ? lpValueName : "", dwType, std::move(data));
    return ERROR_SUCCESS;
}

LONG WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
    OpenKey k;
    LONG r = resolveFor(hKey, KEY_SET_VALUE, k);
    if (r) return r;
    return k.key->removeValue(lpValueName ? lpValueName : "") ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

LONG WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
    if (!lpSubKey) return ERROR_INVALID_PARAMETER;
    Located at;
    if (LONG r = locate(hKey, lpSubKey, at)) return r;
    if (!at.complete()) return ERROR_FILE_NOT_FOUND;
    std::shared_ptr<RegKey> key = at.key;
    auto& reg = current().registry;
    if (reg.isRoot(*key) || key == reg.root(HKEY_CLASSES_ROOT)) return ERROR_ACCESS_DENIED;
    if (!(allowedFor(*key) & DELETE)) return ERROR_ACCESS_DENIED;
    if (isNt() && !key->subkeys.empty()) return ERROR_ACCESS_DENIED;
    simwin::Registry::detach(*key);
    return ERROR_SUCCESS;
}

LONG WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                          LPSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime) {
    OpenKey k;
    LONG r = resolveFor(hKey, KEY_ENUMERATE_SUB_KEYS, k);
    if (r) return r;
    if (!lpName || !lpcchName || lpReserved) return ERROR_INVALID_PARAMETER;
    std::string name;
    if (k.viaClasses) {
        const std::vector<std::string> merged = subkeyNames(k);
        if (dwIndex >= merged.size()) return ERROR_NO_MORE_ITEMS;
        name = merged[dwIndex];
    } else {
        if (dwIndex >= k.key->subkeys.size()) return ERROR_NO_MORE_ITEMS;
        name = std::next(k.key->subkeys.begin(), dwIndex)->second->name;
    }
    if (name.size() >= *lpcchName) return ERROR_MORE_DATA;
    if (lpClass && lpcchClass && *lpcchClass == 0) return ERROR_MORE_DATA;
    std::memcpy(lpName, name.c_str(), name.size() + 1);
    *lpcchName = static_cast<DWORD>(name.size());
    if (lpClass && lpcchClass) lpClass[0] = '\0';
    if (lpcchClass) *lpcchClass = 0;
    clearTime(lpftLastWriteTime);
    return ERROR_SUCCESS;
}

LONG WINAPI RegEnumKeyA(HKEY hKey, DWORD dwIndex, LPSTR lpName, DWORD cchName) {
    DWORD size = cchName;
    return RegEnumKeyExA(hKey, dwIndex, lpName, &size, nullptr, nullptr, nullptr, nullptr);
}

LONG WINAPI RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName, LPDWORD lpReserved,
                          LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    OpenKey k;
    LONG r = resolveFor(hKey, KEY_QUERY_VALUE, k);
    if (r) return r;
    if (!lpValueName || !lpcchValueName || lpReserved || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
    if (dwIndex >= k.key->values.size()) return ERROR_NO_MORE_ITEMS;
    const RegValue& v = k.key->values[dwIndex];
    DWORD size = static_cast<DWORD>(v.data.size());
    // Data that does not fit leaves the name alone; a name that does not fit is cut to the buffer.
    LONG result = ERROR_SUCCESS;
    if (lpData && *lpcbData < size) {
        result = ERROR_MORE_DATA;
    } else {
        if (lpData) copyData(v, lpData, *lpcbData);
        if (v.name.size() >= *lpcchValueName) {
            result = ERROR_MORE_DATA;
            if (*lpcchValueName) {
                std::memcpy(lpValueName, v.name.data(), *lpcchValueName - 1);
                lpValueName[*lpcchValueName - 1] = '\0';
            }
        } else {
            std::memcpy(lpValueName, v.name.c_str(), v.name.size() + 1);
            *lpcchValueName = static_cast<DWORD>(v.name.size());
        }
    }
    if (lpType) *lpType = v.type;
    if (lpcbData) *lpcbData = size;
    return result;
}

LONG WINAPI RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved, LPDWORD lpcSubKeys,
                             LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                             LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen, LPDWORD lpcbSecurityDescriptor,
                             PFILETIME lpftLastWriteTime) {
    OpenKey k;
    LONG r = resolveFor(hKey, KEY_QUERY_VALUE, k);
    if (r) return r;
    if (lpReserved) return ERROR_INVALID_PARAMETER;
    if (lpClass && lpcchClass && *lpcchClass) lpClass[0] = '\0';
    if (lpcchClass) *lpcchClass = 0;
    DWORD maxSubKey = 0, maxName = 0, maxData = 0;
    const std::vector<std::string> subkeys = subkeyNames(k);
    for (const std::string& name : subkeys) maxSubKey = std::max(maxSubKey, static_cast<DWORD>(name.size()));
    for (auto& v : k.key->values) {
        maxName = std::max(maxName, static_cast<DWORD>(v.name.size()));
        // Windows stores strings as UTF-16 and reports that size here, even to the ANSI function.
        DWORD stored = isStringType(v.type) ? static_cast<DWORD>(2 * simwin::utf8ToUtf16(v.data).size())
                                            : static_cast<DWORD>(v.data.size());
        maxData = std::max(maxData, stored);
    }
    if (lpcSubKeys) *lpcSubKeys = static_cast<DWORD>(subkeys.size());
    if (lpcbMaxSubKeyLen) *lpcbMaxSubKeyLen = maxSubKey;
    if (lpcbMaxClassLen) *lpcbMaxClassLen = 0;
    if (lpcValues) *lpcValues = static_cast<DWORD>(k.key->values.size());
    if (lpcbMaxValueNameLen) *lpcbMaxValueNameLen = maxName;
    if (lpcbMaxValueLen) *lpcbMaxValueLen = maxData;
    if (lpcbSecurityDescriptor) *lpcbSecurityDescriptor = 0;
    clearTime(lpftLastWriteTime);
    return ERROR_SUCCESS;
}

LONG WINAPI RegQueryValueA(HKEY key, LPCSTR subKey, LPSTR data, PLONG size) {
    HKEY opened = key;
    if (subKey && *subKey) {
        LONG r = RegOpenKeyExA(key, subKey, 0, KEY_QUERY_VALUE, &opened);
        if (r != ERROR_SUCCESS) return r;
    }
    DWORD bytes = size ? static_cast<DWORD>(*size) : 0;
    LONG r = RegQueryValueExA(opened, NULL, NULL, NULL, reinterpret_cast<LPBYTE>(data), size ? &bytes : NULL);
    // A key without a default value reads as the empty text.
    if (r == ERROR_FILE_NOT_FOUND) {
        if (data) *data = 0;
        bytes = 1;
        r = ERROR_SUCCESS;
    }
    if (size) *size = static_cast<LONG>(bytes);
    if (opened != key) RegCloseKey(opened);
    return r;
}
