// The program's own resources/korun04.rc as simwin reads it: every dialog the tool uses with its controls,
// the context menu, the bitmaps, the icon and the version resource.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "resources/resource.h"
#include "simwin/machine.h"
#include "simwin/resource_set.h"
#include "simwin/win32.h"
#include "support/resource_script.h"

namespace {

using namespace rcscript;

// ===== The program's resources ===========================================================================

const DialogTemplate& programDialog(const ResourceName& name) {
    const DialogTemplate* d = simwin::programResources().dialog(name);
    if (!d) throw std::runtime_error("no dialog " + name.text());
    return *d;
}

TEST(ProgramResources, EveryDialogTheToolUsesHasItsControls) {
    struct Expected {
        ResourceName name;
        std::vector<int> ids;
    } dialogs[] = {
        {ResourceName::fromName("IDD_MAIN_NOBMP"), {IDC_PAGE_FRAME, IDC_SEPARATOR, IDC_UNINSTALL, IDC_EXIT}},
        {ResourceName::fromName("IDD_SELECT"), {IDC_SELECT_CAPTION, IDC_PRINTER_LIST, IDC_SELECT_WARNING}},
        {ResourceName::fromName("IDD_REMOVE"), {1096, 1087, 1097, 1088, 1098, 1089, 1099, 1090, 1100, 1091, 1101, 1092,
                                                1102, 1093, 1103, 1094, 1104, 1095}},
        {ResourceName::fromId(IDD_LOADING), {IDC_LOADING_ICON, IDC_LOADING_TEXT, IDC_LOADING_PROGRESS, IDC_LOADING_HIDDEN}},
        {ResourceName::fromId(IDD_ABOUT), {IDC_STATIC, IDC_STATIC, IDC_ABOUT_NOTICE, IDC_ABOUT_LIST, IDC_STATIC, IDOK}},
        {ResourceName::fromId(IDD_EXTRA_INFO), {IDC_STATIC, IDC_EXTRA_LIST, 1097, 1098, 1099, 1100, 1101, 1102, 1103, 1104,
                                                1105, 1106, 1107, 1109, IDC_EXTRA_THIS_PROFILE, IDOK}},
    };
    for (const Expected& e : dialogs) {
        const DialogTemplate& d = programDialog(e.name);
        EXPECT_EQ(e.ids, itemIds(d)) << e.name.text();
        EXPECT_EQ("ＭＳ Ｐゴシック", d.fontName) << e.name.text();
        EXPECT_EQ(9, d.pointSize) << e.name.text();
        EXPECT_EQ(0x411, d.language) << e.name.text();
    }
}

TEST(ProgramResources, MainWindowAndPages) {
    const DialogTemplate& main = programDialog(ResourceName::fromName("IDD_MAIN_NOBMP"));
    EXPECT_EQ(kPopup | kCaption | kSysMenu | kMinimizeBox | kModalFrame | kSetFont, main.style);
    EXPECT_EQ("VSTUninstallWindowClass__", main.className);
    EXPECT_EQ("IDD_MAIN_NOBMP", main.caption);
    EXPECT_EQ(254, main.cx);
    EXPECT_EQ(186, main.cy);
    const DialogItemTemplate& frame = item(main, IDC_PAGE_FRAME);
    EXPECT_EQ(0u, frame.style & kVisible);  // hidden at start
    EXPECT_EQ(7u, frame.style & 0x1F);      // SS_BLACKFRAME
    EXPECT_EQ(7, frame.x);
    EXPECT_EQ(240, frame.cx);
    EXPECT_EQ(140, frame.cy);
    EXPECT_EQ(0x10u, item(main, IDC_SEPARATOR).style & 0x1F);  // SS_ETCHEDHORZ
    EXPECT_EQ(155, item(main, IDC_SEPARATOR).y);
    const DialogItemTemplate& uninstall = item(main, IDC_UNINSTALL);
    EXPECT_EQ("<IDS_BTN_UNINSTALL>", uninstall.text);
    EXPECT_EQ(1u, uninstall.style & 0xF);  // BS_DEFPUSHBUTTON
    EXPECT_EQ(93, uninstall.x);
    EXPECT_EQ(165, uninstall.y);
    EXPECT_EQ(73, uninstall.cx);
    EXPECT_EQ(14, uninstall.cy);
    EXPECT_EQ("<IDS_BTN_EXIT>", item(main, IDC_EXIT).text);
    EXPECT_EQ(173, item(main, IDC_EXIT).x);

    for (const char* page : {"IDD_SELECT", "IDD_REMOVE"}) {
        const DialogTemplate& d = programDialog(ResourceName::fromName(page));
        EXPECT_EQ(kChild | kControl | kSetFont, d.style) << page;
        EXPECT_EQ(140, d.cy) << page;
    }
    EXPECT_EQ(210, programDialog(ResourceName::fromName("IDD_SELECT")).cx);
    const DialogItemTemplate& list = item(programDialog(ResourceName::fromName("IDD_SELECT")), IDC_PRINTER_LIST);
    EXPECT_EQ("SysListView32", list.className);
    EXPECT_EQ(1u, list.style & 3);          // LVS_REPORT
    EXPECT_NE(0u, list.style & 0x100);      // LVS_AUTOARRANGE
    EXPECT_NE(0u, list.style & 0x8000);     // LVS_NOSORTHEADER
    EXPECT_EQ(0u, list.style & 4);          // not LVS_SINGLESEL: several printers can be chosen

    const DialogTemplate& remove = programDialog(ResourceName::fromName("IDD_REMOVE"));
    EXPECT_EQ(240, remove.cx);
    for (int row = 0; row < 9; ++row) {
        const DialogItemTemplate& label = item(remove, IDC_ROW_LABEL_FIRST + row);
        const DialogItemTemplate& icon = item(remove, IDC_ROW_ICON_FIRST + row);
        EXPECT_EQ(24, label.x) << row;
        EXPECT_EQ(7, icon.x) << row;
        EXPECT_EQ(5 + 15 * row, label.y) << row;
        EXPECT_EQ(5 + 15 * row, icon.y) << row;
        EXPECT_EQ(15, icon.cx) << row;
        EXPECT_EQ(13, icon.cy) << row;
    }
}

TEST(ProgramResources, LoadingAboutAndDetailsDialogs) {
    const DialogTemplate& loading = programDialog(ResourceName::fromId(IDD_LOADING));
    EXPECT_EQ("msctls_progress32", item(loading, IDC_LOADING_PROGRESS).className);
    EXPECT_EQ(0u, item(loading, IDC_LOADING_HIDDEN).style & kVisible);
    EXPECT_EQ(3u, item(loading, IDC_LOADING_ICON).style & 0x1F);  // SS_ICON
    EXPECT_EQ("#1", item(loading, IDC_LOADING_ICON).text);

    const DialogTemplate& about = programDialog(ResourceName::fromId(IDD_ABOUT));
    EXPECT_EQ(210, about.cx);
    EXPECT_EQ(133, about.cy);  // the list holds its six rows without scrolling
    const DialogItemTemplate& icon = about.items.at(0);
    EXPECT_EQ("#1", icon.text);
    EXPECT_EQ(3u, icon.style & 0x1F);
    EXPECT_EQ(7, icon.x);
    EXPECT_EQ(20, icon.cx);
    EXPECT_EQ(20, icon.cy);
    EXPECT_EQ("VESTRAL Print Driver UnInstall Tool", about.items.at(1).text);
    EXPECT_EQ(37, about.items.at(1).x);
    EXPECT_EQ(166, about.items.at(1).cx);
    EXPECT_EQ(23, item(about, IDC_ABOUT_NOTICE).y);
    EXPECT_EQ(17, item(about, IDC_ABOUT_NOTICE).cy);
    const DialogItemTemplate& list = item(about, IDC_ABOUT_LIST);
    EXPECT_EQ(1u, list.style & 3);
    EXPECT_NE(0u, list.style & 0x4000);  // LVS_NOCOLUMNHEADER
    EXPECT_EQ(41, list.y);
    EXPECT_EQ(58, list.cy);
    EXPECT_EQ(0x10u, about.items.at(4).style & 0x1F);
    EXPECT_EQ(38, about.items.at(4).x);
    EXPECT_EQ(105, about.items.at(4).y);
    EXPECT_EQ("OK", item(about, IDOK).text);
    EXPECT_EQ(153, item(about, IDOK).x);
    EXPECT_EQ(112, item(about, IDOK).y);

    const DialogTemplate& details = programDialog(ResourceName::fromId(IDD_EXTRA_INFO));
    EXPECT_EQ(337, details.cx);
    EXPECT_EQ(172, details.cy);
    EXPECT_EQ("Extra Info - QA DEBUGING TOOL !!!", details.caption);
    EXPECT_EQ("Close", item(details, IDOK).text);
    EXPECT_EQ("List of what uninstall will attempt to uninstall if you remove the selected printers",
              details.items.at(0).text);
    const DialogItemTemplate& extraList = item(details, IDC_EXTRA_LIST);
    EXPECT_EQ(7, extraList.x);
    EXPECT_EQ(20, extraList.y);
    EXPECT_EQ(228, extraList.cx);
    EXPECT_EQ(120, extraList.cy);
    EXPECT_EQ(0x8001u, extraList.style & 0xC003);  // report, header present and not sortable
    EXPECT_EQ("View this profile's UNZ settings only", item(details, IDC_EXTRA_THIS_PROFILE).text);
    EXPECT_EQ(3u, item(details, IDC_EXTRA_THIS_PROFILE).style & 0xF);  // BS_AUTOCHECKBOX
    const std::pair<int, const char*> categories[] = {
        {1097, "[*.DeleteIni]"}, {1098, "[*.DeleteLoadRun]"}, {1099, "Drivers"},     {1100, "Files"},
        {1101, "Hooks"},         {1102, "Monitors"},          {1103, "Registry"},    {1104, "PrintProcessors"},
        {1105, "Services"},      {1106, "Shortcuts"},         {1107, "[*.UnSelfRegister]"}, {1109, "Directories"}};
    for (const auto& c : categories) {
        const DialogItemTemplate& b = item(details, c.first);
        EXPECT_EQ(c.second, b.text);
        EXPECT_EQ(0x1009u, b.style & 0x100F) << c.second;  // BS_AUTORADIOBUTTON | BS_PUSHLIKE
    }
    EXPECT_NE(0u, item(details, 1097).style & kGroup);  // the group starts at the first category
}

// Nothing overlaps and everything lies inside its dialog (an ICON statement's control sizes itself).
TEST(ProgramResources, ControlsLieInsideTheirDialogsWithoutOverlapping) {
    for (const DialogTemplate& d : simwin::programResources().dialogs) {
        for (size_t i = 0; i < d.items.size(); ++i) {
            const DialogItemTemplate& a = d.items[i];
            EXPECT_TRUE(a.x >= 0 && a.y >= 0 && a.x + a.cx <= d.cx && a.y + a.cy <= d.cy)
                << d.name.text() << " control " << i << " (" << a.id << ")";
            for (size_t j = i + 1; j < d.items.size(); ++j) {
                const DialogItemTemplate& b = d.items[j];
                bool apart = a.x + a.cx <= b.x || b.x + b.cx <= a.x || a.y + a.cy <= b.y || b.y + b.cy <= a.y;
                EXPECT_TRUE(apart) << d.name.text() << ": controls " << i << " and " << j << " overlap";
            }
        }
    }
}

TEST(ProgramResources, ContextMenuHasItsTenItemsInOrder) {
    const simwin::MenuTemplate* menu = simwin::programResources().menu(ResourceName::fromId(IDM_CONTEXT));
    ASSERT_NE(nullptr, menu);
    ASSERT_EQ(1u, menu->items.size());
    EXPECT_EQ(kMfPopup, menu->items[0].flags);
    const struct {
        UINT id;
        const char* text;
    } expected[] = {{IDM_DELETE_PRINTERS, "プリンタの削除"}, {0, nullptr}, {IDM_VIEW_LARGE_ICONS, "大きいアイコン"},
                    {IDM_VIEW_SMALL_ICONS, "小さいアイコン"}, {IDM_VIEW_LIST, "List"}, {IDM_VIEW_DETAILS, "詳細"},
                    {0, nullptr}, {IDM_SELECT_ALL, "すべて選択"}, {0, nullptr}, {IDM_OTHER_DETAILS, "Other Details..."}};
    const std::vector<MenuItemTemplate>& items = menu->items[0].items;
    ASSERT_EQ(10u, items.size());
    for (size_t i = 0; i < items.size(); ++i) {
        if (!expected[i].text) {
            EXPECT_EQ(kMfSeparator, items[i].flags) << i;
            continue;
        }
        EXPECT_EQ(expected[i].id, items[i].id) << i;
        EXPECT_EQ(expected[i].text, items[i].text) << i;
        EXPECT_EQ(0u, items[i].flags) << i;
    }
}

// The distinct images of a strip: the cells of width cell, each as its pixels.
std::set<std::vector<uint32_t>> cells(const simwin::BitmapResource& b, int cell) {
    std::set<std::vector<uint32_t>> out;
    for (int c = 0; c < b.width / cell; ++c) {
        std::vector<uint32_t> pixels;
        for (int y = 0; y < b.height; ++y)
            for (int x = 0; x < cell; ++x) pixels.push_back(b.pixels[static_cast<size_t>(y) * b.width + c * cell + x]);
        out.insert(pixels);
    }
    return out;
}

TEST(ProgramResources, BitmapsAndIcon) {
    const ResourceSet& r = simwin::programResources();
    const struct {
        WORD id;
        int width, height, bits, cell, images;
    } expected[] = {{IDB_SMALL_PRINTERS, 144, 16, 24, 18, 8},
                    {IDB_LARGE_PRINTERS, 256, 32, 24, 32, 8},
                    {IDB_ROW_STATES, 48, 16, 4, 16, 3}};
    for (const auto& e : expected) {
        const simwin::BitmapResource* b = r.bitmap(ResourceName::fromId(e.id));
        ASSERT_NE(nullptr, b) << e.id;
        EXPECT_EQ(e.width, b->width) << e.id;
        EXPECT_EQ(e.height, b->height) << e.id;
        EXPECT_EQ(e.bits, b->bitsPerPixel) << e.id;
        EXPECT_EQ(0xFF00FFu, b->pixels.at(0)) << e.id;  // the transparent background
        EXPECT_EQ(static_cast<size_t>(e.images), cells(*b, e.cell).size()) << e.id << ": every image differs";
    }
    const simwin::IconResource* icon = r.icon(ResourceName::fromId(IDI_KORUN04));
    ASSERT_NE(nullptr, icon);
    std::vector<std::pair<int, int>> sizes = {{16, 16}, {32, 32}};
    EXPECT_EQ(sizes, icon->sizes);
    EXPECT_EQ(std::vector<int>({32, 32}), icon->bitCounts);
    const simwin::UserResource* manifest = r.user(ResourceName::fromId(24), ResourceName::fromId(1));
    ASSERT_NE(nullptr, manifest);
    EXPECT_NE(std::string::npos, manifest->data.find("level=\"requireAdministrator\""));
}

TEST(ProgramResources, VersionResource) {
    const simwin::VersionResource& v = simwin::programResources().version;
    ASSERT_TRUE(v.present);
    EXPECT_EQ(0x00010000u, v.fileVersionMS);
    EXPECT_EQ(0u, v.fileVersionLS);
    EXPECT_EQ(0x00010000u, v.productVersionMS);
    const auto& s = v.strings.at("041104B0");
    EXPECT_EQ("VESTRAL", s.at("CompanyName"));
    EXPECT_EQ("VESTRAL Print Driver UnInstall Tool", s.at("FileDescription"));
    EXPECT_EQ("1.0.0.0", s.at("FileVersion"));
    EXPECT_EQ("korun04", s.at("InternalName"));
    EXPECT_EQ("korun04.exe", s.at("OriginalFilename"));
    EXPECT_EQ("1.0.0.0", s.at("ProductVersion"));
    EXPECT_FALSE(s.at("ProductName").empty());
    EXPECT_FALSE(s.at("LegalCopyright").empty());
    ASSERT_EQ(1u, v.translations.size());
    EXPECT_EQ(0x411, v.translations[0].first);
    EXPECT_EQ(1200, v.translations[0].second);
}

}  // namespace
