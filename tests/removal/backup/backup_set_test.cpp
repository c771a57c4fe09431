// The backup set on its own: where it goes and with which rights, the sets the tool accepts and prunes, the
// journal read back, and a restore item by item.
#include <gtest/gtest.h>

#include "removal/backup/backup_set.h"
#include "removal/backup/removal_journal.h"
#include "removal/backup/removal_state.h"
#include "removal/backup/restore.h"
#include "support/backup_run.h"

namespace {

struct SetFixture : ::testing::Test {
    SetFixture() : m(testmachine::Load("[system]\nplatform = nt\n", {})), scope(*m) { os.Detect(); }
    std::string MakeSet() {
        CBackupSet set;
        std::string error;
        EXPECT_TRUE(set.Create(os, error)) << error;
        return set.Folder();
    }
    std::unique_ptr<simwin::Machine> m;
    simwin::MachineScope scope;
    COSVersion os;
};

TEST_F(SetFixture, ASetHasTheToolsRightsAndOnlySuchSetsAreOpenedOrPruned) {
    const std::string first = MakeSet();
    EXPECT_EQ(0u, first.find("C:\\ProgramData\\Vestral\\korun04\\Backup\\")) << first;
    // Two sets of one second are told apart.
    const std::string second = MakeSet();
    EXPECT_NE(first, second);
    // A folder of a set's name that anyone else made (no rights of the tool's) is no set of the tool's.
    const std::string planted = CBackupSet::Root(os) + "\\20000101-000000";
    m->files.makeDirectories(planted);
    m->files.writeFile(planted + "\\journal.txt", "start | 2000-01-01 00:00:00\r\n");
    struct Row {
        std::string folder;
        bool accepted;
    };
    for (const Row& row : {Row{first, true}, Row{second, true}, Row{planted, false}, Row{"C:\\Windows", false},
                           Row{CBackupSet::Root(os) + "\\missing", false}}) {
        SCOPED_TRACE(row.folder);
        CBackupSet set;
        std::string error;
        EXPECT_EQ(row.accepted, set.Open(row.folder, os, false, error)) << error;
    }
    // Pruning keeps as many of the tool's sets as asked (this run's among them), never the planted folder.
    const std::string third = MakeSet();
    EXPECT_EQ(std::vector<std::string>{first}, CBackupSet::Prune(os, 2, third));
    EXPECT_TRUE(m->files.exists(second));
    EXPECT_EQ(std::vector<std::string>{second}, CBackupSet::Prune(os, 1, third));
    EXPECT_TRUE(m->files.exists(planted));
    EXPECT_TRUE(m->files.exists(third));
}

// The folders above the sets as someone may have left them before the tool's first run: one the administrators
// alone may change is used, the maker's may let users make folders in it, any other is moved aside (kept, with
// what it holds) and the tool makes its own; its sets are never picked meanwhile.
TEST_F(SetFixture, AFolderAboveTheSetsThatAUserMayChangeIsMovedAside) {
    const std::string user = simwin::sidText(simwin::userSid());
    const std::string vestral = "C:\\ProgramData\\Vestral", tool = vestral + "\\korun04", root = tool + "\\Backup";
    struct Row {
        const char* name;
        std::string folder;  // made beforehand, with the folders above it as an installer makes them
        std::string sddl;    // its own descriptor; "" what it inherits from the common application data folder
        bool file;           // a file of that name instead
        bool moved;
    } rows[] = {
        {"the tool's folders made by the tool", "", "", false, false},
        {"the maker's folder an installer made", vestral, "", false, false},
        {"the tool's folder made with inherited rights", tool, "", false, true},
        {"the sets' folder a user made", root, "O:" + user + "D:(A;OICI;FA;;;" + user + ")(A;OICI;FA;;;BA)", false, true},
        {"the maker's folder a user owns", vestral, "O:" + user + "D:P(A;OICI;FA;;;BA)", false, true},
        {"the maker's folder users may take over", vestral, "O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;BU)", false, true},
        {"the sets' folder whose rights a user may change", root, "O:BAD:P(A;OICI;FA;;;BA)(A;;WD;;;" + user + ")", false, true},
        {"the sets' folder users may only read", root, "O:SYD:P(A;OICI;FA;;;BA)(A;OICI;FR;;;BU)", false, false},
        {"a file in the maker's folder's place", vestral, "", true, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto fresh = testmachine::Load("[system]\nplatform = nt\n", {});
        simwin::MachineScope scope(*fresh);
        simwin::SecurityDescriptor tools;
        ASSERT_TRUE(simwin::parseSddl(CBackupSet::Dacl(), tools));
        if (!row.folder.empty()) {
            // The tool's own folder above the row's, as the tool makes it.
            if (row.folder == root) {
                fresh->files.makeDirectories(tool);
                fresh->files.find(tool)->security = std::make_shared<simwin::SecurityDescriptor>(tools);
            }
            if (row.file) {
                fresh->files.writeFile(row.folder, "x");
            } else {
                fresh->files.makeDirectories(row.folder + "\\20000101-000000");
            }
        }
        if (!row.sddl.empty()) {
            simwin::SecurityDescriptor sd;
            ASSERT_TRUE(simwin::parseSddl(row.sddl, sd));
            fresh->files.find(row.folder)->security = std::make_shared<simwin::SecurityDescriptor>(sd);
        }
        std::string why;
        EXPECT_EQ(!row.moved, CBackupSet::RootTrusted(os, why)) << why;
        // A set below a folder someone else may change is never picked.
        if (row.moved) EXPECT_TRUE(CBackupSet::Sets(os).empty());
        CBackupSet set;
        std::string error;
        ASSERT_TRUE(set.Create(os, error)) << error;
        ASSERT_EQ(row.moved ? 1u : 0u, set.MovedAside().size());
        EXPECT_TRUE(CBackupSet::RootTrusted(os, why)) << why;
        EXPECT_EQ(set.Folder(), CBackupSet::Sets(os).back());
        if (row.moved) EXPECT_EQ(1u, CBackupSet::Sets(os).size());
        if (row.moved) {
            // Kept under a name of its own, with what it held.
            const std::string& line = set.MovedAside()[0];
            const std::string aside = line.substr(line.find(" moved aside to ") + 16);
            EXPECT_EQ(0u, line.find(row.folder + " (")) << line;
            EXPECT_TRUE(fresh->files.exists(row.file ? aside : aside + "\\20000101-000000")) << line;
        }
    }
    // A sets' folder that cannot be moved aside stops the set before anything is made.
    m->files.makeDirectories(root);
    simwin::SecurityDescriptor tools;
    ASSERT_TRUE(simwin::parseSddl(CBackupSet::Dacl(), tools));
    m->files.find(tool)->security = std::make_shared<simwin::SecurityDescriptor>(tools);
    simwin::SecurityDescriptor planted;
    ASSERT_TRUE(simwin::parseSddl("O:" + user + "D:(A;OICI;FA;;;WD)", planted));
    m->files.find(root)->security = std::make_shared<simwin::SecurityDescriptor>(planted);
    m->files.find(root)->locked = true;  // another program has it open
    CBackupSet set;
    std::string error;
    EXPECT_FALSE(set.Create(os, error));
    EXPECT_NE(std::string::npos, error.find("cannot be moved aside")) << error;
}

// The boundaries of the state's texts: the longest text a database field holds reads back, one character more
// is refused as a damaged state (it would be cut, and name another printer or file).
TEST(RemovalState, TextsUpToTheirLimitReadBackAndLongerOnesAreRefused) {
    simwin::Machine machine;
    simwin::MachineScope scope(machine);
    CUninstallDatabase written;
    CPrinterEntry printer;
    CopyText(printer.printerName, "P");
    written.printers.AddCopy(printer);
    CRemovalContext context{};
    const std::string text = WriteRemovalState(written, context, 4);
    ASSERT_NE(std::string::npos, text.find("name = P\r\n")) << text;
    const struct {
        const char* field;
        std::string line;
        size_t length;
        bool accepted;
    } rows[] = {
        {"printer name", "name = ", TEXT_SIZE - 1, true},
        {"printer name", "name = ", TEXT_SIZE, false},
        {"removal list item", "", TEXT_SIZE - 1, true},
        {"removal list item", "", TEXT_SIZE, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.field) + " of " + std::to_string(row.length));
        std::string damaged = text;
        const std::string value(row.length, 'x');
        if (!row.line.empty()) {
            damaged.replace(damaged.find("name = P\r\n"), 10, row.line + value + "\r\n");
        } else {
            damaged += "[removal]\r\n" + std::string(CUninstallProfile::ListName(0)) + " = " + value + "\r\n";
        }
        CUninstallDatabase read;
        CRemovalContext readContext{};
        int stage = -1;
        std::string error;
        EXPECT_EQ(row.accepted, ReadRemovalState(damaged, read, readContext, stage, error)) << error;
        if (row.accepted && !row.line.empty()) EXPECT_EQ(value, read.printers.Front().printerName);
    }
}

// The boundaries of the journal's lines: the last stage, and a file that could not be copied.
TEST(RemovalJournal, BoundaryLines) {
    const struct {
        const char* line;
        int lastStage;
        size_t items;
        unsigned badLines;
        bool inUse;
    } rows[] = {
        {"stage | 17", 17, 0, 0, false},
        {"stage | 18", -1, 0, 1, false},
        {"item | 1 | file | C:\\x.dll | in use, not copied", -1, 1, 0, true},
        {"item | 1 | file | C:\\x.dll | in use", -1, 0, 1, false},
        {"item | 1 | file | C:\\x.dll | 3", -1, 1, 0, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.line);
        const CJournalText j = ParseJournal(std::string("start | 2026-12-08 09:00:09\r\n") + row.line + "\r\n");
        EXPECT_EQ(row.lastStage, j.lastStage);
        EXPECT_EQ(row.badLines, j.badLines);
        ASSERT_EQ(row.items, j.items.size());
        if (row.items) EXPECT_EQ(row.inUse, j.items[0].inUse);
    }
}

TEST(RemovalJournal, LinesReadBackAsTheyWereWritten) {
    const std::string text =
        "start | 2026-12-08 09:00:09\r\nstage | 3\r\nitem | 1 | job | Office, job 1 | -\r\ndone | 1 | removed\r\n"
        "item | 2 | registry key | HKEY_CURRENT_USER\\Software\\A | B | 7\r\ndone | 2 | not there\r\n"
        "stage | 14\r\nitem | 3 | file | C:\\x.dll | 8\r\n"  // cut short here
        "garbage\r\nitem | x | file | y | 1\r\ndone | 9 | removed\r\nstage | 99\r\n";
    const CJournalText j = ParseJournal(text);
    EXPECT_TRUE(j.started);
    EXPECT_FALSE(j.ended);
    EXPECT_EQ(14, j.lastStage);
    EXPECT_EQ(4u, j.badLines);
    ASSERT_EQ(3u, j.items.size());
    struct Row {
        unsigned number, copy;
        const char *kind, *item, *outcome;
        int stage;
    };
    const Row rows[] = {{1, 0, "job", "Office, job 1", "removed", 3},
                        {2, 7, "registry key", "HKEY_CURRENT_USER\\Software\\A | B", "not there", 3},
                        {3, 8, "file", "C:\\x.dll", "", 14}};
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(rows[i].item);
        EXPECT_EQ(rows[i].number, j.items[i].number);
        EXPECT_EQ(rows[i].copy, j.items[i].copy);
        EXPECT_EQ(rows[i].kind, j.items[i].kind);
        EXPECT_EQ(rows[i].item, j.items[i].item);
        EXPECT_EQ(rows[i].outcome, j.items[i].outcome);
        EXPECT_EQ(rows[i].stage, j.items[i].stage);
    }
    EXPECT_TRUE(ParseJournal(text + "end | 2026-12-08 09:00:13\r\n").ended);
}

// A restore of a set whose items meet the machine in every state they can be found in.
TEST(Restore, EachItemIsRestoredAlreadyThereOrSaidWhyNot) {
    auto m = backuprun::Load(backuprun::EVERY_KIND);
    simwin::MachineScope scope(*m);
    ASSERT_EQ(3010, toolrun::Run(*m, backuprun::Tail(backuprun::EVERY_KIND)));
    // Put back by hand before the restore: it stays as it is and counts as already there.
    m->registry.setString("HKEY_CURRENT_USER\\Software\\VESTRAL\\Settings", "Color", "green");
    COSVersion os;
    os.Detect();
    // A damaged copy fails its item alone.
    const std::string set = CBackupSet::Sets(os).back();
    const std::string index = m->files.read(set + "\\index.txt");
    const size_t registry = index.find(" | registry | ");
    ASSERT_NE(std::string::npos, registry);
    m->files.writeFile(set + "\\" + index.substr(index.rfind('\n', registry) + 1, 5) + ".dat", "not registry text");
    CRestore restore;
    std::string error;
    ASSERT_TRUE(restore.Run("", os, nullptr, error)) << error;
    EXPECT_EQ(1u, restore.Result().alreadyThere);
    EXPECT_EQ(1u, restore.Result().failed);
    EXPECT_EQ(1u, restore.Result().cannotComeBack);  // the service still marked for deletion
    EXPECT_TRUE(restore.Result().restartNeeded);
    EXPECT_GT(restore.Result().restored, 10u);
    const simwin::RegValue* color = m->registry.value("HKEY_CURRENT_USER\\Software\\VESTRAL\\Settings", "Color");
    ASSERT_NE(nullptr, color);
    EXPECT_STREQ("green", std::string(color->data.begin(), color->data.end()).c_str());
    // Not a set: refused with its reason, and nothing restored.
    EXPECT_FALSE(restore.Run("C:\\Windows", os, nullptr, error));
    EXPECT_NE(std::string::npos, error.find("is not a backup set")) << error;
    EXPECT_EQ(1603, toolrun::Run(*m, "/QUIET /RESTORE:\"C:\\Windows\""));
}

}  // namespace

namespace {

// A drive that keeps no descriptors (Wine's, a FAT volume) reports the running user as every file's owner:
// a set the tool made there is accepted by that rule, and the probe that found it out leaves nothing.
TEST(BackupSetWithoutDescriptors, IsAcceptedAsTheRunningUsersAndTheProbeLeavesNothing) {
    auto m = testmachine::Load("[system]\nplatform = nt\n[drive]\nletter = C\ndescriptors = no\n", {});
    simwin::MachineScope scope(*m);
    COSVersion os;
    os.Detect();
    CBackupSet made;
    std::string error;
    ASSERT_TRUE(made.Create(os, error)) << error;
    CBackupSet opened;
    EXPECT_TRUE(opened.Open(made.Folder(), os, false, error)) << error;
    EXPECT_EQ(std::vector<std::string>{made.Folder()}, CBackupSet::Sets(os));
    EXPECT_TRUE(m->files.exists(made.Folder()));
    // The same folder where descriptors are kept, without the tool's rights, is refused.
    m->files.setKeepsDescriptors("C", true);
    EXPECT_FALSE(opened.Open(made.Folder(), os, false, error));
}

}  // namespace
