// The log reader on fragments of logs: a row per case, each the lines a run wrote and what the reader makes
// of them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "report/fleet.h"
#include "report/log_reader.h"
#include "report/log_text.h"
#include "simwin/machine.h"

namespace {

const std::string kHeader =
    "==== korun04 2025-03-03 09:00:00 PC01 | \"C:\\Program Files\\Vestral\\korun04.exe\" /QUIET /SELECT:ALL | "
    "platform WinNT, version class 8\r\n";
const std::string kMode = "09:00:00 run | unattended removal (/QUIET), removing every listed printer, no restart\r\n";

struct OutcomeRow {
    const char* name;
    std::string lines;  // after the header
    MachineOutcome outcome;
};

TEST(LogReader, TheExitCodeLineGivesTheOutcome) {
    const std::string done = "09:00:13 done | removed 1, not there 0, scheduled 0, failed 0, refused 0, kept 0, called 0 | ";
    const OutcomeRow rows[] = {
        {"done", "09:00:13 end | exit code 0 (done)\r\n", OUTCOME_DONE},
        {"restart needed", "09:00:13 end | exit code 3010 (done, a restart is needed)\r\n", OUTCOME_RESTART_NEEDED},
        {"restart started", "09:00:13 end | exit code 1641 (done, Windows restarts)\r\n", OUTCOME_RESTART_STARTED},
        {"cancelled", "09:00:13 end | exit code 1602 (cancelled)\r\n", OUTCOME_CANCELLED},
        {"failed", "09:00:13 end | exit code 1603 (fatal error)\r\n", OUTCOME_FAILED},
        {"another copy", "09:00:13 end | exit code 1618 (another copy runs)\r\n", OUTCOME_ALREADY_RUNNING},
        {"not administrator", "09:00:13 end | exit code 740 (not an administrator)\r\n", OUTCOME_NOT_ADMINISTRATOR},
        {"bad command line", "09:00:00 run | bad command line: unknown option /X\r\n09:00:00 end | exit code 87 (bad command line)\r\n",
         OUTCOME_BAD_COMMAND_LINE},
        {"unknown code", "09:00:13 end | exit code 42 (something new)\r\n", OUTCOME_OTHER},
        {"no end line", "09:00:10 stage 3 | printer | Office | removed\r\n", OUTCOME_CUT_SHORT},
        // The interactive mode's code is the main window's: its summary line tells whether the removal ran.
        {"interactive, removed", done + "no restart needed\r\n09:00:14 end | exit code 1 (the main window's result)\r\n", OUTCOME_DONE},
        {"interactive, restart", done + "restart needed\r\n09:00:14 end | exit code 1 (the main window's result)\r\n",
         OUTCOME_RESTART_NEEDED},
        {"interactive, closed", "09:00:14 end | exit code 1 (the main window's result)\r\n", OUTCOME_CANCELLED},
    };
    for (const OutcomeRow& row : rows) {
        const LogFile log = ReadLogText(kHeader + kMode + row.lines, "C:\\logs\\pc01.log");
        ASSERT_EQ(log.runs.size(), 1u) << row.name;
        EXPECT_EQ(OutcomeOfRun(log.runs[0]), row.outcome) << row.name;
        EXPECT_EQ(log.runs[0].unread, 0u) << row.name;
    }
}

struct ItemRow {
    std::string line;
    bool read;
    ItemOutcome outcome;
    std::string kind, item, detail, rule;
    unsigned long error;
};

TEST(LogReader, ItemLinesGiveKindItemOutcomeRuleAndError) {
    const ItemRow rows[] = {
        {"09:00:10 stage 3 | printer | Office | removed", true, ITEM_REMOVED, "printer", "Office", "", "", 0},
        {"09:00:10 stage 14 | file | C:\\x\\vxres.dat | scheduled for restart (MoveFileExA), error 32", true, ITEM_SCHEDULED,
         "file", "C:\\x\\vxres.dat", "MoveFileExA", "", 32},
        {"09:00:10 stage 15 | registry key | HKLM\\SOFTWARE\\X | failed, error 5", true, ITEM_FAILED, "registry key",
         "HKLM\\SOFTWARE\\X", "", "", 5},
        {"09:00:06 stage 14 | file | C:\\Windows\\System32\\kernel32.dll | refused (windows-file: Windows protects it)", true,
         ITEM_REFUSED, "file", "C:\\Windows\\System32\\kernel32.dll", "windows-file: Windows protects it", "windows-file", 0},
        {"09:00:06 stage 5 | monitor | Acme Port Monitor | kept (staying-printer: the port of a printer that stays uses it)",
         true, ITEM_KEPT, "monitor", "Acme Port Monitor", "staying-printer: the port of a printer that stays uses it",
         "staying-printer", 0},
        {"09:00:12 stage 14 | folder | C:\\Program Files\\Vestral | kept (it holds other files)", true, ITEM_KEPT, "folder",
         "C:\\Program Files\\Vestral", "it holds other files", "", 0},
        {"09:00:10 stage 5 | hook | a.dll,Go | not there (the library does not load), error 126", true, ITEM_NOT_THERE, "hook",
         "a.dll,Go", "the library does not load", "", 126},
        {"09:00:10 stage 3 | printer | A | B | pending deletion (2 jobs)", true, ITEM_PENDING, "printer", "A | B", "2 jobs", "", 0},
        {"09:00:10 run | printer | Office | removed", true, ITEM_REMOVED, "printer", "Office", "", "", 0},
        // Malformed: an unknown outcome, a detail without its end, a stage that is no number, no clock.
        {"09:00:10 stage 3 | printer | Office | vanished", false, ITEM_REMOVED, "", "", "", "", 0},
        {"09:00:10 stage 3 | printer | Office | removed (unclosed", false, ITEM_REMOVED, "", "", "", "", 0},
        {"09:00:10 stage x | printer | Office | removed", false, ITEM_REMOVED, "", "", "", "", 0},
        {"stage 3 | printer | Office | removed", false, ITEM_REMOVED, "", "", "", "", 0},
    };
    for (const ItemRow& row : rows) {
        const LogFile log = ReadLogText(kHeader + row.line + "\r\n", "x.log");
        ASSERT_EQ(log.runs.size(), 1u) << row.line;
        const LoggedRun& run = log.runs[0];
        EXPECT_EQ(run.unread, row.read ? 0u : 1u) << row.line;
        unsigned counted = 0;
        for (unsigned n : run.counts) counted += n;
        EXPECT_EQ(counted, row.read ? 1u : 0u) << row.line;
        if (!row.read) continue;
        EXPECT_EQ(run.counts[row.outcome], 1u) << row.line;
        // Only what the fleet groups is kept item by item: printers, failures, refusals.
        const bool kept = row.kind == "printer" || row.outcome == ITEM_FAILED || !row.rule.empty();
        ASSERT_EQ(run.items.size(), kept ? 1u : 0u) << row.line;
        if (!kept) continue;
        const LoggedItem& item = run.items[0];
        EXPECT_EQ(item.kind, row.kind) << row.line;
        EXPECT_EQ(item.item, row.item) << row.line;
        EXPECT_EQ(item.detail, row.detail) << row.line;
        EXPECT_EQ(item.rule, row.rule) << row.line;
        EXPECT_EQ(item.error, row.error) << row.line;
    }
}

TEST(LogReader, RunsOfOneLogAreItsHistoryAndUnknownLinesAreCounted) {
    const std::string text = "a line written before any run\r\n" + kHeader + kMode +
                             "09:00:01 loading | printer | Office | driver \"Vestral X Driver\", of the family | listed\r\n"
                             "09:00:01 loading | printer | Plotter | driver \"Acme\" | not of the family: never listed\r\n"
                             "09:00:02 telemetry | something a newer version says\r\n"
                             "\r\n"
                             "09:00:09 run | backup set C:\\ProgramData\\Vestral\\korun04\\Backup\\20250303-090009\r\n"
                             "09:00:10 stage 3 | printer | Office | removed\r\n" +
                             "==== korun04 PC01\r\n"  // the short header of an older version
                             "09:00:00 end | exit code 0 (done)\r\n";
    const LogFile log = ReadLogText(text, "C:\\logs\\old.log");
    EXPECT_EQ(log.linesBeforeFirstRun, 1u);
    EXPECT_EQ(log.fileName, "old");
    ASSERT_EQ(log.runs.size(), 2u);
    const LoggedRun& first = log.runs[0];
    EXPECT_EQ(first.computer, "PC01");
    EXPECT_EQ(first.date, "2025-03-03");
    EXPECT_EQ(first.commandLine, "\"C:\\Program Files\\Vestral\\korun04.exe\" /QUIET /SELECT:ALL");
    EXPECT_EQ(first.familyPrinters, std::vector<std::string>{"Office"});
    EXPECT_EQ(first.unread, 1u);
    EXPECT_TRUE(first.removalBegan);
    EXPECT_EQ(first.backupSet, "C:\\ProgramData\\Vestral\\korun04\\Backup\\20250303-090009");
    EXPECT_EQ(OutcomeOfRun(first), OUTCOME_CUT_SHORT);
    EXPECT_EQ(OutcomeOfRun(log.runs[1]), OUTCOME_DONE);
    EXPECT_TRUE(log.runs[1].date.empty());
}

TEST(LogReader, LinesInUtf8StayAndOtherBytesAreKeptLosslessly) {
    simwin::Machine machine;  // the conversion asks Windows
    simwin::MachineScope scope(machine);
    const std::string utf8 = "09:00:10 message box | \"アンインストール\": \"OK\" -> OK (not shown)\r\n";
    // "アン" in code page 932, and a trail byte that is a backslash ("ソ" is 0x83 0x5C).
    const std::string cp932 = "09:00:10 message box | \"\x83\x41\x83\x93\x83\x5C\": \"x\" -> OK (not shown)\r\n";
    const std::string header932 = "==== korun04 2025-03-03 09:00:00 \x83\x5C\x83\x41 | korun04.exe | platform WinNT, version class 8\r\n";
    const LogFile log = ReadLogText(header932 + utf8 + cp932 + "09:00:13 end | exit code 0 (done)\r\n", "jp.log");
    ASSERT_EQ(log.runs.size(), 1u);
    EXPECT_EQ(log.runs[0].unread, 0u);
    EXPECT_EQ(OutcomeOfRun(log.runs[0]), OUTCOME_DONE);
    // simwin knows no code page 932 (MultiByteToWideChar answers ERROR_INVALID_PARAMETER), so the bytes are
    // escaped; on Windows the same lines are converted (LINE_CP932) and the name reads "ソア".
    EXPECT_EQ(log.escapedLines + log.cp932Lines, 2u);
    if (log.escapedLines) EXPECT_EQ(log.runs[0].computer, "\\x83\\\\\\x83A");
    EXPECT_EQ(log.cp932Lines == 0, log.escapedLines == 2u);
    LineEncoding how = LINE_ESCAPED;
    EXPECT_EQ(LineToUtf8("アンインストール", &how), "アンインストール");
    EXPECT_EQ(how, LINE_UTF8);
}

TEST(LogReader, Utf8ValidityIsStrict) {
    struct Row {
        std::string bytes;
        bool valid;
    } rows[] = {
        {"plain", true},       {"\xE3\x82\xA2", true},  {"\xF0\x9F\x98\x80", true}, {"\xC0\xAF", false},
        {"\xE0\x80\xAF", false}, {"\xED\xA0\x80", false}, {"\xF4\x90\x80\x80", false}, {"\xE3\x82", false},
        {"\x80", false},       {"\xFF", false},
    };
    for (const Row& row : rows) EXPECT_EQ(IsValidUtf8(row.bytes), row.valid) << EscapeBytes(row.bytes);
}

TEST(LogReader, OnlyTheToolsLogsAreTakenForLogs) {
    EXPECT_TRUE(LooksLikeLog(kHeader));
    EXPECT_TRUE(LooksLikeLog("\xEF\xBB\xBF\r\n" + kHeader));
    EXPECT_FALSE(LooksLikeLog("[system]\nplatform = nt\n"));
    EXPECT_FALSE(LooksLikeLog(""));
    EXPECT_FALSE(LooksLikeLog("==== korun03 2025-03-03"));
}

}  // namespace
