// The service control manager as the service remover uses it: create, open, delete, the errors of
// a service marked for deletion and of one that is gone. Every test works on a service of its own,
// created with CreateServiceA and never started, and deletes it again.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/platform.h"
#include "conformance/conformance_env.h"

namespace {

const DWORD kPoison = 0xdeadbeef;

class ServicesConformance : public ConformanceTest {
protected:
    SC_HANDLE manager = nullptr;
    std::string name;  // the test's own service

    void SetUp() override {
        manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        ASSERT_NE(manager, nullptr) << "error " << GetLastError();
        name = "KorunConf" + std::to_string(GetTickCount());
    }

    void TearDown() override {
        // Left behind by a failed test: delete it.
        if (SC_HANDLE s = OpenServiceA(manager, name.c_str(), SERVICE_ALL_ACCESS)) {
            DeleteService(s);
            CloseServiceHandle(s);
        }
        CloseServiceHandle(manager);
    }

    SC_HANDLE create() {
        char system[MAX_PATH];
        GetSystemDirectoryA(system, sizeof system);
        const std::string binary = std::string(system) + "\\korun-conformance-service.exe";
        return CreateServiceA(manager, name.c_str(), name.c_str(), SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                              SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, binary.c_str(), nullptr, nullptr, nullptr,
                              nullptr, nullptr);
    }
};

}  // namespace

TEST_F(ServicesConformance, CreatedServiceIsStoppedAndItsNameTaken) {
    SetLastError(kPoison);
    SC_HANDLE s = create();
    ASSERT_NE(s, nullptr) << "error " << GetLastError();
    EXPECT_EQ(GetLastError(), kPoison);
    SERVICE_STATUS st;
    std::memset(&st, 0xbd, sizeof st);
    ASSERT_TRUE(QueryServiceStatus(s, &st));
    EXPECT_EQ(st.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(st.dwServiceType, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));

    SetLastError(kPoison);
    EXPECT_EQ(create(), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_EXISTS));

    // Stopping a stopped service: 1062, the status still filled in.
    std::memset(&st, 0xbd, sizeof st);
    SetLastError(kPoison);
    EXPECT_FALSE(ControlService(s, SERVICE_CONTROL_STOP, &st));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_NOT_ACTIVE));
    EXPECT_EQ(st.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));

    EXPECT_TRUE(DeleteService(s));
    EXPECT_TRUE(CloseServiceHandle(s));
}

TEST_F(ServicesConformance, MarkedServiceGoesWithItsLastHandle) {
    SC_HANDLE a = create();
    ASSERT_NE(a, nullptr) << "error " << GetLastError();
    SetLastError(kPoison);
    SC_HANDLE b = OpenServiceA(manager, name.c_str(), SERVICE_ALL_ACCESS);
    ASSERT_NE(b, nullptr) << "error " << GetLastError();

    SetLastError(kPoison);
    EXPECT_TRUE(DeleteService(a));
    EXPECT_EQ(GetLastError(), kPoison);  // success leaves the last error alone
    SetLastError(kPoison);
    EXPECT_FALSE(DeleteService(b));  // already marked
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_MARKED_FOR_DELETE));
    SetLastError(kPoison);
    EXPECT_FALSE(DeleteService(a));  // also through the handle that marked it
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_MARKED_FOR_DELETE));

    // While marked, the name cannot be taken again.
    SetLastError(kPoison);
    EXPECT_EQ(create(), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_MARKED_FOR_DELETE));

    // One handle left: the service is still there.
    EXPECT_TRUE(CloseServiceHandle(a));
    SERVICE_STATUS st;
    std::memset(&st, 0xbd, sizeof st);
    EXPECT_TRUE(QueryServiceStatus(b, &st));
    EXPECT_EQ(st.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));

    EXPECT_TRUE(CloseServiceHandle(b));
    SetLastError(kPoison);
    EXPECT_EQ(OpenServiceA(manager, name.c_str(), SERVICE_ALL_ACCESS), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
}

TEST_F(ServicesConformance, StoppedServiceWithoutOtherHandlesIsGoneAfterClose) {
    SC_HANDLE s = create();
    ASSERT_NE(s, nullptr) << "error " << GetLastError();
    ASSERT_TRUE(CloseServiceHandle(s));

    // What the service remover does: open with all access, delete, close.
    s = OpenServiceA(manager, name.c_str(), SERVICE_ALL_ACCESS);
    ASSERT_NE(s, nullptr) << "error " << GetLastError();
    SetLastError(kPoison);
    EXPECT_TRUE(DeleteService(s));
    EXPECT_TRUE(CloseServiceHandle(s));
    SetLastError(kPoison);
    EXPECT_EQ(OpenServiceA(manager, name.c_str(), SERVICE_QUERY_STATUS), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
    // The name is free again.
    s = create();
    EXPECT_NE(s, nullptr) << "error " << GetLastError();
    EXPECT_TRUE(DeleteService(s));
    EXPECT_TRUE(CloseServiceHandle(s));
}

TEST_F(ServicesConformance, DeleteNeedsTheDeleteRight) {
    SC_HANDLE s = create();
    ASSERT_NE(s, nullptr) << "error " << GetLastError();
    SC_HANDLE query = OpenServiceA(manager, name.c_str(), SERVICE_QUERY_STATUS);
    ASSERT_NE(query, nullptr) << "error " << GetLastError();
    SetLastError(kPoison);
    EXPECT_FALSE(DeleteService(query));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(CloseServiceHandle(query));
    EXPECT_TRUE(DeleteService(s));
    EXPECT_TRUE(CloseServiceHandle(s));
}

// The configuration a service was created with, as QueryServiceConfigA gives it back: a size query (the
// size Windows and Wine report may be larger than the strings need, computed for the wide strings), then the
// record with its strings after it; the account of a Win32 service created without one is LocalSystem. A
// handle without SERVICE_QUERY_CONFIG is refused. (The dependencies are compared on simwin only: Wine 8 drops
// the ones given to CreateServiceA.)
TEST_F(ServicesConformance, ConfigurationAsCreated) {
    SC_HANDLE s = CreateServiceA(manager, name.c_str(), "Korun Conformance Service", SERVICE_ALL_ACCESS,
                                 SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                                 "C:\\korun\\conformance.exe -service", "KorunGroup", nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(s, nullptr) << "error " << GetLastError();
    DWORD needed = kPoison;
    SetLastError(kPoison);
    EXPECT_FALSE(QueryServiceConfigA(s, nullptr, 0, &needed));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    ASSERT_GT(needed, static_cast<DWORD>(sizeof(QUERY_SERVICE_CONFIGA)));
    ASSERT_LT(needed, 4096u);
    std::vector<BYTE> buffer(needed, 0xbd);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data());
    SetLastError(kPoison);
    EXPECT_FALSE(QueryServiceConfigA(s, config, sizeof(QUERY_SERVICE_CONFIGA), &needed));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    ASSERT_TRUE(QueryServiceConfigA(s, config, needed, &needed)) << GetLastError();
    EXPECT_EQ(config->dwServiceType, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));
    EXPECT_EQ(config->dwStartType, static_cast<DWORD>(SERVICE_AUTO_START));
    EXPECT_EQ(config->dwErrorControl, static_cast<DWORD>(SERVICE_ERROR_NORMAL));
    EXPECT_STREQ(config->lpBinaryPathName, "C:\\korun\\conformance.exe -service");
    EXPECT_STREQ(config->lpLoadOrderGroup, "KorunGroup");
    ASSERT_NE(config->lpDependencies, nullptr);
    EXPECT_STREQ(config->lpDependencies, "");
    EXPECT_STREQ(config->lpServiceStartName, "LocalSystem");
    EXPECT_STREQ(config->lpDisplayName, "Korun Conformance Service");
    for (LPSTR text : {config->lpBinaryPathName, config->lpLoadOrderGroup, config->lpServiceStartName,
                       config->lpDisplayName}) {  // the strings lie after the record, inside the buffer
        const BYTE* p = reinterpret_cast<const BYTE*>(text);
        EXPECT_TRUE(p >= buffer.data() + sizeof(QUERY_SERVICE_CONFIGA) && p + std::strlen(text) < buffer.data() + needed);
    }

    SC_HANDLE statusOnly = OpenServiceA(manager, name.c_str(), SERVICE_QUERY_STATUS);
    ASSERT_NE(statusOnly, nullptr);
    SetLastError(kPoison);
    EXPECT_FALSE(QueryServiceConfigA(statusOnly, config, needed, &needed));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    CloseServiceHandle(statusOnly);
    EXPECT_TRUE(DeleteService(s));
    CloseServiceHandle(s);
}
