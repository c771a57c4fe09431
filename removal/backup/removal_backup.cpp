#include "removal/backup/removal_backup.h"

#include <sstream>

#include "removal/backup/removal_state.h"

namespace {

const char kSetFile[] = "set.ini";
const char kPlanFile[] = "plan.ini";
const char kStateFile[] = "state.ini";

// set.ini: what this removal was asked to do, and where the copies of its scripts are.
bool WriteSetFile(CBackupSet& set, const CUninstallDatabase& database, const CTextList* scripts, const COSVersion& os,
                  std::string& error) {
    std::string text = "[set]\r\ncommandLine = ";
    const char* commandLine = GetCommandLineA();
    text += commandLine ? commandLine : "";
    text += "\r\nplatform = " + std::to_string(os.GetPlatformClass()) + "\r\nversionClass = " +
            std::to_string(os.GetVersionClass()) + "\r\n";
    for (const CPrinterEntry& p : database.printers) {
        if (p.isForeign || p.isDeleted) continue;
        text += std::string(p.isKept ? "staying = " : "chosen = ") + p.printerName + "\r\n";
    }
    if (scripts) {
        for (const char* script : *scripts) {
            bool inUse = false;  // a script another program holds open is named without a copy
            const unsigned copy = set.SaveFile("script", script, error, inUse);
            if (!copy && !error.empty()) return false;
            error.clear();
            text += "script = " + std::string(script) + (copy ? " | " + std::to_string(copy) : std::string()) + "\r\n";
        }
    }
    return set.WriteFile(kSetFile, text, error);
}

}  // namespace

bool CRemovalBackup::Begin(CRemovalContext& context, const CUninstallDatabase& database, const CTextList* scripts,
                           const std::function<std::string()>& plan, std::string& error) {
    if (!set.Create(context.osVersion, error)) return false;
    if (!WriteSetFile(set, database, scripts, context.osVersion, error) || !set.WriteFile(kPlanFile, plan(), error))
        return false;
    journal.reset(new CRemovalJournal(set));
    if (!set.Journal("start | " + JournalTime(), error)) {
        journal.reset();
        return false;
    }
    context.journal = journal.get();
    return true;
}

bool CRemovalBackup::Stage(int stage, const CUninstallDatabase& database, const CRemovalContext& context) {
    if (!journal || journal->Failed()) return false;
    std::string error;
    const bool append = stateRecords.Next(database, context, stage, stateText);
    if (!(append ? set.AppendFile(kStateFile, stateText, error) : set.WriteFile(kStateFile, stateText, error))) {
        journal->Fail(error);
        return false;
    }
    return journal->Stage(stage);
}

void CRemovalBackup::End() {
    if (!journal) return;
    // A finished removal's state is written whole once more, as one piece without checks: what /RESUME will not
    // need again is left in the plain form. Should that fail, the state with its records still reads the same.
    std::string error;
    if (stateRecords.Started() && !journal->Failed()) set.WriteFile(kStateFile, stateRecords.Whole(), error);
    journal->End();
}

bool CRemovalBackup::Resume(const std::string& folder, CRemovalContext& context, CUninstallDatabase& database,
                            int& stage, std::string& error) {
    if (!set.Open(folder, context.osVersion, true, error)) return false;
    std::string state;
    if (!set.ReadFile(kStateFile, state)) {
        error = folder + " holds no state of its removal";
        return false;
    }
    if (!ReadRemovalState(state, database, context, stage, error)) {
        error = "the state of " + folder + " is damaged: " + error;
        return false;
    }
    std::string setText, journalText;
    if (!set.ReadFile(kSetFile, setText)) {
        error = folder + " is damaged: it has no " + kSetFile;
        return false;
    }
    set.ReadFile("journal.txt", journalText);
    const CJournalText journalRead = ParseJournal(journalText);
    const std::string disagreement = StateDisagreement(database, stage, setText, journalRead);
    if (!disagreement.empty()) {
        error = folder + " is damaged: " + disagreement;
        return false;
    }
    journal.reset(new CRemovalJournal(set));
    journal->ContinueAfter(journalRead);
    context.journal = journal.get();
    return true;
}

std::string CRemovalBackup::FindUnfinished(const COSVersion& os) {
    const std::vector<std::string> sets = CBackupSet::Sets(os);
    for (auto it = sets.rbegin(); it != sets.rend(); ++it) {
        CBackupSet set;
        std::string error, text;
        if (!set.Open(*it, os, false, error) || !set.ReadFile("journal.txt", text)) continue;
        const CJournalText journal = ParseJournal(text);
        // Only the newest removal counts: an older one cut short was resumed or given up on since.
        return journal.started && !journal.ended && journal.lastStage >= 0 ? *it : std::string();
    }
    return std::string();
}
