// The profile selection: keep and removal for the printers that stay and go, the counters, the
// paved-printer pass, the manufacturer fallback, the full-removal items, the protected profiles and
// the Pavane decision.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "script/database.h"
#include "simwin/machine.h"

namespace {

enum Kind { DRIVER, MANUFACTURER, CATCHALL, IGNORE };

const char kScript[] = "C:\\Windows\\System32\\spool\\drivers\\x64\\Kunz__04.unm";

std::vector<std::string> Items(const CTextList& list) {
    std::vector<std::string> out;
    for (const CTextItem& t : list) out.push_back(t.text);
    return out;
}

typedef std::vector<std::string> Texts;

class Selection : public ::testing::Test {
protected:
    explicit Selection(simwin::Platform platform = simwin::Platform::Nt) : machine(platform), scope(machine) {}

    // A profile as the parser builds it: driver, catch-all and ignore profiles name themselves in drivers.
    CUninstallProfile& Add(const char* name, Kind kind, Texts files, const char* script = kScript) {
        CUninstallProfile p;
        CopyText(p.name, name);
        p.isManufacturer = kind == MANUFACTURER;
        p.isCatchAll = kind == CATCHALL;
        p.isIgnore = kind == IGNORE;
        CopyText(p.scriptPath, script);
        for (auto& f : files) p.files.Add(f.c_str());
        if (kind != MANUFACTURER) p.drivers.Add(name);
        db().AddProfile(p);
        return db().profiles.Back();
    }
    // A printer; kept = 1 means the user did not select it.
    CPrinterEntry& Printer(const char* name, const char* driver, int kept, const char* paved = "") {
        CPrinterEntry& p = db().printers.AddNew();
        CopyText(p.printerName, name);
        CopyText(p.driverName, driver);
        CopyText(p.pavedName, paved);
        p.isFamily = 1;
        p.isListed = 1;
        p.isKept = kept;
        return p;
    }
    // The load's last steps: combined from the profiles, the Pavane profile left out (no UNPAV).
    void Load(int unpav = 0) {
        db().BuildCombinedProfile();
        db().ApplyPavaneOption(unpav);
    }
    CUninstallDatabase& db() {
        if (!database) database.reset(new CUninstallDatabase);
        return *database;
    }

    simwin::Machine machine;
    simwin::MachineScope scope;
    std::unique_ptr<CUninstallDatabase> database;
};

class SelectionOnWin32s : public Selection {
protected:
    SelectionOnWin32s() : Selection(simwin::Platform::Win32s) {}
};

const Texts kFamilyKeys = {"HKLM,\"SOFTWARE\\VESTRAL\",\"\",0", "HKLM,\"SOFTWARE\\VESTRAL\\Filters\",\"\",1",
                           "HKLM,\"SOFTWARE\\VESTRAL\\OEM04\",\"\",1", "HKLM,\"SOFTWARE\\VESTRAL\\VSR32_04\",\"\",1"};

}  // namespace

TEST_F(Selection, NoScriptsAndEveryPrinterGoes) {
    Printer("Office", "Vestral X Driver", 0);
    Printer("Labels", "Vestral L Driver", 0);
    Load();
    EXPECT_EQ(1, db().SelectForRemoval());
    EXPECT_EQ(0, db().remainingCount);
    EXPECT_EQ(2, db().removingCount);
    EXPECT_EQ(kFamilyKeys, Items(db().removal.registryKeys));
    for (int i = 0; i < CUninstallProfile::LIST_COUNT; ++i) {
        if (&db().removal.List(i) != &db().removal.registryKeys) {
            EXPECT_TRUE(db().removal.List(i).IsEmpty()) << i;
        }
    }
    EXPECT_EQ(1, db().pavaneStays);
}

TEST_F(Selection, SameDriverStayingProtectsItsProfile) {
    Add("Vestral X Driver", DRIVER, {"x.dll", "x.ini"});
    Add("Vestral L Driver", DRIVER, {"l.dll"});
    Printer("Office", "Vestral X Driver", 1);
    Printer("Second", "Vestral X Driver", 0);
    Printer("Labels", "Vestral L Driver", 0);
    Load();
    db().SelectForRemoval();
    EXPECT_EQ(1, db().remainingCount);
    EXPECT_EQ(2, db().removingCount);
    EXPECT_EQ((Texts{"x.dll", "x.ini"}), Items(db().keep.files));
    EXPECT_EQ((Texts{"l.dll"}), Items(db().removal.files));
    EXPECT_EQ((Texts{"Vestral L Driver"}), Items(db().removal.drivers));
    // A printer stays: neither the scripts nor the family's keys go.
    EXPECT_TRUE(db().removal.registryKeys.IsEmpty());
}

TEST_F(Selection, ProtectionIgnoresLetterCaseButNotSpelling) {
    Add("Gone Driver", DRIVER, {"x.dll", "y.dll=1", "z.dll"});
    Add("Kept Driver", DRIVER, {"X.DLL", "y.dll", "Z.DLL=1"});
    Printer("A", "Gone Driver", 0);
    Printer("B", "Kept Driver", 1);
    Load();
    db().SelectForRemoval();
    EXPECT_EQ((Texts{"y.dll=1", "z.dll"}), Items(db().removal.files));
}

TEST_F(Selection, ManufacturerFallbackLastMatchWins) {
    Add("Vestral", MANUFACTURER, {"v.dll"});
    Add("Vestral Inc", MANUFACTURER, {"vinc.dll"});
    Add("Vestralia", MANUFACTURER, {"other.dll"});
    Add("Vestral Q", DRIVER, {"q.dll"});  // same first word, but no manufacturer profile
    Load();
    CUninstallProfile found;
    ASSERT_EQ(1, db().FindManufacturerProfile(found, "VESTRAL Z 9"));
    EXPECT_EQ("Vestral Inc", found.name);
    ASSERT_EQ(1, db().FindManufacturerProfile(found, "Vestral"));
    EXPECT_EQ("Vestral Inc", found.name);
    EXPECT_EQ(0, db().FindManufacturerProfile(found, "Acme Vestral"));
    EXPECT_EQ("", found.name);
    EXPECT_TRUE(found.files.IsEmpty());

    // A staying printer without a profile of its own is served by that manufacturer profile.
    Printer("Z", "Vestral Z 9", 1);
    Printer("Q", "Vestral Q", 0);
    db().SelectForRemoval();
    EXPECT_EQ((Texts{"vinc.dll"}), Items(db().keep.files));
    EXPECT_EQ((Texts{"other.dll", "q.dll", "v.dll"}), Items(db().removal.files));
}

TEST_F(Selection, ADriverProfileComesBeforeTheManufacturer) {
    Add("Vestral", MANUFACTURER, {"v.dll"});
    Add("Vestral X", DRIVER, {"x.dll"});
    Printer("X", "Vestral X", 1);
    Load();
    db().SelectForRemoval();
    EXPECT_EQ((Texts{"x.dll"}), Items(db().keep.files));
    EXPECT_EQ((Texts{"v.dll"}), Items(db().removal.files));
}

TEST_F(Selection, PavedPrintersGoWithTheirPrinter) {
    Printer("Office", "D", 0);
    Printer("Mask", "D", 1, "office");  // letter case does not matter
    Printer("Unrelated", "D", 1, "Elsewhere");
    Load();
    db().SelectForRemoval();
    std::vector<int> kept;
    for (const CPrinterEntry& p : db().printers) kept.push_back(p.isKept);
    EXPECT_EQ((std::vector<int>{0, 0, 1}), kept);
    EXPECT_EQ(2, db().removingCount);
    EXPECT_EQ(1, db().remainingCount);
}

TEST_F(Selection, PavedPassClearsOnlyForwardAlongTheList) {
    // Mask comes before Office: when Office clears it, the pass has gone past Mask, which therefore
    // clears nothing.
    Printer("MaskOfMask", "D", 1, "Mask");
    Printer("Mask", "D", 1, "Office");
    Printer("Office", "D", 0);
    Load();
    db().SelectForRemoval();
    std::vector<int> kept;
    for (const CPrinterEntry& p : db().printers) kept.push_back(p.isKept);
    EXPECT_EQ((std::vector<int>{1, 0, 0}), kept);

    // The other way round, the cleared printer comes after its clearer and clears in turn.
    CUninstallDatabase& d = db();
    d.printers.Clear();
    Printer("Office", "D", 0);
    Printer("Mask", "D", 1, "Office");
    Printer("MaskOfMask", "D", 1, "Mask");
    d.SelectForRemoval();
    for (const CPrinterEntry& p : d.printers) EXPECT_EQ(0, p.isKept) << p.printerName;
    EXPECT_EQ(3, d.removingCount);

    // Kept, foreign and deleted printers clear nothing.
    d.printers.Clear();
    CPrinterEntry& foreign = Printer("Foreign", "D", 0);
    foreign.isForeign = 1;
    CPrinterEntry& deleted = Printer("Deleted", "D", 0);
    deleted.isDeleted = 1;
    Printer("Kept", "D", 1);
    Printer("M1", "D", 1, "Foreign");
    Printer("M2", "D", 1, "Deleted");
    Printer("M3", "D", 1, "Kept");
    d.SelectForRemoval();
    int cleared = 0;
    for (const CPrinterEntry& p : d.printers) cleared += p.isKept == 0 && !p.isForeign && !p.isDeleted;
    EXPECT_EQ(0, cleared);
}

TEST_F(Selection, CountersSkipForeignAndDeletedPrinters) {
    Add("D", DRIVER, {"d.dll"});
    Printer("Stays", "D", 1);
    Printer("Goes", "D", 0);
    Printer("NoProfile", "Unknown", 0);
    CPrinterEntry& foreign = Printer("Foreign", "D", 1);
    foreign.isForeign = 1;
    CPrinterEntry& foreignSelected = Printer("Foreign2", "D", 0);
    foreignSelected.isForeign = 1;
    CPrinterEntry& deleted = Printer("Deleted", "D", 1);
    deleted.isDeleted = 1;
    Load();
    db().SelectForRemoval();
    EXPECT_EQ(1, db().remainingCount);
    EXPECT_EQ(2, db().removingCount);

    // A deleted printer does not protect its profile, a foreign one neither.
    db().printers.Clear();
    CPrinterEntry& gone = Printer("Deleted", "D", 1);
    gone.isDeleted = 1;
    CPrinterEntry& f = Printer("Foreign", "D", 1);
    f.isForeign = 1;
    Printer("Goes", "D", 0);
    db().SelectForRemoval();
    EXPECT_EQ(0, db().remainingCount);
    EXPECT_EQ(1, db().removingCount);
    EXPECT_TRUE(db().keep.files.IsEmpty());
    EXPECT_EQ((Texts{"d.dll", "Kunz__04.unm"}), Items(db().removal.files));
}

TEST_F(Selection, FullRemovalItemsOnlyWhenNoPrinterStays) {
    Add("Vestral X", DRIVER, {"x.dll"});
    Add("Other", DRIVER, {"o.dll"}, "C:\\Windows\\System32\\KUNZ__04.UNM");
    Add("Third", DRIVER, {"t.dll"}, "C:\\Vestral\\profile.txt");
    Printer("A", "Vestral X", 0);
    Printer("B", "Other", 0);
    Load();
    db().SelectForRemoval();
    // The script names without directories; of two spellings the first profile's (Other) stays.
    EXPECT_EQ((Texts{"KUNZ__04.UNM", "o.dll", "t.dll", "x.dll"}), Items(db().removal.files));
    EXPECT_EQ(kFamilyKeys, Items(db().removal.registryKeys));
    EXPECT_EQ(0, db().remainingCount);

    // Run again with one printer kept: nothing of the full removal is left over.
    db().printers.Back().isKept = 1;
    db().SelectForRemoval();
    EXPECT_EQ((Texts{"t.dll", "x.dll"}), Items(db().removal.files));
    EXPECT_TRUE(db().removal.registryKeys.IsEmpty());
    EXPECT_EQ((Texts{"o.dll"}), Items(db().keep.files));
}

TEST_F(Selection, FullRemovalItemsInTheirOrder) {
    Add("Pavane", DRIVER, {"PAVANE32.EXE"});
    Add("All", CATCHALL, {"c.dll"}, "C:\\Windows\\System32\\x.UnM");
    Load();
    CUninstallProfile target;
    db().AddFullRemovalItems(target);
    EXPECT_EQ((Texts{"HKLM,\"SOFTWARE\\VESTRAL\\OEM04\",\"\",1", "HKLM,\"SOFTWARE\\VESTRAL\\VSR32_04\",\"\",1",
                     "HKLM,\"SOFTWARE\\VESTRAL\\Filters\",\"\",1", "HKLM,\"SOFTWARE\\VESTRAL\",\"\",0"}),
              Items(target.registryKeys));
    EXPECT_TRUE(target.files.Contains("PAVANE32.EXE"));
    EXPECT_TRUE(target.files.Contains("c.dll"));
    EXPECT_TRUE(target.files.Contains("x.UnM"));
    EXPECT_TRUE(target.files.Contains("Kunz__04.unm"));
}

TEST_F(Selection, IgnoreAndCatchAllProfilesAreAlwaysKept) {
    Add("Vestral X", DRIVER, {"shared.dll", "x.dll"});
    Add("Keep Me", IGNORE, {"shared.dll"});
    Add("Everything", CATCHALL, {"catch.dll"});
    Printer("A", "Vestral X", 0);
    Printer("B", "Keep Me", 0);
    Load();
    db().SelectForRemoval();
    EXPECT_EQ(0, db().remainingCount);
    EXPECT_EQ((Texts{"catch.dll", "shared.dll"}), Items(db().keep.files));
    EXPECT_EQ((Texts{"Everything", "Keep Me"}), Items(db().keep.drivers));
    EXPECT_EQ((Texts{"Kunz__04.unm", "x.dll"}), Items(db().removal.files));
    EXPECT_EQ((Texts{"Vestral X"}), Items(db().removal.drivers));
}

TEST_F(Selection, PavaneGoesWithTheLastPrinterOnly) {
    Add("Pavane", DRIVER, {"PAVANE32.EXE", "pav.hlp"});
    Add("Vestral X", DRIVER, {"x.dll"});
    Printer("A", "Vestral X", 0);
    Printer("B", "Vestral X", 0);
    Load();  // without UNPAV the Pavane profile's items are not in combined
    EXPECT_FALSE(db().combined.files.Contains("PAVANE32.EXE"));
    db().SelectForRemoval();
    EXPECT_TRUE(db().removal.files.Contains("pavane32.exe"));
    EXPECT_EQ(0, db().pavaneStays);

    db().printers.Back().isKept = 1;
    db().SelectForRemoval();
    EXPECT_FALSE(db().removal.files.Contains("PAVANE32.EXE"));
    EXPECT_EQ(1, db().pavaneStays);
}

TEST_F(Selection, WithUnpavOnlyPavaneIsConsidered) {
    Add("Pavane", DRIVER, {"PAVANE32.EXE"});
    Add("Vestral X", DRIVER, {"x.dll"});
    Printer("Paved", "Vestral X", 0, "Office");
    Printer("Office", "Vestral X", 1);
    Load(1);
    db().SelectForRemoval();
    // The staying printer keeps the driver's items; combined held only Pavane's.
    EXPECT_EQ((Texts{"PAVANE32.EXE"}), Items(db().removal.files));
    EXPECT_EQ(0, db().pavaneStays);
}

TEST_F(SelectionOnWin32s, PavaneHasItsOldName) {
    Add("Pavane", DRIVER, {"PAVANE32.EXE"});
    Printer("A", "D", 0);
    Load();
    db().SelectForRemoval();
    EXPECT_TRUE(db().removal.files.Contains("PAVANE32.EXE"));
    EXPECT_EQ(1, db().pavaneStays);  // the Win32s utility is PAVANE.EXE

    db().profiles.Clear();
    Add("Pavane", DRIVER, {"PAVANE.EXE"});
    Load();
    db().SelectForRemoval();
    EXPECT_EQ(0, db().pavaneStays);
}
