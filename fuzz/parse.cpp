// Fuzz target: the scanner and parser on arbitrary program text, checked
// only (no display), and the program records released afterwards.
//
// Rules nested more than 400 deep end the player with a fatal message, as
// designed; about 30 nested brackets or 150 chained statements get there.
// Such inputs are left out (fuzz/nesting.h), since that exit is all they
// could show.
#include <cstdint>
#include <cstdio>

#include "app/context.h"
#include "lang/parser.h"
#include "core/alloc.h"
#include "fuzz/nesting.h"
#include "present/learnunit.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0 || nestsTooDeep(data, size)) return 0;
    std::FILE* in = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
    if (!in) return 0;
    UnitContext ctx;
    ctx.parseOnly = 1;
    newLearnUnit(&ctx, 640, 400, 0);
    readsim(&ctx, in);
    std::fclose(in);
    killLearnUnit(&ctx);
    parser_cleanup(&ctx);
    TamFree(ctx.updateRects);
    return 0;
}
