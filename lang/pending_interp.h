// Temporary: the operator and control routines are written in the
// interpreter, which has not landed yet. Until it does, the parser refers
// to them weakly so that the player links; remove this header (and its
// includes) as soon as the routines exist.
#pragma once
#include "interp/control.h"
#include "interp/operators.h"

std::int32_t l_unsub(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right) __attribute__((weak));
std::int32_t l_unadd(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right) __attribute__((weak));
std::int32_t l_not(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right) __attribute__((weak));
std::int32_t l_exprval(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right) __attribute__((weak));
std::int32_t l_pow(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right) __attribute__((weak));
std::int32_t l_mul(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right) __attribute__((weak));
std::int32_t l_rest(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right) __attribute__((weak));
std::int32_t l_add(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right) __attribute__((weak));
std::int32_t l_sub(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right) __attribute__((weak));
std::int32_t l_lshift(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right) __attribute__((weak));
std::int32_t l_rshift(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right) __attribute__((weak));
std::int32_t l_lt(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right) __attribute__((weak));
std::int32_t l_le(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right) __attribute__((weak));
std::int32_t l_gt(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right) __attribute__((weak));
std::int32_t l_ge(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right) __attribute__((weak));
std::int32_t l_eq(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right) __attribute__((weak));
std::int32_t l_ne(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right) __attribute__((weak));
std::int32_t l_bitand(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right) __attribute__((weak));
std::int32_t l_bitor(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right) __attribute__((weak));
std::int32_t l_and(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right) __attribute__((weak));
std::int32_t l_or(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right) __attribute__((weak));
std::int32_t l_ass(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right) __attribute__((weak));
std::int32_t l_assplus(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right) __attribute__((weak));
std::int32_t l_assminus(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right) __attribute__((weak));
std::int32_t l_assdiv(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right) __attribute__((weak));
std::int32_t l_assmod(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right) __attribute__((weak));
std::int32_t l_assmult(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right) __attribute__((weak));
std::int32_t l_assband(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right) __attribute__((weak));
std::int32_t l_assbor(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right) __attribute__((weak));
std::int32_t l_asslshift(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right) __attribute__((weak));
std::int32_t l_assrshift(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right) __attribute__((weak));
std::int32_t l_preplus(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right) __attribute__((weak));
std::int32_t l_postplus(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right) __attribute__((weak));
std::int32_t l_preminus(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right) __attribute__((weak));
std::int32_t l_postminus(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right) __attribute__((weak));
double r_unsub(UnitContext* ctx, op* node, double left, double right) __attribute__((weak));
double r_unadd(UnitContext* ctx, op* node, double left, double right) __attribute__((weak));
double r_not(UnitContext* ctx, op* node, double left, double right) __attribute__((weak));
double r_exprval(UnitContext* ctx, op* node, double left, double right) __attribute__((weak));
double r_pow(UnitContext* ctx, op* node, double left, double right) __attribute__((weak));
double r_mul(UnitContext* ctx, op* node, double left, double right) __attribute__((weak));
double r_div(UnitContext* ctx, op* node, double left, double right) __attribute__((weak));
double r_rest(UnitContext* ctx, op* node, double left, double right) __attribute__((weak));
double r_add(UnitContext* ctx, op* node, double left, double right) __attribute__((weak));
double r_sub(UnitContext* ctx, op* node, double left, double right) __attribute__((weak));
double r_lt(UnitContext* ctx, op* node, double left, double right) __attribute__((weak));
double r_le(UnitContext* ctx, op* node, double left, double right) __attribute__((weak));
double r_gt(UnitContext* ctx, op* node, double left, double right) __attribute__((weak));
double r_ge(UnitContext* ctx, op* node, double left, double right) __attribute__((weak));
double r_eq(UnitContext* ctx, op* node, double left, double right) __attribute__((weak));
double r_ne(UnitContext* ctx, op* node, double left, double right) __attribute__((weak));
double r_bitand(UnitContext* ctx, op* node, double left, double right) __attribute__((weak));
double r_bitor(UnitContext* ctx, op* node, double left, double right) __attribute__((weak));
double r_and(UnitContext* ctx, op* node, double left, double right) __attribute__((weak));
double r_or(UnitContext* ctx, op* node, double left, double right) __attribute__((weak));
double r_ass(UnitContext* ctx, op* node, double left, double right) __attribute__((weak));
double r_assplus(UnitContext* ctx, op* node, double left, double right) __attribute__((weak));
double r_assminus(UnitContext* ctx, op* node, double left, double right) __attribute__((weak));
double r_assdiv(UnitContext* ctx, op* node, double left, double right) __attribute__((weak));
double r_assmod(UnitContext* ctx, op* node, double left, double right) __attribute__((weak));
double r_assmult(UnitContext* ctx, op* node, double left, double right) __attribute__((weak));
std::int32_t t_lt(UnitContext* ctx, op* node, const char* left, const char* right) __attribute__((weak));
std::int32_t t_le(UnitContext* ctx, op* node, const char* left, const char* right) __attribute__((weak));
std::int32_t t_gt(UnitContext* ctx, op* node, const char* left, const char* right) __attribute__((weak));
std::int32_t t_ge(UnitContext* ctx, op* node, const char* left, const char* right) __attribute__((weak));
std::int32_t t_eq(UnitContext* ctx, op* node, const char* left, const char* right) __attribute__((weak));
std::int32_t t_ne(UnitContext* ctx, op* node, const char* left, const char* right) __attribute__((weak));
char* t_add(UnitContext* ctx, op* node, char* left, char* right) __attribute__((weak));
char* t_ass(UnitContext* ctx, op* node, char* left, char* right) __attribute__((weak));
char* t_exprval(UnitContext* ctx, op* node, char* left, char* right) __attribute__((weak));
void IF(UnitContext* ctx, simaction* record) __attribute__((weak));
void WHILE(UnitContext* ctx, simaction* record) __attribute__((weak));
void FOR(UnitContext* ctx, simaction* record) __attribute__((weak));
void SWITCH(UnitContext* ctx, simaction* record) __attribute__((weak));
