// Menus on the current machine: the menu table, the menu functions of user32, and TrackPopupMenu, whose
// nested step lets the scripted user pick an item of the open menu.
#include "simwin/menus.h"

#include <algorithm>
#include <cstring>

#include "simwin/machine.h"
#include "simwin/modules.h"
#include "simwin/win32.h"
#include "simwin/windows.h"

using simwin::current;

namespace simwin {

namespace {

// The type and state bits an item takes from the flags of InsertMenuA, as user32 sorts them.
const UINT kTypeMask = MFT_STRING | MFT_BITMAP | MFT_OWNERDRAW | MFT_SEPARATOR | MFT_MENUBARBREAK | MFT_MENUBREAK |
                       MFT_RADIOCHECK | 0x2000 /* MFT_RIGHTORDER */ | 0x4000 /* MFT_RIGHTJUSTIFY */;
const UINT kStateMask = ~(kTypeMask | MF_POPUP | MF_SYSMENU | MF_BYPOSITION | MF_MOUSESELECT);
// MF_END marks the last item of a level in a compiled MENU resource; it shares its value with MF_HILITE.
const UINT kMenuEnd = 0x0080;

MenuItem makeItem(UINT flags, UINT_PTR id, LPCSTR text, bool submenuExists) {
    MenuItem item;
    if (!(flags & (MFT_BITMAP | MFT_OWNERDRAW | MFT_SEPARATOR))) {
        // A string item without a text is a separator.
        if (text)
            item.text = text;
        else
            flags |= MFT_SEPARATOR;
    } else if (flags & (MFT_BITMAP | MFT_OWNERDRAW)) {
        item.data = reinterpret_cast<ULONG_PTR>(text);
    }
    if (flags & MFT_SEPARATOR) flags |= MF_GRAYED | MF_DISABLED;
    item.state = flags & kStateMask & ~MF_DEFAULT;  // the default item is set by SetMenuDefaultItem only
    item.type = flags & kTypeMask;
    if ((flags & MF_POPUP) && submenuExists) {
        item.type |= MF_POPUP;
        item.submenu = reinterpret_cast<HMENU>(id);
    }
    item.id = static_cast<UINT>(id);
    return item;
}

struct SystemItem {
    UINT id;
    const char* text;  // nullptr: a separator
};

// The system menu as Japanese Windows shows it (language 1041).
const SystemItem kSystemItems[] = {
    {SC_RESTORE, "元のサイズに戻す(&R)"}, {SC_MOVE, "移動(&M)"},     {SC_SIZE, "サイズ変更(&S)"},
    {SC_MINIMIZE, "最小化(&N)"},          {SC_MAXIMIZE, "最大化(&X)"}, {0, nullptr},
    {SC_CLOSE, "閉じる(&C)\tAlt+F4"},
};

// EnableMenuItem on an item: its grey and disabled bits become those of the flags.
UINT enableItem(MenuItem& item, UINT flags) {
    UINT old = item.state & (MF_GRAYED | MF_DISABLED);
    item.state = (item.state & ~(MF_GRAYED | MF_DISABLED)) | (flags & (MF_GRAYED | MF_DISABLED));
    return old;
}

}  // namespace

HMENU MenuTable::create(bool popup) {
    auto m = std::make_unique<Menu>();
    m->handle = reinterpret_cast<HMENU>(next_);
    next_ += 0x10;
    m->popup = popup;
    HMENU h = m->handle;
    menus_[h] = std::move(m);
    return h;
}

Menu* MenuTable::find(HMENU menu) {
    auto it = menus_.find(menu);
    return it == menus_.end() ? nullptr : it->second.get();
}

const Menu* MenuTable::find(HMENU menu) const {
    auto it = menus_.find(menu);
    return it == menus_.end() ? nullptr : it->second.get();
}

bool MenuTable::destroy(HMENU menu) {
    auto it = menus_.find(menu);
    if (it == menus_.end()) return false;
    std::unique_ptr<Menu> gone = std::move(it->second);
    menus_.erase(it);
    for (const MenuItem& item : gone->items)
        if (item.isPopup()) destroy(item.submenu);
    return true;
}

MenuItemRef MenuTable::findItem(HMENU handle, UINT item, UINT flags) {
    Menu* menu = find(handle);
    if (!menu) return {};
    if (flags & MF_BYPOSITION) return item < menu->items.size() ? MenuItemRef{menu, item} : MenuItemRef{};
    // A popup whose own ID matches is taken only when no item below it has the ID.
    MenuItemRef fallback;
    for (UINT i = 0; i < menu->items.size(); ++i) {
        const MenuItem& candidate = menu->items[i];
        if (candidate.isPopup()) {
            if (MenuItemRef inner = findItem(candidate.submenu, item, flags)) return inner;
            if (candidate.id == item) fallback = MenuItemRef{menu, i};
        } else if (candidate.id == item) {
            return MenuItemRef{menu, i};
        }
    }
    return fallback;
}

bool MenuTable::reaches(HMENU from, HMENU target) const {
    if (from == target) return true;
    const Menu* m = find(from);
    if (!m) return false;
    for (const MenuItem& item : m->items)
        if (item.isPopup() && reaches(item.submenu, target)) return true;
    return false;
}

bool MenuTable::insert(HMENU handle, UINT position, UINT flags, UINT_PTR id, LPCSTR text) {
    Menu* target = find(handle);
    if (!target) return false;
    UINT pos = static_cast<UINT>(target->items.size());
    if (MenuItemRef at = findItem(handle, position, flags)) {
        target = at.menu;
        pos = at.position;
    }
    MenuItem item = makeItem(flags, id, text, (flags & MF_POPUP) && find(reinterpret_cast<HMENU>(id)));
    if (item.isPopup()) {
        // A menu cannot hold itself, however deep.
        if (reaches(item.submenu, target->handle)) return false;
        find(item.submenu)->popup = true;
    }
    target->items.insert(target->items.begin() + pos, item);
    return true;
}

bool MenuTable::remove(HMENU handle, UINT item, UINT flags, bool destroySubmenu) {
    MenuItemRef at = findItem(handle, item, flags);
    if (!at) return false;
    HMENU submenu = at.item().isPopup() ? at.item().submenu : nullptr;
    at.menu->items.erase(at.menu->items.begin() + at.position);
    if (destroySubmenu && submenu) destroy(submenu);
    return true;
}

namespace {

void fillMenu(MenuTable& table, HMENU menu, const std::vector<MenuItemTemplate>& items) {
    for (const MenuItemTemplate& t : items) {
        UINT flags = (t.flags & ~kMenuEnd) | MF_BYPOSITION;
        if (t.flags & MF_POPUP) {
            HMENU sub = table.create(true);
            fillMenu(table, sub, t.items);
            table.insert(menu, static_cast<UINT>(-1), flags, reinterpret_cast<UINT_PTR>(sub), t.text.c_str());
        } else {
            // An item with an empty text is a separator, as LoadMenu reads MENUITEM SEPARATOR.
            table.insert(menu, static_cast<UINT>(-1), flags, t.id, t.text.empty() ? nullptr : t.text.c_str());
        }
    }
}

}  // namespace

HMENU MenuTable::load(const MenuTemplate& t) {
    HMENU menu = create(false);
    fillMenu(*this, menu, t.items);
    return menu;
}

HMENU MenuTable::createSystemMenu(bool noClose) {
    HMENU menu = create(true);
    find(menu)->system = true;
    for (const SystemItem& s : kSystemItems)
        insert(menu, static_cast<UINT>(-1), MF_BYPOSITION | (s.text ? MF_STRING : MF_SEPARATOR), s.id, s.text);
    if (MenuItemRef close = findItem(menu, SC_CLOSE, MF_BYCOMMAND)) close.item().state |= MF_DEFAULT;
    if (noClose) remove(menu, SC_CLOSE, MF_BYCOMMAND, true);
    return menu;
}

void MenuTable::prepareSystemMenu(HMENU menu, DWORD style, UINT classStyle) {
    auto grey = [&](UINT id, bool greyed) {
        if (MenuItemRef r = findItem(menu, id, MF_BYCOMMAND)) enableItem(r.item(), greyed ? MF_GRAYED : MF_ENABLED);
    };
    bool sized = (style & (WS_MAXIMIZE | WS_MINIMIZE)) != 0;
    grey(SC_SIZE, !(style & WS_THICKFRAME) || sized);
    grey(SC_MOVE, (style & WS_MAXIMIZE) != 0);
    grey(SC_MINIMIZE, !(style & WS_MINIMIZEBOX) || (style & WS_MINIMIZE));
    grey(SC_MAXIMIZE, !(style & WS_MAXIMIZEBOX) || (style & WS_MAXIMIZE));
    grey(SC_RESTORE, !sized);
    // Close keeps a grey state it was given; it is greyed here only for a class without Close.
    if (classStyle & CS_NOCLOSE) grey(SC_CLOSE, true);
}

std::string visibleMenuText(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size()) ++i;
        out += text[i];
    }
    return out;
}

namespace {

std::string pictureText(const std::string& text) {
    std::string out;
    for (char c : visibleMenuText(text)) {
        if (c == '\t')
            out += "\\t";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

std::string stateWords(const MenuItem& item) {
    std::string out;
    if (item.state & MF_DEFAULT) out += " (default)";
    if (item.state & MF_CHECKED) out += " (checked)";
    if (item.state & MF_GRAYED)
        out += " (greyed)";
    else if (item.state & MF_DISABLED)
        out += " (disabled)";
    return out;
}

std::string itemLine(const MenuItem& item) {
    if (item.isPopup()) return "\"" + pictureText(item.text) + "\" (submenu)" + stateWords(item);
    std::string line = "[" + std::to_string(item.id) + "] ";
    if (item.type & MFT_BITMAP)
        line += "(bitmap)";
    else if (item.type & MFT_OWNERDRAW)
        line += "(owner-drawn)";
    else
        line += "\"" + pictureText(item.text) + "\"";
    return line + stateWords(item);
}

void pictureOf(const MenuTable& table, HMENU handle, const std::string& indent, std::vector<std::string>& lines) {
    const Menu* menu = table.find(handle);
    if (!menu) return;
    for (const MenuItem& item : menu->items) {
        if (item.type & MFT_MENUBARBREAK)
            lines.push_back(indent + "|| column break");
        else if (item.type & MFT_MENUBREAK)
            lines.push_back(indent + "| column break");
        lines.push_back(item.isSeparator() ? indent + "----" : indent + itemLine(item));
        if (item.isPopup()) pictureOf(table, item.submenu, indent + "    ", lines);
    }
}

}  // namespace

std::vector<std::string> menuPicture(HMENU menu) {
    std::vector<std::string> lines;
    pictureOf(current().menus, menu, "", lines);
    return lines;
}

}  // namespace simwin

// --- user32 ----------------------------------------------------------------------------------------------------

namespace {

// The menu behind a handle, or null with ERROR_INVALID_MENU_HANDLE.
simwin::Menu* existingMenu(HMENU menu) {
    simwin::Menu* m = current().menus.find(menu);
    if (!m) SetLastError(ERROR_INVALID_MENU_HANDLE);
    return m;
}

// Copies as much of a text as fits with its terminator, never cutting a UTF-8 character; the length
// copied.
int copyMenuText(const std::string& text, LPSTR buffer, int bufferMax) {
    size_t n = std::min(text.size(), static_cast<size_t>(bufferMax - 1));
    if (n < text.size())
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    std::memcpy(buffer, text.data(), n);
    buffer[n] = 0;
    return static_cast<int>(n);
}

UINT classStyleOf(const simwin::Window& w) {
    auto& classes = current().windows.classes;
    auto it = classes.find(w.className);
    return it == classes.end() ? 0 : it->second.style;
}

}  // namespace

HMENU WINAPI LoadMenuA(HINSTANCE instance, LPCSTR name) {
    // A null instance is the program itself, as FindResource takes it.
    if (instance && instance != simwin::programModule()) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return NULL;
    }
    const simwin::MenuTemplate* t =
        name ? simwin::programResources().menu(simwin::ResourceName::fromArgument(name)) : nullptr;
    if (!t) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return NULL;
    }
    return current().menus.load(*t);
}

HMENU WINAPI CreatePopupMenu(void) { return current().menus.create(true); }
HMENU WINAPI CreateMenu(void) { return current().menus.create(false); }

BOOL WINAPI DestroyMenu(HMENU menu) {
    if (current().menus.destroy(menu)) return TRUE;
    SetLastError(ERROR_INVALID_MENU_HANDLE);
    return FALSE;
}

BOOL WINAPI IsMenu(HMENU menu) { return existingMenu(menu) ? TRUE : FALSE; }

HMENU WINAPI GetSystemMenu(HWND hwnd, BOOL revert) {
    auto& ws = current().windows;
    auto& menus = current().menus;
    simwin::Window* w = ws.find(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return NULL;
    }
    if (hwnd == ws.desktop || w->foreign) return NULL;
    // Reverting throws the window's copy away; so does a copy the program destroyed itself.
    if (w->systemMenu && (revert || !menus.find(w->systemMenu))) {
        menus.destroy(w->systemMenu);
        w->systemMenu = nullptr;
    }
    if (revert) return NULL;
    if (!w->systemMenu && (w->style & WS_SYSMENU)) w->systemMenu = menus.createSystemMenu(classStyleOf(*w) & CS_NOCLOSE);
    return w->systemMenu;
}

HMENU WINAPI GetSubMenu(HMENU menu, int position) {
    if (!existingMenu(menu)) return NULL;
    simwin::MenuItemRef r = current().menus.findItem(menu, static_cast<UINT>(position), MF_BYPOSITION);
    return r && r.item().isPopup() ? r.item().submenu : NULL;
}

int WINAPI GetMenuItemCount(HMENU menu) {
    simwin::Menu* m = existingMenu(menu);
    return m ? static_cast<int>(m->items.size()) : -1;
}

UINT WINAPI GetMenuItemID(HMENU menu, int position) {
    if (!existingMenu(menu)) return static_cast<UINT>(-1);
    simwin::MenuItemRef r = current().menus.findItem(menu, static_cast<UINT>(position), MF_BYPOSITION);
    return !r || r.item().isPopup() ? static_cast<UINT>(-1) : r.item().id;
}

UINT WINAPI GetMenuState(HMENU menu, UINT item, UINT flags) {
    if (!existingMenu(menu)) return static_cast<UINT>(-1);
    simwin::MenuItemRef r = current().menus.findItem(menu, item, flags);
    if (!r) return static_cast<UINT>(-1);
    const simwin::MenuItem& it = r.item();
    if (!it.isPopup()) return it.type | it.state;
    // A popup: the number of items of its submenu in the high byte.
    const simwin::Menu* sub = current().menus.find(it.submenu);
    if (!sub) return static_cast<UINT>(-1);
    return static_cast<UINT>(sub->items.size() << 8) | ((it.type | it.state) & 0xFF);
}

int WINAPI GetMenuStringA(HMENU menu, UINT item, LPSTR buffer, int bufferMax, UINT flags) {
    if (buffer && bufferMax > 0) buffer[0] = 0;
    if (!existingMenu(menu)) return 0;
    simwin::MenuItemRef r = current().menus.findItem(menu, item, flags);
    if (!r) {
        SetLastError(ERROR_MENU_ITEM_NOT_FOUND);
        return 0;
    }
    const std::string& text = r.item().text;
    if (!buffer || bufferMax <= 0) return static_cast<int>(text.size());
    return copyMenuText(text, buffer, bufferMax);
}

BOOL WINAPI AppendMenuA(HMENU menu, UINT flags, UINT_PTR id, LPCSTR text) {
    return InsertMenuA(menu, static_cast<UINT>(-1), flags | MF_BYPOSITION, id, text);
}

BOOL WINAPI InsertMenuA(HMENU menu, UINT position, UINT flags, UINT_PTR id, LPCSTR text) {
    if (!existingMenu(menu)) return FALSE;
    return current().menus.insert(menu, position, flags, id, text) ? TRUE : FALSE;
}

BOOL WINAPI DeleteMenu(HMENU menu, UINT position, UINT flags) {
    if (!existingMenu(menu)) return FALSE;
    return current().menus.remove(menu, position, flags, true) ? TRUE : FALSE;
}

BOOL WINAPI RemoveMenu(HMENU menu, UINT position, UINT flags) {
    if (!existingMenu(menu)) return FALSE;
    return current().menus.remove(menu, position, flags, false) ? TRUE : FALSE;
}

BOOL WINAPI EnableMenuItem(HMENU menu, UINT item, UINT flags) {
    if (!existingMenu(menu)) return -1;
    simwin::MenuItemRef r = current().menus.findItem(menu, item, flags);
    return r ? static_cast<BOOL>(simwin::enableItem(r.item(), flags)) : -1;
}

DWORD WINAPI CheckMenuItem(HMENU menu, UINT item, UINT check) {
    if (!existingMenu(menu)) return static_cast<DWORD>(-1);
    simwin::MenuItemRef r = current().menus.findItem(menu, item, check);
    if (!r) return static_cast<DWORD>(-1);
    DWORD old = r.item().state & MF_CHECKED;
    if (check & MF_CHECKED)
        r.item().state |= MF_CHECKED;
    else
        r.item().state &= ~MF_CHECKED;
    return old;
}

BOOL WINAPI CheckMenuRadioItem(HMENU menu, UINT first, UINT last, UINT check, UINT flags) {
    if (!existingMenu(menu)) return FALSE;
    auto& menus = current().menus;
    // Only the items in the menu of the first one found take part (a command may lie in a submenu).
    simwin::Menu* group = nullptr;
    BOOL done = FALSE;
    for (uint64_t n = first; n <= last; ++n) {
        UINT i = static_cast<UINT>(n);
        simwin::MenuItemRef r = menus.findItem(menu, i, flags);
        if (!r) continue;
        if (!group) group = r.menu;
        if (r.menu != group || r.item().type == MFT_SEPARATOR) continue;
        if (i == check) {
            r.item().type |= MFT_RADIOCHECK;
            r.item().state |= MF_CHECKED;
            done = TRUE;
        } else {
            r.item().state &= ~MF_CHECKED;  // the radio mark stays, as on Windows
        }
    }
    return done;
}

BOOL WINAPI SetMenuDefaultItem(HMENU menu, UINT item, UINT byPosition) {
    simwin::Menu* m = existingMenu(menu);
    if (!m) return FALSE;
    // The old default goes first, even when the new one is not found; commands are not looked for in
    // submenus here.
    for (simwin::MenuItem& it : m->items) it.state &= ~MF_DEFAULT;
    if (item == static_cast<UINT>(-1)) return TRUE;
    BOOL found = FALSE;
    for (UINT i = 0; i < m->items.size(); ++i) {
        if (byPosition ? i == item : m->items[i].id == item) {
            m->items[i].state |= MF_DEFAULT;
            found = TRUE;
        }
    }
    return found;
}

UINT WINAPI GetMenuDefaultItem(HMENU menu, UINT byPosition, UINT flags) {
    simwin::Menu* m = existingMenu(menu);
    if (!m) return static_cast<UINT>(-1);
    auto it = std::find_if(m->items.begin(), m->items.end(), [](const simwin::MenuItem& i) { return i.state & MF_DEFAULT; });
    if (it == m->items.end()) return static_cast<UINT>(-1);
    if (!(flags & GMDI_USEDISABLED) && it->isGreyed()) return static_cast<UINT>(-1);
    if (it->isPopup() && (flags & GMDI_GOINTOPOPUPS) && current().menus.find(it->submenu)) {
        UINT inner = GetMenuDefaultItem(it->submenu, byPosition, flags);
        if (inner != static_cast<UINT>(-1)) return inner;
    }
    return byPosition ? static_cast<UINT>(it - m->items.begin()) : it->id;
}

// --- TrackPopupMenu ----------------------------------------------------------------------------------------------

namespace {

using simwin::Menu;
using simwin::MenuItem;
using simwin::UserAction;
using simwin::UserStop;
using simwin::WindowSystem;

// Steps without the person acting after which the tool is taken to spin by itself while its menu is open.
const int kSpinLimit = 1000000;
const int kMaxMenuDepth = 32;

// One open popup menu: who owns it, how it was asked for, and the submenus the person opened.
struct Tracking {
    HMENU menu = nullptr;
    UINT flags = 0;
    HWND owner = nullptr;
    bool notify = true;  // no TPM_NONOTIFY
    std::vector<HMENU> opened;
    // The item chosen: its text, and whether it lies in a system menu.
    std::string chosenText;
    bool chosenFromSystem = false;
};

// MAKEWPARAM and MAKELPARAM: the two words as an unsigned 32-bit value.
WPARAM makeWParam(UINT low, UINT high) { return static_cast<DWORD>(MAKELONG(low, high)); }
LPARAM makeLParam(UINT low, UINT high) { return static_cast<LPARAM>(static_cast<DWORD>(MAKELONG(low, high))); }

bool isNumber(const std::string& s) {
    return !s.empty() && s.size() <= 9 && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool matches(const MenuItem& item, const std::string& target) {
    if (isNumber(target)) return !item.isPopup() && item.id == static_cast<UINT>(std::stoul(target));
    if (item.isSeparator() || (item.type & (MFT_BITMAP | MFT_OWNERDRAW))) return false;
    std::string seen = simwin::visibleMenuText(item.text), wanted = simwin::visibleMenuText(target);
    return seen == wanted || seen.substr(0, seen.find('\t')) == wanted;
}

bool holds(const simwin::MenuTable& table, HMENU handle, const std::string& target, int depth) {
    const Menu* m = table.find(handle);
    if (!m || depth > kMaxMenuDepth) return false;
    for (const MenuItem& item : m->items)
        if (matches(item, target) || (item.isPopup() && holds(table, item.submenu, target, depth + 1))) return true;
    return false;
}

// A message that the menu takes as the person's input while it is open; true for a click outside it or
// Escape, which close it.
bool takeInput(const MSG& m, UINT flags) {
    if (m.message == WM_KEYDOWN) return m.wParam == VK_ESCAPE || m.wParam == VK_F10;
    if (m.message == WM_LBUTTONDOWN || m.message == 0x0203 /* WM_LBUTTONDBLCLK */) return true;
    if (m.message == WM_RBUTTONDOWN || m.message == 0x0206 /* WM_RBUTTONDBLCLK */) return (flags & TPM_RIGHTBUTTON) != 0;
    return false;
}

bool isInput(UINT msg) { return (msg >= 0x0100 && msg <= 0x0109) || (msg >= 0x0200 && msg <= 0x020E); }

// The window a person sees the menu over, as the user's messages name it.
std::string ownerLabel(const Tracking& t) {
    WindowSystem& ws = current().windows;
    return ws.windowLabel(ws.root(t.owner));
}

std::string menuLabel(const Tracking& t) { return "the menu of " + ownerLabel(t); }

// Lets the machine settle before the person looks: the messages posted before the menu opened and the
// paints they cause. Input in the queue goes to the menu. False when it closed the menu.
bool settle(const Tracking& t) {
    WindowSystem& ws = current().windows;
    for (int spins = 0;; ++spins) {
        if (!current().menus.find(t.menu) || !ws.find(t.owner)) return false;
        if (!ws.queue.empty() && isInput(ws.queue.front().message)) {
            MSG m = ws.queue.front();
            ws.queue.pop_front();
            ws.messagePos = static_cast<DWORD>(MAKELONG(m.pt.x, m.pt.y));
            ws.messageTaken(m);
            if (takeInput(m, t.flags)) return false;
            continue;
        }
        MSG key{};
        if (ws.queue.empty() && ws.takeInput(key, nullptr)) {  // keys still coming (a key's release)
            ws.messageTaken(key);
            if (takeInput(key, t.flags)) return false;
            continue;
        }
        if (ws.step(t.owner, current().clock.ms, false) == WindowSystem::Step::None) return true;
        if (spins > kSpinLimit)
            throw UserStop("the tool keeps sending itself messages while " + menuLabel(t) + " is open");
    }
}

void showMenu(const Tracking& t) {
    WindowSystem& ws = current().windows;
    if (!ws.user.show) return;
    std::vector<std::string> lines{"popup menu of " + ownerLabel(t)};
    for (const std::string& line : simwin::menuPicture(t.menu)) lines.push_back("    " + line);
    ws.user.show(lines);
}

// The person moving onto an item: WM_MENUSELECT with the item's ID (a popup's position) and flags.
void hover(const Tracking& t, HMENU handle, UINT position) {
    const Menu* m = current().menus.find(handle);
    const MenuItem& item = m->items[position];
    UINT flags = item.type | item.state | MF_HILITE | (m->system ? MF_SYSMENU : 0);
    current().windows.send(t.owner, WM_MENUSELECT, makeWParam(item.isPopup() ? position : item.id, flags),
                           reinterpret_cast<LPARAM>(handle));
}

[[noreturn]] void cannot(const Tracking& t, const UserAction& a, const std::string& why) {
    throw UserStop("user" + (a.line ? " (line " + std::to_string(a.line) + ")" : std::string()) + ": cannot " +
                   a.describe() + " in " + menuLabel(t) + ": " + why);
}

// The command the person picks: walks down the submenus that lead to the item, opening each as a person
// does (the owner prepares it on WM_INITMENUPOPUP), and checks the item can be chosen there.
UINT choose(Tracking& t, const UserAction& a) {
    auto& menus = current().menus;
    HMENU level = t.menu;
    for (int depth = 0; depth <= kMaxMenuDepth; ++depth) {
        Menu* m = menus.find(level);
        if (!m) cannot(t, a, "the menu was destroyed");
        auto direct = std::find_if(m->items.begin(), m->items.end(), [&](const MenuItem& i) { return matches(i, a.target); });
        if (direct != m->items.end()) {
            if (direct->isPopup()) cannot(t, a, "the item opens a submenu");
            if (direct->isSeparator()) cannot(t, a, "the item is a separator");
            if (direct->isGreyed()) cannot(t, a, (direct->state & MF_GRAYED) ? "the item is greyed" : "the item is disabled");
            UINT id = direct->id;
            t.chosenText = simwin::visibleMenuText(direct->text);
            t.chosenFromSystem = m->system;
            hover(t, level, static_cast<UINT>(direct - m->items.begin()));
            return id;
        }
        auto way = std::find_if(m->items.begin(), m->items.end(),
                                [&](const MenuItem& i) { return i.isPopup() && holds(menus, i.submenu, a.target, depth); });
        if (way == m->items.end()) cannot(t, a, "the menu has no such item");
        if (way->isGreyed()) cannot(t, a, "the submenu \"" + simwin::visibleMenuText(way->text) + "\" is greyed");
        UINT position = static_cast<UINT>(way - m->items.begin());
        HMENU sub = way->submenu;
        hover(t, level, position);
        if (t.notify) current().windows.send(t.owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(sub), makeLParam(position, 0));
        t.opened.push_back(sub);
        level = sub;
    }
    cannot(t, a, "the submenus are nested too deep");
}

// The person's answer to the open menu: the chosen command, or 0 when the menu closes without one. Any
// action other than a pick or a dismissal is left for later: the person clicks elsewhere.
UINT ask(Tracking& t) {
    WindowSystem& ws = current().windows;
    const UserAction* next = ws.user.next();
    if (!next || (next->kind != UserAction::Menu && next->kind != UserAction::Dismiss)) return 0;
    UserAction a = *next;
    ws.user.actions.pop_front();
    ws.showPending = ws.root(t.owner);
    return a.kind == UserAction::Menu ? choose(t, a) : 0;
}

// The command reaches the owner as a person's pick does: posted, as WM_SYSCOMMAND from a system menu.
void execute(const Tracking& t, UINT id) {
    WindowSystem& ws = current().windows;
    current().transcript.add("menu command " + std::to_string(id) + " \"" + t.chosenText + "\"");
    if (t.flags & TPM_RETURNCMD) return;
    if (t.chosenFromSystem)
        ws.post(t.owner, WM_SYSCOMMAND, id, makeLParam(static_cast<UINT>(ws.cursorPos.x), static_cast<UINT>(ws.cursorPos.y)));
    else
        ws.post(t.owner, WM_COMMAND, id, 0);
}

void sendOpening(const Tracking& t) {
    WindowSystem& ws = current().windows;
    if (t.notify) ws.send(t.owner, WM_ENTERMENULOOP, TRUE, 0);
    ws.send(t.owner, WM_SETCURSOR, reinterpret_cast<WPARAM>(t.owner), HTCAPTION);
    if (t.notify) ws.send(t.owner, WM_INITMENU, reinterpret_cast<WPARAM>(t.menu), 0);
    if (t.notify) ws.send(t.owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(t.menu), 0);
}

void sendClosing(const Tracking& t) {
    WindowSystem& ws = current().windows;
    for (auto it = t.opened.rbegin(); it != t.opened.rend() && t.notify; ++it)
        ws.send(t.owner, WM_UNINITMENUPOPUP, reinterpret_cast<WPARAM>(*it), 0);
    if (t.notify) ws.send(t.owner, WM_UNINITMENUPOPUP, reinterpret_cast<WPARAM>(t.menu), 0);
    ws.send(t.owner, WM_MENUSELECT, makeWParam(0, 0xFFFF), 0);
}

// Marks the menu open for the time of the call, also when the run stops inside it.
class OpenMenu {
public:
    explicit OpenMenu(HMENU menu) { current().menus.open = menu; }
    ~OpenMenu() { current().menus.open = nullptr; }
    OpenMenu(const OpenMenu&) = delete;
    OpenMenu& operator=(const OpenMenu&) = delete;
};

}  // namespace

BOOL WINAPI TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner, const RECT* rect) {
    auto& menus = current().menus;
    simwin::Menu* m = existingMenu(menu);
    if (!m) return FALSE;
    if (menus.open) {
        SetLastError(ERROR_POPUP_ALREADY_ACTIVE);
        return FALSE;
    }
    simwin::Window* w = current().windows.find(owner);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    OpenMenu open(menu);
    menus.openedAt = POINT{x, y};
    Tracking t;
    t.menu = menu;
    t.flags = flags;
    t.owner = owner;
    t.notify = !(flags & TPM_NONOTIFY);
    sendOpening(t);
    if (m->system && (w = current().windows.find(owner))) menus.prepareSystemMenu(menu, w->style, classStyleOf(*w));
    m = menus.find(menu);
    if (!m || m->items.empty()) {
        // Nothing to show: the menu closes at once.
        current().windows.send(owner, WM_EXITMENULOOP, TRUE, 0);
        if (t.notify && m) current().windows.send(owner, WM_UNINITMENUPOPUP, reinterpret_cast<WPARAM>(menu), 0);
        SetLastError(ERROR_SUCCESS);
        return FALSE;
    }
    UINT command = 0;
    if (settle(t)) {
        showMenu(t);
        command = ask(t);
    }
    if (command) execute(t, command);
    sendClosing(t);
    current().windows.send(owner, WM_EXITMENULOOP, TRUE, 0);
    SetLastError(ERROR_SUCCESS);
    if (!(flags & TPM_RETURNCMD)) return TRUE;
    return static_cast<BOOL>(command);
}

BOOL WINAPI GetMenuItemInfoA(HMENU menu, UINT item, BOOL byPosition, LPMENUITEMINFOA info) {
    if (!existingMenu(menu)) return FALSE;
    if (!info || info->cbSize < sizeof(MENUITEMINFOA) - sizeof(HBITMAP)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    simwin::MenuItemRef r = current().menus.findItem(menu, item, byPosition ? MF_BYPOSITION : MF_BYCOMMAND);
    if (!r) {
        SetLastError(ERROR_MENU_ITEM_NOT_FOUND);
        return FALSE;
    }
    const simwin::MenuItem& it = r.item();
    // The item type without the popup bit, which MENUITEMINFO reports as hSubMenu.
    UINT type = it.type & ~static_cast<UINT>(MF_POPUP);
    if (info->fMask & (MIIM_FTYPE | MIIM_TYPE)) info->fType = type;
    if (info->fMask & MIIM_STATE) info->fState = it.state;
    if (info->fMask & MIIM_ID) info->wID = it.isPopup() ? static_cast<UINT>(reinterpret_cast<UINT_PTR>(it.submenu)) : it.id;
    if (info->fMask & MIIM_SUBMENU) info->hSubMenu = it.submenu;
    if (info->fMask & MIIM_DATA) info->dwItemData = it.data;
    if (info->fMask & (MIIM_STRING | MIIM_TYPE)) {
        if (info->dwTypeData && info->cch > 0) {
            size_t n = std::min(it.text.size(), static_cast<size_t>(info->cch - 1));
            std::memcpy(info->dwTypeData, it.text.data(), n);
            info->dwTypeData[n] = 0;
        }
        info->cch = static_cast<UINT>(it.text.size());
    }
    return TRUE;
}
