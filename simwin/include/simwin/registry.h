// The registry: keys with case-insensitive names, values in creation order (the order
// RegEnumValueA reports), subkeys enumerated in ordinal upper-case order (as Windows does).
// HKEY_CLASSES_ROOT is the view of HKEY_LOCAL_MACHINE\SOFTWARE\Classes.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "simwin/types.h"
#include "simwin/util.h"

namespace simwin {

struct RegValue {
    std::string name;  // "" is the default value
    DWORD type = 0;    // REG_SZ, REG_DWORD, ...
    std::vector<BYTE> data;
};

struct RegKey {
    std::string name;
    RegKey* parent = nullptr;
    bool deleted = false;  // set when the key is deleted while a handle still refers to it
    std::vector<RegValue> values;
    std::map<std::string, std::shared_ptr<RegKey>, ILess> subkeys;

    RegValue* findValue(const std::string& valueName);
    RegKey* child(const std::string& keyName) const;
};

class Registry {
public:
    Registry();

    // The root key object of a predefined key (HKEY_LOCAL_MACHINE ...), nullptr for others.
    std::shared_ptr<RegKey> root(HKEY predefined) const;

    // Full paths name the root in full or short form: "HKEY_LOCAL_MACHINE\SOFTWARE\X", "HKLM\SOFTWARE\X".
    RegKey* find(const std::string& fullPath) const;
    RegKey& create(const std::string& fullPath);
    bool remove(const std::string& fullPath);  // the key and its whole tree

    void setString(const std::string& keyPath, const std::string& valueName, const std::string& text);
    void setDword(const std::string& keyPath, const std::string& valueName, DWORD value);
    bool hasValue(const std::string& keyPath, const std::string& valueName) const;
    // The value as text (REG_SZ/REG_EXPAND_SZ without the NUL; other types empty); "" when absent.
    std::string getString(const std::string& keyPath, const std::string& valueName) const;

    // regedit text ("Windows Registry Editor Version 5.00" or "REGEDIT4"), UTF-8.
    // Throws MachineError naming origin and line when the text cannot be read.
    void loadReg(const std::string& text, const std::string& origin);
    // Deterministic: keys sorted, values sorted by name, "Windows Registry Editor Version 5.00".
    std::string saveReg() const;

private:
    std::shared_ptr<RegKey> hklm_, hkcu_, hku_, hkcc_;
};

}  // namespace simwin
