// ui_driver.exe: drives korun04.exe's interactive run from outside the process, as a person would, and
// checks what its windows show. Run under Wine beside the tool (tests/wine/ui_check.sh), or against the
// stand-in window of tests/wine/ui_standin.cpp (tests/wine/run.sh).
//
// Steps: wait for the main window (class "VSTUninstallWindowClass__") with its selection page (a #32770
// child) holding the printer list (SysListView32, ID 1020) with at least one item; read the list's first
// row and its column headers out of the tool's process; open the About box through the system-menu command
// and close it; press Exit. Prints one "PASS: ..." line per check and stops at the first "FAIL: ..." (exit
// status 1). Before each screenshot it prints "READY name" and waits for a line on stdin (end of input
// goes straight on), so that the script can take the picture while the window is up. Last line: "DONE".
//
// The list view's texts are read with LVM_GETITEMTEXTA / LVM_GETCOLUMNA in the tool's process
// (driver_support.h): they come back in its ANSI code page (932 under the Japanese locale), so the expected
// texts are compared as code page 932 bytes.
#include "wine/driver_support.h"

#include <cstdio>
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

void checkAboutBox(HWND main) {
    if (!PostMessageA(main, WM_SYSCOMMAND, IDM_ABOUT, 0)) fail("PostMessage WM_SYSCOMMAND to the main window");
    HWND about = nullptr;
    if (!waitFor(kStepTimeoutMs, [&] { return (about = visibleTopLevel("#32770", main)) != nullptr; }))
        fail("no About box (a #32770 window owned by the main window) after WM_SYSCOMMAND 156");
    std::wstring expected = wideFrom("ボックスについて", CP_UTF8);
    if (captionOf(about) != expected)
        fail("the About box's caption is \"" + bytesIn(captionOf(about), CP_UTF8) + "\", expected \"ボックスについて\"");
    pass("About box \"ボックスについて\" owned by the main window");
    ready("about-box");
    PostMessageA(about, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    if (!waitFor(kStepTimeoutMs, [&] { return !IsWindow(about) || !IsWindowVisible(about); }))
        fail("the About box did not close on IDOK");
    pass("About box closed with IDOK");
}

}  // namespace

int main() {
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
    ready("selection-page");
    checkAboutBox(main);

    HWND exitButton = descendant(main, IDC_EXIT);
    if (!exitButton) fail("no Exit button (ID 1052) in the main window");
    PostMessageA(exitButton, BM_CLICK, 0, 0);  // posted: a message box it may open would block a send
    if (!waitFor(kStepTimeoutMs, [&] { return !IsWindow(main); })) fail("the main window is still there after Exit");
    pass("Exit closed the main window");
    std::printf("DONE\n");
    return 0;
}
