// What the restore checks before it acts on one journal item. A backup set lies in a folder only
// administrators may write, but it is still outside input to the restore, which runs as administrator: a set
// damaged on the disk, or one planted there, must not steer it. So an item is put back only where its journal
// line says, and only from a copy that says the same:
//
//   - a path (of a file, a folder, an INI file, a driver's file) is a full path on a drive: no relative path,
//     no "." or ".." component, no NUL, no alternate data stream (a colon after the drive), no device
//     (\\.\, \\?\, CON, NUL, COM1 ...);
//   - the copy's index line agrees with the journal item: the form the item's kind is kept as (registry
//     text, a file's bytes, a record), and the same key or path, case aside;
//   - registry text holds the item's key (and, for a key kept whole, its subkeys) and nothing beside it; a
//     single value's text holds that key and that one value;
//   - a record is of the item's kind and names the item (the printer, driver, monitor, folder, INI line ...).
//
// Each check answers "" when the item passes, else why it is damaged (the restore's log says "failed (the
// backup set is damaged: WHY)"), and the item alone is not restored.
#pragma once

#include <string>
#include <vector>

#include "base/reg_text.h"
#include "removal/backup/backup_records.h"

// Why path cannot be one the restore writes to, "" when it is a full path on a drive.
std::string PathDamage(const std::string& path);

// The path a file item of the journal names: its text, except an OEM INF, which the journal names by its file
// name alone ("oem5.inf": the file of that name in the Windows INF directory, windowsDir).
std::string JournalItemPath(const std::string& kind, const std::string& item, const std::string& windowsDir);

// The form an item of that kind is kept as in the index ("registry", "file", "record"); false for a kind no
// removal journals with a copy.
bool KeptAs(const std::string& kind, const std::string& form);

// Why the index line of an item's copy (its form and what it names) disagrees with the journal item.
std::string IndexDisagreement(const std::string& kind, const std::string& item, const std::string& form,
                              const std::string& indexItem, const std::string& windowsDir);

// Why registry text (already parsed) is not exactly the item: a key kept whole (wholeKey) with its subkeys, or
// one value.
std::string RegistryTextDisagreement(const std::vector<CRegistryTextKey>& keys, bool wholeKey, const std::string& item);

// Why a record is not the one the journal item names (another kind, another name, a damaged path).
std::string RecordDisagreement(const std::string& kind, const std::string& item, const CBackupRecord& record);
