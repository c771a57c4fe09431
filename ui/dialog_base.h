// The base of every dialog and page object, the one dialog procedure that forwards each message to its
// object, and the window utilities the dialogs share.
#pragma once

#include "base/platform.h"
#include "resources/resource.h"

class CDialogBase {
public:
    CDialogBase() : hwnd(NULL) {}
    virtual INT_PTR DialogProc(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    virtual ~CDialogBase() {}

    HWND hwnd;
};

// Binds the object passed as the creation parameter to its window on WM_INITDIALOG (in DWLP_USER) and
// forwards every message to the object's DialogProc. Before an object is bound only Enter and Escape
// are handled: they end the dialog with 1 and 0.
INT_PTR CALLBACK StaticDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// While set, every top-level dialog of the tool stays hidden: StaticDialogProc refuses the show of
// WM_WINDOWPOSCHANGING. The dialogs still get WM_SHOWWINDOW and run their timers; nothing appears on screen.
// The unattended modes set it for their run.
void HideDialogs(bool hide);
bool DialogsHidden();

// Centres a window over another (the desktop window when reference is null); a negative coordinate
// becomes 0.
void CenterWindow(HWND window, HWND reference);
// Places a page over a frame control of its parent so that it covers exactly the frame's rectangle, in a
// left-to-right or a right-to-left parent alike.
void PlacePageOverFrame(HWND page, HWND frame);
// Sets the window's big icon to icon 1 of its module.
void SetBigIcon(HWND window);
