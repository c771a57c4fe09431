// /REPORT:"folder" /OUT:"report.html": the fleet report of the logs in a folder (report/fleet_report.h). It
// needs no administrator, loads no script, and touches no printer, spooler or backup set: it reads the folder
// and writes the page and its CSV. It writes no log of its own, so that a report of a folder that holds this
// machine's log does not add a run to it.
#pragma once

// Whether the process command line asks for the report (/REPORT given, good or not).
bool CommandLineIsReport();

// The report run: 0 when both files are written, 1603 when the folder cannot be read or a file cannot be
// written, 87 for a bad command line (/OUT missing, another option beside them).
int RunReport();
