// Whole runs on machines that declare faults: every run completes, changes nothing that its plan does not
// name, and leaves the printers of other makers and their drivers as they were. Each fault also shows the
// effect it must have (the locked file scheduled, the monitor in use still there, ...).
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <utility>

#include "simwin/pending_renames.h"
#include "support/machine_directory.h"
#include "support/plan_bounds.h"
#include "support/whole_run.h"

namespace {

typedef std::set<std::string> Set;

// What a row's check sees of the run.
struct Seen {
    const machinediff::Diff& diff;
    const simwin::Machine& machine;
    const std::vector<std::string>& boxes;
    bool Removed(const std::string& object) const { return diff.objectsRemoved.count(object) > 0; }
    // Nothing of the family went: no file, key or value changed, and only windows (the family's programs,
    // closed while loading) are gone.
    bool NothingRemoved() const {
        for (const std::string& o : diff.objectsRemoved)
            if (o.rfind("window ", 0) != 0) return false;
        return diff.filesRemoved.empty() && diff.filesAdded.empty() && diff.filesChanged.empty() && diff.keysRemoved.empty() &&
               diff.valuesRemoved.empty();
    }
    bool Box(const std::string& text) const {
        for (const std::string& b : boxes)
            if (b.find(text) != std::string::npos) return true;
        return false;
    }
};

// A spooler function failing at its first call by the removers (the calls of the loading, the selection and
// the backup set are counted in a run without the fault first).
struct RemovalFault {
    const char* function = nullptr;
    DWORD error = 0;
    int nth = 1;  // which call by the removers fails
};

struct FaultRow {
    const char* name = "";
    const char* platform = "nt";                               // nt, 9x, win32s
    std::string system;                                        // more lines of [system]
    std::vector<std::pair<std::string, std::string>> edits;    // text of the base machine replaced
    std::string sections;                                      // more sections of machine.ini
    std::string script;                                        // more sections of the script
    std::map<std::string, std::string> files;                  // more files
    std::vector<std::string> omit;                             // files of the base left out
    bool registry = true;                                      // the family's registry is set up
    RemovalFault fault;
    std::deque<bool> answers;
    std::function<void(const Seen&)> check;
};

// Test names and messages name a row by its name.
void PrintTo(const FaultRow& row, std::ostream* out) { *out << row.name; }

struct Layout {
    bool nt;
    std::string windows, system, drivers, programs;  // Windows paths, each ending in a backslash

    explicit Layout(const std::string& platform) : nt(platform == "nt") {
        windows = nt ? "C:\\Windows\\" : "C:\\WINDOWS\\";
        system = nt ? "C:\\Windows\\System32\\" : "C:\\WINDOWS\\SYSTEM\\";
        drivers = nt ? system + "spool\\drivers\\x64\\" : system;
        programs = nt ? "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\" : windows + "Start Menu\\Programs\\";
    }
};

using testmachine::DrivePath;

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    size_t at = text.find(from);
    if (at == std::string::npos)
        ADD_FAILURE() << "the base machine has no \"" << from << "\" to replace";
    else
        text.replace(at, from.size(), to);
    return text;
}

// The family's printers Office and Home with everything their profile names, and Plotter of another maker.
std::string BaseMachine(const FaultRow& row, const Layout& l) {
    std::string ini = std::string("[system]\nplatform = ") + row.platform + "\n" + row.system +
                      "[driver]\nname = Vestral X Driver\n[driver]\nname = Vestral L Driver\n[driver]\nname = Acme Laser\n"
                      "[printer]\nname = Office\ndriver = Vestral X Driver\nport = LPT1:\ndefault = yes\njobs = 2\n"
                      "processor = VstProc\ndata.VestralDriver04 = 1\ndata.UniqueID = {0E4BA7FE-1111}\n"
                      "[printer]\nname = Plotter\ndriver = Acme Laser\nport = LPT3:\n"
                      "[printer]\nname = Home\ndriver = Vestral L Driver\nport = LPT2:\ndata.VestralDriver04 = 1\n"
                      "[monitor]\nname = Vestral Port\n[processor]\nname = VstProc\n"
                      "[library]\npath = " + l.drivers + "vhook.dll\nexport = VstUninstall\n";
    if (l.nt) ini += "[service]\nname = VstStatus04\nbinary = C:\\Program Files\\Vestral\\vststat.exe\n";
    ini += "[window]\nclass = VSTStatusClass_04\ntitle = Vestral status monitor\n[window]\nclass = AcmeMonitor\ntitle = Acme\n";
    for (const auto& e : row.edits) ini = Replace(ini, e.first, e.second);
    return ini + row.sections;
}

std::map<std::string, std::string> BaseFiles(const FaultRow& row, const Layout& l) {
    std::map<std::string, std::string> files = {
        {l.drivers + "Kunz__04.unm",
         "[UnPrinterDrivers]\r\n\"Vestral X Driver\",VXDRV,1\r\n\"Vestral L Driver\",VXDRV,2\r\n"
         "[VXDRV.Files]\r\nvxdrv.dll\r\nvhook.dll\r\n"
         "[VXDRV.RegistryKeys]\r\nHKLM,\"SOFTWARE\\VESTRAL\\VX\",\"\",1\r\nHKCU,\"Software\\VESTRAL\\Settings\",\"Color\"\r\n"
         "[VXDRV.Services]\r\nVstStatus04\r\n[VXDRV.Monitors]\r\nVestral Port\r\n[VXDRV.PrintProcessors]\r\nVstProc\r\n"
         "[VXDRV.Hooks]\r\nvhook.dll,VstUninstall\r\n[VXDRV.Shortcuts]\r\n\"Vestral\",\"Monitor\"\r\n\"Vestral\"\r\n"
         "[VXDRV.DeleteIni]\r\nvestral.ini,Ports,VST1\r\n[VXDRV.DeleteLoadRun]\r\nVstStatus04,vststat.exe\r\n" + row.script},
        {l.drivers + "vxdrv.dll", "MZ"},
        {l.drivers + "vhook.dll", "MZ"},
        {l.windows + "vestral.ini", "[Ports]\r\nVST1=x\r\nLPT1:=\r\n"},
        {l.programs + "Vestral\\Monitor.lnk", "link"},
        {"C:\\Program Files\\Vestral\\Tools\\vxdrv.dll", "MZ"},
        {"C:\\Program Files\\Vestral\\Tools\\notes.txt", "mine"},
        {l.system + "acme.dll", "MZ"},
    };
    for (const std::string& f : row.omit) files.erase(f);
    for (const auto& f : row.files) files[f.first] = f.second;
    std::map<std::string, std::string> out;
    for (const auto& f : files) out[DrivePath(f.first)] = f.second;
    return out;
}

void BaseRegistry(simwin::Registry& r) {
    r.create("HKEY_LOCAL_MACHINE\\SOFTWARE\\VESTRAL\\VX\\Sub");
    r.setString("HKEY_LOCAL_MACHINE\\SOFTWARE\\VESTRAL\\OEM\\OEMPaths", "Main", "C:\\Program Files\\Vestral");  // programs
    r.setString("HKEY_CURRENT_USER\\Software\\VESTRAL\\Settings", "Color", "blue");
    r.setString("HKEY_CURRENT_USER\\Software\\VESTRAL\\Settings", "Size", "A4");
    r.setString("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "VstStatus04", "vststat.exe");
    r.setString("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "OtherTool", "other.exe");
    r.setString("HKEY_LOCAL_MACHINE\\SOFTWARE\\VESTRAL\\OEM04\\OEMPaths", "Tools", "C:\\Program Files\\Vestral\\Tools\\");
    r.create("HKEY_CLASSES_ROOT\\{0E4BA7FE-1111}\\One");
    r.create("HKEY_CURRENT_USER\\Software\\VESTRAL\\Office");
    for (const char* key : {"Printers\\DevModes2", "Printers\\Settings", "Software\\Microsoft\\Windows NT\\CurrentVersion\\Devices",
                            "Software\\Microsoft\\Windows NT\\CurrentVersion\\PrinterPorts"})
        for (const char* printer : {"Office", "Plotter"})
            r.setString(std::string("HKEY_CURRENT_USER\\") + key, printer, "winspool,LPT1:");
}

const char kLocked[] = "[file]\npath = C:\\Windows\\System32\\spool\\drivers\\x64\\vxdrv.dll\nlocked = yes\n";
const char kNewDefault[] = "'Plotter' が新たに通常使用するプリンタに設定されました。";

const std::vector<FaultRow>& Rows() {
    static const std::vector<FaultRow> rows = [] {
        std::vector<FaultRow> r;
        auto row = [&](const char* name, const char* platform) -> FaultRow& {
            r.push_back(FaultRow{});
            r.back().name = name;
            r.back().platform = platform;
            return r.back();
        };
        row("NoFault", "nt").check = [](const Seen& s) {
            EXPECT_TRUE(s.Removed("window VSTStatusClass_04"));
            for (const char* o : {"printer Office", "printer Home", "driver Vestral X Driver (Windows x64)",
                                  "monitor Vestral Port (Windows x64)", "processor VstProc (Windows x64)"})
                EXPECT_TRUE(s.Removed(o)) << o;
            EXPECT_TRUE(s.Box(kNewDefault));
        };
        {
            FaultRow& f = row("LockedFile", "nt");
            f.sections = kLocked;
            f.check = [](const Seen& s) {
                EXPECT_TRUE(s.diff.objectsAdded.count("pending C:\\Windows\\System32\\spool\\drivers\\x64\\vxdrv.dll"));
                EXPECT_TRUE(s.machine.files.exists("C:\\Windows\\System32\\spool\\drivers\\x64\\vxdrv.dll"));
            };
        }
        {
            FaultRow& f = row("ReadOnlyHiddenSystemFile", "nt");
            f.sections = "[file]\npath = C:\\Windows\\System32\\spool\\drivers\\x64\\vxdrv.dll\nattributes = readonly,hidden,system\n";
            f.check = [](const Seen& s) { EXPECT_FALSE(s.machine.files.exists("C:\\Windows\\System32\\spool\\drivers\\x64\\vxdrv.dll")); };
        }
        {
            FaultRow& f = row("PrinterThatDoesNotOpen", "nt");
            f.edits = {{"name = Office\n", "name = Office\nopenable = no\n"}};
            f.check = [](const Seen& s) {
                // Not even the loading can read it: it is never listed, so never chosen, and nothing of it goes.
                EXPECT_FALSE(s.Removed("printer Office"));
                EXPECT_FALSE(s.diff.valuesRemoved.count("HKEY_CURRENT_USER\\Printers\\Settings|Office"));
                EXPECT_TRUE(s.Removed("printer Home"));
            };
        }
        {
            FaultRow& f = row("AccessDeniedOpeningThePrinterToRemoveIt", "nt");
            f.fault = {"OpenPrinterA", ERROR_ACCESS_DENIED};
            f.check = [](const Seen& s) {
                // Treated as gone: it stays installed, but its per-user values and its family key go.
                EXPECT_FALSE(s.Removed("printer Office"));
                EXPECT_TRUE(s.diff.valuesRemoved.count("HKEY_CURRENT_USER\\Printers\\Settings|Office"));
                EXPECT_TRUE(s.diff.keysRemoved.count("HKEY_CURRENT_USER\\Software\\VESTRAL\\Office"));
                EXPECT_TRUE(s.Removed("printer Home"));
            };
        }
        {
            FaultRow& f = row("UniqueIdThatCannotBeRead", "nt");
            f.fault = {"GetPrinterDataA", ERROR_ACCESS_DENIED};
            f.check = [](const Seen& s) {
                EXPECT_TRUE(s.Removed("printer Office"));
                EXPECT_FALSE(s.diff.keysRemoved.count("HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\{0E4BA7FE-1111}"));
            };
        }
        {
            FaultRow& f = row("UniqueIdTooLongForItsBuffer", "nt");
            f.edits = {{"data.UniqueID = {0E4BA7FE-1111}", "data.UniqueID = {0E4BA7FE-1111-2222-3333-444444444444}"}};
            f.check = [](const Seen& s) { EXPECT_TRUE(s.Removed("printer Office")); };
        }
        {
            FaultRow& f = row("NewDefaultPrinterThatCannotBeRead", "nt");
            // The new default printer's first read: the backup's records of Office and Home read two each before.
            f.fault = {"GetPrinterA", ERROR_ACCESS_DENIED, 5};
            f.check = [](const Seen& s) {
                EXPECT_TRUE(s.Removed("printer Office"));
                EXPECT_FALSE(s.diff.filesChanged.count("C:\\Windows\\win.ini"));  // no device line written
                EXPECT_TRUE(s.Box(kNewDefault));
            };
        }
        {
            FaultRow& f = row("SpoolerThatStopsAnsweringWhileProcessorsAreReleased", "nt");
            f.fault = {"EnumPrintersA", RPC_S_SERVER_UNAVAILABLE};
            f.check = [](const Seen& s) { EXPECT_TRUE(s.Removed("printer Office")); };
        }
        {
            FaultRow& f = row("APrinterThatCannotBeOpenedWhileLoading", "nt");
            f.sections = "[spoolerfault]\nfunction = OpenPrinterA\ncall = 1\nerror = 5\n";
            f.check = [](const Seen& s) {
                EXPECT_FALSE(s.Removed("printer Office"));  // never listed, so never chosen
                EXPECT_TRUE(s.Removed("printer Home"));
            };
        }
        {
            FaultRow& f = row("NotAnAdministrator", "nt");
            f.system = "admin = no\n";
            f.check = [](const Seen& s) {
                EXPECT_TRUE(s.Box("アドミニストレータ (管理者) 権限を持っていません。"));
                EXPECT_TRUE(s.diff.Empty()) << s.diff.Describe();
            };
        }
        {
            // The group check passes, but the spooler cannot be restarted with such a token.
            FaultRow& f = row("AdministratorsOnlyForDenying", "nt");
            f.system = "admin = deny-only\n";
            f.check = [](const Seen& s) {
                EXPECT_TRUE(s.Box("スプーラーが不安定です!"));
                EXPECT_TRUE(s.NothingRemoved()) << s.diff.Describe();
            };
        }
        {
            // The group list does not fit the buffer of the administrator check.
            FaultRow& f = row("TokenWithTooManyGroups", "nt");
            f.system = "groups = 1000\n";
            f.check = [](const Seen& s) {
                EXPECT_TRUE(s.Box("アドミニストレータ (管理者) 権限を持っていません。"));
                EXPECT_TRUE(s.diff.Empty()) << s.diff.Describe();
            };
        }
        {
            // The printer list grows between the size query and the fetch while loading.
            FaultRow& f = row("PrinterListThatChangesWhileLoading", "nt");
            f.sections = "[spoolerfault]\nfunction = EnumPrintersA\ncall = 2\nerror = 122\nneeded = 900\n";
            f.check = [](const Seen& s) { EXPECT_TRUE(s.Removed("printer Office")); };
        }
        {
            FaultRow& f = row("SpoolerThatDoesNotAnswer", "nt");
            f.sections = "[spooler]\nstate = unresponsive\n";
            f.check = [](const Seen& s) {
                // Not even the driver directory can be asked for, so no script is found; then the printers
                // cannot be listed and the tool ends.
                ASSERT_FALSE(s.boxes.empty());
                EXPECT_NE(std::string::npos, s.boxes.back().find("印刷スプーラー サブシステムから反応がありません。"));
                EXPECT_TRUE(s.NothingRemoved()) << s.diff.Describe();
            };
        }
        {
            FaultRow& f = row("SpoolerThatWillNotStartAgain", "nt");
            f.sections = "[spooler]\nstate = no-start\n";
            f.check = [](const Seen& s) {
                EXPECT_TRUE(s.Box("スプーラーが不安定です!"));
                EXPECT_TRUE(s.NothingRemoved()) << s.diff.Describe();
            };
        }
        {
            FaultRow& f = row("SpoolerStoppedAtTheStart", "nt");
            f.sections = "[spooler]\nstate = stopped\n";
            f.check = [](const Seen& s) {
                EXPECT_TRUE(s.Removed("printer Office"));
                EXPECT_TRUE(s.machine.services.find("Spooler")->running);
            };
        }
        {
            FaultRow& f = row("MissingKeys", "nt");
            f.registry = false;
            f.check = [](const Seen& s) {
                EXPECT_TRUE(s.diff.keysRemoved.empty()) << s.diff.Describe();
                EXPECT_TRUE(s.Removed("printer Office"));
            };
        }
        {
            FaultRow& f = row("DriverInUse", "nt");
            f.sections = "[printer]\nname = Unknown\ndriver = Vestral X Driver\nport = LPT4:\n";  // not of the family
            f.files = {{"C:\\Windows\\INF\\oem3.inf", "[Version]\r\nSignature=\"$Windows NT$\"\r\n[Strings]\r\nPrinterName1=\"Vestral X Driver\"\r\n"}};
            f.check = [](const Seen& s) {
                EXPECT_FALSE(s.Removed("driver Vestral X Driver (Windows x64)"));
                EXPECT_TRUE(s.machine.files.exists("C:\\Windows\\INF\\oem3.inf"));  // it stays with its driver
            };
        }
        {
            FaultRow& f = row("MonitorInUse", "nt");
            f.edits = {{"name = Vestral Port\n", "name = Vestral Port\ninuse = yes\n"}};
            f.check = [](const Seen& s) { EXPECT_FALSE(s.Removed("monitor Vestral Port (Windows x64)")); };
        }
        {
            FaultRow& f = row("ServiceAlreadyMarkedForDeletion", "nt");
            f.edits = {{"name = VstStatus04\n", "name = VstStatus04\nmarked = yes\n"}};
            f.check = [](const Seen& s) {
                EXPECT_FALSE(s.Removed("service VstStatus04"));
                EXPECT_TRUE(s.Box("今、再起動しますか？"));
            };
        }
        {
            FaultRow& f = row("ServiceStopped", "nt");
            f.edits = {{"name = VstStatus04\n", "name = VstStatus04\nstate = stopped\n"}};
            f.check = [](const Seen& s) { EXPECT_TRUE(s.Removed("service VstStatus04")); };
        }
        {
            FaultRow& f = row("HookLibraryThatDoesNotLoad", "nt");
            f.omit = {"C:\\Windows\\System32\\spool\\drivers\\x64\\vhook.dll"};
            f.check = [](const Seen& s) { EXPECT_EQ(0u, s.machine.transcript.count("hook ")); };
        }
        {
            FaultRow& f = row("HookLibraryWithoutItsExport", "nt");
            f.edits = {{"export = VstUninstall", "export = SomethingElse"}};
            f.check = [](const Seen& s) {
                EXPECT_EQ(0u, s.machine.transcript.count("hook "));
                EXPECT_FALSE(s.machine.files.exists("C:\\Windows\\System32\\spool\\drivers\\x64\\vhook.dll"));  // freed
            };
        }
        {
            FaultRow& f = row("ProcessorOfAPrinterThatCannotBeSwitched", "nt");
            f.sections = "[printer]\nname = Locked\ndriver = Acme Laser\nport = LPT5:\nprocessor = VstProc\nopenable = no\n";
            f.check = [](const Seen& s) { EXPECT_FALSE(s.Removed("processor VstProc (Windows x64)")); };
        }
        {
            FaultRow& f = row("PavaneThatNeverEnds", "nt");
            f.script = "[UnPrinterMfgs]\r\n\"Pavane\",PAVANE,3\r\n[PAVANE.Files]\r\nPAVANE32.EXE\r\n";
            f.files = {{"C:\\Program Files\\Vestral\\PAVANE32.EXE", "MZ"}};
            f.sections = "[program]\npath = C:\\Program Files\\Vestral\\PAVANE32.EXE\nticks = 2147483647\n";
            f.check = [](const Seen& s) {
                EXPECT_EQ(1u, s.machine.transcript.count("program started: C:\\Program Files\\Vestral\\PAVANE32.EXE"));
                EXPECT_TRUE(s.Removed("printer Office"));
            };
        }
        {
            FaultRow& f = row("PavaneWithoutItsFile", "nt");
            f.script = "[UnPrinterMfgs]\r\n\"Pavane\",PAVANE,3\r\n[PAVANE.Files]\r\nPAVANE32.EXE\r\n";
            f.sections = "[program]\npath = C:\\Program Files\\Vestral\\PAVANE32.EXE\nticks = 5\n";
            f.check = [](const Seen& s) {
                EXPECT_EQ(0u, s.machine.transcript.count("program started:"));
                EXPECT_TRUE(s.Removed("printer Office"));
            };
        }
        {
            FaultRow& f = row("DeletionsPendingFromAnEarlierRun", "nt");
            f.sections = "[pending]\nfrom = C:\\Windows\\System32\\old.dll\n"
                         "[pending]\nfrom = C:\\Windows\\System32\\a.tmp\nto = C:\\Windows\\System32\\a.dll\n";
            f.check = [](const Seen& s) { EXPECT_EQ(2u, simwin::pendingRenames(s.machine.registry).size()); };
        }
        {
            FaultRow& f = row("RestartThatIsRefused", "nt");
            f.system = "shutdown = no\n";
            f.sections = kLocked;
            f.answers = {true};
            f.check = [](const Seen& s) {
                EXPECT_TRUE(s.Box("Windows を手動で再起動し"));
                EXPECT_FALSE(s.machine.system.rebootRequested);
            };
        }
        row("NoFault9x", "9x").check = [](const Seen& s) {
            EXPECT_TRUE(s.Removed("printer Office"));
            EXPECT_TRUE(s.Box("今、再起動しますか？"));
        };
        {
            FaultRow& f = row("LockedFile9x", "9x");
            f.sections = "[file]\npath = C:\\WINDOWS\\SYSTEM\\vxdrv.dll\nlocked = yes\n";
            f.check = [](const Seen& s) { EXPECT_TRUE(s.diff.filesAdded.count("C:\\WINDOWS\\WININIT.INI")); };
        }
        {
            FaultRow& f = row("PrinterThatDoesNotOpen9x", "9x");
            f.edits = {{"name = Office\n", "name = Office\nopenable = no\n"}};
            f.check = [](const Seen& s) { EXPECT_FALSE(s.Removed("printer Office")); };
        }
        row("Win32sWithoutProgramManager", "win32s").check = [](const Seen& s) {
            EXPECT_TRUE(s.Removed("printer Office"));
            EXPECT_EQ(0u, s.machine.transcript.count("progman "));
        };
        {
            FaultRow& f = row("Win32sWithProgramManager", "win32s");
            f.sections = "[progman]\ngroup = Vestral\nitem = Monitor\nitem = Readme\n";
            f.check = [](const Seen& s) {
                auto group = s.diff.objectsChanged.find("progman Vestral");
                ASSERT_NE(s.diff.objectsChanged.end(), group) << s.diff.Describe();
                EXPECT_EQ((Set{"item: Monitor, Readme -> Readme"}), group->second);
            };
        }
        {
            FaultRow& f = row("Win32sLockedFileWithoutItsHelper", "win32s");
            f.sections = "[file]\npath = C:\\WINDOWS\\SYSTEM\\vxdrv.dll\nlocked = yes\n";
            f.check = [](const Seen& s) {
                EXPECT_TRUE(s.machine.files.exists("C:\\WINDOWS\\SYSTEM\\vxdrv.dll"));
                EXPECT_FALSE(s.diff.filesAdded.count("C:\\Program Files\\Vestral\\nwininit.ini"));
            };
        }
        return r;
    }();
    return rows;
}

class FaultRun : public wholerun::Fixture, public ::testing::WithParamInterface<FaultRow> {
protected:
    void Load(const FaultRow& row, const std::string& more = "") {
        const Layout layout(row.platform);
        Use(BaseMachine(row, layout) + more, BaseFiles(row, layout));
        if (row.registry) BaseRegistry(m->registry);
    }
};

TEST_P(FaultRun, CompletesInsideItsPlanAndLeavesOtherMakersAlone) {
    const FaultRow& row = GetParam();
    std::string fault;
    if (row.fault.function) {
        Load(row);
        ASSERT_EQ(1, Uninstall().result);
        fault = std::string("[spoolerfault]\nfunction = ") + row.fault.function +
                "\ncall = " + std::to_string(callsBeforeRemovers[row.fault.function] + row.fault.nth) +
                "\nerror = " + std::to_string(row.fault.error) + "\n";
    }
    Load(row, fault);
    uirun::Outcome o = Uninstall({}, row.answers);
    ASSERT_EQ(1, o.result) << o.stop;
    EXPECT_TRUE(o.stop.empty()) << o.stop;
    EXPECT_EQ(std::vector<std::string>{}, planbounds::Unexplained(before, diff, context->database, &context->removePage.directDirs,
                                                                  &context->removePage.searchDirs))
        << diff.Describe();
    EXPECT_EQ(std::vector<std::string>{}, planbounds::ForeignChanges(before, after));
    EXPECT_TRUE(m->files.exists(Layout(row.platform).system + "acme.dll"));
    const std::vector<std::string> boxes = MessageBoxes();
    if (row.check) row.check(Seen{diff, *m, boxes});
}

INSTANTIATE_TEST_SUITE_P(Machines, FaultRun, ::testing::ValuesIn(Rows()),
                         [](const ::testing::TestParamInfo<FaultRow>& info) { return std::string(info.param.name); });

// The bounds are not so wide that they let anything through: a foreign file, a key, a value and an object the
// plan does not name are reported, and so is a change to another maker's printer or its driver.
class PlanBounds : public wholerun::Fixture {};

TEST_F(PlanBounds, ReportWhatThePlanDoesNotName) {
    FaultRow row;
    row.name = "NoFault";
    row.platform = "nt";
    const Layout layout(row.platform);
    Use(BaseMachine(row, layout), BaseFiles(row, layout));
    BaseRegistry(m->registry);
    ASSERT_EQ(1, Uninstall().result);
    ASSERT_EQ(std::vector<std::string>{}, planbounds::Unexplained(before, diff, context->database));

    machinediff::State tampered = after;
    tampered.files.erase("C:\\Windows\\System32\\acme.dll");
    before.files["C:\\Users\\Admin\\Documents\\vxdrv.dll"] = "MZ";  // a listed name, where it is not looked for
    tampered.files.erase("C:\\Program Files\\Vestral\\Tools\\notes.txt");
    tampered.keys.erase("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run");
    tampered.values.erase("HKEY_CURRENT_USER\\Software\\VESTRAL\\Settings|Size");
    tampered.values.erase("HKEY_CURRENT_USER\\Printers\\Settings|Plotter");
    tampered.objects["printer Plotter"].emplace_back("comment", "changed");
    tampered.objects.erase("driver Acme Laser (Windows x64)");
    tampered.objects["system"].emplace_back("admin", "no");
    tampered.objects.erase("window AcmeMonitor");
    const std::vector<std::string> unexplained =
        planbounds::Unexplained(before, machinediff::Compare(before, tampered), context->database,
                                &context->removePage.directDirs, &context->removePage.searchDirs);
    const std::vector<std::string> expected = {
        "file removed C:\\Program Files\\Vestral\\Tools\\notes.txt",
        "file removed C:\\Users\\Admin\\Documents\\vxdrv.dll",
        "file removed C:\\Windows\\System32\\acme.dll",
        "key removed HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
        "value removed HKEY_CURRENT_USER\\Printers\\Settings|Plotter",
        "value removed HKEY_CURRENT_USER\\Software\\VESTRAL\\Settings|Size",
        "object removed driver Acme Laser (Windows x64)",
        "object changed printer Plotter: comment: (none) -> changed",
        "object changed system: admin: yes -> yes, no",
        "object removed window AcmeMonitor",
    };
    for (const std::string& e : expected)
        EXPECT_NE(unexplained.end(), std::find(unexplained.begin(), unexplained.end(), e)) << e;
    EXPECT_EQ(2u, planbounds::ForeignChanges(before, tampered).size());
}

}  // namespace
