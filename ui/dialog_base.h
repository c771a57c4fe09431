// The base of every dialog and page object, and the one dialog procedure that forwards each
// message to its object.
#pragma once

#include "app/platform.h"

class CDialogBase {
public:
    CDialogBase() : hwnd(NULL) {}
    virtual INT_PTR DialogProc(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    virtual ~CDialogBase() {}

    HWND hwnd;
};

// Binds the object passed as the creation parameter to its window on WM_INITDIALOG and
// forwards every message to the object's DialogProc.
INT_PTR CALLBACK StaticDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
