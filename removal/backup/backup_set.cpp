#include "removal/backup/backup_set.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "base/folder_paths.h"
#include "base/path_parts.h"
#include "base/whole_file.h"
#include "base/text.h"

namespace {

const char kSetDacl[] = "O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)";
const char kJournal[] = "journal.txt";
const char kIndex[] = "index.txt";

bool Failed(std::string& error, const std::string& what, DWORD code) {
    error = what + " (error " + std::to_string(code) + ")";
    return false;
}

bool IsDirectory(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Creates a folder and those above it; the last one with the descriptor when one is given.
bool MakeFolders(const std::string& path, PSECURITY_DESCRIPTOR descriptor, DWORD& error) {
    error = 0;
    if (IsDirectory(path)) return true;
    const size_t cut = path.find_last_of('\\');
    if (cut != std::string::npos && cut > 2 && !MakeFolders(path.substr(0, cut), NULL, error)) return false;
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
    if (CreateDirectoryA(path.c_str(), descriptor ? &attributes : NULL) || GetLastError() == ERROR_ALREADY_EXISTS)
        return true;
    error = GetLastError();
    return false;
}

// The owner and DACL of a folder as SDDL, "" when they cannot be read.
std::string FolderSddl(const std::string& path) {
    const SECURITY_INFORMATION what = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    DWORD needed = 0;
    GetFileSecurityA(path.c_str(), what, NULL, 0, &needed);
    if (!needed) return std::string();
    std::vector<BYTE> buffer(needed);
    if (!GetFileSecurityA(path.c_str(), what, buffer.data(), needed, &needed)) return std::string();
    LPSTR text = NULL;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorA(buffer.data(), SDDL_REVISION_1, what, &text, NULL))
        return std::string();
    std::string out = text;
    LocalFree(text);
    return out;
}

// The SDDL Windows writes for the set's own descriptor (its spelling of the rights may differ from ours).
std::string ExpectedSddl() {
    PSECURITY_DESCRIPTOR descriptor = NULL;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(kSetDacl, SDDL_REVISION_1, &descriptor, NULL)) return kSetDacl;
    LPSTR text = NULL;
    std::string out = kSetDacl;
    if (ConvertSecurityDescriptorToStringSecurityDescriptorA(descriptor, SDDL_REVISION_1,
                                                             OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &text, NULL)) {
        out = text;
        LocalFree(text);
    }
    LocalFree(descriptor);
    return out;
}

// Appends text at the end of an open file and flushes it.
bool Append(HANDLE file, const std::string& text, DWORD& error) {
    SetFilePointer(file, 0, NULL, FILE_END);
    DWORD written = 0;
    if (!WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, NULL) || written != text.size()) {
        error = GetLastError() ? GetLastError() : ERROR_DISK_FULL;
        return false;
    }
    if (!FlushFileBuffers(file)) {
        error = GetLastError();
        return false;
    }
    return true;
}

std::string Timestamp() { return JournalTime(true); }

// The SID of the user the tool runs as, as text; "" when the token does not say.
std::string TokenUserSid() {
    HANDLE token = NULL;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return std::string();
    std::string out;
    DWORD needed = 0;
    GetTokenInformation(token, TokenUser, NULL, 0, &needed);
    if (needed) {
        std::vector<BYTE> buffer(needed);
        LPSTR text = NULL;
        if (GetTokenInformation(token, TokenUser, buffer.data(), needed, &needed) &&
            ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
            out = text;
            LocalFree(text);
        }
    }
    CloseHandle(token);
    return out;
}

// Whether the file system below a folder keeps the descriptors it is given: a probe folder made there
// with the sets' descriptor reads back as made. A FAT volume keeps none, nor does Wine on a file system
// without extended attributes (it reports the Unix owner). A probe that cannot be made says yes.
bool KeepsDescriptors(const std::string& parent) {
    PSECURITY_DESCRIPTOR descriptor = NULL;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(kSetDacl, SDDL_REVISION_1, &descriptor, NULL)) return true;
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
    std::string probe;
    bool made = false;
    for (unsigned n = 0; n < 100 && !made; ++n) {
        probe = parent + "\\probe-" + std::to_string(GetTickCount()) + "-" + std::to_string(n);
        made = CreateDirectoryA(probe.c_str(), &attributes) != 0;
        if (!made && GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    LocalFree(descriptor);
    if (!made) return true;
    const bool kept = FolderSddl(probe) == ExpectedSddl();
    RemoveDirectoryA(probe.c_str());
    return kept;
}

// The rights an SDDL ACE grants, from its text: hexadecimal, or two-letter names one after another. A text
// this reader does not know grants everything, so that it never passes for harmless.
DWORD RightsOf(const std::string& text) {
    if (text.compare(0, 2, "0x") == 0 || text.compare(0, 2, "0X") == 0) {
        char* end = nullptr;
        const unsigned long mask = strtoul(text.c_str() + 2, &end, 16);
        return end && !*end && text.size() > 2 ? static_cast<DWORD>(mask) : 0xFFFFFFFFu;
    }
    static const struct {
        const char* name;
        DWORD mask;
    } kNames[] = {{"GA", 0x10000000}, {"GR", 0x80000000}, {"GW", 0x40000000}, {"GX", 0x20000000}, {"RC", 0x20000},
                  {"SD", 0x10000},    {"WD", 0x40000},    {"WO", 0x80000},    {"RP", 0x10},       {"WP", 0x20},
                  {"CC", 0x1},        {"DC", 0x2},        {"LC", 0x4},        {"SW", 0x8},        {"LO", 0x80},
                  {"DT", 0x40},       {"CR", 0x100},      {"FA", 0x1F01FF},   {"FR", 0x120089},   {"FW", 0x120116},
                  {"FX", 0x1200A0}};
    DWORD mask = 0;
    for (size_t at = 0; at < text.size(); at += 2) {
        bool known = false;
        for (const auto& name : kNames)
            if (text.compare(at, 2, name.name) == 0) {
                mask |= name.mask;
                known = true;
                break;
            }
        if (!known || at + 1 >= text.size()) return 0xFFFFFFFFu;
    }
    return mask;
}

// What another user must not be given on a folder of the tool's: writing or making anything in it (files,
// folders, attributes), deleting it or what is in it, changing its rights or owner.
const DWORD kWriteRights = 0x2 | 0x4 | 0x10 | 0x40 | 0x100 | 0x10000 | 0x40000 | 0x80000 | 0x10000000 | 0x40000000;
// What another user must not be given on the maker's folder above the tool's (which other programs of the
// maker may share, and where users may make folders as in the common application data folder itself):
// deleting or renaming what is in it, changing its rights or owner.
const DWORD kTakeOverRights = 0x40 | 0x10000 | 0x40000 | 0x80000 | 0x10000000;

// Whether a folder's owner and DACL (SDDL) leave it to the administrators: owned by them or SYSTEM (or by
// alsoTrusted, the user the tool runs as where the volume keeps no descriptors), and no ACE that applies to
// the folder itself gives anyone else a right of forbidden. why says what is wrong.
bool OnlyAdministrators(const std::string& sddl, const std::string& alsoTrusted, DWORD forbidden, std::string& why) {
    if (sddl.compare(0, 2, "O:") != 0) return why = "its owner cannot be read", false;
    const size_t next = sddl.find(':', 2);
    if (next == std::string::npos || next < 3) return why = "its owner cannot be read", false;
    const std::string owner = sddl.substr(2, next - 3);  // up to "G:" or "D:"
    auto trusted = [&](const std::string& sid) {
        return sid == "BA" || sid == "SY" || (!alsoTrusted.empty() && sid == alsoTrusted);
    };
    if (!trusted(owner)) return why = "it is owned by " + owner, false;
    const size_t dacl = sddl.find("D:");
    // No DACL (Windows's "NO_ACCESS_CONTROL" on a FAT volume): everyone may do everything.
    if (dacl == std::string::npos || sddl.find("NO_ACCESS_CONTROL", dacl) != std::string::npos)
        return why = "it has no access control", false;
    // Every ACE: "(type;flags;rights;;;sid)".
    for (size_t at = sddl.find('(', dacl); at != std::string::npos; at = sddl.find('(', at + 1)) {
        const size_t end = sddl.find(')', at);
        if (end == std::string::npos) return why = "its rights cannot be read", false;
        std::vector<std::string> fields;
        std::string field;
        for (size_t k = at + 1; k <= end; ++k) {
            if (k == end || sddl[k] == ';') {
                fields.push_back(field);
                field.clear();
            } else {
                field += sddl[k];
            }
        }
        if (fields.size() != 6) return why = "its rights cannot be read", false;
        const bool allows = fields[0] == "A" || fields[0] == "OA";
        const bool inheritOnly = fields[1].find("IO") != std::string::npos;  // for what lies below it only
        if (!allows || inheritOnly || trusted(fields[5])) continue;
        if (RightsOf(fields[2]) & forbidden) return why = fields[5] + " may change it (" + fields[2] + ")", false;
    }
    return true;
}

// On a file system that keeps no descriptors the rights cannot be the sets' own; a set is then one the
// tool wrote when it belongs to the administrators, SYSTEM or the user the tool runs as (an administrator:
// the tool runs as no one else), and its DACL lets no one else write.
bool OwnedAsWithoutDescriptors(const std::string& sddl) {
    std::string why;
    return OnlyAdministrators(sddl, TokenUserSid(), kWriteRights, why);
}

// The folders from the common application data folder down to the sets' root: the maker's, the tool's, the
// sets'. base is the common application data folder.
std::vector<std::string> ChainOf(const std::string& base) {
    const std::string b = base + (base.back() == '\\' ? "" : "\\");
    return {b + "Vestral", b + "Vestral\\korun04", b + "Vestral\\korun04\\Backup"};
}

// Why a folder of the chain is not left to the administrators ("" when it is). The first (the maker's) may
// let users make folders in it; the tool's own let users do nothing but read.
std::string Untrusted(const std::string& folder, bool makersFolder, const std::string& base, bool& probed,
                      bool& keeps) {
    const DWORD attributes = GetFileAttributesA(folder.c_str());
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return "it is a file, not a folder";
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return "it is a link to another place";
    const std::string sddl = FolderSddl(folder);
    if (sddl.empty()) return "its rights cannot be read";
    const DWORD forbidden = makersFolder ? kTakeOverRights : kWriteRights;
    std::string why;
    if (OnlyAdministrators(sddl, std::string(), forbidden, why)) return std::string();
    // A volume that keeps no descriptors reports the running user as every file's owner.
    if (!probed) {
        keeps = KeepsDescriptors(base);
        probed = true;
    }
    std::string ignored;
    if (!keeps && OnlyAdministrators(sddl, TokenUserSid(), forbidden, ignored)) return std::string();
    return why;
}

// The common application data folder (the NT family), or the Windows directory; "" when it cannot be named.
std::string BaseFolder(const COSVersion& os) {
    char base[MAX_PATH] = "";
    if (os.IsWinNT()) {
        ResolveShellFolder(CSIDL_COMMON_APPDATA, base);
    } else {
        CPathParts where;
        where.Resolve(WINDIR);
        CopyTextN(base, where.DirectoryPath(), sizeof base);
    }
    std::string full;
    if (!base[0] || !FullFolderPath(base, full)) return std::string();
    if (full.back() == '\\') full.pop_back();
    return full;
}

}  // namespace

CBackupSet::~CBackupSet() {
    if (journal != INVALID_HANDLE_VALUE) CloseHandle(journal);
}

const char* CBackupSet::Dacl() { return kSetDacl; }

std::string CBackupSet::Root(const COSVersion& os) {
    const std::string base = BaseFolder(os);
    return base.empty() ? std::string() : ChainOf(base).back();
}

bool CBackupSet::RootTrusted(const COSVersion& os, std::string& why) {
    why.clear();
    const std::string base = BaseFolder(os);
    if (base.empty() || !os.IsWinNT()) return true;  // no rights on the 9x class
    bool probed = false, keeps = true;
    const std::vector<std::string> chain = ChainOf(base);
    for (size_t level = 0; level < chain.size(); ++level) {
        if (GetFileAttributesA(chain[level].c_str()) == INVALID_FILE_ATTRIBUTES) return true;
        const std::string reason = Untrusted(chain[level], level == 0, base, probed, keeps);
        if (!reason.empty()) return why = chain[level] + " is not the tool's: " + reason, false;
    }
    return true;
}

std::vector<std::string> CBackupSet::Sets(const COSVersion& os) {
    std::vector<std::string> sets;
    std::string untrusted;
    // Sets below a folder someone else may change are not the tool's to pick: they could have been renamed,
    // put in another order or planted.
    if (!RootTrusted(os, untrusted)) return sets;
    const std::string root = Root(os);
    WIN32_FIND_DATAA entry;
    HANDLE find = root.empty() ? INVALID_HANDLE_VALUE : FindFirstFileA((root + "\\*.*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return sets;
    do {
        // A set's name: YYYYMMDD-HHMMSS, perhaps with "-N" for a second set of the same second.
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && strlen(entry.cFileName) >= 15 &&
            strspn(entry.cFileName, "0123456789") == 8 && entry.cFileName[8] == '-')
            sets.push_back(root + "\\" + entry.cFileName);
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    std::sort(sets.begin(), sets.end());
    return sets;
}

bool CBackupSet::SecureRoot(const COSVersion& os, PSECURITY_DESCRIPTOR descriptor, std::string& error) {
    movedAside.clear();
    const std::string base = BaseFolder(os);
    bool probed = false, keeps = true;
    const std::vector<std::string> chain = ChainOf(base);
    for (size_t level = 0; level < chain.size(); ++level) {
        const std::string& folder = chain[level];
        if (os.IsWinNT() && GetFileAttributesA(folder.c_str()) != INVALID_FILE_ATTRIBUTES) {
            const std::string reason = Untrusted(folder, level == 0, base, probed, keeps);
            if (reason.empty()) continue;
            // Put aside under a name of its own, never deleted: what is in it may be someone's.
            std::string aside = folder + ".moved-" + Timestamp();
            for (int n = 2; GetFileAttributesA(aside.c_str()) != INVALID_FILE_ATTRIBUTES; ++n)
                aside = folder + ".moved-" + Timestamp() + "-" + std::to_string(n);
            if (!MoveFileA(folder.c_str(), aside.c_str()))
                return Failed(error, "the backup folder " + folder + " is not the tool's (" + reason +
                                         ") and cannot be moved aside", GetLastError());
            movedAside.push_back(folder + " (" + reason + ") moved aside to " + aside);
        }
        DWORD code = 0;
        if (!MakeFolders(folder, descriptor, code))
            return Failed(error, "the backup folder " + folder + " cannot be made", code);
    }
    return true;
}

bool CBackupSet::Create(const COSVersion& os, std::string& error) {
    const std::string root = Root(os);
    if (root.empty()) return Failed(error, "no folder for the backup set", ERROR_PATH_NOT_FOUND);
    DWORD code = 0;
    PSECURITY_DESCRIPTOR descriptor = NULL;
    if (os.IsWinNT() && !ConvertStringSecurityDescriptorToSecurityDescriptorA(kSetDacl, SDDL_REVISION_1, &descriptor, NULL))
        return Failed(error, "the backup set's access rights cannot be made", GetLastError());
    // Each folder from the maker's down gets the sets' rights when the tool makes it, so that no user writes
    // there; one someone else may change is moved aside first.
    if (!SecureRoot(os, descriptor, error)) {
        if (descriptor) LocalFree(descriptor);
        return false;
    }
    std::string path = root + "\\" + Timestamp();
    for (int n = 2; IsDirectory(path); ++n) path = root + "\\" + Timestamp() + "-" + std::to_string(n);
    const bool made = MakeFolders(path, descriptor, code);
    if (descriptor) LocalFree(descriptor);
    if (!made) return Failed(error, "the backup set " + path + " cannot be made", code);
    // The set this run made is its own: its rights are what CreateDirectoryA was given (Windows keeps them;
    // Wine keeps no descriptor at all, so they are not read back here).
    std::string full;
    folder = FullFolderPath(path.c_str(), full) ? full : path;
    nextCopy = 1;
    return OpenJournal(error);
}

bool CBackupSet::OpenJournal(std::string& error) {
    journal = CreateFileA((folder + "\\" + kJournal).c_str(), GENERIC_WRITE, FILE_SHARE_READ, NULL, OPEN_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, NULL);
    if (journal == INVALID_HANDLE_VALUE) return Failed(error, "the journal cannot be written", GetLastError());
    return true;
}

bool CBackupSet::Open(const std::string& path, const COSVersion& os, bool forJournal, std::string& error) {
    std::string full;
    if (!FullFolderPath(path.c_str(), full) || !IsDirectory(full))
        return Failed(error, path + " is not a backup set", ERROR_PATH_NOT_FOUND);
    // Only a set the tool wrote: anything else in that place could have been put there by anyone.
    if (os.IsWinNT()) {
        const std::string sddl = FolderSddl(full);
        const size_t cut = full.find_last_of('\\');
        const bool accepted = sddl == ExpectedSddl() ||
                              (cut != std::string::npos && !KeepsDescriptors(full.substr(0, cut)) &&
                               OwnedAsWithoutDescriptors(sddl));
        if (!accepted)
            return Failed(error, full + " is not a backup set of the tool (its owner or access rights differ)",
                          ERROR_ACCESS_DENIED);
    }
    folder = full;
    nextCopy = 1;
    std::string index;
    if (ReadFile(kIndex, index)) nextCopy += static_cast<unsigned>(std::count(index.begin(), index.end(), '\n'));
    return !forJournal || OpenJournal(error);
}

bool CBackupSet::WriteFile(const char* name, const std::string& text, std::string& error) {
    // Written beside and then put in place: a removal stopped halfway through the write (a crash, a power
    // cut) leaves the last whole state, never half of one.
    DWORD code = 0;
    const std::string path = folder + "\\" + name, fresh = path + ".new";
    if (!WriteWholeFile(fresh, text, code, true)) return Failed(error, std::string(name) + " cannot be written", code);
    if (!MoveFileExA(fresh.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        code = GetLastError();
        DeleteFileA(fresh.c_str());
        return Failed(error, std::string(name) + " cannot be written", code);
    }
    return true;
}

bool CBackupSet::AppendFile(const char* name, const std::string& text, std::string& error) {
    HANDLE file = CreateFileA((folder + "\\" + name).c_str(), GENERIC_WRITE, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return Failed(error, std::string(name) + " cannot be written", GetLastError());
    DWORD code = 0;
    const bool ok = Append(file, text, code);
    CloseHandle(file);
    return ok || Failed(error, std::string(name) + " cannot be written", code);
}

bool CBackupSet::ReadFile(const char* name, std::string& text) const {
    return ReadWholeFile(folder + "\\" + name, text);
}

std::string CBackupSet::CopyPath(unsigned number) const {
    char name[16];
    snprintf(name, sizeof name, "%05u.dat", number);
    return folder + "\\" + name;
}

bool CBackupSet::AppendIndex(unsigned number, const std::string& line, std::string& error) {
    HANDLE file = CreateFileA((folder + "\\" + kIndex).c_str(), GENERIC_WRITE, FILE_SHARE_READ, NULL, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return Failed(error, "the backup set's index cannot be written", GetLastError());
    char head[16];
    snprintf(head, sizeof head, "%05u | ", number);
    DWORD code = 0;
    const bool ok = Append(file, head + line + "\r\n", code);
    CloseHandle(file);
    return ok || Failed(error, "the backup set's index cannot be written", code);
}

unsigned CBackupSet::SaveText(const char* kind, const std::string& item, const std::string& text, std::string& error) {
    const unsigned number = nextCopy;
    DWORD code = 0;
    if (!WriteWholeFile(CopyPath(number), text, code, true)) return Failed(error, "a copy of " + item + " cannot be written", code), 0;
    if (!AppendIndex(number, std::string(kind) + " | " + item, error)) return 0;
    ++nextCopy;
    return number;
}

unsigned CBackupSet::SaveFile(const char* kind, const std::string& given, std::string& error, bool& inUse) {
    const unsigned number = nextCopy;
    inUse = false;
    // The index keeps the file's name as the directory spells it (a name may be given in another case).
    std::string path = given;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(given.c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        FindClose(find);
        const size_t cut = given.find_last_of('\\');
        if (cut != std::string::npos && _strcmpi(given.c_str() + cut + 1, found.cFileName) == 0)
            path = given.substr(0, cut + 1) + found.cFileName;
    }
    const DWORD attributes = GetFileAttributesA(path.c_str());
    std::string bytes;
    if (!ReadWholeFile(path, bytes)) {
        inUse = true;
        return 0;
    }
    // The copy keeps no attribute of its own: the index says what the file had.
    DWORD code = 0;
    if (!WriteWholeFile(CopyPath(number), bytes, code, true))
        return Failed(error, "a copy of " + path + " cannot be written", code), 0;
    char attributesText[32];
    snprintf(attributesText, sizeof attributesText, " | attributes=0x%lx", static_cast<unsigned long>(attributes));
    if (!AppendIndex(number, std::string(kind) + " | " + path + attributesText, error)) return 0;
    ++nextCopy;
    return number;
}

bool CBackupSet::Journal(const std::string& line, std::string& error) {
    DWORD code = 0;
    if (journal == INVALID_HANDLE_VALUE) return Failed(error, "the journal is not open", ERROR_INVALID_HANDLE);
    return Append(journal, line + "\r\n", code) || Failed(error, "the journal cannot be written", code);
}

std::vector<std::string> CBackupSet::Prune(const COSVersion& os, unsigned keep, const std::string& except) {
    std::vector<std::string> sets = Sets(os), deleted;
    while (sets.size() > keep) {
        const std::string set = sets.front();
        sets.erase(sets.begin());
        // Only a set the tool wrote: a folder of that name that anyone else made is left alone.
        CBackupSet check;
        std::string error;
        if (_strcmpi(set.c_str(), except.c_str()) == 0 || !check.Open(set, os, false, error)) continue;
        WIN32_FIND_DATAA entry;
        HANDLE find = FindFirstFileA((set + "\\*.*").c_str(), &entry);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileA((set + "\\" + entry.cFileName).c_str());
            } while (FindNextFileA(find, &entry));
            FindClose(find);
        }
        if (RemoveDirectoryA(set.c_str())) deleted.push_back(set);
    }
    return deleted;
}

std::string JournalTime(bool compact) {
    SYSTEMTIME t;
    GetLocalTime(&t);
    char text[64];
    snprintf(text, sizeof text, compact ? "%04u%02u%02u-%02u%02u%02u" : "%04u-%02u-%02u %02u:%02u:%02u", t.wYear,
             t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
    return text;
}
