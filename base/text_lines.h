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
// A count with its noun: "1 item", "2 items" (many: the plural when it is not one + "s").
inline std::string Counted(unsigned long long n, const std::string& one, const std::string& many = std::string()) {
    return std::to_string(n) + " " + (n == 1 ? one : many.empty() ? one + "s" : many);
}
