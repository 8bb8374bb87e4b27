// Fuzz target: the URL canonicaliser. The input is split at its first
// newline into a base and a name: the name is made canonical without a
// base, against the base as the current document, and through
// AbsoluteURL; the results are turned into local paths when they are
// file: URLs.
#include <cstdint>
#include <cstring>
#include <string>

#include "app/context.h"
#include "core/alloc.h"
#include "net/url.h"

namespace {

// The URL layer keeps one state per context for the life of the process.
UnitContext* context() {
    static UnitContext* ctx = new UnitContext;
    return ctx;
}

// A canonical URL is a key of the URL map, and the layer makes every URL
// it is given canonical: doing so again must not change it.
void checkCanonical(UnitContext* ctx, char* url) {
    if (!url) return;
    TamFree(localPathOfURL(url));
    char* again = simplifyURL(ctx, url);
    if (!again || std::strcmp(again, url) != 0) __builtin_trap();
    TamFree(again);
    TamFree(url);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    text.resize(std::strlen(text.c_str()));
    std::size_t newline = text.find('\n');
    std::string base = newline == std::string::npos ? "" : text.substr(0, newline);
    std::string name = newline == std::string::npos ? text : text.substr(newline + 1);

    UnitContext* ctx = context();
    NewAnchor(ctx, nullptr, 2);
    checkCanonical(ctx, simplifyURL(ctx, name.c_str()));
    NewAnchor(ctx, base.c_str(), 0);
    checkCanonical(ctx, simplifyURL(ctx, name.c_str()));
    NewAnchor(ctx, nullptr, 2);
    // The absoluteURL builtin hands its result to the program as a text;
    // any use of it as a URL makes it canonical first.
    char* absolute = AbsoluteURL(base.c_str(), name.c_str());
    if (absolute) TamFree(localPathOfURL(absolute));
    TamFree(absolute);
    return 0;
}
