// The registry keys a script may never delete: the roots, the keys directly below HKEY_LOCAL_MACHINE,
// HKEY_CURRENT_USER and HKEY_USERS (and the user keys directly below a user of HKEY_USERS), the class
// registrations Windows needs, and every key on the way to a key Windows needs. One list, used by every
// remover that deletes registry keys.
#pragma once

#include "app/platform.h"

// Why deleting root\subKey would damage Windows, or null when it may be deleted. Letter case, surrounding
// blanks and doubled, leading or trailing backslashes do not matter; "." and ".." components are refused.
const char* ProtectedRegistryKeyReason(HKEY root, const char* subKey);
