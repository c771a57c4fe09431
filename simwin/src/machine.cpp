#include "simwin/machine.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "simwin/machine_format.h"
#include "simwin/pending_renames.h"
#include "simwin/spooler_facts.h"
#include "simwin/standard_files.h"
#include "simwin/util.h"
#include "driver_store.h"

namespace fs = std::filesystem;

namespace simwin {

namespace {
Machine* g_current = nullptr;

std::string readText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    if (!in) throw MachineError(p.string() + ": cannot be read");
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// The text of a file the directory holds as a plain file; a missing one or a directory of that
// name is an error that says which.
std::string readPlainFile(const fs::path& p) {
    std::error_code ec;
    const fs::file_status st = fs::status(p, ec);
    if (!fs::exists(st)) throw MachineError(p.string() + ": missing (an empty file gives the standard layout)");
    if (fs::is_directory(st)) throw MachineError(p.string() + ": a directory, not a file");
    if (!fs::is_regular_file(st)) throw MachineError(p.string() + ": not a regular file");
    const std::string text = readText(p);
    checkNoNul(text, p.string());
    return text;
}

void writeText(const fs::path& p, const std::string& text) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    if (!out) throw MachineError(p.string() + ": cannot be written");
    out << text;
}

bool samePending(const PendingRename& a, const PendingRename& b) { return iequals(a.from, b.from) && iequals(a.to, b.to); }

// [pending] sections are the session manager's rename list written out. A registry.reg may hold the value
// itself (a capture of a real machine does); both together must say the same.
void loadPendingRenames(const IniDoc& doc, Machine& m) {
    std::vector<PendingRename> declared;
    for (const IniSection* s : doc.all("pending")) {
        PendingRename r{s->get("from"), s->get("to")};
        if (r.from.empty()) throw MachineError("[pending] without from");
        declared.push_back(r);
    }
    if (declared.empty()) return;
    const std::vector<PendingRename> recorded = pendingRenames(m.registry);
    if (!recorded.empty() && !std::equal(declared.begin(), declared.end(), recorded.begin(), recorded.end(), samePending))
        throw MachineError(std::string("machine.ini [pending] and registry.reg ") + kSessionManagerKey + " \"" +
                           kPendingRenamesValue + "\" disagree: give the list in one of them");
    setPendingRenames(m.registry, declared);
}
}  // namespace

Machine::Machine(Platform platform) : Machine(platform, Unlaid()) { applyLayout(); }

Machine::Machine(Platform platform, Unlaid) {
    system.setLayout(platform);
    if (platform == Platform::Nt) {
        services.setSpoolerState("running");
        registry.create(kSessionManagerKey);  // every NT machine has it: the restart's rename list lives there
    }
}

void Machine::applyLayout() {
    files.makeDirectories(system.windowsDir);
    files.makeDirectories(system.systemDir);
    files.makeDirectories(system.tempDir);
    for (auto& d : system.driverDirs) files.makeDirectories(d.second);
    files.makeDirectories(system.printProcessorDir);
    if (!system.colorDir.empty()) files.makeDirectories(system.colorDir);
    for (auto& f : system.shellFolders) files.makeDirectories(f.second);
    if (system.platform == Platform::Nt) files.makeDirectories(system.windowsDir + "\\INF");
    std::string programDir = system.program.substr(0, system.program.find_last_of('\\') + 1);
    if (programDir.size() > 3) files.makeDirectories(programDir);
    files.currentDirectory = programDir.empty() ? "C:\\" : programDir;
    if (files.currentDirectory.size() > 3 && files.currentDirectory.back() == '\\') files.currentDirectory.pop_back();
    if (system.standardFiles) files.addStandardFiles(standardFiles(system));
}

std::unique_ptr<Machine> Machine::fromDoc(const IniDoc& doc, const std::function<void(Machine&)>& loadFiles) {
    const IniSection* sys = doc.first("system");
    Platform platform = sys ? parsePlatform(sys->get("platform", "nt")) : Platform::Nt;
    std::unique_ptr<Machine> m(new Machine(platform, Unlaid()));
    if (sys) m->system.load(*sys);
    // The folders before anything that lies in them (drivers, processors, files).
    if (const IniSection* layout = doc.first("layout")) m->system.loadLayout(*layout);
    // The files are only what the directory holds, plus the layout applied below.
    loadFiles(*m);
    m->files.load(doc);
    loadPendingRenames(doc, *m);
    m->services.load(doc);
    m->windows.load(doc);
    m->spooler.load(doc, m->system);
    Machine* machine = m.get();
    m->spoolerFacts.usePublishedInf([machine](const std::string& inf) {
        const std::string full = machine->files.fullPath(inf);
        if (full.empty()) return std::string();
        return driverstore::inStore(*machine, full) ? driverstore::publishedOf(*machine, full)
                                                    : driverstore::publishedPath(*machine, full);
    });
    m->spoolerFacts.load(m->spooler, m->system, m->registry);
    m->processes.load(doc);
    m->devices.load(doc);
    m->modules.load(doc, m->files);
    m->progman.load(doc);
    m->eventLog.load(doc);
    for (auto& s : doc.sections)
        if (!isMachineSection(s.name)) m->otherSections.push_back(s);
    // The layout is standard but for the folder of [system] program, the one path written by hand here.
    try {
        m->applyLayout();
    } catch (const MachineError& e) {
        throw MachineError("[system] program = " + m->system.program + ": " + e.what());
    }
    m->files.loadSecurity(doc);
    m->iniMapping.load(m->system, m->files, m->registry);
    m->spooler.publishDefault(m->files, m->registry, m->system);
    m->files.beginRun();
    return m;
}

std::unique_ptr<Machine> Machine::load(const std::string& dir) {
    fs::path root(dir);
    if (!fs::is_directory(root)) throw MachineError(dir + ": not a machine directory");
    const fs::path ini = root / "machine.ini";
    const IniDoc doc = IniDoc::parse(readPlainFile(ini), ini.string());
    checkMachineIni(doc, ini.string());  // before any subsystem reads it
    return fromDoc(doc, [&](Machine& m) {
        fs::path reg = root / "registry.reg";
        if (fs::exists(fs::symlink_status(reg))) m.registry.loadReg(readPlainFile(reg), reg.string());
        m.files.loadDrives(dir);
    });
}

std::unique_ptr<Machine> Machine::fromIni(const std::string& text, const std::string& origin) {
    checkNoNul(text, origin);
    const IniDoc doc = IniDoc::parse(text, origin);
    checkMachineIni(doc, origin);
    return fromDoc(doc, [](Machine&) {});
}

std::string Machine::saveIni() const {
    IniDoc doc;
    system.save(doc.add("system"));
    if (system.layoutGiven) system.saveLayout(doc.add("layout"));
    services.save(doc);
    windows.save(doc);
    files.save(doc, pendingRenames(registry));
    spooler.save(doc);
    processes.save(doc);
    devices.save(doc);
    modules.save(doc);
    progman.save(doc);
    eventLog.save(doc);
    for (auto& s : otherSections) doc.sections.push_back(s);
    return doc.format();
}

void Machine::save(const std::string& dir) const {
    try {
        fs::path root(dir);
        fs::create_directories(root);
        fs::remove_all(root / "drive");
        writeText(root / "machine.ini", saveIni());
        // The values read from win.ini at load go back there (the file still holds them), unless the run changed them.
        Registry::SaveFilter filter;
        // The restart's rename list is written as [pending] sections, not twice; the spooler's objects' keys
        // are said by their sections.
        filter.skipValue = [this](const RegKey& key, const RegValue& value) {
            return iniMapping.fromFile(key, value) || isPendingRenamesValue(key, value) ||
                   spoolerFacts.derived(spooler, key, value);
        };
        filter.skipKey = [this](const RegKey& key) {
            return iniMapping.madeForFile(key) || spoolerFacts.madeForFacts(spooler, key);
        };
        writeText(root / "registry.reg", registry.saveReg(&filter));
        files.saveDrives(dir);
    } catch (const fs::filesystem_error& e) {
        // The host refused a folder or name (no room, no rights, a name it cannot hold): a clear error, no abort.
        throw MachineError(dir + ": the machine cannot be saved: " + e.what());
    }
}

Machine& current() {
    if (!g_current) throw std::logic_error("simwin: no current machine");
    return *g_current;
}

bool hasCurrent() { return g_current != nullptr; }

MachineScope::MachineScope(Machine& m) : previous_(g_current) { g_current = &m; }
MachineScope::~MachineScope() { g_current = previous_; }

}  // namespace simwin
