// The headless window system: top-level windows by class (the tool's own and those of
// other programs), window classes, registered messages and broadcasts, a virtual clock, and
// the scripted user who answers message boxes.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "simwin/ini.h"
#include "simwin/types.h"
#include "simwin/util.h"

namespace simwin {

struct Window {
    HWND hwnd = nullptr;
    std::string className;
    std::string title;
    bool foreign = true;  // belongs to another program
    bool visible = true;
    int showCommand = -1;  // last ShowWindow command, -1 none
    bool destroyed = false;
    // Messages it received from the tool, in order: "WM_CLOSE lParam=0", "registered KORunClose04".
    std::vector<std::string> received;
    std::map<int, LONG_PTR> longs;  // SetWindowLongPtrA slots
    bool ended = false;             // EndDialog was called
    INT_PTR result = 0;             // ... with this result
};

struct WindowClass {
    std::string name;
    void* wndProc = nullptr;
    UINT style = 0;
    int clsExtra = 0, wndExtra = 0;
};

class WindowSystem {
public:
    WindowSystem();

    std::vector<Window> windows;  // z-order, top first
    std::map<std::string, WindowClass, ILess> classes;
    std::vector<std::string> registeredMessages;  // index i has value 0xC000 + i
    HWND foreground = nullptr;
    uint64_t clockMs = 0;  // virtual time since start

    // Scripted answers to yes/no message boxes, in order; when none are left the answer is no.
    std::deque<bool> answers;

    Window* find(HWND hwnd);
    Window* findByClass(const std::string& className);
    Window& add(const std::string& className, const std::string& title, bool foreign);
    UINT registerMessage(const std::string& name);
    std::string messageName(UINT msg) const;

    // [window] sections: class, title.
    void load(const IniDoc& doc);
    void save(IniDoc& doc) const;

private:
    uintptr_t nextHwnd_ = 0x10010;
};

}  // namespace simwin
