// Control records of the statement interpreter: each runs its body (and
// for if the else-part, for switch the case records) that the parser
// hung on the control record.
#pragma once
#include "interp/records.h"

void IF(UnitContext* ctx, simaction* control);
void WHILE(UnitContext* ctx, simaction* control);
void FOR(UnitContext* ctx, simaction* control);
void SWITCH(UnitContext* ctx, simaction* control);
