// The registry behaviour the tool relies on, set up and checked with Win32 calls only, under
// HKEY_CURRENT_USER\Software\KorunConformance (removed before and after each test).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "base/platform.h"
#include "conformance/conformance_env.h"

namespace {

const char* const kRoot = "Software\\KorunConformance";
const DWORD kPoison = 0xdeadbeef;

// Deletes a key with everything under it, deepest keys first: RegDeleteKeyA removes only a key
// without subkeys.
LONG deleteTree(HKEY parent, const char* name) {
    HKEY key = nullptr;
    LONG r = RegOpenKeyExA(parent, name, 0, KEY_ALL_ACCESS, &key);
    if (r != ERROR_SUCCESS) return r;
    for (;;) {
        char child[256];
        DWORD size = sizeof child;
        r = RegEnumKeyExA(key, 0, child, &size, nullptr, nullptr, nullptr, nullptr);
        if (r != ERROR_SUCCESS) break;
        r = deleteTree(key, child);
        if (r != ERROR_SUCCESS) break;
    }
    RegCloseKey(key);
    if (r != ERROR_NO_MORE_ITEMS) return r;
    return RegDeleteKeyA(parent, name);
}

class RegistryConformance : public ConformanceTest {
protected:
    HKEY root = nullptr;

    void SetUp() override {
        deleteTree(HKEY_CURRENT_USER, kRoot);  // left over by an interrupted run, if at all
        DWORD disposition = 0;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, kRoot, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                                 KEY_ALL_ACCESS, nullptr, &root, &disposition));
        ASSERT_EQ(static_cast<DWORD>(REG_CREATED_NEW_KEY), disposition);
    }

    void TearDown() override {
        if (root) RegCloseKey(root);
        EXPECT_EQ(ERROR_SUCCESS, deleteTree(HKEY_CURRENT_USER, kRoot));
        HKEY gone = nullptr;
        EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(HKEY_CURRENT_USER, kRoot, 0, KEY_READ, &gone));
    }

    HKEY create(HKEY parent, const char* name) {
        HKEY key = nullptr;
        EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExA(parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                                 nullptr, &key, nullptr));
        return key;
    }

    void setString(HKEY key, const char* name, const std::string& text, DWORD type = REG_SZ) {
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                                                static_cast<DWORD>(text.size() + 1)));
    }

    void setDword(HKEY key, const char* name, DWORD value) {
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                                sizeof value));
    }

    std::vector<std::string> subkeys(HKEY key) {
        std::vector<std::string> names;
        for (DWORD i = 0; i < 100; ++i) {
            char name[256];
            DWORD size = sizeof name;
            LONG r = RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr);
            if (r == ERROR_NO_MORE_ITEMS) break;
            EXPECT_EQ(ERROR_SUCCESS, r);
            if (r != ERROR_SUCCESS) break;
            EXPECT_EQ(std::strlen(name), static_cast<size_t>(size));
            names.push_back(name);
        }
        return names;
    }

    std::vector<std::string> valueNames(HKEY key) {
        std::vector<std::string> names;
        for (DWORD i = 0; i < 100; ++i) {
            char name[256];
            DWORD size = sizeof name;
            LONG r = RegEnumValueA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr);
            if (r == ERROR_NO_MORE_ITEMS) break;
            EXPECT_EQ(ERROR_SUCCESS, r);
            if (r != ERROR_SUCCESS) break;
            EXPECT_EQ(std::strlen(name), static_cast<size_t>(size));
            names.push_back(name);
        }
        return names;
    }
};

TEST_F(RegistryConformance, CreateQueryEnumerateDelete) {
    HKEY printer = create(root, "Printers\\Office");
    setString(printer, "Driver", "Vestral X Driver");
    setString(printer, "Path", "%SystemRoot%\\System32", REG_EXPAND_SZ);
    setDword(printer, "Attributes", 0x240);
    const char multi[] = "one\0two\0";
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(printer, "List", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(multi),
                                            sizeof multi));
    const BYTE bin[] = {0, 1, 2, 0xFF};
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(printer, "Blob", 0, REG_BINARY, bin, sizeof bin));
    setString(printer, nullptr, "default");

    char text[64];
    DWORD type = 0, size = sizeof text;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(printer, "Driver", nullptr, &type, reinterpret_cast<BYTE*>(text), &size));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_STREQ("Vestral X Driver", text);
    EXPECT_EQ(17u, size) << "REG_SZ sizes count the NUL";

    size = sizeof text;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(printer, "Path", nullptr, &type, reinterpret_cast<BYTE*>(text), &size));
    EXPECT_EQ(static_cast<DWORD>(REG_EXPAND_SZ), type);
    EXPECT_STREQ("%SystemRoot%\\System32", text) << "RegQueryValueExA does not expand";

    DWORD dword = 0;
    size = sizeof dword;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(printer, "Attributes", nullptr, &type, reinterpret_cast<BYTE*>(&dword), &size));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    EXPECT_EQ(0x240u, dword);
    EXPECT_EQ(4u, size);

    BYTE data[16];
    size = sizeof data;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(printer, "List", nullptr, &type, data, &size));
    EXPECT_EQ(static_cast<DWORD>(REG_MULTI_SZ), type);
    ASSERT_EQ(static_cast<DWORD>(sizeof multi), size);
    EXPECT_EQ(0, std::memcmp(multi, data, sizeof multi));

    size = sizeof data;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(printer, "Blob", nullptr, &type, data, &size));
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);
    ASSERT_EQ(4u, size);
    EXPECT_EQ(0, std::memcmp(bin, data, sizeof bin));

    size = sizeof text;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(printer, "", nullptr, &type, reinterpret_cast<BYTE*>(text), &size));
    EXPECT_STREQ("default", text);

    // Every value enumerates once (the order of values is not relied upon).
    std::vector<std::string> names = valueNames(printer);
    std::sort(names.begin(), names.end());
    EXPECT_EQ((std::vector<std::string>{"", "Attributes", "Blob", "Driver", "List", "Path"}), names);

    DWORD subkeyCount = 9, valueCount = 0, maxName = 0, maxData = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryInfoKeyA(printer, nullptr, nullptr, nullptr, &subkeyCount, nullptr, nullptr,
                                              &valueCount, &maxName, &maxData, nullptr, nullptr));
    EXPECT_EQ(0u, subkeyCount);
    EXPECT_EQ(6u, valueCount);
    EXPECT_EQ(10u, maxName);  // "Attributes"
    // At least "%SystemRoot%\System32" and its NUL; Windows reports the size stored as UTF-16.
    EXPECT_GE(maxData, 22u);

    ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueA(printer, "Driver"));
    size = sizeof text;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(printer, "Driver", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(printer));

    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(root, "Printers\\Office"));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(root, "Printers"));
    EXPECT_TRUE(subkeys(root).empty());
}

TEST_F(RegistryConformance, NamesAreCaseInsensitiveAndKeepTheirCase) {
    HKEY first = create(root, "MixedCase");
    setString(first, "ValueName", "x");
    HKEY again = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(root, "MIXEDCASE", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                             nullptr, &again, &disposition));
    EXPECT_EQ(static_cast<DWORD>(REG_OPENED_EXISTING_KEY), disposition);
    DWORD size = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(again, "VALUENAME", nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(2u, size);
    EXPECT_EQ((std::vector<std::string>{"MixedCase"}), subkeys(root));
    EXPECT_EQ((std::vector<std::string>{"ValueName"}), valueNames(again));
    RegCloseKey(again);
    RegCloseKey(first);
}

TEST_F(RegistryConformance, SubkeysEnumerateSortedWithoutRegardToCase) {
    for (const char* name : {"b", "C2", "A", "c1"}) RegCloseKey(create(root, name));
    EXPECT_EQ((std::vector<std::string>{"A", "b", "c1", "C2"}), subkeys(root));
}

TEST_F(RegistryConformance, MissingKeysAndValuesGive2) {
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(root, "Missing", 0, KEY_READ, &key));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(root, "Missing\\Deeper", 0, KEY_READ, &key));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyA(root, "Missing", &key));
    DWORD size = 0;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(root, "Missing", nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueA(root, "Missing"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyA(root, "Missing"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyA(root, "Missing\\Deeper"));
}

TEST_F(RegistryConformance, EmptySubkeyNameOpensTheKeyItself) {
    setString(root, "Here", "yes");
    HKEY again = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(root, "", 0, KEY_READ, &again));
    DWORD size = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(again, "Here", nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(4u, size);
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(again));
    HKEY same = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyA(root, "", &same));
    EXPECT_EQ(root, same);
}

// RegDeleteKeyA of a key that still has subkeys fails with 5; the key says so (RegQueryInfoKeyA's subkey
// count), which is how the tool tells such a key from one it may not touch.
TEST_F(RegistryConformance, KeyWithSubkeysIsNotDeleted) {
    RegCloseKey(create(root, "Parent\\Child"));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyA(root, "Parent"));
    HKEY parent = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(root, "Parent", 0, KEY_READ, &parent));
    DWORD subkeys = 0xdeadbeef;  // poisoned
    EXPECT_EQ(ERROR_SUCCESS, RegQueryInfoKeyA(parent, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                                              nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(1u, subkeys);
    RegCloseKey(parent);
    HKEY child = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(root, "Parent\\Child", 0, KEY_READ, &child));
    RegCloseKey(child);
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(root, "Parent\\Child"));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(root, "Parent"));
}

TEST_F(RegistryConformance, HandleOfADeletedKeyReportsIt) {
    HKEY doomed = create(root, "Doomed");
    setString(doomed, "v", "x");
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(root, "Doomed"));
    DWORD size = 0;
    EXPECT_EQ(ERROR_KEY_DELETED, RegQueryValueExA(doomed, "v", nullptr, nullptr, nullptr, &size));
    DWORD one = 1;
    EXPECT_EQ(ERROR_KEY_DELETED, RegSetValueExA(doomed, "w", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4));
    char name[64];
    size = sizeof name;
    EXPECT_EQ(ERROR_KEY_DELETED, RegEnumKeyExA(doomed, 0, name, &size, nullptr, nullptr, nullptr, nullptr));
    size = sizeof name;
    EXPECT_EQ(ERROR_KEY_DELETED, RegEnumValueA(doomed, 0, name, &size, nullptr, nullptr, nullptr, nullptr));
    HKEY sub = nullptr;
    EXPECT_EQ(ERROR_KEY_DELETED, RegOpenKeyExA(doomed, "", 0, KEY_READ, &sub));
    EXPECT_EQ(ERROR_KEY_DELETED, RegCreateKeyExA(doomed, "Sub", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                                 nullptr, &sub, nullptr));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(doomed));
}

TEST_F(RegistryConformance, EnumerationEndsWithNoMoreItems) {
    char name[64];
    DWORD size = sizeof name;
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumKeyExA(root, 0, name, &size, nullptr, nullptr, nullptr, nullptr));
    size = sizeof name;
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumValueA(root, 0, name, &size, nullptr, nullptr, nullptr, nullptr));
    RegCloseKey(create(root, "Only"));
    setDword(root, "Only", 1);
    size = sizeof name;
    EXPECT_EQ(ERROR_SUCCESS, RegEnumKeyExA(root, 0, name, &size, nullptr, nullptr, nullptr, nullptr));
    size = sizeof name;
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumKeyExA(root, 1, name, &size, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumKeyA(root, 1, name, sizeof name));
    size = sizeof name;
    EXPECT_EQ(ERROR_SUCCESS, RegEnumValueA(root, 0, name, &size, nullptr, nullptr, nullptr, nullptr));
    size = sizeof name;
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumValueA(root, 1, name, &size, nullptr, nullptr, nullptr, nullptr));
}

TEST_F(RegistryConformance, SmallBuffersGiveMoreDataAndTheSizeNeeded) {
    setString(root, "Seven", "123456");  // 7 bytes with the NUL
    RegCloseKey(create(root, "KeyName"));

    // Size query first, then the fetch.
    DWORD type = 0, size = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(root, "Seven", nullptr, &type, nullptr, &size));
    EXPECT_EQ(7u, size);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    char data[16];
    size = 6;
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExA(root, "Seven", nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size));
    EXPECT_EQ(7u, size);
    size = 7;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(root, "Seven", nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size));
    EXPECT_STREQ("123456", data);

    // Value names: the buffer needs room for the NUL; on success the size excludes it.
    char name[16];
    DWORD nameSize = 5;
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumValueA(root, 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr));
    nameSize = 6;
    EXPECT_EQ(ERROR_SUCCESS, RegEnumValueA(root, 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr));
    EXPECT_STREQ("Seven", name);
    EXPECT_EQ(5u, nameSize);

    // Value data too small: the size needed comes back.
    nameSize = sizeof name;
    size = 3;
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumValueA(root, 0, name, &nameSize, nullptr, &type, reinterpret_cast<BYTE*>(data), &size));
    EXPECT_EQ(7u, size);

    // Key names likewise.
    nameSize = 7;
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumKeyExA(root, 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr));
    nameSize = 8;
    EXPECT_EQ(ERROR_SUCCESS, RegEnumKeyExA(root, 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr));
    EXPECT_STREQ("KeyName", name);
    EXPECT_EQ(7u, nameSize);
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumKeyA(root, 0, name, 7));
}

// The selection page reads its remembered view from the default value of a key with RegQueryValueA: the
// size includes the terminator, a key without a default value gives "", a missing key 2.
TEST_F(RegistryConformance, DefaultValueOfAKeyByName) {
    HKEY view = create(root, "View");
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(view, "", 0, REG_SZ, reinterpret_cast<const BYTE*>("report"), 7));
    RegCloseKey(view);
    const std::string name = std::string(kRoot) + "\\View";
    LONG size = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueA(HKEY_CURRENT_USER, name.c_str(), nullptr, &size));
    EXPECT_EQ(7, size);
    char value[32];
    std::memset(value, 0xbd, sizeof value);
    size = sizeof value;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueA(HKEY_CURRENT_USER, name.c_str(), value, &size));
    EXPECT_STREQ("report", value);
    EXPECT_EQ(7, size);

    HKEY empty = create(root, "Empty");
    RegCloseKey(empty);
    std::memset(value, 0xbd, sizeof value);
    size = sizeof value;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueA(root, "Empty", value, &size));
    EXPECT_STREQ("", value);
    EXPECT_EQ(1, size);

    size = sizeof value;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueA(root, "Missing", value, &size));
}

}  // namespace

// A string stored without its terminating NUL (a size that left out the NUL and the byte after the text is no
// NUL either): the size reported is the stored one; the NUL is added when the caller's buffer has a byte to
// spare, and nothing is written past the data when it has none.
TEST_F(RegistryConformance, StringsStoredWithoutTheirNulGetOneWhereThereIsRoom) {
    const char text[] = "abcdefX";  // stored: "abcdef", six bytes
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(root, "Cut", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), 6));
    const BYTE kPoisonByte = 0xbd;
    struct Case {
        const char* what;
        DWORD room;
        bool enumerate;
        BYTE after;  // the byte after the six of the text
    };
    const Case cases[] = {
        {"query, exact room", 6, false, kPoisonByte},
        {"query, one byte more", 7, false, 0},
        {"enumeration, exact room", 6, true, kPoisonByte},
        {"enumeration, one byte more", 7, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BYTE data[16];
        std::memset(data, kPoisonByte, sizeof data);
        DWORD size = c.room, type = 0;
        if (c.enumerate) {
            char name[16];
            DWORD nameSize = sizeof name;
            ASSERT_EQ(ERROR_SUCCESS, RegEnumValueA(root, 0, name, &nameSize, nullptr, &type, data, &size));
            EXPECT_STREQ("Cut", name);
        } else {
            ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(root, "Cut", nullptr, &type, data, &size));
        }
        EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
        EXPECT_EQ(6u, size);
        EXPECT_EQ(0, std::memcmp(data, "abcdef", 6));
        EXPECT_EQ(c.after, data[6]);
        EXPECT_EQ(kPoisonByte, data[7]);
    }
}

// HKEY_CLASSES_ROOT is the merged view of the user's classes (HKEY_CURRENT_USER\Software\Classes) over the
// machine's (HKEY_LOCAL_MACHINE\SOFTWARE\Classes): a key the user's classes hold is read and deleted there,
// and the machine's key of the same name shows again once it is gone; a key only the machine has is the
// machine's; a new key goes to the machine's classes. Wine maps HKEY_CLASSES_ROOT to the machine's classes
// alone, so under Wine every answer is the machine's and the user's key is not seen.
TEST_F(RegistryConformance, ClassesRootMergesTheUsersClassesOverTheMachines) {
    const char* const kMerged = "KorunConformance.Merged";
    const char* const kUserOnly = "KorunConformance.UserOnly";
    const char* const kCreated = "KorunConformance.Created";
    const char* const kMachine = "SOFTWARE\\Classes";
    const char* const kUser = "Software\\Classes";
    auto cleanUp = [&] {
        for (const char* name : {kMerged, kUserOnly, kCreated}) {
            deleteTree(HKEY_CURRENT_USER, (std::string(kUser) + "\\" + name).c_str());
            deleteTree(HKEY_LOCAL_MACHINE, (std::string(kMachine) + "\\" + name).c_str());
        }
    };
    cleanUp();
    auto where = [](HKEY base, const std::string& path) {
        HKEY key = nullptr;
        if (RegOpenKeyExA(base, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return std::string("<no key>");
        char text[32] = "";
        DWORD size = sizeof text;
        LONG r = RegQueryValueExA(key, "Where", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
        RegCloseKey(key);
        return r == ERROR_SUCCESS ? std::string(text) : std::string("<no value>");
    };
    HKEY machine = create(HKEY_LOCAL_MACHINE, (std::string(kMachine) + "\\" + kMerged).c_str());
    ASSERT_NE(nullptr, machine) << "needs an administrator";
    setString(machine, "Where", "machine");
    RegCloseKey(machine);
    HKEY user = create(HKEY_CURRENT_USER, (std::string(kUser) + "\\" + kMerged).c_str());
    setString(user, "Where", "user");
    RegCloseKey(user);
    user = create(HKEY_CURRENT_USER, (std::string(kUser) + "\\" + kUserOnly).c_str());
    setString(user, "Where", "user");
    RegCloseKey(user);

    const bool wine = UnderWine();
    EXPECT_EQ(wine ? "machine" : "user", where(HKEY_CLASSES_ROOT, kMerged));
    EXPECT_EQ(wine ? "<no key>" : "user", where(HKEY_CLASSES_ROOT, kUserOnly));
    bool listed = false;
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof name;
        if (RegEnumKeyExA(HKEY_CLASSES_ROOT, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        listed = listed || lstrcmpiA(name, kUserOnly) == 0;
    }
    EXPECT_EQ(!wine, listed) << "the user's own class among the subkeys of HKEY_CLASSES_ROOT";

    // Deleting through the view takes the user's key; the machine's shows again.
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_CLASSES_ROOT, kMerged));
    EXPECT_EQ(wine ? "user" : "<no key>", where(HKEY_CURRENT_USER, std::string(kUser) + "\\" + kMerged));
    EXPECT_EQ(wine ? "<no key>" : "machine", where(HKEY_CLASSES_ROOT, kMerged));

    // A key created through the view is the machine's.
    HKEY created = create(HKEY_CLASSES_ROOT, kCreated);
    setString(created, "Where", "created");
    RegCloseKey(created);
    EXPECT_EQ("created", where(HKEY_LOCAL_MACHINE, std::string(kMachine) + "\\" + kCreated));
    EXPECT_EQ("<no key>", where(HKEY_CURRENT_USER, std::string(kUser) + "\\" + kCreated));
    cleanUp();
}

// Below its top level too, a key opened through HKEY_CLASSES_ROOT sees the merged view: its subkeys are the
// union of the user's and the machine's at that path (each name once, also in RegQueryInfoKeyA's count); a
// subkey the user's classes hold opens and deletes there, after which the machine's of that name shows again;
// a key created below a subkey only the machine has goes to the machine's classes. Wine maps the view to the
// machine's classes alone: its answers are written beside Windows's.
TEST_F(RegistryConformance, ClassesRootSubkeyHandlesSeeBothHives) {
    const std::string machinePath = "SOFTWARE\\Classes\\KorunConformance.Sub";
    const std::string userPath = "Software\\Classes\\KorunConformance.Sub";
    auto cleanUp = [&] {
        deleteTree(HKEY_CURRENT_USER, userPath.c_str());
        deleteTree(HKEY_LOCAL_MACHINE, machinePath.c_str());
    };
    cleanUp();
    auto made = [&](HKEY base, const std::string& path, const char* where) {
        HKEY key = create(base, path.c_str());
        if (!key) return false;
        setString(key, "Where", where);
        RegCloseKey(key);
        return true;
    };
    ASSERT_TRUE(made(HKEY_LOCAL_MACHINE, machinePath + "\\Both", "machine")) << "needs an administrator";
    ASSERT_TRUE(made(HKEY_LOCAL_MACHINE, machinePath + "\\MachineOnly", "machine"));
    ASSERT_TRUE(made(HKEY_CURRENT_USER, userPath + "\\Both", "user"));
    ASSERT_TRUE(made(HKEY_CURRENT_USER, userPath + "\\UserOnly", "user"));
    auto where = [](HKEY base, const char* path) {
        HKEY key = nullptr;
        if (RegOpenKeyExA(base, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return std::string("<no key>");
        char text[32] = "";
        DWORD size = sizeof text;
        RegQueryValueExA(key, "Where", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
        RegCloseKey(key);
        return std::string(text);
    };
    const bool wine = UnderWine();
    HKEY view = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CLASSES_ROOT, "KorunConformance.Sub", 0, KEY_ALL_ACCESS, &view));
    using Names = std::vector<std::string>;
    const Names both = wine ? Names{"Both", "MachineOnly"} : Names{"Both", "MachineOnly", "UserOnly"};
    EXPECT_EQ(subkeys(view), both);
    DWORD count = kPoison;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryInfoKeyA(view, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                                              nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(count, wine ? 2u : 3u);
    EXPECT_EQ(where(view, "Both"), wine ? "machine" : "user");
    EXPECT_EQ(where(view, "UserOnly"), wine ? "<no key>" : "user");

    HKEY created = create(view, "MachineOnly\\New");
    ASSERT_NE(created, nullptr);
    RegCloseKey(created);
    EXPECT_EQ(where(HKEY_LOCAL_MACHINE, (machinePath + "\\MachineOnly\\New").c_str()), "");
    EXPECT_EQ(where(HKEY_CURRENT_USER, (userPath + "\\MachineOnly").c_str()), "<no key>");

    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(view, "Both"));
    EXPECT_EQ(where(HKEY_CURRENT_USER, (userPath + "\\Both").c_str()), wine ? "user" : "<no key>");
    EXPECT_EQ(where(HKEY_LOCAL_MACHINE, (machinePath + "\\Both").c_str()), wine ? "<no key>" : "machine");
    EXPECT_EQ(where(view, "Both"), wine ? "<no key>" : "machine");
    const Names after = wine ? Names{"MachineOnly"} : Names{"Both", "MachineOnly", "UserOnly"};
    EXPECT_EQ(subkeys(view), after);
    RegCloseKey(view);
    cleanUp();
}
