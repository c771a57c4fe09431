// The INI remover: the keys the removal profile names (deleteIni: file,section,key) cut out of the files of
// that name in the Windows directory.
#pragma once

#include <string>

#include "removal/removal_context.h"

void RemoveIniEntries(CRemovalContext& context);

// One item of deleteIni: file,section,key; the file is the one of that name and extension in the Windows
// directory. False when a field is missing or empty.
struct CIniItem {
    std::string path, section, key;
};
bool ParseIniItem(const char* text, CIniItem& item);
