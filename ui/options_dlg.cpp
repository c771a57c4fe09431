#include "ui/options_dlg.h"

#include "resources/resource.h"

std::vector<std::string> COptionsDlg::Lines(CTextResources& texts) {
    std::vector<std::string> lines;
    for (UINT id = IDS_HELP_FIRST; id < IDS_HELP_FIRST + IDS_HELP_COUNT; ++id) {
        if (!lines.empty()) lines.push_back("");
        const std::string group = texts.GetString(id);
        size_t start = 0;
        for (size_t end; (end = group.find('\n', start)) != std::string::npos; start = end + 1)
            lines.push_back(group.substr(start, end - start));
        lines.push_back(group.substr(start));
    }
    return lines;
}

std::string COptionsDlg::Text(const std::vector<std::string>& lines) {
    std::string joined;
    for (const std::string& line : lines) joined += (joined.empty() ? "" : "\r\n") + line;
    return joined;
}

INT_PTR COptionsDlg::DialogProc(UINT message, WPARAM wParam, LPARAM lParam) {
    (void)lParam;
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog();
        return FALSE;  // the focus is on OK: Enter closes the window at once
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(hwnd, LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

void COptionsDlg::OnInitDialog() {
    textResources.SetInstance(reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(hwnd, GWLP_HINSTANCE)));
    textResources.SetWindowTextFromId(hwnd, IDS_OPTIONS_TITLE);
    HWND edit = GetDlgItem(hwnd, IDC_OPTIONS_TEXT);
    // One tab stop: every option's text begins at the same place, the second column.
    int tabStop = OPTIONS_TAB_STOP;
    SendMessageA(edit, EM_SETTABSTOPS, 1, reinterpret_cast<LPARAM>(&tabStop));
    SetWindowTextA(edit, text.c_str());
    SetBigIcon(hwnd);
    CenterWindow(hwnd, GetDesktopWindow());
    SetFocus(GetDlgItem(hwnd, IDOK));
}
