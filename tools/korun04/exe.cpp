// The product korun04.exe: its entry point WinMain lives in the logic library
// (app/startup.cpp), so that the simulator runs the very same function.
//
// Every library but kernel32.dll and the C runtime is delay-imported (cmake/windows.cmake), so that none of
// them, and none of the libraries they import themselves, loads before WinMain has restricted the DLL
// search. Each is then loaded from the system directory only, whatever the search order of the Windows it
// runs on.
#include <windows.h>

#include <delayimp.h>

#include "base/library_loading.h"

namespace {

FARPROC WINAPI LoadDelayedFromSystemDirectory(unsigned notification, PDelayLoadInfo info) {
    if (notification != dliNotePreLoadLibrary || !info || !info->szDll) return NULL;
    return reinterpret_cast<FARPROC>(LoadSystemLibrary(info->szDll));
}

}  // namespace

// Declared extern "C" by delayimp.h; the delay-load helper calls it before each library it loads.
PfnDliHook __pfnDliNotifyHook2 = LoadDelayedFromSystemDirectory;
