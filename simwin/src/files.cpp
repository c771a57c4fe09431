// The file system model: drives of nodes with Windows path rules, loading and saving the
// drives of a machine directory, and the [file] sections of machine.ini.
#include "simwin/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>

#include "simwin/api/fileapi.h"
#include "simwin/paths.h"

namespace fs = std::filesystem;

namespace simwin {

namespace {

bool isDriveLetter(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }

bool hasDrivePrefix(const std::string& p) { return p.size() >= 2 && isDriveLetter(p[0]) && p[1] == ':'; }

std::shared_ptr<FileNode> newRoot(char letter) {
    auto root = std::make_shared<FileNode>();
    root->name = std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(letter)))) + ":";
    root->isDirectory = true;
    return root;
}

// Calls f with each name of a path written with "\" (empty names skipped), in order and in place, while f
// answers true; false when it answered false.
template <class F>
bool forEachName(std::string_view path, F f) {
    for (size_t start = 0; start < path.size();) {
        size_t end = path.find('\\', start);
        if (end == std::string_view::npos) end = path.size();
        if (end > start && !f(path.substr(start, end - start))) return false;
        start = end + 1;
    }
    return true;
}

std::shared_ptr<FileNode> cloneTree(const FileNode& from, FileNode* parent) {
    auto n = std::make_shared<FileNode>();
    n->name = from.name;
    n->shortName = from.shortName;
    n->isDirectory = from.isDirectory;
    n->content = from.content;
    n->attributes = from.attributes;
    n->locked = from.locked;
    n->inUseRead = from.inUseRead;
    n->protectedFile = from.protectedFile;
    n->implicitDirectory = from.implicitDirectory;
    n->denied = from.denied;
    n->security = from.security;
    n->parent = parent;
    for (auto& c : from.children) n->children[c.first] = cloneTree(*c.second, n.get());
    return n;
}

// One entry of a directory of the machine directory: its name, whether it is a directory, its size.
struct DiskEntry {
    std::string name;
    bool isDirectory;
    off_t size;
};

// The entries of a directory, by name, with their type and size read relative to the directory (a machine
// directory holds many small files: no path is walked again for each).
std::vector<DiskEntry> diskEntries(const fs::path& from, int& dirFd, DIR*& handle) {
    handle = ::opendir(from.c_str());
    if (!handle) throw MachineError(from.string() + ": cannot be read");
    dirFd = ::dirfd(handle);
    std::vector<DiskEntry> entries;
    while (const dirent* e = ::readdir(handle)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        struct stat st;
        if (::fstatat(dirFd, e->d_name, &st, 0) != 0) {
            ::closedir(handle);
            throw MachineError((from / name).string() + ": cannot be read");
        }
        entries.push_back(DiskEntry{name, S_ISDIR(st.st_mode), st.st_size});
    }
    std::sort(entries.begin(), entries.end(), [](const DiskEntry& a, const DiskEntry& b) { return a.name < b.name; });
    return entries;
}

// The bytes of a file of the directory dirFd (from, for messages); an empty one is not opened.
std::string readBinary(int dirFd, const DiskEntry& e, const fs::path& from) {
    std::string out;
    if (e.size == 0) return out;
    const int fd = ::openat(dirFd, e.name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw MachineError((from / e.name).string() + ": cannot be read");
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ::close(fd);
            if (n < 0) throw MachineError((from / e.name).string() + ": cannot be read");
            return out;
        }
        out.append(buffer, static_cast<size_t>(n));
    }
}

void loadTree(FileNode& dir, const fs::path& from) {
    int dirFd = -1;
    DIR* handle = nullptr;
    const std::vector<DiskEntry> entries = diskEntries(from, dirFd, handle);
    struct Closer {
        DIR* handle;
        ~Closer() { ::closedir(handle); }
    } closer{handle};
    for (const DiskEntry& e : entries) {
        const std::string& name = e.name;
        if (!isValidFileName(name)) throw MachineError((from / name).string() + ": not a valid Windows file name");
        auto it = dir.children.find(name);
        if (it != dir.children.end())
            throw MachineError((from / name).string() + ": clashes with " + it->second->name +
                               " (names differ only in letter case)");
        auto n = std::make_shared<FileNode>();
        n->name = name;
        n->parent = &dir;
        if (e.isDirectory) {
            n->isDirectory = true;
            loadTree(*n, from / name);
        } else {
            n->content = readBinary(dirFd, e, from);
        }
        dir.children.emplace_hint(dir.children.end(), name, n);
    }
}

// Creates or truncates a file with these bytes: one open, the writes, one close (a machine saves many
// small files; a stream's buffer for each would cost more than the file).
void writeBinary(const fs::path& p, const std::string& content) {
    const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    bool ok = fd >= 0;
    for (size_t done = 0; ok && done < content.size();) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        done += ok ? static_cast<size_t>(n) : 0;
    }
    if (fd >= 0 && ::close(fd) != 0) ok = false;
    if (!ok) throw MachineError(p.string() + ": cannot be written");
}

// What a save leaves out of a directory's tree: standard files nothing changed, and directories made only
// for them that hold nothing else but at least one of them (the next load makes them again).
struct SaveFilter {
    const FileSystem& files;
    bool skipsFile(const FileNode& n) const { return files.isUnchangedStandardFile(n); }
    bool skipsDirectory(const FileNode& dir) const {
        if (!dir.implicitDirectory) return false;
        bool standardInside = false;
        return onlySkipped(dir, standardInside) && standardInside;
    }
    bool onlySkipped(const FileNode& dir, bool& standardInside) const {
        for (auto& c : dir.children) {
            const FileNode& n = *c.second;
            if (n.isDirectory) {
                if (!n.implicitDirectory || !onlySkipped(n, standardInside)) return false;
            } else if (skipsFile(n)) {
                standardInside = true;
            } else {
                return false;
            }
        }
        return true;
    }
};

void saveTree(const FileNode& dir, const fs::path& to, const SaveFilter& filter) {
    fs::create_directories(to);
    for (auto& c : dir.children) {
        fs::path p = to / c.second->name;
        if (c.second->isDirectory) {
            if (!filter.skipsDirectory(*c.second)) saveTree(*c.second, p, filter);
        } else if (filter.skipsFile(*c.second)) {
            continue;
        } else {
            writeBinary(p, c.second->content);
        }
    }
}

struct AttributeWord {
    const char* word;
    DWORD bit;
};
const AttributeWord kAttributeWords[] = {
    {"readonly", FILE_ATTRIBUTE_READONLY},   {"hidden", FILE_ATTRIBUTE_HIDDEN},
    {"system", FILE_ATTRIBUTE_SYSTEM},       {"archive", FILE_ATTRIBUTE_ARCHIVE},
    {"temporary", FILE_ATTRIBUTE_TEMPORARY}, {"offline", FILE_ATTRIBUTE_OFFLINE},
    {"notindexed", FILE_ATTRIBUTE_NOT_CONTENT_INDEXED},
};

// Markers for the DOS wildcards FindFirstFileA makes of "*" before a dot, "?" and a dot
// before a wildcard or at the end (control characters cannot occur in file names).
const char kDosStar = '\x01';
const char kDosQm = '\x02';
const char kDosDot = '\x03';

bool matchFrom(const std::string& p, size_t i, const std::string& n, size_t j, size_t lastDot) {
    while (i < p.size()) {
        char c = p[i];
        if (c == '*' || c == kDosStar) {
            size_t limit = n.size();
            if (c == kDosStar && lastDot != std::string::npos && lastDot >= j) limit = lastDot;
            for (size_t k = j; k <= limit; ++k)
                if (matchFrom(p, i + 1, n, k, lastDot)) return true;
            return false;
        }
        if (c == '?') {
            if (j >= n.size()) return false;
            ++i, ++j;
        } else if (c == kDosQm) {
            if (j < n.size() && n[j] != '.') ++j;
            ++i;
        } else if (c == kDosDot) {
            if (j < n.size()) {
                if (n[j] != '.') return false;
                ++j;
            }
            ++i;
        } else {
            if (j >= n.size() || std::toupper(static_cast<unsigned char>(c)) != std::toupper(static_cast<unsigned char>(n[j])))
                return false;
            ++i, ++j;
        }
    }
    return j == n.size();
}

uint64_t bytesBelow(const FileNode& n) {
    uint64_t total = n.content.size();
    for (auto& c : n.children) total += bytesBelow(*c.second);
    return total;
}

}  // namespace

// ---------------------------------------------------------------------------------------------

std::string FileNode::path() const {
    if (isRoot()) return name + "\\";
    std::vector<const FileNode*> chain;
    for (const FileNode* n = this; n; n = n->parent) chain.push_back(n);
    std::string out;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (!out.empty() && out.back() != '\\') out += '\\';
        out += (*it)->name;
        if ((*it)->isRoot()) out += '\\';
    }
    return out;
}

bool matchFileName(const std::string& pattern, const std::string& name) {
    if (pattern == "*" || pattern == "*.*") return true;
    std::string p;
    for (size_t i = 0; i < pattern.size(); ++i) {
        char c = pattern[i];
        char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
        if (c == '?' || c == '>')
            p += kDosQm;
        else if (c == '<' || (c == '*' && next == '.'))
            p += kDosStar;
        else if (c == '"' || (c == '.' && (next == '?' || next == '*' || next == '\0')))
            p += kDosDot;
        else
            p += c;
    }
    return matchFrom(p, 0, name, 0, name.find_last_of('.'));
}

bool isValidFileName(const std::string& name) { return isValidFileName(std::string_view(name)); }

bool isValidFileName(std::string_view name) {
    if (name.empty() || name.size() > kMaxFileNameLength) return false;
    for (unsigned char c : name)
        if (c < 32 || (c < 128 && std::strchr("<>:\"/\\|?*", c))) return false;
    return true;
}

std::string attributeWords(DWORD attributes) {
    std::string out;
    for (auto& w : kAttributeWords)
        if (attributes & w.bit) out += (out.empty() ? "" : ",") + std::string(w.word);
    return out;
}

DWORD parseAttributeWords(const std::string& words) {
    DWORD bits = 0;
    for (auto& raw : split(words, ',')) {
        std::string w = toLower(trim(raw));
        if (w.empty() || w == "normal") continue;
        bool known = false;
        for (auto& a : kAttributeWords)
            if (w == a.word) bits |= a.bit, known = true;
        if (!known)
            throw MachineError("attributes = " + words + ": unknown attribute '" + w +
                               "' (expected readonly, hidden, system, archive, temporary, offline, notindexed)");
    }
    return bits;
}

// ---------------------------------------------------------------------------------------------

FileSystem::FileSystem() {
    drives_["C"] = newRoot('C');
    drives_["D"] = newRoot('D');
}

FileSystem::FileSystem(const FileSystem& other)
    : currentDirectory(other.currentDirectory),
      standard_(other.standard_),
      space_(other.space_),
      plainDrives_(other.plainDrives_),
      removed_(other.removed_) {
    for (auto& d : other.drives_) drives_[d.first] = cloneTree(*d.second, nullptr);
}

FileSystem& FileSystem::operator=(const FileSystem& other) {
    if (this != &other) {
        FileSystem copy(other);
        *this = std::move(copy);
    }
    return *this;
}

std::string FileSystem::fullPath(const std::string& input, bool keepTrailingSeparator) const {
    if (isPlainFullPath(input)) return input;
    std::string p = win32FullPath(input, currentDirectory);
    if (p.empty()) return "";
    if (!devicePrefix(p).empty())
        p = p.substr(4);  // \\?\C:\... and \\.\C:\... name the same files as C:\...
    else if (p.size() >= 2 && p[0] == '\\' && p[1] == '\\')
        return "";  // network paths: no network here
    if (!hasDrivePrefix(p) || (p.size() > 2 && p[2] != '\\')) return "";
    if (p.size() == 2) p += '\\';
    if (!keepTrailingSeparator && p.size() > 3 && p.back() == '\\') p.pop_back();
    return p;
}

PathLookup FileSystem::lookup(const std::string& path) const {
    PathLookup r;
    r.full = fullPath(path);
    if (r.full.empty()) {
        std::string p = path;
        std::replace(p.begin(), p.end(), '/', '\\');
        r.error = p.compare(0, 2, "\\\\") == 0 && p.compare(0, 4, "\\\\?\\") != 0 && p.compare(0, 4, "\\\\.\\") != 0
                      ? ERROR_BAD_NETPATH
                      : ERROR_PATH_NOT_FOUND;
        return r;
    }
    // The names after "X:\", in place (a full path has no empty names): all checked, then followed.
    const std::string_view rest = std::string_view(r.full).substr(3);
    size_t count = 0;
    const bool valid = forEachName(rest, [&count](std::string_view c) {
        ++count;
        return isValidFileName(c);
    });
    if (!valid) {
        r.error = ERROR_INVALID_NAME;
        return r;
    }
    FileNode* dir = drive(r.full.substr(0, 1));
    if (!dir) {
        r.error = ERROR_PATH_NOT_FOUND;
        return r;
    }
    if (count == 0) {
        r.node = dir;
        return r;
    }
    size_t at = 0;
    const bool reached = forEachName(rest, [&](std::string_view c) {
        if (++at == count) {  // the last name: what it names, if anything, in the directory reached
            r.parent = dir;
            r.name = std::string(c);
            r.node = child(*dir, c);
            return true;
        }
        dir = child(*dir, c);
        return dir && dir->isDirectory;
    });
    if (!reached) {
        r.error = ERROR_PATH_NOT_FOUND;
        return r;
    }
    if (!r.node) r.error = ERROR_FILE_NOT_FOUND;
    return r;
}

FileNode* FileSystem::find(const std::string& path) const { return lookup(path).node; }

FileNode* FileSystem::child(FileNode& directory, std::string_view name) const {
    auto it = directory.children.find(name);
    if (it != directory.children.end()) return it->second.get();
    return name.find('~') == std::string_view::npos ? nullptr : childByAlias(directory, std::string(name));
}

std::string FileSystem::aliasOf(FileNode& node) const {
    if (isShortName(node.name) || node.isRoot()) return node.name;
    if (node.shortName.empty() && node.parent) giveAliases(*node.parent);
    return node.shortName;
}

FileNode* FileSystem::childByAlias(FileNode& directory, const std::string& alias) const {
    giveAliases(directory);
    for (auto& c : directory.children)
        if (!c.second->shortName.empty() && iequals(c.second->shortName, alias)) return c.second.get();
    return nullptr;
}

void FileSystem::giveAliases(FileNode& directory) const {
    std::set<std::string, ILess> taken;
    bool missing = false;
    for (auto& c : directory.children) {
        taken.insert(c.second->name);
        if (!c.second->shortName.empty()) taken.insert(c.second->shortName);
        missing = missing || (c.second->shortName.empty() && !isShortName(c.second->name));
    }
    if (!missing) return;
    for (auto& c : directory.children) {
        FileNode& n = *c.second;
        if (!n.shortName.empty() || isShortName(n.name)) continue;
        for (int i = 1; n.shortName.empty(); ++i) {
            const std::string candidate = shortNameCandidate(n.name, i);
            if (taken.insert(candidate).second) n.shortName = candidate;
        }
    }
}

FileNode* FileSystem::parentOf(const std::string& path) const {
    PathLookup r = lookup(path);
    return r.error == ERROR_SUCCESS || r.error == ERROR_FILE_NOT_FOUND ? r.parent : nullptr;
}

bool FileSystem::isDirectory(const std::string& path) const {
    FileNode* n = find(path);
    return n && n->isDirectory;
}

std::string FileSystem::read(const std::string& path) const {
    FileNode* n = find(path);
    return n && !n->isDirectory ? n->content : std::string();
}

FileNode& FileSystem::makeDirectories(const std::string& path) {
    std::string full = fullPath(path);
    if (full.empty()) throw MachineError(path + ": not a valid path");
    if (full.size() > MAX_PATH) throw MachineError(path + ": longer than " + std::to_string(MAX_PATH) + " characters");
    std::string letter = toUpper(full.substr(0, 1));
    auto& root = drives_[letter];
    if (!root) root = newRoot(letter[0]);
    FileNode* dir = root.get();
    forEachName(std::string_view(full).substr(3), [&](std::string_view c) {
        if (!isValidFileName(c)) throw MachineError(path + ": not a valid path");
        auto it = dir->children.find(c);
        if (it == dir->children.end()) {
            auto n = std::make_shared<FileNode>();
            n->name = std::string(c);
            n->isDirectory = true;
            n->parent = dir;
            it = dir->children.emplace(n->name, n).first;
        } else if (!it->second->isDirectory) {
            throw MachineError(path + ": " + it->second->path() + " is a file");
        }
        dir = it->second.get();
        return true;
    });
    return *dir;
}

FileNode& FileSystem::writeFile(const std::string& path, const std::string& content) {
    std::string full = fullPath(path);
    if (full.size() <= 3) throw MachineError(path + ": not a valid file path");
    if (full.size() > MAX_PATH) throw MachineError(path + ": longer than " + std::to_string(MAX_PATH) + " characters");
    size_t cut = full.find_last_of('\\');
    FileNode& dir = makeDirectories(full.substr(0, cut == 2 ? 3 : cut));
    std::string name = full.substr(cut + 1);
    if (!isValidFileName(name)) throw MachineError(path + ": not a valid file name");
    auto it = dir.children.find(name);
    if (it != dir.children.end()) {
        if (it->second->isDirectory) throw MachineError(path + ": is a directory");
        it->second->content = content;
        return *it->second;
    }
    auto n = std::make_shared<FileNode>();
    n->name = name;
    n->content = content;
    n->parent = &dir;
    dir.children.emplace(name, n);
    return *n;
}

bool FileSystem::removeNode(const std::string& path) {
    PathLookup r = lookup(path);
    if (!r.node || !r.parent) return false;
    auto it = r.parent->children.find(r.name);
    std::shared_ptr<FileNode> keep = it->second;  // open handles may still hold the node
    r.parent->children.erase(it);
    keep->parent = nullptr;
    return true;
}

void FileSystem::setLocked(const std::string& path, bool locked) {
    FileNode* n = find(path);
    if (!n) n = &writeFile(path, "");
    n->locked = locked;
}

FileNode* FileSystem::drive(const std::string& letter) const {
    auto it = drives_.find(letter.substr(0, 1));
    return it == drives_.end() ? nullptr : it->second.get();
}

std::vector<std::string> FileSystem::driveLetters() const {
    std::vector<std::string> out;
    for (auto& d : drives_) out.push_back(d.first);
    return out;
}

std::vector<std::string> FileSystem::listTree(const std::string& path) const {
    std::vector<std::string> out;
    FileNode* start = find(path);
    if (!start) return out;
    std::function<void(const FileNode&)> walk = [&](const FileNode& dir) {
        for (auto& c : dir.children) {
            out.push_back(c.second->path());
            if (c.second->isDirectory) walk(*c.second);
        }
    };
    walk(*start);
    return out;
}

// ---------------------------------------------------------------------------------------------

void FileSystem::loadDrives(const std::string& machineDir) {
    drives_.clear();
    drives_["C"] = newRoot('C');
    drives_["D"] = newRoot('D');
    fs::path base = fs::path(machineDir) / "drive";
    if (!fs::exists(base)) return;
    if (!fs::is_directory(base)) throw MachineError(base.string() + ": not a directory");
    std::vector<fs::path> entries;
    for (auto& e : fs::directory_iterator(base)) entries.push_back(e.path());
    std::sort(entries.begin(), entries.end());
    for (auto& p : entries) {
        std::string name = p.filename().string();
        if (name.size() != 1 || !isDriveLetter(name[0]) || !fs::is_directory(p))
            throw MachineError(p.string() + ": expected a directory named by a drive letter (C, D ...)");
        std::string letter = toUpper(name);
        auto& root = drives_[letter];
        if (!root) root = newRoot(letter[0]);
        if (!root->children.empty())
            throw MachineError(p.string() + ": drive " + letter + " is given twice (letter case)");
        loadTree(*root, p);
    }
}

void FileSystem::saveDrives(const std::string& machineDir) const {
    fs::path base = fs::path(machineDir) / "drive";
    const SaveFilter filter{*this};
    for (auto& d : drives_) {
        bool standardInside = false;
        if (d.second->children.empty() || filter.onlySkipped(*d.second, standardInside)) continue;
        saveTree(*d.second, base / d.first, filter);
    }
}

// ---------------------------------------------------------------------------------------------
// Windows's own files

void FileSystem::addStandardFiles(const std::vector<StandardFile>& files) {
    auto standard = std::make_shared<StandardContents>(standardContents());
    standard_ = standard;
    for (const StandardFile& f : files) {
        (*standard)[f.path] = f.content;
        // Deleted by a run: the file or a folder above it is among the removed paths (looked up, not scanned).
        bool removed = false;
        for (std::string p = f.path; !removed;) {
            removed = removed_.count(p) > 0;
            const size_t cut = p.find_last_of('\\');
            if (cut == std::string::npos) break;
            p.resize(cut);
        }
        if (removed || find(f.path)) continue;  // deleted by a run, or the machine's own file
        const size_t cut = f.path.find_last_of('\\');
        const std::string dir = f.path.substr(0, cut);
        if (f.path.size() > MAX_PATH) continue;  // below a layout folder too deep for it
        std::string existing = dir;  // the deepest directory on the way that is there already
        while (existing.size() > 3 && !find(existing)) existing = existing.substr(0, existing.find_last_of('\\'));
        try {
            makeDirectories(dir);
            writeFile(f.path, f.content);
        } catch (const MachineError&) {
            continue;  // a file of the machine's own stands where a directory would be
        }
        for (std::string d = dir; d.size() > existing.size(); d = d.substr(0, d.find_last_of('\\')))
            find(d)->implicitDirectory = true;
    }
}

// ---------------------------------------------------------------------------------------------
// Space and access

uint64_t FileSystem::freeBytes(const std::string& letter) const {
    auto it = space_.find(letter.substr(0, 1));
    if (it == space_.end()) return DriveSpace::kDefaultFree;
    const FileNode* root = drive(letter);
    const uint64_t now = root ? bytesBelow(*root) : 0;
    const uint64_t used = now > it->second.usedAtLoad ? now - it->second.usedAtLoad : 0;
    return used >= it->second.free ? 0 : it->second.free - used;
}

uint64_t FileSystem::totalBytes(const std::string& letter) const {
    auto it = space_.find(letter.substr(0, 1));
    return it == space_.end() ? DriveSpace::kDefaultTotal : it->second.total;
}

bool FileSystem::hasRoom(const std::string& letter, uint64_t growth) const {
    auto it = space_.find(letter.substr(0, 1));
    if (it == space_.end() || !it->second.limited) return true;
    const uint64_t free = freeBytes(letter);
    return free > 0 && growth <= free;
}

void FileSystem::setDriveSpace(const std::string& letter, uint64_t total, uint64_t free) {
    DriveSpace d;
    d.total = total;
    d.free = free;
    d.limited = true;
    const FileNode* root = drive(letter);
    d.usedAtLoad = root ? bytesBelow(*root) : 0;
    space_[toUpper(letter.substr(0, 1))] = d;
}

void FileSystem::setKeepsDescriptors(const std::string& letter, bool keeps) {
    const std::string key = toUpper(letter.substr(0, 1));
    if (keeps)
        plainDrives_.erase(key);
    else
        plainDrives_.insert(key);
}

void FileSystem::beginRun() {
    for (auto& d : space_) {
        const FileNode* root = drive(d.first);
        d.second.usedAtLoad = root ? bytesBelow(*root) : 0;
    }
}

bool FileSystem::isDenied(const FileNode* node) {
    for (; node; node = node->parent)
        if (node->denied) return true;
    return false;
}

const FileSystem::StandardContents& FileSystem::standardContents() const {
    static const StandardContents none;
    return standard_ ? *standard_ : none;
}

bool FileSystem::isStandardFile(const std::string& fullPath) const { return standardContents().count(fullPath) != 0; }

bool FileSystem::isUnchangedStandardFile(const FileNode& node) const {
    if (node.isDirectory || node.attributes || node.locked || node.inUseRead || node.protectedFile || node.denied ||
        node.security || !node.parent)
        return false;
    const StandardContents& standard = standardContents();
    auto it = standard.find(node.path());
    return it != standard.end() && it->second == node.content;
}

bool FileSystem::isProtectedFile(const std::string& path) const {
    const FileNode* n = find(path);
    if (!n || n->isDirectory) return false;
    return n->protectedFile || isStandardFile(n->path());
}

void FileSystem::load(const IniDoc& doc) {
    for (const IniSection* s : doc.all("file")) {
        std::string path = s->get("path");
        if (path.empty()) throw MachineError("[file] without a path");
        std::string full = fullPath(path);
        if (full.size() <= 3) throw MachineError("[file] path = " + path + ": expected a full file path");
        FileNode* n = find(full);
        if (!n) {
            try {
                n = &writeFile(full, "");
            } catch (const MachineError& e) {
                throw MachineError("[file] path = " + path + ": " + e.what());
            }
        }
        n->locked = s->getBool("locked", false);
        n->inUseRead = s->get("inuse") == "read";
        n->protectedFile = s->getBool("protected", false);
        n->denied = s->getBool("denied", false);
        if (s->has("attributes")) {
            try {
                n->attributes = parseAttributeWords(s->get("attributes"));
            } catch (const MachineError& e) {
                throw MachineError("[file] path = " + path + ": " + e.what());
            }
        }
    }
    space_.clear();
    plainDrives_.clear();
    std::set<std::string> declared;
    for (const IniSection* s : doc.all("drive")) {
        const std::string letter = toUpper(s->get("letter"));
        if (!declared.insert(letter).second) throw MachineError("[drive] letter = " + letter + " declared twice");
        if (s->get("descriptors", "yes") == "no") setKeepsDescriptors(letter, false);
        // A section that says only how the drive keeps descriptors leaves its space as it is.
        if (s->get("total").empty() && s->get("free").empty() && !s->get("descriptors").empty()) continue;
        const uint64_t total = std::strtoull(s->get("total", std::to_string(DriveSpace::kDefaultTotal)).c_str(), nullptr, 10);
        const uint64_t free = std::strtoull(s->get("free", std::to_string(total)).c_str(), nullptr, 10);
        setDriveSpace(letter, total, free);
    }
    removed_.clear();
    for (const IniSection* s : doc.all("removed")) {
        const std::string full = fullPath(s->get("path"));
        if (full.size() <= 3) throw MachineError("[removed] path = " + s->get("path") + ": expected a full file path");
        removed_.insert(full);
    }
}

void FileSystem::loadSecurity(const IniDoc& doc) {
    for (const IniSection* s : doc.all("security")) {
        FileNode* n = find(s->get("path"));
        if (!n) throw MachineError("[security] path = " + s->get("path") + ": no such file or directory");
        auto sd = std::make_shared<SecurityDescriptor>();
        if (!parseSddl(s->get("sddl"), *sd))
            throw MachineError("[security] path = " + s->get("path") + ": sddl = " + s->get("sddl") +
                               ": not a descriptor simwin reads (O:, G:, D: with A and D ACEs)");
        n->security = sd;
    }
}

void FileSystem::save(IniDoc& doc, const std::vector<PendingRename>& pending) const {
    std::vector<const FileNode*> noted;
    std::vector<std::pair<std::string, const FileNode*>> secured;
    std::function<void(const FileNode&)> walk = [&](const FileNode& dir) {
        for (auto& c : dir.children) {
            if (c.second->locked || c.second->inUseRead || c.second->attributes || c.second->protectedFile || c.second->denied)
                noted.push_back(c.second.get());
            if (c.second->security) secured.emplace_back(c.second->path(), c.second.get());
            if (c.second->isDirectory) walk(*c.second);
        }
    };
    for (auto& d : drives_) walk(*d.second);
    std::vector<std::pair<std::string, const FileNode*>> sorted;
    for (auto* n : noted) sorted.emplace_back(n->path(), n);
    std::sort(sorted.begin(), sorted.end(), [](auto& a, auto& b) { return iless(a.first, b.first); });
    for (auto& e : sorted) {
        IniSection& s = doc.add("file");
        s.add("path", e.first);
        if (e.second->locked) s.add("locked", "yes");
        if (e.second->inUseRead) s.add("inuse", "read");
        if (e.second->attributes) s.add("attributes", attributeWords(e.second->attributes));
        if (e.second->protectedFile) s.add("protected", "yes");
        if (e.second->denied) s.add("denied", "yes");
    }
    std::sort(secured.begin(), secured.end(), [](auto& a, auto& b) { return iless(a.first, b.first); });
    for (auto& e : secured) {
        IniSection& s = doc.add("security");
        s.add("path", e.first);
        s.add("sddl", formatSddl(*e.second->security, 0x7));
    }
    for (auto& d : space_) {
        IniSection& s = doc.add("drive");
        s.add("letter", d.first);
        s.add("total", std::to_string(d.second.total));
        s.add("free", std::to_string(freeBytes(d.first)));
        if (!keepsDescriptors(d.first)) s.add("descriptors", "no");
    }
    for (const std::string& letter : plainDrives_) {
        if (space_.count(letter)) continue;
        IniSection& s = doc.add("drive");
        s.add("letter", letter);
        s.add("descriptors", "no");
    }
    for (auto& r : pending) {
        IniSection& s = doc.add("pending");
        s.add("from", r.from);
        if (!r.to.empty()) s.add("to", r.to);
    }
    for (auto& f : standardContents())
        if (!find(f.first)) doc.add("removed").add("path", f.first);
}

}  // namespace simwin
