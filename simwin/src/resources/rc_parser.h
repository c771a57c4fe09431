// The statements of a resource script (LANGUAGE, STRINGTABLE, DIALOG, DIALOGEX, MENU, MENUEX, BITMAP,
// ICON, VERSIONINFO, RCDATA and user-defined types) read from the preprocessed token stream into a
// ResourceSet, with the values windres compiles.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "rc_lexer.h"
#include "rc_source.h"
#include "simwin/resource_set.h"

namespace simwin::rc {

// Reads tokens (ending with an End token) into out. files holds the files statements name; with
// allowMissingFiles a resource whose file is missing is left out. Throws MachineError naming the place.
void parseScript(std::vector<Token> tokens, const std::map<std::string, std::string>& files, bool allowMissingFiles,
                 const SourceNames& names, ResourceSet& out);

}  // namespace simwin::rc
