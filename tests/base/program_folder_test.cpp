// The elevated program and the folder it runs from: run from a folder a user can write, nothing beside
// it (an uninstall script, the default script's "Strings", a hook library) is taken; from any other
// folder everything is as it always was. And every library the tool loads by name comes from the
// system directory, whatever lies beside the program.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/library_loading.h"
#include "base/program_folder.h"
#include "support/temp_machine.h"
#include "support/tool_run.h"

namespace {

// The family's script in the driver directory names a hook library that lies only beside the tool; the
// script beside the tool names a file of its own and the USB device of the printer.
const char kDriverScript[] =
    "[UnPrinterDrivers]\r\n\"Vestral X Driver\",VXDRV,1\r\n[VXDRV.Files]\r\nvxdrv.dll\r\n"
    "[VXDRV.Hooks]\r\nvxhook.dll,Uninstall\r\n";
const char kBesideScript[] =
    "[UnPrinterDrivers]\r\n\"Vestral Y Driver\",VYDRV,1\r\n[VYDRV.Files]\r\nvictim.dll\r\n"
    "[Strings]\r\nHARDWARE_ID_1=USBPRINT\\VESTRALX\r\nUSB_VID=2748\r\nUSB_PID=18\r\n";

struct FolderCase {
    const char* platform;
    const char* program;  // the tool's own path
    bool trusted;         // its folder serves as a place for scripts, Strings and hooks
};

const FolderCase kFolders[] = {
    {"nt", "C:\\Program Files\\Vestral\\korun04.exe", true},
    {"nt", "C:\\Tools\\korun04.exe", true},
    {"nt", "C:\\Users.old\\korun04.exe", true},  // only begins like the profiles' folder
    {"nt", "C:\\Users\\Admin\\Downloads\\korun04.exe", false},
    {"nt", "C:\\Users\\Admin\\Desktop\\korun04.exe", false},
    {"nt", "C:\\users\\PUBLIC\\Desktop\\korun04.exe", false},  // another profile, another letter case
    {"nt", "C:\\Users\\Admin\\AppData\\Local\\Temp\\x\\korun04.exe", false},
    {"nt", "C:\\Windows\\Temp\\korun04.exe", false},
    {"9x", "C:\\WINDOWS\\TEMP\\korun04.exe", true},  // the 9x class has no folders of users
};

std::string Dir(const std::string& path) { return path.substr(0, path.find_last_of('\\') + 1); }

// "C:\a\b" as the machine directory's "C/a/b".
std::string DriveFile(const std::string& path) {
    std::string out = path.substr(0, 1) + path.substr(2);
    for (char& c : out)
        if (c == '\\') c = '/';
    return out;
}

TEST(ProgramFolder, NothingBesideAToolInAUserFolderIsTaken) {
    for (const FolderCase& c : kFolders) {
        SCOPED_TRACE(c.program);
        const bool nt = std::string(c.platform) == "nt";
        const std::string drivers = nt ? "C:\\Windows\\System32\\spool\\drivers\\x64\\" : "C:\\WINDOWS\\SYSTEM\\";
        const std::string beside = Dir(c.program);
        const std::string ini =
            std::string("[system]\nplatform = ") + c.platform + "\nprogram = " + c.program +
            "\n[printer]\nname = Office\ndriver = Vestral X Driver\nport = LPT1:\ndata.VestralDriver04 = 1\n"
            "[driver]\nname = Vestral X Driver\n[library]\npath = " + beside + "vxhook.dll\nexport = Uninstall\n"
            "[device]\ninstance = USBPRINT\\VESTRALX\\1\nhardware = USBPRINT\\VESTRALX\n";
        auto m = testmachine::Load(ini, {{DriveFile(drivers + "Kunz__04.unm"), kDriverScript},
                                         {DriveFile(drivers + "vxdrv.dll"), "MZ"},
                                         {DriveFile(c.program), "MZ"},
                                         {DriveFile(beside + "Kunz__04.unm"), kBesideScript},
                                         {DriveFile(beside + "vxhook.dll"), "MZ"}});
        simwin::MachineScope scope(*m);
        EXPECT_EQ(c.trusted, ProgramFolderIsTrusted());
        // The 9x class always asks for the restart its spooler handling needs.
        EXPECT_EQ(nt ? 0 : 3010, toolrun::Run(*m, "/QUIET /SELECT:ALL"));

        const std::string log = m->files.read(nt ? toolrun::kDefaultLog : "C:\\WINDOWS\\TEMP\\korun04.log");
        const std::vector<toolrun::Line> lines = toolrun::Lines(log);
        EXPECT_EQ(c.trusted, toolrun::Has(lines, "loading", beside + "Kunz__04.unm | read"));
        EXPECT_EQ(c.trusted, !m->modules.hookCalls.empty());
        EXPECT_EQ(c.trusted, m->devices.findInstance("USBPRINT\\VESTRALX\\1") == nullptr);
        int said = 0;
        for (const toolrun::Line& l : lines) said += l.place == "run" && l.text.find("program folder | ") != std::string::npos;
        EXPECT_EQ(c.trusted ? 0 : 1, said);
        EXPECT_EQ(c.trusted ? 0u : 1u, toolrun::Items(lines, "hook", "refused").size());
        // The driver directory's own script is read wherever the tool runs.
        EXPECT_TRUE(toolrun::Has(lines, "loading", drivers + "Kunz__04.unm | read"));
    }
}

// A library of the program's folder that bears a system library's name is what Windows's classic order
// loads by that name; the tool's loads never take it.
struct SearchCase {
    const char* version;
    bool restricted;            // SetDefaultDllDirectories exists there
    const char* plainLoadFrom;  // where LoadLibraryA("mscms.dll") finds it after RestrictDllSearch
};

const SearchCase kSearches[] = {
    {"10.0", true, "C:\\Windows\\System32\\mscms.dll"},
    {"6.2", true, "C:\\Windows\\System32\\mscms.dll"},
    {"6.1", false, "C:\\Users\\Admin\\Downloads\\mscms.dll"},  // Windows 7 without its update: still beside
};

TEST(ProgramFolder, LibrariesLoadFromTheSystemDirectory) {
    for (const SearchCase& c : kSearches) {
        SCOPED_TRACE(c.version);
        auto m = testmachine::Load(std::string("[system]\nversion = ") + c.version +
                                       "\nprogram = C:\\Users\\Admin\\Downloads\\korun04.exe\n"
                                       "[library]\npath = C:\\Users\\Admin\\Downloads\\mscms.dll\nexport = GetColorDirectoryA\n",
                                   {{"C/Users/Admin/Downloads/mscms.dll", "MZ"}});
        simwin::MachineScope scope(*m);
        HMODULE planted = LoadLibraryA("mscms.dll");  // the classic order: the program's folder first
        char path[MAX_PATH] = "";
        GetModuleFileNameA(planted, path, sizeof path);
        EXPECT_STREQ("C:\\Users\\Admin\\Downloads\\mscms.dll", path);
        FreeLibrary(planted);

        EXPECT_EQ(c.restricted, RestrictDllSearch());
        HMODULE system = LoadSystemLibrary("mscms.dll");
        GetModuleFileNameA(system, path, sizeof path);
        EXPECT_STREQ("C:\\Windows\\System32\\mscms.dll", path);
        FreeLibrary(system);
        HMODULE plain = LoadLibraryA("mscms.dll");
        GetModuleFileNameA(plain, path, sizeof path);
        EXPECT_STREQ(c.plainLoadFrom, path);
        FreeLibrary(plain);
        // The current directory is no place for libraries any more, restricted or not.
        EXPECT_TRUE(c.restricted ? m->modules.defaultDirectories == LOAD_LIBRARY_SEARCH_SYSTEM32
                                 : m->modules.currentDirectoryRemoved);
        // A hook by its full path, wherever it lies; a bare name is no hook path.
        EXPECT_EQ(nullptr, LoadHookLibrary("vxhook.dll"));
    }
}

}  // namespace
