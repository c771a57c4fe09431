// The one event each run of the tool writes into the Application event log: a whole run per way a run ends,
// its event's ID, type and strings; the source registered on the first run; a user who may not register it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/run_event.h"
#include "resources/resource.h"
#include "support/temp_machine.h"
#include "support/tool_run.h"

namespace {

const char kScript[] =
    "[UnPrinterDrivers]\r\n\"Vestral X Driver\",VXDRV,1\r\n[VXDRV.Files]\r\nvxdrv.dll\r\nvxbusy.dll\r\n";
const char kMachine[] =
    "[printer]\nname = Office\ndriver = Vestral X Driver\nport = LPT1:\ndata.VestralDriver04 = 1\n"
    "[printer]\nname = Home\ndriver = Vestral X Driver\nport = LPT2:\ndata.VestralDriver04 = 1\n"
    "[driver]\nname = Vestral X Driver\n";
const char kNt[] = "[system]\nplatform = nt\n";
const char kNotAdmin[] = "[system]\nplatform = nt\nadmin = no\n";
const char kBusy[] = "[file]\npath = C:\\Windows\\System32\\spool\\drivers\\x64\\vxbusy.dll\nlocked = yes\n";
const char kOtherCopy[] = "[window]\nclass = VSTUninstallWindowClass__\ntitle = アンインストール\n";
const char kSourceKey[] = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\korun04";
// The source as an administrator's earlier run left it.
const std::string kRegistered = std::string("Windows Registry Editor Version 5.00\n\n[") + kSourceKey +
                                "]\n\"TypesSupported\"=dword:00000007\n";

class RunEventTest : public ::testing::Test {
protected:
    void Use(const std::string& system, const std::string& extra, const std::string& registry = "") {
        scope.reset();
        m = testmachine::Load(system + kMachine + extra,
                              {{"C/Windows/System32/spool/drivers/x64/Kunz__04.unm", kScript},
                               {"C/Windows/System32/spool/drivers/x64/vxdrv.dll", "MZ"},
                               {"C/Windows/System32/spool/drivers/x64/vxbusy.dll", "MZ"}},
                              registry);
        scope = std::make_unique<simwin::MachineScope>(*m);
    }
    std::string LogText() { return m->files.exists(toolrun::kDefaultLog) ? m->files.read(toolrun::kDefaultLog) : ""; }
    std::vector<toolrun::Line> EventLines() {
        std::vector<toolrun::Line> lines;
        for (const toolrun::Line& l : toolrun::Lines(LogText()))
            if (l.place == "event") lines.push_back(l);
        return lines;
    }
    // "removed R, kept K, refused F, failed X" of the log's summary line.
    std::string LoggedCounts() {
        for (const toolrun::Line& l : toolrun::Lines(LogText()))
            if (l.place == "done" && !l.fields.empty()) {
                auto count = [&](const std::string& word) {
                    const size_t at = l.fields[0].find(word + " ");
                    return at == std::string::npos ? std::string("?") : std::to_string(atoi(l.fields[0].c_str() + at + word.size() + 1));
                };
                return "removed " + count("removed") + ", kept " + count("kept") + ", refused " + count("refused") +
                       ", failed " + count("failed");
            }
        return "(none)";
    }
    void Script(const std::vector<simwin::UserAction>& actions) {
        m->windows.user.actions.assign(actions.begin(), actions.end());
    }

    std::unique_ptr<simwin::Machine> m;
    std::unique_ptr<simwin::MachineScope> scope;
};

simwin::UserAction Act(simwin::UserAction::Kind kind, const std::string& target = "", std::vector<std::string> items = {},
                       int64_t at = -1) {
    simwin::UserAction a;
    a.kind = kind;
    a.target = target;
    a.items = std::move(items);
    a.at = at;
    return a;
}

}  // namespace

TEST_F(RunEventTest, EachWayARunEndsHasItsEvent) {
    enum User { NONE, ESCAPE, UNINSTALL };  // what the scripted user does
    struct Case {
        const char* system;
        const char* extra;
        bool registered;
        User user;
        const char* tail;
        int code;
        DWORD id;
        WORD type;
        const char* run;
        const char* outcome;
        bool counted;  // a removal ran: the counts are its log's
    };
    const Case cases[] = {
        {kNt, "", false, NONE, "/QUIET /SELECT:ALL", 0, 1000, EVENTLOG_INFORMATION_TYPE, "unattended removal (/QUIET)", "done", true},
        {kNt, kBusy, false, NONE, "/QUIET /SELECT:ALL", 3010, 1001, EVENTLOG_WARNING_TYPE, "unattended removal (/QUIET)",
         "done, a restart is needed", true},
        {kNt, kBusy, false, NONE, "/QUIET /SELECT:ALL /RESTART", 1641, 1002, EVENTLOG_INFORMATION_TYPE,
         "unattended removal (/QUIET)", "done, Windows restarts", true},
        {kNt, "", false, ESCAPE, "/QUIET /SELECT:ALL", 1602, 1003, EVENTLOG_WARNING_TYPE, "unattended removal (/QUIET)",
         "cancelled", false},
        {kNt, "[spooler]\nstate = no-start\n", false, NONE, "/QUIET /SELECT:ALL", 1603, 1004, EVENTLOG_ERROR_TYPE,
         "unattended removal (/QUIET)", "failed", false},
        {kNt, kOtherCopy, false, NONE, "/QUIET /SELECT:ALL", 1618, 1005, EVENTLOG_WARNING_TYPE,
         "unattended removal (/QUIET)", "another copy of the tool is running: nothing was done", false},
        {kNotAdmin, "", true, NONE, "/QUIET /SELECT:ALL", 740, 1006, EVENTLOG_ERROR_TYPE, "unattended removal (/QUIET)",
         "the user is not an administrator", false},
        {kNt, "", false, NONE, "/QUIET", 87, 1007, EVENTLOG_ERROR_TYPE, "unattended removal (/QUIET)", "bad command line", false},
        {kNt, "", false, NONE, "/PLAN:\"C:\\plan.ini\" /SELECT:ALL", 0, 1000, EVENTLOG_INFORMATION_TYPE, "what-if plan (/PLAN)",
         "done", false},
        {kNt, "", false, NONE, "/CAPTURE:\"C:\\capture\"", 0, 1000, EVENTLOG_INFORMATION_TYPE,
         "capture of the machine (/CAPTURE)", "done", false},
        {kNt, "", false, NONE, "/QUIET /RESUME", 0, 1000, EVENTLOG_INFORMATION_TYPE,
         "unattended finish of a removal cut short (/RESUME /QUIET)", "done", false},
        {kNt, "", false, NONE, "/QUIET /RESTORE:\"C:\\nothing\"", 1603, 1004, EVENTLOG_ERROR_TYPE,
         "unattended restore (/RESTORE /QUIET)", "failed", false},
        {kNt, kBusy, false, UNINSTALL, "", 1, 1001, EVENTLOG_WARNING_TYPE, "interactive removal", "done, a restart is needed", true},
        {kNotAdmin, "", true, NONE, "", 1, 1006, EVENTLOG_ERROR_TYPE, "interactive removal", "the user is not an administrator",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.tail) + " / " + c.outcome);
        Use(c.system, c.extra, c.registered ? kRegistered : "");
        if (c.user == ESCAPE) Script({Act(simwin::UserAction::Key, "escape", {}, 1000)});
        if (c.user == UNINSTALL)
            Script({Act(simwin::UserAction::Select, "", {"Office", "Home"}),
                    Act(simwin::UserAction::Press, std::to_string(IDC_UNINSTALL))});
        m->windows.user.answers = {false};
        EXPECT_EQ(c.code, toolrun::Run(*m, c.tail));
        ASSERT_EQ(1u, m->eventLog.events.size()) << LogText();
        const simwin::LoggedEvent& e = m->eventLog.events[0];
        EXPECT_EQ("korun04", e.source);
        EXPECT_EQ("Application", e.log);
        EXPECT_EQ(c.id, e.id);
        EXPECT_EQ(c.type, e.type);
        const std::vector<std::string> strings = {
            std::string("Run: ") + c.run, std::string("Outcome: ") + c.outcome, "Exit code: " + std::to_string(c.code),
            "Counts: " + (c.counted ? LoggedCounts() : std::string("(none)")), std::string("Log: ") + toolrun::kDefaultLog};
        EXPECT_EQ(strings, e.strings);
        EXPECT_TRUE(EventLines().empty()) << LogText();  // written: the log says nothing of it
    }
}

TEST_F(RunEventTest, TheFirstRunRegistersTheSourceAndLaterRunsKeepIt) {
    Use(kNt, "");
    EXPECT_EQ(nullptr, m->registry.find(kSourceKey));
    EXPECT_EQ(87, toolrun::Run(*m, "/QUIET"));
    const simwin::RegKey* key = m->registry.find(kSourceKey);
    ASSERT_NE(nullptr, key);
    ASSERT_EQ(1u, key->values.size());  // no EventMessageFile: the program holds no message table
    EXPECT_EQ("TypesSupported", key->values[0].name);
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), key->values[0].type);
    EXPECT_EQ((std::vector<BYTE>{7, 0, 0, 0}), key->values[0].data);

    EXPECT_EQ(0, toolrun::Run(*m, "/QUIET /SELECT:ALL"));
    ASSERT_EQ(2u, m->eventLog.events.size());  // one per run
    EXPECT_EQ(static_cast<DWORD>(RUN_EVENT_BAD_COMMAND_LINE), m->eventLog.events[0].id);
    EXPECT_EQ(static_cast<DWORD>(RUN_EVENT_DONE), m->eventLog.events[1].id);
    EXPECT_EQ(1u, m->registry.find(kSourceKey)->values.size());
}

// A user who is not an administrator cannot register the source: the run ends as it would have, without an
// event, and its log says why in one line before its end.
TEST_F(RunEventTest, AnUnregisteredSourceAndAUserWhoMayNotRegisterItMeanOnlyALogLine) {
    Use(kNotAdmin, "");
    EXPECT_EQ(740, toolrun::Run(*m, "/QUIET /SELECT:ALL"));
    EXPECT_TRUE(m->eventLog.events.empty());
    EXPECT_EQ(nullptr, m->registry.find(kSourceKey));
    const std::vector<toolrun::Line> lines = EventLines();
    ASSERT_EQ(1u, lines.size()) << LogText();
    EXPECT_EQ("the Application event log holds no event of this run (ID 1006): the event source korun04 cannot be "
              "registered (error 5)",
              lines[0].fields.at(0));
    const std::vector<toolrun::Line> all = toolrun::Lines(LogText());
    EXPECT_EQ("end", all.back().place);
}

// Windows 9x has no event log: nothing is written and nothing is said.
TEST_F(RunEventTest, The9xFamilyWritesNoEventAndSaysNothing) {
    Use("[system]\nplatform = 9x\n", "");
    EXPECT_EQ(87, toolrun::Run(*m, "/QUIET"));
    EXPECT_TRUE(m->eventLog.events.empty());
    EXPECT_TRUE(EventLines().empty()) << LogText();
    EXPECT_EQ(nullptr, m->registry.find(kSourceKey));
}

TEST_F(RunEventTest, ARestoreCountsWhatCameBack) {
    Use(kNt, "");
    EXPECT_EQ(0, toolrun::Run(*m, "/QUIET /SELECT:ALL"));
    // This machine's driver has no files declared for the spooler: it and its printers cannot come back.
    EXPECT_EQ(1603, toolrun::Run(*m, "/QUIET /RESTORE:LAST"));
    ASSERT_TRUE(toolrun::Has(toolrun::Lines(LogText()), "restore", "3 restored, 0 already there, 3 failed, 0 cannot"))
        << LogText();
    ASSERT_EQ(2u, m->eventLog.events.size());
    const simwin::LoggedEvent& e = m->eventLog.events[1];
    EXPECT_EQ(static_cast<DWORD>(RUN_EVENT_FAILED), e.id);
    EXPECT_EQ(EVENTLOG_ERROR_TYPE, e.type);
    ASSERT_EQ(5u, e.strings.size());
    EXPECT_EQ("Run: unattended restore (/RESTORE /QUIET)", e.strings[0]);
    EXPECT_EQ("Counts: restored 3, already there 0, failed 3, cannot come back now 0", e.strings[3]);
}
