// Constructors of program records and the value type of expression nodes.
#include "interp/records.h"

#include "core/messages.h"

function* c_function(UnitContext* ctx) {
    function* fn = mustNew<function>(ctx);
    new (fn) function();
    init_list(fn);
    fn->blockKind = BLOCK_FUNCTION;
    return fn;
}

notdecl* c_notdecl(UnitContext* ctx) {
    notdecl* nd = mustNew<notdecl>(ctx);
    new (nd) notdecl();
    return nd;
}

vinstlist* c_vinstlist(UnitContext* ctx, vinst* inst) {
    vinstlist* node = mustNew<vinstlist>(ctx);
    new (node) vinstlist();
    init_list(node);
    node->inst = inst;
    return node;
}

int compute_valtype(UnitContext* ctx, op* node) {
    if (!node) {
        errorMsg(ctx, MSG_ERROR, "Internal error: op==NULL in valtype.");
        return 0;
    }
    int type = 0;
    switch (node->flag) {
    case 1: case 2: case 3:
    case 5: case 6: case 7:
    case 9: case 10: case 11:
    case 33: case 34: case 35:
    case 37: case 38: case 39:
    case 65: case 66: case 67:
        type = node->flag & 3;
        break;
    case 17: case 18: case 19:
        type = node->left.arr && node->left.arr->indexes ? (node->flag & 3) : node->flag;
        break;
    case T_CONST:
    case T_FUNC:  // a call of a function returning nothing
    case T_OPER:
    case T_ATTR:
    case T_ATTRIDX:
        type = 0;
        break;
    default:
        errorMsg(ctx, MSG_ERROR,
                 formatMsg("Internal error: Illegal value '%d' for op->flag in valtype", node->flag).c_str());
        return 0;
    }
    node->valtype = static_cast<std::uint8_t>(type);
    return type;
}
