#include "tools/korun04-sim/plan.h"

#include <cctype>

namespace {

void PrintKey(std::ostream& out, const char* key, const std::string& value) {
    out << key << " =";
    if (!value.empty()) out << ' ' << value;
    out << '\n';
}

const char* KindOf(const CUninstallProfile& profile) {
    if (profile.isManufacturer) return "manufacturer";
    if (profile.isCatchAll) return "catchall";
    if (profile.isIgnore) return "ignore";
    return "driver";
}

}  // namespace

void PrintPlanScripts(std::ostream& out, const CTextList& scripts) {
    for (const char* path : scripts) {
        out << "[script]\n";
        PrintKey(out, "path", path);
    }
}

void PrintPlanProfileLists(std::ostream& out, const CUninstallProfile& profile) {
    for (int i = 0; i < CUninstallProfile::LIST_COUNT; ++i)
        for (const char* item : profile.List(i)) PrintKey(out, CUninstallProfile::ListName(i), item);
}

void PrintPlanProfiles(std::ostream& out, const CUninstallDatabase& database) {
    for (const CUninstallProfile& profile : database.profiles) {
        out << "[profile]\n";
        PrintKey(out, "name", profile.name);
        PrintKey(out, "kind", KindOf(profile));
        PrintKey(out, "section", profile.section);
        PrintKey(out, "number", std::to_string(profile.number));
        PrintKey(out, "script", profile.scriptPath);
        PrintPlanProfileLists(out, profile);
    }
}

void PrintPlanCombined(std::ostream& out, const CUninstallDatabase& database) {
    out << "[combined]\n";
    PrintPlanProfileLists(out, database.combined);
}

int LoadScriptsDirectly(CUninstallDatabase& database, CTextList& scripts, bool hasUnpav) {
    scripts.Clear();
    database.FindAllScripts(scripts);
    int read = 0;
    for (const char* path : scripts) read += database.ParseScript(path);
    database.BuildCombinedProfile();
    database.ApplyPavaneOption(hasUnpav ? 1 : 0);
    return read;
}

bool CommandTailHasUnpav(const std::string& tail) {
    static const char kOption[] = "UNPAV";
    for (size_t i = 0; i + 6 <= tail.size(); ++i) {
        if (tail[i] != '/' && tail[i] != '-') continue;
        size_t k = 0;
        while (k < 5 && std::toupper(static_cast<unsigned char>(tail[i + 1 + k])) == kOption[k]) ++k;
        if (k < 5) continue;
        // The name ends at the end of the tail, a blank, a value (":") or the next option.
        size_t end = i + 6;
        if (end == tail.size() || tail[end] == ' ' || tail[end] == '\t' || tail[end] == ':' || tail[end] == '/' ||
            tail[end] == '-')
            return true;
    }
    return false;
}
