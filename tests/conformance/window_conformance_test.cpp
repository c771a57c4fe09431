// The window behaviour the tool's dialogs rely on, set up and checked with Win32 calls only: modal and
// modeless dialogs from the templates of conformance.rc, their message order, nested modal loops, buttons,
// the list view, the progress bar, menus, geometry and GDI objects.
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
#include "support/msg_sequence.h"

namespace {

using msgseq::Message;
using msgseq::posted;
using msgseq::sent;

const DWORD kPoison = 0xdeadbeef;
const UINT kPostedMessage = WM_APP + 1;  // a message a test posts
const UINT kSentMessage = WM_APP + 2;    // a message a test sends
const UINT kRunBody = WM_APP + 3;        // posted once a dialog is visible: runs the test's body
const UINT_PTR kTimer = 7;
const UINT_PTR kSecondTimer = 8;
const UINT_PTR kSafetyTimer = 99;  // ends a modal dialog that a broken test would leave open
const UINT kSafetyMs = 5000;

HINSTANCE module() { return GetModuleHandleA(nullptr); }

std::string className(HWND hwnd) {
    char name[64] = "";
    GetClassNameA(hwnd, name, sizeof name);
    return name;
}

// What one dialog of a test does: the test's handler for its messages and which messages enter the table.
struct Script {
    std::function<INT_PTR(HWND, UINT, WPARAM, LPARAM)> handle;  // returns what the dialog procedure returns
    msgseq::Recorder* recorder = nullptr;
    std::set<UINT> recorded;                      // messages entered into `table`
    std::vector<Message>* table = nullptr;        // default: the recorder's messages
    std::vector<UINT> beforeInit;                 // every message the procedure received before WM_INITDIALOG
    bool initialised = false;
    bool ended = false;                           // set by end(): nothing is recorded afterwards
    bool modal = false;

    void end(HWND hwnd, INT_PTR result) {
        ended = true;
        EXPECT_TRUE(EndDialog(hwnd, result));
    }
};

// The scripts of the dialogs alive now, by window; a dialog created next takes pendingScript.
std::map<HWND, Script*> g_scripts;
Script* g_pendingScript = nullptr;

Script* scriptOf(HWND hwnd) {
    auto it = g_scripts.find(hwnd);
    if (it != g_scripts.end()) return it->second;
    if (!g_pendingScript) return nullptr;
    g_scripts[hwnd] = g_pendingScript;
    return g_pendingScript;
}

void forget(const Script& s) {
    for (auto it = g_scripts.begin(); it != g_scripts.end();)
        it = it->second == &s ? g_scripts.erase(it) : std::next(it);
}

// The table's id of a message: control IDs and timer IDs instead of handles.
WPARAM tableId(UINT message, WPARAM wParam) {
    if (message == WM_SETFONT) return 0;  // a font handle
    if (message == WM_INITDIALOG) return wParam ? GetDlgCtrlID(reinterpret_cast<HWND>(wParam)) : 0;
    return wParam;
}

void recordMessage(Script& s, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!s.initialised && message != WM_INITDIALOG) s.beforeInit.push_back(message);
    if (!s.recorder || s.ended) return;
    if (message == WM_NOTIFY && s.recorded.count(WM_NOTIFY)) msgseq::recordItemChange(*s.recorder, lParam);
    if (message == WM_NOTIFY || !s.recorded.count(message)) return;
    std::vector<Message>& table = s.table ? *s.table : s.recorder->messages;
    table.push_back(s.recorder->entry(hwnd, message, wParam, lParam, tableId(message, wParam)));
}

INT_PTR CALLBACK scriptedProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Script* s = scriptOf(hwnd);
    if (!s) return FALSE;
    recordMessage(*s, hwnd, message, wParam, lParam);
    if (message == WM_INITDIALOG) {
        s->initialised = true;
        g_pendingScript = nullptr;
        if (s->modal) SetTimer(hwnd, kSafetyTimer, kSafetyMs, nullptr);
    }
    if (message == WM_TIMER && wParam == kSafetyTimer) {
        ADD_FAILURE() << "dialog still open after " << kSafetyMs << " ms";
        KillTimer(hwnd, kSafetyTimer);
        s->end(hwnd, -2);
        return TRUE;
    }
    if (s->handle) return s->handle(hwnd, message, wParam, lParam);
    return message == WM_INITDIALOG;
}

// Runs a modal dialog of conformance.rc with the script; returns what DialogBoxParamA returned.
INT_PTR runModal(int templateId, Script& s, HWND owner = nullptr) {
    s.modal = true;
    g_pendingScript = &s;
    INT_PTR result = DialogBoxParamA(module(), MAKEINTRESOURCEA(templateId), owner, scriptedProc, 0);
    g_pendingScript = nullptr;
    forget(s);
    return result;
}

// Creates a modeless dialog of conformance.rc (hidden unless its template says WS_VISIBLE).
HWND createModeless(int templateId, Script& s, HWND parent = nullptr) {
    g_pendingScript = &s;
    HWND hwnd = CreateDialogParamA(module(), MAKEINTRESOURCEA(templateId), parent, scriptedProc, 0);
    g_pendingScript = nullptr;
    return hwnd;
}

// Runs a modal dialog and calls body once it is visible and active (the modal loop shows it when it first
// goes idle); the dialog then ends with IDOK. `s` may carry a recorder and its own handler.
void runVisible(int templateId, Script& s, const std::function<void(HWND)>& body) {
    auto handler = s.handle;
    bool ran = false;
    s.handle = [&](HWND h, UINT m, WPARAM w, LPARAM l) -> INT_PTR {
        if (m == WM_SHOWWINDOW && w) PostMessageA(h, kRunBody, 0, 0);
        if (m == kRunBody) {
            ran = true;
            body(h);
            s.end(h, IDOK);
            return TRUE;
        }
        return handler ? handler(h, m, w, l) : m == WM_INITDIALOG;
    };
    EXPECT_EQ(IDOK, runModal(templateId, s));
    EXPECT_TRUE(ran);
    s.handle = handler;
}

// A hidden modeless dialog for tests that need windows but no message loop; destroyed with the object.
struct Modeless {
    Script script;
    HWND hwnd = nullptr;
    explicit Modeless(int templateId, msgseq::Recorder* recorder = nullptr) {
        script.recorder = recorder;
        hwnd = createModeless(templateId, script);
    }
    ~Modeless() {
        if (hwnd) DestroyWindow(hwnd);
        forget(script);
    }
    HWND item(int id) const { return GetDlgItem(hwnd, id); }
};

class WindowConformance : public ConformanceTest {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
        ASSERT_TRUE(InitCommonControlsEx(&icc));
    }
};

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

// ---------------------------------------------------------------------------------------------
// Buttons

TEST_F(WindowConformance, ButtonChecksRadioGroupsAndClicks) {
    msgseq::Recorder recorder;
    Script s;
    s.recorder = &recorder;
    s.recorded = {WM_COMMAND};
    auto checked = [](HWND dialog, int id) { return SendMessageA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0); };
    runVisible(IDD_CONF_BUTTONS, s, [&](HWND h) {
        HWND check = GetDlgItem(h, IDC_CONF_CHECK);
        EXPECT_EQ(BST_UNCHECKED, checked(h, IDC_CONF_CHECK));
        EXPECT_EQ(0, SendMessageA(check, BM_SETCHECK, BST_CHECKED, 0));
        EXPECT_EQ(BST_CHECKED, checked(h, IDC_CONF_CHECK));
        EXPECT_EQ(static_cast<UINT>(BST_CHECKED), IsDlgButtonChecked(h, IDC_CONF_CHECK));
        EXPECT_TRUE(CheckDlgButton(h, IDC_CONF_CHECK, BST_UNCHECKED));
        EXPECT_EQ(BST_UNCHECKED, checked(h, IDC_CONF_CHECK));
        EXPECT_TRUE(recorder.messages.empty());  // setting a check notifies nobody

        EXPECT_TRUE(CheckRadioButton(h, IDC_CONF_RADIO1, IDC_CONF_RADIO3, IDC_CONF_RADIO2));
        EXPECT_EQ(BST_UNCHECKED, checked(h, IDC_CONF_RADIO1));
        EXPECT_EQ(BST_CHECKED, checked(h, IDC_CONF_RADIO2));
        EXPECT_EQ(BST_UNCHECKED, checked(h, IDC_CONF_RADIO3));

        // BM_CLICK: WM_COMMAND BN_CLICKED sent to the parent; an auto check box toggles, an auto radio
        // button checks itself and unchecks the others of its group.
        SendMessageA(check, BM_CLICK, 0, 0);
        EXPECT_EQ(BST_CHECKED, checked(h, IDC_CONF_CHECK));
        SendMessageA(GetDlgItem(h, IDC_CONF_RADIO3), BM_CLICK, 0, 0);
        EXPECT_EQ(BST_UNCHECKED, checked(h, IDC_CONF_RADIO2));
        EXPECT_EQ(BST_CHECKED, checked(h, IDC_CONF_RADIO3));
        SendMessageA(GetDlgItem(h, IDC_CONF_PUSH), BM_CLICK, 0, 0);
        EXPECT_EQ(0, checked(h, IDC_CONF_PUSH));  // a push button has no check state
    });
    const std::vector<Message> expected = {{WM_COMMAND, sent, MAKEWPARAM(IDC_CONF_CHECK, BN_CLICKED)},
                                           {WM_COMMAND, sent, MAKEWPARAM(IDC_CONF_RADIO3, BN_CLICKED)},
                                           {WM_COMMAND, sent, MAKEWPARAM(IDC_CONF_PUSH, BN_CLICKED)}};
    EXPECT_EQ("", msgseq::compare(expected, recorder.messages));
}

TEST_F(WindowConformance, EnableWindowReturnsWhetherTheWindowWasDisabled) {
    Modeless dialog(IDD_CONF_BUTTONS);
    HWND push = dialog.item(IDC_CONF_PUSH);
    ASSERT_NE(nullptr, push);
    EXPECT_TRUE(IsWindowEnabled(push));
    EXPECT_FALSE(EnableWindow(push, FALSE));  // was enabled
    EXPECT_FALSE(IsWindowEnabled(push));
    EXPECT_TRUE(GetWindowLongPtrA(push, GWL_STYLE) & WS_DISABLED);
    EXPECT_TRUE(EnableWindow(push, FALSE));   // was disabled
    EXPECT_TRUE(EnableWindow(push, TRUE));    // was disabled
    EXPECT_FALSE(EnableWindow(push, TRUE));   // was enabled
    EXPECT_TRUE(IsWindowEnabled(push));
}

// ---------------------------------------------------------------------------------------------
// List view

int insertColumn(HWND list, int index, const char* text, int width) {
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    column.fmt = LVCFMT_LEFT;
    column.cx = width;
    column.pszText = const_cast<char*>(text);
    return static_cast<int>(SendMessageA(list, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&column)));
}

int insertItem(HWND list, int index, const char* text, LPARAM data = 0, int image = 0) {
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_IMAGE;
    item.iItem = index;
    item.pszText = const_cast<char*>(text);
    item.lParam = data;
    item.iImage = image;
    return static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

// LVM_GETITEMTEXTA into a poisoned buffer of bufferSize characters; returns its text (up to the terminator
// or the end of the buffer) and checks that nothing was written past the buffer.
std::string itemText(HWND list, int index, int subItem, int bufferSize = 64, LRESULT* returned = nullptr) {
    std::vector<char> buffer(bufferSize + 1, '\xbd');
    LVITEMA item = {};
    item.iSubItem = subItem;
    item.pszText = buffer.data();
    item.cchTextMax = bufferSize;
    LRESULT n = SendMessageA(list, LVM_GETITEMTEXTA, index, reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ('\xbd', buffer[bufferSize]);  // nothing written past cchTextMax
    EXPECT_EQ(buffer.data(), item.pszText);
    std::string text(buffer.data(), strnlen(buffer.data(), bufferSize));
    if (returned)
        *returned = n;
    else
        EXPECT_EQ(static_cast<LRESULT>(text.size()), n);
    return text;
}

int columnWidth(HWND list, int index) {
    return static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, index, 0));
}

TEST_F(WindowConformance, ListViewColumns) {
    Modeless dialog(IDD_CONF_LIST);
    HWND list = dialog.item(IDC_CONF_LIST);
    ASSERT_NE(nullptr, list);
    EXPECT_EQ("SysListView32", className(list));
    EXPECT_EQ(0, insertColumn(list, 0, "Name", 80));
    EXPECT_EQ(1, insertColumn(list, 1, "Driver", 60));
    EXPECT_EQ(2, insertColumn(list, 10, "Location", 7));  // beyond the count: appended
    EXPECT_EQ(0, insertColumn(list, 0, "First", 40));     // inserted before the others

    char text[32];
    std::memset(text, 0xbd, sizeof text);
    LVCOLUMNA column;
    std::memset(&column, 0xbd, sizeof column);
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = text;
    column.cchTextMax = sizeof text;
    ASSERT_TRUE(SendMessageA(list, LVM_GETCOLUMNA, 1, reinterpret_cast<LPARAM>(&column)));
    EXPECT_STREQ("Name", column.pszText);
    EXPECT_EQ(80, column.cx);
    EXPECT_FALSE(SendMessageA(list, LVM_GETCOLUMNA, 4, reinterpret_cast<LPARAM>(&column)));  // no such column

    EXPECT_EQ(7, columnWidth(list, 3));
    EXPECT_TRUE(SendMessageA(list, LVM_SETCOLUMNWIDTH, 3, MAKELPARAM(LVSCW_AUTOSIZE_USEHEADER, 0)));
    EXPECT_NE(7, columnWidth(list, 3));
    EXPECT_GT(columnWidth(list, 3), 0);
    EXPECT_TRUE(SendMessageA(list, LVM_SETCOLUMNWIDTH, 2, 33));
    EXPECT_EQ(33, columnWidth(list, 2));

    EXPECT_TRUE(SendMessageA(list, LVM_DELETECOLUMN, 0, 0));
    std::memset(text, 0xbd, sizeof text);
    column.pszText = text;
    ASSERT_TRUE(SendMessageA(list, LVM_GETCOLUMNA, 0, reinterpret_cast<LPARAM>(&column)));
    EXPECT_STREQ("Name", column.pszText);
    EXPECT_FALSE(SendMessageA(list, LVM_DELETECOLUMN, 3, 0));  // only three left
}

TEST_F(WindowConformance, ListViewItemsSubitemsAndData) {
    Modeless dialog(IDD_CONF_LIST);
    HWND list = dialog.item(IDC_CONF_LIST);
    ASSERT_NE(nullptr, list);
    for (int i = 0; i < 3; ++i) insertColumn(list, i, "Column", 50);
    EXPECT_EQ(0, SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    EXPECT_EQ(0, insertItem(list, 0, "Vestral Office", 0x1111, 3));
    EXPECT_EQ(1, insertItem(list, 100, "Vestral Lab", 0x2222, 5));  // beyond the count: appended
    EXPECT_EQ(0, insertItem(list, 0, "Vestral Front", 0x3333, 1));  // before the others
    EXPECT_EQ(3, SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));

    // Subitems: by LVM_SETITEMA with iSubItem, or LVM_SETITEMTEXTA with the item index in wParam.
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = 1;
    item.iSubItem = 1;
    item.pszText = const_cast<char*>("Vestral X Driver");
    EXPECT_TRUE(SendMessageA(list, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    item.iSubItem = 2;
    item.pszText = const_cast<char*>("FILE:");
    EXPECT_TRUE(SendMessageA(list, LVM_SETITEMTEXTA, 1, reinterpret_cast<LPARAM>(&item)));

    EXPECT_EQ("Vestral Front", itemText(list, 0, 0));
    EXPECT_EQ("Vestral Office", itemText(list, 1, 0));
    EXPECT_EQ("Vestral X Driver", itemText(list, 1, 1));
    EXPECT_EQ("FILE:", itemText(list, 1, 2));
    EXPECT_EQ("", itemText(list, 0, 1));        // never set
    // Cut to the buffer. Windows: "Vest" and a terminator, returns 4; Wine: "Vestr" without a terminator
    // (the ANSI conversion fills the buffer) and returns a length counted past it. Common: the first four
    // characters, nothing written past the buffer.
    LRESULT unchecked = 0;
    EXPECT_EQ("Vest", itemText(list, 1, 0, 5, &unchecked).substr(0, 4));
    EXPECT_EQ("Vestral Lab", itemText(list, 2, 0));

    LVITEMA got;
    std::memset(&got, 0xbd, sizeof got);
    got.mask = LVIF_PARAM | LVIF_IMAGE;
    got.iItem = 1;
    got.iSubItem = 0;
    ASSERT_TRUE(SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&got)));
    EXPECT_EQ(0x1111, got.lParam);
    EXPECT_EQ(3, got.iImage);
    got.iItem = 7;
    EXPECT_FALSE(SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&got)));  // no such item

    EXPECT_TRUE(SendMessageA(list, LVM_DELETEITEM, 0, 0));
    EXPECT_EQ("Vestral Office", itemText(list, 0, 0));
    EXPECT_TRUE(SendMessageA(list, LVM_DELETEALLITEMS, 0, 0));
    EXPECT_EQ(0, SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
}

bool setState(HWND list, int index, UINT state, UINT mask) {
    LVITEMA item = {};
    item.state = state;
    item.stateMask = mask;
    return SendMessageA(list, LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(&item)) != 0;
}

TEST_F(WindowConformance, ListViewSelectionAndItsNotifications) {
    msgseq::Recorder recorder;
    Modeless dialog(IDD_CONF_LIST, &recorder);
    dialog.script.recorded = {WM_NOTIFY};
    HWND list = dialog.item(IDC_CONF_LIST);
    ASSERT_NE(nullptr, list);
    insertColumn(list, 0, "Name", 80);
    for (int i = 0; i < 3; ++i) insertItem(list, i, "Printer");
    EXPECT_TRUE(recorder.changes.empty());  // inserting notifies LVN_INSERTITEM, no change

    EXPECT_EQ(0, SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0));
    EXPECT_EQ(-1, SendMessageA(list, LVM_GETNEXTITEM, -1, LVNI_SELECTED));
    EXPECT_TRUE(setState(list, -1, LVIS_SELECTED, LVIS_SELECTED));  // -1: every item
    EXPECT_EQ(3, SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0));
    EXPECT_EQ(static_cast<LRESULT>(LVIS_SELECTED), SendMessageA(list, LVM_GETITEMSTATE, 1, LVIS_SELECTED | LVIS_FOCUSED));
    EXPECT_TRUE(setState(list, 1, 0, LVIS_SELECTED));
    EXPECT_TRUE(setState(list, 1, 0, LVIS_SELECTED));  // no change: no notification
    EXPECT_EQ(0, SendMessageA(list, LVM_GETITEMSTATE, 1, LVIS_SELECTED));
    EXPECT_EQ(0, SendMessageA(list, LVM_GETNEXTITEM, -1, LVNI_SELECTED));
    EXPECT_EQ(2, SendMessageA(list, LVM_GETNEXTITEM, 0, LVNI_SELECTED));
    EXPECT_EQ(-1, SendMessageA(list, LVM_GETNEXTITEM, 2, LVNI_SELECTED));
    EXPECT_TRUE(setState(list, -1, 0, LVIS_SELECTED));
    EXPECT_EQ(0, SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0));

    // LVN_ITEMCHANGED for each item whose state changed, in item order. (LVN_ITEMCHANGING is left out:
    // Wine sends it also for items whose state stays as it is.)
    std::vector<msgseq::ItemChange> changes;
    for (const msgseq::ItemChange& c : recorder.changes)
        if (c.code == static_cast<UINT>(LVN_ITEMCHANGED)) changes.push_back(c);
    const UINT changed = LVN_ITEMCHANGED, sel = LVIS_SELECTED;
    const std::vector<msgseq::ItemChange> expected = {
        {changed, 0, sel, 0, LVIF_STATE},  // select all: one item after another
        {changed, 1, sel, 0, LVIF_STATE},
        {changed, 2, sel, 0, LVIF_STATE},
        {changed, 1, 0, sel, LVIF_STATE},  // item 1 deselected; the second time changes nothing
        {changed, 0, 0, sel, LVIF_STATE},  // deselect all: only the items that were selected
        {changed, 2, 0, sel, LVIF_STATE},
    };
    EXPECT_EQ("", msgseq::compare(expected, changes));
}

TEST_F(WindowConformance, ListViewViewStyleAndImageList) {
    Modeless dialog(IDD_CONF_LIST);
    HWND list = dialog.item(IDC_CONF_LIST);
    ASSERT_NE(nullptr, list);
    insertColumn(list, 0, "Name", 80);
    insertItem(list, 0, "Printer");
    EXPECT_EQ(LVS_REPORT, GetWindowLongPtrA(list, GWL_STYLE) & LVS_TYPEMASK);
    for (LONG_PTR view : {LVS_ICON, LVS_SMALLICON, LVS_LIST, LVS_REPORT}) {
        LONG_PTR style = GetWindowLongPtrA(list, GWL_STYLE);
        SetWindowLongPtrA(list, GWL_STYLE, (style & ~LVS_TYPEMASK) | view);
        EXPECT_EQ(view, GetWindowLongPtrA(list, GWL_STYLE) & LVS_TYPEMASK);
        EXPECT_EQ(1, SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));  // the items stay
    }
    EXPECT_EQ("Printer", itemText(list, 0, 0));

    HIMAGELIST images = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 4, 4);
    ASSERT_NE(nullptr, images);
    // Returns the previous image list. LVS_SHAREIMAGELISTS: the list view does not destroy it.
    EXPECT_EQ(0, SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images)));
    EXPECT_EQ(reinterpret_cast<LRESULT>(images), SendMessageA(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0));
    EXPECT_EQ(reinterpret_cast<LRESULT>(images), SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL, 0));
    EXPECT_EQ(0, SendMessageA(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0));
    EXPECT_TRUE(ImageList_Destroy(images));
}

// A view change through the style, as the selection page makes it: SetWindowPos with SWP_FRAMECHANGED has
// the list view lay its items out for the new view (below the column header in report view, one above the
// other in list view, side by side in icon view), and RedrawWindow with RDW_UPDATENOW paints it before the
// call returns (WM_PAINT sent to the list's procedure). Wine's list view changes its view on the style alone
// but leaves the old picture on the screen until it is asked to paint.
namespace {

int g_listPaints = 0;
WNDPROC g_listProc = nullptr;

LRESULT CALLBACK countingListProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) ++g_listPaints;
    return CallWindowProcA(g_listProc, hwnd, message, wParam, lParam);
}

RECT itemBounds(HWND list, int item) {
    RECT r = {LVIR_BOUNDS, 0, 0, 0};
    EXPECT_TRUE(SendMessageA(list, LVM_GETITEMRECT, item, reinterpret_cast<LPARAM>(&r)));
    return r;
}

}  // namespace

TEST_F(WindowConformance, ListViewViewChangeLaidOutAndPaintedAtOnce) {
    Script s;
    runVisible(IDD_CONF_LIST, s, [&](HWND h) {
        HWND list = GetDlgItem(h, IDC_CONF_LIST);
        ASSERT_NE(nullptr, list);
        insertColumn(list, 0, "Name", 80);
        for (int i = 0; i < 3; ++i) insertItem(list, i, "Printer");
        g_listProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(countingListProc)));
        ASSERT_NE(nullptr, g_listProc);
        struct Step {
            LONG_PTR style;
            LRESULT view;
        };
        for (Step step : {Step{LVS_LIST, LV_VIEW_LIST}, Step{LVS_REPORT, LV_VIEW_DETAILS}, Step{LVS_ICON, LV_VIEW_ICON},
                          Step{LVS_REPORT, LV_VIEW_DETAILS}}) {
            SCOPED_TRACE(step.view);
            LONG_PTR style = GetWindowLongPtrA(list, GWL_STYLE);
            SetWindowLongPtrA(list, GWL_STYLE, (style & ~LVS_TYPEMASK) | step.style);
            EXPECT_TRUE(SetWindowPos(list, nullptr, 0, 0, 0, 0,
                                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED));
            EXPECT_EQ(step.view, SendMessageA(list, LVM_GETVIEW, 0, 0));
            g_listPaints = 0;
            EXPECT_TRUE(RedrawWindow(list, nullptr, nullptr,
                                     RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW));
            EXPECT_GE(g_listPaints, 1);
            const RECT first = itemBounds(list, 0), second = itemBounds(list, 1);
            if (step.view == LV_VIEW_ICON) {
                EXPECT_EQ(first.top, second.top);
                EXPECT_GT(second.left, first.left);
            } else {
                EXPECT_EQ(first.left, second.left);
                EXPECT_EQ(first.bottom, second.top);
            }
            if (step.view == LV_VIEW_DETAILS) EXPECT_GT(first.top, 0);  // the column header above it
            if (step.view == LV_VIEW_LIST) EXPECT_EQ(0, first.top);
        }
        SetWindowLongPtrA(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_listProc));
    });
}

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

// ---------------------------------------------------------------------------------------------
// Progress bar

TEST_F(WindowConformance, ProgressBarRangePositionAndStep) {
    Modeless dialog(IDD_CONF_LIST);
    HWND bar = dialog.item(IDC_CONF_PROGRESS);
    ASSERT_NE(nullptr, bar);
    EXPECT_EQ("msctls_progress32", className(bar));
    // Each message returns the previous value: the default range is 0-100, the step 10.
    EXPECT_EQ(MAKELONG(0, 100), SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 20)));
    EXPECT_EQ(MAKELONG(0, 20), SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 20)));
    EXPECT_EQ(0, SendMessageA(bar, PBM_SETPOS, 5, 0));
    EXPECT_EQ(5, SendMessageA(bar, PBM_GETPOS, 0, 0));
    EXPECT_EQ(10, SendMessageA(bar, PBM_SETSTEP, 5, 0));
    EXPECT_EQ(5, SendMessageA(bar, PBM_STEPIT, 0, 0));
    EXPECT_EQ(10, SendMessageA(bar, PBM_GETPOS, 0, 0));
    EXPECT_EQ(10, SendMessageA(bar, PBM_SETPOS, 20, 0));
    EXPECT_EQ(5, SendMessageA(bar, PBM_SETSTEP, 20, 0));
    EXPECT_EQ(20, SendMessageA(bar, PBM_STEPIT, 0, 0));  // 40 is past the maximum: back to the minimum
    EXPECT_EQ(0, SendMessageA(bar, PBM_GETPOS, 0, 0));
    // Wine wraps by the range's length ((pos - min) % (max - min) + min: 20 + 5 gives 5); where the wrap
    // lands short of a whole range is not checked.

    // A position outside the range is clamped to it.
    EXPECT_EQ(0, SendMessageA(bar, PBM_SETPOS, 50, 0));
    EXPECT_EQ(20, SendMessageA(bar, PBM_GETPOS, 0, 0));
    EXPECT_EQ(20, SendMessageA(bar, PBM_SETPOS, static_cast<WPARAM>(-3), 0));
    EXPECT_EQ(0, SendMessageA(bar, PBM_GETPOS, 0, 0));
    PBRANGE range = {static_cast<int>(kPoison), static_cast<int>(kPoison)};
    EXPECT_EQ(0, SendMessageA(bar, PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range)));  // the minimum
    EXPECT_EQ(0, range.iLow);
    EXPECT_EQ(20, range.iHigh);
}

// ---------------------------------------------------------------------------------------------
// Menus

struct LoadedMenu {
    HMENU bar = LoadMenuA(module(), MAKEINTRESOURCEA(IDM_CONF_MENU));
    ~LoadedMenu() {
        if (bar) DestroyMenu(bar);
    }
    HMENU file() const { return GetSubMenu(bar, 0); }
    HMENU view() const { return GetSubMenu(bar, 1); }
};

TEST_F(WindowConformance, MenuFromTheTemplate) {
    LoadedMenu menu;
    ASSERT_NE(nullptr, menu.bar);
    EXPECT_TRUE(IsMenu(menu.bar));
    EXPECT_EQ(2, GetMenuItemCount(menu.bar));
    ASSERT_NE(nullptr, menu.file());
    EXPECT_EQ(nullptr, GetSubMenu(menu.bar, 2));
    EXPECT_EQ(nullptr, GetSubMenu(menu.file(), 0));  // a command, not a popup
    EXPECT_EQ(4, GetMenuItemCount(menu.file()));
    EXPECT_EQ(static_cast<UINT>(IDM_CONF_OPEN), GetMenuItemID(menu.file(), 0));
    EXPECT_EQ(0u, GetMenuItemID(menu.file(), 1));              // separator
    EXPECT_EQ(static_cast<UINT>(-1), GetMenuItemID(menu.file(), 2));  // popup
    EXPECT_EQ(static_cast<UINT>(-1), GetMenuItemID(menu.file(), 9));  // no such position
    EXPECT_EQ(static_cast<UINT>(-1), GetMenuItemID(menu.bar, 0));

    char text[32];
    std::memset(text, 0xbd, sizeof text);
    EXPECT_EQ(5, GetMenuStringA(menu.file(), IDM_CONF_OPEN, text, sizeof text, MF_BYCOMMAND));
    EXPECT_STREQ("&Open", text);

    // GetMenuState: the flags; of a popup also its item count in the high byte of the low word.
    EXPECT_EQ(static_cast<UINT>(MF_GRAYED), GetMenuState(menu.file(), IDM_CONF_EXIT, MF_BYCOMMAND));
    EXPECT_EQ(static_cast<UINT>(MF_CHECKED), GetMenuState(menu.view(), IDM_CONF_DETAILS, MF_BYCOMMAND));
    EXPECT_EQ(static_cast<UINT>(MF_SEPARATOR), GetMenuState(menu.file(), 1, MF_BYPOSITION) & MF_SEPARATOR);
    UINT popup = GetMenuState(menu.file(), 2, MF_BYPOSITION);
    EXPECT_TRUE(popup & MF_POPUP);
    EXPECT_EQ(1u, (popup >> 8) & 0xff);
    EXPECT_EQ(static_cast<UINT>(-1), GetMenuState(menu.file(), 4242, MF_BYCOMMAND));
    // By command, submenus are searched too.
    EXPECT_EQ(0u, GetMenuState(menu.bar, IDM_CONF_RECENT_ONE, MF_BYCOMMAND));
}

TEST_F(WindowConformance, MenuEnableAndCheckReturnThePreviousState) {
    LoadedMenu menu;
    ASSERT_NE(nullptr, menu.bar);
    HMENU file = menu.file(), view = menu.view();
    EXPECT_EQ(static_cast<int>(MF_ENABLED), EnableMenuItem(file, IDM_CONF_OPEN, MF_BYCOMMAND | MF_GRAYED));
    EXPECT_EQ(static_cast<int>(MF_GRAYED), EnableMenuItem(file, IDM_CONF_OPEN, MF_BYCOMMAND | MF_ENABLED));
    EXPECT_EQ(static_cast<int>(MF_GRAYED), EnableMenuItem(file, 3, MF_BYPOSITION | MF_ENABLED));  // Exit
    EXPECT_EQ(0u, GetMenuState(file, IDM_CONF_EXIT, MF_BYCOMMAND));
    EXPECT_EQ(static_cast<int>(MF_ENABLED), EnableMenuItem(menu.bar, IDM_CONF_RECENT_ONE, MF_BYCOMMAND | MF_DISABLED));
    EXPECT_EQ(static_cast<UINT>(MF_DISABLED), GetMenuState(menu.bar, IDM_CONF_RECENT_ONE, MF_BYCOMMAND));
    EXPECT_EQ(-1, EnableMenuItem(file, 4242, MF_BYCOMMAND | MF_GRAYED));
    EXPECT_EQ(-1, EnableMenuItem(file, 9, MF_BYPOSITION | MF_GRAYED));

    EXPECT_EQ(static_cast<DWORD>(MF_UNCHECKED), CheckMenuItem(view, IDM_CONF_LARGE, MF_BYCOMMAND | MF_CHECKED));
    EXPECT_EQ(static_cast<DWORD>(MF_CHECKED), CheckMenuItem(view, IDM_CONF_LARGE, MF_BYCOMMAND | MF_UNCHECKED));
    EXPECT_EQ(static_cast<DWORD>(MF_UNCHECKED), CheckMenuItem(view, 1, MF_BYPOSITION | MF_CHECKED));
    EXPECT_EQ(static_cast<DWORD>(-1), CheckMenuItem(view, 4242, MF_BYCOMMAND | MF_CHECKED));

    // CheckMenuRadioItem: the one item checked with a radio mark, the others of the range unchecked.
    EXPECT_TRUE(CheckMenuRadioItem(view, IDM_CONF_LARGE, IDM_CONF_DETAILS, IDM_CONF_LIST, MF_BYCOMMAND));
    for (UINT id = IDM_CONF_LARGE; id <= IDM_CONF_DETAILS; ++id) {
        SCOPED_TRACE(id);
        EXPECT_EQ(id == IDM_CONF_LIST, (GetMenuState(view, id, MF_BYCOMMAND) & MF_CHECKED) != 0);
    }
    MENUITEMINFOA info;
    std::memset(&info, 0xbd, sizeof info);
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_STATE;
    ASSERT_TRUE(GetMenuItemInfoA(view, IDM_CONF_LIST, FALSE, &info));
    EXPECT_TRUE(info.fType & MFT_RADIOCHECK);
    EXPECT_TRUE(info.fState & MFS_CHECKED);
    EXPECT_TRUE(CheckMenuRadioItem(view, 0, 3, 0, MF_BYPOSITION));
    EXPECT_TRUE(GetMenuState(view, IDM_CONF_LARGE, MF_BYCOMMAND) & MF_CHECKED);
    EXPECT_FALSE(GetMenuState(view, IDM_CONF_LIST, MF_BYCOMMAND) & MF_CHECKED);
}

TEST_F(WindowConformance, MenuDeleteRemoveAppendAndDefaultItem) {
    LoadedMenu menu;
    ASSERT_NE(nullptr, menu.bar);
    HMENU file = menu.file(), view = menu.view();

    // RemoveMenu leaves the popup alive (its owner destroys it), DeleteMenu destroys it.
    HMENU recent = GetSubMenu(file, 2);
    ASSERT_NE(nullptr, recent);
    EXPECT_TRUE(RemoveMenu(file, 2, MF_BYPOSITION));
    EXPECT_EQ(3, GetMenuItemCount(file));
    EXPECT_TRUE(IsMenu(recent));
    EXPECT_EQ(static_cast<UINT>(IDM_CONF_EXIT), GetMenuItemID(file, 2));
    EXPECT_TRUE(DestroyMenu(recent));
    EXPECT_TRUE(DeleteMenu(file, 1, MF_BYPOSITION));  // the separator
    EXPECT_EQ(2, GetMenuItemCount(file));
    EXPECT_TRUE(DeleteMenu(file, IDM_CONF_EXIT, MF_BYCOMMAND));
    EXPECT_EQ(1, GetMenuItemCount(file));
    EXPECT_FALSE(DeleteMenu(file, 5, MF_BYPOSITION));
    HMENU viewHandle = view;
    EXPECT_TRUE(DeleteMenu(menu.bar, 1, MF_BYPOSITION));  // the View popup, destroyed with it
    EXPECT_FALSE(IsMenu(viewHandle));
    EXPECT_EQ(1, GetMenuItemCount(menu.bar));

    EXPECT_TRUE(AppendMenuA(file, MF_STRING, IDM_CONF_LARGE, "Large"));
    EXPECT_TRUE(AppendMenuA(file, MF_STRING | MF_MENUBARBREAK, IDM_CONF_SMALL, "Small"));
    EXPECT_TRUE(AppendMenuA(file, MF_SEPARATOR, 0, nullptr));
    EXPECT_EQ(4, GetMenuItemCount(file));
    EXPECT_EQ(static_cast<UINT>(IDM_CONF_SMALL), GetMenuItemID(file, 2));
    EXPECT_TRUE(GetMenuState(file, IDM_CONF_SMALL, MF_BYCOMMAND) & MF_MENUBARBREAK);
    EXPECT_TRUE(GetMenuState(file, 3, MF_BYPOSITION) & MF_SEPARATOR);
    EXPECT_EQ(0u, GetMenuItemID(file, 3));
    char text[16];
    std::memset(text, 0xbd, sizeof text);
    EXPECT_EQ(5, GetMenuStringA(file, 1, text, sizeof text, MF_BYPOSITION));
    EXPECT_STREQ("Large", text);

    EXPECT_EQ(static_cast<UINT>(-1), GetMenuDefaultItem(file, FALSE, 0));
    EXPECT_TRUE(SetMenuDefaultItem(file, IDM_CONF_LARGE, FALSE));
    EXPECT_EQ(static_cast<UINT>(IDM_CONF_LARGE), GetMenuDefaultItem(file, FALSE, 0));
    EXPECT_EQ(1u, GetMenuDefaultItem(file, TRUE, 0));
    EXPECT_TRUE(GetMenuState(file, IDM_CONF_LARGE, MF_BYCOMMAND) & MFS_DEFAULT);
    EXPECT_TRUE(SetMenuDefaultItem(file, 2, TRUE));  // replaces the previous default
    EXPECT_EQ(static_cast<UINT>(IDM_CONF_SMALL), GetMenuDefaultItem(file, FALSE, 0));
    EXPECT_FALSE(GetMenuState(file, IDM_CONF_LARGE, MF_BYCOMMAND) & MFS_DEFAULT);
    EXPECT_TRUE(SetMenuDefaultItem(file, static_cast<UINT>(-1), FALSE));  // no default
    EXPECT_EQ(static_cast<UINT>(-1), GetMenuDefaultItem(file, FALSE, 0));

    HMENU bar = menu.bar;
    menu.bar = nullptr;
    EXPECT_TRUE(DestroyMenu(bar));
    EXPECT_FALSE(IsMenu(bar));
    EXPECT_FALSE(IsMenu(file));  // destroyed with the bar
    EXPECT_FALSE(DestroyMenu(bar));  // Windows: error 1401, Wine: the last error unchanged
}

// The system menu of a dialog with WS_SYSMENU, to which the tool appends its About command.
TEST_F(WindowConformance, SystemMenuOfADialog) {
    Modeless dialog(IDD_CONF_SEQUENCE);
    ASSERT_NE(nullptr, dialog.hwnd);
    HMENU system = GetSystemMenu(dialog.hwnd, FALSE);
    ASSERT_NE(nullptr, system);
    EXPECT_TRUE(IsMenu(system));
    EXPECT_EQ(system, GetSystemMenu(dialog.hwnd, FALSE));  // the same copy each time
    // Wine: SC_RESTORE, SC_MOVE, SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE, separator, SC_CLOSE (the default item),
    // separator, 0xF141 "About Wine"; Windows: a dialog frame without sizing border or minimize and maximize
    // boxes shows only SC_MOVE, separator, SC_CLOSE. Common: SC_MOVE and SC_CLOSE, a separator right before
    // SC_CLOSE, SC_CLOSE the default item.
    const int count = GetMenuItemCount(system);
    ASSERT_GE(count, 3);
    std::vector<UINT> ids;
    for (int i = 0; i < count; ++i) ids.push_back(GetMenuItemID(system, i));
    auto close = std::find(ids.begin(), ids.end(), static_cast<UINT>(SC_CLOSE));
    ASSERT_NE(ids.end(), close);
    ASSERT_NE(ids.begin(), close);
    EXPECT_EQ(0u, *(close - 1));
    EXPECT_TRUE(GetMenuState(system, static_cast<UINT>(close - ids.begin() - 1), MF_BYPOSITION) & MF_SEPARATOR);
    EXPECT_NE(ids.end(), std::find(ids.begin(), ids.end(), static_cast<UINT>(SC_MOVE)));
    EXPECT_EQ(static_cast<UINT>(SC_CLOSE), GetMenuDefaultItem(system, FALSE, GMDI_USEDISABLED));
    EXPECT_EQ(static_cast<UINT>(-1), GetMenuState(system, 156, MF_BYCOMMAND));

    EXPECT_TRUE(AppendMenuA(system, MF_SEPARATOR, 0, nullptr));
    EXPECT_TRUE(AppendMenuA(system, MF_STRING, 156, "About..."));
    EXPECT_EQ(count + 2, GetMenuItemCount(system));
    EXPECT_EQ(156u, GetMenuItemID(GetSystemMenu(dialog.hwnd, FALSE), count + 1));
    // TRUE restores the default menu (and returns NULL): the appended items are gone.
    EXPECT_EQ(nullptr, GetSystemMenu(dialog.hwnd, TRUE));
    EXPECT_EQ(count, GetMenuItemCount(GetSystemMenu(dialog.hwnd, FALSE)));
}

// ---------------------------------------------------------------------------------------------
// Geometry

RECT mapped(HWND dialog, int x, int y, int cx, int cy) {
    RECT r = {x, y, x + cx, y + cy};
    EXPECT_TRUE(MapDialogRect(dialog, &r));
    return r;
}

int width(const RECT& r) { return r.right - r.left; }
int height(const RECT& r) { return r.bottom - r.top; }

// The template's sizes are dialog units of its FONT; the dialog's client area and the controls' rectangles
// are those sizes in pixels, as MapDialogRect converts them.
TEST_F(WindowConformance, DialogUnitsClientAreaAndControlRects) {
    Modeless dialog(IDD_CONF_SEQUENCE);
    HWND hwnd = dialog.hwnd;
    ASSERT_NE(nullptr, hwnd);
    RECT units = mapped(hwnd, 0, 0, 4, 8);  // one average character
    EXPECT_EQ(0, units.left);
    EXPECT_GT(units.right, 2);
    EXPECT_GT(units.bottom, 6);
    RECT big = mapped(hwnd, 0, 0, 400, 800);
    EXPECT_EQ(100 * units.right, big.right);
    EXPECT_EQ(100 * units.bottom, big.bottom);

    RECT client;
    std::memset(&client, 0xbd, sizeof client);
    ASSERT_TRUE(GetClientRect(hwnd, &client));
    RECT want = mapped(hwnd, 0, 0, 160, 80);
    EXPECT_EQ(0, client.left);
    EXPECT_EQ(0, client.top);
    EXPECT_EQ(want.right, client.right);
    EXPECT_EQ(want.bottom, client.bottom);
    RECT window;
    ASSERT_TRUE(GetWindowRect(hwnd, &window));
    EXPECT_GT(width(window), width(client));  // frame and caption
    EXPECT_GT(height(window), height(client));

    HWND ok = dialog.item(IDOK);
    RECT okRect;
    ASSERT_TRUE(GetWindowRect(ok, &okRect));
    POINT corner = {okRect.left, okRect.top};
    ASSERT_TRUE(ScreenToClient(hwnd, &corner));
    RECT okWant = mapped(hwnd, 20, 56, 50, 14);
    EXPECT_EQ(okWant.left, corner.x);
    EXPECT_EQ(okWant.top, corner.y);
    EXPECT_EQ(width(okWant), width(okRect));
    EXPECT_EQ(height(okWant), height(okRect));
    RECT okClient;
    ASSERT_TRUE(GetClientRect(ok, &okClient));
    EXPECT_EQ(width(okRect), okClient.right);  // a push button has no border outside its client area
}

TEST_F(WindowConformance, MoveWindowSetWindowPosAndMappingPoints) {
    Modeless dialog(IDD_CONF_SEQUENCE);
    HWND hwnd = dialog.hwnd, ok = dialog.item(IDOK);
    ASSERT_NE(nullptr, ok);
    EXPECT_TRUE(MoveWindow(ok, 10, 20, 100, 30, TRUE));
    RECT r;
    ASSERT_TRUE(GetWindowRect(ok, &r));
    EXPECT_EQ(100, width(r));
    EXPECT_EQ(30, height(r));
    SetLastError(kPoison);
    MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(10, r.left);
    EXPECT_EQ(20, r.top);
    EXPECT_EQ(110, r.right);
    EXPECT_EQ(50, r.bottom);
    POINT p = {0, 0};
    EXPECT_EQ(MAKELONG(10, 20), MapWindowPoints(ok, hwnd, &p, 1));  // the offset added, x low, y high
    EXPECT_EQ(10, p.x);
    EXPECT_EQ(20, p.y);

    RECT before, after;
    ASSERT_TRUE(GetWindowRect(hwnd, &before));
    EXPECT_TRUE(SetWindowPos(hwnd, nullptr, 30, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE));
    ASSERT_TRUE(GetWindowRect(hwnd, &after));
    EXPECT_EQ(30, after.left);
    EXPECT_EQ(40, after.top);
    EXPECT_EQ(width(before), width(after));
    EXPECT_EQ(height(before), height(after));
    POINT origin = {0, 0};
    ASSERT_TRUE(ClientToScreen(hwnd, &origin));
    POINT back = origin;
    ASSERT_TRUE(ScreenToClient(hwnd, &back));
    EXPECT_EQ(0, back.x);
    EXPECT_EQ(0, back.y);
    EXPECT_GE(origin.x, 30);  // the client area lies inside the frame
    EXPECT_GT(origin.y, 40);  // below the caption

    RECT desktop;
    std::memset(&desktop, 0xbd, sizeof desktop);
    ASSERT_TRUE(GetWindowRect(GetDesktopWindow(), &desktop));
    EXPECT_EQ(0, desktop.left);
    EXPECT_EQ(0, desktop.top);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), desktop.right);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), desktop.bottom);
    EXPECT_EQ(0, GetWindowLongPtrA(ok, GWL_EXSTYLE) & (WS_EX_CLIENTEDGE | WS_EX_CONTROLPARENT));
}

// ---------------------------------------------------------------------------------------------
// GDI objects and cursors

TEST_F(WindowConformance, DeviceContextsFontsAndStockObjects) {
    Modeless dialog(IDD_CONF_SEQUENCE);
    HWND text = dialog.item(IDC_CONF_TEXT);
    ASSERT_NE(nullptr, text);
    HDC dc = GetDC(text);
    ASSERT_NE(nullptr, dc);
    EXPECT_EQ(1, ReleaseDC(text, dc));

    LOGFONTA in = {};
    in.lfHeight = -12;
    in.lfWeight = FW_BOLD;
    in.lfItalic = TRUE;
    in.lfCharSet = DEFAULT_CHARSET;
    std::strcpy(in.lfFaceName, "Tahoma");
    HFONT font = CreateFontIndirectA(&in);
    ASSERT_NE(nullptr, font);
    LOGFONTA out;
    std::memset(&out, 0xbd, sizeof out);
    EXPECT_EQ(static_cast<int>(sizeof out), GetObjectA(font, sizeof out, &out));
    EXPECT_EQ(-12, out.lfHeight);
    EXPECT_EQ(FW_BOLD, out.lfWeight);
    EXPECT_EQ(TRUE, out.lfItalic);
    EXPECT_EQ(DEFAULT_CHARSET, out.lfCharSet);
    EXPECT_STREQ("Tahoma", out.lfFaceName);
    EXPECT_EQ(static_cast<int>(sizeof(LOGFONTA)), GetObjectA(font, 0, nullptr));  // the size it needs
    EXPECT_EQ(static_cast<DWORD>(OBJ_FONT), GetObjectType(font));
    EXPECT_TRUE(DeleteObject(font));
    EXPECT_EQ(0, GetObjectA(font, sizeof out, &out));  // gone

    HGDIOBJ brush = GetStockObject(NULL_BRUSH);
    ASSERT_NE(nullptr, brush);
    EXPECT_EQ(brush, GetStockObject(NULL_BRUSH));
    EXPECT_EQ(static_cast<DWORD>(OBJ_BRUSH), GetObjectType(brush));
    EXPECT_TRUE(DeleteObject(brush));  // harmless for a stock object: it stays
    EXPECT_EQ(static_cast<DWORD>(OBJ_BRUSH), GetObjectType(brush));
    EXPECT_NE(nullptr, GetStockObject(DEFAULT_GUI_FONT));
}

TEST_F(WindowConformance, CursorsIconsAndImageLists) {
    HCURSOR wait = LoadCursorA(nullptr, IDC_WAIT);
    ASSERT_NE(nullptr, wait);
    EXPECT_EQ(wait, LoadCursorA(nullptr, IDC_WAIT));  // shared
    HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    ASSERT_NE(nullptr, arrow);
    EXPECT_NE(wait, arrow);
    SetCursor(arrow);
    EXPECT_EQ(arrow, SetCursor(wait));  // returns the previous cursor
    EXPECT_EQ(wait, SetCursor(arrow));
    EXPECT_EQ(arrow, GetCursor());

    HICON icon = LoadIconA(nullptr, IDI_APPLICATION);
    ASSERT_NE(nullptr, icon);
    SetLastError(kPoison);
    EXPECT_EQ(nullptr, LoadIconA(module(), MAKEINTRESOURCEA(4242)));  // the exe has no icon
    EXPECT_NE(kPoison, GetLastError());

    HIMAGELIST images = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 2, 2);
    ASSERT_NE(nullptr, images);
    EXPECT_EQ(0, ImageList_GetImageCount(images));
    int cx = static_cast<int>(kPoison), cy = static_cast<int>(kPoison);
    EXPECT_TRUE(ImageList_GetIconSize(images, &cx, &cy));
    EXPECT_EQ(16, cx);
    EXPECT_EQ(16, cy);
    EXPECT_EQ(0, ImageList_AddIcon(images, icon));
    EXPECT_EQ(1, ImageList_AddIcon(images, icon));
    EXPECT_EQ(2, ImageList_GetImageCount(images));
    EXPECT_TRUE(ImageList_Remove(images, 0));
    EXPECT_EQ(1, ImageList_GetImageCount(images));
    EXPECT_TRUE(ImageList_Destroy(images));
}

// GetMessagePos is the cursor position of the message last taken from the queue.
TEST_F(WindowConformance, GetMessagePosIsThePointOfTheLastMessage) {
    Modeless dialog(IDD_CONF_SEQUENCE);
    ASSERT_NE(nullptr, dialog.hwnd);
    MSG drain;
    while (PeekMessageA(&drain, nullptr, 0, 0, PM_REMOVE)) {
    }
    ASSERT_TRUE(PostMessageA(dialog.hwnd, kPostedMessage, 9, 0));
    MSG msg;
    std::memset(&msg, 0xbd, sizeof msg);
    ASSERT_TRUE(PeekMessageA(&msg, dialog.hwnd, kPostedMessage, kPostedMessage, PM_REMOVE));
    EXPECT_EQ(9u, msg.wParam);
    DWORD pos = GetMessagePos();
    EXPECT_EQ(msg.pt.x, static_cast<short>(LOWORD(pos)));
    EXPECT_EQ(msg.pt.y, static_cast<short>(HIWORD(pos)));
    POINT cursor;
    ASSERT_TRUE(GetCursorPos(&cursor));
    EXPECT_EQ(cursor.x, msg.pt.x);  // the cursor has not moved since
    EXPECT_EQ(cursor.y, msg.pt.y);
}

}  // namespace
