// The table of builtin functions that programs call by name.
#pragma once
#include <cstdint>

#include "interp/records.h"

// Result-type codes of builtin entries.
enum : int { BT_INT = 37, BT_FLOAT = 38, BT_TEXT = 39 };

struct BuiltinEntry {
    const char* name;
    int type;  // BT_INT, BT_FLOAT or BT_TEXT
    IntBuiltin intHandler;
    FltBuiltin fltHandler;
    TxtBuiltin txtHandler;
};

// The table; it ends with an entry whose name is null.
extern const BuiltinEntry funcarray[];

// The entry of that name (exact, case-sensitive), or null.
const BuiltinEntry* get_func(const char* name);
