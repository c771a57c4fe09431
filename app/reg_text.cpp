#include "app/reg_text.h"

#include <ctype.h>
#include <stdio.h>
#include <string.h>

#include <vector>

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

std::string ValueLine(const std::string& name, DWORD type, const std::string& data) {
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

bool ExportValues(HKEY key, std::string& text) {
    for (DWORD index = 0;; ++index) {
        char name[kMaxValueName + 1];
        DWORD nameSize = sizeof name, type = 0, dataSize = 0;
        LONG r = RegEnumValueA(key, index, name, &nameSize, NULL, &type, NULL, &dataSize);
        if (r == ERROR_NO_MORE_ITEMS) return true;
        if (r != ERROR_SUCCESS && r != ERROR_MORE_DATA) return false;
        std::vector<BYTE> data(dataSize ? dataSize : 1);
        nameSize = sizeof name;
        r = RegEnumValueA(key, index, name, &nameSize, NULL, &type, data.data(), &dataSize);
        if (r != ERROR_SUCCESS) return false;
        text += ValueLine(name, type, std::string(reinterpret_cast<const char*>(data.data()), dataSize)) + "\r\n";
    }
}

bool ExportTree(HKEY root, const std::string& subKey, std::string& text, int depth) {
    HKEY key = NULL;
    if (depth > kMaxDepth || RegOpenKeyExA(root, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    text += std::string("\r\n[") + NameOf(root) + (subKey.empty() ? "" : "\\" + subKey) + "]\r\n";
    bool ok = ExportValues(key, text);
    for (DWORD index = 0; ok; ++index) {
        char child[256];
        LONG r = RegEnumKeyA(key, index, child, sizeof child);
        if (r == ERROR_NO_MORE_ITEMS) break;
        ok = r == ERROR_SUCCESS && ExportTree(root, subKey.empty() ? child : subKey + "\\" + child, text, depth + 1);
    }
    RegCloseKey(key);
    return ok;
}

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

bool ParseValue(const std::string& line, CRegistryTextValue& value, std::string& why) {
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
    return true;
}

}  // namespace

const char* RegistryTextHeader() { return kHeader; }

bool ExportRegistryKey(HKEY root, const char* subKey, std::string& text) {
    if (!NameOf(root)) return false;
    std::string out;
    if (!ExportTree(root, subKey ? subKey : "", out, 0)) return false;
    text += out;
    return true;
}

bool ExportRegistryValue(HKEY root, const char* subKey, const char* value, std::string& text) {
    HKEY key = NULL;
    if (!NameOf(root) || RegOpenKeyExA(root, subKey ? subKey : "", 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    DWORD type = 0, size = 0;
    const char* name = value && value[0] ? value : NULL;
    LONG r = RegQueryValueExA(key, name, NULL, &type, NULL, &size);
    std::vector<BYTE> data(size ? size : 1);
    if (r == ERROR_SUCCESS) r = RegQueryValueExA(key, name, NULL, &type, data.data(), &size);
    RegCloseKey(key);
    if (r != ERROR_SUCCESS) return false;
    text += std::string("\r\n[") + NameOf(root) + (subKey && subKey[0] ? std::string("\\") + subKey : "") + "]\r\n";
    text += ValueLine(name ? name : "", type, std::string(reinterpret_cast<const char*>(data.data()), size)) + "\r\n";
    return true;
}

bool ParseRegistryText(const std::string& text, std::vector<CRegistryTextKey>& keys, std::string& error) {
    keys.clear();
    size_t at = 0, number = 0;
    bool header = false;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        at = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find('\0') != std::string::npos) return Fail(error, number, "a NUL byte");
        if (!header) {
            if (line != kHeader) return Fail(error, number, std::string("expected the header ") + kHeader);
            header = true;
            continue;
        }
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            if (line.back() != ']') return Fail(error, number, "a key without its closing \"]\"");
            const std::string path = line.substr(1, line.size() - 2);
            if (path.size() > kMaxKeyPath) return Fail(error, number, "a key path too long");
            CRegistryTextKey key;
            const size_t slash = path.find('\\');
            const std::string root = path.substr(0, slash);
            for (const RootName& r : kRoots)
                if (root == r.name) key.root = r.root;
            if (!key.root) return Fail(error, number, "an unknown root \"" + root + "\"");
            key.subKey = slash == std::string::npos ? std::string() : path.substr(slash + 1);
            keys.push_back(key);
            continue;
        }
        if (keys.empty()) return Fail(error, number, "a value before the first key");
        CRegistryTextValue value;
        std::string why;
        if (!ParseValue(line, value, why)) return Fail(error, number, why);
        keys.back().values.push_back(value);
    }
    if (!header) return Fail(error, number + 1, std::string("expected the header ") + kHeader);
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
