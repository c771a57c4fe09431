// What Windows keeps of the spooler's objects in the registry as well (NT family): a print processor's
// library in HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Print\Environments\<env>\Print Processors\<name>
// "Driver", a monitor's in ...\Control\Print\Monitors\<name> "Driver", a driver's files and texts in
// ...\Environments\<env>\Drivers\Version-<N>\<name>.
//
// The machine.ini section of each object is the one place a machine directory says these facts. load() derives
// the keys from the spooler (every machine has them, as a real Windows does), after refusing a registry.reg
// that says otherwise: a value that disagrees with its section, or a key of an object no section declares.
// The spooler functions keep the keys in step as they add and delete objects (syncProcessorKey and the
// others). A save leaves out of registry.reg the values that still say what the sections say, and the keys
// made only for them, so that a directory saves as it was loaded. Values simwin does not model are kept.
#pragma once

#include <functional>
#include <set>
#include <string>

#include "simwin/registry.h"
#include "simwin/spooler.h"
#include "simwin/system.h"

namespace simwin {

// The keys of the objects, as Registry::pathOf writes them.
std::string processorKeyPath(const std::string& environment, const std::string& name);
std::string monitorKeyPath(const std::string& name);
std::string driverKeyPath(const PrinterDriver& driver);

// Writes the key of the object of that name (and environment) from the spooler's state, or deletes it when
// the spooler has no such object any more. Nothing off the NT family.
void syncProcessorKey(Registry& registry, const Spooler& spooler, const SystemInfo& system,
                      const std::string& environment, const std::string& name);
void syncMonitorKey(Registry& registry, const Spooler& spooler, const SystemInfo& system, const std::string& name);
void syncDriverKey(Registry& registry, const Spooler& spooler, const SystemInfo& system,
                   const std::string& environment, const std::string& name, DWORD version);

class SpoolerFacts {
public:
    // The published INF an INF path stands for (a store copy's oemN.inf; "" : none known). A driver's InfPath
    // agrees with its section when both name the same INF this way: Windows 8 and later report the store copy
    // where the driver was installed from the published INF.
    typedef std::function<std::string(const std::string&)> PublishedInf;
    void usePublishedInf(PublishedInf published) { published_ = std::move(published); }

    // Checks registry.reg's keys against the spooler's sections (MachineError naming both places), then
    // writes the derived keys, remembering which keys the directory held.
    void load(const Spooler& spooler, const SystemInfo& system, Registry& registry);
    // Whether a save leaves this value out: a modelled value of a declared object that says what its section
    // says. `spooler` is the state being saved.
    bool derived(const Spooler& spooler, const RegKey& key, const RegValue& value) const;
    // Whether a save leaves this key out: one the directory did not hold, of the spooler's part of the
    // registry, left with nothing a save writes.
    bool madeForFacts(const Spooler& spooler, const RegKey& key) const;

private:
    bool nt_ = false;
    std::string local_;  // the local environment, whose monitor names a monitor's key
    std::set<std::string, ILess> held_;  // keys of the spooler's part of the registry that the directory held
    PublishedInf published_;
};

}  // namespace simwin
