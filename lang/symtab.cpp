// Symbol tables: lookups walk from a block to the root, the first entry of
// equal name in a block's list wins; insertion orders decide which of two
// equal names is found.
#include "lang/symtab.h"

#include <cstring>
#include <memory>
#include <string_view>
#include <unordered_map>

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


// While a parse runs, every block it touches gets a hash index of its
// names, so that lookups stay cheap however many declarations a program
// has. Each map holds exactly the entry the list walk would find: lists
// appended to keep their first entry of a name, lists pushed to at the
// front their latest. A function's locals stand before its parameters,
// so they get maps of their own that are consulted first. Outside a parse
// the lists are walked.
struct BlockIndex {
    std::unordered_map<std::string_view, vdecl*> locals;
    std::unordered_map<std::string_view, vdecl*> params;
    std::unordered_map<std::string_view, constant*> consts;
    std::unordered_map<std::string_view, function*> functions;
    std::unordered_map<std::string_view, objectproto*> generators;
    std::unordered_map<std::string_view, attrdecl*> attrs;
};

using SymbolIndex = std::unordered_map<const Block*, std::unique_ptr<BlockIndex>>;
SymbolIndex* activeIndex = nullptr;

template <class T>
void indexFirst(std::unordered_map<std::string_view, T*>& map, T* list) {
    for (T* e = list; e; e = nextOf(e))
        if (e->name) map.try_emplace(e->name, e);
}

BlockIndex& indexOf(Block* block) {
    std::unique_ptr<BlockIndex>& slot = (*activeIndex)[block];
    if (slot) return *slot;
    slot = std::make_unique<BlockIndex>();
    bool inParams = false;
    for (vdecl* v = block->decls; v; v = nextOf(v)) {
        if (v == block->firstParam && block->blockKind == BLOCK_FUNCTION) inParams = true;
        if (v->name) (inParams ? slot->params : slot->locals).try_emplace(v->name, v);
    }
    indexFirst(slot->consts, block->consts);
    indexFirst(slot->functions, block->functions);
    indexFirst(slot->attrs, block->attrs);
    if (block->blockKind == BLOCK_ROOT) indexFirst(slot->generators, static_cast<LearnUnit*>(block)->generators);
    return *slot;
}

// The index of the block when one has been built, for updates.
BlockIndex* builtIndex(const Block* block) {
    if (!activeIndex) return nullptr;
    auto it = activeIndex->find(block);
    return it == activeIndex->end() ? nullptr : it->second.get();
}

template <class T>
T* lookup(const std::unordered_map<std::string_view, T*>& map, const char* name) {
    auto it = map.find(name);
    return it == map.end() ? nullptr : it->second;
}

vdecl* findVar(Block* block, const char* name) {
    if (!activeIndex) return findIn(block->decls, name);
    BlockIndex& index = indexOf(block);
    if (vdecl* v = lookup(index.locals, name)) return v;
    return lookup(index.params, name);
}

constant* findConst(Block* block, const char* name) {
    return activeIndex ? lookup(indexOf(block).consts, name) : findIn(block->consts, name);
}

function* findFunction(Block* block, const char* name) {
    return activeIndex ? lookup(indexOf(block).functions, name) : findIn(block->functions, name);
}

}  // namespace

SymbolIndexScope::SymbolIndexScope() {
    if (activeIndex) return;
    activeIndex = new SymbolIndex;
    owner_ = true;
}

SymbolIndexScope::~SymbolIndexScope() {
    if (!owner_) return;
    delete activeIndex;
    activeIndex = nullptr;
}

vdecl* get_var(Block* block, const char* name) {
    if (!name) return nullptr;
    for (; block; block = block->parent)
        if (vdecl* v = findVar(block, name)) return v;
    return nullptr;
}

constant* get_const(Block* block, const char* name) {
    if (!name) return nullptr;
    for (; block; block = block->parent)
        if (constant* c = findConst(block, name)) return c;
    return nullptr;
}

function* get_function(Block* block, const char* name) {
    if (!name) return nullptr;
    for (; block; block = block->parent)
        if (function* f = findFunction(block, name)) return f;
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
    if (!root || root->blockKind != BLOCK_ROOT || !name) return nullptr;
    if (activeIndex) return lookup(indexOf(root).generators, name);
    return findIn(static_cast<LearnUnit*>(root)->generators, name);
}

attrdecl* get_attr(Block* generator, const char* name) {
    if (!generator || !name) return nullptr;
    return activeIndex ? lookup(indexOf(generator).attrs, name) : findIn(generator->attrs, name);
}

int attr_type(Block* generator, const char* name) {
    attrdecl* a = get_attr(generator, name);
    return a ? a->kind : 0;
}

bool local_declared(Block* block, const char* name) {
    return findVar(block, name) || findConst(block, name) || findFunction(block, name);
}

void insert_variable(Block* block, vdecl* var) {
    if (block->blockKind == BLOCK_FUNCTION && block->firstParam) {
        vdecl* params = block->firstParam;
        place_prev(params, var);
        if (block->decls == params) block->decls = var;
    } else {
        appendTo(block->decls, block->declsTail, var);
    }
    if (BlockIndex* index = builtIndex(block)) index->locals.try_emplace(var->name, var);
}

bool insert_parameter(function* fn, vdecl* var, bool byReference) {
    if (findVar(fn, var->name)) return false;
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
    if (BlockIndex* index = builtIndex(fn)) index->params.try_emplace(var->name, var);
    return true;
}

void insert_constant(Block* block, constant* con) {
    appendTo(block->consts, block->constsTail, con);
    if (BlockIndex* index = builtIndex(block)) index->consts.try_emplace(con->name, con);
}

void insert_function(Block* block, function* fn) {
    pushFront(block->functions, fn);
    if (BlockIndex* index = builtIndex(block)) index->functions[fn->name] = fn;
}

void insert_generator(Block* block, objectproto* gen) {
    Block* root = rootBlock(block);
    pushFront(static_cast<LearnUnit*>(root)->generators, gen);
    if (BlockIndex* index = builtIndex(root)) index->generators[gen->name] = gen;
}

void insert_attribute(Block* generator, attrdecl* attr, attrdecl*& tail) {
    appendTo(generator->attrs, tail, attr);
    if (BlockIndex* index = builtIndex(generator)) index->attrs.try_emplace(attr->name, attr);
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
