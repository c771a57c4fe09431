// The version functions on the program file, and the memory figures of the simulated machine.
//
// The version functions are tested on simwin only: a conformance test under Wine would need the test
// executable's own version resource, which the conformance build does not carry. The windres agreement
// tests (windres_agreement_test.cpp) stand in for it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "resources/resource.h"
#include "simwin/machine.h"
#include "simwin/resource_set.h"
#include "simwin/win32.h"
#include "support/resource_script.h"

namespace {

using namespace rcscript;

// ===== The version functions on the program file ===========================================================

const DWORD kPoison = 0xDEADBEEF;

TEST(VersionApi, TheProgramFileCarriesItsVersionResource) {
    simwin::Machine m;
    simwin::MachineScope scope(m);
    char path[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(NULL, path, sizeof path), 0u);
    DWORD handle = kPoison;
    DWORD size = GetFileVersionInfoSizeA(path, &handle);
    EXPECT_EQ(0u, handle);
    std::string block = simwin::programResources().version.binary();
    ASSERT_EQ(block.size() * 2 + 4, size);
    std::vector<BYTE> data(size + 8, 0xBD);
    ASSERT_TRUE(GetFileVersionInfoA(path, 0, size, data.data()));
    EXPECT_EQ(0, std::memcmp(data.data(), block.data(), block.size()));
    EXPECT_EQ(0, std::memcmp(data.data() + block.size(), "FE2X", 4));
    EXPECT_EQ(0xBD, data[size]);  // nothing written past the size given

    LPVOID value = nullptr;
    UINT length = kPoison;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\", &value, &length));
    ASSERT_EQ(sizeof(VS_FIXEDFILEINFO), length);
    const VS_FIXEDFILEINFO* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    EXPECT_EQ(0xFEEF04BDu, fixed->dwSignature);
    char version[64];
    std::snprintf(version, sizeof version, "%u.%02u.%02u.%02u", HIWORD(fixed->dwFileVersionMS),
                  LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS));
    EXPECT_STREQ("1.00.00.00", version);
    EXPECT_EQ(1u, fixed->dwFileType);  // VFT_APP

    ASSERT_TRUE(VerQueryValueA(data.data(), "", &value, &length));  // an empty path is the root
    EXPECT_EQ(fixed, value);

    ASSERT_TRUE(VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", &value, &length));
    ASSERT_EQ(4u, length);
    EXPECT_EQ(0x0411, static_cast<const WORD*>(value)[0]);
    EXPECT_EQ(1200, static_cast<const WORD*>(value)[1]);

    ASSERT_TRUE(VerQueryValueA(data.data(), "\\StringFileInfo\\041104B0\\FileVersion", &value, &length));
    EXPECT_EQ(8u, length);  // with the terminator
    EXPECT_STREQ("1.0.0.0", static_cast<const char*>(value));
    // The ANSI text lies in the second half, past the block and its signature.
    EXPECT_GE(static_cast<BYTE*>(value), data.data() + block.size() + 4);
    EXPECT_LT(static_cast<BYTE*>(value), data.data() + size);
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\stringfileinfo\\041104b0\\FILEDESCRIPTION", &value, &length));
    EXPECT_STREQ("VESTRAL Print Driver UnInstall Tool", static_cast<const char*>(value));

    value = &length;
    SetLastError(kPoison);
    EXPECT_FALSE(VerQueryValueA(data.data(), "\\StringFileInfo\\041104B0\\FileVer", &value, &length));
    EXPECT_EQ(0u, length);
    EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND), GetLastError());
    EXPECT_EQ(static_cast<void*>(&length), value);  // untouched
    EXPECT_FALSE(VerQueryValueA(NULL, "\\", &value, &length));
}

TEST(VersionApi, OtherFilesHaveNoVersionResource) {
    simwin::Machine m;
    simwin::MachineScope scope(m);
    m.files.writeFile("C:\\Windows\\System32\\plain.dll", "MZ");
    struct Case {
        const char* path;
        DWORD error;
    } cases[] = {
        {"C:\\Windows\\System32\\plain.dll", ERROR_RESOURCE_TYPE_NOT_FOUND},
        {"C:\\Windows\\System32\\missing.dll", ERROR_FILE_NOT_FOUND},
        {"C:\\Nowhere\\missing.dll", ERROR_PATH_NOT_FOUND},
        {"", ERROR_BAD_PATHNAME},
    };
    for (const Case& c : cases) {
        DWORD handle = kPoison;
        SetLastError(kPoison);
        EXPECT_EQ(0u, GetFileVersionInfoSizeA(c.path, &handle)) << c.path;
        EXPECT_EQ(c.error, GetLastError()) << c.path;
        EXPECT_EQ(0u, handle) << c.path;
        BYTE buffer[16] = {0xBD};
        SetLastError(kPoison);
        EXPECT_FALSE(GetFileVersionInfoA(c.path, 0, sizeof buffer, buffer)) << c.path;
        EXPECT_EQ(c.error, GetLastError()) << c.path;
        EXPECT_EQ(0xBD, buffer[0]) << c.path;
    }
    SetLastError(kPoison);
    EXPECT_EQ(0u, GetFileVersionInfoSizeA(NULL, NULL));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_FALSE(GetFileVersionInfoA(m.system.program.c_str(), 0, 100, NULL));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_DATA), GetLastError());
}

TEST(VersionApi, ASmallBufferGetsTheStartOfTheBlock) {
    simwin::Machine m;
    simwin::MachineScope scope(m);
    std::string block = simwin::programResources().version.binary();
    std::vector<BYTE> data(64, 0xBD);
    ASSERT_TRUE(GetFileVersionInfoA("korun04.exe", 0, 40, data.data()));  // the program by its file name
    EXPECT_EQ(0, std::memcmp(data.data(), block.data(), 40));
    EXPECT_EQ(0xBD, data[40]);
}

TEST(GlobalMemoryStatus, FiguresOfASixtyFourBitMachineWithSixteenGigabytes) {
    EXPECT_EQ(56u, sizeof(MEMORYSTATUS));
    MEMORYSTATUS status;
    std::memset(&status, 0xBD, sizeof status);
    status.dwLength = sizeof status;
    GlobalMemoryStatus(&status);
    EXPECT_EQ(56u, status.dwLength);
    const SIZE_T gib = SIZE_T(1) << 30;
    EXPECT_GT(status.dwTotalPhys, 15 * gib);
    EXPECT_LE(status.dwTotalPhys, 16 * gib);
    EXPECT_LT(status.dwAvailPhys, status.dwTotalPhys);
    EXPECT_GE(status.dwTotalPageFile, status.dwTotalPhys);
    EXPECT_LT(status.dwAvailPageFile, status.dwTotalPageFile);
    EXPECT_LT(status.dwAvailVirtual, status.dwTotalVirtual);
    EXPECT_GT(status.dwAvailVirtual, SIZE_T(127) << 40);  // about 128 TB of address space
    EXPECT_GT(status.dwAvailVirtual >> 10, SIZE_T(0xFFFFFFFF));  // in kb, more than 32 bits hold
    EXPECT_EQ(static_cast<DWORD>((status.dwTotalPhys - status.dwAvailPhys) * 100 / status.dwTotalPhys),
              status.dwMemoryLoad);
}

}  // namespace
