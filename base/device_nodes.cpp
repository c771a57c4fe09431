#include "base/device_nodes.h"

#include <string.h>

CDeviceNodes::CDeviceNodes() : set(SetupDiGetClassDevsA(NULL, NULL, NULL, DIGCF_ALLCLASSES)) {}

CDeviceNodes::~CDeviceNodes() {
    if (Valid()) SetupDiDestroyDeviceInfoList(set);
}

bool CDeviceNodes::At(DWORD index, SP_DEVINFO_DATA& node) const {
    if (!Valid()) return false;
    memset(&node, 0, sizeof node);
    node.cbSize = sizeof node;
    return SetupDiEnumDeviceInfo(set, index, &node) != FALSE;
}

std::string CDeviceNodes::InstanceId(SP_DEVINFO_DATA& node) const {
    char instance[MAX_DEVICE_ID_LEN + 1] = "";
    if (!SetupDiGetDeviceInstanceIdA(set, &node, instance, sizeof instance, NULL)) return std::string();
    return instance;
}

bool CDeviceNodes::HardwareIds(SP_DEVINFO_DATA& node, size_t bytes, std::vector<std::string>& ids) const {
    ids.clear();
    // Two NULs more than the call may fill: the list ends even when Windows filled the buffer.
    std::vector<BYTE> buffer(bytes < 2 ? 2 : bytes, 0);
    if (!SetupDiGetDeviceRegistryPropertyA(set, &node, SPDRP_HARDWAREID, NULL, buffer.data(),
                                           static_cast<DWORD>(buffer.size() - 2), NULL))
        return false;
    for (const char* id = reinterpret_cast<const char*>(buffer.data()); *id; id += strlen(id) + 1) ids.push_back(id);
    return true;
}
