// The device tree, its setupapi and cfgmgr32 surface, and the INF files of the INF directory.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "simwin/machine.h"
#include "simwin/win32.h"
#include "support/temp_machine.h"

namespace {

using testmachine::ReadFile;
using testmachine::Snapshot;
using testmachine::TempDir;
using testmachine::WriteFile;

const char* const kUsbId = "USB\\VID_0ABC&PID_0012\\5&1A2B&0&1";
const char* const kPrintId = "USBPRINT\\VESTRALP04\\6&2B3C&0&USB001";
const char* const kOtherId = "PCI\\VEN_8086&DEV_1234\\3&11583659&0&10";

// A USB printer (a USB node with its USBPRINT child), a PCI device, and a node without hardware IDs.
class DevicesTest : public ::testing::Test {
protected:
    simwin::Machine m;
    simwin::MachineScope scope{m};
    DWORD usb = 0, print = 0, pci = 0, bare = 0;

    void SetUp() override {
        auto& t = m.devices;
        usb = t.add(kUsbId, {"USB\\VID_0ABC&PID_0012&REV_0100", "USB\\VID_0ABC&PID_0012"}, simwin::DeviceTree::kRoot).devInst;
        print = t.add(kPrintId, {"USBPRINT\\VESTRALP04"}, usb).devInst;
        pci = t.add(kOtherId, {"PCI\\VEN_8086&DEV_1234"}, simwin::DeviceTree::kRoot).devInst;
        bare = t.add("ROOT\\BARE\\0000", {}, simwin::DeviceTree::kRoot).devInst;
    }

    static SP_DEVINFO_DATA poisoned() {
        SP_DEVINFO_DATA d;
        std::memset(&d, 0xA5, sizeof d);
        d.cbSize = sizeof d;
        return d;
    }

    // Instance IDs of the present devices in enumeration order, as a new set of all classes lists them.
    static std::vector<std::string> listed() {
        std::vector<std::string> out;
        HDEVINFO set = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
        EXPECT_NE(INVALID_HANDLE_VALUE, set);
        SP_DEVINFO_DATA d = poisoned();
        for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &d); ++i) {
            char id[MAX_DEVICE_ID_LEN];
            EXPECT_TRUE(SetupDiGetDeviceInstanceIdA(set, &d, id, sizeof id, nullptr));
            out.push_back(id);
        }
        EXPECT_EQ(static_cast<DWORD>(ERROR_NO_MORE_ITEMS), GetLastError());
        SetupDiDestroyDeviceInfoList(set);
        return out;
    }
};

TEST_F(DevicesTest, SetOfAllClassesListsPresentDevicesInOrderThenNoMoreItems) {
    EXPECT_EQ((std::vector<std::string>{kUsbId, kPrintId, kOtherId, "ROOT\\BARE\\0000"}), listed());

    HDEVINFO set = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT);
    ASSERT_NE(INVALID_HANDLE_VALUE, set);
    SP_DEVINFO_DATA d = poisoned();
    ASSERT_TRUE(SetupDiEnumDeviceInfo(set, 1, &d));
    EXPECT_EQ(print, d.DevInst);
    EXPECT_EQ(32u, sizeof(SP_DEVINFO_DATA));  // the 64-bit layout
    SetLastError(0);
    EXPECT_FALSE(SetupDiEnumDeviceInfo(set, 4, &d));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_MORE_ITEMS), GetLastError());
    d.cbSize = 28;
    EXPECT_FALSE(SetupDiEnumDeviceInfo(set, 0, &d));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_USER_BUFFER), GetLastError());
    EXPECT_FALSE(SetupDiEnumDeviceInfo(set, 0, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
    EXPECT_FALSE(SetupDiEnumDeviceInfo(set, 0, &d));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    EXPECT_FALSE(SetupDiDestroyDeviceInfoList(set));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
}

TEST_F(DevicesTest, ClassDevsNeedAClassOrAllClassesAndFilterByEnumerator) {
    SetLastError(0);
    EXPECT_EQ(INVALID_HANDLE_VALUE, SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_PRESENT));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());

    HDEVINFO set = SetupDiGetClassDevsA(nullptr, "usb", nullptr, DIGCF_ALLCLASSES);
    ASSERT_NE(INVALID_HANDLE_VALUE, set);
    SP_DEVINFO_DATA d = poisoned();
    ASSERT_TRUE(SetupDiEnumDeviceInfo(set, 0, &d));
    EXPECT_EQ(usb, d.DevInst);
    EXPECT_FALSE(SetupDiEnumDeviceInfo(set, 1, &d));  // not USBPRINT: the enumerator is the whole first part
    SetupDiDestroyDeviceInfoList(set);
}

TEST_F(DevicesTest, HardwareIdsAreASizeQueryThenAMultiString) {
    HDEVINFO set = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
    SP_DEVINFO_DATA d = poisoned();
    ASSERT_TRUE(SetupDiEnumDeviceInfo(set, 0, &d));
    const std::string expected = std::string("USB\\VID_0ABC&PID_0012&REV_0100") + '\0' + "USB\\VID_0ABC&PID_0012" + '\0' + '\0';

    DWORD type = 0xDEAD, needed = 0xDEAD;
    SetLastError(0);
    EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyA(set, &d, SPDRP_HARDWAREID, &type, nullptr, 0, &needed));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ(expected.size(), needed);
    EXPECT_EQ(static_cast<DWORD>(REG_MULTI_SZ), type);

    std::vector<BYTE> small(needed - 1, 0x55);
    needed = 0;
    EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyA(set, &d, SPDRP_HARDWAREID, nullptr, small.data(),
                                                   static_cast<DWORD>(small.size()), &needed));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ(expected.size(), needed);

    BYTE buffer[512];
    std::memset(buffer, 0x55, sizeof buffer);
    needed = 0;
    ASSERT_TRUE(SetupDiGetDeviceRegistryPropertyA(set, &d, SPDRP_HARDWAREID, nullptr, buffer, sizeof buffer, &needed));
    EXPECT_EQ(expected, std::string(reinterpret_cast<char*>(buffer), needed));
    EXPECT_EQ(0x55, buffer[needed]);  // nothing written beyond the value

    struct Case {
        const char* what;
        DWORD index, property;
        DWORD error;
    } cases[] = {
        {"no hardware IDs", 3, SPDRP_HARDWAREID, ERROR_INVALID_DATA},
        {"a property the model does not keep", 0, SPDRP_DEVICEDESC, ERROR_INVALID_DATA},
        {"beyond the last property", 0, SPDRP_MAXIMUM_PROPERTY, static_cast<DWORD>(ERROR_INVALID_REG_PROPERTY)},
    };
    for (const Case& c : cases) {
        SP_DEVINFO_DATA e = poisoned();
        ASSERT_TRUE(SetupDiEnumDeviceInfo(set, c.index, &e)) << c.what;
        SetLastError(0);
        EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyA(set, &e, c.property, nullptr, buffer, sizeof buffer, nullptr))
            << c.what;
        EXPECT_EQ(c.error, GetLastError()) << c.what;
    }
    SP_DEVINFO_DATA forged = d;
    forged.Reserved = 99;
    EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyA(set, &forged, SPDRP_HARDWAREID, nullptr, buffer, sizeof buffer, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyA(INVALID_HANDLE_VALUE, &d, SPDRP_HARDWAREID, nullptr, buffer,
                                                   sizeof buffer, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    SetupDiDestroyDeviceInfoList(set);
}

TEST_F(DevicesTest, InstanceIdSizeQueryAndFetch) {
    HDEVINFO set = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
    SP_DEVINFO_DATA d = poisoned();
    ASSERT_TRUE(SetupDiEnumDeviceInfo(set, 1, &d));
    DWORD needed = 0;
    char id[MAX_DEVICE_ID_LEN];
    std::memset(id, 'x', sizeof id);
    EXPECT_FALSE(SetupDiGetDeviceInstanceIdA(set, &d, id, 5, &needed));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ(std::strlen(kPrintId) + 1, needed);
    ASSERT_TRUE(SetupDiGetDeviceInstanceIdA(set, &d, id, needed, nullptr));
    EXPECT_STREQ(kPrintId, id);
    SetupDiDestroyDeviceInfoList(set);
}

TEST_F(DevicesTest, ConfigurationManagerWalksTheTree) {
    DEVINST root = 0xDEAD, node = 0xDEAD;
    ASSERT_EQ(static_cast<CONFIGRET>(CR_SUCCESS), CM_Locate_DevNodeA(&root, nullptr, CM_LOCATE_DEVNODE_NORMAL));
    EXPECT_EQ(static_cast<CONFIGRET>(CR_NO_SUCH_DEVNODE), CM_Get_Parent(&node, root, 0));
    EXPECT_EQ(0u, node);

    ASSERT_EQ(static_cast<CONFIGRET>(CR_SUCCESS), CM_Get_Parent(&node, print, 0));
    EXPECT_EQ(usb, node);
    ASSERT_EQ(static_cast<CONFIGRET>(CR_SUCCESS), CM_Get_Parent(&node, usb, 0));
    EXPECT_EQ(root, node);
    ASSERT_EQ(static_cast<CONFIGRET>(CR_SUCCESS), CM_Get_Child(&node, usb, 0));
    EXPECT_EQ(print, node);
    node = 0xDEAD;
    EXPECT_EQ(static_cast<CONFIGRET>(CR_NO_SUCH_DEVNODE), CM_Get_Child(&node, print, 0));
    EXPECT_EQ(0u, node);
    ASSERT_EQ(static_cast<CONFIGRET>(CR_SUCCESS), CM_Get_Child(&node, root, 0));
    EXPECT_EQ(usb, node);
    ASSERT_EQ(static_cast<CONFIGRET>(CR_SUCCESS), CM_Get_Sibling(&node, usb, 0));
    EXPECT_EQ(pci, node);
    EXPECT_EQ(static_cast<CONFIGRET>(CR_NO_SUCH_DEVNODE), CM_Get_Sibling(&node, print, 0));

    ASSERT_EQ(static_cast<CONFIGRET>(CR_SUCCESS), CM_Locate_DevNodeA(&node, const_cast<char*>("pci\\ven_8086&dev_1234\\3&11583659&0&10"), 0));
    EXPECT_EQ(pci, node);
    EXPECT_EQ(static_cast<CONFIGRET>(CR_NO_SUCH_DEVNODE), CM_Locate_DevNodeA(&node, const_cast<char*>("USB\\NONE\\1"), 0));

    struct Case {
        const char* what;
        CONFIGRET got, expected;
    } cases[] = {
        {"parent into null", CM_Get_Parent(nullptr, print, 0), CR_INVALID_POINTER},
        {"parent with flags", CM_Get_Parent(&node, print, 1), CR_INVALID_FLAG},
        {"parent of DEVINST 0", CM_Get_Parent(&node, 0, 0), CR_INVALID_DEVNODE},
        {"child of an unknown DEVINST", CM_Get_Child(&node, 0x7777, 0), CR_INVALID_DEVNODE},
        {"locate into null", CM_Locate_DevNodeA(nullptr, nullptr, 0), CR_INVALID_POINTER},
    };
    for (const Case& c : cases) EXPECT_EQ(c.expected, c.got) << c.what;
}

TEST_F(DevicesTest, ConfigurationManagerIdsAndHardwareIds) {
    char id[MAX_DEVICE_ID_LEN];
    std::memset(id, 'x', sizeof id);
    ASSERT_EQ(static_cast<CONFIGRET>(CR_SUCCESS), CM_Get_Device_IDA(print, id, sizeof id, 0));
    EXPECT_STREQ(kPrintId, id);
    std::memset(id, 'x', sizeof id);
    EXPECT_EQ(static_cast<CONFIGRET>(CR_BUFFER_SMALL), CM_Get_Device_IDA(print, id, 4, 0));
    EXPECT_EQ("USBP", std::string(id, 4));
    EXPECT_EQ('x', id[4]);
    DEVINST root = 0;
    CM_Locate_DevNodeA(&root, nullptr, 0);
    ASSERT_EQ(static_cast<CONFIGRET>(CR_SUCCESS), CM_Get_Device_IDA(root, id, sizeof id, 0));
    EXPECT_STREQ("HTREE\\ROOT\\0", id);

    char buffer[256];
    std::memset(buffer, 0, sizeof buffer);
    ULONG length = sizeof buffer, type = 0;
    ASSERT_EQ(static_cast<CONFIGRET>(CR_SUCCESS),
              CM_Get_DevNode_Registry_PropertyA(usb, CM_DRP_HARDWAREID, &type, buffer, &length, 0));
    EXPECT_STREQ("USB\\VID_0ABC&PID_0012&REV_0100", buffer);
    EXPECT_EQ(static_cast<ULONG>(REG_MULTI_SZ), type);
    const ULONG full = length;
    length = 5;
    EXPECT_EQ(static_cast<CONFIGRET>(CR_BUFFER_SMALL),
              CM_Get_DevNode_Registry_PropertyA(usb, CM_DRP_HARDWAREID, nullptr, buffer, &length, 0));
    EXPECT_EQ(full, length);
    length = sizeof buffer;
    EXPECT_EQ(static_cast<CONFIGRET>(CR_NO_SUCH_VALUE),
              CM_Get_DevNode_Registry_PropertyA(bare, CM_DRP_HARDWAREID, nullptr, buffer, &length, 0));
    length = sizeof buffer;
    EXPECT_EQ(static_cast<CONFIGRET>(CR_INVALID_PROPERTY),
              CM_Get_DevNode_Registry_PropertyA(usb, 0, nullptr, buffer, &length, 0));
    EXPECT_EQ(static_cast<CONFIGRET>(CR_INVALID_POINTER),
              CM_Get_DevNode_Registry_PropertyA(usb, CM_DRP_HARDWAREID, nullptr, buffer, nullptr, 0));
}

TEST_F(DevicesTest, RemovingAChildLeavesTheParent) {
    HDEVINFO set = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
    SP_DEVINFO_DATA d = poisoned();
    ASSERT_TRUE(SetupDiEnumDeviceInfo(set, 1, &d));
    ASSERT_TRUE(SetupDiRemoveDevice(set, &d));
    // The element stays in the set, without properties; a second removal finds no device.
    SP_DEVINFO_DATA again = poisoned();
    ASSERT_TRUE(SetupDiEnumDeviceInfo(set, 1, &again));
    EXPECT_EQ(print, again.DevInst);
    BYTE buffer[512];
    EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyA(set, &again, SPDRP_HARDWAREID, nullptr, buffer, sizeof buffer, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_SUCH_DEVINST), GetLastError());
    EXPECT_FALSE(SetupDiRemoveDevice(set, &again));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_SUCH_DEVINST), GetLastError());
    SetupDiDestroyDeviceInfoList(set);

    EXPECT_EQ((std::vector<std::string>{kUsbId, kOtherId, "ROOT\\BARE\\0000"}), listed());
    DEVINST node = 0;
    EXPECT_EQ(static_cast<CONFIGRET>(CR_NO_SUCH_DEVNODE), CM_Get_Child(&node, usb, 0));
    EXPECT_EQ(static_cast<CONFIGRET>(CR_INVALID_DEVNODE), CM_Get_Parent(&node, print, 0));

    // The DEVINST of the removed node is never given to another.
    set = SetupDiCreateDeviceInfoList(nullptr, nullptr);
    const GUID cls = {7, 7, 7, {7, 7, 7, 7, 7, 7, 7, 7}};
    SP_DEVINFO_DATA made = poisoned();
    ASSERT_TRUE(SetupDiCreateDeviceInfoA(set, kPrintId, &cls, nullptr, nullptr, 0, &made));  // its ID is free again
    EXPECT_NE(print, made.DevInst);
    ASSERT_TRUE(SetupDiRegisterDeviceInfo(set, &made, 0, nullptr, nullptr, nullptr));
    SetupDiDestroyDeviceInfoList(set);
    EXPECT_EQ(static_cast<CONFIGRET>(CR_INVALID_DEVNODE), CM_Get_Parent(&node, print, 0));
    ASSERT_EQ(static_cast<CONFIGRET>(CR_SUCCESS), CM_Locate_DevNodeA(&node, const_cast<char*>(kPrintId), 0));
    EXPECT_EQ(made.DevInst, node);
}

TEST_F(DevicesTest, RemovingAParentRemovesItsChildren) {
    HDEVINFO set = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
    SP_DEVINFO_DATA d = poisoned();
    ASSERT_TRUE(SetupDiEnumDeviceInfo(set, 0, &d));
    ASSERT_TRUE(SetupDiRemoveDevice(set, &d));
    SP_DEVINFO_DATA child = poisoned();
    ASSERT_TRUE(SetupDiEnumDeviceInfo(set, 1, &child));
    EXPECT_FALSE(SetupDiRemoveDevice(set, &child));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_SUCH_DEVINST), GetLastError());
    SetupDiDestroyDeviceInfoList(set);
    EXPECT_EQ((std::vector<std::string>{kOtherId, "ROOT\\BARE\\0000"}), listed());
    DEVINST node = 0;
    EXPECT_EQ(static_cast<CONFIGRET>(CR_NO_SUCH_DEVNODE), CM_Locate_DevNodeA(&node, const_cast<char*>(kPrintId), 0));
}

TEST_F(DevicesTest, CreatedDeviceIsOnlyInItsSetUntilRegistered) {
    const GUID cls = {0x4d36e979, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
    HDEVINFO set = SetupDiCreateDeviceInfoList(&cls, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, set);
    SP_DEVINFO_DATA d = poisoned();
    ASSERT_TRUE(SetupDiCreateDeviceInfoA(set, "ROOT\\KORUNTEST\\0000", &cls, nullptr, nullptr, 0, &d));
    EXPECT_EQ(0, std::memcmp(&cls, &d.ClassGuid, sizeof cls));
    const std::string ids = std::string("USB\\VID_0FED&PID_0001") + '\0' + '\0';
    ASSERT_TRUE(SetupDiSetDeviceRegistryPropertyA(set, &d, SPDRP_HARDWAREID,
                                                  reinterpret_cast<const BYTE*>(ids.data()), static_cast<DWORD>(ids.size())));
    EXPECT_EQ(5u, listed().size());  // a phantom until registered: not present, but a device
    HDEVINFO present = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT);
    SP_DEVINFO_DATA e = poisoned();
    EXPECT_FALSE(SetupDiEnumDeviceInfo(present, 4, &e));
    SetupDiDestroyDeviceInfoList(present);
    SP_DEVINFO_DATA other = poisoned();
    EXPECT_FALSE(SetupDiCreateDeviceInfoA(set, "root\\koruntest\\0000", &cls, nullptr, nullptr, 0, &other));
    EXPECT_EQ(static_cast<DWORD>(ERROR_DEVINST_ALREADY_EXISTS), GetLastError());
    const GUID otherClass = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    EXPECT_FALSE(SetupDiCreateDeviceInfoA(set, "ROOT\\KORUNTEST\\0001", &otherClass, nullptr, nullptr, 0, &other));
    EXPECT_EQ(static_cast<DWORD>(ERROR_CLASS_MISMATCH), GetLastError());
    EXPECT_FALSE(SetupDiCreateDeviceInfoA(set, nullptr, &cls, nullptr, nullptr, 0, &other));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_DEVINST_NAME), GetLastError());

    ASSERT_TRUE(SetupDiRegisterDeviceInfo(set, &d, 0, nullptr, nullptr, nullptr));
    SetupDiDestroyDeviceInfoList(set);
    EXPECT_EQ("ROOT\\KORUNTEST\\0000", listed().back());
    EXPECT_EQ((std::vector<std::string>{"USB\\VID_0FED&PID_0001"}), m.devices.nodes.back().hardwareIds);

    // A device created and never registered goes with its set.
    set = SetupDiCreateDeviceInfoList(nullptr, nullptr);
    ASSERT_TRUE(SetupDiCreateDeviceInfoA(set, "KORUNGEN", &cls, nullptr, nullptr, DICD_GENERATE_ID, &d));
    char id[MAX_DEVICE_ID_LEN];
    ASSERT_TRUE(SetupDiGetDeviceInstanceIdA(set, &d, id, sizeof id, nullptr));
    EXPECT_STREQ("ROOT\\KORUNGEN\\0000", id);
    SetupDiDestroyDeviceInfoList(set);
    EXPECT_EQ(5u, listed().size());
    DEVINST node = 0;
    EXPECT_EQ(static_cast<CONFIGRET>(CR_NO_SUCH_DEVNODE),
              CM_Locate_DevNodeA(&node, const_cast<char*>("ROOT\\KORUNGEN\\0000"), CM_LOCATE_DEVNODE_PHANTOM));
}

TEST(DeviceMachine, DeviceSectionsLoadAndSaveBackDeterministically) {
    TempDir src, first, second;
    WriteFile(src.path / "machine.ini",
              "[device]\ninstance = USBPRINT\\VESTRALP04\\6&2B3C&0&USB001\nhardware = USBPRINT\\VESTRALP04\n"
              "hardware = USBPRINT\\VESTRAL\nparent = USB\\VID_0ABC&PID_0012\\5&1A2B&0&1\n"
              "[device]\ninstance = USB\\VID_0ABC&PID_0012\\5&1A2B&0&1\nhardware = USB\\VID_0ABC&PID_0012\n"
              "[device]\ninstance = ROOT\\SYSTEM\\0000\n");
    auto m = simwin::Machine::load(src.path.string());
    ASSERT_EQ(3u, m->devices.nodes.size());
    EXPECT_EQ((std::vector<std::string>{"USBPRINT\\VESTRALP04", "USBPRINT\\VESTRAL"}), m->devices.nodes[0].hardwareIds);
    EXPECT_EQ(m->devices.nodes[1].devInst, m->devices.nodes[0].parent);
    EXPECT_EQ(simwin::DeviceTree::kRoot, m->devices.nodes[1].parent);
    EXPECT_TRUE(m->devices.nodes[2].hardwareIds.empty());

    m->save(first.path.string());
    auto again = simwin::Machine::load(first.path.string());
    again->save(second.path.string());
    EXPECT_EQ(Snapshot(first.path), Snapshot(second.path));
    const std::string ini = ReadFile(first.path / "machine.ini");
    EXPECT_NE(std::string::npos, ini.find("parent = USB\\VID_0ABC&PID_0012\\5&1A2B&0&1"));

    // A removed node (and so its child) is not saved.
    {
        simwin::MachineScope scope(*again);
        again->devices.remove(again->devices.nodes[1].devInst);
    }
    TempDir third;
    again->save(third.path.string());
    const std::string after = ReadFile(third.path / "machine.ini");
    EXPECT_EQ(std::string::npos, after.find("USB"));
    EXPECT_NE(std::string::npos, after.find("instance = ROOT\\SYSTEM\\0000"));
}

TEST(DeviceMachine, MistakesInDeviceSectionsStopTheLoad) {
    struct Case {
        const char* what;
        const char* ini;
        const char* message;
    } cases[] = {
        {"no instance", "[device]\nhardware = X\n", "without instance"},
        {"unknown key", "[device]\ninstance = A\\B\\0\nhardwareid = X\n", "unknown key 'hardwareid'"},
        {"twice", "[device]\ninstance = A\\B\\0\n[device]\ninstance = a\\b\\0\n", "declared twice"},
        {"unknown parent", "[device]\ninstance = A\\B\\0\nparent = C\\D\\0\n", "parent C\\D\\0 is not declared"},
        {"loop", "[device]\ninstance = A\\B\\0\nparent = C\\D\\0\n[device]\ninstance = C\\D\\0\nparent = A\\B\\0\n",
         "loop"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        WriteFile(dir.path / "machine.ini", c.ini);
        try {
            simwin::Machine::load(dir.path.string());
            ADD_FAILURE() << c.what << ": loaded";
        } catch (const simwin::MachineError& e) {
            EXPECT_NE(std::string::npos, std::string(e.what()).find(c.message)) << c.what << ": " << e.what();
        }
    }
}

class InfFilesTest : public ::testing::Test {
protected:
    simwin::Machine m;
    simwin::MachineScope scope{m};

    void SetUp() override {
        m.files.writeFile("C:\\Windows\\INF\\oem3.inf", "[Version]\nSignature=\"$Windows NT$\"\n[Strings]\nPrinterName1=\"VESTRAL P04\"\n");
        m.files.writeFile("C:\\Windows\\INF\\oem3.pnf", "compiled");
        m.files.writeFile("C:\\Windows\\INF\\OEM7.INF", "[version]\nsignature = $CHICAGO$\n");
        m.files.writeFile("C:\\Windows\\INF\\layout.inf", "[Version]\nSignature=\"$Windows 95$\"\n");
        m.files.writeFile("C:\\Windows\\INF\\old.inf", "[Identification]\nOptionType = NetAdapter\n");
        m.files.writeFile("C:\\Windows\\INF\\notes.txt", "[Version]\nSignature=\"$Windows NT$\"\n");
    }

    static std::vector<std::string> names(const char* list) {
        std::vector<std::string> out;
        for (const char* p = list; *p; p += std::strlen(p) + 1) out.push_back(p);
        return out;
    }
};

TEST_F(InfFilesTest, ListOfWindows4InfFilesIsASizeQueryThenADoubleNulList) {
    DWORD needed = 0;
    ASSERT_TRUE(SetupGetInfFileListA(nullptr, INF_STYLE_WIN4, nullptr, 0, &needed));
    // The test's files among Windows's own INF files, in name order.
    std::string expected;
    for (const char* name : {"layout.inf", "machine.inf", "ntprint.inf", "ntprint4.inf", "oem3.inf", "OEM7.INF",
                             "printqueue.inf", "prnms001.inf", "prnms002.inf", "prnms003.inf", "usb.inf", "usbport.inf",
                             "usbprint.inf", "wsdprint.inf"})
        expected += std::string(name) + '\0';
    expected += '\0';
    EXPECT_EQ(expected.size(), needed);
    std::vector<char> buffer(needed + 4, 'x');
    SetLastError(0);
    EXPECT_FALSE(SetupGetInfFileListA(nullptr, INF_STYLE_WIN4, buffer.data(), needed - 1, &needed));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    ASSERT_TRUE(SetupGetInfFileListA(nullptr, INF_STYLE_WIN4, buffer.data(), static_cast<DWORD>(buffer.size()), &needed));
    EXPECT_EQ(expected, std::string(buffer.data(), needed));

    ASSERT_TRUE(SetupGetInfFileListA("C:\\Windows\\INF", INF_STYLE_OLDNT, buffer.data(), static_cast<DWORD>(buffer.size()), &needed));
    EXPECT_EQ(std::vector<std::string>{"old.inf"}, names(buffer.data()));

    // A directory without INF files (or none at all) gives the empty list.
    ASSERT_TRUE(SetupGetInfFileListA("C:\\Windows\\System32", INF_STYLE_WIN4, buffer.data(), static_cast<DWORD>(buffer.size()), &needed));
    EXPECT_EQ(1u, needed);
    EXPECT_EQ('\0', buffer[0]);
    ASSERT_TRUE(SetupGetInfFileListA("C:\\Missing", INF_STYLE_WIN4, nullptr, 0, &needed));
    EXPECT_EQ(1u, needed);
}

TEST_F(InfFilesTest, UninstallDeletesTheOemInfAndItsPnf) {
    ASSERT_TRUE(SetupUninstallOEMInfA("OEM3.inf", SUOI_FORCEDELETE, nullptr));
    EXPECT_FALSE(m.files.exists("C:\\Windows\\INF\\oem3.inf"));
    EXPECT_FALSE(m.files.exists("C:\\Windows\\INF\\oem3.pnf"));
    ASSERT_TRUE(SetupUninstallOEMInfA("oem7.inf", 0, nullptr));  // no .pnf to delete
    EXPECT_FALSE(m.files.exists("C:\\Windows\\INF\\OEM7.INF"));

    struct Case {
        const char* what;
        const char* name;
        DWORD error;
    } cases[] = {
        {"gone already", "oem3.inf", ERROR_FILE_NOT_FOUND},
        {"not an OEM INF", "layout.inf", ERROR_INVALID_PARAMETER},
        {"with a directory", "C:\\Windows\\INF\\oem3.inf", ERROR_INVALID_PARAMETER},
        {"not an INF", "oem3.pnf", ERROR_INVALID_PARAMETER},
        {"no name", nullptr, ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        SetLastError(0);
        EXPECT_FALSE(SetupUninstallOEMInfA(c.name, SUOI_FORCEDELETE, nullptr)) << c.what;
        EXPECT_EQ(c.error, GetLastError()) << c.what;
    }
    EXPECT_TRUE(m.files.exists("C:\\Windows\\INF\\layout.inf"));
}

TEST_F(InfFilesTest, UninstallIsFoundThroughTheSetupapiModule) {
    HMODULE lib = LoadLibraryA("setupapi.dll");
    ASSERT_NE(nullptr, lib);
    typedef BOOL(WINAPI * Uninstall)(PCSTR, DWORD, PVOID);
    Uninstall uninstall = reinterpret_cast<Uninstall>(reinterpret_cast<void (*)()>(GetProcAddress(lib, "SetupUninstallOEMInfA")));
    ASSERT_NE(nullptr, uninstall);
    EXPECT_TRUE(uninstall("oem3.inf", SUOI_FORCEDELETE, nullptr));
    EXPECT_FALSE(m.files.exists("C:\\Windows\\INF\\oem3.inf"));
    EXPECT_EQ(nullptr, GetProcAddress(lib, "SetupUninstallOEMInfW"));
    EXPECT_TRUE(FreeLibrary(lib));

    simwin::Machine old(simwin::Platform::Win32s);
    simwin::MachineScope oldScope(old);
    EXPECT_EQ(nullptr, LoadLibraryA("setupapi.dll"));
}

}  // namespace
