// The Edit class, as far as a read-only text to read, select and copy needs it: the text (the window's own),
// the selection, the tab stops of a multi-line control (in dialog units) and the read-only flag. Nothing is
// typed into it here: a read-only control ignores WM_CHAR, WM_CUT, WM_PASTE and WM_CLEAR as Windows's does,
// and simwin models no other.
#include "simwin/controls.h"
#include "simwin/machine.h"
#include "simwin/win32.h"

namespace simwin {

namespace {

// A multi-line control without EM_SETTABSTOPS stops at every 32 dialog units.
const int kDefaultTabStop = 32;

struct EditState : ControlState {
    bool multiLine = false;
    bool readOnly = false;
    std::vector<int> tabStops;  // dialog units; empty: every kDefaultTabStop
    int selStart = 0, selEnd = 0;
    const Window* window = nullptr;

    void picture(std::vector<std::string>& lines) const override {
        std::string head = readOnly ? "read-only" : "editable";
        if (multiLine) {
            head += ", tab stops";
            if (tabStops.empty()) head += " every " + std::to_string(kDefaultTabStop);
            for (int t : tabStops) head += " " + std::to_string(t);
        }
        if (selStart != selEnd) head += ", selected " + std::to_string(selStart) + ".." + std::to_string(selEnd);
        lines.push_back(head);
        // Each line of the text, a tab written as "\t".
        std::string line;
        auto flush = [&] { lines.push_back("| " + line); line.clear(); };
        for (char c : window->title) {
            if (c == '\r') continue;
            if (c == '\n') flush();
            else if (c == '\t') line += "\\t";
            else line += c;
        }
        flush();
    }
};

int textLength(const Window& w) { return static_cast<int>(w.title.size()); }

// EM_SETSEL: a start of -1 takes the selection away; an end of -1 (or past the text) is the text's end.
void setSelection(const Window& w, EditState& s, WPARAM start, LPARAM end) {
    const int length = textLength(w);
    int from = static_cast<int>(start), to = static_cast<int>(end);
    if (from == -1) {
        s.selStart = s.selEnd;
        return;
    }
    if (to < 0 || to > length) to = length;
    if (from < 0 || from > length) from = length;
    if (from > to) std::swap(from, to);
    s.selStart = from;
    s.selEnd = to;
}

LRESULT getSelection(const EditState& s, WPARAM start, LPARAM end) {
    if (start) *reinterpret_cast<DWORD*>(start) = static_cast<DWORD>(s.selStart);
    if (end) *reinterpret_cast<DWORD*>(end) = static_cast<DWORD>(s.selEnd);
    return static_cast<LRESULT>(static_cast<DWORD>(MAKELONG(s.selStart, s.selEnd)));
}

// EM_SETTABSTOPS: no stops (every 32 units), one (every n units) or a list; only a multi-line control
// has them.
LRESULT setTabStops(Window& w, EditState& s, WPARAM count, LPARAM stops) {
    if (!s.multiLine) return FALSE;
    s.tabStops.clear();
    const int* given = reinterpret_cast<const int*>(stops);
    for (WPARAM i = 0; given && i < count; ++i) s.tabStops.push_back(given[i]);
    w.needsPaint = true;
    return TRUE;
}

LRESULT lineCount(const Window& w) {
    LRESULT lines = 1;
    for (char c : w.title) lines += c == '\n';
    return lines;
}

LRESULT onMessage(WindowSystem& ws, Window& w, EditState& s, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_GETDLGCODE:
        return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS | (s.multiLine ? DLGC_WANTALLKEYS : 0);
    case WM_SETTEXT: {
        const LRESULT set = DefWindowProcA(w.hwnd, msg, wParam, lParam);
        s.selStart = s.selEnd = 0;
        return set;
    }
    case EM_SETSEL: setSelection(w, s, wParam, lParam); return 0;
    case EM_GETSEL: return getSelection(s, wParam, lParam);
    case EM_SETTABSTOPS: return setTabStops(w, s, wParam, lParam);
    case EM_SETREADONLY:
        s.readOnly = wParam != 0;
        if (s.readOnly) w.style |= ES_READONLY; else w.style &= ~static_cast<DWORD>(ES_READONLY);
        return TRUE;
    case EM_GETLINECOUNT: return lineCount(w);
    case WM_COPY:
        if (s.selEnd > s.selStart) ws.clipboard = w.title.substr(s.selStart, s.selEnd - s.selStart);
        return 0;
    case WM_CHAR:
    case WM_CUT:
    case WM_PASTE:
    case WM_CLEAR:
        return 0;  // read-only, or typing that simwin does not model
    default: return DefWindowProcA(w.hwnd, msg, wParam, lParam);
    }
}

LRESULT CALLBACK EditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    WindowSystem& ws = current().windows;
    Window* w = ws.find(hwnd);
    if (!w) return 0;
    if (msg == WM_NCCREATE) {
        auto s = std::make_unique<EditState>();
        s->multiLine = (w->style & ES_MULTILINE) != 0;
        s->readOnly = (w->style & ES_READONLY) != 0;
        s->window = w;
        w->state = std::move(s);
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    auto* s = dynamic_cast<EditState*>(w->state.get());
    if (!s) return DefWindowProcA(hwnd, msg, wParam, lParam);
    return onMessage(ws, *w, *s, msg, wParam, lParam);
}

}  // namespace

void registerEditClass(WindowSystem& ws) {
    WindowClass c;
    c.name = "Edit";
    c.wndProc = EditProc;
    c.style = 0x0008 | 0x0080;  // CS_DBLCLKS | CS_PARENTDC
    c.system = true;
    ws.classes[c.name] = c;
}

}  // namespace simwin
