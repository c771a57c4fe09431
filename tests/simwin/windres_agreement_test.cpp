// The agreement of simwin's resource reader with what windres compiles into korun04.exe: the tests compile
// the same script with windres and compare every dialog, menu, string, bitmap, icon and the VS_VERSIONINFO
// bytes with what simwin reads, and read the script that windres -O rc prints back. They are skipped where
// windres is not installed.
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
#include "support/test_paths.h"

namespace {

using namespace rcscript;

// ===== Agreement with windres ===============================================================================

// The resources of a .res file that windres writes: type, name and data of each entry.
struct ResEntry {
    ResourceName type, name;
    WORD language = 0;
    std::string data;
};

class ResReader {
public:
    explicit ResReader(std::string bytes) : d_(std::move(bytes)) {}
    uint32_t u16(size_t at) const { return static_cast<unsigned char>(d_.at(at)) | static_cast<unsigned char>(d_.at(at + 1)) << 8; }
    uint32_t u32(size_t at) const { return u16(at) | u16(at + 2) << 16; }
    // A name or ordinal: 0xFFFF and a WORD, or a UTF-16 string.
    ResourceName nameOrId(size_t& at) const {
        if (u16(at) == 0xFFFF) {
            at += 4;
            return ResourceName::fromId(static_cast<WORD>(u16(at - 2)));
        }
        return ResourceName::fromName(string(at));
    }
    std::string string(size_t& at) const {
        std::u16string units;
        for (; u16(at); at += 2) units += static_cast<char16_t>(u16(at));
        at += 2;
        return simwin::utf8FromUtf16(units.data(), units.size());
    }
    std::vector<ResEntry> entries() const {
        std::vector<ResEntry> out;
        for (size_t at = 0; at + 8 <= d_.size();) {
            uint32_t size = u32(at), header = u32(at + 4);
            size_t p = at + 8;
            ResEntry e;
            e.type = nameOrId(p);
            e.name = nameOrId(p);
            p = (p + 3) & ~size_t(3);
            e.language = static_cast<WORD>(u16(p + 6));
            e.data = d_.substr(at + header, size);
            if (size) out.push_back(e);
            at = (at + header + size + 3) & ~size_t(3);
        }
        return out;
    }

private:
    std::string d_;
};

// A DLGTEMPLATEEX as the reader sees it, for comparison with the parsed template.
DialogTemplate dialogFromRes(const std::string& data) {
    ResReader r(data);
    DialogTemplate d;
    EXPECT_EQ(0xFFFF0001u, r.u32(0)) << "DIALOGEX templates only";
    d.extended = true;
    d.helpId = r.u32(4);
    d.exStyle = r.u32(8);
    d.style = r.u32(12);
    size_t count = r.u16(16);
    d.x = static_cast<int16_t>(r.u16(18)), d.y = static_cast<int16_t>(r.u16(20));
    d.cx = static_cast<int16_t>(r.u16(22)), d.cy = static_cast<int16_t>(r.u16(24));
    size_t at = 26;
    auto text = [&](size_t& p) {
        if (r.u16(p) == 0) return p += 2, std::string();
        ResourceName n = r.nameOrId(p);
        return n.isId ? "#" + std::to_string(n.id) : n.name;
    };
    d.menu = text(at);
    d.className = text(at);
    d.caption = r.string(at);
    if (d.style & kSetFont) {
        d.pointSize = static_cast<int>(r.u16(at));
        d.weight = static_cast<int>(r.u16(at + 2));
        d.italic = (r.u16(at + 4) & 0xFF) != 0;
        d.charset = static_cast<int>(r.u16(at + 4) >> 8);
        at += 6;
        d.fontName = r.string(at);
    }
    for (size_t i = 0; i < count; ++i) {
        at = (at + 3) & ~size_t(3);
        DialogItemTemplate c;
        c.helpId = r.u32(at), c.exStyle = r.u32(at + 4), c.style = r.u32(at + 8);
        c.x = static_cast<int16_t>(r.u16(at + 12)), c.y = static_cast<int16_t>(r.u16(at + 14));
        c.cx = static_cast<int16_t>(r.u16(at + 16)), c.cy = static_cast<int16_t>(r.u16(at + 18));
        c.id = static_cast<int32_t>(r.u32(at + 20));
        at += 24;
        if (r.u16(at) == 0xFFFF) {
            static const char* const predefined[] = {"BUTTON", "EDIT", "STATIC", "LISTBOX", "SCROLLBAR", "COMBOBOX"};
            c.className = predefined[r.u16(at + 2) - 0x80];
            at += 4;
        } else {
            c.className = r.string(at);
        }
        c.text = text(at);
        at += 2 + r.u16(at);  // creation data
        d.items.push_back(c);
    }
    return d;
}

std::vector<MenuItemTemplate> menuFromRes(const ResReader& r, size_t& at) {
    std::vector<MenuItemTemplate> items;
    for (bool last = false; !last;) {
        MenuItemTemplate item;
        UINT flags = r.u16(at);
        at += 2;
        last = flags & 0x80;  // MF_END
        item.flags = flags & ~0x80u;
        if (!(flags & kMfPopup)) item.id = r.u16(at), at += 2;
        item.text = r.string(at);
        if (flags & kMfPopup) item.items = menuFromRes(r, at);
        items.push_back(item);
    }
    return items;
}

// compiled: the other side comes from the binary, where windres stores MENUITEM SEPARATOR as an item
// without flags, ID or text.
void expectSameMenuItems(const std::vector<MenuItemTemplate>& ours, const std::vector<MenuItemTemplate>& compiled,
                         bool fromBinary = true) {
    ASSERT_EQ(ours.size(), compiled.size());
    for (size_t i = 0; i < ours.size(); ++i) {
        UINT flags = ours[i].flags == kMfSeparator && fromBinary ? 0 : ours[i].flags;
        EXPECT_EQ(flags, compiled[i].flags) << i;
        EXPECT_EQ(ours[i].id, compiled[i].id) << i;
        EXPECT_EQ(ours[i].text, compiled[i].text) << i;
        expectSameMenuItems(ours[i].items, compiled[i].items, fromBinary);
    }
}

std::string upper(std::string s) { return simwin::toUpper(std::move(s)); }

class WindresAgreement : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (std::system("command -v x86_64-w64-mingw32-windres >/dev/null 2>&1") != 0) return;
        std::string dir = std::string(KORUN_SOURCE_DIR) + "/resources";
        std::string out = (std::filesystem::temp_directory_path() / ("korun04_windres_" + std::to_string(::getpid()) + ".res")).string();
        std::string command = "x86_64-w64-mingw32-windres -I'" + dir + "' -O res -i '" + dir + "/korun04.rc' -o '" + out + "' 2>&1";
        if (std::system(command.c_str()) != 0) {
            failure_ = "windres failed: " + command;
            return;
        }
        entries_ = ResReader(readFile(out)).entries();
        std::string text = out + ".rc";
        command = "x86_64-w64-mingw32-windres -I'" + dir + "' -O rc -i '" + dir + "/korun04.rc' -o '" + text + "' 2>&1";
        if (std::system(command.c_str()) != 0) failure_ = "windres failed: " + command;
        else printed_ = readFile(text);
        std::filesystem::remove(out);
        std::filesystem::remove(text);
    }
    static std::string readFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }
    void SetUp() override {
        if (!failure_.empty()) FAIL() << failure_;
        if (entries_.empty()) GTEST_SKIP() << "x86_64-w64-mingw32-windres is not installed";
    }
    static std::vector<const ResEntry*> ofType(WORD type) {
        std::vector<const ResEntry*> out;
        for (const ResEntry& e : entries_)
            if (e.type.isId && e.type.id == type) out.push_back(&e);
        return out;
    }
    static std::vector<ResEntry> entries_;
    static std::string printed_;  // the resources as windres -O rc prints them
    static std::string failure_;
};
std::vector<ResEntry> WindresAgreement::entries_;
std::string WindresAgreement::printed_;
std::string WindresAgreement::failure_;

TEST_F(WindresAgreement, DialogsMatchTheCompiledTemplates) {
    const ResourceSet& r = simwin::programResources();
    ASSERT_EQ(r.dialogs.size(), ofType(5).size());
    for (const ResEntry* e : ofType(5)) {
        const DialogTemplate* ours = r.dialog(e->name);
        ASSERT_NE(nullptr, ours) << e->name.text();
        DialogTemplate compiled = dialogFromRes(e->data);
        SCOPED_TRACE(e->name.text());
        EXPECT_EQ(ours->language, e->language);
        EXPECT_EQ(ours->style, compiled.style);
        EXPECT_EQ(ours->exStyle, compiled.exStyle);
        EXPECT_EQ(ours->helpId, compiled.helpId);
        EXPECT_EQ(std::vector<int>({ours->x, ours->y, ours->cx, ours->cy}),
                  std::vector<int>({compiled.x, compiled.y, compiled.cx, compiled.cy}));
        EXPECT_EQ(ours->caption, compiled.caption);
        EXPECT_EQ(upper(ours->className), upper(compiled.className));  // windres upper-cases class names
        EXPECT_EQ(ours->menu, compiled.menu);
        EXPECT_EQ(ours->fontName, compiled.fontName);
        EXPECT_EQ(ours->pointSize, compiled.pointSize);
        EXPECT_EQ(ours->weight, compiled.weight);
        EXPECT_EQ(ours->italic, compiled.italic);
        EXPECT_EQ(ours->charset, compiled.charset);
        ASSERT_EQ(ours->items.size(), compiled.items.size());
        for (size_t i = 0; i < ours->items.size(); ++i) {
            const DialogItemTemplate& a = ours->items[i];
            const DialogItemTemplate& b = compiled.items[i];
            SCOPED_TRACE("control " + std::to_string(i));
            EXPECT_EQ(upper(a.className), upper(b.className));
            EXPECT_EQ(a.text, b.text);
            EXPECT_EQ(a.id, b.id);
            EXPECT_EQ(a.style, b.style);
            EXPECT_EQ(a.exStyle, b.exStyle);
            EXPECT_EQ(a.helpId, b.helpId);
            EXPECT_EQ(std::vector<int>({a.x, a.y, a.cx, a.cy}), std::vector<int>({b.x, b.y, b.cx, b.cy}));
        }
    }
}

TEST_F(WindresAgreement, MenuStringsImagesManifestAndVersionMatch) {
    const ResourceSet& r = simwin::programResources();
    ASSERT_EQ(1u, ofType(4).size());
    const ResEntry& menuEntry = *ofType(4)[0];
    const simwin::MenuTemplate* menu = r.menu(menuEntry.name);
    ASSERT_NE(nullptr, menu);
    ResReader menuBytes(menuEntry.data);
    size_t at = 4;  // the MENUITEMTEMPLATEHEADER
    expectSameMenuItems(menu->items, menuFromRes(menuBytes, at));

    std::map<UINT, std::string> strings;
    for (const ResEntry* e : ofType(6)) {
        ResReader s(e->data);
        size_t p = 0;
        for (UINT i = 0; i < 16; ++i) {
            size_t n = s.u16(p);
            std::u16string units;
            for (size_t k = 0; k < n; ++k) units += static_cast<char16_t>(s.u16(p + 2 + 2 * k));
            if (n) strings[(e->name.id - 1) * 16 + i] = simwin::utf8FromUtf16(units.data(), units.size());
            p += 2 + 2 * n;
        }
    }
    EXPECT_EQ(r.strings, strings);

    const auto& files = simwin::programResourceFiles();
    ASSERT_EQ(r.bitmaps.size(), ofType(2).size());
    for (const ResEntry* e : ofType(2)) {
        const simwin::BitmapResource* b = r.bitmap(e->name);
        ASSERT_NE(nullptr, b) << e->name.text();
        EXPECT_EQ(files.at(b->file).substr(14), e->data) << b->file;  // the file without its BITMAPFILEHEADER
    }
    ASSERT_EQ(1u, ofType(14).size());
    ResReader group(ofType(14)[0]->data);
    const simwin::IconResource* icon = r.icon(ofType(14)[0]->name);
    ASSERT_NE(nullptr, icon);
    ASSERT_EQ(icon->sizes.size(), group.u16(4));
    for (size_t i = 0; i < icon->sizes.size(); ++i) {
        EXPECT_EQ(static_cast<uint32_t>(icon->sizes[i].first), group.u16(6 + 14 * i) & 0xFF);
        EXPECT_EQ(static_cast<uint32_t>(icon->bitCounts[i]), group.u16(6 + 14 * i + 6));
    }
    ASSERT_EQ(1u, ofType(24).size());
    EXPECT_EQ(r.user(ResourceName::fromId(24), ResourceName::fromId(1))->data, ofType(24)[0]->data);

    ASSERT_EQ(1u, ofType(16).size());
    EXPECT_EQ(r.version.binary(), ofType(16)[0]->data);  // byte for byte
}

// The script as windres prints it back (numbers for every style, classes by ordinal, L"\x..." strings,
// bitmaps and icon directories as data blocks) reads as the same resources. The one thing the printed form
// cannot say is a cleared WS_VISIBLE: windres writes the bits without NOT, so reading them adds it again.
TEST_F(WindresAgreement, ItsPrintedScriptReadsAsTheSameResources) {
    ResourceSet printed = ResourceSet::parse(printed_, {}, false, "windres.rc");
    const ResourceSet& r = simwin::programResources();
    EXPECT_EQ(r.strings, printed.strings);
    EXPECT_EQ(r.version.binary(), printed.version.binary());
    ASSERT_EQ(r.bitmaps.size(), printed.bitmaps.size());
    for (const simwin::BitmapResource& b : printed.bitmaps) {
        ASSERT_NE(nullptr, r.bitmap(b.name)) << b.name.text();
        EXPECT_EQ(r.bitmap(b.name)->pixels, b.pixels) << b.name.text();
    }
    ASSERT_EQ(1u, printed.icons.size());
    EXPECT_EQ(r.icons.at(0).sizes, printed.icons[0].sizes);
    ASSERT_EQ(1u, printed.menus.size());
    expectSameMenuItems(r.menus.at(0).items, printed.menus[0].items, false);
    ASSERT_EQ(r.dialogs.size(), printed.dialogs.size());
    for (const DialogTemplate& d : printed.dialogs) {
        const DialogTemplate* ours = r.dialog(d.name);
        ASSERT_NE(nullptr, ours) << d.name.text();
        SCOPED_TRACE(d.name.text());
        EXPECT_EQ(ours->style, d.style);
        EXPECT_EQ(ours->caption, d.caption);
        EXPECT_EQ(ours->fontName, d.fontName);
        ASSERT_EQ(ours->items.size(), d.items.size());
        for (size_t i = 0; i < d.items.size(); ++i) {
            EXPECT_EQ(ours->items[i].style | kVisible, d.items[i].style) << i;
            EXPECT_EQ(ours->items[i].text, d.items[i].text) << i;
            EXPECT_EQ(ours->items[i].id, d.items[i].id) << i;
            EXPECT_EQ(upper(ours->items[i].className), upper(d.items[i].className)) << i;
            EXPECT_EQ(std::vector<int>({ours->items[i].x, ours->items[i].y, ours->items[i].cx, ours->items[i].cy}),
                      std::vector<int>({d.items[i].x, d.items[i].y, d.items[i].cx, d.items[i].cy}))
                << i;
        }
    }
}

}  // namespace
