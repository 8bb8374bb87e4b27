// Fuzz target: the sprintf builtin. The input is the format, a NUL, and
// up to eight arguments, each a kind byte followed by its value: an int
// (4 bytes), a float of any bit pattern (8 bytes), a text (up to the next
// NUL) or an int variable for %n (nothing).
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "builtins/handlers.h"
#include "core/alloc.h"
#include "tests/unit/builtin_args.h"

namespace {

constexpr int kMaxArgs = 8;

class ArgReader {
public:
    ArgReader(const std::uint8_t* data, std::size_t size) : at_(data), end_(data + size) {}
    bool done() const { return at_ == end_; }
    std::uint8_t byte() { return done() ? 0 : *at_++; }
    template <class T>
    T value() {
        T v{};
        std::size_t n = std::min(sizeof v, static_cast<std::size_t>(end_ - at_));
        std::memcpy(&v, at_, n);
        at_ += n;
        return v;
    }
    std::string text() {
        const std::uint8_t* stop = static_cast<const std::uint8_t*>(std::memchr(at_, 0, end_ - at_));
        if (!stop) stop = end_;
        std::string t(reinterpret_cast<const char*>(at_), stop - at_);
        at_ = stop == end_ ? end_ : stop + 1;
        return t;
    }

private:
    const std::uint8_t* at_;
    const std::uint8_t* end_;
};

void addArgument(Args& args, ArgReader& input) {
    switch (input.byte() % 4) {
    case 0: args.i(input.value<std::int32_t>()); break;
    case 1: args.f(input.value<double>()); break;
    case 2: args.t(input.text().c_str()); break;
    default: args.intVar(0); break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ArgReader input(data, size);
    Args args;
    args.t(input.text().c_str());
    for (int i = 0; i < kMaxArgs && !input.done(); ++i) addArgument(args, input);
    TamFree(Ssprintf(&args.ctx, args.head()));
    return 0;
}
