// ddeml (user32): the client side of the Dynamic Data Exchange Management Library, as a program
// uses it to send commands to Program Manager.
#pragma once

#include "simwin/types.h"

SIMWIN_DECLARE_HANDLE(HSZ);
SIMWIN_DECLARE_HANDLE(HCONV);
SIMWIN_DECLARE_HANDLE(HDDEDATA);

typedef struct _SIMWIN_SECURITY_QUALITY_OF_SERVICE {
    DWORD Length;
    int ImpersonationLevel;
    BYTE ContextTrackingMode;
    BYTE EffectiveOnly;
} SIMWIN_SECURITY_QUALITY_OF_SERVICE;

typedef struct tagCONVCONTEXT {
    UINT cb;
    UINT wFlags;
    UINT wCountryID;
    int iCodePage;
    DWORD dwLangID;
    DWORD dwSecurity;
    SIMWIN_SECURITY_QUALITY_OF_SERVICE qos;
} CONVCONTEXT, *PCONVCONTEXT;

typedef HDDEDATA(CALLBACK* PFNCALLBACK)(UINT wType, UINT wFmt, HCONV hConv, HSZ hsz1, HSZ hsz2, HDDEDATA hData,
                                        ULONG_PTR dwData1, ULONG_PTR dwData2);

#ifndef CF_TEXT
#define CF_TEXT 1
#endif
#define CP_WINANSI 1004
#define TIMEOUT_ASYNC 0xFFFFFFFF
#define DDE_FACK 0x8000
#define DDE_FBUSY 0x4000

#define XCLASS_BOOL 0x1000
#define XCLASS_DATA 0x2000
#define XCLASS_FLAGS 0x4000
#define XCLASS_NOTIFICATION 0x8000
#define XTYPF_NOBLOCK 0x0002
#define XTYP_ADVSTART (0x0030 | XCLASS_BOOL)
#define XTYP_ADVSTOP (0x0040 | XCLASS_NOTIFICATION)
#define XTYP_EXECUTE (0x0050 | XCLASS_FLAGS)
#define XTYP_POKE (0x0090 | XCLASS_FLAGS)
#define XTYP_REQUEST (0x00B0 | XCLASS_DATA)

#define APPCMD_CLIENTONLY 0x00000010L
#define CBF_FAIL_ALLSVRXACTIONS 0x0003f000
#define CBF_SKIP_ALLNOTIFICATIONS 0x003c0000

#define DMLERR_NO_ERROR 0
#define DMLERR_DLL_NOT_INITIALIZED 0x4003
#define DMLERR_DLL_USAGE 0x4004
#define DMLERR_INVALIDPARAMETER 0x4006
#define DMLERR_NOTPROCESSED 0x4009
#define DMLERR_NO_CONV_ESTABLISHED 0x400a

// A new instance (*pidInst 0 on entry) or, with a non-zero *pidInst, a change of its flags.
// DMLERR_NO_ERROR, or DMLERR_INVALIDPARAMETER (no callback, a null pidInst, an unknown instance).
UINT WINAPI DdeInitializeA(LPDWORD pidInst, PFNCALLBACK pfnCallback, DWORD afCmd, DWORD ulRes);
BOOL WINAPI DdeUninitialize(DWORD idInst);
// The string handle of a text (case-insensitive, as atoms are); 0 for an unknown instance.
HSZ WINAPI DdeCreateStringHandleA(DWORD idInst, LPCSTR psz, int iCodePage);
BOOL WINAPI DdeFreeStringHandle(DWORD idInst, HSZ hsz);
// A conversation with the server that answers the service and topic (null: any); 0 with
// DMLERR_NO_CONV_ESTABLISHED when none answers.
HCONV WINAPI DdeConnect(DWORD idInst, HSZ hszService, HSZ hszTopic, PCONVCONTEXT pCC);
BOOL WINAPI DdeDisconnect(HCONV hConv);
// Synchronous transactions only. XTYP_EXECUTE: pData holds the command text (cbData bytes, up
// to its NUL); the result is non-null when the server carried it out, else null with
// DMLERR_NOTPROCESSED. *pdwResult gets DDE_FACK or 0.
HDDEDATA WINAPI DdeClientTransaction(LPBYTE pData, DWORD cbData, HCONV hConv, HSZ hszItem, UINT wFmt, UINT wType,
                                     DWORD dwTimeout, LPDWORD pdwResult);
BOOL WINAPI DdeFreeDataHandle(HDDEDATA hData);
// The instance's last error, which the call resets to DMLERR_NO_ERROR.
UINT WINAPI DdeGetLastError(DWORD idInst);
