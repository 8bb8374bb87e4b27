// GIF decoder: header, screen descriptor and colour tables, extensions,
// image descriptors, data sub-blocks and the LZW decompressor. It reads
// the stream byte-wise through the Kiv stream API and fills a GifImage;
// every malformed input ends in a message and a refusal, never in a read
// past a buffer or an endless loop.
#include "present/gifdecode.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "app/context.h"
#include "core/messages.h"

namespace {

constexpr int kMaxCodeBits = 12;
constexpr int kTableSize = 1 << kMaxCodeBits;

// Decoder messages go to standard error as they stand, newline included.
void say(const char* text) {
    std::fputs(text, stderr);
    std::fflush(stderr);
}

bool readBytes(KivStream* in, void* buffer, std::size_t n) { return KivRead(in, buffer, n) == n; }

int littleEndian16(const std::uint8_t* p) { return p[0] | (p[1] << 8); }

// One data sub-block into buffer: its length (0 for the terminator), or -1.
int getDataBlock(KivStream* in, std::uint8_t* buffer) {
    int count = KivGetc(in);
    if (count == EOF) {
        say("Error: in getting GIF-DataBlock size\n");
        return -1;
    }
    if (count > 0 && !readBytes(in, buffer, std::size_t(count))) {
        say("Error: in reading GIF-DataBlock\n");
        return -1;
    }
    return count;
}

// Reads sub-blocks until the terminator; false on a read error.
bool skipBlocks(KivStream* in) {
    std::uint8_t buffer[256];
    for (;;) {
        int count = getDataBlock(in, buffer);
        if (count <= 0) return count == 0;
    }
}

bool readColourTable(KivStream* in, int entries, GifImage* out) {
    std::uint8_t rgb[3 * 256];
    if (!readBytes(in, rgb, std::size_t(entries) * 3)) return false;
    out->rgb.fill(0);
    for (int i = 0; i < entries; ++i)
        out->rgb[i] = (rgb[3 * i] << 16) | (rgb[3 * i + 1] << 8) | rgb[3 * i + 2];
    out->colours = entries;
    return true;
}

void reportAspect(int aspect) {
    double r = (aspect + 15) / 64.0;
    bool wide = r < 1.0;
    say(formatMsg("Warning : non-square pixels in GIF-file (%c %f)\n", wide ? 'x' : 'y',
                  wide ? 1.0 / r : r).c_str());
}

void graphicControl(UnitContext* ctx, const std::uint8_t* block, int count) {
    if (count < 4) return;
    int packed = block[0];
    ctx->gifDisposal = (packed >> 2) & 7;
    ctx->gifInput = (packed >> 1) & 1;
    ctx->gifDelay = littleEndian16(block + 1);
    if (packed & 1) ctx->gifTransparent = block[3];
}

// Extensions other than the graphic control are skipped block by block.
void doExtension(UnitContext* ctx, KivStream* in, int label) {
    if (label == 0xF9) {
        std::uint8_t block[256];
        int count = getDataBlock(in, block);
        if (count <= 0) return;
        graphicControl(ctx, block, count);
    }
    skipBlocks(in);
}

// Codes of a variable bit width, least significant bit first, taken from
// the image's data sub-blocks.
class CodeReader {
public:
    explicit CodeReader(KivStream* in) : in_(in) {}

    // The next code of the width, or -1 after a message.
    int get(int bits) {
        while (held_ < bits) {
            if (pos_ == count_ && !nextBlock()) return -1;
            bits_ |= std::uint32_t(block_[pos_++]) << held_;
            held_ += 8;
        }
        int code = int(bits_ & ((1u << bits) - 1));
        bits_ >>= bits;
        held_ -= bits;
        return code;
    }

    // Skips what is left of the data up to the terminator. A stream that
    // ends first is common and the image stays usable.
    void finish() {
        if (ended_) return;
        for (;;) {
            int count = KivGetc(in_);
            if (count == EOF) {
                say("Error: missing EOD in GIF data stream (common occurance)\n");
                return;
            }
            if (count == 0 || !readBytes(in_, block_, std::size_t(count))) {
                if (count != 0) say("Error: missing EOD in GIF data stream (common occurance)\n");
                return;
            }
        }
    }

private:
    bool nextBlock() {
        if (ended_) {
            say("Error: GIF ran off the end of bits\n");
            return false;
        }
        int count = getDataBlock(in_, block_);
        if (count < 0) return false;
        if (count == 0) {
            ended_ = true;
            say("Error: GIF ran off the end of bits\n");
            return false;
        }
        count_ = count;
        pos_ = 0;
        return true;
    }

    KivStream* in_;
    std::uint8_t block_[256] = {};
    int count_ = 0;
    int pos_ = 0;
    std::uint32_t bits_ = 0;
    int held_ = 0;
    bool ended_ = false;
};

// Row order of the image: top to bottom, or the four interlace passes.
std::vector<int> rowOrder(int height, bool interlaced) {
    std::vector<int> rows;
    rows.reserve(std::size_t(height));
    if (!interlaced) {
        for (int y = 0; y < height; ++y) rows.push_back(y);
        return rows;
    }
    static const int start[4] = {0, 4, 2, 1};
    static const int step[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
        for (int y = start[pass]; y < height; y += step[pass]) rows.push_back(y);
    return rows;
}

// Places decoded indices into the image in stream order.
class PixelSink {
public:
    PixelSink(GifImage* image, bool interlaced)
        : image_(image), rows_(rowOrder(image->height, interlaced)) {}

    bool full() const { return row_ >= image_->height; }

    void put(std::uint8_t index) {
        if (full()) return;
        image_->pixels[std::size_t(rows_[row_]) * image_->width + column_] = index;
        if (++column_ == image_->width) {
            column_ = 0;
            ++row_;
        }
    }

private:
    GifImage* image_;
    std::vector<int> rows_;
    int row_ = 0;
    int column_ = 0;
};

// The LZW string table and the decoding of one image's codes.
class LzwDecoder {
public:
    explicit LzwDecoder(int rootBits) : rootBits_(rootBits), clear_(1 << rootBits), end_(clear_ + 1) {
        reset();
    }

    // Decodes codes into the sink until it is full or the end code comes;
    // false after a reported error.
    bool run(CodeReader& codes, PixelSink& sink) {
        while (!sink.full()) {
            int code = codes.get(bits_);
            if (code < 0) return false;
            if (code == clear_) {
                reset();
            } else if (code == end_) {
                return true;
            } else if (!expand(code, sink)) {
                say("Error: circular GIF table entry BIG ERROR\n");
                return false;
            }
        }
        return true;
    }

private:
    void reset() {
        next_ = clear_ + 2;
        bits_ = rootBits_ + 1;
        prev_ = -1;
    }

    // Writes the string of the code and extends the table; false for a
    // code that names no string.
    bool expand(int code, PixelSink& sink) {
        if (prev_ < 0) {
            if (code >= clear_) return false;
            first_ = std::uint8_t(code);
            prev_ = code;
            sink.put(first_);
            return true;
        }
        int depth = 0;
        int c = code;
        if (code == next_ && next_ < kTableSize) {
            stack_[depth++] = first_;
            c = prev_;
        } else if (code >= next_) {
            return false;
        }
        while (c >= clear_) {
            if (depth >= kTableSize) return false;
            stack_[depth++] = suffix_[c];
            c = prefix_[c];
        }
        stack_[depth++] = std::uint8_t(c);
        first_ = std::uint8_t(c);
        addEntry();
        while (depth > 0) sink.put(stack_[--depth]);
        prev_ = code;
        return true;
    }

    // A full table keeps its width until the encoder sends a clear code.
    void addEntry() {
        if (next_ >= kTableSize) return;
        prefix_[next_] = std::uint16_t(prev_);
        suffix_[next_] = first_;
        ++next_;
        if (next_ == (1 << bits_) && bits_ < kMaxCodeBits) ++bits_;
    }

    int rootBits_;
    int clear_;
    int end_;
    int next_ = 0;
    int bits_ = 0;
    int prev_ = -1;
    std::uint8_t first_ = 0;
    std::uint16_t prefix_[kTableSize] = {};
    std::uint8_t suffix_[kTableSize] = {};
    std::uint8_t stack_[kTableSize + 1] = {};
};

bool readImage(KivStream* in, GifImage* out, bool interlaced) {
    int rootBits = KivGetc(in);
    if (rootBits == EOF || rootBits < 1 || rootBits > kMaxCodeBits - 1) {
        say("Error: error reading image\n");
        return false;
    }
    out->pixels.assign(std::size_t(out->width) * std::size_t(out->height), 0);
    CodeReader codes(in);
    PixelSink sink(out, interlaced);
    auto lzw = std::make_unique<LzwDecoder>(rootBits);
    if (!lzw->run(codes, sink)) return false;
    codes.finish();
    return true;
}

bool readHeader(KivStream* in, GifImage* out) {
    std::uint8_t buf[7];
    if (!readBytes(in, buf, 6)) {
        say("Error: error reading magic number\n");
        return false;
    }
    if (std::memcmp(buf, "GIF", 3) != 0) {
        say("Error: not a GIF file\n");
        return false;
    }
    if (std::memcmp(buf + 3, "87a", 3) != 0 && std::memcmp(buf + 3, "89a", 3) != 0) {
        say("Error: bad version number, not '87a' or '89a'\n");
        return false;
    }
    if (!readBytes(in, buf, 7)) {
        say("Error: failed to read screen descriptor\n");
        return false;
    }
    if ((buf[4] & 0x80) && !readColourTable(in, 2 << (buf[4] & 7), out)) {
        say("Error: bad GIF-colormap\n");
        return false;
    }
    if (buf[6] != 0) reportAspect(buf[6]);
    return true;
}

// Reads one image descriptor; the image itself is decoded only when it is
// the wanted one, else its data is passed over.
enum class Descriptor { Failed, Decoded, Skipped };

Descriptor readDescriptor(KivStream* in, GifImage* out, bool wanted) {
    std::uint8_t buf[9];
    if (!readBytes(in, buf, 9)) {
        say("Error: couldn't read left/top/width/height\n");
        return Descriptor::Failed;
    }
    int packed = buf[8];
    if (packed & 0x80) {
        GifImage local;
        if (!readColourTable(in, 2 << (packed & 7), wanted ? out : &local)) {
            say("Error: error reading local colormap\n");
            return Descriptor::Failed;
        }
    }
    if (!wanted) {
        if (KivGetc(in) == EOF || !skipBlocks(in)) return Descriptor::Failed;
        return Descriptor::Skipped;
    }
    out->width = littleEndian16(buf + 4);
    out->height = littleEndian16(buf + 6);
    if (!imageSizeAcceptable(out->width, out->height)) return Descriptor::Failed;
    return readImage(in, out, (packed & 0x40) != 0) ? Descriptor::Decoded : Descriptor::Failed;
}

}  // namespace

bool imageSizeAcceptable(int width, int height) {
    if (width <= 0 || height <= 0) {
        say(formatMsg("Error: image of %d by %d pixels is empty\n", width, height).c_str());
        return false;
    }
    if (width > kMaxImageSide || height > kMaxImageSide ||
        (long long)width * height > kMaxImagePixels) {
        say(formatMsg("Error: image of %d by %d pixels is too large\n", width, height).c_str());
        return false;
    }
    return true;
}

bool decodeGif(UnitContext* ctx, KivStream* in, int imageNumber, GifImage* out) {
    ctx->gifTransparent = ctx->gifDelay = ctx->gifInput = -1;
    ctx->gifDisposal = 0;
    if (!readHeader(in, out)) return false;
    int found = 0;
    for (;;) {
        int c = KivGetc(in);
        if (c == EOF) {
            say("Error: EOF / read error on image data\n");
            return false;
        }
        if (c == ';') {
            say(formatMsg("Error: only %d image%s found in file\n", found, found == 1 ? "" : "s").c_str());
            return false;
        }
        if (c == '!') {
            int label = KivGetc(in);
            if (label == EOF) {
                say("Error: OF / read error on extention function code\n");
                return false;
            }
            doExtension(ctx, in, label);
        } else if (c == ',') {
            ++found;
            Descriptor d = readDescriptor(in, out, found == imageNumber);
            if (d == Descriptor::Failed) return false;
            if (d == Descriptor::Decoded) break;
        } else {
            say(formatMsg("Warning: bogus character 0x%02x, ignoring\n", c).c_str());
        }
    }
    out->transparent = ctx->gifTransparent;
    return true;
}
