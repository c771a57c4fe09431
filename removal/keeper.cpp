// What the machine still needs: learning it, and the rules on spooler components, services and devices.
#include "removal/keeper.h"

#include <stdio.h>
#include <string.h>

#include "base/device_nodes.h"
#include "base/folder_paths.h"
#include "base/printer_environments.h"
#include "base/program_folder.h"
#include "removal/driver_names.h"
#include "removal/keeper_text.h"
#include "removal/published_inf.h"
#include "removal/spooler_lists.h"

namespace {

// Whether the spooler still knows a printer (a connection or a local one) of that name.
bool PrinterExists(const char* name) {
    HANDLE printer = NULL;
    if (!OpenPrinterA(const_cast<LPSTR>(name), &printer, NULL)) return GetLastError() != ERROR_INVALID_PRINTER_NAME;
    if (printer) ClosePrinter(printer);
    return true;
}

// The environments whose drivers a printer that stays may use: its own, and those its shared queue serves.

// The port monitors and services Windows installs: the machine's answer decides first (a monitor whose
// library Windows protects is Windows's), these names hold where it cannot tell.
const char* const kWindowsMonitors[] = {"Local Port", "Standard TCP/IP Port", "USB Monitor", "WSD Port", "LPR Port",
                                        "AppleTalk Printing Devices", "BJ Language Monitor", "PJL Language monitor",
                                        "Microsoft Shared Fax Monitor", "Appmon"};
const char* const kWindowsServices[] = {"Spooler", "RpcSs", "RpcEptMapper", "DcomLaunch", "PlugPlay", "usbprint",
                                        "LanmanServer", "LanmanWorkstation", "EventLog"};
const char kWinPrint[] = "WinPrint";

// The makers of the family's drivers: VESTRAL and its Pavane utility, by the first word of a provider or
// manufacturer ("Vestral", "VESTRAL Inc.").
const char* const kFamilyMakers[] = {"vestral", "pavane"};

// Another maker's name, or "" when the text names the family or nobody.
std::string OtherMakerIn(const std::string& text) {
    const std::string name = Trimmed(text);
    if (name.empty()) return std::string();
    const std::string first = Lower(name.substr(0, name.find_first_of(" ,.;")));
    for (const char* family : kFamilyMakers)
        if (first == family) return std::string();
    return name;
}

// The provider an INF file states in its [Version] section, a %key% looked up in its [Strings].
std::string InfProvider(const std::string& path) {
    char provider[256] = "";
    GetPrivateProfileStringA("Version", "Provider", "", provider, sizeof provider, path.c_str());
    const size_t n = strlen(provider);
    if (n > 2 && provider[0] == '%' && provider[n - 1] == '%') {
        const std::string key(provider + 1, n - 2);
        GetPrivateProfileStringA("Strings", key.c_str(), "", provider, sizeof provider, path.c_str());
    }
    return provider;
}

bool OneOf(const char* name, const char* const* names, size_t count) {
    for (size_t i = 0; i < count; ++i)
        if (_strcmpi(name, names[i]) == 0) return true;
    return false;
}

// The full path of a driver file as the spooler names it (a bare name lies in the environment's driver
// directory).
std::string DriverFilePath(const char* file, const char* environment) {
    if (!file || !file[0]) return std::string();
    if (strchr(file, '\\')) return file;
    char dir[MAX_PATH] = "";
    DWORD needed = 0;
    if (!GetPrinterDriverDirectoryA(NULL, const_cast<LPSTR>(environment), 1, reinterpret_cast<LPBYTE>(dir),
                                    sizeof dir, &needed))
        return file;
    return std::string(dir) + "\\" + file;
}

// The library of a print processor: the spooler keeps it in the processor's key of its environment.
std::string ProcessorLibrary(const char* environment, const char* processor) {
    char key[3 * MAX_PATH];
    snprintf(key, sizeof key, "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\%s\\Print Processors\\%s",
             environment, processor);
    HKEY handle = NULL;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &handle) != ERROR_SUCCESS) return std::string();
    char value[MAX_PATH] = "";
    DWORD size = sizeof value - 1, type = 0;
    LONG r = RegQueryValueExA(handle, "Driver", NULL, &type, reinterpret_cast<LPBYTE>(value), &size);
    RegCloseKey(handle);
    if (r != ERROR_SUCCESS || type != REG_SZ || !value[0]) return std::string();
    if (strchr(value, '\\')) return value;
    char dir[MAX_PATH] = "";
    DWORD needed = 0;
    if (!GetPrintProcessorDirectoryA(NULL, const_cast<LPSTR>(environment), 1, reinterpret_cast<LPBYTE>(dir), sizeof dir,
                                     &needed))
        return std::string();
    return std::string(dir) + "\\" + value;
}

// A printer's ports: the spooler writes several as a comma-separated list.
std::vector<std::string> Ports(const char* text) {
    std::vector<std::string> ports;
    std::string all = text ? text : "";
    for (size_t at = 0; at <= all.size();) {
        size_t comma = all.find(',', at);
        std::string port = Trimmed(all.substr(at, comma == std::string::npos ? std::string::npos : comma - at));
        if (!port.empty()) ports.push_back(Lower(port));
        if (comma == std::string::npos) break;
        at = comma + 1;
    }
    return ports;
}

}  // namespace

// --- learning the machine ---------------------------------------------------------------------------------

void CKeeper::Learn(const CUninstallDatabase& database, const COSVersion& osVersion, const CTextList& direct,
                    const CTextList& search) {
    os = osVersion;
    directDirs = &direct;
    searchDirs = &search;
    programFolder = ProgramFolder();
    programFolderTrusted = ProgramFolderIsTrusted();
    LearnFolders();
    LearnDrivers();
    LearnPorts();
    // The family's folders and listed files first: whether a service's program or a monitor's library is the
    // family's is asked of them below.
    LearnFamilyFiles(database);

    removedPrinters.clear();
    std::set<std::string> familyPrinters;
    bool choiceGone = false;  // a removal cut short took a chosen printer already: its ports are not known now
    for (const CPrinterEntry& p : database.printers) {
        if (!p.isForeign) familyPrinters.insert(Lower(p.printerName));
        // A chosen printer counts as this run's also when a removal cut short deleted it already (a resumed
        // removal): it is gone, and what was its own goes with it.
        const bool chosen = !p.isKept && !p.isForeign, gone = chosen && !PrinterExists(p.printerName.c_str());
        if (chosen && (!p.isDeleted || gone)) removedPrinters.insert(Lower(p.printerName));
        choiceGone = choiceGone || gone;
    }
    familyPrinterNames = familyPrinters;
    learnedOnce = false;
    familyMonitors.clear();
    LearnStayingPrinters();
    // A resumed removal no longer sees the ports of the printers it took: a listed monitor whose ports no
    // printer uses served them, as it did when the removal began.
    if (choiceGone) LearnMonitorsOfGonePrinters(database);

    // The components this run removes: what the lists name and no rule keeps.
    removedDrivers.clear();
    CTextList candidates;
    DriverCandidates(database, candidates);
    for (const char* name : candidates)
        if (!Driver(name)) removedDrivers.insert(Lower(name));
    // A driver this run removes names its language monitor: that monitor serves the family.
    for (const auto& driver : drivers)
        if (removedDrivers.count(driver.first) && !driver.second.monitor.empty()) familyMonitors.insert(driver.second.monitor);
    removedServices.clear(), removedMonitors.clear(), removedProcessors.clear();
    for (const char* name : database.removal.services)
        if (!Service(name)) removedServices.insert(Lower(name));
    for (const char* name : database.removal.monitors)
        if (!Monitor(name)) removedMonitors.insert(Lower(name));
    for (const char* name : database.removal.printProcessors)
        if (!PrintProcessor(name)) removedProcessors.insert(Lower(name));
    LearnFamilyInfs();
}

void CKeeper::LearnMonitorsOfGonePrinters(const CUninstallDatabase& database) {
    std::set<std::string> used;
    DWORD count = 0;
    std::vector<BYTE> list = FetchSpoolerList(
        [](LPBYTE buffer, DWORD size, LPDWORD needed, LPDWORD returned) {
            return EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, buffer, size, needed, returned);
        },
        count);
    for (DWORD i = 0; i < count; ++i)
        for (const std::string& port : Ports(reinterpret_cast<const PRINTER_INFO_2A*>(list.data())[i].pPortName)) used.insert(port);
    std::set<std::string> busy;
    for (const auto& port : portMonitors)
        if (used.count(port.first)) busy.insert(Lower(port.second));
    for (const char* name : database.removal.monitors)
        if (!busy.count(Lower(name))) familyMonitors.insert(Lower(name));
}

void CKeeper::LearnDrivers() {
    drivers.clear();
    windowsDrivers.clear();
    windowsDriverFiles.clear();
    driversOfUnknownInf.clear();
    otherMakersDrivers.clear();
    otherMakersFiles.clear();
    std::set<std::string> seen;  // environment and name: the local call repeats one of the named environments
    const char* environments[1 + kPrinterEnvironmentCount] = {NULL};
    for (size_t i = 0; i < kPrinterEnvironmentCount; ++i) environments[i + 1] = kPrinterEnvironments[i];
    for (const char* environment : environments) {
        // Level 8 names the INF a driver came from; a Windows without it answers level 3.
        DWORD level = 8, count = 0;
        const std::vector<BYTE> list = FetchDrivers(environment, level, count);
        for (DWORD i = 0; i < count; ++i) {
            const DRIVER_INFO_3A& d = DriverAt(list, level, i);
            if (!d.pName) continue;
            InstalledDriver driver;
            driver.environment = d.pEnvironment ? d.pEnvironment : (environment ? environment : "");
            if (!seen.insert(Lower(driver.environment) + "|" + Lower(d.pName)).second) continue;
            const char* env = driver.environment.c_str();
            for (const char* file : {d.pDriverPath, d.pDataFile, d.pConfigFile, d.pHelpFile}) {
                std::string path = DriverFilePath(file, env);
                if (!path.empty()) driver.files.push_back(path);
            }
            for (const char* dep = d.pDependentFiles; dep && *dep; dep += strlen(dep) + 1)
                driver.files.push_back(DriverFilePath(dep, env));
            if (level == 8) {
                const DRIVER_INFO_8A& d8 = reinterpret_cast<const DRIVER_INFO_8A*>(list.data())[i];
                driver.inf = d8.pszInfPath ? d8.pszInfPath : "";
                driver.provider = d8.pszProvider ? d8.pszProvider : "";
                driver.manufacturer = d8.pszMfgName ? d8.pszMfgName : "";
            }
            if (d.pMonitorName) driver.monitor = Lower(d.pMonitorName);
            std::string why;
            if (!driver.inf.empty() && PublishedInfName(driver.inf, infDir, driver.publishedInf, why))
                driver.publishedInf = Lower(driver.publishedInf);
            if (IsWindowsDriver(driver)) {
                windowsDrivers.insert(Lower(d.pName));
                for (const std::string& f : driver.files) windowsDriverFiles.insert(FullKey(f));
            } else if (!why.empty()) {
                driversOfUnknownInf[Lower(d.pName)] = why;
            }
            const std::string maker = OtherMaker(driver);
            if (!maker.empty() && !windowsDrivers.count(Lower(d.pName))) {
                otherMakersDrivers[Lower(d.pName)] = maker;
                for (const std::string& f : driver.files) otherMakersFiles.insert(FullKey(f));
            }
            drivers.emplace(Lower(d.pName), driver);
        }
    }
}

std::string CKeeper::OtherMaker(const InstalledDriver& driver) const {
    std::string maker = OtherMakerIn(driver.provider);
    if (!maker.empty()) return "its provider is " + maker;
    maker = OtherMakerIn(driver.manufacturer);
    if (!maker.empty()) return "its manufacturer is " + maker;
    // The INF it came from: the store's copy level 8 names, or the one published in the INF directory.
    std::string inf = driver.inf;
    if ((inf.empty() || GetFileAttributesA(inf.c_str()) == INVALID_FILE_ATTRIBUTES) && !driver.publishedInf.empty())
        inf = infDir + "\\" + driver.publishedInf;
    maker = inf.empty() ? std::string() : OtherMakerIn(InfProvider(inf));
    return maker.empty() ? std::string() : "its INF " + FileNameOf(inf) + " is " + maker + "'s";
}

bool CKeeper::IsWindowsDriver(const InstalledDriver& driver) const {
    if (_strcmpi(driver.provider.c_str(), "Microsoft") == 0) return true;
    if (driver.publishedInf.empty()) return false;
    // An INF of Windows is published under its own name, a third-party one as an OEM INF file (oemN.inf).
    return driver.publishedInf.compare(0, 3, "oem") != 0;
}

void CKeeper::LearnPorts() {
    portMonitors.clear();
    monitorLibraries.clear();
    DWORD count = 0;
    std::vector<BYTE> ports = FetchPorts(count);
    for (DWORD i = 0; i < count; ++i) {
        const PORT_INFO_2A& p = reinterpret_cast<const PORT_INFO_2A*>(ports.data())[i];
        if (p.pPortName && p.pMonitorName) portMonitors[Lower(p.pPortName)] = p.pMonitorName;
    }
    std::vector<BYTE> monitors = FetchMonitors(count);
    for (DWORD i = 0; i < count; ++i) {
        const MONITOR_INFO_2A& m = reinterpret_cast<const MONITOR_INFO_2A*>(monitors.data())[i];
        if (!m.pName || !m.pDLLName || !m.pDLLName[0]) continue;
        monitorLibraries[Lower(m.pName)] = strchr(m.pDLLName, '\\') ? m.pDLLName : systemDir + "\\" + m.pDLLName;
    }
}

void CKeeper::LearnStayingPrinters() {
    std::vector<StayingPrinter> staying;
    DWORD count = 0;
    std::vector<BYTE> list = FetchSpoolerList(
        [](LPBYTE buffer, DWORD size, LPDWORD needed, LPDWORD returned) {
            return EnumPrintersA(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, NULL, 2, buffer, size, needed, returned);
        },
        count);
    const bool afterPrinters = learnedOnce;
    for (DWORD i = 0; i < count; ++i) {
        const PRINTER_INFO_2A& p = reinterpret_cast<const PRINTER_INFO_2A*>(list.data())[i];
        if (!p.pPrinterName) continue;
        // Before the printers' stage every printer but the chosen ones stays; after it, every printer that
        // is still installed (one that could not be deleted, or waits for its jobs).
        if (!afterPrinters && removedPrinters.count(Lower(p.pPrinterName))) {
            for (const std::string& port : Ports(p.pPortName)) {
                auto monitor = portMonitors.find(port);
                if (monitor != portMonitors.end()) familyMonitors.insert(Lower(monitor->second));
            }
            continue;
        }
        StayingPrinter s;
        s.name = p.pPrinterName;
        s.driver = p.pDriverName ? p.pDriverName : "";
        s.processor = p.pPrintProcessor ? p.pPrintProcessor : "";
        s.ports = Ports(p.pPortName);
        staying.push_back(s);
    }
    learnedOnce = true;
    LearnStaying(staying);
}

void CKeeper::LearnStaying(const std::vector<StayingPrinter>& printers) {
    stayingPrinters.clear(), stayingDrivers.clear(), stayingFiles.clear(), stayingInfs.clear();
    stayingMonitors.clear(), stayingProcessors.clear(), processorUsers.clear(), stayingMakers.clear();
    std::set<std::string> ports;
    for (const StayingPrinter& p : printers) {
        stayingPrinters.insert(Lower(p.name));
        LearnMakers(p);
        const std::string driver = Lower(p.driver);
        if (!driver.empty() && stayingDrivers.insert(driver).second) {
            // The driver in every environment: its copy for another environment serves the clients of a
            // shared queue.
            auto range = drivers.equal_range(driver);
            for (auto it = range.first; it != range.second; ++it) {
                for (const std::string& f : it->second.files) stayingFiles.insert(FullKey(f));
                if (!it->second.publishedInf.empty()) stayingInfs.insert(it->second.publishedInf);
            }
            char inf[MAX_PATH] = "";
            FindOemInf(inf, p.driver.c_str());
            if (inf[0]) stayingInfs.insert(Lower(inf));
        }
        for (const std::string& port : p.ports) {
            ports.insert(port);
            auto monitor = portMonitors.find(port);
            if (monitor == portMonitors.end()) continue;
            stayingMonitors.insert(Lower(monitor->second));
            auto library = monitorLibraries.find(Lower(monitor->second));
            if (library != monitorLibraries.end()) stayingFiles.insert(FullKey(library->second));
        }
        if (!p.processor.empty()) {
            // Only another maker's printer holds its processor: a printer of the family that stays is switched
            // to WinPrint before the family's processor goes.
            if (!familyPrinterNames.count(Lower(p.name))) {
                processorUsers[Lower(p.processor)].insert(p.name);
                stayingProcessors.insert(Lower(p.processor));
                for (const char* environment : kPrinterEnvironments) {
                    std::string library = ProcessorLibrary(environment, p.processor.c_str());
                    if (!library.empty()) stayingFiles.insert(FullKey(library));
                }
            }
        }
    }
    LearnDevices(ports);
}

void CKeeper::LearnMakers(const StayingPrinter& printer) {
    // A printer of the family that stays keeps the family's own keys by the lists; Windows's drivers have no
    // maker's key of their own (Windows's keys have their rules).
    const std::string driver = Lower(printer.driver);
    if (familyPrinterNames.count(Lower(printer.name)) || driver.empty() || windowsDrivers.count(driver)) return;
    auto range = drivers.equal_range(driver);
    for (auto it = range.first; it != range.second; ++it)
        for (const std::string& name : {Trimmed(it->second.provider), Trimmed(it->second.manufacturer)}) {
            // A maker's name names one key and one file: none that is a path or a name Windows reads otherwise.
            if (name.empty() || name.find_first_of("\\/:*?\"<>|") != std::string::npos || name == "." || name == "..")
                continue;
            if (stayingMakers.count(Lower(name))) continue;
            stayingMakers[Lower(name)] = name + ", the maker of the driver of " + printer.name + ", a printer that stays";
            if (!windowsDir.empty()) stayingFiles.insert(FullKey(windowsDir + "\\" + name + ".ini"));
        }
}

void CKeeper::LearnDevices(const std::set<std::string>& stayingPorts) {
    stayingDevices.clear();
    if (stayingPorts.empty() || !os.IsWinNT()) return;
    CDeviceNodes nodes;
    SP_DEVINFO_DATA device;
    for (DWORD index = 0; nodes.At(index, device); ++index) {
        // A printer's USB device node names its port in "Device Parameters" ("Port Name" = USB001).
        HKEY key = SetupDiOpenDevRegKey(nodes.Set(), &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE) continue;
        char port[MAX_PATH] = "";
        DWORD size = sizeof port - 1, type = 0;
        LONG r = RegQueryValueExA(key, "Port Name", NULL, &type, reinterpret_cast<LPBYTE>(port), &size);
        RegCloseKey(key);
        if (r != ERROR_SUCCESS || !stayingPorts.count(Lower(port))) continue;
        const std::string instance = nodes.InstanceId(device);
        if (!instance.empty()) stayingDevices.insert(Lower(instance.c_str()));
        // Its parent (the USB device the printing interface belongs to) stays with it.
        DEVINST parent = 0;
        char parentId[MAX_DEVICE_ID_LEN + 1] = "";
        if (CM_Get_Parent(&parent, device.DevInst, 0) == CR_SUCCESS &&
            CM_Get_Device_IDA(parent, parentId, sizeof parentId, 0) == CR_SUCCESS)
            stayingDevices.insert(Lower(parentId));
    }
}

void CKeeper::NoteRemovedDriver(const char* name) {
    if (name && name[0]) removedDrivers.insert(Lower(name));
}

void CKeeper::NoteUninstalledInf(const char* infFileName) {
    if (infFileName && infFileName[0]) familyInfs.insert(Lower(BaseName(infFileName)));
}

// --- components -------------------------------------------------------------------------------------------

CRefusal CKeeper::Printer(const char* name) const {
    if (strpbrk(name, "\\/")) return CRefusal::By("path-form", "a printer name with a backslash names no key of its own");
    return CRefusal();
}

CRefusal CKeeper::Driver(const char* name) const {
    const std::string key = Lower(name);
    if (windowsDrivers.count(key)) return CRefusal::By("windows-printing", "a driver of Windows");
    auto unknown = driversOfUnknownInf.find(key);
    if (unknown != driversOfUnknownInf.end())
        return CRefusal::By("windows-printing", "whose driver it is cannot be told: " + unknown->second);
    if (stayingDrivers.count(key)) return CRefusal::By("staying-printer", "a printer that stays uses it");
    auto maker = otherMakersDrivers.find(key);
    if (maker != otherMakersDrivers.end()) return CRefusal::By("windows-printing", "another maker's driver: " + maker->second);
    return CRefusal();
}

CRefusal CKeeper::OemInf(const char* infFileName) const {
    const std::string name = Lower(FileNameOf(infFileName));
    if (name.compare(0, 3, "oem") != 0) return CRefusal::By("windows-file", "an INF file of Windows");
    if (stayingInfs.count(name)) return CRefusal::By("staying-printer", "the driver of a printer that stays came from it");
    return CRefusal();
}

CRefusal CKeeper::Monitor(const char* name) const {
    // A name with a backslash would make the monitor's key another one (Monitors\NAME); a slash is a character
    // of a monitor's name ("Standard TCP/IP Port").
    if (strchr(name, '\\')) return CRefusal::By("path-form", "a monitor name with a backslash names no key of its own");
    auto library = monitorLibraries.find(Lower(name));
    if (OneOf(name, kWindowsMonitors, sizeof kWindowsMonitors / sizeof kWindowsMonitors[0]) ||
        (library != monitorLibraries.end() && IsProtectedFile(library->second)))
        return CRefusal::By("windows-printing", "a port monitor of Windows");
    if (stayingMonitors.count(Lower(name))) return CRefusal::By("staying-printer", "the port of a printer that stays uses it");
    // A monitor of the family serves a printer or a driver this run removes, or has its library where the
    // family's files are; a monitor without a library, or whose library is nowhere, names nothing else.
    if (library != monitorLibraries.end() && !familyMonitors.count(Lower(name)) && !IsFamilyPath(library->second.c_str()) &&
        GetFileAttributesA(library->second.c_str()) != INVALID_FILE_ATTRIBUTES)
        return CRefusal::By("points-elsewhere", "its library " + library->second + " is not the family's");
    return CRefusal();
}

CRefusal CKeeper::PrintProcessor(const char* name) const {
    if (_strcmpi(name, kWinPrint) == 0) return CRefusal::By("windows-printing", "the standard print processor of Windows");
    auto users = processorUsers.find(Lower(name));
    if (users != processorUsers.end() && !users->second.empty())
        return CRefusal::By("staying-printer", "another maker's printer that stays uses it (" + *users->second.begin() + ")");
    return CRefusal();
}

bool CKeeper::ProcessorUsedByOtherMaker(const char* processor, const char* printer) const {
    auto users = processorUsers.find(Lower(processor));
    return users != processorUsers.end() && users->second.count(printer);
}

CRefusal CKeeper::Service(const char* name) const {
    if (OneOf(name, kWindowsServices, sizeof kWindowsServices / sizeof kWindowsServices[0]))
        return CRefusal::By("service", "Windows needs the service");
    if (!os.IsWinNT()) return CRefusal();
    SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_CONNECT);
    if (!manager) return CRefusal();
    SC_HANDLE service = OpenServiceA(manager, name, SERVICE_QUERY_CONFIG);
    CRefusal refusal;
    if (service) {
        DWORD needed = 0;
        QueryServiceConfigA(service, NULL, 0, &needed);
        std::vector<BYTE> buffer(needed ? needed : 1, 0);
        if (needed && QueryServiceConfigA(service, reinterpret_cast<LPQUERY_SERVICE_CONFIGA>(buffer.data()), needed, &needed)) {
            const QUERY_SERVICE_CONFIGA& config = *reinterpret_cast<const QUERY_SERVICE_CONFIGA*>(buffer.data());
            const std::string binary = config.lpBinaryPathName ? config.lpBinaryPathName : "";
            const std::string program = ProgramOf(binary, windowsDir);
            if (config.dwStartType == SERVICE_BOOT_START || config.dwStartType == SERVICE_SYSTEM_START)
                refusal = CRefusal::By("service", "it starts with Windows");
            else if ((config.dwServiceType & SERVICE_WIN32_SHARE_PROCESS) || _strcmpi(FileNameOf(program).c_str(), "svchost.exe") == 0)
                refusal = CRefusal::By("service", "it runs in a process Windows shares between services");
            else if (!program.empty() && IsProtectedFile(FullPathOf(program)))
                refusal = CRefusal::By("service", "Windows protects its program " + program);
            else if (!IsFamilyPath(program.c_str()))
                refusal = CRefusal::By("service", program.empty() ? std::string("it names no program of the family")
                                                                  : "its program " + program + " is not the family's");
        }
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    return refusal;
}

CRefusal CKeeper::DeviceNode(const char* instanceId) const {
    if (stayingDevices.count(Lower(instanceId))) return CRefusal::By("staying-printer", "the device of a printer that stays");
    return CRefusal();
}
