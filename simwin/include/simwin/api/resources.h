// user32: the program's string table, the STRINGTABLE of the program module's resources (the program's resource
// script and the files it includes, see simwin/resource_set.h); texts come back as the UTF-8 bytes of that source.
#pragma once

#include <map>
#include <string>

#include "simwin/types.h"

// Loads string id of the program module (instance null or the program's module) into buffer, cut to
// bufferMax - 1 bytes (never inside a UTF-8 character) and terminated. Returns the bytes copied; 0 with an
// empty buffer for a missing string (error 1814) or another module (error 1813).
int WINAPI LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int bufferMax);

namespace simwin {

// The STRINGTABLE entries of resource-script text, read by the resource reader (ResourceSet::parse) with
// the resource compiler's escapes decoded (\n \r \t \b \f \v, \a as a backspace, \\, \" and "" as a quote,
// up to three octal or two hex digits, an unknown escape kept as written; adjacent strings joined). Files
// that resources of the script name need not be given; an error in the script throws MachineError.
std::map<UINT, std::string> parseStringTables(const std::string& rcText);
// The program's string table: programResources().strings.
const std::map<UINT, std::string>& programStringTable();

// For tests: replaces (or adds) one string of the program's table for the object's lifetime.
class ScopedProgramString {
public:
    ScopedProgramString(UINT id, const std::string& text);
    ~ScopedProgramString();
    ScopedProgramString(const ScopedProgramString&) = delete;
    ScopedProgramString& operator=(const ScopedProgramString&) = delete;

private:
    UINT id_;
    bool existed_;
    std::string previous_;
};

}  // namespace simwin

// The next character of ANSI text; on the host the ANSI code page is UTF-8, so a multi-byte sequence is one
// character. At the terminator it returns text itself.
LPSTR WINAPI CharNextA(LPCSTR text);
// Lower-cases ANSI text in place (the letters A to Z; bytes of multi-byte characters stay) and returns it.
LPSTR WINAPI CharLowerA(LPSTR text);
