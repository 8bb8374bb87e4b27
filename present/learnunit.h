// Learn units (the stack of loaded programs) and their level lists.
#pragma once
#include "present/objects.h"

// Pushes a fresh learn unit and makes it current.
LearnUnit* newLearnUnit(UnitContext* ctx, int width, int height, int background);
// Destroys the current learn unit; the one beneath becomes current.
void killLearnUnit(UnitContext* ctx);

LevNode* newLevNode(UnitContext* ctx, int level);
LevNode* getLevNode(UnitContext* ctx, LevNode** list, int level);
void killLevNode(UnitContext* ctx, LevNode* node);
