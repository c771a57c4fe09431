// The removal page: its rows, their state images and fonts, and the directory lists of the removal.
#include "removal/remove_page.h"

#include <stdlib.h>
#include <stdio.h>
#include <string.h>

#include <set>
#include <string>

#include "base/path_parts.h"
#include "base/system_services.h"
#include "removal/driver_remover.h"
#include "removal/file_remover.h"
#include "removal/hook_runner.h"
#include "removal/ini_remover.h"
#include "removal/load_run_remover.h"
#include "removal/printer_remover.h"
#include "removal/registry_remover.h"
#include "removal/service_remover.h"
#include "removal/shortcut_remover.h"
#include "removal/spooler_remover.h"


const CRemovePage::ProgressRow CRemovePage::rows[CRemovePage::ROW_COUNT] = {
    {IDC_ROW_LABEL_FIRST + 0, IDC_ROW_ICON_FIRST + 0, IDS_ROW_FIRST + 0},
    {IDC_ROW_LABEL_FIRST + 1, IDC_ROW_ICON_FIRST + 1, IDS_ROW_FIRST + 1},
    {IDC_ROW_LABEL_FIRST + 2, IDC_ROW_ICON_FIRST + 2, IDS_ROW_FIRST + 2},
    {IDC_ROW_LABEL_FIRST + 3, IDC_ROW_ICON_FIRST + 3, IDS_ROW_FIRST + 3},
    {IDC_ROW_LABEL_FIRST + 4, IDC_ROW_ICON_FIRST + 4, IDS_ROW_FIRST + 4},
    {IDC_ROW_LABEL_FIRST + 5, IDC_ROW_ICON_FIRST + 5, IDS_ROW_FIRST + 5},
    {IDC_ROW_LABEL_FIRST + 6, IDC_ROW_ICON_FIRST + 6, IDS_ROW_FIRST + 6},
    {IDC_ROW_LABEL_FIRST + 7, IDC_ROW_ICON_FIRST + 7, IDS_ROW_FIRST + 7},
    {IDC_ROW_LABEL_FIRST + 8, IDC_ROW_ICON_FIRST + 8, IDS_ROW_FIRST + 8},
};

namespace {

enum RowImageIndex { kPending = 0, kDone = 1, kCurrent = 2 };

const UINT kTickMs = 200;
// A Pavane utility that has not ended after this long is not waited for any more: its files are then
// scheduled like any file in use.
const DWORD kPavaneWaitMs = 2 * 60 * 1000;
// What pavaneProcess holds on Win32s, where the utility's window is watched instead of its process.
HANDLE const kPavaneWindowMarker = reinterpret_cast<HANDLE>(1);

}  // namespace

CRemovePage::CRemovePage()
    : database(NULL), host(NULL), normalFont(NULL), boldFont(NULL), savedCursor(NULL), waitCursor(NULL), pavaneProcess(NULL),
      stage(0), currentRow(0), progressActive(0), rowImages(NULL), removal(), removing(0), spoolerStopped(0),
      pavaneWaitStart(0) {
    pavanePath[0] = 0;
    osVersion.Detect();
}

CRemovePage::~CRemovePage() {
    // Whatever ends the tool, a spooler the removal stopped runs again.
    if (spoolerStopped) StartSpooler();
    CloseHandleOfPavane();
    if (boldFont && boldFont != normalFont) DeleteObject(boldFont);
    directDirs.Clear();
    searchDirs.Clear();
    if (rowImages) ImageList_Destroy(rowImages);
    if (savedCursor) SetCursor(savedCursor);
}

INT_PTR CRemovePage::DialogProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog();
        return 1;
    case WM_SHOWWINDOW:
        if (wParam) ShowAllPending();
        return 0;
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_CTLCOLORSTATIC:
        return OnCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDC_EXIT) {
            EndDialog(hwnd, 1);
            return 1;
        }
        return 0;
    case WM_TIMER:
        RunStage(wParam);
        return 0;
    default:
        return 0;
    }
}

void CRemovePage::OnInitDialog() {
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(hwnd, GWLP_HINSTANCE));
    textResources.SetInstance(instance);
    // An old list that cannot be destroyed stays in use.
    if (!rowImages || ImageList_Destroy(rowImages)) {
        rowImages = ImageList_LoadImageA(instance, MAKEINTRESOURCEA(IDB_ROW_STATES), 16, 10, RGB(255, 0, 255),
                                         IMAGE_BITMAP, 0);
    }
    for (const ProgressRow& row : rows) textResources.SetDlgItemTextFromId(hwnd, row.labelId, row.textId);
    normalFont = boldFont = reinterpret_cast<HFONT>(SendMessageA(hwnd, WM_GETFONT, 0, 0));
    LOGFONTA font;
    if (normalFont && GetObjectA(normalFont, sizeof font, &font) == sizeof font) {
        font.lfWeight = FW_BOLD;
        font.lfQuality = PROOF_QUALITY;
        HFONT bold = CreateFontIndirectA(&font);
        if (bold) boldFont = bold;
    }
}

int CRemovePage::RowImage(int row) const {
    if (!progressActive || row > currentRow) return kPending;
    return row < currentRow ? kDone : kCurrent;
}

HFONT CRemovePage::RowFont(int row) const {
    return progressActive && row == currentRow ? boldFont : normalFont;
}

void CRemovePage::ShowRow(int row) {
    currentRow = row;
    progressActive = 1;
    RedrawWindow(hwnd, NULL, NULL, RDW_INVALIDATE | RDW_UPDATENOW);
    currentRow = row + 1;
}

void CRemovePage::ShowAllPending() {
    currentRow = 0;
    progressActive = 0;
    RedrawWindow(hwnd, NULL, NULL, RDW_INVALIDATE | RDW_UPDATENOW);
}

void CRemovePage::OnPaint() {
    for (int i = 0; i < ROW_COUNT; ++i) {
        HWND icon = GetDlgItem(hwnd, rows[i].iconId);
        HDC dc = GetDC(icon);
        SendDlgItemMessageA(hwnd, rows[i].labelId, WM_SETFONT, reinterpret_cast<WPARAM>(RowFont(i)), 0);
        if (dc) DrawRowImage(dc, icon, RowImage(i));
        if (dc) ReleaseDC(icon, dc);
    }
}

// The marks are drawn through their mask (their corners are transparent), and the icon control has no
// background of its own: it is answered with the hollow brush so that it keeps the mark. So the last mark
// would show around the new one: the control's rectangle is filled with the page's background first.
void CRemovePage::DrawRowImage(HDC dc, HWND icon, int image) {
    RECT r;
    if (GetClientRect(icon, &r)) FillRect(dc, &r, GetSysColorBrush(COLOR_3DFACE));
    if (rowImages) ImageList_Draw(rowImages, image, dc, 0, 0, ILD_NORMAL);
}

INT_PTR CRemovePage::OnCtlColorStatic(HDC dc, HWND control) {
    int id = GetDlgCtrlID(control);
    for (int i = 0; i < ROW_COUNT; ++i) {
        if (rows[i].iconId != id) continue;
        SendDlgItemMessageA(hwnd, rows[i].labelId, WM_SETFONT, reinterpret_cast<WPARAM>(RowFont(i)), 0);
        if (dc) DrawRowImage(dc, control, RowImage(i));
        return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
    }
    return 0;
}

void CRemovePage::BuildDirectoryLists() { BuildFileRemovalLists(osVersion, directDirs, searchDirs); }

void CRemovePage::PrepareContext() {
    EnableWindow(GetDlgItem(GetParent(hwnd), IDC_UNINSTALL), FALSE);
    BuildDirectoryLists();
    removal.database = database;
    removal.window = hwnd;
    removal.osVersion = osVersion;
    removal.textResources = &textResources;
    removal.directDirs = &directDirs;
    removal.searchDirs = &searchDirs;
    removal.pendingAtRestart = 0;
    removal.log = Host().Log();
    removal.keeper = &keeper;
    currentRow = 0;
    progressActive = 0;
}

void CRemovePage::StartRemoval() {
    PrepareContext();
    stage = 0;
    ShowAllPending();
    removing = 1;
    SetTimer(hwnd, IDT_REMOVAL, kTickMs, NULL);
}

bool CRemovePage::ResumeRemoval(const std::string& folder, std::string& error) {
    // A run killed between the spooler's stop and its start left it stopped: the driver and processor
    // directories are asked of it, so it runs while the lists are made.
    const bool spoolerWasStopped = osVersion.IsWinNT() && IsSpoolerStopped();
    if (osVersion.IsWinNT()) StartSpooler();
    PrepareContext();
    int resumeAt = 0;
    if (!backup.Resume(folder, removal, *database, resumeAt, error)) {
        if (spoolerWasStopped) StopSpooler();  // nothing goes: the machine stays as it was found
        return false;
    }
    resumed = true;
    // Nothing before the printers' stage touched the machine: a removal cut short there starts with it.
    stage = resumeAt < STAGE_PRINTERS ? STAGE_PRINTERS : resumeAt;
    keeper.Learn(*database, osVersion, directDirs, searchDirs);
    if (stage > STAGE_PRINTERS) keeper.LearnStayingPrinters();
    if (removal.log)
        removal.log->Write("run", "the removal cut short is finished from its backup set " + folder + ", at stage " +
                                      std::to_string(stage));
    // The stages between the spooler's stop and its start ran without it.
    if (osVersion.IsWinNT() && StageAt(stage).spoolerStopped) {
        StopSpooler();
        spoolerStopped = 1;
    }
    waitCursor = LoadCursorA(NULL, IDC_WAIT);
    savedCursor = SetCursor(waitCursor);
    ShowAllPending();
    // The rows of the stages an earlier run did show done, as a removal that ran from its start shows them.
    ShowRow(StageAt(stage).rowBefore);
    removing = 1;
    SetTimer(hwnd, IDT_REMOVAL, kTickMs, NULL);
    return true;
}

bool CRemovePage::BeginBackup() {
    std::string error;
    const bool begun = backup.Begin(
        removal, *database, scripts, [this] { return planOf ? planOf(removal) : std::string(); }, error);
    for (const std::string& moved : backup.MovedAside())
        if (removal.log) removal.log->Write("run", "backup folder not the tool's: " + moved);
    if (!begun) {
        if (removal.log) removal.log->Write("run", "the backup set cannot be written: " + error);
        removal.journal = nullptr;
        backupFailure = error;
        StopForBackup();
        return false;
    }
    if (removal.log) removal.log->Write("run", "backup set " + backup.Folder());
    for (const std::string& old : CBackupSet::Prune(osVersion, keepBackups, backup.Folder()))
        if (removal.log) removal.log->Write("run", "old backup set deleted: " + old);
    return true;
}

namespace {

// The platform's code behind a backup failure: every reason the set gives ends with "(error N)".
DWORD FailureCode(const std::string& why) {
    const size_t at = why.rfind("(error ");
    return at == std::string::npos ? 0 : static_cast<DWORD>(strtoul(why.c_str() + at + 7, NULL, 10));
}

}  // namespace

// The cause of a backup failure in the interface's language: no room on the drive, no right to the folder, or
// another error with its code.
std::string CRemovePage::BackupCause(const std::string& why) {
    const DWORD code = FailureCode(why);
    if (code == ERROR_DISK_FULL || code == ERROR_HANDLE_DISK_FULL) return textResources.GetString(IDS_BACKUP_CAUSE_SPACE);
    if (code == ERROR_ACCESS_DENIED || code == ERROR_WRITE_PROTECT) return textResources.GetString(IDS_BACKUP_CAUSE_RIGHTS);
    char text[512];
    FillTexts(text, sizeof text, textResources.GetString(IDS_BACKUP_CAUSE_OTHER), {std::to_string(code)});
    return text;
}

void CRemovePage::StopForBackup() {
    KillTimer(hwnd, IDT_REMOVAL);
    if (savedCursor) SetCursor(savedCursor);
    const std::string why = backupFailure.empty() ? backup.Failure() : backupFailure;
    // /RESUME has something to finish only when an item was touched: by this run, or by the one it goes on with.
    const bool touched = backup.IsOpen() && (resumed || (removal.journal && removal.journal->Items() > 0));
    const std::string where = touched ? " (the removal stopped at stage " + std::to_string(stage) +
                                            "; /RESUME goes on once the backup set " + backup.Folder() + " can be written)"
                                      : " (nothing was removed)";
    if (removal.log) {
        removal.log->SetStage(-1);
        removal.log->WriteSummary(false);
    }
    Host().RemovalFailed("the backup set cannot be written: " + why + where);
    char text[2048];
    FillTexts(text, sizeof text, textResources.GetString(touched ? IDS_BACKUP_FAILED : IDS_BACKUP_FAILED_NOTHING_REMOVED),
              {BackupCause(why), why, removal.log ? removal.log->Path() : std::string()});
    RunMessageBox(hwnd, text, textResources.GetString(IDS_CAPTION), MB_OK | MB_ICONSTOP | MB_SETFOREGROUND);
    // The spooler runs again; the journal stays without its end, so the next run can finish the removal.
    if (spoolerStopped) {
        spoolerStopped = 0;
        StartSpooler();
    }
    removing = 0;
    PostMessageA(GetParent(hwnd), WM_CLOSE, 0, 0);
}

void CRemovePage::CloseHandleOfPavane() {
    if (pavaneProcess && pavaneProcess != kPavaneWindowMarker) CloseHandle(pavaneProcess);
    pavaneProcess = NULL;
}

bool CRemovePage::WaitForPavane() {
    bool wait = false;
    if (!database->pavaneStays) {
        if (!pavaneProcess) {
            if (FindOemProgram(pavanePath, "PAVANE32.EXE") || FindOemProgram(pavanePath, "PAVANE.EXE")) {
                pavaneProcess = RunProgram(pavanePath);
                if (!pavaneProcess && osVersion.IsWin32s()) pavaneProcess = kPavaneWindowMarker;
                wait = pavaneProcess != NULL;
                pavaneWaitStart = GetTickCount();
            }
        } else if (GetTickCount() - pavaneWaitStart > kPavaneWaitMs) {
            wait = false;  // a utility that hangs is not waited for without end
        } else if (pavaneProcess == kPavaneWindowMarker || osVersion.IsWin32s()) {
            wait = FindWindowA("#32770", "Pavane") != NULL;
        } else {
            DWORD code = 0;
            wait = GetExitCodeProcess(pavaneProcess, &code) && code == STILL_ACTIVE;
        }
    }
    Host().removal.waitingForPavane = wait ? 1 : 0;
    if (wait) return false;
    CloseHandleOfPavane();
    return true;
}

void CRemovePage::StopSpoolerStage() {
    if (osVersion.IsWin9x()) {
        if (osVersion.GetVersionClass() == 2) CloseSpoolProcessWindow();
        database->restartNeeded = 1;
    }
    if (osVersion.IsWinNT()) {
        StopSpooler();
        spoolerStopped = 1;
    }
}

bool CRemovePage::OfferRestart() {
    const char* question = textResources.GetString(IDS_RESTART_QUESTION);
    const char* caption = textResources.GetString(IDS_CAPTION);
    if (osVersion.IsWin32s()) {
        // The restart helper of the family restarts Windows 3.1; its own file goes at that restart.
        CPathParts program;
        program.Resolve(MODULEDIR);
        char helper[MAX_PATH];
        snprintf(helper, sizeof helper, "%sNRESTART.EXE", program.DirectoryPath());
        ScheduleNwininitDelete(helper);
        AddLoadRunEntry(removal, NULL, "NWININIT");
        if (RunMessageBox(hwnd, question, caption, MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND, QUIET_ANSWER_RESTART) !=
            IDYES)
            return false;
        char command[MAX_PATH + 8];
        snprintf(command, sizeof command, "%s -d", "NRESTART.EXE");
        if (WinExec(command, SW_HIDE) >= 32) return true;
        RunMessageBox(hwnd, textResources.GetString(IDS_RESTART_FAILED), caption, MB_OK | MB_SETFOREGROUND);
        return false;
    }
    if (RunMessageBox(hwnd, question, caption, MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND, QUIET_ANSWER_RESTART) !=
        IDYES)
        return false;
    int vc = osVersion.GetVersionClass();
    BOOL restarted = osVersion.IsWin9x() && (vc == 2 || vc == 3 || vc == 7) ? ExitWindowsEx(EWX_REBOOT, 0)
                                                                             : RebootWithShutdownPrivilege();
    if (!restarted)
        RunMessageBox(hwnd, textResources.GetString(IDS_RESTART_FAILED), caption, MB_OK | MB_SETFOREGROUND);
    return restarted != FALSE;
}

void CRemovePage::EndOfRun() {
    KillTimer(hwnd, IDT_REMOVAL);
    if (savedCursor) SetCursor(savedCursor);
    // On the NT family, files scheduled for deletion or a service only marked for it need a restart too.
    const bool restart = (database->isWin9x && database->restartNeeded) ||
                         (osVersion.IsWinNT() && removal.pendingAtRestart) ||
                         (osVersion.IsWin32s() && (database->restartNeeded || removal.pendingAtRestart));
    backup.End();
    if (removal.log) {
        removal.log->SetStage(-1);
        removal.log->WriteSummary(restart);
    }
    // Items that stayed are said first: the run is not complete, whatever comes next.
    const bool incomplete = ReportItemsThatStayed();
    bool restarted = false;
    if (restart)
        restarted = OfferRestart();
    else if (!incomplete)
        RunMessageBox(hwnd, textResources.GetString(IDS_UNINSTALL_COMPLETE), textResources.GetString(IDS_CAPTION),
                      MB_OK | MB_SETFOREGROUND);
    Host().RemovalFinished(restart, restarted);
    removing = 0;
    PostMessageA(GetParent(hwnd), WM_CLOSE, 0, 0);
    PostMessageA(GetParent(hwnd), UM_REMOVAL_FINISHED, 0, 0);
}

bool CRemovePage::ReportItemsThatStayed() {
    const CRunLog* log = removal.log;
    const unsigned failed = log ? log->Count(CRunLog::FAILED) : 0, refused = log ? log->Count(CRunLog::REFUSED) : 0;
    if (!failed && !refused) return false;
    const std::string text = FillText(textResources.GetString(IDS_UNINSTALL_INCOMPLETE),
                                      {std::to_string(failed + refused), std::to_string(failed), std::to_string(refused),
                                       log->Path()});
    RunMessageBox(hwnd, text.c_str(), textResources.GetString(IDS_CAPTION), MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
    return true;
}

void CRemovePage::LogSelection() {
    CRunLog* log = removal.log;
    if (!log) return;
    std::string chosen, staying;
    for (const CPrinterEntry& p : database->printers) {
        if (p.isForeign || p.isDeleted) continue;
        std::string& list = p.isKept ? staying : chosen;
        list += (list.empty() ? "\"" : ", \"") + p.printerName + "\"";
    }
    log->Write("stage 0", "removing " + (chosen.empty() ? std::string("no printer") : chosen) + "; staying: " +
                              (staying.empty() ? std::string("none") : staying));
    // What the scripts name for the removed printers but a printer that stays (or an ignore or catch-all
    // entry) still needs: it is in keep, and not in removal.
    // The kind of each of the profile's lists (Other: the OEM paths' list, not logged here).
    static const ItemKind kKinds[CUninstallProfile::LIST_COUNT] = {
        ItemKind::IniKey,  ItemKind::RunValue, ItemKind::Other,    ItemKind::Processor,
        ItemKind::Monitor, ItemKind::Service,  ItemKind::Hook,     ItemKind::File,
        ItemKind::Driver,  ItemKind::Shortcut, ItemKind::Folder,   ItemKind::RegistryKey};
    for (int i = 0; i < CUninstallProfile::LIST_COUNT; ++i) {
        if (kKinds[i] == ItemKind::Other) continue;
        std::set<std::string> kept, removed, byEntry;
        for (const char* item : database->keep.List(i)) kept.insert(TextKey(item));
        for (const char* item : database->removal.List(i)) removed.insert(TextKey(item));
        for (const CUninstallProfile& profile : database->profiles)
            if (profile.isIgnore || profile.isCatchAll)
                for (const char* item : profile.List(i)) byEntry.insert(TextKey(item));
        for (const char* item : database->combined.List(i)) {
            const std::string key = TextKey(item);
            if (!kept.count(key) || removed.count(key)) continue;
            removal.Report(kKinds[i], item, CRunLog::KEPT, 0,
                           byEntry.count(key) ? "an ignore or catch-all entry names it" : "needed by a printer that stays");
        }
    }
}
