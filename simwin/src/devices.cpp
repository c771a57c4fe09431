#include "simwin/devices.h"

#include <map>

#include "simwin/util.h"

namespace simwin {

const char* const DeviceTree::kRootInstance = "HTREE\\ROOT\\0";

// Nodes are only ever appended, numbered from kRoot + 1 on, so a DEVINST is its node's position.
DeviceNode* DeviceTree::find(DWORD devInst) {
    return const_cast<DeviceNode*>(static_cast<const DeviceTree*>(this)->find(devInst));
}

const DeviceNode* DeviceTree::find(DWORD devInst) const {
    if (devInst <= kRoot || devInst - kRoot - 1 >= nodes.size()) return nullptr;
    const DeviceNode& n = nodes[devInst - kRoot - 1];
    return n.devInst == devInst ? &n : nullptr;
}

DeviceNode* DeviceTree::findInstance(const std::string& instance) {
    for (auto& n : nodes)
        if (n.state != DeviceState::Removed && iequals(n.instance, instance)) return &n;
    return nullptr;
}

DeviceNode& DeviceTree::add(const std::string& instance, std::vector<std::string> hardwareIds, DWORD parent,
                            DeviceState state) {
    DeviceNode n;
    n.devInst = nextDevInst_++;
    n.instance = instance;
    n.hardwareIds = std::move(hardwareIds);
    n.parent = parent;
    n.state = state;
    nodes.push_back(std::move(n));
    return nodes.back();
}

std::vector<DWORD> DeviceTree::children(DWORD devInst) const {
    std::vector<DWORD> out;
    for (auto& n : nodes)
        if (n.state == DeviceState::Present && n.parent == devInst) out.push_back(n.devInst);
    return out;
}

bool DeviceTree::isPresent(DWORD devInst) const {
    if (devInst == kRoot) return true;
    const DeviceNode* n = find(devInst);
    return n && n->state == DeviceState::Present;
}

void DeviceTree::remove(DWORD devInst) {
    DeviceNode* n = find(devInst);
    if (!n || n->state == DeviceState::Removed) return;
    n->state = DeviceState::Removed;
    for (auto& c : nodes)
        if (c.parent == devInst) remove(c.devInst);
}

void DeviceTree::load(const IniDoc& doc) {
    std::map<std::string, DWORD, ILess> byInstance;
    std::vector<std::string> parents;  // the declared parent of each loaded node, by position
    for (const IniSection* s : doc.all("device")) {
        const std::string instance = s->get("instance");
        if (instance.empty()) throw MachineError("[device] without instance");
        if (byInstance.count(instance) || iequals(instance, kRootInstance))
            throw MachineError("[device] " + instance + ": declared twice");
        std::vector<std::string> ids;
        for (auto& e : s->entries)
            if (iequals(e.first, "hardware") && !e.second.empty()) ids.push_back(e.second);
        byInstance[instance] = add(instance, ids, kRoot).devInst;
        parents.push_back(s->get("parent"));
    }
    const size_t first = nodes.size() - parents.size();
    for (size_t i = 0; i < parents.size(); ++i) {
        if (parents[i].empty() || iequals(parents[i], kRootInstance)) continue;
        auto it = byInstance.find(parents[i]);
        if (it == byInstance.end())
            throw MachineError("[device] " + nodes[first + i].instance + ": parent " + parents[i] + " is not declared");
        nodes[first + i].parent = it->second;
    }
    for (size_t i = first; i < nodes.size(); ++i) {  // a parent chain ends at the root within as many steps as nodes
        DWORD at = nodes[i].devInst;
        for (size_t steps = 0; at != kRoot; ++steps) {
            if (steps > nodes.size())
                throw MachineError("[device] " + nodes[i].instance + ": its parents form a loop");
            at = find(at)->parent;
        }
    }
}

void DeviceTree::save(IniDoc& doc) const {
    for (auto& n : nodes) {
        if (n.state != DeviceState::Present) continue;
        IniSection& s = doc.add("device");
        s.add("instance", n.instance);
        for (auto& id : n.hardwareIds) s.add("hardware", id);
        if (const DeviceNode* parent = find(n.parent)) s.add("parent", parent->instance);
    }
}

}  // namespace simwin
