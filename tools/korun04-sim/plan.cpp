#include "tools/korun04-sim/plan.h"

#include <cctype>

#include "inventory/loading_dlg.h"

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

void PrintPlanPrinters(std::ostream& out, const CUninstallDatabase& database) {
    for (const CPrinterEntry& printer : database.printers) {
        out << "[printer]\n";
        PrintKey(out, "name", printer.printerName);
        PrintKey(out, "driver", printer.driverName);
        PrintKey(out, "paved", printer.pavedName);
        PrintKey(out, "location", printer.location);
        PrintKey(out, "family", std::to_string(printer.isFamily));
        PrintKey(out, "default", std::to_string(printer.isDefault));
        PrintKey(out, "kept", std::to_string(printer.isKept));
        PrintKey(out, "foreign", std::to_string(printer.isForeign));
        PrintKey(out, "listed", std::to_string(printer.isListed));
    }
}

void PrintPlanKeepAndRemoval(std::ostream& out, const CUninstallDatabase& database) {
    out << "[keep]\n";
    PrintPlanProfileLists(out, database.keep);
    out << "[removal]\n";
    PrintPlanProfileLists(out, database.removal);
}

void PrintPlanSelection(std::ostream& out, const CUninstallDatabase& database) {
    out << "[selection]\n";
    PrintKey(out, "removing", std::to_string(database.removingCount));
    PrintKey(out, "remaining", std::to_string(database.remainingCount));
    PrintKey(out, "pavaneStays", std::to_string(database.pavaneStays));
}

namespace {

bool IsListed(const CPrinterEntry& printer) { return printer.isListed && !printer.isForeign && !printer.isDeleted; }

}  // namespace

void ChoosePrinters(CUninstallDatabase& database, const std::vector<std::string>& names, bool selectAll,
                    std::vector<std::string>& unmatched) {
    unmatched.clear();
    for (const std::string& name : names) {
        bool listed = false;
        for (const CPrinterEntry& printer : database.printers)
            if (IsListed(printer) && TextEqual(printer.printerName, name.c_str())) listed = true;
        if (!listed) unmatched.push_back(name);
    }
    for (CPrinterEntry& printer : database.printers) {
        if (!IsListed(printer)) continue;
        bool chosen = selectAll || names.empty();
        for (const std::string& name : names)
            if (TextEqual(printer.printerName, name.c_str())) chosen = true;
        printer.isKept = chosen ? 0 : 1;
    }
}

int RunPlan(std::ostream& out, std::ostream& err, const std::vector<std::string>& selects, bool selectAll) {
    CUninstallDatabase database;
    CLoadingDlg loading;
    loading.database = &database;
    // The tool's own loading dialog, on the virtual clock.
    INT_PTR result = DialogBoxParamA(NULL, MAKEINTRESOURCEA(IDD_LOADING), NULL, StaticDialogProc,
                                     reinterpret_cast<LPARAM>(&loading));
    if (result != 1) {
        // The step that ended the loading tells why.
        const char* why = "the user abandoned the loading phase";
        if (result == -1)
            why = "the loading dialog cannot be created";
        else if (loading.step == 0)
            why = "the user is not an administrator: the tool ends after the loading phase's first step";
        else if (loading.step == 4)
            why = "the print spooler does not start: the tool ends during the loading phase";
        else if (loading.step == 9)
            why = "the print spooler does not answer: the tool ends during the loading phase";
        err << "korun04-sim: no plan: " << why << "\n";
        return 1;
    }
    if (loading.diagnostic[0]) err << "korun04-sim: " << loading.diagnostic << "\n";
    std::vector<std::string> unmatched;
    ChoosePrinters(database, selects, selectAll, unmatched);
    if (!unmatched.empty()) {
        for (const std::string& name : unmatched) {
            bool exists = false;
            for (const CPrinterEntry& printer : database.printers)
                if (TextEqual(printer.printerName, name.c_str())) exists = true;
            err << "korun04-sim: --select " << name << ": "
                << (exists ? "that printer is not listed (the command-line filter hides it, or it is not of the "
                             "driver family and not managed by Pavane)"
                           : "no listed printer has that name")
                << "\n";
        }
        err << "korun04-sim: listed printers:";
        int listed = 0;
        for (const CPrinterEntry& printer : database.printers)
            if (IsListed(printer)) err << (listed++ ? ", " : " ") << printer.printerName;
        err << (listed ? "" : " none") << "\n";
        return 2;
    }
    database.SelectForRemoval();

    PrintPlanScripts(out, loading.scripts);
    PrintPlanProfiles(out, database);
    PrintPlanPrinters(out, database);
    PrintPlanCombined(out, database);
    PrintPlanKeepAndRemoval(out, database);
    PrintPlanSelection(out, database);
    return 0;
}
