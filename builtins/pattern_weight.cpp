// Weighing extended regular expressions before they are compiled: a
// small recursive walk over alternatives, groups, bracket expressions and
// quantifiers that mirrors what the C library's compiler copies, and
// counts the loops over parts that can match nothing, which its matcher
// may try in every combination.
#include "builtins/pattern_weight.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace {

constexpr double kMaxLoops = 64;

struct Cost {
    double nodes = 0;
    // Loops over parts that can match the empty text, counted once per
    // copy an interval makes of them.
    double loops = 0;
    // Whether the part can match the empty text.
    bool nullable = true;
};

class Weigher {
public:
    explicit Weigher(const char* pattern) : p_(pattern) {}

    // Alternatives up to a closing parenthesis or the end.
    Cost alternatives() {
        Cost total = sequence();
        while (*p_ == '|' && !tooCostly(total)) {
            ++p_;
            Cost next = sequence();
            total.nodes += next.nodes;
            total.loops += next.loops;
            total.nullable = total.nullable || next.nullable;
        }
        return total;
    }

    bool atEnd() const { return *p_ == '\0'; }
    // A ')' without its '(' stands for itself.
    void skipStrayParenthesis() { ++p_; }

    static bool tooCostly(const Cost& c) { return c.nodes > kMaxPatternWeight || c.loops > kMaxLoops; }

private:
    Cost sequence() {
        Cost total;
        while (*p_ && *p_ != '|' && *p_ != ')' && !tooCostly(total)) {
            Cost piece = atom();
            for (bool stacked = false; quantify(piece, stacked); stacked = true) {
            }
            total.nodes += piece.nodes;
            total.loops += piece.loops;
            total.nullable = total.nullable && piece.nullable;
        }
        return total;
    }

    Cost atom() {
        char c = *p_++;
        if (c == '(') {
            Cost inner = alternatives();
            if (*p_ == ')') ++p_;
            inner.nodes += 1;
            return inner;
        }
        if (c == '[') skipBracket();
        if (c == '\\' && *p_) ++p_;
        return Cost{1, 0, c == '^' || c == '$'};
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

    // Applies the quantifier at the cursor to the piece, having passed it;
    // false when there is none. A quantifier on a quantified piece wraps
    // it in a loop of its own, which costs at least a copy more; "x?" is
    // an alternative between x and nothing, which weighs like a copy.
    bool quantify(Cost& piece, bool stacked) {
        double copies;
        bool unbounded = false, optional = false;
        if (*p_ == '*') {
            copies = 1, unbounded = true, optional = true;
            ++p_;
        } else if (*p_ == '+') {
            copies = 2, unbounded = true;
            ++p_;
        } else if (*p_ == '?') {
            copies = 2, optional = true;
            ++p_;
        } else if (*p_ == '{' && (std::isdigit(static_cast<unsigned char>(p_[1])) || p_[1] == ',')) {
            if (!interval(copies, unbounded, optional)) return false;
            piece.loops *= copies;
        } else {
            return false;
        }
        if (unbounded && piece.nullable) piece.loops += 1;
        piece.nodes *= stacked ? std::max(copies, 2.0) : copies;
        piece.nullable = piece.nullable || optional;
        return true;
    }

    // {m}, {m,} or {m,n} at the cursor: the copies it makes, whether it
    // repeats without end and whether it may repeat nothing. A brace that
    // starts none of them is an atom and is left where it is.
    bool interval(double& copies, bool& unbounded, bool& optional) {
        const char* q = p_ + 1;
        double low = number(q), high = low;
        if (*q == ',') {
            ++q;
            unbounded = !std::isdigit(static_cast<unsigned char>(*q));
            high = unbounded ? low + 1 : number(q);
        }
        if (*q != '}') return false;
        p_ = q + 1;
        copies = std::max(high, 1.0);
        optional = low == 0;
        return true;
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
    Cost total;
    while (!Weigher::tooCostly(total)) {
        Cost part = weigher.alternatives();
        total.nodes += part.nodes;
        total.loops += part.loops;
        if (weigher.atEnd()) break;
        weigher.skipStrayParenthesis();
    }
    double loops = std::min(total.loops, kMaxLoops);
    return total.nodes + (loops > 0 ? std::pow(2.0, loops) : 0);
}
