// The Static class of user32: texts, frames, lines, icons and bitmaps. A person sees its text; an icon
// static shows the icon its text names when it is created, or the one set with STM_SETICON.
//
// Only the text kinds take a text or a font; only the image kinds take an image, and only of their own
// type. A static paints itself as soon as its text or image changes, asking its parent for the colours
// (WM_CTLCOLORSTATIC). With SS_NOTIFY it tells its parent of clicks and of being enabled or disabled.
#include <cstdlib>

#include "simwin/controls.h"
#include "simwin/machine.h"
#include "simwin/win32.h"

namespace simwin {

namespace {

struct StaticState : ControlState {
    HANDLE image = nullptr;
    DWORD kind = SS_LEFT;

    void picture(std::vector<std::string>& lines) const override {
        if (kind == SS_ICON) lines.push_back(image ? "icon" : "no icon");
        if (kind == SS_BITMAP) lines.push_back(image ? "bitmap" : "no bitmap");
    }
};

DWORD kind(const Window& w) { return w.style & SS_TYPEMASK; }

bool hasText(DWORD k) {
    return k == SS_LEFT || k == SS_CENTER || k == SS_RIGHT || k == SS_SIMPLE || k == SS_LEFTNOWORDWRAP ||
           k == SS_OWNERDRAW;
}

void notifyParent(WindowSystem& ws, const Window& w, WORD code) {
    if (w.isChild() && ws.find(w.parent))
        ws.send(w.parent, WM_COMMAND, MAKELONG(w.id, code), reinterpret_cast<LPARAM>(w.hwnd));
}

// Draws the control now when it can be seen: the parent chooses the colours first.
void paintNow(WindowSystem& ws, Window& w) {
    if (!ws.reallyVisible(w)) return;
    HDC dc = GetDC(w.hwnd);
    if (w.isChild() && ws.find(w.parent))
        ws.send(w.parent, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(w.hwnd));
    ReleaseDC(w.hwnd, dc);
    if (Window* again = ws.find(w.hwnd)) again->needsPaint = false;
}

// The icon an icon static names in its window text: "#12" or an ordinal in the 0xFF form of
// templates for an ID, else a resource name; the program's icons first, then the system's.
HANDLE loadNamedIcon(HINSTANCE instance, const std::string& text) {
    if (text.empty()) return nullptr;
    LPCSTR name = text.c_str();
    if (text[0] == '#') name = MAKEINTRESOURCEA(std::atoi(text.c_str() + 1));
    if (static_cast<unsigned char>(text[0]) == 0xFF && text.size() >= 3)
        name = MAKEINTRESOURCEA(MAKEWORD(static_cast<BYTE>(text[1]), static_cast<BYTE>(text[2])));
    DWORD error = GetLastError();
    HANDLE icon = instance ? LoadIconA(instance, name) : nullptr;
    if (!icon && instance) icon = LoadCursorA(instance, name);
    if (!icon) icon = LoadIconA(nullptr, name);
    SetLastError(error);  // a missing icon leaves the control empty, not the creation failed
    return icon;
}

LRESULT getImage(const StaticState& s, DWORD k, WPARAM type) {
    bool matches = (k == SS_ICON && (type == IMAGE_ICON || type == IMAGE_CURSOR)) ||
                   (k == SS_BITMAP && type == IMAGE_BITMAP) || (k == SS_ENHMETAFILE && type == IMAGE_ENHMETAFILE);
    return matches ? reinterpret_cast<LRESULT>(s.image) : 0;
}

LRESULT setImage(WindowSystem& ws, Window& w, StaticState& s, WPARAM type, HANDLE image) {
    DWORD k = kind(w);
    bool matches = (type == IMAGE_BITMAP && k == SS_BITMAP) || (type == IMAGE_ENHMETAFILE && k == SS_ENHMETAFILE) ||
                   ((type == IMAGE_ICON || type == IMAGE_CURSOR) && k == SS_ICON);
    if (!matches) return 0;
    HANDLE previous = s.image;
    s.image = image;
    paintNow(ws, w);
    return reinterpret_cast<LRESULT>(previous);
}

LRESULT onMessage(WindowSystem& ws, Window& w, StaticState& s, UINT msg, WPARAM wParam, LPARAM lParam) {
    HWND hwnd = w.hwnd;
    switch (msg) {
    case WM_SETTEXT: {
        if (!hasText(kind(w))) return 0;
        LRESULT result = DefWindowProcA(hwnd, msg, wParam, lParam);
        if (Window* again = ws.find(hwnd)) paintNow(ws, *again);
        return result;
    }
    case WM_SETFONT:
        if (hasText(kind(w))) w.font = reinterpret_cast<HFONT>(wParam);
        return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(w.font);
    case WM_GETDLGCODE: return DLGC_STATIC;
    case WM_LBUTTONDOWN:
        if (w.style & SS_NOTIFY) notifyParent(ws, w, STN_CLICKED);
        return 0;
    case WM_LBUTTONDBLCLK:
        if (w.style & SS_NOTIFY) notifyParent(ws, w, STN_DBLCLK);
        return 0;
    case WM_ENABLE:
        paintNow(ws, w);
        if (Window* again = ws.find(hwnd); again && (again->style & SS_NOTIFY))
            notifyParent(ws, *again, wParam ? STN_ENABLE : STN_DISABLE);
        return 0;
    case STM_SETICON: return setImage(ws, w, s, IMAGE_ICON, reinterpret_cast<HANDLE>(wParam));
    case STM_SETIMAGE: return setImage(ws, w, s, wParam, reinterpret_cast<HANDLE>(lParam));
    case STM_GETICON: return getImage(s, kind(w), IMAGE_ICON);
    case STM_GETIMAGE: return getImage(s, kind(w), wParam);
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        // The parent answers WM_CTLCOLORSTATIC with the brush of the background, which the static fills its
        // rectangle with (the static has no background of its own: WM_ERASEBKGND does nothing); a parent
        // that draws into the control itself answers with the hollow brush.
        if (w.isChild() && ws.find(w.parent)) {
            const LRESULT brush =
                ws.send(w.parent, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(hwnd));
            if (brush && ws.find(hwnd)) FillRect(dc, &ps.rcPaint, reinterpret_cast<HBRUSH>(brush));
        }
        EndPaint(hwnd, &ps);
        return 0;
    }
    default: return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

// WM_NCCREATE: sunken statics and etched lines get a static edge; an icon static loads its icon.
void create(Window& w, const CREATESTRUCTA& cs) {
    auto s = std::make_unique<StaticState>();
    s->kind = kind(w);
    if (((w.style & SS_SUNKEN) || s->kind == SS_ETCHEDHORZ || s->kind == SS_ETCHEDVERT) &&
        !(w.exStyle & WS_EX_STATICEDGE)) {
        w.exStyle |= WS_EX_STATICEDGE;
        w.frame.left += 1, w.frame.top += 1, w.frame.right += 1, w.frame.bottom += 1;
    }
    if (s->kind == SS_ICON) s->image = loadNamedIcon(cs.hInstance, cs.lpszName ? cs.lpszName : "");
    w.state = std::move(s);
}

LRESULT CALLBACK StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    WindowSystem& ws = current().windows;
    Window* w = ws.find(hwnd);
    if (!w) return 0;
    if (msg == WM_NCCREATE) {
        create(*w, *reinterpret_cast<const CREATESTRUCTA*>(lParam));
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    auto* s = dynamic_cast<StaticState*>(w->state.get());
    if (!s) return DefWindowProcA(hwnd, msg, wParam, lParam);
    return onMessage(ws, *w, *s, msg, wParam, lParam);
}

}  // namespace

void registerStaticClass(WindowSystem& ws) {
    WindowClass c;
    c.name = "Static";
    c.wndProc = StaticProc;
    c.style = 0x0008 | 0x0080;  // CS_DBLCLKS | CS_PARENTDC
    c.system = true;
    ws.classes[c.name] = c;
}

}  // namespace simwin
