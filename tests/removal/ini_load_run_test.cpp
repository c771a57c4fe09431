// The INI and start-up removers: keys cut from the files of the Windows directory, Run values, and the
// Win32s Load line.
#include "removal/ini_remover.h"
#include "removal/load_run_remover.h"
#include "support/removal_support.h"

namespace {

using removaltest::RemoverTest;

const std::string kWinIni = "C:\\Windows\\win.ini";
const std::string kRun = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

class IniRemover : public RemoverTest {};

TEST_F(IniRemover, KeysGoFromTheFileOfThatNameInTheWindowsDirectory) {
    m.files.writeFile("C:\\Windows\\vestral.ini", "[Ports]\r\nVST1=x\r\nNullPort=None\r\n[Other]\r\nVST1=y\r\n");
    m.files.writeFile("D:\\Elsewhere\\vestral.ini", "[Ports]\r\nVST1=elsewhere\r\n");
    Fill(database.removal.deleteIni, {"D:\\Elsewhere\\vestral.ini,Ports,VST1,ignored", "vestral.ini,Ports", "vestral.ini,,VST1",
                                      "missing.ini,Ports,VST1"});
    Learn();
    RemoveIniEntries(context);
    EXPECT_EQ("[Ports]\r\nNullPort=None\r\n[Other]\r\nVST1=y\r\n", m.files.read("C:\\Windows\\vestral.ini"));
    EXPECT_EQ("[Ports]\r\nVST1=elsewhere\r\n", m.files.read("D:\\Elsewhere\\vestral.ini"));
    EXPECT_FALSE(m.files.exists("C:\\Windows\\missing.ini"));
}

// A key of a file another program holds open is there, and stays: the log says it failed, not that it
// was missing.
TEST_F(IniRemover, AKeyInAFileHeldOpenIsLoggedAsFailed) {
    m.files.writeFile("C:\\Windows\\vestral.ini", "[Ports]\r\nVST1=x\r\n");
    m.files.setLocked("C:\\Windows\\vestral.ini", true);
    Fill(database.removal.deleteIni, {"vestral.ini,Ports,VST1"});
    Learn();
    CRunLog log;
    context.log = &log;
    RemoveIniEntries(context);
    log.SetStage(-1);  // the end of the stage writes its item lines
    EXPECT_EQ(1u, log.Count(CRunLog::FAILED));
    EXPECT_EQ(0u, log.Count(CRunLog::NOT_THERE));
    EXPECT_EQ("[Ports]\r\nVST1=x\r\n", m.files.read("C:\\Windows\\vestral.ini"));
}

class RunValues : public RemoverTest {};

TEST_F(RunValues, ANamedValueOfTheRunKeyGoesAndOthersStay) {
    m.registry.setString(kRun, "Vestral Monitor", "vststat.exe");
    m.registry.setString(kRun, "Other", "other.exe");
    Fill(database.removal.deleteLoadRun, {"\"Vestral Monitor\",\"vststat.exe\"", "Other", ",x"});
    Fill(database.removal.files, {"vststat.exe"});  // the program the value starts is the family's
    Learn();
    RemoveLoadRunEntries(context);
    EXPECT_FALSE(m.registry.hasValue(kRun, "Vestral Monitor"));
    EXPECT_TRUE(m.registry.hasValue(kRun, "Other"));  // an item without a pattern is skipped
    EXPECT_EQ(1, AddLoadRunEntry(context, "NWININIT", "nrestart.exe -d"));
    EXPECT_EQ("nrestart.exe -d", m.registry.getString(kRun, "NWININIT"));
}

class LoadLine : public RemoverTest {
protected:
    LoadLine() : RemoverTest(simwin::Platform::Win32s) {}
    // The line as the file holds it (a profile read drops trailing blanks).
    std::string Written() {
        std::string ini = m.files.read("C:\\WINDOWS\\WIN.INI");
        size_t at = ini.find("load=");
        return at == std::string::npos ? "?" : ini.substr(at + 5, ini.find_first_of("\r\n", at) - at - 5);
    }
    std::string Line() {
        char line[256] = "";
        GetProfileStringA("windows", "load", "", line, sizeof line);
        return line;
    }
    int Remove(const char* line, const char* pattern) {
        WriteProfileStringA("windows", "load", line);
        char text[64];
        CopyText(text, pattern);
        Fill(database.removal.files, {"b.exe", "c.exe"});  // the commands are the family's programs
        Learn();
        return RemoveLoadRunEntry(context, "unused", text);
    }
};

TEST_F(LoadLine, ACommandGoesFromTheLineInLowerCase) {
    ASSERT_TRUE(context.osVersion.IsWin32s());
    EXPECT_NE(0, Remove("a.exe b.exe c.exe", "b.exe"));
    EXPECT_EQ("a.exe c.exe", Line());
    EXPECT_EQ(0, Remove("a.exe b.exe c.exe", "b"));  // not a whole command
    EXPECT_EQ("a.exe b.exe c.exe", Line());
    EXPECT_NE(0, Remove("a.exe b.exe c.exe", "C.EXE"));
    EXPECT_EQ("a.exe b.exe ", Written());  // the space before a command that ends the line stays
    EXPECT_NE(0, Remove("A.EXE B.EXE", "b.exe"));
    EXPECT_EQ("a.exe ", Written());
    // A command is found only where a word starts: "b.exe" is not the end of "ab.exe".
    EXPECT_NE(0, Remove("ab.exe b.exe", "b.exe"));
    EXPECT_EQ("ab.exe ", Written());
    EXPECT_EQ(0, Remove("ab.exe xb.exe", "b.exe"));
    EXPECT_EQ("ab.exe xb.exe", Line());
}

TEST_F(LoadLine, AddingACommandAppendsItOnce) {
    WriteProfileStringA("windows", "load", "a.exe");
    AddLoadRunEntry(context, NULL, "nrestart.exe -d");
    AddLoadRunEntry(context, NULL, "nrestart.exe -d");
    EXPECT_EQ("a.exe nrestart.exe -d", Line());
}

}  // namespace
