#include "removal/protected_paths.h"

#include <ctype.h>
#include <string.h>

#include <string>

#include "app/path_parts.h"
#include "script/text.h"

namespace {

// Directories Windows needs, by location code; their ancestors are protected too.
const int kNeededDirectories[] = {WINDIR,   SYSDIR,         PROGRAM_FILES, APPDATA,     DESKTOP,  PERSONAL,
                                  TEMPDIR,  STARTMENU,      PROGRAMS,      COMMON_PROGRAMS, FONTS, PRINTDRIVERDIR,
                                  PRINTDRIVERDIR_W40, PRINTPROCDIR, PRINTPROCDIR_W40, COLORDIR, INFDIR};

// The path resolved and lower-cased, without a trailing backslash (a drive root keeps its own).
std::string Normalised(const char* path) {
    char full[MAX_PATH] = "";
    DWORD n = GetFullPathNameA(path, sizeof full, full, NULL);
    if (n == 0 || n >= sizeof full) return std::string();
    std::string out(full);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    while (out.size() > 3 && out.back() == '\\') out.pop_back();
    return out;
}

bool IsDriveRoot(const std::string& p) { return p.size() <= 3 && p.size() >= 2 && p[1] == ':'; }

// \\server or \\server\share (with nothing below it).
bool IsShareRoot(const std::string& p) {
    if (p.compare(0, 2, "\\\\") != 0) return false;
    size_t server = p.find('\\', 2);
    if (server == std::string::npos) return true;
    return p.find('\\', server + 1) == std::string::npos;
}

// Whether a is b or lies on the way to it.
bool IsAncestorOrSelf(const std::string& a, const std::string& b) {
    if (a.empty() || b.compare(0, a.size(), a) != 0) return false;
    return b.size() == a.size() || b[a.size()] == '\\' || a.back() == '\\';
}

// The directories below which the family's own directories may lie inside the Windows directory.
const int kFamilyDirectories[] = {PRINTDRIVERDIR, PRINTDRIVERDIR_W40, PRINTPROCDIR, PRINTPROCDIR_W40};

std::string Resolved(int code) {
    CPathParts where;
    where.Resolve(code);
    return Normalised(where.FullPath());
}

// Strictly below: a lies inside b.
bool IsInside(const std::string& a, const std::string& b) { return a.size() > b.size() && IsAncestorOrSelf(b, a); }

}  // namespace

const char* ProtectedDirectoryReason(const char* directory, char* resolved, size_t resolvedSize) {
    if (resolvedSize) resolved[0] = 0;
    const bool full = directory && ((isalpha(static_cast<unsigned char>(directory[0])) && directory[1] == ':' &&
                                     (directory[2] == '\\' || directory[2] == '/')) ||
                                    ((directory[0] == '\\' || directory[0] == '/') && (directory[1] == '\\' || directory[1] == '/')));
    if (!full) return "it is not a full path";
    char fullPath[MAX_PATH] = "";
    DWORD n = GetFullPathNameA(directory, sizeof fullPath, fullPath, NULL);
    if (n == 0 || n >= sizeof fullPath) return "it does not name a directory";
    std::string path = Normalised(fullPath);
    if (path.empty()) return "it does not name a directory";
    if (IsDriveRoot(path)) return "it is a drive root";
    if (IsShareRoot(path)) return "it is the root of a share";
    for (int code : kNeededDirectories) {
        std::string needed = Resolved(code);
        if (!needed.empty() && !IsDriveRoot(needed) && IsAncestorOrSelf(path, needed))
            return "Windows needs it or a directory below it";
    }
    // Inside the Windows directory only the printing directories hold directories of the family.
    std::string windows = Resolved(WINDIR);
    if (!windows.empty() && IsInside(path, windows)) {
        for (int code : kFamilyDirectories) {
            std::string family = Resolved(code);
            if (!family.empty() && IsInside(path, family)) {
                CopyTextN(resolved, fullPath, resolvedSize);
                return nullptr;
            }
        }
        return "it lies in the Windows directory";
    }
    CopyTextN(resolved, fullPath, resolvedSize);
    return nullptr;
}
