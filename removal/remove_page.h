// PLACEHOLDER until the removal sequence lands: the page object with its lifetime.
#pragma once

#include "ui/dialog_base.h"

class CUninstallDatabase;

class CRemovePage : public CDialogBase {
public:
    INT_PTR DialogProc(UINT, WPARAM, LPARAM) override { return FALSE; }
    CUninstallDatabase* database = nullptr;
};
