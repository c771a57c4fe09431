// kernel32 on the current machine: files, directories, searches, paths.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "simwin/machine.h"
#include "simwin/paths.h"
#include "simwin/pending_renames.h"
#include "simwin/win32.h"

#include "file_access.h"
#include "file_security.h"

using simwin::current;
using simwin::FileNode;
using simwin::FileSystem;
using simwin::PathLookup;
using simwin::Access;
using simwin::accessOf;
using simwin::FileHandle;
using simwin::shareConflict;
using simwin::attributesOf;

namespace {

const DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                                  FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

FileSystem& files() { return current().files; }

BOOL fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

// The ANSI entry points convert their path arguments into a buffer of MAX_PATH + 1 characters.
bool pathTooLong(LPCSTR path) { return path && std::strlen(path) > MAX_PATH; }

bool endsWithSeparator(LPCSTR path) {
    size_t n = std::strlen(path);
    return n && (path[n - 1] == '\\' || path[n - 1] == '/');
}

std::shared_ptr<FileNode> sharedNode(FileNode* n) {
    if (!n || !n->parent) return nullptr;
    auto it = n->parent->children.find(n->name);
    return it == n->parent->children.end() ? nullptr : it->second;
}

FileHandle* fileHandle(HANDLE h) { return current().handles.get<FileHandle>(h); }

// Detaches a node from its directory; handles that are still open keep it alive.
void detach(FileNode& n) {
    FileNode* parent = n.parent;
    if (!parent) return;
    auto it = parent->children.find(n.name);
    if (it != parent->children.end() && it->second.get() == &n) {
        std::shared_ptr<FileNode> keep = it->second;
        parent->children.erase(it);
        keep->parent = nullptr;
    }
}

void attach(FileNode& dir, std::shared_ptr<FileNode> n, const std::string& name) {
    if (n->name != name) n->shortName.clear();  // a new name gets a new alias when one is asked for
    n->name = name;
    n->parent = &dir;
    dir.children[name] = std::move(n);
}

bool isSameOrBelow(const FileNode* n, const FileNode* ancestor) {
    for (; n; n = n->parent)
        if (n == ancestor) return true;
    return false;
}

// The node of the current directory, when it still exists.
FileNode* currentDirectoryNode() { return files().find(files().currentDirectory); }

// Copies text into a caller's buffer the way the path functions do: the length without the
// NUL on success, the size needed including the NUL when the buffer is too small.
DWORD copyPath(const std::string& text, LPSTR buffer, DWORD size) {
    if (!buffer || size < text.size() + 1) return static_cast<DWORD>(text.size() + 1);
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<DWORD>(text.size());
}

std::string letterOf(const std::string& fullPath) { return fullPath.substr(0, 1); }
// The drive letter of a node: its root's name ("C:"), without composing the whole path.
std::string letterOf(const FileNode& n) {
    const FileNode* root = &n;
    while (root->parent) root = root->parent;
    return root->name.substr(0, 1);
}

// The descriptor a caller passes for a new file or directory, read as Windows reads it; false (and
// ERROR_INVALID_SECURITY_DESCR) when it is not one. No descriptor given: `given` stays null.
bool givenSecurity(LPSECURITY_ATTRIBUTES sa, std::unique_ptr<simwin::SecurityDescriptor>& given) {
    if (!sa || !sa->lpSecurityDescriptor) return true;
    given = std::make_unique<simwin::SecurityDescriptor>();
    if (simwin::fromMemory(sa->lpSecurityDescriptor, *given)) return true;
    SetLastError(ERROR_INVALID_SECURITY_DESCR);
    return false;
}

// Tells the machine's observer what was written (FileSystem::onWrite).
void reportWrite(const FileNode& n, const char* bytes, size_t size, bool flushed) {
    if (files().onWrite) files().onWrite(n.path(), std::string(bytes, size), flushed);
}

std::string directoryOfProgram() {
    const std::string& program = current().system.program;
    size_t cut = program.find_last_of('\\');
    return cut == std::string::npos ? std::string() : program.substr(0, cut);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Files

namespace {

HANDLE failOpen(DWORD error) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
}

// Whether the caller may add an entry to a directory (FILE_ADD_FILE for a file, FILE_ADD_SUBDIRECTORY for a
// directory): refused for a directory marked denied or whose descriptor does not grant the right.
bool mayAdd(const FileNode& directory, bool subdirectory) {
    if (FileSystem::isDenied(&directory)) return false;
    return simwin::directoryGrants(directory, subdirectory ? FILE_ADD_SUBDIRECTORY : FILE_ADD_FILE, current().system);
}

// Opens an existing file as CreateFileA's disposition says: the error, or 0 with the file truncated or its
// attributes replaced where the disposition asks for it.
DWORD openExisting(FileNode& n, const Access& access, DWORD disposition, DWORD newAttributes, bool deleteOnClose) {
    if (disposition == CREATE_NEW) return ERROR_FILE_EXISTS;
    if (n.deletePending) return ERROR_ACCESS_DENIED;  // STATUS_DELETE_PENDING
    const bool replaces = disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING;
    // A read-only file refuses writing, and a deletion on close (STATUS_CANNOT_DELETE); DELETE alone opens it.
    if ((n.attributes & FILE_ATTRIBUTE_READONLY) && (access.write || replaces || deleteOnClose)) return ERROR_ACCESS_DENIED;
    // Overwriting a hidden or system file must restate those attributes.
    if (disposition == CREATE_ALWAYS && (n.attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM) & ~newAttributes))
        return ERROR_ACCESS_DENIED;
    Access check = access;
    if (replaces) check.write = true;
    if (DWORD e = shareConflict(n, check)) return e;
    if (replaces) n.content.clear();
    if (disposition == CREATE_ALWAYS) n.attributes = newAttributes;
    return 0;
}

}  // namespace

HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
    if (!lpFileName || !*lpFileName) return failOpen(ERROR_PATH_NOT_FOUND);
    if (pathTooLong(lpFileName)) return failOpen(ERROR_FILENAME_EXCED_RANGE);
    if (dwCreationDisposition < CREATE_NEW || dwCreationDisposition > TRUNCATE_EXISTING)
        return failOpen(ERROR_INVALID_PARAMETER);
    // CreateFileA asks for DELETE itself when the file is to go on close, as the flag needs it.
    const bool deleteOnClose = (dwFlagsAndAttributes & FILE_FLAG_DELETE_ON_CLOSE) != 0;
    Access access = accessOf(dwDesiredAccess | (deleteOnClose ? DELETE : 0), dwShareMode);
    if (dwCreationDisposition == TRUNCATE_EXISTING && !access.write) return failOpen(ERROR_INVALID_PARAMETER);

    PathLookup l = files().lookup(lpFileName);
    if (l.error != ERROR_SUCCESS && l.error != ERROR_FILE_NOT_FOUND) return failOpen(l.error);
    if (l.node && l.node->isDirectory)
        return failOpen(dwCreationDisposition == CREATE_NEW ? ERROR_FILE_EXISTS : ERROR_ACCESS_DENIED);
    if (endsWithSeparator(lpFileName)) return failOpen(ERROR_INVALID_NAME);
    if (FileSystem::isDenied(l.node ? l.node : l.parent)) return failOpen(ERROR_ACCESS_DENIED);
    std::unique_ptr<simwin::SecurityDescriptor> given;
    if (!givenSecurity(lpSecurityAttributes, given)) return INVALID_HANDLE_VALUE;
    if (!files().keepsDescriptors(letterOf(l.full))) given.reset();  // read, then dropped

    const DWORD newAttributes = dwFlagsAndAttributes & kSettableAttributes;
    std::shared_ptr<FileNode> node;
    DWORD error = ERROR_SUCCESS;
    if (l.node) {
        if (DWORD e = openExisting(*l.node, access, dwCreationDisposition, newAttributes, deleteOnClose)) return failOpen(e);
        if (dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == OPEN_ALWAYS) error = ERROR_ALREADY_EXISTS;
        node = sharedNode(l.node);
    } else {
        if (dwCreationDisposition == OPEN_EXISTING || dwCreationDisposition == TRUNCATE_EXISTING)
            return failOpen(ERROR_FILE_NOT_FOUND);
        if (!mayAdd(*l.parent, false)) return failOpen(ERROR_ACCESS_DENIED);
        if (!files().hasRoom(letterOf(l.full), 0)) return failOpen(ERROR_DISK_FULL);
        node = std::make_shared<FileNode>();
        node->attributes = newAttributes;
        if (given) node->security = simwin::securityForNew(*l.parent, false, *given, current().system);
        attach(*l.parent, node, l.name);
    }
    HANDLE h = current().handles.add(std::make_shared<FileHandle>(node, access, deleteOnClose));
    SetLastError(error);
    return h;
}

BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
                     LPOVERLAPPED lpOverlapped) {
    if (lpNumberOfBytesRead) *lpNumberOfBytesRead = 0;
    FileHandle* h = fileHandle(hFile);
    if (!h) return fail(ERROR_INVALID_HANDLE);
    if (!h->access.read) return fail(ERROR_ACCESS_DENIED);
    if (!lpBuffer && nNumberOfBytesToRead) return fail(ERROR_NOACCESS);
    const std::string& content = h->node->content;
    uint64_t available = h->position < content.size() ? content.size() - h->position : 0;
    DWORD n = static_cast<DWORD>(std::min<uint64_t>(available, nNumberOfBytesToRead));
    if (n) std::memcpy(lpBuffer, content.data() + h->position, n);
    h->position += n;
    if (lpNumberOfBytesRead) *lpNumberOfBytesRead = n;
    return TRUE;
}

BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite, LPDWORD lpNumberOfBytesWritten,
                      LPOVERLAPPED lpOverlapped) {
    if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = 0;
    FileHandle* h = fileHandle(hFile);
    if (!h) return fail(ERROR_INVALID_HANDLE);
    if (!h->access.write) return fail(ERROR_ACCESS_DENIED);
    if (!lpBuffer && nNumberOfBytesToWrite) return fail(ERROR_NOACCESS);
    if (nNumberOfBytesToWrite) {
        std::string& content = h->node->content;
        if (h->access.appendOnly) h->position = content.size();
        uint64_t end = h->position + nNumberOfBytesToWrite;
        if (end > content.size() && !files().hasRoom(letterOf(*h->node), end - content.size()))
            return fail(ERROR_DISK_FULL);  // nothing is written
        if (content.size() < end) content.resize(end, '\0');
        std::memcpy(&content[h->position], lpBuffer, nNumberOfBytesToWrite);
        h->position = end;
    }
    if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = nNumberOfBytesToWrite;
    reportWrite(*h->node, static_cast<const char*>(lpBuffer), nNumberOfBytesToWrite, false);
    return TRUE;
}

DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
    FileHandle* h = fileHandle(hFile);
    if (!h) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_FILE_SIZE;
    }
    uint64_t size = h->node->content.size();
    if (lpFileSizeHigh) *lpFileSizeHigh = static_cast<DWORD>(size >> 32);
    DWORD low = static_cast<DWORD>(size);
    if (low == INVALID_FILE_SIZE) SetLastError(NO_ERROR);
    return low;
}

DWORD WINAPI SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh, DWORD dwMoveMethod) {
    FileHandle* h = fileHandle(hFile);
    if (!h) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_SET_FILE_POINTER;
    }
    int64_t distance = lpDistanceToMoveHigh
                           ? static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(*lpDistanceToMoveHigh))
                                                   << 32) |
                                                  static_cast<uint32_t>(lDistanceToMove))
                           : static_cast<int64_t>(lDistanceToMove);
    int64_t base;
    switch (dwMoveMethod) {
    case FILE_BEGIN: base = 0; break;
    case FILE_CURRENT: base = static_cast<int64_t>(h->position); break;
    case FILE_END: base = static_cast<int64_t>(h->node->content.size()); break;
    default: SetLastError(ERROR_INVALID_PARAMETER); return INVALID_SET_FILE_POINTER;
    }
    int64_t target = base + distance;
    if (target < 0) {
        SetLastError(ERROR_NEGATIVE_SEEK);
        return INVALID_SET_FILE_POINTER;
    }
    h->position = static_cast<uint64_t>(target);
    if (lpDistanceToMoveHigh) *lpDistanceToMoveHigh = static_cast<LONG>(static_cast<uint64_t>(target) >> 32);
    DWORD low = static_cast<DWORD>(target);
    if (low == INVALID_SET_FILE_POINTER) SetLastError(NO_ERROR);
    return low;
}

BOOL WINAPI SetEndOfFile(HANDLE hFile) {
    FileHandle* h = fileHandle(hFile);
    if (!h) return fail(ERROR_INVALID_HANDLE);
    if (!h->access.write) return fail(ERROR_ACCESS_DENIED);
    if (h->position > h->node->content.size() &&
        !files().hasRoom(letterOf(*h->node), h->position - h->node->content.size()))
        return fail(ERROR_DISK_FULL);
    h->node->content.resize(h->position, '\0');
    return TRUE;
}

BOOL WINAPI FlushFileBuffers(HANDLE hFile) {
    FileHandle* h = fileHandle(hFile);
    if (!h) return fail(ERROR_INVALID_HANDLE);
    if (!h->access.write) return fail(ERROR_ACCESS_DENIED);
    reportWrite(*h->node, h->node->content.data(), h->node->content.size(), true);
    return TRUE;
}

BOOL WINAPI DeleteFileA(LPCSTR lpFileName) {
    if (!lpFileName || !*lpFileName) return fail(ERROR_PATH_NOT_FOUND);
    if (pathTooLong(lpFileName)) return fail(ERROR_FILENAME_EXCED_RANGE);
    PathLookup l = files().lookup(lpFileName);
    if (l.error) return fail(l.error);
    FileNode& n = *l.node;
    if (n.isDirectory) return fail(ERROR_ACCESS_DENIED);
    if (endsWithSeparator(lpFileName)) return fail(ERROR_INVALID_NAME);
    if ((n.attributes & FILE_ATTRIBUTE_READONLY) || FileSystem::isDenied(&n)) return fail(ERROR_ACCESS_DENIED);
    if (simwin::isLoadedModuleFile(l.full)) return fail(ERROR_ACCESS_DENIED);  // mapped as an image
    if (n.deletePending) return fail(ERROR_ACCESS_DENIED);                      // STATUS_DELETE_PENDING
    // DeleteFileA opens for DELETE and allows everything to others.
    if (DWORD e = shareConflict(n, accessOf(DELETE, FILE_SHARE_VALID_FLAGS))) return fail(e);
    detach(n);
    return TRUE;
}

BOOL WINAPI CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists) {
    if (!lpExistingFileName || !lpNewFileName) return fail(ERROR_INVALID_PARAMETER);
    if (!*lpExistingFileName || !*lpNewFileName) return fail(ERROR_PATH_NOT_FOUND);
    if (pathTooLong(lpExistingFileName) || pathTooLong(lpNewFileName)) return fail(ERROR_FILENAME_EXCED_RANGE);
    PathLookup from = files().lookup(lpExistingFileName);
    if (from.error) return fail(from.error);
    if (from.node->isDirectory || FileSystem::isDenied(from.node)) return fail(ERROR_ACCESS_DENIED);
    // The source is opened for reading and shared with everything (a file another program writes with read
    // sharing still copies); the target for writing, shared with readers and writers.
    if (from.node->deletePending) return fail(ERROR_ACCESS_DENIED);
    if (DWORD e = shareConflict(*from.node, accessOf(GENERIC_READ, FILE_SHARE_VALID_FLAGS))) return fail(e);
    PathLookup to = files().lookup(lpNewFileName);
    if (to.error != ERROR_SUCCESS && to.error != ERROR_FILE_NOT_FOUND) return fail(to.error);
    if (FileSystem::isDenied(to.node ? to.node : to.parent)) return fail(ERROR_ACCESS_DENIED);
    const std::string content = from.node->content;
    const DWORD attributes = from.node->attributes;
    const uint64_t had = to.node && !to.node->isDirectory ? to.node->content.size() : 0;
    if (content.size() > had && !files().hasRoom(letterOf(to.full), content.size() - had)) return fail(ERROR_DISK_FULL);
    if (!to.node && !files().hasRoom(letterOf(to.full), 0)) return fail(ERROR_DISK_FULL);
    if (to.node) {
        FileNode& n = *to.node;
        if (bFailIfExists) return fail(ERROR_FILE_EXISTS);
        if (n.isDirectory) return fail(ERROR_ACCESS_DENIED);
        if (&n == from.node) return fail(ERROR_SHARING_VIOLATION);
        if (n.attributes & FILE_ATTRIBUTE_READONLY) return fail(ERROR_ACCESS_DENIED);
        if (n.attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM) & ~attributes)
            return fail(ERROR_ACCESS_DENIED);
        if (DWORD e = shareConflict(n, accessOf(GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE))) return fail(e);
        n.content = content;
        n.attributes = attributes;
        SetLastError(ERROR_SUCCESS);
        return TRUE;
    }
    if (!mayAdd(*to.parent, false)) return fail(ERROR_ACCESS_DENIED);
    auto n = std::make_shared<FileNode>();
    n->content = content;
    n->attributes = attributes;
    attach(*to.parent, n, to.name);
    SetLastError(ERROR_SUCCESS);  // a copy that succeeds clears it, as CopyFileExA does
    return TRUE;
}

BOOL WINAPI MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags) {
    if (!lpExistingFileName) return fail(ERROR_INVALID_PARAMETER);
    if (!*lpExistingFileName) return fail(ERROR_PATH_NOT_FOUND);
    if (pathTooLong(lpExistingFileName) || pathTooLong(lpNewFileName)) return fail(ERROR_FILENAME_EXCED_RANGE);
    FileSystem& fs = files();

    if (dwFlags & MOVEFILE_DELAY_UNTIL_REBOOT) {
        // Recorded for the session manager in its registry value, which needs administrator rights to write.
        // Outside the NT family there is no session manager: the WININIT.INI rename list instead.
        if (current().system.platform != simwin::Platform::Nt) return fail(ERROR_CALL_NOT_IMPLEMENTED);
        if (dwFlags & MOVEFILE_COPY_ALLOWED) return fail(ERROR_INVALID_PARAMETER);
        // The record goes to HKLM; a filtered administrator token may not write there either.
        if (!current().system.admin || current().system.adminDenyOnly) return fail(ERROR_ACCESS_DENIED);
        simwin::PendingRename r;
        r.from = fs.fullPath(lpExistingFileName);
        if (r.from.empty()) return fail(ERROR_INVALID_NAME);
        if (lpNewFileName && *lpNewFileName) {
            r.to = fs.fullPath(lpNewFileName);
            if (r.to.empty()) return fail(ERROR_INVALID_NAME);
        }
        simwin::addPendingRename(current().registry, r);
        return TRUE;
    }

    if (!lpNewFileName) return fail(ERROR_INVALID_PARAMETER);
    PathLookup from = fs.lookup(lpExistingFileName);
    if (from.error) return fail(from.error);
    FileNode& src = *from.node;
    if (!from.parent || FileSystem::isDenied(&src)) return fail(ERROR_ACCESS_DENIED);  // a drive root, or refused
    // A rename opens the source for DELETE, allowing everything to others.
    if (DWORD e = shareConflict(src, accessOf(DELETE, FILE_SHARE_VALID_FLAGS))) return fail(e);
    if (src.isDirectory) {
        FileNode* cwd = currentDirectoryNode();
        if (cwd && isSameOrBelow(cwd, &src)) return fail(ERROR_SHARING_VIOLATION);
    }
    PathLookup to = fs.lookup(lpNewFileName);
    if (to.error != ERROR_SUCCESS && to.error != ERROR_FILE_NOT_FOUND) return fail(to.error);
    if (!to.parent || FileSystem::isDenied(to.parent)) return fail(ERROR_ACCESS_DENIED);
    if (!to.node && !mayAdd(*to.parent, src.isDirectory)) return fail(ERROR_ACCESS_DENIED);
    if (to.node == &src) {  // the same file: only the letter case of its name changes
        std::shared_ptr<FileNode> keep = sharedNode(&src);
        src.parent->children.erase(src.name);
        attach(*to.parent, keep, to.name);
        return TRUE;
    }
    if (src.isDirectory && isSameOrBelow(to.parent, &src)) return fail(ERROR_INVALID_PARAMETER);  // into itself
    bool otherDrive = toupper(static_cast<unsigned char>(from.full[0])) != toupper(static_cast<unsigned char>(to.full[0]));
    if (otherDrive && (src.isDirectory || !(dwFlags & MOVEFILE_COPY_ALLOWED))) return fail(ERROR_NOT_SAME_DEVICE);
    if (to.node) {
        FileNode& dst = *to.node;
        if (!(dwFlags & MOVEFILE_REPLACE_EXISTING)) return fail(ERROR_ALREADY_EXISTS);
        if (dst.isDirectory || src.isDirectory) return fail(ERROR_ACCESS_DENIED);
        // A file replaced by a rename must not be open anywhere, whatever its sharing (NTFS refuses it).
        if ((dst.attributes & FILE_ATTRIBUTE_READONLY) || simwin::heldOpen(dst)) return fail(ERROR_ACCESS_DENIED);
        detach(dst);
    }
    if (otherDrive) {  // copied, then the source deleted
        if (src.attributes & FILE_ATTRIBUTE_READONLY) return fail(ERROR_ACCESS_DENIED);
        if (!fs.hasRoom(letterOf(to.full), src.content.size())) return fail(ERROR_DISK_FULL);
        auto n = std::make_shared<FileNode>();
        n->content = src.content;
        n->attributes = src.attributes;
        attach(*to.parent, n, to.name);
        detach(src);
        return TRUE;
    }
    std::shared_ptr<FileNode> keep = sharedNode(&src);
    detach(src);
    attach(*to.parent, keep, to.name);
    return TRUE;
}

BOOL WINAPI MoveFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName) {
    return MoveFileExA(lpExistingFileName, lpNewFileName, MOVEFILE_COPY_ALLOWED);
}

DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName) {
    if (!lpFileName || !*lpFileName) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_FILE_ATTRIBUTES;
    }
    if (pathTooLong(lpFileName)) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return INVALID_FILE_ATTRIBUTES;
    }
    PathLookup l = files().lookup(lpFileName);
    if (!l.error && !l.node->isDirectory && endsWithSeparator(lpFileName)) l.error = ERROR_INVALID_NAME;
    if (l.error) {
        SetLastError(l.error);
        return INVALID_FILE_ATTRIBUTES;
    }
    return attributesOf(*l.node);
}

BOOL WINAPI SetFileAttributesA(LPCSTR lpFileName, DWORD dwFileAttributes) {
    if (!lpFileName || !*lpFileName) return fail(ERROR_PATH_NOT_FOUND);
    if (pathTooLong(lpFileName)) return fail(ERROR_FILENAME_EXCED_RANGE);
    PathLookup l = files().lookup(lpFileName);
    if (l.error) return fail(l.error);
    if (FileSystem::isDenied(l.node)) return fail(ERROR_ACCESS_DENIED);
    l.node->attributes = dwFileAttributes & kSettableAttributes;
    return TRUE;
}

BOOL WINAPI GetDiskFreeSpaceExA(LPCSTR lpDirectoryName, PULARGE_INTEGER lpFreeBytesAvailableToCaller,
                                PULARGE_INTEGER lpTotalNumberOfBytes, PULARGE_INTEGER lpTotalNumberOfFreeBytes) {
    const std::string dir = lpDirectoryName ? lpDirectoryName : files().currentDirectory.substr(0, 3);
    PathLookup l = files().lookup(dir);
    if (l.error) return fail(l.error);
    if (!l.node->isDirectory) return fail(ERROR_DIRECTORY);
    const std::string letter = letterOf(l.full);
    const uint64_t free = files().freeBytes(letter);
    if (lpFreeBytesAvailableToCaller) lpFreeBytesAvailableToCaller->QuadPart = free;  // no quotas
    if (lpTotalNumberOfBytes) lpTotalNumberOfBytes->QuadPart = files().totalBytes(letter);
    if (lpTotalNumberOfFreeBytes) lpTotalNumberOfFreeBytes->QuadPart = free;
    return TRUE;
}

// ---------------------------------------------------------------------------------------------
// Directories

BOOL WINAPI CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes) {
    if (!lpPathName || !*lpPathName) return fail(ERROR_PATH_NOT_FOUND);
    if (pathTooLong(lpPathName)) return fail(ERROR_FILENAME_EXCED_RANGE);
    PathLookup l = files().lookup(lpPathName);
    if (l.error == ERROR_SUCCESS) return fail(ERROR_ALREADY_EXISTS);
    if (l.error != ERROR_FILE_NOT_FOUND) return fail(l.error);
    if (!mayAdd(*l.parent, true)) return fail(ERROR_ACCESS_DENIED);
    std::unique_ptr<simwin::SecurityDescriptor> given;
    if (!givenSecurity(lpSecurityAttributes, given)) return FALSE;
    if (!files().keepsDescriptors(letterOf(l.full))) given.reset();  // read, then dropped
    if (!files().hasRoom(letterOf(l.full), 0)) return fail(ERROR_DISK_FULL);
    auto n = std::make_shared<FileNode>();
    n->isDirectory = true;
    if (given) n->security = simwin::securityForNew(*l.parent, true, *given, current().system);
    attach(*l.parent, n, l.name);
    return TRUE;
}

BOOL WINAPI RemoveDirectoryA(LPCSTR lpPathName) {
    if (!lpPathName || !*lpPathName) return fail(ERROR_PATH_NOT_FOUND);
    if (pathTooLong(lpPathName)) return fail(ERROR_FILENAME_EXCED_RANGE);
    PathLookup l = files().lookup(lpPathName);
    if (l.error) return fail(l.error);
    FileNode& n = *l.node;
    if (!n.isDirectory) return fail(ERROR_DIRECTORY);
    if (!l.parent) return fail(ERROR_ACCESS_DENIED);  // a drive root
    if ((n.attributes & FILE_ATTRIBUTE_READONLY) || FileSystem::isDenied(&n)) return fail(ERROR_ACCESS_DENIED);
    if (DWORD e = shareConflict(n, accessOf(DELETE, FILE_SHARE_VALID_FLAGS))) return fail(e);
    // The process holds its current directory open without delete sharing.
    if (currentDirectoryNode() == &n) return fail(ERROR_SHARING_VIOLATION);
    if (!n.children.empty()) return fail(ERROR_DIR_NOT_EMPTY);
    detach(n);
    return TRUE;
}

// ---------------------------------------------------------------------------------------------
// Paths

DWORD WINAPI GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer) {
    return copyPath(files().currentDirectory, lpBuffer, nBufferLength);
}

BOOL WINAPI SetCurrentDirectoryA(LPCSTR lpPathName) {
    if (!lpPathName) return fail(ERROR_INVALID_PARAMETER);
    if (!*lpPathName) return fail(ERROR_INVALID_NAME);
    if (pathTooLong(lpPathName)) return fail(ERROR_FILENAME_EXCED_RANGE);
    PathLookup l = files().lookup(lpPathName);
    if (l.error) return fail(l.error);
    if (!l.node->isDirectory) return fail(ERROR_DIRECTORY);
    if (FileSystem::isDenied(l.node)) return fail(ERROR_ACCESS_DENIED);
    files().currentDirectory = l.full;
    return TRUE;
}

DWORD WINAPI GetFullPathNameA(LPCSTR lpFileName, DWORD nBufferLength, LPSTR lpBuffer, LPSTR* lpFilePart) {
    if (!lpFileName || !*lpFileName) {
        SetLastError(ERROR_INVALID_NAME);
        return 0;
    }
    const std::string full = simwin::win32FullPath(lpFileName, files().currentDirectory);
    DWORD n = copyPath(full, lpBuffer, nBufferLength);
    if (n == full.size() && lpFilePart) {
        size_t cut = full.find_last_of('\\');
        *lpFilePart = cut != std::string::npos && cut >= 2 && cut + 1 < full.size() ? lpBuffer + cut + 1 : nullptr;
    }
    return n;
}

namespace {

// Whether the full path of a directory reads back as itself: no name on the way ends in a dot (the full path
// drops that dot) or is one Windows refuses. Only a machine directory's own files can have such names.
bool keepsItsPath(const FileNode& dir) {
    for (const FileNode* n = &dir; n->parent; n = n->parent)
        if (n->name.back() == '.' || !simwin::isValidFileName(n->name)) return false;
    return true;
}

// The node a component of a path names in dir: what a lookup of the directory's path and the component finds.
// A plain name is looked up in dir alone (a walk from the root for every component makes a deep path slow);
// a name the full path would change or refuse (a trailing dot or blank, a forbidden character) takes the
// whole lookup, as does a directory whose path does not read back as itself.
FileNode* componentIn(const FileSystem& fs, FileNode& dir, const std::string& part) {
    if (part.back() != '.' && part.back() != ' ' && simwin::isValidFileName(part) && keepsItsPath(dir))
        return fs.child(dir, part);
    return fs.lookup(dir.path() + (dir.isRoot() ? "" : "\\") + part).node;
}

// GetShortPathNameA and GetLongPathNameA: the path as written, each component that names an existing file
// or directory replaced as `rename` says (its alias, or its long name when it was written as an alias). The
// prefix of the path (a drive, a root, a device prefix) and "." and ".." stay as written.
DWORD convertPath(LPCSTR path, LPSTR buffer, DWORD size, bool toShort) {
    if (!path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (!*path) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return 0;
    }
    std::string in = path;
    std::string out = simwin::devicePrefix(in);
    in = in.substr(out.size());
    FileSystem& fs = files();
    FileNode* dir = nullptr;
    size_t at = 0;
    if (in.size() >= 2 && in[1] == ':') {
        dir = fs.drive(in.substr(0, 1));
        const bool rooted = in.size() > 2 && (in[2] == '\\' || in[2] == '/');
        const bool here = toupper(static_cast<unsigned char>(in[0])) == toupper(static_cast<unsigned char>(fs.currentDirectory[0]));
        if (!rooted && here) dir = currentDirectoryNode();
        at = rooted ? 3 : 2;
    } else if (!in.empty() && (in[0] == '\\' || in[0] == '/')) {
        dir = fs.drive(fs.currentDirectory.substr(0, 1));
        at = 1;
    } else {
        dir = currentDirectoryNode();
    }
    out += in.substr(0, at);
    while (at < in.size()) {
        size_t end = at;
        while (end < in.size() && in[end] != '\\' && in[end] != '/') ++end;
        const std::string part = in.substr(at, end - at);
        if (!part.empty() && part != ".") {
            if (!dir || !dir->isDirectory) {
                SetLastError(ERROR_FILE_NOT_FOUND);
                return 0;
            }
            FileNode* next = nullptr;
            if (part == "..") {
                next = dir->parent ? dir->parent : dir;
                out += part;
            } else {
                next = componentIn(fs, *dir, part);
                if (!next) {
                    SetLastError(ERROR_FILE_NOT_FOUND);
                    return 0;
                }
                const bool byName = simwin::iequals(next->name, part);
                out += toShort ? (byName && simwin::isShortName(part) ? part : fs.aliasOf(*next)) : (byName ? part : next->name);
            }
            dir = next;
        } else {
            out += part;
        }
        if (end < in.size()) out += in[end];
        at = end + 1;
    }
    return copyPath(out, buffer, size);
}

}  // namespace

DWORD WINAPI GetShortPathNameA(LPCSTR lpszLongPath, LPSTR lpszShortPath, DWORD cchBuffer) {
    return convertPath(lpszLongPath, lpszShortPath, cchBuffer, true);
}

DWORD WINAPI GetLongPathNameA(LPCSTR lpszShortPath, LPSTR lpszLongPath, DWORD cchBuffer) {
    return convertPath(lpszShortPath, lpszLongPath, cchBuffer, false);
}

DWORD WINAPI SearchPathA(LPCSTR lpPath, LPCSTR lpFileName, LPCSTR lpExtension, DWORD nBufferLength, LPSTR lpBuffer,
                         LPSTR* lpFilePart) {
    if (!lpFileName || !*lpFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string name = lpFileName;
    std::replace(name.begin(), name.end(), '/', '\\');
    size_t cut = name.find_last_of('\\');
    std::string last = cut == std::string::npos ? name : name.substr(cut + 1);
    if (lpExtension && *lpExtension && last.find('.') == std::string::npos) name += lpExtension;

    std::vector<std::string> candidates;
    bool explicitPath = (name.size() >= 2 && name[1] == ':') || name[0] == '\\' || name.compare(0, 2, ".\\") == 0 ||
                        name.compare(0, 3, "..\\") == 0;
    if (explicitPath) {
        candidates.push_back(name);
    } else {
        std::vector<std::string> dirs;
        if (lpPath) {
            for (auto& d : simwin::split(lpPath, ';'))
                if (!d.empty()) dirs.push_back(d);
        } else {
            const auto& sys = current().system;
            dirs = {directoryOfProgram(), files().currentDirectory, sys.systemDir};
            if (sys.platform == simwin::Platform::Nt) dirs.push_back(sys.windowsDir + "\\System");
            dirs.push_back(sys.windowsDir);
        }
        for (auto& d : dirs) {
            if (d.empty()) continue;
            candidates.push_back(d + (d.back() == '\\' || d.back() == '/' ? "" : "\\") + name);
        }
    }
    for (auto& c : candidates) {
        PathLookup l = files().lookup(c);
        if (l.error) continue;
        std::string found = files().fullPath(c);
        DWORD n = copyPath(found, lpBuffer, nBufferLength);
        if (n == found.size() && lpFilePart) *lpFilePart = lpBuffer + found.find_last_of('\\') + 1;
        return n;
    }
    SetLastError(ERROR_FILE_NOT_FOUND);
    return 0;
}

UINT WINAPI GetTempFileNameA(LPCSTR lpPathName, LPCSTR lpPrefixString, UINT uUnique, LPSTR lpTempFileName) {
    if (!lpPathName || !lpTempFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string base = lpPathName;
    if (!base.empty() && base.back() != '\\' && base.back() != '/') base += '\\';
    std::string prefix = lpPrefixString ? std::string(lpPrefixString).substr(0, 3) : std::string();
    auto nameFor = [&](UINT n) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "%X", n);
        return base + prefix + hex + ".TMP";
    };
    auto deliver = [&](const std::string& name, UINT n) -> UINT {
        if (name.size() >= MAX_PATH) {
            SetLastError(ERROR_BUFFER_OVERFLOW);
            return 0;
        }
        std::memcpy(lpTempFileName, name.c_str(), name.size() + 1);
        return n;
    };
    uUnique &= 0xFFFF;
    if (uUnique) return deliver(nameFor(uUnique), uUnique);

    PathLookup dir = files().lookup(lpPathName);
    if (dir.error || !dir.node->isDirectory) {
        SetLastError(ERROR_DIRECTORY);
        return 0;
    }
    UINT n = GetTickCount() & 0xFFFF;
    for (int tries = 0; tries < 0xFFFF; ++tries, n = (n & 0xFFFF) + 1) {
        if (n == 0 || n > 0xFFFF) n = 1;
        std::string name = nameFor(n);
        if (name.size() >= MAX_PATH) {
            SetLastError(ERROR_BUFFER_OVERFLOW);
            return 0;
        }
        PathLookup l = files().lookup(name);
        if (l.error != ERROR_FILE_NOT_FOUND) continue;
        auto node = std::make_shared<FileNode>();
        attach(*l.parent, node, l.name);
        return deliver(name, n);
    }
    SetLastError(ERROR_FILE_EXISTS);
    return 0;
}
