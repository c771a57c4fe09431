// winspool: the print spooler.
#pragma once

#include "simwin/types.h"

BOOL WINAPI GetPrinterDriverDirectoryA(LPSTR server, LPSTR environment, DWORD level, LPBYTE buffer, DWORD size,
                                       LPDWORD needed);
BOOL WINAPI GetPrintProcessorDirectoryA(LPSTR server, LPSTR environment, DWORD level, LPBYTE buffer, DWORD size,
                                        LPDWORD needed);
