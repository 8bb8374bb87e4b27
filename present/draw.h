// Drawing of windows and graphic objects into the learn unit's pictures,
// the start picture, level masks and the small X services other modules
// use: regions, pointer, bell and the size of the main window.
#pragma once
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "core/lists.h"
#include "present/objects.h"

struct UnitContext;

// Objects of one level node in drawing order: the front of a node's list
// (the object placed on the level last) is drawn last and so stands in
// front, as it is the first to receive events.
template <class T>
T* lastOnNode(T* head) {
    return head ? static_cast<T*>(last(head)) : nullptr;
}

// Draws one object clipped to the area; into the frozen background (and
// the node's mask) when a level node is given, else into the screen image.
void drawGraph(UnitContext* ctx, GraphObj* obj, LevNode* node, int x, int y, int width,
               int height, int offx, int offy);
void drawWin(UnitContext* ctx, WinObj* win, LevNode* node, int x, int y, int width, int height);
void newLevMask(UnitContext* ctx, LevNode* node);
// The start picture shown before any program draws.
void drawInitial(UnitContext* ctx, Drawable target);

// Hit regions with the winding rule; coords holds count x, y pairs.
Region PolygonRegion(const int* coords, int count);
Region BoxRegion(int x1, int y1, int x2, int y2);
int PointInRegion(Region region, int x, int y);
void DestroyRegion(Region region);

int GetMousePos(UnitContext* ctx, int* x, int* y);
void SetMousePos(UnitContext* ctx, int x, int y);
void tamBell(UnitContext* ctx, int volume, int pitch, int duration);
// Lets the shell resize, sets the drawing area's size, then fixes it.
void resizeMainWin(UnitContext* ctx, int width, int height);
void winsysCleanup(UnitContext* ctx);
