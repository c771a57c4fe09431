// The keyboard: keys as a person presses them (SendInput and the scripted user), the input queue a loop
// takes them from after the posted messages, the thread's key state, and Tab in a dialog.
//
// As Windows and Wine do it: F10, and any key while Alt is down, come as WM_SYSKEYDOWN / WM_SYSKEYUP; the key
// state changes when a loop takes the key's message (GetKeyState is the state "as of" the message at hand);
// releasing the Menu key sends WM_CONTEXTMENU (lParam -1) to the window that had the key, which the
// default window procedure of a child hands to its parent. A key message a program posts itself changes no
// key state and opens no menu. Kept simpler: no WM_CHAR (TranslateMessage), no auto-repeat, no dead keys.
#include <algorithm>
#include <cstring>

#include "simwin/machine.h"
#include "simwin/win32.h"
#include "simwin/windows.h"

using simwin::current;

namespace simwin {

namespace {

// lParam of a key message: repeat count 1, the context code (bit 29) while Alt is down, the previous state
// and transition bits (30, 31) on release.
LPARAM keyData(bool up, bool alt) {
    DWORD data = 1;
    if (alt) data |= 1u << 29;
    if (up) data |= 3u << 30;
    return static_cast<LPARAM>(data);
}

bool isDown(const BYTE* state, int key) { return (state[key & 0xFF] & 0x80) != 0; }

// The controls of a dialog in tab order, looking into child dialogs that hold controls of their own.
void tabStops(const WindowSystem& ws, HWND dialog, std::vector<HWND>& out) {
    const Window* d = ws.find(dialog);
    if (!d) return;
    for (HWND c : d->children) {
        const Window* w = ws.find(c);
        if (!w || !w->visible() || !w->enabled()) continue;
        if (w->exStyle & WS_EX_CONTROLPARENT)
            tabStops(ws, c, out);
        else if (w->style & WS_TABSTOP)
            out.push_back(c);
    }
}

}  // namespace

void WindowSystem::keyInput(WORD virtualKey, bool up) {
    const bool alt = isDown(keyState, VK_MENU) || (virtualKey == VK_MENU && !up);
    MSG m{};
    m.hwnd = focus ? focus : (modalStack.empty() ? foreground : modalStack.back());
    m.message = (alt || virtualKey == VK_F10) ? (up ? WM_SYSKEYUP : WM_SYSKEYDOWN) : (up ? WM_KEYUP : WM_KEYDOWN);
    m.wParam = virtualKey;
    m.lParam = keyData(up, alt);
    m.time = static_cast<DWORD>(current().clock.ms);
    m.pt = cursorPos;
    inputQueue.push_back(m);
}

bool WindowSystem::takeInput(MSG& msg, HWND hwnd) {
    auto it = std::find_if(inputQueue.begin(), inputQueue.end(), [&](const MSG& m) { return !hwnd || m.hwnd == hwnd; });
    if (it == inputQueue.end()) return false;
    msg = *it;
    inputQueue.erase(it);
    const bool up = msg.message == WM_KEYUP || msg.message == WM_SYSKEYUP;
    BYTE& key = keyState[msg.wParam & 0xFF];
    if (up) {
        key &= static_cast<BYTE>(~0x80);
    } else {
        if (!(key & 0x80)) key ^= 0x01;  // a press toggles
        key |= 0x80;
    }
    if (msg.message == WM_KEYUP && msg.wParam == VK_APPS && find(msg.hwnd))
        send(msg.hwnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(msg.hwnd), static_cast<LPARAM>(-1));
    return true;
}

bool WindowSystem::tabKey(HWND dialog, HWND from) {
    if (from && (send(from, WM_GETDLGCODE, VK_TAB, 0) & (DLGC_WANTTAB | DLGC_WANTALLKEYS))) return false;
    std::vector<HWND> stops;
    tabStops(*this, dialog, stops);
    if (stops.empty()) return true;
    const bool backwards = isDown(keyState, VK_SHIFT);
    auto at = std::find(stops.begin(), stops.end(), from);
    size_t next = 0;
    if (at == stops.end())
        next = backwards ? stops.size() - 1 : 0;
    else
        next = (static_cast<size_t>(at - stops.begin()) + (backwards ? stops.size() - 1 : 1)) % stops.size();
    SetFocus(stops[next]);
    return true;
}

}  // namespace simwin

UINT WINAPI SendInput(UINT count, LPINPUT inputs, int size) {
    if (!inputs || size != static_cast<int>(sizeof(INPUT))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    UINT sent = 0;
    for (UINT i = 0; i < count; ++i) {
        if (inputs[i].type != INPUT_KEYBOARD) continue;  // the simulated user has no mouse here
        current().windows.keyInput(inputs[i].ki.wVk, (inputs[i].ki.dwFlags & KEYEVENTF_KEYUP) != 0);
        ++sent;
    }
    return sent;
}

SHORT WINAPI GetKeyState(int virtualKey) {
    const BYTE state = current().windows.keyState[virtualKey & 0xFF];
    return static_cast<SHORT>(((state & 0x80) ? 0x8000 : 0) | (state & 0x01));
}

BOOL WINAPI GetKeyboardState(PBYTE keyState) {
    if (!keyState) return FALSE;
    std::memcpy(keyState, current().windows.keyState, 256);
    return TRUE;
}

BOOL WINAPI SetKeyboardState(LPBYTE keyState) {
    if (!keyState) return FALSE;
    std::memcpy(current().windows.keyState, keyState, 256);
    return TRUE;
}
