// win.ini's [windows], [Devices] and [PrinterPorts] in the user's registry on the NT family: the profile
// functions, and a machine directory's win.ini read at load and written back where it came from.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "simwin/machine.h"
#include "simwin/win32.h"
#include "support/temp_machine.h"

namespace {

const std::string kCurrentVersion = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\";
const std::string kWindowsKey = kCurrentVersion + "Windows";

std::string ProfileString(const char* section, const char* key, const char* file = nullptr) {
    char text[256];
    std::memset(text, 0xbd, sizeof text);
    DWORD n = file ? GetPrivateProfileStringA(section, key, "dflt", text, sizeof text, file)
                   : GetProfileStringA(section, key, "dflt", text, sizeof text);
    return std::string(text, text + n + (key ? 0 : 1));
}

TEST(IniMapping, TheMappedSectionsAndOnlyThemAreRegistryKeys) {
    struct Case {
        const char* file;
        const char* section;
        const char* key;  // "" for a section that stays in the file
    };
    const Case cases[] = {
        {"win.ini", "windows", "Windows"},
        {"WIN.INI", " Devices ", "Devices"},
        {"C:\\Windows\\win.ini", "printerports", "PrinterPorts"},
        {"D:\\elsewhere\\Win.ini", "windows", "Windows"},  // the file's name decides, not its directory
        {"win.ini", "Desktop", ""},
        {"system.ini", "windows", ""},
        {"mywin.ini", "windows", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " [" + c.section + "]");
        EXPECT_EQ(*c.key ? kCurrentVersion + c.key : "", simwin::mappedProfileKey(simwin::Platform::Nt, c.file, c.section));
        EXPECT_EQ("", simwin::mappedProfileKey(simwin::Platform::Win9x, c.file, c.section));
        EXPECT_EQ("", simwin::mappedProfileKey(simwin::Platform::Win32s, c.file, c.section));
    }
}

TEST(IniMapping, ProfileCallsOnTheNtFamilyReadAndWriteTheRegistry) {
    simwin::Machine m;
    simwin::MachineScope scope(m);
    m.files.writeFile("C:\\Windows\\win.ini", "[windows]\r\ndevice=Old,winspool,LPT1:\r\n[Desktop]\r\nWallpaper=x\r\n");
    const std::string fileBefore = m.files.read("C:\\Windows\\win.ini");

    EXPECT_EQ("dflt", ProfileString("windows", "device"));  // the file's line is not what the registry holds
    ASSERT_TRUE(WriteProfileStringA("windows", "device", "Office,winspool,LPT2:"));
    EXPECT_EQ("Office,winspool,LPT2:", m.registry.getString(kWindowsKey, "device"));
    EXPECT_EQ("Office,winspool,LPT2:", ProfileString("Windows", "DEVICE"));
    EXPECT_EQ("Office,winspool,LPT2:", ProfileString("windows", "device", "C:\\Windows\\win.ini"));
    ASSERT_TRUE(WriteProfileStringA("windows", "Load", "a.exe"));
    EXPECT_EQ(std::string("device\0Load\0\0", 13), ProfileString("windows", nullptr));
    EXPECT_EQ(5u, GetProfileIntA("windows", "Missing", 5));
    m.registry.setDword(kWindowsKey, "Number", 7);  // only text values are profile values
    EXPECT_EQ("dflt", ProfileString("windows", "Number"));
    char section[128];
    EXPECT_EQ(40u, GetPrivateProfileSectionA("windows", section, sizeof section, "win.ini"));
    EXPECT_EQ(std::string("device=Office,winspool,LPT2:\0Load=a.exe\0\0", 41), std::string(section, 41));
    // Section names: the file's, then the mapped keys that exist.
    EXPECT_EQ(std::string("windows\0Desktop\0\0", 17), ProfileString(nullptr, nullptr));

    ASSERT_TRUE(WriteProfileStringA("windows", "Load", nullptr));
    EXPECT_FALSE(m.registry.hasValue(kWindowsKey, "Load"));
    ASSERT_TRUE(WriteProfileStringA("Devices", "Office", "winspool,LPT2:"));
    ASSERT_TRUE(WriteProfileStringA("Devices", nullptr, nullptr));  // every value goes, the key stays
    EXPECT_NE(nullptr, m.registry.find(kCurrentVersion + "Devices"));
    EXPECT_FALSE(m.registry.hasValue(kCurrentVersion + "Devices", "Office"));

    // An unmapped section of the same file is the file's.
    EXPECT_EQ("x", ProfileString("Desktop", "Wallpaper"));
    ASSERT_TRUE(WriteProfileStringA("Desktop", "Wallpaper", "y"));
    EXPECT_NE(std::string::npos, m.files.read("C:\\Windows\\win.ini").find("Wallpaper=y"));
    EXPECT_NE(std::string::npos, m.files.read("C:\\Windows\\win.ini").find("device=Old,winspool,LPT1:"));
}

TEST(IniMapping, TheOtherPlatformsKeepWinIniAFile) {
    for (simwin::Platform p : {simwin::Platform::Win9x, simwin::Platform::Win32s}) {
        SCOPED_TRACE(simwin::platformName(p));
        simwin::Machine m(p);
        simwin::MachineScope scope(m);
        ASSERT_TRUE(WriteProfileStringA("windows", "device", "Office,VX,LPT1:"));
        EXPECT_EQ("[windows]\r\ndevice=Office,VX,LPT1:\r\n", m.files.read("C:\\WINDOWS\\win.ini"));
        EXPECT_EQ(nullptr, m.registry.find(kWindowsKey));
    }
}

// A machine directory's win.ini: its mapped lines are read into the registry where the registry has no value
// of that name; a save leaves out what the run did not change, so that the directory saves as it was.
TEST(IniMapping, WinIniLinesOfAMachineDirectoryGoBackWhereTheyCameFrom) {
    const std::string winIni = "[windows]\r\ndevice=Labels,winspool,USB002\r\nload=\r\n[Devices]\r\nLabels=winspool,USB002\r\n";
    struct Case {
        const char* what;
        std::string registry;       // registry.reg of the directory ("" for none)
        const char* change;         // the run's new default device, or null
        std::string deviceAfterLoad;
        bool windowsKeySaved;       // whether registry.reg names the Windows key after the save
    };
    const std::string regDevice = "Windows Registry Editor Version 5.00\n\n[" + kWindowsKey +
                                  "]\n\"Device\"=\"Office,winspool,LPT1:\"\n";
    const Case cases[] = {
        {"no registry, nothing changed", "", nullptr, "Labels,winspool,USB002", false},
        {"no registry, a new default", "", "Office,winspool,LPT1:", "Labels,winspool,USB002", true},
        {"the registry names a default already", regDevice, nullptr, "Office,winspool,LPT1:", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testmachine::TempDir in, out;
        testmachine::WriteFile(in.path / "machine.ini", "[system]\nplatform = nt\n");
        testmachine::WriteFile(in.path / "drive/C/Windows/win.ini", winIni);
        if (!c.registry.empty()) testmachine::WriteFile(in.path / "registry.reg", c.registry);
        auto m = simwin::Machine::load(in.path.string());
        {
            simwin::MachineScope scope(*m);
            EXPECT_EQ(c.deviceAfterLoad, ProfileString("windows", "device"));
            EXPECT_EQ("winspool,USB002", ProfileString("Devices", "Labels"));
            if (c.change) {
                ASSERT_TRUE(WriteProfileStringA("windows", "device", c.change));
            }
        }
        m->save(out.path.string());
        const std::string saved = testmachine::ReadFile(out.path / "registry.reg");
        EXPECT_EQ(winIni, testmachine::ReadFile(out.path / "drive/C/Windows/win.ini"));
        EXPECT_EQ(std::string::npos, saved.find("\\Devices]")) << saved;
        EXPECT_EQ(c.windowsKeySaved, saved.find(kWindowsKey + "]") != std::string::npos) << saved;
        EXPECT_EQ(std::string::npos, saved.find("Labels,winspool")) << saved;
        if (c.change) {
            EXPECT_NE(std::string::npos, saved.find(c.change)) << saved;
        } else if (c.registry.empty()) {
            EXPECT_EQ(std::string::npos, saved.find("Windows NT")) << saved;  // nor the keys made for the lines
        }
        // Loaded again, the saved machine is the same machine.
        auto again = simwin::Machine::load(out.path.string());
        simwin::MachineScope scope(*again);
        EXPECT_EQ(c.change ? c.change : c.deviceAfterLoad, ProfileString("windows", "device"));
    }
}

}  // namespace
