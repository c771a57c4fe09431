#include "ui/dialog_base.h"

INT_PTR CALLBACK StaticDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CDialogBase* object = NULL;
    if (message == WM_INITDIALOG) {
        object = reinterpret_cast<CDialogBase*>(lParam);
        if (!object) return FALSE;
        object->hwnd = hwnd;
        SetWindowLongPtrA(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(object));
    } else {
        object = reinterpret_cast<CDialogBase*>(GetWindowLongPtrA(hwnd, DWLP_USER));
    }
    return object ? object->DialogProc(message, wParam, lParam) : FALSE;
}
