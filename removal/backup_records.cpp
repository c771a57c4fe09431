#include "removal/backup_records.h"

#include <stdio.h>
#include <string.h>

#include "removal/spooler_lists.h"

namespace {

const size_t kMaxField = 4096;

struct KindKeys {
    const char* kind;
    const char* const* keys;
};
const char* const kPrinterKeys[] = {"name", "driver", "port", "processor", "datatype", "share", "comment", "location",
                                    "separator", "parameters", "attributes", "priority", "defaultPriority",
                                    "startTime", "untilTime", "default", nullptr};
const char* const kDriverKeys[] = {"name", "environment", "version", "driverPath", "dataFile", "configFile", "helpFile",
                                   "dependentFile", "monitor", "defaultDatatype", "savedFile", nullptr};
const char* const kMonitorKeys[] = {"name", "environment", "library", "port", nullptr};
const char* const kProcessorKeys[] = {"name", "environment", "library", nullptr};
const char* const kServiceKeys[] = {"name", "display", "type", "start", "errorControl", "binary", "group",
                                    "dependency", "account", nullptr};
const char* const kIniKeys[] = {"file", "section", "key", "value", nullptr};
const char* const kLoadLineKeys[] = {"line", nullptr};
const char* const kFolderKeys[] = {"path", nullptr};
const char* const kConnectionKeys[] = {"name", nullptr};
const KindKeys kKinds[] = {{"printer", kPrinterKeys},     {"driver", kDriverKeys}, {"monitor", kMonitorKeys},
                           {"processor", kProcessorKeys}, {"service", kServiceKeys}, {"ini", kIniKeys},
                           {"loadline", kLoadLineKeys},   {"folder", kFolderKeys},
                           {"connection", kConnectionKeys}};

const char* const* KeysOf(const std::string& kind) {
    for (const KindKeys& k : kKinds)
        if (kind == k.kind) return k.keys;
    return nullptr;
}

std::string Hex(const BYTE* data, DWORD size) {
    std::string out;
    char byte[4];
    for (DWORD i = 0; i < size; ++i) {
        snprintf(byte, sizeof byte, "%02x", data[i]);
        out += byte;
    }
    return out;
}

std::string Text(const char* text) { return text ? text : ""; }

}  // namespace

std::string CBackupRecord::Get(const std::string& key) const {
    for (const auto& f : fields)
        if (f.first == key) return f.second;
    return std::string();
}

std::vector<std::string> CBackupRecord::All(const std::string& key) const {
    std::vector<std::string> out;
    for (const auto& f : fields)
        if (f.first == key) out.push_back(f.second);
    return out;
}

std::string CBackupRecord::Text() const {
    std::string out = "[" + kind + "]\r\n";
    for (const auto& f : fields) out += f.first + " = " + f.second + "\r\n";
    return out;
}

bool CBackupRecord::Parse(const std::string& text, std::string& error) {
    fields.clear();
    kind.clear();
    size_t at = 0, number = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        at = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        auto fail = [&](const std::string& what) {
            error = "line " + std::to_string(number) + ": " + what;
            return false;
        };
        if (line.find('\0') != std::string::npos) return fail("a NUL byte");
        if (line[0] == '[') {
            if (!kind.empty() || line.back() != ']') return fail("a second record or a bad header");
            kind = line.substr(1, line.size() - 2);
            if (!KeysOf(kind)) return fail("an unknown kind of record \"" + kind + "\"");
            continue;
        }
        if (kind.empty()) return fail("a line before the record's header");
        const size_t equals = line.find(" = ");
        const std::string key = line.substr(0, equals == std::string::npos ? line.size() - 2 : equals);
        const std::string value = equals == std::string::npos ? std::string() : line.substr(equals + 3);
        if (equals == std::string::npos && (line.size() < 2 || line.compare(line.size() - 2, 2, " =") != 0))
            return fail("expected \"key = value\"");
        if (value.size() > kMaxField) return fail("a value too long");
        bool known = kind == "printer" && key.compare(0, 5, "data.") == 0 && key.size() > 5;
        for (const char* const* k = KeysOf(kind); *k && !known; ++k) known = key == *k;
        if (!known) return fail("an unknown key \"" + key + "\" of a " + kind + " record");
        fields.emplace_back(key, value);
    }
    if (kind.empty()) {
        error = "no record";
        return false;
    }
    return true;
}

bool RecordPrinter(const char* name, CBackupRecord& record) {
    HANDLE printer = NULL;
    if (!OpenPrinterA(const_cast<LPSTR>(name), &printer, NULL) || !printer) return false;
    DWORD needed = 0;
    GetPrinterA(printer, 2, NULL, 0, &needed);
    std::vector<BYTE> buffer(needed ? needed : 1);
    const bool read = needed && GetPrinterA(printer, 2, buffer.data(), needed, &needed);
    if (read) {
        const PRINTER_INFO_2A& p = *reinterpret_cast<const PRINTER_INFO_2A*>(buffer.data());
        record = CBackupRecord();
        record.kind = "printer";
        record.Add("name", Text(p.pPrinterName));
        record.Add("driver", Text(p.pDriverName));
        record.Add("port", Text(p.pPortName));
        record.Add("processor", Text(p.pPrintProcessor));
        record.Add("datatype", Text(p.pDatatype));
        record.Add("share", Text(p.pShareName));
        record.Add("comment", Text(p.pComment));
        record.Add("location", Text(p.pLocation));
        record.Add("separator", Text(p.pSepFile));
        record.Add("parameters", Text(p.pParameters));
        record.Add("attributes", p.Attributes);
        record.Add("priority", p.Priority);
        record.Add("defaultPriority", p.DefaultPriority);
        record.Add("startTime", p.StartTime);
        record.Add("untilTime", p.UntilTime);
        record.Add("default", (p.Attributes & PRINTER_ATTRIBUTE_DEFAULT) ? 1ul : 0ul);
        // Every printer-data value, with its type.
        for (DWORD index = 0;; ++index) {
            char valueName[256];
            BYTE data[2048];
            DWORD nameSize = 0, type = 0, dataSize = 0;
            if (EnumPrinterDataA(printer, index, valueName, sizeof valueName, &nameSize, &type, data, sizeof data,
                                 &dataSize) != ERROR_SUCCESS)
                break;
            char head[16];
            snprintf(head, sizeof head, "%lu:", static_cast<unsigned long>(type));
            record.Add(std::string("data.") + valueName, head + Hex(data, dataSize));
        }
    }
    ClosePrinter(printer);
    return read;
}

bool RecordDriver(const char* name, const char* environment, CBackupRecord& record) {
    DWORD count = 0;
    std::vector<BYTE> list = FetchSpoolerList(
        [&](LPBYTE buffer, DWORD size, LPDWORD needed, LPDWORD returned) {
            return EnumPrinterDriversA(NULL, const_cast<LPSTR>(environment), 3, buffer, size, needed, returned);
        },
        count);
    for (DWORD i = 0; i < count; ++i) {
        const DRIVER_INFO_3A& d = reinterpret_cast<const DRIVER_INFO_3A*>(list.data())[i];
        if (!d.pName || _strcmpi(d.pName, name) != 0) continue;
        record = CBackupRecord();
        record.kind = "driver";
        record.Add("name", d.pName);
        record.Add("environment", Text(d.pEnvironment));
        record.Add("version", d.cVersion);
        record.Add("driverPath", Text(d.pDriverPath));
        record.Add("dataFile", Text(d.pDataFile));
        record.Add("configFile", Text(d.pConfigFile));
        record.Add("helpFile", Text(d.pHelpFile));
        for (const char* dep = d.pDependentFiles; dep && *dep; dep += strlen(dep) + 1) record.Add("dependentFile", dep);
        record.Add("monitor", Text(d.pMonitorName));
        record.Add("defaultDatatype", Text(d.pDefaultDataType));
        return true;
    }
    return false;
}

bool RecordMonitor(const char* name, CBackupRecord& record) {
    DWORD count = 0;
    std::vector<BYTE> monitors = FetchSpoolerList(
        [](LPBYTE buffer, DWORD size, LPDWORD needed, LPDWORD returned) {
            return EnumMonitorsA(NULL, 2, buffer, size, needed, returned);
        },
        count);
    bool found = false;
    for (DWORD i = 0; i < count && !found; ++i) {
        const MONITOR_INFO_2A& m = reinterpret_cast<const MONITOR_INFO_2A*>(monitors.data())[i];
        if (!m.pName || _strcmpi(m.pName, name) != 0) continue;
        record = CBackupRecord();
        record.kind = "monitor";
        record.Add("name", m.pName);
        record.Add("environment", Text(m.pEnvironment));
        record.Add("library", Text(m.pDLLName));
        found = true;
    }
    if (!found) return false;
    // The monitor's ports, so that a printer on one of them can come back with it.
    std::vector<BYTE> ports = FetchSpoolerList(
        [](LPBYTE buffer, DWORD size, LPDWORD needed, LPDWORD returned) {
            return EnumPortsA(NULL, 2, buffer, size, needed, returned);
        },
        count);
    for (DWORD i = 0; i < count; ++i) {
        const PORT_INFO_2A& p = reinterpret_cast<const PORT_INFO_2A*>(ports.data())[i];
        if (p.pPortName && p.pMonitorName && _strcmpi(p.pMonitorName, name) == 0)
            record.Add("port", std::string(p.pPortName) + "|" + Text(p.pDescription));
    }
    return true;
}

bool RecordProcessor(const char* name, const char* environment, const char* key, CBackupRecord& record) {
    char library[MAX_PATH] = "";
    HKEY handle = NULL;
    if (key && key[0] && RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &handle) == ERROR_SUCCESS) {
        DWORD size = sizeof library - 1, type = 0;
        RegQueryValueExA(handle, "Driver", NULL, &type, reinterpret_cast<LPBYTE>(library), &size);
        RegCloseKey(handle);
    }
    record = CBackupRecord();
    record.kind = "processor";
    record.Add("name", name);
    record.Add("environment", Text(environment));
    record.Add("library", library);
    return true;
}

bool RecordService(const char* name, CBackupRecord& record) {
    SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_CONNECT);
    if (!manager) return false;
    SC_HANDLE service = OpenServiceA(manager, name, SERVICE_QUERY_CONFIG);
    bool read = false;
    if (service) {
        DWORD needed = 0;
        QueryServiceConfigA(service, NULL, 0, &needed);
        std::vector<BYTE> buffer(needed ? needed : 1);
        if (needed && QueryServiceConfigA(service, reinterpret_cast<LPQUERY_SERVICE_CONFIGA>(buffer.data()), needed, &needed)) {
            const QUERY_SERVICE_CONFIGA& c = *reinterpret_cast<const QUERY_SERVICE_CONFIGA*>(buffer.data());
            record = CBackupRecord();
            record.kind = "service";
            record.Add("name", name);
            record.Add("display", Text(c.lpDisplayName));
            record.Add("type", c.dwServiceType);
            record.Add("start", c.dwStartType);
            record.Add("errorControl", c.dwErrorControl);
            record.Add("binary", Text(c.lpBinaryPathName));
            record.Add("group", Text(c.lpLoadOrderGroup));
            for (const char* d = c.lpDependencies; d && *d; d += strlen(d) + 1) record.Add("dependency", d);
            record.Add("account", Text(c.lpServiceStartName));
            read = true;
        }
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    return read;
}
