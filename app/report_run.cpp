#include "app/report_run.h"

#include "app/admin_run.h"
#include "app/run_options.h"
#include "report/fleet_report.h"

bool CommandLineIsReport() {
    CRunOptions options;
    options.Parse(GetCommandLineA());
    return options.mode == CRunOptions::MODE_REPORT;
}

int RunReport() {
    CRunOptions options;
    if (!options.Parse(GetCommandLineA())) return EXIT_BAD_COMMAND_LINE;
    FleetReportInput input;
    input.folder = options.reportFolder;
    input.out = options.outPath;
    std::string why;
    return WriteFleetReport(input, why) ? EXIT_DONE : EXIT_FATAL;
}
