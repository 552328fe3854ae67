#pragma once
// A decoded picture: packed R, G, B bytes, rows from the bottom of the picture to the
// top. Produced by the readers, freed by the caller with freeImage.

struct Image {
    int width = 0;
    int height = 0;
    unsigned char* data = nullptr;  // width * height * 3 bytes, allocated with malloc
};

void freeImage(Image* image);

// Reads a device-independent bitmap (with or without the "BM" file header). Returns
// none after printing the reason when the file cannot be read or is not a bitmap.
Image* loadBmpImage(const char* path);

// Plain-text P3 reader. Returns none when the file cannot be read.
Image* loadPpmImage(const char* path);
