// CHost: what the process the tool runs in gives the units below the application. The application is the
// host: it shows (or, in an unattended run, answers) every message box, keeps the run's log and how the run
// ended, knows where the default script lies, and holds what the process keeps across windows and loading
// passes (the timers' busy flags, the spooler waits, the loading's one retry).
//
// Hosts nest: the newest object is the current one until it goes. Without any, a plain host answers (the
// message boxes shown, nothing logged) whose state lives as long as the process; a caller that needs fresh
// process state (a second run in one process, a test) makes a host of its own.
#pragma once

#include <string>

#include "base/platform.h"

class CRunLog;

// The answer a message box takes in the unattended modes: OK, or No; the restart question takes Yes
// when /RESTART was given; a question that confirms a request to cancel takes Yes (nobody but whoever
// runs the tool unattended asks a hidden window to cancel).
enum QuietAnswer { QUIET_ANSWER_DEFAULT, QUIET_ANSWER_RESTART, QUIET_ANSWER_YES };

class CHost {
public:
    // What the loading keeps for the whole process, across loading passes and dialogs: the busy flag of
    // the timer handler and the wait and retry counters.
    struct LoadingState {
        int busy = 0;
        int stopWaits = 0;
        int startWaits = 0;
        int retries = 0;
    };
    // What the removal keeps for the whole process: the busy flag of the stages and the Pavane wait flag.
    struct RemovalTicks {
        int tickInProgress = 0;
        int waitingForPavane = 0;
    };

    // Becomes the current host.
    CHost();
    virtual ~CHost();
    CHost(const CHost&) = delete;
    CHost& operator=(const CHost&) = delete;

    // The newest host alive, or the plain host of the process.
    static CHost& Current();

    // Every message box of the tool. The plain host shows it and keeps nothing.
    virtual int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type, QuietAnswer quiet);
    // The run's log, or null where the process keeps none.
    virtual CRunLog* Log();
    // The removal cannot go on (its backup set cannot be written): why, for the run's end.
    virtual void RemovalFailed(const std::string& why);
    // The removal ran to its end: whether a restart is needed, and whether the tool started it.
    virtual void RemovalFinished(bool restartNeeded, bool restartStarted);

    // The default script: the program file's folder followed by "Kunz__04.unm" (the family's "Strings" are
    // read from it), as the program file's path reads now; at most 255 characters, cut there.
    std::string DefaultScriptPath() const;

    LoadingState loading;
    RemovalTicks removal;

private:
    struct Plain {};
    explicit CHost(Plain);
    CHost* previous;
};

// CHost::Current().ShowMessageBox: every message box of the tool goes through here.
int RunMessageBox(HWND owner, const char* text, const char* caption, UINT type,
                  QuietAnswer quiet = QUIET_ANSWER_DEFAULT);
