// What a restore puts back through Win32 calls: a print processor with its registry key, printer data of
// each type, a printer with every field of level 2, and the common application data folder a backup set
// lies in.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "simwin/win32.h"
#include "support/machine_directory.h"
#include "support/temp_machine.h"
#include "support/text_args.h"

using testmachine::Load;

namespace {

const DWORD kPoison = 0xdeadbeef;
const char kProcessorKey[] = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\";

using testmachine::Saved;
using textargs::S;

}  // namespace

TEST(RestoreParts, PrintProcessorsComeWithTheirKeys) {
    auto m = Load("", {{"C/Windows/System32/spool/prtprocs/x64/vstproc.dll", "p"},
                       {"C/Windows/System32/spool/prtprocs/W32X86/vstproc.dll", "p"}});
    simwin::MachineScope scope(*m);
    ASSERT_TRUE(AddPrintProcessorA(NULL, NULL, S("vstproc.dll"), S("VstProc")));
    ASSERT_TRUE(AddPrintProcessorA(NULL, S("Windows NT x86"), S("vstproc.dll"), S("VstProc")));
    const std::string key = std::string(kProcessorKey) + "Windows x64\\Print Processors\\VstProc";
    ASSERT_NE(nullptr, m->registry.value(key, "Driver"));
    EXPECT_EQ(std::string("vstproc.dll") + '\0',
              std::string(m->registry.value(key, "Driver")->data.begin(), m->registry.value(key, "Driver")->data.end()));
    struct Refusal {
        const char* environment;
        const char* library;
        const char* name;
        DWORD error;
    };
    const Refusal refusals[] = {
        {NULL, "vstproc.dll", "vstproc", ERROR_PRINT_PROCESSOR_ALREADY_INSTALLED},
        {NULL, "missing.dll", "Other", ERROR_MOD_NOT_FOUND},
        {"Windows 4.0", "vstproc.dll", "VstProc", ERROR_MOD_NOT_FOUND},  // not in that environment's directory
        {"Windows 3.1", "vstproc.dll", "Other", ERROR_INVALID_ENVIRONMENT},
        {NULL, "", "Other", ERROR_INVALID_PARAMETER},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.name);
        SetLastError(kPoison);
        EXPECT_FALSE(AddPrintProcessorA(NULL, S(r.environment), S(r.library), S(r.name)));
        EXPECT_EQ(r.error, GetLastError());
    }
    const std::string ini = Saved(*m);
    EXPECT_NE(std::string::npos, ini.find("name = VstProc\nenvironment = Windows NT x86\ndll = vstproc.dll\n")) << ini;

    // Deleted, the processor takes its key with it; the other environment's stays.
    ASSERT_TRUE(DeletePrintProcessorA(NULL, NULL, S("VstProc")));
    EXPECT_EQ(nullptr, m->registry.find(key));
    EXPECT_NE(nullptr, m->registry.find(std::string(kProcessorKey) + "Windows NT x86\\Print Processors\\VstProc"));
    auto user = Load("[system]\nadmin = no\n");
    simwin::MachineScope userScope(*user);
    EXPECT_FALSE(AddPrintProcessorA(NULL, NULL, S("winprint.dll"), S("Mine")));
    EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), GetLastError());
}

// Printer data of each type goes in with SetPrinterDataA and comes out with GetPrinterDataA; a handle without
// the right to administer the printer may not set it; the saved machine holds text as data.NAME and the
// other types as value.NAME.
TEST(RestoreParts, PrinterDataOfEachType) {
    auto m = Load("[driver]\nname = D\n[printer]\nname = P\ndriver = D\n");
    {
        simwin::MachineScope scope(*m);
        PRINTER_DEFAULTSA all = {NULL, NULL, PRINTER_ALL_ACCESS};
        HANDLE h = NULL;
        ASSERT_TRUE(OpenPrinterA(S("P"), &h, &all));
        const DWORD number = 0x2a;
        const BYTE blob[] = {1, 2, 0xff};
        EXPECT_EQ(0u, SetPrinterDataA(h, S("VestralDriver04"), REG_SZ, (LPBYTE) "1", 2));
        EXPECT_EQ(0u, SetPrinterDataA(h, S("Count"), REG_DWORD, (LPBYTE)&number, 4));
        EXPECT_EQ(0u, SetPrinterDataA(h, S("Blob"), REG_BINARY, const_cast<BYTE*>(blob), 3));
        EXPECT_EQ(0u, SetPrinterDataA(h, S("Count2"), REG_DWORD, (LPBYTE)&number, 4));
        EXPECT_EQ(0u, SetPrinterDataA(h, S("Count2"), REG_SZ, (LPBYTE) "now text", 9));  // a new type replaces
        struct Case {
            const char* name;
            DWORD type;
            std::string bytes;
        };
        const Case cases[] = {{"VestralDriver04", REG_SZ, std::string("1") + '\0'},
                              {"count", REG_DWORD, std::string("\x2a\0\0\0", 4)},
                              {"Blob", REG_BINARY, "\x01\x02\xff"},
                              {"Count2", REG_SZ, std::string("now text") + '\0'}};
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            DWORD type = kPoison, needed = kPoison;
            BYTE out[32];
            EXPECT_EQ(DWORD(ERROR_MORE_DATA), GetPrinterDataA(h, S(c.name), &type, out, 0, &needed));
            ASSERT_EQ(c.bytes.size(), needed);
            EXPECT_EQ(0u, GetPrinterDataA(h, S(c.name), &type, out, sizeof out, &needed));
            EXPECT_EQ(c.type, type);
            EXPECT_EQ(c.bytes, std::string(reinterpret_cast<char*>(out), needed));
        }
        EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), SetPrinterDataA(h, NULL, REG_SZ, (LPBYTE) "x", 2));
        ClosePrinter(h);
        ASSERT_TRUE(OpenPrinterA(S("P"), &h, NULL));
        EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), SetPrinterDataA(h, S("X"), REG_SZ, (LPBYTE) "x", 2));
        ClosePrinter(h);
    }
    const std::string ini = Saved(*m);
    EXPECT_NE(std::string::npos, ini.find("data.Count2 = now text\ndata.VestralDriver04 = 1\n"
                                          "value.Blob = 3:01,02,ff\nvalue.Count = 4:2a,00,00,00\n"))
        << ini;
    EXPECT_THROW(Load("[printer]\nname = P\nvalue.X = 4:2a,0\n"), simwin::MachineError);
    EXPECT_THROW(Load("[printer]\nname = P\nvalue.X = text\n"), simwin::MachineError);
}

// A printer removed and added again with the level-2 record it had is the same printer in the saved machine.
TEST(RestoreParts, APrinterAddedAgainIsTheSame) {
    auto m = Load("[driver]\nname = Vestral X Driver\n[processor]\nname = VstProc\n"
                  "[printer]\nname = Office\ndriver = Vestral X Driver\nport = USB001\nshare = office\n"
                  "comment = Second floor\nlocation = Room 2\nattributes = queued,shared,local,enable-bidi\n"
                  "processor = VstProc\ndatatype = NT EMF 1.008\nseparator = C:\\Windows\\System32\\pcl.sep\n"
                  "parameters = -duplex\npriority = 7\ndefaultpriority = 3\ndata.VestralDriver04 = 1\n");
    const std::string before = Saved(*m);
    simwin::MachineScope scope(*m);
    PRINTER_DEFAULTSA all = {NULL, NULL, PRINTER_ALL_ACCESS};
    HANDLE h = NULL;
    ASSERT_TRUE(OpenPrinterA(S("Office"), &h, &all));
    DWORD needed = 0;
    GetPrinterA(h, 2, NULL, 0, &needed);
    std::vector<BYTE> record(needed);
    ASSERT_TRUE(GetPrinterA(h, 2, record.data(), needed, &needed));
    ASSERT_TRUE(DeletePrinter(h));
    ClosePrinter(h);
    ASSERT_EQ(nullptr, m->spooler.find("Office"));

    HANDLE again = AddPrinterA(NULL, 2, record.data());
    ASSERT_NE(nullptr, again);
    EXPECT_EQ(0u, SetPrinterDataA(again, S("VestralDriver04"), REG_SZ, (LPBYTE) "1", 2));
    ClosePrinter(again);
    EXPECT_EQ(before, Saved(*m));
}

TEST(RestoreParts, CommonApplicationDataFolder) {
    struct Case {
        const char* machine;
        HRESULT result;
        const char* path;
    };
    const Case cases[] = {
        {"", S_OK, "C:\\ProgramData"},
        {"[system]\nplatform = 9x\n", E_FAIL, ""},
        {"[system]\nplatform = win32s\n", E_FAIL, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.machine);
        auto m = Load(c.machine);
        simwin::MachineScope scope(*m);
        char path[MAX_PATH] = "x";
        EXPECT_EQ(c.result, SHGetFolderPathA(NULL, CSIDL_COMMON_APPDATA, NULL, SHGFP_TYPE_CURRENT, path));
        EXPECT_STREQ(c.path, path);
        LPITEMIDLIST list = NULL;
        EXPECT_EQ(c.result, SHGetSpecialFolderLocation(NULL, CSIDL_COMMON_APPDATA, &list));
        if (list) {
            ASSERT_TRUE(SHGetPathFromIDListA(list, path));
            EXPECT_STREQ(c.path, path);
            std::free(list);
        }
    }
    // A missing folder: an error unless it is made or not looked for.
    simwin::Machine m;
    simwin::MachineScope scope(m);
    m.files.removeNode("C:\\ProgramData");
    char path[MAX_PATH];
    EXPECT_EQ(HRESULT(0x80070002), SHGetFolderPathA(NULL, CSIDL_COMMON_APPDATA, NULL, 0, path));
    EXPECT_EQ(S_OK, SHGetFolderPathA(NULL, CSIDL_COMMON_APPDATA | CSIDL_FLAG_DONT_VERIFY, NULL, 0, path));
    EXPECT_FALSE(m.files.exists("C:\\ProgramData"));
    EXPECT_EQ(S_OK, SHGetFolderPathA(NULL, CSIDL_COMMON_APPDATA | CSIDL_FLAG_CREATE, NULL, 0, path));
    EXPECT_TRUE(m.files.isDirectory("C:\\ProgramData"));
    EXPECT_EQ(E_INVALIDARG, SHGetFolderPathA(NULL, CSIDL_COMMON_APPDATA, NULL, 0, NULL));
}
