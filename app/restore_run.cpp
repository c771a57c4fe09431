#include "app/restore_run.h"

#include "base/system_services.h"
#include "base/text_lines.h"
#include "removal/backup/restore.h"
#include "resources/resource.h"
#include "ui/text_resources.h"

int RunRestore(CAdminRun& run) {
    COSVersion os;
    os.Detect();
    CTextResources texts(GetModuleHandleA(NULL));
    const char* caption = texts.GetString(IDS_CAPTION);
    // A removal killed while the spooler was stopped left it so: the printers, drivers, monitors and
    // processors come back through it. It is stopped again afterwards, as it was found.
    const bool spoolerWasStopped = os.IsWinNT() && IsSpoolerStopped();
    if (spoolerWasStopped) {
        run.log.Write("restore", "the spooler was stopped: it runs for the restore and is stopped again after it");
        StartSpooler();
    }
    CRestore restore;
    std::string error;
    const bool restored = restore.Run(run.options.restoreFolder, os, &run.log, error);
    if (spoolerWasStopped) StopSpooler();
    if (!restored) {
        run.Finish(CAdminRun::END_FAILED, "nothing was restored: " + error);
        RunMessageBox(NULL, error.c_str(), caption, MB_OK | MB_ICONSTOP | MB_SETFOREGROUND);
        return run.ExitCode(1);
    }
    const CRestore::Counts& c = restore.Result();
    run.counts = "restored " + std::to_string(c.restored) + ", already there " + std::to_string(c.alreadyThere) +
                 ", failed " + std::to_string(c.failed) + ", cannot come back now " + std::to_string(c.cannotComeBack);
    run.log.Write("restore", std::to_string(c.restored) + " restored, " + std::to_string(c.alreadyThere) +
                                 " already there, " + std::to_string(c.failed) + " failed, " +
                                 std::to_string(c.cannotComeBack) + " cannot come back now" +
                                 (c.restartNeeded ? "; a restart is needed, then /RESTORE again" : ""));
    char text[2048];
    FillTexts(text, sizeof text, texts.GetString(IDS_RESTORE_RESULT),
              {std::to_string(c.restored), std::to_string(c.alreadyThere), std::to_string(c.failed),
               std::to_string(c.cannotComeBack), run.log.Path()});
    std::string shown = text;
    if (c.restartNeeded) shown += std::string("\n\n") + texts.GetString(IDS_RESTORE_RESTART);
    RunMessageBox(NULL, shown.c_str(), caption, MB_OK | (c.failed ? MB_ICONWARNING : MB_ICONINFORMATION) | MB_SETFOREGROUND);
    if (c.failed)
        run.Finish(CAdminRun::END_FAILED, Counted(c.failed, "item") + " of " + restore.Folder() + " could not be restored");
    else
        run.FinishRemoval(c.restartNeeded, false);
    return run.ExitCode(0);
}
