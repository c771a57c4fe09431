// Finding the uninstall scripts, parsing them into profiles, and the combined profile.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "script/database.h"
#include "simwin/machine.h"

namespace {

typedef std::vector<std::string> Strings;

const char kDriverDir[] = "C:\\Windows\\System32\\spool\\drivers\\x64\\";
const char kProgramDir[] = "C:\\Program Files\\Vestral\\";
const char kSystemDir[] = "C:\\Windows\\System32\\";

Strings Texts(const CTextList& list) {
    Strings out;
    for (const char* t : list) out.push_back(t);
    return out;
}

class Parser : public ::testing::Test {
protected:
    simwin::Machine m;
    simwin::MachineScope scope{m};
    CUninstallDatabase db;

    std::string Script(const std::string& dir, const std::string& text) {
        std::string path = dir + "Kunz__04.unm";
        m.files.writeFile(path, text);
        return path;
    }
    int Parse(const std::string& text) { return db.ParseScript(Script(kDriverDir, text).c_str()); }
    Strings Names() const {
        Strings out;
        for (const CUninstallProfile& p : db.profiles) out.push_back(p.name);
        return out;
    }
    const CUninstallProfile& Profile(const char* name) {
        for (const CUninstallProfile& p : db.profiles)
            if (TextEqual(p.name.c_str(), name)) return p;
        ADD_FAILURE() << "no profile " << name;
        return db.combined;
    }
};

TEST_F(Parser, AMinimalScriptMakesOneDriverProfile) {
    ASSERT_EQ(1, Parse("[UnPrinterDrivers]\r\n\"Vestral X Driver\",VXDRV,1\r\n"
                       "[VXDRV.Files]\r\nb.dll\r\nA.DLL\r\na.dll\r\nx.dll=1\r\n"
                       "[vxdrv.services]\r\nVSpool\r\n"));
    ASSERT_EQ(1u, db.profiles.Count());
    const CUninstallProfile& p = db.profiles.Front();
    EXPECT_EQ("Vestral X Driver", p.name);
    EXPECT_EQ("VXDRV", p.section);
    EXPECT_EQ(1, p.number);
    EXPECT_EQ(0, p.isManufacturer + p.isCatchAll + p.isIgnore);
    EXPECT_EQ(std::string(kDriverDir) + "Kunz__04.unm", p.scriptPath);
    EXPECT_EQ((Strings{"Vestral X Driver"}), Texts(p.drivers));
    EXPECT_EQ((Strings{"A.DLL", "b.dll", "x.dll=1"}), Texts(p.files));
    EXPECT_EQ((Strings{"VSpool"}), Texts(p.services));
    EXPECT_TRUE(p.hooks.IsEmpty());
}

TEST_F(Parser, StarterEntriesOfEachKind) {
    ASSERT_EQ(1, Parse("[UnPrinterMfgs]\r\nName=Value\r\nVestral,VMFG\r\n"
                       "[UnPrinterDrivers]\r\nName=Value\r\n\"Quoted\", SPACED,12abc\r\nBare\r\n"
                       "[Unz_CatchAll]\r\nCatch,CA\r\n"
                       "[Unx_Ignore]\r\nIgnored,IG,x\r\n"
                       "[ SPACED.Files]\r\nspaced.dll\r\n[SPACED.Files]\r\nwrong.dll\r\n"
                       "[VMFG.Monitors]\r\nVMon\r\n[.Files]\r\nnobase.dll\r\n"));
    EXPECT_EQ((Strings{"Bare", "Catch", "Ignored", "Name", "Name=Value", "Quoted", "Vestral"}), Names());

    const CUninstallProfile& mfg = Profile("Name=Value");
    EXPECT_EQ(1, mfg.isManufacturer);
    EXPECT_TRUE(mfg.drivers.IsEmpty());
    EXPECT_EQ((Strings{"VMon"}), Texts(Profile("Vestral").monitors));

    const CUninstallProfile& quoted = Profile("Quoted");
    EXPECT_EQ(" SPACED", quoted.section);
    EXPECT_EQ(12, quoted.number);
    EXPECT_EQ((Strings{"spaced.dll"}), Texts(quoted.files));

    // A name without a section looks its categories up under ".Files" and so on.
    const CUninstallProfile& bare = Profile("Bare");
    EXPECT_EQ("", bare.section);
    EXPECT_EQ(0, bare.number);
    EXPECT_EQ((Strings{"nobase.dll"}), Texts(bare.files));
    EXPECT_EQ((Strings{"Bare"}), Texts(bare.drivers));

    EXPECT_EQ(1, Profile("Catch").isCatchAll);
    EXPECT_EQ((Strings{"Catch"}), Texts(Profile("Catch").drivers));
    EXPECT_EQ(1, Profile("Ignored").isIgnore);
    EXPECT_EQ(0, Profile("Ignored").number);
    EXPECT_EQ(0, Profile("Name").isManufacturer);
}

TEST_F(Parser, TheEarlierKindWinsWithinAScript) {
    ASSERT_EQ(1, Parse("[Unx_Ignore]\r\nSame,IG\r\n[UnPrinterDrivers]\r\nSame,DRV\r\nsame,DRV2\r\n"
                       "[UnPrinterMfgs]\r\nSAME,MFG\r\n"));
    ASSERT_EQ((Strings{"SAME"}), Names());
    EXPECT_EQ(1, db.profiles.Front().isManufacturer);
    EXPECT_EQ("MFG", db.profiles.Front().section);

    CUninstallDatabase other;
    m.files.writeFile("C:\\S\\Kunz__04.unm", "[UnPrinterDrivers]\r\nSame,FIRST\r\nsame,SECOND\r\n[Unz_CatchAll]\r\nSAME,CA\r\n");
    ASSERT_EQ(1, other.ParseScript("C:\\S\\Kunz__04.unm"));
    ASSERT_EQ(1u, other.profiles.Count());
    EXPECT_EQ("FIRST", other.profiles.Front().section);
}

TEST_F(Parser, TheScriptReadFirstWinsAndIsNotMerged) {
    Script(kDriverDir, "[UnPrinterDrivers]\r\nShared,A\r\n[A.Files]\r\nfrom-driver-dir.dll\r\n");
    Script(kProgramDir, "[UnPrinterDrivers]\r\nSHARED,B\r\nOwn,B\r\n[B.Files]\r\nfrom-program-dir.dll\r\n");
    CTextList scripts;
    db.FindAllScripts(scripts);
    // Reading order is text order of the full paths: C:\Program Files\... before C:\Windows\...
    ASSERT_EQ((Strings{std::string(kProgramDir) + "Kunz__04.unm", std::string(kDriverDir) + "Kunz__04.unm"}),
              Texts(scripts));
    for (const char* path : scripts) EXPECT_EQ(1, db.ParseScript(path));
    EXPECT_EQ((Strings{"Own", "SHARED"}), Names());
    EXPECT_EQ((Strings{"from-program-dir.dll"}), Texts(Profile("Shared").files));

    // A second pass over the same scripts keeps the first pass's profiles.
    for (const char* path : scripts) EXPECT_EQ(1, db.ParseScript(path));
    EXPECT_EQ((Strings{"Own", "SHARED"}), Names());
}

TEST_F(Parser, FailuresAddNothing) {
    EXPECT_EQ(0, db.ParseScript("C:\\S\\missing.unm"));
    EXPECT_EQ(0, Parse("[Other]\r\na=1\r\n[UnPrinterDrivers]\r\n"));  // starter sections without entries
    EXPECT_EQ(0, Parse(""));
    EXPECT_TRUE(db.profiles.IsEmpty());
    EXPECT_EQ(1, Parse("[Unx_Ignore]\r\nOnly,IG\r\n"));
    EXPECT_EQ((Strings{"Only"}), Names());
}

TEST_F(Parser, StarterSectionsAreCutAt260Characters) {
    std::string text = "[UnPrinterDrivers]\r\n";
    for (int i = 0; i < 8; ++i) text += "Driver" + std::string(33, static_cast<char>('a' + i)) + std::to_string(i) + "\r\n";
    ASSERT_EQ(1, Parse(text));
    ASSERT_EQ(6u, db.profiles.Count());  // 6 * 41 = 246 fits below 260, 7 * 41 = 287 does not
    EXPECT_EQ("Driver" + std::string(33, 'f') + "5", db.profiles.Back().name);

    // When not even the first entry fits, the section yields nothing.
    CUninstallDatabase other;
    m.files.writeFile("C:\\S\\Kunz__04.unm", "[UnPrinterDrivers]\r\n" + std::string(259, 'L') + "\r\n[Unz_CatchAll]\r\nC\r\n");
    ASSERT_EQ(1, other.ParseScript("C:\\S\\Kunz__04.unm"));
    ASSERT_EQ(1u, other.profiles.Count());
    EXPECT_EQ("C", other.profiles.Front().name);
}

TEST_F(Parser, CategorySectionsAreCutAt4096Characters) {
    std::string text = "[UnPrinterDrivers]\r\nD,S\r\n[S.Files]\r\n";
    for (int i = 0; i < 120; ++i) {
        char item[40];
        std::snprintf(item, sizeof item, "file%03d.%s", i, std::string(26, 'x').c_str());  // 34 characters
        text += std::string(item) + "\r\n";
    }
    ASSERT_EQ(1, Parse(text));
    // 35 characters per item with its NUL: 117 * 35 = 4095 is below 4096, 118 * 35 = 4130 is not.
    const CUninstallProfile& p = Profile("D");
    EXPECT_EQ(117u, p.files.Count());
    EXPECT_EQ("file116." + std::string(26, 'x'), std::string(p.files.Back()));
}

TEST_F(Parser, AnEmptyFirstEntryYieldsNothing) {
    ASSERT_EQ(1, Parse("[UnPrinterDrivers]\r\n=x\r\nHidden,H\r\n[UnPrinterMfgs]\r\nM,MS\r\n[MS.Files]\r\n=\r\nlost.dll\r\n"));
    EXPECT_EQ((Strings{"M"}), Names());
    EXPECT_TRUE(Profile("M").files.IsEmpty());
}

TEST_F(Parser, FindScriptsListsFilesOnlyAndRestoresTheProgramDirectory) {
    m.files.writeFile("C:\\Data\\Kunz__04.unm", "x");
    m.files.writeFile("C:\\Data\\other.unm", "x");
    m.files.makeDirectories("C:\\Dir\\kunz__04.unm");
    SetCurrentDirectoryA("C:\\Windows");
    CTextList found;
    db.FindScripts(found, "C:\\Data\\ignored-file-part.txt", "Kunz__04.unm");
    db.FindScripts(found, "C:\\Dir\\", "Kunz__04.unm");
    db.FindScripts(found, "C:\\Nowhere\\", "Kunz__04.unm");
    db.FindScripts(found, "", "Kunz__04.unm");
    EXPECT_EQ((Strings{"C:\\Data\\Kunz__04.unm"}), Texts(found));
    db.FindScripts(found, "C:\\Data\\", "*.unm");
    EXPECT_EQ(3u, found.Count());
    char current[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, current);
    EXPECT_STREQ("C:\\Program Files\\Vestral", current);
}

TEST_F(Parser, FindAllScriptsSearchesFourDirectoriesAndDropsCaseDuplicates) {
    Script(std::string(kDriverDir) + "3\\", "x");
    Script(kSystemDir, "x");
    Script(kDriverDir, "x");
    Script("C:\\Windows\\", "not searched");
    CTextList scripts;
    db.FindAllScripts(scripts);
    EXPECT_EQ((Strings{std::string(kSystemDir) + "Kunz__04.unm", std::string(kDriverDir) + "3\\Kunz__04.unm",
                       std::string(kDriverDir) + "Kunz__04.unm"}),
              Texts(scripts));

    // The program in the system directory, named in other letter case: its script is found once.
    m.system.program = "C:\\WINDOWS\\SYSTEM32\\korun04.exe";
    CTextList again;
    db.FindAllScripts(again);
    EXPECT_EQ(3u, again.Count());
}

TEST_F(Parser, CombinedProfileUnitesAllButIgnoreProfiles) {
    ASSERT_EQ(1, Parse("[UnPrinterMfgs]\r\nVestral,M\r\n[UnPrinterDrivers]\r\nD1,A\r\nD2,B\r\n"
                       "[Unx_Ignore]\r\nIgn,I\r\n[Unz_CatchAll]\r\nAll,C\r\n"
                       "[M.Files]\r\nm.dll\r\nshared.dll\r\n[A.Files]\r\nSHARED.DLL\r\na.dll\r\n[B.Files]\r\nb.dll\r\n"
                       "[I.Files]\r\nignored.dll\r\n[C.Services]\r\nsvc\r\n"));
    EXPECT_EQ(1, db.BuildCombinedProfile());
    EXPECT_EQ((Strings{"a.dll", "b.dll", "m.dll", "SHARED.DLL"}), Texts(db.combined.files));
    EXPECT_EQ((Strings{"All", "D1", "D2"}), Texts(db.combined.drivers));
    EXPECT_EQ((Strings{"svc"}), Texts(db.combined.services));
    EXPECT_EQ("", db.combined.name);
    EXPECT_EQ("", db.combined.scriptPath);

    CUninstallDatabase onlyIgnore;
    m.files.writeFile("C:\\S\\Kunz__04.unm", "[Unx_Ignore]\r\nIgn,I\r\n[I.Files]\r\ni.dll\r\n");
    ASSERT_EQ(1, onlyIgnore.ParseScript("C:\\S\\Kunz__04.unm"));
    EXPECT_EQ(0, onlyIgnore.BuildCombinedProfile());
    EXPECT_TRUE(onlyIgnore.combined.files.IsEmpty());
}

TEST_F(Parser, ThePavaneOption) {
    const char* text = "[UnPrinterDrivers]\r\nVX,V\r\n[UnPrinterMfgs]\r\n\"Pavane\",P,3\r\n"
                       "[V.Files]\r\nv.dll\r\npavane.dll\r\n[P.Files]\r\nPAVANE.DLL\r\nPAVANE32.EXE\r\n";
    ASSERT_EQ(1, Parse(text));
    db.BuildCombinedProfile();
    CUninstallDatabase unpav;
    ASSERT_EQ(1, unpav.ParseScript((std::string(kDriverDir) + "Kunz__04.unm").c_str()));
    unpav.BuildCombinedProfile();

    db.ApplyPavaneOption(0);
    EXPECT_EQ((Strings{"v.dll"}), Texts(db.combined.files));
    EXPECT_EQ((Strings{"VX"}), Texts(db.combined.drivers));

    unpav.ApplyPavaneOption(1);
    EXPECT_EQ("Pavane", unpav.combined.name);
    EXPECT_EQ("P", unpav.combined.section);
    EXPECT_EQ(3, unpav.combined.number);
    EXPECT_EQ(1, unpav.combined.isManufacturer);
    EXPECT_EQ((Strings{"PAVANE.DLL", "PAVANE32.EXE"}), Texts(unpav.combined.files));
    EXPECT_TRUE(unpav.combined.drivers.IsEmpty());

    // Without a Pavane profile nothing changes.
    CUninstallDatabase none;
    none.combined.files.Add("keep.dll");
    none.ApplyPavaneOption(1);
    EXPECT_EQ((Strings{"keep.dll"}), Texts(none.combined.files));
}

}  // namespace
