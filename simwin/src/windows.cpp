#include "simwin/windows.h"

#include <algorithm>

#include "simwin/util.h"

namespace simwin {

WindowSystem::WindowSystem() {
    // The system dialog class, of which the tool registers a renamed copy.
    classes["#32770"] = WindowClass{"#32770", nullptr, 0x0008 | 0x0800, 0, 30};
}

Window* WindowSystem::find(HWND hwnd) {
    for (auto& w : windows)
        if (w.hwnd == hwnd && !w.destroyed) return &w;
    return nullptr;
}

Window* WindowSystem::findByClass(const std::string& className) {
    for (auto& w : windows)
        if (!w.destroyed && iequals(w.className, className)) return &w;
    return nullptr;
}

Window& WindowSystem::add(const std::string& className, const std::string& title, bool foreign) {
    Window w;
    w.hwnd = reinterpret_cast<HWND>(nextHwnd_);
    nextHwnd_ += 0x10;
    w.className = className;
    w.title = title;
    w.foreign = foreign;
    windows.push_back(w);
    return windows.back();
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
    case 0x0010: return "WM_CLOSE";
    case 0x001A: return "WM_WININICHANGE";
    default: return "message " + std::to_string(msg);
    }
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
    for (auto& w : windows) {
        if (!w.foreign || w.destroyed) continue;
        IniSection& s = doc.add("window");
        s.add("class", w.className);
        if (!w.title.empty()) s.add("title", w.title);
        for (auto& r : w.received) s.add("received", r);
    }
}

}  // namespace simwin
