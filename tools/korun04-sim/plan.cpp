#include "tools/korun04-sim/plan.h"

#include <cctype>

#include "inventory/loading_dlg.h"

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

int RunLoadingPhase(CUninstallDatabase& database, CLoadingDlg& loading, std::ostream& err) {
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
    return 0;
}

int RunPlan(std::ostream& out, std::ostream& err, const std::vector<std::string>& selects, bool selectAll) {
    CUninstallDatabase database;
    CLoadingDlg loading;
    if (int failed = RunLoadingPhase(database, loading, err)) return failed;
    std::vector<std::string> unmatched;
    ChoosePrinters(database, selects, selectAll, unmatched);
    if (!unmatched.empty()) {
        for (const std::string& name : unmatched) {
            bool exists = false;
            for (const CPrinterEntry& printer : database.printers)
                if (TextEqual(printer.printerName.c_str(), name.c_str())) exists = true;
            err << "korun04-sim: --select " << name << ": "
                << (exists ? "that printer is not listed (the command-line filter hides it, or it is not of the "
                             "driver family and not managed by Pavane)"
                           : "no listed printer has that name")
                << "\n";
        }
        err << "korun04-sim: listed printers:";
        int listed = 0;
        for (const CPrinterEntry& printer : database.printers)
            if (IsListedPrinter(printer)) err << (listed++ ? ", " : " ") << printer.printerName;
        err << (listed ? "" : " none") << "\n";
        return 2;
    }
    database.SelectForRemoval();

    PrintPlan(out, loading.scripts, database);
    return 0;
}
