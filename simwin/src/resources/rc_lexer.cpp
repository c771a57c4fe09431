#include "rc_lexer.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "simwin/resource_set.h"
#include "simwin/util.h"

namespace simwin::rc {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Cuts one file's text into tokens. Comments are skipped; a '#' that begins a line makes a Directive
// token of the whole line (continuation lines joined, comments removed).
class Lexer {
public:
    Lexer(const std::string& text, int file, int firstLine = 1) : s_(text), file_(file), line_(firstLine) {}

    Token next() {
        bool lineStart = skipSpace();
        Token t;
        t.file = file_;
        t.line = line_;
        if (p_ >= s_.size()) return t;
        char c = s_[p_];
        if (c == '#' && lineStart) {
            t.kind = Token::Directive;
            t.text = directiveLine();
        } else if (c == '"' || ((c == 'L' || c == 'l') && p_ + 1 < s_.size() && s_[p_ + 1] == '"')) {
            t.kind = Token::String;
            t.wide = c != '"';
            if (t.wide) ++p_;
            t.text = t.wide ? wideString() : narrowString();
        } else if (isWordChar(c)) {
            t.kind = Token::Word;
            while (p_ < s_.size() && isWordChar(s_[p_])) t.text += s_[p_++];
        } else {
            t.kind = Token::Punct;
            t.text = c;
            ++p_;
        }
        return t;
    }

private:
    // Skips blanks and comments; true when what follows is the first thing on its line.
    bool skipSpace() {
        for (;;) {
            while (p_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[p_]))) advance();
            if (s_.compare(p_, 2, "//") == 0) {
                while (p_ < s_.size() && s_[p_] != '\n') ++p_;
            } else if (s_.compare(p_, 2, "/*") == 0) {
                size_t end = s_.find("*/", p_ + 2);
                size_t stop = end == std::string::npos ? s_.size() : end + 2;
                while (p_ < stop) advance();
            } else {
                break;
            }
        }
        for (size_t q = p_; q > 0; --q) {
            char c = s_[q - 1];
            if (c == '\n') return true;
            if (c != ' ' && c != '\t' && c != '\r') return false;
        }
        return true;
    }
    void advance() {
        if (s_[p_] == '\n') ++line_;
        ++p_;
    }

    // The rest of the line after '#', with "\" line continuations joined and comments removed.
    std::string directiveLine() {
        ++p_;
        std::string out;
        char quote = 0;
        while (p_ < s_.size() && s_[p_] != '\n') {
            char c = s_[p_];
            if (c == '\\' && p_ + 1 < s_.size() && (s_[p_ + 1] == '\n' || s_.compare(p_ + 1, 2, "\r\n") == 0)) {
                p_ += s_[p_ + 1] == '\n' ? 1 : 2;
                advance();
                continue;
            }
            if (quote) {
                if (c == quote) {
                    quote = 0;
                } else if (c == '\\' && p_ + 1 < s_.size() && s_[p_ + 1] != '\n') {
                    out += c;  // an escape: its character cannot end the string
                    c = s_[++p_];
                }
            } else if (c == '"') {
                quote = c;
            } else if (s_.compare(p_, 2, "//") == 0) {
                while (p_ < s_.size() && s_[p_] != '\n') ++p_;
                break;
            } else if (s_.compare(p_, 2, "/*") == 0) {
                size_t end = s_.find("*/", p_ + 2);
                size_t stop = end == std::string::npos ? s_.size() : end + 2;
                while (p_ < stop) advance();
                out += ' ';
                continue;
            }
            out += c;
            ++p_;
        }
        while (!out.empty() && std::isspace(static_cast<unsigned char>(out.back()))) out.pop_back();
        return out;
    }

    // One escape after the backslash; wide strings take up to four hex digits (a UTF-16 unit).
    uint32_t escape(bool wide, bool& known) {
        known = true;
        char e = s_[p_++];
        switch (e) {
        case 'n': return '\n';
        case 'r': return '\r';
        case 't': return '\t';
        case 'a':  // the resource compiler gives a backspace here too
        case 'b': return '\b';
        case 'f': return '\f';
        case 'v': return '\v';
        case '\\': return '\\';
        case '"': return '"';
        case 'x':
        case 'X': {
            uint32_t value = 0;
            for (int n = 0; n < (wide ? 4 : 2) && p_ < s_.size() && hexDigit(s_[p_]) >= 0; ++n)
                value = value * 16 + hexDigit(s_[p_++]);
            return value;
        }
        default:
            if (e >= '0' && e <= '7') {
                uint32_t value = e - '0';
                for (int n = 1; n < 3 && p_ < s_.size() && s_[p_] >= '0' && s_[p_] <= '7'; ++n)
                    value = value * 8 + (s_[p_++] - '0');
                return value;
            }
            known = false;
            return static_cast<unsigned char>(e);
        }
    }

    // Reads "..." at p_, calling unit for every character (or escape) and raw for UTF-8 source bytes.
    template <typename Unit, typename Raw>
    void stringBody(bool wide, Unit unit, Raw raw) {
        ++p_;  // opening quote
        while (p_ < s_.size()) {
            char c = s_[p_++];
            if (c == '\n') ++line_;
            if (c == '"') {
                if (p_ < s_.size() && s_[p_] == '"') {
                    unit('"');
                    ++p_;
                    continue;
                }
                return;
            }
            if (c != '\\' || p_ >= s_.size()) {
                raw(c);
                continue;
            }
            bool known;
            uint32_t value = escape(wide, known);
            if (!known) unit('\\');
            unit(value);
        }
    }

    std::string narrowString() {
        std::string out;
        stringBody(false, [&](uint32_t u) { out += static_cast<char>(u); }, [&](char c) { out += c; });
        return out;
    }

    // Wide strings collect UTF-16 units (escapes may give surrogate halves) and come back as UTF-8.
    std::string wideString() {
        std::u16string units;
        std::string pending;  // source bytes not yet decoded
        auto flush = [&] {
            units += utf16FromUtf8(pending);
            pending.clear();
        };
        stringBody(true, [&](uint32_t u) { flush(), units += static_cast<char16_t>(u); },
                   [&](char c) { pending += c; });
        flush();
        return utf8FromUtf16(units.data(), units.size());
    }

    std::string s_;
    int file_;
    size_t p_ = 0;
    int line_;
};

}  // namespace

std::vector<Token> tokenize(const std::string& text, int file, int firstLine) {
    std::vector<Token> tokens;
    Lexer lexer(text, file, firstLine);
    for (Token t = lexer.next(); t.kind != Token::End; t = lexer.next()) tokens.push_back(t);
    return tokens;
}

bool isWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

bool isWord(const Token& t, const char* word) { return t.kind == Token::Word && iequals(t.text, word); }
bool isPunct(const Token& t, const char* p) { return t.kind == Token::Punct && t.text == p; }
bool isBegin(const Token& t) { return isWord(t, "BEGIN") || isPunct(t, "{"); }
bool isEnd(const Token& t) { return isWord(t, "END") || isPunct(t, "}"); }
bool isNumber(const Token& t) {
    return t.kind == Token::Word && std::isdigit(static_cast<unsigned char>(t.text[0]));
}

bool parseNumber(const std::string& word, DWORD& value, bool* isLong) {
    std::string w = word;
    bool l = false;
    while (!w.empty() && std::strchr("LlUu", w.back())) {
        l = l || w.back() == 'L' || w.back() == 'l';
        w.pop_back();
    }
    if (isLong) *isLong = l;
    int base = 10;
    size_t i = 0;
    if (w.size() > 1 && w[0] == '0' && (w[1] == 'x' || w[1] == 'X')) base = 16, i = 2;
    else if (w.size() > 1 && w[0] == '0' && (w[1] == 'o' || w[1] == 'O')) base = 8, i = 2;
    else if (w.size() > 1 && w[0] == '0') base = 8, i = 1;
    if (i >= w.size() && base != 8) return false;
    uint64_t v = 0;
    for (; i < w.size(); ++i) {
        int d = hexDigit(w[i]);
        if (d < 0 || d >= base) return false;
        v = (v * base + d) & 0xFFFFFFFFu;
    }
    value = static_cast<DWORD>(v);
    return true;
}

std::string hexText(DWORD v) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%X", v);
    return buffer;
}

std::string describe(const Token& t) {
    switch (t.kind) {
    case Token::End: return "the end of the script";
    case Token::String: return "\"" + t.text + "\"";
    default: return "'" + t.text + "'";
    }
}

}  // namespace simwin::rc
