// The window tree: windows and classes, creation and destruction, the sent and posted message paths,
// timers, and the stand-in windows of other programs.
#include "simwin/windows.h"

#include <algorithm>

#include "simwin/machine.h"
#include "simwin/util.h"

namespace simwin {

namespace {

std::string describe(const Window& w) { return w.className + (w.title.empty() ? "" : " \"" + w.title + "\""); }

const int kDesktopWidth = 1024;
const int kDesktopHeight = 768;

}  // namespace

WindowSystem::WindowSystem() {
    // The system dialog class, of which the tool registers a renamed copy.
    WindowClass dialog;
    dialog.name = "#32770";
    dialog.wndProc = DefDlgProcA;
    dialog.style = 0x0008 | 0x0800;  // CS_DBLCLKS | CS_SAVEBITS
    dialog.wndExtra = 30;            // DLGWINDOWEXTRA
    dialog.system = true;
    classes[dialog.name] = dialog;
    WindowClass standIn;
    standIn.name = "#stand-in";
    standIn.wndProc = StandInWindowProc;
    standIn.system = true;
    classes[standIn.name] = standIn;
    registerControlClasses(*this);

    auto d = std::make_unique<Window>();
    d->hwnd = desktop = newHandle();
    d->className = "#32769";
    d->style = WS_VISIBLE | WS_POPUP | WS_CLIPCHILDREN;
    d->rect = RECT{0, 0, kDesktopWidth, kDesktopHeight};
    byHandle[desktop] = std::move(d);
}

HWND WindowSystem::newHandle() {
    HWND h = reinterpret_cast<HWND>(nextHwnd_);
    nextHwnd_ += 0x10;
    return h;
}

Window* WindowSystem::find(HWND hwnd) {
    auto it = byHandle.find(hwnd);
    return it == byHandle.end() || it->second->destroyed ? nullptr : it->second.get();
}

const Window* WindowSystem::find(HWND hwnd) const {
    auto it = byHandle.find(hwnd);
    return it == byHandle.end() || it->second->destroyed ? nullptr : it->second.get();
}

Window* WindowSystem::findByClass(const std::string& className) {
    for (HWND h : zOrder) {
        Window* w = find(h);
        if (w && iequals(w->className, className)) return w;
    }
    return nullptr;
}

std::vector<Window*> WindowSystem::standInWindows() {
    std::vector<Window*> out;
    for (auto& [h, w] : byHandle)
        if (w->foreign) out.push_back(w.get());
    return out;
}

void Window::coverDrawn(const RECT& r) {
    auto inside = [&](const DrawnImage& d) {
        return d.rect.left >= r.left && d.rect.top >= r.top && d.rect.right <= r.right && d.rect.bottom <= r.bottom;
    };
    drawn.erase(std::remove_if(drawn.begin(), drawn.end(), inside), drawn.end());
    drawnList = drawn.empty() ? nullptr : drawn.back().list;
    drawnImage = drawn.empty() ? -1 : drawn.back().image;
}

void Window::addDrawn(const DrawnImage& d) {
    drawn.push_back(d);
    drawnList = d.list;
    drawnImage = d.image;
}

Window& WindowSystem::add(const std::string& className, const std::string& title, bool foreign) {
    auto w = std::make_unique<Window>();
    w->hwnd = newHandle();
    w->className = className;
    w->title = title;
    w->foreign = foreign;
    w->style = WS_VISIBLE | WS_POPUP;
    w->rect = RECT{100, 100, 400, 300};
    w->wndProc = foreign ? StandInWindowProc : DefWindowProcA;
    Window& ref = *w;
    zOrder.push_back(w->hwnd);
    byHandle[w->hwnd] = std::move(w);
    return ref;
}

HWND WindowSystem::create(DWORD exStyle, const std::string& className, const std::string& title, DWORD style,
                          RECT rect, HWND parent, int id, HINSTANCE instance, LPVOID param) {
    auto cls = classes.find(className);
    if (cls == classes.end()) {
        current().lastError = ERROR_CANNOT_FIND_WND_CLASS;
        return nullptr;
    }
    Window* parentWindow = parent ? find(parent) : nullptr;
    if (parent && !parentWindow) {
        current().lastError = ERROR_INVALID_WINDOW_HANDLE;
        return nullptr;
    }
    if ((style & WS_CHILD) && !parentWindow) {
        current().lastError = ERROR_TLW_WITH_WSCHILD;
        return nullptr;
    }
    auto w = std::make_unique<Window>();
    HWND hwnd = w->hwnd = newHandle();
    w->className = cls->second.name;
    w->title = title;
    w->style = style;
    w->exStyle = exStyle;
    w->rect = rect;
    w->instance = instance;
    w->wndProc = cls->second.wndProc;
    if (style & WS_CHILD) {
        w->parent = parent;
        w->id = id;
        parentWindow->children.push_back(hwnd);
    } else {
        // The owner of a top-level window is always a top-level window.
        HWND owner = parent;
        while (owner && find(owner) && find(owner)->isChild()) owner = find(owner)->parent;
        w->owner = owner;
        zOrder.insert(zOrder.begin(), hwnd);
    }
    if (style & WS_CAPTION) w->frame = RECT{3, 25, 3, 3};
    else if (style & (WS_DLGFRAME | WS_THICKFRAME)) w->frame = RECT{3, 3, 3, 3};
    else if (style & WS_BORDER) w->frame = RECT{1, 1, 1, 1};
    if (exStyle & WS_EX_CLIENTEDGE) {
        w->frame.left += 2, w->frame.top += 2, w->frame.right += 2, w->frame.bottom += 2;
    }
    byHandle[hwnd] = std::move(w);

    CREATESTRUCTA cs{};
    cs.lpCreateParams = param;
    cs.hInstance = instance;
    cs.hwndParent = parent;
    cs.x = rect.left;
    cs.y = rect.top;
    cs.cx = rect.right - rect.left;
    cs.cy = rect.bottom - rect.top;
    cs.style = static_cast<LONG>(style);
    cs.lpszName = title.c_str();
    cs.lpszClass = className.c_str();
    cs.dwExStyle = exStyle;
    LPARAM lp = reinterpret_cast<LPARAM>(&cs);
    if (!send(hwnd, WM_NCCREATE, 0, lp) || send(hwnd, WM_CREATE, 0, lp) == -1) {
        destroy(hwnd);
        current().lastError = ERROR_CANNOT_FIND_WND_CLASS;
        return nullptr;
    }
    return hwnd;
}

void WindowSystem::unlinkFromParent(Window& w) {
    if (Window* p = find(w.parent)) p->children.erase(std::remove(p->children.begin(), p->children.end(), w.hwnd), p->children.end());
    zOrder.erase(std::remove(zOrder.begin(), zOrder.end(), w.hwnd), zOrder.end());
}

void WindowSystem::destroy(HWND hwnd) {
    Window* w = find(hwnd);
    if (!w) return;
    // Owned windows go first, then the window itself, then its children.
    std::vector<HWND> owned;
    for (HWND h : zOrder)
        if (Window* o = find(h); o && o->owner == hwnd) owned.push_back(h);
    for (HWND h : owned) destroy(h);
    if (w->visible()) {
        w->style &= ~WS_VISIBLE;
    }
    // Another program's window is destroyed by that program: the tool's messages are not involved.
    if (!w->foreign) send(hwnd, WM_DESTROY, 0, 0);
    std::vector<HWND> children = w->children;
    for (HWND c : children) destroy(c);
    if (Window* again = find(hwnd); again && !again->foreign) send(hwnd, WM_NCDESTROY, 0, 0);
    // The window's copy of the system menu goes with it.
    if (w->systemMenu) current().menus.destroy(w->systemMenu);
    w->systemMenu = nullptr;
    timers.erase(std::remove_if(timers.begin(), timers.end(), [&](const Timer& t) { return t.hwnd == hwnd; }),
                 timers.end());
    if (focus == hwnd) focus = nullptr;
    if (foreground == hwnd) foreground = nullptr;
    unlinkFromParent(*w);
    w->destroyed = true;
    w->state.reset();
}

RECT WindowSystem::screenRect(const Window& w) const {
    RECT r = w.rect;
    if (const Window* p = w.isChild() ? find(w.parent) : nullptr) {
        RECT pc = clientScreenRect(*p);
        r.top += pc.top, r.bottom += pc.top;
        // In a right-to-left parent the x axis of the client area runs leftwards from its right edge.
        if (p->exStyle & WS_EX_LAYOUTRTL) {
            LONG left = pc.right - r.right;
            r.right = pc.right - r.left;
            r.left = left;
        } else {
            r.left += pc.left, r.right += pc.left;
        }
    }
    return r;
}

RECT WindowSystem::clientScreenRect(const Window& w) const {
    RECT r = screenRect(w);
    r.left += w.frame.left;
    r.top += w.frame.top;
    r.right -= w.frame.right;
    r.bottom -= w.frame.bottom;
    if (r.right < r.left) r.right = r.left;
    if (r.bottom < r.top) r.bottom = r.top;
    return r;
}

bool WindowSystem::isDescendant(HWND ancestor, HWND hwnd) const {
    for (const Window* w = find(hwnd); w && w->isChild(); w = find(w->parent))
        if (w->parent == ancestor) return true;
    return false;
}

bool WindowSystem::reallyVisible(const Window& w) const {
    for (const Window* p = &w; p; p = p->isChild() ? find(p->parent) : nullptr)
        if (!p->visible()) return false;
    return true;
}

LRESULT WindowSystem::send(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window* w = find(hwnd);
    if (!w) {
        current().lastError = ERROR_INVALID_WINDOW_HANDLE;
        return 0;
    }
    if (w->foreign) {
        std::string name = messageName(msg);
        w->received.push_back(name + " lParam=" + std::to_string(lParam));
        current().transcript.add(name + " sent to " + describe(*w) + " (lParam " + std::to_string(lParam) + ")");
        // The programs of the driver family close when asked.
        if (msg == WM_CLOSE) destroy(hwnd);
        return 0;
    }
    WNDPROC proc = w->wndProc ? w->wndProc : DefWindowProcA;
    return proc(hwnd, msg, wParam, lParam);
}

void WindowSystem::post(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window* w = find(hwnd);
    if (w && w->foreign) {
        // Another program's queue: it takes the message at once.
        w->received.push_back(messageName(msg) + " lParam=" + std::to_string(lParam));
        if (msg == WM_CLOSE) destroy(hwnd);
        return;
    }
    MSG m{};
    m.hwnd = hwnd;
    m.message = msg;
    m.wParam = wParam;
    m.lParam = lParam;
    m.time = static_cast<DWORD>(current().clock.ms);
    m.pt = cursorPos;
    queue.push_back(m);
}

UINT WindowSystem::registerMessage(const std::string& name) {
    for (size_t i = 0; i < registeredMessages.size(); ++i)
        if (iequals(registeredMessages[i], name)) return static_cast<UINT>(0xC000 + i);
    registeredMessages.push_back(name);
    return static_cast<UINT>(0xC000 + registeredMessages.size() - 1);
}

std::string WindowSystem::messageName(UINT msg) const {
    if (msg >= 0xC000 && msg - 0xC000 < registeredMessages.size()) return registeredMessages[msg - 0xC000];
    switch (msg) {
    case WM_CLOSE: return "WM_CLOSE";
    case WM_WININICHANGE: return "WM_WININICHANGE";
    case WM_COMMAND: return "WM_COMMAND";
    case WM_SYSCOMMAND: return "WM_SYSCOMMAND";
    case WM_TIMER: return "WM_TIMER";
    default: return "message " + std::to_string(msg);
    }
}

UINT_PTR WindowSystem::setTimer(HWND hwnd, UINT_PTR id, UINT period, TIMERPROC proc) {
    if (hwnd && !find(hwnd)) {
        current().lastError = ERROR_INVALID_WINDOW_HANDLE;
        return 0;
    }
    if (period < 10) period = 10;  // USER_TIMER_MINIMUM
    if (!hwnd) {
        // Thread timers get an ID of their own.
        id = 0x7FFF;
        while (std::any_of(timers.begin(), timers.end(), [&](const Timer& t) { return !t.hwnd && t.id == id; })) ++id;
    }
    uint64_t due = current().clock.ms + period;
    for (Timer& t : timers) {
        if (t.hwnd == hwnd && t.id == id) {
            t.period = period;
            t.due = due;
            t.proc = proc;
            return hwnd ? 1 : id;
        }
    }
    timers.push_back(Timer{hwnd, id, period, due, proc});
    return hwnd ? 1 : id;
}

bool WindowSystem::killTimer(HWND hwnd, UINT_PTR id) {
    for (size_t i = 0; i < timers.size(); ++i) {
        if (timers[i].hwnd == hwnd && timers[i].id == id) {
            timers.erase(timers.begin() + static_cast<long>(i));
            // A WM_TIMER of it that is already queued is not delivered any more.
            queue.erase(std::remove_if(queue.begin(), queue.end(),
                                       [&](const MSG& m) { return m.message == WM_TIMER && m.hwnd == hwnd && m.wParam == id; }),
                        queue.end());
            return true;
        }
    }
    current().lastError = hwnd && !find(hwnd) ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_PARAMETER;
    return false;
}

void WindowSystem::load(const IniDoc& doc) {
    for (const IniSection* s : doc.all("window")) {
        std::string cls = s->get("class");
        if (cls.empty()) throw MachineError("[window] without class");
        Window& w = add(cls, s->get("title"), true);
        for (auto& e : s->entries)
            if (iequals(e.first, "received")) w.received.push_back(e.second);
    }
}

void WindowSystem::save(IniDoc& doc) const {
    // Stand-in windows in their order of declaration; closed ones are gone.
    for (auto& [h, w] : byHandle) {
        if (!w->foreign || w->destroyed) continue;
        IniSection& s = doc.add("window");
        s.add("class", w->className);
        if (!w->title.empty()) s.add("title", w->title);
        for (auto& r : w->received) s.add("received", r);
    }
}

LRESULT CALLBACK StandInWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace simwin

namespace simwin {

HWND WindowSystem::child(HWND parent, int id) const {
    const Window* p = find(parent);
    if (!p) return nullptr;
    for (HWND c : p->children)
        if (const Window* w = find(c); w && w->id == id) return c;
    return nullptr;
}

HWND WindowSystem::root(HWND hwnd) const {
    const Window* w = find(hwnd);
    while (w && w->isChild() && find(w->parent)) w = find(w->parent);
    return w ? w->hwnd : nullptr;
}

}  // namespace simwin
