// CAboutDlg: the About box (dialog 114), opened from the main window's system menu. Shows the program
// file's version, the build stamp, the OS platform and three memory figures in a two-column list.
#pragma once

#include "ui/dialog_base.h"
#include "ui/text_resources.h"

class CAboutDlg : public CDialogBase {
public:
    CAboutDlg();
    INT_PTR DialogProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    HWND listView;
    int columnCount;
    CTextResources textResources;

private:
    void OnInitDialog();
    // Inserts a left-aligned column of width 200; counts it when the list took it.
    void InsertColumn(int index, const char* header);
    // Appends a row: label as the item, value as subitem 1.
    void AddRow(const char* label, const char* value);
};
