// Octave value noise and the midpoint generator: hash arithmetic, truncation, octave
// sums, the cached fill against the sample-by-sample reference, the random stream.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/random.h"
#include "terrain/noise.h"

namespace {

// The hash written with 64-bit unsigned intermediates and an explicit 32-bit wrap.
float hashReference(int64_t ix, int64_t iy, int64_t seed)
{
    const uint64_t mask = 0xffffffffULL;
    uint64_t n = static_cast<uint64_t>(ix * 3 + seed + iy * 57) & mask;
    n = ((n << 13) ^ n) & mask;
    uint64_t inner = ((n * n & mask) * 15731 + 789221) & mask;
    uint64_t m = ((n * inner) & mask) + 1376312589;
    m &= 0x7fffffff;
    return static_cast<float>(1.0 - static_cast<double>(m) / 1073741824.0);
}

std::vector<float> fill(int w, int h, int octaves, float freq, float ox, float oy, int seed, bool reference,
                        int stride = 4)
{
    std::vector<float> g(static_cast<size_t>(w) * h * stride / 4, 12345.0f);
    (reference ? fillFractalNoiseReference : fillFractalNoise)(g.data(), w, h, stride, octaves, 0.5f, 1.0f, freq, ox,
                                                               oy, seed);
    return g;
}

bool sameBits(const std::vector<float>& a, const std::vector<float>& b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

}  // namespace

TEST(NoiseHash, WrapsAroundLikeThirtyTwoBitIntegersAndStaysInRange)
{
    const int coords[] = {0, 1, -1, 57, -4096, 65535, 46341, -46341, 2147483647, -2147483647 - 1, 123456789};
    const int seeds[] = {213, 0, -1, 2147483647};
    for (int seed : seeds) {
        for (int x : coords)
            for (int y : coords) EXPECT_EQ(noiseHash(x, y, seed), hashReference(x, y, seed)) << x << "," << y;
    }
    // The masked value is always odd, so 1.0 itself never comes out; -1 is the floor.
    float lo = 2, hi = -2;
    for (int y = -300; y < 300; ++y) {
        for (int x = -300; x < 300; ++x) {
            float v = noiseHash(x, y);
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
    }
    EXPECT_GE(lo, -1.0f);
    EXPECT_LT(hi, 1.0f);
    EXPECT_LT(lo, -0.99f);
    EXPECT_GT(hi, 0.99f);
}

TEST(Noise, SmoothingAndInterpolationFollowTheirWeights)
{
    const auto h = [](int x, int y) { return noiseHash(x, y, 77); };
    float s = smoothedNoise(5, -3, 77);
    double expect = (h(4, -4) + h(6, -4) + h(4, -2) + h(6, -2)) / 16.0 +
                    (h(4, -3) + h(6, -3) + h(5, -4) + h(5, -2)) / 8.0 + h(5, -3) / 4.0;
    EXPECT_NEAR(s, expect, 1e-6);

    EXPECT_FLOAT_EQ(cosineInterpolate(2, 6, 0), 2);
    EXPECT_FLOAT_EQ(cosineInterpolate(2, 6, 0.5f), 4);
    EXPECT_NEAR(cosineInterpolate(2, 6, 1), 6, 1e-6);
    EXPECT_NEAR(cosineInterpolate(0, 1, 0.25f), (1 - std::cos(0.25 * M_PI)) / 2, 1e-6);

    // Lattice points give the smoothed value itself.
    EXPECT_EQ(interpolatedNoise(3, 9, 77), smoothedNoise(3, 9, 77));
}

TEST(Noise, NegativeCoordinatesTruncateTowardZero)
{
    // x = -0.5: ix = 0 and fx = -0.5, so the lattice pair is (0, 1), not (-1, 0).
    float truncated = cosineInterpolate(smoothedNoise(0, 2), smoothedNoise(1, 2), -0.5f);
    EXPECT_EQ(interpolatedNoise(-0.5f, 2), truncated);
    float floored = cosineInterpolate(smoothedNoise(-1, 2), smoothedNoise(0, 2), 0.5f);
    EXPECT_NE(interpolatedNoise(-0.5f, 2), floored);
    float yTrunc = cosineInterpolate(smoothedNoise(4, 0), smoothedNoise(4, 1), -0.25f);
    EXPECT_EQ(interpolatedNoise(4, -0.25f), yTrunc);
}

// Beyond the int range a float is a whole number, and the lattice wraps as the hash does:
// every 2^32 steps. Coordinates that are no number give 0. Lattice neighbours of the
// extreme ints wrap too.
TEST(Noise, HugeAndNonFiniteCoordinatesStayOnTheWrappedLattice)
{
    const struct {
        float huge, same;
    } wraps[] = {
        {4294967808.0f, 512},             // 2^32 + 512
        {3e9f, -1294967296.0f},           // 3e9 - 2^32
        {-4294967296.0f, 0},              // -2^32
        {-2147483904.0f, 2147483392.0f},  // just below the int range: -2^31 - 256 + 2^32
        {1e30f, 0},                       // multiples of 2^32
        {-3.4e38f, 0},
    };
    for (const auto& w : wraps) {
        EXPECT_EQ(interpolatedNoise(w.huge, 2.5f), interpolatedNoise(w.same, 2.5f)) << w.huge;
        EXPECT_EQ(interpolatedNoise(-7.25f, w.huge), interpolatedNoise(-7.25f, w.same)) << w.huge;
        EXPECT_EQ(interpolatedNoise(w.huge, w.huge), interpolatedNoise(w.same, w.same)) << w.huge;
    }
    for (float bad : {NAN, INFINITY, -INFINITY}) {
        EXPECT_EQ(interpolatedNoise(bad, 3.5f), 0.0f);
        EXPECT_EQ(interpolatedNoise(3.5f, bad), 0.0f);
    }
    // The 3 × 3 neighbourhood of the extreme ints, from the 64-bit reference hash.
    auto smoothRef = [](int64_t x, int64_t y) {
        auto h = [](int64_t a, int64_t b) { return hashReference(a, b, 213); };
        float corners = h(x - 1, y - 1) + h(x + 1, y - 1) + h(x - 1, y + 1) + h(x + 1, y + 1);
        float sides = h(x - 1, y) + h(x + 1, y) + h(x, y - 1) + h(x, y + 1);
        return corners / 16 + sides / 8 + h(x, y) / 4;
    };
    const int intMin = -2147483647 - 1, intMax = 2147483647;
    for (int x : {intMin, intMax, 0})
        for (int y : {intMin, intMax, 5}) EXPECT_EQ(smoothedNoise(x, y), smoothRef(x, y)) << x << "," << y;

    // A fill at such offsets stays within the sum of its octaves' amplitudes.
    for (float offset : {3e9f, 1e30f, INFINITY, NAN}) {
        auto g = fill(6, 4, 5, 0.7f, offset, -offset, 3, false);
        for (float v : g) EXPECT_TRUE(std::fabs(v) <= 2.0f) << offset << " " << v;
    }
}

TEST(FractalNoise, SumsOctavesOfDoublingFrequencyAndDecayingAmplitude)
{
    float cell[1];
    fillFractalNoise(cell, 1, 1, 4, 3, 0.5f, 2.0f, 0.3f, 7, 11, 99);
    float expect = 0;
    expect += interpolatedNoise(7 * 0.3f, 11 * 0.3f, 99) * 2.0f;
    expect += interpolatedNoise(7 * 0.6f, 11 * 0.6f, 99) * 1.0f;
    expect += interpolatedNoise(7 * 1.2f, 11 * 1.2f, 99) * 0.5f;
    EXPECT_EQ(cell[0], expect);

    std::vector<float> zero = fill(9, 5, 0, 0.1f, 0, 0, 1, false);
    for (float v : zero) EXPECT_EQ(v, 0.0f);
}

// The cached fill must give the reference's heights bit for bit, whatever the offsets,
// sizes, frequencies (lattice coarser or finer than the grid) and stride.
TEST(FractalNoise, CachedFillMatchesTheReferenceBitForBit)
{
    struct Case {
        int w, h, octaves;
        float freq, ox, oy;
        int seed;
    } cases[] = {
        {129, 129, 10, 1 / 129.0f, 4 * 128, 4 * 128, 213},  // a fine tile
        {129, 129, 10, 8 / 129.0f, 0, 0, 213},             // the coarse tile
        {129, 129, 10, 1 / 129.0f, 7 * 128, 0, -5},
        {17, 33, 6, 0.37f, -40.5f, -3.25f, 1},             // negative coordinates
        {40, 3, 12, 0.9f, 1000, -1000, 2147483647},        // lattice much finer than the grid
        {1, 1, 4, 0.5f, 0, 0, 0},
    };
    for (const Case& c : cases) {
        auto fast = fill(c.w, c.h, c.octaves, c.freq, c.ox, c.oy, c.seed, false);
        auto ref = fill(c.w, c.h, c.octaves, c.freq, c.ox, c.oy, c.seed, true);
        EXPECT_TRUE(sameBits(fast, ref)) << c.w << "x" << c.h << " freq " << c.freq;
    }
    // Cells eight bytes apart leave the floats between them alone.
    auto strided = fill(20, 10, 5, 0.2f, 3, 4, 8, false, 8);
    auto packed = fill(20, 10, 5, 0.2f, 3, 4, 8, true);
    for (int i = 0; i < 200; ++i) {
        ASSERT_EQ(strided[2 * i], packed[i]);
        ASSERT_EQ(strided[2 * i + 1], 12345.0f);
    }
}

TEST(FractalNoise, SamePositionGivesTheSameHeightAtAnyOffset)
{
    auto wide = fill(300, 20, 10, 1 / 129.0f, 0, 0, 213, false);
    auto shifted = fill(129, 20, 10, 1 / 129.0f, 128, 0, 213, false);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 129; ++x) ASSERT_EQ(shifted[y * 129 + x], wide[y * 300 + 128 + x]);
}

TEST(Midpoint, SetCellsAreKeptButTheRandomStreamAdvancesAsIfWritten)
{
    const int w = 16, h = 16;
    std::vector<float> fresh(w * h, -INFINITY), preset(w * h, 0.25f);
    tv::setRandState(4242);
    generateMidpoint(fresh.data(), w, h, 4, 0);
    uint32_t afterFresh = tv::randState();

    tv::setRandState(4242);
    generateMidpoint(preset.data(), w, h, 4, 0);
    EXPECT_EQ(tv::randState(), afterFresh);
    for (float v : preset) EXPECT_EQ(v, 0.25f);

    for (float v : fresh) EXPECT_TRUE(std::isfinite(v));

    // Same stream, same grid.
    std::vector<float> again(w * h, -INFINITY);
    tv::setRandState(4242);
    generateMidpoint(again.data(), w, h, 4, 0);
    EXPECT_TRUE(sameBits(fresh, again));
}

TEST(Midpoint, HeightfieldSpansTheRequestedRange)
{
    const int w = 33, h = 20;
    std::vector<float> g(w * h);
    tv::setRandState(1);
    EXPECT_TRUE(makeMidpointHeightfield(g.data(), -2, 5, w, h, 4, 3));
    float lo = INFINITY, hi = -INFINITY;
    for (float v : g) {
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    EXPECT_FLOAT_EQ(lo, -2);
    EXPECT_FLOAT_EQ(hi, 5);

    // A single cell is a flat field: it lands on low, not on a division by zero.
    float one = 0;
    EXPECT_TRUE(makeMidpointHeightfield(&one, 3, 9, 1, 1, 4, 1));
    EXPECT_EQ(one, 3.0f);
}

TEST(Midpoint, SmoothingPassesFlattenAndStayToroidal)
{
    // A single spike spreads to its neighbours, including across the wrapped edge.
    const int w = 8, h = 8;
    std::vector<float> g(w * h, 0.0f);
    g[0] = 1;
    std::vector<float> mask(w * h, -1.0f);
    mask[0] = mask[7] = mask[56] = 1.0f;  // (0,0), (7,0), (0,7)
    tv::setRandState(9);
    smoothByMask(g.data(), mask.data(), w, h, 4, 4);
    EXPECT_LT(g[0], 1.0f);
    EXPECT_GT(g[7], 0.0f);
    EXPECT_GT(g[56], 0.0f);
    // Cells whose mask is below the pass number are never touched.
    EXPECT_EQ(g[1], 0.0f);
    EXPECT_EQ(g[8], 0.0f);
}

TEST(StridedFilters, NormaliseScaleOffsetAndAFlatRun)
{
    float v[6] = {3, 100, 5, 100, 7, 100};
    normalizeStrided(v, 3, 8);
    EXPECT_FLOAT_EQ(v[0], 0);
    EXPECT_FLOAT_EQ(v[2], 0.5f);
    EXPECT_FLOAT_EQ(v[4], 1);
    EXPECT_EQ(v[1], 100);
    scaleStrided(v, 3, 8, 4);
    offsetStrided(v, 3, 8, -1);
    EXPECT_FLOAT_EQ(v[2], 1);
    EXPECT_FLOAT_EQ(v[4], 3);
    EXPECT_EQ(v[3], 100);

    float flat[3] = {2, 2, 2};
    normalizeStrided(flat, 3, 4);
    for (float f : flat) EXPECT_EQ(f, 0.0f);
}
