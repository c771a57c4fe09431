#include "ui/dialog_base.h"

namespace {

bool g_hideDialogs = false;

}  // namespace

void HideDialogs(bool hide) { g_hideDialogs = hide; }

bool DialogsHidden() { return g_hideDialogs; }

INT_PTR CALLBACK StaticDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
    // A hidden run: the modal loop's show, and every later one, is refused before it happens. Pages are
    // children and go with their hidden parent.
    if (message == WM_WINDOWPOSCHANGING && g_hideDialogs && !(GetWindowLongPtrA(hwnd, GWL_STYLE) & WS_CHILD)) {
        WINDOWPOS* pos = reinterpret_cast<WINDOWPOS*>(lParam);
        if (pos) pos->flags &= ~static_cast<UINT>(SWP_SHOWWINDOW);
    }
    CDialogBase* object = reinterpret_cast<CDialogBase*>(GetWindowLongPtrA(hwnd, DWLP_USER));
    if (object) {
        object->hwnd = hwnd;
        return object->DialogProc(message, wParam, lParam);
    }
    if (message == WM_COMMAND && HIWORD(wParam) == 0 && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(hwnd, LOWORD(wParam) == IDOK ? 1 : 0);
        return TRUE;
    }
    return FALSE;
}

void CenterWindow(HWND window, HWND reference) {
    if (!reference) reference = GetDesktopWindow();
    RECT area, own;
    if (!GetWindowRect(reference, &area) || !GetWindowRect(window, &own)) return;
    int x = area.left + (area.right - area.left) / 2 - (own.right - own.left) / 2;
    int y = area.top + (area.bottom - area.top) / 2 - (own.bottom - own.top) / 2;
    SetWindowPos(window, NULL, x < 0 ? 0 : x, y < 0 ? 0 : y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void PlacePageOverFrame(HWND page, HWND frame) {
    HWND parent = GetParent(page);
    RECT r;
    if (!GetWindowRect(frame, &r)) return;
    // In a right-to-left parent the client x axis runs from the right edge.
    bool rightToLeft = (GetWindowLongPtrA(parent, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0;
    POINT corners[2] = {{rightToLeft ? r.right : r.left, r.top}, {rightToLeft ? r.left : r.right, r.bottom}};
    MapWindowPoints(NULL, parent, corners, 2);
    MoveWindow(page, corners[0].x, corners[0].y, corners[1].x - corners[0].x, corners[1].y - corners[0].y, FALSE);
}

void SetBigIcon(HWND window) {
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
    HICON icon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_KORUN04));
    SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
}
