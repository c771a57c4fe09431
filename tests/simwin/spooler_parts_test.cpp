// What the spooler knows of a printer's parts: a driver's files and texts at levels 3, 6 and 8 (from [driver]
// or as installed), the ports with their monitors ([port], the standard ports, printers' ports), the
// monitors' libraries, and how [driver], [port] and [monitor] round-trip through a machine directory.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "simwin/win32.h"
#include "support/temp_machine.h"
#include "support/text_args.h"

using testmachine::Load;

namespace {

const DWORD kPoison = 0xdeadbeef;

using textargs::S;

const char kDrivers[] =
    "[driver]\nname = Vestral X Driver\nfile = vxdrv.dll\ndata = vxres.dat\nconfig = vxui.dll\nhelp = vx.hlp\n"
    "dependent = 3\\unidrv.dll\ndependent = vxcommon.dll\nmonitor = Vestral LM\ndatatype = RAW\n"
    "inf = C:\\Windows\\INF\\oem3.inf\nprovider = Vestral\nmanufacturer = VESTRAL\nprocessor = VstProc\n"
    "[driver]\nname = Bare\nfile = bare.dll\n"
    "[driver]\nname = Old\nenvironment = Windows 4.0\nfile = old.drv\nversion = 2\n"
    "[processor]\nname = VstProc\n"
    "[printer]\nname = Office\ndriver = Vestral X Driver\nport = USB001\n";

std::string Multi(const char* list) {
    std::string out;
    for (const char* p = list; p && *p; p += std::strlen(p) + 1) out += std::string(p) + "|";
    return list ? out : "(null)";
}

std::string Text(const char* s) { return s ? s : "(null)"; }

// A printer's driver at a level, size query then fetch.
std::vector<BYTE> DriverOf(const char* printer, DWORD level) {
    HANDLE h = NULL;
    EXPECT_TRUE(OpenPrinterA(S(printer), &h, NULL));
    DWORD needed = kPoison;
    SetLastError(kPoison);
    EXPECT_FALSE(GetPrinterDriverA(h, NULL, level, NULL, 0, &needed));
    EXPECT_EQ(DWORD(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    std::vector<BYTE> b(needed, 0xBD);
    EXPECT_FALSE(GetPrinterDriverA(h, NULL, level, b.data(), needed - 1, &needed));
    EXPECT_TRUE(GetPrinterDriverA(h, NULL, level, b.data(), needed, &needed));
    ClosePrinter(h);
    return b;
}

// Records of an enumeration of the server, size query then fetch.
template <typename Enum>
std::vector<BYTE> Records(Enum enumerate, DWORD level, DWORD& returned) {
    DWORD needed = kPoison;
    EXPECT_FALSE(enumerate(NULL, level, NULL, 0, &needed, &returned));
    std::vector<BYTE> b(needed, 0xBD);
    EXPECT_TRUE(enumerate(NULL, level, b.data(), needed, &needed, &returned));
    return b;
}

std::vector<std::string> Ports() {
    DWORD returned = 0;
    std::vector<BYTE> b = Records(EnumPortsA, 2, returned);
    std::vector<std::string> out;
    for (DWORD i = 0; i < returned; ++i) {
        const auto* p = reinterpret_cast<const PORT_INFO_2A*>(b.data()) + i;
        out.push_back(std::string(p->pPortName) + "=" + p->pMonitorName + "/" + p->pDescription);
    }
    return out;
}

}  // namespace

TEST(SpoolerParts, DriverLevelsReportWhatTheMachineDeclares) {
    auto m = Load(kDrivers);
    simwin::MachineScope scope(*m);
    const std::string dir = "C:\\Windows\\System32\\spool\\drivers\\x64\\";
    for (DWORD level : {3u, 6u, 8u}) {
        SCOPED_TRACE(level);
        std::vector<BYTE> b = DriverOf("Office", level);
        const auto* d = reinterpret_cast<const DRIVER_INFO_8A*>(b.data());  // levels 3 and 6 are its beginning
        EXPECT_EQ(3u, d->cVersion);
        EXPECT_EQ(dir + "vxdrv.dll", Text(d->pDriverPath));
        EXPECT_EQ(dir + "vxres.dat", Text(d->pDataFile));
        EXPECT_EQ(dir + "vxui.dll", Text(d->pConfigFile));
        EXPECT_EQ(dir + "vx.hlp", Text(d->pHelpFile));
        EXPECT_EQ(dir + "3\\unidrv.dll|" + dir + "vxcommon.dll|", Multi(d->pDependentFiles));
        EXPECT_EQ("Vestral LM", Text(d->pMonitorName));
        EXPECT_EQ("RAW", Text(d->pDefaultDataType));
        if (level >= 6) {
            EXPECT_EQ("VESTRAL", Text(d->pszMfgName));
            EXPECT_EQ("Vestral", Text(d->pszProvider));
            EXPECT_EQ("", Multi(d->pszzPreviousNames));
            EXPECT_EQ(nullptr, d->pszOEMUrl);
        }
        if (level == 8) {
            EXPECT_EQ("VstProc", Text(d->pszPrintProcessor));
            EXPECT_EQ("C:\\Windows\\INF\\oem3.inf", Text(d->pszInfPath));
            EXPECT_EQ(nullptr, d->pszzCoreDriverDependencies);
        }
    }
    // A driver that declares only its file: data and configuration are that file, the rest empty or null.
    DWORD needed = 0, returned = 0;
    EnumPrinterDriversA(NULL, S("all"), 8, NULL, 0, &needed, &returned);
    std::vector<BYTE> all(needed);
    ASSERT_TRUE(EnumPrinterDriversA(NULL, S("all"), 8, all.data(), needed, &needed, &returned));
    ASSERT_EQ(3u, returned);
    const auto* bare = reinterpret_cast<const DRIVER_INFO_8A*>(all.data()) + 1;
    EXPECT_EQ(dir + "bare.dll", Text(bare->pDataFile));
    EXPECT_EQ(dir + "bare.dll", Text(bare->pConfigFile));
    EXPECT_EQ(nullptr, bare->pHelpFile);
    EXPECT_EQ(nullptr, bare->pDependentFiles);
    EXPECT_EQ("", Text(bare->pMonitorName));
    EXPECT_EQ(nullptr, bare->pszInfPath);
    const auto* old = reinterpret_cast<const DRIVER_INFO_8A*>(all.data()) + 2;
    EXPECT_EQ(2u, old->cVersion);
    EXPECT_EQ("C:\\Windows\\System32\\spool\\drivers\\WIN40\\old.drv", Text(old->pDriverPath));
}

// AddPrinterDriverExA keeps the record of levels 3, 6 and 8; the saved machine holds it as [driver] keys and
// loads back the same driver. Files must be there (dependent ones may be core files of the "3" folder).
TEST(SpoolerParts, InstalledDriversKeepTheirRecord) {
    simwin::Machine m;
    simwin::MachineScope scope(m);
    const std::string dir = "C:\\Windows\\System32\\spool\\drivers\\x64\\";
    for (const char* f : {"new.dll", "new.ppd", "newui.dll", "new.hlp"}) m.files.writeFile(dir + f, "x");
    DRIVER_INFO_8A d;
    std::memset(&d, 0, sizeof d);
    d.cVersion = 3;
    d.pName = S("New Driver");
    d.pDriverPath = S("new.dll");
    d.pDataFile = S("new.ppd");
    d.pConfigFile = S("newui.dll");
    d.pHelpFile = S("new.hlp");
    d.pDependentFiles = S("unidrv.dll\0new.ppd\0");
    d.pszMfgName = S("Newco");
    d.pszInfPath = S("C:\\Windows\\INF\\oem9.inf");
    d.pszPrintProcessor = S("WinPrint");
    ASSERT_TRUE(AddPrinterDriverExA(NULL, 8, reinterpret_cast<LPBYTE>(&d), APD_COPY_NEW_FILES));
    d.pName = S("Partial Driver");
    d.pDependentFiles = S("missing.dll\0");
    SetLastError(kPoison);
    EXPECT_FALSE(AddPrinterDriverExA(NULL, 6, reinterpret_cast<LPBYTE>(&d), APD_COPY_NEW_FILES));
    EXPECT_EQ(DWORD(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_FALSE(AddPrinterDriverExA(NULL, 5, reinterpret_cast<LPBYTE>(&d), APD_COPY_NEW_FILES));
    EXPECT_EQ(DWORD(ERROR_INVALID_LEVEL), GetLastError());

    testmachine::TempDir saved;
    m.save(saved.path.string());
    const std::string ini = testmachine::ReadFile(saved.path / "machine.ini");
    EXPECT_NE(std::string::npos,
              ini.find("[driver]\nname = New Driver\nenvironment = Windows x64\nfile = new.dll\ndata = new.ppd\n"
                       "config = newui.dll\nhelp = new.hlp\ndependent = 3\\unidrv.dll\ndependent = new.ppd\n"
                       "inf = C:\\Windows\\INF\\oem9.inf\nmanufacturer = Newco\nprocessor = WinPrint\n"))
        << ini;
    auto again = simwin::Machine::load(saved.path.string());
    const simwin::PrinterDriver* back = again->spooler.findDriver("New Driver", "Windows x64");
    ASSERT_NE(nullptr, back);
    // unidrv.dll lies in the version-3 folder only: the record says where.
    EXPECT_EQ((std::vector<std::string>{"3\\unidrv.dll", "new.ppd"}), back->dependents);
    EXPECT_EQ("Newco", back->manufacturer);
}

TEST(SpoolerParts, PortsOfTheMonitorsAndThePrinters) {
    struct Case {
        const char* machine;
        std::vector<std::string> ports;
    };
    const std::vector<std::string> local = {"COM1:=Local Port/Local Port", "COM2:=Local Port/Local Port",
                                            "COM3:=Local Port/Local Port", "COM4:=Local Port/Local Port",
                                            "FILE:=Local Port/Local Port", "LPT1:=Local Port/Local Port",
                                            "LPT2:=Local Port/Local Port", "LPT3:=Local Port/Local Port"};
    auto with = [&](std::vector<std::string> more, bool nt = true) {
        std::vector<std::string> out = local;
        if (nt) out.insert(out.end(), {"PORTPROMPT:=Local Port/Local Port", "nul:=Local Port/Local Port"});
        out.insert(out.end(), more.begin(), more.end());
        return out;
    };
    const Case cases[] = {
        {"", with({})},
        {"[system]\nplatform = 9x\n", with({}, false)},
        // A printer's port that no port declares is the local monitor's.
        {"[printer]\nname = P\nport = USB001\n[printer]\nname = Q\nport = LPT1:\n",
         with({"USB001=Local Port/Local Port"})},
        // Declared ports, with their monitors and descriptions; one of a standard name takes its place.
        {"[port]\nname = USB001\nmonitor = USB Monitor\ndescription = Virtual printer port for USB\n"
         "[port]\nname = IP_192.0.2.15\nmonitor = Standard TCP/IP Port\n"
         "[port]\nname = LPT1:\ndescription = Printer Port\n"
         "[printer]\nname = P\nport = USB001\n",
         [&] {
             std::vector<std::string> out = with({"USB001=USB Monitor/Virtual printer port for USB",
                                                  "IP_192.0.2.15=Standard TCP/IP Port/Standard TCP/IP Port"});
             out[5] = "LPT1:=Local Port/Printer Port";
             return out;
         }()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.machine);
        auto m = Load(c.machine);
        simwin::MachineScope scope(*m);
        EXPECT_EQ(c.ports, Ports());
    }
}

// A port added to a monitor, refusals, and the deletion of a monitor, which takes its ports with it (the
// standard ports and the printers' ports go with "Local Port").
TEST(SpoolerParts, PortsComeAndGoWithTheirMonitors) {
    auto m = Load("[monitor]\nname = Vestral Port\ndll = vstmon.dll\n"
                  "[port]\nname = VST1:\nmonitor = Vestral Port\n[printer]\nname = P\nport = USB001\n");
    simwin::MachineScope scope(*m);
    PORT_INFO_1A port = {S("VST2:")};
    ASSERT_TRUE(AddPortExA(NULL, 1, reinterpret_cast<LPBYTE>(&port), S("vestral port")));
    struct Refusal {
        DWORD level;
        const char* name;
        const char* monitor;
        DWORD error;
    };
    const Refusal refusals[] = {
        {1, "VST2:", "Vestral Port", ERROR_INVALID_PARAMETER},  // there already
        {1, "usb001", "Vestral Port", ERROR_INVALID_PARAMETER},  // a printer's port
        {1, "VST3:", "No Monitor", ERROR_INVALID_PARAMETER},
        {1, "", "Vestral Port", ERROR_INVALID_PARAMETER},
        {2, "VST3:", "Vestral Port", ERROR_INVALID_LEVEL},
        {0, "VST3:", "Vestral Port", ERROR_INVALID_LEVEL},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.name);
        PORT_INFO_1A p = {S(r.name)};
        SetLastError(kPoison);
        EXPECT_FALSE(AddPortExA(NULL, r.level, reinterpret_cast<LPBYTE>(&p), S(r.monitor)));
        EXPECT_EQ(r.error, GetLastError());
    }
    DWORD returned = 0;
    std::vector<BYTE> monitors = Records(EnumMonitorsA, 2, returned);
    std::vector<std::string> names;
    for (DWORD i = 0; i < returned; ++i) {
        const auto* mi = reinterpret_cast<const MONITOR_INFO_2A*>(monitors.data()) + i;
        names.push_back(std::string(mi->pName) + "|" + mi->pEnvironment + "|" + mi->pDLLName);
    }
    EXPECT_EQ((std::vector<std::string>{"Local Port|Windows x64|localspl.dll", "Standard TCP/IP Port|Windows x64|tcpmon.dll",
                                        "USB Monitor|Windows x64|usbmon.dll", "WSD Port|Windows x64|WSDMon.dll",
                                        "Vestral Port|Windows x64|vstmon.dll"}),
              names);

    std::vector<std::string> ports = Ports();
    EXPECT_EQ("VST1:=Vestral Port/Vestral Port", ports[10]);
    EXPECT_EQ("VST2:=Vestral Port/Vestral Port", ports[11]);
    ASSERT_TRUE(DeleteMonitorA(NULL, NULL, S("Vestral Port")));
    EXPECT_EQ(11u, Ports().size());  // the ten standard ones and the printer's USB001
    ASSERT_TRUE(DeleteMonitorA(NULL, NULL, S("Local Port")));
    DWORD needed = kPoison;
    EXPECT_TRUE(EnumPortsA(NULL, 1, NULL, 0, &needed, &returned));
    EXPECT_EQ(0u, needed);

    testmachine::TempDir saved;
    m->save(saved.path.string());
    EXPECT_EQ(std::string::npos, testmachine::ReadFile(saved.path / "machine.ini").find("[port]"));
}

TEST(SpoolerParts, MachineDirectoryKeysRoundTripAndMistakes) {
    auto m = Load(std::string(kDrivers) + "[monitor]\nname = Local Port\ndll = mylocal.dll\n"
                                          "[monitor]\nname = USB Monitor\n[processor]\nname = Extra\ndll = extra.dll\n"
                                          "[port]\nname = X1:\nmonitor = USB Monitor\ndescription = d\n");
    testmachine::TempDir a, b;
    m->save(a.path.string());
    auto again = simwin::Machine::load(a.path.string());
    again->save(b.path.string());
    EXPECT_EQ(testmachine::Snapshot(a.path), testmachine::Snapshot(b.path));
    const std::string ini = testmachine::ReadFile(a.path / "machine.ini");
    EXPECT_NE(std::string::npos, ini.find("name = Local Port\nenvironment = Windows x64\ndll = mylocal.dll\n")) << ini;
    EXPECT_NE(std::string::npos, ini.find("name = USB Monitor\nenvironment = Windows x64\n\n[")) << ini;
    EXPECT_NE(std::string::npos, ini.find("name = Extra\nenvironment = Windows x64\ndll = extra.dll\n")) << ini;
    EXPECT_NE(std::string::npos, ini.find("[port]\nname = X1:\nmonitor = USB Monitor\ndescription = d\n")) << ini;
    EXPECT_NE(std::string::npos, ini.find("name = Old\nenvironment = Windows 4.0\nfile = old.drv\nversion = 2\n")) << ini;

    EXPECT_THROW(Load("[port]\nname = X1:\nmonitor = Nobody\n"), simwin::MachineError);
    EXPECT_THROW(Load("[port]\nname = X1:\n[port]\nname = x1:\n"), simwin::MachineError);
    EXPECT_THROW(Load("[driver]\nname = D\nversion = 9\n"), simwin::MachineError);
    EXPECT_THROW(Load("[monitor]\nname = M\ndl = m.dll\n"), simwin::MachineError);
}
