// The service remover (the NT family): each service of the removal profile deleted. A service that Windows
// could only mark for deletion (it runs, or others hold it open) needs a restart to go.
#pragma once

#include "removal/removal_context.h"

void RemoveServices(CRemovalContext& context);
