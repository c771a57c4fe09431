// shell32: special folders.
#pragma once

#include "simwin/types.h"

typedef struct _SHITEMID {
    USHORT cb;
    BYTE abID[1];
} SHITEMID;
typedef struct _ITEMIDLIST {
    SHITEMID mkid;
} ITEMIDLIST, *LPITEMIDLIST;
typedef const ITEMIDLIST* LPCITEMIDLIST;

// The shell allocator (an IMalloc with the calls the tool makes).
struct IMalloc {
    virtual HRESULT QueryInterface(const void* iid, void** out) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    virtual void* Alloc(SIZE_T size) = 0;
    virtual void* Realloc(void* p, SIZE_T size) = 0;
    virtual void Free(void* p) = 0;
    virtual SIZE_T GetSize(void* p) = 0;
    virtual int DidAlloc(void* p) = 0;
    virtual void HeapMinimize() = 0;
};
typedef IMalloc* LPMALLOC;

#define CSIDL_DESKTOP 0x0000
#define CSIDL_PROGRAMS 0x0002
#define CSIDL_PRINTERS 0x0004
#define CSIDL_PERSONAL 0x0005
#define CSIDL_FAVORITES 0x0006
#define CSIDL_STARTUP 0x0007
#define CSIDL_RECENT 0x0008
#define CSIDL_SENDTO 0x0009
#define CSIDL_STARTMENU 0x000b
#define CSIDL_NETHOOD 0x0013
#define CSIDL_FONTS 0x0014
#define CSIDL_TEMPLATES 0x0015
#define CSIDL_COMMON_STARTMENU 0x0016
#define CSIDL_COMMON_PROGRAMS 0x0017
#define CSIDL_COMMON_STARTUP 0x0018
#define CSIDL_APPDATA 0x001a
#define CSIDL_PRINTHOOD 0x001b
#define CSIDL_ALTSTARTUP 0x001d
#define CSIDL_COMMON_ALTSTARTUP 0x001e
#define CSIDL_INTERNET_CACHE 0x0020
#define CSIDL_COOKIES 0x0021
#define CSIDL_HISTORY 0x0022
#define CSIDL_COMMON_APPDATA 0x0023  // "C:\ProgramData" on nt; 9x and Win32s have none
#define CSIDL_PROGRAM_FILES 0x0026
#define CSIDL_PROFILE 0x0028
#define CSIDL_FLAG_DONT_VERIFY 0x4000
#define CSIDL_FLAG_CREATE 0x8000
#define CSIDL_FLAG_MASK 0xFF00

typedef enum { SHGFP_TYPE_CURRENT = 0, SHGFP_TYPE_DEFAULT = 1 } SHGFP_TYPE;

HRESULT WINAPI SHGetMalloc(LPMALLOC* allocator);
HRESULT WINAPI SHGetSpecialFolderLocation(HWND owner, int csidl, LPITEMIDLIST* list);
BOOL WINAPI SHGetPathFromIDListA(LPCITEMIDLIST list, LPSTR path);
// A special folder's path into a buffer of MAX_PATH: S_OK; E_FAIL for a folder the machine has none of (path
// emptied); HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) (0x80070002) when the folder does not exist, unless
// CSIDL_FLAG_CREATE makes it or CSIDL_FLAG_DONT_VERIFY skips the check; E_INVALIDARG for a null path.
HRESULT WINAPI SHGetFolderPathA(HWND owner, int csidl, HANDLE token, DWORD flags, LPSTR path);
