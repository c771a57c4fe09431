#include "base/reg_text.h"

#include <ctype.h>
#include <stdio.h>
#include <string.h>

#include <vector>

#include "base/text_lines.h"

namespace {

const char kHeader[] = "REGEDIT4";
// Bounds of what the text may hold: registry names Windows allows, and data no removal saves more of.
const size_t kMaxKeyPath = 512;
const size_t kMaxValueName = 16383;
const size_t kMaxData = 1 << 20;
const int kMaxDepth = 64;

struct RootName {
    const char* name;
    HKEY root;
};
const RootName kRoots[] = {{"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
                           {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
                           {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
                           {"HKEY_USERS", HKEY_USERS}};

const char* NameOf(HKEY root) {
    for (const RootName& r : kRoots)
        if (r.root == root) return r.name;
    return nullptr;
}

// Why a key's full path (root name included) cannot go into the text, "" when it can. A key header is
// one line read up to its last "]": a line break in a name would end it and start a line of the name's
// choosing, and regedit has no escape for it.
std::string KeyPathRefusal(const std::string& path) {
    if (path.find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
        return "the key's name holds a line break or a NUL, which registry text cannot hold";
    if (path.size() > kMaxKeyPath) return "the key's path is longer than registry text holds";
    return std::string();
}

// The same for a value's name: quotes and backslashes are escaped, line breaks cannot be.
std::string ValueNameRefusal(const std::string& name) {
    if (name.find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
        return "the value's name holds a line break or a NUL, which registry text cannot hold";
    if (name.size() > kMaxValueName) return "the value's name is longer than registry text holds";
    return std::string();
}

// The section line of a key, or "" with why set when the key's path cannot be written.
std::string Section(HKEY root, const std::string& subKey, std::string& why) {
    const std::string path = std::string(NameOf(root)) + (subKey.empty() ? "" : "\\" + subKey);
    why = KeyPathRefusal(path);
    return why.empty() ? "\r\n[" + path + "]\r\n" : std::string();
}

std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + "\"";
}

void AppendHex(std::string& line, const std::string& data) {
    char byte[4];
    for (size_t i = 0; i < data.size(); ++i) {
        snprintf(byte, sizeof byte, i ? ",%02x" : "%02x", static_cast<unsigned char>(data[i]));
        line += byte;
    }
}

// The line of one value, or "" with why set when its name or data cannot be written.
std::string ValueLine(const std::string& name, DWORD type, const std::string& data, std::string& why) {
    why = ValueNameRefusal(name);
    if (why.empty() && data.size() > kMaxData) why = "the value's data is larger than registry text holds";
    if (!why.empty()) return std::string();
    std::string line = name.empty() ? "@=" : Quoted(name) + "=";
    // A string goes as text when the text gives it back byte for byte: one terminating NUL and no other,
    // no line break.
    if (type == REG_SZ && !data.empty() && data.back() == 0 && data.find('\0') == data.size() - 1 &&
        data.find_first_of("\r\n") == std::string::npos)
        return line + Quoted(data.substr(0, data.size() - 1));
    if (type == REG_DWORD && data.size() == 4) {
        const unsigned char* b = reinterpret_cast<const unsigned char*>(data.data());
        char dword[16];
        snprintf(dword, sizeof dword, "dword:%08x", b[0] | b[1] << 8 | b[2] << 16 | static_cast<unsigned>(b[3]) << 24);
        return line + dword;
    }
    if (type == REG_BINARY) {
        line += "hex:";
    } else {
        char prefix[16];
        snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(type));
        line += prefix;
    }
    AppendHex(line, data);
    return line;
}

bool ExportValues(HKEY key, std::string& text, std::string& why) {
    for (DWORD index = 0;; ++index) {
        char name[kMaxValueName + 1];
        DWORD nameSize = sizeof name, type = 0, dataSize = 0;
        LONG r = RegEnumValueA(key, index, name, &nameSize, NULL, &type, NULL, &dataSize);
        if (r == ERROR_NO_MORE_ITEMS) return true;
        // A key that is there and cannot be read whole cannot be put back whole: it is refused, not skipped.
        if (r != ERROR_SUCCESS && r != ERROR_MORE_DATA)
            return why = "a value cannot be read (error " + std::to_string(r) + ")", false;
        std::vector<BYTE> data(dataSize ? dataSize : 1);
        nameSize = sizeof name;
        r = RegEnumValueA(key, index, name, &nameSize, NULL, &type, data.data(), &dataSize);
        if (r != ERROR_SUCCESS) return why = "a value cannot be read (error " + std::to_string(r) + ")", false;
        const std::string line =
            ValueLine(std::string(name, nameSize), type, std::string(reinterpret_cast<const char*>(data.data()), dataSize), why);
        if (!why.empty()) return false;
        text += line + "\r\n";
    }
}

bool ExportTree(HKEY root, const std::string& subKey, std::string& text, int depth, std::string& why) {
    HKEY key = NULL;
    if (depth > kMaxDepth) {
        why = "the key's subkeys nest deeper than a backup keeps";
        return false;
    }
    const std::string section = Section(root, subKey, why);
    if (!why.empty()) return false;
    const LONG opened = RegOpenKeyExA(root, subKey.c_str(), 0, KEY_READ, &key);
    if (opened != ERROR_SUCCESS) {
        if (depth > 0) why = "a subkey cannot be read (error " + std::to_string(opened) + ")";
        return false;
    }
    text += section;
    bool ok = ExportValues(key, text, why);
    for (DWORD index = 0; ok; ++index) {
        char child[256];
        LONG r = RegEnumKeyA(key, index, child, sizeof child);
        if (r == ERROR_NO_MORE_ITEMS) break;
        if (r != ERROR_SUCCESS) why = "its subkeys cannot be listed (error " + std::to_string(r) + ")";
        ok = r == ERROR_SUCCESS &&
             ExportTree(root, subKey.empty() ? child : subKey + "\\" + child, text, depth + 1, why);
    }
    RegCloseKey(key);
    return ok;
}

}  // namespace

bool ExportRegistryValuesOf(HKEY root, const char* subKey, std::string& text, std::string* refusal) {
    HKEY key = NULL;
    std::string why;
    if (!NameOf(root)) return false;
    std::string section = Section(root, subKey ? subKey : "", why);
    if (why.empty() && RegOpenKeyExA(root, subKey ? subKey : "", 0, KEY_READ, &key) == ERROR_SUCCESS) {
        const bool ok = ExportValues(key, section, why);
        RegCloseKey(key);
        if (ok) text += section;
        if (ok) return true;
    }
    if (refusal) *refusal = why;
    return false;
}

namespace {

// --- reading ------------------------------------------------------------------------------------------

bool Fail(std::string& error, size_t line, const std::string& what) {
    error = "line " + std::to_string(line) + ": " + what;
    return false;
}

// A quoted string from at (just after the opening quote); at ends after the closing one.
bool ReadQuoted(const std::string& s, size_t& at, std::string& out) {
    out.clear();
    for (; at < s.size(); ++at) {
        char c = s[at];
        if (c == '"') {
            ++at;
            return true;
        }
        if (c == '\\') {
            if (++at >= s.size() || (s[at] != '\\' && s[at] != '"')) return false;
            c = s[at];
        }
        out += c;
        if (out.size() > kMaxData) return false;
    }
    return false;
}

bool ReadHex(const std::string& s, std::string& out) {
    out.clear();
    size_t at = 0;
    while (at < s.size()) {
        if (at + 1 >= s.size() || !isxdigit(static_cast<unsigned char>(s[at])) ||
            !isxdigit(static_cast<unsigned char>(s[at + 1])))
            return false;
        out += static_cast<char>(strtoul(s.substr(at, 2).c_str(), NULL, 16));
        if (out.size() > kMaxData) return false;
        at += 2;
        if (at < s.size() && s[at++] != ',') return false;
        if (at == s.size() && s.back() == ',') return false;
    }
    return true;
}

// A value line; hexBytes tells whether its data was a list of bytes (hex: or hex(N):).
bool ParseValue(const std::string& line, CRegistryTextValue& value, bool& hexBytes, std::string& why) {
    hexBytes = false;
    size_t at = 0;
    if (line[0] == '@') {
        value.name.clear();
        at = 1;
    } else if (line[0] == '"') {
        at = 1;
        if (!ReadQuoted(line, at, value.name) || value.name.size() > kMaxValueName) return why = "a bad value name", false;
    } else {
        return why = "expected a value (\"name\"= or @=)", false;
    }
    if (at >= line.size() || line[at++] != '=') return why = "expected \"=\" after the value's name", false;
    const std::string data = line.substr(at);
    if (!data.empty() && data[0] == '"') {
        size_t q = 1;
        std::string text;
        if (!ReadQuoted(data, q, text) || q != data.size()) return why = "a bad string", false;
        value.type = REG_SZ;
        value.data = text + '\0';
        return true;
    }
    if (data.compare(0, 6, "dword:") == 0) {
        const std::string digits = data.substr(6);
        if (digits.empty() || digits.size() > 8 || digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            return why = "dword: needs 1 to 8 hexadecimal digits", false;
        const unsigned long d = strtoul(digits.c_str(), NULL, 16);
        value.type = REG_DWORD;
        value.data.assign(4, 0);
        for (int i = 0; i < 4; ++i) value.data[i] = static_cast<char>((d >> (8 * i)) & 0xFF);
        return true;
    }
    std::string bytes;
    if (data.compare(0, 4, "hex:") == 0) {
        value.type = REG_BINARY;
        bytes = data.substr(4);
    } else if (data.compare(0, 4, "hex(") == 0) {
        const size_t close = data.find("):");
        const std::string digits = close == std::string::npos ? std::string() : data.substr(4, close - 4);
        if (digits.empty() || digits.size() > 8 || digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            return why = "hex(N): needs a hexadecimal type", false;
        value.type = static_cast<DWORD>(strtoul(digits.c_str(), NULL, 16));
        bytes = data.substr(close + 2);
    } else {
        return why = "unknown value data (expected \"text\", dword:, hex: or hex(N):)", false;
    }
    if (!ReadHex(bytes, value.data)) return why = "bad hexadecimal bytes", false;
    hexBytes = true;
    return true;
}

}  // namespace

const char* RegistryTextHeader() { return kHeader; }

std::string RegistryKeyPath(const CRegistryTextKey& key) {
    const char* root = NameOf(key.root);
    return std::string(root ? root : "") + (key.subKey.empty() ? "" : "\\" + key.subKey);
}

bool ExportRegistryKey(HKEY root, const char* subKey, std::string& text, std::string* refusal) {
    if (!NameOf(root)) return false;
    std::string out, why;
    if (!ExportTree(root, subKey ? subKey : "", out, 0, why)) {
        if (refusal) *refusal = why;
        return false;
    }
    text += out;
    return true;
}

bool ExportRegistryValue(HKEY root, const char* subKey, const char* value, std::string& text, std::string* refusal) {
    HKEY key = NULL;
    std::string why;
    if (!NameOf(root)) return false;
    const std::string section = Section(root, subKey ? subKey : "", why);
    if (refusal) *refusal = why;
    if (!why.empty()) return false;
    if (RegOpenKeyExA(root, subKey ? subKey : "", 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    DWORD type = 0, size = 0;
    const char* name = value && value[0] ? value : NULL;
    LONG r = RegQueryValueExA(key, name, NULL, &type, NULL, &size);
    std::vector<BYTE> data(size ? size : 1);
    if (r == ERROR_SUCCESS) r = RegQueryValueExA(key, name, NULL, &type, data.data(), &size);
    RegCloseKey(key);
    if (r != ERROR_SUCCESS) return false;
    const std::string line = ValueLine(name ? name : "", type, std::string(reinterpret_cast<const char*>(data.data()), size), why);
    if (!why.empty()) {
        if (refusal) *refusal = why;
        return false;
    }
    text += section + line + "\r\n";
    return true;
}

namespace {

// A value line and the continuation lines regedit breaks a long list of bytes into ("01,02,\" and then
// "  03,04"): joined into one line; false when the line after a break is not indented or there is none.
bool JoinContinuations(const std::vector<std::string>& lines, size_t& index, std::string& line) {
    while (line.size() >= 2 && line.compare(line.size() - 2, 2, ",\\") == 0) {
        if (++index >= lines.size() || lines[index].empty() || lines[index][0] != ' ') return false;
        line.pop_back();
        line += lines[index].substr(lines[index].find_first_not_of(' ') == std::string::npos
                                        ? lines[index].size()
                                        : lines[index].find_first_not_of(' '));
    }
    return true;
}

bool ParseKeyHeader(const std::string& line, CRegistryTextKey& key, std::string& why) {
    if (line.back() != ']') return why = "a key without its closing \"]\"", false;
    const std::string path = line.substr(1, line.size() - 2);
    if (path.size() > kMaxKeyPath) return why = "a key path too long", false;
    const size_t slash = path.find('\\');
    const std::string root = path.substr(0, slash);
    for (const RootName& r : kRoots)
        if (root == r.name) key.root = r.root;
    if (!key.root) return why = "an unknown root \"" + root + "\"", false;
    key.subKey = slash == std::string::npos ? std::string() : path.substr(slash + 1);
    return true;
}

}  // namespace

bool ParseRegistryText(const std::string& text, std::vector<CRegistryTextKey>& keys, std::string& error) {
    keys.clear();
    const std::vector<std::string> lines = TextLines(text);
    if (text.find('\r') != std::string::npos) {
        // A carriage return is only ever the first half of a line end: one anywhere else would be a line
        // break that the lines here do not see.
        for (size_t i = 0; i < lines.size(); ++i)
            if (lines[i].find('\r') != std::string::npos) return Fail(error, i + 1, "a carriage return inside a line");
    }
    if (lines.empty() || lines[0] != kHeader) return Fail(error, 1, std::string("expected the header ") + kHeader);
    for (size_t index = 1; index < lines.size(); ++index) {
        const size_t number = index + 1;
        std::string line = lines[index];
        if (line.find('\0') != std::string::npos) return Fail(error, number, "a NUL byte");
        if (line.empty() || line[0] == ';') continue;
        std::string why;
        if (line[0] == '[') {
            CRegistryTextKey key;
            if (!ParseKeyHeader(line, key, why)) return Fail(error, number, why);
            keys.push_back(key);
            continue;
        }
        if (keys.empty()) return Fail(error, number, "a value before the first key");
        const size_t first = index;
        if (!JoinContinuations(lines, index, line)) return Fail(error, index + 1, "expected an indented continuation line");
        CRegistryTextValue value;
        bool hexBytes = false;
        if (!ParseValue(line, value, hexBytes, why)) return Fail(error, number, why);
        if (index != first && !hexBytes)
            return Fail(error, number, "only hexadecimal bytes continue on the next line");
        keys.back().values.push_back(value);
    }
    return true;
}

bool ImportRegistryText(const std::string& text, std::string& error, unsigned* written) {
    std::vector<CRegistryTextKey> keys;
    if (written) *written = 0;
    if (!ParseRegistryText(text, keys, error)) return false;
    for (const CRegistryTextKey& k : keys) {
        HKEY key = NULL;
        DWORD disposition = 0;
        LONG r = RegCreateKeyExA(k.root, k.subKey.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, &disposition);
        if (r != ERROR_SUCCESS) {
            error = std::string(NameOf(k.root)) + "\\" + k.subKey + ": error " + std::to_string(r);
            return false;
        }
        if (written) ++*written;
        for (const CRegistryTextValue& v : k.values) {
            r = RegSetValueExA(key, v.name.empty() ? NULL : v.name.c_str(), 0, v.type,
                               reinterpret_cast<const BYTE*>(v.data.data()), static_cast<DWORD>(v.data.size()));
            if (r != ERROR_SUCCESS) {
                RegCloseKey(key);
                error = std::string(NameOf(k.root)) + "\\" + k.subKey + " value \"" + v.name + "\": error " + std::to_string(r);
                return false;
            }
            if (written) ++*written;
        }
        RegCloseKey(key);
    }
    return true;
}
