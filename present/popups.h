// The shell's popup windows: the program source, the About and
// Acknowledgements dialogs and the modal text editor offered to programs.
#pragma once
#include <X11/Intrinsic.h>

struct UnitContext;

// Shows the current program's source in a scrolling window.
void view_source(Widget w);
void showAbout(Widget w);
void showAcknowledgements(Widget w);

// Lets the user edit the text in a modal window. Returns a new copy after
// "Ok" (the text passed in is then freed), the text itself after "Cancel"
// or when there is no display.
char* textEditPopup(UnitContext* ctx, char* text);

// Callback destroying the popup shell passed as client data.
void DestroyShell(Widget w, XtPointer client, XtPointer call);
