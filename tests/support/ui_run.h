// Runs the tool's main window on a machine with a scripted user, and reads what a person sees: the
// windows of the tool, the list view's rows, the state of buttons and menu items. After each user action
// a check can run (the scripted user's picture callback is the hook).
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/main_dlg.h"
#include "simwin/machine.h"
#include "support/list_view_text.h"
#include "support/temp_machine.h"

namespace uirun {

// One action of the scripted user, made in code.
inline simwin::UserAction Action(simwin::UserAction::Kind kind, const std::string& target = "",
                                 std::vector<std::string> items = {}) {
    simwin::UserAction a;
    a.kind = kind;
    a.target = target;
    a.items = std::move(items);
    return a;
}
inline simwin::UserAction Press(int id) { return Action(simwin::UserAction::Press, std::to_string(id)); }

// The result of a run: the main window's result (or -2 when the run stopped for want of a user action),
// and the stop's message.
struct Outcome {
    int result = 0;
    std::string stop;
};

// Runs the main window with the given context; `after` is called after each user action once the loop
// has handled it, with the action's index.
inline Outcome RunMain(simwin::Machine& m, CMainDlg& context, const std::vector<simwin::UserAction>& actions,
                       std::function<void(int)> after = nullptr) {
    for (const simwin::UserAction& a : actions) m.windows.user.actions.push_back(a);
    int index = 0;
    // Pictures of dialogs mark the actions' ends (open menus and message boxes are pictured too).
    if (after)
        m.windows.user.show = [&](const std::vector<std::string>& picture) {
            if (!picture.empty() && picture[0].rfind("window ", 0) == 0 && picture[0].find("(dialog ") != std::string::npos)
                after(index++);
        };
    Outcome o;
    RegisterMainWindowClass();
    try {
        o.result = RunMainWindow(simwin::programModule(), context);
    } catch (const simwin::UserStop& stop) {
        o.result = -2;
        o.stop = stop.what();
    }
    m.windows.user.show = nullptr;
    return o;
}

// The list view's texts: one row per item, the cells of its columns joined by " | ".
inline std::vector<std::string> Rows(HWND list, int columns) {
    std::vector<std::string> rows;
    int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        std::string row;
        for (int c = 0; c < columns; ++c) row += (c ? " | " : "") + listtext::Cell(list, i, c);
        rows.push_back(row);
    }
    return rows;
}

inline int ItemImage(HWND list, int index) {
    LVITEMA item{};
    item.mask = LVIF_IMAGE;
    item.iItem = index;
    SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    return item.iImage;
}

inline UINT ItemState(HWND list, int index) {
    return static_cast<UINT>(SendMessageA(list, LVM_GETITEMSTATE, static_cast<WPARAM>(index), LVIS_SELECTED | LVIS_FOCUSED));
}

// A test of the whole interface: a machine of its own made current, a fresh application context, and a run
// of the main window with the scripted user.
class Fixture : public ::testing::Test {
protected:
    void Use(const std::string& machineIni, const std::map<std::string, std::string>& files = {}) {
        Use(testmachine::Load(machineIni, files));
    }
    // A machine made in code (a builder's, tests/support/built_machine.h).
    void Use(std::unique_ptr<simwin::Machine> machine) {
        context.reset();
        scope.reset();
        m = std::move(machine);
        scope = std::make_unique<simwin::MachineScope>(*m);
        context = std::make_unique<CMainDlg>();
    }
    Outcome Run(const std::vector<simwin::UserAction>& actions, std::function<void(int)> after = nullptr) {
        return RunMain(*m, *context, actions, after);
    }

    std::unique_ptr<simwin::Machine> m;
    std::unique_ptr<simwin::MachineScope> scope;
    std::unique_ptr<CMainDlg> context;
};

}  // namespace uirun
