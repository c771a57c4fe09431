// korun04-sim --build-machine RECIPE --save DIR: the machine a RECIPE describes (tools/machine_builder/machine_recipe.h)
// built on a fresh simulated machine and saved as a machine directory.
#pragma once

#include <ostream>
#include <string>

// The whole content of a file of the host (a RECIPE, a user file); false when it cannot be read.
bool ReadHostFile(const std::string& path, std::string& text);

// Exit status 0 when the machine is saved; 2 when the RECIPE cannot be read or built, or the directory cannot be
// written, with the reason on err.
int BuildMachine(const std::string& specPath, const std::string& saveDir, std::ostream& out, std::ostream& err);
