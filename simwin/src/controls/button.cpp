// The Button class of user32: push buttons, default push buttons, check boxes, three-state boxes, radio
// buttons (plain, automatic and push-like) and group boxes.
//
// A click is a button press and release over the button: WM_LBUTTONDOWN takes the focus and pushes the
// button in, WM_LBUTTONUP lets it out, changes the check of an automatic button and tells the parent with
// WM_COMMAND BN_CLICKED. BM_CLICK sends the two mouse messages. A push-like check box or radio button
// looks like a push button that stays pushed in while checked; it behaves like its plain kind.
#include <algorithm>

#include "simwin/controls.h"
#include "simwin/machine.h"
#include "simwin/win32.h"

namespace simwin {

namespace {

struct ButtonState : ControlState {
    UINT check = BST_UNCHECKED;  // BST_UNCHECKED, BST_CHECKED or BST_INDETERMINATE
    bool pushed = false;         // BST_PUSHED: drawn pushed in
    bool focused = false;        // BST_FOCUS
    bool pressing = false;       // a press (mouse or space bar) is under way
    DWORD kind = BS_PUSHBUTTON;  // kept for the picture

    void picture(std::vector<std::string>& lines) const override;
};

DWORD kind(const Window& w) { return w.style & BS_TYPEMASK; }
bool isCheckBox(DWORD k) { return k == BS_CHECKBOX || k == BS_AUTOCHECKBOX || k == BS_3STATE || k == BS_AUTO3STATE; }
bool isRadio(DWORD k) { return k == BS_RADIOBUTTON || k == BS_AUTORADIOBUTTON; }

void ButtonState::picture(std::vector<std::string>& lines) const {
    if (!isCheckBox(kind) && !isRadio(kind)) return;
    lines.push_back(check == BST_CHECKED ? "checked" : check == BST_INDETERMINATE ? "indeterminate" : "unchecked");
}

// The highest check state a kind of button keeps; BM_SETCHECK cuts larger values to it.
UINT maxCheck(DWORD k) {
    if (k == BS_3STATE || k == BS_AUTO3STATE) return BST_INDETERMINATE;
    return isCheckBox(k) || isRadio(k) ? BST_CHECKED : BST_UNCHECKED;
}

void notifyParent(WindowSystem& ws, const Window& w, WORD code) {
    if (w.isChild() && ws.find(w.parent))
        ws.send(w.parent, WM_COMMAND, MAKELONG(w.id, code), reinterpret_cast<LPARAM>(w.hwnd));
}

bool takesPart(const Window& w) { return (w.style & (WS_VISIBLE | WS_DISABLED)) == WS_VISIBLE; }

// The group of a control among its siblings, as GetNextDlgGroupItem walks it: from the nearest WS_GROUP
// control at or before it (going round the end of the list; with none, every sibling) up to the next
// WS_GROUP control. The control comes first, then the group's visible and enabled controls after it,
// going round within the group.
std::vector<HWND> groupOf(WindowSystem& ws, const Window& w) {
    Window* parent = ws.find(w.parent);
    if (!parent) return {w.hwnd};
    const std::vector<HWND>& siblings = parent->children;
    auto self = std::find(siblings.begin(), siblings.end(), w.hwnd);
    if (self == siblings.end()) return {w.hwnd};
    size_t n = siblings.size(), at = static_cast<size_t>(self - siblings.begin());
    auto hasGroup = [&](size_t i) {
        const Window* s = ws.find(siblings[i % n]);
        return s && (s->style & WS_GROUP);
    };
    size_t start = at + n;  // indices taken modulo n
    while (start > at && !hasGroup(start)) --start;
    if (start == at) start = at + 1;  // no WS_GROUP at all: the whole list from here
    std::vector<HWND> members;
    for (size_t i = start; i < start + n; ++i) {
        if (i != start && hasGroup(i)) break;
        members.push_back(siblings[i % n]);
    }
    std::rotate(members.begin(), std::find(members.begin(), members.end(), w.hwnd), members.end());
    std::vector<HWND> out{w.hwnd};
    for (HWND h : members)
        if (const Window* m = ws.find(h); m && h != w.hwnd && takesPart(*m)) out.push_back(h);
    return out;
}

// A clicked automatic radio button becomes the one checked radio button of its group.
void checkInGroup(WindowSystem& ws, const Window& w) {
    for (HWND h : groupOf(ws, w)) {
        if (ws.send(h, WM_GETDLGCODE, 0, 0) != (DLGC_BUTTON | DLGC_RADIOBUTTON)) continue;
        ws.send(h, BM_SETCHECK, h == w.hwnd ? BST_CHECKED : BST_UNCHECKED, 0);
    }
}

LRESULT dialogCode(DWORD k) {
    switch (k) {
    case BS_USERBUTTON:
    case BS_PUSHBUTTON: return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
    case BS_DEFPUSHBUTTON: return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON: return DLGC_BUTTON | DLGC_RADIOBUTTON;
    case BS_GROUPBOX: return DLGC_STATIC;
    default: return DLGC_BUTTON;
    }
}

void setCheck(Window& w, ButtonState& s, WPARAM value) {
    UINT check = static_cast<UINT>(std::min<WPARAM>(value, maxCheck(kind(w))));
    // A checked radio button is the tab stop of its group.
    if (isRadio(kind(w))) {
        if (check) w.style |= WS_TABSTOP; else w.style &= ~static_cast<DWORD>(WS_TABSTOP);
    }
    if (s.check != check) {
        s.check = check;
        w.needsPaint = true;
    }
}

void press(WindowSystem& ws, HWND hwnd, ButtonState& s) {
    s.pressing = true;
    ws.send(hwnd, BM_SETSTATE, TRUE, 0);
}

// The end of a press: an automatic button changes its check, and the parent hears of the click when
// the press ended over the button.
void release(WindowSystem& ws, HWND hwnd, ButtonState& s, bool over) {
    if (!s.pressing) return;
    s.pressing = false;
    if (!s.pushed) return;
    ws.send(hwnd, BM_SETSTATE, FALSE, 0);
    Window* w = ws.find(hwnd);
    if (!w || !over) return;
    switch (kind(*w)) {
    case BS_AUTOCHECKBOX: ws.send(hwnd, BM_SETCHECK, s.check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED, 0); break;
    case BS_AUTORADIOBUTTON: checkInGroup(ws, *w); break;
    case BS_AUTO3STATE: ws.send(hwnd, BM_SETCHECK, s.check == BST_INDETERMINATE ? 0 : s.check + 1, 0); break;
    default: break;
    }
    if ((w = ws.find(hwnd))) notifyParent(ws, *w, BN_CLICKED);
}

bool overClient(HWND hwnd, LPARAM lParam) {
    RECT r;
    GetClientRect(hwnd, &r);
    int x = static_cast<SHORT>(LOWORD(lParam)), y = static_cast<SHORT>(HIWORD(lParam));
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

// Push buttons ask their parent for WM_CTLCOLORBTN, the others (drawn on the dialog's face) for
// WM_CTLCOLORSTATIC.
void paint(WindowSystem& ws, Window& w) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(w.hwnd, &ps);
    DWORD k = kind(w);
    bool pushLike = (w.style & BS_PUSHLIKE) || k <= BS_DEFPUSHBUTTON || k == BS_USERBUTTON || k == BS_OWNERDRAW;
    if (w.isChild() && ws.find(w.parent))
        ws.send(w.parent, pushLike ? WM_CTLCOLORBTN : WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                reinterpret_cast<LPARAM>(w.hwnd));
    EndPaint(w.hwnd, &ps);
}

LRESULT onMessage(WindowSystem& ws, Window& w, ButtonState& s, UINT msg, WPARAM wParam, LPARAM lParam) {
    HWND hwnd = w.hwnd;
    switch (msg) {
    case WM_CREATE:
        // A user button of old is a push button.
        if (kind(w) == BS_USERBUTTON) w.style = (w.style & ~static_cast<DWORD>(BS_TYPEMASK)) | BS_PUSHBUTTON;
        s.kind = kind(w);
        return 0;
    case WM_GETDLGCODE: return dialogCode(kind(w));
    case BM_GETCHECK: return s.check;
    case BM_SETCHECK: setCheck(w, s, wParam); return 0;
    case BM_GETSTATE: return s.check | (s.pushed ? BST_PUSHED : 0) | (s.focused ? BST_FOCUS : 0);
    case BM_SETSTATE:
        s.pushed = wParam != 0;
        w.needsPaint = true;
        return 0;
    case BM_SETSTYLE:
        w.style = (w.style & ~static_cast<DWORD>(BS_TYPEMASK)) | (static_cast<DWORD>(wParam) & BS_TYPEMASK);
        s.kind = kind(w);
        if (lParam) w.needsPaint = true;
        return 0;
    case BM_CLICK:
        // A person cannot click a button that is disabled or that they cannot see.
        if (!w.enabled() || !ws.reallyVisible(w)) return 0;
        ws.send(hwnd, WM_LBUTTONDOWN, 0, 0);
        ws.send(hwnd, WM_LBUTTONUP, 0, 0);
        return 0;
    case WM_LBUTTONDBLCLK:
        if ((w.style & BS_NOTIFY) || kind(w) == BS_RADIOBUTTON || kind(w) == BS_OWNERDRAW) {
            notifyParent(ws, w, BN_DOUBLECLICKED);
            return 0;
        }
        [[fallthrough]];
    case WM_LBUTTONDOWN:
        SetFocus(hwnd);
        if (ws.find(hwnd)) press(ws, hwnd, s);
        return 0;
    case WM_LBUTTONUP: release(ws, hwnd, s, overClient(hwnd, lParam)); return 0;
    case WM_KEYDOWN:
        if (wParam == VK_SPACE) press(ws, hwnd, s);
        return 0;
    case WM_KEYUP:
        if (wParam == VK_SPACE) release(ws, hwnd, s, true);
        return 0;
    case WM_SETFOCUS:
        s.focused = true;
        if (w.style & BS_NOTIFY) notifyParent(ws, w, BN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        s.focused = false;
        // Losing the focus ends a press without a click.
        if (s.pressing) {
            s.pressing = false;
            if (s.pushed) ws.send(hwnd, BM_SETSTATE, FALSE, 0);
        }
        if (Window* again = ws.find(hwnd); again && (again->style & BS_NOTIFY)) notifyParent(ws, *again, BN_KILLFOCUS);
        return 0;
    case WM_SETTEXT:
        DefWindowProcA(hwnd, msg, wParam, lParam);
        return TRUE;
    case WM_SETFONT:
        w.font = reinterpret_cast<HFONT>(wParam);
        if (lParam) w.needsPaint = true;
        return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(w.font);
    case WM_ENABLE: w.needsPaint = true; return 0;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: paint(ws, w); return 0;
    default: return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

LRESULT CALLBACK ButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    WindowSystem& ws = current().windows;
    Window* w = ws.find(hwnd);
    if (!w) return 0;
    if (msg == WM_NCCREATE) {
        auto s = std::make_unique<ButtonState>();
        s->kind = kind(*w);
        w->state = std::move(s);
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    auto* s = dynamic_cast<ButtonState*>(w->state.get());
    if (!s) return DefWindowProcA(hwnd, msg, wParam, lParam);
    return onMessage(ws, *w, *s, msg, wParam, lParam);
}

}  // namespace

void registerButtonClass(WindowSystem& ws) {
    WindowClass c;
    c.name = "Button";
    c.wndProc = ButtonProc;
    c.style = 0x0008 | 0x0001 | 0x0002 | 0x0080;  // CS_DBLCLKS | CS_VREDRAW | CS_HREDRAW | CS_PARENTDC
    c.system = true;
    ws.classes[c.name] = c;
}

}  // namespace simwin
