// The front end: token streams, literal values, symbol-table orders,
// expression trees and the parser's messages, parsed from texts.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/context.h"
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
