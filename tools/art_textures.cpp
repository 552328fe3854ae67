#include "tools/art_textures.h"

#include <cmath>

namespace art {

namespace {

// Texel centre as a fraction of the tile, so periodic noise sampled here wraps.
float frac(int i, int size) { return (static_cast<float>(i) + 0.5f) / static_cast<float>(size); }

// Distance to the nearest integer, for periodic stripes and joints.
float distanceToInteger(float x) { return std::fabs(x - std::round(x)); }

}  // namespace

ArtImage glowSprite(int size)
{
    ArtImage image(size, size);
    const float centre = static_cast<float>(size) * 0.5f;
    // The glow ends half a texel inside the border, so every border texel is black.
    const float reach = centre - 1.0f;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float dx = (static_cast<float>(x) + 0.5f - centre) / reach;
            const float dy = (static_cast<float>(y) + 0.5f - centre) / reach;
            const float r2 = dx * dx + dy * dy;
            float v = 0.0f;
            if (r2 < 1.0f) {
                // A bright core over a wide halo, both pulled to zero (with zero slope)
                // at the rim by the (1 - r^2)^2 window.
                const float window = (1.0f - r2) * (1.0f - r2);
                v = (0.65f * std::exp(-r2 * 9.0f) + 0.35f) * window;
            }
            image.at(x, y) = {v, v, v};
        }
    return image;
}

ArtImage groundDetail(int size)
{
    ArtImage image(size, size);
    const Colour dirt{0.86f, 0.80f, 0.70f};
    const Colour grit{1.0f, 0.98f, 0.93f};
    const Colour moss{0.80f, 0.86f, 0.72f};
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float u = frac(x, size), v = frac(y, size);
            const float broad = tileFbm(u, v, 4, 4, 21u);
            const float fine = tileFbm(u, v, 32, 3, 22u);
            const float patches = smoothstep(0.45f, 0.70f, tileFbm(u, v, 3, 3, 23u));
            Colour c = mix(dirt, grit, broad);
            c = mix(c, moss, patches * 0.6f);
            // Speckles of small stones and pits, still never darker than about 0.65.
            const float speck = (fine - 0.5f) * 0.35f;
            c = c * (0.90f + speck);
            image.at(x, y) = c;  // saving clamps each channel
        }
    return image;
}

ArtImage bone(int size)
{
    ArtImage image(size, size);
    const Colour ivory{0.95f, 0.91f, 0.80f};
    const Colour aged{0.82f, 0.75f, 0.60f};
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float u = frac(x, size), v = frac(y, size);
            const float tone = tileFbm(u, v, 3, 4, 31u);
            // Fibres run along u: noise with twelve times more cells across them than along.
            const float fibre = valueNoise2(u * 2.0f, v * 24.0f, 2, 24, 32u) * 0.6f + tileFbm(u, v, 16, 2, 33u) * 0.4f;
            const float pores = smoothstep(0.70f, 0.85f, tileFbm(u, v, 24, 2, 34u));
            Colour c = mix(ivory, aged, smoothstep(0.35f, 0.8f, tone) * 0.6f);
            c = c * (0.94f + (fibre - 0.5f) * 0.18f);
            c = mix(c, aged * 0.85f, pores * 0.5f);
            image.at(x, y) = c;  // saving clamps each channel
        }
    return image;
}

ArtImage stone(int size)
{
    ArtImage image(size, size);
    const int courses = 4;  // rows of blocks per tile; each block is twice as wide as high
    const Colour mortar{0.55f, 0.53f, 0.50f};
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float u = frac(x, size), v = frac(y, size);
            const float row = v * static_cast<float>(courses);
            const int course = static_cast<int>(std::floor(row));
            // Every other course is shifted by half a block.
            const float col = u * static_cast<float>(courses) * 0.5f + ((course & 1) ? 0.5f : 0.0f);
            const int block = static_cast<int>(std::floor(col));
            const float jointV = distanceToInteger(row) / static_cast<float>(courses);
            const float jointU = distanceToInteger(col) * 2.0f / static_cast<float>(courses);
            const float joint = std::fmin(jointV, jointU);
            // Each block gets its own shade from the lattice hash of its index.
            const float blockShade = valueNoise2(static_cast<float>(block % (courses / 2)) + 0.5f,
                                                 static_cast<float>(course) + 0.5f, courses / 2, courses, 41u);
            const float grain = tileFbm(u, v, 8, 4, 42u);
            const float base = 0.62f + blockShade * 0.22f + (grain - 0.5f) * 0.25f;
            Colour c{base * 1.02f, base, base * 0.95f};
            const float inJoint = 1.0f - smoothstep(0.004f, 0.010f, joint);
            // A light bevel along the block edges.
            const float bevel = smoothstep(0.010f, 0.025f, joint);
            c = c * (0.88f + 0.12f * bevel);
            c = mix(c, mortar * (0.9f + grain * 0.2f), inJoint);
            image.at(x, y) = c;  // saving clamps each channel
        }
    return image;
}

ArtImage wood(int size)
{
    ArtImage image(size, size);
    const int planks = 4;
    const Colour light{0.78f, 0.58f, 0.36f};
    const Colour dark{0.52f, 0.34f, 0.18f};
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float u = frac(x, size), v = frac(y, size);
            const float plankPos = u * static_cast<float>(planks);
            const int plank = static_cast<int>(std::floor(plankPos));
            // Grain: stripes across u, bent by noise that is slow along the plank.
            const float bend = tileFbm(u, v, 2, 3, 51u + static_cast<unsigned>(plank)) * 3.0f;
            const float rings = 0.5f + 0.5f * std::sin((plankPos * 6.0f + bend) * 2.0f * 3.14159265f);
            const float streak = tileFbm(u * 1.0f, v, 32, 2, 52u);
            Colour c = mix(light, dark, rings * 0.55f + (streak - 0.5f) * 0.3f);
            const float tint = valueNoise2(static_cast<float>(plank) + 0.5f, 0.5f, planks, 1, 53u);
            c = c * (0.88f + tint * 0.2f);
            const float gap = 1.0f - smoothstep(0.0f, 0.012f * planks, distanceToInteger(plankPos));
            c = mix(c, dark * 0.45f, gap);
            image.at(x, y) = c;  // saving clamps each channel
        }
    return image;
}

ArtImage jelly(int size)
{
    ArtImage image(size, size);
    const Colour deep{0.16f, 0.62f, 0.30f};
    const Colour bright{0.50f, 0.92f, 0.46f};
    const Colour rim{0.82f, 1.0f, 0.78f};
    const int cells = 6;  // one bubble per cell of a 6 x 6 grid that wraps with the tile
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float u = frac(x, size), v = frac(y, size);
            Colour c = mix(deep, bright, tileFbm(u, v, 3, 4, 61u));
            // The nearest bubbles: each cell's centre and radius come from the lattice
            // hash (value noise read at whole lattice points).
            const float gu = u * cells, gv = v * cells;
            const int cu = static_cast<int>(std::floor(gu)), cv = static_cast<int>(std::floor(gv));
            for (int dv = -1; dv <= 1; ++dv)
                for (int du = -1; du <= 1; ++du) {
                    const float lu = static_cast<float>(cu + du), lv = static_cast<float>(cv + dv);
                    const float bx = lu + 0.2f + 0.6f * valueNoise2(lu, lv, cells, cells, 62u);
                    const float by = lv + 0.2f + 0.6f * valueNoise2(lu, lv, cells, cells, 63u);
                    const float radius = 0.12f + 0.16f * valueNoise2(lu, lv, cells, cells, 64u);
                    const float d = std::sqrt((gu - bx) * (gu - bx) + (gv - by) * (gv - by)) / radius;
                    if (d >= 1.0f) continue;
                    // A faint body, a brighter rim and a small highlight up and to the left.
                    const float edge = smoothstep(0.6f, 0.95f, d) * (1.0f - smoothstep(0.95f, 1.0f, d));
                    const float hx = (gu - bx) / radius + 0.35f, hy = (gv - by) / radius - 0.35f;
                    const float highlight = 1.0f - smoothstep(0.0f, 0.3f, std::sqrt(hx * hx + hy * hy));
                    c = mix(c, rim, 0.15f + 0.45f * edge);
                    c = mix(c, Colour{1, 1, 1}, 0.8f * highlight);
                }
            image.at(x, y) = c;  // saving clamps each channel
        }
    return image;
}

ArtImage metal(int size)
{
    ArtImage image(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float u = frac(x, size), v = frac(y, size);
            // Brushed along u: the fine noise has 2 cells across u but 64 along v.
            const float brush = valueNoise2(u * 2.0f, v * 64.0f, 2, 64, 71u) * 0.6f +
                                valueNoise2(u * 4.0f, v * 128.0f, 4, 128, 72u) * 0.4f;
            const float cloud = tileFbm(u, v, 2, 3, 73u);
            const float g = 0.62f + (brush - 0.5f) * 0.18f + (cloud - 0.5f) * 0.16f;
            image.at(x, y) = {clamp01(g * 0.97f), clamp01(g), clamp01(g * 1.04f)};
        }
    return image;
}

}  // namespace art
