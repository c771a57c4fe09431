// Opening, deleting, copying and replacing files that other handles hold, and the rights a directory's
// descriptor gives to add to it: set up and checked with Win32 calls only, in a fresh directory below the
// temporary directory (removed after each test).
#include <gtest/gtest.h>

#include <string>

#include "base/platform.h"
#include "conformance/conformance_env.h"
#include "support/conformance_directory.h"

namespace {

const DWORD kPoison = 0xdeadbeef;
const DWORD kAllSharing = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

class FileSharingConformance : public ConformanceDirectoryTest {
protected:
    HANDLE open(const std::string& name, DWORD access, DWORD share, DWORD flags = 0,
                DWORD disposition = OPEN_EXISTING) {
        return CreateFileA(path(name).c_str(), access, share, nullptr, disposition, flags, nullptr);
    }
    bool exists(const std::string& name) { return GetFileAttributesA(path(name).c_str()) != INVALID_FILE_ATTRIBUTES; }
};

}  // namespace

// FILE_FLAG_DELETE_ON_CLOSE: CreateFileA asks for DELETE itself (an open for reading and writing alone
// takes the flag), so later opens need FILE_SHARE_DELETE; once the flagged handle is closed the file is
// delete-pending (new opens fail with 5) and it goes when its last handle closes. A read-only file refuses the
// flag with 5 (STATUS_CANNOT_DELETE). Under Wine a new open of the delete-pending file is not compared: Wine
// keeps no delete-pending state for it.
TEST_F(FileSharingConformance, DeleteOnCloseGoesWithTheLastHandle) {
    put("doc.tmp", "x");
    SetLastError(kPoison);
    HANDLE flagged = open("doc.tmp", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                          FILE_FLAG_DELETE_ON_CLOSE);
    ASSERT_NE(flagged, INVALID_HANDLE_VALUE) << GetLastError();
    EXPECT_EQ(GetLastError(), 0u);
    SetLastError(kPoison);
    EXPECT_EQ(open("doc.tmp", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    HANDLE other = open("doc.tmp", GENERIC_READ, kAllSharing);
    ASSERT_NE(other, INVALID_HANDLE_VALUE) << GetLastError();
    ASSERT_TRUE(CloseHandle(flagged));
    if (!UnderWine()) {
        SetLastError(kPoison);
        EXPECT_EQ(open("doc.tmp", GENERIC_READ, kAllSharing), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    }
    ASSERT_TRUE(CloseHandle(other));
    SetLastError(kPoison);
    EXPECT_EQ(GetFileAttributesA(path("doc.tmp").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    // A new file made with the flag is gone with its handle; what it was given is not kept anywhere.
    HANDLE fresh = open("new.tmp", GENERIC_WRITE, 0, FILE_FLAG_DELETE_ON_CLOSE, CREATE_NEW);
    ASSERT_NE(fresh, INVALID_HANDLE_VALUE) << GetLastError();
    DWORD written = kPoison;
    EXPECT_TRUE(WriteFile(fresh, "abc", 3, &written, nullptr));
    EXPECT_EQ(written, 3u);
    EXPECT_TRUE(exists("new.tmp"));
    CloseHandle(fresh);
    EXPECT_FALSE(exists("new.tmp"));

    put("ro.tmp", "r");
    ASSERT_TRUE(SetFileAttributesA(path("ro.tmp").c_str(), FILE_ATTRIBUTE_READONLY));
    SetLastError(kPoison);
    EXPECT_EQ(open("ro.tmp", GENERIC_READ, kAllSharing, FILE_FLAG_DELETE_ON_CLOSE), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(get("ro.tmp"), "r");
}

// A read-only file refuses writing, not DELETE: it opens for DELETE (and a rename or deletion through that
// handle is the file system's to refuse). Under Wine run by root the open for writing succeeds (file
// permissions do not hold there): only Windows's and simwin's answer is compared.
TEST_F(FileSharingConformance, ReadOnlyFileOpensForDeleteButNotForWriting) {
    put("ro.txt", "r");
    ASSERT_TRUE(SetFileAttributesA(path("ro.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    SetLastError(kPoison);
    HANDLE h = open("ro.txt", DELETE, kAllSharing);
    EXPECT_NE(h, INVALID_HANDLE_VALUE) << GetLastError();
    EXPECT_EQ(GetLastError(), 0u);
    CloseHandle(h);
    if (!UnderWine()) {
        SetLastError(kPoison);
        EXPECT_EQ(open("ro.txt", GENERIC_WRITE, kAllSharing), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    }
    EXPECT_EQ(get("ro.txt"), "r");
    EXPECT_EQ(GetFileAttributesA(path("ro.txt").c_str()) & FILE_ATTRIBUTE_READONLY,
              static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
}

// MoveFileExA with MOVEFILE_REPLACE_EXISTING onto a file another handle has open fails with 5, even when that
// handle shares everything, and both files stay as they were; closed, the same call replaces it.
TEST_F(FileSharingConformance, ReplacingAFileThatIsOpenIsRefused) {
    put("new.dll", "new");
    put("old.dll", "old");
    HANDLE holder = open("old.dll", GENERIC_READ, kAllSharing);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    SetLastError(kPoison);
    EXPECT_FALSE(MoveFileExA(path("new.dll").c_str(), path("old.dll").c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    CloseHandle(holder);
    EXPECT_EQ(get("new.dll"), "new");
    EXPECT_EQ(get("old.dll"), "old");
    EXPECT_TRUE(MoveFileExA(path("new.dll").c_str(), path("old.dll").c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_FALSE(exists("new.dll"));
    EXPECT_EQ(get("old.dll"), "new");
}

// A folder put aside under another name: MoveFileA renames it with what it holds; a name already taken
// fails with 183 and changes nothing.
TEST_F(FileSharingConformance, AFolderIsRenamedWithWhatItHolds) {
    ASSERT_TRUE(CreateDirectoryA(path("Backup").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(path("Backup\\Set").c_str(), nullptr));
    put("Backup\\Set\\journal.txt", "start");
    ASSERT_TRUE(CreateDirectoryA(path("Taken").c_str(), nullptr));
    SetLastError(kPoison);
    EXPECT_FALSE(MoveFileA(path("Backup").c_str(), path("Taken").c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_TRUE(exists("Backup\\Set\\journal.txt"));
    EXPECT_TRUE(MoveFileA(path("Backup").c_str(), path("Backup.moved-1").c_str())) << GetLastError();
    EXPECT_FALSE(exists("Backup"));
    EXPECT_EQ(get("Backup.moved-1\\Set\\journal.txt"), "start");
    RemoveDirectoryA(path("Taken").c_str());
    DeleteFileA(path("Backup.moved-1\\Set\\journal.txt").c_str());
    RemoveDirectoryA(path("Backup.moved-1\\Set").c_str());
    RemoveDirectoryA(path("Backup.moved-1").c_str());
}

// Copying and reading a file another handle holds: CopyFileA opens its source for reading with every kind of
// sharing (NT 4 to XP without delete sharing), so a source written or deleted elsewhere with read sharing
// copies; one held without read sharing fails with 32 and nothing is written.
TEST_F(FileSharingConformance, CopiesAndReadsOfAFileOthersHold) {
    struct Case {
        DWORD access, share;
        bool copies;
    };
    const Case cases[] = {
        {GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, true},
        {GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, true},
        {DELETE, FILE_SHARE_READ, true},
        {GENERIC_READ, FILE_SHARE_WRITE, false},
        {GENERIC_READ, 0, false},
    };
    put("source.txt", "content");
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "held with access 0x" << std::hex << c.access << ", sharing " << c.share);
        HANDLE holder = open("source.txt", c.access, c.share);
        ASSERT_NE(holder, INVALID_HANDLE_VALUE);
        SetLastError(kPoison);
        EXPECT_EQ(CopyFileA(path("source.txt").c_str(), path("copy.txt").c_str(), FALSE), c.copies ? TRUE : FALSE);
        EXPECT_EQ(GetLastError(), c.copies ? 0u : static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        EXPECT_EQ(exists("copy.txt"), c.copies);
        // A reader that shares everything opens it whenever the holder shares reading.
        HANDLE reader = open("source.txt", GENERIC_READ, kAllSharing);
        EXPECT_EQ(reader != INVALID_HANDLE_VALUE, (c.share & FILE_SHARE_READ) != 0);
        if (reader != INVALID_HANDLE_VALUE) CloseHandle(reader);
        CloseHandle(holder);
        DeleteFileA(path("copy.txt").c_str());
    }
}

// A directory whose DACL refuses FILE_ADD_FILE and FILE_ADD_SUBDIRECTORY refuses a new file, a copy and a new
// directory in it with 5 and holds nothing afterwards; what is there already still opens. Wine keeps no
// descriptor for a directory (it drops the one CreateDirectoryA is given), so there every creation succeeds.
TEST_F(FileSharingConformance, DirectoryThatRefusesAddingFilesAndDirectories) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(D;;0x6;;;WD)(A;OICI;FA;;;WD)",
                                                                     SDDL_REVISION_1, &sd, nullptr));
    SECURITY_ATTRIBUTES sa = {sizeof sa, sd, FALSE};
    ASSERT_TRUE(CreateDirectoryA(path("Closed").c_str(), &sa)) << GetLastError();
    LocalFree(sd);
    put("source.txt", "s");
    const bool refused = !UnderWine();
    const DWORD expected = refused ? static_cast<DWORD>(ERROR_ACCESS_DENIED) : kPoison;

    SetLastError(kPoison);
    HANDLE h = open("Closed\\new.txt", GENERIC_WRITE, 0, 0, CREATE_NEW);
    EXPECT_EQ(h == INVALID_HANDLE_VALUE, refused);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    EXPECT_EQ(GetLastError(), refused ? expected : 0u);
    SetLastError(kPoison);
    EXPECT_EQ(CreateDirectoryA(path("Closed\\Sub").c_str(), nullptr), refused ? FALSE : TRUE);
    EXPECT_EQ(GetLastError(), expected);
    SetLastError(kPoison);
    EXPECT_EQ(CopyFileA(path("source.txt").c_str(), path("Closed\\copy.txt").c_str(), TRUE), refused ? FALSE : TRUE);
    if (refused) {
        EXPECT_EQ(GetLastError(), expected);
    }
    EXPECT_EQ(exists("Closed\\new.txt"), !refused);
    EXPECT_EQ(exists("Closed\\Sub"), !refused);
    EXPECT_EQ(exists("Closed\\copy.txt"), !refused);
    EXPECT_TRUE(exists("Closed"));
}

// FindFirstFileA matches a pattern against each long name and its 8.3 alias ("*.htm" finds "page.html" through
// "PAGE~1.HTM"), and takes "<", ">" and '"' as the DOS wildcards of FsRtlIsNameInExpression: "<" any run of
// characters up to the name's last dot, ">" one character or none at a dot or the end, '"' a dot or the end
// of the name. Wine matches aliases too (its own, hashed, keep the extension's first three letters) but not
// the DOS wildcards: those rows are Windows's and simwin's only.
TEST_F(FileSharingConformance, PatternsMatchAliasesAndDosWildcards) {
    for (const char* name : {"page.html", "index.htm", "readme", "a.b.c", "Long Name.txt"}) put(name, "");
    struct Case {
        const char* pattern;
        std::vector<std::string> found;
        bool wineToo;
    };
    const Case cases[] = {
        {"*.htm", {"index.htm", "page.html"}, true},
        {"*.ht?", {"index.htm", "page.html"}, true},
        {"*.txt", {"Long Name.txt"}, true},
        {"<.htm", {"index.htm", "page.html"}, false},
        {"<.c", {"a.b.c"}, false},
        {"readme\"", {"readme"}, false},
        {"index.h>>>>", {"index.htm"}, false},
        {"inde>.htm", {"index.htm"}, false},
        {"read>>>>\"*", {"readme"}, false},
    };
    for (const Case& c : cases) {
        if (!c.wineToo && UnderWine()) continue;
        EXPECT_EQ(find(path(c.pattern)), c.found) << c.pattern;
    }
}
