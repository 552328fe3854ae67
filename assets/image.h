#pragma once
// A decoded picture: packed R, G, B bytes, rows from the bottom of the picture to the
// top. Produced by the readers, freed by the caller with freeImage.
#include <cstddef>
#include <cstdio>
#include <memory>

struct Image {
    int width = 0;
    int height = 0;
    unsigned char* data = nullptr;  // width * height * 3 bytes, allocated with malloc
};

void freeImage(Image* image);

struct ImageFree {
    void operator()(Image* image) const { freeImage(image); }
};
using ImagePtr = std::unique_ptr<Image, ImageFree>;

// Largest picture either reader will allocate for (8192 x 8192): anything bigger is a
// corrupt header far more often than a real texture, and no GL we meet could take it.
constexpr long long kMaxImagePixels = 1LL << 26;

// Reads a device-independent bitmap (with or without the "BM" file header). Returns
// none after printing the reason when the file cannot be read or is not a bitmap.
// Top-down bitmaps are delivered bottom-up like every other, with a positive height.
Image* loadBmpImage(const char* path);

// The same reader over bytes already in memory; loadBmpImage reads the file and calls it.
Image* decodeBmp(const unsigned char* bytes, size_t size);

// Plain-text P3 reader. Returns none when the file cannot be read.
Image* loadPpmImage(const char* path);

// The same reader over an open stream (left open).
Image* readPpm(FILE* file);
