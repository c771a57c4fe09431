// winspool on the current machine: printers (enumeration, handles, information levels, printer
// data, changes and deletion), queued jobs, printer drivers, port monitors, print processors and the
// printer-driver and print-processor directories.
//
// Every call first reaches the spooler: on the NT family a stopped or hung Spooler service does not
// answer and the call fails with RPC_S_SERVER_UNAVAILABLE. Buffers follow the size-query-then-fetch
// rule: the records first, the strings packed after them, all within the size reported as needed.
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "simwin/machine.h"
#include "simwin/win32.h"

#include "record_layout.h"

using simwin::current;

namespace {

const DWORD RPC_X_NULL_REF_POINTER = 1780;

struct PrinterHandle : simwin::HandleObject {
    int printerId = 0;  // 0: a handle of the print server itself
    DWORD access = 0;
};

bool isNt() { return current().system.platform == simwin::Platform::Nt; }

bool spoolerAnswers() {
    if (!isNt()) return true;
    if (current().services.spoolerAnswers()) return true;
    SetLastError(RPC_S_SERVER_UNAVAILABLE);
    return false;
}

bool validLevel(DWORD level) {
    switch (level) {
    case 1:
    case 2:
    case 5: return true;
    case 4: return isNt();  // level 4 is the NT family's fast enumeration
    default: return false;
    }
}

// May the process administer printers: on the NT family only a token that holds Administrators
// for more than deny checks; the Windows 9x family has no printer security.
bool mayAdminister() {
    const auto& sys = current().system;
    return !isNt() || (sys.admin && !sys.adminDenyOnly);
}

using simwin::Layout;
using simwin::StringPacker;

// The printer levels, as data: a level is its record and the strings packed after the records in field order.
const std::vector<Layout<simwin::Printer>>& printerLevels() {
    using P = simwin::Printer;
    static const std::vector<Layout<P>> levels = {
        {1, sizeof(PRINTER_INFO_1A),
         {simwin::numberAt<P>(offsetof(PRINTER_INFO_1A, Flags), [](const P&) -> DWORD { return PRINTER_ENUM_ICON8; }),
          simwin::textAt<P>(offsetof(PRINTER_INFO_1A, pDescription),
                            [](const P& p) { return p.name + "," + p.driver + "," + p.location; }),
          simwin::textAt<P>(offsetof(PRINTER_INFO_1A, pName), [](const P& p) { return p.name; }),
          simwin::textAt<P>(offsetof(PRINTER_INFO_1A, pComment), [](const P& p) { return p.comment; })}},
        {2, sizeof(PRINTER_INFO_2A),
         {simwin::textOrNullAt<P>(offsetof(PRINTER_INFO_2A, pServerName), [](const P& p) { return p.serverName(); }),
          simwin::textAt<P>(offsetof(PRINTER_INFO_2A, pPrinterName), [](const P& p) { return p.name; }),
          simwin::textAt<P>(offsetof(PRINTER_INFO_2A, pShareName), [](const P& p) { return p.share; }),
          simwin::textAt<P>(offsetof(PRINTER_INFO_2A, pPortName), [](const P& p) { return p.port; }),
          simwin::textAt<P>(offsetof(PRINTER_INFO_2A, pDriverName), [](const P& p) { return p.driver; }),
          simwin::textAt<P>(offsetof(PRINTER_INFO_2A, pComment), [](const P& p) { return p.comment; }),
          simwin::textAt<P>(offsetof(PRINTER_INFO_2A, pLocation), [](const P& p) { return p.location; }),
          simwin::textAt<P>(offsetof(PRINTER_INFO_2A, pSepFile), [](const P& p) { return p.separator; }),
          simwin::textAt<P>(offsetof(PRINTER_INFO_2A, pPrintProcessor), [](const P& p) { return p.processor; }),
          simwin::textAt<P>(offsetof(PRINTER_INFO_2A, pDatatype), [](const P& p) { return p.datatype; }),
          simwin::textAt<P>(offsetof(PRINTER_INFO_2A, pParameters), [](const P& p) { return p.parameters; }),
          simwin::numberAt<P>(offsetof(PRINTER_INFO_2A, Attributes), [](const P& p) { return p.attributes; }),
          simwin::numberAt<P>(offsetof(PRINTER_INFO_2A, Priority), [](const P& p) { return p.priority; }),
          simwin::numberAt<P>(offsetof(PRINTER_INFO_2A, DefaultPriority), [](const P& p) { return p.defaultPriority; }),
          simwin::numberAt<P>(offsetof(PRINTER_INFO_2A, Status),
                              [](const P& p) -> DWORD { return p.pendingDeletion ? PRINTER_STATUS_PENDING_DELETION : 0; }),
          simwin::numberAt<P>(offsetof(PRINTER_INFO_2A, cJobs), [](const P& p) { return static_cast<DWORD>(p.jobs); })}},
        {4, sizeof(PRINTER_INFO_4A),
         {simwin::textAt<P>(offsetof(PRINTER_INFO_4A, pPrinterName), [](const P& p) { return p.name; }),
          simwin::textOrNullAt<P>(offsetof(PRINTER_INFO_4A, pServerName), [](const P& p) { return p.serverName(); }),
          simwin::numberAt<P>(offsetof(PRINTER_INFO_4A, Attributes), [](const P& p) { return p.attributes; })}},
        {5, sizeof(PRINTER_INFO_5A),
         {simwin::textAt<P>(offsetof(PRINTER_INFO_5A, pPrinterName), [](const P& p) { return p.name; }),
          simwin::textAt<P>(offsetof(PRINTER_INFO_5A, pPortName), [](const P& p) { return p.port; }),
          simwin::numberAt<P>(offsetof(PRINTER_INFO_5A, Attributes), [](const P& p) { return p.attributes; }),
          simwin::numberAt<P>(offsetof(PRINTER_INFO_5A, DeviceNotSelectedTimeout), [](const P&) -> DWORD { return 15000; }),
          simwin::numberAt<P>(offsetof(PRINTER_INFO_5A, TransmissionRetryTimeout), [](const P&) -> DWORD { return 45000; })}},
    };
    return levels;
}

// Bytes needed for the records of the printers and their strings (validLevel() first).
size_t measure(const std::vector<const simwin::Printer*>& printers, DWORD level) {
    return simwin::measureRecords(printers, *simwin::layoutOf(printerLevels(), level));
}

void pack(const std::vector<const simwin::Printer*>& printers, DWORD level, BYTE* buffer) {
    simwin::packRecords(printers, *simwin::layoutOf(printerLevels(), level), buffer);
}

std::string hex(DWORD v) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(v));
    return text;
}

// Logs the call and applies a fault the machine declares for it: true when the call is to fail
// (the error is set).
bool faulted(const char* function, const std::string& details, LPDWORD needed = nullptr) {
    const simwin::SpoolerFault* f = current().spooler.enter(function, details);
    if (!f) return false;
    if (needed) *needed = f->needed;
    SetLastError(f->error);
    return true;
}

bool isOwnServer(const std::string& name) {
    return simwin::iequals(name, "\\\\" + current().system.computer);
}

// A printer name with this computer's server prefix ("\\PC01\Office") names the local printer.
std::string withoutOwnServer(const std::string& name) {
    const std::string prefix = "\\\\" + current().system.computer + "\\";
    if (simwin::startsWithI(name, prefix)) return name.substr(prefix.size());
    return name;
}

BOOL directoryResult(const std::string& dir, LPBYTE buffer, DWORD size, LPDWORD needed) {
    DWORD n = static_cast<DWORD>(dir.size() + 1);
    if (needed) *needed = n;
    if (!buffer || size < n) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(buffer, dir.c_str(), n);
    return TRUE;
}

bool checkServerAndLevel(LPSTR server, DWORD level) {
    if (server && *server && !isOwnServer(server)) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    if (level != 1) {
        SetLastError(ERROR_INVALID_LEVEL);
        return false;
    }
    return true;
}

}  // namespace

BOOL WINAPI EnumPrintersA(DWORD flags, LPSTR name, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed,
                          LPDWORD returned) {
    if (!needed || !returned) {
        SetLastError(RPC_X_NULL_REF_POINTER);
        return FALSE;
    }
    *needed = 0;
    *returned = 0;
    if (!spoolerAnswers()) return FALSE;
    if (faulted("EnumPrintersA", "flags=" + hex(flags) + " level=" + std::to_string(level), needed)) return FALSE;
    if (!validLevel(level)) {
        SetLastError(ERROR_INVALID_LEVEL);
        return FALSE;
    }
    bool local = (flags & PRINTER_ENUM_LOCAL) != 0;
    const bool connections = (flags & PRINTER_ENUM_CONNECTIONS) != 0;
    const bool onlyDefault = (flags & PRINTER_ENUM_DEFAULT) != 0;
    if (flags & PRINTER_ENUM_NAME) {
        // By server name: this computer's own printers (no name means this computer too).
        if (name && *name && !isOwnServer(name)) {
            SetLastError(ERROR_INVALID_NAME);
            return FALSE;
        }
        local = true;
    }
    std::vector<const simwin::Printer*> chosen;
    for (const simwin::Printer& p : current().spooler.printers) {
        bool take;
        if (onlyDefault)
            take = p.isDefault();
        else if (isNt())
            take = (local && !p.isConnection()) || (connections && p.isConnection());
        else  // the Windows 9x family lists every printer it knows as a local one
            take = local || (connections && p.isConnection());
        if (take) chosen.push_back(&p);
    }
    const size_t total = measure(chosen, level);
    *needed = static_cast<DWORD>(total);
    if (total == 0) return TRUE;
    if (!buffer || size < total) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    pack(chosen, level, buffer);
    *returned = static_cast<DWORD>(chosen.size());
    return TRUE;
}

BOOL WINAPI OpenPrinterA(LPSTR name, LPHANDLE printer, LPPRINTER_DEFAULTSA defaults) {
    if (!printer) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *printer = nullptr;
    if (!spoolerAnswers()) return FALSE;
    DWORD access = defaults && defaults->DesiredAccess ? defaults->DesiredAccess : DWORD(PRINTER_ACCESS_USE);
    if (faulted("OpenPrinterA", std::string(name ? name : "(null)") + " access=" + hex(access))) return FALSE;
    if (access & GENERIC_ALL) access = (access & ~DWORD(GENERIC_ALL)) | PRINTER_ALL_ACCESS;
    const DWORD adminBits = PRINTER_ACCESS_ADMINISTER | SERVER_ACCESS_ADMINISTER | DELETE | WRITE_DAC | WRITE_OWNER;

    auto handle = std::make_shared<PrinterHandle>();
    handle->access = access;
    if (!name || !*name || isOwnServer(name)) {
        // The print server itself.
        if ((access & SERVER_ACCESS_ADMINISTER) && !mayAdminister()) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
    } else {
        const simwin::Printer* p = current().spooler.find(name);
        if (!p) p = current().spooler.find(withoutOwnServer(name));
        if (!p) {
            SetLastError(ERROR_INVALID_PRINTER_NAME);
            return FALSE;
        }
        // A printer that denies this user (its security, or a connection whose server refuses).
        if (!p->openable || ((access & adminBits) && !mayAdminister())) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        handle->printerId = p->id;
    }
    *printer = current().handles.add(handle);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL WINAPI ClosePrinter(HANDLE printer) {
    if (!current().handles.get<PrinterHandle>(printer)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    current().spooler.calls.push_back("ClosePrinter");
    current().handles.close(printer);
    return TRUE;
}

BOOL WINAPI GetPrinterA(HANDLE printer, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed) {
    auto* h = current().handles.get<PrinterHandle>(printer);
    if (!h) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!needed) {
        SetLastError(RPC_X_NULL_REF_POINTER);
        return FALSE;
    }
    if (!spoolerAnswers()) return FALSE;
    if (faulted("GetPrinterA", "level=" + std::to_string(level), needed)) return FALSE;
    const simwin::Printer* p = h->printerId ? current().spooler.findById(h->printerId) : nullptr;
    if (!p) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!validLevel(level)) {
        SetLastError(ERROR_INVALID_LEVEL);
        return FALSE;
    }
    std::vector<const simwin::Printer*> one{p};
    const size_t total = measure(one, level);
    *needed = static_cast<DWORD>(total);
    if (!buffer || size < total) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    pack(one, level, buffer);
    return TRUE;
}

DWORD WINAPI GetPrinterDataA(HANDLE printer, LPSTR valueName, LPDWORD type, LPBYTE data, DWORD size, LPDWORD needed) {
    auto* h = current().handles.get<PrinterHandle>(printer);
    if (!h) return ERROR_INVALID_HANDLE;
    if (!needed) return RPC_X_NULL_REF_POINTER;
    if (isNt() && !current().services.spoolerAnswers()) return RPC_S_SERVER_UNAVAILABLE;
    if (const simwin::SpoolerFault* f = current().spooler.enter("GetPrinterDataA", valueName ? valueName : "")) {
        *needed = f->needed;
        return f->error;
    }
    const simwin::Printer* p = h->printerId ? current().spooler.findById(h->printerId) : nullptr;
    if (!p) return h->printerId ? ERROR_INVALID_HANDLE : ERROR_FILE_NOT_FOUND;
    DWORD valueType = REG_SZ;
    std::string bytes;
    auto it = p->data.find(valueName ? valueName : "");
    if (it != p->data.end()) {
        bytes = it->second + '\0';
    } else {
        auto other = p->otherData.find(valueName ? valueName : "");
        if (other == p->otherData.end()) return ERROR_FILE_NOT_FOUND;
        valueType = other->second.first;
        bytes = other->second.second;
    }
    const DWORD n = static_cast<DWORD>(bytes.size());
    if (type) *type = valueType;
    *needed = n;
    if (!data || size < n) return ERROR_MORE_DATA;
    std::memcpy(data, bytes.data(), n);
    return ERROR_SUCCESS;
}

DWORD WINAPI SetPrinterDataA(HANDLE printer, LPSTR valueName, DWORD type, LPBYTE data, DWORD size) {
    auto* h = current().handles.get<PrinterHandle>(printer);
    if (!h) return ERROR_INVALID_HANDLE;
    if (isNt() && !current().services.spoolerAnswers()) return RPC_S_SERVER_UNAVAILABLE;
    if (const simwin::SpoolerFault* f = current().spooler.enter("SetPrinterDataA", valueName ? valueName : ""))
        return f->error;
    simwin::Printer* p = h->printerId ? current().spooler.findById(h->printerId) : nullptr;
    if (!p) return ERROR_INVALID_HANDLE;
    if (!(h->access & PRINTER_ACCESS_ADMINISTER)) return ERROR_ACCESS_DENIED;
    if (!valueName || !*valueName || (size && !data)) return ERROR_INVALID_PARAMETER;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    p->data.erase(valueName);
    p->otherData.erase(valueName);
    if (type == REG_SZ)
        p->data[valueName] = bytes.substr(0, bytes.find('\0'));  // text up to its NUL
    else
        p->otherData[valueName] = {type, bytes};
    return ERROR_SUCCESS;
}

DWORD WINAPI EnumPrinterDataA(HANDLE printer, DWORD index, LPSTR valueName, DWORD nameSize, LPDWORD nameNeeded,
                              LPDWORD type, LPBYTE data, DWORD dataSize, LPDWORD dataNeeded) {
    auto* h = current().handles.get<PrinterHandle>(printer);
    if (!h) return ERROR_INVALID_HANDLE;
    if (!nameNeeded || !dataNeeded) return RPC_X_NULL_REF_POINTER;
    if (isNt() && !current().services.spoolerAnswers()) return RPC_S_SERVER_UNAVAILABLE;
    const simwin::Printer* p = h->printerId ? current().spooler.findById(h->printerId) : nullptr;
    if (!p) return ERROR_INVALID_HANDLE;
    // The text values first, then the others, each in name order: the order the machine keeps them in.
    std::vector<std::pair<std::string, std::pair<DWORD, std::string>>> values;
    for (const auto& v : p->data) values.push_back({v.first, {REG_SZ, v.second + '\0'}});
    for (const auto& v : p->otherData) values.push_back({v.first, v.second});
    if (index >= values.size()) return ERROR_NO_MORE_ITEMS;
    const auto& v = values[index];
    *nameNeeded = static_cast<DWORD>(v.first.size() + 1);
    *dataNeeded = static_cast<DWORD>(v.second.second.size());
    if (type) *type = v.second.first;
    if (!valueName || nameSize < *nameNeeded || (dataSize < *dataNeeded) || (*dataNeeded && !data)) return ERROR_MORE_DATA;
    std::memcpy(valueName, v.first.c_str(), v.first.size() + 1);
    if (*dataNeeded) std::memcpy(data, v.second.second.data(), *dataNeeded);
    return ERROR_SUCCESS;
}

DWORD WINAPI EnumPrinterDataExA(HANDLE printer, LPCSTR keyName, LPBYTE values, DWORD size, LPDWORD needed,
                                LPDWORD count) {
    if (!isNt()) return ERROR_CALL_NOT_IMPLEMENTED;
    auto* h = current().handles.get<PrinterHandle>(printer);
    if (!h) return ERROR_INVALID_HANDLE;
    if (!needed || !count) return RPC_X_NULL_REF_POINTER;
    if (!keyName || !*keyName) return ERROR_INVALID_PARAMETER;
    if (!current().services.spoolerAnswers()) return RPC_S_SERVER_UNAVAILABLE;
    const simwin::Printer* p = h->printerId ? current().spooler.findById(h->printerId) : nullptr;
    if (!p) return ERROR_INVALID_HANDLE;
    if (!simwin::iequals(keyName, "PrinterDriverData")) return ERROR_FILE_NOT_FOUND;
    std::vector<std::pair<std::string, std::pair<DWORD, std::string>>> all;
    for (const auto& v : p->data) all.push_back({v.first, {REG_SZ, v.second + '\0'}});
    for (const auto& v : p->otherData) all.push_back({v.first, v.second});
    size_t total = all.size() * sizeof(PRINTER_ENUM_VALUESA);
    for (const auto& v : all) total += v.first.size() + 1 + v.second.second.size();
    *needed = static_cast<DWORD>(total);
    *count = 0;
    if (!values || size < total) return ERROR_MORE_DATA;
    auto* out = reinterpret_cast<PRINTER_ENUM_VALUESA*>(values);
    BYTE* at = values + all.size() * sizeof(PRINTER_ENUM_VALUESA);
    for (size_t i = 0; i < all.size(); ++i) {
        out[i].pValueName = reinterpret_cast<LPSTR>(at);
        std::memcpy(at, all[i].first.c_str(), all[i].first.size() + 1);
        out[i].cbValueName = static_cast<DWORD>(all[i].first.size() + 1);
        at += all[i].first.size() + 1;
        out[i].dwType = all[i].second.first;
        out[i].pData = at;
        out[i].cbData = static_cast<DWORD>(all[i].second.second.size());
        std::memcpy(at, all[i].second.second.data(), all[i].second.second.size());
        at += all[i].second.second.size();
    }
    *count = static_cast<DWORD>(all.size());
    return ERROR_SUCCESS;
}

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

namespace {

// The print-processor directory of an environment ("" for one the machine does not know).
std::string processorDirectory(const std::string& environment) {
    const auto& sys = current().system;
    if (simwin::iequals(environment, sys.localEnvironment)) return sys.printProcessorDir;
    if (sys.platform == simwin::Platform::Nt) {
        if (simwin::iequals(environment, "Windows NT x86")) return sys.systemDir + "\\spool\\prtprocs\\W32X86";
        if (simwin::iequals(environment, "Windows 4.0")) return sys.systemDir + "\\spool\\prtprocs\\WIN40";
    }
    return "";
}

// The registry key Windows keeps a print processor in.
std::string processorKey(const std::string& environment, const std::string& name) {
    return "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\" + environment +
           "\\Print Processors\\" + name;
}

}  // namespace

BOOL WINAPI GetPrintProcessorDirectoryA(LPSTR server, LPSTR environment, DWORD level, LPBYTE buffer, DWORD size,
                                        LPDWORD needed) {
    if (!spoolerAnswers() || !checkServerAndLevel(server, level)) return FALSE;
    const auto& sys = current().system;
    const std::string dir = processorDirectory(environment && *environment ? environment : sys.localEnvironment);
    if (!dir.empty()) return directoryResult(dir, buffer, size, needed);
    SetLastError(ERROR_INVALID_ENVIRONMENT);
    return FALSE;
}

// --- Removal: printers, jobs, drivers, monitors and print processors --------------------------------------------
//
// What each call needs on the handle or from the user, and what it fails with:
// - DeletePrinter: DELETE (PRINTER_ALL_ACCESS holds it), else ERROR_ACCESS_DENIED. A printer with queued jobs is
//   marked pending deletion (PRINTER_STATUS_PENDING_DELETION in level 2) and goes when its last job is
//   deleted; one without jobs goes at once. The handle stays open until ClosePrinter; every other call on it
//   then fails with ERROR_INVALID_HANDLE.
// - SetPrinterA and SetJobA: PRINTER_ACCESS_ADMINISTER (the queued jobs belong to other users), else 5.
// - DeletePrinterDriverA, DeleteMonitorA, DeletePrintProcessorA: a user who may administer the server, else 5.

namespace {

// The handle's printer, or nullptr with ERROR_INVALID_HANDLE (not a printer handle, a server handle, or a
// printer deleted since).
simwin::Printer* printerOf(HANDLE printer, PrinterHandle** handle = nullptr) {
    auto* h = current().handles.get<PrinterHandle>(printer);
    simwin::Printer* p = h && h->printerId ? current().spooler.findById(h->printerId) : nullptr;
    if (!p) SetLastError(ERROR_INVALID_HANDLE);
    if (handle) *handle = h;
    return p;
}

// An environment argument: null or empty is the local one; "all" (where allowed) every one. The known
// environments are those with a driver directory. False with ERROR_INVALID_ENVIRONMENT otherwise.
bool resolveEnvironment(LPSTR environment, std::string& out, bool allowAll = false) {
    const auto& sys = current().system;
    if (!environment || !*environment) {
        out = sys.localEnvironment;
        return true;
    }
    if (allowAll && isNt() && simwin::iequals(environment, "all")) {
        out.clear();
        return true;
    }
    for (auto& d : sys.driverDirs)
        if (simwin::iequals(d.first, environment)) {
            out = d.first;
            return true;
        }
    SetLastError(ERROR_INVALID_ENVIRONMENT);
    return false;
}

bool checkServer(LPSTR server) {
    if (server && *server && !isOwnServer(server)) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    return true;
}

// The start of a call that changes the server's spooler: it answers, the server is this one, the user
// may administer it, and the environment is known.
bool enterServerChange(const char* function, LPSTR server, LPSTR environment, LPSTR name, std::string& env) {
    if (!spoolerAnswers() || !checkServer(server)) return false;
    if (faulted(function, std::string(name ? name : "(null)"))) return false;
    if (!mayAdminister()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    if (!resolveEnvironment(environment, env)) return false;
    if (!name || !*name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    return true;
}

// Records of one kind packed into a caller's buffer: the size query reports the records plus their strings,
// a short buffer fails with ERROR_INSUFFICIENT_BUFFER and returns nothing.
template <typename Item>
BOOL packRecords(const std::vector<Item>& items, size_t recordSize,
                 void (*fill)(const Item&, BYTE* record, StringPacker& strings), LPBYTE buffer, DWORD size,
                 LPDWORD needed, LPDWORD returned) {
    StringPacker measurer(nullptr, items.size() * recordSize);
    for (const Item& item : items) fill(item, nullptr, measurer);
    const size_t total = items.empty() ? 0 : measurer.end();
    *needed = static_cast<DWORD>(total);
    if (total > size || (total && !buffer)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    StringPacker strings(buffer, items.size() * recordSize);
    for (size_t i = 0; i < items.size(); ++i) fill(items[i], buffer + i * recordSize, strings);
    if (returned) *returned = static_cast<DWORD>(items.size());
    return TRUE;
}

// Records of a layout packed into a caller's buffer, with the size query rule of packRecords.
template <typename Item>
BOOL packLayout(const std::vector<const Item*>& items, const Layout<Item>& layout, LPBYTE buffer, DWORD size,
                LPDWORD needed, LPDWORD returned) {
    const size_t total = simwin::measureRecords(items, layout);
    *needed = static_cast<DWORD>(total);
    if (total > size || (total && !buffer)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    if (total) simwin::packRecords(items, layout, buffer);
    if (returned) *returned = static_cast<DWORD>(items.size());
    return TRUE;
}

template <typename Record>
void store(const Record& r, BYTE* at) {
    if (at) std::memcpy(at, &r, sizeof r);
}

// --- jobs

struct QueuedJob {
    const simwin::Printer* printer;
    DWORD id, position;
};

void fillJob1(const QueuedJob& j, BYTE* at, StringPacker& strings) {
    JOB_INFO_1A r;
    std::memset(&r, 0, sizeof r);
    r.JobId = j.id;
    r.pPrinterName = strings.put(j.printer->name);
    r.pMachineName = strings.put("\\\\" + current().system.computer);
    r.pUserName = strings.put("Guest");
    r.pDocument = strings.put("Document " + std::to_string(j.id));
    r.pDatatype = strings.put(j.printer->datatype);
    r.pStatus = nullptr;
    r.Priority = 1;
    r.Position = j.position + 1;
    r.TotalPages = 1;
    store(r, at);
}

// A printer pending deletion goes with its last job.
void finishPendingDeletion(simwin::Printer& p) {
    if (p.pendingDeletion && p.jobs == 0) current().spooler.remove(p.id);
}

// --- drivers

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
            textOrNullAt<D>(offsetof(DRIVER_INFO_8A, pszInfPath), [](const D& d) { return d.inf; }),
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

// --- print processors

void fillProcessor1(const simwin::SpoolerComponent* const& c, BYTE* at, StringPacker& strings) {
    PRINTPROCESSOR_INFO_1A r;
    r.pName = strings.put(c->name);
    store(r, at);
}

bool processorInUse(const simwin::SpoolerComponent& c) {
    if (!simwin::iequals(c.environment, current().system.localEnvironment)) return false;
    for (const simwin::Printer& p : current().spooler.printers)
        if (simwin::iequals(p.processor, c.name)) return true;
    return false;
}

template <typename T>
void eraseFrom(std::vector<T>& list, const T* item) {
    list.erase(list.begin() + (item - list.data()));
}

// --- SetPrinterA level 2

// Applies the fields of a level-2 record that the spooler lets change: share, port, driver, comment,
// location, print processor, data type and attributes (a null string leaves its field). The printer's
// name and kind stay; on the NT family the default printer is the user's setting, not an attribute one
// can set, so PRINTER_ATTRIBUTE_DEFAULT stays as it was there; on the others it makes this printer the
// default one.
bool applyInfo2(simwin::Printer& p, const PRINTER_INFO_2A& info) {
    auto& spooler = current().spooler;
    const std::string& local = current().system.localEnvironment;
    if (info.pDriverName && !spooler.findDriver(info.pDriverName, local) && !simwin::iequals(info.pDriverName, p.driver)) {
        SetLastError(ERROR_UNKNOWN_PRINTER_DRIVER);
        return false;
    }
    spooler.addStandardComponents(current().system);
    if (info.pPrintProcessor && !spooler.findProcessor(info.pPrintProcessor, local)) {
        SetLastError(ERROR_UNKNOWN_PRINTPROCESSOR);
        return false;
    }
    if (info.pShareName) p.share = info.pShareName;
    if (info.pPortName) p.port = info.pPortName;
    if (info.pDriverName) p.driver = info.pDriverName;
    if (info.pComment) p.comment = info.pComment;
    if (info.pLocation) p.location = info.pLocation;
    if (info.pSepFile) p.separator = info.pSepFile;
    if (info.pParameters) p.parameters = info.pParameters;
    if (info.Priority >= 1 && info.Priority <= 99) p.priority = info.Priority;
    if (info.DefaultPriority <= 99) p.defaultPriority = info.DefaultPriority;
    if (info.pPrintProcessor) p.processor = spooler.findProcessor(info.pPrintProcessor, local)->name;
    if (info.pDatatype) p.datatype = info.pDatatype;
    const DWORD fixed = PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_NETWORK | (isNt() ? PRINTER_ATTRIBUTE_DEFAULT : 0);
    p.attributes = (p.attributes & fixed) | (info.Attributes & ~fixed);
    if (!isNt() && p.isDefault())
        for (simwin::Printer& other : spooler.printers)
            if (other.id != p.id) other.attributes &= ~DWORD(PRINTER_ATTRIBUTE_DEFAULT);
    return true;
}

}  // namespace

BOOL WINAPI SetPrinterA(HANDLE printer, DWORD level, LPBYTE info, DWORD command) {
    PrinterHandle* h = nullptr;
    simwin::Printer* p = printerOf(printer, &h);
    if (!p || !spoolerAnswers()) return FALSE;
    if (faulted("SetPrinterA", "level=" + std::to_string(level) + " command=" + std::to_string(command))) return FALSE;
    if (!(h->access & PRINTER_ACCESS_ADMINISTER)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (level == 0) {
        if (command < PRINTER_CONTROL_PAUSE || command > PRINTER_CONTROL_SET_STATUS) {
            SetLastError(ERROR_INVALID_PRINTER_COMMAND);
            return FALSE;
        }
        if (command == PRINTER_CONTROL_PURGE) {
            while (p->jobs > 0) p->removeJob(p->jobIdAt(0));
            finishPendingDeletion(*p);
        }
        return TRUE;
    }
    if (level != 2) {
        SetLastError(ERROR_INVALID_LEVEL);
        return FALSE;
    }
    if (!info || command != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    PRINTER_INFO_2A record;
    std::memcpy(&record, info, sizeof record);
    return applyInfo2(*p, record) ? TRUE : FALSE;
}

BOOL WINAPI DeletePrinter(HANDLE printer) {
    PrinterHandle* h = nullptr;
    simwin::Printer* p = printerOf(printer, &h);
    if (!p || !spoolerAnswers()) return FALSE;
    if (faulted("DeletePrinter", p->name)) return FALSE;
    if (!(h->access & DELETE)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (p->pendingDeletion) {
        SetLastError(ERROR_PRINTER_DELETED);
        return FALSE;
    }
    p->pendingDeletion = true;
    finishPendingDeletion(*p);
    return TRUE;
}

BOOL WINAPI DeletePrinterConnectionA(LPSTR name) {
    if (!spoolerAnswers()) return FALSE;
    if (faulted("DeletePrinterConnectionA", name ? name : "(null)")) return FALSE;
    simwin::Printer* p = name ? current().spooler.find(name) : nullptr;
    if (!p || !p->isConnection()) {  // a local printer is not a connection
        SetLastError(ERROR_INVALID_PRINTER_NAME);
        return FALSE;
    }
    current().spooler.remove(p->id);
    return TRUE;
}

BOOL WINAPI EnumJobsA(HANDLE printer, DWORD firstJob, DWORD count, DWORD level, LPBYTE buffer, DWORD size,
                      LPDWORD needed, LPDWORD returned) {
    if (!needed || !returned) {
        SetLastError(RPC_X_NULL_REF_POINTER);
        return FALSE;
    }
    *needed = 0;
    *returned = 0;
    const simwin::Printer* p = printerOf(printer);
    if (!p || !spoolerAnswers()) return FALSE;
    if (faulted("EnumJobsA", "first=" + std::to_string(firstJob) + " count=" + std::to_string(count), needed))
        return FALSE;
    if (level != 1) {  // levels 2 and 3 are not modelled
        SetLastError(ERROR_INVALID_LEVEL);
        return FALSE;
    }
    std::vector<QueuedJob> jobs;
    const DWORD queued = static_cast<DWORD>(p->jobs);
    for (DWORD pos = firstJob; pos < queued && pos - firstJob < count; ++pos) jobs.push_back({p, p->jobIdAt(pos), pos});
    return packRecords(jobs, sizeof(JOB_INFO_1A), fillJob1, buffer, size, needed, returned);
}

BOOL WINAPI SetJobA(HANDLE printer, DWORD jobId, DWORD level, LPBYTE info, DWORD command) {
    PrinterHandle* h = nullptr;
    simwin::Printer* p = printerOf(printer, &h);
    if (!p || !spoolerAnswers()) return FALSE;
    if (faulted("SetJobA", "job=" + std::to_string(jobId) + " command=" + std::to_string(command))) return FALSE;
    if (level > 4 || (level != 0 && !info)) {
        SetLastError(level > 4 ? ERROR_INVALID_LEVEL : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!p->hasJob(jobId) || command > JOB_CONTROL_RELEASE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!(h->access & PRINTER_ACCESS_ADMINISTER)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (command == JOB_CONTROL_CANCEL || command == JOB_CONTROL_DELETE) {
        p->removeJob(jobId);
        finishPendingDeletion(*p);
    }
    return TRUE;
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
    eraseFrom(spooler.drivers, d);
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
    spooler.removeMonitor(m);
    return TRUE;
}

BOOL WINAPI EnumPrintProcessorsA(LPSTR server, LPSTR environment, DWORD level, LPBYTE buffer, DWORD size,
                                 LPDWORD needed, LPDWORD returned) {
    if (!needed || !returned) {
        SetLastError(RPC_X_NULL_REF_POINTER);
        return FALSE;
    }
    *needed = 0;
    *returned = 0;
    if (!spoolerAnswers() || !checkServer(server)) return FALSE;
    if (faulted("EnumPrintProcessorsA", std::string(environment ? environment : "(null)"), needed)) return FALSE;
    std::string env;
    if (!resolveEnvironment(environment, env)) return FALSE;
    if (level != 1) {
        SetLastError(ERROR_INVALID_LEVEL);
        return FALSE;
    }
    auto& spooler = current().spooler;
    spooler.addStandardComponents(current().system);
    std::vector<const simwin::SpoolerComponent*> chosen;
    for (const simwin::SpoolerComponent& c : spooler.processors)
        if (simwin::iequals(c.environment, env)) chosen.push_back(&c);
    return packRecords(chosen, sizeof(PRINTPROCESSOR_INFO_1A), fillProcessor1, buffer, size, needed, returned);
}

BOOL WINAPI DeletePrintProcessorA(LPSTR server, LPSTR environment, LPSTR processorName) {
    std::string env;
    if (!enterServerChange("DeletePrintProcessorA", server, environment, processorName, env)) return FALSE;
    auto& spooler = current().spooler;
    spooler.addStandardComponents(current().system);
    const simwin::SpoolerComponent* c = spooler.findProcessor(processorName, env);
    if (!c) {
        SetLastError(ERROR_UNKNOWN_PRINTPROCESSOR);
        return FALSE;
    }
    // A processor a printer still uses is refused (simwin's choice: the spooler would have to unload a
    // processor that a queue relies on).
    if (processorInUse(*c)) {
        SetLastError(ERROR_CAN_NOT_COMPLETE);
        return FALSE;
    }
    current().registry.remove(processorKey(c->environment, c->name));  // its key goes with it, as on Windows
    eraseFrom(spooler.processors, c);
    return TRUE;
}

BOOL WINAPI AddPrintProcessorA(LPSTR server, LPSTR environment, LPSTR pathName, LPSTR processorName) {
    std::string env;
    if (!enterServerChange("AddPrintProcessorA", server, environment, processorName, env)) return FALSE;
    if (!pathName || !*pathName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto& spooler = current().spooler;
    spooler.addStandardComponents(current().system);
    if (spooler.findProcessor(processorName, env)) {
        SetLastError(ERROR_PRINT_PROCESSOR_ALREADY_INSTALLED);
        return FALSE;
    }
    const std::string dir = processorDirectory(env);
    const simwin::FileNode* library = current().files.find(dir + "\\" + pathName);
    if (dir.empty() || !library || library->isDirectory) {  // the spooler loads it from there
        SetLastError(ERROR_MOD_NOT_FOUND);
        return FALSE;
    }
    spooler.processors.push_back(simwin::SpoolerComponent{processorName, env, pathName});
    current().registry.setString(processorKey(env, processorName), "Driver", pathName);
    return TRUE;
}

// --- Installing: what tests set up with Win32 calls ------------------------------------------------------------

namespace {

std::string baseName(const std::string& path) {
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The start of a call that installs something on the server: as for a change, with a record of a known level.
bool enterInstall(const char* function, LPSTR server, DWORD level, bool levelKnown, LPBYTE info) {
    if (!spoolerAnswers() || !checkServer(server)) return false;
    if (faulted(function, "level=" + std::to_string(level))) return false;
    if (!levelKnown) {
        SetLastError(ERROR_INVALID_LEVEL);
        return false;
    }
    if (!info) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (!mayAdminister()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    return true;
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
    d.inf = textOf(info.pszInfPath);
    d.version = -1;
    if (info.cVersion != d.cVersion() && info.cVersion <= 4) d.version = static_cast<int>(info.cVersion);
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
    keepDriverInfo(existing ? *existing : current().spooler.addDriver(d.pName, env), d, env);
    return TRUE;
}

HANDLE WINAPI AddPrinterA(LPSTR server, DWORD level, LPBYTE info) {
    if (!enterInstall("AddPrinterA", server, level, level == 2, info)) return nullptr;
    PRINTER_INFO_2A r;
    std::memcpy(&r, info, sizeof r);
    auto& spooler = current().spooler;
    const std::string& local = current().system.localEnvironment;
    spooler.addStandardComponents(current().system);
    DWORD error = ERROR_SUCCESS;
    if (!r.pPrinterName || !*r.pPrinterName)
        error = ERROR_INVALID_PRINTER_NAME;
    else if (spooler.find(r.pPrinterName))
        error = ERROR_PRINTER_ALREADY_EXISTS;
    else if (!r.pDriverName || !spooler.findDriver(r.pDriverName, local))
        error = ERROR_UNKNOWN_PRINTER_DRIVER;
    else if (!r.pPrintProcessor || !spooler.findProcessor(r.pPrintProcessor, local))
        error = ERROR_UNKNOWN_PRINTPROCESSOR;
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return nullptr;
    }
    simwin::Printer p;
    p.name = r.pPrinterName;
    p.driver = r.pDriverName;
    p.port = r.pPortName ? r.pPortName : "";
    p.share = r.pShareName ? r.pShareName : "";
    p.comment = r.pComment ? r.pComment : "";
    p.location = r.pLocation ? r.pLocation : "";
    p.processor = spooler.findProcessor(r.pPrintProcessor, local)->name;
    if (r.pDatatype && *r.pDatatype) p.datatype = r.pDatatype;
    p.separator = r.pSepFile ? r.pSepFile : "";
    p.parameters = r.pParameters ? r.pParameters : "";
    if (r.Priority >= 1 && r.Priority <= 99) p.priority = r.Priority;  // out of range: the default
    if (r.DefaultPriority <= 99) p.defaultPriority = r.DefaultPriority;
    const DWORD kept = PRINTER_ATTRIBUTE_DEFAULT | PRINTER_ATTRIBUTE_NETWORK | PRINTER_ATTRIBUTE_LOCAL;
    p.attributes = (r.Attributes & ~kept) | PRINTER_ATTRIBUTE_LOCAL;
    const int id = spooler.add(p).id;
    auto handle = std::make_shared<PrinterHandle>();
    handle->printerId = id;
    handle->access = PRINTER_ALL_ACCESS;
    return current().handles.add(handle);
}

BOOL WINAPI AddMonitorA(LPSTR server, DWORD level, LPBYTE info) {
    if (!enterInstall("AddMonitorA", server, level, level == 2, info)) return FALSE;
    MONITOR_INFO_2A r;
    std::memcpy(&r, info, sizeof r);
    std::string env;
    if (!resolveEnvironment(r.pEnvironment, env)) return FALSE;
    // The monitor's DLL is not loaded: simwin has no monitor code to run.
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
    spooler.monitors.push_back(simwin::SpoolerComponent{r.pName, env, r.pDLLName});
    return TRUE;
}

// --- Ports and monitors ------------------------------------------------------------------------------------------

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

// The start of an enumeration of the server: the counts cleared, the spooler answers, the server is this one,
// the level is one of the table's.
template <typename Item>
const Layout<Item>* enterEnumeration(const char* function, LPSTR server, DWORD level,
                                     const std::vector<Layout<Item>>& levels, LPDWORD needed, LPDWORD returned) {
    if (!needed || !returned) {
        SetLastError(RPC_X_NULL_REF_POINTER);
        return nullptr;
    }
    *needed = 0;
    *returned = 0;
    if (!spoolerAnswers() || !checkServer(server)) return nullptr;
    if (faulted(function, "level=" + std::to_string(level), needed)) return nullptr;
    const Layout<Item>* layout = simwin::layoutOf(levels, level);
    if (!layout) SetLastError(ERROR_INVALID_LEVEL);
    return layout;
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
