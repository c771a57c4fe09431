// The loading dialog object: construction with the command-line options, the command-line syntax, and
// the loading steps, one per tick of the loading timer.
#include "inventory/loading_dlg.h"

#include <string.h>

#include <string>
#include <vector>

#include "base/host.h"
#include "base/system_services.h"

namespace {

const UINT kTickMs = 400;
const UINT kTickAfterNoMs = 200;  // after the user declined to abort
const int kLastStep = 10;

}  // namespace


CLoadingDlg::CLoadingDlg()
    : database(NULL), step(0), ended(0), spoolerStopped(0), failure(FAILURE_NONE), enumerationFailed(0), log(NULL) {
    diagnostic[0] = 0;
    ParseCommandLine();
    osVersion.Detect();
    scripts.Clear();
    textResources.SetInstance(NULL);
    step = 0;
}

CLoadingDlg::~CLoadingDlg() {
    scripts.Clear();
    options.Clear();
}

INT_PTR CLoadingDlg::DialogProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog();
        return 1;
    case WM_SHOWWINDOW:
        if (wParam) {
            CenterWindow(hwnd, GetDesktopWindow());
            SetTimer(hwnd, IDT_LOADING, kTickMs, NULL);
        }
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            OnAbortRequest();
            return 1;
        }
        return 0;
    case WM_TIMER:
        OnLoadingTimer(wParam);
        return 0;
    default:
        return 0;
    }
}

void CLoadingDlg::OnInitDialog() {
    textResources.SetInstance(reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(hwnd, GWLP_HINSTANCE)));
    textResources.SetWindowTextFromId(hwnd, IDS_LOADING_TITLE);
    textResources.SetDlgItemTextFromId(hwnd, IDC_LOADING_TEXT, IDS_CREATING_DATABASE);
    SendProgress(PBM_SETRANGE, 0, MAKELONG(0, 99));
    SendProgress(PBM_SETPOS, 1, 0);
    SendProgress(PBM_SETSTEP, 2, 0);
    ShowWindow(GetDlgItem(hwnd, IDC_LOADING_HIDDEN), SW_HIDE);
}

void CLoadingDlg::OnAbortRequest() {
    KillTimer(hwnd, IDT_LOADING);
    const char* text = textResources.GetString(IDS_ABORT_QUESTION);
    const char* caption = textResources.GetString(IDS_CAPTION);
    if (RunMessageBox(hwnd, text, caption, MB_YESNO | MB_DEFBUTTON2, QUIET_ANSWER_YES) == IDYES) {
        failure = FAILURE_ABANDONED;
        EndLoading(0);
    }
    else
        SetTimer(hwnd, IDT_LOADING, kTickAfterNoMs, NULL);
}

LRESULT CLoadingDlg::SendProgress(UINT message, WPARAM wParam, LPARAM lParam) {
    return SendDlgItemMessageA(hwnd, IDC_LOADING_PROGRESS, message, wParam, lParam);
}

void CLoadingDlg::OnLoadingTimer(WPARAM timerId) {
    if (timerId != IDT_LOADING || CHost::Current().loading.busy) return;
    CHost::Current().loading.busy = 1;
    SendProgress(PBM_STEPIT, 0, 0);
    if (RunStep()) {
        if (step > kLastStep)
            EndLoading(1);
        else
            SendProgress(PBM_STEPIT, 0, 0);
    }
    CHost::Current().loading.busy = 0;
}

void CLoadingDlg::ShowError(UINT textId) {
    const char* text = textResources.GetString(textId);
    const char* caption = textResources.GetString(IDS_CAPTION);
    RunMessageBox(hwnd, text, caption, MB_ICONERROR);
}

bool CLoadingDlg::RunStep() {
    switch (step) {
    case 0:
        if (!osVersion.IsAdministrator()) {
            failure = FAILURE_NOT_ADMINISTRATOR;
            ShowError(IDS_NO_ADMIN_RIGHTS);
            EndLoading(0);
            return false;
        }
        step = 1;
        return true;
    case 1:
        CloseSiblingApplications();
        step = 2;
        return true;
    case 2:
        if (osVersion.IsWinNT()) {
            StopSpooler();
            spoolerStopped = 1;
        }
        step = 3;
        return true;
    case 3:
        if (CHost::Current().loading.stopWaits >= 8)
            step = 4;
        else
            ++CHost::Current().loading.stopWaits;
        return true;
    case 4:
        if (osVersion.IsWinNT()) {
            spoolerStopped = 0;
            if (!StartSpooler()) {
                failure = FAILURE_SPOOLER_NOT_STARTING;
                ShowError(IDS_SPOOLER_UNSTABLE);
                EndLoading(0);
                return false;
            }
        }
        step = 5;
        return true;
    case 5:
        if (CHost::Current().loading.startWaits >= 3)
            step = 6;
        else
            ++CHost::Current().loading.startWaits;
        return true;
    case 6:
        FindScriptsStep();
        step = 7;
        return true;
    case 7: {
        std::vector<int> read;
        for (const char* path : scripts) read.push_back(database->ParseScript(path));
        LogScripts(read.data());
        step = 8;
        return true;
    }
    case 8:
        database->BuildCombinedProfile();
        database->ApplyPavaneOption(options.HasOption("UNPAV"));
        step = 9;
        return true;
    case 9: {
        // A second pass starts from an empty list, so that every printer is listed once.
        if (CHost::Current().loading.retries > 0) database->printers.Clear();
        enumerationFailed = 0;  // set again by a failure of this pass
        int found = BuildListOfInstalledPrinters(database->printers);
        if (ended) return false;
        step = 10;
        if (found == 0 && CHost::Current().loading.retries == 0) {
            SendProgress(PBM_SETPOS, 5, 0);
            step = 1;
            if (log) log->Write("loading", "no printer could be read: the loading starts again from its second step");
        }
        ++CHost::Current().loading.retries;
        if (step == 10) LogPrinters();
        return true;
    }
    case 10:
        CloseSiblingApplications();
        SendProgress(PBM_SETSTEP, 1, 0);
        SendProgress(PBM_SETPOS, 95, 0);
        step = 11;
        return true;
    default:
        KillTimer(hwnd, IDT_LOADING);
        ++step;
        return true;
    }
}

void CLoadingDlg::FindScriptsStep() {
    database->FindAllScripts(scripts);
    const int count = static_cast<int>(scripts.Count());
    if (count == 0) ShowError(IDS_NO_SCRIPTS);
    SendProgress(PBM_SETPOS, 20, 0);
    SendProgress(PBM_SETSTEP, count ? 10 / count : 10, 0);
}

void CLoadingDlg::EndLoading(INT_PTR result) {
    ended = 1;
    if (result != 1 && spoolerStopped) {
        spoolerStopped = 0;
        StartSpooler();
    }
    EndDialog(hwnd, result);
}

void CLoadingDlg::ParseCommandLine() {
    char line[COMMAND_LINE_SIZE];
    // A longer command line is cut to the buffer.
    lstrcpynA(line, GetCommandLineA(), sizeof line);
    char* rest = line;
    while (rest && *rest) {
        char* token = rest;
        rest = NextTokenQuoted(token, ' ');
        if (token[0] != '/' && token[0] != '-') continue;
        char* name = token + 1;
        char* values = NextTokenQuoted(name, ':');
        CTextList& option = options.AddOption(name);
        // "/MFG:" has one empty value; each value keeps its double quotes.
        for (char* value = values; value;) {
            char* next = NextTokenQuoted(value, ',');
            option.Add(value);
            value = next;
        }
    }
}

void CLoadingDlg::LogScripts(const int* read) const {
    if (!log) return;
    if (scripts.IsEmpty()) log->Write("loading", "no uninstall script (Kunz__04.unm) was found");
    int i = 0;
    for (const char* path : scripts) log->Write("loading", std::string("script | ") + path + (read[i++] ? " | read" : " | not read"));
}

void CLoadingDlg::LogPrinters() const {
    if (!log) return;
    if (database->printers.IsEmpty()) log->Write("loading", "no printer was found");
    for (const CPrinterEntry& p : database->printers) {
        std::string about = std::string("driver \"") + p.driverName + "\"";
        if (p.isFamily) about += ", of the family";
        if (!p.pavedName.empty()) about += ", managed by Pavane as \"" + p.pavedName + "\"";
        if (!p.location.empty()) about += ", connection to " + p.location;
        if (p.isDefault) about += ", the default printer";
        const char* listing = p.isForeign ? "not of the family: never listed" : p.isListed ? "listed" : "hidden by the command-line filter";
        log->Write("loading", std::string("printer | ") + p.printerName + " | " + about + " | " + listing);
    }
}
