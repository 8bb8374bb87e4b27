// The Orvex parser, presentation statements: windows, graphic objects,
// input areas and calls of object generators, their attribute values
// (expressions, point lists, translations) and event patterns. The
// declarations are built here and completed by the object model; a
// statement that creates them when it runs refers to them.
#include <cstring>
#include <string>

#include "core/alloc.h"
#include "core/messages.h"
#include "core/strings.h"
#include "lang/diagnostics.h"
#include "lang/orvx_parser.h"
#include "lang/symtab.h"
#include "present/objmodel.h"

namespace {

simaction* newStatement(UnitContext* ctx) {
    simaction* s = newRecord<simaction>(ctx);
    init_list(s);
    return s;
}

bool isLiteralOrId(int sym) { return sym == INTLIT || sym == FLOATLIT || sym == TEXTLIT || sym == SYM_ID; }

void skipUntil(ParserState& p, int a, int b) {
    while (p.LA(1) != SYM_EOF && p.LA(1) != a && p.LA(1) != b) p.consume();
}

}  // namespace

bool ParserState::atObjectStmnt() const { return LA(1) == SYM_ID && LA(2) == SYM_ID && LA(3) == SYM_ASSIGN; }

void ParserState::windowStmnt(Block* block, StmtList& out) {
    RuleGuard guard(ctx, __LINE__);
    consume();
    WinObj* outer = window;
    if (outer) error("Window's are not allowed in window's!");
    WinObj* win = newWinObj(ctx);
    simaction* s = newStatement(ctx);
    s->winobj = win;
    out.add(s);
    objectAttributes(block, win, K_WINDOW, nullptr, nullptr);
    if (failed) return;
    checkWinAttrs(ctx, win);
    window = win;
    while (!failed && LA(1) != SYM_ENDWINDOW && LA(1) != SYM_EOF) {
        if (LA(1) == SYM_WINDOW) {
            StmtList nested;
            windowStmnt(block, nested);
            discardStatements(ctx, nested.head);
        } else {
            objectStmnt(block, out);
        }
    }
    window = outer;
    if (match(SYM_ENDWINDOW)) match(SYM_SEMICOLON);
}

void ParserState::objectStmnt(Block* block, StmtList& out) {
    RuleGuard guard(ctx, __LINE__);
    const char* name = LATEXT(1);
    int kind = LA(1) == SYM_ID ? bobj_sym_type(name) : -1;
    objectproto* gen = nullptr;
    if (kind < 0) {
        gen = LA(1) == SYM_ID ? get_object(block, name) : nullptr;
        if (!gen) {
            if (LA(1) != SYM_ID) return fail();
            error(formatMsg("\"%s\" is not declared as object.", name).c_str());
            skipUntil(*this, SYM_SEMICOLON, SYM_SEMICOLON);
            if (LA(1) == SYM_SEMICOLON) consume();
            return;
        }
    }
    int line = LALINE(1);
    consume();
    simaction* s = newStatement(ctx);
    void* object = nullptr;
    action* call = nullptr;
    if (gen) {
        call = newRecord<action>(ctx);
        call->target.proto = gen;
        call->type = ACT_OBJECT;
        call->line = line;
        s->call = call;
    } else if (kind == K_INPUTAREA) {
        InpObj* inp = newInpObj(ctx, kind, window);
        object = inp;
        if (!window) s->inpobj = inp;
    } else {
        GraphObj* graph = newGraphObj(ctx, kind, window);
        object = graph;
        if (!window) s->graphobj = graph;
    }
    if (gen || !window)
        out.add(s);
    else
        TamFree(s);
    objectAttributes(block, object, kind, gen, call);
    if (gen) return;
    if (kind == K_INPUTAREA)
        checkInpAttrs(ctx, static_cast<InpObj*>(object));
    else
        checkGraphAttrs(ctx, static_cast<GraphObj*>(object));
}

// objAttrib { "," objAttrib } ";"
void ParserState::objectAttributes(Block* block, void* object, int kind, objectproto* gen, action* call) {
    do {
        objAttrib(block, object, kind, gen, call);
        if (failed) return;
    } while (LA(1) == SYM_COMMA && (consume(), true));
    if (match(SYM_SEMICOLON)) return;
    if (recover("object : malformed object specification", SYM_COMMA, SYM_SEMICOLON) &&
        LA(1) == SYM_SEMICOLON)
        consume();
}

bool ParserState::objAttrib(Block* block, void* object, int kind, objectproto* gen, action* call) {
    RuleGuard guard(ctx, __LINE__);
    if (LA(1) != SYM_ID || LA(2) != SYM_ASSIGN) {
        fail();
        recover("attribute : malformed attribute specification", SYM_COMMA, SYM_SEMICOLON);
        return false;
    }
    const char* name = LATEXT(1);
    int attrId = 0;
    int genKind = 0;
    if (gen) {
        attrdecl* declared = get_attr(gen, name);
        if (!declared) {
            error(formatMsg("Illegal attribute \"%s\".", name).c_str());
            skipUntil(*this, SYM_COMMA, SYM_SEMICOLON);
            return false;
        }
        genKind = declared->kind;
    } else {
        attrId = battr_sym_type(name);
        if (attrId < 0) {
            error(formatMsg("Unknown attribute \"%s\".", name).c_str());
            skipUntil(*this, SYM_COMMA, SYM_SEMICOLON);
            return false;
        }
    }
    consume();
    consume();
    AttrDesc desc;
    desc.id = static_cast<std::uint8_t>(attrId);
    if (!attributeValue(block, attrId, genKind, desc)) return false;
    if (gen) {
        attrparam* arg = mustNew<attrparam>(ctx);
        arg->kind = static_cast<std::uint8_t>(genKind);
        arg->name = safestrdup(name);
        // Expressions, and point lists or translations named through an
        // attribute of the enclosing generator, travel as expressions;
        // written-out lists as values.
        if (desc.varFlag || genKind == AK_EXPR) {
            arg->expr = desc.value.expr;
            arg->isExpr = 1;
        } else {
            arg->value.p = desc.value.p;
            arg->count = desc.npoints;
        }
        pushFront(call->args.attrs, arg);
        return true;
    }
    if (kind == K_WINDOW)
        newWinAttr(ctx, static_cast<WinObj*>(object), desc);
    else if (kind == K_INPUTAREA)
        newInpAttr(ctx, static_cast<InpObj*>(object), desc);
    else
        newGraphAttr(ctx, static_cast<GraphObj*>(object), desc);
    return true;
}

// The value of one attribute: a point list, a translation list, or an
// expression, by the attribute and the lookahead. A malformed value is
// reported and skipped up to the next ";".
bool ParserState::attributeValue(Block* block, int attrId, int genKind, AttrDesc& desc) {
    bool wantPoints = attrId == S_POINTS || genKind == AK_POINTS;
    bool wantTrans = attrId == S_TRANSLATION || genKind == AK_TRANSLATION;
    const char* malformed = "attribute : malformed expression";
    if (wantPoints) {
        malformed = "attribute : malformed pointlist";
        if (points(block, desc)) return true;
    } else if (wantTrans) {
        malformed = "attribute : malformed translation";
        if (translationList(block, desc)) return true;
    } else if (tryExpr(block)) {
        desc.value.expr = expr(block);
        if (!failed) return true;
    } else if (LA(1) == SYM_LP && LA(2) == SYM_LP && isLiteralOrId(LA(3))) {
        failedPredicate("   ((attr_id == S_POINTS) || (bltype == T_POINTS))");
        malformed = "attribute : malformed pointlist";
        if (points(block, desc)) {
            discardPoints(ctx, desc.value.points);
            desc.value.p = nullptr;
            return false;
        }
    } else if (LA(1) == SYM_LP) {
        failedPredicate("   ((attr_id == S_TRANSLATION) || (bltype == T_TRANSLATION))");
        malformed = "attribute : malformed translation";
        if (translationList(block, desc)) {
            discardTranslations(ctx, desc.value.trans);
            desc.value.p = nullptr;
            return false;
        }
    } else {
        fail();
    }
    if (!failed) fail();
    recover(malformed, SYM_SEMICOLON);
    return false;
}

// An identifier given for a point list or translation names the
// attribute parameter of the enclosing generator that carries it.
namespace {

op* attributeReference(ParserState& p, Block* block, int kind) {
    attrdecl* attr = get_attr(enclosingGenerator(block), p.LATEXT(1));
    if (!attr || attr->kind != kind) return nullptr;
    op* node = newOp(p.ctx, T_ATTR);
    node->left.attr = attr;
    node->line = p.LALINE(1);
    compute_valtype(p.ctx, node);
    p.consume();
    return node;
}

// A point list or translation given by name. A name that is no parameter
// of that kind is reported and leaves the value empty; the rule itself
// still succeeds, so the attribute's statement goes on.
bool namedAttribute(ParserState& p, Block* block, AttrDesc& desc, int kind, const char* illegal) {
    op* ref = attributeReference(p, block, kind);
    if (!ref) {
        p.error(illegal);
        p.consume();
        return true;
    }
    desc.value.expr = ref;
    desc.varFlag = 1;
    return true;
}

}  // namespace

bool ParserState::points(Block* block, AttrDesc& desc) {
    RuleGuard guard(ctx, __LINE__);
    if (LA(1) == SYM_ID)
        return namedAttribute(*this, block, desc, AK_POINTS, "Illegal points specification");
    if (!match(SYM_LP)) return false;
    pointdecl* list = nullptr;
    pointdecl* tail = nullptr;
    int count = 0;
    do {
        if (!match(SYM_LP)) break;
        op* x = expr(block);
        if (failed || !match(SYM_COMMA)) {
            discardOp(ctx, x);
            break;
        }
        op* y = expr(block);
        if (failed || !match(SYM_RP)) {
            discardOp(ctx, x);
            discardOp(ctx, y);
            break;
        }
        pointdecl* point = mustNew<pointdecl>(ctx);
        point->x = x;
        point->y = y;
        appendTo(list, tail, point);
        ++count;
    } while (LA(1) == SYM_COMMA && (consume(), true));
    if (failed || !match(SYM_RP)) {
        discardPoints(ctx, list);
        return false;
    }
    desc.value.points = list;
    desc.npoints = count;
    return true;
}

bool ParserState::translationList(Block* block, AttrDesc& desc) {
    RuleGuard guard(ctx, __LINE__);
    if (LA(1) == SYM_ID)
        return namedAttribute(*this, block, desc, AK_TRANSLATION, "Illegal translation-specification");
    if (!match(SYM_LP)) return false;
    translation* list = nullptr;
    translation* tail = nullptr;
    do {
        translation* one = trans(block);
        if (!one) break;
        appendTo(list, tail, one);
    } while (LA(1) == SYM_COMMA && (consume(), true));
    if (failed || !match(SYM_RP)) {
        discardTranslations(ctx, list);
        return false;
    }
    desc.value.trans = list;
    return true;
}

// event { "|" event } ":" statement
translation* ParserState::trans(Block* block) {
    RuleGuard guard(ctx, __LINE__);
    event* events = nullptr;
    event* tail = nullptr;
    do {
        appendTo(events, tail, parseEvent());
    } while (LA(1) == SYM_BOR && (consume(), true));
    if (!match(SYM_COLON)) {
        f_events(ctx, events);
        return nullptr;
    }
    // The statement runs when the event arrives, outside any window
    // declaration.
    WinObj* declaring = window;
    window = nullptr;
    StmtList actions;
    statement(block, actions);
    window = declaring;
    translation* result = mustNew<translation>(ctx);
    result->events = events;
    result->actions = actions.head;
    return result;
}

// Words naming masks, press or release, a key, a mouse button or a
// special event, then optionally a quoted character key.
event* ParserState::parseEvent() {
    event* ev = mustNew<event>(ctx);
    bool release = false;
    bool button = false;
    bool key = false;
    int special = 0;
    for (bool firstWord = true; LA(1) == SYM_ID; firstWord = false) {
        const char* word = LATEXT(1);
        int code;
        if (firstWord && std::strcmp(word, "Transparent") == 0) {
            ev->transparent = 1;
        } else if ((code = mask_sym_type(word)) >= 0) {
            ev->mask = static_cast<std::uint8_t>(ev->mask | code);
        } else if ((code = press_sym_type(word)) >= 0) {
            release = code == EV_KEY_RELEASE;
        } else if ((code = key_sym_type(word)) >= 0) {
            ev->keycode = code;
            key = true;
        } else if ((code = mouse_sym_type(word)) >= 0) {
            ev->detail = static_cast<std::uint8_t>(code);
            button = true;
        } else if ((code = specevent_sym_type(word)) >= 0) {
            special = code;
        } else {
            error("Unknown mask/key in event.");
        }
        consume();
    }
    if (LA(1) == TEXTLIT) {
        unsigned char c = static_cast<unsigned char>(LATEXT(1)[0]);
        if (c) {
            ev->keycode = c;
            ev->detail = c;
            key = true;
        }
        consume();
    }
    if (special)
        ev->kind = static_cast<std::uint8_t>(special);
    else if (button)
        ev->kind = release ? EV_BUTTON_RELEASE : EV_BUTTON_PRESS;
    else
        ev->kind = release ? EV_KEY_RELEASE : EV_KEY_PRESS;
    if (!special && !button && !key) error("No key to base translation on!");
    return ev;
}
