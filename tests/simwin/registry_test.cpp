// The simulated registry: the Win32 functions on a machine, and the regedit text of machine directories.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "simwin/machine.h"
#include "simwin/win32.h"

namespace {

using simwin::Machine;
using simwin::MachineError;
using simwin::MachineScope;
using simwin::Registry;
using simwin::RegKeyHandle;

const char* const kTestKey = "Software\\SimwinRegistryTest";

class RegistryApi : public ::testing::Test {
protected:
    Machine m;
    MachineScope scope{m};
    HKEY key = nullptr;

    void SetUp() override {
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, kTestKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                                 KEY_ALL_ACCESS, nullptr, &key, nullptr));
    }
    void TearDown() override {
        if (key) RegCloseKey(key);
    }

    HKEY create(HKEY parent, const char* name, REGSAM sam = KEY_ALL_ACCESS, DWORD* disposition = nullptr) {
        HKEY h = nullptr;
        EXPECT_EQ(ERROR_SUCCESS,
                  RegCreateKeyExA(parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE, sam, nullptr, &h, disposition));
        return h;
    }
    void setString(HKEY h, const char* name, const std::string& text) {
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                                static_cast<DWORD>(text.size() + 1)));
    }
    void setDword(HKEY h, const char* name, DWORD v) {
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(h, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), 4));
    }
    std::vector<std::string> subkeyNames(HKEY h) {
        std::vector<std::string> names;
        for (DWORD i = 0;; ++i) {
            char buf[256];
            DWORD size = sizeof buf;
            LONG r = RegEnumKeyExA(h, i, buf, &size, nullptr, nullptr, nullptr, nullptr);
            if (r == ERROR_NO_MORE_ITEMS) break;
            EXPECT_EQ(ERROR_SUCCESS, r);
            if (r) break;
            EXPECT_EQ(std::strlen(buf), size);
            names.push_back(buf);
        }
        return names;
    }
    std::vector<std::string> valueNames(HKEY h) {
        std::vector<std::string> names;
        for (DWORD i = 0;; ++i) {
            char buf[256];
            DWORD size = sizeof buf;
            LONG r = RegEnumValueA(h, i, buf, &size, nullptr, nullptr, nullptr, nullptr);
            if (r == ERROR_NO_MORE_ITEMS) break;
            EXPECT_EQ(ERROR_SUCCESS, r);
            if (r) break;
            names.push_back(buf);
        }
        return names;
    }
};

// ---- opening, creating, closing ------------------------------------------------------------------------

TEST_F(RegistryApi, PredefinedKeysHaveTheSdkValues) {
    EXPECT_EQ(static_cast<uintptr_t>(0xFFFFFFFF80000000ull), reinterpret_cast<uintptr_t>(HKEY_CLASSES_ROOT));
    EXPECT_EQ(static_cast<uintptr_t>(0xFFFFFFFF80000001ull), reinterpret_cast<uintptr_t>(HKEY_CURRENT_USER));
    EXPECT_EQ(static_cast<uintptr_t>(0xFFFFFFFF80000002ull), reinterpret_cast<uintptr_t>(HKEY_LOCAL_MACHINE));
    EXPECT_EQ(static_cast<uintptr_t>(0xFFFFFFFF80000003ull), reinterpret_cast<uintptr_t>(HKEY_USERS));
    EXPECT_EQ(static_cast<uintptr_t>(0xFFFFFFFF80000005ull), reinterpret_cast<uintptr_t>(HKEY_CURRENT_CONFIG));
    EXPECT_EQ(0x20019u, static_cast<DWORD>(KEY_READ));
    EXPECT_EQ(0x20006u, static_cast<DWORD>(KEY_WRITE));
    EXPECT_EQ(0xF003Fu, static_cast<DWORD>(KEY_ALL_ACCESS));
    EXPECT_EQ(8u, sizeof(HKEY));
    EXPECT_EQ(4u, sizeof(LONG));
}

TEST_F(RegistryApi, OpenMissingKeyGives2AndNullHandle) {
    HKEY h = reinterpret_cast<HKEY>(0x1234);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(key, "Missing", 0, KEY_READ, &h));
    EXPECT_EQ(nullptr, h);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\NoSuchVendor\\X", 0, KEY_READ, &h));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyA(key, "Missing", &h));
}

TEST_F(RegistryApi, EmptySubkeyOpensTheSameKeyAgain) {
    setString(key, "v", "x");
    for (const char* sub : {static_cast<const char*>(nullptr), ""}) {
        HKEY again = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(key, sub, 0, KEY_READ, &again));
        EXPECT_NE(key, again);
        DWORD size = 0;
        EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(again, "v", nullptr, nullptr, nullptr, &size));
        EXPECT_EQ(2u, size);
        EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(again));
    }
    // RegOpenKeyA hands back the very handle it was given; RegCreateKeyA opens a new one.
    HKEY same = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyA(key, "", &same));
    EXPECT_EQ(key, same);
    HKEY fresh = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyA(key, nullptr, &fresh));
    EXPECT_NE(key, fresh);
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(fresh));
}

TEST_F(RegistryApi, CreateReportsDispositionAndKeepsTheFirstCase) {
    DWORD disposition = 0;
    HKEY a = create(key, "Vendor\\Product\\Settings", KEY_ALL_ACCESS, &disposition);
    EXPECT_EQ(static_cast<DWORD>(REG_CREATED_NEW_KEY), disposition);
    HKEY b = create(key, "VENDOR\\product\\SETTINGS", KEY_ALL_ACCESS, &disposition);
    EXPECT_EQ(static_cast<DWORD>(REG_OPENED_EXISTING_KEY), disposition);
    setString(a, "Shared", "one");
    char buf[16];
    DWORD size = sizeof buf;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(b, "SHARED", nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size));
    EXPECT_STREQ("one", buf);
    EXPECT_EQ(std::vector<std::string>{"Vendor"}, subkeyNames(key));
    EXPECT_NE(nullptr, m.registry.find("HKCU\\Software\\SimwinRegistryTest\\Vendor\\Product"));
    EXPECT_EQ("HKEY_CURRENT_USER\\Software\\SimwinRegistryTest\\Vendor\\Product\\Settings",
              Registry::pathOf(*m.registry.find("hkey_current_user\\software\\simwinregistrytest\\vendor\\product\\settings")));
    RegCloseKey(a);
    RegCloseKey(b);
    HKEY viaRegCreateKey = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyA(key, "Second", &viaRegCreateKey));
    EXPECT_NE(nullptr, viaRegCreateKey);
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(viaRegCreateKey));
}

TEST_F(RegistryApi, HandlesAreHandleObjectsOfTheMachine) {
    size_t before = m.handles.openCountOf<RegKeyHandle>();
    HKEY a = create(key, "A");
    HKEY b = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(key, "A", 0, KEY_READ, &b));
    EXPECT_EQ(before + 2, m.handles.openCountOf<RegKeyHandle>());
    EXPECT_NE(nullptr, m.handles.get<RegKeyHandle>(a));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(a));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(b));
    EXPECT_EQ(before, m.handles.openCountOf<RegKeyHandle>());
    // Predefined keys are not in the table and closing them is harmless.
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(HKEY_LOCAL_MACHINE));
}

TEST_F(RegistryApi, InvalidHandleGives6Everywhere) {
    HKEY bad = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x7770));
    HKEY out = nullptr;
    char name[32];
    DWORD size = sizeof name, n = 0;
    BYTE data[4] = {1, 0, 0, 0};
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegOpenKeyExA(bad, "x", 0, KEY_READ, &out));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCreateKeyExA(bad, "x", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &out, nullptr));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegQueryValueExA(bad, "x", nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegSetValueExA(bad, "x", 0, REG_DWORD, data, 4));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegDeleteValueA(bad, "x"));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegDeleteKeyA(bad, "x"));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegEnumKeyExA(bad, 0, name, &size, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegEnumKeyA(bad, 0, name, sizeof name));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegEnumValueA(bad, 0, name, &size, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegQueryInfoKeyA(bad, nullptr, nullptr, nullptr, &n, nullptr, nullptr, nullptr,
                                                     nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(bad));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(nullptr));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegOpenKeyExA(HKEY_PERFORMANCE_DATA, "x", 0, KEY_READ, &out));
    // A closed handle is invalid, and so is a handle of another kind of object.
    HKEY closed = create(key, "Closed");
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(closed));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(closed));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegSetValueExA(closed, "x", 0, REG_DWORD, data, 4));
    struct Other : simwin::HandleObject {};
    HKEY other = static_cast<HKEY>(m.handles.add(std::make_shared<Other>()));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegQueryValueExA(other, "x", nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(other));
}

TEST_F(RegistryApi, ErrorsAreReturnedNotSetAsLastError) {
    SetLastError(4242);
    HKEY h = nullptr;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(key, "Missing", 0, KEY_READ, &h));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueA(key, "Missing"));
    EXPECT_EQ(4242u, GetLastError());
}

TEST_F(RegistryApi, PathsWithALeadingSeparatorAreRejected) {
    HKEY h = nullptr;
    EXPECT_EQ(ERROR_BAD_PATHNAME, RegCreateKeyExA(key, "\\Lead", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr));
    EXPECT_EQ(ERROR_BAD_PATHNAME, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "\\SOFTWARE", 0, KEY_READ, &h));
    EXPECT_EQ(nullptr, m.registry.find("HKCU\\Software\\SimwinRegistryTest\\Lead"));
    // Trailing and doubled separators are skipped.
    HKEY t = create(key, "Trail\\\\Inner\\");
    EXPECT_NE(nullptr, m.registry.find("HKCU\\Software\\SimwinRegistryTest\\Trail\\Inner"));
    RegCloseKey(t);
}

// ---- values --------------------------------------------------------------------------------------------

TEST_F(RegistryApi, QueryValueSizesAndBuffers) {
    setString(key, "Path", "C:\\Vendor");  // 9 characters and the NUL
    DWORD type = 0, size = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "path", nullptr, &type, nullptr, &size));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(10u, size);

    char buf[32];
    std::memset(buf, 'x', sizeof buf);
    size = 9;
    type = 0;
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExA(key, "Path", nullptr, &type, reinterpret_cast<BYTE*>(buf), &size));
    EXPECT_EQ(10u, size);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);

    size = 10;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "Path", nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size));
    EXPECT_STREQ("C:\\Vendor", buf);
    EXPECT_EQ(10u, size);

    size = sizeof buf;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(key, "Missing", nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegQueryValueExA(key, "Path", nullptr, nullptr, reinterpret_cast<BYTE*>(buf), nullptr));

    setDword(key, "Count", 0x1234);
    DWORD v = 0;
    size = sizeof v;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "COUNT", nullptr, &type, reinterpret_cast<BYTE*>(&v), &size));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    EXPECT_EQ(0x1234u, v);
    EXPECT_EQ(4u, size);
}

TEST_F(RegistryApi, DefaultValueAndForgottenNul) {
    const char text[] = "Default";
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), 7));
    DWORD size = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "", nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(8u, size) << "the NUL left out of the size is counted, as NT does";
    EXPECT_EQ("Default", m.registry.getString("HKCU\\Software\\SimwinRegistryTest", ""));
    // Binary data is stored exactly as given.
    const BYTE raw[] = {1, 2, 0};
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "Raw", 0, REG_BINARY, raw, 2));
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "Raw", nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(2u, size);
    EXPECT_EQ(ERROR_NOACCESS, RegSetValueExA(key, "Raw", 0, REG_BINARY, nullptr, 2));
}

TEST_F(RegistryApi, ValuesEnumerateInCreationOrderNamesKeepTheirCase) {
    setString(key, "zeta", "1");
    setDword(key, "Alpha", 2);
    setString(key, nullptr, "default");
    setString(key, "Mid", "3");
    setString(key, "ZETA", "replaced");  // replacing keeps the place and the first spelling
    EXPECT_EQ((std::vector<std::string>{"zeta", "Alpha", "", "Mid"}), valueNames(key));
    EXPECT_EQ("replaced", m.registry.getString("HKCU\\Software\\SimwinRegistryTest", "Zeta"));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueA(key, "ALPHA"));
    setDword(key, "Alpha", 2);
    EXPECT_EQ((std::vector<std::string>{"zeta", "", "Mid", "Alpha"}), valueNames(key));
}

TEST_F(RegistryApi, EnumValueBuffers) {
    setString(key, "Name5", "abc");  // data: 4 bytes
    char name[16];
    BYTE data[16];
    DWORD nameSize = 5, dataSize = sizeof data, type = 0;
    // The name needs room for its NUL: 5 characters do not fit in 5.
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumValueA(key, 0, name, &nameSize, nullptr, &type, data, &dataSize));
    nameSize = 6;
    dataSize = sizeof data;
    EXPECT_EQ(ERROR_SUCCESS, RegEnumValueA(key, 0, name, &nameSize, nullptr, &type, data, &dataSize));
    EXPECT_STREQ("Name5", name);
    EXPECT_EQ(5u, nameSize) << "characters without the NUL";
    EXPECT_EQ(4u, dataSize);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_STREQ("abc", reinterpret_cast<char*>(data));
    // Data too small: ERROR_MORE_DATA with the size needed and the type; the name is left alone.
    std::strcpy(name, "untouched");
    nameSize = sizeof name;
    dataSize = 3;
    type = 0;
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumValueA(key, 0, name, &nameSize, nullptr, &type, data, &dataSize));
    EXPECT_EQ(4u, dataSize);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_STREQ("untouched", name);
    EXPECT_EQ(static_cast<DWORD>(sizeof name), nameSize);
    // A name too long is cut to the buffer, its size left as given, the data size reported.
    nameSize = 3;
    dataSize = sizeof data;
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumValueA(key, 0, name, &nameSize, nullptr, nullptr, data, &dataSize));
    EXPECT_STREQ("Na", name);
    EXPECT_EQ(3u, nameSize);
    EXPECT_EQ(4u, dataSize);
    // No data buffer: the size only.
    nameSize = sizeof name;
    dataSize = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegEnumValueA(key, 0, name, &nameSize, nullptr, nullptr, nullptr, &dataSize));
    EXPECT_EQ(4u, dataSize);
    // Past the end.
    nameSize = sizeof name;
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumValueA(key, 1, name, &nameSize, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegEnumValueA(key, 0, name, nullptr, nullptr, nullptr, nullptr, nullptr));
}

TEST_F(RegistryApi, DeleteValue) {
    setString(key, "Gone", "x");
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueA(key, "GONE"));
    DWORD size = 0;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(key, "Gone", nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueA(key, "Gone"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueA(key, nullptr));
}

// ---- subkeys -------------------------------------------------------------------------------------------

TEST_F(RegistryApi, SubkeysEnumerateInOrdinalUpperCaseOrder) {
    for (const char* n : {"b", "_x", "Z", "a1", "A", "[", "9"}) RegCloseKey(create(key, n));
    // Compared upper-cased: '9' (0x39) < 'A' < 'A1' < 'B' < 'Z' (0x5A) < '[' (0x5B) < '_X' (0x5F).
    // Comparing lower-cased would put '[' and '_x' before 'a'.
    EXPECT_EQ((std::vector<std::string>{"9", "A", "a1", "b", "Z", "[", "_x"}), subkeyNames(key));
}

TEST_F(RegistryApi, EnumKeyBuffers) {
    RegCloseKey(create(key, "Four"));
    char name[16];
    DWORD size = 4;
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr));
    size = 5;
    FILETIME ft{1, 1};
    EXPECT_EQ(ERROR_SUCCESS, RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, &ft));
    EXPECT_STREQ("Four", name);
    EXPECT_EQ(4u, size);
    size = sizeof name;
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumKeyExA(key, 1, name, &size, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumKeyA(key, 0, name, 4));
    EXPECT_EQ(ERROR_SUCCESS, RegEnumKeyA(key, 0, name, 5));
    EXPECT_STREQ("Four", name);
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumKeyA(key, 1, name, sizeof name));
}

TEST_F(RegistryApi, QueryInfoKeyCountsAndLongestNames) {
    RegCloseKey(create(key, "Short"));
    RegCloseKey(create(key, "LongerName"));
    setString(key, "v", "twelve chars");
    setDword(key, "LongestValueName", 1);
    DWORD subkeys = 0, maxSubkey = 0, values = 0, maxValueName = 0, maxData = 0, classLen = 9;
    char cls[8] = "junk";
    EXPECT_EQ(ERROR_SUCCESS, RegQueryInfoKeyA(key, cls, &classLen, nullptr, &subkeys, &maxSubkey, nullptr, &values,
                                              &maxValueName, &maxData, nullptr, nullptr));
    EXPECT_EQ(2u, subkeys);
    EXPECT_EQ(10u, maxSubkey);
    EXPECT_EQ(2u, values);
    EXPECT_EQ(16u, maxValueName);
    EXPECT_EQ(26u, maxData) << "the size of the string as stored (UTF-16), as Windows reports it";
    EXPECT_EQ(0u, classLen);
    EXPECT_STREQ("", cls);
}

TEST_F(RegistryApi, DeleteKey) {
    RegCloseKey(create(key, "Parent\\Child"));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyA(key, "Parent")) << "a key with subkeys stays on NT";
    EXPECT_NE(nullptr, m.registry.find("HKCU\\Software\\SimwinRegistryTest\\Parent\\Child"));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(key, "PARENT\\child"));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(key, "Parent"));
    EXPECT_EQ(nullptr, m.registry.find("HKCU\\Software\\SimwinRegistryTest\\Parent"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyA(key, "Parent"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyA(key, "Never\\Was"));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegDeleteKeyA(key, nullptr));
    EXPECT_TRUE(subkeyNames(key).empty());
    // Roots cannot be deleted.
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyA(HKEY_CURRENT_CONFIG, ""));
}

TEST_F(RegistryApi, HandleToADeletedKeyGivesKeyDeleted) {
    HKEY doomed = create(key, "Doomed");
    setString(doomed, "v", "x");
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(key, "Doomed"));
    DWORD size = 0, n = 0;
    char name[16];
    HKEY out = nullptr;
    BYTE data[4] = {};
    EXPECT_EQ(ERROR_KEY_DELETED, RegQueryValueExA(doomed, "v", nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(ERROR_KEY_DELETED, RegSetValueExA(doomed, "w", 0, REG_DWORD, data, 4));
    EXPECT_EQ(ERROR_KEY_DELETED, RegDeleteValueA(doomed, "v"));
    size = sizeof name;
    EXPECT_EQ(ERROR_KEY_DELETED, RegEnumValueA(doomed, 0, name, &size, nullptr, nullptr, nullptr, nullptr));
    size = sizeof name;
    EXPECT_EQ(ERROR_KEY_DELETED, RegEnumKeyExA(doomed, 0, name, &size, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(ERROR_KEY_DELETED, RegQueryInfoKeyA(doomed, nullptr, nullptr, nullptr, &n, nullptr, nullptr, nullptr,
                                                  nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(ERROR_KEY_DELETED, RegOpenKeyExA(doomed, "", 0, KEY_READ, &out));
    EXPECT_EQ(ERROR_KEY_DELETED, RegCreateKeyExA(doomed, "Sub", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &out, nullptr));
    EXPECT_EQ(ERROR_KEY_DELETED, RegDeleteKeyA(doomed, ""));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(doomed));
    // A key of the same name created afterwards is a new key.
    HKEY again = create(key, "Doomed");
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(again, "v", nullptr, nullptr, nullptr, &size));
    RegCloseKey(again);
}

TEST_F(RegistryApi, KeyDeletedThroughTheModelInvalidatesHandles) {
    HKEY inner = create(key, "Tree\\Inner");
    EXPECT_TRUE(m.registry.remove("HKCU\\Software\\SimwinRegistryTest\\Tree"));
    DWORD size = 0;
    EXPECT_EQ(ERROR_KEY_DELETED, RegQueryValueExA(inner, "v", nullptr, nullptr, nullptr, &size));
    RegCloseKey(inner);
    EXPECT_FALSE(m.registry.remove("HKCU\\Software\\SimwinRegistryTest\\Tree"));
    EXPECT_FALSE(m.registry.remove("HKEY_LOCAL_MACHINE"));
}

TEST_F(RegistryApi, ClassesRootIsAViewOfLocalMachineClasses) {
    HKEY ext = create(HKEY_CLASSES_ROOT, ".vxd");
    setString(ext, nullptr, "VestralFile");
    RegCloseKey(ext);
    EXPECT_EQ("VestralFile", m.registry.getString("HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.vxd", ""));
    m.registry.setString("HKLM\\SOFTWARE\\Classes\\CLSID\\{1}", "", "Server");
    HKEY clsid = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID\\{1}", 0, KEY_READ, &clsid));
    char buf[16];
    DWORD size = sizeof buf;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(clsid, "", nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size));
    EXPECT_STREQ("Server", buf);
    RegCloseKey(clsid);
    EXPECT_EQ(m.registry.find("HKCR\\.vxd"), m.registry.find("HKLM\\SOFTWARE\\Classes\\.VXD"));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyA(HKEY_CLASSES_ROOT, "")) << "the view's own key cannot go";
    // The saved text names the keys under HKEY_LOCAL_MACHINE only.
    std::string text = m.registry.saveReg();
    EXPECT_NE(std::string::npos, text.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.vxd]\n@=\"VestralFile\"\n"));
    EXPECT_EQ(std::string::npos, text.find("HKEY_CLASSES_ROOT"));
}

TEST_F(RegistryApi, HandlesCarryTheirAccessRights) {
    setString(key, "v", "x");
    HKEY readOnly = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, kTestKey, 0, KEY_READ, &readOnly));
    BYTE data[4] = {};
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegSetValueExA(readOnly, "w", 0, REG_DWORD, data, 4));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteValueA(readOnly, "v"));
    DWORD size = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(readOnly, "v", nullptr, nullptr, nullptr, &size));
    RegCloseKey(readOnly);

    HKEY writeOnly = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, kTestKey, 0, KEY_SET_VALUE, &writeOnly));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegQueryValueExA(writeOnly, "v", nullptr, nullptr, nullptr, &size));
    char name[16];
    size = sizeof name;
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegEnumKeyExA(writeOnly, 0, name, &size, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(writeOnly, "w", 0, REG_DWORD, data, 4));
    RegCloseKey(writeOnly);
}

TEST(RegistryAccess, UserWhoIsNotAnAdministratorOnlyReadsTheMachineKeys) {
    Machine m;
    m.system.admin = false;
    MachineScope scope(m);
    HKEY h = nullptr;
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_ALL_ACCESS, &h));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vestral", 0, nullptr, 0, KEY_READ,
                                                   nullptr, &h, nullptr));
    EXPECT_EQ(nullptr, m.registry.find("HKLM\\SOFTWARE\\Vestral"));
    m.registry.create("HKLM\\SOFTWARE\\Vestral\\Leaf");
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vestral\\Leaf"));
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vestral", 0, KEY_READ, &h));
    RegCloseKey(h);
    // RegOpenKeyA asks for the most it can get, which is reading.
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vestral", &h));
    BYTE data[4] = {};
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegSetValueExA(h, "v", 0, REG_DWORD, data, 4));
    RegCloseKey(h);
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegSetValueExA(HKEY_LOCAL_MACHINE, "v", 0, REG_DWORD, data, 4));
    // The user's own keys stay writable.
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Mine", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr));
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(h, "v", 0, REG_DWORD, data, 4));
    RegCloseKey(h);
}

TEST(RegistryPlatforms, Windows9xDeletesAWholeTreeAndChecksNoRights) {
    Machine m(simwin::Platform::Win9x);
    MachineScope scope(m);
    m.registry.setString("HKLM\\SOFTWARE\\Vestral\\A\\B", "v", "x");
    HKEY h = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vestral", 0, KEY_READ, &h));
    BYTE data[4] = {};
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(h, "v", 0, REG_DWORD, data, 4));
    RegCloseKey(h);
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vestral"));
    EXPECT_EQ(nullptr, m.registry.find("HKLM\\SOFTWARE\\Vestral"));
}

// ---- the model -----------------------------------------------------------------------------------------

// Paths a lookup walks name by name: one trailing separator is allowed, an empty name finds nothing; a key
// found gives back its path with the root written in full.
TEST(RegistryModel, PathsWithSeparators) {
    Registry r;
    r.create("HKCU\\Software\\Vestral\\Inner");
    struct Case {
        const char* path;
        const char* found;  // nullptr: nothing found
    };
    const Case cases[] = {
        {"HKCU", "HKEY_CURRENT_USER"},
        {"HKCU\\", "HKEY_CURRENT_USER"},
        {"HKCU\\\\", nullptr},
        {"HKCU\\Software\\vestral\\", "HKEY_CURRENT_USER\\Software\\Vestral"},
        {"HKCU\\Software\\Vestral\\\\", nullptr},
        {"HKCU\\\\Software", nullptr},
        {"hkey_current_user\\SOFTWARE\\Vestral\\INNER", "HKEY_CURRENT_USER\\Software\\Vestral\\Inner"},
        {"HKCU\\Software\\Vestral\\Inner\\Absent", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const simwin::RegKey* key = r.find(c.path);
        if (!c.found) {
            EXPECT_EQ(nullptr, key);
            continue;
        }
        ASSERT_NE(nullptr, key);
        EXPECT_EQ(c.found, Registry::pathOf(*key));
    }
}

TEST(RegistryModel, StandardKeysAndPaths) {
    Registry r;
    EXPECT_NE(nullptr, r.find("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run"));
    EXPECT_NE(nullptr, r.find("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce"));
    EXPECT_NE(nullptr, r.find("HKLM\\SOFTWARE\\Classes"));
    EXPECT_NE(nullptr, r.find("HKCU\\Software"));
    EXPECT_NE(nullptr, r.find("HKCR"));
    EXPECT_EQ(nullptr, r.find("HKXX\\Software"));
    EXPECT_EQ(nullptr, r.find("HKCU\\Software\\\\X"));
    EXPECT_THROW(r.create("HKEY_NOWHERE\\A"), MachineError);
    EXPECT_THROW(r.create("HKCU\\A\\\\B"), MachineError);

    r.setDword("HKU\\.DEFAULT\\Printers", "Count", 3);
    EXPECT_EQ(3u, r.getDword("HKEY_USERS\\.default\\printers", "count"));
    EXPECT_EQ(7u, r.getDword("HKEY_USERS\\.default\\printers", "other", 7));
    EXPECT_EQ("", r.getString("HKEY_USERS\\.default\\printers", "count"));
    EXPECT_TRUE(r.hasValue("HKU\\.DEFAULT\\Printers", "COUNT"));
    r.setMultiString("HKCU\\Software\\M", "List", {"a", "bc"});
    const simwin::RegValue* v = r.value("HKCU\\Software\\M", "list");
    ASSERT_NE(nullptr, v);
    EXPECT_EQ((std::vector<BYTE>{'a', 0, 'b', 'c', 0, 0}), v->data);
    r.setExpandString("HKCU\\Software\\M", "Exp", "%WINDIR%");
    EXPECT_EQ("%WINDIR%", r.getString("HKCU\\Software\\M", "Exp"));
}

TEST(RegistryModel, Utf8AndUtf16Conversions) {
    std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x96\xA8";  // a, e-acute, euro sign, printer emoji
    std::vector<WORD> units = simwin::utf8ToUtf16(std::vector<BYTE>(text.begin(), text.end()));
    EXPECT_EQ((std::vector<WORD>{0x61, 0xE9, 0x20AC, 0xD83D, 0xDDA8}), units);
    std::vector<BYTE> back = simwin::utf16ToUtf8(units);
    EXPECT_EQ(text, std::string(back.begin(), back.end()));
    // Invalid input becomes U+FFFD.
    EXPECT_EQ((std::vector<WORD>{0xFFFD, 0x41, 0xFFFD}), simwin::utf8ToUtf16({0xFF, 'A', 0xC3}));
    EXPECT_EQ((std::vector<BYTE>{0xEF, 0xBF, 0xBD}), simwin::utf16ToUtf8({0xDC00}));
}

// ---- regedit text --------------------------------------------------------------------------------------

std::string reg5(const std::string& body) { return "Windows Registry Editor Version 5.00\r\n\r\n" + body; }

TEST(RegeditText, ReadsEveryKindOfValue) {
    Registry r;
    r.loadReg(reg5("; a comment\r\n"
                   "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vestral]\r\n"
                   "@=\"default\"\r\n"
                   "\"Path\"=\"C:\\\\Program Files\\\\Vestral\"\r\n"
                   "\"Quote\"=\"say \\\"hi\\\"\"\r\n"
                   "\"Count\"=dword:0000001f\r\n"
                   "\"Short\"=dword:A\r\n"
                   "\"Bin\"=hex:00,ff,\\\r\n"
                   "  10\r\n"
                   "\"Exp\"=hex(2):25,00,57,00,49,00,4e,00,25,00,00,00\r\n"
                   "\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
                   "\"Q\"=hex(b):01,00,00,00,00,00,00,00\r\n"
                   "\"None\"=hex(0):\r\n"
                   "\"Utf\"=hex(1):ac,20,00,00\r\n"
                   "\"Gone\"=\"soon\"\r\n"
                   "\"Gone\"=-\r\n"
                   "\r\n"
                   "[HKCU\\Software\\Vestral\\Empty]\r\n"
                   "[HKCR\\.vxd]\r\n"
                   "@=\"VestralFile\"\r\n"),
              "test.reg");
    const char* k = "HKLM\\SOFTWARE\\Vestral";
    EXPECT_EQ("default", r.getString(k, ""));
    EXPECT_EQ("C:\\Program Files\\Vestral", r.getString(k, "path"));
    EXPECT_EQ("say \"hi\"", r.getString(k, "Quote"));
    EXPECT_EQ(0x1fu, r.getDword(k, "Count"));
    EXPECT_EQ(10u, r.getDword(k, "Short"));
    ASSERT_NE(nullptr, r.value(k, "Bin"));
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), r.value(k, "Bin")->type);
    EXPECT_EQ((std::vector<BYTE>{0x00, 0xff, 0x10}), r.value(k, "Bin")->data);
    EXPECT_EQ(static_cast<DWORD>(REG_EXPAND_SZ), r.value(k, "Exp")->type);
    EXPECT_EQ((std::vector<BYTE>{'%', 'W', 'I', 'N', '%', 0}), r.value(k, "Exp")->data);
    EXPECT_EQ(static_cast<DWORD>(REG_MULTI_SZ), r.value(k, "Multi")->type);
    EXPECT_EQ((std::vector<BYTE>{'a', 0, 'b', 0, 0}), r.value(k, "Multi")->data);
    EXPECT_EQ(static_cast<DWORD>(REG_QWORD), r.value(k, "Q")->type);
    EXPECT_EQ(8u, r.value(k, "Q")->data.size());
    EXPECT_EQ(static_cast<DWORD>(REG_NONE), r.value(k, "None")->type);
    EXPECT_TRUE(r.value(k, "None")->data.empty());
    EXPECT_EQ("\xE2\x82\xAC", r.getString(k, "Utf"));
    EXPECT_FALSE(r.hasValue(k, "Gone"));
    EXPECT_NE(nullptr, r.find("HKEY_CURRENT_USER\\Software\\Vestral\\Empty"));
    EXPECT_EQ("VestralFile", r.getString("HKLM\\SOFTWARE\\Classes\\.vxd", ""));
    // Values read in file order enumerate in that order.
    std::vector<std::string> order;
    for (auto& v : r.find(k)->values) order.push_back(v.name);
    EXPECT_EQ((std::vector<std::string>{"", "Path", "Quote", "Count", "Short", "Bin", "Exp", "Multi", "Q", "None", "Utf"}),
              order);
}

TEST(RegeditText, Regedit4StringsAreAnsiBytes) {
    Registry r;
    r.loadReg("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Old]\n\"Exp\"=hex(2):25,41,25,00\n\"S\"=\"\xC3\xA9\"\n",
              "old.reg");
    EXPECT_EQ("%A%", r.getString("HKLM\\SOFTWARE\\Old", "Exp"));
    EXPECT_EQ("\xC3\xA9", r.getString("HKLM\\SOFTWARE\\Old", "S"));
    // Saving always writes the 5.00 format, whose string data is UTF-16LE.
    EXPECT_NE(std::string::npos, r.saveReg().find("\"Exp\"=hex(2):25,00,41,00,25,00,00,00\n"));
}

TEST(RegeditText, ByteOrderMarksAreAccepted) {
    Registry a;
    a.loadReg("\xEF\xBB\xBFWindows Registry Editor Version 5.00\n[HKCU\\Software\\Bom]\n\"v\"=\"1\"\n", "utf8.reg");
    EXPECT_EQ("1", a.getString("HKCU\\Software\\Bom", "v"));
    std::string ascii = "Windows Registry Editor Version 5.00\r\n[HKCU\\Software\\Wide]\r\n\"v\"=\"\xC3\xA9\"\r\n";
    std::vector<BYTE> bytes(ascii.begin(), ascii.end());
    std::string utf16 = "\xFF\xFE";
    for (WORD u : simwin::utf8ToUtf16(bytes)) {
        utf16 += static_cast<char>(u & 0xFF);
        utf16 += static_cast<char>(u >> 8);
    }
    Registry b;
    b.loadReg(utf16, "utf16.reg");
    EXPECT_EQ("\xC3\xA9", b.getString("HKCU\\Software\\Wide", "v"));
}

TEST(RegeditText, DeletionSectionsRemoveTrees) {
    Registry r;
    r.setString("HKLM\\SOFTWARE\\Vestral\\Sub", "v", "x");
    r.loadReg(reg5("[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Vestral]\n[-HKLM\\SOFTWARE\\NeverThere]\n"), "del.reg");
    EXPECT_EQ(nullptr, r.find("HKLM\\SOFTWARE\\Vestral"));
    EXPECT_NE(nullptr, r.find("HKLM\\SOFTWARE"));
}

TEST(RegeditText, SaveIsSortedAndWrapped) {
    Registry r;
    r.setString("HKCU\\Software\\b", "zz", "last");
    r.setDword("HKCU\\Software\\b", "AA", 0x1f);
    r.setString("HKCU\\Software\\b", "", "dflt");
    r.create("HKCU\\Software\\_under");
    r.create("HKCU\\Software\\A\\Empty");
    std::vector<BYTE> big(30);
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<BYTE>(i);
    r.setValue("HKCU\\Software\\A", "Big", REG_BINARY, big);
    r.setString("HKCU\\Software\\A", "Esc", "a\\b\"c");
    r.setValue("HKCU\\Software\\A", "Lines", REG_SZ, {'a', '\n', 'b', 0});
    r.setValue("HKCU\\Software\\A", "Odd", REG_DWORD, {1, 2});
    r.setValue("HKCU\\Software\\A", "Q", REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0});
    r.setValue("HKU\\S-1", "", REG_SZ, {});
    std::string expected =
        "Windows Registry Editor Version 5.00\n"
        "\n[HKEY_CURRENT_USER\\Software]\n"
        "\n[HKEY_CURRENT_USER\\Software\\A]\n"
        "\"Big\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,17,18,\\\n"
        "  19,1a,1b,1c,1d\n"
        "\"Esc\"=\"a\\\\b\\\"c\"\n"
        "\"Lines\"=hex(1):61,00,0a,00,62,00,00,00\n"
        "\"Odd\"=hex(4):01,02\n"
        "\"Q\"=hex(b):01,00,00,00,00,00,00,00\n"
        "\n[HKEY_CURRENT_USER\\Software\\A\\Empty]\n"
        "\n[HKEY_CURRENT_USER\\Software\\b]\n"
        "@=\"dflt\"\n"
        "\"AA\"=dword:0000001f\n"
        "\"zz\"=\"last\"\n"
        "\n[HKEY_CURRENT_USER\\Software\\_under]\n"
        "\n[HKEY_LOCAL_MACHINE\\SOFTWARE]\n"
        "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes]\n"
        "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft]\n"
        "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows]\n"
        "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion]\n"
        "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\n"
        "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce]\n"
        "\n[HKEY_USERS\\S-1]\n"
        "@=hex(1):\n"
        "\n";
    EXPECT_EQ(expected, r.saveReg());
}

void expectSameValues(const Registry& a, const Registry& b, const std::string& key) {
    const simwin::RegKey* ka = a.find(key);
    const simwin::RegKey* kb = b.find(key);
    ASSERT_NE(nullptr, ka) << key;
    ASSERT_NE(nullptr, kb) << key;
    ASSERT_EQ(ka->values.size(), kb->values.size()) << key;
    for (auto& v : ka->values) {
        const simwin::RegValue* w = kb->findValue(v.name);
        ASSERT_NE(nullptr, w) << key << " " << v.name;
        EXPECT_EQ(v.name, w->name);
        EXPECT_EQ(v.type, w->type) << v.name;
        EXPECT_EQ(v.data, w->data) << v.name;
    }
}

TEST(RegeditText, RoundTripsEveryValueType) {
    Registry r;
    const std::string k = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vestral\\Round";
    r.setString(k, "", "default");
    r.setString(k, "Text", "C:\\Program Files\\\"Vestral\"\\ \xC3\xA9\xE2\x82\xAC");
    r.setString(k, "Empty", "");
    r.setExpandString(k, "Exp", "%SystemRoot%\\System32\\\xF0\x9F\x96\xA8");
    r.setMultiString(k, "Multi", {"one", "two \xC3\xA9", ""});
    r.setDword(k, "Dword", 0xDEADBEEF);
    r.setValue(k, "Qword", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8});
    r.setValue(k, "None", REG_NONE, {});
    r.setValue(k, "Bin", REG_BINARY, std::vector<BYTE>(77, 0xAB));
    r.setValue(k, "NoNul", REG_SZ, {'a', 'b'});
    r.setValue(k, "Inner\"Nul", REG_SZ, {'a', 0, 'b', 0});
    r.setValue(k, "Crlf", REG_SZ, {'a', '\r', '\n', 0});
    r.setValue(k, "Type99", 0x99, {9, 9});
    r.setValue(k, "BigEndian", REG_DWORD_BIG_ENDIAN, {0, 0, 0, 1});
    r.setValue(k, "\\Odd name=", REG_DWORD, {1, 2, 3, 4});
    r.create("HKCU\\Software\\Only\\Parent\\Leaf");

    std::string first = r.saveReg();
    Registry back;
    back.loadReg(first, "first.reg");
    EXPECT_EQ(first, back.saveReg());
    expectSameValues(r, back, k);
    EXPECT_NE(nullptr, back.find("HKCU\\Software\\Only\\Parent"));
    EXPECT_NE(nullptr, back.find("HKCU\\Software\\Only\\Parent\\Leaf"));
}

TEST(RegeditText, InvalidAnsiInStringDataIsStableAfterOneSave) {
    Registry r;
    r.setValue("HKCU\\Software\\Bad", "Exp", REG_EXPAND_SZ, {'a', 0xFF, 0});
    std::string first = r.saveReg();
    Registry once;
    once.loadReg(first, "once.reg");
    EXPECT_EQ("a\xEF\xBF\xBD", once.getString("HKCU\\Software\\Bad", "Exp"));
    Registry twice;
    twice.loadReg(once.saveReg(), "twice.reg");
    EXPECT_EQ(first, twice.saveReg());
}

TEST(RegeditText, FreshMachineRegistryIsStable) {
    Machine m;
    std::string text = m.registry.saveReg();
    Registry r;
    r.loadReg(text, "fresh.reg");
    EXPECT_EQ(text, r.saveReg());
}

TEST(RegeditText, MachineDirectoryRoundTrip) {
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() /
                   ("simwin_registry_" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    Machine m;
    m.registry.setString("HKLM\\SOFTWARE\\Vestral", "Installed", "yes");
    m.registry.create("HKCU\\Software\\Vestral\\Empty");
    m.save(dir.string());
    auto loaded = Machine::load(dir.string());
    // The loaded machine also has the spooler's keys derived from its sections; its save leaves them out.
    loaded->save((dir / "again").string());
    auto text = [](const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    EXPECT_EQ(m.registry.saveReg(), text(dir / "registry.reg"));
    EXPECT_EQ(text(dir / "registry.reg"), text(dir / "again" / "registry.reg"));
    EXPECT_EQ("yes", loaded->registry.getString("HKEY_LOCAL_MACHINE\\SOFTWARE\\Vestral", "installed"));
    fs::remove_all(dir);
}

struct Malformed {
    const char* text;
    int line;
    const char* what;
};

TEST(RegeditText, MalformedTextNamesOriginAndLine) {
    const Malformed cases[] = {
        {"", 1, "header"},
        {"REGEDIT5\n[HKCU\\Software]\n", 1, "header"},
        {"REGEDIT4\n\"v\"=\"x\"\n", 2, "before the first key"},
        {"REGEDIT4\n[HKCU\\Software\n", 2, "must end with ']'"},
        {"REGEDIT4\n[HKEY_NOWHERE\\X]\n", 2, "unknown root"},
        {"REGEDIT4\n[HKCU\\\\X]\n", 2, "empty key name"},
        {"REGEDIT4\n[-HKCU]\n", 2, "root key cannot be deleted"},
        {"REGEDIT4\n[HKCU\\S]\nnoquote=1\n", 3, "expected a key"},
        {"REGEDIT4\n[HKCU\\S]\n\"v\" \"x\"\n", 3, "expected '='"},
        {"REGEDIT4\n[HKCU\\S]\n\"v=\"x\"\n", 3, "expected '='"},
        {"REGEDIT4\n[HKCU\\S]\n\"v\"=\"x\n", 3, "unterminated"},
        {"REGEDIT4\n[HKCU\\S]\n\"v\"=\"C:\\Windows\"\n", 3, "unknown escape"},
        {"REGEDIT4\n[HKCU\\S]\n\"v\"=\"x\" y\n", 3, "after the closing quote"},
        {"REGEDIT4\n[HKCU\\S]\n\"v\"=dword:\n", 3, "dword"},
        {"REGEDIT4\n[HKCU\\S]\n\"v\"=dword:123456789\n", 3, "dword"},
        {"REGEDIT4\n[HKCU\\S]\n\"v\"=dword:12g4\n", 3, "dword"},
        {"REGEDIT4\n[HKCU\\S]\n\"v\"=hex:1,2,zz\n", 3, "bad byte"},
        {"REGEDIT4\n[HKCU\\S]\n\"v\"=hex:01,,02\n", 3, "bad byte"},
        {"REGEDIT4\n[HKCU\\S]\n\"v\"=hex:123\n", 3, "bad byte"},
        {"REGEDIT4\n[HKCU\\S]\n\"v\"=hex(x):00\n", 3, "hex(TYPE)"},
        {"REGEDIT4\n[HKCU\\S]\n\"v\"=hex(2)00\n", 3, "hex(TYPE)"},
        {"REGEDIT4\n[HKCU\\S]\n\"v\"=text\n", 3, "unknown value data"},
        {"Windows Registry Editor Version 5.00\n[HKCU\\S]\n\"v\"=hex(2):41\n", 3, "UTF-16LE"},
        {"REGEDIT4\n[HKCU\\S]\n\"a\"=hex:01,\\\n  02,\\\n  zz\n", 3, "bad byte"},
        {"REGEDIT4\n[-HKCU\\S]\n\"v\"=\"x\"\n", 3, "deleted key"},
    };
    for (const auto& c : cases) {
        Registry r;
        try {
            r.loadReg(c.text, "m/registry.reg");
            ADD_FAILURE() << "accepted: " << c.text;
        } catch (const MachineError& e) {
            std::string msg = e.what();
            std::string where = "m/registry.reg:" + std::to_string(c.line) + ": ";
            EXPECT_EQ(0u, msg.find(where)) << msg << " for: " << c.text;
            EXPECT_NE(std::string::npos, msg.find(c.what)) << msg << " for: " << c.text;
        }
    }
}

}  // namespace
