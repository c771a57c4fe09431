// The fixture of the conformance tests that work on files: a fresh directory below the temporary directory
// for each test (removed after it, the current directory put back), and small helpers to fill and read it.
// Win32 calls only: compiled for Windows (under Wine) and for the host (against simwin).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/platform.h"
#include "conformance/conformance_env.h"

// Deletes a directory with everything in it (read-only attributes cleared first).
inline void removeTree(const std::string& dir) {
    WIN32_FIND_DATAA d;
    HANDLE h = FindFirstFileA((dir + "\\*.*").c_str(), &d);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string name = d.cFileName;
            if (name == "." || name == "..") continue;
            std::string path = dir + "\\" + name;
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removeTree(path);
            else
                DeleteFileA(path.c_str());
        } while (FindNextFileA(h, &d));
        FindClose(h);
    }
    SetFileAttributesA(dir.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryA(dir.c_str());
}

class ConformanceDirectoryTest : public ConformanceTest {
protected:
    std::string dir;  // the test's own directory, without a trailing backslash
    std::string previousDirectory;

    void SetUp() override {
        char temp[MAX_PATH];
        DWORD n = GetTempPathA(sizeof temp, temp);
        ASSERT_GT(n, 0u);
        ASSERT_LT(n, static_cast<DWORD>(sizeof temp));
        std::string base = temp;
        if (base.back() != '\\') base += '\\';
        for (unsigned i = 0; i < 1000 && dir.empty(); ++i) {
            std::string candidate = base + "korun04-files-" + std::to_string(GetTickCount()) + "-" + std::to_string(i);
            if (CreateDirectoryA(candidate.c_str(), nullptr)) dir = candidate;
        }
        ASSERT_FALSE(dir.empty()) << "no fresh directory below " << base;
        char cwd[MAX_PATH];
        ASSERT_GT(GetCurrentDirectoryA(sizeof cwd, cwd), 0u);
        previousDirectory = cwd;
    }

    void TearDown() override {
        SetCurrentDirectoryA(previousDirectory.c_str());
        if (dir.empty()) return;
        removeTree(dir);
        EXPECT_EQ(GetFileAttributesA(dir.c_str()), INVALID_FILE_ATTRIBUTES) << dir << " was not removed";
    }

    std::string path(const std::string& name) const { return dir + "\\" + name; }

    void put(const std::string& name, const std::string& content) {
        HANDLE h = CreateFileA(path(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                               nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE) << name << ": error " << GetLastError();
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &written, nullptr));
        ASSERT_EQ(written, content.size());
        ASSERT_TRUE(CloseHandle(h));
    }

    std::string get(const std::string& name) {
        HANDLE h = CreateFileA(path(name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_NE(h, INVALID_HANDLE_VALUE) << name << ": error " << GetLastError();
        if (h == INVALID_HANDLE_VALUE) return "<missing>";
        std::string out(GetFileSize(h, nullptr) + 1, '\0');
        DWORD got = 0;
        EXPECT_TRUE(ReadFile(h, &out[0], static_cast<DWORD>(out.size()), &got, nullptr));
        out.resize(got);
        CloseHandle(h);
        return out;
    }

    std::vector<std::string> find(const std::string& pattern) {
        std::vector<std::string> out;
        WIN32_FIND_DATAA d;
        HANDLE h = FindFirstFileA(pattern.c_str(), &d);
        if (h == INVALID_HANDLE_VALUE) return out;
        do out.push_back(d.cFileName);
        while (FindNextFileA(h, &d));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
        FindClose(h);
        std::sort(out.begin(), out.end());
        return out;
    }
};
