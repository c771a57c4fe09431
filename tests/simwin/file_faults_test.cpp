// Faults a backup meets, declared in the machine: a drive with little free space ([drive]) and files or
// directories whose access is denied ([file] denied = yes); and the observer of file writes that lets a
// simulator stop a run at a chosen write.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "simwin/win32.h"
#include "support/temp_machine.h"

using testmachine::Load;

namespace {

const DWORD kPoison = 0xdeadbeef;

HANDLE Create(const char* path, DWORD disposition = CREATE_ALWAYS) {
    return CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, NULL, disposition, FILE_ATTRIBUTE_NORMAL, NULL);
}

BOOL Write(HANDLE h, const std::string& bytes) {
    DWORD written = kPoison;
    return WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, NULL);
}

ULONGLONG FreeOf(const char* dir) {
    ULARGE_INTEGER available, total, free;
    EXPECT_TRUE(GetDiskFreeSpaceExA(dir, &available, &total, &free));
    EXPECT_EQ(available.QuadPart, free.QuadPart);
    return free.QuadPart;
}

}  // namespace

// A drive declared with 100 bytes free: writes within them succeed and take from them; a write, a file
// copy, a profile write or a creation beyond them fails with ERROR_DISK_FULL and leaves the file as it was;
// deleting gives the room back. The save holds what is left.
TEST(FileFaults, DiskFull) {
    auto m = Load("[drive]\nletter = C\ntotal = 1000000\nfree = 100\n", {{"C/data/big.bin", std::string(80, 'x')}});
    {
        simwin::MachineScope scope(*m);
        EXPECT_EQ(100u, FreeOf("C:\\"));
        ULARGE_INTEGER total;
        ASSERT_TRUE(GetDiskFreeSpaceExA("C:\\Windows", NULL, &total, NULL));
        EXPECT_EQ(1000000u, total.QuadPart);
        HANDLE h = Create("C:\\data\\journal.txt");
        ASSERT_NE(INVALID_HANDLE_VALUE, h);
        EXPECT_TRUE(Write(h, std::string(60, 'j')));
        EXPECT_EQ(40u, FreeOf("C:\\data"));
        SetLastError(kPoison);
        EXPECT_FALSE(Write(h, std::string(41, 'j')));
        EXPECT_EQ(DWORD(ERROR_DISK_FULL), GetLastError());
        EXPECT_EQ(60u, GetFileSize(h, NULL));
        EXPECT_TRUE(Write(h, std::string(40, 'j')));  // exactly what is left
        EXPECT_EQ(0u, FreeOf("C:\\"));
        SetFilePointer(h, 0, NULL, FILE_BEGIN);
        EXPECT_TRUE(Write(h, std::string(10, 'k')));  // overwriting takes no room
        CloseHandle(h);

        struct Refusal {
            const char* what;
            std::function<bool()> done;
        };
        const Refusal refusals[] = {
            {"a new file", [] { return Create("C:\\data\\new.txt") != INVALID_HANDLE_VALUE; }},
            {"a new directory", [] { return CreateDirectoryA("C:\\data\\Backup", NULL) != FALSE; }},
            {"a copy", [] { return CopyFileA("C:\\data\\big.bin", "C:\\data\\copy.bin", FALSE) != FALSE; }},
            {"a profile line", [] { return WritePrivateProfileStringA("a", "b", "c", "C:\\data\\x.ini") != FALSE; }},
        };
        for (const Refusal& r : refusals) {
            SCOPED_TRACE(r.what);
            SetLastError(kPoison);
            EXPECT_FALSE(r.done());
            EXPECT_EQ(DWORD(ERROR_DISK_FULL), GetLastError());
        }
        EXPECT_FALSE(m->files.exists("C:\\data\\new.txt"));
        EXPECT_FALSE(m->files.exists("C:\\data\\copy.bin"));
        ASSERT_TRUE(DeleteFileA("C:\\data\\big.bin"));
        EXPECT_EQ(80u, FreeOf("C:\\"));
        SetLastError(kPoison);
        EXPECT_FALSE(CopyFileA("C:\\data\\journal.txt", "C:\\data\\copy.bin", FALSE));  // 100 bytes
        EXPECT_EQ(DWORD(ERROR_DISK_FULL), GetLastError());
        h = Create("C:\\data\\small.txt");
        EXPECT_TRUE(Write(h, std::string(30, 's')));
        CloseHandle(h);
        EXPECT_TRUE(CopyFileA("C:\\data\\small.txt", "C:\\data\\copy.bin", FALSE));
        EXPECT_EQ(20u, FreeOf("C:\\"));
        EXPECT_EQ(FreeOf("D:\\"), 107374182400u);  // an undeclared drive has room: 100 GiB free of 256 GiB
        SetLastError(kPoison);
        EXPECT_FALSE(GetDiskFreeSpaceExA("C:\\data\\copy.bin", NULL, NULL, NULL));
        EXPECT_EQ(DWORD(ERROR_DIRECTORY), GetLastError());
        EXPECT_FALSE(GetDiskFreeSpaceExA("C:\\No\\Such\\", NULL, NULL, NULL));
        EXPECT_EQ(DWORD(ERROR_PATH_NOT_FOUND), GetLastError());
    }
    testmachine::TempDir dir;
    m->save(dir.path.string());
    EXPECT_NE(std::string::npos,
              testmachine::ReadFile(dir.path / "machine.ini").find("[drive]\nletter = C\ntotal = 1000000\nfree = 20\n"));
}

// A denied directory refuses what is done in it and below it, a denied file what is done to it; its attributes
// can still be read. The mark is saved back.
TEST(FileFaults, AccessDenied) {
    auto m = Load("[file]\npath = C:\\Locked\\inner.txt\n[file]\npath = C:\\Locked\ndenied = yes\n"
                  "[file]\npath = C:\\Data\\secret.txt\ndenied = yes\n",
                  {{"C/Locked/inner.txt", "i"}, {"C/Data/secret.txt", "s"}, {"C/Data/free.txt", "f"}});
    {
        simwin::MachineScope scope(*m);
        struct Case {
            const char* what;
            std::function<bool()> refused;
        };
        const Case cases[] = {
            {"open a file below", [] { return Create("C:\\Locked\\inner.txt", OPEN_EXISTING) == INVALID_HANDLE_VALUE; }},
            {"create inside", [] { return Create("C:\\Locked\\new.txt") == INVALID_HANDLE_VALUE; }},
            {"a directory inside", [] { return !CreateDirectoryA("C:\\Locked\\Sub", NULL); }},
            {"list it",
             [] {
                 WIN32_FIND_DATAA d;
                 return FindFirstFileA("C:\\Locked\\*", &d) == INVALID_HANDLE_VALUE;
             }},
            {"delete below it", [] { return !DeleteFileA("C:\\Locked\\inner.txt"); }},
            {"remove it", [] { return !RemoveDirectoryA("C:\\Locked"); }},
            {"enter it", [] { return !SetCurrentDirectoryA("C:\\Locked"); }},
            {"write the file", [] { return Create("C:\\Data\\secret.txt", OPEN_EXISTING) == INVALID_HANDLE_VALUE; }},
            {"delete the file", [] { return !DeleteFileA("C:\\Data\\secret.txt"); }},
            {"its attributes", [] { return !SetFileAttributesA("C:\\Data\\secret.txt", FILE_ATTRIBUTE_HIDDEN); }},
            {"copy it", [] { return !CopyFileA("C:\\Data\\secret.txt", "C:\\Data\\copy.txt", FALSE); }},
            {"copy over it", [] { return !CopyFileA("C:\\Data\\free.txt", "C:\\Data\\secret.txt", FALSE); }},
            {"move it", [] { return !MoveFileA("C:\\Data\\secret.txt", "C:\\Data\\moved.txt"); }},
            {"a profile line in it", [] { return !WritePrivateProfileStringA("a", "b", "c", "C:\\Data\\secret.txt"); }},
            {"its security",
             [] {
                 DWORD needed = 0;
                 return !GetFileSecurityA("C:\\Data\\secret.txt", OWNER_SECURITY_INFORMATION, NULL, 0, &needed);
             }},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.what);
            SetLastError(kPoison);
            EXPECT_TRUE(c.refused());
            EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), GetLastError());
        }
        EXPECT_EQ(DWORD(FILE_ATTRIBUTE_DIRECTORY), GetFileAttributesA("C:\\Locked"));
        EXPECT_EQ(DWORD(FILE_ATTRIBUTE_NORMAL), GetFileAttributesA("C:\\Locked\\inner.txt"));
        EXPECT_TRUE(DeleteFileA("C:\\Data\\free.txt"));  // the others beside it are not denied
    }
    testmachine::TempDir dir;
    m->save(dir.path.string());
    const std::string ini = testmachine::ReadFile(dir.path / "machine.ini");
    EXPECT_NE(std::string::npos, ini.find("[file]\npath = C:\\Locked\ndenied = yes\n")) << ini;
    EXPECT_NE(std::string::npos, ini.find("[file]\npath = C:\\Data\\secret.txt\ndenied = yes\n")) << ini;
}

// The observer sees every write with the file's full path and the bytes written, and every flush with the
// whole file; one that throws stops the caller at that write, which is done.
TEST(FileFaults, WritesAreObserved) {
    simwin::Machine m;
    simwin::MachineScope scope(m);
    std::vector<std::string> seen;
    m.files.onWrite = [&](const std::string& path, const std::string& bytes, bool flushed) {
        seen.push_back(path + (flushed ? " flushed " : " wrote ") + bytes);
        if (bytes == "stop") throw std::runtime_error("stopped");
    };
    HANDLE h = Create("C:\\Users\\Admin\\journal.txt");
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_TRUE(Write(h, "one\n"));
    EXPECT_TRUE(Write(h, "two\n"));
    EXPECT_TRUE(FlushFileBuffers(h));
    EXPECT_TRUE(Write(h, "x"));
    EXPECT_THROW(Write(h, "stop"), std::runtime_error);
    CloseHandle(h);
    EXPECT_EQ((std::vector<std::string>{"C:\\Users\\Admin\\journal.txt wrote one\n",
                                        "C:\\Users\\Admin\\journal.txt wrote two\n",
                                        "C:\\Users\\Admin\\journal.txt flushed one\ntwo\n",
                                        "C:\\Users\\Admin\\journal.txt wrote x",
                                        "C:\\Users\\Admin\\journal.txt wrote stop"}),
              seen);
    EXPECT_EQ("one\ntwo\nxstop", m.files.read("C:\\Users\\Admin\\journal.txt"));
    HANDLE reader = CreateFileA("C:\\Users\\Admin\\journal.txt", GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    SetLastError(kPoison);
    EXPECT_FALSE(WriteFile(reader, "no", 2, NULL, NULL));  // a failed write is not seen
    CloseHandle(reader);
    EXPECT_EQ(5u, seen.size());
}

// Files another program holds: `locked = yes` without sharing (every open for data, a copy, a deletion and a
// replacing rename refused), `inuse = read` for reading with read sharing (reads, copies and profile reads
// work; writing, deleting and profile writes fail with 32; a replacing rename with 5). The marks are saved.
TEST(FileFaults, FilesOtherProgramsHold) {
    auto m = Load("[file]\npath = C:\\Data\\locked.ini\nlocked = yes\n[file]\npath = C:\\Data\\read.ini\ninuse = read\n",
                  {{"C/Data/locked.ini", "[s]\r\nk=1\r\n"}, {"C/Data/read.ini", "[s]\r\nk=2\r\n"}, {"C/Data/new.ini", "n"}});
    {
        simwin::MachineScope scope(*m);
        struct Case {
            const char* what;
            std::function<BOOL(const char*)> call;
            DWORD lockedError, readError;  // 0: succeeds
        };
        auto open = [](DWORD access, DWORD share) {
            return [=](const char* p) {
                HANDLE h = CreateFileA(p, access, share, NULL, OPEN_EXISTING, 0, NULL);
                return h != INVALID_HANDLE_VALUE && CloseHandle(h);
            };
        };
        const Case cases[] = {
            {"read, sharing reading", open(GENERIC_READ, FILE_SHARE_READ), 32, 0},
            {"read, sharing nothing", open(GENERIC_READ, 0), 32, 32},
            {"write", open(GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE), 32, 32},
            {"copy", [](const char* p) { return CopyFileA(p, "C:\\Data\\copy.ini", FALSE); }, 32, 0},
            {"profile read", [](const char* p) { return BOOL(GetPrivateProfileIntA("s", "k", 0, p) != 0); }, 32, 0},
            {"profile write", [](const char* p) { return WritePrivateProfileStringA("s", "k", "3", p); }, 32, 32},
            {"replace", [](const char* p) { return MoveFileExA("C:\\Data\\new.ini", p, MOVEFILE_REPLACE_EXISTING); }, 5, 5},
            {"delete", [](const char* p) { return DeleteFileA(p); }, 32, 32},
        };
        for (const Case& c : cases) {
            for (const char* file : {"C:\\Data\\locked.ini", "C:\\Data\\read.ini"}) {
                SCOPED_TRACE(std::string(c.what) + " " + file);
                const DWORD expected = file[8] == 'l' ? c.lockedError : c.readError;
                SetLastError(kPoison);
                const BOOL done = c.call(file);
                EXPECT_EQ(expected == 0, done != FALSE);
                if (expected) {
                    EXPECT_EQ(expected, GetLastError());
                }
            }
        }
        EXPECT_EQ("[s]\r\nk=2\r\n", m->files.read("C:\\Data\\read.ini"));
        EXPECT_EQ("n", m->files.read("C:\\Data\\new.ini"));
    }
    testmachine::TempDir dir;
    m->save(dir.path.string());
    const std::string ini = testmachine::ReadFile(dir.path / "machine.ini");
    EXPECT_NE(std::string::npos, ini.find("[file]\npath = C:\\Data\\read.ini\ninuse = read\n")) << ini;
    EXPECT_NE(std::string::npos, ini.find("[file]\npath = C:\\Data\\locked.ini\nlocked = yes\n")) << ini;
}
