// The Orvex scanner: turns a character source (a Kiv stream or a text)
// into the token array that the parser reads. The whole input is scanned
// before parsing begins.
#pragma once
#include <cstddef>
#include <cstdint>

#include "lang/tokens.h"
#include "net/kivstream.h"

// Longest token text kept; further characters of a token are dropped.
inline constexpr int kMaxTokenText = 1999;

// Characters from a stream (read in blocks) or from a zero-terminated text.
class CharSource {
public:
    explicit CharSource(KivStream* stream) : stream_(stream) {}
    explicit CharSource(const char* text) : text_(text) {}
    CharSource(const CharSource&) = delete;
    CharSource& operator=(const CharSource&) = delete;

    // The next byte (0..255), or -1 at the end.
    int get() {
        if (pos_ < len_) return buffer_[pos_++];
        return refill() ? buffer_[pos_++] : -1;
    }
    int peek() {
        if (pos_ < len_) return buffer_[pos_];
        return refill() ? buffer_[pos_] : -1;
    }
    // Passes over the bytes for which the test holds, copying the first
    // `room` of them to out; returns how many were copied.
    template <class Test>
    std::size_t takeWhile(Test test, char* out, std::size_t room) {
        std::size_t copied = 0;
        for (;;) {
            const unsigned char* at = buffer_ + pos_;
            const unsigned char* end = buffer_ + len_;
            for (; at < end && test(*at); ++at)
                if (copied < room) out[copied++] = static_cast<char>(*at);
            pos_ = static_cast<std::size_t>(at - buffer_);
            if (at < end || !refill()) return copied;
        }
    }

private:
    bool refill();

    KivStream* stream_ = nullptr;
    const char* text_ = nullptr;
    const unsigned char* buffer_ = nullptr;
    std::size_t len_ = 0;
    std::size_t pos_ = 0;
    bool done_ = false;
    unsigned char block_[1 << 16];
};

// Every token of one input: number, starting line and text, in order; the
// last token is always SYM_EOF. Keywords and operators written the one
// way their token is spelled share one copy of the spelling instead of a
// copy per token.
class TokenArray {
public:
    TokenArray();
    TokenArray(const TokenArray&) = delete;
    TokenArray& operator=(const TokenArray&) = delete;
    ~TokenArray();

    void add(int sym, int line, const char* text, std::size_t length);
    // A keyword or operator written as its token is spelled.
    void addSpelled(int sym, int line) {
        if (count_ == capacity_) grow();
        syms_[count_] = static_cast<std::uint8_t>(sym);
        lines_[count_] = line;
        offsets_[count_] = spelling_[sym];
        ++count_;
    }
    int count() const { return count_; }
    int sym(int i) const { return syms_[i]; }
    int line(int i) const { return lines_[i]; }
    const char* text(int i) const { return text_ + offsets_[i]; }

private:
    std::uint32_t addText(const char* text, std::size_t length);
    void grow();

    std::uint8_t* syms_ = nullptr;
    int* lines_ = nullptr;
    std::uint32_t* offsets_ = nullptr;
    int count_ = 0;
    int capacity_ = 0;
    char* text_ = nullptr;
    std::size_t textUsed_ = 0;
    std::size_t textCapacity_ = 0;
    // Where the shared spelling of each fixed token starts in text_; 0
    // for tokens whose text is kept per token.
    std::uint32_t spelling_[SYM_TOKEN_LIMIT] = {};
};

// Scans the whole source; lines count from firstLine. Lexical errors are
// printed and scanning goes on. Returns the line reached at the end.
int scanAll(CharSource& source, TokenArray& tokens, int firstLine = 1);

// Values of literal token texts: integers with base detection, clamped to
// 32 bits; floats by standard decimal conversion (a lone point is 0.0).
std::int32_t intLiteralValue(const char* text);
double floatLiteralValue(const char* text);
