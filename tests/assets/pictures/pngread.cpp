#include "pngread.h"

#include <zlib.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace {
uint32_t be32(const uint8_t* p) { return (uint32_t(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3]; }

int paeth(int a, int b, int c)
{
    int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return a;
    return pb <= pc ? b : c;
}
}  // namespace

bool readPng(const std::string& path, PngPicture* out, std::string* why)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> f((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    static const uint8_t sig[8] = {137, 80, 78, 71, 13, 10, 26, 10};
    if (f.size() < 33 || !std::equal(sig, sig + 8, f.begin())) return *why = "not a PNG", false;
    int width = 0, height = 0, depth = 0, type = 0;
    std::vector<uint8_t> idat, plte;
    for (size_t at = 8; at + 12 <= f.size();) {
        uint32_t len = be32(&f[at]);
        if (at + 12 + len > f.size()) return *why = "truncated chunk", false;
        std::string kind(f.begin() + at + 4, f.begin() + at + 8);
        const uint8_t* d = &f[at + 8];
        if (kind == "IHDR") {
            width = be32(d), height = be32(d + 4), depth = d[8], type = d[9];
            if (d[12] != 0) return *why = "interlaced", false;
        } else if (kind == "PLTE") {
            plte.assign(d, d + len);
        } else if (kind == "IDAT") {
            idat.insert(idat.end(), d, d + len);
        }
        at += 12 + len;
    }
    int channels = type == 0 ? 1 : type == 2 ? 3 : type == 3 ? 1 : type == 4 ? 2 : type == 6 ? 4 : 0;
    if (!channels || width <= 0 || height <= 0) return *why = "unsupported colour type", false;
    size_t bitsPerPixel = size_t(channels) * depth, rowBytes = (width * bitsPerPixel + 7) / 8;
    size_t bpp = (bitsPerPixel + 7) / 8;
    std::vector<uint8_t> raw((rowBytes + 1) * height);
    uLongf rawLen = raw.size();
    if (uncompress(raw.data(), &rawLen, idat.data(), idat.size()) != Z_OK || rawLen != raw.size())
        return *why = "bad image data", false;

    std::vector<uint8_t> prev(rowBytes, 0), row(rowBytes);
    out->width = width, out->height = height;
    out->rgb.assign(size_t(width) * height * 3, 0);
    for (int y = 0; y < height; ++y) {
        const uint8_t* src = &raw[y * (rowBytes + 1)];
        int filter = src[0];
        for (size_t i = 0; i < rowBytes; ++i) {
            int a = i >= bpp ? row[i - bpp] : 0, b = prev[i], c = i >= bpp ? prev[i - bpp] : 0, x = src[1 + i];
            switch (filter) {
            case 1: x += a; break;
            case 2: x += b; break;
            case 3: x += (a + b) / 2; break;
            case 4: x += paeth(a, b, c); break;
            }
            row[i] = uint8_t(x);
        }
        uint8_t* dst = &out->rgb[size_t(height - 1 - y) * width * 3];
        for (int x = 0; x < width; ++x, dst += 3) {
            auto sample = [&](int channel) -> int {  // scaled to 8 bits
                if (depth == 16) return row[(size_t(x) * channels + channel) * 2];
                if (depth == 8) return row[size_t(x) * channels + channel];
                size_t bit = size_t(x) * depth;
                return (row[bit / 8] >> (8 - depth - bit % 8)) & ((1 << depth) - 1);
            };
            if (type == 3) {
                size_t i = size_t(sample(0)) * 3;
                if (i + 2 < plte.size()) dst[0] = plte[i], dst[1] = plte[i + 1], dst[2] = plte[i + 2];
            } else if (type == 0 || type == 4) {
                int v = sample(0);
                if (depth < 8) v = v * 255 / ((1 << depth) - 1);
                dst[0] = dst[1] = dst[2] = uint8_t(v);
            } else {
                dst[0] = uint8_t(sample(0)), dst[1] = uint8_t(sample(1)), dst[2] = uint8_t(sample(2));
            }
        }
        prev = row;
    }
    return true;
}
