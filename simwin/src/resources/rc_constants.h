// The Windows constants a resource script may name once it includes an SDK header: the values of the
// mingw-w64 headers as they read with RC_INVOKED.
#pragma once

#include <string>
#include <unordered_map>

#include "simwin/types.h"

namespace simwin::rc {

// Style, version, menu, language and dialog command ID constants by name.
const std::unordered_map<std::string, DWORD>& windowsConstants();

// The SDK headers a script may include for those constants.
bool isSdkHeader(const std::string& name);

}  // namespace simwin::rc
