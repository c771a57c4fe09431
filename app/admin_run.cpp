#include "app/admin_run.h"

#include <stdio.h>

#include "app/run_event.h"
#include "base/os_version.h"
#include "base/program_folder.h"
#include "removal/backup/removal_backup.h"
#include "writers/plan_writer.h"
#include "resources/resource.h"
#include "ui/text_resources.h"
#include "ui/dialog_base.h"
#include "ui/options_dlg.h"

namespace {

const char* AnswerName(int answer) {
    switch (answer) {
    case IDOK: return "OK";
    case IDCANCEL: return "Cancel";
    case IDYES: return "Yes";
    case IDNO: return "No";
    default: return "(no answer)";
    }
}

const char* ModeName(CRunOptions::Mode mode) {
    switch (mode) {
    case CRunOptions::MODE_QUIET: return "unattended removal (/QUIET)";
    case CRunOptions::MODE_PLAN: return "what-if plan (/PLAN)";
    case CRunOptions::MODE_CAPTURE: return "capture of the machine (/CAPTURE)";
    case CRunOptions::MODE_REPORT: return "fleet report (/REPORT)";
    default: return "interactive";
    }
}

std::string Selection(const CRunOptions& o) {
    if (o.selectAll) return "every listed printer";
    std::string names;
    for (const std::string& name : o.selectNames) names += (names.empty() ? "\"" : ", \"") + name + "\"";
    return names.empty() ? "every listed printer" : names;
}

// A restore or the finish of a removal cut short works on a backup set, not on a selection: the line says
// which set.
std::string SetRunName(const CRunOptions& o) {
    const std::string how = o.mode == CRunOptions::MODE_QUIET ? "unattended " : "";
    if (o.restore)
        return how + "restore of " +
               (o.restoreFolder.empty() ? std::string("the newest backup set (/RESTORE:LAST)")
                                        : "the backup set " + o.restoreFolder + " (/RESTORE)");
    const std::string folder = CRemovalBackup::FindUnfinished(COSVersion());
    return how + "finish of the removal " +
           (folder.empty() ? std::string("cut short, when there is one") : "in the backup set " + folder) + " (/RESUME)";
}

}  // namespace

CAdminRun::CAdminRun() : end(END_OPEN), restartNeeded(false), restartStarted(false) {
    const char* commandLine = GetCommandLineA();
    options.Parse(commandLine);
    bool opened = !options.logPath.empty() && log.Open(options.logPath);
    const DWORD openError = opened || options.logPath.empty() ? 0 : log.OpenError();
    if (!opened) log.Open(CRunLog::DefaultPath());
    COSVersion os;
    log.WriteHeader(commandLine, os);
    if (openError)
        log.Write("run", "the log /LOG:\"" + options.logPath + "\" cannot be opened (error " + std::to_string(openError) +
                             "): it is written here");
    std::string mode = options.restore || options.resume ? SetRunName(options) : ModeName(options.mode);
    if (options.mode == CRunOptions::MODE_QUIET)
        mode += (options.restore || options.resume ? "" : ", removing " + Selection(options)) +
                (options.restart ? ", restart when needed" : ", no restart");
    if (options.mode == CRunOptions::MODE_PLAN) mode += " of " + Selection(options) + " to " + options.planPath;
    if (options.mode == CRunOptions::MODE_CAPTURE) mode += " to " + options.capturePath;
    log.Write("run", mode);
    if (!ProgramFolderIsTrusted())
        log.Write("run", "program folder | " + ProgramFolder() +
                             " | a folder a user can write: no uninstall script, no \"Strings\" of the default script "
                             "and no hook library is taken from it");
    if (!options.error.empty()) {
        if (IsUnattended())
            Finish(END_BAD_COMMAND_LINE, "bad command line: " + options.error);
        else
            log.Write("run", "note: " + options.error + " (the interactive mode does not use it)");
    }
    if (IsUnattended()) HideDialogs(true);
}

CAdminRun::~CAdminRun() {
    if (IsUnattended()) HideDialogs(false);
}

CAdminRun* CAdminRun::Active() { return dynamic_cast<CAdminRun*>(&CHost::Current()); }

bool CAdminRun::CheckPlanFile() {
    if (!IsPlan() || end != END_OPEN) return end == END_OPEN;
    DWORD error = 0;
    if (PlanFileCanBeWritten(options.planPath.c_str(), error)) return true;
    Finish(END_FAILED, "the plan cannot be written to " + options.planPath + " (error " + std::to_string(error) +
                           "): nothing was loaded");
    return false;
}

void CAdminRun::Finish(End how, const std::string& why) {
    if (end != END_OPEN) return;
    end = how;
    if (!why.empty()) log.Write("run", why);
}

void CAdminRun::FinishRemoval(bool needed, bool started) {
    restartNeeded = needed;
    restartStarted = started;
    Finish(END_DONE, "");
}

int CAdminRun::ExitCode(int dialogResult) {
    int code = dialogResult;
    const char* meaning = "the main window's result";
    if (IsUnattended()) {
        switch (end) {
        case END_BAD_COMMAND_LINE: code = EXIT_BAD_COMMAND_LINE, meaning = "bad command line"; break;
        case END_NOT_ADMINISTRATOR: code = EXIT_NOT_ADMINISTRATOR, meaning = "not an administrator"; break;
        case END_FAILED: code = EXIT_FATAL, meaning = "fatal error"; break;
        case END_ALREADY_RUNNING: code = EXIT_ALREADY_RUNNING, meaning = "another copy runs"; break;
        case END_DONE:
            if (restartStarted)
                code = EXIT_RESTART_STARTED, meaning = "done, Windows restarts";
            else if (restartNeeded)
                code = EXIT_RESTART_NEEDED, meaning = "done, a restart is needed";
            else
                code = EXIT_DONE, meaning = "done";
            break;
        default: code = EXIT_CANCELLED, meaning = "cancelled"; break;
        }
    }
    ReportRunEvent(*this, code);
    log.Write("end", "exit code " + std::to_string(code) + " (" + meaning + ")");
    return code;
}

int CAdminRun::ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type, QuietAnswer quiet) {
    int answer = 0;
    std::string taken;
    if (IsUnattended()) {
        const bool yesNo = (type & 0xF) == MB_YESNO;
        const bool yes = quiet == QUIET_ANSWER_YES || (quiet == QUIET_ANSWER_RESTART && options.restart);
        answer = !yesNo ? IDOK : yes ? IDYES : IDNO;
        taken = " (not shown)";
    } else {
        // What the removal did so far is in the log while the box waits for its answer.
        log.WriteItems(true);
        answer = MessageBoxA(owner, text, caption, type);
    }
    log.Write("message box", std::string("\"") + (caption ? caption : "") + "\": \"" + (text ? text : "") + "\" -> " +
                                 AnswerName(answer) + taken);
    return answer;
}

bool CommandLineIsUnattended() {
    CRunOptions options;
    options.Parse(GetCommandLineA());
    return options.IsUnattended();
}

bool CommandLineAsksForHelp() {
    CRunOptions options;
    options.Parse(GetCommandLineA());
    return options.help;
}

int ShowOptions(HINSTANCE module) {
    CTextResources texts(module);
    const std::vector<std::string> lines = COptionsDlg::Lines(texts);
    CRunOptions options;
    options.Parse(GetCommandLineA());
    if (!options.IsUnattended()) {
        COptionsDlg window(COptionsDlg::Text(lines));
        DialogBoxParamA(module, MAKEINTRESOURCEA(IDD_OPTIONS), NULL, StaticDialogProc, reinterpret_cast<LPARAM>(&window));
        return 0;
    }
    // Unattended, nobody reads a window: the options go to the log, a line each.
    CRunLog log;
    if (options.logPath.empty() || !log.Open(options.logPath)) log.Open(CRunLog::DefaultPath());
    COSVersion os;
    log.WriteHeader(GetCommandLineA(), os);
    for (const std::string& line : lines)
        if (!line.empty()) log.Write("options", line);
    log.Write("end", "exit code 0 (the options were shown)");
    return 0;
}
