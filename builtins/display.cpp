// Window, display and colour builtins: getWindowSize, resizeWindow,
// output, optimizeObjects, bell, imageExtents, textExtents and the palette
// and colour builtins. The colour arithmetic needs no display; the screen
// operations are the presentation layer's (present/screen.h).
#include <algorithm>
#include <cstdint>

#include "app/context.h"
#include "builtins/handlers.h"
#include "builtins/support.h"
#include "core/messages.h"
#include "interp/builtin_frame.h"
#include "present/draw.h"
#include "present/objects.h"
#include "present/palette.h"
#include "present/image.h"
#include "present/picture.h"
#include "present/screen.h"
#include "present/textlayout.h"

namespace {

// Moves each 8-bit channel of 0xRRGGBB by step, within 0..255.
std::int32_t shiftChannels(std::int32_t rgb, int step) {
    std::int32_t result = 0;
    for (int shift = 16; shift >= 0; shift -= 8) {
        int channel = std::clamp(((rgb >> shift) & 0xff) + step, 0, 255);
        result |= channel << shift;
    }
    return result;
}

std::int32_t shiftedColour(UnitContext* ctx, param* args, const char* name, int step) {
    param* cursor = args;
    std::int32_t rgb = getIntPar(ctx, cursor, 1, name);
    checkPars(ctx, cursor, 1, name);
    return shiftChannels(rgb, step);
}

// The node of a var argument, or null after reporting it missing.
param* takeVariable(UnitContext* ctx, param*& cursor, int argno, const char* name) {
    if (!cursor) {
        paramErrorDS(ctx, kNoLine, "arg %d (integer) missing in function %s", argno, name);
        return nullptr;
    }
    param* node = cursor;
    cursor = nextOf(cursor);
    return node;
}

}  // namespace

std::int32_t brighterRGB(UnitContext* ctx, param* args) { return shiftedColour(ctx, args, "brighterRGB", 34); }

std::int32_t darkerRGB(UnitContext* ctx, param* args) { return shiftedColour(ctx, args, "darkerRGB", -34); }

std::int32_t get_color(UnitContext* ctx, param*) {
    errorMsg(ctx, MSG_ERROR, "Error: Function PixelColor is not supported in this version of Orvex.");
    return 0;
}

std::int32_t resetpalette(UnitContext* ctx, param* args) {
    takeArguments(ctx, args, "resetPalette", "");
    installPalette(ctx, ctx->toplevel, paletteColormap(ctx));
    return 1;
}

std::int32_t getWindowSize(UnitContext* ctx, param* args) {
    param* cursor = args;
    param* width = takeVariable(ctx, cursor, 1, "getWindowSize");
    param* height = takeVariable(ctx, cursor, 2, "getWindowSize");
    checkPars(ctx, cursor, 2, "getWindowSize");
    Picture* screen = ctx->learnUnit ? ctx->learnUnit->screen : nullptr;
    if (width) set_par_value(ctx, width, screen ? screen->width : 0);
    if (height) set_par_value(ctx, height, screen ? screen->height : 0);
    return 1;
}

std::int32_t resize_window(UnitContext* ctx, param* args) {
    param* cursor = args;
    std::int32_t width = getIntPar(ctx, cursor, 1, "resizeWindow");
    std::int32_t height = getIntPar(ctx, cursor, 2, "resizeWindow");
    checkPars(ctx, cursor, 2, "resizeWindow");
    return resizeScreen(ctx, width, height) ? 1 : 0;
}

std::int32_t Output(UnitContext* ctx, param* args) {
    takeArguments(ctx, args, "output", "");
    outputScreen(ctx);
    return 1;
}

std::int32_t OptimizeObjects(UnitContext* ctx, param* args) {
    takeArguments(ctx, args, "optimizeObjects", "");
    optimizeScreen(ctx);
    return 1;
}

namespace {

// A value out of its range falls back to the server's default (-1).
std::int32_t bellArgument(UnitContext* ctx, std::int32_t value, std::int32_t highest, const char* what) {
    if (value == -1 || (value >= 0 && value <= highest)) return value;
    errorMsg(ctx, MSG_WARNING,
             formatMsg("Warning: %s of function bell out of range, using default value.", what).c_str());
    return -1;
}

}  // namespace

std::int32_t Bell(UnitContext* ctx, param* args) {
    param* cursor = args;
    std::int32_t volume = getIntPar(ctx, cursor, 1, "bell");
    std::int32_t pitch = getIntPar(ctx, cursor, 2, "bell");
    std::int32_t duration = getIntPar(ctx, cursor, 3, "bell");
    checkPars(ctx, cursor, 3, "bell");
    volume = bellArgument(ctx, volume, 100, "arg 1 (volume)");
    pitch = bellArgument(ctx, pitch, INT32_MAX, "arg 2 (pitch)");
    duration = bellArgument(ctx, duration, INT32_MAX, "arg 3 (duration)");
    tamBell(ctx, volume, pitch, duration);
    return 1;
}

// The sizes are stored only for an image that could be loaded; a name
// that falls back to the default picture leaves them as they were.
std::int32_t imageextents(UnitContext* ctx, param* args) {
    param* cursor = args;
    OwnedText url(getTextPar(ctx, cursor, 1, "imageExtents"));
    param* width = takeVariable(ctx, cursor, 2, "imageExtents");
    param* height = takeVariable(ctx, cursor, 3, "imageExtents");
    checkPars(ctx, cursor, 3, "imageExtents");
    if (halted(ctx) || !url || !url.get()[0]) return 0;
    Picture* pic = getImage(ctx, url.get());
    if (isDefaultImage(ctx, pic)) return 0;
    if (width) set_par_value(ctx, width, pic->width);
    if (height) set_par_value(ctx, height, pic->height);
    return 1;
}

std::int32_t textextents(UnitContext* ctx, param* args) {
    param* cursor = args;
    OwnedText text(getTextPar(ctx, cursor, 1, "textExtents"));
    OwnedText font(getTextPar(ctx, cursor, 2, "textExtents"));
    param* outputs[3];
    for (int i = 0; i < 3; ++i) outputs[i] = takeVariable(ctx, cursor, 3 + i, "textExtents");
    checkPars(ctx, cursor, 5, "textExtents");
    int values[3];
    fextents(ctx, text.get(), font.get(), &values[0], &values[1], &values[2]);
    for (int i = 0; i < 3; ++i)
        if (outputs[i]) set_par_value(ctx, outputs[i], values[i]);
    return font && font.get()[0] ? 1 : 0;
}
