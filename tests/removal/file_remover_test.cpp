// The file removal: the system directories, the searched directory trees two levels deep, the OEM
// directories emptied and removed, locked files scheduled by the mechanism of each version class, and the
// directories that are never removed.
#include "simwin/pending_renames.h"
#include "removal/file_remover.h"

#include <string.h>

#include "support/removal_support.h"

namespace {

using removaltest::RemoverTest;

const char kSystem[] = "C:\\Windows\\System32\\";
const char kDrivers[] = "C:\\Windows\\System32\\spool\\drivers\\x64\\";

class FileRemover : public RemoverTest {
protected:
    explicit FileRemover(simwin::Platform platform = simwin::Platform::Nt) : RemoverTest(platform) {}
    void SetUp() override {
        Fill(directDirs, {kSystem, "C:\\Windows\\"});
        Fill(searchDirs, {kDrivers});
        database.remainingCount = 1;
    }
    bool Exists(const std::string& path) { return m.files.exists(path); }
};

TEST_F(FileRemover, FilesGoFromTheSystemDirectoriesAndTwoLevelsBelowTheSearchedOnes) {
    for (const std::string& p : {std::string(kSystem) + "vx.dll", std::string(kDrivers) + "vx.dll",
                                 std::string(kDrivers) + "3\\vx.dll", std::string(kDrivers) + "3\\a\\vx.dll",
                                 std::string(kDrivers) + "3\\a\\b\\vx.dll", std::string(kSystem) + "other.dll"})
        m.files.writeFile(p, "MZ");
    Fill(database.removal.files, {"vx.dll=1,2", "=nothing"});
    Learn();
    RemoveFiles(context);
    EXPECT_FALSE(Exists(std::string(kSystem) + "vx.dll"));
    EXPECT_FALSE(Exists(std::string(kDrivers) + "vx.dll"));
    EXPECT_FALSE(Exists(std::string(kDrivers) + "3\\vx.dll"));
    EXPECT_FALSE(Exists(std::string(kDrivers) + "3\\a\\vx.dll"));
    EXPECT_TRUE(Exists(std::string(kDrivers) + "3\\a\\b\\vx.dll"));  // three levels down: not searched
    EXPECT_TRUE(Exists(std::string(kDrivers) + "3\\a"));               // no directory is removed there
    EXPECT_TRUE(Exists(std::string(kSystem) + "other.dll"));
    EXPECT_EQ(0, database.restartNeeded);
    EXPECT_TRUE(simwin::pendingRenames(m.registry).empty());
}

// A directory named as the file is not entered: what lies inside it, at any depth, stays; a file of that
// name beside such a directory, or below a directory of another name, goes.
TEST_F(FileRemover, ADirectoryOfTheFilesNameIsNotEntered) {
    const std::string d = kDrivers;
    for (const std::string& p : {d + "VX.DLL\\vx.dll", d + "3\\vx.dll\\vx.dll", d + "vx.dll\\sub\\vx.dll",
                                 d + "3\\vx.dll.old\\vx.dll", d + "a\\b\\vx.dll", d + "3\\x\\VX.dll"})
        m.files.writeFile(p, "MZ");
    Fill(database.removal.files, {"vx.dll"});
    Learn();
    RemoveFiles(context);
    for (const std::string& stays : {d + "VX.DLL\\vx.dll", d + "3\\vx.dll\\vx.dll", d + "vx.dll\\sub\\vx.dll"})
        EXPECT_TRUE(Exists(stays)) << stays;
    for (const std::string& goes : {d + "3\\vx.dll.old\\vx.dll", d + "a\\b\\vx.dll", d + "3\\x\\VX.dll"})
        EXPECT_FALSE(Exists(goes)) << goes;
    EXPECT_TRUE(Exists(d + "3\\vx.dll"));  // the directory itself is no file of the list
}

TEST_F(FileRemover, ALockedFileIsScheduledAndARestartNeeded) {
    m.files.writeFile(std::string(kSystem) + "busy.dll", "MZ");
    m.files.setLocked(std::string(kSystem) + "busy.dll", true);
    Learn();
    RemoveFile(context, "busy.dll");
    EXPECT_TRUE(Exists(std::string(kSystem) + "busy.dll"));
    ASSERT_EQ(1u, simwin::pendingRenames(m.registry).size());
    EXPECT_TRUE(simwin::pendingRenames(m.registry)[0].to.empty());
    EXPECT_EQ(1, database.restartNeeded);
    EXPECT_EQ(1, context.pendingAtRestart);
}

TEST_F(FileRemover, OemDirectoriesAreEmptiedOfListedFilesAndRemovedOnceEmpty) {
    m.files.writeFile("C:\\Vestral\\Tools\\vx.dll", "MZ");
    m.files.writeFile("C:\\Vestral\\Tools\\Deep\\vx.dll", "MZ");
    m.files.writeFile("C:\\Vestral\\Keep\\vx.dll", "MZ");
    m.files.writeFile("C:\\Vestral\\Keep\\mine.txt", "notes");
    Fill(database.removal.oemPaths, {"C:\\Vestral\\Tools\\", "C:\\Vestral\\Keep\\"});
    Learn();
    RemoveFile(context, "vx.dll");
    EXPECT_FALSE(Exists("C:\\Vestral\\Tools"));
    EXPECT_FALSE(Exists("C:\\Vestral\\Keep\\vx.dll"));
    EXPECT_TRUE(Exists("C:\\Vestral\\Keep\\mine.txt"));
}

TEST_F(FileRemover, WindowsDirectoriesAndRootsAreNeverEmptiedAsOemPaths) {
    m.files.writeFile("C:\\Windows\\Fonts\\vx.dll", "MZ");
    m.files.writeFile("C:\\Program Files\\Common Files\\vx.dll", "MZ");
    m.files.writeFile("C:\\Windows\\System32\\spool\\drivers\\x64\\3\\Vestral\\vx.dll", "MZ");
    Fill(database.removal.oemPaths, {"C:\\", "C:\\Windows\\", "C:\\Program Files\\Vestral\\..\\", "\\\\server\\share\\",
                                     "C:\\Users\\", "C:\\Windows\\Fonts\\",
                                     "C:\\Windows\\System32\\spool\\drivers\\x64\\3\\Vestral\\"});
    Learn();
    RemoveFile(context, "vx.dll");
    EXPECT_TRUE(Exists("C:\\Windows\\Fonts\\vx.dll"));
    EXPECT_TRUE(Exists("C:\\Program Files\\Common Files\\vx.dll"));
    EXPECT_EQ(6u, m.transcript.count("debug: korun04: refused folder item"));
    // A directory of the family below the printing directories is emptied and removed.
    EXPECT_FALSE(Exists("C:\\Windows\\System32\\spool\\drivers\\x64\\3\\Vestral"));
}

// What may be emptied and removed as an OEM path, after "." and ".." are resolved: never a drive root, a
// share, a folder Windows or a user owns or one on the way to it; a family folder below them may go; never a
// relative path.
TEST_F(FileRemover, OemPathsThatAreRootsOrWindowsDirectoriesAfterResolvingAreRefused) {
    struct Case {
        const char* path;
        bool refused;
    };
    const Case cases[] = {
        {"C:\\", true},
        {"c:/", true},
        {"D:\\", true},
        {"C:", true},                      // the current directory of drive C:
        {"Vestral\\Tools\\", true},        // relative
        {"..\\Windows\\", true},
        {"\\\\server\\share", true},
        {"\\\\server\\share\\", true},
        {"//server/share/", true},
        {"\\\\server", true},
        {"\\\\server\\share\\Vestral\\", true},  // a share: no folder of this machine
        {"C:\\Windows", true},
        {"c:\\windows\\", true},
        {"C:\\Windows\\System32\\..\\", true},
        {"C:\\Program Files\\Vestral\\..\\", true},
        {"C:\\Program Files\\.\\", true},
        {"C:\\Program Files\\Vestral\\..\\..\\Windows\\Fonts\\", true},
        {"C:\\Program Files\\\\Vestral\\", false},
        {"C:\\Program Files\\Vestral\\Tools\\..\\", false},
        {"C:\\Vestral", false},
        {"C:\\Users", true},                                         // on the way to the user's folders
        {"C:\\Users\\Admin\\AppData\\Roaming\\", true},
        {"C:\\ProgramData\\Microsoft\\Windows\\Start Menu", true},  // on the way to the common programs
        {"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Vestral\\", false},
        {"C:\\Windows\\Temp\\Vestral\\", false},  // a folder of its own below the Windows directory
        {"C:\\Windows\\INF\\", true},
        {"C:\\Windows\\System32\\spool\\drivers\\x64", true},
        {"C:\\Windows\\System32\\spool\\drivers\\color\\Vestral\\", false},
        {"C:\\Windows\\System32\\spool\\drivers\\x64\\3\\Vestral\\", false},
        {"C:\\Windows\\System32\\spool\\drivers\\x64\\3\\Vestral\\..\\..\\..\\", true},
        {"C:\\Windows\\System32\\spool\\prtprocs\\x64\\Vestral\\", false},
    };
    m.files.makeDirectories("C:\\Vestral");  // a last part that names a folder is that folder
    Learn();
    for (const Case& c : cases) {
        std::string resolved = "x";
        const CRefusal why = keeper.OemDirectory(c.path, resolved);
        EXPECT_EQ(c.refused, static_cast<bool>(why)) << c.path << ": " << (why ? why.Text() : "allowed");
        if (!why)
            EXPECT_EQ(std::string::npos, resolved.find("..")) << resolved;  // what is worked on is resolved
        else
            EXPECT_EQ("", resolved);
    }
}

// A name of the files list that is not a plain file name (wildcards) or that names a directory is no file
// to delete: nothing is deleted or scheduled, and the directory keeps its attributes.
TEST_F(FileRemover, NamesWithWildcardsOrOfDirectoriesDeleteAndScheduleNothing) {
    m.files.writeFile(std::string(kSystem) + "a.dll", "MZ");
    m.files.writeFile(std::string(kDrivers) + "3\\vx.dll", "MZ");
    m.files.makeDirectories("C:\\Windows\\Fonts");
    m.files.find("C:\\Windows\\Fonts")->attributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM;
    Fill(database.removal.files, {"*.*", "*", "?.dll", "a.dl?", "Fonts", "3", "..", "."});
    Learn();
    RemoveFiles(context);
    EXPECT_TRUE(Exists(std::string(kSystem) + "a.dll"));
    EXPECT_TRUE(Exists(std::string(kDrivers) + "3\\vx.dll"));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM), m.files.find("C:\\Windows\\Fonts")->attributes);
    EXPECT_TRUE(simwin::pendingRenames(m.registry).empty()) << simwin::pendingRenames(m.registry)[0].from;
    EXPECT_EQ(0, database.restartNeeded);
    EXPECT_EQ(0, context.pendingAtRestart);
    EXPECT_EQ(4u, m.transcript.count("refused file item"));
}

TEST_F(FileRemover, NrestartGoesOnlyWithTheLastPrinterAndNoRestartNeeded) {
    m.files.writeFile(std::string(kSystem) + "NRESTART.EXE", "MZ");
    Learn();
    RemoveFiles(context);
    EXPECT_TRUE(Exists(std::string(kSystem) + "NRESTART.EXE"));  // a printer stays
    database.remainingCount = 0;
    database.restartNeeded = 1;
    Learn();
    RemoveFiles(context);
    EXPECT_TRUE(Exists(std::string(kSystem) + "NRESTART.EXE"));  // a restart is needed
    database.restartNeeded = 0;
    Learn();
    RemoveFiles(context);
    EXPECT_FALSE(Exists(std::string(kSystem) + "NRESTART.EXE"));
}

TEST_F(FileRemover, EmptyDirectoriesAndDriveRoots) {
    m.files.makeDirectories("C:\\Empty");
    EXPECT_EQ(1, IsDirectoryEmpty("C:\\Empty"));
    m.files.writeFile("C:\\Full\\a.txt", "a");
    EXPECT_EQ(0, IsDirectoryEmpty("C:\\Full"));
    EXPECT_EQ(0, IsDirectoryEmpty("C:\\"));
}

class Win98FileRemover : public FileRemover {
protected:
    Win98FileRemover() : FileRemover(simwin::Platform::Win9x) {}
    void SetUp() override {
        Fill(directDirs, {"C:\\WINDOWS\\SYSTEM\\"});
        database.remainingCount = 1;
    }
};

TEST_F(Win98FileRemover, LockedFilesGoIntoANewWininitIni) {
    ASSERT_EQ(3, context.osVersion.GetVersionClass());  // Windows 98
    for (const char* f : {"a.drv", "b.drv"}) {
        m.files.writeFile(std::string("C:\\WINDOWS\\SYSTEM\\") + f, "MZ");
        m.files.setLocked(std::string("C:\\WINDOWS\\SYSTEM\\") + f, true);
        Learn();
        RemoveFile(context, f);
    }
    EXPECT_EQ("[RENAME]\r\nNUL=C:\\WINDOWS\\SYSTEM\\a.drv\r\nNUL=C:\\WINDOWS\\SYSTEM\\b.drv\r\n",
              m.files.read("C:\\WINDOWS\\WININIT.INI"));
    EXPECT_EQ(1, database.restartNeeded);
    EXPECT_TRUE(simwin::pendingRenames(m.registry).empty());
}

}  // namespace

namespace {

// The files left below the driver directory.
std::vector<std::string> FilesBelow(simwin::Machine& m, const std::string& root) {
    std::vector<std::string> out;
    for (const std::string& p : {root + "a.dll", root + "s\\a.dll\\a.dll", root + "s\\a.dll\\b.dll", root + "s\\t\\a.dll",
                                 root + "s\\B.DLL", root + "s\\t\\u\\b.dll", root + "c.dll"})
        if (m.files.exists(p)) out.push_back(p);
    return out;
}

class IndexedFileStage : public removaltest::RemoverTest {};

// The file stage walks the searched trees once for the whole list; what it deletes is what a walk per name
// deletes, a directory named like a listed file included.
TEST_F(IndexedFileStage, DeletesExactlyWhatAWalkPerNameDeletes) {
    const std::string root = kDrivers;
    auto build = [&](simwin::Machine& machine) {
        // s\\a.dll is a directory holding a file a.dll: a walk for a.dll does not enter it.
        for (const char* f : {"a.dll", "s\\a.dll\\a.dll", "s\\a.dll\\b.dll", "s\\t\\a.dll", "s\\B.DLL",
                              "s\\t\\u\\b.dll", "c.dll"})
            machine.files.writeFile(root + f, "x");
    };
    build(m);
    Fill(searchDirs, {kDrivers});
    database.remainingCount = 1;
    Fill(database.removal.files, {"a.dll", "b.dll"});
    Learn();
    RemoveFiles(context);
    std::vector<std::string> indexed = FilesBelow(m, root);

    simwin::Machine other;
    simwin::MachineScope otherScope(other);
    build(other);
    Learn();
    RemoveFile(context, "a.dll");
    Learn();
    RemoveFile(context, "b.dll");
    EXPECT_EQ(FilesBelow(other, root), indexed);
    EXPECT_EQ(simwin::pendingRenames(other.registry).size(), simwin::pendingRenames(m.registry).size());
}

}  // namespace

namespace {

// The direct directories are listed once per stage too: a file named by its long or its short name, in any
// case, goes as it does when each name is tried by itself; a locked one is still scheduled.
TEST_F(IndexedFileStage, DirectDirectoriesFindNamesAsADeleteByNameDoes) {
    const std::string system = kSystem;
    auto build = [&](simwin::Machine& machine) {
        for (const char* f : {"Long Driver Name.dll", "plain.drv", "kept.dll", "busy.dll"})
            machine.files.writeFile(system + f, "MZ");
        machine.files.setLocked(system + "busy.dll", true);
    };
    build(m);
    char shortPath[MAX_PATH] = "";
    ASSERT_NE(0u, GetShortPathNameA((system + "Long Driver Name.dll").c_str(), shortPath, sizeof shortPath));
    const std::string alias = strrchr(shortPath, '\\') + 1;
    ASSERT_NE("Long Driver Name.dll", alias);
    Fill(directDirs, {kSystem});
    database.remainingCount = 1;
    Fill(database.removal.files, {alias.c_str(), "PLAIN.DRV", "busy.dll", "absent.dll"});
    Learn();
    RemoveFiles(context);
    EXPECT_FALSE(m.files.exists(system + "Long Driver Name.dll"));
    EXPECT_FALSE(m.files.exists(system + "plain.drv"));
    EXPECT_TRUE(m.files.exists(system + "kept.dll"));
    EXPECT_EQ(1u, simwin::pendingRenames(m.registry).size());
    EXPECT_EQ(1, database.restartNeeded);
}

}  // namespace
