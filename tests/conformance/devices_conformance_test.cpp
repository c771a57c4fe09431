// The device-installation behaviour the removers rely on, set up and checked with Win32 calls only:
// device information sets of all classes, hardware IDs, removal of a device node, the INF files of a
// directory and the uninstallation of an OEM INF.
//
// The devices a test makes are root-enumerated nodes "ROOT\KORUNCONF\nnnn" of a class of their own;
// whatever of them is left (also from an earlier run that stopped half-way) is removed before and
// after each test. The configuration manager's tree (CM_Get_Parent, CM_Get_Child) is not checked
// here: Wine does not keep one.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "base/platform.h"
#include "conformance/conformance_env.h"

namespace {

const GUID kTestClass = {0x6b4e2a31, 0x0c5d, 0x4f0e, {0x9a, 0x41, 0x2d, 0x55, 0x7e, 0x13, 0xc0, 0x4f}};
const char* const kTestPrefix = "ROOT\\KORUNCONF\\";
const char* const kTestHardwareId = "USB\\VID_0FED&PID_C04F";

bool startsWithI(const std::string& s, const std::string& prefix) {
    return s.size() >= prefix.size() && lstrcmpiA(s.substr(0, prefix.size()).c_str(), prefix.c_str()) == 0;
}

std::string instanceIdOf(HDEVINFO set, SP_DEVINFO_DATA& d) {
    char id[MAX_DEVICE_ID_LEN] = {};
    return SetupDiGetDeviceInstanceIdA(set, &d, id, sizeof id, nullptr) ? id : "";
}

// The hardware IDs of an element as the removers read them: a zeroed 512-byte buffer.
std::vector<std::string> hardwareIdsOf(HDEVINFO set, SP_DEVINFO_DATA& d) {
    char buffer[512] = {};
    std::vector<std::string> ids;
    if (!SetupDiGetDeviceRegistryPropertyA(set, &d, SPDRP_HARDWAREID, nullptr, reinterpret_cast<BYTE*>(buffer),
                                           sizeof buffer, nullptr))
        return ids;
    for (const char* p = buffer; *p && p < buffer + sizeof buffer; p += std::strlen(p) + 1) ids.push_back(p);
    return ids;
}

// Instance IDs of the devices a set of all classes lists (with the given extra flags) that begin with prefix.
std::vector<std::string> listedWithPrefix(const std::string& prefix, DWORD flags = 0) {
    std::vector<std::string> out;
    HDEVINFO set = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES | flags);
    if (set == INVALID_HANDLE_VALUE) return out;
    SP_DEVINFO_DATA d = {};
    d.cbSize = sizeof d;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &d); ++i) {
        std::string id = instanceIdOf(set, d);
        if (startsWithI(id, prefix)) out.push_back(id);
    }
    SetupDiDestroyDeviceInfoList(set);
    return out;
}

void removeTestDevices() {
    HDEVINFO set = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
    if (set == INVALID_HANDLE_VALUE) return;
    SP_DEVINFO_DATA d = {};
    d.cbSize = sizeof d;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &d); ++i)
        if (startsWithI(instanceIdOf(set, d), kTestPrefix)) SetupDiRemoveDevice(set, &d);
    SetupDiDestroyDeviceInfoList(set);
}

// Makes and registers a device; hardwareIds is a REG_MULTI_SZ value, or empty for none.
bool makeDevice(const std::string& instance, const std::string& hardwareIds) {
    HDEVINFO set = SetupDiCreateDeviceInfoList(&kTestClass, nullptr);
    if (set == INVALID_HANDLE_VALUE) return false;
    SP_DEVINFO_DATA d = {};
    d.cbSize = sizeof d;
    bool ok = SetupDiCreateDeviceInfoA(set, instance.c_str(), &kTestClass, nullptr, nullptr, 0, &d) &&
              (hardwareIds.empty() ||
               SetupDiSetDeviceRegistryPropertyA(set, &d, SPDRP_HARDWAREID,
                                                 reinterpret_cast<const BYTE*>(hardwareIds.data()),
                                                 static_cast<DWORD>(hardwareIds.size()))) &&
              SetupDiRegisterDeviceInfo(set, &d, 0, nullptr, nullptr, nullptr);
    SetupDiDestroyDeviceInfoList(set);
    return ok;
}

class DevicesConformance : public ConformanceTest {
protected:
    void SetUp() override { removeTestDevices(); }
    void TearDown() override { removeTestDevices(); }
};

TEST_F(DevicesConformance, SetOfAllClassesEndsWithNoMoreItems) {
    ASSERT_TRUE(makeDevice(std::string(kTestPrefix) + "0000", std::string(kTestHardwareId) + '\0' + '\0'));
    HDEVINFO set = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
    ASSERT_NE(INVALID_HANDLE_VALUE, set);
    EXPECT_EQ(32u, sizeof(SP_DEVINFO_DATA));
    SP_DEVINFO_DATA d;
    std::memset(&d, 0xA5, sizeof d);
    d.cbSize = sizeof d;
    DWORD count = 0;
    while (SetupDiEnumDeviceInfo(set, count, &d)) ++count;
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_MORE_ITEMS), GetLastError());
    EXPECT_GE(count, 1u);
    SetLastError(0);
    EXPECT_FALSE(SetupDiEnumDeviceInfo(set, count + 100, &d));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_MORE_ITEMS), GetLastError());
    d.cbSize = sizeof d - 4;
    EXPECT_FALSE(SetupDiEnumDeviceInfo(set, 0, &d));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_USER_BUFFER), GetLastError());
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));

    // Without a class, a set of all classes is the only kind there is.
    SetLastError(0);
    EXPECT_EQ(INVALID_HANDLE_VALUE, SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_PRESENT));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}

TEST_F(DevicesConformance, RegisteredDeviceIsFoundByHardwareIdAndRemoved) {
    const std::string instance = std::string(kTestPrefix) + "0001";
    const std::string ids = std::string(kTestHardwareId) + "&REV_0100" + '\0' + kTestHardwareId + '\0' + '\0';
    ASSERT_TRUE(makeDevice(instance, ids));

    HDEVINFO set = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
    ASSERT_NE(INVALID_HANDLE_VALUE, set);
    SP_DEVINFO_DATA d = {};
    d.cbSize = sizeof d;
    DWORD found = 0xFFFFFFFF;
    for (DWORD i = 0; found == 0xFFFFFFFF && SetupDiEnumDeviceInfo(set, i, &d); ++i) {
        std::vector<std::string> got = hardwareIdsOf(set, d);
        if (!got.empty() && got[0].compare(0, std::strlen(kTestHardwareId), kTestHardwareId) == 0) found = i;
    }
    ASSERT_NE(0xFFFFFFFFu, found) << "no device with hardware ID " << kTestHardwareId;
    EXPECT_EQ(0, lstrcmpiA(instance.c_str(), instanceIdOf(set, d).c_str()));
    EXPECT_EQ((std::vector<std::string>{std::string(kTestHardwareId) + "&REV_0100", kTestHardwareId}), hardwareIdsOf(set, d));

    // The size query reports the whole REG_MULTI_SZ value, its final empty string included.
    DWORD type = 0, needed = 0;
    SetLastError(0);
    EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyA(set, &d, SPDRP_HARDWAREID, &type, nullptr, 0, &needed));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ(ids.size(), needed);
    EXPECT_EQ(static_cast<DWORD>(REG_MULTI_SZ), type);
    char id[MAX_DEVICE_ID_LEN];
    needed = 0;
    EXPECT_FALSE(SetupDiGetDeviceInstanceIdA(set, &d, id, 4, &needed));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ(instance.size() + 1, needed);

    EXPECT_TRUE(SetupDiRemoveDevice(set, &d));
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
    EXPECT_TRUE(listedWithPrefix(instance).empty());
}

// A USB printer's node names its port in its hardware key ("Device Parameters"): the safety rules keep the
// node of a printer that stays by that name. The node's ID comes back by its DEVINST too.
TEST_F(DevicesConformance, HardwareKeyOfADeviceHoldsItsPortName) {
    const std::string instance = std::string(kTestPrefix) + "0002";
    ASSERT_TRUE(makeDevice(instance, std::string(kTestHardwareId) + '\0' + '\0'));
    const std::string parameters = "SYSTEM\\CurrentControlSet\\Enum\\" + instance + "\\Device Parameters";
    HKEY written = NULL;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, parameters.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL,
                                             &written, NULL));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(written, "Port Name", 0, REG_SZ, reinterpret_cast<const BYTE*>("USB042"), 7));
    RegCloseKey(written);

    HDEVINFO set = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
    ASSERT_NE(INVALID_HANDLE_VALUE, set);
    SP_DEVINFO_DATA d = {};
    d.cbSize = sizeof d;
    bool found = false;
    for (DWORD i = 0; !found && SetupDiEnumDeviceInfo(set, i, &d); ++i) found = lstrcmpiA(instanceIdOf(set, d).c_str(), instance.c_str()) == 0;
    ASSERT_TRUE(found);
    HKEY key = SetupDiOpenDevRegKey(set, &d, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    ASSERT_NE(INVALID_HANDLE_VALUE, key) << GetLastError();
    char port[32];
    std::memset(port, 0xbd, sizeof port);
    DWORD size = sizeof port, type = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "Port Name", NULL, &type, reinterpret_cast<BYTE*>(port), &size));
    EXPECT_STREQ("USB042", port);
    RegCloseKey(key);
    char id[MAX_DEVICE_ID_LEN + 1];
    std::memset(id, 0xbd, sizeof id);
    EXPECT_EQ(static_cast<CONFIGRET>(CR_SUCCESS), CM_Get_Device_IDA(d.DevInst, id, sizeof id, 0));
    EXPECT_EQ(0, lstrcmpiA(instance.c_str(), id));
    SetupDiDestroyDeviceInfoList(set);
}

TEST_F(DevicesConformance, CreatedDevicesAndTheirProperties) {
    const std::string bare = std::string(kTestPrefix) + "0002";
    ASSERT_TRUE(makeDevice(bare, ""));
    // A name that is taken cannot be created again.
    HDEVINFO set = SetupDiCreateDeviceInfoList(&kTestClass, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, set);
    SP_DEVINFO_DATA d = {};
    d.cbSize = sizeof d;
    SetLastError(0);
    EXPECT_FALSE(SetupDiCreateDeviceInfoA(set, bare.c_str(), &kTestClass, nullptr, nullptr, 0, &d));
    EXPECT_EQ(static_cast<DWORD>(ERROR_DEVINST_ALREADY_EXISTS), GetLastError());
    // A device of another class does not join a set of one class.
    const GUID other = {0x6b4e2a32, 0x0c5d, 0x4f0e, {0x9a, 0x41, 0x2d, 0x55, 0x7e, 0x13, 0xc0, 0x4f}};
    EXPECT_FALSE(SetupDiCreateDeviceInfoA(set, (std::string(kTestPrefix) + "0003").c_str(), &other, nullptr, nullptr,
                                          0, &d));
    EXPECT_EQ(static_cast<DWORD>(ERROR_CLASS_MISMATCH), GetLastError());
    SetupDiDestroyDeviceInfoList(set);

    // A device without hardware IDs has no such property.
    set = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
    ASSERT_NE(INVALID_HANDLE_VALUE, set);
    bool seen = false;
    for (DWORD i = 0; !seen && SetupDiEnumDeviceInfo(set, i, &d); ++i) seen = lstrcmpiA(instanceIdOf(set, d).c_str(), bare.c_str()) == 0;
    ASSERT_TRUE(seen);
    BYTE buffer[512];
    SetLastError(0);
    EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyA(set, &d, SPDRP_HARDWAREID, nullptr, buffer, sizeof buffer, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_DATA), GetLastError());
    SetupDiDestroyDeviceInfoList(set);

    // A device that is created and never registered is a non-present device while its set lives.
    const std::string phantom = std::string(kTestPrefix) + "0004";
    set = SetupDiCreateDeviceInfoList(&kTestClass, nullptr);
    ASSERT_TRUE(SetupDiCreateDeviceInfoA(set, phantom.c_str(), &kTestClass, nullptr, nullptr, 0, &d));
    // Windows does not count it present; Wine lists it among the present devices.
    EXPECT_EQ(UnderWine(), !listedWithPrefix(phantom, DIGCF_PRESENT).empty());
    EXPECT_EQ(std::vector<std::string>{phantom}, listedWithPrefix(phantom));
    SetupDiDestroyDeviceInfoList(set);
    EXPECT_TRUE(listedWithPrefix(phantom).empty());
}

// --- INF files ------------------------------------------------------------------------------------------

bool writeTextFile(const std::string& path, const std::string& text) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) && written == text.size();
    CloseHandle(h);
    return ok;
}

bool fileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<std::string> sortedNames(const char* list) {
    std::vector<std::string> out;
    for (const char* p = list; *p; p += std::strlen(p) + 1) out.push_back(p);
    std::sort(out.begin(), out.end(), [](const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) < 0; });
    return out;
}

class InfConformance : public ConformanceTest {
protected:
    std::string dir;
    std::vector<std::string> made;  // files to delete afterwards

    void SetUp() override {
        char temp[MAX_PATH];
        ASSERT_GT(GetTempPathA(sizeof temp, temp), 0u);
        std::string base = temp;
        if (base.back() != '\\') base += '\\';
        for (unsigned i = 0; i < 1000 && dir.empty(); ++i) {
            std::string candidate = base + "korun04-inf-" + std::to_string(GetTickCount()) + "-" + std::to_string(i);
            if (CreateDirectoryA(candidate.c_str(), nullptr)) dir = candidate;
        }
        ASSERT_FALSE(dir.empty());
    }
    void TearDown() override {
        for (auto& f : made) DeleteFileA(f.c_str());
        if (!dir.empty()) RemoveDirectoryA(dir.c_str());
    }
    void write(const std::string& path, const std::string& text) {
        made.push_back(path);
        ASSERT_TRUE(writeTextFile(path, text)) << path;
    }
};

TEST_F(InfConformance, ListOfWindows4InfFilesOfADirectory) {
    write(dir + "\\oem41.inf", "[Version]\r\nSignature=\"$Windows NT$\"\r\n[Strings]\r\nPrinterName1=\"VESTRAL P04\"\r\n");
    write(dir + "\\vst.inf", "[Version]\r\nSignature=$CHICAGO$\r\n");
    write(dir + "\\legacy.inf", "[Identification]\r\nOptionType=NetAdapter\r\n");
    write(dir + "\\readme.txt", "[Version]\r\nSignature=\"$Windows NT$\"\r\n");

    const DWORD size = static_cast<DWORD>(std::strlen("oem41.inf") + 1 + std::strlen("vst.inf") + 1 + 1);
    DWORD needed = 0xDEAD;
    ASSERT_TRUE(SetupGetInfFileListA(dir.c_str(), INF_STYLE_WIN4, nullptr, 0, &needed));
    // Windows reports the size of the list; Wine's ANSI size query converts from no buffer and reports 0.
    EXPECT_EQ(UnderWine() ? 0u : size, needed);
    std::vector<char> buffer(size, 'x');
    needed = 0xDEAD;
    ASSERT_TRUE(SetupGetInfFileListA(dir.c_str(), INF_STYLE_WIN4, buffer.data(), size, &needed));
    EXPECT_EQ(size, needed);
    EXPECT_EQ('\0', buffer[size - 1]);
    EXPECT_EQ((std::vector<std::string>{"oem41.inf", "vst.inf"}), sortedNames(buffer.data()));

    std::vector<char> old(256, 'x');
    ASSERT_TRUE(SetupGetInfFileListA(dir.c_str(), INF_STYLE_OLDNT, old.data(), static_cast<DWORD>(old.size()), &needed));
    EXPECT_EQ(std::vector<std::string>{"legacy.inf"}, sortedNames(old.data()));
}

TEST_F(InfConformance, UninstallingAnOemInfDeletesIt) {
    char windows[MAX_PATH];
    ASSERT_GT(GetWindowsDirectoryA(windows, sizeof windows), 0u);
    const std::string base = std::string(windows) + "\\INF\\oem9731";
    write(base + ".inf", "[Version]\r\nSignature=\"$Windows NT$\"\r\n");
    write(base + ".pnf", "compiled");

    HMODULE setupapi = LoadLibraryA("setupapi.dll");
    ASSERT_NE(nullptr, setupapi);
    typedef BOOL(WINAPI * UninstallFn)(PCSTR, DWORD, PVOID);
    UninstallFn uninstall = reinterpret_cast<UninstallFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(setupapi, "SetupUninstallOEMInfA")));
    ASSERT_NE(nullptr, uninstall);
    EXPECT_TRUE(uninstall("oem9731.inf", SUOI_FORCEDELETE, nullptr));
    EXPECT_FALSE(fileExists(base + ".inf"));
    // Windows deletes the precompiled .pnf with its INF; Wine leaves it.
    if (UnderWine())
        EXPECT_TRUE(fileExists(base + ".pnf"));
    else
        EXPECT_FALSE(fileExists(base + ".pnf"));

    SetLastError(0);
    EXPECT_FALSE(uninstall("oem9731.inf", SUOI_FORCEDELETE, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_TRUE(FreeLibrary(setupapi));
}

// An OEM INF installed again: an oem*.inf of the INF directory with the same text is the one SetupCopyOEMInfA
// answers (the file itself, when it is given), so putting one back under its name makes no second copy.
TEST_F(InfConformance, CopyingAnInstalledOemInfAnswersItsOwnName) {
    char windows[MAX_PATH];
    ASSERT_GT(GetWindowsDirectoryA(windows, sizeof windows), 0u);
    const std::string installed = std::string(windows) + "\\INF\\oem9732.inf";
    write(installed, "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Printer\r\n; korun04 9732\r\n");
    HMODULE setupapi = LoadLibraryA("setupapi.dll");
    ASSERT_NE(nullptr, setupapi);
    typedef BOOL(WINAPI * CopyFn)(PCSTR, PCSTR, DWORD, DWORD, PSTR, DWORD, PDWORD, PSTR*);
    CopyFn copy = reinterpret_cast<CopyFn>(reinterpret_cast<void (*)()>(GetProcAddress(setupapi, "SetupCopyOEMInfA")));
    ASSERT_NE(nullptr, copy);
    char name[MAX_PATH] = "";
    DWORD needed = 0;
    PSTR component = nullptr;
    ASSERT_TRUE(copy(installed.c_str(), nullptr, SPOST_PATH, 0, name, sizeof name, &needed, &component)) << GetLastError();
    EXPECT_EQ(0, _stricmp(installed.c_str(), name)) << name;
    EXPECT_EQ(static_cast<DWORD>(installed.size() + 1), needed);
    ASSERT_NE(nullptr, component);
    EXPECT_EQ(0, _stricmp("oem9732.inf", component));
    EXPECT_TRUE(FreeLibrary(setupapi));
}

}  // namespace
