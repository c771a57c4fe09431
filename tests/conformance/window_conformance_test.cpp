// The window behaviour the tool's dialogs rely on, set up and checked with Win32 calls only: buttons, the
// progress bar, geometry, GDI objects and cursors. Dialogs and nested modal loops, the list view, the
// keyboard and menus have files of their own (dialog_, listview_, keyboard_ and menu_conformance_test.cpp).
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

namespace {

// The top-level windows one after another, as a second copy of the tool walks them to find what the first
// shows: a window another owns is among them, and GW_OWNER names its owner.
TEST_F(WindowConformance, TopLevelWindowsWalkedWithTheirOwners) {
    Modeless owner(IDD_CONF_SEQUENCE);
    ASSERT_NE(nullptr, owner.hwnd);
    Script script;
    HWND owned = createModeless(IDD_CONF_SEQUENCE, script, owner.hwnd);
    ASSERT_NE(nullptr, owned);
    bool sawOwner = false, sawOwned = false;
    int walked = 0;
    for (HWND w = FindWindowExA(NULL, NULL, NULL, NULL); w && walked < 100000; w = FindWindowExA(NULL, w, NULL, NULL)) {
        ++walked;
        sawOwner = sawOwner || w == owner.hwnd;
        sawOwned = sawOwned || w == owned;
    }
    EXPECT_TRUE(sawOwner);
    EXPECT_TRUE(sawOwned);
    EXPECT_EQ(owner.hwnd, GetWindow(owned, GW_OWNER));
    EXPECT_EQ(nullptr, GetWindow(owner.hwnd, GW_OWNER));
    EXPECT_FALSE(IsWindowVisible(owned));
    DestroyWindow(owned);
    forget(script);
}

// A system colour's brush is the system's own: the same handle each time, a brush, and it paints a rectangle.
TEST_F(WindowConformance, SystemColourBrushPaintsARectangle) {
    HBRUSH face = GetSysColorBrush(COLOR_BTNFACE);
    ASSERT_NE(nullptr, face);
    EXPECT_EQ(face, GetSysColorBrush(COLOR_BTNFACE));
    EXPECT_EQ(static_cast<DWORD>(OBJ_BRUSH), GetObjectType(face));
    Modeless dialog(IDD_CONF_SEQUENCE);
    HWND text = dialog.item(IDC_CONF_TEXT);
    ASSERT_NE(nullptr, text);
    RECT client = {};
    ASSERT_TRUE(GetClientRect(text, &client));
    HDC dc = GetDC(text);
    ASSERT_NE(nullptr, dc);
    EXPECT_NE(0, FillRect(dc, &client, face));
    EXPECT_EQ(1, ReleaseDC(text, dc));
}

}  // namespace
