#pragma once
// Heightfields from octave value noise (a lattice hash, 3 × 3 smoothing, cosine
// interpolation, octaves of doubling frequency), plus a toroidal midpoint-displacement
// generator and a few strided filters. Grids are caller-owned float cells spaced
// `stride` bytes apart, row-major. The module keeps the current grid between calls, so
// it is not reentrant.

// The seed of the shipped ground, and of a lattice asked without one.
constexpr int kDefaultNoiseSeed = 213;

// Lattice value in (-1, 1] for integer coordinates; 32-bit wrap-around arithmetic.
float noiseHash(int ix, int iy, int seed = kDefaultNoiseSeed);
// Weighted 3 × 3 mean of noiseHash around (ix, iy).
float smoothedNoise(int ix, int iy, int seed = kDefaultNoiseSeed);
float cosineInterpolate(float a, float b, float t);
// Coordinates truncate toward zero, so fractions are negative for negative x or y.
// Beyond the int range the lattice repeats every 2^32, as the hash does; a coordinate
// that is not finite gives 0.
float interpolatedNoise(float x, float y, int seed = kDefaultNoiseSeed);

// Sums `octaves` octaves of interpolatedNoise into every cell. Heights depend only on
// (cell + offset) × frequency and the seed, so tiles sampling the same positions agree
// bit for bit. Computes each lattice value once per octave.
bool fillFractalNoise(float* grid, int width, int height, int stride, int octaves, float persistence,
                      float amplitude, float frequency, float offsetX, float offsetY, int seed);
// The same sum evaluated sample by sample with no sharing; the reference for the above.
bool fillFractalNoiseReference(float* grid, int width, int height, int stride, int octaves, float persistence,
                               float amplitude, float frequency, float offsetX, float offsetY, int seed);

// Clears to the unset marker, runs generateMidpoint, rescales to [low, high].
bool makeMidpointHeightfield(float* grid, float low, float high, int width, int height, int stride, int passes);
// Displaces only unset (-infinity) cells, fills gaps, then smooths `passes` times.
bool generateMidpoint(float* grid, int width, int height, int stride, int passes);
// Smooths each cell on the passes up to its mask value (mask truncated toward zero).
bool smoothByMask(float* grid, const float* mask, int width, int height, int gridStride, int maskStride);

// A constant run has no range to normalise: every value becomes 0.
bool normalizeStrided(float* values, int count, int strideBytes);
bool scaleStrided(float* values, int count, int strideBytes, float factor);
bool offsetStrided(float* values, int count, int strideBytes, float delta);
