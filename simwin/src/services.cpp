#include "simwin/services.h"

#include "simwin/util.h"

namespace simwin {

namespace {

struct Word {
    const char* word;
    DWORD value;
};

const Word kTypes[] = {{"kernel", 0x1}, {"filesystem", 0x2}, {"own", 0x10}, {"share", 0x20}};
const Word kStarts[] = {{"boot", 0}, {"system", 1}, {"auto", 2}, {"demand", 3}, {"disabled", 4}};
const Word kErrorControls[] = {{"ignore", 0}, {"normal", 1}, {"severe", 2}, {"critical", 3}};
const DWORD kInteractive = 0x100;

template <size_t N>
DWORD parseWord(const Word (&words)[N], const std::string& text, const char* key) {
    const std::string w = toLower(trim(text));
    std::string known;
    for (const Word& k : words) {
        if (w == k.word) return k.value;
        known += (known.empty() ? "" : ", ") + std::string(k.word);
    }
    throw MachineError("[service] " + std::string(key) + " = " + text + ": expected " + known);
}

template <size_t N>
std::string wordOf(const Word (&words)[N], DWORD value) {
    for (const Word& k : words)
        if (k.value == value) return k.word;
    return std::to_string(value);
}

// The Spooler service as Windows installs it.
ServiceConfig spoolerConfig() {
    ServiceConfig c;
    c.display = "Print Spooler";
    c.type = 0x10 | kInteractive;
    c.start = 2;
    c.binary = "C:\\Windows\\System32\\spoolsv.exe";
    c.group = "SpoolerGroup";
    c.dependencies = {"RPCSS", "http"};
    c.account = "LocalSystem";
    return c;
}

void loadConfig(ServiceConfig& c, const IniSection& s) {
    c.display = s.get("display");
    if (s.has("type")) c.type = parseServiceType(s.get("type"));
    if (s.has("start")) c.start = parseServiceStart(s.get("start"));
    if (s.has("errorcontrol")) c.errorControl = parseServiceErrorControl(s.get("errorcontrol"));
    c.binary = s.get("binary");
    c.group = s.get("group");
    for (auto& e : s.entries)
        if (iequals(e.first, "depend")) c.dependencies.push_back(e.second);
    c.account = s.get("account");
}

void saveConfig(const ServiceConfig& c, const std::string& name, IniSection& s) {
    const ServiceConfig defaults;
    if (!c.display.empty() && c.display != name) s.add("display", c.display);
    if (c.type != defaults.type) s.add("type", serviceTypeWords(c.type));
    if (c.start != defaults.start) s.add("start", serviceStartWord(c.start));
    if (c.errorControl != defaults.errorControl) s.add("errorcontrol", serviceErrorControlWord(c.errorControl));
    if (!c.binary.empty()) s.add("binary", c.binary);
    if (!c.group.empty()) s.add("group", c.group);
    for (const std::string& d : c.dependencies) s.add("depend", d);
    if (!c.account.empty()) s.add("account", c.account);
}

}  // namespace

DWORD parseServiceType(const std::string& words) {
    DWORD type = 0;
    for (const std::string& raw : split(words, ',')) {
        if (iequals(trim(raw), "interactive"))
            type |= kInteractive;
        else if (type & ~kInteractive)
            throw MachineError("[service] type = " + words + ": one of own, share, kernel, filesystem");
        else
            type |= parseWord(kTypes, raw, "type");
    }
    if (!(type & ~kInteractive)) type |= 0x10;  // "interactive" alone: a service of its own process
    return type;
}

DWORD parseServiceStart(const std::string& word) { return parseWord(kStarts, word, "start"); }
DWORD parseServiceErrorControl(const std::string& word) { return parseWord(kErrorControls, word, "errorcontrol"); }
std::string serviceTypeWords(DWORD type) {
    return wordOf(kTypes, type & ~kInteractive) + (type & kInteractive ? ",interactive" : "");
}
std::string serviceStartWord(DWORD start) { return wordOf(kStarts, start); }
std::string serviceErrorControlWord(DWORD errorControl) { return wordOf(kErrorControls, errorControl); }

Service* ServiceManager::find(const std::string& name) {
    for (auto& s : services)
        if (!s.deleted && iequals(s.name, name)) return &s;
    return nullptr;
}

const Service* ServiceManager::find(const std::string& name) const {
    for (auto& s : services)
        if (!s.deleted && iequals(s.name, name)) return &s;
    return nullptr;
}

Service& ServiceManager::add(const std::string& name, bool running) {
    if (Service* s = find(name)) {
        s->running = running;
        return *s;
    }
    Service s;
    s.name = name;
    s.running = running;
    services.push_back(s);
    return services.back();
}

bool ServiceManager::settle(Service& s) {
    if (s.deleted || !s.markedForDelete || s.running || s.openHandles > 0) return false;
    s.deleted = true;
    return true;
}

bool ServiceManager::spoolerAnswers() const {
    const Service* s = find("Spooler");
    return s && s->running && !s->unresponsive;
}

std::string ServiceManager::spoolerState() const {
    const Service* s = find("Spooler");
    if (!s) return "stopped";
    if (s->unresponsive) return "unresponsive";
    if (s->startFails) return "no-start";
    return s->running ? "running" : "stopped";
}

void ServiceManager::setSpoolerState(const std::string& state) {
    Service& s = add("Spooler", true);
    s.config = spoolerConfig();
    std::string t = toLower(state);
    s.unresponsive = false, s.startFails = false;
    if (t == "running") {
        s.running = true;
    } else if (t == "stopped") {
        s.running = false;
    } else if (t == "unresponsive") {
        s.running = true, s.unresponsive = true;
    } else if (t == "no-start") {
        s.running = true, s.startFails = true;
    } else {
        throw MachineError("[spooler] state = " + state + ": expected running, stopped, unresponsive or no-start");
    }
}

void ServiceManager::load(const IniDoc& doc) {
    if (const IniSection* sp = doc.first("spooler")) {
        setSpoolerState(sp->get("state", "running"));
        // unresponsive and no-start describe faults; "running = no" says the faulty spooler is stopped.
        find("Spooler")->running = sp->getBool("running", find("Spooler")->running);
    }
    for (const IniSection* s : doc.all("service")) {
        std::string name = s->get("name");
        if (name.empty()) throw MachineError("[service] without name");
        std::string state = toLower(s->get("state", "running"));
        if (state != "running" && state != "stopped")
            throw MachineError("[service] " + name + ": state = " + state + ": expected running or stopped");
        Service& svc = add(name, state == "running");
        svc.startFails = s->getBool("startfails", false);
        svc.markedForDelete = s->getBool("marked", false);
        loadConfig(svc.config, *s);
    }
}

void ServiceManager::save(IniDoc& doc) const {
    const Service* spooler = find("Spooler");
    if (spooler) {  // machines outside the NT family have no service manager
        IniSection& sp = doc.add("spooler");
        sp.add("state", spoolerState());
        if ((spooler->unresponsive || spooler->startFails) && !spooler->running) sp.add("running", "no");
    }
    for (auto& s : services) {
        if (s.deleted || iequals(s.name, "Spooler")) continue;
        IniSection& sec = doc.add("service");
        sec.add("name", s.name);
        sec.add("state", s.running ? "running" : "stopped");
        if (s.startFails) sec.add("startfails", "yes");
        if (s.markedForDelete) sec.add("marked", "yes");
        saveConfig(s.config, s.name, sec);
    }
}

}  // namespace simwin
