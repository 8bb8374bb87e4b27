// Operations on the current learn unit's screen that builtins ask for:
// bringing it up to date, freezing what is drawn, and resizing it.
#pragma once

struct UnitContext;

// Recomputes the waiting attributes and redraws; the first output of a
// learn unit redraws the whole screen.
void outputScreen(UnitContext* ctx);
// Freezes the objects drawn so far into the background picture.
void optimizeScreen(UnitContext* ctx);
// Gives the screen and background pictures the new size, keeping what
// they show, and resizes the window. False (with a warning) for a size
// outside 1..kMaxScreenSide.
bool resizeScreen(UnitContext* ctx, int width, int height);
inline constexpr int kMaxScreenSide = 4096;
