#include "report/report_csv.h"

namespace {

const char kHeader[] = "machine,date,time,outcome,exit code,removed,not there,scheduled,failed,refused,kept,called,"
                       "pending,runs,unread lines,printers held,log";

std::string Row(const FleetMachine& m) {
    std::string held;
    for (const std::string& name : m.printersHeld) held += (held.empty() ? "" : "; ") + name;
    std::string row = CsvField(m.name) + "," + CsvField(m.date) + "," + CsvField(m.time) + "," +
                      MachineOutcomeName(m.outcome) + "," + (m.hasExitCode ? std::to_string(m.exitCode) : "");
    for (int i = 0; i < ITEM_OUTCOME_COUNT; ++i) row += "," + std::to_string(m.counts[i]);
    row += "," + std::to_string(m.runs) + "," + std::to_string(m.unread) + "," + CsvField(held) + "," + CsvField(m.logPath);
    return row;
}

}  // namespace

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::string FleetCsv(const Fleet& fleet) {
    std::string csv = std::string(kHeader) + "\r\n";
    for (const FleetMachine& machine : fleet.machines) csv += Row(machine) + "\r\n";
    return csv;
}
