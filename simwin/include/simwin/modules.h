// Libraries the tool can load: system libraries simwin provides (mscms.dll) and libraries a
// machine declares (hook libraries of the driver family). Module handles are distinct
// addresses; the program itself is module 0x400000.
#pragma once

#include <functional>
#include <map>
#include <vector>
#include <string>

#include "simwin/types.h"
#include "simwin/util.h"

namespace simwin {

struct ModuleDef {
    std::string path;                            // full path reported by GetModuleFileNameA
    std::map<std::string, FARPROC> exports;      // exported functions by name
    std::function<bool()> available;             // may it be loaded now (default: yes)
};

class ModuleTable {
public:
    std::map<std::string, ModuleDef, ILess> defs;  // by file name ("mscms.dll")
    std::map<std::string, int, ILess> loaded;      // file name -> reference count
    std::vector<std::string> loadLog;              // names passed to LoadLibraryA, in order
};

HMODULE programModule();
bool isModule(HMODULE m);
std::string modulePath(HMODULE m);
HMODULE findLoadedModule(const std::string& name);
HMODULE loadModule(const std::string& name);
FARPROC moduleExport(HMODULE m, const std::string& name);
bool freeModule(HMODULE m);

}  // namespace simwin
