// The rules a machine directory's text follows beyond its syntax. Machines are written by hand,
// so whatever simwin would not honour (a misspelt key, a second [system], a count out of range, a
// NUL byte) stops the load with "FILE:LINE: what" instead of being ignored.
//
// Each section a subsystem reads has one table of the keys it knows and the values they take;
// other sections are extensions, kept and saved back unchanged without a check.
#pragma once

#include <string>

#include "simwin/ini.h"

namespace simwin {

// True for a section that a subsystem of the machine reads ([system], [printer], ...).
bool isMachineSection(const std::string& name);

// Checks every claimed section of a parsed machine.ini: known keys only, no key given twice
// (except the repeating ones: data.NAME with distinct names, received), required keys present,
// yes/no, numbers, versions and word lists well-formed and in range, [system] and [spooler] at
// most once. Throws MachineError "ORIGIN:LINE: what" for the first mistake.
void checkMachineIni(const IniDoc& doc, const std::string& origin);

// Throws MachineError "ORIGIN:LINE: a NUL character ..." when the raw text of machine.ini or
// registry.reg holds one. UTF-16LE text (with its byte-order mark) is read as 16-bit units.
void checkNoNul(const std::string& text, const std::string& origin);

}  // namespace simwin
