#include "script/script_file.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Header texts ("[" + section + "]") and keys of the in-place INI edits hold at most this many characters.
const size_t INI_NAME_MAX = 63;

bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// [begin, end) without leading and trailing space characters, cut to the TEXT_SIZE - 1 characters a
// script's key or value holds.
void AssignTrimmed(std::string& dst, const char* begin, const char* end) {
    while (begin < end && *begin == ' ') ++begin;
    while (end > begin && end[-1] == ' ') --end;
    size_t n = static_cast<size_t>(end - begin);
    if (n > static_cast<size_t>(TEXT_SIZE - 1)) n = TEXT_SIZE - 1;
    dst.assign(begin, n);
}

// Composes the list item of one entry: the key, or key=value when the value is not empty.
void ComposeItem(std::string& item, const ScriptEntry& entry, bool withValue) {
    item = entry.key;
    if (withValue && !entry.value.empty()) {
        item += '=';
        item += entry.value;
    }
}

}  // namespace

CScriptFile::CScriptFile() { ClearText(path); }

CScriptFile::~CScriptFile() = default;

int CScriptFile::LoadFile(const char* filePath) {
    if (!sections.IsEmpty()) return 0;
    CopyText(path, filePath);
    HANDLE file = CreateFileA(filePath, GENERIC_READ, 0, NULL, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN | FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return 0;
    DWORD size = GetFileSize(file, NULL);
    if (size == 0 || size == INVALID_FILE_SIZE || size > MAX_FILE_SIZE) {
        CloseHandle(file);
        return 0;
    }
    std::vector<char> buffer(static_cast<size_t>(size) + 3);
    DWORD read = 0;
    BOOL ok = ReadFile(file, buffer.data(), size, &read, NULL);
    CloseHandle(file);
    if (!ok || read == 0) return 0;
    if (read > size) read = size;
    // The last line is always ended, even when the file does not end with a line break.
    buffer[read] = '\r';
    buffer[read + 1] = '\n';
    buffer[read + 2] = 0;
    Parse(buffer.data());
    return 1;
}

void CScriptFile::Parse(char* text) {
    ScriptSection* current = nullptr;
    char* line = text;
    int number = 1;  // lines as an editor counts them: CR LF, LF and a lone CR each end one
    for (;;) {
        // A run of CR and LF ends a line: no blank lines.
        for (; IsLineBreak(*line); ++line)
            if (*line == '\n' || line[1] != '\n') ++number;
        if (!*line) break;
        char* end = line;
        while (*end && !IsLineBreak(*end)) ++end;
        if (!*end) break;  // a NUL byte in the file ends the parse; its unfinished line is dropped
        const int lineNumber = number;
        if (*end == '\n' || end[1] != '\n') ++number;  // the break that ends this line
        *end = 0;
        char* next = end + 1;

        if (*line == ' ' || *line == ';') {
            // indented or comment line: ignored
        } else if (*line == '[') {
            char* close = std::strchr(line + 1, ']');
            if (close) {
                ScriptSection& section = sections.AddNew();
                CopyText(section.name, std::string(line + 1, close).c_str());
                section.line = lineNumber;
                current = &section;
            }
        } else if (current) {
            char* comment = std::strchr(line, ';');
            if (comment) *comment = 0;
            ScriptEntry& entry = current->entries.AddNew();
            entry.line = lineNumber;
            char* equals = std::strchr(line, '=');
            if (equals) {
                AssignTrimmed(entry.key, line, equals);
                AssignTrimmed(entry.value, equals + 1, equals + 1 + std::strlen(equals + 1));
            } else {
                AssignTrimmed(entry.key, line, line + std::strlen(line));
            }
        }
        line = next;
    }
}

const ScriptSection* CScriptFile::FindSection(const char* sectionName) const {
    for (const ScriptSection& section : sections)
        if (TextEqual(section.name.c_str(), sectionName)) return &section;
    return nullptr;
}

int CScriptFile::GetSectionEntryCount(const char* sectionName) const {
    if (TextEmpty(sectionName)) return 0;
    const ScriptSection* section = FindSection(sectionName);
    return section ? static_cast<int>(section->entries.Count()) : 0;
}

int CScriptFile::GetSectionKeys(const char* sectionName, char* buffer, int bufferSize) const {
    return BuildList(sectionName, buffer, bufferSize, false);
}

int CScriptFile::GetSectionEntries(const char* sectionName, char* buffer, int bufferSize) const {
    return BuildList(sectionName, buffer, bufferSize, true);
}

int CScriptFile::BuildList(const char* sectionName, char* buffer, int bufferSize, bool withValues) const {
    if (TextEmpty(sectionName) || !buffer) return 0;
    const ScriptSection* section = FindSection(sectionName);
    if (!section || section->entries.IsEmpty()) return 0;
    int total = 0;
    bool overflow = false;
    char* out = buffer;
    std::string item;
    for (const ScriptEntry& entry : section->entries) {
        ComposeItem(item, entry, withValues);
        total += static_cast<int>(item.size()) + 1;
        // The item, its NUL and the closing NUL must fit; once one item does not, no later one does.
        if (!overflow && total < bufferSize) {
            std::memcpy(out, item.c_str(), item.size() + 1);
            out += item.size() + 1;
            *out = 0;
        } else {
            overflow = true;
        }
    }
    return overflow ? -total : total;
}

int CScriptFile::SaveFile(const char* filePath) {
    HANDLE file = CreateFileA(filePath, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return 0;
    int written = 0;
    std::string text;
    auto write = [&](const std::string& s) {
        DWORD done = 0;
        return WriteFile(file, s.data(), static_cast<DWORD>(s.size()), &done, NULL) && done == s.size();
    };
    for (const ScriptSection& section : sections) {
        write("[" + section.name + "]\r\n");
        for (const ScriptEntry& entry : section.entries) {
            ComposeItem(text, entry, true);
            if (write(text + "\r\n")) ++written;
        }
        write("\r\n");
    }
    CopyText(path, filePath);
    CloseHandle(file);
    return written > 0 ? 1 : 0;
}

// ---------------------------------------------------------------------------------------------------------
// In-place edits of INI files
// ---------------------------------------------------------------------------------------------------------

namespace {

struct IniText {
    HANDLE file = INVALID_HANDLE_VALUE;
    std::string text;

    ~IniText() {
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
    // Opens the file for reading and writing (others may only read) and reads it whole.
    bool Read(const char* path) {
        file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
        if (file == INVALID_HANDLE_VALUE) return false;
        DWORD size = GetFileSize(file, NULL);
        if (size == 0 || size == INVALID_FILE_SIZE || size > CScriptFile::MAX_FILE_SIZE) return false;
        text.resize(size);
        DWORD read = 0;
        if (!ReadFile(file, &text[0], size, &read, NULL)) return false;
        text.resize(read < size ? read : size);
        return !text.empty();
    }
};

bool MatchesAt(const std::string& text, size_t pos, const char* what, size_t length) {
    if (pos > text.size() || text.size() - pos < length) return false;
    for (size_t i = 0; i < length; ++i)
        if (AsciiLower(text[pos + i]) != AsciiLower(what[i])) return false;
    return true;
}

// The position of the "[" of the next header text at or after from, or npos.
size_t FindHeader(const std::string& text, const std::string& header, size_t from) {
    for (size_t p = from; p < text.size(); ++p)
        if (text[p] == '[' && MatchesAt(text, p, header.c_str(), header.size())) return p;
    return std::string::npos;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Whether the line starting at lineStart sets key; returns the key's position or npos. The line must begin,
// after optional blanks, with the key; unless the key holds "=" itself, the key must then be followed by
// optional blanks and "=" or by the end of the line. A commented-out line (";key=...") therefore never matches.
size_t KeyAtLine(const std::string& text, size_t lineStart, size_t regionEnd, const char* key, size_t keyLength) {
    size_t p = lineStart;
    while (p < regionEnd && IsBlank(text[p])) ++p;
    if (p + keyLength > regionEnd || !MatchesAt(text, p, key, keyLength)) return std::string::npos;
    if (std::memchr(key, '=', keyLength)) return p;
    size_t q = p + keyLength;
    while (q < regionEnd && IsBlank(text[q])) ++q;
    if (q == text.size() || text[q] == '=' || IsLineBreak(text[q])) return p;
    return std::string::npos;
}

struct KeyLine {
    size_t lineStart = std::string::npos;
    size_t key = std::string::npos;
};

// Searches the lines that begin inside [regionStart, regionEnd) for the key.
KeyLine FindKeyLine(const std::string& text, size_t regionStart, size_t regionEnd, const char* key) {
    KeyLine found;
    size_t keyLength = std::strlen(key);
    for (size_t p = regionStart; p < regionEnd; ++p) {
        if (p == 0 || !IsLineBreak(text[p - 1])) continue;
        size_t k = KeyAtLine(text, p, regionEnd, key, keyLength);
        if (k != std::string::npos) {
            found.lineStart = p;
            found.key = k;
            break;
        }
    }
    return found;
}

size_t RegionEnd(const std::string& text, size_t from) {
    size_t end = text.find('[', from);
    return end == std::string::npos ? text.size() : end;
}

// Keys of at most INI_NAME_MAX characters, without line breaks (no line could hold such a key).
bool UsableKey(const char* key) {
    size_t length = std::strlen(key);
    return length > 0 && length <= INI_NAME_MAX && !std::strpbrk(key, "\r\n");
}

bool HeaderText(std::string& header, const char* sectionName) {
    if (!sectionName) return false;
    header = std::string("[") + sectionName + "]";
    return header.size() <= INI_NAME_MAX;
}

}  // namespace

DWORD FindIniKey(const char* filePath, const char* sectionName, const char* keyName) {
    std::string header;
    if (!filePath || !keyName || !UsableKey(keyName) || !HeaderText(header, sectionName)) return 0;
    IniText ini;
    if (!ini.Read(filePath)) return 0;
    const std::string& text = ini.text;
    size_t from = 0;
    for (;;) {
        size_t bracket = FindHeader(text, header, from);
        if (bracket == std::string::npos) return 0;
        // The section runs from just after its "[" to the next "[" or the end of the text.
        size_t end = RegionEnd(text, bracket + 1);
        KeyLine found = FindKeyLine(text, bracket + 1, end, keyName);
        if (found.key != std::string::npos) return static_cast<DWORD>(found.key);
        if (end == text.size()) return 0;
        from = end + 1;
    }
}

int DeleteIniKeyLine(const char* filePath, const char* sectionName, char* keyName) {
    if (!keyName) return 0;
    for (char* p = keyName; *p; ++p) *p = AsciiLower(*p);
    std::string header;
    if (!filePath || !UsableKey(keyName) || !HeaderText(header, sectionName)) return 0;
    IniText ini;
    if (!ini.Read(filePath) || ini.text[0] == 0) return 0;
    const std::string& text = ini.text;
    size_t bracket = FindHeader(text, header, 0);
    if (bracket == std::string::npos) return 0;
    size_t headerEnd = text.find_first_of("\r\n", bracket);
    if (headerEnd == std::string::npos) return 0;
    KeyLine found = FindKeyLine(text, headerEnd, RegionEnd(text, headerEnd), keyName);
    if (found.key == std::string::npos) return 0;

    // The whole line goes, with its line break (CR LF, LF or CR).
    size_t cut = found.key;
    while (cut < text.size() && !IsLineBreak(text[cut])) ++cut;
    if (cut < text.size()) cut += (text[cut] == '\r' && cut + 1 < text.size() && text[cut + 1] == '\n') ? 2 : 1;

    DWORD done = 0;
    if (SetFilePointer(ini.file, 0, NULL, FILE_BEGIN) == INVALID_SET_FILE_POINTER) return 0;
    if (!WriteFile(ini.file, text.data(), static_cast<DWORD>(found.lineStart), &done, NULL)) return 0;
    if (!WriteFile(ini.file, text.data() + cut, static_cast<DWORD>(text.size() - cut), &done, NULL)) return 0;
    if (!SetEndOfFile(ini.file)) return 0;
    return 1;
}
