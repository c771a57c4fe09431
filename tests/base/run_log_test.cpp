// The removal log as a file: its header, its lines on the machine's clock, appending run after run, one
// line per item and stage, the counts, and a log that cannot be written.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/run_log.h"
#include "simwin/machine.h"

namespace {

const char kLog[] = "C:\\Users\\Admin\\AppData\\Local\\Temp\\korun04.log";

class RunLog : public ::testing::Test {
protected:
    simwin::Machine m;
    simwin::MachineScope scope{m};
    std::string Text() { return m.files.read(kLog); }
};

TEST_F(RunLog, TheDefaultPathIsInTheTemporaryDirectory) {
    EXPECT_EQ(kLog, CRunLog::DefaultPath());
    simwin::Machine old(simwin::Platform::Win9x);
    simwin::MachineScope oldScope(old);
    EXPECT_EQ("C:\\WINDOWS\\TEMP\\korun04.log", CRunLog::DefaultPath());
}

TEST_F(RunLog, HeaderNamesDateTimeComputerCommandLineAndClasses) {
    m.system.computer = "ADMIN-PC7";
    CRunLog log;
    ASSERT_TRUE(log.Open(kLog));
    COSVersion os;
    log.WriteHeader("\"C:\\korun04.exe\" /QUIET\n/SELECT:ALL", os);
    Sleep(61 * 1000 + 500);
    log.Write("loading", "two\nlines");
    EXPECT_EQ("==== korun04 2025-03-03 09:00:00 ADMIN-PC7 | \"C:\\korun04.exe\" /QUIET\\n/SELECT:ALL | "
              "platform WinNT, version class 8\r\n"
              "09:01:01 loading | two\\nlines\r\n",
              Text());
}

TEST_F(RunLog, RunAfterRunTheLogIsAppended) {
    m.files.writeFile(kLog, "earlier run\r\n");
    {
        CRunLog log;
        ASSERT_TRUE(log.Open(kLog));
        log.Write("run", "second");
    }
    CRunLog again;
    ASSERT_TRUE(again.Open(kLog));
    again.Write("run", "third");
    EXPECT_EQ("earlier run\r\n09:00:00 run | second\r\n09:00:00 run | third\r\n", Text());
}

TEST_F(RunLog, OneLinePerItemAndStageWithItsFinalOutcomeAndError) {
    CRunLog log;
    ASSERT_TRUE(log.Open(kLog));
    log.SetStage(5);
    log.Item("monitor", "Vestral Port", CRunLog::REMOVED);
    log.Item("monitor", "VESTRAL PORT", CRunLog::NOT_THERE);  // the next environment: nothing more to say
    log.Item("monitor", "Vestral Port", CRunLog::REMOVED);
    log.Item("monitor", "Busy Port", CRunLog::NOT_THERE);
    log.Item("monitor", "Busy Port", CRunLog::FAILED, 3008);  // how it ended
    log.SetStage(14);
    log.Item("monitor", "Vestral Port", CRunLog::NOT_THERE);  // another stage
    log.Item("file", "C:\\x.dll", CRunLog::SCHEDULED, 32, "MoveFileExA");
    log.Item("service", "Spooler", CRunLog::REFUSED, 0, "Windows needs the service");
    log.SetStage(-1);
    log.WriteSummary(true);
    EXPECT_EQ("09:00:00 stage 5 | monitor | Vestral Port | removed\r\n"
              "09:00:00 stage 5 | monitor | Busy Port | failed, error 3008\r\n"
              "09:00:00 stage 14 | monitor | Vestral Port | not there\r\n"
              "09:00:00 stage 14 | file | C:\\x.dll | scheduled for restart (MoveFileExA), error 32\r\n"
              "09:00:00 stage 14 | service | Spooler | refused (Windows needs the service)\r\n"
              "09:00:00 done | removed 1, not there 1, scheduled 1, failed 1, refused 1, kept 0, called 0 | restart needed\r\n",
              Text());
    EXPECT_EQ(5u, log.ItemLines());
    EXPECT_EQ(1u, log.Count(CRunLog::NOT_THERE));
}

// How a stage's reports of one item end up on its line, a row per case.
TEST_F(RunLog, AnItemIsLoggedWithItsFinalOutcome) {
    struct Report {
        CRunLog::Outcome outcome;
        DWORD error;
        const char* detail;
    };
    struct Case {
        const char* what;
        std::vector<Report> reports;
        const char* line;
    };
    const Case cases[] = {
        {"a key with subkeys that the tree deletion then removed",
         {{CRunLog::FAILED, 5, nullptr}, {CRunLog::REMOVED, 0, "with its subkeys"}}, "removed (with its subkeys)"},
        {"a file in use, then scheduled", {{CRunLog::FAILED, 32, nullptr}, {CRunLog::SCHEDULED, 32, "MoveFileExA"}},
         "scheduled for restart (MoveFileExA), error 32"},
        {"removed, then not there in the next environment", {{CRunLog::REMOVED, 0, nullptr}, {CRunLog::NOT_THERE, 2, nullptr}},
         "removed"},
        {"not there, then removed", {{CRunLog::NOT_THERE, 0, nullptr}, {CRunLog::REMOVED, 0, nullptr}}, "removed"},
        {"only not there", {{CRunLog::NOT_THERE, 0, nullptr}}, "not there"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        m.files.writeFile(kLog, "");
        CRunLog log;
        ASSERT_TRUE(log.Open(kLog));
        log.SetStage(15);
        for (const Report& r : c.reports) log.Item("registry key", "HKEY_LOCAL_MACHINE\\SOFTWARE\\VESTRAL", r.outcome, r.error, r.detail);
        log.SetStage(-1);
        EXPECT_EQ(std::string("09:00:00 stage 15 | registry key | HKEY_LOCAL_MACHINE\\SOFTWARE\\VESTRAL | ") + c.line + "\r\n",
                  Text());
        EXPECT_EQ(1u, log.ItemLines());
        EXPECT_EQ(0u, log.Count(CRunLog::FAILED));  // none of them stayed
    }
}

TEST_F(RunLog, ALineBetweenKeepsTheOrderInWhichThingsHappened) {
    CRunLog log;
    ASSERT_TRUE(log.Open(kLog));
    log.SetStage(3);
    log.Item("printer", "Office", CRunLog::REMOVED);
    log.Write("message box", "the default printer changed");
    log.Item("printer", "Office", CRunLog::REMOVED);  // already written with this outcome
    log.Item("device", "", CRunLog::REMOVED);         // a device whose name could not be read
    log.SetStage(4);
    EXPECT_EQ("09:00:00 stage 3 | printer | Office | removed\r\n"
              "09:00:00 message box | the default printer changed\r\n"
              "09:00:00 stage 3 | device | (unnamed) | removed\r\n",
              Text());
    EXPECT_EQ(2u, log.Count(CRunLog::REMOVED));
}

// Lines written part by part: a waiting line behind written ones still takes its item's later outcome, and
// an item whose line is written gets a second line only for another outcome, with the time of its last report.
TEST_F(RunLog, WaitingLinesKeepTheirItemsAcrossPartialWrites) {
    CRunLog log;
    ASSERT_TRUE(log.Open(kLog));
    log.SetStage(14);
    log.Item("file", "C:\\a.dll", CRunLog::REMOVED);
    log.Item("file", "C:\\b.dll", CRunLog::NOT_THERE);
    log.Item("file", "C:\\c.dll", CRunLog::NOT_THERE);
    log.WriteItems();  // a.dll only: b.dll may still turn up in another place
    EXPECT_EQ("09:00:00 stage 14 | file | C:\\a.dll | removed\r\n", Text());
    log.Item("file", "C:\\C.DLL", CRunLog::SCHEDULED, 32, "MoveFileExA");
    Sleep(1000);
    log.Item("file", "C:\\b.dll", CRunLog::REMOVED);
    log.Item("file", "C:\\a.dll", CRunLog::REMOVED);  // written already with this outcome
    log.Item("file", "C:\\a.dll", CRunLog::FAILED, 5);
    log.WriteItems();  // b.dll and c.dll; a.dll's new line may still change
    log.Item("file", "C:\\a.dll", CRunLog::SCHEDULED, 5, "MoveFileExA");
    log.Item("file", "C:\\b.dll", CRunLog::NOT_THERE);  // written, and "not there" says nothing new
    log.SetStage(-1);
    EXPECT_EQ("09:00:00 stage 14 | file | C:\\a.dll | removed\r\n"
              "09:00:01 stage 14 | file | C:\\b.dll | removed\r\n"
              "09:00:00 stage 14 | file | C:\\c.dll | scheduled for restart (MoveFileExA), error 32\r\n"
              "09:00:01 stage 14 | file | C:\\a.dll | scheduled for restart (MoveFileExA), error 5\r\n",
              Text());
    EXPECT_EQ(4u, log.ItemLines());
    EXPECT_EQ(2u, log.Count(CRunLog::SCHEDULED));
}

// A second copy of the tool appends to the log the first one holds open: both keep their lines.
TEST_F(RunLog, TwoCopiesAppendToOneLog) {
    CRunLog first, second;
    ASSERT_TRUE(first.Open(kLog));
    first.Write("run", "first copy");
    ASSERT_TRUE(second.Open(kLog));
    second.Write("run", "second copy");
    first.Write("run", "first copy again");
    EXPECT_FALSE(first.WriteFailed());
    EXPECT_FALSE(second.WriteFailed());
    EXPECT_EQ("09:00:00 run | first copy\r\n09:00:00 run | second copy\r\n09:00:00 run | first copy again\r\n", Text());
}

TEST_F(RunLog, WritingLeavesTheLastErrorAlone) {
    CRunLog log;
    ASSERT_TRUE(log.Open(kLog));
    SetLastError(3001);
    log.Item("driver", "Vestral X Driver", CRunLog::KEPT, 3001, "a printer that stays uses it");
    log.Write("run", "text");
    log.WriteSummary(false);
    log.Close();
    EXPECT_EQ(3001u, GetLastError());
    // A failed open leaves it too.
    SetLastError(1234);
    EXPECT_FALSE(log.Open("C:\\No such directory\\korun04.log"));
    EXPECT_EQ(1234u, GetLastError());
}

TEST_F(RunLog, ALogThatCannotBeOpenedDropsItsLines) {
    m.files.writeFile(kLog, "held by another program\r\n");
    m.files.setLocked(kLog, true);
    CRunLog log;
    EXPECT_FALSE(log.Open(kLog));
    EXPECT_FALSE(log.IsOpen());
    log.SetStage(3);
    log.Item("printer", "Office", CRunLog::REMOVED);
    log.WriteSummary(false);
    EXPECT_EQ(1u, log.ItemLines());  // still counted: the summary of a run does not depend on its file
    m.files.setLocked(kLog, false);
    EXPECT_EQ("held by another program\r\n", Text());
}

}  // namespace
