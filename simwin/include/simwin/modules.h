// Libraries the tool can load: system libraries simwin provides (setupapi.dll, mscms.dll, sfc.dll) and the hook
// libraries a machine declares ([library] sections: the uninstall hooks of the driver family).
// Module handles are distinct addresses; the program itself is module 0x400000.
//
// A declared library loads only while its file exists. Each of its exports is a function the tool
// calls as a rundll32-style entry point, void CALLBACK (HWND, HINSTANCE, LPSTR, int); a call
// writes one transcript line, `hook PATH!EXPORT called with (0xHWND, 0xHINSTANCE, "TEXT", N)` and
// records the call in hookCalls.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "simwin/ini.h"
#include "simwin/types.h"
#include "simwin/util.h"

namespace simwin {

class FileSystem;

struct ModuleDef {
    std::string path;                            // full path reported by GetModuleFileNameA
    std::map<std::string, FARPROC> exports;      // exported functions by name (case-sensitive, as Windows)
    std::function<bool()> available;             // may it be loaded now (default: yes)
};

// A hook library as the machine declares it.
struct LibraryDef {
    std::string path;                  // full path; the file lives in the file system
    std::vector<std::string> exports;  // in declared order
};

// One call of a hook library's export, as the tool made it.
struct HookCall {
    std::string library;  // the library's full path
    std::string exportName;
    uintptr_t window = 0, instance = 0;
    bool hasText = false;  // false: the third argument was NULL
    std::string text;
    int number = 0;
    std::string currentDirectory;  // the process's current directory during the call
};

class ModuleTable {
public:
    // System libraries by file name ("mscms.dll"); declared libraries by full path.
    std::map<std::string, ModuleDef, ILess> defs;
    std::map<std::string, int, ILess> loaded;      // key of defs -> reference count
    std::vector<std::string> loadLog;              // names passed to LoadLibraryA, in order
    std::vector<LibraryDef> libraries;             // [library] sections, in order
    std::vector<HookCall> hookCalls;               // every export call, in order
    // The process's DLL search: SetDefaultDllDirectories' flags (0: never called, the classic order);
    // SetDllDirectoryA's directory (searched after the program's) and whether it took the current
    // directory out of the order (any call but SetDllDirectoryA(NULL) does).
    DWORD defaultDirectories = 0;
    std::string dllDirectory;
    bool currentDirectoryRemoved = false;

    // Declares a hook library (a later declaration of the same path replaces it). Throws
    // MachineError for a path that is not a full path, or when there are more exports in all
    // than simwin has entry points for (256).
    void declareLibrary(const std::string& path, const std::vector<std::string>& exports, const FileSystem& files);
    // The library and export behind an entry point of a declared library; false for others.
    bool exportOfEntry(size_t slot, std::string& library, std::string& exportName) const;

    // [library] sections: path, export (repeated).
    void load(const IniDoc& doc, const FileSystem& files);
    void save(IniDoc& doc) const;

private:
    std::vector<std::pair<std::string, std::string>> slots_;  // entry point -> (library, export)
};

HMODULE programModule();
bool isModule(HMODULE m);
std::string modulePath(HMODULE m);
// Names resolve as LoadLibraryA resolves them: a path names one file (".dll" added when the name
// has no extension); a bare name is a system library, or a declared library in the program's
// directory, the system directory, the Windows directory or the current directory, in that order.
// After SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32), or with that flag given to
// LoadLibraryExA, a bare name is looked for in the system directory only; after SetDllDirectoryA("")
// the current directory is not searched.
HMODULE findLoadedModule(const std::string& name);
HMODULE loadModule(const std::string& name, DWORD searchFlags = 0);  // nullptr: not found or its file is missing
// Whether the machine's Windows has the restricted DLL search (SetDefaultDllDirectories and the
// LOAD_LIBRARY_SEARCH_* flags): Windows 8 (6.2) and later of the NT family; a Windows 7 without its
// update does not.
bool hasRestrictedDllSearch();
FARPROC moduleExport(HMODULE m, const std::string& name);
bool freeModule(HMODULE m);
// A loaded library's file (compared as full paths): Windows keeps it mapped, so it cannot be deleted.
bool isLoadedModuleFile(const std::string& fullPath);

}  // namespace simwin
