// The service control manager: services by name with their states and the fault states
// a machine may declare. The print spooler's own state lives on the "Spooler" service.
#pragma once

#include <string>
#include <vector>

#include "simwin/ini.h"

namespace simwin {

struct Service {
    std::string name;
    bool running = false;
    bool startFails = false;        // every start fails (ERROR_SERVICE_LOGON_FAILED)
    bool unresponsive = false;      // runs, but its clients get RPC_S_SERVER_UNAVAILABLE (the spooler)
    bool markedForDelete = false;   // DeleteService was called; it goes once stopped and unopened
    bool deleted = false;
    int openHandles = 0;            // service handles of the tool that are open on it
};

class ServiceManager {
public:
    std::vector<Service> services;

    Service* find(const std::string& name);
    const Service* find(const std::string& name) const;
    Service& add(const std::string& name, bool running);
    // Completes a deletion: a marked service that is stopped and has no open handles is deleted.
    // True when it was deleted now.
    bool settle(Service& s);

    // The spooler answers its clients: the service exists, runs and is not hung.
    bool spoolerAnswers() const;
    // The [spooler] state word of the Spooler service: running | stopped | unresponsive | no-start.
    std::string spoolerState() const;
    void setSpoolerState(const std::string& state);  // throws MachineError on an unknown word

    void load(const IniDoc& doc);
    void save(IniDoc& doc) const;
};

}  // namespace simwin
