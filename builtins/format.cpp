// The formatting engine: parses directives (flags - + space # 0, a width, a
// precision, one conversion character) and renders integers, floats,
// characters and texts with the programs' padding rules. Float digits come
// from the C library at a bounded precision; everything around them (sign,
// padding, precision beyond what the library is asked for) is done here;
// plain %f and %e of finite values take the faster std::to_chars, which
// renders them identically.
#include "builtins/format.h"

#include <algorithm>
#include <charconv>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "core/messages.h"

namespace {

// Float conversions are asked of the library with at most this many
// digits; larger precisions are filled with zeros.
constexpr int kMaxFloatDigits = 39;

struct Directive {
    bool left = false;
    bool plus = false;
    bool alt = false;
    bool zero = false;
    int width = 0;
    int precision = -1;  // -1: not given
    char conversion = '\0';
};

int readNumber(const char*& p) {
    int value = 0;
    while (std::isdigit(static_cast<unsigned char>(*p))) {
        value = std::min(value * 10 + (*p - '0'), kMaxFieldWidth);
        ++p;
    }
    return value;
}

// Parses the directive after a '%'; p is left after its conversion
// character (or on the terminating NUL of a cut-off directive).
Directive parseDirective(const char*& p) {
    Directive d;
    for (;; ++p) {
        if (*p == '-') d.left = true;
        else if (*p == '+') d.plus = true;
        else if (*p == '#') d.alt = true;
        else if (*p == '0') d.zero = true;
        else if (*p != ' ') break;
    }
    d.width = readNumber(p);
    if (*p == '.') {
        ++p;
        if (std::isdigit(static_cast<unsigned char>(*p))) d.precision = readNumber(p);
    }
    if (*p) d.conversion = *p++;
    return d;
}

// Appends head (sign and prefix) and body padded to the width: spaces
// before, zeros between head and body, or spaces after.
void appendPadded(std::string& out, const Directive& d, std::string_view head, std::string_view body,
                  bool zeroAllowed) {
    std::size_t length = head.size() + body.size();
    std::size_t fill = static_cast<std::size_t>(d.width) > length ? d.width - length : 0;
    if (d.left) {
        out.append(head).append(body).append(fill, ' ');
    } else if (d.zero && zeroAllowed) {
        out.append(head).append(fill, '0').append(body);
    } else {
        out.append(fill, ' ').append(head).append(body);
    }
}

std::string digitsOf(std::uint32_t magnitude, unsigned base, bool upper) {
    const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string text;
    do {
        text.push_back(digits[magnitude % base]);
        magnitude /= base;
    } while (magnitude);
    std::reverse(text.begin(), text.end());
    return text;
}

void appendInteger(std::string& out, const Directive& d, std::int32_t value) {
    unsigned base = d.conversion == 'o' ? 8 : (d.conversion == 'x' || d.conversion == 'X') ? 16 : 10;
    std::uint32_t magnitude = value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
    std::string body = digitsOf(magnitude, base, d.conversion == 'X');
    if (d.precision > static_cast<int>(body.size())) body.insert(0, d.precision - body.size(), '0');
    std::string head = value < 0 ? "-" : d.plus ? "+" : "";
    if (d.alt && base == 16) head += d.conversion == 'X' ? "0X" : "0x";
    if (d.alt && base == 8 && body[0] != '0') body.insert(0, 1, '0');
    appendPadded(out, d, head, body, true);
}

// Inserts the zeros of a precision beyond what the library produced: after
// the digits, before any exponent.
void extendPrecision(std::string& body, const Directive& d, int missing) {
    bool general = d.conversion == 'g' || d.conversion == 'G';
    if (missing <= 0 || (general && !d.alt)) return;
    std::size_t exponent = body.find_first_of("eE");
    if (exponent == std::string::npos || d.conversion == 'f') exponent = body.size();
    body.insert(exponent, static_cast<std::size_t>(missing), '0');
}

// The C library's rendering of value at a precision it can honour. No
// rendering at kMaxFloatDigits exceeds the buffer (the largest double has
// 309 integer digits), so one call suffices.
std::string libraryDigits(const Directive& d, int precision, double value) {
    char spec[] = {'%', '#', '.', '*', d.conversion, '\0'};
    if (!d.alt) std::memmove(spec + 1, spec + 2, 4);
    char buffer[512];
    int size = std::snprintf(buffer, sizeof buffer, spec, precision, value);
    if (size < 0) return "";
    if (static_cast<std::size_t>(size) < sizeof buffer) return std::string(buffer, static_cast<std::size_t>(size));
    std::string body(static_cast<std::size_t>(size) + 1, '\0');
    std::snprintf(body.data(), body.size(), spec, precision, value);
    body.resize(static_cast<std::size_t>(size));
    return body;
}

// The digits of a finite value in %f or %e without the '#' flag. Both
// produce the exactly rounded decimal with ties to even, as the C library
// does in its default rounding mode, in the same layout (at least two
// exponent digits), so the text is the same, much faster.
std::string exactDigits(const Directive& d, int precision, double value) {
    char buffer[512];
    auto format = d.conversion == 'f' ? std::chars_format::fixed : std::chars_format::scientific;
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, format, precision);
    if (error != std::errc()) return libraryDigits(d, precision, value);
    return std::string(buffer, end);
}

bool hasExactDigits(const Directive& d, double value) {
    return !d.alt && (d.conversion == 'f' || d.conversion == 'e') && std::isfinite(value);
}

void appendFloat(std::string& out, const Directive& d, double value) {
    int precision = d.precision < 0 ? 6 : d.precision;
    int asked = std::min(precision, kMaxFloatDigits);
    std::string body = hasExactDigits(d, value) ? exactDigits(d, asked, value) : libraryDigits(d, asked, value);
    std::string head;
    // Only values below zero are signed: negative zero (ceil(-0.5)) and a
    // sign-bit NaN print without one.
    if (!body.empty() && body[0] == '-') {
        if (value < 0) head = "-";
        body.erase(0, 1);
    }
    bool finite = std::isfinite(value);
    if (finite) extendPrecision(body, d, precision - asked);
    appendPadded(out, d, head, body, finite);
}

void appendText(std::string& out, const Directive& d, const char* text) {
    const char* shown = text ? text : "<NULL>";
    std::size_t length = std::strlen(shown);
    if (d.precision >= 0) length = std::min(length, static_cast<std::size_t>(d.precision));
    appendPadded(out, d, "", std::string_view(shown, length), false);
}

// Renders one directive; false when the formatting must end.
bool appendDirective(UnitContext* ctx, std::string& out, const Directive& d, FormatArgs& args,
                     int& argno) {
    switch (d.conversion) {
    case 'd': case 'i': case 'o': case 'x': case 'X':
        appendInteger(out, d, args.intArg(argno++));
        return true;
    case 'c': {
        char byte = static_cast<char>(args.intArg(argno++) & 0xff);
        appendPadded(out, d, "", std::string_view(&byte, 1), false);
        return true;
    }
    case 's':
        appendText(out, d, args.textArg(argno++).get());
        return true;
    case 'e': case 'E': case 'f': case 'g': case 'G':
        appendFloat(out, d, args.floatArg(argno++));
        return true;
    case 'n':
        if (args.storeCount(argno, static_cast<std::int32_t>(out.size()))) {
            ++argno;
            return true;
        }
        paramErrorDS(ctx, kNoLine, "function %s misses parameter %d.", "sprintf", argno);
        return false;
    default:
        return true;
    }
}

}  // namespace

std::string formatText(UnitContext* ctx, const char* format, FormatArgs& args) {
    std::string out;
    out.reserve(std::strlen(format) + 1);
    int argno = 2;
    for (const char* p = format; *p;) {
        if (*p != '%') {
            out.push_back(*p++);
            continue;
        }
        ++p;
        Directive d = parseDirective(p);
        if (!appendDirective(ctx, out, d, args, argno)) break;
    }
    return out;
}
