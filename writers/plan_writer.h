// The plan: INI text describing what the loading phase found and what a removal of the chosen printers
// would remove. `korun04-sim --plan` prints it and the tool's /PLAN writes it to a file; both use this
// writer, so that the two always agree.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "script/database.h"

class CKeeper;

// One [script] section per script path, in reading order.
void PrintPlanScripts(std::ostream& out, const CTextList& scripts);
// One [profile] section per profile of the database, in database order.
void PrintPlanProfiles(std::ostream& out, const CUninstallDatabase& database);
// The [combined] section: the lists of the combined profile.
void PrintPlanCombined(std::ostream& out, const CUninstallDatabase& database);
// The twelve lists of a profile, one "list = item" line per item; empty lists print nothing.
void PrintPlanProfileLists(std::ostream& out, const CUninstallProfile& profile);
// One [printer] section per printer entry, in list order, with the flags as the selection left them.
void PrintPlanPrinters(std::ostream& out, const CUninstallDatabase& database);
// The [keep] and [removal] sections: the lists of keep and of removal.
void PrintPlanKeepAndRemoval(std::ostream& out, const CUninstallDatabase& database);
// The [selection] section: the two counters and the Pavane decision.
void PrintPlanSelection(std::ostream& out, const CUninstallDatabase& database);
// The [refused] section: what a removal of the chosen printers would refuse and by which rule, decided from
// the machine as it is now; one "list = ITEM | RULE: why" line per item.
void PrintPlanRefused(std::ostream& out, const CUninstallDatabase& database);
// The same, from a keeper that has learned the machine already (the removal's own), with its directory lists.
void PrintPlanRefused(std::ostream& out, const CUninstallDatabase& database, const CKeeper& keeper,
                      const CTextList& directDirs, const CTextList& searchDirs);
// The whole plan in its order: scripts, profiles, printers, combined, keep and removal, selection, refused.
// The database is expected after SelectForRemoval.
void PrintPlan(std::ostream& out, const CTextList& scripts, const CUninstallDatabase& database);
// The whole plan with the refusals of a keeper that has learned the machine already.
void PrintPlan(std::ostream& out, const CTextList& scripts, const CUninstallDatabase& database, const CKeeper& keeper,
               const CTextList& directDirs, const CTextList& searchDirs);

// Writes a plan's text to a file (replacing it); false with the platform's error when it cannot.
bool WritePlanFile(const char* path, const std::string& text, DWORD& error);
// Whether the plan file can be written, tried before anything is loaded: opened for writing (an existing
// file keeps its contents) and closed again; a file that was not there is deleted, so nothing is left
// behind. False with the platform's error when it cannot be opened.
bool PlanFileCanBeWritten(const char* path, DWORD& error);

// Whether a printer entry is one the selection list offers: listed, of the family or paved, not deleted.
bool IsListedPrinter(const CPrinterEntry& printer);

// Marks the printers the user chooses, as the selection list does: each listed printer is chosen (isKept 0)
// or not (isKept 1); printers that are not listed keep their flag. With selectAll, or without names, every
// listed printer is chosen; otherwise those named (any letter case). Names that match no listed printer are
// returned in unmatched.
void ChoosePrinters(CUninstallDatabase& database, const std::vector<std::string>& names, bool selectAll,
                    std::vector<std::string>& unmatched);
