// Hostile scripts against the keeper's registry rules, run whole on machines their installers made: the
// family's printer "Office" goes while another maker's printer "Acme" stays, and the script names, beside the
// family's own keys, what Windows and Acme need. Each scenario makes the plan first (its [refused] section),
// then the unattended removal, and compares the machine before and after.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "removal/keeper_text.h"
#include "support/built_machine.h"
#include "support/machine_diff.h"
#include "support/tool_run.h"
#include "tools/korun04-sim/plan.h"

namespace {

namespace presets = built::presets;
const size_t npos = std::string::npos;
const char kLog[] = "C:\\hostile.log";

struct Attack {
    const char* category;  // the script's category
    std::string line;      // the script's line
    std::string item;      // what the log names: a key, an INI line as "PATH [SECTION] KEY", a file
    const char* rule;      // the rule that keeps it; "" : the family's own, it goes
};

Attack Key(const std::string& root, const std::string& subKey, const char* rule) {
    static const std::map<std::string, std::string> names = {{"HKLM", "HKEY_LOCAL_MACHINE"}, {"HKCU", "HKEY_CURRENT_USER"},
                                                             {"HKCR", "HKEY_CLASSES_ROOT"}, {"HKU", "HKEY_USERS"}};
    return {"RegistryKeys", root + ",\"" + subKey + "\",\"\",1", names.at(root) + "\\" + subKey, rule};
}

class HostileRegistry : public ::testing::Test {
protected:
    // The family's package with its printer Office, and Acme's package with its printer Acme, which stays.
    built::MachineBuilder& Machine(simwin::Platform platform) {
        b = std::make_unique<built::MachineBuilder>(platform);
        if (platform == simwin::Platform::Nt)
            b->Monitor(presets::VestralMonitor()).Processor(presets::VestralProcessor()).DriverPackage(presets::VestralX());
        else
            b->DriverPackage(built::Driver("Vestral X Driver", "VXDRV.DRV"));
        b->DriverPackage(platform == simwin::Platform::Nt ? presets::AcmeLaser() : built::Driver("Acme Laser Driver", "ACME.DRV", "Acme"))
            .Printer(built::FamilyPrinter("Office", "LPT1:", "Vestral X Driver", true))
            .Printer(built::PlainPrinter("Acme", "LPT2:", "Acme Laser Driver"));
        return *b;
    }

    bool Present(const std::string& item) const {
        if (item.rfind("HKEY_", 0) == 0) return m->registry.find(item) != nullptr;
        const size_t open = item.find(" ["), close = item.find("] ");
        if (open == npos) return m->files.find(item) != nullptr;
        char value[64] = "";
        return GetPrivateProfileStringA(item.substr(open + 2, close - open - 2).c_str(), item.substr(close + 2).c_str(), "",
                                        value, sizeof value, item.substr(0, open).c_str()) > 0;
    }

    // The family's script with the attacks; then the plan, the run, and every attack's outcome.
    void Run(const std::vector<Attack>& attacks) {
        std::map<std::string, std::string> sections;
        for (const Attack& a : attacks) sections[a.category] += a.line + "\r\n";
        std::string script = presets::FamilyScript();
        for (const auto& s : sections) {  // into the family's own section of the category, or a new one
            const std::string header = "[VXDRV." + s.first + "]\r\n";
            const size_t at = script.find(header);
            script = at == npos ? script + header + s.second : script.insert(at + header.size(), s.second);
        }
        b->Script(script);
        m = b->Take();
        simwin::MachineScope scope(*m);
        for (const Attack& a : attacks) ASSERT_TRUE(Present(a.item)) << "before the run: " << a.item;
        std::ostringstream plan, err;
        ASSERT_EQ(0, RunPlan(plan, err, {"Office"}, false)) << err.str();
        const std::string refused = plan.str().substr(plan.str().find("[refused]"));
        const machinediff::State before = machinediff::Capture(*m);
        const int code = toolrun::Run(*m, std::string("/QUIET /SELECT:\"Office\" /LOG:\"") + kLog + "\"");
        EXPECT_TRUE(code == 0 || code == 3010) << code;
        const machinediff::Diff diff = machinediff::Compare(before, machinediff::Capture(*m));
        const std::string log = m->files.read(kLog);
        for (const Attack& a : attacks) {
            SCOPED_TRACE(a.line);
            const bool stays = *a.rule != 0;
            // What a printer that stays needs is logged as kept; the plan names a file by its full path.
            const std::string outcome = std::string(a.rule) == "staying-printer" ? " | kept (" : " | refused (";
            const std::string listed = std::string(a.category) == "Files" ? a.item : a.line;
            EXPECT_EQ(stays, Present(a.item)) << log;
            EXPECT_EQ(stays, log.find(a.item + outcome + a.rule + ": ") != npos) << log;
            EXPECT_EQ(stays, refused.find(" = " + listed + " | " + a.rule + ": ") != npos) << refused;
        }
        // Nothing went but the family's keys: those the script names, the family's own key, and the spooler's keys
        // of what the run removed.
        for (const std::string& key : diff.keysRemoved) {
            bool family = Lower(key).rfind("hkey_local_machine\\system\\currentcontrolset\\control\\print\\", 0) == 0 ||
                          Lower(key) == "hkey_local_machine\\software\\vestral";
            for (const Attack& a : attacks) family = family || (!*a.rule && Lower(key).rfind(Lower(a.item), 0) == 0);
            EXPECT_TRUE(family) << key;
        }
    }

    std::unique_ptr<built::MachineBuilder> b;
    std::unique_ptr<simwin::Machine> m;
};

const char kAcmeServer[] = "C:\\Program Files\\Acme\\acme.exe";

TEST_F(HostileRegistry, TheClassesThirtyTwoBitView) {
    Machine(simwin::Platform::Nt)
        .File(kAcmeServer)
        .RegistryValue("HKLM\\SOFTWARE\\Classes\\Wow6432Node\\CLSID\\{A0000000-0000-0000-0000-000000000001}\\LocalServer32", "", kAcmeServer)
        .RegistryValue("HKCU\\Software\\Classes\\Wow6432Node\\TypeLib\\{A0000000-0000-0000-0000-000000000004}\\1.0\\0\\win32", "", kAcmeServer)
        .RegistryValue("HKLM\\SOFTWARE\\Wow6432Node\\Classes\\CLSID\\{0E4BA7FE-1111-2222-3333-444455556667}\\InprocServer32", "",
                       "C:\\Windows\\System32\\spool\\drivers\\x64\\vxui.dll");
    Run({Key("HKCR", "Wow6432Node\\CLSID", "windows-key"),
         Key("HKLM", "SOFTWARE\\Classes\\Wow6432Node", "windows-key"),
         Key("HKCU", "Software\\Classes\\Wow6432Node\\TypeLib", "windows-key"),
         Key("HKCR", "Wow6432Node\\CLSID\\{A0000000-0000-0000-0000-000000000001}", "points-elsewhere"),
         Key("HKLM", "SOFTWARE\\Wow6432Node\\Classes\\CLSID\\{0E4BA7FE-1111-2222-3333-444455556667}", "")});
}

TEST_F(HostileRegistry, ProgIdsFollowedToTheirClass) {
    Machine(simwin::Platform::Nt)
        .File(kAcmeServer)
        .RegistryValue("HKLM\\SOFTWARE\\Classes\\CLSID\\{A0000000-0000-0000-0000-000000000005}\\LocalServer32", "", kAcmeServer)
        .RegistryValue("HKLM\\SOFTWARE\\Classes\\Acme.Viewer\\CLSID", "", "{A0000000-0000-0000-0000-000000000005}")
        .RegistryValue("HKCU\\Software\\Classes\\Acme.Viewer.Current\\CurVer", "", "Acme.Viewer")
        .RegistryValue("HKLM\\SOFTWARE\\Classes\\CLSID\\{0E4BA7FE-1111-2222-3333-444455556666}\\InprocServer32", "",
                       "C:\\Windows\\System32\\spool\\drivers\\x64\\vxui.dll")
        .RegistryValue("HKLM\\SOFTWARE\\Classes\\Vestral.StatusCtl\\CLSID", "", "{0E4BA7FE-1111-2222-3333-444455556666}");
    Run({Key("HKCR", "Acme.Viewer", "points-elsewhere"), Key("HKCU", "Software\\Classes\\Acme.Viewer.Current", "points-elsewhere"),
         Key("HKLM", "SOFTWARE\\Classes\\Vestral.StatusCtl", "")});
}

TEST_F(HostileRegistry, TheDeviceTreeOfThe9xClass) {
    Machine(simwin::Platform::Win9x)
        .RegistryValue("HKLM\\Enum\\LPTENUM\\ACMELASER\\0", "Driver", "Printer\\0001")
        .RegistryKey("HKLM\\Enum\\Root\\Printer\\0000")
        .RegistryKey("HKLM\\SOFTWARE\\VESTRAL\\VXDRV");
    Run({Key("HKLM", "Enum\\LPTENUM", "windows-key"), Key("HKLM", "Enum\\Root\\Printer\\0000", "windows-key"),
         Key("HKLM", "SOFTWARE\\VESTRAL\\VXDRV", "")});
}

TEST_F(HostileRegistry, TheKeysAndIniFileOfTheMakerOfAStayingPrinter) {
    Machine(simwin::Platform::Nt)
        .RegistryValue("HKLM\\SOFTWARE\\Acme\\Laser", "Pens", "8")
        .RegistryKey("HKLM\\SOFTWARE\\Wow6432Node\\Acme")
        .RegistryKey("HKCU\\Software\\Acme\\Laser")
        .RegistryKey("HKLM\\SOFTWARE\\VESTRAL\\VXDRV")
        .File("C:\\Windows\\Acme.ini", "[Laser]\r\nPort=LPT2:\r\n");
    Run({Key("HKLM", "SOFTWARE\\Acme", "staying-printer"), Key("HKLM", "SOFTWARE\\Wow6432Node\\ACME", "staying-printer"),
         Key("HKCU", "Software\\Acme\\Laser", "staying-printer"), Key("HKLM", "SOFTWARE\\VESTRAL\\VXDRV", ""),
         {"DeleteIni", "acme.ini,Laser,Port", "C:\\Windows\\acme.ini [Laser] Port", "staying-printer"},
         {"Files", "Acme.ini", "C:\\Windows\\Acme.ini", "staying-printer"}});
    const std::string log = m->files.read(kLog);
    EXPECT_NE(npos, log.find("kept (staying-printer: the key of Acme, the maker of the driver of Acme, a printer that stays)"))
        << log;
}

}  // namespace
