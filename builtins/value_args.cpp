// The handlers that read their arguments only as values. Handlers that
// look at the shape of an argument node (a text constant, a whole array,
// an attribute, a call) are not listed and keep getting bound copies.
#include "builtins/value_args.h"

#include "builtins/handlers.h"

namespace {

const void* const kValueHandlers[] = {
    reinterpret_cast<const void*>(Asin),     reinterpret_cast<const void*>(Acos),
    reinterpret_cast<const void*>(Atan),     reinterpret_cast<const void*>(Atan2),
    reinterpret_cast<const void*>(Ceil),     reinterpret_cast<const void*>(Scos),
    reinterpret_cast<const void*>(Cosh),     reinterpret_cast<const void*>(Fabs),
    reinterpret_cast<const void*>(Floor),    reinterpret_cast<const void*>(Fmod),
    reinterpret_cast<const void*>(Slog),     reinterpret_cast<const void*>(Slog10),
    reinterpret_cast<const void*>(Ssin),     reinterpret_cast<const void*>(Sinh),
    reinterpret_cast<const void*>(Ssqrt),    reinterpret_cast<const void*>(Tan),
    reinterpret_cast<const void*>(Tanh),     reinterpret_cast<const void*>(IntAsText),
    reinterpret_cast<const void*>(Sstrcmp),  reinterpret_cast<const void*>(Sstrncmp),
    reinterpret_cast<const void*>(Stricmp),  reinterpret_cast<const void*>(Sstrlen),
    reinterpret_cast<const void*>(Strgetchar), reinterpret_cast<const void*>(SubString),
    reinterpret_cast<const void*>(Ssprintf),
};

}  // namespace

bool readsArgumentValuesOnly(const void* handler) {
    for (const void* h : kValueHandlers)
        if (h == handler) return true;
    return false;
}
