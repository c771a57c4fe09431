// Path text as Windows reads it: full paths with device prefixes and dots, 8.3 names and their aliases, the
// aliases a directory's entries get and how paths reach files by them; and the UTF-8 / UTF-16 conversions of
// kernel32 beyond ASCII.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "simwin/paths.h"
#include "simwin/win32.h"
#include "support/temp_machine.h"

TEST(Paths, FullPathsAsGetFullPathNameMakesThem) {
    struct Case {
        const char* name;
        const char* full;
    };
    const Case cases[] = {
        {"C:\\a\\.\\b\\..\\c", "C:\\a\\c"},
        {"c:/A//B/", "c:\\A\\B\\"},
        {"C:\\..\\..\\x", "C:\\x"},
        {"C:\\test.\\file", "C:\\test\\file"},
        {"C:\\test..\\file", "C:\\test.\\file"},  // one dot goes (Wine, and Windows before Vista; Vista keeps both)
        {"C:\\test. \\file", "C:\\test. \\file"},
        {"C:\\a\\b. . ", "C:\\a\\b"},
        {"C:\\a \\.b\\..c\\d e", "C:\\a \\.b\\..c\\d e"},  // written as it would be written already
        {"C:\\a\\b\\", "C:\\a\\b\\"},
        {"C:\\a\\...", "C:\\a\\"},
        {"C:\\Windows\\...\\x", "C:\\Windows\\..\\x"},
        {"\\\\?\\C:\\a\\..\\b", "\\\\?\\C:\\b"},
        {"\\\\?\\C:\\a.\\b.", "\\\\?\\C:\\a\\b"},
        {"\\\\?\\C:\\Windows\\..\\..\\x", "\\\\?\\x"},  // ".." may eat the drive after a device prefix
        {"\\\\.\\C:\\x\\", "\\\\.\\C:\\x\\"},
        {"\\\\.", "\\\\.\\"},
        {"//?/C:/a/../b", "\\\\?\\C:\\b"},
        {"\\\\server\\share\\..\\..\\x", "\\\\server\\share\\x"},
        {"x.ini", "C:\\Windows\\System32\\x.ini"},
        {"..", "C:\\Windows"},
        {"\\x", "C:\\x"},
        {"C:x", "C:\\Windows\\System32\\x"},
        {"D:x", "D:\\x"},
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.full, simwin::win32FullPath(c.name, "C:\\Windows\\System32"));
    }
    EXPECT_EQ("\\\\?\\", simwin::devicePrefix("//?/C:/x"));
    EXPECT_EQ("\\\\.\\", simwin::devicePrefix("\\\\.\\COM1"));
    EXPECT_EQ("", simwin::devicePrefix("\\\\server\\x"));
}

TEST(Paths, ShortNamesAndTheirAliases) {
    struct Case {
        const char* name;
        bool isShort;
        const char* alias1;  // the first alias, for a long name
    };
    const Case cases[] = {
        {"KERNEL32.DLL", true, ""},
        {"drivers", true, ""},
        {"a.b", true, ""},
        {".", true, ""},
        {"Program Files", false, "PROGRA~1"},
        {"ProgramData", false, "PROGRA~1"},
        {"abc.defgh", false, "ABC~1.DEF"},
        {"a.b.c", false, "AB~1.C"},
        {"ab cd.e", false, "ABCD~1.E"},
        {"x+y=z.txt", false, "X_Y_Z~1.TXT"},
        {".hidden", false, "HIDDEN~1"},
        {"Kunz__04.unm", true, ""},
        {"korun04-files-1234", false, "KORUN0~1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.isShort, simwin::isShortName(c.name));
        if (!c.isShort) EXPECT_EQ(c.alias1, simwin::shortNameCandidate(c.name, 1));
    }
    EXPECT_EQ("PROGR~12", simwin::shortNameCandidate("Program Files", 12));
}

// A directory's long names get "~1", "~2", ... in name order; a name made later takes the next free one; a
// renamed entry gets a new alias. Paths reach files by aliases, and the short and long path functions
// translate both ways.
TEST(Paths, AliasesOfADirectoryAndPathsThatUseThem) {
    simwin::Machine m;
    simwin::MachineScope scope(m);
    m.files.makeDirectories("C:\\ProgramData");
    m.files.writeFile("C:\\Program Files\\Vestral\\vststat.exe", "x");
    EXPECT_EQ("PROGRA~1", m.files.aliasOf(*m.files.find("C:\\Program Files")));
    EXPECT_EQ("PROGRA~2", m.files.aliasOf(*m.files.find("C:\\ProgramData")));
    ASSERT_TRUE(CreateDirectoryA("C:\\Programs of Acme", NULL));
    EXPECT_EQ("PROGRA~3", m.files.aliasOf(*m.files.find("C:\\Programs of Acme")));
    EXPECT_EQ("PROGRA~1", m.files.aliasOf(*m.files.find("C:\\Program Files")));  // kept

    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\PROGRA~1\\Vestral\\vststat.exe"));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("c:\\progra~1\\VESTRAL\\VSTSTAT.EXE"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\PROGRA~9\\Vestral\\vststat.exe"));

    char buf[MAX_PATH];
    ASSERT_EQ(std::strlen("C:\\PROGRA~1\\Vestral\\vststat.exe"),
              GetShortPathNameA("C:\\Program Files\\Vestral\\vststat.exe", buf, sizeof buf));
    EXPECT_STREQ("C:\\PROGRA~1\\Vestral\\vststat.exe", buf);
    ASSERT_GT(GetLongPathNameA("C:\\PROGRA~2\\..\\PROGRA~1\\Vestral", buf, sizeof buf), 0u);
    EXPECT_STREQ("C:\\ProgramData\\..\\Program Files\\Vestral", buf);
    ASSERT_GT(GetLongPathNameA("\\\\?\\C:\\PROGRA~1", buf, sizeof buf), 0u);
    EXPECT_STREQ("\\\\?\\C:\\Program Files", buf);
    SetCurrentDirectoryA("C:\\Program Files");
    ASSERT_GT(GetShortPathNameA("Vestral\\vststat.exe", buf, sizeof buf), 0u);
    EXPECT_STREQ("Vestral\\vststat.exe", buf);  // relative stays relative

    WIN32_FIND_DATAA d;
    HANDLE h = FindFirstFileA("C:\\Program*", &d);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_STREQ("Program Files", d.cFileName);
    EXPECT_STREQ("PROGRA~1", d.cAlternateFileName);
    FindClose(h);
    h = FindFirstFileA("C:\\Program Files\\Vestral", &d);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_STREQ("", d.cAlternateFileName);  // an 8.3 name has none
    FindClose(h);

    SetCurrentDirectoryA("C:\\");
    ASSERT_TRUE(MoveFileA("C:\\Program Files", "C:\\Progress Files"));
    EXPECT_EQ("PROGRE~1", m.files.aliasOf(*m.files.find("C:\\Progress Files")));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\PROGRA~1"));
}

// The short and long path functions on components a full path would change or refuse: a trailing dot or
// blank is dropped before the component is found (and the found name written), a file on the way or a
// forbidden character finds nothing; separators, "." and ".." stay as written.
TEST(Paths, ShortAndLongPathsOfOddComponents) {
    simwin::Machine m;
    simwin::MachineScope scope(m);
    m.files.makeDirectories("C:\\Long Folder\\Inner Folder");
    m.files.writeFile("C:\\Long Folder\\file.txt", "x");
    struct Case {
        bool toShort;
        const char* path;
        const char* converted;  // nullptr: fails with ERROR_FILE_NOT_FOUND
    };
    const Case cases[] = {
        {false, "C:\\LONGFO~1\\INNERF~1", "C:\\Long Folder\\Inner Folder"},
        {false, "C:\\LONGFO~1.\\INNERF~1", "C:\\Long Folder\\Inner Folder"},
        {false, "C:\\Long Folder \\Inner Folder", "C:\\Long Folder\\Inner Folder"},
        {false, "C:\\long folder.", "C:\\Long Folder"},
        {false, "C:/long folder/./INNERF~1/", "C:/long folder/./Inner Folder/"},
        {false, "C:\\Long Folder\\Inner Folder\\..\\..\\..\\LONGFO~1", "C:\\Long Folder\\Inner Folder\\..\\..\\..\\Long Folder"},
        {false, "C:\\Long Folder\\file.txt\\more", nullptr},
        {false, "C:\\Long Folder\\a?b", nullptr},
        {false, "C:\\Long Folder\\missing\\file.txt", nullptr},
        {true, "C:\\Long Folder\\Inner Folder\\..\\file.txt", "C:\\LONGFO~1\\INNERF~1\\..\\file.txt"},
        {true, "C:\\Long Folder \\file.txt", "C:\\LONGFO~1\\file.txt"},
        {true, "C:\\Long Folder\\file.txt.", "C:\\LONGFO~1\\file.txt"},
        {true, "C:\\Long Folder\\fi|e.txt", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        char buf[MAX_PATH];
        std::memset(buf, 0xbd, sizeof buf);
        SetLastError(0xdeadbeef);
        const DWORD n = c.toShort ? GetShortPathNameA(c.path, buf, sizeof buf) : GetLongPathNameA(c.path, buf, sizeof buf);
        if (!c.converted) {
            EXPECT_EQ(0u, n);
            EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
            continue;
        }
        ASSERT_EQ(std::strlen(c.converted), n);
        EXPECT_STREQ(c.converted, buf);
        EXPECT_EQ(0xdeadbeefu, GetLastError());
    }
}

// Beyond ASCII: simwin's ANSI text is UTF-8, so the conversions are UTF-8 <-> UTF-16, surrogate pairs included;
// what is not UTF-8 becomes U+FFFD, or fails when the caller asks.
TEST(Paths, Utf8AndUtf16) {
    simwin::Machine m;
    simwin::MachineScope scope(m);
    const char text[] = "\xE3\x83\x97\xE3\x83\xAA\xF0\x9F\x96\xA8";  // "プリ" and U+1F5A8 (a printer)
    WCHAR wide[16];
    ASSERT_EQ(5, MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 16));
    EXPECT_EQ(0x30D7, wide[0]);
    EXPECT_EQ(0x30EA, wide[1]);
    EXPECT_EQ(0xD83D, wide[2]);
    EXPECT_EQ(0xDDA8, wide[3]);
    char back[16];
    ASSERT_EQ(11, WideCharToMultiByte(CP_UTF8, 0, wide, -1, back, sizeof back, NULL, NULL));
    EXPECT_STREQ(text, back);

    ASSERT_EQ(3, MultiByteToWideChar(CP_ACP, 0, "a\xFF" "b", 3, wide, 16));
    EXPECT_EQ(0xFFFD, wide[1]);
    SetLastError(0);
    EXPECT_EQ(0, MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, "a\xFF" "b", 3, wide, 16));
    EXPECT_EQ(DWORD(ERROR_NO_UNICODE_TRANSLATION), GetLastError());
    const WCHAR lone[] = {0xD800, 'x', 0};
    EXPECT_EQ(5, WideCharToMultiByte(CP_ACP, 0, lone, -1, back, sizeof back, NULL, NULL));
    EXPECT_EQ(0, WideCharToMultiByte(CP_ACP, WC_ERR_INVALID_CHARS, lone, -1, back, sizeof back, NULL, NULL));
    BOOL usedDefault = TRUE;
    EXPECT_EQ(2, WideCharToMultiByte(CP_ACP, 0, lone + 1, -1, back, sizeof back, "?", &usedDefault));
    EXPECT_FALSE(usedDefault);
    SetLastError(0);
    EXPECT_EQ(0, WideCharToMultiByte(CP_UTF8, 0, lone + 1, -1, back, sizeof back, "?", NULL));
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_EQ(0, MultiByteToWideChar(932, 0, "a", -1, wide, 16));  // only the UTF-8 code pages
}
