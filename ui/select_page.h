// CSelectPage: the printer selection page (template "IDD_SELECT"). Lists the selectable printers of the
// database in a list view, lets the user select the printers to uninstall, offers the context menu (views,
// select all, start the removal, the diagnostic details), and writes the user's choice into the printer
// entries (isKept).
#pragma once

#include "script/database.h"
#include "ui/dialog_base.h"
#include "ui/text_resources.h"

class CSelectPage : public CDialogBase {
public:
    CSelectPage();
    ~CSelectPage() override;
    INT_PTR DialogProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    void Show(int flag);
    int IsVisible() const { return isVisible; }
    // Rebuilds the list from the database's printers.
    void FillPrinterList();
    // Writes the selection into the printer list and counts the selected printers.
    void ApplySelection();

    CUninstallDatabase* database;  // set by the main window; not owned
    HWND listView;
    HIMAGELIST smallImages;
    HIMAGELIST largeImages;
    HMENU contextMenu;
    HMENU viewMenu;
    int isVisible;
    int selectedCount;
    CTextResources textResources;

private:
    INT_PTR OnInitDialog();
    void OnNotify(WPARAM controlId, const NMHDR* notification);
    void OnCommand(UINT commandId);
    void PrepareContextMenu();
    // Prepares the context menu and shows it at a point of the screen.
    void ShowContextMenu(int x, int y);
    // WM_CONTEXTMENU: the keyboard's request for the list's menu (Shift+F10, the Menu key) opens it at the
    // focused item. False when the message is not that.
    bool OnContextMenu(HWND from, LPARAM point);
    // Sets the list view's view bits (LVS_ICON, LVS_SMALLICON, LVS_LIST, LVS_REPORT) unless it has them.
    void SetView(DWORD view);
};
