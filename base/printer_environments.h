// The printer environments the spooler keeps drivers, monitors and print processors for, as Windows names
// them. One list for every unit that walks them, so a reader and a remover never disagree on what exists.
#pragma once

#include <stddef.h>

// Every environment a spooler may hold, the 64-bit platform's own first.
extern const char* const kPrinterEnvironments[4];
const size_t kPrinterEnvironmentCount = 4;

// The environments of the NT family's platforms: the one a local call (a null environment) stands for is
// among them.
extern const char* const kNtPrinterEnvironments[3];

// The environments the removal's driver, monitor and print-processor stages go through, in order: the local
// one (null), then the 32-bit NT drivers and the Windows 9x drivers a 64-bit spooler may still share.
extern const char* const kRemovalEnvironments[3];
