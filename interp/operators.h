// Operator routines of expression nodes, by result family: l_ int,
// r_ float, t_ text. The parser stores them in operator nodes; the
// evaluator calls them with the operand values.
#pragma once
#include <cstdint>

#include "interp/records.h"

std::int32_t l_unsub(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right);
std::int32_t l_unadd(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right);
std::int32_t l_not(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right);
std::int32_t l_exprval(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right);
std::int32_t l_pow(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right);
std::int32_t l_mul(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right);
std::int32_t l_rest(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right);
std::int32_t l_add(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right);
std::int32_t l_sub(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right);
std::int32_t l_lshift(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right);
std::int32_t l_rshift(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right);
std::int32_t l_lt(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right);
std::int32_t l_le(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right);
std::int32_t l_gt(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right);
std::int32_t l_ge(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right);
std::int32_t l_eq(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right);
std::int32_t l_ne(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right);
std::int32_t l_bitand(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right);
std::int32_t l_bitor(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right);
std::int32_t l_and(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right);
std::int32_t l_or(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right);
std::int32_t l_ass(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right);
std::int32_t l_assplus(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right);
std::int32_t l_assminus(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right);
std::int32_t l_assdiv(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right);
std::int32_t l_assmod(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right);
std::int32_t l_assmult(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right);
std::int32_t l_assband(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right);
std::int32_t l_assbor(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right);
std::int32_t l_asslshift(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right);
std::int32_t l_assrshift(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right);
std::int32_t l_preplus(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right);
std::int32_t l_postplus(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right);
std::int32_t l_preminus(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right);
std::int32_t l_postminus(UnitContext* ctx, op* node, std::int32_t left, std::int32_t right);

double r_unsub(UnitContext* ctx, op* node, double left, double right);
double r_unadd(UnitContext* ctx, op* node, double left, double right);
double r_not(UnitContext* ctx, op* node, double left, double right);
double r_exprval(UnitContext* ctx, op* node, double left, double right);
double r_pow(UnitContext* ctx, op* node, double left, double right);
double r_mul(UnitContext* ctx, op* node, double left, double right);
double r_div(UnitContext* ctx, op* node, double left, double right);
double r_rest(UnitContext* ctx, op* node, double left, double right);
double r_add(UnitContext* ctx, op* node, double left, double right);
double r_sub(UnitContext* ctx, op* node, double left, double right);
double r_lt(UnitContext* ctx, op* node, double left, double right);
double r_le(UnitContext* ctx, op* node, double left, double right);
double r_gt(UnitContext* ctx, op* node, double left, double right);
double r_ge(UnitContext* ctx, op* node, double left, double right);
double r_eq(UnitContext* ctx, op* node, double left, double right);
double r_ne(UnitContext* ctx, op* node, double left, double right);
double r_bitand(UnitContext* ctx, op* node, double left, double right);
double r_bitor(UnitContext* ctx, op* node, double left, double right);
double r_and(UnitContext* ctx, op* node, double left, double right);
double r_or(UnitContext* ctx, op* node, double left, double right);
double r_ass(UnitContext* ctx, op* node, double left, double right);
double r_assplus(UnitContext* ctx, op* node, double left, double right);
double r_assminus(UnitContext* ctx, op* node, double left, double right);
double r_assdiv(UnitContext* ctx, op* node, double left, double right);
double r_assmod(UnitContext* ctx, op* node, double left, double right);
double r_assmult(UnitContext* ctx, op* node, double left, double right);

std::int32_t t_lt(UnitContext* ctx, op* node, const char* left, const char* right);
std::int32_t t_le(UnitContext* ctx, op* node, const char* left, const char* right);
std::int32_t t_gt(UnitContext* ctx, op* node, const char* left, const char* right);
std::int32_t t_ge(UnitContext* ctx, op* node, const char* left, const char* right);
std::int32_t t_eq(UnitContext* ctx, op* node, const char* left, const char* right);
std::int32_t t_ne(UnitContext* ctx, op* node, const char* left, const char* right);

char* t_add(UnitContext* ctx, op* node, char* left, char* right);
char* t_ass(UnitContext* ctx, op* node, char* left, char* right);
char* t_exprval(UnitContext* ctx, op* node, char* left, char* right);
