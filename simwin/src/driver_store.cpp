// The driver store: see driver_store.h.
#include "driver_store.h"

#include <cstdint>
#include <cstdio>

namespace simwin {
namespace driverstore {

namespace {

// 64-bit FNV-1a of the text: the same INF text gives the same folder on every load and save.
std::string textHash(const std::string& text) {
    uint64_t h = 14695981039346656037ull;
    for (unsigned char c : text) {
        h ^= c;
        h *= 1099511628211ull;
    }
    char out[17];
    std::snprintf(out, sizeof out, "%016llx", static_cast<unsigned long long>(h));
    return out;
}

bool isInfName(const std::string& name) {
    return name.size() > 4 && iequals(name.substr(name.size() - 4), ".inf");
}

std::string baseName(const std::string& path) {
    const size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string directoryOf(const std::string& path) {
    const size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// A file's text, when the path names a file.
bool fileText(const Machine& m, const std::string& path, std::string& text) {
    const FileNode* node = m.files.find(path);
    if (!node || node->isDirectory) return false;
    text = node->content;
    return true;
}

}  // namespace

bool present(const Machine& m) {
    const SystemInfo& s = m.system;
    return s.platform == Platform::Nt && (s.major > 6 || (s.major == 6 && s.minor >= 2));
}

std::string infDirectory(const Machine& m) { return m.system.windowsDir + "\\INF"; }

std::string repository(const Machine& m) { return m.system.systemDir + "\\DriverStore\\FileRepository"; }

std::string folderFor(const Machine& m, const std::string& infName, const std::string& text) {
    return repository(m) + "\\" + toLower(infName) + "_amd64_" + textHash(text);
}

std::string publishedPath(const Machine& m, const std::string& name) {
    if (name.find_first_of("\\/:") == std::string::npos) return isInfName(name) ? infDirectory(m) + "\\" + name : "";
    const std::string full = m.files.fullPath(name);
    if (full.empty() || !iequals(directoryOf(full), infDirectory(m)) || !isInfName(full)) return "";
    return full;
}

bool inStore(const Machine& m, const std::string& fullPath) {
    const std::string root = repository(m) + "\\";
    return fullPath.size() > root.size() && iequals(fullPath.substr(0, root.size()), root);
}

std::string storeCopyOf(const Machine& m, const std::string& publishedFullPath) {
    std::string text;
    if (!present(m) || !fileText(m, publishedFullPath, text)) return "";
    const FileNode* store = m.files.find(repository(m));
    if (!store || !store->isDirectory) return "";
    const std::string hash = "_amd64_" + textHash(text);
    // The folder's name says the INF's own name and its text's hash; the INF in it must have that text.
    for (const auto& [key, folder] : store->children) {
        const std::string& name = folder->name;
        if (!folder->isDirectory || name.size() <= hash.size() || !iequals(name.substr(name.size() - hash.size()), hash))
            continue;
        const std::string inf = repository(m) + "\\" + name + "\\" + name.substr(0, name.size() - hash.size());
        std::string stored;
        if (fileText(m, inf, stored) && stored == text) return m.files.lookup(inf).full;
    }
    return "";
}

std::string publishedOf(const Machine& m, const std::string& storeFullPath) {
    std::string text;
    if (!inStore(m, storeFullPath) || !fileText(m, storeFullPath, text)) return "";
    const FileNode* dir = m.files.find(infDirectory(m));
    if (!dir) return "";
    for (const auto& [key, node] : dir->children)
        if (!node->isDirectory && startsWithI(node->name, "oem") && isInfName(node->name) && node->content == text)
            return infDirectory(m) + "\\" + node->name;
    const std::string own = infDirectory(m) + "\\" + baseName(storeFullPath);
    std::string ownText;
    if (fileText(m, own, ownText) && ownText == text) return m.files.lookup(own).full;
    return "";
}

std::string add(Machine& m, const std::string& infName, const std::string& text) {
    const std::string path = folderFor(m, infName, text) + "\\" + infName;
    if (!m.files.exists(path)) m.files.writeFile(path, text);
    return path;
}

void removeCopyOf(Machine& m, const std::string& publishedFullPath) {
    const std::string copy = storeCopyOf(m, publishedFullPath);
    if (!copy.empty()) m.files.removeNode(directoryOf(copy));
}

std::string reportedInfPath(const Machine& m, const std::string& inf) {
    if (!present(m)) return inf;
    const std::string published = publishedPath(m, inf);
    const std::string copy = published.empty() ? "" : storeCopyOf(m, published);
    return copy.empty() ? inf : copy;
}

}  // namespace driverstore
}  // namespace simwin
