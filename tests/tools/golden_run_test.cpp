// The interactive run of the demo machine, with a picture of the window after each action, against what
// the tool showed before the administrator's options existed (tests/tools/golden/demo-interactive-shown.txt,
// written by korun04-sim --show of that tool). A run without the new options shows exactly what it showed.
// When a change of the tool is meant to change what a person sees, write the file again with
// `build/host/bin/korun04-sim --show 2>/dev/null > tests/tools/golden/demo-interactive-shown.txt` and say why
// in the commit.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "support/temp_machine.h"
#include "support/test_paths.h"

namespace {

TEST(GoldenRun, TheDemosInteractiveRunShowsWhatItShowedBefore) {
    const std::filesystem::path golden =
        std::filesystem::path(KORUN_SOURCE_DIR) / "tests" / "tools" / "golden" / "demo-interactive-shown.txt";
    const std::string expected = testmachine::ReadFile(golden);
    ASSERT_FALSE(expected.empty()) << golden;
    std::string out;
    FILE* pipe = popen((std::string(KORUN_SIM_PATH) + " --show 2>/dev/null").c_str(), "r");
    ASSERT_NE(nullptr, pipe);
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
    pclose(pipe);
    EXPECT_EQ(expected, out);
}

}  // namespace
