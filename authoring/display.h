// Live display objects of the view's entries (generateObject, killObject).
#pragma once

struct UnitContext;
struct ViewArrays;

// Index -1 rebuilds every entry's objects, the table's count adds a new
// object of the kind in the spare entry, any other index rebuilds that
// entry; the arrays then grow by one entry. 1, or 0 when nothing could be
// built (no such entry, an unknown kind, no running function).
int generateObjects(UnitContext* ctx, int index, const ViewArrays& view);
// Index -1 removes every entry's display objects and keeps the model's
// objects; another index removes the entry's objects and deletes its
// source object (an index beyond the table ends the player).
int killObjects(UnitContext* ctx, int index);
// Frees the statements of killed input areas unless a translation runs.
void freeRetiredStatements(UnitContext* ctx);
