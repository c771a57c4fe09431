// Modal loops: posted messages first, then paints, then the next due timer (the clock jumps to it),
// then the scripted user's next action. Nested loops (a message box inside a timer step, a dialog
// inside a dialog) run the same steps for the window at hand.
#include <algorithm>

#include "simwin/machine.h"
#include "simwin/windows.h"

namespace simwin {

namespace {

// Steps without the clock moving or the user acting after which a loop is taken to spin by itself.
const int kSpinLimit = 1000000;

}  // namespace

void WindowSystem::messageTaken(MSG& msg) {
    std::vector<std::pair<HHOOK, HOOKPROC>> hooks = getMessageHooks;
    for (auto& h : hooks) h.second(HC_ACTION, PM_REMOVE, reinterpret_cast<LPARAM>(&msg));
}

bool WindowSystem::firePaint() {
    for (auto& [h, w] : byHandle) {
        if (w->destroyed || !w->needsPaint) continue;
        w->needsPaint = false;
        if (!reallyVisible(*w)) continue;
        // A loop takes WM_PAINT as it takes a queued message (the hooks see it), when nothing is queued.
        MSG m{};
        m.hwnd = h;
        m.message = WM_PAINT;
        m.time = static_cast<DWORD>(current().clock.ms);
        m.pt = cursorPos;
        messageTaken(m);
        send(h, WM_PAINT, 0, 0);
        return true;
    }
    return false;
}

bool WindowSystem::fireTimer(uint64_t timeLimit) {
    auto due = std::min_element(timers.begin(), timers.end(), [](const Timer& a, const Timer& b) { return a.due < b.due; });
    if (due == timers.end() || due->due > timeLimit) return false;
    Clock& clock = current().clock;
    clock.advanceTo(due->due);
    Timer t = *due;
    due->due = clock.ms + t.period;
    MSG m{};
    m.hwnd = t.hwnd;
    m.message = WM_TIMER;
    m.wParam = t.id;
    m.lParam = reinterpret_cast<LPARAM>(t.proc);
    m.time = static_cast<DWORD>(clock.ms);
    m.pt = cursorPos;
    messagePos = static_cast<DWORD>(MAKELONG(cursorPos.x, cursorPos.y));
    messageTaken(m);
    dispatch(m, modalStack.empty() ? nullptr : modalStack.back());
    return true;
}

void WindowSystem::dispatch(const MSG& m, HWND active) {
    const bool inDialog = active && (m.hwnd == active || isDescendant(active, m.hwnd));
    if (m.message == WM_KEYDOWN && inDialog && (m.wParam == VK_ESCAPE || m.wParam == VK_RETURN)) {
        pressKey(active, static_cast<int>(m.wParam));
        return;
    }
    if (m.message == WM_KEYDOWN && inDialog && m.wParam == VK_TAB && tabKey(active, m.hwnd)) return;
    if (m.message == WM_TIMER && m.lParam) {
        reinterpret_cast<TIMERPROC>(m.lParam)(m.hwnd, WM_TIMER, m.wParam, m.time);
        return;
    }
    if (m.hwnd && find(m.hwnd)) send(m.hwnd, m.message, m.wParam, m.lParam);
}

WindowSystem::Step WindowSystem::step(HWND active, uint64_t timeLimit, bool userMayAct) {
    if (!queue.empty()) {
        MSG m = queue.front();
        queue.pop_front();
        messagePos = static_cast<DWORD>(MAKELONG(m.pt.x, m.pt.y));
        messageTaken(m);
        dispatch(m, active);
        return Step::Message;
    }
    MSG key{};
    if (takeInput(key, nullptr)) {
        messagePos = static_cast<DWORD>(MAKELONG(key.pt.x, key.pt.y));
        messageTaken(key);
        dispatch(key, active);
        return Step::Message;
    }
    if (firePaint()) return Step::Paint;
    if (showPending) {
        HWND acted = find(showPending) ? showPending : active;
        showPending = nullptr;
        if (user.show && find(acted)) user.show(picture(acted));
    }
    uint64_t nextDue = UINT64_MAX;
    for (const Timer& t : timers) nextDue = std::min(nextDue, t.due);
    const UserAction* action = userMayAct ? user.next() : nullptr;
    Clock& clock = current().clock;
    auto act = [&]() {
        UserAction a = *action;
        user.actions.pop_front();
        if (a.at >= 0) clock.advanceTo(static_cast<uint64_t>(a.at));
        perform(a, active);
        return Step::User;
    };
    if (action && action->at >= 0 && static_cast<uint64_t>(action->at) <= std::min(nextDue, timeLimit)) return act();
    if (fireTimer(timeLimit)) return Step::Timer;
    if (timeLimit != UINT64_MAX) return Step::None;
    if (action) return act();
    return Step::None;
}

std::string WindowSystem::windowLabel(HWND hwnd) const {
    const Window* w = find(hwnd);
    if (!w) return "(no window)";
    std::string label = "\"" + w->title + "\"";
    if (!w->templateName.empty()) label += " (dialog " + w->templateName + ")";
    return label;
}

void WindowSystem::runModal(HWND dialog) {
    modalStack.push_back(dialog);
    bool shown = false;
    int spins = 0;
    uint64_t lastClock = current().clock.ms;
    try {
        for (;;) {
            Window* w = find(dialog);
            if (!w || w->ended) break;
            if (!shown && queue.empty()) {
                // A modal dialog is shown the first time its queue goes empty.
                shown = true;
                if (!w->visible()) {
                    ShowWindow(dialog, SW_SHOWNORMAL);
                    // The dialog refused to be shown (WM_WINDOWPOSCHANGING): a person sees nothing of it.
                    Window* after = find(dialog);
                    if (after && !after->visible())
                        current().transcript.add("window " + windowLabel(dialog) + " stays hidden");
                }
                continue;
            }
            Step s = step(dialog);
            if (s == Step::None)
                throw UserStop("the tool waits for the user in " + windowLabel(dialog) + " and nothing more is scripted");
            if (s == Step::User || current().clock.ms != lastClock) {
                spins = 0;
                lastClock = current().clock.ms;
            } else if (++spins > kSpinLimit) {
                throw UserStop("the tool keeps sending itself messages in " + windowLabel(dialog) +
                               " without waiting for anything");
            }
        }
    } catch (...) {
        modalStack.pop_back();
        throw;
    }
    modalStack.pop_back();
}

void WindowSystem::pressKey(HWND dialog, int virtualKey) {
    if (virtualKey == VK_ESCAPE) {
        send(dialog, WM_COMMAND, MAKELONG(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(child(dialog, IDCANCEL)));
        return;
    }
    // Enter: the focused default button, else the dialog's default ID, else IDOK.
    Window* f = find(focus);
    if (f && isDescendant(dialog, focus) && (send(focus, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON)) {
        send(dialog, WM_COMMAND, MAKELONG(f->id, BN_CLICKED), reinterpret_cast<LPARAM>(focus));
        return;
    }
    LRESULT def = send(dialog, DM_GETDEFID, 0, 0);
    if (HIWORD(def) == DC_HASDEFID) {
        HWND button = child(dialog, LOWORD(def));
        if (!button || IsWindowEnabled(button))
            send(dialog, WM_COMMAND, MAKELONG(LOWORD(def), BN_CLICKED), reinterpret_cast<LPARAM>(button));
        return;
    }
    send(dialog, WM_COMMAND, IDOK, reinterpret_cast<LPARAM>(child(dialog, IDOK)));
}

}  // namespace simwin
