// Argument access for builtin handlers: the call's argument list is the
// frame, walked with a cursor that the typed accessors advance.
#pragma once
#include <cstdint>

#include "interp/records.h"

std::int32_t getIntPar(UnitContext* ctx, param*& cursor, int argno, const char* fname);
double getFltPar(UnitContext* ctx, param*& cursor, int argno, const char* fname);
// A new text the handler owns, or null.
char* getTextPar(UnitContext* ctx, param*& cursor, int argno, const char* fname);
// Whole one-dimensional arrays passed by reference; 0 on success, -1 after
// a reported error (outputs then null/0 and the cursor stays).
int getIntArrPar(UnitContext* ctx, param*& cursor, int argno, const char* fname, int ndims,
                 std::int32_t** storage, int* size);
int getTextArrPar(UnitContext* ctx, param*& cursor, int argno, const char* fname, int ndims,
                  char*** storage, int* size);
void checkPars(UnitContext* ctx, param* cursor, int count, const char* fname);

int par_type(UnitContext* ctx, param* node);
std::int32_t par_value(UnitContext* ctx, param* node);
double f_par_value(UnitContext* ctx, param* node);
char* t_par_value(UnitContext* ctx, param* node);
void set_par_value(UnitContext* ctx, param* node, std::int32_t value);
void f_set_par_value(UnitContext* ctx, param* node, double value);
// Takes ownership of the text whether or not it is stored.
void t_set_par_value(UnitContext* ctx, param* node, char* value);
void changed_par(UnitContext* ctx, param* node);
