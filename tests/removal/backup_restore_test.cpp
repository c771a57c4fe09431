// Undo and recovery over whole runs: a removal put back by /RESTORE, a removal killed at any stage or item
// and finished by /RESUME, a backup set that cannot be written.
#include <gtest/gtest.h>

#include "support/backup_run.h"

namespace {

using backuprun::DEMO;
using backuprun::EVERY_KIND;
using backuprun::Shape;

struct RoundTripRow {
    const char* name;
    Shape shape;
    // What cannot come back, as the machine comparison says it (a service only marked for deletion returns
    // after the restart, when the restore is run again).
    std::string cannotComeBack;
    bool oemInf;  // the removal takes an OEM INF
};

TEST(BackupRestore, ARemovalPutBackLeavesTheMachineAsItWas) {
    const RoundTripRow rows[] = {
        // The running programs the tool closed and the Pavane utility it ran are not part of what it removed.
        {"demo", DEMO,
         "object removed window PAVANEDLGCLASS04\nobject removed window VSTStatusClass_04\n"
         "object changed program C:\\Program Files\\Vestral\\PAVANE32.EXE: started: (none) -> 1\n"
         "object changed service VstStatus04: marked: (none) -> yes\n", false},
        {"every kind", EVERY_KIND,
         std::string(backuprun::kEveryKindStoreGain) + "object changed service VstStatus04: marked: (none) -> yes\n", true},
    };
    for (const RoundTripRow& row : rows) {
        SCOPED_TRACE(row.name);
        auto m = backuprun::Load(row.shape);
        simwin::MachineScope scope(*m);
        const machinediff::State before = machinediff::Capture(*m);
        const int removed = toolrun::Run(*m, backuprun::Tail(row.shape));
        EXPECT_TRUE(removed == 0 || removed == 3010) << removed;
        ASSERT_FALSE(machinediff::Compare(before, machinediff::Capture(*m)).Empty());
        EXPECT_EQ(3010, toolrun::Run(*m, "/QUIET /RESTORE:LAST")) << m->files.read(toolrun::kDefaultLog);
        EXPECT_EQ(row.cannotComeBack, machinediff::Compare(before, machinediff::Capture(*m)).Describe())
            << m->files.read(toolrun::kDefaultLog);
        // The OEM INF is back under its own name and installed again through setupapi, not as a new oemNN.inf.
        EXPECT_EQ(row.oemInf, m->files.read(toolrun::kDefaultLog).find("installed again by SetupCopyOEMInfA") != std::string::npos)
            << m->files.read(toolrun::kDefaultLog);
    }
}

}  // namespace

// A removal killed just before a stage, or just before one of its items, and then finished by /RESUME ends
// where an uninterrupted removal ends.
TEST(BackupRestore, ARemovalKilledAnywhereIsFinishedByResume) {
    machinediff::State uninterrupted;
    int uninterruptedCode = 0;
    {
        auto m = backuprun::Load(EVERY_KIND);
        simwin::MachineScope scope(*m);
        uninterruptedCode = toolrun::Run(*m, backuprun::Tail(EVERY_KIND));
        uninterrupted = machinediff::Capture(*m);
    }
    std::vector<std::string> markers;
    for (int stage = 3; stage <= 17; ++stage) markers.push_back("stage | " + std::to_string(stage) + "\r\n");
    for (int item : {1, 2, 5, 9, 14, 20, 26}) markers.push_back("item | " + std::to_string(item) + " | ");
    for (const std::string& marker : markers) {
        SCOPED_TRACE(marker);
        testmachine::TempDir killed;
        {
            auto m = backuprun::Load(EVERY_KIND);
            simwin::MachineScope scope(*m);
            ASSERT_TRUE(backuprun::RunUntilCrash(*m, backuprun::Tail(EVERY_KIND), marker, killed.path.string()));
        }
        auto m = simwin::Machine::load(killed.path.string());
        simwin::MachineScope scope(*m);
        EXPECT_EQ(uninterruptedCode, toolrun::Run(*m, "/QUIET /RESUME")) << m->files.read(toolrun::kDefaultLog);
        EXPECT_EQ("", machinediff::Compare(uninterrupted, machinediff::Capture(*m)).Describe())
            << m->files.read(toolrun::kDefaultLog);
        // Nothing is left to finish.
        EXPECT_EQ(0, toolrun::Run(*m, "/QUIET /RESUME"));
    }
}

// A backup set that cannot be made stops the removal before anything goes; one that fills up on the way stops
// it at that item, and /RESUME finishes it once there is room.
TEST(BackupRestore, ABackupThatCannotBeWrittenStopsTheRemoval) {
    {
        auto m = backuprun::Load(EVERY_KIND);
        simwin::MachineScope scope(*m);
        m->files.makeDirectories("C:\\ProgramData\\Vestral\\korun04\\Backup");
        m->files.find("C:\\ProgramData\\Vestral\\korun04\\Backup")->denied = true;
        const machinediff::State before = machinediff::Capture(*m);
        EXPECT_EQ(1603, toolrun::Run(*m, backuprun::Tail(EVERY_KIND)));
        EXPECT_TRUE(machinediff::Compare(before, machinediff::Capture(*m)).Empty())
            << machinediff::Compare(before, machinediff::Capture(*m)).Describe();
        EXPECT_NE(std::string::npos, m->files.read(toolrun::kDefaultLog).find("the backup set cannot be written"));
    }
    auto m = backuprun::Load(EVERY_KIND);
    simwin::MachineScope scope(*m);
    // A large file of the list and a drive with room for the small copies only.
    const std::string big = "C:\\Program Files\\Vestral\\vstmon.exe";
    m->files.writeFile(big, std::string(4 << 20, 'x'));
    m->files.beginRun();
    m->files.setDriveSpace("C", 1ull << 34, 2 << 20);
    EXPECT_EQ(1603, toolrun::Run(*m, backuprun::Tail(EVERY_KIND)));
    EXPECT_TRUE(m->files.exists(big));
    const std::string log = m->files.read(toolrun::kDefaultLog);
    EXPECT_NE(std::string::npos, log.find("/RESUME goes on")) << log;
    m->files.setDriveSpace("C", 1ull << 34, 1ull << 30);
    const int finished = toolrun::Run(*m, "/QUIET /RESUME");
    EXPECT_TRUE(finished == 0 || finished == 3010) << finished << m->files.read(toolrun::kDefaultLog);
    EXPECT_FALSE(m->files.exists(big));
}
