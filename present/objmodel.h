// Object declarations and their attributes: creating windows, graphic
// objects and input areas while a program is parsed, deciding which
// attributes each kind accepts, completing a declaration with defaults,
// and releasing objects and attributes (declarations and instances).
//
// Ownership: every new*Attr call takes over what the description carries.
// A stored expression or list belongs to the attribute; one that the kind
// drops (ignored, refused with a warning) is freed at once.
//
// Attributes that a declaration is completed with (a missing level,
// active, colour, image or text) carry no expression: their value field is
// final. Instantiation copies such an attribute as it stands, and the first
// recomputation (computed flag 0) derives its shown value from the stored
// value instead of evaluating anything.
//
// Instance attributes, as killAttrib frees them:
//   points without the variable flag: value.coords and shown.coords are
//     owned arrays (TamMalloc), expr.pointExprs holds 2 * npoints owned
//     expressions (x0, y0, x1, y1, ...) in an owned array;
//   points with the variable flag: expr.expr is one owned expression, the
//     coordinate arrays are owned as above;
//   translation: expr.trans is the instance's own translation list whose
//     actions it owns and whose event lists stay with the declaration;
//   outtext, outint, outfloat: shown.text is the owned text layout; a font
//     attribute only borrows it;
//   image: shown.image is given back through releaseObjectImage unless it
//     is the default picture.
#pragma once
#include <cstdint>

#include "present/objects.h"

// What the parser hands over for one attribute.
struct AttrDesc {
    union {
        op* expr;            // scalar attributes; any attribute with varFlag
        pointdecl* points;   // written-out point list
        translation* trans;  // written-out translation list
        void* p;
    } value{};
    int npoints = 0;         // written-out point list: number of points
    std::uint8_t id = 0;     // AttrId
    std::uint8_t varFlag = 0;  // points or translation given through a variable
};

// Diagnostics that belong to the line being parsed (completing a
// declaration, attributes an input area does not take) go through the
// reporter the parser installs; it prefixes the current line as it sees
// fit and keeps the level (MSG_WARNING or MSG_ERROR, core/messages.h).
// Without a reporter the text goes to errorMsg unchanged. Texts of
// attribute setting (double setting, text-output exclusions, "not valid")
// always go to errorMsg directly.
using DeclReporter = void (*)(UnitContext* ctx, int level, const char* text);
void setDeclReporter(DeclReporter reporter);

// Declarations; the declaration flag is 1. A graphic object or input area
// with a parent window is appended to the window's list (second links), in
// declaration order: the window owns it (killWinObj kills it, and the
// window's instantiation builds it), so no statement of its own refers to
// it.
WinObj* newWinObj(UnitContext* ctx);
GraphObj* newGraphObj(UnitContext* ctx, int kind, WinObj* parent);
InpObj* newInpObj(UnitContext* ctx, int kind, WinObj* parent);

// Sets one attribute of a declaration, judging whether the kind takes it.
void newWinAttr(UnitContext* ctx, WinObj* win, const AttrDesc& desc);
void newGraphAttr(UnitContext* ctx, GraphObj* graph, const AttrDesc& desc);
void newInpAttr(UnitContext* ctx, InpObj* inp, const AttrDesc& desc);

// Fills the slot (allocating it, or reporting the double setting and
// reusing the record after freeing its old contents) with the id, variable
// flag and expression of the description; a written-out point list also
// sets the object's point count. Returns the slot's attribute.
Attrib* assignAttrib(UnitContext* ctx, Attrib** slot, const AttrDesc& desc, ObjHeader* obj);

// Complete a declaration when its semicolon is read: count points, supply
// missing attributes with their defaults, warn.
void checkWinAttrs(UnitContext* ctx, WinObj* win);
void checkGraphAttrs(UnitContext* ctx, GraphObj* graph);
void checkInpAttrs(UnitContext* ctx, InpObj* inp);

// Unlink an instance from its level node (removing a node left empty),
// free every attribute and the record. A window also kills its graphic
// objects and input areas and frees its level list. The second-link list
// the object itself stands in (a frame's or a window's) is the caller's.
void killWinObj(UnitContext* ctx, WinObj* win);
void killGraphObj(UnitContext* ctx, GraphObj* graph);
void killInpObj(UnitContext* ctx, InpObj* inp);

// Frees what an attribute holds (by its id) and clears its fields, keeping
// the record and its links.
void clearAttrib(UnitContext* ctx, Attrib* attr);

// Frees one attribute by its id: unlinks it from the current learn unit's
// changed queue or attribute lists, frees its contents, then its source
// links and the matching dependency nodes of the variable instances.
void killAttrib(UnitContext* ctx, Attrib* attr);

// Free a declared point list, an event list, a translation list (kill 1:
// a declaration's, whose event lists and object declarations go too).
void killPoints(UnitContext* ctx, pointdecl* list);
void f_events(UnitContext* ctx, event* list);
void f_translations(UnitContext* ctx, translation* list, int kill);

int minPoints(int kind);
int maxPoints(int kind);
