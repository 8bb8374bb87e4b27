// Records of a parsed Orvex program and of its running activations.
//
// The parser builds these records in their declaration-bound form (variable
// references point at declarations); every activation of a function and
// every object creation copies them into an instance-bound form (references
// point at variable instances), which the evaluator and the statement
// interpreter run. All records are zero-filled when allocated; their zero
// state is their empty state.
#pragma once
#include <cstddef>
#include <cstdint>

#include "core/lists.h"
#include "interp/frame_stack.h"

struct UnitContext;
struct op;
struct vdecl;
struct vinst;
struct vinit;
struct constant;
struct intarray;
struct param;
struct fparam;
struct action;
struct attrparam;
struct simaction;
struct function;
struct objectproto;
struct attrdecl;
struct PointListValue;
struct Frame;
struct funcinst;
struct objectinst;
struct depnode;
struct srclink;
struct Attrib;
struct WinObj;
struct GraphObj;
struct InpObj;
struct LearnUnit;
struct CompiledBody;

// Value-type codes; arrays add 16 to the base type.
enum ValType : std::uint8_t {
    VT_NONE = 0,
    VT_INT = 1,
    VT_FLOAT = 2,
    VT_TEXT = 3,
    VT_ARRAY = 16,
    VT_INT_ARRAY = 17,
    VT_FLOAT_ARRAY = 18,
    VT_TEXT_ARRAY = 19,
};

// Access methods; an op's flag is the method plus, where it carries one,
// the base value type.
enum AccessMethod : std::uint8_t {
    T_CONST = 0,
    T_NAMEDCONST = 4,
    T_VAR = 8,
    T_ARRAY = 16,
    T_FUNC = 32,
    T_BUILTIN = 36,
    T_OPER = 64,
    T_ATTR = 128,
    T_ATTRIDX = 144,
};

// Binding state of an op, intarray or statement tree.
enum Binding : std::uint8_t { DO_VDECL = 1, DO_VINST = 2 };

// Kinds of a call record (action::type).
enum ActionKind : std::uint8_t {
    ACT_FUNC_INT = 33,
    ACT_FUNC_FLOAT = 34,
    ACT_FUNC_TEXT = 35,
    ACT_BUILTIN_INT = 37,
    ACT_BUILTIN_FLOAT = 38,
    ACT_BUILTIN_TEXT = 39,
    ACT_OBJECT = 128,
};

// Kinds of a block of the symbol tables.
enum BlockKind : std::uint8_t { BLOCK_ROOT = 0, BLOCK_FUNCTION = 1, BLOCK_GENERATOR = 2 };

// Kinds of attribute parameters of object generators (and of attrparams).
enum AttrKind : std::uint8_t { AK_EXPR = 1, AK_TRANSLATION = 2, AK_POINTS = 4 };

// One value of any type: an int, a double, an owned text, or the element
// storage of an array.
union Value {
    std::int32_t i;
    double f;
    char* t;
    std::int32_t* ia;
    double* fa;
    char** ta;
    void* p;
};

// Operator routines, by result family. Unary routines ignore the right
// value; assignment routines read their target from the node's left
// operand. Text comparisons return an int; t_add and t_ass return a new
// text (t_ass takes ownership of its right value).
using IntRoutine = std::int32_t (*)(UnitContext*, op*, std::int32_t, std::int32_t);
using FltRoutine = double (*)(UnitContext*, op*, double, double);
using TxtCmpRoutine = std::int32_t (*)(UnitContext*, op*, const char*, const char*);
using TxtRoutine = char* (*)(UnitContext*, op*, char*, char*);

union OperRoutine {
    IntRoutine l;
    FltRoutine r;
    TxtCmpRoutine tc;
    TxtRoutine t;
    void* any;
};

// Builtin handlers receive the unevaluated argument list.
using IntBuiltin = std::int32_t (*)(UnitContext*, param*);
using FltBuiltin = double (*)(UnitContext*, param*);
using TxtBuiltin = char* (*)(UnitContext*, param*);

// Payload of an expression node, by access method.
union OpPayload {
    std::int32_t i;     // T_CONST int
    double f;           // T_CONST float
    char* t;            // T_CONST text (owned)
    constant* con;      // T_NAMEDCONST
    vdecl* decl;        // T_VAR, declaration-bound
    vinst* inst;        // T_VAR, instance-bound
    intarray* arr;      // T_ARRAY
    action* act;        // T_FUNC, T_BUILTIN
    struct op* op;      // T_OPER: left operand
    attrdecl* attr;     // T_ATTR, T_ATTRIDX, declaration-bound
    PointListValue* points;  // T_ATTR, instance-bound point list
    void* p;
};

// Expression node.
struct op {
    std::uint8_t flag = 0;     // access method + base value type
    std::uint8_t type = 0;     // DO_VDECL or DO_VINST
    std::uint8_t valtype = 0;  // set by compute_valtype
    std::uint8_t evalClass = 0;  // evaluator's cached kind of routine; 0 unknown
    int line = 0;              // beside the bytes above, where it costs no room
    OperRoutine routine{};     // operator nodes only
    OpPayload left{};
    // Right operand. T_ATTRIDX: a T_ARRAY node whose access record carries
    // only the index list (its array is unused).
    op* right = nullptr;
};

// Named constant.
struct constant : ListNode {
    char* name = nullptr;
    Value value{};
    std::uint8_t type = 0;  // base type 1, 2, 3
};

// Variable declaration.
struct vdecl : ListNode {
    char* name = nullptr;
    vinit* init = nullptr;       // initializer list, null when none
    param* dims = nullptr;       // one size expression per dimension
    vinst* current = nullptr;    // instance references resolve to now
    intarray* alias = nullptr;   // element bound to a ref parameter
    std::uint8_t type = 0;       // 1, 2, 3, 17, 18, 19
    std::uint8_t ndims = 0;
};

// Initializer element: an expression or a nested brace list.
struct vinit : ListNode {
    vinit* nested = nullptr;
    op* expr = nullptr;
};

// Variable instance.
struct vinst : ListNode {
    vdecl* decl = nullptr;
    depnode* dependents = nullptr;  // attributes reading this instance
    Value value{};
    std::int32_t* dims = nullptr;   // arrays: n sizes, then n strides
    std::uint32_t queuedEpoch = 0;  // changedEpoch when all dependents were queued
};

// Array access: whole array (no indexes) or one element.
struct intarray {
    union {
        vdecl* decl;  // declaration-bound
        vinst* inst;  // instance-bound
    } array{};
    param* indexes = nullptr;
    std::uint8_t type = 0;  // DO_VDECL or DO_VINST
};

// Actual parameter, also an index of an array access.
// The small fields come first, where they fill the padding of the links.
struct param : ListNode {
    std::uint8_t bindPlan = 0;  // first actual of a call: its BindPlan, 0 undecided
    int line = 0;
    op* expr = nullptr;
};

// Formal parameter, in written order.
struct fparam : ListNode {
    vdecl* decl = nullptr;
    std::uint8_t isRef = 0;
};

// Call of a user function, a builtin or an object generator.
struct action {
    union {
        function* fn;
        IntBuiltin ih;
        FltBuiltin fh;
        TxtBuiltin th;
        objectproto* proto;
    } target{};
    union {
        param* params;
        attrparam* attrs;  // ACT_OBJECT
    } args{};
    int line = 0;
    std::uint8_t type = 0;  // ActionKind
    std::uint8_t valueArgs = 0;  // builtins: 0 undecided, 1 no, 2 handler reads only values
};

// Point of a point list given through a generator argument.
struct PointPair {
    op* x;
    op* y;
};

// Instance-bound value of a reference to a point-list attribute: the point
// count and, per point, its x and y expressions.
struct PointListValue {
    int count = 0;
    op** coords = nullptr;  // 2 * count: x, y of each point
};

// Named argument of an object-generator call. By kind:
//   AK_EXPR: expr is the argument expression (declaration-bound).
//   AK_TRANSLATION: value.p is a written-out translation list, or, with
//     isExpr, expr is a T_ATTR node naming a translation attribute of the
//     enclosing generator.
//   AK_POINTS: value.p is a written-out pointdecl list and count its
//     length, or, with isExpr, expr is a T_ATTR node naming a point-list
//     attribute of the enclosing generator.
// Instantiated copies (isCopy) borrow expressions and lists from the
// declaration and own only their name, except that a copy whose
// expression had attributes of an enclosing generator replaced
// (isCopy == kOwnsExpression) owns that expression.
struct attrparam : ListNode {
    std::uint8_t kind = 0;      // AttrKind
    std::uint8_t isExpr = 0;    // written as an expression
    char* name = nullptr;
    op* expr = nullptr;         // or the record holding a point list
    Value value{};
    int count = 0;              // point lists: number of points
    std::uint8_t isCopy = 0;
};
inline constexpr std::uint8_t kOwnsExpression = 2;

// Attribute parameter of an object generator, with its bound argument.
struct attrdecl : ListNode {
    std::uint8_t kind = 0;  // AttrKind
    char* name = nullptr;
    op* expr = nullptr;     // bound expression (kinds 1 and 2)
    Value value{};          // bound value
    void* points = nullptr; // bound point list (kind 4): a pointdecl list
    int count = 0;
};

// Control routine of a control record (IF, WHILE, FOR, SWITCH).
using ControlRoutine = void (*)(UnitContext*, simaction*);

// Statement. One kind slot is used; the interpreter tests them in the
// order nested, call, expression, return expression, window, graphic
// object, input object.
struct simaction : ListNode {
    std::uint8_t isDefault = 0;  // the default branch of a switch (first: it fills the links' padding)
    Frame* frame = nullptr;
    ControlRoutine control = nullptr;
    action* call = nullptr;
    op* expr = nullptr;
    op* cond = nullptr;
    simaction* nested = nullptr;
    op* retexpr = nullptr;
    WinObj* winobj = nullptr;
    GraphObj* graphobj = nullptr;
    InpObj* inpobj = nullptr;
};

// Scope of names: the learn unit (root), a function or an object
// generator.
struct Block : ListNode {
    std::uint8_t blockKind = 0;   // BlockKind
    char* name = nullptr;
    vdecl* decls = nullptr;       // head of the declaration list
    vdecl* declsTail = nullptr;
    constant* consts = nullptr;
    constant* constsTail = nullptr;
    vdecl* firstParam = nullptr;  // functions
    attrdecl* attrs = nullptr;    // generators: attribute parameters
    Block* parent = nullptr;
    function* functions = nullptr;
    vdecl* firstRefParam = nullptr;
};

struct function : Block {
    simaction* body = nullptr;
    std::uint8_t rettype = 0;  // 0 none, 1 int, 2 float, 3 text
    Value retval{};
    fparam* fparams = nullptr;
    std::uint8_t bodyMode = 0;  // 0 undecided, 1 copied per call, 2 run as parsed
    std::uint8_t frameMode = 0;  // 0 undecided, 1 instance list, 2 one block per call
    std::uint8_t compileState = 0;  // 0 not tried, 1 tried
    CompiledBody* compiled = nullptr;  // the body as compiled code, when it has been compiled
};

struct objectproto : Block {
    simaction* body = nullptr;
};

// Forward call awaiting back-patching at the end of the parse.
struct notdecl : ListNode {
    char* name = nullptr;
    op* node = nullptr;
    int line = 0;
};

struct vinstlist : ListNode {
    vinst* inst = nullptr;
};

// Reference parameter bound to an array element.
struct elemref : ListNode {
    vdecl* formal = nullptr;
    intarray* access = nullptr;
};

// Frame of a running call (funcinst) or generator call (objectinst). Both
// start with the owning block and the caller's frame, so code walking the
// chain of callers treats them alike; owner->blockKind tells them apart.
struct Frame : ListNode, ListNode2 {
    Block* owner = nullptr;
    Frame* caller = nullptr;
    vinst* instances = nullptr;  // sentinel-headed instance list
    simaction* body = nullptr;   // instantiated body
    std::uint64_t serial = 0;    // unique per activation, never reused
};

struct funcinst : Frame {
    WinObj* windows = nullptr;
    GraphObj* graphs = nullptr;
    InpObj* inputs = nullptr;
    elemref* elemRefs = nullptr;
    std::size_t savedAt = 0;       // where its saved current instances start on the save stack
    std::uint8_t savesCurrents = 0;
    int freezeCount = 0;
    std::uint8_t sharedBody = 0;  // body is the function's parsed body, not a copy
    // Block calls: the instances and the saved current instances live in
    // one block of the frame stack instead of the lists above.
    std::uint8_t inBlock = 0;
    std::uint32_t blockDecls = 0;  // declarations the block has room for
    std::uint32_t blockUsed = 0;   // instances made in the block so far
    vinst* blockSlots = nullptr;
    vinst** blockSaved = nullptr;
    FrameMark blockMark;
};

struct objectinst : Frame {};

// Dependency of an attribute on a variable instance: a depnode on the
// instance's dependents list, and a srclink back on the attribute.
struct depnode : ListNode {
    Attrib* attr = nullptr;
};

struct srclink : ListNode {
    depnode* dep = nullptr;
    vinst* inst = nullptr;
};

function* c_function(UnitContext* ctx);
notdecl* c_notdecl(UnitContext* ctx);
vinstlist* c_vinstlist(UnitContext* ctx, vinst* inst);
int compute_valtype(UnitContext* ctx, op* node);
