// A backup set damaged or planted after its removal: the set a removal on a built machine wrote, changed as an
// attacker or a broken disk would change it, then /RESTORE or /RESUME. A damaged item is refused alone (the
// machine keeps it as the removal left it, and nothing the damage names is written); every other item comes
// back. A state that contradicts its set is refused whole: nothing is removed.
#include <gtest/gtest.h>

#include <ctype.h>

#include <functional>

#include "removal/backup/state_records.h"
#include "support/backup_run.h"
#include "support/built_machine.h"
#include "support/log_text.h"

namespace {

const char kTool[] = "C:\\Windows\\System32\\spool\\drivers\\x64\\vxtool.exe";  // a file of the list, no driver's
const char kTail[] = "/QUIET /SELECT:\"Office\"";

using logtext::Has;
using logtext::Log;

bool HasNoCase(std::string text, std::string part) {
    for (std::string* s : {&text, &part})
        for (char& c : *s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return Has(text, part);
}

// The family's "Office" with a key, a value and a file of its own in the script, and "Labels", a printer of the
// family on another driver, which stays.
std::unique_ptr<simwin::Machine> Built() {
    built::MachineBuilder b(simwin::Platform::Nt, "10.0");
    built::presets::Family(b)
        .DriverPackage(built::presets::AcmeLaser())
        .Printer(built::FamilyPrinter("Office", "VSTUSB001:", "Vestral X Driver", true))
        .Printer(built::FamilyPrinter("Labels", "LPT1:", "Acme Laser Driver"))
        .RegistryValue("HKEY_LOCAL_MACHINE\\SOFTWARE\\VESTRAL\\VX", "Version", "4.2")
        .RegistryValue("HKEY_CURRENT_USER\\Software\\VESTRAL\\Settings", "Color", "blue")
        .RegistryValue("HKEY_CURRENT_USER\\Software\\VESTRAL\\Settings", "Size", "A4")
        .File(kTool);
    std::string script = built::presets::FamilyScript();
    script.insert(script.find("vxdrv.dll"), "vxtool.exe\r\n");
    b.Script(script + "[VXDRV.RegistryKeys]\r\nHKLM,\"SOFTWARE\\VESTRAL\\VX\",\"\",1\r\n"
                      "HKCU,\"Software\\VESTRAL\\Settings\",\"Color\"\r\n");
    return b.Take();
}

// The newest set's files, to be damaged in place.
struct SetFiles {
    simwin::Machine& m;
    std::string folder = CBackupSet::Sets(COSVersion()).back();

    std::string Path(const std::string& name) const { return folder + "\\" + name; }
    // Replaces the first occurrence of from (after the first of after) in a file of the set.
    void Replace(const std::string& name, const std::string& from, const std::string& to, const std::string& after = "") {
        std::string text = m.files.read(Path(name));
        // In the state the last part that names a printer is the one that counts (a stage's record gives a
        // changed printer again).
        const size_t start = after.empty() ? 0 : name == "state.ini" ? text.rfind(after) : text.find(after);
        const size_t at = text.find(from, start);
        ASSERT_NE(std::string::npos, at) << from << " in " << name << ":\n" << text;
        text.replace(at, from.size(), to);
        m.files.writeFile(Path(name), name == "state.ini" ? Resealed(text) : text);
    }
    // A state edited by hand with the checks of its parts written again: it reads as edited, not as a write
    // cut short.
    static std::string Resealed(std::string text) {
        const std::string end = "[end]\r\ncheck = ";
        for (size_t from = 0, at; (at = text.find(end, from)) != std::string::npos; from = at + end.size() + 10)
            text.replace(at + end.size(), 8, StateCheck(text, from, at + 7));
        return text;
    }
    // The copy of an item, by its index line ("NNNNN | FORM | ITEM").
    std::string Copy(const std::string& formAndItem) const {
        const std::string index = m.files.read(Path("index.txt"));
        const size_t at = index.find(" | " + formAndItem);
        return at == std::string::npos || at < 5 ? "missing.dat" : index.substr(at - 5, 5) + ".dat";
    }
    // The tool's file under another path, in its journal line and its index line alike.
    void MoveFile(const std::string& to) {
        Replace("journal.txt", std::string("| file | ") + kTool + " |", "| file | " + to + " |");
        Replace("index.txt", std::string("| file | ") + kTool + " |", "| file | " + to + " |");
    }
};

std::vector<std::string> DiffLines(const machinediff::State& a, const machinediff::State& b) {
    std::vector<std::string> lines;
    const std::string text = machinediff::Compare(a, b).Describe();
    for (size_t at = 0, end; at < text.size(); at = end + 1) {
        end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(at, end - at));
    }
    return lines;
}

struct RestoreRow {
    const char* name;
    std::function<void(SetFiles&)> damage;
    const char* why;    // the log's reason, after "failed (the backup set is damaged: "
    const char* stays;  // what the refused item names in the machine comparison: it stays as the removal left it
};

TEST(RestoreDamage, ADamagedItemIsRefusedAloneAndTheOthersComeBack) {
    const std::string key = "HKEY_LOCAL_MACHINE\\SOFTWARE\\VESTRAL\\VX";
    const std::string value = "registry | HKEY_CURRENT_USER\\Software\\VESTRAL\\Settings\\Color";
    const RestoreRow rows[] = {
        {"a planted key beside the item's", [&](SetFiles& s) {
             s.m.files.writeFile(s.Path(s.Copy("registry | " + key)),
                                 "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\r\n"
                                 "\"Evil\"=\"C:\\\\evil.exe\"\r\n");
         }, "its registry text names another key", "SOFTWARE\\VESTRAL\\VX"},
        {"a value beside the item's", [&](SetFiles& s) {
             s.Replace(s.Copy(value), "\"Color\"=\"blue\"", "\"Color\"=\"blue\"\r\n\"Evil\"=\"1\"");
         }, "its registry text holds 2 values", "Settings|Color"},
        {"the index names another path", [&](SetFiles& s) {
             s.Replace("index.txt", kTool, "C:\\Windows\\System32\\evil.dll");
         }, "its copy's index line names another file", "vxtool.exe"},
        {"the index names another kind", [&](SetFiles& s) {
             s.Replace("index.txt", "registry | " + key, "file | " + key + " | attributes=0x20");
         }, "its copy's index line says file", "SOFTWARE\\VESTRAL\\VX"},
        {"..", [](SetFiles& s) { s.MoveFile("C:\\Windows\\System32\\spool\\drivers\\x64\\..\\..\\..\\evil.exe"); },
         "its path has a relative component", "vxtool.exe"},
        {"NUL", [](SetFiles& s) { s.MoveFile(std::string(kTool) + std::string(1, '\0') + ".txt"); },
         "its journal line holds a NUL", "vxtool.exe"},
        {"a stream", [](SetFiles& s) { s.MoveFile(std::string(kTool) + ":evil"); },
         "its path names an alternate data stream", "vxtool.exe"},
        {"a device path", [](SetFiles& s) { s.MoveFile("\\\\.\\C:\\Windows\\evil.exe"); },
         "its path is a device path", "vxtool.exe"},
        {"a device name", [](SetFiles& s) { s.MoveFile("C:\\Windows\\COM1.exe"); },
         "its path names a device", "vxtool.exe"},
        {"a relative path", [](SetFiles& s) { s.MoveFile("evil.exe"); },
         "its path is not a full path on a drive", "vxtool.exe"},
    };
    // The control: the undamaged set puts everything back but what cannot come back.
    std::set<std::string> cannotComeBack;
    {
        auto m = Built();
        simwin::MachineScope scope(*m);
        const machinediff::State before = machinediff::Capture(*m);
        toolrun::Run(*m, kTail);
        EXPECT_NE(1603, toolrun::Run(*m, "/QUIET /RESTORE:LAST")) << Log(*m);
        for (const std::string& line : DiffLines(before, machinediff::Capture(*m))) cannotComeBack.insert(line);
        EXPECT_TRUE(Has(Log(*m), ", 0 failed, ")) << Log(*m);
    }
    for (const RestoreRow& row : rows) {
        SCOPED_TRACE(row.name);
        auto m = Built();
        simwin::MachineScope scope(*m);
        const machinediff::State before = machinediff::Capture(*m);
        toolrun::Run(*m, kTail);
        SetFiles set{*m};
        row.damage(set);
        EXPECT_EQ(1603, toolrun::Run(*m, "/QUIET /RESTORE:LAST"));
        const std::string log = Log(*m);
        EXPECT_TRUE(Has(log, std::string("failed (the backup set is damaged: ") + row.why)) << log;
        EXPECT_TRUE(Has(log, ", 1 failed, ")) << log;
        // Beyond the control's differences, only the refused item: nothing the damage names was written.
        unsigned refused = 0;
        for (const std::string& line : DiffLines(before, machinediff::Capture(*m))) {
            if (cannotComeBack.count(line)) continue;
            EXPECT_TRUE(HasNoCase(line, row.stays)) << line;
            ++refused;
        }
        EXPECT_GT(refused, 0u);
    }
}

struct ResumeRow {
    const char* name;
    std::function<void(SetFiles&)> damage;
    const char* why;  // in the log and the message box; "" for the control
};

// A removal killed at the start of stage 9 (the spooler stopped, "Office" gone), its state damaged, then /RESUME.
TEST(RestoreDamage, AStateThatContradictsItsSetIsRefusedAndNothingGoes) {
    const ResumeRow rows[] = {
        {"the control", [](SetFiles&) {}, ""},
        {"a printer the set did not choose", [](SetFiles& s) {
             s.Replace("state.ini", "kept = 1", "kept = 0", "name = Labels\r\n");
         }, "its state would remove the printer \"Labels\", which was not chosen"},
        {"a stage beyond the journal", [](SetFiles& s) { s.Replace("state.ini", "stage = 9", "stage = 14"); },
         "its state is at stage 14, which its journal never reached (its last stage: 9)"},
    };
    for (const ResumeRow& row : rows) {
        SCOPED_TRACE(row.name);
        testmachine::TempDir killed;
        {
            auto m = Built();
            simwin::MachineScope scope(*m);
            ASSERT_TRUE(backuprun::RunUntilCrash(*m, kTail, "stage | 9\r\n", killed.path.string()));
        }
        auto m = simwin::Machine::load(killed.path.string());
        simwin::MachineScope scope(*m);
        SetFiles set{*m};
        row.damage(set);
        const machinediff::State before = machinediff::Capture(*m);
        const int code = toolrun::Run(*m, "/QUIET /RESUME");
        const std::string log = Log(*m), changes = machinediff::Compare(before, machinediff::Capture(*m)).Describe();
        if (!row.why[0]) {  // the removal is finished, and "Labels" stays
            EXPECT_NE(1603, code) << log;
            EXPECT_FALSE(changes.empty());
            EXPECT_FALSE(Has(changes, "Labels")) << changes;
            continue;
        }
        EXPECT_EQ(1603, code) << log;
        EXPECT_EQ("", changes) << log;
        EXPECT_TRUE(Has(log, std::string("is damaged: ") + row.why)) << log;
        EXPECT_TRUE(Has(log, "message box | \"") && Has(log, "何も削除していません")) << log;
    }
}

}  // namespace
