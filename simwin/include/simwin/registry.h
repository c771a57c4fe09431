// The registry: keys with case-insensitive names, values in creation order (the order
// RegEnumValueA reports), subkeys enumerated in ordinal upper-case order (as Windows does).
// HKEY_CLASSES_ROOT is the merged view of HKEY_CURRENT_USER\Software\Classes over
// HKEY_LOCAL_MACHINE\SOFTWARE\Classes: a key the user's classes hold is read, opened and deleted there,
// any other in the machine's; keys created through it (and the HKEY_CLASSES_ROOT sections of a registry
// file) go to the machine's classes unless the user's classes hold more of the path.
//
// Strings are kept as the tool's ANSI bytes, which on the host are UTF-8: a REG_SZ value set
// with RegSetValueExA holds exactly the bytes given (normally including the terminating NUL).
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "simwin/handles.h"
#include "simwin/types.h"
#include "simwin/util.h"

namespace simwin {

struct RegValue {
    std::string name;  // "" is the default value
    DWORD type = 0;    // REG_SZ, REG_DWORD, ...
    std::vector<BYTE> data;
};

struct RegKey {
    std::string name;  // as created; a root key carries its full root name ("HKEY_LOCAL_MACHINE")
    RegKey* parent = nullptr;
    bool deleted = false;  // set when the key is deleted while a handle still refers to it
    std::vector<RegValue> values;
    std::map<std::string, std::shared_ptr<RegKey>, ILess> subkeys;

    RegValue* findValue(const std::string& valueName);
    const RegValue* findValue(const std::string& valueName) const;
    RegKey* child(std::string_view keyName) const;
    // Sets (replacing in place, or appending) a value; a new value keeps the name's case as given.
    RegValue& setValue(const std::string& valueName, DWORD type, std::vector<BYTE> data);
    bool removeValue(const std::string& valueName);
    // The existing subkey, or a new one named as given.
    RegKey& addChild(const std::string& keyName);
};

// An open HKEY of the tool: the key it refers to (kept alive after a deletion) and the access granted. A key
// opened through HKEY_CLASSES_ROOT keeps its path below it: its subkeys are those of the merged view there.
struct RegKeyHandle : HandleObject {
    std::shared_ptr<RegKey> key;
    DWORD access = 0;
    bool viaClasses = false;
    std::vector<std::string> classesPath;
};

class Registry {
public:
    Registry();
    Registry(const Registry& other);  // a deep copy of the keys (open handles stay with the original)
    Registry& operator=(const Registry& other);
    Registry(Registry&&) = default;
    Registry& operator=(Registry&&) = default;

    // The root key object of a predefined key (HKEY_LOCAL_MACHINE ...), nullptr for others.
    std::shared_ptr<RegKey> root(HKEY predefined) const;
    // The shared pointer that owns a key of this registry (nullptr for a deleted key).
    std::shared_ptr<RegKey> share(const RegKey* key) const;

    // Full paths name the root in full or short form: "HKEY_LOCAL_MACHINE\SOFTWARE\X", "HKLM\SOFTWARE\X".
    // A path below HKEY_CLASSES_ROOT finds the user's key first.
    RegKey* find(const std::string& fullPath) const;
    // Creates the key and any missing parent; throws MachineError for an unknown root or an empty name.
    RegKey& create(const std::string& fullPath);
    bool remove(const std::string& fullPath);  // the key and its whole tree; false when missing or a root
    // Unlinks a key from its parent and marks it and its whole tree deleted.
    static void detach(RegKey& key);

    // The full path of a key with the root written in full ("HKEY_LOCAL_MACHINE\SOFTWARE\X").
    static std::string pathOf(const RegKey& key);
    // The root a key lies under (its top-most ancestor), nullptr for a detached tree.
    static const RegKey* topOf(const RegKey& key);
    bool isRoot(const RegKey& key) const;

    void setString(const std::string& keyPath, const std::string& valueName, const std::string& text);
    void setExpandString(const std::string& keyPath, const std::string& valueName, const std::string& text);
    void setMultiString(const std::string& keyPath, const std::string& valueName,
                        const std::vector<std::string>& strings);
    void setDword(const std::string& keyPath, const std::string& valueName, DWORD value);
    void setValue(const std::string& keyPath, const std::string& valueName, DWORD type, std::vector<BYTE> data);
    bool hasValue(const std::string& keyPath, const std::string& valueName) const;
    // nullptr when the key or the value is absent.
    const RegValue* value(const std::string& keyPath, const std::string& valueName) const;
    // The value as text (REG_SZ/REG_EXPAND_SZ without the NUL; other types empty); "" when absent.
    std::string getString(const std::string& keyPath, const std::string& valueName) const;
    // REG_DWORD values; def when absent or of another type.
    DWORD getDword(const std::string& keyPath, const std::string& valueName, DWORD def = 0) const;

    // regedit text ("Windows Registry Editor Version 5.00" or "REGEDIT4"), UTF-8 (a UTF-8 or UTF-16LE
    // byte-order mark is accepted). Merges into the registry: sections create keys, "[-KEY]" deletes a
    // key's tree, "name"=- deletes a value. Throws MachineError "origin:line: what" when the text cannot
    // be read (the keys read before the error stay).
    void loadReg(const std::string& text, const std::string& origin);
    // What a save leaves out: values for which skipValue answers true, keys (with their trees) for which
    // skipKey does. Either may be empty.
    struct SaveFilter {
        std::function<bool(const RegKey&, const RegValue&)> skipValue;
        std::function<bool(const RegKey&)> skipKey;
    };
    // Deterministic: keys sorted, values sorted by name, "Windows Registry Editor Version 5.00".
    std::string saveReg(const SaveFilter* filter = nullptr) const;

private:
    std::shared_ptr<RegKey> hklm_, hkcu_, hku_, hkcc_;
    // The key a path starts at (root or HKCR view) and the number of characters its root name used.
    std::shared_ptr<RegKey> rootOfPath(const std::string& fullPath, size_t& rootLength) const;
};

// Text helpers shared with the Win32 layer: UTF-8 <-> UTF-16 code units (invalid input becomes U+FFFD).
std::vector<WORD> utf8ToUtf16(const std::vector<BYTE>& bytes);
std::vector<BYTE> utf16ToUtf8(const std::vector<WORD>& units);

}  // namespace simwin
