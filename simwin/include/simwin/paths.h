// Path text as Windows reads it: the full path GetFullPathNameA makes of a name, and the 8.3 short names
// (aliases) the file system gives to names that are not 8.3 names themselves. Text only: nothing here asks
// whether a file exists.
#pragma once

#include <string>

namespace simwin {

// The full path of a name as GetFullPathNameA gives it, against a current directory of the form "C:\A\B":
// "/" becomes "\", runs of separators count as one, "." and ".." components go (".." never climbs above
// the root of the path: the drive, a UNC path's \\server\share, or the prefix of a device path), the last
// dot of every directory component goes ("C:\test.\file" is "C:\test\file"), and trailing dots and blanks
// of the whole path go ("C:\a\b. . " is "C:\a\b"; "C:\a\..." is "C:\a\"). The device prefixes \\?\ and
// \\.\ stay in front of the rest, which is treated the same way. A path that ends with a separator keeps
// it. "" for an empty name.
std::string win32FullPath(const std::string& name, const std::string& currentDirectory);

// Whether a path is written as win32FullPath writes it already: a drive, a separator and names that are not
// empty and do not end in a dot (which also rules out "." and ".."), no "/", the last name not ending in a
// blank, no trailing separator. Most paths a program passes are such; they need no collapsing.
bool isPlainFullPath(const std::string& path);

// The 4-character prefix "\\?\" or "\\.\" of a device path (either separator), "" otherwise.
std::string devicePrefix(const std::string& path);

// True for a name that is an 8.3 name already, which gets no alias: at most eight characters, a dot and at
// most three more, no blank, no second dot and none of "*?<>|\"+=,;[]:/\\" (as RtlIsNameLegalDOS8Dot3
// decides, blanks excluded as NTFS does). "." and ".." count as 8.3 names.
bool isShortName(const std::string& name);

// The alias number `n` (1, 2, ...) of a long name, as NTFS and VFAT make them: the first valid characters of
// the part before the last dot, upper case, without blanks and dots, "+,;=[]" made "_", cut so that "~n"
// fits in eight characters, then "~n", then a dot and the first three valid characters after the last dot
// when there are any. "Program Files" gives "PROGRA~1", "abc.defgh" "ABC~1.DEF".
std::string shortNameCandidate(const std::string& longName, int n);

}  // namespace simwin
