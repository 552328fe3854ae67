#include "tools/art_image.h"

#include <cmath>
#include <cstdio>

#include "assets/dumper.h"

Colour operator+(const Colour& a, const Colour& b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
Colour operator*(const Colour& a, float k) { return {a.r * k, a.g * k, a.b * k}; }
Colour operator*(const Colour& a, const Colour& b) { return {a.r * b.r, a.g * b.g, a.b * b.b}; }
Colour mix(const Colour& a, const Colour& b, float t) { return a * (1.0f - t) + b * t; }

float clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }

float smoothstep(float e0, float e1, float x)
{
    const float t = clamp01((x - e0) / (e1 - e0));
    return t * t * (3.0f - 2.0f * t);
}

ArtImage::ArtImage(int w, int h) : width(w), height(h), texels(static_cast<size_t>(w) * h) {}

unsigned char ArtImage::toByte(float v) { return static_cast<unsigned char>(std::lround(clamp01(v) * 255.0f)); }

bool ArtImage::save(const std::string& path) const
{
    const int stride = Dumper::stride(width);
    std::vector<unsigned char> rows(static_cast<size_t>(stride) * height, 0);
    for (int y = 0; y < height; ++y) {
        unsigned char* row = &rows[static_cast<size_t>(y) * stride];
        for (int x = 0; x < width; ++x) {
            const Colour& c = at(x, y);
            row[x * 3 + 0] = toByte(c.b);
            row[x * 3 + 1] = toByte(c.g);
            row[x * 3 + 2] = toByte(c.r);
        }
    }
    if (!Dumper::writeBmp(path.c_str(), rows.data(), width, height)) {
        std::printf("mkassets: unable to write %s\n", path.c_str());
        return false;
    }
    return true;
}

namespace {

// Integer hash (a xorshift-multiply mix) of a lattice point, to 0..1.
float latticeValue(int x, int y, int z, unsigned seed)
{
    unsigned h = seed * 0x9E3779B1u;
    h ^= static_cast<unsigned>(x) * 0x85EBCA77u;
    h = (h ^ (h >> 15)) * 0x2C1B3C6Du;
    h ^= static_cast<unsigned>(y) * 0xC2B2AE3Du;
    h = (h ^ (h >> 13)) * 0x297A2D39u;
    h ^= static_cast<unsigned>(z) * 0x27D4EB2Fu;
    h = (h ^ (h >> 16)) * 0x85EBCA6Bu;
    h ^= h >> 16;
    return static_cast<float>(h & 0xFFFFFF) / static_cast<float>(0xFFFFFF);
}

float fade(float t) { return t * t * t * (t * (t * 6.0f - 15.0f) + 10.0f); }
float lerp(float a, float b, float t) { return a + (b - a) * t; }
int wrap(int i, int period) { return period > 0 ? ((i % period) + period) % period : i; }

}  // namespace

float valueNoise2(float x, float y, int periodX, int periodY, unsigned seed)
{
    const float fx = std::floor(x), fy = std::floor(y);
    const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
    const float tx = fade(x - fx), ty = fade(y - fy);
    const int x0 = wrap(ix, periodX), x1 = wrap(ix + 1, periodX);
    const int y0 = wrap(iy, periodY), y1 = wrap(iy + 1, periodY);
    const float a = lerp(latticeValue(x0, y0, 0, seed), latticeValue(x1, y0, 0, seed), tx);
    const float b = lerp(latticeValue(x0, y1, 0, seed), latticeValue(x1, y1, 0, seed), tx);
    return lerp(a, b, ty);
}

float valueNoise3(float x, float y, float z, unsigned seed)
{
    const float fx = std::floor(x), fy = std::floor(y), fz = std::floor(z);
    const int ix = static_cast<int>(fx), iy = static_cast<int>(fy), iz = static_cast<int>(fz);
    const float tx = fade(x - fx), ty = fade(y - fy), tz = fade(z - fz);
    float layer[2];
    for (int k = 0; k < 2; ++k) {
        const float a = lerp(latticeValue(ix, iy, iz + k, seed), latticeValue(ix + 1, iy, iz + k, seed), tx);
        const float b = lerp(latticeValue(ix, iy + 1, iz + k, seed), latticeValue(ix + 1, iy + 1, iz + k, seed), tx);
        layer[k] = lerp(a, b, ty);
    }
    return lerp(layer[0], layer[1], tz);
}

float tileFbm(float u, float v, int cells, int octaves, unsigned seed)
{
    float sum = 0.0f, amplitude = 1.0f, total = 0.0f;
    for (int o = 0; o < octaves; ++o) {
        const int period = cells << o;
        sum += amplitude * valueNoise2(u * static_cast<float>(period), v * static_cast<float>(period), period, period,
                                       seed + static_cast<unsigned>(o) * 101u);
        total += amplitude;
        amplitude *= 0.5f;
    }
    return sum / total;
}

float fbm3(float x, float y, float z, int octaves, unsigned seed)
{
    float sum = 0.0f, amplitude = 1.0f, total = 0.0f, f = 1.0f;
    for (int o = 0; o < octaves; ++o) {
        sum += amplitude * valueNoise3(x * f, y * f, z * f, seed + static_cast<unsigned>(o) * 101u);
        total += amplitude;
        amplitude *= 0.5f;
        f *= 2.0f;
    }
    return sum / total;
}
