// Deleting services: when a marked service really goes (stopped and without open handles), what
// the transcript and the saved machine show, and the services a machine declares as marked.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "simwin/win32.h"
#include "support/temp_machine.h"

using testmachine::Load;

namespace {

class ServiceDeletion : public ::testing::Test {
protected:
    void SetUp() override {
        m.services.add("VstStatus04", true);
        m.services.add("VstQueue04", false);
        manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_CREATE_SERVICE);
        ASSERT_NE(nullptr, manager);
    }
    void TearDown() override { CloseServiceHandle(manager); }

    SC_HANDLE open(const char* name) { return OpenServiceA(manager, name, SERVICE_ALL_ACCESS); }

    simwin::Machine m;
    simwin::MachineScope scope{m};
    SC_HANDLE manager = nullptr;
};

}  // namespace

TEST_F(ServiceDeletion, StoppedServiceGoesWhenTheDeletingHandleCloses) {
    SC_HANDLE s = open("vstqueue04");
    ASSERT_NE(nullptr, s);
    SetLastError(0xdeadbeef);
    EXPECT_TRUE(DeleteService(s));
    EXPECT_EQ(0xdeadbeefu, GetLastError());  // success leaves it alone
    ASSERT_NE(nullptr, m.services.find("VstQueue04"));  // the deleting handle is still open
    EXPECT_TRUE(m.services.find("VstQueue04")->markedForDelete);
    EXPECT_TRUE(CloseServiceHandle(s));
    EXPECT_EQ(nullptr, m.services.find("VstQueue04"));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(nullptr, open("VstQueue04"));
    EXPECT_EQ(ERROR_SERVICE_DOES_NOT_EXIST, GetLastError());
    EXPECT_EQ(1u, m.transcript.count("service VstQueue04 marked for deletion"));
    EXPECT_EQ(1u, m.transcript.count("service VstQueue04 deleted"));
}

TEST_F(ServiceDeletion, RunningServiceStaysMarkedUntilItStops) {
    SC_HANDLE s = open("VstStatus04");
    ASSERT_NE(nullptr, s);
    EXPECT_TRUE(DeleteService(s));
    EXPECT_TRUE(CloseServiceHandle(s));
    const simwin::Service* left = m.services.find("VstStatus04");
    ASSERT_NE(nullptr, left);  // it still runs
    EXPECT_TRUE(left->markedForDelete);

    s = open("VstStatus04");  // a marked service still opens
    ASSERT_NE(nullptr, s);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(DeleteService(s));
    EXPECT_EQ(ERROR_SERVICE_MARKED_FOR_DELETE, GetLastError());
    SERVICE_STATUS st;
    EXPECT_TRUE(ControlService(s, SERVICE_CONTROL_STOP, &st));
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), st.dwCurrentState);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(StartServiceA(s, 0, NULL));  // a marked service does not start again
    EXPECT_EQ(ERROR_SERVICE_MARKED_FOR_DELETE, GetLastError());
    EXPECT_NE(nullptr, m.services.find("VstStatus04"));  // stopped, but this handle is open
    EXPECT_TRUE(CloseServiceHandle(s));
    EXPECT_EQ(nullptr, m.services.find("VstStatus04"));
}

TEST_F(ServiceDeletion, CreateServiceTakesAFreeNameOnly) {
    SetLastError(0xdeadbeef);
    SC_HANDLE made = CreateServiceA(manager, "VstNew04", "Vestral", SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                    SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, "C:\\vst.exe", NULL, NULL, NULL,
                                    NULL, NULL);
    ASSERT_NE(nullptr, made);
    EXPECT_EQ(0xdeadbeefu, GetLastError());
    ASSERT_NE(nullptr, m.services.find("VstNew04"));
    EXPECT_FALSE(m.services.find("VstNew04")->running);

    SetLastError(0xdeadbeef);
    EXPECT_EQ(nullptr, CreateServiceA(manager, "vstnew04", NULL, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                      SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, "C:\\vst.exe", NULL, NULL, NULL,
                                      NULL, NULL));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_EXISTS), GetLastError());
    EXPECT_TRUE(DeleteService(made));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(nullptr, CreateServiceA(manager, "VstNew04", NULL, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                      SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, "C:\\vst.exe", NULL, NULL, NULL,
                                      NULL, NULL));
    EXPECT_EQ(ERROR_SERVICE_MARKED_FOR_DELETE, GetLastError());
    EXPECT_TRUE(CloseServiceHandle(made));

    // A manager opened without SC_MANAGER_CREATE_SERVICE cannot create.
    SC_HANDLE connect = OpenSCManagerA(NULL, NULL, SC_MANAGER_CONNECT);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(nullptr, CreateServiceA(connect, "VstOther04", NULL, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                      SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, "C:\\vst.exe", NULL, NULL, NULL,
                                      NULL, NULL));
    EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
    CloseServiceHandle(connect);
}

TEST(ServiceMachine, SavedMachineHoldsWhatIsLeft) {
    auto m = Load("[system]\nplatform = nt\n[service]\nname = VstGone04\nstate = stopped\n"
                  "[service]\nname = VstBusy04\nstate = running\n[service]\nname = VstKeep04\nstate = stopped\n"
                  "[service]\nname = VstMarked04\nstate = running\nmarked = yes\n");
    {
        simwin::MachineScope scope(*m);
        SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_CREATE_SERVICE);
        for (const char* name : {"VstGone04", "VstBusy04", "VstMarked04"}) {
            SC_HANDLE s = OpenServiceA(manager, name, SERVICE_ALL_ACCESS);
            ASSERT_NE(nullptr, s) << name;
            SetLastError(0xdeadbeef);
            const BOOL deleted = DeleteService(s);
            // The declared mark counts as an earlier DeleteService.
            EXPECT_EQ(std::string(name) != "VstMarked04", deleted != FALSE) << name;
            if (!deleted) {
                EXPECT_EQ(ERROR_SERVICE_MARKED_FOR_DELETE, GetLastError());
            }
            CloseServiceHandle(s);
        }
        CloseServiceHandle(manager);
    }
    testmachine::TempDir dir;
    m->save(dir.path.string());
    const std::string ini = testmachine::ReadFile(dir.path / "machine.ini");
    EXPECT_EQ(std::string::npos, ini.find("VstGone04"));
    EXPECT_NE(std::string::npos, ini.find("name = VstBusy04\nstate = running\nmarked = yes\n")) << ini;
    EXPECT_NE(std::string::npos, ini.find("name = VstKeep04\nstate = stopped\n")) << ini;
    EXPECT_NE(std::string::npos, ini.find("name = VstMarked04\nstate = running\nmarked = yes\n")) << ini;

    // Loading what was saved gives the same services; the marked ones stay marked.
    auto again = simwin::Machine::load(dir.path.string());
    ASSERT_NE(nullptr, again->services.find("VstBusy04"));
    EXPECT_TRUE(again->services.find("VstBusy04")->markedForDelete);
    EXPECT_EQ(nullptr, again->services.find("VstGone04"));
}

// The configuration of a service, as the machine declares it or CreateServiceA made it, through
// QueryServiceConfigA; the defaults of what a [service] section leaves out; the Spooler as Windows installs it.
TEST(ServiceConfiguration, DeclaredCreatedAndDefaults) {
    auto m = Load("[service]\nname = VstStatus04\ndisplay = Vestral Status 04\nstart = auto\n"
                  "binary = \"C:\\Program Files\\Vestral\\vststat.exe\" /service\ndepend = Spooler\ndepend = +PrintGroup\n"
                  "[service]\nname = usbprint\ntype = kernel\nstart = demand\nerrorcontrol = ignore\n"
                  "binary = System32\\drivers\\usbprint.sys\ngroup = extended base\n"
                  "[service]\nname = Plain\n"
                  "[service]\nname = Shared\ntype = share,interactive\naccount = NT AUTHORITY\\LocalService\n");
    simwin::MachineScope scope(*m);
    SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE created = CreateServiceA(manager, "VstNew", NULL, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                       SERVICE_DISABLED, SERVICE_ERROR_SEVERE, "C:\\vst\\new.exe", "G", NULL,
                                       "Spooler\0RPCSS\0", ".\\VstUser", "secret");
    ASSERT_NE(nullptr, created);
    CloseServiceHandle(created);
    struct Case {
        const char* name;
        DWORD type, start, errorControl;
        const char *binary, *group, *dependencies, *account, *display;
    };
    const Case cases[] = {
        {"VstStatus04", 0x10, 2, 1, "\"C:\\Program Files\\Vestral\\vststat.exe\" /service", "", "Spooler|+PrintGroup|",
         "LocalSystem", "Vestral Status 04"},
        {"usbprint", 0x1, 3, 0, "System32\\drivers\\usbprint.sys", "extended base", "", "", "usbprint"},
        {"Plain", 0x10, 3, 1, "", "", "", "LocalSystem", "Plain"},
        {"Shared", 0x120, 3, 1, "", "", "", "NT AUTHORITY\\LocalService", "Shared"},
        {"VstNew", 0x10, 4, 2, "C:\\vst\\new.exe", "G", "Spooler|RPCSS|", ".\\VstUser", "VstNew"},
        {"Spooler", 0x110, 2, 1, "C:\\Windows\\System32\\spoolsv.exe", "SpoolerGroup", "RPCSS|http|", "LocalSystem",
         "Print Spooler"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SC_HANDLE s = OpenServiceA(manager, c.name, SERVICE_QUERY_CONFIG);
        ASSERT_NE(nullptr, s);
        DWORD needed = 0;
        EXPECT_FALSE(QueryServiceConfigA(s, NULL, 0, &needed));
        EXPECT_EQ(DWORD(ERROR_INSUFFICIENT_BUFFER), GetLastError());
        std::vector<BYTE> b(needed, 0xBD);
        ASSERT_TRUE(QueryServiceConfigA(s, reinterpret_cast<LPQUERY_SERVICE_CONFIGA>(b.data()), needed, &needed));
        const auto* q = reinterpret_cast<const QUERY_SERVICE_CONFIGA*>(b.data());
        EXPECT_EQ(c.type, q->dwServiceType);
        EXPECT_EQ(c.start, q->dwStartType);
        EXPECT_EQ(c.errorControl, q->dwErrorControl);
        EXPECT_STREQ(c.binary, q->lpBinaryPathName);
        EXPECT_STREQ(c.group, q->lpLoadOrderGroup);
        std::string dependencies;
        for (const char* d = q->lpDependencies; *d; d += std::strlen(d) + 1) dependencies += std::string(d) + "|";
        EXPECT_EQ(c.dependencies, dependencies);
        EXPECT_STREQ(c.account, q->lpServiceStartName);
        EXPECT_STREQ(c.display, q->lpDisplayName);
        EXPECT_EQ(needed, static_cast<DWORD>(q->lpDisplayName + std::strlen(q->lpDisplayName) + 1 -
                                             reinterpret_cast<const char*>(b.data())));  // nothing after the last one
        CloseServiceHandle(s);
    }
    // Values Windows does not know, and a boot-start service that is no driver, are refused.
    struct Bad {
        DWORD type, start, errorControl;
    };
    for (const Bad& bad : {Bad{0x40, 3, 1}, Bad{0x10, 0, 1}, Bad{0x10, 5, 1}, Bad{0x10, 3, 4}, Bad{0x101, 3, 1}}) {
        SetLastError(0);
        EXPECT_EQ(nullptr, CreateServiceA(manager, "VstBad", NULL, SERVICE_ALL_ACCESS, bad.type, bad.start,
                                          bad.errorControl, "C:\\bad.exe", NULL, NULL, NULL, NULL, NULL));
        EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), GetLastError());
    }
    CloseServiceHandle(manager);

    testmachine::TempDir saved;
    m->save(saved.path.string());
    const std::string ini = testmachine::ReadFile(saved.path / "machine.ini");
    EXPECT_NE(std::string::npos,
              ini.find("name = VstNew\nstate = stopped\nstart = disabled\nerrorcontrol = severe\nbinary = C:\\vst\\new.exe\n"
                       "group = G\ndepend = Spooler\ndepend = RPCSS\naccount = .\\VstUser\n"))
        << ini;
    EXPECT_NE(std::string::npos, ini.find("name = Plain\nstate = running\n\n[")) << ini;
    EXPECT_NE(std::string::npos, ini.find("name = Shared\nstate = running\ntype = share,interactive\n")) << ini;
    testmachine::TempDir again;
    simwin::Machine::load(saved.path.string())->save(again.path.string());
    EXPECT_EQ(ini, testmachine::ReadFile(again.path / "machine.ini"));
}
