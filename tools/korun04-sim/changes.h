// What a run changed on the simulated machine, for `korun04-sim --changes`: a picture of the machine's
// state taken in memory before the run, one taken after, compared item by item and printed grouped by kind:
//
//   changes:
//   printers:
//     - Office (driver Vestral X Driver, port USB001, default yes, data VestralDriver04=1)
//   services:
//     ~ VestralStatus: state running -> running, marked for deletion
//   files and folders:
//     - C:\Program Files\Vestral (folder, and 3 items below)
//   INI lines:
//     - C:\Windows\win.ini [devices] Office=winspool,USB001
//   deletions scheduled for the restart:
//     + C:\Windows\System32\spool\drivers\x64\vxres.dat (deleted at restart)
//   the tool's own files:
//     + C:\Windows\Temp\korun04.log (2210 bytes)
//
// "-" an item that went, "+" one that came, "~" one that is there before and after and holds something else
// (the fields that differ follow). An item below a removed (or added) folder or registry key is not listed on
// its own: its top item says how many went with it. A kind without changes prints no heading; a run that
// changed nothing prints "  (none)" under "changes:".
//
// The pictures are built from the models (the spooler's printers, the registry's keys, the drives' files...),
// never from saved machine directories, so that what saving adds by itself (the standard layout's folders, a
// format) never shows as a change.
#pragma once

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "simwin/util.h"

namespace simwin {
class Machine;
}

// The kinds of things a run changes, in the order the block lists them.
enum ChangeKind {
    CHANGE_PRINTERS,
    CHANGE_DRIVERS,
    CHANGE_MONITORS,    // port monitors and their ports ("port NAME")
    CHANGE_PROCESSORS,
    CHANGE_SERVICES,
    CHANGE_DEVICES,
    CHANGE_FILES,       // files and folders (an INI file's lines go to CHANGE_INI_LINES instead)
    CHANGE_REGISTRY,    // keys and values
    CHANGE_INI_LINES,
    CHANGE_PENDING,     // deletions (and renames) scheduled for the restart
    CHANGE_SYSTEM,      // a restart requested
    CHANGE_OWN_FILES,   // the tool's own files: its log, its backup sets, its plan
    CHANGE_KIND_COUNT
};
// The heading of a kind in the block ("printers", "registry keys and values" ...).
const char* ChangeKindName(ChangeKind kind);

// One item of a state: its fields in order (a field whose name starts with '#' is compared but never
// printed: a file's bytes), and the item it lies below ("" for none) for the folding of whole trees.
struct StateItem {
    std::vector<std::pair<std::string, std::string>> fields;
    std::string parent;
};
typedef std::map<std::string, StateItem, simwin::ILess> StateItems;

// The picture of a machine: its items of each kind, by name (names compare as Windows compares them).
struct MachineState {
    StateItems items[CHANGE_KIND_COUNT];
};
MachineState CaptureState(const simwin::Machine& machine);

// One change: '-' gone, '+' new, '~' changed; the detail says what the item held (or what differs).
struct Change {
    char sign;
    std::string item;
    std::string detail;
};
struct MachineChanges {
    std::vector<Change> kinds[CHANGE_KIND_COUNT];
    bool Empty() const;
};

// Compares two pictures. Files and folders at or below one of ownPaths (full Windows paths) are the tool's
// own and go to CHANGE_OWN_FILES.
MachineChanges CompareStates(const MachineState& before, const MachineState& after,
                             const std::vector<std::string>& ownPaths);
// The block, from its "changes:" line on.
void PrintChanges(std::ostream& out, const MachineChanges& changes);

// The tool's own files on the current machine for a command tail: the log (/LOG, or korun04.log in the
// temporary directory), the plan (/PLAN), and the folder of the backup sets under the common application data
// folder (Vestral\korun04\Backup), as full paths.
std::vector<std::string> ToolOwnPaths(const simwin::Machine& machine, const std::string& commandTail);
