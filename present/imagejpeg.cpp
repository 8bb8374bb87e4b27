// JPEG pictures: decoded by present/jpegdecode.cpp, quantised to the
// player's palette on displays of fewer than 16 bits, and sent to the
// server.
#include <cstring>

#include "app/context.h"
#include "present/display_state.h"
#include "present/gifdecode.h"
#include "present/image.h"
#include "present/jpegdecode.h"
#include "present/palette.h"

namespace {

// Grey ramps for the grey displays, whose palette indices are grey levels.
void fillGreyMap(unsigned char* table, int count) {
    for (int i = 0; i < count; ++i) std::memset(table + 3 * i, i * 255 / (count - 1), 3);
}

// The palette JPEG samples are quantised to: the player's standard colour
// cube on 8-bit displays, its grey levels on grey ones.
void fillPalette(UnitContext* ctx, unsigned char* table, int count) {
    if (ctx->displayState->depth == 8)
        fillStdCMap(ctx, table, 0, 1, 2, count);
    else
        fillGreyMap(table, count);
}

}  // namespace

bool readJPEG(UnitContext* ctx, KivStream* in, Picture* out) {
    unsigned char table[3 * 256] = {};
    JpegPalette palette;
    int depth = ctx->displayState->depth;
    int colours = colsInCMap(ctx);
    if (depth != 16 && depth != 24 && colours > 1) {
        fillPalette(ctx, table, colours);
        palette = {table, colours};
    }
    JpegImage image;
    if (!decodeJpeg(in, JpegLimits{kMaxImagePixels}, palette.count ? &palette : nullptr, &image)) {
        out->width = out->height = 0;
        return false;
    }
    out->width = image.width;
    out->height = image.height;
    jpgSendData(ctx, image.samples.data(), image.rgb, out);
    return true;
}
