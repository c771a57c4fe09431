// The scripted user: the person in front of the simulated machine. A modal loop that has nothing else
// to do asks it for the next action; a message box takes its answers; an open popup menu takes a pick.
//
// Actions are written one per line (a user file, docs/scripted-user.md):
//   [at MS] press ID|"TEXT"        a button of the active window or of its pages (BM_CLICK)
//   [at MS] key enter|escape       the Enter or Escape key in the active dialog
//   [at MS] key tab|shift+tab|up|down|left|right|home|end|space|ctrl+space|apps|shift+f10
//                                  a key pressed and released (the modifier held meanwhile), as keyboard
//                                  input for the window with the focus
//   [at MS] select "NAME"...       list-view items with these texts become selected, the others not
//   [at MS] select-all             every item of the list view selected
//   [at MS] deselect-all           no item selected
//   [at MS] right-click            a right click on the list view (NM_RCLICK to its parent)
//   [at MS] system-menu ID|"TEXT"  a command of the active window's system menu (WM_SYSCOMMAND)
//   menu ID|"TEXT"                 picks an item of the open popup menu
//   dismiss                        closes the open popup menu without a pick
//   answer yes|no|ok|cancel        the answer to the next message box
// "at MS" makes an action wait for the virtual clock to reach MS even while timers run; without it an
// action is taken when the active window has nothing else to do.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace simwin {

struct UserAction {
    enum Kind { Press, Key, Select, SelectAll, DeselectAll, RightClick, SystemMenu, Menu, Dismiss, Answer };
    Kind kind = Press;
    std::string target;               // button, menu item, key or answer: an ID or a text
    std::vector<std::string> items;   // Select: the item texts
    int64_t at = -1;                  // virtual time in ms to act at; -1: when idle
    int line = 0;                     // line of the user file, 0 when made in code

    // The action as a line of a user file (it reads back as the same action).
    std::string describe() const;
};

class ScriptedUser {
public:
    std::deque<UserAction> actions;
    // Answers to yes/no and OK/Cancel message boxes, in order, taken when no "answer" action is next;
    // when none are left the answer is no (Cancel).
    std::deque<bool> answers;
    // How long a person takes to read a message box before answering: timers falling due meanwhile reach
    // the other windows first.
    uint64_t readingTimeMs = 1000;
    // Called with the text picture of the window acted on after each action (--show); empty: none.
    std::function<void(const std::vector<std::string>&)> show;

    // Parses a user file. Throws std::runtime_error "FILE:LINE: message" on a line it cannot read.
    static std::vector<UserAction> parse(const std::string& text, const std::string& fileName);

    // The next action if it may be taken now: a timed one when its time has come (or comes before
    // timeLimit), an untimed one only when idle.
    const UserAction* next() const { return actions.empty() ? nullptr : &actions.front(); }
};

}  // namespace simwin
