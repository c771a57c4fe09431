#include "script/text_list.h"

#include <string.h>

#include <string>
#include <unordered_set>

namespace {

bool ItemLess(const CTextItem& a, const CTextItem& b) { return TextLess(a.text.c_str(), b.text.c_str()); }
// Texts of different lengths are never equal, whatever their case.
bool ItemEqual(const CTextItem& a, const CTextItem& b) {
    return a.text.size() == b.text.size() && TextEqual(a.text.c_str(), b.text.c_str());
}

}  // namespace

// Cut as CopyText cuts into a TEXT_SIZE buffer: at most TEXT_SIZE - 1 characters.
void CTextList::Add(const char* text) {
    if (text) AddNew().text.assign(text, strnlen(text, TEXT_SIZE - 1));
    else AddNew();
}

bool CTextList::Contains(const char* text) const {
    for (const CTextItem& item : *this)
        if (TextEqual(item.text.c_str(), text)) return true;
    return false;
}

// A stable sort leaves an ordered list as it is, so an ordered list (the common case: lists are kept sorted)
// is only checked.
void CTextList::Sort() {
    if (!IsSorted()) SortBy(ItemLess);
}

bool CTextList::IsSorted() const { return IsSortedBy(ItemLess); }

void CTextList::Unique() { UniqueBy(ItemEqual); }

void CTextList::Merge(CTextList& other) { MergeBy(other, ItemLess); }

void CTextList::Subtract(const CTextList& other) {
    // Against a long list, its texts are looked up by their case-folded key (TextEqual compares exactly those
    // keys) instead of walking the whole list for every element.
    if (other.Count() < 16 || &other == this) {
        SubtractBy(other, ItemEqual);
        return;
    }
    std::unordered_set<std::string> keys;
    for (const CTextItem& item : other) keys.insert(TextKey(item.text.c_str()));
    for (iterator it = begin(); it != end();) it = keys.count(TextKey(it->text.c_str())) ? Erase(it) : ++it;
}
