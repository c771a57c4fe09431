// The diagnostic details dialog: one category at a time of what the uninstall would remove for the
// printers selected, or of the one selected printer's own profile, and the directories behind the
// directory variables.
#include "ui/extra_info_dlg.h"

#include "ui/list_view.h"

#include <stdio.h>
#include <string.h>

#include "base/path_parts.h"

namespace {

const int kColumnWidth = 200;
const int kMaxColumns = 4;
const int kCaptionSize = 320;  // the longest prefix and a profile name of 259 characters

// One category button: the profile list it shows and how its items are cut into columns. Each column but
// the last takes the text up to the next comma; the last one takes everything left when lastTakesRest is
// set, else only up to the next comma too (what follows is not shown).
struct Category {
    int button;
    CTextList CUninstallProfile::*list;  // none: the directory variables
    int columnCount;
    const char* columns[kMaxColumns];
    bool lastTakesRest;
};

const Category kCategories[] = {
    {IDC_CATEGORY_DELETE_INI, &CUninstallProfile::deleteIni, 3, {"file", "section", "entry"}, false},
    {IDC_CATEGORY_DELETE_LOAD_RUN, &CUninstallProfile::deleteLoadRun, 2, {"Display", "File Name"}, false},
    {IDC_CATEGORY_DRIVERS, &CUninstallProfile::drivers, 1, {"driver"}, true},
    {IDC_CATEGORY_FILES, &CUninstallProfile::files, 1, {"file"}, true},
    {IDC_CATEGORY_HOOKS, &CUninstallProfile::hooks, 2, {"file", "export"}, true},
    {IDC_CATEGORY_MONITORS, &CUninstallProfile::monitors, 1, {"Monitor Name"}, true},
    {IDC_CATEGORY_REGISTRY, &CUninstallProfile::registryKeys, 4, {"Base Key", "Sub Key", "Value Name", "Deltree"}, true},
    {IDC_CATEGORY_PRINT_PROCESSORS, &CUninstallProfile::printProcessors, 1, {"Print Processor Name"}, true},
    {IDC_CATEGORY_SERVICES, &CUninstallProfile::services, 1, {"NT Service Name"}, true},
    {IDC_CATEGORY_SHORTCUTS, &CUninstallProfile::shortcuts, 3,
     {"Program Group", "Shortcut Description", "Special Location"}, true},
    {IDC_CATEGORY_UNSELF_REGISTER, &CUninstallProfile::unSelfRegister, 2, {"FileName", "Function Export"}, true},
    {IDC_CATEGORY_DIRECTORIES, NULL, 2, {"Dir Variable", "Dir Location"}, true},
};
const int kCategoryCount = sizeof kCategories / sizeof kCategories[0];

struct DirectoryVariable {
    const char* name;
    int location;
};

const DirectoryVariable kDirectoryVariables[] = {
    {"WINDIR", WINDIR},
    {"SYSDIR", SYSDIR},
    {"COLORDIR", COLORDIR},
    {"PRINTPROCDIR", PRINTPROCDIR},
    {"PRINTPROCDIR_W40", PRINTPROCDIR_W40},
    {"PRINTDRIVERDIR", PRINTDRIVERDIR},
    {"PRINTDRIVERDIR_W40", PRINTDRIVERDIR_W40},
};

// The category number (1 to 12) of a button, or 0.
int CategoryOfButton(int button) {
    for (int i = 0; i < kCategoryCount; ++i)
        if (kCategories[i].button == button) return i + 1;
    return 0;
}

// Copies the text of item up to the next comma (or its end) into cell and returns what follows that comma;
// the end of the text when there is none, so that a missing part leaves its cell empty.
const char* CutAtComma(char* cell, const char* item) {
    const char* comma = strchr(item, ',');
    size_t length = comma ? static_cast<size_t>(comma - item) : strlen(item);
    if (length >= TEXT_SIZE) length = TEXT_SIZE - 1;
    memcpy(cell, item, length);
    cell[length] = 0;
    return comma ? comma + 1 : item + strlen(item);
}

// The table entry of a category number; an out-of-range number is taken as the first category.
const Category& CategoryEntry(int number) {
    return kCategories[(number >= 1 && number <= kCategoryCount ? number : 1) - 1];
}

void SplitItem(const Category& category, const char* item, char cells[][TEXT_SIZE]) {
    const char* rest = item;
    for (int column = 0; column < category.columnCount; ++column) {
        if (column == category.columnCount - 1 && category.lastTakesRest) {
            snprintf(cells[column], TEXT_SIZE, "%s", rest);
        } else {
            rest = CutAtComma(cells[column], rest);
        }
    }
}

}  // namespace

CExtraInfoDlg::CExtraInfoDlg()
    : database(NULL), selectedCount(0), listView(NULL), columnCount(0), thisProfileOnly(0), category(1) {}

INT_PTR CExtraInfoDlg::DialogProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog();
        return TRUE;
    case WM_COMMAND:
        return OnCommand(wParam);
    default:
        return FALSE;
    }
}

void CExtraInfoDlg::OnInitDialog() {
    listView = GetDlgItem(hwnd, IDC_EXTRA_LIST);
    CheckRadioButton(hwnd, IDC_CATEGORY_DELETE_INI, IDC_CATEGORY_DIRECTORIES, IDC_CATEGORY_DELETE_INI);
    Fill();
    // Only one printer has a profile of its own to show.
    EnableWindow(GetDlgItem(hwnd, IDC_EXTRA_THIS_PROFILE), selectedCount == 1);
    CenterWindow(hwnd, GetDesktopWindow());
}

INT_PTR CExtraInfoDlg::OnCommand(WPARAM wParam) {
    int control = LOWORD(wParam);
    switch (control) {
    case IDOK:
    case IDCANCEL:
    case IDC_EXIT:
        EndDialog(hwnd, 1);
        return TRUE;
    case IDC_EXTRA_THIS_PROFILE:
        thisProfileOnly = IsDlgButtonChecked(hwnd, IDC_EXTRA_THIS_PROFILE) == BST_CHECKED && selectedCount == 1;
        Fill();
        return FALSE;
    }
    int chosen = CategoryOfButton(control);
    if (chosen && HIWORD(wParam) == BN_CLICKED) {
        category = chosen;
        Fill();
    }
    return FALSE;
}

void CExtraInfoDlg::Fill() {
    HCURSOR previous = SetCursor(LoadCursorA(NULL, IDC_WAIT));
    DeleteAllColumns();
    if (database) database->SelectForRemoval();
    if (listView) SendMessageA(listView, LVM_DELETEALLITEMS, 0, 0);

    CUninstallProfile scratch;
    char caption[kCaptionSize];
    const CUninstallProfile& shown = ChooseProfile(scratch, caption, sizeof caption);
    SetWindowTextA(hwnd, caption);

    const Category& current = CategoryEntry(category);
    for (int column = 0; column < current.columnCount; ++column) InsertColumn(column, current.columns[column]);
    if (current.list)
        ListItems(shown.*current.list);
    else
        ListDirectories();

    AutoSizeListColumns(listView, columnCount);
    scratch.Clear();
    SetCursor(previous);
}

const CUninstallProfile& CExtraInfoDlg::ChooseProfile(CUninstallProfile& scratch, char* caption, size_t size) {
    static const CUninstallProfile kNothing;
    const CUninstallProfile& removal = database ? database->removal : kNothing;
    if (!thisProfileOnly || !database) {
        snprintf(caption, size, "%s", "Extra Info - Multiple Printers");
        return removal;
    }
    // The printer to be removed: with the flag set exactly one was selected; of several the last one wins.
    // A printer of another maker (never listed, never kept) or one already gone is never to be removed.
    const char* driverName = "";
    for (const CPrinterEntry& printer : database->printers)
        if (!printer.isKept && !printer.isForeign && !printer.isDeleted) driverName = printer.driverName.c_str();
    if (database->FindProfile(scratch, driverName)) {
        snprintf(caption, size, "Extra Info - Printer: %s", scratch.name.c_str());
        return scratch;
    }
    if (database->FindManufacturerProfile(scratch, driverName)) {
        snprintf(caption, size, "Extra Info - Mfg: %s", scratch.name.c_str());
        return scratch;
    }
    snprintf(caption, size, "%s", "Extra Info - EMPTY AND UNKNOWN SETTINGS!!!");
    return removal;
}

void CExtraInfoDlg::ListItems(const CTextList& items) {
    const Category& current = CategoryEntry(category);
    if (items.IsEmpty()) {
        const char* empty[1] = {"(empty)"};
        InsertRow(empty, 1);
        return;
    }
    char cells[kMaxColumns][TEXT_SIZE];
    const char* texts[kMaxColumns];
    for (const CTextItem& item : items) {
        SplitItem(current, item, cells);
        for (int column = 0; column < current.columnCount; ++column) texts[column] = cells[column];
        InsertRow(texts, current.columnCount);
    }
}

void CExtraInfoDlg::ListDirectories() {
    for (const DirectoryVariable& variable : kDirectoryVariables) {
        CPathParts where;
        where.Resolve(variable.location);
        const char* texts[2] = {variable.name, where.DirectoryPath()};
        InsertRow(texts, 2);
    }
}

void CExtraInfoDlg::DeleteAllColumns() {
    if (!listView) return;
    while (columnCount >= 1 && SendMessageA(listView, LVM_DELETECOLUMN, 0, 0)) --columnCount;
}

void CExtraInfoDlg::InsertColumn(int index, const char* header) {
    if (InsertListColumn(listView, index, header, kColumnWidth) >= 0) ++columnCount;
}

void CExtraInfoDlg::InsertRow(const char* const* cells, int count) { AppendListRow(listView, cells, count); }
