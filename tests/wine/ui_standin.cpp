// korun04_ui_standin.exe: a stand-in for korun04.exe's main window, shaped as ui_driver.exe expects the
// tool: a dialog of class "VSTUninstallWindowClass__" whose selection page (a #32770 child) shows the
// printer list 1020 after a loading delay, an About box "ボックスについて" on the system-menu command 156,
// and an Exit button 1052 that ends the run with exit code 1. It lets the driver be checked under Wine
// while the tool's own window is not there yet. Texts come from the string table through LoadStringA,
// as the tool's do, so they reach the list view in the process's ANSI code page.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <commctrl.h>

#include "resources/resource.h"

namespace {

const UINT_PTR kLoadTimer = 1;
const UINT kLoadDelayMs = 1500;
HWND g_page = nullptr;

INT_PTR CALLBACK aboutProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(hwnd, LOWORD(wParam));
        return TRUE;
    }
    return message == WM_INITDIALOG;
}

INT_PTR CALLBACK pageProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

void fillList(HWND list) {
    HINSTANCE module = GetModuleHandleA(nullptr);
    char text[128];
    for (int c = 0; c < 6; ++c) {
        LoadStringA(module, 1 + c, text, sizeof text);
        LVCOLUMNA column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.cx = 90;
        column.pszText = text;
        SendMessageA(list, LVM_INSERTCOLUMNA, c, reinterpret_cast<LPARAM>(&column));
    }
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    LoadStringA(module, 11, text, sizeof text);
    item.pszText = text;
    SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    for (int c = 1; c < 6; ++c) {
        LoadStringA(module, 11 + c, text, sizeof text);
        item.iSubItem = c;
        item.pszText = text;
        SendMessageA(list, LVM_SETITEMTEXTA, 0, reinterpret_cast<LPARAM>(&item));
    }
}

void showPage(HWND main) {
    RECT frame;
    GetWindowRect(GetDlgItem(main, IDC_PAGE_FRAME), &frame);
    MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&frame), 2);
    g_page = CreateDialogParamA(GetModuleHandleA(nullptr), "STANDIN_PAGE", main, pageProc, 0);
    fillList(GetDlgItem(g_page, IDC_PRINTER_LIST));
    SetWindowPos(g_page, nullptr, frame.left, frame.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW);
}

INT_PTR CALLBACK mainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        AppendMenuA(GetSystemMenu(hwnd, FALSE), MF_SEPARATOR, 0, nullptr);
        AppendMenuA(GetSystemMenu(hwnd, FALSE), MF_STRING, IDM_ABOUT, "About...");
        SetTimer(hwnd, kLoadTimer, kLoadDelayMs, nullptr);
        return TRUE;
    case WM_TIMER:
        if (wParam != kLoadTimer) return FALSE;
        KillTimer(hwnd, kLoadTimer);
        showPage(hwnd);
        return TRUE;
    case WM_SYSCOMMAND:
        if (wParam != IDM_ABOUT) return FALSE;
        DialogBoxParamA(GetModuleHandleA(nullptr), "STANDIN_ABOUT", hwnd, aboutProc, 0);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_EXIT || LOWORD(wParam) == IDCANCEL) EndDialog(hwnd, 1);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    WNDCLASSA wc;
    if (!GetClassInfoA(nullptr, "#32770", &wc)) return 3;
    wc.lpszClassName = "VSTUninstallWindowClass__";
    if (!RegisterClassA(&wc)) return 3;
    return static_cast<int>(DialogBoxParamA(instance, "STANDIN_MAIN", nullptr, mainProc, 0));
}
