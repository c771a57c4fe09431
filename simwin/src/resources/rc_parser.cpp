#include "rc_parser.h"

#include <algorithm>
#include <cstdint>

#include "rc_expression.h"
#include "rc_images.h"
#include "simwin/util.h"

namespace simwin::rc {

namespace {

// The bits the reader itself applies (the same values as in the table above).
constexpr DWORD kWsPopup = 0x80000000, kWsChild = 0x40000000, kWsVisible = 0x10000000, kWsCaption = 0x00C00000,
                kWsBorder = 0x00800000, kWsSysMenu = 0x00080000, kWsGroup = 0x00020000, kWsTabStop = 0x00010000;
constexpr DWORD kDsSetFont = 0x40;
constexpr DWORD kSsLeft = 0, kSsCenter = 1, kSsRight = 2, kSsIcon = 3;
constexpr DWORD kBsPushButton = 0, kBsDefPushButton = 1, kBsCheckBox = 2, kBsAutoCheckBox = 3, kBsRadioButton = 4,
                kBs3State = 5, kBsAuto3State = 6, kBsGroupBox = 7, kBsAutoRadioButton = 9;
constexpr DWORD kEsLeft = 0, kLbsNotify = 1, kCbsSimple = 1, kSbsHorz = 0;
constexpr UINT kMfGrayed = 0x1, kMfDisabled = 0x2, kMfChecked = 0x8, kMfPopup = 0x10, kMfMenuBarBreak = 0x20,
               kMfMenuBreak = 0x40, kMfSeparator = 0x800, kMfHelp = 0x4000;

// --- The parser ----------------------------------------------------------------------------------------

// How a control statement starts its style: def when the statement gives no style, base (with
// kWsChild | kWsVisible) before the style it gives is applied.
struct ControlKind {
    const char* keyword;
    const char* className;
    bool hasText;
    DWORD defaultStyle;
    DWORD baseStyle;
};
const ControlKind kControlKinds[] = {
    {"LTEXT", "STATIC", true, kSsLeft | kWsGroup, kSsLeft},
    {"RTEXT", "STATIC", true, kSsRight | kWsGroup, kSsRight},
    {"CTEXT", "STATIC", true, kSsCenter | kWsGroup, kSsCenter},
    {"PUSHBUTTON", "BUTTON", true, kBsPushButton | kWsTabStop, kBsPushButton | kWsTabStop},
    {"DEFPUSHBUTTON", "BUTTON", true, kBsDefPushButton | kWsTabStop, kBsDefPushButton | kWsTabStop},
    {"CHECKBOX", "BUTTON", true, kBsCheckBox | kWsTabStop, kBsCheckBox | kWsTabStop},
    {"AUTOCHECKBOX", "BUTTON", true, kBsAutoCheckBox | kWsTabStop, kBsAutoCheckBox | kWsTabStop},
    {"RADIOBUTTON", "BUTTON", true, kBsRadioButton | kWsTabStop, kBsRadioButton},
    {"AUTORADIOBUTTON", "BUTTON", true, kBsAutoRadioButton | kWsTabStop, kBsAutoRadioButton},
    {"STATE3", "BUTTON", true, kBs3State | kWsTabStop, kBs3State},
    {"AUTO3STATE", "BUTTON", true, kBsAuto3State | kWsTabStop, kBsAuto3State},
    {"GROUPBOX", "BUTTON", true, kBsGroupBox, kBsGroupBox},
    {"EDITTEXT", "EDIT", false, kEsLeft | kWsBorder | kWsTabStop, kEsLeft | kWsBorder | kWsTabStop},
    {"LISTBOX", "LISTBOX", false, kLbsNotify | kWsBorder, kLbsNotify | kWsBorder},
    {"COMBOBOX", "COMBOBOX", false, kCbsSimple | kWsTabStop, 0},
    {"SCROLLBAR", "SCROLLBAR", false, kSbsHorz, 0},
};

// The predefined window classes a template names by ordinal (0x80 to 0x85).
const char* const kPredefinedClasses[] = {"BUTTON", "EDIT", "STATIC", "LISTBOX", "SCROLLBAR", "COMBOBOX"};

std::string predefinedClass(const std::string& name) {
    for (const char* c : kPredefinedClasses)
        if (iequals(name, c)) return c;
    return name;
}

const char* const kMemoryFlags[] = {"MOVEABLE", "FIXED", "PURE", "IMPURE", "PRELOAD", "LOADONCALL",
                                    "DISCARDABLE", "SHARED", "NONSHARED"};
const char* const kUnsupportedTypes[] = {"CURSOR", "ACCELERATORS", "FONT", "MESSAGETABLE", "DLGINIT", "TOOLBAR",
                                         "DLGINCLUDE", "PLUGPLAY", "VXD", "ANICURSOR", "ANIICON", "HTML", "FONTDIR"};

struct MenuFlag {
    const char* word;
    UINT flag;
};
const MenuFlag kMenuFlags[] = {{"CHECKED", kMfChecked},           {"GRAYED", kMfGrayed},
                               {"HELP", kMfHelp},                 {"INACTIVE", kMfDisabled},
                               {"MENUBARBREAK", kMfMenuBarBreak}, {"MENUBREAK", kMfMenuBreak}};

class ScriptParser {
public:
    ScriptParser(std::vector<Token> tokens, const std::map<std::string, std::string>& files, bool allowMissingFiles,
                 const SourceNames& names, ResourceSet& out)
        : t_(std::move(tokens)), files_(files), allowMissing_(allowMissingFiles), names_(names), out_(out) {}

    void run() {
        while (peek().kind != Token::End) statement();
    }

private:
    // --- tokens ---
    const Token& peek(size_t ahead = 0) const { return t_[std::min(p_ + ahead, t_.size() - 1)]; }
    const Token& take() {
        const Token& t = peek();
        if (p_ < t_.size() - 1) ++p_;
        return t;
    }
    [[noreturn]] void fail(const Token& at, const std::string& what) const { names_.fail(at, what); }
    [[noreturn]] void unexpected(const char* where) const {
        fail(peek(), "unexpected " + describe(peek()) + " " + where);
    }
    bool takeWord(const char* w) {
        if (!isWord(peek(), w)) return false;
        take();
        return true;
    }
    bool takeComma() {
        if (!isPunct(peek(), ",")) return false;
        take();
        return true;
    }
    void expectComma(const char* where) {
        if (!takeComma()) fail(peek(), "expected ',' " + std::string(where) + " instead of " + describe(peek()));
    }
    void expectBegin(const char* where) {
        if (!isBegin(peek())) fail(peek(), "expected BEGIN " + std::string(where) + " instead of " + describe(peek()));
        take();
    }
    // A string; adjacent strings are one string.
    std::string quoted(const char* what, bool* wide = nullptr) {
        if (peek().kind != Token::String) fail(peek(), "expected " + std::string(what) + " instead of " + describe(peek()));
        std::string s;
        bool w = false;
        while (peek().kind == Token::String) {
            w = w || peek().wide;
            s += take().text;
        }
        if (wide) *wide = w;
        return s;
    }
    DWORD expression(bool* isLong = nullptr) {
        return readExpression(t_, p_, names_, false, isLong);
    }
    DWORD commaExpression(const char* where) {
        expectComma(where);
        return expression();
    }
    // A style: terms joined by '|', each ORed into style, or with NOT cleared from it.
    DWORD styleExpression(DWORD style) {
        do {
            bool clear = takeWord("NOT");
            DWORD v = readOperand(t_, p_, names_);
            style = clear ? style & ~v : style | v;
        } while (isPunct(peek(), "|") && (take(), true));
        return style;
    }
    bool startsExpression(const Token& t) const {
        return isNumber(t) || isPunct(t, "(") || isPunct(t, "-") || isPunct(t, "~") || isPunct(t, "+");
    }
    // A resource name or ID: a number expression, a word, or a quoted name.
    ResourceName resourceName() {
        const Token& t = peek();
        if (startsExpression(t)) return ResourceName::fromId(static_cast<WORD>(expression()));
        if (t.kind == Token::Word || t.kind == Token::String) return ResourceName::fromName(take().text);
        unexpected("where a resource name belongs");
    }
    // Text that may be an ID: "text", or "#12" for a number.
    std::string textOrId() {
        if (peek().kind == Token::String) return quoted("a text");
        ResourceName n = resourceName();
        return n.isId ? "#" + std::to_string(n.id) : n.name;
    }
    WORD languageArguments() {
        DWORD primary = expression();
        DWORD sub = commaExpression("between the language and the sublanguage");
        return static_cast<WORD>((sub << 10) | (primary & 0x3FF));
    }
    // LANGUAGE, CHARACTERISTICS and VERSION before a resource's BEGIN; false for another word.
    bool commonOption(WORD& language) {
        if (takeWord("LANGUAGE")) return language = languageArguments(), true;
        if (takeWord("CHARACTERISTICS") || takeWord("VERSION")) return expression(), true;
        return false;
    }
    void skipMemoryFlags() {
        for (bool again = true; again;) {
            again = false;
            for (const char* f : kMemoryFlags)
                if (takeWord(f)) again = true;
        }
    }
    // The contents of a file a statement names; nullptr when missing and allowed to be.
    const std::string* namedFile(const Token& at, const std::string& name) {
        auto f = findFile(files_, name);
        if (f != files_.end()) return &f->second;
        if (allowMissing_) return nullptr;
        fail(at, "cannot find file \"" + name + "\"");
    }

    // --- statements ---
    void statement() {
        if (takeWord("LANGUAGE")) return void(language_ = languageArguments());
        if (takeWord("STRINGTABLE")) return stringTable();
        if (takeWord("CHARACTERISTICS") || takeWord("VERSION")) return void(expression());
        const Token& at = peek();
        ResourceName name = resourceName();
        const Token& type = take();
        if (type.kind == Token::End) fail(type, "the resource " + name.text() + " has no type");
        if (isWord(type, "DIALOG") || isWord(type, "DIALOGEX")) return dialog(name, isWord(type, "DIALOGEX"), type);
        if (isWord(type, "MENU") || isWord(type, "MENUEX")) return menu(name, isWord(type, "MENUEX"), type);
        if (isWord(type, "BITMAP")) return bitmap(name, type);
        if (isWord(type, "ICON")) return icon(name, type);
        if (isWord(type, "VERSIONINFO")) return versionInfo(name, type);
        if (isWord(type, "RCDATA")) return userResource(name, ResourceName::fromId(10), type);
        for (const char* u : kUnsupportedTypes)
            if (isWord(type, u)) fail(type, std::string(u) + " resources are not supported");
        if (isNumber(type)) {
            DWORD id = 0;
            if (!parseNumber(type.text, id)) fail(type, "'" + type.text + "' is not a number");
            return userResource(name, ResourceName::fromId(static_cast<WORD>(id)), type);
        }
        if (type.kind == Token::Word || type.kind == Token::String)
            return userResource(name, ResourceName::fromName(type.text), type);
        fail(at, "unexpected " + describe(type) + " after the resource name " + name.text());
    }

    void stringTable() {
        skipMemoryFlags();
        WORD language = language_;
        while (commonOption(language)) {
        }
        expectBegin("of STRINGTABLE");
        while (!isEnd(peek())) {
            if (peek().kind == Token::End) fail(peek(), "STRINGTABLE without END");
            DWORD id = expression();
            takeComma();
            out_.strings[id & 0xFFFF] = quoted("the string");
        }
        take();
    }

    // --- dialogs ---
    void dialog(const ResourceName& name, bool extended, const Token& at) {
        if (out_.dialog(name)) fail(at, "a second dialog " + name.text());
        skipMemoryFlags();
        DialogTemplate d;
        d.name = name;
        d.extended = extended;
        d.language = language_;
        d.x = coordinate(expression());
        d.y = coordinate(commaExpression("after x"));
        d.cx = coordinate(commaExpression("after y"));
        d.cy = coordinate(commaExpression("after the width"));
        if (extended && takeComma()) d.helpId = expression();
        dialogOptions(d);
        while (!isEnd(peek())) {
            if (peek().kind == Token::End) fail(peek(), "dialog " + name.text() + " without END");
            d.items.push_back(control(d.extended));
        }
        take();
        out_.dialogs.push_back(std::move(d));
    }

    static int coordinate(DWORD v) { return static_cast<int16_t>(static_cast<uint16_t>(v)); }

    // The options before BEGIN. Without STYLE the dialog is WS_POPUP | WS_BORDER | WS_SYSMENU; CAPTION
    // adds WS_CAPTION and FONT DS_SETFONT whether they come before or after STYLE.
    void dialogOptions(DialogTemplate& d) {
        d.style = kWsPopup | kWsBorder | kWsSysMenu;
        DWORD style = 0;
        while (!isBegin(peek())) {
            if (takeWord("STYLE")) {
                d.style = style = styleExpression(style);
            } else if (takeWord("EXSTYLE")) {
                d.exStyle = expression();
            } else if (takeWord("CAPTION")) {
                d.caption = quoted("the caption");
                d.style |= kWsCaption;
                style |= kWsCaption;
            } else if (takeWord("CLASS")) {
                d.className = textOrId();
            } else if (takeWord("FONT")) {
                font(d);
                d.style |= kDsSetFont;
                style |= kDsSetFont;
            } else if (takeWord("MENU")) {
                d.menu = textOrId();
            } else if (!commonOption(d.language)) {
                unexpected("in the dialog's options");
            }
        }
        take();
    }

    void font(DialogTemplate& d) {
        d.pointSize = static_cast<int>(expression());
        expectComma("after the point size");
        d.fontName = quoted("the font's name");
        if (takeComma()) d.weight = static_cast<int>(expression());
        if (takeComma()) d.italic = expression() != 0;
        if (takeComma()) d.charset = static_cast<int>(expression() & 0xFF);
    }

    DialogItemTemplate control(bool extended) {
        const Token& keyword = take();
        if (isWord(keyword, "CONTROL")) return genericControl(extended);
        if (isWord(keyword, "ICON")) return iconControl(extended);
        for (const ControlKind& k : kControlKinds)
            if (isWord(keyword, k.keyword)) return statementControl(k, extended);
        fail(keyword, "unknown control statement " + describe(keyword));
    }

    int controlId(bool extended, DWORD v) const {
        if (extended) return static_cast<int32_t>(v);
        return (v & 0xFFFF) == 0xFFFF ? -1 : static_cast<int>(v & 0xFFFF);
    }

    void position(DialogItemTemplate& c) {
        c.x = coordinate(commaExpression("before x"));
        c.y = coordinate(commaExpression("after x"));
        c.cx = coordinate(commaExpression("after y"));
        c.cy = coordinate(commaExpression("after the width"));
    }

    // What follows the style: [, exstyle [, help ID]], then no control data.
    void controlTail(DialogItemTemplate& c, bool extended) {
        if (takeComma()) {
            c.exStyle = expression();
            if (takeComma()) {
                const Token& at = peek();
                c.helpId = expression();
                if (!extended) fail(at, "a control's help ID needs DIALOGEX");
            }
        }
        if (isBegin(peek())) fail(peek(), "control data blocks are not supported");
    }

    // LTEXT "text", id, x, y, cx, cy [, style [, exstyle [, help]]], and the ID-first EDITTEXT family.
    DialogItemTemplate statementControl(const ControlKind& k, bool extended) {
        DialogItemTemplate c;
        c.className = k.className;
        if (k.hasText) {
            c.text = quoted("the control's text");
            expectComma("after the control's text");
        }
        c.id = controlId(extended, expression());
        position(c);
        c.style = kWsChild | kWsVisible | k.defaultStyle;
        if (takeComma()) {
            c.style = styleExpression(kWsChild | kWsVisible | k.baseStyle);
            controlTail(c, extended);
        } else if (isBegin(peek())) {
            fail(peek(), "control data blocks are not supported");
        }
        return c;
    }

    // ICON name, id, x, y [, cx, cy [, style [, exstyle [, help]]]]: the size is read and dropped.
    DialogItemTemplate iconControl(bool extended) {
        DialogItemTemplate c;
        c.className = "STATIC";
        c.text = textOrId();
        c.id = controlId(extended, commaExpression("after the icon"));
        c.x = coordinate(commaExpression("before x"));
        c.y = coordinate(commaExpression("after x"));
        c.style = kWsChild | kWsVisible | kSsIcon;
        if (takeComma()) {
            expression();
            commaExpression("after the width");
            if (takeComma()) {
                c.style = styleExpression(c.style);
                controlTail(c, extended);
            }
        }
        return c;
    }

    // CONTROL text, id, class, style, x, y, cx, cy [, exstyle [, help]].
    DialogItemTemplate genericControl(bool extended) {
        DialogItemTemplate c;
        c.text = textOrId();
        c.id = controlId(extended, commaExpression("after the control's text"));
        expectComma("before the class");
        if (peek().kind == Token::String) {
            c.className = predefinedClass(quoted("the class"));
        } else {
            const Token& at = peek();
            DWORD ordinal = expression();
            if (ordinal < 0x80 || ordinal > 0x85) fail(at, "class ordinal " + std::to_string(ordinal) + " is not predefined");
            c.className = kPredefinedClasses[ordinal - 0x80];
        }
        expectComma("before the style");
        c.style = styleExpression(kWsChild | kWsVisible);
        position(c);
        controlTail(c, extended);
        return c;
    }

    // --- menus ---
    void menu(const ResourceName& name, bool extended, const Token& at) {
        if (out_.menu(name)) fail(at, "a second menu " + name.text());
        skipMemoryFlags();
        MenuTemplate m;
        m.name = name;
        m.extended = extended;
        m.language = language_;
        while (commonOption(m.language)) {
        }
        expectBegin("of the menu");
        m.items = menuItems(extended, 0);
        out_.menus.push_back(std::move(m));
    }

    // Items up to and including END.
    std::vector<MenuItemTemplate> menuItems(bool extended, int depth) {
        if (depth > 32) fail(peek(), "popups nested too deeply");
        std::vector<MenuItemTemplate> items;
        while (!isEnd(peek())) {
            if (peek().kind == Token::End) fail(peek(), "menu without END");
            items.push_back(extended ? menuExItem(depth) : menuItem(depth));
        }
        take();
        return items;
    }

    UINT menuFlags() {
        UINT flags = 0;
        for (;;) {
            bool comma = isPunct(peek(), ",");
            const Token& word = peek(comma ? 1 : 0);
            const MenuFlag* f = nullptr;
            for (const MenuFlag& m : kMenuFlags)
                if (isWord(word, m.word)) f = &m;
            if (!f) return flags;
            if (comma) take();
            take();
            flags |= f->flag;
        }
    }

    MenuItemTemplate menuItem(int depth) {
        MenuItemTemplate item;
        if (takeWord("POPUP")) {
            item.text = quoted("the popup's text");
            item.flags = kMfPopup | menuFlags();
            expectBegin("of the popup");
            item.items = menuItems(false, depth + 1);
        } else if (takeWord("MENUITEM")) {
            if (takeWord("SEPARATOR")) {
                item.flags = kMfSeparator;
            } else {
                item.text = quoted("the item's text");
                item.id = commaExpression("after the item's text") & 0xFFFF;
                item.flags = menuFlags();
            }
        } else {
            unexpected("in a menu");
        }
        return item;
    }

    MenuItemTemplate menuExItem(int depth) {
        MenuItemTemplate item;
        bool popup = takeWord("POPUP");
        if (!popup && !takeWord("MENUITEM")) unexpected("in a MENUEX menu");
        if (!popup && takeWord("SEPARATOR")) {
            item.flags = kMfSeparator;
            return item;
        }
        item.text = quoted("the item's text");
        if (takeComma()) item.id = expression();
        if (takeComma()) item.flags |= expression();    // type
        if (takeComma()) item.flags |= expression();    // state
        if (popup && takeComma()) item.helpId = expression();
        if (popup) {
            item.flags |= kMfPopup;
            expectBegin("of the popup");
            item.items = menuItems(true, depth + 1);
        }
        return item;
    }

    // --- files: bitmaps, icons, other types ---
    void bitmap(const ResourceName& name, const Token& at) {
        skipMemoryFlags();
        const Token& fileToken = peek();
        std::string file = quoted("the bitmap's file name");
        const std::string* data = namedFile(fileToken, file);
        if (!data) return;
        BitmapResource b;
        b.name = name;
        b.file = file;
        decodeBmpFile(*data, names_.place(fileToken) + ": bitmap \"" + file + "\"", b);
        addBitmap(std::move(b), at);
    }

    void addBitmap(BitmapResource b, const Token& at) {
        if (out_.bitmap(b.name)) fail(at, "a second bitmap " + b.name.text());
        out_.bitmaps.push_back(std::move(b));
    }

    void icon(const ResourceName& name, const Token& at) {
        skipMemoryFlags();
        const Token& fileToken = peek();
        std::string file = quoted("the icon's file name");
        const std::string* data = namedFile(fileToken, file);
        if (!data) return;
        IconResource i;
        i.name = name;
        i.file = file;
        decodeIcoFile(*data, names_.place(fileToken) + ": icon \"" + file + "\"", i);
        addIcon(std::move(i), at);
    }

    void addIcon(IconResource i, const Token& at) {
        if (out_.icon(i.name)) fail(at, "a second icon " + i.name.text());
        out_.icons.push_back(std::move(i));
    }

    void userResource(const ResourceName& name, const ResourceName& type, const Token& at) {
        skipMemoryFlags();
        UserResource u;
        u.type = type;
        u.name = name;
        u.language = language_;
        while (commonOption(u.language)) {
        }
        if (peek().kind == Token::String) {
            const Token& fileToken = peek();
            u.file = quoted("the file name");
            const std::string* data = namedFile(fileToken, u.file);
            if (!data) return;
            u.data = *data;
        } else {
            expectBegin("or a file name");
            u.data = dataBlock();
        }
        addUserResource(std::move(u), at);
    }

    // Numbers (16 bits, with an L suffix 32) and strings, optionally separated by commas, up to END.
    std::string dataBlock() {
        std::string data;
        while (!isEnd(peek())) {
            if (peek().kind == Token::End) fail(peek(), "data block without END");
            if (peek().kind == Token::String) {
                bool wide;
                std::string s = quoted("a string", &wide);
                if (!wide) {
                    data += s;
                } else {
                    for (char16_t u : utf16FromUtf8(s)) data += static_cast<char>(u & 0xFF), data += static_cast<char>(u >> 8);
                }
            } else {
                bool isLong;
                DWORD v = expression(&isLong);
                for (int i = 0; i < (isLong ? 4 : 2); ++i) data += static_cast<char>((v >> (8 * i)) & 0xFF);
            }
            takeComma();
        }
        take();
        return data;
    }

    // A bitmap or an icon directory given as data of its numeric type (the form windres -O rc writes)
    // counts as that resource; everything else is kept as bytes.
    void addUserResource(UserResource u, const Token& at) {
        std::string what = names_.place(at) + ": resource " + u.name.text();
        if (u.type.isId && u.type.id == 2) {
            BitmapResource b;
            b.name = u.name;
            b.file = u.file;
            decodeDibResource(u.data, what, b);
            return addBitmap(std::move(b), at);
        }
        if (u.type.isId && u.type.id == 14) {
            IconResource i;
            i.name = u.name;
            i.file = u.file;
            decodeGroupIcon(u.data, what, i);
            return addIcon(std::move(i), at);
        }
        if (out_.user(u.type, u.name)) fail(at, "a second resource " + u.name.text() + " of type " + u.type.text());
        out_.userResources.push_back(std::move(u));
    }

    // --- version information ---
    void versionInfo(const ResourceName& name, const Token& at) {
        VersionResource& v = out_.version;
        if (v.present) fail(at, "a second VERSIONINFO");
        v.present = true;
        v.name = name;
        while (!isBegin(peek())) fixedVersionInfo(v);
        take();
        while (!isEnd(peek())) {
            const Token& blockAt = peek();
            if (!takeWord("BLOCK")) unexpected("in VERSIONINFO (BLOCK expected)");
            std::string block = quoted("the block's name");
            expectBegin("of the block");
            if (iequals(block, "StringFileInfo")) stringFileInfo(v);
            else if (iequals(block, "VarFileInfo")) varFileInfo(v);
            else fail(blockAt, "unknown version block \"" + block + "\"");
        }
        take();
    }

    // FILEVERSION a, b, c, d and the other fixed values before BEGIN.
    void fixedVersionInfo(VersionResource& v) {
        auto version = [&](DWORD& ms, DWORD& ls) {
            DWORD part[4] = {0, 0, 0, 0};
            part[0] = expression();
            for (int i = 1; i < 4 && takeComma(); ++i) part[i] = expression();
            ms = (part[0] << 16) | (part[1] & 0xFFFF);
            ls = (part[2] << 16) | (part[3] & 0xFFFF);
        };
        if (takeWord("FILEVERSION")) version(v.fileVersionMS, v.fileVersionLS);
        else if (takeWord("PRODUCTVERSION")) version(v.productVersionMS, v.productVersionLS);
        else if (takeWord("FILEFLAGSMASK")) v.fileFlagsMask = expression();
        else if (takeWord("FILEFLAGS")) v.fileFlags = expression();
        else if (takeWord("FILEOS")) v.fileOS = expression();
        else if (takeWord("FILETYPE")) v.fileType = expression();
        else if (takeWord("FILESUBTYPE")) v.fileSubtype = expression();
        else unexpected("in VERSIONINFO");
    }

    void stringFileInfo(VersionResource& v) {
        while (!isEnd(peek())) {
            if (!takeWord("BLOCK")) unexpected("in StringFileInfo (BLOCK expected)");
            VersionResource::StringBlock block;
            block.name = quoted("the string table's name");
            expectBegin("of the string table");
            while (!isEnd(peek())) {
                if (!takeWord("VALUE")) unexpected("in a string table (VALUE expected)");
                std::string key = quoted("the value's name");
                expectComma("after the value's name");
                std::string value = quoted("the value");
                block.values.push_back({key, value});
                v.strings[block.name][key] = value;
            }
            take();
            v.stringBlocks.push_back(std::move(block));
        }
        take();
    }

    void varFileInfo(VersionResource& v) {
        while (!isEnd(peek())) {
            const Token& at = peek();
            if (!takeWord("VALUE")) unexpected("in VarFileInfo (VALUE expected)");
            std::string key = quoted("the value's name");
            if (!iequals(key, "Translation")) fail(at, "unknown VarFileInfo value \"" + key + "\"");
            while (takeComma()) {
                DWORD language = expression();
                DWORD codePage = commaExpression("after the language");
                v.translations.push_back({static_cast<WORD>(language), static_cast<WORD>(codePage)});
            }
        }
        take();
    }

    std::vector<Token> t_;
    size_t p_ = 0;
    const std::map<std::string, std::string>& files_;
    bool allowMissing_;
    const SourceNames& names_;
    ResourceSet& out_;
    WORD language_ = 0x409;
};

}  // namespace

void parseScript(std::vector<Token> tokens, const std::map<std::string, std::string>& files, bool allowMissingFiles,
                 const SourceNames& names, ResourceSet& out) {
    ScriptParser(std::move(tokens), files, allowMissingFiles, names, out).run();
}

}  // namespace simwin::rc
