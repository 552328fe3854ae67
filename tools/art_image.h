#pragma once
// A floating-point RGB canvas for the generated pictures, with the smooth noise they are
// made from. Rows run from the bottom of the picture (row 0) to the top, as in a BMP
// and as GL reads texture rows (t = 0 at row 0).
#include <string>
#include <vector>

struct Colour {
    float r = 0, g = 0, b = 0;
};

Colour operator+(const Colour& a, const Colour& b);
Colour operator*(const Colour& a, float k);
Colour operator*(const Colour& a, const Colour& b);
Colour mix(const Colour& a, const Colour& b, float t);

class ArtImage {
public:
    ArtImage(int width, int height);

    Colour& at(int x, int y) { return texels[static_cast<size_t>(y) * width + x]; }
    const Colour& at(int x, int y) const { return texels[static_cast<size_t>(y) * width + x]; }

    // Rounds each channel, clamped to 0..1, to a byte.
    static unsigned char toByte(float v);
    // Writes a 24-bit bottom-up BMP; prints the reason and returns false on failure.
    bool save(const std::string& path) const;

    int width, height;
    std::vector<Colour> texels;
};

float clamp01(float v);
float smoothstep(float e0, float e1, float x);

// Lattice value noise in 0..1, smoothly interpolated (quintic fade). The 2-D form wraps
// with the given period in lattice cells, so a picture that spans whole periods tiles.
float valueNoise2(float x, float y, int periodX, int periodY, unsigned seed);
float valueNoise3(float x, float y, float z, unsigned seed);

// Sums of octaves (each twice the frequency, half the amplitude), normalised to 0..1.
// The first octave has `cells` lattice cells across the tile.
float tileFbm(float u, float v, int cells, int octaves, unsigned seed);
float fbm3(float x, float y, float z, int octaves, unsigned seed);
