// simwin's menus: the menu table and every menu function's results and last errors, by command and by
// position; the system menu a window owns; menus loaded from the program's resources; TrackPopupMenu
// with the scripted user picking, dismissing or doing something else, and the messages the owner gets.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "simwin/machine.h"
#include "simwin/menus.h"
#include "simwin/modules.h"
#include "simwin/win32.h"

namespace {

const DWORD kPoison = 0xdeadbeef;
const UINT kNone = static_cast<UINT>(-1);

class MenusTest : public ::testing::Test {
protected:
    simwin::Machine machine;
    simwin::MachineScope scope{machine};
};

// A message the test window received.
struct Received {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};

std::vector<Received> g_received;
std::function<void(UINT, WPARAM, LPARAM)> g_onMessage;

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    g_received.push_back({msg, wParam, lParam});
    if (g_onMessage) g_onMessage(msg, wParam, lParam);
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// A top-level window of a recording class, styled as the tool's dialogs are.
HWND MakeWindow(DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU, UINT classStyle = 0, const char* title = "Owner") {
    std::string className = "MenusTestClass" + std::to_string(classStyle);
    WNDCLASSA wc{};
    wc.style = classStyle;
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = className.c_str();
    RegisterClassA(&wc);
    HWND hwnd = CreateWindowExA(0, className.c_str(), title, style, 10, 10, 300, 200, NULL, NULL, simwin::programModule(), NULL);
    g_received.clear();
    g_onMessage = nullptr;
    return hwnd;
}

std::vector<UINT> MenuMessages() {
    std::vector<UINT> out;
    for (const Received& r : g_received)
        if (r.msg == WM_ENTERMENULOOP || r.msg == WM_EXITMENULOOP || r.msg == WM_INITMENU || r.msg == WM_INITMENUPOPUP ||
            r.msg == WM_UNINITMENUPOPUP || r.msg == WM_MENUSELECT || r.msg == WM_SETCURSOR)
            out.push_back(r.msg);
    return out;
}

const Received* FindReceived(UINT msg, size_t nth = 0) {
    for (const Received& r : g_received)
        if (r.msg == msg && nth-- == 0) return &r;
    return nullptr;
}

std::string Text(HMENU menu, UINT item, UINT flags) {
    char buffer[256];
    std::memset(buffer, 0xbd, sizeof buffer);
    int n = GetMenuStringA(menu, item, buffer, sizeof buffer, flags);
    return std::string(buffer, static_cast<size_t>(std::max(n, 0)));
}

// A popup "A" (101, 102 greyed, separator, popup "Sub" holding 201 and 202) as many tests use it.
struct SampleMenu {
    HMENU menu = CreatePopupMenu();
    HMENU sub = CreatePopupMenu();
    SampleMenu() {
        AppendMenuA(menu, MF_STRING, 101, "&Open");
        AppendMenuA(menu, MF_STRING | MF_GRAYED, 102, "Close\tAlt+F4");
        AppendMenuA(menu, MF_SEPARATOR, 0, NULL);
        AppendMenuA(sub, MF_STRING, 201, "Inner one");
        AppendMenuA(sub, MF_STRING | MF_CHECKED, 202, "Inner two");
        AppendMenuA(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), "&Sub");
    }
};

// A menu template of the program's resources for the time of a test.
class InjectedMenu {
public:
    explicit InjectedMenu(simwin::MenuTemplate t) : name_(t.name) { simwin::programResources().menus.push_back(std::move(t)); }
    ~InjectedMenu() {
        auto& menus = simwin::programResources().menus;
        menus.erase(std::remove_if(menus.begin(), menus.end(), [&](const simwin::MenuTemplate& m) { return m.name.matches(name_); }),
                    menus.end());
    }

private:
    simwin::ResourceName name_;
};

simwin::MenuItemTemplate ItemTemplate(UINT id, const std::string& text, UINT flags = 0) {
    simwin::MenuItemTemplate t;
    t.id = id;
    t.text = text;
    t.flags = flags;
    return t;
}

void Script(const std::string& text) {
    auto& user = simwin::current().windows.user;
    for (const simwin::UserAction& a : simwin::ScriptedUser::parse(text, "user.txt")) user.actions.push_back(a);
}

bool Posted(UINT msg, WPARAM wParam, LPARAM lParam) {
    for (const MSG& m : simwin::current().windows.queue)
        if (m.message == msg && m.wParam == wParam && m.lParam == lParam) return true;
    return false;
}

}  // namespace

// --- The table and its handles ----------------------------------------------------------------------------------

TEST_F(MenusTest, HandlesAreDistinctAndNotReusedAndDestroyedMenusAreGone) {
    HMENU bar = CreateMenu(), popup = CreatePopupMenu();
    ASSERT_NE(nullptr, bar);
    ASSERT_NE(nullptr, popup);
    EXPECT_NE(bar, popup);
    EXPECT_TRUE(IsMenu(bar));
    EXPECT_EQ(0, GetMenuItemCount(popup));

    EXPECT_TRUE(DestroyMenu(bar));
    SetLastError(kPoison);
    EXPECT_FALSE(IsMenu(bar));
    EXPECT_EQ(DWORD(ERROR_INVALID_MENU_HANDLE), GetLastError());
    SetLastError(kPoison);
    EXPECT_FALSE(DestroyMenu(bar));
    EXPECT_EQ(DWORD(ERROR_INVALID_MENU_HANDLE), GetLastError());

    HMENU again = CreateMenu();
    EXPECT_NE(bar, again);
    EXPECT_NE(popup, again);
}

TEST_F(MenusTest, DestroyMenuDestroysTheSubmenusOfItsPopups) {
    SampleMenu s;
    HMENU deeper = CreatePopupMenu();
    ASSERT_TRUE(AppendMenuA(s.sub, MF_POPUP, reinterpret_cast<UINT_PTR>(deeper), "Deeper"));
    HMENU unrelated = CreatePopupMenu();
    EXPECT_TRUE(DestroyMenu(s.menu));
    EXPECT_FALSE(IsMenu(s.menu));
    EXPECT_FALSE(IsMenu(s.sub));
    EXPECT_FALSE(IsMenu(deeper));
    EXPECT_TRUE(IsMenu(unrelated));
    EXPECT_EQ(1u, simwin::current().menus.count());
}

TEST_F(MenusTest, EveryFunctionFailsOnAHandleThatIsNoMenu) {
    HWND window = MakeWindow();
    HMENU dead = CreatePopupMenu();
    DestroyMenu(dead);
    char buffer[16];
    struct Case {
        const char* name;
        std::function<UINT(HMENU)> call;
        UINT failed;
    };
    const Case cases[] = {
        {"GetMenuItemCount", [](HMENU m) { return static_cast<UINT>(GetMenuItemCount(m)); }, kNone},
        {"GetMenuItemID", [](HMENU m) { return GetMenuItemID(m, 0); }, kNone},
        {"GetMenuState", [](HMENU m) { return GetMenuState(m, 0, MF_BYPOSITION); }, kNone},
        {"GetSubMenu", [](HMENU m) { return static_cast<UINT>(reinterpret_cast<uintptr_t>(GetSubMenu(m, 0))); }, 0},
        {"GetMenuStringA", [&](HMENU m) { return static_cast<UINT>(GetMenuStringA(m, 0, buffer, sizeof buffer, MF_BYPOSITION)); }, 0},
        {"AppendMenuA", [](HMENU m) { return static_cast<UINT>(AppendMenuA(m, MF_STRING, 1, "x")); }, 0},
        {"InsertMenuA", [](HMENU m) { return static_cast<UINT>(InsertMenuA(m, 0, MF_BYPOSITION, 1, "x")); }, 0},
        {"DeleteMenu", [](HMENU m) { return static_cast<UINT>(DeleteMenu(m, 0, MF_BYPOSITION)); }, 0},
        {"RemoveMenu", [](HMENU m) { return static_cast<UINT>(RemoveMenu(m, 0, MF_BYPOSITION)); }, 0},
        {"EnableMenuItem", [](HMENU m) { return static_cast<UINT>(EnableMenuItem(m, 0, MF_BYPOSITION)); }, kNone},
        {"CheckMenuItem", [](HMENU m) { return static_cast<UINT>(CheckMenuItem(m, 0, MF_BYPOSITION)); }, kNone},
        {"CheckMenuRadioItem", [](HMENU m) { return static_cast<UINT>(CheckMenuRadioItem(m, 0, 1, 0, MF_BYPOSITION)); }, 0},
        {"SetMenuDefaultItem", [](HMENU m) { return static_cast<UINT>(SetMenuDefaultItem(m, 0, TRUE)); }, 0},
        {"GetMenuDefaultItem", [](HMENU m) { return GetMenuDefaultItem(m, FALSE, 0); }, kNone},
        {"IsMenu", [](HMENU m) { return static_cast<UINT>(IsMenu(m)); }, 0},
        {"DestroyMenu", [](HMENU m) { return static_cast<UINT>(DestroyMenu(m)); }, 0},
        {"TrackPopupMenu", [&](HMENU m) { return static_cast<UINT>(TrackPopupMenu(m, TPM_RETURNCMD, 0, 0, 0, window, NULL)); }, 0},
    };
    const HMENU bad[] = {NULL, dead, reinterpret_cast<HMENU>(window)};
    for (const Case& c : cases) {
        for (HMENU m : bad) {
            SetLastError(kPoison);
            EXPECT_EQ(c.failed, c.call(m)) << c.name << " " << m;
            EXPECT_EQ(DWORD(ERROR_INVALID_MENU_HANDLE), GetLastError()) << c.name << " " << m;
        }
    }
    EXPECT_EQ(0u, simwin::current().menus.count());
}

// --- Items ----------------------------------------------------------------------------------------------------------

TEST_F(MenusTest, ItemIdsStatesAndTextsByPosition) {
    SampleMenu s;
    ASSERT_EQ(4, GetMenuItemCount(s.menu));
    struct Row {
        UINT id;
        UINT state;
        const char* text;
    };
    // A separator is greyed and disabled; a popup reports its item count in the high byte and ID -1.
    const Row rows[] = {
        {101, MF_STRING, "&Open"},
        {102, MF_STRING | MF_GRAYED, "Close\tAlt+F4"},
        {0, MF_SEPARATOR | MF_GRAYED | MF_DISABLED, ""},
        {kNone, (2u << 8) | MF_POPUP, "&Sub"},
    };
    for (UINT i = 0; i < 4; ++i) {
        SetLastError(kPoison);
        EXPECT_EQ(rows[i].id, GetMenuItemID(s.menu, static_cast<int>(i))) << i;
        EXPECT_EQ(rows[i].state, GetMenuState(s.menu, i, MF_BYPOSITION)) << i;
        EXPECT_EQ(rows[i].text, Text(s.menu, i, MF_BYPOSITION)) << i;
        EXPECT_EQ(kPoison, GetLastError()) << i;
    }
    EXPECT_EQ(s.sub, GetSubMenu(s.menu, 3));
    EXPECT_EQ(nullptr, GetSubMenu(s.menu, 0));
    EXPECT_EQ(nullptr, GetSubMenu(s.menu, 4));
    EXPECT_EQ(nullptr, GetSubMenu(s.menu, -1));
    EXPECT_EQ(kNone, GetMenuItemID(s.menu, 4));
    EXPECT_EQ(kNone, GetMenuItemID(s.menu, -1));
    EXPECT_EQ(kNone, GetMenuState(s.menu, 4, MF_BYPOSITION));
    // The submenu was marked a popup when it was attached; its own items count for the popup.
    AppendMenuA(s.sub, MF_STRING, 203, "Third");
    EXPECT_EQ((3u << 8) | MF_POPUP, GetMenuState(s.menu, 3, MF_BYPOSITION));
}

TEST_F(MenusTest, ByCommandLooksIntoSubmenusBeforeThePopupItsOwnIdMatches) {
    SampleMenu s;
    EXPECT_EQ(MF_STRING | MF_CHECKED, GetMenuState(s.menu, 202, MF_BYCOMMAND));
    EXPECT_EQ("Inner two", Text(s.menu, 202, MF_BYCOMMAND));
    // The popup item's own ID is its submenu's handle value; it is found when nothing below has that ID.
    UINT popupId = static_cast<UINT>(reinterpret_cast<uintptr_t>(s.sub));
    EXPECT_EQ((2u << 8) | MF_POPUP, GetMenuState(s.menu, popupId, MF_BYCOMMAND));
    AppendMenuA(s.sub, MF_STRING, popupId, "Same ID below");
    EXPECT_EQ(MF_STRING, GetMenuState(s.menu, popupId, MF_BYCOMMAND));
    EXPECT_EQ(kNone, GetMenuState(s.menu, 999, MF_BYCOMMAND));
}

TEST_F(MenusTest, GetMenuStringAQueriesTruncatesAndReportsAMissingItem) {
    HMENU m = CreatePopupMenu();
    AppendMenuA(m, MF_STRING, 1, "プリンタの削除");  // 7 characters of 3 bytes each in UTF-8
    EXPECT_EQ(21, GetMenuStringA(m, 1, NULL, 0, MF_BYCOMMAND));
    char buffer[8];
    std::memset(buffer, 0xbd, sizeof buffer);
    // A short buffer takes whole characters only.
    EXPECT_EQ(6, GetMenuStringA(m, 0, buffer, sizeof buffer, MF_BYPOSITION));
    EXPECT_EQ(std::string("プリ"), std::string(buffer));
    EXPECT_EQ(char(0xbd), buffer[7]);
    std::memset(buffer, 0xbd, sizeof buffer);
    SetLastError(kPoison);
    EXPECT_EQ(0, GetMenuStringA(m, 5, buffer, sizeof buffer, MF_BYPOSITION));
    EXPECT_EQ(DWORD(ERROR_MENU_ITEM_NOT_FOUND), GetLastError());
    EXPECT_EQ(0, buffer[0]);
    SetLastError(kPoison);
    EXPECT_EQ(0, GetMenuStringA(m, 77, buffer, sizeof buffer, MF_BYCOMMAND));
    EXPECT_EQ(DWORD(ERROR_MENU_ITEM_NOT_FOUND), GetLastError());
}

TEST_F(MenusTest, AppendAndInsertPlaceItemsByPositionAndByCommand) {
    SampleMenu s;
    // By position: before the item there; past the end (or -1): at the end.
    EXPECT_TRUE(InsertMenuA(s.menu, 1, MF_BYPOSITION | MF_STRING, 150, "Before close"));
    EXPECT_TRUE(InsertMenuA(s.menu, 99, MF_BYPOSITION | MF_STRING, 151, "At the end"));
    EXPECT_TRUE(InsertMenuA(s.menu, kNone, MF_BYPOSITION | MF_STRING, 152, "At the end too"));
    // By command: before the item with the command, also inside a submenu; no such command: at the end.
    EXPECT_TRUE(InsertMenuA(s.menu, 202, MF_BYCOMMAND | MF_STRING, 250, "Before inner two"));
    EXPECT_TRUE(InsertMenuA(s.menu, 999, MF_BYCOMMAND | MF_STRING, 153, "No such command"));
    const UINT top[] = {101, 150, 102, 0, kNone, 151, 152, 153};
    ASSERT_EQ(8, GetMenuItemCount(s.menu));
    for (int i = 0; i < 8; ++i) EXPECT_EQ(top[i], GetMenuItemID(s.menu, i)) << i;
    const UINT inner[] = {201, 250, 202};
    ASSERT_EQ(3, GetMenuItemCount(s.sub));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(inner[i], GetMenuItemID(s.sub, i)) << i;
}

TEST_F(MenusTest, AppendTakesStatesButNotTheDefaultAndMakesATextlessStringASeparator) {
    HMENU m = CreatePopupMenu();
    EXPECT_TRUE(AppendMenuA(m, MF_STRING | MF_HILITE | MF_DEFAULT | MF_CHECKED, 1, "a"));
    EXPECT_EQ(UINT(MF_HILITE | MF_CHECKED), GetMenuState(m, 1, MF_BYCOMMAND));
    EXPECT_EQ(kNone, GetMenuDefaultItem(m, FALSE, 0));
    // A column break without a text, as the main window puts before its About entry.
    EXPECT_TRUE(AppendMenuA(m, MF_MENUBARBREAK, 0, NULL));
    EXPECT_EQ(UINT(MF_SEPARATOR | MF_MENUBARBREAK | MF_GRAYED | MF_DISABLED), GetMenuState(m, 1, MF_BYPOSITION));
    // A popup whose handle is no menu becomes a plain item with that ID.
    EXPECT_TRUE(AppendMenuA(m, MF_POPUP, 0x1234, "not a menu"));
    EXPECT_EQ(nullptr, GetSubMenu(m, 2));
    EXPECT_EQ(0x1234u, GetMenuItemID(m, 2));
    // A menu cannot become its own submenu, directly or through another.
    HMENU sub = CreatePopupMenu();
    ASSERT_TRUE(AppendMenuA(m, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), "sub"));
    EXPECT_FALSE(AppendMenuA(m, MF_POPUP, reinterpret_cast<UINT_PTR>(m), "self"));
    EXPECT_FALSE(AppendMenuA(sub, MF_POPUP, reinterpret_cast<UINT_PTR>(m), "loop"));
    EXPECT_EQ(4, GetMenuItemCount(m));
    EXPECT_EQ(0, GetMenuItemCount(sub));
}

TEST_F(MenusTest, DeleteDestroysAPopupsSubmenuAndRemoveKeepsIt) {
    struct Case {
        bool byCommand;
        bool destroys;
    };
    for (Case c : {Case{false, true}, Case{true, true}, Case{false, false}, Case{true, false}}) {
        SampleMenu s;
        UINT item = c.byCommand ? static_cast<UINT>(reinterpret_cast<uintptr_t>(s.sub)) : 3;
        UINT flags = c.byCommand ? MF_BYCOMMAND : MF_BYPOSITION;
        EXPECT_TRUE(c.destroys ? DeleteMenu(s.menu, item, flags) : RemoveMenu(s.menu, item, flags));
        EXPECT_EQ(3, GetMenuItemCount(s.menu));
        EXPECT_EQ(!c.destroys, IsMenu(s.sub) != FALSE) << c.byCommand << c.destroys;
        // Plain items go by command from inside a submenu too.
        if (!c.destroys) continue;
        EXPECT_TRUE(DeleteMenu(s.menu, 101, MF_BYCOMMAND));
        EXPECT_EQ(102u, GetMenuItemID(s.menu, 0));
        EXPECT_FALSE(DeleteMenu(s.menu, 101, MF_BYCOMMAND));
        EXPECT_FALSE(RemoveMenu(s.menu, 2, MF_BYPOSITION));
    }
    SampleMenu s;
    EXPECT_TRUE(RemoveMenu(s.menu, 201, MF_BYCOMMAND));
    EXPECT_EQ(202u, GetMenuItemID(s.sub, 0));
}

TEST_F(MenusTest, EnableMenuItemReturnsThePreviousBitsAndSetsTheNewOnes) {
    SampleMenu s;
    struct Step {
        UINT item, flags, returned, state;
    };
    const Step steps[] = {
        {101, MF_BYCOMMAND | MF_GRAYED, MF_ENABLED, MF_GRAYED},
        {101, MF_BYCOMMAND | MF_DISABLED | MF_GRAYED, MF_GRAYED, MF_GRAYED | MF_DISABLED},
        {101, MF_BYCOMMAND | MF_DISABLED, MF_GRAYED | MF_DISABLED, MF_DISABLED},
        {0, MF_BYPOSITION | MF_ENABLED, MF_DISABLED, MF_ENABLED},
        {202, MF_BYCOMMAND | MF_GRAYED, MF_ENABLED, MF_GRAYED | MF_CHECKED},
        {1, MF_BYPOSITION | MF_ENABLED, MF_GRAYED, MF_ENABLED},
    };
    for (const Step& st : steps) {
        EXPECT_EQ(st.returned, static_cast<UINT>(EnableMenuItem(s.menu, st.item, st.flags))) << st.item;
        EXPECT_EQ(st.state, GetMenuState(s.menu, st.item, st.flags & MF_BYPOSITION)) << st.item;
    }
    EXPECT_EQ(-1, EnableMenuItem(s.menu, 999, MF_BYCOMMAND | MF_GRAYED));
    EXPECT_EQ(-1, EnableMenuItem(s.menu, 9, MF_BYPOSITION | MF_GRAYED));
}

TEST_F(MenusTest, CheckMenuItemAndCheckMenuRadioItem) {
    SampleMenu s;
    EXPECT_EQ(0u, CheckMenuItem(s.menu, 101, MF_BYCOMMAND | MF_CHECKED));
    EXPECT_EQ(DWORD(MF_CHECKED), CheckMenuItem(s.menu, 101, MF_BYCOMMAND | MF_CHECKED));
    EXPECT_EQ(DWORD(MF_CHECKED), CheckMenuItem(s.menu, 0, MF_BYPOSITION | MF_UNCHECKED));
    EXPECT_EQ(DWORD(MF_CHECKED), CheckMenuItem(s.menu, 202, MF_BYCOMMAND | MF_UNCHECKED));
    EXPECT_EQ(DWORD(-1), CheckMenuItem(s.menu, 999, MF_BYCOMMAND | MF_CHECKED));

    HMENU view = CreatePopupMenu();
    for (UINT id = 40004; id <= 40007; ++id) AppendMenuA(view, MF_STRING, id, "view");
    AppendMenuA(view, MF_STRING | MF_CHECKED, 40010, "outside the range");
    auto checked = [&](UINT id) { return (GetMenuState(view, id, MF_BYCOMMAND) & MF_CHECKED) != 0; };
    EXPECT_TRUE(CheckMenuRadioItem(view, 40004, 40007, 40006, MF_BYCOMMAND));
    for (UINT id = 40004; id <= 40007; ++id) EXPECT_EQ(id == 40006, checked(id)) << id;
    EXPECT_EQ(UINT(MFT_RADIOCHECK | MF_CHECKED), GetMenuState(view, 40006, MF_BYCOMMAND));
    EXPECT_TRUE(checked(40010));
    // By position; the radio mark of the item that lost the check stays.
    EXPECT_TRUE(CheckMenuRadioItem(view, 0, 3, 0, MF_BYPOSITION));
    EXPECT_EQ(UINT(MFT_RADIOCHECK), GetMenuState(view, 40006, MF_BYCOMMAND));
    EXPECT_TRUE(checked(40004));
    // A check outside the range unchecks them all and fails.
    EXPECT_FALSE(CheckMenuRadioItem(view, 40004, 40007, 40010, MF_BYCOMMAND));
    for (UINT id = 40004; id <= 40007; ++id) EXPECT_FALSE(checked(id)) << id;
}

TEST_F(MenusTest, DefaultItemByCommandAndByPosition) {
    SampleMenu s;
    EXPECT_EQ(kNone, GetMenuDefaultItem(s.menu, FALSE, 0));
    EXPECT_TRUE(SetMenuDefaultItem(s.menu, 101, FALSE));
    EXPECT_EQ(101u, GetMenuDefaultItem(s.menu, FALSE, 0));
    EXPECT_EQ(0u, GetMenuDefaultItem(s.menu, TRUE, 0));
    EXPECT_EQ(UINT(MF_DEFAULT), GetMenuState(s.menu, 101, MF_BYCOMMAND));
    // One default at a time.
    EXPECT_TRUE(SetMenuDefaultItem(s.menu, 1, TRUE));
    EXPECT_EQ(102u, GetMenuDefaultItem(s.menu, FALSE, GMDI_USEDISABLED));
    EXPECT_EQ(UINT(MF_STRING), GetMenuState(s.menu, 101, MF_BYCOMMAND));
    // A greyed default is found only when asked for.
    EXPECT_EQ(kNone, GetMenuDefaultItem(s.menu, FALSE, 0));
    // A popup as the default, and into it.
    EXPECT_TRUE(SetMenuDefaultItem(s.menu, 3, TRUE));
    SetMenuDefaultItem(s.sub, 202, FALSE);
    EXPECT_EQ(3u, GetMenuDefaultItem(s.menu, TRUE, 0));
    EXPECT_EQ(202u, GetMenuDefaultItem(s.menu, FALSE, GMDI_GOINTOPOPUPS));
    // Commands are not looked for in submenus, and the old default is gone even when the new one is missing.
    EXPECT_FALSE(SetMenuDefaultItem(s.menu, 201, FALSE));
    EXPECT_EQ(kNone, GetMenuDefaultItem(s.menu, TRUE, 0));
    EXPECT_FALSE(SetMenuDefaultItem(s.menu, 4, TRUE));
    EXPECT_TRUE(SetMenuDefaultItem(s.menu, 0, TRUE));
    EXPECT_TRUE(SetMenuDefaultItem(s.menu, kNone, FALSE));
    EXPECT_EQ(kNone, GetMenuDefaultItem(s.menu, FALSE, GMDI_USEDISABLED));
}

// --- Menus of the program's resources -------------------------------------------------------------------------------

TEST_F(MenusTest, LoadMenuAReadsATemplateOfTheProgramModule) {
    simwin::MenuTemplate t;
    t.name = simwin::ResourceName::fromName("SIMWIN_TEST_MENU");
    simwin::MenuItemTemplate popup = ItemTemplate(0, "&File", MF_POPUP);
    popup.items = {ItemTemplate(11, "&New"), ItemTemplate(0, "", MF_SEPARATOR), ItemTemplate(0, ""),
                   ItemTemplate(12, "E&xit", MF_GRAYED | 0x80 /* MF_END of the last item */)};
    t.items = {popup, ItemTemplate(20, "&Help", MF_MENUBARBREAK | MF_CHECKED)};
    InjectedMenu injected(t);

    for (HINSTANCE instance : {simwin::programModule(), static_cast<HINSTANCE>(NULL)}) {
        SetLastError(kPoison);
        HMENU bar = LoadMenuA(instance, "simwin_test_menu");
        ASSERT_NE(nullptr, bar);
        EXPECT_EQ(kPoison, GetLastError());
        ASSERT_EQ(2, GetMenuItemCount(bar));
        HMENU file = GetSubMenu(bar, 0);
        ASSERT_NE(nullptr, file);
        EXPECT_EQ("&File", Text(bar, 0, MF_BYPOSITION));
        EXPECT_EQ(UINT(MF_MENUBARBREAK | MF_CHECKED), GetMenuState(bar, 20, MF_BYCOMMAND));
        ASSERT_EQ(4, GetMenuItemCount(file));
        EXPECT_EQ(UINT(MF_SEPARATOR | MF_GRAYED | MF_DISABLED), GetMenuState(file, 1, MF_BYPOSITION));
        EXPECT_EQ(UINT(MF_SEPARATOR | MF_GRAYED | MF_DISABLED), GetMenuState(file, 2, MF_BYPOSITION));
        EXPECT_EQ(UINT(MF_GRAYED), GetMenuState(bar, 12, MF_BYCOMMAND));
        EXPECT_EQ("E&xit", Text(bar, 12, MF_BYCOMMAND));
    }
    // Each load is a menu of its own.
    EXPECT_NE(LoadMenuA(NULL, "SIMWIN_TEST_MENU"), LoadMenuA(NULL, "SIMWIN_TEST_MENU"));

    SetLastError(kPoison);
    EXPECT_EQ(nullptr, LoadMenuA(simwin::programModule(), "NO_SUCH_MENU"));
    EXPECT_EQ(DWORD(ERROR_RESOURCE_NAME_NOT_FOUND), GetLastError());
    SetLastError(kPoison);
    EXPECT_EQ(nullptr, LoadMenuA(simwin::programModule(), NULL));
    EXPECT_EQ(DWORD(ERROR_RESOURCE_NAME_NOT_FOUND), GetLastError());
    SetLastError(kPoison);
    EXPECT_EQ(nullptr, LoadMenuA(reinterpret_cast<HINSTANCE>(0x10000000), "SIMWIN_TEST_MENU"));
    EXPECT_EQ(DWORD(ERROR_RESOURCE_TYPE_NOT_FOUND), GetLastError());
}

TEST_F(MenusTest, TheSelectionPagesContextMenu117HasItsTenItems) {
    HMENU context = LoadMenuA(simwin::programModule(), MAKEINTRESOURCEA(117));
    ASSERT_NE(nullptr, context);
    HMENU view = GetSubMenu(context, 0);
    ASSERT_NE(nullptr, view);
    const UINT ids[] = {40009, 0, 40004, 40005, 40006, 40007, 0, 40010, 0, 40012};
    ASSERT_EQ(10, GetMenuItemCount(view));
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(ids[i], GetMenuItemID(view, i)) << i;
        EXPECT_EQ(ids[i] == 0, (GetMenuState(view, static_cast<UINT>(i), MF_BYPOSITION) & MF_SEPARATOR) != 0) << i;
    }
    EXPECT_EQ("プリンタの削除", Text(view, 40009, MF_BYCOMMAND));
    EXPECT_EQ("Other Details...", Text(view, 40012, MF_BYCOMMAND));
}

// --- The system menu ----------------------------------------------------------------------------------------------

TEST_F(MenusTest, ADialogsSystemMenuIsItsOwnCopyOfTheStandardItems) {
    HWND dialog = MakeWindow();
    SetLastError(kPoison);
    HMENU menu = GetSystemMenu(dialog, FALSE);
    ASSERT_NE(nullptr, menu);
    EXPECT_EQ(kPoison, GetLastError());
    EXPECT_EQ(menu, GetSystemMenu(dialog, FALSE));
    const UINT ids[] = {SC_RESTORE, SC_MOVE, SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE, 0, SC_CLOSE};
    ASSERT_EQ(7, GetMenuItemCount(menu));
    for (int i = 0; i < 7; ++i) EXPECT_EQ(ids[i], GetMenuItemID(menu, i)) << i;
    EXPECT_EQ(UINT(MF_SEPARATOR | MF_GRAYED | MF_DISABLED), GetMenuState(menu, 5, MF_BYPOSITION));
    EXPECT_EQ(UINT(MF_DEFAULT), GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND));
    EXPECT_EQ(UINT(SC_CLOSE), GetMenuDefaultItem(menu, FALSE, 0));
    EXPECT_EQ("閉じる(&C)\tAlt+F4", Text(menu, SC_CLOSE, MF_BYCOMMAND));
    EXPECT_EQ("移動(&M)", Text(menu, SC_MOVE, MF_BYCOMMAND));

    // Another window has a copy of its own.
    HWND other = MakeWindow();
    EXPECT_NE(menu, GetSystemMenu(other, FALSE));
    // The window's changes stay until it reverts; reverting gives NULL and a fresh copy next time.
    EnableMenuItem(menu, SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
    EXPECT_EQ(UINT(MF_DEFAULT | MF_GRAYED), GetMenuState(GetSystemMenu(dialog, FALSE), SC_CLOSE, MF_BYCOMMAND));
    EXPECT_EQ(nullptr, GetSystemMenu(dialog, TRUE));
    EXPECT_FALSE(IsMenu(menu));
    HMENU fresh = GetSystemMenu(dialog, FALSE);
    EXPECT_NE(menu, fresh);
    EXPECT_EQ(UINT(MF_DEFAULT), GetMenuState(fresh, SC_CLOSE, MF_BYCOMMAND));

    // It goes with its window.
    EXPECT_TRUE(DestroyWindow(dialog));
    EXPECT_FALSE(IsMenu(fresh));
}

TEST_F(MenusTest, SystemMenuOfWindowsWithoutOneAndOfBadHandles) {
    HWND plain = MakeWindow(WS_POPUP | WS_CAPTION);
    SetLastError(kPoison);
    EXPECT_EQ(nullptr, GetSystemMenu(plain, FALSE));
    EXPECT_EQ(kPoison, GetLastError());
    HWND noClose = MakeWindow(WS_POPUP | WS_CAPTION | WS_SYSMENU, CS_NOCLOSE);
    HMENU menu = GetSystemMenu(noClose, FALSE);
    ASSERT_EQ(6, GetMenuItemCount(menu));  // Wine keeps the separator before the Close it leaves out
    EXPECT_EQ(UINT(MF_SEPARATOR | MF_GRAYED | MF_DISABLED), GetMenuState(menu, 5, MF_BYPOSITION));
    EXPECT_EQ(kNone, GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND));
    SetLastError(kPoison);
    EXPECT_EQ(nullptr, GetSystemMenu(reinterpret_cast<HWND>(0x7777), FALSE));
    EXPECT_EQ(DWORD(ERROR_INVALID_WINDOW_HANDLE), GetLastError());
}

TEST_F(MenusTest, PictureOfAMenu) {
    SampleMenu s;
    SetMenuDefaultItem(s.menu, 101, FALSE);
    AppendMenuA(s.menu, MF_MENUBARBREAK, 0, NULL);
    AppendMenuA(s.menu, MF_STRING | MF_MENUBREAK | MF_DISABLED, 156, "About");
    const std::vector<std::string> expected = {
        "[101] \"Open\" (default)",
        "[102] \"Close\\tAlt+F4\" (greyed)",
        "----",
        "\"Sub\" (submenu)",
        "    [201] \"Inner one\"",
        "    [202] \"Inner two\" (checked)",
        "|| column break",
        "----",
        "| column break",
        "[156] \"About\" (disabled)",
    };
    EXPECT_EQ(expected, simwin::menuPicture(s.menu));
    EXPECT_TRUE(simwin::menuPicture(reinterpret_cast<HMENU>(0x99)).empty());
}

// --- TrackPopupMenu with the scripted user ---------------------------------------------------------------------------

TEST_F(MenusTest, APickPostsTheCommandAfterTheMenuMessagesWindowsSends) {
    HWND owner = MakeWindow();
    SampleMenu s;
    Script("menu \"Open\"\n");
    SetLastError(kPoison);
    EXPECT_EQ(TRUE, TrackPopupMenu(s.menu, TPM_RIGHTBUTTON, 5, 5, 0, owner, NULL));
    EXPECT_EQ(DWORD(ERROR_SUCCESS), GetLastError());
    const std::vector<UINT> sequence = {WM_ENTERMENULOOP, WM_SETCURSOR,       WM_INITMENU,   WM_INITMENUPOPUP,
                                        WM_MENUSELECT,    WM_UNINITMENUPOPUP, WM_MENUSELECT, WM_EXITMENULOOP};
    EXPECT_EQ(sequence, MenuMessages());
    EXPECT_EQ(WPARAM(TRUE), FindReceived(WM_ENTERMENULOOP)->wParam);
    EXPECT_EQ(reinterpret_cast<WPARAM>(s.menu), FindReceived(WM_INITMENU)->wParam);
    EXPECT_EQ(reinterpret_cast<WPARAM>(s.menu), FindReceived(WM_INITMENUPOPUP)->wParam);
    EXPECT_EQ(0, FindReceived(WM_INITMENUPOPUP)->lParam);
    // The person moves onto the item, then the menu closes: WM_MENUSELECT with 0xFFFF and no menu.
    EXPECT_EQ(WPARAM(MAKELONG(101, MF_HILITE)), FindReceived(WM_MENUSELECT, 0)->wParam);
    EXPECT_EQ(reinterpret_cast<LPARAM>(s.menu), FindReceived(WM_MENUSELECT, 0)->lParam);
    EXPECT_EQ(WPARAM(0xFFFF0000u), FindReceived(WM_MENUSELECT, 1)->wParam);
    EXPECT_EQ(0, FindReceived(WM_MENUSELECT, 1)->lParam);
    EXPECT_TRUE(Posted(WM_COMMAND, 101, 0));
    EXPECT_TRUE(simwin::current().windows.user.actions.empty());
    EXPECT_EQ("menu command 101 \"Open\"", simwin::current().transcript.lines.back());
    EXPECT_EQ(nullptr, simwin::current().menus.open);
}

TEST_F(MenusTest, TargetsAreIdsOrVisibleTextsAndReturnCmdReturnsTheCommand) {
    HWND owner = MakeWindow();
    SampleMenu s;
    struct Case {
        const char* script;
        UINT command;
    };
    const Case cases[] = {
        {"menu 101", 101},
        {"menu \"&Open\"", 101},
        {"menu \"Open\"", 101},
        {"menu \"Inner two\"", 202},  // inside the submenu
        {"menu 201", 201},
    };
    for (const Case& c : cases) {
        Script(c.script);
        g_received.clear();
        EXPECT_EQ(static_cast<BOOL>(c.command), TrackPopupMenu(s.menu, TPM_RETURNCMD, 0, 0, 0, owner, NULL)) << c.script;
        EXPECT_TRUE(simwin::current().windows.queue.empty()) << c.script;
    }
}

TEST_F(MenusTest, APickInASubmenuOpensItFirst) {
    HWND owner = MakeWindow();
    SampleMenu s;
    Script("menu \"Inner one\"");
    EXPECT_TRUE(TrackPopupMenu(s.menu, 0, 0, 0, 0, owner, NULL));
    const std::vector<UINT> sequence = {WM_ENTERMENULOOP,   WM_SETCURSOR,       WM_INITMENU,   WM_INITMENUPOPUP,
                                        WM_MENUSELECT,      WM_INITMENUPOPUP,   WM_MENUSELECT, WM_UNINITMENUPOPUP,
                                        WM_UNINITMENUPOPUP, WM_MENUSELECT,      WM_EXITMENULOOP};
    EXPECT_EQ(sequence, MenuMessages());
    // Onto the popup at position 3, its submenu opened, onto the item; closed innermost first.
    EXPECT_EQ(WPARAM(MAKELONG(3, MF_POPUP | MF_HILITE)), FindReceived(WM_MENUSELECT, 0)->wParam);
    EXPECT_EQ(reinterpret_cast<WPARAM>(s.sub), FindReceived(WM_INITMENUPOPUP, 1)->wParam);
    EXPECT_EQ(3, FindReceived(WM_INITMENUPOPUP, 1)->lParam);
    EXPECT_EQ(WPARAM(MAKELONG(201, MF_HILITE)), FindReceived(WM_MENUSELECT, 1)->wParam);
    EXPECT_EQ(reinterpret_cast<LPARAM>(s.sub), FindReceived(WM_MENUSELECT, 1)->lParam);
    EXPECT_EQ(reinterpret_cast<WPARAM>(s.sub), FindReceived(WM_UNINITMENUPOPUP, 0)->wParam);
    EXPECT_EQ(reinterpret_cast<WPARAM>(s.menu), FindReceived(WM_UNINITMENUPOPUP, 1)->wParam);
    EXPECT_TRUE(Posted(WM_COMMAND, 201, 0));
}

TEST_F(MenusTest, AnItemThatCannotBeChosenStopsTheRun) {
    HWND owner = MakeWindow(WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, "削除");
    struct Case {
        const char* script;
        const char* why;
    };
    const Case cases[] = {
        {"\n\nmenu \"Close\"", "user (line 3): cannot menu \"Close\" in the menu of \"削除\": the item is greyed"},
        {"menu 102", "user (line 1): cannot menu 102 in the menu of \"削除\": the item is greyed"},
        {"menu 301", "the item is disabled"},
        {"menu \"Nothing\"", "the menu has no such item"},
        {"menu \"Sub\"", "the item opens a submenu"},
        {"menu 0", "the item is a separator"},
        {"menu 401", "the submenu \"Locked\" is greyed"},
    };
    for (const Case& c : cases) {
        SampleMenu s;
        AppendMenuA(s.menu, MF_STRING | MF_DISABLED, 301, "Disabled");
        HMENU locked = CreatePopupMenu();
        AppendMenuA(locked, MF_STRING, 401, "Behind a grey popup");
        AppendMenuA(s.menu, MF_POPUP | MF_GRAYED, reinterpret_cast<UINT_PTR>(locked), "&Locked");
        simwin::current().windows.user.actions.clear();
        Script(c.script);
        try {
            TrackPopupMenu(s.menu, 0, 0, 0, 0, owner, NULL);
            ADD_FAILURE() << c.script << " did not stop";
        } catch (const simwin::UserStop& e) {
            EXPECT_NE(std::string::npos, std::string(e.what()).find(c.why)) << e.what();
        }
        EXPECT_TRUE(simwin::current().windows.queue.empty()) << c.script;
        // The menu is not left open by the stop.
        EXPECT_EQ(nullptr, simwin::current().menus.open);
    }
}

TEST_F(MenusTest, TheOwnerPreparesTheMenuOnInitMenuPopupBeforeThePick) {
    HWND owner = MakeWindow();
    SampleMenu s;
    g_onMessage = [&](UINT msg, WPARAM wParam, LPARAM) {
        if (msg == WM_INITMENUPOPUP && reinterpret_cast<HMENU>(wParam) == s.menu)
            EnableMenuItem(s.menu, 102, MF_BYCOMMAND | MF_ENABLED);
    };
    Script("menu 102");
    EXPECT_EQ(102, TrackPopupMenu(s.menu, TPM_RETURNCMD, 0, 0, 0, owner, NULL));
}

TEST_F(MenusTest, DismissingOrDoingSomethingElseClosesTheMenuWithoutACommand) {
    HWND owner = MakeWindow();
    SampleMenu s;
    struct Case {
        const char* script;
        UINT flags;
        BOOL returned;
        size_t actionsLeft;
    };
    const Case cases[] = {
        {"dismiss", TPM_RETURNCMD, 0, 0},
        {"dismiss", 0, TRUE, 0},
        {"", TPM_RETURNCMD, 0, 0},
        {"press 1", TPM_RETURNCMD, 0, 1},
        {"answer yes\nmenu 101", 0, TRUE, 2},
    };
    for (const Case& c : cases) {
        simwin::current().windows.user.actions.clear();
        Script(c.script);
        g_received.clear();
        EXPECT_EQ(c.returned, TrackPopupMenu(s.menu, c.flags, 0, 0, 0, owner, NULL)) << c.script;
        EXPECT_EQ(c.actionsLeft, simwin::current().windows.user.actions.size()) << c.script;
        EXPECT_TRUE(simwin::current().windows.queue.empty()) << c.script;
        const std::vector<UINT> sequence = {WM_ENTERMENULOOP,   WM_SETCURSOR,  WM_INITMENU,    WM_INITMENUPOPUP,
                                            WM_UNINITMENUPOPUP, WM_MENUSELECT, WM_EXITMENULOOP};
        EXPECT_EQ(sequence, MenuMessages()) << c.script;
    }
}

TEST_F(MenusTest, NoNotifyLeavesOutTheOwnersMenuNotifications) {
    HWND owner = MakeWindow();
    SampleMenu s;
    Script("menu \"Inner one\"");
    EXPECT_EQ(201, TrackPopupMenu(s.menu, TPM_NONOTIFY | TPM_RETURNCMD, 0, 0, 0, owner, NULL));
    const std::vector<UINT> sequence = {WM_SETCURSOR, WM_MENUSELECT, WM_MENUSELECT, WM_MENUSELECT, WM_EXITMENULOOP};
    EXPECT_EQ(sequence, MenuMessages());
}

TEST_F(MenusTest, TrackPopupMenuFailures) {
    HWND owner = MakeWindow();
    SampleMenu s;
    SetLastError(kPoison);
    EXPECT_FALSE(TrackPopupMenu(s.menu, 0, 0, 0, 0, reinterpret_cast<HWND>(0x7777), NULL));
    EXPECT_EQ(DWORD(ERROR_INVALID_WINDOW_HANDLE), GetLastError());
    EXPECT_FALSE(TrackPopupMenu(s.menu, 0, 0, 0, 0, NULL, NULL));
    EXPECT_TRUE(g_received.empty());

    // A second menu while one is open fails; the first one goes on.
    HMENU second = CreatePopupMenu();
    AppendMenuA(second, MF_STRING, 7, "seven");
    BOOL nested = -5;
    DWORD nestedError = 0;
    g_onMessage = [&](UINT msg, WPARAM, LPARAM) {
        if (msg != WM_INITMENUPOPUP) return;
        SetLastError(kPoison);
        nested = TrackPopupMenu(second, TPM_RETURNCMD, 0, 0, 0, owner, NULL);
        nestedError = GetLastError();
    };
    Script("menu 101");
    EXPECT_EQ(101, TrackPopupMenu(s.menu, TPM_RETURNCMD, 0, 0, 0, owner, NULL));
    EXPECT_FALSE(nested);
    EXPECT_EQ(DWORD(ERROR_POPUP_ALREADY_ACTIVE), nestedError);

    // An empty menu closes at once, without asking the user.
    g_onMessage = nullptr;
    g_received.clear();
    Script("menu 101");
    SetLastError(kPoison);
    EXPECT_FALSE(TrackPopupMenu(CreatePopupMenu(), 0, 0, 0, 0, owner, NULL));
    EXPECT_EQ(DWORD(ERROR_SUCCESS), GetLastError());
    EXPECT_EQ(1u, simwin::current().windows.user.actions.size());
    const std::vector<UINT> sequence = {WM_ENTERMENULOOP, WM_SETCURSOR, WM_INITMENU, WM_INITMENUPOPUP, WM_EXITMENULOOP,
                                        WM_UNINITMENUPOPUP};
    EXPECT_EQ(sequence, MenuMessages());
}

TEST_F(MenusTest, TheMenuTakesQueuedInputAndRunsOtherMessagesBeforeThePersonLooks) {
    HWND owner = MakeWindow();
    SampleMenu s;
    auto& ws = simwin::current().windows;
    // A button-up of the click that opened the menu goes to the menu (the message hooks see it taken); a
    // posted message is delivered.
    static std::vector<UINT> hooked;
    hooked.clear();
    HHOOK hook = SetWindowsHookExA(WH_GETMESSAGE, [](int code, WPARAM wParam, LPARAM lParam) -> LRESULT {
        hooked.push_back(reinterpret_cast<MSG*>(lParam)->message);
        return CallNextHookEx(NULL, code, wParam, lParam);
    }, NULL, 0);
    PostMessageA(owner, WM_RBUTTONUP, 0, 0);
    PostMessageA(owner, WM_USER + 5, 1, 2);
    Script("menu 101");
    EXPECT_EQ(101, TrackPopupMenu(s.menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, 0, 0, 0, owner, NULL));
    UnhookWindowsHookEx(hook);
    EXPECT_EQ((std::vector<UINT>{WM_RBUTTONUP, WM_USER + 5}), hooked);
    EXPECT_EQ(nullptr, FindReceived(WM_RBUTTONUP));
    ASSERT_NE(nullptr, FindReceived(WM_USER + 5));
    EXPECT_TRUE(ws.queue.empty());
    // A click elsewhere closes it before the person picks.
    Script("menu 101");
    PostMessageA(owner, WM_LBUTTONDOWN, 0, 0);
    EXPECT_EQ(0, TrackPopupMenu(s.menu, TPM_RETURNCMD, 0, 0, 0, owner, NULL));
    EXPECT_EQ(1u, ws.user.actions.size());
    // The right button closes it only when it tracks the right button.
    PostMessageA(owner, WM_RBUTTONDOWN, 0, 0);
    EXPECT_EQ(101, TrackPopupMenu(s.menu, TPM_RETURNCMD, 0, 0, 0, owner, NULL));
}

TEST_F(MenusTest, ThePersonSeesThePictureOfTheOpenMenu) {
    HWND owner = MakeWindow(WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, "Main");
    SampleMenu s;
    SetMenuDefaultItem(s.menu, 101, FALSE);
    std::vector<std::vector<std::string>> shown;
    simwin::current().windows.user.show = [&](const std::vector<std::string>& lines) { shown.push_back(lines); };
    Script("dismiss");
    TrackPopupMenu(s.menu, 0, 0, 0, 0, owner, NULL);
    ASSERT_FALSE(shown.empty());
    const std::vector<std::string>& picture = shown.front();
    ASSERT_EQ(7u, picture.size());
    EXPECT_EQ("popup menu of \"Main\"", picture[0]);
    EXPECT_EQ("    [101] \"Open\" (default)", picture[1]);
    EXPECT_EQ("        [202] \"Inner two\" (checked)", picture[6]);
}

TEST_F(MenusTest, ThePickOfASystemMenuArrivesAsASysCommandOfTheItemsThatApply) {
    HWND owner = MakeWindow();
    HMENU menu = GetSystemMenu(owner, FALSE);
    // Opening it greys what a dialog without a sizing frame and boxes cannot do.
    Script("menu \"最大化(X)\"");
    EXPECT_THROW(TrackPopupMenu(menu, 0, 0, 0, 0, owner, NULL), simwin::UserStop);
    EXPECT_EQ(UINT(MF_GRAYED), GetMenuState(menu, SC_MAXIMIZE, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED));
    EXPECT_EQ(UINT(MF_GRAYED), GetMenuState(menu, SC_SIZE, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED));
    EXPECT_EQ(UINT(MF_GRAYED), GetMenuState(menu, SC_RESTORE, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED));
    EXPECT_EQ(0u, GetMenuState(menu, SC_MOVE, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED));
    simwin::current().windows.user.actions.clear();
    Script("menu \"閉じる(C)\"");
    EXPECT_TRUE(TrackPopupMenu(menu, 0, 0, 0, 0, owner, NULL));
    const auto& queue = simwin::current().windows.queue;
    ASSERT_EQ(1u, queue.size());
    EXPECT_EQ(UINT(WM_SYSCOMMAND), queue.front().message);
    EXPECT_EQ(WPARAM(SC_CLOSE), queue.front().wParam);
}
