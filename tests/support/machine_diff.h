// What a run changed on a machine: the machine saved before and after as machine directories, read back,
// and compared. Files are named by their Windows paths (a directory with a trailing backslash), registry
// keys by their full paths as saved, values as "KEY|NAME" ("@" for a key's default value), and the
// objects of machine.ini by their kind and name ("printer Office", "driver Vestral X Driver (Windows x64)",
// "system").
#pragma once

#include <cctype>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "simwin/machine.h"
#include "support/temp_machine.h"

namespace machinediff {

// One object of machine.ini: its entries in order (repeated keys repeated).
typedef std::vector<std::pair<std::string, std::string>> Entries;

struct State {
    std::map<std::string, std::string> files;  // path -> content ("<dir>" for a directory)
    std::set<std::string> keys;
    std::map<std::string, std::string> values;  // "KEY|NAME" -> data as regedit writes it
    std::map<std::string, Entries> objects;

    // The value of an object's key ("" when absent); repeated keys joined by ", ".
    std::string Get(const std::string& object, const std::string& key) const {
        auto o = objects.find(object);
        if (o == objects.end()) return "";
        std::string out;
        for (const auto& e : o->second)
            if (e.first == key) out += (out.empty() ? "" : ", ") + e.second;
        return out;
    }
};

struct Diff {
    std::set<std::string> filesRemoved, filesAdded, filesChanged;
    std::set<std::string> keysRemoved, keysAdded;
    // Values of keys that are there before and after (a removed key's values go with it).
    std::set<std::string> valuesRemoved, valuesAdded, valuesChanged;
    std::set<std::string> objectsRemoved, objectsAdded;
    // For an object there before and after: "key: before -> after" per key that differs.
    std::map<std::string, std::set<std::string>> objectsChanged;

    bool Empty() const {
        return filesRemoved.empty() && filesAdded.empty() && filesChanged.empty() && keysRemoved.empty() &&
               keysAdded.empty() && valuesRemoved.empty() && valuesAdded.empty() && valuesChanged.empty() &&
               objectsRemoved.empty() && objectsAdded.empty() && objectsChanged.empty();
    }
    // Everything, one line each, for a failure message.
    std::string Describe() const {
        std::ostringstream out;
        auto list = [&](const char* what, const std::set<std::string>& items) {
            for (const std::string& i : items) out << what << ' ' << i << '\n';
        };
        list("file removed", filesRemoved);
        list("file added", filesAdded);
        list("file changed", filesChanged);
        list("key removed", keysRemoved);
        list("key added", keysAdded);
        list("value removed", valuesRemoved);
        list("value added", valuesAdded);
        list("value changed", valuesChanged);
        list("object removed", objectsRemoved);
        list("object added", objectsAdded);
        for (const auto& o : objectsChanged)
            for (const std::string& c : o.second) out << "object changed " << o.first << ": " << c << '\n';
        return out.str();
    }
};

namespace detail {

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        out.push_back(line);
    }
    return out;
}

inline std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t"), e = s.find_last_not_of(" \t");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

// A value line's name ("@" for the default value) and the rest after its "=".
inline bool ValueLine(const std::string& line, std::string& name, std::string& data) {
    if (line.rfind("@=", 0) == 0) {
        name = "@";
        data = line.substr(2);
        return true;
    }
    if (line.empty() || line[0] != '"') return false;
    name.clear();
    size_t i = 1;
    for (; i < line.size() && line[i] != '"'; ++i) {
        if (line[i] == '\\' && i + 1 < line.size()) ++i;
        name += line[i];
    }
    if (i + 1 >= line.size() || line[i + 1] != '=') return false;
    data = line.substr(i + 2);
    return true;
}

inline void ReadRegistry(const std::string& text, State& s) {
    std::string key;
    std::vector<std::string> lines = Lines(text);
    for (size_t n = 0; n < lines.size(); ++n) {
        const std::string& line = lines[n];
        if (line.size() > 2 && line[0] == '[' && line.back() == ']') {
            key = line.substr(1, line.size() - 2);
            s.keys.insert(key);
            continue;
        }
        std::string name, data;
        if (key.empty() || !ValueLine(line, name, data)) continue;
        // hex data goes on over lines ending in a backslash
        while (!data.empty() && data.back() == '\\' && data.rfind("\"", 0) != 0 && n + 1 < lines.size())
            data = data.substr(0, data.size() - 1) + Trim(lines[++n]);
        s.values[key + "|" + name] = data;
    }
}

// The name an object of machine.ini is known by.
inline std::string ObjectName(const std::string& section, const Entries& entries) {
    std::string name = section, environment;
    for (const auto& e : entries)
        if (e.first == "environment") environment = e.second;
    if (section != "system" && section != "spooler" && !entries.empty()) name += " " + entries[0].second;
    if (!environment.empty()) name += " (" + environment + ")";
    return name;
}

inline bool IsToolRecord(const std::string& windowsPath);

inline void ReadMachineIni(const std::string& text, State& s) {
    std::string section;
    Entries entries;
    auto flush = [&]() {
        if (section.empty()) return;
        // The access rights of the tool's backup folders belong to its records too.
        if (section == "security" && !entries.empty() && IsToolRecord(entries[0].second)) {
            entries.clear();
            return;
        }
        std::string name = ObjectName(section, entries);
        while (s.objects.count(name)) name += "'";  // two objects of one name stay apart
        s.objects[name] = entries;
        entries.clear();
    };
    for (const std::string& raw : Lines(text)) {
        std::string line = Trim(raw);
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line[0] == '[' && line.back() == ']') {
            flush();
            section = line.substr(1, line.size() - 2);
            continue;
        }
        size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        entries.emplace_back(Trim(line.substr(0, eq)), Trim(line.substr(eq + 1)));
    }
    flush();
}

// "drive/C/Windows/win.ini" -> "C:\Windows\win.ini"
inline std::string WindowsPath(const std::string& relative) {
    std::string out = relative.substr(0, 1) + ":";
    for (char c : relative.substr(1)) out += c == '/' ? '\\' : c;
    return out;
}

// The run log the tool appends to by default: "korun04.log" in the temporary directory.
inline bool IsRunLog(const std::string& windowsPath) {
    std::string path = windowsPath;
    for (char& c : path) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::string name = "\\temp\\korun04.log";
    return path.size() >= name.size() && path.compare(path.size() - name.size(), name.size(), name) == 0;
}

// The tool's own records of a run: its log, and its backup sets with the folders made for them
// ("<common application data or Windows>\Vestral\korun04\Backup\...").
inline bool IsToolRecord(const std::string& windowsPath) {
    if (IsRunLog(windowsPath)) return true;
    std::string path = windowsPath;
    for (char& c : path) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (!path.empty() && path.back() == '\\') path.pop_back();
    if (path.find("\\vestral\\korun04") != std::string::npos) return true;
    for (const char* parent : {"\\programdata\\vestral", ":\\windows\\vestral"})
        if (path.size() >= strlen(parent) && path.compare(path.size() - strlen(parent), strlen(parent), parent) == 0)
            return true;
    return false;
}

template <typename Map>
void CompareMaps(const Map& before, const Map& after, std::set<std::string>& removed, std::set<std::string>& added,
                 std::set<std::string>* changed) {
    for (const auto& b : before) {
        auto a = after.find(b.first);
        if (a == after.end())
            removed.insert(b.first);
        else if (changed && a->second != b.second)
            changed->insert(b.first);
    }
    for (const auto& a : after)
        if (!before.count(a.first)) added.insert(a.first);
}

inline std::map<std::string, std::string> Joined(const Entries& entries) {
    std::map<std::string, std::string> out;
    for (const auto& e : entries) {
        std::string& v = out[e.first];
        v += (v.empty() ? "" : ", ") + e.second;
    }
    return out;
}

// The event logs' keys: the tool registers its event source there, a record of its runs like its log.
inline bool IsEventLogKey(const std::string& key) {
    const std::string root = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\EventLog";
    return key.size() >= root.size() && simwin::iequals(key.substr(0, root.size()), root) &&
           (key.size() == root.size() || key[root.size()] == '\\');
}

// The tool's records beside its log and backup sets: its event source's keys and the event of each run
// ([event] objects).
inline void DropToolRecords(State& s) {
    for (auto k = s.keys.begin(); k != s.keys.end();) k = IsEventLogKey(*k) ? s.keys.erase(k) : std::next(k);
    for (auto v = s.values.begin(); v != s.values.end();)
        v = IsEventLogKey(v->first.substr(0, v->first.find('|'))) ? s.values.erase(v) : std::next(v);
    for (auto o = s.objects.begin(); o != s.objects.end();)
        o = o->first.rfind("event ", 0) == 0 ? s.objects.erase(o) : std::next(o);
    // The keys made on the way to the event logs' key, when they hold nothing else.
    for (const char* parent : {"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services",
                               "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet", "HKEY_LOCAL_MACHINE\\SYSTEM"}) {
        const std::string below = std::string(parent) + "\\";
        bool holds = false;
        for (const std::string& k : s.keys) holds = holds || k.rfind(below, 0) == 0;
        for (const auto& v : s.values) holds = holds || v.first.rfind(std::string(parent) + "|", 0) == 0;
        if (!holds) s.keys.erase(parent);
    }
}

}  // namespace detail

// The machine's state as a save writes it.
inline State Capture(const simwin::Machine& m) {
    testmachine::TempDir dir;
    m.save(dir.path.string());
    State s;
    const std::filesystem::path drive = dir.path / "drive";
    if (std::filesystem::exists(drive))
        for (const auto& e : std::filesystem::recursive_directory_iterator(drive)) {
            std::string path = detail::WindowsPath(std::filesystem::relative(e.path(), drive).generic_string());
            // The tool's own log and backup set are its records, not changes the removal made.
            if (detail::IsToolRecord(path)) continue;
            if (e.is_directory())
                s.files[path + "\\"] = "<dir>";
            else
                s.files[path] = testmachine::ReadFile(e.path());
        }
    detail::ReadRegistry(testmachine::ReadFile(dir.path / "registry.reg"), s);
    detail::ReadMachineIni(testmachine::ReadFile(dir.path / "machine.ini"), s);
    detail::DropToolRecords(s);
    return s;
}

inline Diff Compare(const State& before, const State& after) {
    Diff d;
    detail::CompareMaps(before.files, after.files, d.filesRemoved, d.filesAdded, &d.filesChanged);
    for (const std::string& k : before.keys)
        if (!after.keys.count(k)) d.keysRemoved.insert(k);
    for (const std::string& k : after.keys)
        if (!before.keys.count(k)) d.keysAdded.insert(k);
    std::set<std::string> removed, added;
    detail::CompareMaps(before.values, after.values, removed, added, &d.valuesChanged);
    for (const std::string& v : removed)
        if (!d.keysRemoved.count(v.substr(0, v.find('|')))) d.valuesRemoved.insert(v);
    for (const std::string& v : added)
        if (!d.keysAdded.count(v.substr(0, v.find('|')))) d.valuesAdded.insert(v);
    for (const auto& b : before.objects) {
        auto a = after.objects.find(b.first);
        if (a == after.objects.end()) {
            d.objectsRemoved.insert(b.first);
            continue;
        }
        auto was = detail::Joined(b.second), now = detail::Joined(a->second);
        std::set<std::string> keys;
        for (const auto& e : was) keys.insert(e.first);
        for (const auto& e : now) keys.insert(e.first);
        for (const std::string& k : keys) {
            std::string x = was.count(k) ? was[k] : "(none)", y = now.count(k) ? now[k] : "(none)";
            if (x != y) d.objectsChanged[b.first].insert(k + ": " + x + " -> " + y);
        }
    }
    for (const auto& a : after.objects)
        if (!before.objects.count(a.first)) d.objectsAdded.insert(a.first);
    return d;
}

}  // namespace machinediff
