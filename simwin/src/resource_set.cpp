// The resource-script reader and the resource set of a module.
//
// Three stages: the Lexer cuts one file's text into tokens (words, strings, punctuation, preprocessor
// lines); the Preprocessor follows #include and the conditionals and expands macros into one token
// stream; the ScriptParser turns that stream into the ResourceSet. Every token remembers its file and
// line, so an error names the place the way a compiler would.
#include "simwin/resource_set.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <set>
#include <unordered_map>

#include "simwin/program.h"
#include "simwin/util.h"

namespace simwin {

namespace {

// --- Windows constants ---------------------------------------------------------------------------------
// What the SDK headers define for resource scripts (the mingw-w64 headers' values, as they read with
// RC_INVOKED): window, dialog, static, button, edit, list box, combo box, scroll bar, list view and
// progress bar styles, menu types and states, version information, languages and dialog command IDs.
struct NamedValue {
    const char* name;
    DWORD value;
};
const NamedValue kWindowsConstants[] = {
    {"BS_3STATE", 0x5}, {"BS_AUTO3STATE", 0x6}, {"BS_AUTOCHECKBOX", 0x3}, {"BS_AUTORADIOBUTTON", 0x9},
    {"BS_BITMAP", 0x80}, {"BS_BOTTOM", 0x800}, {"BS_CENTER", 0x300}, {"BS_CHECKBOX", 0x2}, {"BS_COMMANDLINK", 0xE},
    {"BS_DEFCOMMANDLINK", 0xF}, {"BS_DEFPUSHBUTTON", 0x1}, {"BS_DEFSPLITBUTTON", 0xD}, {"BS_FLAT", 0x8000},
    {"BS_GROUPBOX", 0x7}, {"BS_ICON", 0x40}, {"BS_LEFT", 0x100}, {"BS_LEFTTEXT", 0x20}, {"BS_MULTILINE", 0x2000},
    {"BS_NOTIFY", 0x4000}, {"BS_OWNERDRAW", 0xB}, {"BS_PUSHBOX", 0xA}, {"BS_PUSHBUTTON", 0x0},
    {"BS_PUSHLIKE", 0x1000}, {"BS_RADIOBUTTON", 0x4}, {"BS_RIGHT", 0x200}, {"BS_RIGHTBUTTON", 0x20},
    {"BS_SPLITBUTTON", 0xC}, {"BS_TEXT", 0x0}, {"BS_TOP", 0x400}, {"BS_TYPEMASK", 0xF}, {"BS_USERBUTTON", 0x8},
    {"BS_VCENTER", 0xC00}, {"CBS_AUTOHSCROLL", 0x40}, {"CBS_DISABLENOSCROLL", 0x800}, {"CBS_DROPDOWN", 0x2},
    {"CBS_DROPDOWNLIST", 0x3}, {"CBS_HASSTRINGS", 0x200}, {"CBS_LOWERCASE", 0x4000},
    {"CBS_NOINTEGRALHEIGHT", 0x400}, {"CBS_OEMCONVERT", 0x80}, {"CBS_OWNERDRAWFIXED", 0x10},
    {"CBS_OWNERDRAWVARIABLE", 0x20}, {"CBS_SIMPLE", 0x1}, {"CBS_SORT", 0x100}, {"CBS_UPPERCASE", 0x2000},
    {"DS_3DLOOK", 0x4}, {"DS_ABSALIGN", 0x1}, {"DS_CENTER", 0x800}, {"DS_CENTERMOUSE", 0x1000},
    {"DS_CONTEXTHELP", 0x2000}, {"DS_CONTROL", 0x400}, {"DS_FIXEDSYS", 0x8}, {"DS_LOCALEDIT", 0x20},
    {"DS_MODALFRAME", 0x80}, {"DS_NOFAILCREATE", 0x10}, {"DS_NOIDLEMSG", 0x100}, {"DS_SETFONT", 0x40},
    {"DS_SETFOREGROUND", 0x200}, {"DS_SHELLFONT", 0x48}, {"DS_SYSMODAL", 0x2}, {"ES_AUTOHSCROLL", 0x80},
    {"ES_AUTOVSCROLL", 0x40}, {"ES_CENTER", 0x1}, {"ES_LEFT", 0x0}, {"ES_LOWERCASE", 0x10}, {"ES_MULTILINE", 0x4},
    {"ES_NOHIDESEL", 0x100}, {"ES_NUMBER", 0x2000}, {"ES_OEMCONVERT", 0x400}, {"ES_PASSWORD", 0x20},
    {"ES_READONLY", 0x800}, {"ES_RIGHT", 0x2}, {"ES_UPPERCASE", 0x8}, {"ES_WANTRETURN", 0x1000},
    {"LBS_COMBOBOX", 0x8000}, {"LBS_DISABLENOSCROLL", 0x1000}, {"LBS_EXTENDEDSEL", 0x800},
    {"LBS_HASSTRINGS", 0x40}, {"LBS_MULTICOLUMN", 0x200}, {"LBS_MULTIPLESEL", 0x8}, {"LBS_NODATA", 0x2000},
    {"LBS_NOINTEGRALHEIGHT", 0x100}, {"LBS_NOREDRAW", 0x4}, {"LBS_NOSEL", 0x4000}, {"LBS_NOTIFY", 0x1},
    {"LBS_OWNERDRAWFIXED", 0x10}, {"LBS_OWNERDRAWVARIABLE", 0x20}, {"LBS_SORT", 0x2}, {"LBS_STANDARD", 0xA00003},
    {"LBS_USETABSTOPS", 0x80}, {"LBS_WANTKEYBOARDINPUT", 0x400}, {"LVS_ALIGNLEFT", 0x800},
    {"LVS_ALIGNMASK", 0xC00}, {"LVS_ALIGNTOP", 0x0}, {"LVS_AUTOARRANGE", 0x100}, {"LVS_EDITLABELS", 0x200},
    {"LVS_ICON", 0x0}, {"LVS_LIST", 0x3}, {"LVS_NOCOLUMNHEADER", 0x4000}, {"LVS_NOLABELWRAP", 0x80},
    {"LVS_NOSCROLL", 0x2000}, {"LVS_NOSORTHEADER", 0x8000}, {"LVS_OWNERDATA", 0x1000},
    {"LVS_OWNERDRAWFIXED", 0x400}, {"LVS_REPORT", 0x1}, {"LVS_SHAREIMAGELISTS", 0x40}, {"LVS_SHOWSELALWAYS", 0x8},
    {"LVS_SINGLESEL", 0x4}, {"LVS_SMALLICON", 0x2}, {"LVS_SORTASCENDING", 0x10}, {"LVS_SORTDESCENDING", 0x20},
    {"LVS_TYPEMASK", 0x3}, {"LVS_TYPESTYLEMASK", 0xFC00}, {"MFS_CHECKED", 0x8}, {"MFS_DEFAULT", 0x1000},
    {"MFS_DISABLED", 0x3}, {"MFS_ENABLED", 0x0}, {"MFS_GRAYED", 0x3}, {"MFS_HILITE", 0x80}, {"MFS_UNCHECKED", 0x0},
    {"MFS_UNHILITE", 0x0}, {"MFT_BITMAP", 0x4}, {"MFT_MENUBARBREAK", 0x20}, {"MFT_MENUBREAK", 0x40},
    {"MFT_OWNERDRAW", 0x100}, {"MFT_RADIOCHECK", 0x200}, {"MFT_RIGHTJUSTIFY", 0x4000}, {"MFT_RIGHTORDER", 0x2000},
    {"MFT_SEPARATOR", 0x800}, {"MFT_STRING", 0x0}, {"MF_APPEND", 0x100}, {"MF_BITMAP", 0x4}, {"MF_BYCOMMAND", 0x0},
    {"MF_BYPOSITION", 0x400}, {"MF_CHANGE", 0x80}, {"MF_CHECKED", 0x8}, {"MF_DEFAULT", 0x1000},
    {"MF_DELETE", 0x200}, {"MF_DISABLED", 0x2}, {"MF_ENABLED", 0x0}, {"MF_GRAYED", 0x1}, {"MF_HELP", 0x4000},
    {"MF_HILITE", 0x80}, {"MF_INSERT", 0x0}, {"MF_MENUBARBREAK", 0x20}, {"MF_MENUBREAK", 0x40},
    {"MF_MOUSESELECT", 0x8000}, {"MF_OWNERDRAW", 0x100}, {"MF_POPUP", 0x10}, {"MF_REMOVE", 0x1000},
    {"MF_RIGHTJUSTIFY", 0x4000}, {"MF_SEPARATOR", 0x800}, {"MF_STRING", 0x0}, {"MF_SYSMENU", 0x2000},
    {"MF_UNCHECKED", 0x0}, {"MF_UNHILITE", 0x0}, {"MF_USECHECKBITMAPS", 0x200}, {"PBS_MARQUEE", 0x8},
    {"PBS_SMOOTH", 0x1}, {"PBS_SMOOTHREVERSE", 0x10}, {"PBS_VERTICAL", 0x4}, {"SBS_BOTTOMALIGN", 0x4},
    {"SBS_HORZ", 0x0}, {"SBS_LEFTALIGN", 0x2}, {"SBS_RIGHTALIGN", 0x4}, {"SBS_SIZEBOX", 0x8},
    {"SBS_SIZEBOXBOTTOMRIGHTALIGN", 0x4}, {"SBS_SIZEBOXTOPLEFTALIGN", 0x2}, {"SBS_SIZEGRIP", 0x10},
    {"SBS_TOPALIGN", 0x2}, {"SBS_VERT", 0x1}, {"SS_BITMAP", 0xE}, {"SS_BLACKFRAME", 0x7}, {"SS_BLACKRECT", 0x4},
    {"SS_CENTER", 0x1}, {"SS_CENTERIMAGE", 0x200}, {"SS_EDITCONTROL", 0x2000}, {"SS_ELLIPSISMASK", 0xC000},
    {"SS_ENDELLIPSIS", 0x4000}, {"SS_ENHMETAFILE", 0xF}, {"SS_ETCHEDFRAME", 0x12}, {"SS_ETCHEDHORZ", 0x10},
    {"SS_ETCHEDVERT", 0x11}, {"SS_GRAYFRAME", 0x8}, {"SS_GRAYRECT", 0x5}, {"SS_ICON", 0x3}, {"SS_LEFT", 0x0},
    {"SS_LEFTNOWORDWRAP", 0xC}, {"SS_NOPREFIX", 0x80}, {"SS_NOTIFY", 0x100}, {"SS_OWNERDRAW", 0xD},
    {"SS_PATHELLIPSIS", 0x8000}, {"SS_REALSIZECONTROL", 0x40}, {"SS_REALSIZEIMAGE", 0x800}, {"SS_RIGHT", 0x2},
    {"SS_RIGHTJUST", 0x400}, {"SS_SIMPLE", 0xB}, {"SS_SUNKEN", 0x1000}, {"SS_TYPEMASK", 0x1F},
    {"SS_USERITEM", 0xA}, {"SS_WHITEFRAME", 0x9}, {"SS_WHITERECT", 0x6}, {"SS_WORDELLIPSIS", 0xC000},
    {"VFT2_DRV_COMM", 0xA}, {"VFT2_DRV_DISPLAY", 0x4}, {"VFT2_DRV_INPUTMETHOD", 0xB},
    {"VFT2_DRV_INSTALLABLE", 0x8}, {"VFT2_DRV_KEYBOARD", 0x2}, {"VFT2_DRV_LANGUAGE", 0x3}, {"VFT2_DRV_MOUSE", 0x5},
    {"VFT2_DRV_NETWORK", 0x6}, {"VFT2_DRV_PRINTER", 0x1}, {"VFT2_DRV_SOUND", 0x9}, {"VFT2_DRV_SYSTEM", 0x7},
    {"VFT2_DRV_VERSIONED_PRINTER", 0xC}, {"VFT2_FONT_RASTER", 0x1}, {"VFT2_FONT_TRUETYPE", 0x3},
    {"VFT2_FONT_VECTOR", 0x2}, {"VFT2_UNKNOWN", 0x0}, {"VFT_APP", 0x1}, {"VFT_DLL", 0x2}, {"VFT_DRV", 0x3},
    {"VFT_FONT", 0x4}, {"VFT_STATIC_LIB", 0x7}, {"VFT_UNKNOWN", 0x0}, {"VFT_VXD", 0x5}, {"VOS_DOS", 0x10000},
    {"VOS_DOS_WINDOWS16", 0x10001}, {"VOS_DOS_WINDOWS32", 0x10004}, {"VOS_NT", 0x40000},
    {"VOS_NT_WINDOWS32", 0x40004}, {"VOS_OS216", 0x20000}, {"VOS_OS216_PM16", 0x20002}, {"VOS_OS232", 0x30000},
    {"VOS_OS232_PM32", 0x30003}, {"VOS_UNKNOWN", 0x0}, {"VOS_WINCE", 0x50000}, {"VOS__BASE", 0x0},
    {"VOS__PM16", 0x2}, {"VOS__PM32", 0x3}, {"VOS__WINDOWS16", 0x1}, {"VOS__WINDOWS32", 0x4},
    {"VS_FFI_FILEFLAGSMASK", 0x3F}, {"VS_FFI_SIGNATURE", 0xFEEF04BD}, {"VS_FFI_STRUCVERSION", 0x10000},
    {"VS_FF_DEBUG", 0x1}, {"VS_FF_INFOINFERRED", 0x10}, {"VS_FF_PATCHED", 0x4}, {"VS_FF_PRERELEASE", 0x2},
    {"VS_FF_PRIVATEBUILD", 0x8}, {"VS_FF_SPECIALBUILD", 0x20}, {"WS_BORDER", 0x800000}, {"WS_CAPTION", 0xC00000},
    {"WS_CHILD", 0x40000000}, {"WS_CHILDWINDOW", 0x40000000}, {"WS_CLIPCHILDREN", 0x2000000},
    {"WS_CLIPSIBLINGS", 0x4000000}, {"WS_DISABLED", 0x8000000}, {"WS_DLGFRAME", 0x400000},
    {"WS_EX_ACCEPTFILES", 0x10}, {"WS_EX_APPWINDOW", 0x40000}, {"WS_EX_CLIENTEDGE", 0x200},
    {"WS_EX_COMPOSITED", 0x2000000}, {"WS_EX_CONTEXTHELP", 0x400}, {"WS_EX_CONTROLPARENT", 0x10000},
    {"WS_EX_DLGMODALFRAME", 0x1}, {"WS_EX_LAYERED", 0x80000}, {"WS_EX_LAYOUTRTL", 0x400000}, {"WS_EX_LEFT", 0x0},
    {"WS_EX_LEFTSCROLLBAR", 0x4000}, {"WS_EX_LTRREADING", 0x0}, {"WS_EX_MDICHILD", 0x40},
    {"WS_EX_NOACTIVATE", 0x8000000}, {"WS_EX_NOINHERITLAYOUT", 0x100000}, {"WS_EX_NOPARENTNOTIFY", 0x4},
    {"WS_EX_OVERLAPPEDWINDOW", 0x300}, {"WS_EX_PALETTEWINDOW", 0x188}, {"WS_EX_RIGHT", 0x1000},
    {"WS_EX_RIGHTSCROLLBAR", 0x0}, {"WS_EX_RTLREADING", 0x2000}, {"WS_EX_STATICEDGE", 0x20000},
    {"WS_EX_TOOLWINDOW", 0x80}, {"WS_EX_TOPMOST", 0x8}, {"WS_EX_TRANSPARENT", 0x20}, {"WS_EX_WINDOWEDGE", 0x100},
    {"WS_GROUP", 0x20000}, {"WS_HSCROLL", 0x100000}, {"WS_ICONIC", 0x20000000}, {"WS_MAXIMIZE", 0x1000000},
    {"WS_MAXIMIZEBOX", 0x10000}, {"WS_MINIMIZE", 0x20000000}, {"WS_MINIMIZEBOX", 0x20000}, {"WS_OVERLAPPED", 0x0},
    {"WS_OVERLAPPEDWINDOW", 0xCF0000}, {"WS_POPUP", 0x80000000}, {"WS_POPUPWINDOW", 0x80880000},
    {"WS_SIZEBOX", 0x40000}, {"WS_SYSMENU", 0x80000}, {"WS_TABSTOP", 0x10000}, {"WS_THICKFRAME", 0x40000},
    {"WS_TILED", 0x0}, {"WS_TILEDWINDOW", 0xCF0000}, {"WS_VISIBLE", 0x10000000}, {"WS_VSCROLL", 0x200000},
    {"IDOK", 0x1}, {"IDCANCEL", 0x2}, {"IDABORT", 0x3}, {"IDRETRY", 0x4}, {"IDIGNORE", 0x5}, {"IDYES", 0x6},
    {"IDNO", 0x7}, {"IDCLOSE", 0x8}, {"IDHELP", 0x9}, {"IDTRYAGAIN", 0xA}, {"IDCONTINUE", 0xB},
    {"VS_VERSION_INFO", 0x1}, {"VS_USER_DEFINED", 0x64}, {"RT_MANIFEST", 0x18},
    {"CREATEPROCESS_MANIFEST_RESOURCE_ID", 0x1}, {"ISOLATIONAWARE_MANIFEST_RESOURCE_ID", 0x2},
    {"LANG_NEUTRAL", 0x0}, {"LANG_ENGLISH", 0x9}, {"LANG_JAPANESE", 0x11}, {"SUBLANG_NEUTRAL", 0x0},
    {"SUBLANG_DEFAULT", 0x1}, {"SUBLANG_SYS_DEFAULT", 0x2}, {"SUBLANG_ENGLISH_US", 0x1},
};

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

const std::unordered_map<std::string, DWORD>& windowsConstants() {
    static const std::unordered_map<std::string, DWORD> table = [] {
        std::unordered_map<std::string, DWORD> t;
        for (const NamedValue& c : kWindowsConstants) t[c.name] = c.value;
        return t;
    }();
    return table;
}

// The SDK headers a script may include for those constants.
bool isSdkHeader(const std::string& name) {
    static const char* const kHeaders[] = {"windows.h", "winresrc.h", "winres.h", "winver.h", "commctrl.h",
                                           "winuser.h", "winuser.rh", "commctrl.rh"};
    for (const char* h : kHeaders)
        if (iequals(name, h)) return true;
    return false;
}

bool isWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// --- Tokens and the lexer ------------------------------------------------------------------------------

struct Token {
    enum Kind { End, Word, String, Punct, Directive };
    Kind kind = End;
    std::string text;   // Word and Punct as written, String decoded to UTF-8, Directive the line after '#'
    bool wide = false;  // L"..."
    int file = 0;       // index into the preprocessor's file names
    int line = 0;
};

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void appendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Cuts one file's text into tokens. Comments are skipped; a '#' that begins a line makes a Directive
// token of the whole line (continuation lines joined, comments removed).
class Lexer {
public:
    Lexer(const std::string& text, int file, int firstLine = 1) : s_(text), file_(file), line_(firstLine) {}

    Token next() {
        bool lineStart = skipSpace();
        Token t;
        t.file = file_;
        t.line = line_;
        if (p_ >= s_.size()) return t;
        char c = s_[p_];
        if (c == '#' && lineStart) {
            t.kind = Token::Directive;
            t.text = directiveLine();
        } else if (c == '"' || ((c == 'L' || c == 'l') && p_ + 1 < s_.size() && s_[p_ + 1] == '"')) {
            t.kind = Token::String;
            t.wide = c != '"';
            if (t.wide) ++p_;
            t.text = t.wide ? wideString() : narrowString();
        } else if (isWordChar(c)) {
            t.kind = Token::Word;
            while (p_ < s_.size() && isWordChar(s_[p_])) t.text += s_[p_++];
        } else {
            t.kind = Token::Punct;
            t.text = c;
            ++p_;
        }
        return t;
    }

private:
    // Skips blanks and comments; true when what follows is the first thing on its line.
    bool skipSpace() {
        for (;;) {
            while (p_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[p_]))) advance();
            if (s_.compare(p_, 2, "//") == 0) {
                while (p_ < s_.size() && s_[p_] != '\n') ++p_;
            } else if (s_.compare(p_, 2, "/*") == 0) {
                size_t end = s_.find("*/", p_ + 2);
                size_t stop = end == std::string::npos ? s_.size() : end + 2;
                while (p_ < stop) advance();
            } else {
                break;
            }
        }
        for (size_t q = p_; q > 0; --q) {
            char c = s_[q - 1];
            if (c == '\n') return true;
            if (c != ' ' && c != '\t' && c != '\r') return false;
        }
        return true;
    }
    void advance() {
        if (s_[p_] == '\n') ++line_;
        ++p_;
    }

    // The rest of the line after '#', with "\" line continuations joined and comments removed.
    std::string directiveLine() {
        ++p_;
        std::string out;
        char quote = 0;
        while (p_ < s_.size() && s_[p_] != '\n') {
            char c = s_[p_];
            if (c == '\\' && p_ + 1 < s_.size() && (s_[p_ + 1] == '\n' || s_.compare(p_ + 1, 2, "\r\n") == 0)) {
                p_ += s_[p_ + 1] == '\n' ? 1 : 2;
                advance();
                continue;
            }
            if (quote) {
                if (c == quote) {
                    quote = 0;
                } else if (c == '\\' && p_ + 1 < s_.size() && s_[p_ + 1] != '\n') {
                    out += c;  // an escape: its character cannot end the string
                    c = s_[++p_];
                }
            } else if (c == '"') {
                quote = c;
            } else if (s_.compare(p_, 2, "//") == 0) {
                while (p_ < s_.size() && s_[p_] != '\n') ++p_;
                break;
            } else if (s_.compare(p_, 2, "/*") == 0) {
                size_t end = s_.find("*/", p_ + 2);
                size_t stop = end == std::string::npos ? s_.size() : end + 2;
                while (p_ < stop) advance();
                out += ' ';
                continue;
            }
            out += c;
            ++p_;
        }
        while (!out.empty() && std::isspace(static_cast<unsigned char>(out.back()))) out.pop_back();
        return out;
    }

    // One escape after the backslash; wide strings take up to four hex digits (a UTF-16 unit).
    uint32_t escape(bool wide, bool& known) {
        known = true;
        char e = s_[p_++];
        switch (e) {
        case 'n': return '\n';
        case 'r': return '\r';
        case 't': return '\t';
        case 'a':  // the resource compiler gives a backspace here too
        case 'b': return '\b';
        case 'f': return '\f';
        case 'v': return '\v';
        case '\\': return '\\';
        case '"': return '"';
        case 'x':
        case 'X': {
            uint32_t value = 0;
            for (int n = 0; n < (wide ? 4 : 2) && p_ < s_.size() && hexDigit(s_[p_]) >= 0; ++n)
                value = value * 16 + hexDigit(s_[p_++]);
            return value;
        }
        default:
            if (e >= '0' && e <= '7') {
                uint32_t value = e - '0';
                for (int n = 1; n < 3 && p_ < s_.size() && s_[p_] >= '0' && s_[p_] <= '7'; ++n)
                    value = value * 8 + (s_[p_++] - '0');
                return value;
            }
            known = false;
            return static_cast<unsigned char>(e);
        }
    }

    // Reads "..." at p_, calling unit for every character (or escape) and raw for UTF-8 source bytes.
    template <typename Unit, typename Raw>
    void stringBody(bool wide, Unit unit, Raw raw) {
        ++p_;  // opening quote
        while (p_ < s_.size()) {
            char c = s_[p_++];
            if (c == '\n') ++line_;
            if (c == '"') {
                if (p_ < s_.size() && s_[p_] == '"') {
                    unit('"');
                    ++p_;
                    continue;
                }
                return;
            }
            if (c != '\\' || p_ >= s_.size()) {
                raw(c);
                continue;
            }
            bool known;
            uint32_t value = escape(wide, known);
            if (!known) unit('\\');
            unit(value);
        }
    }

    std::string narrowString() {
        std::string out;
        stringBody(false, [&](uint32_t u) { out += static_cast<char>(u); }, [&](char c) { out += c; });
        return out;
    }

    // Wide strings collect UTF-16 units (escapes may give surrogate halves) and come back as UTF-8.
    std::string wideString() {
        std::u16string units;
        std::string pending;  // source bytes not yet decoded
        auto flush = [&] {
            units += utf16FromUtf8(pending);
            pending.clear();
        };
        stringBody(true, [&](uint32_t u) { flush(), units += static_cast<char16_t>(u); },
                   [&](char c) { pending += c; });
        flush();
        return utf8FromUtf16(units.data(), units.size());
    }

    std::string s_;
    int file_;
    size_t p_ = 0;
    int line_;
};

bool isWord(const Token& t, const char* word) { return t.kind == Token::Word && iequals(t.text, word); }
bool isPunct(const Token& t, const char* p) { return t.kind == Token::Punct && t.text == p; }
bool isBegin(const Token& t) { return isWord(t, "BEGIN") || isPunct(t, "{"); }
bool isEnd(const Token& t) { return isWord(t, "END") || isPunct(t, "}"); }
bool isNumber(const Token& t) {
    return t.kind == Token::Word && std::isdigit(static_cast<unsigned char>(t.text[0]));
}

// A number as C writes it (0x hex, 0 octal, 0o octal as the Microsoft compiler reads it, an L or U
// suffix), kept to 32 bits. False when the word is not a number.
bool parseNumber(const std::string& word, DWORD& value, bool* isLong = nullptr) {
    std::string w = word;
    bool l = false;
    while (!w.empty() && std::strchr("LlUu", w.back())) {
        l = l || w.back() == 'L' || w.back() == 'l';
        w.pop_back();
    }
    if (isLong) *isLong = l;
    int base = 10;
    size_t i = 0;
    if (w.size() > 1 && w[0] == '0' && (w[1] == 'x' || w[1] == 'X')) base = 16, i = 2;
    else if (w.size() > 1 && w[0] == '0' && (w[1] == 'o' || w[1] == 'O')) base = 8, i = 2;
    else if (w.size() > 1 && w[0] == '0') base = 8, i = 1;
    if (i >= w.size() && base != 8) return false;
    uint64_t v = 0;
    for (; i < w.size(); ++i) {
        int d = hexDigit(w[i]);
        if (d < 0 || d >= base) return false;
        v = (v * base + d) & 0xFFFFFFFFu;
    }
    value = static_cast<DWORD>(v);
    return true;
}

std::string hexText(DWORD v) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%X", v);
    return buffer;
}

// Where a token comes from, for error messages: "app.rc:12".
class SourceNames {
public:
    int add(const std::string& name) {
        names_.push_back(name);
        return static_cast<int>(names_.size() - 1);
    }
    std::string place(const Token& at) const { return names_.at(at.file) + ":" + std::to_string(at.line); }
    [[noreturn]] void fail(const Token& at, const std::string& what) const {
        throw MachineError(place(at) + ": " + what);
    }

private:
    std::vector<std::string> names_;
};

std::string describe(const Token& t) {
    switch (t.kind) {
    case Token::End: return "the end of the script";
    case Token::String: return "\"" + t.text + "\"";
    default: return "'" + t.text + "'";
    }
}

// --- Expressions -----------------------------------------------------------------------------------------

// Numeric expressions of resource scripts over a token list: | ^ & + - * / % and unary ~ - +, with the
// precedence of C. Words are numbers (macros are expanded before); with unknownIsZero any other word
// counts as 0 (the preprocessor's #if), otherwise it is an error. isLong tells whether any number
// carried an L suffix (RCDATA stores such a value as a DWORD).
class ExpressionReader {
public:
    ExpressionReader(const std::vector<Token>& tokens, size_t& pos, const SourceNames& names, bool unknownIsZero)
        : t_(tokens), p_(pos), names_(names), unknownIsZero_(unknownIsZero) {}

    DWORD full() { return binary(0); }
    // One operand of a style: everything that binds tighter than '|'.
    DWORD operand() { return binary(1); }
    bool isLong = false;

private:
    // Levels: 0 '|', 1 '^', 2 '&', 3 '+' '-', 4 '*' '/' '%'.
    static int level(const Token& t) {
        if (t.kind != Token::Punct) return -1;
        switch (t.text[0]) {
        case '|': return 0;
        case '^': return 1;
        case '&': return 2;
        case '+':
        case '-': return 3;
        case '*':
        case '/':
        case '%': return 4;
        default: return -1;
        }
    }

    DWORD binary(int minLevel) {
        if (minLevel > 4) return unary();
        DWORD left = binary(minLevel + 1);
        while (level(t_[p_]) == minLevel) {
            const Token& op = t_[p_++];
            DWORD right = binary(minLevel + 1);
            left = apply(op, left, right);
        }
        return left;
    }

    DWORD apply(const Token& op, DWORD a, DWORD b) {
        switch (op.text[0]) {
        case '|': return a | b;
        case '^': return a ^ b;
        case '&': return a & b;
        case '+': return a + b;
        case '-': return a - b;
        case '*': return a * b;
        default:
            if (b == 0) names_.fail(op, "division by zero");
            return op.text[0] == '/' ? a / b : a % b;
        }
    }

    DWORD unary() {
        const Token& t = t_[p_];
        if (depth_ > 200) names_.fail(t, "expression nested too deeply");
        ++depth_;
        DWORD v = primary(t);
        --depth_;
        return v;
    }

    DWORD primary(const Token& t) {
        if (isPunct(t, "~")) return ++p_, ~unary();
        if (isPunct(t, "-")) return ++p_, 0u - unary();
        if (isPunct(t, "+")) return ++p_, unary();
        if (isPunct(t, "(")) {
            ++p_;
            DWORD v = full();
            if (!isPunct(t_[p_], ")")) names_.fail(t_[p_], "expected ')' instead of " + describe(t_[p_]));
            ++p_;
            return v;
        }
        if (t.kind == Token::Word) {
            DWORD v = 0;
            bool l = false;
            if (isNumber(t)) {
                if (!parseNumber(t.text, v, &l)) names_.fail(t, "'" + t.text + "' is not a number");
            } else if (!unknownIsZero_) {
                names_.fail(t, "unknown name '" + t.text + "'");
            }
            isLong = isLong || l;
            ++p_;
            return v;
        }
        names_.fail(t, "expected a number instead of " + describe(t));
    }

    const std::vector<Token>& t_;
    size_t& p_;
    const SourceNames& names_;
    bool unknownIsZero_;
    int depth_ = 0;
};

// A file of the map by name: exact, else ignoring case and with '\' read as '/'.
std::map<std::string, std::string>::const_iterator findFile(const std::map<std::string, std::string>& files,
                                                           const std::string& name) {
    auto exact = files.find(name);
    if (exact != files.end()) return exact;
    auto normal = [](std::string s) {
        std::replace(s.begin(), s.end(), '\\', '/');
        return toLower(s);
    };
    std::string wanted = normal(name);
    for (auto it = files.begin(); it != files.end(); ++it)
        if (normal(it->first) == wanted) return it;
    return files.end();
}

// --- The preprocessor ------------------------------------------------------------------------------------

// Follows #include through the files map, keeps the conditionals and expands object-like macros, giving
// the parser one stream of tokens that ends with an End token.
class Preprocessor {
public:
    Preprocessor(const std::map<std::string, std::string>& files, SourceNames& names) : files_(files), names_(names) {
        // The resource compiler defines RC_INVOKED, so that headers shared with C code can hide the rest.
        Token one;
        one.kind = Token::Word;
        one.text = "1";
        macros_["RC_INVOKED"] = {one};
    }

    std::vector<Token> run(const std::string& text, const std::string& name) {
        readFile(text, names_.add(name), 0);
        Token end;
        end.file = out_.empty() ? 0 : out_.back().file;
        end.line = out_.empty() ? 0 : out_.back().line;
        out_.push_back(end);
        return std::move(out_);
    }

private:
    struct Conditional {
        bool parentActive;
        bool active;
        bool taken;  // a branch of this #if has been active
        Token at;    // the #if, for the error when its #endif is missing
    };

    bool active() const { return conds_.empty() || conds_.back().active; }

    void readFile(const std::string& text, int file, int depth) {
        size_t condsAtStart = conds_.size();
        Lexer lexer(text, file);
        for (Token t = lexer.next(); t.kind != Token::End; t = lexer.next()) {
            if (t.kind == Token::Directive) directive(t, depth);
            else if (active()) emit(t, 0);
        }
        if (conds_.size() != condsAtStart) names_.fail(conds_.back().at, "#if without #endif");
    }

    // Appends a token, replacing a macro name by its expansion.
    void emit(const Token& t, int depth) {
        if (t.kind == Token::Word && !isNumber(t) && depth < 32) {
            auto m = macros_.find(t.text);
            if (m != macros_.end() && !expanding_.count(t.text)) {
                expanding_.insert(t.text);
                for (Token body : m->second) {
                    body.file = t.file;
                    body.line = t.line;
                    emit(body, depth + 1);
                }
                expanding_.erase(t.text);
                return;
            }
            if (m == macros_.end() && sdkIncluded_ && !undefined_.count(t.text)) {
                auto c = windowsConstants().find(t.text);
                if (c != windowsConstants().end()) {
                    Token number = t;
                    number.text = hexText(c->second);
                    out_.push_back(number);
                    return;
                }
            }
        }
        out_.push_back(t);
    }

    static std::string firstWord(const std::string& s, size_t& pos) {
        while (pos < s.size() && std::isspace(static_cast<unsigned char>(s[pos]))) ++pos;
        size_t start = pos;
        while (pos < s.size() && isWordChar(s[pos])) ++pos;
        return s.substr(start, pos - start);
    }

    void directive(const Token& d, int depth) {
        size_t pos = 0;
        std::string name = firstWord(d.text, pos);
        std::string rest = trim(d.text.substr(pos));
        if (name == "if" || name == "ifdef" || name == "ifndef") return openConditional(d, name, rest);
        if (name == "elif" || name == "else" || name == "endif") return continueConditional(d, name, rest);
        if (!active()) return;
        if (name == "include") return include(d, rest, depth);
        if (name == "define") return define(d, rest);
        if (name == "undef") return undefine(rest);
        if (name == "pragma") return pragma(d, rest);
        if (name == "error") names_.fail(d, "#error " + rest);
        if (name.empty() && rest.empty()) return;  // a lone '#'
        names_.fail(d, "unknown directive #" + name);
    }

    bool defined(const std::string& name) const {
        return macros_.count(name) ||
               (sdkIncluded_ && !undefined_.count(name) && windowsConstants().count(name));
    }

    // The value of an #if or #elif line: defined(X) and defined X become 1 or 0, macros are expanded,
    // other names count 0.
    bool condition(const Token& d, const std::string& text) {
        std::vector<Token> raw;
        Lexer lexer(text, d.file, d.line);
        for (Token t = lexer.next(); t.kind != Token::End; t = lexer.next()) raw.push_back(t);
        std::vector<Token> resolved;
        for (size_t i = 0; i < raw.size(); ++i) {
            if (!isWord(raw[i], "defined")) {
                resolved.push_back(raw[i]);
                continue;
            }
            bool paren = i + 1 < raw.size() && isPunct(raw[i + 1], "(");
            size_t nameAt = i + (paren ? 2 : 1);
            if (nameAt >= raw.size() || raw[nameAt].kind != Token::Word) names_.fail(d, "defined needs a name");
            Token v = raw[i];
            v.text = defined(raw[nameAt].text) ? "1" : "0";
            resolved.push_back(v);
            i = nameAt + (paren ? 1 : 0);
        }
        std::vector<Token> expanded;
        std::swap(out_, expanded);
        for (const Token& t : resolved) emit(t, 0);
        std::swap(out_, expanded);
        Token end = d;
        end.kind = Token::End;
        expanded.push_back(end);
        size_t p = 0;
        ExpressionReader reader(expanded, p, names_, true);
        DWORD v = reader.full();
        if (expanded[p].kind != Token::End) names_.fail(d, "unexpected " + describe(expanded[p]) + " in #" + text);
        return v != 0;
    }

    void openConditional(const Token& d, const std::string& name, const std::string& rest) {
        bool parent = active();
        bool value = false;
        if (parent) {
            if (name == "if") value = condition(d, rest);
            else value = defined(rest) == (name == "ifdef");
        }
        conds_.push_back({parent, parent && value, parent && value, d});
    }

    void continueConditional(const Token& d, const std::string& name, const std::string& rest) {
        if (conds_.empty()) names_.fail(d, "#" + name + " without #if");
        Conditional& c = conds_.back();
        if (name == "endif") {
            conds_.pop_back();
        } else if (name == "else") {
            c.active = c.parentActive && !c.taken;
            c.taken = true;
        } else {
            c.active = c.parentActive && !c.taken && condition(d, rest);
            c.taken = c.taken || c.active;
        }
    }

    void include(const Token& d, const std::string& rest, int depth) {
        if (rest.size() < 3 || !((rest[0] == '"' && rest.back() == '"') || (rest[0] == '<' && rest.back() == '>')))
            names_.fail(d, "#include needs \"file\" or <file>");
        std::string name = rest.substr(1, rest.size() - 2);
        auto file = findFile(files_, name);
        if (rest[0] == '<' || file == files_.end()) {
            if (isSdkHeader(name)) {
                sdkIncluded_ = true;
                return;
            }
            names_.fail(d, "cannot open include file \"" + name + "\"");
        }
        if (onceFiles_.count(toLower(file->first))) return;
        if (depth >= 16) names_.fail(d, "#include nested too deeply");
        int index = names_.add(file->first);
        includeNames_[index] = file->first;
        readFile(file->second, index, depth + 1);
    }

    void define(const Token& d, const std::string& rest) {
        size_t pos = 0;
        std::string name = firstWord(rest, pos);
        if (name.empty() || std::isdigit(static_cast<unsigned char>(name[0])))
            names_.fail(d, "#define needs a name");
        if (pos < rest.size() && rest[pos] == '(') names_.fail(d, "function-like macros are not supported");
        std::vector<Token> body;
        Lexer lexer(rest.substr(pos), d.file, d.line);
        for (Token t = lexer.next(); t.kind != Token::End; t = lexer.next()) body.push_back(t);
        macros_[name] = body;
        undefined_.erase(name);
    }

    void undefine(const std::string& rest) {
        size_t pos = 0;
        std::string name = firstWord(rest, pos);
        macros_.erase(name);
        undefined_.insert(name);
    }

    void pragma(const Token& d, const std::string& rest) {
        size_t pos = 0;
        std::string name = firstWord(rest, pos);
        if (name == "once") {
            auto n = includeNames_.find(d.file);
            if (n != includeNames_.end()) onceFiles_.insert(toLower(n->second));
        } else if (name == "code_page") {
            std::string arg = trim(rest.substr(pos));
            if (arg != "(65001)") names_.fail(d, "only #pragma code_page(65001) is supported, not " + arg);
        }
        // Other pragmas mean nothing to the resource compiler.
    }

    const std::map<std::string, std::string>& files_;
    SourceNames& names_;
    std::vector<Token> out_;
    std::map<std::string, std::vector<Token>> macros_;
    std::set<std::string> expanding_;
    std::set<std::string> undefined_;  // SDK constants removed by #undef
    std::set<std::string> onceFiles_;
    std::map<int, std::string> includeNames_;
    std::vector<Conditional> conds_;
    bool sdkIncluded_ = false;
};

// --- Little-endian reading of binary resources -------------------------------------------------------------

class Bytes {
public:
    Bytes(const std::string& data, std::string what) : d_(data), what_(std::move(what)) {}
    size_t size() const { return d_.size(); }
    uint32_t u8(size_t at) const { return need(at, 1), static_cast<unsigned char>(d_[at]); }
    uint32_t u16(size_t at) const { return need(at, 2), u8(at) | (u8(at + 1) << 8); }
    uint32_t u32(size_t at) const { return need(at, 4), u16(at) | (u16(at + 2) << 16); }
    int32_t s32(size_t at) const { return static_cast<int32_t>(u32(at)); }
    void need(size_t at, size_t n) const {
        if (at > d_.size() || n > d_.size() - at) fail("is cut short");
    }
    [[noreturn]] void fail(const std::string& what) const { throw MachineError(what_ + " " + what); }

private:
    const std::string& d_;
    std::string what_;
};

// A device-independent bitmap: the BITMAPINFOHEADER at infoAt, the pixels at pixelsAt (npos: right
// after the header and colour table, as in a BITMAP resource).
void decodeDib(const Bytes& b, size_t infoAt, size_t pixelsAt, BitmapResource& out) {
    uint32_t headerSize = b.u32(infoAt);
    if (headerSize < 40) b.fail("has a header of " + std::to_string(headerSize) + " bytes (BITMAPINFOHEADER needed)");
    int32_t width = b.s32(infoAt + 4), height = b.s32(infoAt + 8);
    uint32_t bits = b.u16(infoAt + 14), compression = b.u32(infoAt + 16), used = b.u32(infoAt + 32);
    if (compression != 0) b.fail("is compressed (only BI_RGB bitmaps are read)");
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        b.fail("has " + std::to_string(bits) + " bits per pixel");
    if (width <= 0 || height == 0 || width > 0x8000 || height > 0x8000 || height < -0x8000)
        b.fail("has a size of " + std::to_string(width) + "x" + std::to_string(height));
    uint32_t colours = bits <= 8 ? (used ? used : 1u << bits) : used;
    if (colours > 256) b.fail("has a colour table of " + std::to_string(colours) + " entries");
    size_t tableAt = infoAt + headerSize;
    std::vector<uint32_t> table(colours);
    for (uint32_t i = 0; i < colours; ++i)
        table[i] = b.u8(tableAt + 4 * i + 2) << 16 | b.u8(tableAt + 4 * i + 1) << 8 | b.u8(tableAt + 4 * i);
    if (pixelsAt == std::string::npos) pixelsAt = tableAt + 4 * static_cast<size_t>(colours);
    bool bottomUp = height > 0;
    int rows = bottomUp ? height : -height;
    size_t stride = ((static_cast<size_t>(width) * bits + 31) / 32) * 4;
    b.need(pixelsAt, stride * rows);
    out.width = width;
    out.height = rows;
    out.bitsPerPixel = static_cast<int>(bits);
    out.pixels.assign(static_cast<size_t>(width) * rows, 0);
    for (int y = 0; y < rows; ++y) {
        size_t row = pixelsAt + stride * (bottomUp ? rows - 1 - y : y);
        for (int x = 0; x < width; ++x) {
            uint32_t pixel;
            if (bits <= 8) {
                uint32_t byte = b.u8(row + x * bits / 8);
                uint32_t index = (byte >> (8 - bits - (x * bits) % 8)) & ((1u << bits) - 1);
                if (index >= colours) b.fail("has a pixel outside its colour table");
                pixel = table[index];
            } else if (bits == 16) {
                uint32_t v = b.u16(row + 2 * x);
                pixel = ((v >> 10) & 31) * 255 / 31 << 16 | ((v >> 5) & 31) * 255 / 31 << 8 | (v & 31) * 255 / 31;
            } else {
                size_t at = row + x * (bits / 8);
                pixel = b.u8(at + 2) << 16 | b.u8(at + 1) << 8 | b.u8(at);
            }
            out.pixels[static_cast<size_t>(y) * width + x] = pixel;
        }
    }
}

void decodeBmpFile(const std::string& data, const std::string& what, BitmapResource& out) {
    Bytes b(data, what);
    if (b.size() < 2 || data.compare(0, 2, "BM") != 0) b.fail("is not a .bmp file");
    decodeDib(b, 14, b.u32(10), out);
}

// The .ico directory: the size and colour depth of every image, each image checked to lie in the file.
void decodeIcoFile(const std::string& data, const std::string& what, IconResource& out) {
    Bytes b(data, what);
    if (b.u16(0) != 0 || b.u16(2) != 1) b.fail("is not an .ico file");
    uint32_t count = b.u16(4);
    if (count == 0) b.fail("holds no image");
    for (uint32_t i = 0; i < count; ++i) {
        size_t entry = 6 + 16 * i;
        uint32_t bytes = b.u32(entry + 8), offset = b.u32(entry + 12);
        b.need(offset, bytes);
        uint32_t bitCount = b.u16(entry + 6);
        if (bitCount == 0 && bytes >= 16 && b.u32(offset) >= 40) bitCount = b.u16(offset + 14);
        out.sizes.push_back({b.u8(entry) ? b.u8(entry) : 256, b.u8(entry + 1) ? b.u8(entry + 1) : 256});
        out.bitCounts.push_back(static_cast<int>(bitCount));
    }
}

// The RT_GROUP_ICON directory that the resource compiler makes of an .ico file.
void decodeGroupIcon(const std::string& data, const std::string& what, IconResource& out) {
    Bytes b(data, what);
    if (b.u16(0) != 0 || b.u16(2) != 1) b.fail("is not an icon directory");
    uint32_t count = b.u16(4);
    for (uint32_t i = 0; i < count; ++i) {
        size_t entry = 6 + 14 * i;
        out.sizes.push_back({b.u8(entry) ? b.u8(entry) : 256, b.u8(entry + 1) ? b.u8(entry + 1) : 256});
        out.bitCounts.push_back(static_cast<int>(b.u16(entry + 6)));
    }
}

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
        ExpressionReader reader(t_, p_, names_, false);
        DWORD v = reader.full();
        if (isLong) *isLong = reader.isLong;
        return v;
    }
    DWORD commaExpression(const char* where) {
        expectComma(where);
        return expression();
    }
    // A style: terms joined by '|', each ORed into style, or with NOT cleared from it.
    DWORD styleExpression(DWORD style) {
        do {
            bool clear = takeWord("NOT");
            ExpressionReader reader(t_, p_, names_, false);
            DWORD v = reader.operand();
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
            decodeDib(Bytes(u.data, what), 0, std::string::npos, b);
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

// --- The VS_VERSIONINFO layout ---------------------------------------------------------------------------

void putWord(std::string& out, uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}
void putDword(std::string& out, uint32_t v) {
    putWord(out, v & 0xFFFF);
    putWord(out, v >> 16);
}
void putUtf16z(std::string& out, const std::string& text) {
    for (char16_t u : utf16FromUtf8(text)) putWord(out, u);
    putWord(out, 0);
}
void align4(std::string& out) {
    while (out.size() % 4) out += '\0';
}

// One node: wLength, wValueLength, wType, the key, the value and the children, each DWORD-aligned;
// wLength covers the node up to the end of its last child (or value), without trailing padding.
template <typename Children>
void versionNode(std::string& out, const std::string& key, WORD type, const std::string& value, WORD valueLength,
                 Children children) {
    align4(out);
    size_t start = out.size();
    putWord(out, 0);
    putWord(out, valueLength);
    putWord(out, type);
    putUtf16z(out, key);
    align4(out);
    out += value;
    children();
    size_t length = out.size() - start;
    out[start] = static_cast<char>(length & 0xFF);
    out[start + 1] = static_cast<char>((length >> 8) & 0xFF);
}

}  // namespace

// --- UTF-8 and UTF-16 ------------------------------------------------------------------------------------

std::u16string utf16FromUtf8(const std::string& text) {
    std::u16string out;
    for (size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        uint32_t cp = c;
        int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        if (c >= 0x80 && c < 0xC0) extra = 0;  // a stray continuation byte stands for itself
        if (extra) cp = c & (0x3F >> extra);
        size_t j = 1;
        for (; j <= static_cast<size_t>(extra) && i + j < text.size() &&
               (static_cast<unsigned char>(text[i + j]) & 0xC0) == 0x80;
             ++j)
            cp = (cp << 6) | (static_cast<unsigned char>(text[i + j]) & 0x3F);
        if (j != static_cast<size_t>(extra) + 1) cp = c, j = 1;  // cut short: the lead byte alone
        i += j;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string utf8FromUtf16(const char16_t* units, size_t count) {
    std::string out;
    for (size_t i = 0; i < count; ++i) {
        uint32_t u = units[i];
        if (u >= 0xD800 && u < 0xDC00 && i + 1 < count && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000)
            u = 0x10000 + ((u - 0xD800) << 10) + (units[++i] - 0xDC00);
        appendUtf8(out, u);
    }
    return out;
}

// --- ResourceName --------------------------------------------------------------------------------------

ResourceName ResourceName::fromId(WORD id) {
    ResourceName n;
    n.isId = true;
    n.id = id;
    return n;
}

ResourceName ResourceName::fromName(const std::string& name) {
    ResourceName n;
    n.isId = false;
    n.name = name;
    return n;
}

ResourceName ResourceName::fromArgument(LPCSTR nameOrId) {
    if (IS_INTRESOURCE(nameOrId)) return fromId(static_cast<WORD>(reinterpret_cast<ULONG_PTR>(nameOrId)));
    std::string s = nameOrId;
    bool digits = s.size() > 1 && s[0] == '#' &&
                  std::all_of(s.begin() + 1, s.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
    if (digits) return fromId(static_cast<WORD>(std::strtoul(s.c_str() + 1, nullptr, 10)));
    return fromName(s);
}

bool ResourceName::matches(const ResourceName& other) const {
    if (isId != other.isId) return false;
    return isId ? id == other.id : iequals(name, other.name);
}

std::string ResourceName::text() const { return isId ? std::to_string(id) : name; }

// --- ResourceSet ---------------------------------------------------------------------------------------

ResourceSet ResourceSet::parse(const std::string& rcText, const std::map<std::string, std::string>& files) {
    return parse(rcText, files, false);
}

ResourceSet ResourceSet::parse(const std::string& rcText, const std::map<std::string, std::string>& files,
                               bool allowMissingFiles, const std::string& sourceName) {
    SourceNames names;
    Preprocessor preprocessor(files, names);
    std::vector<Token> tokens = preprocessor.run(rcText, sourceName);
    ResourceSet set;
    ScriptParser(std::move(tokens), files, allowMissingFiles, names, set).run();
    return set;
}

namespace {
template <typename T>
const T* findByName(const std::vector<T>& list, const ResourceName& name) {
    for (const T& item : list)
        if (item.name.matches(name)) return &item;
    return nullptr;
}
}  // namespace

const DialogTemplate* ResourceSet::dialog(const ResourceName& name) const { return findByName(dialogs, name); }
const MenuTemplate* ResourceSet::menu(const ResourceName& name) const { return findByName(menus, name); }
const BitmapResource* ResourceSet::bitmap(const ResourceName& name) const { return findByName(bitmaps, name); }
const IconResource* ResourceSet::icon(const ResourceName& name) const { return findByName(icons, name); }

const UserResource* ResourceSet::user(const ResourceName& type, const ResourceName& name) const {
    for (const UserResource& u : userResources)
        if (u.type.matches(type) && u.name.matches(name)) return &u;
    return nullptr;
}

std::string VersionResource::binary() const {
    std::string fixed;
    for (DWORD v : {0xFEEF04BDu, 0x00010000u, fileVersionMS, fileVersionLS, productVersionMS, productVersionLS,
                    fileFlagsMask, fileFlags, fileOS, fileType, fileSubtype, 0u, 0u})
        putDword(fixed, v);
    std::string out;
    versionNode(out, "VS_VERSION_INFO", 0, fixed, static_cast<WORD>(fixed.size()), [&] {
        if (!stringBlocks.empty()) {
            versionNode(out, "StringFileInfo", 1, "", 0, [&] {
                for (const StringBlock& block : stringBlocks)
                    versionNode(out, block.name, 1, "", 0, [&] {
                        for (const auto& value : block.values) {
                            std::string text;
                            putUtf16z(text, value.second);
                            versionNode(out, value.first, 1, text, static_cast<WORD>(text.size() / 2), [] {});
                        }
                    });
            });
        }
        if (!translations.empty()) {
            versionNode(out, "VarFileInfo", 1, "", 0, [&] {
                std::string pairs;
                for (const auto& t : translations) putWord(pairs, t.first), putWord(pairs, t.second);
                versionNode(out, "Translation", 0, pairs, static_cast<WORD>(pairs.size()), [] {});
            });
        }
    });
    return out;
}

// --- The program's own resources -------------------------------------------------------------------------

const std::map<std::string, std::string>& programResourceFiles() { return hostProgram().files; }

ResourceSet& programResources() {
    static ResourceSet set = [] {
        const ProgramImage& program = hostProgram();
        auto script = program.files.find(program.resourceScript);
        if (script == program.files.end())
            throw MachineError("the program's resource script " + program.resourceScript + " is not among its files");
        return ResourceSet::parse(script->second, program.files, false, program.resourceScript);
    }();
    return set;
}

}  // namespace simwin
