#include "simwin/machine_format.h"

#include <cerrno>
#include <cstdlib>
#include <map>
#include <vector>

#include "simwin/files.h"
#include "simwin/services.h"
#include "simwin/spooler.h"
#include "simwin/util.h"

namespace simwin {

namespace {

enum class Value { Text, YesNo, Choice, Number, ExitCode, Version, Words };

// What one key of a section takes. The loaders read the values; this only says whether they can.
struct KeyRule {
    const char* key;  // the key; "data.*" stands for data.NAME with any non-empty NAME
    Value value = Value::Text;
    long long min = 0, max = 0;                      // Number
    const char* choices = nullptr;                   // Choice, and YesNo's further words: '|'-separated
    DWORD (*words)(const std::string&) = nullptr;  // Words: the loader's parser, which throws on a bad word
    bool required = false;                           // the section needs it, with a value
    bool repeats = false;                            // may be given more than once

    KeyRule need() const {
        KeyRule r = *this;
        r.required = true;
        return r;
    }
};

struct SectionRule {
    const char* name;
    bool once;
    std::vector<KeyRule> keys;
};

KeyRule text(const char* key) { return KeyRule{key}; }
KeyRule yesNo(const char* key, const char* more = nullptr) {
    KeyRule r{key, Value::YesNo};
    r.choices = more;
    return r;
}
KeyRule choice(const char* key, const char* choices) {
    KeyRule r{key, Value::Choice};
    r.choices = choices;
    return r;
}
KeyRule number(const char* key, long long min, long long max) {
    KeyRule r{key, Value::Number};
    r.min = min, r.max = max;
    return r;
}
KeyRule words(const char* key, DWORD (*parse)(const std::string&)) {
    KeyRule r{key, Value::Words};
    r.words = parse;
    return r;
}
KeyRule repeated(const char* key) {
    KeyRule r{key};
    r.repeats = true;
    return r;
}

constexpr long long kIntMax = 2147483647LL;    // counts the machine keeps as int
constexpr long long kDwordMax = 4294967295LL;  // values reported as DWORD
constexpr long long kBytesMax = 9223372036854775807LL;  // sizes of drives

// The keys each subsystem's load() reads, with the values it honours. A key added to a loader
// belongs here too.
const std::vector<SectionRule>& sectionRules() {
    static const std::vector<SectionRule> rules = {
        {"system", true,
         {choice("platform", "nt|9x|win32s"), KeyRule{"version", Value::Version},
          number("build", 0, 65535),  // the 9x family packs the build into the low word
          text("computer"), yesNo("admin", "deny-only"), yesNo("shutdown"),
          number("groups", 0, 1000), text("program"), yesNo("reboot")}},
        {"layout", true,
         {text("windows"), text("system"), text("temp"), text("color"), text("environment"), text("driver.*"),
          text("processor"), text("shell.*"), yesNo("standard")}},
        {"spooler", true, {choice("state", "running|stopped|unresponsive|no-start"), yesNo("running")}},
        {"service", false,
         {text("name").need(), choice("state", "running|stopped"), yesNo("startfails"), yesNo("marked"),
          text("display"), words("type", parseServiceType), words("start", parseServiceStart),
          words("errorcontrol", parseServiceErrorControl), text("binary"), text("group"), repeated("depend"),
          text("account")}},
        {"file", false,
         {text("path").need(), yesNo("locked"), choice("inuse", "read"), words("attributes", parseAttributeWords), yesNo("protected"),
          yesNo("denied")}},
        {"security", false, {text("path").need(), text("sddl").need()}},
        {"drive", false,
         {choice("letter", "A|B|C|D|E|F|G|H|I|J|K|L|M|N|O|P|Q|R|S|T|U|V|W|X|Y|Z").need(), number("total", 0, kBytesMax),
          number("free", 0, kBytesMax), yesNo("descriptors")}},
        {"removed", false, {text("path").need()}},
        {"pending", false, {text("from").need(), text("to")}},
        {"window", false, {text("class").need(), text("title"), repeated("received")}},
        {"printer", false,
         {text("name").need(), text("driver"), text("port"), text("server"), text("share"), text("comment"),
          text("location"), yesNo("default"), words("attributes", parsePrinterAttributes), text("processor"),
          text("datatype"), number("jobs", 0, kIntMax), yesNo("openable"), text("data.*"), text("value.*"), text("separator"),
          text("parameters"), number("priority", 1, 99), number("defaultpriority", 0, 99)}},
        {"driver", false,
         {text("name").need(), text("environment"), text("file"), text("data"), text("config"), text("help"),
          repeated("dependent"), text("monitor"), text("datatype"), text("inf"), text("provider"),
          text("manufacturer"), text("processor"), number("version", 0, 4)}},
        {"monitor", false, {text("name").need(), text("environment"), yesNo("inuse"), text("dll")}},
        {"processor", false, {text("name").need(), text("environment"), text("dll")}},
        {"port", false, {text("name").need(), text("monitor"), text("description")}},
        {"spoolerfault", false,
         {// the spooler functions that consult the declared faults
          choice("function", "EnumPrintersA|OpenPrinterA|GetPrinterA|GetPrinterDataA").need(),
          number("call", 0, kIntMax), number("error", 1, kDwordMax), number("needed", 0, kDwordMax)}},
        {"program", false,
         {text("path").need(), number("ticks", 0, kIntMax), number("runs", 0, kIntMax), KeyRule{"exitcode", Value::ExitCode},
          number("started", 0, kIntMax)}},
        {"device", false, {text("instance").need(), repeated("hardware"), text("parent")}},
        {"library", false, {text("path").need(), repeated("export")}},
        {"progman", false, {text("group"), repeated("item")}},
        {"event", false,
         {text("source").need(), text("log"), number("id", 0, kDwordMax),
          choice("type", "success|error|warning|information|audit-success|audit-failure"), number("category", 0, 65535),
          repeated("string")}},
    };
    return rules;
}

const SectionRule* ruleOf(const std::string& section) {
    for (const SectionRule& r : sectionRules())
        if (iequals(r.name, section)) return &r;
    return nullptr;
}

bool matches(const KeyRule& rule, const std::string& key) {
    const std::string k = rule.key;
    if (k.size() > 1 && k.back() == '*') return startsWithI(key, k.substr(0, k.size() - 1)) && key.size() >= k.size();
    return iequals(key, k);
}

const KeyRule* ruleOf(const SectionRule& section, const std::string& key) {
    for (const KeyRule& r : section.keys)
        if (matches(r, key)) return &r;
    return nullptr;
}

[[noreturn]] void fail(const std::string& origin, size_t line, const std::string& what) {
    throw MachineError(origin + (line ? ":" + std::to_string(line) : std::string()) + ": " + what);
}

std::vector<std::string> choicesOf(const char* choices) { return choices ? split(choices, '|') : std::vector<std::string>{}; }

bool isChoice(const char* choices, const std::string& v) {
    for (const std::string& c : choicesOf(choices))
        if (iequals(c, v)) return true;
    return false;
}

// "a, b or c"
std::string listed(const std::vector<std::string>& words) {
    std::string out;
    for (size_t i = 0; i < words.size(); ++i)
        out += (i == 0 ? "" : i + 1 == words.size() ? " or " : ", ") + words[i];
    return out;
}

bool isYesNo(const std::string& v) {
    for (const char* w : {"yes", "no", "1", "0", "true", "false"})
        if (iequals(v, w)) return true;
    return false;
}

bool parseNumber(const std::string& v, int base, long long& n) {
    if (v.empty()) return false;
    char* end = nullptr;
    errno = 0;
    n = std::strtoll(v.c_str(), &end, base);
    return !*end && errno != ERANGE;
}

bool isVersion(const std::string& v) {
    const size_t dot = v.find('.');
    if (dot == std::string::npos) return false;
    const std::string major = v.substr(0, dot), minor = v.substr(dot + 1);
    for (const std::string* part : {&major, &minor}) {
        if (part->empty() || part->size() > 2) return false;
        for (char c : *part)
            if (c < '0' || c > '9') return false;
    }
    return std::atoi(major.c_str()) >= 1;
}

// What is wrong with the value of a known key; empty when nothing is.
std::string valueProblem(const KeyRule& rule, const std::string& v) {
    long long n = 0;
    switch (rule.value) {
    case Value::Text:
        return "";
    case Value::YesNo:
        if (isYesNo(v) || isChoice(rule.choices, v)) return "";
        {
            std::vector<std::string> all{"yes", "no"};
            for (const std::string& c : choicesOf(rule.choices)) all.push_back(c);
            return "expected " + listed(all);
        }
    case Value::Choice:
        return isChoice(rule.choices, v) ? "" : "expected " + listed(choicesOf(rule.choices));
    case Value::Number:
        if (parseNumber(v, 10, n) && n >= rule.min && n <= rule.max) return "";
        return "expected a number from " + std::to_string(rule.min) + " to " + std::to_string(rule.max);
    case Value::ExitCode:  // as the program loader reads it: decimal, 0x hexadecimal or 0 octal
        if (parseNumber(v, 0, n) && n >= -kIntMax - 1 && n <= kDwordMax) return "";
        return "expected a number from -2147483648 to 4294967295";
    case Value::Version:
        return isVersion(v) ? "" : "expected major.minor, major 1 to 99 and minor 0 to 99";
    case Value::Words:
        try {
            rule.words(v);
            return "";
        } catch (const MachineError& e) {
            return e.what();
        }
    }
    return "";
}

void checkEntry(const IniSection& s, const SectionRule& rule, size_t i, const std::string& origin) {
    const std::string& key = s.entries[i].first;
    const std::string& value = s.entries[i].second;
    const KeyRule* k = ruleOf(rule, key);
    if (!k) fail(origin, s.lineOf(i), "unknown key '" + key + "' in [" + s.name + "]");
    if (!k->repeats)
        for (size_t j = 0; j < i; ++j)
            if (iequals(s.entries[j].first, key))
                fail(origin, s.lineOf(i),
                     "'" + key + "' given twice in [" + s.name + "] (first on line " + std::to_string(s.lineOf(j)) + ")");
    if (k->required && value.empty()) fail(origin, s.lineOf(i), "[" + s.name + "] " + key + " is empty");
    const std::string problem = valueProblem(*k, value);
    if (problem.empty()) return;
    if (k->value != Value::Words) fail(origin, s.lineOf(i), "[" + s.name + "] " + key + " = " + value + ": " + problem);
    // The word parsers say which word is wrong; some name the section already.
    fail(origin, s.lineOf(i), problem[0] == '[' ? problem : "[" + s.name + "] " + problem);
}

void checkSection(const IniSection& s, const SectionRule& rule, const std::string& origin) {
    for (size_t i = 0; i < s.entries.size(); ++i) checkEntry(s, rule, i, origin);
    for (const KeyRule& k : rule.keys)
        if (k.required && !s.has(k.key)) fail(origin, s.line, "[" + s.name + "] without " + k.key);
}

}  // namespace

bool isMachineSection(const std::string& name) { return ruleOf(name) != nullptr; }

void checkMachineIni(const IniDoc& doc, const std::string& origin) {
    std::map<std::string, size_t, ILess> firstOnce;  // the header line of each once-only section seen
    for (const IniSection& s : doc.sections) {
        const SectionRule* rule = ruleOf(s.name);
        if (!rule) continue;  // an extension section: kept as written
        if (rule->once) {
            auto seen = firstOnce.find(rule->name);
            if (seen != firstOnce.end())
                fail(origin, s.line,
                     "a second [" + s.name + "] section (the first is on line " + std::to_string(seen->second) + ")");
            firstOnce[rule->name] = s.line;
        }
        checkSection(s, *rule, origin);
    }
}

void checkNoNul(const std::string& text, const std::string& origin) {
    const bool utf16 = text.size() >= 2 && static_cast<unsigned char>(text[0]) == 0xFF &&
                       static_cast<unsigned char>(text[1]) == 0xFE;
    const size_t step = utf16 ? 2 : 1;
    size_t line = 1;
    for (size_t i = utf16 ? 2 : 0; i + step <= text.size(); i += step) {
        const unsigned unit = static_cast<unsigned char>(text[i]) |
                              (utf16 ? static_cast<unsigned>(static_cast<unsigned char>(text[i + 1])) << 8 : 0u);
        if (unit == '\n') ++line;
        if (unit == 0) fail(origin, line, "a NUL character in the text");
    }
}

}  // namespace simwin
