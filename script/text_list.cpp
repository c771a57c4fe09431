#include "script/text_list.h"

namespace {

bool ItemLess(const CTextItem& a, const CTextItem& b) { return TextLess(a.text, b.text); }
bool ItemEqual(const CTextItem& a, const CTextItem& b) { return TextEqual(a.text, b.text); }

}  // namespace

void CTextList::Add(const char* text) { CopyText(AddNew().text, text); }

bool CTextList::Contains(const char* text) const {
    for (const CTextItem& item : *this)
        if (TextEqual(item.text, text)) return true;
    return false;
}

void CTextList::Sort() { SortBy(ItemLess); }

void CTextList::Unique() { UniqueBy(ItemEqual); }

void CTextList::Merge(CTextList& other) { MergeBy(other, ItemLess); }

void CTextList::Subtract(const CTextList& other) { SubtractBy(other, ItemEqual); }
