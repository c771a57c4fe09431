// The plan that `korun04-sim --plan` prints: INI text describing what the loading phase found.
#pragma once

#include <ostream>
#include <string>

#include "script/database.h"

// One [script] section per script path, in reading order.
void PrintPlanScripts(std::ostream& out, const CTextList& scripts);
// One [profile] section per profile of the database, in database order.
void PrintPlanProfiles(std::ostream& out, const CUninstallDatabase& database);
// The [combined] section: the lists of the combined profile.
void PrintPlanCombined(std::ostream& out, const CUninstallDatabase& database);
// The twelve lists of a profile, one "list = item" line per item; empty lists print nothing.
void PrintPlanProfileLists(std::ostream& out, const CUninstallProfile& profile);

// The loading steps on the current machine: finds the uninstall scripts (returned in reading order),
// parses each, builds the combined profile and applies the Pavane option. Returns the number of
// scripts that were read.
int LoadScriptsDirectly(CUninstallDatabase& database, CTextList& scripts, bool hasUnpav);
// Whether the command tail holds the option UNPAV, written "/UNPAV" or "-UNPAV" in any letter case.
bool CommandTailHasUnpav(const std::string& tail);
