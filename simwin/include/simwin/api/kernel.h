// kernel32: errors, handles, version, modules and libraries, system directories, time.
#pragma once

#include "simwin/types.h"

DWORD WINAPI GetLastError(void);
void WINAPI SetLastError(DWORD code);
BOOL WINAPI CloseHandle(HANDLE h);

typedef struct _OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    CHAR szCSDVersion[128];
} OSVERSIONINFOA, *POSVERSIONINFOA, *LPOSVERSIONINFOA;
#define VER_PLATFORM_WIN32s 0
#define VER_PLATFORM_WIN32_WINDOWS 1
#define VER_PLATFORM_WIN32_NT 2
BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA info);

DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size);
HMODULE WINAPI GetModuleHandleA(LPCSTR name);
LPSTR WINAPI GetCommandLineA(void);
#define MAX_COMPUTERNAME_LENGTH 15
BOOL WINAPI GetComputerNameA(LPSTR buffer, LPDWORD size);
UINT WINAPI GetWindowsDirectoryA(LPSTR buffer, UINT size);
UINT WINAPI GetSystemDirectoryA(LPSTR buffer, UINT size);
DWORD WINAPI GetTempPathA(DWORD size, LPSTR buffer);

HMODULE WINAPI LoadLibraryA(LPCSTR name);
#define LOAD_WITH_ALTERED_SEARCH_PATH 0x8
#define LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR 0x100
#define LOAD_LIBRARY_SEARCH_APPLICATION_DIR 0x200
#define LOAD_LIBRARY_SEARCH_USER_DIRS 0x400
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x800
#define LOAD_LIBRARY_SEARCH_DEFAULT_DIRS 0x1000
// The LOAD_LIBRARY_SEARCH_* flags exist on Windows 8 and later (ERROR_INVALID_PARAMETER before);
// LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR and LOAD_WITH_ALTERED_SEARCH_PATH need a full path. hFile must be null.
HMODULE WINAPI LoadLibraryExA(LPCSTR name, HANDLE hFile, DWORD flags);
// Only through GetProcAddress of kernel32.dll, where the machine's Windows has it (see LoadLibraryExA).
BOOL WINAPI SetDefaultDllDirectories(DWORD flags);
// "" takes the current directory out of the DLL search; NULL puts it back.
BOOL WINAPI SetDllDirectoryA(LPCSTR path);
FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR name);
BOOL WINAPI FreeLibrary(HMODULE module);

// Memory figures of the machine: a 64-bit Windows with 16 GB of RAM, about half of it in use, and the
// 128 TB user address space of a 64-bit process. dwLength becomes sizeof(MEMORYSTATUS) (56 bytes).
typedef struct _MEMORYSTATUS {
    DWORD dwLength;
    DWORD dwMemoryLoad;
    SIZE_T dwTotalPhys;
    SIZE_T dwAvailPhys;
    SIZE_T dwTotalPageFile;
    SIZE_T dwAvailPageFile;
    SIZE_T dwTotalVirtual;
    SIZE_T dwAvailVirtual;
} MEMORYSTATUS, *LPMEMORYSTATUS;
void WINAPI GlobalMemoryStatus(LPMEMORYSTATUS status);

// Local memory, as the security functions hand it out: LocalFree(null) and a freed block give null.
#define LMEM_FIXED 0x0000
#define LMEM_ZEROINIT 0x0040
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)
HLOCAL WINAPI LocalAlloc(UINT flags, SIZE_T bytes);
HLOCAL WINAPI LocalFree(HLOCAL memory);

HANDLE WINAPI GetCurrentProcess(void);
void WINAPI Sleep(DWORD ms);
DWORD WINAPI GetTickCount(void);

// The machine's local time: every machine starts at 2025-03-03 09:00:00.000 (a Monday) and its clock runs
// with the virtual clock, so that a run shows the same times every time.
void WINAPI GetLocalTime(LPSYSTEMTIME time);
// Text for a debugger: the transcript shows it as "debug: TEXT" (without its line break).
void WINAPI OutputDebugStringA(LPCSTR text);
// The one simulated thread.
DWORD WINAPI GetCurrentThreadId(void);

// Text between the ANSI code page and UTF-16. simwin's ANSI text is UTF-8, so CP_ACP, CP_OEMCP and CP_UTF8
// all convert UTF-8; a byte sequence that is not UTF-8 becomes U+FFFD (or fails with
// ERROR_NO_UNICODE_TRANSLATION, 1113, under MB_ERR_INVALID_CHARS), an unpaired surrogate likewise. A length
// of -1 takes the text with its NUL; a buffer size of 0 asks for the size; a short buffer fails with
// ERROR_INSUFFICIENT_BUFFER (122). The result counts the units written (or needed), the NUL included when
// it was part of the input.
#define CP_ACP 0
#define CP_OEMCP 1
#define CP_UTF8 65001
#define MB_PRECOMPOSED 0x00000001
#define MB_ERR_INVALID_CHARS 0x00000008
#define WC_ERR_INVALID_CHARS 0x00000080
#define WC_NO_BEST_FIT_CHARS 0x00000400
int WINAPI MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int length, LPWSTR wide, int wideSize);
int WINAPI WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int length, LPSTR text, int textSize,
                               LPCSTR defaultChar, LPBOOL usedDefaultChar);

int WINAPI lstrlenA(LPCSTR s);
LPSTR WINAPI lstrcpyA(LPSTR dst, LPCSTR src);
LPSTR WINAPI lstrcpynA(LPSTR dst, LPCSTR src, int max);
LPSTR WINAPI lstrcatA(LPSTR dst, LPCSTR src);
int WINAPI lstrcmpiA(LPCSTR a, LPCSTR b);
int WINAPI wsprintfA(LPSTR buffer, LPCSTR format, ...);

#define STILL_ACTIVE 259
#define INFINITE 0xFFFFFFFF

// Processes.
typedef struct _STARTUPINFOA {
    DWORD cb;
    LPSTR lpReserved;
    LPSTR lpDesktop;
    LPSTR lpTitle;
    DWORD dwX;
    DWORD dwY;
    DWORD dwXSize;
    DWORD dwYSize;
    DWORD dwXCountChars;
    DWORD dwYCountChars;
    DWORD dwFillAttribute;
    DWORD dwFlags;
    WORD wShowWindow;
    WORD cbReserved2;
    LPBYTE lpReserved2;
    HANDLE hStdInput;
    HANDLE hStdOutput;
    HANDLE hStdError;
} STARTUPINFOA, *LPSTARTUPINFOA;

typedef struct _PROCESS_INFORMATION {
    HANDLE hProcess;
    HANDLE hThread;
    DWORD dwProcessId;
    DWORD dwThreadId;
} PROCESS_INFORMATION, *PPROCESS_INFORMATION, *LPPROCESS_INFORMATION;

BOOL WINAPI CreateProcessA(LPCSTR applicationName, LPSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
                           LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD creationFlags,
                           LPVOID environment, LPCSTR currentDirectory, LPSTARTUPINFOA startupInfo,
                           LPPROCESS_INFORMATION processInformation);
BOOL WINAPI GetExitCodeProcess(HANDLE process, LPDWORD exitCode);
// Starts the program of a command line as CreateProcessA does (the first token, searched where
// Windows searches): a value above 31 when it started, else ERROR_FILE_NOT_FOUND (2) or
// ERROR_PATH_NOT_FOUND (3).
UINT WINAPI WinExec(LPCSTR commandLine, UINT showCommand);
