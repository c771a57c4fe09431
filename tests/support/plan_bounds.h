// Whether what a run changed stays inside what its plan names. The plan is the removal profile as the run
// left it (with what the stages added to it), the printer entries and the machine before the run; every
// difference that none of them explains is returned, one line each, so that a test can expect none.
//
// What explains a difference:
// - files: a name of the `files` list where the file stage looks for it, a shortcut of the `shortcuts` list (as itself, .LNK or .PIF),
//   NRESTART.EXE, an OEM INF (with its .pnf) naming a deleted driver, a directory inside an OEM path or a
//   program group's folder; the rename lists and the colour directory may appear, win.ini and the INI
//   files of `deleteIni` may change (and the default printer's Device value in the user's registry, where
//   the NT family keeps win.ini's [windows] section);
// - registry: an item of `registryKeys` (its key, its tree when recursive or outside the NT family, where
//   a key goes with its subkeys; its value), the class key of a
//   removed printer's UniqueID and its subkeys, the removed printers' per-user values and keys, the
//   start-up values of `deleteLoadRun`, the keys of listed monitors and print processors, the family's
//   ProgramGroups key;
// - machine.ini: removed printers, the drivers the driver stage may delete, listed monitors, processors
//   and services (a running service marked for deletion), USB device nodes, the family's windows closed
//   (and the spool process's on Windows 95; any window may have received the family's close message),
//   files scheduled for deletion, programs started, a new default printer, printers switched to WinPrint,
//   a restart requested, a faulty spooler's state.
#pragma once

#include <ctype.h>

#include <algorithm>

#include <set>
#include <string>
#include <vector>

#include "script/database.h"
#include "script/text_list.h"
#include "support/machine_diff.h"

namespace planbounds {

namespace detail {

inline std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return s;
}

inline std::string TrimQuotes(std::string s) {
    while (!s.empty() && s.front() == '"') s.erase(0, 1);
    while (!s.empty() && s.back() == '"') s.pop_back();
    return s;
}

inline std::vector<std::string> Fields(const std::string& item) {
    std::vector<std::string> out;
    size_t at = 0;
    while (true) {
        size_t comma = item.find(',', at);
        out.push_back(TrimQuotes(item.substr(at, comma == std::string::npos ? std::string::npos : comma - at)));
        if (comma == std::string::npos) return out;
        at = comma + 1;
    }
}

// The last component of a path (a directory's without its trailing backslash), lower-cased.
inline std::string NameOf(std::string path) {
    if (!path.empty() && path.back() == '\\') path.pop_back();
    size_t slash = path.find_last_of("\\/");
    return Lower(slash == std::string::npos ? path : path.substr(slash + 1));
}

inline std::string StemOf(const std::string& name) {
    size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

inline bool StartsWith(const std::string& s, const std::string& prefix) { return s.compare(0, prefix.size(), prefix) == 0; }
inline bool EndsWith(const std::string& s, const std::string& suffix) {
    return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), std::string::npos, suffix) == 0;
}

inline std::string RegistryRoot(const std::string& root) {
    const std::string r = Lower(root);
    if (r == "hklm") return "hkey_local_machine\\";
    if (r == "hkcr") return "hkey_local_machine\\software\\classes\\";
    if (r == "hkcu") return "hkey_current_user\\";
    if (r == "hku") return "hkey_users\\";
    return "";
}

inline std::string KeyPath(const std::string& root, std::string subKey) {
    while (!subKey.empty() && subKey.front() == '\\') subKey.erase(0, 1);
    while (!subKey.empty() && subKey.back() == '\\') subKey.pop_back();
    return root + Lower(subKey);
}

struct Plan {
    std::set<std::string> files, shortcutNames, groups, oemDirectories, iniFiles, runValues;
    std::set<std::string> monitors, processors, services, drivers;
    std::set<std::string> removedPrinters, keptDrivers, removedDrivers, uniqueIds;
    struct Key {
        std::string path;
        bool recursive;
    };
    std::vector<Key> keys;
    std::set<std::string> values;  // "key|name", lower-cased
    bool pavaneGoes = false;

    static std::set<std::string> Names(const CTextList& list) {
        std::set<std::string> out;
        for (const char* item : list) out.insert(Lower(item));
        return out;
    }

    Plan(const CUninstallDatabase& db, const machinediff::State& before) {
        const CUninstallProfile& r = db.removal;
        for (const char* item : r.files) {
            std::string name = item;
            files.insert(NameOf(name.substr(0, name.find('='))));
        }
        files.insert("nrestart.exe");
        for (const char* item : r.shortcuts) {
            std::vector<std::string> f = Fields(item);
            groups.insert(Lower(f[0]));
            if (f.size() < 2 || f[1].empty()) continue;
            const std::string name = NameOf(f[1]), stem = StemOf(name);
            shortcutNames.insert({name, stem + ".lnk", stem + ".pif"});
        }
        for (const char* item : r.oemPaths) {
            std::string path = Lower(item);
            oemDirectories.insert(path.substr(0, path.find_last_of('\\') + 1));
        }
        for (const char* item : r.deleteIni) iniFiles.insert(NameOf(Fields(item)[0]));
        for (const char* item : r.deleteLoadRun) runValues.insert(Lower(Fields(item)[0]));
        monitors = Names(r.monitors);
        processors = Names(r.printProcessors);
        services = Names(r.services);
        drivers = Names(r.drivers);
        // Outside the NT family RegDeleteKeyA takes a key's subkeys with it.
        const bool treeDeletion = before.Get("system", "platform") != "nt";
        for (const char* item : r.registryKeys) {
            std::vector<std::string> f = Fields(item);
            if (f.size() < 3 || RegistryRoot(f[0]).empty()) continue;
            const std::string key = KeyPath(RegistryRoot(f[0]), f[1]);
            if (f[2].empty())
                keys.push_back({key, treeDeletion || (f.size() > 3 && !f[3].empty() && f[3][0] == '1')});
            else
                values.insert(key + "|" + Lower(f[2]));
        }
        for (const CPrinterEntry& p : db.printers) {
            if (p.isKept && !p.isForeign) keptDrivers.insert(Lower(p.driverName));
            if (p.isKept || p.isForeign) continue;
            removedPrinters.insert(Lower(p.printerName));
            removedDrivers.insert(Lower(p.driverName));
            std::string id = before.Get(std::string("printer ") + p.printerName, "data.UniqueID");
            if (!id.empty()) uniqueIds.insert(Lower(id));
        }
        // The 9x family keeps the UniqueID in the printer's registry key.
        for (const auto& v : before.values) {
            const std::string name = Lower(v.first);
            for (const std::string& printer : removedPrinters)
                if (name.size() > printer.size() && name.find("\\printers\\" + printer + "\\printerdriverdata|uniqueid") !=
                                                        std::string::npos)
                    uniqueIds.insert(Lower(TrimQuotes(v.second)));
        }
        pavaneGoes = !db.pavaneStays;
    }

    // The places the file stage deletes listed names from: directly in the system directories, two levels
    // deep below the searched ones, three below an OEM path. Without the directory lists anywhere.
    std::vector<std::string> directDirs, searchDirs;
    bool InFileDirectories(const std::string& path) const {
        if (directDirs.empty() && searchDirs.empty()) return true;
        const std::string parent = path.substr(0, path.find_last_of('\\') + 1);
        for (const std::string& d : directDirs)
            if (parent == d) return true;
        auto below = [&](const std::string& dir, size_t levels) {
            return StartsWith(parent, dir) &&
                   static_cast<size_t>(std::count(parent.begin() + dir.size(), parent.end(), '\\')) <= levels;
        };
        for (const std::string& d : searchDirs)
            if (below(d, 2)) return true;
        for (const std::string& d : oemDirectories)
            if (below(d, 3)) return true;
        return false;
    }

    bool DriverMayGo(const std::string& name) const {
        const std::string d = Lower(name);
        if (drivers.count(d)) return true;
        if (removedDrivers.count(d) && !keptDrivers.count(d)) return true;
        return pavaneGoes && name.find("(PSCRIPT)") != std::string::npos;
    }
};

inline bool FileRemovalExplained(const Plan& plan, const machinediff::State& before, const std::string& path) {
    const std::string name = NameOf(path), lower = Lower(path);
    if (path.back() == '\\') {
        for (const std::string& dir : plan.oemDirectories)
            if (StartsWith(lower, dir)) return true;
        return plan.groups.count(name) > 0;
    }
    if (plan.files.count(name) && plan.InFileDirectories(lower)) return true;
    if (plan.shortcutNames.count(name) && lower.find("\\start menu\\") != std::string::npos) return true;
    // An OEM INF naming a driver that may go, with its precompiled .pnf.
    const std::string ext = name.size() > 4 ? name.substr(name.size() - 4) : "";
    if (!StartsWith(name, "oem") || lower.find("\\inf\\") == std::string::npos || (ext != ".inf" && ext != ".pnf"))
        return false;
    const std::string inf = lower.substr(0, lower.size() - 3) + "inf";
    for (const auto& f : before.files) {
        if (Lower(f.first) != inf) continue;
        const std::string models = Lower(f.second);
        for (const std::set<std::string>* names : {&plan.removedDrivers, &plan.drivers})
            for (const std::string& d : *names)
                if (models.find(d) != std::string::npos) return true;
        if (plan.pavaneGoes && models.find("(pscript)") != std::string::npos) return true;
    }
    return false;
}

inline bool KeyRemovalExplained(const Plan& plan, const std::string& key) {
    const std::string k = Lower(key);
    for (const Plan::Key& item : plan.keys)
        if (k == item.path || (item.recursive && StartsWith(k, item.path + "\\"))) return true;
    for (const std::string& id : plan.uniqueIds) {
        const std::string classKey = "hkey_local_machine\\software\\classes\\" + id;
        if (k == classKey || (StartsWith(k, classKey + "\\") && k.find('\\', classKey.size() + 1) == std::string::npos))
            return true;
    }
    for (const std::string& printer : plan.removedPrinters)
        if (k == "hkey_current_user\\software\\vestral\\" + printer) return true;
    if (k == "hkey_local_machine\\software\\vestral\\oem04\\programgroups") return true;
    for (const std::string& m : plan.monitors)
        if (k == "hkey_local_machine\\system\\currentcontrolset\\control\\print\\monitors\\" + m) return true;
    const std::string environments = "hkey_local_machine\\system\\currentcontrolset\\control\\print\\environments\\";
    for (const std::string& p : plan.processors)
        if (StartsWith(k, environments) && EndsWith(k, "\\print processors\\" + p)) return true;
    return false;
}

inline bool ValueRemovalExplained(const Plan& plan, const std::string& value) {
    const std::string v = Lower(value);
    if (plan.values.count(v)) return true;
    const size_t bar = v.find('|');
    const std::string key = v.substr(0, bar), name = v.substr(bar + 1);
    static const std::set<std::string> userKeys = {
        "hkey_current_user\\printers\\devmodes2", "hkey_current_user\\printers\\settings",
        "hkey_current_user\\software\\microsoft\\windows nt\\currentversion\\devices",
        "hkey_current_user\\software\\microsoft\\windows nt\\currentversion\\printerports"};
    if (userKeys.count(key) && plan.removedPrinters.count(name)) return true;
    return key == "hkey_local_machine\\software\\microsoft\\windows\\currentversion\\run" && plan.runValues.count(name);
}

// The object's kind and name: "printer Office" -> {"printer", "office"}; an environment in brackets dropped.
inline std::pair<std::string, std::string> KindAndName(const std::string& object) {
    std::string rest = object;
    while (!rest.empty() && rest.back() == '\'') rest.pop_back();
    const size_t space = rest.find(' ');
    if (space == std::string::npos) return {rest, ""};
    std::string name = rest.substr(space + 1);
    if (!name.empty() && name.back() == ')') name = name.substr(0, name.rfind(" ("));
    return {rest.substr(0, space), name};
}

inline bool ObjectRemovalExplained(const Plan& plan, const std::string& object) {
    auto kn = KindAndName(object);
    const std::string& kind = kn.first;
    const std::string name = Lower(kn.second);
    if (kind == "printer") return plan.removedPrinters.count(name) > 0;
    if (kind == "driver") return plan.DriverMayGo(kn.second);
    if (kind == "monitor") return plan.monitors.count(name) > 0;
    if (kind == "processor") return plan.processors.count(name) > 0;
    if (kind == "service") return plan.services.count(name) > 0;
    if (kind == "device") return StartsWith(name, "usb");
    if (kind == "window") {
        // The family's other programs are closed while loading, the spool process's window on Windows 95.
        static const std::set<std::string> closed = {
            "jnstatuswindowclass_", "vststatusclass_04", "vstinstallclass__", "nlinkwclass04", "vspl32_tclass",
            "nmsgpopclass_t", "pavanedlgclass04", "npsd04", "vstpsmcclass04", "spoolprocessclass"};
        return closed.count(name) > 0;
    }
    if (kind == "file") return plan.files.count(NameOf(kn.second)) > 0;
    return false;
}

inline bool ObjectAdditionExplained(const Plan& plan, const machinediff::State& before, const std::string& object) {
    auto kn = KindAndName(object);
    if (kn.first == "pending") return plan.files.count(NameOf(kn.second)) || plan.shortcutNames.count(NameOf(kn.second));
    if (kn.first == "progman" && kn.second.empty()) {  // saved when no group is left
        for (const auto& o : before.objects)
            if (StartsWith(o.first, "progman ")) return true;
    }
    return false;
}

// One changed key of an object: "key: before -> after".
inline bool ObjectChangeExplained(const Plan& plan, const machinediff::State& before, const std::string& object,
                                  const std::string& change) {
    auto kn = KindAndName(object);
    const std::string key = change.substr(0, change.find(':'));
    const std::string now = change.substr(change.find(" -> ") + 4);
    if (kn.first == "system") return key == "reboot" && now == "yes";
    if (kn.first == "spooler") return before.Get("spooler", "state") != "running";
    if (kn.first == "printer") {
        if (key == "default") return true;  // a new default printer
        const bool listed = plan.processors.count(Lower(before.Get(object, "processor"))) > 0;
        return listed && ((key == "processor" && now == "WinPrint") || (key == "datatype" && now == "RAW"));
    }
    if (kn.first == "service") return key == "marked" && now == "yes" && plan.services.count(Lower(kn.second));
    if (kn.first == "program") return key == "started";
    if (kn.first == "window") return key == "received";
    if (kn.first == "progman") return key == "item" && plan.groups.count(Lower(kn.second));
    return false;
}

}  // namespace detail

// The directory lists of the removal page, when given, also bound where a listed file may go from.
inline std::vector<std::string> Unexplained(const machinediff::State& before, const machinediff::Diff& d,
                                            const CUninstallDatabase& db, const CTextList* directDirs = nullptr,
                                            const CTextList* searchDirs = nullptr) {
    using namespace detail;
    Plan plan(db, before);
    if (directDirs)
        for (const char* dir : *directDirs) plan.directDirs.push_back(Lower(dir));
    if (searchDirs)
        for (const char* dir : *searchDirs) plan.searchDirs.push_back(Lower(dir));
    std::vector<std::string> out;
    for (const std::string& f : d.filesRemoved)
        if (!FileRemovalExplained(plan, before, f)) out.push_back("file removed " + f);
    for (const std::string& f : d.filesAdded) {
        const std::string name = NameOf(f);
        if (name != "wininit.ini" && name != "nwininit.ini" && name != "win.ini" && !(name == "color" && f.back() == '\\'))
            out.push_back("file added " + f);
    }
    for (const std::string& f : d.filesChanged) {
        const std::string name = NameOf(f);
        if (name != "win.ini" && name != "wininit.ini" && name != "nwininit.ini" && !plan.iniFiles.count(name))
            out.push_back("file changed " + f);
    }
    for (const std::string& k : d.keysRemoved)
        if (!KeyRemovalExplained(plan, k)) out.push_back("key removed " + k);
    for (const std::string& v : d.valuesRemoved)
        if (!ValueRemovalExplained(plan, v)) out.push_back("value removed " + v);
    for (const std::string& k : d.keysAdded) out.push_back("key added " + k);
    // The default printer: on the NT family the value Device of the user's Windows key (win.ini's [windows]
    // device, which the profile functions keep in the registry there).
    auto isDefaultDevice = [](const std::string& v) {
        return Lower(v) == "hkey_current_user\\software\\microsoft\\windows nt\\currentversion\\windows|device";
    };
    for (const std::string& v : d.valuesAdded)
        if (!isDefaultDevice(v)) out.push_back("value added " + v);
    for (const std::string& v : d.valuesChanged)
        if (!isDefaultDevice(v)) out.push_back("value changed " + v);
    for (const std::string& o : d.objectsRemoved)
        if (!ObjectRemovalExplained(plan, o)) out.push_back("object removed " + o);
    for (const std::string& o : d.objectsAdded)
        if (!ObjectAdditionExplained(plan, before, o)) out.push_back("object added " + o);
    for (const auto& o : d.objectsChanged)
        for (const std::string& c : o.second)
            if (!ObjectChangeExplained(plan, before, o.first, c)) out.push_back("object changed " + o.first + ": " + c);
    return out;
}

// What changed of the printers of other makers (neither the family's marker nor a Pavane name) and of
// their drivers in the local environment; a new default printer is no change of theirs. On Win32s, whose
// printers carry no printer data, every printer is taken as the family's.
inline std::vector<std::string> ForeignChanges(const machinediff::State& before, const machinediff::State& after) {
    std::vector<std::string> out;
    if (before.Get("system", "platform") == "win32s") return out;
    const std::string local = before.Get("system", "platform") == "nt" ? "Windows x64" : "Windows 4.0";
    for (const auto& o : before.objects) {
        if (!detail::StartsWith(o.first, "printer ")) continue;
        if (!before.Get(o.first, "data.VestralDriver04").empty() || !before.Get(o.first, "data.PavPrinter").empty()) continue;
        auto a = after.objects.find(o.first);
        if (a == after.objects.end()) {
            out.push_back(o.first + " removed");
            continue;
        }
        std::set<std::string> keys;
        for (const auto* entries : {&o.second, &a->second})
            for (const auto& e : *entries) keys.insert(e.first);
        for (const std::string& key : keys)
            if (key != "default" && after.Get(o.first, key) != before.Get(o.first, key)) out.push_back(o.first + " changed its " + key);
        const std::string driver = "driver " + before.Get(o.first, "driver") + " (" + local + ")";
        auto d = after.objects.find(driver);
        if (before.objects.count(driver) && (d == after.objects.end() || d->second != before.objects.at(driver)))
            out.push_back(driver + " of " + o.first + " changed or removed");
    }
    return out;
}

}  // namespace planbounds
