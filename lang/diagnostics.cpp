// Error reporting of the language front end.
#include "lang/diagnostics.h"

#include <cstdio>

#include "app/context.h"
#include "core/messages.h"
#include "lang/parser_state.h"

void parse_lerror(UnitContext* ctx, const char* text, int line) {
    errorMsg(ctx, MSG_ERROR, formatMsg("Error at line %d: %s\n", line, text).c_str());
}

void parse_error(UnitContext* ctx, const char* text) { parse_lerror(ctx, text, currentParseLine()); }

void lexicalError(const char* text, int line, const char* tokenText) {
    std::fprintf(stderr, "%s near line %d (text was '%s')\n", text ? text : "Lexical error", line, tokenText);
    std::fflush(stderr);
}

void failedPredicate(const char* predicate) {
    std::fprintf(stderr, "semantic error; failed predicate: '%s'\n", predicate);
    std::fflush(stderr);
}

// Outside a parse there is no line to name: the text goes out as it is.
void reportDeclaration(UnitContext* ctx, int level, const char* text) {
    if (!globals || !globals->parserState) {
        errorMsg(ctx, level, text);
        return;
    }
    errorMsg(ctx, level, formatMsg("Error at line %d: %s\n", currentParseLine(), text).c_str());
}
