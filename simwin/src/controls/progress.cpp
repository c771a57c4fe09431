// The msctls_progress32 class: a range, a position clamped to it, and a step. PBM_STEPIT wraps around
// the range the way comctl32 does: past the maximum the position starts again from the minimum with
// what was left over, so a bar that keeps stepping runs round instead of sticking at the end.
#include "simwin/controls.h"
#include "simwin/machine.h"
#include "simwin/win32.h"

namespace simwin {

namespace {

struct ProgressState : ControlState {
    int low = 0, high = 100;
    int position = 0;
    int step = 10;
    HFONT font = nullptr;

    void clamp() {
        if (position < low) position = low;
        if (position > high) position = high;
    }
    void picture(std::vector<std::string>& lines) const override {
        lines.push_back("position " + std::to_string(position) + " of " + std::to_string(low) + ".." +
                        std::to_string(high));
    }
};

// The previous range as PBM_SETRANGE reports it: both ends cut to 16 bits.
LRESULT setRange(Window& w, ProgressState& s, int low, int high) {
    LRESULT previous = static_cast<DWORD>(MAKELONG(LOWORD(s.low), LOWORD(s.high)));
    if (s.low == low && s.high == high) return previous;
    s.low = low;
    s.high = high;
    s.clamp();
    w.needsPaint = true;
    return previous;
}

LRESULT setPosition(Window& w, ProgressState& s, int position) {
    int previous = s.position;
    if (previous != position) {
        s.position = position;
        s.clamp();
        w.needsPaint = true;
    }
    return static_cast<UINT>(previous);
}

LRESULT stepIt(Window& w, ProgressState& s) {
    int previous = s.position;
    if (s.low == s.high) return previous;
    s.position += s.step;
    int span = s.high - s.low;
    if (s.position > s.high) s.position = (s.position - s.low) % span + s.low;
    if (s.position < s.low) s.position = (s.position - s.low) % span + s.high;
    if (s.position != previous) w.needsPaint = true;
    return previous;
}

// An unthemed progress bar trades a client edge for a static edge when it is created.
void useStaticEdge(Window& w) {
    if (w.exStyle & WS_EX_CLIENTEDGE) {
        w.frame.left -= 2, w.frame.top -= 2, w.frame.right -= 2, w.frame.bottom -= 2;
    }
    if (!(w.exStyle & WS_EX_STATICEDGE)) {
        w.frame.left += 1, w.frame.top += 1, w.frame.right += 1, w.frame.bottom += 1;
    }
    w.exStyle = (w.exStyle & ~static_cast<DWORD>(WS_EX_CLIENTEDGE | WS_EX_WINDOWEDGE)) | WS_EX_STATICEDGE;
}

LRESULT CALLBACK ProgressProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window* w = current().windows.find(hwnd);
    if (!w) return 0;
    if (msg == WM_NCCREATE) {
        w->state = std::make_unique<ProgressState>();
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    auto* s = dynamic_cast<ProgressState*>(w->state.get());
    if (!s) return DefWindowProcA(hwnd, msg, wParam, lParam);
    switch (msg) {
    case WM_CREATE: useStaticEdge(*w); return 0;
    case PBM_SETRANGE: return setRange(*w, *s, LOWORD(lParam), HIWORD(lParam));
    case PBM_SETRANGE32: return setRange(*w, *s, static_cast<int>(wParam), static_cast<int>(lParam));
    case PBM_GETRANGE:
        if (auto* range = reinterpret_cast<PPBRANGE>(lParam)) {
            range->iLow = s->low;
            range->iHigh = s->high;
        }
        return wParam ? s->low : s->high;
    case PBM_SETPOS: return setPosition(*w, *s, static_cast<int>(wParam));
    case PBM_DELTAPOS: {
        int previous = s->position;
        if (wParam) setPosition(*w, *s, s->position + static_cast<int>(wParam));
        return previous;
    }
    case PBM_GETPOS: return s->position;
    case PBM_SETSTEP: {
        int previous = s->step;
        s->step = static_cast<int>(wParam);
        return previous;
    }
    case PBM_GETSTEP: return s->step;
    case PBM_STEPIT: return stepIt(*w, *s);
    case WM_SETFONT: {
        HFONT previous = s->font;
        s->font = reinterpret_cast<HFONT>(wParam);
        return reinterpret_cast<LRESULT>(previous);
    }
    case WM_GETFONT: return reinterpret_cast<LRESULT>(s->font);
    case WM_ERASEBKGND: return 1;
    default: return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

}  // namespace

void registerProgressClass(WindowSystem& ws) {
    WindowClass c;
    c.name = "msctls_progress32";
    c.wndProc = ProgressProc;
    c.style = 0x0001 | 0x0002 | 0x4000;  // CS_VREDRAW | CS_HREDRAW | CS_GLOBALCLASS
    c.system = true;
    ws.classes[c.name] = c;
}

}  // namespace simwin
