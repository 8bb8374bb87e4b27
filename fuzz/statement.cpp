// Fuzz target: the statement parser behind the eval builtin. Arbitrary
// text is parsed as one statement in the scope of a small program that
// declares variables, arrays, functions and an object generator, and the
// statement released again. Running it would need a display. Inputs that
// would reach the parser's designed exit on deep nesting are left out
// (fuzz/nesting.h).
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/context.h"
#include "core/alloc.h"
#include "fuzz/nesting.h"
#include "interp/release.h"
#include "lang/parser.h"
#include "present/learnunit.h"

namespace {

constexpr char kProgram[] =
    "int n; float f; text t; int a[4]; float m[2][3];\n"
    "const int K = 3;\n"
    "int twice(int v) { return v * 2; }\n"
    "void show(text s, ref int count) { count = strlen(s); }\n"
    "object Dot(expr px, points shape) { box points = ((px, 0), (px + 1, 1)), col = 0xff; }\n"
    "void main() { n = twice(K); }\n";

bool parseProgram(UnitContext* ctx) {
    std::FILE* in = fmemopen(const_cast<char*>(kProgram), std::strlen(kProgram), "rb");
    if (!in) return false;
    int failed = readsim(ctx, in);
    std::fclose(in);
    return failed == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (nestsTooDeep(data, size)) return 0;
    std::string text(reinterpret_cast<const char*>(data), size);
    UnitContext ctx;
    ctx.parseOnly = 1;
    newLearnUnit(&ctx, 640, 400, 0);
    if (!parseProgram(&ctx)) __builtin_trap();
    // Nothing was instantiated from the statement, so its object
    // declarations go with it.
    f_simulate(&ctx, parse_statement(&ctx, text.c_str()), 1);
    killLearnUnit(&ctx);
    parser_cleanup(&ctx);
    TamFree(ctx.updateRects);
    return 0;
}
