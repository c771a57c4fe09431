#include "tools/machine_builder/machine_recipe.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "simwin/ini.h"
#include "simwin/util.h"

namespace machinebuilder {

namespace {

// Bounds that keep every name inside the buffers Windows gives it.
const size_t kMaxSections = 256;
const size_t kMaxValue = 200;

// The kinds in the order they are installed: what a later kind uses is there before it.
const char* const kKinds[] = {"monitor", "port",    "processor", "package", "printer", "script",
                              "service", "file",    "registry",  "program", "window"};

struct KindKeys {
    const char* kind;
    const char* keys;  // the keys it takes, separated by spaces; "data." and "value." begin families of keys
};
const KindKeys kKeys[] = {
    {"machine", "platform version"},
    {"monitor", "name dll port environment"},
    {"port", "name monitor description"},
    {"processor", "name dll environment"},
    {"package", "preset name provider manufacturer file data config help dependent monitor processor inf inbox environment"},
    {"printer", "name driver port processor datatype default data."},
    {"script", "preset file"},
    {"service", "name display binary type start state"},
    {"file", "path content"},
    {"registry", "key default value."},
    {"program", "path ticks runs exitcode"},
    {"window", "class title"},
};

std::string Where(const std::string& origin, size_t line) {
    return origin + (line ? ":" + std::to_string(line) : std::string()) + ": ";
}

const char* KeysOf(const std::string& kind) {
    for (const KindKeys& k : kKeys)
        if (kind == k.kind) return k.keys;
    return nullptr;
}

bool KeyKnown(const char* keys, const std::string& key) {
    std::string words = std::string(" ") + keys + " ";
    for (const char* family : {"data.", "value."})
        if (std::strstr(keys, family) && key.size() > std::strlen(family) && simwin::startsWithI(key, family)) return true;
    std::string lower = key;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return words.find(" " + lower + " ") != std::string::npos && lower.back() != '.';
}

// The key that names an object of the kind (a package may take its name from its preset); none for the
// machine and the script.
const char* IdentityKey(const std::string& kind) {
    if (kind == "machine" || kind == "script") return nullptr;
    if (kind == "file" || kind == "program") return "path";
    if (kind == "window") return "class";
    if (kind == "registry") return "key";
    return "name";
}

// Every section a known kind, every key one of its kind's, every value within bounds.
void CheckSections(const simwin::IniDoc& doc, const std::string& origin) {
    if (doc.sections.size() > kMaxSections)
        throw BuildError(Where(origin, 0) + "more than " + std::to_string(kMaxSections) + " sections");
    size_t machines = 0;
    for (const simwin::IniSection& s : doc.sections) {
        const char* keys = KeysOf(s.name);
        if (!keys) throw BuildError(Where(origin, s.line) + "unknown section [" + s.name + "]");
        machines += s.name == "machine";
        for (size_t i = 0; i < s.entries.size(); ++i) {
            const auto& e = s.entries[i];
            if (!KeyKnown(keys, e.first))
                throw BuildError(Where(origin, s.lineOf(i)) + "[" + s.name + "] has no key '" + e.first + "'");
            if (e.second.size() > kMaxValue || e.first.size() > kMaxValue)
                throw BuildError(Where(origin, s.lineOf(i)) + e.first + ": longer than " + std::to_string(kMaxValue) + " characters");
        }
        const char* identity = IdentityKey(s.name);
        if (identity && !s.has(identity) && !(s.name == "package" && s.has("preset")))
            throw BuildError(Where(origin, s.line) + "[" + s.name + "] needs its " + identity);
    }
    if (machines > 1) throw BuildError(Where(origin, 0) + "more than one [machine]");
}

std::vector<std::string> All(const simwin::IniSection& s, const std::string& key) {
    std::vector<std::string> out;
    for (const auto& e : s.entries)
        if (simwin::iequals(e.first, key)) out.push_back(e.second);
    return out;
}

Package PresetPackage(const std::string& preset) {
    if (preset == "vestral-x") return presets::VestralX();
    if (preset == "acme-laser") return presets::AcmeLaser();
    if (preset == "ms-ps-class") return presets::MicrosoftPsClass();
    throw BuildError("preset = " + preset + ": the package presets are vestral-x, acme-laser and ms-ps-class");
}

Package ReadPackage(const simwin::IniSection& s) {
    Package p = s.has("preset") ? PresetPackage(s.get("preset")) : Package();
    auto set = [&](const char* key, std::string& field) { field = s.get(key, field); };
    set("name", p.name);
    set("provider", p.provider);
    set("manufacturer", p.manufacturer);
    set("file", p.driverFile);
    set("data", p.dataFile);
    set("config", p.configFile);
    set("help", p.helpFile);
    set("monitor", p.monitor);
    set("processor", p.processor);
    set("inf", p.inf);
    p.inbox = s.getBool("inbox", p.inbox);
    if (s.has("dependent")) p.dependents = All(s, "dependent");
    if (s.has("environment")) p.environments = All(s, "environment");
    return p;
}

PrinterSpec ReadPrinter(const simwin::IniSection& s) {
    PrinterSpec p;
    p.name = s.get("name");
    p.driver = s.get("driver");
    p.port = s.get("port");
    p.processor = s.get("processor", p.processor);
    p.datatype = s.get("datatype", p.datatype);
    p.isDefault = s.getBool("default", false);
    for (const auto& e : s.entries)
        if (simwin::startsWithI(e.first, "data.")) p.data.emplace_back(e.first.substr(5), e.second);
    return p;
}

ServiceSpec ReadService(const simwin::IniSection& s) {
    ServiceSpec v;
    v.name = s.get("name");
    v.display = s.get("display");
    v.binary = s.get("binary");
    v.type = s.get("type", v.type);
    v.start = s.get("start", v.start);
    v.state = s.get("state", v.state);
    return v;
}

// A decimal whole number of the key, from 0 to the most it may be; absent: 0.
unsigned long long Number(const simwin::IniSection& s, const char* key, unsigned long long most) {
    const std::string text = s.get(key, "0");
    char* end = nullptr;
    const unsigned long long n = std::strtoull(text.c_str(), &end, 10);
    if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0])) || *end || n > most)
        throw BuildError(std::string(key) + " = " + text + ": a number from 0 to " + std::to_string(most));
    return n;
}

ProgramSpec ReadProgram(const simwin::IniSection& s) {
    ProgramSpec p;
    p.path = s.get("path");
    p.ticks = static_cast<int>(Number(s, "ticks", 2147483647));
    p.runsMs = Number(s, "runs", 2147483647);
    p.exitCode = static_cast<unsigned long>(Number(s, "exitcode", 4294967295ULL));
    return p;
}

void InstallScript(MachineBuilder& b, const simwin::IniSection& s, const HostFileReader& readHostFile) {
    if (s.has("preset") == s.has("file")) throw BuildError("[script] takes preset = family or file = PATH");
    if (s.has("preset")) {
        if (s.get("preset") != "family") throw BuildError("preset = " + s.get("preset") + ": the script preset is family");
        b.Script(presets::FamilyScript());
        return;
    }
    std::string text;
    if (!readHostFile || !readHostFile(s.get("file"), text)) throw BuildError("cannot read the script " + s.get("file"));
    b.Script(text);
}

void Install(MachineBuilder& b, const simwin::IniSection& s, const HostFileReader& readHostFile) {
    const std::string& kind = s.name;
    if (kind == "monitor") b.Monitor(MonitorSpec{s.get("name"), s.get("dll"), All(s, "port"), s.get("environment")});
    if (kind == "port") b.Port(s.get("name"), s.get("monitor", "Local Port"), s.get("description"));
    if (kind == "processor") b.Processor(ProcessorSpec{s.get("name"), s.get("dll"), s.get("environment")});
    if (kind == "package") b.DriverPackage(ReadPackage(s));
    if (kind == "printer") b.Printer(ReadPrinter(s));
    if (kind == "script") InstallScript(b, s, readHostFile);
    if (kind == "service") b.Service(ReadService(s));
    if (kind == "file") b.File(s.get("path"), s.get("content", "MZ"));
    if (kind == "program") b.Program(ReadProgram(s));
    if (kind == "window") b.Window(s.get("class"), s.get("title"));
    if (kind != "registry") return;
    b.RegistryKey(s.get("key"));
    if (s.has("default")) b.RegistryValue(s.get("key"), "", s.get("default"));
    for (const auto& e : s.entries)
        if (simwin::startsWithI(e.first, "value.")) b.RegistryValue(s.get("key"), e.first.substr(6), e.second);
}

MachineBuilder NewMachine(const simwin::IniDoc& doc) {
    const simwin::IniSection* m = doc.first("machine");
    const std::string platform = m ? m->get("platform", "nt") : "nt";
    if (platform != "nt" && platform != "9x") throw BuildError("platform = " + platform + ": nt or 9x");
    return MachineBuilder(platform == "nt" ? simwin::Platform::Nt : simwin::Platform::Win9x, m ? m->get("version") : "");
}

}  // namespace

std::unique_ptr<simwin::Machine> BuildFromRecipe(const std::string& text, const std::string& origin,
                                               const HostFileReader& readHostFile) {
    const size_t nul = text.find('\0');
    if (nul != std::string::npos) throw BuildError(Where(origin, 0) + "a NUL byte at offset " + std::to_string(nul));
    simwin::IniDoc doc;
    try {
        doc = simwin::IniDoc::parse(text, origin);
    } catch (const std::exception& e) {
        throw BuildError(e.what());
    }
    CheckSections(doc, origin);
    const simwin::IniSection* machine = doc.first("machine");
    std::unique_ptr<MachineBuilder> b;
    try {
        b = std::make_unique<MachineBuilder>(NewMachine(doc));
    } catch (const std::exception& e) {
        throw BuildError(Where(origin, machine ? machine->line : 0) + e.what());
    }
    for (const char* kind : kKinds)
        for (const simwin::IniSection* s : doc.all(kind)) {
            try {
                Install(*b, *s, readHostFile);
            } catch (const std::exception& e) {
                throw BuildError(Where(origin, s->line) + "[" + s->name + "] " + e.what());
            }
        }
    try {
        return b->Take();
    } catch (const std::exception& e) {
        // What the sections allow but a machine directory cannot hold: refused as the RECIPE's fault.
        throw BuildError(Where(origin, 0) + e.what());
    }
}

}  // namespace machinebuilder
