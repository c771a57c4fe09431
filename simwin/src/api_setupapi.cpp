// setupapi and cfgmgr32 on the current machine's device tree and files.
//
// A device information set is a snapshot: the nodes it held when it was made, plus those created
// in it. Removing a device leaves its element in the set (enumeration indices do not move), but
// the element no longer has properties. Elements are identified by SP_DEVINFO_DATA.Reserved (the
// element's index plus one) together with the set they came from.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "simwin/machine.h"
#include "simwin/win32.h"

using simwin::current;
using simwin::DeviceNode;
using simwin::DeviceState;
using simwin::DeviceTree;

namespace {

struct DeviceInfoSet : simwin::HandleObject {
    GUID classGuid{};         // all zero: a set of all classes
    std::vector<DWORD> elements;  // DEVINST of each element, in enumeration order
    std::vector<DWORD> created;   // the elements SetupDiCreateDeviceInfoA made in this set
};

DeviceTree& tree() { return current().devices; }

BOOL fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

bool isNullGuid(const GUID& g) {
    static const GUID zero{};
    return std::memcmp(&g, &zero, sizeof g) == 0;
}

simwin::DeviceClassId classIdOf(const GUID& g) {
    simwin::DeviceClassId id;
    std::memcpy(id.bytes, &g, sizeof id.bytes);
    return id;
}

GUID guidOf(const simwin::DeviceClassId& id) {
    GUID g;
    std::memcpy(&g, id.bytes, sizeof g);
    return g;
}

DeviceInfoSet* setOf(HDEVINFO h) {
    if (!h || h == INVALID_HANDLE_VALUE) return nullptr;
    return current().handles.get<DeviceInfoSet>(h);
}

void fillData(PSP_DEVINFO_DATA data, const DeviceInfoSet& set, size_t index) {
    const DeviceNode* n = tree().find(set.elements[index]);
    data->ClassGuid = n ? guidOf(n->classId) : GUID{};
    data->DevInst = set.elements[index];
    data->Reserved = index + 1;
}

// The node behind an element of a set; sets the error and gives nullptr for a bad handle or element.
DeviceNode* elementOf(HDEVINFO h, PSP_DEVINFO_DATA data) {
    DeviceInfoSet* set = setOf(h);
    if (!set) return fail(ERROR_INVALID_HANDLE), nullptr;
    if (!data || data->cbSize != sizeof(SP_DEVINFO_DATA) || data->Reserved == 0 ||
        data->Reserved > set->elements.size())
        return fail(ERROR_INVALID_PARAMETER), nullptr;
    DeviceNode* n = tree().find(set->elements[data->Reserved - 1]);
    if (!n) return fail(ERROR_INVALID_PARAMETER), nullptr;
    return n;
}

// The node of an element that still exists in the tree (present or phantom).
DeviceNode* liveElementOf(HDEVINFO h, PSP_DEVINFO_DATA data) {
    DeviceNode* n = elementOf(h, data);
    if (n && n->state == DeviceState::Removed) return fail(ERROR_NO_SUCH_DEVINST), nullptr;
    return n;
}

// "A\0B\0\0": the REG_MULTI_SZ form of a list of IDs.
std::string multiSz(const std::vector<std::string>& ids) {
    std::string out;
    for (auto& id : ids) out += id + '\0';
    return out + '\0';
}

std::vector<std::string> parseMultiSz(const BYTE* data, DWORD size) {
    std::vector<std::string> ids;
    const char* p = reinterpret_cast<const char*>(data);
    size_t i = 0;
    while (i < size && p[i]) {
        size_t end = i;
        while (end < size && p[end]) ++end;
        ids.emplace_back(p + i, end - i);
        i = end + 1;
    }
    return ids;
}

bool enumeratorMatches(const std::string& instance, const char* enumerator) {
    if (!enumerator || !*enumerator) return true;
    return simwin::iequals(instance.substr(0, instance.find('\\')), enumerator);
}

DeviceInfoSet* newSet(HDEVINFO& handle, const GUID* classGuid) {
    auto set = std::make_shared<DeviceInfoSet>();
    if (classGuid) set->classGuid = *classGuid;
    DeviceInfoSet* raw = set.get();
    handle = current().handles.add(set);
    return raw;
}

}  // namespace

HDEVINFO WINAPI SetupDiCreateDeviceInfoList(const GUID* ClassGuid, HWND hwndParent) {
    HDEVINFO h = nullptr;
    newSet(h, ClassGuid);
    return h;
}

HDEVINFO WINAPI SetupDiGetClassDevsA(const GUID* ClassGuid, PCSTR Enumerator, HWND hwndParent, DWORD Flags) {
    const bool all = Flags & DIGCF_ALLCLASSES;
    if (!all && !ClassGuid) return SetLastError(ERROR_INVALID_PARAMETER), INVALID_HANDLE_VALUE;
    HDEVINFO h = nullptr;
    DeviceInfoSet* set = newSet(h, all ? nullptr : ClassGuid);
    if (Flags & DIGCF_DEVICEINTERFACE) return h;  // no device interfaces in the model
    for (const DeviceNode& n : tree().nodes) {
        // Without DIGCF_PRESENT the set holds non-present devices too: the phantoms that sets are creating.
        const bool listed = n.state == DeviceState::Present || (n.state == DeviceState::Phantom && !(Flags & DIGCF_PRESENT));
        if (!listed || !enumeratorMatches(n.instance, Enumerator)) continue;
        if (!all && std::memcmp(n.classId.bytes, ClassGuid, sizeof n.classId.bytes) != 0) continue;
        set->elements.push_back(n.devInst);
    }
    return h;
}

BOOL WINAPI SetupDiEnumDeviceInfo(HDEVINFO DeviceInfoSet, DWORD MemberIndex, PSP_DEVINFO_DATA DeviceInfoData) {
    ::DeviceInfoSet* set = setOf(DeviceInfoSet);
    if (!set) return fail(ERROR_INVALID_HANDLE);
    if (!DeviceInfoData) return fail(ERROR_INVALID_PARAMETER);
    if (DeviceInfoData->cbSize != sizeof(SP_DEVINFO_DATA)) return fail(ERROR_INVALID_USER_BUFFER);
    if (MemberIndex >= set->elements.size()) return fail(ERROR_NO_MORE_ITEMS);
    fillData(DeviceInfoData, *set, MemberIndex);
    return TRUE;
}

BOOL WINAPI SetupDiGetDeviceRegistryPropertyA(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData, DWORD Property,
                                              PDWORD PropertyRegDataType, PBYTE PropertyBuffer,
                                              DWORD PropertyBufferSize, PDWORD RequiredSize) {
    DeviceNode* n = liveElementOf(DeviceInfoSet, DeviceInfoData);
    if (!n) return FALSE;
    if (Property >= SPDRP_MAXIMUM_PROPERTY) return fail(ERROR_INVALID_REG_PROPERTY);
    if (!PropertyBuffer && PropertyBufferSize) return fail(ERROR_INVALID_USER_BUFFER);
    if (Property != SPDRP_HARDWAREID || n->hardwareIds.empty()) return fail(ERROR_INVALID_DATA);
    const std::string value = multiSz(n->hardwareIds);
    if (PropertyRegDataType) *PropertyRegDataType = REG_MULTI_SZ;
    if (RequiredSize) *RequiredSize = static_cast<DWORD>(value.size());
    if (PropertyBufferSize < value.size()) return fail(ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(PropertyBuffer, value.data(), value.size());
    return TRUE;
}

BOOL WINAPI SetupDiSetDeviceRegistryPropertyA(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData, DWORD Property,
                                              const BYTE* PropertyBuffer, DWORD PropertyBufferSize) {
    DeviceNode* n = liveElementOf(DeviceInfoSet, DeviceInfoData);
    if (!n) return FALSE;
    if (Property != SPDRP_HARDWAREID) return fail(ERROR_INVALID_REG_PROPERTY);  // the one property kept
    if (!PropertyBuffer && PropertyBufferSize) return fail(ERROR_INVALID_USER_BUFFER);
    n->hardwareIds = PropertyBuffer ? parseMultiSz(PropertyBuffer, PropertyBufferSize) : std::vector<std::string>{};
    return TRUE;
}

BOOL WINAPI SetupDiGetDeviceInstanceIdA(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                        PSTR DeviceInstanceId, DWORD DeviceInstanceIdSize, PDWORD RequiredSize) {
    DeviceNode* n = elementOf(DeviceInfoSet, DeviceInfoData);
    if (!n) return FALSE;
    if (!DeviceInstanceId && DeviceInstanceIdSize) return fail(ERROR_INVALID_USER_BUFFER);
    const DWORD needed = static_cast<DWORD>(n->instance.size() + 1);
    if (RequiredSize) *RequiredSize = needed;
    if (DeviceInstanceIdSize < needed) return fail(ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(DeviceInstanceId, n->instance.c_str(), needed);
    return TRUE;
}

BOOL WINAPI SetupDiCreateDeviceInfoA(HDEVINFO DeviceInfoSet, PCSTR DeviceName, const GUID* ClassGuid,
                                     PCSTR DeviceDescription, HWND hwndParent, DWORD CreationFlags,
                                     PSP_DEVINFO_DATA DeviceInfoData) {
    if (!DeviceName || std::strlen(DeviceName) >= MAX_DEVICE_ID_LEN) return fail(ERROR_INVALID_DEVINST_NAME);
    ::DeviceInfoSet* set = setOf(DeviceInfoSet);
    if (!set) return fail(ERROR_INVALID_HANDLE);
    if (!ClassGuid) return fail(ERROR_INVALID_PARAMETER);
    if (!isNullGuid(set->classGuid) && std::memcmp(&set->classGuid, ClassGuid, sizeof(GUID)) != 0)
        return fail(ERROR_CLASS_MISMATCH);
    std::string instance = DeviceName;
    if (CreationFlags & DICD_GENERATE_ID) {  // a root-enumerated ID: ROOT\NAME\nnnn, the first free number
        if (instance.find('\\') != std::string::npos) return fail(ERROR_INVALID_DEVINST_NAME);
        for (int i = 0;; ++i) {
            char suffix[16];
            std::snprintf(suffix, sizeof suffix, "%04d", i);
            std::string candidate = "ROOT\\" + simwin::toUpper(instance) + "\\" + suffix;
            if (!tree().findInstance(candidate)) {
                instance = candidate;
                break;
            }
        }
    } else if (tree().findInstance(instance)) {
        return fail(ERROR_DEVINST_ALREADY_EXISTS);
    }
    if (DeviceInfoData && DeviceInfoData->cbSize != sizeof(SP_DEVINFO_DATA)) return fail(ERROR_INVALID_USER_BUFFER);
    DeviceNode& n = tree().add(instance, {}, DeviceTree::kRoot, DeviceState::Phantom);
    n.classId = classIdOf(*ClassGuid);
    set->elements.push_back(n.devInst);
    set->created.push_back(n.devInst);
    if (DeviceInfoData) fillData(DeviceInfoData, *set, set->elements.size() - 1);
    return TRUE;
}

BOOL WINAPI SetupDiRegisterDeviceInfo(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData, DWORD Flags,
                                      PSP_DETSIG_CMPPROC CompareProc, PVOID CompareContext,
                                      PSP_DEVINFO_DATA DupDeviceInfoData) {
    DeviceNode* n = liveElementOf(DeviceInfoSet, DeviceInfoData);
    if (!n) return FALSE;
    n->state = DeviceState::Present;  // registering a registered device changes nothing
    return TRUE;
}

HKEY WINAPI SetupDiOpenDevRegKey(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData, DWORD Scope, DWORD HwProfile,
                                 DWORD KeyType, REGSAM samDesired) {
    (void)HwProfile;
    const HKEY invalid = reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE);
    DeviceNode* n = liveElementOf(DeviceInfoSet, DeviceInfoData);
    if (!n) return invalid;
    if ((Scope != DICS_FLAG_GLOBAL && Scope != DICS_FLAG_CONFIGSPECIFIC) || (KeyType != DIREG_DEV && KeyType != DIREG_DRV))
        return fail(ERROR_INVALID_FLAGS), invalid;
    HKEY key = NULL;
    const std::string path = "SYSTEM\\CurrentControlSet\\Enum\\" + n->instance + "\\Device Parameters";
    if (KeyType != DIREG_DEV || RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, samDesired, &key) != ERROR_SUCCESS)
        return fail(ERROR_KEY_DOES_NOT_EXIST), invalid;
    SetLastError(ERROR_SUCCESS);
    return key;
}

BOOL WINAPI SetupDiRemoveDevice(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData) {
    DeviceNode* n = liveElementOf(DeviceInfoSet, DeviceInfoData);
    if (!n) return FALSE;
    tree().remove(n->devInst);
    return TRUE;
}

BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet) {
    ::DeviceInfoSet* set = setOf(DeviceInfoSet);
    if (!set) return fail(ERROR_INVALID_HANDLE);
    for (DWORD devInst : set->created) {  // devices created here and never registered go with the set
        DeviceNode* n = tree().find(devInst);
        if (n && n->state == DeviceState::Phantom) n->state = DeviceState::Removed;
    }
    current().handles.close(DeviceInfoSet);
    return TRUE;
}

// --- cfgmgr32 ---------------------------------------------------------------------------------------------

namespace {

// CR_SUCCESS when the DEVINST is the root or a present node.
CONFIGRET checkNode(DEVINST node) { return tree().isPresent(node) ? CR_SUCCESS : CR_INVALID_DEVNODE; }

}  // namespace

CONFIGRET WINAPI CM_Locate_DevNodeA(PDEVINST pdnDevInst, DEVINSTID_A pDeviceID, ULONG ulFlags) {
    if (!pdnDevInst) return CR_INVALID_POINTER;
    *pdnDevInst = 0;
    if (ulFlags & ~0x7u) return CR_INVALID_FLAG;
    if (!pDeviceID || !*pDeviceID || simwin::iequals(pDeviceID, DeviceTree::kRootInstance)) {
        *pdnDevInst = DeviceTree::kRoot;
        return CR_SUCCESS;
    }
    if (std::strlen(pDeviceID) >= MAX_DEVICE_ID_LEN) return CR_INVALID_DEVICE_ID;
    DeviceNode* n = tree().findInstance(pDeviceID);
    if (!n || (n->state == DeviceState::Phantom && !(ulFlags & CM_LOCATE_DEVNODE_PHANTOM))) return CR_NO_SUCH_DEVNODE;
    *pdnDevInst = n->devInst;
    return CR_SUCCESS;
}

CONFIGRET WINAPI CM_Get_Parent(PDEVINST pdnDevInst, DEVINST dnDevInst, ULONG ulFlags) {
    if (!pdnDevInst) return CR_INVALID_POINTER;
    *pdnDevInst = 0;
    if (ulFlags) return CR_INVALID_FLAG;
    if (CONFIGRET cr = checkNode(dnDevInst)) return cr;
    if (dnDevInst == DeviceTree::kRoot) return CR_NO_SUCH_DEVNODE;
    *pdnDevInst = tree().find(dnDevInst)->parent;
    return CR_SUCCESS;
}

CONFIGRET WINAPI CM_Get_Child(PDEVINST pdnDevInst, DEVINST dnDevInst, ULONG ulFlags) {
    if (!pdnDevInst) return CR_INVALID_POINTER;
    *pdnDevInst = 0;
    if (ulFlags) return CR_INVALID_FLAG;
    if (CONFIGRET cr = checkNode(dnDevInst)) return cr;
    const std::vector<DWORD> kids = tree().children(dnDevInst);
    if (kids.empty()) return CR_NO_SUCH_DEVNODE;
    *pdnDevInst = kids.front();
    return CR_SUCCESS;
}

CONFIGRET WINAPI CM_Get_Sibling(PDEVINST pdnDevInst, DEVINST DevInst, ULONG ulFlags) {
    if (!pdnDevInst) return CR_INVALID_POINTER;
    *pdnDevInst = 0;
    if (ulFlags) return CR_INVALID_FLAG;
    if (CONFIGRET cr = checkNode(DevInst)) return cr;
    if (DevInst == DeviceTree::kRoot) return CR_NO_SUCH_DEVNODE;
    const std::vector<DWORD> kin = tree().children(tree().find(DevInst)->parent);
    for (size_t i = 0; i + 1 < kin.size(); ++i)
        if (kin[i] == DevInst) {
            *pdnDevInst = kin[i + 1];
            return CR_SUCCESS;
        }
    return CR_NO_SUCH_DEVNODE;
}

CONFIGRET WINAPI CM_Get_Device_IDA(DEVINST dnDevInst, PCHAR Buffer, ULONG BufferLen, ULONG ulFlags) {
    if (!Buffer) return CR_INVALID_POINTER;
    if (ulFlags) return CR_INVALID_FLAG;
    if (CONFIGRET cr = checkNode(dnDevInst)) return cr;
    const std::string id = dnDevInst == DeviceTree::kRoot ? DeviceTree::kRootInstance : tree().find(dnDevInst)->instance;
    const size_t copied = std::min<size_t>(id.size(), BufferLen);
    std::memcpy(Buffer, id.data(), copied);
    if (BufferLen > id.size()) Buffer[id.size()] = '\0';
    return BufferLen < id.size() ? CR_BUFFER_SMALL : CR_SUCCESS;
}

CONFIGRET WINAPI CM_Get_DevNode_Registry_PropertyA(DEVINST dnDevInst, ULONG ulProperty, PULONG pulRegDataType,
                                                   PVOID Buffer, PULONG pulLength, ULONG ulFlags) {
    if (!pulLength || (!Buffer && *pulLength)) return CR_INVALID_POINTER;
    if (ulFlags) return CR_INVALID_FLAG;
    if (ulProperty < CM_DRP_MIN || ulProperty > CM_DRP_MAX) return CR_INVALID_PROPERTY;
    if (CONFIGRET cr = checkNode(dnDevInst)) return cr;
    const DeviceNode* n = tree().find(dnDevInst);  // the root keeps no properties
    if (ulProperty != CM_DRP_HARDWAREID || !n || n->hardwareIds.empty()) {
        *pulLength = 0;
        return CR_NO_SUCH_VALUE;
    }
    const std::string value = multiSz(n->hardwareIds);
    if (pulRegDataType) *pulRegDataType = REG_MULTI_SZ;
    const ULONG room = *pulLength;
    *pulLength = static_cast<ULONG>(value.size());
    if (room < value.size()) return CR_BUFFER_SMALL;
    std::memcpy(Buffer, value.data(), value.size());
    return CR_SUCCESS;
}
