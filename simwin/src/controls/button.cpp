// The Button class: push buttons, default push buttons, check boxes and radio buttons (plain, automatic
// and push-like). BM_CLICK is a click of a person: the button tells its parent with WM_COMMAND BN_CLICKED.
#include "simwin/controls.h"
#include "simwin/machine.h"
#include "simwin/win32.h"

namespace simwin {

namespace {

struct ButtonState : ControlState {
    UINT check = BST_UNCHECKED;
    bool pushed = false;
    void picture(std::vector<std::string>& lines) const override {
        if (check == BST_CHECKED) lines.push_back("checked");
    }
};

DWORD kind(const Window& w) { return w.style & BS_TYPEMASK; }
bool isCheckBox(DWORD k) { return k == BS_CHECKBOX || k == BS_AUTOCHECKBOX || k == BS_3STATE || k == BS_AUTO3STATE; }
bool isRadio(DWORD k) { return k == BS_RADIOBUTTON || k == BS_AUTORADIOBUTTON; }

// An automatic radio button that is clicked becomes the one checked button of its group.
void checkInGroup(WindowSystem& ws, Window& w) {
    Window* parent = ws.find(w.parent);
    if (!parent) return;
    auto& siblings = parent->children;
    auto self = std::find(siblings.begin(), siblings.end(), w.hwnd);
    if (self == siblings.end()) return;
    // The group runs from the last WS_GROUP control at or before this one to the next WS_GROUP control.
    auto first = self;
    while (first != siblings.begin() && !(ws.find(*first) && (ws.find(*first)->style & WS_GROUP))) --first;
    for (auto it = first; it != siblings.end(); ++it) {
        Window* s = ws.find(*it);
        if (!s) continue;
        if (it != first && (s->style & WS_GROUP)) break;
        if (s->className == "Button" && kind(*s) == BS_AUTORADIOBUTTON)
            ws.send(*it, BM_SETCHECK, *it == w.hwnd ? BST_CHECKED : BST_UNCHECKED, 0);
    }
}

LRESULT CALLBACK ButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    WindowSystem& ws = current().windows;
    Window* w = ws.find(hwnd);
    if (!w) return 0;
    auto* s = static_cast<ButtonState*>(w->state.get());
    switch (msg) {
    case WM_NCCREATE:
        w->state = std::make_unique<ButtonState>();
        return TRUE;
    case BM_GETCHECK: return (isCheckBox(kind(*w)) || isRadio(kind(*w))) ? s->check : 0;
    case BM_SETCHECK:
        if (isCheckBox(kind(*w)) || isRadio(kind(*w))) {
            s->check = static_cast<UINT>(wParam) & 3;
            if (s->check == BST_INDETERMINATE && kind(*w) != BS_3STATE && kind(*w) != BS_AUTO3STATE) s->check = BST_CHECKED;
            w->needsPaint = true;
        }
        return 0;
    case BM_GETSTATE: return s->check | (s->pushed ? BST_PUSHED : 0) | (ws.focus == hwnd ? BST_FOCUS : 0);
    case BM_SETSTATE:
        s->pushed = wParam != 0;
        return 0;
    case BM_SETSTYLE:
        w->style = (w->style & ~0xFFFFu) | (static_cast<DWORD>(wParam) & 0xFFFF);
        return 0;
    case BM_CLICK: {
        if (!w->enabled() || !ws.reallyVisible(*w)) return 0;
        DWORD k = kind(*w);
        if (k == BS_AUTOCHECKBOX) ws.send(hwnd, BM_SETCHECK, s->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED, 0);
        if (k == BS_AUTO3STATE) ws.send(hwnd, BM_SETCHECK, (s->check + 1) % 3, 0);
        if (k == BS_AUTORADIOBUTTON) checkInGroup(ws, *w);
        if (w->isChild() && ws.find(w->parent))
            ws.send(w->parent, WM_COMMAND, MAKELONG(w->id, BN_CLICKED), reinterpret_cast<LPARAM>(hwnd));
        return 0;
    }
    case WM_GETDLGCODE: {
        DWORD k = kind(*w);
        if (k == BS_DEFPUSHBUTTON) return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
        if (k == BS_PUSHBUTTON) return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
        if (isRadio(k)) return DLGC_BUTTON | DLGC_RADIOBUTTON;
        return DLGC_BUTTON;
    }
    case WM_SETFONT:
        w->font = reinterpret_cast<HFONT>(wParam);
        return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(w->font);
    default: return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

}  // namespace

void registerButtonClass(WindowSystem& ws) {
    WindowClass c;
    c.name = "Button";
    c.wndProc = ButtonProc;
    c.system = true;
    ws.classes[c.name] = c;
}

}  // namespace simwin
