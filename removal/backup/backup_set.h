// CBackupSet: what a removal needs to be undone or finished, kept in a folder of its own before anything
// goes. One set per removal:
//
//   NT family:   <common application data>\Vestral\korun04\Backup\YYYYMMDD-HHMMSS\   (Administrators and
//                SYSTEM only: an explicit, protected DACL; owned by the Administrators; the folders above it
//                that the tool makes get the same rights)
//   9x, Win32s:  <Windows directory>\Vestral\korun04\Backup\YYYYMMDD-HHMMSS   (no access rights there)
//
//   set.ini        the command line, the platform, the scripts read (and their copies), the chosen printers
//   plan.ini       the plan of the removal (what /PLAN writes)
//   state.ini      the database as the removal works on it: the printers' flags, the keep and removal
//                  profiles with what the stages appended, the counters; written whole at the first stage,
//                  what changed appended at the start of each later one, whole again at the end
//   journal.txt    one line before each item is touched, one with its outcome, each flushed at once
//   index.txt      one line per saved copy: its number, what it is, what it was
//                  ("NNNNN | FORM | ITEM", a file's with " | attributes=0xHEX"); a restore takes a copy
//                  only when this line agrees with the journal's item (removal/restore_checks.h)
//   00001.dat ...  the saved copies: files as they were, registry text, printer, driver, monitor, processor
//                  and service records; numbered, so that no removal item can name them
//
// The journal's lines (fields separated by " | "):
//   start | DATE TIME                 the removal began
//   stage | N                         stage N began (state.ini holds the database as it stood then)
//   item | K | KIND | ITEM | COPY     item K is about to be touched; COPY is the number of what was saved
//                                     ("-" when nothing can be put back: a job, a hook, a device node;
//                                     "in use, not copied" for a file another program held open)
//   done | K | OUTCOME                what became of item K (the log's outcome words)
//   end | DATE TIME                   the removal ran to its end
// A journal without its end line is a removal cut short: /RESUME finishes it from its last stage.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "base/os_version.h"
#include "base/platform.h"

class CBackupSet {
public:
    CBackupSet() = default;
    ~CBackupSet();
    CBackupSet(const CBackupSet&) = delete;
    CBackupSet& operator=(const CBackupSet&) = delete;

    // The folder that holds the sets (no trailing backslash), "" when it cannot be named.
    static std::string Root(const COSVersion& os);
    // The sets of the root, oldest first (their names sort by time); none when the root is not trusted.
    static std::vector<std::string> Sets(const COSVersion& os);
    // Whether the folders from the maker's down to the root are left to the administrators (on the NT
    // family): owned by them or SYSTEM (or, where the volume keeps no descriptors, by the user the tool runs
    // as), users may not write, make, delete or change rights in the tool's folders, nor delete, rename or
    // change rights of what lies in the maker's folder. A missing folder is no fault. False with why.
    static bool RootTrusted(const COSVersion& os, std::string& why);

    // Creates a new set (and the folders above it), its DACL on the NT family, and opens its journal. False
    // with the reason when it cannot be written (disk full, access denied). A folder above it that is not
    // trusted (see RootTrusted) is moved aside first, renamed "<name>.moved-<time>"; MovedAside says which.
    bool Create(const COSVersion& os, std::string& error);
    const std::vector<std::string>& MovedAside() const { return movedAside; }
    // Opens a set the tool wrote (on the NT family: owned by the Administrators, with the tool's DACL) for
    // reading, or to go on with its journal.
    bool Open(const std::string& folder, const COSVersion& os, bool forJournal, std::string& error);
    const std::string& Folder() const { return folder; }
    bool IsOpen() const { return !folder.empty(); }

    // Writes a whole file of the set (set.ini, plan.ini, state.ini) in one go, replacing it.
    bool WriteFile(const char* name, const std::string& text, std::string& error);
    // Appends text to a file of the set that is there (the state's change records) and flushes it.
    bool AppendFile(const char* name, const std::string& text, std::string& error);
    bool ReadFile(const char* name, std::string& text) const;

    // A saved copy of text, or of a file's bytes (with its attributes in the index); the copy's number, 0
    // with the reason when it could not be written.
    unsigned SaveText(const char* kind, const std::string& item, const std::string& text, std::string& error);
    // A file is read with every share mode. One that cannot be read (another program holds it open without
    // sharing) is no failure of the set: 0 with no error and inUse set; the removal can then only schedule it.
    unsigned SaveFile(const char* kind, const std::string& path, std::string& error, bool& inUse);
    // The path of a copy, and its index line's fields (kind, item, and "attributes=0x.." for a file).
    std::string CopyPath(unsigned number) const;

    // Appends one journal line and flushes it; false with the reason when it could not be written.
    bool Journal(const std::string& line, std::string& error);

    // Keeps the newest keep sets of the root and deletes the others; the names of the sets deleted.
    static std::vector<std::string> Prune(const COSVersion& os, unsigned keep, const std::string& except);

    // The DACL every set gets on the NT family (SDDL).
    static const char* Dacl();

private:
    bool AppendIndex(unsigned number, const std::string& line, std::string& error);
    bool SecureRoot(const COSVersion& os, PSECURITY_DESCRIPTOR descriptor, std::string& error);
    bool OpenJournal(std::string& error);

    std::string folder;
    HANDLE journal = INVALID_HANDLE_VALUE;
    unsigned nextCopy = 1;
    std::vector<std::string> movedAside;  // "<folder> (<why>) moved aside to <new name>"
};

// Now as the journal writes it: "YYYY-MM-DD HH:MM:SS"; compact, as a set's folder is named: "YYYYMMDD-HHMMSS".
std::string JournalTime(bool compact = false);
