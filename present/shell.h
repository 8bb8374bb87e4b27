// The browser shell around the drawing area: URL field and status line.
#pragma once
#include <X11/Intrinsic.h>

struct UnitContext;

struct ShellState {
    Widget paned = nullptr;
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
// Waits until the display server has processed every request.
void TamSync(UnitContext* ctx);
