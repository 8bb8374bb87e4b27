// Symbol tables: the tree of blocks (learn unit, functions, object
// generators) that declarations are entered into and names resolved
// against, and the fixed word tables of the object and event syntax.
#pragma once
#include "interp/records.h"

vdecl* get_var(Block* block, const char* name);
constant* get_const(Block* block, const char* name);
function* get_function(Block* block, const char* name);
objectproto* get_object(Block* block, const char* name);
attrdecl* get_attr(Block* generator, const char* name);
int attr_type(Block* generator, const char* name);
bool local_declared(Block* block, const char* name);

// The root block (learn unit) of a block, and the nearest enclosing object
// generator (null outside generators).
Block* rootBlock(Block* block);
Block* enclosingGenerator(Block* block);

// Locals stand in written order before the parameters of their function.
void insert_variable(Block* block, vdecl* var);
// Value parameters go in front, reference parameters after the values
// (see symtab.cpp); false (nothing entered) for a duplicate name.
bool insert_parameter(function* fn, vdecl* var, bool byReference);
void insert_constant(Block* block, constant* con);
// Functions and generators go to the head of their list.
void insert_function(Block* block, function* fn);
void insert_generator(Block* block, objectproto* gen);
// Attribute parameters of a generator stand in written order.
void insert_attribute(Block* generator, attrdecl* attr, attrdecl*& tail);

// While one of these lives (a parse), lookups use hash indexes of the
// blocks' names instead of walking their lists; nested scopes share the
// outermost one's indexes.
class SymbolIndexScope {
public:
    SymbolIndexScope();
    ~SymbolIndexScope();
    SymbolIndexScope(const SymbolIndexScope&) = delete;
    SymbolIndexScope& operator=(const SymbolIndexScope&) = delete;

private:
    bool owner_ = false;
};

int var_type(const vdecl* var);
int const_type(const constant* con);

// Word tables; -1 for a word that is not in the table.
int mask_sym_type(const char* word);
int press_sym_type(const char* word);
int key_sym_type(const char* word);
int mouse_sym_type(const char* word);
int specevent_sym_type(const char* word);
int attr_sym_type(const char* word);
int battr_sym_type(const char* word);
int bobj_sym_type(const char* word);
