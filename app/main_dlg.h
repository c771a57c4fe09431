// The application context: the main window object, which owns every long-lived object of an
// interactive run, in construction order.
#pragma once

#include "app/admin_run.h"
#include "base/os_version.h"
#include "inventory/loading_dlg.h"
#include "removal/remove_page.h"
#include "script/database.h"
#include "ui/dialog_base.h"
#include "ui/select_page.h"
#include "ui/text_resources.h"

class CMainDlg : public CDialogBase {
public:
    CMainDlg() {}
    ~CMainDlg() override {}
    // Initialisation (pages, system menu, texts, the loading phase), Exit, Enter and Escape, the Uninstall
    // button, the About entry of the system menu, and the pages' messages.
    INT_PTR DialogProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    CUninstallDatabase database;
    CLoadingDlg loadingDlg;
    CSelectPage selectPage;
    CRemovePage removePage;
    CTextResources textResources;
    COSVersion osVersion;
    // The administrator's options, the removal log and the run's end (last, so that the objects above
    // are built as they always were).
    CAdminRun run;

private:
    void OnInitDialog();
    // Runs the loading dialog; on success shows the filled selection page, else ends the main window.
    void RunLoadingPhase(HINSTANCE module);
    // Shows the removal page and starts the staged removal.
    void StartRemoval();
    void OnRemovalFinished();
    // /QUIET and /PLAN after a loading phase that succeeded: the printers of /SELECT are chosen, then the
    // removal starts, or the plan is written and the window ends.
    void RunUnattended();
    // How a loading phase that did not succeed ends the run.
    void FinishFailedLoading(INT_PTR result);
    // A removal that was cut short is finished before anything else (asked in the interactive mode, always
    // with /QUIET and /RESUME, never with /PLAN); true when the run goes that way (or ends).
    bool FinishRemovalCutShort();
};

// The main window's class: a renamed copy of the system dialog class, so that a running
// instance can be found by its class name.
extern const char kMainWindowClass[];

// Registers the main window class; runs the main window modally with its context and returns its result.
void RegisterMainWindowClass();
int RunMainWindow(HINSTANCE instance, CMainDlg& context);


// The spooler restart mode: restarts the print spooler and deletes the run-once value. Returns 0.
int RunRestartSpooler();
