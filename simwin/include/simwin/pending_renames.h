// The renames and deletions Windows carries out at its next start. The NT family records them where the
// session manager reads them: the REG_MULTI_SZ value "PendingFileRenameOperations" of
// HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Session Manager, pairs of strings: the file ("\??\"
// before its full path) and its new name ("" to delete it, "!" before it when it replaces a file). That
// value is the one record: MoveFileExA(..., MOVEFILE_DELAY_UNTIL_REBOOT) appends to it, a program that
// edits the value (an uninstaller cancelling a deletion) changes what happens at the restart, and a machine
// directory's [pending] sections are that value written as sections.
#pragma once

#include <string>
#include <vector>

#include "simwin/files.h"
#include "simwin/registry.h"

namespace simwin {

extern const char kSessionManagerKey[];  // full path, HKEY_LOCAL_MACHINE written out
extern const char kPendingRenamesValue[];

// The operations the value records, in order ("\??\" and "!" taken off). A value that is not a list of
// strings, or a lone last string, yields what can be read of it.
std::vector<PendingRename> pendingRenames(const Registry& registry);
// Writes the whole list; an empty list deletes the value.
void setPendingRenames(Registry& registry, const std::vector<PendingRename>& renames);
void addPendingRename(Registry& registry, const PendingRename& rename);
// Whether a value of the registry is the record itself (a save writes it as [pending] sections).
bool isPendingRenamesValue(const RegKey& key, const RegValue& value);

}  // namespace simwin
