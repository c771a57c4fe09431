#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/path_parts.h"
#include "simwin/machine.h"

namespace {

std::string Joined(const CPathParts& p) { return std::string(p.drive) + p.dir + p.fname + p.ext; }

std::string ResolvedText(int code) {
    CPathParts p;
    EXPECT_EQ(1, p.Resolve(code));
    return Joined(p);
}

void ExpectAllEmpty(const CPathParts& p) {
    EXPECT_STREQ("", p.drive);
    EXPECT_STREQ("", p.dir);
    EXPECT_STREQ("", p.fname);
    EXPECT_STREQ("", p.ext);
    EXPECT_STREQ("", p.path);
}

class PathPartsNt : public ::testing::Test {
protected:
    simwin::Machine m;
    simwin::MachineScope scope{m};
};

TEST_F(PathPartsNt, EveryLocationCodeResolvesToItsDirectory) {
    const std::string user = "C:\\Users\\Admin\\";
    const std::string userMenu = user + "AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\";
    const std::string commonMenu = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\";
    const struct {
        int code;
        std::string text;
    } cases[] = {
        {MODULEFILE, "C:\\Program Files\\Vestral\\korun04.exe"},
        {MODULEDIR, "C:\\Program Files\\Vestral\\"},
        {WINDIR, "C:\\Windows\\"},
        {SYSDIR, "C:\\Windows\\System32\\"},
        {TEMPDIR, user + "AppData\\Local\\Temp\\"},
        {DESKTOP, user + "Desktop\\"},
        {FAVORITES, user + "Favorites\\"},
        {APPDATA, user + "AppData\\Roaming\\"},
        {FONTS, "C:\\Windows\\Fonts\\"},
        {PERSONAL, user + "Documents\\"},
        {PROGRAMS, userMenu + "Programs\\"},
        {STARTMENU, userMenu},
        {STARTUP_FOLDER, userMenu + "Programs\\Startup\\"},
        {COMMON_STARTUP, commonMenu + "Programs\\Startup\\"},
        {PRINTDRIVERDIR, "C:\\Windows\\System32\\spool\\drivers\\x64\\"},
        {PRINTDRIVERDIR_W40, "C:\\Windows\\System32\\spool\\drivers\\WIN40\\"},
        {PRINTPROCDIR, "C:\\Windows\\System32\\spool\\prtprocs\\x64\\"},
        {PRINTPROCDIR_W40, "C:\\Windows\\System32\\spool\\prtprocs\\x64\\"},
        {PROGRAM_FILES, "C:\\Program Files\\"},
        {COMMON_PROGRAMS, commonMenu + "Programs\\"},
        {COLORDIR, "C:\\Windows\\System32\\spool\\drivers\\color\\"},
        {CURDIR, "C:\\Program Files\\Vestral\\"},
        {INFDIR, "C:\\Windows\\INF\\"},
    };
    for (auto& c : cases) EXPECT_EQ(c.text, ResolvedText(c.code)) << "code " << c.code;
}

TEST_F(PathPartsNt, CodesOutsideTheTableAndPrintersFolderLeaveEverythingEmpty) {
    for (int code : {0, 36, -1, 1000, static_cast<int>(PRINTERS_FOLDER)}) {
        CPathParts p;
        strcpy(p.path, "stale");
        EXPECT_EQ(1, p.Resolve(code)) << code;
        ExpectAllEmpty(p);
    }
}

TEST_F(PathPartsNt, ProgramDirectoryAlsoFillsPathAndProgramFileLeavesItEmpty) {
    CPathParts dir;
    dir.Resolve(MODULEDIR);
    EXPECT_STREQ("C:", dir.drive);
    EXPECT_STREQ("\\Program Files\\Vestral\\", dir.dir);
    EXPECT_STREQ("", dir.fname);
    EXPECT_STREQ("", dir.ext);
    EXPECT_STREQ("C:\\Program Files\\Vestral\\", dir.path);

    CPathParts file;
    file.Resolve(MODULEFILE);
    EXPECT_STREQ("korun04", file.fname);
    EXPECT_STREQ(".exe", file.ext);
    EXPECT_STREQ("", file.path);
}

TEST_F(PathPartsNt, DirectoriesWithoutTrailingBackslashGetOne) {
    m.system.windowsDir = "C:\\WinNT";
    m.files.makeDirectories("C:\\WinNT");
    CPathParts p;
    p.Resolve(WINDIR);
    EXPECT_STREQ("\\WinNT\\", p.dir);
    EXPECT_STREQ("", p.fname);
}

TEST_F(PathPartsNt, AppendSubdirectoryAfterDriverDirectory) {
    CPathParts p;
    p.Resolve(PRINTDRIVERDIR);
    EXPECT_STREQ("C:\\Windows\\System32\\spool\\drivers\\x64\\3\\", p.AppendSubdirectory("3"));
    EXPECT_STREQ("C:\\Windows\\System32\\spool\\drivers\\x64\\3\\", p.path);
    // A subdirectory that already ends with a backslash gets no second one; empty changes nothing.
    EXPECT_STREQ("C:\\Windows\\System32\\spool\\drivers\\x64\\3\\a\\", p.AppendSubdirectory("a\\"));
    EXPECT_STREQ("C:\\Windows\\System32\\spool\\drivers\\x64\\3\\a\\", p.AppendSubdirectory(""));
    EXPECT_STREQ("C:\\Windows\\System32\\spool\\drivers\\x64\\3\\a\\", p.DirectoryPath());
}

TEST_F(PathPartsNt, SpoolerDirectoriesAreEmptyWhileTheSpoolerDoesNotAnswer) {
    m.services.setSpoolerState("unresponsive");
    CPathParts p;
    p.Resolve(PRINTDRIVERDIR);
    ExpectAllEmpty(p);
    p.Resolve(PRINTPROCDIR);
    ExpectAllEmpty(p);
}

TEST_F(PathPartsNt, TemporaryFileIsCreatedWithTildePrefix) {
    CPathParts p;
    p.Resolve(TEMPFILE);
    EXPECT_STREQ("C:", p.drive);
    EXPECT_STREQ("\\Users\\Admin\\AppData\\Local\\Temp\\", p.dir);
    EXPECT_EQ(0, strncmp(p.fname, "~~", 2));
    EXPECT_STREQ(".TMP", p.ext);
    EXPECT_TRUE(m.files.exists(Joined(p)));
    CPathParts second;
    second.Resolve(TEMPFILE);
    EXPECT_NE(Joined(p), Joined(second));
}

TEST_F(PathPartsNt, ShellFolderThatDoesNotFitIsDropped) {
    m.system.shellFolders[CSIDL_DESKTOP] = "C:\\" + std::string(255, 'x');  // 258 characters: fits
    m.system.shellFolders[CSIDL_FAVORITES] = "C:\\" + std::string(256, 'x');  // 259: does not
    EXPECT_EQ(0, ResolvedText(DESKTOP).compare(0, 5, "C:\\xx"));
    EXPECT_EQ("", ResolvedText(FAVORITES));
}

TEST_F(PathPartsNt, MissingShellFolderIsEmpty) {
    m.system.shellFolders.erase(CSIDL_COMMON_ALTSTARTUP);
    EXPECT_EQ("", ResolvedText(COMMON_ALTSTARTUP));
}

TEST_F(PathPartsNt, FileExistsComposesThePartsAndIgnoresDirectories) {
    m.files.writeFile("C:\\Windows\\System32\\a.dll", "x");
    CPathParts p;
    p.Resolve(SYSDIR);
    strcpy(p.fname, "a");
    strcpy(p.ext, ".dll");
    EXPECT_EQ(1, p.FileExists());
    EXPECT_STREQ("C:\\Windows\\System32\\a.dll", p.path);
    strcpy(p.fname, "b");
    EXPECT_EQ(0, p.FileExists());
    p.Resolve(WINDIR);
    strcpy(p.fname, "System32");
    EXPECT_EQ(0, p.FileExists());
}

TEST_F(PathPartsNt, SearchFileFindsInTheProgramDirectoryFirst) {
    m.files.writeFile("C:\\Program Files\\Vestral\\tool.dll", "1");
    m.files.writeFile("C:\\Windows\\System32\\tool.dll", "2");
    m.files.writeFile("C:\\Windows\\System32\\only.dll", "3");
    CPathParts p;
    strcpy(p.fname, "tool");
    strcpy(p.ext, ".dll");
    EXPECT_EQ(1, p.SearchFile(NULL));
    EXPECT_STREQ("\\Program Files\\Vestral\\", p.dir);
    strcpy(p.fname, "only");
    EXPECT_EQ(1, p.SearchFile(NULL));
    EXPECT_STREQ("\\Windows\\System32\\", p.dir);
    strcpy(p.fname, "none");
    EXPECT_EQ(0, p.SearchFile(NULL));
    EXPECT_STREQ("\\Windows\\System32\\", p.dir);  // unchanged on failure
}

TEST(PathParts9x, ColourDirectoryFallsBackToSystemColorAndIsCreated) {
    simwin::Machine m(simwin::Platform::Win9x);
    simwin::MachineScope scope(m);
    EXPECT_FALSE(m.files.exists("C:\\WINDOWS\\SYSTEM\\Color"));
    EXPECT_EQ("C:\\WINDOWS\\SYSTEM\\Color\\", ResolvedText(COLORDIR));
    EXPECT_TRUE(m.files.isDirectory("C:\\WINDOWS\\SYSTEM\\Color"));
    // An existing colour directory is used as it is, and the current directory is restored.
    std::string before = m.files.currentDirectory;
    EXPECT_EQ("C:\\WINDOWS\\SYSTEM\\Color\\", ResolvedText(COLORDIR));
    EXPECT_EQ(before, m.files.currentDirectory);
    EXPECT_EQ("C:\\WINDOWS\\SYSTEM\\", ResolvedText(PRINTDRIVERDIR));
}

TEST(PathPartsWin32s, ShellFoldersAreEmpty) {
    simwin::Machine m(simwin::Platform::Win32s);
    simwin::MachineScope scope(m);
    m.system.shellFolders[CSIDL_DESKTOP] = "C:\\WINDOWS\\Desktop";  // even when the folder is known
    for (int code : {DESKTOP, PROGRAMS, STARTMENU, COMMON_PROGRAMS, PROGRAM_FILES}) EXPECT_EQ("", ResolvedText(code));
    EXPECT_EQ("C:\\WINDOWS\\", ResolvedText(WINDIR));
}

class FindOemProgramTest : public PathPartsNt {
protected:
    const std::string key = "HKEY_LOCAL_MACHINE\\SOFTWARE\\VESTRAL\\OEM\\OEMPaths";
};

TEST_F(FindOemProgramTest, FindsTheFileWithAndWithoutTrailingBackslash) {
    m.registry.setString(key, "a", "C:\\Vestral\\A");
    m.registry.setString(key, "b", "C:\\Vestral\\B\\");
    m.files.writeFile("C:\\Vestral\\B\\PAVANE32.EXE", "x");
    m.files.writeFile("C:\\Vestral\\A\\PAVANE.EXE", "x");
    char out[MAX_PATH] = "";
    EXPECT_EQ(1, FindOemProgram(out, "PAVANE32.EXE"));
    EXPECT_STREQ("C:\\Vestral\\B\\PAVANE32.EXE", out);
    EXPECT_EQ(1, FindOemProgram(out, "PAVANE.EXE"));
    EXPECT_STREQ("C:\\Vestral\\A\\PAVANE.EXE", out);
    EXPECT_EQ(0u, m.handles.openCount());
}

TEST_F(FindOemProgramTest, FirstListedDirectoryHoldingTheFileWins) {
    m.registry.setString(key, "z", "C:\\Second");
    m.registry.setString(key, "a", "C:\\Third");
    m.files.writeFile("C:\\Second\\p.exe", "x");
    m.files.writeFile("C:\\Third\\p.exe", "x");
    char out[MAX_PATH] = "";
    EXPECT_EQ(1, FindOemProgram(out, "p.exe"));
    EXPECT_STREQ("C:\\Second\\p.exe", out);  // value order, not name order
}

TEST_F(FindOemProgramTest, MissingKeyMissingFileAndLockedFileGiveZero) {
    char out[MAX_PATH] = "unchanged";
    EXPECT_EQ(0, FindOemProgram(out, "p.exe"));
    m.registry.setString(key, "a", "C:\\Dir");
    EXPECT_EQ(0, FindOemProgram(out, "p.exe"));
    m.files.writeFile("C:\\Dir\\p.exe", "x");
    m.files.setLocked("C:\\Dir\\p.exe", true);
    EXPECT_EQ(0, FindOemProgram(out, "p.exe"));
    EXPECT_STREQ("unchanged", out);
}

TEST_F(FindOemProgramTest, ValueTooLongIsSkippedAndTheSearchGoesOn) {
    m.registry.setString(key, "a", "C:\\" + std::string(300, 'x'));
    m.registry.setString(key, "b", "C:\\Ok");
    m.files.writeFile("C:\\Ok\\p.exe", "x");
    char out[MAX_PATH] = "";
    EXPECT_EQ(1, FindOemProgram(out, "p.exe"));
    EXPECT_STREQ("C:\\Ok\\p.exe", out);
}

}  // namespace
