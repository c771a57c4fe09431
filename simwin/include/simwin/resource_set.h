// Resources of a module, parsed once from resource-script (.rc) text: strings, dialog templates, menus,
// bitmaps, icons and the version resource. The program module carries the set parsed from the resource
// script of the program the build hands over (simwin/program.h), the same script windres compiles, so a
// text, a control ID or a layout is written once for windres and for simwin.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "simwin/types.h"

namespace simwin {

// What the reader understands: the preprocessor lines #include (a "file" from the files map, or one of the
// SDK headers <windows.h>, <winresrc.h>, <winres.h>, <winver.h>, <commctrl.h>, which bring the Windows
// constants of styles, versions, menus, languages and dialog IDs with the values of the mingw-w64
// headers), #define and #undef of object-like macros, #ifdef, #ifndef, #if and #elif of a numeric
// expression with defined(NAME), #else, #endif, #pragma code_page(65001) and #pragma once. Expressions:
// numbers as C writes them (0x10, 010 octal, an L suffix), + - * / % & ^ | ~, parentheses; in a style,
// NOT x clears x from what the statement starts with. Statements: LANGUAGE, STRINGTABLE, DIALOG,
// DIALOGEX, MENU, MENUEX, BITMAP, ICON, VERSIONINFO, RCDATA and user-defined types (a file or a
// BEGIN ... END block of numbers and strings). The values are those windres compiles, including its
// quirks: an ICON control's width and height are dropped (the static sizes itself to the icon), a text
// control given a style keeps only its base bits (LTEXT: SS_LEFT, no WS_GROUP), a second definition of a
// string ID replaces the first. Names and class names are kept as written (windres upper-cases them; both
// compare case-insensitively). Data of type 2 or 14 (as windres -O rc writes a bitmap or an icon
// directory) counts as a bitmap or an icon. Not read: control data blocks, function-like macros, and
// CURSOR, ACCELERATORS, FONT, MESSAGETABLE and the other rarer types. Where windres only warns (two
// dialogs of one name) the reader refuses.

// A resource's name: a 16-bit ID or a name (names compare case-insensitively, as FindResource does).
struct ResourceName {
    bool isId = true;
    WORD id = 0;
    std::string name;

    static ResourceName fromId(WORD id);
    static ResourceName fromName(const std::string& name);
    // What the Win32 functions receive: MAKEINTRESOURCE(id) or a string; "#123" is the ID 123.
    static ResourceName fromArgument(LPCSTR nameOrId);
    bool matches(const ResourceName& other) const;
    std::string text() const;  // "115" or "IDD_SELECT"
};

// One control of a dialog template, in dialog units. className is the class as the template names it,
// with the predefined ordinals written out ("BUTTON", "EDIT", "STATIC", "LISTBOX", "SCROLLBAR",
// "COMBOBOX"); style already holds the bits the statement implies (e.g. DEFPUSHBUTTON: BS_DEFPUSHBUTTON
// | WS_TABSTOP | WS_CHILD | WS_VISIBLE).
struct DialogItemTemplate {
    std::string className;
    std::string text;       // the text, or for an ICON control the icon's name ("#1" for an ID)
    int id = -1;            // -1 (IDC_STATIC) when none
    DWORD style = 0;
    DWORD exStyle = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    DWORD helpId = 0;       // DIALOGEX only
};

struct DialogTemplate {
    ResourceName name;
    bool extended = false;  // DIALOGEX
    DWORD style = 0;
    DWORD exStyle = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    std::string caption;
    std::string className;  // empty: the system dialog class "#32770"
    std::string fontName;   // DS_SETFONT (FONT statement)
    int pointSize = 0;
    int weight = 0;
    bool italic = false;
    std::vector<DialogItemTemplate> items;
    int charset = 1;        // DIALOGEX FONT: DEFAULT_CHARSET unless given
    std::string menu;       // the MENU statement: a name, or "#117" for an ID; empty: none
    DWORD helpId = 0;       // DIALOGEX only
    WORD language = 0x409;  // LANGUAGE in force (windres starts with 0x409, English US)
};

// A menu item: a string item (id, text, flags such as MF_GRAYED | MF_CHECKED), a separator
// (MF_SEPARATOR) or a popup (MF_POPUP, with its items). MENU items carry MF_ flags (CHECKED 8,
// GRAYED 1, HELP 0x4000, INACTIVE 2, MENUBARBREAK 0x20, MENUBREAK 0x40); MENUEX items their type
// and state ORed together (the MFT_ and MFS_ values are MF_ values), popups with MF_POPUP added.
// A MENU item written as MENUITEM "", 0 stays a string item here, as windres stores it (LoadMenu
// makes a separator of it).
struct MenuItemTemplate {
    std::string text;
    UINT id = 0;
    UINT flags = 0;
    std::vector<MenuItemTemplate> items;
    DWORD helpId = 0;  // MENUEX popups only
};

struct MenuTemplate {
    ResourceName name;
    std::vector<MenuItemTemplate> items;
    bool extended = false;  // MENUEX
    WORD language = 0x409;
};

// A bitmap as its .bmp file gives it: size and colour depth, and the pixels as 0x00RRGGBB, top row first.
struct BitmapResource {
    ResourceName name;
    std::string file;
    int width = 0, height = 0, bitsPerPixel = 0;
    std::vector<uint32_t> pixels;
};

struct IconResource {
    ResourceName name;
    std::string file;
    std::vector<std::pair<int, int>> sizes;  // width and height of each image in the .ico
    std::vector<int> bitCounts;              // colour depth of each image, in the order of sizes
};

// A resource of another type (RT_MANIFEST 24, RCDATA 10, a named type): its bytes, from the file or
// from the BEGIN ... END block (numbers as 16-bit words, with an L suffix 32-bit; "text" as its bytes,
// L"text" as UTF-16, neither terminated).
struct UserResource {
    ResourceName type;
    ResourceName name;
    std::string file;  // empty for a block
    std::string data;
    WORD language = 0x409;
};

// VS_VERSION_INFO: the fixed part and the string blocks ("041104B0" -> {"FileVersion" -> "1.0.0.0"}).
struct VersionResource {
    bool present = false;
    DWORD fileVersionMS = 0, fileVersionLS = 0;
    DWORD productVersionMS = 0, productVersionLS = 0;
    DWORD fileFlagsMask = 0, fileFlags = 0, fileOS = 0, fileType = 0, fileSubtype = 0;
    std::map<std::string, std::map<std::string, std::string>> strings;
    std::vector<std::pair<WORD, WORD>> translations;  // language, code page

    // The string blocks and values in the script's order (strings holds the same for lookup); the
    // binary layout follows this order.
    struct StringBlock {
        std::string name;                                         // "041104B0"
        std::vector<std::pair<std::string, std::string>> values;  // "FileVersion", "1.0.0.0"
    };
    std::vector<StringBlock> stringBlocks;
    ResourceName name = ResourceName::fromId(1);  // VS_VERSION_INFO

    // The VS_VERSIONINFO block as the resource compiler lays it out for a 32-bit module: UTF-16 keys
    // and string values, VS_FIXEDFILEINFO, each node DWORD-aligned, StringFileInfo and VarFileInfo.
    std::string binary() const;
};

class ResourceSet {
public:
    // Parses resource-script text. files maps the file names the script names (bitmaps, icons, the
    // manifest) to their contents. Throws MachineError naming the line on a statement it cannot read.
    static ResourceSet parse(const std::string& rcText, const std::map<std::string, std::string>& files = {});
    // The same; with allowMissingFiles a resource whose file is not in files is left out instead (an
    // #include of a missing file is still an error). sourceName names the script in error messages.
    static ResourceSet parse(const std::string& rcText, const std::map<std::string, std::string>& files,
                             bool allowMissingFiles, const std::string& sourceName = "script");

    std::map<UINT, std::string> strings;
    std::vector<DialogTemplate> dialogs;
    std::vector<MenuTemplate> menus;
    std::vector<BitmapResource> bitmaps;
    std::vector<IconResource> icons;
    VersionResource version;
    std::vector<UserResource> userResources;

    const DialogTemplate* dialog(const ResourceName& name) const;
    const MenuTemplate* menu(const ResourceName& name) const;
    const BitmapResource* bitmap(const ResourceName& name) const;
    const IconResource* icon(const ResourceName& name) const;
    const UserResource* user(const ResourceName& type, const ResourceName& name) const;
};

// The program's resource script and the files beside it, by file name, with their bytes (hostProgram().files).
const std::map<std::string, std::string>& programResourceFiles();

// UTF-8 and UTF-16, as resources store text in both: a sequence cut short or a stray byte stands for itself.
std::u16string utf16FromUtf8(const std::string& text);
std::string utf8FromUtf16(const char16_t* units, size_t count);

// The resources of the program module: the program's resource script (simwin/program.h), parsed at first
// use (a script that does not parse throws MachineError here). Tests may change the set (see
// ScopedProgramString); the Win32 functions read it as it is.
ResourceSet& programResources();

}  // namespace simwin
