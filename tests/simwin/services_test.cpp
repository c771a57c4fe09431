// Deleting services: when a marked service really goes (stopped and without open handles), what
// the transcript and the saved machine show, and the services a machine declares as marked.
#include <gtest/gtest.h>

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
