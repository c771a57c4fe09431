// The printer drivers of one environment that the removal profile names or that removed printers used,
// when no printer that stays uses them; each deleted driver's registry keys and OEM INF file go with it.
#pragma once

#include "removal/driver_names.h"
#include "removal/removal_context.h"

// environment: an environment name, or null for the local one.
void RemovePrinterDrivers(CRemovalContext& context, const char* environment);
