// The machine rows of the fleet report as CSV (RFC 4180: a header row, CRLF line ends, a field with a comma,
// a double quote or a line break in double quotes with its double quotes doubled), UTF-8.
#pragma once

#include <string>

#include "report/fleet.h"

// One field as RFC 4180 writes it.
std::string CsvField(const std::string& text);

// The header row and one row per machine, in the order of the page.
std::string FleetCsv(const Fleet& fleet);
