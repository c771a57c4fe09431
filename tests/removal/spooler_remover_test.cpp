// Port monitors and print processors: a processor goes only once every printer that used it runs on
// "WinPrint"; Windows's own monitors and processor are never removed.
#include "removal/spooler_remover.h"
#include "support/removal_support.h"
#include "support/temp_machine.h"

namespace {

const char kMachine[] =
    "[monitor]\nname = Vestral Port\n"
    "[monitor]\nname = Vestral Busy\ninuse = yes\n"
    "[processor]\nname = VstProc\n"
    "[processor]\nname = OtherProc\n"
    "[driver]\nname = Vestral X Driver\n"
    "[printer]\nname = Office\ndriver = Vestral X Driver\nport = LPT1:\nprocessor = VstProc\ndatatype = NT EMF 1.008\n"
    "[printer]\nname = Home\ndriver = Vestral X Driver\nport = LPT2:\nprocessor = VstProc\n";

class SpoolerRemover : public removaltest::LoadedRemoverTest {
protected:
    std::string Saved() {
        testmachine::TempDir dir;
        m->save(dir.path.string());
        return testmachine::ReadFile(dir.path / "machine.ini");
    }
};

TEST_F(SpoolerRemover, AProcessorGoesAfterItsPrintersAreSwitchedToWinPrint) {
    Use(kMachine);
    m->registry.create("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT x86\\Print Processors\\VstProc");
    Fill(database->removal.printProcessors, {"vstproc", "Missing"});
    FamilyPrinter("Office");
    FamilyPrinter("Home");
    Learn();
    RemovePrintProcessors(context, NULL, NULL);
    std::string ini = Saved();
    EXPECT_EQ(std::string::npos, ini.find("name = VstProc")) << ini;
    EXPECT_NE(std::string::npos, ini.find("name = OtherProc")) << ini;
    EXPECT_EQ(std::string::npos, ini.find("processor = VstProc")) << ini;  // both printers run on WinPrint now
    EXPECT_EQ(std::string::npos, ini.find("NT EMF")) << ini;               // ... with RAW
    EXPECT_EQ(nullptr, m->registry.find("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\"
                                       "Windows NT x86\\Print Processors\\VstProc"));
}

TEST_F(SpoolerRemover, AProcessorOneOfWhosePrintersCannotBeSwitchedStays) {
    Use(std::string(kMachine) + "[printer]\nname = Locked\ndriver = Vestral X Driver\nport = LPT3:\nprocessor = VstProc\n"
                                "openable = no\n");
    Fill(database->removal.printProcessors, {"VstProc"});
    EXPECT_EQ(0, ReleasePrintProcessor("VstProc"));
    for (const char* name : {"Office", "Home", "Locked"}) FamilyPrinter(name);
    Learn();
    RemovePrintProcessors(context, NULL, NULL);
    EXPECT_NE(std::string::npos, Saved().find("[processor]\nname = VstProc"));
}

TEST_F(SpoolerRemover, MonitorsGoUnlessInUseOrWindowsOwn) {
    Use(kMachine);
    m->registry.create("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Vestral Port");
    m->registry.create("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Vestral Busy");
    Fill(database->removal.monitors, {"Vestral Port", "Vestral Busy", "Local Port", "Absent"});
    Learn();
    for (const char* environment : {static_cast<const char*>(NULL), "Windows NT x86", "Windows 4.0"})
        RemoveMonitors(context, NULL, environment);
    std::string ini = Saved();
    EXPECT_EQ(std::string::npos, ini.find("name = Vestral Port")) << ini;
    EXPECT_NE(std::string::npos, ini.find("name = Vestral Busy")) << ini;
    EXPECT_EQ(nullptr, m->registry.find("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Vestral Port"));
    // The monitor in use stays installed, with its configuration.
    EXPECT_NE(nullptr, m->registry.find("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Vestral Busy"));
    EXPECT_EQ(3u, m->transcript.count("refused monitor item \"Local Port\""));
    EXPECT_TRUE(DeleteMonitorA(NULL, NULL, const_cast<LPSTR>("Local Port")));  // it was still there
}

TEST_F(SpoolerRemover, TheStandardProcessorIsNeverRemoved) {
    Use(kMachine);
    Fill(database->removal.printProcessors, {"WinPrint"});
    Learn();
    RemovePrintProcessors(context, NULL, NULL);
    EXPECT_EQ(1u, m->transcript.count("refused processor item \"WinPrint\""));
    EXPECT_TRUE(ReleasePrintProcessor("OtherProc"));  // no printer uses it
}

}  // namespace
