// ui_driver.exe [--basic | --options]: drives korun04.exe's interactive run from outside the process, as a
// person would with the mouse and the keyboard, and checks what its windows show. Run under Wine beside the
// tool (tests/wine/ui_check.sh), or with --basic against the stand-in window of tests/wine/ui_standin.cpp
// (tests/wine/run.sh).
//
// The run (the tool lists one printer; HKCU\SOFTWARE\VESTRAL\KORUN04 offers "Other Details..."):
//   0. while it loads, Escape asks whether to abort; "READY second-copy-loading", during which the script
//      starts a second, interactive copy: the main window stays hidden, the question in front; No;
//   1. the main window's selection page with the printer list (ID 1020) filled; its first row and the
//      column headers, read out of the tool's process;
//   2. the keyboard: the list has the focus; Space selects the printer and enables Uninstall; Tab goes
//      Uninstall, Cancel and back to the list; deselecting every printer disables Uninstall again;
//   3. Shift+F10 opens the context menu, whose "details" command (reached with the arrows) switches the
//      view: picture "selection-page", the list in the details view;
//   4. the Menu key opens the context menu too (Escape closes it);
//   5. "Other Details...": picture "diagnostic-dialog";
//   6. the About box through the system menu: picture "about-box" (the build stamp and the memory figures
//      masked); then "READY second-copy", during which the script runs a second, unattended copy;
//   7. Exit.
// --basic: steps 1, 6 (without the masks and the second copy) and 7, which the stand-in can answer.
// --options: korun04.exe /? shows its options in a window of its own: its text is checked and copied through
//   the clipboard, picture "options", then Escape closes it.
//
// Prints one "PASS: ..." line per check and stops at the first "FAIL: ..." (exit status 1). Before each
// picture it prints "READY name" (and "MASK name ..." lines first) and waits for a line on stdin (end of
// input goes straight on), so that the script can take the picture while the window is up. Last line:
// "DONE".
//
// The list view's texts are read with LVM_GETITEMTEXTA / LVM_GETCOLUMNA in the tool's process
// (driver_support.h): they come back in its ANSI code page (932 under the Japanese locale), so the expected
// texts are compared as code page 932 bytes.
#include "wine/driver_support.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "resources/resource.h"

using namespace driver;

namespace {

const char kMainClass[] = "VSTUninstallWindowClass__";
const DWORD kLoadTimeoutMs = 60000;  // the loading phase runs on timers, about 6 s

void expectText(const char* what, const std::string& got, const char* expectedUtf8) {
    if (got != sjis(expectedUtf8))
        fail(std::string(what) + ": \"" + printable(got) + "\", expected \"" + expectedUtf8 + "\"");
    pass(std::string(what) + " \"" + expectedUtf8 + "\"");
}

void expectOneOf(const char* what, const std::string& got, const char* a, const char* b) {
    if (got != sjis(a) && got != sjis(b))
        fail(std::string(what) + ": \"" + printable(got) + "\", expected \"" + a + "\" or \"" + b + "\"");
    pass(std::string(what) + " \"" + printable(got) + "\"");
}

// --- 0. a second copy while the first loads --------------------------------------------------------------

// While the tool loads, its main window is hidden behind the loading dialog. Escape there asks whether to
// abort (a box the loading dialog owns); meanwhile a second copy of the tool brings what the first shows to
// the front, and must leave the hidden main window hidden. No lets the loading go on.
void checkSecondCopyWhileLoading() {
    const std::wstring title = wideFrom("プリンタのアンインストールを読込み中...", CP_UTF8);
    HWND loading = nullptr;
    if (!waitFor(kLoadTimeoutMs, [&] {
            loading = visibleTopLevel("#32770");
            return loading && captionOf(loading) == title;
        }))
        fail("no loading dialog \"プリンタのアンインストールを読込み中...\"");
    toFront(loading);
    press(VK_ESCAPE);
    HWND question = nullptr;
    if (!waitFor(kStepTimeoutMs, [&] { return (question = visibleTopLevel("#32770", loading)) != nullptr; }))
        fail("Escape in the loading dialog did not ask whether to abort");
    pass("Escape in the loading dialog asks whether to abort");
    ready("second-copy-loading");
    HWND main = FindWindowA(kMainClass, nullptr);
    if (!main) fail("no window of class VSTUninstallWindowClass__ while the tool loads");
    if (IsWindowVisible(main)) fail("a second copy showed the first copy's hidden main window over its loading dialog");
    if (!IsWindowVisible(question) || GetForegroundWindow() != question)
        fail("a second copy did not leave the loading dialog's question in front");
    pass("a second copy brings the loading dialog's question to the front, the main window stays hidden");
    PostMessageA(question, WM_COMMAND, MAKEWPARAM(IDNO, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(question, IDNO)));
    if (!waitFor(kStepTimeoutMs, [&] { return !IsWindow(question); })) fail("the question did not close on No");
    pass("No lets the loading go on");
}

// --- 1. the selection page --------------------------------------------------------------------------------

void checkSelectionPage(HWND list) {
    LRESULT count = query(list, LVM_GETITEMCOUNT);
    pass("the printer list has " + std::to_string(count) + " item(s)");
    HWND header = reinterpret_cast<HWND>(query(list, LVM_GETHEADER));
    LRESULT columns = header ? query(header, HDM_GETITEMCOUNT) : -1;
    if (columns != 6) fail("the printer list has " + std::to_string(columns) + " columns, expected 6");
    pass("the printer list has 6 columns");

    RemoteList remote(list);
    const char* headers[] = {"名前", "ドライバー", "ロケーション", "標準設定", "Halcyon", "マスクされたプリンタ名"};
    for (int c = 0; c < 6; ++c)
        expectText(("column " + std::to_string(c) + " header").c_str(), remote.columnText(c), headers[c]);
    expectText("item 0, column 0", remote.itemText(0, 0), "Vestral Office");
    expectText("item 0, column 1", remote.itemText(0, 1), "Vestral X Driver");
    expectText("item 0, column 2", remote.itemText(0, 2), "ローカル");
    expectOneOf("item 0, column 3", remote.itemText(0, 3), "はい", "いいえ");
    expectText("item 0, column 4", remote.itemText(0, 4), "はい");
    expectText("item 0, column 5", remote.itemText(0, 5), "(該当せず)");
}

// --- 2. the keyboard ---------------------------------------------------------------------------------------

HWND button(HWND main, int id) {
    HWND b = descendant(main, id);
    if (!b) fail("no button " + std::to_string(id) + " in the main window");
    return b;
}

void expectFocus(HWND main, HWND expected, const std::string& what) {
    if (!waitFor(kStepTimeoutMs, [&] { return focusOf(main) == expected; }))
        fail("the keyboard focus is not on " + what);
    pass("the keyboard focus is on " + what);
}

void expectUninstall(HWND main, bool enabled, const std::string& after) {
    HWND uninstall = button(main, IDC_UNINSTALL);
    if (!waitFor(kStepTimeoutMs, [&] { return (IsWindowEnabled(uninstall) != FALSE) == enabled; }))
        fail(std::string("Uninstall is not ") + (enabled ? "enabled" : "disabled") + " " + after);
    pass(std::string("Uninstall ") + (enabled ? "enabled " : "disabled ") + after);
}

void checkKeyboard(HWND main, HWND list) {
    expectFocus(main, list, "the printer list once it is filled");
    expectUninstall(main, false, "while nothing is selected");
    toFront(main);
    press(VK_SPACE);
    if (!waitFor(kStepTimeoutMs, [&] { return query(list, LVM_GETSELECTEDCOUNT) == 1; }))
        fail("Space did not select the focused printer");
    pass("Space selects the focused printer");
    expectUninstall(main, true, "with a printer selected");
    press(VK_TAB);
    expectFocus(main, button(main, IDC_UNINSTALL), "Uninstall after Tab");
    press(VK_TAB);
    expectFocus(main, button(main, IDC_EXIT), "Cancel after a second Tab");
    press(VK_TAB);
    expectFocus(main, list, "the printer list after a third Tab");

    RemoteList remote(list);
    if (!remote.setItemState(-1, 0, LVIS_SELECTED)) fail("LVM_SETITEMSTATE deselecting every item failed");
    expectUninstall(main, false, "again once every printer is deselected");
    if (!remote.setItemState(0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED))
        fail("LVM_SETITEMSTATE selecting the printer again failed");
    expectUninstall(main, true, "with the printer selected again");
}

// --- 3. and 4. the context menu from the keyboard -------------------------------------------------------

HWND openMenu(HWND main, WORD key, WORD modifier, const char* how) {
    toFront(main);
    press(key, modifier);
    HWND menu = nullptr;
    if (!waitFor(kStepTimeoutMs, [&] { return (menu = popupMenuOf(main)) != nullptr; }))
        fail(std::string(how) + " opened no context menu");
    pass(std::string(how) + " opens the context menu");
    return menu;
}

void expectMenuClosed(HWND main, const char* after) {
    if (!waitFor(kStepTimeoutMs, [&] { return popupMenuOf(main) == nullptr; }))
        fail(std::string("the context menu stays open after ") + after);
}

void checkDetailsView(HWND main, HWND list) {
    openMenu(main, VK_F10, VK_SHIFT, "Shift+F10");
    // Down goes to the first item (delete printers), then past the separator to the four views: details is
    // the fourth.
    for (int i = 0; i < 5; ++i) press(VK_DOWN);
    press(VK_RETURN);
    expectMenuClosed(main, "Enter");
    if (!waitFor(kStepTimeoutMs, [&] { return query(list, LVM_GETVIEW) == LV_VIEW_DETAILS; }))
        fail("the details command of the context menu did not switch the list to the details view");
    pass("the context menu's details command switches the list to the details view");
    Sleep(300);  // the picture is taken from the screen: let what was drawn reach it
    ready("selection-page");
}

void checkMenuKey(HWND main) {
    openMenu(main, VK_APPS, 0, "the Menu key");
    press(VK_ESCAPE);
    expectMenuClosed(main, "Escape");
    pass("Escape closes the context menu");
}

// --- 5. the diagnostic dialog ------------------------------------------------------------------------------

void checkDiagnosticDialog(HWND main) {
    openMenu(main, VK_F10, VK_SHIFT, "Shift+F10");
    press(VK_UP);  // from no item, Up goes to the last: "Other Details..."
    press(VK_RETURN);
    HWND details = nullptr;
    if (!waitFor(kStepTimeoutMs, [&] { return (details = visibleTopLevel("#32770", main)) != nullptr; }))
        fail("\"Other Details...\" opened no dialog owned by the main window");
    const std::wstring caption = captionOf(details);
    if (caption != L"Extra Info - Multiple Printers")
        fail("the diagnostic dialog's caption is \"" + utf8(caption) + "\", expected \"Extra Info - Multiple Printers\"");
    pass("\"Other Details...\" opens the diagnostic dialog \"Extra Info - Multiple Printers\"");
    Sleep(300);
    ready("diagnostic-dialog");
    PostMessageA(details, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    if (!waitFor(kStepTimeoutMs, [&] { return !IsWindow(details) || !IsWindowVisible(details); }))
        fail("the diagnostic dialog did not close on IDOK");
    pass("the diagnostic dialog closed with IDOK");
}

// --- 6. the About box ----------------------------------------------------------------------------------------

// The values that change from build to build and from machine to machine: the build stamp (row 1) and
// the three memory figures (rows 3 to 5) of the About box's list.
void maskChangingRows(HWND about) {
    HWND list = GetDlgItem(about, IDC_ABOUT_LIST);
    if (!list) fail("the About box has no list 1020");
    RemoteList remote(list);
    for (int row : {1, 3, 4, 5}) {
        RECT r;
        if (!remote.subItemRect(row, 1, r)) fail("LVM_GETSUBITEMRECT of the About box's row " + std::to_string(row));
        MapWindowPoints(list, HWND_DESKTOP, reinterpret_cast<POINT*>(&r), 2);
        mask("about-box", r);
    }
}

void checkAboutBox(HWND main, bool full) {
    if (!PostMessageA(main, WM_SYSCOMMAND, IDM_ABOUT, 0)) fail("PostMessage WM_SYSCOMMAND to the main window");
    HWND about = nullptr;
    if (!waitFor(kStepTimeoutMs, [&] { return (about = visibleTopLevel("#32770", main)) != nullptr; }))
        fail("no About box (a #32770 window owned by the main window) after WM_SYSCOMMAND 156");
    std::wstring expected = wideFrom("ボックスについて", CP_UTF8);
    if (captionOf(about) != expected)
        fail("the About box's caption is \"" + bytesIn(captionOf(about), CP_UTF8) + "\", expected \"ボックスについて\"");
    pass("About box \"ボックスについて\" owned by the main window");
    if (full) {
        HWND list = GetDlgItem(about, IDC_ABOUT_LIST);
        const LRESULT rows = list ? query(list, LVM_GETITEMCOUNT) : 0, shown = list ? query(list, LVM_GETCOUNTPERPAGE) : 0;
        if (rows != 6 || shown < rows)
            fail("the About box's list shows " + std::to_string(shown) + " of its " + std::to_string(rows) +
                 " rows without scrolling, expected all 6");
        pass("the About box's list shows its 6 rows without scrolling");
        maskChangingRows(about);
    }
    ready("about-box");
    PostMessageA(about, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    if (!waitFor(kStepTimeoutMs, [&] { return !IsWindow(about) || !IsWindowVisible(about); }))
        fail("the About box did not close on IDOK");
    pass("About box closed with IDOK");
}

// --- --options: the window of /? ------------------------------------------------------------------------------------

// A text on one line for the report.
std::string oneLine(const std::wstring& text) {
    std::wstring out;
    for (wchar_t c : text) out += c == L'\n' ? std::wstring(L"\\n") : std::wstring(1, c);
    return utf8(out);
}

// The text an edit control holds, copied out of the tool's process through the clipboard (WM_COPY of the
// whole selection): what a person gets with Ctrl+C.
std::wstring copied(HWND edit) {
    LRESULT ignored = 0;
    sendTimeout(edit, EM_SETSEL, 0, -1, &ignored);
    sendTimeout(edit, WM_COPY, 0, 0, &ignored);
    sendTimeout(edit, EM_SETSEL, static_cast<WPARAM>(-1), 0, &ignored);
    std::wstring text;
    if (!OpenClipboard(nullptr)) return text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const wchar_t* p = static_cast<const wchar_t*>(GlobalLock(data))) text = p;
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

// An edit control's text from another process: WM_GETTEXT, which Windows carries across processes
// (GetWindowText would give the text the control was created with).
std::wstring editText(HWND edit) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(edit, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) return L"";
    std::wstring text(length + 1, L'\0');
    DWORD_PTR got = 0;
    SendMessageTimeoutW(edit, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(&text[0]), SMTO_ABORTIFHUNG, 5000, &got);
    text.resize(got);
    return text;
}

int checkOptionsBox() {
    HWND box = nullptr;
    const std::wstring title = wideFrom("アンインストールのオプション", CP_UTF8);
    if (!waitFor(kLoadTimeoutMs, [&] {
            box = visibleTopLevel("#32770");
            return box && captionOf(box) == title;
        }))
        fail("korun04.exe /? showed no window \"アンインストールのオプション\"");
    Sleep(200);  // the window fills its text while it is created
    HWND text = GetDlgItem(box, IDC_OPTIONS_TEXT);
    const std::wstring shown = text ? editText(text) : L"";
    for (const char* part : {"korun04.exe [オプション]", "/SELECT:ALL\t", "/PLAN:", "/QUIET\t", "/LOG:", "/?", "/RESTORE:LAST\t",
                             "/RESUME\t", "/CAPTURE:", "/KEEPBACKUPS:", "RestartSpooler\t", "[終了コード]", "\r\n3010\t"})
        if (shown.find(wideFrom(part, CP_UTF8)) == std::wstring::npos)
            fail("the options window does not name " + std::string(part) + ": \"" + oneLine(shown) + "\"");
    pass("korun04.exe /? shows every option and exit code in its window");
    if (visibleTopLevel(kMainClass)) fail("korun04.exe /? opened its main window too");
    if (copied(text) != shown) fail("the options cannot be copied: \"" + oneLine(copied(text)) + "\"");
    pass("the options' text is selected and copied whole");
    ready("options");
    toFront(box);
    press(VK_ESCAPE);
    if (!waitFor(kStepTimeoutMs, [&] { return !IsWindow(box) || !IsWindowVisible(box); }))
        fail("the options window did not close on Escape");
    pass("the options window closed with Escape");
    std::printf("DONE\n");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "--options") return checkOptionsBox();
    const bool full = mode != "--basic";
    if (full) checkSecondCopyWhileLoading();
    HWND main = nullptr, list = nullptr;
    bool found = waitFor(kLoadTimeoutMs, [&] {
        main = visibleTopLevel(kMainClass);
        list = main ? pageList(main) : nullptr;
        LRESULT count = 0;
        return list && sendTimeout(list, LVM_GETITEMCOUNT, 0, 0, &count) && count > 0;
    });
    if (!main) fail("no visible window of class VSTUninstallWindowClass__ within 60 s");
    if (!found) fail("the main window shows no page with a filled printer list (ID 1020) within 60 s");
    pass("main window with the selection page and its printer list");
    checkSelectionPage(list);
    if (full) {
        checkKeyboard(main, list);
        checkDetailsView(main, list);
        checkMenuKey(main);
        checkDiagnosticDialog(main);
    } else {
        ready("selection-page");
    }
    checkAboutBox(main, full);
    if (full) ready("second-copy");

    HWND exitButton = descendant(main, IDC_EXIT);
    if (!exitButton) fail("no Exit button (ID 1052) in the main window");
    PostMessageA(exitButton, BM_CLICK, 0, 0);  // posted: a message box it may open would block a send
    if (!waitFor(kStepTimeoutMs, [&] { return !IsWindow(main); })) fail("the main window is still there after Exit");
    pass("Exit closed the main window");
    std::printf("DONE\n");
    return 0;
}
