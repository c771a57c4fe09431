// Menus: a table of menus with stable handles (handles are never reused), the items of each menu
// (string items, separators, popups with their submenus, column breaks, check marks, grey and disabled
// states, one default item), the copies of the system menu that windows own, and the popup menu that
// TrackPopupMenu holds open while the scripted user picks from it.
//
// Items are looked up as user32 does: MF_BYPOSITION takes the item at that position; MF_BYCOMMAND takes
// the first item with the command ID, looking into each popup's submenu before the popup item itself.
// The Win32 functions (api/user.h) set the last error; the table itself never does.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "simwin/resource_set.h"
#include "simwin/types.h"
#include "simwin/api/user.h"

namespace simwin {

struct MenuItem {
    UINT id = 0;              // command ID; a popup item carries its submenu's handle value, as on Windows
    std::string text;         // string items; empty for separators, bitmaps and owner-drawn items
    UINT type = 0;            // MFT_SEPARATOR, MF_POPUP, MFT_MENUBARBREAK, MFT_MENUBREAK, MFT_BITMAP,
                              // MFT_OWNERDRAW, MFT_RADIOCHECK
    UINT state = 0;           // MF_GRAYED, MF_DISABLED, MF_CHECKED, MF_HILITE, MF_DEFAULT
    HMENU submenu = nullptr;  // popups
    ULONG_PTR data = 0;       // MFT_BITMAP: the bitmap handle; MFT_OWNERDRAW: the item data

    bool isPopup() const { return (type & MF_POPUP) != 0; }
    bool isSeparator() const { return (type & MFT_SEPARATOR) != 0; }
    bool isGreyed() const { return (state & (MF_GRAYED | MF_DISABLED)) != 0; }
};

struct Menu {
    HMENU handle = nullptr;
    bool popup = false;     // made by CreatePopupMenu, or a submenu of another menu
    bool system = false;    // a window's copy of the system menu: its commands arrive as WM_SYSCOMMAND
    std::vector<MenuItem> items;
};

// Where an item lies: the menu that holds it (a submenu for a command found below the top) and its
// position there. menu is nullptr when there is no such item.
struct MenuItemRef {
    Menu* menu = nullptr;
    UINT position = 0;

    explicit operator bool() const { return menu != nullptr; }
    MenuItem& item() const { return menu->items[position]; }
};

class MenuTable {
public:
    MenuTable() = default;
    MenuTable(const MenuTable&) = delete;
    MenuTable& operator=(const MenuTable&) = delete;

    // CreateMenu (a menu bar) or CreatePopupMenu.
    HMENU create(bool popup);
    // The live menu behind a handle, or nullptr.
    Menu* find(HMENU menu);
    const Menu* find(HMENU menu) const;
    // Destroys a menu and, recursively, the submenus of its popup items. False for an unknown handle.
    bool destroy(HMENU menu);
    size_t count() const { return menus_.size(); }

    // The item an MF_BYCOMMAND or MF_BYPOSITION argument names.
    MenuItemRef findItem(HMENU menu, UINT item, UINT flags);
    // InsertMenuA: before the item named by position and flags; at the end of the menu when there is no
    // such item. A popup (MF_POPUP) whose submenu handle is not a menu becomes a plain item, as on
    // Windows. False when the menu is unknown or when the submenu would contain the menu itself.
    bool insert(HMENU menu, UINT position, UINT flags, UINT_PTR id, LPCSTR text);
    // Removes the item (RemoveMenu); with destroySubmenu also destroys a popup's submenu (DeleteMenu).
    bool remove(HMENU menu, UINT item, UINT flags, bool destroySubmenu);

    // A menu bar made from a MENU template, with one popup menu per POPUP statement (LoadMenuA).
    HMENU load(const MenuTemplate& t);
    // A new copy of the system menu of a window: Restore, Move, Size, Minimize, Maximize, a separator and
    // Close (the default item), with their SC_ command IDs; Close is left out for a class with CS_NOCLOSE.
    HMENU createSystemMenu(bool noClose);
    // Greys the items of a system menu that do not apply to a window of this style, as Windows does
    // each time it opens the menu.
    void prepareSystemMenu(HMENU menu, DWORD style, UINT classStyle);

    // The popup menu TrackPopupMenu holds open, or nullptr; one at a time.
    HMENU open = nullptr;
    // Where on the screen the last popup menu was opened (TrackPopupMenu's x and y).
    POINT openedAt{0, 0};

private:
    std::map<HMENU, std::unique_ptr<Menu>> menus_;
    uintptr_t next_ = 0x200010;
    bool reaches(HMENU from, HMENU target) const;
};

// The text a person reads on a menu item: "&" marks are not seen ("&&" is one "&").
std::string visibleMenuText(const std::string& text);

// What a person sees of an open menu of the current machine, one line per item:
//   [40009] "プリンタの削除" (default)      a string item with its ID and states
//   ----                                   a separator
//   || column break                        before an item that starts a new column with a bar
//   | column break                         ... without a bar
//   "表示" (submenu)                        a popup, followed by its submenu's items indented
// States: (default), (checked), (greyed), (disabled). Tabs of the text are written as \t.
std::vector<std::string> menuPicture(HMENU menu);

}  // namespace simwin
