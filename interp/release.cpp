// The release family of the program records. Lists are unlinked and freed
// node by node; instance-bound copies free only what they own (borrowed
// object declarations and generator arguments stay with the learn unit).
#include "interp/release.h"

#include "app/context.h"
#include "core/alloc.h"
#include "interp/access.h"
#include "interp/compiled.h"
#include "interp/pool.h"
#include "present/objmodel.h"

namespace {

// Walks a list through its primary links, handing each node to `release`
// after it has been read past.
template <class T, class Release>
void releaseList(T* list, Release release) {
    while (T* node = list) {
        list = nextOf(node);
        release(node);
    }
}

template <class T, class Kill>
void releaseList2(UnitContext* ctx, T* list, Kill kill) {
    while (T* node = list) {
        list = next2Of(node);
        remove_at2(node);
        kill(ctx, node);
    }
}

// An instance freed while attributes still depend on it takes their source
// links with it, so no attribute is left pointing at freed memory.
void detachDependents(vinst* inst) {
    while (depnode* dep = inst->dependents) {
        inst->dependents = nextOf(dep);
        if (Attrib* attr = dep->attr) {
            for (srclink* link = attr->sources; link; link = nextOf(link)) {
                if (link->dep != dep) continue;
                unlinkFrom(attr->sources, link);
                TamFree(link);
                break;
            }
        }
        TamFree(dep);
    }
}

void freeBlockNames(Block* block) {
    TamFree(block->name);
    block->name = nullptr;
}

void freeAttrdecls(attrdecl* list) {
    releaseList(list, [](attrdecl* a) {
        TamFree(a->name);
        TamFree(a);
    });
}

}  // namespace

namespace {

void freePointList(UnitContext* ctx, PointListValue* list) {
    if (!list) return;
    for (int i = 0; i < 2 * list->count; ++i) f_oper(ctx, list->coords[i]);
    TamFree(list->coords);
    TamFree(list);
}

}  // namespace

void f_oper(UnitContext* ctx, op* node) {
    if (!node) return;
    switch (node->flag) {
    case 3:
        TamFree(node->left.t);
        break;
    case 17:
    case 18:
    case 19:
        f_intarray(ctx, node->left.arr);
        break;
    case 32:
    case 33:
    case 34:
    case 35:
    case 37:
    case 38:
    case 39:
        f_action(ctx, node->left.act);
        break;
    case 64:
    case 65:
    case 66:
    case 67:
        f_oper(ctx, node->left.op);
        break;
    case T_ATTR:
        if (node->type == DO_VINST) freePointList(ctx, node->left.points);
        break;
    default:
        break;
    }
    f_oper(ctx, node->right);
    poolFree(node);
}

void f_action(UnitContext* ctx, action* act) {
    if (!act) return;
    if (act->type == ACT_OBJECT)
        f_attrparam(ctx, act->args.attrs);
    else
        f_param(ctx, act->args.params);
    poolFree(act);
}

void f_param(UnitContext* ctx, param* list) {
    releaseList(list, [ctx](param* p) {
        f_oper(ctx, p->expr);
        poolFree(p);
    });
}

void f_attrparam(UnitContext* ctx, attrparam* list) {
    releaseList(list, [ctx](attrparam* a) {
        if (a->isCopy == kOwnsExpression) f_oper(ctx, a->expr);
        if (!a->isCopy) {
            f_oper(ctx, a->expr);
            if (a->kind == AK_POINTS && !a->isExpr) killPoints(ctx, static_cast<pointdecl*>(a->value.p));
            if (a->kind == AK_TRANSLATION && !a->isExpr)
                f_translations(ctx, static_cast<translation*>(a->value.p), 1);
        }
        TamFree(a->name);
        TamFree(a);
    });
}

void f_fparam(UnitContext*, fparam* list) {
    releaseList(list, [](fparam* f) { TamFree(f); });
}

void f_intarray(UnitContext* ctx, intarray* access) {
    if (!access) return;
    f_param(ctx, access->indexes);
    poolFree(access);
}

void f_simulate(UnitContext* ctx, simaction* list, int kill) {
    releaseList(list, [ctx, kill](simaction* s) {
        f_simulate(ctx, s->nested, kill);
        f_action(ctx, s->call);
        f_oper(ctx, s->expr);
        f_oper(ctx, s->cond);
        f_oper(ctx, s->retexpr);
        if (kill) {
            killWinObj(ctx, s->winobj);
            killGraphObj(ctx, s->graphobj);
            killInpObj(ctx, s->inpobj);
        }
        poolFree(s);
    });
}

void f_vinst(UnitContext* ctx, vinst* inst) {
    if (!inst) return;
    empty_vinst(ctx, inst);
    poolFree(inst);
}

void empty_vinst(UnitContext*, vinst* inst) {
    detachDependents(inst);
    if (vdecl* decl = inst->decl) {
        if (decl->type == VT_TEXT) TamFree(inst->value.t);
        if (decl->type == VT_TEXT_ARRAY && inst->value.ta) {
            long count = elementCount(inst);
            for (long i = 0; i < count; ++i) TamFree(inst->value.ta[i]);
        }
        if (decl->type & VT_ARRAY) TamFree(inst->value.p);
    }
    TamFree(inst->dims);
}

void f_vinsts(UnitContext* ctx, vinst* list) {
    releaseList(list, [ctx](vinst* inst) { f_vinst(ctx, inst); });
}

void f_vinit(UnitContext* ctx, vinit* list) {
    releaseList(list, [ctx](vinit* v) {
        f_vinit(ctx, v->nested);
        f_oper(ctx, v->expr);
        TamFree(v);
    });
}

void f_vdecl(UnitContext* ctx, vdecl* decl) {
    if (!decl) return;
    TamFree(decl->name);
    f_vinit(ctx, decl->init);
    f_param(ctx, decl->dims);
    TamFree(decl);
}

void f_variables(UnitContext* ctx, vdecl* list) {
    releaseList(list, [ctx](vdecl* d) { f_vdecl(ctx, d); });
}

void f_constants(UnitContext*, constant* list) {
    releaseList(list, [](constant* c) {
        TamFree(c->name);
        if (c->type == VT_TEXT) TamFree(c->value.t);
        TamFree(c);
    });
}

void f_functions(UnitContext* ctx, function* list) {
    releaseList(list, [ctx](function* fn) {
        f_functions(ctx, fn->functions);
        releaseCompiled(fn);
        f_simulate(ctx, fn->body, 1);
        f_fparam(ctx, fn->fparams);
        f_variables(ctx, fn->decls);
        f_constants(ctx, fn->consts);
        if (fn->rettype == VT_TEXT) TamFree(fn->retval.t);
        freeBlockNames(fn);
        TamFree(fn);
    });
}

void f_funcinst(UnitContext* ctx, funcinst* frame) {
    if (!frame) return;
    f_winobj(ctx, frame->windows);
    f_graphobj(ctx, frame->graphs);
    f_inpobj(ctx, frame->inputs);
    f_vinsts(ctx, frame->instances);
    if (!frame->sharedBody) f_simulate(ctx, frame->body, 0);
    releaseList(frame->elemRefs, [ctx](elemref* e) {
        f_intarray(ctx, e->access);
        TamFree(e);
    });
    poolFree(frame);
}

void f_objectinst(UnitContext* ctx, objectinst* frame) {
    if (!frame) return;
    f_vinsts(ctx, frame->instances);
    f_simulate(ctx, frame->body, 0);
    poolFree(frame);
}

void f_objectprotos(UnitContext* ctx, objectproto* list) {
    releaseList(list, [ctx](objectproto* proto) {
        f_functions(ctx, proto->functions);
        f_simulate(ctx, proto->body, 1);
        f_variables(ctx, proto->decls);
        f_constants(ctx, proto->consts);
        freeAttrdecls(proto->attrs);
        freeBlockNames(proto);
        TamFree(proto);
    });
}

void f_blockinsts(UnitContext* ctx, LearnUnit* unit) {
    f_vinsts(ctx, unit->globals);
    unit->globals = nullptr;
}

void f_notdecl(UnitContext*, notdecl* list) {
    releaseList(list, [](notdecl* n) {
        TamFree(n->name);
        TamFree(n);
    });
}

void f_winobj(UnitContext* ctx, WinObj* list) { releaseList2(ctx, list, killWinObj); }
void f_graphobj(UnitContext* ctx, GraphObj* list) { releaseList2(ctx, list, killGraphObj); }
void f_inpobj(UnitContext* ctx, InpObj* list) { releaseList2(ctx, list, killInpObj); }

void f_fastlist(UnitContext*, ListNode* list) {
    releaseList(list, [](ListNode* node) { TamFree(node); });
}

void f_outlist(UnitContext* ctx, ListNode* list) { f_fastlist(ctx, list); }

// Instances go before the declarations they point at.
void freesim(UnitContext* ctx, LearnUnit* unit) {
    if (!unit) return;
    f_blockinsts(ctx, unit);
    f_functions(ctx, unit->functions);
    unit->functions = nullptr;
    f_objectprotos(ctx, unit->generators);
    unit->generators = nullptr;
    f_variables(ctx, unit->decls);
    unit->decls = unit->declsTail = nullptr;
    f_constants(ctx, unit->consts);
    unit->consts = unit->constsTail = nullptr;
    f_notdecl(ctx, unit->forwardCalls);
    unit->forwardCalls = nullptr;
    freeBlockNames(unit);
    TamFree(unit->programName);
    unit->programName = nullptr;
}
