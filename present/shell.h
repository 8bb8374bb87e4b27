// The browser shell around the drawing area: the menu bar with its File
// and Help menus, the URL field, and the status line.
#pragma once
#include <X11/Intrinsic.h>

struct UnitContext;

struct ShellState {
    Widget paned = nullptr;
    Widget menubar = nullptr;   // only with the menu bar
    Widget urlField = nullptr;  // only with the menu bar
    Widget status = nullptr;
};

// Builds the shell's widgets under the top-level shell, the drawing area
// among them.
void makeGUI(UnitContext* ctx);

// Shows "Status : " and the text in the status line.
void setStatus(UnitContext* ctx, const char* text);
// Shows the URL in the URL field, when there is one.
void setURL(UnitContext* ctx, const char* url);
// Repaints a rectangle of the drawing area from the learn unit's screen
// image, as an exposure of that rectangle would.
void fakeExpose(UnitContext* ctx, int x, int y, int width, int height);
// Waits until the display server has processed every request.
void TamSync(UnitContext* ctx);

// While the URL field has the keyboard focus the program pauses, so that
// what it draws does not disturb the typing.
void gainFocusURL(Widget w, UnitContext* ctx);
void lostFocusURL(Widget w, UnitContext* ctx);

// Menu commands.
void ReloadCB(Widget w, XtPointer client, XtPointer call);
void BackCB(Widget w, XtPointer client, XtPointer call);
// Prints the main window through the outside print pipeline.
void print_window(UnitContext* ctx);
