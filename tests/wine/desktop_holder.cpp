// desktop_holder.exe: keeps the prefix's desktop open for as long as a check runs.
//
// Wine closes a desktop about a second after the last program using it has ended: explorer.exe, which
// draws the virtual desktop, is told to quit and takes its X window with it. A program that starts in that
// second attaches to the closing desktop, and its first windows can fail on the X server (a program ended
// there with exit status 1 on an X error). A check runs many short programs one after the other (reg.exe, the setup
// programs, the tool), so that moment came now and then, at random. This program holds the desktop with a
// hidden window of its own until the prefix's server ends it; it prints "HOLDING" once its window exists.
// Its message loop answers broadcasts, so a program that sends to every top-level window is not held up.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>

namespace {

const char kClass[] = "KorunCheckDesktopHolder";

LRESULT CALLBACK holderProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    // A session's end is agreed to, but the holder stays until its process is ended.
    if (message == WM_QUERYENDSESSION) return TRUE;
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

int main() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = holderProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kClass;
    if (!RegisterClassA(&wc)) {
        std::printf("FAIL: RegisterClassA: error %lu\n", GetLastError());
        return 1;
    }
    // A top-level window that is never shown: it keeps the thread on the desktop and draws nothing.
    HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, kClass, "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, wc.hInstance,
                                  nullptr);
    if (!window || !GetDesktopWindow()) {
        std::printf("FAIL: CreateWindowExA: error %lu\n", GetLastError());
        return 1;
    }
    std::printf("HOLDING\n");
    std::fflush(stdout);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    return 0;
}
