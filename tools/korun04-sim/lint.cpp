#include "tools/korun04-sim/lint.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>

#include "base/platform.h"
#include "removal/registry_remover.h"
#include "script/database.h"
#include "script/script_file.h"
#include "simwin/machine.h"
#include "tools/korun04-sim/plan.h"

namespace {

// The limits of the reader and the parser.
const int kTextLimit = TEXT_SIZE - 1;  // a name, key or value
const int kStarterBuffer = 260;
const int kCategoryBuffer = 4096;

const char* const kStarters[] = {"UnPrinterMfgs", "UnPrinterDrivers", "Unz_CatchAll", "Unx_Ignore"};
const char* const kCategories[] = {"DeleteIni", "DeleteLoadRun", "UnSelfRegister", "PrintProcessors", "Monitors",
                                   "Services", "Hooks", "Files", "Shortcuts", "RegistryKeys"};

std::string Lower(const std::string& s) { return TextKey(s.c_str()); }

// The findings of one script, shown under its name.
class Findings {
public:
    Findings(std::vector<LintFinding>& all, std::string shown) : all_(all), shown_(std::move(shown)) {}
    void Add(int line, const std::string& section, const char* kind, const std::string& text) {
        all_.push_back(LintFinding{shown_, line, section, kind, text});
    }
    const std::string& Shown() const { return shown_; }

private:
    std::vector<LintFinding>& all_;
    std::string shown_;
};

// The whole text of a file of the current machine; false when it cannot be read.
bool ReadText(const std::string& path, std::string& text) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    text.assign(GetFileSize(file, NULL), '\0');
    DWORD read = 0;
    const BOOL ok = text.empty() || ReadFile(file, &text[0], static_cast<DWORD>(text.size()), &read, NULL);
    CloseHandle(file);
    text.resize(read);
    return ok;
}

// "a, b, c" of at most four names, then "...".
std::string Listed(const std::vector<std::string>& names) {
    std::string out;
    for (size_t i = 0; i < names.size() && i < 4; ++i) out += (i ? ", " : "") + names[i];
    return names.size() > 4 ? out + ", ..." : out;
}

bool QuotesUnbalanced(const std::string& text) { return std::count(text.begin(), text.end(), '"') % 2 != 0; }

// --- The lines the reader skips or cuts ---------------------------------------------------------------------

// One line of the text as the reader cuts it: a run of CR and LF ends a line; lines are counted as an editor
// counts them (the numbers CScriptFile gives its sections and entries).
struct RawLine {
    std::string text;
    int number;
};

std::vector<RawLine> RawLines(const std::string& text, bool& nulCut, int& nulLine) {
    std::vector<RawLine> lines;
    nulCut = false;
    int number = 1;
    size_t i = 0;
    while (i < text.size()) {
        size_t end = i;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n' && text[end] != '\0') ++end;
        if (end < text.size() && text[end] == '\0') {
            nulCut = true, nulLine = number;
            break;
        }
        if (end > i) lines.push_back(RawLine{text.substr(i, end - i), number});
        i = end;
        if (i < text.size()) {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            ++i, ++number;
        }
    }
    return lines;
}

std::string Trimmed(const std::string& s) {
    const size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos) return "";
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

void CheckKeyLine(const RawLine& l, const std::string& section, Findings& f) {
    std::string body = l.text.substr(0, l.text.find(';'));
    const size_t equals = body.find('=');
    const std::string key = Trimmed(body.substr(0, equals));
    const std::string value = equals == std::string::npos ? "" : Trimmed(body.substr(equals + 1));
    if (static_cast<int>(key.size()) > kTextLimit)
        f.Add(l.number, section, "cut", "a key of " + std::to_string(key.size()) + " characters: the reader keeps 259");
    if (static_cast<int>(value.size()) > kTextLimit)
        f.Add(l.number, section, "cut", "a value of " + std::to_string(value.size()) + " characters: the reader keeps 259");
    if (!key.empty() && key[0] == '\t')
        f.Add(l.number, section, "malformed", "the line starts with a tab, which stays part of the item \"" + key + "\"");
}

void LintLines(const std::string& text, Findings& f) {
    bool nulCut = false;
    int nulLine = 0;
    std::string section;
    bool inSection = false;
    for (const RawLine& l : RawLines(text, nulCut, nulLine)) {
        const char first = l.text[0];
        const std::string trimmed = Trimmed(l.text);
        if (first == ';') continue;
        if (first == ' ') {
            if (!trimmed.empty() && trimmed[0] != ';')
                f.Add(l.number, section, "ignored",
                      trimmed[0] == '[' ? "an indented section header is no header: the lines after it stay in the section before"
                                        : "an indented line is skipped: \"" + trimmed + "\"");
            continue;
        }
        if (first == '[') {
            const size_t close = l.text.find(']');
            if (close == std::string::npos) {
                f.Add(l.number, section, "ignored", "a \"[\" without \"]\" is no header: the lines after it stay in the section before");
                continue;
            }
            section = l.text.substr(1, close - 1);
            inSection = true;
            if (static_cast<int>(section.size()) > kTextLimit)
                f.Add(l.number, section.substr(0, 40) + "...", "cut",
                      "a section name of " + std::to_string(section.size()) + " characters: the reader keeps 259");
            continue;
        }
        if (!inSection) {
            const bool bom = l.number == 1 && l.text.compare(0, 3, "\xEF\xBB\xBF") == 0;
            f.Add(l.number, "", "ignored",
                  bom ? "a byte-order mark starts the file: this line and those up to the next section header are skipped"
                      : "a line before the first section header is skipped");
            continue;
        }
        CheckKeyLine(l, section, f);
    }
    if (nulCut) f.Add(nulLine, section, "cut", "a NUL byte ends the reading here: the rest of the file is not read");
}

// --- What the parser reads of a section ---------------------------------------------------------------------

struct Item {
    std::string text;
    int line;
};

const ScriptSection* FirstSection(const CScriptFile& doc, const std::string& name) {
    for (const ScriptSection& s : doc.GetSections())
        if (TextEqual(s.name.c_str(), name.c_str())) return &s;
    return nullptr;
}

std::string Composed(const ScriptEntry& e, bool keysOnly) {
    std::string item = e.key;
    if (!keysOnly && !e.value.empty()) item += "=" + e.value;
    return item;
}

// The items the parser takes from the first section of a name, read into a buffer of bufferSize as it
// reads it; what it loses is reported.
std::vector<Item> ReadSection(const CScriptFile& doc, const std::string& name, int bufferSize, bool keysOnly,
                              Findings& f) {
    std::vector<Item> used;
    const ScriptSection* section = FirstSection(doc, name);
    if (!section) return used;
    std::vector<char> buffer(static_cast<size_t>(bufferSize), 0);
    const int result = keysOnly ? doc.GetSectionKeys(name.c_str(), buffer.data(), bufferSize)
                                : doc.GetSectionEntries(name.c_str(), buffer.data(), bufferSize);
    size_t walked = 0;
    if (result != 0)
        for (char* item = buffer[0] ? buffer.data() : nullptr; item; item = NextToken(item, 0)) ++walked;
    std::vector<const ScriptEntry*> entries;
    for (const ScriptEntry& e : section->entries) entries.push_back(&e);
    for (size_t i = 0; i < walked && i < entries.size(); ++i) used.push_back(Item{Composed(*entries[i], keysOnly), entries[i]->line});
    if (walked >= entries.size()) return used;
    const ScriptEntry& stop = *entries[walked];
    const size_t lost = entries.size() - walked;
    if (Composed(stop, keysOnly).empty()) {
        f.Add(stop.line, section->name, "malformed",
              "an empty entry ends the section: " +
                  (lost > 1 ? std::to_string(lost - 1) + " entries after it are not read" : std::string("it is the last")));
        return used;
    }
    std::vector<std::string> names;
    for (size_t i = walked; i < entries.size(); ++i) names.push_back(Composed(*entries[i], keysOnly));
    f.Add(stop.line, section->name, "cut",
          "the section's list is cut at its " + std::to_string(bufferSize) + "-character buffer: " + std::to_string(lost) +
              (lost == 1 ? " entry" : " entries") + " from here on " + (lost == 1 ? "is" : "are") + " not read (" +
              Listed(names) + ")");
    return used;
}

// --- Item syntax of each category ---------------------------------------------------------------------------

std::vector<std::string> Fields(const std::string& item) {
    std::vector<std::string> out;
    std::string rest = item;
    for (size_t comma; (comma = rest.find(',')) != std::string::npos; rest = rest.substr(comma + 1))
        out.push_back(rest.substr(0, comma));
    out.push_back(rest);
    return out;
}

std::string Unquoted(const std::string& s) {
    const size_t b = s.find_first_not_of('"');
    return b == std::string::npos ? "" : s.substr(b, s.find_last_not_of('"') - b + 1);
}

// What is wrong with an item of a category; "" when nothing is.
std::string ItemProblem(const std::string& category, const std::string& item) {
    if (QuotesUnbalanced(item)) return "an unbalanced double quote";
    const std::vector<std::string> f = Fields(item);
    auto field = [&](size_t i) { return i < f.size() ? Unquoted(f[i]) : std::string(); };
    const std::string c = Lower(category);
    if (c == "deleteini" && (field(0).empty() || field(1).empty() || field(2).empty()))
        return "needs file,section,entry, all three given: the item is skipped";
    if (c == "deleteloadrun" && (field(0).empty() || field(1).empty()))
        return "needs name,program, both given: the item is skipped";
    if ((c == "hooks" || c == "unselfregister") && (field(0).empty() || field(1).empty()))
        return "needs file,export, both given" + std::string(c == "hooks" ? ": the item is skipped" : "");
    if (c == "files" && Trimmed(item.substr(0, item.find('='))).empty()) return "no file name before \"=\": the item is skipped";
    if (c == "shortcuts") {
        if (field(0).empty()) return "no program group: the item is skipped";
        if (f.size() > 2 && _strcmpi(field(2).c_str(), "STARTUP") != 0)
            return "the third field is \"" + field(2) + "\", not STARTUP: the start-up folders are not searched";
    }
    if (c == "registrykeys") {
        if (f.size() < 3) return "needs root,subkey,value[,deltree] (at least three fields): the item is skipped";
        const std::string root = field(0);
        if (_strcmpi(root.c_str(), "HKLM") && _strcmpi(root.c_str(), "HKCR") && _strcmpi(root.c_str(), "HKCU") &&
            _strcmpi(root.c_str(), "HKU"))
            return "the root \"" + root + "\" is none of HKLM, HKCR, HKCU, HKU: the item is skipped";
        if (field(1).empty()) return "no subkey";
    }
    return "";
}

// --- One script ---------------------------------------------------------------------------------------------

struct Profile {
    std::string name;
    std::string base;
    std::string shown;    // the script
    std::string starter;  // its starter section
    int line;
};

struct Script {
    std::string path;
    std::string shown;
};

// The starter entries of a script as the parser reads them; marks the sections they use.
std::vector<Profile> LintStarters(const CScriptFile& doc, Findings& f, std::set<std::string>& used) {
    std::vector<Profile> profiles;
    bool any = false;
    for (const char* starter : kStarters) {
        const bool wholeLines = starter == kStarters[0];
        if (doc.GetSectionEntryCount(starter) == 0) continue;
        any = true;
        used.insert(Lower(starter));
        std::set<std::string> names;
        for (const Item& entry : ReadSection(doc, starter, kStarterBuffer, !wholeLines, f)) {
            std::vector<std::string> fields = Fields(entry.text);
            const std::string name = Unquoted(fields[0]);
            const std::string base = fields.size() > 1 ? fields[1] : "";
            if (QuotesUnbalanced(fields[0])) f.Add(entry.line, starter, "malformed", "an unbalanced double quote in the name");
            if (name.empty()) f.Add(entry.line, starter, "malformed", "no profile name");
            if (base.empty())
                f.Add(entry.line, starter, "malformed", "no section after the name: the profile \"" + name + "\" has no items");
            if (!names.insert(Lower(name)).second)
                f.Add(entry.line, starter, "duplicate-item", "\"" + name + "\" is named again in this section: this entry is dropped");
            profiles.push_back(Profile{name, base, f.Shown(), starter, entry.line});
        }
    }
    if (!any) f.Add(0, "", "malformed", "no entries in UnPrinterMfgs, UnPrinterDrivers, Unz_CatchAll or Unx_Ignore: the script contributes nothing");
    return profiles;
}

void LintCategory(const CScriptFile& doc, const std::string& name, const char* category, Findings& f) {
    std::map<std::string, int> seen;
    for (const Item& item : ReadSection(doc, name, kCategoryBuffer, false, f)) {
        const std::string problem = ItemProblem(category, item.text);
        if (!problem.empty()) f.Add(item.line, name, "malformed", "\"" + item.text + "\": " + problem);
        auto first = seen.emplace(Lower(item.text), item.line);
        if (!first.second)
            f.Add(item.line, name, "duplicate-item",
                  "\"" + item.text + "\" is listed already on line " + std::to_string(first.first->second) + ": dropped");
    }
}

void LintCategories(const CScriptFile& doc, const std::vector<Profile>& profiles, Findings& f,
                    std::set<std::string>& used) {
    std::set<std::string> bases;
    for (const Profile& p : profiles) {
        if (p.base.empty() || !bases.insert(Lower(p.base)).second) continue;
        for (const char* category : kCategories) {
            const std::string name = p.base + "." + category;
            if (static_cast<int>(name.size()) > kTextLimit) {
                f.Add(p.line, "", "cut", "the section name \"" + p.base + "." + category + "\" is longer than 259 characters: the profile gets no " + category);
                continue;
            }
            if (!FirstSection(doc, name)) continue;
            used.insert(Lower(name));
            LintCategory(doc, name, category, f);
        }
    }
}

bool IsCategory(const std::string& name) {
    for (const char* c : kCategories)
        if (_strcmpi(c, name.c_str()) == 0) return true;
    return false;
}

void LintSections(const CScriptFile& doc, const std::vector<Profile>& profiles, const std::set<std::string>& used,
                  Findings& f) {
    std::set<std::string> bases;
    for (const Profile& p : profiles) bases.insert(Lower(p.base));
    std::map<std::string, int> first;
    for (const ScriptSection& s : doc.GetSections()) {
        const std::string key = Lower(s.name);
        auto seen = first.emplace(key, s.line);
        if (!seen.second) {
            f.Add(s.line, s.name, "duplicate-section",
                  "a second [" + s.name + "]: only the first (line " + std::to_string(seen.first->second) + ") is read");
            continue;
        }
        if (used.count(key)) continue;
        const std::string name = s.name;
        const size_t dot = name.rfind('.');
        std::string why = "no profile uses this section";
        if (dot != std::string::npos && bases.count(Lower(name.substr(0, dot))) && !IsCategory(name.substr(dot + 1)))
            why += ": there is no category \"" + name.substr(dot + 1) + "\"";
        else if (dot != std::string::npos && IsCategory(name.substr(dot + 1)))
            why += ": no starter entry names the section \"" + name.substr(0, dot) + "\"";
        f.Add(s.line, name, "unused", why);
    }
}

// One script's own findings; its profiles are appended for the checks across scripts.
void LintOne(const Script& script, std::vector<LintFinding>& all, std::vector<Profile>& profiles) {
    Findings f(all, script.shown);
    std::string text;
    CScriptFile doc;
    if (!ReadText(script.path, text) || text.empty() || !doc.LoadFile(script.path.c_str())) {
        f.Add(0, "", "malformed", "the file cannot be read, or is empty: the tool skips it");
        return;
    }
    LintLines(text, f);
    std::set<std::string> used;
    std::vector<Profile> mine = LintStarters(doc, f, used);
    LintCategories(doc, mine, f, used);
    LintSections(doc, mine, used, f);
    profiles.insert(profiles.end(), mine.begin(), mine.end());
}

// A profile named again, in this script or a later one: the first read stays.
void LintProfileNames(const std::vector<Profile>& profiles, std::vector<LintFinding>& all) {
    std::map<std::string, const Profile*> first;
    for (const Profile& p : profiles) {
        auto seen = first.emplace(Lower(p.name), &p);
        const Profile& kept = *seen.first->second;
        if (seen.second || (p.shown == kept.shown && p.starter == kept.starter)) continue;  // said as a duplicate item
        all.push_back(LintFinding{p.shown, p.line, p.starter, "duplicate-profile",
                                  "the profile \"" + p.name + "\" is named in " + kept.shown + ":" + std::to_string(kept.line) +
                                      ", which is read first: this one is dropped whole"});
    }
}

void SortFindings(std::vector<LintFinding>& all) {
    std::stable_sort(all.begin(), all.end(), [](const LintFinding& a, const LintFinding& b) {
        return a.file != b.file ? a.file < b.file : a.line < b.line;
    });
}

int Report(const std::vector<LintFinding>& findings, std::ostream& out) {
    for (const LintFinding& f : findings) out << f.Format() << "\n";
    return findings.empty() ? 0 : 1;
}

}  // namespace

std::string LintFinding::Format() const {
    std::string out = file + ":";
    if (line) out += std::to_string(line) + ":";
    out += " ";
    if (!section.empty()) out += "[" + section + "] ";
    return out + kind + ": " + text;
}

std::vector<LintFinding> LintScripts(const std::vector<std::string>& paths, const std::vector<std::string>& shown) {
    std::vector<Script> scripts;
    for (size_t i = 0; i < paths.size(); ++i) scripts.push_back(Script{paths[i], i < shown.size() ? shown[i] : paths[i]});
    // The tool reads its scripts in the order of their full paths.
    std::stable_sort(scripts.begin(), scripts.end(),
                     [](const Script& a, const Script& b) { return TextLess(a.path.c_str(), b.path.c_str()); });
    std::vector<LintFinding> all;
    std::vector<Profile> profiles;
    for (const Script& s : scripts) LintOne(s, all, profiles);
    LintProfileNames(profiles, all);
    SortFindings(all);
    return all;
}

int LintScriptFiles(const std::vector<std::string>& files, std::ostream& out, std::ostream& err) {
    simwin::Machine machine;
    simwin::MachineScope scope(machine);
    std::vector<std::string> paths;
    for (size_t i = 0; i < files.size(); ++i) {
        std::ifstream in(files[i], std::ios::binary);
        if (!in) {
            err << "korun04-sim: --lint: cannot read " << files[i] << "\n";
            return 2;
        }
        std::ostringstream text;
        text << in.rdbuf();
        // Each script in a folder of its own, named in the order given, so that their reading order is the given one.
        const std::string base = files[i].substr(files[i].find_last_of('/') + 1);
        char folder[32];
        snprintf(folder, sizeof folder, "C:\\Lint\\%04zu\\", i);
        paths.push_back(folder + base);
        machine.files.writeFile(paths.back(), text.str());
    }
    return Report(LintScripts(paths, files), out);
}

// --- A machine ----------------------------------------------------------------------------------------------

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandTail, int showCommand);

namespace {

// Where a script names an item: every entry of the scripts whose composed text is the item (for a file
// name, every Files entry of that name).
struct Place {
    std::string shown;
    std::string section;
    int line;
    std::string item;
};

std::vector<Place> PlacesOf(const std::vector<std::string>& scripts) {
    std::vector<Place> places;
    for (const std::string& path : scripts) {
        CScriptFile doc;
        if (!doc.LoadFile(path.c_str())) continue;
        for (const ScriptSection& s : doc.GetSections())
            for (const ScriptEntry& e : s.entries) places.push_back(Place{path, s.name, e.line, Composed(e, false)});
    }
    return places;
}

bool IsFilesSection(const std::string& section) {
    return section.size() > 6 && _strcmpi(section.substr(section.size() - 6).c_str(), ".Files") == 0;
}

const char* RootNameOf(HKEY root) {
    if (root == HKEY_LOCAL_MACHINE) return "HKEY_LOCAL_MACHINE";
    if (root == HKEY_CLASSES_ROOT) return "HKEY_CLASSES_ROOT";
    if (root == HKEY_CURRENT_USER) return "HKEY_CURRENT_USER";
    return "HKEY_USERS";
}

// Whether a script's entry names the item a remover reported: the entry itself; a file name of a Files
// section, as the bare name or the last part of a full path; a registry item as the remover writes its key or
// value ("HKEY_LOCAL_MACHINE\SOFTWARE\..."); a profile of a starter section by its driver ("NAME (environment)").
bool PlaceNames(const Place& p, const std::string& item) {
    if (TextEqual(p.item.c_str(), item.c_str())) return true;
    const size_t slash = item.find_last_of('\\');
    const std::string last = slash == std::string::npos ? item : item.substr(slash + 1);
    if (IsFilesSection(p.section)) {
        const std::string name = Trimmed(p.item.substr(0, p.item.find('=')));
        return TextEqual(name.c_str(), item.c_str()) || TextEqual(name.c_str(), last.c_str());
    }
    const size_t dot = p.section.rfind('.');
    if (dot != std::string::npos && _strcmpi(p.section.substr(dot + 1).c_str(), "RegistryKeys") == 0) {
        CRegistryItem parsed;
        if (!ParseRegistryItem(p.item.c_str(), parsed)) return false;
        const std::string key = std::string(RootNameOf(parsed.root)) + "\\" + parsed.subKey;
        return TextEqual(key.c_str(), item.c_str()) || TextEqual((key + "\\" + parsed.value).c_str(), item.c_str());
    }
    const std::string first = Unquoted(Fields(p.item)[0]);
    const size_t environment = item.rfind(" (");
    return TextEqual(first.c_str(), item.c_str()) ||
           (environment != std::string::npos && TextEqual(first.c_str(), item.substr(0, environment).c_str()));
}

// Adds one finding for each place that names the item, or one for the machine when no script does.
// With filesOnly, only the entries of Files sections count.
void AddAtPlaces(const std::vector<Place>& places, const std::string& item, bool filesOnly, const std::string& machine,
                 const char* kind, const std::string& text, std::vector<LintFinding>& all) {
    bool placed = false;
    for (const Place& p : places) {
        if ((filesOnly && !IsFilesSection(p.section)) || !PlaceNames(p, item)) continue;
        all.push_back(LintFinding{p.shown, p.line, p.section, kind, text});
        placed = true;
    }
    if (!placed) all.push_back(LintFinding{machine, 0, "", kind, text});
}

// Where the reason starts in a refusal's line: after the item's closing quote, a rule of the keeper (lower-case
// words joined by "-") and ": ". The item and the reason may both hold quotes; the rule tells them apart.
size_t ReasonAt(const std::string& line, size_t from) {
    for (size_t at = line.find("\": ", from); at != std::string::npos; at = line.find("\": ", at + 1)) {
        size_t end = at + 3;
        while (end < line.size() && ((line[end] >= 'a' && line[end] <= 'z') || line[end] == '-')) ++end;
        if (end > at + 3 && line.compare(end, 2, ": ") == 0) return at;
    }
    return std::string::npos;
}

// "korun04: refused KIND item "ITEM": RULE: WHY", as the removers report what the keeper refused.
bool ParseRefusal(const std::string& line, std::string& kind, std::string& item, std::string& why) {
    const std::string lead = "debug: korun04: refused ";
    const size_t itemAt = line.find(" item \"");
    if (line.compare(0, lead.size(), lead) != 0 || itemAt == std::string::npos) return false;
    const size_t whyAt = ReasonAt(line, itemAt + 7);
    if (whyAt == std::string::npos) return false;
    kind = line.substr(lead.size(), itemAt - lead.size());
    item = line.substr(itemAt + 7, whyAt - itemAt - 7);
    why = line.substr(whyAt + 3);
    while (!why.empty() && (why.back() == '\n' || why.back() == '\r')) why.pop_back();
    return true;
}

// The names of the files the removal's log found nowhere: "stage N | file | NAME | not there".
std::vector<std::string> FilesNotThere(const std::string& log) {
    std::vector<std::string> names;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t at = line.find(" | file | ");
        const std::string tail = " | not there";
        if (at == std::string::npos || line.size() < tail.size() || line.compare(line.size() - tail.size(), tail.size(), tail))
            continue;
        names.push_back(line.substr(at + 10, line.size() - tail.size() - at - 10));
    }
    return names;
}

// The whole unattended removal of every listed printer on a copy of the machine: what it refused and which
// files it found nowhere.
bool LintRemoval(const std::string& machineDir, const std::vector<Place>& places, std::vector<LintFinding>& all,
                 std::ostream& err) {
    std::unique_ptr<simwin::Machine> machine = simwin::Machine::load(machineDir);
    simwin::MachineScope scope(*machine);
    const std::string log = machine->system.tempDir + "korun04-lint.log";
    machine->files.removeNode(log);
    std::string tail = "/QUIET /SELECT:ALL /LOG:\"" + log + "\"";
    machine->system.commandTail = tail;
    try {
        WinMain(simwin::programModule(), nullptr, &tail[0], SW_SHOWDEFAULT);
    } catch (const simwin::UserStop& stop) {
        err << "korun04-sim: --lint: the removal stopped: " << stop.what() << "\n";
        return false;
    }
    for (const std::string& line : machine->transcript.lines) {
        std::string kind, item, why;
        if (ParseRefusal(line, kind, item, why))
            AddAtPlaces(places, item, false, machineDir, "refused", "the removal refuses the " + kind + " item \"" + item + "\": " + why, all);
    }
    std::set<std::string> said;
    for (const std::string& name : FilesNotThere(machine->files.read(log))) {
        if (!said.insert(Lower(name)).second) continue;
        bool named = false;
        for (const Place& p : places) named = named || (IsFilesSection(p.section) && TextEqual(Trimmed(p.item.substr(0, p.item.find('='))).c_str(), name.c_str()));
        if (named)
            AddAtPlaces(places, name, true, machineDir, "not-found",
                        "\"" + name + "\" is in none of the places the tool looks for it on this machine", all);
    }
    return true;
}

}  // namespace

int LintMachine(const std::string& machineDir, std::ostream& out, std::ostream& err) {
    std::vector<std::string> scripts;
    std::vector<LintFinding> all;
    try {
        std::unique_ptr<simwin::Machine> machine = simwin::Machine::load(machineDir);
        simwin::MachineScope scope(*machine);
        CUninstallDatabase database;
        CLoadingDlg loading;
        std::ostringstream why;
        if (RunLoadingPhase(database, loading, why)) {
            err << "korun04-sim: --lint: " << why.str();
            return 2;
        }
        for (const char* path : loading.scripts) scripts.push_back(path);
        all = LintScripts(scripts, scripts);
        const std::vector<Place> places = PlacesOf(scripts);
        // A second copy of the machine: the loading phase above already restarted its spooler.
        if (!LintRemoval(machineDir, places, all, err)) return 2;
    } catch (const std::exception& e) {
        err << "korun04-sim: --lint: cannot load the machine: " << e.what() << "\n";
        return 2;
    }
    SortFindings(all);
    return Report(all, out);
}
