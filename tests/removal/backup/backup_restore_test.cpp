// Undo and recovery over whole runs: a removal put back by /RESTORE, a removal killed at any stage or item
// and finished by /RESUME, a backup set that cannot be written.
#include <gtest/gtest.h>

#include <algorithm>

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
         "object changed service VstStatus04: marked: (none) -> yes\n", true},
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
        // The OEM INF is back under its own name and installed again through setupapi, not as a new oemNN.inf
        // (the demo's two packages: neither takes the other's name).
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
        // A folder of the backup's that refuses the user is moved aside; one where nothing can be made is not.
        m->files.find("C:\\ProgramData")->denied = true;
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

// A user names keys and values below the family's key in HKEY_CURRENT_USER; the removal keeps their backup
// as registry text, which the restore imports as administrator. A name that would end its line and start a
// key of its own is not written: its key stays, logged with the reason, and the restore writes nothing
// beside the family's keys.
TEST(BackupRestore, AHostileNameBelowTheFamilysKeyCannotSteerTheRestore) {
    auto m = backuprun::Load(EVERY_KIND);
    simwin::MachineScope scope(*m);
    // A name that would end its key's line, write a key of HKEY_LOCAL_MACHINE, and go on with a key of its own.
    const std::string evil = "]\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Evil]\r\n[HKEY_CURRENT_USER\\Software\\y";
    // A key the script deletes with its subkeys, and the printer's own key that the printers' stage deletes.
    const std::string script = "C:\\Windows\\System32\\spool\\drivers\\x64\\Kunz__04.unm";
    std::string text = m->files.read(script);
    const std::string keys = "[VYDRV.RegistryKeys]\r\n";
    text.insert(text.find(keys) + keys.size(), "HKCU,\"Software\\VESTRAL\\Hostile\",\"\",1\r\n");
    m->files.writeFile(script, text);
    const std::string hostileKey = "Software\\VESTRAL\\Hostile\\x" + evil, printerKey = "SOFTWARE\\VESTRAL\\Office";
    for (const std::string& path : {hostileKey, printerKey}) {
        HKEY key = NULL;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL));
        const std::string name = path == printerKey ? "x\"" + evil + "\r\n\"Run\"=\"evil.exe" : "v";
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>("1"), 2));
        RegCloseKey(key);
    }
    const int removed = toolrun::Run(*m, backuprun::Tail(EVERY_KIND));
    EXPECT_TRUE(removed == 0 || removed == 3010) << removed;
    const std::string log = m->files.read(toolrun::kDefaultLog);
    const std::vector<std::string> kept = toolrun::Items(toolrun::Lines(log), "registry key", "kept");
    for (const char* item : {"HKEY_CURRENT_USER\\Software\\VESTRAL\\Hostile", "HKEY_CURRENT_USER\\SOFTWARE\\VESTRAL\\Office"})
        EXPECT_NE(kept.end(), std::find(kept.begin(), kept.end(), item)) << item << "\n" << log;
    for (const char* why : {"its backup cannot hold it: the key's name holds a line break",
                            "its backup cannot hold it: the value's name holds a line break"})
        EXPECT_NE(std::string::npos, log.find(why)) << log;
    HKEY key = NULL;
    for (const std::string& path : {hostileKey, printerKey}) {
        EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key)) << path;
        RegCloseKey(key);
    }
    // The removal's other items went on, and the restore puts them back.
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\VESTRAL\\VY", 0, KEY_READ, &key));
    const int restored = toolrun::Run(*m, "/QUIET /RESTORE:LAST");
    EXPECT_TRUE(restored == 0 || restored == 3010) << restored << m->files.read(toolrun::kDefaultLog);
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\VESTRAL\\VY", 0, KEY_READ, &key));
    RegCloseKey(key);
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &key));
    char name[256];
    for (DWORD i = 0; RegEnumKeyA(key, i, name, sizeof name) == ERROR_SUCCESS; ++i)
        EXPECT_NE(0, _strnicmp(name, "Evil", 4)) << name << "\n" << m->files.read(toolrun::kDefaultLog);
    RegCloseKey(key);
}
