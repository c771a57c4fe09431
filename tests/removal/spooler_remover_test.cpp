// Port monitors and print processors: a processor goes only once every printer that used it runs on
// "WinPrint"; Windows's own monitors and processor are never removed.
#include "removal/protected_names.h"
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
    RemovePrintProcessors(context, NULL, NULL);
    EXPECT_NE(std::string::npos, Saved().find("[processor]\nname = VstProc"));
}

TEST_F(SpoolerRemover, MonitorsGoUnlessInUseOrWindowsOwn) {
    Use(kMachine);
    m->registry.create("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Vestral Port");
    m->registry.create("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Vestral Busy");
    Fill(database->removal.monitors, {"Vestral Port", "Vestral Busy", "Local Port", "Absent"});
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
    RemovePrintProcessors(context, NULL, NULL);
    EXPECT_EQ(1u, m->transcript.count("refused print processor item \"WinPrint\""));
    EXPECT_TRUE(ReleasePrintProcessor("OtherProc"));  // no printer uses it
}

// Windows's own components, whatever the letter case a script writes them in; names that only resemble
// them are the family's to remove.
TEST(ProtectedNames, WindowsOwnServicesProcessorAndMonitors) {
    struct Case {
        bool (*isProtected)(const char*);
        const char* name;
        bool refused;
    };
    const Case cases[] = {
        {IsProtectedService, "Spooler", true},           {IsProtectedService, "SPOOLER", true},
        {IsProtectedService, "rpcss", true},             {IsProtectedService, "PlugPlay", true},
        {IsProtectedService, "usbprint", true},          {IsProtectedService, "Spooler2", false},
        {IsProtectedService, "VstStatus04", false},      {IsProtectedService, NULL, false},
        {IsProtectedPrintProcessor, "WinPrint", true},   {IsProtectedPrintProcessor, "winprint", true},
        {IsProtectedPrintProcessor, "VstProc", false},   {IsProtectedPrintProcessor, "WinPrint2", false},
        {IsProtectedMonitor, "Local Port", true},        {IsProtectedMonitor, "local port", true},
        {IsProtectedMonitor, "Standard TCP/IP Port", true}, {IsProtectedMonitor, "USB Monitor", true},
        {IsProtectedMonitor, "WSD Port", true},          {IsProtectedMonitor, "LPR Port", true},
        {IsProtectedMonitor, "Vestral Port", false},     {IsProtectedMonitor, "Local Port 2", false},
    };
    for (const Case& c : cases) EXPECT_EQ(c.refused, c.isProtected(c.name)) << (c.name ? c.name : "(null)");
}

}  // namespace
