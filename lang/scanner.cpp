// The Orvex scanner: a hand-written automaton with three modes (ordinary
// text, block comment, text literal). It never backs up: a character that
// cannot continue the token being read either ends it or, when what was
// read so far is no token, makes it an invalid token.
#include "lang/scanner.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "app/shutdown.h"
#include "core/alloc.h"
#include "lang/diagnostics.h"
#include "lang/parser_state.h"

bool CharSource::refill() {
    if (done_) return false;
    if (text_) {
        buffer_ = reinterpret_cast<const unsigned char*>(text_);
        len_ = std::strlen(text_);
        pos_ = 0;
        done_ = true;
        return len_ > 0;
    }
    len_ = stream_ ? KivRead(stream_, block_, sizeof block_) : 0;
    buffer_ = block_;
    pos_ = 0;
    if (len_ == 0) done_ = true;
    return len_ > 0;
}

TokenArray::~TokenArray() {
    TamFree(syms_);
    TamFree(lines_);
    TamFree(offsets_);
    TamFree(text_);
}

namespace {

// Grows a buffer geometrically so that scanning stays linear; running out
// of memory ends the player with the buffer's own message.
template <class T>
void growBuffer(T*& buffer, std::size_t capacity, const char* format) {
    T* grown = static_cast<T*>(TamRealloc(buffer, capacity * sizeof(T)));
    if (!grown) {
        std::fprintf(stderr, format, static_cast<int>(capacity));
        c_exit(globals, 1);
    }
    buffer = grown;
}

struct Spelling {
    std::string_view text;
    int sym;
};

// The one spelling of each keyword and operator token ("<>" also reads as
// SYM_NEQ and keeps its own text).
constexpr Spelling kSpellings[] = {
    {"include", SYM_INCLUDE}, {"const", SYM_CONST},     {"ref", SYM_REF},
    {"break", SYM_BREAK},     {"return", SYM_RETURN},   {"void", SYM_VOID},
    {"int", SYM_INT},         {"text", SYM_TEXT},       {"float", SYM_FLOAT},
    {"if", SYM_IF},           {"else", SYM_ELSE},       {"while", SYM_WHILE},
    {"for", SYM_FOR},         {"case", SYM_CASE},       {"switch", SYM_SWITCH},
    {"default", SYM_DEFAULT}, {"window", SYM_WINDOW},   {"endwindow", SYM_ENDWINDOW},
    {"object", SYM_OBJECT},   {"(", SYM_LP},            {")", SYM_RP},
    {"{", SYM_LB},            {"}", SYM_RB},            {"[", SYM_LH},
    {"]", SYM_RH},            {",", SYM_COMMA},         {":", SYM_COLON},
    {";", SYM_SEMICOLON},     {"!", SYM_EXCLAM},        {"#", SYM_HASH},
    {"++", SYM_PLUSPLUS},     {"--", SYM_MINUSMINUS},   {"=", SYM_ASSIGN},
    {"+=", SYM_PLUSASSIGN},   {"-=", SYM_MINUSASSIGN},  {"/=", SYM_DIVASSIGN},
    {"%=", SYM_MODASSIGN},    {"*=", SYM_MULTASSIGN},   {"&=", SYM_BANDASSIGN},
    {"|=", SYM_BORASSIGN},    {"<<=", SYM_LSHIFTASSIGN}, {">>=", SYM_RSHIFTASSIGN},
    {"||", SYM_OR},           {"&&", SYM_AND},          {"|", SYM_BOR},
    {"&", SYM_BAND},          {"!=", SYM_NEQ},          {"==", SYM_EQ},
    {"<", SYM_LT},            {"<=", SYM_LE},           {">", SYM_GT},
    {">=", SYM_GE},           {"<<", SYM_LSHIFT},       {">>", SYM_RSHIFT},
    {"+", SYM_PLUS},          {"-", SYM_MINUS},         {"*", SYM_MULT},
    {"/", SYM_DIV},           {"%", SYM_MOD},           {"**", SYM_PRIMARY},
};

}  // namespace

// Offset 0 holds the empty text (the end token's); the shared spellings
// follow.
TokenArray::TokenArray() {
    addText("", 0);
    for (const Spelling& sp : kSpellings) spelling_[sp.sym] = addText(sp.text.data(), sp.text.size());
}

std::uint32_t TokenArray::addText(const char* text, std::size_t length) {
    if (textUsed_ + length + 1 > textCapacity_) {
        std::size_t cap = textCapacity_ ? textCapacity_ * 2 : 20000;
        while (cap < textUsed_ + length + 1) cap *= 2;
        if (cap > UINT32_MAX) {
            std::fprintf(stderr, "cannot allocate lookahead text buffer (%d bytes)\n", static_cast<int>(cap));
            c_exit(globals, 1);
        }
        textCapacity_ = cap;
        growBuffer(text_, cap, "cannot allocate lookahead text buffer (%d bytes)\n");
    }
    std::uint32_t offset = static_cast<std::uint32_t>(textUsed_);
    std::memcpy(text_ + textUsed_, text, length);
    text_[textUsed_ + length] = '\0';
    textUsed_ += length + 1;
    return offset;
}

void TokenArray::grow() {
    capacity_ = capacity_ ? capacity_ * 2 : 2000;
    std::size_t cap = static_cast<std::size_t>(capacity_);
    growBuffer(syms_, cap, "cannot allocate token buffer (%d tokens)\n");
    growBuffer(lines_, cap, "cannot allocate line buffer (%d ints)\n");
    growBuffer(offsets_, cap, "cannot allocate lookahead token buffer (%d tokens)\n");
}

void TokenArray::add(int sym, int line, const char* text, std::size_t length) {
    if (count_ == capacity_) grow();
    std::uint32_t offset = 0;
    if (length > 0) {
        std::uint32_t shared = spelling_[sym];
        bool same = shared && std::memcmp(text_ + shared, text, length) == 0 && text_[shared + length] == '\0';
        offset = same ? shared : addText(text, length);
    }
    syms_[count_] = static_cast<std::uint8_t>(sym);
    lines_[count_] = line;
    offsets_[count_] = offset;
    ++count_;
}

namespace {

// The keywords open the table of spellings.
constexpr int kKeywordCount = 19;
static_assert(kSpellings[kKeywordCount - 1].sym == SYM_OBJECT && kSpellings[kKeywordCount].sym == SYM_LP);

constexpr bool isLetter(int c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
constexpr bool isDigit(int c) { return c >= '0' && c <= '9'; }
bool isHexDigit(int c) {
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

struct WordChars {
    bool of[256] = {};
    constexpr WordChars() {
        for (int c = 0; c < 256; ++c) of[c] = isLetter(c) || isDigit(c) || c == '_';
    }
};
constexpr WordChars kWordChars;

// The keywords by their first letter, at most three of them each (the
// rest of a row is -1).
struct KeywordsByLetter {
    int of[26][3];
    constexpr KeywordsByLetter() : of() {
        for (auto& row : of)
            for (int& i : row) i = -1;
        for (int i = 0; i < kKeywordCount; ++i) {
            int* row = of[kSpellings[i].text[0] - 'a'];
            int n = 0;
            while (row[n] >= 0) ++n;
            row[n] = i;
        }
    }
};
constexpr KeywordsByLetter kKeywordsByLetter;

// Byte tests as function objects, so that the scanning loops inline them.
constexpr auto continuesWord = [](unsigned char c) { return kWordChars.of[c]; };
constexpr auto isDigitByte = [](unsigned char c) { return isDigit(c); };


// One pass over a source, producing tokens into the array.
class Scanner {
public:
    Scanner(CharSource& source, TokenArray& tokens, int line)
        : src_(source), out_(tokens), line_(line) {}

    int run() {
        for (;;) {
            int c = src_.get();
            if (c < 0) break;
            if (!scanOrdinary(c)) break;
        }
        out_.add(SYM_EOF, line_, "", 0);
        return line_;
    }

private:
    // Scans one token (or skipped item) starting with c; false once the
    // end of input has been reached inside a comment or literal.
    bool scanOrdinary(int c) {
        if (c == ' ' || c == '\t' || c == '\r') return true;
        startLine_ = line_;
        len_ = 0;
        if (c == '\n') {
            ++line_;
            return true;
        }
        if (isLetter(c)) return scanWord(c);
        if (isDigit(c)) return scanNumber(c);
        if (c == '.') return scanFraction(c);
        if (c == '"') return scanText();
        if (c == '/') {
            if (src_.peek() == '/') return scanLineComment();
            if (src_.peek() == '*') {
                src_.get();
                return scanComment();
            }
        }
        append(c);
        int sym = scanOperator(c);
        if (sym)
            emit(sym);
        else
            invalid();
        return true;
    }

    bool scanWord(int c) {
        append(c);
        takeWhile(continuesWord);
        emit(keywordOf());
        return true;
    }

    int keywordOf() const {
        if (len_ < 2 || len_ > 9 || text_[0] < 'a' || text_[0] > 'z') return SYM_ID;
        std::string_view word(text_, len_);
        for (int i : kKeywordsByLetter.of[text_[0] - 'a']) {
            if (i < 0) break;
            if (kSpellings[i].text == word) return kSpellings[i].sym;
        }
        return SYM_ID;
    }

    bool scanNumber(int c) {
        append(c);
        if (c == '0' && (src_.peek() == 'x' || src_.peek() == 'X')) {
            append(src_.get());
            if (!isHexDigit(src_.peek())) {
                invalid();
                return true;
            }
            while (isHexDigit(src_.peek())) append(src_.get());
            emit(INTLIT);
            return true;
        }
        takeWhile(isDigitByte);
        if (src_.peek() == '.') return scanFraction(src_.get());
        emit(INTLIT);
        return true;
    }

    // The point of a floating literal has been read; digits and an
    // exponent without sign may follow.
    bool scanFraction(int point) {
        append(point);
        while (isDigit(src_.peek())) append(src_.get());
        if (src_.peek() == 'e' || src_.peek() == 'E') {
            append(src_.get());
            while (isDigit(src_.peek())) append(src_.get());
        }
        emit(FLOATLIT);
        return true;
    }

    bool scanLineComment() {
        append('/');
        for (;;) {
            int c = src_.get();
            if (c == '\n') {
                ++line_;
                return true;
            }
            if (c < 0) {
                invalid();
                return false;
            }
            append(c);
        }
    }

    // Block comments do not nest; a run of asterisks ends the comment only
    // when a slash follows it.
    bool scanComment() {
        for (;;) {
            int c = src_.get();
            if (c < 0) return false;
            if (c == '\n') ++line_;
            if (c != '*') continue;
            int stars = 1;
            while (src_.peek() == '*') {
                src_.get();
                ++stars;
            }
            int next = src_.peek();
            if (next == '/') {
                src_.get();
                return true;
            }
            if (next < 0) {
                len_ = 0;
                while (stars-- > 0) append('*');
                invalid();
                return false;
            }
        }
    }

    bool scanText() {
        for (;;) {
            int c = src_.get();
            if (c < 0) return false;
            if (c == '"') {
                emit(TEXTLIT);
                return true;
            }
            if (c == '\\') {
                int e = src_.get();
                if (e < 0) return false;
                if (!appendEscape(e)) continue;
                c = e;
            }
            if (c == '\n') ++line_;
            if (c != 0) append(c);
        }
    }

    // Appends the value of a backslash followed by e; true when e itself
    // must still be taken as an ordinary character.
    bool appendEscape(int e) {
        switch (e) {
        case '"': append('"'); return false;
        case 'n': append('\n'); return false;
        case 'r': append('\r'); return false;
        case 't': append('\t'); return false;
        case '\n':
        case '\t':
        case '\r': append('\\'); return true;
        default:
            append('\\');
            if (e != 0) append(e);
            return false;
        }
    }

    int scanOperator(int c) {
        switch (c) {
        case '(': return SYM_LP;
        case ')': return SYM_RP;
        case '{': return SYM_LB;
        case '}': return SYM_RB;
        case '[': return SYM_LH;
        case ']': return SYM_RH;
        case ',': return SYM_COMMA;
        case ':': return SYM_COLON;
        case ';': return SYM_SEMICOLON;
        case '#': return SYM_HASH;
        case '!': return follow('=', SYM_NEQ, SYM_EXCLAM);
        case '+': return src_.peek() == '+' ? take(SYM_PLUSPLUS) : follow('=', SYM_PLUSASSIGN, SYM_PLUS);
        case '-':
            return src_.peek() == '-' ? take(SYM_MINUSMINUS) : follow('=', SYM_MINUSASSIGN, SYM_MINUS);
        case '*': return src_.peek() == '*' ? take(SYM_PRIMARY) : follow('=', SYM_MULTASSIGN, SYM_MULT);
        case '/': return follow('=', SYM_DIVASSIGN, SYM_DIV);
        case '%': return follow('=', SYM_MODASSIGN, SYM_MOD);
        case '=': return follow('=', SYM_EQ, SYM_ASSIGN);
        case '&': return src_.peek() == '&' ? take(SYM_AND) : follow('=', SYM_BANDASSIGN, SYM_BAND);
        case '|': return src_.peek() == '|' ? take(SYM_OR) : follow('=', SYM_BORASSIGN, SYM_BOR);
        case '<':
            if (src_.peek() == '>') return take(SYM_NEQ);
            if (src_.peek() == '<') {
                append(src_.get());
                return follow('=', SYM_LSHIFTASSIGN, SYM_LSHIFT);
            }
            return follow('=', SYM_LE, SYM_LT);
        case '>':
            if (src_.peek() == '>') {
                append(src_.get());
                return follow('=', SYM_RSHIFTASSIGN, SYM_RSHIFT);
            }
            return follow('=', SYM_GE, SYM_GT);
        default: return 0;
        }
    }

    int take(int sym) {
        append(src_.get());
        return sym;
    }
    int follow(int next, int withNext, int without) {
        return src_.peek() == next ? take(withNext) : without;
    }

    // Appends the bytes for which the test holds (up to the longest token
    // text kept) and passes over all of them.
    template <class Test>
    void takeWhile(Test test) {
        len_ += src_.takeWhile(test, text_ + len_, static_cast<std::size_t>(kMaxTokenText) - len_);
    }

    void append(int c) {
        if (len_ < static_cast<std::size_t>(kMaxTokenText)) text_[len_++] = static_cast<char>(c);
    }

    // Words and literals keep their text; keywords and operators (but for
    // "<>", another way to write "!=") are spelled as their token.
    void emit(int sym) {
        if (sym < SYM_ID && !(sym == SYM_NEQ && text_[0] == '<'))
            out_.addSpelled(sym, startLine_);
        else
            out_.add(sym, startLine_, text_, len_);
        len_ = 0;
    }

    void invalid() {
        text_[len_] = '\0';
        lexicalError("invalid token", line_, text_);
        len_ = 0;
    }

    CharSource& src_;
    TokenArray& out_;
    int line_;
    int startLine_ = 1;
    std::size_t len_ = 0;
    char text_[kMaxTokenText + 1];
};

}  // namespace

int scanAll(CharSource& source, TokenArray& tokens, int firstLine) {
    Scanner scanner(source, tokens, firstLine);
    return scanner.run();
}

std::int32_t intLiteralValue(const char* text) {
    errno = 0;
    long long value = std::strtoll(text, nullptr, 0);
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<std::int32_t>(value);
}

double floatLiteralValue(const char* text) { return std::strtod(text, nullptr); }
