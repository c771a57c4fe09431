// The diagnostic details dialog: the columns and rows of each category, the profile it shows for the
// selection and its caption, the check box, the directory variables, and how the list is refilled.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "script/database.h"
#include "simwin/machine.h"
#include "support/list_view_text.h"
#include "ui/dialog_base.h"
#include "ui/extra_info_dlg.h"

namespace {

typedef std::vector<std::string> Texts;
typedef std::vector<Texts> Rows;

const WORD kBnSetFocus = 6;  // a button notification other than BN_CLICKED

// What a person reads in a report-style list view: the column headers and every row's cells.
using listtext::Cell;
using listtext::Headers;

Rows Table(HWND list) {
    Rows out;
    int columns = static_cast<int>(Headers(list).size());
    int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        Texts cells;
        for (int column = 0; column < columns; ++column) cells.push_back(Cell(list, row, column));
        out.push_back(cells);
    }
    return out;
}

void Fill(CTextList& list, const Texts& items) {
    for (const std::string& item : items) list.Add(item.c_str());
}

// A database as the loading phase leaves it: two driver profiles, a manufacturer profile, the combined
// profile, and four printers: Office (X driver), Lab (Y driver), Hall (a Vestral driver without a profile
// of its own) and Other (a driver no script names).
class ExtraInfo : public ::testing::Test {
protected:
    ExtraInfo() : scope(machine) {
        CUninstallProfile x;
        CopyText(x.name, "Vestral X Driver");
        Fill(x.deleteIni, {"system.ini,Boot,vx.drv,old", "win.ini,Devices"});
        Fill(x.deleteLoadRun, {"Status Monitor,vststat.exe,extra"});
        Fill(x.unSelfRegister, {"vcommon.dll,DllUnregisterServer,1"});
        Fill(x.printProcessors, {"VXPrint"});
        Fill(x.monitors, {"Vestral Port, USB"});
        Fill(x.services, {"VXSpool"});
        Fill(x.hooks, {"pavhook.dll,Uninstall,Now"});
        Fill(x.files, {"vcommon.dll", "vxdrv.dll", "vxui.dll"});
        Fill(x.drivers, {"Vestral X Driver"});
        Fill(x.shortcuts, {"Vestral,Status,PROGRAMS,x"});
        Fill(x.registryKeys, {"HKCU,SOFTWARE\\VESTRAL\\X", "HKLM,SOFTWARE\\VESTRAL\\X,Path,1,old,keys"});
        database.AddProfile(x);

        CUninstallProfile y;
        CopyText(y.name, "Vestral Y Driver");
        Fill(y.files, {"vcommon.dll", "vydrv.dll"});
        Fill(y.drivers, {"Vestral Y Driver"});
        database.AddProfile(y);

        CUninstallProfile maker;
        CopyText(maker.name, "Vestral");
        maker.isManufacturer = 1;
        Fill(maker.files, {"vmfgres.dll"});
        database.AddProfile(maker);

        database.BuildCombinedProfile();
        AddPrinter("Office", "Vestral X Driver");
        AddPrinter("Lab", "Vestral Y Driver");
        AddPrinter("Hall", "Vestral Z Driver");
        AddPrinter("Other", "Acme Q");
    }
    ~ExtraInfo() override {
        if (window) DestroyWindow(window);
    }

    void AddPrinter(const char* name, const char* driver) {
        CPrinterEntry& p = database.printers.AddNew();
        CopyText(p.printerName, name);
        CopyText(p.driverName, driver);
        p.isFamily = 1;
        p.isListed = 1;
        p.isKept = 1;
    }
    // The selection page's part: the chosen printers marked for removal, the others kept.
    void Select(const std::set<std::string>& chosen) {
        for (CPrinterEntry& p : database.printers) p.isKept = chosen.count(p.printerName) ? 0 : 1;
        dialog.database = &database;
        dialog.selectedCount = static_cast<int>(chosen.size());
    }
    // Opens the dialog without a modal loop and shows it, so that its buttons can be clicked.
    void Open(const std::set<std::string>& chosen) {
        Select(chosen);
        window = CreateDialogParamA(NULL, MAKEINTRESOURCEA(IDD_EXTRA_INFO), NULL, StaticDialogProc,
                                    reinterpret_cast<LPARAM>(&dialog));
        ASSERT_NE(nullptr, window);
        ShowWindow(window, SW_SHOW);
    }
    // A click of a person on a button (an automatic check box or radio button changes its state first).
    void Click(int id) { SendMessageA(GetDlgItem(window, id), BM_CLICK, 0, 0); }
    HWND List() const { return GetDlgItem(window, IDC_EXTRA_LIST); }
    std::string Caption() const {
        char text[512] = "";
        GetWindowTextA(window, text, sizeof text);
        return text;
    }

    simwin::Machine machine;
    simwin::MachineScope scope;
    CUninstallDatabase database;
    CExtraInfoDlg dialog;
    HWND window = NULL;
};

TEST_F(ExtraInfo, OpensOnTheFirstCategoryOfTheRemoval) {
    Open({"Office"});
    EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(window, IDC_CATEGORY_DELETE_INI));
    EXPECT_EQ(BST_UNCHECKED, IsDlgButtonChecked(window, IDC_EXTRA_THIS_PROFILE));
    EXPECT_EQ(1, dialog.category);
    EXPECT_EQ(0, dialog.thisProfileOnly);
    EXPECT_EQ("Extra Info - Multiple Printers", Caption());
    EXPECT_EQ((Texts{"file", "section", "entry"}), Headers(List()));
    // The fourth part of an item is not shown; an item with one comma leaves the entry empty.
    EXPECT_EQ((Rows{{"system.ini", "Boot", "vx.drv"}, {"win.ini", "Devices", ""}}), Table(List()));
}

TEST_F(ExtraInfo, EachCategoryHasItsColumnsAndCutsItsItemsAtCommas) {
    Open({"Office"});
    const struct {
        int button;
        int category;
        Texts headers;
        Rows rows;
    } cases[] = {
        {IDC_CATEGORY_DELETE_LOAD_RUN, 2, {"Display", "File Name"}, {{"Status Monitor", "vststat.exe"}}},
        {IDC_CATEGORY_DRIVERS, 3, {"driver"}, {{"Vestral X Driver"}}},
        // vcommon.dll stays: Lab, which is kept, needs it.
        {IDC_CATEGORY_FILES, 4, {"file"}, {{"vxdrv.dll"}, {"vxui.dll"}}},
        {IDC_CATEGORY_HOOKS, 5, {"file", "export"}, {{"pavhook.dll", "Uninstall,Now"}}},
        {IDC_CATEGORY_MONITORS, 6, {"Monitor Name"}, {{"Vestral Port, USB"}}},
        {IDC_CATEGORY_REGISTRY, 7, {"Base Key", "Sub Key", "Value Name", "Deltree"},
         {{"HKCU", "SOFTWARE\\VESTRAL\\X", "", ""}, {"HKLM", "SOFTWARE\\VESTRAL\\X", "Path", "1,old,keys"}}},
        {IDC_CATEGORY_PRINT_PROCESSORS, 8, {"Print Processor Name"}, {{"VXPrint"}}},
        {IDC_CATEGORY_SERVICES, 9, {"NT Service Name"}, {{"VXSpool"}}},
        {IDC_CATEGORY_SHORTCUTS, 10, {"Program Group", "Shortcut Description", "Special Location"},
         {{"Vestral", "Status", "PROGRAMS,x"}}},
        {IDC_CATEGORY_UNSELF_REGISTER, 11, {"FileName", "Function Export"}, {{"vcommon.dll", "DllUnregisterServer,1"}}},
        {IDC_CATEGORY_DELETE_INI, 1, {"file", "section", "entry"},
         {{"system.ini", "Boot", "vx.drv"}, {"win.ini", "Devices", ""}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.button);
        Click(c.button);
        EXPECT_EQ(c.category, dialog.category);
        EXPECT_EQ(c.headers, Headers(List()));
        EXPECT_EQ(c.rows, Table(List()));
        EXPECT_EQ("Extra Info - Multiple Printers", Caption());
    }
}

TEST_F(ExtraInfo, AnEmptyListShowsOneEmptyRow) {
    Open({"Lab"});  // the Y driver's profile names only files and itself
    for (int button : {IDC_CATEGORY_SERVICES, IDC_CATEGORY_REGISTRY, IDC_CATEGORY_DELETE_INI}) {
        SCOPED_TRACE(button);
        Click(button);
        ASSERT_EQ(1, SendMessageA(List(), LVM_GETITEMCOUNT, 0, 0));
        EXPECT_EQ("(empty)", Cell(List(), 0, 0));
        for (size_t column = 1; column < Headers(List()).size(); ++column)
            EXPECT_EQ("", Cell(List(), 0, static_cast<int>(column)));
    }
    Click(IDC_CATEGORY_FILES);
    EXPECT_EQ((Rows{{"vydrv.dll"}}), Table(List()));
}

TEST_F(ExtraInfo, SeveralPrintersSelectedLeaveTheCheckBoxDisabled) {
    Open({"Office", "Lab"});
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, IDC_EXTRA_THIS_PROFILE)));
    EXPECT_EQ("Extra Info - Multiple Printers", Caption());
    Click(IDC_CATEGORY_FILES);
    // vcommon.dll goes now: no printer that stays needs it.
    const Rows removal{{"vcommon.dll"}, {"vxdrv.dll"}, {"vxui.dll"}, {"vydrv.dll"}};
    EXPECT_EQ(removal, Table(List()));

    // Even a checked box shows the removal while more than one printer is selected.
    CheckDlgButton(window, IDC_EXTRA_THIS_PROFILE, BST_CHECKED);
    SendMessageA(window, WM_COMMAND, MAKELONG(IDC_EXTRA_THIS_PROFILE, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, IDC_EXTRA_THIS_PROFILE)));
    EXPECT_EQ(0, dialog.thisProfileOnly);
    EXPECT_EQ("Extra Info - Multiple Printers", Caption());
    EXPECT_EQ(removal, Table(List()));
}

TEST_F(ExtraInfo, APrinterOfAnotherMakerIsNeverTheOneShown) {
    // Enumeration leaves a foreign printer unkept; it is never listed, so it is never the one selected.
    CPrinterEntry& plotter = database.printers.AddNew();
    CopyText(plotter.printerName, "Plotter");
    CopyText(plotter.driverName, "Acme Q");
    plotter.isForeign = 1;
    Open({"Office"});
    for (CPrinterEntry& p : database.printers)
        if (p.isForeign) p.isKept = 0;
    Click(IDC_EXTRA_THIS_PROFILE);
    EXPECT_EQ("Extra Info - Printer: Vestral X Driver", Caption());
}

TEST_F(ExtraInfo, OnePrinterWithTheBoxCheckedShowsItsDriversProfile) {
    Open({"Office"});
    ASSERT_TRUE(IsWindowEnabled(GetDlgItem(window, IDC_EXTRA_THIS_PROFILE)));
    Click(IDC_CATEGORY_FILES);
    Click(IDC_EXTRA_THIS_PROFILE);
    EXPECT_EQ(1, dialog.thisProfileOnly);
    EXPECT_EQ("Extra Info - Printer: Vestral X Driver", Caption());
    // The profile itself, with what a kept printer still needs.
    EXPECT_EQ((Rows{{"vcommon.dll"}, {"vxdrv.dll"}, {"vxui.dll"}}), Table(List()));
    Click(IDC_CATEGORY_REGISTRY);
    EXPECT_EQ("Extra Info - Printer: Vestral X Driver", Caption());
    EXPECT_EQ(2, SendMessageA(List(), LVM_GETITEMCOUNT, 0, 0));

    Click(IDC_EXTRA_THIS_PROFILE);  // unchecked again
    EXPECT_EQ(0, dialog.thisProfileOnly);
    EXPECT_EQ("Extra Info - Multiple Printers", Caption());
}

TEST_F(ExtraInfo, WithoutADriverProfileTheManufacturerProfileIsShown) {
    Open({"Hall"});
    Click(IDC_CATEGORY_FILES);
    Click(IDC_EXTRA_THIS_PROFILE);
    EXPECT_EQ("Extra Info - Mfg: Vestral", Caption());
    EXPECT_EQ((Rows{{"vmfgres.dll"}}), Table(List()));
}

TEST_F(ExtraInfo, ADriverNoScriptNamesShowsTheRemovalUnderAWarning) {
    Open({"Other"});
    Click(IDC_CATEGORY_FILES);
    Click(IDC_EXTRA_THIS_PROFILE);
    EXPECT_EQ(1, dialog.thisProfileOnly);
    EXPECT_EQ("Extra Info - EMPTY AND UNKNOWN SETTINGS!!!", Caption());
    ASSERT_EQ(1, SendMessageA(List(), LVM_GETITEMCOUNT, 0, 0));
    EXPECT_EQ("(empty)", Cell(List(), 0, 0));
}

TEST_F(ExtraInfo, ACaptionWithTheLongestProfileNameIsWhole) {
    const std::string name(TEXT_SIZE - 1, 'N');
    CUninstallProfile longName;
    CopyText(longName.name, name.c_str());
    longName.files.Add("long.dll");
    database.AddProfile(longName);
    database.BuildCombinedProfile();
    CPrinterEntry& printer = database.printers.AddNew();
    CopyText(printer.printerName, "Long");
    CopyText(printer.driverName, name.c_str());
    Open({"Long"});
    Click(IDC_EXTRA_THIS_PROFILE);
    EXPECT_EQ("Extra Info - Printer: " + name, Caption());
}

TEST_F(ExtraInfo, DirectoriesListTheSevenVariablesWithTheirDirectories) {
    Open({"Office"});
    Click(IDC_CATEGORY_DIRECTORIES);
    EXPECT_EQ(12, dialog.category);
    EXPECT_EQ((Texts{"Dir Variable", "Dir Location"}), Headers(List()));
    const std::string spool = "C:\\Windows\\System32\\spool\\";
    EXPECT_EQ((Rows{{"WINDIR", "C:\\Windows\\"},
                    {"SYSDIR", "C:\\Windows\\System32\\"},
                    {"COLORDIR", spool + "drivers\\color\\"},
                    {"PRINTPROCDIR", spool + "prtprocs\\x64\\"},
                    {"PRINTPROCDIR_W40", spool + "prtprocs\\x64\\"},
                    {"PRINTDRIVERDIR", spool + "drivers\\x64\\"},
                    {"PRINTDRIVERDIR_W40", spool + "drivers\\WIN40\\"}}),
              Table(List()));
    // The profile choice does not change the directories.
    Click(IDC_EXTRA_THIS_PROFILE);
    EXPECT_EQ("Extra Info - Printer: Vestral X Driver", Caption());
    EXPECT_EQ(7, SendMessageA(List(), LVM_GETITEMCOUNT, 0, 0));
}

TEST_F(ExtraInfo, EveryFillSelectsAgainFromThePrinterFlags) {
    Open({"Office"});
    Click(IDC_CATEGORY_FILES);
    EXPECT_EQ((Rows{{"vxdrv.dll"}, {"vxui.dll"}}), Table(List()));
    // The flags change behind the open dialog: the next fill follows them.
    for (CPrinterEntry& p : database.printers) p.isKept = p.printerName != "Lab";
    Click(IDC_CATEGORY_DRIVERS);
    EXPECT_EQ((Rows{{"Vestral Y Driver"}}), Table(List()));
    EXPECT_EQ(1, database.removingCount);
    EXPECT_EQ(3, database.remainingCount);
}

// A recording of the list view's messages while the dialog fills it.
struct ListCall {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    int columnWidth;   // LVM_INSERTCOLUMNA
    int columnFormat;  // LVM_INSERTCOLUMNA
    HCURSOR cursor;    // the cursor at the time
};
std::vector<ListCall> recorded;
WNDPROC listProc = nullptr;

LRESULT CALLBACK RecordingListProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == LVM_DELETECOLUMN || message == LVM_DELETEALLITEMS || message == LVM_INSERTCOLUMNA ||
        message == LVM_INSERTITEMA || message == LVM_SETCOLUMNWIDTH) {
        ListCall call{message, wParam, lParam, 0, -1, GetCursor()};
        if (message == LVM_INSERTCOLUMNA) {
            const LVCOLUMNA* column = reinterpret_cast<const LVCOLUMNA*>(lParam);
            call.columnWidth = column->cx;
            call.columnFormat = column->fmt;
        }
        recorded.push_back(call);
    }
    return CallWindowProcA(listProc, hwnd, message, wParam, lParam);
}

TEST_F(ExtraInfo, AFillReplacesTheColumnsUnderTheWaitCursor) {
    Open({"Office"});  // category 1: three columns, two rows
    listProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(List(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordingListProc)));
    ASSERT_NE(nullptr, listProc);
    HCURSOR arrow = LoadCursorA(NULL, IDC_ARROW);
    HCURSOR wait = LoadCursorA(NULL, IDC_WAIT);
    SetCursor(arrow);
    recorded.clear();
    Click(IDC_CATEGORY_HOOKS);  // two columns, one row
    std::vector<ListCall> calls = recorded;
    SetWindowLongPtrA(List(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(listProc));

    const struct {
        UINT message;
        WPARAM wParam;
    } expected[] = {
        {LVM_DELETECOLUMN, 0}, {LVM_DELETECOLUMN, 0},   {LVM_DELETECOLUMN, 0},   {LVM_DELETEALLITEMS, 0},
        {LVM_INSERTCOLUMNA, 0}, {LVM_INSERTCOLUMNA, 1}, {LVM_INSERTITEMA, 0},    {LVM_SETCOLUMNWIDTH, 0},
        {LVM_SETCOLUMNWIDTH, 1},
    };
    ASSERT_EQ(sizeof expected / sizeof expected[0], calls.size());
    for (size_t i = 0; i < calls.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(expected[i].message, calls[i].message);
        EXPECT_EQ(expected[i].wParam, calls[i].wParam);
        EXPECT_EQ(wait, calls[i].cursor);
        if (calls[i].message == LVM_INSERTCOLUMNA) {
            EXPECT_EQ(200, calls[i].columnWidth);
            EXPECT_EQ(LVCFMT_LEFT, calls[i].columnFormat);
        }
        if (calls[i].message == LVM_SETCOLUMNWIDTH) {
            EXPECT_EQ(static_cast<WORD>(LVSCW_AUTOSIZE_USEHEADER), LOWORD(calls[i].lParam));
        }
    }
    EXPECT_EQ(arrow, GetCursor());
    EXPECT_EQ(2, dialog.columnCount);
}

TEST_F(ExtraInfo, CommandsThatAreNotClicksOrCloseChangeNothing) {
    Open({"Office"});
    EXPECT_EQ(FALSE, dialog.DialogProc(WM_COMMAND, MAKELONG(IDC_CATEGORY_REGISTRY, kBnSetFocus), 0));
    EXPECT_EQ(1, dialog.category);
    EXPECT_EQ((Texts{"file", "section", "entry"}), Headers(List()));
    EXPECT_EQ(FALSE, dialog.DialogProc(WM_COMMAND, MAKELONG(IDC_CATEGORY_REGISTRY, BN_CLICKED), 0));
    EXPECT_EQ(7, dialog.category);
    EXPECT_EQ(FALSE, dialog.DialogProc(WM_COMMAND, MAKELONG(IDC_EXTRA_LIST, BN_CLICKED), 0));
    EXPECT_EQ(7, dialog.category);
    EXPECT_EQ(FALSE, dialog.DialogProc(WM_TIMER, 1, 0));
    EXPECT_FALSE(machine.windows.find(window)->ended);
}

TEST_F(ExtraInfo, CloseEscapeAndExitEndTheDialogWithOne) {
    for (int control : {IDOK, IDCANCEL, IDC_EXIT}) {
        SCOPED_TRACE(control);
        Open({"Office"});
        EXPECT_EQ(TRUE, dialog.DialogProc(WM_COMMAND, MAKELONG(control, BN_CLICKED), 0));
        const simwin::Window* w = machine.windows.find(window);
        ASSERT_NE(nullptr, w);
        EXPECT_TRUE(w->ended);
        EXPECT_EQ(1, w->result);
        DestroyWindow(window);
        window = NULL;
    }
}

TEST_F(ExtraInfo, RunsModallyUntilThePersonCloses) {
    Select({"Office"});
    simwin::UserAction press;
    press.kind = simwin::UserAction::Press;
    press.target = "1103";
    machine.windows.user.actions.push_back(press);
    press.target = "1017";
    machine.windows.user.actions.push_back(press);
    press.target = "1";
    machine.windows.user.actions.push_back(press);
    EXPECT_EQ(1, DialogBoxParamA(NULL, MAKEINTRESOURCEA(IDD_EXTRA_INFO), NULL, StaticDialogProc,
                                 reinterpret_cast<LPARAM>(&dialog)));
    EXPECT_EQ(7, dialog.category);
    EXPECT_EQ(1, dialog.thisProfileOnly);
    EXPECT_TRUE(machine.windows.user.actions.empty());

    CExtraInfoDlg again;
    again.database = &database;
    again.selectedCount = 1;
    simwin::UserAction escape;
    escape.kind = simwin::UserAction::Key;
    escape.target = "escape";
    machine.windows.user.actions.push_back(escape);
    EXPECT_EQ(1, DialogBoxParamA(NULL, MAKEINTRESOURCEA(IDD_EXTRA_INFO), NULL, StaticDialogProc,
                                 reinterpret_cast<LPARAM>(&again)));
    EXPECT_EQ(1, again.category);
    EXPECT_EQ(0, again.thisProfileOnly);
}

TEST_F(ExtraInfo, TwoSelectedPrintersGiveNoCheckBoxToPress) {
    Select({"Office", "Lab"});
    simwin::UserAction press;
    press.kind = simwin::UserAction::Press;
    press.target = "1017";
    machine.windows.user.actions.push_back(press);
    EXPECT_THROW(DialogBoxParamA(NULL, MAKEINTRESOURCEA(IDD_EXTRA_INFO), NULL, StaticDialogProc,
                                 reinterpret_cast<LPARAM>(&dialog)),
                 simwin::UserStop);
    EXPECT_EQ(0, dialog.thisProfileOnly);
}

TEST_F(ExtraInfo, WithoutADatabaseEveryCategoryIsEmpty) {
    window = CreateDialogParamA(NULL, MAKEINTRESOURCEA(IDD_EXTRA_INFO), NULL, StaticDialogProc,
                                reinterpret_cast<LPARAM>(&dialog));
    ASSERT_NE(nullptr, window);
    EXPECT_EQ("Extra Info - Multiple Printers", Caption());
    EXPECT_EQ((Rows{{"(empty)", "", ""}}), Table(List()));
}

}  // namespace
