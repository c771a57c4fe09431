// winspool's port monitors and their ports: enumeration, installing and deleting a monitor, adding a port.
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "simwin/spooler_facts.h"
#include "spooler_calls.h"

using simwin::current;
using simwin::Layout;
using simwin::StringPacker;
using namespace simwin::winspool;

namespace {

const std::vector<Layout<simwin::Port>>& portLevels() {
    using P = simwin::Port;
    static const std::vector<Layout<P>> levels = {
        {1, sizeof(PORT_INFO_1A), {simwin::textAt<P>(offsetof(PORT_INFO_1A, pName), [](const P& p) { return p.name; })}},
        {2, sizeof(PORT_INFO_2A),
         {simwin::textAt<P>(offsetof(PORT_INFO_2A, pPortName), [](const P& p) { return p.name; }),
          simwin::textAt<P>(offsetof(PORT_INFO_2A, pMonitorName), [](const P& p) { return p.monitor; }),
          simwin::textAt<P>(offsetof(PORT_INFO_2A, pDescription), [](const P& p) { return p.description; }),
          simwin::numberAt<P>(offsetof(PORT_INFO_2A, fPortType), [](const P&) -> DWORD { return PORT_TYPE_WRITE; })}},
    };
    return levels;
}

const std::vector<Layout<simwin::SpoolerComponent>>& monitorLevels() {
    using M = simwin::SpoolerComponent;
    static const std::vector<Layout<M>> levels = {
        {1, sizeof(MONITOR_INFO_1A), {simwin::textAt<M>(offsetof(MONITOR_INFO_1A, pName), [](const M& m) { return m.name; })}},
        {2, sizeof(MONITOR_INFO_2A),
         {simwin::textAt<M>(offsetof(MONITOR_INFO_2A, pName), [](const M& m) { return m.name; }),
          simwin::textAt<M>(offsetof(MONITOR_INFO_2A, pEnvironment), [](const M& m) { return m.environment; }),
          simwin::textAt<M>(offsetof(MONITOR_INFO_2A, pDLLName), [](const M& m) { return m.dll; })}},
    };
    return levels;
}

// A monitor's registry key as the spooler now has it (written, or gone with the last monitor of that name).
void syncKey(const std::string& name) {
    simwin::syncMonitorKey(current().registry, current().spooler, current().system, name);
}

}  // namespace

BOOL WINAPI EnumPortsA(LPSTR server, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed, LPDWORD returned) {
    const Layout<simwin::Port>* layout = enterEnumeration("EnumPortsA", server, level, portLevels(), needed, returned);
    if (!layout) return FALSE;
    auto& spooler = current().spooler;
    spooler.addStandardComponents(current().system);
    const std::vector<simwin::Port> ports = spooler.allPorts(current().system);
    std::vector<const simwin::Port*> items;
    for (const simwin::Port& p : ports) items.push_back(&p);
    return packLayout(items, *layout, buffer, size, needed, returned);
}

BOOL WINAPI EnumMonitorsA(LPSTR server, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed, LPDWORD returned) {
    const Layout<simwin::SpoolerComponent>* layout =
        enterEnumeration("EnumMonitorsA", server, level, monitorLevels(), needed, returned);
    if (!layout) return FALSE;
    auto& spooler = current().spooler;
    spooler.addStandardComponents(current().system);
    std::vector<const simwin::SpoolerComponent*> items;
    for (const simwin::SpoolerComponent& m : spooler.monitors) items.push_back(&m);
    return packLayout(items, *layout, buffer, size, needed, returned);
}

BOOL WINAPI AddPortExA(LPSTR server, DWORD level, LPBYTE buffer, LPSTR monitorName) {
    if (!spoolerAnswers() || !checkServer(server)) return FALSE;
    if (faulted("AddPortExA", monitorName ? monitorName : "(null)")) return FALSE;
    if (level != 1) {  // level 2 is for monitors that describe their ports; "Local Port" and simwin take level 1
        SetLastError(ERROR_INVALID_LEVEL);
        return FALSE;
    }
    auto& spooler = current().spooler;
    spooler.addStandardComponents(current().system);
    const char* name = buffer ? reinterpret_cast<PORT_INFO_1A*>(buffer)->pName : nullptr;
    const simwin::SpoolerComponent* monitor = nullptr;
    for (const simwin::SpoolerComponent& m : spooler.monitors)
        if (monitorName && simwin::iequals(m.name, monitorName)) monitor = &m;
    bool taken = false;
    for (const simwin::Port& p : spooler.allPorts(current().system)) taken = taken || (name && simwin::iequals(p.name, name));
    // Windows answers ERROR_INVALID_PARAMETER also to a user who may not administer printers.
    if (!name || !*name || !monitor || taken || !mayAdminister()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    spooler.ports.push_back(simwin::Port{name, monitor->name, ""});
    return TRUE;
}

BOOL WINAPI DeleteMonitorA(LPSTR server, LPSTR environment, LPSTR monitorName) {
    std::string env;
    if (!enterServerChange("DeleteMonitorA", server, environment, monitorName, env)) return FALSE;
    auto& spooler = current().spooler;
    spooler.addStandardComponents(current().system);
    const simwin::SpoolerComponent* m = spooler.findMonitor(monitorName, env);
    if (!m) {
        SetLastError(ERROR_UNKNOWN_PRINT_MONITOR);
        return FALSE;
    }
    if (m->inUse) {
        SetLastError(ERROR_PRINT_MONITOR_IN_USE);
        return FALSE;
    }
    const std::string name = m->name;
    spooler.removeMonitor(m);
    syncKey(name);  // the key goes with the last monitor of that name
    return TRUE;
}

BOOL WINAPI AddMonitorA(LPSTR server, DWORD level, LPBYTE info) {
    if (!enterInstall("AddMonitorA", server, level, level == 2, info)) return FALSE;
    MONITOR_INFO_2A r;
    std::memcpy(&r, info, sizeof r);
    std::string env;
    if (!resolveEnvironment(r.pEnvironment, env)) return FALSE;
    if (!r.pName || !*r.pName || !r.pDLLName || !*r.pDLLName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto& spooler = current().spooler;
    spooler.addStandardComponents(current().system);
    if (spooler.findMonitor(r.pName, env)) {
        SetLastError(ERROR_PRINT_MONITOR_ALREADY_INSTALLED);
        return FALSE;
    }
    // The spooler loads the monitor's library from the system directory (simwin runs none of its code).
    const simwin::FileNode* library = current().files.find(current().system.systemDir + "\\" + r.pDLLName);
    if (!library || library->isDirectory) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return FALSE;
    }
    spooler.monitors.push_back(simwin::SpoolerComponent{r.pName, env, r.pDLLName});
    syncKey(r.pName);
    return TRUE;
}
