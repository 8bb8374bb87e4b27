// Learn units (the stack of loaded programs) and their level lists.
#pragma once
#include "present/objects.h"

// Pushes a fresh learn unit and makes it current.
LearnUnit* newLearnUnit(UnitContext* ctx, int width, int height, int background);
// Destroys the current learn unit; the one beneath becomes current.
void killLearnUnit(UnitContext* ctx);

LevNode* newLevNode(UnitContext* ctx, int level);
LevNode* getLevNode(UnitContext* ctx, LevNode** list, int level);
// The node of the level in the list, or null; never inserts.
LevNode* findLevNode(LevNode* list, int level);
// Frees the owned background, the level lists of the windows standing on
// the node, then the node; the caller unlinks it.
void killLevNode(UnitContext* ctx, LevNode* node);
// Frees every node of a level list and empties it.
void killLevelList(UnitContext* ctx, LevNode*& list);
