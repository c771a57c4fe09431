#include "simwin/api/resources.h"

#include <cctype>
#include <cstring>

#include "simwin/api/kernel.h"
#include "simwin/modules.h"
#include "simwin/util.h"

namespace {

const char kStringTableSource[] =
#include "korun04_strings.inc"
    ;

// A small tokenizer for resource scripts: words (names and numbers), strings, and single punctuation.
class RcLexer {
public:
    enum Kind { END, WORD, STRING, PUNCT };
    explicit RcLexer(const std::string& text) : s_(text) {}

    Kind next(std::string& token) {
        skipSpace();
        token.clear();
        if (p_ >= s_.size()) return END;
        char c = s_[p_];
        if (c == '"' || ((c == 'L' || c == 'l') && p_ + 1 < s_.size() && s_[p_ + 1] == '"')) {
            if (c != '"') ++p_;
            readString(token);
            // Adjacent strings are one string.
            for (;;) {
                size_t save = p_;
                skipSpace();
                if (p_ < s_.size() && s_[p_] == '"') {
                    std::string more;
                    readString(more);
                    token += more;
                } else {
                    p_ = save;
                    break;
                }
            }
            return STRING;
        }
        if (std::isalnum(static_cast<unsigned char>(c)) || c == '_') {
            while (p_ < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[p_])) || s_[p_] == '_')) token += s_[p_++];
            return WORD;
        }
        token = c;
        ++p_;
        return PUNCT;
    }

private:
    void skipSpace() {
        for (;;) {
            while (p_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[p_]))) ++p_;
            if (s_.compare(p_, 2, "//") == 0) {
                skipLine();
            } else if (s_.compare(p_, 2, "/*") == 0) {
                size_t end = s_.find("*/", p_ + 2);
                p_ = end == std::string::npos ? s_.size() : end + 2;
            } else if (p_ < s_.size() && s_[p_] == '#' && atLineStart()) {
                skipLine();
            } else {
                return;
            }
        }
    }
    bool atLineStart() const {
        for (size_t q = p_; q > 0; --q) {
            char c = s_[q - 1];
            if (c == '\n') return true;
            if (c != ' ' && c != '\t') return false;
        }
        return true;
    }
    void skipLine() {
        while (p_ < s_.size() && s_[p_] != '\n') ++p_;
    }
    static int digit(char c, int base) {
        if (c >= '0' && c <= '9' && c - '0' < base) return c - '0';
        if (base == 16 && c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (base == 16 && c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }
    // Reads "..." at p_ into out, decoding escapes; "" inside the string is one quote.
    void readString(std::string& out) {
        ++p_;  // opening quote
        while (p_ < s_.size()) {
            char c = s_[p_++];
            if (c == '"') {
                if (p_ < s_.size() && s_[p_] == '"') {
                    out += '"';
                    ++p_;
                    continue;
                }
                return;
            }
            if (c != '\\' || p_ >= s_.size()) {
                out += c;
                continue;
            }
            char e = s_[p_++];
            switch (e) {
                case 'n': out += '\n'; break;
                case 'r': out += '\r'; break;
                case 't': out += '\t'; break;
                case 'a':  // the resource compiler gives a backspace here too
                case 'b': out += '\b'; break;
                case 'f': out += '\f'; break;
                case 'v': out += '\v'; break;
                case '\\': out += '\\'; break;
                case '"': out += '"'; break;
                case 'x':
                case 'X': {
                    int value = 0, n = 0;
                    while (n < 2 && p_ < s_.size() && digit(s_[p_], 16) >= 0) value = value * 16 + digit(s_[p_++], 16), ++n;
                    out += static_cast<char>(value);
                    break;
                }
                default:
                    if (digit(e, 8) >= 0) {
                        int value = digit(e, 8), n = 1;
                        while (n < 3 && p_ < s_.size() && digit(s_[p_], 8) >= 0) value = value * 8 + digit(s_[p_++], 8), ++n;
                        out += static_cast<char>(value);
                    } else {
                        out += '\\';
                        out += e;
                    }
            }
        }
    }

    const std::string& s_;
    size_t p_ = 0;
};

bool parseNumber(const std::string& word, UINT& value) {
    std::string w = word;
    if (!w.empty() && (w.back() == 'L' || w.back() == 'l')) w.pop_back();
    if (w.empty()) return false;
    char* end = nullptr;
    unsigned long v = std::strtoul(w.c_str(), &end, 0);
    if (*end) return false;
    value = static_cast<UINT>(v & 0xFFFF);
    return true;
}

bool isWord(const std::string& token, const char* word) { return simwin::iequals(token, word); }

}  // namespace

namespace simwin {

std::map<UINT, std::string> parseStringTables(const std::string& rcText) {
    std::map<UINT, std::string> table;
    RcLexer lexer(rcText);
    std::string token;
    RcLexer::Kind kind;
    while ((kind = lexer.next(token)) != RcLexer::END) {
        if (kind != RcLexer::WORD || !isWord(token, "STRINGTABLE")) continue;
        // Options (LANGUAGE, memory flags) up to BEGIN or "{".
        while ((kind = lexer.next(token)) != RcLexer::END) {
            if ((kind == RcLexer::WORD && isWord(token, "BEGIN")) || (kind == RcLexer::PUNCT && token == "{")) break;
        }
        UINT id = 0;
        bool haveId = false;
        while ((kind = lexer.next(token)) != RcLexer::END) {
            if ((kind == RcLexer::WORD && isWord(token, "END")) || (kind == RcLexer::PUNCT && token == "}")) break;
            if (kind == RcLexer::WORD) {
                haveId = parseNumber(token, id);
            } else if (kind == RcLexer::STRING) {
                if (haveId) table[id] = token;
                haveId = false;
            }
        }
    }
    return table;
}

namespace {
std::map<UINT, std::string>& mutableStringTable() {
    static std::map<UINT, std::string> table = parseStringTables(kStringTableSource);
    return table;
}
}  // namespace

const std::map<UINT, std::string>& programStringTable() { return mutableStringTable(); }

ScopedProgramString::ScopedProgramString(UINT id, const std::string& text) : id_(id & 0xFFFF) {
    auto& table = mutableStringTable();
    auto it = table.find(id_);
    existed_ = it != table.end();
    if (existed_) previous_ = it->second;
    table[id_] = text;
}

ScopedProgramString::~ScopedProgramString() {
    auto& table = mutableStringTable();
    if (existed_)
        table[id_] = previous_;
    else
        table.erase(id_);
}

}  // namespace simwin

int WINAPI LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int bufferMax) {
    if (!buffer || bufferMax <= 0) return 0;
    buffer[0] = 0;
    if (instance && instance != simwin::programModule()) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return 0;
    }
    const auto& table = simwin::programStringTable();
    auto it = table.find(id & 0xFFFF);
    if (it == table.end() || it->second.empty()) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    size_t n = it->second.size();
    if (n > static_cast<size_t>(bufferMax - 1)) {
        n = static_cast<size_t>(bufferMax - 1);
        // Never cut inside a UTF-8 character: back up over continuation bytes.
        while (n > 0 && (static_cast<unsigned char>(it->second[n]) & 0xC0) == 0x80) --n;
    }
    std::memcpy(buffer, it->second.data(), n);
    buffer[n] = 0;
    return static_cast<int>(n);
}

LPSTR WINAPI CharNextA(LPCSTR text) {
    if (!text) return NULL;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    if (!*p) return const_cast<LPSTR>(text);
    int length = 1;
    if (*p >= 0xC0 && *p < 0xE0)
        length = 2;
    else if (*p >= 0xE0 && *p < 0xF0)
        length = 3;
    else if (*p >= 0xF0 && *p < 0xF8)
        length = 4;
    // A sequence cut short by the terminator (or by a byte that does not continue it) ends there.
    int i = 1;
    while (i < length && (p[i] & 0xC0) == 0x80) ++i;
    return const_cast<LPSTR>(text + i);
}
