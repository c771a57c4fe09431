// user32 and comctl32 on the current machine: windows, classes, messages, message boxes.
#include <cstring>
#include <string>

#include "simwin/machine.h"
#include "simwin/win32.h"

using simwin::current;

namespace {

LRESULT CALLBACK defaultDialogProc(HWND, UINT, WPARAM, LPARAM) { return 0; }

// One event per transcript line: line breaks inside a text are shown as "\n".
std::string oneLine(const char* text) {
    std::string out;
    for (const char* p = text ? text : ""; *p; ++p) {
        if (*p == '\n')
            out += "\\n";
        else if (*p != '\r')
            out += *p;
    }
    return out;
}

const char* answerName(int answer) {
    switch (answer) {
    case IDOK: return "OK";
    case IDCANCEL: return "Cancel";
    case IDYES: return "Yes";
    case IDNO: return "No";
    default: return "?";
    }
}

// The window behind a handle, or null with ERROR_INVALID_WINDOW_HANDLE.
simwin::Window* existingWindow(HWND hwnd) {
    simwin::Window* w = current().windows.find(hwnd);
    if (!w) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return w;
}

std::string describe(const simwin::Window& w) {
    return w.className + (w.title.empty() ? "" : " \"" + w.title + "\"");
}

}  // namespace

HWND WINAPI FindWindowA(LPCSTR className, LPCSTR windowName) {
    for (auto& w : current().windows.windows) {
        if (w.destroyed) continue;
        if (className && !simwin::iequals(w.className, className)) continue;
        if (windowName && w.title != windowName) continue;
        return w.hwnd;
    }
    SetLastError(ERROR_SUCCESS);
    return nullptr;
}

BOOL WINAPI ShowWindow(HWND hwnd, int command) {
    simwin::Window* w = existingWindow(hwnd);
    if (!w) return FALSE;
    BOOL wasVisible = w->visible;
    w->visible = command != SW_HIDE;
    w->showCommand = command;
    if (w->foreign) current().transcript.add("window " + describe(*w) + " shown (command " + std::to_string(command) + ")");
    return wasVisible;
}

BOOL WINAPI BringWindowToTop(HWND hwnd) {
    auto& ws = current().windows.windows;
    for (size_t i = 0; i < ws.size(); ++i) {
        if (ws[i].hwnd != hwnd || ws[i].destroyed) continue;
        simwin::Window w = ws[i];
        ws.erase(ws.begin() + static_cast<long>(i));
        ws.insert(ws.begin(), w);
        return TRUE;
    }
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
}

BOOL WINAPI SetForegroundWindow(HWND hwnd) {
    simwin::Window* w = current().windows.find(hwnd);
    if (!w) return FALSE;
    current().windows.foreground = hwnd;
    current().transcript.add("window " + describe(*w) + " brought to the foreground");
    return TRUE;
}

BOOL WINAPI GetClassInfoA(HINSTANCE instance, LPCSTR className, LPWNDCLASSA wc) {
    auto& classes = current().windows.classes;
    auto it = className ? classes.find(className) : classes.end();
    if (it == classes.end() || !wc) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return FALSE;
    }
    std::memset(wc, 0, sizeof *wc);
    wc->style = it->second.style;
    wc->lpfnWndProc = it->second.wndProc ? reinterpret_cast<WNDPROC>(it->second.wndProc) : &defaultDialogProc;
    wc->cbClsExtra = it->second.clsExtra;
    wc->cbWndExtra = it->second.wndExtra;
    wc->hInstance = instance;
    wc->lpszClassName = it->second.name.c_str();
    return TRUE;
}

ATOM WINAPI RegisterClassA(const WNDCLASSA* wc) {
    auto& classes = current().windows.classes;
    if (!wc || !wc->lpszClassName || !*wc->lpszClassName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (classes.count(wc->lpszClassName)) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    simwin::WindowClass c;
    c.name = wc->lpszClassName;
    c.wndProc = reinterpret_cast<void*>(wc->lpfnWndProc);
    c.style = wc->style;
    c.clsExtra = wc->cbClsExtra;
    c.wndExtra = wc->cbWndExtra;
    classes[c.name] = c;
    return static_cast<ATOM>(0xC000 + classes.size());
}

INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC proc, LPARAM param) {
    std::string name = IS_INTRESOURCE(templateName) ? std::to_string(reinterpret_cast<ULONG_PTR>(templateName))
                                                    : std::string(templateName);
    current().transcript.add("dialog " + name + ": dialogs are not simulated yet; the interactive run stops here");
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return -1;
}

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    auto& user = current().windows;
    int answer = IDOK;
    switch (type & 0xF) {
    case MB_YESNO: {
        bool yes = !user.answers.empty() && user.answers.front();
        if (!user.answers.empty()) user.answers.pop_front();
        answer = yes ? IDYES : IDNO;
        break;
    }
    case MB_OKCANCEL: {
        bool yes = !user.answers.empty() && user.answers.front();
        if (!user.answers.empty()) user.answers.pop_front();
        answer = yes ? IDOK : IDCANCEL;
        break;
    }
    default: break;
    }
    current().transcript.add("message box \"" + oneLine(caption ? caption : "Error") + "\": \"" + oneLine(text) +
                             "\" -> " + answerName(answer));
    return answer;
}

LRESULT WINAPI SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    simwin::Window* w = existingWindow(hwnd);
    if (!w) return 0;
    std::string name = current().windows.messageName(msg);
    if (w->foreign) {
        w->received.push_back(name + " lParam=" + std::to_string(lParam));
        current().transcript.add(name + " sent to " + describe(*w) + " (lParam " + std::to_string(lParam) + ")");
        // The programs of the driver family close when asked.
        if (msg == WM_CLOSE) w->destroyed = true;
    }
    return 0;
}

BOOL WINAPI PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto& ws = current().windows;
    std::string name = ws.messageName(msg);
    if (hwnd == HWND_BROADCAST) {
        current().transcript.add("broadcast " + name);
        for (auto& w : ws.windows)
            if (w.foreign && !w.destroyed) w.received.push_back(name);
        return TRUE;
    }
    simwin::Window* w = ws.find(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (w->foreign) {
        w->received.push_back(name + " lParam=" + std::to_string(lParam));
        if (msg == WM_CLOSE) w->destroyed = true;
    }
    return TRUE;
}

UINT WINAPI RegisterWindowMessageA(LPCSTR name) {
    if (!name || !*name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return current().windows.registerMessage(name);
}

BOOL WINAPI ExitWindowsEx(UINT flags, DWORD reason) {
    auto& sys = current().system;
    if (sys.platform == simwin::Platform::Nt && !sys.shutdownEnabled) {
        SetLastError(ERROR_PRIVILEGE_NOT_HELD);
        return FALSE;
    }
    if (flags & EWX_REBOOT) {
        sys.rebootRequested = true;
        current().transcript.add("restart of Windows requested");
    } else {
        current().transcript.add("shutdown requested (flags " + std::to_string(flags) + ")");
    }
    return TRUE;
}

void WINAPI InitCommonControls(void) {}

LONG_PTR WINAPI SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value) {
    simwin::Window* w = existingWindow(hwnd);
    if (!w) return 0;
    LONG_PTR old = w->longs[index];
    w->longs[index] = value;
    SetLastError(ERROR_SUCCESS);
    return old;
}

LONG_PTR WINAPI GetWindowLongPtrA(HWND hwnd, int index) {
    simwin::Window* w = existingWindow(hwnd);
    if (!w) return 0;
    auto it = w->longs.find(index);
    return it == w->longs.end() ? 0 : it->second;
}

BOOL WINAPI EndDialog(HWND hwnd, INT_PTR result) {
    simwin::Window* w = existingWindow(hwnd);
    if (!w) return FALSE;
    w->ended = true;
    w->result = result;
    return TRUE;
}

BOOL WINAPI SetWindowTextA(HWND hwnd, LPCSTR text) {
    simwin::Window* w = current().windows.find(hwnd);
    if (!w || w->destroyed) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    w->title = text ? text : "";
    return TRUE;
}

HWND WINAPI GetDlgItem(HWND dialog, int id) {
    simwin::Window* d = current().windows.find(dialog);
    if (!d || d->destroyed) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return NULL;
    }
    for (auto& w : current().windows.windows) {
        if (w.destroyed) continue;
        auto parent = w.longs.find(GWLP_HWNDPARENT);
        auto control = w.longs.find(GWLP_ID);
        if (parent != w.longs.end() && control != w.longs.end() &&
            parent->second == reinterpret_cast<LONG_PTR>(dialog) && control->second == id)
            return w.hwnd;
    }
    SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
    return NULL;
}
