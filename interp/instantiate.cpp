// Instantiation of variables, expression trees, calls and statement lists,
// and the start and end of a function or generator activation. Each
// activation gets a private copy of its body with every variable reference
// resolved to the instance current at that moment (shallow binding).
#include "interp/instantiate.h"

#include <climits>

#include "app/context.h"
#include "core/alloc.h"
#include "core/messages.h"
#include "interp/access.h"
#include "interp/builtin_frame.h"
#include "interp/eval.h"
#include "interp/inst_support.h"
#include "interp/operators.h"
#include "interp/pool.h"
#include "interp/release.h"
#include "present/objects.h"

namespace {

// Arrays larger than this are refused as out of memory rather than
// allocated: the element count must fit the language's int indexes.
constexpr long long kMaxArrayElements = INT32_MAX;
constexpr long long kMaxArrayBytes = 4LL << 30;

void report(UnitContext* ctx, const std::string& text) { errorMsg(ctx, MSG_ERROR, text.c_str()); }

// Initial values from a scalar initializer.
std::int32_t intInit(UnitContext* ctx, op* expr) {
    op* tree = i_oper(ctx, expr);
    std::int32_t value = calculate(ctx, tree);
    f_oper(ctx, tree);
    return value;
}

double floatInit(UnitContext* ctx, op* expr) {
    op* tree = i_oper(ctx, expr);
    double value = f_calculate(ctx, tree);
    f_oper(ctx, tree);
    return value;
}

char* textInit(UnitContext* ctx, op* expr) {
    op* tree = i_oper(ctx, expr);
    char* value = t_calc_dup(ctx, tree);
    f_oper(ctx, tree);
    return value ? value : dupText(ctx, "");
}

std::size_t elementSize(int type) {
    switch (type) {
    case VT_INT_ARRAY:
        return sizeof(std::int32_t);
    case VT_FLOAT_ARRAY:
        return sizeof(double);
    default:
        return sizeof(char*);
    }
}

// Stores one initializer expression into element `offset`.
void storeInitElement(UnitContext* ctx, vinst* inst, long offset, op* expr) {
    switch (inst->decl->type) {
    case VT_INT_ARRAY:
        inst->value.ia[offset] = intInit(ctx, expr);
        break;
    case VT_FLOAT_ARRAY:
        inst->value.fa[offset] = floatInit(ctx, expr);
        break;
    default:
        TamFree(inst->value.ta[offset]);
        inst->value.ta[offset] = textInit(ctx, expr);
        break;
    }
}

const char* tooManyMessage(int type) {
    switch (type) {
    case VT_INT_ARRAY:
        return "Error: Too many initializing elements in integer array";
    case VT_FLOAT_ARRAY:
        return "Error: Too many initializing elements in floating point array";
    default:
        return "Error: Too many initializing elements in text array";
    }
}

// Fills the sub-array of dimension `level` that starts at `base` from one
// brace list; a nested list fills the next dimension from the element it
// stands for. Surplus elements of a list are reported once and dropped.
void fillArray(UnitContext* ctx, vinst* inst, vinit* list, long base, int level) {
    int ndims = inst->decl->ndims;
    std::int32_t size = inst->dims[level];
    long stride = inst->dims[ndims + level];
    long offset = base;
    int position = 0;
    for (vinit* element = list; element; element = nextOf(element), ++position) {
        if (position >= size) {
            report(ctx, tooManyMessage(inst->decl->type));
            return;
        }
        if (element->nested) {
            if (level + 1 < ndims) fillArray(ctx, inst, element->nested, offset, level + 1);
        } else if (element->expr) {
            storeInitElement(ctx, inst, offset, element->expr);
        }
        offset += stride;
    }
}

// Sizes, strides and zero-filled storage of an array instance. A negative
// size is reported and taken as 0; a size the machine cannot hold ends the
// player as out of memory, never with a smaller array.
void buildArray(UnitContext* ctx, vdecl* decl, vinst* inst) {
    int ndims = decl->ndims;
    inst->dims = static_cast<std::int32_t*>(mustAlloc(ctx, sizeof(std::int32_t) * 2 * (ndims ? ndims : 1)));
    long long count = 1;
    param* dim = decl->dims;
    for (int d = 0; d < ndims; ++d) {
        std::int32_t size = dim ? intInit(ctx, dim->expr) : 0;
        if (size < 0) {
            report(ctx, formatMsg("Error: Negative size %d in declaration of array %s", size, decl->name));
            size = 0;
        }
        inst->dims[d] = size;
        count = std::min(count * size, kMaxArrayElements + 1);
        if (dim) dim = nextOf(dim);
    }
    long long stride = 1;
    for (int d = ndims - 1; d >= 0; --d) {
        inst->dims[ndims + d] = static_cast<std::int32_t>(std::min<long long>(stride, INT32_MAX));
        stride = std::min(stride * inst->dims[d], kMaxArrayElements + 1);
    }
    std::size_t size = elementSize(decl->type);
    if (count > kMaxArrayElements || count * static_cast<long long>(size) > kMaxArrayBytes) outOfMemory(ctx);
    if (count == 0) return;
    inst->value.p = TamCalloc(static_cast<std::size_t>(count), size);
    if (!inst->value.p) outOfMemory(ctx);
    if (decl->init) fillArray(ctx, inst, decl->init, 0, 0);
    if (decl->type == VT_TEXT_ARRAY)
        for (long long i = 0; i < count; ++i)
            if (!inst->value.ta[i]) inst->value.ta[i] = dupText(ctx, "");
}

}  // namespace

vinst* c_vinst(UnitContext* ctx, vdecl* decl) {
    vinst* inst = poolNew<vinst>(ctx);
    init_list(inst);
    if (fill_vinst(ctx, decl, inst)) return inst;
    poolFree(inst);
    return nullptr;
}

bool fill_vinst(UnitContext* ctx, vdecl* decl, vinst* inst) {
    inst->decl = decl;
    switch (decl->type) {
    case VT_INT:
        inst->value.i = decl->init ? intInit(ctx, decl->init->expr) : 0;
        break;
    case VT_FLOAT:
        inst->value.f = decl->init ? floatInit(ctx, decl->init->expr) : 0.0;
        break;
    case VT_TEXT:
        inst->value.t = decl->init ? textInit(ctx, decl->init->expr) : dupText(ctx, "");
        break;
    case VT_INT_ARRAY:
    case VT_FLOAT_ARRAY:
    case VT_TEXT_ARRAY:
        buildArray(ctx, decl, inst);
        break;
    default:
        report(ctx, formatMsg("Internal Error: Unknown variable type '%c' %s", decl->type, decl->name));
        inst->decl = nullptr;
        return false;
    }
    return true;
}

// Node builders.

op* newOp(UnitContext* ctx, int flag, int line) {
    op* node = poolNew<op>(ctx);
    node->flag = static_cast<std::uint8_t>(flag);
    node->line = line;
    return node;
}

op* finishOp(UnitContext* ctx, op* node) {
    node->type = DO_VINST;
    compute_valtype(ctx, node);
    return node;
}

op* intLiteral(UnitContext* ctx, int value, int line) {
    op* node = newOp(ctx, 1, line);
    node->left.i = value;
    return finishOp(ctx, node);
}

op* literalNow(UnitContext* ctx, op* tree, int base, int line) {
    op* node = newOp(ctx, base, line);
    switch (base) {
    case VT_INT:
        node->left.i = calculate(ctx, tree);
        break;
    case VT_FLOAT:
        node->left.f = f_calculate(ctx, tree);
        break;
    default:
        node->flag = VT_TEXT;
        node->left.t = t_calc_dup(ctx, tree);
        if (!node->left.t) node->left.t = dupText(ctx, "");
        break;
    }
    f_oper(ctx, tree);
    return finishOp(ctx, node);
}

intarray* aliasAccess(UnitContext* ctx, intarray* alias, int line) {
    intarray* access = poolNew<intarray>(ctx);
    access->type = DO_VINST;
    access->array.inst = alias->array.inst;
    param* tail = nullptr;
    for (param* index = alias->indexes; index; index = nextOf(index)) {
        param* fixed = poolNew<param>(ctx);
        fixed->line = index->line;
        fixed->expr = intLiteral(ctx, par_value(ctx, index), line);
        appendTo(access->indexes, tail, fixed);
    }
    return access;
}

bool isExprval(const op* node) {
    return node->routine.any == reinterpret_cast<void*>(l_exprval) ||
           node->routine.any == reinterpret_cast<void*>(r_exprval) ||
           node->routine.any == reinterpret_cast<void*>(t_exprval);
}

int exprvalBase(const op* node, const op* operand) {
    if (node->flag != T_OPER) return node->flag & 3;
    return operand && operand->valtype >= VT_INT && operand->valtype <= VT_TEXT ? int{operand->valtype} : int{VT_INT};
}

namespace {

// The assignment operators in their three families; the bit and shift
// assignments exist for ints only, compound text assignments not at all.
struct AssignFamily {
    IntRoutine l;
    FltRoutine r;
    TxtRoutine t;
};

const AssignFamily* assignmentFamily(OperRoutine routine) {
    static const AssignFamily families[] = {
        {l_ass, r_ass, t_ass},          {l_assplus, r_assplus, nullptr}, {l_assminus, r_assminus, nullptr},
        {l_assdiv, r_assdiv, nullptr},  {l_assmod, r_assmod, nullptr},   {l_assmult, r_assmult, nullptr},
        {l_assband, nullptr, nullptr},  {l_assbor, nullptr, nullptr},    {l_asslshift, nullptr, nullptr},
        {l_assrshift, nullptr, nullptr}};
    for (const AssignFamily& f : families) {
        if (routine.any == reinterpret_cast<void*>(f.l) || (f.r && routine.any == reinterpret_cast<void*>(f.r)) ||
            (f.t && routine.any == reinterpret_cast<void*>(f.t)))
            return &f;
    }
    return nullptr;
}

// An assignment whose target's type is settled only now (an attribute
// reference of a generic object): the routine follows the target's type.
op* retypedAssignment(UnitContext* ctx, op* src, op* node, const AssignFamily& family) {
    op* target = i_oper(ctx, src->left.op);
    node->left.op = target;
    int type = target ? target->valtype : 0;
    if (type == VT_FLOAT) {
        node->flag = 66;
        node->routine.r = family.r;
        if (!family.r) {
            paramError(ctx, src->line, "Illegal assignment operator for floating point assignment.");
            node->routine.r = r_ass;
        }
    } else if (type == VT_TEXT) {
        node->flag = 67;
        node->routine.t = t_ass;
    } else {
        node->flag = 65;
        node->routine.l = family.l;
    }
    node->right = i_oper(ctx, src->right);
    return finishOp(ctx, node);
}

op* operatorCopy(UnitContext* ctx, op* src, op* node) {
    if (isExprval(src)) {
        op* operand = i_oper(ctx, src->left.op);
        int line = src->line;
        poolFree(node);
        return literalNow(ctx, operand, exprvalBase(src, operand), line);
    }
    bool untypedTarget = src->left.op && (src->left.op->flag == T_ATTR || src->left.op->valtype == 0);
    if (untypedTarget) {
        if (const AssignFamily* family = assignmentFamily(src->routine))
            return retypedAssignment(ctx, src, node, *family);
    }
    node->routine = src->routine;
    node->left.op = i_oper(ctx, src->left.op);
    node->right = src->right ? i_oper(ctx, src->right) : nullptr;
    return finishOp(ctx, node);
}

op* variableReference(UnitContext* ctx, op* src, op* node) {
    if (src->type == DO_VINST) {
        node->left.inst = src->left.inst;
        return finishOp(ctx, node);
    }
    vdecl* decl = src->left.decl;
    if (decl->alias) {
        node->flag = static_cast<std::uint8_t>(T_ARRAY + (src->flag & 3));
        node->left.arr = aliasAccess(ctx, decl->alias, src->line);
        return finishOp(ctx, node);
    }
    if (!decl->current) {
        report(ctx, formatMsg("Internal error: Variable %s has no instance", decl->name));
        poolFree(node);
        return intLiteral(ctx, 0, src->line);
    }
    node->left.inst = decl->current;
    return finishOp(ctx, node);
}

// An attribute of a generic object stands for the expression bound to it
// by the generator call; an indexed one for an element of the array that
// expression names.
op* attributeReference(UnitContext* ctx, op* src, op* node) {
    attrdecl* attr = src->left.attr;
    op* bound = attr && attr->kind != AK_POINTS ? attr->expr : nullptr;
    int line = src->line;
    poolFree(node);
    if (attr && attr->kind == AK_POINTS)
        return pointListNode(ctx, attr, line, [ctx](op* coord) { return coord ? i_oper(ctx, coord) : intLiteral(ctx, 0, 0); });
    if (!bound) return intLiteral(ctx, 0, line);
    bool arrayRef = bound->flag >= 17 && bound->flag <= 19;
    if (src->flag == T_ATTRIDX && arrayRef && src->right && src->right->left.arr) {
        op* element = newOp(ctx, bound->flag, line);
        element->left.arr = i_intarray(ctx, bound->left.arr);
        f_param(ctx, element->left.arr->indexes);
        element->left.arr->indexes = i_param(ctx, src->right->left.arr->indexes);
        return finishOp(ctx, element);
    }
    return i_oper(ctx, bound);
}

}  // namespace

op* i_oper(UnitContext* ctx, op* src) {
    if (!src) return nullptr;
    op* node = newOp(ctx, src->flag, src->line);
    switch (src->flag) {
    case 1:
    case 2:
        node->left = src->left;
        return finishOp(ctx, node);
    case 3:
        node->left.t = dupText(ctx, src->left.t);
        return finishOp(ctx, node);
    case 5:
        node->flag = 1;
        node->left.i = src->left.con->value.i;
        return finishOp(ctx, node);
    case 6:
        node->flag = 2;
        node->left.f = src->left.con->value.f;
        return finishOp(ctx, node);
    case 7:
        node->flag = 3;
        node->left.t = dupText(ctx, src->left.con->value.t);
        return finishOp(ctx, node);
    case 9:
    case 10:
    case 11:
        return variableReference(ctx, src, node);
    case 17:
    case 18:
    case 19:
        node->left.arr = i_intarray(ctx, src->left.arr);
        return finishOp(ctx, node);
    case 32:
    case 33:
    case 34:
    case 35:
    case 37:
    case 38:
    case 39:
        node->left.act = i_action(ctx, src->left.act);
        return finishOp(ctx, node);
    case 64:
    case 65:
    case 66:
    case 67:
        return operatorCopy(ctx, src, node);
    case T_ATTR:
    case T_ATTRIDX:
        return attributeReference(ctx, src, node);
    default:
        report(ctx, formatMsg("Internal error: Illegal value '%d' for op->flag in i_oper", src->flag));
        poolFree(node);
        return nullptr;
    }
}

action* i_action(UnitContext* ctx, action* src) {
    if (!src) return nullptr;
    action* act = poolNew<action>(ctx);
    act->type = src->type;
    act->line = src->line;
    act->target = src->target;
    switch (src->type) {
    case ACT_OBJECT:
        act->args.attrs = i_attrparam(ctx, src->args.attrs);
        break;
    case 32:
    case ACT_FUNC_INT:
    case ACT_FUNC_FLOAT:
    case ACT_FUNC_TEXT:
    case ACT_BUILTIN_INT:
    case ACT_BUILTIN_FLOAT:
    case ACT_BUILTIN_TEXT:
        act->args.params = i_param(ctx, src->args.params);
        break;
    default:
        report(ctx, "Internal error: Unknown old_act->type in i_action");
        break;
    }
    return act;
}

param* i_param(UnitContext* ctx, param* list) {
    param* head = nullptr;
    param* tail = nullptr;
    for (param* src = list; src; src = nextOf(src)) {
        param* copy = poolNew<param>(ctx);
        copy->line = src->line;
        copy->expr = i_oper(ctx, src->expr);
        appendTo(head, tail, copy);
    }
    return head;
}

intarray* i_intarray(UnitContext* ctx, intarray* src) {
    if (!src) return nullptr;
    intarray* access = poolNew<intarray>(ctx);
    access->type = DO_VINST;
    access->array.inst = src->type == DO_VINST ? src->array.inst : src->array.decl ? src->array.decl->current : nullptr;
    access->indexes = i_param(ctx, src->indexes);
    return access;
}

simaction* i_simactions(UnitContext* ctx, simaction* list, Frame* frame) {
    simaction* head = nullptr;
    simaction* tail = nullptr;
    for (simaction* src = list; src; src = nextOf(src)) {
        simaction* s = poolNew<simaction>(ctx);
        s->frame = frame;
        if (src->call) {
            s->call = i_action(ctx, src->call);
        } else if (src->expr) {
            s->expr = i_oper(ctx, src->expr);
        } else if (src->retexpr) {
            s->retexpr = i_oper(ctx, src->retexpr);
        } else {
            s->winobj = src->winobj;
            s->graphobj = src->graphobj;
            s->inpobj = src->inpobj;
        }
        if (src->nested) s->nested = i_simactions(ctx, src->nested, frame);
        s->control = src->control;
        s->cond = i_oper(ctx, src->cond);
        s->isDefault = src->isDefault;
        appendTo(head, tail, s);
    }
    return head;
}
