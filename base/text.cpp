#include "base/text.h"

#include <cstring>

char* CopyTextN(char* dst, const char* src, size_t dstSize) {
    if (!dst || dstSize == 0) return dst;
    size_t n = 0;
    if (src) {
        while (n + 1 < dstSize && src[n]) ++n;
        std::memmove(dst, src, n);
    }
    dst[n] = 0;
    return dst;
}

char* CopyText(char* dst, const char* src) { return CopyTextN(dst, src, TEXT_SIZE); }

void CopyText(std::string& dst, const char* src) {
    size_t n = 0;
    if (src)
        while (n + 1 < static_cast<size_t>(TEXT_SIZE) && src[n]) ++n;
    dst.assign(src ? src : "", n);
}

char* AppendText(char* dst, const char* src) {
    if (TextEmpty(src)) return dst;
    size_t used = std::strlen(dst);
    if (used + 1 < static_cast<size_t>(TEXT_SIZE)) CopyTextN(dst + used, src, TEXT_SIZE - used);
    return dst;
}

void ClearText(char* text) { std::memset(text, 0, TEXT_SIZE); }

bool TextEqual(const char* a, const char* b) { return _strcmpi(a ? a : "", b ? b : "") == 0; }

bool TextLess(const char* a, const char* b) { return _strcmpi(a ? a : "", b ? b : "") < 0; }

bool TextEmpty(const char* text) { return !text || static_cast<int>(std::strlen(text)) <= 0; }

namespace {

char* NextItem(char* text) {
    if (!*text) return nullptr;
    char* next = text + std::strlen(text) + 1;
    return *next ? next : nullptr;
}

}  // namespace

char* NextToken(char* text, char separator) {
    if (!text) return nullptr;
    if (separator == 0) return NextItem(text);
    if (!*text) return nullptr;
    char* found = std::strchr(text, separator);
    if (!found) return nullptr;
    *found = 0;
    return found + 1;
}

char* NextTokenQuoted(char* text, char separator) {
    if (!text) return nullptr;
    if (separator == 0) return NextItem(text);
    bool quoted = false;
    for (char* p = text; *p; ++p) {
        if (*p == '"') {
            quoted = !quoted;
        } else if (*p == separator && !quoted) {
            *p = 0;
            return p + 1;
        }
    }
    return nullptr;
}

char* TrimChar(char* text, char character) {
    if (!text || !*text) return text;
    size_t len = std::strlen(text);
    size_t begin = 0;
    while (begin < len && text[begin] == character) ++begin;
    size_t end = len;
    while (end > begin && text[end - 1] == character) --end;
    std::memmove(text, text + begin, end - begin);
    text[end - begin] = 0;
    return text;
}

void AppendTextKey(std::string& out, const char* text) {
    const size_t from = out.size();
    out += text ? text : "";
    for (size_t i = from; i < out.size(); ++i)
        if (out[i] >= 'A' && out[i] <= 'Z') out[i] = static_cast<char>(out[i] + 32);
}

std::string TextKey(const char* text) {
    std::string key;
    AppendTextKey(key, text);
    return key;
}
