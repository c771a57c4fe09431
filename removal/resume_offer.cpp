#include "removal/resume_offer.h"

#include "removal/backup/backup_set.h"
#include "removal/backup/removal_state.h"

std::vector<std::string> PrintersOfUnfinishedRemoval(const std::string& folder, const COSVersion& os) {
    std::vector<std::string> names;
    CBackupSet set;
    std::string error, state;
    // Read only: the set is opened as the finishing run would find it, and nothing is written to it.
    if (!set.Open(folder, os, false, error) || !set.ReadFile("state.ini", state)) return names;
    CUninstallDatabase database;
    CRemovalContext context{};
    context.osVersion = os;
    int stage = 0;
    if (!ReadRemovalState(state, database, context, stage, error)) return names;
    for (const CPrinterEntry& p : database.printers)
        if (!p.isKept && !p.isForeign) names.push_back(p.printerName);
    return names;
}
