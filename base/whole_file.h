// A file read or written as one text: the backup set's files, the records it keeps, the capture's files.
#pragma once

#include <string>

#include "base/platform.h"

// The whole content of a file, opened for reading with every share mode (so a file another program holds
// open with read sharing reads too); false (and what was read so far, and the error when asked) when it
// cannot be opened or a read fails.
bool ReadWholeFile(const std::string& path, std::string& text, DWORD* error = NULL);

// Creates or truncates a file and writes text into it, flushed to the disk when asked; false with the error
// (ERROR_DISK_FULL for a write that stopped short without one).
bool WriteWholeFile(const std::string& path, const std::string& text, DWORD& error, bool flush);
