// The Orvex parser, expressions: operator levels from assignment down to
// factors, with the operand type checks and the choice of operator
// routine for every node.
#include <iterator>

#include "app/context.h"
#include "builtins/table.h"
#include "core/alloc.h"
#include "core/messages.h"
#include "core/strings.h"
#include "lang/diagnostics.h"
#include "lang/orvx_parser.h"
#include "interp/control.h"
#include "interp/operators.h"
#include "lang/symtab.h"

namespace {

struct BinaryOp {
    int sym;
    int level;
    IntRoutine l;
    FltRoutine r;
    TxtCmpRoutine tc;
    TxtRoutine t;
};

// In token order, so that an operator's entry is found by its token.
constexpr BinaryOp kBinary[] = {
    {SYM_OR, 1, l_or, r_or, nullptr, nullptr},
    {SYM_AND, 2, l_and, r_and, nullptr, nullptr},
    {SYM_BOR, 3, l_bitor, r_bitor, nullptr, nullptr},
    {SYM_BAND, 4, l_bitand, r_bitand, nullptr, nullptr},
    {SYM_NEQ, 5, l_ne, r_ne, t_ne, nullptr},
    {SYM_EQ, 5, l_eq, r_eq, t_eq, nullptr},
    {SYM_LT, 6, l_lt, r_lt, t_lt, nullptr},
    {SYM_LE, 6, l_le, r_le, t_le, nullptr},
    {SYM_GT, 6, l_gt, r_gt, t_gt, nullptr},
    {SYM_GE, 6, l_ge, r_ge, t_ge, nullptr},
    {SYM_LSHIFT, 7, l_lshift, nullptr, nullptr, nullptr},
    {SYM_RSHIFT, 7, l_rshift, nullptr, nullptr, nullptr},
    {SYM_PLUS, 8, l_add, r_add, nullptr, t_add},
    {SYM_MINUS, 8, l_sub, r_sub, nullptr, nullptr},
    {SYM_MULT, 9, l_mul, r_mul, nullptr, nullptr},
    {SYM_DIV, 9, nullptr, r_div, nullptr, nullptr},
    {SYM_MOD, 9, l_rest, r_rest, nullptr, nullptr},
};
constexpr int kLevels = 9;

constexpr bool inTokenOrder() {
    for (int i = 0; i < int(std::size(kBinary)); ++i)
        if (kBinary[i].sym != SYM_OR + i) return false;
    return true;
}
static_assert(inTokenOrder());

const BinaryOp* binaryOp(int sym) {
    return sym >= SYM_OR && sym <= SYM_MOD ? &kBinary[sym - SYM_OR] : nullptr;
}

struct AssignOp {
    int sym;
    IntRoutine l;
    FltRoutine r;
    TxtRoutine t;
    bool bitwise;
};

constexpr AssignOp kAssign[] = {
    {SYM_ASSIGN, l_ass, r_ass, t_ass, false},
    {SYM_PLUSASSIGN, l_assplus, r_assplus, nullptr, false},
    {SYM_MINUSASSIGN, l_assminus, r_assminus, nullptr, false},
    {SYM_DIVASSIGN, l_assdiv, r_assdiv, nullptr, false},
    {SYM_MODASSIGN, l_assmod, r_assmod, nullptr, false},
    {SYM_MULTASSIGN, l_assmult, r_assmult, nullptr, false},
    {SYM_BANDASSIGN, l_assband, r_ass, nullptr, true},
    {SYM_BORASSIGN, l_assbor, r_ass, nullptr, true},
    {SYM_LSHIFTASSIGN, l_asslshift, r_ass, nullptr, true},
    {SYM_RSHIFTASSIGN, l_assrshift, r_ass, nullptr, true},
};

constexpr bool assignInTokenOrder() {
    for (int i = 0; i < int(std::size(kAssign)); ++i)
        if (kAssign[i].sym != SYM_ASSIGN + i) return false;
    return true;
}
static_assert(assignInTokenOrder());

const AssignOp* assignOp(int sym) {
    return sym >= SYM_ASSIGN && sym <= SYM_RSHIFTASSIGN ? &kAssign[sym - SYM_ASSIGN] : nullptr;
}

bool isLvalue(const op* node) {
    int m = accessMethod(node->flag);
    return m == T_VAR || m == T_ARRAY || m == T_ATTR;
}

bool isPrefix(int sym) {
    return sym == SYM_MINUS || sym == SYM_PLUS || sym == SYM_EXCLAM || sym == SYM_HASH ||
           sym == SYM_MINUSMINUS || sym == SYM_PLUSPLUS;
}

// Result families of operator nodes.
enum Family { F_INT = 1, F_FLOAT = 2, F_TEXT = 3, F_TEXTCMP = 4 };

void setRoutine(op* node, Family family, const BinaryOp& b) {
    switch (family) {
    case F_INT: node->routine.l = b.l; node->flag = int(T_OPER) + VT_INT; break;
    case F_FLOAT: node->routine.r = b.r; node->flag = int(T_OPER) + VT_FLOAT; break;
    case F_TEXT: node->routine.t = b.t; node->flag = int(T_OPER) + VT_TEXT; break;
    case F_TEXTCMP: node->routine.tc = b.tc; node->flag = int(T_OPER) + VT_INT; break;
    }
}

// The family the operand types give at an operator level; sets bad when
// the types are not allowed there.
Family binaryFamily(const BinaryOp& b, int lt, int rt, bool& bad) {
    bad = lt > VT_TEXT || rt > VT_TEXT;
    bool text = lt == VT_TEXT || rt == VT_TEXT;
    bool ints = lt == VT_INT && rt == VT_INT;
    switch (b.level) {
    case 5:
    case 6: return text ? F_TEXTCMP : ints ? F_INT : F_FLOAT;
    case 7:
        bad = bad || !((lt == VT_NONE || lt == VT_INT) && (rt == VT_NONE || rt == VT_INT));
        return F_INT;
    case 8:
        if (text) {
            if (b.sym != SYM_PLUS) bad = true;
            return F_TEXT;
        }
        return ints ? F_INT : F_FLOAT;
    default:
        bad = bad || text;
        return ints && b.sym != SYM_DIV ? F_INT : F_FLOAT;
    }
}

// Keeps the chosen family where the operator has a routine for it (after
// a reported type error the family may name one it lacks).
Family available(Family family, const BinaryOp& b) {
    bool hasInt = b.sym != SYM_DIV;
    bool hasFloat = b.level != 7;
    if (family == F_TEXT && b.sym != SYM_PLUS) return hasFloat ? F_FLOAT : F_INT;
    if (family == F_TEXTCMP && b.level != 5 && b.level != 6) return F_FLOAT;
    if (family == F_INT && !hasInt) return F_FLOAT;
    if (family == F_FLOAT && !hasFloat) return F_INT;
    return family;
}

}  // namespace

op* newOp(UnitContext* ctx, int flag) {
    op* node = newRecord<op>(ctx);
    node->flag = static_cast<std::uint8_t>(flag);
    node->type = DO_VDECL;
    return node;
}

int accessMethod(int flag) {
    if (flag >= T_ATTRIDX) return T_ATTRIDX;
    if (flag >= T_ATTR) return T_ATTR;
    if (flag >= T_OPER) return T_OPER;
    return flag & ~3;
}

void ParserState::error(const char* text) {
    if (!guessing) parse_error(ctx, text);
}

void ParserState::errorAt(const char* text, int line) {
    if (!guessing) parse_lerror(ctx, text, line);
}

op* ParserState::expr(Block* block) {
    RuleGuard guard(ctx, __LINE__);
    op* left = binaryChain(block);
    if (failed) return nullptr;
    return term0(block, left);
}

op* ParserState::term0(Block* block, op* left) {
    RuleGuard guard(ctx, __LINE__);
    const AssignOp* a = assignOp(LA(1));
    if (!a) return left;
    if (!isLvalue(left)) error("Illegal lval in assignment");
    int line = LALINE(1);
    consume();
    op* right = binaryChain(block);
    if (!failed) right = term0(block, right);
    if (failed) {
        discardOp(ctx, left);
        return nullptr;
    }
    int lt = left->valtype, rt = right->valtype;
    if (lt > VT_TEXT || rt > VT_TEXT) {
        error("Types mismatch in assignment operands");
    } else if (lt != VT_NONE && rt != VT_NONE) {
        if (a->sym == SYM_ASSIGN) {
            if ((lt == VT_TEXT) != (rt == VT_TEXT)) error("Types mismatch in assignment operands");
        } else if (lt == VT_TEXT || rt == VT_TEXT) {
            error("Types mismatch in assignment. Text is illegal in arithmetic assignments.");
        } else if (a->bitwise && (lt != VT_INT || rt != VT_INT)) {
            error("Illegal types in assignment. Bitoperators only accept integer arguments.");
        }
    }
    op* node = newOp(ctx, T_OPER + (lt <= VT_TEXT ? lt : 0));
    node->left.op = left;
    node->right = right;
    node->line = line;
    // An untyped target is settled at instantiation; the routine stored
    // then names the operator by the value's family.
    int family = lt != VT_NONE ? lt : rt;
    if (family == VT_TEXT && a->sym == SYM_ASSIGN)
        node->routine.t = a->t;
    else if (family == VT_FLOAT)
        node->routine.r = a->r;
    else
        node->routine.l = a->l;
    compute_valtype(ctx, node);
    return node;
}

namespace {

op* binaryNode(ParserState& p, const BinaryOp& b, op* left, op* right, int line) {
    bool bad = false;
    Family family = binaryFamily(b, left->valtype, right->valtype, bad);
    if (bad) p.error("Illegal types in operand");
    op* node = newOp(p.ctx, T_OPER);
    node->left.op = left;
    node->right = right;
    node->line = line;
    setRoutine(node, available(family, b), b);
    compute_valtype(p.ctx, node);
    return node;
}

struct PendingOp {
    const BinaryOp* op;
    int line;
};

}  // namespace

// Binary operators by precedence climbing: operands and the operators
// still waiting for their right operand sit on two short stacks (levels
// rise strictly from bottom to top, so neither holds more than nine
// entries above its base). An operator arriving at level L first joins
// every waiting operator of level L or above, left to right, which gives
// the left-associative trees of one rule per level. Rule nesting is
// counted as for those rules: nine levels for the chain, and per level one
// more for each kOperatorsPerLevel operators read since an operator of a
// lower level began a fresh operand.
op* ParserState::binaryChain(Block* block) {
    RuleGuard guard(ctx, __LINE__);
    for (int level = 2; level <= kLevels; ++level) guard.deeper(__LINE__);
    op* operands[kLevels + 1];
    PendingOp pending[kLevels];
    int chained[kLevels + 1] = {};
    int held[kLevels + 1] = {};
    int nOperands = 0, nPending = 0;

    auto reduceDownTo = [&](int level) {
        while (nPending > 0 && pending[nPending - 1].op->level >= level) {
            const PendingOp& top = pending[--nPending];
            op* right = operands[--nOperands];
            op* left = operands[nOperands - 1];
            operands[nOperands - 1] = binaryNode(*this, *top.op, left, right, top.line);
        }
    };

    op* first = operand(block);
    if (failed) return nullptr;
    operands[nOperands++] = first;
    while (const BinaryOp* b = binaryOp(LA(1))) {
        reduceDownTo(b->level);
        for (int level = b->level + 1; level <= kLevels; ++level) {
            guard.release(held[level]);
            held[level] = chained[level] = 0;
        }
        int line = LALINE(1);
        consume();
        if (++chained[b->level] % kOperatorsPerLevel == 0) {
            ++held[b->level];
            guard.deeper(__LINE__);
        }
        pending[nPending++] = {b, line};
        op* right = operand(block);
        if (failed) {
            while (nOperands > 0) discardOp(ctx, operands[--nOperands]);
            return nullptr;
        }
        operands[nOperands++] = right;
    }
    reduceDownTo(1);
    return operands[0];
}

namespace {

op* powerNode(ParserState& p, op* left, op* right, int line) {
    int lt = left->valtype, rt = right->valtype;
    if (lt > VT_FLOAT || rt > VT_FLOAT) p.error("Illegal types in operand");
    op* node = newOp(p.ctx, T_OPER);
    node->left.op = left;
    node->right = right;
    node->line = line;
    if (lt == VT_INT && rt == VT_INT) {
        node->flag = int(T_OPER) + VT_INT;
        node->routine.l = l_pow;
    } else {
        node->flag = int(T_OPER) + VT_FLOAT;
        node->routine.r = r_pow;
    }
    compute_valtype(p.ctx, node);
    return node;
}

}  // namespace

op* ParserState::term10(Block* block) {
    RuleGuard guard(ctx, __LINE__);
    op* left = factor(block);
    if (failed || LA(1) != SYM_PRIMARY) return left;
    int line = LALINE(1);
    consume();
    op* right = term10(block);
    if (failed) {
        discardOp(ctx, left);
        return nullptr;
    }
    return powerNode(*this, left, right, line);
}

namespace {

// Unary node over an operand; untyped operands leave the family to
// instantiation (flag 64) with the int routine naming the operator.
op* unaryNode(ParserState& p, op* operand, int line, IntRoutine l, FltRoutine r) {
    op* node = newOp(p.ctx, T_OPER);
    node->left.op = operand;
    node->line = line;
    int vt = operand->valtype;
    if (vt == VT_FLOAT && r) {
        node->flag = int(T_OPER) + VT_FLOAT;
        node->routine.r = r;
    } else {
        node->flag = static_cast<std::uint8_t>(vt == VT_INT || vt == VT_FLOAT ? int(T_OPER) + vt : T_OPER);
        node->routine.l = l;
    }
    compute_valtype(p.ctx, node);
    return node;
}

op* prefixNode(ParserState& p, int sym, op* operand, int line) {
    int vt = operand->valtype;
    if (sym == SYM_HASH) {
        // The value keeps its operand's type, so "#t + #u" stays a text
        // concatenation; only an untyped operand leaves the node untyped.
        bool typed = vt == VT_INT || vt == VT_FLOAT || vt == VT_TEXT;
        op* node = newOp(p.ctx, typed ? int(T_OPER) + vt : int(T_OPER));
        node->left.op = operand;
        node->line = line;
        if (vt == VT_FLOAT)
            node->routine.r = r_exprval;
        else if (vt == VT_TEXT)
            node->routine.t = t_exprval;
        else
            node->routine.l = l_exprval;
        compute_valtype(p.ctx, node);
        return node;
    }
    if (sym == SYM_MINUSMINUS || sym == SYM_PLUSPLUS) {
        if (!isLvalue(operand))
            p.error("Illegal lval for unary operator");
        else if (vt > VT_FLOAT)
            p.error("Illegal type for unary operator!");
        return unaryNode(p, operand, line, sym == SYM_PLUSPLUS ? l_preplus : l_preminus, nullptr);
    }
    if (vt > VT_FLOAT) p.error("Illegal type for unary operator!");
    switch (sym) {
    case SYM_MINUS: return unaryNode(p, operand, line, l_unsub, r_unsub);
    case SYM_PLUS: return unaryNode(p, operand, line, l_unadd, r_unadd);
    default: return unaryNode(p, operand, line, l_not, r_not);
    }
}

}  // namespace

// One operand of the binary operators: a factor with a prefix or a
// postfix operator, then a power. It holds the rule levels of the power,
// prefix and postfix rules it stands for.
op* ParserState::operand(Block* block) {
    RuleGuard guard(ctx, __LINE__);
    guard.deeper(__LINE__);
    op* left;
    int sym = LA(1);
    if (isPrefix(sym)) {
        int line = LALINE(1);
        consume();
        op* inner = factor(block);
        if (failed) return nullptr;
        left = prefixNode(*this, sym, inner, line);
        guard.release(1);
    } else {
        guard.deeper(__LINE__);
        left = factor(block);
        if (failed) return nullptr;
        sym = LA(1);
        if (sym == SYM_MINUSMINUS || sym == SYM_PLUSPLUS) {
            int line = LALINE(1);
            consume();
            if (!isLvalue(left))
                error("Illegal lval for unary operator.");
            else if (left->valtype > VT_FLOAT)
                error("Illegal type for unary operator!");
            left = unaryNode(*this, left, line, sym == SYM_PLUSPLUS ? l_postplus : l_postminus, nullptr);
        }
        guard.release(2);
    }
    if (LA(1) != SYM_PRIMARY) return left;
    int line = LALINE(1);
    consume();
    op* right = term10(block);
    if (failed) {
        discardOp(ctx, left);
        return nullptr;
    }
    return powerNode(*this, left, right, line);
}

op* ParserState::factor(Block* block) {
    RuleGuard guard(ctx, __LINE__);
    switch (LA(1)) {
    case SYM_LP: {
        consume();
        op* inner = expr(block);
        if (failed) return nullptr;
        if (!match(SYM_RP)) {
            discardOp(ctx, inner);
            return nullptr;
        }
        return inner;
    }
    case INTLIT:
    case FLOATLIT:
    case TEXTLIT: return literal();
    case SYM_ID: return LA(2) == SYM_LP ? fcall(block) : lval(block);
    default: fail(); return nullptr;
    }
}

op* ParserState::literal() {
    op* node;
    switch (LA(1)) {
    case INTLIT:
        node = newOp(ctx, int(T_CONST) + VT_INT);
        node->left.i = intLiteralValue(LATEXT(1));
        break;
    case FLOATLIT:
        node = newOp(ctx, int(T_CONST) + VT_FLOAT);
        node->left.f = floatLiteralValue(LATEXT(1));
        break;
    default:
        node = newOp(ctx, int(T_CONST) + VT_TEXT);
        node->left.t = safestrdup(LATEXT(1));
        break;
    }
    node->line = LALINE(1);
    consume();
    compute_valtype(ctx, node);
    return node;
}

bool ParserState::indexes(Block* block, param*& list) {
    param* tail = list ? static_cast<param*>(last(list)) : nullptr;
    while (LA(1) == SYM_LH) {
        consume();
        int line = LALINE(1);
        op* index = expr(block);
        if (failed) return false;
        param* p = newRecord<param>(ctx);
        p->expr = index;
        p->line = line;
        appendTo(list, tail, p);
        if (!match(SYM_RH)) return false;
    }
    return true;
}

op* ParserState::lval(Block* block) {
    RuleGuard guard(ctx, __LINE__);
    const char* name = LATEXT(1);
    int line = LALINE(1);
    consume();
    op* node = nullptr;
    if (vdecl* var = get_var(block, name)) {
        node = newOp(ctx, var_type(var));
        if (var->type & VT_ARRAY) {
            intarray* access = newRecord<intarray>(ctx);
            access->array.decl = var;
            access->type = DO_VDECL;
            node->left.arr = access;
            if (!indexes(block, access->indexes)) {
                discardOp(ctx, node);
                return nullptr;
            }
        } else {
            node->left.decl = var;
        }
    } else if (constant* con = get_const(block, name)) {
        node = newOp(ctx, const_type(con));
        node->left.con = con;
    } else if (get_func(name)) {
        node = callNode(name, line, nullptr, block, false);
    } else if (attrdecl* attr = get_attr(enclosingGenerator(block), name)) {
        node = newOp(ctx, T_ATTR);
        node->left.attr = attr;
    } else {
        node = callNode(name, line, nullptr, block, false);
    }
    node->line = line;
    compute_valtype(ctx, node);
    if (LA(1) == SYM_LH && accessMethod(node->flag) != T_ARRAY) {
        error("Indexing non-array!");
        param* dropped = nullptr;
        bool ok = indexes(block, dropped);
        discardParams(ctx, dropped);
        if (!ok) {
            discardOp(ctx, node);
            return nullptr;
        }
    }
    return node;
}

op* ParserState::fcall(Block* block) {
    RuleGuard guard(ctx, __LINE__);
    const char* name = LATEXT(1);
    int line = LALINE(1);
    consume();
    consume();
    param* args = nullptr;
    param* tail = nullptr;
    if (LA(1) != SYM_RP) {
        do {
            int argLine = LALINE(1);
            op* arg = expr(block);
            if (failed) {
                discardParams(ctx, args);
                return nullptr;
            }
            param* p = newRecord<param>(ctx);
            p->expr = arg;
            p->line = argLine;
            appendTo(args, tail, p);
        } while (LA(1) == SYM_COMMA && (consume(), true));
    }
    if (!match(SYM_RP)) {
        discardParams(ctx, args);
        return nullptr;
    }
    op* node = callNode(name, line, args, block, true);
    node->line = line;
    compute_valtype(ctx, node);
    return node;
}

// A call of a builtin, of a user function, or of a function declared
// later (queued for back-patching at the end of the parse).
op* ParserState::callNode(const char* name, int line, param* args, Block* block, bool explicitCall) {
    action* call = newRecord<action>(ctx);
    call->args.params = args;
    call->line = line;
    op* node = newOp(ctx, T_FUNC);
    node->left.act = call;
    if (const BuiltinEntry* entry = get_func(name)) {
        switch (entry->type) {
        case BT_INT: call->target.ih = entry->intHandler; break;
        case BT_FLOAT: call->target.fh = entry->fltHandler; break;
        case BT_TEXT: call->target.th = entry->txtHandler; break;
        default: error(explicitCall ? "Func err (i fcall) ??" : "Func err (i lval) ??"); return node;
        }
        call->type = static_cast<std::uint8_t>(entry->type);
        node->flag = static_cast<std::uint8_t>(entry->type);
        return node;
    }
    if (function* fn = get_function(block, name)) {
        call->target.fn = fn;
        call->type = static_cast<std::uint8_t>(int(T_FUNC) + fn->rettype);
        node->flag = call->type;
        return node;
    }
    call->type = T_FUNC;
    if (guessing) return node;
    notdecl* forward = c_notdecl(ctx);
    forward->name = safestrdup(name);
    forward->node = node;
    forward->line = line;
    if (!unit->forwardCalls) {
        init_list(forward);
        unit->forwardCalls = forward;
    } else {
        if (!forwardTail || forwardTail->next) forwardTail = static_cast<notdecl*>(last(unit->forwardCalls));
        place_next(forwardTail, forward);
    }
    forwardTail = forward;
    return node;
}

// Whether an expression parses here, without building or reporting
// anything lasting; the position is left unchanged.
bool ParserState::tryExpr(Block* block) {
    int start = pos;
    ++guessing;
    // The trial's records are freed right away: keep them out of the arena.
    RecordArena* arena = ctx->recordArena;
    ctx->recordArena = nullptr;
    op* node = expr(block);
    ctx->recordArena = arena;
    bool ok = !failed;
    failed = false;
    --guessing;
    discardOp(ctx, node);
    pos = start;
    return ok;
}
