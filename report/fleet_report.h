// The fleet report of a folder of logs, written: the page (report_html.h) and its machine rows as CSV beside
// it (the page's name with ".csv"). It only reads the folder and writes the two files.
#pragma once

#include <string>
#include <vector>

#include "report/fleet.h"

struct FleetReportInput {
    std::string folder;     // the folder of logs, as Win32 reads it
    std::string shownAs;    // how the page names that folder (empty: as it is); log paths below it are named so too
    bool shownWithSlashes = false;  // the part of a log path below the folder shown with "/" (a Linux folder)
    std::string out;        // the page
    std::vector<WhatIfMachine> whatIf;  // the plans of captured machines (the simulator's fleet what-if)
    std::vector<std::string> notes;     // notes of the caller, shown with the reader's
};

// The CSV's path: the page's with its extension made ".csv" (added when it has none).
std::string CsvPathBeside(const std::string& page);

// Reads the folder (a folder holding no log at all gives a page that says so) and writes both files. False,
// with why, when the folder cannot be read or a file cannot be written. fleet, when given, receives the model.
bool WriteFleetReport(const FleetReportInput& input, std::string& why, Fleet* fleet = nullptr);
