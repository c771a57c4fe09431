#include "simwin/spooler.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "simwin/files.h"
#include "simwin/ini_mapping.h"
#include "simwin/system.h"
#include "simwin/win32.h"

namespace simwin {

namespace {

struct AttributeWord {
    const char* word;
    DWORD bit;
};

const AttributeWord kAttributeWords[] = {
    {"queued", PRINTER_ATTRIBUTE_QUEUED},
    {"direct", PRINTER_ATTRIBUTE_DIRECT},
    {"default", PRINTER_ATTRIBUTE_DEFAULT},
    {"shared", PRINTER_ATTRIBUTE_SHARED},
    {"network", PRINTER_ATTRIBUTE_NETWORK},
    {"hidden", PRINTER_ATTRIBUTE_HIDDEN},
    {"local", PRINTER_ATTRIBUTE_LOCAL},
    {"enable-devq", PRINTER_ATTRIBUTE_ENABLE_DEVQ},
    {"keep-printed-jobs", PRINTER_ATTRIBUTE_KEEPPRINTEDJOBS},
    {"do-complete-first", PRINTER_ATTRIBUTE_DO_COMPLETE_FIRST},
    {"work-offline", PRINTER_ATTRIBUTE_WORK_OFFLINE},
    {"enable-bidi", PRINTER_ATTRIBUTE_ENABLE_BIDI},
    {"raw-only", PRINTER_ATTRIBUTE_RAW_ONLY},
    {"published", PRINTER_ATTRIBUTE_PUBLISHED},
    {"fax", PRINTER_ATTRIBUTE_FAX},
    {"ts", PRINTER_ATTRIBUTE_TS},
};

bool isComponentKey(const std::string& key, bool monitor) {
    return iequals(key, "name") || iequals(key, "environment") || iequals(key, "dll") ||
           (monitor && iequals(key, "inuse"));
}

bool componentOrder(const SpoolerComponent& a, const SpoolerComponent& b) {
    const std::string ea = toLower(a.environment), eb = toLower(b.environment);
    if (ea != eb) return ea < eb;
    return toLower(a.name) < toLower(b.name);
}

SpoolerComponent* findComponent(std::vector<SpoolerComponent>& list, const std::string& name,
                                const std::string& environment) {
    for (auto& c : list)
        if (iequals(c.name, name) && iequals(c.environment, environment)) return &c;
    return nullptr;
}

// A declared monitor or processor: a standard one is marked declared (and takes the declared
// settings), another one is appended.
void declareComponent(std::vector<SpoolerComponent>& list, const IniSection& s, const SystemInfo& system,
                      bool monitor) {
    const std::string section = monitor ? "monitor" : "processor";
    const std::string name = s.get("name");
    if (name.empty()) throw MachineError("[" + section + "] without name");
    for (auto& e : s.entries)
        if (!isComponentKey(e.first, monitor))
            throw MachineError("[" + section + "] " + name + ": unknown key '" + e.first + "'");
    const std::string environment = s.get("environment", system.localEnvironment);
    SpoolerComponent* c = findComponent(list, name, environment);
    if (c && c->declared) throw MachineError("[" + section + "] " + name + " (" + environment + ") declared twice");
    if (!c) {
        list.push_back(SpoolerComponent{name, environment});
        c = &list.back();
    }
    c->declared = true;
    c->inUse = monitor && s.getBool("inuse", false);
    if (s.has("dll")) c->dll = s.get("dll");
}

void saveComponents(IniDoc& doc, const char* section, std::vector<SpoolerComponent> list, bool monitor) {
    std::stable_sort(list.begin(), list.end(), componentOrder);
    for (const SpoolerComponent& c : list) {
        if (c.standard && !c.declared) continue;
        IniSection& s = doc.add(section);
        s.add("name", c.name);
        s.add("environment", c.environment);
        if (monitor && c.inUse) s.add("inuse", "yes");
        if (!c.dll.empty() && !(c.standard && iequals(c.dll, c.standardDll))) s.add("dll", c.dll);
    }
}

const char* const kPrinterKeys[] = {"name",      "driver",     "port",     "server",    "share",
                                    "comment",   "location",   "default",  "processor", "datatype",
                                    "jobs",      "openable",   "attributes", "separator", "parameters",
                                    "priority",  "defaultpriority"};
const char* const kDriverKeys[] = {"name",     "environment", "file",     "data",         "config",    "help",
                                   "dependent", "monitor",    "datatype", "inf",          "provider",  "manufacturer",
                                   "processor", "version"};

bool isDriverKey(const std::string& key) {
    for (const char* k : kDriverKeys)
        if (iequals(key, k)) return true;
    return false;
}

// The ports of "Local Port" that every machine has, in the order Windows lists them.
const char* const kLocalPorts[] = {"COM1:", "COM2:", "COM3:", "COM4:", "FILE:", "LPT1:", "LPT2:", "LPT3:"};
const char* const kNtLocalPorts[] = {"PORTPROMPT:", "nul:"};

void loadDriver(PrinterDriver& d, const IniSection& s) {
    d.file = s.get("file");
    d.data = s.get("data");
    d.config = s.get("config");
    d.help = s.get("help");
    for (auto& e : s.entries)
        if (iequals(e.first, "dependent")) d.dependents.push_back(e.second);
    d.monitor = s.get("monitor");
    d.datatype = s.get("datatype");
    d.inf = s.get("inf");
    d.provider = s.get("provider");
    d.manufacturer = s.get("manufacturer");
    d.processor = s.get("processor");
    d.version = s.has("version") ? static_cast<int>(s.getInt("version", -1)) : -1;
}

void saveDriver(const PrinterDriver& d, IniSection& s) {
    s.add("name", d.name);
    s.add("environment", d.environment);
    const std::pair<const char*, const std::string*> texts[] = {
        {"file", &d.file}, {"data", &d.data}, {"config", &d.config}, {"help", &d.help}};
    for (auto& t : texts)
        if (!t.second->empty()) s.add(t.first, *t.second);
    for (const std::string& f : d.dependents) s.add("dependent", f);
    const std::pair<const char*, const std::string*> more[] = {
        {"monitor", &d.monitor},           {"datatype", &d.datatype}, {"inf", &d.inf},
        {"manufacturer", &d.manufacturer}, {"provider", &d.provider}, {"processor", &d.processor}};
    for (auto& t : more)
        if (!t.second->empty()) s.add(t.first, *t.second);
    if (d.version >= 0) s.add("version", std::to_string(d.version));
}

// "4:2a,00,00,00" <-> a type and bytes (printer data of another type than REG_SZ).
std::string typedBytes(DWORD type, const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out = std::to_string(type) + ":";
    for (size_t i = 0; i < bytes.size(); ++i) {
        const unsigned char b = static_cast<unsigned char>(bytes[i]);
        out += std::string(i ? "," : "") + digits[b >> 4] + digits[b & 15];
    }
    return out;
}

bool parseTypedBytes(const std::string& text, DWORD& type, std::string& bytes) {
    const size_t colon = text.find(':');
    if (colon == std::string::npos || colon == 0) return false;
    char* end = nullptr;
    const unsigned long t = std::strtoul(text.substr(0, colon).c_str(), &end, 10);
    if (*end || t > 0xFFFFFFFFUL) return false;
    type = static_cast<DWORD>(t);
    bytes.clear();
    const std::string rest = text.substr(colon + 1);
    for (const std::string& hex : split(rest, ',')) {
        if (rest.empty()) break;
        const std::string h = trim(hex);
        if (h.size() != 2 || !std::isxdigit(static_cast<unsigned char>(h[0])) || !std::isxdigit(static_cast<unsigned char>(h[1])))
            return false;
        bytes += static_cast<char>(std::strtoul(h.c_str(), nullptr, 16));
    }
    return true;
}

bool isPrinterKey(const std::string& key) {
    if (startsWithI(key, "data.")) return key.size() > 5;
    if (startsWithI(key, "value.")) return key.size() > 6;
    for (const char* k : kPrinterKeys)
        if (iequals(key, k)) return true;
    return false;
}

std::string stripBackslashes(const std::string& s) {
    size_t i = 0;
    while (i < s.size() && (s[i] == '\\' || s[i] == '/')) ++i;
    return s.substr(i);
}

std::string hex(DWORD v) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    do {
        out.insert(out.begin(), digits[v & 0xF]);
        v >>= 4;
    } while (v);
    return "0x" + out;
}

}  // namespace

bool Printer::isDefault() const { return (attributes & PRINTER_ATTRIBUTE_DEFAULT) != 0; }

DWORD PrinterDriver::cVersion() const {
    if (version >= 0) return static_cast<DWORD>(version);
    return iequals(environment, "Windows 4.0") ? 0 : 3;
}

DWORD Printer::jobIdAt(DWORD position) const {
    DWORD id = position + 1;
    for (DWORD gone : removedJobs_)  // ascending: each gone ID at or below the candidate shifts it on
        if (gone <= id) ++id;
    return id;
}

bool Printer::hasJob(DWORD id) const {
    const unsigned long long highest = static_cast<unsigned long long>(jobs) + removedJobs_.size();
    return id >= 1 && id <= highest && !removedJobs_.count(id);
}

void Printer::removeJob(DWORD id) {
    removedJobs_.insert(id);
    --jobs;
}

std::string printerAttributeWords(DWORD attributes) {
    std::string out;
    DWORD rest = attributes;
    for (const auto& w : kAttributeWords) {
        if (!(attributes & w.bit)) continue;
        out += (out.empty() ? "" : ",") + std::string(w.word);
        rest &= ~w.bit;
    }
    if (rest) out += (out.empty() ? "" : ",") + hex(rest);
    return out;
}

DWORD parsePrinterAttributes(const std::string& text) {
    DWORD bits = 0;
    for (const std::string& raw : split(text, ',')) {
        std::string word = toLower(trim(raw));
        if (word.empty()) continue;
        if (word[0] >= '0' && word[0] <= '9') {
            char* end = nullptr;
            unsigned long n = std::strtoul(word.c_str(), &end, 0);
            if (*end) throw MachineError("[printer] attributes: '" + raw + "' is not a number");
            bits |= static_cast<DWORD>(n);
            continue;
        }
        bool known = false;
        for (const auto& w : kAttributeWords)
            if (word == w.word) bits |= w.bit, known = true;
        if (!known) throw MachineError("[printer] attributes: unknown attribute '" + trim(raw) + "'");
    }
    return bits;
}

Printer* Spooler::find(const std::string& name) {
    const auto it = idByName_.find(name);
    return it == idByName_.end() ? nullptr : findById(it->second);
}

const Printer* Spooler::find(const std::string& name) const {
    return const_cast<Spooler*>(this)->find(name);
}

std::deque<Printer>::iterator Spooler::positionOf(int id) {
    const auto it = std::lower_bound(printers.begin(), printers.end(), id,
                                     [](const Printer& p, int wanted) { return p.id < wanted; });
    return it != printers.end() && it->id == id ? it : printers.end();
}

Printer* Spooler::findById(int id) {
    const auto it = positionOf(id);
    return it == printers.end() ? nullptr : &*it;
}

void Spooler::makeDefault(const std::string& name) {
    if (!find(name)) return;
    for (Printer& p : printers) {
        if (iequals(p.name, name))
            p.attributes |= PRINTER_ATTRIBUTE_DEFAULT;
        else
            p.attributes &= ~static_cast<DWORD>(PRINTER_ATTRIBUTE_DEFAULT);
    }
}

const Printer* Spooler::defaultPrinter() const {
    for (auto& p : printers)
        if (p.isDefault()) return &p;
    return nullptr;
}

Printer& Spooler::add(Printer printer) {
    if (printer.name.empty()) throw MachineError("[printer] without name");
    if (find(printer.name)) throw MachineError("[printer] " + printer.name + ": a printer of that name exists already");
    printer.server = stripBackslashes(printer.server);
    printer.id = nextId_++;
    idByName_[printer.name] = printer.id;
    printers.push_back(printer);
    return printers.back();
}

const SpoolerFault* Spooler::enter(const std::string& function, const std::string& details) {
    calls.push_back(function + (details.empty() ? "" : " " + details));
    const int n = ++callCounts_[function];
    for (const SpoolerFault& f : faults)
        if (iequals(f.function, function) && (f.call == 0 || f.call == n)) return &f;
    return nullptr;
}

PrinterDriver& Spooler::addDriver(const std::string& name, const std::string& environment) {
    PrinterDriver d;
    d.name = name;
    d.environment = environment;
    drivers.push_back(d);
    return drivers.back();
}

std::vector<Port> Spooler::allPorts(const SystemInfo& system) const {
    std::vector<Port> out;
    auto listed = [&](const std::string& name) {
        for (const Port& p : out)
            if (iequals(p.name, name)) return true;
        return false;
    };
    auto declared = [&](const std::string& name) -> const Port* {
        for (const Port& p : ports)
            if (iequals(p.name, name)) return &p;
        return nullptr;
    };
    auto installed = [&](const std::string& monitor) {
        for (const SpoolerComponent& m : monitors)
            if (iequals(m.name, monitor)) return true;
        return false;
    };
    const bool localPort = installed("Local Port");
    std::vector<std::string> standard(std::begin(kLocalPorts), std::end(kLocalPorts));
    if (system.platform == Platform::Nt) standard.insert(standard.end(), std::begin(kNtLocalPorts), std::end(kNtLocalPorts));
    if (localPort)
        for (const std::string& name : standard) {
            const Port* own = declared(name);
            out.push_back(own ? *own : Port{name, "Local Port", ""});
        }
    for (const Port& p : ports)
        if (!listed(p.name) && installed(p.monitor)) out.push_back(p);
    if (localPort)
        for (const Printer& printer : printers)
            if (!printer.isConnection() && !printer.port.empty() && !listed(printer.port))
                out.push_back(Port{printer.port, "Local Port", ""});
    for (Port& p : out)
        if (p.description.empty()) p.description = p.monitor;
    return out;
}

void Spooler::removeMonitor(const SpoolerComponent* monitor) {
    const std::string name = monitor->name;
    monitors.erase(monitors.begin() + (monitor - monitors.data()));
    for (const SpoolerComponent& m : monitors)
        if (iequals(m.name, name)) return;  // the same monitor stays installed for another environment
    ports.erase(std::remove_if(ports.begin(), ports.end(), [&](const Port& p) { return iequals(p.monitor, name); }),
                ports.end());
}

void Spooler::remove(int printerId) {
    const auto it = positionOf(printerId);
    if (it == printers.end()) return;
    idByName_.erase(it->name);
    printers.erase(it);
}

PrinterDriver* Spooler::findDriver(const std::string& name, const std::string& environment) {
    for (auto& d : drivers)
        if (iequals(d.name, name) && iequals(d.environment, environment)) return &d;
    return nullptr;
}

SpoolerComponent* Spooler::findMonitor(const std::string& name, const std::string& environment) {
    return findComponent(monitors, name, environment);
}

SpoolerComponent* Spooler::findProcessor(const std::string& name, const std::string& environment) {
    return findComponent(processors, name, environment);
}

void Spooler::addStandardComponents(const SystemInfo& system) {
    if (standardAdded_) return;
    standardAdded_ = true;
    auto standard = [](const char* name, const std::string& environment, const char* dll) {
        SpoolerComponent c{name, environment, dll};
        c.standard = true;
        c.declared = false;
        c.standardDll = dll;
        return c;
    };
    if (system.platform == Platform::Win32s) return;  // no spooler of its own
    const std::string& local = system.localEnvironment;
    const bool nt = system.platform == Platform::Nt;
    std::vector<SpoolerComponent> m{standard("Local Port", local, nt ? "localspl.dll" : "spoolss.dll")},
        p{standard("WinPrint", local, "winprint.dll")};
    if (nt) {
        m.push_back(standard("Standard TCP/IP Port", local, "tcpmon.dll"));
        m.push_back(standard("USB Monitor", local, "usbmon.dll"));
        m.push_back(standard("WSD Port", local, "WSDMon.dll"));
        p.push_back(standard("WinPrint", "Windows NT x86", "winprint.dll"));
    }
    monitors.insert(monitors.begin(), m.begin(), m.end());
    processors.insert(processors.begin(), p.begin(), p.end());
}

void Spooler::publishDefault(FileSystem& files, Registry& registry, const SystemInfo& system) const {
    const Printer* p = defaultPrinter();
    if (!p) return;
    const std::string mapped = mappedProfileKey(system.platform, "win.ini", "windows");
    if (!mapped.empty()) {
        if (!registry.getString(mapped, "Device").empty()) return;
        registry.setString(mapped, "Device", p->name + ",winspool," + p->port);
        return;
    }
    const std::string winIni = system.windowsDir + "\\win.ini";
    std::string text = files.read(winIni);
    std::string device;
    if (profile::get(text, "windows", "device", device) && !device.empty()) return;
    std::string line = p->name + "," + (system.platform == Platform::Nt ? std::string("winspool") : p->driver) + "," +
                       p->port;
    const std::string key = "device";
    files.writeFile(winIni, profile::set(text, "windows", &key, &line));
}

void Spooler::load(const IniDoc& doc, const SystemInfo& system) {
    for (const IniSection* s : doc.all("printer")) {
        const std::string name = s->get("name");
        if (name.empty()) throw MachineError("[printer] without name");
        for (auto& e : s->entries)
            if (!isPrinterKey(e.first)) throw MachineError("[printer] " + name + ": unknown key '" + e.first + "'");
        Printer p;
        p.name = name;
        p.driver = s->get("driver");
        p.port = s->get("port");
        p.server = s->get("server");
        p.share = s->get("share");
        p.comment = s->get("comment");
        p.location = s->get("location");
        p.processor = s->get("processor", p.processor);
        p.datatype = s->get("datatype", p.datatype);
        p.separator = s->get("separator");
        p.parameters = s->get("parameters");
        p.priority = static_cast<DWORD>(s->getInt("priority", 1));
        p.defaultPriority = static_cast<DWORD>(s->getInt("defaultpriority", 0));
        const long jobs = s->getInt("jobs", 0);
        if (jobs < 0) throw MachineError("[printer] " + name + ": jobs = " + s->get("jobs") + ": expected 0 or more");
        p.jobs = static_cast<int>(jobs);
        p.openable = s->getBool("openable", true);
        if (s->has("attributes")) {
            p.attributes = parsePrinterAttributes(s->get("attributes"));
        } else {
            p.attributes = stripBackslashes(p.server).empty() ? PRINTER_ATTRIBUTE_LOCAL : PRINTER_ATTRIBUTE_NETWORK;
            if (!p.share.empty()) p.attributes |= PRINTER_ATTRIBUTE_SHARED;
        }
        if (s->has("default")) {
            if (s->getBool("default", false))
                p.attributes |= PRINTER_ATTRIBUTE_DEFAULT;
            else
                p.attributes &= ~static_cast<DWORD>(PRINTER_ATTRIBUTE_DEFAULT);
        }
        for (auto& e : s->entries) {
            if (startsWithI(e.first, "data.")) p.data[e.first.substr(5)] = e.second;
            if (!startsWithI(e.first, "value.")) continue;
            std::pair<DWORD, std::string> typed;
            if (!parseTypedBytes(e.second, typed.first, typed.second))
                throw MachineError("[printer] " + name + ": " + e.first + " = " + e.second +
                                   ": expected TYPE:bytes, such as 4:2a,00,00,00");
            p.otherData[e.first.substr(6)] = typed;
        }
        if (p.isDefault() && defaultPrinter())
            throw MachineError("[printer] " + name + ": " + defaultPrinter()->name + " is the default printer already");
        add(p);
    }
    for (const IniSection* s : doc.all("driver")) {
        const std::string name = s->get("name");
        if (name.empty()) throw MachineError("[driver] without name");
        // The spooler keeps a driver as a registry key of its name: a backslash would make it a path of keys.
        if (name.find('\\') != std::string::npos)
            throw MachineError("[driver] " + name + ": a driver's name holds no backslash");
        for (auto& e : s->entries) {
            if (!isDriverKey(e.first)) throw MachineError("[driver] " + name + ": unknown key '" + e.first + "'");
            // The spooler keeps the dependent files as a double-NUL list of names: an empty name would end it.
            if (iequals(e.first, "dependent") && e.second.substr(e.second.find_last_of("\\/") + 1).empty())
                throw MachineError("[driver] " + name + ": dependent = " + e.second + ": names no file");
        }
        loadDriver(addDriver(name, s->get("environment", system.localEnvironment)), *s);
    }
    addStandardComponents(system);
    for (const IniSection* s : doc.all("monitor")) declareComponent(monitors, *s, system, true);
    for (const IniSection* s : doc.all("processor")) declareComponent(processors, *s, system, false);
    for (const IniSection* s : doc.all("port")) {
        Port p;
        p.name = s->get("name");
        p.monitor = s->get("monitor", p.monitor);
        p.description = s->get("description");
        if (p.name.empty()) throw MachineError("[port] without name");
        for (const Port& other : ports)
            if (iequals(other.name, p.name)) throw MachineError("[port] " + p.name + " declared twice");
        bool installed = false;
        for (const SpoolerComponent& m : monitors) installed = installed || iequals(m.name, p.monitor);
        if (!installed) throw MachineError("[port] " + p.name + ": monitor \"" + p.monitor + "\" is not installed");
        ports.push_back(p);
    }
    for (const IniSection* s : doc.all("spoolerfault")) {
        SpoolerFault f;
        f.function = s->get("function");
        if (f.function.empty()) throw MachineError("[spoolerfault] without function");
        for (auto& e : s->entries)
            if (!iequals(e.first, "function") && !iequals(e.first, "call") && !iequals(e.first, "error") &&
                !iequals(e.first, "needed"))
                throw MachineError("[spoolerfault] " + f.function + ": unknown key '" + e.first + "'");
        const long call = s->getInt("call", 0), error = s->getInt("error", 0), needed = s->getInt("needed", 0);
        if (call < 0 || error <= 0 || needed < 0)
            throw MachineError("[spoolerfault] " + f.function + ": expected call >= 0, error > 0 and needed >= 0");
        f.call = static_cast<int>(call);
        f.error = static_cast<DWORD>(error);
        f.needed = static_cast<DWORD>(needed);
        faults.push_back(f);
    }
}

void Spooler::save(IniDoc& doc) const {
    for (const Printer& p : printers) {
        IniSection& s = doc.add("printer");
        s.add("name", p.name);
        s.add("driver", p.driver);
        s.add("port", p.port);
        if (!p.server.empty()) s.add("server", p.server);
        if (!p.share.empty()) s.add("share", p.share);
        if (!p.comment.empty()) s.add("comment", p.comment);
        if (!p.location.empty()) s.add("location", p.location);
        s.add("default", p.isDefault() ? "yes" : "no");
        s.add("attributes", printerAttributeWords(p.attributes & ~static_cast<DWORD>(PRINTER_ATTRIBUTE_DEFAULT)));
        s.add("processor", p.processor);
        s.add("datatype", p.datatype);
        if (!p.separator.empty()) s.add("separator", p.separator);
        if (!p.parameters.empty()) s.add("parameters", p.parameters);
        if (p.priority != 1) s.add("priority", std::to_string(p.priority));
        if (p.defaultPriority) s.add("defaultpriority", std::to_string(p.defaultPriority));
        if (p.jobs) s.add("jobs", std::to_string(p.jobs));
        if (!p.openable) s.add("openable", "no");
        for (auto& d : p.data) s.add("data." + d.first, d.second);
        for (auto& d : p.otherData) s.add("value." + d.first, typedBytes(d.second.first, d.second.second));
    }
    for (const PrinterDriver& d : drivers) saveDriver(d, doc.add("driver"));
    saveComponents(doc, "monitor", monitors, true);
    saveComponents(doc, "processor", processors, false);
    for (const Port& p : ports) {
        IniSection& s = doc.add("port");
        s.add("name", p.name);
        s.add("monitor", p.monitor);
        if (!p.description.empty() && p.description != p.monitor) s.add("description", p.description);
    }
    for (const SpoolerFault& f : faults) {
        IniSection& s = doc.add("spoolerfault");
        s.add("function", f.function);
        if (f.call) s.add("call", std::to_string(f.call));
        s.add("error", std::to_string(f.error));
        if (f.needed) s.add("needed", std::to_string(f.needed));
    }
}

}  // namespace simwin
