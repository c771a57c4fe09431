// The uninstall hooks: exports of the family's libraries (hooks: file,export) called before the files go.
#pragma once

#include <string>

#include "removal/removal_context.h"

void RunUninstallHooks(CRemovalContext& context);
// The library a hook item (file,export) names: the printer-driver directory's copy, or the program
// directory's when only that one exists (then fromProgram is set). False when a field is empty or the path
// would not fit.
bool HookLibraryOf(const char* text, std::string& library, std::string& exportName, bool* fromProgram = nullptr);
