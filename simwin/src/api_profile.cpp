// The profile (INI) functions on the current machine's files, and the INI text rules they
// share with other subsystems.
//
// The text is edited in place, line by line: a changed key keeps its line (and line ending),
// a new key goes after the last non-empty line of its section, a new section goes to the end
// of the file. Lines that are not touched keep their bytes. There is no cache: every call
// reads the file, every write goes to the file at once.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "simwin/machine.h"
#include "simwin/win32.h"

using simwin::current;
using simwin::FileNode;
using simwin::PathLookup;

namespace simwin {
namespace profile {

namespace {

std::string trimBlanks(const std::string& s) {
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return "";
    size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

struct Line {
    std::string raw;   // with its line ending
    std::string body;  // without it
    enum Kind { Blank, Comment, Header, Entry } kind = Blank;
    std::string name;  // section name (Header) or key (Entry)
    std::string value;
    bool hasValue = false;  // the entry has "="
};

std::vector<Line> parse(const std::string& text) {
    std::vector<Line> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t eol = text.find('\n', pos);
        size_t next = eol == std::string::npos ? text.size() : eol + 1;
        Line l;
        l.raw = text.substr(pos, next - pos);
        l.body = l.raw;
        while (!l.body.empty() && (l.body.back() == '\n' || l.body.back() == '\r')) l.body.pop_back();
        std::string t = trimBlanks(l.body);
        if (t.empty()) {
            l.kind = Line::Blank;
        } else if (t[0] == ';') {
            l.kind = Line::Comment;
        } else if (t[0] == '[') {
            l.kind = Line::Header;
            size_t close = t.find(']');
            l.name = trimBlanks(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
        } else {
            l.kind = Line::Entry;
            size_t eq = t.find('=');
            l.hasValue = eq != std::string::npos;
            l.name = trimBlanks(t.substr(0, eq));
            if (l.hasValue) l.value = trimBlanks(t.substr(eq + 1));
        }
        lines.push_back(l);
        pos = next;
    }
    return lines;
}

std::string join(const std::vector<Line>& lines) {
    std::string out;
    for (auto& l : lines) out += l.raw;
    return out;
}

// The first section of a name: [begin, end) line indices, begin at the header; false when absent.
bool findSection(const std::vector<Line>& lines, const std::string& section, size_t& begin, size_t& end) {
    std::string wanted = trimBlanks(section);
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].kind != Line::Header || !iequals(lines[i].name, wanted)) continue;
        begin = i;
        end = i + 1;
        while (end < lines.size() && lines[end].kind != Line::Header) ++end;
        return true;
    }
    return false;
}

// The first entry of a key in a section; lines without "=" count only when withoutValue is set
// (they are no keys to the readers, but a writer gives them a value).
bool findKey(const std::vector<Line>& lines, size_t begin, size_t end, const std::string& key, size_t& at,
             bool withoutValue = false) {
    std::string wanted = trimBlanks(key);
    for (size_t i = begin + 1; i < end; ++i)
        if (lines[i].kind == Line::Entry && (lines[i].hasValue || withoutValue) && iequals(lines[i].name, wanted)) {
            at = i;
            return true;
        }
    return false;
}

std::string unquote(const std::string& v) {
    if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0]) return v.substr(1, v.size() - 2);
    return v;
}

std::string lineEndingOf(const std::string& text) {
    size_t eol = text.find('\n');
    return eol != std::string::npos && eol > 0 && text[eol - 1] == '\r' ? "\r\n"
           : eol != std::string::npos                                   ? "\n"
                                                                        : "\r\n";
}

Line makeLine(const std::string& body, const std::string& eol) {
    std::vector<Line> parsed = parse(body + eol);
    return parsed.front();
}

// The lines of a text, parsed once for as long as the same text is read again (a profile read parses
// the whole file; the tool reads the same files many times over).
const std::vector<Line>& parsedLines(const std::string& text) {
    static std::string cachedText;
    static std::vector<Line> cachedLines;
    static bool valid = false;
    if (!valid || text != cachedText) {
        cachedLines = parse(text);
        cachedText = text;
        valid = true;
    }
    return cachedLines;
}

}  // namespace

bool get(const std::string& text, const std::string& section, const std::string& key, std::string& value) {
    const std::vector<Line>& lines = parsedLines(text);
    size_t begin, end, at;
    if (!findSection(lines, section, begin, end) || !findKey(lines, begin, end, key, at)) return false;
    value = unquote(lines[at].value);
    return true;
}

bool hasSection(const std::string& text, const std::string& section) {
    const std::vector<Line>& lines = parsedLines(text);
    size_t begin, end;
    return findSection(lines, section, begin, end);
}

std::string set(const std::string& text, const std::string& section, const std::string* key,
                const std::string* value) {
    std::vector<Line> lines = parse(text);
    const std::string eol = lineEndingOf(text);
    size_t begin = 0, end = 0, at = 0;
    bool found = findSection(lines, section, begin, end);
    if (!key) {
        if (found) lines.erase(lines.begin() + begin, lines.begin() + end);
        return join(lines);
    }
    if (!value) {
        if (found && findKey(lines, begin, end, *key, at, true)) lines.erase(lines.begin() + at);
        return join(lines);
    }
    if (found && findKey(lines, begin, end, *key, at, true)) {
        std::string ending = lines[at].raw.substr(lines[at].body.size());
        lines[at] = makeLine(lines[at].name + "=" + *value, ending.empty() ? "" : ending);
        return join(lines);
    }
    Line entry = makeLine(trimBlanks(*key) + "=" + *value, eol);
    if (found) {
        size_t last = begin;
        for (size_t i = begin + 1; i < end; ++i)
            if (lines[i].kind != Line::Blank) last = i;
        if (lines[last].raw.size() == lines[last].body.size()) lines[last] = makeLine(lines[last].body, eol);
        lines.insert(lines.begin() + last + 1, entry);
        return join(lines);
    }
    std::string out = text;
    if (!out.empty() && out.back() != '\n') out += eol;
    out += "[" + trimBlanks(section) + "]" + eol + entry.raw;
    return out;
}

std::vector<std::string> sectionNames(const std::string& text) {
    std::vector<std::string> out;
    for (auto& l : parsedLines(text))
        if (l.kind == Line::Header) out.push_back(l.name);
    return out;
}

std::vector<std::string> keys(const std::string& text, const std::string& section) {
    std::vector<std::string> out;
    const std::vector<Line>& lines = parsedLines(text);
    size_t begin, end;
    if (!findSection(lines, section, begin, end)) return out;
    for (size_t i = begin + 1; i < end; ++i)
        if (lines[i].kind == Line::Entry && lines[i].hasValue) out.push_back(lines[i].name);
    return out;
}

std::vector<std::string> sectionLines(const std::string& text, const std::string& section) {
    std::vector<std::string> out;
    const std::vector<Line>& lines = parsedLines(text);
    size_t begin, end;
    if (!findSection(lines, section, begin, end)) return out;
    for (size_t i = begin + 1; i < end; ++i)
        if (lines[i].kind == Line::Entry)
            out.push_back(lines[i].hasValue ? lines[i].name + "=" + lines[i].value : lines[i].name);
    return out;
}

}  // namespace profile
}  // namespace simwin

// ---------------------------------------------------------------------------------------------

namespace {

// A bare file name lies in the Windows directory; anything with a directory part is a path.
std::string profilePath(LPCSTR file) {
    std::string f = file ? file : "win.ini";
    bool bare = f.find_first_of("\\/") == std::string::npos && !(f.size() >= 2 && f[1] == ':');
    if (bare) return current().system.windowsDir + "\\" + f;
    return f;
}

// Reads a profile file the way the profile functions open it (read access, others may read
// and write). On failure returns false with the error code.
bool readProfile(LPCSTR file, std::string& text, DWORD& error) {
    PathLookup l = current().files.lookup(profilePath(file));
    if (l.error) {
        error = l.error;
        return false;
    }
    const FileNode& n = *l.node;
    if (n.isDirectory) {
        error = ERROR_ACCESS_DENIED;
        return false;
    }
    if (n.locked || n.sharedRead < n.accessHandles || n.deleters) {
        error = ERROR_SHARING_VIOLATION;
        return false;
    }
    text = n.content;
    return true;
}

// Copies a string result: at most size - 1 characters and a NUL; the number copied.
DWORD putString(const std::string& s, LPSTR buffer, DWORD size) {
    if (!buffer || size == 0) return 0;
    size_t n = std::min<size_t>(s.size(), size - 1);
    std::memcpy(buffer, s.data(), n);
    buffer[n] = 0;
    if (n < s.size()) SetLastError(ERROR_MORE_DATA);
    return static_cast<DWORD>(n);
}

// Copies a double-NUL list. When it does not fit, the list is cut (the last item may be cut
// short), closed with two NULs, and the result is size - 2.
DWORD putList(const std::vector<std::string>& items, LPSTR buffer, DWORD size) {
    if (!buffer || size == 0) return 0;
    std::string list;
    for (auto& i : items) list += i + '\0';
    if (list.size() + 1 <= size) {
        std::memcpy(buffer, list.data(), list.size());
        buffer[list.size()] = 0;
        if (list.empty() && size > 1) buffer[1] = 0;
        return static_cast<DWORD>(list.size());
    }
    if (size < 2) {
        buffer[0] = 0;
        return 0;
    }
    std::memcpy(buffer, list.data(), size - 2);
    buffer[size - 2] = 0;
    buffer[size - 1] = 0;
    SetLastError(ERROR_MORE_DATA);
    return size - 2;
}

std::string defaultText(LPCSTR def) {
    std::string d = def ? def : "";
    size_t end = d.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : d.substr(0, end + 1);
}

}  // namespace

DWORD WINAPI GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault, LPSTR lpReturnedString,
                                      DWORD nSize, LPCSTR lpFileName) {
    if (!lpReturnedString || nSize == 0) return 0;
    std::string text;
    DWORD error = ERROR_SUCCESS;
    bool ok = readProfile(lpFileName, text, error);
    if (!lpAppName) {
        if (!ok) SetLastError(error);
        return putList(ok ? simwin::profile::sectionNames(text) : std::vector<std::string>(), lpReturnedString, nSize);
    }
    if (!lpKeyName) {
        if (ok && simwin::profile::hasSection(text, lpAppName))
            return putList(simwin::profile::keys(text, lpAppName), lpReturnedString, nSize);
    } else {
        std::string value;
        if (ok && simwin::profile::get(text, lpAppName, lpKeyName, value))
            return putString(value, lpReturnedString, nSize);
    }
    SetLastError(ok ? ERROR_FILE_NOT_FOUND : error);
    return putString(defaultText(lpDefault), lpReturnedString, nSize);
}

UINT WINAPI GetPrivateProfileIntA(LPCSTR lpAppName, LPCSTR lpKeyName, INT nDefault, LPCSTR lpFileName) {
    if (!lpAppName || !lpKeyName) return static_cast<UINT>(nDefault);
    std::string text, value;
    DWORD error = ERROR_SUCCESS;
    if (!readProfile(lpFileName, text, error)) {
        SetLastError(error);
        return static_cast<UINT>(nDefault);
    }
    if (!simwin::profile::get(text, lpAppName, lpKeyName, value) || value.empty()) return static_cast<UINT>(nDefault);
    // Read as RtlCharToInteger does: blanks, a sign, "0x" / "0o" / "0b" for another base, then the
    // digits up to the first other character; no digits give 0. The result is the 32-bit value.
    size_t i = value.find_first_not_of(" \t");
    bool negative = false;
    if (i < value.size() && (value[i] == '-' || value[i] == '+')) negative = value[i++] == '-';
    unsigned base = 10;
    if (i + 1 < value.size() && value[i] == '0') {
        char p = static_cast<char>(std::tolower(static_cast<unsigned char>(value[i + 1])));
        base = p == 'x' ? 16 : p == 'o' ? 8 : p == 'b' ? 2 : 10;
        if (base != 10) i += 2;
    }
    uint32_t n = 0;
    for (; i < value.size(); ++i) {
        int c = std::tolower(static_cast<unsigned char>(value[i]));
        unsigned digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : 99;
        if (digit >= base) break;
        n = n * base + digit;
    }
    return negative ? 0u - n : n;
}

DWORD WINAPI GetPrivateProfileSectionA(LPCSTR lpAppName, LPSTR lpReturnedString, DWORD nSize, LPCSTR lpFileName) {
    if (!lpReturnedString || nSize == 0) return 0;
    if (!lpAppName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return putList({}, lpReturnedString, nSize);
    }
    std::string text;
    DWORD error = ERROR_SUCCESS;
    if (!readProfile(lpFileName, text, error)) {
        SetLastError(error);
        return putList({}, lpReturnedString, nSize);
    }
    return putList(simwin::profile::sectionLines(text, lpAppName), lpReturnedString, nSize);
}

DWORD WINAPI GetPrivateProfileSectionNamesA(LPSTR lpszReturnBuffer, DWORD nSize, LPCSTR lpFileName) {
    if (!lpszReturnBuffer || nSize == 0) return 0;
    std::string text;
    DWORD error = ERROR_SUCCESS;
    if (!readProfile(lpFileName, text, error)) {
        SetLastError(error);
        return putList({}, lpszReturnBuffer, nSize);
    }
    return putList(simwin::profile::sectionNames(text), lpszReturnBuffer, nSize);
}

BOOL WINAPI WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString, LPCSTR lpFileName) {
    // All three null: flush the profile cache. Windows reports that as a failure.
    if (!lpAppName && !lpKeyName && !lpString) return FALSE;
    if (!lpAppName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto& fs = current().files;
    PathLookup l = fs.lookup(profilePath(lpFileName));
    if (l.error != ERROR_SUCCESS && l.error != ERROR_FILE_NOT_FOUND) {
        SetLastError(l.error);
        return FALSE;
    }
    const std::string key = lpKeyName ? lpKeyName : "";
    const std::string value = lpString ? lpString : "";
    const std::string* keyArg = lpKeyName ? &key : nullptr;
    const std::string* valueArg = lpString ? &value : nullptr;
    if (simwin::FileSystem::isDenied(l.node ? l.node : l.parent)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    const std::string letter = l.full.substr(0, 1);
    if (!l.node) {
        if (!keyArg || !valueArg) return TRUE;  // nothing to delete
        const std::string text = simwin::profile::set("", lpAppName, keyArg, valueArg);
        if (!fs.hasRoom(letter, text.size())) {
            SetLastError(ERROR_DISK_FULL);
            return FALSE;
        }
        auto n = std::make_shared<FileNode>();
        n->name = l.name;
        n->parent = l.parent;
        n->content = text;
        l.parent->children[l.name] = n;
        return TRUE;
    }
    FileNode& n = *l.node;
    if (n.isDirectory || (n.attributes & FILE_ATTRIBUTE_READONLY)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    // Opened for reading and writing, others may read.
    if (n.locked || n.sharedRead < n.accessHandles || n.sharedWrite < n.accessHandles || n.writers ||
        n.deleters) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    const std::string text = simwin::profile::set(n.content, lpAppName, keyArg, valueArg);
    if (text.size() > n.content.size() && !fs.hasRoom(letter, text.size() - n.content.size())) {
        SetLastError(ERROR_DISK_FULL);
        return FALSE;
    }
    n.content = text;
    return TRUE;
}

DWORD WINAPI GetProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault, LPSTR lpReturnedString,
                               DWORD nSize) {
    return GetPrivateProfileStringA(lpAppName, lpKeyName, lpDefault, lpReturnedString, nSize, "win.ini");
}

BOOL WINAPI WriteProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString) {
    const BOOL written = WritePrivateProfileStringA(lpAppName, lpKeyName, lpString, "win.ini");
    // On the NT family the default printer is the user's device line: the spooler follows it.
    if (written && lpAppName && lpKeyName && lpString && simwin::iequals(lpAppName, "windows") &&
        simwin::iequals(lpKeyName, "device") && current().system.platform == simwin::Platform::Nt) {
        const std::string line = lpString;
        current().spooler.makeDefault(line.substr(0, line.find(',')));
    }
    return written;
}

UINT WINAPI GetProfileIntA(LPCSTR lpAppName, LPCSTR lpKeyName, INT nDefault) {
    return GetPrivateProfileIntA(lpAppName, lpKeyName, nDefault, "win.ini");
}
