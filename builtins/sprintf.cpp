// The sprintf builtin: binds the formatting engine to the call's argument
// frame, so each directive takes the next argument through the accessors.
#include "builtins/format.h"
#include "builtins/handlers.h"
#include "interp/builtin_frame.h"

namespace {

constexpr const char* kName = "sprintf";

class FrameArgs : public FormatArgs {
public:
    FrameArgs(UnitContext* ctx, param* cursor) : ctx_(ctx), cursor_(cursor) {}

    std::int32_t intArg(int argno) override { return getIntPar(ctx_, cursor_, argno, kName); }
    double floatArg(int argno) override { return getFltPar(ctx_, cursor_, argno, kName); }
    OwnedText textArg(int argno) override { return OwnedText(getTextPar(ctx_, cursor_, argno, kName)); }

    bool storeCount(int, std::int32_t count) override {
        if (!cursor_) return false;
        param* target = cursor_;
        cursor_ = nextOf(cursor_);
        set_par_value(ctx_, target, count);
        return true;
    }

private:
    UnitContext* ctx_;
    param* cursor_;
};

}  // namespace

char* Ssprintf(UnitContext* ctx, param* args) {
    param* cursor = args;
    OwnedText format(getTextPar(ctx, cursor, 1, kName));
    if (!format) return emptyText(ctx);
    FrameArgs frame(ctx, cursor);
    std::string text = formatText(ctx, format.get(), frame);
    return newText(ctx, text.data(), text.size());
}
