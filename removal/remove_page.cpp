// The removal page: its rows, their state images and fonts, and the directory lists of the removal.
#include "removal/remove_page.h"

#include <string.h>

#include "app/path_parts.h"

const CRemovePage::ProgressRow CRemovePage::rows[CRemovePage::ROW_COUNT] = {
    {IDC_ROW_LABEL_FIRST + 0, IDC_ROW_ICON_FIRST + 0, IDS_ROW_FIRST + 0},
    {IDC_ROW_LABEL_FIRST + 1, IDC_ROW_ICON_FIRST + 1, IDS_ROW_FIRST + 1},
    {IDC_ROW_LABEL_FIRST + 2, IDC_ROW_ICON_FIRST + 2, IDS_ROW_FIRST + 2},
    {IDC_ROW_LABEL_FIRST + 3, IDC_ROW_ICON_FIRST + 3, IDS_ROW_FIRST + 3},
    {IDC_ROW_LABEL_FIRST + 4, IDC_ROW_ICON_FIRST + 4, IDS_ROW_FIRST + 4},
    {IDC_ROW_LABEL_FIRST + 5, IDC_ROW_ICON_FIRST + 5, IDS_ROW_FIRST + 5},
    {IDC_ROW_LABEL_FIRST + 6, IDC_ROW_ICON_FIRST + 6, IDS_ROW_FIRST + 6},
    {IDC_ROW_LABEL_FIRST + 7, IDC_ROW_ICON_FIRST + 7, IDS_ROW_FIRST + 7},
    {IDC_ROW_LABEL_FIRST + 8, IDC_ROW_ICON_FIRST + 8, IDS_ROW_FIRST + 8},
};

namespace {

enum RowImageIndex { kPending = 0, kDone = 1, kCurrent = 2 };

// The directories of the removal: where files are deleted directly, and where they are searched for.
struct DirectoryRow {
    int locationCode;
    bool search;
    bool ntOnly;
};
const DirectoryRow kDirectoryRows[] = {
    {PRINTDRIVERDIR, true, false}, {SYSDIR, false, false},         {WINDIR, false, false},
    {PRINTPROCDIR, true, false},   {COLORDIR, false, false},       {INFDIR, true, false},
    {PRINTDRIVERDIR_W40, true, true}, {PRINTPROCDIR_W40, true, true},
};

}  // namespace

CRemovePage::CRemovePage()
    : database(NULL), normalFont(NULL), boldFont(NULL), savedCursor(NULL), waitCursor(NULL), pavaneProcess(NULL),
      stage(0), currentRow(0), progressActive(0), rowImages(NULL) {
    pavanePath[0] = 0;
    osVersion.Detect();
}

CRemovePage::~CRemovePage() {
    if (boldFont && boldFont != normalFont) DeleteObject(boldFont);
    directDirs.Clear();
    searchDirs.Clear();
    if (rowImages) ImageList_Destroy(rowImages);
    if (savedCursor) SetCursor(savedCursor);
}

INT_PTR CRemovePage::DialogProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog();
        return 1;
    case WM_SHOWWINDOW:
        if (wParam) ShowAllPending();
        return 0;
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_CTLCOLORSTATIC:
        return OnCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDC_EXIT) {
            EndDialog(hwnd, 1);
            return 1;
        }
        return 0;
    default:
        return 0;
    }
}

void CRemovePage::OnInitDialog() {
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(hwnd, GWLP_HINSTANCE));
    textResources.SetInstance(instance);
    // An old list that cannot be destroyed stays in use.
    if (!rowImages || ImageList_Destroy(rowImages)) {
        rowImages = ImageList_LoadImageA(instance, MAKEINTRESOURCEA(IDB_ROW_STATES), 16, 10, RGB(255, 0, 255),
                                         IMAGE_BITMAP, 0);
    }
    for (const ProgressRow& row : rows) textResources.SetDlgItemTextFromId(hwnd, row.labelId, row.textId);
    normalFont = boldFont = reinterpret_cast<HFONT>(SendMessageA(hwnd, WM_GETFONT, 0, 0));
    LOGFONTA font;
    if (normalFont && GetObjectA(normalFont, sizeof font, &font) == sizeof font) {
        font.lfWeight = FW_BOLD;
        font.lfQuality = PROOF_QUALITY;
        HFONT bold = CreateFontIndirectA(&font);
        if (bold) boldFont = bold;
    }
}

int CRemovePage::RowImage(int row) const {
    if (!progressActive || row > currentRow) return kPending;
    return row < currentRow ? kDone : kCurrent;
}

HFONT CRemovePage::RowFont(int row) const {
    return progressActive && row == currentRow ? boldFont : normalFont;
}

void CRemovePage::ShowRow(int row) {
    currentRow = row;
    progressActive = 1;
    RedrawWindow(hwnd, NULL, NULL, RDW_INVALIDATE | RDW_UPDATENOW);
    currentRow = row + 1;
}

void CRemovePage::ShowAllPending() {
    currentRow = 0;
    progressActive = 0;
    RedrawWindow(hwnd, NULL, NULL, RDW_INVALIDATE | RDW_UPDATENOW);
}

void CRemovePage::OnPaint() {
    for (int i = 0; i < ROW_COUNT; ++i) {
        HWND icon = GetDlgItem(hwnd, rows[i].iconId);
        HDC dc = GetDC(icon);
        SendDlgItemMessageA(hwnd, rows[i].labelId, WM_SETFONT, reinterpret_cast<WPARAM>(RowFont(i)), 0);
        if (rowImages && dc) ImageList_Draw(rowImages, RowImage(i), dc, 0, 0, ILD_NORMAL);
        if (dc) ReleaseDC(icon, dc);
    }
}

INT_PTR CRemovePage::OnCtlColorStatic(HDC dc, HWND control) {
    int id = GetDlgCtrlID(control);
    for (int i = 0; i < ROW_COUNT; ++i) {
        if (rows[i].iconId != id) continue;
        SendDlgItemMessageA(hwnd, rows[i].labelId, WM_SETFONT, reinterpret_cast<WPARAM>(RowFont(i)), 0);
        if (rowImages && dc) ImageList_Draw(rowImages, RowImage(i), dc, 0, 0, ILD_NORMAL);
        return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
    }
    return 0;
}

void CRemovePage::BuildDirectoryLists() {
    for (const DirectoryRow& row : kDirectoryRows) {
        if (row.ntOnly && !osVersion.IsWinNT()) continue;
        CPathParts where;
        where.Resolve(row.locationCode);
        CTextList& list = row.search ? searchDirs : directDirs;
        list.Add(where.FullPath());
        list.Sort();
        list.Unique();
    }
}

void CRemovePage::StartRemoval() {
    EnableWindow(GetDlgItem(GetParent(hwnd), IDC_UNINSTALL), FALSE);
    BuildDirectoryLists();
    stage = 0;
    currentRow = 0;
    progressActive = 0;
    ShowAllPending();
}
