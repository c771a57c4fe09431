// removal_driver.exe [--shot NAME] PRINTER...: drives korun04.exe's removal from outside the process, as a
// person would. Run under Wine beside the tool (tests/wine/removal_check.sh).
//
// Steps: wait for the main window's selection page with its printer list; print "LISTED name" for each
// row; select the rows of the PRINTER names (in the tool's process: LVM_SETITEMSTATE) and check that
// exactly those are selected; press Uninstall once it is enabled; wait for the removal page; then answer
// every message box the tool shows until the main window has gone by itself: OK where there is only OK, No
// where the box asks (the restart question: the prefix is not restarted by the tool). Each box is printed
// as "BOX n" with n the string ID of its text in the tool's string table (read from korun04.exe beside the
// driver), "BOX 160 name" for the new-default-printer text with the name it gives, or "BOX ? text". With
// --shot, before answering the first box of the run (shown by a stage while it works) the box is moved to a
// corner of the desktop and "READY NAME" is printed, so that the script can take a picture of the removal
// page in progress.
// Last line: "DONE". "FAIL: ..." and exit status 1 on the first thing that goes wrong.
#include "wine/driver_support.h"

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "resources/resource.h"

using namespace driver;

namespace {

const char kMainClass[] = "VSTUninstallWindowClass__";
const DWORD kLoadTimeoutMs = 60000;     // the loading phase runs on timers, about 6 s
const DWORD kRemovalTimeoutMs = 90000;  // eighteen stages of 200 ms, a hook's second, the message boxes
const int kMessageBoxTextId = 0xFFFF;   // the static text of a message box
const int kDesktopWidth = 800, kDesktopHeight = 600;

// --- the tool's texts --------------------------------------------------------------------------------------

HMODULE toolModule() {
    static HMODULE module = nullptr;
    if (!module) {
        char path[MAX_PATH] = "";
        GetModuleFileNameA(nullptr, path, sizeof path);
        std::string dir(path);
        dir = dir.substr(0, dir.find_last_of('\\') + 1);
        module = LoadLibraryExA((dir + "korun04.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        if (!module) fail("korun04.exe beside the driver cannot be loaded for its texts: error " + std::to_string(GetLastError()));
    }
    return module;
}

std::wstring toolString(int id) {
    wchar_t text[1024] = L"";
    LoadStringW(toolModule(), id, text, 1024);
    return text;
}

// The values a text of the string table was filled with: the text matched against the string's parts
// between its "%s"; false when it is not that string.
bool filledFrom(const std::wstring& text, const std::wstring& format, std::vector<std::wstring>& values) {
    values.clear();
    size_t at = 0, from = 0;
    for (;;) {
        const size_t field = format.find(L"%s", from);
        const std::wstring part = format.substr(from, field == std::wstring::npos ? std::wstring::npos : field - from);
        if (text.compare(at, part.size(), part) != 0) return false;
        at += part.size();
        if (field == std::wstring::npos) return at == text.size();
        from = field + 2;
        const size_t nextField = format.find(L"%s", from);
        const std::wstring next = format.substr(from, nextField == std::wstring::npos ? std::wstring::npos : nextField - from);
        const size_t end = next.empty() ? text.size() : text.find(next, at);
        if (end == std::wstring::npos) return false;
        values.push_back(text.substr(at, end - at));
        at = end;
    }
}

// "n" for a known string of the table; "160 name" for the new default printer with the name it gives;
// "300 items failed refused" for the end of a removal that left items (the log's path left out: it names
// the user); "? text" otherwise.
std::string identify(const std::wstring& text) {
    for (int id : {IDS_DEFAULT_PRINTER_GONE, IDS_UNINSTALL_COMPLETE, IDS_RESTART_QUESTION, IDS_RESTART_FAILED, IDS_NO_SCRIPTS})
        if (text == toolString(id)) return std::to_string(id);
    std::vector<std::wstring> values;
    if (filledFrom(text, toolString(IDS_NEW_DEFAULT_PRINTER), values) && values.size() == 1)
        return std::to_string(IDS_NEW_DEFAULT_PRINTER) + " " + utf8(values[0]);
    if (filledFrom(text, toolString(IDS_UNINSTALL_INCOMPLETE), values) && values.size() == 4)
        return std::to_string(IDS_UNINSTALL_INCOMPLETE) + " " + utf8(values[0]) + " " + utf8(values[1]) + " " + utf8(values[2]);
    std::wstring oneLine;
    for (wchar_t c : text) oneLine += c == L'\n' ? std::wstring(L"\\n") : std::wstring(1, c);
    return "? " + utf8(oneLine);
}

// --- the selection -------------------------------------------------------------------------------------

HWND waitForList(HWND* main) {
    HWND list = nullptr;
    bool found = waitFor(kLoadTimeoutMs, [&] {
        *main = visibleTopLevel(kMainClass);
        list = *main ? pageList(*main) : nullptr;
        LRESULT count = 0;
        return list && sendTimeout(list, LVM_GETITEMCOUNT, 0, 0, &count) && count > 0;
    });
    if (!*main) fail("no visible window of class VSTUninstallWindowClass__ within 60 s");
    if (!found) fail("the main window shows no page with a filled printer list (ID 1020) within 60 s");
    pass("main window with the selection page and its printer list");
    return list;
}

void selectPrinters(HWND list, const std::set<std::string>& wanted) {
    RemoteList remote(list);
    const int count = static_cast<int>(query(list, LVM_GETITEMCOUNT));
    std::set<std::string> seen;
    for (int i = 0; i < count; ++i) {
        const std::string name = remote.itemText(i, 0);
        std::printf("LISTED %s\n", printable(name).c_str());
        const bool select = wanted.count(name) != 0;
        if (select) seen.insert(name);
        if (!remote.setItemState(i, select ? LVIS_SELECTED | LVIS_FOCUSED : 0, LVIS_SELECTED | (select ? LVIS_FOCUSED : 0)))
            fail("LVM_SETITEMSTATE of row " + std::to_string(i) + " failed");
    }
    for (const std::string& name : wanted)
        if (!seen.count(name)) fail("\"" + name + "\" is not in the printer list");
    const LRESULT selected = query(list, LVM_GETSELECTEDCOUNT);
    if (selected != static_cast<LRESULT>(wanted.size()))
        fail(std::to_string(selected) + " rows selected, expected " + std::to_string(wanted.size()));
    pass("selected " + std::to_string(selected) + " of " + std::to_string(count) + " printers");
}

void pressUninstall(HWND main) {
    HWND uninstall = descendant(main, IDC_UNINSTALL);
    if (!uninstall) fail("no Uninstall button (ID 1080) in the main window");
    if (!waitFor(kStepTimeoutMs, [&] { return IsWindowEnabled(uninstall) != FALSE; }))
        fail("the Uninstall button stays disabled with printers selected");
    PostMessageA(uninstall, BM_CLICK, 0, 0);  // posted: the removal that it starts runs in the tool's loop
    if (!waitFor(kStepTimeoutMs, [&] { return visiblePageWith(main, IDC_ROW_LABEL_FIRST) != nullptr; }))
        fail("no removal page (with the row label 1087) after Uninstall");
    pass("Uninstall pressed; the removal page is shown");
}

// --- the removal ------------------------------------------------------------------------------------------

std::wstring boxText(HWND box) {
    HWND text = GetDlgItem(box, kMessageBoxTextId);
    return text ? captionOf(text) : L"";
}

// Moves the box to the desktop's lower right corner, so that the page behind it shows in a picture.
void moveAside(HWND box) {
    RECT r;
    if (!GetWindowRect(box, &r)) return;
    SetWindowPos(box, nullptr, kDesktopWidth - (r.right - r.left), kDesktopHeight - (r.bottom - r.top), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    Sleep(300);  // let it repaint
}

void answer(HWND box) {
    HWND no = GetDlgItem(box, IDNO), ok = GetDlgItem(box, IDOK);
    HWND button = no ? no : ok;
    if (!button) fail("a message box without an OK or No button");
    PostMessageA(button, BM_CLICK, 0, 0);
    if (!waitFor(kStepTimeoutMs, [&] { return !IsWindow(box) || !IsWindowVisible(box); })) fail("a message box did not close");
}

void followRemoval(HWND main, const char* shot) {
    const std::wstring caption = toolString(IDS_CAPTION);
    DWORD start = GetTickCount();
    bool first = true;
    while (IsWindow(main)) {
        if (GetTickCount() - start > kRemovalTimeoutMs) fail("the removal did not end within 90 s");
        HWND box = visibleTopLevelOfProcess("#32770", main);
        if (!box) {
            Sleep(100);
            continue;
        }
        Sleep(200);  // the box fills its text while it is created
        if (captionOf(box) != caption) fail("a window \"" + utf8(captionOf(box)) + "\" that is not one of the tool's message boxes");
        const std::string what = identify(boxText(box));
        std::printf("BOX %s\n", what.c_str());
        std::fflush(stdout);
        // The page in progress: behind the first box of the run, which a stage shows while it works.
        if (shot && first) {
            moveAside(box);
            ready(shot);
        }
        first = false;
        answer(box);
    }
    pass("the main window closed by itself after the removal");
}

}  // namespace

int main(int argc, char** argv) {
    const char* shot = nullptr;
    std::set<std::string> wanted;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--shot" && i + 1 < argc)
            shot = argv[++i];
        else
            wanted.insert(argv[i]);
    }
    if (wanted.empty()) {
        std::printf("usage: removal_driver.exe [--shot NAME] PRINTER...\n");
        return 2;
    }
    HWND main = nullptr;
    HWND list = waitForList(&main);
    selectPrinters(list, wanted);
    pressUninstall(main);
    followRemoval(main, shot);
    std::printf("DONE\n");
    return 0;
}
