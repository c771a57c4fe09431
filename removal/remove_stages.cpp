// The eighteen stages of the removal as one table, walked one stage per tick of the removal timer, and
// the work of each stage: the removers called in their order.
#include "removal/remove_page.h"

#include "base/printer_environments.h"
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

//                            row before  row after    spooler stopped  journaled  work
const CRemovePage::Stage CRemovePage::stages[STAGE_COUNT] = {
    /* STAGE_SELECT */          {0, 1,           false, false, &CRemovePage::SelectAndBackUp},
    /* STAGE_PAVANE */          {1, ROW_NONE,    false, false, &CRemovePage::WaitForPavaneStage},
    /* STAGE_BEFORE_PRINTERS */ {1, 2,           false, false, &CRemovePage::AnnouncePrinters},
    /* STAGE_PRINTERS */        {2, 3,           false, true,  &CRemovePage::PrintersStage},
    /* STAGE_DRIVERS */         {3, ROW_CURRENT, false, true,  &CRemovePage::DriversStage},
    /* STAGE_MONITORS */        {4, ROW_CURRENT, false, true,  &CRemovePage::MonitorsAndHooksStage},
    /* STAGE_PROCESSORS */      {5, ROW_CURRENT, false, true,  &CRemovePage::ProcessorsStage},
    /* STAGE_SERVICES */        {6, ROW_NONE,    false, true,  &CRemovePage::ServicesStage},
    /* STAGE_STOP_SPOOLER */    {6, ROW_CURRENT, false, true,  &CRemovePage::StopSpoolerWork},
    /* STAGE_OEM_PATHS */       {7, ROW_NONE,    true,  true,  &CRemovePage::OemPathsStage},
    /* STAGE_SHORTCUTS */       {7, ROW_NONE,    true,  true,  &CRemovePage::ShortcutsStage},
    /* STAGE_EMPTY */           {7, ROW_NONE,    true,  true,  &CRemovePage::EmptyStage},
    /* STAGE_INI */             {7, ROW_NONE,    true,  true,  &CRemovePage::IniStage},
    /* STAGE_LOAD_RUN */        {7, ROW_CURRENT, true,  true,  &CRemovePage::LoadRunStage},
    /* STAGE_FILES */           {8, ROW_NONE,    true,  true,  &CRemovePage::FilesStage},
    /* STAGE_REGISTRY */        {8, ROW_CURRENT, true,  true,  &CRemovePage::RegistryStage},
    /* STAGE_START_SPOOLER */   {9, ROW_NONE,    false, true,  &CRemovePage::StartSpoolerStage},
    /* STAGE_END */             {9, ROW_NONE,    false, true,  &CRemovePage::EndStage},
};

const CRemovePage::Stage& CRemovePage::StageAt(int n) {
    return stages[n >= 0 && n < STAGE_COUNT ? n : STAGE_END];
}

void CRemovePage::RunStage(WPARAM timerId) {
    if (timerId != IDT_REMOVAL || Host().removal.tickInProgress) return;
    Host().removal.tickInProgress = 1;
    if (waitCursor) SetCursor(waitCursor);
    if (removal.log) removal.log->SetStage(stage);
    const Stage& step = StageAt(stage);
    // Each stage that may touch the machine begins with the removal's state and its journal line.
    if (step.journaled && stage != journaledStage) {
        journaledStage = stage;
        if (backup.IsOpen() && !backup.Stage(stage, *database, removal)) {
            StopForBackup();
            Host().removal.tickInProgress = 0;
            return;
        }
    }
    if ((this->*step.work)()) {
        if (step.row == ROW_CURRENT)
            ShowRow(currentRow);
        else if (step.row != ROW_NONE)
            ShowRow(step.row);
        ++stage;
    }
    // A backup that failed during the stage stopped the removers at that item.
    if (step.journaled && removing && removal.Stopped()) StopForBackup();
    Host().removal.tickInProgress = 0;
}

bool CRemovePage::SelectAndBackUp() {
    ShowRow(0);
    waitCursor = LoadCursorA(NULL, IDC_WAIT);
    savedCursor = SetCursor(waitCursor);
    database->SelectForRemoval();
    keeper.Learn(*database, osVersion, directDirs, searchDirs);
    LogSelection();
    return BeginBackup();
}

bool CRemovePage::WaitForPavaneStage() {
    Host().removal.waitingForPavane = 0;
    ShowRow(1);
    return WaitForPavane();
}

bool CRemovePage::AnnouncePrinters() { return true; }

bool CRemovePage::PrintersStage() {
    currentRow = 2;
    RemovePrinters(removal);
    // A printer that could not be deleted, or waits for its jobs, stays: what it uses stays too.
    keeper.LearnStayingPrinters();
    currentRow = 3;
    return true;
}

bool CRemovePage::DriversStage() {
    for (const char* environment : kRemovalEnvironments) RemovePrinterDrivers(removal, environment);
    return true;
}

bool CRemovePage::MonitorsAndHooksStage() {
    for (const char* environment : kRemovalEnvironments) RemoveMonitors(removal, NULL, environment);
    RunUninstallHooks(removal);
    return true;
}

bool CRemovePage::ProcessorsStage() {
    for (const char* environment : kRemovalEnvironments) RemovePrintProcessors(removal, NULL, environment);
    return true;
}

bool CRemovePage::ServicesStage() {
    RemoveServices(removal);
    return true;
}

bool CRemovePage::StopSpoolerWork() {
    StopSpoolerStage();
    return true;
}

bool CRemovePage::OemPathsStage() {
    CollectOemPaths(removal);
    return true;
}

bool CRemovePage::ShortcutsStage() {
    RemoveShortcuts(removal);
    ShowWindow(hwnd, SW_SHOWDEFAULT);
    BringWindowToTop(hwnd);
    SetForegroundWindow(hwnd);
    return true;
}

bool CRemovePage::EmptyStage() { return true; }

bool CRemovePage::IniStage() {
    RemoveIniEntries(removal);
    return true;
}

bool CRemovePage::LoadRunStage() {
    RemoveLoadRunEntries(removal);
    return true;
}

bool CRemovePage::FilesStage() {
    RemoveFiles(removal);
    return true;
}

bool CRemovePage::RegistryStage() {
    RemoveRegistryKeys(removal);
    return true;
}

bool CRemovePage::StartSpoolerStage() {
    if (osVersion.IsWinNT()) {
        spoolerStopped = 0;
        StartSpooler();
    }
    return true;
}

bool CRemovePage::EndStage() {
    EndOfRun();
    return false;
}
