// The service control manager: services by name with their states and the fault states
// a machine may declare. The print spooler's own state lives on the "Spooler" service.
#pragma once

#include <string>
#include <vector>

#include "simwin/ini.h"
#include "simwin/types.h"

namespace simwin {

// What QueryServiceConfigA returns of a service: the configuration the service control manager keeps.
struct ServiceConfig {
    std::string display;  // "" : the service's name
    DWORD type = 0x10;    // SERVICE_WIN32_OWN_PROCESS; SERVICE_INTERACTIVE_PROCESS may be added
    DWORD start = 3;      // SERVICE_DEMAND_START
    DWORD errorControl = 1;  // SERVICE_ERROR_NORMAL
    // The command line of its program ("" : none is recorded; Windows would not start the service, and a
    // question about its program has no answer).
    std::string binary;
    std::string group;
    std::vector<std::string> dependencies;  // services and groups ("+Group") it needs, in order
    std::string account;  // "" : LocalSystem for a service of its own or shared process, none for a driver
};

struct Service {
    std::string name;
    ServiceConfig config;
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

// The [service] words of a configuration and back: type own | share | kernel | filesystem, with
// ",interactive" for SERVICE_INTERACTIVE_PROCESS; start boot | system | auto | demand | disabled;
// errorcontrol ignore | normal | severe | critical. The parsers throw MachineError on another word.
DWORD parseServiceType(const std::string& words);
DWORD parseServiceStart(const std::string& word);
DWORD parseServiceErrorControl(const std::string& word);
std::string serviceTypeWords(DWORD type);
std::string serviceStartWord(DWORD start);
std::string serviceErrorControlWord(DWORD errorControl);

}  // namespace simwin
