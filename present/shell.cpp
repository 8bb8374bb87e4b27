// The browser shell: a paned column of the URL field (with the menu bar),
// the drawing area and the status line.
#include "present/shell.h"

#include <X11/StringDefs.h>
#include <X11/Xaw/AsciiText.h>
#include <X11/Xaw/Label.h>
#include <X11/Xaw/Paned.h>

#include <string>

#include "app/context.h"
#include "core/messages.h"
#include "present/events.h"

namespace {

constexpr Dimension kDrawWidth = 640;
constexpr Dimension kDrawHeight = 400;

}  // namespace

void makeGUI(UnitContext* ctx) {
    auto* shell = mustNew<ShellState>(ctx);
    ctx->shell = shell;
    shell->paned = XtVaCreateManagedWidget("main_w", panedWidgetClass, ctx->toplevel,
                                           XtNallowResize, True, nullptr);
    if (ctx->menuBarOn)
        shell->urlField = XtVaCreateManagedWidget(
            "url", asciiTextWidgetClass, shell->paned, XtNstring, ctx->defaultURL ? ctx->defaultURL : "",
            XtNeditType, XawtextEdit, XtNshowGrip, False, nullptr);
    ctx->drawArea = XtVaCreateManagedWidget(
        "kiv", widgetClass, shell->paned, XtNwidth, kDrawWidth, XtNheight, kDrawHeight,
        XtNbackground, BlackPixelOfScreen(XtScreen(ctx->toplevel)), XtNallowResize, True,
        XtNshowGrip, False, nullptr);
    listenForInput(ctx, ctx->drawArea);
    shell->status = XtVaCreateManagedWidget("status", labelWidgetClass, shell->paned, XtNlabel,
                                            "Status : Initializing...", XtNresizeToPreferred, True,
                                            XtNskipAdjust, True, XtNshowGrip, False, nullptr);
}

void setStatus(UnitContext* ctx, const char* text) {
    if (!ctx->shell || !ctx->shell->status) return;
    std::string label = std::string("Status : ") + (text ? text : "");
    XtVaSetValues(ctx->shell->status, XtNlabel, label.c_str(), nullptr);
    TamSync(ctx);
}

void setURL(UnitContext* ctx, const char* url) {
    if (!ctx->shell) return;
    if (ctx->shell->urlField) XtVaSetValues(ctx->shell->urlField, XtNstring, url ? url : "", nullptr);
    TamSync(ctx);
}

void TamSync(UnitContext* ctx) {
    if (ctx->display) XSync(ctx->display, False);
}
