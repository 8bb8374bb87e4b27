// Screen operations behind the output, optimizeObjects and resizeWindow
// builtins.
#include "present/screen.h"

#include <algorithm>

#include "app/context.h"
#include "core/messages.h"
#include "present/display_state.h"
#include "present/draw.h"
#include "present/objects.h"
#include "present/picture.h"
#include "present/update.h"

namespace {

void syncDisplay(UnitContext* ctx) {
    if (ctx->display) XSync(ctx->display, False);
}

// A blank picture of the new size holding the visible part of the old.
Picture* resized(UnitContext* ctx, Picture* old, int width, int height) {
    Picture* fresh = blankImage(ctx, width, height, 0);
    if (old && fresh) {
        DisplayState* ds = ctx->displayState;
        XSetFunction(ds->display, ds->clearGC, GXcopy);
        XCopyArea(ds->display, old->pixmap, fresh->pixmap, ds->clearGC, 0, 0,
                  std::min(width, old->width), std::min(height, old->height), 0, 0);
    }
    killImage(ctx, old);
    return fresh;
}

// Level masks follow the screen's size; new area is uncovered.
void resizeMask(UnitContext* ctx, Picture* mask, int width, int height) {
    DisplayState* ds = ctx->displayState;
    Display* dpy = ds->display;
    Pixmap fresh = XCreatePixmap(dpy, RootWindow(dpy, DefaultScreen(dpy)), width, height, 1);
    XCopyGC(dpy, ds->maskBaseGC, ~0UL, ds->maskGC);
    XSetForeground(dpy, ds->maskGC, 0);
    XFillRectangle(dpy, fresh, ds->maskGC, 0, 0, width, height);
    XSetForeground(dpy, ds->maskGC, 1);
    XCopyArea(dpy, mask->pixmap, fresh, ds->maskGC, 0, 0, std::min(width, mask->width),
              std::min(height, mask->height), 0, 0);
    XFreePixmap(dpy, mask->pixmap);
    mask->pixmap = fresh;
    mask->width = width;
    mask->height = height;
}

Frame* freezingFrame(LearnUnit* unit) {
    return unit->objectContext ? unit->objectContext : unit->currentFrame;
}

}  // namespace

void outputScreen(UnitContext* ctx) {
    LearnUnit* unit = ctx->learnUnit;
    if (!unit) return;
    syncDisplay(ctx);
    updateWins(ctx);
    updateGraphs(ctx);
    bool first = !unit->outputDone;
    unit->outputDone = 1;
    refresh(ctx, first ? 1 : 0);
    if (first) syncDisplay(ctx);
    // The frame goes to the server now, so that it draws while the program
    // computes the next one.
    else if (ctx->display) XFlush(ctx->display);
}

void optimizeScreen(UnitContext* ctx) {
    LearnUnit* unit = ctx->learnUnit;
    if (!unit) return;
    if (unit->freezeCount > 0) optOCleanup(ctx);
    updateWins(ctx);
    updateGraphs(ctx);
    unit->freezeCount++;
    Frame* frame = freezingFrame(unit);
    if (frame && frame->owner && frame->owner->blockKind == BLOCK_FUNCTION)
        static_cast<funcinst*>(frame)->freezeCount++;
    statobjSetup(ctx, frame);
}

bool resizeScreen(UnitContext* ctx, int width, int height) {
    if (width < 1 || height < 1 || width > kMaxScreenSide || height > kMaxScreenSide) {
        errorMsg(ctx, MSG_WARNING,
                 formatMsg("Warning: Window size %d x %d out of range (1 to %d). Not resized.",
                           width, height, kMaxScreenSide)
                     .c_str());
        return false;
    }
    LearnUnit* unit = ctx->learnUnit;
    if (unit && unit->screen &&
        (unit->screen->width != width || unit->screen->height != height)) {
        if (unit->background) unit->background = resized(ctx, unit->background, width, height);
        unit->screen = resized(ctx, unit->screen, width, height);
        for (LevNode* node = unit->levels; node; node = nextOf(node))
            if (node->ownsBackground) resizeMask(ctx, node->background, width, height);
    }
    resizeMainWin(ctx, width, height);
    return true;
}
