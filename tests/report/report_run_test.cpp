// The fleet report as a whole: logs made by real runs of the tool on simulated machines, read back by
// /REPORT through the tool's own WinMain; its exit codes; and the simulator's fleet what-if of a capture.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "base/text_lines.h"
#include "report/fleet_report.h"
#include "support/temp_machine.h"
#include "support/tool_run.h"
#include "tools/korun04-sim/fleet_whatif.h"
#include "support/test_paths.h"

namespace {

const std::string kDemo = std::string(KORUN_SOURCE_DIR) + "/examples/demo";

// A machine of the fleet: the demo machine under its own name, run with tails in turn.
struct FleetMember {
    std::unique_ptr<simwin::Machine> m;
    std::unique_ptr<simwin::MachineScope> scope;

    explicit FleetMember(const std::string& computer, const std::function<void(simwin::Machine&)>& change = {}) {
        m = simwin::Machine::load(kDemo);
        m->system.computer = computer;
        if (change) change(*m);
        scope = std::make_unique<simwin::MachineScope>(*m);
    }
    int Run(const std::string& tail) { return toolrun::Run(*m, tail); }
    std::string Log() const { return m->files.read(toolrun::kDefaultLog); }
};

// The CSV's rows by machine, each its fields.
std::map<std::string, std::vector<std::string>> CsvRows(const std::string& csv) {
    std::map<std::string, std::vector<std::string>> rows;
    for (const std::string& line : TextLines(csv)) {
        std::vector<std::string> fields = SplitFields(line, ",");
        rows[fields[0]] = fields;
    }
    return rows;
}

// The counts of a log's "done" line: "removed 22, not there 15, scheduled 1, failed 0, refused 0, kept 6, called 0".
std::vector<std::string> SummaryCounts(const std::string& log) {
    const size_t at = log.rfind(" done | removed ");
    std::string text = log.substr(at + 8, log.find(" | ", at + 8) - at - 8);
    std::vector<std::string> counts;
    for (const std::string& part : SplitFields(text, ", ")) counts.push_back(part.substr(part.rfind(' ') + 1));
    return counts;
}

class FleetReportRun : public ::testing::Test {
protected:
    // The log of runs with these tails on a machine of that name, each expected to end with its code. Each
    // machine is current only while it runs (a scope of simwin's nests).
    std::string LogOf(const std::string& computer, const std::vector<std::pair<std::string, int>>& runs,
                      const std::function<void(simwin::Machine&)>& change = {}) {
        FleetMember member(computer, change);
        for (const auto& run : runs) EXPECT_EQ(member.Run(run.first), run.second) << computer << " " << run.first;
        return member.Log();
    }

    void SetUp() override {
        const std::string whole = LogOf("PC-RESTART", {{"/QUIET /SELECT:ALL", 3010}});
        logs["C:\\Fleet\\pc-restart.log"] = whole;
        // The same log cut where a killed process left it: after the first driver of stage 4.
        std::string cutShort = whole.substr(0, whole.find("\r\n", whole.find(" stage 4 | driver | ")) + 2);
        const std::string name = "PC-RESTART ";
        cutShort.replace(cutShort.find(name), name.size(), "PC-CUT ");
        logs["C:\\Fleet\\pc-cut.log"] = cutShort;
        logs["C:\\Fleet\\pc-user.log"] =
            LogOf("PC-USER", {{"/QUIET /SELECT:ALL", 740}}, [](simwin::Machine& m) { m.system.admin = false; });
        logs["C:\\Fleet\\pc-bad.log"] = LogOf("PC-BAD", {{"/QUIET", 87}});
        logs["C:\\Fleet\\pc-held.log"] = LogOf("PC-HELD", {{"/QUIET /SELECT:\"Labels\"", 0}});
        // Two runs in one log, in a machine's own folder: the second removes what the first left.
        logs["C:\\Fleet\\pc-twice\\korun04.log"] =
            LogOf("PC-TWICE", {{"/QUIET /SELECT:\"Office\"", 0}, {"/QUIET /SELECT:ALL", 3010}});

        // The report runs on a machine of its own, which holds the logs (and files that are none).
        reporter = std::make_unique<FleetMember>("ADMIN-PC");
        for (const auto& log : logs) reporter->m->files.writeFile(log.first, log.second);
        reporter->m->files.writeFile("C:\\Fleet\\readme.txt", "not a log");
        reporter->m->files.writeFile("C:\\Fleet\\deep\\deeper\\pc-deep.log", logs["C:\\Fleet\\pc-user.log"]);
        reporter->m->files.makeDirectories("C:\\Out");
    }

    std::map<std::string, std::string> logs;
    std::unique_ptr<FleetMember> reporter;
};

TEST_F(FleetReportRun, TheReportCountsWhatTheRunsLogged) {
    ASSERT_EQ(reporter->Run("/REPORT:\"C:\\Fleet\" /OUT:\"C:\\Out\\fleet.html\""), 0);
    const std::string page = reporter->m->files.read("C:\\Out\\fleet.html");
    auto rows = CsvRows(reporter->m->files.read("C:\\Out\\fleet.csv"));
    ASSERT_EQ(rows.size(), 7u);  // the header and six machines; the folder two levels down is not read
    EXPECT_EQ(rows["PC-RESTART"][3], "restart needed");
    EXPECT_EQ(rows["PC-HELD"][3], "done");
    EXPECT_EQ(rows["PC-TWICE"][3], "restart needed");
    EXPECT_EQ(rows["PC-CUT"][3], "cut short");
    EXPECT_EQ(rows["PC-USER"][3], "not an administrator");
    EXPECT_EQ(rows["PC-BAD"][3], "bad command line");
    EXPECT_EQ(rows["PC-TWICE"][13], "2");  // runs
    EXPECT_EQ(rows["PC-TWICE"][15], "");  // printers held: none after the second run
    EXPECT_EQ(rows["PC-HELD"][15], "Office; Reception");
    EXPECT_EQ(rows["PC-USER"][15], "");  // its loading ended before it listed any printer: the log names none
    // The item lines counted are the counts the run's own summary gives.
    const std::vector<std::string> summary = SummaryCounts(logs["C:\\Fleet\\pc-restart.log"]);
    ASSERT_EQ(summary.size(), 7u);
    for (size_t i = 0; i < summary.size(); ++i) EXPECT_EQ(rows["PC-RESTART"][5 + i], summary[i]) << i;
    for (const auto& row : rows) EXPECT_EQ(row.second[14], row.first == "machine" ? "unread lines" : "0") << row.first;
    EXPECT_NE(page.find("<tr data-outcome=\"restart needed\"><td>restart needed</td><td class=\"n\">2</td></tr>"), std::string::npos);
    EXPECT_NE(page.find("Removals cut short: 1"), std::string::npos);
    EXPECT_NE(page.find("Machines still holding family printers: 1"), std::string::npos);
    EXPECT_NE(page.find("Machines waiting for a restart: 2"), std::string::npos);
}

TEST_F(FleetReportRun, ExitCodesAndNothingElseTouched) {
    const std::string logBefore = reporter->Log();
    const size_t transcriptBefore = reporter->m->transcript.lines.size();
    reporter->m->system.admin = false;  // no administrator is needed
    struct Row {
        const char* tail;
        int code;
    } rows[] = {
        {"/REPORT:\"C:\\Fleet\" /OUT:\"C:\\Out\\a.html\"", 0},
        {"-report:\"C:\\Fleet\\\" -out:\"C:\\Out\\b\"", 0},
        {"/REPORT:\"C:\\Fleet\"", 87},
        {"/OUT:\"C:\\Out\\c.html\" /REPORT:\"C:\\Fleet\" /QUIET /SELECT:ALL", 87},
        {"/REPORT:\"C:\\Fleet\" /OUT:\"C:\\Out\\d.html\" /LOG:\"C:\\l.log\"", 87},
        {"/REPORT:\"C:\\Nowhere\" /OUT:\"C:\\Out\\e.html\"", 1603},
        {"/REPORT:\"C:\\Fleet\\readme.txt\" /OUT:\"C:\\Out\\f.html\"", 1603},
        {"/REPORT:\"C:\\Fleet\" /OUT:\"C:\\NoFolder\\g.html\"", 1603},
    };
    for (const Row& row : rows) EXPECT_EQ(reporter->Run(row.tail), row.code) << row.tail;
    EXPECT_TRUE(reporter->m->files.exists("C:\\Out\\a.csv"));
    EXPECT_TRUE(reporter->m->files.exists("C:\\Out\\b.csv"));
    EXPECT_FALSE(reporter->m->files.exists("C:\\Out\\c.html"));
    EXPECT_EQ(reporter->Log(), logBefore);  // the report writes no log
    // Nobody is asked or shown anything, no program is started, nothing is broadcast.
    EXPECT_EQ(reporter->m->transcript.lines.size(), transcriptBefore);
    EXPECT_TRUE(reporter->m->services.find("Spooler")->running);
}

TEST(FleetWhatIf, ACaptureIsPlannedAndReportedBesideTheLogs) {
    testmachine::TempDir dir;
    std::filesystem::copy(kDemo, dir.path / "pc01-capture", std::filesystem::copy_options::recursive);
    FleetMember ran("PC-LOGGED");
    ASSERT_EQ(ran.Run("/QUIET /SELECT:ALL"), 3010);
    testmachine::WriteFile(dir.path / "pc-logged.log", ran.Log());

    const WhatIfMachine w = PlanCapture((dir.path / "pc01-capture").string());
    EXPECT_EQ(w.error, "");
    EXPECT_EQ(w.name, "PC01");
    EXPECT_EQ(w.printers, (std::vector<std::string>{"Office", "Reception", "Labels"}));
    EXPECT_GT(w.go, 10u);
    EXPECT_GT(w.kept, 0u);

    std::ostringstream out, err;
    const std::string page = (dir.path / "fleet.html").string();
    ASSERT_EQ(RunFleetReport(dir.path.string(), page, out, err), 0) << err.str();
    const std::string html = testmachine::ReadFile(page);
    EXPECT_NE(html.find("What if: the plans of the captured machines"), std::string::npos);
    EXPECT_NE(html.find("<td>PC01</td><td class=\"n\">" + std::to_string(w.go) + "</td>"), std::string::npos);
    EXPECT_NE(html.find("<td>Office, Reception, Labels</td>"), std::string::npos);
    EXPECT_NE(html.find("<td>PC-LOGGED</td>"), std::string::npos);
    EXPECT_NE(html.find(dir.path.string() + "/pc-logged.log"), std::string::npos);  // named as on the host
    EXPECT_TRUE(std::filesystem::exists(dir.path / "fleet.csv"));
    EXPECT_EQ(RunFleetReport(dir.path.string(), "", out, err), 87);
    EXPECT_EQ(RunFleetReport((dir.path / "none").string(), page, out, err), 1603);
}

}  // namespace
