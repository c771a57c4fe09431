#include "script/option_list.h"

#include <cstring>

CTextList& COptionList::AddOption(const char* name) {
    CTextList& option = AddNew();
    option.Add(name);
    return option;
}

int COptionList::HasOption(const char* name) const {
    for (const CTextList& option : *this)
        if (!option.IsEmpty() && TextEqual(option.Front(), name)) return 1;
    return 0;
}

int COptionList::GetOptionValues(const char* name, char* buffer, DWORD* size) const {
    if (TextEmpty(name) || !size) return 0;
    char values[VALUES_SIZE];
    size_t used = 0;  // characters of the list without its closing NUL
    bool full = false;
    for (const CTextList& option : *this) {
        if (option.Count() < 2 || !TextEqual(option.Front(), name)) continue;
        bool first = true;
        for (const CTextItem& value : option) {
            if (first) {
                first = false;
                continue;
            }
            size_t length = value.text.size();
            // The value, its NUL and the closing NUL must fit.
            if (full || used + length + 2 > sizeof values) {
                full = true;
                continue;
            }
            std::memcpy(values + used, value.text.c_str(), length + 1);
            used += length + 1;
        }
    }
    DWORD n = used ? static_cast<DWORD>(used + 1) : 0;
    if (used) values[used] = 0;
    int result = 0;
    if (buffer && n < *size) {
        std::memcpy(buffer, values, n);
        result = 1;
    }
    *size = n;
    return result;
}
