// Recomputation of changed attributes and the refresh of damaged areas.
#include "present/update.h"

#include "app/context.h"

void updateWins(UnitContext*) {}
void updateGraphs(UnitContext*) {}
void UpdateInps(UnitContext*) {}
void updateWinAttr(UnitContext*, Attrib*) {}
void updateGraphAttr(UnitContext*, Attrib*) {}
void UpdateInpAttr(UnitContext*, Attrib*) {}
void refresh(UnitContext*, int) {}
void statobjSetup(UnitContext*, Frame*) {}
void optOCleanup(UnitContext*) {}
