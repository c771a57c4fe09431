// Files and directories of drives C: and D: (more on demand), in memory, with Windows path
// rules: case-insensitive names, "\" and "/" separators, "." and "..", attributes, files that
// are locked by another process, and the records of deletions delayed until restart.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "simwin/ini.h"
#include "simwin/security.h"
#include "simwin/standard_files.h"
#include "simwin/types.h"
#include "simwin/util.h"

namespace simwin {

struct FileNode {
    std::string name;  // as created (case kept); a drive root is named "C:"
    std::string shortName;  // the 8.3 alias once given (FileSystem::aliasOf); "" before, and for 8.3 names
    bool isDirectory = false;
    std::string content;
    DWORD attributes = 0;  // FILE_ATTRIBUTE_* other than DIRECTORY/NORMAL
    bool locked = false;   // held open by another process: opening or deleting fails with 32
    bool inUseRead = false;  // held open for reading by another process that lets others read only
    bool deletePending = false;  // a FILE_FLAG_DELETE_ON_CLOSE handle closed: gone with the last handle
    bool protectedFile = false;      // [file] protected = yes: SfcIsFileProtected reports it (standard_files.h)
    bool denied = false;             // [file] denied = yes: this file or directory, and all below it, refuse access (5)
    // The security descriptor given to it (CreateDirectoryA / CreateFileA with one, SetFileSecurityA, a
    // [security] section); nullptr: it has what it inherits (security.h, api_security.cpp).
    std::shared_ptr<const SecurityDescriptor> security;
    bool implicitDirectory = false;  // made only to hold standard files: saved only when it holds more
    int openHandles = 0;   // handles of the tool that are open on it
    DWORD shareMode = 0;   // the most restrictive share mode among the open handles
    FileNode* parent = nullptr;
    std::map<std::string, std::shared_ptr<FileNode>, ILess> children;

    // Share accounting of the handles that read, write or delete (as the NT I/O manager keeps
    // it): how many hold each kind of access, and how many allow each kind to others. Handles
    // opened for no data access (attributes only) take no part in sharing.
    int accessHandles = 0;
    int readers = 0, writers = 0, deleters = 0;
    int sharedRead = 0, sharedWrite = 0, sharedDelete = 0;

    // "C:\A\B" ("C:\" for a root); a node cut from the tree gives the path it had below its
    // last attached ancestor only, so callers ask while it is attached.
    std::string path() const;
    bool isRoot() const { return parent == nullptr && name.size() == 2 && name[1] == ':'; }
};

// The space of a drive ([drive] sections): a drive without one has room for everything and reports
// kDefaultTotal bytes with kDefaultFree free.
struct DriveSpace {
    static const uint64_t kDefaultTotal = 274877906944ULL;  // 256 GiB
    static const uint64_t kDefaultFree = 107374182400ULL;   // 100 GiB
    uint64_t total = kDefaultTotal;
    uint64_t free = kDefaultFree;  // at load; what the run adds to the drive takes from it
    bool limited = false;          // declared: a write or a creation beyond it fails with ERROR_DISK_FULL
    uint64_t usedAtLoad = 0;       // bytes of the drive's files when the limit was set
};

// A delayed operation recorded by MoveFileExA(..., MOVEFILE_DELAY_UNTIL_REBOOT).
struct PendingRename {
    std::string from;
    std::string to;  // empty: delete at restart
};

// Where a path leads: its normalised form, the directory that holds (or would hold) its last
// component, and the node when it exists.
struct PathLookup {
    std::string full;            // normalised full path, "" when the path cannot be understood
    std::string name;            // the last component ("" for a drive root)
    FileNode* parent = nullptr;  // the containing directory, nullptr when missing (or for a root)
    FileNode* node = nullptr;    // the node, nullptr when missing
    // ERROR_SUCCESS when the node exists, ERROR_FILE_NOT_FOUND when only the last component is
    // missing, ERROR_PATH_NOT_FOUND when a directory on the way is missing or is a file (or the
    // drive does not exist), ERROR_INVALID_NAME for a name Windows refuses.
    DWORD error = 0;
};

class FileSystem {
public:
    FileSystem();
    FileSystem(const FileSystem& other);  // a deep copy of the drives (open handles stay with the original)
    FileSystem& operator=(const FileSystem& other);
    FileSystem(FileSystem&&) = default;
    FileSystem& operator=(FileSystem&&) = default;

    std::string currentDirectory = "C:\\";

    // Normalises a path against the current directory into "C:\A\B" form ("" when invalid): the full path
    // GetFullPathNameA gives (paths.h: separators, "." and "..", the last dot of directory components,
    // trailing dots and blanks), without a \\?\ or \\.\ prefix; a UNC path is invalid (no network here).
    // "X:name" is relative to the current directory when that is on drive X. The letter case is kept as
    // written. With keepTrailingSeparator a path written with a final separator keeps it.
    std::string fullPath(const std::string& path) const { return fullPath(path, false); }
    std::string fullPath(const std::string& path, bool keepTrailingSeparator) const;
    // Components are found by their names or, as Windows finds them, by their 8.3 aliases.
    PathLookup lookup(const std::string& path) const;
    FileNode* find(const std::string& path) const;
    FileNode* parentOf(const std::string& path) const;
    bool exists(const std::string& path) const { return find(path) != nullptr; }
    bool isDirectory(const std::string& path) const;
    std::string read(const std::string& path) const;  // "" when missing
    // Creates or replaces a file, creating missing parent directories. Throws MachineError
    // when the path is invalid or names a directory.
    FileNode& writeFile(const std::string& path, const std::string& content);
    FileNode& makeDirectories(const std::string& path);
    bool removeNode(const std::string& path);  // file or directory tree
    // Marks a file as held open by another process; a missing file is created empty first.
    void setLocked(const std::string& path, bool locked);
    // The 8.3 alias of a node, as GetShortPathNameA and FindFirstFileA report it: the name itself for an 8.3
    // name; otherwise the alias the node was given, or a new one. New aliases are given to every node of the
    // directory that has none yet, in name order, each the first of "NAME~1", "NAME~2", ... (paths.h) that no
    // name or alias of the directory takes; a node keeps its alias until it is renamed. Aliases are not saved:
    // a loaded machine gives them again in name order, as if its entries had been made in that order.
    std::string aliasOf(FileNode& node) const;
    // The child of a directory that has this alias (any letter case), or nullptr.
    FileNode* childByAlias(FileNode& directory, const std::string& alias) const;
    // The child of a directory with this name (any letter case) or, failing that, this alias; nullptr when
    // there is none. The name is taken as it is: nothing is trimmed or checked.
    FileNode* child(FileNode& directory, std::string_view name) const;

    // The drive roots by letter ("C", "D").
    FileNode* drive(const std::string& letter) const;
    std::vector<std::string> driveLetters() const;
    // Full paths of every file and directory below a path (itself excluded), in enumeration
    // order, directories before their contents.
    std::vector<std::string> listTree(const std::string& path) const;

    // Called after every successful WriteFile with the file's full path and the bytes written, and after
    // every successful FlushFileBuffers with the path and the file's whole content (flushed = true). It may
    // throw to stop the run there (what was written stays). Not copied with the file system.
    std::function<void(const std::string& path, const std::string& bytes, bool flushed)> onWrite;

    // Free space ([drive]): the bytes a drive has free now, and whether it has room for `growth` more bytes (a
    // new entry needs at least one byte free). Drives without a limit always have room.
    uint64_t freeBytes(const std::string& letter) const;
    // A drive that keeps no security descriptors ([drive] descriptors = no: a FAT volume, a Wine drive on a
    // file system without extended attributes): a descriptor given at creation is dropped, and a file's is
    // what plainSecurity says.
    bool keepsDescriptors(const std::string& letter) const { return !plainDrives_.count(letter.substr(0, 1)); }
    void setKeepsDescriptors(const std::string& letter, bool keeps);
    uint64_t totalBytes(const std::string& letter) const;
    bool hasRoom(const std::string& letter, uint64_t growth) const;
    void setDriveSpace(const std::string& letter, uint64_t total, uint64_t free);
    // What the drives hold now counts as there before the run: the free space declared is what is left
    // beside it (a loaded machine calls this once its files are all in place).
    void beginRun();
    // Access refused to a node: it, or a directory above it, is marked denied.
    static bool isDenied(const FileNode* node);

    // Windows's own files (standard_files.h). addStandardFiles makes those the machine does not have and
    // that no [removed] section names (nor a directory above them); their directories are made too and
    // marked implicitDirectory when they were missing.
    void addStandardFiles(const std::vector<StandardFile>& files);
    bool isStandardFile(const std::string& fullPath) const;
    // A standard file as Windows put it there (content, no attributes, not locked, not marked): not saved.
    bool isUnchangedStandardFile(const FileNode& node) const;
    // What SfcIsFileProtected answers for a full path: a standard file or a [file] marked protected, existing.
    bool isProtectedFile(const std::string& path) const;

    // drive/C/... under a machine directory; loading replaces the drives' contents.
    void loadDrives(const std::string& machineDir);
    void saveDrives(const std::string& machineDir) const;
    // [file] sections (path, locked, inuse, attributes, protected, denied), [security] sections (path, sddl: an
    // explicit security descriptor), [drive] sections (letter, total, free) and
    // [removed] sections (path: a standard file a run deleted) of machine.ini. The drives leave out the standard files
    // nothing changed, and implicit directories that hold nothing else.
    void load(const IniDoc& doc);
    // [security] sections, once every file is in place (Windows's own files and the layout included).
    void loadSecurity(const IniDoc& doc);
    // pending: the deletions and renames recorded for the next start, written as [pending] sections.
    void save(IniDoc& doc, const std::vector<PendingRename>& pending) const;

private:
    std::map<std::string, std::shared_ptr<FileNode>, ILess> drives_;  // "C" -> root
    // Full path -> content as Windows put it. Shared between copies (a copy of a machine made for every test or
    // input needs no copy of it); addStandardFiles gives this file system its own.
    using StandardContents = std::map<std::string, std::string, ILess>;
    std::shared_ptr<const StandardContents> standard_;
    const StandardContents& standardContents() const;  // empty before addStandardFiles
    std::map<std::string, DriveSpace, ILess> space_;      // "C" -> its declared space
    std::set<std::string, ILess> plainDrives_;             // drives that keep no security descriptors
    std::set<std::string, ILess> removed_;               // [removed] paths read at load
    void giveAliases(FileNode& directory) const;
};

// Windows file-name matching as FindFirstFileA does it: "*" any run of characters, "?" one
// character (or none before a dot or at the end of the name), "*.*" everything, "*." names
// without an extension; letter case is ignored.
bool matchFileName(const std::string& pattern, const std::string& name);

// A name Windows accepts for a file or directory component: at most kMaxFileNameLength
// characters, no control characters and none of < > : " / \ | ? *.
constexpr size_t kMaxFileNameLength = 255;  // NTFS, and long names on FAT
bool isValidFileName(const std::string& name);
bool isValidFileName(std::string_view name);

// "readonly,hidden,system,archive,temporary,offline,notindexed" <-> FILE_ATTRIBUTE_* bits.
std::string attributeWords(DWORD attributes);
DWORD parseAttributeWords(const std::string& words);  // throws MachineError on an unknown word

// The INI text rules of the profile functions, for subsystems that keep state in win.ini
// or other profile files. Section and key names compare case-insensitively; the first
// section and the first key of a name count.
namespace profile {
// The value of a key as GetPrivateProfileStringA returns it (trimmed, one pair of enclosing
// quotes removed); false when the section or key is absent.
bool get(const std::string& text, const std::string& section, const std::string& key, std::string& value);
// The text with the key set to value (added at the end of its section, the section added at
// the end of the text when missing), with the key's line removed (value null), or with the
// whole section removed (key null). Lines that are not touched keep their bytes.
std::string set(const std::string& text, const std::string& section, const std::string* key,
                const std::string* value);
// Section names in order; the keys of the first section of a name; its lines "key=value".
std::vector<std::string> sectionNames(const std::string& text);
std::vector<std::string> keys(const std::string& text, const std::string& section);
std::vector<std::string> sectionLines(const std::string& text, const std::string& section);
bool hasSection(const std::string& text, const std::string& section);
}  // namespace profile

}  // namespace simwin
