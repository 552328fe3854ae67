#include "terrain/noise.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/random.h"

namespace {

// The current grid, shared by the midpoint generator and its helpers.
struct GridRef {
    unsigned char* base = nullptr;
    int width = 0;
    int height = 0;
    int stride = 4;
};
GridRef gGrid;

const float kRoughness = 3.0f;
const float kUnset = -INFINITY;
const double kNoisePi = 4 * std::atan(1.0);

void setGrid(float* grid, int width, int height, int stride)
{
    gGrid.base = reinterpret_cast<unsigned char*>(grid);
    gGrid.width = width;
    gGrid.height = height;
    gGrid.stride = stride;
}

// Toroidal cell address: any integer coordinate names a cell.
float& cellAt(int x, int y)
{
    x %= gGrid.width;
    if (x < 0) x += gGrid.width;
    y %= gGrid.height;
    if (y < 0) y += gGrid.height;
    return *reinterpret_cast<float*>(gGrid.base + (static_cast<size_t>(y) * gGrid.width + x) * gGrid.stride);
}

float& stridedAt(float* values, int i, int strideBytes)
{
    return *reinterpret_cast<float*>(reinterpret_cast<unsigned char*>(values) + static_cast<size_t>(i) * strideBytes);
}

// The hash computed in unsigned arithmetic so that overflow wraps as two's complement.
inline float hashValue(uint32_t seed, int ix, int iy)
{
    uint32_t n = static_cast<uint32_t>(ix) * 3u + seed + static_cast<uint32_t>(iy) * 57u;
    n = (n << 13) ^ n;
    uint32_t m = (n * (n * n * 15731u + 789221u) + 1376312589u) & 0x7fffffffu;
    return static_cast<float>(1.0 - m / 1073741824.0);
}

// Lattice neighbours in the hash's own 32-bit wrap-around, defined for the extreme ints.
inline int wrapAdd(int v, int d) { return static_cast<int>(static_cast<uint32_t>(v) + static_cast<uint32_t>(d)); }

// Truncation toward zero of a finite coordinate. Beyond the int range a float is a whole
// number; it is reduced modulo 2^32, the period the hash has anyway, with no fraction.
inline void latticeOf(float v, int& i, float& f)
{
    if (v > -2147483904.0f && v < 2147483648.0f) {
        i = static_cast<int>(v);
        f = v - i;
        return;
    }
    double r = std::fmod(static_cast<double>(v), 4294967296.0);
    if (r < 0) r += 4294967296.0;
    i = static_cast<int>(static_cast<uint32_t>(r));
    f = 0;
}

// The blend factor of cosineInterpolate, shared by the cached fill.
inline float cosineFactor(float t)
{
    float ft = static_cast<float>(t * kNoisePi);
    return static_cast<float>((1 - std::cos(static_cast<double>(ft))) * 0.5);
}

inline float blend(float a, float b, float f) { return a * (1 - f) + b * f; }

// Weighted 3 × 3 mean of the set cells around (x, y); the centre counts when includeCentre.
bool gaussianMean(int x, int y, bool onlySet, float& out)
{
    float sum = 0, wsum = 0;
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            float v = cellAt(x + dx, y + dy);
            if (onlySet && v == kUnset) continue;
            float w = std::exp(static_cast<float>(-(dx * dx + dy * dy)));
            sum += v * w;
            wsum += w;
        }
    }
    if (wsum == 0) return false;
    out = sum / wsum;
    return true;
}

// One smoothing sweep in random row and column directions; cells pass `want` to change.
template <class Want>
void smoothPass(Want want)
{
    const int w = gGrid.width, h = gGrid.height;
    bool rowsUp = (tv::rand() & 1) != 0;
    for (int j = 0; j < h; ++j) {
        int y = rowsUp ? j : h - 1 - j;
        bool colsUp = (tv::rand() & 1) != 0;
        for (int i = 0; i < w; ++i) {
            int x = colsUp ? i : w - 1 - i;
            if (!want(x, y)) continue;
            float v;
            if (gaussianMean(x, y, false, v)) cellAt(x, y) = v;
        }
    }
}

struct Pt {
    int x, y;
};

float quadArea(const Pt& p1, const Pt& p2, const Pt& p3, const Pt& p4)
{
    int twice = (p1.x * p2.y - p2.x * p1.y) + (p2.x * p3.y - p3.x * p2.y) + (p3.x * p4.y - p4.x * p3.y) +
                (p4.x * p1.y - p1.x * p4.y);
    return std::fabs(static_cast<float>(twice) * 0.5f);
}

void setIfUnset(const Pt& p, float v)
{
    float& c = cellAt(p.x, p.y);
    if (c == kUnset) c = v;
}

void subdivide(const Pt& p1, const Pt& p2, const Pt& p3, const Pt& p4)
{
    Pt m12{p1.x + (p2.x - p1.x) / 2, p1.y + (p2.y - p1.y) / 2};
    Pt m43{p4.x + (p3.x - p4.x) / 2, p4.y + (p3.y - p4.y) / 2};
    Pt m23{p2.x + (p3.x - p2.x) / 2, p2.y + (p3.y - p2.y) / 2};
    Pt m14{p1.x + (p4.x - p1.x) / 2, p1.y + (p4.y - p1.y) / 2};
    float ax = p1.x + (p2.x - p1.x) * 0.5f, ay = p1.y + (p2.y - p1.y) * 0.5f;
    float bx = p4.x + (p3.x - p4.x) * 0.5f, by = p4.y + (p3.y - p4.y) * 0.5f;
    Pt c{static_cast<int>(ax + (bx - ax) * 0.5f), static_cast<int>(ay + (by - ay) * 0.5f)};

    float mean = (cellAt(p1.x, p1.y) + cellAt(p2.x, p2.y) + cellAt(p3.x, p3.y) + cellAt(p4.x, p4.y)) * 0.25f;
    float area = quadArea(p1, p2, p3, p4);
    float spread = kRoughness * std::sqrt(area / static_cast<float>(gGrid.width * gGrid.height));
    // The random stream advances for every midpoint, written or not.
    auto displaced = [&] { return mean + static_cast<float>((2 * tv::rand() / 32767.0 - 1) * spread); };

    setIfUnset(c, mean);
    float v12 = displaced();
    setIfUnset(m12, v12);
    float v14 = displaced();
    setIfUnset(m14, v14);
    float v43 = displaced();
    setIfUnset(m43, v43);
    float v23 = displaced();
    setIfUnset(m23, v23);

    if (area <= 1.0f) return;
    subdivide(p1, m12, c, m14);
    subdivide(m12, p2, m23, c);
    subdivide(m14, c, m43, p4);
    subdivide(c, m23, p3, m43);
}

// Scratch tables of the cached fill, reused between calls.
struct FillScratch {
    std::vector<float> acc, hash, smooth;
    std::vector<int> ix, iy, sx0, sy0;
    std::vector<float> fx, fy;
};

}  // namespace

float noiseHash(int ix, int iy, int seed) { return hashValue(static_cast<uint32_t>(seed), ix, iy); }

float smoothedNoise(int ix, int iy, int seed)
{
    const int xl = wrapAdd(ix, -1), xh = wrapAdd(ix, 1), yl = wrapAdd(iy, -1), yh = wrapAdd(iy, 1);
    float corners =
        noiseHash(xl, yl, seed) + noiseHash(xh, yl, seed) + noiseHash(xl, yh, seed) + noiseHash(xh, yh, seed);
    float sides = noiseHash(xl, iy, seed) + noiseHash(xh, iy, seed) + noiseHash(ix, yl, seed) + noiseHash(ix, yh, seed);
    float centre = noiseHash(ix, iy, seed);
    return corners / 16 + sides / 8 + centre / 4;
}

float cosineInterpolate(float a, float b, float t) { return blend(a, b, cosineFactor(t)); }

float interpolatedNoise(float x, float y, int seed)
{
    // No lattice point is named by a coordinate that is not a number.
    if (!std::isfinite(x) || !std::isfinite(y)) return 0;
    int ix, iy;
    float fx, fy;
    latticeOf(x, ix, fx);
    latticeOf(y, iy, fy);
    float s00 = smoothedNoise(ix, iy, seed);
    float s10 = smoothedNoise(wrapAdd(ix, 1), iy, seed);
    float s01 = smoothedNoise(ix, wrapAdd(iy, 1), seed);
    float s11 = smoothedNoise(wrapAdd(ix, 1), wrapAdd(iy, 1), seed);
    float i1 = cosineInterpolate(s00, s10, fx);
    float i2 = cosineInterpolate(s01, s11, fx);
    return cosineInterpolate(i1, i2, fy);
}

bool fillFractalNoiseReference(float* grid, int width, int height, int stride, int octaves, float persistence,
                               float amplitude, float frequency, float offsetX, float offsetY, int seed)
{
    setGrid(grid, width, height, stride);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            float cell = 0, fm = 1, am = 1;
            for (int o = 0; o < octaves; ++o) {
                float f = fm * frequency;
                float a = am * amplitude;
                cell += interpolatedNoise((x + offsetX) * f, (y + offsetY) * f, seed) * a;
                fm = fm * 2;
                am = am * persistence;
            }
            *reinterpret_cast<float*>(reinterpret_cast<unsigned char*>(grid) +
                                      (static_cast<size_t>(y) * width + x) * stride) = cell;
        }
    }
    return true;
}

// Octave by octave. The lattice coordinates and blend factors of a column (or row) are
// the same for every row (or column). The hash of (ix, iy) depends only on
// n = 3 ix + 57 iy + seed, and so does the smoothed value (its neighbours sit at n ± 3,
// n ± 57), so one octave needs the smoothed values of a single run of n, computed once
// each. The per-cell arithmetic and the order of the octave sums are those of the
// reference, so the heights are identical.
bool fillFractalNoise(float* grid, int width, int height, int stride, int octaves, float persistence,
                      float amplitude, float frequency, float offsetX, float offsetY, int seed)
{
    setGrid(grid, width, height, stride);
    if (width <= 0 || height <= 0) return true;
    static FillScratch s;
    const size_t cells = static_cast<size_t>(width) * height;
    s.acc.assign(cells, 0.0f);
    s.ix.resize(width);
    s.fx.resize(width);
    s.sx0.resize(width);
    s.iy.resize(height);
    s.fy.resize(height);
    s.sy0.resize(height);
    const uint32_t useed = static_cast<uint32_t>(seed);

    float fm = 1, am = 1;
    for (int o = 0; o < octaves; ++o) {
        float f = fm * frequency;
        float a = am * amplitude;
        fm = fm * 2;
        am = am * persistence;

        long long xmin = 0, xmax = 0, ymin = 0, ymax = 0;
        bool finite = true;
        for (int x = 0; x < width; ++x) {
            float p = (x + offsetX) * f;
            if (!(std::fabs(p) < 1e9f)) finite = false;
            int i = finite ? static_cast<int>(p) : 0;
            s.ix[x] = i;
            s.fx[x] = cosineFactor(p - i);
            if (x == 0 || i < xmin) xmin = i;
            if (x == 0 || i > xmax) xmax = i;
        }
        for (int y = 0; y < height; ++y) {
            float p = (y + offsetY) * f;
            if (!(std::fabs(p) < 1e9f)) finite = false;
            int i = finite ? static_cast<int>(p) : 0;
            s.iy[y] = i;
            s.fy[y] = cosineFactor(p - i);
            if (y == 0 || i < ymin) ymin = i;
            if (y == 0 || i > ymax) ymax = i;
        }
        // Smoothed values for k = 3 (ix - xmin) + 57 (iy - ymin) up to the far corner
        // (xmax + 1, ymax + 1); hashes for 60 more on either side.
        const long long kmax = 3 * (xmax - xmin + 1) + 57 * (ymax - ymin + 1);
        if (!finite || kmax > 64 * static_cast<long long>(cells) + 4096) {
            // Too sparse to share anything: evaluate sample by sample.
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x)
                    s.acc[static_cast<size_t>(y) * width + x] +=
                        interpolatedNoise((x + offsetX) * f, (y + offsetY) * f, seed) * a;
            continue;
        }
        const int K = static_cast<int>(kmax) + 1;
        const uint32_t base = static_cast<uint32_t>(xmin) * 3u + useed + static_cast<uint32_t>(ymin) * 57u;
        s.hash.resize(static_cast<size_t>(K) + 120);
        float* g = s.hash.data() + 60;  // g[k] for k in [-60, K + 60)
        for (int j = -60; j < K + 60; ++j) {
            uint32_t n = base + static_cast<uint32_t>(j);
            n = (n << 13) ^ n;
            uint32_t m = (n * (n * n * 15731u + 789221u) + 1376312589u) & 0x7fffffffu;
            g[j] = static_cast<float>(1.0 - m / 1073741824.0);
        }
        s.smooth.resize(K);
        float* sm = s.smooth.data();
        for (int k = 0; k < K; ++k) {
            float corners = g[k - 60] + g[k - 54] + g[k + 54] + g[k + 60];
            float sides = g[k - 3] + g[k + 3] + g[k - 57] + g[k + 57];
            float centre = g[k];
            sm[k] = corners / 16 + sides / 8 + centre / 4;
        }
        for (int x = 0; x < width; ++x) s.sx0[x] = 3 * (s.ix[x] - static_cast<int>(xmin));
        for (int y = 0; y < height; ++y) s.sy0[y] = 57 * (s.iy[y] - static_cast<int>(ymin));

        for (int y = 0; y < height; ++y) {
            const float* row = sm + s.sy0[y];
            const float fy = s.fy[y];
            float* acc = &s.acc[static_cast<size_t>(y) * width];
            for (int x = 0; x < width; ++x) {
                const float* c = row + s.sx0[x];
                const float fx = s.fx[x];
                float i1 = blend(c[0], c[3], fx);
                float i2 = blend(c[57], c[60], fx);
                acc[x] += blend(i1, i2, fy) * a;
            }
        }
    }
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            *reinterpret_cast<float*>(reinterpret_cast<unsigned char*>(grid) +
                                      (static_cast<size_t>(y) * width + x) * stride) =
                s.acc[static_cast<size_t>(y) * width + x];
    return true;
}

bool generateMidpoint(float* grid, int width, int height, int stride, int passes)
{
    setGrid(grid, width, height, stride);
    if (width <= 0 || height <= 0) return true;
    const int hw = width >> 1, hh = height >> 1;
    const Pt seeds[4] = {{0, 0}, {hw, 0}, {0, hh}, {hw, hh}};
    for (const Pt& p : seeds) {
        float v = static_cast<float>(tv::rand() / 32767.0);
        setIfUnset(p, v);
    }
    const int W = width, H = height;
    subdivide({0, 0}, {hw, 0}, {hw, hh}, {0, hh});
    subdivide({hw, 0}, {W, 0}, {W, hh}, {hw, hh});
    subdivide({0, hh}, {hw, hh}, {hw, H}, {0, H});
    subdivide({hw, hh}, {W, hh}, {W, H}, {hw, H});

    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            float& c = cellAt(x, y);
            if (c != kUnset) continue;
            float v;
            if (gaussianMean(x, y, true, v)) c = v;
        }
    }
    for (int p = 0; p < passes; ++p) smoothPass([](int, int) { return true; });
    return true;
}

bool makeMidpointHeightfield(float* grid, float low, float high, int width, int height, int stride, int passes)
{
    setGrid(grid, width, height, stride);
    if (width <= 0 || height <= 0) return true;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) cellAt(x, y) = kUnset;
    bool ok = generateMidpoint(grid, width, height, stride, passes);
    float lo = INFINITY, hi = -INFINITY;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            float v = cellAt(x, y);
            if (v < lo) lo = v;
            if (v > hi) hi = v;
        }
    }
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            float& v = cellAt(x, y);
            // A flat field has no range to stretch: it lies at the low end.
            v = hi > lo ? low + (high - low) * ((v - lo) / (hi - lo)) : low;
        }
    }
    return ok;
}

bool smoothByMask(float* grid, const float* mask, int width, int height, int gridStride, int maskStride)
{
    setGrid(grid, width, height, gridStride);
    if (width <= 0 || height <= 0) return true;
    auto maskAt = [&](int x, int y) {
        return *reinterpret_cast<const float*>(reinterpret_cast<const unsigned char*>(mask) +
                                               (static_cast<size_t>(y) * width + x) * maskStride);
    };
    int passes = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            float m = maskAt(x, y);
            // Bounded so a stray huge mask value cannot overflow the conversion.
            if (m > 1e6f) m = 1e6f;
            int p = m > 0 ? static_cast<int>(m) : 0;
            if (p > passes) passes = p;
        }
    }
    for (int i = 0; i < passes; ++i)
        smoothPass([&](int x, int y) { return static_cast<float>(i) <= maskAt(x, y); });
    return true;
}

bool normalizeStrided(float* values, int count, int strideBytes)
{
    float lo = INFINITY, hi = -INFINITY;
    for (int i = 0; i < count; ++i) {
        float v = stridedAt(values, i, strideBytes);
        if (v < lo) lo = v;
        if (v > hi) hi = v;
    }
    for (int i = 0; i < count; ++i) {
        float& v = stridedAt(values, i, strideBytes);
        v = hi > lo ? (v - lo) / (hi - lo) : 0.0f;
    }
    return true;
}

bool scaleStrided(float* values, int count, int strideBytes, float factor)
{
    for (int i = 0; i < count; ++i) stridedAt(values, i, strideBytes) *= factor;
    return true;
}

bool offsetStrided(float* values, int count, int strideBytes, float delta)
{
    for (int i = 0; i < count; ++i) stridedAt(values, i, strideBytes) += delta;
    return true;
}
