// A machine and a removal context for the removers' tests: the removal profile's lists are filled by the
// test, the machine compared before and after.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "removal/removal_context.h"
#include "simwin/machine.h"
#include "support/temp_machine.h"

namespace removaltest {

class RemoverTest : public ::testing::Test {
protected:
    explicit RemoverTest(simwin::Platform platform = simwin::Platform::Nt)
        : m(platform), scope(m) {
        context.database = &database;
        context.osVersion.Detect();
        context.textResources = &texts;
        context.directDirs = &directDirs;
        context.searchDirs = &searchDirs;
    }
    static void Fill(CTextList& list, const std::vector<std::string>& items) {
        for (const std::string& item : items) list.Add(item.c_str());
    }
    CTextList& Removal(CTextList CUninstallProfile::*list) { return database.removal.*list; }
    // Learns what the machine still needs for the lists as the test filled them: every remover asks it.
    void Learn() {
        context.keeper = &keeper;
        keeper.Learn(database, context.osVersion, directDirs, searchDirs);
    }

    simwin::Machine m;
    simwin::MachineScope scope;
    CUninstallDatabase database;
    CTextResources texts;
    CTextList directDirs, searchDirs;
    CRemovalContext context{};
    CKeeper keeper;
};

// A remover's test on a machine described as a machine directory (machine.ini text and files of drive C:).
class LoadedRemoverTest : public ::testing::Test {
protected:
    void Use(const std::string& ini, const std::map<std::string, std::string>& files = {}) {
        scope.reset();
        m = testmachine::Load(ini, files);
        scope = std::make_unique<simwin::MachineScope>(*m);
        database = std::make_unique<CUninstallDatabase>();
        context.database = database.get();
        context.osVersion.Detect();
        context.textResources = &texts;
        context.directDirs = &directDirs;
        context.searchDirs = &searchDirs;
    }
    static void Fill(CTextList& list, const std::vector<std::string>& items) {
        for (const std::string& item : items) list.Add(item.c_str());
    }
    void Learn() {
        context.keeper = &keeper;
        keeper.Learn(*database, context.osVersion, directDirs, searchDirs);
    }
    // A printer of the family in the database (one of another maker is any printer it does not list).
    CPrinterEntry& FamilyPrinter(const char* name, int kept = 1) {
        CPrinterEntry& p = database->printers.AddNew();
        CopyText(p.printerName, name);
        p.isKept = kept;
        p.isFamily = 1;
        p.isListed = 1;
        return p;
    }

    // The context is made on a standard machine; each test then loads its own.
    simwin::Machine standard;
    simwin::MachineScope standardScope{standard};
    std::unique_ptr<simwin::Machine> m;
    std::unique_ptr<simwin::MachineScope> scope;
    std::unique_ptr<CUninstallDatabase> database;
    CTextResources texts;
    CTextList directDirs, searchDirs;
    CRemovalContext context{};
    CKeeper keeper;
};

}  // namespace removaltest
