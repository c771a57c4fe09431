// The administrator's options as the command line writes them: the modes they choose, the values they
// carry, and the reason a command line is refused by the unattended modes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/run_options.h"

namespace {

const char kProgram[] = "\"C:\\Program Files\\Vestral\\korun04.exe\"";

CRunOptions Parsed(const std::string& tail) {
    CRunOptions o;
    o.Parse((std::string(kProgram) + " " + tail).c_str());
    return o;
}

TEST(RunOptions, ACommandLineWithoutThemIsTheInteractiveModeAsBefore) {
    for (const char* tail : {"", "/MFG:\"Acme\",\"Other\"", "-UNPAV", "/PRN:\"Vestral X Driver\" -unpav"}) {
        SCOPED_TRACE(tail);
        CRunOptions o = Parsed(tail);
        EXPECT_EQ(CRunOptions::MODE_INTERACTIVE, o.mode);
        EXPECT_FALSE(o.IsUnattended());
        EXPECT_EQ("", o.error);
        EXPECT_EQ("", o.logPath);
    }
}

TEST(RunOptions, QuietWithSelectAllOrNames) {
    CRunOptions all = Parsed("/QUIET /SELECT:ALL");
    EXPECT_EQ(CRunOptions::MODE_QUIET, all.mode);
    EXPECT_TRUE(all.selectAll);
    EXPECT_TRUE(all.selectNames.empty());
    EXPECT_FALSE(all.restart);
    EXPECT_EQ("", all.error);

    CRunOptions named = Parsed("-quiet -select:\"Office\",\"Front desk\",Labels /restart");
    EXPECT_EQ(CRunOptions::MODE_QUIET, named.mode);
    EXPECT_FALSE(named.selectAll);
    EXPECT_EQ((std::vector<std::string>{"Office", "Front desk", "Labels"}), named.selectNames);
    EXPECT_TRUE(named.restart);
    EXPECT_EQ("", named.error);

    // ALL in double quotes is a printer of that name; /SELECT may be given again.
    CRunOptions quoted = Parsed("/QUIET /SELECT:\"ALL\" /SELECT:\"Office\"");
    EXPECT_FALSE(quoted.selectAll);
    EXPECT_EQ((std::vector<std::string>{"ALL", "Office"}), quoted.selectNames);
}

TEST(RunOptions, LogAndPlanTakeOnePathWithoutItsQuotes) {
    CRunOptions o = Parsed("/LOG:\"C:\\Admin Logs\\korun04 run.log\"");
    EXPECT_EQ(CRunOptions::MODE_INTERACTIVE, o.mode);
    EXPECT_EQ("C:\\Admin Logs\\korun04 run.log", o.logPath);
    EXPECT_EQ("", o.error);

    CRunOptions plan = Parsed("/PLAN:C:\\plan.ini /SELECT:\"Office\" /QUIET");
    EXPECT_EQ(CRunOptions::MODE_PLAN, plan.mode);  // /PLAN removes nothing, with /QUIET or without
    EXPECT_EQ("C:\\plan.ini", plan.planPath);
    EXPECT_EQ((std::vector<std::string>{"Office"}), plan.selectNames);
    EXPECT_EQ("", plan.error);
    EXPECT_EQ("", Parsed("/PLAN:\"C:\\plan.ini\"").error);  // every listed printer without /SELECT
}

// Each bad command line with the words its reason must hold.
TEST(RunOptions, BadCommandLinesSayWhy) {
    struct Case {
        const char* tail;
        const char* reason;
    };
    const Case cases[] = {
        {"/QUIET", "/QUIET needs /SELECT"},
        {"/QUIET /SELECT", "/SELECT needs ALL or printer names"},
        {"/QUIET /SELECT:", "an empty printer name"},
        {"/QUIET /SELECT:ALL,\"Office\"", "stands alone"},
        {"/QUIET /SELECT:ALL /FROBNICATE", "unknown option /FROBNICATE"},
        {"/QUIET /SELECT:Office Printer", "not an option: Printer"},
        {"/QUIET:yes /SELECT:ALL", "/QUIET takes no value"},
        {"/QUIET /SELECT:ALL /RESTART:now", "/RESTART takes no value"},
        {"/QUIET /SELECT:ALL /LOG", "/LOG takes one file name"},
        {"/QUIET /SELECT:ALL /LOG:\"\"", "an empty file name"},
        {"/QUIET /SELECT:ALL /LOG:a.log,b.log", "/LOG takes one file name"},
        {"/QUIET /SELECT:ALL /LOG:a.log /LOG:b.log", "/LOG given twice"},
        {"/QUIET /SELECT:ALL /LOG:\"C:\\a b.log", "unbalanced double quotes"},
        {"/QUIET /SELECT:ALL /LOG:C:\\a\"b\".log", "holds no double quote"},
        {"/PLAN", "/PLAN takes one file name"},
        {"/PLAN:p.ini /PLAN:q.ini", "/PLAN given twice"},
        {"/", "unknown option /"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tail);
        CRunOptions o = Parsed(c.tail);
        EXPECT_NE(std::string::npos, o.error.find(c.reason)) << o.error;
    }
    // A name or path longer than the tool's texts hold.
    CRunOptions longName = Parsed("/QUIET /SELECT:\"" + std::string(260, 'n') + "\"");
    EXPECT_NE(std::string::npos, longName.error.find("longer than 259 characters")) << longName.error;
    EXPECT_TRUE(Parsed("/QUIET /SELECT:\"" + std::string(259, 'n') + "\"").error.empty());
    CRunOptions longLine = Parsed("/QUIET /SELECT:ALL " + std::string(4100, ' '));
    EXPECT_NE(std::string::npos, longLine.error.find("longer than 4095")) << longLine.error;
}

TEST(RunOptions, TheInteractiveModeNotesWhatItDoesNotUseAndGoesOn) {
    // Unknown options and stray words never stopped the interactive mode; they still do not.
    CRunOptions o = Parsed("/FROBNICATE stray /SELECT:ALL");
    EXPECT_EQ(CRunOptions::MODE_INTERACTIVE, o.mode);
    EXPECT_NE("", o.error);
    EXPECT_FALSE(o.IsUnattended());
}

TEST(RunOptions, TheProgramPathAndDoubleBlanksAreNotArguments) {
    CRunOptions o;
    EXPECT_TRUE(o.Parse("C:\\Tools\\korun04.exe   /QUIET  /SELECT:ALL "));
    EXPECT_EQ(CRunOptions::MODE_QUIET, o.mode);
    EXPECT_TRUE(o.Parse(nullptr));
    EXPECT_EQ(CRunOptions::MODE_INTERACTIVE, o.mode);
    // A second parse starts afresh.
    EXPECT_FALSE(o.Parse("korun04.exe /QUIET"));
    EXPECT_TRUE(o.Parse("korun04.exe"));
    EXPECT_EQ("", o.error);
    EXPECT_EQ(CRunOptions::MODE_INTERACTIVE, o.mode);
}

}  // namespace

TEST(RunOptions, RestoreResumeAndKeepBackups) {
    struct Row {
        const char* tail;
        bool restore, resume;
        const char* folder;
        unsigned keep;
        const char* error;  // the start of the reason, "" when accepted
    };
    const Row rows[] = {
        {"/QUIET /RESTORE:LAST", true, false, "", 10, ""},
        {"/RESTORE:\"C:\\ProgramData\\Vestral\\korun04\\Backup\\20261208-090009\"", true, false,
         "C:\\ProgramData\\Vestral\\korun04\\Backup\\20261208-090009", 10, ""},
        {"-quiet -resume", false, true, "", 10, ""},
        {"/QUIET /SELECT:ALL /KEEPBACKUPS:3", false, false, "", 3, ""},
        {"/RESTORE", true, false, "", 10, "/RESTORE takes LAST or one folder"},
        {"/RESTORE:LAST,\"C:\\x\"", true, false, "", 10, "/RESTORE takes LAST or one folder"},
        {"/RESTORE:LAST /RESTORE:LAST", true, false, "", 10, "/RESTORE given twice"},
        {"/RESUME:now", false, true, "", 10, "/RESUME takes no value"},
        {"/RESTORE:LAST /RESUME", true, true, "", 10, "/RESTORE and /RESUME do not go together"},
        {"/PLAN:\"C:\\p.ini\" /RESUME", false, true, "", 10, "/PLAN removes nothing"},
        {"/QUIET /RESUME /SELECT:ALL", false, true, "", 10, "/RESTORE and /RESUME choose no printers"},
        {"/KEEPBACKUPS:0", false, false, "", 10, "/KEEPBACKUPS keeps at least"},
        {"/KEEPBACKUPS:ten", false, false, "", 10, "/KEEPBACKUPS takes a number"},
        {"/KEEPBACKUPS:12345", false, false, "", 10, "/KEEPBACKUPS takes a number"},
        {"/QUIET", false, false, "", 10, "/QUIET needs /SELECT"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.tail);
        CRunOptions o = Parsed(row.tail);
        EXPECT_EQ(row.restore, o.restore);
        EXPECT_EQ(row.resume, o.resume);
        EXPECT_EQ(row.folder, o.restoreFolder);
        EXPECT_EQ(row.keep, o.keepBackups);
        EXPECT_EQ(0u, o.error.find(row.error)) << o.error;
        if (!*row.error) {
            EXPECT_EQ("", o.error);
        }
    }
}

namespace {

// /CAPTURE: one folder, with /LOG at most; it neither plans nor removes.
TEST(RunOptions, CaptureTakesOneFolderAndStandsAlone) {
    struct Row {
        const char* tail;
        CRunOptions::Mode mode;
        const char* folder;
        const char* error;  // the start of the reason; "" for none
    } rows[] = {
        {"/CAPTURE:\"C:\\Admin\\PC01 capture\"", CRunOptions::MODE_CAPTURE, "C:\\Admin\\PC01 capture", ""},
        {"-capture:D:\\cap /LOG:\"C:\\cap.log\"", CRunOptions::MODE_CAPTURE, "D:\\cap", ""},
        {"/CAPTURE", CRunOptions::MODE_CAPTURE, "", "/CAPTURE takes one folder name"},
        {"/CAPTURE:\"\"", CRunOptions::MODE_CAPTURE, "", "/CAPTURE: an empty folder name"},
        {"/CAPTURE:a,b", CRunOptions::MODE_CAPTURE, "", "/CAPTURE takes one folder name"},
        {"/CAPTURE:a /CAPTURE:b", CRunOptions::MODE_CAPTURE, "b", "/CAPTURE given twice"},
        {"/CAPTURE:a /PLAN:b", CRunOptions::MODE_CAPTURE, "a", "/CAPTURE stands alone"},
        {"/CAPTURE:a /QUIET /SELECT:ALL", CRunOptions::MODE_CAPTURE, "a", "/CAPTURE stands alone"},
        {"/CAPTURE:a /RESTART", CRunOptions::MODE_CAPTURE, "a", "/CAPTURE stands alone"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.tail);
        CRunOptions o = Parsed(row.tail);
        EXPECT_EQ(row.mode, o.mode);
        EXPECT_TRUE(o.IsUnattended());
        EXPECT_EQ(row.folder, o.capturePath);
        EXPECT_EQ(0u, o.error.find(row.error)) << o.error;
        if (!row.error[0]) {
            EXPECT_EQ("", o.error);
        }
    }
}

}  // namespace

namespace {

// /REPORT: one folder and /OUT with one file, and nothing beside them.
TEST(RunOptions, ReportTakesAFolderAndAPageAndStandsAlone) {
    struct Row {
        const char* tail;
        CRunOptions::Mode mode;
        const char* folder;
        const char* out;
        const char* error;  // the start of the reason; "" for none
    } rows[] = {
        {"/REPORT:\"\\\\server\\logs\" /OUT:\"C:\\Admin\\fleet.html\"", CRunOptions::MODE_REPORT, "\\\\server\\logs",
         "C:\\Admin\\fleet.html", ""},
        {"-out:r.html -report:D:\\logs", CRunOptions::MODE_REPORT, "D:\\logs", "r.html", ""},
        {"/REPORT:D:\\logs", CRunOptions::MODE_REPORT, "D:\\logs", "", "/REPORT needs the page to write"},
        {"/OUT:r.html", CRunOptions::MODE_INTERACTIVE, "", "r.html", "/OUT goes with /REPORT only"},
        {"/REPORT /OUT:r.html", CRunOptions::MODE_REPORT, "", "r.html", "/REPORT takes one folder name"},
        {"/REPORT:a /OUT:\"\"", CRunOptions::MODE_REPORT, "a", "", "/OUT: an empty file name"},
        {"/REPORT:a /OUT:b /OUT:c", CRunOptions::MODE_REPORT, "a", "c", "/OUT given twice"},
        {"/REPORT:a /OUT:b /QUIET /SELECT:ALL", CRunOptions::MODE_REPORT, "a", "b", "/REPORT stands alone"},
        {"/REPORT:a /OUT:b /CAPTURE:c", CRunOptions::MODE_REPORT, "a", "b", "/REPORT stands alone"},
        {"/REPORT:a /OUT:b /LOG:c", CRunOptions::MODE_REPORT, "a", "b", "/REPORT stands alone"},
        {"/REPORT:a /OUT:b /RESUME", CRunOptions::MODE_REPORT, "a", "b", "/REPORT stands alone"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.tail);
        CRunOptions o = Parsed(row.tail);
        EXPECT_EQ(row.mode, o.mode);
        EXPECT_EQ(row.folder, o.reportFolder);
        EXPECT_EQ(row.out, o.outPath);
        EXPECT_EQ(0u, o.error.find(row.error)) << o.error;
        if (!row.error[0]) {
            EXPECT_EQ("", o.error);
        }
    }
}

}  // namespace
