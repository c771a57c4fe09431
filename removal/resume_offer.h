// What the offer to finish a removal cut short names: the printers that removal was removing, read from the
// state its backup set kept, so that the person who is asked knows which removal goes on.
#pragma once

#include <string>
#include <vector>

#include "base/os_version.h"

// The printers the removal in folder chose (neither kept nor another maker's), in list order; empty when
// its state cannot be read.
std::vector<std::string> PrintersOfUnfinishedRemoval(const std::string& folder, const COSVersion& os);
