// The one platform header of the tool: the Windows SDK on Windows, simwin on the host build.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
#include <winspool.h>
#include <setupapi.h>
#include <cfgmgr32.h>
#include <ddeml.h>
#include <sddl.h>
#include <stdlib.h>
#include <string.h>
// winspool.drv exports AddPortExA, but mingw-w64's winspool.h does not declare it.
extern "C" BOOL WINAPI AddPortExA(LPSTR pName, DWORD Level, LPBYTE lpBuffer, LPSTR lpMonitorName);
#else
#include "simwin/win32.h"
#endif

// setupapi.dll of Windows Vista and later says where the driver store keeps an INF and under which name the
// INF directory publishes it. mingw-w64 declares neither function and Wine does not export them, so the tool
// looks them up at run time with these types.
typedef BOOL(WINAPI* SetupGetInfPublishedNameFn)(PCSTR DriverStoreLocation, PSTR ReturnBuffer, DWORD ReturnBufferSize,
                                                 PDWORD RequiredSize);
typedef BOOL(WINAPI* SetupGetInfDriverStoreLocationFn)(PCSTR FileName, void* AlternatePlatformInfo, PCSTR LocaleName,
                                                       PSTR ReturnBuffer, DWORD ReturnBufferSize, PDWORD RequiredSize);
