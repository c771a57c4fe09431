// The rest of the window system the tool's interface calls, and what its dialogs read, set up and checked with
// Win32 calls only: the common controls, window text, showing, focus and activation, painting, dialog-item
// messages, a dialog class of the tool's own, registered messages, popup menus, image lists from a bitmap,
// the version resource of the program file, the system's version and memory figures, string resources, the
// command line and stepping through ANSI text.
//
// Outputs and the last error are poisoned (kPoison, 0xbd bytes) before each call whose outputs are
// checked. Where Wine and Windows differ, the difference is written beside the expectation and only the
// common part is checked.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/platform.h"
#include "conformance/conformance_env.h"
#include "support/msg_sequence.h"

namespace {

using msgseq::Message;
using msgseq::posted;
using msgseq::sent;

const DWORD kPoison = 0xdeadbeef;
const UINT kRunBody = WM_APP + 3;  // posted once a dialog is visible: runs the test's body
const UINT_PTR kTimer = 7;
const UINT_PTR kSafetyTimer = 99;  // ends a modal dialog that a broken test would leave open
const UINT kSafetyMs = 5000;
const HWND kNoWindow = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(0xdead0));

HINSTANCE module() { return GetModuleHandleA(nullptr); }

std::string className(HWND hwnd) {
    char name[64] = "";
    GetClassNameA(hwnd, name, sizeof name);
    return name;
}

std::string windowText(HWND hwnd) {
    char text[128];
    std::memset(text, 0xbd, sizeof text);
    int n = GetWindowTextA(hwnd, text, sizeof text);
    EXPECT_EQ(static_cast<int>(std::strlen(text)), n);
    return text;
}

// What a dialog of a test does: the test's handler, and which of its messages enter the recorder's table.
struct DialogScript {
    std::function<INT_PTR(HWND, UINT, WPARAM, LPARAM)> handle;  // returns what the dialog procedure returns
    msgseq::Recorder* recorder = nullptr;
    std::set<UINT> recorded;
    bool recording = true;
    bool modal = false;
};

// The script travels in the creation parameter and lives in DWLP_USER from WM_INITDIALOG on; what the
// procedure receives before (WM_SETFONT) is not the test's.
INT_PTR CALLBACK scriptedProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
    DialogScript* s = reinterpret_cast<DialogScript*>(GetWindowLongPtrA(hwnd, DWLP_USER));
    if (!s) return FALSE;
    if (s->recorder && s->recording && s->recorded.count(message)) s->recorder->record(hwnd, message, wParam, lParam);
    if (message == WM_INITDIALOG && s->modal) SetTimer(hwnd, kSafetyTimer, kSafetyMs, nullptr);
    if (message == WM_TIMER && wParam == kSafetyTimer) {
        ADD_FAILURE() << "dialog still open after " << kSafetyMs << " ms";
        KillTimer(hwnd, kSafetyTimer);
        EndDialog(hwnd, -2);
        return TRUE;
    }
    if (s->handle) return s->handle(hwnd, message, wParam, lParam);
    return message == WM_INITDIALOG;
}

// Runs a modal dialog of conformance.rc until the script ends it; returns what DialogBoxParamA returned.
INT_PTR runModal(int templateId, DialogScript& s) {
    s.modal = true;
    return DialogBoxParamA(module(), MAKEINTRESOURCEA(templateId), nullptr, scriptedProc,
                           reinterpret_cast<LPARAM>(&s));
}

// Runs a modal dialog and calls body once the dialog is visible and active (the modal loop shows it when
// it first goes idle). When body returns true the dialog ends with IDOK; otherwise the script's handler
// ends it later.
void runVisible(int templateId, DialogScript& s, const std::function<bool(HWND)>& body) {
    auto handler = s.handle;
    bool ran = false;
    s.handle = [&](HWND h, UINT m, WPARAM w, LPARAM l) -> INT_PTR {
        if (m == WM_SHOWWINDOW && w) PostMessageA(h, kRunBody, 0, 0);
        if (m == kRunBody && !ran) {
            ran = true;
            if (body(h)) {
                EXPECT_TRUE(EndDialog(h, IDOK));
            }
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
    DialogScript script;
    HWND hwnd = nullptr;
    explicit Modeless(int templateId, msgseq::Recorder* recorder = nullptr, std::set<UINT> recorded = {}) {
        script.recorder = recorder;
        script.recorded = std::move(recorded);
        hwnd = CreateDialogParamA(module(), MAKEINTRESOURCEA(templateId), nullptr, scriptedProc,
                                  reinterpret_cast<LPARAM>(&script));
    }
    ~Modeless() {
        if (hwnd) DestroyWindow(hwnd);
    }
    HWND item(int id) const { return GetDlgItem(hwnd, id); }
};

// Dispatches what the thread's queue holds now, as a message loop would.
void pumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

class UiConformance : public ConformanceTest {};

// ---------------------------------------------------------------------------------------------
// Common controls

// The tool calls InitCommonControls alone (no InitCommonControlsEx) before its dialogs with a list view and a
// progress bar.
TEST_F(UiConformance, InitCommonControlsRegistersTheListViewAndProgressBar) {
    InitCommonControls();
    Modeless dialog(IDD_CONF_LIST);
    ASSERT_NE(nullptr, dialog.hwnd);
    HWND list = dialog.item(IDC_CONF_LIST), bar = dialog.item(IDC_CONF_PROGRESS);
    ASSERT_NE(nullptr, list);
    ASSERT_NE(nullptr, bar);
    EXPECT_EQ("SysListView32", className(list));
    EXPECT_EQ("msctls_progress32", className(bar));
    EXPECT_EQ(0, SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));  // a list view's procedure answers
    EXPECT_EQ(0, SendMessageA(bar, PBM_GETPOS, 0, 0));
}

// ---------------------------------------------------------------------------------------------
// Window text

// The control's own procedure, wrapped to see what reaches it.
WNDPROC g_controlProc = nullptr;
std::vector<std::string> g_controlSetTexts;

LRESULT CALLBACK textWatcher(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETTEXT) g_controlSetTexts.push_back(lParam ? reinterpret_cast<const char*>(lParam) : "(null)");
    return CallWindowProcA(g_controlProc, hwnd, message, wParam, lParam);
}

TEST_F(UiConformance, WindowTextOfADialogAndAControl) {
    msgseq::Recorder recorder;
    Modeless dialog(IDD_CONF_SEQUENCE, &recorder, {WM_SETTEXT});
    ASSERT_NE(nullptr, dialog.hwnd);
    std::vector<std::string> dialogSetTexts;
    dialog.script.handle = [&](HWND, UINT m, WPARAM, LPARAM l) -> INT_PTR {
        if (m == WM_SETTEXT) dialogSetTexts.push_back(reinterpret_cast<const char*>(l));
        return FALSE;
    };
    EXPECT_EQ(20, GetWindowTextLengthA(dialog.hwnd));
    EXPECT_EQ("Conformance sequence", windowText(dialog.hwnd));  // the template's CAPTION

    // WM_SETTEXT is sent to the window's procedure, the dialog procedure first.
    SetLastError(kPoison);
    EXPECT_TRUE(SetWindowTextA(dialog.hwnd, "Korun caption"));
    EXPECT_EQ(13, GetWindowTextLengthA(dialog.hwnd));
    EXPECT_EQ("Korun caption", windowText(dialog.hwnd));
    EXPECT_EQ(std::vector<std::string>{"Korun caption"}, dialogSetTexts);
    const std::vector<Message> expected = {{WM_SETTEXT, sent, 0}};
    EXPECT_EQ("", msgseq::compare(expected, recorder.messages));

    // A buffer too small: the text cut, terminated inside the buffer, the count copied returned.
    char small[8];
    std::memset(small, 0xbd, sizeof small);
    EXPECT_EQ(5, GetWindowTextA(dialog.hwnd, small, 6));
    EXPECT_STREQ("Korun", small);
    EXPECT_EQ('\xbd', small[6]);

    // A control's text: its own procedure receives WM_SETTEXT, the dialog's does not.
    HWND text = dialog.item(IDC_CONF_TEXT);
    ASSERT_NE(nullptr, text);
    EXPECT_EQ(8, GetWindowTextLengthA(text));
    EXPECT_EQ("Sequence", windowText(text));
    g_controlSetTexts.clear();
    g_controlProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(text, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&textWatcher)));
    ASSERT_NE(nullptr, g_controlProc);
    EXPECT_TRUE(SetWindowTextA(text, "Vestral Office"));
    EXPECT_TRUE(SetWindowTextA(text, ""));
    SetWindowLongPtrA(text, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_controlProc));
    EXPECT_EQ((std::vector<std::string>{"Vestral Office", ""}), g_controlSetTexts);
    EXPECT_EQ(1u, dialogSetTexts.size());
    EXPECT_EQ(0, GetWindowTextLengthA(text));
    char empty[4];
    std::memset(empty, 0xbd, sizeof empty);
    EXPECT_EQ(0, GetWindowTextA(text, empty, sizeof empty));
    EXPECT_EQ('\0', empty[0]);
    EXPECT_EQ('\xbd', empty[1]);
}

// ---------------------------------------------------------------------------------------------
// Showing, focus and activation

// ShowWindow returns whether the window was visible before; WM_SHOWWINDOW comes only with a change.
TEST_F(UiConformance, ShowWindowReturnsThePreviousVisibility) {
    msgseq::Recorder recorder;
    Modeless dialog(IDD_CONF_SEQUENCE, &recorder, {WM_SHOWWINDOW});
    ASSERT_NE(nullptr, dialog.hwnd);
    EXPECT_FALSE(IsWindowVisible(dialog.hwnd));
    EXPECT_FALSE(ShowWindow(dialog.hwnd, SW_HIDE));  // hidden already: nothing sent
    EXPECT_TRUE(recorder.messages.empty());
    EXPECT_FALSE(ShowWindow(dialog.hwnd, SW_SHOW));
    EXPECT_TRUE(IsWindowVisible(dialog.hwnd));
    EXPECT_TRUE(ShowWindow(dialog.hwnd, SW_SHOW));  // visible already: nothing sent
    EXPECT_TRUE(ShowWindow(dialog.hwnd, SW_HIDE));
    EXPECT_FALSE(IsWindowVisible(dialog.hwnd));
    EXPECT_FALSE(ShowWindow(dialog.hwnd, SW_HIDE));
    const std::vector<Message> expected = {{WM_SHOWWINDOW, sent, TRUE}, {WM_SHOWWINDOW, sent, FALSE}};
    EXPECT_EQ("", msgseq::compare(expected, recorder.messages));

    // A control of a hidden dialog: ShowWindow goes by its own WS_VISIBLE, whatever its parent shows.
    HWND text = dialog.item(IDC_CONF_TEXT);
    ASSERT_NE(nullptr, text);
    EXPECT_TRUE(ShowWindow(text, SW_HIDE));
    EXPECT_EQ(0, GetWindowLongPtrA(text, GWL_STYLE) & WS_VISIBLE);
    EXPECT_FALSE(ShowWindow(text, SW_HIDE));
    EXPECT_FALSE(ShowWindow(text, SW_SHOW));
    EXPECT_TRUE(GetWindowLongPtrA(text, GWL_STYLE) & WS_VISIBLE);
    EXPECT_FALSE(IsWindowVisible(text));  // its parent is hidden
}

TEST_F(UiConformance, SetFocusReturnsThePreviousFocus) {
    DialogScript s;
    runVisible(IDD_CONF_SEQUENCE, s, [](HWND h) {
        HWND ok = GetDlgItem(h, IDOK), cancel = GetDlgItem(h, IDCANCEL);
        // WM_INITDIALOG returned TRUE: the first WS_TABSTOP control has the focus.
        EXPECT_EQ(ok, GetFocus());
        EXPECT_EQ(ok, SetFocus(cancel));
        EXPECT_EQ(cancel, GetFocus());
        EXPECT_EQ(cancel, SetFocus(cancel));  // has it already
        SetLastError(kPoison);
        EXPECT_EQ(nullptr, SetFocus(kNoWindow));
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE), GetLastError());
        EXPECT_EQ(cancel, GetFocus());
        // A disabled window takes no focus.
        EXPECT_FALSE(EnableWindow(ok, FALSE));
        EXPECT_EQ(nullptr, SetFocus(ok));
        EXPECT_EQ(cancel, GetFocus());
        EXPECT_TRUE(EnableWindow(ok, TRUE));
        EXPECT_EQ(cancel, SetFocus(ok));
        EXPECT_EQ(ok, GetFocus());
        return true;
    });
}

// The tool brings the window of an instance already running to the front.
TEST_F(UiConformance, BringWindowToTopAndSetForegroundWindow) {
    DialogScript s;
    runVisible(IDD_CONF_SEQUENCE, s, [](HWND h) {
        EXPECT_TRUE(BringWindowToTop(h));
        EXPECT_TRUE(SetForegroundWindow(h));
        EXPECT_EQ(h, GetForegroundWindow());
        EXPECT_EQ(h, GetActiveWindow());
        SetLastError(kPoison);
        EXPECT_FALSE(BringWindowToTop(kNoWindow));
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE), GetLastError());
        EXPECT_FALSE(SetForegroundWindow(kNoWindow));
        EXPECT_EQ(h, GetForegroundWindow());
        return true;
    });
}

// ---------------------------------------------------------------------------------------------
// Painting

// RDW_UPDATENOW and UpdateWindow paint before they return (WM_PAINT sent to the procedure); an invalid
// area alone is painted later, when the loop finds the queue empty, and before a due timer.
TEST_F(UiConformance, RedrawWindowPaintsNowOrFromTheLoop) {
    msgseq::Recorder recorder;
    DialogScript s;
    s.recorder = &recorder;
    s.recorded = {WM_PAINT, WM_TIMER};
    s.recording = false;
    std::vector<size_t> paintedAt;  // the table's length after each step
    s.handle = [&](HWND h, UINT m, WPARAM w, LPARAM) -> INT_PTR {
        if (m == WM_TIMER && w == kTimer) {
            KillTimer(h, kTimer);
            EXPECT_TRUE(EndDialog(h, IDOK));
            return TRUE;
        }
        return m == WM_INITDIALOG;
    };
    runVisible(IDD_CONF_SEQUENCE, s, [&](HWND h) {
        EXPECT_TRUE(UpdateWindow(h));  // the first painting, before the table starts
        s.recording = true;
        EXPECT_TRUE(RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW));
        paintedAt.push_back(recorder.messages.size());
        EXPECT_TRUE(UpdateWindow(h));  // nothing invalid: nothing painted
        paintedAt.push_back(recorder.messages.size());
        EXPECT_TRUE(InvalidateRect(h, nullptr, TRUE));
        paintedAt.push_back(recorder.messages.size());
        EXPECT_TRUE(UpdateWindow(h));
        paintedAt.push_back(recorder.messages.size());
        EXPECT_TRUE(RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE));
        paintedAt.push_back(recorder.messages.size());
        EXPECT_NE(0u, SetTimer(h, kTimer, 10, nullptr));
        return false;  // the timer ends the dialog
    });
    EXPECT_EQ((std::vector<size_t>{1, 1, 1, 2, 2}), paintedAt);
    const std::vector<Message> expected = {
        {WM_PAINT, sent, 0}, {WM_PAINT, sent, 0}, {WM_PAINT, posted, 0}, {WM_TIMER, posted, kTimer}};
    EXPECT_EQ("", msgseq::compare(expected, recorder.messages));
}

// ---------------------------------------------------------------------------------------------
// Dialog items

TEST_F(UiConformance, SendDlgItemMessageIsSendMessageToTheItem) {
    Modeless dialog(IDD_CONF_BUTTONS);
    HWND check = dialog.item(IDC_CONF_CHECK);
    ASSERT_NE(nullptr, check);
    EXPECT_EQ(0, SendDlgItemMessageA(dialog.hwnd, IDC_CONF_CHECK, BM_SETCHECK, BST_CHECKED, 0));
    EXPECT_EQ(BST_CHECKED, SendMessageA(check, BM_GETCHECK, 0, 0));
    EXPECT_EQ(BST_CHECKED, SendDlgItemMessageA(dialog.hwnd, IDC_CONF_CHECK, BM_GETCHECK, 0, 0));
    EXPECT_EQ(5, SendDlgItemMessageA(dialog.hwnd, IDC_CONF_CHECK, WM_GETTEXTLENGTH, 0, 0));  // "Check"

    // The tool sets the fonts of its labels this way.
    LOGFONTA bold = {};
    bold.lfHeight = -12;
    bold.lfWeight = FW_BOLD;
    std::strcpy(bold.lfFaceName, "Tahoma");
    HFONT font = CreateFontIndirectA(&bold);
    ASSERT_NE(nullptr, font);
    LRESULT before = SendMessageA(check, WM_GETFONT, 0, 0);
    EXPECT_EQ(0, SendDlgItemMessageA(dialog.hwnd, IDC_CONF_CHECK, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE));
    EXPECT_EQ(reinterpret_cast<LRESULT>(font), SendMessageA(check, WM_GETFONT, 0, 0));
    SendMessageA(check, WM_SETFONT, static_cast<WPARAM>(before), FALSE);
    EXPECT_TRUE(DeleteObject(font));

    // No item of that ID: nothing sent, 0. Windows: error 1421 (ERROR_CONTROL_ID_NOT_FOUND) from
    // GetDlgItem; Wine: the last error unchanged.
    EXPECT_EQ(0, SendDlgItemMessageA(dialog.hwnd, 4242, WM_GETTEXTLENGTH, 0, 0));
    EXPECT_EQ(0, SendDlgItemMessageA(dialog.hwnd, 4242, BM_GETCHECK, 0, 0));
}

// ---------------------------------------------------------------------------------------------
// A dialog class of the program's own

// The tool registers a copy of the system dialog class under its own name, so that a second instance
// finds its window with FindWindowA; the main dialog's template names that class.
TEST_F(UiConformance, ACopyOfTheDialogClassRunsADialogTemplate) {
    WNDCLASSA dialogClass;
    std::memset(&dialogClass, 0xbd, sizeof dialogClass);
    ASSERT_TRUE(GetClassInfoA(nullptr, "#32770", &dialogClass));
    // Wine: a system class comes without an instance (NULL), so RegisterClassA registers the copy for the
    // program; the template's CLASS is looked up among the program's classes.
    EXPECT_NE(nullptr, dialogClass.lpfnWndProc);
    EXPECT_GE(dialogClass.cbWndExtra, 30);  // DLGWINDOWEXTRA: the DWLP_ slots

    WNDCLASSA probe;
    std::memset(&probe, 0xbd, sizeof probe);
    SetLastError(kPoison);
    EXPECT_FALSE(GetClassInfoA(module(), CONF_DIALOG_CLASS, &probe));
    EXPECT_EQ(1411u, GetLastError());  // ERROR_CLASS_DOES_NOT_EXIST

    dialogClass.lpszClassName = CONF_DIALOG_CLASS;
    EXPECT_NE(0, RegisterClassA(&dialogClass));
    SetLastError(kPoison);
    EXPECT_EQ(0, RegisterClassA(&dialogClass));
    EXPECT_EQ(static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS), GetLastError());
    std::memset(&probe, 0xbd, sizeof probe);
    ASSERT_TRUE(GetClassInfoA(module(), CONF_DIALOG_CLASS, &probe));
    EXPECT_EQ(dialogClass.lpfnWndProc, probe.lpfnWndProc);
    EXPECT_EQ(dialogClass.cbWndExtra, probe.cbWndExtra);

    DialogScript s;
    runVisible(IDD_CONF_CLASSED, s, [](HWND h) {
        EXPECT_EQ(CONF_DIALOG_CLASS, className(h));
        EXPECT_EQ(h, FindWindowA(CONF_DIALOG_CLASS, nullptr));
        EXPECT_EQ(h, FindWindowA("koruncONFORMANCEdialog", "Conformance class"));  // names ignore case
        EXPECT_NE(nullptr, GetDlgItem(h, IDOK));
        EXPECT_NE(0, GetWindowLongPtrA(h, DWLP_USER));  // the dialog procedure's slot, as in "#32770"
        return true;
    });
    EXPECT_EQ(nullptr, FindWindowA(CONF_DIALOG_CLASS, nullptr));
}

// ---------------------------------------------------------------------------------------------
// Registered messages

// The tool asks the family's other programs to close with a registered message, posted to every top-level
// window.
TEST_F(UiConformance, RegisteredMessagesByNameAndTheirDelivery) {
    const UINT close = RegisterWindowMessageA("KORunClose04");
    EXPECT_GE(close, 0xC000u);
    EXPECT_LE(close, 0xFFFFu);
    EXPECT_EQ(close, RegisterWindowMessageA("korunclose04"));  // any case: the same message
    EXPECT_EQ(close, RegisterWindowMessageA("KORUNCLOSE04"));
    const UINT other = RegisterWindowMessageA("KORunConformance");
    EXPECT_GE(other, 0xC000u);
    EXPECT_NE(close, other);
    // The empty name is no name. Wine: error 87 (ERROR_INVALID_PARAMETER); Windows documents no code.
    SetLastError(kPoison);
    EXPECT_EQ(0u, RegisterWindowMessageA(""));
    EXPECT_NE(kPoison, GetLastError());

    msgseq::Recorder recorder;
    Modeless dialog(IDD_CONF_SEQUENCE, &recorder, {close});
    ASSERT_NE(nullptr, dialog.hwnd);
    pumpMessages();
    EXPECT_EQ(0, SendMessageA(dialog.hwnd, close, 1, 0));
    EXPECT_TRUE(PostMessageA(dialog.hwnd, close, 2, 0));
    EXPECT_TRUE(PostMessageA(HWND_BROADCAST, close, 3, 0));  // reaches the hidden dialog too
    pumpMessages();
    const std::vector<Message> expected = {{close, sent, 1}, {close, posted, 2}, {close, posted, 3}};
    EXPECT_EQ("", msgseq::compare(expected, recorder.messages));
}

// After changing the default printer the tool tells every top-level window that the "windows" section of
// the profile changed, waiting at most a second for each.
TEST_F(UiConformance, ProfileChangeBroadcastReachesTopLevelDialogs) {
    msgseq::Recorder recorder;
    Modeless dialog(IDD_CONF_SEQUENCE, &recorder, {WM_WININICHANGE});
    ASSERT_NE(nullptr, dialog.hwnd);
    pumpMessages();
    DWORD_PTR result = kPoison;
    EXPECT_NE(0, SendMessageTimeoutA(HWND_BROADCAST, WM_WININICHANGE, 0, reinterpret_cast<LPARAM>("windows"),
                                     SMTO_NORMAL, 1000, &result));
    EXPECT_NE(0, SendMessageTimeoutA(HWND_BROADCAST, WM_WININICHANGE, 0, 0, SMTO_NORMAL, 1000, NULL));
    pumpMessages();
    const std::vector<Message> expected = {{WM_WININICHANGE, sent, 0}, {WM_WININICHANGE, sent, 0}};
    EXPECT_EQ("", msgseq::compare(expected, recorder.messages));
}

// The load line of win.ini is compared in lower case, converted in place.
TEST_F(UiConformance, CharLowerConvertsInPlaceAndReturnsTheString) {
    char text[] = "C:\\VESTRAL\\Kunz04.EXE -Q";
    EXPECT_EQ(text, CharLowerA(text));
    EXPECT_STREQ("c:\\vestral\\kunz04.exe -q", text);
    char empty[] = "";
    EXPECT_EQ(empty, CharLowerA(empty));
    EXPECT_STREQ("", empty);
}

// ---------------------------------------------------------------------------------------------
// Popup menus

// The tool's context menu: TrackPopupMenu runs a loop of its own until the menu closes. A timer of the
// owner still arrives meanwhile; WM_CANCELMODE posted to the owner closes the menu (as do EndMenu, or
// Escape posted to the owner or to the menu window "#32768"). Nothing was chosen: no WM_COMMAND, and
// TPM_RETURNCMD returns 0; without it the call returns TRUE, as for a choice.
// Windows and Wine: the menu stays open until the timer; simwin: with no scripted pick it closes at once.
TEST_F(UiConformance, TrackPopupMenuClosedWithoutAChoice) {
    struct Case {
        UINT flags;
        BOOL result;
    };
    for (Case c : {Case{TPM_RIGHTBUTTON, TRUE}, Case{TPM_RIGHTBUTTON | TPM_RETURNCMD, 0}}) {
        SCOPED_TRACE(c.flags);
        msgseq::Recorder recorder;
        DialogScript s;
        s.recorder = &recorder;
        s.recorded = {WM_COMMAND};
        int ticks = 0;
        HWND menuWindow = nullptr;
        s.handle = [&](HWND h, UINT m, WPARAM w, LPARAM) -> INT_PTR {
            if (m == WM_TIMER && w == kTimer) {
                ++ticks;
                KillTimer(h, kTimer);
                menuWindow = FindWindowA("#32768", nullptr);  // the open menu's window
                EXPECT_TRUE(PostMessageA(h, WM_CANCELMODE, 0, 0));
                return TRUE;
            }
            return m == WM_INITDIALOG;
        };
        runVisible(IDD_CONF_SEQUENCE, s, [&](HWND h) {
            HMENU bar = LoadMenuA(module(), MAKEINTRESOURCEA(IDM_CONF_MENU));
            EXPECT_NE(nullptr, bar);
            RECT r;
            EXPECT_TRUE(GetWindowRect(h, &r));
            EXPECT_NE(0u, SetTimer(h, kTimer, 100, nullptr));
            EXPECT_EQ(c.result, TrackPopupMenu(GetSubMenu(bar, 1), c.flags, r.left + 20, r.top + 40, 0, h, nullptr));
            KillTimer(h, kTimer);
            MSG msg;
            EXPECT_FALSE(PeekMessageA(&msg, h, WM_COMMAND, WM_COMMAND, PM_NOREMOVE));
            EXPECT_TRUE(DestroyMenu(bar));
            return true;
        });
#ifdef _WIN32
        EXPECT_EQ(1, ticks);  // the timer closed the menu; on simwin it closed before the timer was due
#endif
        if (ticks) {
            EXPECT_NE(nullptr, menuWindow);
        }
        EXPECT_TRUE(recorder.messages.empty()) << msgseq::compare({}, recorder.messages);
    }
}

// ---------------------------------------------------------------------------------------------
// Image lists from a bitmap

TEST_F(UiConformance, ImageListFromABitmapStrip) {
    // Bitmap 960 is 48x16: cx 16 cuts it into three images, the mask colour makes its magenta transparent.
    HIMAGELIST images = ImageList_LoadImageA(module(), MAKEINTRESOURCEA(IDB_CONF_IMAGES), 16, 10,
                                             RGB(255, 0, 255), IMAGE_BITMAP, 0);
    ASSERT_NE(nullptr, images);
    EXPECT_EQ(3, ImageList_GetImageCount(images));
    int cx = static_cast<int>(kPoison), cy = static_cast<int>(kPoison);
    EXPECT_TRUE(ImageList_GetIconSize(images, &cx, &cy));
    EXPECT_EQ(16, cx);
    EXPECT_EQ(16, cy);  // the bitmap's height

    Modeless dialog(IDD_CONF_SEQUENCE);
    HWND text = dialog.item(IDC_CONF_TEXT);
    ASSERT_NE(nullptr, text);
    HDC dc = GetDC(text);
    ASSERT_NE(nullptr, dc);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(ImageList_Draw(images, i, dc, 16 * i, 0, ILD_NORMAL)) << i;
    EXPECT_FALSE(ImageList_Draw(images, 3, dc, 0, 0, ILD_NORMAL));
    EXPECT_FALSE(ImageList_Draw(images, -1, dc, 0, 0, ILD_NORMAL));
    EXPECT_EQ(1, ReleaseDC(text, dc));
    EXPECT_TRUE(ImageList_Destroy(images));

    // A wider cx takes as many whole images as fit: one of 32x16.
    images = ImageList_LoadImageA(module(), MAKEINTRESOURCEA(IDB_CONF_IMAGES), 32, 10, RGB(255, 0, 255),
                                  IMAGE_BITMAP, 0);
    ASSERT_NE(nullptr, images);
    EXPECT_EQ(1, ImageList_GetImageCount(images));
    EXPECT_TRUE(ImageList_GetIconSize(images, &cx, &cy));
    EXPECT_EQ(32, cx);
    EXPECT_EQ(16, cy);
    EXPECT_TRUE(ImageList_Destroy(images));

    EXPECT_EQ(nullptr, ImageList_LoadImageA(module(), MAKEINTRESOURCEA(4242), 16, 10, RGB(255, 0, 255),
                                            IMAGE_BITMAP, 0));
}

// ---------------------------------------------------------------------------------------------
// The version resource of the program file

// The program's file name and its version block, read as the About box reads them.
std::vector<char> programVersionBlock() {
    char path[MAX_PATH];
    std::memset(path, 0xbd, sizeof path);
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    EXPECT_GT(length, 0u);
    EXPECT_EQ(std::strlen(path), length);
    DWORD handle = kPoison;
    DWORD size = GetFileVersionInfoSizeA(path, &handle);
    EXPECT_GT(size, 0u);
    EXPECT_EQ(0u, handle);
    std::vector<char> block(size, '\xbd');
    EXPECT_TRUE(GetFileVersionInfoA(path, 0, size, block.data()));
    return block;
}

// A value of the block: its bytes' address and the length VerQueryValueA gives; nullptr when missing.
const void* query(std::vector<char>& block, const char* path, UINT* length) {
    void* value = reinterpret_cast<void*>(static_cast<ULONG_PTR>(kPoison));
    *length = kPoison;
    if (!VerQueryValueA(block.data(), path, &value, length)) return nullptr;
    EXPECT_NE(reinterpret_cast<void*>(static_cast<ULONG_PTR>(kPoison)), value);
    return value;
}

// The program of the test is version 1.0.0.0, Japanese, UTF-16 (the tool's own program on the host has
// the same fixed part, translation and FileVersion).
TEST_F(UiConformance, VersionResourceOfTheProgramFile) {
    std::vector<char> block = programVersionBlock();
    ASSERT_FALSE(block.empty());
    UINT length = 0;
    auto fixed = static_cast<const VS_FIXEDFILEINFO*>(query(block, "\\", &length));
    ASSERT_NE(nullptr, fixed);
    EXPECT_EQ(sizeof(VS_FIXEDFILEINFO), length);
    EXPECT_EQ(static_cast<DWORD>(VS_FFI_SIGNATURE), fixed->dwSignature);
    EXPECT_EQ(0x00010000u, fixed->dwStrucVersion);
    EXPECT_EQ(MAKELONG(0, 1), static_cast<LONG>(fixed->dwFileVersionMS));  // 1.0
    EXPECT_EQ(0u, fixed->dwFileVersionLS);                                  // .0.0
    EXPECT_EQ(fixed->dwFileVersionMS, fixed->dwProductVersionMS);
    EXPECT_EQ(fixed->dwFileVersionLS, fixed->dwProductVersionLS);
    EXPECT_EQ(static_cast<DWORD>(VFT_APP), fixed->dwFileType);

    auto translation = static_cast<const WORD*>(query(block, "\\VarFileInfo\\Translation", &length));
    ASSERT_NE(nullptr, translation);
    EXPECT_EQ(4u, length);
    EXPECT_EQ(0x0411, translation[0]);
    EXPECT_EQ(1200, translation[1]);

    auto version = static_cast<const char*>(query(block, "\\StringFileInfo\\041104B0\\FileVersion", &length));
    ASSERT_NE(nullptr, version);
    EXPECT_STREQ("1.0.0.0", version);
    EXPECT_EQ(8u, length);  // in characters, with the terminator

    EXPECT_EQ(nullptr, query(block, "\\StringFileInfo\\041104B0\\NoSuchValue", &length));
    EXPECT_EQ(nullptr, query(block, "\\StringFileInfo\\040904B0\\FileVersion", &length));
}

// A file without a version resource (here a text file) and a missing file have no version block.
TEST_F(UiConformance, VersionInfoOfAFileWithoutOne) {
    char directory[MAX_PATH];
    ASSERT_GT(GetTempPathA(sizeof directory, directory), 0u);
    const std::string path = std::string(directory) + "korun04-conformance-version.txt";
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    const char text[] = "no version here\r\n";
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(file, text, sizeof text - 1, &written, nullptr));
    EXPECT_TRUE(CloseHandle(file));

    DWORD handle = kPoison;
    SetLastError(kPoison);
    EXPECT_EQ(0u, GetFileVersionInfoSizeA(path.c_str(), &handle));
    EXPECT_EQ(0u, handle);
    // Wine: error 1812 (ERROR_RESOURCE_DATA_NOT_FOUND); Windows' code depends on the kind of file (a
    // module without the resource, or no module at all).
    EXPECT_NE(kPoison, GetLastError());
    EXPECT_NE(0u, GetLastError());
    char block[64];
    std::memset(block, 0xbd, sizeof block);
    EXPECT_FALSE(GetFileVersionInfoA(path.c_str(), 0, sizeof block, block));
    EXPECT_TRUE(DeleteFileA(path.c_str()));

    handle = kPoison;
    SetLastError(kPoison);
    EXPECT_EQ(0u, GetFileVersionInfoSizeA(path.c_str(), &handle));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
}

// ---------------------------------------------------------------------------------------------
// Memory figures, strings and ANSI text

TEST_F(UiConformance, GlobalMemoryStatusFigures) {
    MEMORYSTATUS memory;
    std::memset(&memory, 0xbd, sizeof memory);
    memory.dwLength = kPoison;  // set by the call, not read
    GlobalMemoryStatus(&memory);
    EXPECT_EQ(56u, memory.dwLength);  // 64-bit: two DWORDs and six SIZE_Ts
    EXPECT_LE(memory.dwMemoryLoad, 100u);
    EXPECT_GT(memory.dwTotalPhys, 0u);
    EXPECT_GE(memory.dwTotalPhys, memory.dwAvailPhys);
    EXPECT_GE(memory.dwTotalPageFile, memory.dwAvailPageFile);
    EXPECT_GE(memory.dwTotalVirtual, memory.dwAvailVirtual);
    EXPECT_GT(memory.dwTotalVirtual, static_cast<SIZE_T>(4) << 30);  // the address space of a 64-bit process
    EXPECT_GT(memory.dwAvailVirtual, 0u);
}

// The About box names the platform; the spooler restart at start-up happens only on NT 5 and later.
TEST_F(UiConformance, GetVersionExOfAnNtSystem) {
    OSVERSIONINFOA version;
    std::memset(&version, 0xbd, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    ASSERT_TRUE(GetVersionExA(&version));
    EXPECT_EQ(sizeof version, version.dwOSVersionInfoSize);
    EXPECT_EQ(static_cast<DWORD>(VER_PLATFORM_WIN32_NT), version.dwPlatformId);
    EXPECT_GT(version.dwMajorVersion, 4u);  // Windows 8 and later without a manifest: 6.2; Wine: 6.1 (7 SP1)
    EXPECT_LT(std::strlen(version.szCSDVersion), sizeof version.szCSDVersion);  // terminated

    OSVERSIONINFOA small;
    std::memset(&small, 0xbd, sizeof small);
    small.dwOSVersionInfoSize = sizeof small - 1;
    SetLastError(kPoison);
    EXPECT_FALSE(GetVersionExA(&small));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ(0xbdbdbdbdu, small.dwMajorVersion);  // nothing written
}

TEST_F(UiConformance, LoadStringCutsToTheBuffer) {
    char text[16];
    std::memset(text, 0xbd, sizeof text);
    EXPECT_EQ(11, LoadStringA(module(), IDS_CONF_TEXT, text, sizeof text));
    EXPECT_STREQ("Conformance", text);

    // Too small: as much as fits with a terminator, the count copied returned, nothing past the buffer.
    std::memset(text, 0xbd, sizeof text);
    EXPECT_EQ(4, LoadStringA(module(), IDS_CONF_TEXT, text, 5));
    EXPECT_STREQ("Conf", text);
    EXPECT_EQ('\xbd', text[5]);
    std::memset(text, 0xbd, sizeof text);
    EXPECT_EQ(0, LoadStringA(module(), IDS_CONF_TEXT, text, 1));
    EXPECT_EQ('\0', text[0]);
    EXPECT_EQ('\xbd', text[1]);

    // No such string, in a block that exists (971) or in none (4242): 0 and the empty text. Wine: the last
    // error unchanged for 971, 1814 (ERROR_RESOURCE_NAME_NOT_FOUND) for 4242, as FindResource sets it.
    for (UINT id : {IDS_CONF_TEXT + 1, 4242}) {
        SCOPED_TRACE(id);
        std::memset(text, 0xbd, sizeof text);
        EXPECT_EQ(0, LoadStringA(module(), id, text, sizeof text));
        EXPECT_EQ('\0', text[0]);
    }
}

// The loading dialog copies the command line into a buffer of its own before it splits it; a longer one is cut.
TEST_F(UiConformance, CommandLineCopiedWithLstrcpyn) {
    const char* line = GetCommandLineA();
    ASSERT_NE(nullptr, line);
    EXPECT_GT(std::strlen(line), 0u);
    EXPECT_EQ(line, GetCommandLineA());  // the process's one copy

    char copy[8];
    std::memset(copy, 0xbd, sizeof copy);
    EXPECT_EQ(copy, lstrcpynA(copy, "/REMOVE:Vestral", 6));  // returns the buffer
    EXPECT_STREQ("/REMO", copy);  // five characters and the terminator
    EXPECT_EQ('\xbd', copy[6]);
    std::memset(copy, 0xbd, sizeof copy);
    EXPECT_EQ(copy, lstrcpynA(copy, "/S", sizeof copy));
    EXPECT_STREQ("/S", copy);
    EXPECT_EQ('\xbd', copy[3]);  // no padding after the terminator
    std::memset(copy, 0xbd, sizeof copy);
    EXPECT_EQ(copy, lstrcpynA(copy, "/S", 1));
    EXPECT_EQ('\0', copy[0]);
    EXPECT_EQ('\xbd', copy[1]);
}

// The tool steps through a string by characters to find its "@" separators.
TEST_F(UiConformance, CharNextOverAsciiStopsAtTheTerminator) {
    const char text[] = "@a@";
    const char* p = text;
    EXPECT_EQ(text + 1, CharNextA(p));
    EXPECT_EQ(text + 2, CharNextA(text + 1));
    EXPECT_EQ(text + 3, CharNextA(text + 2));
    EXPECT_EQ(text + 3, CharNextA(text + 3));  // the terminator: stays
    const char empty[] = "";
    EXPECT_EQ(empty, CharNextA(empty));
    // Simwin's ANSI text is UTF-8, Windows' code page 932 (Shift-JIS) under the Japanese locale: steps over
    // multibyte characters differ and are not checked here.
}

}  // namespace
