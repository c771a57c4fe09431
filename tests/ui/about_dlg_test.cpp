// The About box: caption and notice from the string table, and the rows of its list: the program's
// version, the build stamp, the platform and the memory figures in full.
#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <string>
#include <vector>

#include "simwin/machine.h"
#include "support/list_view_text.h"
#include "ui/about_dlg.h"
#include "ui/dialog_base.h"

namespace {

typedef std::vector<std::string> Texts;

using listtext::Cell;
using listtext::Headers;

std::string StringResource(UINT id) {
    char text[512] = "";
    LoadStringA(NULL, id, text, sizeof text);
    return text;
}

std::string Kilobytes(SIZE_T bytes) { return std::to_string(static_cast<unsigned long long>(bytes >> 10)) + " kb"; }

enum Row { VERSION, BUILD_STAMP, PLATFORM, FREE_PHYSICAL, FREE_VIRTUAL, SWAP_FILE, ROW_COUNT };

class About : public ::testing::Test {
protected:
    explicit About(simwin::Platform platform = simwin::Platform::Nt) : machine(platform), scope(machine) {}
    ~About() override {
        if (window) DestroyWindow(window);
    }
    // Opens the About box without a modal loop.
    void Open() {
        window = CreateDialogParamA(NULL, MAKEINTRESOURCEA(IDD_ABOUT), NULL, StaticDialogProc,
                                    reinterpret_cast<LPARAM>(&about));
        ASSERT_NE(nullptr, window);
        list = GetDlgItem(window, IDC_ABOUT_LIST);
        ASSERT_NE(nullptr, list);
    }
    std::string Value(Row row) const { return Cell(list, row, 1); }

    simwin::Machine machine;
    simwin::MachineScope scope;
    CAboutDlg about;
    HWND window = NULL;
    HWND list = NULL;
};

class AboutOn9x : public About {
protected:
    AboutOn9x() : About(simwin::Platform::Win9x) {}
};

class AboutOnWin32s : public About {
protected:
    AboutOnWin32s() : About(simwin::Platform::Win32s) {}
};

TEST_F(About, ShowsTheStringTablesCaptionAndNotice) {
    Open();
    char text[512] = "";
    GetWindowTextA(window, text, sizeof text);
    EXPECT_EQ(StringResource(IDS_ABOUT_TITLE), text);
    EXPECT_NE("", std::string(text));
    GetDlgItemTextA(window, IDC_ABOUT_NOTICE, text, sizeof text);
    EXPECT_EQ(StringResource(IDS_LEGAL_NOTICE), text);
    EXPECT_NE("", std::string(text));
}

TEST_F(About, ListsSixLabelledRowsInTwoColumns) {
    Open();
    EXPECT_EQ((Texts{".", ".."}), Headers(list));
    EXPECT_EQ(2, about.columnCount);
    ASSERT_EQ(ROW_COUNT, SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    const Texts labels = {StringResource(IDS_ABOUT_VERSION), StringResource(IDS_ABOUT_BUILD_STAMP),
                          StringResource(IDS_ABOUT_PLATFORM), "Free Physical RAM", "Free Virtual RAM",
                          "Swap File Size"};
    for (int row = 0; row < ROW_COUNT; ++row) {
        EXPECT_NE("", labels[row]);
        EXPECT_EQ(labels[row], Cell(list, row, 0)) << row;
    }
}

TEST_F(About, VersionComesFromTheProgramsVersionResource) {
    Open();
    // FILEVERSION 1, 0, 0, 0 of korun04.rc.
    EXPECT_EQ("1.00.00.00", Value(VERSION));
}

// The program module without its VERSIONINFO for the lifetime of the object.
class VersionResourceHidden {
public:
    VersionResourceHidden() : saved(simwin::programResources().version.present) {
        simwin::programResources().version.present = false;
    }
    ~VersionResourceHidden() { simwin::programResources().version.present = saved; }

private:
    bool saved;
};

TEST_F(About, WithoutVersionInformationTheVersionStaysEmpty) {
    {
        VersionResourceHidden hidden;
        Open();
    }
    ASSERT_EQ(ROW_COUNT, SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    EXPECT_EQ(StringResource(IDS_ABOUT_VERSION), Cell(list, VERSION, 0));
    EXPECT_EQ("", Value(VERSION));
}

TEST_F(About, BuildStampHasTheCompilersDateAndTime) {
    Open();
    EXPECT_TRUE(std::regex_match(Value(BUILD_STAMP),
                                 std::regex("(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [ 123][0-9] "
                                            "[0-9]{4} [0-2][0-9]:[0-5][0-9]:[0-5][0-9]")))
        << Value(BUILD_STAMP);
}

TEST_F(About, PlatformNamesTheWindowsFamily) {
    Open();
    EXPECT_EQ("WinNT", Value(PLATFORM));
}

TEST_F(AboutOn9x, PlatformNamesTheWindowsFamily) {
    Open();
    EXPECT_EQ("Win9x", Value(PLATFORM));
}

TEST_F(AboutOnWin32s, PlatformNamesTheWindowsFamily) {
    Open();
    EXPECT_EQ("Win32s", Value(PLATFORM));
}

TEST_F(About, MemoryFiguresAreWholeKilobytesInFullWidth) {
    MEMORYSTATUS memory;
    std::memset(&memory, 0, sizeof memory);
    memory.dwLength = sizeof memory;
    GlobalMemoryStatus(&memory);
    // A 64-bit process: more free address space than 2^32 kilobytes, which a 32-bit count would wrap.
    ASSERT_GT(static_cast<unsigned long long>(memory.dwAvailVirtual >> 10), 0xFFFFFFFFull);
    Open();
    EXPECT_EQ(Kilobytes(memory.dwAvailPhys), Value(FREE_PHYSICAL));
    EXPECT_EQ(Kilobytes(memory.dwAvailVirtual), Value(FREE_VIRTUAL));
    EXPECT_EQ(Kilobytes(memory.dwTotalPageFile), Value(SWAP_FILE));
    EXPECT_TRUE(std::regex_match(Value(FREE_VIRTUAL), std::regex("[1-9][0-9]{9,} kb"))) << Value(FREE_VIRTUAL);
}

TEST_F(About, IsCentredOnTheDesktop) {
    Open();
    RECT desktop, own;
    ASSERT_TRUE(GetWindowRect(GetDesktopWindow(), &desktop));
    ASSERT_TRUE(GetWindowRect(window, &own));
    EXPECT_EQ(desktop.left + (desktop.right - desktop.left) / 2 - (own.right - own.left) / 2, own.left);
    EXPECT_EQ(desktop.top + (desktop.bottom - desktop.top) / 2 - (own.bottom - own.top) / 2, own.top);
}

TEST_F(About, OkEscapeAndExitEndItWithOne) {
    for (int control : {IDOK, IDCANCEL, IDC_EXIT}) {
        SCOPED_TRACE(control);
        Open();
        EXPECT_EQ(TRUE, about.DialogProc(WM_COMMAND, MAKELONG(control, BN_CLICKED), 0));
        const simwin::Window* w = machine.windows.find(window);
        ASSERT_NE(nullptr, w);
        EXPECT_TRUE(w->ended);
        EXPECT_EQ(1, w->result);
        DestroyWindow(window);
        window = NULL;
    }
    Open();
    EXPECT_EQ(FALSE, about.DialogProc(WM_COMMAND, MAKELONG(IDC_ABOUT_LIST, BN_CLICKED), 0));
    EXPECT_FALSE(machine.windows.find(window)->ended);
}

TEST_F(About, RunsModallyUntilThePersonPressesOk) {
    simwin::UserAction press;
    press.kind = simwin::UserAction::Press;
    press.target = "1";
    machine.windows.user.actions.push_back(press);
    EXPECT_EQ(1, DialogBoxParamA(NULL, MAKEINTRESOURCEA(IDD_ABOUT), NULL, StaticDialogProc,
                                 reinterpret_cast<LPARAM>(&about)));
    EXPECT_TRUE(machine.windows.user.actions.empty());

    CAboutDlg again;
    simwin::UserAction escape;
    escape.kind = simwin::UserAction::Key;
    escape.target = "escape";
    machine.windows.user.actions.push_back(escape);
    EXPECT_EQ(1, DialogBoxParamA(NULL, MAKEINTRESOURCEA(IDD_ABOUT), NULL, StaticDialogProc,
                                 reinterpret_cast<LPARAM>(&again)));
}

}  // namespace
