// setupapi's INF files on the current machine: the lists of a directory, the OEM INF files of the INF
// directory and, on Windows 8 and later, the driver store behind them (driver_store.h).
#include <cstring>
#include <string>

#include "simwin/machine.h"
#include "simwin/win32.h"

#include "driver_store.h"

using simwin::current;
namespace store = simwin::driverstore;

namespace {

BOOL fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

// A path into a caller's buffer of characters, with the size in RequiredSize; a short buffer fails with
// ERROR_INSUFFICIENT_BUFFER (a null buffer is the size query and fails so too).
BOOL pathResult(const std::string& path, PSTR buffer, DWORD size, PDWORD required) {
    const DWORD n = static_cast<DWORD>(path.size() + 1);
    if (required) *required = n;
    if (!buffer || size < n) return fail(ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(buffer, path.c_str(), n);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

// A published INF's path as the caller named it, resolved in the INF directory: "" with the error set when it
// names none.
std::string existingPublished(const std::string& name) {
    const std::string published = store::publishedPath(current(), name);
    if (published.empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return "";
    }
    const simwin::FileNode* node = current().files.find(published);
    if (!node || node->isDirectory) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return "";
    }
    return store::infDirectory(current()) + "\\" + node->name;
}

}  // namespace

namespace {

bool isWin4Inf(const std::string& text) {
    std::string signature;
    if (!simwin::profile::get(text, "Version", "Signature", signature)) return false;
    for (const char* s : {"$Windows NT$", "$Chicago$", "$Windows 95$"})
        if (simwin::iequals(signature, s)) return true;
    return false;
}

std::string infDirectory() { return current().system.windowsDir + "\\INF"; }

bool endsWithInf(const std::string& name) {
    return name.size() > 4 && simwin::iequals(name.substr(name.size() - 4), ".inf");
}

}  // namespace

BOOL WINAPI SetupGetInfFileListA(PCSTR DirectoryPath, DWORD InfStyle, PSTR ReturnBuffer, DWORD ReturnBufferSize,
                                 PDWORD RequiredSize) {
    std::string list;
    const simwin::FileNode* dir = current().files.find(DirectoryPath ? DirectoryPath : infDirectory());
    if (dir && dir->isDirectory) {
        for (auto& [name, node] : dir->children) {
            if (node->isDirectory || !endsWithInf(node->name)) continue;
            const bool win4 = isWin4Inf(node->content);
            if ((win4 && (InfStyle & INF_STYLE_WIN4)) || (!win4 && (InfStyle & INF_STYLE_OLDNT)))
                list += node->name + '\0';
        }
    }
    list += '\0';  // the empty name that ends the list (an empty list is this one NUL)
    const DWORD needed = static_cast<DWORD>(list.size());
    if (RequiredSize) *RequiredSize = needed;
    if (!ReturnBuffer) return TRUE;  // the size query
    if (ReturnBufferSize < needed) return fail(ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(ReturnBuffer, list.data(), needed);
    return TRUE;
}

BOOL WINAPI SetupUninstallOEMInfA(PCSTR InfFileName, DWORD Flags, PVOID Reserved) {
    if (!InfFileName) return fail(ERROR_INVALID_PARAMETER);
    const std::string name = InfFileName;
    // Only the OEM INF files of the INF directory can be uninstalled, named without a directory.
    if (name.find_first_of("\\/:") != std::string::npos || !simwin::startsWithI(name, "oem") || !endsWithInf(name))
        return fail(ERROR_INVALID_PARAMETER);
    const std::string inf = infDirectory() + "\\" + name;
    // Its store copy is found by the published INF's text, so it goes first.
    const std::string storeCopy = simwin::driverstore::storeCopyOf(current(), inf);
    // The model does not record which devices were installed from an INF, so without
    // SUOI_FORCEDELETE it is deleted as one that no device uses.
    if (!DeleteFileA(inf.c_str())) return FALSE;
    if (!storeCopy.empty()) current().files.removeNode(storeCopy.substr(0, storeCopy.find_last_of('\\')));
    const std::string pnf = inf.substr(0, inf.size() - 4) + ".pnf";
    if (current().files.exists(pnf)) DeleteFileA(pnf.c_str());
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL WINAPI SetupCopyOEMInfA(PCSTR SourceInfFileName, PCSTR OEMSourceMediaLocation, DWORD OEMSourceMediaType,
                             DWORD CopyStyle, PSTR DestinationInfFileName, DWORD DestinationInfFileNameSize,
                             PDWORD RequiredSize, PSTR* DestinationInfFileNameComponent) {
    (void)OEMSourceMediaLocation;
    (void)CopyStyle;
    if (!SourceInfFileName || OEMSourceMediaType > SPOST_PATH + 1) return fail(ERROR_INVALID_PARAMETER);
    const simwin::PathLookup source = current().files.lookup(SourceInfFileName);
    if (source.error) return fail(source.error);
    if (source.node->isDirectory) return fail(ERROR_ACCESS_DENIED);
    const std::string directory = infDirectory();
    simwin::FileNode* dir = current().files.find(directory);
    if (!dir) return fail(ERROR_PATH_NOT_FOUND);
    std::string name;
    for (auto& [key, node] : dir->children)
        if (!node->isDirectory && simwin::startsWithI(node->name, "oem") && endsWithInf(node->name) &&
            node->content == source.node->content) {
            name = node->name;
            break;
        }
    for (int n = 0; name.empty(); ++n) {
        const std::string candidate = "oem" + std::to_string(n) + ".inf";
        if (current().files.exists(directory + "\\" + candidate)) continue;
        if (!CopyFileA(source.full.c_str(), (directory + "\\" + candidate).c_str(), TRUE)) return FALSE;
        name = candidate;
    }
    const std::string full = directory + "\\" + name;
    // Windows 8 and later keep the package in the driver store under the INF's own name.
    if (simwin::driverstore::present(current())) simwin::driverstore::add(current(), source.name, source.node->content);
    if (RequiredSize) *RequiredSize = static_cast<DWORD>(full.size() + 1);
    if (DestinationInfFileName) {
        if (DestinationInfFileNameSize < full.size() + 1) return fail(ERROR_INSUFFICIENT_BUFFER);
        std::memcpy(DestinationInfFileName, full.c_str(), full.size() + 1);
        if (DestinationInfFileNameComponent)
            *DestinationInfFileNameComponent = DestinationInfFileName + full.size() - name.size();
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

// A store path gives its published INF, a published one itself (in its full form). Another path is no INF of
// either place (87); an INF that is not there, or a store copy without a published INF, is not found (2).
BOOL WINAPI SetupGetInfPublishedNameA(PCSTR DriverStoreLocation, PSTR ReturnBuffer, DWORD ReturnBufferSize,
                                      PDWORD RequiredSize) {
    if (!DriverStoreLocation || !*DriverStoreLocation) return fail(ERROR_INVALID_PARAMETER);
    const std::string full = current().files.fullPath(DriverStoreLocation);
    if (store::present(current()) && !full.empty() && store::inStore(current(), full)) {
        const std::string published = store::publishedOf(current(), current().files.lookup(full).full);
        if (published.empty()) return fail(ERROR_FILE_NOT_FOUND);
        return pathResult(published, ReturnBuffer, ReturnBufferSize, RequiredSize);
    }
    const std::string published = existingPublished(DriverStoreLocation);
    if (published.empty()) return FALSE;
    return pathResult(published, ReturnBuffer, ReturnBufferSize, RequiredSize);
}

// A published INF gives its store copy, a store path itself; a published INF without a copy is not found (2).
BOOL WINAPI SetupGetInfDriverStoreLocationA(PCSTR FileName, PSP_ALTPLATFORM_INFO AlternatePlatformInfo,
                                            PCSTR LocaleName, PSTR ReturnBuffer, DWORD ReturnBufferSize,
                                            PDWORD RequiredSize) {
    (void)AlternatePlatformInfo;
    (void)LocaleName;
    if (!FileName || !*FileName) return fail(ERROR_INVALID_PARAMETER);
    const std::string full = current().files.fullPath(FileName);
    if (store::present(current()) && !full.empty() && store::inStore(current(), full)) {
        const simwin::FileNode* node = current().files.find(full);
        if (!node || node->isDirectory) return fail(ERROR_FILE_NOT_FOUND);
        return pathResult(current().files.lookup(full).full, ReturnBuffer, ReturnBufferSize, RequiredSize);
    }
    const std::string published = existingPublished(FileName);
    if (published.empty()) return FALSE;
    const std::string copy = store::storeCopyOf(current(), published);
    if (copy.empty()) return fail(ERROR_FILE_NOT_FOUND);
    return pathResult(copy, ReturnBuffer, ReturnBufferSize, RequiredSize);
}
