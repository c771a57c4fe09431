// simwin's resource reader on small scripts: the control, dialog and menu statements, expressions and
// macros, string tables, version information, bitmaps, icons and other types, and the errors it gives.
// The program's own resources are tested in program_resources_test.cpp, the version functions in
// version_api_test.cpp and the agreement with windres in windres_agreement_test.cpp.
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

// Each escape of a string as the resource compiler reads it: narrow strings take two hex digits, wide ones
// four; octal takes up to three digits; "" is a quote; an unknown escape keeps its backslash.
TEST(ResourceScript, StringEscapes) {
    const struct {
        const char* written;
        const char* read;
    } cases[] = {
        {"\"a\\nb\"", "a\nb"},
        {"\"a\\rb\"", "a\rb"},
        {"\"a\\tb\"", "a\tb"},
        {"\"a\\ab\"", "a\bb"},
        {"\"a\\bb\"", "a\bb"},
        {"\"a\\fb\"", "a\fb"},
        {"\"a\\vb\"", "a\vb"},
        {"\"a\\\\b\"", "a\\b"},
        {"\"a\\\"b\"", "a\"b"},
        {"\"a\"\"b\"", "a\"b"},
        {"\"\\x414\"", "A4"},
        {"\"\\1014\"", "A4"},
        {"\"\\7\"", "\7"},
        {"\"a\\qb\"", "a\\qb"},
        {"L\"\\x4e2d!\"", "\xE4\xB8\xAD!"},
        {"L\"\\x41\\tb\"", "A\tb"},
    };
    for (const auto& c : cases) {
        ResourceSet set = ResourceSet::parse(std::string("STRINGTABLE BEGIN 1 ") + c.written + " END\n");
        EXPECT_EQ(c.read, set.strings.at(1)) << c.written;
    }
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
    // VS_FIXEDFILEINFO after the signature, each field at its place.
    const std::pair<size_t, unsigned> fixed[] = {
        {44, 0x00010000u},  // dwStrucVersion
        {48, 0x00010002u},  // dwFileVersionMS
        {52, 0x00030004u},  // dwFileVersionLS
        {56, 0x00050006u},  // dwProductVersionMS
        {60, 0u},           // dwProductVersionLS
        {64, 0x3Fu},        // dwFileFlagsMask
        {68, 0u},           // dwFileFlags
        {72, 0x40004u},     // dwFileOS
        {76, 1u},           // dwFileType
        {80, 0u},           // dwFileSubtype
    };
    for (const auto& f : fixed) EXPECT_EQ(f.second, word(f.first) | word(f.first + 2) << 16) << f.first;
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

}  // namespace
