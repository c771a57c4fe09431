// The texts of the list view: their measure, the caller's buffers they are copied into, and their order.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "listview_state.h"

namespace simwin::listview {

namespace {

// Close to lstrcmp: letters compare without case first, then a lower-case letter sorts first.
int compareText(const std::string& a, const std::string& b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        int ca = std::tolower(static_cast<unsigned char>(a[i])), cb = std::tolower(static_cast<unsigned char>(b[i]));
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    for (size_t i = 0; i < n; ++i)
        if (a[i] != b[i]) return std::islower(static_cast<unsigned char>(a[i])) ? -1 : 1;
    return 0;
}

}  // namespace

int textWidth(const std::string& text) { return kCharWidth * static_cast<int>(text.size()); }

Text textArgument(LPCSTR text) {
    if (!text || text == LPSTR_TEXTCALLBACKA) return std::nullopt;
    return std::string(text);
}

// Copies a text into a caller's buffer cut to cchTextMax - 1 bytes, never in the middle of a UTF-8
// character. Returns the length copied.
int copyText(const std::string& text, LPSTR buffer, int cchTextMax) {
    if (!buffer || cchTextMax <= 0) return 0;
    size_t n = std::min(text.size(), static_cast<size_t>(cchTextMax - 1));
    while (n > 0 && n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    std::memcpy(buffer, text.data(), n);
    buffer[n] = 0;
    return static_cast<int>(n);
}

// An item's text against a new one, as the sorted insertion compares them (texts the parent supplies
// sort first).
int compareForSort(const Text& existing, const Text& text) {
    if (!existing) return text ? -1 : 0;
    if (!text) return 1;
    return compareText(*existing, *text);
}

}  // namespace simwin::listview
