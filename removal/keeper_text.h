// The small text routines of the keeper's rules: names, paths and the program a command line runs.
#pragma once

#include <string>

std::string Lower(const std::string& text);
// Without leading and trailing blanks.
std::string Trimmed(const std::string& text);
// The part after the last backslash or slash; BaseName without its extension too.
std::string FileNameOf(const std::string& path);
std::string BaseName(const std::string& path);
// The full path as Windows resolves it (GetFullPathNameA, then GetLongPathNameA where it exists), without a
// trailing backslash; empty when it does not resolve. FullKey is the same lower-cased: the key under which
// the keeper's sets hold paths.
std::string FullPathOf(const std::string& path);
std::string FullKey(const std::string& path);
// The program or library a command line names: the first word (or the quoted text), the library of a
// rundll32 or regsvr32 command; %SystemRoot%, %windir% and \SystemRoot\ stand for the Windows directory, a
// \??\ prefix goes. Empty for an empty command.
std::string ProgramOf(const std::string& command, const std::string& windowsDir);
