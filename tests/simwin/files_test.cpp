// The simulated file system and profile functions: Windows path rules, error codes, sharing,
// searches, in-place edits, delayed deletion records, and the machine directory round trip.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "simwin/pending_renames.h"
#include "simwin/machine.h"
#include "simwin/win32.h"

namespace fs = std::filesystem;

namespace {

class FilesTest : public ::testing::Test {
protected:
    simwin::Machine m;
    simwin::MachineScope scope{m};

    HANDLE open(const char* path, DWORD access, DWORD share, DWORD disposition = OPEN_EXISTING) {
        return CreateFileA(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    std::string readAll(HANDLE h) {
        std::string out(GetFileSize(h, nullptr), '\0');
        DWORD got = 0;
        SetFilePointer(h, 0, nullptr, FILE_BEGIN);
        EXPECT_TRUE(ReadFile(h, out.empty() ? nullptr : &out[0], static_cast<DWORD>(out.size()), &got, nullptr));
        out.resize(got);
        return out;
    }
    // Names a search reports, in order.
    std::vector<std::string> findAll(const char* pattern) {
        std::vector<std::string> out;
        WIN32_FIND_DATAA d;
        HANDLE h = FindFirstFileA(pattern, &d);
        if (h == INVALID_HANDLE_VALUE) return out;
        do out.push_back(d.cFileName);
        while (FindNextFileA(h, &d));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
        EXPECT_TRUE(FindClose(h));
        return out;
    }
};

std::string readDisk(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::map<std::string, std::string> snapshot(const fs::path& root) {
    std::map<std::string, std::string> out;
    for (auto& e : fs::recursive_directory_iterator(root))
        out[fs::relative(e.path(), root).generic_string()] = e.is_directory() ? "<dir>" : readDisk(e.path());
    return out;
}

struct TempDir {
    TempDir() {
        static int counter = 0;
        path = fs::temp_directory_path() / ("simwin-files-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~TempDir() { fs::remove_all(path); }
    fs::path path;
};

// ---------------------------------------------------------------------------------------------
// Paths

TEST_F(FilesTest, FullPathFollowsWindowsRules) {
    m.files.currentDirectory = "C:\\Windows\\System32";
    EXPECT_EQ(m.files.fullPath("a.txt"), "C:\\Windows\\System32\\a.txt");
    EXPECT_EQ(m.files.fullPath("..\\win.ini"), "C:\\Windows\\win.ini");
    EXPECT_EQ(m.files.fullPath("\\x\\.\\y\\..\\z"), "C:\\x\\z");
    EXPECT_EQ(m.files.fullPath("c:/A//B/"), "c:\\A\\B");
    EXPECT_EQ(m.files.fullPath("c:/A//B/", true), "c:\\A\\B\\");
    EXPECT_EQ(m.files.fullPath("C:\\..\\..\\x"), "C:\\x");
    EXPECT_EQ(m.files.fullPath("C:drivers"), "C:\\Windows\\System32\\drivers");
    EXPECT_EQ(m.files.fullPath("D:data"), "D:\\data");
    EXPECT_EQ(m.files.fullPath("C:\\dir\\name. . "), "C:\\dir\\name");
    EXPECT_EQ(m.files.fullPath("C:\\"), "C:\\");
    EXPECT_EQ(m.files.fullPath("\\\\server\\share\\x"), "");
    EXPECT_EQ(m.files.fullPath(""), "");
}

TEST_F(FilesTest, NamesAreCaseInsensitiveAndKeepTheirCase) {
    m.files.writeFile("C:\\Data\\MixedCase.Txt", "x");
    EXPECT_TRUE(m.files.exists("c:/data/MIXEDCASE.TXT"));
    EXPECT_EQ(m.files.find("C:\\DATA\\mixedcase.txt")->path(), "C:\\Data\\MixedCase.Txt");
    EXPECT_EQ(findAll("C:\\data\\*.TXT"), std::vector<std::string>{"MixedCase.Txt"});
}

TEST_F(FilesTest, CurrentDirectoryAndFullPathName) {
    char buf[MAX_PATH];
    ASSERT_TRUE(SetCurrentDirectoryA("c:\\windows\\system32"));
    EXPECT_EQ(GetCurrentDirectoryA(sizeof buf, buf), std::strlen("c:\\windows\\system32"));
    EXPECT_STREQ(buf, "c:\\windows\\system32");
    EXPECT_EQ(GetCurrentDirectoryA(5, buf), std::strlen("c:\\windows\\system32") + 1);

    EXPECT_FALSE(SetCurrentDirectoryA("C:\\Windows\\NoSuchDir"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(SetCurrentDirectoryA("C:\\NoSuch\\Dir"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    m.files.writeFile("C:\\file.txt", "");
    EXPECT_FALSE(SetCurrentDirectoryA("C:\\file.txt"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DIRECTORY));

    char* part = nullptr;
    DWORD n = GetFullPathNameA("..\\Fonts\\arial.ttf", sizeof buf, buf, &part);
    EXPECT_STREQ(buf, "c:\\windows\\Fonts\\arial.ttf");
    EXPECT_EQ(n, std::strlen(buf));
    ASSERT_NE(part, nullptr);
    EXPECT_STREQ(part, "arial.ttf");
    EXPECT_EQ(GetFullPathNameA("x\\", sizeof buf, buf, &part), std::strlen("c:\\windows\\system32\\x\\"));
    EXPECT_EQ(part, nullptr);
    EXPECT_EQ(GetFullPathNameA("abc", 4, buf, &part), std::strlen("c:\\windows\\system32\\abc") + 1);
}

TEST_F(FilesTest, SearchPathLooksInTheStandardPlacesAndAddsTheExtension) {
    m.files.writeFile("C:\\Windows\\System32\\tool.exe", "sys");
    m.files.writeFile("C:\\Program Files\\Vestral\\tool.exe", "own");
    m.files.writeFile("C:\\Windows\\only.ini", "");
    char buf[MAX_PATH];
    char* part = nullptr;
    DWORD n = SearchPathA(nullptr, "tool", ".exe", sizeof buf, buf, &part);
    EXPECT_STREQ(buf, "C:\\Program Files\\Vestral\\tool.exe");  // the program's directory first
    EXPECT_EQ(n, std::strlen(buf));
    EXPECT_STREQ(part, "tool.exe");
    EXPECT_GT(SearchPathA(nullptr, "only.ini", ".exe", sizeof buf, buf, nullptr), 0u);  // has an extension
    EXPECT_STREQ(buf, "C:\\Windows\\only.ini");
    EXPECT_GT(SearchPathA("C:\\Windows\\System32;C:\\Windows", "TOOL.EXE", nullptr, sizeof buf, buf, nullptr), 0u);
    EXPECT_STREQ(buf, "C:\\Windows\\System32\\TOOL.EXE");
    EXPECT_EQ(SearchPathA(nullptr, "tool.exe", nullptr, 4, buf, nullptr), std::strlen(
                  "C:\\Program Files\\Vestral\\tool.exe") + 1);
    EXPECT_EQ(SearchPathA(nullptr, "missing.dll", nullptr, sizeof buf, buf, nullptr), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(FilesTest, TempFileNamesUsePrefixHexAndTmp) {
    char name[MAX_PATH];
    EXPECT_EQ(GetTempFileNameA("C:\\Temp", "abcdef", 0x1A2B, name), 0x1A2Bu);
    EXPECT_STREQ(name, "C:\\Temp\\abc1A2B.TMP");
    EXPECT_FALSE(m.files.exists(name));  // a given number creates nothing

    char tempDir[MAX_PATH];
    ASSERT_GT(GetTempPathA(sizeof tempDir, tempDir), 0u);
    UINT first = GetTempFileNameA(tempDir, "~~", 0, name);
    ASSERT_NE(first, 0u);
    EXPECT_TRUE(m.files.exists(name));
    EXPECT_EQ(m.files.read(name), "");
    std::string firstName = name;
    EXPECT_EQ(firstName.substr(0, std::strlen(tempDir) + 2), std::string(tempDir) + "~~");
    EXPECT_EQ(firstName.substr(firstName.size() - 4), ".TMP");
    UINT second = GetTempFileNameA(tempDir, "~~", 0, name);  // the clock has not moved: next number
    EXPECT_NE(second, first);
    EXPECT_NE(firstName, name);
    EXPECT_EQ(GetTempFileNameA("C:\\NoSuchDir", "~~", 0, name), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DIRECTORY));
}

// ---------------------------------------------------------------------------------------------
// Error codes

TEST_F(FilesTest, OpenErrorsAreTheWindowsCodes) {
    m.files.writeFile("C:\\Data\\a.txt", "abc");
    EXPECT_EQ(open("C:\\Data\\b.txt", GENERIC_READ, 0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(open("C:\\NoDir\\b.txt", GENERIC_READ, 0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(open("C:\\Data\\a.txt\\x", GENERIC_READ, 0), INVALID_HANDLE_VALUE);  // a file on the way
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(open("Q:\\x.txt", GENERIC_READ, 0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(open("C:\\Data\\a*.txt", GENERIC_READ, 0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
    EXPECT_EQ(open(("C:\\" + std::string(256, 'n')).c_str(), GENERIC_READ, 0, CREATE_NEW), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));  // one name past what a folder holds
    EXPECT_EQ(open("C:\\Data", GENERIC_READ, 0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(open("C:\\Data", GENERIC_READ, 0, CREATE_NEW), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
    EXPECT_EQ(open("C:\\Data\\a.txt", GENERIC_WRITE, 0, CREATE_NEW), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
    EXPECT_EQ(open("C:\\Data\\a.txt", GENERIC_READ, 0, TRUNCATE_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(open("C:\\Data\\a.txt", GENERIC_READ, 0, 0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(m.files.read("C:\\Data\\a.txt"), "abc");  // none of these touched it
}

TEST_F(FilesTest, LastErrorAfterSuccessfulOpens) {
    m.files.writeFile("C:\\Data\\a.txt", "abc");
    SetLastError(1234);
    HANDLE h = open("C:\\Data\\a.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    CloseHandle(h);
    h = open("C:\\Data\\a.txt", GENERIC_WRITE, 0, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(GetFileSize(h, nullptr), 0u);  // truncated
    CloseHandle(h);
    SetLastError(1234);
    h = open("C:\\Data\\new.txt", GENERIC_WRITE, 0, OPEN_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), 0u);
    CloseHandle(h);
    SetLastError(1234);
    h = open("C:\\Data\\a.txt", GENERIC_READ, 0, OPEN_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), 0u);
    CloseHandle(h);
}

TEST_F(FilesTest, LockedFilesRefuseOpeningAndDeletion) {
    m.files.writeFile("C:\\Windows\\System32\\busy.dll", "code");
    m.files.setLocked("C:\\Windows\\System32\\busy.dll", true);
    EXPECT_EQ(open("C:\\Windows\\System32\\busy.dll", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(DeleteFileA("C:\\Windows\\System32\\busy.dll"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(MoveFileA("C:\\Windows\\System32\\busy.dll", "C:\\busy.dll"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    // An open that asks for no data access still works, and so do attribute changes.
    HANDLE h = open("C:\\Windows\\System32\\busy.dll", 0, 0);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    EXPECT_TRUE(SetFileAttributesA("C:\\Windows\\System32\\busy.dll", FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(m.files.exists("C:\\Windows\\System32\\busy.dll"));
    m.files.setLocked("C:\\Windows\\System32\\busy.dll", false);
    EXPECT_TRUE(DeleteFileA("C:\\Windows\\System32\\busy.dll"));
}

TEST_F(FilesTest, ReadOnlyFilesRefuseWritingAndDeletion) {
    m.files.writeFile("C:\\Data\\ro.txt", "keep");
    ASSERT_TRUE(SetFileAttributesA("C:\\Data\\ro.txt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(GetFileAttributesA("C:\\Data\\ro.txt"),
              static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(open("C:\\Data\\ro.txt", GENERIC_WRITE, 0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(DeleteFileA("C:\\Data\\ro.txt"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    HANDLE h = open("C:\\Data\\ro.txt", GENERIC_READ, FILE_SHARE_READ);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(readAll(h), "keep");
    CloseHandle(h);
    // What the tool does before deleting: clear read-only, hidden and system.
    DWORD a = GetFileAttributesA("C:\\Data\\ro.txt");
    ASSERT_TRUE(SetFileAttributesA("C:\\Data\\ro.txt", a & ~static_cast<DWORD>(7)));
    EXPECT_EQ(GetFileAttributesA("C:\\Data\\ro.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(DeleteFileA("C:\\Data\\ro.txt"));
    EXPECT_EQ(GetFileAttributesA("C:\\Data\\ro.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(FilesTest, DirectoryErrors) {
    EXPECT_TRUE(CreateDirectoryA("C:\\New", nullptr));
    EXPECT_EQ(GetFileAttributesA("C:\\New"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_FALSE(CreateDirectoryA("C:\\new\\", nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_FALSE(CreateDirectoryA("C:\\Missing\\Sub", nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    m.files.writeFile("C:\\New\\f.txt", "");
    EXPECT_FALSE(CreateDirectoryA("C:\\New\\f.txt", nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_FALSE(RemoveDirectoryA("C:\\New"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DIR_NOT_EMPTY));
    EXPECT_FALSE(DeleteFileA("C:\\New"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(RemoveDirectoryA("C:\\New\\f.txt"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DIRECTORY));
    EXPECT_FALSE(RemoveDirectoryA("C:\\New\\gone"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(RemoveDirectoryA("C:\\Gone\\gone"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_TRUE(DeleteFileA("C:\\New\\f.txt"));
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\New"));
    EXPECT_FALSE(RemoveDirectoryA("C:\\New"));  // the current directory is held open
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\"));
    EXPECT_TRUE(RemoveDirectoryA("C:\\New"));
    EXPECT_FALSE(m.files.exists("C:\\New"));
    EXPECT_FALSE(RemoveDirectoryA("C:\\"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(FilesTest, CopyAndMove) {
    m.files.writeFile("C:\\Data\\a.txt", "A");
    m.files.writeFile("C:\\Data\\b.txt", "B");
    EXPECT_FALSE(CopyFileA("C:\\Data\\a.txt", "C:\\Data\\b.txt", TRUE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
    EXPECT_TRUE(CopyFileA("C:\\Data\\a.txt", "C:\\Data\\b.txt", FALSE));
    EXPECT_EQ(m.files.read("C:\\Data\\b.txt"), "A");
    EXPECT_FALSE(CopyFileA("C:\\Data\\none.txt", "C:\\Data\\c.txt", FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(CopyFileA("C:\\Data\\a.txt", "C:\\Nowhere\\c.txt", FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

    EXPECT_FALSE(MoveFileA("C:\\Data\\a.txt", "C:\\Data\\b.txt"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_TRUE(MoveFileExA("C:\\Data\\a.txt", "C:\\Data\\b.txt", MOVEFILE_REPLACE_EXISTING));
    EXPECT_FALSE(m.files.exists("C:\\Data\\a.txt"));
    EXPECT_TRUE(MoveFileA("C:\\Data\\b.txt", "D:\\b.txt"));  // another drive: copied
    EXPECT_EQ(m.files.read("D:\\b.txt"), "A");
    EXPECT_FALSE(MoveFileExA("D:\\b.txt", "C:\\b.txt", 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SAME_DEVICE));
    EXPECT_FALSE(MoveFileA("C:\\Data", "C:\\Data\\Inner"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(MoveFileA("C:\\Data", "C:\\Moved"));  // a directory with its contents
    EXPECT_TRUE(m.files.isDirectory("C:\\Moved"));
    EXPECT_TRUE(MoveFileA("D:\\b.txt", "D:\\B.TXT"));  // a change of letter case only
    EXPECT_EQ(m.files.find("D:\\b.txt")->name, "B.TXT");
}

// ---------------------------------------------------------------------------------------------
// Sharing

TEST_F(FilesTest, ShareModesOfTheToolsOwnHandles) {
    m.files.writeFile("C:\\Data\\s.ini", "[a]\r\n");
    const char* p = "C:\\Data\\s.ini";
    HANDLE exclusive = open(p, GENERIC_READ, 0);
    ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
    EXPECT_EQ(m.files.find(p)->openHandles, 1);
    EXPECT_EQ(open(p, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(DeleteFileA(p));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    char buf[16];
    EXPECT_EQ(GetPrivateProfileStringA("a", "k", "dflt", buf, sizeof buf, p), 4u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    ASSERT_TRUE(CloseHandle(exclusive));
    EXPECT_EQ(m.files.find(p)->openHandles, 0);

    HANDLE reader = open(p, GENERIC_READ, FILE_SHARE_READ);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    HANDLE reader2 = open(p, GENERIC_READ, FILE_SHARE_READ);
    EXPECT_NE(reader2, INVALID_HANDLE_VALUE);
    EXPECT_EQ(open(p, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ), INVALID_HANDLE_VALUE);  // readers deny writing
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(open(p, GENERIC_READ, 0), INVALID_HANDLE_VALUE);  // would deny the open readers
    EXPECT_EQ(m.files.find(p)->shareMode, static_cast<DWORD>(FILE_SHARE_READ));
    CloseHandle(reader);
    CloseHandle(reader2);

    HANDLE writer = open(p, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    HANDLE other = open(p, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(DeleteFileA(p));  // one handle does not allow deletion
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    CloseHandle(other);
    EXPECT_TRUE(DeleteFileA(p));  // everyone allows deletion: the name goes at once
    EXPECT_FALSE(m.files.exists(p));
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(writer, "x", 1, &written, nullptr));  // the open handle still works
    EXPECT_EQ(written, 1u);
}

TEST_F(FilesTest, HandleAccessIsChecked) {
    m.files.writeFile("C:\\Data\\f.bin", "12345");
    HANDLE r = open("C:\\Data\\f.bin", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
    HANDLE w = open("C:\\Data\\f.bin", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_NE(r, INVALID_HANDLE_VALUE);
    ASSERT_NE(w, INVALID_HANDLE_VALUE);
    char buf[8];
    DWORD n = 99;
    EXPECT_FALSE(ReadFile(w, buf, sizeof buf, &n, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(n, 0u);
    EXPECT_FALSE(WriteFile(r, "x", 1, &n, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(SetEndOfFile(r));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    CloseHandle(r);
    CloseHandle(w);
    EXPECT_FALSE(ReadFile(r, buf, sizeof buf, &n, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(GetFileSize(r, nullptr), INVALID_FILE_SIZE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(m.files.find("C:\\Data\\f.bin")->openHandles, 0);
}

// ---------------------------------------------------------------------------------------------
// Reading and writing in place

TEST_F(FilesTest, SetEndOfFileShortensAndPointerRules) {
    m.files.writeFile("C:\\Windows\\edit.ini", "[s]\r\nload=x\r\nrun=y\r\n");
    HANDLE h = open("C:\\Windows\\edit.ini", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    std::string text = readAll(h);
    ASSERT_EQ(text.size(), 20u);
    // Cut "load=x\r\n" out as the INI line deletion does.
    EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_BEGIN), 0u);
    DWORD n = 0;
    ASSERT_TRUE(WriteFile(h, text.data(), 5, &n, nullptr));
    ASSERT_TRUE(WriteFile(h, text.data() + 13, 7, &n, nullptr));
    ASSERT_TRUE(SetEndOfFile(h));
    EXPECT_EQ(GetFileSize(h, nullptr), 12u);
    CloseHandle(h);
    EXPECT_EQ(m.files.read("C:\\Windows\\edit.ini"), "[s]\r\nrun=y\r\n");

    h = open("C:\\Windows\\edit.ini", GENERIC_READ | GENERIC_WRITE, 0);
    EXPECT_EQ(SetFilePointer(h, -3, nullptr, FILE_END), 9u);
    EXPECT_EQ(SetFilePointer(h, 1, nullptr, FILE_CURRENT), 10u);
    EXPECT_EQ(SetFilePointer(h, -20, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NEGATIVE_SEEK));
    EXPECT_EQ(SetFilePointer(h, 0, nullptr, 7), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    LONG high = 0;
    EXPECT_EQ(SetFilePointer(h, 15, &high, FILE_BEGIN), 15u);
    EXPECT_EQ(high, 0);
    ASSERT_TRUE(WriteFile(h, "Z", 1, &n, nullptr));  // past the end: the gap is zero-filled
    EXPECT_EQ(m.files.read("C:\\Windows\\edit.ini"), std::string("[s]\r\nrun=y\r\n\0\0\0Z", 16));
    char buf[4];
    EXPECT_TRUE(ReadFile(h, buf, sizeof buf, &n, nullptr));  // at the end: success, nothing read
    EXPECT_EQ(n, 0u);
    SetFilePointer(h, 4, nullptr, FILE_BEGIN);
    ASSERT_TRUE(SetEndOfFile(h));
    EXPECT_EQ(m.files.read("C:\\Windows\\edit.ini"), "[s]\r");
    CloseHandle(h);
}

// ---------------------------------------------------------------------------------------------
// Searches

TEST(FileNameMatching, WindowsWildcards) {
    using simwin::matchFileName;
    EXPECT_TRUE(matchFileName("*.*", "README"));
    EXPECT_TRUE(matchFileName("*.*", "."));
    EXPECT_TRUE(matchFileName("*", "a.b.c"));
    EXPECT_TRUE(matchFileName("*.ini", "WIN.INI"));
    EXPECT_FALSE(matchFileName("*.ini", "win.ini.bak"));
    EXPECT_TRUE(matchFileName("*.ini", "a.b.ini"));
    EXPECT_TRUE(matchFileName("*.", "README"));
    EXPECT_FALSE(matchFileName("*.", "read.me"));
    EXPECT_TRUE(matchFileName("a?c.txt", "abc.txt"));
    EXPECT_FALSE(matchFileName("a?c.txt", "ac.txt"));
    EXPECT_TRUE(matchFileName("file?.txt", "file.txt"));  // "?" before a dot may match nothing
    EXPECT_TRUE(matchFileName("ab??", "ab"));               // ... and at the end
    EXPECT_FALSE(matchFileName("ab?", "abcd"));
    EXPECT_TRUE(matchFileName("Kunz__04.unm", "KUNZ__04.UNM"));
    EXPECT_FALSE(matchFileName("Kunz__04.unm", "Kunz__04.unm2"));
    EXPECT_TRUE(matchFileName("*04*", "kunz__04.unm"));
    EXPECT_TRUE(matchFileName("a*b*c", "aXbYbZc"));
    EXPECT_FALSE(matchFileName("a*b*c", "aXbYbZ"));
}

TEST_F(FilesTest, FindEnumeratesInOrderWithDotsForSubdirectories) {
    m.files.writeFile("C:\\Tree\\b.ini", "12");
    m.files.writeFile("C:\\Tree\\A.txt", "");
    m.files.writeFile("C:\\Tree\\noext", "");
    m.files.makeDirectories("C:\\Tree\\Sub");
    EXPECT_EQ(findAll("C:\\Tree\\*.*"), (std::vector<std::string>{".", "..", "A.txt", "b.ini", "noext", "Sub"}));
    EXPECT_EQ(findAll("C:\\Tree\\*.ini"), std::vector<std::string>{"b.ini"});
    // "?" may match nothing before a dot, so the dot entries match "?.*" too.
    EXPECT_EQ(findAll("C:/Tree/?.*"), (std::vector<std::string>{".", "..", "A.txt", "b.ini"}));
    EXPECT_EQ(findAll("C:/Tree/?.ini"), std::vector<std::string>{"b.ini"});
    EXPECT_EQ(findAll("C:\\Tree\\B.INI"), std::vector<std::string>{"b.ini"});
    EXPECT_EQ(findAll("C:\\Tree\\*."), (std::vector<std::string>{".", "..", "noext", "Sub"}));
    EXPECT_EQ(findAll("C:\\Tree\\Sub\\."), std::vector<std::string>{"Sub"});
    EXPECT_EQ(findAll("C:\\Tree\\Sub\\..\\noext"), std::vector<std::string>{"noext"});

    std::vector<std::string> root = findAll("C:\\*");
    EXPECT_EQ(std::count(root.begin(), root.end(), "."), 0);  // a drive root has no dot entries
    EXPECT_EQ(std::count(root.begin(), root.end(), "Tree"), 1);

    WIN32_FIND_DATAA d;
    HANDLE h = FindFirstFileA("C:\\Tree\\b*", &d);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(d.nFileSizeLow, 2u);
    EXPECT_EQ(d.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
    EXPECT_FALSE(FindNextFileA(h, &d));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    EXPECT_TRUE(FindClose(h));
    EXPECT_FALSE(FindClose(h));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    h = FindFirstFileA("C:\\Tree\\Su*", &d);
    EXPECT_EQ(d.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    FindClose(h);

    // Relative patterns search the current directory.
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\Tree"));
    EXPECT_EQ(findAll("*.ini"), std::vector<std::string>{"b.ini"});

    EXPECT_EQ(FindFirstFileA("C:\\Tree\\*.dll", &d), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(FindFirstFileA("C:\\NoTree\\*.*", &d), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(FindFirstFileA("C:\\Tree\\", &d), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(m.handles.openCount(), 0u);
}

// ---------------------------------------------------------------------------------------------
// Delayed operations

TEST_F(FilesTest, DelayedDeletionIsRecordedForAdministratorsOnly) {
    m.files.writeFile("C:\\Windows\\System32\\busy.dll", "");
    m.files.setLocked("C:\\Windows\\System32\\busy.dll", true);
    ASSERT_TRUE(MoveFileExA("c:\\windows\\system32\\BUSY.dll", nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
    ASSERT_TRUE(MoveFileExA("C:\\a.tmp", "C:\\b.tmp", MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING));
    ASSERT_EQ(simwin::pendingRenames(m.registry).size(), 2u);
    EXPECT_EQ(simwin::pendingRenames(m.registry)[0].from, "c:\\windows\\system32\\BUSY.dll");
    EXPECT_EQ(simwin::pendingRenames(m.registry)[0].to, "");
    EXPECT_EQ(simwin::pendingRenames(m.registry)[1].to, "C:\\b.tmp");
    EXPECT_TRUE(m.files.exists("C:\\Windows\\System32\\busy.dll"));  // nothing happens before the restart

    EXPECT_FALSE(MoveFileExA("C:\\x", nullptr, MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_COPY_ALLOWED));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    m.system.admin = false;
    EXPECT_FALSE(MoveFileExA("C:\\x", nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(simwin::pendingRenames(m.registry).size(), 2u);

    // Where the session manager reads them: pairs of "\\??\\" paths, an empty name for a deletion.
    const simwin::RegValue* value = m.registry.value(simwin::kSessionManagerKey, simwin::kPendingRenamesValue);
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->type, static_cast<DWORD>(REG_MULTI_SZ));
    const std::string bytes(value->data.begin(), value->data.end());
    const std::string expected = std::string("\\??\\c:\\windows\\system32\\BUSY.dll") + '\0' + '\0' + "\\??\\C:\\a.tmp" +
                                 '\0' + "\\??\\C:\\b.tmp" + '\0' + '\0';
    EXPECT_EQ(bytes, expected);

    const simwin::IniDoc doc = simwin::IniDoc::parse(m.saveIni(), "saved");
    std::vector<const simwin::IniSection*> pending = doc.all("pending");
    ASSERT_EQ(pending.size(), 2u);
    EXPECT_EQ(pending[0]->get("from"), "c:\\windows\\system32\\BUSY.dll");
    EXPECT_FALSE(pending[0]->has("to"));
    EXPECT_EQ(pending[1]->get("to"), "C:\\b.tmp");
}

// [pending] sections and the session manager's value are one record: either place may bring it, a save writes
// it as sections only, and two places that disagree stop the load naming both.
TEST(DelayedDeletion, PendingSectionsAndTheSessionManagersValueAreOneRecord) {
    const std::string key = "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager]\n";
    // hex(7) of "\??\C:\x.dll", "", "" as REG_MULTI_SZ writes it (UTF-16LE).
    std::string hex;
    for (char c : std::string("\\??\\C:\\x.dll")) {
        char b[8];
        snprintf(b, sizeof b, "%02x,00,", static_cast<unsigned char>(c));
        hex += b;
    }
    const std::string value = "\"PendingFileRenameOperations\"=hex(7):" + hex + "00,00,00,00,00,00\n";
    const std::string kHeader = "Windows Registry Editor Version 5.00\n";
    const struct {
        const char* name;
        std::string ini, registry;
        const char* error;  // part of the load's error, or null when it loads
    } rows[] = {
        {"sections alone", "[pending]\nfrom = C:\\x.dll\n", "", nullptr},
        {"the value alone", "", kHeader + key + value, nullptr},
        {"both, agreeing", "[pending]\nfrom = C:\\x.dll\n", kHeader + key + value, nullptr},
        {"both, disagreeing", "[pending]\nfrom = C:\\y.dll\n", kHeader + key + value,
         "machine.ini [pending] and registry.reg"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir, saved;
        std::ofstream(dir.path / "machine.ini") << "[system]\nplatform = nt\n" << row.ini;
        if (!row.registry.empty()) std::ofstream(dir.path / "registry.reg") << row.registry;
        if (row.error) {
            try {
                simwin::Machine::load(dir.path.string());
                ADD_FAILURE() << "loaded";
            } catch (const simwin::MachineError& e) {
                EXPECT_NE(std::string(e.what()).find(row.error), std::string::npos) << e.what();
            }
            continue;
        }
        auto m = simwin::Machine::load(dir.path.string());
        ASSERT_EQ(simwin::pendingRenames(m->registry).size(), 1u);
        EXPECT_EQ(simwin::pendingRenames(m->registry)[0].from, "C:\\x.dll");
        m->save(saved.path.string());
        const std::map<std::string, std::string> files = snapshot(saved.path);
        EXPECT_EQ(files.at("machine.ini").find("[pending]\nfrom = C:\\x.dll\n") != std::string::npos, true);
        EXPECT_EQ(files.at("registry.reg").find("PendingFileRenameOperations"), std::string::npos);
    }
}

TEST(DelayedDeletion, OnlyTheNtFamilyAndAFullAdministratorRecordIt) {
    for (simwin::Platform p : {simwin::Platform::Win9x, simwin::Platform::Win32s}) {
        simwin::Machine m(p);
        simwin::MachineScope scope(m);
        m.files.writeFile("C:\\WINDOWS\\SYSTEM\\busy.dll", "");
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(MoveFileExA("C:\\WINDOWS\\SYSTEM\\busy.dll", nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
        EXPECT_EQ(static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED), GetLastError());
        EXPECT_TRUE(simwin::pendingRenames(m.registry).empty());
    }
    simwin::Machine filtered;
    filtered.system.adminDenyOnly = true;
    simwin::MachineScope scope(filtered);
    filtered.files.writeFile("C:\\Windows\\System32\\busy.dll", "");
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(MoveFileExA("C:\\Windows\\System32\\busy.dll", nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_TRUE(simwin::pendingRenames(filtered.registry).empty());
}

// The 9x rename list is an ordinary file the tool appends to; a save carries it under drive/.
TEST(DelayedDeletion, WininitRenameListIsAFileOfTheWindowsDirectory) {
    TempDir saved;
    {
        simwin::Machine m(simwin::Platform::Win9x);
        simwin::MachineScope scope(m);
        const char* const paths[] = {"C:\\WINDOWS\\SYSTEM\\VX.DLL", "C:\\WINDOWS\\SYSTEM\\VY.DLL"};
        for (const char* path : paths) {
            SetLastError(0xdeadbeef);
            HANDLE h = CreateFileA("C:\\WINDOWS\\WININIT.INI", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                   OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            ASSERT_NE(INVALID_HANDLE_VALUE, h);
            const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
            EXPECT_EQ(path != paths[0], existed) << path;  // created by the first, found by the second
            DWORD n = 0;
            if (!existed) {
                ASSERT_TRUE(WriteFile(h, "[RENAME]\r\n", 10, &n, nullptr));
            }
            EXPECT_NE(INVALID_SET_FILE_POINTER, SetFilePointer(h, 0, nullptr, FILE_END));
            const std::string line = std::string("NUL=") + path + "\r\n";
            ASSERT_TRUE(WriteFile(h, line.data(), static_cast<DWORD>(line.size()), &n, nullptr));
            ASSERT_TRUE(CloseHandle(h));
        }
        m.save(saved.path.string());
    }
    EXPECT_EQ("[RENAME]\r\nNUL=C:\\WINDOWS\\SYSTEM\\VX.DLL\r\nNUL=C:\\WINDOWS\\SYSTEM\\VY.DLL\r\n",
              readDisk(saved.path / "drive" / "C" / "WINDOWS" / "WININIT.INI"));
    EXPECT_EQ(std::string::npos, readDisk(saved.path / "machine.ini").find("[pending]"));
}

// The Win32s rename list: written with the profile functions beside the program, only when its
// helper is there to carry it out.
TEST(DelayedDeletion, NwininitRenameListIsAProfileFileOfTheProgramDirectory) {
    TempDir saved;
    {
        simwin::Machine m(simwin::Platform::Win32s);
        simwin::MachineScope scope(m);
        const std::string dir = "C:\\Program Files\\Vestral\\";
        m.files.writeFile(dir + "nwininit.exe", "MZ");
        HANDLE helper = CreateFileA((dir + "nwininit.exe").c_str(), GENERIC_READ, FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, helper);
        CloseHandle(helper);
        ASSERT_TRUE(WritePrivateProfileStringA("RENAME", "C:\\WINDOWS\\SYSTEM\\VX.DLL", "NUL",
                                               (dir + "nwininit.ini").c_str()));
        ASSERT_TRUE(WritePrivateProfileStringA("RENAME", "C:\\WINDOWS\\nreg32s.ini", "NUL",
                                               (dir + "nwininit.ini").c_str()));
        m.save(saved.path.string());
    }
    EXPECT_EQ("[RENAME]\r\nC:\\WINDOWS\\SYSTEM\\VX.DLL=NUL\r\nC:\\WINDOWS\\nreg32s.ini=NUL\r\n",
              readDisk(saved.path / "drive" / "C" / "Program Files" / "Vestral" / "nwininit.ini"));
}

// ---------------------------------------------------------------------------------------------
// Profile functions

TEST_F(FilesTest, ProfileReadsWithDefaultsQuotesAndTruncation) {
    m.files.writeFile("C:\\Windows\\test.ini",
                      "; comment\r\n[Strings]\r\n  PrinterName1 = \"Vestral X\" \r\nEmpty=\r\nbare\r\n"
                      "\r\n[strings]\r\nPrinterName1=second\r\n[Other]\r\nk=v\r\n");
    char buf[64];
    EXPECT_EQ(GetPrivateProfileStringA("STRINGS", "printername1", nullptr, buf, sizeof buf, "test.ini"), 9u);
    EXPECT_STREQ(buf, "Vestral X");
    EXPECT_EQ(GetPrivateProfileStringA("Strings", "PrinterName1", nullptr, buf, 5, "C:\\Windows\\test.ini"), 4u);
    EXPECT_STREQ(buf, "Vest");
    EXPECT_EQ(GetPrivateProfileStringA("Strings", "Empty", "dflt", buf, sizeof buf, "test.ini"), 0u);
    EXPECT_STREQ(buf, "");
    SetLastError(0);
    EXPECT_EQ(GetPrivateProfileStringA("Strings", "Missing", "dflt  ", buf, sizeof buf, "test.ini"), 4u);
    EXPECT_STREQ(buf, "dflt");  // trailing blanks of the default are dropped
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(GetPrivateProfileStringA("Strings", "k", nullptr, buf, sizeof buf, "missing.ini"), 0u);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(GetPrivateProfileStringA("Strings", "k", "x", buf, 0, "test.ini"), 0u);

    // Key list of the first section of the name, and section names, as double-NUL lists.
    // A line without "=" is listed with the section's lines, but it is no key.
    EXPECT_EQ(GetPrivateProfileStringA("Strings", nullptr, "", buf, sizeof buf, "test.ini"), 19u);
    EXPECT_EQ(std::string(buf, 20), std::string("PrinterName1\0Empty\0\0", 20));
    EXPECT_EQ(GetPrivateProfileStringA("Strings", "bare", "dflt", buf, sizeof buf, "test.ini"), 4u);
    EXPECT_STREQ(buf, "dflt");
    EXPECT_EQ(GetPrivateProfileStringA("Strings", nullptr, "", buf, 10, "test.ini"), 8u);
    EXPECT_EQ(std::string(buf, 10), std::string("PrinterN\0\0", 10));
    EXPECT_EQ(GetPrivateProfileStringA("Nothing", nullptr, "dflt", buf, sizeof buf, "test.ini"), 4u);
    EXPECT_STREQ(buf, "dflt");
    EXPECT_EQ(GetPrivateProfileStringA(nullptr, nullptr, nullptr, buf, sizeof buf, "test.ini"), 22u);
    EXPECT_EQ(std::string(buf, 23), std::string("Strings\0strings\0Other\0\0", 23));
    EXPECT_EQ(GetPrivateProfileSectionNamesA(buf, 9, "test.ini"), 7u);
    EXPECT_EQ(std::string(buf, 9), std::string("Strings\0\0", 9));
    EXPECT_EQ(GetPrivateProfileSectionA("strings", buf, sizeof buf, "test.ini"), 37u);
    EXPECT_EQ(std::string(buf, 38), std::string("PrinterName1=\"Vestral X\"\0Empty=\0bare\0\0", 38));
    EXPECT_EQ(GetPrivateProfileSectionA("none", buf, sizeof buf, "test.ini"), 0u);
    EXPECT_EQ(std::string(buf, 2), std::string("\0\0", 2));
}

TEST_F(FilesTest, ProfileIntegers) {
    m.files.writeFile("C:\\Windows\\n.ini", "[n]\r\na=42\r\nb=17 apples\r\nc=-5\r\nd=none\r\nh=0x1F\r\ne=\r\n");
    EXPECT_EQ(GetPrivateProfileIntA("n", "a", 7, "n.ini"), 42u);
    EXPECT_EQ(GetPrivateProfileIntA("n", "b", 7, "n.ini"), 17u);
    EXPECT_EQ(GetPrivateProfileIntA("n", "c", 7, "n.ini"), static_cast<UINT>(-5));
    EXPECT_EQ(GetPrivateProfileIntA("n", "d", 7, "n.ini"), 0u);
    EXPECT_EQ(GetPrivateProfileIntA("n", "h", 7, "n.ini"), 31u);
    EXPECT_EQ(GetPrivateProfileIntA("n", "e", 7, "n.ini"), 7u);  // an empty value counts as missing
    EXPECT_EQ(GetPrivateProfileIntA("n", "f", 7, "n.ini"), 7u);
}

// win.ini is a file of its own on the 9x family (on the NT family three of its sections live in the registry).
TEST_F(FilesTest, ProfileWritesEditInPlace) {
    simwin::Machine w9x(simwin::Platform::Win9x);
    simwin::MachineScope scope(w9x);
    simwin::Machine& m = w9x;
    const std::string before = "; top\r\n[windows]\r\nload=a.exe\r\nrun=\r\n\r\n[Devices]\r\nOffice=winspool,Ne00:\r\n";
    m.files.writeFile("C:\\WINDOWS\\win.ini", before);
    ASSERT_TRUE(WriteProfileStringA("Windows", "LOAD", "b.exe"));
    EXPECT_EQ(m.files.read("C:\\WINDOWS\\win.ini"),
              "; top\r\n[windows]\r\nload=b.exe\r\nrun=\r\n\r\n[Devices]\r\nOffice=winspool,Ne00:\r\n");
    ASSERT_TRUE(WriteProfileStringA("windows", "device", "Office,winspool,Ne00:"));
    EXPECT_EQ(m.files.read("C:\\WINDOWS\\win.ini"),
              "; top\r\n[windows]\r\nload=b.exe\r\nrun=\r\ndevice=Office,winspool,Ne00:\r\n\r\n"
              "[Devices]\r\nOffice=winspool,Ne00:\r\n");
    char buf[64];
    EXPECT_EQ(GetProfileStringA("windows", "device", "", buf, sizeof buf), 21u);
    EXPECT_STREQ(buf, "Office,winspool,Ne00:");
    ASSERT_TRUE(WriteProfileStringA("windows", "run", nullptr));  // delete a key
    ASSERT_TRUE(WriteProfileStringA("Devices", nullptr, nullptr));  // delete a section
    ASSERT_TRUE(WriteProfileStringA("New", "k", "v"));
    EXPECT_EQ(m.files.read("C:\\WINDOWS\\win.ini"),
              "; top\r\n[windows]\r\nload=b.exe\r\ndevice=Office,winspool,Ne00:\r\n\r\n[New]\r\nk=v\r\n");
    EXPECT_FALSE(WriteProfileStringA(nullptr, nullptr, nullptr));  // a cache flush reports failure
    EXPECT_FALSE(WriteProfileStringA(nullptr, "k", "v"));
}

TEST_F(FilesTest, ProfileWriteCreatesFilesAndReportsErrors) {
    m.files.writeFile("C:\\Program Files\\Vestral\\nwininit.exe", "");
    ASSERT_TRUE(WritePrivateProfileStringA("RENAME", "C:\\Windows\\System32\\x.dll", "NUL",
                                           "C:\\Program Files\\Vestral\\nwininit.ini"));
    EXPECT_EQ(m.files.read("C:\\Program Files\\Vestral\\nwininit.ini"), "[RENAME]\r\nC:\\Windows\\System32\\x.dll=NUL\r\n");
    ASSERT_TRUE(WritePrivateProfileStringA("s", "k", "v", "bare.ini"));
    EXPECT_TRUE(m.files.exists("C:\\Windows\\bare.ini"));  // a bare name lies in the Windows directory
    EXPECT_TRUE(WritePrivateProfileStringA("s", "k", nullptr, "absent.ini"));  // nothing to delete
    EXPECT_FALSE(m.files.exists("C:\\Windows\\absent.ini"));

    EXPECT_FALSE(WritePrivateProfileStringA("s", "k", "v", "C:\\NoDir\\x.ini"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    SetFileAttributesA("C:\\Windows\\bare.ini", FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(WritePrivateProfileStringA("s", "k", "w", "bare.ini"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    SetFileAttributesA("C:\\Windows\\bare.ini", FILE_ATTRIBUTE_NORMAL);
    m.files.setLocked("C:\\Windows\\bare.ini", true);
    EXPECT_FALSE(WritePrivateProfileStringA("s", "k", "w", "bare.ini"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(m.files.read("C:\\Windows\\bare.ini"), "[s]\r\nk=v\r\n");
}

// The start-up line of the Win32s class: read from win.ini after a flush of the profile cache.
TEST(ProfileCache, FlushReportsFailureAndTheLoadLineIsReadFromWinIni) {
    simwin::Machine m(simwin::Platform::Win32s);
    simwin::MachineScope scope(m);
    m.files.writeFile("C:\\WINDOWS\\win.ini", "[windows]\r\nload=a.exe nwininit.exe\r\nrun=\r\n");
    const std::string before = m.files.read("C:\\WINDOWS\\win.ini");
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(WriteProfileStringA(nullptr, nullptr, nullptr));  // a flush always reports FALSE
    EXPECT_EQ(before, m.files.read("C:\\WINDOWS\\win.ini"));
    char line[256];
    std::memset(line, 0xbd, sizeof line);
    EXPECT_EQ(18u, GetProfileStringA("windows", "Load", "", line, sizeof line));
    EXPECT_STREQ("a.exe nwininit.exe", line);
    ASSERT_TRUE(WriteProfileStringA("windows", "load", "a.exe"));
    EXPECT_EQ("[windows]\r\nload=a.exe\r\nrun=\r\n", m.files.read("C:\\WINDOWS\\win.ini"));
    // Without a Load line: the default, empty.
    m.files.writeFile("C:\\WINDOWS\\win.ini", "[windows]\r\n");
    std::memset(line, 0xbd, sizeof line);
    EXPECT_EQ(0u, GetProfileStringA("windows", "Load", "", line, sizeof line));
    EXPECT_STREQ("", line);
}

TEST(ProfileText, EditsKeepUntouchedLinesAndLineEndings) {
    namespace profile = simwin::profile;
    const std::string k = "b", v = "2";
    EXPECT_EQ(profile::set("[x]\na=1\n", "x", &k, &v), "[x]\na=1\nb=2\n");
    EXPECT_EQ(profile::set("[x]\na=1", "x", &k, &v), "[x]\na=1\nb=2\n");
    EXPECT_EQ(profile::set("[x]\r\nb = old ; note\r\n", "X", &k, &v), "[x]\r\nb=2\r\n");
    EXPECT_EQ(profile::set("", "y", &k, &v), "[y]\r\nb=2\r\n");
    EXPECT_EQ(profile::set("[x]\na=1", "y", &k, &v), "[x]\na=1\n[y]\nb=2\n");
    EXPECT_EQ(profile::set("[x]\nb=1\n[y]\nb=1\n", "y", &k, nullptr), "[x]\nb=1\n[y]\n");
    EXPECT_EQ(profile::set("[x]\nb=1\n[y]\nb=1\n", "x", nullptr, nullptr), "[y]\nb=1\n");
    std::string value;
    EXPECT_TRUE(profile::get("[x]\n b = 'q' \n", "x", "B", value));
    EXPECT_EQ(value, "q");
    EXPECT_FALSE(profile::get("b=1\n[x]\n", "x", "b", value));  // entries before any section belong to none
    EXPECT_EQ(profile::set("[x]\nb\n", "x", &k, &v), "[x]\nb=2\n");  // a line without "=" gets its value
}

// ---------------------------------------------------------------------------------------------
// Machine directories

TEST(FilesMachine, DriveRoundTripIsIdenticalAndKeepsEmptyDirectories) {
    TempDir first, second;
    simwin::FileSystem files;
    files.writeFile("C:\\Windows\\win.ini", "[windows]\r\nload=\r\n");
    files.writeFile("C:\\Windows\\System32\\spool\\drivers\\x64\\3\\Kunz__04.unm", std::string("bin\0ary", 7));
    files.writeFile("D:\\Data\\Mixed Case.TXT", "d");
    files.makeDirectories("C:\\Empty\\Deeper");
    files.saveDrives(first.path.string());
    EXPECT_TRUE(fs::is_directory(first.path / "drive" / "C" / "Empty" / "Deeper"));
    EXPECT_EQ(readDisk(first.path / "drive" / "D" / "Data" / "Mixed Case.TXT"), "d");

    simwin::FileSystem loaded;
    loaded.loadDrives(first.path.string());
    EXPECT_TRUE(loaded.isDirectory("c:\\empty\\deeper"));
    EXPECT_EQ(loaded.read("C:\\WINDOWS\\System32\\spool\\drivers\\x64\\3\\kunz__04.unm"), std::string("bin\0ary", 7));
    EXPECT_EQ(loaded.find("D:\\data\\mixed case.txt")->name, "Mixed Case.TXT");
    EXPECT_EQ(loaded.listTree("C:\\"), files.listTree("C:\\"));
    loaded.saveDrives(second.path.string());
    EXPECT_EQ(snapshot(first.path), snapshot(second.path));
}

TEST(FilesMachine, LoadingRejectsNamesThatClashByCase) {
    TempDir dir;
    fs::create_directories(dir.path / "drive" / "C" / "Dir");
    fs::create_directories(dir.path / "drive" / "C" / "DIR");
    simwin::FileSystem files;
    EXPECT_THROW(files.loadDrives(dir.path.string()), simwin::MachineError);
}

TEST(FilesMachine, FileAndPendingSectionsRoundTrip) {
    simwin::IniDoc doc = simwin::IniDoc::parse(
        "[file]\npath = C:\\Windows\\System32\\busy.dll\nlocked = yes\n"
        "[file]\npath = C:\\Data\\new.txt\nattributes = readonly, hidden\n"
        "[file]\npath = C:\\Windows\\win.ini\n"
        "[pending]\nfrom = C:\\Windows\\System32\\old.dll\n"
        "[pending]\nfrom = C:\\a\nto = C:\\b\n",
        "machine.ini");
    simwin::FileSystem files;
    files.writeFile("C:\\Windows\\win.ini", "[windows]\r\n");
    files.load(doc);
    ASSERT_TRUE(files.exists("C:\\Windows\\System32\\busy.dll"));  // created empty
    EXPECT_TRUE(files.find("C:\\Windows\\System32\\busy.dll")->locked);
    EXPECT_EQ(files.find("C:\\Data\\new.txt")->attributes,
              static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(files.read("C:\\Windows\\win.ini"), "[windows]\r\n");  // existing content stays
    // [pending] belongs to the machine (the session manager's registry value): the files leave it alone.
    simwin::IniDoc saved;
    files.save(saved, {{"C:\\Windows\\System32\\old.dll", ""}, {"C:\\a", "C:\\b"}});
    EXPECT_EQ(saved.format(),
              "[file]\npath = C:\\Data\\new.txt\nattributes = readonly,hidden\n\n"
              "[file]\npath = C:\\Windows\\System32\\busy.dll\nlocked = yes\n\n"
              "[pending]\nfrom = C:\\Windows\\System32\\old.dll\n\n"
              "[pending]\nfrom = C:\\a\nto = C:\\b\n");

    EXPECT_THROW(files.load(simwin::IniDoc::parse("[file]\nlocked = yes\n", "m")), simwin::MachineError);
    EXPECT_THROW(files.load(simwin::IniDoc::parse("[file]\npath = C:\\x\nattributes = shiny\n", "m")),
                 simwin::MachineError);
}

TEST(FilesMachine, MachineSaveAndLoadCarryTheFileState) {
    TempDir first, second;
    {
        simwin::Machine m;
        simwin::MachineScope scope(m);
        m.files.writeFile("C:\\Windows\\System32\\spool\\drivers\\x64\\vx.dll", "v");
        m.files.setLocked("C:\\Windows\\System32\\spool\\drivers\\x64\\vx.dll", true);
        ASSERT_TRUE(MoveFileExA("C:\\Windows\\System32\\spool\\drivers\\x64\\vx.dll", nullptr,
                                MOVEFILE_DELAY_UNTIL_REBOOT));
        m.save(first.path.string());
    }
    auto loaded = simwin::Machine::load(first.path.string());
    EXPECT_TRUE(loaded->files.find("C:\\Windows\\System32\\spool\\drivers\\x64\\vx.dll")->locked);
    ASSERT_EQ(simwin::pendingRenames(loaded->registry).size(), 1u);
    EXPECT_TRUE(loaded->files.isDirectory(loaded->system.tempDir));
    loaded->save(second.path.string());
    EXPECT_EQ(snapshot(first.path), snapshot(second.path));
}

}  // namespace

// A copy of a file system (each fuzzing input and many tests start from one) is the same machine: its files,
// its drives' space and which drives keep no security descriptors.
TEST(FileSystemCopy, KeepsWhatEachDriveIs) {
    simwin::Machine m;
    m.files.writeFile("C:\\Data\\a.txt", "A");
    m.files.setKeepsDescriptors("D", false);
    simwin::FileSystem copy(m.files);
    simwin::FileSystem assigned;
    assigned = m.files;
    for (const simwin::FileSystem* fs : {&copy, &assigned}) {
        EXPECT_TRUE(fs->exists("C:\\Data\\a.txt"));
        EXPECT_TRUE(fs->keepsDescriptors("C"));
        EXPECT_FALSE(fs->keepsDescriptors("D"));
    }
}
