// The simulated print spooler: enumeration at each level with the strings packed after the
// records, printer handles and their rights, printer data, the spooler's fault states, and the
// [printer] / [driver] sections of a machine directory.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "support/temp_machine.h"
#include "simwin/win32.h"

using testmachine::Load;

namespace {

const char kThreePrinters[] =
    "[system]\nplatform = nt\ncomputer = PC01\n"
    "[printer]\nname = Office\ndriver = Vestral X Driver\nport = USB001\ndefault = yes\njobs = 2\n"
    "data.VestralDriver04 = 1\ndata.PavPrinter = Front desk\n"
    "[printer]\nname = \\\\SRV\\Shared\ndriver = Acme 9\nport = NE01:\nserver = SRV\n"
    "[printer]\nname = Labels\ndriver = Vestral L Driver\nport = USB002\nopenable = no\n";

// Enumerates with a size query and a fetch into a buffer of exactly the size reported.
std::vector<BYTE> Enumerate(DWORD flags, DWORD level, DWORD& returned) {
    DWORD needed = 0;
    returned = 99;
    EXPECT_FALSE(EnumPrintersA(flags, NULL, level, NULL, 0, &needed, &returned));
    EXPECT_EQ(ERROR_INSUFFICIENT_BUFFER, GetLastError());
    EXPECT_EQ(0u, returned);
    std::vector<BYTE> buffer(needed, 0xCC);
    EXPECT_TRUE(EnumPrintersA(flags, NULL, level, buffer.data(), needed, &needed, &returned));
    return buffer;
}

// A string lies inside the buffer, after the records.
bool InStringArea(const std::vector<BYTE>& buffer, size_t recordsEnd, const char* s) {
    const BYTE* p = reinterpret_cast<const BYTE*>(s);
    return p >= buffer.data() + recordsEnd && p + std::strlen(s) < buffer.data() + buffer.size();
}

}  // namespace

TEST(Spooler, EnumerationLevelsReportThePrintersInOrder) {
    auto m = Load(kThreePrinters);
    simwin::MachineScope scope(*m);
    DWORD n = 0;

    std::vector<BYTE> b4 = Enumerate(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, 4, n);
    ASSERT_EQ(3u, n);
    auto* p4 = reinterpret_cast<PRINTER_INFO_4A*>(b4.data());
    EXPECT_STREQ("Office", p4[0].pPrinterName);
    EXPECT_EQ(nullptr, p4[0].pServerName);
    EXPECT_EQ(DWORD(PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_DEFAULT), p4[0].Attributes);
    EXPECT_STREQ("\\\\SRV\\Shared", p4[1].pPrinterName);
    EXPECT_STREQ("\\\\SRV", p4[1].pServerName);
    EXPECT_EQ(DWORD(PRINTER_ATTRIBUTE_NETWORK), p4[1].Attributes);
    EXPECT_STREQ("Labels", p4[2].pPrinterName);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(InStringArea(b4, 3 * sizeof(PRINTER_INFO_4A), p4[i].pPrinterName));

    std::vector<BYTE> b2 = Enumerate(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, 2, n);
    ASSERT_EQ(3u, n);
    auto* p2 = reinterpret_cast<PRINTER_INFO_2A*>(b2.data());
    EXPECT_EQ(nullptr, p2[0].pServerName);
    EXPECT_STREQ("Vestral X Driver", p2[0].pDriverName);
    EXPECT_STREQ("USB001", p2[0].pPortName);
    EXPECT_STREQ("WinPrint", p2[0].pPrintProcessor);
    EXPECT_STREQ("RAW", p2[0].pDatatype);
    EXPECT_EQ(2u, p2[0].cJobs);
    EXPECT_STREQ("\\\\SRV", p2[1].pServerName);
    EXPECT_STREQ("Acme 9", p2[1].pDriverName);
    EXPECT_TRUE(InStringArea(b2, 3 * sizeof(PRINTER_INFO_2A), p2[2].pDriverName));

    std::vector<BYTE> b5 = Enumerate(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, 5, n);
    ASSERT_EQ(3u, n);
    auto* p5 = reinterpret_cast<PRINTER_INFO_5A*>(b5.data());
    EXPECT_STREQ("Labels", p5[2].pPrinterName);
    EXPECT_STREQ("USB002", p5[2].pPortName);

    // Local printers and connections separately.
    Enumerate(PRINTER_ENUM_LOCAL, 4, n);
    EXPECT_EQ(2u, n);
    std::vector<BYTE> c = Enumerate(PRINTER_ENUM_CONNECTIONS, 4, n);
    ASSERT_EQ(1u, n);
    EXPECT_STREQ("\\\\SRV\\Shared", reinterpret_cast<PRINTER_INFO_4A*>(c.data())->pPrinterName);

    // A buffer one byte short is refused.
    DWORD needed = 0;
    EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, NULL, 0, &needed, &n);
    std::vector<BYTE> small(needed);
    EXPECT_FALSE(EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, small.data(), needed - 1, &needed, &n));
    EXPECT_EQ(ERROR_INSUFFICIENT_BUFFER, GetLastError());
    EXPECT_EQ(0u, n);

    // Levels the NT family does not know.
    EXPECT_FALSE(EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 11, NULL, 0, &needed, &n));
    EXPECT_EQ(DWORD(ERROR_INVALID_LEVEL), GetLastError());
}

TEST(Spooler, Windows9xHasNoLevel4) {
    auto m = Load("[system]\nplatform = 9x\n[printer]\nname = Office\ndriver = D\nport = LPT1:\n");
    simwin::MachineScope scope(*m);
    DWORD needed = 0, n = 0;
    EXPECT_FALSE(EnumPrintersA(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, NULL, 4, NULL, 0, &needed, &n));
    EXPECT_EQ(DWORD(ERROR_INVALID_LEVEL), GetLastError());
    std::vector<BYTE> b = Enumerate(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, 5, n);
    ASSERT_EQ(1u, n);
    EXPECT_STREQ("LPT1:", reinterpret_cast<PRINTER_INFO_5A*>(b.data())->pPortName);
}

TEST(Spooler, NoPrintersIsSuccessWithNothingNeeded) {
    simwin::Machine m;
    simwin::MachineScope scope(m);
    DWORD needed = 7, n = 7;
    EXPECT_TRUE(EnumPrintersA(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, NULL, 4, NULL, 0, &needed, &n));
    EXPECT_EQ(0u, needed);
    EXPECT_EQ(0u, n);
}

TEST(Spooler, StoppedOrHungSpoolerDoesNotAnswer) {
    for (const char* state : {"stopped", "unresponsive"}) {
        SCOPED_TRACE(state);
        auto m = Load(std::string(kThreePrinters) + "[spooler]\nstate = " + state + "\n");
        simwin::MachineScope scope(*m);
        DWORD needed = 5, n = 5;
        SetLastError(0);
        EXPECT_FALSE(EnumPrintersA(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, NULL, 4, NULL, 0, &needed, &n));
        EXPECT_EQ(0u, needed);
        EXPECT_EQ(DWORD(RPC_S_SERVER_UNAVAILABLE), GetLastError());
        HANDLE h = reinterpret_cast<HANDLE>(1);
        EXPECT_FALSE(OpenPrinterA(const_cast<LPSTR>("Office"), &h, NULL));
        EXPECT_EQ(DWORD(RPC_S_SERVER_UNAVAILABLE), GetLastError());
        EXPECT_EQ(nullptr, h);
    }
}

TEST(Spooler, OpenPrinterChecksNameAndRights) {
    struct Case {
        const char* admin;
        bool allAccess;
    } cases[] = {{"yes", true}, {"no", false}, {"deny-only", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.admin);
        std::string ini = kThreePrinters;
        ini.replace(ini.find("computer = PC01"), 15, std::string("computer = PC01\nadmin = ") + c.admin);
        auto m = Load(ini);
        simwin::MachineScope scope(*m);
        PRINTER_DEFAULTSA read = {NULL, NULL, PRINTER_READ};
        PRINTER_DEFAULTSA all = {NULL, NULL, PRINTER_ALL_ACCESS};
        HANDLE h = NULL;
        ASSERT_TRUE(OpenPrinterA(const_cast<LPSTR>("office"), &h, &read));  // names ignore case
        EXPECT_TRUE(ClosePrinter(h));
        EXPECT_EQ(c.allAccess, OpenPrinterA(const_cast<LPSTR>("Office"), &h, &all) != FALSE);
        if (c.allAccess)
            ClosePrinter(h);
        else
            EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
        EXPECT_FALSE(OpenPrinterA(const_cast<LPSTR>("Labels"), &h, &read));  // openable = no
        EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
        EXPECT_FALSE(OpenPrinterA(const_cast<LPSTR>("Nowhere"), &h, &read));
        EXPECT_EQ(DWORD(ERROR_INVALID_PRINTER_NAME), GetLastError());
        ASSERT_TRUE(OpenPrinterA(const_cast<LPSTR>("\\\\PC01\\Office"), &h, NULL));  // own server prefix
        ClosePrinter(h);
        EXPECT_EQ(0u, m->handles.openCount());
    }
}

TEST(Spooler, GetPrinterAndPrinterData) {
    auto m = Load(kThreePrinters);
    simwin::MachineScope scope(*m);
    HANDLE h = NULL;
    ASSERT_TRUE(OpenPrinterA(const_cast<LPSTR>("\\\\SRV\\Shared"), &h, NULL));
    DWORD needed = 0;
    EXPECT_FALSE(GetPrinterA(h, 2, NULL, 0, &needed));
    EXPECT_EQ(ERROR_INSUFFICIENT_BUFFER, GetLastError());
    std::vector<BYTE> b(needed);
    EXPECT_FALSE(GetPrinterA(h, 2, b.data(), needed - 1, &needed));
    ASSERT_TRUE(GetPrinterA(h, 2, b.data(), needed, &needed));
    auto* info = reinterpret_cast<PRINTER_INFO_2A*>(b.data());
    EXPECT_STREQ("\\\\SRV", info->pServerName);
    EXPECT_STREQ("\\\\SRV\\Shared", info->pPrinterName);
    EXPECT_STREQ("NE01:", info->pPortName);
    BYTE data[256];
    EXPECT_EQ(DWORD(ERROR_FILE_NOT_FOUND), GetPrinterDataA(h, const_cast<LPSTR>("VestralDriver04"), NULL, data,
                                                          sizeof data, &needed));
    ClosePrinter(h);
    EXPECT_FALSE(GetPrinterA(h, 2, b.data(), needed, &needed));
    EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());

    ASSERT_TRUE(OpenPrinterA(const_cast<LPSTR>("Office"), &h, NULL));
    DWORD type = 0;
    EXPECT_EQ(DWORD(ERROR_SUCCESS), GetPrinterDataA(h, const_cast<LPSTR>("pavprinter"), &type, data, sizeof data,
                                                   &needed));
    EXPECT_EQ(DWORD(REG_SZ), type);
    EXPECT_STREQ("Front desk", reinterpret_cast<char*>(data));
    EXPECT_EQ(11u, needed);
    EXPECT_EQ(DWORD(ERROR_MORE_DATA), GetPrinterDataA(h, const_cast<LPSTR>("PavPrinter"), NULL, data, 10, &needed));
    EXPECT_EQ(11u, needed);
    ClosePrinter(h);
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetPrinterDataA(h, const_cast<LPSTR>("PavPrinter"), NULL, data, 10,
                                                          &needed));
}

TEST(Spooler, DefaultPrinterWritesTheDeviceLineOnce) {
    // The NT family keeps win.ini's [windows] in the user's registry.
    const std::string windowsKey = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
    auto nt = Load(kThreePrinters);
    std::string device;
    EXPECT_EQ("Office,winspool,USB001", nt->registry.getString(windowsKey, "Device"));
    EXPECT_FALSE(nt->files.exists("C:\\Windows\\win.ini"));

    auto w9x = Load("[system]\nplatform = 9x\n[printer]\nname = Office\ndriver = Vestral X\nport = LPT1:\n"
                    "default = yes\n");
    ASSERT_TRUE(simwin::profile::get(w9x->files.read("C:\\WINDOWS\\win.ini"), "windows", "device", device));
    EXPECT_EQ("Office,Vestral X,LPT1:", device);

    // A device line the machine brings is left as it is (read into the registry on the NT family).
    auto kept = Load(kThreePrinters, {{"C/Windows/win.ini", "[windows]\ndevice=Labels,winspool,USB002\n"}});
    EXPECT_EQ("Labels,winspool,USB002", kept->registry.getString(windowsKey, "device"));
    ASSERT_TRUE(simwin::profile::get(kept->files.read("C:\\Windows\\win.ini"), "windows", "device", device));
    EXPECT_EQ("Labels,winspool,USB002", device);

    // Without a default printer no win.ini appears.
    auto none = Load("[printer]\nname = A\ndriver = D\n");
    EXPECT_FALSE(none->files.exists("C:\\Windows\\win.ini"));
}

TEST(Spooler, MachineDirectorySectionsRoundTrip) {
    auto m = Load(std::string(kThreePrinters) +
                  "[printer]\nname = Fax\ndriver = F\nport = FAX:\nattributes = local,fax,0x40000\nshare = fx\n"
                  "comment = c\nlocation = hall\nprocessor = Other\ndatatype = NT EMF 1.008\n"
                  "[driver]\nname = Vestral X Driver\n[driver]\nname = Old\nenvironment = Windows NT x86\n");
    ASSERT_EQ(4u, m->spooler.printers.size());
    EXPECT_EQ(DWORD(PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_FAX | 0x40000), m->spooler.printers[3].attributes);
    EXPECT_EQ("SRV", m->spooler.printers[1].server);
    ASSERT_EQ(2u, m->spooler.drivers.size());
    EXPECT_EQ("Windows x64", m->spooler.drivers[0].environment);
    EXPECT_EQ("Windows NT x86", m->spooler.drivers[1].environment);

    testmachine::TempDir a, b;
    m->save(a.path.string());
    auto again = simwin::Machine::load(a.path.string());
    again->save(b.path.string());
    EXPECT_EQ(testmachine::Snapshot(a.path), testmachine::Snapshot(b.path));
    std::string ini = testmachine::ReadFile(a.path / "machine.ini");
    EXPECT_NE(std::string::npos, ini.find("attributes = local,fax,0x40000"));
    EXPECT_NE(std::string::npos, ini.find("openable = no"));
    EXPECT_NE(std::string::npos, ini.find("data.PavPrinter = Front desk"));
    ASSERT_EQ(4u, again->spooler.printers.size());
    EXPECT_TRUE(again->spooler.printers[0].isDefault());
    EXPECT_FALSE(again->spooler.printers[2].openable);
    EXPECT_EQ(2, again->spooler.printers[0].jobs);
    EXPECT_EQ("Front desk", again->spooler.printers[0].data["PAVPRINTER"]);
}

TEST(Spooler, MachineDirectoryMistakesAreReported) {
    EXPECT_THROW(Load("[printer]\ndriver = D\n"), simwin::MachineError);
    EXPECT_THROW(Load("[printer]\nname = A\ndriver = D\nprot = LPT1:\n"), simwin::MachineError);
    EXPECT_THROW(Load("[printer]\nname = A\nattributes = local,sparkly\n"), simwin::MachineError);
    EXPECT_THROW(Load("[printer]\nname = A\ndefault = yes\n[printer]\nname = B\ndefault = yes\n"),
                 simwin::MachineError);
    EXPECT_THROW(Load("[printer]\nname = A\n[printer]\nname = a\n"), simwin::MachineError);
    EXPECT_THROW(Load("[printer]\nname = A\njobs = many\n"), simwin::MachineError);
    EXPECT_THROW(Load("[driver]\nenvironment = Windows x64\n"), simwin::MachineError);
    // A dependent file that names a folder, or nothing, could not be saved and loaded again.
    EXPECT_THROW(Load("[driver]\nname = D\ndependent = a.dll\ndependent = 6\\\n"), simwin::MachineError);
    EXPECT_THROW(Load("[driver]\nname = D\ndependent =\n"), simwin::MachineError);
    EXPECT_THROW(Load("[driver]\nname = \\Vestral\n"), simwin::MachineError);  // its key would be a path
    EXPECT_NO_THROW(Load("[driver]\nname = D\ndependent = 6\\unidrv.dll\n"));
}
