// user32 on the current machine: classes, windows, messages, timers, geometry and painting.
#include <algorithm>
#include <cstring>
#include <string>

#include "simwin/machine.h"
#include "simwin/win32.h"

using simwin::current;

namespace {

// The window behind a handle, or null with ERROR_INVALID_WINDOW_HANDLE.
simwin::Window* existingWindow(HWND hwnd) {
    simwin::Window* w = current().windows.find(hwnd);
    if (!w) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return w;
}

std::string describe(const simwin::Window& w) {
    return w.className + (w.title.empty() ? "" : " \"" + w.title + "\"");
}

// A message to every top-level window: other programs' windows record it, the tool's own get it sent or
// posted. One transcript line per broadcast.
void broadcast(UINT msg, WPARAM wParam, LPARAM lParam, bool post) {
    auto& ws = current().windows;
    current().transcript.add("broadcast " + ws.messageName(msg));
    std::vector<HWND> targets = ws.zOrder;
    for (HWND h : targets) {
        simwin::Window* w = ws.find(h);
        if (!w) continue;
        if (w->foreign)
            w->received.push_back(ws.messageName(msg));
        else if (post)
            ws.post(h, msg, wParam, lParam);
        else
            ws.send(h, msg, wParam, lParam);
    }
}

int copyText(const std::string& text, LPSTR buffer, int bufferMax) {
    if (!buffer || bufferMax <= 0) return 0;
    size_t n = std::min(text.size(), static_cast<size_t>(bufferMax - 1));
    std::memcpy(buffer, text.data(), n);
    buffer[n] = 0;
    return static_cast<int>(n);
}

}  // namespace

// --- Classes -------------------------------------------------------------------------------------------------------

BOOL WINAPI GetClassInfoA(HINSTANCE instance, LPCSTR className, LPWNDCLASSA wc) {
    auto& classes = current().windows.classes;
    auto it = className && !IS_INTRESOURCE(className) ? classes.find(className) : classes.end();
    if (it == classes.end() || !wc) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    std::memset(wc, 0, sizeof *wc);
    wc->style = it->second.style;
    wc->lpfnWndProc = it->second.wndProc;
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
    auto it = classes.find(wc->lpszClassName);
    if (it != classes.end() && !it->second.system) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    simwin::WindowClass c;
    c.name = wc->lpszClassName;
    c.wndProc = wc->lpfnWndProc;
    c.style = wc->style;
    c.clsExtra = wc->cbClsExtra;
    c.wndExtra = wc->cbWndExtra;
    c.instance = wc->hInstance;
    classes[c.name] = c;
    return static_cast<ATOM>(0xC000 + classes.size());
}

int WINAPI GetClassNameA(HWND hwnd, LPSTR buffer, int bufferMax) {
    simwin::Window* w = existingWindow(hwnd);
    return w ? copyText(w->className, buffer, bufferMax) : 0;
}

// --- Windows ---------------------------------------------------------------------------------------------------------

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                            int height, HWND parent, HMENU menuOrId, HINSTANCE instance, LPVOID param) {
    if (!className || IS_INTRESOURCE(className)) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return NULL;
    }
    RECT r{x, y, x + width, y + height};
    int id = (style & WS_CHILD) ? static_cast<int>(reinterpret_cast<INT_PTR>(menuOrId)) : 0;
    HWND h = current().windows.create(exStyle, className, windowName ? windowName : "", style & ~WS_VISIBLE, r, parent,
                                      id, instance, param);
    if (h && (style & WS_VISIBLE)) ShowWindow(h, SW_SHOW);
    return h;
}

BOOL WINAPI DestroyWindow(HWND hwnd) {
    if (!existingWindow(hwnd)) return FALSE;
    current().windows.destroy(hwnd);
    return TRUE;
}

BOOL WINAPI IsWindow(HWND hwnd) { return current().windows.find(hwnd) ? TRUE : FALSE; }

BOOL WINAPI IsWindowVisible(HWND hwnd) {
    simwin::Window* w = current().windows.find(hwnd);
    return w && current().windows.reallyVisible(*w) ? TRUE : FALSE;
}

BOOL WINAPI IsWindowEnabled(HWND hwnd) {
    simwin::Window* w = current().windows.find(hwnd);
    return w && w->enabled() ? TRUE : FALSE;
}

BOOL WINAPI EnableWindow(HWND hwnd, BOOL enable) {
    simwin::Window* w = existingWindow(hwnd);
    if (!w) return FALSE;
    BOOL wasDisabled = !w->enabled();
    if (wasDisabled == !enable) return wasDisabled;
    if (enable)
        w->style &= ~WS_DISABLED;
    else
        w->style |= WS_DISABLED;
    auto& ws = current().windows;
    if (!enable && (ws.focus == hwnd || ws.isDescendant(hwnd, ws.focus))) ws.focus = nullptr;
    ws.send(hwnd, WM_ENABLE, enable ? TRUE : FALSE, 0);
    if (simwin::Window* again = ws.find(hwnd)) again->needsPaint = true;
    return wasDisabled;
}

BOOL WINAPI ShowWindow(HWND hwnd, int command) {
    auto& ws = current().windows;
    simwin::Window* w = existingWindow(hwnd);
    if (!w) return FALSE;
    BOOL wasVisible = w->visible();
    bool show = command != SW_HIDE;
    w->showCommand = command;
    if (w->foreign) {
        if (show) w->style |= WS_VISIBLE; else w->style &= ~WS_VISIBLE;
        current().transcript.add("window " + describe(*w) + " shown (command " + std::to_string(command) + ")");
        return wasVisible;
    }
    if (static_cast<bool>(wasVisible) == show) return wasVisible;
    ws.send(hwnd, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
    w = ws.find(hwnd);
    if (!w) return wasVisible;
    // The visibility changes through the window's position change, which its procedure may refuse.
    const bool activate = show && command != SW_SHOWNOACTIVATE && command != SW_SHOWNA && command != SW_SHOWMINNOACTIVE;
    WINDOWPOS pos{hwnd, HWND_TOP, w->rect.left, w->rect.top, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top,
                  static_cast<UINT>((show ? SWP_SHOWWINDOW : SWP_HIDEWINDOW) | SWP_NOMOVE | SWP_NOSIZE |
                                    (activate ? 0 : SWP_NOACTIVATE | SWP_NOZORDER))};
    ws.send(hwnd, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos));
    w = ws.find(hwnd);
    if (!w) return wasVisible;
    if (show && !(pos.flags & SWP_SHOWWINDOW)) return wasVisible;
    if (!show && !(pos.flags & SWP_HIDEWINDOW)) return wasVisible;
    if (show) {
        w->style |= WS_VISIBLE;
        // The window and what it holds are painted when the loop next has time.
        std::vector<HWND> pending{hwnd};
        while (!pending.empty()) {
            simwin::Window* p = ws.find(pending.back());
            pending.pop_back();
            if (!p) continue;
            p->needsPaint = true;
            pending.insert(pending.end(), p->children.begin(), p->children.end());
        }
        if (!w->isChild() && command != SW_SHOWNOACTIVATE && command != SW_SHOWNA) ws.foreground = hwnd;
    } else {
        w->style &= ~WS_VISIBLE;
        if (ws.focus == hwnd || ws.isDescendant(hwnd, ws.focus)) ws.focus = nullptr;
    }
    return wasVisible;
}

BOOL WINAPI BringWindowToTop(HWND hwnd) {
    auto& ws = current().windows;
    simwin::Window* w = existingWindow(hwnd);
    if (!w) return FALSE;
    if (!w->isChild()) {
        ws.zOrder.erase(std::remove(ws.zOrder.begin(), ws.zOrder.end(), hwnd), ws.zOrder.end());
        ws.zOrder.insert(ws.zOrder.begin(), hwnd);
    }
    return TRUE;
}

BOOL WINAPI SetForegroundWindow(HWND hwnd) {
    simwin::Window* w = current().windows.find(hwnd);
    if (!w) return FALSE;
    current().windows.foreground = current().windows.root(hwnd);
    if (w->foreign) current().transcript.add("window " + describe(*w) + " brought to the foreground");
    return TRUE;
}

HWND WINAPI GetForegroundWindow(void) { return current().windows.foreground; }

HWND WINAPI SetFocus(HWND hwnd) {
    auto& ws = current().windows;
    if (hwnd && !existingWindow(hwnd)) return NULL;
    HWND previous = ws.focus;
    if (previous == hwnd) return previous;
    // A disabled window (or one in a disabled window) takes no focus.
    for (simwin::Window* w = ws.find(hwnd); w; w = w->isChild() ? ws.find(w->parent) : nullptr)
        if (!w->enabled()) return NULL;
    if (previous) ws.send(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
    ws.focus = hwnd;
    if (hwnd) ws.send(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
    return previous;
}

HWND WINAPI GetFocus(void) { return current().windows.focus; }

HWND WINAPI GetActiveWindow(void) {
    auto& ws = current().windows;
    return ws.modalStack.empty() ? ws.foreground : ws.modalStack.back();
}

HWND WINAPI GetParent(HWND hwnd) {
    simwin::Window* w = existingWindow(hwnd);
    if (!w) return NULL;
    if (w->isChild()) return w->parent;
    return (w->style & WS_POPUP) ? w->owner : NULL;
}

HWND WINAPI GetWindow(HWND hwnd, UINT relation) {
    auto& ws = current().windows;
    simwin::Window* w = existingWindow(hwnd);
    if (!w) return NULL;
    const std::vector<HWND>* siblings = &ws.zOrder;
    if (w->isChild()) siblings = &ws.find(w->parent)->children;
    auto pos = std::find(siblings->begin(), siblings->end(), hwnd);
    switch (relation) {
    case GW_CHILD: return w->children.empty() ? NULL : w->children.front();
    case GW_OWNER: return w->isChild() ? NULL : w->owner;
    case GW_HWNDFIRST: return siblings->empty() ? NULL : siblings->front();
    case GW_HWNDLAST: return siblings->empty() ? NULL : siblings->back();
    case GW_HWNDNEXT: return pos == siblings->end() || pos + 1 == siblings->end() ? NULL : *(pos + 1);
    case GW_HWNDPREV: return pos == siblings->begin() || pos == siblings->end() ? NULL : *(pos - 1);
    default: SetLastError(ERROR_INVALID_GW_COMMAND); return NULL;
    }
}

HWND WINAPI GetDesktopWindow(void) { return current().windows.desktop; }

HWND WINAPI FindWindowA(LPCSTR className, LPCSTR windowName) {
    return FindWindowExA(NULL, NULL, className, windowName);
}

HWND WINAPI FindWindowExA(HWND parent, HWND after, LPCSTR className, LPCSTR windowName) {
    auto& ws = current().windows;
    std::vector<HWND> candidates = ws.zOrder;
    if (parent && parent != ws.desktop) {
        simwin::Window* p = existingWindow(parent);
        if (!p) return NULL;
        candidates = p->children;
    }
    auto it = candidates.begin();
    if (after) {
        it = std::find(candidates.begin(), candidates.end(), after);
        if (it != candidates.end()) ++it;
    }
    for (; it != candidates.end(); ++it) {
        simwin::Window* w = ws.find(*it);
        if (!w) continue;
        if (className && !IS_INTRESOURCE(className) && !simwin::iequals(w->className, className)) continue;
        if (windowName && w->title != windowName) continue;
        return w->hwnd;
    }
    SetLastError(ERROR_SUCCESS);
    return NULL;
}

LONG_PTR WINAPI GetWindowLongPtrA(HWND hwnd, int index) {
    simwin::Window* w = existingWindow(hwnd);
    if (!w) return 0;
    switch (index) {
    case GWL_STYLE: return static_cast<LONG>(w->style);
    case GWL_EXSTYLE: return static_cast<LONG>(w->exStyle);
    case GWLP_ID: return w->isChild() ? w->id : 0;
    case GWLP_HINSTANCE: return reinterpret_cast<LONG_PTR>(w->instance);
    case GWLP_HWNDPARENT: return reinterpret_cast<LONG_PTR>(w->isChild() ? w->parent : w->owner);
    case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(w->wndProc);
    default: break;
    }
    bool dialogSlot = index == DWLP_MSGRESULT || index == DWLP_DLGPROC || index == DWLP_USER;
    if (index == GWLP_USERDATA || (dialogSlot && w->isDialog)) {
        auto it = w->extra.find(index);
        return it == w->extra.end() ? 0 : it->second;
    }
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
}

LONG_PTR WINAPI SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value) {
    auto& ws = current().windows;
    simwin::Window* w = existingWindow(hwnd);
    if (!w) return 0;
    LONG_PTR old = GetWindowLongPtrA(hwnd, index);
    switch (index) {
    case GWL_STYLE: {
        DWORD newStyle = static_cast<DWORD>(value);
        STYLESTRUCT ss{w->style, newStyle};
        ws.send(hwnd, WM_STYLECHANGING, static_cast<WPARAM>(GWL_STYLE), reinterpret_cast<LPARAM>(&ss));
        if ((w = ws.find(hwnd))) {
            w->style = ss.styleNew;
            ws.send(hwnd, WM_STYLECHANGED, static_cast<WPARAM>(GWL_STYLE), reinterpret_cast<LPARAM>(&ss));
        }
        break;
    }
    case GWL_EXSTYLE: w->exStyle = static_cast<DWORD>(value); break;
    case GWLP_ID: w->id = static_cast<int>(value); break;
    case GWLP_HINSTANCE: w->instance = reinterpret_cast<HINSTANCE>(value); break;
    case GWLP_WNDPROC: w->wndProc = reinterpret_cast<WNDPROC>(value); break;
    case GWLP_HWNDPARENT: w->owner = reinterpret_cast<HWND>(value); break;
    default: {
        bool dialogSlot = index == DWLP_MSGRESULT || index == DWLP_DLGPROC || index == DWLP_USER;
        if (index != GWLP_USERDATA && !(dialogSlot && w->isDialog)) {
            SetLastError(ERROR_INVALID_INDEX);
            return 0;
        }
        w->extra[index] = value;
    }
    }
    SetLastError(ERROR_SUCCESS);
    return old;
}

LONG WINAPI GetWindowLongA(HWND hwnd, int index) { return static_cast<LONG>(GetWindowLongPtrA(hwnd, index)); }
LONG WINAPI SetWindowLongA(HWND hwnd, int index, LONG value) { return static_cast<LONG>(SetWindowLongPtrA(hwnd, index, value)); }

BOOL WINAPI SetWindowTextA(HWND hwnd, LPCSTR text) {
    if (!existingWindow(hwnd)) return FALSE;
    return static_cast<BOOL>(current().windows.send(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : "")));
}

int WINAPI GetWindowTextA(HWND hwnd, LPSTR buffer, int bufferMax) {
    if (!existingWindow(hwnd)) {
        if (buffer && bufferMax > 0) buffer[0] = 0;
        return 0;
    }
    return static_cast<int>(current().windows.send(hwnd, WM_GETTEXT, static_cast<WPARAM>(bufferMax), reinterpret_cast<LPARAM>(buffer)));
}

int WINAPI GetWindowTextLengthA(HWND hwnd) {
    if (!existingWindow(hwnd)) return 0;
    return static_cast<int>(current().windows.send(hwnd, WM_GETTEXTLENGTH, 0, 0));
}

int WINAPI GetSystemMetrics(int index) {
    RECT r = current().windows.find(current().windows.desktop)->rect;
    switch (index) {
    case SM_CXSCREEN: return r.right - r.left;
    case SM_CYSCREEN: return r.bottom - r.top;
    default: return 0;
    }
}

// --- Default window procedure ------------------------------------------------------------------------------------------

LRESULT WINAPI DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto& ws = current().windows;
    simwin::Window* w = ws.find(hwnd);
    if (!w) return 0;
    switch (msg) {
    case WM_NCCREATE: return TRUE;
    case WM_SETTEXT:
        w->title = lParam ? reinterpret_cast<LPCSTR>(lParam) : "";
        w->needsPaint = true;
        return TRUE;
    case WM_GETTEXT: return copyText(w->title, reinterpret_cast<LPSTR>(lParam), static_cast<int>(wParam));
    case WM_GETTEXTLENGTH: return static_cast<LRESULT>(w->title.size());
    case WM_CLOSE: DestroyWindow(hwnd); return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE) ws.send(hwnd, WM_CLOSE, 0, 0);
        return 0;
    case WM_SETICON: {
        int which = wParam == ICON_BIG ? ICON_BIG : ICON_SMALL;
        HICON old = w->icons[which];
        w->icons[which] = reinterpret_cast<HICON>(lParam);
        return reinterpret_cast<LRESULT>(old);
    }
    case WM_GETICON: return reinterpret_cast<LRESULT>(w->icons[wParam == ICON_BIG ? ICON_BIG : ICON_SMALL]);
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG: return reinterpret_cast<LRESULT>(GetStockObject(LTGRAY_BRUSH));
    case WM_CONTEXTMENU:
        if (w->isChild()) return ws.send(w->parent, msg, wParam, lParam);
        return 0;
    case WM_SYSKEYDOWN:
        // Shift+F10 asks for the context menu of the window that has the keyboard (lParam -1: no point).
        if (wParam == VK_F10 && (GetKeyState(VK_SHIFT) & 0x8000))
            ws.send(hwnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd), static_cast<LPARAM>(-1));
        return 0;
    default: return 0;
    }
}

LRESULT WINAPI CallWindowProcA(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return proc ? proc(hwnd, msg, wParam, lParam) : 0;
}

// --- Messages ----------------------------------------------------------------------------------------------------------

LRESULT WINAPI SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto& ws = current().windows;
    if (hwnd == HWND_BROADCAST) {
        broadcast(msg, wParam, lParam, false);
        return 0;
    }
    if (!existingWindow(hwnd)) return 0;
    return ws.send(hwnd, msg, wParam, lParam);
}

LRESULT WINAPI SendMessageTimeoutA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT flags, UINT timeout,
                                   PDWORD_PTR result) {
    if (hwnd != HWND_BROADCAST && !existingWindow(hwnd)) return 0;
    LRESULT r = SendMessageA(hwnd, msg, wParam, lParam);
    if (result) *result = static_cast<DWORD_PTR>(r);
    return 1;
}

BOOL WINAPI PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto& ws = current().windows;
    if (hwnd == HWND_BROADCAST) {
        broadcast(msg, wParam, lParam, true);
        return TRUE;
    }
    if (hwnd && !existingWindow(hwnd)) return FALSE;
    ws.post(hwnd, msg, wParam, lParam);
    return TRUE;
}

void WINAPI PostQuitMessage(int exitCode) {
    current().windows.quitPosted = true;
    current().windows.quitCode = exitCode;
}

BOOL WINAPI PeekMessageA(LPMSG msg, HWND hwnd, UINT first, UINT last, UINT remove) {
    auto& ws = current().windows;
    auto& q = ws.queue;
    for (auto it = q.begin(); it != q.end(); ++it) {
        if (hwnd && it->hwnd != hwnd) continue;
        if ((first || last) && (it->message < first || it->message > last)) continue;
        if (msg) *msg = *it;
        if (remove & PM_REMOVE) {
            current().windows.messagePos = static_cast<DWORD>(MAKELONG(it->pt.x, it->pt.y));
            q.erase(it);
            if (msg) current().windows.messageTaken(*msg);
        }
        return TRUE;
    }
    // Then the keys, after every posted message.
    const bool keysWanted = !(first || last) || (first <= WM_SYSKEYUP && last >= WM_KEYDOWN);
    if (keysWanted && !ws.inputQueue.empty()) {
        if (!(remove & PM_REMOVE)) {
            for (const MSG& m : ws.inputQueue)
                if (!hwnd || m.hwnd == hwnd) {
                    if (msg) *msg = m;
                    return TRUE;
                }
            return FALSE;
        }
        MSG key{};
        if (ws.takeInput(key, hwnd)) {
            ws.messagePos = static_cast<DWORD>(MAKELONG(key.pt.x, key.pt.y));
            ws.messageTaken(key);
            if (msg) *msg = key;
            return TRUE;
        }
    }
    return FALSE;
}

BOOL WINAPI GetMessageA(LPMSG msg, HWND hwnd, UINT first, UINT last) {
    auto& ws = current().windows;
    for (;;) {
        if (PeekMessageA(msg, hwnd, first, last, PM_REMOVE)) return msg->message == WM_QUIT ? FALSE : TRUE;
        if (ws.quitPosted) {
            ws.quitPosted = false;
            if (msg) {
                std::memset(msg, 0, sizeof *msg);
                msg->message = WM_QUIT;
                msg->wParam = static_cast<WPARAM>(ws.quitCode);
            }
            return FALSE;
        }
        // Nothing queued: paints, timers and the user's actions as in a modal loop of the active window.
        HWND active = ws.modalStack.empty() ? ws.foreground : ws.modalStack.back();
        if (ws.step(active) == simwin::WindowSystem::Step::None)
            throw simwin::UserStop("the tool waits for a message and nothing more is scripted");
    }
}

LRESULT WINAPI DispatchMessageA(const MSG* msg) {
    if (!msg) return 0;
    current().windows.dispatch(*msg, nullptr);
    return 0;
}

BOOL WINAPI TranslateMessage(const MSG* msg) { return msg && msg->message == WM_KEYDOWN; }

UINT WINAPI RegisterWindowMessageA(LPCSTR name) {
    if (!name || !*name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return current().windows.registerMessage(name);
}

DWORD WINAPI GetMessagePos(void) { return current().windows.messagePos; }
LONG WINAPI GetMessageTime(void) { return static_cast<LONG>(current().clock.ms); }

BOOL WINAPI GetCursorPos(LPPOINT point) {
    if (!point) return FALSE;
    *point = current().windows.cursorPos;
    return TRUE;
}

HHOOK WINAPI SetWindowsHookExA(int type, HOOKPROC proc, HINSTANCE module, DWORD threadId) {
    if (type != WH_GETMESSAGE || !proc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    static uintptr_t next = 0x60000;
    HHOOK hook = reinterpret_cast<HHOOK>(next += 0x10);
    current().windows.getMessageHooks.emplace_back(hook, proc);
    return hook;
}

BOOL WINAPI UnhookWindowsHookEx(HHOOK hook) {
    auto& hooks = current().windows.getMessageHooks;
    for (auto it = hooks.begin(); it != hooks.end(); ++it) {
        if (it->first != hook) continue;
        hooks.erase(it);
        return TRUE;
    }
    SetLastError(ERROR_INVALID_HOOK_HANDLE);
    return FALSE;
}

LRESULT WINAPI CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam) { return 0; }

UINT_PTR WINAPI SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc) {
    return current().windows.setTimer(hwnd, id, elapse, proc);
}

BOOL WINAPI KillTimer(HWND hwnd, UINT_PTR id) { return current().windows.killTimer(hwnd, id) ? TRUE : FALSE; }

// --- Geometry ----------------------------------------------------------------------------------------------------------

BOOL WINAPI GetWindowRect(HWND hwnd, LPRECT rect) {
    simwin::Window* w = existingWindow(hwnd);
    if (!w || !rect) return FALSE;
    *rect = current().windows.screenRect(*w);
    return TRUE;
}

BOOL WINAPI GetClientRect(HWND hwnd, LPRECT rect) {
    simwin::Window* w = existingWindow(hwnd);
    if (!w || !rect) return FALSE;
    RECT c = current().windows.clientScreenRect(*w);
    *rect = RECT{0, 0, c.right - c.left, c.bottom - c.top};
    return TRUE;
}

BOOL WINAPI SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    auto& ws = current().windows;
    simwin::Window* w = existingWindow(hwnd);
    if (!w) return FALSE;
    if (!(flags & SWP_NOSENDCHANGING)) {
        // The window's procedure sees the change first and may alter it.
        WINDOWPOS pos{hwnd, insertAfter, x, y, cx, cy, flags};
        ws.send(hwnd, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos));
        w = ws.find(hwnd);
        if (!w) return FALSE;
        insertAfter = pos.hwndInsertAfter, x = pos.x, y = pos.y, cx = pos.cx, cy = pos.cy, flags = pos.flags;
    }
    if (!(flags & SWP_NOMOVE)) {
        int width = w->rect.right - w->rect.left, height = w->rect.bottom - w->rect.top;
        w->rect = RECT{x, y, x + width, y + height};
    }
    if (!(flags & SWP_NOSIZE)) {
        w->rect.right = w->rect.left + std::max(0, cx);
        w->rect.bottom = w->rect.top + std::max(0, cy);
    }
    if (!(flags & SWP_NOZORDER) && !w->isChild() && (insertAfter == HWND_TOP || insertAfter == HWND_TOPMOST))
        BringWindowToTop(hwnd);
    if (flags & SWP_SHOWWINDOW) w->style |= WS_VISIBLE;
    if (flags & SWP_HIDEWINDOW) {
        w->style &= ~WS_VISIBLE;
        if (ws.focus == hwnd || ws.isDescendant(hwnd, ws.focus)) ws.focus = nullptr;
    }
    if (!(flags & SWP_NOREDRAW)) w->needsPaint = true;
    return TRUE;
}

BOOL WINAPI MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
    return SetWindowPos(hwnd, NULL, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

int WINAPI MapWindowPoints(HWND from, HWND to, LPPOINT points, UINT count) {
    auto& ws = current().windows;
    // A client area's origin in screen coordinates, and whether its x axis runs leftwards (right to left).
    struct Axis {
        LONG x = 0, y = 0;
        bool mirrored = false;
    };
    auto axisOf = [&](HWND h, Axis& a) {
        if (!h || h == ws.desktop) return true;
        simwin::Window* w = existingWindow(h);
        if (!w) return false;
        RECT c = ws.clientScreenRect(*w);
        a.mirrored = (w->exStyle & WS_EX_LAYOUTRTL) != 0;
        a.x = a.mirrored ? c.right : c.left;
        a.y = c.top;
        return true;
    };
    Axis source, target;
    if (!axisOf(from, source) || !axisOf(to, target)) return 0;
    for (UINT i = 0; points && i < count; ++i) {
        LONG screenX = source.mirrored ? source.x - points[i].x : source.x + points[i].x;
        LONG screenY = source.y + points[i].y;
        points[i].x = target.mirrored ? target.x - screenX : screenX - target.x;
        points[i].y = screenY - target.y;
    }
    int dx = static_cast<int>(source.x - target.x), dy = static_cast<int>(source.y - target.y);
    SetLastError(ERROR_SUCCESS);
    return MAKELONG(static_cast<WORD>(static_cast<SHORT>(dx)), static_cast<WORD>(static_cast<SHORT>(dy)));
}

BOOL WINAPI ScreenToClient(HWND hwnd, LPPOINT point) {
    if (!existingWindow(hwnd) || !point) return FALSE;
    MapWindowPoints(NULL, hwnd, point, 1);
    return TRUE;
}

BOOL WINAPI ClientToScreen(HWND hwnd, LPPOINT point) {
    if (!existingWindow(hwnd) || !point) return FALSE;
    MapWindowPoints(hwnd, NULL, point, 1);
    return TRUE;
}

// --- Painting ----------------------------------------------------------------------------------------------------------

BOOL WINAPI RedrawWindow(HWND hwnd, const RECT* update, HANDLE region, UINT flags) {
    auto& ws = current().windows;
    simwin::Window* w = existingWindow(hwnd);
    if (!w) return FALSE;
    if (flags & RDW_INVALIDATE) w->needsPaint = true;
    if (flags & RDW_VALIDATE) w->needsPaint = false;
    if ((flags & RDW_UPDATENOW) && w->needsPaint) {
        w->needsPaint = false;
        if (ws.reallyVisible(*w)) ws.send(hwnd, WM_PAINT, 0, 0);
    }
    return TRUE;
}

BOOL WINAPI InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
    simwin::Window* w = existingWindow(hwnd);
    if (!w) return FALSE;
    w->needsPaint = true;
    return TRUE;
}

BOOL WINAPI UpdateWindow(HWND hwnd) { return RedrawWindow(hwnd, NULL, NULL, RDW_UPDATENOW); }

HDC WINAPI BeginPaint(HWND hwnd, LPPAINTSTRUCT paint) {
    simwin::Window* w = existingWindow(hwnd);
    if (!w || !paint) return NULL;
    std::memset(paint, 0, sizeof *paint);
    w->needsPaint = false;
    paint->hdc = GetDC(hwnd);
    GetClientRect(hwnd, &paint->rcPaint);
    return paint->hdc;
}

BOOL WINAPI EndPaint(HWND hwnd, const PAINTSTRUCT* paint) {
    if (paint && paint->hdc) ReleaseDC(hwnd, paint->hdc);
    return TRUE;
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

HWND WINAPI GetAncestor(HWND hwnd, UINT flags) {
    auto& ws = current().windows;
    simwin::Window* w = existingWindow(hwnd);
    if (!w || hwnd == ws.desktop) return NULL;
    switch (flags) {
    case GA_PARENT: return w->isChild() ? w->parent : ws.desktop;
    case GA_ROOT: return ws.root(hwnd);
    case GA_ROOTOWNER: {
        HWND h = ws.root(hwnd);
        while (simwin::Window* r = ws.find(h)) {
            if (!r->owner) break;
            h = ws.root(r->owner);
        }
        return h;
    }
    default: return NULL;
    }
}

BOOL WINAPI IsChild(HWND parent, HWND hwnd) { return current().windows.isDescendant(parent, hwnd) ? TRUE : FALSE; }
