// Weak defaults for routines of the program model that the front end
// owns; its own definitions replace them at link time.
#include "core/messages.h"
#include "interp/records.h"

#define WEAK __attribute__((weak))

WEAK int compute_valtype(UnitContext*, op* node) {
    if (!node) return 0;
    int flag = node->flag;
    int type = 0;
    if ((flag >= 1 && flag <= 11 && (flag & 3)) || (flag >= 33 && flag <= 39 && flag != 36) || (flag >= 65 && flag <= 67))
        type = flag & 3;
    else if (flag >= 17 && flag <= 19)
        type = node->left.arr && node->left.arr->indexes ? (flag & 3) : flag;
    node->valtype = static_cast<std::uint8_t>(type);
    return type;
}
