// Security descriptors as the backup sets and checks them: SDDL text to the self-relative form and back, and
// the refusals of text and revisions the functions do not take. (What a directory keeps of the descriptor it
// is created with cannot be checked under Wine, which keeps none: tests/simwin/security_test.cpp.)
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/platform.h"
#include "conformance/conformance_env.h"

namespace {

const DWORD kPoison = 0xdeadbeef;
const DWORD kAll = OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;

class SecurityConformance : public ConformanceTest {};

}  // namespace

// Each text comes back as written (well-known SIDs by their names, rights by theirs, others in hexadecimal);
// the binary form begins with the self-relative header, the owner right after it.
TEST_F(SecurityConformance, SddlRoundTripsThroughTheBinaryForm) {
    struct Case {
        const char* text;
        const char* back;
        ULONG size;
    };
    const Case cases[] = {
        {"O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)", "O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)", 88},
        {"O:BAD:PAI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)", "O:BAD:PAI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)", 88},
        {"D:(A;;FR;;;WD)(D;CI;FX;;;AU)(A;ID;0x1200a9;;;BU)(A;OICIIO;GA;;;CO)",
         "D:(A;;FR;;;WD)(D;CI;FX;;;AU)(A;ID;0x1200a9;;;BU)(A;OICIIO;GA;;;CO)", 112},
        {"O:S-1-5-21-1-2-3-500D:(A;;GR;;;S-1-5-32-545)", "O:S-1-5-21-1-2-3-500D:(A;;GR;;;BU)", 80},
        {"D:(A;;2032127;;;BA)(A;;0x10000;;;SY)", "D:(A;;FA;;;BA)(A;;SD;;;SY)", 72},
        {"O:BA", "O:BA", 36},
        {"D:", "D:", 28},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        PSECURITY_DESCRIPTOR sd = NULL;
        ULONG size = kPoison;
        SetLastError(kPoison);
        ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(c.text, SDDL_REVISION_1, &sd, &size))
            << GetLastError();
        EXPECT_EQ(c.size, size);
        SECURITY_DESCRIPTOR_RELATIVE header;
        std::memcpy(&header, sd, sizeof header);
        EXPECT_EQ(1, header.Revision);
        EXPECT_TRUE(header.Control & SE_SELF_RELATIVE);
        const bool owner = c.text[0] == 'O';
        EXPECT_EQ(owner ? 20u : 0u, header.Owner);
        EXPECT_EQ(0u, header.Sacl);
        LPSTR text = NULL;
        ULONG length = kPoison;
        ASSERT_TRUE(ConvertSecurityDescriptorToStringSecurityDescriptorA(sd, SDDL_REVISION_1, kAll, &text, &length));
        EXPECT_STREQ(c.back, text);
        EXPECT_EQ(std::strlen(text) + 1, length);
        EXPECT_EQ(LocalFree(text), nullptr);
        EXPECT_EQ(LocalFree(sd), nullptr);
    }
}

// Only the parts asked for are written; a text that is no descriptor and a revision other than 1 are refused.
TEST_F(SecurityConformance, PartsAndRefusals) {
    PSECURITY_DESCRIPTOR sd = NULL;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA("O:BAD:P(A;OICI;FA;;;BA)", SDDL_REVISION_1, &sd, NULL));
    LPSTR text = NULL;
    ASSERT_TRUE(ConvertSecurityDescriptorToStringSecurityDescriptorA(sd, SDDL_REVISION_1, OWNER_SECURITY_INFORMATION, &text, NULL));
    EXPECT_STREQ("O:BA", text);
    LocalFree(text);
    ASSERT_TRUE(ConvertSecurityDescriptorToStringSecurityDescriptorA(sd, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, NULL));
    EXPECT_STREQ("D:P(A;OICI;FA;;;BA)", text);
    LocalFree(text);
    SetLastError(kPoison);
    EXPECT_FALSE(ConvertSecurityDescriptorToStringSecurityDescriptorA(sd, 2, kAll, &text, NULL));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_UNKNOWN_REVISION));
    LocalFree(sd);

    SetLastError(kPoison);
    EXPECT_FALSE(ConvertStringSecurityDescriptorToSecurityDescriptorA("O:BA", 2, &sd, NULL));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_UNKNOWN_REVISION));
    SetLastError(kPoison);
    EXPECT_FALSE(ConvertStringSecurityDescriptorToSecurityDescriptorA("garbage", SDDL_REVISION_1, &sd, NULL));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    SetLastError(kPoison);
    EXPECT_FALSE(ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(A;;FA;;;XX)", SDDL_REVISION_1, &sd, NULL));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_ACL));
}

// The user a process runs as, as text: a SID of a domain or machine account ("S-1-5-21-..."), the size asked
// for first.
TEST_F(SecurityConformance, TokenUserAsText) {
    HANDLE token = NULL;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    DWORD needed = 0;
    SetLastError(kPoison);
    EXPECT_FALSE(GetTokenInformation(token, TokenUser, NULL, 0, &needed));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    ASSERT_GT(needed, static_cast<DWORD>(sizeof(TOKEN_USER)));
    std::vector<BYTE> buffer(needed);
    ASSERT_TRUE(GetTokenInformation(token, TokenUser, buffer.data(), needed, &needed));
    LPSTR text = NULL;
    ASSERT_TRUE(ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text));
    EXPECT_EQ(0, strncmp(text, "S-1-5-21-", 9)) << text;
    LocalFree(text);
    CloseHandle(token);
}

// The folder a backup set lies in: the common application data folder, "C:\ProgramData", through both shell
// calls the tool may use.
TEST_F(SecurityConformance, CommonApplicationDataFolder) {
    char path[MAX_PATH];
    std::memset(path, 0xbd, sizeof path);
    EXPECT_EQ(SHGetFolderPathA(NULL, CSIDL_COMMON_APPDATA, NULL, SHGFP_TYPE_CURRENT, path), S_OK);
    EXPECT_EQ(lstrcmpiA(path, "C:\\ProgramData"), 0) << path;
    LPITEMIDLIST list = NULL;
    ASSERT_EQ(SHGetSpecialFolderLocation(NULL, CSIDL_COMMON_APPDATA, &list), S_OK);
    char other[MAX_PATH] = "";
    EXPECT_TRUE(SHGetPathFromIDListA(list, other));
    EXPECT_EQ(lstrcmpiA(other, "C:\\ProgramData"), 0) << other;
    LPMALLOC allocator = NULL;
    if (SHGetMalloc(&allocator) == S_OK) {
        allocator->Free(list);
        allocator->Release();
    }
}
