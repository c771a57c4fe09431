// advapi32: the registry.
#pragma once

#include "simwin/types.h"
