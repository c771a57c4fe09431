#include "simwin/ini_mapping.h"

#include <algorithm>

#include "simwin/api/winreg.h"
#include "simwin/files.h"
#include "simwin/util.h"

namespace simwin {

namespace {

const char kMappedRoot[] = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\";

// win.ini's sections that live in the registry, and the key each is.
const struct {
    const char* section;
    const char* key;
} kMapped[] = {{"windows", "Windows"}, {"Devices", "Devices"}, {"PrinterPorts", "PrinterPorts"}};

std::string baseName(const std::string& path) {
    const size_t slash = path.find_last_of("\\/:");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string stringOf(const RegValue& v) {
    std::string s(v.data.begin(), v.data.end());
    const size_t nul = s.find('\0');
    return nul == std::string::npos ? s : s.substr(0, nul);
}

}  // namespace

std::string mappedProfileKey(Platform platform, const std::string& file, const std::string& section) {
    if (platform != Platform::Nt || !iequals(baseName(file), "win.ini")) return "";
    for (const auto& m : kMapped)
        if (iequals(trim(section), m.section)) return std::string(kMappedRoot) + m.key;
    return "";
}

void IniMapping::load(const SystemInfo& system, const FileSystem& files, Registry& registry) {
    if (system.platform != Platform::Nt) return;
    const std::string text = files.read(system.windowsDir + "\\win.ini");
    if (text.empty()) return;
    for (const auto& m : kMapped) {
        const std::string keyPath = std::string(kMappedRoot) + m.key;
        for (const std::string& name : profile::keys(text, m.section)) {
            std::string value;
            if (!profile::get(text, m.section, name, value) || registry.hasValue(keyPath, name)) continue;
            // The keys on the way that the registry lacks are made for the file's lines alone.
            for (std::string path = keyPath; path.size() > std::string("HKEY_CURRENT_USER").size() && !registry.find(path);
                 path = path.substr(0, path.find_last_of('\\')))
                madeKeys_.push_back(path);
            registry.setString(keyPath, name, value);
            read_.push_back(Read{Registry::pathOf(*registry.find(keyPath)), name, value});
        }
    }
}

bool IniMapping::fromFile(const RegKey& key, const RegValue& value) const {
    if (value.type != REG_SZ) return false;
    for (const Read& r : read_)
        if (iequals(r.name, value.name) && iequals(r.keyPath, Registry::pathOf(key))) return r.text == stringOf(value);
    return false;
}

bool IniMapping::madeForFile(const RegKey& key) const {
    const std::string path = Registry::pathOf(key);
    if (std::none_of(madeKeys_.begin(), madeKeys_.end(), [&](const std::string& p) { return iequals(p, path); }))
        return false;
    for (const RegValue& v : key.values)
        if (!fromFile(key, v)) return false;
    for (const auto& kv : key.subkeys)
        if (!madeForFile(*kv.second)) return false;
    return true;
}

}  // namespace simwin
