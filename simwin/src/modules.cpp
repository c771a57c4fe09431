#include "simwin/modules.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "simwin/api/kernel.h"
#include "simwin/api/setupapi.h"
#include "simwin/api/sfc.h"
#include "simwin/api/winspool.h"
#include "simwin/machine.h"

namespace simwin {

namespace {
const uintptr_t kProgramBase = 0x400000;
const uintptr_t kModuleBase = 0x10000000;

const size_t kHookEntries = 256;

// LoadLibraryA adds ".dll" to a name without an extension; a trailing dot means "no extension".
std::string withExtension(const std::string& name) {
    const size_t p = name.find_last_of("\\/");
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && (p == std::string::npos || dot > p)) {
        if (dot + 1 == name.size()) return name.substr(0, dot);
        return name;
    }
    return name + ".dll";
}

std::string fileNameOf(const std::string& name) {
    const std::string n = withExtension(name);
    const size_t p = n.find_last_of("\\/");
    return p == std::string::npos ? n : n.substr(p + 1);
}

bool isPath(const std::string& name) { return name.find_first_of("\\/:") != std::string::npos; }

std::string directoryOf(const std::string& path) {
    const size_t p = path.find_last_of('\\');
    return p == std::string::npos ? std::string() : path.substr(0, p);
}

bool isLoadable(const ModuleDef& d) { return !d.available || d.available(); }

// The directories a bare name is looked for in, in order.
std::vector<std::string> searchDirectories(const ModuleTable& t, DWORD searchFlags) {
    const Machine& m = current();
    const DWORD flags = searchFlags & LOAD_LIBRARY_SEARCH_SYSTEM32 ? searchFlags : t.defaultDirectories;
    if (flags & LOAD_LIBRARY_SEARCH_SYSTEM32) return {m.system.systemDir};
    std::vector<std::string> dirs = {directoryOf(m.system.program)};
    if (!t.dllDirectory.empty()) dirs.push_back(t.dllDirectory);
    dirs.push_back(m.system.systemDir);
    dirs.push_back(m.system.windowsDir);
    if (!t.currentDirectoryRemoved) dirs.push_back(m.files.currentDirectory);
    return dirs;
}

// The key of the library a name resolves to ("" when none). With mustLoad, a declared library
// whose file is missing does not count, so a bare name may find the next directory's copy.
std::string resolve(const ModuleTable& t, const std::string& name, bool mustLoad, DWORD searchFlags = 0) {
    const Machine& m = current();
    if (isPath(name)) {
        const std::string full = m.files.fullPath(withExtension(name));
        for (auto& d : t.defs)
            if (!full.empty() && iequals(d.second.path, full)) return d.first;
        return "";
    }
    // System libraries are defined by file name with their path in the system directory: a bare name
    // finds them there, in the order of the search like any other library.
    const std::string f = fileNameOf(name);
    for (const std::string& dir : searchDirectories(t, searchFlags)) {
        std::string d = dir;
        if (!d.empty() && d.back() == '\\') d.pop_back();
        for (auto& def : t.defs)
            if (iequals(def.second.path, d + "\\" + f) && (!mustLoad || isLoadable(def.second))) return def.first;
    }
    return "";
}

std::string pointerText(uintptr_t v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(v));
    return buf;
}

// What every export of a declared library does when the tool calls it.
void hookCalled(size_t slot, HWND window, HINSTANCE instance, LPSTR text, int number) {
    if (!hasCurrent()) throw std::logic_error("simwin: a hook library export called without a current machine");
    Machine& m = current();
    HookCall call;
    if (!m.modules.exportOfEntry(slot, call.library, call.exportName))
        throw std::logic_error("simwin: an entry point of no declared library was called");
    if (!m.modules.loaded.count(call.library))
        throw std::logic_error("simwin: " + call.library + "!" + call.exportName + " called while its library is not loaded");
    call.window = reinterpret_cast<uintptr_t>(window);
    call.instance = reinterpret_cast<uintptr_t>(instance);
    call.hasText = text != nullptr;
    call.text = text ? text : "";
    call.number = number;
    call.currentDirectory = m.files.currentDirectory;
    m.transcript.add("hook " + call.library + "!" + call.exportName + " called with (" + pointerText(call.window) +
                     ", " + pointerText(call.instance) + ", " + (call.hasText ? "\"" + call.text + "\"" : "NULL") +
                     ", " + std::to_string(number) + ")");
    m.modules.hookCalls.push_back(call);
}

// The rundll32 form of an entry point: CALLBACK, no result.
template <size_t I>
void CALLBACK hookEntry(HWND window, HINSTANCE instance, LPSTR text, int number) {
    hookCalled(I, window, instance, text, number);
}

template <size_t... I>
std::array<FARPROC, sizeof...(I)> makeHookEntries(std::index_sequence<I...>) {
    return {{reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&hookEntry<I>))...}};
}

// The entry points the exports of declared libraries are handed out as: one per export.
const std::array<FARPROC, kHookEntries>& hookEntries() {
    static const auto entries = makeHookEntries(std::make_index_sequence<kHookEntries>());
    return entries;
}

// Handles are stable per name: the index of the name in the sorted definitions.
HMODULE handleOf(const ModuleTable& t, const std::string& name) {
    uintptr_t i = 0;
    for (auto& d : t.defs) {
        if (iequals(d.first, name)) return reinterpret_cast<HMODULE>(kModuleBase + i * 0x100000);
        ++i;
    }
    return nullptr;
}

const std::string* nameOf(const ModuleTable& t, HMODULE m) {
    uintptr_t v = reinterpret_cast<uintptr_t>(m);
    if (v < kModuleBase || (v - kModuleBase) % 0x100000) return nullptr;
    uintptr_t i = (v - kModuleBase) / 0x100000;
    for (auto& d : t.defs)
        if (i-- == 0) return t.loaded.count(d.first) ? &d.first : nullptr;
    return nullptr;
}

BOOL WINAPI simGetColorDirectoryA(LPCSTR machineName, LPSTR buffer, PDWORD size) {
    const std::string& dir = current().system.colorDir;
    if (machineName || !size) {
        current().lastError = ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    if (!buffer || *size < dir.size() + 1) {
        *size = static_cast<DWORD>(dir.size() + 1);
        current().lastError = ERROR_INSUFFICIENT_BUFFER;
        return FALSE;
    }
    std::memcpy(buffer, dir.c_str(), dir.size() + 1);
    *size = static_cast<DWORD>(dir.size() + 1);
    return TRUE;
}

template <class F>
FARPROC exported(F* f) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(f));
}

// setupapi.dll of the NT family. The tool links most of it directly; SetupUninstallOEMInfA and the driver
// store's two functions it looks up at run time, so this module is what makes those steps run.
ModuleDef setupapiModule() {
    ModuleDef d;
    d.path = current().system.systemDir + "\\setupapi.dll";
    d.exports["SetupUninstallOEMInfA"] = exported(&SetupUninstallOEMInfA);
    d.exports["SetupCopyOEMInfA"] = exported(&SetupCopyOEMInfA);
    d.exports["SetupGetInfPublishedNameA"] = exported(&SetupGetInfPublishedNameA);
    d.exports["SetupGetInfDriverStoreLocationA"] = exported(&SetupGetInfDriverStoreLocationA);
    d.exports["SetupGetInfFileListA"] = exported(&SetupGetInfFileListA);
    d.exports["SetupDiGetClassDevsA"] = exported(&SetupDiGetClassDevsA);
    d.exports["SetupDiEnumDeviceInfo"] = exported(&SetupDiEnumDeviceInfo);
    d.exports["SetupDiGetDeviceRegistryPropertyA"] = exported(&SetupDiGetDeviceRegistryPropertyA);
    d.exports["SetupDiRemoveDevice"] = exported(&SetupDiRemoveDevice);
    d.exports["SetupDiDestroyDeviceInfoList"] = exported(&SetupDiDestroyDeviceInfoList);
    d.available = [] { return current().system.platform == Platform::Nt; };
    return d;
}

// kernel32.dll: loaded in every process. Of its functions only those the tool looks up at run time are
// exports here; SetDefaultDllDirectories exists where the machine's Windows has it.
ModuleDef kernel32Module() {
    ModuleDef d;
    d.path = current().system.systemDir + "\\kernel32.dll";
    if (hasRestrictedDllSearch()) d.exports["SetDefaultDllDirectories"] = exported(&SetDefaultDllDirectories);
    return d;
}

// sfc.dll of the NT family: Windows File Protection's question whether a file is one of Windows's own.
ModuleDef sfcModule() {
    ModuleDef d;
    d.path = current().system.systemDir + "\\sfc.dll";
    d.exports["SfcIsFileProtected"] = exported(&SfcIsFileProtected);
    d.available = [] { return current().system.platform == Platform::Nt; };
    return d;
}

// winspool.drv: the spooler's client. The tool links it; AddPortExA, which mingw-w64 does not declare, it
// looks up at run time.
ModuleDef winspoolModule() {
    ModuleDef d;
    d.path = current().system.systemDir + "\\winspool.drv";
    d.exports["AddPortExA"] = exported(&AddPortExA);
    return d;
}

// The libraries every machine has (when its platform has them).
void ensureSystemModules(ModuleTable& t) {
    if (t.defs.count("mscms.dll")) return;
    t.defs["kernel32.dll"] = kernel32Module();
    t.loaded["kernel32.dll"] = 1;
    t.defs["setupapi.dll"] = setupapiModule();
    t.defs["sfc.dll"] = sfcModule();
    t.defs["winspool.drv"] = winspoolModule();
    ModuleDef mscms;
    mscms.path = current().system.systemDir + "\\mscms.dll";
    mscms.exports["GetColorDirectoryA"] = reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&simGetColorDirectoryA));
    mscms.available = [] { return !current().system.colorDir.empty(); };
    t.defs["mscms.dll"] = mscms;
}
}  // namespace

HMODULE programModule() { return reinterpret_cast<HMODULE>(kProgramBase); }

bool isModule(HMODULE m) {
    return m == programModule() || nameOf(current().modules, m) != nullptr;
}

std::string modulePath(HMODULE m) {
    if (m == programModule()) return current().system.program;
    const std::string* n = nameOf(current().modules, m);
    return n ? current().modules.defs.at(*n).path : "";
}

HMODULE findLoadedModule(const std::string& name) {
    ModuleTable& t = current().modules;
    ensureSystemModules(t);
    if (!isPath(name)) {  // a loaded module of that file name, wherever it was loaded from
        const std::string f = fileNameOf(name);
        for (auto& l : t.loaded)
            if (iequals(fileNameOf(t.defs.at(l.first).path), f)) return handleOf(t, l.first);
        return nullptr;
    }
    const std::string key = resolve(t, name, false);
    return !key.empty() && t.loaded.count(key) ? handleOf(t, key) : nullptr;
}

bool hasRestrictedDllSearch() {
    const SystemInfo& s = current().system;
    return s.platform == Platform::Nt && (s.major > 6 || (s.major == 6 && s.minor >= 2));
}

HMODULE loadModule(const std::string& name, DWORD searchFlags) {
    ModuleTable& t = current().modules;
    ensureSystemModules(t);
    t.loadLog.push_back(name);
    const std::string key = resolve(t, name, true, searchFlags);
    if (key.empty() || !isLoadable(t.defs.at(key))) return nullptr;
    ++t.loaded[key];
    return handleOf(t, key);
}

FARPROC moduleExport(HMODULE m, const std::string& name) {
    const std::string* n = nameOf(current().modules, m);
    if (!n) return nullptr;
    auto& ex = current().modules.defs.at(*n).exports;
    auto it = ex.find(name);
    return it == ex.end() ? nullptr : it->second;
}

bool freeModule(HMODULE m) {
    ModuleTable& t = current().modules;
    const std::string* n = nameOf(t, m);
    if (!n) return false;
    std::string name = *n;
    if (--t.loaded[name] <= 0) t.loaded.erase(name);
    return true;
}

bool isLoadedModuleFile(const std::string& fullPath) {
    const ModuleTable& t = current().modules;
    for (auto& l : t.loaded)
        if (iequals(t.defs.at(l.first).path, fullPath)) return true;
    return false;
}

void ModuleTable::declareLibrary(const std::string& path, const std::vector<std::string>& exports,
                                 const FileSystem& files) {
    const std::string full = files.fullPath(path);
    if (full.empty() || !(path.size() > 2 && path[1] == ':' && (path[2] == '\\' || path[2] == '/')))
        throw MachineError("[library] path = " + path + ": expected a full path such as C:\\Windows\\hook.dll");
    for (auto it = libraries.begin(); it != libraries.end(); ++it)
        if (iequals(it->path, full)) {
            libraries.erase(it);
            break;
        }
    libraries.push_back(LibraryDef{full, exports});
    ModuleDef def;
    def.path = full;
    for (const std::string& e : exports) {
        if (def.exports.count(e)) continue;
        if (slots_.size() >= kHookEntries)
            throw MachineError("[library] " + full + ": more than " + std::to_string(kHookEntries) +
                               " exports in all");
        def.exports[e] = hookEntries()[slots_.size()];
        slots_.emplace_back(full, e);
    }
    def.available = [full] {
        const FileNode* n = current().files.find(full);
        return n && !n->isDirectory;
    };
    defs[full] = def;
}

bool ModuleTable::exportOfEntry(size_t slot, std::string& library, std::string& exportName) const {
    if (slot >= slots_.size()) return false;
    library = slots_[slot].first;
    exportName = slots_[slot].second;
    return true;
}

void ModuleTable::load(const IniDoc& doc, const FileSystem& files) {
    for (const IniSection* s : doc.all("library")) {
        const std::string path = s->get("path");
        if (path.empty()) throw MachineError("[library] without path");
        std::vector<std::string> exports;
        for (auto& e : s->entries) {
            if (!iequals(e.first, "export")) continue;
            if (e.second.empty()) throw MachineError("[library] " + path + ": an empty export");
            exports.push_back(e.second);
        }
        declareLibrary(path, exports, files);
    }
}

void ModuleTable::save(IniDoc& doc) const {
    for (const LibraryDef& l : libraries) {
        IniSection& s = doc.add("library");
        s.add("path", l.path);
        for (const std::string& e : l.exports) s.add("export", e);
    }
}

}  // namespace simwin
