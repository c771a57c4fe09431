// The fleet report as one self-contained HTML page (UTF-8): no network, no external script or style sheet.
// The numbers stand in the page's text and tables, so it reads completely without script; a small inline
// script only adds sorting (a click on a column's head) and filtering to the table of machines. Every text
// taken from a log or a capture is HTML-escaped.
#pragma once

#include <string>

#include "report/fleet.h"

// & < > " ' as character references.
std::string HtmlEscape(const std::string& text);

// The whole page.
std::string FleetHtml(const Fleet& fleet);
