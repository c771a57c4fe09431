// CRemovalBackup: the backup set of one removal from the removal page's side. It makes the set before
// anything is removed (the scripts read, the command line, the selection, the plan), keeps the removal's
// state at the start of each stage (state.ini: whole at the first, then what changed) with the stage's journal line, and writes the end line when
// the removal ran to its end. A removal cut short is found again by FindUnfinished, and Resume opens its
// set, reads the state back and goes on with its journal.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "removal/backup/backup_set.h"
#include "removal/removal_context.h"
#include "removal/backup/removal_journal.h"
#include "removal/backup/state_records.h"

class CRemovalBackup {
public:
    // Makes the set for this removal and hands its journal to the context; false with the reason (the
    // removal must then not start).
    // plan gives the removal's plan, asked once the set exists.
    bool Begin(CRemovalContext& context, const CUninstallDatabase& database, const CTextList* scripts,
               const std::function<std::string()>& plan, std::string& error);
    // At the start of a stage that may touch the machine: the state, then the stage line. False when they
    // could not be written (the removal stops before the stage).
    bool Stage(int stage, const CUninstallDatabase& database, const CRemovalContext& context);
    // The removal ran to its end.
    void End();
    // Opens the set of a removal cut short, reads its state into the database and the context, and hands
    // the journal to the context. stage is the stage to go on with. False with the reason.
    bool Resume(const std::string& folder, CRemovalContext& context, CUninstallDatabase& database, int& stage,
                std::string& error);

    bool IsOpen() const { return journal != nullptr; }
    const std::string& Folder() const { return set.Folder(); }
    // The folders above the sets that were not the tool's and were moved aside before this set was made.
    const std::vector<std::string>& MovedAside() const { return set.MovedAside(); }
    // Why the backup stopped the removal ("" while it did not).
    std::string Failure() const { return journal ? journal->Failure() : std::string(); }

    // The newest backup set whose journal began a removal and has no end line; "" when there is none.
    static std::string FindUnfinished(const COSVersion& os);

private:
    CBackupSet set;
    std::unique_ptr<CRemovalJournal> journal;
    CStateRecords stateRecords;  // the state as last written, to write only what changed
    std::string stateText;       // the text last written (a buffer kept from stage to stage)
};
