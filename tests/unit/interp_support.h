// Builders of hand-made program records for the interpreter's unit tests.
#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/context.h"
#include "core/alloc.h"
#include "core/strings.h"
#include "interp/instantiate.h"
#include "interp/records.h"
#include "interp/release.h"
#include "present/objects.h"

namespace interp_test {

// A context with one learn unit; stderr is captured per test.
class InterpTest : public ::testing::Test {
protected:
    void SetUp() override {
        unit = static_cast<LearnUnit*>(TamCalloc(1, sizeof(LearnUnit)));
        new (unit) LearnUnit();
        ctx.learnUnit = unit;
        ::testing::internal::CaptureStderr();
    }
    void TearDown() override {
        if (!captured) ::testing::internal::GetCapturedStderr();
        for (vinst* v : owned) f_vinst(&ctx, v);
        for (vdecl* d : decls) f_vdecl(&ctx, d);
        for (op* o : trees) f_oper(&ctx, o);
        TamFree(unit);
    }
    std::string errors() {
        captured = true;
        return ::testing::internal::GetCapturedStderr();
    }

    op* node(int flag) {
        op* n = static_cast<op*>(TamCalloc(1, sizeof(op)));
        n->flag = static_cast<std::uint8_t>(flag);
        n->type = DO_VINST;
        n->line = 5;
        return n;
    }
    op* typed(op* n) {
        compute_valtype(&ctx, n);
        return n;
    }
    op* lit(int v) {
        op* n = node(1);
        n->left.i = v;
        return typed(n);
    }
    op* flit(double v) {
        op* n = node(2);
        n->left.f = v;
        return typed(n);
    }
    op* tlit(const char* v) {
        op* n = node(3);
        n->left.t = safestrdup(v);
        return typed(n);
    }
    template <class R>
    op* oper(int flag, R routine, op* left, op* right = nullptr) {
        op* n = node(flag);
        n->routine.any = reinterpret_cast<void*>(routine);
        n->left.op = left;
        n->right = right;
        return typed(n);
    }
    // A declaration with a fresh instance (declaration-bound expressions
    // of the declaration are instantiated against earlier instances).
    vinst* variable(const char* name, int type, int ndims = 0, std::initializer_list<int> sizes = {}) {
        vdecl* d = static_cast<vdecl*>(TamCalloc(1, sizeof(vdecl)));
        d->name = safestrdup(name);
        d->type = static_cast<std::uint8_t>(type);
        d->ndims = static_cast<std::uint8_t>(ndims);
        param* tail = nullptr;
        for (int s : sizes) {
            param* p = static_cast<param*>(TamCalloc(1, sizeof(param)));
            p->expr = lit(s);
            p->expr->type = DO_VDECL;
            appendTo(d->dims, tail, p);
        }
        decls.push_back(d);
        return keep(d);
    }
    vinst* keep(vdecl* d) {
        vinst* v = c_vinst(&ctx, d);
        if (v) owned.push_back(v);
        d->current = v;
        return v;
    }
    op* ref(vinst* v) {
        op* n = node(T_VAR + (v->decl->type & 3));
        n->left.inst = v;
        return typed(n);
    }
    op* element(vinst* v, std::initializer_list<op*> indexes) {
        op* n = node(v->decl->type);
        auto* a = static_cast<intarray*>(TamCalloc(1, sizeof(intarray)));
        a->type = DO_VINST;
        a->array.inst = v;
        param* tail = nullptr;
        for (op* i : indexes) {
            param* p = static_cast<param*>(TamCalloc(1, sizeof(param)));
            p->expr = i;
            p->line = i->line;
            appendTo(a->indexes, tail, p);
        }
        n->left.arr = a;
        return typed(n);
    }
    param* args(std::initializer_list<op*> exprs) {
        param* head = nullptr;
        param* tail = nullptr;
        for (op* e : exprs) {
            param* p = static_cast<param*>(TamCalloc(1, sizeof(param)));
            p->expr = e;
            p->line = e->line;
            appendTo(head, tail, p);
        }
        return head;
    }
    // Keeps a tree for release at the end of the test.
    op* own(op* tree) {
        trees.push_back(tree);
        return tree;
    }

    UnitContext ctx;
    LearnUnit* unit = nullptr;
    std::vector<vinst*> owned;
    std::vector<vdecl*> decls;
    std::vector<op*> trees;
    bool captured = false;
};

}  // namespace interp_test
