// Window, display and colour builtins: getWindowSize, resizeWindow,
// output, optimizeObjects, bell, imageExtents, textExtents and the palette
// and colour builtins. The colour arithmetic needs no display; the others
// check their arguments and return their neutral value until the display
// code is linked in.
#include <algorithm>

#include "builtins/handlers.h"
#include "builtins/support.h"
#include "core/messages.h"
#include "interp/builtin_frame.h"

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

}  // namespace

std::int32_t brighterRGB(UnitContext* ctx, param* args) { return shiftedColour(ctx, args, "brighterRGB", 34); }

std::int32_t darkerRGB(UnitContext* ctx, param* args) { return shiftedColour(ctx, args, "darkerRGB", -34); }

std::int32_t get_color(UnitContext* ctx, param*) {
    errorMsg(ctx, MSG_ERROR, "Error: Function PixelColor is not supported in this version of Orvex.");
    return 0;
}

std::int32_t resetpalette(UnitContext* ctx, param* args) {
    takeArguments(ctx, args, "resetPalette", "");
    return 0;
}

std::int32_t getWindowSize(UnitContext* ctx, param* args) {
    takeArguments(ctx, args, "getWindowSize", "II");
    return 0;
}

std::int32_t resize_window(UnitContext* ctx, param* args) {
    takeArguments(ctx, args, "resizeWindow", "ii");
    return 0;
}

std::int32_t Output(UnitContext* ctx, param* args) {
    takeArguments(ctx, args, "output", "");
    return 0;
}

std::int32_t OptimizeObjects(UnitContext* ctx, param* args) {
    takeArguments(ctx, args, "optimizeObjects", "");
    return 0;
}

std::int32_t Bell(UnitContext* ctx, param* args) {
    takeArguments(ctx, args, "bell", "iii");
    return 0;
}

std::int32_t imageextents(UnitContext* ctx, param* args) {
    takeArguments(ctx, args, "imageExtents", "tII");
    return 0;
}

std::int32_t textextents(UnitContext* ctx, param* args) {
    takeArguments(ctx, args, "textExtents", "ttIII");
    return 0;
}
