// The main window: toolkit initialisation with the player's options and
// resources, the window itself, and the pointer.
#pragma once

struct UnitContext;

// Initialises the toolkit under the class "Talvix", removes the options it
// knows from the argument vector and stores the application resources in
// the context. In parse-only mode it returns right after reading them and
// needs no display; otherwise it opens the display and shows the main
// window with its 640 by 400 drawing area.
void openMainWin(UnitContext* ctx, int* argc, char** argv);

// Destroys the window, closes the display and forgets the resources; at
// cleanup.
void closeMainWin(UnitContext* ctx);
