// The printer drivers the removal looks at, by name: the candidates the scripts and the removed printers name,
// and the OEM INF file that installed a driver. Read only: the keeper asks them as the driver removal does.
#pragma once

#include "script/database.h"
#include "script/text_list.h"

// The driver names a removal deletes: the removal profile's drivers, and the drivers of removed printers
// that no kept printer uses; sorted, without duplicates.
void DriverCandidates(const CUninstallDatabase& database, CTextList& candidates);
// The file name of the first OEM INF file of the INF directory whose [Strings] PrinterName1 holds the
// driver name; out (260 characters) stays empty when none does.
void FindOemInf(char* out, const char* driverName);
