// The device tree of the Plug and Play manager: device nodes with their instance IDs, hardware
// IDs and parents, in enumeration order, below an implicit root node ("HTREE\ROOT\0").
//
// Every node has a DEVINST number that stays valid for the machine's life and is never given to
// another node, so a handle the tool holds to a removed node never names a different device.
// A node is present (declared by the machine or registered by SetupDiRegisterDeviceInfo), a phantom
// (created by SetupDiCreateDeviceInfoA and not registered yet: a non-present device, gone with the
// set that created it unless registered) or removed. Only present nodes are saved.
//
// Removing a node removes its descendants with it: on Windows the children of a removed device
// leave the device tree together with their parent's bus (their registry keys stay behind as
// non-present devices until a rescan finds the hardware again). simwin keeps no non-present
// devices, so the whole subtree is gone.
#pragma once

#include <string>
#include <vector>

#include "simwin/ini.h"
#include "simwin/types.h"

namespace simwin {

enum class DeviceState { Present, Phantom, Removed };

struct DeviceClassId {  // a device setup class GUID, kept as its 16 bytes
    unsigned char bytes[16] = {};
};

struct DeviceNode {
    DWORD devInst = 0;
    std::string instance;                  // device instance ID, e.g. USB\VID_0ABC&PID_0012\5&1A2B&0&1
    std::vector<std::string> hardwareIds;  // in order; empty: the node has no hardware ID property
    DWORD parent = 0;                      // DEVINST of the parent (DeviceTree::kRoot for a top-level node)
    DeviceClassId classId;                 // the setup class (all zero for nodes declared by a machine)
    DeviceState state = DeviceState::Present;
};

class DeviceTree {
public:
    static constexpr DWORD kRoot = 1;  // DEVINST of the root node
    static const char* const kRootInstance;  // "HTREE\ROOT\0"

    // Nodes in enumeration order (removed ones stay, flagged, so that their DEVINST stays unique).
    // Nodes are added with add() only, never erased or reordered.
    std::vector<DeviceNode> nodes;

    // The node of a DEVINST (the root has none), or nullptr.
    DeviceNode* find(DWORD devInst);
    const DeviceNode* find(DWORD devInst) const;
    // The present or phantom node of an instance ID (case-insensitive), or nullptr.
    DeviceNode* findInstance(const std::string& instance);
    // Appends a node; parent is a DEVINST (kRoot for the root). Returns the new node.
    DeviceNode& add(const std::string& instance, std::vector<std::string> hardwareIds, DWORD parent,
                    DeviceState state = DeviceState::Present);
    // Present children of a node (kRoot for the root) in enumeration order.
    std::vector<DWORD> children(DWORD devInst) const;
    // Is the DEVINST the root or a present node.
    bool isPresent(DWORD devInst) const;
    // Marks a node and all its descendants removed.
    void remove(DWORD devInst);

    // [device] sections: instance, hardware (repeated), parent (the parent's instance ID; it may be
    // declared before or after its child). Throws MachineError on a duplicate instance ID, an
    // unknown parent or a parent chain that loops.
    void load(const IniDoc& doc);
    void save(IniDoc& doc) const;

private:
    DWORD nextDevInst_ = kRoot + 1;
};

}  // namespace simwin
