// The keyboard in a dialog that holds a page with a list view: the focus, Tab, the arrows, Space and the
// context-menu keys, set up and checked with Win32 calls only.
//
// Outputs and the last error are poisoned (kPoison) before each call whose outputs are checked. Where Wine
// and Windows differ, the difference is written beside the expectation and only the common part is checked.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/platform.h"
#include "conformance/conformance_env.h"
#include "conformance/window_conformance.h"
#include "support/msg_sequence.h"

namespace {

using namespace winconf;

// ---------------------------------------------------------------------------------------------
// The keyboard in a dialog that holds a page, as the tool's main window holds its selection page: the page
// (DS_CONTROL, created after the dialog's own buttons) holds a list view that takes Tab.

namespace {

const UINT kStep = WM_APP + 4;  // posted: runs the next step once what the step before posted was handled

void setKeyDown(int key, bool down) {
    BYTE state[256];
    ASSERT_TRUE(GetKeyboardState(state));
    state[key] = down ? 0x80 : 0;
    ASSERT_TRUE(SetKeyboardState(state));
}

// A dialog with the list page: the list filled with three items, shown and given the focus in WM_INITDIALOG,
// which then answers FALSE (the focus was set by hand; TRUE would move it to the first tab stop). Then the
// steps, each once the messages the one before posted were handled; the dialog ends after the last.
struct KeyboardDialog {
    Script dialog, page;
    HWND hwnd = nullptr, list = nullptr;
    std::vector<std::function<void()>> steps;
    // After the last step the dialog waits, up to two seconds, until this holds (keyboard input is taken
    // after the posted messages, and reaches the window some time after SendInput).
    std::function<bool()> until;
    // What the page saw.
    int contextMenus = 0;
    HWND contextMenuFrom = nullptr;
    LPARAM contextMenuPoint = 0;
    std::vector<WORD> keys;  // LVN_KEYDOWN

    void run() {
        size_t next = 0;
        int waits = 0;
        page.handle = [&](HWND, UINT m, WPARAM w, LPARAM l) -> INT_PTR {
            if (m == WM_CONTEXTMENU) {
                ++contextMenus;
                contextMenuFrom = reinterpret_cast<HWND>(w);
                contextMenuPoint = l;
                return TRUE;
            }
            if (m == WM_NOTIFY && reinterpret_cast<NMHDR*>(l)->code == LVN_KEYDOWN)
                keys.push_back(reinterpret_cast<NMLVKEYDOWN*>(l)->wVKey);
            return m == WM_INITDIALOG;
        };
        dialog.handle = [&](HWND h, UINT m, WPARAM w, LPARAM) -> INT_PTR {
            if (m == WM_INITDIALOG) {
                hwnd = h;
                HWND p = createModeless(IDD_CONF_LIST_PAGE, page, h);
                list = GetDlgItem(p, IDC_CONF_PAGE_LIST);
                for (int i = 0; i < 3; ++i) insertItem(list, i, "Printer");
                ShowWindow(h, SW_SHOW);
                SetFocus(list);
                return FALSE;
            }
            if (m == WM_SHOWWINDOW && w && next == 0) PostMessageA(h, kStep, 0, 0);
            if (m == kStep) {
                if (next < steps.size()) {
                    steps[next++]();
                    PostMessageA(h, kStep, 0, 0);
                } else if (until && !until() && waits++ < 40) {
                    EXPECT_NE(0u, SetTimer(h, kTimer, 50, nullptr));
                } else {
                    dialog.end(h, IDOK);
                }
                return TRUE;
            }
            if (m == WM_TIMER && w == kTimer) {
                KillTimer(h, kTimer);
                PostMessageA(h, kStep, 0, 0);
                return TRUE;
            }
            return FALSE;
        };
        EXPECT_EQ(IDOK, runModal(IDD_CONF_SEQUENCE, dialog));
        forget(page);
        EXPECT_EQ(steps.size(), next);
    }
};

UINT itemState(HWND list, int item) {
    return static_cast<UINT>(SendMessageA(list, LVM_GETITEMSTATE, item, LVIS_SELECTED | LVIS_FOCUSED));
}

}  // namespace

// The focus set by hand in WM_INITDIALOG (which then answers FALSE) stays on the page's list; Tab goes from
// the list to the dialog's buttons in their order and round to the list again, Shift+Tab backwards.
TEST_F(WindowConformance, KeyboardFocusStaysAndTabGoesListButtonsList) {
    KeyboardDialog d;
    std::vector<HWND> focus;
    auto tab = [&] { EXPECT_TRUE(PostMessageA(GetFocus(), WM_KEYDOWN, VK_TAB, 1)); };
    auto note = [&] { focus.push_back(GetFocus()); };
    d.steps = {
        [&] { note(), tab(); },
        [&] { note(), tab(); },
        [&] { note(), tab(); },
        [&] { note(), setKeyDown(VK_SHIFT, true), tab(); },
        [&] { note(), setKeyDown(VK_SHIFT, false); },
    };
    d.run();
    ASSERT_EQ(5u, focus.size());
    EXPECT_EQ(d.list, focus[0]);
    EXPECT_NE(d.list, focus[1]);
    EXPECT_NE(focus[1], focus[2]);
    EXPECT_NE(d.list, focus[2]);
    EXPECT_EQ(d.list, focus[3]);
    EXPECT_EQ(focus[2], focus[4]);  // Shift+Tab: back to the last button
    EXPECT_TRUE(d.keys.empty());    // Tab is the dialog's, not the list's
}

// The arrows move the list's focus and select the item alone; Ctrl+Space toggles the focused item. Each
// key goes to the parent first as LVN_KEYDOWN. Shift+F10 (WM_SYSKEYDOWN of F10 with Shift down) has the
// list's default procedure ask its parent for the context menu: WM_CONTEXTMENU with the list's handle and
// -1 for both coordinates (Wine sends lParam -1; Windows MAKELPARAM(-1, -1): the words are compared).
TEST_F(WindowConformance, KeyboardArrowsSpaceAndShiftF10InAList) {
    KeyboardDialog d;
    std::vector<UINT> states;  // of items 0 and 1 after each step
    auto note = [&] { states.push_back(itemState(d.list, 0)), states.push_back(itemState(d.list, 1)); };
    d.steps = {
        [&] {
            LVITEMA focus = {};
            focus.stateMask = LVIS_FOCUSED;
            focus.state = LVIS_FOCUSED;
            EXPECT_TRUE(SendMessageA(d.list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&focus)));
            EXPECT_TRUE(PostMessageA(d.list, WM_KEYDOWN, VK_DOWN, 1));
        },
        [&] {
            note(), setKeyDown(VK_CONTROL, true);
            EXPECT_TRUE(PostMessageA(d.list, WM_KEYDOWN, VK_SPACE, 1));
        },
        [&] {
            note(), setKeyDown(VK_CONTROL, false), setKeyDown(VK_SHIFT, true);
            EXPECT_TRUE(PostMessageA(d.list, WM_SYSKEYDOWN, VK_F10, 1));
        },
        [&] { setKeyDown(VK_SHIFT, false); },
    };
    d.run();
    EXPECT_EQ((std::vector<UINT>{0, LVIS_SELECTED | LVIS_FOCUSED, 0, LVIS_FOCUSED}), states);
    EXPECT_EQ((std::vector<WORD>{VK_DOWN, VK_SPACE}), d.keys);  // WM_SYSKEYDOWN is no LVN_KEYDOWN
    EXPECT_EQ(1, d.contextMenus);
    EXPECT_EQ(d.list, d.contextMenuFrom);
    EXPECT_EQ(0xFFFF, LOWORD(d.contextMenuPoint));
    EXPECT_EQ(0xFFFF, HIWORD(d.contextMenuPoint));
}

// The Menu key, pressed and released as a person does (SendInput into the foreground dialog): the system
// sends WM_CONTEXTMENU for the window with the focus on the release, with -1 for both coordinates; the
// list hands it to its parent. (A WM_KEYUP of VK_APPS a program posts itself opens nothing under Wine.)
TEST_F(WindowConformance, KeyboardTheMenuKeyAsksForTheContextMenu) {
    KeyboardDialog d;
    d.steps = {
        [&] {
            SetForegroundWindow(d.hwnd);
            INPUT keys[2] = {};
            for (INPUT& k : keys) {
                k.type = INPUT_KEYBOARD;
                k.ki.wVk = VK_APPS;
                k.ki.dwFlags = KEYEVENTF_EXTENDEDKEY;
            }
            keys[1].ki.dwFlags |= KEYEVENTF_KEYUP;
            EXPECT_EQ(2u, SendInput(2, keys, sizeof(INPUT)));
        },
    };
    d.until = [&] { return d.contextMenus > 0; };
    d.run();
    EXPECT_EQ(1, d.contextMenus);
    EXPECT_EQ(d.list, d.contextMenuFrom);
    EXPECT_EQ(0xFFFF, LOWORD(d.contextMenuPoint));
    EXPECT_EQ(0xFFFF, HIWORD(d.contextMenuPoint));
    EXPECT_EQ((std::vector<WORD>{VK_APPS}), d.keys);
}

}  // namespace
