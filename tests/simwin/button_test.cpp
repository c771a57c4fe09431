// The simulated Button and Static classes: clicks and what they tell the parent, the checks of the
// kinds of buttons, the groups of automatic radio buttons, push-like buttons, the pictures; the texts,
// images and notifications of statics.
//
// The controls sit in a window of the test's own class inside a "#32770" window; it records the
// WM_COMMAND notifications and the colour requests it receives.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "simwin/machine.h"
#include "simwin/win32.h"

namespace {

struct Recorder {
    std::vector<std::string> log;
    int colourButton = 0, colourStatic = 0;
    std::vector<HWND> from;
};
Recorder* g_recorder = nullptr;

std::string Command(int id, int code) { return "COMMAND " + std::to_string(id) + " " + std::to_string(code); }

LRESULT CALLBACK RecorderProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (g_recorder) {
        if (msg == WM_COMMAND) {
            g_recorder->log.push_back(Command(LOWORD(wParam), HIWORD(wParam)));
            g_recorder->from.push_back(reinterpret_cast<HWND>(lParam));
            return 0;
        }
        if (msg == WM_CTLCOLORBTN) ++g_recorder->colourButton;
        if (msg == WM_CTLCOLORSTATIC) ++g_recorder->colourStatic;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

class ControlTest : public ::testing::Test {
protected:
    simwin::Machine machine;
    simwin::MachineScope scope{machine};
    Recorder recorder;
    HWND dialog = nullptr, parent = nullptr;

    void SetUp() override {
        g_recorder = &recorder;
        WNDCLASSA wc{};
        wc.lpfnWndProc = RecorderProc;
        wc.lpszClassName = "ButtonTestParent";
        ASSERT_NE(0, RegisterClassA(&wc));
        dialog = CreateWindowExA(0, "#32770", "Test", WS_POPUP | WS_CAPTION | WS_VISIBLE, 0, 0, 400, 300, NULL, NULL, NULL, NULL);
        parent = CreateWindowExA(0, "ButtonTestParent", "", WS_CHILD | WS_VISIBLE, 0, 0, 380, 260, dialog,
                                 reinterpret_cast<HMENU>(1), NULL, NULL);
        ASSERT_NE(nullptr, parent);
    }
    void TearDown() override { g_recorder = nullptr; }

    HWND Make(const char* cls, const char* text, DWORD style, int id, HWND in = nullptr) {
        static int y = 0;
        y = (y + 25) % 200;
        HWND h = CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, 10, y, 120, 20, in ? in : parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), NULL, NULL);
        EXPECT_NE(nullptr, h);
        return h;
    }
    HWND Button(DWORD style, int id, const char* text = "Button") { return Make("Button", text, style, id); }
    UINT Check(HWND b) { return static_cast<UINT>(SendMessageA(b, BM_GETCHECK, 0, 0)); }
    void Click(HWND b) { SendMessageA(b, BM_CLICK, 0, 0); }
    std::vector<std::string> Picture(HWND h) {
        std::vector<std::string> lines;
        simwin::current().windows.find(h)->state->picture(lines);
        return lines;
    }
};

using ButtonTest = ControlTest;
using StaticTest = ControlTest;

// --- Clicks ------------------------------------------------------------------------------------------------------------

TEST_F(ButtonTest, AClickTellsTheParentAndLeavesTheFocusOnTheButton) {
    HWND ok = Button(BS_PUSHBUTTON, 1080, "Uninstall");
    Click(ok);
    EXPECT_EQ((std::vector<std::string>{Command(1080, BN_CLICKED)}), recorder.log);
    EXPECT_EQ((std::vector<HWND>{ok}), recorder.from);
    EXPECT_EQ(ok, GetFocus());
    LRESULT state = SendMessageA(ok, BM_GETSTATE, 0, 0);
    EXPECT_TRUE(state & BST_FOCUS);
    EXPECT_FALSE(state & BST_PUSHED);  // let out again
}

TEST_F(ButtonTest, ButtonsAPersonCannotReachAreNotClicked) {
    HWND hiddenGroup = CreateWindowExA(0, "ButtonTestParent", "", WS_CHILD, 0, 0, 100, 100, parent, NULL, NULL, NULL);
    HWND disabled = Button(BS_AUTOCHECKBOX | WS_DISABLED, 11);
    HWND hidden = Button(BS_AUTOCHECKBOX, 12);
    ShowWindow(hidden, SW_HIDE);
    HWND inHidden = Make("Button", "x", BS_AUTOCHECKBOX, 13, hiddenGroup);
    for (HWND b : {disabled, hidden, inHidden}) {
        Click(b);
        EXPECT_EQ(BST_UNCHECKED, Check(b));
        EXPECT_NE(b, GetFocus());
    }
    EXPECT_TRUE(recorder.log.empty());
}

TEST_F(ButtonTest, ReleasingTheMouseOffTheButtonIsNoClick) {
    HWND box = Button(BS_AUTOCHECKBOX, 14);
    SendMessageA(box, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_TRUE(SendMessageA(box, BM_GETSTATE, 0, 0) & BST_PUSHED);
    SendMessageA(box, WM_LBUTTONUP, 0, MAKELPARAM(500, 5));
    EXPECT_EQ(BST_UNCHECKED, Check(box));
    EXPECT_TRUE(recorder.log.empty());
    // The space bar clicks too.
    SendMessageA(box, WM_KEYDOWN, VK_SPACE, 0);
    SendMessageA(box, WM_KEYUP, VK_SPACE, 0);
    EXPECT_EQ(BST_CHECKED, Check(box));
    EXPECT_EQ((std::vector<std::string>{Command(14, BN_CLICKED)}), recorder.log);
}

TEST_F(ButtonTest, AutomaticButtonsChangeTheirCheckAndTheOthersOnlyNotify) {
    struct Case {
        DWORD style;
        std::vector<UINT> checks;  // after each of three clicks
    } cases[] = {
        {BS_AUTOCHECKBOX, {BST_CHECKED, BST_UNCHECKED, BST_CHECKED}},
        {BS_AUTO3STATE, {BST_CHECKED, BST_INDETERMINATE, BST_UNCHECKED}},
        {BS_CHECKBOX, {BST_UNCHECKED, BST_UNCHECKED, BST_UNCHECKED}},
        {BS_3STATE, {BST_UNCHECKED, BST_UNCHECKED, BST_UNCHECKED}},
        {BS_PUSHBUTTON, {BST_UNCHECKED, BST_UNCHECKED, BST_UNCHECKED}},
    };
    int id = 100;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.style);
        HWND b = Button(c.style | WS_GROUP, ++id);
        recorder.log.clear();
        std::vector<UINT> seen;
        for (int i = 0; i < 3; ++i) {
            Click(b);
            seen.push_back(Check(b));
        }
        EXPECT_EQ(c.checks, seen);
        EXPECT_EQ(3u, recorder.log.size());
    }
}

TEST_F(ButtonTest, SetCheckKeepsWhatTheKindOfButtonCanShow) {
    struct Case {
        DWORD style;
        WPARAM value;
        UINT expected;
    } cases[] = {
        {BS_PUSHBUTTON, BST_CHECKED, BST_UNCHECKED}, {BS_GROUPBOX, BST_CHECKED, BST_UNCHECKED},
        {BS_CHECKBOX, BST_CHECKED, BST_CHECKED},     {BS_CHECKBOX, BST_INDETERMINATE, BST_CHECKED},
        {BS_3STATE, BST_INDETERMINATE, BST_INDETERMINATE}, {BS_AUTO3STATE, 7, BST_INDETERMINATE},
        {BS_AUTORADIOBUTTON, BST_INDETERMINATE, BST_CHECKED}, {BS_RADIOBUTTON, BST_CHECKED, BST_CHECKED},
    };
    int id = 200;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.style << " " << c.value);
        HWND b = Button(c.style | WS_GROUP, ++id);
        EXPECT_EQ(0, SendMessageA(b, BM_SETCHECK, c.value, 0));
        EXPECT_EQ(c.expected, Check(b));
    }
    EXPECT_TRUE(recorder.log.empty());  // setting a check is no click
}

TEST_F(ButtonTest, ACheckedRadioButtonIsTheTabStopOfItsGroup) {
    HWND radio = Button(BS_RADIOBUTTON | WS_GROUP, 301);
    EXPECT_FALSE(GetWindowLongA(radio, GWL_STYLE) & WS_TABSTOP);
    SendMessageA(radio, BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_TRUE(GetWindowLongA(radio, GWL_STYLE) & WS_TABSTOP);
    SendMessageA(radio, BM_SETCHECK, BST_UNCHECKED, 0);
    EXPECT_FALSE(GetWindowLongA(radio, GWL_STYLE) & WS_TABSTOP);
}

// --- Groups of radio buttons ---------------------------------------------------------------------------------------------

TEST_F(ButtonTest, AClickedAutomaticRadioButtonIsTheOneCheckedButtonOfItsGroup) {
    HWND first = Button(BS_AUTORADIOBUTTON | WS_GROUP, 1);
    HWND second = Button(BS_AUTORADIOBUTTON, 2);
    HWND plain = Button(BS_RADIOBUTTON, 3);
    HWND disabled = Button(BS_AUTORADIOBUTTON | WS_DISABLED, 4);
    HWND box = Button(BS_AUTOCHECKBOX, 5);
    HWND otherGroup = Button(BS_AUTORADIOBUTTON | WS_GROUP, 6);
    for (HWND b : {first, plain, disabled, box, otherGroup}) SendMessageA(b, BM_SETCHECK, BST_CHECKED, 0);
    Click(second);
    EXPECT_EQ(BST_UNCHECKED, Check(first));
    EXPECT_EQ(BST_CHECKED, Check(second));
    EXPECT_EQ(BST_UNCHECKED, Check(plain));      // every radio button of the group
    EXPECT_EQ(BST_CHECKED, Check(disabled));     // ... that a person can reach
    EXPECT_EQ(BST_CHECKED, Check(box));          // not other kinds of buttons
    EXPECT_EQ(BST_CHECKED, Check(otherGroup));   // nor the next group
    EXPECT_EQ((std::vector<std::string>{Command(2, BN_CLICKED)}), recorder.log);
}

TEST_F(ButtonTest, AGroupRunsRoundTheEndOfTheControls) {
    // Without a WS_GROUP before it, a control's group starts at the last WS_GROUP control of the list.
    HWND a = Button(BS_AUTORADIOBUTTON, 1);
    HWND b = Button(BS_AUTORADIOBUTTON | WS_GROUP, 2);
    HWND c = Button(BS_AUTORADIOBUTTON, 3);
    SendMessageA(b, BM_SETCHECK, BST_CHECKED, 0);
    SendMessageA(c, BM_SETCHECK, BST_CHECKED, 0);
    Click(a);
    EXPECT_EQ(BST_CHECKED, Check(a));
    EXPECT_EQ(BST_UNCHECKED, Check(b));
    EXPECT_EQ(BST_UNCHECKED, Check(c));
}

TEST_F(ButtonTest, PushLikeRadioButtonsBehaveAsRadioButtonsAndLookLikePushButtons) {
    HWND files = Button(BS_AUTORADIOBUTTON | BS_PUSHLIKE | WS_GROUP, 1097, "[*.DeleteIni]");
    HWND drivers = Button(BS_AUTORADIOBUTTON | BS_PUSHLIKE, 1099, "Drivers");
    SendMessageA(files, BM_SETCHECK, BST_CHECKED, 0);
    Click(drivers);
    EXPECT_EQ(BST_UNCHECKED, Check(files));
    EXPECT_EQ(BST_CHECKED, Check(drivers));
    EXPECT_EQ(DLGC_BUTTON | DLGC_RADIOBUTTON, SendMessageA(drivers, WM_GETDLGCODE, 0, 0));
    EXPECT_EQ((std::vector<std::string>{"checked"}), Picture(drivers));
    EXPECT_EQ((std::vector<std::string>{"unchecked"}), Picture(files));

    // Painted as push buttons, they ask for the colours of buttons; a plain radio button for a static's.
    HWND radio = Button(BS_AUTORADIOBUTTON, 1100);
    recorder.colourButton = recorder.colourStatic = 0;
    SendMessageA(drivers, WM_PAINT, 0, 0);
    EXPECT_EQ(1, recorder.colourButton);
    SendMessageA(radio, WM_PAINT, 0, 0);
    EXPECT_EQ(1, recorder.colourStatic);
}

// --- Messages ------------------------------------------------------------------------------------------------------------

TEST_F(ButtonTest, DialogCodesByKind) {
    struct Case {
        DWORD style;
        LRESULT code;
    } cases[] = {
        {BS_PUSHBUTTON, DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON}, {BS_DEFPUSHBUTTON, DLGC_BUTTON | DLGC_DEFPUSHBUTTON},
        {BS_AUTORADIOBUTTON, DLGC_BUTTON | DLGC_RADIOBUTTON}, {BS_RADIOBUTTON, DLGC_BUTTON | DLGC_RADIOBUTTON},
        {BS_AUTOCHECKBOX, DLGC_BUTTON},                      {BS_GROUPBOX, DLGC_STATIC},
        {BS_USERBUTTON, DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON},  // made a push button at creation
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.style);
        EXPECT_EQ(c.code, SendMessageA(Button(c.style, 400), WM_GETDLGCODE, 0, 0));
    }
}

TEST_F(ButtonTest, SetStyleChangesTheKindOnly) {
    HWND b = Button(BS_PUSHBUTTON | BS_NOTIFY, 1080);
    SendMessageA(b, BM_SETSTYLE, BS_DEFPUSHBUTTON | BS_LEFT, TRUE);
    LONG style = GetWindowLongA(b, GWL_STYLE);
    EXPECT_EQ(BS_DEFPUSHBUTTON, style & BS_TYPEMASK);
    EXPECT_TRUE(style & BS_NOTIFY);
    EXPECT_FALSE(style & BS_LEFT);
    EXPECT_EQ(DLGC_BUTTON | DLGC_DEFPUSHBUTTON, SendMessageA(b, WM_GETDLGCODE, 0, 0));
}

TEST_F(ButtonTest, NotifyingButtonsTellOfTheFocusAndOfDoubleClicks) {
    HWND notifying = Button(BS_PUSHBUTTON | BS_NOTIFY, 21);
    HWND quiet = Button(BS_PUSHBUTTON, 22);
    HWND radio = Button(BS_RADIOBUTTON, 23);
    SetFocus(notifying);
    SetFocus(quiet);
    SendMessageA(radio, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(3, 3));
    EXPECT_EQ((std::vector<std::string>{Command(21, BN_SETFOCUS), Command(21, BN_KILLFOCUS), Command(23, BN_DOUBLECLICKED)}),
              recorder.log);
}

TEST_F(ButtonTest, PicturesShowTheCheckOfCheckBoxesAndRadioButtons) {
    struct Case {
        DWORD style;
        WPARAM check;
        std::vector<std::string> lines;
    } cases[] = {
        {BS_AUTOCHECKBOX, BST_UNCHECKED, {"unchecked"}}, {BS_CHECKBOX, BST_CHECKED, {"checked"}},
        {BS_AUTO3STATE, BST_INDETERMINATE, {"indeterminate"}}, {BS_RADIOBUTTON, BST_CHECKED, {"checked"}},
        {BS_PUSHBUTTON, BST_UNCHECKED, {}}, {BS_GROUPBOX, BST_UNCHECKED, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.style);
        HWND b = Button(c.style | WS_GROUP, 500);
        SendMessageA(b, BM_SETCHECK, c.check, 0);
        EXPECT_EQ(c.lines, Picture(b));
    }
}

TEST_F(ButtonTest, TheDialogPictureShowsTheCheck) {
    HWND box = Make("Button", "View this profile's UNZ settings only", BS_AUTOCHECKBOX, 1017, dialog);
    Click(box);
    std::vector<std::string> lines = simwin::current().windows.picture(dialog);
    auto at = std::find(lines.begin(), lines.end(), "    [1017] Button \"View this profile's UNZ settings only\" (focus)");
    ASSERT_NE(lines.end(), at);
    ASSERT_NE(lines.end(), at + 1);
    EXPECT_EQ("        checked", at[1]);
}

// --- Statics -------------------------------------------------------------------------------------------------------------

TEST_F(StaticTest, OnlyTextStaticsTakeAText) {
    HWND text = Make("Static", "old", SS_LEFT, 1083);
    HWND icon = Make("Static", "", SS_ICON, 1082);
    EXPECT_TRUE(SetWindowTextA(text, "new"));
    EXPECT_FALSE(SetWindowTextA(icon, "new"));
    char buffer[16] = "";
    GetWindowTextA(text, buffer, sizeof buffer);
    EXPECT_STREQ("new", buffer);
    GetWindowTextA(icon, buffer, sizeof buffer);
    EXPECT_STREQ("", buffer);
}

TEST_F(StaticTest, ATextChangePaintsAtOnce) {
    HWND text = Make("Static", "old", SS_LEFT, 1083);
    simwin::current().windows.find(text)->needsPaint = false;
    recorder.colourStatic = 0;
    SetWindowTextA(text, "new");
    EXPECT_EQ(1, recorder.colourStatic);  // the parent chose the colours
    EXPECT_FALSE(simwin::current().windows.find(text)->needsPaint);
    // A hidden static waits until it is shown.
    ShowWindow(text, SW_HIDE);
    SetWindowTextA(text, "again");
    EXPECT_EQ(1, recorder.colourStatic);
}

TEST_F(StaticTest, ImagesOnlyOfTheStaticsOwnKind) {
    HICON question = LoadIconA(NULL, MAKEINTRESOURCEA(32514));
    HICON warning = LoadIconA(NULL, MAKEINTRESOURCEA(32515));
    HWND icon = Make("Static", "", SS_ICON, 1082);
    HWND text = Make("Static", "x", SS_LEFT, 1083);
    EXPECT_EQ(0, SendMessageA(icon, STM_SETICON, reinterpret_cast<WPARAM>(question), 0));
    EXPECT_EQ(reinterpret_cast<LRESULT>(question), SendMessageA(icon, STM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(warning)));
    EXPECT_EQ(0, SendMessageA(icon, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(question)));  // not a bitmap static
    EXPECT_EQ(reinterpret_cast<LRESULT>(warning), SendMessageA(icon, STM_GETICON, 0, 0));
    EXPECT_EQ(reinterpret_cast<LRESULT>(warning), SendMessageA(icon, STM_GETIMAGE, IMAGE_ICON, 0));
    EXPECT_EQ(0, SendMessageA(icon, STM_GETIMAGE, IMAGE_BITMAP, 0));
    EXPECT_EQ(0, SendMessageA(text, STM_SETICON, reinterpret_cast<WPARAM>(question), 0));
    EXPECT_EQ(0, SendMessageA(text, STM_GETICON, 0, 0));
    EXPECT_EQ((std::vector<std::string>{"icon"}), Picture(icon));
}

TEST_F(StaticTest, AnIconStaticShowsTheIconItsTextNames) {
    HWND named = Make("Static", "#32516", SS_ICON, 1082);
    EXPECT_EQ(reinterpret_cast<LRESULT>(LoadIconA(NULL, MAKEINTRESOURCEA(32516))), SendMessageA(named, STM_GETICON, 0, 0));
    HWND missing = Make("Static", "NoSuchIcon", SS_ICON, 1096);  // still made, without an icon
    EXPECT_EQ(0, SendMessageA(missing, STM_GETICON, 0, 0));
    EXPECT_EQ((std::vector<std::string>{"no icon"}), Picture(missing));
}

TEST_F(StaticTest, NotifyingStaticsTellOfClicksAndOfBeingEnabled) {
    HWND notifying = Make("Static", "x", SS_LEFT | SS_NOTIFY, 30);
    HWND quiet = Make("Static", "y", SS_LEFT, 31);
    for (HWND s : {notifying, quiet}) {
        SendMessageA(s, WM_LBUTTONDOWN, MK_LBUTTON, 0);
        EnableWindow(s, FALSE);
        EnableWindow(s, TRUE);
    }
    EXPECT_EQ((std::vector<std::string>{Command(30, STN_CLICKED), Command(30, STN_DISABLE), Command(30, STN_ENABLE)}),
              recorder.log);
    EXPECT_EQ(DLGC_STATIC, SendMessageA(quiet, WM_GETDLGCODE, 0, 0));
}

TEST_F(StaticTest, SunkenStaticsAndEtchedLinesHaveAStaticEdge) {
    HWND sunken = Make("Static", "x", SS_LEFT | SS_SUNKEN, 40);
    HWND line = Make("Static", "", SS_ETCHEDHORZ, 41);
    HWND plain = Make("Static", "", SS_LEFT, 42);
    EXPECT_TRUE(GetWindowLongA(sunken, GWL_EXSTYLE) & WS_EX_STATICEDGE);
    EXPECT_TRUE(GetWindowLongA(line, GWL_EXSTYLE) & WS_EX_STATICEDGE);
    EXPECT_FALSE(GetWindowLongA(plain, GWL_EXSTYLE) & WS_EX_STATICEDGE);
}

}  // namespace
