// Reading scripts into documents, the section queries, saving, and the two in-place INI edits.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "script/script_file.h"
#include "simwin/machine.h"

namespace {

typedef std::vector<std::string> Strings;

const char kPath[] = "C:\\Scripts\\Kunz__04.unm";

class ScriptFile : public ::testing::Test {
protected:
    simwin::Machine m;
    simwin::MachineScope scope{m};
    CScriptFile doc;

    void Load(const std::string& text) {
        m.files.writeFile(kPath, text);
        ASSERT_EQ(1, doc.LoadFile(kPath));
    }
    // "name: key=value|key" for every section, in order.
    Strings Dump() const {
        Strings out;
        for (const ScriptSection& s : doc.GetSections()) {
            std::string line = std::string(s.name) + ":";
            for (const ScriptEntry& e : s.entries) line += std::string(" ") + e.key + "=" + e.value + "|";
            out.push_back(line);
        }
        return out;
    }
    Strings Keys(const char* section, int size = 4096) const {
        std::vector<char> buffer(size, 0);
        doc.GetSectionKeys(section, buffer.data(), size);
        return Walk(buffer.data());
    }
    Strings Entries(const char* section) const {
        char buffer[4096] = {};
        doc.GetSectionEntries(section, buffer, sizeof buffer);
        return Walk(buffer);
    }
    static Strings Walk(char* list) {
        Strings out;
        for (char* item = list[0] ? list : nullptr; item; item = NextToken(item, 0)) out.push_back(item);
        return out;
    }
};

TEST_F(ScriptFile, ParsesLinesKeysValuesAndComments) {
    Load("[Main]\r\n"
         "key = some value ; note\r\n"
         "bare\n"
         "=abc\r"
         "a=b=c\r\n"
         "\tTabbed = x \r\n"
         "; comment\r\n"
         "  [Indented]\r\n"
         "after=indented header\r\n"
         "[Second] trailing text\r\n"
         "last=line without break");
    EXPECT_EQ((Strings{"Main: key=some value| bare=| =abc| a=b=c| \tTabbed=x| after=indented header|",
                       "Second: last=line without break|"}),
              Dump());
    EXPECT_STREQ(kPath, doc.GetPath());
}

// Sections and entries remember their line, counted as an editor counts lines: CR LF, LF and a lone CR
// each end one, blank and ignored lines count too.
TEST_F(ScriptFile, SectionsAndEntriesKnowTheirLines) {
    Load("; top\r\n[A]\r\na=1\n\nb=2\r[B]\r\n\r\n  ignored\r\nc=3\n\r\nd=4");
    Strings lines;
    for (const ScriptSection& s : doc.GetSections()) {
        lines.push_back(std::string(s.name) + "@" + std::to_string(s.line));
        for (const ScriptEntry& e : s.entries) lines.push_back(std::string(e.key) + "@" + std::to_string(e.line));
    }
    EXPECT_EQ((Strings{"A@2", "a@3", "b@5", "B@6", "c@9", "d@11"}), lines);
}

TEST_F(ScriptFile, TextBeforeTheFirstHeaderAndBrokenHeadersAreDropped) {
    Load("\xEF\xBB\xBF[Bom]\r\nlost=1\r\n[Open\r\nstill=lost\r\n[]\r\nnameless=1\r\n[ Name ]\r\n[NAME]\r\nx=1\r\n"
         "[Open\r\ngoes=to NAME\r\n");
    EXPECT_EQ((Strings{": nameless=1|", " Name :", "NAME: x=1| goes=to NAME|"}), Dump());
    // A query never reaches the nameless section; " Name " is not "Name"; case does not matter.
    EXPECT_EQ(0, doc.GetSectionEntryCount(""));
    EXPECT_EQ(0, doc.GetSectionEntryCount(nullptr));
    EXPECT_EQ(2, doc.GetSectionEntryCount("name"));
    EXPECT_EQ(0, doc.GetSectionEntryCount(" name"));
}

TEST_F(ScriptFile, ANulByteEndsTheParseAndDropsItsLine) {
    static const char text[] = "[S]\r\na=1\r\nb=2\0tail\r\nc=3\r\n";
    Load(std::string(text, sizeof text - 1));
    EXPECT_EQ((Strings{"S: a=1|"}), Dump());
}

TEST_F(ScriptFile, OnlyTheFirstSectionOfANameCounts) {
    Load("[Dup]\r\n[Other]\r\nz=1\r\n[dup]\r\nhidden=1\r\n");
    EXPECT_EQ(0, doc.GetSectionEntryCount("Dup"));
    char buffer[16];
    std::memset(buffer, 'Z', sizeof buffer);
    EXPECT_EQ(0, doc.GetSectionKeys("Dup", buffer, sizeof buffer));
    EXPECT_EQ('Z', buffer[0]);  // not touched
    EXPECT_EQ(0, doc.GetSectionKeys("Missing", buffer, sizeof buffer));
    EXPECT_EQ(0, doc.GetSectionKeys("Other", nullptr, 16));
}

TEST_F(ScriptFile, ListsReportTheirLengthAndOverflow) {
    Load("[S]\r\nAlpha\r\nB\r\n[T]\r\nAlpha\r\nB\r\nCD\r\n");
    char buffer[16];

    std::memset(buffer, 'Z', sizeof buffer);
    EXPECT_EQ(8, doc.GetSectionKeys("S", buffer, 9));
    EXPECT_EQ(0, std::memcmp(buffer, "Alpha\0B\0\0", 9));
    EXPECT_EQ('Z', buffer[9]);

    std::memset(buffer, 'Z', sizeof buffer);
    EXPECT_EQ(-8, doc.GetSectionKeys("S", buffer, 8));
    EXPECT_EQ(0, std::memcmp(buffer, "Alpha\0\0", 7));
    EXPECT_EQ('Z', buffer[7]);

    std::memset(buffer, 'Z', sizeof buffer);
    EXPECT_EQ(-11, doc.GetSectionKeys("T", buffer, 9));
    EXPECT_EQ(0, std::memcmp(buffer, "Alpha\0B\0\0", 9));
    EXPECT_EQ('Z', buffer[9]);

    // The first item alone does not fit: nothing is written.
    std::memset(buffer, 'Z', sizeof buffer);
    EXPECT_EQ(-8, doc.GetSectionKeys("S", buffer, 6));
    EXPECT_EQ('Z', buffer[0]);
}

TEST_F(ScriptFile, EntriesCarryTheirValuesAndAnEmptyKeyHidesTheRest) {
    Load("[S]\r\na=1\r\nb\r\nc = \r\n[E]\r\nfirst\r\n=only value\r\nlater\r\n");
    EXPECT_EQ((Strings{"a=1", "b", "c"}), Entries("S"));
    EXPECT_EQ((Strings{"a", "b", "c"}), Keys("S"));
    EXPECT_EQ((Strings{"first"}), Keys("E"));
    EXPECT_EQ((Strings{"first", "=only value", "later"}), Entries("E"));
}

TEST_F(ScriptFile, LongFieldsAreCutToTheTextLimit) {
    std::string longKey(300, 'k'), longValue(400, 'v'), longName(280, 'n');
    Load("[" + longName + "]\r\n" + longKey + "=" + longValue + "\r\n");
    const ScriptSection& s = doc.GetSections().Front();
    EXPECT_EQ(std::string(259, 'n'), s.name);
    EXPECT_EQ(std::string(259, 'k'), s.entries.Front().key);
    EXPECT_EQ(std::string(259, 'v'), s.entries.Front().value);
    // A key=value item may need more than one text: the list query handles 519 characters.
    std::string n259(259, 'n');
    char buffer[600];
    EXPECT_EQ(520, doc.GetSectionEntries(n259.c_str(), buffer, sizeof buffer));
    EXPECT_EQ(519u, std::strlen(buffer));
}

TEST_F(ScriptFile, LoadFailures) {
    EXPECT_EQ(0, doc.LoadFile("C:\\Scripts\\missing.unm"));
    EXPECT_STREQ("C:\\Scripts\\missing.unm", doc.GetPath());  // the path is kept even on failure

    CScriptFile empty;
    m.files.writeFile("C:\\Scripts\\empty.unm", "");
    EXPECT_EQ(0, empty.LoadFile("C:\\Scripts\\empty.unm"));

    CScriptFile locked;
    m.files.writeFile("C:\\Scripts\\locked.unm", "[S]\r\na\r\n");
    m.files.setLocked("C:\\Scripts\\locked.unm", true);
    EXPECT_EQ(0, locked.LoadFile("C:\\Scripts\\locked.unm"));

    // A file without sections loads into an empty document, which may still be loaded again.
    CScriptFile noSections;
    m.files.writeFile("C:\\Scripts\\plain.unm", "just text\r\n");
    EXPECT_EQ(1, noSections.LoadFile("C:\\Scripts\\plain.unm"));
    EXPECT_TRUE(noSections.GetSections().IsEmpty());
    m.files.writeFile("C:\\Scripts\\real.unm", "[S]\r\na\r\n");
    EXPECT_EQ(1, noSections.LoadFile("C:\\Scripts\\real.unm"));
    EXPECT_EQ(0, noSections.LoadFile("C:\\Scripts\\plain.unm"));  // loaded documents do not load again
    EXPECT_STREQ("C:\\Scripts\\real.unm", noSections.GetPath());
}

TEST_F(ScriptFile, SaveWritesTheDocumentBack) {
    Load("[A]\r\nx = 1\r\nbare\r\nempty=\r\n[B]\r\n[C]\r\ny=2=3\r\n");
    ASSERT_EQ(1, doc.SaveFile("C:\\Scripts\\out.unm"));
    EXPECT_EQ("[A]\r\nx=1\r\nbare\r\nempty\r\n\r\n[B]\r\n\r\n[C]\r\ny=2=3\r\n\r\n", m.files.read("C:\\Scripts\\out.unm"));
    EXPECT_STREQ("C:\\Scripts\\out.unm", doc.GetPath());

    CScriptFile again;
    ASSERT_EQ(1, again.LoadFile("C:\\Scripts\\out.unm"));
    char a[256] = {}, b[256] = {};
    EXPECT_EQ(doc.GetSectionEntries("A", a, sizeof a), again.GetSectionEntries("A", b, sizeof b));
    EXPECT_EQ(0, std::memcmp(a, b, sizeof a));

    CScriptFile onlyHeaders;
    m.files.writeFile("C:\\Scripts\\h.unm", "[A]\r\n");
    ASSERT_EQ(1, onlyHeaders.LoadFile("C:\\Scripts\\h.unm"));
    EXPECT_EQ(0, onlyHeaders.SaveFile("C:\\Scripts\\h2.unm"));  // no entry written
    EXPECT_EQ("[A]\r\n\r\n", m.files.read("C:\\Scripts\\h2.unm"));

    EXPECT_EQ(0, doc.SaveFile("Q:\\nowhere\\out.unm"));
    EXPECT_STREQ("C:\\Scripts\\out.unm", doc.GetPath());
}

// ---------------------------------------------------------------------------------------------------------

class IniEdit : public ::testing::Test {
protected:
    simwin::Machine m;
    simwin::MachineScope scope{m};
    const char* path = "C:\\Windows\\win.ini";

    void Write(const std::string& text) { m.files.writeFile(path, text); }
    std::string Text() const { return m.files.read(path); }
    int Delete(const char* section, const char* key) {
        char buffer[128];
        std::strcpy(buffer, key);
        return DeleteIniKeyLine(path, section, buffer);
    }
};

TEST_F(IniEdit, FindsOnlyAKeyThatStartsItsLine) {
    const std::string text = "[Ports]\r\nNullPort=None\r\n  Port = 1\r\nLPT1:=\r\n[Other]\r\nPort=2\r\n";
    Write(text);
    EXPECT_EQ(text.find("Port = 1"), FindIniKey(path, "ports", "PORT"));
    EXPECT_EQ(text.find("LPT1"), FindIniKey(path, "Ports", "lpt1:"));
    EXPECT_EQ(0u, FindIniKey(path, "Ports", "Null"));  // a longer key is another key
    EXPECT_EQ(0u, FindIniKey(path, "Ports", "None"));  // values are not keys
    EXPECT_EQ(0u, FindIniKey(path, "Port", "Port"));   // "[Port]" is not "[Ports]"
    EXPECT_EQ(0u, FindIniKey(path, "Missing", "Port"));
    EXPECT_EQ(0u, FindIniKey(path, "Ports", ""));
    EXPECT_EQ(text.find("Port=2"), FindIniKey(path, "Other", "Port"));
    EXPECT_EQ(Text(), text);  // finding changes nothing
}

TEST_F(IniEdit, AKeyWithEqualsNeedOnlyBeginTheLine) {
    Write("[windows]\r\nload=a.exe b.exe\r\nrun=\r\n");
    EXPECT_NE(0u, FindIniKey(path, "windows", "load=a"));
    EXPECT_EQ(0u, FindIniKey(path, "windows", "load=b"));
    EXPECT_NE(0u, FindIniKey(path, "windows", "run"));  // a key at the end of its line
}

TEST_F(IniEdit, CommentedKeysAreNotFound) {
    Write("[S]\r\n;key=1\r\n; key=2\r\nother=;key\r\n");
    EXPECT_EQ(0u, FindIniKey(path, "S", "key"));
    EXPECT_EQ(0, Delete("S", "key"));
}

TEST_F(IniEdit, TheSectionEndsAtTheNextBracket) {
    Write("[S]\r\nname=a[1]\r\nkey=1\r\n[T]\r\n");
    EXPECT_EQ(0u, FindIniKey(path, "S", "key"));
    // Find goes on to a later header of the name; the delete looks only in the first one.
    Write("[S]\r\na=1\r\n[T]\r\n[S]\r\nkey=1\r\n");
    EXPECT_NE(0u, FindIniKey(path, "S", "key"));
    EXPECT_EQ(0, Delete("S", "key"));
}

TEST_F(IniEdit, DeleteRemovesExactlyTheWholeLine) {
    const std::string before = "[boot]\r\nshell=x\r\n[windows]\r\nrun=\r\nload=x\r\nNullPort=None\r\n[after]\r\nload=y\r\n";
    Write(before);
    char key[] = "LOAD";
    EXPECT_EQ(1, DeleteIniKeyLine(path, "WINDOWS", key));
    EXPECT_STREQ("load", key);  // lower-cased in place
    std::string expected = before;
    expected.erase(before.find("load=x"), std::strlen("load=x\r\n"));
    EXPECT_EQ(expected, Text());
    EXPECT_EQ(before.size() - 8, Text().size());

    // "Port" is not in the section: NullPort stays whole.
    EXPECT_EQ(0, Delete("windows", "Port"));
    EXPECT_EQ(expected, Text());
}

TEST_F(IniEdit, DeleteHandlesIndentationLineEndsAndTheLastLine) {
    Write("[S]\n  Key = 1\nnext=2\n");
    EXPECT_EQ(1, Delete("S", "key"));
    EXPECT_EQ("[S]\nnext=2\n", Text());

    Write("[S]\r\na=1\r\nkey=2");
    EXPECT_EQ(1, Delete("S", "key"));
    EXPECT_EQ("[S]\r\na=1\r\n", Text());

    Write("[S]\rkey=1\rb=2\r");
    EXPECT_EQ(1, Delete("S", "key"));
    EXPECT_EQ("[S]\rb=2\r", Text());

    Write("[S]key=1\r\n");  // nothing after the header on its own line
    EXPECT_EQ(0, Delete("S", "key"));
}

TEST_F(IniEdit, FailuresLeaveTheFileAlone) {
    EXPECT_EQ(0u, FindIniKey("C:\\Windows\\none.ini", "S", "k"));
    EXPECT_EQ(0, Delete("S", "k"));

    Write("");
    EXPECT_EQ(0u, FindIniKey(path, "S", "k"));

    Write(std::string("\0[S]\r\nk=1\r\n", 11));
    EXPECT_EQ(0, Delete("S", "k"));

    Write("[S]\r\nk=1\r\n");
    m.files.setLocked(path, true);
    EXPECT_EQ(0u, FindIniKey(path, "S", "k"));
    EXPECT_EQ(0, Delete("S", "k"));
    m.files.setLocked(path, false);

    SetFileAttributesA(path, FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(0u, FindIniKey(path, "S", "k"));
    EXPECT_EQ(0, Delete("S", "k"));
    EXPECT_EQ("[S]\r\nk=1\r\n", Text());
}

TEST_F(IniEdit, OverlongNamesAreRejected) {
    // Header texts and keys hold at most 63 characters.
    std::string section(61, 's');  // "[" + 61 + "]" = 63 characters
    std::string keyLine = std::string(62, 'k') + "=1";
    Write("[" + section + "s]\r\nk=1\r\n[" + section + "]\r\n" + keyLine + "\r\n");
    EXPECT_EQ(0u, FindIniKey(path, (section + "s").c_str(), "k"));
    EXPECT_NE(0u, FindIniKey(path, section.c_str(), keyLine.substr(0, 63).c_str()));
    EXPECT_EQ(0u, FindIniKey(path, section.c_str(), keyLine.c_str()));  // 64 characters
    char key[80];
    std::strcpy(key, keyLine.c_str());
    EXPECT_EQ(0, DeleteIniKeyLine(path, section.c_str(), key));
    std::strcpy(key, keyLine.substr(0, 63).c_str());
    EXPECT_EQ(1, DeleteIniKeyLine(path, section.c_str(), key));
    EXPECT_EQ("[" + section + "s]\r\nk=1\r\n[" + section + "]\r\n", Text());
}

}  // namespace
