// The string table served by LoadStringA, and CTextResources: the ring of results and the INI redirection.
#include <gtest/gtest.h>

#include <string>

#include "simwin/machine.h"
#include "ui/text_resources.h"

namespace {

TEST(StringTable, HoldsEveryTextTheToolLoads) {
    const UINT ids[] = {51,  151, 152, 153, 156, 158, 159, 160, 161, 162, 163, 164, 165, 167, 168,
                        169, 170, 171, 172, 173, 174, 175, 176, 177, 178, 179, 180, 181, 182, 183,
                        184, 185, 186, 187, 188, 189, 195, 196, 197, 198, 199, 200, 201, 202, 206,
                        310, 311, 312, 313, 314, 315, 316, 317, 318, 320};
    char buffer[512];
    for (UINT id : ids) EXPECT_GT(LoadStringA(NULL, id, buffer, sizeof buffer), 0) << id;

    ASSERT_EQ(45, LoadStringA(NULL, 51, buffer, sizeof buffer));
    EXPECT_STREQ("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", buffer);
    LoadStringA(NULL, 161, buffer, sizeof buffer);
    EXPECT_STREQ("アンインストール", buffer);
    LoadStringA(NULL, 185, buffer, sizeof buffer);
    EXPECT_STREQ("Halcyon", buffer);
    LoadStringA(NULL, 160, buffer, sizeof buffer);
    EXPECT_STREQ("通常使用するプリンタが削除されました。\n '%s' が新たに通常使用するプリンタに設定されました。", buffer);
    LoadStringA(NULL, 200, buffer, sizeof buffer);
    EXPECT_STREQ("プリンタのアンインストールはほぼ終わりました \n アンインストール処理を完了するには再起動してください\n\n"
                 " 今、再起動しますか？",
                 buffer);
    LoadStringA(NULL, 99, buffer, sizeof buffer);
    EXPECT_STREQ("@somefile.ini@sectionname@keyname", buffer);
}

TEST(StringTable, MissingStringsAndSmallBuffers) {
    simwin::Machine m;
    simwin::MachineScope scope(m);
    char buffer[16] = "unchanged";
    EXPECT_EQ(0, LoadStringA(NULL, 12345, buffer, sizeof buffer));
    EXPECT_STREQ("", buffer);
    EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND), GetLastError());

    // Cut to the buffer, never inside a character: "アンインストール" is 8 characters of 3 bytes.
    EXPECT_EQ(12, LoadStringA(NULL, 161, buffer, 14));
    EXPECT_STREQ("アンイン", buffer);
    EXPECT_EQ(3, LoadStringA(NULL, 185, buffer, 4));
    EXPECT_STREQ("Hal", buffer);
}

TEST(StringTable, ResourceScriptEscapesAreDecodedAsTheResourceCompilerDoes) {
    const std::string rc =
        "#pragma code_page(65001)\n"
        "#include <windows.h>\n"
        "// STRINGTABLE in a comment is not a table\n"
        "1 24 \"manifest\"\n"
        "STRINGTABLE\n"
        "LANGUAGE LANG_JAPANESE, SUBLANG_DEFAULT\n"
        "BEGIN\n"
        "    1 \"a\\nb\"\n"
        "    2, \"c\\\\d\"  /* comment */\n"
        "    3 \"say \"\"hi\"\"\"\n"
        "    4 \"\\t\\r\\b\\f\\v\\a\\x414\\1014\\q\\\"\"\n"
        "    5 \"joined \"\n"
        "      \"text\"\n"
        "    0x10 \"hex id\"\n"
        "END\n"
        "stringtable { 6 \"braces\" }\n";
    auto table = simwin::parseStringTables(rc);
    ASSERT_EQ(7u, table.size());
    EXPECT_EQ("a\nb", table[1]);
    EXPECT_EQ("c\\d", table[2]);
    EXPECT_EQ("say \"hi\"", table[3]);
    EXPECT_EQ("\t\r\b\f\v\bA4A4\\q\"", table[4]);
    EXPECT_EQ("joined text", table[5]);
    EXPECT_EQ("braces", table[6]);
    EXPECT_EQ("hex id", table[16]);
}

TEST(CharNext, StepsOverWholeCharacters) {
    const char* text = "aア";
    EXPECT_EQ(text + 1, CharNextA(text));
    EXPECT_EQ(text + 4, CharNextA(text + 1));
    EXPECT_EQ(text + 4, CharNextA(text + 4));  // the terminator
}

class TextResources : public ::testing::Test {
protected:
    simwin::Machine m;
    simwin::MachineScope scope{m};
    CTextResources texts;
};

TEST_F(TextResources, TheRingKeepsTheLastFourResults) {
    const char* first = texts.GetString(161);
    EXPECT_STREQ("アンインストール", first);
    const char* second = texts.GetString(163);
    texts.GetString(180);
    texts.GetString(181);
    EXPECT_STREQ("アンインストール", first);  // three further results: still there
    EXPECT_STREQ("キャンセル", second);
    texts.GetString(187);
    EXPECT_STREQ("はい", first);  // the fifth result took its slot
    EXPECT_STREQ("キャンセル", second);
    EXPECT_STREQ("", texts.GetString(4242));
}

TEST_F(TextResources, LongTextsAreCutAt511Characters) {
    simwin::ScopedProgramString longText(4000, std::string(600, 'w'));
    EXPECT_EQ(std::string(511, 'w'), texts.GetString(4000));
}

TEST_F(TextResources, RedirectionReadsTheIniKeyAndMakesLineBreaks) {
    m.files.writeFile("C:\\Windows\\somefile.ini", "[sectionname]\r\nkeyname=first\\nsecond\\\\n\r\n");
    EXPECT_EQ("first\nsecond\\\n", std::string(texts.GetString(99)));
}

TEST_F(TextResources, RedirectionFallsBackToTheSearchOrder) {
    simwin::ScopedProgramString redirect(4001, "@a.ini@Sec@Key");
    m.files.writeFile("C:\\Program Files\\Vestral\\a.ini", "[Sec]\r\nKey=from program dir\r\n");
    EXPECT_STREQ("from program dir", texts.GetString(4001));
    m.files.writeFile("C:\\Windows\\a.ini", "[Sec]\r\nKey=from windows dir\r\n");
    EXPECT_STREQ("from windows dir", texts.GetString(4001));
    m.files.writeFile("C:\\Windows\\a.ini", "[Sec]\r\nKey=\r\n");  // an empty value counts as missing
    EXPECT_STREQ("from program dir", texts.GetString(4001));
}

TEST_F(TextResources, RedirectionForms) {
    m.files.writeFile("C:\\Windows\\a.ini", "[Sec]\r\nKey=plain\r\nKey@x=with at\r\n");
    m.files.writeFile("C:\\Program Files\\Vestral\\korun04.ini", "[Sec]\r\nKey=program ini\r\n");
    m.files.writeFile("C:\\Data\\b.ini", "[Sec]\r\nKey=full path\r\n");
    simwin::ScopedProgramString twoParts(4002, "@a.ini@Sec");
    simwin::ScopedProgramString fourParts(4003, "@a.ini@Sec@Key@x");
    simwin::ScopedProgramString noFile(4004, "@@Sec@Key");
    simwin::ScopedProgramString fullPath(4005, "@C:\\Data\\b.ini@Sec@Key");
    simwin::ScopedProgramString missing(4006, "@a.ini@Sec@Nothing");
    EXPECT_STREQ("", texts.GetString(4002));
    EXPECT_STREQ("with at", texts.GetString(4003));
    EXPECT_STREQ("program ini", texts.GetString(4004));
    EXPECT_STREQ("full path", texts.GetString(4005));
    EXPECT_STREQ("", texts.GetString(4006));
    EXPECT_STREQ("plain", texts.ReadIniString("a.ini", "Sec", "Key"));
}

TEST_F(TextResources, ARedirectedTextUsesTwoSlots) {
    m.files.writeFile("C:\\Windows\\somefile.ini", "[sectionname]\r\nkeyname=value\r\n");
    const char* value = texts.GetString(99);
    texts.GetString(161);
    texts.GetString(162);
    texts.GetString(163);
    EXPECT_STREQ("value", value);
    texts.GetString(164);
    EXPECT_STREQ("プリンタのアンインストールを読込み中...", value);
}

TEST_F(TextResources, SettingWindowTexts) {
    HWND dialog = CreateWindowExA(0, "#32770", "old title", WS_POPUP, 0, 0, 100, 100, NULL, NULL, NULL, NULL);
    HWND control = CreateWindowExA(0, "Static", "old label", WS_CHILD, 0, 0, 50, 10, dialog,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(1115)), NULL, NULL);
    ASSERT_NE(nullptr, control);

    EXPECT_EQ(1, texts.SetWindowTextFromId(dialog, 161));
    EXPECT_EQ("アンインストール", m.windows.find(dialog)->title);
    EXPECT_EQ(1, texts.SetDlgItemTextFromId(dialog, 1115, 183));
    EXPECT_EQ("ローカル", m.windows.find(control)->title);

    EXPECT_EQ(0, texts.SetWindowTextFromId(dialog, 4242));  // missing string: the text stays
    EXPECT_EQ("アンインストール", m.windows.find(dialog)->title);
    EXPECT_EQ(0, texts.SetDlgItemTextFromId(dialog, 9999, 161));
}

// A text with "%s" fields filled in order; other "%" stay (the text may come from an INI file).
TEST(FillText, FillsEachFieldInOrderAndLeavesTheRest) {
    const struct {
        const char* text;
        std::vector<std::string> values;
        const char* filled;
    } cases[] = {
        {"%s of %s in %s", {"2", "3", "C:\\korun04.log"}, "2 of 3 in C:\\korun04.log"},
        {"100% %d %s", {"x"}, "100% %d x"},
        {"%s and %s", {"one"}, "one and %s"},
        {"no field", {"x"}, "no field"},
        {"%s", {"%s"}, "%s"},  // a value is never read as a field
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.filled, FillText(c.text, c.values));
    }
    EXPECT_EQ("", FillText(nullptr, {"x"}));
}

}  // namespace
