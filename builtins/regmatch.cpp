// The regmatch builtin: a POSIX extended regular expression search that
// reports the bounds of the first, leftmost match. The pattern is compiled
// for each call and released again. A pattern whose compiled form would
// be huge is refused before it is compiled (builtins/pattern_weight.h).
#include <regex.h>

#include "builtins/handlers.h"
#include "builtins/pattern_weight.h"
#include "builtins/support.h"
#include "core/messages.h"
#include "interp/builtin_frame.h"

namespace {

// Owns a compiled pattern for the duration of one call.
class CompiledPattern {
public:
    CompiledPattern(const char* pattern) : status_(regcomp(&regex_, pattern, REG_EXTENDED)) {}
    ~CompiledPattern() {
        if (status_ == 0) regfree(&regex_);
    }
    CompiledPattern(const CompiledPattern&) = delete;
    CompiledPattern& operator=(const CompiledPattern&) = delete;

    bool valid() const { return status_ == 0; }
    // The subject's start is not the start of a line: ^ never matches there.
    bool search(const char* subject, regmatch_t& match) const {
        return regexec(&regex_, subject, 1, &match, REG_NOTBOL) == 0;
    }

private:
    regex_t regex_{};
    int status_;
};

}  // namespace

std::int32_t RegMatch(UnitContext* ctx, param* args) {
    if (!args || !nextOf(args)) return 0;
    param* patternNode = nextOf(args);
    OwnedText subject(t_par_value(ctx, args));
    OwnedText pattern(t_par_value(ctx, patternNode));
    if (!subject || !pattern) return 0;
    if (patternWeight(pattern.get()) > kMaxPatternWeight) {
        errorMsg(ctx, MSG_WARNING, "Warning: regmatch pattern is too complex; it matches nothing.");
        return 0;
    }
    CompiledPattern regex(pattern.get());
    // A pattern that does not compile simply matches nothing.
    if (!regex.valid()) return 0;
    regmatch_t match{};
    if (!regex.search(subject.get(), match)) return 0;
    param* startNode = nextOf(patternNode);
    param* endNode = startNode ? nextOf(startNode) : nullptr;
    if (startNode) set_par_value(ctx, startNode, static_cast<std::int32_t>(match.rm_so));
    if (endNode) set_par_value(ctx, endNode, static_cast<std::int32_t>(match.rm_eo));
    return 1;
}
