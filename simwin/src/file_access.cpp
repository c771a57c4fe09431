// Opening files: access, sharing, the file handle's share accounting and the rights of directories
// (file_access.h).
#include "file_access.h"

#include "file_security.h"
#include "simwin/win32.h"

namespace simwin {

namespace {

void updateShareMode(FileNode& n) {
    n.shareMode = 0;
    if (n.sharedRead == n.accessHandles) n.shareMode |= FILE_SHARE_READ;
    if (n.sharedWrite == n.accessHandles) n.shareMode |= FILE_SHARE_WRITE;
    if (n.sharedDelete == n.accessHandles) n.shareMode |= FILE_SHARE_DELETE;
}

// Adds (count 1) or takes away (count -1) a handle's part in the share accounting.
void account(FileNode& n, const Access& a, int count) {
    n.openHandles += count;
    if (a.data()) {
        n.accessHandles += count;
        n.readers += count * a.read;
        n.writers += count * a.write;
        n.deleters += count * a.del;
        n.sharedRead += count * a.shareRead;
        n.sharedWrite += count * a.shareWrite;
        n.sharedDelete += count * a.shareDelete;
    }
    updateShareMode(n);
}

// Unlinks a file from its directory once nothing holds it any more.
void removeWhenClosed(FileNode& n) {
    if (!n.deletePending || n.openHandles || !n.parent) return;
    FileNode* parent = n.parent;
    auto it = parent->children.find(n.name);
    if (it == parent->children.end() || it->second.get() != &n) return;
    std::shared_ptr<FileNode> keep = it->second;
    parent->children.erase(it);
    keep->parent = nullptr;
}

std::string sidOf(const char* text) {
    std::string sid;
    parseSidText(text, sid);
    return sid;
}

// The SIDs of the caller's token an ACE applies to; deny ACEs also match a group kept for deny only.
bool inToken(const std::string& sid, bool deny, const SystemInfo& system) {
    if (sid == userSid() || sid == usersSid() || sid == sidOf("S-1-1-0") || sid == sidOf("S-1-5-11") ||
        sid == sidOf("S-1-5-4"))
        return true;
    return sid == administratorsSid() && system.admin && (deny || !system.adminDenyOnly);
}

// The generic rights of an ACE mapped to the file rights they stand for.
DWORD fileRights(DWORD mask) {
    if (mask & GENERIC_ALL) mask |= FILE_ALL_ACCESS;
    if (mask & GENERIC_READ) mask |= FILE_GENERIC_READ;
    if (mask & GENERIC_WRITE) mask |= FILE_GENERIC_WRITE;
    if (mask & GENERIC_EXECUTE) mask |= FILE_GENERIC_EXECUTE;
    return mask & ~(GENERIC_ALL | GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE);
}

}  // namespace

Access accessOf(DWORD desired, DWORD share) {
    Access a;
    a.read = (desired & (GENERIC_READ | GENERIC_EXECUTE | GENERIC_ALL | MAXIMUM_ALLOWED | FILE_READ_DATA |
                         FILE_EXECUTE)) != 0;
    a.write = (desired & (GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA | FILE_APPEND_DATA)) != 0;
    a.del = (desired & (DELETE | GENERIC_ALL)) != 0;
    a.appendOnly = (desired & FILE_APPEND_DATA) && !(desired & (GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA));
    a.shareRead = (share & FILE_SHARE_READ) != 0;
    a.shareWrite = (share & FILE_SHARE_WRITE) != 0;
    a.shareDelete = (share & FILE_SHARE_DELETE) != 0;
    return a;
}

DWORD attributesOf(const FileNode& n) {
    if (n.isDirectory) return FILE_ATTRIBUTE_DIRECTORY | n.attributes;
    return n.attributes ? n.attributes : FILE_ATTRIBUTE_NORMAL;
}

DWORD shareConflict(const FileNode& n, const Access& a) {
    if (!a.data()) return 0;
    if (n.locked) return ERROR_SHARING_VIOLATION;
    // Another program reads it and lets others read only.
    if (n.inUseRead && (a.write || a.del || !a.shareRead)) return ERROR_SHARING_VIOLATION;
    if ((a.read && n.sharedRead < n.accessHandles) || (a.write && n.sharedWrite < n.accessHandles) ||
        (a.del && n.sharedDelete < n.accessHandles))
        return ERROR_SHARING_VIOLATION;
    if ((n.readers && !a.shareRead) || (n.writers && !a.shareWrite) || (n.deleters && !a.shareDelete))
        return ERROR_SHARING_VIOLATION;
    return 0;
}

bool heldOpen(const FileNode& n) { return n.openHandles > 0 || n.locked || n.inUseRead; }

FileHandle::FileHandle(std::shared_ptr<FileNode> n, const Access& a, bool doc)
    : node(std::move(n)), access(a), deleteOnClose(doc) {
    account(*node, access, 1);
}

FileHandle::~FileHandle() {
    account(*node, access, -1);
    if (deleteOnClose) node->deletePending = true;
    removeWhenClosed(*node);
}

bool directoryGrants(const FileNode& directory, DWORD rights, const SystemInfo& system) {
    bool explicitAbove = false;
    for (const FileNode* n = &directory; n && !explicitAbove; n = n->parent) explicitAbove = n->security != nullptr;
    if (!explicitAbove) return true;
    const SecurityDescriptor sd = effectiveSecurity(directory, system);
    if (!(sd.control & SE_DACL_PRESENT)) return true;  // a null DACL grants everything
    DWORD granted = 0;
    for (const Ace& ace : sd.dacl) {
        if ((ace.flags & INHERIT_ONLY_ACE) || !inToken(ace.sid, ace.type == ACCESS_DENIED_ACE_TYPE, system)) continue;
        const DWORD mask = fileRights(ace.mask);
        if (ace.type == ACCESS_DENIED_ACE_TYPE && (mask & rights & ~granted)) return false;
        if (ace.type == ACCESS_ALLOWED_ACE_TYPE) granted |= mask;
        if ((granted & rights) == rights) return true;
    }
    return false;
}

}  // namespace simwin
