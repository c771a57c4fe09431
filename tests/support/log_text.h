// Reading what a run of the tool left in its log.
#pragma once

#include <string>

#include "simwin/machine.h"
#include "support/tool_run.h"

namespace logtext {

inline bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The log at the tool's default place on the machine.
inline std::string Log(const simwin::Machine& m) { return m.files.read(toolrun::kDefaultLog); }

}  // namespace logtext
