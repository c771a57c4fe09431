#include "base/os_version.h"

#include <string.h>

void COSVersion::Detect() {
    memset(&versionInfo, 0, sizeof versionInfo);
    versionInfo.dwOSVersionInfoSize = sizeof versionInfo;
    versionClass = VERSION_UNKNOWN;
    platformClass = PLATFORM_UNKNOWN;
    if (!GetVersionExA(&versionInfo)) return;

    switch (versionInfo.dwPlatformId) {
    case VER_PLATFORM_WIN32s:
        platformClass = PLATFORM_WIN32S;
        versionClass = VERSION_WIN32S;
        break;
    case VER_PLATFORM_WIN32_WINDOWS:
        platformClass = PLATFORM_WIN9X;
        switch (versionInfo.dwMinorVersion) {
        case 0: versionClass = VERSION_WIN95; break;
        case 10: versionClass = VERSION_WIN98; break;
        case 90: versionClass = VERSION_WINME; break;
        default: versionClass = VERSION_UNKNOWN; break;
        }
        break;
    case VER_PLATFORM_WIN32_NT:
        platformClass = PLATFORM_WINNT;
        switch (versionInfo.dwMajorVersion) {
        case 3: versionClass = VERSION_NT3; break;
        case 4: versionClass = VERSION_NT4; break;
        case 5: versionClass = versionInfo.dwMinorVersion == 1 ? VERSION_NT51_6 : VERSION_NT5; break;
        case 6: versionClass = VERSION_NT51_6; break;
        default: versionClass = VERSION_UNKNOWN; break;
        }
        break;
    default:
        break;
    }
}
