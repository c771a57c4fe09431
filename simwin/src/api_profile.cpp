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
#include <unordered_map>
#include <vector>

#include "simwin/ini_mapping.h"
#include "simwin/machine.h"
#include "simwin/win32.h"

#include "file_access.h"

using simwin::current;
using simwin::FileNode;
using simwin::PathLookup;
using simwin::Access;

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

// Where the line that starts at pos ends, its line ending included. A line ends at a CR LF, a LF or a bare
// CR, as Windows reads profile files (a file written on an old Macintosh has only CRs).
size_t lineEnd(const std::string& text, size_t pos) {
    size_t eol = text.find_first_of("\r\n", pos);
    if (eol == std::string::npos) return text.size();
    return text[eol] == '\r' && eol + 1 < text.size() && text[eol + 1] == '\n' ? eol + 2 : eol + 1;
}

// The text ends at its first NUL byte, as the profile functions read a file as a string (a file written with
// its terminating NUL reads as the same file without it; a write keeps only what was read).
std::vector<Line> parse(const std::string& whole) {
    const std::string text = whole.substr(0, whole.find('\0'));
    std::vector<Line> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t next = lineEnd(text, pos);
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

// The line ending of new lines: LF in a file whose first line ends in a bare LF, else CR LF.
std::string lineEndingOf(const std::string& text) {
    size_t eol = text.find_first_of("\r\n");
    return eol != std::string::npos && text[eol] == '\n' ? "\n" : "\r\n";
}

Line makeLine(const std::string& body, const std::string& eol) {
    std::vector<Line> parsed = parse(body + eol);
    return parsed.front();
}

// The lines of a text with the place of each section name's first section, parsed once for as long as the
// same text is read again (a profile read parses the whole file; the tool reads the same files many times
// over, a printer removal the family's script once per printer).
struct Parsed {
    std::string text;
    std::vector<Line> lines;
    std::unordered_map<std::string, std::pair<size_t, size_t>> sections;  // lower-cased name -> [begin, end)
};

const Parsed& parsedText(const std::string& text) {
    static Parsed cached;
    static bool valid = false;
    if (valid && text.size() == cached.text.size() && text == cached.text) return cached;
    cached.text = text;
    cached.lines = parse(text);
    cached.sections.clear();
    for (size_t i = 0; i < cached.lines.size(); ++i) {
        if (cached.lines[i].kind != Line::Header) continue;
        size_t end = i + 1;
        while (end < cached.lines.size() && cached.lines[end].kind != Line::Header) ++end;
        cached.sections.emplace(toLower(cached.lines[i].name), std::make_pair(i, end));
    }
    valid = true;
    return cached;
}

// findSection on a parsed text, through its index.
bool findParsedSection(const Parsed& p, const std::string& section, size_t& begin, size_t& end) {
    auto it = p.sections.find(toLower(trimBlanks(section)));
    if (it == p.sections.end()) return false;
    begin = it->second.first;
    end = it->second.second;
    return true;
}

const std::vector<Line>& parsedLines(const std::string& text) { return parsedText(text).lines; }

}  // namespace

bool get(const std::string& text, const std::string& section, const std::string& key, std::string& value) {
    const Parsed& parsed = parsedText(text);
    const std::vector<Line>& lines = parsed.lines;
    size_t begin, end, at;
    if (!findParsedSection(parsed, section, begin, end) || !findKey(lines, begin, end, key, at)) return false;
    value = unquote(lines[at].value);
    return true;
}

bool hasSection(const std::string& text, const std::string& section) {
    size_t begin, end;
    return findParsedSection(parsedText(text), section, begin, end);
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
    if (!out.empty() && out.back() != '\n' && out.back() != '\r') out += eol;
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
    const Parsed& parsed = parsedText(text);
    const std::vector<Line>& lines = parsed.lines;
    size_t begin, end;
    if (!findParsedSection(parsed, section, begin, end)) return out;
    for (size_t i = begin + 1; i < end; ++i)
        if (lines[i].kind == Line::Entry && lines[i].hasValue) out.push_back(lines[i].name);
    return out;
}

std::vector<std::string> sectionLines(const std::string& text, const std::string& section) {
    std::vector<std::string> out;
    const Parsed& parsed = parsedText(text);
    const std::vector<Line>& lines = parsed.lines;
    size_t begin, end;
    if (!findParsedSection(parsed, section, begin, end)) return out;
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
bool readProfile(LPCSTR file, const std::string*& text, DWORD& error) {
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
    // Read with every kind of sharing: a file another handle writes, or will delete on close, still reads.
    if (DWORD e = simwin::shareConflict(n, simwin::accessOf(GENERIC_READ, FILE_SHARE_VALID_FLAGS))) {
        error = e;
        return false;
    }
    text = &n.content;
    return true;
}

const std::string kNoText;

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

// --- The sections that live in the registry (simwin/ini_mapping.h) ---

// The key a section of a file maps to on the current machine, or "".
std::string mappedKey(LPCSTR file, LPCSTR section) {
    if (!section) return "";
    return simwin::mappedProfileKey(current().system.platform, file ? file : "win.ini", section);
}

// A mapped value as the profile functions read it: REG_SZ text only (other types read as absent).
bool mappedValue(const std::string& keyPath, const std::string& name, std::string& text) {
    const simwin::RegValue* v = current().registry.value(keyPath, name);
    if (!v || v->type != REG_SZ) return false;
    text = current().registry.getString(keyPath, name);
    return true;
}

// The names of a mapped section's REG_SZ values ("name=value" when lines is set), in the key's order.
std::vector<std::string> mappedEntries(const std::string& keyPath, bool lines) {
    std::vector<std::string> out;
    const simwin::RegKey* key = current().registry.find(keyPath);
    if (!key) return out;
    for (const simwin::RegValue& v : key->values) {
        std::string text;
        if (v.name.empty() || !mappedValue(keyPath, v.name, text)) continue;
        out.push_back(lines ? v.name + "=" + text : v.name);
    }
    return out;
}

// A write to a mapped section: the value set, the value deleted (value null) or every value of the key
// deleted (key null; the key itself and its subkeys stay).
void writeMapped(const std::string& keyPath, LPCSTR key, LPCSTR value) {
    auto& reg = current().registry;
    if (!key) {
        if (simwin::RegKey* k = reg.find(keyPath)) k->values.clear();
        return;
    }
    if (!value) {
        if (simwin::RegKey* k = reg.find(keyPath)) k->removeValue(key);
        return;
    }
    reg.setString(keyPath, key, value);
}

// The section names of a file: those of its text, then the mapped sections whose keys exist.
std::vector<std::string> sectionNamesOf(LPCSTR file, std::vector<std::string> names) {
    for (const char* section : {"windows", "Devices", "PrinterPorts"}) {
        const std::string mapped = mappedKey(file, section);
        if (mapped.empty() || !current().registry.find(mapped)) continue;
        if (std::none_of(names.begin(), names.end(), [&](const std::string& n) { return simwin::iequals(n, section); }))
            names.push_back(section);
    }
    return names;
}

std::string defaultText(LPCSTR def) {
    std::string d = def ? def : "";
    size_t end = d.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : d.substr(0, end + 1);
}

// A profile number, read as RtlCharToInteger does: blanks, a sign, "0x" / "0o" / "0b" for another base, then
// the digits up to the first other character; no digits give 0. The result is the 32-bit value.
UINT profileNumber(const std::string& value) {
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

}  // namespace

DWORD WINAPI GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault, LPSTR lpReturnedString,
                                      DWORD nSize, LPCSTR lpFileName) {
    if (!lpReturnedString || nSize == 0) return 0;
    const std::string mapped = mappedKey(lpFileName, lpAppName);
    if (!mapped.empty()) {
        std::string value;
        if (!lpKeyName && current().registry.find(mapped))
            return putList(mappedEntries(mapped, false), lpReturnedString, nSize);
        if (lpKeyName && mappedValue(mapped, lpKeyName, value)) return putString(value, lpReturnedString, nSize);
        SetLastError(ERROR_FILE_NOT_FOUND);
        return putString(defaultText(lpDefault), lpReturnedString, nSize);
    }
    const std::string* text = &kNoText;
    DWORD error = ERROR_SUCCESS;
    bool ok = readProfile(lpFileName, text, error);
    if (!lpAppName) {
        if (!ok) SetLastError(error);
        return putList(sectionNamesOf(lpFileName, ok ? simwin::profile::sectionNames(*text) : std::vector<std::string>()),
                       lpReturnedString, nSize);
    }
    if (!lpKeyName) {
        if (ok && simwin::profile::hasSection(*text, lpAppName))
            return putList(simwin::profile::keys(*text, lpAppName), lpReturnedString, nSize);
    } else {
        std::string value;
        if (ok && simwin::profile::get(*text, lpAppName, lpKeyName, value))
            return putString(value, lpReturnedString, nSize);
    }
    SetLastError(ok ? ERROR_FILE_NOT_FOUND : error);
    return putString(defaultText(lpDefault), lpReturnedString, nSize);
}

UINT WINAPI GetPrivateProfileIntA(LPCSTR lpAppName, LPCSTR lpKeyName, INT nDefault, LPCSTR lpFileName) {
    std::string value;
    if (!lpAppName || !lpKeyName) {
        // NT reads the list GetPrivateProfileStringA gives (section names, or a section's keys) and takes its
        // first item as the number: win.ini's first section name reads as 0; an empty list gives the default.
        char list[256];
        if (!GetPrivateProfileStringA(lpAppName, lpKeyName, "", list, sizeof list, lpFileName))
            return static_cast<UINT>(nDefault);
        return profileNumber(list);
    }
    const std::string* text = &kNoText;
    const std::string mapped = mappedKey(lpFileName, lpAppName);
    if (!mapped.empty()) {
        if (!mappedValue(mapped, lpKeyName, value) || value.empty()) return static_cast<UINT>(nDefault);
    } else {
        DWORD error = ERROR_SUCCESS;
        if (!readProfile(lpFileName, text, error)) {
            SetLastError(error);
            return static_cast<UINT>(nDefault);
        }
        if (!simwin::profile::get(*text, lpAppName, lpKeyName, value) || value.empty()) return static_cast<UINT>(nDefault);
    }
    return profileNumber(value);
}

DWORD WINAPI GetPrivateProfileSectionA(LPCSTR lpAppName, LPSTR lpReturnedString, DWORD nSize, LPCSTR lpFileName) {
    if (!lpReturnedString || nSize == 0) return 0;
    if (!lpAppName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return putList({}, lpReturnedString, nSize);
    }
    const std::string mapped = mappedKey(lpFileName, lpAppName);
    if (!mapped.empty()) return putList(mappedEntries(mapped, true), lpReturnedString, nSize);
    const std::string* text = &kNoText;
    DWORD error = ERROR_SUCCESS;
    if (!readProfile(lpFileName, text, error)) {
        SetLastError(error);
        return putList({}, lpReturnedString, nSize);
    }
    SetLastError(ERROR_SUCCESS);  // Windows clears it when the file was read, the section there or not
    return putList(simwin::profile::sectionLines(*text, lpAppName), lpReturnedString, nSize);
}

// The section names of a file. Windows gives a list that fills the buffer exactly (its last NUL in the last
// byte) as a list cut short: the same bytes, but size - 2 returned. A file that cannot be read gives an empty
// text: one NUL, not two.
DWORD WINAPI GetPrivateProfileSectionNamesA(LPSTR lpszReturnBuffer, DWORD nSize, LPCSTR lpFileName) {
    if (!lpszReturnBuffer || nSize == 0) return 0;
    const std::string* text = &kNoText;
    DWORD error = ERROR_SUCCESS;
    const bool read = readProfile(lpFileName, text, error);
    if (!read) SetLastError(error);
    const std::vector<std::string> names =
        sectionNamesOf(lpFileName, read ? simwin::profile::sectionNames(*text) : std::vector<std::string>());
    if (names.empty() && !read) {
        lpszReturnBuffer[0] = 0;
        return 0;
    }
    size_t listSize = 0;
    for (const std::string& n : names) listSize += n.size() + 1;
    const DWORD copied = putList(names, lpszReturnBuffer, nSize);
    return listSize && listSize + 1 == nSize ? nSize - 2 : copied;
}

BOOL WINAPI WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString, LPCSTR lpFileName) {
    // All three null: flush the profile cache. Windows reports that as a failure.
    if (!lpAppName && !lpKeyName && !lpString) return FALSE;
    if (!lpAppName) {
        SetLastError(ERROR_FILE_NOT_FOUND);  // NT names no section as a missing one (9x: 87)
        return FALSE;
    }
    const std::string mapped = mappedKey(lpFileName, lpAppName);
    if (!mapped.empty()) {
        writeMapped(mapped, lpKeyName, lpString);
        return TRUE;
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
    // Opened for reading and writing, shared with readers and writers (a file another handle has open for
    // writing with read and write sharing takes the write).
    const Access rw = simwin::accessOf(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (DWORD e = simwin::shareConflict(n, rw)) {
        SetLastError(e);
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
