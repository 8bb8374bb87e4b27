// The front end: token streams, literal values, symbol-table orders,
// expression trees and the parser's messages, parsed from texts.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <memory>
#include <string>
#include <vector>

#include "app/context.h"
#include "core/alloc.h"
#include "interp/control.h"
#include "interp/operators.h"
#include "interp/release.h"
#include "lang/orvx_parser.h"
#include "lang/include.h"
#include "lang/parser.h"
#include "lang/scanner.h"
#include "lang/symtab.h"
#include "present/learnunit.h"

namespace {

struct Scanned {
    std::vector<int> syms;
    std::vector<int> lines;
    std::vector<std::string> texts;
    std::string err;
};

Scanned scan(const std::string& text) {
    Scanned s;
    CharSource source(text.c_str());
    TokenArray tokens;
    testing::internal::CaptureStderr();
    scanAll(source, tokens);
    s.err = testing::internal::GetCapturedStderr();
    for (int i = 0; i < tokens.count(); ++i) {
        s.syms.push_back(tokens.sym(i));
        s.lines.push_back(tokens.line(i));
        s.texts.push_back(tokens.text(i));
    }
    return s;
}

// Parsed programs stay reachable for the whole run: their records are
// released with the learn unit by the interpreter's release family.
struct Parsed {
    UnitContext ctx;
    LearnUnit* unit = nullptr;
    std::string err;
};
auto* parsedPrograms = new std::vector<Parsed*>;

Parsed& parse(const std::string& text) {
    parsedPrograms->push_back(new Parsed);
    Parsed& p = *parsedPrograms->back();
    p.ctx.parseOnly = 1;
    p.unit = newLearnUnit(&p.ctx, 640, 400, 0);
    std::FILE* stream = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
    testing::internal::CaptureStderr();
    readsim(&p.ctx, stream);
    p.err = testing::internal::GetCapturedStderr();
    std::fclose(stream);
    return p;
}

std::vector<std::string> declNames(Block* block) {
    std::vector<std::string> names;
    for (vdecl* v = block->decls; v; v = nextOf(v)) names.push_back(v->name);
    return names;
}

}  // namespace

TEST(Scanner, OperatorsByLongestMatch) {
    Scanned s = scan("a<>b a**b <<= << <= >>= != == ++ -- += &= &&|| |= |");
    std::vector<int> expected = {SYM_ID, SYM_NEQ, SYM_ID, SYM_ID, SYM_PRIMARY, SYM_ID,
                                 SYM_LSHIFTASSIGN, SYM_LSHIFT, SYM_LE, SYM_RSHIFTASSIGN, SYM_NEQ,
                                 SYM_EQ, SYM_PLUSPLUS, SYM_MINUSMINUS, SYM_PLUSASSIGN,
                                 SYM_BANDASSIGN, SYM_AND, SYM_OR, SYM_BORASSIGN, SYM_BOR, SYM_EOF};
    EXPECT_EQ(s.syms, expected);
    EXPECT_EQ(s.err, "");
}

TEST(Scanner, WordsNumbersAndInvalidCharacters) {
    Scanned s = scan("x_1 _x int integer 1e5 1. .5 . 1.5e10 1.e 0x1F 017 089 0xg $");
    std::vector<int> expected = {SYM_ID, SYM_ID, SYM_INT, SYM_ID, INTLIT, SYM_ID, FLOATLIT, FLOATLIT,
                                 FLOATLIT, FLOATLIT, FLOATLIT, INTLIT, INTLIT, INTLIT, SYM_ID, SYM_EOF};
    EXPECT_EQ(s.syms, expected);
    EXPECT_EQ(s.texts[5], "e5");
    EXPECT_EQ(s.err,
              "invalid token near line 1 (text was '_')\n"
              "invalid token near line 1 (text was '0x')\n"
              "invalid token near line 1 (text was '$')\n");
    EXPECT_EQ(intLiteralValue("0x1F"), 31);
    EXPECT_EQ(intLiteralValue("017"), 15);
    EXPECT_EQ(intLiteralValue("089"), 0);
    EXPECT_EQ(intLiteralValue("99999999999"), 2147483647);
    EXPECT_EQ(intLiteralValue("0xFFFFFFFFFFFFFFFFFF"), 2147483647);
    EXPECT_DOUBLE_EQ(floatLiteralValue("."), 0.0);
    EXPECT_DOUBLE_EQ(floatLiteralValue("1.e"), 1.0);
    EXPECT_DOUBLE_EQ(floatLiteralValue("1.5e3"), 1500.0);
}

TEST(Scanner, TextLiteralsAndLines) {
    Scanned s = scan("\"a\\\\b\" \"q\\\"\\n\\t\\r\\x\" \"two\nlines\" x /* a\n**b*\n**/ y // c\nz");
    ASSERT_EQ(s.syms.size(), 7u);
    EXPECT_EQ(s.texts[0], "a\\\\b");
    EXPECT_EQ(s.texts[1], "q\"\n\t\r\\x");
    EXPECT_EQ(s.texts[2], "two\nlines");
    EXPECT_EQ(s.lines[3], 2);  // x
    EXPECT_EQ(s.lines[4], 4);  // y after the block comment
    EXPECT_EQ(s.lines[5], 5);  // z after the line comment
    EXPECT_EQ(s.err, "");
    Scanned nl = scan("\"a\\\nb\"");
    EXPECT_EQ(nl.texts[0], "a\\\nb");
    EXPECT_EQ(nl.lines[1], 2);
}

TEST(Scanner, EndsOfInput) {
    Scanned literal = scan("x \"open");
    EXPECT_EQ(literal.syms, (std::vector<int>{SYM_ID, SYM_EOF}));
    EXPECT_EQ(literal.err, "");
    Scanned comment = scan("x /* open\n");
    EXPECT_EQ(comment.syms, (std::vector<int>{SYM_ID, SYM_EOF}));
    EXPECT_EQ(comment.err, "");
    Scanned star = scan("/* open *");
    EXPECT_EQ(star.err, "invalid token near line 1 (text was '*')\n");
    Scanned stars = scan("/* open\n***");
    EXPECT_EQ(stars.err, "invalid token near line 2 (text was '***')\n");
    Scanned line = scan("x\n// open");
    EXPECT_EQ(line.err, "invalid token near line 2 (text was '// open')\n");
    EXPECT_EQ(line.syms.back(), SYM_EOF);
}

TEST(Scanner, LongTokensAreCut) {
    std::string name(5000, 'a');
    Scanned s = scan(name + " b");
    ASSERT_EQ(s.syms.size(), 3u);
    EXPECT_EQ(s.texts[0].size(), 1999u);
    EXPECT_EQ(s.texts[1], "b");
}

TEST(Symtab, WordTables) {
    EXPECT_EQ(mask_sym_type("DoubleMask"), 32);
    EXPECT_EQ(key_sym_type("F10"), 26);
    EXPECT_EQ(key_sym_type("f1"), -1);
    EXPECT_EQ(battr_sym_type("lw"), 48);
    EXPECT_EQ(battr_sym_type("points"), 64);
    EXPECT_EQ(bobj_sym_type("textobj"), 79);
    EXPECT_EQ(attr_sym_type("points"), 4);
    EXPECT_EQ(specevent_sym_type("ResizeWindow"), 6);
    EXPECT_EQ(press_sym_type("Release"), 4);
    EXPECT_EQ(mouse_sym_type("Button4"), -1);
}

TEST(Parser, DeclarationOrders) {
    Parsed& p = parse(
        "int g; int g;\n"
        "int f(int a, ref int b, int c, ref int d) { int x; int y; x = 1; }\n"
        "int h(ref int b, ref int d, ref int e) { int x; }\n"
        "void main() { }\n");
    EXPECT_EQ(p.err, "");
    function* f = get_function(p.unit, "f");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(declNames(f), (std::vector<std::string>{"x", "y", "c", "a", "b", "d"}));
    EXPECT_STREQ(f->firstParam->name, "c");
    std::vector<std::string> formals;
    for (fparam* fp = f->fparams; fp; fp = nextOf(fp)) formals.push_back(fp->decl->name);
    EXPECT_EQ(formals, (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(declNames(get_function(p.unit, "h")), (std::vector<std::string>{"x", "b", "d", "e"}));
    EXPECT_EQ(get_var(p.unit, "g"), p.unit->decls);
    EXPECT_EQ(p.unit->functions->name, std::string("main"));
}

namespace {

// The expression of the first statement of a function's body.
op* firstExpr(Parsed& p, const char* fn) { return get_function(p.unit, fn)->body->expr; }

}  // namespace

TEST(Parser, PrecedenceAndAssociativity) {
    Parsed& p = parse(
        "int a, w, x, y, z; float f; text t;\n"
        "void e1() { a = 1 + 2 * 3; }\n"
        "void e2() { a = 2 << 1 + 1; }\n"
        "void e3() { a = w < x == y < z; }\n"
        "void e4() { a = x || y && z; }\n"
        "void e5() { x = y = 3; }\n"
        "void e6() { f = 7 / 2; }\n"
        "void e7() { a = 7 % 2; }\n"
        "void e8() { t = t + 1; }\n"
        "void e9() { f = 2 ** 3 ** 2; }\n");
    ASSERT_EQ(p.err, "");
    auto rhs = [&](const char* fn) { return firstExpr(p, fn)->right; };
    EXPECT_EQ(rhs("e1")->routine.l, &l_add);
    EXPECT_EQ(rhs("e1")->right->routine.l, &l_mul);
    EXPECT_EQ(rhs("e2")->routine.l, &l_lshift);
    EXPECT_EQ(rhs("e2")->right->routine.l, &l_add);
    EXPECT_EQ(rhs("e3")->routine.l, &l_eq);
    EXPECT_EQ(rhs("e3")->left.op->routine.l, &l_lt);
    EXPECT_EQ(rhs("e4")->routine.l, &l_or);
    EXPECT_EQ(rhs("e4")->right->routine.l, &l_and);
    op* chain = firstExpr(p, "e5");
    EXPECT_EQ(chain->routine.l, &l_ass);
    EXPECT_EQ(chain->right->routine.l, &l_ass);
    EXPECT_EQ(chain->right->left.op->left.decl, get_var(p.unit, "y"));
    EXPECT_EQ(rhs("e6")->flag, int(T_OPER) + VT_FLOAT);
    EXPECT_EQ(rhs("e6")->routine.r, &r_div);
    EXPECT_EQ(rhs("e7")->flag, int(T_OPER) + VT_INT);
    EXPECT_EQ(rhs("e8")->flag, int(T_OPER) + VT_TEXT);
    EXPECT_EQ(rhs("e8")->routine.t, &t_add);
    EXPECT_EQ(rhs("e9")->right->routine.l, &l_pow);
    EXPECT_EQ(rhs("e9")->left.op->flag, int(T_CONST) + VT_INT);
}

TEST(Parser, ControlRecords) {
    Parsed& p = parse(
        "int x, y;\n"
        "void loops() { for (x = 0; x < 3; x++) y = x; }\n"
        "void branch() { if (x) y = 1; else { y = 2; y = 3; } }\n"
        "void cases() { switch (x) { case 1: y = 1; y = 4; case 2: ; default: y = 0; } }\n");
    ASSERT_EQ(p.err, "");
    simaction* init = get_function(p.unit, "loops")->body;
    ASSERT_NE(init->expr, nullptr);
    simaction* loop = nextOf(init);
    ASSERT_NE(loop, nullptr);
    EXPECT_EQ(loop->nested->control, &FOR);
    simaction* body = loop->nested->nested;
    EXPECT_EQ(count_object(body), 2);  // the body, then the step
    EXPECT_EQ(nextOf(body)->expr->routine.l, &l_postplus);

    simaction* ifRecord = get_function(p.unit, "branch")->body->nested;
    EXPECT_EQ(ifRecord->control, &IF);
    EXPECT_EQ(count_object(ifRecord->nested), 1);
    EXPECT_EQ(count_object(ifRecord), 3);  // the record and the else part's two statements

    simaction* sw = get_function(p.unit, "cases")->body->nested;
    EXPECT_EQ(sw->control, &SWITCH);
    simaction* case1 = nextOf(sw);
    EXPECT_EQ(case1->cond->left.i, 1);
    EXPECT_EQ(count_object(case1->nested), 2);
    simaction* case2 = nextOf(case1);
    EXPECT_EQ(case2->nested, nullptr);
    simaction* fallback = nextOf(case2);
    EXPECT_EQ(fallback->isDefault, 1);
    EXPECT_EQ(nextOf(fallback), nullptr);
}

TEST(Parser, NamesResolveInScopeOrder) {
    Parsed& p = parse(
        "int v; const int C = 2;\n"
        "int f(int v) { return v + C + time + g(); }\n"
        "int g() { return v + f(1); }\n");
    ASSERT_EQ(p.err, "");
    function* f = get_function(p.unit, "f");
    op* sum = f->body->retexpr;
    // ((v + C) + time) + g(): the parameter, the constant, a builtin, a
    // function declared later and back-patched.
    EXPECT_EQ(sum->left.op->left.op->left.op->left.decl, f->decls);
    EXPECT_EQ(sum->left.op->left.op->right->flag, int(T_NAMEDCONST) + VT_INT);
    EXPECT_EQ(accessMethod(sum->left.op->right->flag), T_BUILTIN);
    EXPECT_EQ(sum->right->flag, int(T_FUNC) + VT_INT);
    EXPECT_EQ(sum->right->left.act->target.fn, get_function(p.unit, "g"));
    EXPECT_EQ(p.unit->forwardCalls, nullptr);
    op* back = get_function(p.unit, "g")->body->retexpr;
    EXPECT_EQ(back->left.op->left.decl, p.unit->decls);
}

TEST(Parser, StatementStringsUseTheRunningFunctionsScope) {
    Parsed& p = parse("int g; void main() { int local; local = 1; }\n");
    ASSERT_EQ(p.err, "");
    function* fn = get_function(p.unit, "main");
    funcinst frame;
    frame.owner = fn;
    p.unit->currentFrame = &frame;
    simaction* s = parse_statement(&p.ctx, "local = g + 2;");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->expr->left.op->left.decl, fn->decls);
    f_simulate(&p.ctx, s, 1);
    EXPECT_EQ(parse_statement(&p.ctx, nullptr), nullptr);
    p.unit->currentFrame = nullptr;
    EXPECT_EQ(p.ctx.runState, 0u);
}

// Statement strings are parsed and freed one at a time while the program
// runs: their records come from the allocator, never from the program's
// arena, and a statement that fails half-way leaves nothing behind (the
// leak checker of the sanitized build sees every record).
TEST(Parser, StatementStringsKeepOutOfTheArenaAndFailCleanly) {
    Parsed& p = parse("int g; void main() { int local; local = 1; }\n");
    ASSERT_EQ(p.err, "");
    function* fn = get_function(p.unit, "main");
    EXPECT_TRUE(inArenaBlock(fn->body));
    EXPECT_TRUE(inArenaBlock(fn->body->expr));
    funcinst frame;
    frame.owner = fn;
    p.unit->currentFrame = &frame;
    simaction* good = parse_statement(&p.ctx, "local = g + 2;");
    ASSERT_NE(good, nullptr);
    EXPECT_FALSE(inArenaBlock(good));
    EXPECT_FALSE(inArenaBlock(good->expr));
    f_simulate(&p.ctx, good, 0);
    for (const char* text : {"local = (1 + 2 * ;", "local = nosuch(local + 1, \"t\") * 3 + ;",
                             "if (local > g) local = f(2) - ; else local = 1;", "local = \"a\" + 1 - ;"}) {
        testing::internal::CaptureStderr();
        simaction* s = parse_statement(&p.ctx, text);
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find("Error at line 1"), std::string::npos) << text;
        f_simulate(&p.ctx, s, 0);
        p.ctx.runState = 0;
    }
    p.unit->currentFrame = nullptr;
}

// The program's records go with its learn unit, all at once.
TEST(Parser, TheArenaGoesWithTheUnit) {
    UnitContext ctx;
    ctx.parseOnly = 1;
    newLearnUnit(&ctx, 640, 400, 0);
    std::string text = "int x; void main() { x = (x + 1) * 2; if (x) x = 3; }\n";
    std::FILE* stream = fmemopen(text.data(), text.size(), "r");
    readsim(&ctx, stream);
    std::fclose(stream);
    simaction* body = get_function(ctx.learnUnit, "main")->body;
    ASSERT_TRUE(inArenaBlock(body));
    killLearnUnit(&ctx);
    parser_cleanup(&ctx);
    EXPECT_FALSE(inArenaBlock(body));
    TamFree(ctx.updateRects);
}

TEST(Includes, NameLineRenamesTheUnitAndLinksAddDeclarations) {
    char dir[] = "/tmp/talvix-lang-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string lib = std::string(dir) + "/tools.kiv";
    std::string linked = std::string(dir) + "/extra.kiv";
    std::FILE* f = std::fopen(lib.c_str(), "w");
    std::fputs("name tools 7;\nint helper() { return 1; }\n", f);
    std::fclose(f);
    f = std::fopen(linked.c_str(), "w");
    std::fputs("int extra() { return later(); }\nint later() { return 2; }\n", f);
    std::fclose(f);

    Parsed& p = parse("name main 1;\ninclude tools \"file:///nonexistent/tools.kiv\";\n"
                      "int x;\nvoid main() { x = helper(); }\n"
                      "int dummy;\n");
    // Without a library directory the URL is opened directly: it does not
    // exist, so the include is skipped and helper is undeclared.
    EXPECT_EQ(p.err, "Error at line 4: Function 'helper' is not declared\n\n");
    EXPECT_STREQ(p.unit->programName, "main");

    Parsed& q = *new Parsed;
    parsedPrograms->push_back(&q);
    q.ctx.parseOnly = 1;
    q.ctx.libraryDir = dir;
    q.unit = newLearnUnit(&q.ctx, 640, 400, 0);
    std::string source = "name main 1;\ninclude tools;\nint x;\nvoid main() { x = helper(); }\n";
    std::FILE* stream = fmemopen(source.data(), source.size(), "r");
    testing::internal::CaptureStderr();
    readsim(&q.ctx, stream);
    std::fclose(stream);
    LinkUrl(&q.ctx, ("file://" + linked).c_str());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    q.ctx.libraryDir = nullptr;
    EXPECT_STREQ(q.unit->programName, "tools");
    EXPECT_EQ(q.unit->version, 7);
    function* extra = get_function(q.unit, "extra");
    ASSERT_NE(extra, nullptr);
    EXPECT_EQ(extra->body->retexpr->left.act->target.fn, get_function(q.unit, "later"));
    std::remove(lib.c_str());
    std::remove(linked.c_str());
    rmdir(dir);
}

TEST(Parser, TranslationsBuildEventPatterns) {
    Parsed& p = parse(
        "int x;\nvoid main() {\n"
        "  inputarea points = ((0, 0), (9, 9)), tr = (CtrlMask Button1 Release : x = 1;,\n"
        "    Transparent \"q\" | Return Release : x = 2;, Motion : x = 3;, ShiftMask Button2 : x = 4;);\n"
        "}\n");
    ASSERT_EQ(p.err, "");
    InpObj* area = get_function(p.unit, "main")->body->inpobj;
    ASSERT_NE(area, nullptr);
    translation* t = area->translation->expr.trans;
    ASSERT_EQ(count_object(t), 4);
    event* e = t->events;
    EXPECT_EQ(e->kind, EV_BUTTON_RELEASE);
    EXPECT_EQ(e->detail, 1);
    EXPECT_EQ(e->mask, 8);
    t = nextOf(t);
    ASSERT_EQ(count_object(t->events), 2);
    e = t->events;
    EXPECT_EQ(e->transparent, 1);
    EXPECT_EQ(e->kind, EV_KEY_PRESS);
    EXPECT_EQ(e->keycode, 'q');
    e = nextOf(e);
    EXPECT_EQ(e->kind, EV_KEY_RELEASE);
    EXPECT_EQ(e->keycode, 1);
    EXPECT_EQ(e->transparent, 0);
    t = nextOf(t);
    EXPECT_EQ(t->events->kind, EV_MOTION);
    ASSERT_NE(t->actions, nullptr);
    t = nextOf(t);
    EXPECT_EQ(t->events->kind, EV_BUTTON_PRESS);
    EXPECT_EQ(t->events->detail, 2);
    EXPECT_EQ(t->events->mask, 16);
}

TEST(Parser, GeneratorCallsCollectTheirArguments) {
    Parsed& p = parse(
        "object knob(expr c, points p, translation t) {\n"
        "  box points = p, col = c;\n  inputarea points = p, tr = t;\n}\n"
        "int x;\nvoid main() {\n"
        "  knob c = x + 1, p = ((1, 2), (3, 4), (5, 6)), t = (Button1 : x = 0;);\n"
        "}\n");
    ASSERT_EQ(p.err, "");
    objectproto* knob = get_object(p.unit, "knob");
    ASSERT_NE(knob, nullptr);
    EXPECT_EQ(knob->blockKind, BLOCK_GENERATOR);
    EXPECT_EQ(attr_type(knob, "p"), AK_POINTS);
    EXPECT_EQ(attr_type(knob, "missing"), 0);
    GraphObj* box = knob->body->graphobj;
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->points->varFlag, 1);
    EXPECT_EQ(box->points->expr.expr->left.attr, get_attr(knob, "p"));

    action* call = get_function(p.unit, "main")->body->call;
    ASSERT_NE(call, nullptr);
    EXPECT_EQ(call->type, ACT_OBJECT);
    EXPECT_EQ(call->target.proto, knob);
    attrparam* arg = call->args.attrs;  // the last given stands first
    EXPECT_STREQ(arg->name, "t");
    EXPECT_EQ(arg->kind, AK_TRANSLATION);
    arg = nextOf(arg);
    EXPECT_STREQ(arg->name, "p");
    EXPECT_EQ(arg->count, 3);
    EXPECT_EQ(arg->isExpr, 0);
    arg = nextOf(arg);
    EXPECT_STREQ(arg->name, "c");
    EXPECT_EQ(arg->isExpr, 1);
    EXPECT_EQ(arg->expr->flag, int(T_OPER) + VT_INT);
}
