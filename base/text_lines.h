// Texts read line by line and lines split into fields: what the tool's own files (registry text, the backup
// set's journal, index, records and state) are made of.
#pragma once

#include <string>
#include <vector>

// The lines of a text without their line ends ("\n" or "\r\n"); a last line without an end counts too, an
// end at the very end of the text starts no further line.
std::vector<std::string> TextLines(const std::string& text);
// The fields of a line between separators (one field when there is none).
std::vector<std::string> SplitFields(const std::string& line, const std::string& separator);
