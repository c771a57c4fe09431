// Dialogs: creation from the templates of the module's resources, the default dialog procedure, modal
// and modeless dialogs, message boxes, and the dialog helper functions.
#include <algorithm>
#include <cstring>

#include "simwin/machine.h"
#include "simwin/modules.h"
#include "simwin/win32.h"
#include "simwin/windows.h"

using simwin::current;

namespace simwin {

namespace {

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

// The message box's dialog procedure: a click of one of its buttons (or a WM_COMMAND of a button's ID sent
// to it) ends the box with that answer.
INT_PTR CALLBACK MessageBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg != WM_COMMAND) return FALSE;
    int id = LOWORD(wParam);
    if (id < IDOK || id > IDNO) return FALSE;
    if (Window* w = current().windows.find(hwnd)) {
        w->ended = true;
        w->result = id;
    }
    return TRUE;
}

// Pixels of dialog units.
int unitsToX(const Window& d, int x) { return x * d.baseUnits.x / 4; }
int unitsToY(const Window& d, int y) { return y * d.baseUnits.y / 8; }

// The default push button among a dialog's controls, looking into child dialogs (DS_CONTROL pages).
HWND findDefaultButton(WindowSystem& ws, HWND dialog) {
    Window* d = ws.find(dialog);
    if (!d) return nullptr;
    for (HWND c : d->children) {
        Window* w = ws.find(c);
        if (!w) continue;
        if (ws.send(c, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON) return c;
        if (w->isDialog && (w->style & DS_CONTROL))
            if (HWND inner = findDefaultButton(ws, c)) return inner;
    }
    return nullptr;
}

// The first control of a dialog that takes the focus by Tab: visible, enabled, WS_TABSTOP, looking
// into child dialogs that hold controls of their own (WS_EX_CONTROLPARENT).
HWND firstTabStop(WindowSystem& ws, HWND dialog) {
    Window* d = ws.find(dialog);
    if (!d) return nullptr;
    for (HWND c : d->children) {
        Window* w = ws.find(c);
        if (!w || !w->visible() || !w->enabled()) continue;
        if (w->exStyle & WS_EX_CONTROLPARENT) {
            if (HWND inner = firstTabStop(ws, c)) return inner;
        } else if (w->style & WS_TABSTOP) {
            return c;
        }
    }
    return nullptr;
}

// Messages whose dialog-procedure result is the message's result (the others return DWLP_MSGRESULT).
bool returnsProcResult(UINT msg) {
    return msg == WM_INITDIALOG || msg == WM_CTLCOLORSTATIC || msg == WM_CTLCOLORBTN || msg == WM_CTLCOLORDLG ||
           (msg >= 0x0132 && msg <= 0x0138) || msg == 0x0039 /* WM_COMPAREITEM */ || msg == 0x002E /* WM_VKEYTOITEM */ ||
           msg == 0x002F /* WM_CHARTOITEM */ || msg == 0x0037 /* WM_QUERYDRAGICON */;
}

// The base units of a dialog font of a point size: the font's height and average width at 96 DPI.
POINT baseUnitsOf(int pointSize) {
    if (pointSize <= 0) return POINT{8, 16};  // the system font
    int height = (pointSize * 96 + 36) / 72;
    return POINT{height / 2, height};
}

HFONT createDialogFont(const DialogTemplate& t) {
    LOGFONTA lf{};
    lf.lfHeight = -((t.pointSize * 96 + 36) / 72);
    lf.lfWeight = t.weight ? t.weight : FW_NORMAL;
    lf.lfItalic = t.italic ? 1 : 0;
    lf.lfCharSet = DEFAULT_CHARSET;
    std::strncpy(lf.lfFaceName, t.fontName.c_str(), LF_FACESIZE - 1);
    return CreateFontIndirectA(&lf);
}

}  // namespace

HWND WindowSystem::createDialog(HINSTANCE instance, const DialogTemplate& t, HWND owner, DLGPROC proc, LPARAM param,
                                bool modal) {
    std::string className = t.className.empty() ? "#32770" : t.className;
    DWORD style = t.style;
    if (modal) style &= ~static_cast<DWORD>(WS_VISIBLE | WS_CHILD);
    POINT units = baseUnitsOf((t.style & DS_SETFONT) ? t.pointSize : 0);
    Window* ownerWindow = find(owner);
    RECT rect{};
    int width = t.cx * units.x / 4, height = t.cy * units.y / 8;
    rect.left = t.x * units.x / 4;
    rect.top = t.y * units.y / 8;
    if (ownerWindow && !(style & WS_CHILD)) {
        RECT oc = clientScreenRect(*ownerWindow);
        rect.left += oc.left;
        rect.top += oc.top;
    }
    rect.right = rect.left + width;
    rect.bottom = rect.top + height;
    // A modal frame and a dialog that holds controls of its own show in the extended style, as the
    // dialog manager sets them.
    DWORD exStyle = t.exStyle | ((style & DS_MODALFRAME) ? WS_EX_DLGMODALFRAME : 0) |
                    ((style & DS_CONTROL) ? WS_EX_CONTROLPARENT : 0);
    HWND hwnd = create(exStyle, className, t.caption, style & ~WS_VISIBLE, rect, owner, 0, instance, nullptr);
    if (!hwnd) return nullptr;
    Window* d = find(hwnd);
    d->isDialog = true;
    d->baseUnits = units;
    d->templateName = t.name.text();
    d->extra[DWLP_DLGPROC] = reinterpret_cast<LONG_PTR>(proc);
    // The window rectangle holds the frame around the template's client area.
    d->rect.right += d->frame.left + d->frame.right;
    d->rect.bottom += d->frame.top + d->frame.bottom;

    HFONT font = nullptr;
    if (t.style & DS_SETFONT) {
        font = createDialogFont(t);
        d->font = font;
        send(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
    }
    for (const DialogItemTemplate& item : t.items) {
        Window* dialog = find(hwnd);
        if (!dialog) return nullptr;
        RECT r{unitsToX(*dialog, item.x), unitsToY(*dialog, item.y), unitsToX(*dialog, item.x + item.cx),
               unitsToY(*dialog, item.y + item.cy)};
        std::string text = item.text;
        // A dialog's controls do not tell their parent of their creation (WM_PARENTNOTIFY).
        HWND control = create(item.exStyle | WS_EX_NOPARENTNOTIFY, item.className, text, item.style | WS_CHILD, r, hwnd,
                              item.id, instance, nullptr);
        if (!control) {
            if (t.style & DS_NOFAILCREATE) continue;
            destroy(hwnd);
            current().lastError = ERROR_CANNOT_FIND_WND_CLASS;
            return nullptr;
        }
        if (font) send(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
    }
    HWND firstTab = firstTabStop(*this, hwnd);
    LRESULT focusDefault = send(hwnd, WM_INITDIALOG, reinterpret_cast<WPARAM>(firstTab), param);
    if (!find(hwnd)) return nullptr;
    // TRUE asks for the default focus: the first tab stop once more, as WM_INITDIALOG may have changed
    // which controls can take it.
    if (focusDefault && (!(t.style & DS_CONTROL) || (t.style & WS_VISIBLE)))
        if (HWND f = firstTabStop(*this, hwnd)) SetFocus(f);
    if (!modal && (t.style & WS_VISIBLE) && !find(hwnd)->visible()) ShowWindow(hwnd, SW_SHOWNORMAL);
    return hwnd;
}

}  // namespace simwin

namespace {

const simwin::DialogTemplate* findTemplate(HINSTANCE instance, LPCSTR name) {
    if (instance && instance != simwin::programModule()) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    const simwin::DialogTemplate* t = simwin::programResources().dialog(simwin::ResourceName::fromArgument(name));
    if (!t) SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return t;
}

simwin::Window* dialogWindow(HWND hwnd) {
    simwin::Window* w = current().windows.find(hwnd);
    if (!w) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return w;
}

}  // namespace

LRESULT WINAPI DefDlgProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto& ws = current().windows;
    simwin::Window* w = ws.find(hwnd);
    if (!w) return DefWindowProcA(hwnd, msg, wParam, lParam);
    w->extra[DWLP_MSGRESULT] = 0;
    DLGPROC proc = reinterpret_cast<DLGPROC>(w->extra.count(DWLP_DLGPROC) ? w->extra[DWLP_DLGPROC] : 0);
    INT_PTR handled = proc ? proc(hwnd, msg, wParam, lParam) : 0;
    w = ws.find(hwnd);
    if (!w) return handled;
    if (handled) return simwin::returnsProcResult(msg) ? handled : w->extra[DWLP_MSGRESULT];
    switch (msg) {
    case WM_CLOSE: {
        // The default handling of Close is the Cancel button, unless that button is disabled.
        HWND cancel = ws.child(hwnd, IDCANCEL);
        simwin::Window* c = ws.find(cancel);
        if (!c || c->enabled()) PostMessageA(hwnd, WM_COMMAND, MAKELONG(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
        return 0;
    }
    case WM_SETFONT:
        w->font = reinterpret_cast<HFONT>(wParam);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(w->font);
    case DM_GETDEFID: {
        if (w->ended) return 0;
        HWND def = simwin::findDefaultButton(ws, hwnd);
        simwin::Window* b = ws.find(def);
        return b ? MAKELONG(b->id, DC_HASDEFID) : 0;
    }
    case WM_INITDIALOG:
        return 0;
    default:
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC proc, LPARAM param) {
    auto& ws = current().windows;
    const simwin::DialogTemplate* t = findTemplate(instance, templateName);
    if (!t) return -1;
    if (owner && !ws.find(owner)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    HWND rootOwner = owner ? ws.root(owner) : nullptr;
    HWND hwnd = ws.createDialog(instance ? instance : simwin::programModule(), *t, rootOwner, proc, param, true);
    if (!hwnd) return -1;
    current().transcript.add("dialog " + t->name.text() + " shown");
    bool ownerWasEnabled = rootOwner && IsWindowEnabled(rootOwner);
    if (ownerWasEnabled) EnableWindow(rootOwner, FALSE);
    INT_PTR result = 0;
    try {
        ws.runModal(hwnd);
    } catch (...) {
        if (ownerWasEnabled) EnableWindow(rootOwner, TRUE);
        throw;
    }
    if (simwin::Window* w = ws.find(hwnd)) {
        result = w->result;
        if (ownerWasEnabled) EnableWindow(rootOwner, TRUE);
        ws.destroy(hwnd);
    }
    return result;
}

HWND WINAPI CreateDialogParamA(HINSTANCE instance, LPCSTR templateName, HWND parent, DLGPROC proc, LPARAM param) {
    const simwin::DialogTemplate* t = findTemplate(instance, templateName);
    if (!t) return nullptr;
    return current().windows.createDialog(instance ? instance : simwin::programModule(), *t, parent, proc, param, false);
}

BOOL WINAPI EndDialog(HWND hwnd, INT_PTR result) {
    simwin::Window* w = dialogWindow(hwnd);
    if (!w) return FALSE;
    w->ended = true;
    w->result = result;
    // The owner comes back before the dialog goes; the dialog is hidden at once.
    if (w->owner) EnableWindow(w->owner, TRUE);
    if (w->visible()) SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_HIDEWINDOW);
    return TRUE;
}

BOOL WINAPI IsDialogMessageA(HWND dialog, LPMSG msg) {
    auto& ws = current().windows;
    if (!msg || !ws.find(dialog)) return FALSE;
    if (msg->hwnd != dialog && !ws.isDescendant(dialog, msg->hwnd)) return FALSE;
    if (msg->message == WM_KEYDOWN && (msg->wParam == VK_ESCAPE || msg->wParam == VK_RETURN)) {
        ws.pressKey(dialog, static_cast<int>(msg->wParam));
        return TRUE;
    }
    if (msg->message == WM_KEYDOWN && msg->wParam == VK_TAB && ws.tabKey(dialog, msg->hwnd)) return TRUE;
    ws.dispatch(*msg, dialog);
    return TRUE;
}

HWND WINAPI GetDlgItem(HWND dialog, int id) {
    if (!dialogWindow(dialog)) return NULL;
    HWND h = current().windows.child(dialog, id);
    if (!h) SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
    return h;
}

int WINAPI GetDlgCtrlID(HWND hwnd) {
    simwin::Window* w = dialogWindow(hwnd);
    return w && w->isChild() ? w->id : 0;
}

BOOL WINAPI SetDlgItemTextA(HWND dialog, int id, LPCSTR text) {
    HWND item = GetDlgItem(dialog, id);
    return item ? SetWindowTextA(item, text) : FALSE;
}

UINT WINAPI GetDlgItemTextA(HWND dialog, int id, LPSTR buffer, int bufferMax) {
    HWND item = GetDlgItem(dialog, id);
    if (!item) {
        if (buffer && bufferMax > 0) buffer[0] = 0;
        return 0;
    }
    return static_cast<UINT>(GetWindowTextA(item, buffer, bufferMax));
}

LRESULT WINAPI SendDlgItemMessageA(HWND dialog, int id, UINT msg, WPARAM wParam, LPARAM lParam) {
    HWND item = GetDlgItem(dialog, id);
    return item ? SendMessageA(item, msg, wParam, lParam) : 0;
}

BOOL WINAPI CheckRadioButton(HWND dialog, int first, int last, int check) {
    if (!dialogWindow(dialog)) return FALSE;
    // Every button of the range is set, checked exactly when it is the one to check.
    for (int id = first; id <= last; ++id)
        if (HWND b = current().windows.child(dialog, id)) SendMessageA(b, BM_SETCHECK, id == check ? BST_CHECKED : BST_UNCHECKED, 0);
    return TRUE;
}

BOOL WINAPI CheckDlgButton(HWND dialog, int id, UINT check) {
    HWND b = GetDlgItem(dialog, id);
    if (!b) return FALSE;
    SendMessageA(b, BM_SETCHECK, check, 0);
    return TRUE;
}

UINT WINAPI IsDlgButtonChecked(HWND dialog, int id) {
    HWND b = GetDlgItem(dialog, id);
    return b ? static_cast<UINT>(SendMessageA(b, BM_GETCHECK, 0, 0)) : 0;
}

BOOL WINAPI MapDialogRect(HWND dialog, LPRECT rect) {
    simwin::Window* d = dialogWindow(dialog);
    if (!d || !rect) return FALSE;
    if (!d->isDialog) {
        SetLastError(ERROR_WINDOW_NOT_DIALOG);
        return FALSE;
    }
    rect->left = rect->left * d->baseUnits.x / 4;
    rect->right = rect->right * d->baseUnits.x / 4;
    rect->top = rect->top * d->baseUnits.y / 8;
    rect->bottom = rect->bottom * d->baseUnits.y / 8;
    return TRUE;
}

LONG WINAPI GetDialogBaseUnits(void) { return MAKELONG(8, 16); }

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    auto& ws = current().windows;
    auto& user = ws.user;
    const char* title = caption ? caption : "Error";
    // The box: a dialog window owned by the owner's top-level window, its text and its buttons.
    HWND rootOwner = owner ? ws.root(owner) : nullptr;
    RECT r{312, 284, 712, 434};
    HWND box = ws.create(WS_EX_DLGMODALFRAME, "#32770", title, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, r,
                         rootOwner, 0, nullptr, nullptr);
    if (!box) return 0;
    ws.find(box)->isDialog = true;
    ws.find(box)->extra[DWLP_DLGPROC] = reinterpret_cast<LONG_PTR>(&simwin::MessageBoxProc);
    ws.create(0, "Static", text ? text : "", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, RECT{60, 20, 380, 80}, box,
              0xFFFF, nullptr, nullptr);
    std::vector<std::pair<int, const char*>> buttons;
    switch (type & 0xF) {
    case MB_YESNO: buttons = {{IDYES, "&Yes"}, {IDNO, "&No"}}; break;
    case MB_OKCANCEL: buttons = {{IDOK, "OK"}, {IDCANCEL, "Cancel"}}; break;
    default: buttons = {{IDOK, "OK"}}; break;
    }
    int defaultIndex = (type & MB_DEFBUTTON2) && buttons.size() > 1 ? 1 : 0;
    for (size_t i = 0; i < buttons.size(); ++i) {
        int left = 200 + static_cast<int>(i) * 90;
        DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | (static_cast<int>(i) == defaultIndex ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
        ws.create(0, "Button", buttons[i].second, style, RECT{left, 95, left + 80, 118}, box, buttons[i].first, nullptr, nullptr);
    }
    bool ownerWasEnabled = rootOwner && IsWindowEnabled(rootOwner);
    if (ownerWasEnabled) EnableWindow(rootOwner, FALSE);
    ShowWindow(box, SW_SHOWNORMAL);

    // While a person reads the box, the thread's other windows go on: their posted messages, paints and
    // the timer ticks falling due reach them first.
    uint64_t until = current().clock.ms + user.readingTimeMs;
    ws.modalStack.push_back(box);
    try {
        while (!ws.find(box)->ended && ws.step(box, until, false) != simwin::WindowSystem::Step::None) {
        }
    } catch (...) {
        ws.modalStack.pop_back();
        throw;
    }
    ws.modalStack.pop_back();
    simwin::Window* closed = ws.find(box);
    bool answeredByWindow = closed && closed->ended;
    if (!answeredByWindow) current().clock.advanceTo(until);

    int answer = answeredByWindow ? static_cast<int>(closed->result) : buttons[0].first;
    if (answeredByWindow) {
        // Another window of the program closed the box: no scripted answer is taken.
    } else if (buttons.size() > 1) {
        bool yes = false;
        const simwin::UserAction* a = user.next();
        if (a && a->kind == simwin::UserAction::Answer && a->at < 0) {
            yes = simwin::iequals(a->target, "yes") || simwin::iequals(a->target, "ok");
            user.actions.pop_front();
        } else if (!user.answers.empty()) {
            yes = user.answers.front();
            user.answers.pop_front();
        }
        answer = yes ? buttons[0].first : buttons[1].first;
    } else if (const simwin::UserAction* a = user.next(); a && a->kind == simwin::UserAction::Answer && a->at < 0) {
        user.actions.pop_front();  // "answer ok" for a box with one button
    }
    current().transcript.add("message box \"" + simwin::oneLine(title) + "\": \"" + simwin::oneLine(text) + "\" -> " + simwin::answerName(answer));
    if (user.show) user.show(ws.picture(box));
    if (ownerWasEnabled) EnableWindow(rootOwner, TRUE);
    ws.destroy(box);
    return answer;
}
