// The uninstall hooks: exports of the family's libraries (hooks: file,export) called before the files go.
#pragma once

#include "removal/removal_context.h"

void RunUninstallHooks(CRemovalContext& context);
