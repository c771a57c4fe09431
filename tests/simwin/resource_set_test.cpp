// simwin's resource reader on small scripts, the program's own resources/korun04.rc, the version functions
// on the program file, and the agreement of all of it with what windres compiles into korun04.exe.
//
// The version functions are tested on simwin only: a conformance test under Wine would need the test
// executable's own version resource, which the conformance build does not carry. The windres agreement
// tests stand in for it: they compile the same script with windres and compare every dialog, menu,
// string, bitmap, icon and the VS_VERSIONINFO bytes with what simwin reads, and read the script that
// windres -O rc prints back. They are skipped where windres is not installed.
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

namespace {

using simwin::DialogItemTemplate;
using simwin::DialogTemplate;
using simwin::MenuItemTemplate;
using simwin::ResourceName;
using simwin::ResourceSet;

// Window, static and button bits the tests spell out (values of the SDK headers).
const DWORD kChild = 0x40000000, kVisible = 0x10000000, kPopup = 0x80000000, kCaption = 0x00C00000,
            kBorder = 0x00800000, kSysMenu = 0x00080000, kMinimizeBox = 0x00020000, kGroup = 0x00020000,
            kTabStop = 0x00010000, kModalFrame = 0x80, kSetFont = 0x40, kControl = 0x400;
const UINT kMfGrayed = 1, kMfDisabled = 2, kMfChecked = 8, kMfPopup = 0x10, kMfMenuBarBreak = 0x20,
           kMfSeparator = 0x800, kMfHelp = 0x4000;

ResourceSet parse(const std::string& rc, const std::map<std::string, std::string>& files = {}) {
    return ResourceSet::parse("#include <windows.h>\n" + rc, files);
}

// The message of the MachineError that parsing throws; "" when it parses.
std::string parseError(const std::string& rc, const std::map<std::string, std::string>& files = {}) {
    try {
        ResourceSet::parse(rc, files, false, "test.rc");
    } catch (const simwin::MachineError& e) {
        return e.what();
    }
    return "";
}

const DialogItemTemplate& item(const DialogTemplate& d, int id) {
    for (const DialogItemTemplate& c : d.items)
        if (c.id == id) return c;
    static DialogItemTemplate none;
    ADD_FAILURE() << "dialog " << d.name.text() << " has no control " << id;
    return none;
}

std::vector<int> itemIds(const DialogTemplate& d) {
    std::vector<int> ids;
    for (const DialogItemTemplate& c : d.items) ids.push_back(c.id);
    return ids;
}

// --- Little-endian file images for the bitmap and icon readers ---

void put16(std::string& s, uint32_t v) { s += static_cast<char>(v & 0xFF), s += static_cast<char>(v >> 8 & 0xFF); }
void put32(std::string& s, uint32_t v) { put16(s, v & 0xFFFF), put16(s, v >> 16); }

// A .bmp file: the headers, colours (0xRRGGBB) as the colour table, and the rows as given.
std::string bmpFile(int width, int height, int bits, const std::vector<uint32_t>& colours, const std::string& rows,
                    uint32_t compression = 0) {
    std::string info;
    put32(info, 40), put32(info, width), put32(info, static_cast<uint32_t>(height)), put16(info, 1), put16(info, bits);
    put32(info, compression), put32(info, static_cast<uint32_t>(rows.size())), put32(info, 2835), put32(info, 2835);
    put32(info, static_cast<uint32_t>(colours.size())), put32(info, 0);
    for (uint32_t c : colours) put32(info, c);  // RGBQUAD: blue, green, red, 0 = 0x00RRGGBB little-endian
    std::string file = "BM";
    put32(file, static_cast<uint32_t>(14 + info.size() + rows.size())), put32(file, 0);
    put32(file, static_cast<uint32_t>(14 + info.size()));
    return file + info + rows;
}

std::string icoFile(const std::vector<std::pair<int, int>>& sizes) {
    std::string file, images;
    put16(file, 0), put16(file, 1), put16(file, static_cast<uint32_t>(sizes.size()));
    size_t offset = 6 + 16 * sizes.size();
    for (auto s : sizes) {
        std::string image;
        put32(image, 40), put32(image, s.first), put32(image, 2 * s.second), put16(image, 1), put16(image, 32);
        image.resize(40 + static_cast<size_t>(s.first) * s.second * 4 + ((s.first + 31) / 32) * 4 * s.second, '\0');
        file += static_cast<char>(s.first % 256), file += static_cast<char>(s.second % 256), file += '\0', file += '\0';
        put16(file, 1), put16(file, 32), put32(file, static_cast<uint32_t>(image.size()));
        put32(file, static_cast<uint32_t>(offset + images.size()));
        images += image;
    }
    return file + images;
}

// ===== The reader on small scripts =======================================================================

// Each control statement without a style and with style 0: the bits windres compiles for it.
TEST(ResourceScript, ControlStatementsStartWithTheStylesWindresGives) {
    struct Case {
        const char* statement;
        const char* className;
        DWORD defaultStyle, withStyleZero;
    } cases[] = {
        {"LTEXT \"t\", 1, 1, 2, 3, 4", "STATIC", 0x50020000, 0x50000000},
        {"RTEXT \"t\", 1, 1, 2, 3, 4", "STATIC", 0x50020002, 0x50000002},
        {"CTEXT \"t\", 1, 1, 2, 3, 4", "STATIC", 0x50020001, 0x50000001},
        {"PUSHBUTTON \"t\", 1, 1, 2, 3, 4", "BUTTON", 0x50010000, 0x50010000},
        {"DEFPUSHBUTTON \"t\", 1, 1, 2, 3, 4", "BUTTON", 0x50010001, 0x50010001},
        {"CHECKBOX \"t\", 1, 1, 2, 3, 4", "BUTTON", 0x50010002, 0x50010002},
        {"AUTOCHECKBOX \"t\", 1, 1, 2, 3, 4", "BUTTON", 0x50010003, 0x50010003},
        {"RADIOBUTTON \"t\", 1, 1, 2, 3, 4", "BUTTON", 0x50010004, 0x50000004},
        {"AUTORADIOBUTTON \"t\", 1, 1, 2, 3, 4", "BUTTON", 0x50010009, 0x50000009},
        {"STATE3 \"t\", 1, 1, 2, 3, 4", "BUTTON", 0x50010005, 0x50000005},
        {"AUTO3STATE \"t\", 1, 1, 2, 3, 4", "BUTTON", 0x50010006, 0x50000006},
        {"GROUPBOX \"t\", 1, 1, 2, 3, 4", "BUTTON", 0x50000007, 0x50000007},
        {"EDITTEXT 1, 1, 2, 3, 4", "EDIT", 0x50810000, 0x50810000},
        {"LISTBOX 1, 1, 2, 3, 4", "LISTBOX", 0x50800001, 0x50800001},
        {"COMBOBOX 1, 1, 2, 3, 4", "COMBOBOX", 0x50010001, 0x50000000},
        {"SCROLLBAR 1, 1, 2, 3, 4", "SCROLLBAR", 0x50000000, 0x50000000},
        {"ICON \"i\", 1, 1, 2", "STATIC", 0x50000003, 0x50000003},
        {"CONTROL \"t\", 1, \"Static\", 0, 1, 2, 3, 4", "STATIC", 0x50000000, 0x50000000},
    };
    for (const Case& c : cases) {
        std::string withZero = c.statement;  // CONTROL's style is not optional: it has its 0 already
        if (withZero.rfind("ICON", 0) == 0) withZero += ", 3, 4, 0";
        else if (withZero.rfind("CONTROL", 0) != 0) withZero += ", 0";
        ResourceSet set = parse("D DIALOGEX 0, 0, 10, 10\nBEGIN\n" + std::string(c.statement) + "\n" + withZero + "\nEND\n");
        ASSERT_EQ(2u, set.dialogs.at(0).items.size()) << c.statement;
        const DialogItemTemplate& plain = set.dialogs[0].items[0];
        EXPECT_EQ(c.className, plain.className) << c.statement;
        EXPECT_EQ(c.defaultStyle, plain.style) << c.statement;
        EXPECT_EQ(c.withStyleZero, set.dialogs[0].items[1].style) << withZero;
        EXPECT_EQ(1, plain.x) << c.statement;
        EXPECT_EQ(2, plain.y) << c.statement;
    }
}

TEST(ResourceScript, ControlFieldsStylesAndPositions) {
    ResourceSet set = parse(
        "D DIALOGEX 0, 0, 100, 50\nBEGIN\n"
        "  LTEXT \"a\", 1, 1, 2, 3, 4, SS_NOPREFIX\n"                       // base SS_LEFT, no WS_GROUP
        "  CONTROL \"\", 2, \"Static\", SS_BLACKFRAME | NOT WS_VISIBLE, 7, 7, 240, 140\n"
        "  ICON 1, 3, 1, 2, 3, 4, SS_REALSIZEIMAGE\n"                      // size dropped, SS_ICON kept
        "  PUSHBUTTON \"p\", 4, 1, 2, 3, 4, WS_GROUP, WS_EX_STATICEDGE, 99\n"
        "  AUTORADIOBUTTON \"r\", 5, 1, 2, 3, 4, BS_PUSHLIKE | WS_GROUP\n"
        "  EDITTEXT 6, 1, 2, 3, 4, ES_AUTOHSCROLL | NOT WS_BORDER\n"
        "  CONTROL \"x\", 7, \"msctls_progress32\", PBS_SMOOTH | WS_BORDER, 1, 2, 3, 4\n"
        "  CONTROL \"x\", 8, \"button\", BS_AUTOCHECKBOX, 1, 2, 3, 4, 0, 55\n"
        "  CONTROL \"y\", 2+3*4, 0x82, (1+2)|4, 1-2, -2, ~0, 0x10\n"
        "  DEFPUSHBUTTON \"OK\", IDOK, 1, 2, 3, 4\n"
        "  CONTROL \"\", -1, \"Static\", 0, 1, 2, 3, 4\n"
        "END\n");
    const DialogTemplate& d = set.dialogs.at(0);
    EXPECT_EQ(0x50000080u, item(d, 1).style);
    EXPECT_EQ(0x40000007u, item(d, 2).style);
    EXPECT_EQ(0x50000803u, item(d, 3).style);
    EXPECT_EQ("#1", item(d, 3).text);
    EXPECT_EQ(0, item(d, 3).cx);
    EXPECT_EQ(0, item(d, 3).cy);
    EXPECT_EQ(0x50030000u, item(d, 4).style);
    EXPECT_EQ(0x20000u, item(d, 4).exStyle);
    EXPECT_EQ(99u, item(d, 4).helpId);
    EXPECT_EQ(0x50021009u, item(d, 5).style);
    EXPECT_EQ(0x50010080u, item(d, 6).style);
    EXPECT_EQ("msctls_progress32", item(d, 7).className);  // kept as written; windres upper-cases it
    EXPECT_EQ(0x50800001u, item(d, 7).style);
    EXPECT_EQ("BUTTON", item(d, 8).className);
    EXPECT_EQ(55u, item(d, 8).helpId);
    const DialogItemTemplate& computed = item(d, 14);
    EXPECT_EQ("STATIC", computed.className);
    EXPECT_EQ(0x50000007u, computed.style);
    EXPECT_EQ(-1, computed.x);
    EXPECT_EQ(-2, computed.y);
    EXPECT_EQ(-1, computed.cx);
    EXPECT_EQ(16, computed.cy);
    EXPECT_EQ(0x50010001u, d.items.at(9).style);
    EXPECT_EQ(IDOK, d.items.at(9).id);
    EXPECT_EQ(-1, d.items.at(10).id);
}

TEST(ResourceScript, DialogStyleDefaultsCaptionFontAndOptions) {
    ResourceSet set = parse(
        "D1 DIALOG 0, 0, 100, 50\nBEGIN\nEND\n"
        "D2 DIALOG 0, 0, 100, 50\nCAPTION \"cap\"\nBEGIN\nEND\n"
        "D3 DIALOG 0, 0, 100, 50\nSTYLE WS_CHILD\nCAPTION \"cap\"\nBEGIN\nEND\n"
        "D4 DIALOG 0, 0, 100, 50\nCAPTION \"cap\"\nSTYLE WS_CHILD\nFONT 8, \"X\"\nBEGIN\nEND\n"
        "D5 DIALOGEX 1, 2, 100, 50, 77\nSTYLE WS_CHILD | NOT WS_VISIBLE\nEXSTYLE WS_EX_TOOLWINDOW\n"
        "CLASS \"MyClass\"\nMENU 117\nFONT 9, \"Y\", 700, 1, 128\nLANGUAGE LANG_JAPANESE, SUBLANG_DEFAULT\n"
        "BEGIN\nEND\n"
        "LANGUAGE 0x11, 1\n"
        "D6 DIALOGEX 0, 0, 1, 1\nSTYLE WS_POPUP | DS_SETFONT\nBEGIN\nEND\n");
    EXPECT_EQ(kPopup | kBorder | kSysMenu, set.dialog(ResourceName::fromName("D1"))->style);
    EXPECT_EQ(kPopup | kCaption | kSysMenu, set.dialog(ResourceName::fromName("d2"))->style);
    EXPECT_EQ(kChild | kCaption, set.dialog(ResourceName::fromName("D3"))->style);
    const DialogTemplate* d4 = set.dialog(ResourceName::fromName("D4"));
    EXPECT_EQ(kChild | kCaption | kSetFont, d4->style);
    EXPECT_EQ("X", d4->fontName);
    EXPECT_EQ(8, d4->pointSize);
    EXPECT_FALSE(d4->extended);
    EXPECT_EQ(0x409, d4->language);
    const DialogTemplate* d5 = set.dialog(ResourceName::fromName("D5"));
    EXPECT_TRUE(d5->extended);
    EXPECT_EQ(kChild | kSetFont, d5->style);
    EXPECT_EQ(0x80u, d5->exStyle);
    EXPECT_EQ(77u, d5->helpId);
    EXPECT_EQ("MyClass", d5->className);
    EXPECT_EQ("#117", d5->menu);
    EXPECT_EQ(700, d5->weight);
    EXPECT_TRUE(d5->italic);
    EXPECT_EQ(128, d5->charset);
    EXPECT_EQ(0x411, d5->language);
    EXPECT_EQ(1, d5->x);
    EXPECT_EQ(50, d5->cy);
    EXPECT_EQ(0x411, set.dialog(ResourceName::fromName("D6"))->language);
    EXPECT_EQ(1, set.dialog(ResourceName::fromName("D6"))->charset);
    EXPECT_EQ(nullptr, set.dialog(ResourceName::fromName("D7")));
}

TEST(ResourceScript, ExpressionsNumbersAndMacros) {
    std::map<std::string, std::string> files = {
        {"ids.h",
         "#pragma once\n"
         "#define IDD_X 200      // a dialog\n"
         "#define IDC_BASE 1000  /* first control */\n"
         "#define IDC_NEXT (IDC_BASE + 1)\n"
         "#define MY_STYLE (WS_CHILD | WS_VISIBLE)\n"
         "#define TEXT \"from a // \\\"macro\\\"\"  // a comment, not the string's\n"
         "#define LONG_ONE \\\n    0x10L\n"},
    };
    ResourceSet set = parse(
        "#include \"ids.h\"\n"
        "#include \"IDS.H\"\n"  // read once (#pragma once), found ignoring case
        "#ifdef IDD_X\n#define CAPTION_TEXT \"defined\"\n#else\n#define CAPTION_TEXT \"not defined\"\n#endif\n"
        "#ifndef WS_CHILD\n#error the SDK constants are missing\n#endif\n"
        "#if defined(NOTHING) | (IDC_BASE - 1000)\n#define CAPTION_TEXT \"wrong\"\n#elif 2 * 3 % 4\n"
        "#define SECOND 1\n#endif\n"
        "#undef WS_GROUP\n#ifdef WS_GROUP\n#define CAPTION_TEXT \"undef failed\"\n#endif\n"
        "IDD_X DIALOGEX 0, 0, 10, 10\nCAPTION CAPTION_TEXT\nBEGIN\n"
        "  CONTROL TEXT, IDC_NEXT, \"Static\", MY_STYLE | 0x10, 1, 2, 3, 4\n"
        "  CONTROL \"\", IDC_BASE + 2, \"Static\", WS_TABSTOP | NOT WS_VISIBLE | 0o10, 010, 0x10, LONG_ONE, SECOND\n"
        "  CONTROL \"\", (IDC_BASE | 0x0F) ^ 1, \"Static\", 7 & ~2, 100 / 7, 100 % 7, -(3), +4\n"
        "END\n",
        files);
    const DialogTemplate* d = set.dialog(ResourceName::fromId(200));
    ASSERT_NE(nullptr, d);
    EXPECT_EQ("defined", d->caption);
    ASSERT_EQ(3u, d->items.size());
    EXPECT_EQ("from a // \"macro\"", d->items[0].text);
    EXPECT_EQ(1001, d->items[0].id);
    EXPECT_EQ(kChild | kVisible | 0x10, d->items[0].style);
    EXPECT_EQ(1002, d->items[1].id);
    EXPECT_EQ(kChild | kTabStop | 8, d->items[1].style);  // NOT clears the statement's WS_VISIBLE
    EXPECT_EQ(8, d->items[1].x);
    EXPECT_EQ(16, d->items[1].y);
    EXPECT_EQ(16, d->items[1].cx);
    EXPECT_EQ(1, d->items[1].cy);
    EXPECT_EQ((1000 | 0x0F) ^ 1, d->items[2].id);
    EXPECT_EQ(kChild | kVisible | 5, d->items[2].style);
    EXPECT_EQ(14, d->items[2].x);
    EXPECT_EQ(2, d->items[2].y);
    EXPECT_EQ(-3, d->items[2].cx);
    EXPECT_EQ(4, d->items[2].cy);
    // #undef removed the SDK constant: the name is unknown now.
    EXPECT_NE(std::string::npos,
              parseError("#include <windows.h>\n#undef WS_GROUP\nSTRINGTABLE BEGIN WS_GROUP \"x\" END\n")
                  .find("test.rc:3: unknown name 'WS_GROUP'"));
}

TEST(ResourceScript, StringTablesAndTopLevelStatements) {
    ResourceSet set = parse(
        "LANGUAGE LANG_JAPANESE, SUBLANG_DEFAULT\n"
        "STRINGTABLE MOVEABLE PURE LANGUAGE 9, 1\nBEGIN\n"
        "  1 \"one\"\n  2, \"two\" \"joined\"\n  1 \"replaced\"\n  0x10005 \"id kept to 16 bits\"\n"
        "  3 L\"\\x65e5\\x672c wide\"\n"
        "END\n"
        "STRINGTABLE { 4 \"braces\" }\n");
    EXPECT_EQ("replaced", set.strings.at(1));  // as windres: a second definition wins
    EXPECT_EQ("twojoined", set.strings.at(2));
    EXPECT_EQ("id kept to 16 bits", set.strings.at(5));
    EXPECT_EQ("日本 wide", set.strings.at(3));
    EXPECT_EQ("braces", set.strings.at(4));
    EXPECT_EQ(5u, set.strings.size());
}

TEST(ResourceScript, MenusWithPopupsSeparatorsAndFlags) {
    ResourceSet set = parse(
        "117 MENU\nBEGIN\n"
        "  POPUP \"p\"\n  BEGIN\n"
        "    MENUITEM \"a\", 40009\n"
        "    MENUITEM SEPARATOR\n"
        "    MENUITEM \"b\", 40004, GRAYED, CHECKED\n"
        "    MENUITEM \"c\", 40005 INACTIVE MENUBARBREAK\n"
        "    POPUP \"sub\", HELP\n    BEGIN\n      MENUITEM \"e\", 1\n    END\n"
        "  END\n"
        "  MENUITEM \"top\", 2\n"
        "END\n"
        "118 MENUEX\nBEGIN\n"
        "  POPUP \"p\", 100, MFT_STRING, MFS_ENABLED, 7\n  BEGIN\n"
        "    MENUITEM \"a\", 40009, MFT_STRING, MFS_DEFAULT | MFS_GRAYED\n"
        "    MENUITEM \"\", 0, MFT_SEPARATOR\n"
        "    MENUITEM SEPARATOR\n"
        "  END\n"
        "END\n");
    const simwin::MenuTemplate* m = set.menu(ResourceName::fromId(117));
    ASSERT_NE(nullptr, m);
    EXPECT_FALSE(m->extended);
    ASSERT_EQ(2u, m->items.size());
    const MenuItemTemplate& popup = m->items[0];
    EXPECT_EQ("p", popup.text);
    EXPECT_EQ(kMfPopup, popup.flags);
    ASSERT_EQ(5u, popup.items.size());
    EXPECT_EQ(40009u, popup.items[0].id);
    EXPECT_EQ(0u, popup.items[0].flags);
    EXPECT_EQ(kMfSeparator, popup.items[1].flags);
    EXPECT_EQ("", popup.items[1].text);
    EXPECT_EQ(kMfGrayed | kMfChecked, popup.items[2].flags);
    EXPECT_EQ(kMfDisabled | kMfMenuBarBreak, popup.items[3].flags);
    EXPECT_EQ(kMfPopup | kMfHelp, popup.items[4].flags);
    ASSERT_EQ(1u, popup.items[4].items.size());
    EXPECT_EQ("e", popup.items[4].items[0].text);
    EXPECT_EQ(2u, m->items[1].id);

    const simwin::MenuTemplate* ex = set.menu(ResourceName::fromId(118));
    ASSERT_NE(nullptr, ex);
    EXPECT_TRUE(ex->extended);
    ASSERT_EQ(1u, ex->items.size());
    EXPECT_EQ(100u, ex->items[0].id);
    EXPECT_EQ(kMfPopup, ex->items[0].flags);
    EXPECT_EQ(7u, ex->items[0].helpId);
    ASSERT_EQ(3u, ex->items[0].items.size());
    EXPECT_EQ(0x1000u | 3u, ex->items[0].items[0].flags);
    EXPECT_EQ(kMfSeparator, ex->items[0].items[1].flags);
    EXPECT_EQ(kMfSeparator, ex->items[0].items[2].flags);
}

TEST(ResourceScript, VersionInfoFieldsAndTheirBinaryLayout) {
    ResourceSet set = parse(
        "VS_VERSION_INFO VERSIONINFO\n"
        "FILEVERSION 1, 2, 3, 4\nPRODUCTVERSION 5, 6\nFILEFLAGSMASK VS_FFI_FILEFLAGSMASK\nFILEFLAGS 0\n"
        "FILEOS VOS_NT_WINDOWS32\nFILETYPE VFT_APP\nFILESUBTYPE VFT2_UNKNOWN\n"
        "BEGIN\n"
        "  BLOCK \"StringFileInfo\"\n  BEGIN\n    BLOCK \"041104B0\"\n    BEGIN\n"
        "      VALUE \"FileVersion\", \"1.2.3.4\"\n      VALUE \"Comments\", \"日本\"\n"
        "    END\n  END\n"
        "  BLOCK \"VarFileInfo\"\n  BEGIN\n    VALUE \"Translation\", 0x411, 1200, 0x409, 1252\n  END\n"
        "END\n");
    const simwin::VersionResource& v = set.version;
    ASSERT_TRUE(v.present);
    EXPECT_EQ(1, v.name.id);
    EXPECT_EQ(0x00010002u, v.fileVersionMS);
    EXPECT_EQ(0x00030004u, v.fileVersionLS);
    EXPECT_EQ(0x00050006u, v.productVersionMS);
    EXPECT_EQ(0u, v.productVersionLS);
    EXPECT_EQ(0x3Fu, v.fileFlagsMask);
    EXPECT_EQ(0x40004u, v.fileOS);
    EXPECT_EQ(1u, v.fileType);
    EXPECT_EQ("1.2.3.4", v.strings.at("041104B0").at("FileVersion"));
    ASSERT_EQ(1u, v.stringBlocks.size());
    EXPECT_EQ("Comments", v.stringBlocks[0].values.at(1).first);  // the script's order, not the map's
    ASSERT_EQ(2u, v.translations.size());
    EXPECT_EQ(0x409, v.translations[1].first);
    EXPECT_EQ(1252, v.translations[1].second);

    std::string b = v.binary();
    auto word = [&](size_t at) { return static_cast<unsigned>(static_cast<unsigned char>(b.at(at)) |
                                                              static_cast<unsigned char>(b.at(at + 1)) << 8); };
    EXPECT_EQ(b.size(), word(0));                                  // wLength: the whole block
    EXPECT_EQ(52u, word(2));                                       // wValueLength: VS_FIXEDFILEINFO
    EXPECT_EQ(0u, word(4));                                        // binary
    EXPECT_EQ('V', word(6));                                       // "VS_VERSION_INFO" in UTF-16
    EXPECT_EQ(0xFEEF04BDu, word(40) | word(42) << 16);             // key padded to offset 40
    EXPECT_EQ(0x00010002u, word(48) | word(50) << 16);             // dwFileVersionMS
    EXPECT_EQ(0u, b.size() % 2);
    size_t sfi = 92;                                               // after the 52 bytes
    EXPECT_EQ('S', word(sfi + 6));
    EXPECT_EQ(1u, word(sfi + 4));                                  // text node
    // The first string: "FileVersion" (12 units with NUL) then its value of 8 units.
    size_t table = sfi + 6 + 2 * 15;                               // "StringFileInfo" + NUL, aligned
    table = (table + 3) & ~size_t(3);
    size_t value = ((table + 6 + 2 * 9) + 3) & ~size_t(3);         // "041104B0" + NUL
    EXPECT_EQ('F', word(value + 6));
    EXPECT_EQ(8u, word(value + 2));
    // The translation pairs close the block.
    EXPECT_EQ(0x411u, word(b.size() - 8));
    EXPECT_EQ(1200u, word(b.size() - 6));
    EXPECT_EQ(1252u, word(b.size() - 2));
}

TEST(ResourceScript, BitmapsAreReadWithTheirPixels) {
    // 3x2 at 4 bits: bottom-up rows, nibbles high first, rows padded to 4 bytes.
    std::string rows4 = std::string("\x01\x20\x00\x00", 4) + std::string("\x33\x10\x00\x00", 4);
    // 2x2 at 24 bits, top-down (negative height): blue, green, red bytes.
    std::string rows24 = std::string("\x00\x00\xFF\x00\xFF\x00\x00\x00", 8) + std::string("\xFF\x00\x00\xFF\x00\xFF\x00\x00", 8);
    std::map<std::string, std::string> files = {
        {"four.bmp", bmpFile(3, 2, 4, {0x000000, 0xFF00FF, 0x00FF00, 0x0000FF}, rows4)},
        {"true.bmp", bmpFile(2, -2, 24, {}, rows24)},
        {"rle.bmp", bmpFile(2, 2, 8, {0}, std::string(8, '\0'), 1)},
        {"short.bmp", bmpFile(16, 16, 24, {}, std::string(10, '\0'))},
        {"text.bmp", "not a bitmap"},
    };
    ResourceSet set = parse("1 BITMAP \"four.bmp\"\nNAMED BITMAP DISCARDABLE \"true.bmp\"\n", files);
    const simwin::BitmapResource* four = set.bitmap(ResourceName::fromId(1));
    ASSERT_NE(nullptr, four);
    EXPECT_EQ(3, four->width);
    EXPECT_EQ(2, four->height);
    EXPECT_EQ(4, four->bitsPerPixel);
    EXPECT_EQ("four.bmp", four->file);
    std::vector<uint32_t> expected4 = {0x0000FF, 0x0000FF, 0xFF00FF, 0x000000, 0xFF00FF, 0x00FF00};
    EXPECT_EQ(expected4, four->pixels);  // top row first
    const simwin::BitmapResource* truecolour = set.bitmap(ResourceName::fromName("named"));
    ASSERT_NE(nullptr, truecolour);
    std::vector<uint32_t> expected24 = {0xFF0000, 0x00FF00, 0x0000FF, 0xFF00FF};
    EXPECT_EQ(expected24, truecolour->pixels);

    EXPECT_NE(std::string::npos, parseError("\n2 BITMAP \"rle.bmp\"\n", files).find("test.rc:2: bitmap \"rle.bmp\" is compressed"));
    EXPECT_NE(std::string::npos, parseError("2 BITMAP \"short.bmp\"\n", files).find("is cut short"));
    EXPECT_NE(std::string::npos, parseError("2 BITMAP \"text.bmp\"\n", files).find("is not a .bmp file"));
    EXPECT_NE(std::string::npos, parseError("2 BITMAP \"gone.bmp\"\n", files).find("test.rc:1: cannot find file \"gone.bmp\""));
    // Left out, not an error, when missing files are allowed (the string-table reader's case).
    EXPECT_TRUE(ResourceSet::parse("2 BITMAP \"gone.bmp\"\n", files, true).bitmaps.empty());
}

TEST(ResourceScript, IconsAndOtherResourceTypes) {
    std::map<std::string, std::string> files = {
        {"app.ico", icoFile({{16, 16}, {32, 32}, {256, 256}})},
        {"app.manifest", "<assembly/>"},
    };
    std::string cut = files["app.ico"].substr(0, 60);
    files["cut.ico"] = cut;
    ResourceSet set = parse(
        "1 ICON \"app.ico\"\n"
        "1 24 \"app.manifest\"\n"
        "5 RCDATA\nBEGIN\n  1, 2L, \"ab\", L\"c\"\nEND\n"
        "DATA MYTYPE { 0x4142 }\n",
        files);
    const simwin::IconResource* icon = set.icon(ResourceName::fromId(1));
    ASSERT_NE(nullptr, icon);
    std::vector<std::pair<int, int>> sizes = {{16, 16}, {32, 32}, {256, 256}};
    EXPECT_EQ(sizes, icon->sizes);
    EXPECT_EQ(std::vector<int>({32, 32, 32}), icon->bitCounts);
    const simwin::UserResource* manifest = set.user(ResourceName::fromId(24), ResourceName::fromId(1));
    ASSERT_NE(nullptr, manifest);
    EXPECT_EQ("<assembly/>", manifest->data);
    const simwin::UserResource* data = set.user(ResourceName::fromId(10), ResourceName::fromId(5));
    ASSERT_NE(nullptr, data);
    EXPECT_EQ(std::string("\x01\x00\x02\x00\x00\x00" "ab" "c\x00", 10), data->data);
    const simwin::UserResource* named = set.user(ResourceName::fromName("mytype"), ResourceName::fromName("DATA"));
    ASSERT_NE(nullptr, named);
    EXPECT_EQ("BA", named->data);
    EXPECT_NE(std::string::npos, parseError("1 ICON \"cut.ico\"\n", files).find("icon \"cut.ico\" is cut short"));
}

TEST(ResourceScript, ErrorsNameTheFileAndLine) {
    std::map<std::string, std::string> files = {{"bad.h", "#define OK 1\n#define F(x) x\n"},
                                                {"open.h", "#ifdef X\n"}};
    struct Case {
        const char* script;
        const char* message;
    } cases[] = {
        {"#include <windows.h>\nD DIALOG 0, 0, 1, 1\nSTYLE WS_NOTHING\nBEGIN\nEND\n", "test.rc:3: unknown name 'WS_NOTHING'"},
        {"D DIALOG 0, 0, 1, 1\nSTYLE WS_CHILD\nBEGIN\nEND\n", "test.rc:2: unknown name 'WS_CHILD'"},  // no <windows.h>
        {"D DIALOG 0, 0, 1\nBEGIN\nEND\n", "test.rc:2: expected ',' after the width instead of 'BEGIN'"},
        {"D DIALOG 0, 0, 1, 1\nBEGIN\n LTEXT \"a\", 1, 1, 2, 3, 4\n", "dialog D without END"},
        {"D DIALOG 0, 0, 1, 1\nBEGIN\n  SLIDER \"a\", 1, 1, 2, 3, 4\nEND\n", "test.rc:3: unknown control statement 'SLIDER'"},
        {"D DIALOG 0, 0, 1, 1\nBEGIN\n  LTEXT \"a\", 1, 1, 2, 3, 4, 0, 0, 5\nEND\n", "test.rc:3: a control's help ID needs DIALOGEX"},
        {"D DIALOG 0, 0, 1, 1\nBEGIN\n  LTEXT \"a\" 1, 1, 2, 3, 4\nEND\n", "test.rc:3: expected ',' after the control's text"},
        {"D DIALOG 0, 0, 1, 1\nBEGIN\nEND\nD DIALOGEX 0, 0, 1, 1\nBEGIN\nEND\n", "test.rc:4: a second dialog D"},
        {"STRINGTABLE\nBEGIN\n  12ab \"x\"\nEND\n", "test.rc:3: '12ab' is not a number"},
        {"STRINGTABLE\nBEGIN\n  1 / (2 - 2) \"x\"\nEND\n", "test.rc:3: division by zero"},
        {"STRINGTABLE\nBEGIN\n  1\nEND\n", "test.rc:4: expected the string instead of 'END'"},
        {"1 CURSOR \"a.cur\"\n", "test.rc:1: CURSOR resources are not supported"},
        {"#include \"missing.h\"\n", "test.rc:1: cannot open include file \"missing.h\""},
        {"#include <stdio.h>\n", "test.rc:1: cannot open include file \"stdio.h\""},
        {"\n#include \"bad.h\"\n", "bad.h:2: function-like macros are not supported"},
        {"#include \"open.h\"\n", "open.h:1: #if without #endif"},
        {"#endif\n", "test.rc:1: #endif without #if"},
        {"#if defined(X) && 1\n#endif\n", "test.rc:1: expected a number instead of '&'"},
        {"#pragma code_page(932)\n", "test.rc:1: only #pragma code_page(65001) is supported"},
        {"#error stop here\n", "test.rc:1: #error stop here"},
        {"#frobnicate\n", "test.rc:1: unknown directive #frobnicate"},
        {"1 MENU\nBEGIN\n  MENUITEM \"a\"\nEND\n", "test.rc:4: expected ',' after the item's text"},
        {"1 MENU\nBEGIN\n  ITEM \"a\", 1\nEND\n", "test.rc:3: unexpected 'ITEM' in a menu"},
        {"1 VERSIONINFO\nFILEVERSION 1\nBEGIN\n BLOCK \"Other\"\n BEGIN\n END\nEND\n", "test.rc:4: unknown version block \"Other\""},
        {"1 VERSIONINFO\nBEGIN\nEND\n2 VERSIONINFO\nBEGIN\nEND\n", "test.rc:4: a second VERSIONINFO"},
        {"D\n", "the resource D has no type"},
        {"1 MYTYPE\n", "expected BEGIN or a file name instead of the end of the script"},
    };
    for (const Case& c : cases) {
        std::string error = parseError(c.script, files);
        EXPECT_NE(std::string::npos, error.find(c.message)) << c.script << "\ngave: " << error;
    }
    // Nesting is bounded: a refusal, not a stack overflow.
    std::string deep = "STRINGTABLE BEGIN " + std::string(5000, '(') + "1" + std::string(5000, ')') + " \"x\" END\n";
    EXPECT_NE(std::string::npos, parseError(deep).find("test.rc:1: expression nested too deeply"));
    std::string popups = "1 MENU BEGIN\n";
    for (int i = 0; i < 100; ++i) popups += "POPUP \"p\" BEGIN\n";
    EXPECT_NE(std::string::npos, parseError(popups).find("popups nested too deeply"));
}

TEST(ResourceScript, ResourceNamesFromArguments) {
    EXPECT_TRUE(ResourceName::fromArgument(MAKEINTRESOURCEA(115)).matches(ResourceName::fromId(115)));
    EXPECT_TRUE(ResourceName::fromArgument("#115").matches(ResourceName::fromId(115)));
    EXPECT_TRUE(ResourceName::fromArgument("idd_select").matches(ResourceName::fromName("IDD_SELECT")));
    EXPECT_FALSE(ResourceName::fromArgument("#11x").isId);
    EXPECT_FALSE(ResourceName::fromName("115").matches(ResourceName::fromId(115)));
    EXPECT_EQ("115", ResourceName::fromId(115).text());
    EXPECT_EQ("IDD_SELECT", ResourceName::fromName("IDD_SELECT").text());
}

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

// ===== The version functions on the program file ===========================================================

const DWORD kPoison = 0xDEADBEEF;

TEST(VersionApi, TheProgramFileCarriesItsVersionResource) {
    simwin::Machine m;
    simwin::MachineScope scope(m);
    char path[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(NULL, path, sizeof path), 0u);
    DWORD handle = kPoison;
    DWORD size = GetFileVersionInfoSizeA(path, &handle);
    EXPECT_EQ(0u, handle);
    std::string block = simwin::programResources().version.binary();
    ASSERT_EQ(block.size() * 2 + 4, size);
    std::vector<BYTE> data(size + 8, 0xBD);
    ASSERT_TRUE(GetFileVersionInfoA(path, 0, size, data.data()));
    EXPECT_EQ(0, std::memcmp(data.data(), block.data(), block.size()));
    EXPECT_EQ(0, std::memcmp(data.data() + block.size(), "FE2X", 4));
    EXPECT_EQ(0xBD, data[size]);  // nothing written past the size given

    LPVOID value = nullptr;
    UINT length = kPoison;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\", &value, &length));
    ASSERT_EQ(sizeof(VS_FIXEDFILEINFO), length);
    const VS_FIXEDFILEINFO* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    EXPECT_EQ(0xFEEF04BDu, fixed->dwSignature);
    char version[64];
    std::snprintf(version, sizeof version, "%u.%02u.%02u.%02u", HIWORD(fixed->dwFileVersionMS),
                  LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS));
    EXPECT_STREQ("1.00.00.00", version);
    EXPECT_EQ(1u, fixed->dwFileType);  // VFT_APP

    ASSERT_TRUE(VerQueryValueA(data.data(), "", &value, &length));  // an empty path is the root
    EXPECT_EQ(fixed, value);

    ASSERT_TRUE(VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", &value, &length));
    ASSERT_EQ(4u, length);
    EXPECT_EQ(0x0411, static_cast<const WORD*>(value)[0]);
    EXPECT_EQ(1200, static_cast<const WORD*>(value)[1]);

    ASSERT_TRUE(VerQueryValueA(data.data(), "\\StringFileInfo\\041104B0\\FileVersion", &value, &length));
    EXPECT_EQ(8u, length);  // with the terminator
    EXPECT_STREQ("1.0.0.0", static_cast<const char*>(value));
    // The ANSI text lies in the second half, past the block and its signature.
    EXPECT_GE(static_cast<BYTE*>(value), data.data() + block.size() + 4);
    EXPECT_LT(static_cast<BYTE*>(value), data.data() + size);
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\stringfileinfo\\041104b0\\FILEDESCRIPTION", &value, &length));
    EXPECT_STREQ("VESTRAL Print Driver UnInstall Tool", static_cast<const char*>(value));

    value = &length;
    SetLastError(kPoison);
    EXPECT_FALSE(VerQueryValueA(data.data(), "\\StringFileInfo\\041104B0\\FileVer", &value, &length));
    EXPECT_EQ(0u, length);
    EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND), GetLastError());
    EXPECT_EQ(static_cast<void*>(&length), value);  // untouched
    EXPECT_FALSE(VerQueryValueA(NULL, "\\", &value, &length));
}

TEST(VersionApi, OtherFilesHaveNoVersionResource) {
    simwin::Machine m;
    simwin::MachineScope scope(m);
    m.files.writeFile("C:\\Windows\\System32\\plain.dll", "MZ");
    struct Case {
        const char* path;
        DWORD error;
    } cases[] = {
        {"C:\\Windows\\System32\\plain.dll", ERROR_RESOURCE_TYPE_NOT_FOUND},
        {"C:\\Windows\\System32\\missing.dll", ERROR_FILE_NOT_FOUND},
        {"C:\\Nowhere\\missing.dll", ERROR_PATH_NOT_FOUND},
        {"", ERROR_BAD_PATHNAME},
    };
    for (const Case& c : cases) {
        DWORD handle = kPoison;
        SetLastError(kPoison);
        EXPECT_EQ(0u, GetFileVersionInfoSizeA(c.path, &handle)) << c.path;
        EXPECT_EQ(c.error, GetLastError()) << c.path;
        EXPECT_EQ(0u, handle) << c.path;
        BYTE buffer[16] = {0xBD};
        SetLastError(kPoison);
        EXPECT_FALSE(GetFileVersionInfoA(c.path, 0, sizeof buffer, buffer)) << c.path;
        EXPECT_EQ(c.error, GetLastError()) << c.path;
        EXPECT_EQ(0xBD, buffer[0]) << c.path;
    }
    SetLastError(kPoison);
    EXPECT_EQ(0u, GetFileVersionInfoSizeA(NULL, NULL));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_FALSE(GetFileVersionInfoA(m.system.program.c_str(), 0, 100, NULL));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_DATA), GetLastError());
}

TEST(VersionApi, ASmallBufferGetsTheStartOfTheBlock) {
    simwin::Machine m;
    simwin::MachineScope scope(m);
    std::string block = simwin::programResources().version.binary();
    std::vector<BYTE> data(64, 0xBD);
    ASSERT_TRUE(GetFileVersionInfoA("korun04.exe", 0, 40, data.data()));  // the program by its file name
    EXPECT_EQ(0, std::memcmp(data.data(), block.data(), 40));
    EXPECT_EQ(0xBD, data[40]);
}

TEST(GlobalMemoryStatus, FiguresOfASixtyFourBitMachineWithSixteenGigabytes) {
    EXPECT_EQ(56u, sizeof(MEMORYSTATUS));
    MEMORYSTATUS status;
    std::memset(&status, 0xBD, sizeof status);
    status.dwLength = sizeof status;
    GlobalMemoryStatus(&status);
    EXPECT_EQ(56u, status.dwLength);
    const SIZE_T gib = SIZE_T(1) << 30;
    EXPECT_GT(status.dwTotalPhys, 15 * gib);
    EXPECT_LE(status.dwTotalPhys, 16 * gib);
    EXPECT_LT(status.dwAvailPhys, status.dwTotalPhys);
    EXPECT_GE(status.dwTotalPageFile, status.dwTotalPhys);
    EXPECT_LT(status.dwAvailPageFile, status.dwTotalPageFile);
    EXPECT_LT(status.dwAvailVirtual, status.dwTotalVirtual);
    EXPECT_GT(status.dwAvailVirtual, SIZE_T(127) << 40);  // about 128 TB of address space
    EXPECT_GT(status.dwAvailVirtual >> 10, SIZE_T(0xFFFFFFFF));  // in kb, more than 32 bits hold
    EXPECT_EQ(static_cast<DWORD>((status.dwTotalPhys - status.dwAvailPhys) * 100 / status.dwTotalPhys),
              status.dwMemoryLoad);
}

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
