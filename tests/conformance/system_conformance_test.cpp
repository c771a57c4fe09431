// What the tool asks Windows about Windows itself: whether a file is one of its own (Windows File Protection,
// sfc.dll, found in the system directory at run time), and the text conversions its question needs.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/platform.h"
#include "conformance/conformance_env.h"

namespace {

const DWORD kPoison = 0xdeadbeef;

typedef BOOL(WINAPI* SfcIsFileProtectedFn)(HANDLE, LPCWSTR);

class SystemConformance : public ConformanceTest {};

std::string SystemFile(const char* name) {
    char system[MAX_PATH] = "";
    GetSystemDirectoryA(system, sizeof system);
    return std::string(system) + "\\" + name;
}

// Code page 932, as a Japanese Windows writes its log: converted whole, or refused whole. The fleet report
// reads such lines through this call and keeps their bytes escaped when it is refused.
TEST_F(SystemConformance, CodePage932ConvertsOrIsRefusedWhole) {
    const char text[] = "\x83\x41\x83\x93";  // "アン"
    WCHAR wide[8];
    std::memset(wide, 0xbd, sizeof wide);
    SetLastError(kPoison);
    const int n = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, text, 4, wide, 8);
#ifdef _WIN32
    // Windows and Wine: two characters, the last error untouched.
    EXPECT_EQ(n, 2);
    EXPECT_EQ(wide[0], static_cast<WCHAR>(0x30A2));
    EXPECT_EQ(wide[1], static_cast<WCHAR>(0x30F3));
    EXPECT_EQ(wide[2], static_cast<WCHAR>(0xbdbd));
    EXPECT_EQ(GetLastError(), kPoison);
#else
    // simwin knows the ANSI and OEM code pages (UTF-8 there) and UTF-8 only: refused, nothing written.
    EXPECT_EQ(n, 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(wide[0], static_cast<WCHAR>(0xbdbd));
#endif
}

}  // namespace

// sfc.dll is found in the system directory only; a name that is not there is not looked for elsewhere.
TEST_F(SystemConformance, LibrariesOfTheSystemDirectoryOnly) {
    SetLastError(kPoison);
    HMODULE sfc = LoadLibraryExA("sfc.dll", NULL, LOAD_LIBRARY_SEARCH_SYSTEM32);
    ASSERT_NE(sfc, nullptr) << GetLastError();
    EXPECT_NE(GetProcAddress(sfc, "SfcIsFileProtected"), nullptr);
    EXPECT_TRUE(FreeLibrary(sfc));
    SetLastError(kPoison);
    EXPECT_EQ(LoadLibraryExA("korun-no-such-library.dll", NULL, LOAD_LIBRARY_SEARCH_SYSTEM32), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

// A file the test makes is not protected (FALSE with ERROR_FILE_NOT_FOUND, which is how Windows says "not
// protected"). kernel32.dll is: TRUE on Windows and simwin; Wine's SfcIsFileProtected is a stub that answers
// "not protected" for every file, so there only the answer's form is checked.
TEST_F(SystemConformance, WindowsProtectsItsOwnFilesOnly) {
    HMODULE sfc = LoadLibraryExA("sfc.dll", NULL, LOAD_LIBRARY_SEARCH_SYSTEM32);
    ASSERT_NE(sfc, nullptr);
    auto isProtected = reinterpret_cast<SfcIsFileProtectedFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(sfc, "SfcIsFileProtected")));
    ASSERT_NE(isProtected, nullptr);

    char temp[MAX_PATH] = "";
    GetTempPathA(sizeof temp, temp);
    const std::string own = std::string(temp) + "korun-sfc-" + std::to_string(GetTickCount()) + ".dll";
    HANDLE f = CreateFileA(own.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    CloseHandle(f);

    WCHAR wide[MAX_PATH];
    ASSERT_GT(MultiByteToWideChar(CP_ACP, 0, own.c_str(), -1, wide, MAX_PATH), 0);
    SetLastError(kPoison);
    EXPECT_FALSE(isProtected(NULL, wide));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    DeleteFileA(own.c_str());

    ASSERT_GT(MultiByteToWideChar(CP_ACP, 0, SystemFile("kernel32.dll").c_str(), -1, wide, MAX_PATH), 0);
    SetLastError(kPoison);
    const BOOL kernel = isProtected(NULL, wide);
    EXPECT_TRUE(kernel || GetLastError() == ERROR_FILE_NOT_FOUND);  // Windows and simwin: TRUE; Wine: FALSE, 2
    FreeLibrary(sfc);
}

// ASCII text both ways: the size query counts the NUL when the length is -1, a short buffer fails with
// ERROR_INSUFFICIENT_BUFFER, an explicit length converts just that many characters.
TEST_F(SystemConformance, TextToUtf16AndBack) {
    const char text[] = "C:\\Windows\\System32\\kernel32.dll";
    const int length = static_cast<int>(std::strlen(text));
    SetLastError(kPoison);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, text, -1, NULL, 0), length + 1);
    EXPECT_EQ(GetLastError(), kPoison);
    WCHAR wide[64];
    std::memset(wide, 0xbd, sizeof wide);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 64), length + 1);
    for (int i = 0; i <= length; ++i) EXPECT_EQ(wide[i], static_cast<WCHAR>(static_cast<unsigned char>(text[i]))) << i;
    SetLastError(kPoison);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 4), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    std::memset(wide, 0xbd, sizeof wide);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, text, 2, wide, 64), 2);
    EXPECT_EQ(wide[2], static_cast<WCHAR>(0xbdbd));  // no NUL added

    MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 64);
    char back[64];
    std::memset(back, 0xbd, sizeof back);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, -1, NULL, 0, NULL, NULL), length + 1);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, -1, back, sizeof back, NULL, NULL), length + 1);
    EXPECT_STREQ(back, text);
    SetLastError(kPoison);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, -1, back, 4, NULL, NULL), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    SetLastError(kPoison);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, NULL, -1, wide, 64), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}
