// COptionsDlg: the options of the command line (/?) in a window of their own (dialog 118): a read-only text
// of "OPTION<tab>TEXT" lines, grouped, in two columns at a fixed tab stop, which a person can select and copy;
// OK, Enter or Escape close it.
#pragma once

#include <string>
#include <vector>

#include "ui/dialog_base.h"
#include "ui/text_resources.h"

class COptionsDlg : public CDialogBase {
public:
    explicit COptionsDlg(const std::string& text) : text(text) {}
    INT_PTR DialogProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // The options' lines from the string table (strings IDS_HELP_FIRST on), a group each, with an empty
    // line between two groups.
    static std::vector<std::string> Lines(CTextResources& texts);
    // The lines as an edit control shows them: joined by "\r\n".
    static std::string Text(const std::vector<std::string>& lines);

private:
    void OnInitDialog();

    std::string text;
    CTextResources textResources;
};
