#include "ui/text_resources.h"

#include <cstring>

#include "base/path_parts.h"

CTextResources::CTextResources(HINSTANCE instanceHandle) : ringIndex(0), instance(instanceHandle) {
    std::memset(slots, 0, sizeof slots);
}

void CTextResources::SetInstance(HINSTANCE instanceHandle) { instance = instanceHandle; }

char* CTextResources::NextSlot() {
    ringIndex = (ringIndex + 1) % SLOT_COUNT;
    return slots[ringIndex];
}

const char* CTextResources::GetString(UINT id) {
    char* slot = NextSlot();
    slot[0] = 0;
    LoadStringA(instance, id, slot, SLOT_SIZE);
    if (slot[0] != '@') return slot;

    // @file@section@key: each of the first three "@" starts a part and becomes a terminator; a fourth one
    // stays in the key. Stepping by characters keeps a trail byte from being taken for a separator.
    char* parts[3] = {};
    int found = 0;
    for (char* p = slot; *p;) {
        char* next = CharNextA(p);
        if (*p == '@') {
            if (found == 3) break;
            parts[found++] = p + 1;
            *p = 0;
        }
        p = next;
    }
    if (found < 3) return slot;  // begins with a terminator: the empty text
    return ReadIniString(parts[0], parts[1], parts[2]);
}

const char* CTextResources::ReadIniString(const char* file, const char* section, const char* key) {
    CPathParts where;
    where.Resolve(MODULEFILE);
    char* slot = NextSlot();
    slot[0] = 0;
    if (file && *file) {
        // A name that long cannot be split into the parts of a path.
        if (std::strlen(file) >= _MAX_DIR) return slot;
        _splitpath(file, where.drive, where.dir, where.fname, where.ext);
    } else {
        std::strcpy(where.ext, ".ini");
    }
    _makepath(where.path, where.drive, where.dir, where.fname, where.ext);
    DWORD length = GetPrivateProfileStringA(section, key, "", slot, SLOT_SIZE, where.path);
    if (length == 0) {
        where.SearchFile(NULL);
        _makepath(where.path, where.drive, where.dir, where.fname, where.ext);
        length = GetPrivateProfileStringA(section, key, "", slot, SLOT_SIZE, where.path);
        if (length == 0) slot[0] = 0;
    }
    // A backslash followed by "n" stands for a line feed.
    char* out = slot;
    for (const char* in = slot; *in; ++in) {
        if (in[0] == '\\' && in[1] == 'n') {
            *out++ = '\n';
            ++in;
        } else {
            *out++ = *in;
        }
    }
    *out = 0;
    return slot;
}

int CTextResources::SetWindowTextFromId(HWND window, UINT id) {
    const char* text = GetString(id);
    if (!text[0]) return 0;
    return SetWindowTextA(window, text) ? 1 : 0;
}

int CTextResources::SetDlgItemTextFromId(HWND dialog, int item, UINT id) {
    return SetWindowTextFromId(GetDlgItem(dialog, item), id);
}

std::string FillText(const char* text, const std::vector<std::string>& values) {
    std::string out;
    size_t next = 0;
    for (const char* p = text ? text : ""; *p; ++p) {
        if (p[0] == '%' && p[1] == 's' && next < values.size()) {
            out += values[next++];
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

void FillTexts(char* out, size_t size, const char* text, std::initializer_list<std::string> values) {
    if (!size) return;
    const std::string filled = FillText(text, std::vector<std::string>(values));
    const size_t n = filled.size() < size - 1 ? filled.size() : size - 1;
    std::memcpy(out, filled.data(), n);
    out[n] = 0;
}
