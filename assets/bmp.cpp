// Device-independent bitmap reader, written directly against the bitmap format rules:
// core (12-byte) and info (40-byte, plus the 108/124-byte extended) headers, palettes of
// 1, 2, 4 and 8 bits, 16 and 32-bit fields, 24-bit, RLE4 and RLE8. Every read is checked
// against the bytes actually present, and every allocation is bounded by what the file
// can back before it is made.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "core/readfile.h"
#include "assets/image.h"
#include "core/problems.h"

void freeImage(Image* image)
{
    if (!image) return;
    std::free(image->data);
    delete image;
}

namespace {

const char* const kUnknownFormat = "Unknown DIB file format.\n";
const char* const kConversionError = "Image file conversion error.\n";
const char* const kOutOfMemory = "Out of memory.\n";

enum : uint32_t { kRgb = 0, kRle8 = 1, kRle4 = 2, kBitfields = 3, kAlphaBitfields = 6 };

struct Bytes {
    const unsigned char* p;
    size_t n;
    bool has(size_t at, size_t len) const { return at <= n && len <= n - at; }
    uint32_t u16(size_t at) const { return p[at] | (p[at + 1] << 8); }
    uint32_t u32(size_t at) const
    {
        return p[at] | (p[at + 1] << 8) | (p[at + 2] << 16) | (static_cast<uint32_t>(p[at + 3]) << 24);
    }
};

// One colour field of a 16 or 32-bit pixel, widened to 8 bits by rounding v * 255 / max.
// Fields of up to 12 bits (all the usual ones) go through a table built once per picture.
struct Field {
    uint32_t mask = 0;
    int shift = 0;
    uint32_t max = 0;
    bool tabled = false;
    unsigned char table[4096];

    explicit Field(uint32_t m = 0) : mask(m)
    {
        if (!mask) return;
        while (!((mask >> shift) & 1u)) ++shift;
        max = mask >> shift;
        if (max < 4096) {
            tabled = true;
            for (uint32_t v = 0; v <= max; ++v) table[v] = widen(v);
        }
    }
    unsigned char widen(uint64_t v) const { return static_cast<unsigned char>((v * 255 + max / 2) / max); }
    unsigned char get(uint32_t pixel) const
    {
        if (!max) return 0;
        uint32_t v = (pixel & mask) >> shift;
        return tabled ? table[v] : widen(v);
    }
};

struct Rgb {
    unsigned char r, g, b;
};

struct Header {
    bool core = false;
    int64_t width = 0, height = 0;
    uint32_t bits = 0, compression = 0, coloursUsed = 0;
    uint32_t masks[3] = {0, 0, 0};
};

Image* fail(const char* message)
{
    std::fputs(message, stdout);
    return nullptr;
}

int paletteBits(uint32_t bits) { return bits <= 8 ? static_cast<int>(bits) : 0; }

// Fills the run-length coded picture into out (already cleared to black). Decoding stops
// at end of bitmap, at the end of the data, or when a code would leave the picture; runs
// that cross the row end are clipped there, and pixels never written stay black.
void decodeRle(const Bytes& f, size_t at, bool four, const Rgb* palette, int64_t width, int64_t height,
               unsigned char* out)
{
    int64_t x = 0, y = 0;
    auto put = [&](uint32_t index) {
        if (x < width && y < height) {
            unsigned char* d = out + (y * width + x) * 3;
            d[0] = palette[index].r;
            d[1] = palette[index].g;
            d[2] = palette[index].b;
        }
        ++x;
    };
    while (f.has(at, 2) && y < height) {
        uint32_t count = f.p[at], code = f.p[at + 1];
        at += 2;
        if (count) {
            for (uint32_t i = 0; i < count; ++i) put(four ? ((i & 1) ? code & 15 : code >> 4) : code);
            continue;
        }
        if (code == 0) {  // end of line
            x = 0;
            ++y;
        } else if (code == 1) {  // end of bitmap
            break;
        } else if (code == 2) {  // delta
            if (!f.has(at, 2)) break;
            x += f.p[at];
            y += f.p[at + 1];
            at += 2;
        } else {  // absolute run, padded to a 16-bit boundary
            size_t len = four ? (code + 1) / 2 : code;
            if (!f.has(at, len)) break;
            for (uint32_t i = 0; i < code; ++i) {
                uint32_t b = f.p[at + (four ? i / 2 : i)];
                put(four ? ((i & 1) ? b & 15 : b >> 4) : b);
            }
            at += len + (len & 1);
        }
    }
}

}  // namespace

Image* decodeBmp(const unsigned char* bytes, size_t size)
{
    Bytes f{bytes, size};
    bool fileHeader = f.has(0, 2) && bytes[0] == 'B' && bytes[1] == 'M';
    size_t hdr = fileHeader ? 14 : 0;
    if (!f.has(hdr, 4)) return fail(kUnknownFormat);
    uint32_t headerSize = f.u32(hdr);
    if (headerSize != 12 && headerSize != 40 && headerSize != 108 && headerSize != 124) return fail(kUnknownFormat);
    if (!f.has(hdr, headerSize) || (fileHeader && !f.has(10, 4))) return fail(kConversionError);

    Header h;
    if (headerSize == 12) {
        h.core = true;
        h.width = f.u16(hdr + 4);
        h.height = f.u16(hdr + 6);
        h.bits = f.u16(hdr + 10);
    } else {
        h.width = static_cast<int32_t>(f.u32(hdr + 4));
        h.height = static_cast<int32_t>(f.u32(hdr + 8));
        h.bits = f.u16(hdr + 14);
        h.compression = f.u32(hdr + 16);
        h.coloursUsed = f.u32(hdr + 32);
    }

    // Where the colour table starts: 40-byte headers keep their field masks after the
    // header, the extended headers inside it.
    size_t tableAt = hdr + headerSize;
    bool fields = h.compression == kBitfields || h.compression == kAlphaBitfields;
    if (fields) {
        size_t masksAt = hdr + 40;
        if (!f.has(masksAt, 12)) return fail(kConversionError);
        for (int i = 0; i < 3; ++i) h.masks[i] = f.u32(masksAt + 4 * i);
        if (headerSize == 40) tableAt += h.compression == kAlphaBitfields ? 16 : 12;
    } else if (h.bits == 16) {
        h.masks[0] = 0x7C00, h.masks[1] = 0x03E0, h.masks[2] = 0x001F;
    } else if (h.bits == 32) {
        h.masks[0] = 0xFF0000, h.masks[1] = 0xFF00, h.masks[2] = 0xFF;
    }

    bool topDown = h.height < 0;
    int64_t width = h.width, height = topDown ? -h.height : h.height;
    if (width <= 0 || height <= 0) return fail(kConversionError);
    bool depthOk = h.bits == 1 || h.bits == 2 || h.bits == 4 || h.bits == 8 || h.bits == 16 || h.bits == 24 ||
                   h.bits == 32;
    bool compressionOk = h.compression == kRgb || (h.compression == kRle8 && h.bits == 8) ||
                         (h.compression == kRle4 && h.bits == 4) ||
                         (fields && (h.bits == 16 || h.bits == 32));
    // Run-length data is bottom-up by definition; a top-down one is corrupt.
    bool rle = h.compression == kRle8 || h.compression == kRle4;
    if (!depthOk || !compressionOk || (rle && topDown)) return fail(kConversionError);

    int bitsPal = paletteBits(h.bits);
    uint64_t tableLength = (!h.core && h.coloursUsed) ? h.coloursUsed : bitsPal ? (1u << bitsPal) : 0;
    size_t entry = h.core ? 3 : 4;
    Rgb palette[256];
    std::memset(palette, 0, sizeof palette);  // indices past the table draw black
    if (bitsPal) {
        uint64_t used = tableLength < (1u << bitsPal) ? tableLength : (1u << bitsPal);
        if (!f.has(tableAt, used * entry)) return fail(kConversionError);
        for (uint64_t i = 0; i < used; ++i) {
            const unsigned char* e = bytes + tableAt + i * entry;
            palette[i] = Rgb{e[2], e[1], e[0]};
        }
    }

    // A stored offset pointing back into the headers (some writers leave it 0) is
    // ignored: the pixels then follow the colour table as in a file without "BM".
    uint64_t dataAt = tableAt + tableLength * entry;
    if (fileHeader && f.u32(10) >= tableAt) dataAt = f.u32(10);
    if (dataAt >= size) return fail(kConversionError);
    uint64_t available = size - dataAt;
    uint64_t stride = ((static_cast<uint64_t>(width) * h.bits + 31) / 32) * 4;
    uint64_t lastRow = (static_cast<uint64_t>(width) * h.bits + 7) / 8;
    // The uncompressed rows must all be in the file (the last row's padding may be cut).
    if (!rle && (height - 1 > static_cast<int64_t>(available / stride) ||
                 static_cast<uint64_t>(height - 1) * stride + lastRow > available))
        return fail(kConversionError);
    if (width > kMaxImagePixels || width * height > kMaxImagePixels) return fail(kOutOfMemory);

    size_t outBytes = static_cast<size_t>(width * height * 3);
    unsigned char* out = static_cast<unsigned char*>(rle ? std::calloc(outBytes, 1) : std::malloc(outBytes));
    if (!out) return fail(kOutOfMemory);

    if (rle) {
        decodeRle(f, dataAt, h.compression == kRle4, palette, width, height, out);
    } else {
        Field r(h.masks[0]), g(h.masks[1]), b(h.masks[2]);
        for (int64_t row = 0; row < height; ++row) {
            const unsigned char* s = bytes + dataAt + row * stride;
            unsigned char* d = out + (topDown ? height - 1 - row : row) * width * 3;
            for (int64_t x = 0; x < width; ++x, d += 3) {
                switch (h.bits) {
                case 24:
                    d[0] = s[x * 3 + 2], d[1] = s[x * 3 + 1], d[2] = s[x * 3];
                    break;
                case 16:
                case 32: {
                    uint32_t v = h.bits == 16 ? f.u16(s - bytes + x * 2) : f.u32(s - bytes + x * 4);
                    d[0] = r.get(v), d[1] = g.get(v), d[2] = b.get(v);
                    break;
                }
                default: {  // palette: pixels packed from the high bits of each byte
                    int64_t bit = x * h.bits;
                    uint32_t index = (s[bit >> 3] >> (8 - h.bits - (bit & 7))) & ((1u << h.bits) - 1);
                    d[0] = palette[index].r, d[1] = palette[index].g, d[2] = palette[index].b;
                }
                }
            }
        }
    }

    Image* image = new (std::nothrow) Image;
    if (!image) {
        std::free(out);
        return fail(kOutOfMemory);
    }
    image->width = static_cast<int>(width);
    image->height = static_cast<int>(height);
    image->data = out;
    return image;
}

Image* loadBmpImage(const char* path)
{
    FILE* file = openRegularFile(path, "rb");
    long size = -1;
    if (file && std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
    // An empty file cannot be mapped, so it fails like a missing one.
    if (!file || size <= 0 || std::fseek(file, 0, SEEK_SET) != 0) {
        if (file) std::fclose(file);
        tv::problem("Failed to open DIB file %s.\n", readPath(path).c_str());
        return nullptr;
    }
    unsigned char* bytes = static_cast<unsigned char*>(std::malloc(static_cast<size_t>(size)));
    if (!bytes) {
        std::fclose(file);
        return fail(kOutOfMemory);
    }
    size_t got = std::fread(bytes, 1, static_cast<size_t>(size), file);
    std::fclose(file);
    if (got != static_cast<size_t>(size)) {
        std::free(bytes);
        tv::problem("Failed to open DIB file %s.\n", readPath(path).c_str());
        return nullptr;
    }
    Image* image = decodeBmp(bytes, got);
    std::free(bytes);
    return image;
}
