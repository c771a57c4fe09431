// CPrinterEntry: one installed printer as the printer enumeration records it in the database.
#pragma once

#include <string>

#include "script/linked_list.h"
#include "base/text.h"

// The names hold at most TEXT_SIZE - 1 characters, as the printer enumeration has always cut them
// (CopyText).
struct CPrinterEntry {
    std::string printerName;
    std::string driverName;
    std::string pavedName;  // the printer's "PavPrinter" data: managed by Pavane when non-empty
    std::string location;   // server of a printer connection; empty for a local printer
    int isFamily = 0;   // carries the "VestralDriver04" printer data
    int isDefault = 0;
    int isKept = 0;     // not to be removed
    int isForeign = 0;  // neither family nor paved: never listed
    int isDeleted = 0;  // removed (or treated as gone) by the printer removal
    int isListed = 0;   // shown in the selection list (not excluded by the command-line filter)
};

typedef CLinkedList<CPrinterEntry> CPrinterList;
