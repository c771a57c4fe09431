// COptionList: the command-line options. Each element is a text list whose first text is the option
// name and whose further texts are its values; several elements may carry the same name.
#pragma once

#include "script/linked_list.h"
#include "script/text_list.h"

class COptionList : public CLinkedList<CTextList> {
public:
    // Size of the working area the values of one option are collected in.
    static const int VALUES_SIZE = 4096;

    // Appends an option with no values and returns its list, for the values to be added to.
    CTextList& AddOption(const char* name);
    // 1 when some element's name equals name (case-insensitively), else 0.
    int HasOption(const char* name) const;
    // Collects the values of every element named name, in list order, as a double-NUL list; *size is set
    // to its length including the closing NUL (0 without values). The list is copied and 1 returned only
    // when buffer is not null and that length is below the incoming *size. With name null or empty, or
    // size null, returns 0 and does nothing. Values beyond VALUES_SIZE characters are dropped whole.
    int GetOptionValues(const char* name, char* buffer, DWORD* size) const;
};
