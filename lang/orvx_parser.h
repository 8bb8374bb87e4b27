// The Orvex parser's state and rules. A parse reads a token array with
// four tokens of lookahead and builds the declaration-bound program
// records, entering names into the blocks of the symbol tables as it
// goes. Nested parses (includes, links, statement strings) run a fresh
// ParserState and restore the previous one afterwards.
#pragma once
#include "app/context.h"
#include "core/arena.h"
#include "core/messages.h"
#include "interp/records.h"
#include "lang/scanner.h"
#include "present/objects.h"

struct AttrDesc;

// A statement list under construction.
struct StmtList {
    simaction* head = nullptr;
    simaction* tail = nullptr;
    void add(simaction* s);
    void splice(StmtList& other);
};

struct ParserState {
    ParserState(UnitContext* context, TokenArray& tokenArray, LearnUnit* learnUnit)
        : ctx(context), tokens(tokenArray), unit(learnUnit) {}

    UnitContext* ctx;
    TokenArray& tokens;
    LearnUnit* unit;
    int pos = 0;
    bool failed = false;  // a syntax error is unwinding to its handler
    int guessing = 0;     // trial parses running: build nothing lasting, print nothing
    WinObj* window = nullptr;  // window whose object statements are being read

    // Lookahead.
    int LA(int k) const { return tokens.sym(index(k)); }
    const char* LATEXT(int k) const { return tokens.text(index(k)); }
    int LALINE(int k) const { return tokens.line(index(k)); }
    void consume() {
        if (pos < tokens.count() - 1) ++pos;
    }
    bool match(int sym);
    void fail() { failed = true; }
    // Handler of a rule: reports "%s at token ..." and skips to one of the
    // tokens; false while a trial parse is unwinding.
    bool recover(const char* description, int until1, int until2 = 0, int until3 = 0);
    // Semantic errors at the current token or a given line; silent while
    // a trial parse runs.
    void error(const char* text);
    void errorAt(const char* text, int line);
    notdecl* forwardTail = nullptr;  // last queued forward call, a cache

    // Program and declarations (orvx.cpp).
    void rsim();
    void includeFile();
    void nameDecl();
    void globalDecl(Block* block);
    void localDecl(Block* block);
    bool atFuncDecl() const;
    bool isTypeToken(int sym) const;
    int parseType();
    void funcdecl(Block* block);
    void fparams(function* fn);
    void one_param(function* fn, fparam*& tail);
    void funcBlock(Block* block);
    void vardecl(Block* block, int type);
    void one_var(Block* block, int type);
    void arraydecl(Block* block, vdecl* var);
    vinit* initlist(Block* block, int level, int ndims);
    void constdecl(Block* block, int type);
    void one_const(Block* block, int type);
    void objGenDecl(Block* block);
    void includeDecl();
    void backpatch();

    // Statements (orvx_stmt.cpp).
    void statement(Block* block, StmtList& out);
    void statementBody(Block* block, StmtList& out, const char*& description);
    simaction* controlStatement(simaction* record);
    void ifStmnt(Block* block, StmtList& out);
    void whileStmnt(Block* block, StmtList& out);
    void forStmnt(Block* block, StmtList& out);
    void switchStmnt(Block* block, StmtList& out);
    void returnStmnt(Block* block, StmtList& out);
    void blockStmnt(Block* block, StmtList& out);
    op* condition(Block* block, const char* description);

    // Expressions (orvx_expr.cpp).
    op* expr(Block* block);
    op* term0(Block* block, op* left);
    op* binaryChain(Block* block);
    op* operand(Block* block);
    op* term10(Block* block);
    op* factor(Block* block);
    op* literal();
    op* lval(Block* block);
    op* fcall(Block* block);
    bool indexes(Block* block, param*& list);
    op* callNode(const char* name, int line, param* args, Block* block, bool explicitCall);
    bool tryExpr(Block* block);

    // Objects, windows, translations (orvx_objects.cpp).
    bool atObjectStmnt() const;
    void windowStmnt(Block* block, StmtList& out);
    void objectStmnt(Block* block, StmtList& out);
    void objectAttributes(Block* block, void* object, int kind, objectproto* gen, action* call);
    bool objAttrib(Block* block, void* object, int kind, objectproto* gen, action* call);
    bool attributeValue(Block* block, int attrId, int genKind, AttrDesc& desc);
    bool points(Block* block, AttrDesc& desc);
    bool translationList(Block* block, AttrDesc& desc);
    translation* trans(Block* block);
    event* parseEvent();

private:
    int index(int k) const {
        int i = pos + k - 1;
        return i < tokens.count() ? i : tokens.count() - 1;
    }
};

// A record of the program being read (expression node, statement, call,
// argument, array access, initializer): from the learn unit's arena while
// a program is read, from the allocator for statement strings and trial
// parses, whose records are freed singly.
template <class T>
T* newRecord(UnitContext* ctx) {
    if (ctx->recordArena) return arenaNew<T>(*ctx->recordArena, ctx);
    return mustNew<T>(ctx);
}

// Builds an expression node of the given flag, its value type computed.
op* newOp(UnitContext* ctx, int flag);
// Access method of a node's flag (T_CONST ... T_ATTRIDX).
int accessMethod(int flag);

// Release of records that a failed or trial parse leaves behind.
void discardOp(UnitContext* ctx, op* node);
void discardParams(UnitContext* ctx, param* list);
void discardStatements(UnitContext* ctx, simaction* list);
void discardTranslations(UnitContext* ctx, translation* list);
void discardPoints(UnitContext* ctx, pointdecl* list);
void discardInits(UnitContext* ctx, vinit* list);

// Counts rule nesting across nested parses; beyond 400 levels the player
// ends with "fatal: attrib/AST stack overflow". A chain of binary
// operators is a loop, not nesting, but it builds a tree as deep as the
// chain is long; counting one level per kOperatorsPerLevel operators keeps
// ordinary long expressions legal while every tree the parser builds stays
// shallow enough for the recursive walks that evaluate and free it later.
inline constexpr int kMaxRuleNesting = 400;
inline constexpr int kOperatorsPerLevel = 16;

// Rule levels held now, across nested parses.
inline int ruleNesting = 0;
// Ends the player with the nesting message naming the rule's line.
[[noreturn]] void ruleNestingOverflow(UnitContext* ctx, int line);

class RuleGuard {
public:
    RuleGuard(UnitContext* ctx, int line) : ctx_(ctx) { deeper(line); }
    ~RuleGuard() { ruleNesting -= levels_; }
    RuleGuard(const RuleGuard&) = delete;
    RuleGuard& operator=(const RuleGuard&) = delete;
    // One more level held until this guard ends.
    void deeper(int line) {
        ++levels_;
        if (++ruleNesting > kMaxRuleNesting) ruleNestingOverflow(ctx_, line);
    }
    // Gives back levels taken with deeper(), as a nested rule returning
    // would.
    void release(int levels) {
        levels_ -= levels;
        ruleNesting -= levels;
    }

private:
    UnitContext* ctx_;
    int levels_ = 0;
};
