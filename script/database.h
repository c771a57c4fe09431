// PLACEHOLDER until the profile data model lands: the uninstall database with the lifetime
// the application context relies on.
#pragma once

#include "app/os_version.h"

class CUninstallDatabase {
public:
    CUninstallDatabase() : isWin9x(osVersion.IsWin9x() ? 1 : 0) {}
    COSVersion osVersion;
    int isWin9x;
    int restartNeeded = 0;
};
