// What the Wine UI drivers (ui_driver.exe, removal_driver.exe) share: their report lines, text conversions
// between code page 932 and UTF-8, finding the tool's windows, and the list view read and changed inside
// the tool's process.
//
// Report: one "PASS: ..." line per check; the first "FAIL: ..." ends the driver with exit status 1.
// "READY name" asks the script that runs the driver for a screenshot; the driver goes on after one line
// (or the end) of its standard input.
#pragma once

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <commctrl.h>

#include <string>

namespace driver {

const DWORD kStepTimeoutMs = 15000;
const UINT kSendTimeoutMs = 5000;

[[noreturn]] void fail(const std::string& what);
void pass(const std::string& what);
void ready(const char* name);
// "MASK name left top right bottom": a rectangle of the screen (desktop coordinates) whose pixels the
// comparison of screenshot `name` leaves out (a build stamp, memory figures).
void mask(const char* name, const RECT& r);

// --- texts ---------------------------------------------------------------------------------------------
std::wstring wideFrom(const char* text, UINT codePage);
std::string bytesIn(const std::wstring& text, UINT codePage);
// The code page 932 bytes of a UTF-8 text of the drivers' sources.
std::string sjis(const char* utf8);
// A code page 932 text as UTF-8 for the report (the script's terminal is UTF-8).
std::string printable(const std::string& cp932);
std::string utf8(const std::wstring& text);

// --- windows -----------------------------------------------------------------------------------------
std::string classOf(HWND hwnd);
std::wstring captionOf(HWND hwnd);
// SendMessageTimeout that gives up on a hung window; false when there was no answer.
bool sendTimeout(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
// The answer to a message; fails the driver when the window does not answer.
LRESULT query(HWND hwnd, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
// A visible top-level window of the class, owned by owner (nullptr: by anyone).
HWND visibleTopLevel(const char* cls, HWND owner = nullptr);
// A visible top-level window of the class in the process of window `of`, other than `of` itself.
HWND visibleTopLevelOfProcess(const char* cls, HWND of);
// The printer list of the main window: ID 1020 in a visible #32770 page that is a direct child.
HWND pageList(HWND main);
// The visible #32770 page of the main window that holds a control of that ID.
HWND visiblePageWith(HWND main, int id);
// A descendant window with that control ID.
HWND descendant(HWND parent, int id);

// --- the keyboard, as a person types ---------------------------------------------------------------------
// The window with the keyboard focus in the thread of window `of` (GetGUIThreadInfo), or nullptr.
HWND focusOf(HWND of);
// Brings the tool's window to the front, so that keys typed go to it.
void toFront(HWND window);
// Presses and releases a key (SendInput), with a modifier (VK_SHIFT, VK_CONTROL) held meanwhile.
void press(WORD key, WORD modifier = 0);
// The open popup menu (a visible "#32768" window) of the process of window `of`, or nullptr.
HWND popupMenuOf(HWND of);

template <class Probe>
bool waitFor(DWORD timeoutMs, Probe probe) {
    DWORD start = GetTickCount();
    for (;;) {
        if (probe()) return true;
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(100);
    }
}

// --- the list view, read and changed in the tool's process ------------------------------------------------
// A pointer of the driver's process means nothing in the tool's, so the LVITEMA / LVCOLUMNA and the text
// buffer are placed in the tool's memory (VirtualAllocEx) and read back (ReadProcessMemory). The texts come
// back in the tool's ANSI code page (932 under the Japanese locale).
class RemoteList {
public:
    explicit RemoteList(HWND list);
    ~RemoteList();
    RemoteList(const RemoteList&) = delete;
    RemoteList& operator=(const RemoteList&) = delete;

    std::string itemText(int item, int subItem);
    std::string columnText(int column);
    // LVM_SETITEMSTATE with the structure in the tool's memory; item -1 means every item.
    bool setItemState(int item, UINT state, UINT mask);
    // LVM_GETITEMRECT (code LVIR_BOUNDS, LVIR_LABEL...) and LVM_GETSUBITEMRECT, in the list's client
    // coordinates; false when the list says no.
    bool itemRect(int item, int code, RECT& r);
    bool subItemRect(int item, int subItem, RECT& r);

private:
    static const size_t kSize = 4096, kTextOffset = 512;
    static const int kTextChars = 1024;

    void write(const void* data, size_t size, size_t offset);
    std::string fetch(const void* structure, size_t size, UINT message, WPARAM wParam, bool needsTrue);

    HWND list_;
    HANDLE process_ = nullptr;
    char* remote_ = nullptr;
};

}  // namespace driver
