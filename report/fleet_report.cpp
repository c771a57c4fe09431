#include "report/fleet_report.h"

#include "base/whole_file.h"
#include "report/log_reader.h"
#include "report/report_csv.h"
#include "report/report_html.h"

namespace {

// A path below the folder read, named as the page names the folder.
std::string Shown(const std::string& path, const FleetReportInput& input) {
    if (input.shownAs.empty() || path.compare(0, input.folder.size(), input.folder) != 0) return path;
    std::string below = path.substr(input.folder.size());
    if (input.shownWithSlashes)
        for (char& c : below)
            if (c == '\\') c = '/';
    return input.shownAs + below;
}

void NameAsShown(Fleet& fleet, const FleetReportInput& input) {
    fleet.folder = input.shownAs.empty() ? input.folder : input.shownAs;
    for (FleetMachine& machine : fleet.machines) machine.logPath = Shown(machine.logPath, input);
    for (std::string& note : fleet.notes) note = Shown(note, input);
}

bool WriteOne(const std::string& path, const std::string& text, std::string& why) {
    DWORD error = 0;
    if (WriteWholeFile(path, text, error, false)) return true;
    why = path + " cannot be written (error " + std::to_string(error) + ")";
    return false;
}

}  // namespace

std::string CsvPathBeside(const std::string& page) {
    const size_t slash = page.find_last_of("\\/"), dot = page.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return page + ".csv";
    return page.substr(0, dot) + ".csv";
}

bool WriteFleetReport(const FleetReportInput& input, std::string& why, Fleet* result) {
    LogFolder folder;
    unsigned long error = 0;
    if (!ReadLogFolder(input.folder, folder, error)) {
        why = "the folder " + (input.shownAs.empty() ? input.folder : input.shownAs) + " cannot be read (error " +
              std::to_string(error) + ")";
        return false;
    }
    Fleet fleet = MakeFleet(folder);
    fleet.whatIf = input.whatIf;
    fleet.notes.insert(fleet.notes.begin(), input.notes.begin(), input.notes.end());
    NameAsShown(fleet, input);
    if (fleet.machines.empty() && fleet.whatIf.empty()) fleet.notes.push_back("The folder holds no log of the tool.");
    const bool written = WriteOne(input.out, FleetHtml(fleet), why) && WriteOne(CsvPathBeside(input.out), FleetCsv(fleet), why);
    if (result) *result = fleet;
    return written;
}
