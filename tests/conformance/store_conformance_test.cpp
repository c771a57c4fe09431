// The driver store of Windows 8 and later, as setupapi shows it: an INF installed with SetupCopyOEMInfA is
// published in the INF directory as oemN.inf and kept in the store under its own name; each lookup answers
// the other place. Wine's setupapi exports neither lookup, so under Wine the tests stop after the install.
#include <gtest/gtest.h>

#include <string>

#include "base/platform.h"
#include "conformance/conformance_env.h"

namespace {

class DriverStoreConformance : public ConformanceTest {
protected:
    HMODULE setupapi = nullptr;
    SetupGetInfPublishedNameFn publishedName = nullptr;
    SetupGetInfDriverStoreLocationFn storeLocation = nullptr;
    std::string source, published, component;

    void SetUp() override {
        setupapi = LoadLibraryA("setupapi.dll");
        ASSERT_NE(nullptr, setupapi);
        publishedName = reinterpret_cast<SetupGetInfPublishedNameFn>(
            reinterpret_cast<void (*)()>(GetProcAddress(setupapi, "SetupGetInfPublishedNameA")));
        storeLocation = reinterpret_cast<SetupGetInfDriverStoreLocationFn>(
            reinterpret_cast<void (*)()>(GetProcAddress(setupapi, "SetupGetInfDriverStoreLocationA")));
        if (UnderWine() && (!publishedName || !storeLocation)) GTEST_SKIP() << "Wine's setupapi has no driver store";
        ASSERT_NE(nullptr, publishedName);
        ASSERT_NE(nullptr, storeLocation);
        Install();
    }
    void TearDown() override {
        if (!component.empty()) SetupUninstallOEMInfA(component.c_str(), SUOI_FORCEDELETE, nullptr);
        if (!source.empty()) DeleteFileA(source.c_str());
        if (setupapi) FreeLibrary(setupapi);
    }
    void Install() {
        char temp[MAX_PATH];
        ASSERT_GT(GetTempPathA(sizeof temp, temp), 0u);
        source = std::string(temp) + (temp[std::string(temp).size() - 1] == '\\' ? "" : "\\") + "korstore9733.inf";
        const std::string text = "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Printer\r\n; korun04 9733\r\n";
        HANDLE h = CreateFileA(source.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, h);
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr));
        CloseHandle(h);
        char name[MAX_PATH] = "";
        PSTR part = nullptr;
        ASSERT_TRUE(SetupCopyOEMInfA(source.c_str(), nullptr, SPOST_PATH, 0, name, sizeof name, nullptr, &part))
            << GetLastError();
        published = name;
        component = part ? part : "";
    }
    static std::string Lower(std::string s) {
        for (char& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        return s;
    }
};

TEST_F(DriverStoreConformance, StoreAndPublishedNameAnswerEachOther) {
    char system[MAX_PATH];
    ASSERT_GT(GetSystemDirectoryA(system, sizeof system), 0u);
    char stored[MAX_PATH] = "";
    DWORD needed = 0xDEADBEEF;
    ASSERT_TRUE(storeLocation(component.c_str(), nullptr, nullptr, stored, sizeof stored, &needed)) << GetLastError();
    const std::string store = Lower(stored);
    const std::string repository = Lower(std::string(system) + "\\DriverStore\\FileRepository\\korstore9733.inf_amd64_");
    EXPECT_EQ(repository, store.substr(0, repository.size())) << stored;
    EXPECT_EQ("\\korstore9733.inf", store.substr(store.size() - 17)) << stored;
    EXPECT_EQ(std::string(stored).size() + 1, needed);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(stored));

    // The store path, the published full path and the bare published name all lead to the published INF.
    for (const std::string& asked : {std::string(stored), published, component}) {
        char back[MAX_PATH] = "";
        needed = 0xDEADBEEF;
        ASSERT_TRUE(publishedName(asked.c_str(), back, sizeof back, &needed)) << asked << " " << GetLastError();
        EXPECT_EQ(Lower(published), Lower(back)) << asked;
        EXPECT_EQ(published.size() + 1, needed);
    }
    // The published full path leads back to the store.
    char again[MAX_PATH] = "";
    ASSERT_TRUE(storeLocation(published.c_str(), nullptr, nullptr, again, sizeof again, nullptr));
    EXPECT_EQ(store, Lower(again));

    // Uninstalling the published INF takes its store folder too.
    ASSERT_TRUE(SetupUninstallOEMInfA(component.c_str(), SUOI_FORCEDELETE, nullptr)) << GetLastError();
    component.clear();
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(stored));
    SetLastError(0xDEADBEEF);
    EXPECT_FALSE(publishedName(stored, again, sizeof again, nullptr));
    EXPECT_NE(static_cast<DWORD>(ERROR_SUCCESS), GetLastError());
}

TEST_F(DriverStoreConformance, SizeQueryAndShortBuffer) {
    DWORD needed = 0xDEADBEEF;
    SetLastError(0xDEADBEEF);
    EXPECT_FALSE(publishedName(component.c_str(), nullptr, 0, &needed));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ(published.size() + 1, needed);
    char shortBuffer[4] = {'x', 'x', 'x', 'x'};
    SetLastError(0xDEADBEEF);
    EXPECT_FALSE(storeLocation(component.c_str(), nullptr, nullptr, shortBuffer, sizeof shortBuffer, &needed));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_GT(needed, static_cast<DWORD>(sizeof shortBuffer));
}

// An INF the INF directory does not hold has no published name and no store copy. (Windows answers
// ERROR_FILE_NOT_FOUND for a published name it lacks; simwin answers so for both.)
TEST_F(DriverStoreConformance, UnknownInfIsNotFound) {
    char out[MAX_PATH];
    SetLastError(0xDEADBEEF);
    EXPECT_FALSE(publishedName("oem99733.inf", out, sizeof out, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    SetLastError(0xDEADBEEF);
    EXPECT_FALSE(storeLocation("oem99733.inf", nullptr, nullptr, out, sizeof out, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
}

}  // namespace
