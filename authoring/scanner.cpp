// Tokens for the source-model reader, over a file's bytes in memory.
// Every character taken from the input goes into the raw buffer and every
// character given back leaves it again, so the buffer always holds exactly
// the text up to the end of the last token read.
#include "authoring/scanner.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

namespace {

bool isWordStart(int c) { return std::isalpha(c) || c == '_'; }
bool isWordChar(int c) { return std::isalnum(c) || c == '_'; }

// Operators of two or three characters, longest first.
const char* const kLongOperators[] = {"<<=", ">>=", "==", "!=", "<>", "<=", ">=", "&&", "||", "<<", ">>",
                                      "+=",  "-=",  "*=", "/=", "%=", "&=", "|=", "++", "--", "**"};
const char kSingles[] = "()[]{},;:=+-*/%&|!<>#.?";

}  // namespace

int SourceScanner::get() {
    int c;
    if (!pending_.empty()) {
        c = pending_.back();
        pending_.pop_back();
    } else if (pos_ < length_) {
        c = static_cast<unsigned char>(data_[pos_++]);
    } else {
        return -1;
    }
    raw_.push_back(static_cast<char>(c));
    if (c == '\n') ++line_;
    return c;
}

void SourceScanner::unget(int c) {
    if (c < 0) return;
    raw_.pop_back();
    if (c == '\n') --line_;
    pending_.push_back(c);
}

void SourceScanner::fail(const char* message) const { throw SyntaxError{message, line_}; }

std::string SourceScanner::cut() {
    std::string text;
    text.swap(raw_);
    return text;
}

std::string SourceScanner::cutBeforePending() {
    std::size_t offset = raw_.size();
    for (const Token& t : tokens_) offset = std::min(offset, t.start);
    // Blanks in front of the first token belong with it.
    while (offset > 0 && (raw_[offset - 1] == ' ' || raw_[offset - 1] == '\t')) --offset;
    std::string text = raw_.substr(0, offset);
    raw_.erase(0, offset);
    for (Token& t : tokens_) t.start -= offset;
    return text;
}

std::string SourceScanner::cutAround(const Token& token) {
    std::size_t start = std::min(token.start, raw_.size());
    std::size_t end = std::min(start + token.text.size(), raw_.size());
    std::string text = raw_.substr(0, start);
    raw_.erase(0, end);
    for (Token& t : tokens_) t.start = t.start >= end ? t.start - end : 0;
    return text;
}

bool SourceScanner::takeNewline() {
    int c = get();
    if (c == '\n') return true;
    unget(c);
    return false;
}

void SourceScanner::pushBack(const Token& token) { tokens_.push_back(token); }

Token SourceScanner::make(TokenKind kind, std::string text, std::size_t start, int line) {
    Token token;
    token.kind = kind;
    token.text = std::move(text);
    token.start = start;
    token.line = line;
    return token;
}

// Decimal, octal and hexadecimal integers as the language writes them, and
// floats with a point and an optional exponent.
Token SourceScanner::number(int c, std::size_t start) {
    int line = line_;
    std::string text(1, static_cast<char>(c));
    bool isFloat = c == '.';
    int d = get();
    if (c == '0' && (d == 'x' || d == 'X')) {
        text.push_back(static_cast<char>(d));
        for (d = get(); std::isxdigit(d); d = get()) text.push_back(static_cast<char>(d));
    } else {
        while (std::isdigit(d) || (d == '.' && !isFloat)) {
            if (d == '.') isFloat = true;
            text.push_back(static_cast<char>(d));
            d = get();
        }
        if (isFloat && (d == 'e' || d == 'E')) {
            text.push_back(static_cast<char>(d));
            for (d = get(); std::isdigit(d); d = get()) text.push_back(static_cast<char>(d));
        }
    }
    unget(d);
    Token token = make(isFloat ? TK_FLOAT : TK_INT, text, start, line);
    if (isFloat) {
        token.fval = std::strtod(text.c_str(), nullptr);
    } else {
        unsigned long long value = std::strtoull(text.c_str(), nullptr, 0);
        token.ival = static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
    }
    return token;
}

// A text literal with the language's escapes; it may span lines. End of
// input ends it.
Token SourceScanner::text(std::size_t start) {
    int line = line_;
    std::string value;
    for (int c = get(); c != '"' && c >= 0; c = get()) {
        if (c != '\\') {
            value.push_back(static_cast<char>(c));
            continue;
        }
        int e = get();
        switch (e) {
        case '"': value.push_back('"'); break;
        case 'n': value.push_back('\n'); break;
        case 'r': value.push_back('\r'); break;
        case 't': value.push_back('\t'); break;
        case '\n':
        case '\r':
        case '\t':
        case -1:
            value.push_back('\\');
            unget(e);
            break;
        default:
            value.push_back('\\');
            value.push_back(static_cast<char>(e));
        }
    }
    return make(TK_STRING, value, start, line);
}

Token SourceScanner::word(int c, std::size_t start) {
    int line = line_;
    std::string text(1, static_cast<char>(c));
    int d = get();
    while (isWordChar(d)) {
        text.push_back(static_cast<char>(d));
        d = get();
    }
    unget(d);
    return make(TK_WORD, text, start, line);
}

Token SourceScanner::punct(int c, std::size_t start) {
    int line = line_;
    for (const char* op : kLongOperators) {
        if (op[0] != c) continue;
        std::size_t n = std::strlen(op);
        std::vector<int> taken;
        bool match = true;
        for (std::size_t i = 1; i < n; ++i) {
            int d = get();
            taken.push_back(d);
            if (d != op[i]) {
                match = false;
                break;
            }
        }
        if (match) return make(TK_PUNCT, op, start, line);
        for (auto it = taken.rbegin(); it != taken.rend(); ++it) unget(*it);
    }
    if (!std::strchr(kSingles, c)) fail("Illegal character in input");
    return make(TK_PUNCT, std::string(1, static_cast<char>(c)), start, line);
}

Token SourceScanner::next() {
    if (!tokens_.empty()) {
        Token token = tokens_.back();
        tokens_.pop_back();
        return token;
    }
    for (;;) {
        int c = get();
        std::size_t start = raw_.size() - (c >= 0 ? 1 : 0);
        if (c < 0) return make(TK_EOF, "", raw_.size(), line_);
        if (c == 0) continue;
        if (std::isspace(c)) continue;
        if (c == '/') {
            int d = get();
            if (d == '/') {
                int line = line_;
                std::string body;
                for (int e = get(); e >= 0; e = get()) {
                    if (e == '\n') {
                        unget(e);
                        break;
                    }
                    body.push_back(static_cast<char>(e));
                }
                if (commentMode) return make(TK_COMMENT, body, start, line);
                continue;
            }
            if (d == '*') {
                int prev = 0;
                for (int e = get(); e >= 0 && !(prev == '*' && e == '/'); e = get()) prev = e;
                continue;
            }
            unget(d);
        }
        if (std::isdigit(c)) return number(c, start);
        if (c == '.') {
            int d = get();
            unget(d);
            if (std::isdigit(d)) return number(c, start);
        }
        if (c == '"') return text(start);
        if (isWordStart(c)) return word(c, start);
        return punct(c, start);
    }
}
