// JPEG pictures through libjpeg: a source manager that reads the Kiv
// stream, an error manager that returns control to the player instead of
// ending the process, and quantisation to the player's palette on
// displays of fewer than 16 bits.
#include <cstdio>
#include <csetjmp>
#include <cstring>
#include <new>

#include <jpeglib.h>
#include <jerror.h>

#include "app/context.h"
#include "core/alloc.h"
#include "core/messages.h"
#include "present/display_state.h"
#include "present/gifdecode.h"
#include "present/image.h"
#include "present/palette.h"

namespace {

constexpr std::size_t kSourceBuffer = 4096;

struct JpegSource {
    jpeg_source_mgr pub;
    KivStream* in;
    bool started;
    JOCTET buffer[kSourceBuffer];
};

struct JpegErrors {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

// Everything one decompression owns; it lives on the heap so that a
// longjmp out of libjpeg finds it intact.
struct JpegJob {
    jpeg_decompress_struct cinfo;
    JpegErrors errors;
    JpegSource source;
    unsigned char* samples;  // width * height * components
};

void initSource(j_decompress_ptr cinfo) {
    reinterpret_cast<JpegSource*>(cinfo->src)->started = false;
}

// At the end of the data an end-of-image marker is supplied, so that a
// truncated file still yields what was decoded.
boolean fillInputBuffer(j_decompress_ptr cinfo) {
    auto* src = reinterpret_cast<JpegSource*>(cinfo->src);
    std::size_t n = 0;
    for (int c; n < kSourceBuffer && (c = KivGetc(src->in)) != EOF;) src->buffer[n++] = JOCTET(c);
    if (n == 0) {
        if (!src->started) ERREXIT(cinfo, JERR_INPUT_EMPTY);
        WARNMS(cinfo, JWRN_JPEG_EOF);
        src->buffer[0] = 0xFF;
        src->buffer[1] = JPEG_EOI;
        n = 2;
    }
    src->started = true;
    src->pub.next_input_byte = src->buffer;
    src->pub.bytes_in_buffer = n;
    return TRUE;
}

void skipInputData(j_decompress_ptr cinfo, long count) {
    if (count <= 0) return;
    jpeg_source_mgr* src = cinfo->src;
    std::size_t left = std::size_t(count);
    while (left > src->bytes_in_buffer) {
        left -= src->bytes_in_buffer;
        fillInputBuffer(cinfo);
    }
    src->next_input_byte += left;
    src->bytes_in_buffer -= left;
}

void termSource(j_decompress_ptr) {}

[[noreturn]] void errorExit(j_common_ptr cinfo) {
    (*cinfo->err->output_message)(cinfo);
    std::longjmp(reinterpret_cast<JpegErrors*>(cinfo->err)->jump, 1);
}

void attachSource(JpegJob* job, KivStream* in) {
    JpegSource& src = job->source;
    src.in = in;
    src.pub.init_source = initSource;
    src.pub.fill_input_buffer = fillInputBuffer;
    src.pub.skip_input_data = skipInputData;
    src.pub.resync_to_restart = jpeg_resync_to_restart;
    src.pub.term_source = termSource;
    src.pub.bytes_in_buffer = 0;
    src.pub.next_input_byte = nullptr;
    job->cinfo.src = &src.pub;
}

// Grey ramps for the grey displays, whose palette indices are grey levels.
void fillGreyMap(unsigned char* table, int count) {
    for (int i = 0; i < count; ++i) std::memset(table + 3 * i, i * 255 / (count - 1), 3);
}

// Asks libjpeg for indices into the player's palette.
void useStandardColormap(UnitContext* ctx, j_decompress_ptr cinfo, int count) {
    unsigned char table[3 * 256] = {};
    if (ctx->displayState->depth == 8)
        fillStdCMap(ctx, table, 0, 1, 2, count);
    else
        fillGreyMap(table, count);
    cinfo->quantize_colors = TRUE;
    cinfo->colormap = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                                  JDIMENSION(count), 3);
    for (int i = 0; i < count; ++i)
        for (int c = 0; c < 3; ++c) cinfo->colormap[c][i] = table[3 * i + c];
    cinfo->actual_number_of_colors = count;
}

// The steps that libjpeg may leave through errorExit.
bool decompress(UnitContext* ctx, JpegJob* job, Picture* out) {
    j_decompress_ptr cinfo = &job->cinfo;
    jpeg_read_header(cinfo, TRUE);
    if (!imageSizeAcceptable(int(cinfo->image_width), int(cinfo->image_height))) return false;
    cinfo->out_color_space = JCS_RGB;
    int depth = ctx->displayState->depth;
    int colours = colsInCMap(ctx);
    if (depth != 16 && depth != 24 && colours > 1) useStandardColormap(ctx, cinfo, colours);
    jpeg_start_decompress(cinfo);
    out->width = int(cinfo->output_width);
    out->height = int(cinfo->output_height);
    std::size_t rowBytes = std::size_t(cinfo->output_width) * cinfo->output_components;
    job->samples = static_cast<unsigned char*>(TamMalloc(rowBytes * cinfo->output_height));
    if (!job->samples) outOfMemory(ctx);
    while (cinfo->output_scanline < cinfo->output_height) {
        JSAMPROW row = job->samples + rowBytes * cinfo->output_scanline;
        jpeg_read_scanlines(cinfo, &row, 1);
    }
    jpeg_finish_decompress(cinfo);
    return true;
}

}  // namespace

bool readJPEG(UnitContext* ctx, KivStream* in, Picture* out) {
    auto* job = static_cast<JpegJob*>(TamCalloc(1, sizeof(JpegJob)));
    if (!job) outOfMemory(ctx);
    job->cinfo.err = jpeg_std_error(&job->errors.pub);
    job->errors.pub.error_exit = errorExit;
    jpeg_create_decompress(&job->cinfo);
    attachSource(job, in);
    bool decoded = false;
    if (setjmp(job->errors.jump) == 0) decoded = decompress(ctx, job, out);
    bool rgb = job->cinfo.output_components == 3;
    jpeg_destroy_decompress(&job->cinfo);
    if (decoded) jpgSendData(ctx, job->samples, rgb, out);
    else out->width = out->height = 0;
    TamFree(job->samples);
    TamFree(job);
    return decoded;
}
