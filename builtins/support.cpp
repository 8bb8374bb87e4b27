// Shared helpers of the builtin groups.
#include "builtins/support.h"

#include <cstring>

#include "core/messages.h"
#include "interp/builtin_frame.h"

char* newText(UnitContext* ctx, const char* bytes, std::size_t length) {
    auto* text = static_cast<char*>(mustAlloc(ctx, length + 1));
    if (length) std::memcpy(text, bytes, length);
    text[length] = '\0';
    return text;
}

char* newText(UnitContext* ctx, const char* text) {
    return newText(ctx, text ? text : "", text ? std::strlen(text) : 0);
}

char* emptyText(UnitContext* ctx) { return newText(ctx, "", 0); }

namespace {

// An element access is an array access with an index list; without one the
// node names the whole array.
bool isElementOrVariable(const param* node, std::uint8_t base) {
    if (!node || !node->expr) return false;
    const op* expr = node->expr;
    if (expr->flag == int{T_VAR} + base) return true;
    return expr->flag == int{T_ARRAY} + base && expr->left.arr && expr->left.arr->indexes;
}

}  // namespace

bool isTextVariable(const param* node) { return isElementOrVariable(node, VT_TEXT); }

bool isIntVariable(const param* node) { return isElementOrVariable(node, VT_INT); }

void takeArguments(UnitContext* ctx, param* args, const char* name, const char* kinds) {
    param* cursor = args;
    int argno = 1;
    for (const char* kind = kinds; *kind; ++kind, ++argno) {
        switch (*kind) {
        case 'i': getIntPar(ctx, cursor, argno, name); break;
        case 'f': getFltPar(ctx, cursor, argno, name); break;
        case 't': TamFree(getTextPar(ctx, cursor, argno, name)); break;
        default:
            if (cursor) cursor = nextOf(cursor);
            else if (*kind == 'I') paramErrorDS(ctx, kNoLine, "arg %d (integer) missing in function %s", argno, name);
            else paramErrorDS(ctx, kNoLine, "arg %d (text) missing in function %s", argno, name);
        }
    }
    checkPars(ctx, cursor, argno - 1, name);
}

OwnedText textArgument(UnitContext* ctx, param* args, const char* name) {
    param* cursor = args;
    OwnedText text(getTextPar(ctx, cursor, 1, name));
    checkPars(ctx, cursor, 1, name);
    return text;
}
