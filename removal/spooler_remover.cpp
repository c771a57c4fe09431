#include "removal/spooler_remover.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "removal/spooler_lists.h"

namespace {

const char kMonitorsKey[] = "System\\CurrentControlSet\\control\\Print\\Monitors\\";
const char kEnvironmentsKey[] = "System\\CurrentControlSet\\control\\Print\\Environments\\";

bool SetProcessor(const char* printerName, const char* processor, const char* datatype) {
    PRINTER_DEFAULTSA defaults = {NULL, NULL, PRINTER_ALL_ACCESS};
    HANDLE printer = NULL;
    if (!OpenPrinterA(const_cast<LPSTR>(printerName), &printer, &defaults) || !printer) return false;
    DWORD needed = 0;
    GetPrinterA(printer, 2, NULL, 0, &needed);
    bool set = false;
    if (needed) {
        std::vector<BYTE> buffer(needed, 0);
        if (GetPrinterA(printer, 2, buffer.data(), needed, &needed)) {
            PRINTER_INFO_2A* info = reinterpret_cast<PRINTER_INFO_2A*>(buffer.data());
            if (processor) info->pPrintProcessor = const_cast<LPSTR>(processor);
            if (datatype) info->pDatatype = const_cast<LPSTR>(datatype);
            set = SetPrinterA(printer, 2, buffer.data(), 0) != 0;
        }
    }
    ClosePrinter(printer);
    return set;
}

}  // namespace

void RemoveMonitors(CRemovalContext& context, const char* server, const char* environment) {
    for (const char* name : context.database->removal.monitors) {
        if (context.Refused(ItemKind::Monitor, name, context.keeper->Monitor(name))) continue;
        // The monitor with its ports, so that a printer on one of them can come back.
        CBackupRecord record;
        if (!context.Save(ItemKind::Monitor, name,
                          RecordMonitor(name, record) ? CSavedForm::Record(record) : CSavedForm::Nothing()))
            return;
        SetLastError(ERROR_SUCCESS);
        if (DeleteMonitorA(const_cast<LPSTR>(server), const_cast<LPSTR>(environment), const_cast<LPSTR>(name))) {
            context.Report(ItemKind::Monitor, name, CRunLog::REMOVED);
        } else {
            const DWORD error = GetLastError();
            if (error == ERROR_UNKNOWN_PRINT_MONITOR)
                context.Report(ItemKind::Monitor, name, CRunLog::NOT_THERE);
            else
                context.Report(ItemKind::Monitor, name, CRunLog::FAILED, error);
            // A monitor still in use stays installed, and keeps its configuration with it.
            if (error == ERROR_PRINT_MONITOR_IN_USE) context.monitorsInUse.insert(TextKey(name));
        }
        if (context.osVersion.IsWin32s() || context.monitorsInUse.count(TextKey(name))) continue;
        char key[2 * TEXT_SIZE];
        snprintf(key, sizeof key, "%s%s", kMonitorsKey, name);
        // The monitor's key is asked as any other key: only the key of a monitor this run removes may go.
        const std::string keyItem = std::string("HKEY_LOCAL_MACHINE\\") + key;
        if (context.Refused(ItemKind::RegistryKey, keyItem, context.keeper->RegistryKey(HKEY_LOCAL_MACHINE, key, false))) continue;
        if (!context.Save(ItemKind::RegistryKey, keyItem, CSavedForm::Key(HKEY_LOCAL_MACHINE, key))) continue;
        LONG deleted = RegDeleteKeyA(HKEY_LOCAL_MACHINE, key);
        context.ReportResult(ItemKind::RegistryKey, keyItem, static_cast<DWORD>(deleted));
    }
}

int ReleasePrintProcessor(const char* processorName) {
    DWORD count = 0;
    std::vector<BYTE> list = FetchSpoolerList(
        [](LPBYTE buffer, DWORD size, LPDWORD needed, LPDWORD returned) {
            return EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, buffer, size, needed, returned);
        },
        count);
    if (count == 0) return 1;
    const PRINTER_INFO_2A* printers = reinterpret_cast<const PRINTER_INFO_2A*>(list.data());
    int released = 1;
    for (DWORD i = 0; i < count; ++i) {
        const PRINTER_INFO_2A& p = printers[i];
        if (!p.pPrintProcessor || !p.pPrinterName || _strcmpi(p.pPrintProcessor, processorName) != 0) continue;
        if (!SetProcessor(p.pPrinterName, "WinPrint", NULL)) {
            released = 0;
            continue;
        }
        SetProcessor(p.pPrinterName, NULL, "RAW");
    }
    return released;
}

void RemovePrintProcessors(CRemovalContext& context, const char* server, const char* environment) {
    DWORD count = 0;
    std::vector<BYTE> list = FetchSpoolerList(
        [&](LPBYTE buffer, DWORD size, LPDWORD needed, LPDWORD returned) {
            return EnumPrintProcessorsA(const_cast<LPSTR>(server), const_cast<LPSTR>(environment), 1, buffer, size,
                                        needed, returned);
        },
        count);
    const PRINTPROCESSOR_INFO_1A* processors = reinterpret_cast<const PRINTPROCESSOR_INFO_1A*>(list.data());
    for (DWORD i = 0; i < count; ++i) {
        const char* installed = processors[i].pName;
        const char* listed = NULL;
        for (const char* name : context.database->removal.printProcessors)
            if (installed && _strcmpi(name, installed) == 0) {
                listed = name;
                break;
            }
        if (!listed) continue;
        if (context.Refused(ItemKind::Processor, listed, context.keeper->PrintProcessor(listed))) continue;
        const std::string item = std::string(listed) + " (" + (environment ? environment : "local environment") + ")";
        // The processor's library as its key names it, before the spooler forgets it.
        char key[3 * TEXT_SIZE] = "";
        if (context.osVersion.IsWin9x())
            snprintf(key, sizeof key, "%sWindows 4.0\\Print Processors\\%s", kEnvironmentsKey, listed);
        else if (context.osVersion.IsWinNT())
            snprintf(key, sizeof key, "%s%s\\Print Processors\\%s", kEnvironmentsKey,
                     environment && environment[0] ? environment : "Windows NT x86", listed);
        CBackupRecord record;
        if (!context.Save(ItemKind::Processor, item,
                          RecordProcessor(listed, environment, key, record) ? CSavedForm::Record(record)
                                                                            : CSavedForm::Nothing()))
            return;
        if (!ReleasePrintProcessor(listed)) {
            context.Report(ItemKind::Processor, item, CRunLog::FAILED, GetLastError(),
                           "a printer that uses it could not be switched to WinPrint");
            continue;
        }
        if (DeletePrintProcessorA(const_cast<LPSTR>(server), const_cast<LPSTR>(environment), const_cast<LPSTR>(listed))) {
            context.Report(ItemKind::Processor, item, CRunLog::REMOVED);
        } else {
            const DWORD error = GetLastError();
            if (error == ERROR_UNKNOWN_PRINTPROCESSOR)
                context.Report(ItemKind::Processor, item, CRunLog::NOT_THERE);
            else
                context.Report(ItemKind::Processor, item, CRunLog::FAILED, error);
        }
        if (!key[0]) continue;
        if (!context.Save(ItemKind::RegistryKey, std::string("HKEY_LOCAL_MACHINE\\") + key, CSavedForm::Key(HKEY_LOCAL_MACHINE, key)))
            continue;
        LONG deleted = RegDeleteKeyA(HKEY_LOCAL_MACHINE, key);
        context.ReportResult(ItemKind::RegistryKey, std::string("HKEY_LOCAL_MACHINE\\") + key, static_cast<DWORD>(deleted));
    }
}
