// A machine and a removal context for the removers' tests: the removal profile's lists are filled by the
// test, the machine compared before and after.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "removal/removal_context.h"
#include "simwin/machine.h"

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

    simwin::Machine m;
    simwin::MachineScope scope;
    CUninstallDatabase database;
    CTextResources texts;
    CTextList directDirs, searchDirs;
    CRemovalContext context{};
};

}  // namespace removaltest
