// setupapi and cfgmgr32: device information sets over the machine's device tree, the
// configuration manager's walk of that tree, and the INF files of a directory.
//
// The device model keeps one property per node, its hardware IDs (SPDRP_HARDWAREID,
// CM_DRP_HARDWAREID); the other properties of the valid range read as absent. Device interfaces
// are not modelled: a DIGCF_DEVICEINTERFACE set is empty.
#pragma once

#include "simwin/types.h"
#include "simwin/api/winreg.h"

#ifndef GUID_DEFINED
#define GUID_DEFINED
typedef struct _GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
} GUID;
#endif
typedef GUID* LPGUID;

typedef PVOID HDEVINFO;

typedef struct _SP_DEVINFO_DATA {
    DWORD cbSize;  // sizeof(SP_DEVINFO_DATA): 32 on 64-bit Windows
    GUID ClassGuid;
    DWORD DevInst;
    ULONG_PTR Reserved;
} SP_DEVINFO_DATA, *PSP_DEVINFO_DATA;

typedef DWORD(CALLBACK* PSP_DETSIG_CMPPROC)(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA NewDeviceData,
                                            PSP_DEVINFO_DATA ExistingDeviceData, PVOID CompareContext);

#define DIGCF_DEFAULT 0x00000001
#define DIGCF_PRESENT 0x00000002
#define DIGCF_ALLCLASSES 0x00000004
#define DIGCF_PROFILE 0x00000008
#define DIGCF_DEVICEINTERFACE 0x00000010

#define DICD_GENERATE_ID 0x00000001
#define DICD_INHERIT_CLASSDRVS 0x00000002

#define SPDRP_DEVICEDESC 0x00000000
#define SPDRP_HARDWAREID 0x00000001
#define SPDRP_COMPATIBLEIDS 0x00000002
#define SPDRP_MAXIMUM_PROPERTY 0x00000024


#define INF_STYLE_NONE 0x00000000
#define INF_STYLE_OLDNT 0x00000001
#define INF_STYLE_WIN4 0x00000002
#define INF_STYLE_CACHE_ENABLE 0x00000010
#define INF_STYLE_CACHE_DISABLE 0x00000020
#define INF_STYLE_CACHE_IGNORE 0x00000040

#define SUOI_FORCEDELETE 0x00000001

#define ERROR_INVALID_FLAGS 1004L
#define ERROR_INVALID_USER_BUFFER 1784L
#define ERROR_CLASS_MISMATCH 0xE0000201L
#define ERROR_INVALID_DEVINST_NAME 0xE0000205L
#define ERROR_INVALID_CLASS 0xE0000206L
#define ERROR_DEVINST_ALREADY_EXISTS 0xE0000207L
#define ERROR_INVALID_REG_PROPERTY 0xE0000209L
#define ERROR_INF_IN_USE_BY_DEVICES 0xE000023DL

HDEVINFO WINAPI SetupDiCreateDeviceInfoList(const GUID* ClassGuid, HWND hwndParent);
HDEVINFO WINAPI SetupDiGetClassDevsA(const GUID* ClassGuid, PCSTR Enumerator, HWND hwndParent, DWORD Flags);
BOOL WINAPI SetupDiEnumDeviceInfo(HDEVINFO DeviceInfoSet, DWORD MemberIndex, PSP_DEVINFO_DATA DeviceInfoData);
BOOL WINAPI SetupDiGetDeviceRegistryPropertyA(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData, DWORD Property,
                                              PDWORD PropertyRegDataType, PBYTE PropertyBuffer,
                                              DWORD PropertyBufferSize, PDWORD RequiredSize);
BOOL WINAPI SetupDiSetDeviceRegistryPropertyA(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData, DWORD Property,
                                              const BYTE* PropertyBuffer, DWORD PropertyBufferSize);
BOOL WINAPI SetupDiGetDeviceInstanceIdA(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                        PSTR DeviceInstanceId, DWORD DeviceInstanceIdSize, PDWORD RequiredSize);
BOOL WINAPI SetupDiCreateDeviceInfoA(HDEVINFO DeviceInfoSet, PCSTR DeviceName, const GUID* ClassGuid,
                                     PCSTR DeviceDescription, HWND hwndParent, DWORD CreationFlags,
                                     PSP_DEVINFO_DATA DeviceInfoData);
BOOL WINAPI SetupDiRegisterDeviceInfo(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData, DWORD Flags,
                                      PSP_DETSIG_CMPPROC CompareProc, PVOID CompareContext,
                                      PSP_DEVINFO_DATA DupDeviceInfoData);
BOOL WINAPI SetupDiRemoveDevice(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData);

#define DICS_FLAG_GLOBAL 0x00000001
#define DICS_FLAG_CONFIGSPECIFIC 0x00000002
#define DIREG_DEV 0x00000001
#define DIREG_DRV 0x00000002
#define ERROR_KEY_DOES_NOT_EXIST 0xE0000204L
// The device's hardware key (DIREG_DEV): HKLM\SYSTEM\CurrentControlSet\Enum\<instance ID>\Device Parameters,
// where a USB printer's node keeps its "Port Name" (USB001). A key the registry does not have fails with
// ERROR_KEY_DOES_NOT_EXIST; the software key (DIREG_DRV) is not modelled and fails the same way.
HKEY WINAPI SetupDiOpenDevRegKey(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData, DWORD Scope, DWORD HwProfile,
                                 DWORD KeyType, REGSAM samDesired);
BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet);

// INF files: the Windows-4 style ones carry a [Version] Signature of "$Windows NT$", "$Chicago$" or
// "$Windows 95$"; the rest count as old NT style. A null directory is the Windows directory's INF.
BOOL WINAPI SetupGetInfFileListA(PCSTR DirectoryPath, DWORD InfStyle, PSTR ReturnBuffer, DWORD ReturnBufferSize,
                                 PDWORD RequiredSize);
BOOL WINAPI SetupUninstallOEMInfA(PCSTR InfFileName, DWORD Flags, PVOID Reserved);
#define SPOST_NONE 0
#define SPOST_PATH 1
// Installs an INF as an OEM INF of the INF directory: an oem*.inf there with the same text is the one it
// answers (the source itself, when it is one), else the INF is copied to the first free oemN.inf. The name
// it answers is a full path.
BOOL WINAPI SetupCopyOEMInfA(PCSTR SourceInfFileName, PCSTR OEMSourceMediaLocation, DWORD OEMSourceMediaType,
                             DWORD CopyStyle, PSTR DestinationInfFileName, DWORD DestinationInfFileNameSize,
                             PDWORD RequiredSize, PSTR* DestinationInfFileNameComponent);
// The driver store of Windows 8 and later (docs/machine-format.md, "The driver store"): a package's INF in
// its store folder and the published copy of the INF directory (oemN.inf, or Windows's own name). Both take
// either form and answer the full path of the other (of the same form for the same place); an INF that is
// not there, or has no counterpart, fails with ERROR_FILE_NOT_FOUND, a path of neither place with
// ERROR_INVALID_PARAMETER, a short buffer with ERROR_INSUFFICIENT_BUFFER (RequiredSize set: characters with
// the NUL). mingw-w64 declares neither: the tool looks them up in setupapi.dll.
typedef struct _SP_ALTPLATFORM_INFO_V2* PSP_ALTPLATFORM_INFO;
BOOL WINAPI SetupGetInfPublishedNameA(PCSTR DriverStoreLocation, PSTR ReturnBuffer, DWORD ReturnBufferSize,
                                      PDWORD RequiredSize);
BOOL WINAPI SetupGetInfDriverStoreLocationA(PCSTR FileName, PSP_ALTPLATFORM_INFO AlternatePlatformInfo,
                                            PCSTR LocaleName, PSTR ReturnBuffer, DWORD ReturnBufferSize,
                                            PDWORD RequiredSize);

// --- cfgmgr32 --------------------------------------------------------------------------------------------
typedef DWORD CONFIGRET;
typedef DWORD DEVNODE, DEVINST;
typedef DEVNODE *PDEVNODE, *PDEVINST;
typedef CHAR* DEVINSTID_A;
typedef ULONG* PULONG;
typedef CHAR* PCHAR;

#define MAX_DEVICE_ID_LEN 200

#define CM_LOCATE_DEVNODE_NORMAL 0x00000000
#define CM_LOCATE_DEVNODE_PHANTOM 0x00000001

#define CM_DRP_DEVICEDESC 0x00000001
#define CM_DRP_HARDWAREID 0x00000002
#define CM_DRP_MIN 0x00000001
#define CM_DRP_MAX 0x00000023

#define CR_SUCCESS 0x00000000
#define CR_INVALID_POINTER 0x00000003
#define CR_INVALID_FLAG 0x00000004
#define CR_INVALID_DEVNODE 0x00000005
#define CR_INVALID_DEVINST CR_INVALID_DEVNODE
#define CR_NO_SUCH_DEVNODE 0x0000000D
#define CR_NO_SUCH_DEVINST CR_NO_SUCH_DEVNODE
#define CR_FAILURE 0x00000013
#define CR_BUFFER_SMALL 0x0000001A
#define CR_INVALID_DEVICE_ID 0x0000001E
#define CR_NO_SUCH_VALUE 0x00000025
#define CR_INVALID_PROPERTY 0x00000035

CONFIGRET WINAPI CM_Locate_DevNodeA(PDEVINST pdnDevInst, DEVINSTID_A pDeviceID, ULONG ulFlags);
CONFIGRET WINAPI CM_Get_Parent(PDEVINST pdnDevInst, DEVINST dnDevInst, ULONG ulFlags);
CONFIGRET WINAPI CM_Get_Child(PDEVINST pdnDevInst, DEVINST dnDevInst, ULONG ulFlags);
CONFIGRET WINAPI CM_Get_Sibling(PDEVINST pdnDevInst, DEVINST DevInst, ULONG ulFlags);
// The ID without a terminating NUL when BufferLen is exactly its length (CR_SUCCESS), as Windows does.
CONFIGRET WINAPI CM_Get_Device_IDA(DEVINST dnDevInst, PCHAR Buffer, ULONG BufferLen, ULONG ulFlags);
CONFIGRET WINAPI CM_Get_DevNode_Registry_PropertyA(DEVINST dnDevInst, ULONG ulProperty, PULONG pulRegDataType,
                                                   PVOID Buffer, PULONG pulLength, ULONG ulFlags);
