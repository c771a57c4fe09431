// The print-spooler behaviour the printer enumeration and the removal rely on, checked with Win32 calls
// only: the size query and fetch of EnumPrintersA at the levels the tool uses (whatever printers the
// system has), the refusals for unknown names and levels, and, on a driver, a printer and a port monitor
// the tests install and remove again, the enumerations per environment, level 2 of a printer and its
// driver, and the deletions.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include <cstring>
#include <string>
#include <vector>

#include "base/platform.h"
#include "conformance/conformance_env.h"
#include "support/text_args.h"

class SpoolerConformance : public ConformanceTest {};

TEST_F(SpoolerConformance, SizeQueryThenFetchAtEachLevel) {
    const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
    for (DWORD level : {2u, 4u, 5u}) {
        SCOPED_TRACE(level);
        DWORD needed = 0, returned = 77;
        SetLastError(ERROR_SUCCESS);
        BOOL ok = EnumPrintersA(flags, NULL, level, NULL, 0, &needed, &returned);
        if (needed == 0) {
            // No printers: success, nothing returned.
            EXPECT_TRUE(ok);
            EXPECT_EQ(0u, returned);
            continue;
        }
        EXPECT_FALSE(ok);
        EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
        std::vector<BYTE> buffer(needed);
        DWORD again = 0;
        EXPECT_FALSE(EnumPrintersA(flags, NULL, level, buffer.data(), needed - 1, &again, &returned));
        EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
        EXPECT_EQ(needed, again);
        ASSERT_TRUE(EnumPrintersA(flags, NULL, level, buffer.data(), needed, &again, &returned));
        ASSERT_GT(returned, 0u);
        // Every name lies inside the buffer.
        for (DWORD i = 0; i < returned; ++i) {
            const char* name = level == 2   ? reinterpret_cast<PRINTER_INFO_2A*>(buffer.data())[i].pPrinterName
                               : level == 4 ? reinterpret_cast<PRINTER_INFO_4A*>(buffer.data())[i].pPrinterName
                                            : reinterpret_cast<PRINTER_INFO_5A*>(buffer.data())[i].pPrinterName;
            ASSERT_NE(nullptr, name);
            const BYTE* p = reinterpret_cast<const BYTE*>(name);
            EXPECT_TRUE(p >= buffer.data() && p + std::strlen(name) < buffer.data() + buffer.size());
        }
    }
}

TEST_F(SpoolerConformance, UnknownNamesAndLevelsAreRefused) {
    HANDLE printer = NULL;
    PRINTER_DEFAULTSA defaults = {NULL, NULL, PRINTER_READ};
    char name[] = "Korun Conformance No Such Printer";
    EXPECT_FALSE(OpenPrinterA(name, &printer, &defaults));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PRINTER_NAME), GetLastError());

    DWORD needed = 0, returned = 0;
    EXPECT_FALSE(EnumPrintersA(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, NULL, 3, NULL, 0, &needed, &returned));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_LEVEL), GetLastError());
}

namespace {

const DWORD kPoison = 0xdeadbeef;
const char kDriver[] = "Korun Conformance Driver";
const char kPrinter[] = "Korun Conformance Printer";
const char kMonitor[] = "Korun Conformance Port";
const char kPpd[] =
    "*PPD-Adobe: \"4.3\"\n*FormatVersion: \"4.3\"\n*FileVersion: \"1.0\"\n*LanguageVersion: English\n"
    "*LanguageEncoding: ISOLatin1\n*PCFileName: \"KORUNCF.PPD\"\n*Manufacturer: \"Korun\"\n"
    "*Product: \"(Korun Conformance)\"\n*ModelName: \"Korun Conformance Driver\"\n"
    "*ShortNickName: \"Korun Conformance Driver\"\n*NickName: \"Korun Conformance Driver\"\n"
    "*PSVersion: \"(3010.000) 0\"\n*LanguageLevel: \"3\"\n*ColorDevice: False\n*DefaultColorSpace: Gray\n"
    "*FileSystem: False\n*Throughput: \"1\"\n*LandscapeOrientation: Plus90\n*TTRasterizer: Type42\n"
    "*OpenUI *PageSize: PickOne\n*OrderDependency: 30 AnySetup *PageSize\n*DefaultPageSize: A4\n"
    "*PageSize A4/A4: \"<</PageSize[595 842]/ImagingBBox null>>setpagedevice\"\n*CloseUI: *PageSize\n"
    "*DefaultImageableArea: A4\n*ImageableArea A4/A4: \"0 0 595 842\"\n"
    "*DefaultPaperDimension: A4\n*PaperDimension A4/A4: \"595 842\"\n";

using textargs::S;

std::string DriverDirectory(const char* environment) {
    char dir[MAX_PATH] = "";
    DWORD needed = 0;
    GetPrinterDriverDirectoryA(NULL, S(environment), 1, reinterpret_cast<LPBYTE>(dir), sizeof dir, &needed);
    return dir;
}

bool WriteTextFile(const std::string& path, const std::string& text) {
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, NULL);
    CloseHandle(f);
    return ok && written == text.size();
}

// Installs the test driver in an environment (null: the local one): Wine's PostScript driver with a small
// PPD, both in the environment's driver directory. Wine keeps wineps.drv in the version-3 subdirectory
// of the local driver directory (older prefixes: the system directory); where there is none (simwin) a
// placeholder file stands in, since only the spooler's bookkeeping is checked.
bool InstallDriver(const char* environment) {
    const std::string dir = DriverDirectory(environment), local = DriverDirectory(NULL);
    if (dir.empty()) return false;
    CreateDirectoryA(dir.c_str(), NULL);
    char system[MAX_PATH] = "";
    GetSystemDirectoryA(system, sizeof system);
    bool copied = false;
    for (const std::string& from : {local + "\\3\\wineps.drv", std::string(system) + "\\wineps.drv"})
        copied = copied || CopyFileA(from.c_str(), (dir + "\\wineps.drv").c_str(), FALSE);
    if (!copied && !WriteTextFile(dir + "\\wineps.drv", "placeholder")) return false;
    if (!WriteTextFile(dir + "\\korun_conf.ppd", kPpd)) return false;
    DRIVER_INFO_3A driver;
    std::memset(&driver, 0, sizeof driver);
    driver.cVersion = environment && !std::strcmp(environment, "Windows 4.0") ? 0 : 3;
    driver.pName = S(kDriver);
    driver.pEnvironment = S(environment);
    driver.pDriverPath = S("wineps.drv");
    driver.pConfigFile = S("wineps.drv");
    driver.pDataFile = S("korun_conf.ppd");
    return AddPrinterDriverExA(NULL, 3, reinterpret_cast<LPBYTE>(&driver), APD_COPY_NEW_FILES) != FALSE;
}

bool AddTestPrinter() {
    PRINTER_INFO_2A info;
    std::memset(&info, 0, sizeof info);
    info.pPrinterName = S(kPrinter);
    info.pPortName = S("FILE:");
    info.pDriverName = S(kDriver);
    info.pPrintProcessor = S("WinPrint");
    info.pDatatype = S("RAW");
    HANDLE h = AddPrinterA(NULL, 2, reinterpret_cast<LPBYTE>(&info));
    if (!h) return false;
    ClosePrinter(h);
    return true;
}

bool SameText(const char* a, const char* b) { return a && b && lstrcmpiA(a, b) == 0; }

bool Contains(const std::vector<std::string>& names, const char* name) {
    for (const std::string& n : names)
        if (SameText(n.c_str(), name)) return true;
    return false;
}

// Names of an enumeration (EnumPrinterDriversA level 2, EnumPrintProcessorsA level 1): a size query
// with poisoned outputs, a buffer one byte short, then the fetch; every name lies after the records.
template <typename Record, typename Enum>
std::vector<std::string> Names(Enum enumerate, const char* environment, DWORD level, LPSTR Record::*field) {
    DWORD needed = kPoison, returned = kPoison;
    SetLastError(kPoison);
    if (enumerate(NULL, S(environment), level, NULL, 0, &needed, &returned)) {
        EXPECT_EQ(0u, needed);
        EXPECT_TRUE(returned == 0 || returned == kPoison) << returned;  // Windows 0; Wine leaves the count alone
        return {};
    }
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    // Windows reports 0 records; Wine's EnumPrinterDriversA leaves the count alone (its print processors: 0).
    EXPECT_TRUE(returned == 0 || returned == kPoison) << returned;
    std::vector<BYTE> buffer(needed, 0xBD);
    DWORD again = kPoison;
    returned = kPoison;
    EXPECT_FALSE(enumerate(NULL, S(environment), level, buffer.data(), needed - 1, &again, &returned));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ(needed, again);
    EXPECT_TRUE(enumerate(NULL, S(environment), level, buffer.data(), needed, &again, &returned));
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
    return Names<DRIVER_INFO_2A>(EnumPrinterDriversA, environment, 2, &DRIVER_INFO_2A::pName);
}

}  // namespace

TEST_F(SpoolerConformance, DriversAreListedAndDeletedPerEnvironment) {
    ASSERT_TRUE(InstallDriver(NULL)) << GetLastError();
    ASSERT_TRUE(InstallDriver("Windows NT x86")) << GetLastError();
    EXPECT_TRUE(Contains(Drivers(NULL), kDriver));
    EXPECT_TRUE(Contains(Drivers("Windows NT x86"), kDriver));
    EXPECT_FALSE(Contains(Drivers("Windows 4.0"), kDriver));

    DWORD needed = kPoison, returned = kPoison;
    SetLastError(kPoison);
    EXPECT_FALSE(EnumPrinterDriversA(NULL, S("Windows 3.1"), 2, NULL, 0, &needed, &returned));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_ENVIRONMENT), GetLastError());

    // Each environment's copy goes by itself.
    SetLastError(kPoison);
    EXPECT_TRUE(DeletePrinterDriverA(NULL, S("Windows NT x86"), S(kDriver)));
    EXPECT_FALSE(Contains(Drivers("Windows NT x86"), kDriver));
    EXPECT_TRUE(Contains(Drivers(NULL), kDriver));
    EXPECT_TRUE(DeletePrinterDriverA(NULL, NULL, S(kDriver)));
    EXPECT_FALSE(Contains(Drivers(NULL), kDriver));

    SetLastError(kPoison);
    EXPECT_FALSE(DeletePrinterDriverA(NULL, NULL, S(kDriver)));
    const DWORD error = GetLastError();
    EXPECT_TRUE(error == ERROR_UNKNOWN_PRINTER_DRIVER || error == kPoison)  // Wine leaves the last error alone
        << error;
    SetLastError(kPoison);
    EXPECT_FALSE(DeletePrinterDriverA(NULL, S("Windows 3.1"), S(kDriver)));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_ENVIRONMENT), GetLastError());
}

TEST_F(SpoolerConformance, PrinterLevel2ItsDriverAndItsDeletion) {
    ASSERT_TRUE(InstallDriver(NULL)) << GetLastError();
    ASSERT_TRUE(AddTestPrinter()) << GetLastError();
    PRINTER_DEFAULTSA all = {NULL, NULL, PRINTER_ALL_ACCESS};
    HANDLE h = NULL;
    ASSERT_TRUE(OpenPrinterA(S(kPrinter), &h, &all));

    DWORD needed = kPoison;
    SetLastError(kPoison);
    EXPECT_FALSE(GetPrinterA(h, 2, NULL, 0, &needed));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    std::vector<BYTE> b(needed, 0xBD);
    ASSERT_TRUE(GetPrinterA(h, 2, b.data(), needed, &needed));
    auto* info = reinterpret_cast<PRINTER_INFO_2A*>(b.data());
    EXPECT_STREQ(kPrinter, info->pPrinterName);
    EXPECT_STREQ(kDriver, info->pDriverName);
    EXPECT_STREQ("FILE:", info->pPortName);
    EXPECT_TRUE(SameText("WinPrint", info->pPrintProcessor)) << info->pPrintProcessor;
    EXPECT_STREQ("RAW", info->pDatatype);
    // The device settings are packed after the record: the printer's name, cut to fit, and the header.
    ASSERT_NE(nullptr, info->pDevMode);
    EXPECT_GE(reinterpret_cast<BYTE*>(info->pDevMode), b.data() + sizeof(PRINTER_INFO_2A));
    EXPECT_LE(reinterpret_cast<BYTE*>(info->pDevMode) + sizeof(DEVMODEA), b.data() + needed);
    EXPECT_EQ(0, std::strncmp(kPrinter, reinterpret_cast<const char*>(info->pDevMode->dmDeviceName), 31));
    // Windows: DM_SPECVERSION (0x401); Wine's spooler answers with its driver's older version, 0x30a.
    EXPECT_EQ(UnderWine() ? 0x30a : 0x401, info->pDevMode->dmSpecVersion);
    EXPECT_EQ(sizeof(DEVMODEA), info->pDevMode->dmSize);
    // A real driver sets fields of its own and may add private bytes; simwin models none.
    if (!UnderWine()) EXPECT_EQ(0u, info->pDevMode->dmDriverExtra);

    // The comment and data type a level-2 write changes stick.
    info->pComment = S("Korun comment");
    info->pDatatype = S("NT EMF 1.008");
    SetLastError(kPoison);
    EXPECT_TRUE(SetPrinterA(h, 2, b.data(), 0)) << GetLastError();
    DWORD size = 0;
    GetPrinterA(h, 2, NULL, 0, &size);
    std::vector<BYTE> after(size, 0xBD);
    ASSERT_TRUE(GetPrinterA(h, 2, after.data(), size, &size));
    auto* now = reinterpret_cast<PRINTER_INFO_2A*>(after.data());
    EXPECT_STREQ("Korun comment", now->pComment);
    EXPECT_STREQ("NT EMF 1.008", now->pDatatype);

    // The printer's driver at level 2, for the local environment.
    needed = kPoison;
    SetLastError(kPoison);
    EXPECT_FALSE(GetPrinterDriverA(h, NULL, 2, NULL, 0, &needed));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    std::vector<BYTE> d(needed, 0xBD);
    ASSERT_TRUE(GetPrinterDriverA(h, NULL, 2, d.data(), needed, &needed));
    auto* driver = reinterpret_cast<DRIVER_INFO_2A*>(d.data());
    EXPECT_EQ(3u, driver->cVersion);
    EXPECT_STREQ(kDriver, driver->pName);
    EXPECT_STREQ("Windows x64", driver->pEnvironment);
    const std::string path = driver->pDriverPath;
    EXPECT_TRUE(path.size() > 11 && SameText(path.substr(path.size() - 11).c_str(), "\\wineps.drv")) << path;

    // While the printer uses its driver, Windows (and simwin) refuse to delete the driver with 3001; Wine
    // deletes it anyway, so that is checked on simwin only.

    SetLastError(kPoison);
    EXPECT_TRUE(DeletePrinter(h));
    EXPECT_TRUE(ClosePrinter(h));  // the handle stays open until it is closed
    HANDLE gone = NULL;
    SetLastError(kPoison);
    EXPECT_FALSE(OpenPrinterA(S(kPrinter), &gone, NULL));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PRINTER_NAME), GetLastError());
    EXPECT_TRUE(DeletePrinterDriverA(NULL, NULL, S(kDriver)));
}

TEST_F(SpoolerConformance, MonitorAddedThenDeleted) {
    // localspl.dll holds the local port monitor on Windows and under Wine.
    MONITOR_INFO_2A monitor = {S(kMonitor), NULL, S("localspl.dll")};
    ASSERT_TRUE(AddMonitorA(NULL, 2, reinterpret_cast<LPBYTE>(&monitor))) << GetLastError();
    SetLastError(kPoison);
    EXPECT_FALSE(AddMonitorA(NULL, 2, reinterpret_cast<LPBYTE>(&monitor)));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PRINT_MONITOR_ALREADY_INSTALLED), GetLastError());
    SetLastError(kPoison);
    EXPECT_TRUE(DeleteMonitorA(NULL, NULL, S(kMonitor)));
    SetLastError(kPoison);
    EXPECT_FALSE(DeleteMonitorA(NULL, NULL, S(kMonitor)));
    EXPECT_EQ(static_cast<DWORD>(ERROR_UNKNOWN_PRINT_MONITOR), GetLastError());
    // A monitor in use (3008) and an unknown environment (1805) are simwin only: Wine checks neither.
}

// The spooler loads a monitor's library from the system directory: one that is not there cannot be added.
TEST_F(SpoolerConformance, MonitorOfAMissingLibraryIsRefused) {
    MONITOR_INFO_2A monitor = {S(kMonitor), NULL, S("korun_no_such_monitor.dll")};
    SetLastError(kPoison);
    EXPECT_FALSE(AddMonitorA(NULL, 2, reinterpret_cast<LPBYTE>(&monitor)));
    EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), GetLastError());
    SetLastError(kPoison);
    EXPECT_FALSE(DeleteMonitorA(NULL, NULL, S(kMonitor)));  // nothing was installed
    EXPECT_EQ(static_cast<DWORD>(ERROR_UNKNOWN_PRINT_MONITOR), GetLastError());
}

TEST_F(SpoolerConformance, PrintProcessorsSizeQueryThenFetch) {
    std::vector<std::string> names =
        Names<PRINTPROCESSOR_INFO_1A>(EnumPrintProcessorsA, NULL, 1, &PRINTPROCESSOR_INFO_1A::pName);
    EXPECT_TRUE(Contains(names, "WinPrint"));
    DWORD needed = kPoison, returned = kPoison;
    SetLastError(kPoison);
    EXPECT_FALSE(EnumPrintProcessorsA(NULL, S("Windows 3.1"), 1, NULL, 0, &needed, &returned));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_ENVIRONMENT), GetLastError());
    SetLastError(kPoison);
    EXPECT_FALSE(EnumPrintProcessorsA(NULL, NULL, 2, NULL, 0, &needed, &returned));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_LEVEL), GetLastError());
    // DeletePrintProcessorA is a stub under Wine (TRUE, nothing removed): its answers are checked on simwin.
}

// EnumJobsA and SetJobA are stubs under Wine (FALSE, the last error left alone), and Wine's
// DeletePrinterConnectionA accepts a connection nobody made (TRUE, error 2): the jobs and the connections
// are checked on simwin only (tests/simwin/spooler_removal_test.cpp).

// The directory of the print processors: the size query, then a path that ends in the local
// environment's directory below "prtprocs".
TEST_F(SpoolerConformance, PrintProcessorDirectorySizeQueryThenPath) {
    DWORD needed = kPoison;
    SetLastError(kPoison);
    EXPECT_FALSE(GetPrintProcessorDirectoryA(NULL, NULL, 1, NULL, 0, &needed));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    ASSERT_GT(needed, 1u);
    ASSERT_LT(needed, 1000u);
    std::vector<char> dir(needed, '\xbd');
    ASSERT_TRUE(GetPrintProcessorDirectoryA(NULL, NULL, 1, reinterpret_cast<LPBYTE>(dir.data()), needed, &needed));
    const std::string path = dir.data();
    // Wine reports the size of the wide string (twice as many bytes); the common part: room for the path.
    EXPECT_GE(static_cast<size_t>(needed), path.size() + 1);
    const std::string tail = "\\prtprocs\\x64";
    EXPECT_TRUE(path.size() > tail.size() && SameText(path.substr(path.size() - tail.size()).c_str(), tail.c_str()))
        << path;
    SetLastError(kPoison);
    EXPECT_FALSE(GetPrintProcessorDirectoryA(NULL, S("Windows 3.1"), 1, reinterpret_cast<LPBYTE>(dir.data()),
                                             needed, &needed));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_ENVIRONMENT), GetLastError());
}

namespace {

const char kRichDriver[] = "Korun Conformance Driver 8";

// Installs a driver of level 8 with a help file and two dependent files (one the PPD, shared with the data
// file), all in the local driver directory.
bool InstallRichDriver() {
    if (!InstallDriver(NULL)) return false;  // its files: wineps.drv and the PPD
    const std::string dir = DriverDirectory(NULL);
    if (!WriteTextFile(dir + "\\korun_conf.hlp", "help") || !WriteTextFile(dir + "\\korun_dep.dll", "dep"))
        return false;
    DRIVER_INFO_8A driver;
    std::memset(&driver, 0, sizeof driver);
    driver.cVersion = 3;
    driver.pName = S(kRichDriver);
    driver.pDriverPath = S("wineps.drv");
    driver.pConfigFile = S("wineps.drv");
    driver.pDataFile = S("korun_conf.ppd");
    driver.pHelpFile = S("korun_conf.hlp");
    driver.pDependentFiles = S("korun_dep.dll\0korun_conf.ppd\0");
    driver.pDefaultDataType = S("RAW");
    return AddPrinterDriverExA(NULL, 8, reinterpret_cast<LPBYTE>(&driver), APD_COPY_NEW_FILES) != FALSE;
}

bool EndsWith(const char* text, const char* tail) {
    if (!text) return false;
    const size_t n = std::strlen(text), t = std::strlen(tail);
    return n >= t && SameText(text + n - t, tail);
}

// The records of an enumeration of the server (EnumPortsA, EnumMonitorsA): a size query with poisoned
// outputs, a buffer one byte short, then the fetch into a buffer of exactly the size reported.
template <typename Enum>
std::vector<BYTE> ServerRecords(Enum enumerate, DWORD level, DWORD& returned) {
    DWORD needed = kPoison;
    returned = kPoison;
    SetLastError(kPoison);
    EXPECT_FALSE(enumerate(NULL, level, NULL, 0, &needed, &returned));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    std::vector<BYTE> buffer(needed, 0xBD);
    DWORD again = kPoison;
    EXPECT_FALSE(enumerate(NULL, level, buffer.data(), needed - 1, &again, &returned));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ(needed, again);
    EXPECT_TRUE(enumerate(NULL, level, buffer.data(), needed, &again, &returned));
    return buffer;
}

}  // namespace

// A driver's files and texts at levels 3, 6 and 8, as installed at level 8: full paths ending in the names
// given (Windows and Wine move the files into the version-3 folder, simwin leaves them where they lie), the
// dependent files as a double-NUL list, no help file or dependent files where none were given. The texts of
// levels 6 and 8 (manufacturer, provider, processor, INF) are not compared: Wine drops them.
TEST_F(SpoolerConformance, DriverLevelsThreeSixAndEight) {
    ASSERT_TRUE(InstallRichDriver()) << GetLastError();
    for (DWORD level : {3u, 6u, 8u}) {
        SCOPED_TRACE(level);
        DWORD needed = kPoison, returned = kPoison;
        SetLastError(kPoison);
        EXPECT_FALSE(EnumPrinterDriversA(NULL, NULL, level, NULL, 0, &needed, &returned));
        EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
        std::vector<BYTE> b(needed, 0xBD);
        ASSERT_TRUE(EnumPrinterDriversA(NULL, NULL, level, b.data(), needed, &needed, &returned));
        const size_t record = level == 3 ? sizeof(DRIVER_INFO_3A) : level == 6 ? sizeof(DRIVER_INFO_6A) : sizeof(DRIVER_INFO_8A);
        const DRIVER_INFO_3A* rich = nullptr;
        const DRIVER_INFO_3A* plain = nullptr;
        for (DWORD i = 0; i < returned; ++i) {
            const auto* d = reinterpret_cast<const DRIVER_INFO_3A*>(b.data() + i * record);  // levels 6 and 8 begin as 3
            if (SameText(d->pName, kRichDriver)) rich = d;
            if (SameText(d->pName, kDriver)) plain = d;
        }
        ASSERT_NE(rich, nullptr);
        ASSERT_NE(plain, nullptr);
        EXPECT_EQ(3u, rich->cVersion);
        EXPECT_TRUE(EndsWith(rich->pDriverPath, "\\wineps.drv")) << rich->pDriverPath;
        EXPECT_TRUE(EndsWith(rich->pDataFile, "\\korun_conf.ppd")) << rich->pDataFile;
        EXPECT_TRUE(EndsWith(rich->pConfigFile, "\\wineps.drv")) << rich->pConfigFile;
        ASSERT_NE(rich->pHelpFile, nullptr);
        EXPECT_TRUE(EndsWith(rich->pHelpFile, "\\korun_conf.hlp")) << rich->pHelpFile;
        ASSERT_NE(rich->pDependentFiles, nullptr);
        std::vector<std::string> dependents;
        for (const char* f = rich->pDependentFiles; *f; f += std::strlen(f) + 1) dependents.push_back(f);
        ASSERT_EQ(2u, dependents.size());
        EXPECT_TRUE(EndsWith(dependents[0].c_str(), "\\korun_dep.dll")) << dependents[0];
        EXPECT_TRUE(EndsWith(dependents[1].c_str(), "\\korun_conf.ppd")) << dependents[1];
        EXPECT_STREQ("RAW", rich->pDefaultDataType);
        EXPECT_EQ(nullptr, plain->pHelpFile);
        EXPECT_EQ(nullptr, plain->pDependentFiles);
        ASSERT_NE(plain->pMonitorName, nullptr);
        EXPECT_STREQ("", plain->pMonitorName);
    }
    SetLastError(kPoison);
    DWORD needed = 0, returned = 0;
    EXPECT_FALSE(EnumPrinterDriversA(NULL, NULL, 7, NULL, 0, &needed, &returned));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_LEVEL), GetLastError());

    // The same through a printer that uses the driver (GetPrinterDriverA, level 8).
    PRINTER_INFO_2A info;
    std::memset(&info, 0, sizeof info);
    info.pPrinterName = S("Korun Conformance Printer 8");
    info.pPortName = S("FILE:");
    info.pDriverName = S(kRichDriver);
    info.pPrintProcessor = S("WinPrint");
    info.pDatatype = S("RAW");
    HANDLE h = AddPrinterA(NULL, 2, reinterpret_cast<LPBYTE>(&info));
    ASSERT_NE(h, nullptr) << GetLastError();
    needed = kPoison;
    SetLastError(kPoison);
    EXPECT_FALSE(GetPrinterDriverA(h, NULL, 8, NULL, 0, &needed));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    std::vector<BYTE> b(needed, 0xBD);
    ASSERT_TRUE(GetPrinterDriverA(h, NULL, 8, b.data(), needed, &needed));
    const auto* d = reinterpret_cast<const DRIVER_INFO_8A*>(b.data());
    EXPECT_STREQ(kRichDriver, d->pName);
    EXPECT_TRUE(EndsWith(d->pHelpFile, "\\korun_conf.hlp"));
    ASSERT_NE(d->pDependentFiles, nullptr);
    EXPECT_TRUE(EndsWith(d->pDependentFiles, "\\korun_dep.dll")) << d->pDependentFiles;
    EXPECT_TRUE(DeletePrinter(h));
    ClosePrinter(h);
    EXPECT_TRUE(DeletePrinterDriverA(NULL, NULL, S(kRichDriver)));
    EXPECT_TRUE(DeletePrinterDriverA(NULL, NULL, S(kDriver)));
}

// The ports of the local monitor at levels 1 and 2, and a port added to it with AddPortExA. Windows names the
// monitor of LPT1: "Local Port"; Wine names it "Local Monitor" (its description is "Local Port" on both).
TEST_F(SpoolerConformance, PortsOfTheLocalMonitorAndAnAddedOne) {
    const std::string name = "KORUN" + std::to_string(GetTickCount()) + ":";  // a port a run before left stays
    const char* kPort = name.c_str();
    PORT_INFO_1A added = {S(kPort)};
    SetLastError(kPoison);
    ASSERT_TRUE(AddPortExA(NULL, 1, reinterpret_cast<LPBYTE>(&added), S("Local Port"))) << GetLastError();
    SetLastError(kPoison);
    EXPECT_FALSE(AddPortExA(NULL, 1, reinterpret_cast<LPBYTE>(&added), S("Local Port")));  // it exists now
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    PORT_INFO_1A other = {S("KORUNCF2:")};
    SetLastError(kPoison);
    EXPECT_FALSE(AddPortExA(NULL, 1, reinterpret_cast<LPBYTE>(&other), S("Korun No Such Monitor")));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());

    DWORD returned = 0;
    std::vector<BYTE> one = ServerRecords(EnumPortsA, 1, returned);
    std::vector<std::string> names;
    for (DWORD i = 0; i < returned; ++i) names.push_back(reinterpret_cast<PORT_INFO_1A*>(one.data())[i].pName);
    for (const char* port : {"LPT1:", "COM1:", "FILE:", kPort}) EXPECT_TRUE(Contains(names, port)) << port;
    EXPECT_FALSE(Contains(names, "KORUNCF2:"));

    std::vector<BYTE> two = ServerRecords(EnumPortsA, 2, returned);
    const PORT_INFO_2A* lpt1 = nullptr;
    for (DWORD i = 0; i < returned; ++i) {
        const auto* p = reinterpret_cast<const PORT_INFO_2A*>(two.data()) + i;
        if (SameText(p->pPortName, "LPT1:")) lpt1 = p;
    }
    ASSERT_NE(lpt1, nullptr);
    // Windows names the local monitor "Local Port"; Wine's localspl says it in the process's language (under the
    // Japanese locale of the checks, in Japanese), so there only that a name is given is checked.
    if (UnderWine()) {
        EXPECT_NE('\0', lpt1->pMonitorName[0]);
    } else {
        EXPECT_TRUE(SameText(lpt1->pMonitorName, "Local Port") || SameText(lpt1->pMonitorName, "Local Monitor"))
            << lpt1->pMonitorName;
        EXPECT_STREQ("Local Port", lpt1->pDescription);
    }
    EXPECT_TRUE(lpt1->fPortType & PORT_TYPE_WRITE);

    DWORD needed = kPoison;
    SetLastError(kPoison);
    EXPECT_FALSE(EnumPortsA(NULL, 3, NULL, 0, &needed, &returned));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_LEVEL), GetLastError());
    // AddPortExA at level 2 is refused with ERROR_INVALID_LEVEL by Windows's local monitor and crashes Wine's:
    // simwin only (tests/simwin/spooler_test.cpp).
}

// The monitors at levels 1 and 2: the local monitor and its library. (Windows lists it for "Windows x64",
// Wine for "Windows NT x86": the environment is not compared.)
TEST_F(SpoolerConformance, MonitorsWithTheirLibraries) {
    DWORD returned = 0;
    std::vector<BYTE> one = ServerRecords(EnumMonitorsA, 1, returned);
    std::vector<std::string> names;
    for (DWORD i = 0; i < returned; ++i) names.push_back(reinterpret_cast<MONITOR_INFO_1A*>(one.data())[i].pName);
    EXPECT_TRUE(Contains(names, "Local Port"));

    std::vector<BYTE> two = ServerRecords(EnumMonitorsA, 2, returned);
    bool found = false;
    for (DWORD i = 0; i < returned; ++i) {
        const auto* m = reinterpret_cast<const MONITOR_INFO_2A*>(two.data()) + i;
        if (!SameText(m->pName, "Local Port")) continue;
        found = true;
        EXPECT_TRUE(SameText(m->pDLLName, "localspl.dll")) << m->pDLLName;
        ASSERT_NE(m->pEnvironment, nullptr);
    }
    EXPECT_TRUE(found);
    DWORD needed = kPoison;
    SetLastError(kPoison);
    EXPECT_FALSE(EnumMonitorsA(NULL, 3, NULL, 0, &needed, &returned));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_LEVEL), GetLastError());
}

// A print processor installed from a library in the print-processor directory is listed and has its registry
// key with the library as Driver, as Windows keeps it. (Refusals of a processor installed already or of a
// missing library are simwin only: Wine accepts both; DeletePrintProcessorA is a stub there.)
TEST_F(SpoolerConformance, PrintProcessorAddedWithItsKey) {
    char dir[MAX_PATH] = "";
    DWORD needed = 0;
    ASSERT_TRUE(GetPrintProcessorDirectoryA(NULL, NULL, 1, reinterpret_cast<LPBYTE>(dir), sizeof dir, &needed));
    ASSERT_TRUE(WriteTextFile(std::string(dir) + "\\korunproc.dll", "placeholder"));
    const std::string name = "KorunProc" + std::to_string(GetTickCount());
    SetLastError(kPoison);
    ASSERT_TRUE(AddPrintProcessorA(NULL, NULL, S("korunproc.dll"), S(name.c_str()))) << GetLastError();
    std::vector<std::string> names =
        Names<PRINTPROCESSOR_INFO_1A>(EnumPrintProcessorsA, NULL, 1, &PRINTPROCESSOR_INFO_1A::pName);
    EXPECT_TRUE(Contains(names, name.c_str()));
    HKEY key = NULL;
    const std::string path = "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64\\Print Processors\\" + name;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key));
    char library[MAX_PATH] = "";
    DWORD size = sizeof library, type = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "Driver", NULL, &type, reinterpret_cast<LPBYTE>(library), &size));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_STREQ("korunproc.dll", library);
    RegCloseKey(key);
    SetLastError(kPoison);
    EXPECT_FALSE(AddPrintProcessorA(NULL, S("Windows 3.1"), S("korunproc.dll"), S(name.c_str())));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_ENVIRONMENT), GetLastError());
    DeletePrintProcessorA(NULL, NULL, S(name.c_str()));
}

// A printer added with every field of level 2 keeps them, and its printer data of each type comes back with
// its type. (Wine leaves PRINTER_ATTRIBUTE_LOCAL out of what it was given; only the given bits are compared.)
TEST_F(SpoolerConformance, PrinterLevel2KeepsEveryFieldAndItsData) {
    ASSERT_TRUE(InstallDriver(NULL)) << GetLastError();
    PRINTER_INFO_2A info;
    std::memset(&info, 0, sizeof info);
    info.pPrinterName = S("Korun Conformance Full Printer");
    info.pPortName = S("FILE:");
    info.pDriverName = S(kDriver);
    info.pPrintProcessor = S("WinPrint");
    info.pDatatype = S("RAW");
    info.pShareName = S("korunfull");
    info.pComment = S("a comment");
    info.pLocation = S("Room 2");
    info.pSepFile = S("korun.sep");
    info.pParameters = S("-duplex");
    info.Attributes = PRINTER_ATTRIBUTE_QUEUED;
    info.Priority = 7;
    info.DefaultPriority = 3;
    HANDLE h = AddPrinterA(NULL, 2, reinterpret_cast<LPBYTE>(&info));
    ASSERT_NE(h, nullptr) << GetLastError();
    DWORD needed = 0;
    GetPrinterA(h, 2, NULL, 0, &needed);
    std::vector<BYTE> b(needed, 0xBD);
    ASSERT_TRUE(GetPrinterA(h, 2, b.data(), needed, &needed));
    const auto* p = reinterpret_cast<const PRINTER_INFO_2A*>(b.data());
    EXPECT_STREQ("korunfull", p->pShareName);
    EXPECT_STREQ("a comment", p->pComment);
    EXPECT_STREQ("Room 2", p->pLocation);
    EXPECT_STREQ("korun.sep", p->pSepFile);
    EXPECT_STREQ("-duplex", p->pParameters);
    EXPECT_TRUE(p->Attributes & PRINTER_ATTRIBUTE_QUEUED);
    EXPECT_EQ(7u, p->Priority);
    EXPECT_EQ(3u, p->DefaultPriority);

    const DWORD number = 42;
    EXPECT_EQ(ERROR_SUCCESS, SetPrinterDataA(h, S("KorunText"), REG_SZ, (LPBYTE) "hello", 6));
    EXPECT_EQ(ERROR_SUCCESS, SetPrinterDataA(h, S("KorunNumber"), REG_DWORD, (LPBYTE)&number, 4));
    DWORD type = kPoison;
    char text[16] = "";
    EXPECT_EQ(ERROR_SUCCESS, GetPrinterDataA(h, S("KorunText"), &type, (LPBYTE)text, sizeof text, &needed));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(6u, needed);
    EXPECT_STREQ("hello", text);
    DWORD back = 0;
    EXPECT_EQ(ERROR_SUCCESS, GetPrinterDataA(h, S("KorunNumber"), &type, (LPBYTE)&back, sizeof back, &needed));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    EXPECT_EQ(42u, back);
    // The same values by index, up to ERROR_NO_MORE_ITEMS (other values the spooler keeps may come too).
    std::vector<std::string> names;
    for (DWORD index = 0; index < 64; ++index) {
        char name[256] = "";
        BYTE data[256];
        DWORD nameNeeded = 0, dataNeeded = 0;
        const DWORD result = EnumPrinterDataA(h, index, name, sizeof name, &nameNeeded, &type, data, sizeof data, &dataNeeded);
        if (result == ERROR_NO_MORE_ITEMS) break;
        ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), result);
        names.push_back(name);
    }
    if (UnderWine()) {
        // Wine's EnumPrinterDataA is a stub: it lists nothing.
        EXPECT_TRUE(names.empty());
    } else {
        EXPECT_NE(names.end(), std::find(names.begin(), names.end(), std::string("KorunText")));
        EXPECT_NE(names.end(), std::find(names.begin(), names.end(), std::string("KorunNumber")));
    }
    // All at once from the "PrinterDriverData" key: Wine too lists them so.
    DWORD count = 0;
    EXPECT_EQ(static_cast<DWORD>(ERROR_MORE_DATA), EnumPrinterDataExA(h, "PrinterDriverData", NULL, 0, &needed, &count));
    std::vector<BYTE> all(needed);
    ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), EnumPrinterDataExA(h, "PrinterDriverData", all.data(), needed, &needed, &count));
    std::map<std::string, std::string> listed;
    for (DWORD i = 0; i < count; ++i) {
        const auto& v = reinterpret_cast<const PRINTER_ENUM_VALUESA*>(all.data())[i];
        std::string data(reinterpret_cast<const char*>(v.pData), v.cbData);
        // Wine gives a text value's size as its UTF-16 size (12 for "hello"): the text ends at its NUL.
        if (v.dwType == REG_SZ && UnderWine()) data.erase(std::min(data.size(), data.find('\0') + 1));
        listed[v.pValueName] = std::to_string(v.dwType) + ":" + data;
    }
    EXPECT_EQ(std::string("1:hello") + '\0', listed["KorunText"]);
    EXPECT_EQ(std::string("4:") + std::string(reinterpret_cast<const char*>(&number), 4), listed["KorunNumber"]);
    EXPECT_TRUE(DeletePrinter(h));
    ClosePrinter(h);
    EXPECT_TRUE(DeletePrinterDriverA(NULL, NULL, S(kDriver)));
}
