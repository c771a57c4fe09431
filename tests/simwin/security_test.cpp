// Security descriptors: the SDDL text simwin reads and writes, the binary form, and the descriptors of
// directories and files: explicit ones (created with one, or set), inherited ones, and their [security]
// sections. Under Wine a directory keeps no descriptor of its own, so this is checked here.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "simwin/security.h"
#include "simwin/win32.h"
#include "support/temp_machine.h"

using testmachine::Load;

namespace {

const DWORD kPoison = 0xdeadbeef;
const DWORD kAll = OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;

// A path's descriptor as SDDL text, through GetFileSecurityA (size query, then fetch).
std::string SecurityOf(const std::string& path) {
    DWORD needed = kPoison;
    SetLastError(kPoison);
    EXPECT_FALSE(GetFileSecurityA(path.c_str(), kAll, NULL, 0, &needed));
    EXPECT_EQ(DWORD(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    std::vector<BYTE> b(needed);
    if (!GetFileSecurityA(path.c_str(), kAll, b.data(), needed, &needed)) return "error " + std::to_string(GetLastError());
    LPSTR text = NULL;
    EXPECT_TRUE(ConvertSecurityDescriptorToStringSecurityDescriptorA(b.data(), SDDL_REVISION_1, kAll, &text, NULL));
    std::string out = text;
    LocalFree(text);
    return out;
}

// Creates a directory with the descriptor of an SDDL text.
bool CreateSecured(const std::string& path, const char* sddl) {
    PSECURITY_DESCRIPTOR sd = NULL;
    EXPECT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &sd, NULL));
    SECURITY_ATTRIBUTES sa = {sizeof sa, sd, FALSE};
    const BOOL ok = CreateDirectoryA(path.c_str(), &sa);
    LocalFree(sd);
    return ok != FALSE;
}

}  // namespace

TEST(Security, SddlTextReadAndWritten) {
    simwin::Machine m;
    simwin::MachineScope scope(m);
    struct Case {
        const char* text;
        const char* written;  // "" : refused
        DWORD error;
    };
    const Case cases[] = {
        {"O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)", "O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)", 0},
        {"O:BAD:PAI(A;OICI;FA;;;BA)", "O:BAD:PAI(A;OICI;FA;;;BA)", 0},
        {"D:(A;;FR;;;WD)(D;CI;FX;;;AU)(A;ID;0x1200a9;;;BU)(A;OICIIO;GA;;;CO)",
         "D:(A;;FR;;;WD)(D;CI;FX;;;AU)(A;ID;0x1200a9;;;BU)(A;OICIIO;GA;;;CO)", 0},
        {"O:S-1-5-21-1-2-3-500D:(A;;GR;;;S-1-5-32-545)", "O:S-1-5-21-1-2-3-500D:(A;;GR;;;BU)", 0},
        {"D:(A;;GRGX;;;BA)(A;;2032127;;;SY)(A;;0x10000;;;BU)", "D:(A;;GXGR;;;BA)(A;;FA;;;SY)(A;;SD;;;BU)", 0},
        {"G:SYO:BAD:AR", "O:BAG:SYD:AR", 0},
        {"O:BA", "O:BA", 0},
        {"D:", "D:", 0},
        {"", "", 0},
        {"garbage", nullptr, ERROR_INVALID_PARAMETER},
        {"O:XX", nullptr, ERROR_INVALID_PARAMETER},
        {"S:(AU;SA;FA;;;WD)", nullptr, ERROR_INVALID_PARAMETER},  // a SACL is not modelled
        {"D:(A;;FA;;;XX)", nullptr, ERROR_INVALID_ACL},
        {"D:(OA;;FA;;;BA)", nullptr, ERROR_INVALID_ACL},
        {"D:(A;OICI;FA;;;BA", nullptr, ERROR_INVALID_ACL},
        {"O:BAO:SY", nullptr, ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        PSECURITY_DESCRIPTOR sd = reinterpret_cast<PSECURITY_DESCRIPTOR>(1);
        ULONG size = kPoison;
        SetLastError(kPoison);
        const BOOL ok = ConvertStringSecurityDescriptorToSecurityDescriptorA(c.text, SDDL_REVISION_1, &sd, &size);
        if (!c.written) {
            EXPECT_FALSE(ok);
            EXPECT_EQ(c.error, GetLastError());
            continue;
        }
        ASSERT_TRUE(ok);
        LPSTR text = NULL;
        ULONG length = 0;
        ASSERT_TRUE(ConvertSecurityDescriptorToStringSecurityDescriptorA(sd, SDDL_REVISION_1, kAll, &text, &length));
        EXPECT_STREQ(c.written, text);
        EXPECT_EQ(std::strlen(text) + 1, length);
        EXPECT_EQ(nullptr, LocalFree(text));
        EXPECT_EQ(nullptr, LocalFree(sd));
    }
    PSECURITY_DESCRIPTOR sd = NULL;
    EXPECT_FALSE(ConvertStringSecurityDescriptorToSecurityDescriptorA("O:BA", 2, &sd, NULL));
    EXPECT_EQ(DWORD(ERROR_UNKNOWN_REVISION), GetLastError());
    const BYTE notOne[20] = {2};
    LPSTR text = NULL;
    EXPECT_FALSE(ConvertSecurityDescriptorToStringSecurityDescriptorA(const_cast<BYTE*>(notOne), 1, kAll, &text, NULL));
    EXPECT_EQ(DWORD(ERROR_INVALID_SECURITY_DESCR), GetLastError());
}

// The self-relative form: the header, the owner right after it, then the DACL with its ACEs; the parts not
// asked for are left out.
TEST(Security, SelfRelativeLayout) {
    simwin::SecurityDescriptor sd;
    ASSERT_TRUE(simwin::parseSddl("O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)", sd));
    const std::string bytes = simwin::toSelfRelative(sd, kAll);
    ASSERT_EQ(88u, bytes.size());  // 20 + 16 (BA) + 8 + (8 + 16) + (8 + 12), as Windows and Wine make it
    SECURITY_DESCRIPTOR_RELATIVE h;
    std::memcpy(&h, bytes.data(), sizeof h);
    EXPECT_EQ(1, h.Revision);
    EXPECT_EQ(SE_SELF_RELATIVE | SE_DACL_PRESENT | SE_DACL_PROTECTED, h.Control);
    EXPECT_EQ(20u, h.Owner);
    EXPECT_EQ(0u, h.Group);
    EXPECT_EQ(0u, h.Sacl);
    EXPECT_EQ(36u, h.Dacl);
    ACL acl;
    std::memcpy(&acl, bytes.data() + 36, sizeof acl);
    EXPECT_EQ(ACL_REVISION, acl.AclRevision);
    EXPECT_EQ(52, acl.AclSize);
    EXPECT_EQ(2, acl.AceCount);
    ACCESS_ALLOWED_ACE ace;
    std::memcpy(&ace, bytes.data() + 44, sizeof ace);
    EXPECT_EQ(ACCESS_ALLOWED_ACE_TYPE, ace.Header.AceType);
    EXPECT_EQ(OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, ace.Header.AceFlags);
    EXPECT_EQ(24, ace.Header.AceSize);
    EXPECT_EQ(0x1F01FFu, ace.Mask);

    const std::string ownerOnly = simwin::toSelfRelative(sd, OWNER_SECURITY_INFORMATION);
    std::memcpy(&h, ownerOnly.data(), sizeof h);
    EXPECT_EQ(36u, ownerOnly.size());
    EXPECT_EQ(SE_SELF_RELATIVE, h.Control);
    EXPECT_EQ(0u, h.Dacl);
    simwin::SecurityDescriptor back;
    ASSERT_TRUE(simwin::fromMemory(bytes.data(), back));
    EXPECT_TRUE(back == sd);
}

// What directories and files get: an administrator's new directory is owned by Administrators; a protected
// DACL is kept as given, and what is made inside inherits it (OI to files, CI to directories, marked ID); an
// unprotected one is followed by what its parent passes on; CREATOR OWNER and generic rights are made
// specific where they apply. A user without administrator rights owns what it makes.
TEST(Security, DirectoriesAndWhatTheyPassOn) {
    auto m = Load("");
    simwin::MachineScope scope(*m);
    const std::string base = "C:\\ProgramData\\Vestral";
    ASSERT_TRUE(CreateSecured(base, "D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)"));
    ASSERT_TRUE(CreateDirectoryA((base + "\\Backup").c_str(), NULL));
    HANDLE f = CreateFileA((base + "\\Backup\\index.txt").c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, f);
    CloseHandle(f);
    ASSERT_TRUE(CreateSecured(base + "\\Open", "O:SYD:(A;;FA;;;BU)"));
    // Administrators may add to it (an ACE it does not pass on): its DACL alone would refuse them.
    ASSERT_TRUE(CreateSecured(base + "\\Creator", "D:P(A;;0x6;;;BA)(A;OICIIO;GA;;;CO)(A;OICI;GR;;;BU)"));
    ASSERT_TRUE(CreateDirectoryA((base + "\\Creator\\Sub").c_str(), NULL));
    f = CreateFileA((base + "\\Creator\\f.txt").c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW, 0, NULL);
    CloseHandle(f);

    struct Case {
        std::string path;
        const char* sddl;
    };
    const Case cases[] = {
        {base, "O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)"},
        {base + "\\Backup", "O:BAD:AI(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)"},
        {base + "\\Backup\\index.txt", "O:BAD:AI(A;ID;FA;;;BA)(A;ID;FA;;;SY)"},
        {base + "\\Open", "O:SYD:AI(A;;FA;;;BU)(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)"},
        {base + "\\Creator\\Sub", "O:BAD:AI(A;ID;FA;;;BA)(A;OICIIOID;GA;;;CO)(A;ID;FR;;;BU)(A;OICIIOID;GR;;;BU)"},
        {base + "\\Creator\\f.txt", "O:BAD:AI(A;ID;FA;;;BA)(A;ID;FR;;;BU)"},
        {"C:\\", "O:SYD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)"},
        {"C:\\Windows", "O:BAD:AI(A;OICIID;FA;;;SY)(A;OICIID;FA;;;BA)(A;OICIID;0x1200a9;;;BU)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(c.sddl, SecurityOf(c.path));
    }
    DWORD needed = 0;
    SetLastError(kPoison);
    EXPECT_FALSE(GetFileSecurityA(base.c_str(), SACL_SECURITY_INFORMATION, NULL, 0, &needed));
    EXPECT_EQ(DWORD(ERROR_PRIVILEGE_NOT_HELD), GetLastError());
    EXPECT_FALSE(GetFileSecurityA("C:\\No Such Dir\\x", kAll, NULL, 0, &needed));
    EXPECT_EQ(DWORD(ERROR_PATH_NOT_FOUND), GetLastError());
    SECURITY_ATTRIBUTES bad = {sizeof bad, const_cast<char*>("not a descriptor"), FALSE};
    EXPECT_FALSE(CreateDirectoryA("C:\\Bad", &bad));
    EXPECT_EQ(DWORD(ERROR_INVALID_SECURITY_DESCR), GetLastError());

    auto user = Load("[system]\nadmin = no\n");
    simwin::MachineScope userScope(*user);
    ASSERT_TRUE(CreateDirectoryA("C:\\Users\\Admin\\Mine", NULL));
    EXPECT_EQ(0u, SecurityOf("C:\\Users\\Admin\\Mine").find("O:S-1-5-21-"));
}

// SetFileSecurityA makes the parts it names the node's own; explicit descriptors are saved as [security]
// sections (inherited ones are not) and come back with the machine.
TEST(Security, SetAndSaved) {
    auto m = Load("", {{"C/Vestral/a.dll", "a"}});
    {
        simwin::MachineScope scope(*m);
        ASSERT_TRUE(CreateSecured("C:\\Vestral\\Backup", "D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)"));
        PSECURITY_DESCRIPTOR sd = NULL;
        ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA("O:SYD:PAI(A;;FR;;;WD)", 1, &sd, NULL));
        ASSERT_TRUE(SetFileSecurityA("C:\\Vestral\\a.dll", DACL_SECURITY_INFORMATION, sd));
        EXPECT_EQ("O:BAD:PAI(A;;FR;;;WD)", SecurityOf("C:\\Vestral\\a.dll"));
        ASSERT_TRUE(SetFileSecurityA("C:\\Vestral\\a.dll", OWNER_SECURITY_INFORMATION, sd));
        EXPECT_EQ("O:SYD:PAI(A;;FR;;;WD)", SecurityOf("C:\\Vestral\\a.dll"));
        LocalFree(sd);
        ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA("D:", 1, &sd, NULL));
        SetLastError(kPoison);
        EXPECT_FALSE(SetFileSecurityA("C:\\Vestral\\a.dll", OWNER_SECURITY_INFORMATION, sd));  // it names none
        EXPECT_EQ(DWORD(ERROR_INVALID_OWNER), GetLastError());
        LocalFree(sd);
    }
    testmachine::TempDir dir;
    m->save(dir.path.string());
    const std::string ini = testmachine::ReadFile(dir.path / "machine.ini");
    EXPECT_NE(std::string::npos, ini.find("[security]\npath = C:\\Vestral\\a.dll\nsddl = O:SYD:PAI(A;;FR;;;WD)\n")) << ini;
    EXPECT_NE(std::string::npos,
              ini.find("[security]\npath = C:\\Vestral\\Backup\nsddl = O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)\n"))
        << ini;
    auto again = simwin::Machine::load(dir.path.string());
    simwin::MachineScope scope(*again);
    EXPECT_EQ("O:SYD:PAI(A;;FR;;;WD)", SecurityOf("C:\\Vestral\\a.dll"));
    EXPECT_THROW(Load("[security]\npath = C:\\Missing\nsddl = O:BA\n"), simwin::MachineError);
    EXPECT_THROW(Load("[security]\npath = C:\\Windows\nsddl = O:XX\n"), simwin::MachineError);
}
