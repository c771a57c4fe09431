// The spooler's components the removal profile names: port monitors, and print processors once no printer
// uses them (each printer that does is switched to the standard "WinPrint" first).
#pragma once

#include "removal/removal_context.h"

// Deletes each monitor of the monitors list for the environment (null: the local one), and its key.
void RemoveMonitors(CRemovalContext& context, const char* server, const char* environment);
// Deletes each listed processor the environment has, once ReleasePrintProcessor freed it, and its key.
void RemovePrintProcessors(CRemovalContext& context, const char* server, const char* environment);
// Switches every local printer that uses the processor to "WinPrint" and "RAW"; 1 when none uses it now.
int ReleasePrintProcessor(const char* processorName);
