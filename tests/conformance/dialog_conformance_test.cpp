// Modal and modeless dialogs from the templates of conformance.rc, their message order, and nested modal
// loops, set up and checked with Win32 calls only.
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
// Modal dialogs

TEST_F(WindowConformance, ModalDialogMessageOrderFromCreationToEndDialog) {
    msgseq::Recorder recorder;
    ASSERT_TRUE(recorder.hooked());
    Script s;
    s.recorder = &recorder;
    s.recorded = {WM_SETFONT, WM_INITDIALOG, WM_SHOWWINDOW, WM_TIMER, WM_COMMAND, WM_CLOSE, kPostedMessage,
                  kSentMessage};
    bool visibleAtInit = true;
    s.handle = [&](HWND h, UINT m, WPARAM w, LPARAM) -> INT_PTR {
        if (m == WM_INITDIALOG) {
            visibleAtInit = IsWindowVisible(h);
            EXPECT_TRUE(PostMessageA(h, kPostedMessage, 1, 0));
            SendMessageA(h, kSentMessage, 2, 0);  // sent later, handled first
            return TRUE;
        }
        // The timer starts once the dialog is shown: one started here could tick before the loop goes idle
        // on a busy machine, and would show the dialog only after its handler (which ends the dialog).
        if (m == WM_SHOWWINDOW && w) EXPECT_NE(0u, SetTimer(h, kTimer, 20, nullptr));
        if (m == WM_TIMER && w == kTimer) {
            KillTimer(h, kTimer);
            s.end(h, 42);
            return TRUE;
        }
        return FALSE;
    };
    EXPECT_EQ(42, runModal(IDD_CONF_SEQUENCE, s));
    EXPECT_FALSE(visibleAtInit);
    // WM_INITDIALOG's wParam is the first WS_TABSTOP control (the OK button); the dialog is shown when the
    // modal loop first finds the queue empty, after the posted message.
    const std::vector<Message> expected = {
        {WM_SETFONT, sent, 0},        {WM_INITDIALOG, sent, IDOK}, {kSentMessage, sent, 2},
        {kPostedMessage, posted, 1},  {WM_SHOWWINDOW, sent, TRUE}, {WM_TIMER, posted, kTimer},
    };
    EXPECT_EQ("", msgseq::compare(expected, recorder.messages));
}

TEST_F(WindowConformance, ModalDialogCloseBecomesAPostedCancelCommand) {
    msgseq::Recorder recorder;
    Script s;
    s.recorder = &recorder;
    s.recorded = {WM_TIMER, WM_CLOSE, WM_COMMAND};
    s.handle = [&](HWND h, UINT m, WPARAM w, LPARAM) -> INT_PTR {
        if (m == WM_INITDIALOG) return SetTimer(h, kTimer, 10, nullptr) != 0;
        if (m == WM_TIMER && w == kTimer) {
            KillTimer(h, kTimer);
            EXPECT_EQ(0, SendMessageA(h, WM_CLOSE, 0, 0));  // not handled here: DefDlgProc's default
            return TRUE;
        }
        if (m == WM_COMMAND) s.end(h, LOWORD(w));
        return m == WM_COMMAND;
    };
    EXPECT_EQ(IDCANCEL, runModal(IDD_CONF_SEQUENCE, s));
    const std::vector<Message> expected = {
        {WM_TIMER, posted, kTimer}, {WM_CLOSE, sent, 0}, {WM_COMMAND, posted, MAKEWPARAM(IDCANCEL, BN_CLICKED)}};
    EXPECT_EQ("", msgseq::compare(expected, recorder.messages));
}

// A modal dialog that clears SWP_SHOWWINDOW in WM_WINDOWPOSCHANGING stays hidden: the modal loop's show
// still sends WM_SHOWWINDOW (TRUE) first, and the dialog's timers run as in a visible dialog. A later
// ShowWindow is refused the same way and sends WM_SHOWWINDOW again, since the window never became visible.
// The timer starts with the first WM_SHOWWINDOW, as the loading dialog's does: started in WM_INITDIALOG, a
// tick could come before the show on a busy machine (the loop shows the dialog once its queue is empty).
TEST_F(WindowConformance, ModalDialogThatRefusesToBeShownStaysHiddenAndRunsItsTimers) {
    msgseq::Recorder recorder;
    Script s;
    s.recorder = &recorder;
    s.recorded = {WM_SHOWWINDOW, WM_TIMER};
    int ticks = 0, refusals = 0;
    bool everVisible = false, timerSet = false;
    s.handle = [&](HWND h, UINT m, WPARAM w, LPARAM l) -> INT_PTR {
        if (m == WM_SHOWWINDOW && w && !timerSet) timerSet = SetTimer(h, kTimer, 20, nullptr) != 0;
        if (m == WM_WINDOWPOSCHANGING) {
            WINDOWPOS* pos = reinterpret_cast<WINDOWPOS*>(l);
            if (pos->flags & SWP_SHOWWINDOW) {
                pos->flags &= ~static_cast<UINT>(SWP_SHOWWINDOW);
                ++refusals;
            }
            return FALSE;
        }
        if (m == WM_TIMER && w == kTimer) {
            everVisible = everVisible || IsWindowVisible(h);
            if (++ticks == 3) {
                KillTimer(h, kTimer);
                SetLastError(kPoison);
                EXPECT_FALSE(ShowWindow(h, SW_SHOW));  // it was not visible before
                everVisible = everVisible || IsWindowVisible(h);
                s.end(h, 7);
            }
            return TRUE;
        }
        return FALSE;
    };
    EXPECT_EQ(7, runModal(IDD_CONF_SEQUENCE, s));
    EXPECT_TRUE(timerSet);
    EXPECT_EQ(3, ticks);
    EXPECT_EQ(2, refusals);
    EXPECT_FALSE(everVisible);
    const std::vector<Message> expected = {{WM_SHOWWINDOW, sent, TRUE}, {WM_TIMER, posted, kTimer},
                                           {WM_TIMER, posted, kTimer},  {WM_TIMER, posted, kTimer},
                                           {WM_SHOWWINDOW, sent, TRUE}};
    EXPECT_EQ("", msgseq::compare(expected, recorder.messages));
}

// The modal loop hands keys to IsDialogMessage: Escape sends IDCANCEL, Enter the default button's IDOK.
// The keys are posted to a control of the dialog, which needs neither focus nor a keyboard.
TEST_F(WindowConformance, ModalDialogEscapeAndEnterBecomeCancelAndOk) {
    struct Case {
        int control;
        WPARAM key;
        int result;
    };
    for (Case c : {Case{IDC_CONF_TEXT, VK_ESCAPE, IDCANCEL}, Case{IDOK, VK_RETURN, IDOK}}) {
        SCOPED_TRACE(c.key);
        msgseq::Recorder recorder;
        Script s;
        s.recorder = &recorder;
        s.recorded = {WM_TIMER, WM_COMMAND, WM_KEYDOWN, WM_CHAR};
        s.handle = [&](HWND h, UINT m, WPARAM w, LPARAM) -> INT_PTR {
            if (m == WM_INITDIALOG) return SetTimer(h, kTimer, 10, nullptr) != 0;
            if (m == WM_TIMER && w == kTimer) {
                KillTimer(h, kTimer);
                EXPECT_TRUE(PostMessageA(GetDlgItem(h, c.control), WM_KEYDOWN, c.key, 1));
                return TRUE;
            }
            if (m == WM_COMMAND) s.end(h, LOWORD(w));
            return m == WM_COMMAND;
        };
        EXPECT_EQ(c.result, runModal(IDD_CONF_SEQUENCE, s));
        const std::vector<Message> expected = {{WM_TIMER, posted, kTimer},
                                               {WM_COMMAND, sent, MAKEWPARAM(c.result, BN_CLICKED)}};
        EXPECT_EQ("", msgseq::compare(expected, recorder.messages));
    }
}

TEST_F(WindowConformance, DialogBoxWithAMissingTemplateOrABadOwnerFails) {
    SetLastError(kPoison);
    EXPECT_EQ(-1, DialogBoxParamA(module(), MAKEINTRESOURCEA(949), nullptr, scriptedProc, 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND), GetLastError());

    SetLastError(kPoison);
    EXPECT_EQ(nullptr, CreateDialogParamA(module(), MAKEINTRESOURCEA(949), nullptr, scriptedProc, 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND), GetLastError());

    // An owner that is no window: no dialog, error 1400.
    Script s;
    SetLastError(kPoison);
    INT_PTR result = runModal(IDD_CONF_SEQUENCE, s, reinterpret_cast<HWND>(static_cast<ULONG_PTR>(0xdead0)));
    EXPECT_TRUE(result == 0 || result == -1) << result;  // Windows: 0 (documented), Wine: -1
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE), GetLastError());
    EXPECT_FALSE(s.initialised);
}

// Before WM_INITDIALOG the dialog procedure sees WM_SETFONT (the template has a FONT) and what the
// controls send while they are created (the list view's WM_NOTIFYFORMAT), never WM_CREATE; the controls
// exist only once WM_INITDIALOG arrives.
TEST_F(WindowConformance, DialogProcedureBeforeInitDialog) {
    Script s;
    HWND okAtSetFont = reinterpret_cast<HWND>(1), okAtInit = nullptr;
    s.handle = [&](HWND h, UINT m, WPARAM, LPARAM) -> INT_PTR {
        if (m == WM_SETFONT) okAtSetFont = GetDlgItem(h, IDOK);
        if (m == WM_INITDIALOG) okAtInit = GetDlgItem(h, IDOK);
        return m == WM_INITDIALOG;
    };
    HWND hwnd = createModeless(IDD_CONF_LIST, s);
    ASSERT_NE(nullptr, hwnd);
    EXPECT_EQ(nullptr, okAtSetFont);
    EXPECT_NE(nullptr, okAtInit);
    ASSERT_FALSE(s.beforeInit.empty());
    EXPECT_EQ(static_cast<UINT>(WM_SETFONT), s.beforeInit.front());
    auto seen = [&](UINT m) { return std::count(s.beforeInit.begin(), s.beforeInit.end(), m); };
    EXPECT_EQ(1, seen(WM_SETFONT));
    EXPECT_GE(seen(WM_NOTIFYFORMAT), 1);
    for (UINT never : {WM_NCCREATE, WM_CREATE, WM_SHOWWINDOW}) EXPECT_EQ(0, seen(never)) << never;
    DestroyWindow(hwnd);
    forget(s);
}

TEST_F(WindowConformance, DialogWindowLongsAndControlStyles) {
    Script s;
    LONG_PTR userAtInit = kPoison, previousUser = kPoison;
    s.handle = [&](HWND h, UINT m, WPARAM, LPARAM l) -> INT_PTR {
        if (m == WM_INITDIALOG) {
            userAtInit = GetWindowLongPtrA(h, DWLP_USER);
            previousUser = SetWindowLongPtrA(h, DWLP_USER, 0x1234);
            return TRUE;
        }
        if (m == kSentMessage && l == 1) {
            SetWindowLongPtrA(h, DWLP_MSGRESULT, 77);
            return TRUE;  // handled: SendMessage returns DWLP_MSGRESULT
        }
        if (m == kSentMessage) {
            SetWindowLongPtrA(h, DWLP_MSGRESULT, 55);
            return FALSE;  // not handled: DefDlgProc's default (0 for an application message)
        }
        return FALSE;
    };
    HWND hwnd = createModeless(IDD_CONF_SEQUENCE, s);
    ASSERT_NE(nullptr, hwnd);
    EXPECT_EQ(0, userAtInit);
    EXPECT_EQ(0, previousUser);
    EXPECT_EQ(0x1234, GetWindowLongPtrA(hwnd, DWLP_USER));
    EXPECT_EQ(77, SendMessageA(hwnd, kSentMessage, 0, 1));
    EXPECT_EQ(0, SendMessageA(hwnd, kSentMessage, 0, 0));
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(module()), GetWindowLongPtrA(hwnd, GWLP_HINSTANCE));
    EXPECT_EQ("#32770", className(hwnd));

    const LONG_PTR style = GetWindowLongPtrA(hwnd, GWL_STYLE);
    const LONG_PTR want = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    EXPECT_EQ(want, style & want) << std::hex << style;
    EXPECT_EQ(0, style & (WS_CHILD | WS_VISIBLE)) << std::hex << style;
    EXPECT_TRUE(GetWindowLongPtrA(hwnd, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);

    struct Control {
        int id;
        const char* cls;
        LONG_PTR type;  // low style bits: the kind of button or static
        LONG_PTR mask;
    };
    for (Control c : {Control{IDOK, "Button", BS_DEFPUSHBUTTON, BS_TYPEMASK},
                      Control{IDCANCEL, "Button", BS_PUSHBUTTON, BS_TYPEMASK},
                      Control{IDC_CONF_TEXT, "Static", SS_LEFT, SS_TYPEMASK}}) {
        SCOPED_TRACE(c.id);
        HWND control = GetDlgItem(hwnd, c.id);
        ASSERT_NE(nullptr, control);
        EXPECT_EQ(hwnd, GetParent(control));
        EXPECT_EQ(c.id, GetWindowLongPtrA(control, GWLP_ID));
        EXPECT_EQ(c.id, GetDlgCtrlID(control));
        EXPECT_EQ(0, lstrcmpiA(c.cls, className(control).c_str())) << className(control);
        const LONG_PTR cs = GetWindowLongPtrA(control, GWL_STYLE);
        EXPECT_EQ(WS_CHILD | WS_VISIBLE, cs & (WS_CHILD | WS_VISIBLE | WS_POPUP)) << std::hex << cs;
        EXPECT_EQ(c.type, cs & c.mask) << std::hex << cs;
        // Controls of a dialog do not send WM_PARENTNOTIFY.
        EXPECT_TRUE(GetWindowLongPtrA(control, GWL_EXSTYLE) & WS_EX_NOPARENTNOTIFY);
    }
    EXPECT_TRUE(GetWindowLongPtrA(GetDlgItem(hwnd, IDOK), GWL_STYLE) & WS_TABSTOP);
    EXPECT_EQ(nullptr, GetDlgItem(hwnd, 4242));  // Windows: error 1421, Wine: the last error unchanged
    EXPECT_TRUE(DestroyWindow(hwnd));
    EXPECT_FALSE(IsWindow(hwnd));
    forget(s);
}

// A page: a modeless WS_CHILD | DS_CONTROL dialog inside a modal one, as the tool's main window holds its
// pages. Its controls are its own children; keys posted to them still reach the modal loop's
// IsDialogMessage, and messages posted to the page arrive through the same loop.
TEST_F(WindowConformance, ChildDialogInsideAModalDialog) {
    msgseq::Recorder recorder;
    std::vector<Message> pageTable;
    Script page;
    page.recorder = &recorder;
    page.table = &pageTable;
    page.recorded = {WM_INITDIALOG, WM_SHOWWINDOW, kPostedMessage, WM_COMMAND};
    Script s;
    s.recorder = &recorder;
    s.recorded = {WM_SHOWWINDOW, WM_TIMER, WM_COMMAND};
    HWND pageHwnd = nullptr;
    bool pageVisible = false;
    s.handle = [&](HWND h, UINT m, WPARAM w, LPARAM) -> INT_PTR {
        if (m == WM_INITDIALOG) {
            pageHwnd = createModeless(IDD_CONF_PAGE, page, h);
            EXPECT_NE(nullptr, pageHwnd);
            EXPECT_TRUE(page.initialised);  // before CreateDialogParamA returned
            EXPECT_TRUE(PostMessageA(pageHwnd, kPostedMessage, 5, 0));
            return TRUE;
        }
        // Started with the show, so that a busy machine cannot tick it before (see above).
        if (m == WM_SHOWWINDOW && w) EXPECT_NE(0u, SetTimer(h, kTimer, 10, nullptr));
        if (m == WM_TIMER && w == kTimer) {
            KillTimer(h, kTimer);
            pageVisible = IsWindowVisible(pageHwnd);
            EXPECT_TRUE(PostMessageA(GetDlgItem(pageHwnd, IDC_CONF_PAGE_CHECK), WM_KEYDOWN, VK_ESCAPE, 1));
            return TRUE;
        }
        if (m == WM_COMMAND) s.end(h, LOWORD(w));
        return m == WM_COMMAND;
    };
    HWND modal = nullptr;
    auto checkTree = [&](HWND h) {
        modal = h;
        ASSERT_NE(nullptr, pageHwnd);
        EXPECT_EQ(h, GetParent(pageHwnd));
        EXPECT_EQ(h, GetAncestor(pageHwnd, GA_ROOT));
        EXPECT_EQ("#32770", className(pageHwnd));
        EXPECT_TRUE(GetWindowLongPtrA(pageHwnd, GWL_STYLE) & WS_CHILD);
        EXPECT_TRUE(GetWindowLongPtrA(pageHwnd, GWL_EXSTYLE) & WS_EX_CONTROLPARENT);  // from DS_CONTROL
        EXPECT_NE(nullptr, GetDlgItem(pageHwnd, IDC_CONF_PAGE_CHECK));
        EXPECT_EQ(nullptr, GetDlgItem(h, IDC_CONF_PAGE_CHECK));  // only direct children
        EXPECT_TRUE(IsChild(h, GetDlgItem(pageHwnd, IDC_CONF_PAGE_CHECK)));
    };
    auto handler = s.handle;
    s.handle = [&](HWND h, UINT m, WPARAM w, LPARAM l) -> INT_PTR {
        if (m == WM_TIMER && w == kTimer) checkTree(h);
        return handler(h, m, w, l);
    };
    EXPECT_EQ(IDCANCEL, runModal(IDD_CONF_SEQUENCE, s));
    forget(page);
    EXPECT_TRUE(pageVisible);
    EXPECT_FALSE(IsWindow(pageHwnd));  // destroyed with its parent
    EXPECT_FALSE(IsWindow(modal));
    const std::vector<Message> expected = {
        {WM_SHOWWINDOW, sent, TRUE}, {WM_TIMER, posted, kTimer}, {WM_COMMAND, sent, MAKEWPARAM(IDCANCEL, BN_CLICKED)}};
    EXPECT_EQ("", msgseq::compare(expected, recorder.messages));
    // The page's first WS_TABSTOP control has the focus in its WM_INITDIALOG; WS_VISIBLE in its template
    // shows it right after.
    const std::vector<Message> expectedPage = {
        {WM_INITDIALOG, sent, IDC_CONF_PAGE_CHECK}, {WM_SHOWWINDOW, sent, TRUE}, {kPostedMessage, posted, 5}};
    EXPECT_EQ("", msgseq::compare(expectedPage, pageTable));
}

// ---------------------------------------------------------------------------------------------
// Nested modal loops

// A message box opened from a timer handler runs its own modal loop: the dialog's timers keep arriving in
// the dialog procedure, which is re-entered while the first handler still waits in MessageBoxA. A second
// timer closes the box. How many ticks arrive meanwhile depends on timing.
TEST_F(WindowConformance, MessageBoxFromATimerHandlerWhileTheTimerRuns) {
    Script s;
    int ticks = 0, ticksWhileOpen = 0, depth = 0, maxDepth = 0;
    int boxResult = 0;
    bool boxOpen = false, ownerEnabledWhileOpen = true;
    HWND box = nullptr, boxOwner = nullptr;
    s.handle = [&](HWND h, UINT m, WPARAM w, LPARAM) -> INT_PTR {
        if (m == WM_INITDIALOG) return SetTimer(h, kTimer, 20, nullptr) != 0;
        if (m != WM_TIMER) return FALSE;
        if (w == kTimer) {
            ++ticks;
            maxDepth = std::max(maxDepth, ++depth);
            if (boxOpen) ++ticksWhileOpen;
            if (ticks == 1) {
                EXPECT_NE(0u, SetTimer(h, kSecondTimer, 300, nullptr));
                boxOpen = true;
                boxResult = MessageBoxA(h, "Nested loop", "Korun conformance box", MB_OK);
                boxOpen = false;
                KillTimer(h, kTimer);
                s.end(h, 77);
            }
            --depth;
        } else if (w == kSecondTimer) {
            box = FindWindowA("#32770", "Korun conformance box");
            if (!box) return TRUE;  // not up yet: next tick
            KillTimer(h, kSecondTimer);
            boxOwner = GetWindow(box, GW_OWNER);
            ownerEnabledWhileOpen = IsWindowEnabled(h);
            SendMessageA(box, WM_COMMAND, IDOK, 0);
        }
        return TRUE;
    };
    EXPECT_EQ(77, runModal(IDD_CONF_SEQUENCE, s));
    EXPECT_EQ(IDOK, boxResult);
    EXPECT_NE(nullptr, box);
    EXPECT_FALSE(IsWindow(box));
    EXPECT_GT(ticksWhileOpen, 0);
    EXPECT_GE(maxDepth, 2);  // re-entered
    EXPECT_FALSE(ownerEnabledWhileOpen);  // a message box disables its owner
    EXPECT_NE(nullptr, boxOwner);
}

}  // namespace
