// The run of /RESTORE: no loading phase and no window of the tool; the backup set is put back, the result
// is shown in a message box (or only logged with /QUIET) and becomes the exit code: 0 all back, 3010 a
// restart is needed to finish, 1603 an item could not be restored or the folder is not a backup set.
#pragma once

#include "app/admin_run.h"

int RunRestore(CAdminRun& run);
