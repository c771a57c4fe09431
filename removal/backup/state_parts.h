// The parts of a state file: each closed by an "[end]" line and the check of what it holds, so a reader tells
// a part cut short by a power cut (the last one) from a part changed afterwards (any other).
#pragma once

#include <stddef.h>

#include <string>

// How much of a state text reads: all of a text without check lines; else up to the end of its last part whose
// check holds, with records the number of change records in it. False with error ("line N: ...") when a part
// whose check fails has a whole part after it, or the first part fails.
bool WholeStateLength(const std::string& text, size_t& length, size_t& records, std::string& error);

// The check of text[from, to): FNV-1a, 32 bits, as eight lower-case hexadecimal digits.
std::string StateCheck(const std::string& text, size_t from, size_t to);

// Closes the part of out that begins at from: its "[end]" line and its check.
void CloseStatePart(std::string& out, size_t from);
