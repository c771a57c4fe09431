// korun04-sim --report DIR --out FILE: the fleet report of DIR, as the tool's /REPORT writes it, with the
// fleet what-if: every capture folder in DIR (a machine directory, as /CAPTURE or --save writes it: DIR itself
// or a folder directly in it) is planned as --plan plans it (every listed printer chosen), and the page says
// per machine and summed what would go, what would be kept and what the safety rules would refuse.
//
// The logs are read by the tool's own reader on a simulated machine: the files of DIR and of its folders (one
// level down) are copied onto it, the report is written there and copied back to FILE and its CSV.
#pragma once

#include <ostream>
#include <string>

#include "report/fleet.h"

// The plan of one capture folder (loaded and made current here). A capture that cannot be loaded or planned
// has its error set.
WhatIfMachine PlanCapture(const std::string& folder);

// The exit status: 0 written, 1603 the folder cannot be read or a file cannot be written, 87 without --out.
int RunFleetReport(const std::string& dir, const std::string& out, std::ostream& log, std::ostream& err);
