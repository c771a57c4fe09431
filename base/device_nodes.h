// CDeviceNodes: the device nodes Windows knows, of every class, as one set taken once and walked by index.
// The set stays open while the object lives, so a caller may read a node's properties and keys, or remove
// the node, with the set it came from.
#pragma once

#include <string>
#include <vector>

#include "base/platform.h"

class CDeviceNodes {
public:
    // SetupDiGetClassDevsA of every class; an empty walk when Windows gives no set.
    CDeviceNodes();
    ~CDeviceNodes();
    CDeviceNodes(const CDeviceNodes&) = delete;
    CDeviceNodes& operator=(const CDeviceNodes&) = delete;

    bool Valid() const { return set != INVALID_HANDLE_VALUE; }
    HDEVINFO Set() const { return set; }
    // The node at index; false past the last one.
    bool At(DWORD index, SP_DEVINFO_DATA& node) const;
    // The node's instance ID; empty when it cannot be read.
    std::string InstanceId(SP_DEVINFO_DATA& node) const;
    // The node's hardware IDs in their order, read into a buffer of bytes; false when the property cannot be
    // read or does not fit.
    bool HardwareIds(SP_DEVINFO_DATA& node, size_t bytes, std::vector<std::string>& ids) const;

private:
    HDEVINFO set;
};
