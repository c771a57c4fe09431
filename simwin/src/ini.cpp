#include "simwin/ini.h"

#include <cstdlib>

#include "simwin/util.h"

namespace simwin {

std::string IniSection::get(const std::string& key, const std::string& def) const {
    for (auto& e : entries)
        if (iequals(e.first, key)) return e.second;
    return def;
}

bool IniSection::has(const std::string& key) const {
    for (auto& e : entries)
        if (iequals(e.first, key)) return true;
    return false;
}

bool IniSection::getBool(const std::string& key, bool def) const {
    if (!has(key)) return def;
    std::string v = toLower(get(key));
    if (v == "yes" || v == "1" || v == "true") return true;
    if (v == "no" || v == "0" || v == "false") return false;
    throw MachineError("[" + name + "] " + key + " = " + get(key) + ": expected yes or no");
}

long IniSection::getInt(const std::string& key, long def) const {
    if (!has(key)) return def;
    std::string v = get(key);
    char* end = nullptr;
    long n = std::strtol(v.c_str(), &end, 10);
    if (v.empty() || *end) throw MachineError("[" + name + "] " + key + " = " + v + ": expected a number");
    return n;
}

IniDoc IniDoc::parse(const std::string& text, const std::string& origin) {
    IniDoc doc;
    size_t lineNo = 0;
    size_t pos = 0;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) pos = 3;
    while (pos < text.size()) {
        size_t eol = text.find('\n', pos);
        std::string line = text.substr(pos, eol == std::string::npos ? std::string::npos : eol - pos);
        pos = eol == std::string::npos ? text.size() : eol + 1;
        ++lineNo;
        std::string t = trim(line);
        if (t.empty() || t[0] == ';' || t[0] == '#') continue;
        if (t[0] == '[') {
            size_t close = t.find(']');
            if (close == std::string::npos)
                throw MachineError(origin + ":" + std::to_string(lineNo) + ": section header without ']'");
            doc.add(trim(t.substr(1, close - 1))).line = lineNo;
            continue;
        }
        if (doc.sections.empty())
            throw MachineError(origin + ":" + std::to_string(lineNo) + ": entry before the first section");
        size_t eq = t.find('=');
        if (eq == std::string::npos)
            throw MachineError(origin + ":" + std::to_string(lineNo) + ": expected 'key = value'");
        IniSection& section = doc.sections.back();
        section.add(trim(t.substr(0, eq)), trim(t.substr(eq + 1)));
        section.lines.push_back(lineNo);
    }
    return doc;
}

std::string IniDoc::format() const {
    std::string out;
    for (size_t i = 0; i < sections.size(); ++i) {
        if (i) out += "\n";
        out += "[" + sections[i].name + "]\n";
        for (auto& e : sections[i].entries) out += e.first + " = " + e.second + "\n";
    }
    return out;
}

std::vector<const IniSection*> IniDoc::all(const std::string& name) const {
    std::vector<const IniSection*> out;
    for (auto& s : sections)
        if (iequals(s.name, name)) out.push_back(&s);
    return out;
}

const IniSection* IniDoc::first(const std::string& name) const {
    for (auto& s : sections)
        if (iequals(s.name, name)) return &s;
    return nullptr;
}

IniSection& IniDoc::add(const std::string& name) {
    sections.push_back(IniSection{name, {}});
    return sections.back();
}

}  // namespace simwin
