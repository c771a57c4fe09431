// PLACEHOLDER until the loading phase lands: the loading dialog object with its lifetime.
#pragma once

#include "ui/dialog_base.h"

class CUninstallDatabase;

class CLoadingDlg : public CDialogBase {
public:
    INT_PTR DialogProc(UINT, WPARAM, LPARAM) override { return FALSE; }
    CUninstallDatabase* database = nullptr;
};
