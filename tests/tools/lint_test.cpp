// korun04-sim --lint: each kind of finding, one row per case (the scripts alone, then with a machine), and the
// command line's exit status.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "simwin/machine.h"
#include "support/temp_machine.h"
#include "tools/korun04-sim/lint.h"
#include "support/test_paths.h"

namespace {

const std::string kStarter = "[UnPrinterDrivers]\r\n\"Vestral X Driver\",VX,1\r\n";

// The findings of scripts given as texts, each "FILE:LINE: [SECTION] KIND: ..." cut after the kind.
std::vector<std::string> Lint(const std::vector<std::string>& texts) {
    simwin::Machine m;
    simwin::MachineScope scope(m);
    std::vector<std::string> paths, shown;
    for (size_t i = 0; i < texts.size(); ++i) {
        paths.push_back("C:\\Scripts\\" + std::to_string(i) + "\\Kunz__04.unm");
        shown.push_back("s" + std::to_string(i));
        m.files.writeFile(paths.back(), texts[i]);
    }
    std::vector<std::string> out;
    for (const LintFinding& f : LintScripts(paths, shown))
        out.push_back(f.file + ":" + std::to_string(f.line) + ": [" + f.section + "] " + f.kind);
    return out;
}

// n file names of 12 characters, 13 in the list with their NUL: 315 fit the 4096-character buffer.
std::string Files(int n) {
    std::string out;
    for (int i = 0; i < n; ++i) {
        char name[32];
        snprintf(name, sizeof name, "f%07d.dll\r\n", i);
        out += name;
    }
    return out;
}

TEST(Lint, EachKindOfFindingOfTheScriptsAlone) {
    struct Case {
        const char* what;
        std::vector<std::string> scripts;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"a clean script", {kStarter + "[VX.Files]\r\na.dll\r\n[VX.Services]\r\nVxSvc\r\n"}, {}},
        {"an indented line", {kStarter + "[VX.Files]\r\n  b.dll\r\n"}, {"s0:4: [VX.Files] ignored"}},
        {"an indented header", {kStarter + "  [VX.Monitors]\r\n"}, {"s0:3: [UnPrinterDrivers] ignored"}},
        {"text before the first header", {"note\r\n" + kStarter}, {"s0:1: [] ignored"}},
        {"a header without its bracket", {kStarter + "[VX.Files\r\n"}, {"s0:3: [UnPrinterDrivers] ignored"}},
        {"a value longer than 259", {kStarter + "[VX.Files]\r\nk=" + std::string(300, 'v') + "\r\n"},
         {"s0:4: [VX.Files] cut"}},
        {"a NUL byte", {kStarter + "[VX.Files]\r\na.dll\r\n" + std::string(1, '\0') + "b.dll\r\n"},
         {"s0:5: [VX.Files] cut"}},
        {"eight starter entries of 40 characters",
         {[] {
             std::string s = "[UnPrinterDrivers]\r\n";
             for (int i = 0; i < 8; ++i) {
                 char line[64];
                 snprintf(line, sizeof line, "%-37s,S%d\r\n", ("Driver " + std::to_string(i)).c_str(), i);  // 40 characters
                 s += line;
             }
             return s;
         }()},
         {"s0:8: [UnPrinterDrivers] cut"}},
        {"a category section past 4096", {kStarter + "[VX.Files]\r\n" + Files(320)}, {"s0:319: [VX.Files] cut"}},
        {"an unused section", {kStarter + "[Notes]\r\nk=v\r\n"}, {"s0:3: [Notes] unused"}},
        {"a misspelt category", {kStarter + "[VX.Filez]\r\na.dll\r\n"}, {"s0:3: [VX.Filez] unused"}},
        {"a section named twice", {kStarter + "[VX.Files]\r\na.dll\r\n[vx.files]\r\nb.dll\r\n"},
         {"s0:5: [vx.files] duplicate-section"}},
        {"a profile named in two starter sections",
         {kStarter + "[Unz_CatchAll]\r\nVestral X Driver,VX\r\n"}, {"s0:4: [Unz_CatchAll] duplicate-profile"}},
        {"a profile named in two scripts", {kStarter, kStarter}, {"s1:2: [UnPrinterDrivers] duplicate-profile"}},
        {"an item listed twice", {kStarter + "[VX.Files]\r\na.dll\r\nA.DLL\r\n"}, {"s0:5: [VX.Files] duplicate-item"}},
        {"a starter entry listed twice", {kStarter + "\"Vestral X Driver\",VX\r\n"}, {"s0:3: [UnPrinterDrivers] duplicate-item"}},
        {"missing fields", {kStarter + "[VX.DeleteIni]\r\nwin.ini,windows\r\n[VX.Hooks]\r\nhook.dll\r\n"},
         {"s0:4: [VX.DeleteIni] malformed", "s0:6: [VX.Hooks] malformed"}},
        {"a registry item of another root", {kStarter + "[VX.RegistryKeys]\r\nHKXX,\"Software\\Vx\",\r\n"},
         {"s0:4: [VX.RegistryKeys] malformed"}},
        {"a stray quote", {kStarter + "[VX.Services]\r\n\"VxSvc\r\n"}, {"s0:4: [VX.Services] malformed"}},
        {"a leading tab", {kStarter + "[VX.Files]\r\n\ta.dll\r\n"}, {"s0:4: [VX.Files] malformed"}},
        {"an empty entry that ends its section", {kStarter + "[VX.Files]\r\n=\r\na.dll\r\n"}, {"s0:4: [VX.Files] malformed"}},
        {"a starter entry without its section", {"[UnPrinterDrivers]\r\nVestral X Driver\r\n"},
         {"s0:2: [UnPrinterDrivers] malformed"}},
        {"no starter section", {"[VX.Files]\r\na.dll\r\n"}, {"s0:0: [] malformed", "s0:1: [VX.Files] unused"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.expected, Lint(c.scripts));
    }
}

TEST(Lint, FindingsAreWrittenWithFileLineAndSection) {
    EXPECT_EQ("Kunz__04.unm:12: [VX.Files] cut: lost", (LintFinding{"Kunz__04.unm", 12, "VX.Files", "cut", "lost"}).Format());
    EXPECT_EQ("Kunz__04.unm: malformed: empty", (LintFinding{"Kunz__04.unm", 0, "", "malformed", "empty"}).Format());
}

// With a machine: every script the tool finds there, and the whole removal of every listed printer on a copy
// of it. Its refusals (the keeper's rules, learned on that machine) and the files it found nowhere come back at
// the script lines that name them. One row per kind of finding and per rule the scripts can run into.
struct MachineLint {
    std::string machineIni;  // after "[system]\nplatform = nt\n"
    std::string script;      // after kStarter
};

std::string LintOnMachine(const MachineLint& m, int& status, std::string& errors) {
    testmachine::TempDir dir;
    const std::string drivers = "drive/C/Windows/System32/spool/drivers/x64/";
    testmachine::WriteFile(dir.path / "machine.ini",
                           "[system]\nplatform = nt\n[driver]\nname = Vestral X Driver\nfile = vxdrv.dll\n"
                           "[printer]\nname = Office\ndriver = Vestral X Driver\nport = LPT1:\ndata.VestralDriver04 = 1\n" +
                               m.machineIni);
    testmachine::WriteFile(dir.path / drivers / "vxdrv.dll", "");
    testmachine::WriteFile(dir.path / drivers / "Kunz__04.unm", kStarter + m.script);
    std::ostringstream out, err;
    status = LintMachine(dir.path.string(), out, err);
    errors = err.str();
    // The machine directory itself is not changed: the removal ran on a copy.
    EXPECT_TRUE(std::filesystem::exists(dir.path / drivers / "vxdrv.dll"));
    return out.str();
}

TEST(Lint, WithAMachineTheRemovalsRefusalsAndMissingFiles) {
    const std::string script = "C:\\Windows\\System32\\spool\\drivers\\x64\\Kunz__04.unm";
    struct Case {
        const char* what;
        MachineLint machine;
        std::string expected;  // "LINE: [SECTION] KIND: ... RULE:" of the one finding, or "" for none
    };
    const Case cases[] = {
        {"a file that is there", {"", "[VX.Files]\r\nvxdrv.dll\r\n"}, ""},
        {"a file in none of the places", {"", "[VX.Files]\r\nnowhere.dll\r\n"}, ":4: [VX.Files] not-found: \"nowhere.dll\""},
        {"a name with wildcards", {"", "[VX.Files]\r\nv*.dll\r\n"}, ":4: [VX.Files] refused: | path-form:"},
        {"a file Windows protects", {"", "[VX.Files]\r\nkernel32.dll\r\n"}, ":4: [VX.Files] refused: | windows-file:"},
        {"a key Windows needs", {"", "[VX.RegistryKeys]\r\nHKLM,\"SOFTWARE\\Microsoft\",,1\r\n"},
         ":4: [VX.RegistryKeys] refused: | windows-key:"},
        {"a service that starts with Windows", {"[service]\nname = VxBoot\nstart = auto\n", "[VX.Services]\r\nVxBoot\r\n"},
         ":4: [VX.Services] refused: | service:"},
        {"a monitor of Windows", {"", "[VX.Monitors]\r\nLocal Port\r\n"}, ":4: [VX.Monitors] refused: | windows-printing:"},
        {"another maker's printer on the driver",
         {"[printer]\nname = Front desk\ndriver = Vestral X Driver\nport = LPT2:\n", ""},
         ":2: [UnPrinterDrivers] refused: | staying-printer:"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        int status = 0;
        std::string errors;
        const std::string text = LintOnMachine(c.machine, status, errors);
        EXPECT_EQ(c.expected.empty() ? 0 : 1, status) << errors << text;
        if (c.expected.empty()) continue;
        const size_t bar = c.expected.find(" | ");
        const std::string at = script + (bar == std::string::npos ? c.expected : c.expected.substr(0, bar));
        const size_t found = text.find(at);
        ASSERT_NE(std::string::npos, found) << text;
        if (bar != std::string::npos) {
            const std::string line = text.substr(found, text.find('\n', found) - found);
            EXPECT_NE(std::string::npos, line.find(c.expected.substr(bar + 3))) << line;
        }
    }
}

TEST(Lint, TheCommandLinesExitStatus) {
    testmachine::TempDir dir;
    testmachine::WriteFile(dir.path / "clean.unm", kStarter + "[VX.Files]\r\na.dll\r\n");
    testmachine::WriteFile(dir.path / "bad.unm", kStarter + "[VX.Filez]\r\na.dll\r\n");
    const std::string clean = "'" + (dir.path / "clean.unm").string() + "'";
    const std::string bad = "'" + (dir.path / "bad.unm").string() + "'";
    struct Case {
        std::string args;
        int status;
        std::string said;
    };
    const Case cases[] = {
        {"--lint " + clean, 0, ""},
        {"--lint " + bad, 1, "bad.unm:3: [VX.Filez] unused: no profile uses this section"},
        {"--lint " + clean + " " + bad, 1, "[VX.Filez] unused"},
        {"--lint '" + (dir.path / "missing.unm").string() + "'", 2, "cannot read"},
        {"--lint", 2, "--lint needs scripts"},
        {"--lint " + clean + " --machine '" + dir.path.string() + "'", 2, "not both"},
        {"--lint --machine '" + (dir.path / "nomachine").string() + "'", 2, "cannot load the machine"},
        {"--lint --machine '" + std::string(KORUN_SOURCE_DIR) + "/examples/demo'", 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        testmachine::SimResult r = testmachine::RunSim(c.args);
        EXPECT_EQ(c.status, r.exitCode) << r.out;
        if (c.said.empty())
            EXPECT_EQ("", r.out);
        else
            EXPECT_NE(std::string::npos, r.out.find(c.said)) << r.out;
    }
}

}  // namespace
