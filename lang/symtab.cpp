// Symbol tables: lookups walk from a block to the root, the first entry of
// equal name in a block's list wins; insertion orders decide which of two
// equal names is found.
#include "lang/symtab.h"

#include <cstring>

#include "present/objects.h"

namespace {

bool sameName(const char* a, const char* b) { return a && b && std::strcmp(a, b) == 0; }

template <class T>
T* findIn(T* list, const char* name) {
    for (T* e = list; e; e = nextOf(e))
        if (sameName(e->name, name)) return e;
    return nullptr;
}

struct Word {
    const char* word;
    int code;
};

template <std::size_t N>
int lookupWord(const Word (&table)[N], const char* word) {
    if (!word) return -1;
    for (const Word& w : table)
        if (std::strcmp(w.word, word) == 0) return w.code;
    return -1;
}

constexpr Word kMasks[] = {{"CtrlMask", 8},    {"ShiftMask", 16},  {"AltMask", 64},
                           {"Button1Mask", 1}, {"Button2Mask", 2}, {"Button3Mask", 4},
                           {"DoubleMask", 32}};
constexpr Word kPress[] = {{"Press", 3}, {"Release", 4}};
constexpr Word kKeys[] = {{"Return", 1}, {"BackSpace", 2}, {"Delete", 3},  {"Escape", 4},
                          {"Shift", 5},  {"Control", 6},   {"Tab", 7},     {"Left", 8},
                          {"Right", 9},  {"Up", 10},       {"Down", 11},   {"Home", 12},
                          {"End", 13},   {"PageUp", 14},   {"PageDown", 15}, {"Insert", 16},
                          {"F1", 17},    {"F2", 18},       {"F3", 19},     {"F4", 20},
                          {"F5", 21},    {"F6", 22},       {"F7", 23},     {"F8", 24},
                          {"F9", 25},    {"F10", 26}};
constexpr Word kMouse[] = {{"Button1", 1}, {"Button2", 2}, {"Button3", 3}};
constexpr Word kSpecial[] = {{"Motion", 5}, {"ResizeWindow", 6}};
constexpr Word kAttrKinds[] = {{"expr", AK_EXPR}, {"translation", AK_TRANSLATION}, {"points", AK_POINTS}};
constexpr Word kAttributes[] = {
    {"act", S_ACTIVE},          {"active", S_ACTIVE},        {"col", S_COLOR},
    {"color", S_COLOR},         {"dashes", S_DASHES},        {"dsh", S_DASHES},
    {"dec", S_DECIMALS},        {"decimals", S_DECIMALS},    {"ea", S_ENDANGLE},
    {"endangle", S_ENDANGLE},   {"f", S_FILL},               {"fill", S_FILL},
    {"font", S_FONT},           {"fn", S_FONT},              {"img", S_IMAGE},
    {"image", S_IMAGE},         {"lev", S_LEVEL},            {"level", S_LEVEL},
    {"linewidth", S_LINEWIDTH}, {"lw", S_LINEWIDTH},         {"of", S_OUTFLOAT},
    {"outfloat", S_OUTFLOAT},   {"oi", S_OUTINT},            {"outint", S_OUTINT},
    {"ot", S_OUTTEXT},          {"outtext", S_OUTTEXT},      {"points", S_POINTS},
    {"sa", S_STARTANGLE},       {"startangle", S_STARTANGLE}, {"savebackground", S_SAVEBACKGROUND},
    {"sb", S_SAVEBACKGROUND},   {"tex", S_TEXTURE},          {"texture", S_TEXTURE},
    {"translation", S_TRANSLATION}, {"tr", S_TRANSLATION}};
constexpr Word kObjects[] = {{"arc", K_ARC},         {"box", K_BOX},         {"endwindow", K_ENDWINDOW},
                             {"image", K_IMAGE},     {"inputarea", K_INPUTAREA}, {"line", K_LINE},
                             {"point", K_POINT},     {"polygon", K_POLYGON}, {"textobj", K_TEXTOBJ},
                             {"window", K_WINDOW}};

}  // namespace

vdecl* get_var(Block* block, const char* name) {
    for (; block; block = block->parent)
        if (vdecl* v = findIn(block->decls, name)) return v;
    return nullptr;
}

constant* get_const(Block* block, const char* name) {
    for (; block; block = block->parent)
        if (constant* c = findIn(block->consts, name)) return c;
    return nullptr;
}

function* get_function(Block* block, const char* name) {
    for (; block; block = block->parent)
        if (function* f = findIn(block->functions, name)) return f;
    return nullptr;
}

Block* rootBlock(Block* block) {
    while (block && block->parent) block = block->parent;
    return block;
}

Block* enclosingGenerator(Block* block) {
    for (; block; block = block->parent)
        if (block->blockKind == BLOCK_GENERATOR) return block;
    return nullptr;
}

objectproto* get_object(Block* block, const char* name) {
    Block* root = rootBlock(block);
    if (!root || root->blockKind != BLOCK_ROOT) return nullptr;
    return findIn(static_cast<LearnUnit*>(root)->generators, name);
}

attrdecl* get_attr(Block* generator, const char* name) {
    return generator ? findIn(generator->attrs, name) : nullptr;
}

int attr_type(Block* generator, const char* name) {
    attrdecl* a = get_attr(generator, name);
    return a ? a->kind : 0;
}

bool local_declared(Block* block, const char* name) {
    return findIn(block->decls, name) || findIn(block->consts, name) || findIn(block->functions, name);
}

void insert_variable(Block* block, vdecl* var) {
    if (block->blockKind == BLOCK_FUNCTION && block->firstParam) {
        vdecl* params = block->firstParam;
        place_prev(params, var);
        if (block->decls == params) block->decls = var;
        return;
    }
    appendTo(block->decls, block->declsTail, var);
}

bool insert_parameter(function* fn, vdecl* var, bool byReference) {
    if (findIn(fn->decls, var->name)) return false;
    if (!fn->decls) {
        appendTo(fn->decls, fn->declsTail, var);
        fn->firstParam = var;
    } else if (!byReference) {
        pushFront(fn->decls, var);
        fn->firstParam = var;
    } else if (!fn->firstRefParam) {
        appendTo(fn->decls, fn->declsTail, var);
        fn->firstRefParam = var;
    } else {
        place_next(fn->firstRefParam, var);
        if (fn->declsTail == fn->firstRefParam) fn->declsTail = var;
    }
    return true;
}

void insert_constant(Block* block, constant* con) { appendTo(block->consts, block->constsTail, con); }

void insert_function(Block* block, function* fn) { pushFront(block->functions, fn); }

void insert_generator(Block* block, objectproto* gen) {
    Block* root = rootBlock(block);
    pushFront(static_cast<LearnUnit*>(root)->generators, gen);
}

int var_type(const vdecl* var) {
    switch (var->type) {
    case VT_INT:
    case VT_FLOAT:
    case VT_TEXT: return T_VAR + var->type;
    case VT_INT_ARRAY:
    case VT_FLOAT_ARRAY:
    case VT_TEXT_ARRAY: return var->type;
    default: return 0;
    }
}

int const_type(const constant* con) {
    return con->type >= VT_INT && con->type <= VT_TEXT ? T_NAMEDCONST + con->type : 0;
}

int mask_sym_type(const char* word) { return lookupWord(kMasks, word); }
int press_sym_type(const char* word) { return lookupWord(kPress, word); }
int key_sym_type(const char* word) { return lookupWord(kKeys, word); }
int mouse_sym_type(const char* word) { return lookupWord(kMouse, word); }
int specevent_sym_type(const char* word) { return lookupWord(kSpecial, word); }
int attr_sym_type(const char* word) { return lookupWord(kAttrKinds, word); }
int battr_sym_type(const char* word) { return lookupWord(kAttributes, word); }
int bobj_sym_type(const char* word) { return lookupWord(kObjects, word); }
