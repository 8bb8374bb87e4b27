// Network and URL builtins: absoluteURL, contentType, post, call, link
// and setAnchor. Until the URL layer can fetch, they check their arguments
// and return 0 or an empty text.
#include "builtins/handlers.h"
#include "builtins/support.h"

char* absolute_url(UnitContext* ctx, param* args) {
    takeArguments(ctx, args, "absoluteURL", "tt");
    return emptyText(ctx);
}

char* content_type(UnitContext* ctx, param* args) {
    takeArguments(ctx, args, "contentType", "t");
    return emptyText(ctx);
}

char* Post(UnitContext* ctx, param* args) {
    takeArguments(ctx, args, "post", "tt");
    return emptyText(ctx);
}

std::int32_t TamCall(UnitContext* ctx, param* args) {
    takeArguments(ctx, args, "call", "t");
    return 0;
}

std::int32_t link_url(UnitContext* ctx, param* args) {
    takeArguments(ctx, args, "link", "t");
    return 0;
}

std::int32_t SetAnchor(UnitContext* ctx, param* args) {
    takeArguments(ctx, args, "setAnchor", "t");
    return 0;
}
