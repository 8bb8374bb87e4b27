// Conversions between numbers and texts: intAsText, int2text, textAsInt,
// getInt (text2int) and getFloat.
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "builtins/handlers.h"
#include "builtins/support.h"
#include "core/messages.h"
#include "interp/builtin_frame.h"

namespace {

// getInt looks at no more than this many bytes of its text.
constexpr std::size_t kIntTextWindow = 80;

char* decimalText(UnitContext* ctx, std::int32_t n) { return newText(ctx, std::to_string(n).c_str()); }

// strtoll saturates out-of-range numbers; the int result keeps the low 32
// bits as int arithmetic would.
std::int32_t parseInteger(const char* text, int base) {
    errno = 0;
    long long value = std::strtoll(text, nullptr, base);
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

// Length of the decimal floating number (sign, digits, fraction, exponent)
// at the start of text after white space; 0 when there is none. strtod
// alone would also accept hexadecimal, infinity and NaN spellings.
std::size_t decimalFloatLength(const char* text) {
    std::size_t i = 0;
    while (std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    if (text[i] == '+' || text[i] == '-') ++i;
    std::size_t digits = 0;
    while (std::isdigit(static_cast<unsigned char>(text[i]))) ++i, ++digits;
    if (text[i] == '.') {
        ++i;
        while (std::isdigit(static_cast<unsigned char>(text[i]))) ++i, ++digits;
    }
    if (!digits) return 0;
    if (text[i] == 'e' || text[i] == 'E') {
        std::size_t j = i + 1;
        if (text[j] == '+' || text[j] == '-') ++j;
        if (std::isdigit(static_cast<unsigned char>(text[j]))) {
            while (std::isdigit(static_cast<unsigned char>(text[j]))) ++j;
            i = j;
        }
    }
    return i;
}

}  // namespace

char* IntAsText(UnitContext* ctx, param* args) {
    param* cursor = args;
    std::int32_t n = getIntPar(ctx, cursor, 1, "intAsText");
    checkPars(ctx, cursor, 1, "intAsText");
    return decimalText(ctx, n);
}

std::int32_t Int2Text(UnitContext* ctx, param* args) {
    param* target = args;
    param* number = args ? nextOf(args) : nullptr;
    if (!number || par_type(ctx, number) != VT_INT) {
        errorMsg(ctx, MSG_ERROR, "Error: Second argument to Int2Text is not an integer.");
        return 0;
    }
    if (target->expr && target->expr->flag == int{T_CONST} + VT_TEXT) {
        errorMsg(ctx, MSG_ERROR, "Error: Can't Int2Text to text constant");
        return 0;
    }
    if (!isTextVariable(target)) {
        errorMsg(ctx, MSG_ERROR, "Error: NULL text pointer in Int2Text function");
        return 0;
    }
    t_set_par_value(ctx, target, decimalText(ctx, par_value(ctx, number)));
    return 1;
}

std::int32_t TextAsInt(UnitContext* ctx, param* args) {
    OwnedText text = textArgument(ctx, args, "textAsInt");
    return text ? parseInteger(text.get(), 0) : 0;
}

std::int32_t text2Int(UnitContext* ctx, param* args) {
    OwnedText text = textArgument(ctx, args, "getInt");
    if (!text) return 0;
    std::string window(text.get(), strnlen(text.get(), kIntTextWindow));
    return parseInteger(window.c_str(), 10);
}

double text2Float(UnitContext* ctx, param* args) {
    OwnedText text = textArgument(ctx, args, "getFloat");
    if (!text) return 0.0;
    std::size_t length = decimalFloatLength(text.get());
    if (!length) return 0.0;
    return std::strtod(std::string(text.get(), length).c_str(), nullptr);
}
