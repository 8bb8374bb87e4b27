// JPEG decoding with libjpeg: the source manager over a Kiv stream, the
// error manager that jumps back instead of exiting, and the limits that
// keep a small hostile file from costing much time or memory.
#include "present/jpegdecode.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>

#include "core/alloc.h"
#include "core/messages.h"
#include "present/gifdecode.h"

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

struct JpegProgress {
    jpeg_progress_mgr pub;
    int maxScans;
};

// Everything one decompression owns; it lives on the heap and holds no
// C++ objects, so that a longjmp out of libjpeg finds it intact and skips
// no destructor.
struct JpegJob {
    jpeg_decompress_struct cinfo;
    JpegErrors errors;
    JpegSource source;
    JpegProgress progress;
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

// libjpeg calls this between its steps; a file with more scans than any
// encoder writes is given up before it costs a pass per scan.
void countScans(j_common_ptr cinfo) {
    auto* progress = reinterpret_cast<JpegProgress*>(cinfo->progress);
    auto* dinfo = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (dinfo->input_scan_number <= progress->maxScans) return;
    userMsg(formatMsg("Error: JPEG image has more than %d scans", progress->maxScans).c_str());
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

void attachProgress(JpegJob* job, int maxScans) {
    job->progress.pub.progress_monitor = countScans;
    job->progress.maxScans = maxScans;
    job->cinfo.progress = &job->progress.pub;
}

void useColormap(j_decompress_ptr cinfo, const JpegPalette& palette) {
    cinfo->quantize_colors = TRUE;
    cinfo->colormap = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                                  JDIMENSION(palette.count), 3);
    for (int i = 0; i < palette.count; ++i)
        for (int c = 0; c < 3; ++c) cinfo->colormap[c][i] = palette.rgb[3 * i + c];
    cinfo->actual_number_of_colors = palette.count;
}

bool sizeWithinLimits(j_decompress_ptr cinfo, const JpegLimits& limits) {
    int width = int(cinfo->image_width), height = int(cinfo->image_height);
    if (!imageSizeAcceptable(width, height)) return false;
    if ((long long)width * height <= limits.maxPixels) return true;
    userMsg(formatMsg("Error: image of %d by %d pixels is too large", width, height).c_str());
    return false;
}

// The steps that libjpeg may leave through errorExit or countScans: no
// local here may need destroying.
bool decompress(JpegJob* job, const JpegLimits& limits, const JpegPalette* palette, JpegImage* out) {
    j_decompress_ptr cinfo = &job->cinfo;
    jpeg_read_header(cinfo, TRUE);
    if (!sizeWithinLimits(cinfo, limits)) return false;
    cinfo->out_color_space = JCS_RGB;
    if (palette && palette->count > 1) useColormap(cinfo, *palette);
    jpeg_start_decompress(cinfo);
    out->width = int(cinfo->output_width);
    out->height = int(cinfo->output_height);
    out->rgb = cinfo->output_components == 3;
    std::size_t rowBytes = std::size_t(cinfo->output_width) * cinfo->output_components;
    out->samples.assign(rowBytes * cinfo->output_height, 0);
    while (cinfo->output_scanline < cinfo->output_height) {
        JSAMPROW row = out->samples.data() + rowBytes * cinfo->output_scanline;
        jpeg_read_scanlines(cinfo, &row, 1);
    }
    jpeg_finish_decompress(cinfo);
    return true;
}

}  // namespace

bool decodeJpeg(KivStream* in, const JpegLimits& limits, const JpegPalette* palette, JpegImage* out) {
    auto* job = static_cast<JpegJob*>(TamCalloc(1, sizeof(JpegJob)));
    if (!job) return false;
    job->cinfo.err = jpeg_std_error(&job->errors.pub);
    job->errors.pub.error_exit = errorExit;
    jpeg_create_decompress(&job->cinfo);
    attachSource(job, in);
    attachProgress(job, limits.maxScans);
    bool decoded = false;
    if (setjmp(job->errors.jump) == 0) decoded = decompress(job, limits, palette, out);
    jpeg_destroy_decompress(&job->cinfo);
    TamFree(job);
    if (!decoded) *out = JpegImage{};
    return decoded;
}
