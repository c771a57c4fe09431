// The script reader and the two in-place INI edits on real files: set up and checked with Win32 calls
// only, in a fresh directory below the temporary directory (removed after each test).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/platform.h"
#include "conformance/conformance_env.h"
#include "support/conformance_directory.h"
#include "script/database.h"
#include "script/script_file.h"

namespace {

typedef std::vector<std::string> Strings;

class ScriptConformance : public ConformanceDirectoryTest {
protected:
    std::string Path(const std::string& name) const { return path(name); }
    void Put(const std::string& name, const std::string& content) { put(name, content); }
    // The file's text, "<missing>" when it cannot be opened (an expected outcome here, not a failure).
    std::string Get(const std::string& name) const {
        HANDLE file = CreateFileA(Path(name).c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
        if (file == INVALID_HANDLE_VALUE) return "<missing>";
        std::string text(GetFileSize(file, NULL), '\0');
        DWORD read = 0;
        if (!text.empty()) ReadFile(file, &text[0], static_cast<DWORD>(text.size()), &read, NULL);
        CloseHandle(file);
        text.resize(read);
        return text;
    }
    static Strings Walk(char* list) {
        Strings out;
        for (char* item = list[0] ? list : nullptr; item; item = NextToken(item, 0)) out.push_back(item);
        return out;
    }
};

TEST_F(ScriptConformance, LoadsAWholeScriptWithEveryLineEnding) {
    Put("Kunz__04.unm",
        "; uninstall script\r\n[UnPrinterDrivers]\r\n\"Vestral X\",VX,1\n[VX.Files]\ra.dll\r\n\r\n"
        "  [Indented]\r\nb.dll = 2 ; note\r\nlast");
    CScriptFile doc;
    ASSERT_EQ(1, doc.LoadFile(Path("Kunz__04.unm").c_str()));
    char buffer[260] = {};
    EXPECT_EQ(17, doc.GetSectionKeys("unprinterdrivers", buffer, sizeof buffer));
    EXPECT_EQ((Strings{"\"Vestral X\",VX,1"}), Walk(buffer));
    char entries[260] = {};
    EXPECT_EQ(19, doc.GetSectionEntries("VX.FILES", entries, sizeof entries));
    EXPECT_EQ((Strings{"a.dll", "b.dll=2", "last"}), Walk(entries));
}

TEST_F(ScriptConformance, ScriptsThatCannotBeReadDoNotLoad) {
    CScriptFile missing;
    EXPECT_EQ(0, missing.LoadFile(Path("none.unm").c_str()));

    Put("empty.unm", "");
    CScriptFile empty;
    EXPECT_EQ(0, empty.LoadFile(Path("empty.unm").c_str()));

    // Held open by someone else who allows reading: the reader asks for sole access and is refused.
    Put("held.unm", "[UnPrinterDrivers]\r\nX\r\n");
    HANDLE other = CreateFileA(Path("held.unm").c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, other);
    CScriptFile held;
    EXPECT_EQ(0, held.LoadFile(Path("held.unm").c_str()));
    CloseHandle(other);
    CScriptFile released;
    EXPECT_EQ(1, released.LoadFile(Path("held.unm").c_str()));
}

TEST_F(ScriptConformance, SaveReplacesALongerFile) {
    Put("in.unm", "[A]\r\nx = 1\r\nbare\r\n");
    Put("out.unm", std::string(500, '#'));
    CScriptFile doc;
    ASSERT_EQ(1, doc.LoadFile(Path("in.unm").c_str()));
    EXPECT_EQ(1, doc.SaveFile(Path("out.unm").c_str()));
    EXPECT_EQ("[A]\r\nx=1\r\nbare\r\n\r\n", Get("out.unm"));
}

TEST_F(ScriptConformance, DeletingALineShortensTheFileInPlace) {
    const std::string before = "[boot]\r\nshell=x\r\n[windows]\r\nrun=\r\nload=x\r\nNullPort=None\r\n[after]\r\nz=1\r\n";
    Put("win.ini", before);
    std::string file = Path("win.ini");
    EXPECT_EQ(static_cast<DWORD>(before.find("load=x")), FindIniKey(file.c_str(), "Windows", "LOAD"));
    EXPECT_EQ(0u, FindIniKey(file.c_str(), "windows", "Port"));
    char key[] = "Load";
    EXPECT_EQ(1, DeleteIniKeyLine(file.c_str(), "windows", key));
    EXPECT_STREQ("load", key);
    std::string expected = before;
    expected.erase(before.find("load=x"), 8);
    EXPECT_EQ(expected, Get("win.ini"));
    char port[] = "Port";
    EXPECT_EQ(0, DeleteIniKeyLine(file.c_str(), "windows", port));
    EXPECT_EQ(expected, Get("win.ini"));
}

// A read-only file is refused the same way on Windows, but not under Wine run by root, where file
// permissions do not hold; the unit tests on simwin cover it.
TEST_F(ScriptConformance, AnIniFileOpenElsewhereIsLeftAlone) {
    const std::string text = "[windows]\r\nload=x\r\n";
    Put("open.ini", text);
    std::string open = Path("open.ini");
    // Open elsewhere without write sharing: the edits cannot open it for writing.
    HANDLE other = CreateFileA(open.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, other);
    char key[] = "load";
    EXPECT_EQ(0u, FindIniKey(open.c_str(), "windows", "load"));
    EXPECT_EQ(0, DeleteIniKeyLine(open.c_str(), "windows", key));
    CloseHandle(other);
    EXPECT_EQ(text, Get("open.ini"));
    EXPECT_NE(0u, FindIniKey(open.c_str(), "windows", "load"));
}

TEST_F(ScriptConformance, FindScriptsMatchesNamesInAnyCaseAndSkipsDirectories) {
    Put("KUNZ__04.UNM", "x");
    Put("other.unm", "x");
    ASSERT_TRUE(CreateDirectoryA(Path("sub").c_str(), NULL));
    ASSERT_TRUE(CreateDirectoryA(Path("sub\\Kunz__04.unm").c_str(), NULL));
    CUninstallDatabase db;
    CTextList found;
    db.FindScripts(found, (dir + "\\").c_str(), "Kunz__04.unm");
    db.FindScripts(found, Path("sub\\").c_str(), "Kunz__04.unm");
    ASSERT_EQ(1u, found.Count());
    EXPECT_EQ(Path("KUNZ__04.UNM"), std::string(found.Front()));

    // Afterwards the program's directory is the current directory.
    char program[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameA(NULL, program, sizeof program), 0u);
    std::string programDir = program;
    programDir.erase(programDir.find_last_of('\\'));
    char current[MAX_PATH] = {};
    ASSERT_GT(GetCurrentDirectoryA(sizeof current, current), 0u);
    std::string currentDir = current;
    if (currentDir.size() > 3 && currentDir.back() == '\\') currentDir.pop_back();
    EXPECT_EQ(0, lstrcmpiA(programDir.c_str(), currentDir.c_str())) << programDir << " / " << currentDir;
}

}  // namespace
