#include "base/host.h"
#include "tools/korun04-sim/fleet_whatif.h"

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "base/text_lines.h"
#include "report/fleet_report.h"
#include "report/log_reader.h"
#include "simwin/machine.h"
#include "simwin/scripted_user.h"
#include "tools/korun04-sim/plan.h"

namespace fs = std::filesystem;

namespace {

// Where the logs go on the simulated machine, and where the report is written there.
const char kSimFolder[] = "C:\\Fleet";
const char kSimPage[] = "C:\\FleetReport\\report.html";

// What a plan's text says: the lines of [removal], [keep] and [refused], and the printers it removes.
void ReadPlan(const std::string& plan, WhatIfMachine& w) {
    std::string section, printer;
    std::set<std::string> refused;
    std::vector<std::string> removal;
    // A printer the selection list offers (listed, of the family or managed by Pavane) that is chosen.
    bool listed = false, kept = true, ours = false;
    auto endPrinter = [&]() {
        if (section == "[printer]" && listed && ours && !kept) w.printers.push_back(printer);
    };
    for (const std::string& line : TextLines(plan)) {
        if (!line.empty() && line[0] == '[') {
            endPrinter();
            section = line;
            listed = ours = false;
            kept = true;
            continue;
        }
        if (section == "[printer]") {
            if (line.rfind("name = ", 0) == 0) printer = line.substr(7);
            if (line == "listed = 1") listed = true;
            if (line == "kept = 0") kept = false;
            if (line == "family = 1" || (line.rfind("paved = ", 0) == 0 && line.size() > 8)) ours = true;
        } else if (section == "[keep]" && !line.empty()) {
            ++w.kept;
        } else if (section == "[removal]" && !line.empty()) {
            removal.push_back(line);
        } else if (section == "[refused]" && !line.empty()) {
            const size_t bar = line.rfind(" | ");
            refused.insert(line.substr(0, bar));
            const std::string why = bar == std::string::npos ? "" : line.substr(bar + 3);
            ++w.refusedByRule[why.substr(0, why.find(": "))];
            ++w.refused;
        }
    }
    endPrinter();
    for (const std::string& line : removal) w.go += refused.count(line) ? 0 : 1;
}

bool IsCapture(const fs::path& folder) {
    std::error_code ec;
    return fs::is_regular_file(folder / "machine.ini", ec);
}

// DIR itself when it is a capture, else the captures directly in it, by name.
std::vector<fs::path> CaptureFolders(const fs::path& dir) {
    if (IsCapture(dir)) return {dir};
    std::vector<fs::path> found;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir, ec))
        if (entry.is_directory(ec) && IsCapture(entry.path())) found.push_back(entry.path());
    std::sort(found.begin(), found.end());
    return found;
}

void CopyOne(simwin::Machine& machine, const fs::path& file, const std::string& simPath, std::vector<std::string>& notes) {
    std::error_code ec;
    const auto size = fs::file_size(file, ec);
    if (ec) return;
    if (size > kLargestLog) {
        notes.push_back(file.string() + ": skipped, " + std::to_string(size / (1024 * 1024)) + " MB is more than a log of the tool holds");
        return;
    }
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    try {
        machine.files.writeFile(simPath, bytes.str());
    } catch (const std::exception& e) {
        notes.push_back(file.string() + ": skipped, its name cannot be a Windows file name");
    }
}

// The files of DIR and of its folders (one level down), onto the simulated machine.
void CopyLogs(const fs::path& dir, simwin::Machine& machine, std::vector<std::string>& notes) {
    machine.files.makeDirectories(kSimFolder);
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir, ec)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file(ec)) {
            CopyOne(machine, entry.path(), std::string(kSimFolder) + "\\" + name, notes);
            continue;
        }
        if (!entry.is_directory(ec)) continue;
        std::error_code inner;
        for (const fs::directory_entry& file : fs::directory_iterator(entry.path(), inner))
            if (file.is_regular_file(inner))
                CopyOne(machine, file.path(), std::string(kSimFolder) + "\\" + name + "\\" + file.path().filename().string(), notes);
    }
}

bool CopyBack(simwin::Machine& machine, const std::string& simPath, const std::string& hostPath, std::string& why) {
    std::ofstream out(hostPath, std::ios::binary | std::ios::trunc);
    out << machine.files.read(simPath);
    out.close();
    if (out) return true;
    why = hostPath + " cannot be written";
    return false;
}

}  // namespace

WhatIfMachine PlanCapture(const std::string& folder) {
    WhatIfMachine w;
    w.folder = folder;
    w.name = fs::path(folder).filename().string();
    std::unique_ptr<simwin::Machine> machine;
    try {
        machine = simwin::Machine::load(folder);
    } catch (const std::exception& e) {
        w.error = std::string("the capture cannot be loaded: ") + e.what();
        return w;
    }
    w.name = machine->system.computer;
    simwin::MachineScope scope(*machine);
    CHost host;  // each machine a process of its own: the loading's counters start afresh
    std::ostringstream plan, why;
    try {
        if (RunPlan(plan, why, {}, true) != 0) w.error = why.str();
    } catch (const simwin::UserStop& stop) {
        w.error = std::string("the loading waits for the user: ") + stop.what();
    }
    while (!w.error.empty() && (w.error.back() == '\n')) w.error.pop_back();
    if (w.error.empty()) ReadPlan(plan.str(), w);
    return w;
}

int RunFleetReport(const std::string& dir, const std::string& out, std::ostream& log, std::ostream& err) {
    if (out.empty()) {
        err << "korun04-sim: --report DIR needs --out FILE\n";
        return 87;
    }
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) {
        err << "korun04-sim: the folder " << dir << " cannot be read\n";
        return 1603;
    }
    FleetReportInput input;
    for (const fs::path& capture : CaptureFolders(dir)) input.whatIf.push_back(PlanCapture(capture.string()));
    simwin::Machine machine;
    simwin::MachineScope scope(machine);
    CopyLogs(dir, machine, input.notes);
    input.folder = kSimFolder;
    input.shownAs = dir;
    input.shownWithSlashes = true;
    input.out = kSimPage;
    machine.files.makeDirectories("C:\\FleetReport");
    std::string why;
    Fleet fleet;
    if (!WriteFleetReport(input, why, &fleet) || !CopyBack(machine, kSimPage, out, why) ||
        !CopyBack(machine, CsvPathBeside(kSimPage), CsvPathBeside(out), why)) {
        err << "korun04-sim: " << why << "\n";
        return 1603;
    }
    log << "korun04-sim: " << fleet.machines.size() << " machines, " << fleet.runs << " runs, " << fleet.whatIf.size()
        << " captures planned: " << out << " and " << CsvPathBeside(out) << "\n";
    return 0;
}
