// The event source functions as the tool writes its one event per run: a source registered under the
// Application log's key, an event with strings, the handle closed; and what a wrong handle or source gets.
// Wine 8's event log is a stub (every source gets a handle, every report and close succeeds); the Windows
// answers are written beside it and checked on simwin and Windows.
#include <gtest/gtest.h>

#include <string>

#include "base/platform.h"
#include "conformance/conformance_env.h"

namespace {

const DWORD kPoison = 0xdeadbeef;
const char kApplicationLog[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application";

class EventLogConformance : public ConformanceTest {
protected:
    std::string source;  // the test's own source
    std::string key;     // its key below HKEY_LOCAL_MACHINE

    void SetUp() override {
        source = "KorunConf" + std::to_string(GetTickCount());
        key = std::string(kApplicationLog) + "\\" + source;
    }

    void TearDown() override { RegDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str()); }

    BOOL report(HANDLE h, WORD count, LPCSTR* strings) {
        return ReportEventA(h, EVENTLOG_INFORMATION_TYPE, 0, 1000, nullptr, count, 0, strings, nullptr);
    }
};

}  // namespace

TEST_F(EventLogConformance, RegisteredSourceReportsAnEventWithStrings) {
    HKEY k = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                             KEY_SET_VALUE, nullptr, &k, nullptr));
    const DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExA(k, "TypesSupported", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&types), sizeof types));
    RegCloseKey(k);

    HANDLE h = RegisterEventSourceA(nullptr, source.c_str());
    ASSERT_NE(h, nullptr) << "error " << GetLastError();
    LPCSTR strings[] = {"Run: conformance", "Exit code: 0"};
    SetLastError(kPoison);
    EXPECT_TRUE(report(h, 2, strings)) << "error " << GetLastError();
    EXPECT_TRUE(ReportEventA(h, EVENTLOG_WARNING_TYPE, 0, 1001, nullptr, 0, 0, nullptr, nullptr));
    EXPECT_TRUE(DeregisterEventSource(h));
}

TEST_F(EventLogConformance, UnregisteredSourceStillWritesUnderItsName) {
    HKEY k = nullptr;
    ASSERT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &k));
    HANDLE h = RegisterEventSourceA(nullptr, source.c_str());
    ASSERT_NE(h, nullptr) << "error " << GetLastError();
    LPCSTR strings[] = {"no source key"};
    EXPECT_TRUE(report(h, 1, strings)) << "error " << GetLastError();
    EXPECT_TRUE(DeregisterEventSource(h));
    // The source is not registered by writing.
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &k));
}

TEST_F(EventLogConformance, NullAndClosedHandles) {
    LPCSTR strings[] = {"x"};
    // A NULL handle. Windows: ReportEventA fails with 6; DeregisterEventSource fails and leaves the last error.
    // Wine 8: both succeed (stubs).
    SetLastError(kPoison);
    const BOOL reported = report(nullptr, 1, strings);
    const DWORD reportError = GetLastError();
    SetLastError(kPoison);
    const BOOL closed = DeregisterEventSource(nullptr);
    const DWORD closeError = GetLastError();
    if (UnderWine()) {
        EXPECT_TRUE(reported);
        EXPECT_TRUE(closed);
    } else {
        EXPECT_FALSE(reported);
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), reportError);
        EXPECT_FALSE(closed);
        EXPECT_EQ(kPoison, closeError);
    }

    // A handle closed already. Windows: 6 from both. Wine 8: both succeed.
    HANDLE h = RegisterEventSourceA(nullptr, source.c_str());
    ASSERT_NE(h, nullptr) << "error " << GetLastError();
    ASSERT_TRUE(DeregisterEventSource(h));
    SetLastError(kPoison);
    const BOOL closedTwice = DeregisterEventSource(h);
    EXPECT_EQ(UnderWine() ? kPoison : static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    EXPECT_EQ(UnderWine(), closedTwice != FALSE);
}

TEST_F(EventLogConformance, SourcesAndServersRefused) {
    struct Case {
        const char* server;
        const char* source;
        DWORD windowsError;  // Wine 8 gives every one a handle
    } cases[] = {
        {nullptr, nullptr, ERROR_INVALID_PARAMETER},
        {nullptr, "", ERROR_INVALID_PARAMETER},
        {nullptr, "Security", ERROR_ACCESS_DENIED},  // only the system writes the security log
        {"\\\\korun-no-such-host", "Application", RPC_S_SERVER_UNAVAILABLE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.server ? c.server : "(local)") + " " + (c.source ? c.source : "(null)"));
        SetLastError(kPoison);
        HANDLE h = RegisterEventSourceA(c.server, c.source);
        const DWORD error = GetLastError();
        if (UnderWine()) {
            EXPECT_NE(h, nullptr);
        } else {
            EXPECT_EQ(h, nullptr);
            EXPECT_EQ(c.windowsError, error);
        }
        if (h) DeregisterEventSource(h);
    }
    // The local computer by its name and by "" is this machine.
    char computer[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = sizeof computer;
    ASSERT_TRUE(GetComputerNameA(computer, &size));
    for (const std::string& server : {std::string(), std::string(computer), "\\\\" + std::string(computer)}) {
        HANDLE h = RegisterEventSourceA(server.c_str(), source.c_str());
        EXPECT_NE(h, nullptr) << server << ": error " << GetLastError();
        if (h) DeregisterEventSource(h);
    }
}
