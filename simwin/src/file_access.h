// Opening files as the NT I/O manager does (private to simwin's src/): what an open asks for and allows
// others, the sharing check against the handles already open (the tool's and another program's), the
// file handle that keeps the share accounting, and the rights a directory's descriptor grants.
#pragma once

#include <cstdint>
#include <memory>

#include "simwin/files.h"
#include "simwin/handles.h"
#include "simwin/system.h"

namespace simwin {

// What an open asks for and what it allows others, reduced to the three kinds the sharing rules know.
struct Access {
    bool read = false, write = false, del = false;
    // FILE_APPEND_DATA without FILE_WRITE_DATA: every write goes to the end of the file, whatever the
    // position (two such handles append without overwriting each other's lines).
    bool appendOnly = false;
    bool shareRead = false, shareWrite = false, shareDelete = false;
    bool data() const { return read || write || del; }
};

Access accessOf(DWORD desired, DWORD share);

// The attributes GetFileAttributesA and FindFirstFileA report.
DWORD attributesOf(const FileNode& n);

// ERROR_SHARING_VIOLATION when an open conflicts with another program's hold on the file ([file] locked,
// inuse) or with the tool's own open handles, else 0.
DWORD shareConflict(const FileNode& n, const Access& a);

// Whether anything holds the file open: a handle of the tool (data access or not) or another program.
bool heldOpen(const FileNode& n);

// An open file of the tool. A handle opened with FILE_FLAG_DELETE_ON_CLOSE marks the file delete-pending
// when it closes; the file leaves its directory when its last handle closes.
struct FileHandle : HandleObject {
    std::shared_ptr<FileNode> node;
    Access access;
    uint64_t position = 0;
    bool deleteOnClose = false;

    FileHandle(std::shared_ptr<FileNode> n, const Access& a, bool deleteOnClose = false);
    ~FileHandle() override;
};

// Whether the caller's token is granted `rights` on a directory, by the nearest explicit descriptor on its
// path (the directory's own, or what it inherits from one above). A path without any explicit descriptor is
// the caller's to use: simwin's drive roots stand for a real root's descriptor only in what they pass on.
bool directoryGrants(const FileNode& directory, DWORD rights, const SystemInfo& system);

}  // namespace simwin
