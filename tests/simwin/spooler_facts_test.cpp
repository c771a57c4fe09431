// The spooler's objects said in two places: the machine.ini section and the registry key Windows keeps. The
// section is the one that counts; the key is derived at load, kept in step by the spooler functions and left
// out of a save.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "simwin/win32.h"
#include "support/temp_machine.h"

namespace {

const std::string kPrint = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\";
const std::string kProc = kPrint + "Environments\\Windows x64\\Print Processors\\VstProc";
const std::string kMon = kPrint + "Monitors\\Vestral Port";
const std::string kDrv = kPrint + "Environments\\Windows x64\\Drivers\\Version-3\\Vestral X";

const char kProcIni[] = "[processor]\nname = VstProc\ndll = vstproc.dll\n";
const char kMonIni[] = "[monitor]\nname = Vestral Port\ndll = vstmon.dll\n";
const char kDrvIni[] = "[driver]\nname = Vestral X\nfile = vxdrv.dll\nconfig = vxui.dll\ndependent = vcommon.dll\n";

std::string Reg(const std::string& key, const std::string& values) {
    return "Windows Registry Editor Version 5.00\n\n[" + key + "]\n" + values + "\n";
}

struct Row {
    const char* what;
    std::string ini, registry;
    std::vector<std::string> refusal;  // what the MachineError names; empty: the machine loads
    std::string key, value, text;      // a value the loaded machine has
};

std::vector<Row> Rows() {
    return {
        {"standard ones, nothing declared", "", "", {}, kPrint + "Monitors\\Local Port", "Driver", "localspl.dll"},
        {"WinPrint, nothing declared", "", "", {}, kPrint + "Environments\\Windows x64\\Print Processors\\WinPrint",
         "Driver", "winprint.dll"},
        {"processor: section only", kProcIni, "", {}, kProc, "Driver", "vstproc.dll"},
        {"processor: registry only", "", Reg(kProc, "\"Driver\"=\"vstproc.dll\"\n"), {"registry.reg [" + kProc + "]", "no section"}},
        {"processor: both agreeing", kProcIni, Reg(kProc, "\"Driver\"=\"VSTPROC.DLL\"\n"), {}, kProc, "Driver", "vstproc.dll"},
        {"processor: disagreeing", kProcIni, Reg(kProc, "\"Driver\"=\"other.dll\"\n"),
         {"machine.ini [processor] VstProc (Windows x64)", "vstproc.dll", "registry.reg [" + kProc + "] \"Driver\"", "other.dll"}},
        {"processor: section without a library", "[processor]\nname = VstProc\n", Reg(kProc, "\"Driver\"=\"vstproc.dll\"\n"),
         {"[processor] VstProc (Windows x64) says nothing", "\"Driver\" says \"vstproc.dll\""}},
        {"processor: a value simwin does not model stays", kProcIni, Reg(kProc, "\"Extra\"=\"kept\"\n"), {}, kProc, "Extra", "kept"},
        {"monitor: section only", kMonIni, "", {}, kMon, "Driver", "vstmon.dll"},
        {"monitor: registry only", "", Reg(kMon, "\"Driver\"=\"vstmon.dll\"\n"), {"registry.reg [" + kMon + "]", "no section"}},
        {"monitor: both agreeing", kMonIni, Reg(kMon, "\"Driver\"=\"vstmon.dll\"\n"), {}, kMon, "Driver", "vstmon.dll"},
        {"monitor: disagreeing", kMonIni, Reg(kMon, "\"Driver\"=\"acme.dll\"\n"),
         {"machine.ini [monitor] Vestral Port (Windows x64)", "registry.reg [" + kMon + "] \"Driver\"", "acme.dll"}},
        {"driver: section only", kDrvIni, "", {}, kDrv, "Configuration File", "vxui.dll"},
        {"driver: data file defaults to the driver file", kDrvIni, "", {}, kDrv, "Data File", "vxdrv.dll"},
        {"driver: registry only", "", Reg(kDrv, "\"Driver\"=\"vxdrv.dll\"\n"), {"registry.reg [" + kDrv + "]", "no section"}},
        {"driver: both agreeing", kDrvIni,
         Reg(kDrv, "\"Driver\"=\"vxdrv.dll\"\n\"Dependent Files\"=hex(7):76,00,63,00,6f,00,6d,00,6d,00,6f,00,6e,00,2e,00,64,"
                   "00,6c,00,6c,00,00,00,00,00\n"),
         {}, kDrv, "Driver", "vxdrv.dll"},
        {"driver: disagreeing", kDrvIni, Reg(kDrv, "\"Data File\"=\"vxother.dat\"\n"),
         {"machine.ini [driver] Vestral X (Windows x64)", "registry.reg [" + kDrv + "] \"Data File\"", "vxother.dat"}},
    };
}

TEST(SpoolerFacts, EachObjectIsSaidByItsSectionAndARegistryThatDisagreesIsRefused) {
    for (const Row& row : Rows()) {
        SCOPED_TRACE(row.what);
        if (!row.refusal.empty()) {
            try {
                testmachine::Load(row.ini, {}, row.registry);
                ADD_FAILURE() << "loaded";
            } catch (const simwin::MachineError& e) {
                for (const std::string& part : row.refusal) EXPECT_NE(std::string::npos, std::string(e.what()).find(part)) << e.what();
            }
            continue;
        }
        auto m = testmachine::Load(row.ini, {}, row.registry);
        const simwin::RegValue* v = m->registry.value(row.key, row.value);
        ASSERT_NE(nullptr, v);
        EXPECT_TRUE(simwin::iequals(row.text, m->registry.getString(row.key, row.value)));
        // Load, save, load, save: the same directory; the derived values are not written.
        testmachine::TempDir a, b;
        m->save(a.path.string());
        simwin::Machine::load(a.path.string())->save(b.path.string());
        EXPECT_EQ(testmachine::Snapshot(a.path), testmachine::Snapshot(b.path));
        const std::string saved = testmachine::ReadFile(a.path / "registry.reg");
        EXPECT_EQ(row.value == "Extra", saved.find("\"" + row.value + "\"=") != std::string::npos) << saved;
        if (row.registry.empty()) EXPECT_EQ(std::string::npos, saved.find("Control\\Print")) << saved;
    }
}

// The spooler functions write and delete the keys as they add and delete objects; a save of a machine a
// call changed leaves the key out, and the machine loaded from it derives it again.
TEST(SpoolerFacts, SpoolerCallsKeepTheKeysInStep) {
    const std::string drivers = "C/Windows/System32/spool/drivers/x64/";
    auto m = testmachine::Load("", {{drivers + "vxdrv.dll", "MZ"}, {drivers + "vxui.dll", "MZ"},
                                    {"C/Windows/System32/spool/prtprocs/x64/vstproc.dll", "MZ"},
                                    {"C/Windows/System32/vstmon.dll", "MZ"}});
    simwin::MachineScope scope(*m);
    char name[] = "Vestral Port", env[] = "Windows x64", dll[] = "vstmon.dll", proc[] = "VstProc", lib[] = "vstproc.dll";
    MONITOR_INFO_2A monitor = {name, env, dll};
    ASSERT_TRUE(AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&monitor)));
    ASSERT_TRUE(AddPrintProcessorA(nullptr, env, lib, proc));
    char driverName[] = "Vestral X", file[] = "vxdrv.dll", config[] = "vxui.dll";
    DRIVER_INFO_3A driver = {};
    driver.cVersion = 3;
    driver.pName = driverName;
    driver.pEnvironment = env;
    driver.pDriverPath = driver.pDataFile = file;
    driver.pConfigFile = config;
    ASSERT_TRUE(AddPrinterDriverExA(nullptr, 3, reinterpret_cast<LPBYTE>(&driver), APD_COPY_NEW_FILES));
    const std::pair<std::string, std::string> written[] = {
        {kMon, "vstmon.dll"}, {kProc, "vstproc.dll"}, {kDrv, "vxdrv.dll"}};
    for (auto& w : written) EXPECT_EQ(w.second, m->registry.getString(w.first, "Driver")) << w.first;
    EXPECT_EQ("vxui.dll", m->registry.getString(kDrv, "Configuration File"));

    testmachine::TempDir a;
    m->save(a.path.string());
    EXPECT_EQ(std::string::npos, testmachine::ReadFile(a.path / "registry.reg").find("Control\\Print"));
    auto reloaded = simwin::Machine::load(a.path.string());
    for (auto& w : written) EXPECT_EQ(w.second, reloaded->registry.getString(w.first, "Driver")) << w.first;

    ASSERT_TRUE(DeleteMonitorA(nullptr, env, name));
    ASSERT_TRUE(DeletePrintProcessorA(nullptr, env, proc));
    ASSERT_TRUE(DeletePrinterDriverA(nullptr, env, driverName));
    for (auto& w : written) EXPECT_EQ(nullptr, m->registry.find(w.first)) << w.first;
}

}  // namespace
