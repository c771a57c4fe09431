// PLACEHOLDER until the selection page lands: the page object with its lifetime.
#pragma once

#include "ui/dialog_base.h"

class CUninstallDatabase;

class CSelectPage : public CDialogBase {
public:
    INT_PTR DialogProc(UINT, WPARAM, LPARAM) override { return FALSE; }
    CUninstallDatabase* database = nullptr;
};
