// Numeric expressions of resource scripts over a token list: | ^ & + - * / % and unary ~ - +, with the
// precedence of C.
#pragma once

#include <cstddef>
#include <vector>

#include "rc_lexer.h"
#include "rc_source.h"

namespace simwin::rc {

// Reads the expression at tokens[pos] and leaves pos after it. Words are numbers (macros are expanded
// before); with unknownIsZero any other word counts as 0 (the preprocessor's #if), otherwise it is an
// error. isLong (when given) tells whether any number carried an L suffix.
DWORD readExpression(const std::vector<Token>& tokens, size_t& pos, const SourceNames& names, bool unknownIsZero,
                     bool* isLong = nullptr);

// One operand of a style: everything that binds tighter than '|'; other words are errors.
DWORD readOperand(const std::vector<Token>& tokens, size_t& pos, const SourceNames& names);

}  // namespace simwin::rc
