// The selection page: the list of selectable printers with its columns and images, the context menu, and
// the recording of the user's choice into the printer entries.
#include "ui/select_page.h"

#include <string.h>

#include <set>
#include <string>
#include <vector>

#include "ui/extra_info_dlg.h"
#include "ui/list_view.h"

namespace {

struct Column {
    UINT headerId;
};
const Column kColumns[] = {{IDS_COLUMN_NAME},     {IDS_COLUMN_DRIVER}, {IDS_COLUMN_LOCATION},
                           {IDS_COLUMN_DEFAULT},  {IDS_COLUMN_FAMILY}, {IDS_COLUMN_MASKED_NAME}};
const int kColumnCount = sizeof kColumns / sizeof kColumns[0];
const int kColumnWidth = 100;

bool IsSelectable(const CPrinterEntry& p) { return !p.isForeign && !p.isDeleted && p.isListed; }



// The item image: 1 for the default printer, plus 2 for a printer on another machine, plus 4 for a printer
// masked by Pavane.
int ImageOf(const CPrinterEntry& p) {
    return (p.isDefault ? 1 : 0) + (p.location.empty() ? 0 : 2) + (p.pavedName.empty() ? 0 : 4);
}

// Sets the wait cursor for its lifetime and restores the previous one after.
class WaitCursor {
public:
    WaitCursor() : previous_(SetCursor(LoadCursorA(NULL, IDC_WAIT))) {}
    ~WaitCursor() { SetCursor(previous_); }

private:
    HCURSOR previous_;
};

}  // namespace

CSelectPage::CSelectPage()
    : database(NULL), listView(NULL), smallImages(NULL), largeImages(NULL), contextMenu(NULL), viewMenu(NULL),
      isVisible(0), selectedCount(0) {}

CSelectPage::~CSelectPage() {
    if (smallImages) ImageList_Destroy(smallImages);
    if (largeImages) ImageList_Destroy(largeImages);
    if (contextMenu) DestroyMenu(contextMenu);
}

INT_PTR CSelectPage::DialogProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_SHOWWINDOW:
        isVisible = static_cast<int>(wParam);
        return 0;
    case WM_NOTIFY:
        OnNotify(wParam, reinterpret_cast<const NMHDR*>(lParam));
        return 0;
    case WM_CONTEXTMENU:
        return OnContextMenu(reinterpret_cast<HWND>(wParam), lParam) ? 1 : 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDC_EXIT) {
            EndDialog(hwnd, 1);
            return 1;
        }
        OnCommand(LOWORD(wParam));
        return 0;
    default:
        return 0;
    }
}

void CSelectPage::Show(int flag) { ShowWindow(hwnd, flag ? SW_SHOW : SW_HIDE); }

INT_PTR CSelectPage::OnInitDialog() {
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(hwnd, GWLP_HINSTANCE));
    textResources.SetInstance(instance);
    listView = GetDlgItem(hwnd, IDC_PRINTER_LIST);

    for (int i = 0; i < kColumnCount; ++i)
        InsertListColumn(listView, i, textResources.GetString(kColumns[i].headerId), kColumnWidth);

    SendMessageA(listView, LVM_DELETEALLITEMS, 0, 0);
    LVITEMA placeholder;
    memset(&placeholder, 0, sizeof placeholder);
    placeholder.mask = LVIF_TEXT | LVIF_PARAM;
    placeholder.pszText = const_cast<LPSTR>(textResources.GetString(IDS_LOADING_PLACEHOLDER));
    SendMessageA(listView, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&placeholder));

    if (smallImages) ImageList_Destroy(smallImages);
    if (largeImages) ImageList_Destroy(largeImages);
    smallImages = ImageList_LoadImageA(instance, MAKEINTRESOURCEA(IDB_SMALL_PRINTERS), 18, 10, RGB(255, 0, 255),
                                       IMAGE_BITMAP, 0);
    largeImages = ImageList_LoadImageA(instance, MAKEINTRESOURCEA(IDB_LARGE_PRINTERS), 32, 10, RGB(255, 0, 255),
                                       IMAGE_BITMAP, 0);
    SendMessageA(listView, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(smallImages));
    SendMessageA(listView, LVM_SETIMAGELIST, LVSIL_NORMAL, reinterpret_cast<LPARAM>(largeImages));

    if (listView)
        SetWindowLongPtrA(listView, GWL_STYLE, GetWindowLongPtrA(listView, GWL_STYLE) | LVS_SHOWSELALWAYS);

    textResources.SetDlgItemTextFromId(hwnd, IDC_SELECT_CAPTION, IDS_SELECT_CAPTION);
    textResources.SetDlgItemTextFromId(hwnd, IDC_SELECT_WARNING, IDS_SELECT_WARNING);
    return 1;
}

void CSelectPage::SetView(DWORD view) {
    if (!listView) return;
    LONG_PTR style = GetWindowLongPtrA(listView, GWL_STYLE);
    if ((style & LVS_TYPEMASK) == static_cast<LONG_PTR>(view)) return;
    SetWindowLongPtrA(listView, GWL_STYLE, (style & ~static_cast<LONG_PTR>(LVS_TYPEMASK)) | view);
    // The new view is laid out and painted at once: Wine's list view (and its column header) would show the
    // old picture until the window is uncovered.
    SetWindowPos(listView, NULL, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    RedrawWindow(listView, NULL, NULL, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void CSelectPage::FillPrinterList() {
    WaitCursor wait;
    if (!listView) return;
    SetView(LVS_REPORT);
    SendMessageA(listView, LVM_DELETEALLITEMS, 0, 0);
    if (database->ListedPrinterCount() == 0) return;

    int position = 0;
    std::set<std::string> shown;  // each printer is listed once
    for (const CPrinterEntry& p : database->printers) {
        const int i = position++;
        if (!IsSelectable(p) || !shown.insert(TextKey(p.printerName.c_str())).second) continue;
        LVITEMA item;
        memset(&item, 0, sizeof item);
        item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
        item.iItem = i;
        item.pszText = const_cast<LPSTR>(p.printerName.c_str());
        item.iImage = ImageOf(p);
        item.lParam = i;
        int index = static_cast<int>(SendMessageA(listView, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
        const char* cells[kColumnCount] = {
            NULL,
            p.driverName.c_str(),
            p.location.empty() ? textResources.GetString(IDS_LOCAL) : p.location.c_str(),
            textResources.GetString(p.isDefault ? IDS_YES : IDS_NO),
            textResources.GetString(p.isFamily ? IDS_YES : IDS_NO),
            p.pavedName.empty() ? textResources.GetString(IDS_NOT_APPLICABLE) : p.pavedName.c_str(),
        };
        for (int column = 1; column < kColumnCount; ++column) SetListCellText(listView, index, column, cells[column]);
    }
    AutoSizeListColumns(listView, kColumnCount);
    SetView(LVS_LIST);

    SetFocus(listView);
    LVITEMA focus;
    memset(&focus, 0, sizeof focus);
    focus.stateMask = LVIS_FOCUSED;
    focus.state = LVIS_FOCUSED;
    SendMessageA(listView, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&focus));
    SendMessageA(GetParent(hwnd), UM_ENABLE_UNINSTALL, 0, 0);
}

void CSelectPage::ApplySelection() {
    selectedCount = 0;
    if (!listView) return;
    // The item data is the printer's position in the list. A printer is chosen when its item is selected,
    // and the choice reaches every entry of that name, however long the name.
    std::set<std::string> listed, chosen;  // lower-cased printer names
    std::vector<const CPrinterEntry*> byPosition;  // the list is linked: one walk instead of one per item
    for (const CPrinterEntry& p : database->printers) byPosition.push_back(&p);
    int count = static_cast<int>(SendMessageA(listView, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        LVITEMA item;
        memset(&item, 0, sizeof item);
        item.mask = LVIF_PARAM;
        item.iItem = i;
        if (!SendMessageA(listView, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) continue;
        const size_t position = static_cast<size_t>(item.lParam);
        const CPrinterEntry* entry = position < byPosition.size() ? byPosition[position] : nullptr;
        if (!entry || !IsSelectable(*entry)) continue;
        listed.insert(TextKey(entry->printerName.c_str()));
        if (SendMessageA(listView, LVM_GETITEMSTATE, static_cast<WPARAM>(i), LVIS_SELECTED) & LVIS_SELECTED) {
            chosen.insert(TextKey(entry->printerName.c_str()));
            ++selectedCount;
        }
    }
    for (CPrinterEntry& p : database->printers) {
        if (!IsSelectable(p)) continue;
        std::string name = TextKey(p.printerName.c_str());
        if (listed.count(name)) p.isKept = chosen.count(name) ? 0 : 1;
    }
}

void CSelectPage::OnNotify(WPARAM controlId, const NMHDR* notification) {
    if (controlId != IDC_PRINTER_LIST || !notification) return;
    if (notification->code == LVN_ITEMCHANGED) {
        // Uninstall follows the selection both ways: with nothing selected there is nothing to remove.
        const bool selected = SendMessageA(listView, LVM_GETSELECTEDCOUNT, 0, 0) > 0;
        SendMessageA(GetParent(hwnd), UM_ENABLE_UNINSTALL, selected ? 1 : 0, 0);
    } else if (notification->code == NM_RCLICK) {
        DWORD position = GetMessagePos();
        ShowContextMenu(static_cast<SHORT>(LOWORD(position)), static_cast<SHORT>(HIWORD(position)));
    }
}

void CSelectPage::ShowContextMenu(int x, int y) {
    PrepareContextMenu();
    TrackPopupMenu(viewMenu, TPM_RIGHTBUTTON, x, y, 0, hwnd, NULL);
}

bool CSelectPage::OnContextMenu(HWND from, LPARAM point) {
    // Only the keyboard's request (Shift+F10, the Menu key: no point given); a right click opened the menu
    // already on NM_RCLICK.
    if (from != listView || !listView || LOWORD(point) != 0xFFFF || HIWORD(point) != 0xFFFF) return false;
    // The menu opens at the focused item, as a right click on it would; without one, at the list's corner.
    POINT at = {0, 0};
    const int focused = static_cast<int>(SendMessageA(listView, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    RECT item = {LVIR_LABEL, 0, 0, 0};
    if (focused >= 0 && SendMessageA(listView, LVM_GETITEMRECT, static_cast<WPARAM>(focused), reinterpret_cast<LPARAM>(&item))) {
        at.x = item.left + (item.right - item.left) / 2;
        at.y = item.top + (item.bottom - item.top) / 2;
    }
    ClientToScreen(listView, &at);
    ShowContextMenu(at.x, at.y);
    return true;
}

void CSelectPage::PrepareContextMenu() {
    if (!contextMenu)
        contextMenu = LoadMenuA(reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(hwnd, GWLP_HINSTANCE)),
                                MAKEINTRESOURCEA(IDM_CONTEXT));
    if (!viewMenu) {
        viewMenu = GetSubMenu(contextMenu, 0);
        // "Other Details..." is offered only where the family's key says so; checked once per run.
        char value[64] = "";
        LONG size = sizeof value;
        if (RegQueryValueA(HKEY_CURRENT_USER, "SOFTWARE\\VESTRAL\\KORUN04", value, &size) != ERROR_SUCCESS || !value[0]) {
            DeleteMenu(viewMenu, 9, MF_BYPOSITION);
            DeleteMenu(viewMenu, 8, MF_BYPOSITION);
        }
    }
    static const UINT kViewCommands[] = {IDM_VIEW_LARGE_ICONS, IDM_VIEW_DETAILS, IDM_VIEW_SMALL_ICONS, IDM_VIEW_LIST};
    DWORD view = listView ? static_cast<DWORD>(GetWindowLongPtrA(listView, GWL_STYLE) & LVS_TYPEMASK) : LVS_ICON;
    CheckMenuRadioItem(viewMenu, IDM_VIEW_LARGE_ICONS, IDM_VIEW_DETAILS, kViewCommands[view], MF_BYCOMMAND);
    UINT state = SendMessageA(listView, LVM_GETSELECTEDCOUNT, 0, 0) > 0 ? MF_ENABLED : MF_GRAYED | MF_DISABLED;
    EnableMenuItem(viewMenu, IDM_DELETE_PRINTERS, MF_BYCOMMAND | state);
    EnableMenuItem(viewMenu, IDM_OTHER_DETAILS, MF_BYCOMMAND | state);
    SetMenuDefaultItem(viewMenu, IDM_DELETE_PRINTERS, FALSE);
}

void CSelectPage::OnCommand(UINT commandId) {
    switch (commandId) {
    case IDM_VIEW_LARGE_ICONS:
    case IDM_VIEW_SMALL_ICONS:
    case IDM_VIEW_LIST:
    case IDM_VIEW_DETAILS: {
        static const DWORD kViews[] = {LVS_ICON, LVS_SMALLICON, LVS_LIST, LVS_REPORT};
        WaitCursor wait;
        SetView(kViews[commandId - IDM_VIEW_LARGE_ICONS]);
        break;
    }
    case IDM_DELETE_PRINTERS: {
        WaitCursor wait;
        ApplySelection();
        PostMessageA(GetParent(hwnd), UM_START_REMOVAL, 0, 0);
        break;
    }
    case IDM_SELECT_ALL: {
        LVITEMA all;
        memset(&all, 0, sizeof all);
        all.stateMask = LVIS_SELECTED;
        all.state = LVIS_SELECTED;
        SendMessageA(listView, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&all));
        break;
    }
    case IDM_OTHER_DETAILS: {
        CExtraInfoDlg details;
        ApplySelection();
        details.database = database;
        details.selectedCount = selectedCount;
        DialogBoxParamA(reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(hwnd, GWLP_HINSTANCE)),
                        MAKEINTRESOURCEA(IDD_EXTRA_INFO), hwnd, StaticDialogProc, reinterpret_cast<LPARAM>(&details));
        break;
    }
    default:
        break;
    }
}
