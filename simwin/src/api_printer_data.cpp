// winspool's printer data (the values of a printer's PrinterDriverData) and its queued jobs.
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


}  // namespace

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
