// CTextResources: the texts of the module's string table by ID, with a ring of four result buffers so that
// a caller can hold a caption and a message at once, and the redirection of a string to an INI key: a
// string of the form @file@section@key is replaced by that key's value.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "base/platform.h"

class CTextResources {
public:
    static const int SLOT_COUNT = 4;
    static const int SLOT_SIZE = 512;

    explicit CTextResources(HINSTANCE instance = NULL);

    // The module whose string table is read.
    void SetInstance(HINSTANCE instance);
    // The text of string id, or of the INI key it redirects to; the empty text when there is none. The
    // pointer stays valid for three further advances of the ring (a plain string advances it once, a
    // redirected one twice).
    const char* GetString(UINT id);
    // The value of key in section of file (a bare name: where INI files without a directory are looked up,
    // then along the default search order; no file: the program's name with ".ini"), with every backslash-n
    // turned into a line feed. The empty text when there is none.
    const char* ReadIniString(const char* file, const char* section, const char* key);
    // Sets the window's (or the dialog control's) text to string id; 0 and the text unchanged when the
    // string is empty.
    int SetWindowTextFromId(HWND window, UINT id);
    int SetDlgItemTextFromId(HWND dialog, int item, UINT id);

private:
    char* NextSlot();

    int ringIndex;
    char slots[SLOT_COUNT][SLOT_SIZE];
    HINSTANCE instance;
};

// The text with its "%s" replaced by the values, in order (a "%s" without a value stays). The text may come
// from an INI file (a redirected string), so it is never used as a format: any other "%" stays as it is.
std::string FillText(const char* text, const std::vector<std::string>& values);
// The text with its "%s" replaced one after another by values (a text of the string table may come from an
// INI file, so it is never used as a format: any other "%" stays as it is), cut to fit size.
void FillTexts(char* out, size_t size, const char* text, std::initializer_list<std::string> values);
