#include "simwin/modules.h"

#include <cstring>

#include "simwin/api/setupapi.h"
#include "simwin/machine.h"

namespace simwin {

namespace {
const uintptr_t kProgramBase = 0x400000;
const uintptr_t kModuleBase = 0x10000000;

std::string fileNameOf(const std::string& name) {
    size_t p = name.find_last_of("\\/");
    std::string f = p == std::string::npos ? name : name.substr(p + 1);
    if (f.find('.') == std::string::npos) f += ".dll";
    return f;
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

// setupapi.dll of the NT family. The tool links most of it directly; SetupUninstallOEMInfA it
// looks up at run time, so this module is what makes that step run.
ModuleDef setupapiModule() {
    ModuleDef d;
    d.path = "C:\\Windows\\System32\\setupapi.dll";
    d.exports["SetupUninstallOEMInfA"] = exported(&SetupUninstallOEMInfA);
    d.exports["SetupGetInfFileListA"] = exported(&SetupGetInfFileListA);
    d.exports["SetupDiGetClassDevsA"] = exported(&SetupDiGetClassDevsA);
    d.exports["SetupDiEnumDeviceInfo"] = exported(&SetupDiEnumDeviceInfo);
    d.exports["SetupDiGetDeviceRegistryPropertyA"] = exported(&SetupDiGetDeviceRegistryPropertyA);
    d.exports["SetupDiRemoveDevice"] = exported(&SetupDiRemoveDevice);
    d.exports["SetupDiDestroyDeviceInfoList"] = exported(&SetupDiDestroyDeviceInfoList);
    d.available = [] { return current().system.platform == Platform::Nt; };
    return d;
}

// The libraries every machine has (when its platform has them).
void ensureSystemModules(ModuleTable& t) {
    if (t.defs.count("mscms.dll")) return;
    t.defs["setupapi.dll"] = setupapiModule();
    ModuleDef mscms;
    mscms.path = "C:\\Windows\\System32\\mscms.dll";
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
    std::string f = fileNameOf(name);
    return t.loaded.count(f) ? handleOf(t, f) : nullptr;
}

HMODULE loadModule(const std::string& name) {
    ModuleTable& t = current().modules;
    ensureSystemModules(t);
    t.loadLog.push_back(name);
    std::string f = fileNameOf(name);
    auto it = t.defs.find(f);
    if (it == t.defs.end() || (it->second.available && !it->second.available())) return nullptr;
    ++t.loaded[f];
    return handleOf(t, f);
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

}  // namespace simwin
