// Files and directories of drives C: and D: (more on demand), in memory, with Windows path
// rules: case-insensitive names, "\" and "/" separators, "." and "..", attributes, files that
// are locked by another process, and the records of deletions delayed until restart.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "simwin/ini.h"
#include "simwin/types.h"
#include "simwin/util.h"

namespace simwin {

struct FileNode {
    std::string name;  // as created (case kept)
    bool isDirectory = false;
    std::string content;
    DWORD attributes = 0;  // FILE_ATTRIBUTE_* other than DIRECTORY/NORMAL
    bool locked = false;   // held open by another process: opening or deleting fails with 32
    int openHandles = 0;   // handles of the tool that are open on it
    DWORD shareMode = 0;   // the most restrictive share mode among the open handles
    FileNode* parent = nullptr;
    std::map<std::string, std::shared_ptr<FileNode>, ILess> children;
};

// A delayed operation recorded by MoveFileExA(..., MOVEFILE_DELAY_UNTIL_REBOOT).
struct PendingRename {
    std::string from;
    std::string to;  // empty: delete at restart
};

class FileSystem {
public:
    FileSystem();

    std::string currentDirectory = "C:\\";

    // Normalises a path against the current directory into "C:\A\B" form ("" when invalid).
    std::string fullPath(const std::string& path) const;
    FileNode* find(const std::string& path) const;
    FileNode* parentOf(const std::string& path) const;
    bool exists(const std::string& path) const { return find(path) != nullptr; }
    bool isDirectory(const std::string& path) const;
    std::string read(const std::string& path) const;  // "" when missing
    // Creates or replaces a file, creating missing parent directories.
    FileNode& writeFile(const std::string& path, const std::string& content);
    FileNode& makeDirectories(const std::string& path);
    bool removeNode(const std::string& path);  // file or directory tree
    void setLocked(const std::string& path, bool locked);

    std::vector<PendingRename> pendingRenames;

    // drive/C/... under a machine directory; loading replaces the drives' contents.
    void loadDrives(const std::string& machineDir);
    void saveDrives(const std::string& machineDir) const;
    // [file] sections (path, locked) and [pending] sections (from, to) of machine.ini.
    void load(const IniDoc& doc);
    void save(IniDoc& doc) const;

private:
    std::map<std::string, std::shared_ptr<FileNode>, ILess> drives_;  // "C" -> root
};

}  // namespace simwin
