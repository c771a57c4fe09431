#include "removal/backup/restore.h"

#include <stdio.h>
#include <stdlib.h>
#include <ctype.h>
#include <string.h>

#include <map>
#include <set>
#include <vector>

#include "base/library_loading.h"
#include "base/path_parts.h"
#include "base/reg_text.h"
#include "base/scheduled_deletions.h"
#include "base/text_lines.h"
#include "removal/backup/backup_records.h"
#include "removal/backup/backup_set.h"
#include "removal/published_inf.h"
#include "removal/backup/removal_journal.h"
#include "removal/backup/restore_checks.h"

namespace {

typedef BOOL(WINAPI* AddPortEx)(LPSTR server, DWORD level, LPBYTE buffer, LPSTR monitorName);


enum Result { RESTORED, ALREADY_THERE, FAILED, CANNOT_COME_BACK, RESTART };

// One saved copy as the index names it: its form ("registry", "file", "record"), what it was, and a file's
// attributes.
struct Copy {
    std::string form, item;
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;
};

std::map<unsigned, Copy> ReadIndex(const std::string& text) {
    std::map<unsigned, Copy> copies;
    for (const std::string& line : TextLines(text)) {
        const std::vector<std::string> f = SplitFields(line, " | ");
        if (f.size() < 3 || f[0].empty() || f[0].find_first_not_of("0123456789") != std::string::npos || f[0].size() > 9)
            continue;
        Copy copy;
        // "NUMBER | KIND | ITEM" or, for a file, "NUMBER | KIND | PATH | attributes=0xHEX".
        copy.form = f[1];
        copy.item = f[2];
        if (f.size() >= 4 && f.back().compare(0, 11, "attributes=") == 0) {
            copy.attributes = static_cast<DWORD>(strtoul(f.back().c_str() + 11, NULL, 16));
            copy.item.clear();
            for (size_t i = 2; i + 1 < f.size(); ++i) copy.item += (i > 2 ? " | " : "") + f[i];
        }
        copies[static_cast<unsigned>(strtoul(f[0].c_str(), NULL, 10))] = copy;
    }
    return copies;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Makes the folders above a path (the drive's root is there).
void MakeParents(const std::string& path) {
    const size_t cut = path.find_last_of('\\');
    if (cut == std::string::npos || cut < 3) return;
    const std::string parent = path.substr(0, cut);
    if (Exists(parent)) return;
    MakeParents(parent);
    CreateDirectoryA(parent.c_str(), NULL);
}


class CRestorer {
public:
    CRestorer(const CBackupSet& set, const COSVersion& os, CRunLog* log, CRestore::Counts& counts)
        : set(set), os(os), log(log), counts(counts) {}

    // Before the first item: the printers of the set that a printer of the same name and another driver has
    // taken the place of (neither they nor their settings are written onto that printer), and the default
    // printers the removal moved to another printer.
    void LearnReplacedPrinters(const CJournalText& journal, const std::map<unsigned, Copy>& copies);
    void LearnDefaultMoves(const CJournalText& journal, const std::map<unsigned, Copy>& copies);
    void Item(const CJournalItem& item, const std::map<unsigned, Copy>& copies);
    // After the last item: the moved defaults, once their printers are back.
    void FinishDefaults();

private:
    void Tell(const CJournalItem& item, Result result, const std::string& why = std::string());
    // The printer whose settings an item holds (its values under the user's printer keys, its key under the
    // spooler's printers or the family's), "" for any other item.
    static std::string PrinterOfSettings(const CJournalItem& item);
    bool Replaced(const std::string& printer) const;
    bool ReadRecord(const CJournalItem& item, const std::map<unsigned, Copy>& copies, CBackupRecord& record) const;
    static std::string CurrentDefault();
    bool MakeDefault(const std::string& name) const;
    void NothingKept(const CJournalItem& item);
    Result Registry(const std::string& text, const CJournalItem& item, std::string& why);
    Result File(const std::string& path, unsigned copy, DWORD attributes, std::string& why);
    void InstallOemInf(const std::string& path, std::string& why);
    Result Record(const CBackupRecord& record, std::string& why);
    Result Printer(const CBackupRecord& r, std::string& why);
    Result Driver(const CBackupRecord& r, std::string& why);
    Result Monitor(const CBackupRecord& r, std::string& why);
    Result Processor(const CBackupRecord& r, std::string& why);
    Result Service(const CBackupRecord& r, std::string& why);

    const CBackupSet& set;
    const COSVersion& os;
    CRunLog* log;
    CRestore::Counts& counts;
    std::set<std::string> replacedPrinters;           // lower case
    std::map<std::string, std::string> defaultMoves;  // the removed default printer (lower case) -> its successor
    std::vector<CJournalItem> movedDefaults;          // their journal items, handled after the printers'
};

Result Failed(std::string& why, const std::string& what, DWORD error) {
    why = what + (error ? ", error " + std::to_string(error) : std::string());
    return FAILED;
}

// The reason of an item the backup set's damage keeps from coming back.
std::string Damaged(const std::string& why) { return "the backup set is damaged: " + why; }

std::string WindowsDirectory() {
    char windows[MAX_PATH] = "";
    GetWindowsDirectoryA(windows, sizeof windows);
    return windows;
}

// Why the copies a driver's record names for its files disagree with their index lines: each must be a driver
// file of that path.
std::string SavedFilesDisagreement(const CBackupRecord& r, const std::map<unsigned, Copy>& copies) {
    for (const std::string& saved : r.All("savedFile")) {
        const size_t bar = saved.find('|');
        auto copy = copies.find(static_cast<unsigned>(strtoul(saved.c_str(), NULL, 10)));
        if (bar == std::string::npos || copy == copies.end()) return "a file of its record has no copy: " + saved;
        if (copy->second.form != "driver file" || _strcmpi(copy->second.item.c_str(), saved.c_str() + bar + 1) != 0)
            return "a file of its record is not what its copy's index line names: " + copy->second.item;
    }
    return std::string();
}

void CRestorer::Tell(const CJournalItem& item, Result result, const std::string& why) {
    static const char* const kWords[] = {"restored", "already there", "failed", "cannot come back now",
                                         "after the restart"};
    switch (result) {
    case RESTORED: ++counts.restored; break;
    case ALREADY_THERE: ++counts.alreadyThere; break;
    case FAILED: ++counts.failed; break;
    case CANNOT_COME_BACK: ++counts.cannotComeBack; break;
    case RESTART:
        ++counts.cannotComeBack;
        counts.restartNeeded = true;
        break;
    }
    std::string named = item.item;  // a NUL of a damaged line would cut the log's line
    for (char& c : named)
        if (!c) c = '?';
    if (log) log->Write("restore", item.kind + " | " + named + " | " + kWords[result] + (why.empty() ? "" : " (" + why + ")"));
}

namespace {

std::string LowerText(std::string text) {
    for (char& c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return text;
}

// The driver of the installed printer of that name; false when there is none.
bool InstalledDriverOf(const std::string& name, std::string& driver) {
    HANDLE printer = NULL;
    if (!OpenPrinterA(const_cast<LPSTR>(name.c_str()), &printer, NULL) || !printer) return false;
    DWORD size = 0;
    GetPrinterA(printer, 2, NULL, 0, &size);
    std::vector<BYTE> buffer(size ? size : 1);
    driver.clear();
    if (size && GetPrinterA(printer, 2, buffer.data(), size, &size)) {
        const PRINTER_INFO_2A* info = reinterpret_cast<const PRINTER_INFO_2A*>(buffer.data());
        if (info->pDriverName) driver = info->pDriverName;
    }
    ClosePrinter(printer);
    return true;
}

const char* const kPrinterSettingKeys[] = {
    "HKEY_CURRENT_USER\\Printers\\DevModes2\\", "HKEY_CURRENT_USER\\Printers\\Settings\\",
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Devices\\",
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\PrinterPorts\\"};
const char kSpoolerPrinters[] = "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\control\\Print\\Printers\\";
const char kFamilyPrinters[] = "HKEY_CURRENT_USER\\SOFTWARE\\VESTRAL\\";  // the family's settings of one printer

}  // namespace

void CRestorer::LearnReplacedPrinters(const CJournalText& journal, const std::map<unsigned, Copy>& copies) {
    for (const CJournalItem& item : journal.items) {
        CBackupRecord record;
        std::string driver;
        if (item.type != ItemKind::Printer || !ReadRecord(item, copies, record) || record.kind != "printer") continue;
        if (InstalledDriverOf(record.Get("name"), driver) && _strcmpi(driver.c_str(), record.Get("driver").c_str()) != 0)
            replacedPrinters.insert(LowerText(record.Get("name")));
    }
}

std::string CRestorer::PrinterOfSettings(const CJournalItem& item) {
    if (item.type == ItemKind::RegistryValue) {
        for (const char* prefix : kPrinterSettingKeys) {
            const size_t n = strlen(prefix);
            if (item.item.size() > n && _strnicmp(item.item.c_str(), prefix, n) == 0) return item.item.substr(n);
        }
    }
    if (item.type != ItemKind::RegistryKey) return std::string();
    for (const char* prefix : {kSpoolerPrinters, kFamilyPrinters}) {
        const size_t n = strlen(prefix);
        if (item.item.size() <= n || _strnicmp(item.item.c_str(), prefix, n) != 0) continue;
        const size_t end = item.item.find('\\', n);
        return item.item.substr(n, end == std::string::npos ? std::string::npos : end - n);
    }
    return std::string();
}

bool CRestorer::Replaced(const std::string& printer) const {
    return !printer.empty() && replacedPrinters.count(LowerText(printer)) != 0;
}

void CRestorer::Item(const CJournalItem& item, const std::map<unsigned, Copy>& copies) {
    // Only what went, or may have gone (an item the run was cut short on), comes back.
    const std::string& o = item.outcome;
    if (!o.empty() && o != "removed" && o != "scheduled for restart" && o != "pending deletion") return;
    if (item.item.find('\0') != std::string::npos) {
        Tell(item, FAILED, Damaged("its journal line holds a NUL"));
        return;
    }
    const std::string owner = item.type == ItemKind::Printer ? item.item : PrinterOfSettings(item);
    if (Replaced(owner)) {
        Tell(item, CANNOT_COME_BACK, "a printer of that name exists, with another driver: it is not the one saved");
        return;
    }
    if (!item.copy) {
        NothingKept(item);
        return;
    }
    auto copy = copies.find(item.copy);
    std::string text, why;
    char copyName[16];
    snprintf(copyName, sizeof copyName, "%05u.dat", item.copy);
    if (copy == copies.end() || !set.ReadFile(copyName, text)) {
        Tell(item, FAILED, "its copy " + std::to_string(item.copy) + " is missing from the backup set");
        return;
    }
    const std::string damage = IndexDisagreement(item.kind, item.item, copy->second.form, copy->second.item, WindowsDirectory());
    if (!damage.empty()) {
        Tell(item, FAILED, Damaged(damage));
        return;
    }
    Result result = FAILED;
    if (copy->second.form == "registry") {
        result = Registry(text, item, why);
    } else if (copy->second.form == "file") {
        // The journal's path, as the index spells it (the case the directory had): they agree, case aside.
        result = File(copy->second.item, item.copy, copy->second.attributes, why);
        if (result == RESTORED && item.type == ItemKind::Inf) InstallOemInf(copy->second.item, why);
    } else {
        CBackupRecord record;
        std::string error;
        if (!record.Parse(text, error)) {
            Tell(item, FAILED, "its record is damaged: " + error);
            return;
        }
        std::string disagreement = RecordDisagreement(item.kind, item.item, record);
        if (disagreement.empty()) disagreement = SavedFilesDisagreement(record, copies);
        if (!disagreement.empty()) {
            Tell(item, FAILED, Damaged(disagreement));
            return;
        }
        if (item.type == ItemKind::DefaultPrinter) {  // once its printer is back
            movedDefaults.push_back(item);
            return;
        }
        result = Record(record, why);
    }
    Tell(item, result, why);
}

// An item with no copy: a file in use when it went could not be kept (it was only scheduled, and it stays
// when that is cancelled before the restart); a job, a hook's work, a device node cannot be kept.
void CRestorer::NothingKept(const CJournalItem& item) {
    const bool fileKind = item.type == ItemKind::File || item.type == ItemKind::Shortcut || item.type == ItemKind::Inf;
    const std::string path = JournalItemPath(item.kind, item.item, WindowsDirectory());
    const std::string damage = fileKind ? PathDamage(path) : std::string();
    if (fileKind && item.inUse && !damage.empty()) {
        Tell(item, FAILED, Damaged(damage));
    } else if (fileKind && damage.empty()) {
        if (CancelScheduledDeletion(path, os) && Exists(path))
            Tell(item, RESTORED, "its deletion at the restart is cancelled");
        else if (Exists(path))
            Tell(item, ALREADY_THERE);
        else
            Tell(item, CANNOT_COME_BACK, "it was in use when it went, no copy of it could be kept, and the restart "
                                         "deleted it");
    } else {
        const char* why = item.type == ItemKind::Device ? "it comes back when its device is plugged in"
                        : item.type == ItemKind::Job    ? "a cancelled job is gone"
                        : item.type == ItemKind::Hook   ? "what an uninstall hook did is its own"
                                                : "nothing of it was kept";
        Tell(item, CANNOT_COME_BACK, why);
    }
}

// An OEM INF put back under its own name is installed again through setupapi where Windows has it: finding
// the same text there already, SetupCopyOEMInfA takes that file as the installed one (and registers its
// catalogue) instead of making another oemNN.inf. What it says goes into the item's line; the file is back
// either way.
void CRestorer::InstallOemInf(const std::string& path, std::string& why) {
    typedef BOOL(WINAPI * CopyOemInf)(PCSTR, PCSTR, DWORD, DWORD, PSTR, DWORD, PDWORD, PSTR*);
    const size_t n = path.size();
    if (!os.IsWinNT() || n < 4 || _stricmp(path.c_str() + n - 4, ".inf") != 0) return;
    // Only the published INF is installed. The driver store's copy comes back first, as a file alone: installed
    // before its published INF is back, it would be published under the lowest free name, which may be
    // another package's.
    const std::string infDirectory = WindowsDirectory() + "\\INF";
    const size_t cut = path.find_last_of('\\');
    if (cut == std::string::npos || _stricmp(path.substr(0, cut).c_str(), infDirectory.c_str()) != 0) return;
    HMODULE setupapi = LoadSystemLibrary("setupapi.dll");
    if (!setupapi) return;
    CopyOemInf copy = reinterpret_cast<CopyOemInf>(reinterpret_cast<void (*)()>(GetProcAddress(setupapi, "SetupCopyOEMInfA")));
    char installed[MAX_PATH] = "";
    // Where the driver store kept the package (its copy is back first, restored from its own item), the package
    // is installed from there, so the store keeps it under the name it came with.
    const std::string storeCopy = DriverStoreCopy(path);
    const std::string source = storeCopy.empty() ? path : storeCopy;
    if (!copy) {
        why = "SetupCopyOEMInfA is missing: the file alone is back";
    } else if (!copy(source.c_str(), NULL, SPOST_PATH, 0, installed, sizeof installed, NULL, NULL)) {
        why = "SetupCopyOEMInfA failed, error " + std::to_string(GetLastError()) + ": the file alone is back";
    } else if (_stricmp(installed, path.c_str()) != 0) {
        why = std::string("installed by SetupCopyOEMInfA as ") + installed;
    } else {
        why = "installed again by SetupCopyOEMInfA";
    }
    FreeLibrary(setupapi);
}

Result CRestorer::Registry(const std::string& text, const CJournalItem& item, std::string& why) {
    std::vector<CRegistryTextKey> keys;
    std::string error;
    const bool wholeKey = item.type == ItemKind::RegistryKey;
    if (!ParseRegistryText(text, keys, error) || keys.empty()) return Failed(why, "its registry text is damaged: " + error, 0);
    const std::string disagreement = RegistryTextDisagreement(keys, wholeKey, item.item);
    if (!disagreement.empty()) return Failed(why, Damaged(disagreement), 0);
    const CRegistryTextKey& first = keys.front();
    HKEY key = NULL;
    if (RegOpenKeyExA(first.root, first.subKey.c_str(), 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
        bool there = wholeKey;
        if (!wholeKey)
            there = RegQueryValueExA(key, first.values.front().name.empty() ? NULL : first.values.front().name.c_str(),
                                     NULL, NULL, NULL, NULL) == ERROR_SUCCESS;
        RegCloseKey(key);
        if (there) return ALREADY_THERE;
    }
    return ImportRegistryText(text, error) ? RESTORED : Failed(why, error, 0);
}

Result CRestorer::File(const std::string& path, unsigned copy, DWORD attributes, std::string& why) {
    const bool cancelled = CancelScheduledDeletion(path, os);
    if (Exists(path)) {
        if (cancelled) why = "its deletion at the restart is cancelled";
        return cancelled ? RESTORED : ALREADY_THERE;
    }
    MakeParents(path);
    if (!CopyFileA(set.CopyPath(copy).c_str(), path.c_str(), TRUE)) return Failed(why, "the copy cannot be written back", GetLastError());
    SetFileAttributesA(path.c_str(), attributes ? attributes : FILE_ATTRIBUTE_NORMAL);
    return RESTORED;
}

Result CRestorer::Record(const CBackupRecord& r, std::string& why) {
    if (r.kind == "printer") return Printer(r, why);
    if (r.kind == "driver") return Driver(r, why);
    if (r.kind == "monitor") return Monitor(r, why);
    if (r.kind == "processor") return Processor(r, why);
    if (r.kind == "service") return Service(r, why);
    if (r.kind == "folder") {
        const std::string path = r.Get("path");
        if (Exists(path)) return ALREADY_THERE;
        MakeParents(path);
        return CreateDirectoryA(path.c_str(), NULL) ? RESTORED : Failed(why, "it cannot be made", GetLastError());
    }
    if (r.kind == "ini") {
        char now[8] = "";
        const std::string file = r.Get("file"), section = r.Get("section"), key = r.Get("key");
        if (GetPrivateProfileStringA(section.c_str(), key.c_str(), "\x01", now, sizeof now, file.c_str()) &&
            strcmp(now, "\x01") != 0)
            return ALREADY_THERE;
        return PutIniLineBack(r) ? RESTORED : Failed(why, "the line cannot be written", GetLastError());
    }
    if (r.kind == "loadline") {
        char now[256] = "";
        GetProfileStringA("windows", "Load", "", now, sizeof now);
        if (r.Get("line") == now) return ALREADY_THERE;
        return WriteProfileStringA("windows", "Load", r.Get("line").c_str()) ? RESTORED
                                                                           : Failed(why, "the line cannot be written", GetLastError());
    }
    if (r.kind == "connection") {
        why = "a connection to a printer of another computer is made again from that computer's share";
        return CANNOT_COME_BACK;
    }
    why = "a record of an unknown kind";
    return FAILED;
}

// "TYPE:HEX" of a printer-data value.
bool DecodeData(const std::string& text, DWORD& type, std::string& bytes) {
    const size_t colon = text.find(':');
    if (colon == std::string::npos || colon == 0 || (text.size() - colon - 1) % 2) return false;
    type = static_cast<DWORD>(strtoul(text.substr(0, colon).c_str(), NULL, 10));
    bytes.clear();
    for (size_t i = colon + 1; i + 1 < text.size(); i += 2) {
        char pair[3] = {text[i], text[i + 1], 0};
        char* end = NULL;
        const unsigned long b = strtoul(pair, &end, 16);
        if (!end || *end) return false;
        bytes += static_cast<char>(b);
    }
    return true;
}

Result CRestorer::Printer(const CBackupRecord& r, std::string& why) {
    std::string name = r.Get("name");
    HANDLE printer = NULL;
    if (OpenPrinterA(const_cast<LPSTR>(name.c_str()), &printer, NULL) && printer) {
        ClosePrinter(printer);
        return ALREADY_THERE;
    }
    std::string fields[10] = {r.Get("driver"),     r.Get("port"),    r.Get("processor"), r.Get("datatype"),
                              r.Get("share"),      r.Get("comment"), r.Get("location"),  r.Get("separator"),
                              r.Get("parameters"), name};
    PRINTER_INFO_2A info;
    memset(&info, 0, sizeof info);
    info.pPrinterName = const_cast<LPSTR>(fields[9].c_str());
    info.pDriverName = const_cast<LPSTR>(fields[0].c_str());
    info.pPortName = const_cast<LPSTR>(fields[1].c_str());
    info.pPrintProcessor = const_cast<LPSTR>(fields[2].c_str());
    info.pDatatype = fields[3].empty() ? NULL : const_cast<LPSTR>(fields[3].c_str());
    info.pShareName = fields[4].empty() ? NULL : const_cast<LPSTR>(fields[4].c_str());
    info.pComment = fields[5].empty() ? NULL : const_cast<LPSTR>(fields[5].c_str());
    info.pLocation = fields[6].empty() ? NULL : const_cast<LPSTR>(fields[6].c_str());
    info.pSepFile = fields[7].empty() ? NULL : const_cast<LPSTR>(fields[7].c_str());
    info.pParameters = fields[8].empty() ? NULL : const_cast<LPSTR>(fields[8].c_str());
    info.Attributes = static_cast<DWORD>(strtoul(r.Get("attributes").c_str(), NULL, 10)) & ~PRINTER_ATTRIBUTE_DEFAULT;
    info.Priority = static_cast<DWORD>(strtoul(r.Get("priority").c_str(), NULL, 10));
    info.DefaultPriority = static_cast<DWORD>(strtoul(r.Get("defaultPriority").c_str(), NULL, 10));
    info.StartTime = static_cast<DWORD>(strtoul(r.Get("startTime").c_str(), NULL, 10));
    info.UntilTime = static_cast<DWORD>(strtoul(r.Get("untilTime").c_str(), NULL, 10));
    printer = AddPrinterA(NULL, 2, reinterpret_cast<LPBYTE>(&info));
    if (!printer) return Failed(why, "AddPrinterA", GetLastError());
    unsigned lost = 0;
    for (const auto& field : r.fields) {
        if (field.first.compare(0, 5, "data.") != 0) continue;
        DWORD type = 0;
        std::string bytes;
        if (!DecodeData(field.second, type, bytes) ||
            SetPrinterDataA(printer, const_cast<LPSTR>(field.first.c_str() + 5), type,
                            reinterpret_cast<LPBYTE>(const_cast<char*>(bytes.data())), static_cast<DWORD>(bytes.size())) !=
                ERROR_SUCCESS)
            ++lost;
    }
    ClosePrinter(printer);
    if (lost) why = std::to_string(lost) + " of its printer-data values could not be set";
    // The default printer comes back with its printer while the user has chosen no other since. Where the
    // removal moved the default to another printer, its own journal item decides, once the printers are back.
    if (r.Get("default") == "1" && !defaultMoves.count(LowerText(name))) {
        const std::string now = CurrentDefault();
        if (now.empty() && MakeDefault(name))
            why += std::string(why.empty() ? "" : "; ") + "the default printer again";
        else if (!now.empty())
            why += std::string(why.empty() ? "" : "; ") + "not the default again: " + now + " is the default now";
    }
    return RESTORED;
}

// The default printer now: the [windows] device line (the user's registry on the NT family), else the printer
// the spooler marks as the default; "" when there is none.
std::string CRestorer::CurrentDefault() {
    char line[3 * MAX_PATH] = "";
    GetProfileStringA("windows", "device", "", line, sizeof line);
    std::string name = line;
    name = name.substr(0, name.find(','));
    if (!name.empty()) return name;
    DWORD needed = 0, count = 0;
    EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, NULL, 0, &needed, &count);
    std::vector<BYTE> list(needed ? needed : 1);
    if (needed && EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, list.data(), needed, &needed, &count))
        for (DWORD i = 0; i < count; ++i) {
            const PRINTER_INFO_2A& p = reinterpret_cast<const PRINTER_INFO_2A*>(list.data())[i];
            if ((p.Attributes & PRINTER_ATTRIBUTE_DEFAULT) && p.pPrinterName) return p.pPrinterName;
        }
    return std::string();
}

// Marks the printer as the default and writes the [windows] device line that names it, as Windows does.
bool CRestorer::MakeDefault(const std::string& name) const {
    HANDLE printer = NULL;
    if (!OpenPrinterA(const_cast<LPSTR>(name.c_str()), &printer, NULL) || !printer) return false;
    DWORD size = 0;
    GetPrinterA(printer, 2, NULL, 0, &size);
    std::vector<BYTE> buffer(size ? size : 1);
    std::string line;
    if (size && GetPrinterA(printer, 2, buffer.data(), size, &size)) {
        PRINTER_INFO_2A* info = reinterpret_cast<PRINTER_INFO_2A*>(buffer.data());
        line = name + "," + (os.IsWinNT() ? std::string("winspool") : std::string(info->pDriverName ? info->pDriverName : "")) +
               "," + (info->pPortName ? info->pPortName : "");
        info->Attributes |= PRINTER_ATTRIBUTE_DEFAULT;
        SetPrinterA(printer, 2, buffer.data(), 0);
    }
    ClosePrinter(printer);
    return !line.empty() && WriteProfileStringA("windows", "device", line.c_str());
}

void CRestorer::LearnDefaultMoves(const CJournalText& journal, const std::map<unsigned, Copy>& copies) {
    for (const CJournalItem& item : journal.items) {
        CBackupRecord record;
        if (item.type == ItemKind::DefaultPrinter && ReadRecord(item, copies, record) &&
            RecordDisagreement(item.kind, item.item, record).empty())
            defaultMoves[LowerText(record.Get("previous"))] = record.Get("successor");
    }
}

bool CRestorer::ReadRecord(const CJournalItem& item, const std::map<unsigned, Copy>& copies, CBackupRecord& record) const {
    auto copy = copies.find(item.copy);
    std::string text, error;
    char copyName[16];
    snprintf(copyName, sizeof copyName, "%05u.dat", item.copy);
    return copy != copies.end() && copy->second.form == "record" && set.ReadFile(copyName, text) && record.Parse(text, error);
}

// After the printers are back: a default the removal moved to another printer comes back while that printer is
// still the default (the user has chosen no other since).
void CRestorer::FinishDefaults() {
    for (const CJournalItem& item : movedDefaults) {
        auto move = defaultMoves.find(LowerText(item.item));
        const std::string now = CurrentDefault(), successor = move == defaultMoves.end() ? "" : move->second;
        std::string driver;
        if (Replaced(item.item))
            Tell(item, CANNOT_COME_BACK, "a printer of that name exists, with another driver: it is not the one saved");
        else if (!InstalledDriverOf(item.item, driver))
            Tell(item, CANNOT_COME_BACK, "its printer is not there");
        else if (!now.empty() && _strcmpi(now.c_str(), successor.c_str()) != 0)
            Tell(item, CANNOT_COME_BACK, "the user has chosen " + now + " as the default printer since");
        else if (MakeDefault(item.item))
            Tell(item, RESTORED, "the default printer again");
        else
            Tell(item, FAILED, "it cannot be made the default printer");
    }
}

Result CRestorer::Driver(const CBackupRecord& r, std::string& why) {
    // Its files first: a later stage may have deleted them, and the spooler takes them from their place.
    for (const std::string& saved : r.All("savedFile")) {
        const size_t bar = saved.find('|');
        if (bar == std::string::npos) continue;
        const std::string path = saved.substr(bar + 1);
        if (Exists(path)) continue;
        MakeParents(path);
        if (!CopyFileA(set.CopyPath(static_cast<unsigned>(strtoul(saved.c_str(), NULL, 10))).c_str(), path.c_str(), TRUE))
            return Failed(why, "its file " + path + " cannot be written back", GetLastError());
    }
    // A file another program held open could not be copied: its deletion was only scheduled. Before the
    // restart it is still there once that is cancelled; after it, the driver cannot come back whole.
    for (const std::string& path : r.All("inUseFile")) {
        CancelScheduledDeletion(path, os);
        if (!Exists(path)) {
            why = "its file " + path + " was in use when it went, could not be copied, and was deleted at the restart";
            return CANNOT_COME_BACK;
        }
    }
    std::string environment = r.Get("environment");
    DWORD needed = 0, count = 0;
    EnumPrinterDriversA(NULL, const_cast<LPSTR>(environment.c_str()), 2, NULL, 0, &needed, &count);
    std::vector<BYTE> list(needed ? needed : 1);
    if (needed && EnumPrinterDriversA(NULL, const_cast<LPSTR>(environment.c_str()), 2, list.data(), needed, &needed, &count))
        for (DWORD i = 0; i < count; ++i) {
            const DRIVER_INFO_2A& d = reinterpret_cast<const DRIVER_INFO_2A*>(list.data())[i];
            if (d.pName && _strcmpi(d.pName, r.Get("name").c_str()) == 0) return ALREADY_THERE;
        }
    std::string name = r.Get("name"), driverPath = r.Get("driverPath"), dataFile = r.Get("dataFile"),
                configFile = r.Get("configFile"), helpFile = r.Get("helpFile"), monitor = r.Get("monitor"),
                datatype = r.Get("defaultDatatype");
    std::string dependents;
    for (const std::string& d : r.All("dependentFile")) dependents += d + '\0';
    dependents += '\0';
    std::string manufacturer = r.Get("manufacturer"), provider = r.Get("provider"), hardwareId = r.Get("hardwareId"),
                processor = r.Get("processor"), inf = r.Get("inf");
    DRIVER_INFO_8A info;
    memset(&info, 0, sizeof info);
    info.cVersion = static_cast<DWORD>(strtoul(r.Get("version").c_str(), NULL, 10));
    info.pName = const_cast<LPSTR>(name.c_str());
    info.pEnvironment = environment.empty() ? NULL : const_cast<LPSTR>(environment.c_str());
    info.pDriverPath = const_cast<LPSTR>(driverPath.c_str());
    info.pDataFile = const_cast<LPSTR>(dataFile.c_str());
    info.pConfigFile = const_cast<LPSTR>(configFile.c_str());
    info.pHelpFile = helpFile.empty() ? NULL : const_cast<LPSTR>(helpFile.c_str());
    info.pDependentFiles = dependents.size() > 1 ? const_cast<LPSTR>(dependents.data()) : NULL;
    info.pMonitorName = monitor.empty() ? NULL : const_cast<LPSTR>(monitor.c_str());
    info.pDefaultDataType = datatype.empty() ? NULL : const_cast<LPSTR>(datatype.c_str());
    auto text = [](std::string& s) { return s.empty() ? NULL : const_cast<LPSTR>(s.c_str()); };
    info.pszMfgName = text(manufacturer);
    info.pszProvider = text(provider);
    info.pszHardwareID = text(hardwareId);
    info.pszPrintProcessor = text(processor);
    info.pszInfPath = text(inf);
    // Level 8 where the record has its fields and the spooler takes it; else level 3.
    const bool full = !r.All("manufacturer").empty();
    if (full && AddPrinterDriverExA(NULL, 8, reinterpret_cast<LPBYTE>(&info), APD_COPY_NEW_FILES)) return RESTORED;
    if (full && GetLastError() != ERROR_INVALID_LEVEL) return Failed(why, "AddPrinterDriverExA", GetLastError());
    if (!AddPrinterDriverExA(NULL, 3, reinterpret_cast<LPBYTE>(&info), APD_COPY_NEW_FILES))
        return Failed(why, "AddPrinterDriverExA", GetLastError());
    return RESTORED;
}

Result CRestorer::Monitor(const CBackupRecord& r, std::string& why) {
    std::string name = r.Get("name"), environment = r.Get("environment"), library = r.Get("library");
    MONITOR_INFO_2A info = {const_cast<LPSTR>(name.c_str()),
                            environment.empty() ? NULL : const_cast<LPSTR>(environment.c_str()),
                            const_cast<LPSTR>(library.c_str())};
    Result result = RESTORED;
    if (!AddMonitorA(NULL, 2, reinterpret_cast<LPBYTE>(&info))) {
        const DWORD error = GetLastError();
        if (error != ERROR_PRINT_MONITOR_ALREADY_INSTALLED) return Failed(why, "AddMonitorA", error);
        result = ALREADY_THERE;
    }
    // Its ports, so that the printers on them can come back.
    const std::vector<std::string> ports = r.All("port");
    if (ports.empty()) return result;
    HMODULE winspool = LoadSystemLibrary("winspool.drv");
    AddPortEx addPort = winspool ? reinterpret_cast<AddPortEx>(reinterpret_cast<void (*)()>(GetProcAddress(winspool, "AddPortExA")))
                                 : NULL;
    unsigned lost = 0, added = 0;
    for (const std::string& port : ports) {
        std::string portName = port.substr(0, port.find('|'));
        PORT_INFO_1A portInfo = {const_cast<LPSTR>(portName.c_str())};
        if (addPort && addPort(NULL, 1, reinterpret_cast<LPBYTE>(&portInfo), const_cast<LPSTR>(name.c_str())))
            ++added;
        else if (!addPort || GetLastError() != ERROR_INVALID_PARAMETER)  // an existing port fails with 87
            ++lost;
    }
    if (winspool) FreeLibrary(winspool);
    if (added && result == ALREADY_THERE) result = RESTORED;
    if (lost) why = std::to_string(lost) + " of its ports could not be added";
    return result;
}

Result CRestorer::Processor(const CBackupRecord& r, std::string& why) {
    std::string name = r.Get("name"), environment = r.Get("environment"), library = r.Get("library");
    DWORD needed = 0, count = 0;
    EnumPrintProcessorsA(NULL, environment.empty() ? NULL : const_cast<LPSTR>(environment.c_str()), 1, NULL, 0, &needed, &count);
    std::vector<BYTE> list(needed ? needed : 1);
    if (needed && EnumPrintProcessorsA(NULL, environment.empty() ? NULL : const_cast<LPSTR>(environment.c_str()), 1,
                                       list.data(), needed, &needed, &count))
        for (DWORD i = 0; i < count; ++i) {
            const PRINTPROCESSOR_INFO_1A& p = reinterpret_cast<const PRINTPROCESSOR_INFO_1A*>(list.data())[i];
            if (p.pName && _strcmpi(p.pName, name.c_str()) == 0) return ALREADY_THERE;
        }
    if (library.empty()) return Failed(why, "its library was not recorded", 0);
    if (!AddPrintProcessorA(NULL, environment.empty() ? NULL : const_cast<LPSTR>(environment.c_str()),
                            const_cast<LPSTR>(library.c_str()), const_cast<LPSTR>(name.c_str())))
        return Failed(why, "AddPrintProcessorA", GetLastError());
    return RESTORED;
}

Result CRestorer::Service(const CBackupRecord& r, std::string& why) {
    SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_CREATE_SERVICE);
    if (!manager) return Failed(why, "the service manager cannot be opened", GetLastError());
    std::string dependencies;
    for (const std::string& d : r.All("dependency")) dependencies += d + '\0';
    dependencies += '\0';
    const std::string account = r.Get("account");
    SC_HANDLE service = CreateServiceA(
        manager, r.Get("name").c_str(), r.Get("display").c_str(), SERVICE_ALL_ACCESS,
        static_cast<DWORD>(strtoul(r.Get("type").c_str(), NULL, 10)), static_cast<DWORD>(strtoul(r.Get("start").c_str(), NULL, 10)),
        static_cast<DWORD>(strtoul(r.Get("errorControl").c_str(), NULL, 10)), r.Get("binary").c_str(),
        r.Get("group").empty() ? NULL : r.Get("group").c_str(), NULL, dependencies.size() > 1 ? dependencies.data() : NULL,
        account.empty() || _strcmpi(account.c_str(), "LocalSystem") == 0 ? NULL : account.c_str(), NULL);
    const DWORD error = service ? 0 : GetLastError();
    if (service) CloseServiceHandle(service);
    CloseServiceHandle(manager);
    if (service) return RESTORED;
    if (error == ERROR_SERVICE_EXISTS) return ALREADY_THERE;
    if (error == ERROR_SERVICE_MARKED_FOR_DELETE) {
        why = "it is still marked for deletion: run /RESTORE again after the restart";
        return RESTART;
    }
    return Failed(why, "CreateServiceA", error);
}

}  // namespace

bool CRestore::Run(const std::string& wanted, const COSVersion& os, CRunLog* log, std::string& error) {
    counts = Counts();
    folder = wanted;
    if (folder.empty()) {
        const std::vector<std::string> sets = CBackupSet::Sets(os);
        std::string untrusted;
        if (!CBackupSet::RootTrusted(os, untrusted)) {
            error = "no set is taken from " + CBackupSet::Root(os) + ": " + untrusted;
            return false;
        }
        if (sets.empty()) {
            error = "there is no backup set in " + CBackupSet::Root(os);
            return false;
        }
        folder = sets.back();
    }
    CBackupSet set;
    if (!set.Open(folder, os, false, error)) return false;
    folder = set.Folder();
    std::string journalText, indexText;
    if (!set.ReadFile("journal.txt", journalText)) {
        error = folder + " is not a backup set: it has no journal";
        return false;
    }
    set.ReadFile("index.txt", indexText);
    const CJournalText journal = ParseJournal(journalText);
    if (!journal.started) {
        error = folder + " is not a backup set: its journal does not begin a removal";
        return false;
    }
    if (log) {
        log->Write("restore", "from the backup set " + folder + (journal.ended ? "" : " (its removal was cut short)"));
        if (journal.badLines) log->Write("restore", (journal.badLines == 1 ? std::string("1 line of the journal is") : std::to_string(journal.badLines) + " lines of the journal are") + " not of its form");
    }
    const std::map<unsigned, Copy> copies = ReadIndex(indexText);
    CRestorer restorer(set, os, log, counts);
    restorer.LearnReplacedPrinters(journal, copies);
    restorer.LearnDefaultMoves(journal, copies);
    for (auto it = journal.items.rbegin(); it != journal.items.rend(); ++it) restorer.Item(*it, copies);
    restorer.FinishDefaults();
    return true;
}
