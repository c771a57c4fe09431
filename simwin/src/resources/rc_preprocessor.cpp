#include "rc_preprocessor.h"

#include <cctype>
#include <set>

#include "rc_constants.h"
#include "rc_expression.h"
#include "simwin/util.h"

namespace simwin::rc {

namespace {

// Follows #include through the files map, keeps the conditionals and expands object-like macros, giving
// the parser one stream of tokens that ends with an End token.
class Preprocessor {
public:
    Preprocessor(const std::map<std::string, std::string>& files, SourceNames& names) : files_(files), names_(names) {
        // The resource compiler defines RC_INVOKED, so that headers shared with C code can hide the rest.
        Token one;
        one.kind = Token::Word;
        one.text = "1";
        macros_["RC_INVOKED"] = {one};
    }

    std::vector<Token> run(const std::string& text, const std::string& name) {
        readFile(text, names_.add(name), 0);
        Token end;
        end.file = out_.empty() ? 0 : out_.back().file;
        end.line = out_.empty() ? 0 : out_.back().line;
        out_.push_back(end);
        return std::move(out_);
    }

private:
    struct Conditional {
        bool parentActive;
        bool active;
        bool taken;  // a branch of this #if has been active
        Token at;    // the #if, for the error when its #endif is missing
    };

    bool active() const { return conds_.empty() || conds_.back().active; }

    void readFile(const std::string& text, int file, int depth) {
        size_t condsAtStart = conds_.size();
        for (const Token& t : tokenize(text, file)) {
            if (t.kind == Token::Directive) directive(t, depth);
            else if (active()) emit(t, 0);
        }
        if (conds_.size() != condsAtStart) names_.fail(conds_.back().at, "#if without #endif");
    }

    // Appends a token, replacing a macro name by its expansion.
    void emit(const Token& t, int depth) {
        if (t.kind == Token::Word && !isNumber(t) && depth < 32) {
            auto m = macros_.find(t.text);
            if (m != macros_.end() && !expanding_.count(t.text)) {
                expanding_.insert(t.text);
                for (Token body : m->second) {
                    body.file = t.file;
                    body.line = t.line;
                    emit(body, depth + 1);
                }
                expanding_.erase(t.text);
                return;
            }
            if (m == macros_.end() && sdkIncluded_ && !undefined_.count(t.text)) {
                auto c = windowsConstants().find(t.text);
                if (c != windowsConstants().end()) {
                    Token number = t;
                    number.text = hexText(c->second);
                    out_.push_back(number);
                    return;
                }
            }
        }
        out_.push_back(t);
    }

    static std::string firstWord(const std::string& s, size_t& pos) {
        while (pos < s.size() && std::isspace(static_cast<unsigned char>(s[pos]))) ++pos;
        size_t start = pos;
        while (pos < s.size() && isWordChar(s[pos])) ++pos;
        return s.substr(start, pos - start);
    }

    void directive(const Token& d, int depth) {
        size_t pos = 0;
        std::string name = firstWord(d.text, pos);
        std::string rest = trim(d.text.substr(pos));
        if (name == "if" || name == "ifdef" || name == "ifndef") return openConditional(d, name, rest);
        if (name == "elif" || name == "else" || name == "endif") return continueConditional(d, name, rest);
        if (!active()) return;
        if (name == "include") return include(d, rest, depth);
        if (name == "define") return define(d, rest);
        if (name == "undef") return undefine(rest);
        if (name == "pragma") return pragma(d, rest);
        if (name == "error") names_.fail(d, "#error " + rest);
        if (name.empty() && rest.empty()) return;  // a lone '#'
        names_.fail(d, "unknown directive #" + name);
    }

    bool defined(const std::string& name) const {
        return macros_.count(name) ||
               (sdkIncluded_ && !undefined_.count(name) && windowsConstants().count(name));
    }

    // The value of an #if or #elif line: defined(X) and defined X become 1 or 0, macros are expanded,
    // other names count 0.
    bool condition(const Token& d, const std::string& text) {
        std::vector<Token> raw = tokenize(text, d.file, d.line);
        std::vector<Token> resolved;
        for (size_t i = 0; i < raw.size(); ++i) {
            if (!isWord(raw[i], "defined")) {
                resolved.push_back(raw[i]);
                continue;
            }
            bool paren = i + 1 < raw.size() && isPunct(raw[i + 1], "(");
            size_t nameAt = i + (paren ? 2 : 1);
            if (nameAt >= raw.size() || raw[nameAt].kind != Token::Word) names_.fail(d, "defined needs a name");
            Token v = raw[i];
            v.text = defined(raw[nameAt].text) ? "1" : "0";
            resolved.push_back(v);
            i = nameAt + (paren ? 1 : 0);
        }
        std::vector<Token> expanded;
        std::swap(out_, expanded);
        for (const Token& t : resolved) emit(t, 0);
        std::swap(out_, expanded);
        Token end = d;
        end.kind = Token::End;
        expanded.push_back(end);
        size_t p = 0;
        DWORD v = readExpression(expanded, p, names_, true);
        if (expanded[p].kind != Token::End) names_.fail(d, "unexpected " + describe(expanded[p]) + " in #" + text);
        return v != 0;
    }

    void openConditional(const Token& d, const std::string& name, const std::string& rest) {
        bool parent = active();
        bool value = false;
        if (parent) {
            if (name == "if") value = condition(d, rest);
            else value = defined(rest) == (name == "ifdef");
        }
        conds_.push_back({parent, parent && value, parent && value, d});
    }

    void continueConditional(const Token& d, const std::string& name, const std::string& rest) {
        if (conds_.empty()) names_.fail(d, "#" + name + " without #if");
        Conditional& c = conds_.back();
        if (name == "endif") {
            conds_.pop_back();
        } else if (name == "else") {
            c.active = c.parentActive && !c.taken;
            c.taken = true;
        } else {
            c.active = c.parentActive && !c.taken && condition(d, rest);
            c.taken = c.taken || c.active;
        }
    }

    void include(const Token& d, const std::string& rest, int depth) {
        if (rest.size() < 3 || !((rest[0] == '"' && rest.back() == '"') || (rest[0] == '<' && rest.back() == '>')))
            names_.fail(d, "#include needs \"file\" or <file>");
        std::string name = rest.substr(1, rest.size() - 2);
        auto file = findFile(files_, name);
        if (rest[0] == '<' || file == files_.end()) {
            if (isSdkHeader(name)) {
                sdkIncluded_ = true;
                return;
            }
            names_.fail(d, "cannot open include file \"" + name + "\"");
        }
        if (onceFiles_.count(toLower(file->first))) return;
        if (depth >= 16) names_.fail(d, "#include nested too deeply");
        int index = names_.add(file->first);
        includeNames_[index] = file->first;
        readFile(file->second, index, depth + 1);
    }

    void define(const Token& d, const std::string& rest) {
        size_t pos = 0;
        std::string name = firstWord(rest, pos);
        if (name.empty() || std::isdigit(static_cast<unsigned char>(name[0])))
            names_.fail(d, "#define needs a name");
        if (pos < rest.size() && rest[pos] == '(') names_.fail(d, "function-like macros are not supported");
        std::vector<Token> body = tokenize(rest.substr(pos), d.file, d.line);
        macros_[name] = body;
        undefined_.erase(name);
    }

    void undefine(const std::string& rest) {
        size_t pos = 0;
        std::string name = firstWord(rest, pos);
        macros_.erase(name);
        undefined_.insert(name);
    }

    void pragma(const Token& d, const std::string& rest) {
        size_t pos = 0;
        std::string name = firstWord(rest, pos);
        if (name == "once") {
            auto n = includeNames_.find(d.file);
            if (n != includeNames_.end()) onceFiles_.insert(toLower(n->second));
        } else if (name == "code_page") {
            std::string arg = trim(rest.substr(pos));
            if (arg != "(65001)") names_.fail(d, "only #pragma code_page(65001) is supported, not " + arg);
        }
        // Other pragmas mean nothing to the resource compiler.
    }

    const std::map<std::string, std::string>& files_;
    SourceNames& names_;
    std::vector<Token> out_;
    std::map<std::string, std::vector<Token>> macros_;
    std::set<std::string> expanding_;
    std::set<std::string> undefined_;  // SDK constants removed by #undef
    std::set<std::string> onceFiles_;
    std::map<int, std::string> includeNames_;
    std::vector<Conditional> conds_;
    bool sdkIncluded_ = false;
};

}  // namespace

std::vector<Token> preprocess(const std::string& text, const std::string& name,
                              const std::map<std::string, std::string>& files, SourceNames& names) {
    return Preprocessor(files, names).run(text, name);
}

}  // namespace simwin::rc
