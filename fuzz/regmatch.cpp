// Fuzz target: the regmatch builtin. The input is a subject text, a NUL
// and a pattern; a match must lie within the subject. Patterns the player
// accepts but that weigh more than a tenth of its limit are left out: the
// C library's compiler allocates so much for them that under the
// sanitizers' allocator one input would take seconds.
#include <cstdint>
#include <cstring>
#include <string>

#include "builtins/handlers.h"
#include "builtins/pattern_weight.h"
#include "tests/unit/builtin_args.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string input(reinterpret_cast<const char*>(data), size);
    std::size_t nul = input.find('\0');
    std::string subject = input.substr(0, nul);
    std::string pattern = nul == std::string::npos ? "" : input.substr(nul + 1);
    double weight = patternWeight(pattern.c_str());
    if (weight > kMaxPatternWeight / 10 && weight <= kMaxPatternWeight) return 0;
    Args args;
    args.t(subject.c_str()).t(pattern.c_str());
    vinst* start = args.intVar(-1);
    vinst* end = args.intVar(-1);
    if (!RegMatch(&args.ctx, args.head())) return 0;
    auto length = static_cast<std::int32_t>(subject.size());
    if (start->value.i < 0 || start->value.i > end->value.i || end->value.i > length) __builtin_trap();
    return 0;
}
