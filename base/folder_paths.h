// Full paths as Windows resolves them, and which folder a path lies in. The tool compares paths only
// this way: a script or the registry may write a place with "." and ".." components, doubled or
// trailing backslashes, or another letter case, and it is still the same place.
#pragma once

#include <string>

#include "base/platform.h"

// The full path of path as GetFullPathNameA resolves it, without a trailing backslash (a drive root
// keeps its "C:\"). False (and out empty) for an empty path or one that does not resolve within 259
// characters.
bool FullFolderPath(const char* path, std::string& out);

// Whether the full path path is folder itself or lies below it (whole components, any letter case).
// Both are full paths as FullFolderPath gives them.
bool PathIsWithin(const std::string& path, const std::string& folder);
