// The printer drivers of one environment that the removal profile names or that removed printers used,
// when no printer that stays uses them; each deleted driver's registry keys and OEM INF file go with it.
#pragma once

#include "removal/removal_context.h"

// environment: an environment name, or null for the local one.
void RemovePrinterDrivers(CRemovalContext& context, const char* environment);
// The driver names a removal deletes: the removal profile's drivers, and the drivers of removed printers
// that no kept printer uses; sorted, without duplicates.
void DriverCandidates(const CUninstallDatabase& database, CTextList& candidates);
// The file name of the first OEM INF file of the INF directory whose [Strings] PrinterName1 holds the
// driver name; out (260 characters) stays empty when none does.
void FindOemInf(char* out, const char* driverName);
