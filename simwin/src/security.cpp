// Security descriptors: SDDL text and the binary forms (security.h).
#include "simwin/security.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "simwin/util.h"

namespace simwin {

namespace {

const WORD kSelfRelative = 0x8000;
const WORD kDaclPresent = 0x0004;
const WORD kDaclBits = 0x0004 | 0x0008 | 0x0100 | 0x0400 | 0x1000;  // present, defaulted, AR, AI, P
const DWORD kOwner = 1, kGroup = 2, kDacl = 4;

struct Name {
    const char* code;
    DWORD value;
};

const Name kDaclFlags[] = {{"P", 0x1000}, {"AR", 0x0100}, {"AI", 0x0400}};
const Name kAceFlags[] = {{"OI", 0x01}, {"CI", 0x02}, {"NP", 0x04}, {"IO", 0x08}, {"ID", 0x10}};
// Rights with names: a mask equal to one of them is written by that name (in this order of preference); a
// mask made only of the bits below that have names is written as those names, lowest bit first; any other
// mask in hexadecimal. The same names are read, alone or concatenated.
const Name kRights[] = {{"GA", 0x10000000}, {"GR", 0x80000000}, {"GW", 0x40000000}, {"GX", 0x20000000},
                        {"RC", 0x20000},    {"SD", 0x10000},    {"WD", 0x40000},    {"WO", 0x80000},
                        {"RP", 0x10},       {"WP", 0x20},       {"CC", 0x1},        {"DC", 0x2},
                        {"LC", 0x4},        {"SW", 0x8},        {"LO", 0x80},       {"DT", 0x40},
                        {"CR", 0x100},      {"FA", 0x1F01FF},   {"FR", 0x120089},   {"FW", 0x120116},
                        {"FX", 0x1200A0},   {"KA", 0xF003F},    {"KR", 0x20019},    {"KW", 0x20006},
                        {"KX", 0x20019}};
const char* const kRightBits[32] = {"CC", "DC", "LC", "SW", "RP", "WP", "DT", "LO", "CR", nullptr, nullptr,
                                    nullptr, nullptr, nullptr, nullptr, nullptr, "SD", "RC", "WD", "WO",
                                    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                    "GA", "GX", "GW", "GR"};

struct SidName {
    const char* code;
    const char* text;
};
const SidName kSids[] = {{"BA", "S-1-5-32-544"}, {"BU", "S-1-5-32-545"}, {"BG", "S-1-5-32-546"},
                         {"SY", "S-1-5-18"},     {"LS", "S-1-5-19"},     {"NS", "S-1-5-20"},
                         {"WD", "S-1-1-0"},      {"AU", "S-1-5-11"},     {"AN", "S-1-5-7"},
                         {"IU", "S-1-5-4"},      {"CO", "S-1-3-0"},      {"CG", "S-1-3-1"}};

void putWord(std::string& out, WORD v) { out.append(reinterpret_cast<const char*>(&v), 2); }
void putDword(std::string& out, DWORD v) { out.append(reinterpret_cast<const char*>(&v), 4); }

size_t sidSize(const BYTE* sid) { return 8 + 4 * static_cast<size_t>(sid[1]); }

bool validSid(const BYTE* sid) { return sid && sid[0] == 1 && sid[1] <= 15; }

std::string sidAt(const BYTE* sid) { return std::string(reinterpret_cast<const char*>(sid), sidSize(sid)); }

// A SID token of SDDL at pos: a two-letter name or "S-1-...".
bool readSid(const std::string& text, size_t& pos, std::string& sid) {
    if (text.compare(pos, 2, "S-") == 0) {
        size_t end = pos + 1;
        while (end < text.size() && (std::isdigit(static_cast<unsigned char>(text[end])) || text[end] == '-')) ++end;
        if (!parseSidText(text.substr(pos, end - pos), sid)) return false;
        pos = end;
        return true;
    }
    for (const SidName& n : kSids)
        if (text.compare(pos, 2, n.code) == 0) {
            pos += 2;
            return parseSidText(n.text, sid);
        }
    return false;
}

bool readSidField(const std::string& field, std::string& sid) {
    size_t pos = 0;
    return readSid(field, pos, sid) && pos == field.size();
}

// Two-letter codes of a table concatenated ("OICI", "GRGX"); false for anything else.
template <size_t N>
bool readCodes(const std::string& field, const Name (&table)[N], DWORD& value) {
    value = 0;
    for (size_t pos = 0; pos < field.size();) {
        bool known = false;
        for (const Name& n : table) {
            const size_t len = std::strlen(n.code);
            if (field.compare(pos, len, n.code) == 0) {
                value |= n.value;
                pos += len;
                known = true;
                break;
            }
        }
        if (!known) return false;
    }
    return true;
}

bool readRights(const std::string& field, DWORD& mask) {
    if (!field.empty() && std::isdigit(static_cast<unsigned char>(field[0]))) {
        char* end = nullptr;
        const unsigned long long v = std::strtoull(field.c_str(), &end, 0);
        if (*end || v > 0xFFFFFFFFULL) return false;
        mask = static_cast<DWORD>(v);
        return true;
    }
    return !field.empty() && readCodes(field, kRights, mask);
}

// One ACE "(A;OICI;FA;;;BA)" without its parentheses.
bool readAce(const std::string& body, Ace& ace) {
    const std::vector<std::string> f = split(body, ';');
    if (f.size() != 6 || !f[3].empty() || !f[4].empty()) return false;
    if (f[0] == "A")
        ace.type = 0;
    else if (f[0] == "D")
        ace.type = 1;
    else
        return false;
    DWORD flags = 0;
    if (!readCodes(f[1], kAceFlags, flags)) return false;
    ace.flags = static_cast<BYTE>(flags);
    return readRights(f[2], ace.mask) && readSidField(f[5], ace.sid);
}

bool readDacl(const std::string& text, size_t& pos, SecurityDescriptor& sd) {
    sd.control |= kDaclPresent;
    size_t flagsEnd = pos;
    while (flagsEnd < text.size() && text[flagsEnd] != '(' &&
           !(flagsEnd + 1 < text.size() && text[flagsEnd + 1] == ':'))
        ++flagsEnd;
    DWORD flags = 0;
    if (!readCodes(text.substr(pos, flagsEnd - pos), kDaclFlags, flags)) return false;
    sd.control = static_cast<WORD>(sd.control | flags);
    pos = flagsEnd;
    while (pos < text.size() && text[pos] == '(') {
        const size_t close = text.find(')', pos);
        if (close == std::string::npos) return false;
        Ace ace;
        if (!readAce(text.substr(pos + 1, close - pos - 1), ace)) return false;
        sd.dacl.push_back(ace);
        pos = close + 1;
    }
    return true;
}

std::string sidName(const std::string& sid) {
    const std::string text = sidText(sid);
    for (const SidName& n : kSids)
        if (text == n.text) return n.code;
    return text;
}

std::string rightsName(DWORD mask) {
    for (const Name& n : kRights)
        if (n.value == mask) return n.code;
    std::string codes;
    for (int bit = 0; bit < 32 && mask; ++bit) {
        if (!(mask & (1u << bit))) continue;
        if (!kRightBits[bit]) {
            char hex[16];
            std::snprintf(hex, sizeof hex, "0x%x", static_cast<unsigned>(mask));
            return hex;
        }
        codes += kRightBits[bit];
    }
    return codes;
}

template <size_t N>
std::string codesOf(DWORD value, const Name (&table)[N]) {
    std::string out;
    for (const Name& n : table)
        if ((value & n.value) == n.value && n.value) out += n.code;
    return out;
}

std::string aclBytes(const std::vector<Ace>& aces) {
    std::string body;
    for (const Ace& a : aces) {
        body += static_cast<char>(a.type);
        body += static_cast<char>(a.flags);
        putWord(body, static_cast<WORD>(8 + a.sid.size()));
        putDword(body, a.mask);
        body += a.sid;
    }
    std::string out;
    out += static_cast<char>(2);  // ACL_REVISION
    out += static_cast<char>(0);
    putWord(out, static_cast<WORD>(8 + body.size()));
    putWord(out, static_cast<WORD>(aces.size()));
    putWord(out, 0);
    return out + body;
}

bool readAcl(const BYTE* acl, std::vector<Ace>& out) {
    if (acl[0] != 2 && acl[0] != 4) return false;
    WORD size = 0, count = 0;
    std::memcpy(&size, acl + 2, 2);
    std::memcpy(&count, acl + 4, 2);
    size_t pos = 8;
    for (WORD i = 0; i < count; ++i) {
        if (pos + 8 > size) return false;
        const BYTE* a = acl + pos;
        WORD aceSize = 0;
        std::memcpy(&aceSize, a + 2, 2);
        if ((a[0] != 0 && a[0] != 1) || aceSize < 16 || pos + aceSize > size || !validSid(a + 8) ||
            8 + sidSize(a + 8) > aceSize)
            return false;
        Ace ace;
        ace.type = a[0];
        ace.flags = a[1];
        std::memcpy(&ace.mask, a + 4, 4);
        ace.sid = sidAt(a + 8);
        out.push_back(ace);
        pos += aceSize;
    }
    return true;
}

}  // namespace

bool parseSidText(const std::string& text, std::string& sid) {
    const std::vector<std::string> parts = split(text, '-');
    if (parts.size() < 3 || parts.size() > 18 || parts[0] != "S" || parts[1] != "1") return false;
    for (size_t i = 2; i < parts.size(); ++i) {
        if (parts[i].empty() || parts[i].size() > 15) return false;
        for (char c : parts[i])
            if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    }
    const unsigned long long authority = std::strtoull(parts[2].c_str(), nullptr, 10);
    if (authority >= (1ULL << 48)) return false;
    sid.assign(8, '\0');
    sid[0] = 1;
    sid[1] = static_cast<char>(parts.size() - 3);
    for (int i = 0; i < 6; ++i) sid[2 + i] = static_cast<char>((authority >> (8 * (5 - i))) & 0xFF);
    for (size_t i = 3; i < parts.size(); ++i) {
        const unsigned long long v = std::strtoull(parts[i].c_str(), nullptr, 10);
        if (v > 0xFFFFFFFFULL) return false;
        putDword(sid, static_cast<DWORD>(v));
    }
    return true;
}

std::string sidText(const std::string& sid) {
    const BYTE* b = reinterpret_cast<const BYTE*>(sid.data());
    unsigned long long authority = 0;
    for (int i = 0; i < 6; ++i) authority = (authority << 8) | b[2 + i];
    std::string out = "S-1-" + std::to_string(authority);
    for (int i = 0; i < b[1]; ++i) {
        DWORD v = 0;
        std::memcpy(&v, b + 8 + 4 * i, 4);
        out += "-" + std::to_string(v);
    }
    return out;
}

std::string administratorsSid() {
    std::string s;
    parseSidText("S-1-5-32-544", s);
    return s;
}
std::string systemSid() {
    std::string s;
    parseSidText("S-1-5-18", s);
    return s;
}
std::string usersSid() {
    std::string s;
    parseSidText("S-1-5-32-545", s);
    return s;
}
std::string userSid() {
    std::string s;
    parseSidText("S-1-5-21-3623811015-3361044348-30300820-1001", s);
    return s;
}

bool parseSddl(const std::string& text, SecurityDescriptor& out, DWORD* error) {
    SecurityDescriptor sd;
    bool seen[3] = {false, false, false};
    size_t pos = 0;
    auto refuse = [&](DWORD code) {
        if (error) *error = code;
        return false;
    };
    while (pos < text.size()) {
        if (pos + 1 >= text.size() || text[pos + 1] != ':') return refuse(87);  // ERROR_INVALID_PARAMETER
        const char part = text[pos];
        pos += 2;
        const int index = part == 'O' ? 0 : part == 'G' ? 1 : part == 'D' ? 2 : -1;
        if (index < 0 || seen[index]) return refuse(87);  // a SACL ("S:") is not modelled
        seen[index] = true;
        if (index == 2) {
            if (!readDacl(text, pos, sd)) return refuse(1336);  // ERROR_INVALID_ACL
        } else if (!readSid(text, pos, index == 0 ? sd.owner : sd.group)) {
            return refuse(87);
        }
    }
    out = sd;
    return true;
}

std::string formatSddl(const SecurityDescriptor& sd, DWORD information) {
    std::string out;
    if ((information & kOwner) && !sd.owner.empty()) out += "O:" + sidName(sd.owner);
    if ((information & kGroup) && !sd.group.empty()) out += "G:" + sidName(sd.group);
    if ((information & kDacl) && (sd.control & kDaclPresent)) {
        out += "D:" + codesOf(sd.control, kDaclFlags);
        for (const Ace& a : sd.dacl)
            out += std::string("(") + (a.type == 0 ? "A" : "D") + ";" + codesOf(a.flags, kAceFlags) + ";" +
                   rightsName(a.mask) + ";;;" + sidName(a.sid) + ")";
    }
    return out;
}

std::string toSelfRelative(const SecurityDescriptor& sd, DWORD information) {
    const bool owner = (information & kOwner) && !sd.owner.empty();
    const bool group = (information & kGroup) && !sd.group.empty();
    const bool dacl = (information & kDacl) && (sd.control & kDaclPresent);
    WORD control = static_cast<WORD>((dacl ? sd.control : sd.control & ~kDaclBits) | kSelfRelative);
    std::string body;
    DWORD offsets[4] = {0, 0, 0, 0};  // owner, group, SACL, DACL
    if (owner) offsets[0] = static_cast<DWORD>(20 + body.size()), body += sd.owner;
    if (group) offsets[1] = static_cast<DWORD>(20 + body.size()), body += sd.group;
    if (dacl) offsets[3] = static_cast<DWORD>(20 + body.size()), body += aclBytes(sd.dacl);
    std::string out;
    out += static_cast<char>(1);
    out += static_cast<char>(0);
    putWord(out, control);
    for (DWORD o : offsets) putDword(out, o);
    return out + body;
}

bool fromMemory(const void* descriptor, SecurityDescriptor& out) {
    const BYTE* p = static_cast<const BYTE*>(descriptor);
    if (!p || p[0] != 1) return false;
    WORD control = 0;
    std::memcpy(&control, p + 2, 2);
    const BYTE* parts[4] = {nullptr, nullptr, nullptr, nullptr};  // owner, group, SACL, DACL
    for (int i = 0; i < 4; ++i) {
        if (control & kSelfRelative) {
            DWORD offset = 0;
            std::memcpy(&offset, p + 4 + 4 * i, 4);
            parts[i] = offset ? p + offset : nullptr;
        } else {
            std::memcpy(&parts[i], p + 8 + 8 * i, sizeof(const BYTE*));
        }
    }
    SecurityDescriptor sd;
    sd.control = static_cast<WORD>(control & ~kSelfRelative);
    if (parts[0] && !validSid(parts[0])) return false;
    if (parts[1] && !validSid(parts[1])) return false;
    if (parts[0]) sd.owner = sidAt(parts[0]);
    if (parts[1]) sd.group = sidAt(parts[1]);
    if ((control & kDaclPresent) && parts[3] && !readAcl(parts[3], sd.dacl)) return false;
    if ((control & kDaclPresent) && !parts[3]) sd.control &= ~kDaclPresent;  // a null DACL: no DACL to keep
    out = sd;
    return true;
}

}  // namespace simwin
