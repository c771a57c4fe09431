// The INI remover: the keys the removal profile names (deleteIni: file,section,key) cut out of the files of
// that name in the Windows directory.
#pragma once

#include "removal/removal_context.h"

void RemoveIniEntries(CRemovalContext& context);
