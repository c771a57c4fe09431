// CRemovePage: the removal page (template "IDD_REMOVE"). Nine rows of text with a state icon in front of
// each show the progress of the removal; the directory lists tell the file removal where to look.
#pragma once

#include <functional>
#include <string>

#include "base/host.h"
#include "base/os_version.h"
#include "script/database.h"
#include "script/text_list.h"
#include "ui/dialog_base.h"
#include "removal/backup/removal_backup.h"
#include "removal/removal_context.h"
#include "removal/removal_stages.h"
#include "ui/text_resources.h"

class CRemovePage : public CDialogBase {
public:
    // One progress row: its label, the icon beside it and the text of the label.
    struct ProgressRow {
        int labelId;
        int iconId;
        UINT textId;
    };
    static const int ROW_COUNT = 9;
    static const ProgressRow rows[ROW_COUNT];

    CRemovePage();
    ~CRemovePage() override;
    INT_PTR DialogProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Called by the main window once it shows this page: disables its Uninstall button, builds the
    // directory lists, shows every row pending and starts the stages on the removal timer.
    void StartRemoval();
    // Goes on with a removal that was cut short, from the backup set in folder: its state instead of a new
    // selection, its journal continued, the spooler stopped again when the stopped stages are resumed.
    // False with the reason when the set cannot be resumed (nothing was touched).
    bool ResumeRemoval(const std::string& folder, std::string& error);
    // One tick of the removal timer: the stage that stage names.
    void RunStage(WPARAM timerId);
    // Whether the stages are running (started and not yet at their end).
    int IsRemoving() const { return removing; }

    CUninstallDatabase* database;  // set by the main window; not owned
    CHost* host;                   // the run (its log, its end), set by the main window; may be null
    // The host the page reports to: the one the main window set, else the process's current one.
    CHost& Host() { return host ? *host : CHost::Current(); }
    HFONT normalFont;
    HFONT boldFont;
    HCURSOR savedCursor;
    HCURSOR waitCursor;
    char pavanePath[MAX_PATH];
    HANDLE pavaneProcess;
    int stage;
    int currentRow;
    int progressActive;
    COSVersion osVersion;
    CTextResources textResources;
    HIMAGELIST rowImages;
    CTextList directDirs;
    CTextList searchDirs;
    CRemovalContext removal;  // what the removers work with during the run
    CKeeper keeper;           // what the machine still needs, learned at stage 0
    CRemovalBackup backup;    // the removal's backup set and journal, made at stage 0
    const CTextList* scripts = nullptr;  // the scripts the loading phase read, set by the main window
    // The plan of this removal as /PLAN would write it, kept in the backup set; set by the main window.
    std::function<std::string(const CRemovalContext&)> planOf;
    unsigned keepBackups = 10;           // how many backup sets are kept (the newest)
    int journaledStage = -1;             // the last stage whose state and journal line were written
    std::string backupFailure;           // why the backup set could not be made
    bool resumed = false;                // finishing a removal cut short: an earlier run removed items
    int removing;
    int spoolerStopped;        // stage 8 stopped the spooler and stage 16 has not started it yet
    DWORD pavaneWaitStart;

    // One stage of the removal: the row the stages before it leave current (what a removal that ran from its
    // start shows when it comes to the stage; a removal finished from its backup set starts there), the row
    // shown once its work is done (ROW_NONE: none; ROW_CURRENT: the row the page holds as current then),
    // whether the spooler is stopped while it runs (the NT family),
    // whether it begins with the removal's state and its journal line, and its work, true when the removal
    // goes on to the next stage (false: the stage runs again at the next tick, or the removal stopped).
    enum { ROW_NONE = -1, ROW_CURRENT = -2 };
    struct Stage {
        int rowBefore;
        int row;
        bool spoolerStopped;
        bool journaled;
        bool (CRemovePage::*work)();
    };
    static const Stage stages[STAGE_COUNT];
    // The stage numbered n; past the last, the last (the end of the run).
    static const Stage& StageAt(int n);

    // The image and the label font of row i as the progress display draws them.
    int RowImage(int row) const;
    HFONT RowFont(int row) const;

private:
    void OnInitDialog();
    // Makes row n current (progressActive set) and paints at once; the stored row is then n + 1.
    void ShowRow(int row);
    // Paints every row with progressActive cleared: all pending.
    void ShowAllPending();
    void OnPaint();
    INT_PTR OnCtlColorStatic(HDC dc, HWND control);
    // Draws a row's image into the icon control's device context, in place of the one drawn before.
    void DrawRowImage(HDC dc, HWND icon, int image);
    void BuildDirectoryLists();
    // Waits for the Pavane utility; true once it need not be waited for any more.
    bool WaitForPavane();
    void StopSpoolerStage();
    // The works of the stages, in their order.
    bool SelectAndBackUp();
    bool WaitForPavaneStage();
    bool AnnouncePrinters();
    bool PrintersStage();
    bool DriversStage();
    bool MonitorsAndHooksStage();
    bool ProcessorsStage();
    bool ServicesStage();
    bool StopSpoolerWork();
    bool OemPathsStage();
    bool ShortcutsStage();
    bool EmptyStage();
    bool IniStage();
    bool LoadRunStage();
    bool FilesStage();
    bool RegistryStage();
    bool StartSpoolerStage();
    bool EndStage();
    void EndOfRun();
    // The context the removers get, for a new removal or a resumed one.
    void PrepareContext();
    // Makes the backup set at stage 0; false when it cannot be written (the run has stopped then).
    bool BeginBackup();
    // The backup could not be written: the removal stops where it is, with the journal left open, and the
    // run ends as failed with the reason (a message in the interactive mode).
    void StopForBackup();
    std::string BackupCause(const std::string& why);
    // The restart question (text 200) and the restart on Yes; text 201 when it fails. True when the
    // restart was started.
    bool OfferRestart();
    // When the log counts items that failed or were refused, says how many and where the log is (instead of
    // "complete"); true when it did.
    bool ReportItemsThatStayed();
    // The log of stage 0: the printers chosen and the items a printer that stays keeps.
    void LogSelection();
    void CloseHandleOfPavane();
};
