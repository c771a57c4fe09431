// Texts as the ANSI Win32 functions take them: many declare LPSTR for a text they only read.
#pragma once

#include "base/platform.h"

namespace textargs {

// A string literal passed where the function wants an LPSTR it does not write.
inline LPSTR S(const char* text) { return const_cast<LPSTR>(text); }

}  // namespace textargs
