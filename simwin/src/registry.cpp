#include "simwin/registry.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "simwin/api/winreg.h"

namespace simwin {

// ---- keys ----------------------------------------------------------------------------------------------

RegValue* RegKey::findValue(const std::string& valueName) {
    for (auto& v : values)
        if (iequals(v.name, valueName)) return &v;
    return nullptr;
}

const RegValue* RegKey::findValue(const std::string& valueName) const {
    for (auto& v : values)
        if (iequals(v.name, valueName)) return &v;
    return nullptr;
}

RegKey* RegKey::child(std::string_view keyName) const {
    auto it = subkeys.find(keyName);
    return it == subkeys.end() ? nullptr : it->second.get();
}

RegValue& RegKey::setValue(const std::string& valueName, DWORD type, std::vector<BYTE> data) {
    RegValue* v = findValue(valueName);
    if (!v) {
        values.push_back(RegValue{valueName, type, {}});
        v = &values.back();
    }
    v->type = type;
    v->data = std::move(data);
    return *v;
}

bool RegKey::removeValue(const std::string& valueName) {
    for (auto it = values.begin(); it != values.end(); ++it) {
        if (iequals(it->name, valueName)) {
            values.erase(it);
            return true;
        }
    }
    return false;
}

RegKey& RegKey::addChild(const std::string& keyName) {
    auto& slot = subkeys[keyName];
    if (!slot) {
        slot = std::make_shared<RegKey>();
        slot->name = keyName;
        slot->parent = this;
    }
    return *slot;
}

// ---- text helpers --------------------------------------------------------------------------------------

std::vector<WORD> utf8ToUtf16(const std::vector<BYTE>& bytes) {
    std::vector<WORD> out;
    out.reserve(bytes.size());
    size_t i = 0, n = bytes.size();
    while (i < n) {
        BYTE b = bytes[i];
        uint32_t cp = 0xFFFD;
        size_t len = 1;
        if (b < 0x80) {
            cp = b;
        } else {
            size_t need = 0;
            uint32_t min = 0;
            if ((b & 0xE0) == 0xC0) need = 1, cp = b & 0x1F, min = 0x80;
            else if ((b & 0xF0) == 0xE0) need = 2, cp = b & 0x0F, min = 0x800;
            else if ((b & 0xF8) == 0xF0) need = 3, cp = b & 0x07, min = 0x10000;
            bool ok = need > 0 && i + need < n;
            for (size_t k = 1; ok && k <= need; ++k) {
                if ((bytes[i + k] & 0xC0) != 0x80) ok = false;
                else cp = (cp << 6) | (bytes[i + k] & 0x3F);
            }
            if (ok && (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) ok = false;
            if (ok) len = need + 1;
            else cp = 0xFFFD;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<WORD>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<WORD>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<WORD>(cp));
        }
        i += len;
    }
    return out;
}

std::vector<BYTE> utf16ToUtf8(const std::vector<WORD>& units) {
    std::vector<BYTE> out;
    out.reserve(units.size());
    for (size_t i = 0; i < units.size(); ++i) {
        uint32_t cp = units[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<BYTE>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<BYTE>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<BYTE>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<BYTE>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<BYTE>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<BYTE>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<BYTE>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<BYTE>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<BYTE>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<BYTE>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

namespace {

const char* const kHeader5 = "Windows Registry Editor Version 5.00";
const char* const kHeader4 = "REGEDIT4";

std::shared_ptr<RegKey> makeRoot(const char* name) {
    auto k = std::make_shared<RegKey>();
    k->name = name;
    return k;
}

// Splits the part of a path after the root into key names; false when a name is empty (a trailing
// separator is allowed).
bool splitNames(const std::string& rest, std::vector<std::string>& names) {
    names.clear();
    if (rest.empty()) return true;
    names = split(rest, '\\');
    if (!names.empty() && names.back().empty()) names.pop_back();
    for (auto& n : names)
        if (n.empty()) return false;
    return true;
}

std::vector<BYTE> bytesOf(const std::string& s) { return std::vector<BYTE>(s.begin(), s.end()); }

std::vector<BYTE> stringData(const std::string& text) {
    std::vector<BYTE> d = bytesOf(text);
    d.push_back(0);
    return d;
}

bool isStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

std::vector<BYTE> utf16leBytes(const std::vector<WORD>& units) {
    std::vector<BYTE> out;
    out.reserve(units.size() * 2);
    for (WORD u : units) {
        out.push_back(static_cast<BYTE>(u & 0xFF));
        out.push_back(static_cast<BYTE>(u >> 8));
    }
    return out;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The text of a file: a UTF-8 BOM is dropped, UTF-16LE text (with its BOM) is converted to UTF-8.
std::string decodeText(const std::string& text) {
    if (text.size() >= 3 && static_cast<BYTE>(text[0]) == 0xEF && static_cast<BYTE>(text[1]) == 0xBB &&
        static_cast<BYTE>(text[2]) == 0xBF)
        return text.substr(3);
    if (text.size() >= 2 && static_cast<BYTE>(text[0]) == 0xFF && static_cast<BYTE>(text[1]) == 0xFE) {
        std::vector<WORD> units;
        for (size_t i = 2; i + 1 < text.size(); i += 2)
            units.push_back(static_cast<WORD>(static_cast<BYTE>(text[i]) | (static_cast<BYTE>(text[i + 1]) << 8)));
        std::vector<BYTE> bytes = utf16ToUtf8(units);
        return std::string(bytes.begin(), bytes.end());
    }
    return text;
}

// The predefined key a root name stands for, in full or short form; nullptr for others.
HKEY rootByName(const std::string& name) {
    if (iequals(name, "HKEY_LOCAL_MACHINE") || iequals(name, "HKLM")) return HKEY_LOCAL_MACHINE;
    if (iequals(name, "HKEY_CURRENT_USER") || iequals(name, "HKCU")) return HKEY_CURRENT_USER;
    if (iequals(name, "HKEY_CLASSES_ROOT") || iequals(name, "HKCR")) return HKEY_CLASSES_ROOT;
    if (iequals(name, "HKEY_USERS") || iequals(name, "HKU")) return HKEY_USERS;
    if (iequals(name, "HKEY_CURRENT_CONFIG") || iequals(name, "HKCC")) return HKEY_CURRENT_CONFIG;
    return nullptr;
}

// The regedit reader: one instance per loadReg call.
class RegReader {
public:
    RegReader(Registry& reg, const std::string& origin) : reg_(reg), origin_(origin) {}

    void read(const std::string& raw) {
        std::string text = decodeText(raw);
        std::vector<std::string> lines = split(text, '\n');
        size_t i = 0;
        while (i < lines.size() && trim(lines[i]).empty()) ++i;
        if (i == lines.size()) fail(1, "empty file; expected the header \"" + std::string(kHeader5) + "\"");
        std::string header = trim(lines[i]);
        if (header == kHeader5) unicode_ = true;
        else if (header == kHeader4) unicode_ = false;
        else fail(i + 1, "expected the header \"" + std::string(kHeader5) + "\" or \"" + kHeader4 + "\"");
        for (++i; i < lines.size(); ++i) {
            line_ = i + 1;
            std::string s = trim(lines[i]);
            if (s.empty() || s[0] == ';') continue;
            while (!s.empty() && s.back() == '\\' && s[0] != '[' && i + 1 < lines.size()) {
                s.pop_back();
                s += trim(lines[++i]);
            }
            if (s[0] == '[') section(s);
            else valueLine(s);
        }
    }

private:
    Registry& reg_;
    std::string origin_;
    bool unicode_ = true;
    size_t line_ = 0;
    RegKey* key_ = nullptr;
    bool deletedSection_ = false;

    [[noreturn]] void fail(size_t line, const std::string& what) const {
        throw MachineError(origin_ + ":" + std::to_string(line) + ": " + what);
    }
    [[noreturn]] void fail(const std::string& what) const { fail(line_, what); }

    void section(const std::string& s) {
        if (s.size() < 2 || s.back() != ']') fail("a key line must end with ']'");
        std::string path = s.substr(1, s.size() - 2);
        bool remove = !path.empty() && path[0] == '-';
        if (remove) path.erase(0, 1);
        size_t sep = path.find('\\');
        std::string rootName = path.substr(0, sep);
        HKEY h = rootByName(rootName);
        if (!h) fail("unknown root key \"" + rootName + "\"");
        std::shared_ptr<RegKey> root = reg_.root(h);
        if (!root) root = reg_.share(&reg_.create("HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes"));
        std::vector<std::string> names;
        if (sep != std::string::npos) {
            names = split(path.substr(sep + 1), '\\');
            for (auto& n : names)
                if (n.empty()) fail("empty key name in \"" + path + "\"");
        }
        RegKey* k = root.get();
        if (remove) {
            if (names.empty()) fail("a root key cannot be deleted");
            for (auto& n : names)
                if (k) k = k->child(n);
            if (k) Registry::detach(*k);
            key_ = nullptr;
            deletedSection_ = true;
            return;
        }
        for (auto& n : names) k = &k->addChild(n);
        key_ = k;
        deletedSection_ = false;
    }

    // A quoted string starting at s[pos] == '"'; pos ends after the closing quote.
    std::string quoted(const std::string& s, size_t& pos) const {
        std::string out;
        for (++pos; pos < s.size(); ++pos) {
            char c = s[pos];
            if (c == '"') {
                ++pos;
                return out;
            }
            if (c == '\\') {
                if (pos + 1 >= s.size()) break;
                char e = s[++pos];
                if (e != '\\' && e != '"') fail(std::string("unknown escape \\") + e + " in a string (write \\\\ for \\)");
                out += e;
            } else {
                out += c;
            }
        }
        fail("unterminated string");
    }

    void valueLine(const std::string& s) {
        std::string name;
        size_t pos = 0;
        if (s[0] == '@') pos = 1;
        else if (s[0] == '"') name = quoted(s, pos);
        else fail("expected a key in [brackets], a value (\"name\"= or @=) or a comment");
        while (pos < s.size() && (s[pos] == ' ' || s[pos] == '\t')) ++pos;
        if (pos >= s.size() || s[pos] != '=') fail("expected '=' after the value name");
        std::string data = trim(s.substr(pos + 1));
        if (!key_) fail(deletedSection_ ? "a value under a deleted key" : "a value before the first key");
        if (data == "-") {
            key_->removeValue(name);
            return;
        }
        if (!data.empty() && data[0] == '"') {
            size_t p = 0;
            std::string text = quoted(data, p);
            if (p != data.size()) fail("unexpected text after the closing quote");
            key_->setValue(name, REG_SZ, stringData(text));
            return;
        }
        if (startsWithI(data, "dword:")) {
            std::string digits = data.substr(6);
            if (digits.empty() || digits.size() > 8) fail("dword: needs 1 to 8 hexadecimal digits");
            DWORD v = 0;
            for (char c : digits) {
                int d = hexDigit(c);
                if (d < 0) fail("dword: needs 1 to 8 hexadecimal digits");
                v = (v << 4) | static_cast<DWORD>(d);
            }
            std::vector<BYTE> bytes(4);
            for (int k = 0; k < 4; ++k) bytes[k] = static_cast<BYTE>(v >> (8 * k));
            key_->setValue(name, REG_DWORD, std::move(bytes));
            return;
        }
        DWORD type = REG_BINARY;
        size_t start = 0;
        if (startsWithI(data, "hex:")) {
            start = 4;
        } else if (startsWithI(data, "hex(")) {
            size_t close = data.find(')');
            std::string digits = close == std::string::npos ? "" : data.substr(4, close - 4);
            if (digits.empty() || digits.size() > 8 || close + 1 >= data.size() || data[close + 1] != ':')
                fail("expected hex(TYPE): with a hexadecimal type");
            type = 0;
            for (char c : digits) {
                int d = hexDigit(c);
                if (d < 0) fail("expected hex(TYPE): with a hexadecimal type");
                type = (type << 4) | static_cast<DWORD>(d);
            }
            start = close + 2;
        } else {
            fail("unknown value data \"" + data + "\" (expected \"text\", dword:, hex: or hex(N):, or -)");
        }
        std::vector<BYTE> bytes = hexBytes(data.substr(start));
        if (unicode_ && isStringType(type)) {
            if (bytes.size() % 2) fail("hex(" + std::to_string(type) + ") data must be UTF-16LE (an even count of bytes)");
            std::vector<WORD> units;
            for (size_t k = 0; k + 1 < bytes.size(); k += 2) units.push_back(static_cast<WORD>(bytes[k] | (bytes[k + 1] << 8)));
            bytes = utf16ToUtf8(units);
        }
        key_->setValue(name, type, std::move(bytes));
    }

    std::vector<BYTE> hexBytes(const std::string& list) const {
        std::vector<BYTE> out;
        if (trim(list).empty()) return out;
        for (auto& item : split(list, ',')) {
            std::string t = trim(item);
            if (t.empty() || t.size() > 2) fail("bad byte \"" + t + "\" in hex data (expected two hexadecimal digits)");
            int v = 0;
            for (char c : t) {
                int d = hexDigit(c);
                if (d < 0) fail("bad byte \"" + t + "\" in hex data (expected two hexadecimal digits)");
                v = v * 16 + d;
            }
            out.push_back(static_cast<BYTE>(v));
        }
        return out;
    }
};

std::string escaped(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out;
}

// A REG_SZ value that regedit writes as "text": one terminating NUL, none inside, no line breaks.
bool plainString(const RegValue& v) {
    if (v.type != REG_SZ || v.data.empty() || v.data.back() != 0) return false;
    for (size_t i = 0; i + 1 < v.data.size(); ++i)
        if (v.data[i] == 0 || v.data[i] == '\r' || v.data[i] == '\n') return false;
    return true;
}

void writeValue(std::string& out, const RegValue& v) {
    std::string line = v.name.empty() ? "@" : "\"" + escaped(v.name) + "\"";
    line += '=';
    if (plainString(v)) {
        out += line + "\"" + escaped(std::string(v.data.begin(), v.data.end() - 1)) + "\"\n";
        return;
    }
    char buf[32];
    if (v.type == REG_DWORD && v.data.size() == 4) {
        DWORD d = static_cast<DWORD>(v.data[0]) | static_cast<DWORD>(v.data[1]) << 8 |
                  static_cast<DWORD>(v.data[2]) << 16 | static_cast<DWORD>(v.data[3]) << 24;
        std::snprintf(buf, sizeof buf, "dword:%08x", d);
        out += line + buf + "\n";
        return;
    }
    if (v.type == REG_BINARY) {
        line += "hex:";
    } else {
        std::snprintf(buf, sizeof buf, "hex(%x):", v.type);
        line += buf;
    }
    std::vector<BYTE> bytes = isStringType(v.type) ? utf16leBytes(utf8ToUtf16(v.data)) : v.data;
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%02x", bytes[i]);
        line += buf;
        if (i + 1 < bytes.size()) {
            line += ',';
            if ((i + 1) % 25 == 0) line += "\\\n  ";
        }
    }
    out += line + "\n";
}

bool keeps(const Registry::SaveFilter* filter, const RegKey& key, const RegValue& v) {
    return !filter || !filter->skipValue || !filter->skipValue(key, v);
}

void writeKey(std::string& out, const RegKey& key, bool isRoot, const Registry::SaveFilter* filter) {
    if (filter && filter->skipKey && filter->skipKey(key)) return;
    std::vector<const RegValue*> sorted;
    for (auto& v : key.values)
        if (keeps(filter, key, v)) sorted.push_back(&v);
    if (!isRoot || !sorted.empty()) {
        out += "\n[" + Registry::pathOf(key) + "]\n";
        std::stable_sort(sorted.begin(), sorted.end(),
                         [](const RegValue* a, const RegValue* b) { return iless(a->name, b->name); });
        for (auto* v : sorted) writeValue(out, *v);
    }
    for (auto& kv : key.subkeys) writeKey(out, *kv.second, false, filter);
}

}  // namespace

// ---- the registry --------------------------------------------------------------------------------------

Registry::Registry()
    : hklm_(makeRoot("HKEY_LOCAL_MACHINE")),
      hkcu_(makeRoot("HKEY_CURRENT_USER")),
      hku_(makeRoot("HKEY_USERS")),
      hkcc_(makeRoot("HKEY_CURRENT_CONFIG")) {
    create("HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes");
    create("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run");
    create("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce");
    create("HKEY_CURRENT_USER\\Software");
}

namespace {

std::shared_ptr<RegKey> cloneKey(const RegKey& from, RegKey* parent) {
    auto k = std::make_shared<RegKey>();
    k->name = from.name;
    k->parent = parent;
    k->deleted = from.deleted;
    k->values = from.values;
    for (const auto& c : from.subkeys) k->subkeys.emplace_hint(k->subkeys.end(), c.first, cloneKey(*c.second, k.get()));
    return k;
}

}  // namespace

Registry::Registry(const Registry& other)
    : hklm_(cloneKey(*other.hklm_, nullptr)),
      hkcu_(cloneKey(*other.hkcu_, nullptr)),
      hku_(cloneKey(*other.hku_, nullptr)),
      hkcc_(cloneKey(*other.hkcc_, nullptr)) {}

Registry& Registry::operator=(const Registry& other) {
    if (this != &other) {
        Registry copy(other);
        *this = std::move(copy);
    }
    return *this;
}

std::shared_ptr<RegKey> Registry::root(HKEY predefined) const {
    if (predefined == HKEY_LOCAL_MACHINE) return hklm_;
    if (predefined == HKEY_CURRENT_USER) return hkcu_;
    if (predefined == HKEY_USERS) return hku_;
    if (predefined == HKEY_CURRENT_CONFIG) return hkcc_;
    if (predefined == HKEY_CLASSES_ROOT) {
        RegKey* software = hklm_->child("SOFTWARE");
        if (!software) return nullptr;
        auto it = software->subkeys.find("Classes");
        return it == software->subkeys.end() ? nullptr : it->second;
    }
    return nullptr;
}

std::shared_ptr<RegKey> Registry::share(const RegKey* key) const {
    if (!key || key->deleted) return nullptr;
    if (key == hklm_.get()) return hklm_;
    if (key == hkcu_.get()) return hkcu_;
    if (key == hku_.get()) return hku_;
    if (key == hkcc_.get()) return hkcc_;
    if (!key->parent) return nullptr;
    auto it = key->parent->subkeys.find(key->name);
    return it == key->parent->subkeys.end() ? nullptr : it->second;
}

bool Registry::isRoot(const RegKey& key) const {
    return &key == hklm_.get() || &key == hkcu_.get() || &key == hku_.get() || &key == hkcc_.get();
}

std::shared_ptr<RegKey> Registry::rootOfPath(const std::string& fullPath, size_t& rootLength) const {
    size_t sep = fullPath.find('\\');
    std::string name = fullPath.substr(0, sep);
    rootLength = name.size();
    HKEY h = rootByName(name);
    return h ? root(h) : nullptr;
}

RegKey* Registry::find(const std::string& fullPath) const {
    const std::string rootName = fullPath.substr(0, fullPath.find('\\'));
    if ((iequals(rootName, "HKEY_CLASSES_ROOT") || iequals(rootName, "HKCR")) && rootName.size() < fullPath.size()) {
        // The merged view: the user's classes first.
        if (RegKey* user = find("HKEY_CURRENT_USER\\Software\\Classes" + fullPath.substr(rootName.size()))) return user;
    }
    size_t rootLength = 0;
    std::shared_ptr<RegKey> start = rootOfPath(fullPath, rootLength);
    if (!start) return nullptr;
    // The names after the root, followed in place: an empty one finds nothing (a trailing separator is allowed).
    std::string_view rest = std::string_view(fullPath).substr(std::min(fullPath.size(), rootLength + 1));
    RegKey* k = start.get();
    if (rest.empty()) return k;
    if (rest.back() == '\\') rest.remove_suffix(1);
    for (size_t at = 0;;) {
        const size_t end = std::min(rest.find('\\', at), rest.size());
        if (end == at) return nullptr;
        k = k->child(rest.substr(at, end - at));
        if (!k || end == rest.size()) return k;
        at = end + 1;
    }
}

RegKey& Registry::create(const std::string& fullPath) {
    size_t rootLength = 0;
    std::shared_ptr<RegKey> start = rootOfPath(fullPath, rootLength);
    if (!start) {
        std::string name = fullPath.substr(0, rootLength);
        if (iequals(name, "HKEY_CLASSES_ROOT") || iequals(name, "HKCR"))
            start = share(&hklm_->addChild("SOFTWARE").addChild("Classes"));
        else
            throw MachineError("registry path \"" + fullPath + "\": unknown root key");
    }
    std::vector<std::string> names;
    if (!splitNames(fullPath.size() > rootLength ? fullPath.substr(rootLength + 1) : "", names))
        throw MachineError("registry path \"" + fullPath + "\": empty key name");
    RegKey* k = start.get();
    for (auto& n : names) k = &k->addChild(n);
    return *k;
}

void Registry::detach(RegKey& key) {
    std::shared_ptr<RegKey> keep;  // the key may be owned only by its parent's map
    if (key.parent) {
        auto it = key.parent->subkeys.find(key.name);
        if (it != key.parent->subkeys.end() && it->second.get() == &key) {
            keep = it->second;
            key.parent->subkeys.erase(it);
        }
    }
    key.parent = nullptr;
    std::vector<RegKey*> pending{&key};
    while (!pending.empty()) {
        RegKey* k = pending.back();
        pending.pop_back();
        k->deleted = true;
        for (auto& kv : k->subkeys) pending.push_back(kv.second.get());
    }
}

bool Registry::remove(const std::string& fullPath) {
    RegKey* k = find(fullPath);
    if (!k || isRoot(*k)) return false;
    detach(*k);
    return true;
}

std::string Registry::pathOf(const RegKey& key) {
    size_t size = key.name.size();
    for (const RegKey* p = key.parent; p; p = p->parent) size += p->name.size() + 1;
    std::string path(size, '\\');  // the names written from the end, each after its separator
    for (const RegKey* k = &key; k; k = k->parent) {
        size -= k->name.size();
        path.replace(size, k->name.size(), k->name);
        if (size) --size;
    }
    return path;
}

const RegKey* Registry::topOf(const RegKey& key) {
    if (key.deleted) return nullptr;
    const RegKey* k = &key;
    while (k->parent) k = k->parent;
    return k;
}

void Registry::setValue(const std::string& keyPath, const std::string& valueName, DWORD type,
                        std::vector<BYTE> data) {
    create(keyPath).setValue(valueName, type, std::move(data));
}

void Registry::setString(const std::string& keyPath, const std::string& valueName, const std::string& text) {
    setValue(keyPath, valueName, REG_SZ, stringData(text));
}

void Registry::setExpandString(const std::string& keyPath, const std::string& valueName, const std::string& text) {
    setValue(keyPath, valueName, REG_EXPAND_SZ, stringData(text));
}

void Registry::setMultiString(const std::string& keyPath, const std::string& valueName,
                              const std::vector<std::string>& strings) {
    std::vector<BYTE> data;
    for (auto& s : strings) {
        data.insert(data.end(), s.begin(), s.end());
        data.push_back(0);
    }
    data.push_back(0);
    setValue(keyPath, valueName, REG_MULTI_SZ, std::move(data));
}

void Registry::setDword(const std::string& keyPath, const std::string& valueName, DWORD value) {
    std::vector<BYTE> data(4);
    for (int i = 0; i < 4; ++i) data[i] = static_cast<BYTE>(value >> (8 * i));
    setValue(keyPath, valueName, REG_DWORD, std::move(data));
}

const RegValue* Registry::value(const std::string& keyPath, const std::string& valueName) const {
    const RegKey* k = find(keyPath);
    return k ? k->findValue(valueName) : nullptr;
}

bool Registry::hasValue(const std::string& keyPath, const std::string& valueName) const {
    return value(keyPath, valueName) != nullptr;
}

std::string Registry::getString(const std::string& keyPath, const std::string& valueName) const {
    const RegValue* v = value(keyPath, valueName);
    if (!v || (v->type != REG_SZ && v->type != REG_EXPAND_SZ)) return "";
    std::string s(v->data.begin(), v->data.end());
    size_t nul = s.find('\0');
    return nul == std::string::npos ? s : s.substr(0, nul);
}

DWORD Registry::getDword(const std::string& keyPath, const std::string& valueName, DWORD def) const {
    const RegValue* v = value(keyPath, valueName);
    if (!v || v->type != REG_DWORD || v->data.size() < 4) return def;
    return static_cast<DWORD>(v->data[0]) | static_cast<DWORD>(v->data[1]) << 8 |
           static_cast<DWORD>(v->data[2]) << 16 | static_cast<DWORD>(v->data[3]) << 24;
}

void Registry::loadReg(const std::string& text, const std::string& origin) {
    RegReader(*this, origin).read(text);
}

std::string Registry::saveReg(const SaveFilter* filter) const {
    std::string out = std::string(kHeader5) + "\n";
    std::vector<const RegKey*> roots{hklm_.get(), hkcu_.get(), hku_.get(), hkcc_.get()};
    std::sort(roots.begin(), roots.end(), [](const RegKey* a, const RegKey* b) { return iless(a->name, b->name); });
    for (auto* r : roots) writeKey(out, *r, true, filter);
    out += "\n";
    return out;
}

}  // namespace simwin
