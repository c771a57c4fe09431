// winspool's printer drivers per environment: the driver directory, enumeration and the information levels,
// deletion and installing one.
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "driver_store.h"
#include "simwin/spooler_facts.h"
#include "spooler_calls.h"

using simwin::current;
using simwin::Layout;
using simwin::StringPacker;
using namespace simwin::winspool;

namespace {

// A driver's file as the spooler reports it: a full path, a name in the environment's driver directory
// ("vxdrv.dll", "3\\unidrv.dll") taken below that directory; "" stays "".
std::string driverFilePath(const simwin::PrinterDriver& d, const std::string& file) {
    if (file.empty() || (file.size() > 2 && file[1] == ':')) return file;
    for (auto& dir : current().system.driverDirs)
        if (simwin::iequals(dir.first, d.environment)) return dir.second + "\\" + file;
    return file;
}

std::vector<std::string> dependentPaths(const simwin::PrinterDriver& d) {
    std::vector<std::string> out;
    for (const std::string& f : d.dependents) out.push_back(driverFilePath(d, f));
    return out;
}

// The driver levels, as data. Fields Windows leaves null when a driver has nothing to say are null here too
// (help file, dependent files, and the level-6 and level-8 texts); monitor and data type are "" then.
const std::vector<Layout<simwin::PrinterDriver>>& driverLevels() {
    using D = simwin::PrinterDriver;
    using simwin::listAt;
    using simwin::listOrNullAt;
    using simwin::numberAt;
    using simwin::textAt;
    using simwin::textOrNullAt;
    // The fields of DRIVER_INFO_2A to DRIVER_INFO_8A in order; each level takes the first `count`.
    auto upTo = [](size_t count) {
        static const std::vector<simwin::Field<D>> all = {
            numberAt<D>(offsetof(DRIVER_INFO_8A, cVersion), [](const D& d) { return d.cVersion(); }),
            textAt<D>(offsetof(DRIVER_INFO_8A, pName), [](const D& d) { return d.name; }),
            textAt<D>(offsetof(DRIVER_INFO_8A, pEnvironment), [](const D& d) { return d.environment; }),
            textAt<D>(offsetof(DRIVER_INFO_8A, pDriverPath), [](const D& d) { return driverFilePath(d, d.file); }),
            textAt<D>(offsetof(DRIVER_INFO_8A, pDataFile), [](const D& d) { return driverFilePath(d, d.dataFile()); }),
            textAt<D>(offsetof(DRIVER_INFO_8A, pConfigFile), [](const D& d) { return driverFilePath(d, d.configFile()); }),
            // level 3
            textOrNullAt<D>(offsetof(DRIVER_INFO_8A, pHelpFile), [](const D& d) { return driverFilePath(d, d.help); }),
            listOrNullAt<D>(offsetof(DRIVER_INFO_8A, pDependentFiles), dependentPaths),
            textAt<D>(offsetof(DRIVER_INFO_8A, pMonitorName), [](const D& d) { return d.monitor; }),
            textAt<D>(offsetof(DRIVER_INFO_8A, pDefaultDataType), [](const D& d) { return d.datatype; }),
            // level 6 (dates and versions stay zero)
            listAt<D>(offsetof(DRIVER_INFO_8A, pszzPreviousNames), [](const D&) { return std::vector<std::string>(); }),
            textOrNullAt<D>(offsetof(DRIVER_INFO_8A, pszMfgName), [](const D& d) { return d.manufacturer; }),
            textOrNullAt<D>(offsetof(DRIVER_INFO_8A, pszOEMUrl), [](const D&) { return std::string(); }),
            textOrNullAt<D>(offsetof(DRIVER_INFO_8A, pszHardwareID), [](const D&) { return std::string(); }),
            textOrNullAt<D>(offsetof(DRIVER_INFO_8A, pszProvider), [](const D& d) { return d.provider; }),
            // level 8
            textOrNullAt<D>(offsetof(DRIVER_INFO_8A, pszPrintProcessor), [](const D& d) { return d.processor; }),
            // A published INF names its store copy on Windows 8 and later.
            textOrNullAt<D>(offsetof(DRIVER_INFO_8A, pszInfPath),
                            [](const D& d) { return simwin::driverstore::reportedInfPath(current(), d.inf); }),
        };
        return std::vector<simwin::Field<D>>(all.begin(), all.begin() + count);
    };
    static const std::vector<Layout<D>> levels = {
        {1, sizeof(DRIVER_INFO_1A), {textAt<D>(offsetof(DRIVER_INFO_1A, pName), [](const D& d) { return d.name; })}},
        {2, sizeof(DRIVER_INFO_2A), upTo(6)},
        {3, sizeof(DRIVER_INFO_3A), upTo(10)},
        {6, sizeof(DRIVER_INFO_6A), upTo(15)},
        {8, sizeof(DRIVER_INFO_8A), upTo(17)},
    };
    return levels;
}

// The driver records of a level; ERROR_INVALID_LEVEL for a level that is not modelled.
BOOL packDrivers(const std::vector<const simwin::PrinterDriver*>& drivers, DWORD level, LPBYTE buffer, DWORD size,
                 LPDWORD needed, LPDWORD returned) {
    const Layout<simwin::PrinterDriver>* layout = simwin::layoutOf(driverLevels(), level);
    if (!layout) {
        SetLastError(ERROR_INVALID_LEVEL);
        return FALSE;
    }
    return packLayout(drivers, *layout, buffer, size, needed, returned);
}

bool driverInUse(const simwin::PrinterDriver& d) {
    if (!simwin::iequals(d.environment, current().system.localEnvironment)) return false;
    for (const simwin::Printer& p : current().spooler.printers)
        if (simwin::iequals(p.driver, d.name)) return true;
    return false;
}

// The driver's files must lie in the environment's driver directory, where the installer copied them, or
// among the core files of its version-3 folder (Windows's own drivers, installed from ntprint.inf, are made of
// those alone).
bool driverFilesPresent(const std::string& environment, const DRIVER_INFO_8A& info) {
    const std::string& dir = current().system.driverDirs.at(environment);
    auto present = [&](const std::string& name) {
        return current().files.exists(dir + "\\" + baseName(name)) || current().files.exists(dir + "\\3\\" + baseName(name));
    };
    bool ok = true;
    for (LPSTR file : {info.pDriverPath, info.pDataFile, info.pConfigFile, info.pHelpFile})
        ok = ok && (!file || !*file || present(file));
    for (const char* f = info.pDependentFiles; ok && f && *f; f += std::strlen(f) + 1) ok = present(f);
    if (!ok) SetLastError(ERROR_FILE_NOT_FOUND);
    return ok;
}

std::string textOf(LPCSTR s) { return s ? s : ""; }

// What a driver keeps of the record it was installed with: file names in its driver directory, and the
// texts of levels 3, 6 and 8 (zero in the record of a lower level).
void keepDriverInfo(simwin::PrinterDriver& d, const DRIVER_INFO_8A& info, const std::string& environment) {
    const std::string& dir = current().system.driverDirs.at(environment);
    // A file found only in the version-3 folder (a core file of Windows's) is kept as "3\name".
    auto kept = [&](LPCSTR path) {
        const std::string name = baseName(textOf(path));
        const bool core = !name.empty() && !current().files.exists(dir + "\\" + name) &&
                          current().files.exists(dir + "\\3\\" + name);
        return core ? "3\\" + name : name;
    };
    d.file = kept(info.pDriverPath);
    const std::string data = kept(info.pDataFile), config = kept(info.pConfigFile);
    d.data = simwin::iequals(data, d.file) ? "" : data;
    d.config = simwin::iequals(config, d.file) ? "" : config;
    d.help = kept(info.pHelpFile);
    d.dependents.clear();
    for (const char* f = info.pDependentFiles; f && *f; f += std::strlen(f) + 1) d.dependents.push_back(kept(f));
    d.monitor = textOf(info.pMonitorName);
    d.datatype = textOf(info.pDefaultDataType);
    d.manufacturer = textOf(info.pszMfgName);
    d.provider = textOf(info.pszProvider);
    d.processor = textOf(info.pszPrintProcessor);
    // A driver installed from the store's copy of its INF is kept by the published INF, as a machine names it.
    d.inf = textOf(info.pszInfPath);
    const std::string full = current().files.fullPath(d.inf);
    if (!full.empty() && simwin::driverstore::inStore(current(), full)) {
        const std::string published = simwin::driverstore::publishedOf(current(), full);
        if (!published.empty()) d.inf = published;
    }
    d.version = -1;
    if (info.cVersion != d.cVersion() && info.cVersion <= 4) d.version = static_cast<int>(info.cVersion);
}

// A driver's registry key as the spooler now has it (written, or gone with the driver).
void syncKey(const std::string& environment, const std::string& name, DWORD version) {
    simwin::syncDriverKey(current().registry, current().spooler, current().system, environment, name, version);
}

size_t driverRecordSize(DWORD level) {
    switch (level) {
    case 2: return sizeof(DRIVER_INFO_2A);
    case 3: return sizeof(DRIVER_INFO_3A);
    case 6: return sizeof(DRIVER_INFO_6A);
    case 8: return sizeof(DRIVER_INFO_8A);
    default: return 0;
    }
}

}  // namespace

BOOL WINAPI GetPrinterDriverDirectoryA(LPSTR server, LPSTR environment, DWORD level, LPBYTE buffer, DWORD size,
                                       LPDWORD needed) {
    if (!spoolerAnswers() || !checkServerAndLevel(server, level)) return FALSE;
    const auto& sys = current().system;
    std::string env = environment && *environment ? environment : sys.localEnvironment;
    for (auto& d : sys.driverDirs)
        if (simwin::iequals(d.first, env)) return directoryResult(d.second, buffer, size, needed);
    SetLastError(ERROR_INVALID_ENVIRONMENT);
    return FALSE;
}

BOOL WINAPI EnumPrinterDriversA(LPSTR server, LPSTR environment, DWORD level, LPBYTE buffer, DWORD size,
                                LPDWORD needed, LPDWORD returned) {
    if (!needed || !returned) {
        SetLastError(RPC_X_NULL_REF_POINTER);
        return FALSE;
    }
    *needed = 0;
    *returned = 0;
    if (!spoolerAnswers() || !checkServer(server)) return FALSE;
    if (faulted("EnumPrinterDriversA", std::string(environment ? environment : "(null)"), needed)) return FALSE;
    std::string env;
    if (!resolveEnvironment(environment, env, true)) return FALSE;
    if (!simwin::layoutOf(driverLevels(), level)) {
        SetLastError(ERROR_INVALID_LEVEL);
        return FALSE;
    }
    std::vector<const simwin::PrinterDriver*> chosen;
    for (const simwin::PrinterDriver& d : current().spooler.drivers)
        if (env.empty() || simwin::iequals(d.environment, env)) chosen.push_back(&d);
    return packDrivers(chosen, level, buffer, size, needed, returned);
}

BOOL WINAPI GetPrinterDriverA(HANDLE printer, LPSTR environment, DWORD level, LPBYTE buffer, DWORD size,
                              LPDWORD needed) {
    const simwin::Printer* p = printerOf(printer);
    if (!p) return FALSE;
    if (!needed) {
        SetLastError(RPC_X_NULL_REF_POINTER);
        return FALSE;
    }
    *needed = 0;
    if (!spoolerAnswers()) return FALSE;
    if (faulted("GetPrinterDriverA", "level=" + std::to_string(level), needed)) return FALSE;
    std::string env;
    if (!resolveEnvironment(environment, env)) return FALSE;
    if (!simwin::layoutOf(driverLevels(), level)) {
        SetLastError(ERROR_INVALID_LEVEL);
        return FALSE;
    }
    const simwin::PrinterDriver* d = current().spooler.findDriver(p->driver, env);
    if (!d) {
        SetLastError(ERROR_UNKNOWN_PRINTER_DRIVER);
        return FALSE;
    }
    return packDrivers({d}, level, buffer, size, needed, nullptr);
}

BOOL WINAPI DeletePrinterDriverA(LPSTR server, LPSTR environment, LPSTR driverName) {
    std::string env;
    if (!enterServerChange("DeletePrinterDriverA", server, environment, driverName, env)) return FALSE;
    auto& spooler = current().spooler;
    const simwin::PrinterDriver* d = spooler.findDriver(driverName, env);
    if (!d) {
        SetLastError(ERROR_UNKNOWN_PRINTER_DRIVER);
        return FALSE;
    }
    if (driverInUse(*d)) {
        SetLastError(ERROR_PRINTER_DRIVER_IN_USE);
        return FALSE;
    }
    const std::string name = d->name;
    const DWORD version = d->cVersion();
    eraseFrom(spooler.drivers, d);
    syncKey(env, name, version);
    return TRUE;
}

BOOL WINAPI AddPrinterDriverExA(LPSTR server, DWORD level, LPBYTE info, DWORD copyFlags) {
    if (!enterInstall("AddPrinterDriverExA", server, level, driverRecordSize(level) != 0, info)) return FALSE;
    (void)copyFlags;  // the files are in the driver directory already: nothing to copy
    DRIVER_INFO_8A d;
    std::memset(&d, 0, sizeof d);
    std::memcpy(&d, info, driverRecordSize(level));
    std::string env;
    if (!resolveEnvironment(d.pEnvironment, env)) return FALSE;
    if (!d.pName || !*d.pName || !d.pDriverPath || !*d.pDriverPath) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!driverFilesPresent(env, d)) return FALSE;
    simwin::PrinterDriver* existing = current().spooler.findDriver(d.pName, env);
    const DWORD before = existing ? existing->cVersion() : 0;
    simwin::PrinterDriver& kept = existing ? *existing : current().spooler.addDriver(d.pName, env);
    keepDriverInfo(kept, d, env);
    const std::string name = kept.name;
    const DWORD version = kept.cVersion();
    if (existing && before != version) syncKey(env, name, before);  // a replaced driver of another version
    syncKey(env, name, version);
    return TRUE;
}
