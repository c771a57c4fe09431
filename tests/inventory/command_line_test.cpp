// The command-line options that the loading object parses at construction.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "inventory/loading_dlg.h"
#include "support/temp_machine.h"

namespace {

// The options as lists of texts: name first, then the values.
std::vector<std::vector<std::string>> Parse(const std::string& tail) {
    simwin::Machine m;
    simwin::MachineScope scope(m);
    m.system.commandTail = tail;
    CLoadingDlg dlg;
    std::vector<std::vector<std::string>> out;
    for (const CTextList& option : dlg.options) {
        out.emplace_back();
        for (const CTextItem& t : option) out.back().push_back(t.text);
    }
    return out;
}

typedef std::vector<std::vector<std::string>> Options;

}  // namespace

TEST(CommandLine, OptionsNamesAndValues) {
    // The program path comes first, quoted because of its spaces, and is no option.
    EXPECT_EQ((Options{{"MFG", "\"Acme\""}, {"UNPAV"}}), Parse("/MFG:\"Acme\" -UNPAV"));
    EXPECT_EQ((Options{{"MFG", "\"A\"", "\"B\""}}), Parse("/MFG:\"A\",\"B\""));
    // Separators inside double quotes do not split.
    EXPECT_EQ((Options{{"PRN", "\"Acme, Inc 9\"", "x"}}), Parse("/PRN:\"Acme, Inc 9\",x"));
    EXPECT_EQ((Options{{"X", "\"a:b\""}}), Parse("/X:\"a:b\""));
    EXPECT_EQ((Options{{"\"N:M\"", "v"}}), Parse("/\"N:M\":v"));
    // A colon with nothing after it gives one empty value; a trailing comma another empty one.
    EXPECT_EQ((Options{{"PRN", ""}}), Parse("/PRN:"));
    EXPECT_EQ((Options{{"PRN", "a", ""}}), Parse("/PRN:a,"));
    // Other tokens and runs of spaces are skipped; names keep their spelling.
    EXPECT_EQ((Options{{"unpav"}, {"Prn", "a"}}), Parse("foo  -unpav   bar /Prn:a  "));
    EXPECT_EQ(Options{}, Parse(""));
    EXPECT_EQ(Options{}, Parse("RestartSpooler"));
}

TEST(CommandLine, QueriesOverTheParsedOptions) {
    simwin::Machine m;
    simwin::MachineScope scope(m);
    m.system.commandTail = "/PRN:a,b -unpav /PRN:c";
    CLoadingDlg dlg;
    EXPECT_EQ(1, dlg.options.HasOption("UNPAV"));
    EXPECT_EQ(0, dlg.options.HasOption("MFG"));
    char values[64];
    DWORD size = sizeof values;
    ASSERT_EQ(1, dlg.options.GetOptionValues("PRN", values, &size));
    EXPECT_EQ(7u, size);
    EXPECT_EQ(std::string("a\0b\0c\0\0", 7), std::string(values, 7));
}

TEST(CommandLine, OverlongLinesAndValuesAreCut) {
    // Values longer than a text are cut to 259 characters.
    Options o = Parse("/MFG:" + std::string(400, 'v'));
    ASSERT_EQ(1u, o.size());
    ASSERT_EQ(2u, o[0].size());
    EXPECT_EQ(std::string(259, 'v'), o[0][1]);

    // The line is read into 4096 characters: an option beyond them is not seen.
    const std::string program = "\"C:\\Program Files\\Vestral\\korun04.exe\" ";
    std::string filler(4095 - program.size() - 7, 'x');  // " /MFG:a" ends at character 4095
    o = Parse(filler + " /MFG:a /PRN:b");
    ASSERT_EQ(1u, o.size());
    EXPECT_EQ("MFG", o[0][0]);
}

TEST(CommandLine, LoadingObjectStartsEmpty) {
    simwin::Machine m(simwin::Platform::Win9x);
    simwin::MachineScope scope(m);
    CLoadingDlg dlg;
    EXPECT_EQ(nullptr, dlg.database);
    EXPECT_EQ(0, dlg.step);
    EXPECT_TRUE(dlg.scripts.IsEmpty());
    EXPECT_TRUE(dlg.osVersion.IsWin9x());
    EXPECT_STREQ("", dlg.diagnostic);
}
