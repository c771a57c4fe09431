// CTextList: an ordered list of fixed-size texts, compared case-insensitively.
#pragma once

#include <string>

#include "script/linked_list.h"
#include "base/text.h"

// One element of a text list: a text of at most TEXT_SIZE - 1 characters, usable wherever a const char* is.
// It holds its text as long as it is: a list of short names (a Files section holds hundreds) costs a
// small node per name, not TEXT_SIZE characters each. Whoever needs a fixed buffer (a Win32 call) copies
// the text into one there.
struct CTextItem {
    std::string text;
    operator const char*() const { return text.c_str(); }
};

class CTextList : public CLinkedList<CTextItem> {
public:
    // Appends text (cut to TEXT_SIZE - 1 characters; null appends an empty text).
    void Add(const char* text);
    bool Contains(const char* text) const;

    // Stable ascending sort by TextLess.
    void Sort();
    // Whether the list is in ascending TextLess order already.
    bool IsSorted() const;
    // Removes every element equal to its predecessor: a, A, b, a gives a, b, a.
    void Unique();
    // Moves other's elements in, keeping the result ordered when both lists were; on equal elements this
    // list's come first. other is left empty.
    void Merge(CTextList& other);
    // Removes every element that equals some element of other.
    void Subtract(const CTextList& other);
};
