// The drawing area's widget class "Kiv": a Core widget that shows the
// current learn unit's screen image and turns the X input it receives
// into the program's input events.
#pragma once
#include <X11/Intrinsic.h>

struct UnitContext;

// Resource of the drawing area naming its unit context.
inline constexpr char kNkivInstance[] = "kivInstance";
inline constexpr char kCkivInstance[] = "KivInstance";

extern WidgetClass kivWidgetClass;

// The first widget of class "Kiv" below the given widget (depth first),
// or null when there is none.
Widget GetKivWidget(Widget w);
// The unit context of the drawing area of the window holding the widget.
UnitContext* contextOfWidget(Widget w);
