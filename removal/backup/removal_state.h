// The removal as it stands between two stages: what /RESUME needs to finish a removal that was cut short
// without a new loading phase on the half-removed machine. The backup set keeps it as state.ini, written at
// the start of each stage:
//
//   [state]
//   stage = 9                  the stage about to run
//   restartNeeded = 1          the database's counters and flags
//   removingCount = 1
//   remainingCount = 2
//   pavaneStays = 1
//   pendingAtRestart = 0       what the removers noted so far
//   monitorInUse = vestral busy port
//   infHandled = vestral x driver
//   [printer]                  one per entry of the database's printer list, in order
//   name = Office
//   driver = Vestral X Driver
//   paved =
//   location =
//   family = 1
//   default = 1
//   kept = 0
//   foreign = 0
//   deleted = 1
//   listed = 1
//   [keep]                     the keep profile's lists, keys named as the plan names them
//   files = shared.dll
//   [removal]                  the removal profile's lists, with what the stages appended
//   files = vxdrv.dll
//   registryKeys = HKLM,"SOFTWARE\VESTRAL\VX","",1
//
// The state is written whole once, closed by a check line; each later stage appends only what changed as a
// change record, closed the same way (removal/state_records.h):
//
//   [end]                      the part above is whole
//   check = 1a2b3c4d           FNV-1a of the part, from its first line to "[end]"
//   [next]                     a change record: the [state] keys again, whole
//   stage = 10
//   ...
//   [printer 3]                printer 3 of the list (0 first), whole
//   ...
//   [removal]                  items appended to the lists; "cleared = LIST" first when a list changed
//   registryKeys = ...         otherwise than by growing (its items follow whole)
//   [end]
//   check = 5e6f7a8b
//
// A state without [end] (as a finished removal leaves it, and as older sets hold it) reads whole. A last part
// whose check fails is a write a crash or a power cut cut short: it is left out, and the state reads as the
// part before it. A failing part with a whole part after it is damage.
//
// The text is read back as outside input: a line that is not of this form, a value too long for the database's
// texts, or a number that is not one is an error with its line number.
#pragma once

#include <string>

#include "removal/removal_context.h"
#include "removal/backup/removal_journal.h"
#include "script/database.h"

std::string WriteRemovalState(const CUninstallDatabase& database, const CRemovalContext& context, int stage);
// The same into out, replacing what it held (a buffer kept from stage to stage keeps its room).
void WriteRemovalState(const CUninstallDatabase& database, const CRemovalContext& context, int stage, std::string& out);
// The parts of that text, for a writer that writes only what changed (removal/state_records.h): the [state]
// block under the section given (a change record's is "[next]"), one printer's block, one list item's line.
void AppendStateHeader(std::string& out, const CUninstallDatabase& database, const CRemovalContext& context, int stage,
                       const char* section = "[state]");
void AppendStatePrinter(std::string& out, const CPrinterEntry& printer, const std::string& section);
void AppendStateItem(std::string& out, int list, const char* item);

// Fills the database's printers, keep and removal profiles, counters and flags and the context's notes;
// false with error ("line N: what") and nothing changed when the text is not a state of this form.
bool ReadRemovalState(const std::string& text, CUninstallDatabase& database, CRemovalContext& context, int& stage,
                      std::string& error);

// Why a state read back contradicts the rest of its backup set, "" when it agrees. /RESUME goes on from the
// state alone, so it must be the state of that removal: every printer it would remove (neither kept nor
// foreign) was chosen in set.ini (setText), and its stage was reached in the journal: the journal has that
// stage's line, or the state is at the start of the stage after the journal's last (the state is written
// just before its stage's line, and a run may be killed between the two).
std::string StateDisagreement(const CUninstallDatabase& database, int stage, const std::string& setText,
                              const CJournalText& journal);
