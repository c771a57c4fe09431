// The capture of a machine for the simulator: each part of machine.ini read from the machine with the calls
// the tool itself makes, then written out with the registry and the files.
#include "writers/capture_writer.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "base/device_nodes.h"
#include "base/library_loading.h"
#include "base/os_version.h"
#include "base/path_parts.h"
#include "base/printer_environments.h"
#include "base/reg_text.h"
#include "base/whole_file.h"
#include "base/text_lines.h"
#include "removal/file_remover.h"
#include "removal/ini_remover.h"
#include "removal/keeper_text.h"
#include "removal/registry_remover.h"
#include "removal/shortcut_remover.h"
#include "removal/spooler_lists.h"

namespace {

// The environments the tool asks for drivers and directories in.
// The shell folders the tool resolves (the safety rules' list).
const int kShellFolders[] = {0x00, 0x02, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0b, 0x0d, 0x0e, 0x10, 0x13, 0x14,
                             0x15, 0x16, 0x17, 0x18, 0x19, 0x1a, 0x1b, 0x1c, 0x1d, 0x1e, 0x1f, 0x20, 0x21,
                             0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2a, 0x2b, 0x2c, 0x2d, 0x2e,
                             0x2f, 0x30};
// Keys the tool reads whatever the scripts say: the family's, the start-up entries, the profile mapping of
// the printers, the spooler's (printers, drivers, monitors, processors).
struct ReadKey {
    HKEY root;
    const char* subKey;
    int depth;
};
const ReadKey kReadKeys[] = {
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\VESTRAL", CCaptureWriter::kRegistryDepth},
    {HKEY_CURRENT_USER, "SOFTWARE\\VESTRAL", CCaptureWriter::kRegistryDepth},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", 0},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce", 0},
    {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", 0},
    {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Devices", 0},
    {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows NT\\CurrentVersion\\PrinterPorts", 0},
    {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Print", CCaptureWriter::kRegistryDepth},
};
const char kEnumKey[] = "SYSTEM\\CurrentControlSet\\Enum\\";
const char kServicesKey[] = "SYSTEM\\CurrentControlSet\\Services\\";
const char kProcessorsKey[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\%s\\Print Processors\\%s";

typedef BOOL(WINAPI* SfcIsFileProtectedFn)(HANDLE, LPCWSTR);

std::string Hex(DWORD value) {
    char text[16];
    snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(value));
    return text;
}

std::string Text(const char* text) { return text ? text : ""; }

std::string WithoutBackslash(std::string path) {
    while (path.size() > 3 && path.back() == '\\') path.pop_back();
    return path;
}

bool IsDirectory(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The attributes a [file] section keeps, as its words.
std::string AttributeWords(DWORD attributes) {
    static const struct {
        DWORD bit;
        const char* word;
    } kWords[] = {{FILE_ATTRIBUTE_READONLY, "readonly"}, {FILE_ATTRIBUTE_HIDDEN, "hidden"},
                  {FILE_ATTRIBUTE_SYSTEM, "system"},     {FILE_ATTRIBUTE_ARCHIVE, "archive"},
                  {FILE_ATTRIBUTE_TEMPORARY, "temporary"}, {FILE_ATTRIBUTE_OFFLINE, "offline"},
                  {FILE_ATTRIBUTE_NOT_CONTENT_INDEXED, "notindexed"}};
    std::string words;
    for (const auto& w : kWords)
        if (attributes & w.bit) words += (words.empty() ? "" : ",") + std::string(w.word);
    return words;
}

const char* RootName(HKEY root) {
    if (root == HKEY_LOCAL_MACHINE) return "HKEY_LOCAL_MACHINE";
    if (root == HKEY_CURRENT_USER) return "HKEY_CURRENT_USER";
    if (root == HKEY_CLASSES_ROOT) return "HKEY_CLASSES_ROOT";
    if (root == HKEY_USERS) return "HKEY_USERS";
    return "";
}

// The whole text of a file; false when it cannot be read.

// Makes every folder of a path; false with the error of the one that could not be made.
bool MakeFolders(const std::string& folder, DWORD& error) {
    for (size_t at = 3; at <= folder.size(); ++at) {
        if (at < folder.size() && folder[at] != '\\') continue;
        const std::string part = folder.substr(0, at);
        if (IsDirectory(part)) continue;
        if (!CreateDirectoryA(part.c_str(), NULL) && GetLastError() != ERROR_ALREADY_EXISTS) {
            error = GetLastError();
            return false;
        }
    }
    return true;
}

// Where a file of drive X: goes inside the capture: FOLDER\drive\X\rest.
std::string DrivePath(const std::string& folder, const std::string& path) {
    return folder + "\\drive\\" + static_cast<char>(toupper(static_cast<unsigned char>(path[0]))) + path.substr(2);
}

// The default device line of win.ini's [windows] set to device in a win.ini text (added when missing).
std::string WithDeviceLine(const std::string& text, const std::string& device) {
    std::string out, line;
    bool inWindows = false, written = false;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        end = end == std::string::npos ? text.size() : end + 1;
        line = text.substr(at, end - at);
        at = end;
        const std::string bare = Trimmed(line.substr(0, line.find_first_of("\r\n")));
        if (!bare.empty() && bare[0] == '[') {
            if (inWindows && !written) out += "device=" + device + "\r\n", written = true;
            inWindows = _strnicmp(bare.c_str(), "[windows]", 9) == 0;
        } else if (inWindows && _strnicmp(bare.c_str(), "device", 6) == 0 &&
                   Trimmed(bare.substr(6, bare.find('=') - 6)).empty() && bare.find('=') != std::string::npos) {
            if (!written) out += "device=" + device + "\r\n", written = true;
            continue;
        }
        out += line;
    }
    if (!written) {
        if (!inWindows) out += (out.empty() || out.back() == '\n' ? "" : "\r\n") + std::string("[windows]\r\n");
        out += "device=" + device + "\r\n";
    }
    return out;
}

}  // namespace

CCaptureWriter::~CCaptureWriter() {
    if (sfcLibrary) FreeLibrary(sfcLibrary);
}

bool CCaptureWriter::Write(const std::string& folder, std::string& why) {
    report.clear();
    winNT = COSVersion().IsWinNT();
    char text[MAX_PATH] = "";
    windowsDir = GetWindowsDirectoryA(text, sizeof text) ? WithoutBackslash(text) : std::string();
    systemDir = GetSystemDirectoryA(text, sizeof text) ? WithoutBackslash(text) : std::string();
    programPath = GetModuleFileNameA(NULL, text, sizeof text) ? std::string(text) : std::string();
    if (winNT) {
        sfcLibrary = LoadSystemLibrary("sfc.dll");
        if (sfcLibrary) sfcIsFileProtected = reinterpret_cast<void*>(GetProcAddress(sfcLibrary, "SfcIsFileProtected"));
    }
    Note("korun04 capture of " + programPath);

    LearnScripts();
    CaptureSystem();
    CaptureLayout();
    CaptureSpooler();
    CapturePrinters();
    CaptureDrivers();
    CaptureMonitorsAndPorts();
    CaptureProcessors();
    CaptureServices();
    CaptureDevices();
    CaptureRegistry();
    CaptureIniFiles();
    CaptureOemInfs();
    CaptureNamedFiles();
    Note(registryCut ? "registry: cut at " + std::to_string(kRegistryKeys) + " keys; the keys after the cut are missing"
                     : "registry: " + Counted(registryCount, "key") + ", every subtree below " +
                           std::to_string(kRegistryDepth) + " levels (deeper keys are not captured)");
    Note(filesCut ? "files: cut at " + std::to_string(kFiles) + " files; the files after the cut are missing"
                  : "files: " + std::to_string(files.size()) + " (text only of scripts, INI and INF files)");
    return WriteOut(folder, why);
}

// --- what the scripts name --------------------------------------------------------------------------------

void CCaptureWriter::LearnScripts() {
    database.FindAllScripts(scripts);
    for (const char* path : scripts) {
        database.ParseScript(path);
        AddFile(path, true);
        Note("script: " + std::string(path));
    }
    for (const CUninstallProfile& profile : database.profiles) named.MergeProfile(profile);
    // The default script beside the program: its "Strings" name the family's USB device.
    CPathParts where;
    where.Resolve(MODULEDIR);
    const std::string path = std::string(where.path) + "Kunz__04.unm";
    if (IsFile(path)) AddFile(path, true);
}

// --- machine.ini ------------------------------------------------------------------------------------------

void CCaptureWriter::Section(const std::string& name) { ini += (ini.empty() ? "[" : "\n[") + name + "]\n"; }

void CCaptureWriter::Key(const std::string& key, const std::string& value) { ini += key + " = " + value + "\n"; }

void CCaptureWriter::CaptureSystem() {
    COSVersion os;
    Section("system");
    Key("platform", os.IsWinNT() ? "nt" : os.IsWin9x() ? "9x" : "win32s");
    Key("version", std::to_string(os.versionInfo.dwMajorVersion) + "." + std::to_string(os.versionInfo.dwMinorVersion));
    Key("build", std::to_string(os.versionInfo.dwBuildNumber & 0xFFFF));
    char computer[MAX_COMPUTERNAME_LENGTH + 1] = "";
    DWORD size = sizeof computer;
    if (!os.IsWin32s() && GetComputerNameA(computer, &size)) Key("computer", computer);
    Key("admin", os.IsAdministrator() ? "yes" : "no");
    Key("program", programPath);
    AddFile(programPath);
}

void CCaptureWriter::CaptureLayout() {
    Section("layout");
    Key("windows", windowsDir);
    Key("system", systemDir);
    char text[MAX_PATH] = "";
    const DWORD n = GetTempPathA(sizeof text, text);
    if (n > 0 && n < sizeof text) Key("temp", text);
    // The colour directory as mscms.dll names it; without the library the tool falls back to the system
    // directory's "Color" (and makes it): empty here, so that the simulator falls back the same way.
    std::string color;
    if (!COSVersion().IsWin32s()) {
        if (HMODULE mscms = LoadSystemLibrary("mscms.dll")) {
            typedef BOOL(WINAPI * GetColorDirectoryFn)(LPCSTR, LPSTR, PDWORD);
            GetColorDirectoryFn get = reinterpret_cast<GetColorDirectoryFn>(
                reinterpret_cast<void (*)()>(GetProcAddress(mscms, "GetColorDirectoryA")));
            char dir[MAX_PATH] = "";
            DWORD size = sizeof dir;
            if (get && get(NULL, dir, &size)) color = WithoutBackslash(dir);
            FreeLibrary(mscms);
        }
    }
    Key("color", color);
    colorDir = (color.empty() ? systemDir + "\\Color" : color) + "\\";
    CPathParts local;
    local.Resolve(PRINTDRIVERDIR);
    const std::string localDir = WithoutBackslash(local.DirectoryPath());
    std::string localEnvironment;
    for (const char* environment : kPrinterEnvironments) {
        char dir[MAX_PATH] = "";
        DWORD needed = 0;
        if (!GetPrinterDriverDirectoryA(NULL, const_cast<LPSTR>(environment), 1, reinterpret_cast<LPBYTE>(dir),
                                        sizeof dir, &needed))
            continue;
        Key(std::string("driver.") + environment, WithoutBackslash(dir));
        if (localEnvironment.empty() && _strcmpi(WithoutBackslash(dir).c_str(), localDir.c_str()) == 0)
            localEnvironment = environment;
    }
    if (!localEnvironment.empty()) Key("environment", localEnvironment);
    CPathParts processor;
    processor.Resolve(PRINTPROCDIR);
    Key("processor", WithoutBackslash(processor.DirectoryPath()));
    for (int csidl : kShellFolders) {
        char folder[MAX_PATH] = "";
        ResolveShellFolder(csidl, folder);
        if (!folder[0]) continue;
        char key[16];
        snprintf(key, sizeof key, "shell.0x%02x", csidl);
        Key(key, WithoutBackslash(folder));
    }
    // Windows's own files are not added by the simulator: the capture lists every file the tool meets.
    Key("standard", "no");
}

void CCaptureWriter::CaptureSpooler() {
    DWORD needed = 0, returned = 0;
    SetLastError(0);
    EnumPrintersA(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, NULL, 2, NULL, 0, &needed, &returned);
    const bool answers = needed || GetLastError() != RPC_S_SERVER_UNAVAILABLE;
    Section("spooler");
    Key("state", answers ? "running" : "stopped");
    if (!answers) Note("spooler: it does not answer (1722): no printers, drivers, ports or monitors captured");
}

void CCaptureWriter::CapturePrinters() {
    DWORD count = 0;
    std::vector<BYTE> list = FetchSpoolerList(
        [](LPBYTE buffer, DWORD size, LPDWORD needed, LPDWORD returned) {
            return EnumPrintersA(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, NULL, 2, buffer, size, needed, returned);
        },
        count);
    for (DWORD i = 0; i < count; ++i) {
        const PRINTER_INFO_2A& p = reinterpret_cast<const PRINTER_INFO_2A*>(list.data())[i];
        if (p.pPrinterName) PrinterSection(p);
    }
    char device[256] = "";
    GetProfileStringA("windows", "device", "", device, sizeof device);
    Note("printers: " + std::to_string(count) + (device[0] ? std::string(", the default device ") + device : ""));
}

void CCaptureWriter::PrinterSection(const PRINTER_INFO_2A& p) {
    Section("printer");
    Key("name", p.pPrinterName);
    Key("driver", Text(p.pDriverName));
    Key("port", Text(p.pPortName));
    if (p.pServerName && p.pServerName[0] && (p.Attributes & PRINTER_ATTRIBUTE_NETWORK)) Key("server", p.pServerName);
    Key("attributes", Hex(p.Attributes & ~static_cast<DWORD>(PRINTER_ATTRIBUTE_DEFAULT)));
    Key("default", (p.Attributes & PRINTER_ATTRIBUTE_DEFAULT) ? "yes" : "no");
    for (const auto& field : {std::make_pair("share", p.pShareName), std::make_pair("comment", p.pComment),
                              std::make_pair("location", p.pLocation), std::make_pair("processor", p.pPrintProcessor),
                              std::make_pair("datatype", p.pDatatype), std::make_pair("separator", p.pSepFile),
                              std::make_pair("parameters", p.pParameters)})
        if (field.second && field.second[0]) Key(field.first, field.second);
    if (p.Priority >= 1 && p.Priority <= 99) Key("priority", std::to_string(p.Priority));
    if (p.DefaultPriority <= 99) Key("defaultpriority", std::to_string(p.DefaultPriority));
    Key("jobs", std::to_string(p.cJobs));
    HANDLE printer = NULL;
    PRINTER_DEFAULTSA defaults = {NULL, NULL, PRINTER_READ};
    if (!OpenPrinterA(p.pPrinterName, &printer, &defaults) || !printer) {
        Key("openable", "no");
        return;
    }
    // The printer data the tool reads: the family's mark, the Pavane name, the class registration.
    for (const char* name : {"VestralDriver04", "PavPrinter", "UniqueID"}) PrinterData(printer, name);
    ClosePrinter(printer);
}

// One printer-data value: text as data.NAME, another type as value.NAME = TYPE:bytes.
void CCaptureWriter::PrinterData(HANDLE printer, const char* name) {
    BYTE data[1024];
    DWORD type = 0, size = 0;
    if (GetPrinterDataA(printer, const_cast<LPSTR>(name), &type, data, sizeof data - 1, &size) != ERROR_SUCCESS) return;
    if (type == REG_SZ && size > 0 && data[size - 1] == 0 && !memchr(data, '\n', size) &&
        strlen(reinterpret_cast<char*>(data)) + 1 == size) {
        Key(std::string("data.") + name, reinterpret_cast<char*>(data));
        return;
    }
    std::string bytes = std::to_string(type) + ":";
    for (DWORD b = 0; b < size; ++b) {
        char hex[4];
        snprintf(hex, sizeof hex, b ? ",%02x" : "%02x", data[b]);
        bytes += hex;
    }
    Key(std::string("value.") + name, bytes);
}

void CCaptureWriter::CaptureDrivers() {
    size_t total = 0;
    for (const char* environment : kPrinterEnvironments) {
        DWORD level = 8, count = 0;
        const std::vector<BYTE> list = FetchDrivers(environment, level, count);
        for (DWORD i = 0; i < count; ++i) {
            const DRIVER_INFO_3A& d = DriverAt(list, level, i);
            if (!d.pName) continue;
            ++total;
            Section("driver");
            Key("name", d.pName);
            Key("environment", environment);
            if (d.cVersion <= 4) Key("version", std::to_string(d.cVersion));
            Key("file", Text(d.pDriverPath));
            Key("data", Text(d.pDataFile));
            Key("config", Text(d.pConfigFile));
            for (const char* file : {d.pDriverPath, d.pDataFile, d.pConfigFile, d.pHelpFile})
                if (file && strchr(file, '\\')) AddFile(file);
            if (d.pHelpFile) Key("help", d.pHelpFile);
            for (const char* dep = d.pDependentFiles; dep && *dep; dep += strlen(dep) + 1) {
                Key("dependent", dep);
                if (strchr(dep, '\\')) AddFile(dep);
            }
            if (d.pMonitorName && d.pMonitorName[0]) Key("monitor", d.pMonitorName);
            if (d.pDefaultDataType && d.pDefaultDataType[0]) Key("datatype", d.pDefaultDataType);
            if (level != 8) continue;
            const DRIVER_INFO_8A& d8 = reinterpret_cast<const DRIVER_INFO_8A*>(list.data())[i];
            if (d8.pszMfgName) Key("manufacturer", d8.pszMfgName);
            if (d8.pszProvider) Key("provider", d8.pszProvider);
            if (d8.pszPrintProcessor) Key("processor", d8.pszPrintProcessor);
            if (!d8.pszInfPath) continue;
            Key("inf", d8.pszInfPath);
            // Windows 8 and later name the driver store's copy: its text says which oemN.inf it was published as.
            if (strchr(d8.pszInfPath, '\\')) AddFile(d8.pszInfPath, true);
        }
    }
    Note("drivers: " + std::to_string(total) + " over the environments");
}

void CCaptureWriter::CaptureMonitorsAndPorts() {
    DWORD count = 0;
    std::vector<BYTE> monitors = FetchSpoolerList(
        [](LPBYTE buffer, DWORD size, LPDWORD needed, LPDWORD returned) {
            return EnumMonitorsA(NULL, 2, buffer, size, needed, returned);
        },
        count);
    std::set<std::string> names;
    for (DWORD i = 0; i < count; ++i) {
        const MONITOR_INFO_2A& m = reinterpret_cast<const MONITOR_INFO_2A*>(monitors.data())[i];
        if (!m.pName) continue;
        names.insert(Lower(m.pName));
        Section("monitor");
        Key("name", m.pName);
        if (m.pEnvironment && m.pEnvironment[0]) Key("environment", m.pEnvironment);
        Key("dll", Text(m.pDLLName));
        if (m.pDLLName && m.pDLLName[0])
            AddFile(strchr(m.pDLLName, '\\') ? std::string(m.pDLLName) : systemDir + "\\" + m.pDLLName);
    }
    DWORD ports = 0;
    std::vector<BYTE> list = FetchSpoolerList(
        [](LPBYTE buffer, DWORD size, LPDWORD needed, LPDWORD returned) {
            return EnumPortsA(NULL, 2, buffer, size, needed, returned);
        },
        ports);
    for (DWORD i = 0; i < ports; ++i) {
        const PORT_INFO_2A& p = reinterpret_cast<const PORT_INFO_2A*>(list.data())[i];
        if (!p.pPortName || !p.pMonitorName) continue;
        Section("port");
        Key("name", p.pPortName);
        // A port of a monitor the monitors' list does not name (Wine lists "Local Port" but names its ports'
        // monitor in the user's language) is written as a port of "Local Port", the format's default.
        if (names.count(Lower(p.pMonitorName)))
            Key("monitor", p.pMonitorName);
        else
            Note("port " + std::string(p.pPortName) + ": its monitor \"" + p.pMonitorName +
                 "\" is not among the monitors; written as a port of \"Local Port\"");
        if (p.pDescription) Key("description", p.pDescription);
    }
    Note("monitors: " + std::to_string(count) + ", ports: " + std::to_string(ports));
}

void CCaptureWriter::CaptureProcessors() {
    for (const char* environment : kPrinterEnvironments) {
        DWORD count = 0;
        std::vector<BYTE> list = FetchSpoolerList(
            [environment](LPBYTE buffer, DWORD size, LPDWORD needed, LPDWORD returned) {
                return EnumPrintProcessorsA(NULL, const_cast<LPSTR>(environment), 1, buffer, size, needed, returned);
            },
            count);
        for (DWORD i = 0; i < count; ++i) {
            const PRINTPROCESSOR_INFO_1A& p = reinterpret_cast<const PRINTPROCESSOR_INFO_1A*>(list.data())[i];
            if (!p.pName) continue;
            Section("processor");
            Key("name", p.pName);
            Key("environment", environment);
            char key[3 * MAX_PATH];
            snprintf(key, sizeof key, kProcessorsKey, environment, p.pName);
            HKEY handle = NULL;
            char library[MAX_PATH] = "";
            if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &handle) == ERROR_SUCCESS) {
                DWORD size = sizeof library - 1, type = 0;
                if (RegQueryValueExA(handle, "Driver", NULL, &type, reinterpret_cast<LPBYTE>(library), &size) != ERROR_SUCCESS ||
                    type != REG_SZ)
                    library[0] = 0;
                RegCloseKey(handle);
            }
            Key("dll", library);
            char dir[MAX_PATH] = "";
            DWORD needed = 0;
            if (library[0] && GetPrintProcessorDirectoryA(NULL, const_cast<LPSTR>(environment), 1,
                                                          reinterpret_cast<LPBYTE>(dir), sizeof dir, &needed))
                AddFile(strchr(library, '\\') ? std::string(library) : std::string(dir) + "\\" + library);
        }
    }
}

void CCaptureWriter::CaptureServices() {
    if (!winNT) return;
    SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_CONNECT);
    if (!manager) {
        Note("services: the service control manager does not open (error " + std::to_string(GetLastError()) + ")");
        return;
    }
    for (const char* name : named.services) {
        // The spooler is machine.ini's [spooler], not a [service].
        if (_strcmpi(name, "Spooler") == 0) continue;
        SC_HANDLE service = OpenServiceA(manager, name, SERVICE_QUERY_CONFIG);
        if (!service) continue;
        DWORD needed = 0;
        QueryServiceConfigA(service, NULL, 0, &needed);
        std::vector<BYTE> buffer(needed ? needed : 1, 0);
        if (needed && QueryServiceConfigA(service, reinterpret_cast<LPQUERY_SERVICE_CONFIGA>(buffer.data()), needed, &needed))
            ServiceSection(name, *reinterpret_cast<const QUERY_SERVICE_CONFIGA*>(buffer.data()));
        CloseServiceHandle(service);
        AddRegistryTree(HKEY_LOCAL_MACHINE, kServicesKey + std::string(name), kRegistryDepth);
    }
    CloseServiceHandle(manager);
}

// A service's configuration in the words of [service].
void CCaptureWriter::ServiceSection(const char* name, const QUERY_SERVICE_CONFIGA& c) {
    static const char* const kTypes[] = {"own", "share", "kernel", "filesystem"};
    static const DWORD kTypeBits[] = {SERVICE_WIN32_OWN_PROCESS, SERVICE_WIN32_SHARE_PROCESS, SERVICE_KERNEL_DRIVER,
                                      SERVICE_FILE_SYSTEM_DRIVER};
    static const char* const kStarts[] = {"boot", "system", "auto", "demand", "disabled"};
    static const char* const kErrors[] = {"ignore", "normal", "severe", "critical"};
    Section("service");
    Key("name", name);
    if (c.lpDisplayName && c.lpDisplayName[0]) Key("display", c.lpDisplayName);
    std::string type;
    for (size_t t = 0; t < 4; ++t)
        if (c.dwServiceType & kTypeBits[t]) type = kTypes[t];
    if (!type.empty()) Key("type", type + ((c.dwServiceType & SERVICE_INTERACTIVE_PROCESS) ? ",interactive" : ""));
    if (c.dwStartType <= SERVICE_DISABLED) Key("start", kStarts[c.dwStartType]);
    if (c.dwErrorControl <= SERVICE_ERROR_CRITICAL) Key("errorcontrol", kErrors[c.dwErrorControl]);
    if (c.lpBinaryPathName && c.lpBinaryPathName[0]) {
        Key("binary", c.lpBinaryPathName);
        const std::string program = FullPathOf(ProgramOf(c.lpBinaryPathName, windowsDir));
        if (program.size() > 3 && program[1] == ':') AddFile(program);
    }
    if (c.lpLoadOrderGroup && c.lpLoadOrderGroup[0]) Key("group", c.lpLoadOrderGroup);
    for (const char* dep = c.lpDependencies; dep && *dep; dep += strlen(dep) + 1) Key("depend", dep);
    if (c.lpServiceStartName && c.lpServiceStartName[0]) Key("account", c.lpServiceStartName);
    Note("service: " + std::string(name) + " (its configuration; the simulator starts it running)");
}

void CCaptureWriter::CaptureDevices() {
    if (!winNT) return;
    CDeviceNodes nodes;
    if (!nodes.Valid()) return;
    std::vector<std::string> instances;
    std::string sections;
    SP_DEVINFO_DATA device;
    for (DWORD index = 0; nodes.At(index, device); ++index) {
        const std::string instance = nodes.InstanceId(device);
        if (instance.empty()) continue;
        if (_strnicmp(instance.c_str(), "USB\\", 4) != 0 && _strnicmp(instance.c_str(), "USBPRINT\\", 9) != 0) continue;
        instances.push_back(instance);
        std::string section = "\n[device]\ninstance = " + instance + "\n";
        std::vector<std::string> ids;
        if (nodes.HardwareIds(device, 2048, ids))
            for (const std::string& id : ids) section += "hardware = " + id + "\n";
        DEVINST parent = 0;
        char parentId[MAX_DEVICE_ID_LEN + 1] = "";
        if (CM_Get_Parent(&parent, device.DevInst, 0) == CR_SUCCESS &&
            CM_Get_Device_IDA(parent, parentId, sizeof parentId, 0) == CR_SUCCESS &&
            (_strnicmp(parentId, "USB\\", 4) == 0 || _strnicmp(parentId, "USBPRINT\\", 9) == 0))
            section += "parent = " + std::string(parentId) + "\n";
        sections += section;
        AddRegistryTree(HKEY_LOCAL_MACHINE, kEnumKey + instance, 2);
    }
    ini += sections;
    Note("devices: " + Counted(instances.size(), "USB or USBPRINT node", "USB and USBPRINT nodes"));
}

// --- the registry -----------------------------------------------------------------------------------------

void CCaptureWriter::AddRegistryTree(HKEY root, const std::string& subKey, int depth) {
    if (registryCount >= kRegistryKeys) {
        registryCut = true;
        return;
    }
    const std::string name = std::string(RootName(root)) + "\\" + subKey;
    if (!registryKeys.insert(Lower(name)).second) return;
    HKEY key = NULL;
    if (RegOpenKeyExA(root, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    RegCloseKey(key);
    ++registryCount;
    // The key's own values (its section), then each subkey down to the depth.
    std::string text;
    if (ExportRegistryValuesOf(root, subKey.c_str(), text)) registry += text;
    if (depth <= 0) return;
    if (RegOpenKeyExA(root, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    std::vector<std::string> children;
    for (DWORD index = 0;; ++index) {
        char child[256];
        if (RegEnumKeyA(key, index, child, sizeof child) != ERROR_SUCCESS) break;
        children.push_back(child);
    }
    RegCloseKey(key);
    for (const std::string& child : children) AddRegistryTree(root, subKey + "\\" + child, depth - 1);
}

// The programs the start-up entries run: whether such a program exists decides whether its entry may go.
void CCaptureWriter::CaptureStartupPrograms() {
    std::vector<std::string> commands;
    for (const ReadKey& k : kReadKeys) {
        HKEY handle = NULL;
        if (strstr(k.subKey, "CurrentVersion\\Run") == NULL ||
            RegOpenKeyExA(k.root, k.subKey, 0, KEY_READ, &handle) != ERROR_SUCCESS)
            continue;
        char name[256], data[2 * MAX_PATH];
        for (DWORD i = 0;; ++i) {
            DWORD nameSize = sizeof name, dataSize = sizeof data - 1, type = 0;
            if (RegEnumValueA(handle, i, name, &nameSize, NULL, &type, reinterpret_cast<LPBYTE>(data), &dataSize) !=
                ERROR_SUCCESS)
                break;
            data[dataSize] = 0;
            if (type == REG_SZ || type == REG_EXPAND_SZ) commands.push_back(data);
        }
        RegCloseKey(handle);
    }
    for (const char* key : {"load", "run"}) {
        char line[1024] = "";
        GetProfileStringA("windows", key, "", line, sizeof line);
        for (char* word = strtok(line, " ,"); word; word = strtok(NULL, " ,")) commands.push_back(word);
    }
    for (const std::string& command : commands) {
        const std::string program = ProgramOf(command, windowsDir);
        if (program.find('\\') != std::string::npos) {
            AddFile(program);
        } else if (!program.empty()) {
            AddFile(systemDir + "\\" + program);
            AddFile(windowsDir + "\\" + program);
        }
    }
}

void CCaptureWriter::CaptureRegistry() {
    for (const ReadKey& k : kReadKeys) AddRegistryTree(k.root, k.subKey, k.depth);
    CaptureStartupPrograms();
    // The keys the scripts name, each with its subtree; a printer's class registration (its UniqueID) too.
    for (const char* text : named.registryKeys) {
        CRegistryItem item;
        if (!ParseRegistryItem(text, item) || item.subKey.empty()) continue;
        AddRegistryTree(item.root, item.subKey, kRegistryDepth);
        // A file type names its class (its default value), whose commands the safety rules follow.
        const size_t cut = item.subKey.find_last_of('\\');
        const std::string leaf = cut == std::string::npos ? item.subKey : item.subKey.substr(cut + 1);
        HKEY handle = NULL;
        if (leaf.empty() || leaf[0] != '.' ||
            RegOpenKeyExA(item.root, item.subKey.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
            continue;
        char progId[MAX_PATH] = "";
        DWORD size = sizeof progId - 1, type = 0;
        if (RegQueryValueExA(handle, NULL, NULL, &type, reinterpret_cast<LPBYTE>(progId), &size) == ERROR_SUCCESS &&
            type == REG_SZ && progId[0] && !strpbrk(progId, "\\/"))
            AddRegistryTree(item.root, (cut == std::string::npos ? "" : item.subKey.substr(0, cut + 1)) + progId,
                            kRegistryDepth);
        RegCloseKey(handle);
    }
}

// --- files ------------------------------------------------------------------------------------------------

bool CCaptureWriter::IsProtected(const std::string& path) {
    if (!sfcIsFileProtected) return false;
    WCHAR wide[MAX_PATH] = {0};
    if (!MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH)) return false;
    return reinterpret_cast<SfcIsFileProtectedFn>(sfcIsFileProtected)(NULL, wide) != FALSE;
}

void CCaptureWriter::AddFile(const std::string& written, bool withText) {
    const std::string path = FullPathOf(written);
    if (path.size() < 4 || path[1] != ':' || !IsFile(path)) return;
    if (files.size() >= kFiles) {
        filesCut = true;
        return;
    }
    if (!fileKeys.insert(Lower(path)).second) {
        for (CapturedFile& f : files)
            if (withText && _strcmpi(f.path.c_str(), path.c_str()) == 0) f.withText = true;
        return;
    }
    files.push_back({path, withText});
}

void CCaptureWriter::AddFolderTree(const std::string& folder, int depth) {
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((WithoutBackslash(folder) + "\\*.*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return;
    std::vector<std::string> folders;
    do {
        if (!strcmp(entry.cFileName, ".") || !strcmp(entry.cFileName, "..")) continue;
        const std::string path = WithoutBackslash(folder) + "\\" + entry.cFileName;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            folders.push_back(path);
        else
            AddFile(path);
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    if (depth > 0)
        for (const std::string& sub : folders) AddFolderTree(sub, depth - 1);
}

void CCaptureWriter::CaptureIniFiles() {
    for (const char* name : {"win.ini", "system.ini"}) AddFile(windowsDir + "\\" + name, true);
    for (const char* text : named.deleteIni) {
        CIniItem item;
        if (ParseIniItem(text, item)) AddFile(windowsDir + "\\" + FileNameOf(item.path), true);
    }
}

void CCaptureWriter::CaptureOemInfs() {
    if (!winNT) return;
    DWORD needed = 0;
    SetupGetInfFileListA(NULL, INF_STYLE_WIN4, NULL, 0, &needed);
    std::vector<char> list(needed ? needed + 2 : 2, 0);
    if (!needed || !SetupGetInfFileListA(NULL, INF_STYLE_WIN4, list.data(), needed, &needed)) return;
    for (const char* name = list.data(); *name; name += strlen(name) + 1) {
        if (_strnicmp(name, "OEM", 3) != 0) continue;
        const std::string inf = windowsDir + "\\INF\\" + name;
        AddFile(inf, true);
        AddFile(inf.substr(0, inf.size() - 4) + ".pnf");
    }
}

// The files of that name below a folder, down to depth levels, as the file removal searches (not inside a
// folder of that name).
void CCaptureWriter::AddMatches(const std::string& folder, const std::string& name, int depth) {
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((folder + "\\*.*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return;
    std::vector<std::string> folders;
    do {
        const std::string path = folder + "\\" + entry.cFileName;
        const bool isFolder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (_strcmpi(entry.cFileName, name.c_str()) == 0 && !isFolder)
            AddFile(path);
        else if (isFolder && entry.cFileName[0] != '.' && depth > 0)
            folders.push_back(path);
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    for (const std::string& sub : folders) AddMatches(sub, name, depth - 1);
}

// The files the scripts name, wherever the file removal would look for them, and the folders the safety
// rules walk: the OEM directories, the program groups.
void CCaptureWriter::CaptureNamedFiles() {
    COSVersion os;
    CTextList directDirs, searchDirs;
    BuildFileRemovalLists(os, directDirs, searchDirs, colorDir.c_str());
    CTextList oemPaths;
    CollectOemPathsInto(oemPaths);
    for (const char* oem : oemPaths) AddFolderTree(FullPathOf(oem), 3);
    for (const char* item : named.files) {
        std::string name = item;
        name.erase(std::min(name.find('='), name.size()));
        if (name.empty()) continue;
        const std::string fileName = FileNameOf(name);
        for (const char* dir : directDirs) AddFile(WithoutBackslash(dir) + "\\" + fileName);
        for (const char* dir : searchDirs) AddMatches(WithoutBackslash(dir), fileName, 2);
    }
    for (const char* text : named.shortcuts) {
        CShortcutItem item;
        if (!ParseShortcutItem(text, item)) continue;
        for (int code : {PROGRAMS, COMMON_PROGRAMS}) {
            CPathParts where;
            where.Resolve(code);
            if (where.path[0]) AddFolderTree(std::string(where.path) + item.group, 2);
        }
    }
}

std::string CCaptureWriter::FileSection(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    const std::string words = attributes == INVALID_FILE_ATTRIBUTES ? std::string() : AttributeWords(attributes);
    const bool isProtected = IsProtected(path);
    if (words.empty() && !isProtected) return std::string();
    std::string section = "\n[file]\npath = " + path + "\n";
    if (!words.empty()) section += "attributes = " + words + "\n";
    if (isProtected) section += "protected = yes\n";
    return section;
}

// --- writing ----------------------------------------------------------------------------------------------

bool CCaptureWriter::WriteOut(const std::string& written, std::string& why) {
    const std::string folder = WithoutBackslash(FullPathOf(written));
    DWORD error = 0;
    auto fail = [&](const std::string& what) {
        why = what + " (error " + std::to_string(error) + ")";
        return false;
    };
    if (!MakeFolders(folder, error)) return fail("the folder " + folder + " cannot be made");
    std::string sections;
    // win.ini's default device as the profile functions read it, wherever Windows keeps it (on the NT family
    // the registry; the simulator reads win.ini's line).
    char device[256] = "";
    GetProfileStringA("windows", "device", "", device, sizeof device);
    const std::string winIni = windowsDir + "\\win.ini";
    if (device[0] && !fileKeys.count(Lower(winIni))) {
        const std::string target = DrivePath(folder, winIni);
        if (!MakeFolders(target.substr(0, target.find_last_of('\\')), error) ||
            !WriteWholeFile(target, WithDeviceLine("", device), error, false))
            return fail(target + " cannot be written");
    }
    for (const CapturedFile& f : files) {
        // The capture's own folder is not part of the machine it describes.
        if (_strnicmp(f.path.c_str(), (folder + "\\").c_str(), folder.size() + 1) == 0) continue;
        std::string text;
        if (f.withText && !ReadWholeFile(f.path, text)) text.clear();
        const std::string target = DrivePath(folder, f.path);
        if (!MakeFolders(target.substr(0, target.find_last_of('\\')), error))
            return fail("the folder of " + target + " cannot be made");
        if (device[0] && _strcmpi(f.path.c_str(), winIni.c_str()) == 0) text = WithDeviceLine(text, device);
        if (!WriteWholeFile(target, text, error, false)) return fail(target + " cannot be written");
        sections += FileSection(f.path);
    }
    if (!WriteWholeFile(folder + "\\machine.ini", ini + sections, error, false)) return fail("machine.ini cannot be written");
    if (!WriteWholeFile(folder + "\\registry.reg", std::string(RegistryTextHeader()) + "\r\n" + registry, error, false))
        return fail("registry.reg cannot be written");
    std::string report;
    for (const std::string& line : Report()) report += line + "\r\n";
    if (!WriteWholeFile(folder + "\\capture.txt", report, error, false)) return fail("capture.txt cannot be written");
    return true;
}
