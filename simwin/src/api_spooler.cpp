// winspool on the current machine: printers (enumeration, handles, information levels, printer
// data) and the printer-driver and print-processor directories.
//
// Every call first reaches the spooler: on the NT family a stopped or hung Spooler service does not
// answer and the call fails with RPC_S_SERVER_UNAVAILABLE. Buffers follow the size-query-then-fetch
// rule: the records first, the strings packed after them, all within the size reported as needed.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "simwin/machine.h"
#include "simwin/win32.h"

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

// Writes one record's strings after the records (or only measures them).
class StringPacker {
public:
    StringPacker(BYTE* base, size_t start, bool write) : base_(base), pos_(start), write_(write) {}
    LPSTR put(const std::string& text) {
        LPSTR p = nullptr;
        if (write_) {
            p = reinterpret_cast<LPSTR>(base_ + pos_);
            std::memcpy(p, text.c_str(), text.size() + 1);
        }
        pos_ += text.size() + 1;
        return p;
    }
    size_t end() const { return pos_; }

private:
    BYTE* base_;
    size_t pos_;
    bool write_;
};

size_t recordSize(DWORD level) {
    switch (level) {
    case 1: return sizeof(PRINTER_INFO_1A);
    case 2: return sizeof(PRINTER_INFO_2A);
    case 4: return sizeof(PRINTER_INFO_4A);
    default: return sizeof(PRINTER_INFO_5A);
    }
}

// Fills the record of one printer at record (when writing) and its strings through the packer.
void fillRecord(const simwin::Printer& p, DWORD level, BYTE* record, StringPacker& strings) {
    const bool write = record != nullptr;
    switch (level) {
    case 1: {
        PRINTER_INFO_1A r;
        std::memset(&r, 0, sizeof r);
        r.Flags = PRINTER_ENUM_ICON8;
        r.pDescription = strings.put(p.name + "," + p.driver + "," + p.location);
        r.pName = strings.put(p.name);
        r.pComment = strings.put(p.comment);
        if (write) std::memcpy(record, &r, sizeof r);
        break;
    }
    case 2: {
        PRINTER_INFO_2A r;
        std::memset(&r, 0, sizeof r);
        r.pServerName = p.isConnection() ? strings.put(p.serverName()) : nullptr;
        r.pPrinterName = strings.put(p.name);
        r.pShareName = strings.put(p.share);
        r.pPortName = strings.put(p.port);
        r.pDriverName = strings.put(p.driver);
        r.pComment = strings.put(p.comment);
        r.pLocation = strings.put(p.location);
        r.pDevMode = nullptr;
        r.pSepFile = strings.put("");
        r.pPrintProcessor = strings.put(p.processor);
        r.pDatatype = strings.put(p.datatype);
        r.pParameters = strings.put("");
        r.pSecurityDescriptor = nullptr;
        r.Attributes = p.attributes;
        r.Priority = 1;
        r.cJobs = static_cast<DWORD>(p.jobs);
        if (write) std::memcpy(record, &r, sizeof r);
        break;
    }
    case 4: {
        PRINTER_INFO_4A r;
        std::memset(&r, 0, sizeof r);
        r.pPrinterName = strings.put(p.name);
        r.pServerName = p.isConnection() ? strings.put(p.serverName()) : nullptr;
        r.Attributes = p.attributes;
        if (write) std::memcpy(record, &r, sizeof r);
        break;
    }
    default: {
        PRINTER_INFO_5A r;
        std::memset(&r, 0, sizeof r);
        r.pPrinterName = strings.put(p.name);
        r.pPortName = strings.put(p.port);
        r.Attributes = p.attributes;
        r.DeviceNotSelectedTimeout = 15000;
        r.TransmissionRetryTimeout = 45000;
        if (write) std::memcpy(record, &r, sizeof r);
        break;
    }
    }
}

// Bytes needed for the records of the printers and their strings.
size_t measure(const std::vector<const simwin::Printer*>& printers, DWORD level) {
    StringPacker strings(nullptr, printers.size() * recordSize(level), false);
    for (const auto* p : printers) fillRecord(*p, level, nullptr, strings);
    return printers.empty() ? 0 : strings.end();
}

void pack(const std::vector<const simwin::Printer*>& printers, DWORD level, BYTE* buffer) {
    StringPacker strings(buffer, printers.size() * recordSize(level), true);
    for (size_t i = 0; i < printers.size(); ++i) fillRecord(*printers[i], level, buffer + i * recordSize(level), strings);
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
    auto it = p->data.find(valueName ? valueName : "");
    if (it == p->data.end()) return ERROR_FILE_NOT_FOUND;
    const DWORD n = static_cast<DWORD>(it->second.size() + 1);
    if (type) *type = REG_SZ;
    *needed = n;
    if (!data || size < n) return ERROR_MORE_DATA;
    std::memcpy(data, it->second.c_str(), n);
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

BOOL WINAPI GetPrintProcessorDirectoryA(LPSTR server, LPSTR environment, DWORD level, LPBYTE buffer, DWORD size,
                                        LPDWORD needed) {
    if (!spoolerAnswers() || !checkServerAndLevel(server, level)) return FALSE;
    const auto& sys = current().system;
    std::string env = environment && *environment ? environment : sys.localEnvironment;
    if (simwin::iequals(env, sys.localEnvironment)) return directoryResult(sys.printProcessorDir, buffer, size, needed);
    if (sys.platform == simwin::Platform::Nt) {
        if (simwin::iequals(env, "Windows NT x86"))
            return directoryResult(sys.systemDir + "\\spool\\prtprocs\\W32X86", buffer, size, needed);
        if (simwin::iequals(env, "Windows 4.0"))
            return directoryResult(sys.systemDir + "\\spool\\prtprocs\\WIN40", buffer, size, needed);
    }
    SetLastError(ERROR_INVALID_ENVIRONMENT);
    return FALSE;
}
