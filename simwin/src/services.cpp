#include "simwin/services.h"

#include "simwin/util.h"

namespace simwin {

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
    services.push_back(Service{name, running});
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
    }
}

}  // namespace simwin
