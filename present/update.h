// Keeping the screen consistent with the program's variables: recomputing
// changed attributes, bounding boxes, the two-pass refresh over damaged
// rectangles, and freezing static objects into the background picture.
#pragma once
#include "present/objects.h"

struct UnitContext;

// Recompute the waiting attributes of windows, graphic objects and input
// areas: the always-recomputed (call) attributes, then the changed queue.
void updateWins(UnitContext* ctx);
void updateGraphs(UnitContext* ctx);
void UpdateInps(UnitContext* ctx);
void updateWinAttr(UnitContext* ctx, Attrib* attr);
void updateGraphAttr(UnitContext* ctx, Attrib* attr);
void UpdateInpAttr(UnitContext* ctx, Attrib* attr);

// One refresh pass of the current learn unit; with wholeScreen everything
// is redrawn and copied to the window.
void refresh(UnitContext* ctx, int wholeScreen);
// Freezes the static objects belonging to the frame into the background.
void statobjSetup(UnitContext* ctx, Frame* frame);
// Takes every frozen object off the background and clears the background
// and the level masks, so that statobjSetup can rebuild them.
void optOCleanup(UnitContext* ctx);
// Raises an object's update status to at least `status` (within the pair
// that matches its savebackground).
void raiseGraphStatus(GraphObj* obj, int status);
void raiseWinStatus(WinObj* win, int status);

void getWinBB(UnitContext* ctx, WinObj* win);
void getGraphBB(UnitContext* ctx, GraphObj* obj);

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
};
Rect screenRect(UnitContext* ctx);
Rect isectRects(Rect a, Rect b);
bool rectsMeet(Rect a, Rect b);

// Empties the damage-rectangle pool back to its start capacity.
void resetUpdatePool(UnitContext* ctx);
// Copies an area of the screen image to the window.
void exposeArea(UnitContext* ctx, Rect area);
