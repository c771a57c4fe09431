// Recording the messages a window procedure receives and comparing them with an expected table, in the
// manner of Wine's message tests: each entry is {message, sent|posted, wParam or id}.
//
// Sent or posted: a posted message is one the thread's message loop took from the queue (GetMessage or
// PeekMessage with PM_REMOVE) and dispatched; a sent one reached the procedure directly. The recorder
// tells them apart with a WH_GETMESSAGE hook: a message the procedure receives while it is the one the
// loop last removed from the queue is posted. Only messages of the window (or windows) a test records are
// compared, and each test chooses which messages it records, so unrelated traffic (painting, activation)
// never enters a table.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "base/platform.h"

namespace msgseq {

enum Path { sent, posted };

struct Message {
    UINT message;
    Path path;
    WPARAM id;  // wParam, or what the test records instead of a handle (a control ID, a timer ID, 0)
    bool operator==(const Message& o) const { return message == o.message && path == o.path && id == o.id; }
};

// One LVN_ITEMCHANGING/LVN_ITEMCHANGED notification as a list view's parent receives it in WM_NOTIFY.
struct ItemChange {
    UINT code;
    int item;
    UINT newState;
    UINT oldState;
    UINT changed;
    bool operator==(const ItemChange& o) const {
        return code == o.code && item == o.item && newState == o.newState && oldState == o.oldState &&
               changed == o.changed;
    }
};

inline std::string messageName(UINT m) {
    switch (m) {
    case WM_SETFONT: return "WM_SETFONT";
    case WM_INITDIALOG: return "WM_INITDIALOG";
    case WM_SHOWWINDOW: return "WM_SHOWWINDOW";
    case WM_TIMER: return "WM_TIMER";
    case WM_COMMAND: return "WM_COMMAND";
    case WM_CLOSE: return "WM_CLOSE";
    case WM_NOTIFY: return "WM_NOTIFY";
    case WM_NOTIFYFORMAT: return "WM_NOTIFYFORMAT";
    case WM_DESTROY: return "WM_DESTROY";
    case WM_SYSCOMMAND: return "WM_SYSCOMMAND";
    default: break;
    }
    char text[32];
    if (m >= WM_APP && m < WM_APP + 0x100)
        std::snprintf(text, sizeof text, "WM_APP+%u", m - WM_APP);
    else
        std::snprintf(text, sizeof text, "0x%04x", m);
    return text;
}

inline std::string describe(const Message& m) {
    char text[96];
    std::snprintf(text, sizeof text, "{%s, %s, %llu}", messageName(m.message).c_str(),
                  m.path == sent ? "sent" : "posted", static_cast<unsigned long long>(m.id));
    return text;
}

inline std::string describe(const ItemChange& c) {
    char text[128];
    std::snprintf(text, sizeof text, "{%s, item %d, new 0x%x, old 0x%x, changed 0x%x}",
                  c.code == LVN_ITEMCHANGED ? "LVN_ITEMCHANGED" : c.code == LVN_ITEMCHANGING ? "LVN_ITEMCHANGING" : "?",
                  c.item, c.newState, c.oldState, c.changed);
    return text;
}

// Empty when both tables are equal; otherwise both tables side by side, the first difference marked.
template <class Entry>
std::string compare(const std::vector<Entry>& expected, const std::vector<Entry>& actual) {
    if (expected == actual) return "";
    std::string out = "message sequence differs (expected | actual):\n";
    size_t rows = expected.size() > actual.size() ? expected.size() : actual.size();
    bool marked = false;
    for (size_t i = 0; i < rows; ++i) {
        std::string e = i < expected.size() ? describe(expected[i]) : "-";
        std::string a = i < actual.size() ? describe(actual[i]) : "-";
        bool differs = !(i < expected.size() && i < actual.size() && expected[i] == actual[i]);
        out += (differs && !marked ? "  >> " : "     ") + e + std::string(e.size() < 40 ? 40 - e.size() : 1, ' ') +
               "| " + a + "\n";
        marked = marked || differs;
    }
    return out;
}

// Records messages of one thread. Install it (one at a time per thread) for the duration of a test; the
// window procedures under test call record() for the messages they want in the table.
class Recorder {
public:
    Recorder() {
        current_ = this;
        hook_ = SetWindowsHookExA(WH_GETMESSAGE, &Recorder::getMessageHook, nullptr, GetCurrentThreadId());
    }
    ~Recorder() {
        if (hook_) UnhookWindowsHookEx(hook_);
        current_ = nullptr;
    }
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    bool hooked() const { return hook_ != nullptr; }

    // The entry of a message a window procedure has just received; `id` is what the table holds for it.
    Message entry(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, WPARAM id) {
        return {message, takePosted(hwnd, message, wParam, lParam) ? posted : sent, id};
    }
    // Appends that entry to `messages`.
    void record(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, WPARAM id) {
        messages.push_back(entry(hwnd, message, wParam, lParam, id));
    }
    void record(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) { record(hwnd, message, wParam, lParam, wParam); }

    // Whether this message is the one the loop just removed from the queue (and forgets it: a second,
    // identical message sent from its handler is sent).
    bool takePosted(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        bool match = havePending_ && pending_.hwnd == hwnd && pending_.message == message &&
                     pending_.wParam == wParam && pending_.lParam == lParam;
        if (match) havePending_ = false;
        return match;
    }

    std::vector<Message> messages;
    std::vector<ItemChange> changes;

    static Recorder* current() { return current_; }

private:
    static LRESULT CALLBACK getMessageHook(int code, WPARAM removed, LPARAM lParam) {
        if (code == HC_ACTION && removed == PM_REMOVE && current_) {
            current_->pending_ = *reinterpret_cast<const MSG*>(lParam);
            current_->havePending_ = true;
        }
        return CallNextHookEx(nullptr, code, removed, lParam);
    }

    static inline Recorder* current_ = nullptr;
    HHOOK hook_ = nullptr;
    MSG pending_{};
    bool havePending_ = false;
};

// Records an LVN_ITEMCHANGING/LVN_ITEMCHANGED notification of WM_NOTIFY's lParam; other codes are ignored.
inline void recordItemChange(Recorder& recorder, LPARAM lParam) {
    const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header->code != static_cast<UINT>(LVN_ITEMCHANGED) && header->code != static_cast<UINT>(LVN_ITEMCHANGING))
        return;
    const NMLISTVIEW* lv = reinterpret_cast<const NMLISTVIEW*>(lParam);
    recorder.changes.push_back({header->code, lv->iItem, lv->uNewState, lv->uOldState, lv->uChanged});
}

}  // namespace msgseq
