// The fleet model, the page and the CSV from logs given as text: machines named by their headers, the last run
// counting, failures and refusals grouped, and every text of a log escaped on the page.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "report/fleet.h"
#include "report/report_csv.h"
#include "report/report_html.h"

namespace {

std::string Header(const std::string& computer, const std::string& time = "09:00:00") {
    return "==== korun04 2025-03-03 " + time + " " + computer + " | korun04.exe /QUIET /SELECT:ALL | platform WinNT, version class 8\r\n";
}
std::string End(int code) { return "09:00:13 end | exit code " + std::to_string(code) + " (x)\r\n"; }
std::string Printer(const std::string& name) {
    return "09:00:01 loading | printer | " + name + " | driver \"Vestral X Driver\", of the family | listed\r\n";
}

LogFolder Folder(const std::vector<std::pair<std::string, std::string>>& logs) {
    LogFolder folder;
    for (const auto& log : logs) folder.logs.push_back(ReadLogText(log.second, log.first));
    folder.filesSeen = static_cast<unsigned>(logs.size());
    return folder;
}

const FleetMachine* Find(const Fleet& fleet, const std::string& name) {
    for (const FleetMachine& m : fleet.machines)
        if (m.name == name) return &m;
    return nullptr;
}

TEST(Fleet, TheLastRunOfAMachineCountsAcrossItsLogs) {
    const Fleet fleet = MakeFleet(Folder({
        {"C:\\logs\\a.log", Header("PC-A") + Printer("Office") + Printer("Home") + End(1603) +
                                Header("PC-A", "10:00:00") + "09:00:10 stage 3 | printer | Office | removed\r\n" +
                                "09:00:10 stage 3 | printer | Home | failed, error 5\r\n" + End(3010)},
        // A later run of PC-A in another log; the file's own order does not matter, the header's time does.
        {"C:\\logs\\pc-a\\korun04.log", Header("pc-a", "11:00:00") + End(1641) + Header("PC-A", "08:00:00") + End(87)},
        {"C:\\logs\\nameless.log", "==== korun04 2025-03-03 09:00:00 (no computer name) | x | platform WinNT, version class 8\r\n" + End(740)},
    }));
    ASSERT_EQ(fleet.machines.size(), 2u);
    const FleetMachine* a = Find(fleet, "PC-A");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->outcome, OUTCOME_RESTART_STARTED);
    EXPECT_EQ(a->time, "11:00:00");
    EXPECT_EQ(a->logPath, "C:\\logs\\pc-a\\korun04.log");
    EXPECT_EQ(a->runs, 4u);
    EXPECT_EQ(a->history, (std::vector<std::string>{"2025-03-03 08:00:00 bad command line", "2025-03-03 09:00:00 failed",
                                                    "2025-03-03 10:00:00 restart needed"}));
    EXPECT_EQ(a->printersHeld, std::vector<std::string>{"Home"});
    EXPECT_FALSE(a->waitsForRestart);
    const FleetMachine* nameless = Find(fleet, "nameless");
    ASSERT_TRUE(nameless);
    EXPECT_EQ(nameless->outcome, OUTCOME_NOT_ADMINISTRATOR);
    EXPECT_EQ(fleet.byOutcome[OUTCOME_RESTART_STARTED], 1u);
    EXPECT_EQ(fleet.byOutcome[OUTCOME_NOT_ADMINISTRATOR], 1u);
    EXPECT_EQ(fleet.runs, 5u);
}

TEST(Fleet, FailuresAndRefusalsAreGroupedWithTheirMachines) {
    const std::string failures = "09:00:10 stage 15 | registry key | HKLM\\A | failed, error 5\r\n"
                                 "09:00:10 stage 15 | registry key | HKLM\\B | failed, error 5\r\n"
                                 "09:00:10 stage 14 | file | C:\\a.dll | failed, error 32\r\n"
                                 "09:00:10 stage 14 | file | C:\\k.dll | refused (windows-file: Windows protects it)\r\n"
                                 "09:00:10 stage 5 | monitor | M | kept (staying-printer: the port of a printer that stays uses it)\r\n";
    const Fleet fleet = MakeFleet(Folder({
        {"a.log", Header("PC-A") + failures + End(0)},
        {"b.log", Header("PC-B") + "09:00:10 stage 15 | registry key | HKLM\\A | failed, error 5\r\n" +
                      "09:00:10 stage 14 | file | C:\\k.dll | refused (windows-file: Windows protects it)\r\n" +
                      "09:00:10 stage 14 | folder | C:\\x | kept (it holds other files)\r\n" + End(0)},
        // An earlier run's failures are history, not the machine's state.
        {"c.log", Header("PC-C") + "09:00:10 stage 14 | file | C:\\a.dll | failed, error 32\r\n" + End(0) +
                      Header("PC-C", "10:00:00") + End(0)},
    }));
    ASSERT_EQ(fleet.failures.size(), 2u);
    EXPECT_EQ(fleet.failures[0].kind, "file");
    EXPECT_EQ(fleet.failures[0].error, 32u);
    EXPECT_EQ(fleet.failures[0].machines, std::set<std::string>{"PC-A"});
    EXPECT_EQ(fleet.failures[1].kind, "registry key");
    EXPECT_EQ(fleet.failures[1].items, 3u);
    EXPECT_EQ(fleet.failures[1].machines, (std::set<std::string>{"PC-A", "PC-B"}));
    ASSERT_EQ(fleet.refusals.size(), 2u);
    EXPECT_EQ(fleet.refusals.at("windows-file").machines.size(), 2u);
    EXPECT_EQ(fleet.refusals.at("staying-printer").items, 1u);
}

TEST(Fleet, ARemovalCutShortIsResumableAndARestartIsAwaited) {
    const Fleet fleet = MakeFleet(Folder({
        {"cut.log", Header("PC-CUT") + "09:00:09 run | backup set C:\\B\\20250303-090009\r\n09:00:10 stage 3 | printer | Office | removed\r\n"},
        {"early.log", Header("PC-EARLY") + "09:00:01 loading | script | x.unm | read\r\n"},
        {"wait.log", Header("PC-WAIT") + "09:00:13 done | removed 1 | restart needed\r\n" + End(3010)},
    }));
    EXPECT_EQ(fleet.byOutcome[OUTCOME_CUT_SHORT], 2u);
    EXPECT_TRUE(Find(fleet, "PC-CUT")->resumable);
    EXPECT_EQ(Find(fleet, "PC-CUT")->backupSet, "C:\\B\\20250303-090009");
    EXPECT_FALSE(Find(fleet, "PC-EARLY")->resumable);  // killed before anything was removed
    EXPECT_TRUE(Find(fleet, "PC-WAIT")->waitsForRestart);
    EXPECT_FALSE(Find(fleet, "PC-CUT")->waitsForRestart);
}

TEST(FleetPage, EveryTextOfALogIsEscaped) {
    const std::string hostile = "<script>alert('x')</script>&\"Office\"";
    const Fleet fleet = MakeFleet(Folder({
        {"C:\\logs\\<b>.log", Header("<img src=x onerror=alert(1)>") + Printer(hostile) + End(1603)},
    }));
    const std::string page = FleetHtml(fleet);
    EXPECT_EQ(page.find("<script>alert"), std::string::npos);
    EXPECT_EQ(page.find("<img"), std::string::npos);
    EXPECT_EQ(page.find("<b>.log"), std::string::npos);
    EXPECT_NE(page.find("&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;&amp;&quot;Office&quot;"), std::string::npos);
    EXPECT_NE(page.find("&lt;img src=x onerror=alert(1)&gt;"), std::string::npos);
    // The page's own script is the only one, and nothing is fetched.
    size_t scripts = 0;
    for (size_t at = page.find("<script"); at != std::string::npos; at = page.find("<script", at + 1)) ++scripts;
    EXPECT_EQ(scripts, 1u);
    EXPECT_EQ(page.find("src=\""), std::string::npos);
    EXPECT_EQ(page.find("href=\""), std::string::npos);
}

TEST(FleetPage, TheNumbersStandInTheTextAndTheChart) {
    const Fleet fleet = MakeFleet(Folder({{"a.log", Header("PC-A") + End(0)}, {"b.log", Header("PC-B") + End(0)},
                                          {"c.log", Header("PC-C") + End(3010)}}));
    const std::string page = FleetHtml(fleet);
    EXPECT_NE(page.find("<tr data-outcome=\"done\"><td>done</td><td class=\"n\">2</td></tr>"), std::string::npos);
    EXPECT_NE(page.find("<tr data-outcome=\"restart needed\"><td>restart needed</td><td class=\"n\">1</td></tr>"), std::string::npos);
    EXPECT_NE(page.find("<svg"), std::string::npos);
    EXPECT_NE(page.find("Machines waiting for a restart: 1"), std::string::npos);
    EXPECT_NE(page.find("Every machine: 3"), std::string::npos);
}

TEST(FleetCsv, FieldsAreQuotedAsRfc4180Says) {
    struct Row {
        std::string text, field;
    } rows[] = {
        {"plain", "plain"}, {"a,b", "\"a,b\""}, {"say \"hi\"", "\"say \"\"hi\"\"\""}, {"two\r\nlines", "\"two\r\nlines\""}, {"", ""},
    };
    for (const Row& row : rows) EXPECT_EQ(CsvField(row.text), row.field) << row.text;
    const Fleet fleet = MakeFleet(Folder({{"C:\\l\\a,b.log", "==== korun04 2025-03-03 09:00:00 PC,\"1\" | x\r\n" + End(0)}}));
    const std::string csv = FleetCsv(fleet);
    EXPECT_EQ(csv.substr(0, csv.find("\r\n")),
              "machine,date,time,outcome,exit code,removed,not there,scheduled,failed,refused,kept,called,pending,runs,"
              "unread lines,printers held,log");
    EXPECT_NE(csv.find("\r\n\"PC,\"\"1\"\"\",2025-03-03,09:00:00,done,0,0,0,0,0,0,0,0,0,1,0,,\"C:\\l\\a,b.log\"\r\n"),
              std::string::npos);
}

}  // namespace
