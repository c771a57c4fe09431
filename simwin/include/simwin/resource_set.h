// Resources of a module, parsed once from resource-script (.rc) text: strings, dialog templates, menus,
// bitmaps, icons and the version resource. The program module carries the set parsed from the project's
// own resources/korun04.rc (embedded at build time with the files it names), so a text, a control ID or a
// layout is written once for windres and for simwin.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "simwin/types.h"

namespace simwin {

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
};

// A menu item: a string item (id, text, flags such as MF_GRAYED | MF_CHECKED), a separator
// (MF_SEPARATOR) or a popup (MF_POPUP, with its items).
struct MenuItemTemplate {
    std::string text;
    UINT id = 0;
    UINT flags = 0;
    std::vector<MenuItemTemplate> items;
};

struct MenuTemplate {
    ResourceName name;
    std::vector<MenuItemTemplate> items;
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
};

// VS_VERSION_INFO: the fixed part and the string blocks ("041104B0" -> {"FileVersion" -> "1.0.0.0"}).
struct VersionResource {
    bool present = false;
    DWORD fileVersionMS = 0, fileVersionLS = 0;
    DWORD productVersionMS = 0, productVersionLS = 0;
    DWORD fileFlagsMask = 0, fileFlags = 0, fileOS = 0, fileType = 0, fileSubtype = 0;
    std::map<std::string, std::map<std::string, std::string>> strings;
    std::vector<std::pair<WORD, WORD>> translations;  // language, code page
};

class ResourceSet {
public:
    // Parses resource-script text. files maps the file names the script names (bitmaps, icons, the
    // manifest) to their contents. Throws MachineError naming the line on a statement it cannot read.
    static ResourceSet parse(const std::string& rcText, const std::map<std::string, std::string>& files = {});

    std::map<UINT, std::string> strings;
    std::vector<DialogTemplate> dialogs;
    std::vector<MenuTemplate> menus;
    std::vector<BitmapResource> bitmaps;
    std::vector<IconResource> icons;
    VersionResource version;

    const DialogTemplate* dialog(const ResourceName& name) const;
    const MenuTemplate* menu(const ResourceName& name) const;
    const BitmapResource* bitmap(const ResourceName& name) const;
    const IconResource* icon(const ResourceName& name) const;
};

// The resources of the program module: resources/korun04.rc as embedded at build time.
ResourceSet& programResources();

}  // namespace simwin
