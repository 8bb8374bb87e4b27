// The character scanner of the source-model reader. Unlike the compiler's
// scanner it keeps every character it reads in a raw buffer, which the
// reader cuts into the text chunks of the model, so that nothing of the
// file is lost; tokens are only what the reader needs to find functions,
// prototypes and object statements.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum TokenKind : std::uint8_t {
    TK_EOF,
    TK_COMMENT,  // only in comment mode: text is what follows "//"
    TK_PUNCT,    // text is the operator or punctuation
    TK_INT,
    TK_FLOAT,
    TK_STRING,   // text is the literal's value
    TK_WORD,     // identifier or keyword
};

struct Token {
    TokenKind kind = TK_EOF;
    std::string text;
    std::int32_t ival = 0;
    double fval = 0.0;
    std::size_t start = 0;  // offset of its first character in the raw buffer
    int line = 0;
};

// Thrown by the reader on a syntax error; caught where reading started.
struct SyntaxError {
    std::string message;
    int line;
};

class SourceScanner {
public:
    SourceScanner(const char* data, std::size_t length) : data_(data), length_(length) {}

    Token next();
    // Gives back the last token: the next call of next() returns it again.
    void pushBack(const Token& token);

    // The raw text since the last cut, which starts a new cut.
    std::string cut();
    // The raw text before the first token given back, which starts a new
    // cut; the given-back tokens stay in the buffer.
    std::string cutBeforePending();
    // The raw text before the token, which starts a new cut; the token's
    // own characters are dropped and what follows it stays.
    std::string cutAround(const Token& token);
    const std::string& raw() const { return raw_; }
    // Reads the next character when it is a newline, keeping it in the
    // raw buffer; true when it was one.
    bool takeNewline();
    int line() const { return line_; }

    // Line comments are returned as tokens instead of being skipped.
    bool commentMode = false;

private:
    int get();
    void unget(int c);
    Token make(TokenKind kind, std::string text, std::size_t start, int line);
    Token number(int c, std::size_t start);
    Token text(std::size_t start);
    Token word(int c, std::size_t start);
    Token punct(int c, std::size_t start);
    [[noreturn]] void fail(const char* message) const;

    const char* data_;
    std::size_t length_;
    std::size_t pos_ = 0;
    std::vector<int> pending_;  // characters given back, last first
    std::vector<Token> tokens_;  // tokens given back
    std::string raw_;
    int line_ = 1;
};
