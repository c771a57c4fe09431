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
// The list view's texts are read with LVM_GETITEMTEXTA / LVM_GETCOLUMNA: the tool's process converts them
// to its ANSI code page (932 under the Japanese locale), so the expected texts are compared as code page
// 932 bytes. A pointer of this process means nothing in the tool's, so the LVITEMA / LVCOLUMNA and the
// text buffer are placed in the tool's memory (VirtualAllocEx) and read back (ReadProcessMemory).
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "resources/resource.h"

namespace {

const char kMainClass[] = "VSTUninstallWindowClass__";
const DWORD kLoadTimeoutMs = 60000;  // the loading phase runs on timers, about 6 s
const DWORD kStepTimeoutMs = 15000;
const UINT kSendTimeoutMs = 5000;

// --- reporting ---------------------------------------------------------------------------------------------

[[noreturn]] void fail(const std::string& what) {
    std::printf("FAIL: %s\n", what.c_str());
    std::fflush(stdout);
    std::exit(1);
}

void pass(const std::string& what) {
    std::printf("PASS: %s\n", what.c_str());
    std::fflush(stdout);
}

// Lets the script take a screenshot: "READY name", then one line (or end of input) on stdin.
void ready(const char* name) {
    std::printf("READY %s\n", name);
    std::fflush(stdout);
    char line[64];
    if (!std::fgets(line, sizeof line, stdin)) return;
}

// --- texts ---------------------------------------------------------------------------------------------------

std::wstring wideFrom(const char* text, UINT codePage) {
    int n = MultiByteToWideChar(codePage, 0, text, -1, nullptr, 0);
    if (n <= 0) return L"";
    std::wstring out(n, L'\0');
    MultiByteToWideChar(codePage, 0, text, -1, &out[0], n);
    out.resize(n - 1);
    return out;
}

std::string bytesIn(const std::wstring& text, UINT codePage) {
    int n = WideCharToMultiByte(codePage, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return "";
    std::string out(n, '\0');
    WideCharToMultiByte(codePage, 0, text.c_str(), -1, &out[0], n, nullptr, nullptr);
    out.resize(n - 1);
    return out;
}

// The code page 932 bytes of a UTF-8 text of this source.
std::string sjis(const char* utf8) { return bytesIn(wideFrom(utf8, CP_UTF8), 932); }

// A code page 932 text as UTF-8 for the report (the script's terminal is UTF-8).
std::string printable(const std::string& cp932) { return bytesIn(wideFrom(cp932.c_str(), 932), CP_UTF8); }

// --- windows ---------------------------------------------------------------------------------------------

std::string classOf(HWND hwnd) {
    char name[128] = "";
    GetClassNameA(hwnd, name, sizeof name);
    return name;
}

bool sendTimeout(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    DWORD_PTR out = 0;
    if (!SendMessageTimeoutA(hwnd, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs, &out)) return false;
    *result = static_cast<LRESULT>(out);
    return true;
}

LRESULT query(HWND hwnd, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    LRESULT result = 0;
    if (!sendTimeout(hwnd, message, wParam, lParam, &result)) fail("no answer from the tool's window (hung?)");
    return result;
}

struct TopLevelSearch {
    const char* cls;
    HWND owner;  // nullptr: any
    HWND found;
};

BOOL CALLBACK findTopLevel(HWND hwnd, LPARAM lParam) {
    TopLevelSearch* s = reinterpret_cast<TopLevelSearch*>(lParam);
    if (!IsWindowVisible(hwnd) || classOf(hwnd) != s->cls) return TRUE;
    if (s->owner && GetWindow(hwnd, GW_OWNER) != s->owner) return TRUE;
    s->found = hwnd;
    return FALSE;
}

HWND visibleTopLevel(const char* cls, HWND owner = nullptr) {
    TopLevelSearch s = {cls, owner, nullptr};
    EnumWindows(findTopLevel, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

// The printer list of the main window: ID 1020 in a visible #32770 page that is a direct child.
struct PageSearch {
    HWND main;
    HWND list;
};

BOOL CALLBACK findPageList(HWND hwnd, LPARAM lParam) {
    PageSearch* s = reinterpret_cast<PageSearch*>(lParam);
    if (GetParent(hwnd) != s->main || classOf(hwnd) != "#32770" || !IsWindowVisible(hwnd)) return TRUE;
    HWND list = GetDlgItem(hwnd, IDC_PRINTER_LIST);
    if (!list || !IsWindowVisible(list) || lstrcmpiA(classOf(list).c_str(), "SysListView32") != 0) return TRUE;
    s->list = list;
    return FALSE;
}

HWND pageList(HWND main) {
    PageSearch s = {main, nullptr};
    EnumChildWindows(main, findPageList, reinterpret_cast<LPARAM>(&s));
    return s.list;
}

struct IdSearch {
    int id;
    HWND found;
};

BOOL CALLBACK findById(HWND hwnd, LPARAM lParam) {
    IdSearch* s = reinterpret_cast<IdSearch*>(lParam);
    if (GetDlgCtrlID(hwnd) != s->id) return TRUE;
    s->found = hwnd;
    return FALSE;
}

HWND descendant(HWND parent, int id) {
    IdSearch s = {id, nullptr};
    EnumChildWindows(parent, findById, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

std::wstring captionOf(HWND hwnd) {
    wchar_t text[256] = L"";
    GetWindowTextW(hwnd, text, 256);
    return text;
}

// --- the list view, read in the tool's process ------------------------------------------------------------

class RemoteList {
public:
    explicit RemoteList(HWND list) : list_(list) {
        DWORD pid = 0;
        GetWindowThreadProcessId(list, &pid);
        process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION,
                               FALSE, pid);
        if (!process_) fail("OpenProcess of the tool: error " + std::to_string(GetLastError()));
        remote_ = static_cast<char*>(VirtualAllocEx(process_, nullptr, kSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        if (!remote_) fail("VirtualAllocEx in the tool: error " + std::to_string(GetLastError()));
    }
    ~RemoteList() {
        if (remote_) VirtualFreeEx(process_, remote_, 0, MEM_RELEASE);
        if (process_) CloseHandle(process_);
    }
    RemoteList(const RemoteList&) = delete;
    RemoteList& operator=(const RemoteList&) = delete;

    std::string itemText(int item, int subItem) {
        LVITEMA lv = {};
        lv.iSubItem = subItem;
        lv.pszText = remote_ + kTextOffset;
        lv.cchTextMax = kTextChars;
        return fetch(&lv, sizeof lv, LVM_GETITEMTEXTA, item, false);
    }

    std::string columnText(int column) {
        LVCOLUMNA lc = {};
        lc.mask = LVCF_TEXT;
        lc.pszText = remote_ + kTextOffset;
        lc.cchTextMax = kTextChars;
        return fetch(&lc, sizeof lc, LVM_GETCOLUMNA, column, true);
    }

private:
    static const size_t kSize = 4096, kTextOffset = 512;
    static const int kTextChars = 1024;

    // Writes the structure and an empty text buffer into the tool, sends the message, reads the text back.
    std::string fetch(const void* structure, size_t size, UINT message, WPARAM wParam, bool needsTrue) {
        std::vector<char> clear(kTextChars + 1, '\0');
        SIZE_T done = 0;
        if (!WriteProcessMemory(process_, remote_, structure, size, &done) ||
            !WriteProcessMemory(process_, remote_ + kTextOffset, clear.data(), clear.size(), &done))
            fail("WriteProcessMemory into the tool: error " + std::to_string(GetLastError()));
        LRESULT r = query(list_, message, wParam, reinterpret_cast<LPARAM>(remote_));
        if (needsTrue && !r) fail("message " + std::to_string(message) + " failed for index " + std::to_string(wParam));
        if (!ReadProcessMemory(process_, remote_ + kTextOffset, clear.data(), kTextChars, &done))
            fail("ReadProcessMemory from the tool: error " + std::to_string(GetLastError()));
        clear[kTextChars] = 0;
        return clear.data();
    }

    HWND list_;
    HANDLE process_ = nullptr;
    char* remote_ = nullptr;
};

// --- the steps ---------------------------------------------------------------------------------------------

template <class Probe>
bool waitFor(DWORD timeoutMs, Probe probe) {
    DWORD start = GetTickCount();
    for (;;) {
        if (probe()) return true;
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(100);
    }
}

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
