// user32 and version.dll on the program module's resources: strings and the version resource.
#include "simwin/api/resources.h"

#include <algorithm>
#include <cstring>

#include "simwin/api/kernel.h"
#include "simwin/api/version.h"
#include "simwin/machine.h"
#include "simwin/modules.h"
#include "simwin/resource_set.h"
#include "simwin/util.h"

namespace simwin {

std::map<UINT, std::string> parseStringTables(const std::string& rcText) {
    return ResourceSet::parse(rcText, {}, true).strings;
}

const std::map<UINT, std::string>& programStringTable() { return programResources().strings; }

ScopedProgramString::ScopedProgramString(UINT id, const std::string& text) : id_(id & 0xFFFF) {
    auto& table = programResources().strings;
    auto it = table.find(id_);
    existed_ = it != table.end();
    if (existed_) previous_ = it->second;
    table[id_] = text;
}

ScopedProgramString::~ScopedProgramString() {
    auto& table = programResources().strings;
    if (existed_)
        table[id_] = previous_;
    else
        table.erase(id_);
}

}  // namespace simwin

int WINAPI LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int bufferMax) {
    if (!buffer || bufferMax <= 0) return 0;
    buffer[0] = 0;
    if (instance && instance != simwin::programModule()) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return 0;
    }
    const auto& table = simwin::programStringTable();
    auto it = table.find(id & 0xFFFF);
    if (it == table.end() || it->second.empty()) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    size_t n = it->second.size();
    if (n > static_cast<size_t>(bufferMax - 1)) {
        n = static_cast<size_t>(bufferMax - 1);
        // Never cut inside a UTF-8 character: back up over continuation bytes.
        while (n > 0 && (static_cast<unsigned char>(it->second[n]) & 0xC0) == 0x80) --n;
    }
    std::memcpy(buffer, it->second.data(), n);
    buffer[n] = 0;
    return static_cast<int>(n);
}

LPSTR WINAPI CharNextA(LPCSTR text) {
    if (!text) return NULL;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    if (!*p) return const_cast<LPSTR>(text);
    int length = 1;
    if (*p >= 0xC0 && *p < 0xE0)
        length = 2;
    else if (*p >= 0xE0 && *p < 0xF0)
        length = 3;
    else if (*p >= 0xF0 && *p < 0xF8)
        length = 4;
    // A sequence cut short by the terminator (or by a byte that does not continue it) ends there.
    int i = 1;
    while (i < length && (p[i] & 0xC0) == 0x80) ++i;
    return const_cast<LPSTR>(text + i);
}

// --- version.dll ---------------------------------------------------------------------------------------------

namespace {

using simwin::current;

// The version resource that a file carries: the program file has its script's VERSIONINFO; any other
// file none (1813); a missing file fails as opening it would.
bool versionResourceOf(LPCSTR filename, std::string& block) {
    if (!filename) return SetLastError(ERROR_INVALID_PARAMETER), false;
    if (!*filename) return SetLastError(ERROR_BAD_PATHNAME), false;
    const std::string& program = current().system.program;
    const std::string full = current().files.fullPath(filename);
    bool bareName = std::strpbrk(filename, "\\/:") == nullptr;
    size_t slash = program.find_last_of('\\');
    bool isProgram = (!full.empty() && simwin::iequals(full, current().files.fullPath(program))) ||
                     (bareName && simwin::iequals(filename, program.substr(slash + 1)));
    if (isProgram) {
        const simwin::VersionResource& version = simwin::programResources().version;
        if (!version.present) return SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND), false;
        block = version.binary();
        return true;
    }
    simwin::PathLookup found = current().files.lookup(filename);
    SetLastError(found.node ? ERROR_RESOURCE_TYPE_NOT_FOUND : found.error ? found.error : ERROR_FILE_NOT_FOUND);
    return false;
}

// A node of a VS_VERSIONINFO block, read in place: offsets are from the block's start, where every node
// begins DWORD-aligned.
struct VersionNode {
    const BYTE* base;
    size_t at;

    WORD word(size_t offset) const { return static_cast<WORD>(base[at + offset] | base[at + offset + 1] << 8); }
    WORD length() const { return word(0); }
    WORD valueLength() const { return word(2); }
    bool isText() const { return word(4) == 1; }
    size_t keyUnits() const {
        size_t n = 0;
        while (at + 6 + 2 * n + 1 < at + length() && word(6 + 2 * n)) ++n;
        return n;
    }
    std::string key() const {
        std::u16string units;
        for (size_t i = 0, n = keyUnits(); i < n; ++i) units += static_cast<char16_t>(word(6 + 2 * i));
        return simwin::utf8FromUtf16(units.data(), units.size());
    }
    static size_t align(size_t v) { return (v + 3) & ~size_t(3); }
    size_t valueAt() const { return align(at + 6 + 2 * (keyUnits() + 1)); }
    size_t valueBytes() const { return isText() ? 2 * valueLength() : valueLength(); }
    // The child whose key is name (ignoring case); false when there is none.
    bool child(const std::string& name, VersionNode& out) const {
        size_t end = at + length();
        for (size_t c = align(valueAt() + valueBytes()); c + 6 <= end;) {
            VersionNode node{base, c};
            if (node.length() == 0) return false;
            if (simwin::iequals(node.key(), name)) return out = node, true;
            c = align(c + node.length());
        }
        return false;
    }
};

}  // namespace

DWORD WINAPI GetFileVersionInfoSizeA(LPCSTR filename, LPDWORD handle) {
    if (handle) *handle = 0;
    std::string block;
    if (!versionResourceOf(filename, block)) return 0;
    return static_cast<DWORD>(block.size() * 2 + 4);
}

BOOL WINAPI GetFileVersionInfoA(LPCSTR filename, DWORD handle, DWORD size, LPVOID data) {
    if (!data) return SetLastError(ERROR_INVALID_DATA), FALSE;
    std::string block;
    if (!versionResourceOf(filename, block)) return FALSE;
    std::memcpy(data, block.data(), std::min<size_t>(size, block.size()));
    if (size >= block.size() + 4) std::memcpy(static_cast<char*>(data) + block.size(), "FE2X", 4);
    return TRUE;
}

BOOL WINAPI VerQueryValueA(LPCVOID block, LPCSTR subBlock, LPVOID* buffer, PUINT length) {
    if (!block) return FALSE;
    if (!subBlock || !*subBlock) subBlock = "\\";
    VersionNode root{static_cast<const BYTE*>(block), 0};
    VersionNode node = root;
    for (const std::string& part : simwin::split(subBlock, '\\')) {
        if (part.empty()) continue;
        if (!node.child(part, node)) {
            if (length) *length = 0;
            SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
            return FALSE;
        }
    }
    size_t value = node.valueAt();
    if (value >= node.at + node.length()) value = node.at + 6 + 2 * node.keyUnits();  // no value: the key's end
    BYTE* bytes = const_cast<BYTE*>(root.base);
    if (!node.isText()) {
        *buffer = bytes + value;
        if (length) *length = node.valueLength();
        return TRUE;
    }
    // Text: the ANSI form goes to the same offset in the half after the block and its 4-byte signature.
    std::u16string units;
    for (size_t i = 0; i < node.valueLength(); ++i) units += static_cast<char16_t>(VersionNode{bytes, value}.word(2 * i));
    std::string ansi = simwin::utf8FromUtf16(units.data(), units.size());
    size_t room = root.length() > value ? root.length() - value : 0;
    if (ansi.size() > room) ansi.resize(room);
    char* out = reinterpret_cast<char*>(bytes) + root.length() + 4 + value;
    std::memcpy(out, ansi.data(), ansi.size());
    *buffer = out;
    if (length) *length = static_cast<UINT>(ansi.size());
    return TRUE;
}

LPSTR WINAPI CharLowerA(LPSTR text) {
    // A single character passed in the low word is lower-cased and returned the same way.
    if (IS_INTRESOURCE(text)) {
        unsigned char c = static_cast<unsigned char>(reinterpret_cast<ULONG_PTR>(text));
        return reinterpret_cast<LPSTR>(static_cast<ULONG_PTR>(c >= 'A' && c <= 'Z' ? c + 32 : c));
    }
    for (char* p = text; *p; ++p)
        if (*p >= 'A' && *p <= 'Z') *p = static_cast<char>(*p + 32);
    return text;
}
