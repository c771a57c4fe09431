#include "removal/hook_runner.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "base/library_loading.h"
#include "base/path_parts.h"

namespace {

// An uninstall export: the removal page's window, its module, the program directory, 0.
typedef void(CALLBACK* UninstallHook)(HWND, HINSTANCE, LPSTR, int);
const DWORD kPauseAfterHookMs = 1000;

bool FileExists(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

bool HookLibraryOf(const char* text, std::string& library, std::string& exportName, bool* fromProgram) {
    CPathParts drivers, program;
    drivers.Resolve(PRINTDRIVERDIR);
    program.Resolve(MODULEDIR);
    char item[TEXT_SIZE];
    CopyText(item, text);
    char* name = NextToken(item, ',');
    if (!name || !item[0] || !name[0]) return false;
    char fname[_MAX_FNAME], ext[_MAX_EXT];
    _splitpath(item, NULL, NULL, fname, ext);
    char inDrivers[MAX_PATH], inProgram[MAX_PATH];
    // A path that does not fit would name another library: such an item is skipped.
    if (snprintf(inDrivers, sizeof inDrivers, "%s%s%s", drivers.DirectoryPath(), fname, ext) >= MAX_PATH ||
        snprintf(inProgram, sizeof inProgram, "%s%s%s", program.DirectoryPath(), fname, ext) >= MAX_PATH)
        return false;
    const bool besideTool = !FileExists(inDrivers) && FileExists(inProgram);
    library = besideTool ? inProgram : inDrivers;
    exportName = name;
    if (fromProgram) *fromProgram = besideTool;
    return true;
}

void RunUninstallHooks(CRemovalContext& context) {
    CPathParts drivers, program;
    drivers.Resolve(PRINTDRIVERDIR);
    program.Resolve(MODULEDIR);
    CTextList& hooks = context.database->removal.hooks;
    if (hooks.IsEmpty()) return;
    char programDir[MAX_PATH];
    CopyText(programDir, program.DirectoryPath());
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(context.window, GWLP_HINSTANCE));
    for (const char* text : hooks) {
        std::string path, exportName;
        bool fromProgram = false;
        if (!HookLibraryOf(text, path, exportName, &fromProgram)) continue;
        const char* library = path.c_str();
        const std::string hookItem = path + "," + exportName;
        // The program's folder serves only where no user can have put a library there.
        if (context.Refused(ItemKind::Hook, hookItem, context.keeper->HookLibrary(library))) continue;
        SetCurrentDirectoryA(fromProgram ? programDir : drivers.DirectoryPath());
        HMODULE module = LoadHookLibrary(library);
        if (module) {
            UninstallHook hook = reinterpret_cast<UninstallHook>(reinterpret_cast<void (*)()>(GetProcAddress(module, exportName.c_str())));
            // What a hook does cannot be put back: the journal only names it (a hook that crashes the tool
            // leaves it open there).
            if (hook && !context.Save(ItemKind::Hook, hookItem, CSavedForm::Nothing())) {
                FreeLibrary(module);
                break;
            }
            if (hook) {
                hook(context.window, instance, programDir, 0);
                context.Report(ItemKind::Hook, hookItem, CRunLog::CALLED);
            } else {
                context.Report(ItemKind::Hook, hookItem, CRunLog::FAILED, GetLastError(), "the library has no such export");
            }
            Sleep(kPauseAfterHookMs);
            FreeLibrary(module);
        } else {
            const DWORD error = GetLastError();
            // A library that is missing, or misses a library of its own, is skipped: nothing of it to call.
            if (!FileExists(library))
                context.Report(ItemKind::Hook, hookItem, CRunLog::NOT_THERE);
            else if (error == ERROR_MOD_NOT_FOUND)
                context.Report(ItemKind::Hook, hookItem, CRunLog::NOT_THERE, error, "the library does not load");
            else
                context.Report(ItemKind::Hook, hookItem, CRunLog::FAILED, error, "the library does not load");
        }
    }
    SetCurrentDirectoryA(programDir);
}
