// winspool's printers: enumeration, handles, the information levels, changes, deletion and installing one.
#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "spooler_calls.h"

using simwin::current;
using simwin::Layout;
using simwin::StringPacker;
using namespace simwin::winspool;

namespace {

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


// The printer levels, as data: a level is its record and the strings packed after the records in field order.
// The printer's device settings: its name (cut to fit) and the header; simwin models no driver's settings, so no
// field is marked as set and the driver adds nothing after it.
std::string devMode(const simwin::Printer& p) {
    DEVMODEA dm;
    std::memset(&dm, 0, sizeof dm);
    std::memcpy(dm.dmDeviceName, p.name.c_str(), std::min<size_t>(p.name.size(), CCHDEVICENAME - 1));
    dm.dmSpecVersion = DM_SPECVERSION;
    dm.dmSize = sizeof dm;
    return std::string(reinterpret_cast<const char*>(&dm), sizeof dm);
}

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
          simwin::blockAt<P>(offsetof(PRINTER_INFO_2A, pDevMode), devMode),
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
