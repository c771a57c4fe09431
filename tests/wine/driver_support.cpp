#include "wine/driver_support.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "resources/resource.h"

namespace driver {

// --- reporting ---------------------------------------------------------------------------------------------

void fail(const std::string& what) {
    std::printf("FAIL: %s\n", what.c_str());
    std::fflush(stdout);
    std::exit(1);
}

void pass(const std::string& what) {
    std::printf("PASS: %s\n", what.c_str());
    std::fflush(stdout);
}

void ready(const char* name) {
    std::printf("READY %s\n", name);
    std::fflush(stdout);
    char line[64];
    if (!std::fgets(line, sizeof line, stdin)) return;
}

void mask(const char* name, const RECT& r) {
    std::printf("MASK %s %ld %ld %ld %ld\n", name, static_cast<long>(r.left), static_cast<long>(r.top),
                static_cast<long>(r.right), static_cast<long>(r.bottom));
    std::fflush(stdout);
}

// --- the keyboard --------------------------------------------------------------------------------------------

HWND focusOf(HWND of) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    const DWORD thread = GetWindowThreadProcessId(of, nullptr);
    return thread && GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

void toFront(HWND window) {
    SetForegroundWindow(window);
    waitFor(2000, [&] { return GetForegroundWindow() == window; });
}

void press(WORD key, WORD modifier) {
    // The extended keys of a keyboard: the arrows, Home and End, and the Menu key.
    const bool extended = key == VK_APPS || (key >= VK_END && key <= VK_DOWN);
    std::vector<INPUT> keys;
    auto add = [&](WORD k, bool up, bool ext) {
        INPUT in = {};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = k;
        in.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | (ext ? KEYEVENTF_EXTENDEDKEY : 0);
        keys.push_back(in);
    };
    if (modifier) add(modifier, false, false);
    add(key, false, extended);
    add(key, true, extended);
    if (modifier) add(modifier, true, false);
    if (SendInput(static_cast<UINT>(keys.size()), keys.data(), sizeof(INPUT)) != keys.size())
        fail("SendInput: error " + std::to_string(GetLastError()));
    Sleep(150);  // a person's pace: the tool takes the keys in its own time
}

HWND popupMenuOf(HWND of) { return visibleTopLevelOfProcess("#32768", of); }

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

std::string sjis(const char* utf8Text) { return bytesIn(wideFrom(utf8Text, CP_UTF8), 932); }

std::string printable(const std::string& cp932) { return bytesIn(wideFrom(cp932.c_str(), 932), CP_UTF8); }

std::string utf8(const std::wstring& text) { return bytesIn(text, CP_UTF8); }

// --- windows ---------------------------------------------------------------------------------------------

std::string classOf(HWND hwnd) {
    char name[128] = "";
    GetClassNameA(hwnd, name, sizeof name);
    return name;
}

std::wstring captionOf(HWND hwnd) {
    wchar_t text[256] = L"";
    GetWindowTextW(hwnd, text, 256);
    return text;
}

bool sendTimeout(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    DWORD_PTR out = 0;
    if (!SendMessageTimeoutA(hwnd, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs, &out)) return false;
    *result = static_cast<LRESULT>(out);
    return true;
}

LRESULT query(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (!sendTimeout(hwnd, message, wParam, lParam, &result)) fail("no answer from the tool's window (hung?)");
    return result;
}

namespace {

struct TopLevelSearch {
    const char* cls;
    HWND owner;    // nullptr: any
    DWORD process; // 0: any
    HWND except;
    HWND found;
};

BOOL CALLBACK findTopLevel(HWND hwnd, LPARAM lParam) {
    TopLevelSearch* s = reinterpret_cast<TopLevelSearch*>(lParam);
    if (hwnd == s->except || !IsWindowVisible(hwnd) || classOf(hwnd) != s->cls) return TRUE;
    if (s->owner && GetWindow(hwnd, GW_OWNER) != s->owner) return TRUE;
    DWORD process = 0;
    GetWindowThreadProcessId(hwnd, &process);
    if (s->process && process != s->process) return TRUE;
    s->found = hwnd;
    return FALSE;
}

struct PageSearch {
    HWND main;
    int id;
    HWND page;
};

BOOL CALLBACK findPage(HWND hwnd, LPARAM lParam) {
    PageSearch* s = reinterpret_cast<PageSearch*>(lParam);
    if (GetParent(hwnd) != s->main || classOf(hwnd) != "#32770" || !IsWindowVisible(hwnd)) return TRUE;
    HWND control = GetDlgItem(hwnd, s->id);
    if (!control || !IsWindowVisible(control)) return TRUE;
    s->page = hwnd;
    return FALSE;
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

}  // namespace

HWND visibleTopLevel(const char* cls, HWND owner) {
    TopLevelSearch s = {cls, owner, 0, nullptr, nullptr};
    EnumWindows(findTopLevel, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

HWND visibleTopLevelOfProcess(const char* cls, HWND of) {
    DWORD process = 0;
    GetWindowThreadProcessId(of, &process);
    if (!process) return nullptr;
    TopLevelSearch s = {cls, nullptr, process, of, nullptr};
    EnumWindows(findTopLevel, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

HWND visiblePageWith(HWND main, int id) {
    PageSearch s = {main, id, nullptr};
    EnumChildWindows(main, findPage, reinterpret_cast<LPARAM>(&s));
    return s.page;
}

HWND pageList(HWND main) {
    HWND page = visiblePageWith(main, IDC_PRINTER_LIST);
    HWND list = page ? GetDlgItem(page, IDC_PRINTER_LIST) : nullptr;
    return list && lstrcmpiA(classOf(list).c_str(), "SysListView32") == 0 ? list : nullptr;
}

HWND descendant(HWND parent, int id) {
    IdSearch s = {id, nullptr};
    EnumChildWindows(parent, findById, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

// --- the list view, in the tool's process ------------------------------------------------------------

RemoteList::RemoteList(HWND list) : list_(list) {
    DWORD pid = 0;
    GetWindowThreadProcessId(list, &pid);
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION,
                           FALSE, pid);
    if (!process_) fail("OpenProcess of the tool: error " + std::to_string(GetLastError()));
    remote_ = static_cast<char*>(VirtualAllocEx(process_, nullptr, kSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!remote_) fail("VirtualAllocEx in the tool: error " + std::to_string(GetLastError()));
}

RemoteList::~RemoteList() {
    if (remote_) VirtualFreeEx(process_, remote_, 0, MEM_RELEASE);
    if (process_) CloseHandle(process_);
}

std::string RemoteList::itemText(int item, int subItem) {
    LVITEMA lv = {};
    lv.iSubItem = subItem;
    lv.pszText = remote_ + kTextOffset;
    lv.cchTextMax = kTextChars;
    return fetch(&lv, sizeof lv, LVM_GETITEMTEXTA, item, false);
}

std::string RemoteList::columnText(int column) {
    LVCOLUMNA lc = {};
    lc.mask = LVCF_TEXT;
    lc.pszText = remote_ + kTextOffset;
    lc.cchTextMax = kTextChars;
    return fetch(&lc, sizeof lc, LVM_GETCOLUMNA, column, true);
}

bool RemoteList::setItemState(int item, UINT state, UINT mask) {
    LVITEMA lv = {};
    lv.stateMask = mask;
    lv.state = state;
    write(&lv, sizeof lv, 0);
    return query(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(remote_)) != 0;
}

bool RemoteList::itemRect(int item, int code, RECT& r) {
    RECT in = {code, 0, 0, 0};
    write(&in, sizeof in, 0);
    if (!query(list_, LVM_GETITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(remote_))) return false;
    SIZE_T done = 0;
    return ReadProcessMemory(process_, remote_, &r, sizeof r, &done) && done == sizeof r;
}

bool RemoteList::subItemRect(int item, int subItem, RECT& r) {
    RECT in = {LVIR_LABEL, subItem, 0, 0};
    write(&in, sizeof in, 0);
    if (!query(list_, LVM_GETSUBITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(remote_))) return false;
    SIZE_T done = 0;
    return ReadProcessMemory(process_, remote_, &r, sizeof r, &done) && done == sizeof r;
}

void RemoteList::write(const void* data, size_t size, size_t offset) {
    SIZE_T done = 0;
    if (!WriteProcessMemory(process_, remote_ + offset, data, size, &done))
        fail("WriteProcessMemory into the tool: error " + std::to_string(GetLastError()));
}

// Writes the structure and an empty text buffer into the tool, sends the message, reads the text back.
std::string RemoteList::fetch(const void* structure, size_t size, UINT message, WPARAM wParam, bool needsTrue) {
    std::vector<char> text(kTextChars + 1, '\0');
    write(structure, size, 0);
    write(text.data(), text.size(), kTextOffset);
    LRESULT r = query(list_, message, wParam, reinterpret_cast<LPARAM>(remote_));
    if (needsTrue && !r) fail("message " + std::to_string(message) + " failed for index " + std::to_string(wParam));
    SIZE_T done = 0;
    if (!ReadProcessMemory(process_, remote_ + kTextOffset, text.data(), kTextChars, &done))
        fail("ReadProcessMemory from the tool: error " + std::to_string(GetLastError()));
    text[kTextChars] = 0;
    return text.data();
}

}  // namespace driver
