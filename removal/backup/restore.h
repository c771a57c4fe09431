// CRestore: puts back what a removal took away, from the backup set the removal wrote. The journal's items
// are taken in reverse order (the registry, removed last, comes back first; the printers last), each from
// its saved copy:
//
//   registry key, value, Run value   the registry text is imported (the key or value must not be there)
//   file, shortcut, INF, driver file the bytes are copied back with their attributes; a deletion that was
//                                    only scheduled for the restart is cancelled (or it would go then)
//   folder                           made again
//   INI key, load word               the line is written back
//   service                          CreateServiceA with the saved configuration
//   processor                        AddPrintProcessorA with its library
//   monitor                          AddMonitorA, then its ports
//   driver                           its files where they were, then AddPrinterDriverExA
//   printer                          AddPrinterA with its printer data; the default printer as it was
//
// Each item is logged as restored, already there, failed (with the error) or cannot come back now (a device
// node comes back when its device is plugged in; a job, a hook's work or a connection cannot; a service only
// marked for deletion comes back after the restart, when the restore is run again). Only a set the tool
// wrote is read, and what the machine still needs is never overwritten: an item that is there again stays
// as it is.
// An item whose part of the set is damaged or planted (an index line, a path, registry text or a record that
// is not exactly what its journal line names: removal/restore_checks.h) fails alone; the others come back.
#pragma once

#include <string>

#include "base/os_version.h"
#include "base/run_log.h"

class CRestore {
public:
    struct Counts {
        unsigned restored = 0;
        unsigned alreadyThere = 0;
        unsigned failed = 0;
        unsigned cannotComeBack = 0;
        bool restartNeeded = false;  // an item comes back only after a restart (and a second restore)
    };

    // Restores the set in folder, or the newest set when folder is empty. False with the reason when there
    // is no such set or it is not one the tool wrote; otherwise true, with the counts (failures included).
    bool Run(const std::string& folder, const COSVersion& os, CRunLog* log, std::string& error);

    const Counts& Result() const { return counts; }
    const std::string& Folder() const { return folder; }

private:
    Counts counts;
    std::string folder;
};
