// Weak defaults for the operator and control routines, whose addresses the
// parser stores in the records it builds. The interpreter's definitions
// replace them at link time; until then a parsed program cannot run, but
// parsing and parse-only runs work.
#include "interp/control.h"
#include "interp/operators.h"

#define WEAK __attribute__((weak))

WEAK std::int32_t l_unsub(UnitContext*, op*, std::int32_t, std::int32_t) { return 0; }
WEAK std::int32_t l_unadd(UnitContext*, op*, std::int32_t, std::int32_t) { return 0; }
WEAK std::int32_t l_not(UnitContext*, op*, std::int32_t, std::int32_t) { return 0; }
WEAK std::int32_t l_exprval(UnitContext*, op*, std::int32_t, std::int32_t) { return 0; }
WEAK std::int32_t l_pow(UnitContext*, op*, std::int32_t, std::int32_t) { return 0; }
WEAK std::int32_t l_mul(UnitContext*, op*, std::int32_t, std::int32_t) { return 0; }
WEAK std::int32_t l_rest(UnitContext*, op*, std::int32_t, std::int32_t) { return 0; }
WEAK std::int32_t l_add(UnitContext*, op*, std::int32_t, std::int32_t) { return 0; }
WEAK std::int32_t l_sub(UnitContext*, op*, std::int32_t, std::int32_t) { return 0; }
WEAK std::int32_t l_lshift(UnitContext*, op*, std::int32_t, std::int32_t) { return 0; }
WEAK std::int32_t l_rshift(UnitContext*, op*, std::int32_t, std::int32_t) { return 0; }
WEAK std::int32_t l_lt(UnitContext*, op*, std::int32_t, std::int32_t) { return 0; }
WEAK std::int32_t l_le(UnitContext*, op*, std::int32_t, std::int32_t) { return 0; }
WEAK std::int32_t l_gt(UnitContext*, op*, std::int32_t, std::int32_t) { return 0; }
WEAK std::int32_t l_ge(UnitContext*, op*, std::int32_t, std::int32_t) { return 0; }
WEAK std::int32_t l_eq(UnitContext*, op*, std::int32_t, std::int32_t) { return 0; }
WEAK std::int32_t l_ne(UnitContext*, op*, std::int32_t, std::int32_t) { return 0; }
WEAK std::int32_t l_bitand(UnitContext*, op*, std::int32_t, std::int32_t) { return 0; }
WEAK std::int32_t l_bitor(UnitContext*, op*, std::int32_t, std::int32_t) { return 0; }
WEAK std::int32_t l_and(UnitContext*, op*, std::int32_t, std::int32_t) { return 0; }
WEAK std::int32_t l_or(UnitContext*, op*, std::int32_t, std::int32_t) { return 0; }
WEAK std::int32_t l_ass(UnitContext*, op*, std::int32_t, std::int32_t) { return 0; }
WEAK std::int32_t l_assplus(UnitContext*, op*, std::int32_t, std::int32_t) { return 0; }
WEAK std::int32_t l_assminus(UnitContext*, op*, std::int32_t, std::int32_t) { return 0; }
WEAK std::int32_t l_assdiv(UnitContext*, op*, std::int32_t, std::int32_t) { return 0; }
WEAK std::int32_t l_assmod(UnitContext*, op*, std::int32_t, std::int32_t) { return 0; }
WEAK std::int32_t l_assmult(UnitContext*, op*, std::int32_t, std::int32_t) { return 0; }
WEAK std::int32_t l_assband(UnitContext*, op*, std::int32_t, std::int32_t) { return 0; }
WEAK std::int32_t l_assbor(UnitContext*, op*, std::int32_t, std::int32_t) { return 0; }
WEAK std::int32_t l_asslshift(UnitContext*, op*, std::int32_t, std::int32_t) { return 0; }
WEAK std::int32_t l_assrshift(UnitContext*, op*, std::int32_t, std::int32_t) { return 0; }
WEAK std::int32_t l_preplus(UnitContext*, op*, std::int32_t, std::int32_t) { return 0; }
WEAK std::int32_t l_postplus(UnitContext*, op*, std::int32_t, std::int32_t) { return 0; }
WEAK std::int32_t l_preminus(UnitContext*, op*, std::int32_t, std::int32_t) { return 0; }
WEAK std::int32_t l_postminus(UnitContext*, op*, std::int32_t, std::int32_t) { return 0; }
WEAK std::int32_t t_lt(UnitContext*, op*, const char*, const char*) { return 0; }
WEAK std::int32_t t_le(UnitContext*, op*, const char*, const char*) { return 0; }
WEAK std::int32_t t_gt(UnitContext*, op*, const char*, const char*) { return 0; }
WEAK std::int32_t t_ge(UnitContext*, op*, const char*, const char*) { return 0; }
WEAK std::int32_t t_eq(UnitContext*, op*, const char*, const char*) { return 0; }
WEAK std::int32_t t_ne(UnitContext*, op*, const char*, const char*) { return 0; }
WEAK double r_unsub(UnitContext*, op*, double, double) { return 0.0; }
WEAK double r_unadd(UnitContext*, op*, double, double) { return 0.0; }
WEAK double r_not(UnitContext*, op*, double, double) { return 0.0; }
WEAK double r_exprval(UnitContext*, op*, double, double) { return 0.0; }
WEAK double r_pow(UnitContext*, op*, double, double) { return 0.0; }
WEAK double r_mul(UnitContext*, op*, double, double) { return 0.0; }
WEAK double r_div(UnitContext*, op*, double, double) { return 0.0; }
WEAK double r_rest(UnitContext*, op*, double, double) { return 0.0; }
WEAK double r_add(UnitContext*, op*, double, double) { return 0.0; }
WEAK double r_sub(UnitContext*, op*, double, double) { return 0.0; }
WEAK double r_lt(UnitContext*, op*, double, double) { return 0.0; }
WEAK double r_le(UnitContext*, op*, double, double) { return 0.0; }
WEAK double r_gt(UnitContext*, op*, double, double) { return 0.0; }
WEAK double r_ge(UnitContext*, op*, double, double) { return 0.0; }
WEAK double r_eq(UnitContext*, op*, double, double) { return 0.0; }
WEAK double r_ne(UnitContext*, op*, double, double) { return 0.0; }
WEAK double r_bitand(UnitContext*, op*, double, double) { return 0.0; }
WEAK double r_bitor(UnitContext*, op*, double, double) { return 0.0; }
WEAK double r_and(UnitContext*, op*, double, double) { return 0.0; }
WEAK double r_or(UnitContext*, op*, double, double) { return 0.0; }
WEAK double r_ass(UnitContext*, op*, double, double) { return 0.0; }
WEAK double r_assplus(UnitContext*, op*, double, double) { return 0.0; }
WEAK double r_assminus(UnitContext*, op*, double, double) { return 0.0; }
WEAK double r_assdiv(UnitContext*, op*, double, double) { return 0.0; }
WEAK double r_assmod(UnitContext*, op*, double, double) { return 0.0; }
WEAK double r_assmult(UnitContext*, op*, double, double) { return 0.0; }
WEAK char* t_add(UnitContext*, op*, char*, char*) { return nullptr; }
WEAK char* t_ass(UnitContext*, op*, char*, char*) { return nullptr; }
WEAK char* t_exprval(UnitContext*, op*, char*, char*) { return nullptr; }

WEAK void IF(UnitContext*, simaction*) {}
WEAK void WHILE(UnitContext*, simaction*) {}
WEAK void FOR(UnitContext*, simaction*) {}
WEAK void SWITCH(UnitContext*, simaction*) {}

// Argument access of builtin handlers, linked in through the builtin table
// that the parser consults for every identifier.
#include "interp/builtin_frame.h"

WEAK int getIntArrPar(UnitContext*, param*&, int, const char*, int, std::int32_t**, int*) { return -1; }
WEAK int getTextArrPar(UnitContext*, param*&, int, const char*, int, char***, int*) { return -1; }
WEAK int par_type(UnitContext*, param*) { return 0; }
WEAK std::int32_t par_value(UnitContext*, param*) { return 0; }
WEAK double f_par_value(UnitContext*, param*) { return 0.0; }
WEAK char* t_par_value(UnitContext*, param*) { return nullptr; }
WEAK void set_par_value(UnitContext*, param*, std::int32_t) {}
WEAK void f_set_par_value(UnitContext*, param*, double) {}
WEAK void t_set_par_value(UnitContext*, param*, char*) {}
WEAK void changed_par(UnitContext*, param*) {}
