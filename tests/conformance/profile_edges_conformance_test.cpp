// Edge cases of the profile functions: buffers that fit exactly, missing files, null arguments and a file
// whose text ends in a NUL byte. Win32 calls only, in a fresh directory below the temporary directory.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/platform.h"
#include "conformance/conformance_env.h"
#include "support/conformance_directory.h"

namespace {

const DWORD kPoison = 0xdeadbeef;
const char kPoisonByte = '\x0c';

class ProfileEdgesConformance : public ConformanceDirectoryTest {};

}  // namespace

// GetPrivateProfileSectionNamesA of "one\0two\0six\0" (12 characters): a buffer of 14 takes the list and its
// closing NUL (12); one of 13 is filled exactly and Windows answers it as a list cut short (11, size - 2) with
// the same bytes, the last in the last byte (NT 4 to XP left that byte alone; Wine writes the closing NULs of
// a cut list otherwise: only the names before them are compared there); one of 12 is cut (10, "si" closed by two NULs). A missing file gives 0 and a single NUL.
TEST_F(ProfileEdgesConformance, SectionNamesInBuffersThatFitExactlyOrNot) {
    put("names.ini", "[one]\r\n[two]\r\n[six]\r\n");
    const std::string file = path("names.ini");
    struct Case {
        DWORD size, result;
        size_t written;     // the bytes written, the rest of the buffer left alone
        const char* bytes;  // what they are
    };
    const Case cases[] = {
        {14, 12, 13, "one\0two\0six\0"},
        {13, 11, 13, "one\0two\0six\0\0"},
        {12, 10, 12, "one\0two\0si\0\0"},
    };
    for (const Case& c : cases) {
        char buf[32];
        std::memset(buf, kPoisonByte, sizeof buf);
        EXPECT_EQ(GetPrivateProfileSectionNamesA(buf, c.size, file.c_str()), c.result) << c.size;
        // Wine closes a list it cuts or fills exactly otherwise: there only the names before are compared.
        const size_t compared = UnderWine() && c.size < 14 ? c.size - 2 : c.written;
        EXPECT_EQ(0, std::memcmp(buf, c.bytes, compared)) << c.size;
        EXPECT_EQ(buf[c.written], kPoisonByte) << c.size;
    }
    char buf[8];
    std::memset(buf, kPoisonByte, sizeof buf);
    EXPECT_EQ(GetPrivateProfileSectionNamesA(buf, sizeof buf, path("absent.ini").c_str()), 0u);
    EXPECT_EQ(buf[0], '\0');
    EXPECT_EQ(buf[1], kPoisonByte);
}

// A successful GetPrivateProfileSectionA clears the last error, for a section with lines and an empty one.
// Text after a NUL byte is no part of the file to the profile functions: a file written with its terminating
// NUL reads as the same file without it (Wine's own tests write their files so and expect Windows's answers).
TEST_F(ProfileEdgesConformance, SectionReadsClearTheLastErrorAndStopAtANul) {
    put("ends.ini", std::string("[full]\r\na=1\r\nb=2\r\n[empty]\r\n[last]\r\nc=3\r\n\0", 41));
    const std::string file = path("ends.ini");
    char buf[64];
    std::memset(buf, kPoisonByte, sizeof buf);
    SetLastError(kPoison);
    EXPECT_EQ(GetPrivateProfileSectionA("full", buf, sizeof buf, file.c_str()), 8u);
    EXPECT_EQ(0, std::memcmp(buf, "a=1\0b=2\0\0", 9));
    EXPECT_EQ(buf[9], kPoisonByte);
    EXPECT_EQ(GetLastError(), 0u);
    SetLastError(kPoison);
    EXPECT_EQ(GetPrivateProfileSectionA("empty", buf, sizeof buf, file.c_str()), 0u);
    EXPECT_EQ(GetLastError(), 0u);
    std::memset(buf, kPoisonByte, sizeof buf);
    EXPECT_EQ(GetPrivateProfileSectionA("last", buf, sizeof buf, file.c_str()), 4u);
    EXPECT_EQ(0, std::memcmp(buf, "c=3\0\0", 5));
    std::memset(buf, kPoisonByte, sizeof buf);
    EXPECT_EQ(GetPrivateProfileSectionNamesA(buf, sizeof buf, file.c_str()), 16u);
    EXPECT_EQ(0, std::memcmp(buf, "full\0empty\0last\0\0", 17));
    EXPECT_EQ(GetPrivateProfileIntA("last", "c", 9, file.c_str()), 3u);
}

// Null arguments: a write without a section fails with 2 on NT (87 on 9x) and makes no file.
// GetPrivateProfileIntA without a key reads the first item of the list GetPrivateProfileStringA gives: the
// first section name (win.ini's is no number: 0, where 9x gives the default; "7up" reads as 7) or the first
// key of the section; an empty list, as of a missing file, gives the default.
TEST_F(ProfileEdgesConformance, NullSectionsAndKeys) {
    SetLastError(kPoison);
    EXPECT_FALSE(WritePrivateProfileStringA(nullptr, "key", "value", path("w.ini").c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(GetFileAttributesA(path("w.ini").c_str()), INVALID_FILE_ATTRIBUTES);

    put("n.ini", "[7up]\r\n12=x\r\n[s]\r\nk=5\r\n");
    const std::string file = path("n.ini");
    EXPECT_EQ(GetPrivateProfileIntA(nullptr, nullptr, 70, file.c_str()), 7u);
    EXPECT_EQ(GetPrivateProfileIntA(nullptr, "k", 70, file.c_str()), 7u);
    EXPECT_EQ(GetPrivateProfileIntA("7up", nullptr, 70, file.c_str()), 12u);
    EXPECT_EQ(GetPrivateProfileIntA(nullptr, nullptr, 70, path("absent.ini").c_str()), 70u);
    EXPECT_EQ(GetPrivateProfileIntA("s", nullptr, 70, path("absent.ini").c_str()), 70u);
    // win.ini has sections on every Windows; a machine of simwin gets [windows] from the value written here.
    ASSERT_TRUE(WriteProfileStringA("windows", "KorunConformanceEdge", "1"));
    EXPECT_EQ(GetPrivateProfileIntA(nullptr, nullptr, 70, nullptr), 0u);
    WriteProfileStringA("windows", "KorunConformanceEdge", nullptr);
}
