// The removal's state as the backup set keeps it from stage to stage: written whole once, then as change
// records appended at the start of each later stage (the form is described in removal/removal_state.h). A
// stage changes a few printers' flags and appends a few items to the removal profile, while the whole state of
// a large machine is megabytes of lists: appending what changed keeps the cost of a stage to its changes.
#pragma once

#include <string>
#include <vector>

#include "removal/backup/state_parts.h"
#include "removal/removal_context.h"
#include "script/database.h"

class CStateRecords {
public:
    // The text that brings the state file to the removal's state at stage: true when out is a change record
    // to append to the file as last written, false when it is a whole state that replaces the file (the first
    // write, and a printer list that changed its length).
    bool Next(const CUninstallDatabase& database, const CRemovalContext& context, int stage, std::string& out);
    // The state last given by Next, whole, without its check: what a state written in one piece holds.
    std::string Whole() const;
    bool Started() const { return started; }

private:
    void Remember(const CUninstallDatabase& database, const CRemovalContext& context, int stage);
    void ListChanges(std::string& out, const char* section, const CUninstallProfile& profile, int first);

    bool started = false;
    std::string header;                      // the [state] block
    std::vector<CPrinterEntry> printers;
    std::vector<std::string> lists[2 * CUninstallProfile::LIST_COUNT];  // keep's, then removal's
};
