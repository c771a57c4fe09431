#include "removal/driver_remover.h"

#include <stdio.h>
#include <string.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/library_loading.h"
#include "removal/published_inf.h"

namespace {

typedef BOOL(WINAPI* UninstallOemInf)(PCSTR, DWORD, PVOID);

const char* const kNtVersions[] = {"Version-0\\", "Version-1\\", "Version-2\\", "Version-3\\"};

bool PrinterOfThatNameExists(const char* name) {
    HANDLE printer = NULL;
    if (!OpenPrinterA(const_cast<LPSTR>(name), &printer, NULL)) return false;
    ClosePrinter(printer);
    return true;
}

void QueueDriverKeys(CRemovalContext& context, const char* environment, const char* name) {
    CUninstallProfile& removal = context.database->removal;
    char key[3 * TEXT_SIZE];
    if (context.osVersion.IsWin9x()) {
        snprintf(key, sizeof key, "System\\CurrentControlSet\\control\\Print\\Environments\\Windows 4.0\\Drivers\\%s", name);
        removal.AddRegistryEntry(HKEY_LOCAL_MACHINE, key, "", 0);
    } else if (context.osVersion.IsWinNT()) {
        for (const char* version : kNtVersions) {
            snprintf(key, sizeof key, "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\%s\\Drivers\\%s%s",
                     environment && environment[0] ? environment : "Windows NT x86", version, name);
            removal.AddRegistryEntry(HKEY_LOCAL_MACHINE, key, "", 0);
        }
    }
}

// A driver as the log names it: its name and its environment.
void ReportDriver(const CRemovalContext& context, const char* environment, const char* name, BOOL deleted, DWORD error) {
    const std::string item = std::string(name) + " (" + (environment ? environment : "local environment") + ")";
    if (deleted)
        context.Report(ItemKind::Driver, item, CRunLog::REMOVED);
    else if (error == ERROR_UNKNOWN_PRINTER_DRIVER)
        context.Report(ItemKind::Driver, item, CRunLog::NOT_THERE);
    else if (error == ERROR_PRINTER_DRIVER_IN_USE)
        context.Report(ItemKind::Driver, item, CRunLog::KEPT, error, "a printer that stays uses it");
    else
        context.Report(ItemKind::Driver, item, CRunLog::FAILED, error);
}

void UninstallInf(CRemovalContext& context, const char* driverName) {
    // A driver installed in several environments came from one INF: it is uninstalled once.
    if (!context.infsHandled.insert(TextKey(driverName)).second) return;
    char inf[MAX_PATH] = "";
    FindOemInf(inf, driverName);
    const std::string forDriver = std::string("for ") + driverName;
    char full[MAX_PATH];
    LPSTR filePart = NULL;
    if (!inf[0] || !GetFullPathNameA(inf, sizeof full, full, &filePart) || !filePart) {
        context.Report(ItemKind::Inf, "OEM INF of " + std::string(driverName), CRunLog::NOT_THERE);
        return;
    }
    // An INF a printer that stays came from (two models in one INF), or one of Windows, stays.
    if (context.Refused(ItemKind::Inf, inf, context.keeper->OemInf(inf))) return;
    // The INF and its compiled form, from the INF directory where SetupUninstallOEMInfA deletes them.
    char windows[MAX_PATH] = "";
    GetWindowsDirectoryA(windows, sizeof windows);
    const std::string infPath = std::string(windows) + "\\INF\\" + filePart;
    const std::string pnfPath = infPath.substr(0, infPath.size() - 4) + ".pnf";
    // The store's copy goes with them. It is kept last, so that a restore, taking the items backwards, has it
    // back before the INF and installs the package from it again under the name it came with.
    const std::string storeCopy = DriverStoreCopy(infPath);
    if (!context.Save(ItemKind::Inf, pnfPath, CSavedForm::File(pnfPath)) || !context.Save(ItemKind::Inf, inf, CSavedForm::File(infPath)) ||
        (!storeCopy.empty() && !context.Save(ItemKind::Inf, storeCopy, CSavedForm::File(storeCopy))))
        return;
    HMODULE setupapi = LoadSystemLibrary("setupapi.dll");
    if (!setupapi) {
        context.Report(ItemKind::Inf, inf, CRunLog::FAILED, GetLastError(), forDriver.c_str());
        return;
    }
    UninstallOemInf uninstall = reinterpret_cast<UninstallOemInf>(
        reinterpret_cast<void (*)()>(GetProcAddress(setupapi, "SetupUninstallOEMInfA")));
    if (uninstall) {
        if (uninstall(filePart, SUOI_FORCEDELETE, NULL)) {
            context.keeper->NoteUninstalledInf(inf);
            context.Report(ItemKind::Inf, inf, CRunLog::REMOVED, 0, forDriver.c_str());
            if (!storeCopy.empty())
                context.ReportResult(ItemKind::Inf, storeCopy, GetFileAttributesA(storeCopy.c_str()) == INVALID_FILE_ATTRIBUTES
                                                           ? ERROR_SUCCESS : ERROR_ACCESS_DENIED,
                                     "the driver store's copy");
        }
        else
            context.Report(ItemKind::Inf, inf, CRunLog::FAILED, GetLastError(), forDriver.c_str());
    } else {
        context.Report(ItemKind::Inf, inf, CRunLog::FAILED, GetLastError(), forDriver.c_str());
    }
    FreeLibrary(setupapi);
}

}  // namespace

void RemovePrinterDrivers(CRemovalContext& context, const char* environment) {
    DWORD needed = 0, count = 0;
    EnumPrinterDriversA(NULL, const_cast<LPSTR>(environment), 2, NULL, 0, &needed, &count);
    if (!needed) return;
    std::vector<BYTE> buffer(needed, 0);
    if (!EnumPrinterDriversA(NULL, const_cast<LPSTR>(environment), 2, buffer.data(), needed, &needed, &count) || !count)
        return;
    CTextList candidates;
    DriverCandidates(*context.database, candidates);
    // The names are copied: deleting a driver does not change the enumeration taken before. So is the
    // environment the spooler gives each driver: for the local call it is the platform's own ("Windows x64"
    // on 64-bit Windows), which is where a deleted driver's keys are.
    std::vector<std::pair<std::string, std::string>> installed;
    for (DWORD i = 0; i < count; ++i) {
        const DRIVER_INFO_2A& d = reinterpret_cast<const DRIVER_INFO_2A*>(buffer.data())[i];
        if (d.pName) installed.emplace_back(d.pName, d.pEnvironment ? d.pEnvironment : "");
    }
    // The candidates by key: each installed driver is looked up, not compared with every candidate.
    std::set<std::string> candidateKeys;
    for (const char* candidate : candidates) candidateKeys.insert(TextKey(candidate));
    for (const auto& driver : installed) {
        const char* name = driver.first.c_str();
        // A Pavane PostScript driver nobody uses goes unnamed, when it is the family's: never Windows's, another
        // maker's or one a printer that stays uses.
        if (!context.database->pavaneStays && strstr(name, "(PSCRIPT)") && !PrinterOfThatNameExists(name) &&
            !candidateKeys.count(TextKey(name)) && !context.keeper->Driver(name)) {
            candidates.Add(name);
            candidateKeys.insert(TextKey(name));
        }
        if (!candidateKeys.count(TextKey(name))) continue;
        const std::string item = name + std::string(" (") + (environment ? environment : "local environment") + ")";
        if (context.Refused(ItemKind::Driver, item, context.keeper->Driver(name))) continue;
        CBackupRecord record;
        const bool recorded = RecordDriver(name, environment, record);
        if (!context.Save(ItemKind::Driver, item, recorded ? CSavedForm::Record(record) : CSavedForm::Nothing())) return;
        context.keeper->NoteRemovedDriver(name);
        SetLastError(ERROR_SUCCESS);
        BOOL deleted = DeletePrinterDriverA(NULL, const_cast<LPSTR>(environment), const_cast<LPSTR>(name));
        ReportDriver(context, environment, name, deleted, GetLastError());
        // A driver that stays installed (another printer still uses it) keeps its keys and its INF.
        if (!deleted && GetLastError() != ERROR_UNKNOWN_PRINTER_DRIVER) continue;
        QueueDriverKeys(context, environment && environment[0] ? environment : driver.second.c_str(), name);
        UninstallInf(context, name);
    }
}
