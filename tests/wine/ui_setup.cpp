// ui_setup.exe PPD: installs the printer the UI check expects the tool to list, with Win32 calls only:
// the driver "Vestral X Driver" (Wine's PostScript driver wineps.drv with the given .ppd, both copied into
// the printer-driver directory), the printer "Vestral Office" on "FILE:" and its printer data
// "VestralDriver04" = "1" that marks it as one of the family. Prints one line per step; exit status 1 on
// the first failure.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <winspool.h>

#include <cstdio>
#include <string>

namespace {

const char kDriver[] = "Vestral X Driver";
const char kPrinter[] = "Vestral Office";

int fail(const char* step) {
    std::printf("FAIL: %s: error %lu\n", step, GetLastError());
    return 1;
}

std::string fileName(const std::string& path) {
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::printf("usage: ui_setup.exe PPD_FILE\n");
        return 2;
    }
    char driverDir[MAX_PATH];
    DWORD needed = 0;
    if (!GetPrinterDriverDirectoryA(nullptr, nullptr, 1, reinterpret_cast<BYTE*>(driverDir), sizeof driverDir, &needed))
        return fail("GetPrinterDriverDirectoryA");
    char system[MAX_PATH];
    GetSystemDirectoryA(system, sizeof system);
    std::string ppd = fileName(argv[1]);
    std::string dir = driverDir;
    // Wine keeps its PostScript driver in the version-3 subdirectory of the driver directory (and in
    // older prefixes in the system directory).
    bool copied = false;
    for (std::string from : {dir + "\\3\\wineps.drv", std::string(system) + "\\wineps.drv"})
        copied = copied || CopyFileA(from.c_str(), (dir + "\\wineps.drv").c_str(), FALSE);
    if (!copied) return fail("copy wineps.drv into the driver directory");
    if (!CopyFileA(argv[1], (dir + "\\" + ppd).c_str(), FALSE)) return fail("copy the .ppd into the driver directory");

    DRIVER_INFO_3A driver = {};
    driver.cVersion = 3;
    driver.pName = const_cast<char*>(kDriver);
    driver.pDriverPath = const_cast<char*>("wineps.drv");
    driver.pConfigFile = const_cast<char*>("wineps.drv");
    driver.pDataFile = const_cast<char*>(ppd.c_str());
    if (!AddPrinterDriverExA(nullptr, 3, reinterpret_cast<BYTE*>(&driver), APD_COPY_NEW_FILES))
        return fail("AddPrinterDriverExA");
    std::printf("driver \"%s\" installed\n", kDriver);

    PRINTER_INFO_2A info = {};
    info.pPrinterName = const_cast<char*>(kPrinter);
    info.pPortName = const_cast<char*>("FILE:");
    info.pDriverName = const_cast<char*>(kDriver);
    info.pPrintProcessor = const_cast<char*>("WinPrint");
    info.pDatatype = const_cast<char*>("RAW");
    HANDLE printer = AddPrinterA(nullptr, 2, reinterpret_cast<BYTE*>(&info));
    if (!printer) return fail("AddPrinterA");
    const char one[] = "1";
    DWORD r = SetPrinterDataA(printer, const_cast<char*>("VestralDriver04"), REG_SZ,
                              reinterpret_cast<BYTE*>(const_cast<char*>(one)), sizeof one);
    ClosePrinter(printer);
    if (r != ERROR_SUCCESS) {
        SetLastError(r);
        return fail("SetPrinterDataA VestralDriver04");
    }
    std::printf("printer \"%s\" on FILE: installed, VestralDriver04 = 1\n", kPrinter);
    return 0;
}
