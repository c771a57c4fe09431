#include "removal/service_remover.h"

namespace {

// Whether a service still exists after the tool let go of it: then its deletion waits for it to stop or
// for the last handle of another program, at the latest for the next start of Windows.
bool StillThere(SC_HANDLE manager, const char* name) {
    SC_HANDLE service = OpenServiceA(manager, name, SERVICE_QUERY_STATUS);
    if (service) {
        CloseServiceHandle(service);
        return true;
    }
    return GetLastError() == ERROR_SERVICE_MARKED_FOR_DELETE;
}

}  // namespace

void RemoveServices(CRemovalContext& context) {
    if (!context.osVersion.IsWinNT()) return;
    SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_CREATE_SERVICE);
    if (!manager) return;
    for (const char* name : context.database->removal.services) {
        if (context.Refused(ItemKind::Service, name, context.keeper->Service(name))) continue;
        SC_HANDLE service = OpenServiceA(manager, name, SERVICE_ALL_ACCESS);
        if (!service) {
            const DWORD error = GetLastError();
            if (error == ERROR_SERVICE_DOES_NOT_EXIST)
                context.Report(ItemKind::Service, name, CRunLog::NOT_THERE);
            else
                context.Report(ItemKind::Service, name, CRunLog::FAILED, error);
            continue;
        }
        CBackupRecord record;
        if (!context.Save(ItemKind::Service, name, RecordService(name, record) ? CSavedForm::Record(record) : CSavedForm::Nothing())) {
            CloseServiceHandle(service);
            break;
        }
        BOOL deleted = DeleteService(service);
        DWORD error = deleted ? ERROR_SUCCESS : GetLastError();
        CloseServiceHandle(service);
        if (!deleted && error != ERROR_SERVICE_MARKED_FOR_DELETE) {
            context.Report(ItemKind::Service, name, CRunLog::FAILED, error);
            continue;
        }
        context.database->restartNeeded = 1;
        // A service deleted at once is no reason to restart Windows; one only marked is.
        const bool marked = StillThere(manager, name);
        if (marked) context.pendingAtRestart = 1;
        if (marked)
            context.Report(ItemKind::Service, name, CRunLog::SCHEDULED, 0, "marked for deletion");
        else
            context.Report(ItemKind::Service, name, CRunLog::REMOVED);
    }
    CloseServiceHandle(manager);
}
