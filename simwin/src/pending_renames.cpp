#include "simwin/pending_renames.h"

#include "simwin/api/winreg.h"
#include "simwin/util.h"
#include "simwin/win32.h"

namespace simwin {

const char kSessionManagerKey[] = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char kPendingRenamesValue[] = "PendingFileRenameOperations";

namespace {

const char kNtPrefix[] = "\\??\\";

std::string withoutPrefix(std::string path) {
    if (path.compare(0, 4, kNtPrefix) == 0) path.erase(0, 4);
    return path;
}

// The strings of a REG_MULTI_SZ, up to its closing empty string (or the end of the data).
std::vector<std::string> strings(const std::vector<BYTE>& data) {
    std::vector<std::string> out;
    std::string text(data.begin(), data.end());
    while (!text.empty() && text.back() == '\0') text.pop_back();
    size_t at = 0;
    while (at <= text.size() && !text.empty()) {
        const size_t end = text.find('\0', at);
        out.push_back(text.substr(at, end == std::string::npos ? std::string::npos : end - at));
        if (end == std::string::npos) break;
        at = end + 1;
    }
    return out;
}

}  // namespace

std::vector<PendingRename> pendingRenames(const Registry& registry) {
    std::vector<PendingRename> out;
    const RegValue* value = registry.value(kSessionManagerKey, kPendingRenamesValue);
    if (!value) return out;
    // A deletion's empty target is a string of its own: "from\0\0" in the middle of the data. The trailing NULs
    // trimmed above took the last one; a pair list is therefore read from and to, in turn.
    const std::vector<std::string> parts = strings(value->data);
    for (size_t i = 0; i < parts.size(); i += 2) {
        PendingRename r;
        r.from = withoutPrefix(parts[i]);
        if (i + 1 < parts.size()) {
            std::string to = parts[i + 1];
            if (!to.empty() && to[0] == '!') to.erase(0, 1);
            r.to = withoutPrefix(to);
        }
        if (!r.from.empty()) out.push_back(r);
    }
    return out;
}

void setPendingRenames(Registry& registry, const std::vector<PendingRename>& renames) {
    if (renames.empty()) {
        if (RegKey* key = registry.find(kSessionManagerKey)) key->removeValue(kPendingRenamesValue);
        return;
    }
    std::vector<BYTE> data;
    auto add = [&data](const std::string& s) {
        data.insert(data.end(), s.begin(), s.end());
        data.push_back(0);
    };
    for (const PendingRename& r : renames) {
        add(kNtPrefix + r.from);
        add(r.to.empty() ? std::string() : kNtPrefix + r.to);
    }
    data.push_back(0);
    registry.setValue(kSessionManagerKey, kPendingRenamesValue, REG_MULTI_SZ, data);
}

void addPendingRename(Registry& registry, const PendingRename& rename) {
    std::vector<PendingRename> all = pendingRenames(registry);
    all.push_back(rename);
    setPendingRenames(registry, all);
}

bool isPendingRenamesValue(const RegKey& key, const RegValue& value) {
    return iequals(value.name, kPendingRenamesValue) && iequals(Registry::pathOf(key), kSessionManagerKey);
}

}  // namespace simwin
