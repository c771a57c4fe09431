#include <gtest/gtest.h>

#include <string>

#include "app/main_dlg.h"
#include "simwin/machine.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandTail, int showCommand);

namespace {

const char kRunOnce[] = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const char kSpoolerError[] = "Error starting Spooler Service.";

// The tool's exit code; 3 when the interactive run waits for a user that nothing scripts.
int RunTool(const std::string& tail) {
    std::string buffer = tail;
    try {
        return WinMain(reinterpret_cast<HINSTANCE>(0x400000), nullptr, &buffer[0], SW_SHOWDEFAULT);
    } catch (const simwin::UserStop&) {
        return 3;
    }
}

class RestartSpoolerTest : public ::testing::Test {
protected:
    void SetUp() override {
        m.registry.setString(kRunOnce, "Lumica 900", "C:\\korun04.exe RestartSpooler");
        m.registry.setString(kRunOnce, "Other", "keep me");
    }
    simwin::Machine m;
    simwin::MachineScope scope{m};
};

TEST_F(RestartSpoolerTest, RestartsSpoolerAndDeletesOnlyTheRunOnceValue) {
    for (const char* keyword : {"RestartSpooler", "restartspooler", "RESTARTSPOOLER", "rEsTaRtSpOoLeR"}) {
        m.registry.setString(kRunOnce, "Lumica 900", "x");
        m.transcript.lines.clear();
        EXPECT_EQ(0, RunTool(keyword)) << keyword;
        EXPECT_FALSE(m.registry.hasValue(kRunOnce, "Lumica 900")) << keyword;
        EXPECT_TRUE(m.registry.hasValue(kRunOnce, "Other"));
        EXPECT_EQ("running", m.services.spoolerState());
        // The stop and the start both reached the service, in that order.
        ASSERT_EQ(2u, m.transcript.lines.size());
        EXPECT_EQ("service Spooler stopped", m.transcript.lines[0]);
        EXPECT_EQ("service Spooler started", m.transcript.lines[1]);
    }
    EXPECT_EQ(0u, m.handles.openCount());
}

TEST_F(RestartSpoolerTest, SpoolerThatWillNotStartIsReportedOnceAndTheValueStillGoes) {
    m.services.setSpoolerState("no-start");
    EXPECT_EQ(0, RunTool("RestartSpooler"));
    EXPECT_EQ(1u, m.transcript.count(kSpoolerError));
    EXPECT_EQ(1u, m.transcript.count("\"Fatal Error\""));
    EXPECT_FALSE(m.registry.hasValue(kRunOnce, "Lumica 900"));
    EXPECT_FALSE(m.services.find("Spooler")->running);
}

TEST_F(RestartSpoolerTest, StoppedSpoolerIsNotStartedAndNothingIsShown) {
    // The start follows only a successful stop.
    m.services.setSpoolerState("stopped");
    EXPECT_EQ(0, RunTool("RestartSpooler"));
    EXPECT_FALSE(m.services.find("Spooler")->running);
    EXPECT_EQ(0u, m.transcript.count(kSpoolerError));
    EXPECT_FALSE(m.registry.hasValue(kRunOnce, "Lumica 900"));
}

TEST_F(RestartSpoolerTest, MajorVersionFourOrLowerLeavesTheSpoolerAlone) {
    m.system.major = 4;
    m.system.minor = 0;
    EXPECT_EQ(0, RunTool("RestartSpooler"));
    EXPECT_TRUE(m.transcript.lines.empty());
    EXPECT_FALSE(m.registry.hasValue(kRunOnce, "Lumica 900"));
}

TEST(RestartSpooler, OnWindows9xOnlyTheValueIsDeleted) {
    simwin::Machine m(simwin::Platform::Win9x);
    simwin::MachineScope scope(m);
    m.registry.setString(kRunOnce, "Lumica 900", "x");
    EXPECT_EQ(0, RunTool("RestartSpooler"));
    EXPECT_TRUE(m.transcript.lines.empty());
    EXPECT_FALSE(m.registry.hasValue(kRunOnce, "Lumica 900"));
}

TEST(RestartSpooler, MissingValueAndUnopenableManagerAreSilent) {
    simwin::Machine m;
    simwin::MachineScope scope(m);
    m.system.admin = false;  // the service manager refuses full access
    EXPECT_EQ(0, RunTool("RestartSpooler"));
    EXPECT_TRUE(m.transcript.lines.empty());
    EXPECT_TRUE(m.services.find("Spooler")->running);
}

TEST(ModeDecision, KeywordWithMoreTextRunsTheInteractiveMode) {
    for (const char* tail : {"RestartSpooler now", "RestartSpooler ", "RestartSpoolerX", "-RestartSpooler", ""}) {
        simwin::Machine m;
        simwin::MachineScope scope(m);
        m.registry.setString(kRunOnce, "Lumica 900", "x");
        EXPECT_EQ(3, RunTool(tail)) << tail;  // the selection page waits for the user
        EXPECT_TRUE(m.registry.hasValue(kRunOnce, "Lumica 900")) << '"' << tail << '"';
        EXPECT_EQ(1u, m.transcript.count("dialog 115 shown")) << tail;
        // The interactive mode registered its window class.
        EXPECT_TRUE(m.windows.classes.count("VSTUninstallWindowClass__")) << tail;
    }
}

TEST(SecondInstance, RunningWindowIsActivatedAndTheNewProcessEndsWithZero) {
    simwin::Machine m;
    simwin::MachineScope scope(m);
    m.windows.add("Other", "", true);
    simwin::Window& first = m.windows.add("VSTUninstallWindowClass__", "Uninstall", true);
    HWND firstHwnd = first.hwnd;
    EXPECT_EQ(0, RunTool(""));
    simwin::Window* w = m.windows.find(firstHwnd);
    ASSERT_NE(nullptr, w);
    EXPECT_EQ(SW_SHOWDEFAULT, w->showCommand);
    EXPECT_EQ(firstHwnd, m.windows.foreground);
    EXPECT_EQ(firstHwnd, m.windows.zOrder.front());  // brought to the top
    // Nothing else happened: no class registered, no dialog, no message box.
    EXPECT_FALSE(m.windows.classes.count("VSTUninstallWindowClass__"));
    EXPECT_EQ(0u, m.transcript.count("dialog"));
    EXPECT_EQ(0u, m.transcript.count("message box"));
}

// What the running copy shows is what comes to the front: while it loads, its main window is hidden and
// the loading dialog it owns is shown (a message box of that dialog is owned by it in turn).
TEST(SecondInstance, WhatTheRunningCopyShowsComesToTheFront) {
    struct Case {
        const char* what;
        bool mainVisible;
        int popups;            // visible windows in a chain of owners below the main window
        bool hiddenPopup;      // one more, hidden, owned by the main window
        int expectedInChain;   // 0: the main window, n: the n-th popup of the chain
    };
    const Case cases[] = {
        {"the main window alone", true, 0, false, 0},
        {"loading: the main window hidden, the loading dialog shown", false, 1, false, 1},
        {"loading, with the loading dialog's message box", false, 2, false, 2},
        {"a hidden dialog of the main window is not shown", true, 0, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        simwin::Machine m;
        simwin::MachineScope scope(m);
        simwin::Window& main = m.windows.add("VSTUninstallWindowClass__", "Uninstall", true);
        if (!c.mainVisible) main.style &= ~WS_VISIBLE;
        std::vector<HWND> chain{main.hwnd};
        if (c.hiddenPopup) {
            simwin::Window& hidden = m.windows.add("#32770", "hidden", true);
            hidden.owner = main.hwnd;
            hidden.style &= ~WS_VISIBLE;
        }
        for (int i = 0; i < c.popups; ++i) {
            simwin::Window& popup = m.windows.add("#32770", "popup " + std::to_string(i), true);
            popup.owner = chain.back();
            chain.push_back(popup.hwnd);
        }
        m.windows.add("Other", "", true);  // on top of them all
        EXPECT_EQ(0, RunTool(""));
        const HWND expected = chain[c.expectedInChain];
        EXPECT_EQ(expected, m.windows.foreground);
        EXPECT_EQ(expected, m.windows.zOrder.front());
        // The hidden main window stays hidden behind what it shows.
        EXPECT_EQ(c.mainVisible || c.popups == 0, m.windows.find(main.hwnd)->visible());
        EXPECT_FALSE(m.windows.classes.count("VSTUninstallWindowClass__"));
    }
}

TEST(MainWindowClass, IsACopyOfTheDialogClassUnderTheToolsName) {
    simwin::Machine m;
    simwin::MachineScope scope(m);
    RunTool("");
    auto it = m.windows.classes.find("VSTUninstallWindowClass__");
    ASSERT_NE(m.windows.classes.end(), it);
    const simwin::WindowClass& dialog = m.windows.classes.at("#32770");
    EXPECT_EQ(dialog.style, it->second.style);
    EXPECT_EQ(dialog.wndExtra, it->second.wndExtra);
}

TEST(DefaultScriptPath, IsTheProgramDirectoryWithTheScriptName) {
    simwin::Machine m;
    simwin::MachineScope scope(m);
    m.system.program = "C:\\Program Files\\Vestral\\korun04.exe";
    EXPECT_EQ("C:\\Program Files\\Vestral\\Kunz__04.unm", CHost::Current().DefaultScriptPath());

    m.system.program = "\\\\server\\share\\tools\\korun04.exe";  // network path, no drive letter
    EXPECT_EQ("\\\\server\\share\\tools\\Kunz__04.unm", CHost::Current().DefaultScriptPath());
}

TEST(DefaultScriptPath, LongProgramPathIsCutTo255Characters) {
    simwin::Machine m;
    simwin::MachineScope scope(m);
    m.system.program = "C:\\" + std::string(240, 'd') + "\\korun04.exe";
    std::string path = CHost::Current().DefaultScriptPath();
    EXPECT_EQ(255u, path.size());
    EXPECT_EQ("C:\\" + std::string(240, 'd') + "\\Kunz__04.un", path);
}

}  // namespace
