// What every remover works with: the database (its removal profile holds the work lists), the platform of
// the run, the texts of the string table, and the directories of the file removal. The removal page owns
// them and hands them over; a remover knows nothing of the page.
#pragma once

#include <set>
#include <string>

#include "app/os_version.h"
#include "script/database.h"
#include "script/text_list.h"
#include "resources/resource.h"
#include "ui/text_resources.h"

struct CRemovalContext {
    CUninstallDatabase* database;
    HWND window;  // the removal page: owner of the removers' message boxes, first argument of the hooks
    COSVersion osVersion;
    CTextResources* textResources;
    CTextList* directDirs;
    CTextList* searchDirs;
    // Set when something can only finish at the next start of Windows: a file scheduled for deletion, a
    // service Windows could only mark for deletion. (The database's restartNeeded is also set by a service
    // deleted at once, and by the 9x family's spooler handling.)
    int pendingAtRestart;
    // Monitors the spooler refused to delete because a port still uses them: their configuration stays
    // for the whole stage, whichever environment the later calls name.
    std::set<std::string> monitorsInUse;
};

// Tells the person who watches the run (a debugger, the simulator's transcript) that an item of a script
// was refused because acting on it would damage Windows.
void ReportRefusedItem(const char* kind, const char* item, const char* why);
