// The whole run on a machine its installers made: the family's package, port monitor and print processor,
// another maker's package and one of Windows's own drivers, built with the Win32 calls an installer makes, on
// each Windows version the family supports.
#include <gtest/gtest.h>

#include "support/built_machine.h"
#include "support/whole_run.h"

namespace {

typedef std::set<std::string> Set;

class FamilyRun : public wholerun::Fixture {};

// The family's printers go with their driver, its files, the published INF, the monitor with its port and the
// print processor with its key; another maker's printer, driver and INF and Windows's own driver stay, and the
// other maker's printer becomes the default.
TEST_F(FamilyRun, TheFamilyGoesAndAnotherMakersPrinterAndWindowsOwnDriverStay) {
    for (const char* version : {"10.0", "6.1"}) {
        SCOPED_TRACE(version);
        built::MachineBuilder b(simwin::Platform::Nt, version);
        built::presets::Family(b)
            .DriverPackage(built::presets::AcmeLaser())
            .DriverPackage(built::presets::MicrosoftPsClass())
            .Printer(built::FamilyPrinter("Office", "VSTUSB001:", "Vestral X Driver", true))
            .Printer(built::FamilyPrinter("Labels", "LPT1:"))
            .Printer(built::PlainPrinter("Acme", "LPT2:", "Acme Laser Driver"));
        const std::string inf = b.PublishedInf("Vestral X Driver"), acmeInf = b.PublishedInf("Acme Laser Driver");
        Use(b.Take());
        const Set store = built::StoreCopies(*m, "vxdrv.inf");
        EXPECT_EQ(std::string(version) == "10.0" ? 2u : 0u, store.size());

        uirun::Outcome o = Uninstall();
        ASSERT_EQ(1, o.result) << o.stop;

        EXPECT_EQ((Set{"printer Office", "printer Labels", "driver Vestral X Driver (Windows x64)",
                       "monitor Vestral Port Monitor (Windows x64)", "port VSTUSB001:", "processor VxProc (Windows x64)"}),
                  diff.objectsRemoved)
            << diff.Describe();
        const std::string drivers = "C:\\Windows\\System32\\spool\\drivers\\x64\\";
        // The family's script goes with the last of its printers.
        Set removed{inf, inf.substr(0, inf.size() - 4) + ".pnf", drivers + "vxdrv.dll", drivers + "vxui.dll",
                    drivers + "vxres.dat", drivers + "vcommon.dll", drivers + "Kunz__04.unm"};
        removed.insert(store.begin(), store.end());  // the store's copy goes with the published INF
        EXPECT_EQ(removed, diff.filesRemoved)
            << diff.Describe();
        // Each deleted spooler object takes its key with it.
        EXPECT_EQ((Set{"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64\\Print "
                       "Processors\\VxProc",
                       "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64\\Drivers\\"
                       "Version-3\\Vestral X Driver",
                       "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Vestral Port Monitor"}),
                  diff.keysRemoved)
            << diff.Describe();
        EXPECT_EQ((std::map<std::string, Set>{{"printer Acme", {"default: no -> yes"}}}), diff.objectsChanged) << diff.Describe();
        EXPECT_EQ((Set{"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows|Device"}),
                  diff.valuesChanged);
        EXPECT_TRUE(diff.filesAdded.empty() && diff.filesChanged.empty() && diff.keysAdded.empty() &&
                    diff.valuesRemoved.empty() && diff.valuesAdded.empty() && diff.objectsAdded.empty())
            << diff.Describe();
        // What stays is there after the run as before it.
        EXPECT_TRUE(after.objects.count("driver Acme Laser Driver (Windows x64)"));
        EXPECT_EQ("C:\\Windows\\INF\\ntprint.inf", after.Get("driver Microsoft PS Class Driver (Windows x64)", "inf"));
        EXPECT_TRUE(after.files.count(acmeInf)) << acmeInf;
    }
}

}  // namespace
