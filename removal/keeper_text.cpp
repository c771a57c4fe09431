#include "removal/keeper_text.h"

#include <ctype.h>
#include <string.h>

#include "base/folder_paths.h"
#include "base/platform.h"

std::string Lower(const std::string& text) {
    std::string out = text;
    for (char& c : out) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string FileNameOf(const std::string& path) {
    const size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string BaseName(const std::string& path) {
    const std::string name = FileNameOf(path);
    const size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string FullPathOf(const std::string& path) {
    std::string full;
    if (!FullFolderPath(path.c_str(), full)) return std::string();
    // A short name (PROGRA~1) is the same place as its long one.
    char longPath[MAX_PATH];
    const DWORD n = GetLongPathNameA(full.c_str(), longPath, sizeof longPath);
    if (n > 0 && n < sizeof longPath) FullFolderPath(longPath, full);
    return full;
}

std::string FullKey(const std::string& path) { return Lower(FullPathOf(path)); }

namespace {

// The Windows directory for the ways a command names it.
std::string WithWindowsDirectory(std::string path, const std::string& windowsDir) {
    static const char* const kPrefixes[] = {"%SystemRoot%", "%windir%", "\\SystemRoot"};
    if (path.compare(0, 4, "\\??\\") == 0) path.erase(0, 4);
    for (const char* prefix : kPrefixes) {
        const size_t n = strlen(prefix);
        if (path.size() >= n && _strnicmp(path.c_str(), prefix, n) == 0) return windowsDir + path.substr(n);
    }
    // A kernel driver's image path may be relative to the Windows directory ("System32\drivers\x.sys").
    if (_strnicmp(path.c_str(), "System32\\", 9) == 0) return windowsDir + "\\" + path;
    return path;
}

bool IsFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The first word of a command: the quoted text; or, as Windows reads a path with blanks written without
// quotes, the shortest run up to a blank (or the whole text) that names a file; else up to the first blank
// after ".exe", or up to the first blank.
std::string FirstWord(const std::string& command, size_t& end) {
    const std::string text = Trimmed(command);
    if (!text.empty() && text[0] == '"') {
        const size_t close = text.find('"', 1);
        end = close == std::string::npos ? text.size() : close + 1;
        return text.substr(1, (close == std::string::npos ? text.size() : close) - 1);
    }
    if (text.find('\\') != std::string::npos) {
        for (size_t blank = text.find(' ');; blank = text.find(' ', blank + 1)) {
            const size_t at = blank == std::string::npos ? text.size() : blank;
            std::string candidate = text.substr(0, at);
            const size_t comma = candidate.find(',');  // a library's entry point ("x.dll,Start") or an icon's index
            if (comma != std::string::npos) candidate.erase(comma);
            if (IsFile(candidate)) {
                end = at;
                return text.substr(0, at);
            }
            if (blank == std::string::npos) break;
        }
    }
    const std::string lower = Lower(text);
    for (size_t at = lower.find(".exe"); at != std::string::npos; at = lower.find(".exe", at + 1)) {
        const size_t after = at + 4;
        if (after == text.size() || text[after] == ' ') {
            end = after;
            return text.substr(0, after);
        }
    }
    const size_t blank = text.find(' ');
    end = blank == std::string::npos ? text.size() : blank;
    return text.substr(0, end);
}

}  // namespace

std::string ProgramOf(const std::string& command, const std::string& windowsDir) {
    const std::string text = Trimmed(command);
    size_t end = 0;
    std::string program = FirstWord(text, end);
    const std::string name = Lower(BaseName(program));
    // rundll32 and regsvr32 are Windows's: what they run is the library of their first argument.
    if (name == "rundll32" || name == "regsvr32") {
        std::string rest = Trimmed(text.substr(end < text.size() ? end : text.size()));
        while (!rest.empty() && rest[0] == '/') {  // regsvr32's switches
            const size_t blank = rest.find(' ');
            rest = blank == std::string::npos ? std::string() : Trimmed(rest.substr(blank));
        }
        size_t argumentEnd = 0;
        std::string library = FirstWord(rest, argumentEnd);
        const size_t comma = library.find(',');
        if (comma != std::string::npos) library.erase(comma);
        if (!library.empty()) program = library;
    }
    return WithWindowsDirectory(program, windowsDir);
}
