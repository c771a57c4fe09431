// Full paths and 8.3 aliases by the rules of Windows's path functions (RtlGetFullPathName_U,
// RtlGenerate8dot3Name), checked against Wine's and pinned by the conformance tests.
#include "simwin/paths.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "simwin/util.h"

namespace simwin {

namespace {

bool isSeparator(char c) { return c == '\\' || c == '/'; }

bool hasDrive(const std::string& p) { return p.size() >= 2 && std::isalpha(static_cast<unsigned char>(p[0])) && p[1] == ':'; }

// The end of a UNC path's \\server\share\ part (or of as much of it as is there).
size_t uncRootEnd(const std::string& p) {
    size_t at = 2;
    for (int part = 0; part < 2; ++part) {
        while (at < p.size() && p[at] != '\\') ++at;
        while (at < p.size() && p[at] == '\\') ++at;
    }
    return at;
}

// Removes "." and ".." components, the last dot of each directory component and trailing dots and blanks
// of the path, below the first `mark` characters (which stay as they are). Separators are "\" by now.
std::string collapse(const std::string& in, size_t mark) {
    // Runs of separators count as one (after the first character: a UNC path starts with two).
    std::string p;
    for (size_t i = 0; i < in.size(); ++i)
        if (!(i > 0 && i >= std::max<size_t>(1, mark) && in[i] == '\\' && p.back() == '\\')) p += in[i];
    if (mark > p.size()) mark = p.size();

    size_t at = mark;
    while (at < p.size()) {
        if (p[at] == '.') {
            const char next = at + 1 < p.size() ? p[at + 1] : '\0';
            const char after = at + 2 < p.size() ? p[at + 2] : '\0';
            if (next == '\\') {  // a ".\" component
                p.erase(at, 2);
                continue;
            }
            if (next == '\0') {  // a final "."
                if (at > mark) --at;
                p.erase(at);
                continue;
            }
            if (next == '.' && (after == '\\' || after == '\0')) {  // "..\" or a final ".."
                size_t start = at;
                if (start > mark) {
                    --start;
                    while (start > mark && p[start - 1] != '\\') --start;
                }
                if (after == '\\') {
                    p.erase(start, at + 3 - start);
                } else {
                    if (start > mark) --start;
                    p.erase(start);
                }
                at = start;
                continue;
            }
        }
        while (at < p.size() && p[at] != '\\') ++at;  // to the end of this component
        if (at < p.size()) {
            if (at > mark && p[at - 1] == '.')
                p.erase(at - 1, 1);  // the last dot of a directory component; the separator is at at-1 now
            else
                ++at;
        }
    }
    size_t end = p.size();
    while (end > mark && (p[end - 1] == ' ' || p[end - 1] == '.')) --end;
    p.erase(end);
    return p;
}

const char kShortIllegal[] = "*?<>|\"+=,;[]:/\\";

// A character an alias may hold: printable, not a blank or a dot, not one of the characters Windows
// refuses in names; "+,;=[]" become "_".
bool aliasChar(char c, char& out) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u <= ' ' || c == '.' || std::strchr("*?<>|\"/\\:", c)) return false;
    out = std::strchr("+,;=[]", c) ? '_' : static_cast<char>(std::toupper(u));
    return true;
}

}  // namespace

std::string devicePrefix(const std::string& path) {
    if (path.size() >= 4 && isSeparator(path[0]) && isSeparator(path[1]) && (path[2] == '?' || path[2] == '.') &&
        isSeparator(path[3]))
        return std::string("\\\\") + path[2] + "\\";
    return "";
}

bool isPlainFullPath(const std::string& p) {
    if (p.size() < 3 || !hasDrive(p) || p[2] != '\\') return false;
    if (p.size() == 3) return true;
    if (p.back() == ' ') return false;
    for (size_t i = 3; i <= p.size(); ++i) {
        if (i < p.size() && p[i] == '/') return false;
        if (i < p.size() && p[i] != '\\') continue;
        if (i == 3 || p[i - 1] == '\\' || p[i - 1] == '.') return false;  // an empty name, or one ending in a dot
    }
    return true;
}

std::string win32FullPath(const std::string& name, const std::string& currentDirectory) {
    if (name.empty()) return "";
    if (isPlainFullPath(name)) return name;  // what collapsing would give back
    std::string p = name;
    std::replace(p.begin(), p.end(), '/', '\\');
    std::string cwd = currentDirectory;
    std::replace(cwd.begin(), cwd.end(), '/', '\\');
    if (!hasDrive(cwd)) cwd = "C:\\";
    if (cwd.size() > 3 && cwd.back() == '\\') cwd.pop_back();

    if (p.size() >= 2 && p[0] == '\\' && p[1] == '\\') {
        if (p.size() >= 3 && (p[2] == '.' || p[2] == '?') && (p.size() == 3 || p[3] == '\\')) {
            if (p.size() == 3) p += '\\';  // "\\." alone is the device root "\\.\"
            return collapse(p, 4);
        }
        return collapse(p, uncRootEnd(p));  // \\server\share\...
    }
    if (hasDrive(p)) {
        if (p.size() >= 3 && p[2] == '\\') return collapse(p, 3);
        // "X:name": relative to the current directory when that is on drive X, else to X:'s root.
        const bool sameDrive = std::toupper(static_cast<unsigned char>(cwd[0])) == std::toupper(static_cast<unsigned char>(p[0]));
        const std::string base = sameDrive ? cwd : p.substr(0, 2) + "\\";
        return collapse(base + (base.back() == '\\' ? "" : "\\") + p.substr(2), 3);
    }
    if (p[0] == '\\') return collapse(cwd.substr(0, 2) + p, 3);
    return collapse(cwd + (cwd.back() == '\\' ? "" : "\\") + p, 3);
}

bool isShortName(const std::string& name) {
    if (name == "." || name == "..") return true;
    if (name.empty() || name.size() > 12 || name[0] == '.') return false;
    size_t dot = std::string::npos;
    for (size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        if (c == ' ' || static_cast<unsigned char>(c) < ' ' || std::strchr(kShortIllegal, c)) return false;
        if (c == '.') {
            if (dot != std::string::npos) return false;
            dot = i;
        }
    }
    if (dot == std::string::npos) return name.size() <= 8;
    return dot <= 8 && name.size() - dot <= 4 && dot + 1 < name.size();
}

std::string shortNameCandidate(const std::string& longName, int n) {
    const size_t lastDot = longName.find_last_of('.');
    const bool hasExtension = lastDot != std::string::npos && lastDot > 0;
    const std::string stem = hasExtension ? longName.substr(0, lastDot) : longName;
    const std::string tail = "~" + std::to_string(n);
    std::string base, extension;
    char c;
    for (char in : stem)
        if (base.size() + tail.size() < 8 && aliasChar(in, c)) base += c;
    if (base.empty()) base = "_";
    if (hasExtension)
        for (char in : longName.substr(lastDot + 1))
            if (extension.size() < 3 && aliasChar(in, c)) extension += c;
    return base + tail + (extension.empty() ? "" : "." + extension);
}

}  // namespace simwin
