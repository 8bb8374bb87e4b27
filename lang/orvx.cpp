// The Orvex parser, program level: entry points, global and local
// declarations, functions, constants, object generators, includes and the
// back-patching of calls of functions declared later.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "app/context.h"
#include "app/shutdown.h"
#include "core/alloc.h"
#include "core/arena.h"
#include "core/messages.h"
#include "core/strings.h"
#include "lang/diagnostics.h"
#include "lang/include.h"
#include "lang/orvx_parser.h"
#include "lang/parser.h"
#include "lang/parser_state.h"
#include "lang/symtab.h"
#include "present/objmodel.h"

UnitContext* globals = nullptr;

namespace {

// Makes a parser current for the time of one nested parse and restores the
// previous parser and context afterwards.
class ParseScope {
public:
    ParseScope(UnitContext* ctx, ParserState* parser)
        : ctx_(ctx), savedParser_(ctx->parserState), savedGlobals_(globals) {
        ctx->parserState = parser;
        globals = ctx;
        setDeclReporter(reportDeclaration);
    }
    ~ParseScope() {
        ctx_->parserState = savedParser_;
        globals = savedGlobals_;
    }
    ParseScope(const ParseScope&) = delete;
    ParseScope& operator=(const ParseScope&) = delete;

private:
    UnitContext* ctx_;
    ParserState* savedParser_;
    UnitContext* savedGlobals_;
};

// Puts the records of one parse in an arena, or with null on the
// allocator, and restores the previous choice afterwards.
class RecordScope {
public:
    RecordScope(UnitContext* ctx, RecordArena* arena) : ctx_(ctx), saved_(ctx->recordArena) {
        ctx->recordArena = arena;
    }
    ~RecordScope() { ctx_->recordArena = saved_; }
    RecordScope(const RecordScope&) = delete;
    RecordScope& operator=(const RecordScope&) = delete;

private:
    UnitContext* ctx_;
    RecordArena* saved_;
};

// Scans with the context made global, so that a token buffer that cannot
// grow ends the player through the cleanup path.
void scanWithContext(UnitContext* ctx, CharSource& source, TokenArray& tokens) {
    UnitContext* saved = globals;
    globals = ctx;
    scanAll(source, tokens);
    globals = saved;
}

// Float to int conversion truncating toward zero, saturating at the ends.
std::int32_t clampToInt(double value) {
    if (!(value == value)) return 0;
    if (value >= 2147483647.0) return INT32_MAX;
    if (value <= -2147483648.0) return INT32_MIN;
    return static_cast<std::int32_t>(value);
}

}  // namespace

void ruleNestingOverflow(UnitContext* ctx, int line) {
    std::fprintf(stderr, "fatal: attrib/AST stack overflow %s(%d)!\n", "orvx", line);
    std::fflush(stderr);
    ruleNesting = 0;
    c_exit(ctx, 1);
}

int currentParseLine() {
    if (!globals || !globals->parserState) return 0;
    return globals->parserState->LALINE(1);
}

void StmtList::add(simaction* s) {
    if (!head) {
        init_list(s);
        head = tail = s;
    } else {
        place_next(tail, s);
        tail = s;
    }
}

void StmtList::splice(StmtList& other) {
    if (!other.head) return;
    if (!head) {
        head = other.head;
    } else {
        tail->next = other.head;
        other.head->prev = tail;
    }
    tail = other.tail;
    other.head = other.tail = nullptr;
}

bool ParserState::match(int sym) {
    if (failed) return false;
    if (LA(1) == sym) {
        consume();
        return true;
    }
    fail();
    return false;
}

bool ParserState::recover(const char* description, int until1, int until2, int until3) {
    if (guessing) return false;
    parse_error(ctx, formatMsg("%s at token \"%s\".", description, LATEXT(1)).c_str());
    for (;;) {
        int t = LA(1);
        if (t == SYM_EOF || t == until1 || t == until2 || t == until3) break;
        consume();
    }
    failed = false;
    return true;
}

// ---- Entry points ----

int readsim(UnitContext* ctx, KivStream* stream) {
    auto source = std::make_unique<CharSource>(stream);
    TokenArray tokens;
    scanWithContext(ctx, *source, tokens);
    if (!ctx->learnUnit) {
        parse_lerror(ctx, "Backpatch - No learn unit!", 0);
        return 1;
    }
    SymbolIndexScope index;
    LearnUnit* unit = ctx->learnUnit;
    if (!unit->records) unit->records = new RecordArena();
    RecordScope records(ctx, unit->records);
    ParserState parser(ctx, tokens, unit);
    ParseScope scope(ctx, &parser);
    parser.rsim();
    return (ctx->runState & RS_STOP) ? 1 : 0;
}

// A statement string makes few lookups: they walk the lists rather than
// index every block of a program that may be large.
simaction* parse_statement(UnitContext* ctx, const char* text) {
    if (!text || !ctx->learnUnit) return nullptr;
    LearnUnit* unit = ctx->learnUnit;
    Block* scope = unit->currentFrame && unit->currentFrame->owner ? unit->currentFrame->owner : unit;
    auto source = std::make_unique<CharSource>(text);
    TokenArray tokens;
    scanWithContext(ctx, *source, tokens);
    if (tokens.count() <= 1) return nullptr;  // nothing but the end of the text
    RecordScope records(ctx, nullptr);
    ParserState parser(ctx, tokens, unit);
    ParseScope parseScope(ctx, &parser);
    StmtList out;
    parser.statement(scope, out);
    parser.backpatch();
    return out.head;
}

void parseNested(UnitContext* ctx, KivStream* stream, bool resolveCalls) {
    auto source = std::make_unique<CharSource>(stream);
    TokenArray tokens;
    scanWithContext(ctx, *source, tokens);
    SymbolIndexScope index;
    ParserState parser(ctx, tokens, ctx->learnUnit);
    ParseScope scope(ctx, &parser);
    includeFile(ctx, ctx->learnUnit);
    if (resolveCalls) parser.backpatch();
}

void includeFile(UnitContext* ctx, LearnUnit* unit) {
    ParserState* parser = ctx->parserState;
    if (!parser || !unit) return;
    parser->unit = unit;
    parser->includeFile();
}

// ---- Program level ----

void ParserState::rsim() {
    RuleGuard guard(ctx, __LINE__);
    if (LA(1) == SYM_ID && LA(2) == SYM_ID && (LA(3) == INTLIT || LA(3) == SYM_SEMICOLON)) nameDecl();
    do {
        globalDecl(unit);
    } while (LA(1) != SYM_EOF);
    backpatch();
}

void ParserState::includeFile() {
    RuleGuard guard(ctx, __LINE__);
    if (LA(1) == SYM_ID && LA(2) == SYM_ID && (LA(3) == INTLIT || LA(3) == SYM_SEMICOLON)) nameDecl();
    while (LA(1) != SYM_EOF) globalDecl(unit);
}

void ParserState::nameDecl() {
    RuleGuard guard(ctx, __LINE__);
    if (std::strcmp(LATEXT(1), "name") != 0) failedPredicate("  is_name(LATEXT(1))");
    consume();
    char* name = safestrdup(LATEXT(1));
    consume();
    int version = 0;
    if (LA(1) == INTLIT) {
        version = static_cast<int>(std::strtol(LATEXT(1), nullptr, 10));
        consume();
    }
    TamFree(unit->programName);
    unit->programName = name;
    unit->version = version;
    if (!match(SYM_SEMICOLON)) recover("Parse error", SYM_RB);
}

bool ParserState::isTypeToken(int sym) const {
    return sym == SYM_VOID || sym == SYM_INT || sym == SYM_FLOAT || sym == SYM_TEXT;
}

bool ParserState::atFuncDecl() const { return isTypeToken(LA(1)) && LA(2) == SYM_ID && LA(3) == SYM_LP; }

int ParserState::parseType() {
    int type = -1;
    switch (LA(1)) {
    case SYM_VOID: type = VT_NONE; break;
    case SYM_INT: type = VT_INT; break;
    case SYM_FLOAT: type = VT_FLOAT; break;
    case SYM_TEXT: type = VT_TEXT; break;
    default: fail(); return -1;
    }
    consume();
    return type;
}

void ParserState::globalDecl(Block* block) {
    RuleGuard guard(ctx, __LINE__);
    int t = LA(1);
    if (isTypeToken(t)) {
        if (atFuncDecl()) {
            funcdecl(block);
        } else {
            int type = parseType();
            vardecl(block, type);
        }
    } else if (t == SYM_CONST) {
        consume();
        int type = parseType();
        if (!failed) constdecl(block, type);
    } else if (t == SYM_OBJECT) {
        consume();
        objGenDecl(block);
    } else if (t == SYM_INCLUDE) {
        consume();
        includeDecl();
    } else {
        fail();
    }
    if (failed && recover("global: malformed global declaration", SYM_RB, SYM_SEMICOLON)) {
        // Resume after the token that ended the broken declaration.
        if (LA(1) != SYM_EOF) consume();
    }
}

void ParserState::localDecl(Block* block) {
    RuleGuard guard(ctx, __LINE__);
    const char* description;
    if (LA(1) == SYM_CONST) {
        description = "malformed local declaration";
        consume();
        int type = parseType();
        if (!failed) constdecl(block, type);
    } else if (atFuncDecl()) {
        description = "local declaration: malformed function declaration";
        funcdecl(block);
    } else {
        description = "local declaration: malformed variable declaration";
        int type = parseType();
        if (!failed) vardecl(block, type);
    }
    if (failed) recover(description, SYM_SEMICOLON);
}

void ParserState::funcdecl(Block* block) {
    RuleGuard guard(ctx, __LINE__);
    int type = parseType();
    if (failed) return;
    function* fn = c_function(ctx);
    fn->name = safestrdup(LATEXT(1));
    fn->rettype = static_cast<std::uint8_t>(type);
    fn->parent = block;
    insert_function(block, fn);
    consume();
    if (!match(SYM_LP)) return;
    if (LA(1) != SYM_RP) fparams(fn);
    if (!match(SYM_RP)) return;
    funcBlock(fn);
}

void ParserState::fparams(function* fn) {
    RuleGuard guard(ctx, __LINE__);
    fparam* tail = nullptr;
    one_param(fn, tail);
    while (!failed && LA(1) == SYM_COMMA) {
        consume();
        one_param(fn, tail);
    }
}

void ParserState::one_param(function* fn, fparam*& tail) {
    RuleGuard guard(ctx, __LINE__);
    bool byRef = LA(1) == SYM_REF;
    if (byRef) consume();
    int type = parseType();
    if (failed) return;
    if (type == VT_NONE) {
        parse_error(ctx, "Illegal type for parameter");
        type = VT_INT;
    }
    if (LA(1) != SYM_ID) return fail();
    const char* name = LATEXT(1);
    consume();
    int dims = 0;
    while (LA(1) == SYM_LH && LA(2) == SYM_RH) {
        consume();
        consume();
        if (dims < 255) ++dims;
    }
    vdecl* var = mustNew<vdecl>(ctx);
    var->name = safestrdup(name);
    var->type = static_cast<std::uint8_t>(type + (dims ? VT_ARRAY : 0));
    var->ndims = static_cast<std::uint8_t>(dims);
    if (!insert_parameter(fn, var, byRef || dims > 0)) {
        parse_error(ctx, formatMsg("Identifier %s already declared in parameter list", name).c_str());
        TamFree(var->name);
        TamFree(var);
        return;
    }
    // Arrays are never copied: an array parameter binds to the caller's
    // array whether or not it is declared ref.
    fparam* formal = mustNew<fparam>(ctx);
    formal->decl = var;
    formal->isRef = byRef || dims > 0 ? 1 : 0;
    appendTo(fn->fparams, tail, formal);
}

// Body of a function or object generator: local declarations, then
// statements.
void ParserState::funcBlock(Block* block) {
    RuleGuard guard(ctx, __LINE__);
    simaction** body = block->blockKind == BLOCK_GENERATOR ? &static_cast<objectproto*>(block)->body
                                                           : &static_cast<function*>(block)->body;
    if (match(SYM_LB)) {
        while (isTypeToken(LA(1)) || LA(1) == SYM_CONST) localDecl(block);
        StmtList list;
        while (LA(1) != SYM_RB && LA(1) != SYM_EOF) statement(block, list);
        *body = list.head;
        match(SYM_RB);
    }
    if (failed && recover("statement : malformed statement", SYM_RB) && LA(1) == SYM_RB) consume();
}

void ParserState::vardecl(Block* block, int type) {
    RuleGuard guard(ctx, __LINE__);
    if (type == VT_NONE) {
        parse_error(ctx, "Illegal type for variable");
        type = VT_INT;
    }
    one_var(block, type);
    while (!failed && LA(1) == SYM_COMMA) {
        consume();
        one_var(block, type);
    }
    match(SYM_SEMICOLON);
}

void ParserState::one_var(Block* block, int type) {
    RuleGuard guard(ctx, __LINE__);
    if (LA(1) != SYM_ID) return fail();
    vdecl* var = mustNew<vdecl>(ctx);
    var->name = safestrdup(LATEXT(1));
    var->type = static_cast<std::uint8_t>(type);
    insert_variable(block, var);
    consume();
    if (LA(1) == SYM_LH) {
        arraydecl(block, var);
        return;
    }
    if (LA(1) != SYM_ASSIGN) return;
    consume();
    op* value = expr(block);
    if (failed) return;
    vinit* init = newRecord<vinit>(ctx);
    init_list(init);
    init->expr = value;
    var->init = init;
}

void ParserState::arraydecl(Block* block, vdecl* var) {
    RuleGuard guard(ctx, __LINE__);
    var->type = static_cast<std::uint8_t>(var->type | VT_ARRAY);
    while (LA(1) == SYM_LH) {
        consume();
        int line = LALINE(1);
        op* size = expr(block);
        if (failed) {
            if (!recover("array size : malformed expression", SYM_RH)) return;
        } else {
            param* dim = newRecord<param>(ctx);
            dim->expr = size;
            dim->line = line;
            appendTo(var->dims, dim);
            if (var->ndims < 255) ++var->ndims;
        }
        if (!match(SYM_RH)) {
            recover("array: malformed declaration", SYM_SEMICOLON);
            return;
        }
    }
    if (LA(1) != SYM_ASSIGN) return;
    consume();
    var->init = initlist(block, 1, var->ndims);
    if (failed) recover("array initialization : malformed initialization", SYM_SEMICOLON);
}

vinit* ParserState::initlist(Block* block, int level, int ndims) {
    RuleGuard guard(ctx, __LINE__);
    if (!match(SYM_LB)) return nullptr;
    vinit* list = nullptr;
    vinit* tail = nullptr;
    do {
        vinit* element = newRecord<vinit>(ctx);
        appendTo(list, tail, element);
        if (LA(1) == SYM_LB) {
            if (level >= ndims) parse_error(ctx, "Array initializer have to many '{'");
            element->nested = initlist(block, level + 1, ndims);
        } else {
            if (level < ndims) parse_error(ctx, "Array initializer lacks an '{'");
            element->expr = expr(block);
        }
        if (failed) {
            discardInits(ctx, list);
            return nullptr;
        }
    } while (LA(1) == SYM_COMMA && (consume(), true));
    if (!match(SYM_RB)) {
        discardInits(ctx, list);
        return nullptr;
    }
    return list;
}

void ParserState::constdecl(Block* block, int type) {
    RuleGuard guard(ctx, __LINE__);
    one_const(block, type);
    while (!failed && LA(1) == SYM_COMMA) {
        consume();
        one_const(block, type);
    }
    match(SYM_SEMICOLON);
}

// The literal's value is converted to the declared type where both are
// numbers; a text and a number do not mix.
void ParserState::one_const(Block* block, int type) {
    RuleGuard guard(ctx, __LINE__);
    if (LA(1) != SYM_ID || LA(2) != SYM_ASSIGN) return fail();
    const char* name = LATEXT(1);
    consume();
    consume();
    bool negate = LA(1) == SYM_MINUS;
    if (negate) consume();
    int kind = LA(1);
    if (kind != INTLIT && kind != FLOATLIT && kind != TEXTLIT) return fail();
    constant* con = mustNew<constant>(ctx);
    con->name = safestrdup(name);
    con->type = static_cast<std::uint8_t>(type == VT_NONE ? VT_INT : type);
    if ((kind == TEXTLIT) != (con->type == VT_TEXT) || (negate && kind == TEXTLIT) || type == VT_NONE)
        parse_error(ctx, "Types mismatch in constant declaration");
    if (con->type == VT_TEXT) {
        con->value.t = safestrdup(kind == TEXTLIT ? LATEXT(1) : "");
    } else if (kind == INTLIT) {
        std::int64_t value = intLiteralValue(LATEXT(1));
        if (negate) value = -value;
        if (con->type == VT_INT)
            con->value.i = static_cast<std::int32_t>(value > INT32_MAX ? INT32_MAX : value);
        else
            con->value.f = static_cast<double>(value);
    } else {
        double value = kind == FLOATLIT ? floatLiteralValue(LATEXT(1)) : 0.0;
        if (negate) value = -value;
        if (con->type == VT_INT)
            con->value.i = clampToInt(value);
        else
            con->value.f = value;
    }
    consume();
    insert_constant(block, con);
}

void ParserState::objGenDecl(Block* block) {
    RuleGuard guard(ctx, __LINE__);
    if (LA(1) == SYM_ID) {
        objectproto* gen = mustNew<objectproto>(ctx);
        init_list(gen);
        gen->blockKind = BLOCK_GENERATOR;
        gen->name = safestrdup(LATEXT(1));
        gen->parent = block;
        insert_generator(block, gen);
        consume();
        match(SYM_LP);
        attrdecl* attrTail = nullptr;
        do {
            if (failed || LA(1) != SYM_ID || LA(2) != SYM_ID) {
                fail();
                break;
            }
            int kind = attr_sym_type(LATEXT(1));
            if (kind < 0) parse_error(ctx, "Illegal type given for objectgen attribute");
            attrdecl* attr = mustNew<attrdecl>(ctx);
            attr->kind = static_cast<std::uint8_t>(kind < 0 ? AK_EXPR : kind);
            attr->name = safestrdup(LATEXT(2));
            insert_attribute(gen, attr, attrTail);
            consume();
            consume();
        } while (LA(1) == SYM_COMMA && (consume(), true));
        if (match(SYM_RP)) funcBlock(gen);
    } else {
        fail();
    }
    if (failed && recover("function : malformed function block", SYM_RB) && LA(1) == SYM_RB) consume();
}

void ParserState::includeDecl() {
    RuleGuard guard(ctx, __LINE__);
    if (LA(1) != SYM_ID) return fail();
    std::string name = LATEXT(1);
    consume();
    std::string url;
    int version = 0;
    bool hasUrl = LA(1) == TEXTLIT;
    if (hasUrl) {
        url = LATEXT(1);
        consume();
        if (LA(1) == INTLIT) {
            version = intLiteralValue(LATEXT(1));
            consume();
        }
    }
    if (!match(SYM_SEMICOLON)) return;
    includeLibrary(ctx, name.c_str(), hasUrl ? url.c_str() : nullptr, version);
}

void ParserState::backpatch() {
    if (guessing) return;
    if (!unit) {
        parse_error(ctx, "Backpatch - No learn unit!");
        return;
    }
    while (notdecl* nd = unit->forwardCalls) {
        unlinkFrom(unit->forwardCalls, nd);
        function* fn = get_function(unit, nd->name);
        if (fn) {
            action* call = nd->node->left.act;
            call->target.fn = fn;
            call->type = static_cast<std::uint8_t>(int(T_FUNC) + fn->rettype);
            nd->node->flag = static_cast<std::uint8_t>(int(T_FUNC) + fn->rettype);
            compute_valtype(ctx, nd->node);
        } else {
            parse_lerror(ctx, formatMsg("Function '%s' is not declared", nd->name).c_str(), nd->line);
        }
        TamFree(nd->name);
        TamFree(nd);
    }
}
