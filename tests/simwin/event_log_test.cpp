// The event logs of the machine: what ReportEventA keeps (the log a source is registered in, the type as
// Windows records it, the strings), the handles' errors beyond what Wine can show, and the [event] sections
// a save writes and a load reads back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "simwin/win32.h"
#include "support/temp_machine.h"

namespace {

class EventLogTest : public ::testing::Test {
protected:
    BOOL Report(HANDLE h, WORD type, DWORD id, std::vector<LPCSTR> strings) {
        return ReportEventA(h, type, 0, id, nullptr, static_cast<WORD>(strings.size()), 0,
                            strings.empty() ? nullptr : strings.data(), nullptr);
    }
    HANDLE Source(const char* name) {
        HANDLE h = RegisterEventSourceA(nullptr, name);
        EXPECT_NE(nullptr, h);
        return h;
    }

    simwin::Machine m;
    simwin::MachineScope scope{m};
};

}  // namespace

TEST_F(EventLogTest, EventsGoToTheLogTheirSourceIsRegisteredIn) {
    m.registry.create("HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\System\\VstDriver");
    HANDLE registered = Source("vstdriver");  // names are compared without case
    HANDLE unregistered = Source("korun04");
    EXPECT_TRUE(Report(registered, EVENTLOG_ERROR_TYPE, 7, {"a", nullptr}));
    EXPECT_TRUE(Report(unregistered, 0x20, 1000, {}));  // no such type: recorded as success
    ASSERT_EQ(2u, m.eventLog.events.size());
    const simwin::LoggedEvent& first = m.eventLog.events[0];
    EXPECT_EQ("System", first.log);
    EXPECT_EQ("vstdriver", first.source);  // as the handle was asked for
    EXPECT_EQ(7u, first.id);
    EXPECT_EQ(EVENTLOG_ERROR_TYPE, first.type);
    EXPECT_EQ((std::vector<std::string>{"a", ""}), first.strings);
    EXPECT_EQ("Application", m.eventLog.events[1].log);
    EXPECT_EQ(EVENTLOG_SUCCESS, m.eventLog.events[1].type);
    EXPECT_TRUE(DeregisterEventSource(registered));
    EXPECT_TRUE(DeregisterEventSource(unregistered));
    EXPECT_EQ(0u, m.handles.openCount());
}

TEST_F(EventLogTest, WrongHandlesAndArgumentsWriteNothing) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\X", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             &key, nullptr));
    HANDLE h = Source("korun04");
    struct Case {
        HANDLE handle;
        WORD count;
        LPCSTR* strings;
        DWORD error;
    } cases[] = {
        {nullptr, 0, nullptr, ERROR_INVALID_HANDLE},
        {reinterpret_cast<HANDLE>(key), 0, nullptr, ERROR_INVALID_HANDLE},  // a handle of another kind
        {h, 2, nullptr, ERROR_INVALID_PARAMETER},                            // strings announced, none given
    };
    for (const Case& c : cases) {
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(ReportEventA(c.handle, EVENTLOG_INFORMATION_TYPE, 0, 1, nullptr, c.count, 0, c.strings, nullptr));
        EXPECT_EQ(c.error, GetLastError());
    }
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(DeregisterEventSource(reinterpret_cast<HANDLE>(key)));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));  // still open: the wrong call closed nothing
    EXPECT_TRUE(DeregisterEventSource(h));
    EXPECT_TRUE(m.eventLog.events.empty());
}

TEST(EventLog9x, TheFamilyHasNoEventLog) {
    simwin::Machine m(simwin::Platform::Win9x);
    simwin::MachineScope scope(m);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(nullptr, RegisterEventSourceA(nullptr, "korun04"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED), GetLastError());
}

TEST(EventLogSave, EventsRoundTripThroughMachineIni) {
    simwin::Machine m;
    simwin::LoggedEvent a;
    a.source = "korun04";
    a.id = 1001;
    a.type = EVENTLOG_WARNING_TYPE;
    a.strings = {"Log: C:\\Temp\\korun04.log", " 100% done\r\nnext line ", "", "%0A stays as written"};
    simwin::LoggedEvent b;
    b.log = "System";
    b.source = "VstDriver";
    b.id = 4294967295u;
    b.type = EVENTLOG_AUDIT_FAILURE;
    b.category = 3;
    m.eventLog.events = {a, b};
    const std::string ini = m.saveIni();
    const std::string expected =
        "[event]\nsource = korun04\nid = 1001\ntype = warning\nstring = Log: C:\\Temp\\korun04.log\n"
        "string = %20100%25 done%0D%0Anext line%20\nstring = \nstring = %250A stays as written\n\n"
        "[event]\nsource = VstDriver\nlog = System\nid = 4294967295\ntype = audit-failure\ncategory = 3\n";
    EXPECT_NE(std::string::npos, ini.find(expected)) << ini;

    auto loaded = simwin::Machine::fromIni(ini, "saved");
    ASSERT_EQ(2u, loaded->eventLog.events.size());
    for (size_t i = 0; i < 2; ++i) {
        const simwin::LoggedEvent& was = m.eventLog.events[i];
        const simwin::LoggedEvent& is = loaded->eventLog.events[i];
        EXPECT_EQ(was.log, is.log);
        EXPECT_EQ(was.source, is.source);
        EXPECT_EQ(was.id, is.id);
        EXPECT_EQ(was.type, is.type);
        EXPECT_EQ(was.category, is.category);
        EXPECT_EQ(was.strings, is.strings);
    }
    EXPECT_EQ(ini, loaded->saveIni());
    // A machine without events saves no [event] section.
    EXPECT_EQ(std::string::npos, simwin::Machine().saveIni().find("[event]"));
}

TEST(EventLogSave, BadEventSectionsAreRefused) {
    struct Case {
        const char* text;
        const char* says;
    } cases[] = {
        {"[event]\nid = 1\n", "[event] without source"},
        {"[event]\nsource = x\ntype = notice\n", "type = notice"},
        {"[event]\nsource = x\nid = 4294967296\n", "id = 4294967296"},
        {"[event]\nsource = x\nid = -1\n", "id = -1"},
        {"[event]\nsource = x\nstrings = a\n", "unknown key 'strings'"},
        {"[event]\nsource = x\ncategory = 65536\n", "category = 65536"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        try {
            simwin::Machine::fromIni(c.text, "machine.ini");
            ADD_FAILURE() << "loaded";
        } catch (const simwin::MachineError& e) {
            EXPECT_NE(std::string::npos, std::string(e.what()).find(c.says)) << e.what();
        }
    }
}
