// The machine builder: what it installs agrees as Windows would have it, what Windows refuses it refuses with
// the step named, and a RECIPE it cannot build is a clear error, also through korun04-sim.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>

#include "support/built_machine.h"
#include "support/temp_machine.h"
#include "tools/machine_builder/machine_recipe.h"
#include "support/test_paths.h"

namespace {

using built::MachineBuilder;

// The facts a rule of the tool reads, on the machine as it was saved and loaded back.
TEST(MachineBuilder, WhatItInstallsAgreesOnEachPlatform) {
    struct Row {
        simwin::Platform platform;
        const char* version;
        DWORD build;
        const char* driverDir;
    };
    const Row rows[] = {{simwin::Platform::Nt, "10.0", 19045, "C:\\Windows\\System32\\spool\\drivers\\x64\\"},
                        {simwin::Platform::Nt, "6.1", 7601, "C:\\Windows\\System32\\spool\\drivers\\x64\\"},
                        {simwin::Platform::Win9x, "4.10", 2222, "C:\\WINDOWS\\SYSTEM\\"}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.version);
        const bool nt = r.platform == simwin::Platform::Nt;
        MachineBuilder b(r.platform, r.version);
        b.DriverPackage(nt ? built::presets::AcmeLaser() : built::Driver("Acme Laser Driver", "acmedrv.drv", "Acme"))
            .Port("ACME_1", "Local Port")
            .Printer(built::PlainPrinter("Acme", "ACME_1", "Acme Laser Driver", true));
        if (nt) built::presets::Family(b).Printer(built::FamilyPrinter("Office", "VSTUSB001:"));
        const std::string inf = b.PublishedInf("Acme Laser Driver");
        std::unique_ptr<simwin::Machine> m = b.Take();

        EXPECT_EQ(r.build, m->system.build);
        const simwin::PrinterDriver* d = m->spooler.findDriver("Acme Laser Driver", m->system.localEnvironment);
        ASSERT_TRUE(d);
        EXPECT_TRUE(m->files.exists(r.driverDir + d->file)) << d->file;
        EXPECT_EQ(nt ? "C:\\Windows\\INF\\oem0.inf" : "", inf);  // the 9x class publishes no INF
        EXPECT_EQ(inf, d->inf);
        EXPECT_EQ(nt, m->files.read(inf).find("PrinterName1=\"Acme Laser Driver\"") != std::string::npos);
        EXPECT_EQ(nt, m->files.exists(nt ? "C:\\Windows\\INF\\oem0.pnf" : "C:\\none"));
        ASSERT_TRUE(m->spooler.find("Acme"));
        EXPECT_TRUE(m->spooler.find("Acme")->isDefault());
        if (!nt) continue;
        EXPECT_EQ("Acme", d->provider);
        EXPECT_EQ("1", m->spooler.find("Office")->data["VestralDriver04"]);
        EXPECT_EQ("Acme,winspool,ACME_1", m->registry.getString(
                                              "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", "Device"));
        EXPECT_TRUE(m->files.exists("C:\\Windows\\System32\\vstmon.dll"));
        EXPECT_TRUE(m->files.exists("C:\\Windows\\System32\\spool\\drivers\\x64\\Kunz__04.unm"));
        // The maker's folder the INF was published from is gone.
        EXPECT_FALSE(m->files.exists("C:\\Users\\Admin\\AppData\\Local\\Temp\\ACMEDRV"));
    }
}

// Windows's own driver is installed from its core files and ntprint.inf, which it does not publish again.
TEST(MachineBuilder, WindowsOwnDriverComesFromItsCoreFilesAndNtprint) {
    MachineBuilder b(simwin::Platform::Nt, "10.0");
    b.DriverPackage(built::presets::MicrosoftPsClass());
    std::unique_ptr<simwin::Machine> m = b.Take();
    const simwin::PrinterDriver* d = m->spooler.findDriver("Microsoft PS Class Driver", "Windows x64");
    ASSERT_TRUE(d);
    EXPECT_EQ("3\\pscript5.dll", d->file);
    EXPECT_EQ("C:\\Windows\\INF\\ntprint.inf", d->inf);
    EXPECT_FALSE(m->files.exists("C:\\Windows\\INF\\oem0.inf"));
}

// What Windows refuses, the builder refuses, naming the step.
TEST(MachineBuilder, RefusesWhatWindowsRefuses) {
    struct Row {
        std::function<void(MachineBuilder&)> step;
        const char* said;
    };
    const Row rows[] = {
        {[](MachineBuilder& b) { b.Printer(built::PlainPrinter("P", "LPT1:", "No Such Driver")); }, "AddPrinterA \"P\": Windows error 1797"},
        {[](MachineBuilder& b) { b.Printer(built::PlainPrinter("P", "NOWHERE:", "x")); }, "the port \"NOWHERE:\" is not installed"},
        {[](MachineBuilder& b) { b.Port("P1", "No Monitor"); }, "AddPortExA \"P1\" of No Monitor: Windows error 87"},
        {[](MachineBuilder& b) { b.Monitor(built::presets::VestralMonitor()).Monitor(built::presets::VestralMonitor()); },
         "AddMonitorA \"Vestral Port Monitor\": Windows error 3006"},
        {[](MachineBuilder& b) { b.Service({"S", "", "x.exe", "own", "auto", "paused"}); }, "running, stopped or marked"},
        {[](MachineBuilder& b) { b.RegistryKey("HKEY_NOWHERE\\X"); }, "a root and a path below it"},
        {[](MachineBuilder& b) {
             built::Package p = built::presets::MicrosoftPsClass();
             p.inf = "nosuch.inf";
             b.DriverPackage(p);
         },
         "which Windows does not have here"},
    };
    for (const Row& r : rows) {
        MachineBuilder b(simwin::Platform::Nt, "10.0");
        try {
            r.step(b);
            ADD_FAILURE() << "no error, expected: " << r.said;
        } catch (const machinebuilder::BuildError& e) {
            EXPECT_NE(std::string::npos, std::string(e.what()).find(r.said)) << e.what();
        }
    }
    EXPECT_THROW(MachineBuilder(simwin::Platform::Nt, "ten"), machinebuilder::BuildError);
}

// A RECIPE that cannot be built says where and why.
TEST(MachineBuilder, ABadSpecSaysWhereAndWhy) {
    struct Row {
        std::string recipe;
        const char* said;
    };
    const Row rows[] = {
        {"name = x\n", "recipe.ini"},
        {"[machine]\nplatform = os2\n", "recipe.ini:1: platform = os2: nt or 9x"},
        {"[machine]\n[machine]\n", "more than one [machine]"},
        {"[printers]\nname = x\n", "recipe.ini:1: unknown section [printers]"},
        {"[printer]\nname = x\ncolour = red\n", "recipe.ini:3: [printer] has no key 'colour'"},
        {"[monitor]\ndll = m.dll\n", "recipe.ini:1: [monitor] needs its name"},
        {"[printer]\nname = Office\ndriver = Vestral X Driver\nport = LPT1:\n", "recipe.ini:1: [printer] AddPrinterA \"Office\": Windows error 1797"},
        {"[package]\npreset = vestral-y\n", "the package presets are"},
        {"[script]\nfile = Kunz__04.unm\n", "cannot read the script Kunz__04.unm"},
        {"[printer]\nname = x\ndefault = maybe\n", "recipe.ini:1: [printer]"},
        {"[file]\npath = relative.txt\n", "a file needs a full path"},
        {std::string("[machine]\n\0\n", 12), "a NUL byte at offset 10"},
        {"[program]\nticks = 3\n", "recipe.ini:1: [program] needs its path"},
        {"[program]\npath = C:\\p.exe\nticks = -1\n", "recipe.ini:1: [program] ticks = -1: a number from 0 to 2147483647"},
        {"[program]\npath = C:\\p.exe\nexitcode = 4294967296\n", "exitcode = 4294967296: a number from 0 to 4294967295"},
        {"[program]\npath = p.exe\n", "a program needs a full path"},
        {"[program]\npath = C:\\p.exe\n[program]\npath = c:\\P.EXE\n", "recipe.ini:3: [program] the program c:\\P.EXE is there already"},
        {"[window]\ntitle = Pavane\n", "recipe.ini:1: [window] needs its class"},
        {"[port]\nname = USB001\nmonitor = USB Monitor\nwidth = 3\n", "recipe.ini:4: [port] has no key 'width'"},
        {"[registry]\nkey = HKLM\\SOFTWARE\\X\nvalue. = 1\n", "recipe.ini:3: [registry] has no key 'value.'"},
        // A version a machine directory would refuse to load again.
        {"[machine]\nversion = 0.2\n", "recipe.ini:1: a version is major.minor"},
        {"[machine]\nversion = +6.1\n", "recipe.ini:1: a version is major.minor"},
        // A monitor's name with a backslash makes keys that no section of the saved machine declares.
        {"[monitor]\nname = Ve\\trt Monitor\ndll = vstmon.dll\n", "recipe.ini: the built machine does not save and load"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.recipe);
        try {
            machinebuilder::BuildFromRecipe(r.recipe, "recipe.ini", nullptr);
            ADD_FAILURE() << "no error, expected: " << r.said;
        } catch (const machinebuilder::BuildError& e) {
            EXPECT_NE(std::string::npos, std::string(e.what()).find(r.said)) << e.what();
        }
    }
}

// What the demo's RECIPE says beyond packages and printers is on the machine as a machine directory says it.
TEST(MachineBuilder, ARecipeDeclaresPortsProgramsWindowsAndDefaultValues) {
    const char* recipe =
        "[port]\nname = USB001\nmonitor = USB Monitor\ndescription = Virtual printer port for USB\n"
        "[port]\nname = IP_1\nmonitor = Standard TCP/IP Port\n"
        "[file]\npath = C:\\Vestral\\pav.exe\n"
        "[program]\npath = C:\\Vestral\\pav.exe\nticks = 3\nexitcode = 7\n"
        "[window]\nclass = PAVANEDLGCLASS04\ntitle = Pavane\n"
        "[registry]\nkey = HKCU\\SOFTWARE\\VESTRAL\\KORUN04\ndefault = 1\nvalue.Mode = quiet\n"
        "[package]\nname = Acme Plotter 9\nprovider = Microsoft\nfile = 3\\unidrv.dll\ndata = 3\\acme9.gpd\n"
        "inf = ntprint.inf\ninbox = yes\n";
    std::unique_ptr<simwin::Machine> m = machinebuilder::BuildFromRecipe(recipe, "recipe.ini", nullptr);
    std::map<std::string, simwin::Port> ports;
    for (const simwin::Port& p : m->spooler.ports) ports[p.name] = p;
    EXPECT_EQ("Virtual printer port for USB", ports["USB001"].description);
    EXPECT_EQ("USB Monitor", ports["USB001"].monitor);
    EXPECT_EQ("", ports["IP_1"].description);  // the monitor's name is reported
    ASSERT_EQ(1u, m->processes.programs.size());
    EXPECT_EQ(3, m->processes.programs[0].ticks);
    EXPECT_EQ(7u, m->processes.programs[0].exitCode);
    ASSERT_TRUE(m->windows.findByClass("PAVANEDLGCLASS04"));
    EXPECT_EQ("Pavane", m->windows.findByClass("PAVANEDLGCLASS04")->title);
    EXPECT_EQ("1", m->registry.getString("HKEY_CURRENT_USER\\Software\\VESTRAL\\KORUN04", ""));
    EXPECT_EQ("quiet", m->registry.getString("HKEY_CURRENT_USER\\Software\\VESTRAL\\KORUN04", "Mode"));
    // Windows's own driver brings its model's GPD into the version-3 folder beside the core files.
    const std::string gpd = m->files.read("C:\\Windows\\System32\\spool\\drivers\\x64\\3\\acme9.gpd");
    EXPECT_NE(std::string::npos, gpd.find("*ModelName: \"Acme Plotter 9\"\r\n")) << gpd;
}

// examples/demo is examples/recipes/demo.ini built and saved, file for file.
TEST(MachineBuilder, TheDemoIsItsRecipeBuilt) {
    const std::filesystem::path source(KORUN_SOURCE_DIR);
    const std::string recipe = testmachine::ReadFile(source / "examples/recipes/demo.ini");
    auto beside = [&](const std::string& path, std::string& text) {
        const std::filesystem::path p = source / "examples/recipes" / path;
        if (!std::filesystem::is_regular_file(p)) return false;
        text = testmachine::ReadFile(p);
        return true;
    };
    testmachine::TempDir built;
    machinebuilder::BuildFromRecipe(recipe, "demo.ini", beside)->save(built.path.string());
    const std::map<std::string, std::string> expected = testmachine::Snapshot(source / "examples/demo"),
                                             actual = testmachine::Snapshot(built.path);
    const char* again = "examples/demo is not what examples/recipes/demo.ini builds; build it again with "
                        "build/host/bin/korun04-sim --build-machine examples/recipes/demo.ini --save examples/demo";
    // Git keeps no empty folder: the built machine's folders are compared through the files in them.
    auto folder = [](const std::filesystem::path& root, const std::string& name) {
        return std::filesystem::is_directory(root / name);
    };
    for (const auto& file : actual) {
        if (folder(built.path, file.first)) continue;
        auto checkedIn = expected.find(file.first);
        if (checkedIn == expected.end()) ADD_FAILURE() << file.first << " is missing; " << again;
        else EXPECT_EQ(file.second, checkedIn->second) << file.first << " differs; " << again;
    }
    for (const auto& file : expected)
        EXPECT_TRUE(folder(source / "examples/demo", file.first) || actual.count(file.first))
            << file.first << " is not built; " << again;
}

// The example RECIPE builds a machine korun04-sim runs on; a bad one ends with status 2 and the reason.
TEST(MachineBuilder, KorunSimBuildsTheExampleSpec) {
    testmachine::TempDir dir;
    const std::string saved = (dir.path / "family").string();
    testmachine::SimResult r = testmachine::RunSim(std::string("--build-machine ") + KORUN_SOURCE_DIR +
                                                   "/examples/recipes/family-10.ini --save " + saved);
    ASSERT_EQ(0, r.exitCode) << r.out;
    std::unique_ptr<simwin::Machine> m = simwin::Machine::load(saved);
    EXPECT_EQ(3u, m->spooler.printers.size());
    EXPECT_EQ(0, testmachine::RunSim("--machine " + saved + " --plan >/dev/null").exitCode);

    testmachine::WriteFile(dir.path / "bad.ini", "[printer]\nname = Office\n");
    r = testmachine::RunSim("--build-machine " + (dir.path / "bad.ini").string() + " --save " + saved + "2");
    EXPECT_EQ(2, r.exitCode);
    EXPECT_NE(std::string::npos, r.out.find("bad.ini:1: [printer] AddPrinterA \"Office\"")) << r.out;
    EXPECT_EQ(2, testmachine::RunSim("--build-machine " + (dir.path / "bad.ini").string()).exitCode);  // no --save
}

}  // namespace
