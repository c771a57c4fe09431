// What every winspool entry point shares (private to simwin's src/): the spooler must answer, the server
// named must be this one, the environment must be known, the user may have to administer the server, a
// declared fault may fail the call; printer handles; and the size-query-then-fetch packing of records with
// their strings after them.
//
// On the NT family a stopped or hung Spooler service does not answer and every call fails with
// RPC_S_SERVER_UNAVAILABLE.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "simwin/machine.h"
#include "simwin/win32.h"

#include "record_layout.h"

namespace simwin {
namespace winspool {

const DWORD RPC_X_NULL_REF_POINTER = 1780;

struct PrinterHandle : HandleObject {
    int printerId = 0;  // 0: a handle of the print server itself
    DWORD access = 0;
};

bool isNt();
// False with RPC_S_SERVER_UNAVAILABLE when the spooler does not answer.
bool spoolerAnswers();
// May the process administer printers: on the NT family only a token that holds Administrators
// for more than deny checks; the Windows 9x family has no printer security.
bool mayAdminister();

std::string hex(DWORD v);
// Logs the call and applies a fault the machine declares for it: true when the call is to fail
// (the error is set).
bool faulted(const char* function, const std::string& details, LPDWORD needed = nullptr);

bool isOwnServer(const std::string& name);
// A printer name with this computer's server prefix ("\\PC01\Office") names the local printer.
std::string withoutOwnServer(const std::string& name);
// A server argument: null, empty or this computer; else false with ERROR_INVALID_NAME.
bool checkServer(LPSTR server);
// The server is this one and the level 1, as the directory queries ask.
bool checkServerAndLevel(LPSTR server, DWORD level);
// A directory's path into a caller's buffer, with the size query.
BOOL directoryResult(const std::string& dir, LPBYTE buffer, DWORD size, LPDWORD needed);

// An environment argument: null or empty is the local one; "all" (where allowed) every one. The known
// environments are those with a driver directory. False with ERROR_INVALID_ENVIRONMENT otherwise.
bool resolveEnvironment(LPSTR environment, std::string& out, bool allowAll = false);

// The start of a call that changes the server's spooler: it answers, the server is this one, the user
// may administer it, and the environment is known.
bool enterServerChange(const char* function, LPSTR server, LPSTR environment, LPSTR name, std::string& env);
// The start of a call that installs something on the server: as for a change, with a record of a known level.
bool enterInstall(const char* function, LPSTR server, DWORD level, bool levelKnown, LPBYTE info);

// The handle's printer, or nullptr with ERROR_INVALID_HANDLE (not a printer handle, a server handle, or a
// printer deleted since).
Printer* printerOf(HANDLE printer, PrinterHandle** handle = nullptr);
// A printer pending deletion goes with its last job.
void finishPendingDeletion(Printer& p);

std::string baseName(const std::string& path);

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
    const size_t total = measureRecords(items, layout);
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

template <typename T>
void eraseFrom(std::vector<T>& list, const T* item) {
    list.erase(list.begin() + (item - list.data()));
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
    const Layout<Item>* layout = layoutOf(levels, level);
    if (!layout) SetLastError(ERROR_INVALID_LEVEL);
    return layout;
}

}  // namespace winspool
}  // namespace simwin
