#pragma once
// One square of ground heights at one level of the landscape, with the colour texture
// baked from them. Level 0 tiles are fine (8 × 8 of them cover the square), the one
// level 1 tile is coarse and covers it all.
#include "core/vecmath.h"
#include "assets/texture.h"

class Landscape;
struct DisplaySettings;

class LandscapeTile {
public:
    static constexpr int kSamples = 129;      // samples per side; sample 128 is shared with the next tile
    static constexpr int kTextureSize = 128;  // largest power of two not above kSamples

    // Tiles per side of a level: 8 for level 0, 1 for level 1.
    static int tileCountOf(int level) { return 1 << ((1 - level) * 3); }

    bool generate(int column, int row, int level, int seed);
    // Height-banded, jittered, Lambert-shaded RGB texels (kTextureSize² × 3 bytes).
    void bakePixels(const Vec3& scale, int level, unsigned char* rgb) const;
    void bakeTexture(const Vec3& scale, int column, int row, int level);

    // Textured draw in the tile's own sample coordinates; viewX, viewY is the viewer
    // there. owner answers the coarse level's hole test (may be null: no holes); a fine
    // tile also closes its borders with the coarse level, seen from coarseViewX, coarseViewY.
    void render(const DisplaySettings& display, int viewX, int viewY, const Texture& groundTexture,
                float detailFactor, int column, int row, int level, const Landscape* owner = nullptr,
                int coarseViewX = 0, int coarseViewY = 0);

    float height(int x, int y) const { return heights[y * kSamples + x]; }
    // Lowest and highest sample.
    void heightRange(float& lowest, float& highest) const;

    float heights[kSamples * kSamples];
    Texture colourTexture;
    float textureScale = 10;
};
