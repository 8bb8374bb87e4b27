// String builtins: strcat, strcmp, strncmp, stricmp, strlen, strgetchar
// and substr. They read their argument nodes directly and ignore arguments
// beyond those they use; a missing text argument counts as the empty text.
#include <cstring>
#include <string>

#include "builtins/handlers.h"
#include "builtins/support.h"
#include "core/messages.h"
#include "core/strings.h"
#include "interp/builtin_frame.h"

namespace {

param* argumentAt(param* args, int index) {
    param* node = args;
    for (int i = 0; node && i < index; ++i) node = nextOf(node);
    return node;
}

OwnedText textAt(UnitContext* ctx, param* args, int index) {
    param* node = argumentAt(args, index);
    return OwnedText(node ? t_par_value(ctx, node) : nullptr);
}

std::int32_t intAt(UnitContext* ctx, param* args, int index) {
    param* node = argumentAt(args, index);
    return node ? par_value(ctx, node) : 0;
}

const char* orEmpty(const OwnedText& text) { return text ? text.get() : ""; }

// The comparisons report only the sign, as the C library's do.
std::int32_t signOf(int comparison) { return comparison < 0 ? -1 : comparison > 0; }

// What strcat appends: a text, or the character whose code an int gives.
// Returns false after reporting a second argument that cannot be appended.
bool appendixOf(UnitContext* ctx, param* node, std::string& appendix, bool& missingText) {
    if (!node) {
        errorMsg(ctx, MSG_ERROR, "Error: second parameter to Strcat is missing.");
        return false;
    }
    switch (par_type(ctx, node)) {
    case VT_INT: {
        char code = static_cast<char>(par_value(ctx, node) & 0xff);
        if (code) appendix.assign(1, code);
        return true;
    }
    case VT_TEXT: {
        OwnedText text(t_par_value(ctx, node));
        if (text) appendix = text.get();
        else missingText = true;
        return true;
    }
    default:
        errorMsg(ctx, MSG_ERROR, "Error: second parameter to Strcat is not text constant.");
        return false;
    }
}

}  // namespace

std::int32_t Sstrcat(UnitContext* ctx, param* args) {
    if (!args) {
        errorMsg(ctx, MSG_ERROR, "No parameters Strcat.");
        return 0;
    }
    if (!isTextVariable(args)) {
        errorMsg(ctx, MSG_ERROR, "Error: First parameter to Strcat is not a modifiable text.");
        return 0;
    }
    std::string appendix;
    bool missingText = false;
    if (!appendixOf(ctx, nextOf(args), appendix, missingText)) return 1;
    OwnedText current(t_par_value(ctx, args));
    if (!current || missingText) {
        errorMsg(ctx, MSG_ERROR, "Error: NULL text pointer(s) in Strcat function.");
        return 0;
    }
    std::string joined = current.get() + appendix;
    t_set_par_value(ctx, args, newText(ctx, joined.data(), joined.size()));
    return 1;
}

std::int32_t Sstrcmp(UnitContext* ctx, param* args) {
    OwnedText a = textAt(ctx, args, 0), b = textAt(ctx, args, 1);
    return signOf(std::strcmp(orEmpty(a), orEmpty(b)));
}

std::int32_t Sstrncmp(UnitContext* ctx, param* args) {
    OwnedText a = textAt(ctx, args, 0), b = textAt(ctx, args, 1);
    std::int32_t n = intAt(ctx, args, 2);
    if (n <= 0) return 0;
    return signOf(std::strncmp(orEmpty(a), orEmpty(b), static_cast<std::size_t>(n)));
}

std::int32_t Stricmp(UnitContext* ctx, param* args) {
    OwnedText a = textAt(ctx, args, 0), b = textAt(ctx, args, 1);
    return stricmp(orEmpty(a), orEmpty(b));
}

std::int32_t Sstrlen(UnitContext* ctx, param* args) {
    OwnedText s = textAt(ctx, args, 0);
    return static_cast<std::int32_t>(std::strlen(orEmpty(s)));
}

std::int32_t Strgetchar(UnitContext* ctx, param* args) {
    OwnedText s = textAt(ctx, args, 0);
    std::int32_t i = intAt(ctx, args, 1);
    std::size_t length = std::strlen(orEmpty(s));
    if (i < 0 || static_cast<std::size_t>(i) >= length) return -1;
    return static_cast<signed char>(s.get()[i]);
}

char* SubString(UnitContext* ctx, param* args) {
    OwnedText s = textAt(ctx, args, 0);
    std::int32_t from = intAt(ctx, args, 1), to = intAt(ctx, args, 2);
    const char* text = orEmpty(s);
    auto length = static_cast<std::int32_t>(std::strlen(text));
    if (from < 0 || from > to || to > length) {
        int line = args ? args->line : 0;
        errorMsg(ctx, MSG_WARNING,
                 formatMsg("Illegal substring specification on line %d(%ld-%ld:%d)", line,
                           static_cast<long>(from), static_cast<long>(to), length)
                     .c_str());
        return newText(ctx, text);
    }
    return newText(ctx, text + from, static_cast<std::size_t>(to - from));
}
