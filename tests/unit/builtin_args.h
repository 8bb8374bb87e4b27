// Hand-built argument lists for driving builtin handlers directly: literal
// constants, scalar variables, whole int arrays and array elements, in
// the instance-bound form the evaluator runs.
#pragma once
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/context.h"
#include "core/alloc.h"
#include "interp/records.h"
#include "present/objects.h"

class Args {
public:
    Args() { unit_.startTime = 0; ctx.learnUnit = &unit_; }
    ~Args() {
        for (vinst* inst : texts_) TamFree(inst->value.t);
        for (char* text : constants_) TamFree(text);
    }
    Args(const Args&) = delete;
    Args& operator=(const Args&) = delete;

    Args& i(std::int32_t value) {
        op* node = newOp(int{T_CONST} + VT_INT, VT_INT);
        node->left.i = value;
        return push(node);
    }
    Args& f(double value) {
        op* node = newOp(int{T_CONST} + VT_FLOAT, VT_FLOAT);
        node->left.f = value;
        return push(node);
    }
    Args& t(const char* value) {
        op* node = newOp(int{T_CONST} + VT_TEXT, VT_TEXT);
        node->left.t = copyText(value);
        constants_.push_back(node->left.t);
        return push(node);
    }
    // Scalar variables; the returned instance shows what the handler stored.
    vinst* intVar(std::int32_t value) { return scalar(VT_INT)->value.i = value, last_; }
    vinst* floatVar(double value) { return scalar(VT_FLOAT)->value.f = value, last_; }
    vinst* textVar(const char* value) {
        vinst* inst = scalar(VT_TEXT);
        inst->value.t = copyText(value);
        texts_.push_back(inst);
        return inst;
    }
    // A whole one-dimensional int array holding values.
    std::vector<std::int32_t>& intArray(std::vector<std::int32_t> values) {
        arrays_.push_back(std::make_unique<std::vector<std::int32_t>>(std::move(values)));
        auto& storage = *arrays_.back();
        vinst* inst = arrayInstance(VT_INT_ARRAY, storage.data(), static_cast<int>(storage.size()));
        push(arrayOp(inst, nullptr, VT_INT_ARRAY));
        return storage;
    }
    // Element index of an int array whose storage is given.
    Args& intElement(std::vector<std::int32_t>& storage, std::int32_t index) {
        vinst* inst = arrayInstance(VT_INT_ARRAY, storage.data(), static_cast<int>(storage.size()));
        return push(arrayOp(inst, indexParam(index), VT_INT));
    }

    param* head() { return head_; }
    UnitContext ctx;

private:
    static char* copyText(const char* value) {
        auto* copy = static_cast<char*>(TamMalloc(std::strlen(value) + 1));
        std::strcpy(copy, value);
        return copy;
    }
    op* newOp(int flag, int valtype) {
        ops_.push_back(std::make_unique<op>());
        op* node = ops_.back().get();
        node->flag = static_cast<std::uint8_t>(flag);
        node->type = DO_VINST;
        node->valtype = static_cast<std::uint8_t>(valtype);
        node->line = 7;
        return node;
    }
    param* newParam(op* node) {
        params_.push_back(std::make_unique<param>());
        param* p = params_.back().get();
        p->expr = node;
        p->line = node->line;
        p->listid = 'Z';
        return p;
    }
    Args& push(op* node) {
        param* p = newParam(node);
        if (tail_) {
            tail_->next = p;
            p->prev = tail_;
        } else {
            head_ = p;
        }
        tail_ = p;
        return *this;
    }
    vinst* instance(int type, int ndims) {
        decls_.push_back(std::make_unique<vdecl>());
        vdecl* decl = decls_.back().get();
        decl->type = static_cast<std::uint8_t>(type);
        decl->ndims = static_cast<std::uint8_t>(ndims);
        insts_.push_back(std::make_unique<vinst>());
        vinst* inst = insts_.back().get();
        inst->decl = decl;
        decl->current = inst;
        return inst;
    }
    vinst* scalar(int base) {
        last_ = instance(base, 0);
        op* node = newOp(T_VAR + base, base);
        node->left.inst = last_;
        push(node);
        return last_;
    }
    vinst* arrayInstance(int type, void* storage, int size) {
        vinst* inst = instance(type, 1);
        dims_.push_back(std::make_unique<std::int32_t[]>(2));
        inst->dims = dims_.back().get();
        inst->dims[0] = size;
        inst->dims[1] = 1;
        inst->value.p = storage;
        return inst;
    }
    param* indexParam(std::int32_t index) {
        op* node = newOp(int{T_CONST} + VT_INT, VT_INT);
        node->left.i = index;
        return newParam(node);
    }
    op* arrayOp(vinst* inst, param* indexes, int valtype) {
        accesses_.push_back(std::make_unique<intarray>());
        intarray* access = accesses_.back().get();
        access->array.inst = inst;
        access->indexes = indexes;
        access->type = DO_VINST;
        op* node = newOp(T_ARRAY + (inst->decl->type & 3), valtype);
        node->left.arr = access;
        return node;
    }

    LearnUnit unit_;
    param* head_ = nullptr;
    param* tail_ = nullptr;
    vinst* last_ = nullptr;
    std::vector<std::unique_ptr<op>> ops_;
    std::vector<std::unique_ptr<param>> params_;
    std::vector<std::unique_ptr<vdecl>> decls_;
    std::vector<std::unique_ptr<vinst>> insts_;
    std::vector<std::unique_ptr<intarray>> accesses_;
    std::vector<std::unique_ptr<std::int32_t[]>> dims_;
    std::vector<std::unique_ptr<std::vector<std::int32_t>>> arrays_;
    std::vector<vinst*> texts_;
    std::vector<char*> constants_;
};

// Frees a handler's text result.
inline std::string taken(char* text) {
    std::string copy = text ? text : "(null)";
    TamFree(text);
    return copy;
}
