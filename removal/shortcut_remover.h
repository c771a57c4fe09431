// Shortcuts (shortcuts: group[,item[,place]]): the item's files in the group folders of the user and of all
// users, and with place STARTUP in the start-up folders; a group-only item removes the emptied folder. On
// the Win32s class the items of Program Manager's groups instead.
#pragma once

#include <string>

#include "removal/removal_context.h"

void RemoveShortcuts(CRemovalContext& context);

// One item of shortcuts: group[,name[,place]], each trimmed of double quotes; startup when the place is
// STARTUP (any case). False when the group is empty.
struct CShortcutItem {
    std::string group, name;
    bool startup = false;
};
bool ParseShortcutItem(const char* text, CShortcutItem& item);
