#include <charconv>
#include <set>

#include "actions/script/script_internal.h"
#include "platform/utf16.h"

namespace velinor::script {

namespace {

const std::set<std::string, std::less<>> kReserved = {
    "and",   "array",  "begin",  "case",    "class",  "const",    "div",  "do",        "downto",
    "else",  "end",    "except", "finally", "for",    "function", "goto", "if",        "in",
    "label", "mod",    "nil",    "not",     "object", "of",       "or",   "procedure", "program",
    "raise", "record", "repeat", "set",     "shl",    "shr",      "then", "to",        "try",
    "type",  "until",  "uses",   "var",     "while",  "with",     "xor"};

bool isIdentStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isHex(char c) {
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

class Lexer {
public:
    explicit Lexer(const std::string& s) : src_(s) {}

    std::vector<Token> run() {
        std::vector<Token> out;
        for (;;) {
            skipBlanks();
            Token t;
            t.line = line_;
            t.column = column_;
            if (pos_ >= src_.size()) {
                out.push_back(t);
                return out;
            }
            lexOne(t);
            out.push_back(std::move(t));
        }
    }

private:
    char peek(size_t ahead = 0) const { return pos_ + ahead < src_.size() ? src_[pos_ + ahead] : '\0'; }

    void advance() {
        const char c = src_[pos_++];
        if (c == '\n' || (c == '\r' && peek() != '\n')) {
            ++line_;
            column_ = 1;
        } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80 && c != '\r') {
            ++column_;
        }
    }

    [[noreturn]] void fail(int line, int column, const std::string& text) {
        throw CompileError(line, column, text);
    }

    void skipBlanks() {
        for (;;) {
            if (pos_ >= src_.size()) return;
            const char c = peek();
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
                advance();
            } else if (c == '/' && peek(1) == '/') {
                while (pos_ < src_.size() && peek() != '\n' && peek() != '\r') advance();
            } else if (c == '{') {
                const int l = line_, col = column_;
                while (pos_ < src_.size() && peek() != '}') advance();
                if (pos_ >= src_.size()) fail(l, col, "Commentaire non terminé");
                advance();
            } else if (c == '(' && peek(1) == '*') {
                const int l = line_, col = column_;
                advance();
                advance();
                while (pos_ < src_.size() && !(peek() == '*' && peek(1) == ')')) advance();
                if (pos_ >= src_.size()) fail(l, col, "Commentaire non terminé");
                advance();
                advance();
            } else {
                return;
            }
        }
    }

    void lexOne(Token& t) {
        const char c = peek();
        if (isIdentStart(c)) {
            const size_t start = pos_;
            while (isIdentStart(peek()) || isDigit(peek())) advance();
            t.spelling = src_.substr(start, pos_ - start);
            t.text = lowerAscii(t.spelling);
            t.kind = kReserved.count(t.text) ? Tok::Keyword : Tok::Ident;
            return;
        }
        if (isDigit(c) || (c == '$' && isHex(peek(1)))) return lexNumber(t);
        if (c == '\'' || c == '#') return lexString(t);
        advance();
        switch (c) {
            case '+':
                t.kind = Tok::Plus;
                return;
            case '-':
                t.kind = Tok::Minus;
                return;
            case '*':
                t.kind = Tok::Star;
                return;
            case '/':
                t.kind = Tok::Slash;
                return;
            case '=':
                t.kind = Tok::Eq;
                return;
            case ',':
                t.kind = Tok::Comma;
                return;
            case ';':
                t.kind = Tok::Semicolon;
                return;
            case '(':
                t.kind = Tok::LParen;
                return;
            case ')':
                t.kind = Tok::RParen;
                return;
            case '[':
                t.kind = Tok::LBracket;
                return;
            case ']':
                t.kind = Tok::RBracket;
                return;
            case '^':
                t.kind = Tok::Caret;
                return;
            case '@':
                t.kind = Tok::At;
                return;
            case '<':
                if (peek() == '>') {
                    advance();
                    t.kind = Tok::NotEq;
                } else if (peek() == '=') {
                    advance();
                    t.kind = Tok::LessEq;
                } else
                    t.kind = Tok::Less;
                return;
            case '>':
                if (peek() == '=') {
                    advance();
                    t.kind = Tok::GreaterEq;
                } else
                    t.kind = Tok::Greater;
                return;
            case ':':
                if (peek() == '=') {
                    advance();
                    t.kind = Tok::Assign;
                } else
                    t.kind = Tok::Colon;
                return;
            case '.':
                if (peek() == '.') {
                    advance();
                    t.kind = Tok::DotDot;
                } else
                    t.kind = Tok::Dot;
                return;
            default:
                break;
        }
        fail(t.line, t.column, "Caractère inattendu '" + std::string(1, c) + "'");
    }

    void lexNumber(Token& t) {
        const size_t start = pos_;
        if (peek() == '$') {
            advance();
            const size_t digits = pos_;
            while (isHex(peek())) advance();
            uint64_t v = 0;
            auto r = std::from_chars(src_.data() + digits, src_.data() + pos_, v, 16);
            if (r.ec != std::errc() || v > static_cast<uint64_t>(INT64_MAX))
                fail(t.line, t.column, "Constante entière trop grande");
            t.kind = Tok::Integer;
            t.integer = static_cast<int64_t>(v);
            return;
        }
        while (isDigit(peek())) advance();
        bool real = false;
        if (peek() == '.' && isDigit(peek(1))) {
            real = true;
            advance();
            while (isDigit(peek())) advance();
        }
        if ((peek() == 'e' || peek() == 'E') &&
            (isDigit(peek(1)) || ((peek(1) == '+' || peek(1) == '-') && isDigit(peek(2))))) {
            real = true;
            advance();
            if (peek() == '+' || peek() == '-') advance();
            while (isDigit(peek())) advance();
        }
        const char* b = src_.data() + start;
        const char* e = src_.data() + pos_;
        if (real) {
            double v = 0;
            auto r = std::from_chars(b, e, v);
            if (r.ec != std::errc()) fail(t.line, t.column, "Constante réelle invalide");
            t.kind = Tok::Real;
            t.real = v;
        } else {
            int64_t v = 0;
            auto r = std::from_chars(b, e, v);
            if (r.ec != std::errc()) fail(t.line, t.column, "Constante entière trop grande");
            t.kind = Tok::Integer;
            t.integer = v;
        }
    }

    void lexString(Token& t) {
        t.kind = Tok::String;
        for (;;) {
            if (peek() == '\'') {
                const int l = line_, col = column_;
                advance();
                for (;;) {
                    if (pos_ >= src_.size() || peek() == '\n' || peek() == '\r')
                        fail(l, col, "Chaîne non terminée");
                    if (peek() == '\'') {
                        advance();
                        if (peek() == '\'') {
                            t.text += '\'';
                            advance();
                            continue;
                        }
                        break;
                    }
                    t.text += peek();
                    advance();
                }
            } else if (peek() == '#') {
                const int l = line_, col = column_;
                advance();
                const bool hex = peek() == '$';
                if (hex) advance();
                const size_t start = pos_;
                while (hex ? isHex(peek()) : isDigit(peek())) advance();
                uint32_t cp = 0;
                auto r = std::from_chars(src_.data() + start, src_.data() + pos_, cp, hex ? 16 : 10);
                if (start == pos_ || r.ec != std::errc() || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
                    fail(l, col, "Code de caractère invalide");
                AppendUtf8(t.text, cp);
            } else {
                return;
            }
        }
    }

    const std::string& src_;
    size_t pos_ = 0;
    int line_ = 1, column_ = 1;
};

}  // namespace

std::vector<Token> tokenize(const std::string& source) {
    return Lexer(source).run();
}

std::string tokenText(const Token& token) {
    switch (token.kind) {
        case Tok::End:
            return "fin du texte";
        case Tok::Ident:
            return token.spelling;
        case Tok::Keyword:
            return token.text;
        case Tok::Integer:
            return std::to_string(token.integer);
        case Tok::Real:
            return "nombre";
        case Tok::String:
            return "'" + token.text + "'";
        case Tok::Plus:
            return "+";
        case Tok::Minus:
            return "-";
        case Tok::Star:
            return "*";
        case Tok::Slash:
            return "/";
        case Tok::Eq:
            return "=";
        case Tok::NotEq:
            return "<>";
        case Tok::Less:
            return "<";
        case Tok::Greater:
            return ">";
        case Tok::LessEq:
            return "<=";
        case Tok::GreaterEq:
            return ">=";
        case Tok::Assign:
            return ":=";
        case Tok::Colon:
            return ":";
        case Tok::Semicolon:
            return ";";
        case Tok::Comma:
            return ",";
        case Tok::Dot:
            return ".";
        case Tok::DotDot:
            return "..";
        case Tok::LParen:
            return "(";
        case Tok::RParen:
            return ")";
        case Tok::LBracket:
            return "[";
        case Tok::RBracket:
            return "]";
        case Tok::Caret:
            return "^";
        case Tok::At:
            return "@";
    }
    return "?";
}

}  // namespace velinor::script
