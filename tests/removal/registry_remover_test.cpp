// The registry removers: keys children first, whole trees, values, the OEM paths, and the keys a script may
// never delete.
#include "removal/registry_remover.h"
#include "support/removal_support.h"

namespace {

using removaltest::RemoverTest;

const char kVestral[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\VESTRAL";

class RegistryRemover : public RemoverTest {};

TEST_F(RegistryRemover, AKeyAndItsSubkeyGoSubkeyFirstAndValuesAlone) {
    m.registry.setString(std::string(kVestral) + "\\VX\\Sub", "a", "1");
    m.registry.setString(std::string(kVestral) + "\\VX", "keep", "2");
    m.registry.setString(std::string(kVestral) + "\\VY", "gone", "3");
    m.registry.setString(std::string(kVestral) + "\\VY", "stays", "4");
    Fill(database.removal.registryKeys, {"HKLM,\"SOFTWARE\\VESTRAL\\VX\",\"\",0", "HKLM,\"SOFTWARE\\VESTRAL\\VX\\Sub\",\"\",0",
                                         "hklm,SOFTWARE\\VESTRAL\\VY,gone"});
    Learn();
    RemoveRegistryKeys(context);
    EXPECT_EQ(nullptr, m.registry.find(std::string(kVestral) + "\\VX"));  // the subkey went first
    EXPECT_FALSE(m.registry.hasValue(std::string(kVestral) + "\\VY", "gone"));
    EXPECT_TRUE(m.registry.hasValue(std::string(kVestral) + "\\VY", "stays"));
}

TEST_F(RegistryRemover, RecursiveDigitDeletesTheTreeOtherwiseAKeyWithSubkeysStays) {
    for (const char* k : {"\\T\\A\\B", "\\T\\A\\C", "\\T\\D", "\\N\\Child"})
        m.registry.create(std::string(kVestral) + k);
    Fill(database.removal.registryKeys, {"HKLM,SOFTWARE\\VESTRAL\\T,,1", "HKLM,SOFTWARE\\VESTRAL\\N,,0",
                                         "HKEY_LOCAL_MACHINE,SOFTWARE\\VESTRAL,,1", "HKLM,SOFTWARE"});
    Learn();
    RemoveRegistryKeys(context);
    EXPECT_EQ(nullptr, m.registry.find(std::string(kVestral) + "\\T"));
    EXPECT_NE(nullptr, m.registry.find(std::string(kVestral) + "\\N\\Child"));  // not recursive: it stays
    EXPECT_NE(nullptr, m.registry.find(kVestral));  // a root written in full is not one of the four names
}

TEST_F(RegistryRemover, DeleteRegistryTreeReportsWhatItDid) {
    m.registry.create(std::string(kVestral) + "\\Tree\\One\\Two");
    m.registry.create(std::string(kVestral) + "\\Tree\\Three");
    EXPECT_EQ(1, DeleteRegistryTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\VESTRAL\\Tree"));
    EXPECT_EQ(nullptr, m.registry.find(std::string(kVestral) + "\\Tree"));
    EXPECT_EQ(0, DeleteRegistryTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\VESTRAL\\Tree"));  // does not open
}

TEST_F(RegistryRemover, KeysWindowsNeedAreRefusedAndSaidSo) {
    m.registry.create("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Spooler");
    m.registry.create("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run");
    m.registry.create("HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{1}");
    m.registry.create("HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{VESTRAL}");
    Fill(database.removal.registryKeys,
         {"HKLM,SYSTEM\\CurrentControlSet\\Services,,1", "HKLM,\"SOFTWARE\\Microsoft\",\"\",1", "HKCR,CLSID,,1",
          "HKLM,SOFTWARE\\\\Microsoft\\,,1", "HKCR,CLSID\\{VESTRAL},,1", "HKLM,SOFTWARE\\VESTRAL\\..\\Microsoft,,1"});
    Learn();
    RemoveRegistryKeys(context);
    EXPECT_NE(nullptr, m.registry.find("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Spooler"));
    EXPECT_NE(nullptr, m.registry.find("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run"));
    EXPECT_NE(nullptr, m.registry.find("HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{1}"));
    EXPECT_EQ(nullptr, m.registry.find("HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{VESTRAL}"));  // the family's own
    EXPECT_EQ(5u, m.transcript.count("debug: korun04: refused registry key item"));
    EXPECT_EQ(1u, m.transcript.count("refused registry key item \"HKEY_CLASSES_ROOT\\CLSID\": windows-key: it holds class "
                                     "registrations Windows needs"));
}

TEST_F(RegistryRemover, OemPathsAreCollectedWithNeighbouringDuplicatesDroppedThenSorted) {
    const std::string key = "HKEY_LOCAL_MACHINE\\SOFTWARE\\VESTRAL\\OEM04\\OEMPaths";
    m.registry.setString(key, "1", "C:\\Vestral\\B");
    m.registry.setString(key, "2", "c:\\vestral\\b");
    m.registry.setString(key, "3", "C:\\Vestral\\A");
    CollectOemPaths(context);
    std::vector<std::string> paths;
    for (const char* p : database.removal.oemPaths) paths.push_back(p);
    EXPECT_EQ((std::vector<std::string>{"C:\\Vestral\\A", "C:\\Vestral\\B"}), paths);
}

TEST_F(RegistryRemover, TheProgramGroupsKeyGoesFirst) {
    m.registry.setString("HKEY_LOCAL_MACHINE\\SOFTWARE\\VESTRAL\\OEM04\\ProgramGroups", "1", "Vestral");
    Learn();
    RemoveRegistryKeys(context);
    EXPECT_EQ(nullptr, m.registry.find("HKEY_LOCAL_MACHINE\\SOFTWARE\\VESTRAL\\OEM04\\ProgramGroups"));
}

}  // namespace
