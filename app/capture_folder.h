// The folder /CAPTURE writes into. A capture is a machine directory of its own: written into a folder that
// already holds files it would overwrite some of them and keep the rest, stale, beside the new ones. So the
// folder must not exist yet or be empty.
#pragma once

#include <string>

// Resolves the name as Windows does (GetFullPathNameA against the current directory) into full; false with
// why when it does not resolve, names a file, or names a folder that holds anything.
bool ResolveCaptureFolder(const std::string& given, std::string& full, std::string& why);
