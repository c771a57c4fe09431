// The main window: the page frame with the selection and removal pages, the Uninstall and Exit buttons,
// the loading phase before the window is shown, and the switch to the removal.
#include "app/main_dlg.h"

#include <sstream>
#include <string>
#include <vector>

#include "removal/resume_offer.h"
#include "writers/plan_writer.h"
#include "ui/about_dlg.h"

namespace {

HINSTANCE ModuleOf(HWND window) { return reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE)); }

void ShowPage(HWND page, bool show) {
    if (page) ShowWindow(page, show ? SW_SHOW : SW_HIDE);
}

// Whether the keyboard focus is on the window or one of its controls.
bool FocusIsIn(HWND window) {
    HWND focus = GetFocus();
    return focus && (focus == window || IsChild(window, focus));
}

}  // namespace

INT_PTR CMainDlg::DialogProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog();
        // The filled selection list took the focus; TRUE would hand it to the first tab stop instead.
        return FocusIsIn(hwnd) ? FALSE : TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
        case IDCANCEL:
        case IDC_EXIT:
            // While the removal runs, Enter and Escape do nothing (Exit is disabled and Close greyed).
            if (!removePage.IsRemoving()) EndDialog(hwnd, 1);
            return TRUE;
        case IDC_UNINSTALL:
            // The selection is recorded only from a page the user could see.
            if (selectPage.IsVisible()) selectPage.ApplySelection();
            StartRemoval();
            return TRUE;
        default:
            return FALSE;
        }
    case WM_SYSCOMMAND:
        if (wParam == IDM_ABOUT) {
            CAboutDlg about;
            DialogBoxParamA(ModuleOf(hwnd), MAKEINTRESOURCEA(IDD_ABOUT), hwnd, StaticDialogProc,
                            reinterpret_cast<LPARAM>(&about));
            return TRUE;
        }
        return FALSE;
    case UM_ENABLE_UNINSTALL:
        EnableWindow(GetDlgItem(hwnd, IDC_UNINSTALL), wParam ? TRUE : FALSE);
        return FALSE;
    case UM_START_REMOVAL:
        StartRemoval();
        return FALSE;
    case UM_REMOVAL_FINISHED:
        OnRemovalFinished();
        return FALSE;
    default:
        return FALSE;
    }
}

void CMainDlg::OnInitDialog() {
    HINSTANCE module = ModuleOf(hwnd);
    textResources.SetInstance(module);
    ShowWindow(GetDlgItem(hwnd, IDC_PAGE_FRAME), SW_HIDE);

    HMENU systemMenu = GetSystemMenu(hwnd, FALSE);
    EnableMenuItem(systemMenu, SC_MAXIMIZE, MF_DISABLED | MF_GRAYED);
    EnableMenuItem(systemMenu, SC_SIZE, MF_DISABLED | MF_GRAYED);
    // The About entry stands in a column of its own.
    AppendMenuA(systemMenu, MF_MENUBARBREAK, 0, NULL);
    AppendMenuA(systemMenu, MF_STRING, IDM_ABOUT, textResources.GetString(IDS_ABOUT_MENU));

    textResources.SetWindowTextFromId(hwnd, IDS_CAPTION);
    textResources.SetDlgItemTextFromId(hwnd, IDC_UNINSTALL, IDS_BTN_UNINSTALL);
    textResources.SetDlgItemTextFromId(hwnd, IDC_EXIT, IDS_BTN_EXIT);

    if (module) {
        HWND frame = GetDlgItem(hwnd, IDC_PAGE_FRAME);
        HWND select = CreateDialogParamA(module, "IDD_SELECT", hwnd, StaticDialogProc, reinterpret_cast<LPARAM>(&selectPage));
        ShowPage(select, false);
        if (select) PlacePageOverFrame(select, frame);
        HWND remove = CreateDialogParamA(module, "IDD_REMOVE", hwnd, StaticDialogProc, reinterpret_cast<LPARAM>(&removePage));
        ShowPage(remove, true);
        if (remove) PlacePageOverFrame(remove, frame);
    }
    SetBigIcon(hwnd);
    CenterWindow(hwnd, GetDesktopWindow());
    ShowWindow(hwnd, SW_HIDE);
    RunLoadingPhase(module);
}

void CMainDlg::RunLoadingPhase(HINSTANCE module) {
    EnableWindow(GetDlgItem(hwnd, IDC_UNINSTALL), FALSE);
    EnableWindow(GetDlgItem(hwnd, IDC_EXIT), FALSE);
    loadingDlg.database = &database;
    selectPage.database = &database;
    removePage.database = &database;
    loadingDlg.log = &run.log;
    removePage.host = &run;
    removePage.planOf = [this](const CRemovalContext& removal) {
        // The refusals as the removal's own keeper, learned already, decides them.
        std::ostringstream plan;
        PrintPlan(plan, loadingDlg.scripts, database, *removal.keeper, *removal.directDirs, *removal.searchDirs);
        return plan.str();
    };
    removePage.scripts = &loadingDlg.scripts;
    removePage.keepBackups = run.options.keepBackups;
    if (run.Ended() != CAdminRun::END_OPEN) {
        EndDialog(hwnd, 1);  // a bad command line of an unattended mode: nothing is touched
        return;
    }
    if (FinishRemovalCutShort()) return;
    INT_PTR result = DialogBoxParamA(module, MAKEINTRESOURCEA(IDD_LOADING), hwnd, StaticDialogProc,
                                     reinterpret_cast<LPARAM>(&loadingDlg));
    if (result != 1) {
        FinishFailedLoading(result);
        EndDialog(hwnd, 1);
        return;
    }
    ShowPage(removePage.hwnd, false);
    ShowPage(selectPage.hwnd, true);
    ShowWindow(hwnd, SW_SHOW);
    selectPage.FillPrinterList();
    EnableWindow(GetDlgItem(hwnd, IDC_UNINSTALL), database.ListedPrinterCount() == 0);
    EnableWindow(GetDlgItem(hwnd, IDC_EXIT), TRUE);
    if (run.IsUnattended()) RunUnattended();
}

namespace {

std::string Quoted(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "\"" : ", \"") + name + "\"";
    return text;
}

}  // namespace

bool CMainDlg::FinishRemovalCutShort() {
    if (run.IsPlan()) return false;
    COSVersion os;
    os.Detect();
    const std::string folder = CRemovalBackup::FindUnfinished(os);
    std::string untrusted;
    if (folder.empty() && !CBackupSet::RootTrusted(os, untrusted))
        run.log.Write("run", "no backup set is looked at for a removal cut short: " + untrusted);
    if (folder.empty()) {
        if (!run.options.resume) return false;
        run.Finish(CAdminRun::END_DONE, "there is no removal cut short to finish");
        EndDialog(hwnd, 1);
        return true;
    }
    run.log.Write("run", "the removal of the backup set " + folder + " was cut short");
    if (!run.options.resume) {
        char question[1024];
        FillTexts(question, sizeof question, textResources.GetString(IDS_RESUME_QUESTION),
                  {Quoted(PrintersOfUnfinishedRemoval(folder, os)), folder});
        if (RunMessageBox(hwnd, question, textResources.GetString(IDS_CAPTION), MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND,
                          QUIET_ANSWER_YES) != IDYES)
            return false;
    }
    ShowPage(selectPage.hwnd, false);
    ShowPage(removePage.hwnd, true);
    ShowWindow(hwnd, SW_SHOW);
    EnableMenuItem(GetSystemMenu(hwnd, FALSE), SC_CLOSE, MF_GRAYED);
    std::string error;
    if (!removePage.ResumeRemoval(folder, error)) {
        run.Finish(CAdminRun::END_FAILED, "the removal cut short cannot be finished: " + error);
        // A damaged or planted set is refused whole: nothing was removed.
        char text[2048];
        FillTexts(text, sizeof text, textResources.GetString(IDS_RESUME_REFUSED), {folder, error, run.log.Path()});
        RunMessageBox(hwnd, text, textResources.GetString(IDS_CAPTION), MB_OK | MB_ICONSTOP | MB_SETFOREGROUND);
        EndDialog(hwnd, 1);
    }
    return true;
}

void CMainDlg::FinishFailedLoading(INT_PTR result) {
    switch (loadingDlg.failure) {
    case CLoadingDlg::FAILURE_NOT_ADMINISTRATOR:
        run.Finish(CAdminRun::END_NOT_ADMINISTRATOR, "the loading ended: the user is not an administrator");
        break;
    case CLoadingDlg::FAILURE_SPOOLER_NOT_STARTING:
        run.Finish(CAdminRun::END_FAILED, "the loading ended: the print spooler does not start");
        break;
    case CLoadingDlg::FAILURE_SPOOLER_NOT_ANSWERING:
        run.Finish(CAdminRun::END_FAILED, "the loading ended: the print spooler does not answer");
        break;
    default:
        if (result == -1)
            run.Finish(CAdminRun::END_FAILED, "the loading dialog cannot be created");
        else
            run.Finish(CAdminRun::END_CANCELLED, "the loading was abandoned");
        break;
    }
}

void CMainDlg::RunUnattended() {
    if (loadingDlg.enumerationFailed) {
        run.Finish(CAdminRun::END_FAILED, "the printer enumeration failed: without the whole list nothing is decided");
        EndDialog(hwnd, 1);
        return;
    }
    std::vector<std::string> unmatched;
    ChoosePrinters(database, run.options.selectNames, run.options.selectAll, unmatched);
    if (!unmatched.empty()) {
        std::vector<std::string> listed;
        for (const CPrinterEntry& p : database.printers)
            if (IsListedPrinter(p)) listed.push_back(p.printerName);
        run.Finish(CAdminRun::END_BAD_COMMAND_LINE, "bad command line: /SELECT names no listed printer: " + Quoted(unmatched) +
                                                        " (listed: " + (listed.empty() ? "none" : Quoted(listed)) + ")");
        EndDialog(hwnd, 1);
        return;
    }
    if (!run.IsPlan()) {
        PostMessageA(hwnd, UM_START_REMOVAL, 0, 0);
        return;
    }
    database.SelectForRemoval();
    std::ostringstream plan;
    PrintPlan(plan, loadingDlg.scripts, database);
    DWORD error = 0;
    if (WritePlanFile(run.options.planPath.c_str(), plan.str(), error))
        run.Finish(CAdminRun::END_DONE, "the plan is written to " + run.options.planPath + "; nothing was removed");
    else
        run.Finish(CAdminRun::END_FAILED,
                   "the plan cannot be written to " + run.options.planPath + " (error " + std::to_string(error) + ")");
    EndDialog(hwnd, 1);
}

void CMainDlg::StartRemoval() {
    ShowPage(selectPage.hwnd, false);
    ShowPage(removePage.hwnd, true);
    EnableMenuItem(GetSystemMenu(hwnd, FALSE), SC_CLOSE, MF_GRAYED);
    EnableWindow(GetDlgItem(hwnd, IDC_EXIT), FALSE);
    removePage.StartRemoval();
}

void CMainDlg::OnRemovalFinished() {
    textResources.SetDlgItemTextFromId(hwnd, IDC_EXIT, IDS_BTN_CLOSE);
    if (database.ListedPrinterCount() <= 0 || database.restartNeeded) {
        ShowPage(selectPage.hwnd, false);
        ShowPage(removePage.hwnd, true);
    } else {
        ShowPage(selectPage.hwnd, true);
        ShowPage(removePage.hwnd, false);
        selectPage.FillPrinterList();
    }
    EnableWindow(GetDlgItem(hwnd, IDC_EXIT), TRUE);
}
