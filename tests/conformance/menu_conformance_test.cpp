// Menus from the templates of conformance.rc and the system menu of a dialog, set up and checked with Win32
// calls only.
//
// Outputs and the last error are poisoned (kPoison) before each call whose outputs are checked. Where Wine
// and Windows differ, the difference is written beside the expectation and only the common part is checked.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/platform.h"
#include "conformance/conformance_env.h"
#include "conformance/window_conformance.h"
#include "support/msg_sequence.h"

namespace {

using namespace winconf;

// ---------------------------------------------------------------------------------------------
// Menus

struct LoadedMenu {
    HMENU bar = LoadMenuA(module(), MAKEINTRESOURCEA(IDM_CONF_MENU));
    ~LoadedMenu() {
        if (bar) DestroyMenu(bar);
    }
    HMENU file() const { return GetSubMenu(bar, 0); }
    HMENU view() const { return GetSubMenu(bar, 1); }
};

TEST_F(WindowConformance, MenuFromTheTemplate) {
    LoadedMenu menu;
    ASSERT_NE(nullptr, menu.bar);
    EXPECT_TRUE(IsMenu(menu.bar));
    EXPECT_EQ(2, GetMenuItemCount(menu.bar));
    ASSERT_NE(nullptr, menu.file());
    EXPECT_EQ(nullptr, GetSubMenu(menu.bar, 2));
    EXPECT_EQ(nullptr, GetSubMenu(menu.file(), 0));  // a command, not a popup
    EXPECT_EQ(4, GetMenuItemCount(menu.file()));
    EXPECT_EQ(static_cast<UINT>(IDM_CONF_OPEN), GetMenuItemID(menu.file(), 0));
    EXPECT_EQ(0u, GetMenuItemID(menu.file(), 1));              // separator
    EXPECT_EQ(static_cast<UINT>(-1), GetMenuItemID(menu.file(), 2));  // popup
    EXPECT_EQ(static_cast<UINT>(-1), GetMenuItemID(menu.file(), 9));  // no such position
    EXPECT_EQ(static_cast<UINT>(-1), GetMenuItemID(menu.bar, 0));

    char text[32];
    std::memset(text, 0xbd, sizeof text);
    EXPECT_EQ(5, GetMenuStringA(menu.file(), IDM_CONF_OPEN, text, sizeof text, MF_BYCOMMAND));
    EXPECT_STREQ("&Open", text);

    // GetMenuState: the flags; of a popup also its item count in the high byte of the low word.
    EXPECT_EQ(static_cast<UINT>(MF_GRAYED), GetMenuState(menu.file(), IDM_CONF_EXIT, MF_BYCOMMAND));
    EXPECT_EQ(static_cast<UINT>(MF_CHECKED), GetMenuState(menu.view(), IDM_CONF_DETAILS, MF_BYCOMMAND));
    EXPECT_EQ(static_cast<UINT>(MF_SEPARATOR), GetMenuState(menu.file(), 1, MF_BYPOSITION) & MF_SEPARATOR);
    UINT popup = GetMenuState(menu.file(), 2, MF_BYPOSITION);
    EXPECT_TRUE(popup & MF_POPUP);
    EXPECT_EQ(1u, (popup >> 8) & 0xff);
    EXPECT_EQ(static_cast<UINT>(-1), GetMenuState(menu.file(), 4242, MF_BYCOMMAND));
    // By command, submenus are searched too.
    EXPECT_EQ(0u, GetMenuState(menu.bar, IDM_CONF_RECENT_ONE, MF_BYCOMMAND));
}

TEST_F(WindowConformance, MenuEnableAndCheckReturnThePreviousState) {
    LoadedMenu menu;
    ASSERT_NE(nullptr, menu.bar);
    HMENU file = menu.file(), view = menu.view();
    EXPECT_EQ(static_cast<int>(MF_ENABLED), EnableMenuItem(file, IDM_CONF_OPEN, MF_BYCOMMAND | MF_GRAYED));
    EXPECT_EQ(static_cast<int>(MF_GRAYED), EnableMenuItem(file, IDM_CONF_OPEN, MF_BYCOMMAND | MF_ENABLED));
    EXPECT_EQ(static_cast<int>(MF_GRAYED), EnableMenuItem(file, 3, MF_BYPOSITION | MF_ENABLED));  // Exit
    EXPECT_EQ(0u, GetMenuState(file, IDM_CONF_EXIT, MF_BYCOMMAND));
    EXPECT_EQ(static_cast<int>(MF_ENABLED), EnableMenuItem(menu.bar, IDM_CONF_RECENT_ONE, MF_BYCOMMAND | MF_DISABLED));
    EXPECT_EQ(static_cast<UINT>(MF_DISABLED), GetMenuState(menu.bar, IDM_CONF_RECENT_ONE, MF_BYCOMMAND));
    EXPECT_EQ(-1, EnableMenuItem(file, 4242, MF_BYCOMMAND | MF_GRAYED));
    EXPECT_EQ(-1, EnableMenuItem(file, 9, MF_BYPOSITION | MF_GRAYED));

    EXPECT_EQ(static_cast<DWORD>(MF_UNCHECKED), CheckMenuItem(view, IDM_CONF_LARGE, MF_BYCOMMAND | MF_CHECKED));
    EXPECT_EQ(static_cast<DWORD>(MF_CHECKED), CheckMenuItem(view, IDM_CONF_LARGE, MF_BYCOMMAND | MF_UNCHECKED));
    EXPECT_EQ(static_cast<DWORD>(MF_UNCHECKED), CheckMenuItem(view, 1, MF_BYPOSITION | MF_CHECKED));
    EXPECT_EQ(static_cast<DWORD>(-1), CheckMenuItem(view, 4242, MF_BYCOMMAND | MF_CHECKED));

    // CheckMenuRadioItem: the one item checked with a radio mark, the others of the range unchecked.
    EXPECT_TRUE(CheckMenuRadioItem(view, IDM_CONF_LARGE, IDM_CONF_DETAILS, IDM_CONF_LIST, MF_BYCOMMAND));
    for (UINT id = IDM_CONF_LARGE; id <= IDM_CONF_DETAILS; ++id) {
        SCOPED_TRACE(id);
        EXPECT_EQ(id == IDM_CONF_LIST, (GetMenuState(view, id, MF_BYCOMMAND) & MF_CHECKED) != 0);
    }
    MENUITEMINFOA info;
    std::memset(&info, 0xbd, sizeof info);
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_STATE;
    ASSERT_TRUE(GetMenuItemInfoA(view, IDM_CONF_LIST, FALSE, &info));
    EXPECT_TRUE(info.fType & MFT_RADIOCHECK);
    EXPECT_TRUE(info.fState & MFS_CHECKED);
    EXPECT_TRUE(CheckMenuRadioItem(view, 0, 3, 0, MF_BYPOSITION));
    EXPECT_TRUE(GetMenuState(view, IDM_CONF_LARGE, MF_BYCOMMAND) & MF_CHECKED);
    EXPECT_FALSE(GetMenuState(view, IDM_CONF_LIST, MF_BYCOMMAND) & MF_CHECKED);
}

TEST_F(WindowConformance, MenuDeleteRemoveAppendAndDefaultItem) {
    LoadedMenu menu;
    ASSERT_NE(nullptr, menu.bar);
    HMENU file = menu.file(), view = menu.view();

    // RemoveMenu leaves the popup alive (its owner destroys it), DeleteMenu destroys it.
    HMENU recent = GetSubMenu(file, 2);
    ASSERT_NE(nullptr, recent);
    EXPECT_TRUE(RemoveMenu(file, 2, MF_BYPOSITION));
    EXPECT_EQ(3, GetMenuItemCount(file));
    EXPECT_TRUE(IsMenu(recent));
    EXPECT_EQ(static_cast<UINT>(IDM_CONF_EXIT), GetMenuItemID(file, 2));
    EXPECT_TRUE(DestroyMenu(recent));
    EXPECT_TRUE(DeleteMenu(file, 1, MF_BYPOSITION));  // the separator
    EXPECT_EQ(2, GetMenuItemCount(file));
    EXPECT_TRUE(DeleteMenu(file, IDM_CONF_EXIT, MF_BYCOMMAND));
    EXPECT_EQ(1, GetMenuItemCount(file));
    EXPECT_FALSE(DeleteMenu(file, 5, MF_BYPOSITION));
    HMENU viewHandle = view;
    EXPECT_TRUE(DeleteMenu(menu.bar, 1, MF_BYPOSITION));  // the View popup, destroyed with it
    EXPECT_FALSE(IsMenu(viewHandle));
    EXPECT_EQ(1, GetMenuItemCount(menu.bar));

    EXPECT_TRUE(AppendMenuA(file, MF_STRING, IDM_CONF_LARGE, "Large"));
    EXPECT_TRUE(AppendMenuA(file, MF_STRING | MF_MENUBARBREAK, IDM_CONF_SMALL, "Small"));
    EXPECT_TRUE(AppendMenuA(file, MF_SEPARATOR, 0, nullptr));
    EXPECT_EQ(4, GetMenuItemCount(file));
    EXPECT_EQ(static_cast<UINT>(IDM_CONF_SMALL), GetMenuItemID(file, 2));
    EXPECT_TRUE(GetMenuState(file, IDM_CONF_SMALL, MF_BYCOMMAND) & MF_MENUBARBREAK);
    EXPECT_TRUE(GetMenuState(file, 3, MF_BYPOSITION) & MF_SEPARATOR);
    EXPECT_EQ(0u, GetMenuItemID(file, 3));
    char text[16];
    std::memset(text, 0xbd, sizeof text);
    EXPECT_EQ(5, GetMenuStringA(file, 1, text, sizeof text, MF_BYPOSITION));
    EXPECT_STREQ("Large", text);

    EXPECT_EQ(static_cast<UINT>(-1), GetMenuDefaultItem(file, FALSE, 0));
    EXPECT_TRUE(SetMenuDefaultItem(file, IDM_CONF_LARGE, FALSE));
    EXPECT_EQ(static_cast<UINT>(IDM_CONF_LARGE), GetMenuDefaultItem(file, FALSE, 0));
    EXPECT_EQ(1u, GetMenuDefaultItem(file, TRUE, 0));
    EXPECT_TRUE(GetMenuState(file, IDM_CONF_LARGE, MF_BYCOMMAND) & MFS_DEFAULT);
    EXPECT_TRUE(SetMenuDefaultItem(file, 2, TRUE));  // replaces the previous default
    EXPECT_EQ(static_cast<UINT>(IDM_CONF_SMALL), GetMenuDefaultItem(file, FALSE, 0));
    EXPECT_FALSE(GetMenuState(file, IDM_CONF_LARGE, MF_BYCOMMAND) & MFS_DEFAULT);
    EXPECT_TRUE(SetMenuDefaultItem(file, static_cast<UINT>(-1), FALSE));  // no default
    EXPECT_EQ(static_cast<UINT>(-1), GetMenuDefaultItem(file, FALSE, 0));

    HMENU bar = menu.bar;
    menu.bar = nullptr;
    EXPECT_TRUE(DestroyMenu(bar));
    EXPECT_FALSE(IsMenu(bar));
    EXPECT_FALSE(IsMenu(file));  // destroyed with the bar
    EXPECT_FALSE(DestroyMenu(bar));  // Windows: error 1401, Wine: the last error unchanged
}

// The system menu of a dialog with WS_SYSMENU, to which the tool appends its About command.
TEST_F(WindowConformance, SystemMenuOfADialog) {
    Modeless dialog(IDD_CONF_SEQUENCE);
    ASSERT_NE(nullptr, dialog.hwnd);
    HMENU system = GetSystemMenu(dialog.hwnd, FALSE);
    ASSERT_NE(nullptr, system);
    EXPECT_TRUE(IsMenu(system));
    EXPECT_EQ(system, GetSystemMenu(dialog.hwnd, FALSE));  // the same copy each time
    // Wine: SC_RESTORE, SC_MOVE, SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE, separator, SC_CLOSE (the default item),
    // separator, 0xF141 "About Wine"; Windows: a dialog frame without sizing border or minimize and maximize
    // boxes shows only SC_MOVE, separator, SC_CLOSE. Common: SC_MOVE and SC_CLOSE, a separator right before
    // SC_CLOSE, SC_CLOSE the default item.
    const int count = GetMenuItemCount(system);
    ASSERT_GE(count, 3);
    std::vector<UINT> ids;
    for (int i = 0; i < count; ++i) ids.push_back(GetMenuItemID(system, i));
    auto close = std::find(ids.begin(), ids.end(), static_cast<UINT>(SC_CLOSE));
    ASSERT_NE(ids.end(), close);
    ASSERT_NE(ids.begin(), close);
    EXPECT_EQ(0u, *(close - 1));
    EXPECT_TRUE(GetMenuState(system, static_cast<UINT>(close - ids.begin() - 1), MF_BYPOSITION) & MF_SEPARATOR);
    EXPECT_NE(ids.end(), std::find(ids.begin(), ids.end(), static_cast<UINT>(SC_MOVE)));
    EXPECT_EQ(static_cast<UINT>(SC_CLOSE), GetMenuDefaultItem(system, FALSE, GMDI_USEDISABLED));
    EXPECT_EQ(static_cast<UINT>(-1), GetMenuState(system, 156, MF_BYCOMMAND));

    EXPECT_TRUE(AppendMenuA(system, MF_SEPARATOR, 0, nullptr));
    EXPECT_TRUE(AppendMenuA(system, MF_STRING, 156, "About..."));
    EXPECT_EQ(count + 2, GetMenuItemCount(system));
    EXPECT_EQ(156u, GetMenuItemID(GetSystemMenu(dialog.hwnd, FALSE), count + 1));
    // TRUE restores the default menu (and returns NULL): the appended items are gone.
    EXPECT_EQ(nullptr, GetSystemMenu(dialog.hwnd, TRUE));
    EXPECT_EQ(count, GetMenuItemCount(GetSystemMenu(dialog.hwnd, FALSE)));
}

}  // namespace
