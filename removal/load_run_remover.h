// The start-up entries: values of HKLM\...\CurrentVersion\Run, and on the Win32s class the commands of
// WIN.INI's [windows] Load line.
#pragma once

#include <string>

#include "removal/removal_context.h"

// The machine's run key, as AddLoadRunEntry writes it (string 51 names the same key for the removal).
extern const char kRunKeyPath[];
// One item of deleteLoadRun: name,pattern, both trimmed of double quotes; false when one is missing.
bool ParseLoadRunItem(const char* text, std::string& name, std::string& pattern);
// Removes each entry of deleteLoadRun (name,pattern; both trimmed of double quotes).
void RemoveLoadRunEntries(CRemovalContext& context);
// Removes one entry: on Win32s the command pattern from the Load line (the line is written back in lower
// case; pattern is lower-cased in place), elsewhere the Run value name. 1 when it was removed.
int RemoveLoadRunEntry(CRemovalContext& context, const char* name, char* pattern);
// Registers a start-up entry: the command appended to the Load line on Win32s, a Run value elsewhere.
int AddLoadRunEntry(CRemovalContext& context, const char* name, const char* command);
