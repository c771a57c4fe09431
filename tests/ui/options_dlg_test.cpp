// The options window of /?: every option the command line knows and every exit code on a line of its own,
// option and text in two columns that fit the window, the text read-only, selectable and copyable.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/admin_run.h"
#include "simwin/machine.h"
#include "ui/dialog_base.h"
#include "ui/options_dlg.h"

namespace {

// Width in dialog units of a text in the dialog's font, as the resource editor reckons it: a single-byte
// character 4 units, a double-width (Japanese) one 8. The UTF-8 source counts each character once.
int Width(const std::string& text) {
    int units = 0;
    for (unsigned char c : text)
        if (c < 0x80) units += 4;
        else if (c >= 0xC0) units += 8;
    return units;
}

class OptionsWindow : public ::testing::Test {
protected:
    OptionsWindow() : scope(machine) { texts.SetInstance(simwin::programModule()); }
    std::vector<std::string> Lines() { return COptionsDlg::Lines(texts); }
    // The line that begins with the option (or code) followed by the tab; "" when there is none.
    std::string LineOf(const std::string& head) {
        for (const std::string& line : Lines())
            if (line.compare(0, head.size() + 1, head + "\t") == 0) return line;
        return "";
    }

    simwin::Machine machine;
    simwin::MachineScope scope;
    CTextResources texts;
};

// Each option the parser knows, as the first column of a line of its group.
TEST_F(OptionsWindow, EveryOptionAndExitCodeHasItsLine) {
    const char* const heads[] = {"/?  -?  /HELP", "/SELECT:ALL", "/SELECT:\"名前\",\"名前\"", "/QUIET", "/RESTART",
                                 "/MFG:\"名前\"  /PRN:\"名前\"", "/UNPAV", "/LOG:\"パス\"", "/PLAN:\"パス\"",
                                 "/CAPTURE:\"フォルダー\"", "/RESTORE:LAST", "/RESTORE:\"フォルダー\"", "/RESUME",
                                 "/KEEPBACKUPS:数", "RestartSpooler"};
    for (const char* head : heads) EXPECT_NE("", LineOf(head)) << head;
    for (int code : {EXIT_DONE, EXIT_BAD_COMMAND_LINE, EXIT_NOT_ADMINISTRATOR,
                     EXIT_CANCELLED, EXIT_FATAL, EXIT_ALREADY_RUNNING,
                     EXIT_RESTART_STARTED, EXIT_RESTART_NEEDED})
        EXPECT_NE("", LineOf(std::to_string(code))) << code;
    // The groups, in order, an empty line between two.
    const std::vector<std::string> lines = Lines();
    std::vector<std::string> groups;
    for (size_t i = 0; i < lines.size(); ++i)
        if (i == 0 || lines[i - 1].empty()) groups.push_back(lines[i]);
    EXPECT_EQ((std::vector<std::string>{"korun04.exe [オプション]", "[削除]", "[予定とキャプチャ]", "[バックアップと復元]",
                                        "[スプーラーの再起動]", "[終了コード]"}),
              groups);
}

// The first column ends before the tab stop, and every line fits the text's width: nothing wraps or scrolls.
TEST_F(OptionsWindow, EachLineStandsOnOneLineInTwoColumns) {
    const int usable = 406 - 20;  // the text's width in the template less its scroll bar and margins
    for (const std::string& line : Lines()) {
        SCOPED_TRACE(line);
        const size_t tab = line.find('\t');
        if (tab == std::string::npos) {
            EXPECT_LT(Width(line), usable);
            continue;
        }
        EXPECT_EQ(std::string::npos, line.find('\t', tab + 1));  // two columns, no more
        EXPECT_LE(Width(line.substr(0, tab)) + 4, OPTIONS_TAB_STOP);
        EXPECT_LT(OPTIONS_TAB_STOP + Width(line.substr(tab + 1)), usable);
    }
}

// The window as a person gets it: the text read-only at its tab stop, the focus on OK; a selection copies.
TEST_F(OptionsWindow, TheTextIsReadOnlyAndCopies) {
    COptionsDlg dialog(COptionsDlg::Text(Lines()));
    HWND window = CreateDialogParamA(simwin::programModule(), MAKEINTRESOURCEA(IDD_OPTIONS), NULL, StaticDialogProc,
                                     reinterpret_cast<LPARAM>(&dialog));
    ASSERT_NE(nullptr, window);
    HWND edit = GetDlgItem(window, IDC_OPTIONS_TEXT);
    char caption[128] = "";
    GetWindowTextA(window, caption, sizeof caption);
    EXPECT_STREQ("アンインストールのオプション", caption);
    EXPECT_EQ(GetDlgItem(window, IDOK), GetFocus());
    std::vector<std::string> picture;
    simwin::current().windows.find(edit)->state->picture(picture);
    ASSERT_FALSE(picture.empty());
    EXPECT_EQ("read-only, tab stops " + std::to_string(OPTIONS_TAB_STOP), picture[0]);
    EXPECT_NE(picture.end(), std::find(picture.begin(), picture.end(), "| /RESUME\\t途中で中断された削除を完了します"));
    EXPECT_EQ(Lines().size() + 1, picture.size());  // a line each, after the state
    SendMessageA(edit, WM_CHAR, 'x', 0);  // read-only: typing changes nothing
    char text[4096] = "";
    GetWindowTextA(edit, text, sizeof text);
    EXPECT_EQ(COptionsDlg::Text(Lines()), text);
    SendMessageA(edit, EM_SETSEL, 0, -1);
    SendMessageA(edit, WM_COPY, 0, 0);
    EXPECT_EQ(COptionsDlg::Text(Lines()), simwin::current().windows.clipboard);
    DestroyWindow(window);
}

}  // namespace
