#include "tools/korun04-sim/changes.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "base/platform.h"
#include "base/run_log.h"
#include "app/run_options.h"
#include "simwin/pending_renames.h"
#include "simwin/machine.h"

namespace {

const char* const kKindNames[CHANGE_KIND_COUNT] = {
    "printers", "drivers",  "monitors", "processors", "services", "devices", "files and folders",
    "registry keys and values", "INI lines", "deletions scheduled for the restart", "the system",
    "the tool's own files",
};

// Where the backup sets go, below the common application data folder.
const char kBackupFolder[] = "\\Vestral\\korun04\\Backup";
const int kCommonAppData = 0x23;  // CSIDL_COMMON_APPDATA

StateItem& Add(MachineState& state, ChangeKind kind, const std::string& name, const std::string& parent = "") {
    StateItem& item = state.items[kind][name];
    item.parent = parent;
    return item;
}

void Field(StateItem& item, const std::string& name, const std::string& value) {
    if (!value.empty()) item.fields.emplace_back(name, value);
}

std::string EnvironmentName(const std::string& name, const std::string& environment) {
    return name + " (" + environment + ")";
}

// ---- the spooler, the services, the devices ---------------------------------------------------------------

void CapturePrinters(const simwin::Machine& m, MachineState& state) {
    for (const simwin::Printer& p : m.spooler.printers) {
        StateItem& item = Add(state, CHANGE_PRINTERS, p.name);
        Field(item, "driver", p.driver);
        Field(item, "port", p.port);
        Field(item, "server", p.server);
        // What every printer has unless it says otherwise is left out.
        Field(item, "default", p.isDefault() ? "yes" : "");
        Field(item, "processor", simwin::toUpper(p.processor) == "WINPRINT" ? "" : p.processor);
        Field(item, "datatype", simwin::toUpper(p.datatype) == "RAW" ? "" : p.datatype);
        if (p.jobs) Field(item, "jobs", std::to_string(p.jobs));
        if (p.pendingDeletion) Field(item, "pending deletion", "yes");
        for (const auto& d : p.data) Field(item, "data", d.first + "=" + d.second);
        for (const auto& d : p.otherData) Field(item, "data", d.first + " (type " + std::to_string(d.second.first) + ")");
    }
}

void CaptureDrivers(const simwin::Machine& m, MachineState& state) {
    for (const simwin::PrinterDriver& d : m.spooler.drivers) {
        StateItem& item = Add(state, CHANGE_DRIVERS, EnvironmentName(d.name, d.environment));
        Field(item, "file", d.file);
        Field(item, "data", d.data);
        Field(item, "config", d.config);
        Field(item, "help", d.help);
        for (const std::string& dependent : d.dependents) Field(item, "dependent", dependent);
        Field(item, "monitor", d.monitor);
        Field(item, "inf", d.inf);
    }
}

void CaptureComponents(const std::vector<simwin::SpoolerComponent>& components, ChangeKind kind, MachineState& state) {
    for (const simwin::SpoolerComponent& c : components) {
        StateItem& item = Add(state, kind, EnvironmentName(c.name, c.environment));
        Field(item, "library", c.dll.empty() ? c.standardDll : c.dll);
        if (c.inUse) Field(item, "in use", "yes");
    }
}

void CaptureMonitorsAndProcessors(const simwin::Machine& m, MachineState& state) {
    CaptureComponents(m.spooler.monitors, CHANGE_MONITORS, state);
    for (const simwin::Port& p : m.spooler.ports) {
        StateItem& item = Add(state, CHANGE_MONITORS, "port " + p.name);
        Field(item, "monitor", p.monitor);
    }
    CaptureComponents(m.spooler.processors, CHANGE_PROCESSORS, state);
}

void CaptureServices(const simwin::Machine& m, MachineState& state) {
    for (const simwin::Service& s : m.services.services) {
        if (s.deleted) continue;
        StateItem& item = Add(state, CHANGE_SERVICES, s.name);
        Field(item, "state", s.running ? "running" : "stopped");
        Field(item, "deletion", s.markedForDelete ? "marked" : "");
        Field(item, "program", s.config.binary);
        Field(item, "start", std::to_string(s.config.start));
    }
}

void CaptureDevices(const simwin::Machine& m, MachineState& state) {
    for (const simwin::DeviceNode& node : m.devices.nodes) {
        if (node.state != simwin::DeviceState::Present) continue;
        const simwin::DeviceNode* parent = m.devices.find(node.parent);
        StateItem& item = Add(state, CHANGE_DEVICES, node.instance, parent ? parent->instance : "");
        for (const std::string& id : node.hardwareIds) Field(item, "hardware", id);
    }
}

// ---- files, INI lines, deletions at the restart ------------------------------------------------------------

bool IsIniFile(const std::string& name) {
    return name.size() > 4 && simwin::toUpper(name.substr(name.size() - 4)) == ".INI";
}

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// An INI file's lines, each named by the file, its section and the line (a line written twice counts twice).
void CaptureIniLines(const std::string& path, const std::string& content, MachineState& state) {
    std::istringstream in(content);
    std::string line, section;
    while (std::getline(in, line)) {
        line = Trimmed(line);
        if (line.empty()) continue;
        if (line[0] == '[') {
            section = line;
            continue;
        }
        std::string name = path + " " + (section.empty() ? "" : section + " ") + line;
        for (int copy = 2; state.items[CHANGE_INI_LINES].count(name); ++copy) name += " (" + std::to_string(copy) + ")";
        Add(state, CHANGE_INI_LINES, name, path);
    }
}

// WININIT.INI's [rename] lines (the 9x family's deletions at the restart): "NUL=path" deletes, "to=from" renames.
void CapturePendingOfWininit(const std::string& content, MachineState& state) {
    std::istringstream in(content);
    std::string line;
    bool rename = false;
    while (std::getline(in, line)) {
        line = Trimmed(line);
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            rename = simwin::toUpper(line) == "[RENAME]";
            continue;
        }
        const size_t equals = line.find('=');
        if (!rename || equals == std::string::npos) continue;
        const std::string to = Trimmed(line.substr(0, equals)), from = Trimmed(line.substr(equals + 1));
        Field(Add(state, CHANGE_PENDING, from), "", simwin::toUpper(to) == "NUL" ? "deleted at restart" : "renamed to " + to);
    }
}

void CaptureNode(const simwin::Machine& m, const simwin::FileNode& node, const std::string& parent, MachineState& state) {
    const std::string path = node.path();
    if (!node.isRoot()) {
        StateItem& item = Add(state, CHANGE_FILES, path, parent);
        if (node.isDirectory) {
            Field(item, "", "folder");
        } else {
            // An INI file's changes show as its lines.
            if (IsIniFile(node.name)) {
                Field(item, "", "INI file");
                CaptureIniLines(path, node.content, state);
            } else {
                Field(item, "", std::to_string(node.content.size()) + " bytes");
                item.fields.emplace_back("#content", node.content);
            }
        }
        if (node.attributes) Field(item, "attributes", std::to_string(node.attributes));
        if (!node.isDirectory && simwin::toUpper(path) == simwin::toUpper(m.system.windowsDir + "\\WININIT.INI"))
            CapturePendingOfWininit(node.content, state);
    }
    for (const auto& child : node.children) CaptureNode(m, *child.second, node.isRoot() ? "" : path, state);
}

void CaptureFiles(const simwin::Machine& m, MachineState& state) {
    for (const std::string& letter : m.files.driveLetters())
        if (const simwin::FileNode* drive = m.files.drive(letter)) CaptureNode(m, *drive, "", state);
    for (const simwin::PendingRename& r : simwin::pendingRenames(m.registry))
        Field(Add(state, CHANGE_PENDING, r.from), "", r.to.empty() ? "deleted at restart" : "renamed to " + r.to);
}

// ---- the registry ----------------------------------------------------------------------------------------

std::string ValueText(const simwin::RegValue& v) {
    if ((v.type == REG_SZ || v.type == REG_EXPAND_SZ) && !v.data.empty() && v.data.back() == 0)
        return std::string(v.type == REG_SZ ? "" : "expand ") + "\"" + std::string(v.data.begin(), v.data.end() - 1) + "\"";
    if (v.type == REG_DWORD && v.data.size() == 4) {
        const DWORD d = v.data[0] | v.data[1] << 8 | v.data[2] << 16 | static_cast<DWORD>(v.data[3]) << 24;
        return "dword " + std::to_string(d);
    }
    std::string text = "type " + std::to_string(v.type) + ",";
    char byte[4];
    for (unsigned char b : v.data) {
        std::snprintf(byte, sizeof byte, " %02x", b);
        text += byte;
    }
    return text;
}

void CaptureKey(const simwin::RegKey& key, const std::string& parent, MachineState& state) {
    const std::string path = simwin::Registry::pathOf(key);
    if (!parent.empty()) Field(Add(state, CHANGE_REGISTRY, path, parent), "", "key");
    for (const simwin::RegValue& v : key.values)
        // The restart's rename list has a group of its own (below).
        if (!simwin::isPendingRenamesValue(key, v))
            Field(Add(state, CHANGE_REGISTRY, path + " " + (v.name.empty() ? "@" : "\"" + v.name + "\""), parent.empty() ? "" : path),
              "", ValueText(v));
    for (const auto& sub : key.subkeys) CaptureKey(*sub.second, path, state);
}

void CaptureRegistry(const simwin::Machine& m, MachineState& state) {
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_USERS, HKEY_CURRENT_CONFIG})
        if (auto key = m.registry.root(root)) CaptureKey(*key, "", state);
}

// ---- the comparison --------------------------------------------------------------------------------------

std::string Summary(const StateItem& item) {
    std::string text;
    for (const auto& f : item.fields) {
        if (!f.first.empty() && f.first[0] == '#') continue;
        text += (text.empty() ? "" : ", ") + (f.first.empty() ? f.second : f.first + " " + f.second);
    }
    return text;
}

// The fields of one name, joined: a field written several times (a printer's data) compares as a whole.
std::map<std::string, std::string> Joined(const StateItem& item) {
    std::map<std::string, std::string> fields;
    for (const auto& f : item.fields) fields[f.first] += (fields.count(f.first) ? "; " : "") + f.second;
    return fields;
}

std::string Differences(const StateItem& before, const StateItem& after) {
    const std::map<std::string, std::string> was = Joined(before), is = Joined(after);
    std::map<std::string, std::string> names;
    for (const auto& f : was) names[f.first];
    for (const auto& f : is) names[f.first];
    std::string text;
    for (const auto& n : names) {
        const auto a = was.find(n.first), b = is.find(n.first);
        const std::string from = a == was.end() ? "(none)" : a->second, to = b == is.end() ? "(none)" : b->second;
        if (from == to) continue;
        std::string part = n.first[0] == '#' ? "content changed" : (n.first.empty() ? "" : n.first + " ") + from + " -> " + to;
        text += (text.empty() ? "" : ", ") + part;
    }
    return text;
}

bool AtOrBelow(const std::string& path, const std::string& folder) {
    if (folder.empty() || path.size() < folder.size()) return false;
    if (simwin::toUpper(path.substr(0, folder.size())) != simwin::toUpper(folder)) return false;
    return path.size() == folder.size() || path[folder.size()] == '\\';
}

// One kind's changes, with the items below a removed (or added) item of the same sign folded into it.
std::vector<Change> CompareKind(const StateItems& before, const StateItems& after) {
    std::vector<Change> changes;
    std::map<std::string, int, simwin::ILess> folded;  // a removed or added item -> items folded into it
    std::map<std::string, char, simwin::ILess> sign;
    auto topOf = [&](const StateItems& items, const std::string& name, char s) {
        std::string top = name;
        for (auto p = items.find(name); p != items.end() && !p->second.parent.empty(); p = items.find(p->second.parent)) {
            auto parentSign = sign.find(p->second.parent);
            if (parentSign == sign.end() || parentSign->second != s) break;
            top = p->second.parent;
        }
        return top;
    };
    for (const auto& b : before)
        if (!after.count(b.first)) sign[b.first] = '-';
    for (const auto& a : after)
        if (!before.count(a.first)) sign[a.first] = '+';
    for (const auto& s : sign) {
        const StateItems& items = s.second == '-' ? before : after;
        const std::string top = topOf(items, s.first, s.second);
        if (top != s.first) ++folded[top];
    }
    for (const auto& s : sign) {
        const StateItems& items = s.second == '-' ? before : after;
        if (topOf(items, s.first, s.second) != s.first) continue;
        std::string detail = Summary(items.find(s.first)->second);
        if (const int below = folded[s.first])
            detail += (detail.empty() ? "" : ", ") + std::string("and ") + std::to_string(below) +
                      (below == 1 ? " item below" : " items below");
        changes.push_back({s.second, s.first, detail});
    }
    for (const auto& b : before) {
        auto a = after.find(b.first);
        if (a == after.end()) continue;
        const std::string differences = Differences(b.second, a->second);
        if (!differences.empty()) changes.push_back({'~', b.first, differences});
    }
    std::stable_sort(changes.begin(), changes.end(),
                     [](const Change& x, const Change& y) { return simwin::iless(x.item, y.item); });
    return changes;
}

// A path of the tool's own: at or below one of ownPaths, or a folder on the way to one (made for it).
bool IsOwn(const std::string& path, const std::vector<std::string>& ownPaths) {
    for (const std::string& own : ownPaths)
        if (AtOrBelow(path, own) || AtOrBelow(own, path)) return true;
    return false;
}

// The state with the tool's own files (and the lines of its own INI files) moved to CHANGE_OWN_FILES.
MachineState ApartOwnFiles(const MachineState& state, const std::vector<std::string>& ownPaths) {
    MachineState apart = state;
    for (int kind : {CHANGE_FILES, CHANGE_INI_LINES}) {
        StateItems& items = apart.items[kind];
        for (auto i = items.begin(); i != items.end();) {
            const std::string& path = kind == CHANGE_FILES ? i->first : i->second.parent;
            if (!IsOwn(path, ownPaths)) {
                ++i;
                continue;
            }
            if (kind == CHANGE_FILES) apart.items[CHANGE_OWN_FILES].insert(*i);
            i = items.erase(i);
        }
    }
    return apart;
}

}  // namespace

const char* ChangeKindName(ChangeKind kind) { return kind < CHANGE_KIND_COUNT ? kKindNames[kind] : "?"; }

bool MachineChanges::Empty() const {
    for (const std::vector<Change>& k : kinds)
        if (!k.empty()) return false;
    return true;
}

MachineState CaptureState(const simwin::Machine& machine) {
    MachineState state;
    CapturePrinters(machine, state);
    CaptureDrivers(machine, state);
    CaptureMonitorsAndProcessors(machine, state);
    CaptureServices(machine, state);
    CaptureDevices(machine, state);
    CaptureFiles(machine, state);
    CaptureRegistry(machine, state);
    if (machine.system.rebootRequested) Field(Add(state, CHANGE_SYSTEM, "restart requested"), "", "yes");
    return state;
}

MachineChanges CompareStates(const MachineState& before, const MachineState& after,
                             const std::vector<std::string>& ownPaths) {
    const MachineState was = ApartOwnFiles(before, ownPaths), is = ApartOwnFiles(after, ownPaths);
    MachineChanges changes;
    for (int k = 0; k < CHANGE_KIND_COUNT; ++k) changes.kinds[k] = CompareKind(was.items[k], is.items[k]);
    // An INI file's lines count while the file is there before and after (a file that came or went is listed
    // as a file) and is not the tool's own.
    std::vector<Change>& lines = changes.kinds[CHANGE_INI_LINES];
    for (auto c = lines.begin(); c != lines.end();) {
        const std::string& file = (c->sign == '-' ? was : is).items[CHANGE_INI_LINES].find(c->item)->second.parent;
        const bool both = was.items[CHANGE_FILES].count(file) && is.items[CHANGE_FILES].count(file);
        c = both ? c + 1 : lines.erase(c);
    }
    return changes;
}

void PrintChanges(std::ostream& out, const MachineChanges& changes) {
    out << "changes:\n";
    if (changes.Empty()) out << "  (none)\n";
    for (int k = 0; k < CHANGE_KIND_COUNT; ++k) {
        if (changes.kinds[k].empty()) continue;
        out << kKindNames[k] << ":\n";
        for (const Change& c : changes.kinds[k])
            out << "  " << c.sign << ' ' << c.item << (c.detail.empty() ? "" : " (" + c.detail + ")") << "\n";
    }
}

std::vector<std::string> ToolOwnPaths(const simwin::Machine& machine, const std::string& commandTail) {
    CRunOptions options;
    options.Parse(("korun04.exe " + commandTail).c_str());
    std::vector<std::string> paths;
    paths.push_back(machine.files.fullPath(options.logPath.empty() ? CRunLog::DefaultPath() : options.logPath));
    if (!options.planPath.empty()) paths.push_back(machine.files.fullPath(options.planPath));
    auto appData = machine.system.shellFolders.find(kCommonAppData);
    if (appData != machine.system.shellFolders.end()) paths.push_back(machine.files.fullPath(appData->second + kBackupFolder));
    return paths;
}
