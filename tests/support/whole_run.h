// A whole run of the tool as a person makes it: a machine loaded, the printers selected, Uninstall pressed,
// the message boxes answered, the stages run to their end; then the machine's state compared with what it
// was before the run.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "support/machine_diff.h"
#include "support/ui_run.h"

namespace wholerun {

// The removal page's ticks as they reach the page: the stage each found, whether a stage was running
// already (a tick that must be dropped), and whether the spooler ran before and after it.
struct Tick {
    int stage;
    bool busy;
    bool spoolerBefore;
    bool spoolerAfter;
    int stageAfter;
};

class Fixture : public uirun::Fixture {
protected:
    ~Fixture() override { watched = nullptr; }

    // Loads a machine directory as korun04-sim does.
    void UseDirectory(const std::string& dir) {
        context.reset();
        scope.reset();
        m = simwin::Machine::load(dir);
        scope = std::make_unique<simwin::MachineScope>(*m);
        context = std::make_unique<CMainDlg>();
    }

    // Selects the named printers (every listed printer when none is named), presses Uninstall and lets
    // the run end; yes/no message boxes take the answers in order (then No). The state before is taken
    // here, so a test may change the loaded machine in code first.
    uirun::Outcome Uninstall(const std::vector<std::string>& printers = {}, const std::deque<bool>& answers = {}) {
        before = machinediff::Capture(*m);
        m->windows.user.answers = answers;
        using simwin::UserAction;
        UserAction select = printers.empty() ? uirun::Action(UserAction::SelectAll)
                                             : uirun::Action(UserAction::Select, "", printers);
        ticks.clear();
        uirun::Outcome o = Run({select, uirun::Press(IDC_UNINSTALL)}, [&](int step) {
            if (step == 0) WatchTicks();
        });
        after = machinediff::Capture(*m);
        diff = machinediff::Compare(before, after);
        return o;
    }

    // The message boxes of the run, as "TEXT -> ANSWER" (the caption is the tool's throughout).
    std::vector<std::string> MessageBoxes() const {
        std::vector<std::string> out;
        const std::string prefix = "message box \"アンインストール\": \"";
        for (const std::string& line : m->transcript.lines)
            if (line.rfind(prefix, 0) == 0) {
                std::string rest = line.substr(prefix.size());
                size_t quote = rest.rfind("\" -> ");
                out.push_back(quote == std::string::npos ? rest : rest.substr(0, quote) + rest.substr(quote + 1));
            }
        return out;
    }

    bool SpoolerRuns() const {
        const simwin::Service* s = m->services.find("Spooler");
        return s && s->running;
    }

    machinediff::State before, after;
    machinediff::Diff diff;
    std::vector<Tick> ticks;  // every tick of the removal timer that reached the page
    // How often each spooler function was called before Uninstall was pressed (by the loading phase).
    std::map<std::string, int> callsBeforeRemoval;
    // ... and before the printers' stage began (the loading, the selection and the backup set).
    std::map<std::string, int> callsBeforeRemovers;

private:
    // The page's dialog procedure is wrapped once the page exists, so that each tick is seen as it comes.
    void WatchTicks() {
        callsBeforeRemoval.clear();
        callsBeforeRemovers.clear();
        for (const std::string& call : m->spooler.calls) ++callsBeforeRemoval[call.substr(0, call.find(' '))];
        HWND page = context->removePage.hwnd;
        if (!page) return;
        watched = this;
        original = reinterpret_cast<DLGPROC>(GetWindowLongPtrA(page, DWLP_DLGPROC));
        SetWindowLongPtrA(page, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(&Watch));
    }
    static INT_PTR CALLBACK Watch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message != WM_TIMER || wParam != IDT_REMOVAL || !watched) return original(hwnd, message, wParam, lParam);
        Fixture& f = *watched;
        Tick t{f.context->removePage.stage, f.context->removePage.Host().removal.tickInProgress != 0, f.SpoolerRuns(), false, 0};
        if (t.stage == 3 && f.callsBeforeRemovers.empty())
            for (const std::string& call : f.m->spooler.calls) ++f.callsBeforeRemovers[call.substr(0, call.find(' '))];
        const size_t index = f.ticks.size();
        f.ticks.push_back(t);
        INT_PTR r = original(hwnd, message, wParam, lParam);
        f.ticks[index].spoolerAfter = f.SpoolerRuns();
        f.ticks[index].stageAfter = f.context->removePage.stage;
        return r;
    }
    static inline Fixture* watched = nullptr;
    static inline DLGPROC original = nullptr;
};

}  // namespace wholerun
