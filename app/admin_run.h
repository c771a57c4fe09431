// CAdminRun: what the administrator's options make of one interactive run. It reads the options from the
// process command line, keeps the removal log open for the run, hides every dialog of the tool in the
// unattended modes (/QUIET, /PLAN), answers their message boxes, and turns the way the run ended into the
// exit code: the main window's result in the interactive mode, the Windows Installer codes otherwise.
#pragma once

#include <string>

#include "base/host.h"
#include "base/platform.h"
#include "base/run_log.h"
#include "app/run_options.h"

// The Windows Installer exit codes of the unattended modes.
enum InstallerExitCode {
    EXIT_DONE = 0,                 // ERROR_SUCCESS
    EXIT_BAD_COMMAND_LINE = 87,    // ERROR_INVALID_PARAMETER
    EXIT_NOT_ADMINISTRATOR = 740,  // ERROR_ELEVATION_REQUIRED
    EXIT_CANCELLED = 1602,         // ERROR_INSTALL_USEREXIT
    EXIT_FATAL = 1603,             // ERROR_INSTALL_FAILURE
    EXIT_ALREADY_RUNNING = 1618,   // ERROR_INSTALL_ALREADY_RUNNING
    EXIT_RESTART_STARTED = 1641,   // ERROR_SUCCESS_REBOOT_INITIATED
    EXIT_RESTART_NEEDED = 3010,    // ERROR_SUCCESS_REBOOT_REQUIRED
};

class CAdminRun : public CHost {
public:
    // How the run ended. A run that never reached its end (the main window closed before the removal
    // finished) counts as cancelled.
    enum End {
        END_OPEN,              // not ended yet
        END_BAD_COMMAND_LINE,  // the options are wrong, or /SELECT names a printer that is not listed
        END_NOT_ADMINISTRATOR,
        END_FAILED,            // the spooler does not start or answer, the loading failed, the plan was not written
        END_CANCELLED,         // the loading was abandoned
        END_ALREADY_RUNNING,   // another copy of the tool runs
        END_DONE,              // the removal ran to its end, or the plan was written
    };

    // Reads the options of GetCommandLineA, opens the log (/LOG, else the default; the default also when
    // /LOG cannot be opened) and writes the run's header and a bad command line's reason. The unattended
    // modes hide the tool's dialogs while the object lives. The run is the process's host while it lives.
    CAdminRun();
    ~CAdminRun() override;
    CAdminRun(const CAdminRun&) = delete;
    CAdminRun& operator=(const CAdminRun&) = delete;

    // /PLAN: whether the plan file can be written, tried before anything is loaded; when it cannot, the
    // run ends failed (1603) and says why. True when the run goes on.
    bool CheckPlanFile();

    // The run of this process (the current host when it is a run), or null outside one.
    static CAdminRun* Active();

    // The host's part: the message boxes shown or answered, and logged; the run's log; the removal's end.
    int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type, QuietAnswer quiet) override;
    CRunLog* Log() override { return &log; }
    void RemovalFailed(const std::string& why) override { Finish(END_FAILED, why); }
    void RemovalFinished(bool restartNeeded, bool restartStarted) override { FinishRemoval(restartNeeded, restartStarted); }

    bool IsUnattended() const { return options.IsUnattended(); }
    bool IsQuiet() const { return options.mode == CRunOptions::MODE_QUIET; }
    bool IsPlan() const { return options.mode == CRunOptions::MODE_PLAN; }

    // Records how the run ended (the first end counts) and why, in the log.
    void Finish(End how, const std::string& why);
    // The removal's end: whether a restart is needed, and whether the tool started it.
    void FinishRemoval(bool restartNeeded, bool restartStarted);
    End Ended() const { return end; }
    bool RestartNeeded() const { return restartNeeded; }
    bool RestartStarted() const { return restartStarted; }

    // The exit code of the run: dialogResult in the interactive mode; the installer code otherwise.
    // Writes it to the log, and the run's event to the Application event log (app/run_event.h).
    int ExitCode(int dialogResult);

    CRunOptions options;
    CRunLog log;
    // The counts of a run that are not the removal's item lines (a restore's), for its event; empty: those.
    std::string counts;

private:
    End end;
    bool restartNeeded;
    bool restartStarted;
};

// Whether the process command line asks for an unattended mode (/QUIET or /PLAN), good or not.
bool CommandLineIsUnattended();

// Whether the process command line asks for the options (/?, -? or /HELP).
bool CommandLineAsksForHelp();
// Shows the options (strings 301 to 303 of the module) in a message box, or in the unattended modes
// (/QUIET, /PLAN) writes them to the log (/LOG, else the default) instead; touches nothing else. Returns the
// exit code, 0.
int ShowOptions(HINSTANCE module);
