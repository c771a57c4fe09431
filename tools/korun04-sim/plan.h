// What `korun04-sim --plan` does: the tool's loading dialog on the simulated machine, the user's choice and
// the plan, written by the tool's own plan writer.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "inventory/loading_dlg.h"
#include "writers/plan_writer.h"
#include "script/database.h"

// Whether the command tail holds the option UNPAV, written "/UNPAV" or "-UNPAV" in any letter case.
bool CommandTailHasUnpav(const std::string& tail);

// The tool's loading dialog on the current machine, filling database (and loading.scripts). 0 when it
// succeeded; 1, with the reason on err, when the tool would end.
int RunLoadingPhase(CUninstallDatabase& database, CLoadingDlg& loading, std::ostream& err);

// The plan of a run on the current machine: the tool's loading dialog (administrator check, closing the
// family's other programs, the spooler restart on the NT family, the scripts, the printer enumeration with
// its one retry), the user's choice and the profile selection; nothing is removed. Prints the plan on out and
// returns 0; on a fatal loading failure, or a name that matches no listed printer, says why on err and
// returns non-zero (1 when the tool would end, 2 for a name that matches nothing).
int RunPlan(std::ostream& out, std::ostream& err, const std::vector<std::string>& selects, bool selectAll);
