// CExtraInfoDlg: the diagnostic details dialog (dialog 116), opened from the selection list's context
// menu. Shows, one category at a time, what the uninstall would remove for the printers selected: the
// removal profile the selection produces, or the single selected printer's own profile.
#pragma once

#include "script/database.h"
#include "ui/dialog_base.h"

class CExtraInfoDlg : public CDialogBase {
public:
    CExtraInfoDlg();
    INT_PTR DialogProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    CUninstallDatabase* database;  // set by the creator; not owned
    int selectedCount;             // set by the creator
    HWND listView;
    int columnCount;
    int thisProfileOnly;           // 0 at start
    int category;                  // 1 to 12; 1 at start

private:
    void OnInitDialog();
    INT_PTR OnCommand(WPARAM wParam);
    // Rebuilds the columns and rows of the list for the current category and flag.
    void Fill();
    // The profile to show and the caption that names it: the removal profile, or with the flag the selected
    // printer's driver profile or manufacturer profile (copied into scratch) when there is one.
    const CUninstallProfile& ChooseProfile(CUninstallProfile& scratch, char* caption, size_t size);
    // One row per item of the current category's list, cut into its columns; "(empty)" for an empty list.
    void ListItems(const CTextList& items);
    // The directory variables with the directories they stand for.
    void ListDirectories();
    // List-view operations; skipped when the dialog has no list.
    void DeleteAllColumns();
    void InsertColumn(int index, const char* header);
    void InsertRow(const char* const* cells, int count);
};
