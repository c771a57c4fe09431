// The default script: the directory of the program file followed by "Kunz__04.unm" (the "Strings" of the
// driver family are read from it).
#pragma once

extern char g_defaultScriptPath[256];
// Recomputes g_defaultScriptPath from the program file's path.
void UpdateDefaultScriptPath();
