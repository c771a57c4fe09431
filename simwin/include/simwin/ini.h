// The INI text of machine.ini: sections may repeat, each repeated section is one object.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace simwin {

struct IniSection {
    using Entries = std::vector<std::pair<std::string, std::string>>;
    IniSection() = default;
    IniSection(std::string sectionName, Entries sectionEntries = {})
        : name(std::move(sectionName)), entries(std::move(sectionEntries)) {}

    std::string name;
    Entries entries;
    // Where the section came from when parsed: the line of its "[name]" header and the line of
    // each entry (parallel to entries). 0 and empty for sections built in code.
    size_t line = 0;
    std::vector<size_t> lines;

    // The line of entry i, or 0 when it was not parsed from text.
    size_t lineOf(size_t i) const { return i < lines.size() ? lines[i] : 0; }

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
    // an error (throws MachineError with the line number). Sections keep the lines they came from.
    static IniDoc parse(const std::string& text, const std::string& origin);
    std::string format() const;
    std::vector<const IniSection*> all(const std::string& name) const;
    const IniSection* first(const std::string& name) const;
    IniSection& add(const std::string& name);
};

}  // namespace simwin
