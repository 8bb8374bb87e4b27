// Toolkit initialisation and the main window. The resources are first
// read without a display, because a parse-only run must work where there
// is none; otherwise the toolkit opens the display and reads them again
// itself, now including the resources stored on the server.
#include <X11/Shell.h>
#include <X11/StringDefs.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/context.h"
#include "app/shutdown.h"
#include "core/alloc.h"
#include "core/messages.h"
#include "core/strings.h"
#include "present/display.h"
#include "present/draw.h"
#include "present/palette.h"
#include "present/resources.h"
#include "present/shell.h"

namespace {

UnitContext* ioErrorContext = nullptr;

void storeResources(UnitContext* ctx, const AppResources& res) {
    ctx->redirectStderr = res.redirectStderr;
    TamFree(ctx->defaultURL);
    ctx->defaultURL = safestrdup(res.defaultURL);
    ctx->allowLocalAccess = res.allowLocalAccess;
    ctx->allowLocalWrite = res.allowLocalWrite;
    ctx->memoryLimit = res.memoryLimit;
    ctx->parseOnly = res.parseOnly;
    ctx->menuBarOn = res.menuBarOn;
    ctx->perfectCols = res.perfectCols;
    ctx->downloadLimit = res.downloadLimit;
}

// Tells from the command line and the resource files alone whether this
// is a parse-only run; the options are then removed from argv.
bool parseOnlyRun(UnitContext* ctx, int* argc, char** argv) {
    std::vector<char*> probe(argv, argv + *argc + 1);
    int probeCount = *argc;
    AppResources res;
    readResourcesWithoutDisplay(&probeCount, probe.data(), &res);
    if (!res.parseOnly) return false;
    storeResources(ctx, res);
    std::copy(probe.begin(), probe.begin() + probeCount, argv);
    argv[probeCount] = nullptr;
    *argc = probeCount;
    return true;
}

// A lost display connection ends the player, but through the cleanup, so
// that the servers and the temporary files do not outlive it. The
// connection is unusable by then and must not be closed again.
int onDisplayLost(Display*) {
    userMsg("Error: Connection to the display was lost");
    ioErrorContext->appContext = nullptr;
    ioErrorContext->display = nullptr;
    c_exit(ioErrorContext, 1);
}

Display* openDisplay(UnitContext* ctx, int* argc, char** argv) {
    XtToolkitInitialize();
    ctx->appContext = XtCreateApplicationContext();
    XtAppSetFallbackResources(ctx->appContext, fallbackResources);
    Display* display = XtOpenDisplay(ctx->appContext, nullptr, nullptr, kAppClass, appOptions,
                                     appOptionCount, argc, argv);
    if (!display) {
        userMsg(formatMsg("Error: Could not open display %s", XDisplayName(nullptr)).c_str());
        c_exit(ctx, 1);
    }
    ioErrorContext = ctx;
    XSetIOErrorHandler(onDisplayLost);
    return display;
}

// The window manager's close button quits like File → Quit. A top-level
// window destroyed by other means leaves nothing to show or to take input,
// so the player ends the same way instead of running on invisibly.
Atom wmProtocols = None;
Atom wmDeleteWindow = None;

void onTopLevelEvent(Widget w, XtPointer client, XEvent* event, Boolean*) {
    bool closed = event->type == ClientMessage && event->xclient.message_type == wmProtocols &&
                  Atom(event->xclient.data.l[0]) == wmDeleteWindow;
    bool destroyed = event->type == DestroyNotify && event->xdestroywindow.window == XtWindow(w);
    if (closed || destroyed) c_exit(static_cast<UnitContext*>(client), 0);
}

void takePartInWindowClosing(UnitContext* ctx, Widget toplevel) {
    Display* display = XtDisplay(toplevel);
    wmProtocols = XInternAtom(display, "WM_PROTOCOLS", False);
    wmDeleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, XtWindow(toplevel), &wmDeleteWindow, 1);
    XtAddEventHandler(toplevel, StructureNotifyMask, True, onTopLevelEvent, ctx);
}

}  // namespace

void openMainWin(UnitContext* ctx, int* argc, char** argv) {
    if (parseOnlyRun(ctx, argc, argv)) return;
    Display* display = openDisplay(ctx, argc, argv);
    Widget toplevel = XtVaAppCreateShell(nullptr, kAppClass, applicationShellWidgetClass, display,
                                         nullptr);
    // The toolkit rewrites a resource list it is given (names become
    // quarks), so it gets a copy and the table stays readable.
    std::vector<XtResource> resources(appResources, appResources + appResourceCount);
    AppResources res;
    XtGetApplicationResources(toplevel, &res, resources.data(), appResourceCount, nullptr, 0);
    storeResources(ctx, res);
    if (ctx->parseOnly) {
        closeMainWin(ctx);
        return;
    }
    ctx->display = display;
    ctx->toplevel = toplevel;
    ctx->visual = DefaultVisualOfScreen(XtScreen(toplevel));
    ctx->depth = DefaultDepthOfScreen(XtScreen(toplevel));
    if (!initDisplay(ctx)) c_exit(ctx, 1);
    makeGUI(ctx);
    XtRealizeWidget(toplevel);
    takePartInWindowClosing(ctx, toplevel);
    XSync(display, False);
}

void closeMainWin(UnitContext* ctx) {
    winsysCleanup(ctx);
    if (ctx->appContext) XtDestroyApplicationContext(ctx->appContext);
    ctx->appContext = nullptr;
    ctx->display = nullptr;
    ctx->toplevel = ctx->drawArea = nullptr;
    TamFree(ctx->shell);
    ctx->shell = nullptr;
    TamFree(ctx->defaultURL);
    ctx->defaultURL = nullptr;
}

int GetMousePos(UnitContext* ctx, int* x, int* y) {
    if (!ctx->display || !ctx->drawArea || !XtIsRealized(ctx->drawArea)) return -1;
    Window root, child;
    int rootX, rootY;
    unsigned int buttons;
    if (!XQueryPointer(ctx->display, XtWindow(ctx->drawArea), &root, &child, &rootX, &rootY, x, y,
                       &buttons)) {
        std::fputs("Mouse pointer not inside window\n", stderr);
        return -1;
    }
    return 0;
}
