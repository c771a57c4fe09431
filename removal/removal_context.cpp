#include "removal/removal_context.h"

#include <stdio.h>

void ReportRefusedItem(const char* kind, const char* item, const char* why) {
    char line[1024];
    snprintf(line, sizeof line, "korun04: refused %s item \"%s\": %s\n", kind, item, why);
    OutputDebugStringA(line);
}

void ReportRefusedItem(const CRemovalContext& context, ItemKind logKind, const char* kind, const char* item,
                       const char* why) {
    ReportRefusedItem(kind, item, why);
    context.Report(logKind, item, CRunLog::REFUSED, 0, why);
}

namespace {

bool HasSubkeys(HKEY root, const char* subKey) {
    HKEY key = NULL;
    if (RegOpenKeyExA(root, subKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    DWORD subkeys = 0;
    const bool has = RegQueryInfoKeyA(key, NULL, NULL, NULL, &subkeys, NULL, NULL, NULL, NULL, NULL, NULL, NULL) ==
                         ERROR_SUCCESS &&
                     subkeys > 0;
    RegCloseKey(key);
    return has;
}

}  // namespace

void CRemovalContext::ReportKeyResult(HKEY root, const char* subKey, const std::string& item, DWORD error,
                                      const char* detail) const {
    if (error == ERROR_ACCESS_DENIED && HasSubkeys(root, subKey))
        Report(ItemKind::RegistryKey, item, CRunLog::KEPT, 0, "it still has subkeys");
    else
        ReportResult(ItemKind::RegistryKey, item, error, detail);
}

bool CRemovalContext::Save(ItemKind kind, const std::string& item, const CSavedForm& saved) const {
    // The items before this one are done with: their lines go to the log before this one is touched.
    if (log) log->WriteItems();
    if (!journal || journal->Begin(kind, item, saved)) return true;
    if (!journal->Failed() && !journal->Refusal().empty())
        Report(kind, item, CRunLog::KEPT, 0, ("its backup cannot hold it: " + journal->Refusal()).c_str());
    return false;
}

bool CRemovalContext::Refused(ItemKind kind, const std::string& item, const CRefusal& refusal) const {
    if (!refusal) return false;
    const std::string why = refusal.Text();
    ReportRefusedItem(ItemKindName(kind), item.c_str(), why.c_str());
    // What a printer that stays needs is kept, rightly: no rule protected Windows or another maker from the
    // scripts there, and the end of the run does not count it as refused.
    Report(kind, item, refusal.IsStayingPrinter() ? CRunLog::KEPT : CRunLog::REFUSED, 0, why.c_str());
    return true;
}
