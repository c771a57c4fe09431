// The scripted user: reading a user file, and carrying out its actions as a person would, through the
// controls of the window at hand.
#include "simwin/scripted_user.h"

#include <algorithm>
#include <cctype>
#include <sstream>
#include <stdexcept>

#include "simwin/machine.h"
#include "simwin/win32.h"
#include "simwin/windows.h"

namespace simwin {

namespace {

struct KindName {
    UserAction::Kind kind;
    const char* name;
    bool needsTarget;
};

const KindName kKinds[] = {
    {UserAction::Press, "press", true},          {UserAction::Key, "key", true},
    {UserAction::Select, "select", false},       {UserAction::SelectAll, "select-all", false},
    {UserAction::DeselectAll, "deselect-all", false}, {UserAction::RightClick, "right-click", false},
    {UserAction::SystemMenu, "system-menu", true}, {UserAction::Menu, "menu", true},
    {UserAction::Dismiss, "dismiss", false},     {UserAction::Answer, "answer", true},
};

// Splits a line into words; a double-quoted word may hold blanks ("" inside it is one quote).
std::vector<std::string> words(const std::string& line, bool& unterminated) {
    std::vector<std::string> out;
    unterminated = false;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
        if (i >= line.size() || line[i] == '#') break;
        std::string w;
        if (line[i] == '"') {
            ++i;
            for (;;) {
                if (i >= line.size()) {
                    unterminated = true;
                    return out;
                }
                if (line[i] == '"') {
                    if (i + 1 < line.size() && line[i + 1] == '"') {
                        w += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                w += line[i++];
            }
        } else {
            while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) w += line[i++];
        }
        out.push_back(w);
    }
    return out;
}

// A text as a user file writes it: in double quotes, a quote inside doubled.
std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

bool isNumber(const std::string& s) {
    return !s.empty() && s.size() <= 9 && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The text a person reads on a control: "&" marks are not seen ("&&" is one "&").
std::string visibleText(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size()) {
            out += text[++i];
            continue;
        }
        out += text[i];
    }
    return out;
}

bool matchesTarget(const Window& w, const std::string& target) {
    if (isNumber(target)) return w.id == std::stoi(target);
    return w.title == target || visibleText(w.title) == visibleText(target);
}

// The keys a person presses: the key's virtual-key code and the modifiers held down meanwhile.
struct KeyPress {
    const char* name;
    WORD key;
    WORD modifier;  // 0: none
};
const KeyPress kKeys[] = {
    {"tab", VK_TAB, 0},          {"shift+tab", VK_TAB, VK_SHIFT}, {"up", VK_UP, 0},        {"down", VK_DOWN, 0},
    {"left", VK_LEFT, 0},        {"right", VK_RIGHT, 0},          {"home", VK_HOME, 0},    {"end", VK_END, 0},
    {"space", VK_SPACE, 0},      {"ctrl+space", VK_SPACE, VK_CONTROL}, {"apps", VK_APPS, 0},
    {"shift+f10", VK_F10, VK_SHIFT},
};

const KeyPress* keyNamed(const std::string& name) {
    for (const KeyPress& k : kKeys)
        if (name == k.name) return &k;
    return nullptr;
}

bool knownKey(const std::string& name) { return name == "enter" || name == "escape" || keyNamed(name); }

}  // namespace

std::string UserAction::describe() const {
    const KindName* k = nullptr;
    for (const KindName& candidate : kKinds)
        if (candidate.kind == kind) k = &candidate;
    std::string out = (at >= 0 ? "at " + std::to_string(at) + " " : "") + (k ? k->name : "?");
    // A target is written even when empty ("" names a button without text).
    if (k && k->needsTarget) out += " " + (isNumber(target) ? target : quoted(target));
    for (const std::string& item : items) out += " " + quoted(item);
    return out;
}

std::vector<UserAction> ScriptedUser::parse(const std::string& text, const std::string& fileName) {
    std::vector<UserAction> out;
    std::istringstream in(text);
    std::string line;
    int number = 0;
    auto fail = [&](const std::string& message) {
        throw std::runtime_error(fileName + ":" + std::to_string(number) + ": " + message);
    };
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find('\0') != std::string::npos) fail("NUL byte in the line");
        bool unterminated = false;
        std::vector<std::string> w = words(line, unterminated);
        if (unterminated) fail("a quoted text is not closed");
        if (w.empty()) continue;
        UserAction a;
        a.line = number;
        size_t i = 0;
        if (w[0] == "at") {
            if (w.size() < 3 || !isNumber(w[1])) fail("'at' needs a time in milliseconds and an action");
            a.at = std::stoll(w[1]);
            i = 2;
        }
        const KindName* kind = nullptr;
        for (const KindName& k : kKinds)
            if (w[i] == k.name) kind = &k;
        if (!kind) fail("unknown action '" + w[i] + "'");
        a.kind = kind->kind;
        std::vector<std::string> args(w.begin() + static_cast<long>(i) + 1, w.end());
        if ((a.kind == UserAction::Menu || a.kind == UserAction::Dismiss || a.kind == UserAction::Answer) && a.at >= 0)
            fail("'" + std::string(kind->name) + "' acts on an open menu or message box and takes no time");
        if (a.kind == UserAction::Select) {
            if (args.empty()) fail("'select' needs at least one item text");
            a.items = args;
        } else if (kind->needsTarget) {
            if (args.size() != 1) fail("'" + std::string(kind->name) + "' needs exactly one ID or text");
            a.target = args[0];
        } else if (!args.empty()) {
            fail("'" + std::string(kind->name) + "' takes no arguments");
        }
        if (a.kind == UserAction::Key && !knownKey(a.target))
            fail("'key' takes enter, escape, tab, shift+tab, up, down, left, right, home, end, space, ctrl+space, apps "
                 "or shift+f10");
        if (a.kind == UserAction::Answer && a.target != "yes" && a.target != "no" && a.target != "ok" && a.target != "cancel")
            fail("'answer' takes yes, no, ok or cancel");
        out.push_back(a);
    }
    return out;
}

HWND WindowSystem::findControl(HWND active, const std::string& className, const std::string& idOrText) const {
    std::vector<HWND> pending{active};
    while (!pending.empty()) {
        const Window* w = find(pending.front());
        pending.erase(pending.begin());
        if (!w) continue;
        for (HWND c : w->children) {
            const Window* child = find(c);
            if (!child || !reallyVisible(*child)) continue;
            if (iequals(child->className, className) && (idOrText.empty() || matchesTarget(*child, idOrText))) return c;
            pending.push_back(c);
        }
    }
    return nullptr;
}

namespace {

// The items of a list view whose text is one of the names become selected, every other one not.
void selectItems(WindowSystem& ws, HWND list, const std::vector<std::string>* names, bool all) {
    int count = static_cast<int>(ws.send(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        bool selected = all;
        if (names) {
            char text[1024] = "";
            LVITEMA item{};
            item.iSubItem = 0;
            item.pszText = text;
            item.cchTextMax = sizeof text;
            ws.send(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
            selected = std::find(names->begin(), names->end(), std::string(text)) != names->end();
        }
        LVITEMA state{};
        state.stateMask = LVIS_SELECTED;
        state.state = selected ? LVIS_SELECTED : 0;
        ws.send(list, LVM_SETITEMSTATE, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&state));
    }
}

std::vector<std::string> listTexts(WindowSystem& ws, HWND list) {
    std::vector<std::string> out;
    int count = static_cast<int>(ws.send(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char text[1024] = "";
        LVITEMA item{};
        item.pszText = text;
        item.cchTextMax = sizeof text;
        ws.send(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
        out.push_back(text);
    }
    return out;
}

}  // namespace

void WindowSystem::perform(const UserAction& a, HWND active) {
    std::string where = " in " + windowLabel(active);
    auto stop = [&](const std::string& why) {
        throw UserStop("user" + (a.line ? " (line " + std::to_string(a.line) + ")" : std::string()) + ": cannot " +
                       a.describe() + where + ": " + why);
    };
    if (!find(active)) stop("no window is active");
    HWND acted = active;
    switch (a.kind) {
    case UserAction::Press: {
        HWND button = findControl(active, "Button", a.target);
        if (!button) stop("there is no such button");
        if (!IsWindowEnabled(button)) stop("the button is disabled");
        send(button, BM_CLICK, 0, 0);
        break;
    }
    case UserAction::Key: {
        HWND target = focus && (focus == active || isDescendant(active, focus)) ? focus : active;
        if (a.target == "enter" || a.target == "escape") {
            post(target, WM_KEYDOWN, a.target == "enter" ? VK_RETURN : VK_ESCAPE, 0);
            break;
        }
        // Pressed and released as on a keyboard: the modifier goes down first and up last.
        const KeyPress* k = keyNamed(a.target);
        if (!k) stop("no such key");
        if (k->modifier) keyInput(k->modifier, false);
        keyInput(k->key, false);
        keyInput(k->key, true);
        if (k->modifier) keyInput(k->modifier, true);
        break;
    }
    case UserAction::Select:
    case UserAction::SelectAll:
    case UserAction::DeselectAll: {
        HWND list = findControl(active, "SysListView32", "");
        if (!list) stop("there is no list");
        if (a.kind == UserAction::Select) {
            std::vector<std::string> texts = listTexts(*this, list);
            for (const std::string& name : a.items)
                if (std::find(texts.begin(), texts.end(), name) == texts.end()) stop("the list has no item \"" + name + "\"");
        }
        selectItems(*this, list, a.kind == UserAction::Select ? &a.items : nullptr, a.kind == UserAction::SelectAll);
        break;
    }
    case UserAction::RightClick: {
        HWND list = findControl(active, "SysListView32", "");
        if (!list) stop("there is no list");
        // A person right-clicks a selected item, which keeps the selection; with nothing selected, an
        // empty spot of the list (a click on an item would select it). On the item's label: in report
        // view a click on another column's text is not on the item.
        RECT r = clientScreenRect(*find(list));
        int item = static_cast<int>(send(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
        RECT itemRect{LVIR_LABEL, 0, 0, 0};
        if (item >= 0 && send(list, LVM_GETITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&itemRect))) {
            POINT inside{(itemRect.left + itemRect.right) / 2, (itemRect.top + itemRect.bottom) / 2};
            ClientToScreen(list, &inside);
            cursorPos = inside;
        } else {
            cursorPos = POINT{r.right - 3, r.bottom - 3};
        }
        POINT client = cursorPos;
        ScreenToClient(list, &client);
        post(list, WM_RBUTTONDOWN, 0x0002, MAKELONG(client.x, client.y));
        post(list, WM_RBUTTONUP, 0, MAKELONG(client.x, client.y));
        break;
    }
    case UserAction::SystemMenu: {
        HMENU menu = GetSystemMenu(active, FALSE);
        if (!menu) stop("the window has no system menu");
        int count = GetMenuItemCount(menu);
        UINT command = 0;
        for (int i = 0; i < count && !command; ++i) {
            UINT id = GetMenuItemID(menu, i);
            char text[512] = "";
            GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
            bool match = isNumber(a.target) ? id == static_cast<UINT>(std::stoul(a.target))
                                            : visibleText(text) == visibleText(a.target);
            if (!match) continue;
            if (GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED)) stop("the item is greyed");
            command = id;
        }
        if (!command) stop("the system menu has no such item");
        post(active, WM_SYSCOMMAND, command, MAKELONG(cursorPos.x, cursorPos.y));
        break;
    }
    case UserAction::Menu:
    case UserAction::Dismiss: stop("no menu is open"); break;
    case UserAction::Answer: stop("no message box is open"); break;
    }
    showPending = acted;
}

}  // namespace simwin
