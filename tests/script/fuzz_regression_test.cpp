// Replays the fuzz targets' seeds and every input kept from a fuzzing failure.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "fuzz/fuzz_bodies.h"
#include "support/test_paths.h"

namespace {

namespace fs = std::filesystem;

template <class Run>
int ReplayAll(const char* target, Run run) {
    int replayed = 0;
    for (const char* kind : {"corpus", "regressions"}) {
        fs::path dir = fs::path(KORUN_SOURCE_DIR) / "tests" / "fuzz" / kind / target;
        if (!fs::is_directory(dir)) continue;
        for (const fs::directory_entry& entry : fs::directory_iterator(dir)) {
            if (!entry.is_regular_file()) continue;
            std::ifstream in(entry.path(), std::ios::binary);
            std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            simwin::Machine m;
            simwin::MachineScope scope(m);
            EXPECT_EQ("", run(m, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size())) << entry.path();
            ++replayed;
        }
    }
    return replayed;
}

TEST(FuzzRegression, ScriptInputs) { EXPECT_GT(ReplayAll("script", fuzz::RunScriptInput), 0); }

TEST(FuzzRegression, IniEditInputs) { EXPECT_GT(ReplayAll("ini_edit", fuzz::RunIniEditInput), 0); }

TEST(FuzzRegression, RegistryInputs) { EXPECT_GT(ReplayAll("registry", fuzz::RunRegistryInput), 0); }

TEST(FuzzRegression, MachineInputs) { EXPECT_GT(ReplayAll("machine", fuzz::RunMachineInput), 0); }

TEST(FuzzRegression, RemovalItemInputs) { EXPECT_GT(ReplayAll("removal_items", fuzz::RunRemovalItemsInput), 0); }

TEST(FuzzRegression, UserFileInputs) { EXPECT_GT(ReplayAll("user_file", fuzz::RunUserFileInput), 0); }

TEST(FuzzRegression, CommandLineInputs) { EXPECT_GT(ReplayAll("command_line", fuzz::RunCommandLineInput), 0); }

TEST(FuzzRegression, RunOptionsInputs) { EXPECT_GT(ReplayAll("run_options", fuzz::RunRunOptionsInput), 0); }

TEST(FuzzRegression, MachineRecipeInputs) { EXPECT_GT(ReplayAll("machine_recipe", fuzz::RunMachineRecipeInput), 0); }

TEST(FuzzRegression, BackupSetInputs) { EXPECT_GT(ReplayAll("backup_set", fuzz::RunBackupSetInput), 0); }

TEST(FuzzRegression, RegTextInputs) { EXPECT_GT(ReplayAll("reg_text", fuzz::RunRegTextInput), 0); }

TEST(FuzzRegression, LogReaderInputs) { EXPECT_GT(ReplayAll("log_reader", fuzz::RunLogReaderInput), 0); }

// The kept input that showed the two edits bound a section differently: a "[" on the header line ends the
// section for the search, while the deletion starts after the header line.
TEST(FuzzRegression, BracketOnTheHeaderLine) {
    simwin::Machine m;
    simwin::MachineScope scope(m);
    m.files.writeFile("C:\\Windows\\a.ini", "[Ports][\nNullPortts]\nPort=3");
    EXPECT_EQ(0u, FindIniKey("C:\\Windows\\a.ini", "Ports", "Port"));
    char key[] = "Port";
    EXPECT_EQ(1, DeleteIniKeyLine("C:\\Windows\\a.ini", "Ports", key));
    EXPECT_EQ("[Ports][\nNullPortts]\n", m.files.read("C:\\Windows\\a.ini"));
}

}  // namespace
