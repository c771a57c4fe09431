// The scripted user: reading user files, the order in which a modal loop takes its work (posted
// messages, timers, timed and untimed actions), and actions that a person could not carry out.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "simwin/machine.h"
#include "simwin/win32.h"

namespace {

using simwin::ScriptedUser;
using simwin::UserAction;

TEST(UserFile, ReadsEveryActionWithItsTimeAndLine) {
    std::vector<UserAction> a = ScriptedUser::parse(
        "# a comment\n\nat 1200 key escape\nanswer no\nselect \"Office\" \"Say \"\"hi\"\"\"\r\npress 1080\n"
        "press \"Close\"\nright-click  # trailing comment\nmenu 40005\ndismiss\nsystem-menu 156\nselect-all\n",
        "u.txt");
    ASSERT_EQ(10u, a.size());
    EXPECT_EQ(UserAction::Key, a[0].kind);
    EXPECT_EQ(1200, a[0].at);
    EXPECT_EQ(3, a[0].line);
    EXPECT_EQ("escape", a[0].target);
    EXPECT_EQ(-1, a[1].at);
    EXPECT_EQ((std::vector<std::string>{"Office", "Say \"hi\""}), a[2].items);
    EXPECT_EQ("1080", a[3].target);
    EXPECT_EQ("Close", a[4].target);
    EXPECT_EQ(UserAction::RightClick, a[5].kind);
    EXPECT_EQ(UserAction::SelectAll, a[9].kind);
    EXPECT_EQ("select \"Office\" \"Say \"\"hi\"\"\"", a[2].describe());
    EXPECT_EQ("at 1200 key \"escape\"", a[0].describe());
    EXPECT_EQ("press \"\"", ScriptedUser::parse("press \"\"\n", "u.txt")[0].describe());
}

TEST(UserFile, RefusesWhatItCannotReadNamingTheLine) {
    const std::pair<const char*, const char*> bad[] = {
        {"jump 3\n", "u.txt:1: unknown action 'jump'"},
        {"\npress\n", "u.txt:2: 'press' needs exactly one ID or text"},
        {"press 1 2\n", "u.txt:1: 'press' needs exactly one ID or text"},
        {"select\n", "u.txt:1: 'select' needs at least one item text"},
        {"key f1\n", "u.txt:1: 'key' takes enter, escape, tab, shift+tab, up, down, left, right, home, end, space, "
                      "ctrl+space, apps or shift+f10"},
        {"answer maybe\n", "u.txt:1: 'answer' takes yes, no, ok or cancel"},
        {"at soon press 1\n", "u.txt:1: 'at' needs a time in milliseconds and an action"},
        {"at 10 menu 4\n", "u.txt:1: 'menu' acts on an open menu or message box and takes no time"},
        {"dismiss now\n", "u.txt:1: 'dismiss' takes no arguments"},
        {"press \"open\n", "u.txt:1: a quoted text is not closed"},
    };
    for (const auto& [text, message] : bad) {
        try {
            ScriptedUser::parse(text, "u.txt");
            ADD_FAILURE() << "read: " << text;
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(message, std::string(e.what())) << text;
        }
    }
    EXPECT_THROW(ScriptedUser::parse(std::string("press 1\0", 8), "u.txt"), std::runtime_error);
}

// A dialog of the machine's own making: a parent window with one button of each kind the user presses.
class Loop : public ::testing::Test {
protected:
    simwin::Machine m;
    simwin::MachineScope scope{m};
    std::vector<std::string> seen;

    static std::vector<std::string>* log;
    static LRESULT CALLBACK Proc(HWND h, UINT msg, WPARAM w, LPARAM l) {
        if (msg == WM_TIMER) log->push_back("timer " + std::to_string(simwin::current().clock.ms));
        if (msg == WM_COMMAND) log->push_back("command " + std::to_string(LOWORD(w)) + " at " + std::to_string(simwin::current().clock.ms));
        if (msg == WM_APP) log->push_back("posted");
        return DefWindowProcA(h, msg, w, l);
    }
    HWND Window() {
        log = &seen;
        WNDCLASSA wc{};
        wc.lpfnWndProc = Proc;
        wc.lpszClassName = "LoopTest";
        RegisterClassA(&wc);
        HWND h = CreateWindowExA(0, "LoopTest", "Loop", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100, NULL, NULL, NULL, NULL);
        CreateWindowExA(0, "Button", "Go", WS_CHILD | WS_VISIBLE, 0, 0, 50, 20, h, reinterpret_cast<HMENU>(7), NULL, NULL);
        HWND off = CreateWindowExA(0, "Button", "Off", WS_CHILD | WS_VISIBLE, 0, 30, 50, 20, h, reinterpret_cast<HMENU>(8),
                                   NULL, NULL);
        EnableWindow(off, FALSE);
        return h;
    }
    UserAction Press(const std::string& target, int64_t at = -1) {
        UserAction a;
        a.kind = UserAction::Press;
        a.target = target;
        a.at = at;
        return a;
    }
};
std::vector<std::string>* Loop::log = nullptr;

TEST_F(Loop, PostedMessagesThenTimersThenTimedActionsThenIdleActions) {
    HWND h = Window();
    SetTimer(h, 1, 400, NULL);
    PostMessageA(h, WM_APP, 0, 0);
    m.windows.user.actions = {Press("Go", 1000), Press("7")};
    for (int i = 0; i < 50 && seen.size() < 5; ++i) m.windows.step(h);  // paints come between
    EXPECT_EQ((std::vector<std::string>{"posted", "timer 400", "timer 800", "command 7 at 1000", "timer 1200"}), seen);
    KillTimer(h, 1);
    while (m.windows.step(h) != simwin::WindowSystem::Step::None) {
    }
    // No timer left: the untimed action, at once.
    EXPECT_EQ("command 7 at 1200", seen.back());
    EXPECT_EQ(6u, seen.size());
}

TEST_F(Loop, ActionsAPersonCannotTakeStopTheRunNamingThem) {
    HWND h = Window();
    UserAction missing = Press("Nowhere");
    missing.line = 4;
    EXPECT_THROW(
        {
            try {
                m.windows.perform(missing, h);
            } catch (const simwin::UserStop& e) {
                EXPECT_EQ("user (line 4): cannot press \"Nowhere\" in \"Loop\": there is no such button", std::string(e.what()));
                throw;
            }
        },
        simwin::UserStop);
    try {
        m.windows.perform(Press("Off"), h);
        ADD_FAILURE();
    } catch (const simwin::UserStop& e) {
        EXPECT_NE(std::string::npos, std::string(e.what()).find("the button is disabled"));
    }
    UserAction list;
    list.kind = UserAction::SelectAll;
    EXPECT_THROW(m.windows.perform(list, h), simwin::UserStop);  // no list here
    EXPECT_TRUE(seen.empty());
}

TEST_F(Loop, AModalLoopWithNothingLeftEndsWithOneClearLine) {
    HWND h = Window();
    try {
        m.windows.runModal(h);
        ADD_FAILURE();
    } catch (const simwin::UserStop& e) {
        EXPECT_EQ("the tool waits for the user in \"Loop\" and nothing more is scripted", std::string(e.what()));
    }
    EXPECT_TRUE(m.windows.modalStack.empty());
}

TEST_F(Loop, ALoopThatOnlyFeedsItselfIsStopped) {
    struct Feeder {
        static LRESULT CALLBACK Proc(HWND h, UINT msg, WPARAM w, LPARAM l) {
            if (msg == WM_APP) PostMessageA(h, WM_APP, 0, 0);
            return DefWindowProcA(h, msg, w, l);
        }
    };
    WNDCLASSA wc{};
    wc.lpfnWndProc = Feeder::Proc;
    wc.lpszClassName = "Feeder";
    RegisterClassA(&wc);
    HWND h = CreateWindowExA(0, "Feeder", "Feeder", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
    PostMessageA(h, WM_APP, 0, 0);
    EXPECT_THROW(m.windows.runModal(h), simwin::UserStop);
}

TEST_F(Loop, AMessageBoxIsReadForASecondWhileTimersRun) {
    HWND h = Window();
    SetTimer(h, 1, 300, NULL);
    m.windows.user.answers = {true};
    EXPECT_EQ(IDYES, MessageBoxA(h, "Go on?", "Q", MB_YESNO));
    EXPECT_EQ(1000u, m.clock.ms);
    EXPECT_EQ((std::vector<std::string>{"timer 300", "timer 600", "timer 900"}), seen);
    EXPECT_TRUE(IsWindowEnabled(h));  // the owner is back
}

}  // namespace

// --- The keyboard --------------------------------------------------------------------------------------------------

// Keys come as input: after the posted messages, to the window with the focus, as WM_SYSKEY* for F10; the
// key state follows each key as its message is taken (the scripted user presses keys this way).
TEST_F(Loop, KeysComeAfterPostedMessagesToTheFocusAndMoveTheKeyState) {
    HWND h = Window();
    HWND go = GetDlgItem(h, 7);
    SetFocus(go);
    std::vector<std::string> keys;
    simwin::WindowSystem& ws = m.windows;
    PostMessageA(h, WM_APP, 0, 0);
    for (const auto& [key, up] : std::vector<std::pair<WORD, bool>>{{VK_SHIFT, false}, {VK_F10, false}, {VK_F10, true},
                                                                    {VK_SHIFT, true}})
        ws.keyInput(key, up);
    std::vector<SHORT> shift;
    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE));
    EXPECT_EQ(static_cast<UINT>(WM_APP), msg.message);  // posted first
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        EXPECT_EQ(go, msg.hwnd);
        keys.push_back(std::to_string(msg.message) + " " + std::to_string(msg.wParam));
        shift.push_back(GetKeyState(VK_SHIFT));
    }
    EXPECT_EQ((std::vector<std::string>{"256 16", "260 121", "261 121", "257 16"}), keys);  // WM_KEYDOWN Shift, WM_SYSKEYDOWN F10...
    EXPECT_EQ((std::vector<SHORT>{static_cast<SHORT>(0x8001), static_cast<SHORT>(0x8001), static_cast<SHORT>(0x8001), 1}),
              shift);  // down while held; the press toggled it
}

TEST_F(Loop, SendInputTakesKeysOnlyInItsOwnSize) {
    HWND h = Window();
    SetFocus(h);
    INPUT in[2] = {};
    in[0].type = INPUT_KEYBOARD;
    in[0].ki.wVk = VK_TAB;
    in[1].type = INPUT_MOUSE;
    SetLastError(0);
    EXPECT_EQ(0u, SendInput(1, in, sizeof(INPUT) - 1));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_EQ(1u, SendInput(2, in, sizeof(INPUT)));  // the mouse is not the simulated user's
    EXPECT_EQ(1u, m.windows.inputQueue.size());
    BYTE state[256] = {};
    state[VK_CONTROL] = 0x80;
    EXPECT_TRUE(SetKeyboardState(state));
    EXPECT_EQ(static_cast<SHORT>(0x8000), GetKeyState(VK_CONTROL));
    BYTE back[256] = {};
    EXPECT_TRUE(GetKeyboardState(back));
    EXPECT_EQ(0x80, back[VK_CONTROL]);
}

TEST(UserFile, KeysReadBackAsTheyWereWritten) {
    for (const char* key : {"tab", "shift+tab", "up", "down", "left", "right", "home", "end", "space", "ctrl+space",
                            "apps", "shift+f10", "enter", "escape"}) {
        SCOPED_TRACE(key);
        std::vector<UserAction> a = ScriptedUser::parse(std::string("key ") + key + "\n", "u.txt");
        ASSERT_EQ(1u, a.size());
        EXPECT_EQ(UserAction::Key, a[0].kind);
        EXPECT_EQ(key, a[0].target);
        EXPECT_EQ(a[0].describe(), ScriptedUser::parse(a[0].describe() + "\n", "u.txt")[0].describe());
    }
}
