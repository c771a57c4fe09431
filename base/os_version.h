// Which Windows family and release the tool runs on.
#pragma once

#include "base/platform.h"

class COSVersion {
public:
    enum PlatformClass { PLATFORM_UNKNOWN = 0, PLATFORM_WIN32S = 1, PLATFORM_WIN9X = 2, PLATFORM_WINNT = 3 };
    enum VersionClass {
        VERSION_UNKNOWN = 0,
        VERSION_WIN32S = 1,
        VERSION_WIN95 = 2,
        VERSION_WIN98 = 3,
        VERSION_NT3 = 4,
        VERSION_NT4 = 5,
        VERSION_NT5 = 6,  // Windows 2000 and NT 5.2
        VERSION_WINME = 7,
        VERSION_NT51_6 = 8,  // XP and NT 6.x (and later releases, which report 6.2)
    };

    COSVersion() { Detect(); }

    void Detect();
    int GetPlatformClass() const { return platformClass; }
    int GetVersionClass() const { return versionClass; }
    bool IsWin32s() const { return platformClass == PLATFORM_WIN32S; }
    bool IsWin9x() const { return platformClass == PLATFORM_WIN9X; }
    bool IsWinNT() const { return platformClass == PLATFORM_WINNT; }
    // 1 if the process may administer the machine (always 1 outside the NT family).
    int IsAdministrator() const;

    OSVERSIONINFOA versionInfo;
    int versionClass = 0;
    int platformClass = 0;
};
