// Machines for whole-run tests made by the machine builder (tools/machine_builder/machine_builder.h): installed
// with the Win32 calls an installer makes, so that a driver's INF, its files, a printer's port and processor
// are there and agree. A few shorthands for the printers and packages tests name most.
#pragma once

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "simwin/util.h"
#include "tools/machine_builder/machine_builder.h"

namespace built {

using machinebuilder::MachineBuilder;
using machinebuilder::Package;
using machinebuilder::PrinterSpec;
namespace presets = machinebuilder::presets;

// A printer of the family: its driver data says so (VestralDriver04 = 1), further data after it.
inline PrinterSpec FamilyPrinter(const std::string& name, const std::string& port,
                                 const std::string& driver = "Vestral X Driver", bool isDefault = false,
                                 std::vector<std::pair<std::string, std::string>> more = {}) {
    PrinterSpec p;
    p.name = name;
    p.port = port;
    p.driver = driver;
    p.isDefault = isDefault;
    p.data = {{"VestralDriver04", "1"}};
    p.data.insert(p.data.end(), more.begin(), more.end());
    return p;
}

// A printer of another maker, or of the family that carries no driver data.
inline PrinterSpec PlainPrinter(const std::string& name, const std::string& port, const std::string& driver,
                                bool isDefault = false) {
    PrinterSpec p;
    p.name = name;
    p.port = port;
    p.driver = driver;
    p.isDefault = isDefault;
    return p;
}

// A package of one driver file of its own, with the maker's INF (a driver of the 9x class when the machine is).
inline Package Driver(const std::string& name, const std::string& file, const std::string& provider = "Vestral") {
    Package p;
    p.name = name;
    p.provider = provider;
    p.manufacturer = provider;
    p.driverFile = file;
    return p;
}

// The driver store's copies of an INF a package shipped as infName ("vxdrv.inf"), as a machine comparison names
// them: each folder (with its trailing backslash) and the file in it. None on a Windows before 6.2.
inline std::set<std::string> StoreCopies(const simwin::Machine& m, const std::string& infName) {
    std::set<std::string> copies;
    const std::string repository = "C:\\Windows\\System32\\DriverStore\\FileRepository";
    if (!m.files.isDirectory(repository)) return copies;
    const std::string prefix = repository + "\\" + infName + "_amd64_";
    for (const std::string& path : m.files.listTree(repository))
        if (simwin::startsWithI(path, prefix)) copies.insert(m.files.isDirectory(path) ? path + "\\" : path);
    return copies;
}

}  // namespace built
