// The Orvex parser, statements: expression statements, control
// statements (built as a statement whose nested list starts with a control
// record), returns and blocks. Blocks are flattened into the list they
// stand in.
#include <cctype>
#include <cstdint>
#include <cstdlib>

#include "core/messages.h"
#include "lang/orvx_parser.h"
#include "interp/control.h"
#include "interp/operators.h"

namespace {

simaction* newStatement(UnitContext* ctx) {
    simaction* s = newRecord<simaction>(ctx);
    init_list(s);
    return s;
}

op* constantInt(UnitContext* ctx, int value) {
    op* node = newOp(ctx, int(T_CONST) + VT_INT);
    node->left.i = value;
    compute_valtype(ctx, node);
    return node;
}

bool startsExpression(int sym) {
    switch (sym) {
    case SYM_LP:
    case SYM_ID:
    case INTLIT:
    case FLOATLIT:
    case TEXTLIT:
    case SYM_MINUS:
    case SYM_PLUS:
    case SYM_EXCLAM:
    case SYM_HASH:
    case SYM_MINUSMINUS:
    case SYM_PLUSPLUS: return true;
    default: return false;
    }
}

// Case labels are literals, named constants and operators over them.
bool isConstantExpr(const op* node) {
    int m = accessMethod(node->flag);
    if (m == T_CONST || m == T_NAMEDCONST) return true;
    if (m != T_OPER) return false;
    return isConstantExpr(node->left.op) && (!node->right || isConstantExpr(node->right));
}

// A case label written as a text literal stands for a number: the number
// the whole text spells ("2", "-1.5"), or else the code of its single
// character as getchar and getc return it ("a"), so key handlers can
// switch on characters. Any other text keeps its text value, which only
// a text switch value can match. A switch on a text keeps all its text
// labels as they are written.
op* numericCaseLabel(UnitContext* ctx, op* label) {
    const char* text = label->left.t;
    char* end = nullptr;
    if (*text && !isspace(static_cast<unsigned char>(*text))) {
        long asInt = strtol(text, &end, 10);
        if (*end == '\0' && asInt >= INT32_MIN && asInt <= INT32_MAX) {
            discardOp(ctx, label);
            return constantInt(ctx, static_cast<int>(asInt));
        }
        double asFloat = strtod(text, &end);
        if (*end == '\0') {
            op* node = newOp(ctx, int(T_CONST) + VT_FLOAT);
            node->left.f = asFloat;
            node->line = label->line;
            compute_valtype(ctx, node);
            discardOp(ctx, label);
            return node;
        }
    }
    if (text[0] && !text[1]) {
        int code = static_cast<signed char>(text[0]);
        discardOp(ctx, label);
        return constantInt(ctx, code);
    }
    return label;
}

}  // namespace

void ParserState::statement(Block* block, StmtList& out) {
    RuleGuard guard(ctx, __LINE__);
    const char* description = "statement : malformed statement";
    StmtList local;
    statementBody(block, local, description);
    if (failed) {
        discardStatements(ctx, local.head);
        recover(description, SYM_SEMICOLON);
        return;
    }
    out.splice(local);
}

void ParserState::statementBody(Block* block, StmtList& out, const char*& description) {
    int sym = LA(1);
    switch (sym) {
    case SYM_IF: return ifStmnt(block, out);
    case SYM_WHILE: return whileStmnt(block, out);
    case SYM_FOR: return forStmnt(block, out);
    case SYM_SWITCH: return switchStmnt(block, out);
    case SYM_RETURN: return returnStmnt(block, out);
    case SYM_LB: return blockStmnt(block, out);
    case SYM_SEMICOLON: consume(); return;
    case SYM_WINDOW: return windowStmnt(block, out);
    default: break;
    }
    if (sym == SYM_ID && atObjectStmnt()) {
        description = "statement : malformed object-statement";
        return objectStmnt(block, out);
    }
    if (!startsExpression(sym)) return fail();
    description = "statement : malformed expression";
    op* e = expr(block);
    if (failed) return;
    if (!match(SYM_SEMICOLON)) {
        discardOp(ctx, e);
        return;
    }
    simaction* s = newStatement(ctx);
    s->expr = e;
    out.add(s);
}

simaction* ParserState::controlStatement(simaction* record) {
    simaction* s = newStatement(ctx);
    s->nested = record;
    return s;
}

// "(" expr ")" of if and while; after a malformed condition the parse
// resumes behind the closing parenthesis.
op* ParserState::condition(Block* block, const char* description) {
    op* e = nullptr;
    if (match(SYM_LP)) {
        e = expr(block);
        if (!failed && match(SYM_RP)) return e;
    }
    discardOp(ctx, e);
    if (!recover(description, SYM_RP)) return nullptr;
    if (LA(1) == SYM_RP) consume();
    return constantInt(ctx, 0);
}

void ParserState::ifStmnt(Block* block, StmtList& out) {
    RuleGuard guard(ctx, __LINE__);
    consume();
    op* cond = condition(block, "if-statement : malformed conditional");
    if (failed) return;
    simaction* record = newStatement(ctx);
    record->control = IF;
    record->cond = cond;
    StmtList list;
    list.add(record);
    simaction* whole = controlStatement(list.head);
    out.add(whole);
    StmtList then;
    statement(block, then);
    record->nested = then.head;
    if (failed || LA(1) != SYM_ELSE) return;
    consume();
    StmtList otherwise;
    statement(block, otherwise);
    list.splice(otherwise);
}

void ParserState::whileStmnt(Block* block, StmtList& out) {
    RuleGuard guard(ctx, __LINE__);
    consume();
    // An empty condition is a missing one, which counts as true: the loop
    // runs until a return or a halt ends it.
    op* cond = nullptr;
    if (LA(1) == SYM_LP && LA(2) == SYM_RP) {
        consume();
        consume();
    } else {
        cond = condition(block, "while-statement : malformed conditional");
    }
    if (failed) return;
    simaction* record = newStatement(ctx);
    record->control = WHILE;
    record->cond = cond;
    out.add(controlStatement(record));
    StmtList body;
    statement(block, body);
    record->nested = body.head;
}

// A for statement is its initialisation as an expression statement,
// followed by a FOR record whose body ends with the step.
void ParserState::forStmnt(Block* block, StmtList& out) {
    RuleGuard guard(ctx, __LINE__);
    consume();
    op* parts[3] = {nullptr, nullptr, nullptr};
    const char* descriptions[3] = {"for-statement : malformed initialization",
                                   "for-statement : malformed conditional",
                                   "for-statement : malformed incrementator expression"};
    if (!match(SYM_LP) && !recover(descriptions[0], SYM_SEMICOLON)) return;
    for (int i = 0; i < 3; ++i) {
        int end = i < 2 ? SYM_SEMICOLON : SYM_RP;
        if (LA(1) != end) parts[i] = expr(block);
        // A part is malformed also when a sound expression is not followed
        // by its own terminator: the report names the part either way.
        if (failed || LA(1) != end) {
            if (!failed) discardOp(ctx, parts[i]);
            parts[i] = nullptr;
            fail();
            if (!recover(descriptions[i], end)) break;
        }
        if (!match(end)) break;
    }
    if (failed) {
        for (op* part : parts) discardOp(ctx, part);
        return;
    }
    if (parts[0]) {
        simaction* init = newStatement(ctx);
        init->expr = parts[0];
        out.add(init);
    }
    simaction* record = newStatement(ctx);
    record->control = FOR;
    record->cond = parts[1] ? parts[1] : constantInt(ctx, 1);
    out.add(controlStatement(record));
    StmtList body;
    statement(block, body);
    if (parts[2]) {
        simaction* step = newStatement(ctx);
        step->expr = parts[2];
        body.add(step);
    }
    record->nested = body.head;
}

// A switch is its control record holding the switch value, followed by
// one record per case (the label in its condition, the body nested) and
// a default record marked isDefault.
void ParserState::switchStmnt(Block* block, StmtList& out) {
    RuleGuard guard(ctx, __LINE__);
    consume();
    if (!match(SYM_LP)) return;
    op* value = expr(block);
    if (failed) return;
    if (!match(SYM_RP) || !match(SYM_LB)) {
        discardOp(ctx, value);
        return;
    }
    simaction* record = newStatement(ctx);
    record->control = SWITCH;
    record->cond = value;
    StmtList list;
    list.add(record);
    out.add(controlStatement(list.head));
    bool seenDefault = false;
    while (!failed && (LA(1) == SYM_CASE || (LA(1) == SYM_DEFAULT && !seenDefault))) {
        simaction* branch = newStatement(ctx);
        list.add(branch);
        if (LA(1) == SYM_CASE) {
            consume();
            bool textLabel = LA(1) == TEXTLIT && LA(2) == SYM_COLON;
            op* label = binaryChain(block);
            if (failed) return;
            if (textLabel && value->valtype != VT_TEXT) label = numericCaseLabel(ctx, label);
            branch->cond = label;
            if (!isConstantExpr(label)) error("Case label is not a constant");
        } else {
            consume();
            branch->isDefault = 1;
            seenDefault = true;
        }
        if (!match(SYM_COLON)) return;
        StmtList body;
        while (LA(1) != SYM_CASE && LA(1) != SYM_DEFAULT && LA(1) != SYM_RB && LA(1) != SYM_EOF)
            statement(block, body);
        branch->nested = body.head;
    }
    match(SYM_RB);
}

void ParserState::returnStmnt(Block* block, StmtList& out) {
    RuleGuard guard(ctx, __LINE__);
    consume();
    op* value = expr(block);
    if (failed) return;
    if (!match(SYM_SEMICOLON)) {
        discardOp(ctx, value);
        return;
    }
    simaction* s = newStatement(ctx);
    s->retexpr = value;
    out.add(s);
}

void ParserState::blockStmnt(Block* block, StmtList& out) {
    RuleGuard guard(ctx, __LINE__);
    consume();
    while (LA(1) != SYM_RB && LA(1) != SYM_EOF) statement(block, out);
    match(SYM_RB);
}
