// The plan writer shared by korun04-sim --plan and the tool's /PLAN.
#include "writers/plan_writer.h"

#include "removal/file_remover.h"
#include "removal/keeper.h"
#include "removal/refusal_list.h"

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

// The machine as a removal of the database's choice would find it: its directories and what it still needs.
struct CLearnedMachine {
    explicit CLearnedMachine(const CUninstallDatabase& database) {
        BuildFileRemovalLists(os, directDirs, searchDirs);
        keeper.Learn(database, os, directDirs, searchDirs);
    }
    COSVersion os;
    CTextList directDirs, searchDirs;
    CKeeper keeper;
};

}  // namespace

void PrintPlanRefused(std::ostream& out, const CUninstallDatabase& database) {
    const CLearnedMachine machine(database);
    PrintPlanRefused(out, database, machine.keeper, machine.directDirs, machine.searchDirs);
}

void PrintPlanRefused(std::ostream& out, const CUninstallDatabase& database, const CKeeper& keeper,
                      const CTextList& directDirs, const CTextList& searchDirs) {
    out << "[refused]\n";
    for (const CRefusedItem& refused : ListRefusals(keeper, database, directDirs, searchDirs))
        PrintKey(out, refused.kind, refused.item + " | " + refused.refusal.Text());
}

bool IsListedPrinter(const CPrinterEntry& printer) {
    return printer.isListed && !printer.isForeign && !printer.isDeleted;
}

void PrintPlan(std::ostream& out, const CTextList& scripts, const CUninstallDatabase& database) {
    const CLearnedMachine machine(database);
    PrintPlan(out, scripts, database, machine.keeper, machine.directDirs, machine.searchDirs);
}

void PrintPlan(std::ostream& out, const CTextList& scripts, const CUninstallDatabase& database, const CKeeper& keeper,
               const CTextList& directDirs, const CTextList& searchDirs) {
    PrintPlanScripts(out, scripts);
    PrintPlanProfiles(out, database);
    PrintPlanPrinters(out, database);
    PrintPlanCombined(out, database);
    PrintPlanKeepAndRemoval(out, database);
    PrintPlanSelection(out, database);
    PrintPlanRefused(out, database, keeper, directDirs, searchDirs);
}

void ChoosePrinters(CUninstallDatabase& database, const std::vector<std::string>& names, bool selectAll,
                    std::vector<std::string>& unmatched) {
    unmatched.clear();
    for (const std::string& name : names) {
        bool listed = false;
        for (const CPrinterEntry& printer : database.printers)
            if (IsListedPrinter(printer) && TextEqual(printer.printerName.c_str(), name.c_str())) listed = true;
        if (!listed) unmatched.push_back(name);
    }
    for (CPrinterEntry& printer : database.printers) {
        if (!IsListedPrinter(printer)) continue;
        bool chosen = selectAll || names.empty();
        for (const std::string& name : names)
            if (TextEqual(printer.printerName.c_str(), name.c_str())) chosen = true;
        printer.isKept = chosen ? 0 : 1;
    }
}


bool PlanFileCanBeWritten(const char* path, DWORD& error) {
    error = 0;
    HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return false;
    }
    const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
    CloseHandle(file);
    if (!existed) DeleteFileA(path);
    return true;
}

bool WritePlanFile(const char* path, const std::string& text, DWORD& error) {
    error = 0;
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return false;
    }
    DWORD written = 0;
    BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, NULL);
    if (!ok) error = GetLastError();
    CloseHandle(file);
    return ok && written == text.size();
}
