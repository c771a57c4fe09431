// The model of one Windows machine that the simulated Win32 functions act on.
//
// A test or the simulator builds a Machine (in code, or loaded from a machine directory),
// makes it current with MachineScope, runs the tool's code, and inspects or saves the state.
// The Win32 functions of simwin always act on the current machine.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "simwin/clock.h"
#include "simwin/dde.h"
#include "simwin/devices.h"
#include "simwin/event_log.h"
#include "simwin/files.h"
#include "simwin/gdi.h"
#include "simwin/handles.h"
#include "simwin/imagelists.h"
#include "simwin/ini.h"
#include "simwin/ini_mapping.h"
#include "simwin/menus.h"
#include "simwin/modules.h"
#include "simwin/processes.h"
#include "simwin/registry.h"
#include "simwin/services.h"
#include "simwin/spooler.h"
#include "simwin/spooler_facts.h"
#include "simwin/system.h"
#include "simwin/transcript.h"
#include "simwin/windows.h"

namespace simwin {

class Machine {
public:
    // A machine of the given platform with its standard layout (directories, shell folders,
    // the Spooler service, an empty registry with the standard keys).
    explicit Machine(Platform platform = Platform::Nt);
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    // Loads a machine directory (machine.ini, registry.reg, drive/...). Throws MachineError
    // with a message naming the file and line when the directory cannot be understood.
    static std::unique_ptr<Machine> load(const std::string& dir);
    // Writes the machine's state as a machine directory; deterministic.
    void save(const std::string& dir) const;
    // The machine of a machine.ini text alone (no registry.reg, no drive/), and the machine.ini text a save
    // writes: what load and save do with that part. fromIni throws MachineError as load does.
    static std::unique_ptr<Machine> fromIni(const std::string& text, const std::string& origin);
    std::string saveIni() const;

    Clock clock;
    SystemInfo system;
    Registry registry;
    FileSystem files;
    ServiceManager services;
    Gdi gdi;
    WindowSystem windows;
    MenuTable menus;
    ImageListTable imageLists;
    Transcript transcript;
    HandleTable handles;
    ModuleTable modules;
    Spooler spooler;
    ProcessTable processes;
    DeviceTree devices;
    ProgramManager progman;
    DdeTable dde;
    EventLog eventLog;

    // What load() read from win.ini into the registry (NT family), so that save() writes it back where it
    // came from.
    IniMapping iniMapping;
    // The registry keys load() derived from the spooler's sections, so that save() leaves them out.
    SpoolerFacts spoolerFacts;

    // Sections of machine.ini that no subsystem claims; saved back unchanged.
    std::vector<IniSection> otherSections;

    // Per-thread state of the one simulated thread.
    uint32_t lastError = 0;

private:
    // The platform's system, services and registry without the folders and files of its layout: a machine that
    // is loaded lays them out once, after what it holds.
    struct Unlaid {};
    Machine(Platform platform, Unlaid);
    void applyLayout();
    // Builds a machine from a parsed machine.ini: the platform and layout, then each subsystem's sections,
    // with loadFiles in between to bring the directory's registry and drives.
    static std::unique_ptr<Machine> fromDoc(const IniDoc& doc, const std::function<void(Machine&)>& loadFiles);
};

// The machine the Win32 functions act on. Throws std::logic_error when none is current.
Machine& current();
bool hasCurrent();

// Makes a machine current for the lifetime of the scope (restores the previous one after).
class MachineScope {
public:
    explicit MachineScope(Machine& m);
    ~MachineScope();
    MachineScope(const MachineScope&) = delete;
    MachineScope& operator=(const MachineScope&) = delete;

private:
    Machine* previous_;
};

}  // namespace simwin
