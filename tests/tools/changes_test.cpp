// What `korun04-sim --changes` reports: the pictures of a machine before and after, compared and grouped by
// kind; and the whole run of the demo with the block after the transcript.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>

#include "simwin/pending_renames.h"
#include "support/temp_machine.h"
#include "tools/korun04-sim/changes.h"
#include "support/test_paths.h"

namespace {

const char kMachine[] =
    "[system]\nplatform = nt\n"
    "[printer]\nname = Office\ndriver = Vestral X Driver\nport = USB001\ndefault = yes\ndata.VestralDriver04 = 1\n"
    "[printer]\nname = Plotter\ndriver = Acme 9\nport = LPT1:\n"
    "[driver]\nname = Vestral X Driver\nfile = vxdrv.dll\n[driver]\nname = Acme 9\n"
    "[monitor]\nname = Vestral Monitor\n[processor]\nname = VxProc\n"
    "[service]\nname = VstStatus04\nstate = running\n"
    "[device]\ninstance = USB\\VID_0ABC&PID_0012\\1\nhardware = USB\\VID_0ABC&PID_0012\n"
    "[device]\ninstance = USBPRINT\\VESTRALX\\2\nhardware = USBPRINT\\VestralX\nparent = USB\\VID_0ABC&PID_0012\\1\n";

std::unique_ptr<simwin::Machine> TableMachine() {
    auto m = testmachine::Load(kMachine,
                               {{"C/Program Files/Vestral/a.dll", "MZ"},
                                {"C/Program Files/Vestral/sub/b.dll", "MZ"},
                                {"C/Windows/System32/keep.dll", "MZ"},
                                {"C/Windows/win.ini", "[windows]\r\nload=\r\n[devices]\r\nOffice=winspool,USB001\r\n"}},
                               "Windows Registry Editor Version 5.00\n\n"
                               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\VESTRAL\\VX]\n\"Path\"=\"C:\\\\Vestral\"\n\n"
                               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\VESTRAL\\VX\\Sub]\n\n"
                               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\n"
                               "\"VstStatus04\"=\"vststat.exe\"\n\"Other\"=\"other.exe\"\n");
    return m;
}

std::string Block(const MachineChanges& changes) {
    std::ostringstream out;
    PrintChanges(out, changes);
    return out.str();
}

struct ChangeCase {
    const char* what;
    std::function<void(simwin::Machine&)> change;
    ChangeKind kind;
    std::vector<std::string> lines;  // the kind's lines, in order
};

// One row per kind: a change made to the model, and the lines of the one group it lands in.
TEST(Changes, EachKindOfChangeLandsInItsGroupAlone) {
    const auto layout = TableMachine();
    const std::string temp = layout->files.fullPath(layout->system.tempDir + "\\korun04.log");
    const ChangeCase cases[] = {
        {"a printer removed", [](simwin::Machine& m) { m.spooler.remove(m.spooler.find("Office")->id); }, CHANGE_PRINTERS,
         {"  - Office (driver Vestral X Driver, port USB001, default yes, data VestralDriver04=1)"}},
        {"a printer's data value removed", [](simwin::Machine& m) { m.spooler.find("Office")->data.clear(); },
         CHANGE_PRINTERS, {"  ~ Office (data VestralDriver04=1 -> (none))"}},
        {"a driver removed",
         [](simwin::Machine& m) {
             auto& d = m.spooler.drivers;
             d.erase(d.begin());
         },
         CHANGE_DRIVERS, {"  - Vestral X Driver (Windows x64) (file vxdrv.dll)"}},
        {"a monitor removed", [](simwin::Machine& m) { m.spooler.removeMonitor(m.spooler.findMonitor("Vestral Monitor", "Windows x64")); },
         CHANGE_MONITORS, {"  - Vestral Monitor (Windows x64)"}},
        {"a print processor removed",
         [](simwin::Machine& m) {
             auto& p = m.spooler.processors;
             p.erase(std::find_if(p.begin(), p.end(), [](const simwin::SpoolerComponent& c) { return c.name == "VxProc"; }));
         },
         CHANGE_PROCESSORS, {"  - VxProc (Windows x64)"}},
        {"a service marked for deletion", [](simwin::Machine& m) { m.services.find("VstStatus04")->markedForDelete = true; },
         CHANGE_SERVICES, {"  ~ VstStatus04 (deletion (none) -> marked)"}},
        {"a device and its child removed",
         [](simwin::Machine& m) { m.devices.remove(m.devices.findInstance("USB\\VID_0ABC&PID_0012\\1")->devInst); },
         CHANGE_DEVICES, {"  - USB\\VID_0ABC&PID_0012\\1 (hardware USB\\VID_0ABC&PID_0012, and 1 item below)"}},
        {"a folder with its files removed", [](simwin::Machine& m) { m.files.removeNode("C:\\Program Files\\Vestral"); },
         CHANGE_FILES, {"  - C:\\Program Files\\Vestral (folder, and 3 items below)"}},
        {"a file rewritten", [](simwin::Machine& m) { m.files.writeFile("C:\\Windows\\System32\\keep.dll", "MZ2"); },
         CHANGE_FILES, {"  ~ C:\\Windows\\System32\\keep.dll (2 bytes -> 3 bytes, content changed)"}},
        {"a key tree removed", [](simwin::Machine& m) { m.registry.remove("HKLM\\SOFTWARE\\VESTRAL"); }, CHANGE_REGISTRY,
         {"  - HKEY_LOCAL_MACHINE\\SOFTWARE\\VESTRAL (key, and 3 items below)"}},
        {"a value removed beside another",
         [](simwin::Machine& m) {
             m.registry.find("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run")->removeValue("VstStatus04");
         },
         CHANGE_REGISTRY,
         {"  - HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run \"VstStatus04\" (\"vststat.exe\")"}},
        {"a value changed",
         [](simwin::Machine& m) { m.registry.setDword("HKLM\\SOFTWARE\\VESTRAL\\VX", "Path", 1); }, CHANGE_REGISTRY,
         {"  ~ HKEY_LOCAL_MACHINE\\SOFTWARE\\VESTRAL\\VX \"Path\" (\"C:\\Vestral\" -> dword 1)"}},
        {"an INI line removed",
         [](simwin::Machine& m) {
             std::string ini = m.files.read("C:\\Windows\\win.ini");
             ini.erase(ini.find("Office=winspool,USB001\r\n"), 24);
             m.files.writeFile("C:\\Windows\\win.ini", ini);
         },
         CHANGE_INI_LINES, {"  - C:\\Windows\\win.ini [devices] Office=winspool,USB001"}},
        {"a deletion scheduled", [](simwin::Machine& m) { simwin::addPendingRename(m.registry, {"C:\\Windows\\System32\\keep.dll", ""}); },
         CHANGE_PENDING, {"  + C:\\Windows\\System32\\keep.dll (deleted at restart)"}},
        {"a restart requested", [](simwin::Machine& m) { m.system.rebootRequested = true; }, CHANGE_SYSTEM,
         {"  + restart requested (yes)"}},
        {"the tool's log written", [&](simwin::Machine& m) { m.files.writeFile(temp, "line\r\n"); }, CHANGE_OWN_FILES,
         {"  + " + temp + " (6 bytes)"}},
        {"a backup set made",
         [](simwin::Machine& m) { m.files.writeFile("C:\\ProgramData\\Vestral\\korun04\\Backup\\1\\set.ini", "[set]\r\n"); },
         CHANGE_OWN_FILES, {"  + C:\\ProgramData\\Vestral (folder, and 4 items below)"}},
    };
    for (const ChangeCase& c : cases) {
        SCOPED_TRACE(c.what);
        auto m = TableMachine();
        const MachineState before = CaptureState(*m);
        c.change(*m);
        const MachineChanges changes = CompareStates(before, CaptureState(*m), {temp, "C:\\ProgramData\\Vestral\\korun04\\Backup"});
        for (int k = 0; k < CHANGE_KIND_COUNT; ++k) {
            SCOPED_TRACE(ChangeKindName(static_cast<ChangeKind>(k)));
            std::vector<std::string> lines;
            for (const Change& change : changes.kinds[k]) {
                lines.push_back(std::string("  ") + change.sign + " " + change.item +
                                (change.detail.empty() ? "" : " (" + change.detail + ")"));
            }
            EXPECT_EQ(k == c.kind ? c.lines : std::vector<std::string>(), lines) << Block(changes);
        }
        EXPECT_NE(std::string::npos, Block(changes).find(std::string("\n") + ChangeKindName(c.kind) + ":\n" + c.lines[0] + "\n"));
    }
}

TEST(Changes, NothingChangedPrintsNone) {
    auto m = TableMachine();
    const MachineChanges changes = CompareStates(CaptureState(*m), CaptureState(*m), {});
    EXPECT_TRUE(changes.Empty());
    EXPECT_EQ("changes:\n  (none)\n", Block(changes));
}

// A machine saved and loaded again holds what it held: saving may change the form (the standard layout's
// folders written out, comments dropped, an order), never the content.
TEST(Changes, ASavedMachineHoldsWhatItsInputHeld) {
    const std::string demo = std::string(KORUN_SOURCE_DIR) + "/examples/demo";
    auto table = TableMachine();
    testmachine::TempDir tableDir;
    table->save(tableDir.path.string());
    const struct {
        const char* what;
        std::string dir;
    } machines[] = {{"the demo", demo}, {"the table's machine", tableDir.path.string()}};
    for (const auto& machine : machines) {
        SCOPED_TRACE(machine.what);
        auto input = simwin::Machine::load(machine.dir);
        testmachine::TempDir saved;
        input->save(saved.path.string());
        auto again = simwin::Machine::load(saved.path.string());
        const MachineChanges changes = CompareStates(CaptureState(*input), CaptureState(*again), {});
        EXPECT_TRUE(changes.Empty()) << Block(changes);
    }
}

// The whole run of the demo: the block follows the transcript, says what went, and agrees with the machine
// the run saved; a run that changes nothing (the plan) saves a machine that differs from the demo in form only.
TEST(Changes, TheDemoRunListsWhatWentAfterTheTranscript) {
    const std::string demo = std::string(KORUN_SOURCE_DIR) + "/examples/demo";
    testmachine::TempDir after, planned;
    testmachine::SimResult r = testmachine::RunSim("--changes --save '" + after.path.string() + "'");
    const size_t block = r.out.find("\nchanges:\n");
    ASSERT_NE(std::string::npos, block) << r.out;
    const std::string text = r.out.substr(block + 1), transcript = r.out.substr(0, block);
    EXPECT_NE(std::string::npos, transcript.find("message box"));
    EXPECT_EQ(std::string::npos, text.find("message box")) << "the block comes after the whole transcript";
    for (const char* line : {"printers:\n  - Labels (", "  - Office (", "  - Reception (", "drivers:\n  - Vestral L Driver (",
                             "registry keys and values:\n", "the tool's own files:\n  + C:\\"})
        EXPECT_NE(std::string::npos, text.find(line)) << line << "\n" << text;
    // The default printer went: the one that stays becomes the default, through the user's device line (the
    // registry's on the NT family).
    EXPECT_NE(std::string::npos,
              text.find("  ~ HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows \"Device\" "
                        "(\"Office,winspool,USB001\" -> \"Plotter,winspool,LPT1:\")\n"))
        << text;
    EXPECT_NE(std::string::npos, text.find("  ~ Plotter (default (none) -> yes)\n")) << text;
    EXPECT_EQ(std::string::npos, text.find("- Plotter")) << text;
    EXPECT_GT(text.find("korun04.log"), text.find("the tool's own files:")) << "the log goes with the tool's own files\n"
                                                                            << text;

    // The block agrees with the machine the run saved.
    auto input = simwin::Machine::load(demo);
    auto saved = simwin::Machine::load(after.path.string());
    std::ostringstream expected;
    simwin::MachineScope scope(*saved);
    PrintChanges(expected, CompareStates(CaptureState(*input), CaptureState(*saved), ToolOwnPaths(*saved, "")));
    EXPECT_EQ(expected.str(), text);

    testmachine::SimResult plan = testmachine::RunSim("--plan --changes --save '" + planned.path.string() + "'");
    EXPECT_EQ(0, plan.exitCode) << plan.out;
    EXPECT_NE(std::string::npos, plan.out.find("changes:\n  (none)\n")) << plan.out;
    auto unchanged = simwin::Machine::load(planned.path.string());
    const MachineChanges none = CompareStates(CaptureState(*input), CaptureState(*unchanged), {});
    EXPECT_TRUE(none.Empty()) << Block(none);
}

}  // namespace
