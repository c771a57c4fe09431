// The headless window manager: a tree of windows with stable handles, window classes with window
// procedures, a sent-message path and a posted-message queue, timers on the machine's clock, nested
// modal loops, and the windows of other programs as stand-in windows of declared classes.
//
// Single-threaded, as the tool is: a modal loop takes posted messages first, then paints, then the next
// due timer (the clock jumps to it), then the scripted user's next action. A loop with nothing of these
// left cannot go on: it throws UserStop, which ends the run with one clear transcript line.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "simwin/ini.h"
#include "simwin/resource_set.h"
#include "simwin/scripted_user.h"
#include "simwin/types.h"
#include "simwin/util.h"
#include "simwin/api/commctrl.h"
#include "simwin/api/gdi.h"
#include "simwin/api/user.h"

namespace simwin {

// Per-window data of a control class (list view items, a button's check state...). The class's window
// procedure creates it on WM_NCCREATE and keeps it up to date.
struct ControlState {
    virtual ~ControlState() = default;
    // Lines that describe what a person sees of the control, for the text picture of its dialog
    // (a simulator's --show). The control's class, ID and text are written by the caller.
    virtual void picture(std::vector<std::string>& lines) const { (void)lines; }
};

struct Window {
    HWND hwnd = nullptr;
    std::string className;
    std::string title;             // window text
    HWND parent = nullptr;         // child windows (WS_CHILD): the parent
    HWND owner = nullptr;          // top-level windows: the owner
    int id = 0;                    // child windows: the control ID
    DWORD style = 0;
    DWORD exStyle = 0;
    RECT rect{};                   // window rectangle: child windows in the parent's client coordinates
    RECT frame{};                  // widths of the non-client area: left, top (caption), right, bottom
    HINSTANCE instance = nullptr;
    WNDPROC wndProc = nullptr;
    std::map<int, LONG_PTR> extra;  // DWLP_MSGRESULT, DWLP_DLGPROC, DWLP_USER, GWLP_USERDATA
    HFONT font = nullptr;           // WM_SETFONT / WM_GETFONT of controls and dialogs
    HICON icons[2] = {nullptr, nullptr};  // ICON_SMALL, ICON_BIG
    HMENU systemMenu = nullptr;
    std::vector<HWND> children;     // creation order
    bool foreign = false;           // a stand-in window of another program
    bool destroyed = false;
    bool needsPaint = false;
    int showCommand = -1;           // last ShowWindow command
    std::vector<std::string> received;  // stand-in windows: messages received, in order
    // What is drawn into the window through its device contexts, bottom to top: each image with the
    // rectangle it covers (client coordinates). An image drawn through its mask leaves what lies under it
    // showing around its shape; a fill (FillRect with a brush that paints) or an opaque image over a whole
    // record hides it, and the record goes.
    struct DrawnImage {
        HIMAGELIST list = nullptr;
        int image = -1;
        RECT rect{};
    };
    std::vector<DrawnImage> drawn;
    // The image on top (the last of drawn), -1 when nothing drawn shows.
    HIMAGELIST drawnList = nullptr;
    int drawnImage = -1;
    // Hides the records that lie wholly inside r (a fill or an opaque image over them).
    void coverDrawn(const RECT& r);
    void addDrawn(const DrawnImage& d);

    // Dialogs.
    bool isDialog = false;
    bool ended = false;             // EndDialog was called
    INT_PTR result = 0;             // ... with this result
    POINT baseUnits{6, 12};         // dialog base units of the dialog's font (pixels per 4 x / 8 y units)
    std::string templateName;       // the template it was made from

    std::unique_ptr<ControlState> state;

    bool visible() const { return (style & WS_VISIBLE) != 0; }
    bool enabled() const { return (style & WS_DISABLED) == 0; }
    bool isChild() const { return (style & WS_CHILD) != 0; }
};

struct WindowClass {
    std::string name;
    WNDPROC wndProc = nullptr;
    UINT style = 0;
    int clsExtra = 0, wndExtra = 0;
    HINSTANCE instance = nullptr;
    bool system = false;  // registered by the system (dialogs, controls), not by a program
};

struct Timer {
    HWND hwnd = nullptr;
    UINT_PTR id = 0;
    UINT period = 0;
    uint64_t due = 0;
    TIMERPROC proc = nullptr;
};

// Thrown when a modal loop can go on neither by itself nor by the scripted user. The message is the
// transcript line that ends the run.
class UserStop : public std::runtime_error {
public:
    explicit UserStop(const std::string& message) : std::runtime_error(message) {}
};

class WindowSystem {
public:
    WindowSystem();
    WindowSystem(const WindowSystem&) = delete;
    WindowSystem& operator=(const WindowSystem&) = delete;

    // --- Windows -----------------------------------------------------------------------------------------------
    std::map<HWND, std::unique_ptr<Window>> byHandle;  // every window ever made; handles are never reused
    std::vector<HWND> zOrder;                           // live top-level windows, top first
    std::map<std::string, WindowClass, ILess> classes;
    std::vector<std::string> registeredMessages;  // index i has value 0xC000 + i
    HWND desktop = nullptr;
    HWND foreground = nullptr;
    HWND focus = nullptr;
    HCURSOR cursor = nullptr;
    POINT cursorPos{512, 384};
    DWORD messagePos = 0;  // GetMessagePos: MAKELONG(x, y) of the last message taken from the queue
    ScriptedUser user;

    // The live window behind a handle, or nullptr.
    Window* find(HWND hwnd);
    const Window* find(HWND hwnd) const;
    Window* findByClass(const std::string& className);
    // The stand-in windows of other programs in the order they were declared, closed ones included.
    std::vector<Window*> standInWindows();
    // A stand-in top-level window of another program (or of a test).
    Window& add(const std::string& className, const std::string& title, bool foreign);

    // Creates a window of a registered class: WM_NCCREATE, WM_CREATE; nullptr with the last error set
    // when the class is unknown or the procedure refuses the window.
    HWND create(DWORD exStyle, const std::string& className, const std::string& title, DWORD style, RECT rect,
                HWND parent, int id, HINSTANCE instance, LPVOID param);
    // WM_DESTROY to the window and its descendants, owned windows first; their timers end.
    void destroy(HWND hwnd);

    // The window's rectangle and client rectangle in screen coordinates.
    RECT screenRect(const Window& w) const;
    RECT clientScreenRect(const Window& w) const;
    bool isDescendant(HWND ancestor, HWND hwnd) const;
    // The direct child with a control ID (GetDlgItem without touching the last error).
    HWND child(HWND parent, int id) const;
    // The top-level window a window belongs to.
    HWND root(HWND hwnd) const;
    // Whether a person can see it: it and every ancestor visible.
    bool reallyVisible(const Window& w) const;

    // --- Messages ----------------------------------------------------------------------------------------------
    LRESULT send(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void post(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    std::deque<MSG> queue;
    // The clipboard's text: what an edit control copied (WM_COPY, Ctrl+C).
    std::string clipboard;
    // WH_GETMESSAGE hooks, called for each message a loop takes from the queue, in order of installation.
    std::vector<std::pair<HHOOK, HOOKPROC>> getMessageHooks;
    // Tells the hooks that a loop took a message from the queue.
    void messageTaken(MSG& msg);

    // --- The keyboard --------------------------------------------------------------------------------------------
    // Keys as a person presses them (SendInput): WM_KEYDOWN / WM_KEYUP for the window with the focus (the
    // active window without one), WM_SYSKEYDOWN / WM_SYSKEYUP for F10 and while Alt is down. A loop takes
    // them after the posted messages, as Windows takes input after posted messages.
    std::deque<MSG> inputQueue;
    // The thread's key state (GetKeyState): bit 0x80 down, bit 0x01 toggled. It follows the key messages
    // as they are taken from the input queue.
    BYTE keyState[256] = {};
    void keyInput(WORD virtualKey, bool up);
    // Takes the first input message (for hwnd, or for any window when hwnd is null); false when none. The
    // key state follows it; releasing the Menu key (VK_APPS) sends WM_CONTEXTMENU with lParam -1 to the
    // window that had the key, as the system does.
    bool takeInput(MSG& msg, HWND hwnd);
    bool quitPosted = false;
    int quitCode = 0;
    UINT registerMessage(const std::string& name);
    std::string messageName(UINT msg) const;

    // --- Timers --------------------------------------------------------------------------------------------------
    std::vector<Timer> timers;
    UINT_PTR setTimer(HWND hwnd, UINT_PTR id, UINT period, TIMERPROC proc);
    bool killTimer(HWND hwnd, UINT_PTR id);

    // --- Modal loops ---------------------------------------------------------------------------------------------
    // Windows whose modal loops are running, innermost last.
    std::vector<HWND> modalStack;
    // Runs the modal loop of a dialog until EndDialog (or its destruction).
    void runModal(HWND dialog);
    // One step of a modal loop for the window at hand: a posted message, a paint, a due timer (up to the
    // time limit, when one is given), or the user's next action. Returns false when none was left.
    enum class Step { Message, Paint, Timer, User, None };
    Step step(HWND active, uint64_t timeLimit = UINT64_MAX, bool userMayAct = true);
    // Delivers one queued message the way a modal loop of the active window does (IsDialogMessage first).
    void dispatch(const MSG& msg, HWND active);

    // --- Dialogs -----------------------------------------------------------------------------------------------
    // Creates a dialog from a template of the module's resources (WM_SETFONT to each control, then
    // WM_INITDIALOG). Modal dialogs are shown when their loop first goes idle.
    HWND createDialog(HINSTANCE instance, const DialogTemplate& t, HWND owner, DLGPROC proc, LPARAM param, bool modal);
    // The keyboard handling of IsDialogMessage for Enter and Escape in a dialog.
    void pressKey(HWND dialog, int virtualKey);
    // Tab and Shift+Tab in a dialog: the focus moves to the next (previous) control that takes it, visible,
    // enabled and WS_TABSTOP, looking into child dialogs that hold controls of their own
    // (WS_EX_CONTROLPARENT), and wrapping around. True when the key was the dialog's (the focused control
    // does not want Tab).
    bool tabKey(HWND dialog, HWND from);

    // --- The scripted user ---------------------------------------------------------------------------------------
    // Carries out an action in the active window (and its pages); throws UserStop when it cannot be done
    // there (no such button, a disabled one, no list).
    void perform(const UserAction& action, HWND active);
    // The window a person would act on for an action: the active window, or its visible descendant of
    // the given class, or a visible descendant button with that ID or text. nullptr when none.
    HWND findControl(HWND active, const std::string& className, const std::string& idOrText) const;
    // Describes the window for the user's messages: its caption, or its template.
    std::string windowLabel(HWND hwnd) const;
    // The window of the last action, pictured (--show) once the loop has handled what the action caused.
    HWND showPending = nullptr;

    // Writes what a person sees of a window, its controls and an open menu, as text lines.
    std::vector<std::string> picture(HWND hwnd) const;

    // [window] sections: class, title.
    void load(const IniDoc& doc);
    void save(IniDoc& doc) const;

private:
    uintptr_t nextHwnd_ = 0x10010;
    HWND newHandle();
    void unlinkFromParent(Window& w);
    bool firePaint();
    bool fireTimer(uint64_t timeLimit);
};

// The system's window procedures.
LRESULT CALLBACK StandInWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Registers the predefined control classes (Static, Button, SysListView32, msctls_progress32...).
void registerControlClasses(WindowSystem& ws);

}  // namespace simwin
