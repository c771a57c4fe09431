// DDE with Program Manager: conversations only where the machine declares it, its commands on
// the declared groups and items, DDEML errors, and the groups a saved machine keeps.
#include <gtest/gtest.h>

#include <cstring>

#include "simwin/win32.h"
#include "support/temp_machine.h"

using testmachine::Load;

namespace {

HDDEDATA CALLBACK NoTransactions(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) { return nullptr; }

const DWORD kClientFlags = APPCMD_CLIENTONLY | CBF_SKIP_ALLNOTIFICATIONS;

std::unique_ptr<simwin::Machine> ProgmanMachine() {
    return Load("[system]\nplatform = win32s\n"
                "[progman]\ngroup = Vestral\nitem = Vestral Monitor\nitem = Vestral Readme\n"
                "[progman]\ngroup = Main\nitem = Vestral Monitor\n");
}

// One conversation with PROGMAN as the Program Manager items remover holds it: start, connect,
// execute, disconnect. Returns whether the command was accepted; *error gets DdeGetLastError.
bool ExecuteOnce(const char* command, UINT* error = nullptr, DWORD* result = nullptr) {
    DWORD inst = 0;
    EXPECT_EQ(static_cast<UINT>(DMLERR_NO_ERROR), DdeInitializeA(&inst, NoTransactions, kClientFlags, 0));
    HSZ progman = DdeCreateStringHandleA(inst, "PROGMAN", 0);
    EXPECT_NE(nullptr, progman);
    HCONV conv = DdeConnect(inst, progman, progman, nullptr);
    HDDEDATA done = nullptr;
    if (conv) {
        DWORD status = 0xdeadbeef;
        done = DdeClientTransaction(reinterpret_cast<LPBYTE>(const_cast<char*>(command)),
                                    static_cast<DWORD>(std::strlen(command) + 1), conv, nullptr, CF_TEXT, XTYP_EXECUTE,
                                    5000, &status);
        if (result) *result = status;
    }
    if (error) *error = DdeGetLastError(inst);
    if (conv) {
        EXPECT_TRUE(DdeDisconnect(conv));
    }
    EXPECT_TRUE(DdeFreeStringHandle(inst, progman));
    EXPECT_TRUE(DdeUninitialize(inst));
    return done != nullptr;
}

}  // namespace

TEST(Progman, NoConversationWithoutProgramManager) {
    simwin::Machine m(simwin::Platform::Win32s);  // declares no [progman]
    simwin::MachineScope scope(m);
    DWORD inst = 0;
    ASSERT_EQ(static_cast<UINT>(DMLERR_NO_ERROR), DdeInitializeA(&inst, NoTransactions, kClientFlags, 0));
    EXPECT_NE(0u, inst);
    HSZ progman = DdeCreateStringHandleA(inst, "PROGMAN", 0);
    ASSERT_NE(nullptr, progman);
    EXPECT_EQ(nullptr, DdeConnect(inst, progman, progman, nullptr));
    EXPECT_EQ(static_cast<UINT>(DMLERR_NO_CONV_ESTABLISHED), DdeGetLastError(inst));
    EXPECT_EQ(static_cast<UINT>(DMLERR_NO_ERROR), DdeGetLastError(inst));  // reading resets it
    EXPECT_TRUE(DdeFreeStringHandle(inst, progman));
    EXPECT_TRUE(DdeUninitialize(inst));
    EXPECT_FALSE(DdeUninitialize(inst));
    EXPECT_EQ(static_cast<UINT>(DMLERR_DLL_NOT_INITIALIZED), DdeGetLastError(inst));
    EXPECT_TRUE(m.transcript.lines.empty());
}

TEST(Progman, ShowGroupThenDeleteItemRemovesTheItemOfThatGroup) {
    auto m = ProgmanMachine();
    simwin::MachineScope scope(*m);
    DWORD status = 0;
    EXPECT_TRUE(ExecuteOnce("[ShowGroup(Vestral,1)]", nullptr, &status));
    EXPECT_EQ(static_cast<DWORD>(DDE_FACK), status);
    EXPECT_TRUE(ExecuteOnce("[DeleteItem(vestral monitor)]"));  // names ignore case
    EXPECT_EQ((std::vector<std::string>{"Vestral Readme"}), m->progman.findGroup("Vestral")->items);
    EXPECT_EQ((std::vector<std::string>{"Vestral Monitor"}), m->progman.findGroup("Main")->items);  // untouched
    ASSERT_EQ(2u, m->transcript.lines.size());
    EXPECT_EQ("progman [ShowGroup(Vestral,1)] -> done", m->transcript.lines[0]);
    EXPECT_EQ("progman [DeleteItem(vestral monitor)] -> done", m->transcript.lines[1]);
}

TEST(Progman, RefusedCommandsFailTheTransaction) {
    auto m = ProgmanMachine();
    simwin::MachineScope scope(*m);
    UINT error = 0;
    DWORD status = 0xdeadbeef;
    EXPECT_FALSE(ExecuteOnce("[DeleteItem(Vestral Readme)]", &error, &status));  // no group active yet
    EXPECT_EQ(static_cast<UINT>(DMLERR_NOTPROCESSED), error);
    EXPECT_EQ(0u, status);
    EXPECT_FALSE(ExecuteOnce("[ShowGroup(Other,1)]", &error));
    EXPECT_EQ(static_cast<UINT>(DMLERR_NOTPROCESSED), error);
    EXPECT_FALSE(ExecuteOnce("[Reload()]", &error));  // not a command it knows
    EXPECT_FALSE(ExecuteOnce("ShowGroup(Vestral,1)", &error));  // not bracketed
    // Several commands run in order and stop at the first refused one.
    EXPECT_FALSE(ExecuteOnce("[ShowGroup(\"Vestral\",1)][DeleteItem(Nothing)][DeleteItem(Vestral Readme)]", &error));
    EXPECT_EQ(2u, m->progman.findGroup("Vestral")->items.size());
    EXPECT_EQ("progman [DeleteItem(Nothing)] -> refused", m->transcript.lines.back());
    EXPECT_EQ(1u, m->transcript.count("[DeleteItem(Vestral Readme)]"));  // the refused first call only
    EXPECT_TRUE(ExecuteOnce("[DeleteGroup(Main)]"));
    EXPECT_EQ(nullptr, m->progman.findGroup("Main"));
}

TEST(Progman, ConversationNeedsTheProgmanTopicAndStaysUsableUntilDisconnected) {
    auto m = ProgmanMachine();
    simwin::MachineScope scope(*m);
    DWORD inst = 0;
    ASSERT_EQ(static_cast<UINT>(DMLERR_NO_ERROR), DdeInitializeA(&inst, NoTransactions, kClientFlags, 0));
    HSZ progman = DdeCreateStringHandleA(inst, "PROGMAN", 0);
    HSZ same = DdeCreateStringHandleA(inst, "progman", 0);
    EXPECT_EQ(progman, same);  // string handles are atoms
    HSZ other = DdeCreateStringHandleA(inst, "Excel", 0);
    EXPECT_NE(progman, other);
    EXPECT_EQ(nullptr, DdeConnect(inst, progman, other, nullptr));
    EXPECT_EQ(static_cast<UINT>(DMLERR_NO_CONV_ESTABLISHED), DdeGetLastError(inst));
    HCONV conv = DdeConnect(inst, progman, progman, nullptr);
    ASSERT_NE(nullptr, conv);
    char show[] = "[ShowGroup(Main,1)]";
    EXPECT_NE(nullptr, DdeClientTransaction(reinterpret_cast<LPBYTE>(show), sizeof show, conv, nullptr, CF_TEXT,
                                            XTYP_EXECUTE, 5000, nullptr));
    EXPECT_EQ(nullptr, DdeClientTransaction(nullptr, 0, conv, progman, CF_TEXT, XTYP_REQUEST, 5000, nullptr));
    EXPECT_EQ(static_cast<UINT>(DMLERR_NOTPROCESSED), DdeGetLastError(inst));
    EXPECT_TRUE(DdeDisconnect(conv));
    EXPECT_FALSE(DdeDisconnect(conv));
    EXPECT_EQ(nullptr, DdeClientTransaction(reinterpret_cast<LPBYTE>(show), sizeof show, conv, nullptr, CF_TEXT,
                                            XTYP_EXECUTE, 5000, nullptr));
    EXPECT_EQ(static_cast<UINT>(DMLERR_NO_CONV_ESTABLISHED), DdeGetLastError(inst));
    EXPECT_EQ(1u, m->transcript.lines.size());  // only the executed command
    for (HSZ h : {progman, same, other}) EXPECT_TRUE(DdeFreeStringHandle(inst, h));
    EXPECT_FALSE(DdeFreeStringHandle(inst, other));
    EXPECT_TRUE(DdeUninitialize(inst));

    DWORD bad = 0;
    EXPECT_EQ(static_cast<UINT>(DMLERR_INVALIDPARAMETER), DdeInitializeA(&bad, nullptr, kClientFlags, 0));
    bad = 0x777;
    EXPECT_EQ(static_cast<UINT>(DMLERR_INVALIDPARAMETER), DdeInitializeA(&bad, NoTransactions, kClientFlags, 0));
}

TEST(Progman, SavedMachineKeepsTheRemainingGroups) {
    auto m = ProgmanMachine();
    {
        simwin::MachineScope scope(*m);
        EXPECT_TRUE(ExecuteOnce("[ShowGroup(Vestral,1)][DeleteItem(Vestral Readme)]"));
        EXPECT_TRUE(ExecuteOnce("[DeleteGroup(Main)]"));
    }
    testmachine::TempDir dir;
    m->save(dir.path.string());
    const std::string ini = testmachine::ReadFile(dir.path / "machine.ini");
    EXPECT_NE(std::string::npos, ini.find("[progman]\ngroup = Vestral\nitem = Vestral Monitor\n")) << ini;
    EXPECT_EQ(std::string::npos, ini.find("Main")) << ini;
    auto again = simwin::Machine::load(dir.path.string());
    ASSERT_TRUE(again->progman.present);
    ASSERT_EQ(1u, again->progman.groups.size());

    // With every group gone Program Manager still answers after a reload.
    {
        simwin::MachineScope scope(*again);
        EXPECT_TRUE(ExecuteOnce("[DeleteGroup(Vestral)]"));
    }
    testmachine::TempDir empty;
    again->save(empty.path.string());
    auto last = simwin::Machine::load(empty.path.string());
    EXPECT_TRUE(last->progman.present);
    EXPECT_TRUE(last->progman.groups.empty());
}

TEST(Progman, DeclarationErrorsNameTheProblem) {
    const std::pair<const char*, const char*> cases[] = {
        {"[progman]\ngroup = A\nitems = B\n", "unknown key 'items'"},
        {"[progman]\nitem = B\n", "items without a group"},
        {"[progman]\ngroup = A\n[progman]\ngroup = a\n", "declared twice"},
    };
    for (auto& c : cases) {
        try {
            Load(c.first);
            ADD_FAILURE() << c.first << ": loaded";
        } catch (const simwin::MachineError& e) {
            EXPECT_NE(std::string::npos, std::string(e.what()).find(c.second)) << e.what();
        }
    }
}
