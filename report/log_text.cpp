#include "report/log_text.h"

#include <vector>

#include "base/platform.h"

namespace {

const UINT kJapaneseCodePage = 932;

// The length of the UTF-8 sequence that starts at text[at], or 0 when it is not well formed.
size_t SequenceLength(const unsigned char* s, size_t size, size_t at) {
    const unsigned char lead = s[at];
    if (lead < 0x80) return 1;
    size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (!length || lead > 0xF4 || at + length > size) return 0;
    for (size_t k = 1; k < length; ++k)
        if ((s[at + k] & 0xC0) != 0x80) return 0;
    const unsigned char second = s[at + 1];
    if (lead == 0xE0 && second < 0xA0) return 0;  // overlong
    if (lead == 0xED && second >= 0xA0) return 0;  // a surrogate
    if (lead == 0xF0 && second < 0x90) return 0;  // overlong
    if (lead == 0xF4 && second >= 0x90) return 0;  // beyond U+10FFFF
    return length;
}

// Code page 932 through UTF-16; false when the system does not know the code page or the bytes are not of it.
bool FromCodePage932(const std::string& line, std::string& utf8) {
    const int size = static_cast<int>(line.size());
    const int wideSize = MultiByteToWideChar(kJapaneseCodePage, MB_ERR_INVALID_CHARS, line.data(), size, NULL, 0);
    if (wideSize <= 0) return false;
    std::vector<WCHAR> wide(static_cast<size_t>(wideSize));
    if (MultiByteToWideChar(kJapaneseCodePage, MB_ERR_INVALID_CHARS, line.data(), size, wide.data(), wideSize) != wideSize)
        return false;
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideSize, NULL, 0, NULL, NULL);
    if (bytes <= 0) return false;
    utf8.assign(static_cast<size_t>(bytes), '\0');
    return WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideSize, &utf8[0], bytes, NULL, NULL) == bytes;
}

}  // namespace

bool IsValidUtf8(const std::string& text) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    for (size_t at = 0; at < text.size();) {
        const size_t length = SequenceLength(s, text.size(), at);
        if (!length) return false;
        at += length;
    }
    return true;
}

std::string EscapeBytes(const std::string& line) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char c : line) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (c == '\\') {
            out += "\\\\";
        } else if (byte >= 0x80) {
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        } else {
            out += c;
        }
    }
    return out;
}

std::string LineToUtf8(const std::string& line, LineEncoding* how) {
    LineEncoding taken = LINE_UTF8;
    std::string out;
    if (IsValidUtf8(line))
        out = line;
    else if (FromCodePage932(line, out))
        taken = LINE_CP932;
    else {
        out = EscapeBytes(line);
        taken = LINE_ESCAPED;
    }
    if (how) *how = taken;
    return out;
}
