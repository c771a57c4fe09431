// CPrinterEntry: one installed printer as the printer enumeration records it in the database.
#pragma once

#include "script/linked_list.h"
#include "base/text.h"

struct CPrinterEntry {
    char printerName[TEXT_SIZE] = {};
    char driverName[TEXT_SIZE] = {};
    char pavedName[TEXT_SIZE] = {};  // the printer's "PavPrinter" data: managed by Pavane when non-empty
    char location[TEXT_SIZE] = {};   // server of a printer connection; empty for a local printer
    int isFamily = 0;                // carries the "VestralDriver04" printer data
    int isDefault = 0;
    int isKept = 0;                  // not to be removed
    int isForeign = 0;               // neither family nor paved: never listed
    int isDeleted = 0;               // removed (or treated as gone) by the printer removal
    int isListed = 0;                // shown in the selection list (not excluded by the command-line filter)
};

typedef CLinkedList<CPrinterEntry> CPrinterList;
