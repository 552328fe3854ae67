#include "terrain/landscapetile.h"

#include <GL/gl.h>

#include <cstdio>
#include <new>
#include <vector>

#include "core/random.h"
#include "terrain/noise.h"

bool LandscapeTile::generate(int column, int row, int level, int seed)
{
    const int s = 1 << (3 * level);  // 8^level
    textureScale = 10.0f * s;
    // Frequency s / 129 puts level-1 sample X and level-0 sample 128c + x = 8X on the
    // same noise coordinate exactly (the factor 8 is a power of two).
    if (!fillFractalNoise(heights, kSamples, kSamples, sizeof(float), 10, 0.5f, 1.0f, s / 129.0f,
                          static_cast<float>(column * 128), static_cast<float>(row * 128), seed)) {
        printf("Perlin landscape creation failed\n");
        return false;
    }
    for (float& h : heights) h += 0.5f;
    return true;
}

void LandscapeTile::heightRange(float& lowest, float& highest) const
{
    lowest = highest = heights[0];
    for (float h : heights) {
        if (h < lowest) lowest = h;
        if (h > highest) highest = h;
    }
}

void LandscapeTile::bakePixels(const Vec3& scale, int level, unsigned char* rgb) const
{
    static const Vec3 bands[8] = {{0.4f, 1.0f, 0.1f}, {0.2f, 0.4f, 0.2f}, {0.25f, 0.6f, 0.3f}, {0.3f, 0.5f, 0.2f},
                                  {0.4f, 1.0f, 0.3f}, {0.6f, 0.8f, 0.5f}, {0.6f, 0.7f, 0.8f}, {1.0f, 1.0f, 1.0f}};
    const float levelFactor = 1.0f / tileCountOf(level);
    const Vec3 light = normalised(Vec3(1, -1, 3));
    const int T = kTextureSize;
    const float stepX = scale.x / 128 * levelFactor;
    const float stepY = scale.y / 128 * levelFactor;

    for (int r = 0; r < kSamples; ++r) {
        for (int c = 0; c < kSamples; ++c) {
            // Jitter from the shared random stream: a tile's texels depend on what was drawn before.
            float h = static_cast<float>(height(c, r) + tv::rand() / 32767.0 * 0.1 - 0.05);
            if (h < 0) h = 0;
            if (h > 1) h = 1;
            float f = h * 7;
            int i = static_cast<int>(f);
            float t = f - i;
            Vec3 colour = i == 7 ? bands[7] : bands[i] * (1 - t) + bands[i + 1] * t;

            Vec3 tx(0, 0, 0), ty(0, 0, 0);
            if (c > 0) tx += Vec3(stepX, 0, (height(c, r) - height(c - 1, r)) * scale.z);
            if (c < kSamples - 1) tx += Vec3(stepX, 0, (height(c + 1, r) - height(c, r)) * scale.z);
            if (r > 0) ty += Vec3(0, stepY, (height(c, r) - height(c, r - 1)) * scale.z);
            if (r < kSamples - 1) ty += Vec3(0, stepY, (height(c, r + 1) - height(c, r)) * scale.z);
            Vec3 n = normalised(cross(tx, ty));
            float d = dot(n, light);
            if (d < 0.2f) d = 0.2f;
            colour *= d;

            int u = static_cast<int>(c / 128.0f * (T - 1));
            int v = static_cast<int>(r / 128.0f * (T - 1));
            unsigned char* p = rgb + (T * v + u) * 3;
            p[0] = static_cast<unsigned char>(static_cast<int>(colour.x * 255));
            p[1] = static_cast<unsigned char>(static_cast<int>(colour.y * 255));
            p[2] = static_cast<unsigned char>(static_cast<int>(colour.z * 255));
        }
    }
}

void LandscapeTile::bakeTexture(const Vec3& scale, int /*column*/, int /*row*/, int level)
{
    colourTexture.release();
    const int T = kTextureSize;
    unsigned char* rgb = new (std::nothrow) unsigned char[T * T * 3];
    if (!rgb) return;
    bakePixels(scale, level, rgb);
    colourTexture.build2DMipmaps(T, T, GL_RGB, GL_UNSIGNED_BYTE, rgb, 3, T * 3);
    delete[] rgb;
}
