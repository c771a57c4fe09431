// The INI text of machine.ini: sections may repeat, each repeated section is one object.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace simwin {

struct IniSection {
    std::string name;
    std::vector<std::pair<std::string, std::string>> entries;

    // The value of the first entry named key (case-insensitive), or def.
    std::string get(const std::string& key, const std::string& def = "") const;
    bool has(const std::string& key) const;
    // "yes"/"no"/"1"/"0"/"true"/"false"; def when absent. Throws MachineError on other text.
    bool getBool(const std::string& key, bool def) const;
    long getInt(const std::string& key, long def) const;
    void add(const std::string& key, const std::string& value) { entries.emplace_back(key, value); }
};

struct IniDoc {
    std::vector<IniSection> sections;

    // Parses INI text: "[name]" headers, "key = value" lines (spaces around both trimmed),
    // ";" or "#" at the start of a line begins a comment. Lines before the first header are
    // an error (throws MachineError with the line number).
    static IniDoc parse(const std::string& text, const std::string& origin);
    std::string format() const;
    std::vector<const IniSection*> all(const std::string& name) const;
    const IniSection* first(const std::string& name) const;
    IniSection& add(const std::string& name);
};

}  // namespace simwin
