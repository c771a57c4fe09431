// The fixture of the conformance tests. The same test sources are compiled for Windows (run on
// Windows or under Wine, against the real Win32) and for the host (against simwin): on the host
// every test runs on a fresh simulated machine of its own, made current for the test's lifetime.
// Tests derive their fixtures from ConformanceTest and use Win32 calls only.
#pragma once

// --- Resources of korun04_conformance.exe (tests/conformance/conformance.rc; windres reads this part) --------
#define IDD_CONF_SEQUENCE 900  // modal dialog: OK (default), Cancel, a static text; system menu
#define IDD_CONF_LIST 901      // modal dialog: list view and progress bar
#define IDD_CONF_BUTTONS 902   // modal dialog: check box, three auto radio buttons, push button
#define IDD_CONF_PAGE 903      // child dialog (WS_CHILD | DS_CONTROL) shown inside another dialog
#define IDD_CONF_CLASSED 904   // modal dialog of the window class CONF_DIALOG_CLASS (CLASS in the template)
#define IDD_CONF_LIST_PAGE 905 // child dialog (WS_CHILD | DS_CONTROL) holding a list view that takes Tab
#define IDM_CONF_MENU 950      // menu bar: "File" and "View" popups
#define IDB_CONF_IMAGES 960    // bitmap: three 16x16 images side by side on magenta (conformance_images.bmp)
#define IDS_CONF_TEXT 970      // string "Conformance"; 971 (same block of sixteen) is left empty

// A copy of the system dialog class "#32770" that the conformance tests register under this name.
#define CONF_DIALOG_CLASS "KorunConformanceDialog"

#define IDC_CONF_TEXT 1001
#define IDC_CONF_LIST 1002
#define IDC_CONF_PROGRESS 1003
#define IDC_CONF_CHECK 1004
#define IDC_CONF_RADIO1 1005
#define IDC_CONF_RADIO2 1006
#define IDC_CONF_RADIO3 1007
#define IDC_CONF_PUSH 1008
#define IDC_CONF_PAGE_CHECK 1009
#define IDC_CONF_PAGE_TEXT 1010
#define IDC_CONF_PAGE_LIST 1011

// Menu 950. "File": Open, separator, "Recent" popup (One), Exit (grayed). "View": Large, Small, List,
// Details (checked).
#define IDM_CONF_OPEN 9501
#define IDM_CONF_RECENT_ONE 9502
#define IDM_CONF_EXIT 9503
#define IDM_CONF_LARGE 9504
#define IDM_CONF_SMALL 9505
#define IDM_CONF_LIST 9506
#define IDM_CONF_DETAILS 9507

#ifndef RC_INVOKED
#include <gtest/gtest.h>

#include "base/platform.h"

#ifndef _WIN32
#include <fstream>
#include <sstream>

#include "simwin/machine.h"
#include "simwin/resource_set.h"
#include "support/test_paths.h"

// On the host the test program is the tool's program module: the dialogs, menus, strings and bitmaps of
// tests/conformance/conformance.rc join its resources for the test's lifetime. Its version resource does
// not: the program keeps the tool's own, whose fixed part, translation and FileVersion the tests check.
class ConformanceResources {
public:
    ConformanceResources() : saved_(simwin::programResources()) {
        std::map<std::string, std::string> files{{"conformance/conformance_env.h", read("conformance_env.h")},
                                                 {"conformance/conformance_images.bmp", read("conformance_images.bmp")}};
        simwin::ResourceSet extra = simwin::ResourceSet::parse(read("conformance.rc"), files);
        simwin::ResourceSet& program = simwin::programResources();
        program.dialogs.insert(program.dialogs.end(), extra.dialogs.begin(), extra.dialogs.end());
        program.menus.insert(program.menus.end(), extra.menus.begin(), extra.menus.end());
        program.bitmaps.insert(program.bitmaps.end(), extra.bitmaps.begin(), extra.bitmaps.end());
        for (const auto& [id, text] : extra.strings) program.strings[id] = text;
    }
    ~ConformanceResources() { simwin::programResources() = saved_; }
    ConformanceResources(const ConformanceResources&) = delete;
    ConformanceResources& operator=(const ConformanceResources&) = delete;

private:
    static std::string read(const std::string& name) {
        std::ifstream in(std::string(KORUN_SOURCE_DIR) + "/tests/conformance/" + name, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    simwin::ResourceSet saved_;
};
#endif

// Whether the tests run under Wine (it exports wine_get_version from ntdll; Windows and simwin do not), for
// the few answers where Wine differs and the difference is written beside the expectation.
inline bool UnderWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

class ConformanceTest : public ::testing::Test {
#ifndef _WIN32
private:
    simwin::Machine machine_;
    simwin::MachineScope scope_{machine_};
    ConformanceResources resources_;
#endif
};
#endif  // RC_INVOKED
