#include "app/main_dlg.h"

INT_PTR CMainDlg::DialogProc(UINT message, WPARAM wParam, LPARAM lParam) {
    (void)wParam;
    (void)lParam;
    UpdateDefaultScriptPath();
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_CLOSE:
        EndDialog(hwnd, 1);
        return TRUE;
    default:
        return FALSE;
    }
}
