// The entry point: chooses the run mode from the whole command tail, keeps a second
// interactive copy from starting, and runs the main window.
#include <string.h>

#include <string>

#include "app/capture_folder.h"
#include "base/library_loading.h"
#include "app/main_dlg.h"
#include "app/report_run.h"
#include "app/restore_run.h"
#include "writers/capture_writer.h"
#include "resources/resource.h"
#include "ui/text_resources.h"

const char kMainWindowClass[] = "VSTUninstallWindowClass__";
int RunRestartSpooler() {
    OSVERSIONINFOA version;
    memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    if (version.dwMajorVersion > 4) {
        SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
        if (manager) {
            SC_HANDLE service = OpenServiceA(manager, "Spooler", SERVICE_START | SERVICE_STOP);
            if (service) {
                SERVICE_STATUS status;
                if (ControlService(service, SERVICE_CONTROL_STOP, &status)) {
                    if (!StartServiceA(service, 0, NULL))
                        MessageBoxA(NULL, "Error starting Spooler Service.", "Fatal Error", MB_ICONERROR);
                }
                CloseServiceHandle(service);
            }
            CloseServiceHandle(manager);
        }
    }
    HKEY key = NULL;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", 0, KEY_ALL_ACCESS,
                      &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, "Lumica 900");
        RegCloseKey(key);
    }
    return 0;
}

void RegisterMainWindowClass() {
    WNDCLASSA wc;
    if (GetClassInfoA(NULL, "#32770", &wc)) {
        wc.lpszClassName = kMainWindowClass;
        RegisterClassA(&wc);
    }
}

int RunMainWindow(HINSTANCE instance, CMainDlg& context) {
    return static_cast<int>(
        DialogBoxParamA(instance, "IDD_MAIN_NOBMP", NULL, StaticDialogProc, reinterpret_cast<LPARAM>(&context)));
}

namespace {

// /CAPTURE: the machine written as a machine directory for the simulator. It only reads: no window, no
// loading phase, no spooler restart; a copy of the tool that runs meanwhile is left alone.
int RunCapture() {
    CAdminRun run;
    if (run.Ended() == CAdminRun::END_BAD_COMMAND_LINE) return run.ExitCode(1);
    std::string folder, why;
    if (!ResolveCaptureFolder(run.options.capturePath, folder, why)) {
        run.Finish(CAdminRun::END_BAD_COMMAND_LINE, "bad command line: /CAPTURE: " + why);
        CTextResources texts(GetModuleHandleA(NULL));
        char text[1024];
        FillTexts(text, sizeof text, texts.GetString(IDS_CAPTURE_FOLDER_USED), {folder.empty() ? run.options.capturePath : folder});
        RunMessageBox(NULL, text, texts.GetString(IDS_CAPTION), MB_OK | MB_ICONSTOP | MB_SETFOREGROUND);
        return run.ExitCode(1);
    }
    CCaptureWriter writer;
    const bool written = writer.Write(folder, why);
    for (const std::string& line : writer.Report()) run.log.Write("capture", line);
    if (written)
        run.Finish(CAdminRun::END_DONE, "the machine is captured in " + folder + "; nothing was changed");
    else
        run.Finish(CAdminRun::END_FAILED, "the capture cannot be written: " + why);
    return run.ExitCode(0);
}

bool CommandLineIsCapture() {
    CRunOptions options;
    options.Parse(GetCommandLineA());
    return options.mode == CRunOptions::MODE_CAPTURE;
}

// A visible top-level window that owner owns, the topmost of them; null when there is none.
HWND VisibleOwnedWindow(HWND owner) {
    for (HWND w = FindWindowExA(NULL, NULL, NULL, NULL); w; w = FindWindowExA(NULL, w, NULL, NULL))
        if (w != owner && GetWindow(w, GW_OWNER) == owner && IsWindowVisible(w)) return w;
    return NULL;
}

// What the running copy shows a person: its main window, or what that window waits on. While it loads,
// the main window is hidden and the loading dialog it owns is shown; a message box of the loading dialog
// is owned in turn by that dialog. The chain of owners is followed to its end (a few windows deep at most).
HWND ShownWindowOf(HWND main) {
    HWND shown = main;
    for (int depth = 0; depth < 8; ++depth) {
        HWND popup = VisibleOwnedWindow(shown);
        if (!popup) break;
        shown = popup;
    }
    return shown;
}

// Brings the running copy's window to the front. Its hidden main window is shown only when it shows
// nothing else: during the loading phase it stays hidden behind the loading dialog.
void ActivateRunningCopy(HWND main) {
    HWND shown = ShownWindowOf(main);
    if (shown == main) ShowWindow(main, SW_SHOWDEFAULT);
    BringWindowToTop(shown);
    SetForegroundWindow(shown);
}

int RunInteractive(HINSTANCE instance) {
    InitCommonControls();
    HWND running = FindWindowA(kMainWindowClass, NULL);
    if (running) {
        if (CommandLineIsUnattended()) {
            // An unattended run leaves the other copy's window alone and says why it did nothing.
            CAdminRun run;
            run.Finish(CAdminRun::END_ALREADY_RUNNING, "another copy of the tool is running: nothing was done");
            return run.ExitCode(0);
        }
        ActivateRunningCopy(running);
        throw 0;
    }
    CMainDlg context;
    // A bad command line of an unattended mode, or a plan file that cannot be written, ends the run before
    // anything is touched.
    context.run.CheckPlanFile();
    if (context.run.Ended() != CAdminRun::END_OPEN) return context.run.ExitCode(1);
    // A restore puts a backup set back without the loading phase or the tool's window.
    if (context.run.options.restore) return RunRestore(context.run);
    RegisterMainWindowClass();
    const int result = RunMainWindow(instance, context);
    // Without a desktop to create windows on (a service session, Wine without a display) nothing ran.
    if (result == -1)
        context.run.Finish(CAdminRun::END_FAILED,
                           "the main window cannot be created (error " + std::to_string(GetLastError()) + ")");
    return context.run.ExitCode(result);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandTail, int showCommand) {
    (void)previous;
    (void)showCommand;
    // Before anything loads a library: nothing beside the program or in the current directory is loaded.
    RestrictDllSearch();
    if (commandTail && _strcmpi(commandTail, "RestartSpooler") == 0) return RunRestartSpooler();
    // The options are shown before anything else: no other copy is looked for, nothing is touched.
    if (CommandLineAsksForHelp()) return ShowOptions(instance);
    // The fleet report reads logs and nothing else: no other copy is looked for, no administrator is needed.
    if (CommandLineIsReport()) return RunReport();
    if (CommandLineIsCapture()) return RunCapture();
    try {
        return RunInteractive(instance);
    } catch (int code) {
        return code;
    }
}
