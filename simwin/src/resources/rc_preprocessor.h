// The preprocessor of resource scripts: #include through the files map (and the SDK headers, which bring
// the Windows constants), the conditionals, #define and #undef of object-like macros, #pragma once and
// code_page(65001).
#pragma once

#include <map>
#include <string>
#include <vector>

#include "rc_lexer.h"
#include "rc_source.h"

namespace simwin::rc {

// The script text (named name in messages) as one stream of tokens with macros expanded, ending with an
// End token. Every file read is added to names.
std::vector<Token> preprocess(const std::string& text, const std::string& name,
                              const std::map<std::string, std::string>& files, SourceNames& names);

}  // namespace simwin::rc
