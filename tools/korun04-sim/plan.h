// The plan that `korun04-sim --plan` prints: INI text describing what the loading phase found.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "script/database.h"

// One [script] section per script path, in reading order.
void PrintPlanScripts(std::ostream& out, const CTextList& scripts);
// One [profile] section per profile of the database, in database order.
void PrintPlanProfiles(std::ostream& out, const CUninstallDatabase& database);
// The [combined] section: the lists of the combined profile.
void PrintPlanCombined(std::ostream& out, const CUninstallDatabase& database);
// The twelve lists of a profile, one "list = item" line per item; empty lists print nothing.
void PrintPlanProfileLists(std::ostream& out, const CUninstallProfile& profile);

// Whether the command tail holds the option UNPAV, written "/UNPAV" or "-UNPAV" in any letter case.
bool CommandTailHasUnpav(const std::string& tail);

// One [printer] section per printer entry, in list order, with the flags as the selection left them.
void PrintPlanPrinters(std::ostream& out, const CUninstallDatabase& database);
// The [keep] and [removal] sections: the lists of keep and of removal.
void PrintPlanKeepAndRemoval(std::ostream& out, const CUninstallDatabase& database);
// The [selection] section: the two counters and the Pavane decision.
void PrintPlanSelection(std::ostream& out, const CUninstallDatabase& database);

// Marks the printers the user chooses, as the selection list does: each listed printer is chosen (isKept 0)
// or not (isKept 1); printers that are not listed keep their flag. With selectAll, or without names, every
// listed printer is chosen; otherwise those named (any letter case). Names that match no listed printer are
// returned in unmatched.
void ChoosePrinters(CUninstallDatabase& database, const std::vector<std::string>& names, bool selectAll,
                    std::vector<std::string>& unmatched);

// The plan of a run on the current machine: the tool's loading dialog (administrator check, closing the
// family's other programs, the spooler restart on the NT family, the scripts, the printer enumeration with
// its one retry), the user's choice and the profile selection; nothing is removed. Prints the plan on out and
// returns 0; on a fatal loading failure, or a name that matches no listed printer, says why on err and
// returns non-zero (1 when the tool would end, 2 for a name that matches nothing).
int RunPlan(std::ostream& out, std::ostream& err, const std::vector<std::string>& selects, bool selectAll);
