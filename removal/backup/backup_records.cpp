#include "removal/backup/backup_records.h"

#include <stdio.h>
#include <string.h>

#include "base/printer_environments.h"
#include "base/text_lines.h"
#include "base/whole_file.h"
#include "removal/spooler_lists.h"

namespace {

// The size of a value's data up to the end of its text: Wine gives the size of a text value as its UTF-16
// size, so that bytes past the text's NUL would be saved and written back. Other types keep their size.
DWORD TextSize(DWORD type, const BYTE* data, DWORD size) {
    if (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ) return size;
    for (DWORD n = 0; n < size; ++n) {
        if (data[n]) continue;
        if (type != REG_MULTI_SZ) return n + 1;
        if (n + 1 < size && !data[n + 1]) return n + 2;  // the empty text that ends the list
    }
    return size;
}

const size_t kMaxField = 4096;

struct KindKeys {
    const char* kind;
    const char* const* keys;
};
const char* const kPrinterKeys[] = {"name", "driver", "port", "processor", "datatype", "share", "comment", "location",
                                    "separator", "parameters", "attributes", "priority", "defaultPriority",
                                    "startTime", "untilTime", "default", nullptr};
const char* const kDriverKeys[] = {"name", "environment", "version", "driverPath", "dataFile", "configFile", "helpFile",
                                   "dependentFile", "monitor", "defaultDatatype", "manufacturer", "provider",
                                   "hardwareId", "processor", "inf", "savedFile", "inUseFile", nullptr};
const char* const kMonitorKeys[] = {"name", "environment", "library", "port", nullptr};
const char* const kProcessorKeys[] = {"name", "environment", "library", nullptr};
const char* const kServiceKeys[] = {"name", "display", "type", "start", "errorControl", "binary", "group",
                                    "dependency", "account", nullptr};
const char* const kIniKeys[] = {"file", "section", "key", "value", "line", "next", nullptr};
const char* const kLoadLineKeys[] = {"line", nullptr};
const char* const kFolderKeys[] = {"path", nullptr};
const char* const kConnectionKeys[] = {"name", nullptr};
const char* const kDefaultKeys[] = {"previous", "successor", nullptr};
const KindKeys kKinds[] = {{"printer", kPrinterKeys},     {"driver", kDriverKeys}, {"monitor", kMonitorKeys},
                           {"processor", kProcessorKeys}, {"service", kServiceKeys}, {"ini", kIniKeys},
                           {"loadline", kLoadLineKeys},   {"folder", kFolderKeys},
                           {"connection", kConnectionKeys}, {"default", kDefaultKeys}};

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


std::string Trimmed(const std::string& s) {
    const size_t b = s.find_first_not_of(" \t\r\n");
    const size_t e = s.find_last_not_of(" \t\r\n");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

// The lines of an INI text with where each begins; a line's section ("" before the first) and its key.
struct IniLine {
    size_t at;
    std::string text, section, key;
};

std::vector<IniLine> IniLines(const std::string& text) {
    std::vector<IniLine> lines;
    std::string section;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        end = end == std::string::npos ? text.size() : end + 1;
        IniLine line{at, text.substr(at, end - at), section, ""};
        const std::string bare = Trimmed(line.text);
        if (!bare.empty() && bare[0] == '[' && bare.find(']') != std::string::npos) {
            section = line.section = Trimmed(bare.substr(1, bare.find(']') - 1));
        } else if (bare.find('=') != std::string::npos && bare[0] != ';') {
            line.key = Trimmed(bare.substr(0, bare.find('=')));
        }
        lines.push_back(line);
        at = end;
    }
    return lines;
}

}  // namespace

CBackupRecord RecordIniLine(const std::string& path, const std::string& section, const std::string& key) {
    char value[4096] = "";
    GetPrivateProfileStringA(section.c_str(), key.c_str(), "", value, sizeof value, path.c_str());
    CBackupRecord record;
    record.kind = "ini";
    record.Add("file", path);
    record.Add("section", section);
    record.Add("key", key);
    record.Add("value", value);
    std::string text;
    ReadWholeFile(path, text);
    const std::vector<IniLine> lines = IniLines(text);
    for (size_t i = 0; i < lines.size(); ++i) {
        if (_strcmpi(lines[i].section.c_str(), section.c_str()) != 0 || _strcmpi(lines[i].key.c_str(), key.c_str()) != 0)
            continue;
        std::string line = lines[i].text;
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        record.Add("line", line);
        for (size_t j = i + 1; j < lines.size() && _strcmpi(lines[j].section.c_str(), section.c_str()) == 0; ++j)
            if (!lines[j].key.empty()) {
                record.Add("next", lines[j].key);
                break;
            }
        break;
    }
    return record;
}

bool PutIniLineBack(const CBackupRecord& record) {
    const std::string path = record.Get("file"), section = record.Get("section"), next = record.Get("next"),
                      line = record.Get("line");
    std::string text;
    const bool read = ReadWholeFile(path, text);
    if (read && !next.empty() && !line.empty() && line.find('\n') == std::string::npos) {
        for (const IniLine& l : IniLines(text)) {
            if (_strcmpi(l.section.c_str(), section.c_str()) != 0 || _strcmpi(l.key.c_str(), next.c_str()) != 0) continue;
            const std::string eol = text.find("\r\n") != std::string::npos ? "\r\n" : "\n";
            text.insert(l.at, line + eol);
            DWORD error = 0;
            return WriteWholeFile(path, text, error, false);
        }
    }
    return WritePrivateProfileStringA(section.c_str(), record.Get("key").c_str(), record.Get("value").c_str(),
                                      path.c_str()) != 0;
}

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
    size_t number = 0;
    for (const std::string& line : TextLines(text)) {
        ++number;
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
        // Every printer-data value, with its type: all at once from the printer's "PrinterDriverData" key where
        // the spooler lists them so (Wine lists nothing one by one), else one by one.
        DWORD needed = 0, count = 0;
        std::vector<BYTE> values;
        DWORD result = EnumPrinterDataExA(printer, "PrinterDriverData", NULL, 0, &needed, &count);
        if (result == ERROR_MORE_DATA && needed) {
            values.resize(needed);
            result = EnumPrinterDataExA(printer, "PrinterDriverData", values.data(), needed, &needed, &count);
        }
        if (result == ERROR_SUCCESS) {
            const auto* list = reinterpret_cast<const PRINTER_ENUM_VALUESA*>(values.data());
            for (DWORD i = 0; i < count; ++i) {
                char head[16];
                snprintf(head, sizeof head, "%lu:", static_cast<unsigned long>(list[i].dwType));
                record.Add(std::string("data.") + list[i].pValueName,
                           head + Hex(list[i].pData, TextSize(list[i].dwType, list[i].pData, list[i].cbData)));
            }
        }
        for (DWORD index = 0; result != ERROR_SUCCESS; ++index) {
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
    // Level 8 holds the manufacturer, the provider and the INF the driver came from; a spooler without it
    // gives level 3.
    DWORD count = 0, level = 8;
    const std::vector<BYTE> list = FetchDrivers(environment, level, count);
    const size_t stride = level == 8 ? sizeof(DRIVER_INFO_8A) : sizeof(DRIVER_INFO_3A);
    for (DWORD i = 0; i < count; ++i) {
        const DRIVER_INFO_3A& d = DriverAt(list, level, i);
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
        if (level == 8) {
            const DRIVER_INFO_8A& e = *reinterpret_cast<const DRIVER_INFO_8A*>(list.data() + i * stride);
            record.Add("manufacturer", Text(e.pszMfgName));
            record.Add("provider", Text(e.pszProvider));
            record.Add("hardwareId", Text(e.pszHardwareID));
            record.Add("processor", Text(e.pszPrintProcessor));
            record.Add("inf", Text(e.pszInfPath));
        }
        return true;
    }
    return false;
}

bool RecordMonitor(const char* name, CBackupRecord& record) {
    DWORD count = 0;
    std::vector<BYTE> monitors = FetchMonitors(count);
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
    std::vector<BYTE> ports = FetchPorts(count);
    for (DWORD i = 0; i < count; ++i) {
        const PORT_INFO_2A& p = reinterpret_cast<const PORT_INFO_2A*>(ports.data())[i];
        if (p.pPortName && p.pMonitorName && _strcmpi(p.pMonitorName, name) == 0)
            record.Add("port", std::string(p.pPortName) + "|" + Text(p.pDescription));
    }
    return true;
}

bool RecordProcessor(const char* name, const char* environment, const char* key, CBackupRecord& record) {
    char library[MAX_PATH] = "";
    // The key the processor stage names; for the local environment, the platform's own environment keys
    // after it (the local one of a 64-bit Windows is "Windows x64").
    std::vector<std::string> keys;
    if (key && key[0]) keys.push_back(key);
    if (!environment || !environment[0])
        for (const char* local : kNtPrinterEnvironments)
            keys.push_back(std::string("System\\CurrentControlSet\\control\\Print\\Environments\\") + local +
                           "\\Print Processors\\" + name);
    for (const std::string& k : keys) {
        HKEY handle = NULL;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, k.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) continue;
        DWORD size = sizeof library - 1, type = 0;
        if (RegQueryValueExA(handle, "Driver", NULL, &type, reinterpret_cast<LPBYTE>(library), &size) != ERROR_SUCCESS)
            library[0] = 0;
        RegCloseKey(handle);
        if (library[0]) break;
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
