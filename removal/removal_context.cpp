#include "removal/removal_context.h"

#include <stdio.h>

void ReportRefusedItem(const char* kind, const char* item, const char* why) {
    char line[1024];
    snprintf(line, sizeof line, "korun04: refused %s item \"%s\": %s\n", kind, item, why);
    OutputDebugStringA(line);
}

void ReportRefusedItem(const CRemovalContext& context, const char* logKind, const char* kind, const char* item,
                       const char* why) {
    ReportRefusedItem(kind, item, why);
    context.Report(logKind, item, CRunLog::REFUSED, 0, why);
}

bool CRemovalContext::Refused(const char* kind, const std::string& item, const CRefusal& refusal) const {
    if (!refusal) return false;
    const std::string why = refusal.Text();
    ReportRefusedItem(kind, item.c_str(), why.c_str());
    Report(kind, item, CRunLog::REFUSED, 0, why.c_str());
    return true;
}
