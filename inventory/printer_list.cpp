// The installed printers: enumeration into the database's printer list, classification (family,
// paved, foreign, default, connection) and the MFG / PRN / UNPAV command-line filter.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "base/host.h"
#include "inventory/loading_dlg.h"

namespace {

const char kFamilyMarker[] = "VestralDriver04";
const char kPavaneName[] = "PavPrinter";
const DWORD kDataSize = 256;
// The largest printer list taken: what the spooler reports beyond it cannot be a real list of printers.
const DWORD kMaxListSize = 16 * 1024 * 1024;

// A malloc'd buffer that is freed with its owner.
class HeapBuffer {
public:
    HeapBuffer() : data_(NULL), size_(0) {}
    ~HeapBuffer() { free(data_); }
    HeapBuffer(const HeapBuffer&) = delete;
    HeapBuffer& operator=(const HeapBuffer&) = delete;
    // Replaces the buffer by one of size bytes; false (the old one kept) when there is no memory.
    bool Reset(DWORD size) {
        BYTE* fresh = static_cast<BYTE*>(malloc(size ? size : 1));
        if (!fresh) return false;
        free(data_);
        data_ = fresh;
        size_ = size;
        return true;
    }
    BYTE* Data() const { return data_; }
    DWORD Size() const { return size_; }

private:
    BYTE* data_;
    DWORD size_;
};

// The printer name of record i of an enumeration at the given level.
LPSTR EnumeratedName(const BYTE* records, DWORD level, DWORD i) {
    switch (level) {
    case 4: return reinterpret_cast<const PRINTER_INFO_4A*>(records)[i].pPrinterName;
    case 5: return reinterpret_cast<const PRINTER_INFO_5A*>(records)[i].pPrinterName;
    default: return reinterpret_cast<const PRINTER_INFO_2A*>(records)[i].pPrinterName;
    }
}

}  // namespace

int CLoadingDlg::BuildListOfInstalledPrinters(CPrinterList& printers) {
    const bool win32s = osVersion.IsWin32s();
    const DWORD level = osVersion.IsWinNT() ? 4 : osVersion.IsWin9x() ? 5 : 2;

    DWORD needed = 0;
    DWORD returned = 0;
    // An error left over from an earlier call must not read as a spooler that does not answer.
    SetLastError(ERROR_SUCCESS);
    EnumPrintersA(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, NULL, level, NULL, 0, &needed, &returned);
    if (needed == 0) {
        if (GetLastError() == RPC_S_SERVER_UNAVAILABLE) {
            const char* text = textResources.GetString(IDS_SPOOLER_NOT_RESPONDING);
            const char* caption = textResources.GetString(IDS_CAPTION);
            failure = FAILURE_SPOOLER_NOT_ANSWERING;
            RunMessageBox(hwnd, text, caption, MB_ICONERROR);
            EndLoading(0);
        }
        return 0;
    }

    HeapBuffer list;
    HeapBuffer info2;
    HANDLE printer = NULL;
    int count = 0;
    _QuickExceptionInfo failure;
    try {
        if (needed > kMaxListSize || !list.Reset(needed)) {
            failure = {0, "_alloca", "FAILED to ALLOCA!!!", "Bytes needed", needed, NULL, 0};
            failure.lastError = GetLastError();
            throw failure;
        }
        if (!EnumPrintersA(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, NULL, level, list.Data(), list.Size(),
                           &needed, &returned)) {
            failure = {GetLastError(), "EnumPrinters", "failed to enum printers", "Bytes needed", needed,
                       "bytes returned", returned};
            throw failure;
        }

        // The default printer as the profile records it: the device line up to its first comma.
        char defaultName[256] = "";
        GetProfileStringA("windows", "device", "", defaultName, sizeof defaultName);
        NextToken(defaultName, ',');

        char computer[16] = "";
        if (!win32s) {
            DWORD size = sizeof computer;
            GetComputerNameA(computer, &size);
        }

        for (DWORD i = 0; i < returned; ++i) {
            PRINTER_DEFAULTSA defaults = {NULL, NULL, PRINTER_READ};
            printer = NULL;
            if (!OpenPrinterA(EnumeratedName(list.Data(), level, i), &printer, &defaults)) continue;

            CPrinterEntry entry;
            entry.isListed = 1;
            BYTE data[kDataSize + 1];
            DWORD dataNeeded = 0;
            memset(data, 0, sizeof data);
            if (GetPrinterDataA(printer, const_cast<LPSTR>(kFamilyMarker), NULL, data, kDataSize, &dataNeeded) ==
                    ERROR_SUCCESS ||
                win32s)
                entry.isFamily = 1;
            memset(data, 0, sizeof data);
            if (GetPrinterDataA(printer, const_cast<LPSTR>(kPavaneName), NULL, data, kDataSize, &dataNeeded) ==
                ERROR_SUCCESS)
                CopyText(entry.pavedName, reinterpret_cast<const char*>(data));  // data[kDataSize] stays NUL

            DWORD info2Needed = 0;
            if (!GetPrinterA(printer, 2, info2.Data(), info2.Size(), &info2Needed)) {
                if (info2Needed) {
                    if (!info2.Reset(info2Needed)) {
                        failure = {GetLastError(), "GetPrinter", "unable to GetPrinter level 2 data", "hPrinter",
                                   reinterpret_cast<ULONG_PTR>(printer), "Buffer", info2Needed};
                        throw failure;
                    }
                } else if (!info2.Data()) {
                    // Nothing to read the printer into: counted, but not listed.
                    ++count;
                    ClosePrinter(printer);
                    printer = NULL;
                    continue;
                }
            }
            if (!GetPrinterA(printer, 2, info2.Data(), info2.Size(), &info2Needed)) {
                failure = {GetLastError(), "GetPrinter", "unable to GetPrinter level 2 data", "hPrinter",
                           reinterpret_cast<ULONG_PTR>(printer), "Buffer", info2Needed};
                throw failure;
            }
            const PRINTER_INFO_2A* details = reinterpret_cast<const PRINTER_INFO_2A*>(info2.Data());

            // The default printer: by its attribute, or named exactly (letter case counts) in the profile.
            if ((details->Attributes & PRINTER_ATTRIBUTE_DEFAULT) ||
                (details->pPrinterName && strcmp(details->pPrinterName, defaultName) == 0))
                entry.isDefault = 1;
            CopyText(entry.printerName, details->pPrinterName);
            CopyText(entry.driverName, details->pDriverName);
            // A connection to another server; this computer's own name is compared without backslashes.
            if (!win32s && details->pServerName && *details->pServerName &&
                _strcmpi(details->pServerName, computer) != 0)
                CopyText(entry.location, details->pServerName);
            if (!entry.isFamily && entry.pavedName.empty()) entry.isForeign = 1;
            if (!PassesCommandLineFilter(entry)) {
                entry.isListed = 0;
                entry.isKept = 1;
            }
            printers.AddCopy(entry);

            ++count;
            ClosePrinter(printer);
            printer = NULL;
        }
    } catch (const _QuickExceptionInfo& info) {
        if (printer) ClosePrinter(printer);
        DescribeFailure(info);
        return 0;
    }
    return count;
}

bool CLoadingDlg::PassesCommandLineFilter(const CPrinterEntry& entry) const {
    bool matches = true;
    if (options.HasOption("MFG") || options.HasOption("PRN"))
        matches = OptionValueMatches("MFG", entry.driverName.c_str(), true) ||
                  OptionValueMatches("PRN", entry.driverName.c_str(), false);
    if (options.HasOption("UNPAV")) return !entry.pavedName.empty();
    return matches;
}

bool CLoadingDlg::OptionValueMatches(const char* option, const char* driverName, bool prefix) const {
    char values[256];
    memset(values, 0, sizeof values);
    DWORD size = sizeof values;
    // Values that do not fit, or no values at all, match nothing.
    if (!options.GetOptionValues(option, values, &size) || size == 0) return false;
    for (char* item = values; item; item = NextToken(item, 0)) {
        char value[TEXT_SIZE];
        CopyText(value, item);
        TrimChar(value, '"');
        const bool match = prefix ? _strnicmp(driverName, value, strlen(value)) == 0 : _strcmpi(driverName, value) == 0;
        if (match) return true;
    }
    return false;
}

void CLoadingDlg::DescribeFailure(const _QuickExceptionInfo& info) {
    snprintf(diagnostic, sizeof diagnostic, "%s \n%s%s \n%s%lu \n%s%s \n%s: %llu \n%s: %lu",
             "CLoadingDlg::BuildListOfInstalledPrinters failed", "Function: ", info.function,
             "Last Error Code: ", static_cast<unsigned long>(info.lastError), "Desc: ", info.description,
             info.label1, static_cast<unsigned long long>(info.value1), info.label2 ? info.label2 : "",
             static_cast<unsigned long>(info.value2));
    enumerationFailed = 1;
    if (log) log->Write("loading", std::string("the printer enumeration failed: ") + diagnostic);
}

int CUninstallDatabase::ListedPrinterCount() const {
    int n = 0;
    for (const CPrinterEntry& p : printers)
        if (!p.isForeign && !p.isDeleted && p.isListed) ++n;
    return n;
}
