// What a removal of the chosen printers would refuse, decided from the machine as it is now: the plan's
// [refused] section. It asks the keeper the questions the removers ask, over the same lists and the same
// places, without removing anything.
#pragma once

#include <string>
#include <vector>

#include "removal/keeper.h"

struct CRefusedItem {
    const char* kind;  // the list the item comes from ("files", "registryKeys" ...), or "printers", "devices"
    std::string item;  // what would be refused: a full path, a key, the item as the list holds it
    CRefusal refusal;
};

// The refused items, list by list in the order of the removal's stages.
std::vector<CRefusedItem> ListRefusals(const CKeeper& keeper, const CUninstallDatabase& database,
                                       const CTextList& directDirs, const CTextList& searchDirs);
