// The loading dialog object: construction with the command-line options, and the command-line syntax.
#include "inventory/loading_dlg.h"

#include <string.h>

CLoadingDlg::CLoadingDlg() : database(NULL), step(0), ended(0) {
    diagnostic[0] = 0;
    ParseCommandLine();
    osVersion.Detect();
    scripts.Clear();
    textResources.SetInstance(NULL);
    step = 0;
}

CLoadingDlg::~CLoadingDlg() {
    scripts.Clear();
    options.Clear();
}

INT_PTR CLoadingDlg::DialogProc(UINT message, WPARAM wParam, LPARAM lParam) {
    (void)message;
    (void)wParam;
    (void)lParam;
    return 0;
}

void CLoadingDlg::EndLoading(INT_PTR result) {
    ended = 1;
    EndDialog(hwnd, result);
}

void CLoadingDlg::ParseCommandLine() {
    char line[COMMAND_LINE_SIZE];
    // A longer command line is cut to the buffer.
    lstrcpynA(line, GetCommandLineA(), sizeof line);
    char* rest = line;
    while (rest && *rest) {
        char* token = rest;
        rest = NextTokenQuoted(token, ' ');
        if (token[0] != '/' && token[0] != '-') continue;
        char* name = token + 1;
        char* values = NextTokenQuoted(name, ':');
        CTextList& option = options.AddOption(name);
        // "/MFG:" has one empty value; each value keeps its double quotes.
        for (char* value = values; value;) {
            char* next = NextTokenQuoted(value, ',');
            option.Add(value);
            value = next;
        }
    }
}
