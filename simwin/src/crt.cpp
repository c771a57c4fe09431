// The Microsoft C runtime string and path routines the tool uses.
#include <cctype>
#include <cstring>
#include <string>

#include "simwin/api/crt.h"

int _strcmpi(const char* a, const char* b) {
    // The letters A to Z fold to a to z, as in the C locale.
    for (;; ++a, ++b) {
        int x = static_cast<unsigned char>(*a), y = static_cast<unsigned char>(*b);
        if (x >= 'A' && x <= 'Z') x += 32;
        if (y >= 'A' && y <= 'Z') y += 32;
        if (x != y || !x) return x - y;
    }
}

int _stricmp(const char* a, const char* b) { return _strcmpi(a, b); }

int _strnicmp(const char* a, const char* b, size_t n) {
    for (; n; --n, ++a, ++b) {
        int x = std::tolower(static_cast<unsigned char>(*a));
        int y = std::tolower(static_cast<unsigned char>(*b));
        if (x != y || !x) return x - y;
    }
    return 0;
}

char* _strlwr(char* s) {
    for (char* p = s; *p; ++p) *p = static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
    return s;
}

char* _strupr(char* s) {
    for (char* p = s; *p; ++p) *p = static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
    return s;
}

namespace {
void copyPart(char* out, const char* begin, const char* end, size_t max) {
    if (!out) return;
    size_t n = static_cast<size_t>(end - begin);
    if (n > max - 1) n = max - 1;
    std::memcpy(out, begin, n);
    out[n] = 0;
}
}  // namespace

void _splitpath(const char* path, char* drive, char* dir, char* fname, char* ext) {
    const char* p = path;
    if (p[0] && p[1] == ':') {
        copyPart(drive, p, p + 2, _MAX_DRIVE);
        p += 2;
    } else {
        copyPart(drive, p, p, _MAX_DRIVE);
    }
    const char* lastSep = nullptr;
    const char* lastDot = nullptr;
    for (const char* q = p; *q; ++q) {
        if (*q == '\\' || *q == '/') lastSep = q;
        if (*q == '.') lastDot = q;
    }
    const char* nameStart = lastSep ? lastSep + 1 : p;
    copyPart(dir, p, nameStart, _MAX_DIR);
    const char* end = p + std::strlen(p);
    if (lastDot && lastDot >= nameStart) {
        copyPart(fname, nameStart, lastDot, _MAX_FNAME);
        copyPart(ext, lastDot, end, _MAX_EXT);
    } else {
        copyPart(fname, nameStart, end, _MAX_FNAME);
        copyPart(ext, end, end, _MAX_EXT);
    }
}

void _makepath(char* path, const char* drive, const char* dir, const char* fname, const char* ext) {
    std::string out;
    if (drive && *drive) {
        out += drive[0];
        out += ':';
    }
    if (dir && *dir) {
        out += dir;
        char last = out.back();
        if (last != '\\' && last != '/') out += '\\';
    }
    if (fname) out += fname;
    if (ext && *ext) {
        if (*ext != '.') out += '.';
        out += ext;
    }
    if (out.size() > _MAX_PATH - 1) out.resize(_MAX_PATH - 1);
    std::memcpy(path, out.c_str(), out.size() + 1);
}
