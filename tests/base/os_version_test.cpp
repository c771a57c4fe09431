#include <gtest/gtest.h>

#include "base/os_version.h"
#include "simwin/machine.h"

namespace {

struct VersionCase {
    simwin::Platform platform;
    DWORD major, minor;
    int platformClass, versionClass;
};

class OsVersionTest : public ::testing::TestWithParam<VersionCase> {};

TEST_P(OsVersionTest, ClassesFollowPlatformAndVersion) {
    const VersionCase& c = GetParam();
    simwin::Machine m(c.platform);
    m.system.major = c.major;
    m.system.minor = c.minor;
    simwin::MachineScope scope(m);
    COSVersion v;
    EXPECT_EQ(c.platformClass, v.GetPlatformClass());
    EXPECT_EQ(c.versionClass, v.GetVersionClass());
    EXPECT_EQ(sizeof(OSVERSIONINFOA), v.versionInfo.dwOSVersionInfoSize);
    EXPECT_EQ(c.major, v.versionInfo.dwMajorVersion);
}

INSTANTIATE_TEST_SUITE_P(
    Platforms, OsVersionTest,
    ::testing::Values(VersionCase{simwin::Platform::Win32s, 3, 10, 1, 1},
                      VersionCase{simwin::Platform::Win9x, 4, 0, 2, 2},
                      VersionCase{simwin::Platform::Win9x, 4, 10, 2, 3},
                      VersionCase{simwin::Platform::Win9x, 4, 90, 2, 7},
                      VersionCase{simwin::Platform::Win9x, 4, 20, 2, 0},
                      VersionCase{simwin::Platform::Nt, 3, 51, 3, 4},
                      VersionCase{simwin::Platform::Nt, 4, 0, 3, 5},
                      VersionCase{simwin::Platform::Nt, 5, 0, 3, 6},
                      VersionCase{simwin::Platform::Nt, 5, 1, 3, 8},
                      VersionCase{simwin::Platform::Nt, 5, 2, 3, 6},
                      VersionCase{simwin::Platform::Nt, 6, 2, 3, 8},  // Windows 10 without a manifest
                      VersionCase{simwin::Platform::Nt, 10, 0, 3, 0}));

TEST(OsVersion, PredicatesMatchPlatformClass) {
    simwin::Machine m(simwin::Platform::Win9x);
    simwin::MachineScope scope(m);
    COSVersion v;
    EXPECT_TRUE(v.IsWin9x());
    EXPECT_FALSE(v.IsWinNT());
    EXPECT_FALSE(v.IsWin32s());
}

}  // namespace
