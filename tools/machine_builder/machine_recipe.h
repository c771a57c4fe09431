// A machine described as a RECIPE: INI text naming the packages, monitors, processors, printers and the rest to
// install on a fresh machine of a platform and version (docs/test-bench.md, "Building a machine"). The RECIPE is
// read whole and checked before anything is installed; then the builder installs it, kinds in a fixed order.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "simwin/machine.h"
#include "tools/machine_builder/machine_builder.h"

namespace machinebuilder {

// Reads a file of the host a RECIPE names ([script] file = ...): false when it cannot.
typedef std::function<bool(const std::string& path, std::string& text)> HostFileReader;

// The machine the RECIPE describes, as saved and loaded back. Throws BuildError "ORIGIN:LINE: what" for text
// that is not a RECIPE, an unknown section or key, a missing name, a value too long, or a step Windows refuses.
std::unique_ptr<simwin::Machine> BuildFromRecipe(const std::string& text, const std::string& origin,
                                               const HostFileReader& readHostFile);

}  // namespace machinebuilder
