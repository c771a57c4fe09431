// Shortcuts (shortcuts: group[,item[,place]]): the item's files in the group folders of the user and of all
// users, and with place STARTUP in the start-up folders; a group-only item removes the emptied folder. On
// the Win32s class the items of Program Manager's groups instead.
#pragma once

#include "removal/removal_context.h"

void RemoveShortcuts(CRemovalContext& context);
