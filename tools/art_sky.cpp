#include "tools/art_sky.h"

#include <cmath>

namespace sky {

const char* const kFaceNames[kFaceCount] = {"ft", "bk", "dn", "up", "rt", "lf"};

const int kFaceCorners[kFaceCount][4] = {
    {6, 4, 5, 7}, {0, 2, 3, 1}, {2, 6, 7, 3}, {4, 0, 1, 5}, {1, 3, 7, 5}, {4, 6, 2, 0},
};

const float kFaceTexCoords[kFaceCount][4][2] = {
    {{1, 0}, {1, 1}, {0, 1}, {0, 0}}, {{0, 1}, {0, 0}, {1, 0}, {1, 1}}, {{0, 0}, {1, 0}, {1, 1}, {0, 1}},
    {{1, 1}, {0, 1}, {0, 0}, {1, 0}}, {{0, 1}, {0, 0}, {1, 0}, {1, 1}}, {{0, 1}, {0, 0}, {1, 0}, {1, 1}},
};

Vec3 corner(int k)
{
    return Vec3((k & 4) ? 1.0f : -1.0f, (k & 2) ? 1.0f : -1.0f, (k & 1) ? 1.0f : -1.0f);
}

Vec3 facePoint(int face, float s, float t)
{
    // Each face's texture coordinates are the four corners of the unit square, so the
    // bilinear weight of a corner is a product of s or 1 - s and t or 1 - t.
    Vec3 p(0, 0, 0);
    for (int c = 0; c < 4; ++c) {
        const float ws = kFaceTexCoords[face][c][0] > 0.5f ? s : 1.0f - s;
        const float wt = kFaceTexCoords[face][c][1] > 0.5f ? t : 1.0f - t;
        p = p + corner(kFaceCorners[face][c]) * (ws * wt);
    }
    return p;
}

Vec3 cubeToWorld(const Vec3& v) { return Vec3(v.x, v.z, -v.y); }

namespace {

const Colour kHorizon{0.80f, 0.87f, 0.95f};
const Colour kZenith{0.16f, 0.36f, 0.76f};
const Colour kGroundNear{0.40f, 0.39f, 0.36f};
const Colour kGroundFar{0.20f, 0.19f, 0.17f};
const Colour kCloudLit{0.98f, 0.98f, 0.97f};
const Colour kCloudShade{0.68f, 0.72f, 0.80f};
const Colour kSunGlow{1.0f, 0.85f, 0.55f};

// Low in the north-east (55 degrees round from +x, 16 up), in a gap between clouds.
Vec3 sunDirection() { return Vec3(0.5513f, 0.7874f, 0.2756f); }

}  // namespace

Colour colour(const Vec3& dir)
{
    const Vec3 d = normalised(dir);
    const float e = d.z;

    // Sky dome: pale at the horizon, deeper towards the zenith.
    Colour c = mix(kHorizon, kZenith, std::pow(clamp01(e), 0.45f));

    // Soft clouds from 3-D noise of the direction, thinning towards the horizon.
    const Vec3 sun = sunDirection();
    const float n = fbm3(d.x * 2.6f + 11.3f, d.y * 2.6f + 5.7f, d.z * 2.6f + 3.1f, 5, 7u);
    const float cover = smoothstep(0.50f, 0.70f, n) * smoothstep(0.03f, 0.30f, e);
    if (cover > 0.0f) {
        // Lighter where the cloud thins towards the sun, darker in its thick middle.
        const float towards = fbm3(d.x * 2.6f + 11.3f + sun.x * 0.08f, d.y * 2.6f + 5.7f + sun.y * 0.08f,
                                   d.z * 2.6f + 3.1f + sun.z * 0.08f, 5, 7u);
        const float shade = clamp01(0.5f + (n - towards) * 6.0f) * smoothstep(0.55f, 0.85f, n);
        c = mix(c, mix(kCloudLit, kCloudShade, shade), cover * 0.92f);
    }

    // The sun: a small bright disc in a wide warm glow, above the horizon only.
    const float cosSun = clamp01(dot(d, sun));
    const float glow =
        std::pow(cosSun, 900.0f) * 1.0f + std::pow(cosSun, 60.0f) * 0.22f + std::pow(cosSun, 8.0f) * 0.07f;
    c = c + kSunGlow * (glow * smoothstep(-0.02f, 0.04f, e));

    // Dim ground below a band of haze at the horizon.
    if (e < 0.0f) {
        const Colour ground = mix(kGroundNear, kGroundFar, smoothstep(0.0f, 0.6f, -e));
        c = mix(c, ground, smoothstep(0.0f, 0.08f, -e));
    }
    return {clamp01(c.r), clamp01(c.g), clamp01(c.b)};
}

ArtImage face(int faceIndex, int size)
{
    ArtImage image(size, size);
    const float last = static_cast<float>(size - 1);
    for (int j = 0; j < size; ++j)
        for (int i = 0; i < size; ++i)
            image.at(i, j) = colour(cubeToWorld(facePoint(faceIndex, static_cast<float>(i) / last,
                                                          static_cast<float>(j) / last)));
    return image;
}

}  // namespace sky
