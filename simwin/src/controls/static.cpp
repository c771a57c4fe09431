// The Static class: texts, frames, lines and icons. A person sees its text; an icon static shows the
// icon set with STM_SETICON.
#include "simwin/controls.h"
#include "simwin/machine.h"
#include "simwin/win32.h"

namespace simwin {

namespace {

struct StaticState : ControlState {
    HANDLE image = nullptr;
};

LRESULT CALLBACK StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window* w = current().windows.find(hwnd);
    if (!w) return 0;
    auto* s = static_cast<StaticState*>(w->state.get());
    switch (msg) {
    case WM_NCCREATE:
        w->state = std::make_unique<StaticState>();
        return TRUE;
    case WM_CREATE: {
        // An icon static names its icon in its text ("#1" or a name).
        if ((w->style & SS_TYPEMASK) == SS_ICON && !w->title.empty()) {
            LPCSTR name = w->title[0] == '#' ? MAKEINTRESOURCEA(std::atoi(w->title.c_str() + 1)) : w->title.c_str();
            static_cast<StaticState*>(w->state.get())->image = LoadIconA(w->instance, name);
        }
        return 0;
    }
    case STM_SETICON:
    case STM_SETIMAGE: {
        HANDLE old = s->image;
        s->image = reinterpret_cast<HANDLE>(msg == STM_SETICON ? wParam : lParam);
        w->needsPaint = true;
        return reinterpret_cast<LRESULT>(old);
    }
    case STM_GETICON:
    case STM_GETIMAGE: return reinterpret_cast<LRESULT>(s->image);
    case WM_SETFONT:
        w->font = reinterpret_cast<HFONT>(wParam);
        return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(w->font);
    case WM_GETDLGCODE: return DLGC_STATIC;
    case WM_PAINT: {
        // The parent chooses the colours (and may draw into the control) before the text is drawn.
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        if (w->isChild() && current().windows.find(w->parent))
            current().windows.send(w->parent, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(hwnd));
        EndPaint(hwnd, &ps);
        return 0;
    }
    default: return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

}  // namespace

void registerStaticClass(WindowSystem& ws) {
    WindowClass c;
    c.name = "Static";
    c.wndProc = StaticProc;
    c.system = true;
    ws.classes[c.name] = c;
}

}  // namespace simwin
