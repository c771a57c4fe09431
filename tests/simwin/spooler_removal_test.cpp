// The simulated spooler's removal functions: queued jobs (EnumJobsA, SetJobA), deleting printers and
// connections, changing a printer (SetPrinterA level 2 and 0), printer drivers per environment, port
// monitors and print processors, and the [monitor] / [processor] sections of a machine directory.
// Outputs and the last error are poisoned before each call, so a check sees what the call wrote.
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

const char kMachine[] =
    "[system]\nplatform = nt\ncomputer = PC01\n"
    "[printer]\nname = Office\ndriver = Vestral X Driver\nport = USB001\ndefault = yes\njobs = 3\n"
    "[printer]\nname = \\\\SRV\\Shared\ndriver = Acme 9\nport = NE01:\nserver = SRV\n"
    "[printer]\nname = Labels\ndriver = Vestral L Driver\nport = USB002\nprocessor = VxProc\n"
    "[driver]\nname = Vestral X Driver\nfile = VXDRV.DLL\n"
    "[driver]\nname = Vestral X Driver\nenvironment = Windows NT x86\n"
    "[driver]\nname = Vestral L Driver\n"
    "[driver]\nname = Vestral Spare\n"
    "[driver]\nname = Acme 9\n"
    "[driver]\nname = Vestral Old\nenvironment = Windows 4.0\n"
    "[monitor]\nname = Vestral Port\n"
    "[monitor]\nname = Vestral Busy Port\ninuse = yes\n"
    "[monitor]\nname = Vestral x86 Port\nenvironment = Windows NT x86\n"
    "[processor]\nname = VxProc\n"
    "[processor]\nname = VxSpare\n";

using textargs::S;

HANDLE Open(const char* name, DWORD access) {
    PRINTER_DEFAULTSA defaults = {NULL, NULL, access};
    HANDLE h = NULL;
    EXPECT_TRUE(OpenPrinterA(S(name), &h, &defaults)) << name;
    return h;
}

// Job IDs by EnumJobsA level 1: a size query with poisoned outputs, then a fetch into exactly that size.
std::vector<DWORD> JobIds(HANDLE h, DWORD first = 0, DWORD count = 100) {
    DWORD needed = kPoison, returned = kPoison;
    SetLastError(kPoison);
    BOOL ok = EnumJobsA(h, first, count, 1, NULL, 0, &needed, &returned);
    EXPECT_EQ(0u, returned);
    if (ok) {
        EXPECT_EQ(0u, needed);  // no jobs: success with nothing needed
        EXPECT_EQ(kPoison, GetLastError());
        return {};
    }
    EXPECT_EQ(DWORD(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    std::vector<BYTE> buffer(needed, 0xBD);
    EXPECT_TRUE(EnumJobsA(h, first, count, 1, buffer.data(), needed, &needed, &returned));
    std::vector<DWORD> ids;
    auto* jobs = reinterpret_cast<JOB_INFO_1A*>(buffer.data());
    for (DWORD i = 0; i < returned; ++i) ids.push_back(jobs[i].JobId);
    return ids;
}

std::vector<BYTE> Info2(HANDLE h) {
    DWORD needed = 0;
    EXPECT_FALSE(GetPrinterA(h, 2, NULL, 0, &needed));
    std::vector<BYTE> b(needed);
    EXPECT_TRUE(GetPrinterA(h, 2, b.data(), needed, &needed));
    return b;
}

// The names of an enumeration of DRIVER_INFO_2A or PRINTPROCESSOR_INFO_1A records (their first string field).
template <typename Record, typename Enum>
std::vector<std::string> Names(Enum enumerate, LPSTR environment, DWORD level, LPSTR Record::*field) {
    DWORD needed = kPoison, returned = kPoison;
    SetLastError(kPoison);
    if (enumerate(NULL, environment, level, NULL, 0, &needed, &returned)) {
        EXPECT_EQ(0u, needed);
        return {};
    }
    EXPECT_EQ(DWORD(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ(0u, returned);
    std::vector<BYTE> buffer(needed, 0xBD);
    EXPECT_FALSE(enumerate(NULL, environment, level, buffer.data(), needed - 1, &needed, &returned));
    EXPECT_EQ(DWORD(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ(0u, returned);
    EXPECT_TRUE(enumerate(NULL, environment, level, buffer.data(), needed, &needed, &returned));
    std::vector<std::string> names;
    for (DWORD i = 0; i < returned; ++i) {
        const char* name = reinterpret_cast<Record*>(buffer.data())[i].*field;
        const BYTE* p = reinterpret_cast<const BYTE*>(name);
        EXPECT_TRUE(p >= buffer.data() + returned * sizeof(Record) && p + std::strlen(name) < buffer.data() + needed);
        names.push_back(name);
    }
    return names;
}

std::vector<std::string> Drivers(const char* environment) {
    return Names<DRIVER_INFO_2A>(EnumPrinterDriversA, S(environment), 2, &DRIVER_INFO_2A::pName);
}

std::vector<std::string> Processors(const char* environment) {
    return Names<PRINTPROCESSOR_INFO_1A>(EnumPrintProcessorsA, S(environment), 1, &PRINTPROCESSOR_INFO_1A::pName);
}

using Names_ = std::vector<std::string>;

}  // namespace

TEST(SpoolerRemoval, JobsAreListedThenCancelledAndDeleted) {
    auto m = Load(kMachine);
    simwin::MachineScope scope(*m);
    HANDLE h = Open("Office", PRINTER_ALL_ACCESS);

    DWORD needed = kPoison, returned = kPoison;
    EXPECT_FALSE(EnumJobsA(h, 0, 100, 1, NULL, 0, &needed, &returned));
    std::vector<BYTE> buffer(needed, 0xBD);
    EXPECT_FALSE(EnumJobsA(h, 0, 100, 1, buffer.data(), needed - 1, &needed, &returned));
    EXPECT_EQ(DWORD(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ(0u, returned);
    ASSERT_TRUE(EnumJobsA(h, 0, 100, 1, buffer.data(), needed, &needed, &returned));
    ASSERT_EQ(3u, returned);
    auto* jobs = reinterpret_cast<JOB_INFO_1A*>(buffer.data());
    EXPECT_EQ(1u, jobs[0].JobId);
    EXPECT_STREQ("Office", jobs[0].pPrinterName);
    EXPECT_STREQ("RAW", jobs[2].pDatatype);
    EXPECT_EQ(3u, jobs[2].Position);
    const BYTE* name = reinterpret_cast<const BYTE*>(jobs[2].pDocument);
    EXPECT_GE(name, buffer.data() + 3 * sizeof(JOB_INFO_1A));
    EXPECT_LT(name, buffer.data() + needed);
    EXPECT_EQ(DWORD(ERROR_INVALID_LEVEL), (EnumJobsA(h, 0, 100, 4, NULL, 0, &needed, &returned), GetLastError()));

    // A window of the queue.
    EXPECT_EQ((std::vector<DWORD>{2, 3}), JobIds(h, 1, 5));
    EXPECT_EQ((std::vector<DWORD>{1}), JobIds(h, 0, 1));

    // Cancelling takes the job out of the queue; the others keep their IDs.
    SetLastError(kPoison);
    EXPECT_TRUE(SetJobA(h, 2, 0, NULL, JOB_CONTROL_CANCEL));
    EXPECT_EQ((std::vector<DWORD>{1, 3}), JobIds(h));
    SetLastError(kPoison);
    EXPECT_FALSE(SetJobA(h, 2, 0, NULL, JOB_CONTROL_DELETE));  // gone already
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), GetLastError());
    SetLastError(kPoison);
    EXPECT_FALSE(SetJobA(h, 1, 0, NULL, 42));  // no such command
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_TRUE(SetJobA(h, 1, 0, NULL, JOB_CONTROL_PAUSE));  // accepted; the job stays
    EXPECT_EQ((std::vector<DWORD>{1, 3}), JobIds(h));
    EXPECT_TRUE(SetJobA(h, 3, 0, NULL, JOB_CONTROL_DELETE));
    EXPECT_TRUE(SetJobA(h, 1, 0, NULL, JOB_CONTROL_CANCEL));
    EXPECT_EQ(std::vector<DWORD>{}, JobIds(h));
    EXPECT_EQ(0, m->spooler.find("Office")->jobs);
    ClosePrinter(h);

    // Another user's jobs need the right to administer the printer.
    auto fresh = Load(kMachine);
    simwin::MachineScope freshScope(*fresh);
    h = Open("Office", PRINTER_ACCESS_USE);
    SetLastError(kPoison);
    EXPECT_FALSE(SetJobA(h, 1, 0, NULL, JOB_CONTROL_CANCEL));
    EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), GetLastError());
    ClosePrinter(h);
    needed = returned = kPoison;
    EXPECT_FALSE(EnumJobsA(h, 0, 100, 1, NULL, 0, &needed, &returned));
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
    EXPECT_EQ(0u, needed);
}

TEST(SpoolerRemoval, DeletePrinterNeedsDeleteAccessAndKeepsTheHandle) {
    auto m = Load(kMachine);
    simwin::MachineScope scope(*m);
    HANDLE use = Open("Labels", PRINTER_ACCESS_USE);
    SetLastError(kPoison);
    EXPECT_FALSE(DeletePrinter(use));
    EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), GetLastError());
    ASSERT_NE(nullptr, m->spooler.find("Labels"));

    HANDLE all = Open("Labels", PRINTER_ALL_ACCESS);
    SetLastError(kPoison);
    EXPECT_TRUE(DeletePrinter(all));
    EXPECT_EQ(nullptr, m->spooler.find("Labels"));
    DWORD needed = kPoison;
    SetLastError(kPoison);
    EXPECT_FALSE(GetPrinterA(all, 2, NULL, 0, &needed));
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
    HANDLE again = NULL;
    EXPECT_FALSE(OpenPrinterA(S("Labels"), &again, NULL));
    EXPECT_EQ(DWORD(ERROR_INVALID_PRINTER_NAME), GetLastError());
    EXPECT_TRUE(ClosePrinter(all));
    EXPECT_TRUE(ClosePrinter(use));
    EXPECT_EQ(0u, m->handles.openCount());
}

TEST(SpoolerRemoval, APrinterWithJobsGoesWithItsLastJob) {
    auto m = Load(kMachine);
    simwin::MachineScope scope(*m);
    HANDLE h = Open("Office", PRINTER_ALL_ACCESS);
    ASSERT_TRUE(DeletePrinter(h));
    ASSERT_NE(nullptr, m->spooler.find("Office"));
    auto b = Info2(h);
    EXPECT_EQ(DWORD(PRINTER_STATUS_PENDING_DELETION), reinterpret_cast<PRINTER_INFO_2A*>(b.data())->Status);
    SetLastError(kPoison);
    EXPECT_FALSE(DeletePrinter(h));
    EXPECT_EQ(DWORD(ERROR_PRINTER_DELETED), GetLastError());
    EXPECT_TRUE(SetJobA(h, 1, 0, NULL, JOB_CONTROL_CANCEL));
    EXPECT_TRUE(SetJobA(h, 2, 0, NULL, JOB_CONTROL_CANCEL));
    EXPECT_NE(nullptr, m->spooler.find("Office"));
    EXPECT_TRUE(SetJobA(h, 3, 0, NULL, JOB_CONTROL_DELETE));
    EXPECT_EQ(nullptr, m->spooler.find("Office"));
    EXPECT_TRUE(ClosePrinter(h));

    // Purging the queue (SetPrinterA level 0) finishes a pending deletion too.
    auto m2 = Load(kMachine);
    simwin::MachineScope scope2(*m2);
    h = Open("Office", PRINTER_ALL_ACCESS);
    ASSERT_TRUE(DeletePrinter(h));
    EXPECT_TRUE(SetPrinterA(h, 0, NULL, PRINTER_CONTROL_PURGE));
    EXPECT_EQ(nullptr, m2->spooler.find("Office"));
    ClosePrinter(h);
}

TEST(SpoolerRemoval, DeletePrinterConnectionTakesOnlyConnections) {
    auto m = Load(kMachine);
    simwin::MachineScope scope(*m);
    SetLastError(kPoison);
    EXPECT_FALSE(DeletePrinterConnectionA(S("Office")));  // a local printer
    EXPECT_EQ(DWORD(ERROR_INVALID_PRINTER_NAME), GetLastError());
    EXPECT_NE(nullptr, m->spooler.find("Office"));
    SetLastError(kPoison);
    EXPECT_FALSE(DeletePrinterConnectionA(S("\\\\SRV\\Nothing")));
    EXPECT_EQ(DWORD(ERROR_INVALID_PRINTER_NAME), GetLastError());
    EXPECT_TRUE(DeletePrinterConnectionA(S("\\\\srv\\shared")));
    EXPECT_EQ(nullptr, m->spooler.find("\\\\SRV\\Shared"));
    EXPECT_EQ(2u, m->spooler.printers.size());
}

TEST(SpoolerRemoval, SetPrinterLevel2ChangesWhatTheSpoolerLetsChange) {
    auto m = Load(kMachine);
    simwin::MachineScope scope(*m);
    HANDLE h = Open("Labels", PRINTER_ALL_ACCESS);
    std::vector<BYTE> b = Info2(h);
    auto* info = reinterpret_cast<PRINTER_INFO_2A*>(b.data());
    EXPECT_STREQ("VxProc", info->pPrintProcessor);
    info->pPrintProcessor = S("winprint");
    info->pDatatype = S("NT EMF 1.008");
    info->pComment = S("moved");
    info->Attributes |= PRINTER_ATTRIBUTE_DEFAULT | PRINTER_ATTRIBUTE_WORK_OFFLINE;
    SetLastError(kPoison);
    ASSERT_TRUE(SetPrinterA(h, 2, b.data(), 0));
    std::vector<BYTE> after = Info2(h);
    auto* now = reinterpret_cast<PRINTER_INFO_2A*>(after.data());
    EXPECT_STREQ("WinPrint", now->pPrintProcessor);  // as the spooler names it
    EXPECT_STREQ("NT EMF 1.008", now->pDatatype);
    EXPECT_STREQ("moved", now->pComment);
    // NT: the default printer is the user's setting; the attribute does not move it.
    EXPECT_EQ(DWORD(PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_WORK_OFFLINE), now->Attributes);
    EXPECT_TRUE(m->spooler.find("Office")->isDefault());

    // What the spooler does not know is refused and changes nothing.
    info = reinterpret_cast<PRINTER_INFO_2A*>(after.data());
    info->pPrintProcessor = S("NoSuchProc");
    info->pDatatype = S("TEXT");
    SetLastError(kPoison);
    EXPECT_FALSE(SetPrinterA(h, 2, after.data(), 0));
    EXPECT_EQ(DWORD(ERROR_UNKNOWN_PRINTPROCESSOR), GetLastError());
    info->pPrintProcessor = NULL;
    info->pDriverName = S("No Such Driver");
    EXPECT_FALSE(SetPrinterA(h, 2, after.data(), 0));
    EXPECT_EQ(DWORD(ERROR_UNKNOWN_PRINTER_DRIVER), GetLastError());
    EXPECT_EQ("NT EMF 1.008", m->spooler.find("Labels")->datatype);
    EXPECT_FALSE(SetPrinterA(h, 7, after.data(), 0));
    EXPECT_EQ(DWORD(ERROR_INVALID_LEVEL), GetLastError());
    EXPECT_FALSE(SetPrinterA(h, 0, NULL, 9));
    EXPECT_EQ(DWORD(ERROR_INVALID_PRINTER_COMMAND), GetLastError());
    ClosePrinter(h);

    h = Open("Labels", PRINTER_READ);
    SetLastError(kPoison);
    EXPECT_FALSE(SetPrinterA(h, 2, b.data(), 0));
    EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), GetLastError());
    ClosePrinter(h);
}

TEST(SpoolerRemoval, OnWindows9xTheDefaultAttributeMovesTheDefault) {
    auto m = Load("[system]\nplatform = 9x\n[printer]\nname = A\ndriver = D\ndefault = yes\n"
                  "[printer]\nname = B\ndriver = D\n[driver]\nname = D\n");
    simwin::MachineScope scope(*m);
    HANDLE h = Open("B", PRINTER_ALL_ACCESS);
    std::vector<BYTE> b = Info2(h);
    reinterpret_cast<PRINTER_INFO_2A*>(b.data())->Attributes |= PRINTER_ATTRIBUTE_DEFAULT;
    ASSERT_TRUE(SetPrinterA(h, 2, b.data(), 0));
    EXPECT_TRUE(m->spooler.find("B")->isDefault());
    EXPECT_FALSE(m->spooler.find("A")->isDefault());
    ClosePrinter(h);
}

TEST(SpoolerRemoval, DriversAreListedPerEnvironment) {
    auto m = Load(kMachine);
    simwin::MachineScope scope(*m);
    EXPECT_EQ((Names_{"Vestral X Driver", "Vestral L Driver", "Vestral Spare", "Acme 9"}), Drivers(NULL));
    EXPECT_EQ(Drivers(NULL), Drivers("windows x64"));
    EXPECT_EQ((Names_{"Vestral X Driver"}), Drivers("Windows NT x86"));
    EXPECT_EQ((Names_{"Vestral Old"}), Drivers("Windows 4.0"));
    EXPECT_EQ(6u, Drivers("all").size());

    DWORD needed = kPoison, returned = kPoison;
    SetLastError(kPoison);
    EXPECT_FALSE(EnumPrinterDriversA(NULL, S("Windows IA64"), 2, NULL, 0, &needed, &returned));
    EXPECT_EQ(DWORD(ERROR_INVALID_ENVIRONMENT), GetLastError());
    EXPECT_EQ(0u, needed);
    EXPECT_FALSE(EnumPrinterDriversA(NULL, NULL, 7, NULL, 0, &needed, &returned));
    EXPECT_EQ(DWORD(ERROR_INVALID_LEVEL), GetLastError());
    EXPECT_FALSE(EnumPrinterDriversA(S("\\\\OTHER"), NULL, 2, NULL, 0, &needed, &returned));
    EXPECT_EQ(DWORD(ERROR_INVALID_NAME), GetLastError());

    // The driver of a printer, at level 2.
    HANDLE h = Open("Office", PRINTER_READ);
    needed = kPoison;
    EXPECT_FALSE(GetPrinterDriverA(h, NULL, 2, NULL, 0, &needed));
    EXPECT_EQ(DWORD(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    std::vector<BYTE> b(needed, 0xBD);
    ASSERT_TRUE(GetPrinterDriverA(h, NULL, 2, b.data(), needed, &needed));
    auto* d = reinterpret_cast<DRIVER_INFO_2A*>(b.data());
    EXPECT_EQ(3u, d->cVersion);
    EXPECT_STREQ("Vestral X Driver", d->pName);
    EXPECT_STREQ("Windows x64", d->pEnvironment);
    EXPECT_STREQ("C:\\Windows\\System32\\spool\\drivers\\x64\\VXDRV.DLL", d->pDriverPath);
    ClosePrinter(h);
    h = Open("Labels", PRINTER_READ);  // a driver the x86 environment lacks
    EXPECT_FALSE(GetPrinterDriverA(h, S("Windows NT x86"), 2, NULL, 0, &needed));
    EXPECT_EQ(DWORD(ERROR_UNKNOWN_PRINTER_DRIVER), GetLastError());
    ClosePrinter(h);
}

TEST(SpoolerRemoval, DeletePrinterDriverRefusesADriverInUse) {
    auto m = Load(kMachine);
    simwin::MachineScope scope(*m);
    SetLastError(kPoison);
    EXPECT_FALSE(DeletePrinterDriverA(NULL, NULL, S("Vestral X Driver")));
    EXPECT_EQ(DWORD(ERROR_PRINTER_DRIVER_IN_USE), GetLastError());
    EXPECT_FALSE(DeletePrinterDriverA(NULL, NULL, S("Acme 9")));  // a connection uses it too
    EXPECT_EQ(DWORD(ERROR_PRINTER_DRIVER_IN_USE), GetLastError());
    // The x86 copy serves other computers only: no printer here uses it.
    EXPECT_TRUE(DeletePrinterDriverA(NULL, S("Windows NT x86"), S("Vestral X Driver")));
    EXPECT_EQ(Names_{}, Drivers("Windows NT x86"));
    EXPECT_TRUE(DeletePrinterDriverA(NULL, NULL, S("vestral spare")));
    SetLastError(kPoison);
    EXPECT_FALSE(DeletePrinterDriverA(NULL, NULL, S("Vestral Spare")));
    EXPECT_EQ(DWORD(ERROR_UNKNOWN_PRINTER_DRIVER), GetLastError());
    EXPECT_FALSE(DeletePrinterDriverA(NULL, S("Windows 4.0"), S("Vestral L Driver")));
    EXPECT_EQ(DWORD(ERROR_UNKNOWN_PRINTER_DRIVER), GetLastError());
    EXPECT_FALSE(DeletePrinterDriverA(NULL, S("Windows 3.1"), S("Vestral Old")));
    EXPECT_EQ(DWORD(ERROR_INVALID_ENVIRONMENT), GetLastError());

    // Once its printer is gone the driver goes too.
    HANDLE h = Open("Labels", PRINTER_ALL_ACCESS);
    ASSERT_TRUE(DeletePrinter(h));
    ClosePrinter(h);
    EXPECT_TRUE(DeletePrinterDriverA(NULL, S("Windows x64"), S("Vestral L Driver")));
    EXPECT_EQ((Names_{"Vestral X Driver", "Acme 9"}), Drivers(NULL));
}

TEST(SpoolerRemoval, DeletingNeedsAnAdministrator) {
    std::string ini = kMachine;
    ini.replace(ini.find("computer = PC01"), 15, "computer = PC01\nadmin = no");
    auto m = Load(ini);
    simwin::MachineScope scope(*m);
    SetLastError(kPoison);
    EXPECT_FALSE(DeletePrinterDriverA(NULL, NULL, S("Vestral Spare")));
    EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_FALSE(DeleteMonitorA(NULL, NULL, S("Vestral Port")));
    EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_FALSE(DeletePrintProcessorA(NULL, NULL, S("VxSpare")));
    EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_EQ(6u, m->spooler.drivers.size());
}

TEST(SpoolerRemoval, MonitorsStandardAndDeclared) {
    auto m = Load(kMachine);
    simwin::MachineScope scope(*m);
    SetLastError(kPoison);
    EXPECT_FALSE(DeleteMonitorA(NULL, NULL, S("Vestral Busy Port")));
    EXPECT_EQ(DWORD(ERROR_PRINT_MONITOR_IN_USE), GetLastError());
    SetLastError(kPoison);
    EXPECT_FALSE(DeleteMonitorA(NULL, NULL, S("Vestral x86 Port")));  // of another environment
    EXPECT_EQ(DWORD(ERROR_UNKNOWN_PRINT_MONITOR), GetLastError());
    EXPECT_TRUE(DeleteMonitorA(NULL, S("Windows NT x86"), S("Vestral x86 Port")));
    EXPECT_TRUE(DeleteMonitorA(NULL, NULL, S("vestral port")));
    SetLastError(kPoison);
    EXPECT_FALSE(DeleteMonitorA(NULL, NULL, S("Vestral Port")));
    EXPECT_EQ(DWORD(ERROR_UNKNOWN_PRINT_MONITOR), GetLastError());
    EXPECT_FALSE(DeleteMonitorA(NULL, S("Windows 3.1"), S("Vestral Busy Port")));
    EXPECT_EQ(DWORD(ERROR_INVALID_ENVIRONMENT), GetLastError());
    // The standard monitors exist without being declared.
    EXPECT_TRUE(DeleteMonitorA(NULL, NULL, S("USB Monitor")));
    EXPECT_NE(nullptr, m->spooler.findMonitor("WSD Port", "Windows x64"));
    EXPECT_NE(nullptr, m->spooler.findMonitor("Standard TCP/IP Port", "Windows x64"));

    auto w9x = Load("[system]\nplatform = 9x\n");
    simwin::MachineScope scope9x(*w9x);
    EXPECT_FALSE(DeleteMonitorA(NULL, NULL, S("USB Monitor")));
    EXPECT_EQ(DWORD(ERROR_UNKNOWN_PRINT_MONITOR), GetLastError());
    EXPECT_TRUE(DeleteMonitorA(NULL, NULL, S("Local Port")));
}

TEST(SpoolerRemoval, PrintProcessorsPerEnvironmentAndInUse) {
    auto m = Load(kMachine);
    simwin::MachineScope scope(*m);
    EXPECT_EQ((Names_{"WinPrint", "VxProc", "VxSpare"}), Processors(NULL));
    EXPECT_EQ((Names_{"WinPrint"}), Processors("Windows NT x86"));
    EXPECT_EQ(Names_{}, Processors("Windows 4.0"));
    DWORD needed = kPoison, returned = kPoison;
    EXPECT_FALSE(EnumPrintProcessorsA(NULL, S("all"), 1, NULL, 0, &needed, &returned));
    EXPECT_EQ(DWORD(ERROR_INVALID_ENVIRONMENT), GetLastError());
    EXPECT_FALSE(EnumPrintProcessorsA(NULL, NULL, 2, NULL, 0, &needed, &returned));
    EXPECT_EQ(DWORD(ERROR_INVALID_LEVEL), GetLastError());

    SetLastError(kPoison);
    EXPECT_FALSE(DeletePrintProcessorA(NULL, NULL, S("VxProc")));  // Labels prints through it
    EXPECT_EQ(DWORD(ERROR_CAN_NOT_COMPLETE), GetLastError());
    EXPECT_FALSE(DeletePrintProcessorA(NULL, NULL, S("NoSuchProc")));
    EXPECT_EQ(DWORD(ERROR_UNKNOWN_PRINTPROCESSOR), GetLastError());
    EXPECT_TRUE(DeletePrintProcessorA(NULL, NULL, S("VxSpare")));

    // Switched to WinPrint, the printer lets the processor go.
    HANDLE h = Open("Labels", PRINTER_ALL_ACCESS);
    std::vector<BYTE> b = Info2(h);
    reinterpret_cast<PRINTER_INFO_2A*>(b.data())->pPrintProcessor = S("WinPrint");
    ASSERT_TRUE(SetPrinterA(h, 2, b.data(), 0));
    ClosePrinter(h);
    EXPECT_TRUE(DeletePrintProcessorA(NULL, S("Windows x64"), S("VxProc")));
    EXPECT_EQ((Names_{"WinPrint"}), Processors(NULL));
}

TEST(SpoolerRemoval, MachineDirectoryKeepsWhatIsLeft) {
    auto m = Load(std::string(kMachine) + "[monitor]\nname = Local Port\ninuse = yes\n");
    EXPECT_TRUE(m->spooler.findMonitor("Local Port", "Windows x64")->inUse);
    {
        simwin::MachineScope scope(*m);
        HANDLE h = Open("Office", PRINTER_ALL_ACCESS);
        ASSERT_TRUE(SetJobA(h, 1, 0, NULL, JOB_CONTROL_CANCEL));
        ClosePrinter(h);
        h = Open("Labels", PRINTER_ALL_ACCESS);
        std::vector<BYTE> b = Info2(h);
        auto* info = reinterpret_cast<PRINTER_INFO_2A*>(b.data());
        info->pPrintProcessor = S("WinPrint");
        info->pDatatype = S("NT EMF 1.008");
        info->Attributes |= PRINTER_ATTRIBUTE_HIDDEN;
        ASSERT_TRUE(SetPrinterA(h, 2, b.data(), 0));
        ClosePrinter(h);
        ASSERT_TRUE(DeletePrinterConnectionA(S("\\\\SRV\\Shared")));
        ASSERT_TRUE(DeletePrinterDriverA(NULL, NULL, S("Acme 9")));
        ASSERT_TRUE(DeleteMonitorA(NULL, NULL, S("Vestral Port")));
        ASSERT_TRUE(DeletePrintProcessorA(NULL, NULL, S("VxProc")));
        ASSERT_TRUE(DeleteMonitorA(NULL, NULL, S("WSD Port")));  // standard, not declared: no trace either way
    }
    testmachine::TempDir a, b;
    m->save(a.path.string());
    const std::string ini = testmachine::ReadFile(a.path / "machine.ini");
    // Sorted by environment, then name; a declared standard monitor is written back.
    EXPECT_NE(std::string::npos,
              ini.find("[monitor]\nname = Vestral x86 Port\nenvironment = Windows NT x86\n\n"
                       "[monitor]\nname = Local Port\nenvironment = Windows x64\ninuse = yes\n\n"
                       "[monitor]\nname = Vestral Busy Port\nenvironment = Windows x64\ninuse = yes\n\n"
                       "[processor]\nname = VxSpare\nenvironment = Windows x64\n"))
        << ini;
    for (const char* gone : {"Vestral Port", "VxProc\n", "Acme 9", "SRV", "WSD Port", "USB Monitor", "WinPrint\nenv"})
        EXPECT_EQ(std::string::npos, ini.find(gone)) << gone;
    EXPECT_NE(std::string::npos, ini.find("jobs = 2\n"));
    EXPECT_NE(std::string::npos, ini.find("attributes = hidden,local\nprocessor = WinPrint\ndatatype = NT EMF 1.008\n"))
        << ini;

    auto again = simwin::Machine::load(a.path.string());
    again->save(b.path.string());
    EXPECT_EQ(testmachine::Snapshot(a.path), testmachine::Snapshot(b.path));
    EXPECT_EQ(2, again->spooler.find("Office")->jobs);
    EXPECT_EQ(nullptr, again->spooler.findMonitor("Vestral Port", "Windows x64"));
    EXPECT_NE(nullptr, again->spooler.findMonitor("USB Monitor", "Windows x64"));  // standard, back after a load
    EXPECT_NE(nullptr, again->spooler.findProcessor("VxSpare", "Windows x64"));
}

TEST(SpoolerRemoval, MachineDirectoryMistakesAreReported) {
    EXPECT_THROW(Load("[monitor]\nenvironment = Windows x64\n"), simwin::MachineError);
    EXPECT_THROW(Load("[monitor]\nname = M\ninuse = maybe\n"), simwin::MachineError);
    EXPECT_THROW(Load("[monitor]\nname = M\n[monitor]\nname = m\n"), simwin::MachineError);
    EXPECT_THROW(Load("[processor]\nname = P\ninuse = yes\n"), simwin::MachineError);
    EXPECT_THROW(Load("[processor]\nname = WinPrint\n[processor]\nname = winprint\n"), simwin::MachineError);
    EXPECT_NO_THROW(Load("[monitor]\nname = M\n[monitor]\nname = M\nenvironment = Windows NT x86\n"));
}

TEST(SpoolerRemoval, InstallingDriversPrintersAndMonitors) {
    auto m = Load("[system]\nplatform = nt\n",
                  {{"C/Windows/System32/spool/drivers/x64/new.dll", "MZ"}, {"C/Windows/System32/spool/drivers/x64/new.ppd", ""},
                   {"C/Windows/System32/newmon.dll", "MZ"}});
    simwin::MachineScope scope(*m);
    DRIVER_INFO_3A d;
    std::memset(&d, 0, sizeof d);
    d.cVersion = 3;
    d.pName = S("New Driver");
    d.pDriverPath = S("new.dll");
    d.pDataFile = S("missing.ppd");
    SetLastError(kPoison);
    EXPECT_FALSE(AddPrinterDriverExA(NULL, 3, reinterpret_cast<LPBYTE>(&d), APD_COPY_NEW_FILES));
    EXPECT_EQ(DWORD(ERROR_FILE_NOT_FOUND), GetLastError());
    d.pDataFile = S("new.ppd");
    d.pEnvironment = S("Windows 3.1");
    EXPECT_FALSE(AddPrinterDriverExA(NULL, 3, reinterpret_cast<LPBYTE>(&d), APD_COPY_NEW_FILES));
    EXPECT_EQ(DWORD(ERROR_INVALID_ENVIRONMENT), GetLastError());
    d.pEnvironment = NULL;
    EXPECT_FALSE(AddPrinterDriverExA(NULL, 4, reinterpret_cast<LPBYTE>(&d), APD_COPY_NEW_FILES));
    EXPECT_EQ(DWORD(ERROR_INVALID_LEVEL), GetLastError());
    ASSERT_TRUE(AddPrinterDriverExA(NULL, 3, reinterpret_cast<LPBYTE>(&d), APD_COPY_NEW_FILES));
    ASSERT_NE(nullptr, m->spooler.findDriver("new driver", "Windows x64"));
    EXPECT_EQ("new.dll", m->spooler.findDriver("New Driver", "Windows x64")->file);

    PRINTER_INFO_2A p;
    std::memset(&p, 0, sizeof p);
    p.pPrinterName = S("New");
    p.pPortName = S("FILE:");
    p.pDriverName = S("Other Driver");
    p.pPrintProcessor = S("WinPrint");
    SetLastError(kPoison);
    EXPECT_EQ(nullptr, AddPrinterA(NULL, 2, reinterpret_cast<LPBYTE>(&p)));
    EXPECT_EQ(DWORD(ERROR_UNKNOWN_PRINTER_DRIVER), GetLastError());
    p.pDriverName = S("New Driver");
    p.pPrintProcessor = S("NoSuchProc");
    EXPECT_EQ(nullptr, AddPrinterA(NULL, 2, reinterpret_cast<LPBYTE>(&p)));
    EXPECT_EQ(DWORD(ERROR_UNKNOWN_PRINTPROCESSOR), GetLastError());
    p.pPrintProcessor = S("winprint");
    HANDLE h = AddPrinterA(NULL, 2, reinterpret_cast<LPBYTE>(&p));
    ASSERT_NE(nullptr, h);
    EXPECT_TRUE(DeletePrinter(h));  // the handle of a new printer has every right
    EXPECT_TRUE(ClosePrinter(h));
    h = AddPrinterA(NULL, 2, reinterpret_cast<LPBYTE>(&p));
    ClosePrinter(h);
    SetLastError(kPoison);
    EXPECT_EQ(nullptr, AddPrinterA(NULL, 2, reinterpret_cast<LPBYTE>(&p)));
    EXPECT_EQ(DWORD(ERROR_PRINTER_ALREADY_EXISTS), GetLastError());
    const simwin::Printer* added = m->spooler.find("New");
    ASSERT_NE(nullptr, added);
    EXPECT_EQ("WinPrint", added->processor);
    EXPECT_EQ("RAW", added->datatype);
    EXPECT_EQ(DWORD(PRINTER_ATTRIBUTE_LOCAL), added->attributes);

    MONITOR_INFO_2A mon = {S("New Port"), NULL, S("newmon.dll")};
    ASSERT_TRUE(AddMonitorA(NULL, 2, reinterpret_cast<LPBYTE>(&mon)));
    SetLastError(kPoison);
    EXPECT_FALSE(AddMonitorA(NULL, 2, reinterpret_cast<LPBYTE>(&mon)));
    EXPECT_EQ(DWORD(ERROR_PRINT_MONITOR_ALREADY_INSTALLED), GetLastError());
    mon.pDLLName = S("");
    mon.pName = S("Other Port");
    EXPECT_FALSE(AddMonitorA(NULL, 2, reinterpret_cast<LPBYTE>(&mon)));
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), GetLastError());
    mon.pDLLName = S("absent.dll");  // the spooler cannot load it from the system directory
    SetLastError(kPoison);
    EXPECT_FALSE(AddMonitorA(NULL, 2, reinterpret_cast<LPBYTE>(&mon)));
    EXPECT_EQ(DWORD(ERROR_MOD_NOT_FOUND), GetLastError());
    EXPECT_EQ(nullptr, m->spooler.findMonitor("Other Port", "Windows x64"));
    EXPECT_NE(nullptr, m->spooler.findMonitor("New Port", "Windows x64"));
}
