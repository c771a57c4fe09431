#include "simwin/spooler_facts.h"

#include <algorithm>
#include <vector>

#include "simwin/api/winreg.h"

namespace simwin {

namespace {

const char kPrintKey[] = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print";
const std::string kMonitorsKey = std::string(kPrintKey) + "\\Monitors";
const std::string kEnvironmentsKey = std::string(kPrintKey) + "\\Environments";

// One value Windows keeps for an object: its text, or its list (REG_MULTI_SZ).
struct Fact {
    const char* name;
    std::vector<std::string> texts;
    bool multi;
};

// The key of one object, what it holds, and the section of machine.ini that says so.
struct ObjectKey {
    std::string path;
    std::string section;  // "[processor] VstProc (Windows x64)"
    std::vector<Fact> facts;
};

std::string sectionName(const char* kind, const std::string& name, const std::string& environment) {
    return std::string("[") + kind + "] " + name + " (" + environment + ")";
}

void addText(std::vector<Fact>& facts, const char* name, const std::string& text) {
    if (!text.empty()) facts.push_back(Fact{name, {text}, false});
}

ObjectKey processorKey(const SpoolerComponent& c) {
    ObjectKey k{processorKeyPath(c.environment, c.name), sectionName("processor", c.name, c.environment), {}};
    addText(k.facts, "Driver", c.dll);
    return k;
}

ObjectKey monitorKey(const SpoolerComponent& c) {
    ObjectKey k{monitorKeyPath(c.name), sectionName("monitor", c.name, c.environment), {}};
    addText(k.facts, "Driver", c.dll);
    return k;
}

// Windows keeps a driver's files by name; the spooler finds them in the environment's driver directory.
std::string fileName(const std::string& path) { return path.substr(path.find_last_of("\\/") + 1); }

ObjectKey driverKey(const PrinterDriver& d) {
    ObjectKey k{driverKeyPath(d), sectionName("driver", d.name, d.environment), {}};
    std::vector<std::string> dependents;
    for (const std::string& f : d.dependents) dependents.push_back(fileName(f));
    const std::pair<const char*, std::string> texts[] = {
        {"Driver", fileName(d.file)}, {"Data File", fileName(d.dataFile())}, {"Configuration File", fileName(d.configFile())},
        {"Help File", fileName(d.help)}, {"Monitor", d.monitor},          {"Datatype", d.datatype},
        {"Manufacturer", d.manufacturer}, {"Provider", d.provider},   {"Print Processor", d.processor},
        {"InfPath", d.inf}};
    for (const auto& t : texts) addText(k.facts, t.first, t.second);
    if (!dependents.empty()) k.facts.push_back(Fact{"Dependent Files", dependents, true});
    return k;
}

// The monitor whose library a monitor's key names: the one of the local environment, else the first of that
// name (the key is one per name, the spooler's list one per name and environment).
const SpoolerComponent* keyMonitor(const Spooler& spooler, const std::string& local, const std::string& name) {
    const SpoolerComponent* first = nullptr;
    for (const SpoolerComponent& m : spooler.monitors) {
        if (!iequals(m.name, name)) continue;
        if (iequals(m.environment, local)) return &m;
        if (!first) first = &m;
    }
    return first;
}

std::vector<ObjectKey> objectKeys(const Spooler& spooler, const std::string& local) {
    std::vector<ObjectKey> keys;
    for (const SpoolerComponent& p : spooler.processors) keys.push_back(processorKey(p));
    for (const SpoolerComponent& m : spooler.monitors)
        if (keyMonitor(spooler, local, m.name) == &m) keys.push_back(monitorKey(m));
    for (const PrinterDriver& d : spooler.drivers) keys.push_back(driverKey(d));
    return keys;
}

const ObjectKey* keyAt(const std::vector<ObjectKey>& keys, const std::string& path) {
    for (const ObjectKey& k : keys)
        if (iequals(k.path, path)) return &k;
    return nullptr;
}

const Fact* factOf(const ObjectKey& key, const std::string& valueName) {
    for (const Fact& f : key.facts)
        if (iequals(f.name, valueName)) return &f;
    return nullptr;
}

bool isModelled(const std::string& valueName) {
    static const char* const names[] = {"Driver",  "Data File", "Configuration File", "Help File",
                                        "Dependent Files", "Monitor", "Datatype", "Manufacturer",
                                        "Provider", "Print Processor", "InfPath"};
    return std::any_of(std::begin(names), std::end(names), [&](const char* n) { return iequals(n, valueName); });
}

// A registry value as texts: a string's text, a list's items; another type as no text at all.
std::vector<std::string> textsOf(const RegValue& v) {
    std::vector<std::string> out;
    if (v.type != REG_SZ && v.type != REG_EXPAND_SZ && v.type != REG_MULTI_SZ) return {std::string("(not text)")};
    std::string item;
    for (BYTE b : v.data) {
        if (b) {
            item += static_cast<char>(b);
            continue;
        }
        if (item.empty()) break;
        out.push_back(item);
        item.clear();
        if (v.type != REG_MULTI_SZ) break;
    }
    if (!item.empty()) out.push_back(item);
    if (v.type != REG_MULTI_SZ && out.empty()) out.push_back("");
    return out;
}

bool agrees(const Fact* fact, const RegValue& v, const SpoolerFacts::PublishedInf& published) {
    const std::vector<std::string> texts = textsOf(v);
    if (!fact) return texts.empty() || (texts.size() == 1 && texts[0].empty());  // nothing said, nothing held
    const bool inf = published && iequals(fact->name, "InfPath");
    return std::equal(texts.begin(), texts.end(), fact->texts.begin(), fact->texts.end(),
                      [&](const std::string& a, const std::string& b) {
                          if (iequals(a, b)) return true;
                          const std::string same = inf ? published(a) : std::string();
                          return !same.empty() && iequals(same, published(b));
                      });
}

std::string joined(const std::vector<std::string>& texts) {
    std::string out;
    for (const std::string& t : texts) out += (out.empty() ? "" : ", ") + t;
    return out;
}

void writeKey(Registry& registry, const ObjectKey& key) {
    RegKey& k = registry.create(key.path);
    for (const char* name : {"Driver", "Data File", "Configuration File", "Help File", "Dependent Files", "Monitor",
                             "Datatype", "Manufacturer", "Provider", "Print Processor", "InfPath"})
        if (!factOf(key, name)) k.removeValue(name);  // a replaced driver may say less than the one before
    for (const Fact& f : key.facts) {
        if (f.multi)
            registry.setMultiString(key.path, f.name, f.texts);
        else
            registry.setString(key.path, f.name, f.texts[0]);
    }
}

bool inSpoolerPart(const std::string& path) {
    return iequals(path, kPrintKey) || startsWithI(path, std::string(kPrintKey) + "\\");
}

void collect(const RegKey& key, std::set<std::string, ILess>& paths) {
    paths.insert(Registry::pathOf(key));
    for (const auto& kv : key.subkeys) collect(*kv.second, paths);
}

// The keys of objects the directory's registry holds: the monitors, and per environment the print
// processors and the drivers of each version.
std::vector<std::string> heldObjectKeys(const Registry& registry) {
    std::vector<std::string> out;
    auto children = [&](const RegKey* k) {
        if (k)
            for (const auto& kv : k->subkeys) out.push_back(Registry::pathOf(*kv.second));
    };
    children(registry.find(kMonitorsKey));
    if (const RegKey* envs = registry.find(kEnvironmentsKey))
        for (const auto& env : envs->subkeys) {
            children(env.second->child("Print Processors"));
            if (const RegKey* drivers = env.second->child("Drivers"))
                for (const auto& version : drivers->subkeys)
                    if (startsWithI(version.first, "Version-")) children(version.second.get());
        }
    return out;
}

void refuseUndeclared(const Registry& registry, const std::vector<ObjectKey>& keys) {
    for (const std::string& path : heldObjectKeys(registry))
        if (!keyAt(keys, path))
            throw MachineError("registry.reg [" + path +
                               "]: no section of machine.ini declares this object; declare it there ([processor], "
                               "[monitor] or [driver]) or remove the key");
}

void refuseDisagreement(const Registry& registry, const ObjectKey& key, const SpoolerFacts::PublishedInf& published) {
    const RegKey* k = registry.find(key.path);
    if (!k) return;
    for (const RegValue& v : k->values) {
        if (!isModelled(v.name)) continue;
        const Fact* fact = factOf(key, v.name);
        if (agrees(fact, v, published)) continue;
        throw MachineError("machine.ini " + key.section + " says " + (fact ? "\"" + joined(fact->texts) + "\"" : "nothing") +
                           " and registry.reg [" + key.path + "] \"" + v.name + "\" says \"" + joined(textsOf(v)) +
                           "\": give it in the section alone");
    }
}

}  // namespace

std::string processorKeyPath(const std::string& environment, const std::string& name) {
    return kEnvironmentsKey + "\\" + environment + "\\Print Processors\\" + name;
}

std::string monitorKeyPath(const std::string& name) { return kMonitorsKey + "\\" + name; }

std::string driverKeyPath(const PrinterDriver& driver) {
    return kEnvironmentsKey + "\\" + driver.environment + "\\Drivers\\Version-" + std::to_string(driver.cVersion()) +
           "\\" + driver.name;
}

void syncProcessorKey(Registry& registry, const Spooler& spooler, const SystemInfo& system,
                      const std::string& environment, const std::string& name) {
    if (system.platform != Platform::Nt) return;
    for (const SpoolerComponent& p : spooler.processors)
        if (iequals(p.name, name) && iequals(p.environment, environment)) return writeKey(registry, processorKey(p));
    registry.remove(processorKeyPath(environment, name));
}

void syncMonitorKey(Registry& registry, const Spooler& spooler, const SystemInfo& system, const std::string& name) {
    if (system.platform != Platform::Nt) return;
    const SpoolerComponent* m = keyMonitor(spooler, system.localEnvironment, name);
    if (m) return writeKey(registry, monitorKey(*m));
    registry.remove(monitorKeyPath(name));
}

void syncDriverKey(Registry& registry, const Spooler& spooler, const SystemInfo& system,
                   const std::string& environment, const std::string& name, DWORD version) {
    if (system.platform != Platform::Nt) return;
    PrinterDriver gone;
    gone.name = name;
    gone.environment = environment;
    gone.version = static_cast<int>(version);
    for (const PrinterDriver& d : spooler.drivers)
        if (iequals(d.name, name) && iequals(d.environment, environment) && d.cVersion() == version)
            return writeKey(registry, driverKey(d));
    registry.remove(driverKeyPath(gone));
}

void SpoolerFacts::load(const Spooler& spooler, const SystemInfo& system, Registry& registry) {
    nt_ = system.platform == Platform::Nt;
    local_ = system.localEnvironment;
    if (!nt_) return;
    if (const RegKey* print = registry.find(kPrintKey)) collect(*print, held_);
    const std::vector<ObjectKey> keys = objectKeys(spooler, local_);
    // Windows keeps one object of a name per environment: a second section of it could not agree with its key.
    for (size_t i = 0; i < keys.size(); ++i)
        for (size_t j = 0; j < i; ++j)
            if (iequals(keys[i].path, keys[j].path))
                throw MachineError("machine.ini declares " + keys[i].section + " twice: give it in one section");
    refuseUndeclared(registry, keys);
    for (const ObjectKey& k : keys) refuseDisagreement(registry, k, published_);
    for (const ObjectKey& k : keys) writeKey(registry, k);
}

bool SpoolerFacts::derived(const Spooler& spooler, const RegKey& key, const RegValue& value) const {
    if (!nt_ || !isModelled(value.name)) return false;
    const std::string path = Registry::pathOf(key);
    if (!inSpoolerPart(path)) return false;
    const std::vector<ObjectKey> keys = objectKeys(spooler, local_);
    const ObjectKey* k = keyAt(keys, path);
    const Fact* fact = k ? factOf(*k, value.name) : nullptr;
    return fact && agrees(fact, value, published_);
}

bool SpoolerFacts::madeForFacts(const Spooler& spooler, const RegKey& key) const {
    if (!nt_) return false;
    const std::string path = Registry::pathOf(key);
    // The keys above the spooler's part (SYSTEM, CurrentControlSet, Control) every NT machine has: its
    // session manager's key lies there.
    if (held_.count(path) || !inSpoolerPart(path)) return false;
    const std::vector<ObjectKey> keys = objectKeys(spooler, local_);
    const bool onTheWay = std::any_of(keys.begin(), keys.end(), [&](const ObjectKey& k) {
        return iequals(k.path, path) || startsWithI(k.path, path + "\\");
    });
    if (!onTheWay) return false;  // a key a run made for something else
    for (const RegValue& v : key.values)
        if (!derived(spooler, key, v)) return false;
    for (const auto& kv : key.subkeys)
        if (!madeForFacts(spooler, *kv.second)) return false;
    return true;
}

}  // namespace simwin
