#include "removal/backup/restore_checks.h"

#include <ctype.h>
#include <string.h>

#include "base/text_lines.h"
#include "removal/item_kind.h"

namespace {

bool Same(const std::string& a, const std::string& b) { return _strcmpi(a.c_str(), b.c_str()) == 0; }

bool StartsWith(const std::string& text, const char* prefix) { return text.compare(0, strlen(prefix), prefix) == 0; }

// The names Windows gives to devices in every folder ("C:\x\NUL.txt" is the device NUL), checked on the part of
// a component before its first dot, without the trailing spaces Windows drops.
bool IsDeviceName(const std::string& component) {
    std::string base = component.substr(0, component.find('.'));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    for (char& c : base) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"})
        if (base == device) return true;
    return base.size() == 4 && (StartsWith(base, "COM") || StartsWith(base, "LPT")) && isdigit(static_cast<unsigned char>(base[3]));
}

// Why one component of a path (between separators) is not a name of a file or folder.
std::string ComponentDamage(const std::string& component) {
    // Windows drops trailing dots and spaces: ". ." and "..." are "." or ".." to it.
    if (!component.empty() && component.find_first_not_of(". ") == std::string::npos)
        return "its path has a relative component (\"" + component + "\")";
    if (IsDeviceName(component)) return "its path names a device (\"" + component + "\")";
    for (unsigned char c : component)
        if (c < 32 || strchr("*?\"<>|", c)) return "its path holds a character no file name may";
    return std::string();
}

// The record an item of each kind keeps.
struct RecordOfKind {
    ItemKind item;
    const char* record;
};
const RecordOfKind kRecordKinds[] = {
    {ItemKind::Printer, "printer"},     {ItemKind::Printer, "connection"}, {ItemKind::Driver, "driver"},
    {ItemKind::Monitor, "monitor"},     {ItemKind::Processor, "processor"}, {ItemKind::Service, "service"},
    {ItemKind::Folder, "folder"},       {ItemKind::IniKey, "ini"},          {ItemKind::RunValue, "loadline"},
    {ItemKind::DefaultPrinter, "default"}};

// Whether a name of the spooler's (a driver's or processor's item adds its environment: "NAME (ENV)").
bool NamesWithEnvironment(const std::string& item, const std::string& name) {
    return item.size() > name.size() + 2 && Same(item.substr(0, name.size() + 2), name + " (") && item.back() == ')';
}

}  // namespace

std::string PathDamage(const std::string& path) {
    if (path.find('\0') != std::string::npos) return "its path holds a NUL";
    for (const char* device : {"\\\\.\\", "\\\\?\\", "//./", "//?/", "\\??\\"})
        if (StartsWith(path, device)) return "its path is a device path";
    if (path.size() < 4 || !isalpha(static_cast<unsigned char>(path[0])) || path[1] != ':' || path[2] != '\\')
        return "its path is not a full path on a drive";
    if (path.find(':', 2) != std::string::npos) return "its path names an alternate data stream";
    size_t start = 3;
    while (start <= path.size()) {
        size_t end = path.find_first_of("\\/", start);
        if (end == std::string::npos) end = path.size();
        const std::string why = ComponentDamage(path.substr(start, end - start));
        if (!why.empty()) return why;
        start = end + 1;
    }
    return std::string();
}

std::string JournalItemPath(const std::string& kind, const std::string& item, const std::string& windowsDir) {
    if (ItemKindNamed(kind) != ItemKind::Inf || item.find_first_of("\\/:") != std::string::npos) return item;
    return windowsDir + (!windowsDir.empty() && windowsDir.back() == '\\' ? "" : "\\") + "INF\\" + item;
}

bool KeptAs(const std::string& kind, const std::string& form) {
    const ItemKind type = ItemKindNamed(kind);
    if (form == "registry")
        return type == ItemKind::RegistryKey || type == ItemKind::RegistryValue || type == ItemKind::RunValue;
    if (form == "file") return type == ItemKind::File || type == ItemKind::Shortcut || type == ItemKind::Inf;
    if (form == "record")
        for (const RecordOfKind& pair : kRecordKinds)
            if (type == pair.item) return true;
    return false;
}

std::string IndexDisagreement(const std::string& kind, const std::string& item, const std::string& form,
                              const std::string& indexItem, const std::string& windowsDir) {
    if (item.find('\0') != std::string::npos || indexItem.find('\0') != std::string::npos)
        return "its journal line or its copy's index line holds a NUL";
    if (!KeptAs(kind, form)) return "its copy's index line says " + form + ", which no " + kind + " is kept as";
    if (form == "file") {
        const std::string path = JournalItemPath(kind, item, windowsDir);
        std::string why = PathDamage(path);
        if (why.empty()) why = PathDamage(indexItem);
        if (!why.empty()) return why;
        return Same(path, indexItem) ? std::string() : "its copy's index line names another file: " + indexItem;
    }
    return Same(item, indexItem) ? std::string() : "its copy's index line names another item: " + indexItem;
}

std::string RegistryTextDisagreement(const std::vector<CRegistryTextKey>& keys, bool wholeKey, const std::string& item) {
    if (keys.empty()) return "its registry text holds no key";
    const CRegistryTextKey& own = keys.front();
    if (!wholeKey) {
        // One key and one value: "KEY\NAME" (the default value: "KEY\").
        if (keys.size() != 1) return "its registry text names more keys than the value's own";
        if (own.values.size() != 1) return "its registry text holds " + Counted(own.values.size(), "value") + ", not the item's one";
        const std::string named = RegistryKeyPath(own) + "\\" + own.values.front().name;
        return Same(named, item) ? std::string() : "its registry text holds another value: " + named;
    }
    if (!Same(RegistryKeyPath(own), item)) return "its registry text names another key: " + RegistryKeyPath(own);
    for (const CRegistryTextKey& k : keys) {
        const std::string path = RegistryKeyPath(k);
        if (!Same(path.substr(0, item.size()), item) || (path.size() > item.size() && path[item.size()] != '\\'))
            return "its registry text names a key beside the item's: " + path;
    }
    return std::string();
}

std::string RecordDisagreement(const std::string& kind, const std::string& item, const CBackupRecord& r) {
    bool kindAgrees = false;
    for (const RecordOfKind& pair : kRecordKinds)
        kindAgrees = kindAgrees || (ItemKindNamed(kind) == pair.item && r.kind == pair.record);
    if (!kindAgrees) return "its record is of a " + r.kind + ", not of a " + kind;
    std::string named;
    if (r.kind == "printer" || r.kind == "connection" || r.kind == "monitor" || r.kind == "service") {
        named = r.Get("name");
        if (!Same(named, item)) return "its record names another " + kind + ": " + named;
    } else if (r.kind == "driver" || r.kind == "processor") {
        if (!NamesWithEnvironment(item, r.Get("name"))) return "its record names another " + kind + ": " + r.Get("name");
    } else if (r.kind == "default") {
        if (!Same(r.Get("previous"), item)) return "its record names another default printer: " + r.Get("previous");
    } else if (r.kind == "folder") {
        const std::string why = PathDamage(r.Get("path"));
        if (!why.empty()) return why;
        if (!Same(r.Get("path"), item)) return "its record names another folder: " + r.Get("path");
    } else if (r.kind == "ini") {
        const std::string why = PathDamage(r.Get("file"));
        if (!why.empty()) return why;
        named = r.Get("file") + " [" + r.Get("section") + "] " + r.Get("key");
        if (!Same(named, item)) return "its record names another INI line: " + named;
    }
    // A driver's files come back where the record says, each from its own copy (checked as it is written).
    for (const char* key : {"savedFile", "inUseFile"})
        for (const std::string& value : r.All(key)) {
            const std::string why = PathDamage(value.substr(value.find('|') + 1));
            if (!why.empty()) return "a file of its record: " + why;
        }
    return std::string();
}
