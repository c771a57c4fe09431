#include "removal/printer_remover.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "base/device_nodes.h"
#include "base/host.h"

namespace {

const DWORD kUniqueIdSize = 32;
const char* const kUserPrinterKeys[] = {"Printers\\DevModes2", "Printers\\Settings",
                                        "Software\\Microsoft\\Windows NT\\CurrentVersion\\Devices",
                                        "Software\\Microsoft\\Windows NT\\CurrentVersion\\PrinterPorts"};
const char kPrintersKey[] = "System\\CurrentControlSet\\control\\Print\\Printers";
const int kMaxDevices = 10000;
const size_t kHardwareIdBytes = 512;

HANDLE OpenForRemoval(const char* name) {
    PRINTER_DEFAULTSA defaults = {NULL, NULL, PRINTER_ALL_ACCESS};
    HANDLE printer = NULL;
    if (!OpenPrinterA(const_cast<LPSTR>(name), &printer, &defaults)) return INVALID_HANDLE_VALUE;
    return printer;
}

void CancelJobs(const CRemovalContext& context, HANDLE printer, const char* name) {
    DWORD needed = 0, returned = 0;
    EnumJobsA(printer, 0, 100, 1, NULL, 0, &needed, &returned);
    if (!needed) return;
    std::vector<BYTE> buffer(needed, 0);
    if (!EnumJobsA(printer, 0, 100, 1, buffer.data(), needed, &needed, &returned)) return;
    std::vector<DWORD> ids;
    for (DWORD i = 0; i < returned; ++i) ids.push_back(reinterpret_cast<JOB_INFO_1A*>(buffer.data())[i].JobId);
    for (DWORD id : ids) {
        const std::string job = std::string(name) + ", job " + std::to_string(id);
        // A cancelled job cannot come back: the journal only names it.
        if (!context.Save(ItemKind::Job, job, CSavedForm::Nothing())) return;
        BOOL cancelled = SetJobA(printer, id, 0, NULL, JOB_CONTROL_CANCEL);
        BOOL deleted = SetJobA(printer, id, 0, NULL, JOB_CONTROL_DELETE);
        // Cancelling takes the job out of the queue already; the deletion then finds no such job.
        if (cancelled || deleted)
            context.Report(ItemKind::Job, job, CRunLog::REMOVED);
        else
            context.Report(ItemKind::Job, job, CRunLog::FAILED, GetLastError());
    }
}

// The printer's UniqueID, read as the platform keeps it; false when it is missing or does not fit.
bool ReadUniqueId(const CRemovalContext& context, HANDLE printer, const char* name, char* id) {
    memset(id, 0, kUniqueIdSize);
    DWORD needed = 0;
    if (context.osVersion.IsWin9x()) {
        char keyName[2 * TEXT_SIZE];
        snprintf(keyName, sizeof keyName, "%s\\%s\\PrinterDriverData", kPrintersKey, name);
        HKEY key = NULL;
        if (RegOpenKeyA(HKEY_LOCAL_MACHINE, keyName, &key) != ERROR_SUCCESS) return false;
        needed = kUniqueIdSize;
        LONG r = RegQueryValueExA(key, "UniqueID", NULL, NULL, reinterpret_cast<LPBYTE>(id), &needed);
        RegCloseKey(key);
        if (r != ERROR_SUCCESS) return false;
    } else if (GetPrinterDataA(printer, const_cast<LPSTR>("UniqueID"), NULL, reinterpret_cast<LPBYTE>(id), kUniqueIdSize,
                               &needed) != ERROR_SUCCESS) {
        return false;
    }
    id[kUniqueIdSize - 1] = 0;
    return true;
}

// HKEY_CLASSES_ROOT\<UniqueID> and its direct subkeys: the family's class registration of the printer. A
// UniqueID that is a path, that names a class key Windows needs or a class that runs another program, stays.
void RemoveClassKey(const CRemovalContext& context, const char* id) {
    if (!id[0]) return;
    const CRefusal refusal = strpbrk(id, "\\/") ? CRefusal::By("path-form", "a UniqueID names a key, not a path")
                                                : context.keeper->RegistryKey(HKEY_CLASSES_ROOT, id, false);
    if (context.Refused(ItemKind::RegistryKey, std::string("HKEY_CLASSES_ROOT\\") + id, refusal)) return;
    if (!context.Save(ItemKind::RegistryKey, std::string("HKEY_CLASSES_ROOT\\") + id, CSavedForm::Key(HKEY_CLASSES_ROOT, id)))
        return;
    HKEY key = NULL;
    if (RegOpenKeyA(HKEY_CLASSES_ROOT, id, &key) == ERROR_SUCCESS) {
        char sub[256];
        while (RegEnumKeyA(key, 0, sub, sizeof sub) == ERROR_SUCCESS && RegDeleteKeyA(key, sub) == ERROR_SUCCESS) {
        }
        RegCloseKey(key);
    }
    LONG deleted = RegDeleteKeyA(HKEY_CLASSES_ROOT, id);
    context.ReportKeyResult(HKEY_CLASSES_ROOT, id, std::string("HKEY_CLASSES_ROOT\\") + id, static_cast<DWORD>(deleted));
}

void RemoveUsbNodes(const CRemovalContext& context) {
    // The default script beside a tool run from a folder a user can write could name any device.
    if (!context.keeper->ProgramFolderTrusted()) return;
    const std::string script = CHost::Current().DefaultScriptPath();
    char hardwareId[257] = "";
    GetPrivateProfileStringA("Strings", "HARDWARE_ID_1", "", hardwareId, sizeof hardwareId, script.c_str());
    int pid = static_cast<int>(GetPrivateProfileIntA("Strings", "USB_PID", 0, script.c_str()));
    int vid = static_cast<int>(GetPrivateProfileIntA("Strings", "USB_VID", 0, script.c_str()));
    if (hardwareId[0] && vid && pid) RemoveUsbDevice(hardwareId, vid, pid, &context);
}

void RemoveUserValues(const CRemovalContext& context, const char* name) {
    for (const char* keyName : kUserPrinterKeys) {
        HKEY key = NULL;
        if (RegOpenKeyA(HKEY_CURRENT_USER, keyName, &key) != ERROR_SUCCESS) continue;
        const std::string item = std::string("HKEY_CURRENT_USER\\") + keyName + "\\" + name;
        if (!context.Save(ItemKind::RegistryValue, item, CSavedForm::Value(HKEY_CURRENT_USER, keyName, name))) {
            RegCloseKey(key);
            continue;
        }
        LONG deleted = RegDeleteValueA(key, name);
        RegCloseKey(key);
        context.ReportResult(ItemKind::RegistryValue, item, static_cast<DWORD>(deleted));
    }
}

void QueuePrinterKeys(CRemovalContext& context, const char* name) {
    char item[TEXT_SIZE];
    // HKLM,"<key> and an empty value field: stage 15 trims the quotes and deletes the key.
    snprintf(item, sizeof item, "HKLM,\"%s\\%s\\PrinterDriverData,\"\"", kPrintersKey, name);
    context.database->removal.registryKeys.Add(item);
    snprintf(item, sizeof item, "HKLM,\"%s\\%s,\"\"", kPrintersKey, name);
    context.database->removal.registryKeys.Add(item);
}

// Whether a printer is still installed after its deletion (it waits for its jobs), and how many are left.
bool StillInstalled(const char* name, DWORD& jobs) {
    jobs = 0;
    HANDLE printer = NULL;
    if (!OpenPrinterA(const_cast<LPSTR>(name), &printer, NULL) || !printer) return false;
    DWORD needed = 0;
    GetPrinterA(printer, 2, NULL, 0, &needed);
    if (needed) {
        std::vector<BYTE> buffer(needed, 0);
        if (GetPrinterA(printer, 2, buffer.data(), needed, &needed))
            jobs = reinterpret_cast<const PRINTER_INFO_2A*>(buffer.data())->cJobs;
    }
    ClosePrinter(printer);
    return true;
}

// One local printer: jobs, class key, the printer, its USB nodes. False when it could not be opened.
bool RemoveLocalPrinter(CRemovalContext& context, CPrinterEntry& p, bool& defaultDeleted) {
    HANDLE printer = OpenForRemoval(p.printerName.c_str());
    if (printer == INVALID_HANDLE_VALUE) {
        p.isDeleted = 1;  // a printer that cannot be opened is treated as gone
        const DWORD error = GetLastError();
        if (error == ERROR_INVALID_PRINTER_NAME) {
            context.Report(ItemKind::Printer, p.printerName.c_str(), CRunLog::NOT_THERE);
            // A default printer that is gone already (a removal cut short deleted it) still needs a successor.
            if (p.isDefault) defaultDeleted = true;
        }
        else
            context.Report(ItemKind::Printer, p.printerName.c_str(), CRunLog::FAILED, error, "it cannot be opened");
        return false;
    }
    if (!printer) {
        context.Report(ItemKind::Printer, p.printerName.c_str(), CRunLog::FAILED, 0, "it opened without a handle");
        return false;
    }
    CancelJobs(context, printer, p.printerName.c_str());
    char id[kUniqueIdSize];
    if (ReadUniqueId(context, printer, p.printerName.c_str(), id)) RemoveClassKey(context, id);
    CBackupRecord record;
    const bool recorded = RecordPrinter(p.printerName.c_str(), record);
    if (!context.Save(ItemKind::Printer, p.printerName.c_str(), recorded ? CSavedForm::Record(record) : CSavedForm::Nothing())) {
        ClosePrinter(printer);
        return true;
    }
    const bool deleted = DeletePrinter(printer) != 0;
    const DWORD error = deleted ? 0 : GetLastError();
    ClosePrinter(printer);
    if (!deleted) {
        context.Report(ItemKind::Printer, p.printerName.c_str(), CRunLog::FAILED, error);
        return true;
    }
    p.isDeleted = 1;
    if (p.isDefault) defaultDeleted = true;
    // A printer whose jobs could not be cancelled goes with its last job: until then it stays, with its
    // device.
    DWORD jobs = 0;
    if (StillInstalled(p.printerName.c_str(), jobs)) {
        const std::string left = std::to_string(jobs) + (jobs == 1 ? " job left" : " jobs left");
        context.Report(ItemKind::Printer, p.printerName.c_str(), CRunLog::PENDING, 0, left.c_str());
        return true;
    }
    context.Report(ItemKind::Printer, p.printerName.c_str(), CRunLog::REMOVED);
    RemoveUsbNodes(context);
    return true;
}

// The first hardware ID of a device node, or false.
bool FirstHardwareId(DEVINST node, char* id, ULONG size) {
    memset(id, 0, size);
    ULONG length = size;
    return CM_Get_DevNode_Registry_PropertyA(node, CM_DRP_HARDWAREID, NULL, id, &length, 0) == CR_SUCCESS;
}

// Removes one device node, unless the keeper keeps it (the device of a printer that stays); the log names it
// by its instance ID (its first hardware ID when the ID cannot be read).
void RemoveNode(const CRemovalContext* context, HDEVINFO set, SP_DEVINFO_DATA& device) {
    char instance[MAX_DEVICE_ID_LEN + 1] = "";
    if (!SetupDiGetDeviceInstanceIdA(set, &device, instance, sizeof instance, NULL) || !instance[0])
        FirstHardwareId(device.DevInst, instance, sizeof instance);
    if (context && context->keeper && context->Refused(ItemKind::Device, instance, context->keeper->DeviceNode(instance))) return;
    // A device node comes back when its device is plugged in again: nothing is kept.
    if (context && !context->Save(ItemKind::Device, instance, CSavedForm::Nothing())) return;
    const BOOL removed = SetupDiRemoveDevice(set, &device);
    const DWORD error = removed ? 0 : GetLastError();
    if (!context) return;
    if (removed)
        context->Report(ItemKind::Device, instance, CRunLog::REMOVED);
    else
        context->Report(ItemKind::Device, instance, CRunLog::FAILED, error);
}


// The text with its first "%s" replaced by the name. The text may come from an INI file (a redirected
// string), so it is never used as a format: any other "%" stays as it is.
void FillName(char* out, size_t size, const char* text, const char* name) {
    const char* at = strstr(text, "%s");
    if (!at) {
        CopyTextN(out, text, size);
        return;
    }
    snprintf(out, size, "%.*s%s%s", static_cast<int>(at - text), text, name, at + 2);
}

// On Win32s the device line names the driver by its file without the extension, as WIN.INI always did;
// when the driver cannot be read the driver name stays.
void UseDriverFileName(const char* printerName, char* driver) {
    HANDLE printer = NULL;
    if (!OpenPrinterA(const_cast<LPSTR>(printerName), &printer, NULL) || !printer) return;
    DWORD needed = 0;
    GetPrinterDriverA(printer, NULL, 2, NULL, 0, &needed);
    if (needed) {
        std::vector<BYTE> buffer(needed, 0);
        if (GetPrinterDriverA(printer, NULL, 2, buffer.data(), needed, &needed)) {
            const DRIVER_INFO_2A* info = reinterpret_cast<const DRIVER_INFO_2A*>(buffer.data());
            char fname[_MAX_FNAME] = "";
            if (info->pDriverPath) _splitpath(info->pDriverPath, NULL, NULL, fname, NULL);
            if (fname[0]) CopyText(driver, fname);
        }
    }
    ClosePrinter(printer);
}

}  // namespace

// Whether a device's hardware ID is the script's: the same ID, or one the script's ID begins as far as a
// "\" or "&" and past the ID's class part. "USB\VID_0ABC&PID_0012" is the ID of
// "USB\VID_0ABC&PID_0012&REV_0100"; a bare "USBPRINT\" or "USB\" names no device. Letter case counts.
bool MatchesHardwareId(const char* id, const char* target, size_t targetLength) {
    const char* classEnd = strchr(target, '\\');
    if (!classEnd || !classEnd[1]) return false;
    if (strncmp(id, target, targetLength) != 0) return false;
    const char next = id[targetLength];
    return next == 0 || next == '\\' || next == '&';
}

void RemoveUsbDevice(const char* hardwareId, int vendorId, int productId, const CRemovalContext* context) {
    char target[TEXT_SIZE];
    if (hardwareId && hardwareId[0])
        CopyText(target, hardwareId);
    else
        snprintf(target, sizeof target, "USB\\VID_%04X&PID_%04X", vendorId & 0xFFFF, productId & 0xFFFF);
    const size_t targetLength = strlen(target);
    const bool usbTarget = strncmp(target, "USB\\", 4) == 0;
    bool found = false, childHandled = false;
    // The USB nodes to remove once the scan is over: each printing node's parent, or a USB node without a
    // printing child (several printers of one model each take their own).
    std::vector<DEVINST> remembered;
    CDeviceNodes nodes;
    if (nodes.Valid()) {
        HDEVINFO set = nodes.Set();
        SP_DEVINFO_DATA device;
        std::vector<std::string> ids;
        for (DWORD index = 0; index < kMaxDevices && nodes.At(index, device); ++index) {
            if (!nodes.HardwareIds(device, kHardwareIdBytes, ids)) continue;
            for (size_t n = 0; n < 10 && n < ids.size(); ++n) {
                const char* id = ids[n].c_str();
                if (!MatchesHardwareId(id, target, targetLength)) continue;
                char first[256];
                if (!usbTarget) {
                    DEVINST parent = 0;
                    const bool keptHere = context && context->keeper && [&] {
                        const std::string instance = nodes.InstanceId(device);
                        return !instance.empty() && context->keeper->DeviceNode(instance.c_str());
                    }();
                    if (!keptHere && CM_Get_Parent(&parent, device.DevInst, 0) == CR_SUCCESS &&
                        FirstHardwareId(parent, first, sizeof first) && strncmp(first, "USB\\", 4) == 0)
                        remembered.push_back(parent);
                    RemoveNode(context, set, device);
                    found = true;
                } else {
                    DEVINST child = 0;
                    if (CM_Get_Child(&child, device.DevInst, 0) == CR_SUCCESS && FirstHardwareId(child, first, sizeof first) &&
                        strncmp(first, "USBPRINT", 8) == 0) {
                        RemoveUsbDevice(first, 0, 0, context);
                        found = childHandled = true;
                    } else {
                        found = true;
                        if (!childHandled) remembered.push_back(device.DevInst);
                    }
                }
                break;
            }
        }
        for (DEVINST node : remembered) {
            for (DWORD index = 0; index < kMaxDevices && nodes.At(index, device); ++index) {
                if (device.DevInst != node) continue;
                char first[256];
                if (FirstHardwareId(device.DevInst, first, sizeof first) && strncmp(first, "USB\\", 4) == 0)
                    RemoveNode(context, set, device);
                break;
            }
        }
    }
    if (hardwareId && !found) RemoveUsbDevice(NULL, vendorId, productId, context);
}

int SetDefaultPrinter(CRemovalContext& context, char* name) {
    char chosen[TEXT_SIZE] = "";
    if (name && name[0]) {
        CopyText(chosen, name);
    } else {
        DWORD needed = 0, returned = 0;
        EnumPrintersA(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, NULL, 2, NULL, 0, &needed, &returned);
        if (needed) {
            std::vector<BYTE> list(needed, 0);
            if (EnumPrintersA(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, NULL, 2, list.data(), needed, &needed, &returned) &&
                returned)
                CopyText(chosen, reinterpret_cast<PRINTER_INFO_2A*>(list.data())->pPrinterName);
        }
        if (name) CopyText(name, chosen);
    }
    HANDLE printer = OpenForRemoval(chosen);
    if (printer == INVALID_HANDLE_VALUE || !printer) return 0;
    int marked = 0;
    DWORD needed = 0;
    GetPrinterA(printer, 2, NULL, 0, &needed);
    std::vector<BYTE> buffer(needed ? needed : 1, 0);
    if (needed && GetPrinterA(printer, 2, buffer.data(), needed, &needed)) {
        PRINTER_INFO_2A* info = reinterpret_cast<PRINTER_INFO_2A*>(buffer.data());
        info->Attributes |= PRINTER_ATTRIBUTE_DEFAULT;
        if (SetPrinterA(printer, 2, buffer.data(), 0)) marked = 1;
        if (!context.osVersion.IsWin9x()) {
            char driver[TEXT_SIZE];
            CopyText(driver, info->pDriverName ? info->pDriverName : "");
            if (context.osVersion.IsWin32s()) UseDriverFileName(chosen, driver);
            if (context.osVersion.IsWinNT()) CopyText(driver, "winspool");
            char line[3 * TEXT_SIZE];
            snprintf(line, sizeof line, "%s,%s,%s", chosen, driver, info->pPortName ? info->pPortName : "");
            if (WriteProfileStringA("windows", "device", line)) marked = 1;
        }
    }
    if (context.osVersion.IsWin32s())
        SendMessageA(HWND_BROADCAST, WM_WININICHANGE, 0, 0);
    else if (context.osVersion.IsWin9x())
        SendMessageTimeoutA(HWND_BROADCAST, WM_WININICHANGE, 0, reinterpret_cast<LPARAM>("windows"), SMTO_NORMAL, 1000, NULL);
    else
        SendMessageTimeoutA(HWND_BROADCAST, WM_WININICHANGE, 0, 0, SMTO_NORMAL, 1000, NULL);
    ClosePrinter(printer);
    return marked;
}

void RemovePrinters(CRemovalContext& context) {
    CPrinterList& printers = context.database->printers;
    char candidate[TEXT_SIZE] = "";
    bool defaultDeleted = false;
    for (CPrinterEntry& p : printers) {
        if (p.isKept || p.isForeign || p.isDeleted) {
            if (p.isKept && !p.isForeign && !p.isDeleted) context.Report(ItemKind::Printer, p.printerName.c_str(), CRunLog::KEPT, 0, "not chosen");
            CopyText(candidate, p.printerName.c_str());
            continue;
        }
        if (!p.location.empty()) {
            const std::string connection = "connection to " + p.location;
            CBackupRecord record;
            record.kind = "connection";
            record.Add("name", p.printerName.c_str());
            if (!context.Save(ItemKind::Printer, p.printerName.c_str(), CSavedForm::Record(record))) continue;
            if (DeletePrinterConnectionA(const_cast<LPSTR>(p.printerName.c_str()))) {
                p.isDeleted = 1;
                if (p.isDefault) defaultDeleted = true;
                context.Report(ItemKind::Printer, p.printerName.c_str(), CRunLog::REMOVED, 0, connection.c_str());
            } else {
                const DWORD error = GetLastError();
                context.Report(ItemKind::Printer, p.printerName.c_str(),
                               error == ERROR_INVALID_PRINTER_NAME ? CRunLog::NOT_THERE : CRunLog::FAILED,
                               error == ERROR_INVALID_PRINTER_NAME ? 0 : error, connection.c_str());
            }
            continue;
        }
        const bool opened = RemoveLocalPrinter(context, p, defaultDeleted);
        if (context.osVersion.IsWinNT()) RemoveUserValues(context, p.printerName.c_str());
        // On the 9x class a printer that could not be opened may still be there: it keeps its keys.
        if (context.osVersion.IsWin9x() && opened) QueuePrinterKeys(context, p.printerName.c_str());
        char vestralKey[2 * TEXT_SIZE];
        snprintf(vestralKey, sizeof vestralKey, "SOFTWARE\\VESTRAL\\%s", p.printerName.c_str());
        const std::string vestralItem = std::string("HKEY_CURRENT_USER\\") + vestralKey;
        if (context.Refused(ItemKind::RegistryKey, vestralItem, context.keeper->Printer(p.printerName.c_str()))) continue;
        if (!context.Save(ItemKind::RegistryKey, vestralItem, CSavedForm::Key(HKEY_CURRENT_USER, vestralKey))) continue;
        LONG deleted = RegDeleteKeyA(HKEY_CURRENT_USER, vestralKey);
        context.ReportResult(ItemKind::RegistryKey, vestralItem, static_cast<DWORD>(deleted));
    }
    if (!defaultDeleted) return;
    const char* caption = context.textResources->GetString(IDS_CAPTION);
    if (!candidate[0]) {
        RunMessageBox(context.window, context.textResources->GetString(IDS_DEFAULT_PRINTER_GONE), caption, MB_OK);
        return;
    }
    // The change of the default is journaled: a restore makes the removed printer the default again only while
    // the user has not chosen another since (the successor is still the default).
    std::string previous;
    for (const CPrinterEntry& p : printers)
        if (p.isDefault && p.isDeleted && !p.isKept && !p.isForeign) previous = p.printerName.c_str();
    CBackupRecord change;
    change.kind = "default";
    change.Add("previous", previous);
    change.Add("successor", candidate);
    if (!previous.empty() && !context.Save(ItemKind::DefaultPrinter, previous, CSavedForm::Record(change))) return;
    if (SetDefaultPrinter(context, candidate)) {
        for (CPrinterEntry& p : printers) p.isDefault = _strcmpi(p.printerName.c_str(), candidate) == 0 ? 1 : 0;
        if (!previous.empty())
            context.Report(ItemKind::DefaultPrinter, previous, CRunLog::REMOVED, 0, ("the default is now " + std::string(candidate)).c_str());
    } else if (!previous.empty()) {
        context.Report(ItemKind::DefaultPrinter, previous, CRunLog::FAILED, GetLastError(),
                       ("the default could not be moved to " + std::string(candidate)).c_str());
    }
    char text[1024];
    FillName(text, sizeof text, context.textResources->GetString(IDS_NEW_DEFAULT_PRINTER), candidate);
    RunMessageBox(context.window, text, caption, MB_OK);
}
