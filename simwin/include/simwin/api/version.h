// version.dll: the version resource of the program file. The program's own path (GetModuleFileNameA(NULL))
// carries the VERSIONINFO of its resource script; every other file has none.
#pragma once

#include "simwin/types.h"


typedef struct tagVS_FIXEDFILEINFO {
    DWORD dwSignature;  // VS_FFI_SIGNATURE
    DWORD dwStrucVersion;
    DWORD dwFileVersionMS;
    DWORD dwFileVersionLS;
    DWORD dwProductVersionMS;
    DWORD dwProductVersionLS;
    DWORD dwFileFlagsMask;
    DWORD dwFileFlags;
    DWORD dwFileOS;
    DWORD dwFileType;
    DWORD dwFileSubtype;
    DWORD dwFileDateMS;
    DWORD dwFileDateLS;
} VS_FIXEDFILEINFO;

#define VS_FFI_SIGNATURE 0xFEEF04BDL
#define VS_FFI_STRUCVERSION 0x00010000L
#define VS_FFI_FILEFLAGSMASK 0x0000003FL
#define VOS_NT_WINDOWS32 0x00040004L
#define VFT_APP 0x00000001L

// The size a buffer needs for GetFileVersionInfoA: twice the resource plus 4 bytes, as Windows asks for a
// 32-bit module (the second half is where VerQueryValueA puts the ANSI forms of the strings). *handle
// becomes 0. Fails with 0: a file without a version resource 1813 (ERROR_RESOURCE_TYPE_NOT_FOUND), a
// missing file 2 or 3, no name 87, an empty name 161.
DWORD WINAPI GetFileVersionInfoSizeA(LPCSTR filename, LPDWORD handle);
// Copies the resource (the UTF-16 VS_VERSIONINFO block, cut to size) into data and, when there is room,
// the signature "FE2X" after it. Errors as above; no buffer: 13 (ERROR_INVALID_DATA).
BOOL WINAPI GetFileVersionInfoA(LPCSTR filename, DWORD handle, DWORD size, LPVOID data);
// Looks up "\" (the VS_FIXEDFILEINFO, 52 bytes), "\VarFileInfo\Translation" (language and code page
// WORD pairs) or "\StringFileInfo\041104B0\FileVersion" (a string, converted into the block's second
// half; *length counts its bytes with the terminator) in a block from GetFileVersionInfoA. Path parts
// compare case-insensitively; an empty path is "\". Not found: FALSE, *length 0, error 1813.
BOOL WINAPI VerQueryValueA(LPCVOID block, LPCSTR subBlock, LPVOID* buffer, PUINT length);
