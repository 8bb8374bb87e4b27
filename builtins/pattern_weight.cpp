// Weighing extended regular expressions before they are compiled: a
// small recursive walk over alternatives, groups, bracket expressions and
// quantifiers that mirrors what the C library's compiler copies.
#include "builtins/pattern_weight.h"

#include <algorithm>
#include <cctype>

namespace {

class Weigher {
public:
    explicit Weigher(const char* pattern) : p_(pattern) {}

    // Alternatives up to a closing parenthesis or the end.
    double alternatives() {
        double total = sequence();
        while (*p_ == '|' && total <= kMaxPatternWeight) {
            ++p_;
            total += sequence();
        }
        return total;
    }

    bool atEnd() const { return *p_ == '\0'; }
    // A ')' without its '(' stands for itself.
    void skipStrayParenthesis() { ++p_; }

private:
    double sequence() {
        double total = 0;
        while (*p_ && *p_ != '|' && *p_ != ')' && total <= kMaxPatternWeight) {
            double piece = atom();
            // A quantifier on a quantified piece wraps it in a loop of its
            // own, which costs at least a copy more.
            for (double copies, stacked = 0; (copies = quantifier()) > 0; stacked = 1)
                piece *= stacked ? std::max(copies, 2.0) : copies;
            total += piece;
        }
        return total;
    }

    double atom() {
        char c = *p_++;
        if (c == '(') {
            double inner = alternatives();
            if (*p_ == ')') ++p_;
            return inner + 1;
        }
        if (c == '[') skipBracket();
        if (c == '\\' && *p_) ++p_;
        return 1;
    }

    // After '[': a ']' first in the list is a member; [:class:], [.x.]
    // and [=x=] hold brackets of their own.
    void skipBracket() {
        if (*p_ == '^') ++p_;
        if (*p_ == ']') ++p_;
        while (*p_ && *p_ != ']') {
            if (*p_ == '[' && (p_[1] == ':' || p_[1] == '.' || p_[1] == '=')) {
                char kind = p_[1];
                p_ += 2;
                while (*p_ && !(*p_ == kind && p_[1] == ']')) ++p_;
                if (*p_) p_ += 2;
            } else {
                ++p_;
            }
        }
        if (*p_) ++p_;
    }

    // The copies the quantifier at the cursor makes (at least 1), having
    // passed it; 0 when there is none.
    double quantifier() {
        // "x?" is an alternative between x and nothing, which under an
        // interval weighs like a second copy.
        if (*p_ == '*') {
            ++p_;
            return 1;
        }
        if (*p_ == '+' || *p_ == '?') {
            ++p_;
            return 2;
        }
        if (*p_ == '{' && (std::isdigit(static_cast<unsigned char>(p_[1])) || p_[1] == ',')) return interval();
        return 0;
    }

    // {m}, {m,} or {m,n}; a brace that starts none of them is an atom.
    double interval() {
        const char* q = p_ + 1;
        double low = number(q), high = low;
        if (*q == ',') {
            ++q;
            high = std::isdigit(static_cast<unsigned char>(*q)) ? number(q) : low + 1;
        }
        if (*q != '}') return 0;
        p_ = q + 1;
        return std::max(high, 1.0);
    }

    static double number(const char*& q) {
        double value = 0;
        while (std::isdigit(static_cast<unsigned char>(*q))) value = std::min(value * 10 + (*q++ - '0'), 1e9);
        return value;
    }

    const char* p_;
};

}  // namespace

double patternWeight(const char* pattern) {
    Weigher weigher(pattern);
    double total = 0;
    while (total <= kMaxPatternWeight) {
        total += weigher.alternatives();
        if (weigher.atEnd()) break;
        weigher.skipStrayParenthesis();
    }
    return total;
}
