// CLoadingDlg: the loading dialog object. It lives for the whole run inside the application context,
// holds the command-line options (parsed at construction), and enumerates the installed printers into
// the database's printer list.
#pragma once

#include "base/os_version.h"
#include "base/run_log.h"
#include "script/database.h"
#include "script/option_list.h"
#include "script/text_list.h"
#include "ui/dialog_base.h"
#include "resources/resource.h"
#include "ui/text_resources.h"

class CLoadingDlg : public CDialogBase {
public:
    // What failed in the printer enumeration: the failing step, the error and two detail values.
    struct _QuickExceptionInfo {
        DWORD lastError;
        const char* function;
        const char* description;
        const char* label1;
        ULONG_PTR value1;
        const char* label2;  // may be null
        DWORD value2;
    };

    // Size of the working buffer the command line is copied into.
    static const int COMMAND_LINE_SIZE = 4096;
    // Size of the diagnostic text of a failed enumeration.
    static const int DIAGNOSTIC_SIZE = 1024;

    CLoadingDlg();
    ~CLoadingDlg() override;

    // WM_INITDIALOG, WM_SHOWWINDOW (starts the loading timer), Enter or Escape (the abort question) and
    // WM_TIMER (one loading step per tick).
    INT_PTR DialogProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Fills options from the process command line: every token that begins with "/" or "-" is an option,
    // its name up to the first ":" outside double quotes, then values separated by "," outside double
    // quotes (the quotes stay in the values).
    void ParseCommandLine();

    // Appends one entry per installed printer that could be opened and returns their number; 0 when the
    // spooler lists no printers or does not answer (then the user is told and the dialog ends with 0), or
    // when the enumeration fails (the failure is described in diagnostic).
    int BuildListOfInstalledPrinters(CPrinterList& printers);

    CUninstallDatabase* database;
    COptionList options;
    int step;
    COSVersion osVersion;
    CTextList scripts;
    CTextResources textResources;

    // The diagnostic text of the last failed enumeration (empty when none failed).
    char diagnostic[DIAGNOSTIC_SIZE];
    // 1 once a step has ended the dialog (with 0) after telling the user why.
    int ended;

    // 1 while this loading has stopped the spooler and not yet tried to start it again.
    int spoolerStopped;

    // Why a step ended the dialog with 0 (FAILURE_NONE while it has not).
    enum Failure { FAILURE_NONE, FAILURE_NOT_ADMINISTRATOR, FAILURE_SPOOLER_NOT_STARTING, FAILURE_SPOOLER_NOT_ANSWERING,
                   FAILURE_ABANDONED };
    int failure;
    // 1 when the enumeration of the last loading pass failed (diagnostic tells how); the list then holds only
    // the printers read before the failure.
    int enumerationFailed;
    // The run's log (set by the main window; may be null): the scripts read, the printers found, the
    // diagnostic of a failed enumeration.
    CRunLog* log;

private:
    void OnInitDialog();
    void OnAbortRequest();
    void OnLoadingTimer(WPARAM timerId);
    // Runs the step that step names; false when it ended the dialog.
    bool RunStep();
    void FindScriptsStep();
    // Tells the user with a message box of string textId (caption string 161, MB_ICONERROR).
    void ShowError(UINT textId);
    LRESULT SendProgress(UINT message, WPARAM wParam, LPARAM lParam);
    // Ends the dialog with result and remembers that it ended. Leaving the loading without success starts a
    // spooler that this loading stopped, so that the machine is never left without one.
    void EndLoading(INT_PTR result);
    // Whether a printer stays in the list under the MFG, PRN and UNPAV options.
    bool PassesCommandLineFilter(const CPrinterEntry& entry) const;
    // Whether some value of the option matches the driver name: as a prefix, or as the whole name.
    bool OptionValueMatches(const char* option, const char* driverName, bool prefix) const;
    // Composes diagnostic from a failure record.
    void DescribeFailure(const _QuickExceptionInfo& info);
    // Writes the scripts read and the printers found to the log.
    void LogScripts(const int* read) const;
    void LogPrinters() const;
};
