#include "rc_expression.h"

namespace simwin::rc {

namespace {

// Numeric expressions of resource scripts over a token list: | ^ & + - * / % and unary ~ - +, with the
// precedence of C. Words are numbers (macros are expanded before); with unknownIsZero any other word
// counts as 0 (the preprocessor's #if), otherwise it is an error. isLong tells whether any number
// carried an L suffix (RCDATA stores such a value as a DWORD).
class ExpressionReader {
public:
    ExpressionReader(const std::vector<Token>& tokens, size_t& pos, const SourceNames& names, bool unknownIsZero)
        : t_(tokens), p_(pos), names_(names), unknownIsZero_(unknownIsZero) {}

    DWORD full() { return binary(0); }
    // One operand of a style: everything that binds tighter than '|'.
    DWORD operand() { return binary(1); }
    bool isLong = false;

private:
    // Levels: 0 '|', 1 '^', 2 '&', 3 '+' '-', 4 '*' '/' '%'.
    static int level(const Token& t) {
        if (t.kind != Token::Punct) return -1;
        switch (t.text[0]) {
        case '|': return 0;
        case '^': return 1;
        case '&': return 2;
        case '+':
        case '-': return 3;
        case '*':
        case '/':
        case '%': return 4;
        default: return -1;
        }
    }

    DWORD binary(int minLevel) {
        if (minLevel > 4) return unary();
        DWORD left = binary(minLevel + 1);
        while (level(t_[p_]) == minLevel) {
            const Token& op = t_[p_++];
            DWORD right = binary(minLevel + 1);
            left = apply(op, left, right);
        }
        return left;
    }

    DWORD apply(const Token& op, DWORD a, DWORD b) {
        switch (op.text[0]) {
        case '|': return a | b;
        case '^': return a ^ b;
        case '&': return a & b;
        case '+': return a + b;
        case '-': return a - b;
        case '*': return a * b;
        default:
            if (b == 0) names_.fail(op, "division by zero");
            return op.text[0] == '/' ? a / b : a % b;
        }
    }

    DWORD unary() {
        const Token& t = t_[p_];
        if (depth_ > 200) names_.fail(t, "expression nested too deeply");
        ++depth_;
        DWORD v = primary(t);
        --depth_;
        return v;
    }

    DWORD primary(const Token& t) {
        if (isPunct(t, "~")) return ++p_, ~unary();
        if (isPunct(t, "-")) return ++p_, 0u - unary();
        if (isPunct(t, "+")) return ++p_, unary();
        if (isPunct(t, "(")) {
            ++p_;
            DWORD v = full();
            if (!isPunct(t_[p_], ")")) names_.fail(t_[p_], "expected ')' instead of " + describe(t_[p_]));
            ++p_;
            return v;
        }
        if (t.kind == Token::Word) {
            DWORD v = 0;
            bool l = false;
            if (isNumber(t)) {
                if (!parseNumber(t.text, v, &l)) names_.fail(t, "'" + t.text + "' is not a number");
            } else if (!unknownIsZero_) {
                names_.fail(t, "unknown name '" + t.text + "'");
            }
            isLong = isLong || l;
            ++p_;
            return v;
        }
        names_.fail(t, "expected a number instead of " + describe(t));
    }

    const std::vector<Token>& t_;
    size_t& p_;
    const SourceNames& names_;
    bool unknownIsZero_;
    int depth_ = 0;
};

}  // namespace

DWORD readExpression(const std::vector<Token>& tokens, size_t& pos, const SourceNames& names, bool unknownIsZero,
                     bool* isLong) {
    ExpressionReader reader(tokens, pos, names, unknownIsZero);
    DWORD v = reader.full();
    if (isLong) *isLong = reader.isLong;
    return v;
}

DWORD readOperand(const std::vector<Token>& tokens, size_t& pos, const SourceNames& names) {
    ExpressionReader reader(tokens, pos, names, false);
    return reader.operand();
}

}  // namespace simwin::rc
