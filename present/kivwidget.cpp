// The drawing area's widget class. Exposures copy from the learn unit's
// screen image, which always holds the complete picture, so a repaint
// never has to redraw objects. Input reaches the program through the
// class's one action, bound to every kind of event the program can use.
#include "present/kivwidget.h"

// The private toolkit headers rely on this one coming first.
#include <X11/IntrinsicP.h>

#include <X11/CompositeP.h>
#include <X11/CoreP.h>
#include <X11/StringDefs.h>

#include <algorithm>
#include <cstring>

#include "app/context.h"
#include "present/display_state.h"
#include "present/draw.h"
#include "present/events.h"
#include "present/objects.h"
#include "present/picture.h"
#include "present/shell.h"

namespace {

constexpr Dimension kDefaultWidth = 640;
constexpr Dimension kDefaultHeight = 400;

struct KivPart {
    UnitContext* ctx;
    Pixel foreground;
    GC gc;  // created on the first exposure, when the window exists
};

struct KivRec {
    CorePart core;
    KivPart kiv;
};

struct KivClassPart {
    int unused;
};

struct KivClassRec {
    CoreClassPart core_class;
    KivClassPart kiv_class;
};

KivPart& partOf(Widget w) { return reinterpret_cast<KivRec*>(w)->kiv; }

XtResource kivResources[] = {
    {const_cast<String>(kNkivInstance), const_cast<String>(kCkivInstance), const_cast<String>(XtRPointer),
     sizeof(UnitContext*), XtOffsetOf(KivRec, kiv.ctx), const_cast<String>(XtRImmediate), nullptr},
    {const_cast<String>(XtNforeground), const_cast<String>(XtCForeground), const_cast<String>(XtRPixel),
     sizeof(Pixel), XtOffsetOf(KivRec, kiv.foreground), const_cast<String>(XtRString),
     const_cast<String>(XtDefaultForeground)},
};

const char kDefaultTranslations[] =
    "<ConfigureNotify>:   Input()\n<ButtonRelease>:   Input()\n<ButtonPress>:    Input()\n"
    "<KeyRelease>:    Input()\n<KeyPress>:    Input()\n<MotionNotify>: Input()";

void InputAction(Widget w, XEvent* event, String*, Cardinal*) { Input(partOf(w).ctx, event); }

XtActionsRec kivActions[] = {{const_cast<String>("Input"), InputAction}};

void Initialize(Widget, Widget created, ArgList, Cardinal*) {
    if (created->core.width == 0) created->core.width = kDefaultWidth;
    if (created->core.height == 0) created->core.height = kDefaultHeight;
    partOf(created).gc = nullptr;
}

GC graphicContextOf(Widget w) {
    KivPart& kiv = partOf(w);
    if (!kiv.gc) {
        XGCValues values;
        values.foreground = values.background = BlackPixelOfScreen(XtScreen(w));
        values.graphics_exposures = False;
        kiv.gc = XCreateGC(XtDisplay(w), XtWindow(w), GCForeground | GCBackground | GCGraphicsExposures,
                           &values);
    }
    return kiv.gc;
}

// Clips the rectangle to the widget: a negative origin shrinks the extent
// by as much and becomes 0; the far sides stop at the widget's edges.
bool clipToWidget(Widget w, int& x, int& y, int& width, int& height) {
    if (x < 0) width += x, x = 0;
    if (y < 0) height += y, y = 0;
    width = std::min(width, int(w->core.width) - x);
    height = std::min(height, int(w->core.height) - y);
    return width > 0 && height > 0;
}

void repaint(Widget w, int x, int y, int width, int height) {
    UnitContext* ctx = partOf(w).ctx;
    if (!ctx || !XtIsRealized(w)) return;
    LearnUnit* unit = ctx->learnUnit;
    DisplayState* ds = ctx->displayState;
    Picture* shown = unit ? unit->screen : ds ? ds->lastScreen : nullptr;
    if (shown) {
        if (!clipToWidget(w, x, y, width, height)) return;
        XCopyArea(XtDisplay(w), shown->pixmap, XtWindow(w), graphicContextOf(w), x, y,
                  unsigned(width), unsigned(height), x, y);
        if (ds) ds->shownProgram = true;
        if (unit) unit->pictureShown = 1;
    } else if (!unit && ds && !ds->shownProgram) {
        drawInitial(ctx, XtWindow(w));
    }
}

void Redisplay(Widget w, XEvent* event, Region) {
    const XExposeEvent& e = event->xexpose;
    repaint(w, e.x, e.y, e.width, e.height);
}

Boolean SetValues(Widget, Widget, Widget, ArgList, Cardinal*) { return False; }

void Destroy(Widget w) {
    KivPart& kiv = partOf(w);
    if (kiv.gc) XFreeGC(XtDisplay(w), kiv.gc);
    kiv.gc = nullptr;
}

void preferredSize(Widget w, Dimension& width, Dimension& height) {
    UnitContext* ctx = partOf(w).ctx;
    Picture* screen = ctx && ctx->learnUnit ? ctx->learnUnit->screen : nullptr;
    width = screen ? Dimension(screen->width) : kDefaultWidth;
    height = screen ? Dimension(screen->height) : kDefaultHeight;
}

// The parent follows the program's screen width, so that the status line
// and the URL field keep the width of the picture.
void Resize(Widget w) {
    UnitContext* ctx = partOf(w).ctx;
    Picture* screen = ctx && ctx->learnUnit ? ctx->learnUnit->screen : nullptr;
    Widget parent = XtParent(w);
    if (!screen || !parent || parent->core.width == screen->width) return;
    XtVaSetValues(parent, XtNwidth, Dimension(screen->width), nullptr);
}

XtGeometryResult QueryGeometry(Widget w, XtWidgetGeometry* request, XtWidgetGeometry* preferred) {
    preferredSize(w, preferred->width, preferred->height);
    preferred->request_mode = CWWidth | CWHeight;
    constexpr XtGeometryMask kBoth = CWWidth | CWHeight;
    if ((request->request_mode & kBoth) == kBoth && request->width == preferred->width)
        return XtGeometryYes;
    if (preferred->width == w->core.width) return XtGeometryNo;
    return XtGeometryAlmost;
}

KivClassRec kivClassRec = {
    .core_class =
        {
            .superclass = &widgetClassRec,
            .class_name = const_cast<String>("Kiv"),
            .widget_size = sizeof(KivRec),
            .class_initialize = nullptr,
            .class_part_initialize = nullptr,
            .class_inited = False,
            .initialize = Initialize,
            .initialize_hook = nullptr,
            .realize = XtInheritRealize,
            .actions = kivActions,
            .num_actions = XtNumber(kivActions),
            .resources = kivResources,
            .num_resources = XtNumber(kivResources),
            .xrm_class = NULLQUARK,
            .compress_motion = False,
            .compress_exposure = XtExposeCompressMultiple,
            .compress_enterleave = True,
            .visible_interest = False,
            .destroy = Destroy,
            .resize = Resize,
            .expose = Redisplay,
            .set_values = SetValues,
            .set_values_hook = nullptr,
            .set_values_almost = XtInheritSetValuesAlmost,
            .get_values_hook = nullptr,
            .accept_focus = nullptr,
            .version = XtVersion,
            .callback_private = nullptr,
            .tm_table = const_cast<String>(kDefaultTranslations),
            .query_geometry = QueryGeometry,
            .display_accelerator = XtInheritDisplayAccelerator,
            .extension = nullptr,
        },
    .kiv_class = {0},
};

}  // namespace

WidgetClass kivWidgetClass = reinterpret_cast<WidgetClass>(&kivClassRec);

void fakeExpose(UnitContext* ctx, int x, int y, int width, int height) {
    if (ctx->drawArea) repaint(ctx->drawArea, x, y, width, height);
}

Widget GetKivWidget(Widget w) {
    if (!w || !XtIsComposite(w)) return nullptr;
    auto* composite = reinterpret_cast<CompositeWidget>(w);
    for (Cardinal i = 0; i < composite->composite.num_children; ++i) {
        Widget child = composite->composite.children[i];
        if (std::strcmp(XtClass(child)->core_class.class_name, "Kiv") == 0) return child;
        if (Widget found = GetKivWidget(child)) return found;
    }
    return nullptr;
}

UnitContext* contextOfWidget(Widget w) {
    while (w && XtParent(w)) w = XtParent(w);
    Widget kiv = GetKivWidget(w);
    return kiv ? partOf(kiv).ctx : nullptr;
}
